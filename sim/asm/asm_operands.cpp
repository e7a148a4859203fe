// The operand parser: one operand of a field read as a register or one of
// the register-indirect, immediate, pc-relative or absolute modes that the
// caller allows, with the short or long form chosen and the field's
// punctuation checked.
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "sim/asm/asm_internal.h"
#include "sim/expr/expr.h"
#include "sim/engine/device/current_device.h"

namespace {

// ---------------------------------------------------------------------------
// Registers.

struct reg_name {
  const char* name;
  int number;
};
constexpr reg_name reg_names[] = {
    {"x", AR_X},     {"y", AR_Y},     {"a", AR_A},     {"a0", AR_A0},   {"a1", AR_A1},
    {"a2", AR_A2},   {"b", AR_B},     {"b0", AR_B0},   {"b1", AR_B1},   {"b2", AR_B2},
    {"x0", AR_X0},   {"x1", AR_X1},   {"y0", AR_Y0},   {"y1", AR_Y1},   {"r0", AR_R0},
    {"r1", AR_R1},   {"r2", AR_R2},   {"r3", AR_R3},   {"n0", AR_N0},   {"n1", AR_N1},
    {"n2", AR_N2},   {"n3", AR_N3},   {"m0", AR_M0},   {"m1", AR_M1},   {"m2", AR_M2},
    {"m3", AR_M3},   {"omr", AR_OMR}, {"sr", AR_SR},   {"la", AR_LA},   {"lc", AR_LC},
    {"ssh", AR_SSH}, {"ssl", AR_SSL}, {"sp", AR_SP},   {"mr", AR_MR},   {"ccr", AR_CCR},
};

constexpr uint64_t bit(int r) { return uint64_t{1} << r; }
constexpr uint64_t span(int first, int last) {
  uint64_t m = 0;
  for (int r = first; r <= last; ++r) m |= bit(r);
  return m;
}
constexpr uint64_t XY4 = bit(AR_X0) | bit(AR_X1) | bit(AR_Y0) | bit(AR_Y1);
constexpr uint64_t AB = bit(AR_A) | bit(AR_B);
constexpr uint64_t RN = span(AR_R0, AR_R3);
constexpr uint64_t NN = span(AR_N0, AR_N3);
constexpr uint64_t HHH = AB | bit(AR_A0) | bit(AR_B0) | XY4;

constexpr std::array<uint64_t, 28> reg_classes = {
    0,                                                          // 0 none
    AB,                                                         // 1
    bit(AR_X) | bit(AR_Y),                                      // 2
    bit(AR_X0) | bit(AR_Y0),                                    // 3
    XY4,                                                        // 4
    AB | bit(AR_X0) | bit(AR_Y0) | bit(AR_R0),                  // 5
    HHH,                                                        // 6
    span(AR_A, AR_B2),                                          // 7
    span(AR_A, AR_N3),                                          // 8
    span(AR_A, AR_SP),                                          // 9
    RN,                                                         // 10
    NN,                                                         // 11
    span(AR_M0, AR_M3),                                         // 12
    span(AR_OMR, AR_SP),                                        // 13
    bit(AR_OMR) | bit(AR_MR) | bit(AR_CCR),                     // 14
    AB | XY4,                                                   // 15
    AB | bit(AR_X) | bit(AR_Y) | XY4,                           // 16
    bit(AR_A1) | bit(AR_B1) | XY4,                              // 17
    HHH | RN,                                                   // 18
    RN | NN,                                                    // 19
    bit(AR_R0),                                                 // 20
    bit(AR_X0) | bit(AR_X1) | bit(AR_B),                        // 21
    bit(AR_Y0) | bit(AR_Y1) | bit(AR_A),                        // 22
    bit(AR_X0) | bit(AR_X1),                                    // 23
    bit(AR_Y0) | bit(AR_Y1),                                    // 24
    bit(AR_X) | bit(AR_Y) | XY4,                                // 25
    bit(AR_A1) | bit(AR_B1) | bit(AR_X1) | bit(AR_Y0) | bit(AR_Y1),  // 26
    bit(AR_X0) | bit(AR_Y0) | bit(AR_Y1),                       // 27
};

bool name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ---------------------------------------------------------------------------
// Expressions.

uint32_t expression_flags() { return cur_type != nullptr ? cur_type->expr_flags : 0; }

// An address or data expression at the cursor; the cursor moves past it.
expr_result read_expression(bool address) {
  sv_optr = asm_line.pos;
  expr_result v = address ? parse_address_expr(expression_flags()) : parse_data_expr(expression_flags());
  asm_line.pos = sv_optr;
  if (!v) asm_line.failed = true;
  return v;
}

bool negative(const arg_value& v) { return (v.ext & 0x80) != 0; }

// A pc-relative target: an address expression with an optional forcing
// prefix. Addresses wrap at 64K, so a target just past either end (as
// "*+$ff02" from $0100) is the address it reaches; further out is an error.
expr_result read_target() {
  const char* p = asm_line.pos;
  while (*p == ' ' || *p == '\t') ++p;
  uint32_t force = 0;
  if (p[0] == '<' && p[1] == '<') force = AV_XSHORT, p += 2;
  else if (*p == '<') force = AV_SHORT, ++p;
  else if (*p == '>') force = AV_LONG, ++p;
  sv_optr = p;
  expr_result v = parse_expression(expression_flags());
  asm_line.pos = sv_optr;
  if (!v) {
    asm_line.failed = true;
    return v;
  }
  if (v->type & AV_FLOAT) {
    asm_fail("Expression result must be integer");
    return std::nullopt;
  }
  const uint64_t bits = (static_cast<uint64_t>(v->ext & 0xFF) << 32) | (static_cast<uint64_t>(v->hi & 0xFFFF) << 16) |
                        (v->lo & 0xFFFF);
  const int64_t value = static_cast<int64_t>(bits << 24) >> 24;
  if (value < -0x10000 || value > 0x1FFFF) {
    asm_fail("Expression result too large");
    return std::nullopt;
  }
  v->lo = static_cast<uint32_t>(value) & 0xFFFF;
  v->type |= force;
  return v;
}

// The value as a signed number (negative values are sign-extended).
int32_t signed_value(const arg_value& v) {
  if (negative(v)) return static_cast<int32_t>(value_combined(v));
  return static_cast<int32_t>(v.lo & 0xFFFF);
}

uint32_t forcing(const arg_value& v) { return v.type & (AV_LONG | AV_SHORT | AV_XSHORT); }

// ---------------------------------------------------------------------------
// Stages of the operand parse.

bool duplicate_check(int reg) {
  const uint32_t parts = reg_parts(reg);
  if (parts & asm_line.written) return asm_fail("Duplicate destination register not allowed");
  asm_line.written |= parts;
  return true;
}

bool parse_immediate(asm_operand& op, uint32_t mask) {
  ++asm_line.pos;  // '#'
  expr_result v = read_expression(false);
  if (!v) return false;
  const bool signed_ok = (mask & (AM_IMM_LONG | AM_IMM_S8)) != 0;
  int32_t value = 0;
  if (v->type & AV_FLOAT) {
    if (!signed_ok) return asm_fail("Floating point value not allowed");
    value = fraction_to_word(expression_flags(), *v);
  } else {
    value = signed_value(*v);
  }
  if (value < 0 && !signed_ok) return asm_fail("Negative immediate value not allowed");
  op.value = value;
  op.force = forcing(*v);
  switch (mask & AM_IMMEDIATES) {
    case AM_IMM_LONG:
      op.mode = AM_IMM_LONG;
      return true;
    case AM_IMM_U8:
      if (value > 255) return asm_fail("Immediate value too large");
      op.mode = AM_IMM_U8;
      return true;
    case AM_IMM_S8:
      if (value < -128 || value > 127) return asm_fail("Immediate value too large");
      op.mode = AM_IMM_S8;
      return true;
    case AM_IMM_7:
      if (static_cast<uint32_t>(value) > 127) return asm_fail("Immediate value too large");
      op.mode = AM_IMM_7;
      return true;
    case AM_IMM_LONG | AM_IMM_S8:
      op.mode = (!(op.force & AV_LONG) && value >= -128 && value <= 127) ? AM_IMM_S8 : AM_IMM_LONG;
      return true;
    default:
      return asm_fail("Immediate mode select failure");
  }
}

// An offset register at p: "n" alone, or nN. Its number (0-3, or -2 for
// the bare "n"), the cursor past it; -1 when none.
int offset_register(const char*& p) {
  if (lower(p[0]) != 'n') return -1;
  if (!name_char(p[1])) {
    ++p;
    return -2;
  }
  if (p[1] >= '0' && p[1] <= '3' && !name_char(p[2])) {
    const int n = p[1] - '0';
    p += 2;
    return n;
  }
  return -1;
}

bool field_or_comma_end(const char* p) { return *p == '\0' || *p == ','; }

bool mode_allowed(uint32_t mode, uint32_t mask) {
  struct mode_message {
    uint32_t mode;
    const char* message;
  };
  static constexpr mode_message messages[] = {
      {AM_IND, "No-update mode not allowed"},
      {AM_POSTINC, "Post-increment addressing mode not allowed"},
      {AM_POSTDEC, "Post-decrement addressing mode not allowed"},
      {AM_POSTN, "Post-increment by offset addressing mode not allowed"},
      {AM_INDEXN, "Indexed address mode not allowed"},
      {AM_PREDEC, "Pre-decrement addressing mode not allowed"},
      {AM_DISP, "Displacement address mode not allowed"},
  };
  if (mask & mode) return true;
  for (const mode_message& m : messages)
    if (m.mode == mode) return asm_fail(m.message);
  return asm_fail("Invalid addressing mode");
}

// The displacement of (r2+d): exactly the offsets an instruction can hold,
// -128..127 (written as such or as their 16-bit patterns $ff80-$ffff).
bool displacement_fits(const arg_value& v) {
  const int32_t d = signed_value(v);
  return (d >= -128 && d <= 127) || (d >= 0xFF80 && d <= 0xFFFF);
}

// An indirect form at the cursor. Returns 1 when parsed, 0 after a
// message, -1 when the text is no indirect form (nothing consumed).
int parse_indirect(asm_operand& op, uint32_t mask) {
  const char* p = asm_line.pos;
  const bool pre = p[0] == '-' && p[1] == '(';
  p += pre ? 2 : 1;
  const int reg = asm_parse_register(p);
  const bool acc_high = reg == AR_A1 || reg == AR_B1;
  if (!is_address_reg(reg) && !(acc_high && !pre)) return -1;
  const int n = reg - AR_R0;
  op.reg = reg;
  asm_line.pos = p;
  if (pre) {
    if (!is_address_reg(reg)) return -1;
    if (!(mask & AM_PREDEC)) return asm_fail("Pre-decrement addressing mode not allowed") ? 1 : 0;
    if (*p != ')') return asm_fail("Address mode syntax error - expected ')'") ? 1 : 0;
    asm_line.pos = p + 1;
    op.mode = AM_PREDEC;
    return 1;
  }
  if (*p == ')') {
    ++p;
    asm_line.pos = p;
    if (field_or_comma_end(p)) {
      if (acc_high) {
        if (!(mask & AM_ACCIND)) return asm_fail("Invalid addressing mode") ? 1 : 0;
        op.mode = AM_ACCIND;
        return 1;
      }
      if (!mode_allowed(AM_IND, mask)) return 0;
      op.mode = AM_IND;
      return 1;
    }
    if (acc_high) return asm_fail("Invalid addressing mode") ? 1 : 0;
    if (*p != '+' && *p != '-') return asm_fail("Address mode syntax error - expected '+' or '-'") ? 1 : 0;
    const char sign = *p++;
    asm_line.pos = p;
    if (field_or_comma_end(p)) {
      op.mode = sign == '+' ? AM_POSTINC : AM_POSTDEC;
      return mode_allowed(op.mode, mask) ? 1 : 0;
    }
    const int offset = offset_register(p);
    if (sign == '-' || (offset != -1 && !field_or_comma_end(p)))
      return asm_fail("Address mode syntax error - expected comma or end of field") ? 1 : 0;
    if (offset == -1) return asm_fail("Address mode syntax error - probably missing ')'") ? 1 : 0;
    if (offset >= 0 && offset != n)
      return asm_fail("Offset register number must be the same as address register number") ? 1 : 0;
    asm_line.pos = p;
    op.mode = AM_POSTN;
    return mode_allowed(AM_POSTN, mask) ? 1 : 0;
  }
  if (acc_high) return asm_fail("Address mode syntax error - expected ')'") ? 1 : 0;
  if (*p == '+' || *p == '-') {
    const char* q = p + 1;
    const int offset = offset_register(q);
    if (offset != -1) {
      if (*p == '-') return asm_fail("Address mode syntax error - expected '+'") ? 1 : 0;
      if (!(mask & AM_INDEXN)) return asm_fail("Indexed address mode not allowed") ? 1 : 0;
      if (offset >= 0 && offset != n)
        return asm_fail("Offset register number must be the same as address register number") ? 1 : 0;
      op.mode = AM_INDEXN;
    } else {
      if (!(mask & AM_DISP)) return asm_fail("Displacement address mode not allowed") ? 1 : 0;
      if (reg != AR_R2) return asm_fail("Register displacement valid only with address register R2") ? 1 : 0;
      asm_line.pos = p;
      expr_result v = read_expression(true);
      if (!v) return 0;
      if (!displacement_fits(*v)) return asm_fail("Displacement out of range (-128 to 127)") ? 1 : 0;
      op.value = signed_value(*v) & 0xFFFF;
      op.mode = AM_DISP;
      q = asm_line.pos;
    }
    if (*q != ')') {
      asm_line.pos = q;
      return asm_fail("Address mode syntax error - expected ')'") ? 1 : 0;
    }
    ++q;
    asm_line.pos = q;
    if (!field_or_comma_end(q)) return asm_fail("Address mode syntax error - expected comma or end of field") ? 1 : 0;
    return 1;
  }
  return asm_fail("Address mode syntax error - expected ')'") ? 1 : 0;
}

bool parse_pc_relative(asm_operand& op, uint32_t mask) {
  const char* p = asm_line.pos;
  const int reg = asm_parse_register(p);
  if (reg != AR_NONE) {
    if (!is_address_reg(reg) || !(mask & AM_PCR_REG)) return asm_fail("Invalid addressing mode");
    asm_line.pos = p;
    op.reg = reg;
    op.mode = AM_PCR_REG;
    return true;
  }
  expr_result v = read_target();
  if (!v) return false;
  const uint32_t target = v->lo & 0xFFFF;
  const uint32_t disp16 = (target - (asm_line.address + 1)) & 0xFFFF;
  const int32_t d = static_cast<int16_t>(disp16);
  op.force = forcing(*v);
  const bool force_long = (op.force & (AV_LONG | AV_XSHORT)) != 0;
  const bool fits6 = d >= -32 && d <= 31;
  const bool fits8 = d >= -128 && d <= 127;
  uint32_t mode = 0;
  switch (mask & (AM_PCR_LONG | AM_PCR_8 | AM_PCR_6)) {
    case AM_PCR_LONG:
      mode = AM_PCR_LONG;
      break;
    case AM_PCR_8:
      if (!fits8) return asm_fail("Short PC-relative address too large");
      mode = AM_PCR_8;
      break;
    case AM_PCR_6:
      if (!fits6) return asm_fail("Short PC-relative address too large");
      mode = AM_PCR_6;
      break;
    case AM_PCR_LONG | AM_PCR_8:
      mode = (!force_long && fits8) ? AM_PCR_8 : AM_PCR_LONG;
      break;
    case AM_PCR_LONG | AM_PCR_6:
      mode = (!force_long && fits6) ? AM_PCR_6 : AM_PCR_LONG;
      break;
    case AM_PCR_LONG | AM_PCR_8 | AM_PCR_6:
      mode = force_long ? AM_PCR_LONG : fits6 ? AM_PCR_6 : fits8 ? AM_PCR_8 : AM_PCR_LONG;
      break;
    default:
      return asm_fail("PC-relative mode select failure");
  }
  op.mode = mode;
  op.value = mode == AM_PCR_LONG ? static_cast<int32_t>((disp16 - 1) & 0xFFFF) : d;
  return true;
}

bool parse_absolute(asm_operand& op, uint32_t mask) {
  expr_result v = read_expression(true);
  if (!v) return false;
  const uint32_t a = static_cast<uint32_t>(signed_value(*v)) & 0xFFFF;
  op.value = static_cast<int32_t>(a);
  op.force = forcing(*v);
  const bool io = a >= 0xFFE0;
  const bool f_long = (op.force & AV_LONG) != 0;
  const bool f_io = (op.force & AV_XSHORT) != 0;
  const bool f_short = (op.force & AV_SHORT) != 0;
  uint32_t mode = 0;
  switch (mask & AM_ABSOLUTES) {
    case AM_ABS_LONG:
      mode = AM_ABS_LONG;
      break;
    case AM_ABS_8:
      if (a > 255) return asm_fail("Short absolute address too large");
      mode = AM_ABS_8;
      break;
    case AM_ABS_5:
      if (a > 31) return asm_fail("Short absolute address too large");
      mode = AM_ABS_5;
      break;
    case AM_ABS_IO:
      if (!io) return asm_fail("Short I/O absolute address too small");
      mode = AM_ABS_IO;
      break;
    case AM_ABS_LONG | AM_ABS_8:
      mode = (!f_long && a <= 255) ? AM_ABS_8 : AM_ABS_LONG;
      break;
    case AM_ABS_5 | AM_ABS_IO:
      if (f_long) {
        if (a > 31 && !io) return asm_fail("Long absolute address cannot be used");
      } else if (f_io) {
        if (!io) return asm_fail("Absolute address too small to use I/O short");
      } else if (f_short) {
        if (a > 31) return asm_fail("Absolute address too large to use short");
      } else if (a > 31 && !io) {
        return asm_fail("Absolute address must be either short or I/O short");
      }
      mode = a <= 31 && !f_io ? AM_ABS_5 : AM_ABS_IO;
      break;
    case AM_ABS_LONG | AM_ABS_5 | AM_ABS_IO:
      if (f_long) mode = AM_ABS_LONG;
      else if (f_io) mode = io ? AM_ABS_IO : AM_ABS_LONG;
      else if (f_short) mode = a <= 31 ? AM_ABS_5 : AM_ABS_LONG;
      else mode = a <= 31 ? AM_ABS_5 : io ? AM_ABS_IO : AM_ABS_LONG;
      break;
    default:
      return asm_fail("Absolute mode select failure");
  }
  op.mode = mode;
  return true;
}

bool finish_operand(int flags) {
  if (flags & OPF_NO_END) return true;
  if (flags & OPF_COMMA) return asm_expect_comma();
  return asm_expect_end();
}

}  // namespace

