// The dialog class: the embedded item list and its owner record, the
// resource form, opening and closing, activation, the deferred sizing and
// arrangement, the close hook, and pointer routing. Keys and commands are
// in dialog_keys.cpp.
#include "fw/widgets/dialog/dialog.h"

#include <cstdlib>

#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/dialog_internal.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"

namespace {

vwindowClassRec* super() { return vwindowGetDefaultClass(); }
vdialog* asD(void* o) { return static_cast<vdialog*>(o); }
vdialogClassRec* rec(vdialog* d) { return vdialogClassOf(d); }
vdialogItemListClassRec* lrec(vdialogItemList* l) { return vdialogItemListClassOf(l); }
bool has(const vdialog* d, std::uint16_t bit) { return (d->dialogFlags & bit) != 0; }

void adopt(vdialog* d) { vdialogItemListSetOwner(d->items, d, &vdialogItemListWindowOwner); }
bool activeOnly() { return (vlafGetCurrent()->flags & vlafDEFAULT_ONLY_ACTIVE) != 0; }

void arrangeNow(vdialog* d) {
  vrect r{0, 0, d->rect.width, d->rect.height};
  rec(d)->arrange(d, &r);
  d->dialogFlags &= std::uint16_t(~vdialogARRANGE_PENDING);
}

// ---- The deferred sizing and arrangement: one queued event at a time.
int pendingHandler(vevent* event) {
  vdialog* d = asD(event->data);
  if (!d) return 1;  // detached by a close
  if (has(d, vdialogSIZE_PENDING)) vdialogSizeToItems(d);
  if (has(d, vdialogARRANGE_PENDING)) {
    arrangeNow(d);
    if (vwindowIsOpen(d)) vwindowInvalAll(d, 0);
  }
  d->pending = nullptr;
  return 1;
}

void schedule(vdialog* d) {
  d->dialogFlags |= vdialogARRANGE_PENDING;
  if (!vwindowIsOpen(d) || d->pending) return;
  d->pending = veventCreateClient(pendingHandler, d);
  d->pending->priority = 191;
  veventPost(d->pending);
}

void detachPending(vdialog* d) {
  if (!d->pending) return;
  d->pending->data = nullptr;
  d->pending = nullptr;
}

// The dialog is the window above its menu: the chosen entries find their
// commands and context there.
void setMenuField(vdialog* d, vmenu* menu) {
  d->menu = menu;
  if (menu) menu->parent = d;
}

// ---- Object slots.
void init(vinstance* self) {
  super()->init(self);
  vdialog* d = asD(self);
  d->menu = nullptr;
  d->closeHook = nullptr;
  d->pending = nullptr;
  d->dialogFlags = vdialogSIZE_PENDING | vdialogARRANGE_PENDING;
  d->items = vdialogItemListCreate();
  adopt(d);
}

void destroy(vinstance* self) {
  vdialog* d = asD(self);
  if (vwindowIsOpen(d)) vwindowClose(d);
  detachPending(d);
  _vdialogForget(d);
  vinstanceDestroy(d->items);
  if (d->menu) vinstanceDestroy(d->menu);
  super()->destroy(self);
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copy(source, destination);
  vdialog* from = asD(source);
  vdialog* to = asD(destination);
  to->closeHook = from->closeHook;
  if (to->menu) vinstanceDestroy(to->menu);
  setMenuField(to, from->menu ? static_cast<vmenu*>(vobjectClone(from->menu)) : nullptr);
  to->dialogFlags = std::uint16_t((to->dialogFlags & ~3) | (from->dialogFlags & 3));
  vclassRec<vobjectClassRec>(to->items)->copy(from->items, to->items);
  adopt(to);
}

void copyInit(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copyInit(source, destination);
  vdialog* from = asD(source);
  vdialog* to = asD(destination);
  to->closeHook = from->closeHook;
  setMenuField(to, from->menu ? static_cast<vmenu*>(vobjectClone(from->menu)) : nullptr);
  to->dialogFlags = std::uint16_t(from->dialogFlags & 3);
  to->pending = nullptr;
  to->items = static_cast<vdialogItemList*>(vobjectClone(from->items));
  adopt(to);
}

template <typename T>
T* loadOf(vresource resource, vname key, vclass* expected) {
  vresource r;
  if (!vresourceTestGet(resource, key, &r)) return nullptr;
  vobject* o = vobjectLoad(r);
  if (vclassIsSubclass(o->cls, expected)) return static_cast<T*>(o);
  vinstanceDestroy(o);
  return nullptr;
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vdialog* d = asD(self);
  d->menu = nullptr;
  d->items = nullptr;
  d->closeHook = nullptr;
  d->pending = nullptr;
  // Read for the record: a loaded dialog always sizes and arranges first.
  std::int32_t unused = 0;
  vresourceTestGetInteger(resource, N("vdialogFlags"), &unused);
  d->dialogFlags = vdialogSIZE_PENDING | vdialogARRANGE_PENDING;
  setMenuField(d, loadOf<vmenu>(resource, vname_Menu, vmenuGetDefaultClass()));
  vresource r;
  d->items = vresourceTestGet(resource, vname_ItemList, &r) ? vdialogItemListLoad(r) : vdialogItemListCreate();
  adopt(d);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vdialog* d = asD(self);
  if (d->menu)
    vclassRec<vobjectClassRec>(d->menu)->store(d->menu, vresourceCreate(resource, vname_Menu, vresDICTIONARY));
  else vresourceRemoveIfPresent(resource, vname_Menu);
  vresourceSetIntegerAt(resource, N("vdialogFlags"), 0);
  vclassRec<vobjectClassRec>(d->items)->store(d->items, vresourceCreate(resource, vname_ItemList, vresDICTIONARY));
}

void addContext(vobject* self, vdict* context) {
  super()->addContext(self, context);
  vwindow* top = asD(self);
  while (top->parent && top->parent != vwindowGetRoot()) top = top->parent;
  vdictStore(context, vname_Document, top);
  vdictStore(context, vname_Dialog, self);
}

void setByIndex(vobject* self, int index, const void* value) {
  vdialog* d = asD(self);
  auto item = static_cast<vdialogItem*>(const_cast<void*>(value));
  switch (index) {
    case vdialogA_FOCUS: rec(d)->setFocusItem(d, item); return;
    case vdialogA_CONFIRM: rec(d)->setConfirmItem(d, item); return;
    case vdialogA_ABANDON: rec(d)->setAbandonItem(d, item); return;
    case vdialogA_DEFAULT_FOCUS: rec(d)->setDefaultFocusItem(d, item); return;
    default: super()->setAttributeByIndex(self, index, value);
  }
}

const void* getByIndex(vobject* self, int index) {
  vdialogItemList* l = asD(self)->items;
  switch (index) {
    case vdialogA_MENU: return asD(self)->menu;
    case vdialogA_FOCUS: return vdialogItemListGetFocusItem(l);
    case vdialogA_CONFIRM: return vdialogItemListGetConfirmItem(l);
    case vdialogA_ABANDON: return vdialogItemListGetAbandonItem(l);
    case vdialogA_DEFAULT_FOCUS: return vdialogItemListGetDefaultFocusItem(l);
    case vdialogA_SOLUTION: return l->solution;
    default: return super()->getAttributeByIndex(self, index);
  }
}

void send(vobject* self, vname name, vdict* args) {
  vdialog* d = asD(self);
  if (name == vname_Rect && args) {
    auto* old = static_cast<const vrect*>(vdictGet(args, vname_OldValue));
    if (old && (old->width != d->rect.width || old->height != d->rect.height)) schedule(d);
  } else if (name == vname_Solution) {
    d->dialogFlags |= vdialogSIZE_PENDING;
    schedule(d);
  }
  super()->send(self, name, args);
}

// The list's own announcements are the dialog's.
void relay(vobject* owner, vname name, vdict* args) { vobjectAttributedOf(owner)->send(owner, name, args); }

void inheritedChanged(vobject* self, vname selector, vdict* args) {
  super()->reserved8(self, selector, args);
  vdialogItemListPassInherited(asD(self)->items, selector, args);
}

// ---- Window slots.
void open(vwindow* w) {
  vdialog* d = asD(w);
  if (vwindowIsOpen(d)) return;
  if (has(d, vdialogSIZE_PENDING)) vdialogSizeToItems(d);
  if (has(d, vdialogARRANGE_PENDING)) arrangeNow(d);
  super()->open(w);
  lrec(d->items)->open(d->items);
  if (!activeOnly()) lrec(d->items)->showDefault(d->items);
}

void close(vwindow* w) {
  vdialog* d = asD(w);
  if (!vwindowIsOpen(d)) return;
  detachPending(d);
  vdialogItemList* l = d->items;
  lrec(l)->hideDefault(l);
  lrec(l)->deactivateFocus(l);
  lrec(l)->clearMark(l);
  lrec(l)->close(l);
  super()->close(w);
}

void draw(vwindow* w) { vdialogItemListDraw(asD(w)->items); }

int focusIn(vwindow* w, vevent* e) {
  vdialog* d = asD(w);
  vdialogItemList* l = d->items;
  if (!(l->flags & vdialogItemListOPEN)) lrec(l)->open(l);
  lrec(l)->setMark(l);
  lrec(l)->activateFocus(l);
  if (activeOnly()) lrec(l)->showDefault(l);
  return super()->handleFocusIn(w, e);
}

int focusOut(vwindow* w, vevent* e) {
  vdialogItemList* l = asD(w)->items;
  if (activeOnly()) lrec(l)->hideDefault(l);
  lrec(l)->deactivateFocus(l);
  lrec(l)->clearMark(l);
  return super()->handleFocusOut(w, e);
}

int windowState(vwindow* w, vevent* e) {
  vdialog* d = asD(w);
  if (veventGetStateCode(e) == veventSTATE_CLOSE && d->closeHook && d->closeHook(d, e)) return 1;
  return super()->handleState(w, e);
}

// ---- The pointer: items first, then the dialog's menu.
struct Press {
  int x, y;
  std::int64_t time;
  bool moved, pending;
} cuaPress{0, 0, 0, true, false};

std::int64_t timeOf(const vevent* e) { return e->seconds * 1000000000 + e->nanoseconds; }

void popUpMenu(vdialog* d, vevent* event) {
  int x = veventGetX(event), y = veventGetY(event);
  vmenuPopupForEvent(d->menu, event);
  _vdialogTargetMenu(d);
  vrect around{std::int16_t(x - 2), std::int16_t(y - 2), 4, 4}, inMenu = around;
  vwindowTranslateRect(d, d->menu, &around, &inMenu);
  vmenuClassOf(d->menu)->setPopupRects(d->menu, &inMenu, 1);
  vmenuHandleEvent(d->menu, event);
}

int buttonDown(vwindow* w, vevent* e) {
  vdialog* d = asD(w);
  if (lrec(d->items)->buttonDown(d->items, e)) return 1;
  if (veventGetBinding(e) != vname_Menu || !d->menu) return super()->handleButtonDown(w, e);
  if (vlafGetCurrent()->id == vlafCUA) {
    cuaPress = {veventGetX(e), veventGetY(e), timeOf(e), false, true};
    return 1;
  }
  popUpMenu(d, e);
  return 1;
}

int buttonUp(vwindow* w, vevent* e) {
  vdialog* d = asD(w);
  if (vdialogItem* pressed = d->items->pressed) {
    d->items->pressed = nullptr;
    return vdialogItemClassOf(pressed)->buttonUp(pressed, e);
  }
  if (vlafGetCurrent()->id == vlafCUA && cuaPress.pending && !cuaPress.moved) {
    cuaPress.pending = false;
    std::int64_t elapsed = timeOf(e) - cuaPress.time;
    if (veventGetBinding(e) == vname_Menu && d->menu && std::abs(veventGetX(e) - cuaPress.x) <= 3 &&
        std::abs(veventGetY(e) - cuaPress.y) <= 3 && elapsed <= veventGetDoubleClickInterval()) {
      popUpMenu(d, e);
      return 1;
    }
  }
  return super()->handleButtonUp(w, e);
}

template <int (*vdialogItemClassRec::*Slot)(vdialogItem*, vevent*)>
int motion(vwindow* w, vevent* e) {
  vdialog* d = asD(w);
  if (vdialogItem* pressed = d->items->pressed) return (vdialogItemClassOf(pressed)->*Slot)(pressed, e);
  if (vlafGetCurrent()->id == vlafCUA && cuaPress.pending &&
      (std::abs(veventGetX(e) - cuaPress.x) > 2 || std::abs(veventGetY(e) - cuaPress.y) > 2))
    cuaPress.moved = true;
  return 0;
}

int plainMotion(vwindow* w, vevent* e) {
  vdialog* d = asD(w);
  if (lrec(d->items)->pointer(d->items, e)) return 1;
  return super()->handlePlainMotion(w, e);
}

// ---- Dialog slots.
void appendItem(vdialog* d, vdialogItem* item) {
  vdialogItemListAppend(d->items, item);
  vdialogInvalItem(item, 1);
}
void removeItem(vdialog* d, vdialogItem* item) {
  vdialogInvalItem(item, 0);
  vobjectListRemove(d->items, item);
}
void insertItem(vdialog* d, vdialogItem* item, int index) {
  vobjectListInsertAt(d->items, item, index);
  vdialogInvalItem(item, 1);
}
void arrange(vdialog* d, const vrect* r) { lrec(d->items)->arrange(d->items, r); }
void naturalSize(vdialog* d, int* w, int* h) { lrec(d->items)->naturalSize(d->items, w, h); }
void setMenu(vdialog* d, vmenu* menu) {
  vmenu* old = d->menu;
  setMenuField(d, menu);
  vobjectSendValueChange(d, vname_Menu, old, menu);
  if (old && old != menu) vinstanceDestroy(old);
}
void setCloseHook(vdialog* d, vdialogCloseHook hook) { d->closeHook = hook; }
void setFocusItem(vdialog* d, vdialogItem* i) { vdialogItemListSetFocusItem(d->items, i); }
void setConfirmItem(vdialog* d, vdialogItem* i) { vdialogItemListSetConfirmItem(d->items, i); }
void setAbandonItem(vdialog* d, vdialogItem* i) { vdialogItemListSetAbandonItem(d->items, i); }
void setDefaultFocusItem(vdialog* d, vdialogItem* i) { vdialogItemListSetDefaultFocusItem(d->items, i); }
void setPressedItem(vdialog* d, vdialogItem* i) { lrec(d->items)->setPressed(d->items, i); }
void setSolution(vdialog* d, vspringSolution* s) { lrec(d->items)->setSolution(d->items, s); }

}  // namespace

