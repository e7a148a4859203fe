// The operators of address and number expressions, for the parser.
#pragma once

#include <cstdint>

#include "sim/expr/expr.h"

constexpr uint64_t VALUE_MASK40 = 0xFFFFFFFFFFull;

// The 40-bit pattern ext:hi:lo, and back (each word within its width).
uint64_t value_u40(const arg_value& value);
void set_value_u40(arg_value& value, uint64_t bits);

// A binary operator: its spelling, binding level (1 binds tightest) and
// what it does to the left operand in place. apply returns false after
// making its message current.
struct binary_op {
  const char* text;
  int length;
  int level;
  bool (*apply)(arg_value& left, arg_value& right);
};
constexpr int EXPR_TOP_LEVEL = 11;

// The operator at the text, or null where the expression ends.
const binary_op* scan_binary_operator(const char* text);

// Unary operators; false after making the message current.
bool apply_negate(arg_value& value);
bool apply_complement(arg_value& value);
bool apply_logical_not(arg_value& value);
