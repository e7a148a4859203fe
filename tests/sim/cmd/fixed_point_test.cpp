// Fractions to words and back, at the edges, and the decimal split.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "sim/expr/expr.h"

namespace {

arg_value with(uint32_t type, double fval) {
  arg_value v;
  v.type = type;
  v.fval = fval;
  return v;
}

arg_value words(uint32_t type, uint32_t lo, uint32_t hi = 0, uint32_t ext = 0) {
  arg_value v;
  v.type = type | AV_INT;
  v.lo = lo;
  v.hi = hi;
  v.ext = ext;
  return v;
}

constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TEST(FractionToWord, EdgesAndRounding) {
  const struct {
    double x;
    int32_t result;
    uint32_t lo, hi, ext;
  } cases[] = {
      {1.0, 32767, 0x7FFF, 0, 0},
      {-1.0, -32768, 0x8000, 0xFFFF, 0xFF},
      {0.5, 16384, 0x4000, 0, 0},
      {-0.5, -16384, 0xC000, 0xFFFF, 0xFF},
      {2.5 / 32768, 2, 2, 0, 0},       // half to even
      {-2.5 / 32768, -2, 0xFFFE, 0xFFFF, 0xFF},
      {3.5 / 32768, 4, 4, 0, 0},
      {1.5 / 32768, 2, 2, 0, 0},
      {32767.0 / 32768, 32767, 0x7FFF, 0, 0},
      {0.99999, 32767, 0x7FFF, 0, 0},  // rounds up to 32768: kept at the top
      {-0.99999, -32768, 0x8000, 0xFFFF, 0xFF},
      {7.0, 32767, 0x7FFF, 0, 0},
      {-3.0, -32768, 0x8000, 0xFFFF, 0xFF},
      {0.0, 0, 0, 0, 0},
      {INF, 32767, 0x7FFF, 0, 0},
      {-INF, -32768, 0x8000, 0xFFFF, 0xFF},
      {NaN, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    arg_value v = with(AV_ONE | AV_FLOAT, c.x);
    EXPECT_EQ(fraction_to_word(0, v), c.result) << c.x;
    EXPECT_EQ(v.lo, c.lo) << c.x;
    EXPECT_EQ(v.hi, c.hi) << c.x;
    EXPECT_EQ(v.ext, c.ext) << c.x;
  }
}

TEST(FractionToWord, OtherWidths) {
  const struct {
    uint32_t width;
    double x;
    int32_t result;
    uint32_t lo;
  } cases[] = {{AV_W8, 0.5, 64, 0x40}, {AV_W8, -1.0, -128, 0x80}, {AV_W4, 1.0, 7, 7}, {AV_W12, -0.25, -512, 0xE00}};
  for (const auto& c : cases) {
    arg_value v = with(AV_ONE | c.width, c.x);
    EXPECT_EQ(fraction_to_word(0, v), c.result) << c.x;
    EXPECT_EQ(v.lo, c.lo) << c.x;
  }
}

TEST(ValueAsDouble, FixedPointFractions) {
  const struct {
    arg_value v;
    double expect;
  } cases[] = {
      {words(AV_ONE, 0x4000), 0.5},
      {words(AV_ONE, 0x8000), -1.0},
      {words(AV_ONE, 0x7FFF), 32767.0 / 32768},
      {words(AV_ONE | AV_W16, 0xFFFF, 0xFFFF, 0xFF), -1.0 / 32768},
      {words(AV_ONE, 0x0345), 837.0 / 32768},
      {words(AV_ONE | AV_W8, 0x80), -1.0},
      {words(AV_ONE | AV_W8, 0x1C0), -0.5},  // only the low 8 bits count
      {words(AV_ONE | AV_W4, 0x4), 0.5},
      {words(AV_TWO, 0, 0x8000), -1.0},
      {words(AV_TWO, 0, 0x4000), 0.5},
      {words(AV_TWO, 0xFFFF, 0x7FFF), 2147483647.0 / 2147483648.0},
      {words(AV_THREE, 0, 0, 0x80), -256.0},
      {words(AV_THREE, 0, 0, 0x01), 2.0},
      {words(AV_THREE, 0, 0x8000, 0), 1.0},
      {words(AV_THREE, 0xFFFF, 0xFFFF, 0xFF), -1.0 / 2147483648.0},
  };
  for (auto c : cases) {
    EXPECT_DOUBLE_EQ(value_as_double(0, c.v), c.expect);
    EXPECT_DOUBLE_EQ(c.v.fval, c.expect);  // kept in the value
    EXPECT_TRUE(c.v.type & AV_INT);        // type untouched
  }
  arg_value f = with(AV_FLOAT | AV_ONE, 0.25);
  f.lo = 0x7FFF;
  EXPECT_DOUBLE_EQ(value_as_double(0, f), 0.25);
}

TEST(ValueFromDouble, TwoAndThreeWords) {
  const struct {
    uint32_t type;
    double x;
    uint32_t lo, hi, ext;
  } cases[] = {
      {AV_TWO, 0.5, 0, 0x4000, 0},
      {AV_TWO, -0.5, 0, 0xC000, 0xFF},
      {AV_TWO, -1.0, 0, 0x8000, 0xFF},
      {AV_TWO, 1.0, 0xFFFF, 0x7FFF, 0},
      {AV_TWO, 1e300, 0xFFFF, 0x7FFF, 0},
      {AV_TWO, -INF, 0, 0x8000, 0xFF},
      {AV_TWO, NaN, 0, 0, 0},
      {AV_TWO, 1.0 / 2147483648.0, 1, 0, 0},
      {AV_TWO, -1.0 / 2147483648.0, 0xFFFF, 0xFFFF, 0xFF},
      {AV_THREE, 1.5, 0, 0xC000, 0},
      {AV_THREE, -1.5, 0, 0x4000, 0xFF},  // 2^40 - 0xC0000000
      {AV_THREE, -256.0, 0, 0, 0x80},
      {AV_THREE, 300.0, 0xFFFF, 0xFFFF, 0x7F},
      {AV_THREE, -1e300, 0, 0, 0x80},
      {AV_THREE, INF, 0xFFFF, 0xFFFF, 0x7F},
      {AV_THREE, NaN, 0, 0, 0},
      {AV_THREE, 255.5, 0, 0xC000, 0x7F},
      {AV_ONE, -0.5, 0xC000, 0xFFFF, 0xFF},
  };
  for (const auto& c : cases) {
    arg_value v = with(c.type | AV_FLOAT, c.x);
    value_from_double(0, v);
    EXPECT_EQ(v.lo, c.lo) << c.x;
    EXPECT_EQ(v.hi, c.hi) << c.x;
    EXPECT_EQ(v.ext, c.ext) << c.x;
    EXPECT_EQ(v.type, c.type | AV_FLOAT);
  }
}

TEST(SplitDecimal, QuotientAndRemainder) {
  const auto parts = [](decimal_split s) { return std::make_pair(s.quotient, s.remainder); };
  using qr = std::pair<uint32_t, uint32_t>;
  EXPECT_EQ(parts(split_decimal(0, 0xFFFF, 0xFFFF, 0xFF)), (qr{1099, 511627775}));  // 1099511627775
  EXPECT_EQ(parts(split_decimal64(0, 0xFFFF, 0xFFFF)), (qr{4, 294967295}));         // 4294967295
  EXPECT_EQ(parts(split_decimal64(0, 0xCA00, 0x3B9A)), (qr{1, 0}));  // exactly 1,000,000,000
  EXPECT_EQ(parts(split_decimal(0, 0x0345, 0, 0)), (qr{0, 837}));
}
