// Input and output streams of a device: the stream record, the four lists
// of device_state::streams, the file reader of input streams and the
// services the run loop, the core and the peripherals call.
//
//   | file | idea |
//   |---|---|
//   | `stream_lists.cpp` | the `io_stream` records of each device slot (a pool; records no list reaches go at the next list operation), the four lists of `device_state::streams`, numbering, removal with the item's watches |
//   | `stream_read.cpp` | input files, read whole when the stream opens (a group starts over by moving back in the text, no file seeks): values, repeat counts, nested groups (file positions just after "("), comments, timed files' absolute and "+" relative times, "t" values typed at the terminal, the value parser by radix, pin data |
//   | `stream_input.cpp` | `service_input_streams` (timed list, then untimed) and the reads the core and peripherals call: `read_untimed_input`, `read_timed_input`, `read_port_input`, `read_register_input`, `read_memory_input` |
//   | `stream_output.cpp` | the writes: peripheral words and port values with gap marks, registers, memory locations (strings for "-rs"), history lines and notes, and `service_output_streams` for pin streams |
//   | `cmd_streams.cpp` | the `input` and `output` commands, terminal input into "termNNNN" files |
//
// Memory locations are watched through the stream tags of the memory-map rows (`MAP_IN_STREAM`,
// `MAP_OUT_STREAM`: the stream's serial number), set on the concrete row holding the address; the
// core's reads and writes look a tag up only when a list holds a memory stream. Registers are
// watched through their attribute bits. Pin streams compare each pin block with its previous copy,
// which the run loop keeps. An untimed file that ends keeps delivering its last value; a timed one
// stops; either sets `eof`. A word longer than 89 characters is refused with its file and line and
// skipped. A stream before its first value drives no pins.
//
// Scenario tests write their stream files with "#file NAME: TEXT" lines and show output files with
// "#show NAME" (`tests/scenarios/run_scenario.sh`).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/engine/periph/periph.h"

// Stream kinds (io_stream::kind).
enum stream_kind : int {
  SK_MEMORY = 0,
  SK_PERIPH = 1,
  SK_PORT = 2,
  SK_PIN = 3,
  SK_PIN_GROUP = 4,
  SK_PIN_LINK = 5,  // a pin fed from another device
  SK_HISTORY = 6,   // output only
  SK_MEMORY_LINK = 7,
  SK_ANALOG_PIN = 8,
  SK_REGISTER = 9,
};

// device_state::streams: the four lists, newest first.
enum stream_list : int { SL_IN_UNTIMED = 0, SL_IN_TIMED, SL_OUT_UNTIMED, SL_OUT_TIMED };



// An open "(" of an input file.
struct stream_group {
  std::size_t position = 0;  // just after its "("
  int line = 1;       // the file's line there
  bool count_read = false;
  bool forever = false;
  int64_t remaining = 0;
  long values_at = -1;  // values read when the group last started over
};

// One pin's part of a pin-data value: its group, its bit and the
// character (lower case) that sets it.
struct pin_op {
  int group;
  uint32_t mask;
  char code;
};

// The pin ops of one pin group together: each word of the group's block
// (and of its previous copy, for pulses) written once.
struct pin_group_op {
  int group;
  uint32_t bits;  // the pins the ops name
  uint32_t level_clear, level_set, defined_clear, defined_set;
  uint32_t before_clear, before_set;  // a pulse's previous level
};

struct stream_count;

// A value word of an input file, read once the first time the reader meets
// it (keyed by where it starts): its text, where reading goes on after it,
// and what it sets, worked out at its first use (pins to set, or the
// number's value record).
struct stream_word {
  std::string text;
  std::size_t end = 0;
  bool too_long = false;
  int parsed = 0;  // 0: not yet; 1: pin_ops; 2: value
  std::vector<pin_op> pin_ops;
  std::vector<pin_group_op> pin_groups;  // empty: set pin by pin (two ops name one pin)
  const stream_count* count_after = nullptr;  // the count read at `end` (untimed), once read
  stream_value value;
};
// A "#" count (or its absence) read from a position: the number (-1 when
// no "#" follows), and where and on which line reading goes on.
struct stream_count {
  int64_t n = -1;
  std::size_t end = 0;
  int lines = 0;
};

