#include "fw/widgets/dialog/itemlist.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "fw/core/ex.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"

namespace {

vapplication* app() { return vapplicationGetCurrent(); }

// ---- The default owner: the application answers.
vwindow* noWindow(void*) { return nullptr; }
vobject* appCursor(void*) { return vapplicationGetCursor(app()); }
vfont* appFont(void*) { return vapplicationGetFont(app()); }
void appColorList(void*, std::uint32_t presetMask, vcolor* const* presets, const int* indexes, int count,
                  vcolor** result) {
  vcolorScheme s{};
  vcolorSetSchemeColors(&s, presetMask, presets);
  std::uint32_t wanted = vcolorMakeSchemeMask(indexes, count) & ~s.mask;
  vcolorScheme more{};
  vapplicationDetermineColorMask(app(), wanted, &more);
  vcolorMergeScheme(&more, wanted, &s);
  vcolorGetSchemeColors(&s, indexes, count, result);
}
std::intptr_t appLineWidth(void*) { return vapplicationGetLineWidth(app()); }
void wholeRect(void*, vrect* out) { *out = vrect{0, 0, 32767, 32767}; }
[[noreturn]] vdict* noKeys(void*) { vexGenerateMessage(&vexArgClass, "Arg"); }
int yes(void*) { return 1; }
void appScheme(void*, vcolorScheme* scheme, std::uint32_t mask, vcolorScheme* result) {
  if (result != scheme) *result = *scheme;
  std::uint32_t rest = mask & ~result->mask;
  vcolorScheme more{};
  vapplicationDetermineColorMask(app(), rest, &more);
  vcolorMergeScheme(&more, rest, result);
}
void appDrawingState(void*) {
  vcolorScheme s{};
  vapplicationDetermineColorMask(app(), 0x5, &s);
  if (s.mask & 1) vdrawSetColor(s.entries[0]);
  if (s.mask & 4) vdrawSetSecondColor(s.entries[2]);
  vdrawSetFont(vapplicationGetFont(app()));
  vdrawSetLineWidth(double(vapplicationGetLineWidth(app())));
}
void samePoint(void*, int*, int*) {}
void sameRect(void*, vrect*) {}

// ---- A dialog window through the window layer's record.
vwindow* asWindow(void* o) { return static_cast<vwindow*>(o); }
const vdialogOwnerRecord& w() { return vdialogOwnerInterface; }

}  // namespace

const vdialogItemOwnerRecord vdialogItemListDefaultOwner{
    3,       noWindow, appCursor, appFont,   appColorList,    appLineWidth, wholeRect, wholeRect,
    noKeys,  noKeys,   yes,       yes,       appScheme,       appDrawingState, samePoint, sameRect};

const vdialogItemOwnerRecord vdialogItemListWindowOwner{
    3,
    [](void* o) { return w().window(asWindow(o)); },
    [](void* o) { return w().cursor(asWindow(o)); },
    [](void* o) { return w().font(asWindow(o)); },
    [](void* o, std::uint32_t m, vcolor* const* p, const int* i, int n, vcolor** r) {
      w().colorList(asWindow(o), m, p, i, n, r);
    },
    [](void* o) { return w().lineWidth(asWindow(o)); },
    [](void* o, vrect* r) { w().contentRect(asWindow(o), r); },
    [](void* o, vrect* r) { w().contentRectAgain(asWindow(o), r); },
    [](void* o) { return w().keyDict(asWindow(o)); },
    [](void* o) { return w().secondKeyDict(asWindow(o)); },
    [](void* o) { return w().isOpen(asWindow(o)); },
    [](void* o) { return w().isEnabled(asWindow(o)); },
    [](void* o, vcolorScheme* s, std::uint32_t m, vcolorScheme* r) { w().determineColors(asWindow(o), s, m, r); },
    [](void* o) { w().bindDraw(asWindow(o)); },
    samePoint,
    sameRect};

