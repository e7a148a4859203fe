// The decode-table handlers: each turns the bit fields of one instruction
// class into tokens and records the memory accesses it makes.
#include "sim/asm/disasm_handlers.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "sim/asm/disasm_internal.h"

namespace {

// ---------------------------------------------------------------------------
// Field helpers.

int32_t sext8(uint32_t v) { return static_cast<int32_t>(static_cast<int8_t>(v & 0xFF)); }
int32_t sext6(uint32_t v) { return (v & 0x20) ? static_cast<int32_t>(v & 0x3F) - 64 : static_cast<int32_t>(v & 0x3F); }

int32_t cc_token(uint32_t field) { return TK_CC + static_cast<int32_t>(field & 15); }
int acc_of(uint16_t w) { return (w & 8) ? RC_B : RC_A; }
int other_acc_of(uint16_t w) { return (w & 8) ? RC_A : RC_B; }
int32_t post_ea(int n, bool plus_n) { return (plus_n ? TK_POSTN : TK_POSTINC) + n; }

mem_operand mem(std::initializer_list<int32_t> codes) {
  mem_operand m;
  for (int32_t c : codes) m.codes[m.count++] = c;
  return m;
}

void push_all(token_list& out, std::initializer_list<int32_t> codes) {
  for (int32_t c : codes) out.push(c);
}

// A signed displacement: "+" or "-" then its magnitude as the immediate.
void signed_immediate(int32_t d, dis_state& st, token_list& out) {
  out.push(d < 0 ? TK_MINUS : TK_PLUS);
  out.push(TK_IMMEDIATE);
  st.immediate = dis_hex(static_cast<uint32_t>(std::abs(d)));
}

// A short pc-relative target: pc plus or minus the magnitude.
void relative_access(int32_t d, dis_state& st) {
  st.access(ACC_P, d < 0 ? DESC_PC_MINUS : DESC_PC_PLUS, static_cast<uint32_t>(std::abs(d)));
}

// ---------------------------------------------------------------------------
// ALU forms.

struct operand_pair {
  int8_t first, second;
};
// Multiply sources of the long form and of impy, imac and the mpy/mac move.
constexpr operand_pair long_mul_pairs[8] = {{RC_X0, RC_X0}, {RC_X1, RC_X0}, {RC_A1, RC_Y0},
                                            {RC_B1, RC_X0}, {RC_Y0, RC_X0}, {RC_Y1, RC_X0},
                                            {RC_Y0, RC_X1}, {RC_Y1, RC_X1}};
constexpr operand_pair short_mul_pairs[4] = {
    {RC_Y0, RC_X0}, {RC_Y1, RC_X0}, {RC_Y0, RC_X1}, {RC_Y1, RC_X1}};
// The signed/unsigned multiplies and the double-precision macs.
constexpr operand_pair mixed_mul_pairs[4] = {
    {RC_Y0, RC_X0}, {RC_Y1, RC_X0}, {RC_X1, RC_Y0}, {RC_X1, RC_Y1}};
// shfl and shfr; the first two entries are not instructions.
constexpr operand_pair shift_pairs[8] = {{RC_BAD, RC_BAD}, {RC_BAD, RC_BAD}, {RC_A1, RC_Y0},
                                         {RC_B1, RC_X0},   {RC_Y0, RC_X0},   {RC_Y1, RC_X0},
                                         {RC_X1, RC_Y0},   {RC_X1, RC_Y1}};
constexpr int32_t long_mul_ops[4] = {TK_MPY, TK_MPYR, TK_MAC, TK_MACR};

// How much of its accumulator an operation writes: the destination code.
enum dest_kind : int8_t { WHOLE, HIGH, MID24, NOTHING, NO_ALU };
constexpr int dest_codes[4][2] = {
    {RC_A, RC_B}, {RC_A_HIGH, RC_B_HIGH}, {RC_A_24, RC_B_24}, {RC_A_NOTHING, RC_B_NOTHING}};

constexpr int8_t OTHER = -3;  // the accumulator that is not the destination
constexpr int8_t NONE = RC_NONE;

struct alu_row {
  int8_t mnemonic;
  int8_t source;
  dest_kind kind;
};

// Long form, bit 7 clear: bits 6-4 and 2-0; bit 3 picks b.
constexpr alu_row long_alu_rows[64] = {
    {TK_ADD, OTHER, WHOLE},    {TK_CLR, NONE, WHOLE},     {TK_ADD, RC_X, WHOLE},
    {TK_ADD, RC_Y, WHOLE},     {TK_ADD, RC_X0, WHOLE},    {TK_ADD, RC_Y0, WHOLE},
    {TK_ADD, RC_X1, WHOLE},    {TK_ADD, RC_Y1, WHOLE},
    {TK_TFR, OTHER, WHOLE},    {TK_MOVE, NONE, NO_ALU},   {TK_TFR, RC_X, WHOLE},
    {TK_TFR, RC_Y, WHOLE},     {TK_TFR, RC_X0, WHOLE},    {TK_TFR, RC_Y0, WHOLE},
    {TK_TFR, RC_X1, WHOLE},    {TK_TFR, RC_Y1, WHOLE},
    {TK_RND, NONE, WHOLE},     {TK_TST, NONE, WHOLE},     {TK_INC, NONE, WHOLE},
    {TK_INC24, NONE, MID24},   {TK_OR, RC_X0, HIGH},      {TK_OR, RC_Y0, HIGH},
    {TK_OR, RC_X1, HIGH},      {TK_OR, RC_Y1, HIGH},
    {TK_ASR, NONE, WHOLE},     {TK_ASL, NONE, WHOLE},     {TK_LSR, NONE, HIGH},
    {TK_LSL, NONE, HIGH},      {TK_EOR, RC_X0, HIGH},     {TK_EOR, RC_Y0, HIGH},
    {TK_EOR, RC_X1, HIGH},     {TK_EOR, RC_Y1, HIGH},
    {TK_SUB, OTHER, WHOLE},    {TK_SUBL, OTHER, WHOLE},   {TK_SUB, RC_X, WHOLE},
    {TK_SUB, RC_Y, WHOLE},     {TK_SUB, RC_X0, WHOLE},    {TK_SUB, RC_Y0, WHOLE},
    {TK_SUB, RC_X1, WHOLE},    {TK_SUB, RC_Y1, WHOLE},
    {TK_CMP, OTHER, NOTHING},  {TK_CLR24, NONE, MID24},   {TK_SBC, RC_X, WHOLE},
    {TK_SBC, RC_Y, WHOLE},     {TK_CMP, RC_X0, NOTHING},  {TK_CMP, RC_Y0, NOTHING},
    {TK_CMP, RC_X1, NOTHING},  {TK_CMP, RC_Y1, NOTHING},
    {TK_NEG, NONE, WHOLE},     {TK_NOT, NONE, HIGH},      {TK_DEC, NONE, WHOLE},
    {TK_DEC24, NONE, MID24},   {TK_AND, RC_X0, HIGH},     {TK_AND, RC_Y0, HIGH},
    {TK_AND, RC_X1, HIGH},     {TK_AND, RC_Y1, HIGH},
    {TK_CMPM, OTHER, NOTHING}, {TK_ABS, NONE, WHOLE},     {TK_ROR, NONE, HIGH},
    {TK_ROL, NONE, HIGH},      {TK_CMPM, RC_X0, NOTHING}, {TK_CMPM, RC_Y0, NOTHING},
    {TK_CMPM, RC_X1, NOTHING}, {TK_CMPM, RC_Y1, NOTHING},
};

// Short form, bit 7 clear: bits 4-0.
struct short_alu_row {
  int8_t mnemonic;
  int8_t source;
  int8_t dest;
};
constexpr short_alu_row short_alu_rows[32] = {
    {TK_ADD, RC_X0, RC_A}, {TK_ADD, RC_Y0, RC_A}, {TK_ADD, RC_X1, RC_A}, {TK_ADD, RC_Y1, RC_A},
    {TK_SUB, RC_X0, RC_A}, {TK_SUB, RC_Y0, RC_A}, {TK_SUB, RC_X1, RC_A}, {TK_SUB, RC_Y1, RC_A},
    {TK_ADD, RC_X0, RC_B}, {TK_ADD, RC_Y0, RC_B}, {TK_ADD, RC_X1, RC_B}, {TK_ADD, RC_Y1, RC_B},
    {TK_SUB, RC_X0, RC_B}, {TK_SUB, RC_Y0, RC_B}, {TK_SUB, RC_X1, RC_B}, {TK_SUB, RC_Y1, RC_B},
    {TK_TFR, RC_X0, RC_A}, {TK_TFR, RC_Y0, RC_A}, {TK_TFR, RC_X1, RC_A}, {TK_TFR, RC_Y1, RC_A},
    {TK_ADD, RC_B, RC_A},  {TK_SUB, RC_B, RC_A},  {TK_TFR, RC_B, RC_A},  {TK_MOVE, NONE, NONE},
    {TK_TFR, RC_X0, RC_B}, {TK_TFR, RC_Y0, RC_B}, {TK_TFR, RC_X1, RC_B}, {TK_TFR, RC_Y1, RC_B},
    {TK_ADD, RC_A, RC_B},  {TK_SUB, RC_A, RC_B},  {TK_TFR, RC_A, RC_B},  {TK_MOVE, NONE, NONE},
};

void emit_pair(token_list& out, operand_pair p, int dest) {
  out.reg(p.first);
  out.push(TK_COMMA);
  out.reg(p.second);
  out.push(TK_COMMA);
  out.reg(dest);
}

// The short ALU form of the dual-read moves, then its separator.
void emit_short_alu(uint16_t w, token_list& out) {
  if (w & 0x80) {
    out.push(long_mul_ops[((w >> 4) & 1) | ((w >> 1) & 2)]);
    emit_pair(out, short_mul_pairs[w & 3], acc_of(w));
    out.push(TK_SPACE);
    return;
  }
  const short_alu_row& row = short_alu_rows[w & 0x1F];
  out.push(row.mnemonic);
  if (row.mnemonic == TK_MOVE) return;
  out.reg(row.source);
  out.push(TK_COMMA);
  out.reg(row.dest);
  out.push(TK_SPACE);
}

// The long ALU form and its separator; returns the destination code.
int emit_alu_part(uint8_t bits, token_list& out) {
  const int dest = emit_long_alu(bits, out);
  if (!long_alu_is_move(bits)) out.push(TK_SPACE);
  return dest;
}

void invalid_if(bool bad, token_list& out) {
  if (bad) out.push(TK_INVALID);
}

// ---------------------------------------------------------------------------
// The bit-field operations: the mask word first (formatted nested), then
// the operand.
int32_t bitfield_nest(uint16_t w) { return (w & 0x80) ? TK_NEST_CHANGE : TK_NEST_TEST; }

// "x:<$a" for addresses 0-$3f, "x:<<$a" for the top of the I/O space.
void short_address(uint16_t w, dis_state& st, token_list& out) {
  const bool io = (w & 0x20) != 0;
  const uint32_t address = io ? 0xFFC0u + (w & 0x3F) : w & 0x3Fu;
  push_all(out, {TK_XMEM, io ? TK_LTLT : TK_LT, TK_IMMEDIATE});
  st.immediate = dis_hex(address);
  st.access(ACC_X, DESC_SHORT, address);
}

// ---------------------------------------------------------------------------
// Group 15xx, by the low byte.

void g_mixed_mul(uint16_t w, dis_state&, token_list& out) {
  static constexpr int32_t ops[4] = {TK_MPYSU, TK_MPYUU, TK_MACSU, TK_MACUU};
  out.push(ops[((w >> 2) & 1) | ((w >> 4) & 2)]);
  emit_pair(out, mixed_mul_pairs[w & 3], acc_of(w));
}

void g_int_mul(uint16_t w, dis_state&, token_list& out) {
  out.push((w & 0x20) ? TK_IMAC : TK_IMPY);
  emit_pair(out, long_mul_pairs[w & 7], acc_of(w));
}

void g_dmac(uint16_t w, dis_state&, token_list& out) {
  static constexpr int32_t ops[4] = {TK_DMACSS, TK_INVALID, TK_DMACSU, TK_DMACUU};
  out.push(ops[((w >> 2) & 1) | ((w >> 4) & 2)]);
  emit_pair(out, mixed_mul_pairs[w & 3], acc_of(w));
}

void g_one_acc(uint16_t w, dis_state&, token_list& out) {
  struct op {
    uint8_t key;
    int32_t mnemonic;
  };
  static constexpr op ops[] = {{0x30, TK_ASR4}, {0x31, TK_ASL4}, {0x70, TK_ASR16}, {0x71, TK_SWAP},
                               {0x50, TK_ZERO}, {0x52, TK_EXT},  {0x60, TK_NEGC}};
  int32_t mnemonic = TK_INVALID;
  for (const op& o : ops)
    if ((w & 0xF7) == o.key) mnemonic = o.mnemonic;
  out.push(mnemonic);
  out.reg(acc_of(w));
}

void g_tst2(uint16_t w, dis_state&, token_list& out) {
  out.push(TK_TST2);
  out.reg(w & 3);
}

void g_div(uint16_t w, dis_state&, token_list& out) {
  out.push(TK_DIV);
  out.reg(w & 3);
  out.push(TK_COMMA);
  out.reg(acc_of(w));
}

void g_adc(uint16_t w, dis_state&, token_list& out) {
  out.push(TK_ADC);
  out.reg((w & 1) ? RC_Y : RC_X);
  out.push(TK_COMMA);
  out.reg(acc_of(w));
}

void g_tfr2(uint16_t w, dis_state&, token_list& out) {
  out.push(TK_TFR2);
  out.reg(acc_of(w));
  out.push(TK_COMMA);
  out.reg((w & 1) ? RC_Y : RC_X);
}

void g_invalid(uint16_t, dis_state&, token_list& out) { out.push(TK_INVALID); }

struct group_row {
  uint8_t mask;
  uint8_t value;
  dis_handler handler;
};
constexpr group_row group15_rows[] = {
    {0xD0, 0xC0, g_mixed_mul}, {0xD0, 0x80, g_int_mul}, {0xD0, 0x90, g_dmac},
    {0xB6, 0x30, g_one_acc},   {0xF5, 0x50, g_one_acc}, {0xF7, 0x60, g_one_acc},
    {0xFC, 0x14, g_tst2},      {0xF4, 0x04, g_div},     {0xF6, 0x02, g_adc},
    {0xF6, 0x00, g_tfr2},      {0x00, 0x00, g_invalid},
};

}  // namespace

