// Repeat and DO loops, the system stack's error trap, interrupts from the
// core's own sources and pins, WAIT, STOP and the reset pin and
// instruction, all through the clocked core.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "core_fixture.h"
#include "sim/engine/core/core_state.h"

namespace {

constexpr uint32_t NOP = 0x0000;
constexpr uint32_t INC_A = 0x4A22;  // inc a (register transfer field: none)
constexpr uint32_t INC_B = 0x4A2A;  // inc b
constexpr uint32_t ASL_A = 0x4A31;  // asl a
constexpr uint32_t RTI = 0x0007;

class CoreLoops : public core_fixture {};
class CoreIrq : public core_fixture {
 protected:
  // Vector `v` jumps to `handler`, which runs `op` and returns.
  void vector_to(uint32_t v, uint32_t handler, uint32_t op) {
    program(v, {0x0A00 | handler});  // jsr <handler
    program(handler, {op, RTI});
  }
};

// ---------------------------------------------------------------------------
// Repeat.

TEST_F(CoreLoops, CountedRepeatRunsTheNextInstructionLcTimes) {
  boot(0x0010);
  program(0x0010, {0x0F03, INC_A, NOP});  // rep #3; inc a; nop
  steps(1);
  EXPECT_EQ(reg(CORE_LC), 3u);
  EXPECT_EQ(reg(CORE_PC), 0x0011u);
  // Passes before the last report the repeat end, the last a plain end;
  // pc stays on the repeated instruction until its last pass.
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(step(), 2);
    EXPECT_TRUE(cur_inst->flags & DEV_INSTR_END2);
    EXPECT_EQ(reg(CORE_PC), 0x0011u);
  }
  EXPECT_EQ(step(), 2);
  EXPECT_TRUE(cur_inst->flags & DEV_INSTR_END);
  EXPECT_EQ(reg(CORE_A0), 3u);
  EXPECT_EQ(reg(CORE_LC), 0xFFFFu);  // the saved count is back
  EXPECT_EQ(cur_inst->instructions, 4u);
  EXPECT_EQ(reg(CORE_PC), 0x0012u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0013u);
  EXPECT_EQ(reg(CORE_A0), 3u);
}

// The passes of a repeated two-word instruction keep its second word: the
// program goes on right after that word (an operand fetched again each
// pass would skip the words after it), and the trace entry keeps it.
TEST_F(CoreLoops, RepeatOfATwoWordInstructionGoesOnAfterItsSecondWord) {
  struct two_word {
    const char* name;
    uint32_t first, second, x0;
  };
  constexpr two_word forms[] = {
      {"move #>$1234,x0", 0x3C1C, 0x1234, 0x1234},
      {"move x:>$1234,x0", 0x3C14, 0x1234, 0x0055},
      {"move x:(r2+$12),x0", 0x0512, 0x3C00, 0x0077},
      {"bfchg #$1,x0", 0x1480, 0x3201, 0x0001},  // three changes
  };
  for (const two_word& f : forms) {
    SCOPED_TRACE(f.name);
    boot(0x0010);
    set(CORE_R2, 0x0012);
    xmem(0x1234, 0x0055);
    xmem(0x0024, 0x0077);
    program(0x0010, {0x0F03, f.first, f.second, INC_A, INC_B});  // rep #3
    steps(1);
    EXPECT_EQ(reg(CORE_PC), 0x0011u);
    const uint32_t at = cur_state->pc_trace_index;
    for (uint32_t pass = 1; pass <= 3; ++pass) {
      SCOPED_TRACE(::testing::Message() << "pass " << pass);
      EXPECT_GT(step(), 0);
      EXPECT_EQ(reg(CORE_PC), pass < 3 ? 0x0011u : 0x0013u);
    }
    EXPECT_EQ(reg(CORE_X0), f.x0);
    EXPECT_EQ(reg(CORE_LC), 0xFFFFu);
    EXPECT_EQ(cur_state->pc_trace[(at + 1) % 32].pc, 0x0011u);
    EXPECT_EQ(cur_state->pc_trace[(at + 1) % 32].second, f.second);
    steps(2);
    EXPECT_EQ(reg(CORE_PC), 0x0015u);
    EXPECT_EQ(reg(CORE_A0), 1u);
    EXPECT_EQ(reg(CORE_B0), 1u);
  }
}

