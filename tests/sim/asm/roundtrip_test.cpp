// The assembler and the disassembler agree: every instruction the
// disassembler prints assembles, at the same address, back into its own
// words, or into words that print the same text when the text has more
// than one encoding (the rules below say which and why).
#include <array>
#include <cstdint>
#include <sstream>
#include <string>

#include "asm_fixture.h"
#include "sim/asm/disasm.h"
#include "sim/asm/disasm_internal.h"

namespace {

struct listing {
  std::string text;
  int length;
};

listing disassemble(uint16_t w0, uint16_t w1) {
  const uint32_t words[3] = {w0, w1, 0};
  char text[DIS_TEXT_SIZE] = {};
  const int length = disassemble_word(words, text, 0, 0, nullptr);
  return {text, length};
}

// Decode rows by their value in the first-match table.
int row_of(uint16_t w) { return dis_row_index(w); }
constexpr int ROW_ALU_XMOVE = 0, ROW_DUAL_READ = 1, ROW_ALU_ACC = 2, ROW_ALU_TRANSFER = 3;
constexpr int ROW_ALU_UPDATE = 8, ROW_PREFIX = 34;

// Rule 1: bits that the decoder never reads print nothing; the assembler
// leaves them clear. Per decode row, its unread bits.
uint16_t unread_bits(uint16_t w) {
  struct row_bits {
    int row;
    uint16_t bits;
  };
  static constexpr row_bits rows[] = {
      {4, 0x0001},   // move reg,x:(a1): bit 0
      {5, 0x0001},   // the long move: bit 0
      {23, 0x000C},  // bit-field on x:(rN): bits 3-2
      {31, 0x00C0},  // long b<cc>/bs<cc>: bits 7-6
      {33, 0x00C0},  // long j<cc>/js<cc>: bits 7-6
      {41, 0x0003},  // long bra/bsr: bits 1-0
      {42, 0x0003},  // long jmp/jsr: bits 1-0
      {45, 0x001C},  // rep x:(rN): bits 4-2
      {46, 0x001C},  // do x:(rN): bits 4-2
  };
  for (const row_bits& r : rows)
    if (r.row == row_of(w)) return r.bits;
  // t<cc> with the address transfer alone: bit 3 names the accumulator of
  // a data transfer that is not there.
  if (row_of(w) == 25 && (w & 5) == 1) return 0x0008;
  return 0;
}

// The same for the instruction word after an r2-offset prefix.
uint16_t unread_prefixed_bits(uint16_t w1) {
  if (w1 & 0x8000) return 0x7000;
  if ((w1 & 0xF810) == 0x3800) return 0x000F;
  if ((w1 & 0xFE20) == 0x0200) return 0x00D8;
  return 0;
}

bool alu_is_move(uint16_t w) { return (w & 0xF7) == 0x11; }

// Rule 2: a word whose ALU part is "move" (rows 0, 2, 3 and 8, and the
// ALU move after a prefix) prints as a plain move; the assembler writes
// that text in the plain move's own form (register to register, the
// indirect data moves, the prefixed plain move), another row.
bool plain_move_alias(uint16_t w0, uint16_t w1) {
  const int row = row_of(w0);
  if (row == ROW_ALU_XMOVE || row == ROW_ALU_ACC || row == ROW_ALU_TRANSFER || row == ROW_ALU_UPDATE)
    return alu_is_move(w0);
  return row == ROW_PREFIX && (w1 & 0x8000) && alu_is_move(w1);
}

// Rule 3: row-3 transfer codes 10 and 11 both mean "no transfer"; the
// assembler writes an operation without a move as code 10.
bool no_transfer_alias(uint16_t w0) {
  const int code = (w0 >> 8) & 15;
  return row_of(w0) == ROW_ALU_TRANSFER && (code == 10 || code == 11);
}

// Rule 4: the short-form "move" of a dual read (codes 0x17 and 0x1f)
// differs in bit 3, which names the other accumulator and so is unread
// when neither destination is an accumulator.
bool dual_move_alias(uint16_t w0) {
  const int position = (w0 >> 8) & 7;
  return row_of(w0) == ROW_DUAL_READ && !(w0 & 0x80) && (w0 & 0x17) == 0x17 && position != 0 &&
         position != 6;
}

// Rule 5: a bit-field mask whose set bits fit more than one of the byte
// positions (bits 11-4, 7-0, 15-8) has more than one encoding; the
// assembler takes the first that fits in that order.
bool bit_mask_alias(uint16_t w0, uint16_t a0) {
  const int row = row_of(w0);
  const uint16_t unread = unread_bits(w0);
  return (row == 22 || row == 23 || row == 24) && (a0 & ~unread) == (w0 & ~unread);
}

struct outcome {
  bool same_words = false;
  bool same_text = false;
  bool assembled = false;
  std::string reassembled_text;
  std::string message;
};

outcome round_trip(uint16_t w0, uint16_t w1, const listing& d, uint32_t address) {
  outcome o;
  const int n = assemble_line(d.text.c_str(), address);
  o.assembled = n == d.length;
  if (n < 1) {
    o.message = parse_error_text != nullptr ? parse_error_text : "(no message)";
    return o;
  }
  const uint16_t a0 = asm_words[0], a1 = asm_words[1];
  o.same_words = a0 == w0 && (d.length == 1 || a1 == w1);
  const listing again = disassemble(a0, a1);
  o.reassembled_text = again.text;
  o.same_text = again.text == d.text && again.length == d.length;
  if (o.same_words || !o.same_text) return o;
  // The words differ but print the same: allowed by one of the rules.
  const uint16_t unread = unread_bits(w0);
  const bool rule1 = unread != 0 && (a0 & ~unread) == (w0 & ~unread) && (d.length == 1 || a1 == w1);
  const uint16_t unread1 = row_of(w0) == ROW_PREFIX ? unread_prefixed_bits(w1) : 0;
  const bool rule1p = unread1 != 0 && a0 == w0 && (a1 & ~unread1) == (w1 & ~unread1);
  if (!(rule1 || rule1p || plain_move_alias(w0, w1) || no_transfer_alias(w0) || dual_move_alias(w0) ||
        bit_mask_alias(w0, a0)))
    o.same_text = false;
  return o;
}

std::string hex(uint32_t v) {
  std::ostringstream s;
  s << std::hex << v;
  return s.str();
}

class roundtrip : public asm_fixture {
 protected:
  int failures = 0;
  // Checks one instruction at an address; reports the first few that do
  // not come back.
  void check(uint16_t w0, uint16_t w1, uint32_t address = 0) {
    const listing d = disassemble(w0, w1);
    if (d.length == 0) return;
    const outcome o = round_trip(w0, w1, d, address);
    if (o.assembled && (o.same_words || o.same_text)) return;
    if (++failures <= 40)
      ADD_FAILURE() << "at " << hex(address) << ": " << hex(w0) << " " << hex(w1) << " \"" << d.text << "\" -> "
                    << (o.message.empty() ? "\"" + o.reassembled_text + "\" " + hex(asm_words[0]) + " " +
                                                hex(asm_words[1])
                                          : o.message);
  }
};

// Second words that exercise long addresses, immediates and relative
// targets at both ends of their ranges, and masks and prefixed words of
// each form.
constexpr std::array<uint16_t, 12> second_words = {0x0000, 0x0001, 0x007F, 0x0080, 0x1234, 0x7FFE,
                                                   0x8000, 0xFFFE, 0xFFFF, 0x4011, 0x2180, 0x8955};

}  // namespace

