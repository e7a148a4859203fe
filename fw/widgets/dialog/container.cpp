// The container class: its owner record for the children, geometry
// (content, bounds, scrolling), the resource form, the focus entering it,
// key and pointer routing to the children, and drawing.
#include "fw/widgets/dialog/container.h"

#include <algorithm>
#include <cstring>

#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/dialog/container_internal.h"
#include "fw/widgets/look/laf.h"

namespace {

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vcontainer* asC(void* o) { return static_cast<vcontainer*>(o); }
vcontainerClassRec* rec(vcontainer* c) { return vcontainerClassOf(c); }
bool has(const vcontainer* c, std::uint16_t bit) { return (c->containerFlags & bit) != 0; }
std::int16_t s16(int v) { return std::int16_t(v); }
int rounded(vfixed v) { return int((std::int64_t(v) + 0x8000) >> 16); }
vname trueFalse(bool on) { return on ? vname_True : vname_False; }

// ---- The owner record: the container answers its children.
void ownerOrigin(void* o, vrect* out) {
  vcontainer* c = asC(o);
  vrect owner{};
  if (c->owner) c->owner->effective.origin(c->owner->owner, &owner);
  *out = vrect{s16(c->bounds.x + owner.x), s16(c->bounds.y + owner.y), 0, 0};
}
void ownerVisible(void* o, vrect* out) {
  vcontainer* c = asC(o);
  vrect r = c->content;
  if (!c->owner) {
    *out = r;
    return;
  }
  vdialogItemListTransformRect(c->owner, &r);
  vrect outer;
  c->owner->effective.visible(c->owner->owner, &outer);
  vrectIntersect(&r, &outer, out);
}
void ownerColors(void* o, std::uint32_t presetMask, vcolor* const* presets, const int* indexes, int count,
                 vcolor** result) {
  vcontainer* c = asC(o);
  vcolorScheme s{};
  vcolorSetSchemeColors(&s, presetMask, presets);
  vcolorScheme out{};
  vdialogItemClassOf(c)->determineSchemeColors(c, &s, vcolorMakeSchemeMask(indexes, count) | s.mask, &out);
  vcolorGetSchemeColors(&out, indexes, count, result);
}
void ownerScheme(void* o, vcolorScheme* scheme, std::uint32_t mask, vcolorScheme* result) {
  vdialogItemClassOf(asC(o))->determineSchemeColors(asC(o), scheme, mask, result);
}
void ownerDrawing(void* o) {
  vcontainer* c = asC(o);
  vdialogItemClassOf(c)->setDrawingState(c);
  vdrawClipRects(&c->content, 1);
  vdrawTranslate(c->bounds.x, c->bounds.y);
}
void ownerPoint(void* o, int* x, int* y) {
  vcontainer* c = asC(o);
  *x += c->bounds.x;
  *y += c->bounds.y;
  if (c->owner) vdialogItemListTransformPoint(c->owner, x, y);
}
void ownerRect(void* o, vrect* r) {
  vcontainer* c = asC(o);
  r->x = s16(r->x + c->bounds.x);
  r->y = s16(r->y + c->bounds.y);
  if (c->owner) vdialogItemListTransformRect(c->owner, r);
}

}  // namespace

const vdialogItemOwnerRecord vcontainerOwnerRecord{
    7,
    [](void* o) { return vdialogGetItemWindow(asC(o)); },
    [](void* o) { return vdialogDetermineItemCursor(asC(o)); },
    [](void* o) { return vdialogDetermineItemFont(asC(o)); },
    ownerColors,
    [](void* o) { return vdialogGetItemLineWidth(asC(o)); },
    ownerOrigin,
    ownerVisible,
    [](void* o) { return vdialogGetItemKeyMap(asC(o)); },
    [](void* o) { return vdialogGetItemMnemonicMap(asC(o)); },
    [](void* o) { return int(vdialogItemIsVisible(asC(o))); },
    [](void* o) { return int(vdialogItemIsEnabled(asC(o))); },
    ownerScheme,
    ownerDrawing,
    ownerPoint,
    ownerRect};

