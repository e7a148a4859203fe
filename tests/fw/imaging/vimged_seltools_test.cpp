#include <cstdlib>
#include <tuple>
#include <string>

#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/controls/textitem.h"
#include "platform/win.h"
#include "platform/win/test.h"
#include "tests/fw/imaging/dialogs.h"
#include "tests/fw/imaging/vimgedview_test.h"
#include "tests/support/png_compare.h"

namespace testview {
namespace {

class Selections : public ViewTest {
 protected:
  // A 4 x 3 block of value 3 at (2, 2), the rest 0.
  void openWithBlock() {
    open(20, 16, 5);
    for (int y = 2; y < 5; ++y)
      for (int x = 2; x < 6; ++x) vimgedSetPixel(model, 3, 1, x, y);
    vimgedviewSetBackground(view, 9);
  }
  void selectBlock() {
    vimgedviewSetTool(view, vimgedviewSELECT);
    stroke({cellPoint(2, 2), cellPoint(4, 3), cellPoint(5, 4)});
  }
  // Press inside the selection and drop it (dx, dy) pixels away.
  void dragBy(int dx, int dy, bool control = false) {
    if (control) key(win::VK_CONTROL, true);
    press(cellPoint(3, 3));
    moveTo(cellPoint(3 + dx / 2, 3 + dy / 2));
    moveTo(cellPoint(3 + dx, 3 + dy));
    release(cellPoint(3 + dx, 3 + dy));
    if (control) key(win::VK_CONTROL, false);
  }
};

TEST_F(Selections, ARectangleDraggedOutBecomesAnUndoableFloatingSelection) {
  openWithBlock();
  selectBlock();
  ASSERT_TRUE(vimgedHasSelection(model));
  EXPECT_EQ(model->selection & vimgedSEL_MODE, vimgedSEL_RECT);
  EXPECT_NE(model->selection & vimgedSEL_IN_PLACE, 0u);
  EXPECT_EQ(model->selRect.x, 2);
  EXPECT_EQ(model->selRect.y, 2);
  EXPECT_EQ(model->selRect.width, 4) << "both corner pixels included";
  EXPECT_EQ(model->selRect.height, 3);
  EXPECT_EQ(testimg::pixelsOf(model->selImage), testimg::Pixels(12, 3));
  EXPECT_EQ(undoLabel(), "Undo Rectangular Selection");
  EXPECT_EQ(view->tool, vimgedviewSELECT);
  ASSERT_NE(view->selBuffer, nullptr) << "the view shows it";
  vimgedUndo(model);
  EXPECT_FALSE(vimgedHasSelection(model)) << "undo removes the new selection";
  EXPECT_EQ(view->selBuffer, nullptr);
}

TEST_F(Selections, AClickOrALassoWithoutMovementMakesNothing) {
  openWithBlock();
  for (int tool : {vimgedviewSELECT, vimgedviewLASSO}) {
    vimgedviewSetTool(view, tool);
    press(cellPoint(8, 8));
    release(cellPoint(8, 8));
    EXPECT_FALSE(vimgedHasSelection(model)) << tool;
    EXPECT_EQ(undoDepth(), 0) << tool;
    EXPECT_EQ(model->lassoPoints, nullptr) << tool;
  }
}

TEST_F(Selections, TheLassoTrailIsClosedAndFilledAsTheMask) {
  openWithBlock();
  vimgedviewSetTool(view, vimgedviewLASSO);
  stroke({cellPoint(2, 2), cellPoint(12, 2), cellPoint(7, 10)});
  ASSERT_TRUE(vimgedHasSelection(model));
  EXPECT_EQ(model->selection & vimgedSEL_MODE, vimgedSEL_MASKED);
  EXPECT_EQ(model->selRect.x, 2);
  EXPECT_EQ(model->selRect.y, 2);
  EXPECT_EQ(model->selRect.width, 11);
  EXPECT_EQ(model->selRect.height, 9);
  EXPECT_EQ(undoLabel(), "Undo Lasso Selection");
  EXPECT_EQ(view->tool, vimgedviewLASSO);
  // Inside the triangle, its corners and edges are selected; the box's
  // top corners are not.
  for (auto [x, y, in] : {std::tuple{7, 5, true}, {2, 2, true}, {12, 2, true}, {7, 10, true}, {3, 9, false},
                          {11, 9, false}}) {
    vpoint p{std::int16_t(x), std::int16_t(y)};
    EXPECT_EQ(vimgedPointInSelection(model, p) != 0, in) << x << "," << y;
  }
  EXPECT_EQ(model->lassoPoints, nullptr) << "the trail is freed";
  vimgedUndo(model);
  EXPECT_FALSE(vimgedHasSelection(model));
}

TEST_F(Selections, DraggingMovesTheSelectionAndLeavesTheBackground) {
  openWithBlock();
  selectBlock();
  dragBy(6, 1);
  EXPECT_EQ(model->selRect.x, 8);
  EXPECT_EQ(model->selRect.y, 3);
  EXPECT_EQ(undoLabel(), "Undo Drag");
  EXPECT_EQ(pixel(2, 2), 9u) << "the hole takes the background";
  vimgedviewSetTool(view, vimgedviewPENCIL);  // puts the selection down
  EXPECT_FALSE(vimgedHasSelection(model));
  EXPECT_EQ(pixel(8, 3), 3u);
  EXPECT_EQ(pixel(11, 5), 3u);
  EXPECT_EQ(count(3), 12);
}

TEST_F(Selections, ControlDragMovesACopy) {
  openWithBlock();
  selectBlock();
  dragBy(6, 1, true);
  EXPECT_EQ(model->selRect.x, 8);
  EXPECT_EQ(pixel(2, 2), 3u) << "the pixels underneath stay";
  vimgedviewSetTool(view, vimgedviewPENCIL);
  EXPECT_EQ(count(3), 24) << "the original and the copy";
  EXPECT_EQ(pixel(8, 3), 3u);
}

TEST_F(Selections, ADragDroppedWhereItStartedRecordsNoDrag) {
  openWithBlock();
  selectBlock();
  dragBy(0, 0);
  EXPECT_EQ(model->selRect.x, 2);
  EXPECT_EQ(undoLabel(), "Undo Rectangular Selection");
}

TEST_F(Selections, TextIsPlacedAsAFloatingSelectionAtThePress) {
  openWithBlock();
  vimgedviewSetForeground(view, 7);
  vimgedviewSetTool(view, vimgedviewTEXT);
  press(cellPoint(1, 8));
  release(cellPoint(1, 8));
  vconfirm* d = vimgedviewGetTextDialog();
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(vwindowIsOpen(d));
  EXPECT_TRUE(testimg::showsItsItemsOver(d, vdialogGetItemWindow(view)));
  auto* text = reinterpret_cast<vtextitem*>(vdialogFindItem(d, vnameInternLiteral("vimgedTEXT_EDIT")));
  ASSERT_NE(text, nullptr);
  // Typing goes to the text at once.
  win::test::Type("Ab");
  settle();
  char typed[16] = {};
  vtextitemCopyText(text, typed, sizeof typed);
  EXPECT_STREQ(typed, "Ab");
  // An empty text does nothing.
  vtextitemSetTextChars(text, "");
  ASSERT_NE(d->applyHook, nullptr);
  d->applyHook(d, nullptr);
  EXPECT_FALSE(vimgedHasSelection(model));
  EXPECT_EQ(undoDepth(), 0);
  vtextitemSetTextChars(text, "Hi");
  d->applyHook(d, nullptr);
  ASSERT_TRUE(vimgedHasSelection(model));
  EXPECT_EQ(model->selection & vimgedSEL_MODE, vimgedSEL_MASKED);
  EXPECT_EQ(model->selRect.x, 1);
  EXPECT_EQ(model->selRect.y, 8);
  EXPECT_GT(model->selRect.width, 4);
  EXPECT_EQ(undoLabel(), "Undo Lasso Selection");
  EXPECT_EQ(view->tool, vimgedviewSELECT) << "the selection tool, without putting the text down";
  // The text's set pixels have the foreground.
  int set = 0;
  testimg::Pixels mask = testimg::pixelsOf(model->selMask), image = testimg::pixelsOf(model->selImage);
  for (std::size_t i = 0; i < mask.size(); ++i)
    if (mask[i]) {
      ++set;
      EXPECT_EQ(image[i], 7u);
    }
  EXPECT_GT(set, 4);
  vwindowClose(d);
  // The dialog outlives its view: a confirm without one does nothing.
  vwindowClose(dialog);
  vwindowDestroy(dialog);
  dialog = nullptr;
  int depth = undoDepth();
  d->applyHook(d, nullptr);
  EXPECT_EQ(undoDepth(), depth);
}

TEST_F(Selections, ZoomFiveWithGridAndAFloatingLassoSelection) {
  openWithBlock();
  for (int y = 8; y < 14; ++y)
    for (int x = 8; x < 18; ++x) vimgedSetPixel(model, std::uint32_t(40 + 8 * ((x + y) % 4)), 1, x, y);
  vimgedviewSetGrid(view, 1);
  vimgedviewSetTool(view, vimgedviewLASSO);
  stroke({cellPoint(1, 1), cellPoint(9, 1), cellPoint(12, 6), cellPoint(4, 9)});
  ASSERT_TRUE(vimgedHasSelection(model));
  dragBy(9, 3);
  vimgedviewClassOf(view)->outlineTick(view);
  win::test::Image shot = win::test::WindowImage(dialog->native->hwnd);
  if (const char* out = std::getenv("IMGVIEW_PNG")) win::test::WritePng(std::string(out) + "lasso.png", shot);
  EXPECT_TRUE(test_support::MatchesPng(shot, std::string(IMAGING_DATA) + "/view_lasso_zoom5.png", 8, 40));
}

}  // namespace
}  // namespace testview
