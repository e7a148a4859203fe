// The disassembler: texts worked out by hand from the instruction field
// layouts, the addresses it reports, its modulo address arithmetic, and
// sweeps over every first word.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "sim/asm/disasm.h"
#include "sim/asm/disasm_internal.h"
#include "sim/engine/core/core_tables.h"
#include "sim/engine/device/device_type.h"

namespace {

struct result {
  std::string text;
  int length;
};

result dis(uint16_t w0, uint16_t w1 = 0, dis_ea_info* ea = nullptr) {
  const std::array<uint32_t, 3> words = {w0, w1, 0};
  std::array<char, DIS_TEXT_SIZE> text{};
  const int length = disassemble_word(words.data(), text.data(), 0, 0, ea);
  return {text.data(), length};
}

std::string data_word(uint16_t w) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "dc $%x", w);
  return buf;
}

struct text_case {
  uint16_t w0;
  uint16_t w1;
  const char* text;
  int length;
};

void expect_texts(const std::initializer_list<text_case>& cases) {
  for (const text_case& c : cases) {
    const result r = dis(c.w0, c.w1);
    EXPECT_EQ(r.text, c.text) << std::hex << c.w0 << " " << c.w1;
    EXPECT_EQ(r.length, c.length) << std::hex << c.w0 << " " << c.w1;
  }
}

// ---------------------------------------------------------------------------
// Texts, by decode-table row group.

TEST(DisasmText, ControlWordsOfTheLowRow) {
  expect_texts({
      {0x0000, 0, "nop ", 1},        {0x0001, 0, "debug ", 1},
      {0x0002, 0x0010, "do forever,*+$12", 2},
      {0x0003, 0, "dc $3", 0},       {0x0004, 0, "chkaau ", 1},
      {0x0005, 0, "swi ", 1},        {0x0006, 0, "rts ", 1},
      {0x0007, 0, "rti ", 1},        {0x0008, 0, "reset ", 1},
      {0x0009, 0, "enddo ", 1},      {0x000a, 0, "stop ", 1},
      {0x000b, 0, "wait ", 1},       {0x000c, 0, "dc $c", 0},
      {0x000d, 0, "dc $d", 0},       {0x000e, 0, "dc $e", 0},
      {0x000f, 0, "illegal", 1},     {0x0040, 0, "dc $40", 0},
      {0x0100, 0, "dc $100", 0},
  });
}

TEST(DisasmText, AluWithOneParallelMove) {
  expect_texts({
      {0x8000, 0, "add b,a x0,x:(r0)+", 1},
      {0x8008, 0, "add a,b x0,x:(r0)+", 1},
      {0x8800, 0, "add b,a a,x:(r0)+", 1},         // writing the destination is fine
      {0xedef, 0, "mac -y1,x1,b x:(r2)+n2,a0", 1},  // negated multiply, +nN, read
      {0x8011, 0, "move x0,x:(r0)+", 1},            // no ALU operation: no extra blank
      {0x8900, 0, "dc $8900", 0},                   // read into the add's destination
      // Partial destinations: or writes a1 only, inc24 a2:a1, cmp nothing.
      {0x8d24, 0, "or x0,a x:(r0)+,a0", 1},
      {0x8924, 0, "dc $8924", 0},
      {0x8d23, 0, "inc24 a x:(r0)+,a0", 1},
      {0x8954, 0, "cmp x0,a x:(r0)+,a", 1},
      {0x8921, 0, "dc $8921", 0},  // tst counts as writing the whole accumulator
      {0xffff, 0, "dc $ffff", 0},  // macr into b reading into b0
  });
}

TEST(DisasmText, AluWithTwoReads) {
  expect_texts({
      {0x6000, 0, "add x0,a x:(r0)+,b x:(r3)+,x0", 1},
      {0x7fbf, 0, "macr y1,x1,b x:(r1)+n1,y1 x:(r3)+n3,x1", 1},
      {0x6017, 0, "move x:(r0)+,b x:(r3)+,x0", 1},
      {0x6060, 0, "dc $6060", 0},  // the first address register cannot be r3
  });
}

TEST(DisasmText, AluWithAccumulatorAddressOrTransfer) {
  expect_texts({
      {0x5000, 0, "add b,a x0,x:(b1)", 1},
      {0x5108, 0, "add a,b x:(a1),x0", 1},
      {0x5b08, 0, "dc $5b08", 0},
      {0x4000, 0, "add b,a x0,b", 1},
      {0x4c01, 0, "clr a a,x1", 1},
      {0x4819, 0, "move b,a", 1},
      {0x4a11, 0, "nop ", 1},
      {0x4b19, 0, "nop ", 1},
      {0x4a00, 0, "add b,a ", 1},  // an ALU operation keeps its separator
      {0x4811, 0, "dc $4811", 0},  // b to b
  });
}

