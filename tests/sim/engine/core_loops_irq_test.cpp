// Repeat and DO loops, the system stack's error trap, interrupts from the
// core's own sources and pins, WAIT, STOP and the reset pin and
// instruction, all through the clocked core.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "core_fixture.h"
#include "sim/engine/core_state.h"

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

TEST_F(CoreLoops, RepeatOfZeroRunsOnce) {
  boot(0x0010);
  program(0x0010, {0x0F00, INC_A, NOP});  // rep #0; inc a
  steps(2);
  EXPECT_EQ(reg(CORE_A0), 1u);
  EXPECT_EQ(reg(CORE_PC), 0x0012u);
}

TEST_F(CoreLoops, RepeatCountFromARegister) {
  boot(0x0010);
  set(CORE_X0, 2);
  program(0x0010, {0x0420, INC_B, NOP});  // rep x0; inc b
  steps(3);
  EXPECT_EQ(reg(CORE_B0), 2u);
}

TEST_F(CoreLoops, WritingPcEndsARepeat) {
  boot(0x0010);
  program(0x0010, {0x0F05, INC_A});  // rep #5; inc a
  program(0x0020, {INC_B, INC_B});
  steps(3);
  EXPECT_EQ(reg(CORE_A0), 2u);
  set(CORE_PC, 0x0020);
  steps(2);
  EXPECT_EQ(reg(CORE_A0), 2u);
  EXPECT_EQ(reg(CORE_B0), 2u);
  EXPECT_EQ(reg(CORE_PC), 0x0022u);
}

// ---------------------------------------------------------------------------
// DO loops.

TEST_F(CoreLoops, DoLoopRunsItsBodyAndRestoresTheLoopRegisters) {
  boot(0x0010);
  program(0x0010, {0x0E03, 0x0001, INC_A, NOP});  // do #3,$13; inc a; nop
  steps(1);
  EXPECT_EQ(reg(CORE_LC), 3u);
  EXPECT_EQ(reg(CORE_LA), 0x0012u);
  EXPECT_EQ(reg(CORE_SP), 2u);
  EXPECT_EQ(core_word(CS_SS_HIGH + 2), 0x0012u);  // the loop start
  EXPECT_EQ(core_word(CS_SS_HIGH + 1), 0xFFFFu);  // the old la
  EXPECT_TRUE(reg(CORE_SR) & SR_LOOP);
  steps(3);
  EXPECT_EQ(reg(CORE_A0), 3u);
  EXPECT_EQ(reg(CORE_SP), 0u);
  EXPECT_EQ(reg(CORE_LA), 0xFFFFu);
  EXPECT_EQ(reg(CORE_LC), 0xFFFFu);
  EXPECT_EQ(reg(CORE_SR) & (SR_LOOP | SR_FOREVER), 0u);
  EXPECT_EQ(reg(CORE_PC), 0x0013u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0014u);
  EXPECT_EQ(reg(CORE_A0), 3u);
}

TEST_F(CoreLoops, NestedLoops) {
  boot(0x0010);
  program(0x0010, {
                      0x0E02, 0x0004,  // do #2,$16
                      0x0E03, 0x0001,  // do #3,$15
                      INC_A,           // $14
                      INC_B,           // $15
                      NOP,             // $16
                  });
  steps(11);
  EXPECT_EQ(reg(CORE_A0), 6u);
  EXPECT_EQ(reg(CORE_B0), 2u);
  EXPECT_EQ(reg(CORE_SP), 0u);
  EXPECT_EQ(reg(CORE_SR) & SR_LOOP, 0u);
  EXPECT_EQ(reg(CORE_PC), 0x0016u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0017u);
}

TEST_F(CoreLoops, LoopCountOfZeroMakesOnePass) {
  boot(0x0010);
  program(0x0010, {0x0E00, 0x0001, INC_A, INC_B});  // do #0,$13; inc a; inc b
  steps(3);
  EXPECT_EQ(reg(CORE_A0), 1u);
  EXPECT_EQ(reg(CORE_B0), 1u);
  EXPECT_EQ(reg(CORE_SP), 0u);
}

