// evaluate: an address/number expression shown in one radix or in all four.
#include <array>
#include <memory>
#include <cstdio>
#include <string>

#include "sim/cdb/c_eval.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/frames.h"
#include "sim/cmd/c_args.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/expr/expr.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device/current_device.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr int NO_LETTER = -1;
constexpr int LETTER_COUNT = 5;

int word_count(uint32_t type) {
  if (type & AV_THREE) return 3;
  if (type & AV_TWO) return 2;
  return 1;
}

template <typename... Args>
std::string print(const char* format, Args... args) {
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), format, args...);
  return buffer.data();
}

std::string hex_part(const arg_value& v) {
  switch (word_count(v.type)) {
    case 3:
      return print(" Hex:%02lx%04lx%04lx", static_cast<unsigned long>(v.ext & 0xFF),
                   static_cast<unsigned long>(v.hi & 0xFFFF), static_cast<unsigned long>(v.lo & 0xFFFF));
    case 2:
      return print(" Hex:%04lx%04lx", static_cast<unsigned long>(v.hi & 0xFFFF),
                   static_cast<unsigned long>(v.lo & 0xFFFF));
    default:
      return print(" Hex:%04lx", static_cast<unsigned long>(v.lo & 0xFFFF));
  }
}

// The one-word value sign-extended from the top bit of its width.
long signed_one_word(const arg_value& v) {
  const int width = value_fraction_width(v.type);
  const uint64_t bits = width > 16 ? value_combined(v) : (v.lo & 0xFFFF);
  const uint64_t mask = (width >= 64) ? ~0ull : (1ull << width) - 1;
  const uint64_t sign = 1ull << (width - 1);
  return static_cast<long>(static_cast<int64_t>(((bits & mask) ^ sign) - sign));
}

std::string decimal_part(const arg_value& v, bool is_signed) {
  const int words = word_count(v.type);
  if (words > 1) {
    const decimal_split s = words == 3 ? split_decimal(cur_type->expr_flags, v.lo, v.hi, v.ext)
                                       : split_decimal64(cur_type->expr_flags, v.lo, v.hi);
    return print(" Dec:%06lu%09lu", static_cast<unsigned long>(s.quotient),
                 static_cast<unsigned long>(s.remainder));
  }
  if (is_signed) return print(" Dec:%05ld", signed_one_word(v));
  return print(" Uns:%05lu", static_cast<unsigned long>(v.lo & 0xFFFF));
}

std::string fraction_part(const arg_value& v) {
  return word_count(v.type) == 1 ? print(" Fract:%10.7g", v.fval) : print(" Fract:%13.10g", v.fval);
}

void append_bits(std::string& out, uint32_t word, int bits) {
  for (int b = bits - 1; b >= 0; --b) out += ((word >> b) & 1) ? '1' : '0';
}

std::string binary_part(const arg_value& v) {
  std::string out = " Bin:";
  const int words = word_count(v.type);
  if (words == 3) append_bits(out, v.ext & 0xFF, 8);
  if (words >= 2) append_bits(out, v.hi & 0xFFFF, 16);
  append_bits(out, v.lo & 0xFFFF, 16);
  return out;
}

// Which parts each letter shows: b d f h u, or all four without a letter.
struct part_choice {
  bool hex, decimal, is_signed, fraction, binary;
};
constexpr std::array<part_choice, LETTER_COUNT> letter_parts = {{
    {false, false, false, false, true},  // b
    {false, true, true, false, false},   // d
    {false, false, false, true, false},  // f
    {true, false, false, false, false},  // h
    {false, true, false, false, false},  // u
}};
constexpr part_choice all_parts = {true, true, false, true, true};

void evaluate_number(const char*) {
  const command_lexer& lx = *cur_lexer;
  const bool lettered = lx.kind[2] == 'r';
  const int letter = lettered ? static_cast<int>(lx.value[2].lo) : NO_LETTER;
  arg_value v = lx.value[lettered ? 3 : 2];
  // Both forms of the value: words for a float, the fraction for an integer.
  if (v.type & AV_FLOAT) {
    value_from_double(cur_type->expr_flags, v);
  } else {
    value_as_double(cur_type->expr_flags, v);
  }
  const part_choice& parts =
      (letter >= 0 && letter < LETTER_COUNT) ? letter_parts[static_cast<std::size_t>(letter)] : all_parts;
  std::string line;
  if (parts.hex) line += hex_part(v);
  if (parts.decimal) line += decimal_part(v, parts.is_signed);
  if (parts.fraction) line += fraction_part(v);
  if (parts.binary) line += binary_part(v);
  session_print(line.c_str(), 1);
}

constexpr action_record number_record{evaluate_number, 0};

// A C expression: its value printed in the letter's format, or by its type
// without a letter.
void evaluate_c(const char*) {
  const command_lexer& lx = *cur_lexer;
  const bool lettered = lx.kind[2] == 'r';
  std::unique_ptr<c_tree> tree = take_c_tree(lettered ? 3 : 2, nullptr, nullptr);
  if (tree == nullptr) return;
  cur_state->view_mode = 0;
  const int format = lettered ? static_cast<int>(lx.value[2].lo) : C_NATURAL;
  c_save_counters(format);
  switch (c_eval_tree(*tree)) {
    case 1:
      c_print_value(format, &tree->root->value);
      if (frame_rec* selected = frame_current()) frame_refresh_text(*selected);
      break;
    case 2: c_call_pending(std::move(tree)); break;  // printed when the call's run ends
    default: break;
  }
}

constexpr action_record c_record{evaluate_c, 0};

bool is_braced(int i) { return cur_lexer->has(i) && cur_lexer->typed(i)[0] == '{'; }

}  // namespace

const action_record* cmd_evaluate() {
  if (cur_lexer->has(3)) {
    if (match_keyword_list(2, radix_letter_words, 'r', LETTER_COUNT) < 0) return nullptr;
    if (is_braced(3)) return parse_c_expr_arg(3, nullptr) && check_no_more_args(4) ? &c_record : nullptr;
    if (!parse_float_or_int_arg(3) || !check_no_more_args(4)) return nullptr;
    return &number_record;
  }
  if (is_braced(2)) return parse_c_expr_arg(2, nullptr) ? &c_record : nullptr;
  if (!parse_float_or_int_arg(2)) return nullptr;
  return &number_record;
}