// ---------------------------------------------------------------------------
// Pieces shared with the formatter.

int reg3(uint32_t field) {
  static constexpr int regs[8] = {RC_X0, RC_Y0, RC_X1, RC_Y1, RC_A, RC_B, RC_A0, RC_B0};
  return regs[field & 7];
}

bool long_alu_is_move(uint8_t bits) { return (bits & 0xF7) == 0x11; }

int emit_long_alu(uint8_t bits, token_list& out) {
  const bool b = (bits & 8) != 0;
  if (bits & 0x80) {
    out.push(long_mul_ops[(bits >> 4) & 3]);
    if (bits & 0x40) out.push(TK_MINUS);
    emit_pair(out, long_mul_pairs[bits & 7], b ? RC_B : RC_A);
    return b ? RC_B : RC_A;
  }
  const alu_row& row = long_alu_rows[((bits >> 4) & 7) * 8 + (bits & 7)];
  out.push(row.mnemonic);
  if (row.kind == NO_ALU) return RC_NONE;
  if (row.source != NONE) {
    out.reg(row.source == OTHER ? (b ? RC_A : RC_B) : row.source);
    out.push(TK_COMMA);
  }
  const int dest = dest_codes[row.kind][b ? 1 : 0];
  out.reg(dest);
  return dest;
}

