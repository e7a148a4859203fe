// Blits on tiny bitmaps with exact pixels: every ROP3 code against a
// truth table, the mono and colour rules, brush alignment, stretching,
// masks, DIB layouts and the bitmap faults.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "platform/win.h"
#include "platform/win/test.h"

namespace {

using namespace win;

// A memory DC holding a new bitmap of the given kind.
struct MemDc {
  HDC dc;
  HBITMAP bm;
  HGDIOBJ old;
  MemDc(int w, int h, bool mono) {
    dc = CreateCompatibleDC(nullptr);
    bm = mono ? CreateBitmap(w, h, 1, 1, nullptr) : CreateBitmap(w, h, 1, 32, nullptr);
    old = SelectObject(dc, bm);
  }
  ~MemDc() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bm);
  }
  void fill(const std::vector<COLORREF>& px, int w) {
    for (std::size_t i = 0; i < px.size(); ++i) SetPixel(dc, int(i) % w, int(i) / w, px[i]);
  }
  std::vector<COLORREF> pixels(int w, int h) const {
    std::vector<COLORREF> out;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) out.push_back(GetPixel(dc, x, y));
    return out;
  }
};

COLORREF rop3(std::uint8_t rop, COLORREF p, COLORREF s, COLORREF d) {
  COLORREF out = 0;
  for (int bit = 0; bit < 24; ++bit) {
    int index = int(p >> bit & 1) << 2 | int(s >> bit & 1) << 1 | int(d >> bit & 1);
    out |= COLORREF(rop >> index & 1) << bit;
  }
  return out;
}

HBRUSH colourPattern(const COLORREF (&cells)[4]) {
  // An 8 x 8 pattern whose 2 x 2 corner repeats `cells`.
  MemDc m(8, 8, false);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) SetPixel(m.dc, x, y, cells[(y % 2) * 2 + x % 2]);
  SelectObject(m.dc, m.old);
  return CreatePatternBrush(m.bm);
}

TEST(GdiBlit, EveryRop3CodeFollowsItsIndexByte) {
  const COLORREF P[4] = {0x00F0F0F0, 0x0000FF00, 0x00123456, 0x00A5A5A5};
  const std::vector<COLORREF> S = {0x00CCCCCC, 0x00FF0000, 0x00000000, 0x0089ABCD};
  const std::vector<COLORREF> D = {0x00AAAAAA, 0x000000FF, 0x00FFFFFF, 0x00654321};
  MemDc src(2, 2, false), dst(2, 2, false);
  src.fill(S, 2);
  HBRUSH brush = colourPattern(P);
  SelectObject(dst.dc, brush);
  for (int rop = 0; rop < 256; ++rop) {
    dst.fill(D, 2);
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 2, 2, src.dc, 0, 0, DWORD(rop) << 16));
    std::vector<COLORREF> got = dst.pixels(2, 2);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(got[i], rop3(std::uint8_t(rop), P[i], S[i], D[i])) << "rop " << rop << " pixel " << i;
  }
  SelectObject(dst.dc, GetStockObject(WHITE_BRUSH));
  DeleteObject(brush);
}

