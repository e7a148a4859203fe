// The disassembler's data: the first-match decode table, the token texts
// and the address descriptors with the address units' modulo arithmetic.
//
// `disasm_table.cpp` holds the first-match decode table (mask, value, handler), the token texts and
// the access descriptors with the address units' modulo arithmetic; `disasm_handlers.cpp` one
// handler per instruction class, appending token codes and recording the accesses;
// `disasm_format.cpp` turns tokens into text, formats a second word in a nested mode (the
// instruction after an r2-offset prefix, a bit-field mask) and prints any line that contains the
// invalid marker "U" as "dc $word" with length 0.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/asm/disasm.h"
#include "sim/asm/disasm_handlers.h"
#include "sim/asm/disasm_internal.h"

namespace {

// ---------------------------------------------------------------------------
// Decode table: the first row whose mask and value match the word wins.

constexpr std::array<dis_decode_row, DIS_DECODE_ROWS> decode_table = {{
    {0x8000, 0x8000, dis_alu_xmove},          // 0
    {0xe000, 0x6000, dis_alu_dual_read},      // 1
    {0xf000, 0x5000, dis_alu_acc_move},       // 2
    {0xf000, 0x4000, dis_alu_transfer},       // 3
    {0xf816, 0x3816, dis_move_acc_addr},      // 4
    {0xf816, 0x3814, dis_move_long},          // 5
    {0xf814, 0x3810, dis_move_indexed},       // 6
    {0xf810, 0x3800, dis_move_indirect},      // 7
    {0xf800, 0x3000, dis_alu_update},         // 8
    {0xfc00, 0x2c00, dis_branch_short_cc},    // 9
    {0xfc00, 0x2800, dis_move_reg},           // 10
    {0xfc00, 0x2400, dis_tfr3},               // 11
    {0xfc00, 0x2000, dis_move_imm8},          // 12
    {0xfc00, 0x1c00, dis_logic_imm},          // 13
    {0xfa00, 0x1a00, dis_logic_imm_mr},       // 14
    {0xfe00, 0x1800, dis_move_short},         // 15
    {0xfe00, 0x1600, dis_mul_move},           // 16
    {0xfff7, 0x1571, dis_group15},            // 17
    {0xfff4, 0x1520, dis_norm},               // 18
    {0xfff6, 0x1500, dis_group15},            // 19
    {0xffd0, 0x15d0, dis_shift_pair},         // 20
    {0xff00, 0x1500, dis_group15},            // 21
    {0xff40, 0x1440, dis_bitfield_short},     // 22
    {0xff70, 0x1430, dis_bitfield_indirect},  // 23
    {0xff60, 0x1400, dis_bitfield_reg},       // 24
    {0xfc02, 0x1000, dis_tcc},                // 25
    {0xff00, 0x0f00, dis_rep_imm},            // 26
    {0xff00, 0x0e00, dis_do_imm},             // 27
    {0xfe00, 0x0c00, dis_movep_io},           // 28
    {0xff00, 0x0b00, dis_bra_short},          // 29
    {0xff00, 0x0a00, dis_jsr_short},          // 30
    {0xff10, 0x0710, dis_branch_long_cc},     // 31
    {0xfe10, 0x0600, dis_branch_reg_cc},      // 32
    {0xff10, 0x0610, dis_jump_long_cc},       // 33
    {0xff00, 0x0500, dis_prefix_r2},          // 34
    {0xffe0, 0x0420, dis_rep_reg},            // 35
    {0xffe0, 0x0400, dis_do_reg},             // 36
    {0xfe30, 0x0230, dis_move_xp},            // 37
    {0xfe20, 0x0200, dis_move_p},             // 38
    {0xff80, 0x0180, dis_lea},                // 39
    {0xfef0, 0x0050, dis_debug_rep_cc},       // 40
    {0xfff8, 0x0138, dis_branch_long},        // 41
    {0xfff8, 0x0130, dis_jump_long},          // 42
    {0xfff0, 0x0120, dis_branch_reg},         // 43
    {0xfff0, 0x0110, dis_brk_cc},             // 44
    {0xffe0, 0x00e0, dis_rep_indirect},       // 45
    {0xffe0, 0x00c0, dis_do_indirect},        // 46
    {0xfff0, 0x0000, dis_misc},               // 47
    {0x0000, 0x0000, dis_invalid},            // 48
}};

// ---------------------------------------------------------------------------
// Token texts. Mnemonics carry a trailing blank unless a condition code or
// nothing follows them.

constexpr std::array<const char*, TOKEN_TEXT_COUNT> token_texts = {
    "",  // 0
    // 1-100: mnemonics
    "abs ", "adc ", "add ", "and ", "andi ", "asl ", "asl4 ", "", "asr ", "asr4 ",
    "asr16 ", "", "b", "bftstl ", "bftsth ", "bfset ", "bfclr ", "bfchg ", "bra ", "brk",
    "bs", "bsr ", "chkaau ", "clr ", "clr24 ", "cmp ", "cmpm ", "debug", "debug ", "dec ",
    "dec24 ", "div ", "", "dmacss ", "dmacsu ", "dmacuu ", "", "do ", "do forever", "enddo ",
    "eor ", "ext ", "illegal", "imac ", "impy ", "inc ", "inc24 ", "j", "jmp ", "joinb ",
    "js", "jsr ", "lea ", "lsl ", "lsr ", "mac ", "macr ", "macuu ", "macsu ", "move ",
    "movec ", "moves ", "movep ", "mpy ", "mpyr ", "mpysu ", "mpyuu ", "neg ", "negc ", "norm ",
    "nop ", "not ", "or ", "ori ", "rep ", "rep", "reset ", "rnd ", "rol ", "ror ",
    "rti ", "rts ", "", "sbc ", "shfl ", "shfr ", "sub ", "subl ", "stop ", "swap ",
    "tfr3 ", "swi ", "swi", "tfr ", "tfr2 ", "t", "tst ", "tst2 ", "wait ", "zero ",
    // 101-102
    "", "U",
    // 103-118: condition codes
    "cc", "ge", "ne", "pl", "nn", "ec", "lc", "gt", "cs", "lt", "eq", "mi", "nr", "es", "ls",
    "le",
    // 119
    "",
    // 120-163: registers by code; 147 is the invalid code, 156-157 punctuation
    "x0", "y0", "x1", "y1", "a", "b", "a0", "b0", "lc", "sr", "omr", "sp", "a1", "b1", "a2",
    "b2", "r0", "r1", "r2", "r3", "m0", "m1", "m2", "m3", "ssh", "ssl", "la", "U", "n0", "n1",
    "n2", "n3", "mr", "ccr", "x", "y", ",", " ", "a", "a", "a", "b", "b", "b",
    // 164-187: address-register forms
    "(r0)", "(r1)", "(r2)", "(r3)", "(r0)+", "(r1)+", "(r2)+", "(r3)+", "(r0)-", "(r1)-",
    "(r2)-", "(r3)-", "(r0)+n0", "(r1)+n1", "(r2)+n2", "(r3)+n3", "-(r0)", "-(r1)", "-(r2)",
    "-(r3)", "(r0+n0)", "(r1+n1)", "(r2+n2)", "(r3+n3)",
    // 188-200: punctuation
    "<", "<<", "#", "#<", "#>", ">", "x:", "p:", "(", ")", "+", "*", "-"};

constexpr bool text_is(int32_t code, std::string_view text) {
  return std::string_view(token_texts[static_cast<std::size_t>(code)]) == text;
}
static_assert(text_is(TK_ZERO, "zero ") && text_is(TK_SBC, "sbc ") && text_is(TK_RTS, "rts "));
static_assert(text_is(TK_MOVE, "move ") && text_is(TK_DO, "do ") && text_is(TK_DMACSS, "dmacss "));
static_assert(text_is(TK_B, "b") && text_is(TK_ASR, "asr ") && text_is(TK_INVALID, "U"));
static_assert(text_is(TK_CC + 15, "le") && text_is(TK_REG + RC_BAD, "U"));
static_assert(text_is(TK_REG + RC_Y, "y") && text_is(TK_COMMA, ",") && text_is(TK_SPACE, " "));
static_assert(text_is(TK_REG + RC_B_24, "b") && text_is(TK_IND, "(r0)"));
static_assert(text_is(TK_INDEXN + 3, "(r3+n3)") && text_is(TK_MINUS, "-"));

// ---------------------------------------------------------------------------
// Address descriptors.

uint32_t rev16(uint32_t v) {
  uint32_t r = 0;
  for (int i = 0; i < 16; ++i)
    if (v & (1u << i)) r |= 1u << (15 - i);
  return r;
}

struct ea_context {
  uint32_t low;  // the descriptor's low byte
  uint32_t value;
  uint32_t w1;
  const dis_ea_info& ea;
  uint32_t r() const { return ea.r[low & 3]; }
};

using address_rule = uint32_t (*)(const ea_context& c);

struct descriptor_row {
  uint32_t base;
  address_rule rule;
};

uint32_t addr_value(const ea_context& c) { return c.value; }
uint32_t addr_pc_plus(const ea_context& c) { return c.ea.pc + c.value; }
uint32_t addr_pc_minus(const ea_context& c) { return c.ea.pc - c.value; }
uint32_t addr_long_rel(const ea_context& c) { return c.w1 + c.ea.pc + 2; }
uint32_t addr_pc_reg(const ea_context& c) { return c.ea.pc + c.r(); }
uint32_t addr_w1(const ea_context& c) { return c.w1; }
uint32_t addr_reg(const ea_context& c) { return c.r(); }
uint32_t addr_acc(const ea_context& c) { return (c.low & 1) ? c.ea.a1 : c.ea.b1; }
uint32_t addr_r2_offset(const ea_context& c) { return c.ea.r[2] + c.value; }

uint32_t addr_reg_pre(const ea_context& c) {
  const int n = static_cast<int>(c.low & 3);
  if (c.low & 4) return dis_modulo_step(c.r(), 1, c.ea.m[n], true);
  return dis_modulo_step(c.r(), c.ea.n[n], c.ea.m[n], false);
}

uint32_t addr_reg_step(const ea_context& c) {
  const int n = static_cast<int>(c.low & 3);
  switch ((c.low >> 2) & 3) {
    case 1: return dis_modulo_step(c.r(), 1, c.ea.m[n], false);
    case 2: return dis_modulo_step(c.r(), 1, c.ea.m[n], true);
    case 3: return dis_modulo_step(c.r(), c.ea.n[n], c.ea.m[n], false);
    default: return c.r();
  }
}

constexpr std::array<descriptor_row, 15> descriptor_rows = {{
    {DESC_SHORT, addr_value},
    {DESC_PC_PLUS, addr_pc_plus},
    {DESC_PC_MINUS, addr_pc_minus},
    {DESC_LONG_REL, addr_long_rel},
    {DESC_PC_REG, addr_pc_reg},
    {DESC_LONG_ABS, addr_w1},
    {DESC_LOOP_END, addr_long_rel},
    {DESC_REG, addr_reg},
    {DESC_REG_STEP, addr_reg_step},
    {DESC_REG_POST, addr_reg},
    {DESC_ACC, addr_acc},
    {DESC_REG_PRE, addr_reg_pre},
    {DESC_REG_ALT1, addr_reg},
    {DESC_REG_ALT2, addr_reg},
    {DESC_R2_OFFSET, addr_r2_offset},
}};

}  // namespace

