// The GUI front-end with the framework started: the application's own
// resource file, the Windows look, the dialog classes, so that the
// simulator windows open from their commands headless; input goes in
// through the platform's test API.
#pragma once

#include <string>

#include "fw/core/event.h"
#include "fw/data/btree.h"
#include "fw/data/vrstore.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/lists/listview.h"
#include "platform/win/test.h"
#include "tests/gui/gui_support.h"

struct GuiWindowFixture : GuiFixture {
  void SetUp() override {
    GuiFixture::SetUp();
    vrstoreInstallInterface();
    startDialogItemTests();
    vdialogStartup();
    vtextitemGetDefaultClass();
    vlistviewGetDefaultClass();
    static vresource file = [] {
      const std::string path = std::string(std::getenv("WEXLINHOME")) + "/lib/sim73500.vr";
      vfsPath* p = vfsNewPathFromString(path.c_str());
      vresource r = vrstoreOpenFile(p, vbtreeREAD);
      vfsFreePath(p);
      vapplication* app = vapplicationGetCurrent();
      vapplicationClassOf(app)->setResourceFile(app, r);
      return r;
    }();
    (void)file;
  }
  void TearDown() override {
    gui::window_close_all(-2);
    settle();
    GuiFixture::TearDown();
  }
  static void settle() {
    for (int i = 0; i < 3; ++i) {
      veventMSWDrainMessages();
      veventProcessPending(1, 0);
    }
    veventMSWDrainMessages();
  }
  // A point of a dialog item in screen coordinates (x, y from the item's
  // bottom left, as the framework counts).
  static win::POINT screen_point(vwindow* w, const vdialogItem* item, int x, int y) {
    vrect r = item->rect;
    vdialogItemListTransformRect(item->owner, &r);
    win::POINT p{r.x + x, w->rect.height - 1 - (r.y + y)};
    win::ClientToScreen(w->native->hwnd, &p);
    return p;
  }
  static void type_keys(const std::string& keys) {
    win::test::Type(keys);
    settle();
  }
  static void press(win::UINT key) {
    win::test::KeyDown(key);
    win::test::KeyUp(key);
    settle();
  }
};
