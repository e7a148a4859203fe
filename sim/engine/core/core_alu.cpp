// Data ALU handlers: one small function per operation, run in two phases
// (load the operand latches, then compute and write back) from a table.
// Accumulators are 40-bit two's complement values held in uint64_t and
// masked to 40 bits after every step.
#include "sim/engine/core/core_alu.h"

#include <array>
#include <cstdint>

#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"

namespace {

constexpr uint64_t MASK40 = 0xFF'FFFF'FFFFull;
constexpr uint64_t BIT39 = 1ull << 39;
constexpr uint32_t FLAGS_ARITH = SR_V | SR_Z | SR_N | SR_U | SR_E;

constexpr bool bit(uint64_t v, int n) {
  return ((v >> n) & 1u) != 0;
}

constexpr uint64_t join40(uint32_t ext, uint32_t mid, uint32_t low) {
  return (static_cast<uint64_t>(ext & 0xFF) << 32) | (static_cast<uint64_t>(mid & 0xFFFF) << 16) |
         (low & 0xFFFF);
}

constexpr uint32_t part0(uint64_t v) {
  return static_cast<uint32_t>(v & 0xFFFF);
}
constexpr uint32_t part1(uint64_t v) {
  return static_cast<uint32_t>((v >> 16) & 0xFFFF);
}
constexpr uint32_t part2(uint64_t v) {
  return static_cast<uint32_t>((v >> 32) & 0xFF);
}

// Signed view of a 40-bit value.
constexpr int64_t signed40(uint64_t v) {
  v &= MASK40;
  return (v & BIT39) ? static_cast<int64_t>(v) - (static_cast<int64_t>(1) << 40)
                     : static_cast<int64_t>(v);
}

constexpr uint64_t wrap40(int64_t v) {
  return static_cast<uint64_t>(v) & MASK40;
}

constexpr uint64_t negate40(uint64_t v) {
  return (~v + 1) & MASK40;
}

// A 16-bit register value aligned with the most significant part.
constexpr uint64_t aligned16(uint32_t v) {
  v &= 0xFFFF;
  return join40((v & 0x8000) ? 0xFF : 0, v, 0);
}

struct arith {
  uint64_t r;
  bool c;
  bool v;
};

// d + s + carry_in, with the carry and overflow of bit 39.
constexpr arith add40(uint64_t d, uint64_t s, unsigned carry_in) {
  const uint64_t r = (d + s + carry_in) & MASK40;
  const bool d39 = bit(d, 39), s39 = bit(s, 39), r39 = bit(r, 39);
  return {r, r39 ? (d39 && s39) : (d39 || s39), d39 == s39 && r39 != d39};
}

// d - s - borrow_in, computed as d + NOT s + 1 - borrow_in.
constexpr arith sub40(uint64_t d, uint64_t s, unsigned borrow_in) {
  const uint64_t r = (d + (~s & MASK40) + 1 - borrow_in) & MASK40;
  const bool d39 = bit(d, 39), s39 = bit(s, 39), r39 = bit(r, 39);
  return {r, (s39 && !d39) || (r39 && (s39 || !d39)), d39 != s39 && r39 != d39};
}

// ---------------------------------------------------------------------------
// The working state of one operation.

uint32_t& alu_sr(uint32_t* w) {
  return w[CS_ALU_SR];
}

// The helpers below work on an sr value (the operation's copy, kept in
// a local by the direct forms) and have forms on the ALU's latch words.
inline void set_flag(uint32_t& sr, uint32_t flag, bool on) {
  if (on)
    sr |= flag;
  else
    sr &= ~flag;
}
void set_flag(uint32_t* w, uint32_t flag, bool on) {
  set_flag(alu_sr(w), flag, on);
}

uint64_t acc_latch(const uint32_t* w) {
  return join40(w[CS_EXA], w[CS_MSA], w[CS_LSA]);
}

uint64_t src_latch(const uint32_t* w) {
  return join40(w[CS_EB], w[CS_ZB], w[CS_MB]);
}

int op_field(const uint32_t* w, int word) {
  return static_cast<int32_t>(w[word]);
}

// Register number of the first part of an accumulator operand, or -1.
int acc_base(int code) {
  if (code == ALU_A) return CORE_A;
  if (code == ALU_B) return CORE_B;
  return -1;
}

uint64_t read_acc(const uint32_t* w, int base) {
  return join40(w[base + 3], w[base + 2], w[base + 1]);
}

// Scaling mode: where U and E look and where rounding adds.
enum scaling { SCALE_NONE, SCALE_DOWN, SCALE_UP };

inline scaling scale_of(uint32_t sr) {
  switch (sr & (SR_SCALE_DOWN | SR_SCALE_UP)) {
    case SR_SCALE_DOWN: return SCALE_DOWN;
    case SR_SCALE_UP: return SCALE_UP;
    default: return SCALE_NONE;
  }
}

// Z, N, U and E from the result, L from V (each flag's bit computed and
// merged at once: this runs in every arithmetic operation).
[[gnu::always_inline]] inline void flags_of(uint32_t& sr, uint64_t r) {
  static_assert(SR_Z == 4 && SR_N == 8 && SR_U == 0x10 && SR_E == 0x20 && SR_V == 2 && SR_L == 0x40);
  const uint64_t m = r & MASK40;
  // U looks at bits top and top-1; E wants bits 39..top all equal.
  // 31 unscaled (and with both scaling bits), 32 scaled down, 30 up.
  static_assert(SR_SCALE_DOWN == 0x400 && SR_SCALE_UP == 0x800);
  const unsigned top = (0x1F1E201Fu >> (8 * ((sr >> 10) & 3))) & 0xFF;
  // Bits 39..top as a signed number: 0 or -1 when they are all equal.
  const int64_t upper = static_cast<int64_t>(m << 24) >> (24 + top);
  const uint32_t flags = (m == 0 ? SR_Z : 0u) | static_cast<uint32_t>((m >> 39) << 3) |
                         static_cast<uint32_t>((~((m >> top) ^ (m >> (top - 1))) & 1) << 4) |
                         (static_cast<uint64_t>(upper + 1) > 1 ? SR_E : 0u) | ((sr & SR_V) << 5);
  sr = (sr & ~(SR_Z | SR_N | SR_U | SR_E)) | flags;
}
void common_flags(uint32_t* w, uint64_t r) {
  flags_of(alu_sr(w), r);
}

// Saturation arithmetic (omr bit 4): a result whose bits 39, 32 and 31
// disagree becomes the largest value of its sign.
inline uint64_t saturate_of(uint32_t& sr, uint32_t omr, uint64_t r, bool rounding) {
  if (!(omr & OMR_SATURATE)) return r;
  const bool b39 = bit(r, 39), b32 = bit(r, 32), b31 = bit(r, 31);
  if (b39 == b32 && b32 == b31) return r;
  r = b39 ? join40(0xFF, 0x8000, 0) : join40(0, 0x7FFF, rounding ? 0 : 0xFFFF);
  sr |= SR_V | SR_L;
  set_flag(sr, SR_U, scale_of(sr) != SCALE_NONE);
  return r;
}
uint64_t saturate(uint32_t* w, uint64_t r, bool rounding) {
  return saturate_of(alu_sr(w), w[CORE_OMR], r, rounding);
}

// Rounding at bit 15 (16 scaled down, 14 scaled up); convergent unless
// omr selects two's-complement rounding.
inline arith round_of(uint32_t sr, uint32_t omr, uint64_t r) {
  int point = 15;
  const scaling mode = scale_of(sr);
  if (mode == SCALE_DOWN) point = 16;
  if (mode == SCALE_UP) point = 14;
  arith a = add40(r, 1ull << point, 0);
  const uint64_t below = (1ull << (point + 1)) - 1;
  if (!(omr & OMR_TWOS_ROUND) && (a.r & below) == 0) a.r &= ~(1ull << (point + 1));
  a.r &= ~below;
  return a;
}
arith round40(const uint32_t* w, uint64_t r) {
  return round_of(w[CS_ALU_SR], w[CORE_OMR], r);
}

enum multiply_mode { MUL_SS, MUL_SU, MUL_UU };

// 16 x 16 fractional multiply: twice the product of the magnitudes, its
// sign by the mode and inverted by alu_negate.
inline uint64_t multiply(uint32_t a, uint32_t b, multiply_mode mode, bool negate) {
  a &= 0xFFFF;
  b &= 0xFFFF;
  if (a == 0 || b == 0) return 0;
  const bool a_neg = mode != MUL_UU && (a & 0x8000);
  const bool b_neg = mode == MUL_SS && (b & 0x8000);
  const uint64_t ma = a_neg ? 0x10000 - a : a;
  const uint64_t mb = b_neg ? 0x10000 - b : b;
  const uint64_t p2 = (ma * mb) << 1;
  bool negative = mode == MUL_SS ? (a_neg != b_neg) : a_neg;
  if (negate) negative = !negative;
  return negative ? negate40(p2) : p2;
}
uint64_t product(const uint32_t* w, multiply_mode mode) {
  return multiply(w[CS_ZB], w[CS_MB], mode, w[CS_ALU_NEGATE] != 0);
}

// ---------------------------------------------------------------------------
// Phase 1: operand latches.

void load_latch(int word, uint32_t value, const char* name) {
  core_set_bus_latch(word, value, name);
}

void load_dest(uint32_t* w) {
  const int base = acc_base(op_field(w, CS_ALU_DEST));
  if (base < 0) return;
  load_latch(CS_LSA, w[base + 1], "lsa");
  load_latch(CS_MSA, w[base + 2], "msa");
  load_latch(CS_EXA, w[base + 3] & 0xFF, "exa");
}

void load_source(uint64_t s) {
  load_latch(CS_ZB, part1(s), "zb");
  load_latch(CS_MB, part0(s), "mb");
  load_latch(CS_EB, part2(s), "eb");
}

uint64_t source_value(const uint32_t* w, int code) {
  const int base = acc_base(code);
  if (base >= 0) return read_acc(w, base);
  if (code == ALU_X) return join40((w[CORE_X1] & 0x8000) ? 0xFF : 0, w[CORE_X1], w[CORE_X0]);
  if (code == ALU_Y) return join40((w[CORE_Y1] & 0x8000) ? 0xFF : 0, w[CORE_Y1], w[CORE_Y0]);
  if (code >= 0 && code < CORE_STATE_WORDS) return aligned16(w[code]);
  return 0;
}

uint32_t reg16(const uint32_t* w, int code) {
  return (code >= 0 && code < CORE_STATE_WORDS) ? w[code] & 0xFFFF : 0;
}

void load_none(uint32_t*) {}

void load_acc(uint32_t* w) {
  load_dest(w);
}

void load_two(uint32_t* w) {
  load_dest(w);
  load_source(source_value(w, op_field(w, CS_ALU_SRC1)));
}

void load_mul(uint32_t* w) {
  load_dest(w);
  load_latch(CS_ZB, reg16(w, op_field(w, CS_ALU_SRC1)), "zb");
  load_latch(CS_MB, reg16(w, op_field(w, CS_ALU_SRC2)), "mb");
}

// ---------------------------------------------------------------------------
// Phase 2: write-back.

enum : unsigned { PART0 = 1, PART1 = 2, PART2 = 4, PARTS_ALL = 7, PARTS_HIGH = 6 };

void write_back(uint32_t* w, uint64_t r, unsigned parts) {
  load_latch(CS_LSP, part0(r), "lsp");
  load_latch(CS_MSP, part1(r), "msp");
  load_latch(CS_EXT, part2(r), "ext");
  const int base = acc_base(op_field(w, CS_ALU_DEST));
  if (base < 0) return;
  const uint32_t values[3] = {part0(r), part1(r), part2(r)};
  int last = -1;
  for (int i = 0; i < 3; ++i)
    if (parts & (1u << i)) last = i;
  for (int i = 0; i < 3; ++i) {
    if (!(parts & (1u << i))) continue;
    if (i == last)
      core_store_reg(base + 1 + i, values[i]);
    else
      core_store_reg_quiet(base + 1 + i, values[i]);
  }
}

// Common ending: flags, optional saturation, write-back.
void finish(uint32_t* w, uint64_t r, bool saturating, unsigned parts, bool rounding = false) {
  common_flags(w, r);
  if (saturating) r = saturate(w, r, rounding);
  if (parts) write_back(w, r, parts);
}

void begin_arith(uint32_t* w, bool keep_c) {
  alu_sr(w) &= ~(FLAGS_ARITH | (keep_c ? 0u : SR_C));
}

unsigned carry(const uint32_t* w) {
  return (w[CS_ALU_SR] & SR_C) ? 1u : 0u;
}

// Ends of the logic operations on D1: Z and N from D1.
void logic_result(uint32_t* w, uint32_t d1, bool n_from_d1) {
  d1 &= 0xFFFF;
  alu_sr(w) &= ~(SR_V | SR_Z | SR_N);
  set_flag(w, SR_Z, d1 == 0);
  if (n_from_d1) set_flag(w, SR_N, (d1 & 0x8000) != 0);
  write_back(w, (acc_latch(w) & ~0xFFFF0000ull) | (static_cast<uint64_t>(d1) << 16), PART1);
}

// ---------------------------------------------------------------------------
// Handlers.

void op_none(uint32_t*) {}

void op_abs(uint32_t* w) {
  const uint64_t d = acc_latch(w);
  begin_arith(w, true);
  const uint64_t r = bit(d, 39) ? negate40(d) : d;
  set_flag(w, SR_V, bit(d, 39) && bit(r, 39));
  finish(w, r, true, PARTS_ALL);
}

void add_common(uint32_t* w, uint64_t s, unsigned carry_in) {
  const arith a = add40(acc_latch(w), s, carry_in);
  begin_arith(w, false);
  set_flag(w, SR_C, a.c);
  set_flag(w, SR_V, a.v);
  finish(w, a.r, true, PARTS_ALL);
}

void sub_common(uint32_t* w, uint64_t s, unsigned borrow_in, unsigned parts) {
  const arith a = sub40(acc_latch(w), s, borrow_in);
  begin_arith(w, false);
  set_flag(w, SR_C, a.c);
  set_flag(w, SR_V, a.v);
  finish(w, a.r, true, parts);
}

void op_adc(uint32_t* w) {
  add_common(w, src_latch(w), carry(w));
}

void op_add(uint32_t* w) {
  add_common(w, src_latch(w), 0);
}

void op_and(uint32_t* w) {
  logic_result(w, w[CS_MSA] & w[CS_ZB], true);
}

void op_asl(uint32_t* w) {
  const uint64_t d = acc_latch(w);
  const uint64_t r = (d << 1) & MASK40;
  begin_arith(w, false);
  set_flag(w, SR_C, bit(d, 39));
  set_flag(w, SR_V, bit(r, 39) != bit(r, 38));
  finish(w, r, true, PARTS_ALL);
}

void op_asl4(uint32_t* w) {
  const uint64_t d = acc_latch(w);
  const uint64_t r = (d << 4) & MASK40;
  const uint64_t top = d >> 35;  // bits 39-35
  begin_arith(w, false);
  set_flag(w, SR_C, bit(d, 36));
  set_flag(w, SR_V, top != 0 && top != 0x1F);
  finish(w, r, false, PARTS_ALL);
}

void shift_right(uint32_t* w, int n) {
  const uint64_t d = acc_latch(w);
  const uint64_t r = wrap40(signed40(d) >> n);
  begin_arith(w, false);
  set_flag(w, SR_C, bit(d, n - 1));
  finish(w, r, true, PARTS_ALL);
}

void op_asr(uint32_t* w) {
  shift_right(w, 1);
}
void op_asr4(uint32_t* w) {
  shift_right(w, 4);
}
void op_asr16(uint32_t* w) {
  shift_right(w, 16);
}

void op_clr(uint32_t* w) {
  begin_arith(w, true);
  finish(w, 0, false, PARTS_ALL);
}

void op_clr24(uint32_t* w) {
  alu_sr(w) &= ~(SR_V | SR_Z | SR_N | SR_E);
  alu_sr(w) |= SR_Z | SR_U;
  write_back(w, acc_latch(w) & 0xFFFF, PARTS_HIGH);
}

void op_cmp(uint32_t* w) {
  sub_common(w, src_latch(w), 0, 0);
}

// Magnitudes in 41 bits: the most negative value keeps its size.
void op_cmpm(uint32_t* w) {
  const int64_t d = signed40(acc_latch(w));
  const int64_t s = signed40(src_latch(w));
  const uint64_t md = static_cast<uint64_t>(d < 0 ? -d : d);
  const uint64_t ms = static_cast<uint64_t>(s < 0 ? -s : s);
  const uint64_t r = (md - ms) & MASK40;
  begin_arith(w, false);
  set_flag(w, SR_C, ms > md);
  set_flag(w, SR_V, r == BIT39 && (md >> 32) != 0);
  finish(w, r, true, 0);
}

void op_dec(uint32_t* w) {
  sub_common(w, 1, 0, PARTS_ALL);
}

void op_dec24(uint32_t* w) {
  const arith a = sub40(acc_latch(w), 0x10000, 0);
  begin_arith(w, false);
  set_flag(w, SR_C, a.c);
  set_flag(w, SR_V, a.v);
  common_flags(w, a.r);
  set_flag(w, SR_Z, (a.r >> 16) == 0);
  write_back(w, saturate(w, a.r, false), PARTS_HIGH);
}

// One division step: the sign of D before the shift picks add or subtract.
void op_div(uint32_t* w) {
  const uint64_t d = acc_latch(w);
  const uint64_t s = src_latch(w);
  const uint64_t shifted = ((d << 1) | carry(w)) & MASK40;
  const uint64_t r = bit(d, 39) != bit(s, 39) ? add40(shifted, s, 0).r : sub40(shifted, s, 0).r;
  const bool v = bit(d, 39) != bit(d, 38);
  set_flag(w, SR_C, !bit(r, 39));
  set_flag(w, SR_V, v);
  if (v) alu_sr(w) |= SR_L;
  write_back(w, r, PARTS_ALL);
}

// Adds the product to d: the accumulator itself (mac) or shifted right
// 16 places (dmac, for double-precision products).
void accumulate_product(uint32_t* w, uint64_t d, multiply_mode mode, bool saturating) {
  const arith a = add40(d, product(w, mode), 0);
  begin_arith(w, true);
  set_flag(w, SR_V, a.v);
  finish(w, a.r, saturating, PARTS_ALL);
}

void dmac(uint32_t* w, multiply_mode mode, bool saturating) {
  accumulate_product(w, wrap40(signed40(acc_latch(w)) >> 16), mode, saturating);
}

void op_dmacss(uint32_t* w) {
  dmac(w, MUL_SS, true);
}
void op_dmacsu(uint32_t* w) {
  dmac(w, MUL_SU, false);
}
void op_dmacuu(uint32_t* w) {
  dmac(w, MUL_UU, false);
}

void op_eor(uint32_t* w) {
  logic_result(w, w[CS_MSA] ^ w[CS_ZB], true);
}

void op_ext(uint32_t* w) {
  const uint64_t d = acc_latch(w);
  const uint64_t r = (d & 0xFFFFFFFFull) | (bit(d, 31) ? 0xFF00000000ull : 0);
  begin_arith(w, true);
  finish(w, r, false, PARTS_ALL);
}

// Integer multiply into D1, D2 the sign of D1, D0 kept.
void integer_multiply(uint32_t* w, bool accumulate) {
  const int32_t a = static_cast<int16_t>(w[CS_ZB] & 0xFFFF);
  const int32_t b = static_cast<int16_t>(w[CS_MB] & 0xFFFF);
  uint32_t d1 = static_cast<uint32_t>(a * b);
  if (accumulate) d1 += w[CS_MSA];
  d1 &= 0xFFFF;
  const uint64_t r = join40((d1 & 0x8000) ? 0xFF : 0, d1, w[CS_LSA]);
  begin_arith(w, true);
  common_flags(w, r);
  set_flag(w, SR_Z, d1 == 0);
  write_back(w, r, PARTS_HIGH);
}

void op_imac(uint32_t* w) {
  integer_multiply(w, true);
}
void op_impy(uint32_t* w) {
  integer_multiply(w, false);
}

void op_inc(uint32_t* w) {
  add_common(w, 1, 0);
}

void op_inc24(uint32_t* w) {
  const arith a = add40(acc_latch(w), 0x10000, 0);
  begin_arith(w, false);
  set_flag(w, SR_C, a.c);
  set_flag(w, SR_V, a.v);
  common_flags(w, a.r);
  set_flag(w, SR_Z, (a.r >> 16) == 0);
  write_back(w, saturate(w, a.r, false), PARTS_HIGH);
}

void op_lsl(uint32_t* w) {
  const uint32_t d1 = w[CS_MSA] & 0xFFFF;
  set_flag(w, SR_C, (d1 & 0x8000) != 0);
  logic_result(w, d1 << 1, true);
}

void op_lsr(uint32_t* w) {
  const uint32_t d1 = w[CS_MSA] & 0xFFFF;
  set_flag(w, SR_C, (d1 & 1) != 0);
  logic_result(w, d1 >> 1, false);
}

void mac(uint32_t* w, multiply_mode mode, bool saturating) {
  accumulate_product(w, acc_latch(w), mode, saturating);
}

void op_mac(uint32_t* w) {
  mac(w, MUL_SS, true);
}
void op_macsu(uint32_t* w) {
  mac(w, MUL_SU, false);
}
void op_macuu(uint32_t* w) {
  mac(w, MUL_UU, false);
}

void op_macr(uint32_t* w) {
  const arith a = add40(acc_latch(w), product(w, MUL_SS), 0);
  const arith rounded = round40(w, a.r);
  begin_arith(w, true);
  set_flag(w, SR_V, a.v || rounded.v);
  finish(w, rounded.r, true, PARTS_ALL, true);
}

void mpy(uint32_t* w, multiply_mode mode, bool saturating) {
  begin_arith(w, true);
  finish(w, product(w, mode), saturating, PARTS_ALL);
}

void op_mpy(uint32_t* w) {
  mpy(w, MUL_SS, true);
}
void op_mpysu(uint32_t* w) {
  mpy(w, MUL_SU, false);
}
void op_mpyuu(uint32_t* w) {
  mpy(w, MUL_UU, false);
}

void op_mpyr(uint32_t* w) {
  const arith rounded = round40(w, product(w, MUL_SS));
  begin_arith(w, true);
  set_flag(w, SR_V, rounded.v);
  finish(w, rounded.r, true, PARTS_ALL, true);
}

void negate_common(uint32_t* w, unsigned borrow_in) {
  const uint64_t d = acc_latch(w);
  const uint64_t r = sub40(0, d, borrow_in).r;
  begin_arith(w, false);
  set_flag(w, SR_V, bit(d, 39) && bit(r, 39));
  set_flag(w, SR_C, bit(d, 39) || bit(r, 39));
  finish(w, r, true, PARTS_ALL);
}

void op_neg(uint32_t* w) {
  negate_common(w, 0);
}
void op_negc(uint32_t* w) {
  negate_common(w, carry(w));
}

// One normalize step; the address register counts the shifts.
void op_norm(uint32_t* w) {
  const uint64_t d = acc_latch(w);
  const uint32_t sr = alu_sr(w);
  const int rn = op_field(w, CS_ALU_SRC1);
  uint64_t r = d;
  begin_arith(w, true);
  if (sr & SR_E) {
    r = wrap40(signed40(d) >> 1);
    if (rn >= CORE_R0 && rn <= CORE_R3) core_store_reg(rn, (w[rn] + 1) & 0xFFFF);
  } else if ((sr & SR_U) && !(sr & SR_Z)) {
    r = (d << 1) & MASK40;
    set_flag(w, SR_V, bit(d, 39) != bit(d, 38));
    if (rn >= CORE_R0 && rn <= CORE_R3) core_store_reg(rn, (w[rn] + 0xFFFF) & 0xFFFF);
  }
  finish(w, r, true, PARTS_ALL);
}

void op_not(uint32_t* w) {
  logic_result(w, ~w[CS_MSA], true);
}

void op_or(uint32_t* w) {
  logic_result(w, w[CS_MSA] | w[CS_ZB], true);
}

void op_rnd(uint32_t* w) {
  const arith rounded = round40(w, acc_latch(w));
  begin_arith(w, true);
  set_flag(w, SR_V, rounded.v);
  finish(w, rounded.r, true, PARTS_ALL, true);
}

void op_rol(uint32_t* w) {
  const uint32_t d1 = w[CS_MSA] & 0xFFFF;
  const uint32_t r = (d1 << 1) | carry(w);
  set_flag(w, SR_C, (d1 & 0x8000) != 0);
  logic_result(w, r, true);
}

void op_ror(uint32_t* w) {
  const uint32_t d1 = w[CS_MSA] & 0xFFFF;
  const uint32_t r = (d1 >> 1) | (carry(w) << 15);
  set_flag(w, SR_C, (d1 & 1) != 0);
  logic_result(w, r, true);
}

void op_sbc(uint32_t* w) {
  sub_common(w, src_latch(w), carry(w), PARTS_ALL);
}

void op_sub(uint32_t* w) {
  sub_common(w, src_latch(w), 0, PARTS_ALL);
}

void op_subl(uint32_t* w) {
  const uint64_t d = acc_latch(w);
  const arith a = sub40((d << 1) & MASK40, src_latch(w), 0);
  begin_arith(w, false);
  set_flag(w, SR_C, a.c);
  set_flag(w, SR_V, a.v || bit(d, 39) != bit(d, 38));
  finish(w, a.r, true, PARTS_ALL);
}

void op_swap(uint32_t* w) {
  const uint64_t d = acc_latch(w);
  write_back(w, join40(part2(d), part0(d), part1(d)), PARTS_ALL);
}

void op_tfr(uint32_t* w) {
  write_back(w, src_latch(w), PARTS_ALL);
}

void op_tst(uint32_t* w) {
  begin_arith(w, false);
  finish(w, acc_latch(w), true, 0);
}

void op_tst2(uint32_t* w) {
  begin_arith(w, false);
  finish(w, src_latch(w), false, 0);
}

void op_zero(uint32_t* w) {
  begin_arith(w, true);
  finish(w, acc_latch(w) & 0xFFFFFFFFull, false, PARTS_ALL);
}

void shift_result(uint32_t* w, uint32_t d1, uint32_t d0) {
  const uint64_t r = join40((d1 & 0x8000) ? 0xFF : 0, d1, d0);
  alu_sr(w) &= ~(SR_Z | SR_N);
  set_flag(w, SR_Z, r == 0);
  set_flag(w, SR_N, bit(r, 39));
  write_back(w, r, PARTS_ALL);
}

void op_shfl(uint32_t* w) {
  const uint32_t n = w[CS_MB] & 15;
  shift_result(w, ((w[CS_ZB] & 0xFFFF) << n) & 0xFFFF, 0);
}

// The bits shifted out of D1 land in D0.
void op_shfr(uint32_t* w) {
  const uint32_t n = w[CS_MB] & 15;
  const int32_t wide = static_cast<int32_t>(static_cast<int16_t>(w[CS_ZB] & 0xFFFF)) * 65536;
  const uint32_t r = static_cast<uint32_t>(wide >> n);
  shift_result(w, (r >> 16) & 0xFFFF, r & 0xFFFF);
}

// ---------------------------------------------------------------------------
// The handler table.

using alu_fn = void (*)(uint32_t* w);

struct alu_op_desc {
  const char* name;
  alu_fn load;
  alu_fn run;
  bool keeps_sr;  // clears alu_restore: a value moved into sr stays
};

constexpr std::array<alu_op_desc, ALU_OP_COUNT> alu_ops = {{
    {"", load_none, op_none, true},
    {"abs", load_acc, op_abs, false},
    {"adc", load_two, op_adc, false},
    {"add", load_two, op_add, false},
    {"and", load_two, op_and, false},
    {"asl", load_acc, op_asl, false},
    {"asl4", load_acc, op_asl4, false},
    {"asr", load_acc, op_asr, false},
    {"asr4", load_acc, op_asr4, false},
    {"asr16", load_acc, op_asr16, false},
    {"clr", load_acc, op_clr, false},
    {"clr24", load_acc, op_clr24, false},
    {"cmp", load_two, op_cmp, false},
    {"cmpm", load_two, op_cmpm, false},
    {"dec", load_acc, op_dec, false},
    {"dec24", load_acc, op_dec24, false},
    {"div", load_two, op_div, false},
    {"dmacss", load_mul, op_dmacss, false},
    {"dmacsu", load_mul, op_dmacsu, false},
    {"dmacuu", load_mul, op_dmacuu, false},
    {"eor", load_two, op_eor, false},
    {"ext", load_acc, op_ext, false},
    {"imac", load_mul, op_imac, false},
    {"impy", load_mul, op_impy, false},
    {"inc", load_acc, op_inc, false},
    {"inc24", load_acc, op_inc24, false},
    {"lsl", load_acc, op_lsl, false},
    {"lsr", load_acc, op_lsr, false},
    {"mac", load_mul, op_mac, false},
    {"macsu", load_mul, op_macsu, false},
    {"macuu", load_mul, op_macuu, false},
    {"macr", load_mul, op_macr, false},
    {"move", load_none, op_none, true},
    {"mpy", load_mul, op_mpy, false},
    {"mpysu", load_mul, op_mpysu, false},
    {"mpyuu", load_mul, op_mpyuu, false},
    {"mpyr", load_mul, op_mpyr, false},
    {"neg", load_acc, op_neg, false},
    {"negc", load_acc, op_negc, false},
    {"norm", load_acc, op_norm, false},
    {"not", load_acc, op_not, false},
    {"or", load_two, op_or, false},
    {"rnd", load_acc, op_rnd, false},
    {"rol", load_acc, op_rol, false},
    {"ror", load_acc, op_ror, false},
    {"sbc", load_two, op_sbc, false},
    {"sub", load_two, op_sub, false},
    {"subl", load_two, op_subl, false},
    {"swap", load_acc, op_swap, true},
    {"tfr", load_two, op_tfr, true},
    {"", load_none, op_none, false},
    {"tst", load_acc, op_tst, false},
    {"tst2", load_two, op_tst2, false},
    {"zero", load_acc, op_zero, false},
    {"shfl", load_mul, op_shfl, false},
    {"shfr", load_mul, op_shfr, false},
}};

const alu_op_desc& op_desc(int op) {
  return alu_ops[(op >= 0 && op < ALU_OP_COUNT) ? op : ALU_OP_NONE];
}

}  // namespace

