// The preferences dialog against the user's layout store, and the About
// boxes of the Help menu.
#include <gtest/gtest.h>

#include <string>

#include "fw/core/name.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/dialog.h"
#include "frontends/gui/dialogs/command_dialog.h"
#include "frontends/gui/dpref.h"
#include "frontends/gui/layout.h"
#include "tests/gui/dialog_test_support.h"
#include "platform/win/test.h"
#include "tests/gui_app/front_end_support.h"

namespace {

using namespace front_end_test;

struct Preferences : ::testing::Test {
  map_form form;
  gui::dialog_state* prefs = nullptr;
  void SetUp() override {
    clear_layout();
    start({});
    gui::dialogs_reset();
    prefs = gui::dialog_by_command("M_File_Pref");
    ASSERT_NE(prefs, nullptr);
  }
  void TearDown() override {
    gui::dialogs_reset();
    clear_layout();
  }
};

TEST_F(Preferences, TheToggleShowsTheStoreAndOkStoresItAsABoolean) {
  // No key: on.
  gui::dialog_open_with(*prefs, &form);
  EXPECT_EQ(form.values["|Save_Pos"], 1);
  form.values["|Save_Pos"] = 0;
  EXPECT_EQ(gui::dialog_apply(*prefs), 1);
  EXPECT_EQ(gui::dialog_close(*prefs), 0);
  int stored = -1;
  ASSERT_TRUE(vresourceTestGetBoolean(gui::layout_resources(), N("SavePos"), &stored));
  EXPECT_EQ(stored, 0);
  EXPECT_EQ(gui::save_pos_value(), 0);

  // An integer key written by an older layout: read, then replaced.
  vresourceRemove(gui::layout_resources(), N("SavePos"));
  vresourceSetInteger(gui::layout_resources(), N("SavePos"), 0);
  form = map_form{};
  gui::dialog_open_with(*prefs, &form);
  EXPECT_EQ(form.values["|Save_Pos"], 0);
  form.values["|Save_Pos"] = 1;
  EXPECT_EQ(gui::dialog_apply(*prefs), 1);
  gui::dialog_close(*prefs);
  EXPECT_EQ(gui::save_pos_value(), 1);
}

TEST_F(Preferences, AStoreThatFailsStillLetsTheDialogClose) {
  vapplication* app = vapplicationGetCurrent();
  gui::layout_resources();
  const vresource kept = app->resources;
  // A store whose file is gone: every write raises.
  const vresource gone = vresourceCreateMemory();
  vresourceCloseFile(gone);
  app->resources = gone;
  gui::dialog_open_with(*prefs, &form);
  EXPECT_EQ(form.values["|Save_Pos"], 1) << "unreadable: on";
  form.values["|Save_Pos"] = 0;
  EXPECT_EQ(gui::dialog_apply(*prefs), 1);
  EXPECT_EQ(gui::dialog_close(*prefs), 0);
  EXPECT_EQ(prefs->open, 0);
  app->resources = kept;
}

TEST_F(Preferences, EachAboutChoiceOpensAnotherBoxThatItsCloseButtonEnds) {
  auto* first = static_cast<vdialog*>(gui::about_box_open());
  auto* second = static_cast<vdialog*>(gui::about_box_open());
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_TRUE(vwindowIsOpen(first));
  EXPECT_TRUE(vwindowIsOpen(second));
  EXPECT_STREQ(first->title, "About Sim73500");
  vdialogItem* close = vdialogFindItem(first, N("Close"));
  ASSERT_NE(close, nullptr);
  vdialogNotifyItem(close, nullptr);
  EXPECT_FALSE(vwindowIsOpen(first));
  EXPECT_TRUE(vwindowIsOpen(second));
  run_until(100);
  vwindowClose(second);
  vinstanceDestroyLater(second);
  run_until(200);
}

// Return and Escape end an About box as its Close button does, on the
// active box only.
TEST_F(Preferences, ReturnAndEscapeCloseTheAboutBox) {
  for (win::UINT key : {win::VK_ESCAPE, win::VK_RETURN}) {
    auto* box = static_cast<vdialog*>(gui::about_box_open());
    ASSERT_NE(box, nullptr);
    win::SetActiveWindow(box->native->hwnd);
    run_until(elapsed() + 100);
    ASSERT_TRUE(vwindowIsOpen(box));
    win::test::KeyDown(key);
    win::test::KeyUp(key);
    run_until(elapsed() + 100);
    EXPECT_FALSE(vwindowIsOpen(box)) << "key " << key;
  }
}

}  // namespace