namespace {

struct ListState {
  vdialogItemListClassRec* cls;
  vspringArrangerClassRec* arranger;
  vdict* attributes;
};
void** stateSlot = nullptr;
ListState* state();

vobjectListClassRec* super() { return vobjectListGetDefaultClass(); }
vdialogItemList* asList(vinstance* o) { return static_cast<vdialogItemList*>(o); }
vdialogItemListClassRec* cls(vdialogItemList* l) { return vdialogItemListClassOf(l); }
bool has(const vdialogItemList* l, std::uint16_t bit) { return (l->flags & bit) != 0; }
vdialogItem* at(const vdialogItemList* l, int i) { return i >= 0 && i < vobjectListCount(l) ? vdialogItemListAt(l, i) : nullptr; }

void announce(vdialogItemList* l, vname name, const void* oldValue, const void* newValue) {
  vobjectSendValueChange(l, name, oldValue, newValue);
}

void useOwner(vdialogItemList* l, vobject* owner, const vdialogItemOwnerRecord* record) {
  l->owner = owner;
  l->ownerRecord = record ? record : &vdialogItemListDefaultOwner;
  l->effective = *l->ownerRecord;
  if (!(l->effective.flags & 0x1)) l->effective.isOpen = l->effective.isEnabled = yes;
}

int indexOrRaise(vdialogItemList* l, vdialogItem* item) {
  if (!item) return -1;
  int i = vobjectListIndexOf(l, item);
  if (i < 0) vexGenerateMessage(&vexArgClass, "item not in the list");
  return i;
}

// Marks a solution stale and says so.
void solutionStale(vdialogItemList* l, std::uint16_t bits) {
  if (!l->solution) return;
  l->solution->flags |= bits;
  announce(l, vname_Solution, l->solution, l->solution);
}

void dropSolution(vdialogItemList* l) {
  if (!l->solution) return;
  vinstanceDestroy(l->solution);
  l->solution = nullptr;
}

// ---- Object slots.
void init(vinstance* self) {
  super()->init(self);
  vdialogItemList* l = asList(self);
  l->flags = 0;
  l->focus = l->confirm = l->abandon = l->defaultFocus = -1;
  l->pressed = nullptr;
  l->solution = nullptr;
  useOwner(l, nullptr, nullptr);
}

void destroy(vinstance* self) {
  vdialogItemList* l = asList(self);
  if (has(l, vdialogItemListMARK)) cls(l)->clearMark(l);
  if (has(l, vdialogItemListOPEN)) cls(l)->close(l);
  dropSolution(l);
  // The items go with the list; none must find it again on its way out.
  for (int i = 0; i < vobjectListCount(l); ++i) vdialogItemListAt(l, i)->owner = nullptr;
  super()->destroy(self);
}

int loadIndex(vresource r, vname key, int count) {
  std::int32_t v = -1;
  vresourceTestGetInteger(r, key, &v);
  // An index the items cannot hold reads as none.
  return v >= 0 && v < count ? int(v) : -1;
}

void tellItems(vdialogItemList* l) {
  for (int i = 0; i < vobjectListCount(l); ++i) {
    vdialogItem* item = vdialogItemListAt(l, i);
    vdialogItemClassOf(item)->setOwner(item, l);
  }
}

void loadInit(vobject* self, vresource resource) {
  _vobjectListCheckObjects(resource, vdialogItemGetDefaultClass());
  super()->loadInit(self, resource);
  vdialogItemList* l = asList(self);
  int n = vobjectListCount(l);
  l->confirm = std::int16_t(loadIndex(resource, vname_Confirm, n));
  l->abandon = std::int16_t(loadIndex(resource, vname_Abandon, n));
  l->defaultFocus = std::int16_t(loadIndex(resource, vname_DefaultFocus, n));
  l->solution = nullptr;
  vresource r;
  if (vresourceTestGet(resource, vname_Solution, &r)) l->solution = vspringSolutionLoad(r);
  l->flags = 0;
  l->pressed = nullptr;
  l->focus = -1;
  useOwner(l, nullptr, nullptr);
  tellItems(l);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vdialogItemList* l = asList(self);
  const std::pair<vname, int> indexes[] = {{vname_Confirm, l->confirm}, {vname_Abandon, l->abandon},
                                           {vname_DefaultFocus, l->defaultFocus}};
  for (auto [key, value] : indexes) {
    if (value >= 0) vresourceSetIntegerAt(resource, key, value);
    else vresourceRemoveIfPresent(resource, key);
  }
  if (l->solution)
    vclassRec<vobjectClassRec>(l->solution)
        ->store(l->solution, vresourceCreate(resource, vname_Solution, vresDICTIONARY));
  else vresourceRemoveIfPresent(resource, vname_Solution);
}

// What a copy takes of its source besides the items: the move bits, the
// four indexes, a clone of the solution and the pressed item's place.
void copyFields(const vdialogItemList* from, vdialogItemList* to) {
  to->flags = std::uint16_t((to->flags & ~vdialogItemListMOVE_BITS) | (from->flags & vdialogItemListMOVE_BITS));
  to->focus = from->focus;
  to->confirm = from->confirm;
  to->abandon = from->abandon;
  to->defaultFocus = from->defaultFocus;
  to->solution = from->solution ? static_cast<vspringSolution*>(vobjectClone(from->solution)) : nullptr;
  int pressed = from->pressed ? vobjectListIndexOf(from, from->pressed) : -1;
  to->pressed = at(to, pressed);
}

void copyInit(vobject* source, vobject* destination) {
  super()->copyInit(source, destination);
  vdialogItemList* to = asList(destination);
  to->flags = 0;
  copyFields(asList(source), to);
  useOwner(to, nullptr, nullptr);
  tellItems(to);
}

const void* getByIndex(vobject* self, int index) {
  vdialogItemList* l = asList(self);
  switch (index) {
    case 0: return vdialogItemListGetFocusItem(l);
    case 1: return vdialogItemListGetConfirmItem(l);
    case 2: return vdialogItemListGetAbandonItem(l);
    case 3: return vdialogItemListGetDefaultFocusItem(l);
    case 4: return vdialogItemListGetCurrentConfirmItem(l);
    case 5: return l->solution;
    default: return nullptr;
  }
}

void redraw(vdialogItem* item) {
  if (item) vdialogInvalItem(item, 0);
}

// The keys the owner binds to "Confirm" or "Abandon" go to the selector in
// its key map and to the item in its mnemonic map; no item clears both.
void registerSelectorKeys(vdialogItemList* l, vname selector, vdialogItem* item) {
  if (!l->owner || !vclassIsSubclass(l->owner->cls, vobjectGetAttributedClass())) return;
  auto* keys = static_cast<const vcommandKeyList*>(vobjectQueryTag(l->owner, selector, vname_Key));
  if (!keys) return;
  vcommandMapKeys(keys, item ? selector : nullptr, l->effective.keyMap(l->owner));
  vcommandKeyIterator it;
  vcommandInitKeyIterator(&it, keys);
  vdict* items = l->effective.mnemonicMap(l->owner);
  for (; it.current != it.end; ++it.current)
    vdictStore(items, reinterpret_cast<const void*>(std::uintptr_t(*it.current) + 1), item);
}

struct Relay {
  vclass* ownerClass;
  void (*relay)(vobject* owner, vname name, vdict* args);
};
Relay relays[4];

void relayToOwner(vdialogItemList* l, vname name, vdict* args) {
  if (!l->owner || name == vname_CurrentConfirm) return;
  for (const Relay& r : relays)
    if (r.ownerClass && vclassIsSubclass(l->owner->cls, r.ownerClass)) {
      r.relay(l->owner, name, args);
      return;
    }
}

// The list's reaction to its own announcements.
void send(vobject* self, vname name, vdict* args) {
  vdialogItemList* l = asList(self);
  struct After {
    vdialogItemList* l;
    vname name;
    vdict* args;
    ~After() { relayToOwner(l, name, args); }
  } after{l, name, args};
  auto oldItem = static_cast<vdialogItem*>(const_cast<void*>(vdictGet(args, vname_OldValue)));
  auto newItem = static_cast<vdialogItem*>(const_cast<void*>(vdictGet(args, vname_Value)));
  if (name == vname_Focus) {
    if (has(l, vdialogItemListFOCUS_ACTIVE)) {
      if (oldItem) vdialogUnfocusItem(oldItem);
      if (newItem) vdialogFocusItem(newItem);
    }
  } else if (name == vname_Confirm || name == vname_Abandon) {
    if (has(l, vdialogItemListOPEN)) {
      if (name == vname_Abandon) registerSelectorKeys(l, vname_Abandon, newItem);
      redraw(oldItem);
      redraw(newItem);
    }
  } else if (name == vname_CurrentConfirm) {
    if (has(l, vdialogItemListOPEN)) registerSelectorKeys(l, vname_Confirm, newItem);
    if (has(l, vdialogItemListDEFAULT_SHOWN)) {
      if (oldItem) vdialogItemClassOf(oldItem)->clearDefault(oldItem);
      if (newItem) vdialogItemClassOf(newItem)->setDefault(newItem);
      redraw(oldItem);
      redraw(newItem);
    }
  }
}

// An item joining: told its list, opened and marked as the list is.
void welcome(vdialogItemList* l, vdialogItem* item) {
  vdialogItemClassOf(item)->setOwner(item, l);
  if (has(l, vdialogItemListOPEN)) vdialogOpenItem(item);
  if (has(l, vdialogItemListMARK)) vdialogItemClassOf(item)->setMarked(item);
}

// An item leaving: focus, emphasis, mark and registrations go.
void farewell(vdialogItemList* l, int index) {
  vdialogItem* item = vdialogItemListAt(l, index);
  if (index == l->focus && has(l, vdialogItemListFOCUS_ACTIVE)) vdialogUnfocusItem(item);
  if (item == vdialogItemListGetCurrentConfirmItem(l) && has(l, vdialogItemListDEFAULT_SHOWN))
    vdialogItemClassOf(item)->clearDefault(item);
  vdialogItemClassOf(item)->clearMarked(item);
  vdialogCloseItem(item);
  if (l->pressed == item) l->pressed = nullptr;
  vdialogItemClassOf(item)->setOwner(item, nullptr);
}

// A copy into a list in use: the old items leave as a removal has them
// leave, and the copies join as the list is (open, marked).
void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  vdialogItemList* from = asList(source);
  vdialogItemList* to = asList(destination);
  for (int i = vobjectListCount(to) - 1; i >= 0; --i) {
    vdialogItem* item = vdialogItemListAt(to, i);
    vobjectListRemoveAt(to, i);
    vinstanceDestroy(item);
  }
  if (to->solution) vinstanceDestroy(std::exchange(to->solution, nullptr));
  super()->copy(source, destination);
  copyFields(from, to);
  for (int i = 0; i < vobjectListCount(to); ++i) welcome(to, vdialogItemListAt(to, i));
}

