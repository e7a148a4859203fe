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
// Fetches a located memory value (external and static); 0 when memory
// could not be read or the value lives in a frame or register.
int c_fetch(c_value& value);
// The value's text; "" when it could not be fetched.
std::string c_value_text(c_value value, int radix);
