// The Windows colour layer on the true-colour platform, and in monochrome.
#include "fw/gui/graphics/colormsw.h"

#include <string>
#include <vector>

#include "fw/core/scribe.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/drawmsw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/graphics/colormsw_internal.h"
#include "fw/gui/window/msw_internal.h"
#include "fw/gui/window/mswgdi.h"
#include "tests/fw/gui/msw_fixture.h"
#include "tests/fw/gui/raises.h"
#include "tests/fw/gui/system_palette.h"

namespace {

// Colours of their own, so that no shared colour keeps a form of another mode.
struct Colour {
  vcolor* c;
  Colour(unsigned r, unsigned g, unsigned b, unsigned maxDots = 4) : c(vcolorCreate()) {
    vcolorSetSpecRGB(&c->desc, r, g, b);
    vcolorSetSpecMaxDotDither(&c->desc, maxDots);
  }
  ~Colour() { vcolorRelease(c); }
};

struct ColorMSW : MSWFixture {
  // A surface of 8 x 8 white pixels to draw on.
  win::HDC memory = nullptr;
  win::HBITMAP surface = nullptr;
  win::HGDIOBJ old = nullptr;
  void SetUp() override {
    MSWFixture::SetUp();
    win::HDC screen = vwindowMSWAcquireCachedDC(0);
    surface = win::CreateCompatibleBitmap(screen, 8, 8);
    vwindowMSWReleaseCachedDC(screen);
    memory = vwindowMSWAcquireCachedDC(1);
    old = win::SelectObject(memory, surface);
    win::PatBlt(memory, 0, 0, 8, 8, win::WHITENESS);
  }
  void TearDown() override {
    win::SelectObject(memory, old);
    vwindowMSWReleaseCachedDC(memory);
    win::DeleteObject(surface);
  }
  std::string row(int y) {
    std::string s;
    for (int x = 0; x < 8; ++x) s += win::GetPixel(memory, x, y) == win::RGB(255, 255, 255) ? '.' : '#';
    return s;
  }
};

void setMonochrome(bool on) {
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("monochrome"), on ? "true" : "");  // an empty value is no value
  _vcolorMSWShutdown();
  _vcolorMSWStartup();
}

TEST_F(ColorMSW, TrueColourFormsPensBrushesAndExclusiveOr) {
  ASSERT_EQ(vcolorMSWGetMode(), vcolorMSW_TRUE_COLOR);
  struct Case {
    unsigned r, g, b;
    win::COLORREF pixel;
  } cases[] = {{65535, 0, 0, 0x0000FF}, {0x1234, 0x5678, 0x9ABC, 0x9A5612}, {0x00FF, 0xFF00, 0x8080, 0x80FF00}};
  for (const Case& k : cases) {
    Colour c(k.r, k.g, k.b, 64);
    vcolorMSWDeviceForm f = vcolorMSWGetDeviceForm(c.c);
    EXPECT_EQ(f.pixel, k.pixel);
    EXPECT_EQ(f.pattern, nullptr);
    unsigned r, g, b;
    vcolorMSWPixelToColor(f.pixel, &r, &g, &b);
    EXPECT_EQ(r, (k.r >> 8) * 257u);
  }
  Colour red(65535, 0, 0), white(65535, 65535, 65535);
  // The brush fills; a cosmetic pen leaves out its last point; a geometric
  // one is wide; a dashed one has gaps.
  win::RECT box{1, 1, 3, 3};
  win::FillRect(memory, &box, vcolorMSWGetBrush(red.c));
  win::HGDIOBJ was = win::SelectObject(memory, vcolorMSWGetPen(red.c));
  win::MoveToEx(memory, 4, 1, nullptr);
  win::LineTo(memory, 8, 1);
  win::HPEN wide = _vcolorMSWCreatePen(0x0000FF, win::PS_SOLID | win::PS_ENDCAP_FLAT, win::PS_SOLID, 3, 0, nullptr,
                                       nullptr, 1);
  win::SelectObject(memory, wide);
  win::MoveToEx(memory, 0, 5, nullptr);
  win::LineTo(memory, 8, 5);
  win::SelectObject(memory, was);
  win::DeleteObject(wide);
  EXPECT_EQ(row(0), "........");
  EXPECT_EQ(row(1), ".##.####");
  EXPECT_EQ(row(2), ".##.....");
  EXPECT_EQ(row(3), "........");
  EXPECT_EQ(row(4), "########");
  EXPECT_EQ(row(5), "########");
  EXPECT_EQ(row(6), "########");
  EXPECT_EQ(win::GetPixel(memory, 1, 1), win::RGB(255, 0, 0));
  // Plain pixels combine by exclusive or.
  vcolorMSWXor x = vcolorMSWXorPattern(red.c, white.c);
  EXPECT_EQ(x.pattern, nullptr);
  EXPECT_EQ(x.pixel, 0xFFFF00u);
  // The true-colour display has nothing to dither for three levels.
  vcolorMSWCell cell;
  EXPECT_EQ(raised([&] { _vcolorMSWDither(&red.c->desc, &cell); }), &vexModuleUnimplementedClass);
}

