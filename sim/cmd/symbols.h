// Program symbols and source lines as expression operands. The object-file
// debugger fills these in; until a program with symbols is loaded every
// lookup answers "not found".
#pragma once

struct arg_value;

// 1 when the current device has a symbol table loaded.
int device_has_symbols();
// A symbol by name: 1 with addr and space filled (space 4: an absolute value).
int lookup_symbol_value(const char* name, arg_value* out);
// A source line "file@line" or "line" in the current source file: 1 with
// addr and space filled.
int lookup_source_line(const char* name, arg_value* out);
