// The first-half work of each instruction: a first-match table of the
// instruction classes, each with its length in words and a small function
// that puts the move sources on the buses, runs the data-ALU operation,
// steps the address registers and plans the memory accesses and register
// transfers that the clock machine completes in later half cycles.
#include <array>
#include <atomic>
#include <cstdint>

#include "sim/engine/core/core_alu.h"
#include "sim/engine/core/core_engine.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"
#include "sim/engine/device/memory.h"

namespace {

constexpr uint32_t WORD = 0xFFFF;

uint32_t* W() { return core_words(); }
uint32_t opcode() { return W()[CS_EXECUTE] & WORD; }
uint32_t second_word() { return W()[CS_EXECUTE_OPERAND] & WORD; }
uint32_t address() { return W()[CS_EXECUTE_ADDR] & WORD; }
int last_cycle() { return static_cast<int>(W()[CS_CYC_TOTAL]); }

uint32_t sext(uint32_t v, int bits) {
  const uint32_t sign = 1u << (bits - 1);
  v &= (sign << 1) - 1;
  return ((v ^ sign) - sign) & WORD;
}

// Register fields.
constexpr std::array<int, 8> hhh_regs = {CORE_X0, CORE_Y0, CORE_X1, CORE_Y1,
                                         CORE_A,  CORE_B,  CORE_A0, CORE_B0};
constexpr std::array<int, 4> dd_regs = {CORE_X0, CORE_Y0, CORE_X1, CORE_Y1};

// The 5-bit register field: the upper half of the register code table.
int reg5(uint32_t field) {
  const int r = move_reg_of_code(0x20 | (field & 0x1F));
  return r >= 0 ? r : -1;
}

int dest_acc(uint32_t w) { return (w & 8) ? CORE_B : CORE_A; }
int other_acc(uint32_t w) { return (w & 8) ? CORE_A : CORE_B; }

// A register's value as a move source on a bus (accumulators limited,
// and scaled on the X data bus; ssh pops).
uint32_t source_on(int reg, int bus) {
  if (reg < 0) return 0;
  core_mark_read(reg);
  core_reg_to_bus(reg, bus);
  return W()[bus] & WORD;
}
// Register transfers go over the global data bus, memory moves over xdb.
uint32_t source(int reg) { return source_on(reg, CS_GDB); }
uint32_t source_x(int reg) { return source_on(reg, CS_XDB); }

void run_alu(uint32_t w) {
  alu_decode_operands(w);
  uint32_t* s = W();
  s[CS_ALU_COMMIT] = 1;
  alu_dispatch();
  s[CS_ALU_COMMIT] = 2;
  alu_dispatch();
}

// An X move with one register: a read loads it, a write stores it.
void x_move(bool read, int reg, uint32_t value, uint32_t ea, int cycle, uint32_t extra = 0) {
  if (read)
    core_plan_access(ACC_READ | extra, cycle, ea, reg, 0);
  else
    core_plan_access(ACC_WRITE | extra, cycle, ea, -1, value);
}

// Change of flow: the next opcode is fetched from the target.
void jump(uint32_t target, bool push, uint32_t return_address) {
  uint32_t* w = W();
  if (push) {
    if (w[CS_IRQ_SEQ_STEP] == 2) {
      irq_enter_long();
      if (w[CS_PENDING_ACK]) {
        w[CS_PENDING_ACK] = 0;
        ack_taken_interrupt();
      }
    } else {
      w[CS_SCRATCH] = return_address & WORD;
      ss_push(CS_SCRATCH, CORE_SR);
    }
  }
  w[CS_NEXT_FETCH] = 1;
  w[CS_NEXT_TARGET] = target & WORD;
  w[CS_FLOW_TAKEN] = 1;
  cur_state->jump_flag = 1;
}

bool condition(uint32_t cc) {
  const bool c = core_test_condition(cc & 15) != 0;
  W()[CS_COND_TRUE] = c ? 1 : 0;
  return c;
}

agu_mode mm_mode(uint32_t mm) {
  constexpr std::array<agu_mode, 4> modes = {AGU_NONE, AGU_INC, AGU_DEC, AGU_ADD_N};
  return modes[mm & 3];
}

// --- Parallel-move forms ----------------------------------------------------

void ex_alu_x_move(uint32_t w) {
  const bool read = w & 0x100;
  const int reg = hhh_regs[(w >> 9) & 7];
  const uint32_t value = read ? 0 : source_x(reg);
  run_alu(w);
  const uint32_t ea = agu_address((w >> 12) & 3, (w & 0x4000) ? AGU_ADD_N : AGU_INC);
  x_move(read, reg, value, ea, last_cycle());
}

void ex_alu_two_reads(uint32_t w) {
  const int other = other_acc(w);
  const std::array<int, 8> r1 = {other, CORE_Y0, CORE_X1, CORE_Y1, CORE_X0, CORE_Y0, other, CORE_Y1};
  const std::array<int, 8> r2 = {CORE_X0, CORE_X0, CORE_X0, CORE_X0, CORE_X1, CORE_X1, CORE_Y0, CORE_X1};
  const uint32_t sel = (w >> 8) & 7;
  run_alu(w);
  const uint32_t ea1 = agu_address((w >> 5) & 3, (w & 0x1000) ? AGU_ADD_N : AGU_INC);
  const uint32_t ea2 = agu2_address((w & 0x800) != 0);
  core_plan_access(ACC_READ, last_cycle(), ea1, r1[sel], 0);
  core_plan_access(ACC_READ | ACC_SECOND, last_cycle(), ea2, r2[sel], 0);
}

void ex_alu_acc_address(uint32_t w) {
  const uint32_t ea = W()[(w & 8) ? CORE_A1 : CORE_B1] & WORD;
  const bool read = w & 0x100;
  const int reg = hhh_regs[(w >> 9) & 7];
  const uint32_t value = read ? 0 : source_x(reg);
  run_alu(w);
  x_move(read, reg, value, ea, last_cycle());
}

void ex_alu_transfer(uint32_t w) {
  constexpr int O = -3;  // the other accumulator
  constexpr std::array<int, 16> src = {CORE_X0, CORE_Y0, CORE_X1, CORE_Y1, CORE_A, CORE_B, CORE_A0, CORE_B0,
                                       CORE_B,  CORE_A,  -1,      -1,      CORE_A, CORE_B, CORE_A0, CORE_B0};
  constexpr std::array<int, 16> dst = {O, O, O, O, CORE_X0, CORE_Y0, CORE_X0, CORE_Y0,
                                       O, O, -1, -1, CORE_X1, CORE_Y1, CORE_X1, CORE_Y1};
  const uint32_t sel = (w >> 8) & 15;
  int d = dst[sel];
  if (d == O) d = other_acc(w);
  const uint32_t value = src[sel] >= 0 ? source_x(src[sel]) : 0;
  run_alu(w);
  if (src[sel] >= 0 && d >= 0) core_plan_transfer(d, value);
}

void ex_alu_update(uint32_t w) {
  run_alu(w);
  agu_address((w >> 8) & 3, (w & 0x400) ? AGU_ADD_N : AGU_DEC);
}

void ex_lms(uint32_t w) {
  const int other = other_acc(w);
  const int reg = dd_regs[(w >> 4) & 3];
  const uint32_t out = source_x(other);
  const uint32_t in = source(reg);
  run_alu(w);
  const uint32_t ea = agu_address((w >> 6) & 3, AGU_ADD_N);
  core_plan_access(ACC_WRITE, last_cycle(), ea, -1, out);
  core_plan_transfer(other, in);
}

// --- Moves --------------------------------------------------------------------

void ex_move_acc_address(uint32_t w) {
  const uint32_t ea = W()[(w & 8) ? CORE_A1 : CORE_B1] & WORD;
  const bool read = w & 0x400;
  const int reg = reg5(w >> 5);
  x_move(read, reg, read ? 0 : source_x(reg), ea, last_cycle());
}

void ex_move_long(uint32_t w) {
  const int reg = reg5(w >> 5);
  if ((w & 0x400) && (w & 8)) {
    core_plan_transfer(reg, second_word());
    return;
  }
  const bool read = w & 0x400;
  x_move(read, reg, read ? 0 : source_x(reg), second_word(), last_cycle());
}

void ex_move_indexed(uint32_t w) {
  const bool read = w & 0x400;
  const int reg = reg5(w >> 5);
  const uint32_t value = read ? 0 : source_x(reg);
  const uint32_t ea = agu_address(w & 3, (w & 8) ? AGU_PREDEC : AGU_INDEXED);
  x_move(read, reg, value, ea, last_cycle());
}

void ex_move_address(uint32_t w) {
  const bool read = w & 0x400;
  const int reg = reg5(w >> 5);
  const uint32_t value = read ? 0 : source_x(reg);
  const uint32_t ea = agu_address(w & 3, mm_mode(w >> 2));
  x_move(read, reg, value, ea, last_cycle());
}

void ex_move_reg(uint32_t w) {
  const int src = reg5(w >> 5);
  const int dst = reg5(w);
  const uint32_t value = source(src);
  if (dst >= 0) core_plan_transfer(dst, value);
}

void ex_tfr3(uint32_t w) {
  const int from = dd_regs[(w >> 4) & 3];
  const bool read = w & 0x100;
  const int reg = hhh_regs[w & 7];
  const uint32_t value = source(from);
  const uint32_t out = read ? 0 : source_x(reg);
  const uint32_t ea = agu_address((w >> 6) & 3, (w & 0x200) ? AGU_ADD_N : AGU_INC);
  x_move(read, reg, out, ea, last_cycle());
  core_plan_transfer(dest_acc(w), value);
}

void ex_move_short_imm(uint32_t w) {
  core_plan_transfer(dd_regs[(w >> 8) & 3], W()[CS_EX_SHORT_IMM]);
}

// andi / ori on omr, ccr or mr; the decoder placed the byte.
void ex_logic_imm(uint32_t w) {
  const int reg = (w & 0x400) && !(w & 0x200) ? CORE_OMR : CORE_SR;
  const uint32_t imm = W()[CS_EX_IMMEDIATE] & WORD;
  const uint32_t v = W()[reg] & WORD;
  core_plan_transfer(reg, (w & 0x100) ? (v | imm) : (v & imm));
}

void ex_move_short_address(uint32_t w) {
  constexpr std::array<int, 4> regs = {CORE_X0, CORE_Y0, CORE_A, CORE_B};
  const bool read = w & 0x100;
  const int reg = regs[(w >> 6) & 3];
  x_move(read, reg, read ? 0 : source_x(reg), W()[CS_EX_SHORT_IMM], last_cycle());
}

// --- The 15xx group -------------------------------------------------------------

void ex_group15(uint32_t w) {
  if ((w & 0xFFF4) == 0x1520) {
    alu_norm(w);
    return;
  }
  if ((w & 0xFFF6) == 0x1500) {
    // tfr2: the whole accumulator over both buses, limited to 32 bits.
    const int acc = dest_acc(w);
    core_mark_read(acc);
    core_reg_to_bus(acc, CS_XDB);
    const bool y = w & 1;
    core_plan_transfer(y ? CORE_Y1 : CORE_X1, W()[CS_GDB]);
    core_plan_transfer(y ? CORE_Y0 : CORE_X0, W()[CS_XDB]);
    return;
  }
  run_alu(w);
}

// --- Bit-field operations ---------------------------------------------------------

bool bit_writes() {
  const uint32_t op = (second_word() >> 8) & 0x1F;
  return op == 4 || op == 18 || op == 24;
}

void bit_field_memory(uint32_t ea) {
  core_plan_access(ACC_READ | ACC_OPERAND, 1, ea, -1, 0);
  if (bit_writes()) core_plan_access(ACC_WRITE | ACC_OPERAND, last_cycle(), ea, -1, 0);
}

void ex_bit_short(uint32_t) { bit_field_memory(W()[CS_EX_SHORT_IMM]); }
void ex_bit_indirect(uint32_t w) { bit_field_memory(W()[CORE_R0 + (w & 3)] & WORD); }

void ex_bit_reg(uint32_t w) {
  const int reg = reg5(w);
  if (reg < 0) return;
  W()[CS_OPERAND_LATCH] = source(reg);
  core_bit_test(second_word());
  if (bit_writes()) core_plan_transfer(reg, W()[CS_OPERAND_LATCH]);
}

// --- Conditional transfer -------------------------------------------------------

void ex_tcc(uint32_t w) {
  if (!condition(w >> 6)) return;
  const int acc = dest_acc(w);
  switch (((w >> 1) & 2) | (w & 1)) {
    case 0: {
      const int from = other_acc(w);
      uint32_t* s = W();
      core_store_reg_quiet(acc + 1, s[from + 1]);
      core_store_reg_quiet(acc + 2, s[from + 2]);
      core_store_reg(acc + 3, s[from + 3]);
      break;
    }
    case 2: core_plan_transfer(acc, source(CORE_X0)); break;
    case 3: core_plan_transfer(acc, source(CORE_Y0)); break;
    default: break;
  }
  const uint32_t n = (w >> 4) & 3;
  if (n) core_plan_transfer(CORE_R0 + static_cast<int>(n), W()[CORE_R0] & WORD);
}

// --- Loops and repeat -----------------------------------------------------------

uint32_t loop_last_word() {
  return (address() + 2 + second_word() - 1) & WORD;
}

uint32_t read_x_now(uint32_t ea) {
  return core_mem_read(core_resolve_space(SPACE_X, ea), ea);
}

void ex_rep_imm(uint32_t w) { repeat_arm_count(w & 0xFF); }
void ex_rep_reg(uint32_t w) { repeat_arm_count(source(reg5(w))); }
void ex_rep_mem(uint32_t w) { repeat_arm_count(read_x_now(W()[CORE_R0 + (w & 3)] & WORD)); }
void ex_do_imm(uint32_t w) { loop_start(w & 0xFF, loop_last_word(), false); }
void ex_do_reg(uint32_t w) { loop_start(source(reg5(w)), loop_last_word(), false); }
void ex_do_mem(uint32_t w) { loop_start(read_x_now(W()[CORE_R0 + (w & 3)] & WORD), loop_last_word(), false); }

void ex_rep_or_debug_cc(uint32_t w) {
  if (w & 0x100) repeat_arm_condition(w & 15);
}

void ex_break_cc(uint32_t w) {
  if (!condition(w) || !(W()[CORE_SR] & SR_LOOP)) return;
  const uint32_t after = (W()[CORE_LA] + 1) & WORD;
  loop_pop();
  jump(after, false, 0);
}

// --- Branches and jumps ---------------------------------------------------------

void ex_branch_short_cc(uint32_t w) {
  if (condition(w >> 6)) jump(address() + sext(w, 6) + 1, false, 0);
}

void ex_bra_short(uint32_t w) { jump(address() + sext(w, 8) + 1, false, 0); }
void ex_jsr_short(uint32_t w) { jump(w & 0xFF, true, address() + 1); }

void ex_branch_long_cc(uint32_t w) {
  if (condition(w)) jump(address() + second_word() + 2, !(w & 0x20), address() + 2);
}

void ex_jump_long_cc(uint32_t w) {
  if (condition(w)) jump(second_word(), !(w & 0x20), address() + 2);
}

void ex_flow_reg_cc(uint32_t w) {
  if (!condition(w)) return;
  const uint32_t r = W()[CORE_R0 + ((w >> 6) & 3)] & WORD;
  jump((w & 0x100) ? address() + r : r, !(w & 0x20), address() + 1);
}

void ex_bra_long(uint32_t w) { jump(address() + second_word() + 2, !(w & 4), address() + 2); }
void ex_jmp_long(uint32_t w) { jump(second_word(), !(w & 4), address() + 2); }

void ex_flow_reg(uint32_t w) {
  const uint32_t r = W()[CORE_R0 + (w & 3)] & WORD;
  jump((w & 8) ? address() + r : r, !(w & 4), address() + 1);
}

// The r2-offset prefix: the instruction in the second word addresses
// x:(r2+off) or p:(r2+off) in place of its own operand.
void ex_prefix(uint32_t w) {
  const uint32_t w1 = second_word();
  const uint32_t ea = (W()[CORE_R2] + sext(w, 8)) & WORD;
  if (w1 & 0x8000) {
    const bool read = w1 & 0x100;
    const int reg = hhh_regs[(w1 >> 9) & 7];
    const uint32_t value = read ? 0 : source_x(reg);
    run_alu(w1);
    x_move(read, reg, value, ea, last_cycle());
  } else if ((w1 & 0xF810) == 0x3800) {
    const bool read = w1 & 0x400;
    const int reg = reg5(w1 >> 5);
    x_move(read, reg, read ? 0 : source_x(reg), ea, last_cycle());
  } else if ((w1 & 0xFE20) == 0x0200) {
    const bool read = w1 & 0x100;
    const int reg = hhh_regs[w1 & 7];
    x_move(read, reg, read ? 0 : source_x(reg), ea, last_cycle(), ACC_PROGRAM);
  }
}

// --- Program-memory moves and lea -------------------------------------------------

void ex_move_x_p(uint32_t w) {
  const uint32_t ea1 = agu_address((w >> 6) & 3, (w & 8) ? AGU_ADD_N : AGU_INC);
  const uint32_t ea2 = agu_address(w & 3, (w & 4) ? AGU_ADD_N : AGU_INC);
  const bool x_to_p = w & 0x100;
  core_plan_access(ACC_READ | ACC_LATCH | (x_to_p ? 0u : static_cast<uint32_t>(ACC_PROGRAM)), 1, ea1, -1, 0);
  core_plan_access(ACC_WRITE | ACC_LATCH | (x_to_p ? static_cast<uint32_t>(ACC_PROGRAM) : 0u), last_cycle(), ea2, -1, 0);
}

void ex_move_p(uint32_t w) {
  const bool read = w & 0x100;
  const int reg = hhh_regs[w & 7];
  const uint32_t value = read ? 0 : source_x(reg);
  const uint32_t ea = agu_address((w >> 6) & 3, mm_mode(w >> 3));
  if (read)
    core_plan_access(ACC_READ | ACC_PROGRAM, 1, ea, reg, 0);
  else
    core_plan_access(ACC_WRITE | ACC_PROGRAM, 1, ea, -1, value);
}

void ex_movep_io(uint32_t w) {
  const uint32_t ea = agu_address((w >> 6) & 3, (w & 0x20) ? AGU_ADD_N : AGU_INC);
  const uint32_t io = 0xFFE0 | (w & 0x1F);
  const bool ea_to_io = w & 0x100;
  core_plan_access(ACC_READ | ACC_LATCH, 1, ea_to_io ? ea : io, -1, 0);
  core_plan_access(ACC_WRITE | ACC_LATCH | ACC_SECOND, last_cycle(), ea_to_io ? io : ea, -1, 0);
}

void ex_lea(uint32_t w) {
  const int n = static_cast<int>(w & 3);
  const uint32_t* s = W();
  const uint32_t r = s[CORE_R0 + n] & WORD, m = s[CORE_M0 + n] & WORD, nn = s[CORE_N0 + n] & WORD;
  uint32_t v = r;
  switch ((w >> 2) & 3) {
    case 1: v = agu_modify(r, 1, false, m, nullptr); break;
    case 2: v = agu_modify(r, 1, true, m, nullptr); break;
    case 3: v = agu_modify(r, nn, false, m, nullptr); break;
    default: return;
  }
  const int dn = static_cast<int>((w >> 4) & 3);
  core_plan_transfer(((w & 0x40) ? CORE_R0 : CORE_N0) + dn, v);
}

// --- The 00xx group ---------------------------------------------------------------

void ex_return(bool with_sr) {
  uint32_t* w = W();
  const uint32_t p = w[CORE_SP] & SP_POINTER;
  const uint32_t pc = p ? w[CS_SS_HIGH + p] : 0;
  const uint32_t sr = p ? w[CS_SS_LOW + p] : 0;
  ss_decrement();
  if (with_sr) core_store_reg(CORE_SR, sr);
  jump(pc, false, 0);
}

void ex_group00(uint32_t w) {
  switch (w & 15) {
    case 2: loop_start(0, loop_last_word(), true); break;
    case 4: agu_flags_to_sr(); break;
    case 6: ex_return(false); break;
    case 7: ex_return(true); break;
    case 9: if (W()[CORE_SR] & SR_LOOP) loop_pop(); break;
    case 10: W()[CS_HOLD] = 2; break;
    case 11: W()[CS_HOLD] = 1; break;
    default: break;  // nop, debug; traps and reset come from the flag word
  }
}

void ex_none(uint32_t) {}

struct exec_row {
  uint16_t mask;
  uint16_t value;
  uint8_t words;
  void (*run)(uint32_t w);
};

constexpr std::array<exec_row, 49> exec_table = {{
    {0x8000, 0x8000, 1, ex_alu_x_move},
    {0xE000, 0x6000, 1, ex_alu_two_reads},
    {0xF000, 0x5000, 1, ex_alu_acc_address},
    {0xF000, 0x4000, 1, ex_alu_transfer},
    {0xF816, 0x3816, 1, ex_move_acc_address},
    {0xF816, 0x3814, 2, ex_move_long},
    {0xF814, 0x3810, 1, ex_move_indexed},
    {0xF810, 0x3800, 1, ex_move_address},
    {0xF800, 0x3000, 1, ex_alu_update},
    {0xFC00, 0x2C00, 1, ex_branch_short_cc},
    {0xFC00, 0x2800, 1, ex_move_reg},
    {0xFC00, 0x2400, 1, ex_tfr3},
    {0xFC00, 0x2000, 1, ex_move_short_imm},
    {0xFC00, 0x1C00, 1, ex_logic_imm},
    {0xFA00, 0x1A00, 1, ex_logic_imm},
    {0xFE00, 0x1800, 1, ex_move_short_address},
    {0xFE00, 0x1600, 1, ex_lms},
    {0xFFF7, 0x1571, 1, ex_group15},
    {0xFFF4, 0x1520, 1, ex_group15},
    {0xFFF6, 0x1500, 1, ex_group15},
    {0xFFD0, 0x15D0, 1, ex_group15},
    {0xFF00, 0x1500, 1, ex_group15},
    {0xFF40, 0x1440, 2, ex_bit_short},
    {0xFF70, 0x1430, 2, ex_bit_indirect},
    {0xFF60, 0x1400, 2, ex_bit_reg},
    {0xFC02, 0x1000, 1, ex_tcc},
    {0xFF00, 0x0F00, 1, ex_rep_imm},
    {0xFF00, 0x0E00, 2, ex_do_imm},
    {0xFE00, 0x0C00, 1, ex_movep_io},
    {0xFF00, 0x0B00, 1, ex_bra_short},
    {0xFF00, 0x0A00, 1, ex_jsr_short},
    {0xFF10, 0x0710, 2, ex_branch_long_cc},
    {0xFE10, 0x0600, 1, ex_flow_reg_cc},
    {0xFF10, 0x0610, 2, ex_jump_long_cc},
    {0xFF00, 0x0500, 2, ex_prefix},
    {0xFFE0, 0x0420, 1, ex_rep_reg},
    {0xFFE0, 0x0400, 2, ex_do_reg},
    {0xFE30, 0x0230, 1, ex_move_x_p},
    {0xFE20, 0x0200, 1, ex_move_p},
    {0xFF80, 0x0180, 1, ex_lea},
    {0xFEF0, 0x0050, 1, ex_rep_or_debug_cc},
    {0xFFF8, 0x0138, 2, ex_bra_long},
    {0xFFF8, 0x0130, 2, ex_jmp_long},
    {0xFFF0, 0x0120, 1, ex_flow_reg},
    {0xFFF0, 0x0110, 1, ex_break_cc},
    {0xFFE0, 0x00E0, 1, ex_rep_mem},
    {0xFFE0, 0x00C0, 2, ex_do_mem},
    {0xFFF0, 0x0000, 1, ex_group00},
    {0x0000, 0x0000, 1, ex_none},
}};

// The executor row of each opcode word plus one, searched the first time
// the word is executed; 0 until then. The table is constant, so an entry
// never goes stale.
static_assert(exec_table.size() < 0xFF);
std::array<uint8_t, 0x10000> exec_row_cache{};

const exec_row& exec_row_of(uint32_t w) {
  // Devices on several threads may fill an entry: each stores the same row.
  std::atomic_ref<uint8_t> entry(exec_row_cache[w & WORD]);
  uint8_t cached = entry.load(std::memory_order_relaxed);
  if (cached == 0) {
    std::size_t row = exec_table.size() - 1;
    for (std::size_t i = 0; i < exec_table.size(); ++i) {
      if ((w & exec_table[i].mask) == exec_table[i].value) {
        row = i;
        break;
      }
    }
    cached = static_cast<uint8_t>(row + 1);
    entry.store(cached, std::memory_order_relaxed);
  }
  return exec_table[cached - 1u];
}

}  // namespace

int core_instruction_words(uint16_t word) {
  if (word == 0x0002) return 2;  // do forever
  return exec_row_of(word).words;
}

core_handler core_handler_of(uint16_t word) { return exec_row_of(word).run; }

void core_execute() {
  uint32_t* w = W();
  const uint32_t flags = w[CS_EX_FLAGS];
  w[CS_COND_TRUE] = 1;
  if (flags & IFLAG_RESET) reset_peripherals(2, -1);
  if (flags & IFLAG_TRAP) {
    if (flags & IFLAG_ILLEGAL)
      w[CS_PEND_ILLEGAL] = 1;
    else
      w[CS_PEND_SWI] = 1;
    raise_interrupt_request();
  }
  if (flags & IFLAG_ILLEGAL) return;
  const uint32_t op = opcode();
  exec_row_of(op).run(op);
}

void core_execute_with(core_handler run) {
  uint32_t* w = W();
  const uint32_t flags = w[CS_EX_FLAGS];
  if (flags & (IFLAG_RESET | IFLAG_TRAP | IFLAG_ILLEGAL)) {
    core_execute();
    return;
  }
  w[CS_COND_TRUE] = 1;
  run(opcode());
}