TEST(DisasmText, RegisterMoves) {
  expect_texts({
      {0x3896, 0, "move a,x:(b1)", 1},
      {0x3d1e, 0, "move x:(a1),lc", 1},
      {0x3b76, 0, "dc $3b76", 0},  // register code 27
      {0x3c14, 0x1234, "move x:>$1234,x0", 2},
      {0x3c1c, 0xffff, "move #>$ffff,x0", 2},
      {0x3874, 0x0010, "move y1,x:>$10", 2},
      {0x381c, 0x0010, "dc $381c", 0},
      {0x3c19, 0, "move x:-(r1),x0", 1},
      {0x3812, 0, "move x0,x:(r2+n2)", 1},
      {0x3800, 0, "move x0,x:(r0)", 1},
      {0x3c07, 0, "move x:(r3)+,x0", 1},
      {0x396e, 0, "move sp,x:(r2)+n2", 1},
      {0x3000, 0, "add b,a (r0)-", 1},
      {0x3711, 0, "move (r3)+n3", 1},
      {0x2800, 0, "move x0,x0", 1},
      {0x2b19, 0, "move ssh,ssl", 1},
      {0x2b5f, 0, "move la,n3", 1},
      {0x2b18, 0, "dc $2b18", 0},
      {0x2400, 0, "tfr3 a,x0 x0,x:(r0)+", 1},
      {0x2739, 0, "tfr3 b,y1 x:(r0)+n0,y0", 1},
      {0x2480, 0, "tfr3 a,x0 x0,x:(r2)+", 1},
      {0x2500, 0, "dc $2500", 0},
  });
}

TEST(DisasmText, ShortImmediatesAndShortAddresses) {
  expect_texts({
      {0x2005, 0, "move #<+$5,x0", 1},
      {0x23ff, 0, "move #<-$1,y1", 1},
      {0x2080, 0, "move #<-$80,x0", 1},
      {0x207f, 0, "move #<+$7f,x0", 1},
      {0x1c03, 0, "andi #$3,omr", 1},
      {0x1f80, 0, "ori #$80,ccr", 1},
      {0x1a0f, 0, "andi #$f,mr", 1},
      {0x1bff, 0, "ori #$ff,mr", 1},
      {0x1800, 0, "moves x0,x:<$0", 1},
      {0x19df, 0, "moves x:<$1f,b", 1},
      {0x1860, 0, "movep y0,x:<<$ffe0", 1},
      {0x19bf, 0, "movep x:<<$ffff,a", 1},
      {0x0f10, 0, "rep #$10", 1},
      {0x0c00, 0, "movep x:<<$ffe0,x:(r0)+", 1},
      {0x0dff, 0, "movep x:(r3)+n3,x:<<$ffff", 1},
  });
}

TEST(DisasmText, MultiplyAndExtendedAluOperations) {
  expect_texts({
      {0x1600, 0, "mpy x0,x0,a b,x:(r0)+n0 x0,b", 1},
      {0x17fa, 0, "mac a1,y0,b a,x:(r3)+n3 y1,a", 1},
      {0x1500, 0, "tfr2 a,x", 1},  {0x1509, 0, "tfr2 b,y", 1},
      {0x1503, 0, "adc y,a", 1},   {0x150a, 0, "adc x,b", 1},
      {0x1506, 0, "div x1,a", 1},  {0x150f, 0, "div y1,b", 1},
      {0x1514, 0, "tst2 x0", 1},   {0x1517, 0, "tst2 y1", 1},
      {0x1520, 0, "norm r0,a", 1}, {0x152b, 0, "norm r3,b", 1},
      {0x1530, 0, "asr4 a", 1},    {0x1539, 0, "asl4 b", 1},
      {0x1570, 0, "asr16 a", 1},   {0x1571, 0, "swap a", 1},
      {0x1579, 0, "swap b", 1},    {0x1550, 0, "zero a", 1},
      {0x155a, 0, "ext b", 1},     {0x1568, 0, "negc b", 1},
      {0x1580, 0, "impy x0,x0,a", 1},
      {0x15af, 0, "imac y1,x1,b", 1},
      {0x1590, 0, "dmacss y0,x0,a", 1},
      {0x15b1, 0, "dmacsu y1,x0,a", 1},
      {0x15be, 0, "dmacuu x1,y0,b", 1},
      {0x15c0, 0, "mpysu y0,x0,a", 1},
      {0x15c4, 0, "mpyuu y0,x0,a", 1},
      {0x15eb, 0, "macsu x1,y1,b", 1},
      {0x15e6, 0, "macuu x1,y0,a", 1},
      {0x15d2, 0, "shfl a1,y0,a", 1},
      {0x15d6, 0, "shfl x1,y0,a", 1},
      {0x15ff, 0, "shfr x1,y1,b", 1},
      {0x1524, 0, "dc $1524", 0},
      {0x1551, 0, "dc $1551", 0},
      {0x1594, 0, "dc $1594", 0},
      {0x15d0, 0, "dc $15d0", 0},
  });
}

