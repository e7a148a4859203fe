#include <algorithm>
// The GDI drawing driver in pixels: headless windows, images bound as
// targets and the pseudo printer's sheet.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "fw/core/scribe.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/drawmsw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/hooks.h"
#include "fw/gui/window/msw_internal.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/mswgdi.h"
#include "platform/win/test.h"
#include "tests/fw/gui/draw_shapes.h"
#include "tests/fw/gui/msw_fixture.h"
#include "tests/fw/gui/raises.h"
#include "tests/support/png_compare.h"

namespace {

constexpr int W = 64, H = 48;
constexpr win::COLORREF kRed = 0x0000FF, kBlue = 0xFF0000, kWhite = 0xFFFFFF, kBlack = 0, kGreen = 0x00FF00;

vcolor* rgb(win::COLORREF c) {
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, win::GetRValue(c) * 257u, win::GetGValue(c) * 257u, win::GetBValue(c) * 257u);
  return vcolorInternSpec(&s);
}

vfont* font(const char* desc) { return vfontFindScribe(vscribeCString(desc)); }

// A 24-bit image whose pixel (x, y) (rows from the bottom) is f(x, y) as 0xRRGGBB.
vimage* rgbImage(int w, int h, const std::function<std::uint32_t(int, int)>& f) {
  vimage* image = vimageCreateSized(w, h, 0x1000000u);
  vpixmapSetDepth(image, 24);
  vimageSetNoPalette(image, 1);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) vpixmapCursorSetAt(&c, x, y, f(x, y));
  vpixmapFinishCursor(&c);
  vpixmapMarkChanged(image);
  return image;
}

vimage* maskImage(int w, int h, const std::function<bool(int, int)>& f) {
  vimage* image = vimageCreateSized(w, h, 2);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) vpixmapCursorSetAt(&c, x, y, f(x, y) ? 1 : 0);
  vpixmapFinishCursor(&c);
  vpixmapMarkChanged(image);
  return image;
}

using draw_shapes::nestedSquares;
using draw_shapes::star;
using draw_shapes::twoColourImage;

// 0xRRGGBB to a COLORREF.
win::COLORREF ref(std::uint32_t v) { return win::RGB(std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)); }

struct DrawMSW : MSWFixture {
  vwindow* w = nullptr;
  void SetUp() override {
    MSWFixture::SetUp();
    w = open(vwindowDECO_TOP_LEVEL, {10, 10, W, H});
    win::UpdateWindow(w->native->hwnd);
  }
  void TearDown() override {
    close(w);
    vwindowDestroy(w);
    _vdrawMSWForceMaskBltEmulation(0);
  }
  // Draws on the window through the driver, white first unless asked.
  void paint(const std::function<void()>& body, bool clear = true) {
    vdrawGSave();
    vwindowBindDrawTarget(w);
    if (clear) {
      vdrawSetColor(rgb(kWhite));
      vdrawRectFill(0, 0, W, H);
    }
    vdrawSetColor(rgb(kBlack));
    body();
    vdrawGRestore();
  }
  win::COLORREF px(int x, int y) { return win::test::Pixel(w->native->hwnd, x, y); }
  win::test::Image shot() { return win::test::WindowImage(w->native->hwnd); }
  // Device-level calls on the bound driver.
  static void* data() { return vdrawGetDeviceData(); }
};

TEST(DrawMSWRops, TernaryOperationsFollowTheBinaryOnes) {
  struct Case {
    int rop2;
    win::DWORD pattern, mask;
  };
  // The mask operation of exclusive-or (S & (P ^ D)) | (~S & D) has only its index byte here.
  const Case cases[] = {{1, 0x000042, 0x220326}, {7, 0x5A0049, 0x6A0000}, {13, 0xF00021, 0xE20746},
                        {16, 0xFF0062, 0xEE0086}, {6, 0x550009, 0x660046}, {11, 0xAA0029, 0xAA0029}};
  for (const Case& c : cases) {
    EXPECT_EQ(vdrawMSWPatternRop(c.rop2), c.pattern) << c.rop2;
    EXPECT_EQ(vdrawMSWMaskRop(c.rop2), c.mask) << c.rop2;
  }
}

TEST_F(DrawMSW, FillsInEveryDrawModeOnPixels) {
  // Over a blue ground, red filled once (and a second time where given).
  struct Case {
    int mode;
    bool twice;
    win::COLORREF want;
  };
  const Case cases[] = {
      {3, false, kRed},  {0, false, kBlack}, {15, false, kWhite}, {5, false, kBlue}, {10, false, 0x00FFFF},
      {10, true, kBlue}, {6, false, 0xFF00FF}, {6, true, kBlue},  {7, false, 0xFF00FF}, {17, true, kBlue},
  };
  for (const Case& c : cases) {
    paint([&] {
      vdrawSetColor(rgb(kBlue));
      vdrawRectFill(0, 0, W, H);
      vdrawSetColor(rgb(kRed));
      vdrawSetSecondColor(rgb(kGreen));
      vdrawSetDrawMode(c.mode);
      for (int i = 0; i < (c.twice ? 2 : 1); ++i) vdrawRectFill(4, 4, 10, 10);
    });
    EXPECT_EQ(px(4, H - 5), c.want) << "mode " << c.mode << (c.twice ? " twice" : "");
    EXPECT_EQ(px(14, H - 5), kBlue) << c.mode;
  }
}

TEST_F(DrawMSW, FramesCoverOneMorePixelAndShapesLandWhereAsked) {
  paint([&] {
    vrect r{10, 10, 8, 6};
    vdrawFrameRects(&r, 1);
  });
  // Framework (10, 10, 8, 6): device rows H-16 .. H-10, columns 10 .. 18.
  EXPECT_EQ(px(10, H - 16), kBlack);
  EXPECT_EQ(px(18, H - 16), kBlack);
  EXPECT_EQ(px(19, H - 16), kWhite);
  EXPECT_EQ(px(18, H - 10), kBlack);
  EXPECT_EQ(px(14, H - 13), kWhite);

  // A line, a polygon, a round rectangle and a pie.
  paint([&] {
    vdrawPathMoveTo(2, 2);
    vdrawLineTo(30, 2);
    vdrawStroke();
    vdrawSetColor(rgb(kRed));
    vrect rr{40, 20, 20, 20};
    vdrawFillRoundRects(&rr, 1, 6);
    vrect pie{2, 20, 30, 20};
    vdrawFillPies(&pie, 1, 0, 90);
  });
  EXPECT_EQ(px(10, H - 2), kBlack);
  EXPECT_EQ(px(50, H - 30), kRed);
  EXPECT_EQ(px(40, H - 40), kWhite);  // the rounded corner
  EXPECT_EQ(px(24, H - 34), kRed);    // the first quarter
  EXPECT_EQ(px(8, H - 26), kWhite);   // the third
}