bool alu_dest_conflict(int dest, int reg) {
  struct conflict {
    int dest;
    std::array<int, 4> regs;
  };
  static constexpr conflict conflicts[] = {
      {RC_A, {RC_A, RC_A0, RC_A1, RC_A2}},    {RC_A_24, {RC_A, RC_A1, RC_A2, RC_A2}},
      {RC_A_HIGH, {RC_A, RC_A1, RC_A1, RC_A1}}, {RC_B, {RC_B, RC_B0, RC_B1, RC_B2}},
      {RC_B_24, {RC_B, RC_B1, RC_B2, RC_B2}},   {RC_B_HIGH, {RC_B, RC_B1, RC_B1, RC_B1}},
  };
  for (const conflict& c : conflicts)
    if (c.dest == dest)
      for (int r : c.regs)
        if (r == reg) return true;
  return false;
}

void emit_move(token_list& out, const mem_operand& m, int reg, bool read) {
  if (!read) {
    out.reg(reg);
    out.push(TK_COMMA);
  }
  for (std::size_t i = 0; i < m.count; ++i) out.push(m.codes[i]);
  if (read) {
    out.push(TK_COMMA);
    out.reg(reg);
  }
}

// ---------------------------------------------------------------------------
// Handlers, in decode-table order.

void dis_alu_xmove(uint16_t w, dis_state& st, token_list& out) {
  const int dest = emit_alu_part(static_cast<uint8_t>(w), out);
  const int n = (w >> 12) & 3;
  const bool plus_n = (w & 0x4000) != 0;
  const int reg = reg3(w >> 9);
  const bool read = (w & 0x100) != 0;
  emit_move(out, mem({TK_XMEM, post_ea(n, plus_n)}), reg, read);
  invalid_if(read && alu_dest_conflict(dest, reg), out);
  st.access(ACC_X, DESC_REG_POST | (plus_n ? 4u : 0u) | static_cast<uint32_t>(n), 0);
}

