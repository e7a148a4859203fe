// The palette editor: its colour operations on lists (HLS, ramp, blend,
// lighter and darker at the ends, ranges, free names), then the editor
// loaded from the framework's resources: button states, undo, the
// clipboard, deleting at the end, the swatch grid under injected presses,
// the Palettes menu, saving under a confirmed name, and its picture.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fw/core/fs.h"
#include "fw/core/mem.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/imaging/vpaled.h"
#include "fw/widgets/choosers/notice.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/data/vrstore.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"
#include "tests/support/png_compare.h"

namespace {

using Rgb = std::vector<std::uint32_t>;  // 0xRRGGBB, each byte repeated to 16 bits

vcolorList* listOf(const Rgb& rgb) {
  vcolorList* l = vcolorListCreate();
  vcolorListSetCount(l, std::uint32_t(rgb.size()));
  for (std::size_t i = 0; i < rgb.size(); ++i)
    vcolorSetSpecRGB(&l->entries[i], (rgb[i] >> 16 & 0xFF) * 257, (rgb[i] >> 8 & 0xFF) * 257, (rgb[i] & 0xFF) * 257);
  return l;
}
struct C16 {
  unsigned r, g, b;
  bool operator==(const C16&) const = default;
};
std::ostream& operator<<(std::ostream& o, const C16& c) { return o << "(" << c.r << "," << c.g << "," << c.b << ")"; }
C16 at(const vcolorList* l, int i) {
  C16 c;
  vcolorGetSpecRGB(&l->entries[i], &c.r, &c.g, &c.b);
  return c;
}
void set(vcolorList* l, int i, C16 c) { vcolorSetSpecRGB(&l->entries[i], c.r, c.g, c.b); }

struct Lists : ::testing::Test {
  std::vector<vcolorList*> made;
  // The framework starts as for the editor, whichever runs first.
  void SetUp() override {
    vrstoreInstallInterface();
    startDialogItemTests();
  }
  vcolorList* make(const Rgb& rgb) { return made.emplace_back(listOf(rgb)); }
  void TearDown() override {
    for (vcolorList* l : made) vcolorListDestroy(l);
  }
};

TEST_F(Lists, HlsFollowsTheStandardModelBothWays) {
  struct Row {
    std::uint32_t rgb;
    double hue, lightness, saturation;
  } rows[] = {
      {0xFF0000, 0, 0.5, 1},   {0x00FF00, 120, 0.5, 1},  {0x0000FF, 240, 0.5, 1}, {0xFFFFFF, 0, 1, 0},
      {0x000000, 0, 0, 0},     {0x808080, 0, 128 / 255.0, 0}, {0xFF00FF, 300, 0.5, 1},
      {0x804000, 30, 64 / 255.0, 1},
  };
  for (const Row& row : rows) {
    vcolorList* l = make({row.rgb});
    vpaledOps::HLS h = vpaledOps::toHLS(l->entries[0]);
    EXPECT_NEAR(h.hue, row.hue, 1e-6) << std::hex << row.rgb;
    EXPECT_NEAR(h.lightness, row.lightness, 1e-6) << std::hex << row.rgb;
    EXPECT_NEAR(h.saturation, row.saturation, 1e-6) << std::hex << row.rgb;
    C16 before = at(l, 0);
    vpaledOps::fromHLS(h, &l->entries[0]);
    C16 after = at(l, 0);
    EXPECT_NEAR(double(after.r), double(before.r), 1) << std::hex << row.rgb;
    EXPECT_NEAR(double(after.g), double(before.g), 1) << std::hex << row.rgb;
    EXPECT_NEAR(double(after.b), double(before.b), 1) << std::hex << row.rgb;
  }
}

TEST_F(Lists, RampRunsFromWhiteToBlackThroughTheFirstHue) {
  vcolorList* l = make({0xFF0000, 0x123456, 0x00FF00, 0x0000FF});
  vpaledOps::ramp(l, 0, 2);
  double want[] = {1.0, 0.5, 0.0};
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(vpaledOps::toHLS(l->entries[i]).lightness, want[i], 1e-4) << i;
  EXPECT_EQ(at(l, 0), (C16{65535, 65535, 65535}));
  EXPECT_EQ(at(l, 1), (C16{65535, 0, 0})) << "the middle keeps the first entry's hue";
  EXPECT_EQ(at(l, 2), (C16{0, 0, 0}));
  EXPECT_EQ(at(l, 3), (C16{0, 0, 65535})) << "outside the range";
}

TEST_F(Lists, BlendFillsOnlyTheEntriesStrictlyBetween) {
  vcolorList* l = make({0, 0, 0, 0, 0});
  set(l, 0, {0, 0, 1000});
  set(l, 4, {1000, 65535, 3});
  set(l, 2, {7, 7, 7});
  vpaledOps::blend(l, 0, 4);
  EXPECT_EQ(at(l, 0), (C16{0, 0, 1000}));
  EXPECT_EQ(at(l, 1), (C16{250, 16384, 752})) << "a falling component truncates toward zero";
  EXPECT_EQ(at(l, 2), (C16{500, 32768, 502}));
  EXPECT_EQ(at(l, 3), (C16{750, 49151, 253}));
  EXPECT_EQ(at(l, 4), (C16{1000, 65535, 3}));
  // Two entries have nothing between them.
  vcolorList* two = make({0x000000, 0xFFFFFF});
  vpaledOps::blend(two, 0, 1);
  EXPECT_EQ(at(two, 0), (C16{0, 0, 0}));
}

TEST_F(Lists, LighterAndDarkerStopAtTheEndsWarmerAndCoolerClamp) {
  vcolorList* l = make({0xFFFFFF, 0x000000, 0xFFFF00});
  vpaledOps::lighten(l, 0, 0, 0.05);
  vpaledOps::lighten(l, 1, 1, -0.05);
  EXPECT_EQ(at(l, 0), (C16{65535, 65535, 65535}));
  EXPECT_EQ(at(l, 1), (C16{0, 0, 0}));
  vpaledOps::lighten(l, 1, 1, 0.05);
  EXPECT_EQ(at(l, 1).r, unsigned(0.05 * 65535));
  vpaledOps::warm(l, 2, 2);
  vpaledOps::cool(l, 2, 2);
  EXPECT_EQ(at(l, 2), (C16{65535, 65535, 2621}));
  vpaledOps::complement(l, 2, 2);
  EXPECT_GE(at(l, 2).b, 65534u) << "yellow's complement is blue";
  EXPECT_LE(at(l, 2).r, 2622u);
}

TEST_F(Lists, RangesAreRemovedInsertedAndCopied) {
  vcolorList* l = make({0x000001, 0x000002, 0x000003, 0x000004});
  vcolorList* part = made.emplace_back(vpaledOps::range(l, 1, 2));
  ASSERT_EQ(part->count, 2u);
  EXPECT_EQ(at(part, 0).b, 2u * 257);
  vpaledOps::remove(l, 1, 2);
  ASSERT_EQ(l->count, 2u);
  EXPECT_EQ(at(l, 1).b, 4u * 257);
  EXPECT_TRUE(vpaledOps::insertAfter(l, 0, part));
  ASSERT_EQ(l->count, 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(at(l, i).b, unsigned(i + 1) * 257) << i;
  vcolorList* big = make(Rgb(255, 0));
  EXPECT_FALSE(vpaledOps::insertAfter(big, 0, part)) << "past 256 entries";
  EXPECT_EQ(big->count, 255u);
}

TEST_F(Lists, TheFreeNameIsTheFirstOneNotTaken) {
  struct Row {
    std::set<std::string> taken;
    std::string want;
  } rows[] = {
      {{}, "Palette"},
      {{"Palette2"}, "Palette"},
      {{"Palette", "Palette2"}, "Palette3"},
      {{"Palette", "Palette3"}, "Palette2"},
  };
  for (Row& row : rows) {
    auto taken = [](const char* name, void* data) { return static_cast<std::set<std::string>*>(data)->count(name) > 0; };
    EXPECT_EQ(vpaledOps::freeName(taken, &row.taken), row.want);
  }
}

// ---- The editor.
void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

struct OkCall {
  int calls = 0;
  std::uint32_t count = 0;
} okCall;
void okCalled(vpaled*, vcolorList* colors) { ++okCall.calls, okCall.count = colors->count; }

struct Editor : ::testing::Test {
  vpaled* p = nullptr;
  vcolorList* palette = nullptr;
  vresource savedUser = 0, user = 0;
  void SetUp() override {
    vrstoreInstallInterface();
    startDialogItemTests();
    vdialogStartup();
    // The model's tests shut the drawing module down behind them.
    if (!vdrawGetImageDriver()) vdrawRegisterImageDriver(vwindowMSWGetDriver(), 0);
    win::UseVirtualClock(true);
    win::test::ResetInput();
    okCall = {};
    // Saved palettes go to a store of the test's own.
    vapplication* app = vapplicationGetCurrent();
    savedUser = vapplicationGetResources(app);
    user = vresourceCreateMemory();
    app->resources = user;
    p = vpaledCreate();
    vpaledSetOkCallback(p, okCalled);
  }
  void TearDown() override {
    if (p) vinstanceDestroy(p);
    if (palette) vcolorListDestroy(palette);
    vapplicationGetCurrent()->resources = savedUser;
    vresourceCloseFile(user);
    win::test::ResetInput();
    settle();
    win::UseVirtualClock(false);
  }
  void give(const Rgb& rgb) {
    if (palette) vcolorListDestroy(palette);
    palette = listOf(rgb);
    vpaledSetPalette(p, palette);
  }
  static Rgb ramp(int n) {
    Rgb out;
    for (int i = 0; i < n; ++i) out.push_back(std::uint32_t(i) * 0x010101);
    return out;
  }
  bool enabled(vdialogItem* i) { return vdialogItemIsEnabled(i); }
  std::string sizeText() { return p->sizeValue->title; }
  void open() {
    vwindowOpen(p);
    win::SetActiveWindow(p->native->hwnd);
    settle();
  }
  win::POINT screen(int x, int y) {
    vrect r{std::int16_t(x), std::int16_t(y), 0, 0};
    vdialogItemListTransformRect(p->grid->owner, &r);
    win::POINT pt{r.x, p->rect.height - 1 - r.y};
    win::ClientToScreen(p->native->hwnd, &pt);
    return pt;
  }
  win::POINT swatch(int i) {
    vrect s = _vpaledSwatchRect(p->grid, i);
    return screen(s.x + 8, s.y + 8);
  }
  std::vector<std::string> menuTitles(vmenu* m) {
    std::vector<std::string> out;
    for (int i = 0; m && i < vmenuItemListCount(&m->items); ++i) {
      vmenuItem* item = vmenuItemListAt(&m->items, i);
      out.push_back(vmenuItemIsSeparator(item) ? "-" : item->title);
    }
    return out;
  }
  vmenu* deleteMenu() { return vmenuGetItemSubMenu(vmenuItemListAt(&p->palettesMenu->items, 0)); }
};

TEST_F(Editor, LoadsItsItemsWithRemapOnAndShowsTheCount) {
  for (vdialogItem* i : {p->grid, p->sizeValue, p->sizeStat, p->menubar, p->newBtn, p->deleteBtn, p->pickBtn,
                         p->rampBtn, p->blendBtn, p->contrastBtn, p->lightBtn, p->darkBtn, p->warmBtn, p->coolBtn,
                         p->okBtn, p->cancelBtn, p->remapChk})
    ASSERT_NE(i, nullptr);
  EXPECT_STREQ(p->grid->cls->name, "vpaledSwatchGrid");
  EXPECT_EQ(p->paledFlags, vpaledREMAP);
  EXPECT_EQ(static_cast<vcontrol*>(p->remapChk)->value, 1);
  give(ramp(5));
  EXPECT_EQ(sizeText(), "5");
  static_cast<vcontrol*>(p->remapChk)->value = 0;
  vpaledDo(p, "RemapChk");
  EXPECT_EQ(p->paledFlags & vpaledREMAP, 0u);
}

TEST_F(Editor, ButtonsFollowTheCountAndTheSelection) {
  give(ramp(256));
  EXPECT_FALSE(enabled(p->newBtn)) << "256 entries";
  EXPECT_TRUE(enabled(p->pickBtn));
  EXPECT_FALSE(enabled(p->rampBtn));
  vpaledSelect(p, 3, 5);
  EXPECT_FALSE(enabled(p->pickBtn));
  EXPECT_TRUE(enabled(p->rampBtn));
  EXPECT_TRUE(enabled(p->blendBtn));
  vpaledSelect(p, 3, 4);
  EXPECT_FALSE(enabled(p->blendBtn));
  give(ramp(2));
  EXPECT_TRUE(enabled(p->newBtn));
  EXPECT_FALSE(enabled(p->deleteBtn)) << "two entries must remain";
  vpaledDo(p, "NewBtn");
  EXPECT_EQ(sizeText(), "3");
  EXPECT_EQ(p->first, 2);
  EXPECT_EQ(at(p->working, 2), (C16{0, 0, 0}));
  EXPECT_TRUE(p->paledFlags & vpaledGROWN);
  EXPECT_TRUE(enabled(p->deleteBtn));
}

TEST_F(Editor, UndoSwapsWithThePreviousColoursSoTwiceReturns) {
  give({0x808080, 0x202020});
  vpaledDo(p, "WarmBtn");
  C16 warmed = at(p->working, 0);
  EXPECT_EQ(warmed.r, 0x8080u + 2621);
  vpaledDo(p, "Undo");
  EXPECT_EQ(at(p->working, 0).r, 0x8080u);
  vpaledDo(p, "Undo");
  EXPECT_EQ(at(p->working, 0), warmed);
  // Revert brings the starting palette back, itself undoable.
  vpaledDo(p, "RevertPalette");
  EXPECT_EQ(at(p->working, 0).r, 0x8080u);
  vpaledDo(p, "Undo");
  EXPECT_EQ(at(p->working, 0), warmed);
}

TEST_F(Editor, DeletingTheLastEntriesMovesTheSelectionToTheNewLast) {
  give(ramp(6));
  vpaledSelect(p, 4, 5);
  vpaledDo(p, "DeleteBtn");
  EXPECT_EQ(sizeText(), "4");
  EXPECT_EQ(p->first, 3);
  EXPECT_EQ(p->last, 3);
  vpaledSelect(p, 0, 1);
  vpaledDo(p, "DeleteBtn");
  EXPECT_EQ(p->first, 0) << "a selection still inside stays";
  EXPECT_EQ(at(p->working, 0).r, 2u * 257);
  // Never fewer than two entries: a cut of all of them only copies.
  vpaledSelect(p, 0, 1);
  vpaledDo(p, "Cut");
  EXPECT_EQ(sizeText(), "2");
  ASSERT_NE(vpaledGetClipboard(), nullptr);
  EXPECT_EQ(vpaledGetClipboard()->count, 2u);
}

TEST_F(Editor, CutCopyAndPasteGoThroughThePaletteClipboard) {
  give({0x000001, 0x000002, 0x000003, 0x000004});
  vpaledSelect(p, 1, 2);
  vpaledDo(p, "Cut");
  ASSERT_NE(vpaledGetClipboard(), nullptr);
  EXPECT_EQ(vpaledGetClipboard()->count, 2u);
  EXPECT_EQ(sizeText(), "2");
  vpaledSelect(p, 0, 0);
  vpaledDo(p, "Paste");
  ASSERT_EQ(p->working->count, 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(at(p->working, i).b, unsigned(i + 1) * 257) << i;
  vpaledSelect(p, 3, 3);
  vpaledDo(p, "Copy");
  EXPECT_EQ(vpaledGetClipboard()->count, 1u);
  give(ramp(256));
  vpaledDo(p, "Paste");
  EXPECT_EQ(sizeText(), "256") << "no room";
}

// Escape answers as Cancel, Return as OK.
TEST_F(Editor, EscapeCancelsAndReturnConfirms) {
  give(ramp(4));
  // A key's button shows pressed a moment before it acts.
  auto press = [](win::UINT key) {
    win::test::KeyDown(key);
    win::test::KeyUp(key);
    for (int i = 0; i < 5; ++i) {
      settle();
      win::test::AdvanceClock(100);
    }
    settle();
  };
  open();
  press(win::VK_ESCAPE);
  EXPECT_FALSE(vwindowIsOpen(p)) << "Escape";
  EXPECT_EQ(okCall.calls, 0);
  open();
  press(win::VK_RETURN);
  EXPECT_FALSE(vwindowIsOpen(p)) << "Return";
  EXPECT_EQ(okCall.calls, 1);
}

TEST_F(Editor, RampFromTheButtonAndOkHandsTheColoursBack) {
  give({0x0000FF, 0x123456, 0x654321, 0x00FF00});
  vpaledSelect(p, 0, 2);
  vpaledDo(p, "RampBtn");
  EXPECT_EQ(at(p->working, 0), (C16{65535, 65535, 65535}));
  EXPECT_EQ(at(p->working, 1), (C16{0, 0, 65535}));
  EXPECT_EQ(at(p->working, 2), (C16{0, 0, 0}));
  open();
  vpaledDo(p, "CancelBtn");
  EXPECT_EQ(okCall.calls, 0);
  EXPECT_FALSE(vwindowIsOpen(p));
  open();
  vpaledDo(p, "OKBtn");
  EXPECT_EQ(okCall.calls, 1);
  EXPECT_EQ(okCall.count, 4u);
  EXPECT_FALSE(vwindowIsOpen(p));
}

TEST_F(Editor, TheGridSelectsByPressAndDragAndFramesWholeRows) {
  give(ramp(40));
  open();
  // Every pixel of a swatch is its entry's, its bottom row too.
  vrect s17 = _vpaledSwatchRect(p->grid, 17);
  for (int y = s17.y; y < s17.y + 17; ++y) EXPECT_EQ(_vpaledGridIndexAt(p->grid, 40, s17.x + 3, y), 17) << y;
  EXPECT_EQ(_vpaledGridIndexAt(p->grid, 40, s17.x + 3, s17.y - 1), 33);
  win::test::MouseDown(swatch(5));
  settle();
  win::test::MouseMove(swatch(33));
  settle();
  win::test::MouseUp(swatch(33));
  settle();
  EXPECT_EQ(p->first, 5);
  EXPECT_EQ(p->last, 33);
  vrect frames[4];
  ASSERT_EQ(_vpaledSelectionFrames(p->grid, p->first, p->last, frames, 4), 3);
  EXPECT_EQ(frames[0].width, (15 - 5) * 17 + 18);
  EXPECT_EQ(frames[1].width, 273) << "a full row";
  EXPECT_EQ(frames[2].width, 1 * 17 + 18);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(frames[i].height, 18);
  EXPECT_TRUE(enabled(p->rampBtn));
  // Dragging back above the anchor selects the other way.
  win::test::MouseDown(swatch(20));
  win::test::MouseUp(swatch(2));
  settle();
  EXPECT_EQ(p->first, 2);
  EXPECT_EQ(p->last, 20);
  // A press past the last entry takes the last one.
  vrect last = _vpaledSwatchRect(p->grid, 47);
  EXPECT_EQ(_vpaledGridIndexAt(p->grid, 40, last.x, last.y), 39);
}

TEST_F(Editor, ADoubleClickOnOneSwatchPicksItsColour) {
  give({0x000000, 0x00FF00, 0x0000FF});
  vcolorchsr* chooser = vcolorchsrCreate();
  vpaledSetColorChooser(p, chooser);
  open();
  win::test::Click(swatch(2));
  settle();
  EXPECT_FALSE(vwindowIsOpen(chooser)) << "one click only selects";
  EXPECT_EQ(p->first, 2);
  win::test::Click(swatch(2));
  settle();
  EXPECT_TRUE(vwindowIsOpen(chooser));
  EXPECT_NEAR(double(vcolorGetSpecBlue(&chooser->working)), 65535, 1);
  vwindowClose(chooser);
  vinstanceDestroy(p);
  p = nullptr;
  vinstanceDestroy(chooser);
}

TEST_F(Editor, LooksAsStored) {
  Rgb rgb;
  for (int i = 0; i < 40; ++i) rgb.push_back(std::uint32_t(i * 6) << 16 | std::uint32_t(i * 3) << 8 | std::uint32_t(255 - i * 6));
  give(rgb);
  vpaledSelect(p, 3, 20);
  open();
  win::test::Image shot = win::test::WindowImage(p->native->hwnd);
  EXPECT_TRUE(test_support::MatchesPng(shot, std::string(std::getenv("SIM_TEST_DATA")) + "/imaging/paled.png", 8, 60));
}

// A selection from the first swatch keeps the list's black frame whole
// along the top and the left, where its outline meets the frame.
TEST_F(Editor, TheSelectionLeavesTheListFrameWhole) {
  Rgb rgb;
  for (int i = 0; i < 40; ++i) rgb.push_back(std::uint32_t(i * 6) << 16 | std::uint32_t(255 - i * 6));
  give(rgb);
  vpaledSelect(p, 0, 20);
  open();
  win::test::Image shot = win::test::WindowImage(p->native->hwnd);
  auto at = [&](int x, int y) { return shot.px[std::size_t(shot.height - 1 - y) * std::size_t(shot.width) + std::size_t(x)] & 0xFFFFFF; };
  vrect g = _vpaledGridRect(p->grid);
  int top = g.y + g.height - 1, broken = 0;
  for (int x = g.x; x < g.x + g.width; ++x) broken += at(x, top) != 0;
  for (int y = g.y; y <= top; ++y) broken += at(g.x, y) != 0;
  EXPECT_EQ(broken, 0) << "frame pixels that are not black";
}

TEST_F(Editor, ThePalettesMenuListsBuiltInAndSavedPalettes) {
  EXPECT_EQ(menuTitles(p->palettesMenu), (std::vector<std::string>{"Delete", "-", "Grays", "Basic", "-"}));
  ASSERT_NE(deleteMenu(), nullptr);
  EXPECT_TRUE(vpaledLoadPalette(p, "Grays"));
  EXPECT_EQ(sizeText(), "16");
  EXPECT_EQ(at(p->working, 15), (C16{65535, 65535, 65535}));
  EXPECT_FALSE(vpaledLoadPalette(p, "Nothing"));
  // A palette saved by hand shows after the next rebuild, in both menus.
  vresource saved = vresourceMake(user, vnameInternLiteral("palettes"));
  vcolorListStore(p->working, vresourceMake(saved, vnameInternLiteral("Mine")));
  vpaledRebuildMenus(p);
  EXPECT_EQ(menuTitles(p->palettesMenu), (std::vector<std::string>{"Delete", "-", "Grays", "Basic", "-", "Mine"}));
  EXPECT_EQ(menuTitles(deleteMenu()), (std::vector<std::string>{"Mine"}));
  vpaledDo(p, "Undo");
  EXPECT_TRUE(vpaledLoadPalette(p, "Mine"));
  EXPECT_EQ(sizeText(), "16");
  vmenuItemSelect(vmenuItemListAt(&deleteMenu()->items, 0), nullptr);
  vpaledRebuildMenus(p);
  EXPECT_EQ(menuTitles(deleteMenu()), std::vector<std::string>{});
  EXPECT_EQ(menuTitles(p->palettesMenu).size(), 5u);
}

TEST_F(Editor, APressOnTheMenuBarBringsTheMenusUpToDate) {
  give(ramp(4));
  open();
  vresource saved = vresourceMake(user, vnameInternLiteral("palettes"));
  vcolorListStore(p->working, vresourceMake(saved, vnameInternLiteral("Mine")));
  EXPECT_EQ(menuTitles(p->palettesMenu).back(), "-");
  // Past the last title: the bar takes the press, no menu drops.
  vrect bar = p->menubar->rect;
  vdialogItemListTransformRect(p->menubar->owner, &bar);
  win::POINT at{bar.x + bar.width - 4, p->rect.height - 1 - (bar.y + bar.height / 2)};
  win::ClientToScreen(p->native->hwnd, &at);
  win::test::Click(at);
  settle();
  EXPECT_EQ(menuTitles(p->palettesMenu).back(), "Mine");
  EXPECT_EQ(menuTitles(deleteMenu()), (std::vector<std::string>{"Mine"}));
  vmenu* edit = nullptr;
  for (int i = 0; i < vmenubarCount(reinterpret_cast<vmenubar*>(p->menubar)); ++i)
    if (vmenubarAt(reinterpret_cast<vmenubar*>(p->menubar), i)->tag == vnameInternLiteral("EditMenu"))
      edit = vmenubarAt(reinterpret_cast<vmenubar*>(p->menubar), i);
  ASSERT_NE(edit, nullptr);
  vmenuItem* paste = vmenuItemListAt(&edit->items, vmenuItemListCount(&edit->items) - 1);
  EXPECT_EQ(vmenuItemIsEnabled(paste), vpaledGetClipboard() != nullptr);
  vpaledDo(p, "Copy");
  win::test::Click(at);
  settle();
  EXPECT_TRUE(vmenuItemIsEnabled(paste)) << "the clipboard holds colours now";
}

std::string nameField(vconfirm* c) {
  char* s = vtextitemGetString(static_cast<vtextitem*>(vdialogFindItem(c, vnameInternLiteral("NameText"))));
  std::string out = s ? s : "";
  vmemFree(s);
  return out;
}
void typeName(vconfirm* c, const char* name) {
  vtextitemSetTextChars(static_cast<vtextitem*>(vdialogFindItem(c, vnameInternLiteral("NameText"))), name);
}

TEST_F(Editor, SavingProposesAFreeNameAndRefusesTakenOrEmptyOnes) {
  give({0x102030, 0x405060, 0x708090});
  vresource saved = vresourceMake(user, vnameInternLiteral("palettes"));
  for (const char* name : {"Palette", "Palette2"}) vcolorListStore(p->working, vresourceMake(saved, vnameInternLiteral(name)));
  open();
  vpaledDo(p, "SavePalette");
  vconfirm* c = vpaledGetNameConfirm();
  ASSERT_NE(c, nullptr);
  settle();
  EXPECT_TRUE(vwindowIsOpen(c));
  EXPECT_EQ(nameField(c), "Palette3");
  for (const char* refused : {"Palette2", ""}) {
    typeName(c, refused);
    ASSERT_TRUE(clickConfirmButton(c, "Ok"));
    settle();
    EXPECT_TRUE(vwindowIsOpen(c)) << "'" << refused << "' is refused";
  }
  EXPECT_EQ(vresourceCount(saved), 2);
  typeName(c, "Palette3");
  ASSERT_TRUE(clickConfirmButton(c, "Ok"));
  settle();
  EXPECT_FALSE(vwindowIsOpen(c));
  vresource stored = 0;
  ASSERT_TRUE(vresourceTestGet(saved, vnameInternLiteral("Palette3"), &stored));
  vcolorList* back = vcolorListLoad(stored);
  ASSERT_EQ(back->count, 3u);
  EXPECT_EQ(at(back, 2), (C16{0x7070, 0x8080, 0x9090}));
  vcolorListDestroy(back);
}

// Marked modal, the name dialog runs until it is answered.
vconfirm* modalConfirm = nullptr;
void answerModalName() {
  if (modalConfirm && vwindowIsOpen(modalConfirm)) {
    typeName(modalConfirm, "Modal");
    clickConfirmButton(std::exchange(modalConfirm, nullptr), "Ok");
  }
}

TEST_F(Editor, AModalNameDialogRunsUntilAnswered) {
  give({0x102030, 0x405060});
  open();
  vpaledDo(p, "SavePalette");
  vconfirm* c = vpaledGetNameConfirm();
  ASSERT_NE(c, nullptr);
  vwindowClose(c);
  vwindowClassOf(c)->setModal(c, 1);
  modalConfirm = c;
  veventIdleHook previous = veventSetIdleHook(answerModalName);
  vpaledDo(p, "SavePalette");
  veventSetIdleHook(previous);
  EXPECT_EQ(modalConfirm, nullptr) << "answered inside the run";
  EXPECT_FALSE(vwindowIsOpen(c));
  vresource saved = 0, stored = 0;
  ASSERT_TRUE(vresourceTestGet(user, vnameInternLiteral("palettes"), &saved));
  EXPECT_TRUE(vresourceTestGet(saved, vnameInternLiteral("Modal"), &stored));
}

// A store that cannot be written: the failure is shown in a notice and the
// name dialog stays open.
std::string noticeText;
void answerNotice() {
  vwindow* top = vwindowMSWGetCurrentModal();
  if (!top || !vclassIsSubclass(top->cls, vnoticeGetDefaultClass())) return;
  auto* n = static_cast<vnotice*>(top);
  char* s = vtextitemGetString(n->text);
  noticeText = s ? s : "";
  vmemFree(s);
  clickConfirmButton(n, "Ok");
}

TEST_F(Editor, AStoreThatCannotBeWrittenShowsTheFailureAndKeepsTheDialog) {
  namespace fs = std::filesystem;
  fs::path file = fs::temp_directory_path() / ("paled." + std::to_string(getpid()) + ".vr");
  vfsPath* path = vfsNewPathFromString(file.c_str());
  vresource made = vresourceCreateMemoryIn(0);
  vresourceMake(made, vnameInternLiteral("palettes"));
  vresourceCloseFile(vresourceSaveFile(made, path, 0600));
  vresourceCloseFile(made);
  vresource readOnly = vresourceOpenFileIn(0, path, vfsOPEN_READ);
  vapplicationGetCurrent()->resources = readOnly;
  give({0x102030, 0x405060});
  open();
  vpaledDo(p, "SavePalette");
  vconfirm* c = vpaledGetNameConfirm();
  ASSERT_NE(c, nullptr);
  settle();
  noticeText.clear();
  veventIdleHook previous = veventSetIdleHook(answerNotice);
  ASSERT_TRUE(clickConfirmButton(c, "Ok"));
  settle();
  veventSetIdleHook(previous);
  EXPECT_EQ(noticeText, "Resource file is not writable");
  EXPECT_TRUE(vwindowIsOpen(c));
  vwindowClose(c);
  vapplicationGetCurrent()->resources = user;
  vresourceCloseFile(readOnly);
  vfsFreePath(path);
  fs::remove(file);
}

// Pick: the chooser opens on the one selected entry and its apply writes it.
TEST_F(Editor, PickOpensTheChooserOnTheEntryAndApplyWritesIt) {
  give({0x000000, 0x00FF00});
  vcolorchsr* chooser = vcolorchsrCreate();
  vpaledSetColorChooser(p, chooser);
  EXPECT_TRUE(p->paledFlags & vpaledOWN_CHOOSER);
  vpaledSelect(p, 1, 1);
  vpaledDo(p, "PickBtn");
  EXPECT_NEAR(double(vcolorGetSpecGreen(&chooser->working)), 65535, 1);
  EXPECT_EQ(chooser->working.record->delta[0], 511);
  ASSERT_NE(chooser->apply, nullptr);
  vcolorSpec red;
  vcolorInitSpec(&red);
  vcolorSetSpecRGB(&red, 65535, 0, 0);
  vcolor* color = vcolorInternSpec(&red);
  chooser->apply(chooser, color);
  EXPECT_EQ(at(p->working, 1), (C16{65535, 0, 0}));
  // Closed, the editor is no longer the chooser's.
  vwindowClose(p);
  chooser->apply(chooser, vcolorGetBlack());
  EXPECT_EQ(at(p->working, 1), (C16{65535, 0, 0}));
  vcolorRelease(color);
  vcolorDestroySpec(&red);
  if (vwindowIsOpen(chooser)) vwindowClose(chooser);
  vinstanceDestroy(p);
  p = nullptr;
  vinstanceDestroy(chooser);
}

}  // namespace