int dis_row_index(uint16_t w) {
  for (std::size_t i = 0; i < decode_table.size(); ++i)
    if ((w & decode_table[i].mask) == decode_table[i].value) return static_cast<int>(i);
  return static_cast<int>(decode_table.size()) - 1;
}

dis_handler dis_row_handler(int row) { return decode_table[static_cast<std::size_t>(row)].handler; }

const char* token_text(int32_t code) {
  if (code < 0 || static_cast<std::size_t>(code) >= token_texts.size()) return "";
  return token_texts[static_cast<std::size_t>(code)];
}

std::string dis_hex(uint32_t v) {
  static constexpr char digits[] = "0123456789abcdef";
  v &= 0xFFFF;
  std::string s;
  do {
    s.insert(s.begin(), digits[v & 0xF]);
    v >>= 4;
  } while (v != 0);
  return "$" + s;
}

uint32_t access_flag_bit(int slot) {
  static constexpr uint32_t bits[3] = {DIS_ACCESS_P, DIS_ACCESS_X, DIS_ACCESS_X2};
  return bits[slot];
}

void dis_state::access(int slot, uint32_t descriptor, uint32_t v) {
  access_flags |= access_flag_bit(slot);
  desc[static_cast<std::size_t>(slot)] = descriptor;
  value[static_cast<std::size_t>(slot)] = v;
}

