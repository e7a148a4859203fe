// Dragging: one drag at a time, the application's handlers replaced and
// given back, the picture in a window of its own that follows the pointer,
// the drop into the window under the pointer, and the screen as it was
// after the end.
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

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

TEST_F(Drags, ThePictureFollowsInAWindowOfItsOwnDrawnOnce) {
  vevent* press = veventCreateButtonDown(vwindowGetRoot(), 100, 100, 0, 1, 1, 0);
  vdragStart(drag, press);
  veventDestroy(press);
  EXPECT_EQ(vdragGetCurrent(), drag);
  settle();
  EXPECT_TRUE(drawn.empty()) << "nothing is drawn at the start";
  EXPECT_EQ(drag->picture, nullptr);
  EXPECT_EQ(drag->current.x, 95);
  veventDispatch(at(veventPOINTER_DRAG_LAST, 101, 100));
  settle();
  // Drawn in its own window, at that window's origin.
  EXPECT_EQ(drawn, (std::vector<std::string>{"0,0"}));
  ASSERT_NE(drag->picture, nullptr);
  EXPECT_EQ(drag->picture->rect.x, 96);
  EXPECT_EQ(drag->picture->rect.y, 95);
  veventDispatch(at(veventPOINTER_DRAG_LAST, 400, 300));
  settle();
  EXPECT_EQ(drag->picture->rect.x, 395) << "a jump moves the window";
  EXPECT_EQ(drag->picture->rect.y, 295);
  EXPECT_EQ(drag->current.x, 395);
  bool raised = false;
  vdrag* other = vdragCreate();
  vexGuard([&] { vdragStart(other, at(veventBUTTON_DOWN, 1, 1)); }, [&](vexHandler&) { raised = true; });
  EXPECT_TRUE(raised) << "only one drag at a time";
  EXPECT_EQ(vdragGetCurrent(), drag);
  vinstanceDestroy(other);
  vdragEnd(drag);
  EXPECT_EQ(vdragGetCurrent(), nullptr);
  EXPECT_EQ(drag->picture, nullptr) << "the picture goes with the end";
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

// Over a window and between windows: the picture shows where it is and
// nowhere else, and the screen comes back whole after a drop and after the
// drag is destroyed mid-way.
TEST_F(Drags, TheScreenComesBackAfterADropAndAfterADestroy) {
  vwindow* left = vwindowCreate();
  left->rect = {100, 100, 200, 200};
  vwindow* right = vwindowCreate();
  right->rect = {500, 100, 200, 200};
  for (vwindow* w : {left, right}) vwindowOpen(w);
  settle();
  const win::test::Image before = win::test::ScreenImage();
  auto pixel = [](const win::test::Image& im, int x, int y) {  // root coordinates, y up
    return im.px[std::size_t(im.height - 1 - y) * std::size_t(im.width) + std::size_t(x)] & 0xFFFFFF;
  };
  for (bool destroyIt : {false, true}) {
    if (!drag) {
      drag = vdragCreate();
      vdragSetDrawProc(drag, drawPicture);
      drag->width = drag->height = 20;
      drag->hotX = drag->hotY = 5;
    }
    vevent* press = veventCreateButtonDown(left, 50, 50, 0, 1, 1, 0);
    vdragStart(drag, press);
    veventDestroy(press);
    for (int x : {152, 160, 250, 400, 550, 560, 420}) {
      veventDispatch(at(veventPOINTER_DRAG_LAST, x, 150));
      settle();
      win::test::Image now = win::test::ScreenImage();
      EXPECT_EQ(pixel(now, x, 150), 0u) << "the picture under the pointer at " << x;
      EXPECT_EQ(pixel(now, x - 30, 150), pixel(before, x - 30, 150)) << "no trail behind it at " << x;
    }
    if (destroyIt) {
      vinstanceDestroy(drag);
      drag = nullptr;
    } else {
      veventDispatch(veventCreateButtonUp(vwindowGetRoot(), 420, 150, 0, 0, 1, 0));
    }
    settle();
    EXPECT_EQ(vdragGetCurrent(), nullptr);
    EXPECT_TRUE(win::test::ScreenImage().px == before.px) << (destroyIt ? "destroyed" : "dropped");
  }
  for (vwindow* w : {left, right}) vwindowDestroy(w);
  bool raised = false;
  vexGuard([&] { vdragEnd(nullptr); }, [&](vexHandler&) { raised = true; });
  EXPECT_TRUE(raised) << "ending a null drag";
}

}  // namespace
