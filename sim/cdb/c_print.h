// Sizes of C types, fetching memory values and printing values.
#pragma once

#include <cstdint>
#include <string>

#include "sim/cdb/c_value.h"

// Radix formats of c_value_text; any other value prints by the type.
enum : int { C_BINARY = 0, C_SIGNED = 1, C_FRACTION = 2, C_HEX = 3, C_UNSIGNED = 4, C_NATURAL = 5 };

// The size of the value's type in target words (0 for void).
int c_sizeof_words(const c_value& value);
// A memory-space name for the resolved space of (space, address).
const char* c_space_name(int space, uint32_t address);
// One or two target words in a radix format.
std::string c_integer_text(uint32_t low, uint32_t high, bool two_words, int radix, bool is_signed);
// Fetches a located value by its storage class (memory, register variable,
// simulator register); 0 after a failed read, or for a frame value.
int c_fetch(c_value& value);
// Writes words 0-4 back to the value's location; a register is fetched
// again so that the value shows what it kept.
int c_store(c_value& value);
// The register holding register variable `number` of that type; null when
// the family has none.
const char* c_register_var_name(uint32_t type, uint32_t number);
// Prints text in pieces no wider than the session, breaking at blanks
// outside string literals and after "},".
void print_wrapped(const std::string& text, const char* prefix, const char* continuation, int indent, bool plain);
// "type: value" through print_wrapped.
void c_print_value(int radix, const c_value* value);
// The value's text; "" when it could not be fetched.
std::string c_value_text(c_value value, int radix);