bool reg_in_class(int reg_class, int reg) {
  if (reg_class < 0 || reg_class >= static_cast<int>(reg_classes.size()) || reg < 0 || reg >= AR_COUNT)
    return false;
  return (reg_classes[static_cast<std::size_t>(reg_class)] & bit(reg)) != 0;
}

int asm_parse_register(const char*& text) {
  for (const reg_name& r : reg_names) {
    const std::size_t n = std::strlen(r.name);
    std::size_t i = 0;
    while (i < n && lower(text[i]) == r.name[i]) ++i;
    if (i == n && !name_char(text[n])) {
      text += n;
      return r.number;
    }
  }
  return AR_NONE;
}

uint32_t reg_parts(int reg) {
  switch (reg) {
    case AR_A: return 0x7;
    case AR_A0: return 0x1;
    case AR_A1: return 0x2;
    case AR_A2: return 0x4;
    case AR_B: return 0x70;
    case AR_B0: return 0x10;
    case AR_B1: return 0x20;
    case AR_B2: return 0x40;
    case AR_X0: return 0x100;
    case AR_X1: return 0x200;
    case AR_Y0: return 0x400;
    case AR_Y1: return 0x800;
    case AR_X: return 0x300;
    case AR_Y: return 0xC00;
    default: return 0;
  }
}

