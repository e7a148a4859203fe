// The class encoders: for each class code of the mnemonic table, the
// operands read and the instruction word built from them.
#include <array>
#include <cstdint>
#include <string>

#include "sim/asm/asm_internal.h"

namespace {

std::string& field(field_index f) { return asm_line.fields[f]; }

void put(int shift, int width, uint32_t value) { insert_field(asm_line.word0, shift, width, value); }

bool parse(int flags, asm_operand& op, int reg_class, uint32_t mask) {
  return asm_parse_operand(flags, op, reg_class, mask);
}

bool starts_with_acc(const std::string& text) {
  return !text.empty() && (text[0] == 'a' || text[0] == 'A' || text[0] == 'b' || text[0] == 'B');
}

int fail(const char* message) {
  asm_fail(message);
  return 0;
}

int acc_part(int acc, int part_of_a, int part_of_b) { return acc == AR_A ? part_of_a : part_of_b; }

// The operand field becomes the X-move field, so that any operand is
// reported as a field the instruction does not take.
int enc_no_operands(const mnemonic_row&) {
  if (!field(FLD_OPERANDS).empty()) field(FLD_XMOVE) = field(FLD_OPERANDS);
  return 1;
}

// abs, asl, ... (1), lsl, lsr, not, rol, ror (2), clr24, dec24, inc24 (3).
int enc_one_acc(const mnemonic_row& row) {
  asm_operand d;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(OPF_DEST, d, RCL_AB, 0)) return 0;
  put(3, 1, field_value(FC_F, d.reg));
  asm_line.alu_dest = d.reg;
  if (row.cls == 2) narrow_written(d.reg, reg_parts(acc_part(d.reg, AR_A1, AR_B1)));
  if (row.cls == 3)
    narrow_written(d.reg, reg_parts(acc_part(d.reg, AR_A1, AR_B1)) | reg_parts(acc_part(d.reg, AR_A2, AR_B2)));
  return 1;
}

// adc, sbc: x or y into an accumulator.
int enc_carry(const mnemonic_row&) {
  asm_operand s, d;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(OPF_COMMA, s, RCL_XY, 0) || !parse(OPF_DEST, d, RCL_AB, 0)) return 0;
  put(0, 3, s.reg == AR_X ? 2 : 3);
  put(3, 1, field_value(FC_F, d.reg));
  asm_line.alu_dest = d.reg;
  return 1;
}

// Source codes of the long ALU form: the other accumulator, x, y, x0-y1.
uint32_t long_source_code(int reg) {
  switch (reg) {
    case AR_X: return 2;
    case AR_Y: return 3;
    case AR_X0: return 4;
    case AR_Y0: return 5;
    case AR_X1: return 6;
    case AR_Y1: return 7;
    default: return 0;
  }
}

// and, or, eor, cmp, cmpm: a source and an accumulator.
int enc_compare(const mnemonic_row& row) {
  asm_begin(field(FLD_OPERANDS));
  if (*asm_line.pos == '#') return fail("Immediate operand not allowed");
  const bool compare = row.cls == 13;
  asm_operand s, d;
  // and, or and eor take x0-y1 only: an accumulator source would give the
  // code of another operation (and b,a would be neg a).
  if (!parse(OPF_COMMA, s, compare ? RCL_AB_XY4 : RCL_XY4, 0)) return 0;
  if (!parse(compare ? 0 : OPF_DEST, d, RCL_AB, 0)) return 0;
  if (s.reg == d.reg) return fail("Duplicate source and destination register not allowed");
  put(0, 3, long_source_code(s.reg));
  put(3, 1, field_value(FC_F, d.reg));
  asm_line.alu_dest = d.reg;
  if (!compare) narrow_written(d.reg, reg_parts(acc_part(d.reg, AR_A1, AR_B1)));
  return 1;
}

int enc_logic_immediate(uint32_t base) {
  asm_begin(field(FLD_OPERANDS));
  if (*asm_line.pos != '#') return fail("Immediate operand required");
  asm_operand v, r;
  if (!parse(OPF_COMMA, v, RCL_NONE, AM_IMM_U8) || !parse(0, r, RCL_LOGIC, 0)) return 0;
  asm_line.word0 = base | (static_cast<uint32_t>(v.value) & 0xFF);
  if (r.reg == AR_MR) {
    asm_line.word0 |= 0x0200;
  } else {
    asm_line.word0 |= 0x0400;
    put(9, 1, field_value(FC_E, r.reg));
  }
  return 1;
}