TEST_F(ColorMSW, XorTablesAnswerByTheirPixels) {
  Colour a(0, 0, 0), b(65535, 0, 0), c(0, 65535, 0), d(65535, 65535, 0);
  vcolor* good[4] = {a.c, b.c, c.c, d.c};  // rows {a, b} and {c, d}: 0xFF both times
  EXPECT_EQ(vcolorCheckXorTable(good, 2, 2), 1);
  vcolor* bad[4] = {a.c, b.c, c.c, c.c};
  EXPECT_EQ(vcolorCheckXorTable(bad, 2, 2), 0);
  // A driver with its own allocation answers, after repeated colours were copied.
  static int asked;
  static vcolor* seen[4];
  asked = 0;
  vcolorSetXorAllocator([](vcolor** table, int rows, int columns) {
    asked++;
    for (int i = 0; i < rows * columns; ++i) seen[i] = table[i];
    return 1;
  });
  EXPECT_EQ(vcolorCheckXorTable(bad, 2, 2), 1);
  vcolorSetXorAllocator(nullptr);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(seen[2], c.c);
  EXPECT_NE(seen[3], c.c);
  EXPECT_TRUE(vcolorSpecsEqual(&seen[3]->desc, &c.c->desc));
}

// Ordered dithering of a grey, worked out from the documented formulas:
// the side the cell takes and the dots that are white.
struct Expected {
  bool ok;
  int side;
  std::vector<std::pair<int, int>> white;
};
Expected expectedGrey(unsigned grey, unsigned maxDots, unsigned delta) {
  long wanted = static_cast<long>((65535ull * grey) >> 16);  // the weights sum to 65535
  long black = 0, white = static_cast<long>((65535ull * 65535) >> 16);
  long diff = wanted - black, range = white - black;
  for (int k = 0; k <= 6 && (1u << k) <= std::min(maxDots, 64u); k += 2) {
    long t = ((diff << k) + range / 2) / range;
    long e = (diff - ((t * range) >> k)) >> 2;
    long d = static_cast<long>(delta) >> 2;
    if (3 * e * e > d * d) continue;
    Expected x{true, 1 << (k / 2), {}};
    int s = 8 / x.side;
    for (int y = 0; y < x.side; ++y)
      for (int xx = 0; xx < x.side; ++xx)
        if (t > vcolorMSWDitherMatrix[y * s][xx * s]) x.white.push_back({xx, y});
    return x;
  }
  return {false, 0, {}};
}