TEST(DisasmText, BitFieldOperationsWithTheirMaskWord) {
  expect_texts({
      {0x1464, 0x20ff, "bftstl #$ff,x:<<$ffe4", 2},
      {0x1443, 0x900f, "bftsth #$f00,x:<$3", 2},
      {0x14c0, 0x4401, "bfclr #$10,x:<$0", 2},
      {0x14c0, 0x38aa, "bfset #$aa,x:<$0", 2},
      {0x14c0, 0x9255, "bfchg #$5500,x:<$0", 2},
      {0x1432, 0x2001, "bftstl #$1,x:(r2)", 2},
      {0x14b1, 0x3801, "bfset #$1,x:(r1)", 2},
      {0x1405, 0x2003, "bftstl #$3,b", 2},
      {0x1488, 0x3810, "bfset #$10,lc", 2},
      {0x1443, 0x2100, "dc $1443", 0},  // test mask with bits 11-8 set
      {0x1443, 0x00ff, "dc $1443", 0},  // no mask position
      {0x14c0, 0x2800, "dc $14c0", 0},  // no change operation
      {0x149b, 0x2001, "dc $149b", 0},  // register code 27
  });
}

TEST(DisasmText, TransfersLoopsAndRepeats) {
  expect_texts({
      {0x1000, 0, "tcc b,a", 1},
      {0x1011, 0, "tcc r0,r1", 1},
      {0x12bc, 0, "teq x0,b r0,r3", 1},
      {0x1001, 0, "dc $1001", 0},
      {0x0e10, 0x0010, "do #<$10,*+$12", 2},
      {0x0408, 0x0100, "do lc,*+$102", 2},
      {0x0418, 0x0100, "dc $418", 0},
      {0x00c1, 0x0020, "do x:(r1),*+$22", 2},
      {0x0425, 0, "rep b", 1},
      {0x00e3, 0, "rep x:(r3)", 1},
      {0x005a, 0, "debugeq", 1},
      {0x015f, 0, "reple", 1},
      {0x011b, 0, "brkmi", 1},
  });
}

TEST(DisasmText, BranchesAndJumps) {
  expect_texts({
      {0x2c00, 0, "bcc <*+$1", 1},
      {0x2ebe, 0, "beq <*-$1", 1},
      {0x2c3f, 0, "bcc <*+$0", 1},
      {0x2c1f, 0, "bcc <*+$20", 1},
      {0x2c20, 0, "bcc <*-$1f", 1},
      {0x0b00, 0, "bra <*+$1", 1},
      {0x0bfe, 0, "bra <*-$1", 1},
      {0x0b7f, 0, "bra <*+$80", 1},
      {0x0b80, 0, "bra <*-$7f", 1},
      {0x0a42, 0, "jsr <$42", 1},
      {0x073a, 0x0003, "beq >*+$5", 2},
      {0x0712, 0xfff0, "bsne >*-$e", 2},
      {0x0720, 0, "bcc r0", 1},
      {0x06c5, 0, "jsec r3", 1},
      {0x063f, 0x1234, "jle >$1234", 2},
      {0x0611, 0x0000, "jsge >$0", 2},
      {0x013c, 0xfffc, "bra >*-$2", 2},
      {0x0138, 0x0010, "bsr >*+$12", 2},
      {0x0134, 0xabcd, "jmp >$abcd", 2},
      {0x0130, 0xabcd, "jsr >$abcd", 2},
      {0x012d, 0, "bra r1", 1},
      {0x0122, 0, "jsr r2", 1},
  });
}

