#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/scribe.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/graphics/image.h"
#include "tests/fw/gui/raises.h"
#include "tests/support/recording_driver.h"

namespace {

using Log = std::vector<std::string>;

int window = 0;

const vfontDriver sixWide = {
    nullptr,
    [](vfont*, vfixed* w, vfixed* s) { *w = 6 * 65536, *s = 0; },
    [](vfont*, vrectFixed* r) { *r = {0, -2 * 65536, 6 * 65536, 10 * 65536}; },
    [](vfont*) -> vfixed { return 8 * 65536; },
    [](vfont*) -> vfixed { return 2 * 65536; },
    [](vfont*, const char*, int n, vfixed* dx, vfixed* dy) { *dx = n * 6 * 65536, *dy = 0; },
    [](vfont*, const char*, int n, vrectFixed* r) { *r = {0, -2 * 65536, n * 6 * 65536, 10 * 65536}; },
};

vcolor* rgb(unsigned r, unsigned g, unsigned b) {
  vcolorSpec desc;
  vcolorInitSpec(&desc);
  vcolorSetSpecRGB(&desc, r, g, b);
  return vcolorInternSpec(&desc);
}

class DrawOps : public ::testing::Test {
 public:
  vfont font{};
  void SetUp() override {
    _vdrawShutdown();
    recordingDriver().reset();
    _vdrawBindDevice(vdrawBIND_WINDOW, &window, nullptr, &vdrawDefaultDeviceTable, &recordingDriver().record);
    vdrawRegisterImageDriver(&recordingDriver().record, 0);
    vdrawInitDeviceClip();
    font.matrix = &vmatrixIdentity;
    vfontSetDriver(&sixWide);
    vdrawSetFont(&font);
    vdrawSyncState(0xFFFF);
    recordingDriver().take();
  }
  void TearDown() override { _vdrawShutdown(); }
  // What reaches the driver, without syncing and the clip that follows state changes.
  static Log take() {
    Log out;
    for (const std::string& s : recordingDriver().take())
      if (s.rfind("sync", 0) != 0) out.push_back(s);
    return out;
  }
};

TEST_F(DrawOps, FramesStayInsideTheirRectangles) {
  struct Case {
    const char* what;
    double width;
    int adjust;
    vmatrix m;
    vrect in;
    const char* framed;
  };
  const Case cases[] = {
      {"width 1", 1, 0, {1, 0, 0, 1, 0, 0}, {10, 10, 20, 8}, "frameRects#1 (11,11,18,6)"},
      {"one pixel wide: a zero-width outline", 1, 0, {1, 0, 0, 1, 0, 0}, {10, 10, 1, 8},
       "frameRects#1 (11,11,0,6)"},
      {"width 3 without stroke adjust rounds up to 4", 3, 0, {1, 0, 0, 1, 0, 0}, {10, 10, 20, 8},
       "frameRects#1 (12,12,16,4)"},
      {"width 3 with stroke adjust", 3, 32, {1, 0, 0, 1, 0, 0}, {10, 10, 20, 8}, "frameRects#1 (11,11,17,5)"},
      {"mirrored y takes the larger part", 3, 32, {1, 0, 0, -1, 0, 100}, {10, 10, 20, 8},
       "frameRects#1 (11,83,17,5)"},
  };
  for (const Case& c : cases) {
    vdrawSetMatrix(&c.m);
    vdrawSetLineWidth(c.width);
    vdrawSetStrokeAdjust(c.adjust);
    vdrawRectsFrame(&c.in, 1);
    EXPECT_EQ(take(), Log{c.framed}) << c.what;
  }
}

TEST_F(DrawOps, ShadedFramesPaintTwoBandsWithMitredCorners) {
  vcolor *a = rgb(65535, 65535, 65535), *b = rgb(0, 0, 0), *fill = rgb(30000, 30000, 30000);
  vcolor* entry = vdrawGetState()->color;
  vdrawSetLineWidth(3);
  vdrawSetStrokeAdjust(32);
  vrect r = {10, 10, 20, 20};
  vdrawRectsFrameShaded(&r, 1, nullptr, a, b);
  EXPECT_EQ(take(), (Log{"fillRects#1 (10,10,20,3) (27,13,3,17)",
                         "fillRects#1 (10,27,18,3) (10,12,3,18) (28,28,1,2) (10,11,2,1) (29,29,1,1) (10,10,1,1)"}))
      << "B first as two bands, then A as two bands and four corner steps";
  EXPECT_EQ(vdrawGetState()->color, entry) << "the entry colour set back";
  vdrawRectsFrameShaded(&r, 1, nullptr, nullptr, b);
  EXPECT_EQ(take(), Log{"fillPolygon#1 6"}) << "B alone as a polygon";
  vdrawScale(2, 2);
  vdrawRectsFrameShaded(&r, 1, nullptr, a, nullptr);
  EXPECT_EQ(take(), Log{"fillPolygon#1 6"}) << "scaled: A as a polygon";
  vmatrix identity = vmatrixIdentity;
  vdrawSetMatrix(&identity);
  vrect away = {200, 200, 20, 20};
  vdrawRectsFrameShaded(&away, 1, fill, a, b);
  EXPECT_EQ(take(), Log{"fillRects#1 (200,200,20,20)"}) << "outside the device clip: only the fill";
  vrect around = {-10, -10, 120, 120}, across = {50, 50, 100, 100};
  vdrawRectsFrameShaded(&around, 1, nullptr, a, b);
  EXPECT_EQ(take(), Log{}) << "the device lies inside the ring's hole";
  vdrawRectsFrameShaded(&across, 1, nullptr, a, b);
  EXPECT_EQ(take().size(), 2u) << "partly on the device";
  vdrawRectsFrameShadedWide(&r, 1, a, b);
  EXPECT_EQ(take().size(), 4u) << "an outer ring, then an inner one with the colours swapped";
  EXPECT_EQ(vdrawGetState()->lineWidth, 3.0f);
  vcolorRelease(a), vcolorRelease(b), vcolorRelease(fill);
}

TEST_F(DrawOps, TextIsPlacedInItsRectangle) {
  vrect room = {0, 0, 40, 30}, narrow = {5, 5, 8, 30};
  vdrawCharsAt("ab", 2, &room, 0);
  EXPECT_EQ(take(), Log{"showChars#1 ab at 0,2"}) << "baseline at y + descent";
  vdrawCharsAt("ab", 2, &room, 3);
  EXPECT_EQ(take(), Log{"showChars#1 ab at 14,12"}) << "centred both ways";
  vdrawCharsAt("ab", 2, &narrow, 1);
  EXPECT_EQ(take(), (Log{"setClipRects#1 (5,5,8,30)", "showChars#1 ab at 5,7"}))
      << "clipped only when it does not fit";
  vdrawPathMoveTo(10, 20);
  vdrawUnderlineChars("ab", 2, 0);
  EXPECT_EQ(take(), (Log{"setClipRects#1 (0,0,100,100)", "strokePolyline#1 2"})) << "the clip restored first";
  EXPECT_EQ(recordingDriver().points[0].y, 19);
  EXPECT_EQ(recordingDriver().points[1].x, 22);
  EXPECT_EQ(vdrawGetState()->path->x, 22 * vfixedONE) << "past the text, left undrawn";
  vdrawPathMoveTo(10, 20);
  vdrawUnderlineChars("a", 1, 1);
  EXPECT_EQ(take(), (Log{"strokePolyline#1 2", "showChars#1 a at 10,20"}));
  vdrawNewPath();
  EXPECT_EQ(raised([] { vdrawUnderlineChars("a", 1, 0); }), &vdrawNoCurrentPointClass);
}

TEST_F(DrawOps, ImagesGoThroughTheirMasks) {
  vimage* image = vimageCreateSized(4, 4, 16);
  vimage* mask = vimageCreateSized(4, 4, 2);
  vimage* deep = vimageCreateSized(4, 4, 4);
  vdrawPathMoveTo(10, 20);
  vdrawImage(image);
  EXPECT_EQ(take(), Log{"drawImage#1 -655360,-1310720"});
  image->mask = mask;
  vdrawImage(image);
  EXPECT_EQ(take(), (Log{"clipToMask#1 10,20", "drawImage#1 -655360,-1310720"}));
  EXPECT_EQ(vdrawGetState()->path->x, 10 * vfixedONE) << "the state as it was";
  image->mask = deep;
  std::string message;
  EXPECT_EQ(raised([&] { vdrawImage(image); }, &message), &vexModuleUnimplementedClass);
  EXPECT_EQ(message, "unable to render deep transparency");
  image->mask = nullptr;
  vmatrix placed = {1, 0, 0, 1, -5, 0};
  vdrawImageTransformed(image, &placed);
  EXPECT_EQ(take(), (Log{"setClipRects#1 (0,0,100,100)", "drawImage#1 -327680,0"}));
  vimageDestroy(image), vimageDestroy(mask), vimageDestroy(deep);
}

TEST_F(DrawOps, ScribesAreShownWhateverTheirForm) {
  vrect room = {0, 0, 40, 30};
  vdrawScribeAt(vscribeLiteral("ab"), &room, 3);
  EXPECT_EQ(take(), Log{"showChars#1 ab at 14,12"});
  vdrawPathMoveTo(0, 50);
  vdrawShowScribe(vscribeConcat(vscribeLiteral("a"), vscribeRepeatChar('b', 2), nullptr));
  EXPECT_EQ(take(), Log{"showChars#1 abb at 0,50"});
  vdrawShowScribe(vscribeRepeatChar('x', 300));
  Log log = take();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "showChars#1 " + std::string(300, 'x') + " at 18,50") << "past the local buffer";
}

