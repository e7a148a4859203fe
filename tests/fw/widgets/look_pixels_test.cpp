// The look's drawing operations in pixels, through the GDI drawing driver
// into a small headless window: framework y grows upwards, so a point
// (x, y) is the window's pixel (x, H - 1 - y).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/look/laf.h"
#include "platform/win/test.h"

namespace {

constexpr int W = 40, H = 24;
constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0, kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

vcolor* rgb(std::uint32_t ref) {  // a COLORREF
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, (ref & 0xFF) * 257u, (ref >> 8 & 0xFF) * 257u, (ref >> 16 & 0xFF) * 257u);
  return vcolorInternSpec(&s);
}

struct LookPixels : ::testing::Test {
  vwindow* window = nullptr;
  void SetUp() override {
    startDialogItemTests();  // the Windows look, 3-D
    window = vwindowCreate();
    window->rect = {40, 40, W, H};
    vwindowOpen(window);
    veventMSWDrainMessages();
  }
  void TearDown() override {
    vwindowClose(window);
    vwindowDestroy(window);
    veventMSWDrainMessages();
    startDialogItemTests();
  }
  void paint(const std::function<void()>& body, bool clear = true) {
    vdrawGSave();
    vwindowBindDrawTarget(window);
    if (clear) {
      vdrawSetColor(rgb(kWhite));
      vdrawRectFill(0, 0, W, H);
    }
    vdrawSetColor(rgb(kBlack));
    vdrawSetLineWidth(1);
    body();
    vdrawGRestore();
  }
  std::uint32_t px(int x, int y) const { return win::test::Pixel(window->native->hwnd, x, H - 1 - y); }
  win::test::Image shot() const { return win::test::WindowImage(window->native->hwnd); }
  static void look(const char* laf) {
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), laf);
    _vlafRebuildCurrent();
  }
};

TEST_F(LookPixels, ArrowsDiamondsAndCheckFramesPlaceTheirColours) {
  // dx = -8 points right: the apex at (20, 12), the base at x 12 from y 8 to 16.
  paint([] { vlafDrawHorizArrow(20, 12, -8, 4, nullptr, nullptr, rgb(kBlack)); });
  EXPECT_EQ(px(12, 12), kBlack) << "the base";
  EXPECT_EQ(px(12, 16), kBlack);
  EXPECT_EQ(px(11, 12), kWhite) << "nothing behind the base";
  EXPECT_EQ(px(21, 12), kWhite) << "nothing beyond the apex";
  EXPECT_EQ(px(16, 17), kWhite) << "the sides close in towards the apex";
  // The dark polygon's inner edge lies one unit right of the base: the
  // filled arrow's inside starts at x 13.
  paint([] { vlafDrawHorizArrow(20, 12, -8, 4, rgb(kGreen), nullptr, rgb(kBlack)); });
  EXPECT_EQ(px(12, 12), kBlack);
  EXPECT_EQ(px(14, 12), kGreen);

  // The diamond in (4, 4, 9, 9), light over the upper band and dark under
  // the lower (bands one unit wide, so their pixels alternate along the
  // edges), and the check frame of (20, 4, 10, 10): inset by 1, light on the
  // left and top, dark on the right and bottom, the fill inset by the line
  // width + 1 more.
  paint([] {
    vrect diamond{4, 4, 9, 9}, check{20, 4, 10, 10};
    vlafDrawDiamond(&diamond, rgb(kGreen), rgb(kRed), rgb(kBlue));
    vlafDrawCheckFrame(&check, rgb(kGreen), rgb(kRed), rgb(kBlue));
  });
  struct Spot {
    int x, y;
    std::uint32_t colour;
    const char* what;
  } spots[] = {
      {7, 11, kRed, "diamond top corner"},   {4, 8, kRed, "diamond left corner"},
      {4, 7, kBlue, "just under it"},        {7, 4, kBlue, "diamond bottom corner"},
      {7, 8, kGreen, "diamond centre"},      {4, 4, kWhite, "outside the corners"},
      {10, 11, kWhite, "outside the corners"}, {20, 9, kWhite, "the check's outer ring"},
      {21, 9, kRed, "left edge"},            {25, 12, kRed, "top edge"},
      {28, 9, kBlue, "right edge"},          {25, 5, kBlue, "bottom edge"},
      {22, 9, kWhite, "between frame and fill"}, {25, 9, kGreen, "the check's fill"},
  };
  for (const Spot& spot : spots) EXPECT_EQ(px(spot.x, spot.y), spot.colour) << spot.what;
}

