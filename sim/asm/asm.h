// The single-line assembler: one line of assembler source to the one or
// two instruction words it stands for at a program address.
#pragma once

#include <array>
#include <cstdint>

// Assembles one line at `address` ("*" and the pc-relative forms count
// from it) and returns the word count: 1 or 2, 0 for an empty or comment
// line, -1 after an error. The words stay in asm_words until the next
// call; asm_word_count (sim/expr/expr.h) holds the same count, and the
// message of a failure is parse_error_text.
int assemble_line(const char* text, uint32_t address);

// The words of the last successful assembly; the third is always 0.
extern std::array<uint16_t, 3> asm_words;