int enc_andi(const mnemonic_row& row) { return enc_logic_immediate(row.opcode); }

// and, or: "#" makes andi/ori; the row then takes no parallel move.
int enc_and_or(const mnemonic_row& row) {
  if (!field(FLD_OPERANDS).empty() && field(FLD_OPERANDS)[0] == '#') {
    enc_logic_immediate(row.cls == 6 ? 0x1800 : 0x1900);
    return 0;
  }
  return enc_compare(row) != 0 ? static_cast<int>(MF_ALU) : 0;
}

int enc_div(const mnemonic_row&) {
  asm_operand s, d;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(OPF_COMMA, s, RCL_XY4, 0) || !parse(OPF_DEST, d, RCL_AB, 0)) return 0;
  put(0, 2, field_value(FC_DD, s.reg));
  put(3, 1, field_value(FC_F, d.reg));
  return 1;
}

// S1,S2,D of the multiplies without moves; the pair code (with 8 for b)
// goes into the low bits.
int enc_pair(pair_form form, int first_class, int second_class) {
  asm_operand s1, s2, d;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(OPF_COMMA, s1, first_class, 0) || !parse(OPF_COMMA, s2, second_class, 0) ||
      !parse(OPF_DEST, d, RCL_AB, 0))
    return 0;
  const int code = mulreg(form, s1.reg, s2.reg, d.reg);
  if (code < 0) return 0;
  asm_line.word0 |= static_cast<uint32_t>(code);
  asm_line.alu_dest = d.reg;
  return 1;
}

// dmacss ... mpyuu: a signed-by-unsigned product keeps its order.
int enc_mixed_multiply(const mnemonic_row& row) {
  const std::string name = row.name;
  const bool mixed = name.find("su") != std::string::npos;
  return enc_pair(mixed ? PAIR_SHORT_ORDERED : PAIR_SHORT, RCL_MUL, RCL_MUL);
}

int enc_int_multiply(const mnemonic_row&) { return enc_pair(PAIR_LONG, RCL_MUL, RCL_MUL); }
int enc_shift_pair(const mnemonic_row&) { return enc_pair(PAIR_SHIFT, RCL_SHF1, RCL_SHF2); }

int enc_norm(const mnemonic_row&) {
  asm_operand r, d;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(OPF_COMMA, r, RCL_R, 0) || !parse(OPF_DEST, d, RCL_AB, 0)) return 0;
  put(0, 2, field_value(FC_TT, r.reg));
  put(3, 1, field_value(FC_F, d.reg));
  return 1;
}

// mac (30), macr (31), mpy (38), mpyr (39).
int enc_multiply(const mnemonic_row& row) {
  struct op_bits {
    uint32_t cls, long_op, short_add;
  };
  static constexpr op_bits ops[] = {{38, 0, 0}, {39, 1, 16}, {30, 2, 4}, {31, 3, 20}};
  uint32_t long_op = 0, short_add = 0;
  for (const op_bits& o : ops)
    if (o.cls == row.cls) long_op = o.long_op, short_add = o.short_add;
  const bool rounding = row.cls == 31 || row.cls == 39;
  asm_begin(field(FLD_OPERANDS));
  asm_operand s1, s2, d;
  if (field(FLD_YMOVE).empty()) {
    bool negate = false;
    if (*asm_line.pos == '+' || *asm_line.pos == '-') negate = *asm_line.pos++ == '-';
    if (!parse(OPF_COMMA, s1, RCL_MUL, 0) || !parse(OPF_COMMA, s2, RCL_MUL, 0) ||
        !parse(OPF_DEST, d, RCL_AB, 0))
      return 0;
    const int code = mulreg(PAIR_LONG, s1.reg, s2.reg, d.reg);
    if (code < 0) return 0;
    asm_line.word0 = 0x80 | long_op << 4 | (negate ? 0x40u : 0u) | static_cast<uint32_t>(code);
  } else if (!starts_with_acc(field(FLD_XMOVE)) && !starts_with_acc(field(FLD_YMOVE))) {
    if (!parse(OPF_COMMA, s1, RCL_XY4, 0) || !parse(OPF_COMMA, s2, RCL_XY4, 0) ||
        !parse(OPF_DEST, d, RCL_AB, 0))
      return 0;
    const int code = mulreg(PAIR_SHORT, s1.reg, s2.reg, d.reg);
    if (code < 0) return 0;
    asm_line.word0 = 0x6080 | short_add | static_cast<uint32_t>(code);
    asm_line.short_form = SHORT_DUAL_READ;
  } else {
    // The LMS word has no rounding bit: mpyr and macr would lose it.
    if (rounding) return fail("Rounding not available with LMS move");
    if (!parse(OPF_COMMA, s1, RCL_MUL, 0) || !parse(OPF_COMMA, s2, RCL_MUL, 0) ||
        !parse(OPF_DEST, d, RCL_AB, 0))
      return 0;
    const int code = mulreg(PAIR_LONG, s1.reg, s2.reg, d.reg);
    if (code < 0) return 0;
    asm_line.word0 = (row.cls == 30 ? 0x1700u : 0x1600u) | static_cast<uint32_t>(code);
    asm_line.short_form = SHORT_LMS;
  }
  asm_line.alu_dest = d.reg;
  return 1;
}

