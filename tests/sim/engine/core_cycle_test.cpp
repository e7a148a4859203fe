// The core clocked cycle by cycle: instruction timing with wait states and
// contention, moves with every addressing mode and modifier, data-ALU
// operations with parallel moves, branches, subroutines and bit fields.
#include <gtest/gtest.h>

#include "core_fixture.h"
#include "sim/engine/core/core_state.h"

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

TEST_F(CoreCycle, WaitStatesAndContention) {
  run_cases({
      {.name = "external program takes program wait states per fetch",
       .start = 0x1000,  // above the 2K internal program memory: external
       .regs = {{CORE_BCR, 0x0003}},
       .code = {{0x1000, {0x0000, 0x0000, 0x0000, 0x0000}}},
       .checks = {{2, {}},
                  {.ends = 1, .regs = {}, .cycles = 2 + 3},
                  {.ends = 1, .regs = {}, .cycles = 2 + 3}}},
      {.name = "reset bus control gives thirty-one wait states",
       .start = 0x1000,
       .code = {{0x1000, {0x0000, 0x0000, 0x0000}}},
       .checks = {{0, {{CORE_BCR, 0x3FF, 0x3FF}}},
                  {1, {}},
                  {.ends = 1, .regs = {}, .cycles = 2 + 31}}},
      {.name = "internal data access takes no wait states",
       .regs = {{CORE_BCR, 0x03FF}, {CORE_R0, 0x0040}},
       .x = {{0x0040, 0x1234}},
       .code = {{0x0000, {0x0000, 0x3C04, 0x0000}}},  // nop; move x:(r0)+,x0; nop
       .checks = {{1, {}},
                  {.ends = 1, .regs = {{CORE_X0, 0x1234}}, .cycles = 2}}},
      {.name = "both X accesses external take a second instruction cycle",
       .regs = {{CORE_BCR, 0x0000}, {CORE_R0, 0x1000}, {CORE_R3, 0x2000}, {CORE_R1, 0x3000}},
       .x = {{0x1000, 0x1111}, {0x2000, 0x2222}, {0x3000, 0x3333}},
       .code = {{0x0000,
                 {
                     0x3C05,  // move x:(r1)+,x0 (takes the bus first)
                     0x6217,  // move x:(r0)+,x1 x:(r3)+,x0
                     0x6217,  // again
                 }}},
       .checks = {{1, {{CORE_X0, 0x3333}}},
                  {.ends = 1,
                   .regs = {{CORE_X1, 0x1111}, {CORE_X0, 0x2222}, {CORE_R0, 0x1001},
                            {CORE_R3, 0x2001}},
                   .cycles = 4},
                  // With two data wait states each access adds two cycles.
                  {.ends = 1, .regs = {}, .set_first = {{CORE_BCR, 2 << 5}}, .cycles = 4 + 2 + 2}}},
      {.name = "one external data access is not contended",
       .regs = {{CORE_BCR, 3 << 5}, {CORE_R0, 0x1000}},
       .x = {{0x1000, 0x0042}},
       .code = {{0x0000, {0x3C04, 0x3C04}}},  // move x:(r0)+,x0 twice
       .checks = {{1, {}},
                  {.ends = 1, .regs = {}, .cycles = 2 + 3}}},
  });
}

// ---------------------------------------------------------------------------
// Moves and addressing modes.

