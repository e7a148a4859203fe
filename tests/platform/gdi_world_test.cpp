// World transforms on memory contexts with exact pixels: the mode rules,
// blits, stretched DIBs, region fills and text mapped pixel centre by
// pixel centre, and the identity taking everything back.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win.h"
#include "platform/win/test.h"

namespace {

using namespace win;

struct Mem {
  HDC dc;
  HBITMAP bm;
  HGDIOBJ old;
  int w, h;
  Mem(int width, int height) : w(width), h(height) {
    dc = CreateCompatibleDC(nullptr);
    bm = CreateBitmap(w, h, 1, 32, nullptr);
    old = SelectObject(dc, bm);
    PatBlt(dc, 0, 0, w, h, WHITENESS);
  }
  ~Mem() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bm);
  }
  bool world(const XFORM& x) { return SetGraphicsMode(dc, GM_ADVANCED) && SetWorldTransform(dc, &x); }
  void plain() {
    ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
    SetGraphicsMode(dc, GM_COMPATIBLE);
  }
  std::vector<COLORREF> pixels() const {
    std::vector<COLORREF> out;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) out.push_back(GetPixel(dc, x, y));
    return out;
  }
};

constexpr COLORREF kWhite = 0xFFFFFF;

TEST(GdiWorld, TheModeRulesOfWindows) {
  Mem m(4, 4);
  XFORM turn{0, 1, -1, 0, 3, 0};
  EXPECT_EQ(SetWorldTransform(m.dc, &turn), 0) << "the compatible mode takes none";
  EXPECT_EQ(SetGraphicsMode(m.dc, GM_ADVANCED), GM_COMPATIBLE);
  XFORM singular{1, 2, 2, 4, 0, 0};
  EXPECT_EQ(SetWorldTransform(m.dc, &singular), 0) << "no inverse";
  EXPECT_EQ(SetWorldTransform(m.dc, &turn), 1);
  EXPECT_EQ(SetGraphicsMode(m.dc, GM_COMPATIBLE), 0) << "not while a transform is in force";
  EXPECT_EQ(ModifyWorldTransform(m.dc, nullptr, 3), 0) << "only the identity is asked of us";
  EXPECT_EQ(ModifyWorldTransform(m.dc, nullptr, MWT_IDENTITY), 1);
  EXPECT_EQ(SetGraphicsMode(m.dc, GM_COMPATIBLE), GM_ADVANCED);
  // Back to plain: a fill lands where it is asked.
  PatBlt(m.dc, 1, 2, 1, 1, BLACKNESS);
  EXPECT_EQ(GetPixel(m.dc, 1, 2), 0u);
}

// A quarter turn: logical (x, y) goes to device (10 - y, 5 + x), so the
// source pixel (i, r) lands on device pixel (9 - r, 5 + i), for BitBlt,
// StretchDIBits and a fill of a two-rectangle region alike; the identity
// puts the next blit back in place.
TEST(GdiWorld, BlitsDIBsAndRegionsTurnAQuarter) {
  const COLORREF src[2][3] = {{0x0000FF, 0x00FF00, 0xFF0000}, {0x00FFFF, 0xFF00FF, 0x808080}};
  Mem from(3, 2);
  for (int r = 0; r < 2; ++r)
    for (int i = 0; i < 3; ++i) SetPixel(from.dc, i, r, src[r][i]);
  std::vector<std::uint32_t> dib;  // top-down XRGB rows of the same picture
  for (int r = 0; r < 2; ++r)
    for (int i = 0; i < 3; ++i) {
      COLORREF c = src[r][i];
      dib.push_back((c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF));
    }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 3, info.bmiHeader.biHeight = -2, info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32, info.bmiHeader.biCompression = BI_RGB;
  const XFORM turn{0, 1, -1, 0, 10, 5};
  auto expectTurned = [&](Mem& m, const char* what) {
    std::vector<COLORREF> want(std::size_t(m.w * m.h), kWhite);
    for (int r = 0; r < 2; ++r)
      for (int i = 0; i < 3; ++i) want[std::size_t((5 + i) * m.w + 9 - r)] = src[r][i];
    EXPECT_EQ(m.pixels(), want) << what;
  };
  {
    Mem m(12, 10);
    ASSERT_TRUE(m.world(turn));
    BitBlt(m.dc, 0, 0, 3, 2, from.dc, 0, 0, SRCCOPY);
    m.plain();
    expectTurned(m, "BitBlt");
    BitBlt(m.dc, 0, 0, 1, 1, from.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(m.dc, 0, 0), src[0][0]) << "the identity again";
  }
  {
    Mem m(12, 10);
    ASSERT_TRUE(m.world(turn));
    EXPECT_EQ(StretchDIBits(m.dc, 0, 0, 3, 2, 0, 0, 3, 2, dib.data(), &info, DIB_RGB_COLORS, SRCCOPY), 2);
    m.plain();
    expectTurned(m, "StretchDIBits");
  }
  {
    // The region's two rectangles (columns 0-1 and 2 of the top row) fill
    // their turned pixels in black and no others.
    Mem m(12, 10);
    HRGN region = CreateRectRgn(0, 0, 2, 1);
    HRGN second = CreateRectRgn(2, 0, 3, 1);
    CombineRgn(region, region, second, RGN_OR);
    ASSERT_TRUE(m.world(turn));
    HBRUSH black = CreateSolidBrush(0);
    FillRgn(m.dc, region, black);
    m.plain();
    std::vector<COLORREF> want(std::size_t(m.w * m.h), kWhite);
    for (int i = 0; i < 3; ++i) want[std::size_t((5 + i) * m.w + 9)] = 0;
    EXPECT_EQ(m.pixels(), want);
    DeleteObject(black);
    DeleteObject(second);
    DeleteObject(region);
  }
}

