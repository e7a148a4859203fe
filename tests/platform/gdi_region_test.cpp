// Regions against a pixel model: random rectangles combined every way,
// the banded form GetRegionData hands out, and the region calls' edges.
#include <gtest/gtest.h>

#include <random>
#include <cstring>
#include <tuple>
#include <vector>

#include "platform/win.h"

namespace {

using namespace win;

constexpr int kSize = 34;  // random pieces end before 33
using Grid = std::vector<bool>;

Grid gridOf(HRGN r) {
  Grid g(kSize * kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) g[y * kSize + x] = PtInRegion(r, x, y);
  return g;
}

std::vector<RECT> dataOf(HRGN r, RGNDATAHEADER* header = nullptr) {
  DWORD size = GetRegionData(r, 0, nullptr);
  std::vector<char> buffer(size);
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  EXPECT_EQ(GetRegionData(r, size, data), size);
  if (header) *header = data->rdh;
  std::vector<RECT> rects(data->rdh.nCount);
  if (!rects.empty()) std::memcpy(rects.data(), data->Buffer, rects.size() * sizeof(RECT));
  return rects;
}

// The banded form: rows of equal top and bottom sorted by left, no two
// rectangles of a band touching, no two touching bands alike.
void expectBanded(HRGN r) {
  std::vector<RECT> rects = dataOf(r);
  for (std::size_t i = 1; i < rects.size(); ++i) {
    const RECT &a = rects[i - 1], &b = rects[i];
    if (a.top == b.top) {
      EXPECT_EQ(a.bottom, b.bottom);
      EXPECT_LT(a.right, b.left) << "touching or overlapping in a band";
    } else {
      EXPECT_GE(b.top, a.bottom);
    }
  }
  // Bands: compare each band with the next when they touch.
  std::vector<std::vector<RECT>> bands;
  for (const RECT& x : rects)
    if (bands.empty() || bands.back().front().top != x.top)
      bands.push_back({x});
    else
      bands.back().push_back(x);
  for (std::size_t i = 1; i < bands.size(); ++i) {
    if (bands[i - 1].front().bottom != bands[i].front().top || bands[i - 1].size() != bands[i].size()) continue;
    bool same = true;
    for (std::size_t k = 0; k < bands[i].size(); ++k)
      same = same && bands[i][k].left == bands[i - 1][k].left && bands[i][k].right == bands[i - 1][k].right;
    EXPECT_FALSE(same) << "equal neighbouring bands were not merged";
  }
}

HRGN randomRegion(std::mt19937& rng, int pieces) {
  std::uniform_int_distribution<int> at(0, 23), len(1, 9);
  HRGN r = CreateRectRgn(0, 0, 0, 0);
  for (int i = 0; i < pieces; ++i) {
    int x = at(rng), y = at(rng);
    HRGN piece = CreateRectRgn(x, y, x + len(rng), y + len(rng));
    CombineRgn(r, r, piece, (i % 3 == 2) ? RGN_XOR : RGN_OR);
    DeleteObject(piece);
  }
  return r;
}

TEST(GdiRegion, RandomCombinationsMatchThePixelModel) {
  std::mt19937 rng(7351);
  for (int round = 0; round < 150; ++round) {
    HRGN a = randomRegion(rng, 1 + round % 6), b = randomRegion(rng, 1 + round % 5);
    Grid ga = gridOf(a), gb = gridOf(b);
    for (int mode : {RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF, RGN_COPY}) {
      HRGN d = CreateRectRgn(0, 0, 0, 0);
      int kind = CombineRgn(d, a, b, mode);
      Grid gd = gridOf(d);
      int count = 0;
      for (int i = 0; i < kSize * kSize; ++i) {
        bool want = mode == RGN_AND ? ga[i] && gb[i]
                    : mode == RGN_OR  ? ga[i] || gb[i]
                    : mode == RGN_XOR ? ga[i] != gb[i]
                    : mode == RGN_DIFF ? ga[i] && !gb[i]
                                       : bool(ga[i]);
        ASSERT_EQ(gd[i], want) << "round " << round << " mode " << mode << " pixel " << i % kSize << "," << i / kSize;
        count += want;
      }
      std::size_t n = dataOf(d).size();
      EXPECT_EQ(kind, count == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION);
      expectBanded(d);
      // The bounding box is exact.
      RECT box;
      EXPECT_EQ(GetRgnBox(d, &box), kind);
      if (count) {
        bool top = false, left = false;
        for (int x = box.left; x < box.right; ++x) top = top || gd[box.top * kSize + x];
        for (int y = box.top; y < box.bottom; ++y) left = left || gd[y * kSize + box.left];
        EXPECT_TRUE(top && left);
      }
      DeleteObject(d);
    }
    DeleteObject(a);
    DeleteObject(b);
  }
}

TEST(GdiRegion, RegionDataIsBandedAndSized) {
  // An L shape over a second piece: bands top to bottom, left to right,
  // and the two rows of equal spans merged into one band.
  HRGN r = CreateRectRgn(0, 0, 10, 2);
  HRGN b = CreateRectRgn(0, 2, 10, 4);
  HRGN c = CreateRectRgn(20, 3, 25, 8);
  CombineRgn(r, r, b, RGN_OR);
  CombineRgn(r, r, c, RGN_OR);
  EXPECT_EQ(GetRegionData(r, 0, nullptr), 32u + 4 * 16);
  std::vector<char> small(40);
  EXPECT_EQ(GetRegionData(r, 40, reinterpret_cast<RGNDATA*>(small.data())), 0u);
  RGNDATAHEADER h;
  std::vector<RECT> rects = dataOf(r, &h);
  EXPECT_EQ(h.dwSize, 32u);
  EXPECT_EQ(h.iType, 1u);
  EXPECT_EQ(h.nCount, 4u);
  EXPECT_EQ(h.nRgnSize, 4u * 16);
  ASSERT_EQ(rects.size(), 4u);
  const RECT want[] = {{0, 0, 10, 3}, {0, 3, 10, 4}, {20, 3, 25, 4}, {20, 4, 25, 8}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(rects[i].left, want[i].left) << i;
    EXPECT_EQ(rects[i].top, want[i].top) << i;
    EXPECT_EQ(rects[i].right, want[i].right) << i;
    EXPECT_EQ(rects[i].bottom, want[i].bottom) << i;
  }
  EXPECT_EQ(h.rcBound.left, 0);
  EXPECT_EQ(h.rcBound.bottom, 8);
  // ExtCreateRegion takes the data back to an equal region.
  std::vector<char> buffer(GetRegionData(r, 0, nullptr));
  GetRegionData(r, static_cast<DWORD>(buffer.size()), reinterpret_cast<RGNDATA*>(buffer.data()));
  HRGN copy = ExtCreateRegion(nullptr, static_cast<DWORD>(buffer.size()), reinterpret_cast<RGNDATA*>(buffer.data()));
  EXPECT_TRUE(EqualRgn(r, copy));
  EXPECT_EQ(ExtCreateRegion(nullptr, 20, reinterpret_cast<RGNDATA*>(buffer.data())), nullptr);
  for (HRGN x : {r, b, c, copy}) DeleteObject(x);
}

TEST(GdiRegion, CallsAndLimits) {
  HRGN r = CreateRectRgn(10, 10, 0, 0);  // corners in any order
  RECT box;
  EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.bottom, 10);
  EXPECT_EQ(OffsetRgn(r, 5, -5), SIMPLEREGION);
  EXPECT_TRUE(PtInRegion(r, 5, -5));
  EXPECT_FALSE(PtInRegion(r, 15, 5));
  RECT inside{14, 4, 40, 40}, outside{15, 0, 20, 5};
  EXPECT_TRUE(RectInRegion(r, &inside));
  EXPECT_FALSE(RectInRegion(r, &outside));
  EXPECT_TRUE(SetRectRgn(r, 3, 3, 3, 9));
  EXPECT_EQ(GetRgnBox(r, &box), NULLREGION);
  // Coordinates far out are clamped, so unions and offsets never wrap.
  HRGN huge = CreateRectRgn(-2000000000, -2000000000, 2000000000, 2000000000);
  EXPECT_EQ(GetRgnBox(huge, &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 1 << 27);
  EXPECT_EQ(OffsetRgn(huge, 1 << 26, 0), SIMPLEREGION);
  GetRgnBox(huge, &box);
  EXPECT_EQ(box.right, 1 << 27);
  EXPECT_EQ(box.left, -(1 << 26));
  HRGN gone = CreateRectRgn(0, 0, 10, 10);
  EXPECT_EQ(OffsetRgn(gone, 2000000000, 0), NULLREGION);
  EXPECT_EQ(CombineRgn(r, huge, nullptr, RGN_OR), ERROR);
  EXPECT_EQ(CombineRgn(r, huge, nullptr, RGN_COPY), SIMPLEREGION);
  EXPECT_EQ(GetObjectType(r), OBJ_REGION);
  DeleteObject(r);
  DeleteObject(huge);
  DeleteObject(gone);
  EXPECT_EQ(GetRgnBox(r, &box), ERROR);
}

}  // namespace