TEST_F(CoreCycle, MovesAndAddressingModes) {
  run_cases({
      {.name = "short immediates are sign extended",
       .p = {{0x0000, 0x2012},   // move #<$12,x0
             {0x0001, 0x23FF},   // move #<-$1,y1
             {0x0002, 0x2180}},  // move #<-$80,y0
       .checks = {{3, {{CORE_X0, 0x0012}, {CORE_Y1, 0xFFFF}, {CORE_Y0, 0xFF80}}}}},
      {.name = "post-modified address modes",
       .regs = {{CORE_R0, 0x0100}, {CORE_R1, 0x0200}, {CORE_N1, 0x0010}, {CORE_X0, 0xAAAA}},
       .x = {{0x0200, 0x5555}, {0x00FF, 0x7777}},
       .p = {{0x0000, 0x3808},   // move x0,x:(r0)-
             {0x0001, 0x3C2D},   // move x:(r1)+n1,y0
             {0x0002, 0x3C20}},  // move x:(r0),y0 ... (r0) leaves r0
       .checks = {{1, {{CORE_R0, 0x00FF}}, {{0x0100, 0xAAAA}}},
                  {1, {{CORE_Y0, 0x5555}, {CORE_R1, 0x0210}}},
                  {1, {{CORE_Y0, 0x7777}, {CORE_R0, 0x00FF}}}}},
      {.name = "pre-decrement and indexed modes",
       .regs = {{CORE_R2, 0x0031}, {CORE_R3, 0x0040}, {CORE_N3, 0x0005}},
       .x = {{0x0030, 0x0123}, {0x0045, 0x0456}},
       .p = {{0x0000, 0x3C5A},   // move x:-(r2),x1
             {0x0001, 0x3C73}},  // move x:(r3+n3),y1
       // indexed leaves the register
       .checks = {{2, {{CORE_X1, 0x0123}, {CORE_R2, 0x0030}, {CORE_Y1, 0x0456},
                       {CORE_R3, 0x0040}}}}},
      {.name = "long absolute, immediate and short addresses",
       .regs = {{CORE_Y0, 0x6666}},
       .x = {{0x0123, 0x4321}, {0x0005, 0x00AB}},
       .p = {{0x0000, 0x3C14}, {0x0001, 0x0123},  // move x:>$123,x0
             {0x0002, 0x3C9C}, {0x0003, 0x8000},  // move #>$8000,a
             {0x0004, 0x3834}, {0x0005, 0x0456},  // move y0,x:>$456
             {0x0006, 0x1905}},                   // moves x:<$5,x0
       .checks = {{1, {{CORE_X0, 0x4321}}},
                  {1, {{CORE_A1, 0x8000}, {CORE_A2, 0xFF}, {CORE_A0, 0}}},
                  {1, {}, {{0x0456, 0x6666}}},
                  {1, {{CORE_X0, 0x00AB}}}}},
      {.name = "accumulator-held address",
       .accs = {{CORE_A, 0, 0x0077, 0}},
       .x = {{0x0077, 0x0999}},
       .p = {{0x0000, 0x3C1E}},  // move x:(a1),x0
       .checks = {{1, {{CORE_X0, 0x0999}}}}},
      {.name = "modulo wraps at the top of the buffer",
       .regs = {{CORE_M0, 9}, {CORE_R0, 0x0029}},  // a buffer of ten words at $20-$29
       .p = {{0x0000, 0x3C04},   // move x:(r0)+,x0
             {0x0001, 0x3C08},   // move x:(r0)-,x0
             {0x0002, 0x3C08}},  // move x:(r0)-,x0
       .checks = {{1, {{CORE_R0, 0x0020}}},
                  {1, {{CORE_R0, 0x0029}}},  // below the base wraps to the top
                  {1, {{CORE_R0, 0x0028}}}}},
      {.name = "modulo offset steps wrap by the modulus",
       .regs = {{CORE_M1, 9}, {CORE_N1, 4}, {CORE_R1, 0x0027}},
       .p = {{0x0000, 0x3C2D}},  // move x:(r1)+n1,y0
       .checks = {{1, {{CORE_R1, 0x0021}}}}},  // $27 + 4 = $2B, past $29: minus 10
      {.name = "zero modifier gives bit-reversed steps",
       .regs = {{CORE_M0, 0}, {CORE_N0, 4}, {CORE_R0, 0}},  // an eight-point table
       // move x:(r0)+n0,x0
       .p = {{0x0000, 0x3C0C}, {0x0001, 0x3C0C}, {0x0002, 0x3C0C}, {0x0003, 0x3C0C}},
       .checks = {{1, {{CORE_R0, 4}}}, {1, {{CORE_R0, 2}}}, {1, {{CORE_R0, 6}}},
                  {1, {{CORE_R0, 1}}}}},
      {.name = "register to register moves",
       .regs = {{CORE_R2, 0x8001}},
       .p = {{0x0000, 0x2A44}},  // move r2,a
       .checks = {{1, {{CORE_A1, 0x8001}, {CORE_A2, 0xFF}, {CORE_A0, 0}}}}},
      {.name = "peripheral address generation takes the update of 583 registers",
       .regs = {{CORE_OMR, 0x0202},   // mode 2, peripheral address generation on
                {CORE_SR, 0x2000},    // ... active, interrupt mask 0
                {CORE_IPR2, 0x0001},  // channels at level 1
                {CORE_R0, 0x0100},
                {CORE_PAGUR0, 0x0010},
                {CORE_PAGUC0, 0x0012}},
       .x = {{0x0010, 0x0AAA}, {0x0011, 0x0BBB}},
       .p = {{0x0030, 0x0000},   // vector 48
             {0x0000, 0x3C04},   // move x:(r0)+,x0 twice
             {0x0001, 0x3C04}},
       .checks = {{1, {{CORE_X0, 0x0AAA}, {CORE_R0, 0x0100}, {CORE_PAGUR0, 0x0011},
                       {CS_PEND_CH0, 0}}},
                  // IRQC sits pending at level 0 (its pin idles low): it must
                  // not hide the channel behind it. Taken at that end: the
                  // vector runs next.
                  {1, {{CORE_X0, 0x0BBB}, {CORE_PAGUR0, 0x0012}, {CS_PEND_IRQC, 1},
                       {CORE_PC, 0x0030}}},
                  // the channel's vector, then its second word
                  {1, {{CORE_PC, 0x0031}, {CS_PEND_CH0, 0}}}},
       .type = "73583ram"},
  });
}

