// The straight-line executor's handlers of the data-ALU classes with
// parallel moves (core_fast.h): an X move by (rN)+ or (rN)+nN, two X
// reads, an access at the other accumulator, a register transfer, an
// address register update, each beside the operation its record keeps.
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
// The executor table's data-ALU rows (the first ones it matches).
constexpr std::array<fast_row, 5> alu_rows = {{
    {0x8000, 0x8000, fast_alu_x_move},
    {0xE000, 0x6000, fast_alu_two_reads},
    {0xF000, 0x5000, alu_acc_address},
    {0xF000, 0x4000, fast_alu_transfer},
    {0xF800, 0x3000, alu_update},
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
    if (d.words != 1 || r.op == ALU_OP_NORM) return true;
    d.fast = row.run;
    d.fast_alu = keep_alu(r);
    return true;
  }
  return false;
}