void dis_alu_dual_read(uint16_t w, dis_state& st, token_list& out) {
  static constexpr int8_t first[8] = {OTHER, RC_Y0, RC_X1, RC_Y1, RC_X0, RC_Y0, OTHER, RC_Y1};
  static constexpr int8_t second[8] = {RC_X0, RC_X0, RC_X0, RC_X0, RC_X1, RC_X1, RC_Y0, RC_X1};
  emit_short_alu(w, out);
  const int n = (w >> 5) & 3;
  const bool plus_n = (w & 0x1000) != 0;
  const bool plus_n3 = (w & 0x800) != 0;
  const int r1 = first[(w >> 8) & 7] == OTHER ? other_acc_of(w) : first[(w >> 8) & 7];
  emit_move(out, mem({TK_XMEM, post_ea(n, plus_n)}), r1, true);
  out.push(TK_SPACE);
  emit_move(out, mem({TK_XMEM, post_ea(3, plus_n3)}), second[(w >> 8) & 7], true);
  invalid_if(n == 3, out);
  st.access(ACC_X, DESC_REG_POST | (plus_n ? 4u : 0u) | static_cast<uint32_t>(n), 0);
  st.access(ACC_X2, DESC_REG_POST | (plus_n3 ? 4u : 0u) | 3u, 0);
}

