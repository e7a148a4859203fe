// Dragging: one drag at a time, the application's handlers replaced and
// given back, the work buffer for overlapping moves, the drop into the
// window under the pointer, and the screen as it was after the end.
#include "fw/widgets/menus/drag.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "platform/win/test.h"

namespace {

std::vector<std::string> drawn;
void drawPicture(vdrag*, const vrect* r) {
  drawn.push_back(std::to_string(r->x) + "," + std::to_string(r->y));
  vdrawRectFill(r->x, r->y, r->width, r->height);
}
int releases = 0;
int appRelease(vevent*) { return ++releases; }

struct Drags : ::testing::Test {
  vdrag* drag = nullptr;
  void SetUp() override {
    vwindowEnsureStartup();
    vwindowOpen(vwindowGetRoot());
    drawn.clear();
    releases = 0;
    drag = vdragCreate();
    vdragSetDrawProc(drag, drawPicture);
    drag->width = drag->height = 20;
    drag->hotX = drag->hotY = 5;
  }
  void TearDown() override {
    if (drag) vinstanceDestroy(drag);
  }
  vevent* at(int kind, int x, int y) {
    vwindow* root = vwindowGetRoot();
    return kind == veventBUTTON_UP ? veventCreateButtonUp(root, x, y, 0, 0, 1, 0)
                                   : veventCreateMotion(root, x, y, 0x10, 1, 1);
  }
};

TEST_F(Drags, SmallMovesGoThroughTheWorkBufferAndJumpsDoNot) {
  vevent* press = veventCreateButtonDown(vwindowGetRoot(), 100, 100, 0, 1, 1, 0);
  vdragStart(drag, press);
  veventDestroy(press);
  EXPECT_EQ(vdragGetCurrent(), drag);
  EXPECT_TRUE(drawn.empty()) << "nothing is drawn at the start";
  EXPECT_EQ(drag->current.x, 95);
  veventDispatch(at(veventPOINTER_DRAG_LAST, 101, 100));
  // Drawn in the work buffer, at its place in the union of old and new.
  EXPECT_EQ(drawn, (std::vector<std::string>{"1,0"}));
  veventDispatch(at(veventPOINTER_DRAG_LAST, 400, 300));
  EXPECT_EQ(drawn.back(), "395,295") << "a jump draws on the screen";
  EXPECT_EQ(drag->current.x, 395);
  bool raised = false;
  vdrag* other = vdragCreate();
  vexGuard([&] { vdragStart(other, at(veventBUTTON_DOWN, 1, 1)); }, [&](vexHandler&) { raised = true; });
  EXPECT_TRUE(raised) << "only one drag at a time";
  EXPECT_EQ(vdragGetCurrent(), drag);
  vinstanceDestroy(other);
  vdragEnd(drag);
  EXPECT_EQ(vdragGetCurrent(), nullptr);
}

TEST_F(Drags, TheApplicationStillSeesTheReleaseAndTheDropReachesTheWindow) {
  vapplication* app = vapplicationGetCurrent();
  veventHandler before = app->dispatch.handlers[veventBUTTON_UP];
  app->dispatch.handlers[veventBUTTON_UP] = appRelease;
  vwindow* target = vwindowCreate();
  target->rect = {300, 300, 100, 100};
  vwindowOpen(target);
  static vwindow* droppedOn;
  droppedOn = nullptr;
  drag->drop = [](vdrag*, vwindow*, vwindow* t, vevent*) { droppedOn = t; };
  vevent* press = veventCreateButtonDown(target, 10, 10, 0, 1, 1, 0);
  vdragStart(drag, press);
  veventDestroy(press);
  win::test::MouseMove({350, 768 - 350});  // screen rows count from the top
  veventDispatch(veventCreateButtonUp(target, 50, 50, 0, 0, 1, 0));
  EXPECT_EQ(releases, 1);
  EXPECT_EQ(vdragGetCurrent(), nullptr);
  EXPECT_EQ(app->dispatch.handlers[veventBUTTON_UP], appRelease) << "the handler is given back";
  EXPECT_EQ(droppedOn, target) << "the window under the pointer gets the drop";
  app->dispatch.handlers[veventBUTTON_UP] = before;
  vwindowDestroy(target);
}

TEST_F(Drags, DestroyingADragInProgressLeavesTheScreenAsItWas) {
  win::test::Image before = win::test::ScreenImage();
  vevent* press = veventCreateButtonDown(vwindowGetRoot(), 200, 200, 0, 1, 1, 0);
  vdragStart(drag, press);
  veventDestroy(press);
  veventDispatch(at(veventPOINTER_DRAG_LAST, 203, 201));
  veventDispatch(at(veventPOINTER_DRAG_LAST, 600, 500));
  vinstanceDestroy(drag);
  drag = nullptr;
  EXPECT_EQ(vdragGetCurrent(), nullptr);
  win::test::Image after = win::test::ScreenImage();
  EXPECT_EQ(after.px, before.px);
  bool raised = false;
  vexGuard([&] { vdragEnd(nullptr); }, [&](vexHandler&) { raised = true; });
  EXPECT_TRUE(raised) << "ending a null drag";
}

}  // namespace
