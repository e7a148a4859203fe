// The editor model's primitives, exact pixels on tiny images.
#include <cmath>

#include "fw/core/timer.h"
#include "fw/gui/graphics/draw.h"
#include "tests/fw/imaging/vimged_test.h"

using namespace testimged;
using testimg::make;

namespace {

vpoint pt(int x, int y) { return {std::int16_t(x), std::int16_t(y)}; }

TEST_F(Model, AFreshModelHasNothingToUndoAndIgnoresDrawingWithoutAnImage) {
  EXPECT_STREQ(vimgedGetDefaultClass()->name, "vimged");
  const char* label = "x";
  EXPECT_EQ(vimgedCanUndo(m, &label), 0);
  EXPECT_EQ(label, nullptr);
  label = "x";
  EXPECT_EQ(vimgedCanRedo(m, &label), 0);
  EXPECT_EQ(label, nullptr);
  EXPECT_EQ(m->undo->list->size, 11);
  EXPECT_EQ(m->dash[0], 10.0f);
  EXPECT_EQ(m->dash[1], 10.0f);
  EXPECT_EQ(m->dashPhase, 0.0);
  EXPECT_EQ(m->timer->periodSeconds, 0);
  EXPECT_EQ(m->timer->periodNanoseconds, 333000000);
  EXPECT_TRUE(m->timer->flags & vtimerRECURRENT);
  EXPECT_EQ(m->cursor, nullptr);

  vimgedSetPixel(m, 1, 1, 0, 0);
  vimgedFillRect(m, 1, 0, 0, 2, 2);
  vimgedDrawLine(m, 1, 1, pt(0, 0), pt(3, 3));
  vimgedDrawEllipse(m, 1, 2, pt(0, 0), pt(5, 5));
  vimgedSelectAll(m, 0);
  vimgedClearAll(m);
  EXPECT_EQ(view.take(), Log{});
  EXPECT_EQ(vimgedGetDisplayImage(m), nullptr);
  EXPECT_EQ(vimgedIsModified(m), 0);
  EXPECT_EQ(vimgedHasSelection(m), 0);
  EXPECT_TRUE(raisesArg([] { vimgedBeginChange(nullptr); }));
  EXPECT_TRUE(raisesArg([] { vimgedDrawLine(nullptr, 1, 1, pt(0, 0), pt(1, 1)); }));
}

TEST_F(Model, PensPlotSquaresReachingRightAndDownAndEverythingIsClipped) {
  edit(make(5, 5, 8));
  vimgedPlot(m, 7, 1, 1, 1);
  vimgedPlot(m, 3, 3, 2, 4);
  vimgedSetPixel(m, 9, 1, 5, 0);   // outside: ignored, views not told
  vimgedSetPixel(m, 9, 1, 0, -1);
  vimgedFillRect(m, 4, -1, -1, 2, 2);
  EXPECT_EQ(view.take(), (Log{"pixel 7 1,1", "rect 3 2,2,3,3", "rect 4 -1,-1,2,2"}));
  EXPECT_EQ(pic(), "..333|..333|..333|.7...|4....");

  const vpoint points[] = {pt(0, 1), pt(3, 4), pt(9, 9)};
  vimgedPlotPoints(m, 5, 2, points, 3);
  EXPECT_EQ(view.take(), (Log{"rects 5 0,0,2,2 3,3,2,2 9,8,2,2"}));
  EXPECT_EQ(pic(), "..355|..355|..333|55...|55...");
  vimgedPlotPoints(m, 6, 1, points, 3);
  EXPECT_EQ(view.take(), (Log{"points 6 0,1 3,4 9,9"}));
  EXPECT_EQ(pic(), "..365|..355|..333|65...|55...");

  // A rubber band tells the views and leaves the image alone.
  m->flags |= vimgedRUBBER_BAND;
  vimgedFillRect(m, 1, 0, 0, 5, 5);
  EXPECT_EQ(view.take(), (Log{"rect 1 0,0,5,5"}));
  EXPECT_EQ(pic(), "..365|..355|..333|65...|55...");
}

TEST_F(Model, LinesRunFromTheSmallerMajorEndWithBothEnds) {
  struct Case {
    vpoint p0, p1;
    const char* points;
  };
  const Case cases[] = {
      {pt(0, 0), pt(4, 2), "points 1 0,0 1,1 2,1 3,2 4,2"},
      {pt(4, 2), pt(0, 0), "points 1 0,0 1,1 2,1 3,2 4,2"},
      {pt(1, 4), pt(2, 0), "points 1 2,0 2,1 1,2 1,3 1,4"},
      {pt(0, 3), pt(3, 3), "points 1 0,3 1,3 2,3 3,3"},
      {pt(4, 4), pt(0, 0), "points 1 0,0 1,1 2,2 3,3 4,4"},
      {pt(2, 2), pt(2, 2), "points 1 2,2"},
  };
  edit(make(5, 5, 8));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.points);
    vimgedDrawLine(m, 1, 1, c.p0, c.p1);
    EXPECT_EQ(view.take(), Log{c.points});
  }
  vimgedDrawLine(m, 2, 2, pt(0, 1), pt(2, 1));
  EXPECT_EQ(view.take(), (Log{"rects 2 0,0,2,2 1,0,2,2 2,0,2,2"}));
}

