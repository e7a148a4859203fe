// The core clocked cycle by cycle: instruction timing with wait states and
// contention, moves with every addressing mode and modifier, data-ALU
// operations with parallel moves, branches, subroutines and bit fields.
#include <gtest/gtest.h>

#include "core_fixture.h"
#include "sim/engine/core_state.h"

namespace {

class CoreCycle : public core_fixture {};

// ---------------------------------------------------------------------------
// Timing.

TEST_F(CoreCycle, RestartSwallowsFirstEndThenTwoCyclesPerInstruction) {
  boot(0x0010);
  program(0x0010, {0x0000, 0x0000, 0x0000});  // nop; nop; nop
  // The pipeline refill after the pc write gives no instruction end.
  clock(2);
  EXPECT_EQ(cur_inst->flags & (DEV_INSTR_END | DEV_INSTR_END2), 0u);
  EXPECT_EQ(cur_inst->instructions, 0u);
  EXPECT_EQ(reg(CORE_PC), 0x0010u);
  EXPECT_EQ(step(), 2);  // the first nop
  EXPECT_EQ(cur_inst->instructions, 1u);
  EXPECT_EQ(reg(CORE_PC), 0x0011u);  // the next instruction
  EXPECT_EQ(step(), 2);
  EXPECT_EQ(reg(CORE_PC), 0x0012u);
  EXPECT_EQ(cur_inst->cycles, 6u);
}

TEST_F(CoreCycle, ExternalProgramTakesProgramWaitStatesPerFetch) {
  boot(0x1000);  // above the 2K internal program memory: external
  program(0x1000, {0x0000, 0x0000, 0x0000, 0x0000});
  set(CORE_BCR, 0x0003);
  steps(2);
  EXPECT_EQ(step(), 2 + 3);
  EXPECT_EQ(step(), 2 + 3);
}

TEST_F(CoreCycle, ResetBusControlGivesThirtyOneWaitStates) {
  boot(0x1000);
  program(0x1000, {0x0000, 0x0000, 0x0000});
  EXPECT_EQ(reg(CORE_BCR) & 0x3FF, 0x3FFu);
  steps(1);
  EXPECT_EQ(step(), 2 + 31);
}

TEST_F(CoreCycle, InternalDataAccessTakesNoWaitStates) {
  boot(0x0000);
  set(CORE_BCR, 0x03FF);
  set(CORE_R0, 0x0040);
  xmem(0x0040, 0x1234);
  program(0x0000, {0x0000, 0x3C04, 0x0000});  // nop; move x:(r0)+,x0; nop
  steps(1);
  EXPECT_EQ(step(), 2);
  EXPECT_EQ(reg(CORE_X0), 0x1234u);
}

TEST_F(CoreCycle, BothXAccessesExternalTakeASecondInstructionCycle) {
  boot(0x0000);
  set(CORE_BCR, 0x0000);
  set(CORE_R0, 0x1000);
  set(CORE_R3, 0x2000);
  xmem(0x1000, 0x1111);
  xmem(0x2000, 0x2222);
  xmem(0x3000, 0x3333);
  set(CORE_R1, 0x3000);
  program(0x0000, {
                      0x3C05,  // move x:(r1)+,x0 (takes the bus first)
                      0x6217,  // move x:(r0)+,x1 x:(r3)+,x0
                      0x6217,  // again
                  });
  steps(1);
  EXPECT_EQ(reg(CORE_X0), 0x3333u);
  EXPECT_EQ(step(), 4);
  EXPECT_EQ(reg(CORE_X1), 0x1111u);
  EXPECT_EQ(reg(CORE_X0), 0x2222u);
  EXPECT_EQ(reg(CORE_R0), 0x1001u);
  EXPECT_EQ(reg(CORE_R3), 0x2001u);
  // With two data wait states each access adds two cycles.
  set(CORE_BCR, 2 << 5);
  EXPECT_EQ(step(), 4 + 2 + 2);
}

TEST_F(CoreCycle, OneExternalDataAccessIsNotContended) {
  boot(0x0000);
  set(CORE_BCR, 3 << 5);
  set(CORE_R0, 0x1000);
  xmem(0x1000, 0x0042);
  program(0x0000, {0x3C04, 0x3C04});  // move x:(r0)+,x0 twice
  steps(1);
  EXPECT_EQ(step(), 2 + 3);
}

// ---------------------------------------------------------------------------
// Moves and addressing modes.

TEST_F(CoreCycle, ShortImmediatesAreSignExtended) {
  boot(0x0000);
  program(0x0000, {
                      0x2012,  // move #<$12,x0
                      0x23FF,  // move #<-$1,y1
                      0x2180,  // move #<-$80,y0
                  });
  steps(3);
  EXPECT_EQ(reg(CORE_X0), 0x0012u);
  EXPECT_EQ(reg(CORE_Y1), 0xFFFFu);
  EXPECT_EQ(reg(CORE_Y0), 0xFF80u);
}

TEST_F(CoreCycle, PostModifiedAddressModes) {
  boot(0x0000);
  set(CORE_R0, 0x0100);
  set(CORE_R1, 0x0200);
  set(CORE_N1, 0x0010);
  set(CORE_X0, 0xAAAA);
  xmem(0x0200, 0x5555);
  program(0x0000, {
                      0x3808,  // move x0,x:(r0)-
                      0x3C2D,  // move x:(r1)+n1,y0
                      0x3C20,  // move x:(r0),y0 ... (r0) leaves r0
                  });
  steps(1);
  EXPECT_EQ(xread(0x0100), 0xAAAAu);
  EXPECT_EQ(reg(CORE_R0), 0x00FFu);
  steps(1);
  EXPECT_EQ(reg(CORE_Y0), 0x5555u);
  EXPECT_EQ(reg(CORE_R1), 0x0210u);
  xmem(0x00FF, 0x7777);
  steps(1);
  EXPECT_EQ(reg(CORE_Y0), 0x7777u);
  EXPECT_EQ(reg(CORE_R0), 0x00FFu);
}

TEST_F(CoreCycle, PreDecrementAndIndexedModes) {
  boot(0x0000);
  set(CORE_R2, 0x0031);
  set(CORE_R3, 0x0040);
  set(CORE_N3, 0x0005);
  xmem(0x0030, 0x0123);
  xmem(0x0045, 0x0456);
  program(0x0000, {
                      0x3C5A,  // move x:-(r2),x1
                      0x3C73,  // move x:(r3+n3),y1
                  });
  steps(2);
  EXPECT_EQ(reg(CORE_X1), 0x0123u);
  EXPECT_EQ(reg(CORE_R2), 0x0030u);
  EXPECT_EQ(reg(CORE_Y1), 0x0456u);
  EXPECT_EQ(reg(CORE_R3), 0x0040u);  // indexed leaves the register
}

TEST_F(CoreCycle, LongAbsoluteImmediateAndShortAddresses) {
  boot(0x0000);
  xmem(0x0123, 0x4321);
  xmem(0x0005, 0x00AB);
  set(CORE_Y0, 0x6666);
  program(0x0000, {
                      0x3C14, 0x0123,  // move x:>$123,x0
                      0x3C9C, 0x8000,  // move #>$8000,a
                      0x3834, 0x0456,  // move y0,x:>$456
                      0x1905,          // moves x:<$5,x0
                  });
  steps(1);
  EXPECT_EQ(reg(CORE_X0), 0x4321u);
  steps(1);
  EXPECT_EQ(reg(CORE_A1), 0x8000u);
  EXPECT_EQ(reg(CORE_A2), 0xFFu);
  EXPECT_EQ(reg(CORE_A0), 0u);
  steps(1);
  EXPECT_EQ(xread(0x0456), 0x6666u);
  steps(1);
  EXPECT_EQ(reg(CORE_X0), 0x00ABu);
}

TEST_F(CoreCycle, AccumulatorHeldAddress) {
  boot(0x0000);
  set_acc(CORE_A, 0, 0x0077, 0);
  xmem(0x0077, 0x0999);
  program(0x0000, {0x3C1E});  // move x:(a1),x0
  steps(1);
  EXPECT_EQ(reg(CORE_X0), 0x0999u);
}

TEST_F(CoreCycle, ModuloWrapsAtTheTopOfTheBuffer) {
  boot(0x0000);
  set(CORE_M0, 9);  // a buffer of ten words at $20-$29
  set(CORE_R0, 0x0029);
  program(0x0000, {
                      0x3C04,  // move x:(r0)+,x0
                      0x3C08,  // move x:(r0)-,x0
                      0x3C08,  // move x:(r0)-,x0
                  });
  steps(1);
  EXPECT_EQ(reg(CORE_R0), 0x0020u);
  steps(1);
  EXPECT_EQ(reg(CORE_R0), 0x0029u);  // below the base wraps to the top
  steps(1);
  EXPECT_EQ(reg(CORE_R0), 0x0028u);
}

TEST_F(CoreCycle, ModuloOffsetStepsWrapByTheModulus) {
  boot(0x0000);
  set(CORE_M1, 9);
  set(CORE_N1, 4);
  set(CORE_R1, 0x0027);
  program(0x0000, {0x3C2D});  // move x:(r1)+n1,y0
  steps(1);
  EXPECT_EQ(reg(CORE_R1), 0x0021u);  // $27 + 4 = $2B, past $29: minus 10
}

TEST_F(CoreCycle, ZeroModifierGivesBitReversedSteps) {
  boot(0x0000);
  set(CORE_M0, 0);
  set(CORE_N0, 4);  // an eight-point table
  set(CORE_R0, 0);
  program(0x0000, {0x3C0C, 0x3C0C, 0x3C0C, 0x3C0C});  // move x:(r0)+n0,x0
  const uint32_t expected[4] = {4, 2, 6, 1};
  for (uint32_t e : expected) {
    steps(1);
    EXPECT_EQ(reg(CORE_R0), e);
  }
}

TEST_F(CoreCycle, RegisterToRegisterMoves) {
  boot(0x0000);
  set(CORE_R2, 0x8001);
  program(0x0000, {
                      0x2A44,  // move r2,a
                  });
  steps(1);
  EXPECT_EQ(reg(CORE_A1), 0x8001u);
  EXPECT_EQ(reg(CORE_A2), 0xFFu);
  EXPECT_EQ(reg(CORE_A0), 0u);
}

TEST_F(CoreCycle, PeripheralAddressGenerationTakesTheUpdateOf583Registers) {
  boot(0x0000, "73583ram");
  set(CORE_OMR, 0x0202);  // mode 2, peripheral address generation on
  set(CORE_SR, 0x2000);   // ... active, interrupt mask 0
  set(CORE_IPR2, 0x0001); // channels at level 1
  set(CORE_R0, 0x0100);
  set(CORE_PAGUR0, 0x0010);
  set(CORE_PAGUC0, 0x0012);
  xmem(0x0010, 0x0AAA);
  xmem(0x0011, 0x0BBB);
  program(0x0030, {0x0000});          // vector 48
  program(0x0000, {0x3C04, 0x3C04});  // move x:(r0)+,x0 twice
  steps(1);
  EXPECT_EQ(reg(CORE_X0), 0x0AAAu);
  EXPECT_EQ(reg(CORE_R0), 0x0100u);
  EXPECT_EQ(reg(CORE_PAGUR0), 0x0011u);
  EXPECT_EQ(core_word(CS_PEND_CH0), 0u);
  steps(1);
  EXPECT_EQ(reg(CORE_X0), 0x0BBBu);
  EXPECT_EQ(reg(CORE_PAGUR0), 0x0012u);
  // IRQC sits pending at level 0 (its pin idles low): it must not hide
  // the channel behind it.
  EXPECT_EQ(core_word(CS_PEND_IRQC), 1u);
  EXPECT_EQ(reg(CORE_PC), 0x0030u);  // taken at that end: the vector runs next
  steps(1);  // the channel's vector
  EXPECT_EQ(reg(CORE_PC), 0x0031u);  // its second word
  EXPECT_EQ(core_word(CS_PEND_CH0), 0u);
}

// ---------------------------------------------------------------------------
// Data-ALU operations with parallel moves.

TEST_F(CoreCycle, AccumulatorMovesAreScaledAndLimitedOnTheDataBus) {
  boot(0x0000);
  set(CORE_R0, 0x0040);
  set_acc(CORE_A, 0x01, 0x0000, 0x0000);
  set_acc(CORE_B, 0x00, 0x0100, 0x8000);
  program(0x0000, {
                      0x8811,  // move a,x:(r0)+
                      0x8A11,  // move b,x:(r0)+
                      0x8A11,  // move b,x:(r0)+ (scaled up)
                  });
  steps(1);
  EXPECT_EQ(xread(0x0040), 0x7FFFu);
  EXPECT_EQ(reg(CORE_SR) & SR_L, SR_L);
  set(CORE_SR, 0x0400);  // scale down
  steps(1);
  EXPECT_EQ(xread(0x0041), 0x0080u);
  set(CORE_SR, 0x0800);  // scale up
  steps(1);
  EXPECT_EQ(xread(0x0042), 0x0201u);
}

TEST_F(CoreCycle, AddWithParallelRead) {
  boot(0x0000);
  set(CORE_X0, 0x1000);
  set(CORE_R0, 0x0010);
  xmem(0x0010, 0x4444);
  program(0x0000, {0x8304});  // add x0,a x:(r0)+,y0
  steps(1);
  EXPECT_EQ(reg(CORE_A2), 0u);
  EXPECT_EQ(reg(CORE_A1), 0x1000u);
  EXPECT_EQ(reg(CORE_A0), 0u);
  EXPECT_EQ(reg(CORE_Y0), 0x4444u);
  EXPECT_EQ(reg(CORE_R0), 0x0011u);
}

TEST_F(CoreCycle, ParallelWriteMovesTheAccumulatorBeforeTheOperation) {
  boot(0x0000);
  set_acc(CORE_A, 0, 0x0100, 0);
  set(CORE_Y0, 0x0200);
  set(CORE_R1, 0x0030);
  program(0x0000, {0x9805});  // add y0,a a,x:(r1)+
  steps(1);
  EXPECT_EQ(xread(0x0030), 0x0100u);
  EXPECT_EQ(reg(CORE_A1), 0x0300u);
  EXPECT_EQ(reg(CORE_R1), 0x0031u);
}

TEST_F(CoreCycle, ParallelReadIntoTheAluSourceUsesTheOldValue) {
  boot(0x0000);
  set(CORE_X0, 0x0001);
  set(CORE_R0, 0x0010);
  xmem(0x0010, 0x0100);
  program(0x0000, {0x8104, 0x8104});  // add x0,a x:(r0)+,x0 (twice)
  steps(1);
  EXPECT_EQ(reg(CORE_A1), 0x0001u);
  EXPECT_EQ(reg(CORE_X0), 0x0100u);
  steps(1);
  EXPECT_EQ(reg(CORE_A1), 0x0101u);
}

TEST_F(CoreCycle, MultiplyWithTwoParallelReads) {
  boot(0x0000);
  set(CORE_R0, 0x0010);
  set(CORE_R3, 0x0020);
  set(CORE_X0, 0x4000);  // 0.5
  set(CORE_Y0, 0x4000);  // 0.5
  xmem(0x0010, 0x1111);
  xmem(0x0020, 0x2222);
  // mpy y0,x0,a x:(r0)+,y1 x:(r3)+,x1 (bits 10-8 = 7 selects y1 and x1)
  program(0x0000, {0x6780});
  steps(1);
  EXPECT_EQ(reg(CORE_A1), 0x2000u);  // 0.25
  EXPECT_EQ(reg(CORE_Y1), 0x1111u);
  EXPECT_EQ(reg(CORE_X1), 0x2222u);
  EXPECT_EQ(reg(CORE_R0), 0x0011u);
  EXPECT_EQ(reg(CORE_R3), 0x0021u);
}

TEST_F(CoreCycle, ImmediateLogicOnTheStatusAndModeRegisters) {
  boot(0x0000);
  program(0x0000, {
                      0x1AFC,  // andi #$fc,mr
                      0x1F05,  // ori #$05,ccr
                      0x1C00,  // andi #$00,omr ... omr keeps its high byte
                  });
  EXPECT_EQ(reg(CORE_SR), 0x0300u);
  steps(1);
  EXPECT_EQ(reg(CORE_SR), 0x0000u);
  steps(1);
  EXPECT_EQ(reg(CORE_SR), 0x0005u);
  steps(1);
  EXPECT_EQ(reg(CORE_OMR), 0x0000u);
}

// ---------------------------------------------------------------------------
// Flow of control.

TEST_F(CoreCycle, ShortBranchesTakenAndNot) {
  boot(0x0000);
  program(0x0000, {
                      0x0B03,  // bra *+4
                      0x2001,  // move #<1,x0 (skipped)
                      0x0000, 0x0000,
                      0x2E82,  // beq *+3 (Z clear: not taken)
                      0x2002,  // move #<2,x0
                  });
  EXPECT_EQ(step(), 2 + 4);  // the refill, then two instruction cycles
  EXPECT_EQ(reg(CORE_PC), 0x0004u);
  EXPECT_EQ(step(), 4);      // beq at the target
  EXPECT_EQ(reg(CORE_PC), 0x0005u);
  EXPECT_EQ(reg(CORE_X0), 0u);
  steps(1);
  EXPECT_EQ(reg(CORE_X0), 0x0002u);
}

TEST_F(CoreCycle, SubroutineCallAndReturn) {
  boot(0x0010);
  program(0x0010, {
                      0x0A40,  // jsr <$40
                      0x2005,  // move #<5,x0
                  });
  program(0x0040, {
                      0x2107,  // move #<7,y0
                      0x0006,  // rts
                  });
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0040u);
  EXPECT_EQ(reg(CORE_SP), 1u);
  EXPECT_EQ(core_word(CS_SS_HIGH + 1), 0x0011u);
  EXPECT_EQ(core_word(CS_SS_LOW + 1), 0x0300u);
  steps(2);
  EXPECT_EQ(reg(CORE_Y0), 0x0007u);
  EXPECT_EQ(reg(CORE_SP), 0u);
  EXPECT_EQ(reg(CORE_PC), 0x0011u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0012u);
  EXPECT_EQ(reg(CORE_X0), 0x0005u);
}

