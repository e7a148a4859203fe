// The colour controls over a model and a stand-in view: the colour rule,
// the pop-up's geometry and cube, the recent-colour list and its hit rule,
// and the pop-up driven through the platform's input in an open dialog.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/imaging/vimged_color.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/data/vrstore.h"
#include "fw/widgets/dialog_support.h"
#include "tests/fw/imaging/images.h"
#include "tests/support/png_compare.h"

namespace {

// A view the items can serve: an editor and the two values.
struct StandIn {
  vimged* editor = nullptr;
  std::uint32_t fg = 1, bg = 0;
  int sets = 0;
};
StandIn* of(vdialogItem* view) { return reinterpret_cast<StandIn*>(view->data); }
const vimgedutilsViewOps kOps = {
    [](vdialogItem* v) { return of(v)->editor; },
    [](vdialogItem* v) { return of(v)->fg; },
    [](vdialogItem* v) { return of(v)->bg; },
    [](vdialogItem* v, std::uint32_t value) { of(v)->fg = value, ++of(v)->sets; },
    [](vdialogItem* v, std::uint32_t value) { of(v)->bg = value, ++of(v)->sets; },
};

vimage* mono(int w, int h) {
  vimage* image = vimageCreateSized(w, h, 2);
  vimageSetNoPalette(image, 1);
  return image;
}

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

struct ColorControls : ::testing::Test {
  StandIn standIn;
  vdialogItem* view = nullptr;
  vimage* source = nullptr;
  std::vector<vinstance*> made;
  void SetUp() override {
    vrstoreInstallInterface();
    startDialogItemTests();
    vdialogStartup();
    win::UseVirtualClock(true);
    win::test::ResetInput();
    vimgedutilsSetViewOps(&kOps);
    standIn.editor = vimgedCreate();
    view = vdialogItemCreate(vdialogItemGetDefaultClass());
    view->data = reinterpret_cast<std::intptr_t>(&standIn);
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) vinstanceDestroy(*it);
    vinstanceDestroy(view);
    vimgedDestroy(standIn.editor);
    if (source) vimageDestroy(source);
    vimgedutilsSetViewOps(nullptr);
    win::test::ResetInput();
    settle();
    win::UseVirtualClock(false);
  }
  void edit(vimage* image) {
    if (source) vimageDestroy(source);
    source = image;
    vimgedSetImage(standIn.editor, image);
  }
  template <class T>
  T* item(vdialogItemClassRec* cls, vrect r) {
    auto* i = static_cast<T*>(vdialogItemCreate(cls));
    vdialogSetItemRect(i, &r);
    return i;
  }
  vimgedutilsMRUItem* mru(vrect r = {0, 0, 42, 82}) {
    auto* m = item<vimgedutilsMRUItem>(vimgedutilsGetMRUItemClass(), r);
    made.push_back(m);
    vimgedutilsSetMRUItemView(m, view);
    return m;
  }
  // A press event at (x, y) of the item's coordinates.
  int press(vdialogItem* i, int x, int y, std::uint32_t modifiers = 0, const char* binding = nullptr) {
    vevent* e = veventCreateButtonDown(nullptr, x, y, modifiers, 1, 1, 1);
    if (binding) veventSetBinding(e, vnameInternLiteral(binding));
    int handled = vdialogItemClassOf(i)->buttonDown(i, e);
    veventDestroy(e);
    return handled;
  }
};

unsigned r(const vcolorSpec& s) { return vcolorGetSpecRed(&s); }
unsigned g(const vcolorSpec& s) { return vcolorGetSpecGreen(&s); }
unsigned b(const vcolorSpec& s) { return vcolorGetSpecBlue(&s); }

TEST_F(ColorControls, PixelValuesGiveTheirColoursAndValuesPastThePaletteBlack) {
  vimage* indexed = testimg::make(2, 2, 2);
  testimg::setPalette(indexed, {0x102030, 0xFF8000});
  vimage* deep = testimg::make(2, 2, 24);
  vimage* bits = mono(2, 2);
  struct Row {
    vimage* image;
    std::uint32_t value;
    unsigned red, green, blue;
  } rows[] = {
      {indexed, 1, 0xFFFF, 0x8080, 0},
      {indexed, 2, 0, 0, 0},  // a shortened palette: past its end
      {indexed, 900, 0, 0, 0},
      {bits, 1, 65535, 65535, 65535},
      {bits, 0, 0, 0, 0},
      {deep, 0x123456, 0x1200, 0x3400, 0x5600},
      {deep, 0xFFFFFF, 0xFF00, 0xFF00, 0xFF00},
  };
  for (const Row& row : rows) {
    vcolorSpec s;
    vimgedutilsPixelSpec(row.image, row.value, &s);
    EXPECT_EQ(r(s), row.red) << row.value;
    EXPECT_EQ(g(s), row.green) << row.value;
    EXPECT_EQ(b(s), row.blue) << row.value;
    vcolorDestroySpec(&s);
  }
  vcolor* c = vimgedutilsInternPixelColor(deep, 0x00FF00);
  EXPECT_EQ(c->desc.record->delta[0], 511);
  EXPECT_EQ(c->desc.record->maxDotDither, 64);
  EXPECT_EQ(vcolorGetSpecGreen(&c->desc), 0xFF00u);
  vcolorRelease(c);
  for (vimage* i : {indexed, deep, bits}) vimageDestroy(i);
}

