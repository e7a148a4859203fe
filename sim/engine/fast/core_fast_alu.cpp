// The straight-line executor's handlers of the data-ALU classes with
// parallel moves (core_fast.h): an X move by (rN)+ or (rN)+nN, two X
// reads, an access at the other accumulator, a register transfer, an
// address register update, lms's write and transfer, each beside the
// operation its record keeps; and the 15xx group without moves (the
// operations, norm, tfr2).
#include <array>
#include <cstdint>

#include "sim/engine/core/core_alu.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/fast/core_fast.h"
#include "sim/engine/fast/core_fast_step.h"

namespace {

constexpr uint32_t WORD = 0xFFFF;

uint32_t source_x(int reg) { return fast_source(reg, CS_XDB); }
bool agu_plain(const uint32_t* w) { return fast_agu_plain(w); }

// One X access at the other accumulator's middle part.
bool alu_acc_address(fast_step& s) {
  const uint32_t op = s.opcode;
  uint32_t* w = s.w;
  const bool read = (op & 0x100) != 0;
  const int reg = hhh_regs[(op >> 9) & 7];
  fast_access* a = fast_plan_access(s, w[(op & 8) ? CORE_A1 : CORE_B1], !read, read ? reg : -1, last_cycle(s), false);
  if (a == nullptr) return false;
  fast_begin(s);
  if (!read) a->value = source_x(reg);
  fast_run_alu(s);
  return true;
}

// An address register update beside the operation.
bool alu_update(fast_step& s) {
  if (!agu_plain(s.w)) return false;
  fast_begin(s);
  fast_run_alu(s);
  fast_agu_update(s.w, static_cast<int>((s.opcode >> 8) & 3), (s.opcode & 0x400) ? AGU_ADD_N : AGU_DEC);
  return true;
}

// lms: the other accumulator written to x:(rN)+nN, a data register
// moved into it, beside a multiply.
bool alu_lms(fast_step& s) {
  const uint32_t op = s.opcode;
  uint32_t* w = s.w;
  if (!agu_plain(w)) return false;
  const int n = static_cast<int>((op >> 6) & 3);
  fast_access* a = fast_plan_access(s, w[CORE_R0 + n], true, -1, last_cycle(s), false);
  if (a == nullptr) return false;
  fast_begin(s);
  const int other = other_acc(op);
  a->value = source_x(other);
  constexpr std::array<int, 4> dd_regs = {CORE_X0, CORE_Y0, CORE_X1, CORE_Y1};
  const uint32_t in = fast_source(dd_regs[(op >> 4) & 3], CS_GDB);
  fast_run_alu(s);
  fast_agu_update(w, n, AGU_ADD_N);
  fast_transfer(s, other, in);
  return true;
}

// The operation alone (the 15xx group).
bool alu_alone(fast_step& s) {
  fast_begin(s);
  fast_run_alu(s);
  return true;
}

// norm: the accumulator and the address register of its fields.
bool alu_norm_reg(fast_step& s) {
  fast_begin(s);
  alu_norm(s.opcode);
  return true;
}

// tfr2: the whole accumulator, limited to 32 bits, over both buses into x
// or y.
bool alu_tfr2(fast_step& s) {
  const uint32_t op = s.opcode;
  const int acc = (op & 8) ? CORE_B : CORE_A;
  fast_begin(s);
  // (The move puts the high part on gdb, the low part on xdb.)
  const uint32_t low = fast_source_slow(acc, CS_XDB);
  const bool y = (op & 1) != 0;
  fast_transfer(s, y ? CORE_Y1 : CORE_X1, s.w[CS_GDB]);
  fast_transfer(s, y ? CORE_Y0 : CORE_X0, low);
  return true;
}

}  // namespace

