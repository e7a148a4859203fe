// Memory words and stream values as text in one of the five radixes, the
// per-address display radix of memory, and two device-addressed memory
// routines.
#pragma once

#include <cstdint>
#include <string>

// Bare hexadecimal in the 16-bit address width: "%04x".
std::string format_hex_word(uint32_t value);
// Reads the word at (space, address) of the current device and formats it
// in the radix; returns the read's result (non-zero for success), the text
// is that of the word as read (0 when the read failed).
int format_memory_word(int space, uint32_t address, int radix, std::string& out);
// A stream value of memory-map row `region` in the radix.
std::string format_stream_word(int region, uint32_t address, int radix, uint32_t value);

// The display radix of a memory word: the concrete row's range holding
// the address, 0 when none does.
int memory_radix_at(int region, uint32_t address);
// Sets the display radix of low..high (wrapping when high < low) in the row
// and in every row whose attributes lie within its own (a generic row's
// concrete rows).
void set_memory_radix(int region, uint32_t low, uint32_t high, int radix);

// Writes words to a device through its type's memory interface, with the
// device current for the call only. 0 for a device that does not exist.
int write_device_block(int device, int space, uint32_t address, uint32_t count,
                       const uint32_t* words);
// The space code of a device's memory-map row named (any case) `name`.
int region_space_by_name(int device, const char* name, int* out_space);