// A mono source onto colour, wide enough to take whole rows, and shifted
// half out of the source: every code over a plain and a patterned brush,
// the source's bits in the destination's text (0) and background (1)
// colours, clipped to two pieces.
TEST(GdiBlit, EveryRop3CodeFromAMonoSource) {
  constexpr int W = 12, H = 3;
  const COLORREF text = RGB(10, 200, 30), bk = RGB(250, 5, 128);
  MemDc src(W, H, true), dst(W, H, false);
  std::vector<COLORREF> bits, before;
  for (int i = 0; i < W * H; ++i) {
    bits.push_back((i * 7 % 5) < 2 ? RGB(255, 255, 255) : 0);
    before.push_back(RGB(i * 20 % 256, 255 - i * 3, i * 50 % 256));
  }
  src.fill(bits, W);
  SetTextColor(dst.dc, text);
  SetBkColor(dst.dc, bk);
  const COLORREF cells[4] = {0x00F0F0F0, 0x0000FF00, 0x00123456, 0x00A5A5A5};
  HBRUSH brushes[2] = {CreateSolidBrush(RGB(90, 60, 30)), colourPattern(cells)};
  HRGN two = CreateRectRgn(0, 0, 5, H);
  HRGN second = CreateRectRgn(7, 1, W, H);
  CombineRgn(two, two, second, RGN_OR);
  for (HBRUSH brush : brushes)
    for (int shift : {0, W / 2})
      for (int rop = 0; rop < 256; ++rop) {
        SelectObject(dst.dc, brush);
        SelectClipRgn(dst.dc, nullptr);
        dst.fill(before, W);
        SelectClipRgn(dst.dc, two);
        ASSERT_TRUE(BitBlt(dst.dc, 0, 0, W, H, src.dc, shift, 0, DWORD(rop) << 16));
        SelectClipRgn(dst.dc, nullptr);
        // The brush's own pixels: a pattern blit over a black destination.
        MemDc pattern(W, H, false);
        SelectObject(pattern.dc, brush);
        PatBlt(pattern.dc, 0, 0, W, H, PATCOPY);
        std::vector<COLORREF> got = dst.pixels(W, H), P = pattern.pixels(W, H);
        SelectObject(pattern.dc, GetStockObject(WHITE_BRUSH));
        for (int y = 0; y < H; ++y)
          for (int x = 0; x < W; ++x) {
            std::size_t i = std::size_t(y * W + x);
            bool inside = x < 5 || (x >= 7 && y >= 1);
            // Past the source's edge a code that reads it draws nothing.
            bool readsSource = ((rop >> 2) ^ rop) & 0x33, sourced = x + shift < W;
            COLORREF S = sourced && bits[std::size_t(y * W + x + shift)] ? bk : text;
            COLORREF want = before[i];
            if (inside && (sourced || !readsSource)) want = rop3(std::uint8_t(rop), P[i], S, before[i]);
            ASSERT_EQ(got[i], want) << "rop " << rop << " shift " << shift << " at " << x << "," << y;
          }
      }
  SelectObject(dst.dc, GetStockObject(WHITE_BRUSH));
  for (HBRUSH brush : brushes) DeleteObject(brush);
  DeleteObject(two);
  DeleteObject(second);
}

