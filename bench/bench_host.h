// The widget benchmarks' host: a plain window whose draw draws its dialog
// item list, made at a rectangle, and the whole list drawn as an update
// would draw it.
#pragma once

#include "fw/core/event.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/widgets/dialog/itemlist.h"

namespace benchhost {

inline vdialogItemList* listOf(vwindow* w) { return static_cast<vdialogItemList*>(w->data); }

// Native messages, then the framework events they made.
inline void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
}

// A window of the class named `class_name` (made on the first call) with
// an empty item list; open it with `open`.
inline vwindow* create(const char* class_name, vrect rect) {
  static vwindowClassRec* host = [class_name] {
    auto* r = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
    vclassSetName(r, vscribeLiteral(class_name));
    r->draw = [](vwindow* w) {
      vwindowGetDefaultClass()->draw(w);
      vdrawGSave();
      vdialogItemListDraw(listOf(w));
      vdrawGRestore();
    };
    return r;
  }();
  auto* w = static_cast<vwindow*>(vinstanceCreate(host));
  w->rect = rect;
  vdialogItemList* items = vdialogItemListCreate();
  vdialogItemListSetOwner(items, w, &vdialogItemListWindowOwner);
  w->data = items;
  return w;
}

inline void open(vwindow* w) {
  vdialogItemListClassOf(listOf(w))->open(listOf(w));
  vwindowOpen(w);
  settle();
}

// Every item drawn, clipped to the window.
inline void drawAll(vwindow* w) {
  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(w));
  vdrawInitDeviceClip();
  vdialogItemListDraw(listOf(w));
  vdrawGRestore();
}

}  // namespace benchhost