// One X access by (rN)+ or (rN)+nN, of the register `reg`.
bool fast_alu_x_move(fast_step& s) {
  const uint32_t op = s.opcode;
  uint32_t* w = s.w;
  if (!agu_plain(w)) return false;
  const bool read = (op & 0x100) != 0;
  const int reg = hhh_regs[(op >> 9) & 7];
  const int n = static_cast<int>((op >> 12) & 3);
  fast_access* a = fast_plan_access(s, w[CORE_R0 + n], !read, read ? reg : -1, last_cycle(s), false);
  if (a == nullptr) return false;
  fast_begin(s);
  if (!read) a->value = source_x(reg);
  fast_run_alu(s);
  fast_agu_update(w, n, (op & 0x4000) ? AGU_ADD_N : AGU_INC);
  return true;
}

// Two X reads: the first address unit's (rN)+ or (rN)+nN and r3's.
bool fast_alu_two_reads(fast_step& s) {
  const uint32_t op = s.opcode;
  uint32_t* w = s.w;
  if (!agu_plain(w)) return false;
  const uint32_t sel = (op >> 8) & 7;
  const int first = two_read_first[sel] == OTHER_ACC ? other_acc(op) : two_read_first[sel];
  const int n = static_cast<int>((op >> 5) & 3);
  const bool add_n = (op & 0x1000) != 0;
  // The second unit reads r3 after the first has updated it.
  uint32_t r3 = w[CORE_R3] & WORD;
  if (n == 3) r3 = agu_modify(r3, add_n ? w[CORE_N3] : 1, false, w[CORE_M3], nullptr);
  if (fast_plan_access(s, w[CORE_R0 + n], false, first, last_cycle(s), false) == nullptr ||
      fast_plan_access(s, r3, false, two_read_second[sel], last_cycle(s), true) == nullptr)
    return false;
  fast_begin(s);
  fast_run_alu(s);
  fast_agu_update(w, n, add_n ? AGU_ADD_N : AGU_INC);
  fast_agu2_update(w, (op & 0x800) != 0);
  return true;
}

// A register transfer beside the operation.
bool fast_alu_transfer(fast_step& s) {
  const uint32_t op = s.opcode;
  const int from = transfer_src[(op >> 8) & 15];
  const int d = transfer_to(op);
  fast_begin(s);
  const uint32_t value = from >= 0 ? source_x(from) : 0;
  fast_run_alu(s);
  if (from >= 0 && d >= 0) fast_transfer(s, d, value);
  return true;
}

namespace {

struct fast_row {
  uint16_t mask;
  uint16_t value;
  fast_handler run;
};
// The executor table's data-ALU rows (the first ones it matches), and
// within the 15xx group the executor's own order: norm, tfr2, the rest.
constexpr std::array<fast_row, 9> alu_rows = {{
    {0x8000, 0x8000, fast_alu_x_move},
    {0xE000, 0x6000, fast_alu_two_reads},
    {0xF000, 0x5000, alu_acc_address},
    {0xF000, 0x4000, fast_alu_transfer},
    {0xF800, 0x3000, alu_update},
    {0xFE00, 0x1600, alu_lms},
    {0xFFF4, 0x1520, alu_norm_reg},
    {0xFFF6, 0x1500, alu_tfr2},
    {0xFF00, 0x1500, alu_alone},
}};

// The ALU record kept in the decoded word.
std::array<int16_t, 5> keep_alu(const alu_record& r) {
  return {static_cast<int16_t>(r.op), static_cast<int16_t>(r.src1), static_cast<int16_t>(r.src2),
          static_cast<int16_t>(r.dest), static_cast<int16_t>(r.negate)};
}

}  // namespace

bool core_fast_alu_record(uint16_t word, decoded_word& d) {
  for (const fast_row& row : alu_rows) {
    if ((word & row.mask) != row.value) continue;
    const alu_record r = alu_decode(word);
    if (d.words != 1 || (r.op == ALU_OP_NORM && row.run != alu_norm_reg)) return true;
    d.fast = row.run;
    d.fast_alu = keep_alu(r);
    return true;
  }
  return false;
}