TEST_F(CoreLoops, RepeatsAndDoLoops) {
  run_cases_at(0x0010, {
      {.name = "repeat of zero runs once",
       .code = {{0x0010, {0x0F00, INC_A, NOP}}},  // rep #0; inc a
       .checks = {{2, {{CORE_A0, 1}, {CORE_PC, 0x0012}}}}},
      {.name = "repeat count from a register",
       .regs = {{CORE_X0, 2}},
       .code = {{0x0010, {0x0420, INC_B, NOP}}},  // rep x0; inc b
       .checks = {{3, {{CORE_B0, 2}}}}},
      {.name = "writing pc ends a repeat",
       .code = {{0x0010, {0x0F05, INC_A}},  // rep #5; inc a
                {0x0020, {INC_B, INC_B}}},
       .checks = {{3, {{CORE_A0, 2}}},
                  {.ends = 2,
                   .regs = {{CORE_A0, 2}, {CORE_B0, 2}, {CORE_PC, 0x0022}},
                   .set_first = {{CORE_PC, 0x0020}}}}},
      {.name = "do loop runs its body and restores the loop registers",
       .code = {{0x0010, {0x0E03, 0x0001, INC_A, NOP}}},  // do #3,$13; inc a; nop
       .checks = {{1,
                   {{CORE_LC, 3}, {CORE_LA, 0x0012}, {CORE_SP, 2},
                    {CS_SS_HIGH + 2, 0x0012},  // the loop start
                    {CS_SS_HIGH + 1, 0xFFFF},  // the old la
                    {CORE_SR, SR_LOOP, SR_LOOP}}},
                  {3,
                   {{CORE_A0, 3}, {CORE_SP, 0}, {CORE_LA, 0xFFFF}, {CORE_LC, 0xFFFF},
                    {CORE_SR, 0, SR_LOOP | SR_FOREVER}, {CORE_PC, 0x0013}}},
                  {1, {{CORE_PC, 0x0014}, {CORE_A0, 3}}}}},
      {.name = "nested loops",
       .code = {{0x0010,
                 {
                     0x0E02, 0x0004,  // do #2,$16
                     0x0E03, 0x0001,  // do #3,$15
                     INC_A,           // $14
                     INC_B,           // $15
                     NOP,             // $16
                 }}},
       .checks = {{11, {{CORE_A0, 6}, {CORE_B0, 2}, {CORE_SP, 0}, {CORE_SR, 0, SR_LOOP},
                        {CORE_PC, 0x0016}}},
                  {1, {{CORE_PC, 0x0017}}}}},
      {.name = "loop count of zero makes one pass",
       .code = {{0x0010, {0x0E00, 0x0001, INC_A, INC_B}}},  // do #0,$13; inc a; inc b
       .checks = {{3, {{CORE_A0, 1}, {CORE_B0, 1}, {CORE_SP, 0}}}}},
      {.name = "forever loop never counts",
       .code = {{0x0010, {0x0002, 0x0001, INC_A, INC_B}}},  // do forever,$13; inc a
       .checks = {{1, {{CORE_SR, SR_LOOP | SR_FOREVER, SR_LOOP | SR_FOREVER}}},
                  {20, {{CORE_A0, 20}, {CORE_B0, 0}, {CORE_LC, 0xFFFF}, {CORE_PC, 0x0012}}}}},
      {.name = "enddo leaves the loop",
       .code = {{0x0010, {0x0E05, 0x0002, INC_A, 0x0009, INC_B}}},  // do #5; inc a; enddo; inc b
       .checks = {{4, {{CORE_SP, 0}, {CORE_SR, 0, SR_LOOP}}},
                  {1, {{CORE_A0, 1}, {CORE_B0, 1}}}}},
  });
}