// At the bottom of memory and high up, where relative targets printed as
// "*+$e" pass the top of the 64K address space.
TEST_F(roundtrip, every_first_word) {
  for (uint32_t address : {0x0000u, 0xE000u, 0xFFFFu})
    for (uint32_t w = 0; w <= 0xFFFF; ++w) {
      const uint16_t w0 = static_cast<uint16_t>(w);
      const listing probe = disassemble(w0, 0x1234);
      if (probe.length == 2 || probe.length == 0) {
        for (uint16_t w1 : second_words) check(w0, w1, address);
      } else {
        check(w0, 0x1234, address);
      }
    }
  EXPECT_EQ(failures, 0);
}

// The instruction after an r2-offset prefix, every second word, for
// offsets at both ends of the range.
TEST_F(roundtrip, every_prefixed_word) {
  for (uint16_t offset : {0x00, 0x01, 0x7F, 0x80, 0xFF})
    for (uint32_t w1 = 0; w1 <= 0xFFFF; ++w1) check(static_cast<uint16_t>(0x0500 | offset), static_cast<uint16_t>(w1));
  EXPECT_EQ(failures, 0);
}

// Bit-field operations: every mask word under each operand form.
TEST_F(roundtrip, every_bit_mask) {
  for (uint16_t w0 : {0x1400, 0x1480, 0x1405, 0x1493, 0x1431, 0x14B2, 0x1440, 0x1465, 0x14DF})
    for (uint32_t w1 = 0; w1 <= 0xFFFF; ++w1) check(w0, static_cast<uint16_t>(w1));
  EXPECT_EQ(failures, 0);
}

// The move instructions other than move print as "move": whatever form
// movec, movei, movem, movep or moves take must print as a move that
// assembles back to the same words (else it is refused).
TEST_F(roundtrip, move_instructions_print_as_moves_that_assemble_back) {
  static constexpr const char* operands[] = {
      "a,b", "b,a", "a,x0", "b,y1", "x0,a", "x0,b", "y0,b", "y1,a", "a0,x0", "b0,y1", "a1,x0", "r0,r1",
      "sr,x:(r0)", "x:(r0)+,x0", "x0,x:(r0)+", "x:(r0)+n0,b", "x:(a1),x0", "x:(b1),x0", "x0,x:(b1)",
      "y0,x:(a1)", "(r0)+n0", "(r1)-", "x:(r0)+,x0 x:(r3)+,y0", "x:(r0)+,b x:(r3)+,x0",
      "a,x:(r0)+n0 x0,b", "x:(r2+5),x0", "x0,x:(r2+5)", "r0,x:(r2+5)", "#5,x0", "#$1234,r0",
      "#$12,a", "p:(r0)+,x0", "x0,p:(r0)+", "p:(r2+3),y0", "x:<$10,a", "a,x:<$10", "x:<$10,r0",
      "x:(r0)+,x:<<$ffe5", "x:<<$ffe5,x:(r0)+", "x:(r0)+,p:(r1)+", "p:(r0)+,x:(r1)+", "x:$1234,r0",
      "x:-(r1),x0", "x:(r1+n1),a",
  };
  int checked = 0;
  for (const char* mnemonic : {"move", "movec", "movei", "movem", "movep", "moves"}) {
    for (const char* ops : operands) {
      const std::string line = std::string(mnemonic) + " " + ops;
      const int n = assemble_line(line.c_str(), 0);
      if (n <= 0) continue;
      ++checked;
      const std::array<uint16_t, 3> made = asm_words;
      const listing first = disassemble(made[0], made[1]);
      SCOPED_TRACE(line + " -> " + first.text);
      EXPECT_EQ(first.length, n);
      ASSERT_EQ(assemble_line(first.text.c_str(), 0), n);
      EXPECT_EQ(asm_words[0], made[0]);
      if (n == 2) {
        EXPECT_EQ(asm_words[1], made[1]);
      }
    }
  }
  EXPECT_GT(checked, 60);
}
