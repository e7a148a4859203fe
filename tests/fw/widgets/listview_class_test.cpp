// List views as a class: the keys of its command space, the resource form
// and copies, the observer's reactions to the model (strips moved or
// invalidated, notifications held back while the list is suspended), a
// row dragged to a new place with its drop mark, and the focus slots.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/widgets/lists/liststr.h"
#include "tests/fw/core/event_support.h"
#include "tests/fw/widgets/listview_support.h"

namespace {

using namespace lvtest;

void key(vlistview* v, std::uint32_t code, std::uint32_t modifiers = 0, int character = 0) {
  vevent* e = veventCreateKeyDown(nullptr, 0, 0, 0, modifiers, code, character);
  vlistviewClassOf(v)->keyDown(v, e);
  veventDestroy(e);
}

std::vector<std::string> modes;
void noteCodeAndMode(vinstance* v, int code) {
  notes.push_back(code);
  modes.push_back(std::to_string(vlistviewGetNotifyMode(static_cast<vlistview*>(v))));
}

TEST(ListViewCommands, ReturnTriggersTheActionAndShiftArrowsExtendTheSelection) {
  Fixture f(6, 4);
  f.view->options |= vlistviewFOCUS_SHOWN;
  notes.clear(), modes.clear();
  vlistviewSetNotify(f.view, noteCodeAndMode);
  key(f.view, 0xFC0D);  // Return
  key(f.view, 0xFC8D);  // keypad Enter
  EXPECT_EQ(notes, (std::vector<int>{1, 3, 1, 3}));
  EXPECT_EQ(modes, (std::vector<std::string>{"2", "2", "2", "2"}));
  EXPECT_EQ(vlistviewGetNotifyMode(f.view), 0);  // restored afterwards

  press(f.view, cx(1), cy(1));  // the anchor and the focus
  release(f.view, cx(1), cy(1));
  notes.clear();
  key(f.view, 0xFC54, 4);  // Shift+Down: from the anchor to the new focus
  key(f.view, 0xFC53, 4);  // Shift+Right
  EXPECT_EQ(selected(f.view), "11 12 21 22 ");
  EXPECT_EQ(f.view->focusRow, 2);
  EXPECT_EQ(f.view->focusColumn, 2);
  EXPECT_EQ(notes, (std::vector<int>{1, 3, 1, 3}));  // one change each
  key(f.view, 0xFC54);  // a plain arrow is not an extend key: nothing of ours
  EXPECT_EQ(selected(f.view), "11 12 21 22 ");
}

TEST(ListViewCommands, TheGlobalHookHearsEveryNotificationFirst) {
  Fixture f(3, 3);
  static std::vector<std::string> heard;
  heard.clear();
  vlistviewSetGlobalNotify([](vinstance*, int code) { heard.push_back("hook " + std::to_string(code)); });
  vlistviewSetNotify(f.view, [](vinstance*, int code) { heard.push_back("view " + std::to_string(code)); });
  vlistSelectRange(f.list, f.view->selection, 1, 1, 1, 1);  // a change by the client
  f.view->state |= vlistviewSILENT;
  selector(f.view, 32);
  vlistviewSetGlobalNotify(nullptr);
  EXPECT_EQ(heard, (std::vector<std::string>{"hook 1", "view 1", "hook 3", "view 3", "hook 1", "hook 3"}));
}

// ---- The resource form and copies.
TEST(ListViewResources, StoredBarsAndBorderComeBackAndTheScrollValuesDoNot) {
  Fixture f(50, 4);
  vlistviewSetVerticalBar(f.view, 1);
  f.view->attributes &= ~0x1000u;  // the stored word follows the bars whatever this says
  vdialogSetItemBorder(f.view, 1);
  vlistviewScrollToCell(f.view, 20, 0);
  f.view->focusRow = 7;
  vresource root = vresourceCreateMemoryIn(0);
  vresource res = vresourceCreate(root, vnameInternLiteral("L"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(f.view)->store(f.view, res);
  auto get = [&](const char* name) { return vresourceGetInteger(res, vnameInternLiteral(name)); };
  EXPECT_EQ(get("Attributes"), 0x43D | 0x1000);
  EXPECT_EQ(get("VScrollValue"), 400);
  EXPECT_EQ(get("FocusRow"), 7);
  EXPECT_EQ(get("ConstantWidth"), 48);  // explicit sizes: the inner width
  EXPECT_EQ(get("ConstantHeight"), 18);

  auto* back = static_cast<vlistview*>(vobjectLoad(res));
  EXPECT_NE(back->vbar, nullptr);
  EXPECT_EQ(back->hbar, nullptr);
  EXPECT_EQ(back->originY, 0);
  EXPECT_EQ(back->focusRow, 7);
  EXPECT_TRUE(back->flags & vdialogItemBORDER);
  EXPECT_EQ(back->state & vlistviewFIT_WIDTH, vlistviewFIT_WIDTH);
  vclassRec<vobjectClassRec>(back)->store(back, res);
  EXPECT_EQ(get("ConstantWidth"), -1);  // still fitting to the view
  vinstanceDestroy(back);

  vresourceSetInteger(res, vnameInternLiteral("Attributes"), 0x800);  // no border, a horizontal bar
  back = static_cast<vlistview*>(vobjectLoad(res));
  EXPECT_NE(back->hbar, nullptr);
  EXPECT_EQ(back->vbar, nullptr);
  EXPECT_FALSE(back->flags & vdialogItemBORDER);
  EXPECT_EQ(back->attributes & 0x20, 0u);
  vinstanceDestroy(back);
  vresourceCloseFile(root);
}

TEST(ListViewResources, ACopyShowsTheSameListWithItsOwnSelectionsBarsAndSizes) {
  Fixture f(10, 3);
  vlistviewSetHorizontalBar(f.view, 1);
  vlistSelectRange(f.list, f.view->selection, 2, 1, 2, 1);
  f.view->focusRow = 3;
  auto* copy = static_cast<vlistview*>(vobjectClone(f.view));
  EXPECT_EQ(copy->list, f.list);
  EXPECT_NE(copy->selection, f.view->selection);
  EXPECT_EQ(selected(copy), "21 31 ");
  EXPECT_EQ(copy->focusRow, 3);
  ASSERT_NE(copy->hbar, nullptr);
  EXPECT_NE(copy->hbar, f.view->hbar);
  EXPECT_EQ(reinterpret_cast<vlistview*>(copy->hbar->data), copy);
  EXPECT_NE(copy->size, f.view->size);
  EXPECT_EQ(vlistviewGetCellInnerSize(copy, 1), 48);
  vlistUnselectRange(f.list, copy->selection, 0, 0, 10, 3);  // the original's stays
  EXPECT_EQ(selected(f.view), "21 31 ");
  vinstanceDestroy(copy);
  vlistSetRowCount(f.list, 12);  // no observer of the copy is left behind
  EXPECT_EQ(vlistviewGetCellInnerHeight(f.view, 11), 18);
}

TEST(ListViewResources, TheBorderSetterKeepsAttributeAndFrameInStep) {
  Fixture f(3, 3);
  EXPECT_EQ(f.view->attributes & 0x20, 0u);  // the fixture has no frame
  vdialogSetItemBorder(f.view, 1);
  EXPECT_EQ(f.view->attributes & 0x20, 0x20u);
  EXPECT_EQ(f.view->options & vlistviewFRAME, vlistviewFRAME);
  EXPECT_EQ(f.view->content.width, 200 - 2);  // one pixel of Windows frame each side
  vdialogSetItemBorder(f.view, 0);
  EXPECT_EQ(f.view->attributes & 0x20, 0u);
  EXPECT_EQ(f.view->content.width, 200);
}

// ---- The observer. Rows are 20 pixels, five shown from the top.
TEST(ListViewObserver, InsertedAndDeletedRowsMoveTheStripBelowThemOrInvalidateIt) {
  Fixture f(20, 4);
  vlistClassOf(f.list)->insert(f.list, 2, 1, vlistROWS);  // the strip from row 2's top moves down a row
  EXPECT_EQ(trace.front(), "scroll 0,0 200x60 by 0,-20");
  trace.clear();
  vlistClassOf(f.list)->remove(f.list, 1, 2, vlistROWS);  // the strip from row 1 moves up two
  EXPECT_EQ(trace.front(), "scroll 0,0 200x80 by 0,40");
  trace.clear();
  vlistviewSetUpdateMode(f.view, 1);
  vlistClassOf(f.list)->insert(f.list, 3, 1, vlistROWS);
  EXPECT_EQ(trace.front(), "inval 0,0 200x40");
  trace.clear();
  vlistClassOf(f.list)->insert(f.list, 12, 1, vlistROWS);  // below the view: nothing shown moves
  EXPECT_TRUE(trace.empty() || trace.front().rfind("scroll", 0) != 0);
  trace.clear();
  vlistviewSetUpdateMode(f.view, 0);
  vlistClassOf(f.list)->insert(f.list, 1, 1, vlistCOLUMNS);  // columns move right
  EXPECT_EQ(trace.front(), "scroll 50,0 150x100 by 50,0");
  EXPECT_EQ(vlistviewGetCellInnerSize(f.view, 4), 48);
}

TEST(ListViewObserver, ASuspendedChangeNotifiesOneBeginAndOneEndOnResume) {
  Fixture f(4, 1);
  static int callbacks = 0;
  callbacks = 0;
  vlistviewSetSelectionCallback(f.view, [](vlistview*, vlistSelection*) { ++callbacks; });
  notes.clear();
  vlistviewSetNotify(f.view, noteCode);
  vlistSelectRange(f.list, f.view->selection, 0, 0, 1, 1);
  EXPECT_EQ(notes, (std::vector<int>{1, 3}));
  EXPECT_EQ(callbacks, 1);

  notes.clear();
  vlistClassOf(f.list)->sorting(f.list, 0);
  vlistSelectRange(f.list, f.view->selection, 2, 0, 1, 1);
  vlistClassOf(f.list)->exchange(f.list, 0, 3, 1, vlistROWS);
  EXPECT_TRUE(notes.empty());
  vlistClassOf(f.list)->sorting(f.list, 1);
  EXPECT_EQ(notes, (std::vector<int>{1, 3}));
  EXPECT_EQ(callbacks, 2);
  EXPECT_EQ(vlistCountSelectedCells(f.list, f.view->pendingSelection), 0);
}

TEST(ListViewObserver, AOneOnlySelectionBringsTheFocusAlongAndCountsKeepItInside) {
  Fixture f(10, 2);
  vlistSetSelectionMode(f.list, f.view->selection, vlistONE_ONLY_SELECTION);
  vlistSelectRange(f.list, f.view->selection, 6, 1, 1, 1);
  EXPECT_EQ(f.view->focusRow, 6);
  EXPECT_EQ(f.view->focusColumn, 1);
  vlistSetRowCount(f.list, 4);  // the focus comes back to the new last row
  EXPECT_EQ(f.view->focusRow, 3);
}

// ---- Drag mode: a row carried to a new place.
TEST(ListViewDrag, ARowCarriedDownMovesInTheListAndItsMarkIsErasedBehindIt) {
  vliststr* words = vliststrCreate();
  vlistSetRowCount(words, 5);
  vlistSetColumnCount(words, 2);
  const char* texts[] = {"a", "b", "c", "d", "e"};
  for (int i = 0; i < 5; ++i) vliststrSetCellScribed(words, i, 0, vscribeLiteral(texts[i]));
  Fixture f(5, 2, true, words);
  press(f.view, cx(0), cy(1), vname_Drag);  // no range-extension mode: another press
  release(f.view, cx(0), cy(1));
  EXPECT_STREQ(vliststrGetCell(words, 1, 0), "b");

  vlistviewSetRangeExtension(f.view, 1);
  press(f.view, cx(0), cy(1), vname_Drag);
  trace.clear();
  drag(f.view, cx(1), cy(3));  // the mark leaves row 1: its two cells are redrawn
  EXPECT_EQ(trace, (std::vector<std::string>{"inval 0,60 50x20", "inval 50,60 50x20"}));
  drag(f.view, cx(1), cy(3));  // the same row again: nothing
  EXPECT_EQ(trace.size(), 2u);
  release(f.view, cx(1), cy(3));
  std::string order;
  for (int i = 0; i < 5; ++i) order += vliststrGetCell(words, i, 0);
  EXPECT_EQ(order, "acdbe");
  EXPECT_EQ(f.view->state & 0x8, 0u);

  vlistviewSetRangeExtension(f.view, 2);  // columns
  press(f.view, cx(0), cy(0), vname_Drag);
  release(f.view, cx(0), cy(0));  // dropped where it started: only redrawn
  EXPECT_STREQ(vliststrGetCell(words, 0, 0), "a");
}

TEST(ListViewDrag, TheMoveMarkerErasesOnlyAnOldMarkAndNothingWithoutAMove) {
  Fixture f(20, 4);
  auto* c = vlistviewClassOf(f.view);
  f.view->options |= vlistviewMOVE_ROWS;
  c->drawMoveMarker(f.view, 2, 2);
  c->drawMoveMarker(f.view, -1, 3);
  EXPECT_TRUE(trace.empty());
  c->drawMoveMarker(f.view, 3, 4);
  EXPECT_EQ(trace.size(), 4u);  // row 3's four visible cells
  trace.clear();
  f.view->options &= ~vlistviewMOVE_ROWS;
  c->drawMoveMarker(f.view, 1, 2);  // column 1 down the five visible rows
  EXPECT_EQ(trace.size(), 5u);
  EXPECT_EQ(trace.front(), "inval 50,80 50x20");
}

// ---- Focus slots and grid lines.
TEST(ListViewFocus, LosingTheFocusEndsTypeAheadAndLinesRedrawOnlyOnChange) {
  vliststr* words = vliststrCreate();
  vlistSetRowCount(words, 3);
  vlistSetColumnCount(words, 1);
  const char* texts[] = {"ab", "b", "ba"};
  for (int i = 0; i < 3; ++i) vliststrSetCellScribed(words, i, 0, vscribeLiteral(texts[i]));
  Fixture f(3, 1, true, words);
  vlistviewSetFocusShown(f.view, 1);
  vlistviewTypeAhead(f.view, 'a');
  trace.clear();
  vdialogItemClassOf(f.view)->focus(f.view);
  vdialogItemClassOf(f.view)->unfocus(f.view);
  EXPECT_EQ(trace, (std::vector<std::string>{"inval 0,80 50x20", "inval 0,80 50x20"}));  // the focus cell
  vlistviewTypeAhead(f.view, 'b');  // "b", not "ab"
  EXPECT_EQ(selected(f.view), "10 ");

  trace.clear();
  vlistviewSetHorizontalLines(f.view, 1);
  vlistviewSetHorizontalLines(f.view, 1);
  vlistviewSetVerticalLines(f.view, 0);
  EXPECT_EQ(trace, (std::vector<std::string>{"inval 0,0 200x100"}));
  vlistviewSetFocusShown(f.view, 0);
  EXPECT_EQ(f.view->options & vlistviewFOCUS_SHOWN, 0u);
}

}  // namespace

// ---- A table window of 100,000 rows driven by pointer and keys: the
// repaints and notifications it asks for match the stored reference.
namespace {

std::string readFile(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "r")) {
    char buf[512];
    while (std::fgets(buf, sizeof buf, f)) text += buf;
    std::fclose(f);
  }
  return text;
}

TEST(ListViewTable, ScrolledAndSelectedByPointerAndKeysAsTheReferenceTrace) {
  Fixture f(100000, 4);
  vlistviewSetNotify(f.view, [](vinstance*, int code) { trace.push_back("notify " + std::to_string(code)); });
  f.view->options |= vlistviewFOCUS_SHOWN;
  auto step = [&](const std::string& what, auto action) {
    trace.push_back("-- " + what);
    action();
    trace.push_back("range " + f.range() + " focus " + std::to_string(f.view->focusRow) + "," +
                    std::to_string(f.view->focusColumn));
  };
  step("select drag (1,1) to (3,2)", [&] {
    press(f.view, cx(1), cy(1));
    drag(f.view, cx(2), cy(3));
    release(f.view, cx(2), cy(3));
  });
  step("page down twice", [&] { selector(f.view, 17), selector(f.view, 17); });
  step("shift+down", [&] { key(f.view, 0xFC54, 4); });
  step("scroll by 1000 rows", [&] { vlistviewScrollBy(f.view, 1000, 0); });
  step("end", [&] { selector(f.view, 9); });
  step("adjust press on a visible row", [&] {
    press(f.view, cx(0), cy(2), vname_Adjust);
    release(f.view, cx(0), cy(2));
  });
  step("begin", [&] { selector(f.view, 8); });
  step("rows inserted at the top", [&] { vlistClassOf(f.list)->insert(f.list, 0, 2, vlistROWS); });
  step("return", [&] { key(f.view, 0xFC0D); });
  std::string actual;
  for (const std::string& line : trace) actual += line + "\n";
  std::string reference = std::string(std::getenv("SIM_TEST_DATA")) + "/listview/table_trace.txt";
  if (actual != readFile(reference)) {
    std::string out = ::testing::TempDir() + "listview_table_trace.txt";
    if (FILE* o = std::fopen(out.c_str(), "w")) std::fputs(actual.c_str(), o), std::fclose(o);
    ADD_FAILURE() << "the trace differs from " << reference << "; this run's is in " << out;
  }
}

}  // namespace