void dis_state::flag(int slot) { access_flags |= access_flag_bit(slot); }

uint32_t dis_modulo_step(uint32_t r, uint32_t d, uint32_t m, bool subtract) {
  r &= 0xFFFF;
  m &= 0xFFFF;
  const uint32_t dd = (subtract ? d ^ 0xFFFF : d) & 0xFFFF;
  const uint32_t c = subtract ? 1 : 0;
  const uint32_t s = (r + dd + c) & 0xFFFF;
  if (m & 0x8000) return s;
  if (m == 0) return rev16((rev16(r) + rev16(dd) + c) & 0xFFFF);
  int top = 14;
  while (!(m & (1u << top))) --top;
  const uint32_t block = (2u << top) - 1;
  const bool stays = (r & block) + (dd & block) + c <= block;
  if (!(dd & 0x8000)) return (stays && (s & block) <= (m & block)) ? s : (s - (m + 1)) & 0xFFFF;
  return stays ? (s + m + 1) & 0xFFFF : s;
}

uint32_t dis_access_address(uint32_t descriptor, uint32_t value, uint32_t w1,
                            const dis_ea_info& ea) {
  const ea_context c{descriptor & 0xFF, value, w1 & 0xFFFF, ea};
  for (const descriptor_row& row : descriptor_rows)
    if ((descriptor & ~0xFFu) == row.base) return row.rule(c) & 0xFFFF;
  return value & 0xFFFF;
}