TEST_F(LookPixels, TheStippleClipsToEveryOtherPixel) {
  // Through the pattern clip a fill sets every other pixel, in a checkerboard.
  paint([] {
    vrect r{2, 2, 12, 12};
    vlafClipPatternRect(&r);
    vdrawRectFill(2, 2, 12, 12);
  });
  int set = 0;
  for (int y = 2; y < 14; ++y)
    for (int x = 2; x < 14; ++x) {
      set += px(x, y) == kBlack;
      if (x > 2) {
        EXPECT_NE(px(x, y), px(x - 1, y)) << x << "," << y;
      }
      if (y > 2) {
        EXPECT_NE(px(x, y), px(x, y - 1)) << x << "," << y;
      }
    }
  EXPECT_EQ(set, 72);
  EXPECT_EQ(px(1, 5), kWhite);
  EXPECT_EQ(px(14, 5), kWhite) << "the clip keeps to the rectangle";

}

// A trough's pattern drawn as one mask image sets the pixels a fill
// through the pattern's clip sets, in every look (the looks without the
// pattern fill the rect), for even and odd rects
// (the pattern's phase starts at the rect), under damage of one, two and
// three rects, part outside the rect or missing it.
TEST_F(LookPixels, ThePatternDrawnDirectlyMatchesTheFillThroughItsClip) {
  const vrect rects[] = {{2, 2, 30, 16}, {3, 1, 17, 21}, {5, 4, 9, 3}};
  const std::vector<std::vector<vrect>> damages = {
      {},
      {{0, 0, W, H}},
      {{6, 0, 5, H}},
      {{0, 3, 12, 6}, {14, 9, 20, 11}},
      {{1, 1, 4, 4}, {8, 12, 3, 9}, {20, 5, 19, 2}},
      {{35, 20, 5, 4}},
  };
  auto draw = [&](const vrect& r, const std::vector<vrect>& damage, bool direct) {
    paint([&] {
      if (!damage.empty()) vdrawClipRects(damage.data(), int(damage.size()));
      vdrawSetColor(rgb(kRed));
      if (direct) {
        vlafFillPatternInside(&r);
      } else {
        vlafClipPatternInside(&r);
        vdrawFillRects(&r, 1);
      }
    });
    return shot();
  };
  for (const char* laf : {"windows", "win95", "motif", "cua", "openlook"}) {
    look(laf);
    bool patterned = std::string(laf).rfind("win", 0) == 0;
    for (const vrect& r : rects)
      for (std::size_t d = 0; d < damages.size(); ++d) {
        win::test::Image general = draw(r, damages[d], false), direct = draw(r, damages[d], true);
        ASSERT_EQ(general.px.size(), direct.px.size());
        int drawn = 0, differ = 0;
        for (std::size_t i = 0; i < general.px.size(); ++i) {
          drawn += (general.px[i] & 0xFFFFFF) != kWhite;
          differ += general.px[i] != direct.px[i];
        }
        EXPECT_EQ(differ, 0) << laf << " rect " << r.x << "," << r.y << " " << r.width << "x" << r.height << " damage "
                             << d;
        if (patterned && d < 2) {
          EXPECT_NEAR(drawn, r.width * r.height / 2.0, 0.5) << laf << " half the rect's pixels";
        }
        if (!patterned && d < 2) {
          EXPECT_EQ(drawn, r.width * r.height) << laf << " fills the rect";
        }
      }
  }
}

// The CUA look underlines its mnemonics one pixel lower.
TEST_F(LookPixels, MnemonicUnderlinesSitOneLowerInCua) {
  auto underlineRow = [&] {
    paint([] {
      vdrawSetFont(vapplicationGetFont(vapplicationGetCurrent()));
      vdrawPathMoveTo(4, 10);
      vlafDrawMnemonic("ab", 'b');
    });
    int lowest = -1;
    for (int y = H - 1; y >= 0; --y)
      for (int x = 0; x < W; ++x)
        if (px(x, y) == kBlack) lowest = y;
    return lowest;
  };
  int windows = underlineRow();
  ASSERT_GE(windows, 0) << "an underline is drawn";
  look("cua");
  EXPECT_EQ(underlineRow(), windows - 1);
  // A character the label lacks draws nothing.
  paint([] { vlafDrawMnemonic("ab", 'z'); });
  win::test::Image blank = shot();
  for (std::uint32_t p : blank.px) ASSERT_EQ(p & 0xFFFFFF, kWhite);
}

}  // namespace