TEST_F(DrawMSW, NegativeArcExtentDrawsTheExchangedArc) {
  auto arc = [&](vfixed start, vfixed sweep) {
    paint([&] {
      vdrawSyncState(vdrawSYNC_STROKE);
      vrect r{8, 8, 40, 30};
      vdrawMSWDriver.frameArcs(data(), &r, 1, start, sweep);
    });
    return shot();
  };
  win::test::Image a = arc(30 * vfixedONE, 100 * vfixedONE), b = arc(130 * vfixedONE, -100 * vfixedONE);
  EXPECT_EQ(a.px, b.px);
  int inked = 0;
  for (std::uint32_t p : a.px) inked += p == 0;
  EXPECT_GT(inked, 20);
}

TEST_F(DrawMSW, TextSitsOnItsBaselineAndXorTextRestores) {
  vfont* f = font("family:Arial-size:10");
  ASSERT_NE(f, nullptr);
  paint([&] {
    vdrawSetFont(f);
    vdrawPathMoveTo(4, 20);
    vdrawGetPrimitives()->Show("HH", 2);
  });
  // The baseline is device row H - 20: ink ends on the row above it.
  int lowest = -1, highest = H;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (px(x, y) == kBlack) lowest = std::max(lowest, y), highest = std::min(highest, y);
  EXPECT_EQ(lowest, H - 20 - 1);
  EXPECT_LT(highest, H - 26);

  // Inside a rectangle: nothing outside it.
  paint([&] {
    vdrawSetFont(f);
    vrect r{10, 10, 40, 20};
    vdrawCharsAt("Hello", 5, &r, 3);
  });
  int inside = 0, outside = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (px(x, y) == kBlack) (x >= 10 && x < 50 && y >= H - 30 && y < H - 10 ? inside : outside)++;
  EXPECT_GT(inside, 10);
  EXPECT_EQ(outside, 0);

  // Exclusive-or text twice restores the ground; mode 5 draws nothing.
  win::test::Image before;
  paint([&] {
    vdrawSetColor(rgb(kBlue));
    vdrawRectFill(0, 0, W, H);
  });
  before = shot();
  paint(
      [&] {
        vdrawSetFont(f);
        vdrawSetColor(rgb(kRed));
        vdrawSetDrawMode(6);
        vdrawPathMoveTo(4, 20);
        vdrawGetPrimitives()->Show("XOR", 3);
        EXPECT_NE(shot().px, before.px);
        vdrawPathMoveTo(4, 20);
        vdrawGetPrimitives()->Show("XOR", 3);
        vdrawSetDrawMode(5);
        vdrawPathMoveTo(4, 20);
        vdrawGetPrimitives()->Show("NOP", 3);
      },
      false);
  EXPECT_EQ(shot().px, before.px);
}

TEST_F(DrawMSW, RotatedTextRunsAlongItsTransform) {
  vfont* f = font("family:Arial-size:10");
  paint([&] {
    vdrawSetFont(f);
    vdrawTranslate(30, 4);
    vdrawRotate(90);
    vdrawPathMoveTo(0, 0);
    vdrawGetPrimitives()->Show("HHHH", 4);
  });
  // Upwards from (30, 4): ink in a tall narrow band left of x = 30.
  int minX = W, maxX = -1, minY = H, maxY = -1;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (px(x, y) == kBlack) minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
  ASSERT_GE(maxX, 0);
  EXPECT_GT(maxY - minY, 2 * (maxX - minX));
  EXPECT_LE(maxX, 30);
  EXPECT_GE(maxY, H - 6);
}

// Rotated text in the copy mode goes through the device's world transform;
// in another mode (1: the pen AND the ground) through the off-screen mask.
// Over white both give black ink on the same pixels; rotated exclusive-or
// text drawn twice restores the ground.
TEST_F(DrawMSW, RotatedTextThroughTheWorldTransformOrTheOffscreenMask) {
  vfont* f = font("family:Arial-size:12");
  auto turned = [&](int mode) {
    paint([&] {
      vdrawSetFont(f);
      if (mode >= 0) vdrawSetDrawMode(mode);
      vdrawTranslate(30, 6);
      vdrawRotate(90);
      vdrawPathMoveTo(0, 0);
      vdrawGetPrimitives()->Show("HEH", 3);
    });
    std::vector<win::COLORREF> out;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) out.push_back(px(x, y));
    return out;
  };
  std::vector<win::COLORREF> world = turned(-1), offscreen = turned(1);
  int ink = 0, differ = 0;
  for (std::size_t i = 0; i < world.size(); ++i) {
    ink += world[i] == kBlack;
    differ += (world[i] == kBlack) != (offscreen[i] == kBlack);
  }
  EXPECT_GT(ink, 60);
  EXPECT_LE(differ, ink / 20) << "of " << ink;
  paint([&] {
    vdrawSetFont(f);
    vdrawSetColor(rgb(kRed));
    vdrawSetDrawMode(6);
    for (int i = 0; i < 2; ++i) {
      vdrawGSave();
      vdrawTranslate(30, 6);
      vdrawRotate(90);
      vdrawPathMoveTo(0, 0);
      vdrawGetPrimitives()->Show("HEH", 3);
      vdrawGRestore();
    }
  });
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) ASSERT_EQ(px(x, y), kWhite) << x << "," << y;
}

// An image turned a quarter through an accepted world transform (a policy
// that takes it on a window) lands on the pixels the resampling gives,
// and so does a mask; the default policy leaves windows to resampling.
// Taken, the image goes the direct road, which copies whatever the draw
// mode: in mode 12 the resampled image is inverted, the direct one not.
TEST_F(DrawMSW, TurnedImagesAndMasksThroughAnAcceptedWorldTransform) {
  vimage* img = rgbImage(5, 3, [](int x, int y) { return std::uint32_t((x * 50) << 16 | (y * 100) << 8 | 0x20); });
  vimage* mask = maskImage(5, 3, [](int x, int y) { return (x + y) % 2 == 0; });
  static int asked = 0;
  auto shot = [&](bool world, bool asMask, int mode = -1) {
    asked = 0;
    vdrawMSWWorldPolicy saved = vdrawMSWGetWorldPolicy();
    if (world) vdrawMSWSetWorldPolicy([](const vdrawDeviceTransform*, int, int) { return ++asked, 1; });
    paint([&] {
      vdrawSetColor(rgb(kRed));
      if (mode >= 0) vdrawSetDrawMode(mode);
      vdrawTranslate(30, 20);
      vdrawRotate(90);
      vdrawScale(2, 2);
      vdrawPathMoveTo(0, 0);
      if (asMask) vdrawGetPrimitives()->ImageMask(mask);
      else vdrawImage(img);
    });
    vdrawMSWSetWorldPolicy(saved);
    std::vector<win::COLORREF> out;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) out.push_back(px(x, y));
    return out;
  };
  for (bool asMask : {false, true}) {
    std::vector<win::COLORREF> resampled = shot(false, asMask), world = shot(true, asMask);
    EXPECT_EQ(asked, 1) << asMask;
    int differ = 0, drawn = 0;
    for (std::size_t i = 0; i < world.size(); ++i) differ += world[i] != resampled[i], drawn += world[i] != kWhite;
    EXPECT_EQ(drawn, asMask ? 8 * 4 : 15 * 4) << asMask;
    EXPECT_EQ(differ, 0) << asMask;
  }
  std::vector<win::COLORREF> inverted = shot(false, false, 12), copied = shot(true, false, 12),
                             plain = shot(false, false);
  int same = 0, opposite = 0;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    if (plain[i] == kWhite) continue;
    same += copied[i] == plain[i];
    opposite += inverted[i] == (~plain[i] & 0xFFFFFF);
  }
  EXPECT_EQ(same, 15 * 4);
  EXPECT_EQ(opposite, 15 * 4);
  vimageDestroy(mask);
  vimageDestroy(img);
}