TEST_F(Model, RectanglesAreFourBandsOrOneFill) {
  edit(make(6, 5, 8));
  vimgedDrawRect(m, 5, 1, pt(4, 3), pt(1, 1));
  EXPECT_EQ(view.take(), (Log{"rects 5 1,1,4,1 1,3,4,1 1,1,1,3 4,1,1,3"}));
  EXPECT_EQ(pic(), "......|.5555.|.5..5.|.5555.|......");

  edit(make(8, 8, 8));
  vimgedDrawRect(m, 5, 2, pt(1, 2), pt(6, 6));
  EXPECT_EQ(pic(), "........|.5555555|.5555555|.55...55|.55...55|.5555555|.5555555|........");

  edit(make(6, 5, 8));
  m->flags |= vimgedFILLED;
  vimgedDrawRect(m, 4, 1, pt(1, 1), pt(4, 3));
  EXPECT_EQ(view.take(), (Log{"rect 4 1,1,4,3"}));
  EXPECT_EQ(pic(), "......|.4444.|.4444.|.4444.|......");
}

TEST_F(Model, EllipsesFollowTheMidpointRuleAndFlatOnesAreLines) {
  edit(make(5, 3, 8));
  vimgedDrawEllipse(m, 1, 1, pt(0, 0), pt(4, 2));
  EXPECT_EQ(view.take(), (Log{"points 1 2,2 2,2 2,0 2,0", "points 1 3,2 1,2 3,0 1,0", "points 1 4,1 0,1 4,1 0,1"}));
  EXPECT_EQ(pic(), ".111.|1...1|.111.");

  // Filled spans cover the framed outline, as a filled rectangle covers its frame.
  edit(make(5, 3, 8));
  m->flags |= vimgedFILLED;
  vimgedDrawEllipse(m, 2, 1, pt(4, 2), pt(0, 0));
  EXPECT_EQ(view.take(), (Log{"rects 2 2,2,1,1 2,0,1,1 1,2,3,1 1,0,3,1 0,1,5,1 0,1,5,1"}));
  EXPECT_EQ(pic(), ".222.|22222|.222.");
  m->flags &= ~vimgedFILLED;

  // Less than 2 apart in y: the line between the points.
  edit(make(5, 3, 8));
  vimgedDrawEllipse(m, 3, 1, pt(0, 1), pt(4, 2));
  Log asEllipse = view.take();
  vimgedDrawLine(m, 3, 1, pt(0, 1), pt(4, 2));
  EXPECT_EQ(view.take(), asEllipse);
  EXPECT_EQ(asEllipse, (Log{"points 3 0,1 1,1 2,2 3,2 4,2"}));
}

// 2a²b is 2^31 at a = b = 1024: 32-bit arithmetic would lose the first region.
TEST_F(Model, ALargeCircleStaysOnItsRadius) {
  vimgedRemoveView(m, &view.link);
  edit(make(2049, 2049, 1));
  vimgedDrawEllipse(m, 1, 1, pt(0, 0), pt(2048, 2048));
  Pixels p = testimg::pixelsOf(m->working);
  int set = 0, off = 0;
  for (int y = 0; y < 2049; ++y)
    for (int x = 0; x < 2049; ++x) {
      if (!p[std::size_t(y) * 2049 + std::size_t(x)]) continue;
      ++set;
      double r = std::hypot(x - 1024.0, y - 1024.0);
      if (std::abs(r - 1024.0) > 1.0) ++off;
    }
  EXPECT_EQ(off, 0);
  EXPECT_GT(set, 5700);
  EXPECT_LT(set, 5900);
  for (auto [x, y] : {std::pair{1024, 2048}, {1024, 0}, {0, 1024}, {2048, 1024}, {1748, 1748}, {300, 300}})
    EXPECT_EQ(p[std::size_t(y) * 2049 + std::size_t(x)], 1u) << x << "," << y;
  vimgedAddView(m, &view.link);
}