// Twice the size and moved: each source pixel becomes a 2 x 2 block; the
// clip region (device coordinates, not transformed) still holds.
TEST(GdiWorld, AScaledBlitDoublesAndKeepsTheDevicesClip) {
  Mem from(2, 1);
  SetPixel(from.dc, 0, 0, 0x0000FF);
  SetPixel(from.dc, 1, 0, 0x00FF00);
  Mem m(8, 4);
  HRGN clip = CreateRectRgn(0, 0, 5, 4);
  SelectClipRgn(m.dc, clip);
  ASSERT_TRUE(m.world(XFORM{2, 0, 0, 2, 1, 1}));
  BitBlt(m.dc, 0, 0, 2, 1, from.dc, 0, 0, SRCCOPY);
  m.plain();
  SelectClipRgn(m.dc, nullptr);  // to read every pixel
  std::vector<COLORREF> want(32, kWhite);
  for (int y = 1; y < 3; ++y) {
    want[std::size_t(y * 8 + 1)] = want[std::size_t(y * 8 + 2)] = 0x0000FF;
    want[std::size_t(y * 8 + 3)] = want[std::size_t(y * 8 + 4)] = 0x00FF00;  // column 5 clipped
  }
  EXPECT_EQ(m.pixels(), want);
  DeleteObject(clip);
}

// Text turned half a circle lands on the pixels of plain text mirrored
// through the turn's centre, exactly.
TEST(GdiWorld, TextTurnsWithTheTransform) {
  HFONT font = CreateFontA(-16, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
  Mem plain(60, 40), turned(60, 40);
  for (Mem* m : {&plain, &turned}) {
    SelectObject(m->dc, font);
    SetBkMode(m->dc, TRANSPARENT);
    SetTextAlign(m->dc, TA_BASELINE);
  }
  TextOutA(plain.dc, 10, 25, "Ag", 2);
  // Logical (x, y) to device (50 - x, 35 - y): the pixel at logical
  // (lx, ly) of text drawn at (0, 0) ends at device (49 - lx, 34 - ly).
  ASSERT_TRUE(turned.world(XFORM{-1, 0, 0, -1, 50, 35}));
  TextOutA(turned.dc, 0, 0, "Ag", 2);
  turned.plain();
  int ink = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x) {
      COLORREF want = kWhite;
      int lx = 49 - x, ly = 34 - y;  // logical point of this device pixel
      if (lx + 10 >= 0 && lx + 10 < 60 && ly + 25 >= 0 && ly + 25 < 40) want = GetPixel(plain.dc, lx + 10, ly + 25);
      ASSERT_EQ(GetPixel(turned.dc, x, y), want) << x << "," << y;
      ink += want != kWhite;
    }
  EXPECT_GT(ink, 20);
  SelectObject(plain.dc, GetStockObject(SYSTEM_FONT));
  SelectObject(turned.dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

}  // namespace
