#include "fw/imaging/codecs/rlediff.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/fw/imaging/images.h"

using namespace testimg;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const vimageRLEDiff& d) { return Bytes(d.data, d.data + vimageRLEDataSize(d.data)); }

Bytes compress(vimage* before, vimage* after, int x, int y, int w, int h) {
  vimageRLEDiff d;
  vimageRLECompressDiff(&d, before, after, x, y, w, h);
  Bytes b = bytesOf(d);
  vimageRLEFree(&d);
  return b;
}

TEST(RLEDiff, RunBytesOfTheKnownCases) {
  Images keep;
  vimage* a = keep(make(300, 1, 8));
  vimage* b = keep(make(300, 1, 8));
  EXPECT_EQ(compress(a, b, 0, 0, 300, 1), (Bytes{127, 127, 46}));
  EXPECT_EQ(compress(a, b, 0, 0, 0, 1), Bytes{});
  EXPECT_EQ(compress(a, b, 5, 0, 10, 0), Bytes{});

  vimage* c = keep(make(4, 1, 8, {1, 2, 3, 4}));
  vimage* d = keep(make(4, 1, 8, {1, 2, 9, 4}));
  EXPECT_EQ(compress(c, d, 0, 0, 4, 1), (Bytes{2, 0x81, 9, 1}));

  // Multi-byte pixels least significant byte first; a run of 200
  // differing pixels splits at 127; runs end with each row.
  struct Case {
    int depth;
    std::uint32_t pixel;
    Bytes stored;
  } cases[] = {{24, 0xABCDEF, {0xEF, 0xCD, 0xAB}},
               {16, 0x1234, {0x34, 0x12}},
               {32, 0x89ABCDEF, {0xEF, 0xCD, 0xAB, 0x89}},
               {4, 0xC, {0x0C}},
               {1, 1, {0x01}}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.depth);
    vimage* before = keep(make(2, 2, k.depth));
    vimage* after = keep(make(2, 2, k.depth, {0, k.pixel, 0, 0}));
    Bytes expected{1, 0x81};
    expected.insert(expected.end(), k.stored.begin(), k.stored.end());
    expected.push_back(2);
    vimageRLEDiff diff;
    vimageRLECompressDiff(&diff, before, after, 0, 0, 2, 2);
    EXPECT_EQ(bytesOf(diff), expected);
    vimageRLEApply(before, diff);
    EXPECT_EQ(pixelsOf(before), (Pixels{0, k.pixel, 0, 0}));
    vimageRLEFree(&diff);
  }
  vimage* plain = keep(make(200, 2, 8));
  vimage* full = keep(make(200, 2, 8, Pixels(400, 5)));
  Bytes runs = compress(plain, full, 0, 0, 200, 2);
  ASSERT_EQ(runs.size(), 2u * (1 + 127 + 1 + 73));
  EXPECT_EQ(runs[0], 0xFF);
  EXPECT_EQ(runs[128], 0x80 + 73);
  EXPECT_EQ(runs[202], 0xFF);
}

TEST(RLEDiff, ApplyingTwiceIsTheIdentityAtEveryDepth) {
  Images keep;
  std::mt19937 rng(53);
  for (int depth : {1, 2, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(depth);
    std::uint32_t mask = depth == 32 ? ~0u : (1u << depth) - 1;
    const int w = 37, h = 9;
    Pixels first, second;
    for (int i = 0; i < w * h; ++i) {
      first.push_back(rng() & mask);
      second.push_back(rng() % 3 ? first.back() : rng() & mask);
    }
    vimage* image = keep(make(w, h, depth, first));
    vimage* changed = keep(make(w, h, depth, second));
    // A rectangle inside, and the whole image.
    for (auto [x, y, rw, rh] : {std::array<int, 4>{3, 2, 30, 5}, std::array<int, 4>{0, 0, w, h}}) {
      vimageRLEDiff d;
      vimageRLECompressDiff(&d, image, changed, x, y, rw, rh);
      vimageRLEApply(image, d);
      Pixels now = pixelsOf(image);
      for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx) {
          bool inside = xx >= x && xx < x + rw && yy >= y && yy < y + rh;
          std::size_t i = std::size_t(yy * w + xx);
          ASSERT_EQ(now[i], inside ? second[i] : first[i]) << xx << "," << yy;
        }
      vimageRLEApply(image, d);
      ASSERT_EQ(pixelsOf(image), first);
      vimageRLEFree(&d);
    }
  }
}

TEST(RLEDiff, MisfitImagesAndRectanglesAreRefused) {
  Images keep;
  vimage* a = keep(make(8, 4, 8));
  vimage* wide = keep(make(9, 4, 8));
  vimage* deep = keep(make(8, 4, 16));
  vimageRLEDiff d{};
  struct Case {
    vimage* other;
    int x, y, w, h;
  } cases[] = {{wide, 0, 0, 1, 1}, {deep, 0, 0, 1, 1}, {nullptr, 0, 0, 1, 1}, {a, 1, 0, 8, 1},
               {a, 0, 2, 1, 3},    {a, -1, 0, 1, 1},  {a, 0, 0, -1, 1},      {a, 0x7FFFFFFF, 0, 0x7FFFFFFF, 1}};
  for (const Case& c : cases) {
    EXPECT_TRUE(raisesArg([&] { vimageRLECompressDiff(&d, a, c.other, c.x, c.y, c.w, c.h); }));
    EXPECT_TRUE(raisesArg([&] { vimageRLEApplyDiff(a, c.other, c.x, c.y, c.w, c.h, nullptr); }));
  }

  // Damaged blocks stop at their end or at a run past the row.
  vimage* image = keep(make(4, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8}));
  for (Bytes damaged : {Bytes{0x82, 0xAA}, Bytes{0x85, 1, 2, 3}, Bytes{9}, Bytes{0, 0x80, 4, 0x81, 9, 9, 9}}) {
    std::uint8_t* data = vimageRLECreateData(damaged.data(), damaged.size());
    vimageRLEApplyDiff(image, image, 0, 0, 4, 2, data);
    vimageRLEFreeDiff(0, 0, 4, 2, data);
  }
  EXPECT_EQ(pixelsOf(image), (Pixels{1, 2, 3, 4, 0x090909, 6, 7, 8}));
}

}  // namespace