// ---------------------------------------------------------------------------
// Data-ALU operations with parallel moves.

TEST_F(CoreCycle, AluOperationsWithParallelMoves) {
  run_cases({
      {.name = "accumulator moves are scaled and limited on the data bus",
       .regs = {{CORE_R0, 0x0040}},
       .accs = {{CORE_A, 0x01, 0x0000, 0x0000}, {CORE_B, 0x00, 0x0100, 0x8000}},
       .p = {{0x0000, 0x8811},   // move a,x:(r0)+
             {0x0001, 0x8A11},   // move b,x:(r0)+
             {0x0002, 0x8A11}},  // move b,x:(r0)+ (scaled up)
       .checks = {{1, {{CORE_SR, SR_L, SR_L}}, {{0x0040, 0x7FFF}}},
                  // scale down, then scale up
                  {.ends = 1, .regs = {}, .x = {{0x0041, 0x0080}},
                   .set_first = {{CORE_SR, 0x0400}}},
                  {.ends = 1, .regs = {}, .x = {{0x0042, 0x0201}},
                   .set_first = {{CORE_SR, 0x0800}}}}},
      {.name = "add with parallel read",
       .regs = {{CORE_X0, 0x1000}, {CORE_R0, 0x0010}},
       .x = {{0x0010, 0x4444}},
       .p = {{0x0000, 0x8304}},  // add x0,a x:(r0)+,y0
       .checks = {{1, {{CORE_A2, 0}, {CORE_A1, 0x1000}, {CORE_A0, 0}, {CORE_Y0, 0x4444},
                       {CORE_R0, 0x0011}}}}},
      {.name = "parallel write moves the accumulator before the operation",
       .regs = {{CORE_Y0, 0x0200}, {CORE_R1, 0x0030}},
       .accs = {{CORE_A, 0, 0x0100, 0}},
       .p = {{0x0000, 0x9805}},  // add y0,a a,x:(r1)+
       .checks = {{1, {{CORE_A1, 0x0300}, {CORE_R1, 0x0031}}, {{0x0030, 0x0100}}}}},
      {.name = "parallel read into the alu source uses the old value",
       .regs = {{CORE_X0, 0x0001}, {CORE_R0, 0x0010}},
       .x = {{0x0010, 0x0100}},
       .p = {{0x0000, 0x8104}, {0x0001, 0x8104}},  // add x0,a x:(r0)+,x0 (twice)
       .checks = {{1, {{CORE_A1, 0x0001}, {CORE_X0, 0x0100}}},
                  {1, {{CORE_A1, 0x0101}}}}},
      {.name = "multiply with two parallel reads",
       // 0.5 each
       .regs = {{CORE_R0, 0x0010}, {CORE_R3, 0x0020}, {CORE_X0, 0x4000}, {CORE_Y0, 0x4000}},
       .x = {{0x0010, 0x1111}, {0x0020, 0x2222}},
       // mpy y0,x0,a x:(r0)+,y1 x:(r3)+,x1 (bits 10-8 = 7 selects y1 and x1)
       .p = {{0x0000, 0x6780}},
       // a1: 0.25
       .checks = {{1, {{CORE_A1, 0x2000}, {CORE_Y1, 0x1111}, {CORE_X1, 0x2222}, {CORE_R0, 0x0011},
                       {CORE_R3, 0x0021}}}}},
      {.name = "immediate logic on the status and mode registers",
       .p = {{0x0000, 0x1AFC},   // andi #$fc,mr
             {0x0001, 0x1F05},   // ori #$05,ccr
             {0x0002, 0x1C00}},  // andi #$00,omr ... omr keeps its high byte
       .checks = {{0, {{CORE_SR, 0x0300}}},
                  {1, {{CORE_SR, 0x0000}}},
                  {1, {{CORE_SR, 0x0005}}},
                  {1, {{CORE_OMR, 0x0000}}}}},
  });
}

