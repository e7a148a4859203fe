// Program symbols and source lines as expression operands. The object-file
// debugger installs its lookups here; until it does every lookup answers
// "not found".
#pragma once

struct arg_value;

struct symbol_source {
  // 1 when the current device has a symbol table loaded.
  int (*has_symbols)();
  // A symbol by name: 1 with addr and space filled (space 4: an absolute value).
  int (*lookup_symbol)(const char* name, arg_value* out);
  // "file@line" or "line" in the current source file: 1 with addr and space filled.
  int (*lookup_line)(const char* name, arg_value* out);
};

// Null removes the source.
void set_symbol_source(const symbol_source* source);

int device_has_symbols();
int lookup_symbol_value(const char* name, arg_value* out);
int lookup_source_line(const char* name, arg_value* out);