const char* alu_op_name(int op) {
  return op_desc(op).name;
}

void alu_dispatch() {
  uint32_t* w = core_words();
  w[CS_ALU_RESTORE] = 1;
  w[CS_ALU_SR] = w[CORE_SR];
  const alu_op_desc& d = op_desc(op_field(w, CS_ALU_OP));
  if (d.keeps_sr) w[CS_ALU_RESTORE] = 0;
  const bool loading = w[CS_ALU_COMMIT] == 1;
  if (loading)
    d.load(w);
  else
    d.run(w);
  if (!loading && w[CS_ALU_RESTORE] == 1) core_store_reg(CORE_SR, w[CS_ALU_SR]);
}

namespace {

// The accumulator stores of a whole write-back, without its latches.
// When the three parts and the accumulator are marked already and feed
// no stream (every store in a loop but the first), only the words change.
[[gnu::always_inline]] inline void store_acc(int base, uint64_t r) {
  constexpr uint32_t MARKED = ATTR_WRITTEN | ATTR_CHANGED, TESTED = MARKED | ATTR_OUT_STREAMS;
  const uint32_t* attrs = cur_state->core_attrs;
  if (((attrs[base] & TESTED) == MARKED) & ((attrs[base + 1] & TESTED) == MARKED) &
      ((attrs[base + 2] & TESTED) == MARKED) & ((attrs[base + 3] & TESTED) == MARKED)) [[likely]] {
    uint32_t* w = cur_inst->core;
    w[base + 1] = part0(r);
    w[base + 2] = part1(r);
    w[base + 3] = part2(r);
    return;
  }
  core_store_reg_quiet(base + 1, part0(r));
  core_store_reg_quiet(base + 2, part1(r));
  core_store_reg(base + 3, part2(r));
}

// The arithmetic ending shared by the direct operations: C (unless kept)
// and V, then the flags and saturation as finish applies them.
uint64_t flag_result(uint32_t* w, uint64_t r, bool keep_c, bool c, bool v) {
  begin_arith(w, keep_c);
  if (!keep_c) set_flag(w, SR_C, c);
  set_flag(w, SR_V, v);
  common_flags(w, r);
  return saturate(w, r, false);
}

// The logic operations on D1 of an accumulator, their source straight
// from the registers.
void run_logic(uint32_t* w, int op, int base) {
  const uint32_t d1 = w[base + 2];
  const uint32_t s1 = op == ALU_OP_NOT ? 0 : part1(source_value(w, op_field(w, CS_ALU_SRC1)));
  uint32_t r = ~d1;
  if (op == ALU_OP_AND) r = d1 & s1;
  if (op == ALU_OP_OR) r = d1 | s1;
  if (op == ALU_OP_EOR) r = d1 ^ s1;
  r &= 0xFFFF;
  alu_sr(w) &= ~(SR_V | SR_Z | SR_N);
  set_flag(w, SR_Z, r == 0);
  set_flag(w, SR_N, (r & 0x8000) != 0);
  core_store_reg(base + 2, r);
}

// The other common operations into an accumulator, kept apart from the
// multiplies' path: false for an operation without a direct form.
[[gnu::noinline]] bool run_common(uint32_t* w, int op, int base) {
  const uint64_t d = read_acc(w, base);
  uint64_t r = 0;
  switch (op) {
    case ALU_OP_ADD:
    case ALU_OP_INC: {
      const arith a = add40(d, op == ALU_OP_INC ? 1 : source_value(w, op_field(w, CS_ALU_SRC1)), 0);
      r = flag_result(w, a.r, false, a.c, a.v);
      break;
    }
    case ALU_OP_SUB:
    case ALU_OP_DEC:
    case ALU_OP_CMP: {
      const arith a = sub40(d, op == ALU_OP_DEC ? 1 : source_value(w, op_field(w, CS_ALU_SRC1)), 0);
      r = flag_result(w, a.r, false, a.c, a.v);
      if (op == ALU_OP_CMP) return true;
      break;
    }
    case ALU_OP_TST:
      flag_result(w, d, false, false, false);
      return true;
    case ALU_OP_TFR:
      r = source_value(w, op_field(w, CS_ALU_SRC1));
      break;
    case ALU_OP_ASL:
      r = (d << 1) & MASK40;
      r = flag_result(w, r, false, bit(d, 39), bit(r, 39) != bit(r, 38));
      break;
    case ALU_OP_ASR:
      r = flag_result(w, wrap40(signed40(d) >> 1), false, bit(d, 0), false);
      break;
    case ALU_OP_NEG:
      r = sub40(0, d, 0).r;
      r = flag_result(w, r, false, bit(d, 39) || bit(r, 39), bit(d, 39) && bit(r, 39));
      break;
    case ALU_OP_ABS:
      r = bit(d, 39) ? negate40(d) : d;
      r = flag_result(w, r, true, false, bit(d, 39) && bit(r, 39));
      break;
    case ALU_OP_AND:
    case ALU_OP_OR:
    case ALU_OP_EOR:
    case ALU_OP_NOT:
      run_logic(w, op, base);
      return true;
    default: return false;
  }
  store_acc(base, r);
  return true;
}

// clr, mac, macr, mpy and mpyr into an accumulator with the handlers' own
// arithmetic, operands straight from the registers and sr in a local:
// what both phases leave in the registers, sr and their marks. False
// for any other operation (nothing done).
[[gnu::always_inline]] inline bool run_multiply(uint32_t* w, int op, int src1, int src2, bool negate, int base) {
  uint32_t sr = w[CORE_SR];
  uint64_t r = 0;
  switch (op) {
    case ALU_OP_CLR:
      sr &= ~FLAGS_ARITH;
      flags_of(sr, 0);
      break;
    case ALU_OP_MAC:
    case ALU_OP_MPY:
    case ALU_OP_MACR:
    case ALU_OP_MPYR: {
      const uint32_t omr = w[CORE_OMR];
      const bool accumulate = op == ALU_OP_MAC || op == ALU_OP_MACR;
      const bool rounding = op == ALU_OP_MACR || op == ALU_OP_MPYR;
      // multiply's product in signed arithmetic (exact in 33 bits), and
      // the sum's overflow of 40 bits as add40's V.
      int64_t p = 2 * static_cast<int64_t>(static_cast<int16_t>(reg16(w, src1))) *
                  static_cast<int16_t>(reg16(w, src2));
      if (negate) p = -p;
      const int64_t sum = (accumulate ? static_cast<int64_t>(read_acc(w, base) << 24) >> 24 : 0) + p;
      const arith a = {wrap40(sum), false, (static_cast<int64_t>(static_cast<uint64_t>(sum) << 24) >> 24) != sum};
      const arith rounded = rounding ? round_of(sr, omr, a.r) : a;
      sr &= ~FLAGS_ARITH;
      if ((accumulate && a.v) || (rounding && rounded.v)) sr |= SR_V;
      flags_of(sr, rounded.r);
      r = saturate_of(sr, omr, rounded.r, rounding);
      break;
    }
    default: return false;
  }
  store_acc(base, r);
  core_store_control(CORE_SR, sr);
  return true;
}

}  // namespace