void append(vobjectList* self, vobject* object) {
  if (!vclassIsSubclass(object->cls, vdialogItemGetDefaultClass()))
    vexGenerateMessage(&vexArgClass, "not a dialog item");
  super()->append(self, object);
  welcome(asList(self), static_cast<vdialogItem*>(object));
}

std::int16_t* indexes(vdialogItemList* l, int k) {
  std::int16_t* all[] = {&l->focus, &l->confirm, &l->abandon, &l->defaultFocus};
  return all[k];
}

// A solution that spans an index no longer matches the items.
void dropSolutionCovering(vdialogItemList* l, int index) {
  if (l->solution && vspringSolutionGetItemCount(l->solution) > index) dropSolution(l);
}

void removeAt(vobjectList* self, int index) {
  vdialogItemList* l = asList(self);
  if (index < 0 || index >= vobjectListCount(l)) _vexGenerate(&vexArgRangeClass, vexEnd);
  farewell(l, index);
  super()->removeAt(self, index);
  for (int k = 0; k < 4; ++k) {
    std::int16_t* v = indexes(l, k);
    if (*v == index) *v = -1;
    else if (*v > index) --*v;
  }
  dropSolutionCovering(l, index);
}

void setAt(vobjectList* self, int index, vobject* object) {
  vdialogItemList* l = asList(self);
  if (index < 0 || index >= vobjectListCount(l)) _vexGenerate(&vexArgRangeClass, vexEnd);
  if (!vclassIsSubclass(object->cls, vdialogItemGetDefaultClass()))
    vexGenerateMessage(&vexArgClass, "not a dialog item");
  farewell(l, index);
  if (l->focus == index) l->focus = -1;
  super()->setAt(self, index, object);
  welcome(l, static_cast<vdialogItem*>(object));
  solutionStale(l, 0x1E);
}

