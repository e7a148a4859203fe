#include "fw/widgets/menus/drag.h"

#include <algorithm>
#include <utility>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/window_event.h"

namespace {

void** classSlot = nullptr;
void** pictureSlot = nullptr;
vdrag* current = nullptr;
void (*preDropHook)(vevent* event) = nullptr;

vdrag* asDrag(vinstance* o) { return static_cast<vdrag*>(o); }
vinstanceClassRec* super() { return vinstanceGetDefaultClass(); }

void init(vinstance* self) {
  super()->init(self);
  vdrag* d = asDrag(self);
  d->draw = nullptr;
  d->drop = nullptr;
  d->motion = nullptr;
  d->source = nullptr;
  d->picture = nullptr;
  d->hotX = d->hotY = 0;
  d->width = d->height = 0;
  d->current = {};
  d->savedMotion = d->savedUp = d->savedDown = nullptr;
}

void destroy(vinstance* self) {
  if (current == self) vdragEnd(asDrag(self));
  super()->destroy(self);
}

// The picture's window draws the picture over its whole area.
vwindowClassRec* pictureClass() {
  if (!*vmoduleSlot(pictureSlot)) {
    auto* c = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
    vclassSetName(c, vscribeLiteral("vdragPicture"));
    c->draw = [](vwindow* w) {
      auto* d = static_cast<vdrag*>(w->data);
      if (!d || !d->draw) return;
      vrect r{0, 0, w->rect.width, w->rect.height};
      vdrawGSave();
      d->draw(d, &r);
      vdrawGRestore();
    };
    *static_cast<vwindowClassRec**>(vmoduleBindSlot(pictureSlot, sizeof(vwindowClassRec*))) = c;
  }
  return *static_cast<vwindowClassRec**>(*pictureSlot);
}

// Made at the first move: nothing shows before the pointer moves. It takes
// neither the focus nor the pointer: the window under it gets the drop.
void showPicture(vdrag* d, const vrect& r) {
  if (d->picture) {
    vwindowSetRect(d->picture, &r);
    return;
  }
  auto* w = static_cast<vwindow*>(vinstanceCreate(pictureClass()));
  vwindowClassRec* c = vwindowClassOf(w);
  c->setDecoration(w, 0);
  c->setAcceptsFocus(w, 0);
  c->setData(w, d);
  w->rect = r;
  d->picture = w;
  vwindowOpen(w);
  if (w->native)
    win::SetWindowLongPtrA(w->native->hwnd, win::GWL_EXSTYLE,
                           win::GetWindowLongPtrA(w->native->hwnd, win::GWL_EXSTYLE) | win::WS_EX_TRANSPARENT);
}

void dropPicture(vdrag* d) {
  vwindow* w = std::exchange(d->picture, nullptr);
  if (!w) return;
  if (vwindowIsOpen(w)) vwindowClose(w);
  vwindowDestroy(w);
}

vrect rectAt(vdrag* d, int x, int y) {
  return {std::int16_t(x - d->hotX), std::int16_t(y - d->hotY), std::int16_t(d->width), std::int16_t(d->height)};
}

int swallow(vevent*) { return 1; }

int motionHandler(vevent* event) {
  vdrag* d = current;
  if (!d) return 0;
  vwindow* from = veventGetWindow(event);
  int x = veventGetX(event), y = veventGetY(event);
  if (from && from != vwindowGetRoot()) vwindowTranslatePoint(from, nullptr, x, y, &x, &y);
  vrect next = rectAt(d, x, y);
  showPicture(d, next);
  d->current = next;
  if (d->motion) {
    vwindow* under = vwindowGetPointerWindow();
    vevent* local = veventCopy(event);
    if (under) vwindowTranslateEvent(from, under, local);
    d->motion(d, d->source, under, local);
    veventDestroy(local);
  }
  return 1;
}

int buttonUpHandler(vevent* event) {
  if (preDropHook) preDropHook(event);
  vdrag* d = current;
  if (!d) return 0;
  vevent* copy = veventCopy(event);
  veventHandler saved = d->savedUp;
  vdragEnd(d);
  if (d->source) {
    vwindow* target = vwindowGetPointerWindow();
    if (target) {
      vwindowTranslateEvent(veventGetWindow(copy), target, copy);
      int x = veventGetX(copy), y = veventGetY(copy);
      bool inside = x >= 0 && y >= 0 && x < target->rect.width && y < target->rect.height;
      if (inside && target != vwindowGetRoot() && d->drop) {
        vwindowClassOf(target)->bindDraw(target, 0);
        d->drop(d, d->source, target, copy);
        vdrawBindPathDevice();
      }
    }
  }
  // The application still sees the release.
  if (saved) saved(copy);
  veventDestroy(copy);
  return 1;
}

}  // namespace

vinstanceClassRec* vdragGetDefaultClass() {
  if (!*vmoduleSlot(classSlot)) {
    auto* c = vclassSpawnOf<vinstanceClassRec>(vinstanceGetDefaultClass());
    vclassSetName(c, vscribeLiteral("vdrag"));
    c->instanceSize = sizeof(vdrag);
    c->init = init;
    c->destroy = destroy;
    *static_cast<vinstanceClassRec**>(vmoduleBindSlot(classSlot, sizeof(vinstanceClassRec*))) = c;
  }
  return *static_cast<vinstanceClassRec**>(*classSlot);
}

vdrag* vdragCreate() { return asDrag(vinstanceCreate(vdragGetDefaultClass())); }
void vdragSetDrawProc(vdrag* drag, vdragDrawProc proc) { drag->draw = proc; }
vdrag* vdragGetCurrent() { return current; }
void vdragSetPreDropHook(void (*hook)(vevent* event)) { preDropHook = hook; }

void vdragStart(vdrag* d, vevent* event) {
  if (current) vexGenerateMessage(&vexModuleStateClass, "only one drag can take place at a time");
  d->source = veventGetWindow(event);
  current = d;
  veventTable& table = vapplicationGetCurrent()->dispatch;
  d->savedMotion = table.handlers[veventPOINTER_DRAG_LAST];
  d->savedUp = table.handlers[veventBUTTON_UP];
  d->savedDown = table.handlers[veventBUTTON_DOWN];
  table.handlers[veventPOINTER_DRAG_LAST] = motionHandler;
  table.handlers[veventBUTTON_UP] = buttonUpHandler;
  table.handlers[veventBUTTON_DOWN] = swallow;
  vwindowBlockGrabs();
  vwindow* root = vwindowGetRoot();
  vwindowOpen(root);
  int x = veventGetX(event), y = veventGetY(event);
  if (d->source && d->source != root) vwindowTranslatePoint(d->source, nullptr, x, y, &x, &y);
  d->current = rectAt(d, x, y);
}

void vdragEnd(vdrag* d) {
  if (!d) vexGenerateMessage(&vexArgNullClass, "Null");
  if (current != d) return;
  veventTable& table = vapplicationGetCurrent()->dispatch;
  table.handlers[veventPOINTER_DRAG_LAST] = d->savedMotion;
  table.handlers[veventBUTTON_UP] = d->savedUp;
  table.handlers[veventBUTTON_DOWN] = d->savedDown;
  current = nullptr;
  // The screen under the picture comes back as its window goes.
  dropPicture(d);
  vwindowUnblockGrabs();
}
