// The look's key names, key drawers and drawing operations, checked at the
// primitive table (what is shown, which images are drawn) and at a
// recording driver (polygons, strokes, clips).
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include <string>
#include <vector>

#include "fw/gui/graphics/draw.h"
#include "fw/widgets/look/laf.h"
#include "tests/fw/widgets/look_support.h"
#include "tests/support/recording_driver.h"

namespace {

using Log = std::vector<std::string>;
int window;

// The primitive table of kind 0 with Show and ImageMask written down first.
Log shown;
vdrawPrimitiveTable recording;
const vdrawPrimitiveTable* builtin;

std::string imageName(vimage* image) {
  for (int i = 0; i < vlafIMAGES; ++i)
    if (vlafGetImage(i) == image) return "image " + std::to_string(i);
  return "image ?";
}

class LookDraw : public ::testing::Test {
 public:
  vfont font{};
  void SetUp() override {
    builtin = vdrawGetBuiltinPrimitives(0, 1);
    recording = *builtin;
    recording.Show = [](const char* chars, int n) {
      shown.push_back(std::string(chars, std::size_t(n)));
      builtin->Show(chars, n);
    };
    recording.ImageMask = [](vimage* image) {
      shown.push_back(imageName(image));
      builtin->ImageMask(image);
    };
    font.matrix = &vmatrixIdentity;
  }
  void TearDown() override { _vdrawShutdown(); }
  // The context's look built (its start-up starts the window system and
  // with it the font device), then a fresh drawing state bound to the
  // recorder, with the six-wide font.
  void bind(const vdrawPrimitiveTable* table) {
    vlafGetCurrent();
    vfontSetDriver(&kSixWide);
    _vdrawShutdown();
    recordingDriver().reset();
    _vdrawBindDevice(vdrawBIND_WINDOW, &window, table, &vdrawDefaultDeviceTable, &recordingDriver().record);
    vdrawSetFont(&font);
    vdrawRegisterImageDriver(&recordingDriver().record, 0);
    vdrawInitDeviceClip();
    vdrawSyncState(0xFFFF);
    recordingDriver().take();
    shown.clear();
  }
  static Log take() {
    Log out;
    for (const std::string& s : recordingDriver().take())
      if (s.rfind("sync", 0) != 0 && s.rfind("setClipRects", 0) != 0) out.push_back(s);
    return out;
  }
  static Log takeShown() { return std::exchange(shown, {}); }
  static std::vector<std::pair<int, int>> points() {
    std::vector<std::pair<int, int>> out;
    for (const vpoint& p : recordingDriver().points) out.emplace_back(p.x, p.y);
    return out;
  }
};

std::uint32_t key(std::uint32_t symbol, std::uint32_t modifiers) { return symbol << 16 | modifiers; }

std::string nameOf(std::uint32_t code) {
  vstr* n = vlafKeyName(code);
  std::string out = n;
  vstrDestroy(n);
  return out;
}

// ---- Key names.
TEST_F(LookDraw, KeyNamesCoverTheWholeTable) {
  FreshContext context;
  struct Row {
    std::uint32_t first;
    std::vector<std::string> names;  // one a symbol from first on
  };
  std::vector<Row> rows = {
      {0xFC08, {"Backspace", "Tab", "LineFeed", "Clear"}},
      {0xFC0D, {"Return"}},
      {0xFC13, {"Pause", "ScrollLock", "SysRq"}},
      {0xFC1B, {"Escape"}},
      {0xFC50, {"Home", "Left", "Up", "Right", "Down", "Prior", "Next", "End", "Begin"}},
      {0xFC60, {"Select", "Print", "Execute", "Insert"}},
      {0xFC65, {"Undo", "Redo", "Menu", "Find", "Cancel", "Help", "Break"}},
      {0xFC7E, {"ModeSwitch", "NumLock"}},
      {0xFC8D, {"Enter"}},
      {0xFC91, {"KeypadF1", "KeypadF2", "KeypadF3", "KeypadF4"}},
      {0xFCAA, {"*", "+", ",", "-", ".", "/", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
      {0xFCE1, {"Shift", "Shift", "Ctrl", "Ctrl", "CapsLock", "ShiftLock", "Cmd", "Cmd", "Alt", "Alt", "Cmd", "Cmd"}},
      {0xFCF0, {"Windows", "Windows"}},
      {0xFCFF, {"Del"}},
      {0xF901, {"Cut", "Copy", "Paste", "Front", "Open", "Properties"}},
      {0xFA41, {"PgUp", "PgDn"}},
      // Characters: upper-cased, with the space class and the rest.
      {0x20, {"Space", "!"}},
      {0x09, {"Space", "Space", "Space", "Space", "Space"}},
      {0x00, {"Unknown", "Unknown"}},
      {0x61, {"A", "B"}},
      {0x7F, {"Unknown"}},
      {0x9A, {"\x8a", "\x9b", "\x8c"}},
      {0xB2, {"\xb2", "\xb3"}},
      {0xE9, {"\xc9"}},
      {0xF7, {"\xf7"}},
      {0xFF, {"\x9f", "Unknown"}},  // 0x100 is above the characters: character 0
      {0xFC15, {"SysRq"}},
      {0x1FF, {"Unknown"}},
      {0xFCB7, {"7"}},
  };
  for (int n = 1; n <= 35; ++n) rows.push_back({std::uint32_t(0xFCBE + n - 1), {"F" + std::to_string(n)}});
  for (const Row& row : rows)
    for (std::size_t i = 0; i < row.names.size(); ++i)
      EXPECT_EQ(nameOf(key(row.first + std::uint32_t(i), 0)), row.names[i]) << std::hex << row.first + i;
  EXPECT_EQ(nameOf(key('a', 6)), "Ctrl+Shift+A");
  EXPECT_EQ(nameOf(key('a', 15)), "Ctrl+Cmd+Alt+Shift+A");
  EXPECT_EQ(nameOf(key(0xFCC9, 8)), "Cmd+F12");
}

TEST_F(LookDraw, TheCommandKeyStandsForCmd) {
  FreshContext context({{"commandkey", "control"}});
  bind(&recording);
  EXPECT_EQ(nameOf(key(0xFCC9, 8)), "Ctrl+F12");
  vlafDrawKeyText(int(key(0xFCC9, 8 | 4)));
  EXPECT_EQ(takeShown(), (Log{"Ctrl+", "Shift+", "F12"})) << "no Cmd+ when the command key lacks 8";
}

TEST_F(LookDraw, TheTextDrawerShowsEachPartInItsOrder) {
  FreshContext context({{"laf", "win95"}});
  bind(&recording);  // building the look sets the key drawer
  struct Case {
    std::uint32_t code;
    Log shown;
  } cases[] = {
      {key('a', 6), {"Ctrl+", "Shift+", "A"}},
      {key(0xFCC9, 15), {"Cmd+", "Ctrl+", "Shift+", "Alt+", "F12"}},
      {key(0x09, 0), {"Space"}},
      {key(0xFA41, 1), {"Alt+", "PgUp"}},
  };
  for (const Case& c : cases) {
    vdrawPathMoveTo(10, 10);
    vdrawKey(int(c.code));
    EXPECT_EQ(takeShown(), c.shown) << std::hex << c.code;
  }
  int x, y;
  vdrawPathMoveTo(10, 10);
  vdrawKey(int(key('q', 2)));
  vdrawGetCurrentPointRounded(&x, &y);
  EXPECT_EQ(x, 10 + 6 * 6) << "the text advances the point";
}

TEST_F(LookDraw, TheGlyphDrawerDrawsTheIsoSymbols) {
  FreshContext context({{"laf", "openlook"}});
  bind(&recording);
  struct Case {
    std::uint32_t code;
    Log shown;
  } cases[] = {
      {key('a', 7), {"image 4", "image 12", "image 0", "A"}},
      {key(0xFC0D, 8), {"image 3", "image 10"}},
      {key(0xFCE4, 0), {"image 4"}},
      {key(0xFCBE, 0), {"F1"}},
      {key(0xFC57, 0), {"End"}},
      {key(0x20, 0), {"image 13"}},
      {key(0x01, 0), {"image 15"}},
      {key(0xFC15, 0), {"image 15"}},
      {key(0xFCB7, 0), {"image 15"}},
  };
  for (const Case& c : cases) {
    vdrawPathMoveTo(10, 10);
    vdrawKey(int(c.code));
    EXPECT_EQ(takeShown(), c.shown) << std::hex << c.code;
  }
  vdrawPathMoveTo(10, 10);
  vlafDrawKeyGlyphs(int(key(0xFC08, 4)));
  int x, y;
  vdrawGetCurrentPointRounded(&x, &y);
  EXPECT_EQ(x, 10 + vlafGetImage(12)->width + 1 + vlafGetImage(1)->width + 1) << "each image then width + 1";
}

// ---- Drawing operations.
TEST_F(LookDraw, ArrowsDiamondsAndCheckFrames) {
  FreshContext context({{"laf", "motif"}});
  bind(nullptr);
  vcolor *fill = vcolorGetWhite(), *light = vcolorGetWhite(), *dark = vcolorGetBlack();
  vdrawSetLineWidth(1);
  // Pointing right: lw negated, h = 0; the dark polygon's inner vertices one right of the base at x 12.
  vlafDrawHorizArrow(20, 20, -8, 4, nullptr, nullptr, dark);
  EXPECT_EQ(take(), Log{"fillPolygon#1 6"});
  EXPECT_EQ(points(), (std::vector<std::pair<int, int>>{{20, 20}, {12, 16}, {12, 24}, {13, 25}, {13, 15}, {18, 20}}));
  vlafDrawHorizArrow(20, 20, 8, 4, fill, light, dark);
  EXPECT_EQ(take(), (Log{"fillPolygon#1 3", "fillPolygon#1 4", "fillPolygon#1 6"})) << "fill, light, dark";
  EXPECT_EQ(points(), (std::vector<std::pair<int, int>>{{20, 20}, {28, 16}, {28, 24}, {27, 23}, {27, 17}, {22, 20}}));
  vlafDrawVertArrow(20, 20, 8, 4, fill, nullptr, nullptr);
  EXPECT_EQ(take(), Log{"fillPolygon#1 3"});
  EXPECT_EQ(points(), (std::vector<std::pair<int, int>>{{20, 22}, {23, 28}, {17, 27}}));
  EXPECT_EQ(vdrawGetState()->color, vcolorGetBlack()) << "the colour set back";

  vrect box = {10, 10, 9, 9};
  vlafDrawDiamond(&box, fill, light, dark);
  EXPECT_EQ(take(), (Log{"fillPolygon#1 6", "fillPolygon#1 6", "fillPolygon#1 4"}));
  EXPECT_EQ(points(), (std::vector<std::pair<int, int>>{{12, 14}, {14, 16}, {16, 14}, {14, 12}})) << "the fill";
  vlafDrawCheckFrame(&box, fill, light, dark);
  Log frame = take();
  ASSERT_FALSE(frame.empty());
  EXPECT_EQ(frame.back(), "fillRects#1 (13,13,3,3)") << "inset by 1, then by lw + 1";
}

TEST_F(LookDraw, MnemonicsUnderlineOneCharacterLowerInCUA) {
  for (const char* laf : {"motif", "cua"}) {
    FreshContext context({{"laf", laf}});
    bind(nullptr);
    vdrawSetLineWidth(3);
    vdrawPathMoveTo(10, 20);
    vlafDrawMnemonic("Save", 'v');
    EXPECT_EQ(take(), Log{"strokePolyline#1 2"}) << laf;
    int y = std::string(laf) == "cua" ? 18 : 19;
    EXPECT_EQ(points(), (std::vector<std::pair<int, int>>{{22, y}, {28, y}})) << laf;
    EXPECT_EQ(vdrawGetState()->lineWidth, 3.0f) << "the line width set back";
    vlafDrawMnemonic("Save", 'x');
    EXPECT_EQ(take(), Log{}) << "a character the label lacks";
  }
}

TEST_F(LookDraw, InactiveLabelsPerLook) {
  vcolorScheme colors{};
  colors.entries[vcolorFOREGROUND + 1] = vcolorGetBlack();
  colors.entries[vcolorBACKGROUND] = vcolorGetWhite();
  colors.entries[vcolorSHADOW_TOP] = vcolorGetWhite();
  colors.entries[vcolorSHADOW_BOTTOM] = vcolorGetBlack();
  vrect r = {0, 0, 60, 20};
  {
    FreshContext context({{"laf", "windows"}});
    bind(&recording);
    vlafDrawInactiveLabel("Off", 0, &r, 0, &colors);
    Log log = take();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front().rfind("clipToMask", 0), 0u) << "disabled black: stippled";
    EXPECT_EQ(takeShown(), Log{"Off"});
  }
  {
    FreshContext context({{"laf", "win95"}});
    bind(&recording);
    vdrawSetColor(vcolorGetBlack());
    vlafDrawInactiveLabel("Off", 0, &r, 0, &colors);
    EXPECT_EQ(takeShown(), (Log{"Off", "Off"})) << "embossed: twice";
    EXPECT_EQ(vdrawGetState()->color, vcolorGetBlack());
  }
  {
    FreshContext context({{"laf", "motif"}});
    bind(&recording);
    vlafDrawInactiveLabel("Off", 0, &r, 0, &colors);
    EXPECT_EQ(takeShown(), Log{"Off"});
    Log log = take();
    for (const std::string& s : log) EXPECT_EQ(s.rfind("clipToMask", 0), std::string::npos) << s;
  }
}

TEST_F(LookDraw, ThePatternClipGrowsOnlyWhenSmaller) {
  FreshContext context({{"laf", "win95"}});
  bind(nullptr);
  vimage* pattern = vlafGetImage(58);
  ASSERT_EQ(pattern->width, 100) << "the Windows looks start at 100 x 40";
  EXPECT_EQ(pattern->height, 40);
  vrect small = {5, 5, 13, 9};
  vlafClipPatternRect(&small);
  EXPECT_EQ(pattern->width, 100);
  vrect wide = {5, 5, 101, 9};
  vlafDrawPatternRect(&wide);
  EXPECT_EQ(pattern->width, 102) << "odd sides rounded up";
  EXPECT_EQ(pattern->height, 40) << "the other side kept";
  vpixmapCursor c;
  vpixmapInitCursor(&c, pattern);
  EXPECT_NE(vpixmapCursorGetAt(&c, 101, 39), vpixmapCursorGetAt(&c, 100, 39)) << "still a checkerboard";
  EXPECT_NE(vpixmapCursorGetAt(&c, 101, 39), vpixmapCursorGetAt(&c, 101, 38));
  vpixmapFinishCursor(&c);
  Log log = take();
  ASSERT_FALSE(log.empty());
}

TEST_F(LookDraw, FocusFramesRaiseTheFocusModeOnlyDuringTheCall) {
  static std::vector<int> modes;
  static vdrawDriverRecord record = recordingDriver().record;
  record.frameRects = [](void*, const vrect*, int) { modes.push_back(vlafInFocusMode()); };
  for (const char* laf : {"windows", "win95", "motif"}) {
    FreshContext context({{"laf", laf}});
    _vdrawBindDevice(vdrawBIND_WINDOW, &window, nullptr, &vdrawDefaultDeviceTable, &record);
    modes.clear();
    vrect r = {1, 1, 10, 10};
    vlafDrawFocusRect(&r);
    EXPECT_EQ(modes, std::vector<int>{std::string(laf) != "motif"}) << laf;
    EXPECT_EQ(vlafInFocusMode(), 0);
  }
}

TEST_F(LookDraw, DialogUnits) {
  FreshContext context;
  bind(nullptr);
  vfontDriver sevenWide = kSixWide;
  sevenWide.ascent = [](vfont*) -> vfixed { return 10 * 65536; };
  sevenWide.descent = [](vfont*) -> vfixed { return 3 * 65536; };
  sevenWide.advance = [](vfont*, const char*, int n, vfixed* dx, vfixed* dy) { *dx = n * 7 * 65536, *dy = 0; };
  vfontSetDriver(&sevenWide);
  EXPECT_EQ(vlafDialogUnitsToWidth(&font, 4), 7) << "52 letters of 364: average 7";
  EXPECT_EQ(vlafDialogUnitsToWidth(&font, 50), 88);
  EXPECT_EQ(vlafDialogUnitsToWidth(&font, 8), 14);
  EXPECT_EQ(vlafDialogUnitsToHeight(&font, 14), 23) << "height 13";
  EXPECT_EQ(vlafDialogUnitsToHeight(&font, 8), 13);
}

TEST_F(LookDraw, OblongButtonsReuseTheirRendering) {
  FreshContext context({{"laf", "openlook3d"}});
  bind(nullptr);
  vcolor *white = vcolorGetWhite(), *black = vcolorGetBlack();
  vrect r = {10, 10, 60, 20};
  int before = _vlafOblongRenderCount();
  vlafDrawOblongButton(&r, 1, white, black, white, black);
  Log first = take();
  EXPECT_EQ(_vlafOblongRenderCount(), before + 1);
  vlafDrawOblongButton(&r, 1, black, white, white, white);
  EXPECT_EQ(_vlafOblongRenderCount(), before + 1) << "only light and dark differ";
  Log reused = take();
  EXPECT_LT(reused.size(), first.size());
  EXPECT_EQ(reused.back().rfind("drawImage", 0), 0u) << "the kept image drawn through its mask";
  vlafDrawOblongButton(&r, 0, white, black, white, black);
  EXPECT_EQ(_vlafOblongRenderCount(), before + 2) << "flag 1 is in the key";
  vlafDrawOblongButton(&r, 0, white, black, black, black);
  EXPECT_EQ(_vlafOblongRenderCount(), before + 3) << "so is the fill";
  take();
  // Glyph masks drawn into the display image: the first target opened.
  auto masks = [](const Log& log) {
    auto open = std::find_if(log.begin(), log.end(), [](const std::string& s) { return s.rfind("open", 0) == 0; });
    auto close = std::find_if(open, log.end(), [](const std::string& s) { return s.rfind("close", 0) == 0; });
    return std::count_if(open, close, [](const std::string& s) { return s.rfind("drawMask", 0) == 0; });
  };
  vrect tall = {10, 10, 60, 30};
  vlafDrawOblongButton(&tall, 0, white, black, white, black);
  Log taller = take();
  vlafDrawOblongButton(&r, 8, white, black, white, black);
  Log plain = take();
  EXPECT_EQ(masks(plain), 9);
  EXPECT_EQ(masks(taller), 10) << "glyph 24 repeated at extra";
  EXPECT_TRUE(std::any_of(taller.begin(), taller.end(),
                          [](const std::string& s) { return s.find("fillRects#") == 0 && s.find(" (1,10,9,10)") != s.npos; }))
      << "the sides filled";

}


// Before the look exists the glyph hook builds it; glyphs and images are
// drawn as masks at the current point, and what is missing draws nothing.
TEST_F(LookDraw, GlyphsAndImagesDrawAsMasks) {
  FreshContext context({{"laf", "openlook"}});
  _vdrawBindDevice(vdrawBIND_WINDOW, &window, &recording, &vdrawDefaultDeviceTable, &recordingDriver().record);
  vdrawPathMoveTo(3, 4);
  vlafDrawGlyph(24, 20);  // the first call of the context: builds the look
  EXPECT_EQ(takeShown(), Log{"image ?"}) << "a glyph mask, not a numbered image";
  vfontSetDriver(&kSixWide);
  vlafDrawImage(12);
  EXPECT_EQ(takeShown(), Log{"image 12"});
  vlafDrawImage(8);
  EXPECT_EQ(takeShown(), Log{"image 8"}) << "the unused ISO index is an empty 1 x 1 mask";
  EXPECT_EQ(vlafGetImage(8)->width, 1);
}


// Where a font "open look glyph" of 12 points exists, glyphs are its
// characters, shown with that font above the point by the height; the
// font registration and lookups stay with the process, so the check runs
// in a child process of its own.
TEST_F(LookDraw, TheGlyphFontServesWhereItExists) {
  auto child = [this] {
    int device = vfontAllocDevice();
    vfontFamily* family = vfontRegisterFamily(vnameInternLiteral("open look glyph"), vnameInternLiteral("test"),
                                              vnameInternLiteral("glyphs"), 0, device);
    vfontRegisterFaceSize(vfontRegisterFace(family, vnameInternLiteral("medium"), device), 12);
    FreshContext context({{"laf", "openlook"}});
    bind(&recording);
    vdrawPathMoveTo(5, 5);
    vlafDrawGlyph(0x2d, 7);
    double x, y;
    vdrawGetCurrentPoint(&x, &y);
    return takeShown() == Log{"-"} && vdrawGetState()->matrix->font == &font && y == 12.0 &&
           vlafGetGlyphMask(0x2d) == nullptr;
  };
  // A child that starts afresh: no font looked up before the registration.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(child() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

}  // namespace
