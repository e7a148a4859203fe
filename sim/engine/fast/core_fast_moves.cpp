// The straight-line handlers of the moves (core_fast.h): an X move by an
// address register (plain, indexed or pre-decrement) or by an
// accumulator's middle part, an absolute X move or an immediate (long or
// short), a register move, tfr3 and lea, loading the loop and stack
// registers too (fast_move_destination); and of rep and do with an
// immediate, register or memory count, do forever, rep until a condition
// and the jumps with a second-word target.
// Each mirrors its executor-table function.
#include <array>
#include <cstdint>

#include "sim/engine/core/core_decode.h"
#include "sim/engine/fast/core_fast.h"
#include "sim/engine/fast/core_fast_step.h"
#include "sim/engine/core/core_tables.h"

namespace {

constexpr uint32_t WORD = 0xFFFF;

int reg5(uint32_t field) { return fast_reg5(field); }

// The registers a move may read and load (core_fast.h).
bool move_source(const fast_step& s, int reg) { return fast_move_source(s.w, *s.d, s.repeat_pass, reg); }
bool move_destination(const fast_step& s, int reg) { return fast_move_destination(s.w, reg); }

// An X move of one register at `ea`: a read loads it, a write stores its
// value on xdb. `update` runs the address unit after the source is out.
template <typename Update>
bool x_move(fast_step& s, int reg, uint32_t ea, bool read, Update update) {
  if (reg < 0 || (read ? !move_destination(s, reg) : !move_source(s, reg))) return false;
  fast_access* a = fast_plan_access(s, ea, !read, read ? reg : -1, last_cycle(s), false);
  if (a == nullptr) return false;
  fast_begin(s);
  if (!read) a->value = fast_source(reg, CS_XDB);
  update();
  return true;
}

// move x:(rN)... and its write.
bool move_address(fast_step& s) {
  constexpr std::array<agu_mode, 4> modes = {AGU_NONE, AGU_INC, AGU_DEC, AGU_ADD_N};
  const uint32_t op = s.opcode;
  if (!fast_agu_plain(s.w)) return false;
  const int n = static_cast<int>(op & 3);
  return x_move(s, reg5(op >> 5), s.w[CORE_R0 + n], (op & 0x400) != 0,
                [w = s.w, n, mode = modes[(op >> 2) & 3]] { fast_agu_update(w, n, mode); });
}

}  // namespace

// The second word: an immediate into a register, or an absolute address.
bool fast_move_long(fast_step& s) {
  const uint32_t op = s.opcode;
  const int reg = reg5(op >> 5);
  const uint32_t second = fast_second_word(s);
  if ((op & 0x400) && (op & 8)) {
    if (!move_destination(s, reg)) return false;
    fast_begin(s);
    fast_transfer(s, reg, s.w[CS_EXECUTE_OPERAND]);
    return true;
  }
  return x_move(s, reg, second, (op & 0x400) != 0, [] {});
}