namespace {

// Rows fitted to the font follow a new font, ascent and descent rounded
// each on its own; an explicit height ends the fitting.
vfont* largeFont = nullptr;
vfontDriver halves;
TEST(ListViewFont, FittedRowsFollowTheFontUntilAHeightIsSet) {
  startDialogItemTests();
  const vfontDriver* saved = vfontGetDriver();
  halves = *saved;  // 7.5 + 2.5 in every font, 20.5 + 3.5 in the large one
  halves.ascent = [](vfont* f) -> vfixed { return f == largeFont ? 20 * 65536 + 0x8000 : 7 * 65536 + 0x8000; };
  halves.descent = [](vfont* f) -> vfixed { return f == largeFont ? 3 * 65536 + 0x8000 : 2 * 65536 + 0x8000; };
  largeFont = vfontFindScribe(vscribeLiteral("Times-regular-24"));
  ASSERT_NE(largeFont, nullptr);
  vfontSetDriver(&halves);
  vlist* list = vlistCreate();
  vlistSetRowCount(list, 3);
  vlistSetColumnCount(list, 2);
  vlistview* v = vlistviewCreate();
  vlistviewSetList(v, list);
  vrect r{0, 0, 200, 100};
  vdialogSetItemRect(v, &r);
  vdialogOpenItem(v);
  EXPECT_EQ(vlistviewGetCellInnerHeight(v, 2), 8 + 3);
  vdialogSetItemFont(v, largeFont);
  EXPECT_EQ(vlistviewGetCellInnerHeight(v, 2), 21 + 4);
  vlistviewSetRowHeight(v, vlistsizeALL_ROWS, 30);
  EXPECT_EQ(v->state & vlistviewFIT_HEIGHT, 0u);
  vdialogSetItemFont(v, nullptr);
  EXPECT_EQ(vlistviewGetCellInnerHeight(v, 2), 30);
  vinstanceDestroy(v);
  vinstanceDestroy(list);
  vfontSetDriver(saved);
}

}  // namespace

