// The C expression parser: a braced C expression into a tree of c_nodes.
#pragma once

#include <string>

#include "sim/cdb/c_value.h"

// Node codes beyond the token codes.
enum : uint32_t {
  CN_CONDITIONAL = 291,
  CN_CAST = 319,
  CN_POST_INC = 320,
  CN_PRE_INC = 321,
  CN_POST_DEC = 322,
  CN_PRE_DEC = 323,
  CN_SUBSCRIPT = 324,
  CN_CALL = 325,
  CN_COMMA = 326,
  CN_REGISTER_CLASS = 0x80000000,
};

// The scope the expression's names were found in (-1: global).
extern int expr_scope_function;
extern int expr_scope_block;

// The tree of the text, or null with the message (c_last_error) and the
// lexer's error position set.
std::unique_ptr<c_tree> c_parse(const char* text);
int c_tree_has_call(const c_node* node);

// The type word with one pointer level added, and with its outermost
// derived level taken off.
uint32_t c_add_pointer(uint32_t type);
uint32_t c_strip_level(uint32_t type);
// The type's name: "pointer to array [3] of int", "struct point".
std::string c_type_text(const c_value& value);
