// List views: the grid placed in the window, scrolling by cells, pixels
// and selection with the repaint each move asks for, hit testing, the
// automatic vertical scroll bar, requested origins kept while closed, a
// one-cell list, the press record, selections set twice and lists replaced.
#include "fw/widgets/lists/listview.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fw/widgets/controls/scrollbar.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/hooks.h"
#include "fw/widgets/lists/liststr.h"
#include "tests/fw/core/event_support.h"
#include "tests/fw/gui/raises.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/dialog_support.h"
#include "tests/fw/widgets/listview_support.h"
#include "tests/support/png_compare.h"

namespace {

using namespace lvtest;

TEST(ListViewGeometry, ScrollingByCellsClampsAndMovesThePixelsOfSmallSteps) {
  Fixture f(100, 4);
  EXPECT_EQ(f.range(), "0,0..4,3 at 0,0");
  vrect cell;
  vlistviewGetCellRect(f.view, 0, 1, &cell);
  EXPECT_EQ(rectText(cell), "50,80 50x20");  // grid y down: row 0 at the top
  vlistviewGetCellInnerRect(f.view, 0, 1, &cell);
  EXPECT_EQ(rectText(cell), "51,81 48x18");
  EXPECT_EQ(vlistviewGetCellInnerSize(f.view, 3), 48);

  vlistviewScrollBy(f.view, -5, 0);  // from row 0: stays
  EXPECT_EQ(f.range(), "0,0..4,3 at 0,0");
  EXPECT_TRUE(trace.empty());

  vlistviewScrollBy(f.view, 1000000000, 7);  // the last cell's corner meets the content's
  // The first row is the one whose bottom touches the content's top.
  EXPECT_EQ(f.range(), "94,0..99,3 at 0,1900");
  EXPECT_EQ(f.view->vOffset, 20);
  EXPECT_EQ(trace, (std::vector<std::string>{"scrolled 0,1900", "inval 0,0 200x100"}));  // a large move
  vlistviewGetCellRect(f.view, 99, 3, &cell);
  EXPECT_EQ(rectText(cell), "150,0 50x20");

  trace.clear();
  vlistviewScrollBy(f.view, -1, 0);  // one row back: the pixels move down, the top strip is exposed
  EXPECT_EQ(f.range(), "93,0..98,3 at 0,1880");
  EXPECT_EQ(trace, (std::vector<std::string>{"scrolled 0,-20", "scroll 0,0 200x100 by 0,-20"}));

  trace.clear();
  vlistviewSetScrollMode(f.view, vlistviewSCROLL_REPAINT);
  vlistviewScrollToCell(f.view, 10, 0);
  vlistviewSetScrollMode(f.view, vlistviewSCROLL_NONE);
  vlistviewScrollToCell(f.view, 11, 0);
  EXPECT_EQ(trace, (std::vector<std::string>{"scrolled 0,-1680", "inval 0,0 200x100", "scrolled 0,20"}));
}

TEST(ListViewGeometry, PixelScrollsLeaveAPartialRowAndPointsMapIntoTheList) {
  Fixture f(100, 4);
  vlistviewScrollByPixels(f.view, 7, -3);  // (dy, dx); x clamps at 0
  EXPECT_EQ(f.range(), "0,0..5,3 at 0,7");
  EXPECT_EQ(f.view->vOffset, 7);
  std::int32_t row = 0, column = 0;
  _vlistviewGetFirstFullCell(f.view, &row, &column);
  EXPECT_EQ(row, 1);  // row 0 is cut
  EXPECT_EQ(f.cellAt(10, 99), "0,0");
  EXPECT_EQ(f.cellAt(10, 86), "1,0");
  vlistviewScrollByPixelsAB(f.view, 5, 3);  // to (x - 5, y + 3)
  EXPECT_EQ(f.range(), "0,0..5,3 at 0,10");
  vlistviewScrollBy(f.view, 1, 0);  // from the first full row, 1
  EXPECT_EQ(f.range(), "1,0..6,3 at 0,40");

  // Below the content: the last visible row; right of it: the last column.
  EXPECT_EQ(f.cellAt(250, -10), "6,3");
  Fixture few(3, 2);  // a point below the last row of a short list
  EXPECT_EQ(few.cellAt(60, 5), "2,1");
}

TEST(ListViewGeometry, OneRowOneColumnListsStayAtTheirOnlyCell) {
  Fixture f(1, 1);
  EXPECT_EQ(f.range(), "0,0..0,0 at 0,0");
  vlistviewScrollBy(f.view, 3, 3);
  EXPECT_EQ(f.range(), "0,0..0,0 at 0,0");
  EXPECT_EQ(f.cellAt(199, 0), "0,0");
  vlistviewInvalCell(f.view, 0, 0);
  vlistviewInvalCell(f.view, 1, 0);  // outside the range: nothing
  EXPECT_EQ(trace, (std::vector<std::string>{"inval 0,80 50x20"}));
}

TEST(ListViewGeometry, AClosedViewKeepsTheRequestedOriginUntilOpened) {
  Fixture f(100, 4, false);
  vlistviewScrollToCell(f.view, 50, 2);
  EXPECT_EQ(f.view->originY, 1000);
  EXPECT_TRUE(trace.empty());
  vdialogOpenItem(f.view);
  EXPECT_EQ(f.range(), "49,0..54,3 at 0,1000");
  vrect cell;
  vlistviewGetCellRect(f.view, 50, 0, &cell);
  EXPECT_EQ(rectText(cell), "0,80 50x20");
}

TEST(ListViewGeometry, TheAutomaticVerticalBarComesWithRowsBeyondTheView) {
  Fixture f(3, 4, false);
  _vlistviewSetAutoVScroll(f.view, 1);
  vlistviewSetScrollBarMargin(f.view, 2);
  vdialogOpenItem(f.view);
  vslider* probe = vsliderScrollBarCreate();
  vcontrolSetVertical(probe, 1);
  int barWidth = 0, h = 0;
  vdialogGetItemNaturalSize(probe, &barWidth, &h);
  vinstanceDestroy(probe);
  EXPECT_EQ(f.view->vbar, nullptr);  // 60 pixels of rows fit
  EXPECT_EQ(f.view->content.width, 200 - barWidth - 2);

  vlistSetRowCount(f.list, 10);  // 200 pixels do not
  ASSERT_NE(f.view->vbar, nullptr);
  EXPECT_EQ(f.view->content.width, 200 - barWidth - 2);
  EXPECT_EQ(f.view->vbar->max, 200);
  EXPECT_EQ(f.view->vbar->view, 100);
  EXPECT_EQ(f.view->vbar->increment, 20);

  // The bar scrolls the view through its notify, counted from the far end.
  vcontrolSetValue(f.view->vbar, 200 - 100 - 60);
  vdialogNotifyItem(f.view->vbar, nullptr);
  EXPECT_EQ(f.range(), "2,0..7,3 at 0,60");

  vlistSetRowCount(f.list, 2);
  EXPECT_EQ(f.view->vbar, nullptr);
  EXPECT_EQ(f.range(), "0,0..1,3 at 0,0");
}

// A column and a row wider and taller than 16 bits hold, in a view with
// both bars: the bars step by the most they can, the cell scrolled half way
// covers the content, and near its far edges points hit the right cells.
TEST(ListViewGeometry, CellsPast16BitsStepCoverAndHitTest) {
  Fixture f(3, 3);
  vlistviewSetHorizontalBar(f.view, 1);
  vlistviewSetVerticalBar(f.view, 1);
  EXPECT_EQ(raised([&] {
              vlistviewSetColumnWidth(f.view, 0, 69998);  // cells of 70,000 with the border
              vlistviewSetRowHeight(f.view, 0, 69998);
            }),
            nullptr);
  ASSERT_NE(f.view->hbar, nullptr);
  EXPECT_EQ(f.view->hbar->increment, 32767);
  EXPECT_EQ(f.view->vbar->increment, 32767);
  EXPECT_EQ(f.view->hbar->max, 70100);

  const vrect& k = f.view->content;
  int top = k.y + k.height;
  vlistviewScrollByPixels(f.view, 35000, 35000);
  vrect cell;
  vlistviewGetCellRect(f.view, 0, 0, &cell);
  EXPECT_LT(cell.x, k.x) << rectText(cell);
  EXPECT_GT(cell.x + cell.width, k.x + k.width) << rectText(cell);
  EXPECT_LT(cell.y, k.y) << rectText(cell);
  EXPECT_GT(cell.y + cell.height, top) << rectText(cell);
  vlistviewGetCellInnerRect(f.view, 0, 0, &cell);
  EXPECT_LT(cell.x, k.x) << rectText(cell);
  EXPECT_GT(cell.x + cell.width, k.x + k.width) << rectText(cell);
  EXPECT_EQ(f.cellAt(k.x + 10, top - 10), "0,0");

  // 100 pixels of the column and 60 of the row left in view.
  vlistviewScrollByPixels(f.view, 69940 - 35000, 69900 - 35000);
  ASSERT_EQ(f.view->originX, 69900);
  ASSERT_EQ(f.view->originY, 69940);
  vlistviewGetCellRect(f.view, 0, 0, &cell);
  EXPECT_EQ(cell.x + cell.width, k.x + 100) << rectText(cell);
  EXPECT_EQ(cell.y, top - 60) << rectText(cell);
  vlistviewGetCellRect(f.view, 1, 1, &cell);
  EXPECT_EQ(rectText(cell), rectText(vrect{std::int16_t(k.x + 100), std::int16_t(top - 80), 50, 20}));
  struct Hit {
    int dx, dy;  // from the content's top left
    const char* cell;
  } hits[] = {{50, 30, "0,0"}, {99, 59, "0,0"}, {101, 30, "0,1"}, {151, 30, "0,2"}, {50, 61, "1,0"}, {120, 70, "1,1"}};
  for (const Hit& h : hits) EXPECT_EQ(f.cellAt(k.x + h.dx, top - h.dy), h.cell) << h.dx << "," << h.dy;
}

TEST(ListViewGeometry, ScrollingToTheSelectionOnlyWhenNoneOfItIsVisible) {
  Fixture f(100, 4);
  vlistSelectRange(f.list, f.view->selection, 50, 2, 1, 1);
  vlistviewScrollToSelection(f.view);
  EXPECT_EQ(f.range(), "49,0..54,3 at 0,1000");
  vlistSelectRange(f.list, f.view->selection, 52, 1, 1, 1);
  vlistSelectRange(f.list, f.view->selection, 10, 0, 1, 1);
  trace.clear();
  vlistviewScrollToSelection(f.view);  // (52, 1) shows: no move
  EXPECT_EQ(f.range(), "49,0..54,3 at 0,1000");
  EXPECT_TRUE(trace.empty());
}

TEST(ListViewClass, SelectionsSetAgainAndListsReplacedFreeNothingTwice) {
  Fixture f(5, 2);
  vlistSetSelectionMode(f.list, f.view->selection, vlistONE_ONLY_SELECTION);
  vlistSetSelectionAtLeastOne(f.list, f.view->selection, 1);
  vlistviewSetSelection(f.view, f.view->selection);  // its own again: kept
  vlistSelectRange(f.list, f.view->selection, 1, 1, 1, 1);
  EXPECT_TRUE(vlistIsCellSelected(f.list, f.view->selection, 1, 1));

  vlist* other = vlistCreate();
  vlistSetRowCount(other, 2);
  vlistSetColumnCount(other, 2);
  vlistviewSetList(f.view, other);  // the mode and flags carry over
  EXPECT_EQ(f.view->selection->mode, vlistONE_ONLY_SELECTION);
  EXPECT_EQ(f.view->oldSelection->mode, vlistONE_ONLY_SELECTION);
  EXPECT_TRUE(f.view->pendingSelection->flags & vlistAT_LEAST_ONE);
  vlistviewSetList(f.view, other);  // a second time
  vinstanceDestroy(other);  // the observer sets the list to none
  EXPECT_EQ(f.view->list, nullptr);
  EXPECT_EQ(f.view->selection, nullptr);
  vlistviewSetList(f.view, f.list);
}

TEST(ListViewClass, TheFocusFollowsDeletionsAndTheHooksReadTheView) {
  Fixture f(10, 2);
  f.view->focusRow = 8;
  vlistClassOf(f.list)->remove(f.list, 2, 3, vlistROWS);
  EXPECT_EQ(f.view->focusRow, 5);
  vlistSetRowCount(f.list, 3);
  EXPECT_EQ(f.view->focusRow, 2);

  vwindowHooks hooks = vwindowDefaultHooks();
  vwidgetsFillWindowHooks(&hooks);
  static int notified = 0;
  vlistviewSetNotify(f.view, [](vinstance*, int code) { notified = code; });
  EXPECT_TRUE(hooks.listviewItemFlags(f.view) & vdialogItemOPEN);
  EXPECT_EQ(hooks.listviewOptions(f.view) & vlistviewSILENT, 0u);
  hooks.listviewNotifyFunction(f.view)(f.view, 3);
  EXPECT_EQ(notified, 3);
}

TEST(ListViewClass, TheClickCountBelongsToTheTrackedViewAlone) {
  Fixture f(3, 3);
  Fixture g(3, 3);
  _vlistviewTrackPress(f.view, 2);
  EXPECT_EQ(vlistviewGetClickCount(f.view), 2);
  EXPECT_EQ(vlistviewGetClickCount(g.view), 0);
  _vlistviewEndPress();
  EXPECT_EQ(vlistviewGetClickCount(f.view), 0);
  {
    Fixture h(2, 2);
    _vlistviewTrackPress(h.view, 1);
  }  // destroyed while tracked: forgotten
  Fixture k(2, 2);
  EXPECT_EQ(vlistviewGetClickCount(k.view), 0);
}

TEST(ListViewPointer, ADoubleClickCountsForThePressedViewOnly) {
  Fixture f(5, 4), g(5, 4);
  press(f.view, cx(1), cy(1), vname_Select, 2);
  EXPECT_EQ(vlistviewGetClickCount(f.view), 2);
  EXPECT_EQ(vlistviewGetClickCount(g.view), 0);
  release(f.view, cx(1), cy(1));
  EXPECT_EQ(vlistviewGetClickCount(f.view), 0);
}

TEST(ListViewPointer, ASelectDragCoversTheRectangleAndShrinksBack) {
  Fixture f(5, 4);
  notes.clear();
  vlistviewSetNotify(f.view, noteCode);
  press(f.view, cx(1), cy(1));
  drag(f.view, cx(2), cy(3));
  EXPECT_EQ(selected(f.view), "");  // shown only on release
  release(f.view, cx(2), cy(3));
  EXPECT_EQ(selected(f.view), "11 12 21 22 31 32 ");
  EXPECT_EQ(f.view->focusRow, 3);
  EXPECT_EQ(f.view->focusColumn, 2);
  EXPECT_EQ(notes, (std::vector<int>{1, 2, 3}));

  press(f.view, cx(1), cy(1));
  drag(f.view, cx(2), cy(3));
  drag(f.view, cx(1), cy(1));
  release(f.view, cx(1), cy(1));
  EXPECT_EQ(selected(f.view), "11 ");
}

TEST(ListViewPointer, DraggingBelowScrollsARowATickAndExtendsTheSelection) {
  SimulatedClock clock;
  Fixture f(100, 4);
  f.view->options |= vlistviewAUTO_SCROLL;
  press(f.view, cx(0), cy(0));
  drag(f.view, cx(0), -5);  // below the content
  EXPECT_EQ(f.view->originY, 0);
runFor(35'000'000);
  // Three ticks, each the first full row's inner height; the selection
  // reaches row 7, the last shown at the release.
  EXPECT_EQ(f.view->originY, 54);
  release(f.view, cx(0), -5);  // and a last tick
  EXPECT_EQ(f.view->originY, 72);
  EXPECT_EQ(selected(f.view), "00 10 20 30 40 50 60 70 ");
  EXPECT_EQ(vlistCountSelectedCells(f.list, f.view->pendingSelection), 0);
}

TEST(ListViewPointer, AViewDestroyedWhileItsDragScrollsStopsTheTimer) {
  SimulatedClock clock;
  auto* f = new Fixture(100, 4);
  f->view->options |= vlistviewAUTO_SCROLL;
  press(f->view, cx(0), cy(0));
  drag(f->view, cx(0), -5);
  delete f;
runFor(30'000'000);  // no tick reaches the destroyed view
  Fixture g(3, 3);
  EXPECT_EQ(vlistviewGetClickCount(g.view), 0);
}

TEST(ListViewPointer, AdjustAddsOrWithTheOptionRemovesTheCellsCrossed) {
  Fixture f(6, 2);
  vlistSelectRange(f.list, f.view->selection, 2, 0, 3, 1);
  press(f.view, cx(1), cy(0), vname_Adjust);
  release(f.view, cx(1), cy(0));
  EXPECT_EQ(selected(f.view), "01 20 30 40 ");
  f.view->options |= vlistviewADJUST_REMOVES;
  press(f.view, cx(0), cy(2), vname_Adjust);
  drag(f.view, cx(0), cy(3));
  release(f.view, cx(0), cy(3));
  EXPECT_EQ(selected(f.view), "01 40 ");
}

TEST(ListViewKeys, FocusMovesWrapOnlyWithTheOptionAndPassOverHiddenColumns) {
  Fixture f(3, 3);
  vlistviewSetColumnWidth(f.view, 1, 0);
  vlistviewMoveFocus(f.view, 0, 1);
  EXPECT_EQ(f.view->focusColumn, 2);
  vlistviewMoveFocus(f.view, 0, 1);
  EXPECT_EQ(f.view->focusColumn, 2);
  vlistviewMoveFocus(f.view, 5, 0);
  EXPECT_EQ(f.view->focusRow, 2);
  f.view->options |= vlistviewWRAP;
  vlistviewMoveFocus(f.view, 0, 1);
  EXPECT_EQ(f.view->focusColumn, 0);
  vlistviewMoveFocus(f.view, 0, -1);
  EXPECT_EQ(f.view->focusColumn, 2);
  vlistviewMoveFocus(f.view, 1, 0);
  EXPECT_EQ(f.view->focusRow, 0);
}


TEST(ListViewKeys, PagesStayInTheListAndMoveTheWayOfTheKey) {
  Fixture f(100, 4);
  selector(f.view, 16);  // page up from row 0
  EXPECT_EQ(f.view->focusRow, 0);
  selector(f.view, 17);  // five whole rows shown: four
  EXPECT_EQ(f.view->focusRow, 4);
  selector(f.view, 9);
  EXPECT_EQ(f.view->focusRow, 99);
  selector(f.view, 17);
  EXPECT_EQ(f.view->focusRow, 99);

  Fixture small(3, 3);
  vrect r{0, 0, 50, 20};
  vdialogSetItemRect(small.view, &r);
  selector(small.view, 17);  // one cell high: a step of at least 1
  EXPECT_EQ(small.view->focusRow, 1);
  selector(small.view, 15);
  EXPECT_EQ(small.view->focusColumn, 1);
  selector(small.view, 14);  // leftward, never past column 0
  EXPECT_EQ(small.view->focusColumn, 0);
  selector(small.view, 14);
  EXPECT_EQ(small.view->focusColumn, 0);
}

TEST(ListViewKeys, SelectKeepsTheOnlyCellOfAnAtLeastOneSelection) {
  Fixture f(3, 3);
  vlistSetSelectionMode(f.list, f.view->selection, vlistONE_ONLY_SELECTION);
  selector(f.view, 3);
  EXPECT_EQ(selected(f.view), "00 ");
  vlistSetSelectionAtLeastOne(f.list, f.view->selection, 1);
  selector(f.view, 3);
  EXPECT_EQ(selected(f.view), "00 ");
  vlistSetSelectionAtLeastOne(f.list, f.view->selection, 0);
  selector(f.view, 3);
  EXPECT_EQ(selected(f.view), "");
}

TEST(ListViewKeys, TypeAheadFindsByPrefixUntilItsTimerEmptiesTheBuffer) {
  SimulatedClock clock;
  vliststr* words = vliststrCreate();
  vlistSetRowCount(words, 4);
  vlistSetColumnCount(words, 1);
  const char* texts[] = {"apple", "abacus", "banana", "abc"};
  for (int i = 0; i < 4; ++i) vliststrSetCellScribed(words, i, 0, vscribeLiteral(texts[i]));
  Fixture f(4, 1, true, words);
  vlistviewTypeAhead(f.view, 'a');
  vlistviewTypeAhead(f.view, 'b');
  EXPECT_EQ(selected(f.view), "10 ");
  EXPECT_EQ(f.view->focusRow, 1);
runFor(1'100'000'000);
  vlistviewTypeAhead(f.view, 'b');  // a new search
  EXPECT_EQ(selected(f.view), "20 ");
  vlistviewTypeAhead(f.view, 'X');  // "bX" matches nothing: unchanged
  EXPECT_EQ(selected(f.view), "20 ");
}

// Rows 20 pixels tall in a 100-pixel view: row 2000 lies past 32,767
// pixels, and row 3277 exactly 65,536 pixels below a place in view, where
// a 16-bit rectangle would show it as already visible.
TEST(ListViewKeys, TypingAndArrowsScrollToRowsFarBelowTheView) {
  for (std::int32_t target : {2000, 3277}) {
    for (bool typed : {true, false}) {
      SCOPED_TRACE(std::to_string(target) + (typed ? " typed" : " arrow"));
      vliststr* words = vliststrCreate();
      vlistSetRowCount(words, 5000);
      vlistSetColumnCount(words, 1);
      for (std::int32_t r = 0; r < 5000; ++r) vliststrSetCellScribed(words, r, 0, vscribeLiteral(r == target ? "zz" : "a"));
      Fixture f(5000, 1, true, words);
      vlistviewSetFocusShown(f.view, 1);
      if (typed) {
        SimulatedClock clock;
        _vlistviewClearTypeAhead();  // a search left by an earlier view
        vlistviewTypeAhead(f.view, 'z');
        _vlistviewClearTypeAhead();
      } else {
        vlistviewSetFocusCell(f.view, target - 1, 0);
        vlistviewArrowMove(f.view, 3);
      }
      ASSERT_EQ(f.view->focusRow, target);
      EXPECT_GE(target, f.view->firstRow);
      EXPECT_LE(target, f.view->lastRow);
      vrect cell;
      vlistviewGetCellRect(f.view, target, 0, &cell);
      EXPECT_GE(cell.y, f.view->content.y);
      EXPECT_LE(cell.y + cell.height, f.view->content.y + f.view->content.height);
    }
  }
}

TEST(ListViewSizes, ContentNaturalAndMinimumSizesFollowTheCellsFrameAndBars) {
  Fixture f(3, 2);
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(f.view, &w, &h);
  EXPECT_EQ(w, 100);  // the last cell's right and bottom edges
  EXPECT_EQ(h, 60);
  vdialogGetItemMinSize(f.view, &w, &h);
  EXPECT_EQ(w, 2);  // twice the Windows cell border
  EXPECT_EQ(h, 2);
  vdialogSetItemBorder(f.view, 1);  // the frame border on every side
  vdialogGetItemNaturalSize(f.view, &w, &h);
  EXPECT_EQ(w, 102);
  vdialogGetItemMinSize(f.view, &w, &h);
  EXPECT_EQ(w, 4);

  vslider* probe = vsliderScrollBarCreate();
  vcontrolSetVertical(probe, 1);
  int barWidth = 0, barHeight = 0, barMin = 0, unused = 0;
  vdialogGetItemNaturalSize(probe, &barWidth, &barHeight);
  vdialogGetItemMinSize(probe, &unused, &barMin);
  vinstanceDestroy(probe);
  _vlistviewSetAutoVScroll(f.view, 1);  // no bar yet: a probe's width and minimum height
  vdialogGetItemNaturalSize(f.view, &w, &h);
  EXPECT_EQ(w, 102 + barWidth);
  vdialogGetItemMinSize(f.view, &w, &h);
  EXPECT_EQ(h, std::max(2, barMin) + 2);

  vlistviewSetList(f.view, nullptr);  // no cells: 15 x 15
  _vlistviewSetAutoVScroll(f.view, 0);
  vdialogGetItemNaturalSize(f.view, &w, &h);
  EXPECT_EQ(w, 17);
  EXPECT_EQ(h, 17);
  vlistviewSetList(f.view, f.list);
}

// ---- Pictures, each look in a process of its own: grid lines, a
// selected cell and the focus in one view, a Select drag held in another.
// The probe's output, empty when it ran cleanly.
std::string runProbe(const std::string& arguments) {
  std::string out;
  if (FILE* p = popen((std::string(LISTVIEW_PROBE) + " " + arguments + " 2>&1").c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    if (pclose(p) != 0) out += "probe failed";
  }
  return out;
}
::testing::AssertionResult pictureMatches(const std::string& laf, const std::string& mode) {
  std::string png = (std::filesystem::temp_directory_path() /
                     (std::to_string(getpid()) + "_listview_" + mode + "_" + laf + ".png"))
                        .string();
  std::string out = runProbe("-laf " + laf + " " + mode + " " + png);
  if (!out.empty()) return ::testing::AssertionFailure() << out;
  win::test::Image image;
  if (!win::test::ReadPng(png, image)) return ::testing::AssertionFailure() << "no picture";
  std::filesystem::remove(png);
  return test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/listview/" + mode + "_" + laf + ".png",
                                  8);
}
class ListViewPictures : public ::testing::TestWithParam<const char*> {};
TEST_P(ListViewPictures, CellsDrawAsStored) { EXPECT_TRUE(pictureMatches(GetParam(), "cells")); }
// Both bars, a scrolled origin, the selection, the focus and a drop mark.
TEST_P(ListViewPictures, WholeViewsWithBarsDrawAsStored) { EXPECT_TRUE(pictureMatches(GetParam(), "bars")); }
// Frame colours ring by ring, where labels start, the focus of an empty
// list and the disabled Windows labels, pixel for pixel.
TEST_P(ListViewPictures, FramesLabelsAndFocusHaveTheirExactPixels) {
  EXPECT_EQ(runProbe(std::string("-laf ") + GetParam() + " pixels"), "");
}
// Lists of 1,600 to 5,003 rows of 22 pixels: every visible row labelled
// wherever the list is scrolled, and the drop mark shown at its end.
TEST_P(ListViewPictures, ListsPast16BitHeightsDrawEveryVisibleRow) {
  EXPECT_EQ(runProbe(std::string("-laf ") + GetParam() + " tall"), "");
}
// A column and a row of 70,000 pixels scrolled half way and near their far
// edge draw as ones of 20,000 scrolled alike.
TEST_P(ListViewPictures, CellsPast16BitSizesDrawWhereTheyShow) {
  EXPECT_EQ(runProbe(std::string("-laf ") + GetParam() + " wide"), "");
}
INSTANTIATE_TEST_SUITE_P(EveryLook, ListViewPictures, ::testing::Values("windows", "win95", "motif", "cua", "openlook"));

}  // namespace