namespace {

void adopt(vcontainer* c) { vdialogItemListSetOwner(c->items, c, &vcontainerOwnerRecord); }

int fontHeight(vdialogItem* item) {
  vfont* font = vdialogDetermineItemFont(item);
  return rounded(vfontGetDriver()->ascent(font) + vfontGetDriver()->descent(font));
}
int titleWidth(vdialogItem* item) {
  return rounded(vfontGetCharsWidth(vdialogDetermineItemFont(item), item->title, int(std::strlen(item->title))));
}
bool threeD() { return (vlafGetCurrent()->flags & vlaf3D) != 0; }
bool win95() { return vlafGetCurrent()->id == vlafWIN95; }

int frameWidth(vcontainer* c) {
  if (!(c->flags & vdialogItemBORDER)) return 0;
  int b = int(vdialogGetItemLineWidth(c));
  return has(c, vcontainerFLAT) && threeD() ? std::max(b, 2) : b;
}

// The scroll bars' thickness: their natural size across.
int barThickness(vdialogItem* bar, bool vertical) {
  if (!bar) return 0;
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(bar, &w, &h);
  return vertical ? w : h;
}

// The scroll origin kept inside what the contents can show; a bounds
// narrower than the content sits at the content's edge.
void clampAxis(std::int16_t& origin, int contentStart, int contentSize, int boundsSize) {
  int v = std::max(int(origin), contentStart + contentSize - boundsSize);
  origin = s16(std::min(v, contentStart));
}

void normalise(vcontainer* c, vrect* b) {
  if (has(c, vcontainerSCROLL_X)) {
    b->width = std::max(b->width, c->minScrollWidth);
    clampAxis(b->x, c->content.x, c->content.width, b->width);
  } else {
    b->x = c->content.x;
    b->width = c->content.width;
  }
  if (has(c, vcontainerSCROLL_Y)) {
    b->height = std::max(b->height, c->minScrollHeight);
    clampAxis(b->y, c->content.y, c->content.height, b->height);
  } else {
    b->y = c->content.y;
    b->height = c->content.height;
  }
}

void updateBar(vdialogItem* bar, int range, int visible, int value) {
  if (!bar || !vclassIsSubclass(bar->cls, vcontrolGetDefaultClass())) return;
  auto* control = static_cast<vcontrol*>(bar);
  vcontrolSetMin(control, 0);
  vcontrolSetMax(control, range);
  vcontrolSetView(control, std::min(visible, range));
  vcontrolSetValue(control, value);
}

void updateBars(vcontainer* c) {
  updateBar(c->scrollX, c->bounds.width, c->content.width, c->content.x - c->bounds.x);
  updateBar(c->scrollY, c->bounds.height, c->content.height, c->content.y - c->bounds.y);
}

void announceBounds(vcontainer* c, const vrect& old) {
  if (vrectEqual(&old, &c->bounds)) return;
  vrect was = old;
  vobjectSendValueChange(c, vname_Bounds, &was, &c->bounds);
}

// The bounds from the children when they are pending: the items' natural
// size, at least the content.
void settleBounds(vcontainer* c) {
  if (!has(c, vcontainerBOUNDS_PENDING)) return;
  c->containerFlags &= std::uint16_t(~vcontainerBOUNDS_PENDING);
  int w = 0, h = 0;
  rec(c)->naturalSizeOfItems(c, &w, &h);
  vrect b = c->bounds;
  b.width = s16(std::max(w, int(c->content.width)));
  b.height = s16(std::max(h, int(c->content.height)));
  // Newly sized contents show their top.
  b.y = s16(c->content.y + c->content.height - b.height);
  normalise(c, &b);
  c->bounds = b;
}

void layOut(vcontainer* c) {
  vcontainerComputeContent(c);
  settleBounds(c);
  vrect r{0, 0, c->bounds.width, c->bounds.height};
  rec(c)->arrange(c, &r);
  c->containerFlags &= std::uint16_t(~vcontainerCONTENT_PENDING);
}

// ---- Scroll bars.
void barNotify(vdialogItem* bar, vevent*) {
  auto* c = reinterpret_cast<vcontainer*>(bar->data);
  if (!c || !vclassIsSubclass(bar->cls, vcontrolGetDefaultClass())) return;
  std::int32_t value = static_cast<vcontrol*>(bar)->value;
  vrect old = c->bounds;
  if (bar == c->scrollX) c->bounds.x = s16(c->content.x - value);
  else c->bounds.y = s16(c->content.y - value);
  announceBounds(c, old);
}

vdialogItem* makeBar(vcontainer* c, bool vertical) {
  vdialogItem* bar = _vcontainerCreateScrollBar();
  if (!bar) return nullptr;
  auto* control = static_cast<vcontrol*>(bar);
  vcontrolSetVertical(control, vertical ? 1 : 0);
  vcontrolSetIncrement(control, 5);
  vcontrolSetPage(control, 25);
  vdialogSetItemData(bar, reinterpret_cast<std::intptr_t>(c));
  vdialogSetItemNotify(bar, barNotify);
  if (vcolor* fg = vdialogGetItemForeground(c)) vdialogSetItemForeground(bar, fg);
  if (vcolor* bg = vdialogGetItemBackground(c)) vdialogSetItemBackground(bar, bg);
  vdialogItemClassOf(bar)->setOwner(bar, c->owner);
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(bar, &w, &h);
  vrect r{0, 0, s16(w), s16(h)};
  vdialogSetItemRect(bar, &r);
  if (!(c->flags & vdialogItemSHOWN)) vdialogHideItem(bar);
  if (c->flags & vdialogItemOPEN) vdialogOpenItem(bar);
  if (c->flags & vdialogItemMARKED) vdialogItemClassOf(bar)->setMarked(bar);
  return bar;
}

void dropBar(vdialogItem*& bar) {
  if (!bar) return;
  vdialogItem* b = bar;
  bar = nullptr;
  if (b->flags & vdialogItemOPEN) vdialogCloseItem(b);
  b->owner = nullptr;
  vinstanceDestroy(b);
}

template <typename F>
void eachBar(vcontainer* c, F f) {
  if (c->scrollX) f(c->scrollX);
  if (c->scrollY) f(c->scrollY);
}

// ---- Object slots.
void init(vinstance* self) {
  super()->init(self);
  vcontainer* c = asC(self);
  c->flags |= vdialogItemFOCUSABLE;
  int lw = int(vdialogGetItemLineWidth(c));
  const vrect& r = c->rect;
  c->content = vrect{s16(r.x + lw), s16(r.y + lw), s16(r.width - 2 * lw), s16(r.height - 2 * lw)};
  c->bounds = c->content;
  c->containerFlags = vcontainerBOUNDS_PENDING | vcontainerCONTENT_PENDING;
  c->selection = c->scrollX = c->scrollY = nullptr;
  c->minScrollWidth = c->minScrollHeight = 0;
  c->items = vdialogItemListCreate();
  adopt(c);
}

void destroy(vinstance* self) {
  vcontainer* c = asC(self);
  if (c->flags & vdialogItemOPEN) vdialogCloseItem(c);
  vinstanceDestroy(c->items);
  dropBar(c->scrollX);
  dropBar(c->scrollY);
  super()->destroy(self);
}

int indexIn(const vdialogItemList* l, const vdialogItem* item) { return item ? vobjectListIndexOf(l, item) : -1; }

void copyFields(vcontainer* from, vcontainer* to) {
  to->content = from->content;
  to->bounds = from->bounds;
  to->minScrollWidth = from->minScrollWidth;
  to->minScrollHeight = from->minScrollHeight;
  to->containerFlags = std::uint16_t(from->containerFlags & vcontainerCOPIED_FLAGS);
  int selected = indexIn(from->items, from->selection);
  to->selection = selected >= 0 ? vdialogItemListAt(to->items, selected) : nullptr;
  dropBar(to->scrollX);
  dropBar(to->scrollY);
  if (from->scrollX) to->scrollX = makeBar(to, false);
  if (from->scrollY) to->scrollY = makeBar(to, true);
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copy(source, destination);
  vcontainer* from = asC(source);
  vcontainer* to = asC(destination);
  vclassRec<vobjectClassRec>(to->items)->copy(from->items, to->items);
  copyFields(from, to);
  adopt(to);
}

void copyInit(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copyInit(source, destination);
  vcontainer* from = asC(source);
  vcontainer* to = asC(destination);
  to->scrollX = to->scrollY = nullptr;
  to->items = static_cast<vdialogItemList*>(vobjectClone(from->items));
  copyFields(from, to);
  adopt(to);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vcontainer* c = asC(self);
  c->bounds = vrect{};
  vresource r;
  if (vresourceTestGet(resource, vname_Bounds, &r)) vresourceLoadRect(&c->bounds, r);
  std::int32_t flags = 0;
  vresourceTestGetInteger(resource, N("vcontainerFlags"), &flags);
  c->containerFlags = std::uint16_t((flags & vcontainerSTORED_FLAGS) | vcontainerBOUNDS_PENDING |
                                    vcontainerCONTENT_PENDING);
  c->selection = c->scrollX = c->scrollY = nullptr;
  c->minScrollWidth = c->minScrollHeight = 0;
  c->items = nullptr;
  c->items = vresourceTestGet(resource, vname_ItemList, &r) ? vdialogItemListLoad(r) : vdialogItemListCreate();
  adopt(c);
  if (has(c, vcontainerSCROLL_X)) c->scrollX = makeBar(c, false);
  if (has(c, vcontainerSCROLL_Y)) c->scrollY = makeBar(c, true);
  vrect stored = c->bounds;
  vcontainerComputeContent(c);
  if (stored.width > 0 || stored.height > 0) {
    // A stored bounds rectangle stands for the children.
    c->bounds = stored;
    normalise(c, &c->bounds);
    c->containerFlags &= std::uint16_t(~vcontainerBOUNDS_PENDING);
  }
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vcontainer* c = asC(self);
  vresourceStoreRect(&c->bounds, vresourceCreateArray(resource, vname_Bounds, vresINTEGER, 4));
  vresourceSetIntegerAt(resource, N("vcontainerFlags"), c->containerFlags & vcontainerSTORED_FLAGS);
  vclassRec<vobjectClassRec>(c->items)->store(c->items, vresourceCreate(resource, vname_ItemList, vresDICTIONARY));
}

void setByIndex(vobject* self, int index, const void* value) {
  vcontainer* c = asC(self);
  auto item = static_cast<vdialogItem*>(const_cast<void*>(value));
  switch (index) {
    case vcontainerA_BOUNDS:
      if (value) rec(c)->setBounds(c, static_cast<const vrect*>(value));
      return;
    case vcontainerA_FLAT: rec(c)->setFlat(c, value == vname_True); return;
    case vcontainerA_SCROLL_X: rec(c)->setScrollX(c, value == vname_True); return;
    case vcontainerA_SCROLL_Y: rec(c)->setScrollY(c, value == vname_True); return;
    case vcontainerA_FOCUS: rec(c)->setFocusItem(c, item); return;
    case vcontainerA_DEFAULT_FOCUS: rec(c)->setDefaultFocusItem(c, item); return;
    case vcontainerA_SELECTION: rec(c)->setSelection(c, item); return;
    default: super()->setAttributeByIndex(self, index, value);
  }
}

const void* getByIndex(vobject* self, int index) {
  vcontainer* c = asC(self);
  switch (index) {
    case vcontainerA_BOUNDS: return &c->bounds;
    case vcontainerA_CONTENT: return &c->content;
    case vcontainerA_FLAT: return trueFalse(has(c, vcontainerFLAT));
    case vcontainerA_SCROLL_X: return trueFalse(has(c, vcontainerSCROLL_X));
    case vcontainerA_SCROLL_Y: return trueFalse(has(c, vcontainerSCROLL_Y));
    case vcontainerA_FOCUS: return vdialogItemListGetFocusItem(c->items);
    case vcontainerA_DEFAULT_FOCUS: return vdialogItemListGetDefaultFocusItem(c->items);
    case vcontainerA_SOLUTION: return c->items->solution;
    case vcontainerA_SELECTION: return c->selection;
    default: return super()->getAttributeByIndex(self, index);
  }
}

// The container's reactions to its own announcements, then the item's.
void send(vobject* self, vname name, vdict* args) {
  vcontainer* c = asC(self);
  const void* oldValue = args ? vdictGet(args, vname_OldValue) : nullptr;
  if (name == vname_Rect || name == vname_MinSize) {
    vobjectSendValueChange(c, vname_Content, nullptr, nullptr);
  } else if (name == vname_Content) {
    vrect old = c->bounds;
    vcontainerComputeContent(c);
    announceBounds(c, old);
  } else if (name == vname_Bounds && oldValue) {
    const vrect old = *static_cast<const vrect*>(oldValue);
    int dx = c->bounds.x - old.x, dy = c->bounds.y - old.y;
    if (dx || dy) vdialogItemClassOf(c)->scrollRect(c, &c->content, dx, dy, 0);
    if (old.width != c->bounds.width || old.height != c->bounds.height) {
      if (vdialogGetItemImage(c) || vdialogItemClassOf(c)->image) vdialogInvalItem(c, 0);
      if (c->flags & vdialogItemOPEN) {
        vrect r{0, 0, c->bounds.width, c->bounds.height};
        rec(c)->arrange(c, &r);
      }
    }
    updateBars(c);
  } else if (name == vname_Flat) {
    vdialogInvalItem(c, 0);
  } else if (name == vname_ScrollX || name == vname_ScrollY) {
    bool x = name == vname_ScrollX;
    vdialogItem*& bar = x ? c->scrollX : c->scrollY;
    dropBar(bar);
    if (has(c, x ? vcontainerSCROLL_X : vcontainerSCROLL_Y)) bar = makeBar(c, !x);
    vobjectSendValueChange(c, vname_MinSize, nullptr, nullptr);
  } else if (name == vname_Solution) {
    c->containerFlags |= vcontainerCONTENT_PENDING | vcontainerBOUNDS_PENDING;
    if (c->flags & vdialogItemOPEN) {
      layOut(c);
      vdialogInvalItem(c, 0);
    }
    vobjectSendValueChange(c, vname_MinSize, nullptr, nullptr);
  }
  super()->send(self, name, args);
}

void inheritedChanged(vobject* self, vname name, vdict* args) {
  super()->reserved8(self, name, args);
  vdialogItemListPassInherited(asC(self)->items, name, args);
}

// Selector 4 moves the focus inside; a flat container whose move ran off
// its end lets the focus leave.
int issueSelector(vobject* self, int selector, vdict* context) {
  vcontainer* c = asC(self);
  if (selector == 4 && vdictHas(context, vname_Direction)) {
    int direction = int(reinterpret_cast<std::intptr_t>(vdictGet(context, vname_Direction)));
    vdialogItemListMoveFocus(c->items, direction, vdictHas(context, vname_Text) ? 1 : 0);
    if (!has(c, vcontainerFLAT) || !(c->items->flags & vdialogItemListWRAPPED)) return 1;
  }
  return super()->issueSelector(self, selector, context);
}

// ---- Item slots.
void forwardMnemonics(vcontainer* c, bool on) {
  if (!c->owner || !c->attributes || !c->attributes->mnemonicMap) return;
  vdict* targets = c->owner->effective.mnemonicMap(c->owner->owner);
  vdict* keys = c->owner->effective.keyMap(c->owner->owner);
  vdictIterator it;
  vdictInitIterator(&it, c->attributes->mnemonicMap);
  while (vdictNextIterator(&it)) {
    const void* key = vdictIteratorKey(&it);
    if (!vdictIteratorValue(&it)) continue;
    vdictStore(targets, key, on ? c : nullptr);
    vdictStore(keys, key, on ? vname_Mnemonic : nullptr);
  }
}

void open(vdialogItem* item) {
  vcontainer* c = asC(item);
  if (item->flags & vdialogItemOPEN) return;
  if (has(c, vcontainerCONTENT_PENDING)) layOut(c);
  super()->open(item);
  eachBar(c, [](vdialogItem* bar) { vdialogOpenItem(bar); });
  vdialogItemListClassOf(c->items)->open(c->items);
  forwardMnemonics(c, true);
}

void close(vdialogItem* item) {
  vcontainer* c = asC(item);
  if (!(item->flags & vdialogItemOPEN)) return;
  forwardMnemonics(c, false);
  vdialogItemListClassOf(c->items)->close(c->items);
  eachBar(c, [](vdialogItem* bar) { vdialogCloseItem(bar); });
  super()->close(item);
}

template <void (*vdialogItemClassRec::*Slot)(vdialogItem*)>
void alsoBars(vdialogItem* item) {
  (super()->*Slot)(item);
  eachBar(asC(item), [](vdialogItem* bar) { (vdialogItemClassOf(bar)->*Slot)(bar); });
}

void setMarked(vdialogItem* item) {
  alsoBars<&vdialogItemClassRec::setMarked>(item);
  vdialogItemListClassOf(asC(item)->items)->setMark(asC(item)->items);
}
void clearMarked(vdialogItem* item) {
  alsoBars<&vdialogItemClassRec::clearMarked>(item);
  vdialogItemListClassOf(asC(item)->items)->clearMark(asC(item)->items);
}

bool exclusive(const vcontainer* c) {
  return vclassIsSubclass(c->cls, vcontainerExclusiveGroupGetDefaultClass());
}
bool windowsLooks() {
  std::int16_t id = vlafGetCurrent()->id;
  return id == vlafWINDOWS || id == vlafCUA || id == vlafWIN95;
}

// The focus enters: the exclusive group's selection in the Windows looks,
// else a step in the direction of the move that brought it here.
void focus(vdialogItem* item) {
  vcontainer* c = asC(item);
  vdialogItemList* l = c->items;
  vdialogItemListClassRec* lc = vdialogItemListClassOf(l);
  if (exclusive(c) && windowsLooks() && c->selection && vobjectListIndexOf(l, c->selection) >= 0) {
    vdialogItemListSetFocusItem(l, c->selection);
    lc->activateFocus(l);
    return;
  }
  std::uint16_t move = c->owner ? c->owner->flags : 0;
  bool forward = move & vdialogItemListFORWARD, backward = move & vdialogItemListBACKWARD;
  if (!forward && !backward) {
    lc->activateFocus(l);
    return;
  }
  if (exclusive(c) || has(c, vcontainerFLAT)) {
    lc->setFocusIndex(l, -1);
    lc->activateFocus(l);
    bool textOnly = has(c, vcontainerFLAT) && (move & vdialogItemListTEXT_ONLY);
    vdialogItemListMoveFocus(l, forward ? 1 : -1, textOnly ? 1 : 0);
    return;
  }
  int previous = l->focus;
  lc->setFocusIndex(l, -1);
  lc->activateFocus(l);
  vdialogItemListMoveFocus(l, forward ? previous + 1 : previous - vdialogItemListCount(l), 0);
}

void unfocus(vdialogItem* item) {
  vdialogItemList* l = asC(item)->items;
  vdialogItemListClassOf(l)->deactivateFocus(l);
}

void showDefault(vdialogItem* item) {
  super()->setDefault(item);
  vdialogItemListClassOf(asC(item)->items)->showDefault(asC(item)->items);
}
void hideDefault(vdialogItem* item) {
  super()->clearDefault(item);
  vdialogItemListClassOf(asC(item)->items)->hideDefault(asC(item)->items);
}

// Title strip, border, scroll bars around the items' wish.
void decorate(vcontainer* c, int* w, int* h) {
  int b = frameWidth(c);
  *w += 2 * b + barThickness(c->scrollY, true);
  *h += 2 * b + barThickness(c->scrollX, false);
  if (win95() && (c->flags & vdialogItemBORDER)) {
    *w += 4;
    *h += 4;
  }
  if (*c->title) {
    *h += fontHeight(c);
    *w = std::max(*w, titleWidth(c) + 24 + 2 * b);
  }
}
void naturalSize(vdialogItem* item, int* w, int* h) {
  vcontainer* c = asC(item);
  rec(c)->naturalSizeOfItems(c, w, h);
  decorate(c, w, h);
}
void minSize(vdialogItem* item, int* w, int* h) {
  vcontainer* c = asC(item);
  int iw = 0, ih = 0;
  if (c->items->solution) {
    std::int32_t sw = 0, sh = 0;
    vspringSolutionDetermineMinSize(vdialogItemListArrangerClass(), c->items, c->items->solution, &sw, &sh);
    iw = sw;
    ih = sh;
  }
  // Scrolled directions need none of the items' size.
  if (has(c, vcontainerSCROLL_X)) iw = 0;
  if (has(c, vcontainerSCROLL_Y)) ih = 0;
  *w = iw;
  *h = ih;
  decorate(c, w, h);
}

// Pointer events go to the children first, in the children's coordinates.
template <typename F>
int inChildCoordinates(vcontainer* c, vevent* event, F f) {
  int x = veventGetX(event), y = veventGetY(event);
  veventSetPosition(event, x - c->bounds.x, y - c->bounds.y);
  int handled = f();
  veventSetPosition(event, x, y);
  return handled;
}

bool onBar(vdialogItem* bar, vevent* e) {
  if (!bar || !(bar->flags & vdialogItemSHOWN) || !(bar->flags & vdialogItemENABLED)) return false;
  const vrect& r = bar->rect;
  int x = veventGetX(e), y = veventGetY(e);
  return r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height;
}

int buttonDown(vdialogItem* item, vevent* event) {
  vcontainer* c = asC(item);
  for (vdialogItem* bar : {c->scrollX, c->scrollY})
    if (onBar(bar, event)) {
      c->items->pressed = bar;
      return vdialogItemClassOf(bar)->buttonDown(bar, event);
    }
  const vrect& r = c->content;
  int x = veventGetX(event), y = veventGetY(event);
  if (r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height &&
      inChildCoordinates(c, event, [&] { return vdialogItemListClassOf(c->items)->buttonDown(c->items, event); }))
    return 1;
  return super()->buttonDown(item, event);
}

// Release and motion: to the child the press went to.
template <int (*vdialogItemClassRec::*Slot)(vdialogItem*, vevent*)>
int toPressed(vdialogItem* item, vevent* event) {
  vcontainer* c = asC(item);
  vdialogItem* pressed = c->items->pressed;
  int handled = 0;
  if (pressed == c->scrollX || pressed == c->scrollY) {
    if (pressed) handled = (vdialogItemClassOf(pressed)->*Slot)(pressed, event);
  } else if (pressed) {
    handled = inChildCoordinates(c, event, [&] { return (vdialogItemClassOf(pressed)->*Slot)(pressed, event); });
  }
  if (Slot == &vdialogItemClassRec::buttonUp) c->items->pressed = nullptr;
  return handled ? 1 : (super()->*Slot)(item, event);
}

int pointerHook(vdialogItem* item, vevent* event) {
  vcontainer* c = asC(item);
  if (inChildCoordinates(c, event, [&] { return vdialogItemListClassOf(c->items)->pointer(c->items, event); }))
    return 1;
  return super()->pointerHook(item, event);
}

bool enabled(vdialogItem* i) { return i && (i->flags & vdialogItemENABLED); }

int keyDown(vdialogItem* item, vevent* event) {
  vcontainer* c = asC(item);
  if ((item->flags & vdialogItemOPEN) && c->attributes && c->attributes->mnemonicMap) {
    vdialogItem* target = vdialogGetItemMnemonicItem(c, veventGetKeyValue(event));
    if (enabled(target) && vdialogItemClassOf(target)->keyDown(target, event)) return 1;
  }
  vdialogItem* f = vdialogItemListGetFocusItem(c->items);
  if (enabled(f) && vdialogItemClassOf(f)->keyDown(f, event)) return 1;
  return super()->keyDown(item, event);
}

void setForeground(vdialogItem* item, vcolor* color) {
  super()->setForeground(item, color);
  eachBar(asC(item), [&](vdialogItem* bar) { vdialogSetItemForeground(bar, color); });
}
void setBackground(vdialogItem* item, vcolor* color) {
  super()->setBackground(item, color);
  eachBar(asC(item), [&](vdialogItem* bar) { vdialogSetItemBackground(bar, color); });
}

void setOwner(vdialogItem* item, vdialogItemList* owner) {
  super()->setOwner(item, owner);
  vcontainer* c = asC(item);
  eachBar(c, [&](vdialogItem* bar) { vdialogItemClassOf(bar)->setOwner(bar, owner); });
  if (c->items) adopt(c);
}

int takesConfirm(vdialogItem* item) {
  vdialogItem* f = vdialogItemListGetFocusItem(asC(item)->items);
  return f ? vdialogItemClassOf(f)->takesConfirm(f) : 0;
}

// ---- Container slots.
void redrawNew(vdialogItem* item) { vdialogInvalItem(item, 1); }

void appendItem(vcontainer* c, vdialogItem* item) {
  vdialogItemListAppend(c->items, item);
  redrawNew(item);
}
void removeItem(vcontainer* c, vdialogItem* item) {
  vdialogInvalItem(item, 0);
  vobjectListRemove(c->items, item);
  if (c->selection == item) c->selection = nullptr;
}
void insertItem(vcontainer* c, vdialogItem* item, int index) {
  vobjectListInsertAt(c->items, item, index);
  redrawNew(item);
}
void arrange(vcontainer* c, const vrect* r) { vdialogItemListClassOf(c->items)->arrange(c->items, r); }
void naturalSizeOfItems(vcontainer* c, int* w, int* h) {
  vdialogItemListClassOf(c->items)->naturalSize(c->items, w, h);
}

void setBounds(vcontainer* c, const vrect* rect) {
  settleBounds(c);
  vrect old = c->bounds, b = *rect;
  normalise(c, &b);
  c->bounds = b;
  updateBars(c);
  announceBounds(c, old);
}

template <std::uint16_t Bit>
void setContainerFlag(vcontainer* c, int on) {
  if (has(c, Bit) == (on != 0)) return;
  c->containerFlags = std::uint16_t(on ? c->containerFlags | Bit : c->containerFlags & ~Bit);
  vname name = Bit == vcontainerFLAT ? vname_Flat : Bit == vcontainerSCROLL_X ? vname_ScrollX : vname_ScrollY;
  vobjectSendValueChange(c, name, trueFalse(on == 0), trueFalse(on != 0));
}

void setFocusItem(vcontainer* c, vdialogItem* item) { vdialogItemListSetFocusItem(c->items, item); }
void setDefaultFocusItem(vcontainer* c, vdialogItem* item) { vdialogItemListSetDefaultFocusItem(c->items, item); }
void setSolution(vcontainer* c, vspringSolution* s) { vdialogItemListClassOf(c->items)->setSolution(c->items, s); }
// Announced even when unchanged: a radio button clicked while on has
// switched itself off, and the exclusive group switches it on again.
void setSelection(vcontainer* c, vdialogItem* item) {
  vdialogItem* old = c->selection;
  c->selection = item;
  vobjectSendValueChange(c, vname_Selection, old, item);
}

}  // namespace

