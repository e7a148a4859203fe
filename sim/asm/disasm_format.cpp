// From tokens to the line of text: the entry point, the special tokens and
// the nested modes that format a second word (the instruction after an
// r2-offset prefix, or a bit-field mask).
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "sim/asm/disasm.h"
#include "sim/asm/disasm_internal.h"

namespace {

// What a call formats: 0 the instruction at words[0]; for words[1]:
// 1 the instruction after an r2-offset prefix, 2 a bit-test mask,
// 3 a bit-change mask.
enum format_mode : int { MODE_TOP = 0, MODE_PREFIXED = 1, MODE_TEST_MASK = 2, MODE_CHANGE_MASK = 3 };

uint16_t word_at(const uint32_t* words, int i) { return static_cast<uint16_t>(words[i] & 0xFFFF); }

void decode_top(const uint32_t* words, dis_state& st, token_list& out) {
  const uint16_t w = word_at(words, 0);
  dis_row_handler(dis_row_index(w))(w, st, out);
}

// The memory operand of a prefixed instruction: "(r2+$off)" in x: or p:.
mem_operand r2_operand(int32_t space) {
  mem_operand m;
  m.codes = {space, TK_LPAREN, TK_REG + RC_R2, TK_PLUS, TK_IMMEDIATE, TK_RPAREN};
  m.count = 6;
  return m;
}

void decode_prefixed(const uint32_t* words, dis_state& st, token_list& out) {
  const uint16_t w = word_at(words, 1);
  if (w & 0x8000) {
    const uint8_t bits = static_cast<uint8_t>(w);
    const int dest = emit_long_alu(bits, out);
    if (!long_alu_is_move(bits)) out.push(TK_SPACE);
    const int reg = reg3(w >> 9);
    const bool read = (w & 0x100) != 0;
    emit_move(out, r2_operand(TK_XMEM), reg, read);
    if (read && alu_dest_conflict(dest, reg)) out.push(TK_INVALID);
    st.flag(ACC_X);
  } else if ((w & 0xF810) == 0x3800) {
    out.push(TK_MOVE);
    emit_move(out, r2_operand(TK_XMEM), (w >> 5) & 31, (w & 0x400) != 0);
    st.flag(ACC_X);
  } else if ((w & 0xFE20) == 0x0200) {
    out.push(TK_MOVE);
    emit_move(out, r2_operand(TK_PMEM), reg3(w), (w & 0x100) != 0);
    st.flag(ACC_P);
  } else {
    out.push(TK_INVALID);
  }
}

// The mask of a bit-field word: bits 7-0 placed by bits 15-13; -1 when
// bits 15-13 name no position.
int32_t bitfield_mask(uint16_t w) {
  static constexpr int shifts[8] = {-1, 0, 4, -1, 8, -1, -1, -1};
  const int shift = shifts[(w >> 13) & 7];
  return shift < 0 ? -1 : static_cast<int32_t>(((w & 0xFFu) << shift) & 0xFFFF);
}

void emit_mask(int32_t mnemonic, int32_t mask, dis_state& st, token_list& out) {
  if (mask < 0) out.push(TK_INVALID);
  out.push(mnemonic);
  out.push(TK_HASH);
  out.push(TK_MASK);
  out.push(TK_COMMA);
  st.mask = dis_hex(static_cast<uint32_t>(mask < 0 ? 0 : mask));
}

void decode_test_mask(const uint32_t* words, dis_state& st, token_list& out) {
  const uint16_t w = word_at(words, 1);
  const int32_t mnemonic = (w & 0x0F00) ? TK_INVALID : (w & 0x1000) ? TK_BFTSTH : TK_BFTSTL;
  emit_mask(mnemonic, bitfield_mask(w), st, out);
}

void decode_change_mask(const uint32_t* words, dis_state& st, token_list& out) {
  struct change_op {
    uint16_t bits_12_8;
    int32_t mnemonic;
  };
  static constexpr change_op ops[] = {{0x04, TK_BFCLR}, {0x18, TK_BFSET}, {0x12, TK_BFCHG}};
  const uint16_t w = word_at(words, 1);
  int32_t mnemonic = TK_INVALID;
  for (const change_op& op : ops)
    if (((w >> 8) & 0x1F) == op.bits_12_8) mnemonic = op.mnemonic;
  emit_mask(mnemonic, bitfield_mask(w), st, out);
}

using mode_decoder = void (*)(const uint32_t* words, dis_state& st, token_list& out);
constexpr std::array<mode_decoder, 4> mode_decoders = {decode_top, decode_prefixed,
                                                       decode_test_mask, decode_change_mask};

std::string format_words(const uint32_t* words, int mode, dis_state& st, int& length);

// Special tokens: text built from the words or the decode state.
struct special_context {
  const uint32_t* words;
  dis_state& st;
  std::string& text;
  int& length;
};

void sp_immediate(special_context& c) { c.text += c.st.immediate; }
void sp_mask(special_context& c) { c.text += c.st.mask; }

void sp_w1(special_context& c) {
  c.text += dis_hex(c.words[1]);
  c.length = 2;
}

void sp_rel_long(special_context& c) {
  const uint32_t e = (c.words[1] + 2) & 0xFFFF;
  c.text += (e & 0x8000) ? ">*-" + dis_hex(0x10000 - e) : ">*+" + dis_hex(e);
  c.length = 2;
}

void sp_loop_end(special_context& c) {
  c.text += ",*+" + dis_hex(c.words[1] + 2);
  c.length = 2;
}

template <int Mode>
void sp_nested(special_context& c) {
  int ignored = 0;
  c.text += format_words(c.words, Mode, c.st, ignored);
  c.length = 2;
}

using special_fn = void (*)(special_context& c);
// Indexed by the negated token code; null entries print nothing.
constexpr std::array<special_fn, 13> special_tokens = {
    nullptr,   nullptr,     sp_immediate, sp_mask,
    sp_w1,     nullptr,     sp_rel_long,  nullptr,
    sp_loop_end, sp_nested<MODE_PREFIXED>, sp_nested<MODE_TEST_MASK>, nullptr,
    sp_nested<MODE_CHANGE_MASK>};

std::string format_words(const uint32_t* words, int mode, dis_state& st, int& length) {
  token_list tokens;
  mode_decoders[static_cast<std::size_t>(mode)](words, st, tokens);
  std::string text;
  special_context c{words, st, text, length};
  for (std::size_t i = 0; i < tokens.count; ++i) {
    const int32_t code = tokens.codes[i];
    if (code >= 0) {
      text += token_text(code);
    } else if (code >= TK_SPECIAL_MIN) {
      if (special_fn fn = special_tokens[static_cast<std::size_t>(-code)]) fn(c);
    }
  }
  const std::size_t limit = mode == MODE_TOP ? DIS_LINE_MAX : DIS_NESTED_MAX;
  if (text.size() > limit) text.resize(limit);
  return text;
}

}  // namespace