TEST(DisasmText, ProgramMemoryMovesAndLea) {
  expect_texts({
      {0x0230, 0, "move p:(r0)+,x:(r0)+", 1},
      {0x037e, 0, "move x:(r1)+n1,p:(r2)+n2", 1},
      {0x0200, 0, "move x0,p:(r0)", 1},
      {0x0208, 0, "move x0,p:(r0)+", 1},
      {0x03dd, 0, "move p:(r3)+n3,b", 1},
      {0x01f5, 0, "lea (r1)+,r3", 1},
      {0x018e, 0, "lea (r2)+n2,n0", 1},
      {0x0180, 0, "dc $180", 0},
  });
}

TEST(DisasmText, InstructionAfterAnR2OffsetPrefix) {
  expect_texts({
      {0x0505, 0x8000, "add b,a x0,x:(r2+$5)", 2},
      {0x05ff, 0x3c00, "move x:(r2+$ffff),x0", 2},
      {0x0580, 0x0305, "move p:(r2+$ff80),b", 2},
      {0x0501, 0x38e0, "move b0,x:(r2+$1)", 2},
      {0x0505, 0x8900, "dc $505", 0},  // read into the ALU destination
      {0x0505, 0x0000, "dc $505", 0},  // no prefixable form
      {0x0505, 0x0505, "dc $505", 0},
  });
}

// ---------------------------------------------------------------------------
// Access flags and addresses.

dis_ea_info machine() {
  dis_ea_info ea;
  ea.pc = 0x100;
  ea.r[0] = 0x20;
  ea.r[1] = 0x30;
  ea.r[2] = 0x40;
  ea.r[3] = 0x50;
  ea.a1 = 0x1111;
  ea.b1 = 0x2222;
  for (int i = 0; i < 4; ++i) {
    ea.n[i] = 3;
    ea.m[i] = 0xFFFF;
  }
  return ea;
}

struct access_case {
  uint16_t w0;
  uint16_t w1;
  uint32_t flags;
  uint32_t p, x, x2;  // checked where flagged
};

TEST(DisasmAccess, AddressesFollowTheAddressingOfEachForm) {
  const uint32_t P = DIS_ACCESS_P, X = DIS_ACCESS_X, X2 = DIS_ACCESS_X2;
  const access_case cases[] = {
      {0xedef, 0, X, 0, 0x40, 0},          // (r2)+n2: before the update
      {0x7fbf, 0, X | X2, 0, 0x30, 0x50},  // dual read: r1, then r3
      {0x5108, 0, X, 0, 0x1111, 0},        // (a1)
      {0x5000, 0, X, 0, 0x2222, 0},        // (b1)
      {0x3c14, 0x1234, X, 0, 0x1234, 0},   // long absolute
      {0x3c19, 0, X, 0, 0x2f, 0},          // -(r1)
      {0x3812, 0, X, 0, 0x43, 0},          // (r2+n2)
      {0x3c07, 0, X, 0, 0x50, 0},          // (r3)+
      {0x19df, 0, X, 0, 0x1f, 0},          // short absolute
      {0x0dff, 0, X | X2, 0, 0x50, 0xffff},
      {0x2c00, 0, P, 0x101, 0, 0},         // short branch forward
      {0x2ebe, 0, P, 0xff, 0, 0},          // and back
      {0x0b80, 0, P, 0x100 - 0x7f, 0, 0},
      {0x0a42, 0, P, 0x42, 0, 0},
      {0x073a, 0x0003, P, 0x105, 0, 0},    // w1 + pc + 2
      {0x0712, 0xfff0, P, 0xf2, 0, 0},     // wraps in 16 bits
      {0x0720, 0, P, 0x120, 0, 0},         // b<cc> rN: pc + rN
      {0x06c5, 0, P, 0x50, 0, 0},          // j<cc> rN: rN
      {0x012d, 0, P, 0x130, 0, 0},
      {0x0122, 0, P, 0x40, 0, 0},
      {0x0134, 0xabcd, P, 0xabcd, 0, 0},
      {0x0e10, 0x0010, P, 0x112, 0, 0},    // loop end
      {0x00c1, 0x0020, P | X, 0x122, 0x30, 0},
      {0x037e, 0, P | X, 0x40, 0x30, 0},   // x: at r1, p: at r2
      {0x03dd, 0, P, 0x50, 0, 0},
      {0x01f5, 0, X, 0, 0x31, 0},          // lea reports what it computes
      {0x018e, 0, X, 0, 0x43, 0},
      {0x0505, 0x8000, X, 0, 0x45, 0},     // r2 + offset
      {0x05ff, 0x3c00, X, 0, 0x3f, 0},
      {0x0580, 0x0305, P, 0xffc0, 0, 0},
      {0x1464, 0x20ff, X, 0, 0xffe4, 0},
      {0x1432, 0x2001, X, 0, 0x40, 0},
      {0x0000, 0, 0, 0, 0, 0},
      {0x2800, 0, 0, 0, 0, 0},
      {0x8900, 0, 0, 0, 0, 0},             // a data word makes no accesses
  };
  for (const access_case& c : cases) {
    dis_ea_info ea = machine();
    const result r = dis(c.w0, c.w1, &ea);
    EXPECT_EQ(ea.length, static_cast<uint32_t>(r.length)) << std::hex << c.w0;
    EXPECT_EQ(ea.access_flags, c.flags) << std::hex << c.w0;
    if (c.flags & P) {
      EXPECT_EQ(ea.p_address, c.p) << std::hex << c.w0;
    }
    if (c.flags & X) {
      EXPECT_EQ(ea.x_address, c.x) << std::hex << c.w0;
    }
    if (c.flags & X2) {
      EXPECT_EQ(ea.x2_address, c.x2) << std::hex << c.w0;
    }
  }
}

