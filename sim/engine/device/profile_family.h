// What the profiler needs of a device family: the decode of one
// instruction into a profile record and the family's own breakdowns. The
// family record (family_desc::profile_ops) points to one table; the
// assembler library supplies the DSP73500 family's (install_family_tools).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/engine/device/profiler_iface.h"

constexpr int PROFILE_CLASSES = 200;
constexpr int PROFILE_GROUPS = 20;
constexpr int PROFILE_MODES = 16;

// Decoded instruction flags.
enum : uint32_t { INSTR_TWO_WORD = 4, INSTR_NEW = 0x1000 };

// One decoded instruction: the part of a profile record the family's
// decode fills, and the start of every code node.
struct decoded_instruction {
  uint32_t address = 0;
  std::array<uint32_t, 2> words{};
  uint32_t flags = 0;
  int32_t kind = -1;  // negative: the words are no instruction
  int32_t class_index = 0;
  // Memory operands other than moves: space (PROF_SPACE_*) and the
  // family's addressing-mode group and mode.
  struct operand {
    uint32_t space = PROF_SPACE_FREE;
    uint8_t group = 0, mode = 0;
  };
  std::array<operand, 4> operands{};
  // Parallel moves: 0 none (no descriptor), 1 single, 2 double; each
  // move's memory operand.
  uint32_t moves = 0;
  std::array<operand, 2> move_operands{};
  uint32_t paired = 0;     // the moves run beside a data-ALU operation
  uint32_t parallel = 0;   // the instruction's class allows parallel moves
  uint32_t condition = 0;  // condition code + 1; 0 when unconditional
  std::array<uint32_t, 2> first_values{};  // kept from the first execution
};

// Built per completed instruction.
struct profile_record {
  decoded_instruction decoded;
  uint32_t cycles = 0;
  uint32_t cycle_now = 0;
  uint32_t stall_cycles = 0;
  uint32_t condition_true = 0;
  uint32_t pc_now = 0;
  const loop_measure* loop = nullptr;
  std::array<profile_reference, PROFILE_REFERENCES> references{};
};

// The family's own counts, filled by its two accumulate operations.
struct family_profile_counts {
  // Moves by pairing (0 unpaired, 1 paired) and kind (single, double, L space).
  std::array<std::array<uint32_t, 3>, 2> moves{};
  // Dynamic occurrences per class without a move, with one, with two.
  std::array<uint32_t, PROFILE_CLASSES> class_no_move{}, class_single{}, class_double{};
  std::array<std::array<uint32_t, PROFILE_MODES>, PROFILE_GROUPS> modes{};
};

using mode_name_table = std::array<std::array<const char*, PROFILE_MODES>, PROFILE_GROUPS>;

// Decode modes: code in program memory, in X memory, elsewhere.
enum : int { DECODE_P = 0, DECODE_X = 1, DECODE_OTHER = 2 };

struct profile_family_ops {
  int group_count;
  int class_count;
  const char* const* group_names;
  const char* const* group_descriptions;
  int (*classify)(const decoded_instruction& d);
  const char* (*class_name)(int index);
  void (*mode_names)(mode_name_table& table);
  // Each adds what `times` executions of the record's instruction add.
  void (*accumulate_moves)(const profile_record& r, family_profile_counts& counts, uint32_t times);
  void (*accumulate_modes)(const profile_record& r, family_profile_counts& counts, uint32_t times);
  int (*conditional)(const profile_record& r);
  int (*call_test)(const decoded_instruction& d);
  int (*branch_test)(const decoded_instruction& d);
  int (*return_test)(const decoded_instruction& d);
  // Text of the instruction, two leading characters to be skipped.
  void (*disassemble)(const decoded_instruction& d, char* text, std::size_t size);
  // (device, mode, address to decode, address after, record out): the
  // words at the address in the device's memory and, for DECODE_P from a
  // run, whether the condition held for the sampled sr.
  void (*decode)(int device, int mode, uint32_t address, uint32_t address_after, profile_record& out);
};