namespace {

// move x:(a1)... and x:(b1)...: the address is the accumulator's middle
// part as the instruction starts.
bool move_acc_address(fast_step& s) {
  const uint32_t op = s.opcode;
  return x_move(s, reg5(op >> 5), s.w[(op & 8) ? CORE_A1 : CORE_B1], (op & 0x400) != 0, [] {});
}

// move x:(rN+nN)... and move x:-(rN)...: the address is worked out as the
// address unit will, which updates rN only for the pre-decrement.
bool move_indexed(fast_step& s) {
  const uint32_t op = s.opcode;
  const uint32_t* w = s.w;
  if (!fast_agu_plain(w)) return false;
  const int n = static_cast<int>(op & 3);
  const bool predec = (op & 8) != 0;
  const uint32_t r = w[CORE_R0 + n], m = w[CORE_M0 + n];
  const uint32_t ea = predec ? agu_modify(r, 1, true, m, nullptr) : agu_modify(r, w[CORE_N0 + n], false, m, nullptr);
  return x_move(s, reg5(op >> 5), ea, (op & 0x400) != 0,
                [n, predec] { agu_address(n, predec ? AGU_PREDEC : AGU_INDEXED); });
}

constexpr std::array<int, 4> dd_regs = {CORE_X0, CORE_Y0, CORE_X1, CORE_Y1};

// move #xx,x0/y0/x1/y1.
bool move_short_imm(fast_step& s) {
  fast_begin(s);
  fast_transfer(s, dd_regs[(s.opcode >> 8) & 3], core_short_immediate(static_cast<uint16_t>(s.opcode), s.d->cls));
  return true;
}

// move x:<aa... and its write, of x0, y0, a or b.
bool move_short_address(fast_step& s) {
  constexpr std::array<int, 4> regs = {CORE_X0, CORE_Y0, CORE_A, CORE_B};
  const uint32_t op = s.opcode;
  return x_move(s, regs[(op >> 6) & 3], core_short_immediate(static_cast<uint16_t>(op), s.d->cls),
                (op & 0x100) != 0, [] {});
}

// tfr3: a data register into an accumulator beside an X move by (rN)+
// or (rN)+nN.
bool tfr3(fast_step& s) {
  const uint32_t op = s.opcode;
  if (!fast_agu_plain(s.w)) return false;
  const bool read = (op & 0x100) != 0;
  const int reg = hhh_regs[op & 7];
  const int n = static_cast<int>((op >> 6) & 3);
  fast_access* a = fast_plan_access(s, s.w[CORE_R0 + n], !read, read ? reg : -1, last_cycle(s), false);
  if (a == nullptr) return false;
  fast_begin(s);
  const uint32_t value = fast_source(dd_regs[(op >> 4) & 3], CS_GDB);
  if (!read) a->value = fast_source(reg, CS_XDB);
  fast_agu_update(s.w, n, (op & 0x200) ? AGU_ADD_N : AGU_INC);
  fast_transfer(s, (op & 8) ? CORE_B : CORE_A, value);
  return true;
}

}  // namespace

bool fast_move_reg(fast_step& s) {
  const int src = reg5(s.opcode >> 5);
  const int dst = reg5(s.opcode);
  if (!move_source(s, src) || (dst >= 0 && !move_destination(s, dst))) return false;
  fast_begin(s);
  const uint32_t value = src >= 0 ? fast_source(src, CS_GDB) : 0;
  if (dst >= 0) fast_transfer(s, dst, value);
  return true;
}

bool fast_lea(fast_step& s) {
  const uint32_t op = s.opcode;
  const int n = static_cast<int>(op & 3);
  fast_begin(s);
  const uint32_t* w = s.w;
  const uint32_t r = w[CORE_R0 + n] & WORD, m = w[CORE_M0 + n] & WORD, nn = w[CORE_N0 + n] & WORD;
  uint32_t v = r;
  switch ((op >> 2) & 3) {
    case 1: v = agu_modify(r, 1, false, m, nullptr); break;
    case 2: v = agu_modify(r, 1, true, m, nullptr); break;
    case 3: v = agu_modify(r, nn, false, m, nullptr); break;
    default: return true;
  }
  const int dn = static_cast<int>((op >> 4) & 3);
  fast_transfer(s, ((op & 0x40) ? CORE_R0 : CORE_N0) + dn, v);
  return true;
}

// --- Loops, repeat and jumps ------------------------------------------------------

// rep #n: lc is saved and counts the passes of the next instruction.
bool fast_rep_imm(fast_step& s) {
  fast_begin(s);
  repeat_arm_count(s.opcode & 0xFF);
  return true;
}