void move(vobjectList* self, int from, int to) {
  vdialogItemList* l = asList(self);
  super()->move(self, from, to);
  for (int k = 0; k < 4; ++k) {
    std::int16_t* v = indexes(l, k);
    if (*v == from) *v = std::int16_t(to);
    else if (from < to && *v > from && *v <= to) --*v;
    else if (to < from && *v >= to && *v < from) ++*v;
  }
  if (from != to) dropSolutionCovering(l, std::min(from, to));
}

// ---- List slots.
void open(vdialogItemList* l) {
  if (has(l, vdialogItemListOPEN)) return;
  registerSelectorKeys(l, vname_Confirm, vdialogItemListGetCurrentConfirmItem(l));
  registerSelectorKeys(l, vname_Abandon, vdialogItemListGetAbandonItem(l));
  l->focus = l->defaultFocus;
  for (int i = 0; i < vobjectListCount(l); ++i) vdialogOpenItem(vdialogItemListAt(l, i));
  l->flags |= vdialogItemListOPEN;
}

void close(vdialogItemList* l) {
  if (!has(l, vdialogItemListOPEN)) return;
  l->flags |= vdialogItemListCLOSING;
  for (int i = 0; i < vobjectListCount(l); ++i) vdialogCloseItem(vdialogItemListAt(l, i));
  l->flags &= std::uint16_t(~(vdialogItemListCLOSING | vdialogItemListOPEN));
}

void activateFocus(vdialogItemList* l) {
  if (has(l, vdialogItemListFOCUS_ACTIVE)) return;
  vdialogItem* before = vdialogItemListGetCurrentConfirmItem(l);
  l->flags = std::uint16_t((l->flags & ~vdialogItemListMOVE_BITS) | vdialogItemListFOCUS_ACTIVE);
  if (vdialogItem* f = vdialogItemListGetFocusItem(l)) vdialogFocusItem(f);
  vdialogItem* after = vdialogItemListGetCurrentConfirmItem(l);
  if (before != after) announce(l, vname_CurrentConfirm, before, after);
}

void deactivateFocus(vdialogItemList* l) {
  if (!has(l, vdialogItemListFOCUS_ACTIVE)) return;
  vdialogItem* before = vdialogItemListGetCurrentConfirmItem(l);
  l->flags &= std::uint16_t(~(vdialogItemListMOVE_BITS | vdialogItemListFOCUS_ACTIVE));
  if (vdialogItem* f = vdialogItemListGetFocusItem(l)) vdialogUnfocusItem(f);
  vdialogItem* after = vdialogItemListGetCurrentConfirmItem(l);
  if (before != after) announce(l, vname_CurrentConfirm, before, after);
}

