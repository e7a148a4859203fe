// Address generation: linear, modulo and reverse-carry arithmetic on the
// address registers, for the first and the second X address unit.
#include <bit>
#include <cstdint>

#include "sim/engine/core/core_engine.h"
#include "sim/engine/core/core_state.h"

namespace {

constexpr uint32_t WORD = 0xFFFF;

uint32_t reverse16(uint32_t v) {
  uint32_t r = 0;
  for (int i = 0; i < 16; ++i)
    if (v & (1u << i)) r |= 1u << (15 - i);
  return r;
}

// The highest set bit of the low 16 bits, -1 for none.
int highest_bit(uint32_t v) {
  return static_cast<int>(std::bit_width(v & WORD)) - 1;
}

// Reverse carry: the carry runs from bit 15 down to bit 0.
uint32_t reverse_carry(uint32_t r, uint32_t offset, bool subtract, bool* carried) {
  const uint32_t d = subtract ? (~offset & WORD) : offset;
  const uint32_t sum = reverse16(r) + reverse16(d) + (subtract ? 1u : 0u);
  *carried = sum > WORD;
  return reverse16(sum & WORD);
}

uint32_t modulo(uint32_t r, uint32_t offset, bool subtract, uint32_t m, bool* wrapped) {
  const uint32_t big_m = m + 1;
  const uint32_t mask = (2u << highest_bit(m)) - 1;
  const uint32_t d = subtract ? ((~offset + 1) & WORD) : offset;
  const uint32_t s = (r + d) & WORD;
  const bool negative = subtract ? offset != 0 : (offset & 0x8000) != 0;
  const bool carry = (r & mask) + (d & mask) > mask;
  if (!negative) {
    *wrapped = (s & mask) > m || carry;
    return *wrapped ? (s - big_m) & WORD : s;
  }
  *wrapped = !carry;
  return *wrapped ? (s + big_m) & WORD : s;
}

// The pending-update words: the register a store may still replace.
void set_pending(int reg, uint32_t value) {
  core_word(CS_AGU_PENDING) = static_cast<uint32_t>(reg);
  core_word(CS_AGU_UPDATE) = value;
}

// The 583's peripheral address generation: with omr bit 9 and sr bit 13
// (or a long interrupt being entered) r0-r2 hand their update to pagurN,
// which counts by one and raises its channel at its count register.
bool pagu_active(int n, agu_mode mode) {
  if (n > 2 || mode == AGU_NONE || mode == AGU_INDEXED || !core_is_583()) return false;
  const uint32_t* w = core_words();
  if (!(w[CORE_OMR] & OMR_PAGU)) return false;
  return (w[CORE_SR] & SR_PAGE) || w[CS_IRQ_LONG];
}

uint32_t pagu_address(int n, agu_mode mode) {
  uint32_t* w = core_words();
  const int reg = CORE_PAGUR0 + n;
  const uint32_t address = w[reg] & WORD;
  const bool down = mode == AGU_DEC || mode == AGU_PREDEC;
  const uint32_t updated = (down ? address - 1 : address + 1) & WORD;
  core_store_reg(reg, updated);
  constexpr int channels[3] = {CS_PEND_CH0, CS_PEND_CH1, CS_PEND_CH2};
  if (updated == (w[CORE_PAGUC0 + n] & WORD)) {
    w[channels[n]] = 1;
    raise_interrupt_request();
  }
  return mode == AGU_PREDEC ? updated : address;
}

}  // namespace

uint32_t agu_modify(uint32_t r, uint32_t offset, bool subtract, uint32_t m, uint32_t* flags) {
  r &= WORD;
  offset &= WORD;
  m &= WORD;
  bool wrapped = false;
  uint32_t result;
  if (m == 0)
    result = reverse_carry(r, offset, subtract, &wrapped);
  else if (m == WORD)
    result = (subtract ? r - offset : r + offset) & WORD;
  else
    result = modulo(r, offset, subtract, m, &wrapped);
  if (flags) {
    *flags = 0;
    if (wrapped) *flags |= AGU_FLAG_WRAP;
    if (result & 0x8000) *flags |= AGU_FLAG_NEGATIVE;
    if (result == 0) *flags |= AGU_FLAG_ZERO;
  }
  return result;
}

uint32_t agu_address(int n, agu_mode mode) {
  n &= 3;
  if (pagu_active(n, mode)) return pagu_address(n, mode);
  uint32_t* w = core_words();
  const int reg = CORE_R0 + (n & 3);
  const uint32_t r = w[reg] & WORD;
  const uint32_t m = w[CORE_M0 + (n & 3)] & WORD;
  const uint32_t nn = w[CORE_N0 + (n & 3)] & WORD;
  w[CS_AGU_REG] = static_cast<uint32_t>(reg);
  w[CS_AGU_VALUE] = r;
  w[CS_AGU_MOD] = m;
  w[CS_AGU_OFFSET] = nn;
  uint32_t flags = 0;
  uint32_t address = r;
  uint32_t updated = r;
  switch (mode) {
    case AGU_NONE: return r;
    case AGU_INC: updated = agu_modify(r, 1, false, m, &flags); break;
    case AGU_DEC: updated = agu_modify(r, 1, true, m, &flags); break;
    case AGU_ADD_N: updated = agu_modify(r, nn, false, m, &flags); break;
    case AGU_PREDEC:
      updated = agu_modify(r, 1, true, m, &flags);
      address = updated;
      break;
    case AGU_INDEXED:
      address = agu_modify(r, nn, false, m, &flags);
      w[CS_AGU_FLAGS] = flags;
      return address;
  }
  w[CS_AGU_FLAGS] = flags;
  set_pending(reg, updated);
  core_store_reg(reg, updated);
  w[CS_AGU_PENDING] = static_cast<uint32_t>(-1);
  return address;
}

uint32_t agu2_address(bool add_n3) {
  uint32_t* w = core_words();
  const uint32_t r = w[CORE_R3] & WORD;
  const uint32_t step = add_n3 ? w[CORE_N3] & WORD : 1;
  const uint32_t updated = (r + step) & WORD;
  w[CS_AGU2_R3] = r;
  w[CS_AGU2_UPDATE] = updated;
  core_store_reg(CORE_R3, updated);
  return r;
}

void agu_flags_to_sr() {
  uint32_t* w = core_words();
  const uint32_t f = w[CS_AGU_FLAGS];
  uint32_t sr = w[CORE_SR] & ~(SR_V | SR_Z | SR_N);
  if (f & AGU_FLAG_WRAP) sr |= SR_V;
  if (f & AGU_FLAG_ZERO) sr |= SR_Z;
  if (f & AGU_FLAG_NEGATIVE) sr |= SR_N;
  core_store_reg(CORE_SR, sr);
}