TEST(DisasmAccess, UnflaggedAddressesAreLeftAlone) {
  dis_ea_info ea = machine();
  ea.p_address = 0xAAAA;
  ea.x2_address = 0xBBBB;
  dis(0x3c07, 0, &ea);
  EXPECT_EQ(ea.p_address, 0xAAAAu);
  EXPECT_EQ(ea.x2_address, 0xBBBBu);
}

TEST(DisasmAccess, PreDecrementAndIndexRespectTheModifier) {
  dis_ea_info ea = machine();
  ea.r[1] = 0x20;
  ea.m[1] = 4;  // modulo 5: 0x20-0x24
  dis(0x3c19, 0, &ea);  // x:-(r1)
  EXPECT_EQ(ea.x_address, 0x24u);
  ea.r[2] = 0x22;
  ea.n[2] = 3;
  ea.m[2] = 4;
  dis(0x3812, 0, &ea);  // x:(r2+n2)
  EXPECT_EQ(ea.x_address, 0x20u);
}

TEST(DisasmModulo, LinearModuloAndBitReversed) {
  // Linear.
  EXPECT_EQ(dis_modulo_step(5, 1, 0xFFFF, true), 4u);
  EXPECT_EQ(dis_modulo_step(0, 1, 0xFFFF, true), 0xFFFFu);
  EXPECT_EQ(dis_modulo_step(0xFFFF, 2, 0xFFFF, false), 1u);
  // Modulo 8 over 0x10-0x17.
  EXPECT_EQ(dis_modulo_step(0x17, 1, 7, false), 0x10u);
  EXPECT_EQ(dis_modulo_step(0x10, 1, 7, true), 0x17u);
  EXPECT_EQ(dis_modulo_step(0x13, 2, 7, false), 0x15u);
  // Modulo 5 over 0x20-0x24.
  EXPECT_EQ(dis_modulo_step(0x24, 1, 4, false), 0x20u);
  EXPECT_EQ(dis_modulo_step(0x20, 1, 4, true), 0x24u);
  EXPECT_EQ(dis_modulo_step(0x22, 3, 4, false), 0x20u);
  EXPECT_EQ(dis_modulo_step(0x21, 0xFFFE, 4, false), 0x24u);  // a negative nN
  // Bit-reversed: 0, 8, 4, 12 ... for a step of 8.
  EXPECT_EQ(dis_modulo_step(0, 8, 0, false), 8u);
  EXPECT_EQ(dis_modulo_step(8, 8, 0, false), 4u);
  EXPECT_EQ(dis_modulo_step(4, 8, 0, false), 12u);
}

// ---------------------------------------------------------------------------
// Sweeps over every first word.

// Rows whose instructions have a second word (row 47 only for do forever).
const std::set<int> long_rows = {5, 22, 23, 24, 27, 31, 33, 34, 36, 41, 42, 46};

