// Help topics kept with the device tables: the family's topics (interrupt
// vectors, modifier modes, operating modes, ports, host addresses) and the
// I/O file format topics of the peripherals that take streams.
#pragma once

#include <span>

// One topic: its lines as help prints them ("{" and "}" highlight), the
// summary that the command summary lists it with (or null), and two
// optional operations: one that prints the lines in their place, one run
// after them.
struct help_topic {
  const char* name;
  std::span<const char* const> lines;
  const char* summary;
  void (*producer)();
  void (*after)();
};

struct help_table {
  std::span<const help_topic> topics;
};

// The topics every type of the family shares.
extern const help_table family_help_table;
// The I/O file format topics, one table per kind of peripheral.
extern const help_table ssi_help_table;
extern const help_table rssi_help_table;
extern const help_table codec_help_table;
extern const help_table host_help_table;
extern const help_table port_help_table;