// A mask drawn again reuses its converted bitmap only while its pixels
// stay as they were: new pixels show at the next draw.
TEST_F(DrawMSW, AMaskDrawnAgainShowsItsChangedPixels) {
  vimage* mask = maskImage(6, 4, [](int x, int y) { return (x + y) % 2 == 0; });
  vimage* other = maskImage(6, 4, [](int x, int) { return x < 2; });
  auto shot = [&] {
    paint([&] {
      vdrawSetColor(rgb(kRed));
      vdrawPathMoveTo(10, 10);
      vdrawGetPrimitives()->ImageMask(mask);
    });
    std::vector<win::COLORREF> out;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) out.push_back(px(x, y));
    return out;
  };
  auto count = [](const std::vector<win::COLORREF>& v) { return int(std::count(v.begin(), v.end(), kRed)); };
  std::vector<win::COLORREF> first = shot(), again = shot();
  EXPECT_EQ(count(first), 12);
  EXPECT_EQ(again, first);
  vpixmapCopyPixels(other, mask);
  EXPECT_EQ(count(shot()), 8);
  vimageDestroy(other);
  vimageDestroy(mask);
}

TEST_F(DrawMSW, ImagesPlaceOnWholePixelsAndStepAsScaled) {
  vimage* img = rgbImage(8, 4, [](int x, int y) { return std::uint32_t(x * 30 << 16 | y * 60 << 8 | 0x40); });
  paint([&] {
    vdrawSyncState(vdrawSYNC_IMAGE);
    vdrawDeviceTransform t = {vmatrixTX | vmatrixTY | vmatrixNEGATIVE_D, vfixedONE, 0, 0, -vfixedONE,
                              -(10 * vfixedONE + vfixedONE / 2), 20 * vfixedONE};
    vdrawMSWDriver.drawImage(data(), img, &t);
  });
  // tx = -10.5 gives T = -10: image column 0 at device 10; U = 20: image row 3 (the top) at device row 16.
  EXPECT_EQ(px(10, 16), ref(0x00B440));  // image (0, 3)
  EXPECT_EQ(px(17, 19), ref(0xD20040));  // image (7, 0)
  EXPECT_EQ(px(9, 16), kWhite);
  EXPECT_EQ(px(18, 16), kWhite);
  EXPECT_EQ(px(10, 20), kWhite);

  // Scales 1.5, -1.5 (resampled: x mirrored) and 2.0 address the source columns as the walk says.
  struct Case {
    vfixed a;
    int width;
  };
  for (Case c : {Case{98304, 5}, Case{-98304, 5}, Case{131072, 4}}) {
    vimage* row = rgbImage(8, 1, [](int x, int) { return std::uint32_t(x * 20 + 10); });
    paint([&] {
      vdrawSyncState(vdrawSYNC_IMAGE);
      // Device (x, 5) -> image (a x + tx, 0.5): column sx at x = 0.
      vfixed tx = c.a > 0 ? 0 : 8 * vfixedONE;
      vdrawDeviceTransform t = {vmatrixTX | vmatrixTY | vmatrixSCALE_A | (c.a < 0 ? vmatrixNEGATIVE_A : 0u), c.a, 0,
                                0, vfixedONE, tx, -5 * vfixedONE};
      vdrawMSWDriver.drawImage(data(), row, &t);
    });
    std::vector<int> columns;
    for (int x = 0; x < W; ++x) {
      win::COLORREF p = px(x, 5);
      if (p != kWhite) columns.push_back((int(win::GetBValue(p)) - 10) / 20);
    }
    ASSERT_GE(columns.size(), std::size_t(c.width)) << c.a;
    for (std::size_t i = 1; i < columns.size(); ++i) {
      int step = std::abs(columns[i] - columns[i - 1]);
      if (c.a == 131072) EXPECT_EQ(step, 2) << i;
      else EXPECT_TRUE(step == 1 || step == 2) << c.a << " " << i;
      EXPECT_EQ(columns[i] > columns[i - 1], c.a > 0) << c.a << " " << i;
    }
    vimageDestroy(row);
  }
  vimageDestroy(img);
}

TEST_F(DrawMSW, RotatedImagesKeepTheGroundAndCombineByMode) {
  vimage* img = rgbImage(16, 16, [](int, int) { return 0xFF0000u; });
  paint([&] {
    vdrawSetColor(rgb(kBlue));
    vdrawRectFill(0, 0, W, H);
    vdrawTranslate(32, 24);
    vdrawRotate(30);
    vdrawPathMoveTo(-8, -8);
    vdrawImage(img);
  });
  EXPECT_EQ(px(32, H - 24), kRed);
  // The corners of the rotated image's box keep the ground.
  EXPECT_EQ(px(22, H - 35), kBlue);
  EXPECT_EQ(px(42, H - 13), kBlue);
  // Mode 12: the inverted source whatever lies below; 15: all ones.
  for (auto [mode, want] : {std::pair{12, win::COLORREF(0xFFFF00)}, {15, kWhite}, {5, kBlue}}) {
    paint([&] {
      vdrawSetColor(rgb(kBlue));
      vdrawRectFill(0, 0, W, H);
      vdrawSetDrawMode(mode);
      vdrawTranslate(32, 24);
      vdrawRotate(30);
      vdrawPathMoveTo(-8, -8);
      vdrawImage(img);
    });
    EXPECT_EQ(px(32, H - 24), want) << mode;
  }
  vimageDestroy(img);
}

TEST_F(DrawMSW, ClipMasksGiveTheSamePixelsWithMaskBltOrItsEmulation) {
  vimage* img = rgbImage(20, 20, [](int x, int y) { return std::uint32_t((x * 12) << 16 | (y * 12) << 8); });
  vimage* mask = maskImage(30, 30, [](int x, int y) { return (x + y) % 3 != 0; });
  auto draw = [&] {
    paint([&] {
      vdrawSetColor(rgb(kBlue));
      vdrawRectFill(0, 0, W, H);
      vdrawSyncState(vdrawSYNC_IMAGE);
      vdrawMSWDriver.clipToMask(data(), mask, 5, 5);
      vdrawDeviceTransform t = {vmatrixTX | vmatrixTY | vmatrixNEGATIVE_D, vfixedONE, 0, 0, -vfixedONE,
                                -10 * vfixedONE, 30 * vfixedONE};
      vdrawMSWDriver.drawImage(data(), img, &t);
      // A fill goes through the mask too.
      vdrawSetColor(rgb(kRed));
      vrect r{40, 5, 10, 10};
      vdrawMSWDriver.fillRects(data(), &r, 1);
    });
    return shot();
  };
  win::test::Image direct = draw();
  _vdrawMSWForceMaskBltEmulation(1);
  win::test::Image emulated = draw();
  EXPECT_EQ(direct.px, emulated.px);
  // Device (10, 10) is mask (5, 5): (5 + 29 - 5... rows from the bottom.
  int masked = 0, drawn = 0;
  for (int y = 10; y < 30; ++y)
    for (int x = 10; x < 30; ++x) (px(x, y) == kBlue ? masked : drawn)++;
  EXPECT_GT(masked, 100);
  EXPECT_GT(drawn, 200);
  EXPECT_EQ(px(41, 6) == kRed || px(41, 6) == kBlue, true);
  EXPECT_EQ(px(45, 30), kBlue);  // outside the mask's rectangle
  vimageDestroy(img);
  vimageDestroy(mask);
}