// ---------------------------------------------------------------------------
// Flow of control.

TEST_F(CoreCycle, FlowOfControl) {
  run_cases({
      {.name = "short branches taken and not",
       .code = {{0x0000,
                 {
                     0x0B03,  // bra *+4
                     0x2001,  // move #<1,x0 (skipped)
                     0x0000, 0x0000,
                     0x2E82,  // beq *+3 (Z clear: not taken)
                     0x2002,  // move #<2,x0
                 }}},
       // the refill, then two instruction cycles; then beq at the target
       .checks = {{.ends = 1, .regs = {{CORE_PC, 0x0004}}, .cycles = 2 + 4},
                  {.ends = 1, .regs = {{CORE_PC, 0x0005}, {CORE_X0, 0}}, .cycles = 4},
                  {1, {{CORE_X0, 0x0002}}}}},
      {.name = "subroutine call and return",
       .start = 0x0010,
       .p = {{0x0010, 0x0A40},   // jsr <$40
             {0x0011, 0x2005},   // move #<5,x0
             {0x0040, 0x2107},   // move #<7,y0
             {0x0041, 0x0006}},  // rts
       .checks = {{1, {{CORE_PC, 0x0040}, {CORE_SP, 1}, {CS_SS_HIGH + 1, 0x0011},
                       {CS_SS_LOW + 1, 0x0300}}},
                  {2, {{CORE_Y0, 0x0007}, {CORE_SP, 0}, {CORE_PC, 0x0011}}},
                  {1, {{CORE_PC, 0x0012}, {CORE_X0, 0x0005}}}}},
      {.name = "long jumps and branch subroutine",
       .regs = {{CORE_SR, 0x0000}},
       .p = {{0x0000, 0x0134}, {0x0001, 0x0100},   // jmp >$100
             {0x0100, 0x0138}, {0x0101, 0x00FE},   // bsr >*+$100 (to $200)
             {0x0200, 0x0007}},                    // rti
       .checks = {{1, {{CORE_PC, 0x0100}}},
                  {1, {{CORE_PC, 0x0200}, {CORE_SP, 1}, {CS_SS_HIGH + 1, 0x0102}}},
                  // rti restores sr
                  {.ends = 1,
                   .regs = {{CORE_PC, 0x0102}, {CORE_SR, 0x0000}, {CORE_SP, 0}},
                   .set_first = {{CORE_SR, 0x0008}}}}},
      {.name = "bit field operations on memory and registers",
       .regs = {{CORE_R0, 0x0020}, {CORE_X0, 0x00F0}},
       .x = {{0x0020, 0x1234}},
       .p = {{0x0000, 0x14B0}, {0x0001, 0x58FF},   // bfset #$0ff0,x:(r0)
             {0x0002, 0x1430}, {0x0003, 0x50FF},   // bftsth #$0ff0,x:(r0)
             {0x0004, 0x1400}, {0x0005, 0x20F0}},  // bftstl #$00f0,x0
       .checks = {{1, {{CORE_SR, 0, SR_C}}, {{0x0020, 0x1FF4}}},  // not every bit was set
                  {1, {{CORE_SR, SR_C, SR_C}}},
                  {1, {{CORE_SR, 0, SR_C}, {CORE_X0, 0x00F0}}}}},  // bits 4-7 of x0 are set
  });
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
