// The C expression lexer: tokens of a braced C expression, with leaves for
// constants and the names of the loaded program.
#pragma once

#include <cstdint>
#include <string>

#include "sim/cdb/c_value.h"

// Token codes beyond the single characters.
enum : int {
  CT_KW_AUTO = 257,
  CT_TYPEDEF_NAME = 271,
  CT_IDENTIFIER = 274,
  CT_MUL_ASSIGN = 292,
  CT_OR_OR = 302,
  CT_SIZEOF = 312,
  CT_ARROW = 313,
  CT_INTEGER = 315,
  CT_CHARACTER = 316,
  CT_FLOATING = 317,
  CT_ENUM_CONSTANT = 318,
  CT_REGISTER = 327,
};

// The value of the last token: a leaf for constants and type or enumeration
// names, the name for identifiers and registers.
struct c_token_value {
  c_node* node = nullptr;
  std::string name;
};

// 1 when the text is "{...}" with something inside; else 0 with the message.
int c_lex_start(const char* text);
// The next token's code, 0 at the end, -1 after an error (a floating
// constant out of range, with its message).
int c_lex();
const c_token_value& c_lex_value();
// The text of the last token.
const std::string& c_lex_text();
// 1-based position, in the text after "{", just past the last token.
int c_lex_error_pos();