bool vcontainerIsContainer(const vobject* o) {
  return o && vclassIsSubclass(o->cls, vcontainerGetDefaultClass());
}

void vcontainerComputeContent(vcontainer* c) {
  const vlaf* look = vlafGetCurrent();
  vrect r = c->rect;
  if (*c->title) r.height = s16(r.height - fontHeight(c));
  if (look->id == vlafWIN95 && (c->flags & vdialogItemBORDER))
    r = vrect{s16(r.x + 2), s16(r.y + 2), s16(r.width - 4), s16(r.height - 4)};
  int bh = barThickness(c->scrollX, false), bw = barThickness(c->scrollY, true);
  bool left = (look->flags & vlafLEFT_SCROLL_BAR) != 0;
  if (c->scrollY) {
    vrect bar{left ? r.x : s16(r.x + r.width - bw), s16(r.y + bh), s16(bw), s16(r.height - bh)};
    vdialogSetItemRect(c->scrollY, &bar);
    if (left) r.x = s16(r.x + bw);
    r.width = s16(r.width - bw);
  }
  if (c->scrollX) {
    vrect bar{r.x, r.y, r.width, s16(bh)};
    vdialogSetItemRect(c->scrollX, &bar);
    r.y = s16(r.y + bh);
    r.height = s16(r.height - bh);
  }
  int b = frameWidth(c);
  c->content = vrect{s16(r.x + b), s16(r.y + b), s16(std::max(0, r.width - 2 * b)), s16(std::max(0, r.height - 2 * b))};
  normalise(c, &c->bounds);
  updateBars(c);
}

