// Fixed-point fractions and their doubles, and the decimal split of
// values wider than 32 bits.
#include <array>
#include <cmath>
#include <cstdint>

#include "sim/expr/expr.h"

namespace {

struct width_bit {
  uint32_t bit;
  int width;
};
constexpr std::array<width_bit, 7> width_bits = {{
    {AV_W32, 32}, {AV_W24, 24}, {AV_W20, 20}, {AV_W16, 16},
    {AV_W12, 12}, {AV_W8, 8},   {AV_W4, 4},
}};

constexpr uint64_t MASK40 = 0xFFFFFFFFFFull;
constexpr double TWO_31 = 2147483648.0;

int word_count(uint32_t type) {
  if (type & AV_THREE) return 3;
  if (type & AV_TWO) return 2;
  return 1;
}

int64_t sign_extend(uint64_t bits, int width) {
  const uint64_t mask = (width >= 64) ? ~0ull : ((1ull << width) - 1);
  bits &= mask;
  const uint64_t sign = 1ull << (width - 1);
  return static_cast<int64_t>((bits ^ sign) - sign);
}

// Rounds half to even; the caller has kept the value inside the word's range.
int64_t round_even(double x) {
  return static_cast<int64_t>(std::nearbyint(x));
}

}  // namespace

int value_fraction_width(uint32_t type) {
  for (const width_bit& w : width_bits)
    if (type & w.bit) return w.width;
  return 16;
}

double value_as_double(uint32_t /*expr_flags*/, arg_value& value) {
  if (value.type & AV_FLOAT) return value.fval;
  const uint64_t lo = value.lo & 0xFFFF;
  const uint64_t hi = value.hi & 0xFFFF;
  const uint64_t ext = value.ext & 0xFF;
  double result = 0.0;
  switch (word_count(value.type)) {
    case 1: {
      const int w = value_fraction_width(value.type);
      // A width above one word takes its upper bits from hi.
      const uint64_t bits = (w > 16) ? (hi << 16 | lo) : lo;
      result = std::ldexp(static_cast<double>(sign_extend(bits, w)), -(w - 1));
      break;
    }
    case 2:
      result = static_cast<double>(sign_extend(hi << 16 | lo, 32)) / TWO_31;
      break;
    default:
      result = static_cast<double>(sign_extend(ext << 32 | hi << 16 | lo, 40)) / TWO_31;
      break;
  }
  value.fval = result;
  return result;
}

int32_t fraction_to_word(uint32_t /*expr_flags*/, arg_value& value) {
  const int w = value_fraction_width(value.type);
  const double scale = std::ldexp(1.0, w - 1);
  const int64_t most_negative = -static_cast<int64_t>(1ull << (w - 1));
  const int64_t most_positive = static_cast<int64_t>(1ull << (w - 1)) - 1;
  const double x = value.fval;
  int64_t n = 0;
  if (x <= -1.0) {
    n = most_negative;
  } else if (x >= 1.0) {
    n = most_positive;
  } else if (std::isnan(x)) {
    n = 0;  // no fraction stands for it; zero rather than an undefined conversion
  } else {
    n = round_even(x * scale);
    // Rounding just below +1.0 can reach 2^(w-1).
    if (n > most_positive) n = most_positive;
  }
  const uint64_t mask = (1ull << w) - 1;
  const uint64_t bits = static_cast<uint64_t>(n) & mask;
  value.lo = static_cast<uint32_t>(bits & 0xFFFF);
  if (w > 16) {
    value.hi = static_cast<uint32_t>(bits >> 16 & 0xFFFF);
    if (n < 0) value.hi |= static_cast<uint32_t>(0xFFFF & ~(mask >> 16));
    value.ext = n < 0 ? 0xFF : 0;
  } else {
    value.hi = n < 0 ? 0xFFFF : 0;
    value.ext = n < 0 ? 0xFF : 0;
  }
  return static_cast<int32_t>(n);
}

void value_from_double(uint32_t expr_flags, arg_value& value) {
  const double x = value.fval;
  const auto store40 = [&](uint64_t bits) {
    bits &= MASK40;
    value.lo = static_cast<uint32_t>(bits & 0xFFFF);
    value.hi = static_cast<uint32_t>(bits >> 16 & 0xFFFF);
    value.ext = static_cast<uint32_t>(bits >> 32 & 0xFF);
  };
  // The magnitude times 2^31 truncated, negated for a negative value; NaN
  // has no fraction and becomes zero.
  const auto scaled = [&]() -> uint64_t {
    if (std::isnan(x)) return 0;
    const auto magnitude = static_cast<uint64_t>(std::fabs(x) * TWO_31);
    return x < 0 ? (0 - magnitude) : magnitude;
  };
  switch (word_count(value.type)) {
    case 1:
      fraction_to_word(expr_flags, value);
      return;
    case 2: {
      uint64_t bits = 0;
      if (x <= -1.0) {
        bits = 0xFF80000000ull;
      } else if (x >= 1.0) {
        bits = 0x7FFFFFFFull;
      } else {
        bits = scaled();
      }
      store40(bits);
      // Only the two words carry the value; ext says its sign.
      value.ext = (value.hi & 0x8000) ? 0xFF : 0;
      return;
    }
    default:
      if (x <= -256.0) {
        store40(0x8000000000ull);
      } else if (x >= 256.0) {
        store40(0x7FFFFFFFFFull);
      } else {
        store40(scaled());
      }
      return;
  }
}

decimal_split split_decimal(uint32_t /*expr_flags*/, uint32_t lo, uint32_t hi, uint32_t ext) {
  const uint64_t n = (static_cast<uint64_t>(ext & 0xFF) << 32) |
                     (static_cast<uint64_t>(hi & 0xFFFF) << 16) | (lo & 0xFFFF);
  constexpr uint64_t billion = 0x3B9ACA00;  // 1,000,000,000
  return {static_cast<uint32_t>(n % billion), static_cast<uint32_t>(n / billion)};
}

decimal_split split_decimal64(uint32_t expr_flags, uint32_t lo, uint32_t hi) {
  return split_decimal(expr_flags, lo, hi, 0);
}