TEST_F(ColorControls, PopUpsHoldEveryCellSixteenToARow) {
  struct Row {
    int cells, rows, lastRow;
    vrect rect;
  } rows[] = {
      {2, 1, 2, {101, 179, 37, 20}},
      {256, 16, 16, {101, -76, 275, 275}},
      {343, 22, 7, {101, -178, 275, 377}},
  };
  for (const Row& row : rows) {
    vrect rect = vimgedutilsPopupRect(row.cells, 100, 200);
    EXPECT_TRUE(vrectEqual(&rect, &row.rect)) << row.cells << ": " << rect.x << "," << rect.y << "," << rect.width
                                              << "," << rect.height;
    int w = rect.width, h = rect.height;
    // The bottom row, column by column: the last row's cells, then none.
    int y = 3;
    for (int col = 0; col < 16; ++col) {
      int want = col < row.lastRow ? (row.rows - 1) * 16 + col : -1;
      EXPECT_EQ(vimgedutilsPopupCellAt(row.cells, w, h, col * 17 + 8, y), want) << row.cells << " col " << col;
    }
    EXPECT_EQ(vimgedutilsPopupCellAt(row.cells, w, h, 8, h - 1), 0);
    EXPECT_EQ(vimgedutilsPopupCellAt(row.cells, w, h, -1, h - 1), -1);
    EXPECT_EQ(vimgedutilsPopupCellAt(row.cells, w, h, 8, h), -1);
  }
  vimage* bits = mono(4, 4);
  vimage* indexed = testimg::make(4, 4, 8);
  vimage* deep = testimg::make(4, 4, 32);
  EXPECT_EQ(vimgedutilsPopupCells(bits), 2);
  EXPECT_EQ(vimgedutilsPopupCells(indexed), 256);
  EXPECT_EQ(vimgedutilsPopupCells(deep), 343);
  for (vimage* i : {indexed, deep, bits}) vimageDestroy(i);
}

TEST_F(ColorControls, CubeCellsGivePackedValuesAndTheNearestCellIsFound) {
  EXPECT_EQ(vimgedutilsCubeValue(0), 0u);
  EXPECT_EQ(vimgedutilsCubeValue(342), 0xFFFFFFu);
  EXPECT_EQ(vimgedutilsCubeValue(6), 0x0000FFu);  // blue steps fastest
  EXPECT_EQ(vimgedutilsCubeValue(7), 0x00FF00u / 0xFF * 0x2A);
  EXPECT_EQ(vimgedutilsCubeValue(49 * 3), 0x7F0000u);
  for (int i = 0; i < vimgedutilsCUBE_CELLS; ++i) ASSERT_EQ(vimgedutilsCubeIndex(vimgedutilsCubeValue(i)), i) << i;
  EXPECT_EQ(vimgedutilsCubeIndex(0xFE0101), 6 * 49);
  EXPECT_EQ(vimgedutilsCubeIndex(0x808080), 3 * 49 + 3 * 7 + 3);
}

TEST_F(ColorControls, SwatchesOverlapWithTheBackgroundUpperLeft) {
  auto* fb = item<vimgedutilsFgBgItem>(vimgedutilsGetFgBgItemClass(), {10, 20, 41, 40});
  made.push_back(fb);
  vrect bg{10, 30, 30, 30}, fg{20, 20, 30, 30};
  EXPECT_TRUE(vrectEqual(&fb->background, &bg));
  EXPECT_TRUE(vrectEqual(&fb->foreground, &fg));
  // Without a view, or a view without image, a press opens nothing.
  EXPECT_EQ(press(fb, 45, 25), 1);
  EXPECT_EQ(vimgedutilsOpenColorPopup(fb, 1, 45, 25), nullptr);
  vimgedutilsSetFgBgItemView(fb, view);
  EXPECT_EQ(vimgedutilsOpenColorPopup(fb, 1, 45, 25), nullptr);
}