void _vdialogTargetMenu(vdialog* d) {
  if (d->menu && !vwindowIsOpen(d->menu)) setMenuField(d, d->menu);
}

void _vdialogFillSlots(vdialogClassRec* c) {
  c->instanceSize = sizeof(vdialog);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->addContext = addContext;
  c->setAttributeByIndex = setByIndex;
  c->getAttributeByIndex = getByIndex;
  c->send = send;
  c->reserved8 = inheritedChanged;
  c->open = open;
  c->close = close;
  c->draw = draw;
  c->handleState = windowState;
  c->handleButtonDown = buttonDown;
  c->handleButtonUp = buttonUp;
  c->handleDrag = motion<&vdialogItemClassRec::drag>;
  c->handleDragPending = motion<&vdialogItemClassRec::motion>;
  c->handlePlainMotion = plainMotion;
  c->handleFocusIn = focusIn;
  c->handleFocusOut = focusOut;
  c->appendItem = appendItem;
  c->removeItem = removeItem;
  c->insertItem = insertItem;
  c->arrange = arrange;
  c->getNaturalSize = naturalSize;
  c->setMenu = setMenu;
  c->setCloseHook = setCloseHook;
  c->setFocusItem = setFocusItem;
  c->setConfirmItem = setConfirmItem;
  c->setAbandonItem = setAbandonItem;
  c->setDefaultFocusItem = setDefaultFocusItem;
  c->setPressedItem = setPressedItem;
  c->setSolution = setSolution;
  vdialogItemListAddOwnerRelay(c, relay);
}

