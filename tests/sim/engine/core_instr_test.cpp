// The instruction classes one by one through the clocked core: transfers,
// conditional transfers, lea, program-memory and peripheral moves, norm,
// the LMS form, loops with register and memory counts, brk, and the
// register and conditional forms of branches and subroutine calls.
#include <gtest/gtest.h>

#include "core_fixture.h"
#include "sim/engine/core/core_state.h"

namespace {

constexpr uint32_t INC_A = 0x4A22;
constexpr uint32_t INC_B = 0x4A2A;

class CoreInstr : public core_fixture {};

TEST_F(CoreInstr, TransfersAndAddressArithmetic) {
  run_cases_at(0x0010, {
      {.name = "lea loads the updated address",
       .regs = {{CORE_R0, 0x0010}, {CORE_N0, 0x0005}, {CORE_R2, 0x0020}},
       .p = {{0x0010, 0x01DC},   // lea (r0)+n0,r1
             {0x0011, 0x01BA}},  // lea (r2)-,n3
       .checks = {{2, {{CORE_R1, 0x0015}, {CORE_R0, 0x0010}, {CORE_N3, 0x001F},
                       {CORE_R2, 0x0020}}}}},
      {.name = "tfr2 moves the whole accumulator, limited",
       .accs = {{CORE_A, 0x00, 0x1234, 0x5678}, {CORE_B, 0x01, 0x0000, 0x0000}},
       .p = {{0x0010, 0x1500},   // tfr2 a,x
             {0x0011, 0x1509}},  // tfr2 b,y
       .checks = {{1, {{CORE_X1, 0x1234}, {CORE_X0, 0x5678}, {CORE_SR, 0, SR_L}}},
                  {1, {{CORE_Y1, 0x7FFF}, {CORE_Y0, 0xFFFF}, {CORE_SR, SR_L, SR_L}}}}},
      {.name = "conditional transfers",
       .regs = {{CORE_SR, 0x0000}, {CORE_X0, 0x8000}, {CORE_R0, 0x0444}},
       .accs = {{CORE_B, 0x12, 0x3456, 0x789A}},
       .p = {{0x0010, 0x12A4},   // teq x0,a r0,r2 (Z clear: nothing)
             {0x0011, 0x10A4},   // tne x0,a r0,r2
             {0x0012, 0x1008}},  // tcc a,b
       .checks = {{1, {{CORE_A1, 0}, {CORE_R2, 0}}},
                  {1, {{CORE_A2, 0xFF}, {CORE_A1, 0x8000}, {CORE_A0, 0}, {CORE_R2, 0x0444}}},
                  // the whole of a into b
                  {1, {{CORE_B2, 0xFF}, {CORE_B1, 0x8000}, {CORE_B0, 0}}}}},
      {.name = "tfr3 with a parallel read",
       .regs = {{CORE_Y0, 0x1000}, {CORE_R1, 0x0030}},
       .x = {{0x0030, 0x0777}},
       .p = {{0x0010, 0x2550}},  // tfr3 y0,a x:(r1)+,x0
       .checks = {{1, {{CORE_A1, 0x1000}, {CORE_X0, 0x0777}, {CORE_R1, 0x0031}}}}},
      {.name = "peripheral moves between memory and the I/O window",
       .regs = {{CORE_R0, 0x0040}},
       .x = {{0x0040, 0x0555}},
       .p = {{0x0010, 0x0D0F},   // movep x:(r0)+,x:<<$ffef (the timer's tpr)
             {0x0011, 0x0C0F}},  // movep x:<<$ffef,x:(r0)+
       .checks = {{1, {}, {{0xFFEF, 0x0555}}},
                  {1, {{CORE_R0, 0x0042}}, {{0x0041, 0x0555}}}}},
      {.name = "program memory moves",
       .regs = {{CORE_R0, 0x0040}, {CORE_R1, 0x0300}, {CORE_R2, 0x0310}, {CORE_R3, 0x0320},
                {CORE_Y0, 0x4567}},
       .x = {{0x0040, 0xBEEF}},
       .p = {{0x0310, 0xCAFE},
             {0x0010, 0x0331},   // move x:(r0)+,p:(r1)+
             {0x0011, 0x038B},   // move p:(r2)+,y1
             {0x0012, 0x02C9}},  // move y0,p:(r3)+
       .checks = {{1, {{CORE_R0, 0x0041}, {CORE_R1, 0x0301}}, {}, {{0x0300, 0xBEEF}}},
                  {1, {{CORE_Y1, 0xCAFE}, {CORE_R2, 0x0311}}},
                  {1, {{CORE_R3, 0x0321}}, {}, {{0x0320, 0x4567}}}}},
  });
}

TEST_F(CoreInstr, AluForms) {
  run_cases_at(0x0010, {
      {.name = "norm shifts an unnormalized accumulator",
       .regs = {{CORE_SR, SR_U}, {CORE_R0, 5}},
       .accs = {{CORE_A, 0x00, 0x2000, 0x0000}},
       .p = {{0x0010, 0x1520}},  // norm r0,a
       .checks = {{1, {{CORE_A1, 0x4000}, {CORE_R0, 4}}}}},
      {.name = "lms form writes the other accumulator and loads it",
       .regs = {{CORE_X0, 0x4000}, {CORE_Y0, 0x4000}, {CORE_X1, 0x0055}, {CORE_R1, 0x0050},
                {CORE_N1, 0x0003}},
       .accs = {{CORE_B, 0x00, 0x0123, 0x0000}},
       .p = {{0x0010, 0x1664}},  // mpy y0,x0,a b,x:(r1)+n1 x1,b
       .checks = {{1, {{CORE_A1, 0x2000}, {CORE_R1, 0x0053}, {CORE_B1, 0x0055}, {CORE_B0, 0}},
                   {{0x0050, 0x0123}}}}},
      {.name = "alu with register transfer and address update",
       .regs = {{CORE_X0, 0x0010}, {CORE_R2, 0x0008}, {CORE_N2, 0x0010}},
       .accs = {{CORE_A, 0x00, 0x0200, 0x0000}},
       .p = {{0x0010, 0x440C},   // add x0,b a,x0
             {0x0011, 0x3222},   // inc a (r2)-
             {0x0012, 0x3622}},  // inc a (r2)+n2
       .checks = {{1, {{CORE_B1, 0x0010}, {CORE_X0, 0x0200}}},  // b1: the old x0
                  {1, {{CORE_R2, 0x0007}, {CORE_A0, 1}}},
                  {1, {{CORE_R2, 0x0017}, {CORE_A0, 2}}}}},
      {.name = "chkaau reports the address flags",
       .regs = {{CORE_SR, 0x0000}, {CORE_M0, 9}, {CORE_R0, 0x0009}},
       .p = {{0x0010, 0x3C04},   // move x:(r0)+,x0 (wraps to 0)
             {0x0011, 0x0004}},  // chkaau
       .checks = {{2, {{CORE_SR, SR_V | SR_Z, SR_V | SR_Z | SR_N}}}}},
  });
}

TEST_F(CoreInstr, LoopsAndBreaks) {
  run_cases_at(0x0010, {
      {.name = "loop counts from registers and memory",
       .regs = {{CORE_X0, 2}, {CORE_R0, 0x0060}},
       .x = {{0x0060, 3}},
       .p = {{0x0010, 0x0400}, {0x0011, 0x0001},  // do x0,$13
             {0x0012, INC_A},
             {0x0013, 0x00C0}, {0x0014, 0x0001},  // do x:(r0),$16
             {0x0015, INC_B},
             {0x0016, 0x00E0},  // rep x:(r0)
             {0x0017, INC_A}},
       .checks = {{1 + 2, {{CORE_A0, 2}}},
                  {1 + 3, {{CORE_B0, 3}}},
                  {1 + 3, {{CORE_A0, 5}, {CORE_SP, 0}}}}},
      {.name = "break leaves the loop at its end",
       .regs = {{CORE_SR, 0x0000}},
       .p = {{0x0010, 0x0E05}, {0x0011, 0x0002},  // do #5,$14
             {0x0012, INC_A},
             {0x0013, 0x0110},  // brkcc
             {0x0014, INC_B}},
       .checks = {{3, {{CORE_SP, 0}, {CORE_SR, 0, SR_LOOP}, {CORE_PC, 0x0014}}},
                  {1, {{CORE_PC, 0x0015}, {CORE_A0, 1}, {CORE_B0, 1}}}}},
  });
}

TEST_F(CoreInstr, BranchesAndCalls) {
  run_cases_at(0x0010, {
      {.name = "register forms of branches and calls",
       .regs = {{CORE_SR, 0x0000}, {CORE_R1, 0x0020}},
       .p = {{0x0010, 0x0121},   // jsr r1 -> $20
             {0x0020, 0x0129},   // bsr r1 -> $40
             {0x0040, 0x0760},   // bcc r1 -> $60
             {0x0060, 0x0640}},  // jscc r1 -> $20
       .checks = {{1, {{CORE_PC, 0x0020}, {CORE_SP, 1}, {CS_SS_HIGH + 1, 0x0011}}},
                  {1, {{CORE_PC, 0x0040}, {CORE_SP, 2}, {CS_SS_HIGH + 2, 0x0021}}},
                  {1, {{CORE_PC, 0x0060}, {CORE_SP, 2}}},
                  {1, {{CORE_PC, 0x0020}, {CORE_SP, 3}, {CS_SS_HIGH + 3, 0x0061}}}}},
      {.name = "long conditional subroutine branch",
       .regs = {{CORE_SR, SR_C}},
       .p = {{0x0010, 0x0710}, {0x0011, 0x0010},   // bscc >*+$12 (C set: not taken)
             {0x0012, 0x0718}, {0x0013, 0x0010}},  // bscs >*+$12 -> $24
       .checks = {{1, {{CORE_SP, 0}, {CORE_PC, 0x0012}}},
                  {1, {{CORE_PC, 0x0024}, {CORE_SP, 1}, {CS_SS_HIGH + 1, 0x0014}}}}},
  });
}

}  // namespace