TEST_F(DrawMSW, DrawingIntoImagesIsReadBackIntoTheirPixels) {
  vimage* img = rgbImage(10, 6, [](int, int) { return 0x000080u; });
  vdrawGSave();
  vdrawRegisterImageDriver(&vdrawMSWDriver, 0);
  vdrawBindImage(img, 0);
  vdrawSetColor(rgb(kRed));
  vdrawRectFill(2, 1, 3, 2);  // from the bottom left, as the image's rows count
  vdrawGRestore();
  vpixmapCursor c;
  vpixmapInitCursor(&c, img);
  EXPECT_EQ(vpixmapCursorGetAt(&c, 2, 1), 0xFF0000u);
  EXPECT_EQ(vpixmapCursorGetAt(&c, 4, 2), 0xFF0000u);
  EXPECT_EQ(vpixmapCursorGetAt(&c, 5, 2), 0x000080u);
  EXPECT_EQ(vpixmapCursorGetAt(&c, 2, 3), 0x000080u);
  vpixmapFinishCursor(&c);

  // A one-bit image drawn as a mask: white pen and brush give ones.
  vimage* bits = maskImage(12, 8, [](int, int) { return false; });
  vdrawGSave();
  vdrawBindImage(bits, vdrawBIND_MASK_IMAGE);
  vdrawRectFill(1, 2, 4, 3);
  vdrawGRestore();
  vpixmapInitCursor(&c, bits);
  int ones = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) ones += vpixmapCursorGetAt(&c, x, y) != 0;
  EXPECT_EQ(ones, 12);
  EXPECT_NE(vpixmapCursorGetAt(&c, 1, 2), 0u);
  vpixmapFinishCursor(&c);
  vimageDestroy(img);
  vimageDestroy(bits);
}

// ---- The look's part: focus frames and the exclusive-or colour of mode 16.

bool focusFraming = false;

struct DrawMSWLook : DrawMSW {
  void SetUp() override {
    vwindowHooks h = vwindowDefaultHooks();
    h.lookInFocusMode = [] { return focusFraming ? 1 : 0; };
    h.lookColor = [](int index) { return index == 10 ? rgb(kGreen) : vcolorGetBlack(); };
    installed = raised([&] { vwindowInstallHooks(&h); }) == nullptr;
    DrawMSW::SetUp();
  }
  bool installed = false;
};

TEST_F(DrawMSWLook, FocusFramesAndTheLooksExclusiveOrColour) {
  if (!installed) GTEST_SKIP() << "the window hooks were fixed earlier in this process";
  // Framed in focus mode: a dotted rectangle inverted on the ground, gone when framed again.
  focusFraming = true;
  paint([&] { vdrawRectFrame(10, 10, 20, 10); });
  int black = 0;
  for (int x = 10; x < 30; ++x) black += px(x, H - 20) == kBlack;
  EXPECT_GE(black, 8);
  EXPECT_LE(black, 12);
  paint(
      [&] {
        vrect r{10, 10, 20, 10};
        vdrawFrameRects(&r, 1);
      },
      false);
  focusFraming = false;
  black = 0;
  for (int x = 0; x < W; ++x) black += px(x, H - 20) == kBlack;
  EXPECT_EQ(black, 0);
  // Mode 16: red combined with the look's green, over blue: white; twice: blue again.
  for (int times : {1, 2}) {
    paint([&] {
      vdrawSetColor(rgb(kBlue));
      vdrawRectFill(0, 0, W, H);
      vdrawSetColor(rgb(kRed));
      vdrawSetDrawMode(16);
      for (int i = 0; i < times; ++i) vdrawRectFill(4, 4, 10, 10);
    });
    EXPECT_EQ(px(5, H - 5), times == 1 ? kWhite : kBlue);
  }
}

// ---- Pens: the state's width, dash, cap and join in device pixels.

TEST_F(DrawMSW, PensDrawTheirDashesCapsAndJoins) {
  auto stroke = [&](std::vector<std::pair<int, int>> pts, const std::function<void()>& setup) {
    paint([&] {
      setup();
      vdrawPathMoveTo(pts[0].first, pts[0].second);
      for (std::size_t i = 1; i < pts.size(); ++i) vdrawLineTo(pts[i].first, pts[i].second);
      vdrawStroke();
    });
  };
  // Dashes along a one-pixel line from x = 2 (device row H - 10): pixel x is
  // on when its place in the repeating pattern, moved by the offset, is in a dash.
  struct DashCase {
    std::vector<float> dash;
    double offset;
  };
  const DashCase dashes[] = {{{4, 2}, 0}, {{4, 2}, 1}, {{4, 2}, 5}, {{3}, 0}, {{3}, 4}, {{2, 1, 3}, 2}, {{5, 3}, 8}};
  for (const DashCase& c : dashes) {
    stroke({{2, 10}, {40, 10}}, [&] { vdrawSetDash(int(c.dash.size()), c.dash.data(), c.offset); });
    std::vector<float> cycle = c.dash;
    if (cycle.size() % 2) cycle.insert(cycle.end(), c.dash.begin(), c.dash.end());
    int period = 0;
    for (float v : cycle) period += int(v);
    for (int x = 0; x < 44; ++x) {
      bool want = false;
      if (x >= 2 && x < 40) {
        int at = (x - 2 + int(c.offset)) % period;
        for (std::size_t i = 0; i < cycle.size(); at -= int(cycle[i++]))
          if (at < int(cycle[i])) {
            want = i % 2 == 0;
            break;
          }
      }
      ASSERT_EQ(px(x, H - 10), want ? kBlack : kWhite) << "dash " << c.dash[0] << " offset " << c.offset << " x " << x;
      ASSERT_EQ(px(x, H - 11), kWhite) << x;
    }
  }

  // Caps on a line 6 wide from x = 10 to 30: butt ends at the points,
  // square and round reach 3 further, round without its corners.
  struct CapCase {
    int cap;
    int first, last;  // columns of the middle row
    bool corner;      // the square end's corner pixel
  };
  for (CapCase c : {CapCase{3072, 10, 29, false}, {1024, 7, 32, true}, {2048, 7, 32, false}}) {
    stroke({{10, 20}, {30, 20}}, [&] {
      vdrawSetLineWidth(6);
      vdrawSetLineCap(c.cap);
    });
    int y = H - 20;
    EXPECT_EQ(px(c.first, y), kBlack) << c.cap;
    EXPECT_EQ(px(c.first - 1, y), kWhite) << c.cap;
    EXPECT_EQ(px(c.last, y), kBlack) << c.cap;
    EXPECT_EQ(px(c.last + 1, y), kWhite) << c.cap;
    EXPECT_EQ(px(7, y - 3), c.corner ? kBlack : kWhite) << c.cap;
    // Six rows: three above the line's centre, three below.
    EXPECT_EQ(px(20, y - 3), kBlack);
    EXPECT_EQ(px(20, y + 2), kBlack);
    EXPECT_EQ(px(20, y - 4), kWhite);
    EXPECT_EQ(px(20, y + 3), kWhite);
  }

  // Joins at a right angle (10, 30) -> (30, 30) -> (30, 10): the outer
  // corner is filled by a miter, cut by a bevel, rounded by a round join.
  struct JoinCase {
    int join;
    bool corner, diagonal;
  };
  for (JoinCase c : {JoinCase{768, true, true}, {256, false, false}, {512, false, true}}) {
    stroke({{10, 30}, {30, 30}, {30, 10}}, [&] {
      vdrawSetLineWidth(6);
      vdrawSetLineJoin(c.join);
    });
    int cx = 30, cy = H - 30;  // the corner's pixel; the outside lies up and right
    EXPECT_EQ(px(cx + 2, cy - 3), c.corner ? kBlack : kWhite) << c.join;
    EXPECT_EQ(px(cx + 1, cy - 2), c.diagonal ? kBlack : kWhite) << c.join;
    EXPECT_EQ(px(cx, cy), kBlack) << c.join;
  }

  // Widths and dashes follow the matrix: 3 units at scale 2 are 6 pixels,
  // a dash of 2 units 4 pixels. A wide red line keeps its colour.
  stroke({{1, 5}, {20, 5}}, [&] {
    vdrawScale(2, 2);
    vdrawSetColor(rgb(kRed));
    vdrawSetLineWidth(3);
    float d[] = {2, 2};
    vdrawSetDash(2, d, 0);
  });
  int y = H - 10;
  for (int x = 2; x < 40; ++x) EXPECT_EQ(px(x, y), ((x - 2) % 8) < 4 ? kRed : kWhite) << x;
  EXPECT_EQ(px(3, y - 3), kRed);
  EXPECT_EQ(px(3, y - 4), kWhite);
  EXPECT_EQ(px(3, y + 2), kRed);
  EXPECT_EQ(px(3, y + 3), kWhite);
}