TEST_F(ColorMSW, MonochromeLevelsFormsAndOrderedDithering) {
  setMonochrome(true);
  EXPECT_EQ(vcolorMSWGetMode(), vcolorMSW_MONOCHROME);
  for (std::uint32_t level = 0; level < 64; ++level)
    EXPECT_EQ(vcolorMSWLevelPixel(level), level < 32 ? 0x000000u : 0xFFFFFFu) << level;
  EXPECT_EQ(vcolorMSWColorToPixel(65535, 65535, 65535), 0xFFFFFFu);
  EXPECT_EQ(vcolorMSWColorToPixel(0x2000, 0x2000, 0x2000), 0u);
  {
    // No palette entry can be added: forms stay plain values.
    Colour grey(0x8000, 0x8000, 0x8000, 64);
    vcolorMSWDeviceForm f = vcolorMSWGetDeviceForm(grey.c);
    EXPECT_EQ(f.pixel, 0x808080u);
    EXPECT_EQ(f.pattern, nullptr);
  }
  struct Case {
    unsigned grey, maxDots, delta;
    int side;  // what the formulas give, checked below too
  } cases[] = {{32768, 64, 16383, 2}, {2048, 64, 300, 8}, {32768, 2, 16383, 0}, {2048, 16, 300, 0}};
  for (const Case& k : cases) {
    Colour c(k.grey, k.grey, k.grey, k.maxDots);
    vcolorSetSpecRGBSingleDelta(&c.c->desc, k.delta);
    Expected want = expectedGrey(k.grey, k.maxDots, k.delta);
    ASSERT_EQ(want.side, k.side) << k.grey;
    vcolorMSWCell cell{};
    int ok = _vcolorMSWDither(&c.c->desc, &cell);
    ASSERT_EQ(ok != 0, want.ok) << k.grey << " " << k.maxDots;
    if (!ok) continue;
    EXPECT_EQ(cell.side, want.side);
    std::vector<std::pair<int, int>> white;
    for (int y = 0; y < cell.side; ++y)
      for (int x = 0; x < cell.side; ++x)
        if (cell.dots[y * cell.side + x] == 0xFFFFFF) white.push_back({x, y});
        else EXPECT_EQ(cell.dots[y * cell.side + x], 0u);
    EXPECT_EQ(white, want.white) << k.grey;
  }
  setMonochrome(false);
  EXPECT_EQ(vcolorMSWGetMode(), vcolorMSW_TRUE_COLOR);
}

// An independent Floyd-Steinberg to black and white, with the monochrome
// luminance levels worked out from the documented weights.
std::vector<win::COLORREF> referenceDiffusion(const std::vector<std::uint16_t>& rgb, int w, int h) {
  const long g = 63, wr = ((g * 0x4C8B) >> 16) + 1, wg = ((g * 0x9645) >> 16) + 1, wb = g - wg - wr + 1;
  auto level = [&](long r, long gg, long b) { return (r >> 12) * wr / 16 + (gg >> 12) * wg / 16 + (b >> 12) * wb / 16; };
  std::vector<long> err(static_cast<std::size_t>((w + 2) * (h + 1) * 3), 0);
  auto at = [&](int x, int y, int c) -> long& { return err[static_cast<std::size_t>(((y * (w + 2)) + x + 1) * 3 + c)]; };
  std::vector<win::COLORREF> out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      long want[3];
      for (int c = 0; c < 3; ++c) {
        long v = rgb[static_cast<std::size_t>((y * w + x) * 3 + c)] + (at(x, y, c) >> 4);
        want[c] = std::clamp(v, 0L, 65535L);
      }
      bool white = level(want[0], want[1], want[2]) >= 32;
      out.push_back(white ? 0xFFFFFF : 0);
      for (int c = 0; c < 3; ++c) {
        long e = want[c] - (white ? 65535 : 0);
        at(x + 1, y, c) += 7 * e;
        at(x - 1, y + 1, c) += 3 * e;
        at(x, y + 1, c) += 5 * e;
        at(x + 1, y + 1, c) += e;
      }
    }
  return out;
}