// move, movec, movei, movem, movep, moves: the operand field is the first
// move and the X field the second.
int enc_move(const mnemonic_row&) {
  if (!field(FLD_YMOVE).empty()) return fail("Too many fields specified for instruction");
  if (field(FLD_OPERANDS).empty()) return fail("Not enough fields specified for instruction");
  field(FLD_YMOVE) = field(FLD_XMOVE);
  field(FLD_XMOVE) = field(FLD_OPERANDS);
  return 1;
}

// b<cc> (7), bra (9), bs<cc> (10), bsr (11).
int enc_branch(const mnemonic_row& row) {
  const bool conditional = row.cls == 7 || row.cls == 10;
  uint32_t mask = AM_PCR_LONG | AM_PCR_REG | AM_IND;
  if (row.cls == 7) mask |= AM_PCR_6;
  if (row.cls == 9) mask |= AM_PCR_8;
  asm_operand t;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(0, t, RCL_NONE, mask)) return 0;
  const uint32_t value = static_cast<uint32_t>(t.value);
  switch (t.mode) {
    case AM_PCR_REG:
    case AM_IND:
      asm_line.word0 |= field_value(FC_TT, t.reg) << (conditional ? 6 : 0);
      break;
    case AM_PCR_6:
      asm_line.word0 = 0x2C00 | (row.opcode & 15) << 6 | (value & 0x3F);
      break;
    case AM_PCR_8:
      asm_line.word0 = 0x0B00 | (value & 0xFF);
      break;
    default:
      asm_line.word0 |= 0x10;
      asm_line.word1 = value & 0xFFFF;
      asm_line.count = 2;
      break;
  }
  return 1;
}

// j<cc> (25), jmp (26), js<cc> (27), jsr (28).
int enc_jump(const mnemonic_row& row) {
  const bool conditional = row.cls == 25 || row.cls == 27;
  const uint32_t mask = AM_IND | AM_ABS_LONG | (row.cls == 28 ? static_cast<uint32_t>(AM_ABS_8) : 0u);
  asm_operand t;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(0, t, RCL_R, mask)) return 0;
  const uint32_t value = static_cast<uint32_t>(t.value);
  if (t.mode == AM_REG || t.mode == AM_IND) {
    asm_line.word0 |= field_value(FC_TT, t.reg) << (conditional ? 6 : 0);
  } else if (t.mode == AM_ABS_8) {
    asm_line.word0 = 0x0A00 | (value & 0xFF);
  } else {
    asm_line.word0 |= 0x10;
    asm_line.word1 = value & 0xFFFF;
    asm_line.count = 2;
  }
  return 1;
}

// The loop end of do: a long pc-relative target, the second word.
bool loop_end() {
  asm_operand end;
  if (!parse(0, end, RCL_NONE, AM_PCR_LONG)) return false;
  asm_line.word1 = static_cast<uint32_t>(end.value) & 0xFFFF;
  asm_line.count = 2;
  return true;
}

bool word_forever(const char* p) {
  static constexpr char forever[] = "forever";
  for (int i = 0; i < 7; ++i) {
    const char c = (p[i] >= 'A' && p[i] <= 'Z') ? static_cast<char>(p[i] - 'A' + 'a') : p[i];
    if (c != forever[i]) return false;
  }
  return p[7] == ',' || p[7] == '\0';
}