// ---------------------------------------------------------------------------
// The system stack.

TEST_F(CoreIrq, StackErrorAndInterrupts) {
  run_cases_at(0x0010, {
      {.name = "sixteenth push sets the stack error and raises vector four once",
       .code = {{0x0004, {0x0A60}},  // jsr <$60
                {0x0060, {INC_B, RTI}},
                {0x0010, std::vector<uint32_t>(17, 0x2818)}},  // move x0,ssh
       .checks = {{15, {{CORE_SP, 15}, {CS_PEND_STACK, 0}}},
                  {1, {{CORE_SP, SP_ERROR}, {CS_PEND_STACK, 1}}},
                  // jsr at the vector, inc b, rti
                  {3, {{CORE_B0, 1}, {CS_PEND_STACK, 0}}},
                  // the 17th push and the next word
                  {2, {{CORE_SP, SP_ERROR, SP_ERROR}, {CORE_B0, 1}, {CS_PEND_STACK, 0}}}}},
      {.name = "software interrupt is taken under mask three",
       .code = {{0x0008, {0x0A60}},  // jsr <$60
                {0x0060, {INC_B, RTI}},
                {0x0010, {0x0005, NOP}}},  // swi; nop
       .checks = {{0, {{CORE_SR, 0x300, 0x300}}},
                  // swi: taken at its end, the vector runs next
                  {1, {{CORE_PC, 0x0008}}},
                  // the jsr at the vector
                  {1, {{CORE_PC, 0x0060}, {CORE_SP, 1}, {CS_SS_HIGH + 1, 0x0011},
                       {CS_PEND_SWI, 0}}},
                  // inc b, rti
                  {2, {{CORE_B0, 1}, {CORE_SP, 0}, {CORE_PC, 0x0011}}},
                  {1, {{CORE_PC, 0x0012}}}}},
      {.name = "mask three blocks IRQA until it is lowered",
       .regs = {{CORE_IPR, 0x0002}},  // IRQA level 2, level-sensitive
       .code = {{0x000A, {0x0A60}},   // jsr <$60
                {0x0060, {INC_B, RTI}},
                {0x0010, {NOP, NOP, NOP, 0x1AFC, NOP, NOP}}},  // ...; andi #$fc,mr
       // the andi
       .checks = {{.ends = 3, .regs = {{CORE_PC, 0x0013}, {CS_PEND_IRQA, 1}}, .pins_low = CTL_IRQA},
                  // andi: taken at its end
                  {1, {{CORE_PC, 0x000A}}},
                  // the jsr at the vector; the mask takes the level
                  {1, {{CORE_PC, 0x0060}, {CORE_SR, 2 << 8, 3 << 8}, {CS_SS_HIGH + 1, 0x0014}}}}},
      {.name = "IRQA before IRQB at the same level",
       .regs = {{CORE_IPR, 0x002D},  // IRQA and IRQB at level 1, both edge-triggered
                {CORE_SR, 0x0000}},
       .code = {{0x000A, {0x0A60}},  // jsr <$60
                {0x0060, {INC_A, RTI}},
                {0x000C, {0x0A70}},  // jsr <$70
                {0x0070, {ASL_A, RTI}},
                {0x0010, std::vector<uint32_t>(16, NOP)}},
       // the pins are seen high; then nop, jsr, inc a, rti, jsr, asl a, rti,
       // nop. IRQA first: (0 + 1) * 2; IRQB first would give 0 * 2 + 1.
       .checks = {{1, {}},
                  {.ends = 8,
                   .regs = {{CORE_A0, 2}, {CS_PEND_IRQA, 0}, {CS_PEND_IRQB, 0}, {CORE_SP, 0}},
                   .pins_low = CTL_IRQA | CTL_IRQB}}},
      {.name = "fast interrupt runs the two vector words and returns",
       .regs = {{CORE_IPR, 0x0005},  // IRQA level 1, edge-triggered
                {CORE_SR, 0x0000}},
       .code = {{0x000A, {INC_A, INC_B}},  // two instructions at the vector
                {0x0010, std::vector<uint32_t>(16, NOP)}},
       .checks = {{1, {}},
                  // nop at $11; the interrupt is taken at its end
                  {.ends = 1, .regs = {{CORE_PC, 0x000A}}, .pins_low = CTL_IRQA},
                  // inc a, the first vector word
                  {1, {{CORE_PC, 0x000B}}},
                  // inc b, the second: nothing pushed, back where the nop at
                  // $12 was dropped
                  {1, {{CORE_A0, 1}, {CORE_B0, 1}, {CORE_SP, 0}, {CS_PEND_IRQA, 0},
                       {CORE_PC, 0x0012}}},
                  {1, {{CORE_PC, 0x0013}}}}},
      {.name = "two-word fast interrupt returns after its one instruction",
       .regs = {{CORE_IPR, 0x0005}, {CORE_SR, 0x0000}},
       .code = {{0x000A, {0x3C9C, 0x1234, INC_B}},  // move #>$1234,a at the vector
                {0x0010, std::vector<uint32_t>(16, NOP)}},
       .checks = {{1, {}},
                  // nop, then the vector's move
                  {.ends = 2,
                   .regs = {{CORE_A1, 0x1234}, {CS_PEND_IRQA, 0}, {CORE_PC, 0x0012}},
                   .pins_low = CTL_IRQA},
                  {1, {{CORE_PC, 0x0013}, {CORE_B0, 0}}}}},
      {.name = "reset instruction resets the peripherals",
       .regs = {{CORE_IPR, 0x0005}},
       .code = {{0x0010, {0x0008, 0x2005}}},  // reset; move #<5,x0
       .checks = {{1, {{CORE_IPR, 0}}},
                  {1, {{CORE_X0, 5}}}}},  // the program goes on
  });
}