win::COLORREF pixelOf(const vwindowMSWBits* b, int x, int row) {  // row from the bottom
  const std::uint8_t* p = b->data + row * b->rowBytes + 3 * x;
  return win::RGB(p[2], p[1], p[0]);
}

TEST_F(ColorMSW, MonochromeImagesGoBlackAndWhite) {
  setMonochrome(true);
  // A 4 x 4 gradient, diffused as the reference does it.
  const int w = 4, h = 4;
  std::vector<std::uint16_t> rgb;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      auto v = static_cast<std::uint16_t>((x + y * w) * 65535 / 15);
      rgb.insert(rgb.end(), {v, static_cast<std::uint16_t>(v / 2), static_cast<std::uint16_t>(65535 - v)});
    }
  std::vector<win::COLORREF> out(w * h);
  std::int64_t largest = 0;
  _vcolorMSWDiffuse(rgb.data(), w, h, out.data(), &largest);
  EXPECT_EQ(out, referenceDiffusion(rgb, w, h));
  EXPECT_LE(largest, 16 * 65535);  // the carried error never runs away

  // A 24-bit picture is deeper than the device: diffused, half grey gives a mix.
  vimage* picture = vimageCreateSized(8, 8, 1u << 24);
  vimageSetNoPalette(picture, 1);
  vpixmapFill(picture, 0x808080);
  vwindowMSWBits* b = vcolorMSWPixmapToBits(picture);
  int whites = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      win::COLORREF p = pixelOf(b, x, y);
      EXPECT_TRUE(p == 0 || p == 0xFFFFFF);
      whites += p == 0xFFFFFF;
    }
  EXPECT_GT(whites, 16);
  EXPECT_LT(whites, 48);
  vwindowMSWDestroyBits(b);
  // With its no-dithering bit each pixel goes through the levels alone.
  // 0x80 on every channel is level 31 (black), 0x90 level 34 (white).
  vimageSetNoDithering(picture, 1);
  b = vcolorMSWPixmapToBits(picture);
  EXPECT_EQ(pixelOf(b, 3, 3), 0u);
  vwindowMSWDestroyBits(b);
  vpixmapFill(picture, 0x909090);
  vpixmapMarkChanged(picture);
  b = vcolorMSWPixmapToBits(picture);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(pixelOf(b, x, y), 0xFFFFFFu);
  vwindowMSWDestroyBits(b);
  vimageDestroy(picture);
  setMonochrome(false);
}