void narrow_written(int from, uint32_t to_parts) {
  asm_line.written = (asm_line.written & ~reg_parts(from)) | to_parts;
}


bool asm_expect_comma() {
  if (*asm_line.pos != ',') return asm_fail("Address mode syntax error - expected comma");
  ++asm_line.pos;
  return true;
}

bool asm_expect_end() {
  if (*asm_line.pos != '\0') return asm_fail("Address mode syntax error - extra characters");
  return true;
}

bool asm_parse_space(asm_operand& op, int allowed) {
  const char* p = asm_line.pos;
  int space = OPSPACE_NONE;
  if (((p[0] >= 'a' && p[0] <= 'z') || (p[0] >= 'A' && p[0] <= 'Z')) && p[1] == ':') {
    const char c = lower(p[0]);
    if (c != 'x' && c != 'p') return asm_fail("Illegal memory space");
    space = c == 'x' ? OPSPACE_X : OPSPACE_P;
  }
  const bool none_ok = allowed == ALLOW_NONE || allowed == ALLOW_X_OR_NONE ||
                       allowed == ALLOW_P_OR_NONE || allowed == ALLOW_ANY;
  const bool x_ok = allowed == ALLOW_X || allowed == ALLOW_XP || allowed == ALLOW_X_OR_NONE ||
                    allowed == ALLOW_ANY;
  const bool p_ok = allowed == ALLOW_P || allowed == ALLOW_XP || allowed == ALLOW_P_OR_NONE ||
                    allowed == ALLOW_ANY;
  if (space == OPSPACE_NONE && !none_ok) return asm_fail("Missing memory space specifier");
  if (space == OPSPACE_X && !x_ok) return asm_fail("Illegal memory space specified - X:");
  if (space == OPSPACE_P && !p_ok) return asm_fail("Illegal memory space specified - P:");
  if (space != OPSPACE_NONE) asm_line.pos += 2;
  op.space = space;
  return true;
}

