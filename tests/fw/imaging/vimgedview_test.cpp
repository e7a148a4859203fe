#include "tests/fw/imaging/vimgedview_test.h"

#include <cstdlib>
#include <set>
#include <utility>

#include "fw/gui/window/cursor.h"
#include "fw/gui/window/window_event.h"
#include "platform/win.h"
#include "platform/win/test.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"

namespace testview {
namespace {

using Point = std::pair<int, int>;

// ---- The view: layout, grid, scrolling and zoom.

TEST_F(ViewTest, ANarrowViewHoldsWholeZoomedPixelsKeepsItsTopAndScrolls) {
  open(40, 30, 5, {10, 10, 103, 83});
  // 2 x border = 4: (103 - 4) / 5 whole pixels across, (83 - 4) / 5 up.
  EXPECT_EQ(view->laidOut.x, 10);
  EXPECT_EQ(view->laidOut.width, 19 * 5 + 4);
  EXPECT_EQ(view->laidOut.height, 15 * 5 + 4);
  EXPECT_EQ(view->laidOut.y + view->laidOut.height, 10 + 83) << "the top edge stays";
  EXPECT_EQ(view->origin.width, 19);
  EXPECT_EQ(view->origin.height, 15);
  EXPECT_EQ(view->origin.y + view->origin.height, 30) << "the image's top row shows";
  EXPECT_EQ(view->scrollRange.width, 40 - 19 + 1);
  EXPECT_EQ(view->scrollRange.height, 30 - 15 + 1);
  // Scrolling past either end is pinned.
  vimgedviewScroll(view, 100, 100, 0);
  EXPECT_EQ(view->origin.x, 21);
  EXPECT_EQ(view->origin.y, 15);
  vimgedviewScroll(view, -500, -500, 0);
  EXPECT_EQ(view->origin.x, 0);
  EXPECT_EQ(view->origin.y, 0);
  // After a scroll the buffer shows the pixels now visible: a pixel set
  // at the left edge of the view lands in the buffer's first cell.
  vimgedviewScroll(view, 7, 3, 0);
  vimgedSetPixel(model, 200, 1, 7, 3);
  EXPECT_EQ(testimg::pixelsOf(view->displayBuffer)[0], vimgedviewPixelRGB(view, 200));
}

// The scrolled buffer (shifted, with only the uncovered strips rendered)
// shows what a full render shows, grid lines included.
TEST_F(ViewTest, ScrollingShowsWhatAFullRenderShows) {
  open(60, 50, 5, {10, 10, 124, 104});
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 60; ++x) vimgedSetPixel(model, std::uint32_t((x * 7 + y * 3) % 5 + (x / 9) * 10), 1, x, y);
  vimgedviewSetGrid(view, 1);
  const std::pair<int, int> steps[] = {{1, 0}, {0, -1}, {3, 2}, {-2, 5}, {-30, 0}, {0, -40}, {25, 25}};
  for (auto [dx, dy] : steps) {
    vimgedviewScroll(view, dx, dy, 0);
    testimg::Pixels scrolled = testimg::pixelsOf(view->displayBuffer);
    vimgedviewClassOf(view)->renderVisible(view);
    EXPECT_EQ(scrolled, testimg::pixelsOf(view->displayBuffer)) << dx << "," << dy;
  }
  // A paint after a scroll reaches the image buffer too once it is used.
  vimgedviewScroll(view, -1, 0, 0);
  vimgedSetPixel(model, 44, 1, view->origin.x, view->origin.y);
  vimgedviewClassOf(view)->composeDisplay(view);
  EXPECT_EQ(testimg::pixelsOf(view->imageBuffer)[0], vimgedviewPixelRGB(view, 44));
}

TEST_F(ViewTest, ASmallImageHasAOneByOneScrollRange) {
  open(8, 6, 2);
  EXPECT_EQ(view->scrollRange.width, 1);
  EXPECT_EQ(view->scrollRange.height, 1);
  vimgedviewScroll(view, 3, 3, 0);
  EXPECT_EQ(view->origin.x, 0);
  EXPECT_EQ(view->origin.y, 0);
}

TEST_F(ViewTest, TheGridShowsOnlyFromZoomFour) {
  open(10, 10, 3);
  vimgedviewSetGrid(view, 1);
  for (int zoom : {1, 2, 3, 4, 6}) {
    vimgedviewSetZoom(view, zoom);
    bool shown = (view->viewFlags & vimgedviewGRID_SHOWN) != 0;
    EXPECT_EQ(shown, zoom >= 4) << zoom;
    // Column 0 of the display buffer is a grid line only when shown.
    std::uint32_t corner = testimg::pixelsOf(view->displayBuffer)[0];
    std::uint32_t image = vimgedviewPixelRGB(view, 0);
    EXPECT_EQ(corner != image, shown) << zoom;
  }
}

TEST_F(ViewTest, ZoomStopsAtItsLargest) {
  open(40, 30, 1);
  int largest = vimgedviewMaxZoom(view);
  EXPECT_EQ(largest, 160 - 4);
  vimgedviewSetZoom(view, 100000);
  EXPECT_EQ(view->zoom, largest);
  EXPECT_EQ(view->origin.width, 1);
  EXPECT_EQ(view->origin.height, 1);
  ASSERT_NE(view->imageBuffer, nullptr);
  EXPECT_EQ(view->imageBuffer->width, largest);
  vimgedviewSetZoom(view, 0);
  EXPECT_EQ(view->zoom, 1);
}

TEST_F(ViewTest, APressOnACellsBottomRowPaintsThatCell) {
  open(20, 16, 8);
  vimgedviewSetTool(view, vimgedviewPENCIL);
  vimgedviewSetForeground(view, 5);
  // Rows grow upwards: a cell's bottom row is its y, its top row y + z - 1.
  struct Case {
    int x, y, row;
  } cases[] = {{3, 4, 0}, {6, 9, 7}, {10, 2, 3}};
  for (const Case& c : cases) {
    vrect cell = vimgedviewCellRect(view, c.x, c.y);
    vpoint p{std::int16_t(cell.x + 2), std::int16_t(cell.y + c.row)};
    press(p);
    release(p);
    EXPECT_EQ(pixel(c.x, c.y), 5u) << c.x << "," << c.y << " row " << c.row;
  }
  EXPECT_EQ(count(5), 3) << "no neighbouring row was painted";
}

TEST_F(ViewTest, GrabScrollsByHandWhateverTheTool) {
  open(100, 80, 4);
  vimgedviewSetTool(view, vimgedviewPENCIL);
  vrect before = view->origin;
  vpoint start = cellPoint(20, 50);
  auto send = [&](int kind, int x, int y) {
    vevent* e = kind == 1 ? veventCreateButtonDown(dialog, x, y, 0, 1, 1, 0)
              : kind == 2 ? veventCreateButtonUp(dialog, x, y, 0, 0, 1, 0)
                          : veventCreateMotion(dialog, x, y, 0, 1, 1);
    veventSetBinding(e, vname_Grab);
    auto* c = vdialogItemClassOf(view);
    kind == 1 ? c->buttonDown(view, e) : kind == 2 ? c->buttonUp(view, e) : c->drag(view, e);
    veventDestroy(e);
  };
  send(1, start.x, start.y);
  send(4, start.x + 40, start.y - 20);
  send(2, start.x + 40, start.y - 20);
  // Right by 10 image pixels and down by 5: the origin moves the other way.
  EXPECT_EQ(view->origin.x, std::max(0, before.x - 10));
  EXPECT_EQ(view->origin.y, before.y + 5 <= view->scrollRange.height - 1 ? before.y + 5 : before.y);
  EXPECT_EQ(count(0), 100 * 80) << "the pencil drew nothing";
  EXPECT_NE(view->viewFlags & vimgedviewAUTO_SCROLL, 0u) << "auto-scrolling is back";
}

TEST_F(ViewTest, ATemporaryToolReturnsAfterTheRelease) {
  open(20, 16, 4);
  vimgedviewSetTool(view, vimgedviewHAND);
  vimgedviewSetTool(view, vimgedviewPENCIL);
  // The temporary command: the tool's selector with "Option".
  vdict context;
  vdictInit(&context, vdictHashName);
  vdictStore(&context, vnameInternLiteral("Option"), vnameInternLiteral("Temp"));
  vobjectAttributedOf(view)->issueSelector(view, 28 + vimgedviewERASER, &context);
  vdictFinish(&context);
  EXPECT_EQ(view->tool, vimgedviewERASER);
  EXPECT_NE(view->viewFlags & vimgedviewTEMPORARY, 0u);
  vpoint p = cellPoint(5, 5);
  press(p);
  EXPECT_EQ(view->tool, vimgedviewERASER) << "the stroke keeps it";
  release(p);
  EXPECT_EQ(view->tool, vimgedviewPENCIL);
  EXPECT_EQ(view->viewFlags & vimgedviewTEMPORARY, 0u);
}

// ---- Painting tools.

TEST_F(ViewTest, APencilPressOnTheForegroundDrawsTheBackgroundAllStroke) {
  open(20, 16, 4);
  vimgedviewSetTool(view, vimgedviewPENCIL);
  vimgedviewSetForeground(view, 1);
  vimgedviewSetBackground(view, 7);
  vimgedSetPixel(model, 1, 1, 2, 5);
  vimgedSetPixel(model, 1, 1, 4, 5);
  stroke({cellPoint(2, 5), cellPoint(4, 5), cellPoint(8, 5)});
  for (int x = 2; x <= 8; ++x) EXPECT_EQ(pixel(x, 5), 7u) << x;
  EXPECT_EQ(undoLabel(), "Undo Draw");
  // On another value it draws the foreground.
  stroke({cellPoint(2, 9), cellPoint(6, 9)});
  for (int x = 2; x <= 6; ++x) EXPECT_EQ(pixel(x, 9), 1u) << x;
  // The window shows the strokes: a drawn cell in the foreground's colour.
  win::test::Image shot = win::test::WindowImage(dialog->native->hwnd);
  vpoint c = cellPoint(4, 9);
  EXPECT_EQ(shot.px[std::size_t((dialog->rect.height - 1 - c.y) * shot.width + c.x)] & 0xFFFFFF,
            vimgedviewPixelRGB(view, 1));
  if (const char* out = std::getenv("IMGVIEW_PNG")) win::test::WritePng(std::string(out) + "pencil.png", shot);
}

TEST_F(ViewTest, TheEraserSquareIsTheCursorSizeInImagePixels) {
  auto* cursor = reinterpret_cast<vimage*>(vimgedviewToolCursor(vimgedviewERASER));
  ASSERT_NE(cursor, nullptr);
  ASSERT_EQ(cursor->width, 16);
  struct Case {
    int zoom, side;
  } cases[] = {{1, 16}, {8, 2}, {5, 4}};
  for (const Case& c : cases) {
    open(64, 64, c.zoom);
    vimgedviewSetTool(view, vimgedviewERASER);
    vimgedviewSetBackground(view, 9);
    int pen = view->pen;
    vpoint p = cellPoint(view->origin.x + 3, view->origin.y + view->origin.height - 2);
    press(p);
    release(p);
    EXPECT_EQ(count(9), c.side * c.side) << "zoom " << c.zoom;
    EXPECT_EQ(view->pen, pen) << "the pen size returns";
    TearDown();
  }
}

TEST_F(ViewTest, ShiftConstrainsLinesToTheAxesAndDiagonals) {
  struct Case {
    int dx, dy;
    std::vector<Point> ends;  // the line's far end
    int pixels;
  } cases[] = {
      {10, 3, {{15, 5}}, 11},   // 2 · 3 < 10: horizontal
      {10, 6, {{15, 15}}, 11},  // neither: diagonal of 10 in both axes
      {2, 9, {{5, 14}}, 10},    // 2 · 2 < 9: vertical
  };
  for (const Case& c : cases) {
    open(40, 30, 4);
    vimgedviewSetTool(view, vimgedviewLINE);
    vimgedviewSetForeground(view, 3);
    press(cellPoint(5, 5));
    key(win::VK_SHIFT, true);
    moveTo(cellPoint(5 + c.dx, 5 + c.dy));
    release(cellPoint(5 + c.dx, 5 + c.dy));
    key(win::VK_SHIFT, false);
    EXPECT_EQ(pixel(c.ends[0].first, c.ends[0].second), 3u) << c.dx << "," << c.dy;
    EXPECT_EQ(count(3), c.pixels) << c.dx << "," << c.dy;
    EXPECT_EQ(undoLabel(), "Undo Draw");
    TearDown();
  }
}

TEST_F(ViewTest, TheRubberBandLeavesOnlyTheFinalShape) {
  open(40, 30, 4);
  vimgedviewSetTool(view, vimgedviewRECT);
  vimgedviewSetForeground(view, 4);
  stroke({cellPoint(2, 2), cellPoint(20, 20), cellPoint(10, 8)});
  // The rectangle from (2, 2) to (10, 8): its frame only.
  EXPECT_EQ(count(4), 2 * (9 + 7) - 4);
  EXPECT_EQ(pixel(20, 20), 0u);
  // The buffers show the image: no rubber band is left on screen.
  std::vector<std::uint32_t> display = testimg::pixelsOf(view->displayBuffer);
  vrect cell = vimgedviewCellRect(view, 20, 20);
  int bx = cell.x - view->area.x, by = cell.y - (view->area.y + view->area.height - view->displayBuffer->height);
  EXPECT_EQ(display[std::size_t(by * view->displayBuffer->width + bx)], vimgedviewPixelRGB(view, 0));
}

TEST_F(ViewTest, TheSprayRepeatsTheCursorsPatternExactly) {
  open(64, 64, 1);
  vimgedviewSetTool(view, vimgedviewSPRAY);
  vimgedviewSetForeground(view, 6);
  auto* brush = reinterpret_cast<vcursor*>(vimgedviewToolCursor(vimgedviewSPRAY));
  ASSERT_NE(brush, nullptr);
  std::set<Point> expected;
  std::vector<std::uint32_t> set = testimg::pixelsOf(brush);
  for (int row = 0; row < brush->height; ++row)
    for (int col = 0; col < brush->width; ++col)
      if (set[std::size_t(row * brush->width + col)]) expected.insert({30 - brush->hotX + col, 30 - brush->hotY + row});
  ASSERT_GT(expected.size(), 10u);
  for (int round = 0; round < 2; ++round) {
    press(cellPoint(30, 30));
    release(cellPoint(30, 30));
    std::set<Point> got;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (pixel(x, y) == 6) got.insert({x, y});
    EXPECT_EQ(got, expected) << "round " << round;
  }
}

TEST_F(ViewTest, PaintFillsButNotOverTheForeground) {
  open(20, 16, 4);
  vimgedviewSetTool(view, vimgedviewPAINT);
  vimgedviewSetForeground(view, 0);
  press(cellPoint(3, 3));
  release(cellPoint(3, 3));
  EXPECT_EQ(undoDepth(), 0) << "no step for a fill over its own colour";
  vimgedviewSetForeground(view, 2);
  press(cellPoint(3, 3));
  release(cellPoint(3, 3));
  EXPECT_EQ(count(2), 20 * 16);
  EXPECT_EQ(undoLabel(), "Undo Draw");
  EXPECT_EQ(testimg::pixelsOf(view->imageBuffer)[0], vimgedviewPixelRGB(view, 2)) << "the view shows it";
}

TEST_F(ViewTest, TheDropperPicksForegroundOrWithControlBackground) {
  open(20, 16, 4);
  vimgedSetPixel(model, 12, 1, 4, 4);
  vimgedSetPixel(model, 13, 1, 6, 6);
  vimgedviewSetTool(view, vimgedviewDROPPER);
  press(cellPoint(4, 4));
  release(cellPoint(4, 4));
  EXPECT_EQ(view->foreground, 12u);
  key(win::VK_CONTROL, true);
  press(cellPoint(6, 6));
  release(cellPoint(6, 6));
  key(win::VK_CONTROL, false);
  EXPECT_EQ(view->background, 13u);
  EXPECT_EQ(view->foreground, 12u);
}

TEST_F(ViewTest, StampAndRollerDoNothing) {
  open(20, 16, 4);
  for (int tool : {vimgedviewSTAMP, vimgedviewROLLER}) {
    vimgedviewSetTool(view, tool);
    stroke({cellPoint(3, 3), cellPoint(8, 8)});
  }
  EXPECT_EQ(count(0), 20 * 16);
  EXPECT_EQ(undoDepth(), 0);
}

}  // namespace
}  // namespace testview