TEST_F(DrawMSW, FillsCountWindingsByTheRuleGiven) {
  // Winding (0) fills the star's middle and the inner square; even-odd
  // (4096) leaves them; the points and the outer ring are filled either way.
  struct Case {
    int rule;
    win::COLORREF middle;
  };
  for (Case c : {Case{0, kBlack}, {0x1000, kWhite}}) {
    for (win::COLORREF colour : {kBlack, kRed}) {  // the second through the mask of overlapping sub-paths
      paint([&] {
        vdrawSetColor(rgb(colour));
        star(32, 24, 20);
        vdrawFill(c.rule);
      });
      EXPECT_EQ(px(32, H - 24), c.middle == kBlack ? colour : kWhite) << c.rule;
      EXPECT_EQ(px(32, H - 40), colour) << c.rule;
      paint([&] {
        vdrawSetColor(rgb(colour));
        nestedSquares(8, 0, 44, 20);
        vdrawFill(c.rule);
      });
      EXPECT_EQ(px(30, H - 22), c.middle == kBlack ? colour : kWhite) << c.rule;
      EXPECT_EQ(px(12, H - 22), colour) << c.rule;
      EXPECT_EQ(px(60, H - 22), kWhite) << c.rule;
    }
  }
  // A clip made of the squares follows the rule too.
  for (Case c : {Case{0, kBlack}, {0x1000, kWhite}}) {
    paint([&] {
      nestedSquares(8, 0, 44, 20);
      vdrawClip(c.rule);
      vdrawRectFill(0, 0, W, H);
    });
    EXPECT_EQ(px(30, H - 22), c.middle) << c.rule;
    EXPECT_EQ(px(12, H - 22), kBlack) << c.rule;
  }
}

TEST_F(DrawMSW, LinesAndShapesReachingFarBeyondTheWindowStayOnCourse) {
  for (double far : {40000.0, 70000.0, 1e9}) {
    paint([&] {
      vdrawPathMoveTo(10, 10);
      vdrawLineToF(far, 10);
      vdrawStroke();
      // A polygon reaching far right fills its rows to the window's edge.
      vdrawPathMoveTo(0, 20);
      vdrawLineToF(far, 20);
      vdrawLineToF(far, 30);
      vdrawLineTo(0, 30);
      vdrawClosePath();
      vdrawFill(0);
    });
    for (int x : {10, 40, W - 1}) EXPECT_EQ(px(x, H - 10), kBlack) << far << " " << x;
    EXPECT_EQ(px(5, H - 10), kWhite) << far;
    int filled = 0;
    for (int x = 0; x < W; ++x) filled += px(x, H - 25) == kBlack;
    EXPECT_EQ(filled, W) << far;
  }
  // A slanting line keeps its slope up to the edge: one in ten.
  paint([&] {
    vdrawPathMoveTo(0, 5);
    vdrawLineTo(64000, 6405);
    vdrawStroke();
  });
  for (int x : {10, 30, 50, 60}) {
    int row = -1;
    for (int y = 0; y < H; ++y)
      if (px(x, y) == kBlack) row = y;
    EXPECT_NEAR(H - row, 5 + x / 10.0, 1.0) << x;
  }
  // Drawn after a far translation and back, the shape lands where it would.
  paint([&] {
    vdrawTranslate(40000, 0);
    vdrawPathMoveTo(-39990, 5);
    vdrawRLineTo(20, 0);
    vdrawRLineTo(0, 20);
    vdrawRLineTo(-20, 0);
    vdrawClosePath();
    vdrawFill(0);
  });
  EXPECT_EQ(px(20, H - 10), kBlack);
  EXPECT_EQ(px(5, H - 10), kWhite);
  EXPECT_EQ(px(35, H - 10), kWhite);
}

TEST_F(DrawMSW, ImagesOfTwoListedColoursShowThoseColours) {
  for (int bits : {1, 4, 8}) {
    vimage* image = twoColourImage(bits, 8, 8, kRed, kBlue);
    paint([&] {
      vdrawSetColor(rgb(kGreen));
      vdrawPathMoveTo(10, 10);
      vdrawImage(image);
    });
    EXPECT_EQ(px(11, H - 12), kRed) << bits;
    EXPECT_EQ(px(16, H - 12), kBlue) << bits;
    vimageDestroy(image);
  }
  // Without a list a one-bit image is drawn in the current colours.
  vimage* plain = maskImage(8, 8, [](int x, int) { return x >= 4; });
  paint([&] {
    vdrawSetColor(rgb(kGreen));
    vdrawPathMoveTo(10, 10);
    vdrawImage(plain);
  });
  EXPECT_NE(px(16, H - 12), kRed);
  EXPECT_NE(px(16, H - 12), kBlue);
  vimageDestroy(plain);
}

// ---- The pseudo printer.