// The timer's overflow request against IRQA: the higher level first, the
// core's own source on a tie. a ends as 1 when the timer went first
// (0 * 2 + 1), as 2 when IRQA did ((0 + 1) * 2).
class CoreIrqPeripheral : public CoreIrq, public ::testing::WithParamInterface<std::pair<uint32_t, uint32_t>> {};

TEST_P(CoreIrqPeripheral, LevelsDecideAndTheCoreWinsTies) {
  boot(0x0010);
  vector_to(0x000A, 0x0060, INC_A);
  vector_to(0x0020, 0x0070, ASL_A);  // timer overflow
  for (uint32_t a = 0x0010; a < 0x0020; ++a) program(a, {NOP});
  set(CORE_IPR, GetParam().first);
  set(CORE_SR, 0x0000);
  int timer = -1;
  for (int row = 0; row < cur_type->periph_count; ++row)
    if (std::string(cur_type->periphs[row].name) == "timer") timer = row;
  ASSERT_GT(timer, 0);
  steps(1);
  pin_low(CTL_IRQA);
  periph_words(timer)[11] = 1;  // the overflow request
  steps(8);
  EXPECT_EQ(reg(CORE_A0), GetParam().second);
  EXPECT_EQ(periph_words(timer)[11], 0u);  // acknowledged
}

INSTANTIATE_TEST_SUITE_P(Order, CoreIrqPeripheral,
                         ::testing::Values(std::make_pair(0xC006u, 1u),    // timer 3, IRQA 2
                                           std::make_pair(0x8006u, 2u)));  // both 2