int enc_do(const mnemonic_row&) {
  asm_operand count;
  asm_begin(field(FLD_OPERANDS));
  if (!asm_parse_space(count, ALLOW_X_OR_NONE)) return 0;
  if (count.space == OPSPACE_X) {
    if (!parse(OPF_COMMA, count, RCL_NONE, AM_IND)) return 0;
    asm_line.word0 = 0x00C0 | field_value(FC_TT, count.reg);
  } else if (word_forever(asm_line.pos)) {
    asm_line.pos += 7;
    if (!asm_expect_comma()) return 0;
    asm_line.word0 = 0x0002;
  } else {
    if (!parse(OPF_COMMA, count, RCL_ALL, AM_IMM_U8)) return 0;
    if (count.mode == AM_REG) {
      if (count.reg == AR_SSH) return fail("Illegal use of SSH as loop count operand");
      asm_line.word0 = 0x0400 | field_value(FC_DDDDD, count.reg);
    } else {
      asm_line.word0 = 0x0E00 | (static_cast<uint32_t>(count.value) & 0xFF);
    }
  }
  return loop_end() ? 1 : 0;
}

int enc_rep(const mnemonic_row&) {
  asm_operand count;
  asm_begin(field(FLD_OPERANDS));
  if (!asm_parse_space(count, ALLOW_X_OR_NONE)) return 0;
  if (count.space == OPSPACE_X) {
    if (!parse(0, count, RCL_NONE, AM_IND)) return 0;
    asm_line.word0 = 0x00E0 | field_value(FC_TT, count.reg);
  } else {
    if (!parse(0, count, RCL_ALL, AM_IMM_U8)) return 0;
    asm_line.word0 = count.mode == AM_REG ? 0x0420 | field_value(FC_DDDDD, count.reg)
                                          : 0x0F00 | (static_cast<uint32_t>(count.value) & 0xFF);
  }
  return 1;
}

// The mask of a bit-field operation as a byte and its position code; false
// when the mask does not fit one byte at bits 11-4, 7-0 or 15-8.
bool bit_mask_word(uint32_t mask, uint32_t& position_and_byte) {
  if (((mask & 0xF000) && (mask & 0x00FF)) || ((mask & 0x0F00) && (mask & 0x000F))) return false;
  if ((mask & ~0x0FF0u) == 0) position_and_byte = 0x4000 | (mask >> 4);
  else if ((mask & ~0x00FFu) == 0) position_and_byte = 0x2000 | mask;
  else position_and_byte = 0x8000 | (mask >> 8);
  return true;
}

// bfchg, bfclr, bfset (8), bftsth, bftstl (12).
int enc_bitfield(const mnemonic_row& row) {
  asm_operand m, op;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(OPF_COMMA, m, RCL_NONE, AM_IMM_LONG)) return 0;
  uint32_t position_and_byte = 0;
  if (!bit_mask_word(static_cast<uint32_t>(m.value) & 0xFFFF, position_and_byte))
    return fail("Bit mask cannot span more than eight bits");
  asm_line.word1 = row.opcode | position_and_byte;
  asm_line.count = 2;
  asm_line.word0 = row.cls == 12 ? 0x1400 : 0x1480;
  if (!asm_parse_space(op, ALLOW_X_OR_NONE)) return 0;
  if (op.space == OPSPACE_NONE) {
    if (!parse(0, op, RCL_ALL, 0)) return 0;
    asm_line.word0 |= field_value(FC_DDDDD, op.reg);
    return 1;
  }
  if (!parse(0, op, RCL_NONE, AM_IND | AM_ABS_5 | AM_ABS_IO)) return 0;
  if (op.mode == AM_IND) asm_line.word0 |= 0x20 | field_value(FC_DDDDD, op.reg);
  else asm_line.word0 |= 0x40 | (static_cast<uint32_t>(op.value) & 0x3F);
  return 1;
}

int enc_lea(const mnemonic_row&) {
  asm_operand a, d;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(OPF_COMMA, a, RCL_NONE, AM_IND | AM_POSTINC | AM_POSTDEC | AM_POSTN) ||
      !parse(0, d, RCL_RN, 0))
    return 0;
  if (a.mode == AM_IND) {
    asm_line.word0 = 0x2800 | field_value(FC_DDDDD, a.reg) << 5 | field_value(FC_DDDDD, d.reg);
    return 1;
  }
  asm_line.word0 = 0x0180 | field_value(FC_TT, a.reg) | field_mm(a.mode) << 2;
  if (is_address_reg(d.reg)) asm_line.word0 |= field_value(FC_TT, d.reg) << 4 | 0x40;
  else asm_line.word0 |= field_value(FC_NN, d.reg) << 4;
  return 1;
}