TEST_F(ColorControls, RecentColoursStartFromTheImageKind) {
  vimgedutilsMRUItem* m = mru();
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m->values[i], std::uint32_t(i)) << "no image yet";
  edit(testimg::make(4, 4, 24));
  vimgedutilsResetMRUItem(m);
  EXPECT_EQ(m->values[0], 0u);
  EXPECT_EQ(m->values[1], 0x0000FFu);
  EXPECT_EQ(m->values[7], 0xFFFFFFu);
  EXPECT_EQ(m->values[15], 0xC9C9C9u);
  edit(mono(4, 4));
  m->values[5] = 77;
  vimgedutilsResetMRUItem(m);
  EXPECT_EQ(m->values[0], 0u);
  EXPECT_EQ(m->values[1], 1u);
  EXPECT_EQ(m->values[5], 77u) << "mono images keep entries 2-15";
  edit(testimg::make(4, 4, 8));
  vimgedutilsResetMRUItem(m);
  EXPECT_EQ(m->values[5], 5u);
}

TEST_F(ColorControls, AddingAListedColourChangesNothingANewOneDropsTheOldest) {
  vimgedutilsMRUItem* m = mru();
  vimgedutilsAddMRUColor(m, 7);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m->values[i], std::uint32_t(i));
  vimgedutilsAddMRUColor(m, 100);
  EXPECT_EQ(m->values[0], 1u);
  EXPECT_EQ(m->values[14], 15u);
  EXPECT_EQ(m->values[15], 100u);
  vimgedutilsAddMRUColor(m, 1);
  EXPECT_EQ(m->values[0], 1u) << "its place does not move";
}

TEST_F(ColorControls, RecentColourPressesPickByRowFromTheTop) {
  // 42 x 82: cells 20 x 10, grid (0, 0, 42, 82), inner (1, 1, 40, 80).
  vimgedutilsMRUItem* m = mru();
  EXPECT_EQ(m->cellWidth, 20);
  EXPECT_EQ(m->cellHeight, 10);
  struct Row {
    int x, y, cell;
  } rows[] = {
      {1, 80, 0}, {21, 80, 1}, {1, 71, 0}, {1, 70, 2}, {40, 1, 15}, {1, 1, 14}, {1, 0, -1}, {41, 40, -1}, {0, 40, -1},
  };
  for (const Row& row : rows) EXPECT_EQ(vimgedutilsMRUCellAt(m, row.x, row.y), row.cell) << row.x << "," << row.y;
  // An item too small for cells takes no press.
  vimgedutilsMRUItem* tiny = mru({0, 0, 3, 9});
  EXPECT_EQ(vimgedutilsMRUCellAt(tiny, 0, 0), -1);
  EXPECT_EQ(vimgedutilsMRUCellAt(tiny, 1, 1), -1);

  edit(testimg::make(4, 4, 24));
  vimgedutilsResetMRUItem(m);
  press(m, 30, 1);  // the bottom pixel row: cell 15
  EXPECT_EQ(standIn.fg, 0xC9C9C9u);
  press(m, 1, 80, veventMOD_CONTROL);
  EXPECT_EQ(standIn.bg, 0u);
  press(m, 21, 80, 0, "Menu");
  EXPECT_EQ(standIn.bg, 0x0000FFu);
  EXPECT_EQ(standIn.fg, 0xC9C9C9u);
  // A mono image has two usable cells.
  edit(mono(4, 4));
  vimgedutilsResetMRUItem(m);
  int sets = standIn.sets;
  press(m, 1, 70);
  EXPECT_EQ(standIn.sets, sets);
  press(m, 21, 80);
  EXPECT_EQ(standIn.fg, 1u);
}

// The pop-up through the platform's input: opened by a press on a swatch,
// followed by the pointer, chosen from or left by the release.
struct ColorPopup : ColorControls {
  vdialog* d = nullptr;
  vimgedutilsFgBgItem* fb = nullptr;
  void SetUp() override {
    ColorControls::SetUp();
    d = vdialogCreate();
    made.push_back(d);
    d->rect = {200, 300, 120, 100};
    fb = item<vimgedutilsFgBgItem>(vimgedutilsGetFgBgItemClass(), {20, 20, 48, 48});
    vdialogAppendItem(d, fb);
    vimgedutilsSetFgBgItemView(fb, view);
    vwindowOpen(d);
    win::SetActiveWindow(d->native->hwnd);
    settle();
  }
  win::POINT screen(vwindow* w, int x, int y) {
    win::POINT p{x, w->rect.height - 1 - y};
    win::ClientToScreen(w->native->hwnd, &p);
    return p;
  }
  vwindow* pressSwatch(int x, int y) {
    win::test::MouseDown(screen(d, x, y));
    settle();
    vwindow* top = vwindowMSWGetTopGrab();
    return top && top->cls == vimgedutilsGetColorPopupClass() ? top : nullptr;
  }
  // A cell's centre on the screen.
  win::POINT cell(vwindow* p, int i) { return screen(p, 2 + i % 16 * 17 + 8, p->rect.height - 18 - i / 16 * 17 + 8); }
};