namespace {

// A press in a bar: its release reaches the bar through the view, so the
// arrow's repeat stops; a drag's last motion reaches the view too.
TEST(ListViewBars, APressInABarIsFollowedThroughTheViewToItsRelease) {
  SimulatedClock clock;
  Fixture f(100, 4);
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, 0x1234, 0x5678, 0x9ABC);
  vcolor* own = vcolorInternSpec(&spec);
  vdialogSetItemBackground(f.view, own);
  vlistviewSetVerticalBar(f.view, 1);
  EXPECT_EQ(vdialogGetItemBackground(f.view->vbar), own);  // the view's own colour
  EXPECT_EQ(vdialogGetItemForeground(f.view->vbar), nullptr);
  vrect bar = f.view->vbar->rect;
  ASSERT_GT(bar.width, 0);
  EXPECT_EQ(bar.x + bar.width, 200);  // at the right edge, beside the content
  EXPECT_EQ(f.view->content.x + f.view->content.width, bar.x);
  int x = bar.x + bar.width / 2, y = bar.y + 2;  // the arrow at the bottom: down the list
  press(f.view, x, y);
  runFor(50'000'000);
  release(f.view, x, y);
  std::int32_t at = f.view->originY;
  EXPECT_EQ(at, 20);  // one line
  EXPECT_EQ(f.view->vbar->value, f.view->vbar->max - f.view->vbar->view - 20);
  runFor(2'000'000'000);
  EXPECT_EQ(f.view->originY, at);  // no repeat after the release

  vlistviewScrollToCell(f.view, 0, 0);
  press(f.view, cx(0), cy(0));
  send(f.view, vlistviewClassOf(f.view)->drag, veventCreateMotion(nullptr, cx(1), cy(2), 0, 1, 0));
  release(f.view, cx(1), cy(2));
  EXPECT_EQ(selected(f.view), "00 01 10 11 20 21 ");
}

}  // namespace
