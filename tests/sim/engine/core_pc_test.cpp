// When pc moves on: the last instruction cycle of an instruction names its
// successor (in its first device cycle, marking pc written), so at every
// instruction end pc is the next instruction to run: after one- and
// two-word instructions, a taken jump, the passes of a repeat, a DO loop's
// last instruction, a pc write and an interrupt taken at the boundary.
#include <gtest/gtest.h>

#include "core_fixture.h"
#include "sim/engine/core/core_state.h"

namespace {

constexpr uint32_t NOP = 0x0000;
constexpr uint32_t INC_A = 0x4A22;
constexpr uint32_t INC_B = 0x4A2A;

class CorePc : public core_fixture {
 protected:
  // One device cycle; pc-written and the end flags as the run loop sees them.
  void cycle() {
    cur_inst->flags &= ~(DEV_INSTR_END | DEV_INSTR_END2 | DEV_PC_WRITTEN);
    clock(1);
  }
  bool ended() const { return (cur_inst->flags & (DEV_INSTR_END | DEV_INSTR_END2)) != 0; }
  bool pc_written() const { return (cur_inst->flags & DEV_PC_WRITTEN) != 0; }
};

TEST_F(CorePc, OneWordInstructionNamesTheNextInItsOnlyCycle) {
  boot(0x0010);
  program(0x0010, {INC_A, NOP});
  cycle();
  cycle();  // the refill: pc stays where it was written
  EXPECT_FALSE(ended());
  EXPECT_EQ(reg(CORE_PC), 0x0010u);
  // inc a: 257/258 then 264/280. The next pc comes with the first half.
  cycle();
  EXPECT_FALSE(ended());
  EXPECT_TRUE(pc_written());
  EXPECT_EQ(reg(CORE_PC), 0x0011u);
  EXPECT_EQ(cur_inst->pc, 0x0011u);
  EXPECT_EQ(reg(CORE_A0), 1u);
  cycle();
  EXPECT_TRUE(ended());
  EXPECT_FALSE(pc_written());  // already named
  EXPECT_EQ(reg(CORE_PC), 0x0011u);
  EXPECT_EQ(cur_inst->cycles, 4u);
  EXPECT_EQ(cur_inst->instructions, 1u);
}

TEST_F(CorePc, TwoWordInstructionNamesTheNextInItsLastCycle) {
  boot(0x0010);
  program(0x0010, {0x3C9C, 0x1234, NOP});  // move #>$1234,a; nop
  cycle();
  cycle();  // the refill
  // Two instruction cycles: the second word is fetched in the first, the
  // next opcode in the second.
  cycle();
  EXPECT_EQ(reg(CORE_PC), 0x0010u);
  EXPECT_FALSE(pc_written());
  cycle();
  EXPECT_FALSE(ended());
  EXPECT_EQ(reg(CORE_PC), 0x0010u);
  cycle();
  EXPECT_TRUE(pc_written());
  EXPECT_EQ(reg(CORE_PC), 0x0012u);
  EXPECT_FALSE(ended());
  cycle();
  EXPECT_TRUE(ended());
  EXPECT_EQ(reg(CORE_A1), 0x1234u);
  EXPECT_EQ(cur_inst->cycles, 6u);
}

TEST_F(CorePc, TakenJumpNamesItsTargetNotTheWordAfterIt) {
  run_case({.name = "jmp >$40; inc b",
            .start = 0x0010,
            .code = {{0x0010, {0x0134, 0x0040, INC_B}}, {0x0040, {INC_A, NOP}}},
            // the target has not run
            .checks = {{.ends = 1, .regs = {{CORE_PC, 0x0040}, {CORE_A0, 0}}, .cycles = 2 + 4},
                       {1, {{CORE_PC, 0x0041}, {CORE_A0, 1}, {CORE_B0, 0}}}}});
}

TEST_F(CorePc, RepeatedInstructionKeepsPcUntilItsLastPass) {
  boot(0x0010);
  program(0x0010, {0x0F02, INC_A, INC_B});  // rep #2; inc a; inc b
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0011u);
  EXPECT_EQ(step(), 2);
  EXPECT_TRUE(cur_inst->flags & DEV_INSTR_END2);
  EXPECT_FALSE(pc_written());
  EXPECT_EQ(reg(CORE_PC), 0x0011u);
  EXPECT_EQ(reg(CORE_A0), 1u);
  EXPECT_EQ(step(), 2);
  EXPECT_TRUE(cur_inst->flags & DEV_INSTR_END);
  EXPECT_EQ(reg(CORE_PC), 0x0012u);
  EXPECT_EQ(reg(CORE_A0), 2u);
  EXPECT_EQ(reg(CORE_B0), 0u);
}

