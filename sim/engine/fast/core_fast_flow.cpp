// The straight-line handlers of the changes of flow (core_fast.h): short
// branches and jsr, the conditional branches and jumps, jumps by a
// register, rts and rti, brkcc and enddo, and tcc. Each mirrors its
// executor-table function. A push or pop that would reach an edge of the stack (the
// stack-error trap, an underflow) is left to the cycle-by-cycle path.
#include <array>
#include <cstdint>

#include "sim/engine/fast/core_fast.h"
#include "sim/engine/fast/core_fast_step.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"

namespace {

constexpr uint32_t WORD = 0xFFFF;

uint32_t sext(uint32_t v, int bits) {
  const uint32_t sign = 1u << (bits - 1);
  v &= (sign << 1) - 1;
  return ((v ^ sign) - sign) & WORD;
}

// The instruction's own address (a repeat pass keeps its first pass's).
uint32_t here(const fast_step& s) {
  return (s.repeat_pass ? s.w[CS_DECODE_ADDR] : s.w[CS_PREFETCH_ADDR]) & WORD;
}

// The stack pointer away from its edges: a push sets no error, a pop no
// underflow, and no error is standing.
bool stack_room(const uint32_t* w, bool push) {
  const uint32_t sp = w[CORE_SP];
  if (sp & (SP_ERROR | SP_UNDERFLOW)) return false;
  const uint32_t p = sp & SP_POINTER;
  return push ? p < SP_POINTER : p > 0;
}

// The condition, tested before anything changes; the latch the executor
// sets is written after fast_begin.
bool test(uint32_t cc) { return core_test_condition(cc & 15) != 0; }

// After fast_begin: the next opcode from `target`, after a push of
// `return_address` and sr when `push`.
void jump(fast_step& s, uint32_t target, bool push, uint32_t return_address) {
  uint32_t* w = s.w;
  if (push) {
    w[CS_SCRATCH] = return_address & WORD;
    ss_push(CS_SCRATCH, CORE_SR);
  }
  w[CS_NEXT_FETCH] = 1;
  w[CS_NEXT_TARGET] = target & WORD;
  w[CS_FLOW_TAKEN] = 1;
  s.st->jump_flag = 1;
}

// A change of flow, when `taken`, to `target` (pushing `return_address`
// when `push`): both checked before anything changes.
bool flow(fast_step& s, bool taken, uint32_t target, bool push, uint32_t return_address) {
  if (taken && (!fast_program_plain(s, target) || (push && !stack_room(s.w, true)))) return false;
  fast_begin(s);
  s.w[CS_COND_TRUE] = taken ? 1 : 0;
  if (taken) jump(s, target, push, return_address);
  return true;
}

bool bra_short(fast_step& s) {
  return flow(s, true, here(s) + sext(s.opcode, 8) + 1, false, 0);
}

bool jsr_short(fast_step& s) { return flow(s, true, s.opcode & 0xFF, true, here(s) + 1); }

bool branch_short_cc(fast_step& s) {
  const uint32_t op = s.opcode;
  return flow(s, test(op >> 6), here(s) + sext(op, 6) + 1, false, 0);
}

// bcc/bscc and jcc/jscc with a second-word target.
bool branch_long_cc(fast_step& s) {
  const uint32_t op = s.opcode;
  return flow(s, test(op), here(s) + fast_second_word(s) + 2, !(op & 0x20), here(s) + 2);
}

bool jump_long_cc(fast_step& s) {
  const uint32_t op = s.opcode;
  return flow(s, test(op), fast_second_word(s), !(op & 0x20), here(s) + 2);
}

// jcc/jscc/bcc/bscc by an address register.
bool flow_reg_cc(fast_step& s) {
  const uint32_t op = s.opcode;
  const uint32_t r = s.w[CORE_R0 + ((op >> 6) & 3)] & WORD;
  return flow(s, test(op), (op & 0x100) ? here(s) + r : r, !(op & 0x20), here(s) + 1);
}

// jmp/jsr/bra/bsr by an address register.
bool flow_reg(fast_step& s) {
  const uint32_t op = s.opcode;
  const uint32_t r = s.w[CORE_R0 + (op & 3)] & WORD;
  return flow(s, true, (op & 8) ? here(s) + r : r, !(op & 4), here(s) + 1);
}

// rts and rti: the return address (and sr) off the stack.
bool return_from(fast_step& s) {
  uint32_t* w = s.w;
  if (!stack_room(w, false)) return false;
  const uint32_t p = w[CORE_SP] & SP_POINTER;
  const uint32_t pc = w[CS_SS_HIGH + p] & WORD;
  const uint32_t sr = w[CS_SS_LOW + p];
  if (!fast_program_plain(s, pc)) return false;
  fast_begin(s);
  ss_decrement();
  if (s.opcode & 1) core_store_reg(CORE_SR, sr);
  jump(s, pc, false, 0);
  return true;
}

// The loop's two stack entries there to pop, no error standing.
bool loop_on_stack(const uint32_t* w) {
  return (w[CORE_SR] & SR_LOOP) && !(w[CORE_SP] & (SP_ERROR | SP_UNDERFLOW)) && (w[CORE_SP] & SP_POINTER) >= 2;
}

// brkcc: out of the loop, to the word after its last.
bool break_cc(fast_step& s) {
  uint32_t* w = s.w;
  const bool holds = test(s.opcode);
  const bool taken = holds && (w[CORE_SR] & SR_LOOP);
  const uint32_t after = (w[CORE_LA] + 1) & WORD;
  if (taken && (!loop_on_stack(w) || !fast_program_plain(s, after))) return false;
  fast_begin(s);
  w[CS_COND_TRUE] = holds ? 1 : 0;
  if (!taken) return true;
  loop_pop();
  jump(s, after, false, 0);
  return true;
}

// enddo: the loop off the stack; on in sequence.
bool end_do(fast_step& s) {
  if ((s.w[CORE_SR] & SR_LOOP) && !loop_on_stack(s.w)) return false;
  fast_begin(s);
  if (s.w[CORE_SR] & SR_LOOP) loop_pop();
  return true;
}

// tcc: the other accumulator, x0 or y0 into the accumulator and r0 into
// another address register, when the condition holds.
bool tcc(fast_step& s) {
  const uint32_t op = s.opcode;
  const bool taken = test(op >> 6);
  fast_begin(s);
  uint32_t* w = s.w;
  w[CS_COND_TRUE] = taken ? 1 : 0;
  if (!taken) return true;
  const int acc = (op & 8) ? CORE_B : CORE_A;
  switch (((op >> 1) & 2) | (op & 1)) {
    case 0: {
      const int from = (op & 8) ? CORE_A : CORE_B;
      core_store_reg_quiet(acc + 1, w[from + 1]);
      core_store_reg_quiet(acc + 2, w[from + 2]);
      core_store_reg(acc + 3, w[from + 3]);
      break;
    }
    case 2: fast_transfer(s, acc, fast_source(CORE_X0, CS_GDB)); break;
    case 3: fast_transfer(s, acc, fast_source(CORE_Y0, CS_GDB)); break;
    default: break;
  }
  const uint32_t n = (op >> 4) & 3;
  if (n) fast_transfer(s, CORE_R0 + static_cast<int>(n), w[CORE_R0] & WORD);
  return true;
}

struct flow_row {
  uint16_t mask;
  uint16_t value;
  uint8_t words;
  fast_handler run;
};
// The executor table's rows of these classes, with the rows before them
// that would match first (the moves' and the data-ALU rows come earlier).
constexpr std::array<flow_row, 14> flow_rows = {{
    {0xFC00, 0x2C00, 1, branch_short_cc},
    {0xFC02, 0x1000, 1, tcc},
    {0xFF00, 0x0B00, 1, bra_short},
    {0xFF00, 0x0A00, 1, jsr_short},
    {0xFF10, 0x0710, 2, branch_long_cc},
    {0xFE10, 0x0600, 1, flow_reg_cc},
    {0xFF10, 0x0610, 2, jump_long_cc},
    {0xFFF8, 0x0138, 2, nullptr},  // bra/bsr long: the moves'
    {0xFFF8, 0x0130, 2, nullptr},  // jmp/jsr long: the moves'
    {0xFFF0, 0x0120, 1, flow_reg},
    {0xFFF0, 0x0110, 1, break_cc},
    {0xFFFF, 0x0009, 1, end_do},
    {0xFFFF, 0x0006, 1, return_from},  // rts
    {0xFFFF, 0x0007, 1, return_from},  // rti
}};

}  // namespace

fast_handler core_fast_flow_handler(uint16_t word, const decoded_word& d) {
  for (const flow_row& row : flow_rows) {
    if ((word & row.mask) != row.value) continue;
    return d.words == row.words ? row.run : nullptr;
  }
  return nullptr;
}