void dis_alu_acc_move(uint16_t w, dis_state& st, token_list& out) {
  const int dest = emit_alu_part(static_cast<uint8_t>(w), out);
  const uint32_t acc_bit = (w >> 3) & 1;
  const int reg = reg3(w >> 9);
  const bool read = (w & 0x100) != 0;
  emit_move(out, mem({TK_XMEM, TK_LPAREN, TK_REG + (acc_bit ? RC_A1 : RC_B1), TK_RPAREN}), reg,
            read);
  invalid_if(read && alu_dest_conflict(dest, reg), out);
  st.access(ACC_X, DESC_ACC | acc_bit, 0);
}

void dis_alu_transfer(uint16_t w, dis_state&, token_list& out) {
  static constexpr int8_t sources[16] = {RC_X0, RC_Y0, RC_X1, RC_Y1, RC_A,  RC_B,  RC_A0, RC_B0,
                                         RC_B,  RC_A,  NONE,  NONE,  RC_A,  RC_B,  RC_A0, RC_B0};
  static constexpr int8_t dests[16] = {OTHER, OTHER, OTHER, OTHER, RC_X0, RC_Y0, RC_X0, RC_Y0,
                                       OTHER, OTHER, NONE,  NONE,  RC_X1, RC_Y1, RC_X1, RC_Y1};
  const uint8_t bits = static_cast<uint8_t>(w);
  const int index = (w >> 8) & 15;
  const int src = sources[index];
  const int dst = dests[index] == OTHER ? other_acc_of(w) : dests[index];
  if (src == NONE && long_alu_is_move(bits)) {
    out.push(TK_NOP);
    return;
  }
  const int dest = emit_alu_part(bits, out);
  if (src == NONE) return;
  out.reg(src);
  out.push(TK_COMMA);
  out.reg(dst);
  invalid_if(src == dst || alu_dest_conflict(dest, dst), out);
}

void dis_move_acc_addr(uint16_t w, dis_state& st, token_list& out) {
  const uint32_t acc_bit = (w >> 3) & 1;
  out.push(TK_MOVE);
  emit_move(out, mem({TK_XMEM, TK_LPAREN, TK_REG + (acc_bit ? RC_A1 : RC_B1), TK_RPAREN}),
            (w >> 5) & 31, (w & 0x400) != 0);
  st.access(ACC_X, DESC_ACC | acc_bit, 0);
}

void dis_move_long(uint16_t w, dis_state& st, token_list& out) {
  const int reg = (w >> 5) & 31;
  out.push(TK_MOVE);
  if ((w & 0x400) && (w & 8)) {
    emit_move(out, mem({TK_HASH_GT, TK_W1}), reg, true);
    return;
  }
  emit_move(out, mem({TK_XMEM, TK_GT, TK_W1}), reg, (w & 0x400) != 0);
  invalid_if(!(w & 0x400) && (w & 8), out);
  st.access(ACC_X, DESC_LONG_ABS, 0);
}

void dis_move_indexed(uint16_t w, dis_state& st, token_list& out) {
  const int n = w & 3;
  const bool pre = (w & 8) != 0;
  out.push(TK_MOVE);
  emit_move(out, mem({TK_XMEM, (pre ? TK_PREDEC : TK_INDEXN) + n}), (w >> 5) & 31,
            (w & 0x400) != 0);
  st.access(ACC_X, DESC_REG_PRE | (pre ? 4u : 0u) | static_cast<uint32_t>(n), 0);
}

void dis_move_indirect(uint16_t w, dis_state& st, token_list& out) {
  const int mode = (w >> 2) & 3;
  const int n = w & 3;
  out.push(TK_MOVE);
  emit_move(out, mem({TK_XMEM, TK_IND + 4 * mode + n}), (w >> 5) & 31, (w & 0x400) != 0);
  st.access(ACC_X, DESC_REG | static_cast<uint32_t>(mode << 2 | n), 0);
}

void dis_alu_update(uint16_t w, dis_state&, token_list& out) {
  emit_alu_part(static_cast<uint8_t>(w), out);
  out.push(((w & 0x400) ? TK_POSTN : TK_POSTDEC) + ((w >> 8) & 3));
}