// A source without a level keeps no request for the arbitration to look
// at at every instruction end; the store that gives it a level raises one,
// so a request latched (edge) or held (level) meanwhile is taken then.
TEST_F(CoreIrq, ADisabledSourceIsTakenOnceALevelIsGiven) {
  struct source_case {
    const char* type;
    int level_reg;
    uint32_t off, on;
    uint32_t pin;
    uint32_t vector;
    int pending;
  };
  constexpr source_case cases[] = {
      {"73521", CORE_IPR, 0x0004, 0x0005, CTL_IRQA, 0x000A, CS_PEND_IRQA},  // edge, latched
      {"73521", CORE_IPR, 0x0000, 0x0002, CTL_IRQA, 0x000A, CS_PEND_IRQA},  // level, held low
      {"73583", CORE_IPR2, 0x0000, 0x0010, CTL_IRQC, 0x000E, CS_PEND_IRQC},  // level, low after reset
  };
  for (const source_case& c : cases) {
    SCOPED_TRACE(c.type + std::string(c.level_reg == CORE_IPR ? " ipr " : " ipr2 ") + std::to_string(c.on));
    boot(0x0010, c.type);
    vector_to(c.vector, 0x0060, INC_A);
    for (uint32_t a = 0x0010; a < 0x0040; ++a) program(a, {NOP});
    set(c.level_reg, c.off);
    set(CORE_SR, 0x0000);
    steps(1);
    pin_low(c.pin);
    steps(3);
    EXPECT_EQ(reg(c.pending), 1u);
    EXPECT_EQ(cur_inst->irq_request, 0u);  // nothing enabled is pending
    EXPECT_EQ(reg(CORE_A0), 0u);
    set(c.level_reg, c.on);
    steps(5);
    EXPECT_GE(reg(CORE_A0), 1u);
  }
}

TEST_F(CoreIrq, WaitHoldsUntilAnInterrupt) {
  boot(0x0010);
  vector_to(0x000A, 0x0060, INC_A);
  set(CORE_IPR, 0x0005);
  set(CORE_SR, 0x0000);
  program(0x0010, {0x000B, 0x2005});  // wait; move #<5,x0
  clock(20);
  EXPECT_EQ(reg(CORE_PC), 0x0011u);  // the instruction after the wait
  EXPECT_EQ(cur_inst->device_words[DW_CORE_STATE_CODE], CORE_STATE_SECOND_HALF);
  EXPECT_EQ(cur_inst->instructions, 0u);
  EXPECT_TRUE(cur_inst->flags & DEV_INSTR_END);  // a run can stop inside WAIT
  pin_low(CTL_IRQA);
  clock(40);
  EXPECT_EQ(reg(CORE_A0), 1u);
  EXPECT_EQ(reg(CORE_X0), 5u);
}

TEST_F(CoreIrq, StopHoldsUntilIrqaIsLow) {
  boot(0x0010);
  program(0x0010, {0x000A, 0x2005});  // stop; move #<5,x0
  clock(12);
  EXPECT_EQ(cur_inst->device_words[DW_STOP_LATCH], 1u);
  EXPECT_EQ(reg(CORE_X0), 0u);
  pin_low(CTL_IRQA);
  clock(6);
  EXPECT_EQ(cur_inst->device_words[DW_STOP_LATCH], 0u);
  EXPECT_EQ(reg(CORE_X0), 5u);
}

TEST_F(CoreIrq, ResetPinEndsAStop) {
  boot(0x0010);
  program(0x0010, {0x000A});  // stop
  clock(6);
  EXPECT_EQ(cur_inst->device_words[DW_STOP_LATCH], 1u);
  pin_low(CTL_RESET);
  clock(2);
  pin_high(CTL_RESET);
  clock(2);
  EXPECT_EQ(cur_inst->device_words[DW_STOP_LATCH], 0u);
  EXPECT_EQ(reg(CORE_PC), 0xE000u);
}

TEST_F(CoreIrq, ResetPinHoldsTheCoreInReset) {
  boot(0x0010);
  program(0x0010, {0x2005, NOP, NOP});
  set(CORE_SR, 0x0000);
  pin_low(CTL_RESET);
  clock(3);
  EXPECT_EQ(reg(CORE_PC), 0xE000u);
  EXPECT_EQ(reg(CORE_SR), 0x0300u);
  EXPECT_EQ(cur_inst->device_words[DW_RESET_HELD], 1u);
  pin_high(CTL_RESET);
  clock(2);
  EXPECT_EQ(cur_inst->device_words[DW_RESET_HELD], 0u);
  EXPECT_EQ(reg(CORE_PC), 0xE000u);
}

}  // namespace
