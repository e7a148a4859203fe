// The core's instruction decode tables: six first-match tables of
// mask/value rows, the op_timing control rows they select, the register
// selector rules that turn opcode fields into 6-bit register codes, the
// register code table and the instruction flag bits.
//
// A word matches the first row for which (word AND mask) = value; every
// table ends with a catch-all row (mask 0, value 0). A row with `flow` set
// is a flow-changing instruction: looked up for a word fetched as part of a
// fast interrupt it yields the table's fast-interrupt value instead.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

template <typename Payload>
struct decode_row {
  uint16_t mask;
  uint16_t value;
  uint8_t flow;  // 1: a flow-changing instruction
  Payload payload;
};

// Two table indexes: timing rows by pipeline mode 0 and 1, operand-fetch
// control words by mode 0 and the other modes.
struct index_pair {
  uint8_t first;
  uint8_t second;
};

struct attr_row {
  uint16_t value;
  uint32_t attr;
};

struct special_seq_row {
  uint16_t value;
  uint16_t spare;
  uint32_t attr;
};

constexpr std::size_t TIMING_SELECT_ROWS = 43;
constexpr std::size_t EXEC_ATTR_SELECT_ROWS = 65;
constexpr std::size_t FETCH_CTRL_SELECT_ROWS = 35;
constexpr std::size_t INSTR_FLAG_ROWS = 62;
constexpr std::size_t INSTR_CLASS_ROWS = 19;
constexpr std::size_t MOVE_FORM_ROWS = 20;
constexpr std::size_t ATTR_ROWS = 32;
constexpr std::size_t SPECIAL_SEQ_ROWS = 17;
constexpr std::size_t FETCH_CTRL_WORDS = 20;
constexpr std::size_t OP_TIMING_ROWS = 39;
constexpr std::size_t OP_TIMING_FIELDS = 8;

extern const std::array<decode_row<index_pair>, TIMING_SELECT_ROWS> timing_select_table;
extern const std::array<decode_row<uint8_t>, EXEC_ATTR_SELECT_ROWS> exec_attr_table;
extern const std::array<decode_row<index_pair>, FETCH_CTRL_SELECT_ROWS> fetch_ctrl_table;
extern const std::array<decode_row<uint32_t>, INSTR_FLAG_ROWS> instr_flag_table;
extern const std::array<decode_row<uint16_t>, INSTR_CLASS_ROWS> instr_class_table;
extern const std::array<decode_row<uint32_t>, MOVE_FORM_ROWS> move_form_table;

extern const std::array<attr_row, ATTR_ROWS> attr_rows;
extern const std::array<special_seq_row, SPECIAL_SEQ_ROWS> special_seq_rows;
extern const std::array<uint16_t, FETCH_CTRL_WORDS> fetch_ctrl_words;

// op_timing fields, in row order.
constexpr int OPT_XDB_SRC = 0;    // register moved onto xdb (selector field 1)
constexpr int OPT_XDB_DST = 1;    // register loaded from xdb (selector field 2)
constexpr int OPT_GDB_SRC = 2;    // register moved onto gdb (selector field 3)
constexpr int OPT_GDB_DST = 3;    // register loaded from gdb (selector field 4)
constexpr int OPT_BUS_KINDS = 4;  // BUS_* bits
constexpr int OPT_IMMEDIATE = 5;  // IMM_* bits
constexpr int OPT_NEXT_MODE = 6;  // pipeline mode for the next lookup: 0, 1 or 3
constexpr int OPT_FLAG8 = 7;      // set only in row 8
extern const std::array<std::array<uint16_t, OP_TIMING_FIELDS>, OP_TIMING_ROWS> op_timing;

// Bus-access kinds (op_timing field 5).
enum : uint32_t {
  BUS_P_WRITE = 0x1,
  BUS_P_READ = 0x2,
  BUS_X_WRITE = 0x4,
  BUS_X_READ = 0x8,
  BUS_X2_READ = 0x10,
};