void dis_branch_short_cc(uint16_t w, dis_state& st, token_list& out) {
  const int32_t d = sext6(w) + 1;
  push_all(out, {TK_B, cc_token(w >> 6), TK_SPACE, TK_LT, TK_STAR});
  signed_immediate(d, st, out);
  relative_access(d, st);
}

void dis_move_reg(uint16_t w, dis_state&, token_list& out) {
  const int src = (w >> 5) & 31;
  const int dst = w & 31;
  out.push(TK_MOVE);
  out.reg(src);
  out.push(TK_COMMA);
  out.reg(dst);
  invalid_if(src == RC_SSH && dst == RC_SSH, out);
}

void dis_tfr3(uint16_t w, dis_state& st, token_list& out) {
  const int target = (w >> 4) & 3;
  const int n = (w >> 6) & 3;
  const bool plus_n = (w & 0x200) != 0;
  const int reg = reg3(w);
  const bool read = (w & 0x100) != 0;
  out.push(TK_TFR3);
  out.reg(acc_of(w));
  out.push(TK_COMMA);
  out.reg(target);
  out.push(TK_SPACE);
  emit_move(out, mem({TK_XMEM, post_ea(n, plus_n)}), reg, read);
  invalid_if(read && reg == target, out);
  st.access(ACC_X, DESC_REG_POST | (plus_n ? 4u : 0u) | static_cast<uint32_t>(n), 0);
}

void dis_move_imm8(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {TK_MOVE, TK_HASH_LT});
  signed_immediate(sext8(w), st, out);
  out.push(TK_COMMA);
  out.reg((w >> 8) & 3);
}

void dis_logic_imm(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {(w & 0x100) ? TK_ORI : TK_ANDI, TK_HASH, TK_IMMEDIATE, TK_COMMA});
  out.reg((w & 0x200) ? RC_CCR : RC_OMR);
  st.immediate = dis_hex(w & 0xFFu);
}

void dis_logic_imm_mr(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {(w & 0x100) ? TK_ORI : TK_ANDI, TK_HASH, TK_IMMEDIATE, TK_COMMA});
  out.reg(RC_MR);
  st.immediate = dis_hex(w & 0xFFu);
}

void dis_move_short(uint16_t w, dis_state& st, token_list& out) {
  static constexpr int regs[4] = {RC_X0, RC_Y0, RC_A, RC_B};
  const bool io = (w & 0x20) != 0;
  const uint32_t address = io ? 0xFFC0u + (w & 0x3F) : w & 0x3Fu;
  out.push(io ? TK_MOVEP : TK_MOVES);
  emit_move(out, mem({TK_XMEM, io ? TK_LTLT : TK_LT, TK_IMMEDIATE}), regs[(w >> 6) & 3],
            (w & 0x100) != 0);
  st.immediate = dis_hex(address);
  st.access(ACC_X, DESC_SHORT, address);
}

void dis_mul_move(uint16_t w, dis_state& st, token_list& out) {
  const int n = (w >> 6) & 3;
  const int other = other_acc_of(w);
  out.push((w & 0x100) ? TK_MAC : TK_MPY);
  emit_pair(out, long_mul_pairs[w & 7], acc_of(w));
  out.push(TK_SPACE);
  emit_move(out, mem({TK_XMEM, TK_POSTN + n}), other, false);
  out.push(TK_SPACE);
  out.reg((w >> 4) & 3);
  out.push(TK_COMMA);
  out.reg(other);
  st.access(ACC_X, DESC_REG_POST | 4u | static_cast<uint32_t>(n), 0);
}

void dis_group15(uint16_t w, dis_state& st, token_list& out) {
  for (const group_row& row : group15_rows)
    if ((w & row.mask) == row.value) {
      row.handler(w, st, out);
      return;
    }
}

void dis_norm(uint16_t w, dis_state&, token_list& out) {
  out.push(TK_NORM);
  out.reg(RC_R0 + (w & 3));
  out.push(TK_COMMA);
  out.reg(acc_of(w));
}

void dis_shift_pair(uint16_t w, dis_state&, token_list& out) {
  out.push((w & 0x20) ? TK_SHFR : TK_SHFL);
  emit_pair(out, shift_pairs[w & 7], acc_of(w));
}

void dis_bitfield_short(uint16_t w, dis_state& st, token_list& out) {
  out.push(bitfield_nest(w));
  short_address(w, st, out);
}

void dis_bitfield_indirect(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {bitfield_nest(w), TK_XMEM, TK_IND + (w & 3)});
  st.access(ACC_X, DESC_REG | (w & 3u), 0);
}

void dis_bitfield_reg(uint16_t w, dis_state&, token_list& out) {
  out.push(bitfield_nest(w));
  out.reg(w & 31);
}

