// The road's dialogs on the framework's notices, answered by keys and
// clicks as a user gives them.
#include <gtest/gtest.h>

#include <string>

#include "fw/core/event.h"
#include "fw/data/vrstore.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/choosers/notice.h"
#include "fw/widgets/dialog_support.h"
#include "frontends/gui/fw_dialogs.h"
#include "frontends/gui/road.h"
#include "platform/win/test.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

void click_on(vconfirm* c, const char* tag) {
  vdialogItem* b = vconfirmFindButton(c, N(tag));
  ASSERT_NE(b, nullptr) << tag;
  vrect r = b->rect;
  vdialogItemListTransformRect(b->owner, &r);
  win::SetActiveWindow(c->native->hwnd);
  win::POINT p{r.x + r.width / 2, c->rect.height - 1 - (r.y + r.height / 2)};
  win::ClientToScreen(c->native->hwnd, &p);
  win::test::Click(p);
}

struct FrameworkDialogs : ::testing::Test {
  void SetUp() override {
    vrstoreInstallInterface();
    startDialogItemTests();
    vdialogStartup();
    vnoticeGetDefaultClass();
    gui::install_dialog_services(&gui::framework_dialogs());
  }
  void TearDown() override {
    gui::install_dialog_services(nullptr);
    settle();
  }
};

// The Wait notice stays open without a nested loop; its button is the
// user's Cancel.
TEST_F(FrameworkDialogs, TheWaitNoticesButtonEndsTheWait) {
  static int pressed;
  pressed = 0;
  void* handle = gui::framework_dialogs().notice_open("Wait command: Press Cancel to continue", "Cancel",
                                                      [] { ++pressed; });
  auto* n = static_cast<vnotice*>(handle);
  settle();
  ASSERT_TRUE(vwindowIsOpen(n));
  EXPECT_EQ(veventGetDepth(), 0) << "not modal";
  EXPECT_EQ(std::string(n->title).rfind("Sim", 0), 0U) << "the family title: " << n->title;
  click_on(n, "Ok");
  settle();
  EXPECT_EQ(pressed, 1);
  gui::framework_dialogs().notice_close_later(handle);
  settle();
}

}  // namespace