struct Printer : DrawMSW {
  win::HDC hdc = nullptr;
  void SetUp() override {
    DrawMSW::SetUp();
    hdc = win::CreateDCA("WINSPOOL", "PNG Printer", nullptr, nullptr);
  }
  void TearDown() override {
    win::DeleteDC(hdc);
    win::test::SetStretchDIBitsRowCap(0);
    DrawMSW::TearDown();
  }
  void print(const std::function<void()>& body) {
    vdrawGSave();
    _vdrawBindDevice(vdrawBIND_PRINTER, hdc, nullptr, &vdrawDefaultDeviceTable, &vdrawMSWDriver);
    body();
    vdrawGRestore();
  }
  // A sheet pixel of device (x, y).
  std::uint32_t sheet(int x, int y) {
    win::test::Image i = win::test::PrinterImage(hdc);
    return i.px[std::size_t((y + 25) * i.width + x + 25)];
  }
};

TEST_F(Printer, TheDeviceContextDescribesALetterPage) {
  ASSERT_NE(hdc, nullptr);
  EXPECT_EQ(win::CreateDCA("WINSPOOL", "Other", nullptr, nullptr), nullptr);
  struct Cap {
    int index, value;
  };
  for (Cap c : {Cap{win::HORZRES, 1225}, {win::VERTRES, 1600}, {win::LOGPIXELSX, 150}, {win::LOGPIXELSY, 150},
                {win::BITSPIXEL, 24}})
    EXPECT_EQ(win::GetDeviceCaps(hdc, c.index), c.value) << c.index;
  win::POINT p{};
  EXPECT_EQ(win::Escape(hdc, win::GETPHYSPAGESIZE, 0, nullptr, &p), 1);
  EXPECT_EQ(p.x, 1275);
  EXPECT_EQ(p.y, 1650);
  EXPECT_EQ(win::Escape(hdc, win::GETPRINTINGOFFSET, 0, nullptr, &p), 1);
  EXPECT_EQ(p.x, 25);
  for (auto [escape, answer] : {std::pair{8, 1}, {12, 1}, {13, 1}, {19, 0}, {4, 0}})
    EXPECT_EQ(win::Escape(hdc, win::QUERYESCSUPPORT, sizeof(int), &escape, nullptr), answer) << escape;
  // Drawing outside the printable area is clipped; the sheet stays white there.
  win::PatBlt(hdc, -10, -10, 2000, 2000, win::BLACKNESS);
  win::test::Image i = win::test::PrinterImage(hdc);
  EXPECT_EQ(i.px[0], 0xFFFFFFu);
  EXPECT_EQ(i.px[std::size_t(25 * i.width + 25)], 0u);
  EXPECT_EQ(i.px[std::size_t(1625 * i.width + 1250)], 0xFFFFFFu);
}

TEST_F(Printer, ImagesGoInBandsAndMasksThatAdmitNothingDrawNothing) {
  // One unit a point: 150 / 72 pixels.
  vdrawDeviceTransform t{};
  print([&] { t = *vdrawMSWDriver.deviceTransform(data()); });
  EXPECT_EQ(t.a, vfixed(std::lround(150 * 65536.0 / 72)));
  EXPECT_EQ(t.ty, 1650 * vfixedONE);

  vimage* img = rgbImage(6, 7, [](int, int y) { return std::uint32_t(y * 30) << 16; });
  win::test::SetStretchDIBitsRowCap(3);
  print([&] {
    vdrawSyncState(vdrawSYNC_IMAGE);
    vdrawDeviceTransform toImage = {vmatrixTX | vmatrixTY | vmatrixNEGATIVE_D, vfixedONE, 0, 0, -vfixedONE,
                                    -100 * vfixedONE, 107 * vfixedONE};
    vdrawMSWDriver.drawImage(data(), img, &toImage);
  });
  // Device rows 100 .. 106 hold image rows 6 .. 0, each exactly once.
  // (The colour layer keeps each channel as v x 256: a red of 180 may print as 179.)
  for (int r = 0; r < 7; ++r) EXPECT_NEAR(int(sheet(100, 100 + r) >> 16), (6 - r) * 30, 1) << r;
  EXPECT_EQ(sheet(100, 107), 0xFFFFFFu);

  // An all-zero clip mask admits nothing: no fill, no image.
  vimage* none = maskImage(20, 20, [](int, int) { return false; });
  print([&] {
    vdrawSetColor(rgb(kRed));
    vdrawSyncState(vdrawSYNC_FILL);
    vdrawMSWDriver.clipToMask(data(), none, 200, 200);
    vrect r{200, 200, 20, 20};
    vdrawMSWDriver.fillRects(data(), &r, 1);
    vdrawDeviceTransform toImage = {vmatrixTX | vmatrixTY | vmatrixNEGATIVE_D, vfixedONE, 0, 0, -vfixedONE,
                                    -200 * vfixedONE, 207 * vfixedONE};
    vdrawMSWDriver.drawImage(data(), img, &toImage);
  });
  for (int y = 195; y < 225; ++y)
    for (int x = 195; x < 225; ++x) ASSERT_EQ(sheet(x, y), 0xFFFFFFu) << x << "," << y;
  vimageDestroy(none);
  vimageDestroy(img);
}

// A printer that takes no row at all: the band halves down to nothing and
// the image raises Return/Null "StretchDIBits failed", after taking back
// the region its clip mask made (no region is left selected) and printing
// nothing.
TEST_F(Printer, AnImageNoRowOfWhichPrintsRaises) {
  vimage* img = rgbImage(4, 6, [](int, int) { return 0x00FF00u; });
  vimage* half = maskImage(4, 6, [](int x, int) { return x < 2; });
  win::test::SetStretchDIBitsRowCap(-1);
  std::string message;
  const vexClass* cls = nullptr;
  int selected = -1;
  print([&] {
    vdrawSyncState(vdrawSYNC_IMAGE);
    vdrawMSWDriver.clipToMask(data(), half, 100, 100);
    vdrawDeviceTransform toImage = {vmatrixTX | vmatrixTY | vmatrixNEGATIVE_D, vfixedONE, 0, 0, -vfixedONE,
                                    -100 * vfixedONE, 106 * vfixedONE};
    cls = raised([&] { vdrawMSWDriver.drawImage(data(), img, &toImage); }, &message);
    win::HRGN now = win::CreateRectRgn(0, 0, 0, 0);
    selected = win::GetClipRgn(hdc, now);
    win::DeleteObject(now);
  });
  EXPECT_EQ(cls, &vexReturnNullClass);
  EXPECT_EQ(message, "StretchDIBits failed");
  EXPECT_EQ(selected, 0);
  for (int y = 95; y < 112; ++y)
    for (int x = 95; x < 110; ++x) ASSERT_EQ(sheet(x, y), 0xFFFFFFu) << x << "," << y;
  vimageDestroy(half);
  vimageDestroy(img);
}

// The clip region of a masked printer image is made of one rectangle per
// run of admitted pixels in each group of equal rows: rows that agree with
// the next join one rectangle as tall as their group.
std::vector<win::RECT> madeRegions;
win::HRGN recordRectRgn(int left, int top, int right, int bottom) {
  if (right > left && bottom > top) madeRegions.push_back({left, top, right, bottom});
  return win::CreateRectRgn(left, top, right, bottom);
}