vdialog* vdialogCreate() { return asD(vinstanceCreate(vdialogGetDefaultClass())); }

vdialogItem* vdialogFindItem(vdialog* d, vname tag) {
  return static_cast<vdialogItem*>(vobjectListFindByTag(d->items, tag));
}

vdialogItem* _vdialogFindItemOfClass(vdialog* d, vname tag, const vclass* expected) {
  return static_cast<vdialogItem*>(_vobjectListFindByTagOfClass(d->items, tag, expected));
}

void vdialogSizeToItems(vdialog* d) {
  int w = 0, h = 0;
  rec(d)->getNaturalSize(d, &w, &h);
  d->dialogFlags &= std::uint16_t(~vdialogSIZE_PENDING);
  if (w > 0 || h > 0) vwindowResize(d, w > 0 ? w : d->rect.width, h > 0 ? h : d->rect.height);
}

void vdialogPlace(vdialog* d, vwindow* other, int horizontal, int vertical) {
  if (has(d, vdialogSIZE_PENDING)) vdialogSizeToItems(d);
  vwindowPlace(d, other, horizontal, vertical);
}

void vdialogPlaceRelative(vdialog* d, vdialog* other, int horizontal, int vertical) {
  if (other && has(other, vdialogSIZE_PENDING)) vdialogSizeToItems(other);
  vdialogPlace(d, other, horizontal, vertical);
}
