// The editor model's selections, clipboard and undo steps.
#include "fw/core/timer.h"
#include "fw/gui/graphics/draw.h"
#include "tests/fw/imaging/vimged_test.h"
#include "tests/support/recording_driver.h"

using namespace testimged;
using testimg::make;
using testimg::pixelsOf;

namespace {

int stepActions(vimged* m) { return static_cast<vundoActionList*>(vundoListPeekUndo(m->undo->list))->count; }

TEST_F(Model, MovingAFreshlyLiftedSelectionIsOneMoveStepThatUndoesWhole) {
  edit(fromPicture({"1234", "5678"}));
  vrect r = {1, -1, 2, 5};
  vimgedLiftSelection(m, m->working, 0, 1, &r);
  EXPECT_EQ(r.y, 0) << "the rectangle is clipped to the image";
  EXPECT_EQ(r.height, 2);
  EXPECT_EQ(picture(m->selImage), "23|67");
  EXPECT_EQ(view.take(), (Log{"rectSelection"}));
  EXPECT_EQ(vimgedCanUndo(m, nullptr), 0);

  vimgedMoveSelection(m, 1, 0);
  EXPECT_EQ(pic(), "1..4|5..8");
  EXPECT_EQ(m->selRect.x, 2);
  EXPECT_FALSE(m->selection & vimgedSEL_IN_PLACE);
  EXPECT_EQ(undoLabel(), "Undo Move");
  EXPECT_EQ(stepActions(m), 2) << "the detach's Draw and the Move";
  Log told = view.take();
  EXPECT_EQ(told.front(), "begin");
  EXPECT_EQ(told.back(), "end");
  EXPECT_NE(std::find(told.begin(), told.end(), "moved 1"), told.end());

  vimgedUndo(m);
  EXPECT_EQ(pic(), "1234|5678");
  EXPECT_EQ(m->selRect.x, 1);
  EXPECT_TRUE(m->selection & vimgedSEL_IN_PLACE);
  vimgedRedo(m);
  EXPECT_EQ(pic(), "1..4|5..8");
  EXPECT_EQ(m->selRect.x, 2);
  EXPECT_FALSE(m->selection & vimgedSEL_IN_PLACE);

  // A second move only moves; committing stamps.
  vimgedMoveSelection(m, 0, 0);
  EXPECT_EQ(stepActions(m), 1);
  vimgedCommitSelection(m);
  EXPECT_EQ(pic(), "1.23|5.67");
  EXPECT_EQ(vimgedHasSelection(m), 0);
  EXPECT_EQ(undoLabel(), "Undo Selection");
  vimgedUndo(m);
  EXPECT_EQ(pic(), "1..4|5..8");
  EXPECT_EQ(picture(m->selImage), "23|67");
  vimgedUndo(m);
  vimgedUndo(m);
  EXPECT_EQ(pic(), "1234|5678");
  EXPECT_EQ(m->selRect.x, 1);
}

TEST_F(Model, FlipsAndRotationWorkOnTheSelectionAndUndoExactly) {
  edit(make(5, 5, 8));
  vimgedFlipHorizontal(m);
  vimgedFlipVertical(m);
  vimgedRotate(m);
  vimgedMoveSelection(m, 1, 1);
  EXPECT_EQ(vimgedCanUndo(m, nullptr), 0) << "nothing happens without a selection";
  EXPECT_EQ(view.take(), Log{});

  vimage* image = fromPicture({"12", "34"});
  vimage* mask = make(2, 2, 1, {1, 1, 0, 1});  // bottom row first: "34" both set, "12" only 2
  Pixels imagePixels = pixelsOf(image), maskPixels = pixelsOf(mask);
  vimgedSetSelection(m, image, mask, 0, 1, 1);
  EXPECT_EQ(view.take(), (Log{"maskSelection", "invalidate", "tool 8"}));
  EXPECT_EQ(vimgedCanUndo(m, nullptr), 0);
  EXPECT_TRUE(m->timer->flags & vtimerARMED);
  ASSERT_NE(m->outline, nullptr);
  EXPECT_EQ(vimgedPointInSelection(m, {2, 2}), 1);
  EXPECT_EQ(vimgedPointInSelection(m, {1, 2}), 0) << "under a clear mask pixel";
  EXPECT_EQ(vimgedPointInSelection(m, {3, 1}), 0);

  struct Flip {
    void (*op)(vimged*);
    const char* label;
    const char* image;
    Pixels mask;
  };
  const Flip flips[] = {{vimgedFlipHorizontal, "Undo Flip Horizontal", "21|43", {1, 1, 1, 0}},
                        {vimgedFlipVertical, "Undo Flip Vertical", "34|12", {0, 1, 1, 1}}};
  for (const Flip& f : flips) {
    SCOPED_TRACE(f.label);
    f.op(m);
    EXPECT_EQ(undoLabel(), f.label);
    EXPECT_EQ(picture(m->selImage), f.image);
    EXPECT_EQ(pixelsOf(m->selMask), f.mask);
    EXPECT_EQ(pic(), ".....|.....|.....|.....|.....");
    vimgedUndo(m);
    EXPECT_EQ(pixelsOf(m->selImage), imagePixels);
    EXPECT_EQ(pixelsOf(m->selMask), maskPixels);
    EXPECT_EQ(m->selection, std::uint32_t(vimgedSEL_MASKED));
    EXPECT_EQ(m->selRect.x, 1);
    vimgedRedo(m);
    EXPECT_EQ(picture(m->selImage), f.image);
    vimgedUndo(m);
  }

  // A 3 x 1 selection at (1, 2) turns into 1 x 3, recentred by halving.
  vimgedSetSelection(m, fromPicture({"123"}), nullptr, 0, 1, 2);
  EXPECT_EQ(view.take().back(), "tool 6");
  vimgedRotate(m);
  EXPECT_EQ(undoLabel(), "Undo Rotate");
  EXPECT_EQ(picture(m->selImage), "3|2|1");
  EXPECT_EQ(m->selRect.x, 2);
  EXPECT_EQ(m->selRect.y, 1);
  EXPECT_EQ(m->selRect.width, 1);
  EXPECT_EQ(m->selRect.height, 3);
  vimgedUndo(m);
  EXPECT_EQ(picture(m->selImage), "123");
  EXPECT_EQ(m->selRect.x, 1);
  EXPECT_EQ(m->selRect.y, 2);
}

TEST_F(Model, StampsClipToTheImageAndFollowTheMask) {
  edit(make(3, 3, 8));
  vimage* image = make(3, 2, 8, Pixels(6, 5));
  vimage* mask = make(3, 2, 1, {1, 1, 0, /**/ 1, 0, 1});
  vimgedSetSelection(m, image, mask, 0, -1, 1);
  vimgedCommitSelection(m);
  EXPECT_EQ(pic(), ".5.|5..|...");
  EXPECT_EQ(vimgedHasSelection(m), 0);
  EXPECT_FALSE(m->timer->flags & vtimerARMED);

  vimgedSetSelection(m, make(2, 2, 8, Pixels(4, 7)), nullptr, 0, 2, -1);
  vimgedCommitSelection(m);
  EXPECT_EQ(pic(), ".5.|5..|..7");
  vimgedUndo(m);
  EXPECT_EQ(pic(), ".5.|5..|...");
  vimgedUndo(m);
  EXPECT_EQ(pic(), "...|...|...");
}

TEST_F(Model, SelectAllThenDeleteLeavesTheHoleValueAndClearAllLeavesZero) {
  edit(fromPicture({"123", "456"}));
  vimgedSelectAll(m, 9);
  EXPECT_EQ(vimgedCanUndo(m, nullptr), 0);
  EXPECT_TRUE(m->timer->flags & vtimerARMED);
  EXPECT_EQ(m->selection, std::uint32_t(vimgedSEL_RECT | vimgedSEL_IN_PLACE));
  vimgedClearSelection(m);
  EXPECT_EQ(pic(), "999|999");
  EXPECT_EQ(vimgedHasSelection(m), 0);
  EXPECT_FALSE(m->timer->flags & vtimerARMED);
  EXPECT_EQ(undoLabel(), "Undo Selection");
  vimgedUndo(m);
  EXPECT_EQ(pic(), "123|456");
  EXPECT_TRUE(m->selection & vimgedSEL_IN_PLACE);

  // Over a selection that was moved: it is put down first, not lost.
  vimgedMoveSelection(m, 1, 0);
  vimgedSelectAll(m, 0);
  EXPECT_EQ(pic(), "912|945");
  vimgedClearAll(m);
  EXPECT_EQ(pic(), "...|...");
  EXPECT_EQ(undoLabel(), "Undo Selection");
  vimgedUndo(m);
  EXPECT_EQ(pic(), "912|945");
}

// What the drag tool does with a selection: hold the compound flag, cut it
// out, move it, record the old place and close the step itself.
TEST_F(Model, ADragIsOneStepAndTheOwnerHearsOfEveryChange) {
  edit(fromPicture({"12", "34"}));
  int reports = 0;
  static int* counter;
  counter = &reports;
  m->changed = [](vimged*, int, int) { ++*counter; };
  m->flags |= vimgedREPORT;
  vimgedSelectAll(m, 7);
  EXPECT_EQ(vpixmapCursorGetAt(vimgedGetPixelCursor(m), 1, 1), 2u);
  m->flags |= vimgedCOMPOUND;
  vimgedDetachSelection(m);
  vrect was = m->selRect;
  m->selRect.x = 1;
  vimgedRecordMove(m, &was);
  m->flags &= ~vimgedCOMPOUND;
  vundoCloseTopAction(m->undo, vscribeLiteral("Drag"));
  EXPECT_EQ(pic(), "77|77");
  EXPECT_EQ(stepActions(m), 2);
  vimgedUndo(m);
  EXPECT_EQ(pic(), "12|34");
  EXPECT_EQ(m->selRect.x, 0);
  EXPECT_EQ(reports, 2) << "the move and the pixels each report once";
  vimgedRedo(m);
  EXPECT_EQ(m->selRect.x, 1);
  EXPECT_EQ(reports, 4);
  vimgedCommitSelection(m);
  EXPECT_EQ(pic(), "71|73");
  EXPECT_EQ(reports, 5) << "the stamp";

  // A mask smaller than its image answers outside itself; a deep mask is refused.
  vimgedSetSelection(m, make(3, 3, 8), make(1, 1, 1, {1}), 0, 0, 0);
  EXPECT_EQ(vimgedPointInSelection(m, {0, 0}), 1);
  EXPECT_EQ(vimgedPointInSelection(m, {2, 2}), 0);
  vimage* deep = keep(make(1, 1, 8));
  EXPECT_TRUE(raisesArg([&] { vimgedSetSelection(m, deep, deep, 0, 0, 0); }));
}

TEST_F(Model, OutlineTicksAlternateThePhase) {
  edit(make(2, 2, 8));
  vimgedSelectAll(m, 0);
  view.take();
  m->timer->notify(m->timer);
  EXPECT_EQ(m->dashPhase, 10.0);
  m->timer->notify(m->timer);
  EXPECT_EQ(m->dashPhase, 0.0);
  EXPECT_EQ(view.take(), (Log{"tick", "tick"}));
}

TEST_F(Model, PasteRemapsGrowsThePaletteAndCentres) {
  vimage* from = make(2, 1, 2, {2, 3});
  testimg::setPalette(from, {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00});
  vimged* other = vimgedCreate();
  vimgedSetImage(other, from);
  vimgedSelectAll(other, 0);
  vimgedCopy(other);
  vimgedDestroy(other);
  vimageDestroy(from);
  EXPECT_EQ(vimgedClipboardIsEmpty(), 0);

  vimage* to = make(3, 2, 2);
  testimg::setPalette(to, {0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF});
  edit(to);
  vrect area = {0, 0, 3, 2};
  vimgedPaste(m, &area);
  EXPECT_EQ(undoLabel(), "Undo Lasso Selection");
  vcolorList* palette = vimageGetPalette(m->working);
  ASSERT_EQ(palette->count, 5u);
  EXPECT_EQ(testimg::packed(palette->entries[4]), 0x00FF00u);
  EXPECT_EQ(pixelsOf(m->selImage), (Pixels{2, 4}));
  EXPECT_EQ(m->selRect.x, 0);
  EXPECT_EQ(m->selRect.y, 1);
  EXPECT_FALSE(m->selection & vimgedSEL_IN_PLACE);
  EXPECT_EQ(view.take().back(), "end");
  vimgedCommitSelection(m);
  EXPECT_EQ(pic(), "24.|...");

  // In two-colour mode a deeper clipboard image is dithered.
  vimage* mono = make(2, 2, 1);
  m->flags |= vimgedTWO_COLOR;
  edit(mono);
  vimgedPaste(m, &area);
  EXPECT_EQ(m->selImage->depth, 1);
  EXPECT_EQ(pixelsOf(m->selImage), (Pixels{1, 0})) << "red dark; green, with red's error carried, light";
  m->flags &= ~vimgedTWO_COLOR;

  // A clipboard image with a palette does not go into one without.
  edit(make(2, 2, 24));
  vimgedPaste(m, &area);
  EXPECT_EQ(vimgedHasSelection(m), 0);
  EXPECT_EQ(vimgedCanUndo(m, nullptr), 1) << "the history of the earlier pastes only";
}

TEST_F(Model, CopiesOwnTheirPartsAndAHistoryOfTheirOwn) {
  edit(fromPicture({"12", "34"}));
  vimgedSelectAll(m, 0);
  vimgedMoveSelection(m, 1, 0);
  auto* copy = static_cast<vimged*>(vobjectClone(m));
  EXPECT_NE(copy->working, m->working);
  EXPECT_NE(copy->selImage, m->selImage);
  EXPECT_NE(copy->display, m->display);
  EXPECT_NE(copy->undo, m->undo);
  EXPECT_NE(copy->timer, m->timer);
  EXPECT_EQ(copy->timer->data, copy);
  EXPECT_EQ(copy->viewsBegin, copy->viewsEnd);
  EXPECT_EQ(vimgedCanUndo(copy, nullptr), 0);
  EXPECT_EQ(picture(copy->working), "..|..");
  vimgedCommitSelection(copy);
  EXPECT_EQ(picture(copy->working), ".1|.3");
  EXPECT_EQ(pic(), "..|..");

  // Copying over a model with a selection and a view of its own.
  vimged* other = vimgedCreate();
  RecordingView otherView;
  vimgedAddView(other, &otherView.link);
  vimgedSetImage(other, keep(make(1, 1, 8)));
  vimgedSelectAll(other, 0);
  vimgedMoveSelection(other, 1, 0);
  otherView.take();
  vclassRec<vobjectClassRec>(m)->copy(m, other);
  EXPECT_EQ(otherView.take(), (Log{"removed", "rectSelection", "size", "invalidate"}));
  EXPECT_EQ(picture(other->selImage), "12|34");
  EXPECT_EQ(picture(other->working), "..|..");
  EXPECT_EQ(vimgedCanUndo(other, nullptr), 0);
  EXPECT_EQ(other->viewsEnd - other->viewsBegin, 1);
  vimgedDestroy(other);
  EXPECT_EQ(otherView.link.model, nullptr);
  vimgedDestroy(copy);
  vimgedUndo(m);
  EXPECT_EQ(pic(), "12|34");
}

// Until the drawing driver draws into images, the calls are checked on a
// recording driver: the pixels come from the model's own writes.
TEST_F(Model, TheDrawingLayerMirrorsThePrimitivesIntoTheWorkingImage) {
  _vdrawShutdown();
  RecordingDriver& d = recordingDriver();
  d.reset();
  vdrawRegisterImageDriver(&d.record, 0);
  edit(make(4, 4, 8));
  d.name(m->working, "W");
  vimgedSetNotify(m, 1);
  EXPECT_EQ(m->flags & (vimgedREPORT | vimgedDRAW_LAYER), std::uint32_t(vimgedREPORT | vimgedDRAW_LAYER));
  int reports = 0;
  static int* counter;
  counter = &reports;
  m->changed = [](vimged*, int, int) { ++*counter; };
  // The drawing operations sent to the driver, without the binding numbers.
  auto shapes = [&] {
    Log out;
    for (const std::string& line : d.take()) {
      std::string op = line.substr(0, line.find('#'));
      for (const char* kept : {"open", "fillRects", "frameRects", "strokePolyline", "fillPolygon", "drawImage",
                               "drawMask", "frameArcs", "fillPies"})
        if (op == kept) out.push_back(op + (line.find(' ') == std::string::npos ? "" : line.substr(line.find(' '))));
    }
    return out;
  };
  d.take();
  vimgedSetPixel(m, 2, 1, 1, 0);
  EXPECT_EQ(pic(), "....|....|....|.2..");
  EXPECT_EQ(shapes(), (Log{"open target=W flags=0", "fillRects (1,0,1,1)"}));
  vimgedDrawLine(m, 3, 2, {0, 1}, {3, 1});
  EXPECT_EQ(pic(), "....|....|3333|3333");
  EXPECT_EQ(shapes(), (Log{"open target=W flags=0", "fillRects (0,0,2,2) (1,0,2,2) (2,0,2,2) (3,0,2,2)",
                           "open target=W flags=0", "strokePolyline 2"}));
  vimgedDrawEllipse(m, 1, 1, {0, 0}, {3, 3});
  Log arcs = shapes();
  ASSERT_EQ(arcs.size(), 8u);
  EXPECT_EQ(arcs[1], "fillRects (1,2,1,1) (1,2,1,1) (1,0,1,1) (1,0,1,1)");
  EXPECT_EQ(arcs.back().substr(0, 9), "frameArcs");

  // Two-colour mode draws into the mask plane.
  m->flags |= vimgedTWO_COLOR;
  vimgedSetPixel(m, 1, 1, 0, 3);
  Log mask = shapes();
  ASSERT_FALSE(mask.empty());
  EXPECT_EQ(mask.front(), "open target=W flags=8192");
  m->flags &= ~vimgedTWO_COLOR;

  vimgedSelectAll(m, 0);
  d.name(m->display, "D");
  d.take();
  EXPECT_EQ(vimgedGetDisplayImage(m), m->display);
  EXPECT_EQ(shapes(), (Log{"open target=D flags=0", "drawImage 0,0", "drawImage 0,0"}));
  vimgedSetNotify(m, 0);
  EXPECT_EQ(m->flags & (vimgedREPORT | vimgedDRAW_LAYER), 0u);
  EXPECT_EQ(reports, 0) << "no change reported: the selection was only lifted";
  vimgedMoveSelection(m, 1, 0);
  _vdrawShutdown();
}

}  // namespace