void showDefault(vdialogItemList* l) {
  l->flags |= vdialogItemListDEFAULT_SHOWN;
  if (vdialogItem* c = vdialogItemListGetCurrentConfirmItem(l)) vdialogItemClassOf(c)->setDefault(c);
}
void hideDefault(vdialogItemList* l) {
  l->flags &= std::uint16_t(~vdialogItemListDEFAULT_SHOWN);
  if (vdialogItem* c = vdialogItemListGetCurrentConfirmItem(l)) vdialogItemClassOf(c)->clearDefault(c);
}

void setMark(vdialogItemList* l) {
  if (has(l, vdialogItemListMARK)) return;
  for (int i = 0; i < vobjectListCount(l); ++i) {
    vdialogItem* item = vdialogItemListAt(l, i);
    vdialogItemClassOf(item)->setMarked(item);
  }
  l->flags |= vdialogItemListMARK;
}
void clearMark(vdialogItemList* l) {
  if (!has(l, vdialogItemListMARK)) return;
  for (int i = 0; i < vobjectListCount(l); ++i) {
    vdialogItem* item = vdialogItemListAt(l, i);
    vdialogItemClassOf(item)->clearMarked(item);
  }
  l->flags &= std::uint16_t(~vdialogItemListMARK);
}

void (*drawHook)(vdialogItem* item) = nullptr;

bool meetsClip(const vrect& r) {
  vrect* clip = nullptr;
  int n = 0;
  vdrawGetClipRects(&clip, &n);
  if (n == 0) return true;  // no clip region: everything shows
  for (int i = 0; i < n; ++i) {
    vrect both;
    vrectIntersect(&r, &clip[i], &both);
    if (both.width > 0 && both.height > 0) return true;
  }
  return false;
}

vrect grown(const vrect& r, int inset) {
  return {std::int16_t(r.x - inset), std::int16_t(r.y - inset), std::int16_t(r.width + 2 * inset),
          std::int16_t(r.height + 2 * inset)};
}

// Last to first, so that earlier items end up on top. A disabled item
// draws in the list's disabled pair; whatever an item changes of the
// colours and font is put back before the next.
void draw(vdialogItemList* l) {
  vcolorScheme none{}, disabled{};
  vdialogItemListDetermineScheme(l, &none, 10, &disabled);
  for (int i = vobjectListCount(l) - 1; i >= 0; --i) {
    vdialogItem* item = vdialogItemListAt(l, i);
    if (!(item->flags & vdialogItemSHOWN)) continue;
    vdialogItemClassRec* c = vdialogItemClassOf(item);
    if (!meetsClip(grown(item->rect, item->flags & vdialogItemFOCUSED ? c->focusInset : 0))) continue;
    vdrawGSave();
    if (!(item->flags & vdialogItemENABLED)) {
      if (disabled.mask & 2) vdrawSetColor(disabled.entries[1]);
      if (disabled.mask & 8) vdrawSetSecondColor(disabled.entries[3]);
    }
    if (drawHook) drawHook(item);
    c->applyDrawingAttributes(item);
    vdialogDrawItem(item);
    vdrawGRestore();
  }
  vdialogItem* c = vdialogItemListGetCurrentConfirmItem(l);
  if (c && (c->flags & vdialogItemSHOWN) && (c->flags & vdialogItemDEFAULT) &&
      meetsClip(grown(c->rect, vdialogItemClassOf(c)->defaultInset)))
    vdialogItemClassOf(c)->drawDefault(c);
  vdialogItem* a = vdialogItemListGetAbandonItem(l);
  if (a && (a->flags & vdialogItemSHOWN)) vdialogItemClassOf(a)->drawAbandon(a);
}

bool contains(const vrect& r, int x, int y) {
  return r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height;
}

int buttonDown(vdialogItemList* l, vevent* event) {
  for (int i = 0; i < vobjectListCount(l); ++i) {
    vdialogItem* item = vdialogItemListAt(l, i);
    if (!(item->flags & vdialogItemENABLED) || !contains(item->rect, veventGetX(event), veventGetY(event))) continue;
    l->pressed = item;
    if (item->flags & vdialogItemCLICK_FOCUS) vdialogItemListSetFocusItem(l, item);
    if (vdialogItemClassOf(item)->buttonDown(item, event)) return 1;
  }
  l->pressed = nullptr;
  return 0;
}

int pointer(vdialogItemList* l, vevent* event) {
  for (int i = 0; i < vobjectListCount(l); ++i) {
    vdialogItem* item = vdialogItemListAt(l, i);
    if (!(item->flags & vdialogItemENABLED) || !contains(item->rect, veventGetX(event), veventGetY(event))) continue;
    if (vdialogItemClassOf(item)->pointerHook(item, event)) return 1;
  }
  return 0;
}

bool takesFocus(const vdialogItem* item, bool textOnly) {
  std::uint16_t need = vdialogItemENABLED | vdialogItemFOCUSABLE | (textOnly ? vdialogItemTEXT_FOCUS : 0);
  return (item->flags & need) == need;
}