void dis_decode_tokens(const uint32_t* words, bool prefixed, dis_state& st, token_list& out) {
  mode_decoders[prefixed ? MODE_PREFIXED : MODE_TOP](words, st, out);
}

int disassemble_word(const uint32_t* words, char* text, uint32_t, uint32_t, dis_ea_info* ea_info) {
  if (words == nullptr || text == nullptr) return 0;
  dis_state st;
  int length = 1;
  std::string line = format_words(words, MODE_TOP, st, length);
  if (line.find('U') != std::string::npos) {
    line = "dc " + dis_hex(words[0]);
    length = 0;
  }
  std::memcpy(text, line.c_str(), line.size() + 1);
  if (ea_info != nullptr) {
    ea_info->length = static_cast<uint32_t>(length);
    // A data word makes no accesses, whatever its bits looked like.
    const uint32_t flags = length == 0 ? 0 : st.access_flags;
    ea_info->access_flags = flags;
    uint32_t* addresses[3] = {&ea_info->p_address, &ea_info->x_address, &ea_info->x2_address};
    for (int slot = ACC_P; slot <= ACC_X2; ++slot)
      if (flags & access_flag_bit(slot))
        *addresses[slot] = dis_access_address(st.desc[static_cast<std::size_t>(slot)],
                                              st.value[static_cast<std::size_t>(slot)],
                                              words[1], *ea_info);
  }
  return length;
}
