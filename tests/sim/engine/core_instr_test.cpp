// The instruction classes one by one through the clocked core: transfers,
// conditional transfers, lea, program-memory and peripheral moves, norm,
// the LMS form, loops with register and memory counts, brk, and the
// register and conditional forms of branches and subroutine calls.
#include <gtest/gtest.h>

#include "core_fixture.h"
#include "sim/engine/core_state.h"

namespace {

constexpr uint32_t NOP = 0x0000;
constexpr uint32_t INC_A = 0x4A22;
constexpr uint32_t INC_B = 0x4A2A;

class CoreInstr : public core_fixture {
 protected:
  void SetUp() override {
    core_fixture::SetUp();
    boot(0x0010);
  }
};

TEST_F(CoreInstr, LeaLoadsTheUpdatedAddress) {
  set(CORE_R0, 0x0010);
  set(CORE_N0, 0x0005);
  set(CORE_R2, 0x0020);
  program(0x0010, {
                      0x01DC,  // lea (r0)+n0,r1
                      0x01BA,  // lea (r2)-,n3
                  });
  steps(2);
  EXPECT_EQ(reg(CORE_R1), 0x0015u);
  EXPECT_EQ(reg(CORE_R0), 0x0010u);
  EXPECT_EQ(reg(CORE_N3), 0x001Fu);
  EXPECT_EQ(reg(CORE_R2), 0x0020u);
}

TEST_F(CoreInstr, Tfr2MovesTheWholeAccumulatorLimited) {
  set_acc(CORE_A, 0x00, 0x1234, 0x5678);
  set_acc(CORE_B, 0x01, 0x0000, 0x0000);
  program(0x0010, {
                      0x1500,  // tfr2 a,x
                      0x1509,  // tfr2 b,y
                  });
  steps(1);
  EXPECT_EQ(reg(CORE_X1), 0x1234u);
  EXPECT_EQ(reg(CORE_X0), 0x5678u);
  EXPECT_EQ(reg(CORE_SR) & SR_L, 0u);
  steps(1);
  EXPECT_EQ(reg(CORE_Y1), 0x7FFFu);
  EXPECT_EQ(reg(CORE_Y0), 0xFFFFu);
  EXPECT_EQ(reg(CORE_SR) & SR_L, SR_L);
}

TEST_F(CoreInstr, ConditionalTransfers) {
  set(CORE_SR, 0x0000);
  set(CORE_X0, 0x8000);
  set(CORE_R0, 0x0444);
  set_acc(CORE_B, 0x12, 0x3456, 0x789A);
  program(0x0010, {
                      0x12A4,  // teq x0,a r0,r2 (Z clear: nothing)
                      0x10A4,  // tne x0,a r0,r2
                      0x1008,  // tcc a,b
                  });
  steps(1);
  EXPECT_EQ(reg(CORE_A1), 0u);
  EXPECT_EQ(reg(CORE_R2), 0u);
  steps(1);
  EXPECT_EQ(reg(CORE_A2), 0xFFu);
  EXPECT_EQ(reg(CORE_A1), 0x8000u);
  EXPECT_EQ(reg(CORE_A0), 0u);
  EXPECT_EQ(reg(CORE_R2), 0x0444u);
  steps(1);  // the whole of a into b
  EXPECT_EQ(reg(CORE_B2), 0xFFu);
  EXPECT_EQ(reg(CORE_B1), 0x8000u);
  EXPECT_EQ(reg(CORE_B0), 0u);
}

TEST_F(CoreInstr, Tfr3WithAParallelRead) {
  set(CORE_Y0, 0x1000);
  set(CORE_R1, 0x0030);
  xmem(0x0030, 0x0777);
  program(0x0010, {0x2550});  // tfr3 y0,a x:(r1)+,x0
  steps(1);
  EXPECT_EQ(reg(CORE_A1), 0x1000u);
  EXPECT_EQ(reg(CORE_X0), 0x0777u);
  EXPECT_EQ(reg(CORE_R1), 0x0031u);
}

TEST_F(CoreInstr, PeripheralMovesBetweenMemoryAndTheIoWindow) {
  set(CORE_R0, 0x0040);
  xmem(0x0040, 0x0555);
  program(0x0010, {
                      0x0D0F,  // movep x:(r0)+,x:<<$ffef (the timer's tpr)
                      0x0C0F,  // movep x:<<$ffef,x:(r0)+
                  });
  steps(1);
  EXPECT_EQ(read(SPACE_X, 0xFFEF), 0x0555u);
  steps(1);
  EXPECT_EQ(xread(0x0041), 0x0555u);
  EXPECT_EQ(reg(CORE_R0), 0x0042u);
}

TEST_F(CoreInstr, ProgramMemoryMoves) {
  set(CORE_R0, 0x0040);
  set(CORE_R1, 0x0300);
  set(CORE_R2, 0x0310);
  set(CORE_R3, 0x0320);
  set(CORE_Y0, 0x4567);
  xmem(0x0040, 0xBEEF);
  write(SPACE_P, 0x0310, 0xCAFE);
  program(0x0010, {
                      0x0331,  // move x:(r0)+,p:(r1)+
                      0x038B,  // move p:(r2)+,y1
                      0x02C9,  // move y0,p:(r3)+
                  });
  steps(1);
  EXPECT_EQ(read(SPACE_P, 0x0300), 0xBEEFu);
  EXPECT_EQ(reg(CORE_R0), 0x0041u);
  EXPECT_EQ(reg(CORE_R1), 0x0301u);
  steps(1);
  EXPECT_EQ(reg(CORE_Y1), 0xCAFEu);
  EXPECT_EQ(reg(CORE_R2), 0x0311u);
  steps(1);
  EXPECT_EQ(read(SPACE_P, 0x0320), 0x4567u);
  EXPECT_EQ(reg(CORE_R3), 0x0321u);
}

TEST_F(CoreInstr, NormShiftsAnUnnormalizedAccumulator) {
  set_acc(CORE_A, 0x00, 0x2000, 0x0000);
  set(CORE_SR, SR_U);
  set(CORE_R0, 5);
  program(0x0010, {0x1520});  // norm r0,a
  steps(1);
  EXPECT_EQ(reg(CORE_A1), 0x4000u);
  EXPECT_EQ(reg(CORE_R0), 4u);
}

TEST_F(CoreInstr, LmsFormWritesTheOtherAccumulatorAndLoadsIt) {
  set(CORE_X0, 0x4000);
  set(CORE_Y0, 0x4000);
  set(CORE_X1, 0x0055);
  set(CORE_R1, 0x0050);
  set(CORE_N1, 0x0003);
  set_acc(CORE_B, 0x00, 0x0123, 0x0000);
  program(0x0010, {0x1664});  // mpy y0,x0,a b,x:(r1)+n1 x1,b
  steps(1);
  EXPECT_EQ(reg(CORE_A1), 0x2000u);
  EXPECT_EQ(xread(0x0050), 0x0123u);
  EXPECT_EQ(reg(CORE_R1), 0x0053u);
  EXPECT_EQ(reg(CORE_B1), 0x0055u);
  EXPECT_EQ(reg(CORE_B0), 0u);
}

TEST_F(CoreInstr, AluWithRegisterTransferAndAddressUpdate) {
  set(CORE_X0, 0x0010);
  set_acc(CORE_A, 0x00, 0x0200, 0x0000);
  set(CORE_R2, 0x0008);
  set(CORE_N2, 0x0010);
  program(0x0010, {
                      0x440C,  // add x0,b a,x0
                      0x3222,  // inc a (r2)-
                      0x3622,  // inc a (r2)+n2
                  });
  steps(1);
  EXPECT_EQ(reg(CORE_B1), 0x0010u);  // the old x0
  EXPECT_EQ(reg(CORE_X0), 0x0200u);
  steps(1);
  EXPECT_EQ(reg(CORE_R2), 0x0007u);
  EXPECT_EQ(reg(CORE_A0), 1u);
  steps(1);
  EXPECT_EQ(reg(CORE_R2), 0x0017u);
  EXPECT_EQ(reg(CORE_A0), 2u);
}

TEST_F(CoreInstr, LoopCountsFromRegistersAndMemory) {
  set(CORE_X0, 2);
  set(CORE_R0, 0x0060);
  xmem(0x0060, 3);
  program(0x0010, {
                      0x0400, 0x0001,  // do x0,$13
                      INC_A,           // $12
                      0x00C0, 0x0001,  // do x:(r0),$16
                      INC_B,           // $15
                      0x00E0,          // rep x:(r0)
                      INC_A,
                  });
  steps(1 + 2);
  EXPECT_EQ(reg(CORE_A0), 2u);
  steps(1 + 3);
  EXPECT_EQ(reg(CORE_B0), 3u);
  steps(1 + 3);
  EXPECT_EQ(reg(CORE_A0), 5u);
  EXPECT_EQ(reg(CORE_SP), 0u);
}

TEST_F(CoreInstr, BreakLeavesTheLoopAtItsEnd) {
  set(CORE_SR, 0x0000);
  program(0x0010, {
                      0x0E05, 0x0002,  // do #5,$14
                      INC_A,           // $12
                      0x0110,          // brkcc ($13)
                      INC_B,           // $14
                  });
  steps(3);
  EXPECT_EQ(reg(CORE_SP), 0u);
  EXPECT_EQ(reg(CORE_SR) & SR_LOOP, 0u);
  EXPECT_EQ(reg(CORE_PC), 0x0014u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0015u);
  EXPECT_EQ(reg(CORE_A0), 1u);
  EXPECT_EQ(reg(CORE_B0), 1u);
}

TEST_F(CoreInstr, RegisterFormsOfBranchesAndCalls) {
  set(CORE_SR, 0x0000);
  set(CORE_R1, 0x0020);
  program(0x0010, {0x0121});          // jsr r1 -> $20
  program(0x0020, {0x0129});          // bsr r1 -> $40
  program(0x0040, {0x0760});          // bcc r1 -> $60
  program(0x0060, {0x0640});          // jscc r1 -> $20
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0020u);
  EXPECT_EQ(reg(CORE_SP), 1u);
  EXPECT_EQ(core_word(CS_SS_HIGH + 1), 0x0011u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0040u);
  EXPECT_EQ(reg(CORE_SP), 2u);
  EXPECT_EQ(core_word(CS_SS_HIGH + 2), 0x0021u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0060u);
  EXPECT_EQ(reg(CORE_SP), 2u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0020u);
  EXPECT_EQ(reg(CORE_SP), 3u);
  EXPECT_EQ(core_word(CS_SS_HIGH + 3), 0x0061u);
}

TEST_F(CoreInstr, LongConditionalSubroutineBranch) {
  set(CORE_SR, SR_C);
  program(0x0010, {
                      0x0710, 0x0010,  // bscc >*+$12 (C set: not taken)
                      0x0718, 0x0010,  // bscs >*+$12 -> $24
                  });
  steps(1);
  EXPECT_EQ(reg(CORE_SP), 0u);
  EXPECT_EQ(reg(CORE_PC), 0x0012u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0024u);
  EXPECT_EQ(reg(CORE_SP), 1u);
  EXPECT_EQ(core_word(CS_SS_HIGH + 1), 0x0014u);
}

TEST_F(CoreInstr, ChkaauReportsTheAddressFlags) {
  set(CORE_SR, 0x0000);
  set(CORE_M0, 9);
  set(CORE_R0, 0x0009);
  program(0x0010, {0x3C04, 0x0004});  // move x:(r0)+,x0 (wraps to 0); chkaau
  steps(2);
  EXPECT_EQ(reg(CORE_SR) & (SR_V | SR_Z | SR_N), SR_V | SR_Z);
}

}  // namespace