namespace {

// rep with a register's count.
bool rep_reg(fast_step& s) {
  const int reg = reg5(s.opcode);
  if (!move_source(s, reg)) return false;
  fast_begin(s);
  repeat_arm_count(reg >= 0 ? fast_source(reg, CS_GDB) : 0);
  return true;
}

// rep and do with a count the executor reads from x:(rN) at once, with its
// own read: the word is checked as a planned access would be, then
// dropped from the plan.
bool count_word_plain(fast_step& s, uint32_t ea) {
  if (fast_plan_access(s, ea, false, -1, 0, false) == nullptr) return false;
  --s.accesses;
  return true;
}

uint32_t count_word(uint32_t ea) { return core_mem_read(core_resolve_space(SPACE_X, ea), ea); }

bool rep_mem(fast_step& s) {
  const uint32_t ea = s.w[CORE_R0 + (s.opcode & 3)] & WORD;
  if (!count_word_plain(s, ea)) return false;
  fast_begin(s);
  repeat_arm_count(count_word(ea));
  return true;
}

// rep until a condition.
bool rep_cc(fast_step& s) {
  fast_begin(s);
  repeat_arm_condition(s.opcode & 15);
  return true;
}

// do #n,last: la, lc and the loop start go onto the stack; the next opcode
// is the loop's first, in sequence.
void do_loop(fast_step& s, uint32_t count) {
  const uint32_t last = (s.w[CS_EXECUTE_ADDR] + 2 + s.w[CS_EXECUTE_OPERAND] - 1) & WORD;
  loop_start(count, last, false);
}

// do forever: a loop that only brkcc, enddo or a jump out ends.
bool do_forever(fast_step& s) {
  fast_begin(s);
  const uint32_t last = (s.w[CS_EXECUTE_ADDR] + 2 + s.w[CS_EXECUTE_OPERAND] - 1) & WORD;
  loop_start(0, last, true);
  return true;
}

bool do_imm(fast_step& s) {
  fast_begin(s);
  do_loop(s, s.opcode & 0xFF);
  return true;
}

bool do_mem(fast_step& s) {
  const uint32_t ea = s.w[CORE_R0 + (s.opcode & 3)] & WORD;
  if (!count_word_plain(s, ea)) return false;
  fast_begin(s);
  do_loop(s, count_word(ea));
  return true;
}

// do with a register's count.
bool do_reg(fast_step& s) {
  const int reg = reg5(s.opcode);
  if (!move_source(s, reg)) return false;
  fast_begin(s);
  do_loop(s, reg >= 0 ? fast_source(reg, CS_GDB) : 0);
  return true;
}

// jmp, jsr, bra and bsr with a second-word target: the next opcode comes
// from the target, which must be plain program memory too.
bool flow_long(fast_step& s) {
  const uint32_t op = s.opcode;
  const uint32_t address = s.repeat_pass ? s.w[CS_DECODE_ADDR] : s.w[CS_PREFETCH_ADDR];
  const uint32_t second = fast_second_word(s);
  const uint32_t target = ((op & 8) ? address + second + 2 : second) & WORD;
  if (!fast_program_plain(s, target)) return false;
  fast_begin(s);
  uint32_t* w = s.w;
  if (!(op & 4)) {
    w[CS_SCRATCH] = (address + 2) & WORD;
    ss_push(CS_SCRATCH, CORE_SR);
  }
  w[CS_NEXT_FETCH] = 1;
  w[CS_NEXT_TARGET] = target;
  w[CS_FLOW_TAKEN] = 1;
  s.st->jump_flag = 1;
  return true;
}

struct move_row {
  uint16_t mask;
  uint16_t value;
  uint8_t words;
  fast_handler run;
};
// The executor table's rows of these moves, with the rows before them
// that would match first.
constexpr std::array<move_row, 18> move_rows = {{
    {0xF816, 0x3816, 1, move_acc_address},
    {0xF816, 0x3814, 2, fast_move_long},
    {0xF814, 0x3810, 1, move_indexed},
    {0xF810, 0x3800, 1, fast_move_address},
    {0xFC00, 0x2800, 1, fast_move_reg},
    {0xFC00, 0x2400, 1, tfr3},
    {0xFC00, 0x2000, 1, move_short_imm},
    {0xFE00, 0x1800, 1, move_short_address},
    {0xFF00, 0x0F00, 1, fast_rep_imm},
    {0xFF00, 0x0E00, 2, do_imm},
    {0xFFE0, 0x0420, 1, rep_reg},
    {0xFFE0, 0x0400, 2, do_reg},
    {0xFF80, 0x0180, 1, fast_lea},
    {0xFFF0, 0x0130, 2, flow_long},  // jmp, jsr, bra, bsr
    {0xFFF0, 0x0150, 1, rep_cc},
    {0xFFE0, 0x00E0, 1, rep_mem},
    {0xFFE0, 0x00C0, 2, do_mem},
    {0xFFFF, 0x0002, 2, do_forever},
}};

}  // namespace

bool fast_move_address(fast_step& s) { return move_address(s); }

fast_handler core_fast_move_handler(uint16_t word, const decoded_word& d) {
  for (const move_row& row : move_rows) {
    if ((word & row.mask) != row.value) continue;
    return d.words == row.words ? row.run : nullptr;
  }
  return nullptr;
}