void _vcontainerFillSlots(vcontainerClassRec* c) {
  c->instanceSize = sizeof(vcontainer);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->setAttributeByIndex = setByIndex;
  c->getAttributeByIndex = getByIndex;
  c->send = send;
  c->reserved8 = inheritedChanged;
  c->issueSelector = issueSelector;
  c->open = open;
  c->close = close;
  c->show = alsoBars<&vdialogItemClassRec::show>;
  c->hide = alsoBars<&vdialogItemClassRec::hide>;
  c->enable = alsoBars<&vdialogItemClassRec::enable>;
  c->disable = alsoBars<&vdialogItemClassRec::disable>;
  c->focus = focus;
  c->unfocus = unfocus;
  c->setDefault = showDefault;
  c->clearDefault = hideDefault;
  c->setMarked = setMarked;
  c->clearMarked = clearMarked;
  c->naturalSize = naturalSize;
  c->minSize = minSize;
  c->draw = _vcontainerDraw;
  c->buttonDown = buttonDown;
  c->buttonUp = toPressed<&vdialogItemClassRec::buttonUp>;
  c->motion = toPressed<&vdialogItemClassRec::motion>;
  c->drag = toPressed<&vdialogItemClassRec::drag>;
  c->pointerHook = pointerHook;
  c->keyDown = keyDown;
  c->setForeground = setForeground;
  c->setBackground = setBackground;
  c->setOwner = setOwner;
  c->takesConfirm = takesConfirm;
  c->appendItem = appendItem;
  c->removeItem = removeItem;
  c->insertItem = insertItem;
  c->arrange = arrange;
  c->naturalSizeOfItems = naturalSizeOfItems;
  c->setBounds = setBounds;
  c->setFlat = setContainerFlag<vcontainerFLAT>;
  c->setScrollX = setContainerFlag<vcontainerSCROLL_X>;
  c->setScrollY = setContainerFlag<vcontainerSCROLL_Y>;
  c->setFocusItem = setFocusItem;
  c->setDefaultFocusItem = setDefaultFocusItem;
  c->setSolution = setSolution;
  c->setSelection = setSelection;
}

int _vcontainerFontHeight(vdialogItem* item) { return fontHeight(item); }
int _vcontainerTitleWidth(vdialogItem* item) { return titleWidth(item); }