TEST_F(Printer, AMaskedImagesRegionHasOneRectanglePerRunOfEachGroupOfEqualRows) {
  // Image rows from the bottom: 0-1 admit columns 0-1, row 2 columns 0 and
  // 3, rows 3-5 columns 1-3. Device row 100 holds image row 5.
  vimage* img = rgbImage(4, 6, [](int, int) { return 0x00FF00u; });
  auto in = [](int x, int y) { return y < 2 ? x < 2 : y == 2 ? (x == 0 || x == 3) : x >= 1; };
  vimage* mask = maskImage(4, 6, in);
  madeRegions.clear();
  vwindowMSWGdi.createRectRgn = recordRectRgn;
  print([&] {
    vdrawSyncState(vdrawSYNC_IMAGE);
    vdrawMSWDriver.clipToMask(data(), mask, 100, 100);
    vdrawDeviceTransform toImage = {vmatrixTX | vmatrixTY | vmatrixNEGATIVE_D, vfixedONE, 0, 0, -vfixedONE,
                                    -100 * vfixedONE, 106 * vfixedONE};
    vdrawMSWDriver.drawImage(data(), img, &toImage);
  });
  _vwindowMSWResetGdiCalls();
  std::vector<std::string> rects;
  for (const win::RECT& r : madeRegions)
    rects.push_back(std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
                    std::to_string(r.bottom));
  EXPECT_EQ(rects, (std::vector<std::string>{"101,100-104,103", "100,103-101,104", "103,103-104,104",
                                             "100,104-102,106"}));
  for (int y = 98; y < 108; ++y)
    for (int x = 98; x < 106; ++x) {
      bool inside = x >= 100 && x < 104 && y >= 100 && y < 106 && in(x - 100, 105 - y);
      ASSERT_EQ(sheet(x, y), inside ? 0x00FF00u : 0xFFFFFFu) << x << "," << y;
    }
  vimageDestroy(mask);
  vimageDestroy(img);
}

TEST_F(Printer, RectanglesAndRotatedImagesPrintWhereTheCoverageSays) {
  vimage* img = rgbImage(40, 40, [](int, int) { return 0x00FF00u; });
  print([&] {
    vdrawSetColor(rgb(kBlue));
    vdrawRectFill(72, 72, 72, 72);  // one inch
    vdrawTranslate(300, 500);
    vdrawRotate(45);
    vdrawPathMoveTo(0, 0);
    vdrawImage(img);
  });
  // The inch square: 150 pixels from device (150, 1650 - 300); y = 0 is the physical page's bottom.
  EXPECT_EQ(sheet(150, 1350), 0x0000FFu);
  EXPECT_EQ(sheet(299, 1499), 0x0000FFu);
  EXPECT_EQ(sheet(300, 1499), 0xFFFFFFu);
  EXPECT_EQ(sheet(150, 1349), 0xFFFFFFu);
  win::test::Image i = win::test::PrinterImage(hdc);
  int green = 0;
  for (std::uint32_t p : i.px) green += p == 0x00FF00u;
  // A rotated 40-point square covers about (40 * 150 / 72)^2 pixels; the box corners stay white.
  EXPECT_NEAR(green, 83 * 83, 83 * 20);
  vimageDestroy(img);
}

TEST_F(Printer, ImagesOfTwoListedColoursPrintInThoseColours) {
  for (int bits : {1, 4, 8}) {
    vimage* image = twoColourImage(bits, 8, 8, kRed, kBlue);
    print([&] {
      vdrawSetColor(rgb(kGreen));
      vdrawPathMoveTo(72, 72);
      vdrawImage(image);
    });
    // 8 points are 16 or 17 pixels from device (150, 1500) up and right.
    EXPECT_EQ(sheet(152, 1495), 0xFF0000u) << bits;
    EXPECT_EQ(sheet(164, 1495), 0x0000FFu) << bits;
    vimageDestroy(image);
  }
}

TEST_F(Printer, LinesAndTextTakeThePrintersPixelsPerPoint) {
  // A 10-point line is floor(10 x 150 / 72 + 0.5) = 21 pixels wide; its ends
  // at 72 and 144 points lie at device columns 150 and 300.
  print([&] {
    vdrawSetLineWidth(10);
    vdrawPathMoveTo(72, 700);
    vdrawLineTo(144, 700);
    vdrawStroke();
    vdrawSetFont(font("family:Arial-size:12"));
    vdrawPathMoveTo(72, 600);
    vdrawShowScribe(vscribeCString("HHHH"));
  });
  // The sheet is read once: a copy per pixel made this test quadratic.
  const win::test::Image shot = win::test::PrinterImage(hdc);
  auto inked = [&](int x, int y) { return shot.px[std::size_t((y + 25) * shot.width + x + 25)] != 0xFFFFFFu; };
  int rows = 0;
  for (int y = 150; y < 230; ++y) rows += inked(200, y);
  EXPECT_EQ(rows, 21);
  EXPECT_TRUE(inked(150, 192));
  EXPECT_FALSE(inked(149, 192));
  EXPECT_TRUE(inked(299, 192));
  EXPECT_FALSE(inked(300, 192));
  // Text sits on its baseline, 1650 - 600 x 150 / 72 = 400, its font made
  // 150 / 72 times the screen's 16 pixels: capitals some 24 pixels tall.
  int top = 10000, bottom = -1, left = 10000;
  for (int y = 340; y < 430; ++y)
    for (int x = 140; x < 400; ++x)
      if (inked(x, y)) top = std::min(top, y), bottom = std::max(bottom, y), left = std::min(left, x);
  EXPECT_EQ(bottom, 399);
  EXPECT_NEAR(bottom - top + 1, 16 * 150 / 72.0 * 0.716, 1.5) << top;
  EXPECT_NEAR(left, 153, 2);
}

TEST_F(Printer, AWindowsContentsPrintFromItsContext) {
  // Left half red, right half blue, a green row at the window's top.
  win::HDC wdc = win::GetDC(w->native->hwnd);
  for (auto [rect, colour] : {std::pair{win::RECT{0, 0, W / 2, H}, kRed}, {win::RECT{W / 2, 0, W, H}, kBlue},
                              {win::RECT{0, 0, W, 1}, kGreen}}) {
    win::HBRUSH b = win::CreateSolidBrush(colour);
    win::FillRect(wdc, &rect, b);
    win::DeleteObject(b);
  }
  win::ReleaseDC(w->native->hwnd, wdc);
  vimage* contents = vwindowMSWCreateWindowImage(w);
  // One device pixel a unit, the image's rows 8 .. H - 1 (bottom first) clipped away below device row 120.
  print([&] {
    vdrawSyncState(vdrawSYNC_IMAGE);
    vrect clip{0, 0, 1000, 120};
    vdrawMSWDriver.setClipRects(data(), &clip, 1);
    vdrawDeviceTransform toImage = {vmatrixTX | vmatrixTY | vmatrixNEGATIVE_D, vfixedONE, 0, 0, -vfixedONE,
                                    -100 * vfixedONE, (100 + H) * vfixedONE};
    vdrawMSWDriver.drawImage(data(), contents, &toImage);
  });
  // The window's top row lands on device row 100, its column x on 100 + x.
  EXPECT_EQ(sheet(100, 100), 0x00FF00u);
  EXPECT_EQ(sheet(110, 101), 0xFF0000u);
  EXPECT_EQ(sheet(100 + W - 1, 119), 0x0000FFu);
  EXPECT_EQ(sheet(100 + W - 1, 120), 0xFFFFFFu);  // clipped
  EXPECT_EQ(sheet(99, 110), 0xFFFFFFu);
  vimageDestroy(contents);
}