TEST_F(ColorMSW, TrueColourImagesMapTheirListsAndBorrowPlainRows) {
  vimage* indexed = vimageCreateSized(3, 2, 256);
  vcolorList* list = vimageGetPalette(indexed);
  vcolorSetSpecRGB(&list->entries[7], 0x1200, 0x3400, 0x5600);
  vcolorSetSpecRGB(&list->entries[9], 65535, 0, 65535);
  vpixmapCursor c;
  vpixmapInitCursor(&c, indexed);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) vpixmapCursorSetAt(&c, x, y, (x + y) % 2 ? 9 : 7);
  vpixmapFinishCursor(&c);
  vpixmapMarkChanged(indexed);
  vwindowMSWBits* b = vcolorMSWPixmapToBits(indexed);
  EXPECT_EQ(pixelOf(b, 0, 0), win::RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(pixelOf(b, 1, 0), win::RGB(255, 0, 255));
  EXPECT_EQ(pixelOf(b, 0, 1), win::RGB(255, 0, 255));
  vwindowMSWDestroyBits(b);
  // The device bitmap shows the same, bottom row last.
  win::HBITMAP bitmap = vcolorMSWGetPixmapBitmap(indexed);
  win::HGDIOBJ was = win::SelectObject(memory, bitmap);
  EXPECT_EQ(win::GetPixel(memory, 0, 1), win::RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(win::GetPixel(memory, 0, 0), win::RGB(255, 0, 255));
  win::SelectObject(memory, was);
  vimageDestroy(indexed);

  vpixmap* plain = vpixmapCreateSized(3, 2, 24);
  vpixmapSetRowAlignment(plain, 32);
  std::uint8_t* bytes = vpixmapLockPixels(plain);
  b = vcolorMSWPixmapToBits(plain);
  EXPECT_EQ(b->data, bytes);  // borrowed, not copied
  EXPECT_EQ(b->owner, 0);
  vwindowMSWDestroyBits(b);
  vpixmapSetRowAlignment(plain, 8);  // 9-byte rows are not the buffer's
  b = vcolorMSWPixmapToBits(plain);
  EXPECT_NE(b->data, vpixmapLockPixels(plain));
  vwindowMSWDestroyBits(b);
  vpixmapDestroy(plain);
}

// A display of another kind for the length of a test: its facts and the
// colours its system palette answers.
struct OtherDisplay {
  vwindowMSWDisplay saved = _vwindowMSW().display;
  static inline std::vector<win::PALETTEENTRY> system;
  static inline int writes = 0;
  OtherDisplay(int caps, int depth, int paletteSize, int reserved, int colors, std::vector<win::PALETTEENTRY> device) {
    vwindowMSWDisplay& d = _vwindowMSW().display;
    d.rasterCaps = caps;
    d.depth = depth;
    d.paletteSize = paletteSize;
    d.reserved = reserved;
    d.colors = colors;
    system = std::move(device);
    writes = 0;
    vcolormsw::paletteCalls.getSystemPaletteEntries = [](win::HDC, win::UINT start, win::UINT count,
                                                         win::PALETTEENTRY* out) -> win::UINT {
      win::UINT n = 0;
      for (; n < count && start + n < system.size(); ++n) out[n] = system[start + n];
      return n;
    };
    vcolormsw::paletteCalls.getNearestColor = [](win::HDC, win::COLORREF c) { return c; };
    vcolormsw::paletteCalls.setPaletteEntries = [](win::HPALETTE p, win::UINT start, win::UINT count,
                                                   const win::PALETTEENTRY* e) {
      writes++;
      return win::SetPaletteEntries(p, start, count, e);
    };
    _vcolorMSWShutdown();
    _vcolorMSWStartup();
  }
  ~OtherDisplay() {
    _vwindowMSW().display = saved;
    vcolormsw::paletteCalls = {win::GetSystemPaletteEntries, win::GetNearestColor, win::SetPaletteEntries};
    _vcolorMSWShutdown();
    _vcolorMSWStartup();
  }
};


TEST_F(ColorMSW, APaletteDeviceGetsAPaletteCubeAndExactColours) {
  OtherDisplay palette(win::RC_BITBLT | win::RC_PALETTE, 8, 256, 20, 20, systemPaletteStatics());
  ASSERT_EQ(vcolorMSWGetMode(), vcolorMSW_PALETTE);
  ASSERT_NE(_vwindowMSWGetGdiSetup()->palette, nullptr);
  struct Case {
    unsigned r, g, b;
    win::COLORREF pixel;
  } exact[] = {
      {65535, 0, 0, 0x01000000u | 249},                   // a static colour
      {63 * 257, 127 * 257, 191 * 257, 0x01000000u | 48},  // the cube's (1, 2, 3)
  };
  for (const Case& k : exact) {
    Colour c(k.r, k.g, k.b);
    EXPECT_EQ(vcolorMSWGetDeviceForm(c.c).pixel, k.pixel);
    EXPECT_EQ(vcolorMSWColorToPixel(k.r, k.g, k.b), k.pixel);
  }
  {
    // Between cube levels: an ordered-dither pattern.
    Colour between(95 * 257, 95 * 257, 95 * 257, 64);
    vcolorSetSpecRGBSingleDelta(&between.c->desc, 1000);
    EXPECT_NE(vcolorMSWGetDeviceForm(between.c).pattern, nullptr);
    // One that may not be dithered gets a palette entry of its own.
    Colour own(95 * 257, 95 * 257, 95 * 257, 1);
    vcolorSetSpecRGBSingleDelta(&own.c->desc, 1000);
    EXPECT_EQ(vcolorMSWGetDeviceForm(own.c).pixel, 0x01000000u | 135);
    EXPECT_EQ(OtherDisplay::writes, 1);
    EXPECT_EQ(vcolorMSWIsPaletteStable(own.c), 0);
    Colour red(65535, 0, 0);
    EXPECT_EQ(vcolorMSWIsPaletteStable(red.c), 1);
    _vcolorMSWRealizePalette(memory, 0);  // the pending change is realized
    // Forms are remade after it: the exact entry is found, not taken again.
    EXPECT_EQ(vcolorMSWGetDeviceForm(own.c).pixel, 0x01000000u | 135);
    EXPECT_EQ(OtherDisplay::writes, 1);
  }
  // An exclusive-or table gets a block of its own: rows of 4 entries for 3
  // columns, starting at a multiple of 4.
  const unsigned rgb[6][3] = {{10, 200, 30}, {40, 50, 220}, {90, 10, 160}, {200, 30, 10}, {70, 180, 90}, {130, 140, 20}};
  std::vector<Colour> colours;
  colours.reserve(6);
  for (const auto& c : rgb) colours.emplace_back(c[0] * 257, c[1] * 257, c[2] * 257);
  vcolor* table[6];
  for (int i = 0; i < 6; ++i) table[i] = colours[i].c;
  int before = OtherDisplay::writes;
  EXPECT_EQ(vcolorCheckXorTable(table, 2, 3), 1);
  EXPECT_EQ(OtherDisplay::writes, before + 1);
  win::COLORREF first = vcolorMSWGetDeviceForm(table[0]).pixel;
  EXPECT_EQ((first & 0xFFFF) % 4, 0u);
  EXPECT_EQ(vcolorMSWGetDeviceForm(table[4]).pixel, first + 5);
  EXPECT_EQ(vcolorCheckXorTable(table, 2, 3), 1);  // now by the pixels themselves
  EXPECT_EQ(OtherDisplay::writes, before + 1);
}

// Through the drawing driver on a palette display: a colour between the
// cube's levels fills with its dither cell repeated, each dot the palette
// entry the cell names; a colour of the cube fills plain with its entry.
TEST_F(ColorMSW, ADitheredColourFillsThroughTheDriverWithItsCell) {
  OtherDisplay palette(win::RC_BITBLT | win::RC_PALETTE, 8, 256, 20, 20, systemPaletteStatics());
  ASSERT_EQ(vcolorMSWGetMode(), vcolorMSW_PALETTE);
  win::HPALETTE logical = _vwindowMSWGetGdiSetup()->palette;
  ASSERT_NE(logical, nullptr);
  auto entryOf = [&](win::COLORREF pixel) {
    win::PALETTEENTRY e{};
    win::GetPaletteEntries(logical, pixel & 0xFFFF, 1, &e);
    return win::RGB(e.peRed, e.peGreen, e.peBlue);
  };
  auto fill = [&](vcolor* c) {
    win::PatBlt(memory, 0, 0, 8, 8, win::WHITENESS);
    vdrawGSave();
    _vdrawBindDevice(vdrawBIND_DC, memory, nullptr, &vdrawDefaultDeviceTable, &vdrawMSWDriver);
    vdrawSetColor(c);
    vdrawRectFill(0, 0, 2000, 2000);  // the page of a given context is the screen's, y up
    vdrawGRestore();
  };
  Colour between(95 * 257, 95 * 257, 95 * 257, 64);
  vcolorSetSpecRGBSingleDelta(&between.c->desc, 1000);
  vcolorMSWCell cell{};
  ASSERT_NE(_vcolorMSWDither(&between.c->desc, &cell), 0);
  ASSERT_GE(cell.side, 2);
  ASSERT_NE(vcolorMSWGetDeviceForm(between.c).pattern, nullptr);
  fill(between.c);
  int kinds = 0;
  win::COLORREF seen[2] = {};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      // The cell's rows count down the bitmap as the pattern was painted.
      win::COLORREF want = entryOf(cell.dots[(y % cell.side) * cell.side + x % cell.side]);
      win::COLORREF got = win::GetPixel(memory, x, y);
      ASSERT_EQ(got, want) << x << "," << y;
      if (kinds < 2 && (kinds == 0 || seen[0] != got)) seen[kinds++] = got;
    }
  EXPECT_EQ(kinds, 2);  // a real dither, not one flat colour

  Colour cube(63 * 257, 127 * 257, 191 * 257);
  fill(cube.c);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(win::GetPixel(memory, x, y), win::RGB(63, 127, 191)) << x << "," << y;
}