// tfr3's own move: x:(rN)+[nN] read into a register, or a register
// written there.
bool tfr3_move() {
  asm_operand first, second;
  asm_begin(field(FLD_XMOVE));
  if (!asm_parse_space(first, ALLOW_X_OR_NONE)) return false;
  asm_operand* address = &first;
  asm_operand* reg = &second;
  if (first.space == OPSPACE_X) {
    if (!parse(OPF_COMMA, first, RCL_NONE, AM_POSTS) || !parse(OPF_DEST, second, RCL_HHH, 0)) return false;
    asm_line.word0 |= 0x0100;
  } else {
    if (!parse(OPF_COMMA, first, RCL_HHH, 0)) return false;
    if (!asm_parse_space(second, ALLOW_X) || !parse(0, second, RCL_NONE, AM_POSTS)) return false;
    address = &second;
    reg = &first;
  }
  put(9, 1, field_m(address->mode));
  put(6, 2, field_value(FC_TT, address->reg));
  put(0, 3, field_value(FC_HHH, reg->reg));
  return !asm_line.failed;
}

// tfr2 (48), tfr3 (49), tfr (51).
int enc_tfr(const mnemonic_row& row) {
  const std::string& ops = field(FLD_OPERANDS);
  if (row.cls == 51 && !ops.empty() && starts_with_acc(ops.substr(ops.size() - 1))) {
    return encode_alu_add(row) != 0 ? static_cast<int>(MF_ALU_SUB) : 0;
  }
  if (!field(FLD_YMOVE).empty()) return fail("Too many fields specified for instruction");
  asm_operand s, d;
  asm_begin(ops);
  if (!parse(OPF_COMMA, s, RCL_AB, 0) || !parse(OPF_DEST, d, RCL_TFR, 0)) return 0;
  const bool pair = d.reg == AR_X || d.reg == AR_Y;
  if (row.cls == 48 || (row.cls == 51 && pair)) {
    if (!pair) return fail("Invalid register specified");
    if (!field(FLD_XMOVE).empty()) return fail("Too many fields specified for instruction");
    asm_line.word0 = 0x1500 | (s.reg == AR_B ? 8u : 0u) | (d.reg == AR_Y ? 1u : 0u);
    return 0;
  }
  if (pair) return fail("Invalid register specified");
  if (field(FLD_XMOVE).empty()) return fail("X data move field required with this instruction");
  asm_line.word0 = 0x2400;
  put(4, 2, field_value(FC_DD, d.reg));
  put(3, 1, field_value(FC_F, s.reg));
  tfr3_move();
  return 0;
}

// t<cc>: a data transfer into an accumulator, an address transfer r0,rN,
// or both.
int enc_tcc(const mnemonic_row& row) {
  if (!field(FLD_YMOVE).empty()) return fail("Too many fields specified for instruction");
  asm_operand s, d;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(OPF_COMMA, s, RCL_TCC, 0)) return 0;
  asm_line.word0 = 0x1000 | (row.opcode & 15) << 6;
  if (s.reg == AR_R0) {
    if (!parse(0, d, RCL_R, 0)) return 0;
    if (!field(FLD_XMOVE).empty()) return fail("Too many fields specified for instruction");
    // r0,r0 would transfer nothing: no instruction holds it.
    if (d.reg == AR_R0) return fail("Invalid register combination");
    asm_line.word0 |= 1 | field_value(FC_TT, d.reg) << 4;
    return 0;
  }
  if (!parse(OPF_DEST, d, RCL_AB, 0)) return 0;
  if (s.reg == d.reg) return fail("Duplicate source and destination register not allowed");
  const uint32_t h0h = s.reg == AR_X0 ? 4 : s.reg == AR_Y0 ? 5 : 0;
  asm_line.word0 |= h0h | field_value(FC_F, d.reg) << 3;
  if (field(FLD_XMOVE).empty()) return 0;
  asm_operand r0, rn;
  asm_begin(field(FLD_XMOVE));
  if (!parse(OPF_COMMA, r0, RCL_R0, 0) || !parse(0, rn, RCL_R, 0)) return 0;
  if (rn.reg == AR_R0) return fail("Invalid register combination");
  asm_line.word0 |= field_value(FC_TT, rn.reg) << 4;
  return 0;
}