// Immediate source (op_timing field 6): IMM_PRESENT marks an immediate,
// one of the other bits says where it comes from.
enum : uint32_t {
  IMM_PRESENT = 0x1,
  IMM_SECOND_WORD = 0x2,
  IMM_SHORT = 0x4,
  IMM_OPCODE_BYTE = 0x8,
};

// Pipeline modes of the timing and operand-fetch lookups.
constexpr int PIPE_MODE_FIRST = 0;
constexpr int PIPE_MODE_SECOND = 1;
constexpr int PIPE_MODE_IDLE = 3;
constexpr int TIMING_ROW_IDLE = 34;      // mode 3, and fast-interrupt flow words in mode 0
constexpr uint16_t FETCH_CTRL_IDLE = 3;  // the control word of mode 3

// Instruction flag bits with a behaviour.
enum : uint32_t {
  IFLAG_TRAP = 0x2,          // with IFLAG_ILLEGAL the illegal-instruction trap, else SWI
  IFLAG_ALU_NORM = 0x40,     // the data-ALU operation of norm
  IFLAG_RESET = 0x80,        // the reset instruction
  IFLAG_ALU_TRANSFER = 0x100,  // the data-ALU operation of the conditional transfer
  IFLAG_WAIT = 0x400,
  IFLAG_STOP = 0x800,
  IFLAG_ILLEGAL = 0x4000,
  IFLAG_COND_REPEAT = 0x10000,
  IFLAG_LOOP_COUNT_A = 0x20,  // the two sources of a loop count
  IFLAG_LOOP_COUNT_B = 0x1000,
};
// Whole flag words that steer the opcode-byte immediate.
constexpr uint32_t IMM_FLAGS_OR_HIGH = 0x4;   // byte OR 0xFF00
constexpr uint32_t IMM_FLAGS_HIGH_FF = 0x8;   // byte << 8 OR 0xFF
constexpr uint32_t IMM_FLAGS_HIGH = 0x20;     // byte << 8
constexpr uint32_t ILLEGAL_FLAG_WORD = 0x4002;

// Instruction class bits that form the short-immediate latch.
enum : uint32_t {
  CLASS_CONTINUES = 0x80,  // the next word is decoded as part of this instruction
  CLASS_IMM8_SIGNED = 0x200,
  CLASS_IMM6_SIGNED = 0x400,
  CLASS_IMM_IO = 0x800,
};

// ---------------------------------------------------------------------------
// Lookups.

// Index of the first row of `table` that `word` matches.
template <typename Payload, std::size_t N>
int decode_row_index(const std::array<decode_row<Payload>, N>& table, uint16_t word) {
  for (std::size_t i = 0; i < N; ++i)
    if ((word & table[i].mask) == table[i].value) return static_cast<int>(i);
  return static_cast<int>(N) - 1;
}

// The row each of the six tables gives one opcode word. The cycle engine
// looks words up every instruction, so each word's first-match searches
// run once, the first time it is looked up; the tables are constant, so
// an entry never goes stale.
// Each entry is one 8-byte word, read and written whole, so that devices
// on several threads may fill it.
struct alignas(8) opcode_rows {
  uint8_t timing;
  uint8_t attr;
  uint8_t fetch;
  uint8_t flags;
  uint8_t cls;
  uint8_t move_form;
  bool ready;
};
extern std::array<opcode_rows, 0x10000> opcode_row_cache;
opcode_rows find_opcode_rows(uint16_t word);

inline opcode_rows opcode_rows_of(uint16_t word) {
  const opcode_rows rows = std::atomic_ref<opcode_rows>(opcode_row_cache[word]).load(std::memory_order_relaxed);
  return rows.ready ? rows : find_opcode_rows(word);
}

// op_timing row for the word in the given pipeline mode.
inline int timing_lookup(uint16_t word, int mode, bool fast_irq) {
  if (mode == PIPE_MODE_IDLE) return TIMING_ROW_IDLE;
  const auto& row = timing_select_table[opcode_rows_of(word).timing];
  if (mode == PIPE_MODE_FIRST) return fast_irq && row.flow ? TIMING_ROW_IDLE : row.payload.first;
  return row.payload.second;
}

