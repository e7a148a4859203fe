#include "fw/gui/graphics/rect.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "tests/fw/gui/raises.h"

namespace {

std::string show(const vrect& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," +
         std::to_string(r.height);
}
std::string show(const vrectLong& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," +
         std::to_string(r.height);
}

TEST(Rect, Predicates) {
  struct Case {
    vrect a, b;
    int intersects, contains;  // a intersects b; a contains b
  } cases[] = {
      {{0, 0, 10, 10}, {10, 0, 5, 5}, 0, 0},   // touching edges
      {{0, 0, 10, 10}, {9, 9, 5, 5}, 1, 0},
      {{0, 0, 10, 10}, {0, 0, 10, 10}, 1, 1},
      {{0, 0, 10, 10}, {5, 5, 0, 0}, 0, 1},    // an empty rectangle inside
      {{0, 0, 10, 10}, {5, 5, 0, 6}, 0, 0},    // its far edge outside
      {{5, 5, 0, 0}, {0, 0, 10, 10}, 0, 0},
      {{-5, -5, 3, 3}, {-3, -3, 1, 1}, 1, 1},
      {{-5, -5, 3, 3}, {-2, -3, 1, 1}, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(vrectIntersects(&c.a, &c.b), c.intersects) << show(c.a) << " " << show(c.b);
    EXPECT_EQ(vrectIntersects(&c.b, &c.a), c.intersects) << show(c.a) << " " << show(c.b);
    EXPECT_EQ(vrectContainsRect(&c.a, &c.b), c.contains) << show(c.a) << " " << show(c.b);
    vrectLong la, lb;
    vrectShortToLong(&c.a, &la);
    vrectShortToLong(&c.b, &lb);
    EXPECT_EQ(vrectLongIntersects(&la, &lb), c.intersects);
    EXPECT_EQ(vrectLongContainsRect(&la, &lb), c.contains);
  }
  vrect r{2, 3, 4, 5};
  EXPECT_TRUE(vrectContainsPoint(&r, 2, 3));
  EXPECT_FALSE(vrectContainsPoint(&r, 6, 3));  // half-open
  EXPECT_FALSE(vrectContainsPoint(&r, 2, 8));
  EXPECT_TRUE(vrectIsEmpty(&cases[3].b));
  EXPECT_TRUE(vrectIsEmpty(&cases[4].b));
  EXPECT_FALSE(vrectIsEmpty(&r));
}

// Every arithmetic operation, with its result written over its input.
TEST(Rect, Arithmetic) {
  struct Case {
    const char* what;
    vrect in;
    void (*op)(vrect*);
    vrect out;
  } cases[] = {
      {"set negative width", {}, [](vrect* r) { vrectSet(10, 10, -4, 5, r); }, {6, 10, 4, 5}},
      {"set negative height", {}, [](vrect* r) { vrectSet(1, 10, 4, -15, r); }, {1, -5, 4, 15}},
      {"set points", {}, [](vrect* r) { vrectSetPoints(8, -2, 3, 5, r); }, {3, -2, 5, 7}},
      {"offset", {1, 2, 3, 4}, [](vrect* r) { vrectOffset(r, -5, 7, r); }, {-4, 9, 3, 4}},
      {"inset past the middle", {0, 0, 10, 10}, [](vrect* r) { vrectInset(r, 6, 5, r); }, {5, 5, 0, 0}},
      {"inset by half, odd", {0, 0, 11, 11}, [](vrect* r) { vrectInset(r, 6, 5, r); }, {5, 5, 0, 1}},
      {"outset", {10, 10, 4, 4}, [](vrect* r) { vrectInset(r, -2, -3, r); }, {8, 7, 8, 10}},
      {"intersect", {0, 0, 10, 10}, [](vrect* r) { vrect b{5, -5, 10, 10}; vrectIntersect(r, &b, r); }, {5, 0, 5, 5}},
      {"intersect apart", {0, 0, 10, 10}, [](vrect* r) { vrect b{20, 30, 5, 5}; vrectIntersect(r, &b, r); },
       {20, 30, 0, 0}},
      {"union with an empty one", {0, 0, 10, 10},
       [](vrect* r) { vrect b{20, 30, 0, 0}; vrectUnion(r, &b, r); }, {0, 0, 20, 30}},
      {"constrain inside", {-5, 95, 10, 10},
       [](vrect* r) { vrect b{0, 0, 100, 100}; vrectConstrain(r, &b, r); }, {0, 90, 10, 10}},
      {"constrain too big: top-left wins", {50, 50, 30, 30},
       [](vrect* r) { vrect b{10, 10, 20, 20}; vrectConstrain(r, &b, r); }, {10, 10, 30, 30}},
      {"constrain size", {50, 50, 30, 30},
       [](vrect* r) { vrect b{10, 10, 20, 20}; vrectConstrainSize(r, &b, r); }, {10, 10, 20, 20}},
  };
  for (const Case& c : cases) {
    vrect r = c.in;
    c.op(&r);
    EXPECT_TRUE(vrectEqual(&r, &c.out)) << c.what << ": " << show(r);
  }
  vrectLong l{0, 0, 10, 10};
  vrectLongInset(&l, 6, 6, &l);
  EXPECT_EQ(show(l), "5,5,0,0");
  vrectLongSet(10, 10, -4, 5, &l);
  EXPECT_EQ(show(l), "6,10,4,5");
  vrectLongSetPoints(-100000, 0, 100000, 1, &l);
  EXPECT_EQ(show(l), "-100000,0,200000,1");
  vrectLong m{150000, 5, 10, 10};
  vrectLongUnion(&l, &m, &l);
  EXPECT_EQ(show(l), "-100000,0,250010,15");
  vrectLongIntersect(&l, &m, &l);
  EXPECT_EQ(show(l), "150000,5,10,10");
}

TEST(Rect, AlignCodes) {
  // Bounds at p = 100 extent e = 51; the size s = 11 (odd halves).
  const vrect bounds{100, 100, 51, 51}, size{0, 0, 11, 11};
  const int want[15] = {64, 89, 95, 100, 125, 114, 120, 0, 176, 151, 146, 140, 115, 125, 120};
  for (int code = 0; code < 15; ++code) {
    if (code == 7) continue;
    vrect out;
    vrectAlign(&size, &bounds, code, 3, &out);
    EXPECT_EQ(out.x, want[code]) << code;
    EXPECT_EQ(out.y, 100) << code;
    EXPECT_EQ(out.width, 11);
    vrectAlign(&size, &bounds, 3, code, &out);
    EXPECT_EQ(out.y, want[code]) << code;
  }
  // Code 6 halves each term: an even extent and odd size differ from (e - s) / 2.
  vrect even{0, 0, 50, 50}, odd{0, 0, 11, 11}, out;
  vrectAlign(&odd, &even, 6, 6, &out);
  EXPECT_EQ(out.x, 25 - 5);
  EXPECT_TRUE(raisesArg([] { vrect a{}, b{}, o; vrectAlign(&a, &b, 7, 3, &o); }));
  EXPECT_TRUE(raisesArg([] { vrect a{}, b{}, o; vrectAlign(&a, &b, 3, 15, &o); }));
  EXPECT_TRUE(raisesArg([] { vrect a{}, b{}, o; vrectAlign(&a, &b, -1, 3, &o); }));
}

// Narrowing for drawing: an axis that fits is kept; one that does not is
// cut around the area (10, 20, 200 x 100) by multiples of 8, centred on its
// own centre when that shows, else keeping a near end whole.
TEST(Rect, NarrowingAroundAnAreaKeepsWhatShows) {
  const vrect area{10, 20, 200, 100};
  struct Case {
    vrectLong in;
    const char* out;
  } cases[] = {
      {{-100, -200, 300, 400}, "-100,-200,300,400"},      // fits: as it is
      {{-34890, 20, 70000, 50}, "-16266,20,32752,50"},    // its centre (110) shows: kept
      {{10, -40000, 20, 80100}, "10,-16328,20,32756"},    // likewise its centre (50) upward
      {{-69890, 20, 70000, 50}, "-32642,20,32752,50"},    // its right end (110) kept
      {{0, 20, 70000, 50}, "0,20,32752,50"},              // its left end kept
      {{40000, 20, 70000, 50}, "32767,20,0,50"},          // nowhere near: nothing
  };
  for (const Case& c : cases) {
    vrect out;
    _vrectLongToShortAround(&c.in, &area, &out);
    EXPECT_EQ(show(out), c.out) << show(c.in);
  }
}

TEST(Rect, Conversions) {
  vrectLong wide{-40000, -10, 80000, 20}, l;
  vrect s;
  vrectLongToShort(&wide, &s);
  EXPECT_EQ(show(s), "-32768,-10,32767,20");
  vrectShortToLong(&s, &l);
  EXPECT_EQ(show(l), "-32768,-10,32767,20");

  struct FloatCase {
    vrectFloat in;
    const char* shortForm;
  } floats[] = {
      {{1.5f, -1.5f, 2.0f, 2.25f}, "1,-2,3,3"},       // floor the origin, ceil the far edges
      {{-40000.f, 0.f, 80000.f, 1.f}, "-32768,0,32767,1"},
      {{0.f, 0.f, 0.f, 0.f}, "0,0,0,0"},
  };
  for (const FloatCase& c : floats) {
    vrectFloatToShort(&c.in, &s);
    EXPECT_EQ(show(s), c.shortForm);
  }

  vrectFloat f{1.5f, -2.25f, 3.0f, 40000.0f};
  vrectFixed x;
  vrectFloatToFixed(&f, &x);
  EXPECT_EQ(x.x, 0x18000);
  EXPECT_EQ(x.y, -0x24000);
  EXPECT_EQ(x.width, 0x30000);
  EXPECT_EQ(x.height, INT32_MAX);  // the far edge saturates, then the extent
  vrectFixed fx{-0x18000, 0x10000, 0x10001, 0x8000};  // -1.5; far edge -0.49998
  vrectFixedToShort(&fx, &s);
  EXPECT_EQ(show(s), "-2,1,2,1");
  vrectFixedToFloat(&fx, &f);
  EXPECT_EQ(f.x, -1.5f);
  EXPECT_EQ(f.height, 0.5f);
  vrectShortToFloat(&s, &f);
  EXPECT_EQ(f.x, -2.0f);
  vrectLongToFloat(&wide, &f);
  EXPECT_EQ(f.width, 80000.0f);
}

TEST(Rect, ArraysComeFromTheirPlaceAndGoBack) {
  vrect* empty = vrectCreateList(0);
  EXPECT_EQ(vrectCreateList(-3), empty);
  vrectDestroyList(empty);
  EXPECT_EQ(vrectCreateList(0), empty);
  EXPECT_EQ(show(empty[0]), "0,0,0,0");
  const vrect four[4] = {{1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}, {4, 4, 4, 4}};
  vrect* small = vrectCloneList(four, 4);
  EXPECT_EQ(show(small[3]), "4,4,4,4");
  vrectDestroyList(small);
  vrect* again = vrectCreateList(1);
  EXPECT_EQ(again, small);  // the pooled block is reused
  vrectDestroyList(again);
  vrect* big = vrectCreateList(1000);
  big[999] = {9, 9, 9, 9};
  vrectDestroyList(big);
  vrectLong* lempty = vrectLongCreateList(0);
  vrectLongDestroyList(lempty);
  vrectLong* lsmall = vrectLongCreateList(3);
  vrectLongDestroyList(lsmall);
  EXPECT_EQ(vrectLongCreateList(2), lsmall);
  vrectLongDestroyList(lsmall);

  EXPECT_TRUE(vrectListContainsPoint(four, 4, 3, 3));
  EXPECT_FALSE(vrectListContainsPoint(four, 4, 0, 0));
  vrect probe{7, 7, 3, 3};
  EXPECT_FALSE(vrectListIntersects(&probe, four, 3));
  EXPECT_TRUE(vrectListIntersects(&probe, four, 4));
  vrect bounds;
  vrectListGetBounds(four, 4, &bounds);
  EXPECT_EQ(show(bounds), "1,1,7,7");
  vrectListGetBounds(four, 0, &bounds);
  EXPECT_EQ(show(bounds), "0,0,0,0");
}

// ---- The set operation against the cells of a 64 x 64 grid.

constexpr int kGrid = 64;
using Grid = std::vector<int>;

void paint(Grid& g, const std::vector<vrect>& rects, int tag) {
  for (const vrect& r : rects)
    for (int y = r.y; y < r.y + r.height; ++y)
      for (int x = r.x; x < r.x + r.width; ++x) g[std::size_t(y * kGrid + x)] |= tag;
}

// The result covers exactly the cells of the result tag, each once.
void checkCombine(const std::vector<vrect>& a, const std::vector<vrect>& b, int tagA, int tagB, int result,
                  const std::string& what) {
  Grid tags(kGrid * kGrid, 0), covered(kGrid * kGrid, 0);
  paint(tags, a, tagA);
  paint(tags, b, tagB);
  int n = -1;
  vrect* out = vrectCombineLists(a.data(), b.data(), int(a.size()), int(b.size()), tagA, tagB, result, &n);
  ASSERT_GE(n, 0);
  for (int i = 0; i < n; ++i) {
    const vrect& r = out[i];
    ASSERT_FALSE(vrectIsEmpty(&r)) << what;
    ASSERT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.width <= kGrid && r.y + r.height <= kGrid) << what << show(r);
    for (int y = r.y; y < r.y + r.height; ++y)
      for (int x = r.x; x < r.x + r.width; ++x) ++covered[std::size_t(y * kGrid + x)];
  }
  for (int i = 0; i < kGrid * kGrid; ++i) {
    ASSERT_EQ(covered[std::size_t(i)], tags[std::size_t(i)] == result ? 1 : 0)
        << what << " cell " << i % kGrid << "," << i / kGrid << " tag " << tags[std::size_t(i)];
  }
  vrectDestroyList(out);
}

TEST(RectCombine, MatchesTheCellsOnRandomLists) {
  std::mt19937 rng(73500);
  auto randomList = [&](int n, int maxSize) {
    std::vector<vrect> v;
    for (int i = 0; i < n; ++i) {
      int w = int(rng() % unsigned(maxSize + 1)), h = int(rng() % unsigned(maxSize + 1));
      v.push_back({std::int16_t(rng() % unsigned(kGrid - w + 1)), std::int16_t(rng() % unsigned(kGrid - h + 1)),
                   std::int16_t(w), std::int16_t(h)});
    }
    return v;
  };
  for (int run = 0; run < 300; ++run) {
    std::vector<vrect> a = randomList(int(rng() % 12), 1 + run % 40), b = randomList(int(rng() % 12), 1 + run % 30);
    std::string what = "run " + std::to_string(run);
    checkCombine(a, b, 1, 2, 3, what + " intersection");
    checkCombine(a, b, 1, 2, 1, what + " a minus b");
    checkCombine(a, b, 1, 2, 2, what + " b minus a");
    checkCombine(a, b, 1, 1, 1, what + " union");
    checkCombine(a, a, 1, 1, 1, what + " with itself");
  }
}

TEST(RectCombine, EdgeCases) {
  int n = -1;
  vrect* out = vrectCombineLists(nullptr, nullptr, 0, 0, 1, 2, 3, &n);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(out, vrectCreateList(0));
  // Touching rectangles: no intersection.
  vrect a{0, 0, 10, 10}, b{10, 0, 10, 10};
  out = vrectCombineLists(&a, &b, 1, 1, 1, 2, 3, &n);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(out, vrectCreateList(0));
  // Their union is one rectangle.
  out = vrectCombineLists(&a, &b, 1, 1, 1, 1, 1, &n);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(show(out[0]), "0,0,20,10");
  vrectDestroyList(out);

  // A list with itself under tags 1, 1: one rectangle per connected
  // column band.
  const vrect bands[] = {{0, 0, 10, 5}, {0, 5, 10, 7}, {0, 2, 10, 3}, {20, 3, 5, 5}, {20, 8, 5, 1}, {40, 0, 4, 4}};
  out = vrectCombineLists(bands, bands, 6, 6, 1, 1, 1, &n);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(show(out[0]), "0,0,10,12");
  EXPECT_EQ(show(out[1]), "20,3,5,6");
  EXPECT_EQ(show(out[2]), "40,0,4,4");
  vrectDestroyList(out);

  // A minus b cuts a hole: the pieces around it.
  vrect outer{0, 0, 30, 30}, hole{10, 10, 10, 10};
  out = vrectCombineLists(&outer, &hole, 1, 1, 1, 2, 1, &n);
  int area = 0;
  for (int i = 0; i < n; ++i) area += out[i].width * out[i].height;
  EXPECT_EQ(area, 900 - 100);
  EXPECT_LE(n, 4);
  vrectDestroyList(out);

  // The long twin, beyond 16 bits.
  vrectLong la{-100000, 0, 200000, 10}, lb{50000, 5, 100000, 10};
  vrectLong* lo = vrectLongCombineLists(&la, &lb, 1, 1, 1, 2, 3, &n);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(show(lo[0]), "50000,5,50000,5");
  vrectLongDestroyList(lo);
}

}  // namespace