void dis_tcc(uint16_t w, dis_state&, token_list& out) {
  static constexpr int8_t sources[4] = {OTHER, NONE, RC_X0, RC_Y0};
  const int8_t pick = sources[((w >> 1) & 2) | (w & 1)];
  const int src = pick == OTHER ? other_acc_of(w) : pick;
  const int n = (w >> 4) & 3;
  push_all(out, {TK_T, cc_token(w >> 6)});
  if (src != NONE) {
    out.push(TK_SPACE);
    out.reg(src);
    out.push(TK_COMMA);
    out.reg(acc_of(w));
  }
  if (n != 0) {
    out.push(TK_SPACE);
    out.reg(RC_R0);
    out.push(TK_COMMA);
    out.reg(RC_R0 + n);
  }
  invalid_if(src == NONE && n == 0, out);
}

void dis_rep_imm(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {TK_REP, TK_HASH, TK_IMMEDIATE});
  st.immediate = dis_hex(w & 0xFFu);
}

void dis_do_imm(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {TK_DO, TK_HASH_LT, TK_IMMEDIATE, TK_LOOP_END});
  st.immediate = dis_hex(w & 0xFFu);
  st.access(ACC_P, DESC_LOOP_END, 0);
}

void dis_movep_io(uint16_t w, dis_state& st, token_list& out) {
  const int n = (w >> 6) & 3;
  const bool plus_n = (w & 0x20) != 0;
  const uint32_t io = 0xFFE0u + (w & 31);
  const mem_operand ea = mem({TK_XMEM, post_ea(n, plus_n)});
  const mem_operand port = mem({TK_XMEM, TK_LTLT, TK_IMMEDIATE});
  const mem_operand& first = (w & 0x100) ? ea : port;
  const mem_operand& second = (w & 0x100) ? port : ea;
  out.push(TK_MOVEP);
  for (std::size_t i = 0; i < first.count; ++i) out.push(first.codes[i]);
  out.push(TK_COMMA);
  for (std::size_t i = 0; i < second.count; ++i) out.push(second.codes[i]);
  st.immediate = dis_hex(io);
  st.access(ACC_X, DESC_REG_POST | (plus_n ? 4u : 0u) | static_cast<uint32_t>(n), 0);
  st.access(ACC_X2, DESC_SHORT, io);
}

void dis_bra_short(uint16_t w, dis_state& st, token_list& out) {
  const int32_t d = sext8(w) + 1;
  push_all(out, {TK_BRA, TK_LT, TK_STAR});
  signed_immediate(d, st, out);
  relative_access(d, st);
}

void dis_jsr_short(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {TK_JSR, TK_LT, TK_IMMEDIATE});
  st.immediate = dis_hex(w & 0xFFu);
  st.access(ACC_P, DESC_SHORT, w & 0xFFu);
}

void dis_branch_long_cc(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {(w & 0x20) ? TK_B : TK_BS, cc_token(w), TK_SPACE, TK_REL_LONG});
  st.access(ACC_P, DESC_LONG_REL, 0);
}

void dis_branch_reg_cc(uint16_t w, dis_state& st, token_list& out) {
  const int n = (w >> 6) & 3;
  const bool relative = (w & 0x100) != 0;
  const int32_t mnemonic = relative ? ((w & 0x20) ? TK_B : TK_BS) : ((w & 0x20) ? TK_J : TK_JS);
  push_all(out, {mnemonic, cc_token(w), TK_SPACE});
  out.reg(RC_R0 + n);
  st.access(ACC_P, (relative ? DESC_PC_REG : DESC_REG) | static_cast<uint32_t>(n), 0);
}

void dis_jump_long_cc(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {(w & 0x20) ? TK_J : TK_JS, cc_token(w), TK_SPACE, TK_GT, TK_W1});
  st.access(ACC_P, DESC_LONG_ABS, 0);
}

// The prefix word itself prints nothing: its offset addresses the memory
// operand of the instruction in the next word.
void dis_prefix_r2(uint16_t w, dis_state& st, token_list& out) {
  const uint32_t offset = static_cast<uint32_t>(sext8(w)) & 0xFFFF;
  st.immediate = dis_hex(offset);
  st.desc[ACC_P] = st.desc[ACC_X] = DESC_R2_OFFSET;
  st.value[ACC_P] = st.value[ACC_X] = offset;
  out.push(TK_NEST_PREFIX);
}

void dis_rep_reg(uint16_t w, dis_state&, token_list& out) {
  out.push(TK_REP);
  out.reg(w & 31);
}