// Attribute row; a sequence code 1-16 selects its special-sequence row.
inline attr_row exec_attr_lookup(uint16_t word, int seq_code, bool fast_irq) {
  if (seq_code > 0 && seq_code < static_cast<int>(SPECIAL_SEQ_ROWS)) {
    const special_seq_row& s = special_seq_rows[seq_code];
    return {s.value, s.attr};
  }
  const auto& row = exec_attr_table[opcode_rows_of(word).attr];
  return attr_rows[fast_irq && row.flow ? 0 : row.payload];
}

inline uint16_t fetch_ctrl_lookup(uint16_t word, int mode, bool fast_irq) {
  if (mode == PIPE_MODE_IDLE) return FETCH_CTRL_IDLE;
  const auto& row = fetch_ctrl_table[opcode_rows_of(word).fetch];
  if (fast_irq && row.flow) return 0;
  return fetch_ctrl_words[mode == PIPE_MODE_FIRST ? row.payload.first : row.payload.second];
}

inline uint32_t instr_flags_lookup(uint16_t word, bool fast_irq) {
  const auto& row = instr_flag_table[opcode_rows_of(word).flags];
  return fast_irq && row.flow ? 0 : row.payload;
}

inline uint16_t instr_class_lookup(uint16_t word, bool fast_irq) {
  const auto& row = instr_class_table[opcode_rows_of(word).cls];
  return fast_irq && row.flow ? 0 : row.payload;
}

inline uint32_t move_form_lookup(uint16_t word) {
  return move_form_table[opcode_rows_of(word).move_form].payload;
}

// The move forms that ask for the scaling check (sr bit S) when they put
// an accumulator on the X data bus: the parallel moves beside a data-ALU
// operation and the move instructions. movep, movem, moves to and from
// program memory and the long two-bus move do not.
struct scale_check_form {
  uint16_t mask, value;
};
constexpr scale_check_form scale_check_forms[] = {
    {0x8000, 0x8000},  // ALU operation with an X move
    {0xF000, 0x5000},  // ALU operation with an accumulator move
    {0xF000, 0x4000},  // ALU operation with a register transfer
    {0xF816, 0x3816},  // move of an accumulator to an address register
    {0xF814, 0x3810},  // move x:(rn+offset)
    {0xFF00, 0x0500},  // the r2-offset prefix of move x:(r2+offset)
    {0xF810, 0x3800},  // move x:(rn)
    {0xFC00, 0x2800},  // move between registers
    {0xFC00, 0x2400},  // tfr3 with its move
    {0xFE20, 0x1800},  // moves x:short (not movep x:short)
    {0xFE00, 0x1600},  // multiply with its move
};
constexpr std::array<uint8_t, 0x10000 / 8> make_scale_check_bits() {
  std::array<uint8_t, 0x10000 / 8> bits{};
  for (uint32_t w = 0; w < 0x10000; ++w)
    for (const scale_check_form& f : scale_check_forms)
      if ((w & f.mask) == f.value) bits[w >> 3] = static_cast<uint8_t>(bits[w >> 3] | (1u << (w & 7)));
  return bits;
}
// Built at start-up: clang's constant evaluator gives up on a 64K-word sweep.
inline const std::array<uint8_t, 0x10000 / 8> scale_check_bits = make_scale_check_bits();
inline bool move_checks_scaling(uint16_t word) { return (scale_check_bits[word >> 3] >> (word & 7)) & 1; }

// ---------------------------------------------------------------------------
// Register selection.

// The 6-bit register code that selector field 1-4 with rule `rule` picks
// from the opcode; field 3's fallback rule takes `field1_code`. Code 0 is
// no register.
int select_move_code(int field, uint32_t rule, uint16_t word, int field1_code);

// What a register code names: a core register number (enum core_reg), or:
constexpr int8_t MOVE_REG_NONE = -1;
constexpr int8_t MOVE_REG_SHORT_IMM = -2;  // the short-immediate latch
extern const std::array<int8_t, 64> reg_code_table;

inline int move_reg_of_code(uint32_t code) {
  return reg_code_table[code & 0x3F];
}