std::uint16_t movingBits = 0;

void moveFocus(vdialogItemList* l, int count, int textOnly) {
  l->flags &= std::uint16_t(~vdialogItemListMOVE_BITS);
  l->flags |= count > 0 ? vdialogItemListFORWARD : vdialogItemListBACKWARD;
  if (textOnly) l->flags |= vdialogItemListTEXT_ONLY;
  int n = vobjectListCount(l);
  if (n == 0) {
    l->flags |= vdialogItemListWRAPPED;
    return;
  }
  int s = count % n;  // the sign of count
  if (l->focus < 0) {
    if (count != 0 && s == 0) s = count > 0 ? n : -n;
    if (count == 0) s = 1;
  }
  if (s != count) l->flags |= vdialogItemListWRAPPED;
  int found = -1;
  if (l->focus >= 0) {
    int i = l->focus;
    while (s != 0) {
      i += s;
      if (i >= n || i < 0) {
        i = ((i % n) + n) % n;
        l->flags |= vdialogItemListWRAPPED;
      }
      if (i == l->focus) break;
      if (takesFocus(vdialogItemListAt(l, i), textOnly)) {
        found = i;
        break;
      }
    }
    if (found < 0) return;
  } else {
    for (int i = s > 0 ? -1 : n;;) {
      i += s;
      if (i >= n || i < 0) {
        l->flags |= vdialogItemListWRAPPED;
        return;
      }
      if (takesFocus(vdialogItemListAt(l, i), textOnly)) {
        found = i;
        break;
      }
    }
  }
  std::uint16_t bits = l->flags & vdialogItemListMOVE_BITS;
  // The newly focused item (a container entering) sees how the focus came.
  movingBits = bits;
  cls(l)->setFocusIndex(l, found);
  movingBits = 0;
  l->flags |= bits;  // the move's own record survives the focus change
}

void arrange(vdialogItemList* l, const vrect* container) {
  if (has(l, vdialogItemListCLOSING) || !l->solution) return;
  vspringSolutionArrange(state()->arranger, l, l->solution, container);
}

void naturalSize(vdialogItemList* l, int* width, int* height) {
  *width = *height = 0;
  if (!l->solution) return;
  std::int32_t w = 0, h = 0;
  vspringSolutionDetermineMinSize(state()->arranger, l, l->solution, &w, &h);
  *width = w;
  *height = h;
}

void setFocusIndex(vdialogItemList* l, int index) {
  l->flags = std::uint16_t((l->flags & ~vdialogItemListMOVE_BITS) | std::exchange(movingBits, 0));
  if (index == l->focus) return;
  vdialogItem* before = vdialogItemListGetCurrentConfirmItem(l);
  vdialogItem* old = at(l, l->focus);
  l->focus = std::int16_t(index);
  announce(l, vname_Focus, old, at(l, index));
  vdialogItem* after = vdialogItemListGetCurrentConfirmItem(l);
  if (before != after) announce(l, vname_CurrentConfirm, before, after);
}

template <std::int16_t vdialogItemList::*Field>
void setIndexed(vdialogItemList* l, vdialogItem* item, vname name) {
  int index = indexOrRaise(l, item);
  if (index == l->*Field) return;
  vdialogItem* before = vdialogItemListGetCurrentConfirmItem(l);
  vdialogItem* old = at(l, l->*Field);
  l->*Field = std::int16_t(index);
  announce(l, name, old, item);
  vdialogItem* after = vdialogItemListGetCurrentConfirmItem(l);
  if (before != after) announce(l, vname_CurrentConfirm, before, after);
}
void setConfirm(vdialogItemList* l, vdialogItem* i) { setIndexed<&vdialogItemList::confirm>(l, i, vname_Confirm); }
void setAbandon(vdialogItemList* l, vdialogItem* i) { setIndexed<&vdialogItemList::abandon>(l, i, vname_Abandon); }
void setDefaultFocus(vdialogItemList* l, vdialogItem* i) {
  setIndexed<&vdialogItemList::defaultFocus>(l, i, vname_DefaultFocus);
}
void setPressed(vdialogItemList* l, vdialogItem* i) { l->pressed = i; }

void setSolution(vdialogItemList* l, vspringSolution* solution) {
  vspringSolution* old = l->solution;
  l->solution = solution;
  announce(l, vname_Solution, old, solution);
  if (old && old != solution) vinstanceDestroy(old);
}

void setOwner(vdialogItemList* l, vobject* owner, const vdialogItemOwnerRecord* record) {
  useOwner(l, owner, record);
  tellItems(l);
}