TEST_F(CoreCycle, LongJumpsAndBranchSubroutine) {
  boot(0x0000);
  program(0x0000, {0x0134, 0x0100});  // jmp >$100
  program(0x0100, {0x0138, 0x00FE});  // bsr >*+$100 (to $200)
  program(0x0200, {0x0007});          // rti
  set(CORE_SR, 0x0000);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0100u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0200u);
  EXPECT_EQ(reg(CORE_SP), 1u);
  EXPECT_EQ(core_word(CS_SS_HIGH + 1), 0x0102u);
  set(CORE_SR, 0x0008);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0102u);
  EXPECT_EQ(reg(CORE_SR), 0x0000u);  // rti restores sr
  EXPECT_EQ(reg(CORE_SP), 0u);
}

TEST_F(CoreCycle, RegisterJumpAndConditionalJump) {
  boot(0x0000);
  set(CORE_R1, 0x0050);
  program(0x0000, {0x0125});          // jmp r1
  program(0x0050, {0x063A, 0x0060});  // jeq >$60 (Z clear: falls through)
  program(0x0052, {0x0632, 0x0070});  // jne >$70
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0050u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0052u);
  EXPECT_EQ(cur_state->jump_flag, 0u);  // jeq not taken
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0070u);
  EXPECT_EQ(cur_state->jump_flag, 1u);  // jne taken
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0071u);
  EXPECT_EQ(cur_state->jump_flag, 0u);
}

