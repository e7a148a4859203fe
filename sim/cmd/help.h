// The help command's listings, and the hook through which the object-file
// debugger hands it the loaded program's symbols.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One symbol of the loaded program as "help sym" lists it.
struct listed_symbol {
  std::string name;
  int storage_class = 0;
  std::string space;    // memory-space name
  uint32_t value = 0;
  std::string section;  // the symbol's section, "global" when it has none
};
// Installed by the object-file debugger: the current device's symbols in
// table order. Null while no debugger is linked in: no symbols.
extern void (*list_program_symbols)(std::vector<listed_symbol>& out);

// What the memory-map list says of a memory space (the generic spaces
// take the current family's own lines).
const char* space_help_line(int space);

// Prints one listing line to the session; false once the user has
// cancelled the paging, when the listing stops.
bool help_line(const std::string& text);

// The listings of "help reg", "periph", "mem", "sym", "stack", "pin",
// "io", "map", and the port list after the "port" topic.
void help_list_registers();
void help_list_periphs();
void help_list_memory();
void help_list_symbols();
void help_list_stack();
void help_list_pins();
void help_list_io();
void help_list_map();
void help_list_ports();