TEST_F(DrawOps, TheClipBecomesThePath) {
  vdrawRectClip(10, 10, 20, 20);
  vdrawClipPath();
  vdrawStroke();
  EXPECT_EQ(take(), (Log{"setClipRects#1 (10,10,20,20)", "frameRects#1 (10,10,20,20)"}));
  vdrawDeviceClipPath();
  vdrawFill(0);
  EXPECT_EQ(take(), Log{"fillRects#1 (0,0,100,100)"});
}

std::vector<std::pair<int, int>> tiles;

TEST_F(DrawOps, TilesStartAtTheirPhase) {
  vimage* image = vimageCreateSized(16, 8, 16);
  tiles.clear();
  auto draw = [](vimage*) {
    int x, y;
    vdrawGetCurrentPointRounded(&x, &y);
    tiles.push_back({x, y});
  };
  vdrawPathMoveTo(0, 0);
  vrect r = {-16, 0, 32, 8};
  vdrawImageTile(image, &r, draw);
  const std::vector<std::pair<int, int>> want = {{-16, 0}, {0, 0}, {16, 0}};
  EXPECT_EQ(tiles, want) << "phase 16, not 0, and one more column";
  tiles.clear();
  vdrawPathMoveTo(0, 0);
  vrect s = {4, 3, 20, 10};
  vdrawImageTile(image, &s, draw);
  EXPECT_EQ(tiles.size(), 4u) << "two columns, two rows";
  EXPECT_EQ(tiles[0], (std::pair<int, int>{-4, -3}));
  EXPECT_EQ(tiles[2], (std::pair<int, int>{-4, 5}));
  vrect empty = {0, 0, 0, 5};
  tiles.clear();
  vdrawImageTile(image, &empty, draw);
  EXPECT_TRUE(tiles.empty());
  vimageDestroy(image);
}