bool asm_parse_operand(int flags, asm_operand& op, int reg_class, uint32_t mask) {
  const int space = op.space;
  op = asm_operand{};
  op.space = space;
  const char* p = asm_line.pos;
  if (*p == '\0' || *p == ',') return asm_fail("Syntax error - missing address mode specifier");

  // A register name.
  if (reg_class != RCL_NONE || !(mask & AM_PCR_REG)) {
    const int reg = asm_parse_register(p);
    if (reg != AR_NONE) {
      if (reg_class == RCL_NONE) return asm_fail("Register direct addressing not allowed");
      if (!reg_in_class(reg_class, reg)) return asm_fail("Invalid register specified");
      asm_line.pos = p;
      if ((flags & OPF_DEST) && !duplicate_check(reg)) return false;
      op.mode = AM_REG;
      op.reg = reg;
      return finish_operand(flags);
    }
  }
  const bool with_reg = reg_class != RCL_NONE;
  if (mask == 0) return asm_fail("Only register direct addressing allowed");
  const bool has_imm = (mask & AM_IMMEDIATES) != 0;
  const bool has_ind = (mask & AM_INDIRECTS) != 0;
  const bool has_pcr = (mask & AM_PCRELS) != 0;
  const bool has_abs = (mask & AM_ABSOLUTES) != 0;

  if (*p == '#') {
    if (!has_imm) {
      asm_fail("Immediate addressing mode not allowed");
      while (*asm_line.pos != '\0' && *asm_line.pos != ',') ++asm_line.pos;
      return false;
    }
    if (!parse_immediate(op, mask)) return false;
    return finish_operand(flags);
  }
  if (has_imm && !has_ind && !has_abs && !has_pcr)
    return asm_fail(with_reg ? "Only immediate and register direct addressing allowed"
                             : "Only immediate addressing allowed");

  if (has_ind && (p[0] == '(' || (p[0] == '-' && p[1] == '('))) {
    const int r = parse_indirect(op, mask);
    if (r == 0) return false;
    if (r == 1) return asm_line.failed ? false : finish_operand(flags);
  }
  if (has_ind && !has_imm && !has_abs && !has_pcr)
    return asm_fail(with_reg ? "Only register direct and indirect addressing allowed"
                             : "Only register indirect addressing allowed");

  if (has_pcr && !has_abs) {
    if (!parse_pc_relative(op, mask)) return false;
    return finish_operand(flags);
  }
  if (!has_abs) return asm_fail("Invalid addressing mode");
  if (!parse_absolute(op, mask)) return false;
  return finish_operand(flags);
}