TEST_F(ColorPopup, AReleaseOverACellSetsTheColourOutsideLeavesIt) {
  vimage* image = testimg::make(8, 8, 8);
  std::vector<std::uint32_t> rgb;
  for (int i = 0; i < 40; ++i) rgb.push_back(std::uint32_t(i * 6) << 16 | std::uint32_t(255 - i * 6));
  vcolorListSetCount(vimageGetPalette(image), 40);
  testimg::setPalette(image, rgb);
  edit(image);
  standIn.fg = 3;
  vwindow* p = pressSwatch(60, 24);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->rect.width, 16 * 17 + 3);
  EXPECT_EQ(p->rect.height, 3 * 17 + 3);
  auto* rec = static_cast<vimgedutilsColorPopup*>(p->data);
  EXPECT_EQ(rec->which, 1);
  EXPECT_EQ(rec->current, 3u);
  EXPECT_EQ(rec->cells, 40);
  win::test::MouseMove(cell(p, 17));
  settle();
  EXPECT_EQ(rec->hover, 17);
  win::test::Image shot = win::test::WindowImage(p->native->hwnd);
  EXPECT_TRUE(test_support::MatchesPng(shot, std::string(std::getenv("SIM_TEST_DATA")) + "/imaging/popup.png", 8, 20));
  win::test::MouseUp(cell(p, 17));
  settle();
  EXPECT_EQ(standIn.fg, 17u);
  EXPECT_NE(vwindowMSWGetTopGrab(), p);

  // The background swatch, released outside every cell: nothing changes.
  int sets = standIn.sets;
  p = pressSwatch(22, 60);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(static_cast<vimgedutilsColorPopup*>(p->data)->which, 0);
  win::POINT outside = screen(p, p->rect.width - 2, 2);  // past the 40th cell
  win::test::MouseUp(outside);
  settle();
  EXPECT_EQ(standIn.sets, sets);
  EXPECT_EQ(standIn.bg, 0u);
}

// What the items draw, read back from the window: the foreground lower
// right, the background upper left (black past the palette), and the
// recent cells two to a row from the top.
TEST_F(ColorPopup, SwatchesAndRecentCellsShowTheirValuesColours) {
  vimage* image = testimg::make(4, 4, 2);
  testimg::setPalette(image, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
  edit(image);
  standIn.fg = 1;
  standIn.bg = 9;
  auto* m = item<vimgedutilsMRUItem>(vimgedutilsGetMRUItemClass(), {80, 10, 22, 82});
  vdialogAppendItem(d, m);
  vimgedutilsSetMRUItemView(m, view);
  vimgedutilsResetMRUItem(m);
  vdialogInvalItem(fb, 0);
  settle();
  auto rgb = [&](int x, int y) {
    vrect r{std::int16_t(x), std::int16_t(y), 0, 0};
    vdialogItemListTransformRect(fb->owner, &r);
    win::COLORREF c = win::test::Pixel(d->native->hwnd, r.x, d->rect.height - 1 - r.y);
    return std::uint32_t((c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF));
  };
  EXPECT_EQ(rgb(60, 24), 0x00FF00u) << "the foreground, lower right";
  EXPECT_EQ(rgb(24, 64), 0x000000u) << "the background past the palette";
  struct Cell {
    int x, y;
    std::uint32_t rgb;
  } cells[] = {{85, 86, 0xFF0000}, {95, 86, 0x00FF00}, {85, 76, 0x0000FF}, {95, 76, 0xFFFFFF}};
  for (const Cell& c : cells) EXPECT_EQ(rgb(c.x, c.y), c.rgb) << c.x << "," << c.y;
}

TEST_F(ColorPopup, DeepImagesPickFromTheCubeAsPackedValues) {
  edit(testimg::make(8, 8, 24));
  standIn.fg = 0xFFFFFF;
  vwindow* p = pressSwatch(60, 24);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->rect.height, 22 * 17 + 3);
  win::test::MouseUp(cell(p, 6));
  settle();
  EXPECT_EQ(standIn.fg, 0x0000FFu);
}

}  // namespace
