// The straight-line handlers of the control forms (core_fast.h): nop,
// debug and debug<cc> (which change nothing), chkaau, andi and ori on the
// status register, and the bit-field operations on X memory and on
// registers. Each mirrors its executor-table function.
#include <array>
#include <cstdint>

#include "sim/engine/core/core_alu.h"
#include "sim/engine/core/core_decode.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"
#include "sim/engine/fast/core_fast.h"
#include "sim/engine/fast/core_fast_step.h"

namespace {

constexpr uint32_t WORD = 0xFFFF;

bool chkaau(fast_step& s) {
  fast_begin(s);
  agu_flags_to_sr();
  return true;
}

// andi and ori on mr or ccr. On omr they stay on the cycle-by-cycle path:
// a straight run keeps the pages and the clocking omr gives as it starts.
bool logic_sr(fast_step& s) {
  const uint32_t op = s.opcode;
  if ((op & 0x400) && !(op & 0x200)) return false;
  fast_begin(s);
  const uint32_t imm = core_opcode_byte(static_cast<uint16_t>(op), s.d->flags);
  const uint32_t v = s.w[CORE_SR] & WORD;
  fast_transfer(s, CORE_SR, (op & 0x100) ? (v | imm) : (v & imm));
  return true;
}

// The operations that write their operand back: bfchg, bfclr, bfset.
bool bit_writes(uint32_t second) {
  const uint32_t code = (second >> 8) & 0x1F;
  return code == 4 || code == 18 || code == 24;
}

// A bit-field operation on the X word at `ea`: read into the operand
// latch in the first cycle, where the test sets C; the result written
// back in the last. Both accesses planned before anything changes.
bool bit_memory(fast_step& s, uint32_t ea) {
  const uint32_t second = fast_second_word(s);
  fast_access* read = fast_plan_access(s, ea, false, -1, 1, false);
  if (read == nullptr) return false;
  fast_access* write = bit_writes(second) ? fast_plan_access(s, ea, true, -1, last_cycle(s), false) : nullptr;
  if (bit_writes(second) && write == nullptr) return false;
  fast_begin(s);
  // Nothing else writes the word before the read: its value now is the
  // value read.
  s.w[CS_OPERAND_LATCH] = *read->at.word & WORD;
  core_bit_test(second);
  if (write != nullptr) write->value = s.w[CS_OPERAND_LATCH];
  return true;
}

bool bit_short(fast_step& s) {
  return bit_memory(s, core_short_immediate(static_cast<uint16_t>(s.opcode), s.d->cls));
}

bool bit_indirect(fast_step& s) { return bit_memory(s, s.w[CORE_R0 + (s.opcode & 3)]); }

// On a register: its value through gdb into the operand latch, the result
// back as a transfer. Not ssh (its read pops, its write pushes), nor a
// write-back to a register a move may not load (fast_move_destination).
bool bit_reg(fast_step& s) {
  const int reg = fast_reg5(s.opcode);
  const uint32_t second = fast_second_word(s);
  if (reg == CORE_SSH) return false;
  if (reg >= 0 && bit_writes(second) && !fast_move_destination(s.w, reg)) return false;
  fast_begin(s);
  if (reg < 0) return true;
  s.w[CS_OPERAND_LATCH] = fast_source(reg, CS_GDB);
  core_bit_test(second);
  if (bit_writes(second)) fast_transfer(s, reg, s.w[CS_OPERAND_LATCH]);
  return true;
}

struct control_row {
  uint16_t mask;
  uint16_t value;
  uint8_t words;
  fast_handler run;
};
// The executor table's rows of these forms, with the rows before them
// that would match first (the moves', the flow's and the data-ALU rows
// come earlier). The traps, reset, stop and wait are special sequences
// (core_fast_record leaves them).
constexpr std::array<control_row, 10> control_rows = {{
    {0xFC00, 0x1C00, 1, logic_sr},
    {0xFA00, 0x1A00, 1, logic_sr},
    {0xFF40, 0x1440, 2, bit_short},
    {0xFF70, 0x1430, 2, bit_indirect},
    {0xFF60, 0x1400, 2, bit_reg},
    {0xFFF0, 0x0050, 1, fast_nop},  // debug<cc>
    {0xFFFF, 0x0000, 1, fast_nop},
    {0xFFFF, 0x0001, 1, fast_nop},  // debug
    {0xFFFF, 0x0004, 1, chkaau},
    {0xFFF0, 0x0000, 1, nullptr},
}};

}  // namespace

bool fast_nop(fast_step& s) {
  fast_begin(s);
  return true;
}

fast_handler core_fast_control_handler(uint16_t word, const decoded_word& d) {
  for (const control_row& row : control_rows) {
    if ((word & row.mask) != row.value) continue;
    if (row.run == logic_sr) {
      // The decode's immediate for these rows is the opcode byte.
      const uint16_t source = op_timing[d.timing_row][OPT_IMMEDIATE];
      if ((source & (IMM_PRESENT | IMM_SECOND_WORD | IMM_SHORT | IMM_OPCODE_BYTE)) != (IMM_PRESENT | IMM_OPCODE_BYTE))
        return nullptr;
    }
    return d.words == row.words ? row.run : nullptr;
  }
  return nullptr;
}
