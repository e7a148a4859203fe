// Moves between registers and the 16-bit data buses (accumulators scaled
// and limited, the stack windows pushing and popping) and the bit-field
// tests on the operand latch.
#include <cstdint>

#include "sim/engine/core/core_alu.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"

namespace {

const char* bus_name(int latch) {
  switch (latch) {
    case CS_PAB: return "pab";
    case CS_PDB: return "pdb";
    case CS_XAB: return "xab";
    case CS_XAB2: return "xab2";
    case CS_XDB: return "xdb";
    case CS_GDB: return "gdb";
    default: return "bus";
  }
}

void set_sr_bit(uint32_t bit_value) {
  const uint32_t sr = core_word(CORE_SR);
  if (!(sr & bit_value)) core_store_reg(CORE_SR, sr | bit_value);
}

// The long two-bus move: D1:D0 limited to 32 bits.
void move_long(const uint32_t* w, int base) {
  const uint32_t d0 = w[base + 1] & 0xFFFF, d1 = w[base + 2] & 0xFFFF, d2 = w[base + 3] & 0xFF;
  uint32_t high = d1, low = d0;
  if (!((d2 == 0 && d1 < 0x8000) || (d2 == 0xFF && d1 >= 0x8000))) {
    const bool negative = (d2 & 0x80) != 0;
    high = negative ? 0x8000 : 0x7FFF;
    low = negative ? 0x0000 : 0xFFFF;
    set_sr_bit(SR_L);
  }
  core_set_bus_latch(CS_GDB, high, "gdb");
  core_set_bus_latch(CS_XDB, low, "xdb");
}

// An accumulator onto one bus: scaled (X data bus), then limited.
uint32_t accumulator_to_bus(const uint32_t* w, int base, int bus) {
  const uint32_t d0 = w[base + 1] & 0xFFFF, d1 = w[base + 2] & 0xFFFF, d2 = w[base + 3] & 0xFF;
  const uint32_t ext9 = (d2 & 0x80) ? (d2 | 0x100) : d2;
  uint32_t value = d1, ext = ext9;
  const uint32_t mode = bus == CS_XDB ? w[CORE_SR] & (SR_SCALE_DOWN | SR_SCALE_UP) : 0;
  if (mode == SR_SCALE_DOWN) {
    value = ((d2 & 1) << 15) | (d1 >> 1);
    ext = (ext9 >> 1) | (ext9 & 0x100);
  } else if (mode == SR_SCALE_UP) {
    value = ((d1 << 1) | (d0 >> 15)) & 0xFFFF;
    ext = ((d2 << 1) | (d1 >> 15)) & 0x1FF;
  }
  if (bus == CS_XDB && w[CS_SCALE_CHECK] && (((value >> 14) ^ (value >> 13)) & 1)) set_sr_bit(SR_S);
  if ((ext == 0 && value < 0x8000) || (ext == 0x1FF && value >= 0x8000)) return value;
  set_sr_bit(SR_L);
  return (ext & 0x100) ? 0x8000 : 0x7FFF;
}

}  // namespace

// ---------------------------------------------------------------------------
// Bit-field operations.

namespace {

enum bit_action { BIT_KEEP, BIT_CLEAR, BIT_INVERT, BIT_SET };
struct bit_op {
  uint32_t code;        // bits 8-12 of the second word
  bool all_set;         // C: all masked bits set (else all clear)
  bit_action action;
};
constexpr bit_op bit_ops[] = {
    {0, false, BIT_KEEP},     // bftstl
    {4, false, BIT_CLEAR},    // bfclr
    {16, true, BIT_KEEP},     // bftsth
    {18, true, BIT_INVERT},   // bfchg
    {24, true, BIT_SET},      // bfset
};

}  // namespace

void core_bit_test(uint32_t second_word) {
  uint32_t mask = second_word & 0xFF;
  if (second_word & 0x4000)
    mask <<= 4;
  else if (second_word & 0x8000)
    mask <<= 8;
  if (mask == 0) return;
  const uint32_t code = (second_word >> 8) & 0x1F;
  for (const bit_op& op : bit_ops) {
    if (op.code != code) continue;
    uint32_t value = core_word(CS_OPERAND_LATCH) & 0xFFFF;
    const bool c = op.all_set ? (value & mask) == mask : (value & mask) == 0;
    switch (op.action) {
      case BIT_KEEP: break;
      case BIT_CLEAR: value &= ~mask; break;
      case BIT_INVERT: value ^= mask; break;
      case BIT_SET: value |= mask; break;
    }
    core_word(CS_OPERAND_LATCH) = value & 0xFFFF;
    const uint32_t sr = core_word(CORE_SR);
    core_store_reg(CORE_SR, c ? (sr | SR_C) : (sr & ~SR_C));
    return;
  }
}

// ---------------------------------------------------------------------------
// Register <-> bus moves.

void core_reg_to_bus(int reg, int bus) {
  if (reg < 0 || reg >= CORE_STATE_WORDS || bus < 0 || bus >= CORE_STATE_WORDS) return;
  uint32_t* w = core_words();
  uint32_t value = 0;
  if (reg == CORE_A || reg == CORE_B) {
    w[CS_MOVE_PART0] = w[reg + 1];
    w[CS_MOVE_PART1] = w[reg + 2];
    w[CS_MOVE_PART2] = w[reg + 3];
    if (w[CS_EX_TIMING + OPT_XDB_DST] & 0x400) {
      move_long(w, reg);
      return;
    }
    value = accumulator_to_bus(w, reg, bus);
  } else if (reg == CORE_A2 || reg == CORE_B2) {
    value = (w[reg] & 0x80) ? (w[reg] | 0xFF00) : (w[reg] & 0xFF);
  } else if (reg == CORE_SSH || reg == CORE_SSL) {
    const uint32_t p = w[CORE_SP] & SP_POINTER;
    value = p ? w[(reg == CORE_SSH ? CS_SS_HIGH : CS_SS_LOW) + p] : 0;
    if (reg == CORE_SSH) ss_decrement();
  } else {
    value = w[reg];
  }
  core_set_bus_latch(bus, value, bus_name(bus));
}

void core_bus_to_reg(int reg, int bus) {
  if (reg < 0 || reg >= CORE_STATE_WORDS || bus < 0 || bus >= CORE_STATE_WORDS) return;
  uint32_t* w = core_words();
  const uint32_t v = w[bus] & 0xFFFF;
  switch (reg) {
    case CORE_A:
    case CORE_B:
      core_store_reg_quiet(reg + 1, 0);
      core_store_reg_quiet(reg + 2, v);
      core_store_reg(reg + 3, (v & 0x8000) ? 0xFF : 0);
      return;
    case CORE_SSH:
      ss_push(bus, -1);
      core_mark_write(CORE_SSH, false);
      return;
    case CORE_SSL: {
      const uint32_t p = w[CORE_SP] & SP_POINTER;
      if (p) w[CS_SS_LOW + p] = v;
      core_mark_write(CORE_SSL, false);
      return;
    }
    case CORE_OMR: {
      const uint32_t value = v;
      core_set_reg(0, CORE_OMR, &value);
      return;
    }
    default:
      core_store_reg(reg, v);
  }
}