void dis_do_reg(uint16_t w, dis_state& st, token_list& out) {
  out.push(TK_DO);
  out.reg(w & 31);
  out.push(TK_LOOP_END);
  invalid_if((w & 31) == RC_SSH, out);
  st.access(ACC_P, DESC_LOOP_END, 0);
}

void dis_move_xp(uint16_t w, dis_state& st, token_list& out) {
  const int n1 = (w >> 6) & 3;
  const int n2 = w & 3;
  const bool plus1 = (w & 8) != 0;
  const bool plus2 = (w & 4) != 0;
  const bool x_first = (w & 0x100) != 0;
  push_all(out, {TK_MOVE, x_first ? TK_XMEM : TK_PMEM, post_ea(n1, plus1), TK_COMMA,
                 x_first ? TK_PMEM : TK_XMEM, post_ea(n2, plus2)});
  const uint32_t d1 = DESC_REG_POST | (plus1 ? 4u : 0u) | static_cast<uint32_t>(n1);
  const uint32_t d2 = DESC_REG_POST | (plus2 ? 4u : 0u) | static_cast<uint32_t>(n2);
  st.access(ACC_X, x_first ? d1 : d2, 0);
  st.access(ACC_P, x_first ? d2 : d1, 0);
}

void dis_move_p(uint16_t w, dis_state& st, token_list& out) {
  const int mode = (w >> 3) & 3;
  const int n = (w >> 6) & 3;
  out.push(TK_MOVE);
  emit_move(out, mem({TK_PMEM, TK_IND + 4 * mode + n}), reg3(w), (w & 0x100) != 0);
  st.access(ACC_P, DESC_REG | static_cast<uint32_t>(mode << 2 | n), 0);
}

// lea reports the address it computes as its data address.
void dis_lea(uint16_t w, dis_state& st, token_list& out) {
  const int mode = (w >> 2) & 3;
  const int n = w & 3;
  push_all(out, {TK_LEA, TK_IND + 4 * mode + n, TK_COMMA});
  out.reg(((w & 0x40) ? RC_R0 : RC_N0) + ((w >> 4) & 3));
  invalid_if(mode == 0, out);
  st.access(ACC_X, DESC_REG_STEP | static_cast<uint32_t>(mode << 2 | n), 0);
}

void dis_debug_rep_cc(uint16_t w, dis_state&, token_list& out) {
  push_all(out, {(w & 0x100) ? TK_REP_CC : TK_DEBUG_CC, cc_token(w)});
}

void dis_branch_long(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {(w & 4) ? TK_BRA : TK_BSR, TK_REL_LONG});
  st.access(ACC_P, DESC_LONG_REL, 0);
}

void dis_jump_long(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {(w & 4) ? TK_JMP : TK_JSR, TK_GT, TK_W1});
  st.access(ACC_P, DESC_LONG_ABS, 0);
}

void dis_branch_reg(uint16_t w, dis_state& st, token_list& out) {
  const int n = w & 3;
  const bool relative = (w & 8) != 0;
  const int32_t mnemonic = relative ? ((w & 4) ? TK_BRA : TK_BSR) : ((w & 4) ? TK_JMP : TK_JSR);
  out.push(mnemonic);
  out.reg(RC_R0 + n);
  st.access(ACC_P, (relative ? DESC_PC_REG : DESC_REG) | static_cast<uint32_t>(n), 0);
}

void dis_brk_cc(uint16_t w, dis_state&, token_list& out) { push_all(out, {TK_BRK, cc_token(w)}); }

void dis_rep_indirect(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {TK_REP, TK_XMEM, TK_IND + (w & 3)});
  st.access(ACC_X, DESC_REG | (w & 3u), 0);
}

void dis_do_indirect(uint16_t w, dis_state& st, token_list& out) {
  push_all(out, {TK_DO, TK_XMEM, TK_IND + (w & 3), TK_LOOP_END});
  st.access(ACC_X, DESC_REG | (w & 3u), 0);
  st.access(ACC_P, DESC_LOOP_END, 0);
}

void dis_misc(uint16_t w, dis_state& st, token_list& out) {
  static constexpr int32_t ops[16] = {TK_NOP,   TK_DEBUG,   TK_DO_FOREVER, TK_INVALID,
                                      TK_CHKAAU, TK_SWI,    TK_RTS,        TK_RTI,
                                      TK_RESET, TK_ENDDO,   TK_STOP,       TK_WAIT,
                                      TK_INVALID, TK_INVALID, TK_INVALID,  TK_ILLEGAL};
  const int32_t op = ops[w & 15];
  out.push(op);
  if (op == TK_DO_FOREVER) {
    out.push(TK_LOOP_END);
    st.access(ACC_P, DESC_LOOP_END, 0);
  }
}

void dis_invalid(uint16_t, dis_state&, token_list& out) { out.push(TK_INVALID); }