TEST_F(CoreCycle, BitFieldOperationsOnMemoryAndRegisters) {
  boot(0x0000);
  set(CORE_R0, 0x0020);
  xmem(0x0020, 0x1234);
  set(CORE_X0, 0x00F0);
  program(0x0000, {
                      0x14B0, 0x58FF,  // bfset #$0ff0,x:(r0)
                      0x1430, 0x50FF,  // bftsth #$0ff0,x:(r0)
                      0x1400, 0x20F0,  // bftstl #$00f0,x0
                  });
  steps(1);
  EXPECT_EQ(xread(0x0020), 0x1FF4u);
  EXPECT_EQ(reg(CORE_SR) & SR_C, 0u);  // not every bit was set
  steps(1);
  EXPECT_EQ(reg(CORE_SR) & SR_C, SR_C);
  steps(1);
  EXPECT_EQ(reg(CORE_SR) & SR_C, 0u);  // bits 4-7 of x0 are set
  EXPECT_EQ(reg(CORE_X0), 0x00F0u);
}

// ---------------------------------------------------------------------------
// Illegal opcodes.

TEST_F(CoreCycle, IllegalOpcodeMarksAndTrapsToVectorTwo) {
  boot(0x0010);
  program(0x0002, {0x0A40});  // jsr <$40
  program(0x0010, {0x0003});
  program(0x0040, {0x0000});
  // Reached by a restart, the word is marked when it is decoded.
  steps(1);
  EXPECT_TRUE(cur_inst->flags & DEV_ILLEGAL);
  EXPECT_EQ(reg(CORE_PC), 0x0002u);  // the trap is taken at its end
  steps(1);  // the vector's jsr (the refill before it gives no end)
  EXPECT_EQ(core_word(CS_PEND_ILLEGAL), 0u);  // acknowledged
  EXPECT_EQ(reg(CORE_PC), 0x0040u);
  EXPECT_EQ(core_word(CS_SS_HIGH + 1), 0x0011u);
  EXPECT_EQ((reg(CORE_SR) >> 8) & 3, 3u);
}

