// The token state of the line being checked, shared by a command's parser
// and its action. One instance; every parse overwrites it.
#pragma once

#include <array>
#include <cstddef>

#include "sim/expr/expr.h"

// Token slots, counted from 1; the slot after the last token is the end
// marker, so a line holds at most LEXER_SLOTS - 2 tokens.
constexpr int LEXER_SLOTS = 128;
constexpr int LEXER_TOKEN_MAX = LEXER_SLOTS - 2;
constexpr std::size_t LEXER_TEXT_BYTES = 256;

// Token kinds written by the tokeniser.
constexpr char KIND_UNEXAMINED = 'u';
constexpr char KIND_COMMENT = ';';
constexpr char KIND_END = 'e';

struct command_lexer {
  // The line folded to lower case, a NUL after every token.
  std::array<char, LEXER_TEXT_BYTES> text{};
  // The same bytes as typed.
  std::array<char, LEXER_TEXT_BYTES> orig{};
  // Per slot: the kind a reader accepted (see readers.h), 'u' unexamined.
  std::array<char, LEXER_SLOTS> kind{};
  int count = 0;
  // Per slot 1..count+1: the token's offset in text (the end marker's is
  // where the scan stopped).
  std::array<int, LEXER_SLOTS> start{};
  std::array<arg_value, LEXER_SLOTS> value{};
  // Offset in the line of the token at fault in the last failed check.
  int error_pos = 0;
  // Set by the tokeniser when the line held more than LEXER_TOKEN_MAX tokens.
  bool overflow = false;

  // Token i folded, and as typed; "" past the end.
  const char* word(int i) const { return i >= 1 && i <= count ? &text[start[i]] : ""; }
  const char* typed(int i) const { return i >= 1 && i <= count ? &orig[start[i]] : ""; }
  bool has(int i) const { return i >= 1 && i <= count; }
  int end_pos() const { return start[static_cast<std::size_t>(count) + 1]; }
};

// The lexer of the line being parsed; parse_command_line sets it.
extern command_lexer* cur_lexer;
// The line of the current parse, as given.
extern const char* cur_command_line;
