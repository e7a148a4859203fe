#include "fw/core/fixed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Fixed, FromDoubleSaturatesAndTruncates) {
  struct Case {
    double in;
    vfixed out;
  } cases[] = {
      {1.5, 98304},
      {-0.5, -32768},
      {-32768.0, INT32_MIN},
      {-40000.0, INT32_MIN},
      {40000.0, INT32_MAX},
      {32767.99998474121, 0x7fffffff},
      {32767.5, 0x7fff8000},
      {1.0 / 131072.0, 0},     // below one step: toward zero
      {-1.0 / 131072.0, 0},
      {-1.00001, -65536},       // toward zero, not down
      {std::numeric_limits<double>::quiet_NaN(), INT32_MIN},
      {std::numeric_limits<double>::infinity(), INT32_MAX},
      {-std::numeric_limits<double>::infinity(), INT32_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(vfixedFromDouble(c.in), c.out) << c.in;
}

TEST(Fixed, AbsAndMultiply) {
  EXPECT_EQ(vfixedAbs(-65536), 65536);
  EXPECT_EQ(vfixedAbs(INT32_MIN), INT32_MIN);
  struct Case {
    vfixed a, b, product;
  } cases[] = {
      {98304, 131072, 196608},     // 1.5 x 2.0
      {-32768, 131072, -65536},    // -0.5 x 2.0
      {-32768, -32768, 16384},     // -0.5 x -0.5
      {1, 1, 0},                   // the fraction dropped
      {-1, 1, 0},
      {0x7fffffff, 0x10000, 0x7fffffff},
      {0x00010001, 0x00010001, 0x00010002},  // the cross terms and the low product
      {0x01000000, 0x01000000, 0},           // 256 x 256 wraps to 0
      {INT32_MIN, 0x10000, INT32_MIN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(vfixedMultiply(c.a, c.b), c.product) << c.a << " x " << c.b;
    EXPECT_EQ(vfixedMultiply(c.b, c.a), c.product) << c.b << " x " << c.a;
  }
}

TEST(Fixed, PointArithmetic) {
  vpoint a{-32768, 100}, b{1, -32768}, d{};
  vpointSubtract(&a, &b, &d);
  EXPECT_EQ(d.x, 32767);   // cut to 16 bits
  EXPECT_EQ(d.y, -32668);

  struct Case {
    vpoint in;
    vrect rect;
    vpoint out;
  } cases[] = {
      {{5, 50}, {10, 10, 20, 20}, {10, 29}},
      {{15, 15}, {10, 10, 20, 20}, {15, 15}},
      {{29, 30}, {10, 10, 20, 20}, {29, 29}},
      {{10, 10}, {10, 10, 0, 0}, {9, 9}},  // empty extent: origin - 1
      {{9, 9}, {10, 10, 0, 0}, {10, 10}},
  };
  for (const Case& c : cases) {
    vpoint p = c.in;
    vpointPinToRect(&p, &c.rect, &p);  // out may be the input
    EXPECT_EQ(p.x, c.out.x) << c.in.x << "," << c.in.y;
    EXPECT_EQ(p.y, c.out.y) << c.in.x << "," << c.in.y;
  }
}

}  // namespace
