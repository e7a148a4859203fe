// A window that draws one dialog item of the domain family, headless, with
// its picture compared against tests/data/domain/<name>.png (written to
// $DOMAINVIEW_PNG_<name>.png when that is set, for looking at).
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/itemlist.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/dialog_support.h"
#include "tests/support/png_compare.h"

struct DomainWindowFixture : ::testing::Test {
  vwindow* w = nullptr;
  vdialogItemList* list = nullptr;
  vdialogItem* item = nullptr;

  static vdialogItemList* listOf(vwindow* w) { return static_cast<vdialogItemList*>(w->data); }
  static vwindowClassRec* hostClass() {
    static vwindowClassRec* c = [] {
      auto* r = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
      vclassSetName(r, vscribeLiteral("domainWindowHost"));
      r->draw = [](vwindow* w) {
        vwindowGetDefaultClass()->draw(w);
        vdrawGSave();
        vdialogItemListSetDrawingState(listOf(w));
        vdialogItemListDraw(listOf(w));
        vdrawGRestore();
      };
      return r;
    }();
    return c;
  }
  void SetUp() override {
    startDialogItemTests();
    w = static_cast<vwindow*>(vinstanceCreate(hostClass()));
    w->rect = {30, 30, 300, 180};
    list = vdialogItemListCreate();
    vdialogItemListSetOwner(list, w, &vdialogItemListWindowOwner);
    w->data = list;
  }
  // Puts the item in the window and opens both.
  void show(vdialogItem* i) {
    item = i;
    vdialogItemListAppend(list, item);
    vdialogItemListClassOf(list)->open(list);
    vwindowOpen(w);
    settle();
  }
  void TearDown() override {
    if (vwindowIsOpen(w)) vwindowClose(w);
    vdialogItemListClassOf(list)->close(list);
    vinstanceDestroy(list);
    vwindowDestroy(w);
  }
  static void settle() {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
  }
  void redraw() {
    vdrawGSave();
    vdialogItemListSetDrawingState(list);
    vdrawInitDeviceClip();
    vdialogItemListDraw(list);
    vdrawGRestore();
  }
  ::testing::AssertionResult matches(const char* name) {
    win::test::Image image = win::test::WindowImage(w->native->hwnd);
    if (const char* keep = std::getenv("DOMAINVIEW_PNG"))
      win::test::WritePng(std::string(keep) + "_" + name + ".png", image);
    return test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/domain/" + name + ".png");
  }
};