TEST_F(CoreLoops, ForeverLoopNeverCounts) {
  boot(0x0010);
  program(0x0010, {0x0002, 0x0001, INC_A, INC_B});  // do forever,$13; inc a
  steps(1);
  EXPECT_EQ(reg(CORE_SR) & (SR_LOOP | SR_FOREVER), SR_LOOP | SR_FOREVER);
  steps(20);
  EXPECT_EQ(reg(CORE_A0), 20u);
  EXPECT_EQ(reg(CORE_B0), 0u);
  EXPECT_EQ(reg(CORE_LC), 0xFFFFu);
  EXPECT_EQ(reg(CORE_PC), 0x0012u);
}

TEST_F(CoreLoops, EndDoLeavesTheLoop) {
  boot(0x0010);
  program(0x0010, {0x0E05, 0x0002, INC_A, 0x0009, INC_B});  // do #5; inc a; enddo; inc b
  steps(4);
  EXPECT_EQ(reg(CORE_SP), 0u);
  EXPECT_EQ(reg(CORE_SR) & SR_LOOP, 0u);
  steps(1);
  EXPECT_EQ(reg(CORE_A0), 1u);
  EXPECT_EQ(reg(CORE_B0), 1u);
}

// ---------------------------------------------------------------------------
// The system stack.

TEST_F(CoreIrq, SixteenthPushSetsTheStackErrorAndRaisesVectorFourOnce) {
  boot(0x0010);
  vector_to(0x0004, 0x0060, INC_B);
  for (uint32_t a = 0x0010; a < 0x0010 + 17; ++a) program(a, {0x2818});  // move x0,ssh
  steps(15);
  EXPECT_EQ(reg(CORE_SP), 15u);
  EXPECT_EQ(core_word(CS_PEND_STACK), 0u);
  steps(1);
  EXPECT_EQ(reg(CORE_SP), SP_ERROR);
  EXPECT_EQ(core_word(CS_PEND_STACK), 1u);
  steps(3);  // jsr at the vector, inc b, rti
  EXPECT_EQ(reg(CORE_B0), 1u);
  EXPECT_EQ(core_word(CS_PEND_STACK), 0u);
  steps(2);  // the 17th push and the next word
  EXPECT_EQ(reg(CORE_SP) & SP_ERROR, SP_ERROR);
  EXPECT_EQ(reg(CORE_B0), 1u);
  EXPECT_EQ(core_word(CS_PEND_STACK), 0u);
}

// ---------------------------------------------------------------------------
// Interrupts.

TEST_F(CoreIrq, SoftwareInterruptIsTakenUnderMaskThree) {
  boot(0x0010);
  vector_to(0x0008, 0x0060, INC_B);
  program(0x0010, {0x0005, NOP});  // swi; nop
  EXPECT_EQ(reg(CORE_SR) & 0x300, 0x300u);
  steps(1);  // swi: taken at its end, the vector runs next
  EXPECT_EQ(reg(CORE_PC), 0x0008u);
  steps(1);  // the jsr at the vector
  EXPECT_EQ(reg(CORE_PC), 0x0060u);
  EXPECT_EQ(reg(CORE_SP), 1u);
  EXPECT_EQ(core_word(CS_SS_HIGH + 1), 0x0011u);
  EXPECT_EQ(core_word(CS_PEND_SWI), 0u);
  steps(2);  // inc b, rti
  EXPECT_EQ(reg(CORE_B0), 1u);
  EXPECT_EQ(reg(CORE_SP), 0u);
  EXPECT_EQ(reg(CORE_PC), 0x0011u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0012u);
}