TEST(GdiBlit, MonoAndColourConversions) {
  MemDc mono(2, 1, true), colour(2, 1, false);
  mono.fill({RGB(0, 0, 0), RGB(255, 255, 255)}, 2);
  SetTextColor(colour.dc, RGB(10, 20, 30));
  SetBkColor(colour.dc, RGB(200, 100, 50));
  BitBlt(colour.dc, 0, 0, 2, 1, mono.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(colour.pixels(2, 1), (std::vector<COLORREF>{RGB(10, 20, 30), RGB(200, 100, 50)}));
  // Colour to mono: the source's background colour becomes 1.
  colour.fill({RGB(1, 2, 3), RGB(9, 9, 9)}, 2);
  SetBkColor(colour.dc, RGB(9, 9, 9));
  BitBlt(mono.dc, 0, 0, 2, 1, colour.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(mono.pixels(2, 1), (std::vector<COLORREF>{RGB(0, 0, 0), RGB(255, 255, 255)}));
  // A mono pattern takes the destination's text (0) and background (1).
  MemDc cells(8, 8, true);
  for (int x = 0; x < 8; ++x) SetPixel(cells.dc, x, 0, x % 2 ? RGB(255, 255, 255) : 0);
  SelectObject(cells.dc, cells.old);
  HBRUSH brush = CreatePatternBrush(cells.bm);
  SelectObject(colour.dc, brush);
  SetTextColor(colour.dc, RGB(1, 1, 1));
  SetBkColor(colour.dc, RGB(2, 2, 2));
  PatBlt(colour.dc, 0, 0, 2, 1, PATCOPY);
  EXPECT_EQ(colour.pixels(2, 1), (std::vector<COLORREF>{RGB(1, 1, 1), RGB(2, 2, 2)}));
  // The brush origin moves the pattern modulo 8.
  SetBrushOrgEx(colour.dc, 9, 0, nullptr);
  PatBlt(colour.dc, 0, 0, 2, 1, PATCOPY);
  EXPECT_EQ(colour.pixels(2, 1), (std::vector<COLORREF>{RGB(2, 2, 2), RGB(1, 1, 1)}));
  // A solid brush on a 1-bit surface: the nearer of black and white.
  for (auto [c, want] : {std::pair{RGB(128, 128, 128), RGB(255, 255, 255)}, {RGB(127, 127, 127), RGB(0, 0, 0)}}) {
    HBRUSH solid = CreateSolidBrush(c);
    FillRect(mono.dc, std::data({RECT{0, 0, 2, 1}}), solid);
    EXPECT_EQ(GetPixel(mono.dc, 0, 0), want);
    DeleteObject(solid);
  }
  SelectObject(colour.dc, GetStockObject(WHITE_BRUSH));
  DeleteObject(brush);
  // PALETTEINDEX colours go through the selected palette.
  LOGPALETTE pal{0x300, 1, {{7, 8, 9, 0}}};
  HPALETTE hp = CreatePalette(&pal);
  SelectPalette(colour.dc, hp, 0);
  HBRUSH indexed = CreateSolidBrush(PALETTEINDEX(0));
  FillRect(colour.dc, std::data({RECT{0, 0, 1, 1}}), indexed);
  EXPECT_EQ(GetPixel(colour.dc, 0, 0), RGB(7, 8, 9));
  SelectPalette(colour.dc, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), 0);
  DeleteObject(indexed);
  DeleteObject(hp);
}

TEST(GdiBlit, StretchMirrorAndRowCap) {
  MemDc src(2, 1, false), dst(4, 2, false);
  src.fill({RGB(1, 0, 0), RGB(2, 0, 0)}, 2);
  StretchBlt(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 2, 1, SRCCOPY);
  COLORREF a = RGB(1, 0, 0), b = RGB(2, 0, 0);
  EXPECT_EQ(dst.pixels(4, 2), (std::vector<COLORREF>{a, a, b, b, a, a, b, b}));
  StretchBlt(dst.dc, 4, 0, -4, 1, src.dc, 0, 0, 2, 1, SRCCOPY);
  EXPECT_EQ(dst.pixels(4, 1), (std::vector<COLORREF>{b, b, a, a}));
  // Shrinking takes the nearest source pixel of each destination pixel.
  MemDc wide(4, 1, false), one(2, 1, false);
  wide.fill({RGB(1, 0, 0), RGB(2, 0, 0), RGB(3, 0, 0), RGB(4, 0, 0)}, 4);
  StretchBlt(one.dc, 0, 0, 2, 1, wide.dc, 0, 0, 4, 1, SRCCOPY);
  EXPECT_EQ(one.pixels(2, 1), (std::vector<COLORREF>{RGB(2, 0, 0), RGB(4, 0, 0)}));
  // Source outside its surface leaves the destination alone.
  one.fill({RGB(9, 9, 9), RGB(9, 9, 9)}, 2);
  BitBlt(one.dc, 0, 0, 2, 1, src.dc, 1, 0, SRCCOPY);
  EXPECT_EQ(one.pixels(2, 1), (std::vector<COLORREF>{RGB(2, 0, 0), RGB(9, 9, 9)}));

  // StretchDIBits: rows count from the bottom; the cap refuses taller calls.
  BITMAPINFO info{};
  info.bmiHeader = {40, 1, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const std::uint8_t bits[16] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0};  // BGR rows, bottom first
  MemDc tall(1, 4, false);
  EXPECT_EQ(StretchDIBits(tall.dc, 0, 0, 1, 2, 0, 0, 1, 2, bits, &info, DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(tall.pixels(1, 2), (std::vector<COLORREF>{RGB(0, 0, 2), RGB(0, 0, 1)}));
  win::test::SetStretchDIBitsRowCap(2);
  EXPECT_EQ(StretchDIBits(tall.dc, 0, 0, 1, 4, 0, 0, 1, 4, bits, &info, DIB_RGB_COLORS, SRCCOPY), 0);
  EXPECT_EQ(StretchDIBits(tall.dc, 0, 2, 1, 2, 0, 2, 1, 2, bits, &info, DIB_RGB_COLORS, SRCCOPY), 2);
  win::test::SetStretchDIBitsRowCap(0);
  // CreateDIBitmap: colour on a display context, 1-bit without one.
  HDC screen = GetDC(nullptr);
  for (HDC on : {screen, HDC(nullptr)}) {
    HBITMAP made = CreateDIBitmap(on, &info.bmiHeader, CBM_INIT, bits, &info, DIB_RGB_COLORS);
    ASSERT_NE(made, nullptr);
    BITMAP bm;
    GetObjectA(made, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel, on ? 24 : 1);
    EXPECT_EQ(bm.bmHeight, 4);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, made);
    EXPECT_EQ(GetPixel(mem, 0, 3), on ? RGB(0, 0, 1) : RGB(0, 0, 0));
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(made);
  }
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(tall.pixels(1, 4), (std::vector<COLORREF>{RGB(0, 0, 2), RGB(0, 0, 1), RGB(0, 0, 4), RGB(0, 0, 3)}));
}

TEST(GdiBlit, MaskBltEqualsTheFourBlitEmulation) {
  const std::vector<COLORREF> S = {RGB(10, 20, 30), RGB(40, 50, 60), RGB(70, 80, 90), RGB(1, 2, 3),
                                   RGB(4, 5, 6),    RGB(7, 8, 9),    RGB(11, 12, 13), RGB(14, 15, 16), RGB(99, 0, 99)};
  const std::vector<COLORREF> D(9, RGB(200, 201, 202));
  MemDc src(3, 3, false), maskDc(3, 3, true), direct(3, 3, false), emulated(3, 3, false);
  src.fill(S, 3);
  maskDc.fill({0, RGB(255, 255, 255), 0, RGB(255, 255, 255), RGB(255, 255, 255), 0, 0, 0, RGB(255, 255, 255)}, 3);
  SelectObject(maskDc.dc, maskDc.old);
  direct.fill(D, 3);
  emulated.fill(D, 3);
  ASSERT_TRUE(MaskBlt(direct.dc, 0, 0, 3, 3, src.dc, 0, 0, maskDc.bm, 0, 0, 0xAACC0000));
  // The emulation, with cached contexts' black text and white background.
  MemDc copy(3, 3, false);
  BitBlt(copy.dc, 0, 0, 3, 3, src.dc, 0, 0, SRCCOPY);
  HGDIOBJ srcBitmap = SelectObject(src.dc, maskDc.bm);
  for (HDC h : {copy.dc, src.dc, emulated.dc}) SetTextColor(h, 0), SetBkColor(h, RGB(255, 255, 255));
  BitBlt(copy.dc, 0, 0, 3, 3, src.dc, 0, 0, SRCAND);
  BitBlt(emulated.dc, 0, 0, 3, 3, src.dc, 0, 0, 0x220326);
  BitBlt(emulated.dc, 0, 0, 3, 3, copy.dc, 0, 0, SRCPAINT);
  SelectObject(src.dc, srcBitmap);
  EXPECT_EQ(direct.pixels(3, 3), emulated.pixels(3, 3));
  EXPECT_EQ(direct.pixels(3, 3)[1], S[1]);
  EXPECT_EQ(direct.pixels(3, 3)[0], D[0]);
}

TEST(GdiBlit, DibRoundTripsAtEveryDepth) {
  // Colours that every table below holds exactly.
  const COLORREF colours[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(255, 0, 0), RGB(0, 0, 255)};
  for (int depth : {1, 4, 8, 24, 32}) {
    int w = 5, h = 3;
    MemDc m(w, h, false);
    int used = depth == 1 ? 2 : 4;
    for (int i = 0; i < w * h; ++i) SetPixel(m.dc, i % w, i / w, colours[(i * 7) % used]);
    std::vector<char> header(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(header.data());
    info->bmiHeader = {40, w, -h, 1, WORD(depth), BI_RGB, 0, 0, 0, 0, 0};
    for (int i = 0; i < used && depth <= 8; ++i)
      info->bmiColors[i] = {GetBValue(colours[i]), GetGValue(colours[i]), GetRValue(colours[i]), 0};
    if (depth <= 8) info->bmiHeader.biClrUsed = DWORD(used);
    std::size_t stride = (std::size_t(w) * depth + 31) / 32 * 4;
    std::vector<std::uint8_t> bits(stride * h, 0xEE);
    ASSERT_EQ(GetDIBits(m.dc, m.bm, 0, h, bits.data(), info, DIB_RGB_COLORS), h) << depth;
    MemDc back(w, h, false);
    ASSERT_EQ(SetDIBits(back.dc, back.bm, 0, h, bits.data(), info, DIB_RGB_COLORS), h) << depth;
    EXPECT_EQ(back.pixels(w, h), m.pixels(w, h)) << depth;
  }
  // Row sizes: 4 bytes for width 3 at depth 1, 36 for width 33 at depth 8.
  for (auto [w, depth, rowBytes] : {std::tuple{3, 1, 4}, {33, 8, 36}}) {
    MemDc m(w, 2, false);
    BITMAPINFO info{};
    info.bmiHeader = {40, w, 2, 1, WORD(depth), BI_RGB, 0, 0, 0, 0, 0};
    EXPECT_NE(GetDIBits(m.dc, m.bm, 0, 2, nullptr, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.bmiHeader.biSizeImage, DWORD(rowBytes * 2));
  }
  // A null bit pointer with depth 0 gets the bitmap's own format.
  MemDc mono(9, 2, true);
  BITMAPINFO asked{};
  asked.bmiHeader.biSize = 40;
  EXPECT_NE(GetDIBits(mono.dc, mono.bm, 0, 0, nullptr, &asked, DIB_RGB_COLORS), 0);
  EXPECT_EQ(asked.bmiHeader.biBitCount, 1);
  EXPECT_EQ(asked.bmiHeader.biWidth, 9);
  EXPECT_EQ(asked.bmiHeader.biSizeImage, 8u);
  // Colour to 8 bits: the nearest entry, the first on a tie.
  MemDc one(1, 1, false);
  SetPixel(one.dc, 0, 0, RGB(100, 100, 100));
  std::vector<char> h8(sizeof(BITMAPINFOHEADER) + 3 * sizeof(RGBQUAD));
  auto* i8 = reinterpret_cast<BITMAPINFO*>(h8.data());
  i8->bmiHeader = {40, 1, 1, 1, 8, BI_RGB, 0, 0, 0, 3, 0};
  const RGBQUAD entries[3] = {{0, 0, 0, 0}, {90, 90, 90, 0}, {110, 110, 110, 0}};
  std::memcpy(i8->bmiColors, entries, sizeof entries);
  std::uint8_t index[4] = {9, 9, 9, 9};
  GetDIBits(one.dc, one.bm, 0, 1, index, i8, DIB_RGB_COLORS);
  EXPECT_EQ(index[0], 1);
}

TEST(GdiBlit, BitmapFaultsAndFormats) {
  struct Case {
    int w, h;
    HBITMAP (*make)(int, int);
    bool ok;
    DWORD error;
  };
  auto mono = [](int w, int h) { return CreateBitmap(w, h, 1, 1, nullptr); };
  auto compat = [](int w, int h) {
    HDC screen = GetDC(nullptr);
    HBITMAP b = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    return b;
  };
  const Case cases[] = {{-1, 4, mono, false, 87},     {4, -1, compat, false, 87}, {1 << 15, 1 << 14, mono, false, 8},
                        {70000, 70000, compat, false, 8}, {0, 5, mono, true, 0},       {5, 0, compat, true, 0}};
  for (const Case& c : cases) {
    SetLastError(0);
    HBITMAP b = c.make(c.w, c.h);
    EXPECT_EQ(b != nullptr, c.ok) << c.w << "x" << c.h;
    if (!c.ok) {
      EXPECT_EQ(GetLastError(), c.error);
    }
    if (b) {
      BITMAP bm;
      EXPECT_EQ(GetObjectA(b, sizeof bm, &bm), int(sizeof bm));
      EXPECT_EQ(bm.bmWidth, 1);
      EXPECT_EQ(bm.bmBitsPixel, 1);
      DeleteObject(b);
    }
  }
  // A new memory DC's compatible bitmap is 1-bit; a window DC's is colour.
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP fromMem = CreateCompatibleBitmap(mem, 17, 2);
  BITMAP bm;
  GetObjectA(fromMem, sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(bm.bmWidthBytes, 4);
  HDC screen = GetDC(nullptr);
  HBITMAP fromScreen = CreateCompatibleBitmap(screen, 17, 2);
  GetObjectA(fromScreen, sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, 24);
  EXPECT_EQ(bm.bmWidthBytes, 52);
  ReleaseDC(nullptr, screen);
  // Bitmap bits: word-aligned rows, MSB first; 24-bit BGR.
  const std::uint8_t monoBits[4] = {0xA0, 0x00, 0x40, 0x00};
  HBITMAP m = CreateBitmap(3, 2, 1, 1, monoBits);
  HGDIOBJ old = SelectObject(mem, m);
  EXPECT_EQ(GetPixel(mem, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(mem, 1, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(mem, 1, 1), RGB(255, 255, 255));
  std::uint8_t out[4] = {};
  EXPECT_EQ(GetBitmapBits(m, 4, out), 4);
  EXPECT_EQ(std::vector<std::uint8_t>(out, out + 4), std::vector<std::uint8_t>(monoBits, monoBits + 4));
  // A selected bitmap cannot be deleted or selected elsewhere.
  EXPECT_FALSE(DeleteObject(m));
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, m), nullptr);
  SelectObject(mem, old);
  EXPECT_TRUE(DeleteObject(m));
  const std::uint8_t colourBits[8] = {3, 2, 1, 6, 5, 4, 0, 0};
  HBITMAP c = CreateBitmap(2, 1, 1, 24, nullptr);
  EXPECT_EQ(SetBitmapBits(c, 8, colourBits), 6);  // one word-aligned row
  SelectObject(mem, c);
  EXPECT_EQ(GetPixel(mem, 1, 0), RGB(4, 5, 6));
  SelectObject(mem, old);
  DeleteObject(c);
  // Headers this layer does not take answer 0.
  BITMAPINFO bad{};
  std::uint8_t px[64] = {};
  for (BITMAPINFOHEADER h : {BITMAPINFOHEADER{40, 1, 1, 1, 16, BI_RGB, 0, 0, 0, 0, 0},
                             BITMAPINFOHEADER{40, 1, 1, 1, 8, 1, 0, 0, 0, 0, 0},
                             BITMAPINFOHEADER{12, 1, 1, 1, 8, BI_RGB, 0, 0, 0, 0, 0},
                             BITMAPINFOHEADER{40, 1, 1, 1, 1, BI_RGB, 0, 0, 0, 3, 0}}) {
    bad.bmiHeader = h;
    EXPECT_EQ(SetDIBits(mem, fromScreen, 0, 1, px, &bad, DIB_RGB_COLORS), 0);
    EXPECT_EQ(StretchDIBits(mem, 0, 0, 1, 1, 0, 0, 1, 1, px, &bad, DIB_RGB_COLORS, SRCCOPY), 0);
  }
  EXPECT_EQ(LoadBitmapA(nullptr, "anything"), nullptr);
  DeleteDC(other);
  DeleteDC(mem);
  DeleteObject(fromMem);
  DeleteObject(fromScreen);
}

}  // namespace
