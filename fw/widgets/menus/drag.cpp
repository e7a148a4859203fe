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
  d->screen = d->background = d->work = nullptr;
  d->hotX = d->hotY = 0;
  d->width = d->height = 0;
  d->current = {};
  d->savedMotion = d->savedUp = d->savedDown = nullptr;
}

void destroy(vinstance* self) {
  if (current == self) vdragEnd(asDrag(self));
  super()->destroy(self);
}

// Copies the screen's area at r into image at (x, y).
void screenToImage(vdrag* d, const vrect& r, vimage* image, int x, int y) {
  vdrawGSave();
  vdrawBindImage(image, 0);
  vdrawRectClip(x, y, r.width, r.height);
  vdrawPathMoveTo(x - r.x, y - r.y);
  vdrawImage(d->screen);
  vdrawGRestore();
}
// Copies image's area at (x, y) of the rectangle's size to r in the target bound now.
void imageAt(vimage* image, int x, int y, const vrect& r) {
  vdrawGSave();
  vdrawRectClip(r.x, r.y, r.width, r.height);
  vdrawPathMoveTo(r.x - x, r.y - y);
  vdrawImage(image);
  vdrawGRestore();
}
void bindScreen() { vwindowBindDrawTarget(vwindowGetRoot()); }

void drawPicture(vdrag* d, const vrect& r) {
  if (!d->draw) return;
  vdrawGSave();
  d->draw(d, &r);
  vdrawGRestore();
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
  const vrect old = d->current;
  if (vrectIntersects(&old, &next)) {
    // In the work buffer: the union's screen, the old place restored, the
    // new place saved and drawn; then one copy to the screen.
    vrect u;
    vrectUnion(&old, &next, &u);
    screenToImage(d, u, d->work, 0, 0);
    vdrawGSave();
    vdrawBindImage(d->work, 0);
    imageAt(d->background, 0, 0, {std::int16_t(old.x - u.x), std::int16_t(old.y - u.y), old.width, old.height});
    vdrawGRestore();
    vdrawGSave();
    vdrawBindImage(d->background, 0);
    imageAt(d->work, next.x - u.x, next.y - u.y, {0, 0, next.width, next.height});
    vdrawGRestore();
    vdrawGSave();
    vdrawBindImage(d->work, 0);
    drawPicture(d, {std::int16_t(next.x - u.x), std::int16_t(next.y - u.y), next.width, next.height});
    vdrawGRestore();
    vdrawGSave();
    bindScreen();
    imageAt(d->work, 0, 0, u);
    vdrawGRestore();
  } else {
    vdrawGSave();
    bindScreen();
    imageAt(d->background, 0, 0, old);
    vdrawGRestore();
    screenToImage(d, next, d->background, 0, 0);
    vdrawGSave();
    bindScreen();
    drawPicture(d, next);
    vdrawGRestore();
  }
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
  if (!classSlot) classSlot = vmoduleAllocSlot();
  if (!*classSlot) {
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
  d->screen = vwindowMSWCreateWindowImage(root);
  d->background = vwindowCreateDisplayImage(std::max(1, int(d->width)), std::max(1, int(d->height)));
  d->work = vwindowCreateDisplayImage(std::max(1, 2 * int(d->width)), std::max(1, 2 * int(d->height)));
  int x = veventGetX(event), y = veventGetY(event);
  if (d->source && d->source != root) vwindowTranslatePoint(d->source, nullptr, x, y, &x, &y);
  d->current = rectAt(d, x, y);
  screenToImage(d, d->current, d->background, 0, 0);
}

void vdragEnd(vdrag* d) {
  if (!d) vexGenerateMessage(&vexArgNullClass, "Null");
  if (current != d) return;
  veventTable& table = vapplicationGetCurrent()->dispatch;
  table.handlers[veventPOINTER_DRAG_LAST] = d->savedMotion;
  table.handlers[veventBUTTON_UP] = d->savedUp;
  table.handlers[veventBUTTON_DOWN] = d->savedDown;
  vdrawGSave();
  bindScreen();
  imageAt(d->background, 0, 0, d->current);
  vdrawGRestore();
  vwindowUnblockGrabs();
  for (vimage** i : {&d->screen, &d->background, &d->work})
    if (*i) vimageDestroy(std::exchange(*i, nullptr));
  current = nullptr;
}