// ---- The arranger: the solver's questions about items by index.
vdialogItemList* ctx(void* c) { return static_cast<vdialogItemList*>(c); }
vdialogItem* itm(void* o) { return static_cast<vdialogItem*>(o); }
void* arrItem(void* c, int index) { return at(ctx(c), index); }
void arrApply(void*, void* o, const vrect* r) {
  if (o) vdialogSetItemRect(itm(o), r);
}
void arrRect(void*, void* o, vrect* out) { *out = o ? itm(o)->rect : vrect{}; }
using SizeSlot = void (*)(vdialogItem*, int*, int*);
template <SizeSlot vdialogItemClassRec::*Size>
void arrSize(void*, void* o, std::int32_t* w, std::int32_t* h) {
  if (!o) return;
  int iw = *w, ih = *h;
  (vdialogItemClassOf(itm(o))->*Size)(itm(o), &iw, &ih);
  *w = iw;
  *h = ih;
}
std::int32_t arrSpacing(void*, void* a, void* b, int side) { return vdialogItemListSpacing(itm(a), itm(b), side); }

void freeState() {
  auto* s = static_cast<ListState*>(*stateSlot);
  if (s) vdictDestroy(s->attributes);
}

ListState* state() {
  if (auto* bound = vmoduleState<ListState>(stateSlot)) return bound;
  auto* s = static_cast<ListState*>(vmoduleBindSlot(stateSlot, sizeof(ListState)));
  *s = ListState{};
  vmoduleAddContextExitProc(freeState);
  vdialogItemGetDefaultClass();
  s->attributes = vdictCopy(super()->attributes);
  const vname names[] = {vname_Focus, vname_Confirm, vname_Abandon, vname_DefaultFocus, vname_CurrentConfirm,
                         vname_Solution};
  for (int i = 0; i < 6; ++i) vdictStoreInteger(s->attributes, names[i], i);
  auto* c = vclassSpawnOf<vdialogItemListClassRec>(super());
  vclassSetName(c, vscribeLiteral("vdialogItemList"));
  c->instanceSize = sizeof(vdialogItemList);
  c->attributes = s->attributes;
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->getAttributeByIndex = getByIndex;
  c->send = send;
  c->append = append;
  c->removeAt = removeAt;
  c->setAt = setAt;
  c->move = move;
  c->open = open;
  c->close = close;
  c->activateFocus = activateFocus;
  c->deactivateFocus = deactivateFocus;
  c->showDefault = showDefault;
  c->hideDefault = hideDefault;
  c->setMark = setMark;
  c->clearMark = clearMark;
  c->draw = draw;
  c->buttonDown = buttonDown;
  c->pointer = pointer;
  c->moveFocus = moveFocus;
  c->arrange = arrange;
  c->naturalSize = naturalSize;
  c->setFocusIndex = setFocusIndex;
  c->setConfirm = setConfirm;
  c->setAbandon = setAbandon;
  c->setDefaultFocus = setDefaultFocus;
  c->setPressed = setPressed;
  c->setSolution = setSolution;
  c->setOwner = setOwner;
  s->cls = c;
  auto* a = vclassSpawnOf<vspringArrangerClassRec>(vspringGetArrangerClass());
  vclassSetName(a, vscribeLiteral("vdialogItemListArrangerClass"));
  a->itemObject = arrItem;
  a->applyRect = arrApply;
  a->rect = arrRect;
  a->naturalSize = arrSize<&vdialogItemClassRec::naturalSize>;
  a->minimumSize = arrSize<&vdialogItemClassRec::minSize>;
  a->constrainSize = arrSize<&vdialogItemClassRec::maxSize>;
  a->spacing = arrSpacing;
  s->arranger = a;
  return s;
}

}  // namespace

vdialogItemListClassRec* vdialogItemListGetDefaultClass() { return state()->cls; }
vspringArrangerClassRec* vdialogItemListArrangerClass() { return state()->arranger; }
vdialogItemList* vdialogItemListCreate() { return asList(vinstanceCreate(state()->cls)); }

void vdialogItemListSetFocusItem(vdialogItemList* l, vdialogItem* item) {
  cls(l)->setFocusIndex(l, indexOrRaise(l, item));
}
vdialogItem* vdialogItemListGetFocusItem(const vdialogItemList* l) { return at(l, l->focus); }
vdialogItem* vdialogItemListGetConfirmItem(const vdialogItemList* l) { return at(l, l->confirm); }
vdialogItem* vdialogItemListGetAbandonItem(const vdialogItemList* l) { return at(l, l->abandon); }
vdialogItem* vdialogItemListGetDefaultFocusItem(const vdialogItemList* l) { return at(l, l->defaultFocus); }
vdialogItem* vdialogItemListGetCurrentConfirmItem(const vdialogItemList* l) {
  vdialogItem* f = vdialogItemListGetFocusItem(l);
  if (f && has(l, vdialogItemListFOCUS_ACTIVE) && vdialogItemClassOf(f)->takesConfirm(f)) return f;
  return vdialogItemListGetConfirmItem(l);
}

