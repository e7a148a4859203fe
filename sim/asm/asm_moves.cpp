// The parallel-move encoder: the X and Y move fields of an instruction
// read as data moves (the move instructions) or as moves beside an ALU
// operation, checked against each other and against the operation, and
// merged into the words the class encoder built.
#include <cctype>
#include <cstdint>
#include <string>
#include <utility>

#include "sim/asm/asm_internal.h"

namespace {

uint32_t move_flags = 0;

std::string& field(field_index f) { return asm_line.fields[f]; }
bool has_y() { return !field(FLD_YMOVE).empty(); }

bool move_instruction() { return (move_flags & MF_KINDS) != 0; }
// movec and the plain move: register to register, and the data-move rows
// for (rN)+, (rN)+nN and (a1), (b1).
bool register_moves() { return (move_flags & MF_MOVEC) != 0; }
bool plain_move() { return (move_flags & MF_MOVE) != 0; }

bool fail(const char* message) { return asm_fail(message); }

bool no_y() { return has_y() ? fail("Too many fields specified for instruction") : true; }

constexpr const char* NO_DATA_MOVE = "Instruction does not allow data movement specified";

// A data move: the move instructions only, each with the forms of its own
// kinds (the plain move has them all). The others print as "move", and
// that text must assemble back to the same words.
bool data_move(uint32_t kinds) {
  return move_instruction() && (move_flags & kinds) != 0 ? true : fail(NO_DATA_MOVE);
}

// Beside an ALU operation: a move instruction's ALU part is "move". Of
// the move instructions only the plain move takes these forms: the word of
// movem a,b, say, prints as "move a,b", which is another word.
bool beside_alu() {
  if (!move_instruction()) return true;
  if (!plain_move()) return fail(NO_DATA_MOVE);
  asm_line.word0 = 0x0011;
  return true;
}

uint32_t f(field_code code, int reg) { return field_value(code, reg); }

bool parse(int flags, asm_operand& op, int reg_class, uint32_t mask) {
  return asm_parse_operand(flags, op, reg_class, mask);
}

bool is_hhh(int reg) { return reg_in_class(RCL_HHH, reg); }

// --- Register checks ------------------------------------------------------------

bool chkdalu(int source, int dest) {
  struct rule {
    int source;
    uint64_t dests;
  };
  constexpr auto b = [](int r) { return uint64_t{1} << r; };
  static constexpr rule rules[] = {
      {AR_A, b(AR_B) | b(AR_X0) | b(AR_X1)}, {AR_A0, b(AR_X0) | b(AR_X1)},
      {AR_B, b(AR_A) | b(AR_Y0) | b(AR_Y1)}, {AR_B0, b(AR_Y0) | b(AR_Y1)},
      {AR_X0, b(AR_A) | b(AR_B)},             {AR_X1, b(AR_A) | b(AR_B)},
      {AR_Y0, b(AR_A) | b(AR_B)},             {AR_Y1, b(AR_A) | b(AR_B)},
  };
  for (const rule& r : rules)
    if (r.source == source) return (r.dests & b(dest)) ? true : fail("Invalid register combination");
  return fail("chkdalu failure");
}

bool chkdrd(int first, int second) {
  struct rule {
    int first;
    uint64_t seconds;
  };
  constexpr auto b = [](int r) { return uint64_t{1} << r; };
  static constexpr rule rules[] = {
      {AR_A, b(AR_X0) | b(AR_Y0)},  {AR_B, b(AR_X0) | b(AR_Y0)},  {AR_X0, b(AR_X1)},
      {AR_X1, b(AR_X0)},            {AR_Y0, b(AR_X0) | b(AR_X1)}, {AR_Y1, b(AR_X0) | b(AR_X1)},
  };
  for (const rule& r : rules)
    if (r.first == first) return (r.seconds & b(second)) ? true : fail("Invalid register combination");
  return fail("chkdrd failure");
}

// Position of a register transfer beside an ALU operation; an accumulator
// destination stands for the one the operation does not write.
int transfer_position(int source, int dest) {
  struct pair {
    int source, dest, position;
  };
  static constexpr pair pairs[] = {
      {AR_X0, AR_A, 0},  {AR_Y0, AR_A, 1},  {AR_X1, AR_A, 2},  {AR_Y1, AR_A, 3},
      {AR_A, AR_X0, 4},  {AR_B, AR_Y0, 5},  {AR_A0, AR_X0, 6}, {AR_B0, AR_Y0, 7},
      {AR_B, AR_A, 8},   {AR_A, AR_B, 9},   {AR_A, AR_X1, 12}, {AR_B, AR_Y1, 13},
      {AR_A0, AR_X1, 14}, {AR_B0, AR_Y1, 15},
  };
  const int looked_up = (dest == AR_B && source != AR_A) ? AR_A : dest;
  for (const pair& p : pairs)
    if (p.source == source && p.dest == looked_up) return p.position;
  fail("Invalid register combination");
  return 0;
}

int dual_read_position(int first, int second) {
  struct pair {
    int first, second;
  };
  static constexpr pair pairs[] = {{AR_A, AR_X0},  {AR_Y0, AR_X0}, {AR_X1, AR_X0}, {AR_Y1, AR_X0},
                                   {AR_X0, AR_X1}, {AR_Y0, AR_X1}, {AR_A, AR_Y0},  {AR_Y1, AR_X1}};
  const int looked_up = first == AR_B ? AR_A : first;
  for (int i = 0; i < 8; ++i)
    if (pairs[i].first == looked_up && pairs[i].second == second) return i;
  fail("Invalid register combination");
  return 0;
}

// --- Forms ----------------------------------------------------------------------

// Row 10: register to register.
bool register_to_register(int source, int dest) {
  if (!data_move(MF_MOVEC)) return false;
  if (source == AR_SSH && dest == AR_SSH) return fail("SSH cannot be both source and destination register");
  asm_line.word0 |= 0x2800 | f(FC_DDDDD, source) << 5 | f(FC_DDDDD, dest);
  return true;
}

// Row 3: a register transfer beside the ALU operation.
bool register_transfer(int source, int dest) {
  if (is_accumulator(source) && source == dest)
    return fail("Duplicate source and destination register not allowed");
  if (is_accumulator(dest) && dest == asm_line.alu_dest)
    return fail("X move destination accumulator same as operand destination accumulator");
  if (!chkdalu(source, dest)) return false;
  const int position = transfer_position(source, dest);
  if (asm_line.failed || !beside_alu()) return false;
  asm_line.word0 |= 0x4000 | static_cast<uint32_t>(position) << 8;
  return true;
}

// The r2-offset prefix: the word built so far moves to the second word.
void prefixed(const asm_operand& address, uint32_t second) {
  asm_line.word1 = second;
  asm_line.word0 = 0x0500 | (static_cast<uint32_t>(address.value) & 0xFF);
  asm_line.count = 2;
}

bool lms_move(int source, const asm_operand& address);
bool dual_read(const asm_operand& address, int first);

// A register and an X-memory address, either direction. `data_form`
// chooses the data-move rows over the forms beside the ALU operation.
bool xmem_move(int reg, const asm_operand& address, bool read, bool data_form) {
  const uint32_t ddddd = f(FC_DDDDD, reg) << 5;
  const uint32_t tt = address.reg >= 0 && is_address_reg(address.reg) ? f(FC_TT, address.reg) : 0;
  const uint32_t data_read = read ? 0x0400 : 0;
  const uint32_t alu_read = read ? 0x0100 : 0;
  switch (address.mode) {
    case AM_IND:
    case AM_POSTDEC:
      if (!no_y() || !data_move(MF_MOVEC)) return false;
      asm_line.word0 |= 0x3800 | data_read | ddddd | field_mm(address.mode) << 2 | tt;
      return true;
    case AM_INDEXN:
    case AM_PREDEC:
      if (!no_y() || !data_move(MF_MOVEC)) return false;
      asm_line.word0 |= 0x3810 | data_read | ddddd | field_q(address.mode) << 3 | tt;
      return true;
    case AM_ABS_5:
    case AM_ABS_IO:
      if (reg == AR_A || reg == AR_B || reg == AR_X0 || reg == AR_Y0) {
        if (!no_y() || !data_move(MF_MOVEC | MF_MOVEP | MF_MOVES)) return false;
        asm_line.word0 |= 0x1800 | alu_read | f(FC_HH, reg) << 6 | (static_cast<uint32_t>(address.value) & 0x3F);
        return true;
      }
      [[fallthrough]];
    case AM_ABS_LONG:
      if (!no_y() || !data_move(MF_MOVEC)) return false;
      asm_line.word0 |= 0x3814 | data_read | ddddd;
      asm_line.word1 = static_cast<uint32_t>(address.value) & 0xFFFF;
      asm_line.count = 2;
      return true;
    case AM_ACCIND:
      if (!no_y()) return false;
      if (data_form) {
        if (!data_move(MF_MOVEC)) return false;
        asm_line.word0 |= 0x3816 | data_read | ddddd | (address.reg == AR_A1 ? 8u : 0u);
        return true;
      }
      if ((address.reg == AR_A1 && asm_line.alu_dest == AR_A) ||
          (address.reg == AR_B1 && asm_line.alu_dest == AR_B))
        return fail("X move destination accumulator same as operand destination accumulator");
      if (!beside_alu()) return false;
      asm_line.word0 |= 0x5000 | alu_read | f(FC_HHH, reg) << 9;
      return true;
    case AM_POSTINC:
    case AM_POSTN:
      if (has_y()) return read ? dual_read(address, reg) : lms_move(reg, address);
      if (data_form) {
        if (!data_move(MF_MOVEC)) return false;
        asm_line.word0 |= 0x3800 | data_read | ddddd | field_mm(address.mode) << 2 | tt;
        return true;
      }
      if (!beside_alu()) return false;
      asm_line.word0 |= 0x8000 | alu_read | field_m(address.mode) << 14 | tt << 12 | f(FC_HHH, reg) << 9;
      return true;
    case AM_DISP:
      if (!no_y()) return false;
      if (plain_move() || !is_hhh(reg)) {
        if (!data_move(MF_MOVEC)) return false;
        prefixed(address, asm_line.word0 | 0x3800 | data_read | ddddd);
        return true;
      }
      if (!beside_alu()) return false;
      prefixed(address, asm_line.word0 | 0x8000 | alu_read | f(FC_HHH, reg) << 9);
      return true;
    default:
      return fail("Invalid addressing mode");
  }
}

// A register and a P-memory address (row 38 or the prefixed P move).
bool pmem_move(int reg, const asm_operand& address, bool read) {
  if (!no_y() || !data_move(MF_MOVEM)) return false;
  const uint32_t direction = read ? 0x0100 : 0;
  if (address.mode == AM_DISP) {
    prefixed(address, asm_line.word0 | 0x0200 | direction | f(FC_HHH, reg));
    return true;
  }
  asm_line.word0 |= 0x0200 | direction | f(FC_TT, address.reg) << 6 | field_mm(address.mode) << 3 |
                    f(FC_HHH, reg);
  return true;
}

// Row 37: X and P memory, both post-incremented.
bool xp_move(const asm_operand& x, const asm_operand& p, bool x_first) {
  if (!no_y() || !data_move(MF_MOVE)) return false;
  const asm_operand& first = x_first ? x : p;
  const asm_operand& second = x_first ? p : x;
  asm_line.word0 |= 0x0230 | (x_first ? 0x0100u : 0u) | f(FC_TT, first.reg) << 6 | field_m(first.mode) << 3 |
                    field_m(second.mode) << 2 | f(FC_TT, second.reg);
  return true;
}

// Row 1: two X reads, the second through r3, beside a short ALU form.
bool dual_read(const asm_operand& address, int first) {
  if (!plain_move() && asm_line.short_form != SHORT_DUAL_READ)
    return fail("Dual X memory read not allowed with this instruction");
  asm_operand second_address, second;
  asm_begin(field(FLD_YMOVE));
  if (!asm_parse_space(second_address, ALLOW_X)) return false;
  if (address.reg == AR_R3) return fail("Invalid source address register");
  if (first == AR_A0 || first == AR_B0) return fail("Invalid destination register");
  if (is_accumulator(first) && first == asm_line.alu_dest)
    return fail("X move destination accumulator same as operand destination accumulator");
  if (!parse(OPF_COMMA, second_address, RCL_NONE, AM_IND | AM_POSTINC | AM_POSTDEC | AM_POSTN)) return false;
  if (second_address.reg != AR_R3) return fail("Invalid source address register");
  if (!parse(OPF_DEST, second, RCL_XY4, 0)) return false;
  if (!chkdrd(first, second.reg)) return false;
  if (second_address.mode != AM_POSTINC && second_address.mode != AM_POSTN) return fail("MM encoding failure");
  const int position = dual_read_position(first, second.reg);
  if (asm_line.failed) return false;
  if (plain_move()) asm_line.word0 = 0x6017 | (first == AR_A ? 8u : 0u);
  if (address.mode == AM_POSTN) asm_line.word0 |= 0x1000;
  if (second_address.mode == AM_POSTN) asm_line.word0 |= 0x0800;
  asm_line.word0 |= static_cast<uint32_t>(position) << 8 | f(FC_TT, address.reg) << 5;
  return true;
}

// Row 16: the accumulator the multiplication does not write goes to X
// memory and is loaded from the Y field's register.
bool lms_move(int source, const asm_operand& address) {
  if (asm_line.short_form != SHORT_LMS) return fail("LMS move not allowed with this instruction");
  asm_operand yreg, ydest;
  asm_begin(field(FLD_YMOVE));
  if (!parse(OPF_COMMA, yreg, RCL_AB_XY4, 0)) return false;
  if (!is_accumulator(source)) return fail("Invalid source register");
  if (source == asm_line.alu_dest)
    return fail("X move source accumulator same as operand destination accumulator");
  if (address.mode != AM_POSTN) return fail("Only post-increment by offset addressing allowed with LMS move");
  if (!parse(OPF_DEST, ydest, RCL_AB, 0)) return false;
  if (ydest.reg == asm_line.alu_dest)
    return fail("Y move destination accumulator same as operand destination accumulator");
  asm_line.word0 |= f(FC_TT, address.reg) << 6 | f(FC_DD, yreg.reg) << 4;
  return true;
}

constexpr uint32_t X_ADDRESS_MODES = 0xD00FF0;  // indirect, long, 0-31 and I/O short
constexpr uint32_t P_ADDRESS_MODES = 0x8F0;     // (rN), (rN)+, (rN)-, (rN)+nN, (r2+d)

// A register source followed by its destination.
bool from_register(int source) {
  asm_operand dest;
  if (!asm_parse_space(dest, ALLOW_ANY)) return false;
  const bool group1 = is_hhh(source);
  if (dest.space == OPSPACE_NONE) {
    if (!no_y()) return false;
    if (!group1 || register_moves()) {
      if (!parse(OPF_DEST, dest, RCL_ALL, 0)) return false;
      return register_to_register(source, dest.reg);
    }
    if (!parse(OPF_DEST, dest, RCL_AB_XY4, 0)) return false;
    return register_transfer(source, dest.reg);
  }
  if (dest.space == OPSPACE_P) {
    if (!group1) return fail("Illegal memory space specified - P:");
    if (!parse(0, dest, RCL_NONE, P_ADDRESS_MODES)) return false;
    return pmem_move(source, dest, false);
  }
  if (!parse(0, dest, RCL_NONE, group1 ? X_ADDRESS_MODES : 0x100FF0)) return false;
  return xmem_move(source, dest, false, register_moves() || !group1);
}

// The first field without a memory-space prefix.
bool unprefixed() {
  asm_operand src;
  const char* p = asm_line.pos;
  const char* q = p;
  const bool form = *p == '#' || *p == '(' || (p[0] == '-' && p[1] == '(') || asm_parse_register(q) != AR_NONE;
  if (!form) return fail("Illegal move field destination specified");
  if (!parse(OPF_NO_END, src, RCL_ALL, 0x5FF0)) return false;
  if (src.mode == AM_POSTDEC || src.mode == AM_POSTN) {
    if (!asm_expect_end() || !no_y()) return false;
    if (!beside_alu()) return false;
    asm_line.word0 |= 0x3000 | field_m(src.mode) << 10 | f(FC_TT, src.reg) << 8;
    return true;
  }
  if (src.mode & AM_INDIRECTS) return fail("Missing memory space specifier");
  if (!asm_expect_comma()) return false;
  if (src.mode == AM_REG) return from_register(src.reg);
  // An immediate.
  asm_operand dest;
  if (!parse(OPF_DEST, dest, RCL_ALL, 0) || !no_y() || !data_move(MF_MOVEI)) return false;
  const uint32_t value = static_cast<uint32_t>(src.value) & 0xFFFF;
  if (src.mode == AM_IMM_S8 && reg_in_class(RCL_XY4, dest.reg)) {
    asm_line.word0 |= 0x2000 | f(FC_DD, dest.reg) << 8 | (value & 0xFF);
    return true;
  }
  asm_line.word0 |= 0x3814 | 0x0400 | 0x8 | f(FC_DDDDD, dest.reg) << 5;
  asm_line.word1 = value;
  asm_line.count = 2;
  return true;
}

bool post_incremented(const asm_operand& op) { return op.mode == AM_POSTINC || op.mode == AM_POSTN; }

// "x:" first: a read into a register, or X to X (row 28) or X to P.
bool from_x() {
  asm_operand src, dest;
  if (!parse(OPF_COMMA, src, RCL_NONE, X_ADDRESS_MODES)) return false;
  if (!asm_parse_space(dest, ALLOW_ANY)) return false;
  if (dest.space == OPSPACE_NONE) {
    if (!parse(OPF_DEST, dest, has_y() ? RCL_HHH : RCL_ALL, 0)) return false;
    const bool data_form = register_moves() || (!is_hhh(dest.reg) && move_instruction());
    return xmem_move(dest.reg, src, true, data_form);
  }
  if (dest.space == OPSPACE_P) {
    if (!post_incremented(src)) return fail("Invalid source address mode");
    if (!parse(0, dest, RCL_NONE, AM_POSTS)) return false;
    return xp_move(src, dest, true);
  }
  if (!no_y() || !data_move(MF_MOVEP)) return false;
  const asm_operand* ea = nullptr;
  const asm_operand* io = nullptr;
  if (post_incremented(src)) {
    if (!parse(0, dest, RCL_NONE, AM_ABS_IO)) return false;
    ea = &src;
    io = &dest;
    asm_line.word0 |= 0x0100;
  } else if (src.mode == AM_ABS_IO) {
    if (!parse(0, dest, RCL_NONE, AM_POSTS)) return false;
    ea = &dest;
    io = &src;
  } else {
    return fail("Invalid source address mode");
  }
  asm_line.word0 |= 0x0C00 | f(FC_TT, ea->reg) << 6 | field_m(ea->mode) << 5 |
                    (static_cast<uint32_t>(io->value) & 0x1F);
  return true;
}

// "p:" first: a read into a register, or P to X.
bool from_p() {
  asm_operand src, dest;
  if (!parse(OPF_COMMA, src, RCL_NONE, P_ADDRESS_MODES)) return false;
  if (!asm_parse_space(dest, ALLOW_X_OR_NONE)) return false;
  if (dest.space == OPSPACE_NONE) {
    if (!parse(OPF_DEST, dest, RCL_HHH, 0)) return false;
    return pmem_move(dest.reg, src, true);
  }
  if (!post_incremented(src)) return fail("Only postincrement or postincrement by offset addressing allowed");
  if (!parse(0, dest, RCL_NONE, AM_POSTS)) return false;
  return xp_move(dest, src, false);
}

bool begins_x(const std::string& s) { return s.size() >= 2 && (s[0] == 'x' || s[0] == 'X') && s[1] == ':'; }

std::string lowered(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Puts the two move fields in the order the forms read them: the r3
// read of a dual read second, and a field holding "x:" first.
bool order_fields() {
  std::string& x = field(FLD_XMOVE);
  std::string& y = field(FLD_YMOVE);
  if (y.empty()) return false;
  const bool swap = (lowered(x).rfind("x:(r3)+", 0) == 0 && begins_x(y)) ||
                    (!(begins_x(x) && begins_x(y)) && lowered(y).find("x:") != std::string::npos);
  if (swap) std::swap(x, y);
  return swap;
}

}  // namespace

int asm_encode_moves(uint32_t flags) {
  move_flags = flags;
  const bool swapped = order_fields();
  asm_begin(field(FLD_XMOVE));
  asm_operand first;
  bool ok = asm_parse_space(first, ALLOW_ANY);
  if (ok) ok = first.space == OPSPACE_NONE ? unprefixed() : first.space == OPSPACE_X ? from_x() : from_p();
  if (swapped) std::swap(field(FLD_XMOVE), field(FLD_YMOVE));
  return ok && !asm_line.failed ? 1 : 0;
}