namespace testview {
namespace {

TEST_F(ViewTest, KeysChooseToolsTemporaryToolsAndTheLastTool) {
  open(20, 16, 4);
  vimgedviewSetTool(view, vimgedviewPENCIL);
  vdialogSetFocusItem(dialog, view);
  win::SetActiveWindow(dialog->native->hwnd);
  settle();
  win::test::Type("e");
  settle();
  EXPECT_EQ(view->tool, vimgedviewERASER);
  win::test::Type("S");  // Shift+S
  settle();
  EXPECT_EQ(view->tool, vimgedviewLASSO);
  win::test::KeyDown(win::VK_RETURN);
  win::test::KeyUp(win::VK_RETURN);
  settle();
  EXPECT_EQ(view->tool, vimgedviewERASER) << "Return: back to the previous tool";
  win::test::Type("-");
  settle();
  EXPECT_EQ(view->zoom, 3);
  win::test::Type("+");  // Shift and the "=" key
  settle();
  EXPECT_EQ(view->zoom, 4);
}

TEST_F(ViewTest, ACopyShowsTheSameEditorWithBarsOfItsOwn) {
  open(40, 30, 3);
  vimgedviewSetHorizontalBar(view, 1);
  vimgedviewSetTool(view, vimgedviewSPRAY);
  vimgedviewSetForeground(view, 9);
  auto* copy = static_cast<vimgedview*>(vobjectClone(view));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->editor, model);
  EXPECT_EQ(model->viewsEnd - model->viewsBegin, 2);
  EXPECT_NE(copy->hbar, nullptr);
  EXPECT_NE(copy->hbar, view->hbar);
  EXPECT_EQ(copy->vbar, nullptr);
  EXPECT_EQ(copy->zoom, 3);
  EXPECT_EQ(copy->tool, vimgedviewSPRAY);
  EXPECT_EQ(copy->foreground, 9u);
  // Both show a change of the editor.
  vimgedSetPixel(model, 5, 1, 0, 0);
  vinstanceDestroy(copy);
  EXPECT_EQ(model->viewsEnd - model->viewsBegin, 1);
}

TEST_F(ViewTest, ValuesPastAShortenedPaletteShowBlack) {
  open(8, 6, 4);
  vimgedSetPixel(model, 200, 1, 0, 0);
  vcolorList* few = vcolorListCreate();
  vcolorListSetCount(few, 4);
  for (std::uint32_t i = 0; i < 4; ++i) vcolorSetSpecRGB(&few->entries[i], 0xFFFF, 0x8000, 0);
  vimgedSetPalette(model, few, 0);
  vcolorListDestroy(few);
  EXPECT_EQ(vimgedviewPixelRGB(view, 200), 0u);
  EXPECT_EQ(vimgedviewPixelRGB(view, 3), 0xFF8000u);
  vimgedviewClassOf(view)->renderVisible(view);
  testimg::Pixels shown = testimg::pixelsOf(view->imageBuffer);
  EXPECT_EQ(shown[0], 0u) << "pixel (0, 0): past the palette";
  EXPECT_EQ(shown[4], 0xFF8000u) << "pixel (1, 0): value 0";
}

}  // namespace
}  // namespace testview