std::vector<vmatrix> placements;

TEST_F(DrawOps, ScaledTilesMoveTheirPlacement) {
  vimage* image = vimageCreateSized(16, 8, 16);
  placements.clear();
  vrect source = {0, 0, 32, 8}, destination = {10, 20, 64, 16};
  vdrawImageTileScaled(image, &source, &destination, [](vimage*, const vmatrix* m) { placements.push_back(*m); });
  ASSERT_EQ(placements.size(), 2u) << "two columns, one row";
  EXPECT_FLOAT_EQ(placements[0].a, 0.5f);
  EXPECT_FLOAT_EQ(placements[0].tx, -5);
  EXPECT_FLOAT_EQ(placements[0].ty, -10);
  EXPECT_FLOAT_EQ(placements[1].tx, -21) << "the next tile a tile width on";
  vimageDestroy(image);
}

TEST_F(DrawOps, SmallerOperations) {
  vdrawSetColorRGB(65535, 0, 0);
  vcolor* red = rgb(65535, 0, 0);
  EXPECT_EQ(vdrawGetState()->color->desc.component[0], 65535);
  EXPECT_EQ(vdrawGetState()->color->desc.component[1], 0);
  vcolorRelease(red);
  vrect inside = {90, 90, 20, 20}, outside = {150, 0, 10, 10};
  EXPECT_EQ(vdrawRectIsVisible(&inside), 1);
  EXPECT_EQ(vdrawRectIsVisible(&outside), 0);
  vrectFloat f = {0.5f, -0.5f, 1.0f, 1.0f};
  vrectLong l;
  vrectFloatToLong(&f, &l);
  EXPECT_EQ(l.x, 0);
  EXPECT_EQ(l.y, -1);
  EXPECT_EQ(l.width, 2);
  EXPECT_EQ(l.height, 2);
  static int drawn = 0;
  vdrawKey(5);
  vdrawSetKeyDrawer([](int key) { drawn = key; });
  vdrawKey(7);
  EXPECT_EQ(drawn, 7);
}

}  // namespace
