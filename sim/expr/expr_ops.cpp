// Integer and floating operators of number expressions. Integers are 40-bit
// two's-complement patterns held in 64-bit unsigned arithmetic, so every
// result wraps exactly as the three words would and nothing overflows.
#include "sim/expr/expr_ops.h"

#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr uint64_t SIGN40 = 0x8000000000ull;
constexpr uint32_t COND_TYPE = AV_ONE | AV_INT | AV_COND;
constexpr int MAX_SHIFT = 48;

int64_t signed40(uint64_t bits) {
  bits &= VALUE_MASK40;
  return static_cast<int64_t>((bits ^ SIGN40) - SIGN40);
}

uint64_t magnitude40(uint64_t bits) {
  return (bits & SIGN40) ? ((0 - bits) & VALUE_MASK40) : bits;
}

bool is_float(const arg_value& v) { return (v.type & AV_FLOAT) != 0; }

void set_truth(arg_value& v, bool truth) {
  v.lo = truth ? 1 : 0;
  v.hi = 0;
  v.ext = 0;
  v.fval = 0.0;
  v.type = COND_TYPE;
}

double as_double(arg_value& v) { return value_as_double(0, v); }

void set_float(arg_value& left, double result) {
  left.fval = result;
  left.type = (left.type & ~AV_INT) | AV_FLOAT;
}

bool fail(const char* message) {
  set_expr_error(message);
  return false;
}

bool illegal_for_float() { return fail("Illegal operator for floating point element"); }

// --- Arithmetic -----------------------------------------------------------

bool op_mul(arg_value& l, arg_value& r) {
  if (is_float(l) || is_float(r)) {
    const double a = as_double(l);
    set_float(l, a * as_double(r));
    return true;
  }
  const uint64_t a = value_u40(l), b = value_u40(r);
  uint64_t product = magnitude40(a) * magnitude40(b);  // low 40 bits are exact
  if (((a ^ b) & SIGN40) != 0) product = 0 - product;
  set_value_u40(l, product);
  l.type |= r.type;
  return true;
}

bool op_div(arg_value& l, arg_value& r) {
  if (is_float(l) || is_float(r)) {
    const double a = as_double(l);
    const double b = as_double(r);
    if (b == 0.0) return fail("Divide by 0");
    set_float(l, a / b);
    return true;
  }
  const uint64_t a = value_u40(l), b = value_u40(r);
  if (b == 0) return fail("Divide by 0");
  // Magnitudes, so the most negative value divided by -1 wraps to itself.
  uint64_t quotient = magnitude40(a) / magnitude40(b);
  if (((a ^ b) & SIGN40) != 0) quotient = 0 - quotient;
  set_value_u40(l, quotient);
  l.type |= r.type;
  return true;
}

bool op_mod(arg_value& l, arg_value& r) {
  if (is_float(l) || is_float(r)) {
    const double a = as_double(l);
    const double b = as_double(r);
    if (b == 0.0) return fail("Divide by 0");
    set_float(l, std::fmod(a, b));
    return true;
  }
  const uint64_t b = value_u40(r);
  if (b == 0) return fail("Divide by 0");
  set_value_u40(l, value_u40(l) % b);
  l.type |= r.type;
  return true;
}

bool op_add(arg_value& l, arg_value& r) {
  if (is_float(l) || is_float(r)) {
    const double a = as_double(l);
    set_float(l, a + as_double(r));
    return true;
  }
  set_value_u40(l, value_u40(l) + value_u40(r));
  l.type |= r.type;
  return true;
}

bool op_sub(arg_value& l, arg_value& r) {
  if (is_float(l) || is_float(r)) {
    const double a = as_double(l);
    set_float(l, a - as_double(r));
    return true;
  }
  set_value_u40(l, value_u40(l) - value_u40(r));
  l.type |= r.type;
  return true;
}

// --- Shifts and bitwise ---------------------------------------------------

// The whole 40-bit count is checked: a count of 2^32 must not pass as 0.
bool shift_count(arg_value& r, int* count) {
  const uint64_t n = value_u40(r);
  if (n > MAX_SHIFT) return fail("Invalid shift amount");
  *count = static_cast<int>(n);
  return true;
}

bool op_shl(arg_value& l, arg_value& r) {
  if (is_float(l) || is_float(r)) return illegal_for_float();
  int n = 0;
  if (!shift_count(r, &n)) return false;
  set_value_u40(l, value_u40(l) << n);
  return true;
}

bool op_shr(arg_value& l, arg_value& r) {
  if (is_float(l) || is_float(r)) return illegal_for_float();
  int n = 0;
  if (!shift_count(r, &n)) return false;
  set_value_u40(l, static_cast<uint64_t>(signed40(value_u40(l)) >> n));
  return true;
}