TEST_F(Model, ADrawStepUndoesAndRedoesThroughItsDifference) {
  edit(make(3, 2, 8));
  vimgedTakeSnapshot(m);
  vimgedFillRect(m, 5, 0, 0, 2, 1);
  vimgedRecordDraw(m);
  EXPECT_EQ(m->snapshot, nullptr);
  EXPECT_EQ(undoLabel(), "Undo Draw");
  EXPECT_EQ(pic(), "...|55.");
  EXPECT_EQ(vimgedIsModified(m), 1);
  view.take();
  vimgedUndo(m);
  EXPECT_EQ(view.take(), (Log{"begin", "redraw", "invalidate", "end"}));
  EXPECT_EQ(pic(), "...|...");
  EXPECT_EQ(undoLabel(), "(none)");
  EXPECT_EQ(redoLabel(), "Redo Draw");
  vimgedRedo(m);
  EXPECT_EQ(pic(), "...|55.");
  vimgedApply(m);
  EXPECT_EQ(picture(source), "...|55.");
  EXPECT_NE(m->cursor, nullptr) << "the tools read through it while an image is set";
  EXPECT_EQ(vimgedIsModified(m), 0);

  // A new image keeps the history; a record of another size is not applied.
  view.take();
  vimgedSetImage(m, keep(make(2, 2, 8, {1, 1, 1, 1})));
  EXPECT_EQ(view.take(), (Log{"begin", "size", "invalidate", "end"}));
  vimgedUndo(m);
  EXPECT_EQ(pic(), "11|11");
}

TEST_F(Model, TheCompoundFlagGathersStepsForTheOneWhoSetIt) {
  edit(make(3, 1, 8));
  m->flags |= vimgedCOMPOUND;
  for (int x = 0; x < 2; ++x) {
    vimgedTakeSnapshot(m);
    vimgedSetPixel(m, std::uint32_t(x + 1), 1, x, 0);
    vimgedRecordDraw(m);
  }
  EXPECT_EQ(pic(), "12.");
  vimgedSelectAll(m, 0);
  vimgedMoveSelection(m, 0, 1);
  EXPECT_EQ(pic(), "...");
  EXPECT_EQ(vimgedCanUndo(m, nullptr), 0) << "nothing closed while the flag is held";
  m->flags &= ~vimgedCOMPOUND;
  vundoCloseTopAction(m->undo, vscribeLiteral("Drag"));
  EXPECT_EQ(undoLabel(), "Undo Drag");
  vimgedUndo(m);
  EXPECT_EQ(vimgedCanUndo(m, nullptr), 0) << "the draws, the detach and the move are one step";
  EXPECT_EQ(pic(), "...");
  EXPECT_EQ(m->selRect.y, 0);
  EXPECT_TRUE(m->selection & vimgedSEL_IN_PLACE);
  vimgedRedo(m);
  EXPECT_EQ(pic(), "...");
  EXPECT_EQ(m->selRect.y, 1);
  EXPECT_FALSE(m->selection & vimgedSEL_IN_PLACE);
  vimgedCommitSelection(m);
  EXPECT_EQ(undoLabel(), "Undo Selection");
}

TEST_F(Model, AShortenedPaletteKeepsItsValuesAndDrawsStrayOnesBlack) {
  vimage* image = make(3, 1, 2, {0, 1, 3});
  testimg::setPalette(image, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF});
  edit(image);
  vcolorList* shorter = vcolorListCreate();
  vcolorListSetCount(shorter, 2);
  vcolorSetSpecRGB(&shorter->entries[1], 0, 0, 65535);
  vimgedSetPalette(m, shorter, 0);
  EXPECT_EQ(view.take(), (Log{"size", "invalidate"}));
  EXPECT_EQ(testimg::pixelsOf(m->working), (Pixels{0, 1, 3}));
  EXPECT_EQ(m->working->depth, 2);
  EXPECT_EQ(m->colorCount, 2u);
  vimgedSetDrawingColor(m, 3);
  EXPECT_EQ(vdrawGetState()->color, vcolorGetBlack());
  vimgedSetDrawingColor(m, 1);
  EXPECT_EQ(testimg::packed(vdrawGetState()->color->desc), 0x0000FFu);

  // With remap the pixels take the nearest new colours.
  vcolorList* whiteBlue = vcolorListCreate();
  vcolorListSetCount(whiteBlue, 2);
  vcolorSetSpecRGB(&whiteBlue->entries[0], 65535, 65535, 65535);
  vcolorSetSpecRGB(&whiteBlue->entries[1], 0, 0, 65535);
  vimgedSetPalette(m, whiteBlue, 1);
  EXPECT_EQ(testimg::pixelsOf(m->working), (Pixels{1, 1, 1}));
  EXPECT_EQ(testimg::packed(vimageGetPalette(m->working)->entries[0]), 0xFFFFFFu);

  // Without palette: packed RGB, and for one bit white on 1.
  edit(make(1, 1, 24));
  vimgedSetDrawingColor(m, 0x123456);
  EXPECT_EQ(testimg::packed(vdrawGetState()->color->desc), 0x123456u);
  vimage* bit = make(1, 1, 24);
  vpixmapSetDepth(bit, 1);
  edit(bit);
  vimgedSetDrawingColor(m, 1);
  EXPECT_EQ(vdrawGetState()->color, vcolorGetWhite());
  vcolorListDestroy(shorter);
  vcolorListDestroy(whiteBlue);
  _vdrawShutdown();
}

}  // namespace