void alu_run_record(int op, int src1, int src2, int dest, int negate) {
  uint32_t* w = core_words();
  const int base = acc_base(dest);
  // clr and the multiplies first (none of them a pure move).
  if (base >= 0 && run_multiply(w, op, src1, src2, negate != 0, base)) return;
  const alu_op_desc& d = op_desc(op);
  // A pure move: no latch it loads is read, sr is kept.
  if (d.keeps_sr && d.run == op_none) return;
  // The rest through the record's words.
  w[CS_ALU_OP] = static_cast<uint32_t>(op);
  w[CS_ALU_SRC1] = static_cast<uint32_t>(src1);
  w[CS_ALU_SRC2] = static_cast<uint32_t>(src2);
  w[CS_ALU_DEST] = static_cast<uint32_t>(dest);
  w[CS_ALU_NEGATE] = static_cast<uint32_t>(negate);
  w[CS_ALU_SR] = w[CORE_SR];
  if (base >= 0 && run_common(w, op, base)) {
    // tfr keeps sr.
    if (!d.keeps_sr) core_store_control(CORE_SR, w[CS_ALU_SR]);
    return;
  }
  w[CS_ALU_RESTORE] = d.keeps_sr ? 0 : 1;
  d.load(w);
  d.run(w);
  if (w[CS_ALU_RESTORE] == 1) core_store_control(CORE_SR, w[CS_ALU_SR]);
}

void alu_run_both() {
  const uint32_t* w = core_words();
  alu_run_record(op_field(w, CS_ALU_OP), op_field(w, CS_ALU_SRC1), op_field(w, CS_ALU_SRC2),
                 op_field(w, CS_ALU_DEST), op_field(w, CS_ALU_NEGATE));
}

void alu_norm(uint32_t opcode) {
  uint32_t* w = core_words();
  w[CS_ALU_SR] = w[CORE_SR];
  w[CS_ALU_DEST] = static_cast<uint32_t>((opcode & 8) ? ALU_B : ALU_A);
  w[CS_ALU_SRC1] = static_cast<uint32_t>(CORE_R0 + static_cast<int>(opcode & 3));
  load_acc(w);
  op_norm(w);
  core_store_reg(CORE_SR, w[CS_ALU_SR]);
}