TEST_F(CoreCycle, IllegalOpcodeReachedInFlowIsMarkedBeforeItRuns) {
  boot(0x0010);
  program(0x0002, {0x0000});
  program(0x0010, {0x0000, 0x0003});  // nop; an illegal word
  steps(1);                           // the nop fetches the illegal word
  EXPECT_TRUE(cur_inst->flags & DEV_ILLEGAL);
  EXPECT_EQ(reg(CORE_PC), 0x0011u);
  EXPECT_EQ(core_word(CS_PEND_ILLEGAL), 0u);  // not executed yet
  EXPECT_EQ(cur_inst->instructions, 1u);
  // Run on (the run loop clears the flag at the end): the word is not
  // reported a second time when it executes, and it traps.
  cur_inst->flags &= ~DEV_ILLEGAL;
  steps(1);
  EXPECT_FALSE(cur_inst->flags & DEV_ILLEGAL);
  EXPECT_EQ(reg(CORE_PC), 0x0002u);
  EXPECT_EQ(core_word(CS_IN_FAST_IRQ), 0u);
}

TEST_F(CoreCycle, AllOnesOpcodeIsLegal) {
  boot(0x0000);
  program(0x0000, {0xFFFF});
  steps(1);
  EXPECT_FALSE(cur_inst->flags & DEV_ILLEGAL);
  EXPECT_EQ(core_word(CS_PEND_ILLEGAL), 0u);
}

}  // namespace