struct io_stream {
  std::string file_name;
  std::string item;  // the item token, lower case
  std::FILE* file = nullptr;
  bool write_failed = false;  // output: its file lost a line; it writes no more
  int kind = 0;
  uint32_t key1 = 0, key2 = 0, key3 = 0;
  uint32_t serial = 0;
  int src_space = 0;
  uint32_t src_address = 0;
  int src_device = 0;
  stream_value value;
  uint32_t flag_word = 0;  // output: first write; timed input: absolute time
  uint32_t analog_last = 0;  // output: the analog pin value last written
  int radix = 3;
  int64_t count = 0;  // see the input and output services
  std::vector<stream_group> groups;  // innermost last
  io_stream* next = nullptr;
  int number = 0;
  // An input file's text, read whole when the stream opens (groups go
  // back in it without touching the file), and the reading position.
  std::string text;
  std::size_t at = 0;
  bool readable = false;
  // Reader position for messages, and the values read so far.
  int line = 1;
  long values_read = 0;
  // The words and counts met so far, by the position they start at.
  std::unordered_map<std::size_t, stream_word> words;
  std::unordered_map<std::size_t, stream_count> counts;
};

// --- Records and lists (stream_lists.cpp) -------------------------------------
// Records belong to the current device; a device that was reset or freed
// lets its records go at the next list operation.
io_stream* new_stream();
// A record with the serial a state file gave it (its memory tags name it).
io_stream* restore_stream(uint32_t serial);
// Links s at the head of list `which` of the current device.
void link_stream(int which, io_stream* s);
io_stream* find_stream(io_stream* list, int kind, uint32_t key1, uint32_t key2);
// Mode 0 removes the streams whose item name is `name`, 1 every stream,
// 2 + n stream n. A removed stream's file is closed and its memory tag or
// register watch bits cleared.
void free_streams(io_stream** list, const char* name, int mode);
// The smallest number from 1 up that neither list of a direction uses.
int free_stream_number(int first_list);

// --- Input (stream_input.cpp, stream_read.cpp) ---------------------------------
// Opens the file of a new input stream and reads what must be read at once
// (the first time of a timed file). 0 when the file cannot be opened.
int open_input_file(io_stream& s, bool timed);
// Advances an untimed stream by one value.
void advance_untimed(io_stream& s);
// 1 when a value of a timed stream falls due in this call.
int timed_value_due(io_stream& s);
// Applies pin data to the current device's pins.
void apply_pin_data(const io_stream& s, const char* text);
// A value's text read by the stream's radix into its value record.
void parse_stream_value(io_stream& s, const char* text);

// The services behind the engine's stream hooks (sim/engine/device/hooks.h).
void streams_service_input();
int streams_read_untimed(int periph, stream_value* out);
int streams_read_timed(int periph, stream_value* out);
int streams_read_port(int port, uint32_t* out);
int streams_read_register(int periph, int reg, uint32_t* out);
int streams_read_memory(int space, uint32_t address, uint32_t* out);
int streams_plan();
int streams_periph_view(int periph);
uint32_t streams_input_due();
void streams_skip_input(uint32_t n);
uint32_t streams_deliver_input(uint32_t skip);

// End of an input file: the stream keeps its last value (untimed) or
// stops (timed), and the device's end-of-input flag becomes 1.
void end_input(io_stream& s);

// --- Output (stream_output.cpp) -------------------------------------------------
void write_stream_line(io_stream& s, const char* text);
void streams_service_output();
void streams_write_peripheral(int periph, const stream_value& value, int gap);
void streams_write_port(int port, int32_t value, int gap);
void streams_write_register(int periph, int reg);
void streams_write_memory(int space, uint32_t address, uint32_t flags);
int streams_write_output_note(const char* text);
// Hands the engine the stream services above.
void install_streams();
void write_history_line(int index);
int write_extended_note(const char* text);
// Lets the core hand each executed instruction to the history streams.
void install_history_writer();