TEST_F(ColorMSW, APaletteWithoutACubeDithersByDiffusingOverItsCells) {
  std::vector<win::PALETTEENTRY> sixteen;
  for (int i = 0; i < 16; ++i)
    sixteen.push_back({win::BYTE(i & 1 ? 255 : 0), win::BYTE(i & 2 ? 255 : 0), win::BYTE(i & 4 ? 255 : 0), 0});
  OtherDisplay small(win::RC_BITBLT | win::RC_PALETTE, 4, 16, 16, 16, sixteen);
  ASSERT_EQ(vcolorMSWGetMode(), vcolorMSW_PALETTE);
  EXPECT_EQ(vcolorMSWGetLevels().toPixel.size(), 216u);  // m = 3: a grid of 6 a side
  struct Case {
    unsigned grey, maxDots;
    bool ok;
  } cases[] = {{65535, 64, true}, {0x8000, 64, true}, {0x8000, 1, false}};
  for (const Case& k : cases) {
    Colour c(k.grey, k.grey, k.grey, k.maxDots);
    vcolorSetSpecRGBSingleDelta(&c.c->desc, 8000);
    vcolorMSWCell cell{};
    ASSERT_EQ(_vcolorMSWDither(&c.c->desc, &cell) != 0, k.ok) << k.grey;
    if (!k.ok) continue;
    // The cell's mean colour is the grey within the tolerance.
    long sum = 0;
    for (int i = 0; i < cell.side * cell.side; ++i) {
      unsigned r, g, b;
      vcolorMSWPixelToColor(cell.dots[i], &r, &g, &b);
      EXPECT_EQ(r, g);
      sum += r;
    }
    long mean = sum / (cell.side * cell.side), err = (static_cast<long>(k.grey) - mean) >> 2;
    EXPECT_LE(3 * err * err, (8000 >> 2) * (8000 >> 2)) << k.grey;
    EXPECT_EQ(cell.side > 1, k.grey == 0x8000);
  }
}

TEST_F(ColorMSW, AGreyDisplayMapsThroughItsGreys) {
  std::vector<win::PALETTEENTRY> greys;
  for (int i = 0; i < 16; ++i) greys.push_back({win::BYTE(i * 17), win::BYTE(i * 17), win::BYTE(i * 17), 0});
  OtherDisplay grey(win::RC_BITBLT, 4, 0, 0, 16, greys);
  ASSERT_EQ(vcolorMSWGetMode(), vcolorMSW_GREY);
  EXPECT_EQ(vcolorMSWGetLevels().toPixel.size(), 96u);  // 6 x 16 levels
  EXPECT_EQ(vcolorMSWColorToPixel(0, 0, 0), win::RGB(0, 0, 0));
  EXPECT_EQ(vcolorMSWColorToPixel(65535, 65535, 65535), win::RGB(255, 255, 255));
  win::COLORREF mid = vcolorMSWColorToPixel(0x8000, 0x8000, 0x8000);
  EXPECT_TRUE(mid == win::RGB(119, 119, 119) || mid == win::RGB(136, 136, 136)) << std::hex << mid;
}

}  // namespace