void vdialogItemListDetermineScheme(vdialogItemList* l, const vcolorScheme* presets, std::uint32_t mask,
                                    vcolorScheme* result) {
  const vdialogItemOwnerRecord& r = l->effective;
  if (r.flags & 0x2) {
    vcolorScheme s = *presets;
    r.determineScheme(l->owner, &s, mask, result);
    return;
  }
  int idx[vcolorSCHEME_SIZE];
  int n = vcolorGetSchemeIndexes(mask, idx);
  vcolor* presetColors[vcolorSCHEME_SIZE];
  vcolorCopySchemeColors(presets, presets->mask, presetColors);
  vcolor* out[vcolorSCHEME_SIZE];
  r.colorList(l->owner, presets->mask, presetColors, idx, n, out);
  *result = *presets;
  vcolorSetSchemeColorsIndexed(result, idx, n, out);
}

void vdialogItemListTransformPoint(vdialogItemList* l, int* x, int* y) {
  if (l->effective.flags & 0x4) {
    l->effective.transformPoint(l->owner, x, y);
    return;
  }
  vrect o;
  l->effective.origin(l->owner, &o);
  *x += o.x;
  *y += o.y;
}

void vdialogItemListTransformRect(vdialogItemList* l, vrect* r) {
  if (l->effective.flags & 0x4) {
    l->effective.transformRect(l->owner, r);
    return;
  }
  vrect o;
  l->effective.origin(l->owner, &o);
  r->x = std::int16_t(r->x + o.x);
  r->y = std::int16_t(r->y + o.y);
}

int vdialogItemListSpacing(vdialogItem* first, vdialogItem* second, int side) {
  // The second looks back at the first: the far/near bits swap.
  int mirrored = (side & ~3) | ((side & 1) << 1) | ((side & 2) >> 1);
  int a = first ? vdialogGetItemSpacing(first, second, side) : INT_MIN;
  int b = second ? vdialogGetItemSpacing(second, first, mirrored) : INT_MIN;
  return std::max(a, b);
}

void _vdialogItemListItemChanged(vdialogItemList* l, vdialogItem*, vname name) {
  if (name == vname_MinSize) solutionStale(l, 0x18);
}

void vdialogItemListSetDrawHook(void (*hook)(vdialogItem* item)) { drawHook = hook; }
void vdialogItemListSetDrawingState(vdialogItemList* l) { l->effective.setDrawingState(l->owner); }

int vdialogItemListFocusMnemonicItem(vdialogItemList* l, vdialogItem* item) {
  if (!(item->flags & vdialogItemFOCUSABLE) || !l->owner) return 0;
  if (vclassIsSubclass(l->owner->cls, vdialogItemGetDefaultClass())) {
    auto* container = static_cast<vdialogItem*>(l->owner);
    if (!container->owner || !vdialogItemListFocusMnemonicItem(container->owner, container)) return 0;
  }
  vdialogItemListSetFocusItem(l, item);
  return 1;
}

void vdialogItemListPassInherited(vdialogItemList* l, vname name, vdict* arguments) {
  for (int i = 0; i < vobjectListCount(l); ++i) {
    vdialogItem* item = vdialogItemListAt(l, i);
    vobjectAttributedOf(item)->reserved8(item, name, arguments);
  }
}

void vdialogItemListGetVisibleRect(vdialogItemList* l, const vrect* rect, vrect* out) {
  vrect r = *rect, visible;
  vdialogItemListTransformRect(l, &r);
  l->effective.visible(l->owner, &visible);
  vrectIntersect(&r, &visible, out);
}

void vdialogItemListTransformEvent(vdialogItemList* l, vevent* event) {
  int kind = event->type;
  if (!((kind >= veventBUTTON_DOWN && kind <= veventPOINTER_DRAG_LAST) || kind == veventPOINTER_MOTION)) return;
  int x = veventGetX(event), y = veventGetY(event);
  vdialogItemListTransformPoint(l, &x, &y);
  veventSetPosition(event, x, y);
}

vdialogItemList* vdialogItemListLoad(vresource resource) {
  vresource named;
  if (vresourceTestGet(resource, vname_Class, &named)) {
    vobject* o = vobjectLoad(resource);
    if (vclassIsSubclass(o->cls, vdialogItemListGetDefaultClass())) return static_cast<vdialogItemList*>(o);
    vinstanceDestroy(o);
    vexGenerateMessage(&vexArgClass, "not a dialog item list");
  }
  vdialogItemListClassRec* cls = vdialogItemListGetDefaultClass();
  auto* l = static_cast<vdialogItemList*>(vclassAllocInstance(cls));
  l->cls = cls;
  cls->loadInit(l, resource);
  return l;
}

void vdialogItemListAddOwnerRelay(vclass* ownerClass, void (*relay)(vobject* owner, vname name, vdict* args)) {
  for (Relay& r : relays)
    if (!r.ownerClass || r.ownerClass == ownerClass) {
      r = {ownerClass, relay};
      return;
    }
}