TEST_F(CorePc, LastInstructionOfADoLoopNamesTheLoopStart) {
  run_case({.name = "do #2,$14; inc a; inc b; nop",
            .start = 0x0010,
            .code = {{0x0010, {0x0E02, 0x0002, INC_A, INC_B, NOP}}},
            .checks = {{1, {{CORE_PC, 0x0012}}},
                       {1, {{CORE_PC, 0x0013}}},
                       // inc b at la: back to the start
                       {1, {{CORE_PC, 0x0012}, {CORE_LC, 1}, {CORE_B0, 1}}},
                       // the last pass leaves the loop
                       {2, {{CORE_PC, 0x0014}, {CORE_SR, 0, SR_LOOP}, {CORE_A0, 2},
                            {CORE_B0, 2}}}}});
}

TEST_F(CorePc, InterruptTakenAtAnEndNamesTheVector) {
  boot(0x0010);
  program(0x000A, {INC_B, NOP});   // IRQA's two vector words
  set(CORE_IPR, 0x0005);           // IRQA level 1, edge-triggered
  set(CORE_SR, 0x0000);
  for (uint32_t a = 0x0010; a < 0x0018; ++a) program(a, {INC_A});
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0011u);
  pin_low(CTL_IRQA);
  steps(1);  // inc a at $11; the request is taken at its end
  EXPECT_EQ(reg(CORE_PC), 0x000Au);
  EXPECT_TRUE(pc_written());
  EXPECT_EQ(reg(CORE_A0), 2u);
  EXPECT_EQ(reg(CORE_B0), 0u);  // the vector has not run
  steps(2);
  EXPECT_EQ(reg(CORE_B0), 1u);
  EXPECT_EQ(reg(CORE_PC), 0x0012u);  // the word dropped at $12 runs next
  EXPECT_EQ(reg(CORE_A0), 2u);
}

TEST_F(CorePc, PcWriteNamesTheNewAddressWithoutAnEnd) {
  boot(0x0010);
  program(0x0010, {INC_A, INC_A});
  program(0x0030, {INC_B, NOP});
  steps(1);
  set(CORE_PC, 0x0030);
  EXPECT_EQ(reg(CORE_PC), 0x0030u);
  cycle();
  cycle();  // the refill gives no end and leaves pc alone
  EXPECT_FALSE(ended());
  EXPECT_FALSE(pc_written());
  EXPECT_EQ(reg(CORE_PC), 0x0030u);
  steps(1);
  EXPECT_EQ(reg(CORE_PC), 0x0031u);
  EXPECT_EQ(reg(CORE_B0), 1u);
  EXPECT_EQ(reg(CORE_A0), 1u);
}

// The demo's FIR filter: a DO loop of eight passes around a repeated mac.
// At every end, the instruction that runs next starts at the pc shown.
TEST_F(CorePc, EveryInstructionRunsFromThePcNamedAtTheEndBeforeIt) {
  boot(0x0100);
  program(0x0100, {0x3E3C, 0x0000, 0x3E5C, 0x0080, 0x0E08, 0x000A,  // r1, r2, do #8,$110
                   0x2A30, 0x3E7C, 0x0040, 0x8301, 0x3C07, 0x0F03,  // ... rep #3
                   0x6184, 0x4AB4, 0x3886, 0x01D5, 0x0001});          // mac ... lea; debug
  const uint32_t coefficients[4] = {0x4000, 0x2000, 0x1000, 0x0800};  // 0.5 .. 0.0625
  for (uint32_t k = 0; k < 4; ++k) xmem(0x0040 + k, coefficients[k]);
  xmem(0x0003, 0x4000);  // one pulse of 0.5
  steps(1);
  int ends = 1;
  while (reg(CORE_PC) != 0x0110 && ends < 200) {
    const uint32_t named = reg(CORE_PC);
    cycle();
    ASSERT_EQ(core_word(CS_EXECUTE_ADDR), named) << "after end " << ends;
    if (!ended()) step();
    ++ends;
  }
  // 3 before the loop, 8 passes of move, move, clr, move, rep, 3 macs,
  // macr, move, lea; the debug at $110 has not run.
  EXPECT_EQ(ends, 91);
  EXPECT_EQ(cur_inst->instructions, 91u);
  EXPECT_EQ(reg(CORE_SR) & SR_LOOP, 0u);
  EXPECT_EQ(reg(CORE_R1), 0x0008u);
  EXPECT_EQ(xread(0x0080), 0x0400u);  // 0.0625 * 0.5
  EXPECT_EQ(xread(0x0081), 0x0800u);
  EXPECT_EQ(xread(0x0083), 0x2000u);  // 0.5 * 0.5
  EXPECT_EQ(xread(0x0084), 0u);
}

}  // namespace