TEST(DisasmSweep, EveryFirstWordGivesALineOrADataWord) {
  const uint16_t seconds[] = {0x0000, 0x20ff, 0x8000, 0xffff, 0x3c00, 0x4401, 0x0305};
  for (const uint16_t w1 : seconds) {
    for (uint32_t w = 0; w <= 0xFFFF; ++w) {
      const uint16_t w0 = static_cast<uint16_t>(w);
      dis_ea_info ea = machine();
      const result r = dis(w0, w1, &ea);
      ASSERT_TRUE(r.length >= 0 && r.length <= 2) << std::hex << w0;
      ASSERT_FALSE(r.text.empty()) << std::hex << w0;
      ASSERT_LE(r.text.size(), DIS_LINE_MAX);
      ASSERT_EQ(r.length == 0, r.text == data_word(w0)) << std::hex << w0 << " " << r.text;
      ASSERT_EQ(ea.length, static_cast<uint32_t>(r.length));
      ASSERT_EQ(ea.access_flags & ~(DIS_ACCESS_P | DIS_ACCESS_X | DIS_ACCESS_X2), 0u);
      for (char ch : r.text) ASSERT_FALSE(std::isupper(static_cast<unsigned char>(ch))) << r.text;
      // Texts that no decoder row produces.
      ASSERT_NE(r.text.rfind("movec", 0), 0u) << r.text;
      ASSERT_NE(r.text.rfind("joinb", 0), 0u) << r.text;
      ASSERT_NE(r.text, "swi");
      if (r.length == 0) continue;
      const int row = dis_row_index(w0);
      const bool is_long = long_rows.count(row) != 0 || w0 == 0x0002;
      ASSERT_EQ(r.length, is_long ? 2 : 1) << std::hex << w0 << " row " << row;
    }
  }
}

TEST(DisasmSweep, OneWordInstructionsNeverReadTheSecondWord) {
  for (uint32_t w = 0; w <= 0xFFFF; ++w) {
    const uint16_t w0 = static_cast<uint16_t>(w);
    const result a = dis(w0, 0x0000);
    if (a.length != 1) continue;
    const result b = dis(w0, 0xA5F7);
    ASSERT_EQ(a.text, b.text) << std::hex << w0;
    ASSERT_EQ(b.length, 1);
  }
}

// The core marks illegal exactly the words that its instruction-flag table
// leaves to the catch-all row. The disassembler's catch-all row prints the
// same words as data. Besides those, the core's table has no rows for
// 0x0003 and 0x000c-0x000f, which the disassembler's control-word row
// covers: 0x0003 and 0x000c-0x000e print as data, 0x000f as "illegal" (the
// instruction that raises the illegal-instruction trap on purpose).
TEST(DisasmSweep, IllegalWordsAgreeWithTheCoreFlagTable) {
  const std::set<uint16_t> named = {0x0003, 0x000c, 0x000d, 0x000e, 0x000f};
  const int catch_all = static_cast<int>(DIS_DECODE_ROWS) - 1;
  for (uint32_t w = 0; w <= 0xFFFF; ++w) {
    const uint16_t w0 = static_cast<uint16_t>(w);
    const bool core_illegal = (instr_flags_lookup(w0, false) & IFLAG_ILLEGAL) != 0;
    const bool dis_illegal = dis_row_index(w0) == catch_all || named.count(w0) != 0;
    ASSERT_EQ(core_illegal, dis_illegal) << std::hex << w0;
    if (dis_row_index(w0) == catch_all) {
      ASSERT_EQ(dis(w0).text, data_word(w0));
    }
  }
  EXPECT_EQ(dis(0x000f).text, "illegal");
}

TEST(DisasmSweep, NullArgumentsAreRefused) {
  std::array<char, DIS_TEXT_SIZE> text{};
  EXPECT_EQ(disassemble_word(nullptr, text.data(), 0, 0, nullptr), 0);
  const uint32_t words[3] = {0, 0, 0};
  EXPECT_EQ(disassemble_word(words, nullptr, 0, 0, nullptr), 0);
}

// ---------------------------------------------------------------------------
// The device types reach the disassembler through their family records.

TEST(DisasmFamily, EveryTypeCarriesTheDisassembler) {
  for (int t = 0; t < TYPE_COUNT; ++t) {
    ASSERT_NE(family_descs[t], nullptr);
    ASSERT_NE(family_descs[t]->disassemble, nullptr);
    const uint32_t words[3] = {0x0e10, 0x0010, 0};
    std::array<char, DIS_TEXT_SIZE> text{};
    EXPECT_EQ(family_descs[t]->disassemble(words, text.data(), 0, 0, nullptr), 2);
    EXPECT_STREQ(text.data(), "do #<$10,*+$12");
  }
}

}  // namespace