template <typename F>
bool bitwise(arg_value& l, arg_value& r, F f) {
  if (is_float(l) || is_float(r)) return illegal_for_float();
  set_value_u40(l, f(value_u40(l), value_u40(r)));
  l.type |= r.type;
  return true;
}

bool op_and(arg_value& l, arg_value& r) {
  return bitwise(l, r, [](uint64_t a, uint64_t b) { return a & b; });
}
bool op_xor(arg_value& l, arg_value& r) {
  return bitwise(l, r, [](uint64_t a, uint64_t b) { return a ^ b; });
}
bool op_or(arg_value& l, arg_value& r) {
  return bitwise(l, r, [](uint64_t a, uint64_t b) { return a | b; });
}

// --- Comparisons and logic ------------------------------------------------

// -1, 0 or 1.
int compare(arg_value& l, arg_value& r) {
  if (is_float(l) || is_float(r)) {
    const double a = as_double(l);
    const double b = as_double(r);
    return a < b ? -1 : (a > b ? 1 : 0);
  }
  const int64_t a = signed40(value_u40(l)), b = signed40(value_u40(r));
  return a < b ? -1 : (a > b ? 1 : 0);
}

template <bool (*Test)(int)>
bool op_compare(arg_value& l, arg_value& r) {
  set_truth(l, Test(compare(l, r)));
  return true;
}
bool lt(int c) { return c == -1; }
bool gt(int c) { return c == 1; }
bool le(int c) { return c != 1; }
bool ge(int c) { return c != -1; }
bool eq(int c) { return c == 0; }
bool ne(int c) { return c != 0; }

bool truth(const arg_value& v) {
  if (is_float(v)) return v.fval != 0.0;
  return value_u40(v) != 0;
}

bool op_land(arg_value& l, arg_value& r) {
  set_truth(l, truth(l) && truth(r));
  return true;
}
bool op_lor(arg_value& l, arg_value& r) {
  set_truth(l, truth(l) || truth(r));
  return true;
}

// Two-character operators first, so "<<" is not read as "<".
constexpr std::array<binary_op, 19> operators = {{
    {"<<", 2, 3, op_shl},
    {">>", 2, 3, op_shr},
    {"<=", 2, 4, op_compare<le>},
    {">=", 2, 4, op_compare<ge>},
    {"==", 2, 5, op_compare<eq>},
    {"!=", 2, 5, op_compare<ne>},
    {"&&", 2, 9, op_land},
    {"||", 2, 10, op_lor},
    {"*", 1, 1, op_mul},
    {"/", 1, 1, op_div},
    {"%", 1, 1, op_mod},
    {"+", 1, 2, op_add},
    {"-", 1, 2, op_sub},
    {"<", 1, 4, op_compare<lt>},
    {">", 1, 4, op_compare<gt>},
    {"=", 1, 5, op_compare<eq>},
    {"&", 1, 6, op_and},
    {"^", 1, 7, op_xor},
    {"|", 1, 8, op_or},
}};

}  // namespace

uint64_t value_u40(const arg_value& value) {
  return (static_cast<uint64_t>(value.ext & 0xFF) << 32) |
         (static_cast<uint64_t>(value.hi & 0xFFFF) << 16) | (value.lo & 0xFFFF);
}

void set_value_u40(arg_value& value, uint64_t bits) {
  value.lo = static_cast<uint32_t>(bits & 0xFFFF);
  value.hi = static_cast<uint32_t>(bits >> 16 & 0xFFFF);
  value.ext = static_cast<uint32_t>(bits >> 32 & 0xFF);
}

const binary_op* scan_binary_operator(const char* text) {
  if (text == nullptr || *text == '\0') return nullptr;
  // "++" ends the expression rather than reading as "+ +".
  if (text[0] == '+' && text[1] == '+') return nullptr;
  for (const binary_op& op : operators) {
    if (std::strncmp(text, op.text, static_cast<std::size_t>(op.length)) == 0) return &op;
  }
  return nullptr;
}

bool apply_negate(arg_value& value) {
  if (is_float(value)) {
    value.fval = -value.fval;
    return true;
  }
  set_value_u40(value, 0 - value_u40(value));
  return true;
}

bool apply_complement(arg_value& value) {
  if (is_float(value)) return fail("Cannot apply '~' operator to floating point value");
  set_value_u40(value, ~value_u40(value));
  return true;
}

bool apply_logical_not(arg_value& value) {
  set_truth(value, !truth(value));
  return true;
}
