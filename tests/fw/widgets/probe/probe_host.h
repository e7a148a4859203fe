// The probes' host window: a window that draws its dialog item list, hands
// it presses by position, gives drags and releases to the pressed item and
// keys to the focused item.
#pragma once
#include "fw/core/event.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/widgets/dialog/itemlist.h"

namespace probehost {

// Native messages, then the framework events they made (updates among them).
inline void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
}

inline vdialogItemList* listOf(vwindow* w) { return static_cast<vdialogItemList*>(w->data); }

inline vwindowClassRec* hostClass() {
  static vwindowClassRec* c = [] {
    auto* r = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
    vclassSetName(r, vscribeLiteral("probeHost"));
    r->draw = [](vwindow* w) {
      vwindowGetDefaultClass()->draw(w);
      // The update has bound the window with its damage as the clip.
      if (vdialogItemList* l = listOf(w)) {
        vdrawGSave();
        vdialogItemListDraw(l);
        vdrawGRestore();
      }
    };
    r->handleButtonDown = [](vwindow* w, vevent* e) { return vdialogItemListClassOf(listOf(w))->buttonDown(listOf(w), e); };
    // As a dialog routes them: a motion with more queued behind it to the
    // pressed item's motion slot, the last one to its drag slot.
    r->handleDragPending = [](vwindow* w, vevent* e) {
      vdialogItem* i = listOf(w)->pressed;
      return i ? vdialogItemClassOf(i)->motion(i, e) : 0;
    };
    r->handleDrag = [](vwindow* w, vevent* e) {
      vdialogItem* i = listOf(w)->pressed;
      return i ? vdialogItemClassOf(i)->drag(i, e) : 0;
    };
    r->handleButtonUp = [](vwindow* w, vevent* e) {
      vdialogItem* i = listOf(w)->pressed;
      listOf(w)->pressed = nullptr;
      return i ? vdialogItemClassOf(i)->buttonUp(i, e) : 0;
    };
    r->handleKeyDown = [](vwindow* w, vevent* e) {
      vdialogItem* i = vdialogItemListGetFocusItem(listOf(w));
      return i ? vdialogItemClassOf(i)->keyDown(i, e) : 0;
    };
    return r;
  }();
  return c;
}

inline vwindow* host(int width, int height) {
  auto* w = static_cast<vwindow*>(vinstanceCreate(hostClass()));
  w->rect = {20, 20, std::int16_t(width), std::int16_t(height)};
  vdialogItemList* list = vdialogItemListCreate();
  vdialogItemListSetOwner(list, w, &vdialogItemListWindowOwner);
  w->data = list;
  return w;
}

inline void show(vwindow* w) {
  vdialogItemListClassOf(listOf(w))->open(listOf(w));
  vwindowOpen(w);
  settle();
}

inline void finish(vwindow* w) {
  vdialogItemList* list = listOf(w);
  vdialogItemListClassOf(list)->close(list);
  vwindowClose(w);
  vinstanceDestroy(list);
  vwindowDestroy(w);
}

}  // namespace probehost