TEST_F(CoreIrq, MaskThreeBlocksIrqaUntilItIsLowered) {
  boot(0x0010);
  vector_to(0x000A, 0x0060, INC_B);
  set(CORE_IPR, 0x0002);  // IRQA level 2, level-sensitive
  program(0x0010, {NOP, NOP, NOP, 0x1AFC, NOP, NOP});  // ...; andi #$fc,mr
  pin_low(CTL_IRQA);
  steps(3);
  EXPECT_EQ(reg(CORE_PC), 0x0013u);  // the andi
  EXPECT_EQ(core_word(CS_PEND_IRQA), 1u);
  steps(1);  // andi: taken at its end
  EXPECT_EQ(reg(CORE_PC), 0x000Au);
  steps(1);  // the jsr at the vector
  EXPECT_EQ(reg(CORE_PC), 0x0060u);
  EXPECT_EQ((reg(CORE_SR) >> 8) & 3, 2u);  // the mask takes the level
  EXPECT_EQ(core_word(CS_SS_HIGH + 1), 0x0014u);
}

TEST_F(CoreIrq, IrqaBeforeIrqbAtTheSameLevel) {
  boot(0x0010);
  vector_to(0x000A, 0x0060, INC_A);
  vector_to(0x000C, 0x0070, ASL_A);
  set(CORE_IPR, 0x002D);  // IRQA and IRQB at level 1, both edge-triggered
  set(CORE_SR, 0x0000);
  for (uint32_t a = 0x0010; a < 0x0020; ++a) program(a, {NOP});
  steps(1);  // the pins are seen high
  pin_low(CTL_IRQA);
  pin_low(CTL_IRQB);
  steps(8);  // nop, jsr, inc a, rti, jsr, asl a, rti, nop
  // IRQA first: (0 + 1) * 2; IRQB first would give 0 * 2 + 1.
  EXPECT_EQ(reg(CORE_A0), 2u);
  EXPECT_EQ(core_word(CS_PEND_IRQA), 0u);
  EXPECT_EQ(core_word(CS_PEND_IRQB), 0u);
  EXPECT_EQ(reg(CORE_SP), 0u);
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

TEST_F(CoreIrq, FastInterruptRunsTheTwoVectorWordsAndReturns) {
  boot(0x0010);
  program(0x000A, {INC_A, INC_B});  // two instructions at the vector
  set(CORE_IPR, 0x0005);            // IRQA level 1, edge-triggered
  set(CORE_SR, 0x0000);
  for (uint32_t a = 0x0010; a < 0x0020; ++a) program(a, {NOP});
  steps(1);
  pin_low(CTL_IRQA);
  steps(1);  // nop at $11; the interrupt is taken at its end
  EXPECT_EQ(reg(CORE_PC), 0x000Au);
  steps(1);  // inc a, the first vector word
  EXPECT_EQ(reg(CORE_PC), 0x000Bu);
  steps(1);  // inc b, the second
  EXPECT_EQ(reg(CORE_A0), 1u);
  EXPECT_EQ(reg(CORE_B0), 1u);
  EXPECT_EQ(reg(CORE_SP), 0u);  // nothing pushed
  EXPECT_EQ(core_word(CS_PEND_IRQA), 0u);
  EXPECT_EQ(reg(CORE_PC), 0x0012u);  // back where the nop at $12 was dropped
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0013u);
}

TEST_F(CoreIrq, TwoWordFastInterruptReturnsAfterItsOneInstruction) {
  boot(0x0010);
  program(0x000A, {0x3C9C, 0x1234, INC_B});  // move #>$1234,a at the vector
  set(CORE_IPR, 0x0005);
  set(CORE_SR, 0x0000);
  for (uint32_t a = 0x0010; a < 0x0020; ++a) program(a, {NOP});
  steps(1);
  pin_low(CTL_IRQA);
  steps(2);  // nop, then the vector's move
  EXPECT_EQ(reg(CORE_A1), 0x1234u);
  EXPECT_EQ(core_word(CS_PEND_IRQA), 0u);
  EXPECT_EQ(reg(CORE_PC), 0x0012u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0013u);
  EXPECT_EQ(reg(CORE_B0), 0u);
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

TEST_F(CoreIrq, ResetInstructionResetsThePeripherals) {
  boot(0x0010);
  set(CORE_IPR, 0x0005);
  program(0x0010, {0x0008, 0x2005});  // reset; move #<5,x0
  steps(1);
  EXPECT_EQ(reg(CORE_IPR), 0u);
  steps(1);
  EXPECT_EQ(reg(CORE_X0), 5u);  // the program goes on
}

}  // namespace
