#include "fw/gui/graphics/matrix.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fw/core/ex.h"

namespace {

// By value: a negative zero is zero.
bool same(const vmatrix& m, const vmatrix& n) {
  return m.a == n.a && m.b == n.b && m.c == n.c && m.d == n.d && m.tx == n.tx && m.ty == n.ty;
}
std::string print(const vmatrix& m) {
  char buffer[6 * 48 + 3];
  char* end = vmatrixPrint(&m, buffer);
  EXPECT_EQ(*end, '\0');
  return std::string(buffer, end);
}

TEST(Matrix, PrintAndParse) {
  EXPECT_EQ(print(vmatrixIdentity), "[1 0 0 1 0 0 ]");
  struct Case {
    vmatrix m;
    const char* text;
  } cases[] = {
      {{2, 0, 0, 0.5f, 10, -3}, "[2 0 0 0.5 10 -3 ]"},
      {{1e10f, -1.5e-7f, 0.25f, 1, 0, 123456}, "[1e+10 -1.5e-07 0.25 1 0 123456 ]"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(print(c.m), c.text);
    vmatrix back;
    const char* end = vmatrixParse(c.text, &back);
    EXPECT_EQ(*end, '\0');
    EXPECT_TRUE(same(back, c.m)) << c.text;
  }
  // Missing and empty fields keep the identity's values.
  struct Parse {
    const char* text;
    vmatrix m;
  } parses[] = {
      {"", vmatrixIdentity},
      {"[]", vmatrixIdentity},
      {"[3 4", {3, 4, 0, 1, 0, 0}},
      {"5 6 7 8 9 10", {5, 6, 7, 8, 9, 10}},
      {"[1 2 3 4 5 6 ] rest", {1, 2, 3, 4, 5, 6}},
      {"[ 2", {1, 2, 0, 1, 0, 0}},  // a blank first field is empty
      {"[x 2 ]", {1, 2, 0, 1, 0, 0}},
  };
  for (const Parse& p : parses) {
    vmatrix m{9, 9, 9, 9, 9, 9};
    const char* end = vmatrixParse(p.text, &m);
    EXPECT_TRUE(*end == '\0' || std::strcmp(end, "rest") == 0) << p.text;
    EXPECT_TRUE(same(m, p.m)) << p.text;
  }
}

TEST(Matrix, CompareWithTolerance) {
  vmatrix m{2, 0, 0, 2, 100, 50};
  struct Case {
    vmatrix n;
    int result;
    double difference;
  } cases[] = {
      {{2, 0, 0, 2, 100.00005f, 50}, 0, 0.0},
      {{2, 0, 0, 2, 100.001f, 50}, -1, 100.0 - double(100.001f)},
      {{2, 0, 0, 2, 99.999f, 50}, 1, 100.0 - double(99.999f)},
      {{2, 0, 0, 2, 100, 49}, 2, 1.0},
      {{2, 0, 0, 2.01f, 0, 0}, -6, 2.0 - double(2.01f)},  // d decides before the rest
      {{2.0005f, 0, 0, 2, 100, 50}, 0, 0.0},              // within 0.0001 x 8
      {{2, 0, 0.1f, 2, 100, 50}, -3, -double(0.1f)},
      {{1, 0, 0, 2, 100, 50}, 5, 1.0},
  };
  for (const Case& c : cases) {
    double diff = 99;
    EXPECT_EQ(vmatrixCompare(&m, &c.n, &diff), c.result) << print(c.n);
    if (c.result) {
      EXPECT_DOUBLE_EQ(diff, c.difference) << print(c.n);
    }
    EXPECT_EQ(vmatrixCompare(&c.n, &m, &diff), -c.result) << print(c.n);
  }
}

TEST(Matrix, Arithmetic) {
  vmatrix swap{0, 1, 1, 0, 0, 0}, out;
  vmatrixInvert(&swap, &out);
  EXPECT_TRUE(same(out, swap));
  vmatrixInvert(&vmatrixIdentity, &out);
  EXPECT_TRUE(same(out, vmatrixIdentity));
  vmatrix m{2, 0, 0, 4, 10, 20};
  vmatrixInvert(&m, &out);
  EXPECT_TRUE(same(out, (vmatrix{0.5f, 0, 0, 0.25f, -5, -5})));
  std::string message;
  vexGuard([] { vmatrix singular{1, 2, 2, 4, 0, 0}, o; vmatrixInvert(&singular, &o); },
           [&](vexHandler& h) {
             message = vexGetCurrentException()->message;
             EXPECT_TRUE(vexClassDerives(vexGetCurrentException()->cls, &vexArgClass));
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(message, "matrix inverse requires non-zero determinant");

  // Concat reads everything first: the output may be an input.
  vmatrix a{1, 0, 0, 1, 5, 7}, b{2, 0, 0, 3, 1, 1};
  vmatrixConcat(&a, &b, &a);
  EXPECT_TRUE(same(a, (vmatrix{2, 0, 0, 3, 11, 22})));
  vmatrix c{0, 1, -1, 0, 0, 0}, d{1, 2, 3, 4, 5, 6};
  vmatrixConcat(&c, &d, &d);
  EXPECT_TRUE(same(d, (vmatrix{3, 4, -1, -2, 5, 6})));

  double x, y;
  vmatrix t{2, 0, 0, 3, 10, 20};
  vmatrixTransformPoint(&t, 1, 1, &x, &y);
  EXPECT_EQ(x, 12);
  EXPECT_EQ(y, 23);
  vmatrixTransformVector(&t, 1, 1, &x, &y);
  EXPECT_EQ(x, 2);
  vmatrixTranslate(&t, 1, 1, &t);
  EXPECT_TRUE(same(t, (vmatrix{2, 0, 0, 3, 12, 23})));
  vmatrixScale(&t, 2, -1, &t);
  EXPECT_TRUE(same(t, (vmatrix{4, 0, 0, -3, 12, 23})));

  // A quarter turn: sin rounded to a float, cos not.
  vmatrix r;
  vmatrixRotate(&vmatrixIdentity, 90, &r);
  EXPECT_EQ(r.b, 1.0f);
  EXPECT_EQ(r.c, -1.0f);
  EXPECT_NEAR(r.a, 0, 1e-7);
  vrectFloat box{0, 0, 2, 1}, turned;
  vmatrix q{0, 1, -1, 0, 10, 0};
  vmatrixTransformRect(&q, &box, &turned);
  EXPECT_EQ(turned.x, 9);
  EXPECT_EQ(turned.y, 0);
  EXPECT_EQ(turned.width, 1);
  EXPECT_EQ(turned.height, 2);
}

TEST(Matrix, FixedFormAndKinds) {
  vmatrix rotated;
  vmatrixRotate(&vmatrixIdentity, 30, &rotated);
  struct Case {
    vmatrix m;
    std::uint32_t bits;
    vmatrixKind kind;
  } cases[] = {
      {vmatrixIdentity, 0, vmatrixIDENTITY},
      {{1, 0, 0, 1, 5, 0}, 1, vmatrixTRANSLATION},
      {{1, 0, 0, -1, 0, 100}, 10, vmatrixFLIP},
      {{2, 0, 0, 2, 0, 0}, 16 | 32, vmatrixSCALE},
      {{-1, 0, 0, 1, 0, 0}, 4, vmatrixSCALE},
      {{-1, 0, 0, -1, 0, 0}, 12, vmatrixSCALE},
      {rotated, 16 | 32 | 64, vmatrixGENERAL},
      {{1, 0, 0.5f, 1, 0, 0}, 64, vmatrixGENERAL},
      {{40000, 0, 0, 1, 0, -40000}, 2 | 16, vmatrixSCALE},  // saturated
  };
  for (const Case& c : cases) {
    vmatrixFixed f;
    vmatrixToFixed(&c.m, &f);
    EXPECT_EQ(f.classBits, c.bits) << print(c.m);
    EXPECT_EQ(vmatrixGetKind(f.classBits), c.kind) << print(c.m);
  }
  // Class values 8-11 are flips, 4-7 and 12-63 scales, 64-127 general.
  for (std::uint32_t v = 0; v < 128; ++v) {
    vmatrixKind want = v >= 64 ? vmatrixGENERAL : v >= 12 || (v >= 4 && v < 8) ? vmatrixSCALE
                       : v >= 8 ? vmatrixFLIP : v ? vmatrixTRANSLATION : vmatrixIDENTITY;
    EXPECT_EQ(vmatrixGetKind(v), want) << v;
  }

  vmatrixFixed f;
  vmatrix big{40000, -0.25f, 0, 1.5f, 2.5f, -40000};
  vmatrixToFixed(&big, &f);
  EXPECT_EQ(f.a, INT32_MAX);
  EXPECT_EQ(f.b, -16384);
  EXPECT_EQ(f.ty, INT32_MIN);
  vmatrix back;
  vmatrixFromFixed(&f, &back);
  EXPECT_EQ(back.d, 1.5f);
  EXPECT_EQ(back.tx, 2.5f);
  vmatrixFixed signs;
  vmatrixFixedSigns(&f, &signs);
  EXPECT_EQ(signs.a, 0x10000);
  EXPECT_EQ(signs.b, -0x10000);
  EXPECT_EQ(signs.c, 0);
  EXPECT_EQ(signs.d, 0x10000);
  EXPECT_EQ(signs.tx, f.tx);
  EXPECT_EQ(signs.classBits, f.classBits & ~std::uint32_t(16 | 32));
}

}  // namespace
