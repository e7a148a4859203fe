// The disassembler: one instruction (one or two words) to one line of
// lower-case assembler text, with the memory accesses it will make.
#pragma once

#include <cstddef>
#include <cstdint>

// The caller's machine state for working out access addresses, and what
// the disassembler reports back. Inputs are filled before the call.
struct dis_ea_info {
  // In: the instruction's address and the registers its addressing reads.
  uint32_t pc = 0;
  uint32_t r[4] = {0, 0, 0, 0};
  uint32_t a1 = 0;
  uint32_t b1 = 0;
  uint32_t n[4] = {0, 0, 0, 0};
  uint32_t m[4] = {0, 0, 0, 0};
  // Out: each address is written only when its access flag is set.
  uint32_t length = 0;
  uint32_t access_flags = 0;
  uint32_t p_address = 0;
  uint32_t x_address = 0;
  uint32_t x2_address = 0;
};

// access_flags bits.
enum : uint32_t {
  DIS_ACCESS_P = 0x1,    // program memory, or a transfer of control
  DIS_ACCESS_X = 0x2,    // data memory
  DIS_ACCESS_X2 = 0x20,  // a second data-memory access
};

// Room the caller gives `text`: a line is at most 99 characters.
constexpr std::size_t DIS_TEXT_SIZE = 100;

// Disassembles words[0] (reading words[1] where the instruction has a
// second word; pass at least two words). Writes the line to `text` and
// returns the length in words: 1 or 2, or 0 when the word was printed as
// a data word ("dc $..."). number_a and number_b are not read. ea_info
// may be null.
int disassemble_word(const uint32_t* words, char* text, uint32_t number_a, uint32_t number_b,
                     dis_ea_info* ea_info);