#include "fw/imaging/vimged_color.h"

namespace testview {
namespace {

// The colour controls read the view's colours; the dropper's pick shows in
// the foreground swatch at once.
TEST_F(ViewTest, TheDroppersPickShowsInTheColourControls) {
  open(20, 16, 4, {10, 40, 200, 150});
  auto* item = static_cast<vimgedutilsFgBgItem*>(vinstanceCreate(vimgedutilsGetFgBgItemClass()));
  vrect r{10, 4, 40, 32};
  vdialogSetItemRect(item, &r);
  vimgedutilsSetFgBgItemView(item, view);
  vdialogAppendItem(dialog, item);
  settle();
  vimgedSetPixel(model, 12, 1, 4, 4);
  vimgedviewSetTool(view, vimgedviewDROPPER);
  press(cellPoint(4, 4));
  release(cellPoint(4, 4));
  ASSERT_EQ(view->foreground, 12u);
  win::test::Image shot = win::test::WindowImage(dialog->native->hwnd);
  int x = item->foreground.x + item->foreground.width / 2, y = item->foreground.y + item->foreground.height / 2;
  EXPECT_EQ(shot.px[std::size_t((dialog->rect.height - 1 - y) * shot.width + x)] & 0xFFFFFF,
            vimgedviewPixelRGB(view, 12));
}

}  // namespace
}  // namespace testview