int enc_tst2(const mnemonic_row&) {
  asm_operand s;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(0, s, RCL_XY4, 0)) return 0;
  asm_line.word0 = 0x1514 | field_value(FC_DD, s.reg);
  return 1;
}

int enc_tst(const mnemonic_row&) {
  asm_operand s;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(0, s, RCL_AB_XY4, 0)) return 0;
  if (is_accumulator(s.reg)) {
    put(3, 1, field_value(FC_F, s.reg));
    asm_line.written |= reg_parts(s.reg);
    asm_line.alu_dest = s.reg;
    return static_cast<int>(MF_ALU);
  }
  asm_line.word0 = 0x1514 | field_value(FC_DD, s.reg);
  return 0;
}

constexpr std::array<class_encoder, 58> make_encoders() {
  std::array<class_encoder, 58> e{};
  e[1] = e[2] = e[3] = enc_one_acc;
  e[4] = enc_carry;
  e[5] = encode_alu_add;
  e[6] = e[42] = enc_and_or;
  e[7] = e[9] = e[10] = e[11] = enc_branch;
  e[8] = e[12] = enc_bitfield;
  e[13] = e[18] = enc_compare;
  e[14] = enc_div;
  e[15] = enc_mixed_multiply;
  e[16] = enc_do;
  // enddo takes no operand: one written is refused, not ignored.
  e[17] = enc_no_operands;
  e[19] = enc_int_multiply;
  e[20] = e[21] = e[23] = e[43] = e[45] = e[46] = enc_no_operands;
  e[25] = e[26] = e[27] = e[28] = enc_jump;
  e[29] = enc_lea;
  e[30] = e[31] = e[38] = e[39] = enc_multiply;
  e[32] = e[33] = e[35] = e[36] = e[37] = enc_move;
  e[41] = enc_norm;
  e[44] = enc_rep;
  e[47] = enc_andi;
  e[48] = e[49] = e[51] = enc_tfr;
  e[50] = enc_tcc;
  e[52] = enc_tst2;
  e[53] = enc_tst;
  e[57] = enc_shift_pair;
  return e;
}
constexpr std::array<class_encoder, 58> class_encoders = make_encoders();

}  // namespace

class_encoder class_encoder_for(uint32_t cls) { return cls < class_encoders.size() ? class_encoders[cls] : nullptr; }

// add, sub, subl (5), and tfr as an ALU operation: with two move fields
// and a source the short form holds, the dual-read word; else the long ALU
// form.
int encode_alu_add(const mnemonic_row& row) {
  const std::string name = row.name;
  const bool subl = name == "subl";
  asm_operand s, d;
  asm_begin(field(FLD_OPERANDS));
  if (!parse(OPF_COMMA, s, RCL_ADD_SRC, 0) || !parse(OPF_DEST, d, RCL_AB, 0)) return 0;
  if (s.reg == d.reg) return fail("Duplicate source and destination register not allowed");
  // subl exists only as "subl b,a" / "subl a,b": any other source would
  // be the code of a sub.
  if (subl && !is_accumulator(s.reg)) return fail("Invalid register specified");
  asm_line.alu_dest = d.reg;
  const bool short_source = reg_in_class(RCL_AB_XY4, s.reg);
  if (!field(FLD_YMOVE).empty() && short_source && !subl) {
    struct short_codes {
      char letter;
      uint32_t from_acc, from_reg;
    };
    static constexpr short_codes codes[] = {{'a', 0x14, 0}, {'s', 0x15, 4}, {'t', 0x16, 16}};
    uint32_t index = 0;
    for (const short_codes& c : codes)
      if (c.letter == name[0])
        index = is_accumulator(s.reg) ? c.from_acc : c.from_reg + field_value(FC_DD, s.reg);
    asm_line.word0 = 0x6000 | index;
    put(3, 1, field_value(FC_F, d.reg));
    asm_line.short_form = SHORT_DUAL_READ;
    return 1;
  }
  if (!subl) put(0, 3, long_source_code(s.reg));
  put(3, 1, field_value(FC_F, d.reg));
  return 1;
}