// ---- The whole road on one window.

TEST_F(DrawMSW, AWindowDrawnThroughTheWholeRoadMatchesItsPicture) {
  close(w);
  vwindowDestroy(w);
  w = open(vwindowDECO_TOP_LEVEL, {10, 10, 160, 120});
  vimage* img = rgbImage(16, 16, [](int x, int y) { return std::uint32_t((x * 16) << 16 | (y * 16) << 8 | 0x80); });
  vimage* m = maskImage(16, 16, [](int x, int y) { return (x - 8) * (x - 8) + (y - 8) * (y - 8) < 56; });
  vimageSetMask(img, m);
  vimage* tile = rgbImage(6, 6, [](int x, int y) { return (x + y) % 2 ? 0xE0E0E0u : 0x404040u; });
  vdrawGSave();
  vwindowBindDrawTarget(w);
  vdrawSetColor(rgb(0xC0C0C0));
  vdrawRectFill(0, 0, 160, 120);
  vdrawSetLineWidth(1);
  vrect all{0, 0, 160, 120};
  vdrawSetDeviceClipRects(&all, 1);
  vrect frames[2] = {{4, 4, 60, 40}, {70, 4, 40, 40}};
  vdrawRectsFrameShaded(frames, 2, rgb(0xC0C0C0), rgb(kWhite), rgb(0x808080));
  const char* fonts[] = {"family:Arial-size:10", "family:Times New Roman-size:12", "family:Courier New-size:9"};
  for (int i = 0; i < 3; ++i) {
    vdrawSetColor(rgb(i == 1 ? kRed : kBlack));
    vdrawSetFont(font(fonts[i]));
    vrect r{4, std::int16_t(100 - 16 * i), 150, 16};
    vdrawCharsAt("Graphics 9", 10, &r, 0);
  }
  vdrawPathMoveTo(120, 10);
  vdrawImage(img);
  vrect tiled{12, 10, 40, 26};
  vdrawPathMoveTo(12, 10);
  vdrawImageTile(tile, &tiled, vdrawImage);
  vdrawSetColor(rgb(kBlue));
  vdrawSetDrawMode(6);
  vdrawRectFill(0, 50, 160, 10);
  vdrawGRestore();
  EXPECT_TRUE(test_support::MatchesPng(shot(), std::string(std::getenv("SIM_TEST_DATA")) + "/drawmsw/road.png"));
  vimageDestroy(img);
  vimageDestroy(tile);
}

}  // namespace

// A masked image drawn through a clip that takes only part of it shows that
// part as it shows when drawn whole: the mask is no more mirrored than the
// image. Clips cutting it from each side and from two at once, as the clip
// and as the device's clip region (a window's update).
TEST_F(DrawMSW, AMaskedImageThroughAPartialClipMatchesItsWholeDrawing) {
  // Top-heavy shapes: a mirrored row order shows at once.
  vimage* img = rgbImage(12, 10, [](int x, int y) { return std::uint32_t(0x100000 * (y + 1) | (x * 20)); });
  vimageSetMaskOwned(img, maskImage(12, 10, [](int x, int y) { return y >= 6 || x == y; }));
  auto draw = [&](const vrect* clip, bool region) {
    paint([&] {
      if (clip && region) {
        // Bound as inside the window's update: the region limits the clip.
        _vdrawBindDevice(vdrawBIND_WINDOW | vdrawBIND_CLIP_TO_DEVICE, w, nullptr, &vdrawDefaultDeviceTable,
                         vwindowMSWGetDriver());
        vdrawSetDeviceClipRects(clip, 1);
      } else if (clip) {
        vdrawClipRects(clip, 1);
      }
      vdrawPathMoveTo(20, 15);
      vdrawImage(img);
    });
    std::vector<win::COLORREF> out;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) out.push_back(px(x, y));
    return out;
  };
  const std::vector<win::COLORREF> whole = draw(nullptr, false);
  int drawn = 0;
  for (win::COLORREF p : whole) drawn += p != kWhite;
  ASSERT_EQ(drawn, 6 + 4 * 12);
  EXPECT_NE(whole[std::size_t((H - 1 - 24) * W + 21)], kWhite) << "the full rows at the image's top";
  const vrect clips[] = {{24, 0, W, H}, {0, 0, 26, H}, {0, 18, W, H}, {0, 0, W, 20}, {23, 17, 6, 6}};
  for (bool region : {false, true})
    for (const vrect& c : clips) {
      const std::vector<win::COLORREF> part = draw(&c, region);
      int kept = 0;
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          bool inside = x >= c.x && x < c.x + c.width && H - 1 - y >= c.y && H - 1 - y < c.y + c.height;
          win::COLORREF want = inside ? whole[std::size_t(y * W + x)] : kWhite;
          ASSERT_EQ(part[std::size_t(y * W + x)], want) << c.x << "," << c.y << (region ? " region" : "") << " at " << x
                                                        << "," << y;
          kept += want != kWhite;
        }
      EXPECT_GT(kept, 0) << c.x << "," << c.y;
    }
  vimageDestroy(img);
}


// A masked image under a placement matrix shows exactly the pixels its mask
// admits, where the image lies: the mask drawn for the matrix is neither
// moved nor mirrored.
TEST_F(DrawMSW, AMaskedImageUnderAMatrixShowsWhatItsMaskAdmits) {
  vimage* img = rgbImage(12, 10, [](int x, int y) { return std::uint32_t(0x100000 * (y + 1) | (x * 20)); });
  auto admits = [](int x, int y) { return y >= 6 || x == y; };
  vimageSetMaskOwned(img, maskImage(12, 10, admits));
  for (int scale : {1, 2, 3}) {
    paint([&] {
      // User to image: the image's corner at (20, 6), each pixel scale wide.
      vmatrix m = {1.0f / float(scale), 0, 0, 1.0f / float(scale), -20.0f / float(scale), -6.0f / float(scale)};
      vdrawImageTransformed(img, &m);
    });
    int drawn = 0;
    for (int row = 0; row < H; ++row)
      for (int x = 0; x < W; ++x) {
        int uy = H - 1 - row, ix = (x - 20) / scale, iy = (uy - 6) / scale;
        bool inside = x >= 20 && uy >= 6 && ix < 12 && iy < 10;
        bool want = inside && admits(ix, iy);
        ASSERT_EQ(px(x, row) != kWhite, want) << "scale " << scale << " at " << x << "," << row;
        drawn += want;
      }
    EXPECT_EQ(drawn, (6 + 4 * 12) * scale * scale) << scale;
  }
  vimageDestroy(img);
}
