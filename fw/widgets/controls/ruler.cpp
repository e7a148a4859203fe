#include "fw/widgets/controls/ruler.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/look/laf.h"

const vexClass vrulerItemNotOwnedClass{&vexArgClass, "Item Not Owned By Ruler", 40, vexArgPrint,
                                       sizeof(vexArgException)};

namespace {

constexpr std::int16_t kMargin = 1;  // above and below the items, every look

struct Module {
  vrulerClassRec* ruler;
  vrulerItemClassRec* item;
};
void** moduleSlot = nullptr;
Module* module();

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vobjectClassRec* objectSuper() { return vobjectGetDefaultClass(); }
vruler* asRuler(vinstance* o) { return static_cast<vruler*>(o); }
vrulerItem* asItem(vinstance* o) { return static_cast<vrulerItem*>(o); }
vname key(const char* s) { return vnameInternLiteral(s); }
// Positions and widths live in 16-bit fields: larger values saturate
// rather than wrap to the other end of the ruler.
std::int16_t s16(std::int64_t v) {
  return std::int16_t(std::clamp<std::int64_t>(v, INT16_MIN, INT16_MAX));
}
int right(const vrulerItem* i) { return i->rect.x + i->rect.width; }

[[noreturn]] void notOwned() {
  _vexGenerate(&vrulerItemNotOwnedClass, vexSetMessage, "Item Not Owned By Ruler", vexEnd);
}
[[noreturn]] void nullDestination() { _vexGenerate(&vexArgNullClass, vexSetMessage, "Null", vexEnd); }

void notify(vruler* r, vrulerItem* i, int code) { vrulerNotify(r, nullptr, i, code); }

std::int16_t inset(const vruler* r) {
  return (r->flags & vdialogItemBORDER) ? vrulerClassOf(r)->borderInset : std::int16_t(0);
}

// The chain link that points at the item, null when it is not in the chain.
vrulerItem** linkTo(vrulerItem** head, const vrulerItem* item) {
  for (vrulerItem** p = head; *p; p = &(*p)->next)
    if (*p == item) return p;
  return nullptr;
}

vrulerItem* predecessor(vruler* r, const vrulerItem* item) {
  vrulerItem* prev = nullptr;
  for (vrulerItem* i = r->shown; i && i != item; i = i->next) prev = i;
  return prev;
}

void linkAfter(vruler* r, vrulerItem* after, vrulerItem* item) {
  vrulerItem** at = after ? &after->next : &r->shown;
  item->next = *at;
  *at = item;
}

// The followers of an item that now reaches into them move right by the overlap.
void pushFollowers(vruler* r, vrulerItem* item) {
  vrulerItem* next = item->next;
  if (!next) return;
  int d = right(item) + r->spacing - next->rect.x;
  if (d <= 0) return;
  for (vrulerItem* f = next; f; f = f->next) {
    notify(r, f, vrulerWILL_MOVE);
    f->rect.x = s16(f->rect.x + d);
    notify(r, f, vrulerMOVED);
  }
}

void destroyOwned(vrulerItem* chain) {
  while (chain) {
    vrulerItem* next = chain->next;
    if (chain->flags & vrulerItemOWNED) {
      chain->ruler = nullptr;
      vinstanceDestroy(chain);
    } else {
      chain->ruler = nullptr;
      chain->next = nullptr;
    }
    chain = next;
  }
}

// ---- The item class.

void itemInit(vinstance* self) {
  objectSuper()->init(self);
  vrulerItem* i = asItem(self);
  i->ruler = nullptr;
  i->next = nullptr;
  i->title = nullptr;
  i->reserved = 0;
  i->minWidth = 20;
  i->maxWidth = INT32_MAX;
  i->flags = vrulerItemOWNED | vrulerItemMOVABLE;
  i->rect = vrect{0, kMargin, 100, 0};
}

void freeTitle(vrulerItem* i) {
  if (i->flags & vrulerItemTITLE_OWNED) vstrDestroy(const_cast<vstr*>(reinterpret_cast<const vstr*>(i->title)));
  i->title = nullptr;
  i->flags &= ~vrulerItemTITLE_OWNED;
}

const char* ownedCopy(const char* text) {
  return reinterpret_cast<const char*>(vstrCloneScribed(vscribeCString(text), nullptr));
}

void itemDestroy(vinstance* self) {
  vrulerItem* i = asItem(self);
  _vrulerForgetDrag(nullptr, i);
  freeTitle(i);
  objectSuper()->destroy(self);
}

void itemCopy(vobject* source, vobject* destination) {
  if (!destination) nullDestination();
  if (source == destination) return;
  objectSuper()->copy(source, destination);
  vrulerItem *from = asItem(source), *to = asItem(destination);
  freeTitle(to);
  to->minWidth = from->minWidth;
  to->maxWidth = from->maxWidth;
  to->reserved = from->reserved;
  constexpr std::uint32_t kept = vrulerItemOWNED | vrulerItemHILITED;
  to->flags = (to->flags & kept) | (from->flags & ~kept & ~vrulerItemTITLE_OWNED);
  to->rect = from->rect;
  if (from->title && (from->flags & vrulerItemTITLE_OWNED)) {
    to->title = ownedCopy(from->title);
    to->flags |= vrulerItemTITLE_OWNED;
  } else {
    to->title = from->title;
  }
}

void itemCopyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

void itemLoadInit(vobject* self, vresource resource) {
  objectSuper()->loadInit(self, resource);
  itemInit(self);
  vrulerItem* i = asItem(self);
  vresource metrics = vresourceGet(resource, key("Metrics"));
  i->rect.x = s16(vresourceGetAtInteger(metrics, 0));
  i->rect.width = s16(vresourceGetAtInteger(metrics, 1));
  i->minWidth = vresourceGetAtInteger(metrics, 2);
  i->maxWidth = vresourceGetAtInteger(metrics, 3);
  i->flags = std::uint32_t(vresourceGetInteger(resource, key("Flags"))) & ~vrulerItemTITLE_OWNED;
  i->flags |= vrulerItemOWNED;
  vstr* name = nullptr;
  if (vresourceTestGetStringCopy(resource, vname_Name, &name)) {
    i->title = reinterpret_cast<const char*>(name);
    i->flags |= vrulerItemTITLE_OWNED;
  }
}

void itemStore(vobject* self, vresource resource) {
  objectSuper()->store(self, resource);
  vrulerItem* i = asItem(self);
  if (i->title)
    vresourceSetString(resource, vname_Name, vscribeCString(i->title));
  else
    vresourceRemoveIfPresent(resource, vname_Name);
  vresourceSetInteger(resource, key("Flags"), std::int32_t(i->flags));
  vresource metrics = vresourceCreateArray(resource, key("Metrics"), vresINTEGER, 4);
  const std::int32_t v[4] = {i->rect.x, i->rect.width, i->minWidth, i->maxWidth};
  for (std::int32_t k = 0; k < 4; ++k) vresourceSetAtInteger(metrics, k, v[k]);
}

void itemSetWidth(vrulerItem* item, std::int32_t w) {
  if (w < item->minWidth || w > item->maxWidth) return;
  w = s16(w);
  vruler* r = item->ruler;
  if (!r || (item->flags & vrulerItemHIDDEN)) {
    item->rect.width = s16(w);
    return;
  }
  if (w == item->rect.width) return;
  notify(r, item, vrulerWILL_RESIZE);
  vrulerInvalItem(item);
  item->rect.width = s16(w);
  notify(r, item, vrulerRESIZED);
  vrulerInvalItem(item);
  pushFollowers(r, item);
}

int itemSetPosition(vrulerItem* item, std::int32_t x) {
  x = s16(x);
  vruler* r = item->ruler;
  if (!r || (item->flags & vrulerItemHIDDEN)) {
    item->rect.x = s16(x);
    return 1;
  }
  if (x == item->rect.x) return 1;
  if (!r->shown) return 0;
  vrulerItem* after = nullptr;  // the new predecessor, null for the head
  if (x > 0 && x < r->shown->rect.x) {
    after = nullptr;
  } else {
    vrulerItem* c = r->shown;
    while (c && !(c->rect.x <= x && x <= (c->next ? c->next->rect.x : INT32_MAX))) c = c->next;
    if (!c) return 0;
    if (c != item && right(c) > x) x = right(c) + r->spacing;
    after = c == item ? predecessor(r, item) : c;
  }
  const bool reorder = after != predecessor(r, item);
  if (reorder && !r->arrangable) return 0;
  // The client sees the chain intact before the move.
  notify(r, item, vrulerWILL_MOVE);
  if (reorder) *linkTo(&r->shown, item) = item->next;
  vrulerInvalItem(item);
  item->rect.x = s16(x);
  if (reorder) linkAfter(r, after, item);
  notify(r, item, vrulerMOVED);
  vrulerInvalItem(item);
  pushFollowers(r, item);
  return 1;
}

// ---- The ruler class.

void initFields(vruler* r) {
  r->count = 0;
  r->scroll = 0;
  r->spacing = vlafGetCurrent()->id == vlafWIN95 ? 1 : 5;
  r->shown = r->hidden = r->hilite = nullptr;
  r->arrangable = 1;
  r->sticky = 0;
  r->dragOff = 0;
  r->packState = 0;
  r->notify = nullptr;
}

void rulerInit(vinstance* self) {
  super()->init(self);
  initFields(asRuler(self));
}

void dropItems(vruler* r) {
  destroyOwned(r->shown);
  destroyOwned(r->hidden);
  r->shown = r->hidden = r->hilite = nullptr;
  r->count = 0;
}

void rulerDestroy(vinstance* self) {
  vruler* r = asRuler(self);
  _vrulerForgetDrag(r, nullptr);
  dropItems(r);
  super()->destroy(self);
}

void rulerCopy(vobject* source, vobject* destination) {
  if (!destination) nullDestination();
  if (source == destination) return;  // its own items would go first
  super()->copy(source, destination);
  vruler *from = asRuler(source), *to = asRuler(destination);
  dropItems(to);
  to->arrangable = from->arrangable;
  to->scroll = from->scroll;
  to->spacing = from->spacing;
  to->sticky = from->sticky;
  to->dragOff = from->dragOff;
  to->notify = from->notify;
  for (vrulerItem* i = from->shown; i; i = i->next) {
    auto* copy = static_cast<vrulerItem*>(vobjectClone(i));
    vrulerAppendItem(to, copy);
    if (i->flags & vrulerItemHILITED) vrulerSetItemHilite(copy, 1);
  }
  vrulerItem** tail = &to->hidden;
  for (vrulerItem* i = from->hidden; i; i = i->next) {
    auto* copy = static_cast<vrulerItem*>(vobjectClone(i));
    copy->ruler = to;
    copy->next = nullptr;
    *tail = copy;
    tail = &copy->next;
  }
}

void rulerCopyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

vrulerItem* loadItem(vresource element) {
  vresource cls;
  if (vresourceTestGet(element, vname_Class, &cls)) {
    vobject* o = vobjectLoad(element);
    if (vclassIsSubclass(o->cls, vrulerItemGetDefaultClass())) return asItem(o);
    vinstanceDestroy(o);
    _vexGenerate(&vexArgClass, vexSetMessage, "not a ruler item", vexEnd);
  }
  auto* i = static_cast<vrulerItem*>(vclassAllocInstance(vrulerItemGetDefaultClass()));
  i->cls = vrulerItemGetDefaultClass();
  itemLoadInit(i, element);
  return i;
}

void rulerLoadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vruler* r = asRuler(self);
  initFields(r);
  r->arrangable = vresourceGetBoolean(resource, key("Arrangable"));
  std::int32_t count = vresourceGetInteger(resource, key("ItemCount"));
  int on = 0;
  if (vresourceTestGetBoolean(resource, key("Sticky"), &on)) r->sticky = on != 0;
  if (vresourceTestGetBoolean(resource, key("DragOffOp"), &on)) r->dragOff = on != 0;
  std::int32_t v = 0;
  if (vresourceTestGetInteger(resource, key("Spacing"), &v)) r->spacing = v;
  if (count <= 0) return;
  // Loaded into local chains first: a short array leaves the ruler empty.
  vrulerItem *shown = nullptr, *hidden = nullptr;
  vrulerItem **shownTail = &shown, **hiddenTail = &hidden;
  std::int32_t shownCount = 0;
  bool done = vexTry([&] {
    vresource items = vresourceGet(resource, key("Items"));
    for (std::int32_t k = 0; k < count; ++k) {
      vrulerItem* i = loadItem(vresourceGetAt(items, k));
      i->flags |= vrulerItemOWNED;
      vrulerItem**& tail = (i->flags & vrulerItemHIDDEN) ? hiddenTail : shownTail;
      *tail = i;
      tail = &i->next;
      shownCount += (i->flags & vrulerItemHIDDEN) ? 0 : 1;
    }
  });
  if (!done) {
    destroyOwned(shown);
    destroyOwned(hidden);
    _vexGenerate(&vexArgClass, vexSetMessage, "Illegal array index", vexEnd);
  }
  r->shown = shown;
  r->hidden = hidden;
  r->count = shownCount;
  for (vrulerItem* i = vrulerNextItem(r, nullptr); i; i = vrulerNextItem(r, i)) {
    i->ruler = r;
    if ((i->flags & vrulerItemHILITED) && !(i->flags & vrulerItemHIDDEN)) r->hilite = i;
  }
  _vrulerSetHeights(r);
}

void rulerStore(vobject* self, vresource resource) {
  super()->store(self, resource);
  vruler* r = asRuler(self);
  vresourceSetBoolean(resource, key("Arrangable"), r->arrangable != 0);
  vresourceSetBoolean(resource, key("Sticky"), r->sticky != 0);
  vresourceSetBoolean(resource, key("DragOffOp"), r->dragOff != 0);
  vresourceSetInteger(resource, key("Spacing"), r->spacing);
  std::int32_t n = 0;
  for (vrulerItem* i = vrulerNextItem(r, nullptr); i; i = vrulerNextItem(r, i)) ++n;
  vresourceSetInteger(resource, key("ItemCount"), n);
  vresourceRemoveIfPresent(resource, key("Items"));
  if (n == 0) return;
  vresource items = vresourceCreateArray(resource, key("Items"), vresDICTIONARY, n);
  std::int32_t k = 0;
  for (vrulerItem* i = vrulerNextItem(r, nullptr); i; i = vrulerNextItem(r, i))
    vclassRec<vobjectClassRec>(i)->store(i, vresourceCreateAt(items, k++, vresDICTIONARY));
}

int fontHeight(vruler* r) {
  vfixed ascent = vfontGetDriver()->ascent(vdialogDetermineItemFont(r));
  vfixed descent = vfontGetDriver()->descent(vdialogDetermineItemFont(r));
  return int((ascent + descent + 0x8000) >> 16);
}

void naturalSize(vdialogItem* item, int* w, int* h) {
  vruler* r = asRuler(item);
  *w = 6;
  *h = fontHeight(r) + 2 * inset(r) + 7;
}

void minSize(vdialogItem* item, int* w, int* h) {
  vruler* r = asRuler(item);
  naturalSize(item, w, h);
  int widest = 0;
  for (vrulerItem* i = r->shown; i; i = i->next) widest = std::max(widest, right(i));
  *w = widest + 6;
}

void setBorder(vdialogItem* item, int on) {
  bool had = (item->flags & vdialogItemBORDER) != 0;
  super()->setBorder(item, on);
  if (had != ((item->flags & vdialogItemBORDER) != 0)) vdialogInvalItem(item, 0);
  _vrulerSetHeights(asRuler(item));
}

void setRect(vdialogItem* item, const vrect* rect) {
  bool resized = rect->width != item->rect.width || rect->height != item->rect.height;
  super()->setRect(item, rect);
  _vrulerSetHeights(asRuler(item));
  if (resized) notify(asRuler(item), nullptr, vrulerHEIGHTS);
}

vrulerItem* addItem(vruler* r) {
  vrulerItem* i = vrulerItemCreate();
  vrulerItem* last = r->shown;
  while (last && last->next) last = last->next;
  // The sum is kept in 16 bits, as the field is.
  i->rect.x = s16(r->spacing + (last ? right(last) : 0));
  vrulerAppendItem(r, i);
  return i;
}

void appendItem(vruler* r, vrulerItem* item) {
  int gapStart = 0;
  vrulerItem* prev = nullptr;
  vrulerItem* candidateAfter = nullptr;
  bool candidate = false;
  int candidateX = 0;
  bool placed = false;
  for (vrulerItem* i = r->shown; i; prev = i, i = i->next) {
    int gapEnd = i->rect.x - r->spacing;
    if (item->rect.x >= gapStart && item->rect.x + item->rect.width <= gapEnd) {
      linkAfter(r, prev, item);
      placed = true;
      break;
    }
    if (gapEnd - gapStart >= item->rect.width) {
      candidate = true;
      candidateX = gapStart + r->spacing;
      candidateAfter = prev;  // null: the gap before the first item links at the front
    }
    gapStart = right(i);
  }
  if (!placed) {
    if (candidate) {
      item->rect.x = s16(candidateX);
      linkAfter(r, candidateAfter, item);
    } else {
      linkAfter(r, prev, item);
    }
  }
  item->ruler = r;
  item->rect.y = s16(kMargin + inset(r));
  item->rect.height = s16(std::max(0, r->rect.height - 2 * kMargin - 2 * inset(r)));
  ++r->count;
  vrulerInvalItem(item);
  if (!(item->flags & vrulerItemHIDING)) notify(r, item, vrulerAPPENDED);
  if (item->flags & vrulerItemHILITED) r->hilite = item;
}

void removeItem(vruler* r, vrulerItem* item) {
  if (!(item->flags & vrulerItemMOVABLE)) return;
  const bool hiding = item->flags & vrulerItemHIDING;
  if (!hiding) notify(r, item, vrulerWILL_REMOVE);
  if (item->flags & vrulerItemHIDDEN) {
    if (vrulerItem** at = linkTo(&r->hidden, item)) *at = item->next;
  } else if (vrulerItem** at = linkTo(&r->shown, item)) {
    *at = item->next;
    --r->count;
  }
  item->next = nullptr;
  if (!hiding) {
    notify(r, item, vrulerREMOVED);
    item->ruler = nullptr;
    if (r->hilite == item) r->hilite = nullptr;  // the item keeps its flag
    _vrulerForgetDrag(nullptr, item);
  }
  vdialogInvalItem(r, 0);
  if ((item->flags & vrulerItemOWNED) && !hiding) vinstanceDestroy(item);
}

void packItems(vruler* r) {
  if (r->packState != 0) {
    r->packState = 2;
    return;
  }
  int x = r->spacing;
  for (vrulerItem* i = r->shown; i; i = i->next) {
    if (i->rect.x != x) {
      notify(r, i, vrulerWILL_MOVE);
      i->rect.x = s16(x);
      notify(r, i, vrulerMOVED);
    }
    x += i->rect.width + r->spacing;
  }
  vdialogInvalItem(r, 0);
}

void rulerNotify(vruler* r, vevent* e, vrulerItem* i, int code) {
  if (r->notify) r->notify(r, e, i, code);
}

void freeModule() {}

Module* module() {
  if (auto* bound = vmoduleState<Module>(moduleSlot)) return bound;
  auto* m = static_cast<Module*>(vmoduleBindSlot(moduleSlot, sizeof(Module)));
  *m = Module{};
  vmoduleAddContextExitProc(freeModule);  // nothing to free: the classes go with the context
  auto* ic = vclassSpawnOf<vrulerItemClassRec>(vobjectGetDefaultClass());
  vclassSetName(ic, vscribeLiteral("vrulerItem"));
  ic->instanceSize = sizeof(vrulerItem);
  ic->init = itemInit;
  ic->destroy = itemDestroy;
  ic->copy = itemCopy;
  ic->copyInit = itemCopyInit;
  ic->loadInit = itemLoadInit;
  ic->store = itemStore;
  ic->setWidth = itemSetWidth;
  ic->setPosition = itemSetPosition;
  m->item = ic;

  const vlaf* look = vlafGetCurrent();
  auto* c = vclassSpawnOf<vrulerClassRec>(super());
  c->instanceSize = sizeof(vruler);
  c->init = rulerInit;
  c->destroy = rulerDestroy;
  c->copy = rulerCopy;
  c->copyInit = rulerCopyInit;
  c->loadInit = rulerLoadInit;
  c->store = rulerStore;
  c->naturalSize = naturalSize;
  c->minSize = minSize;
  c->setBorder = setBorder;
  c->setRect = setRect;
  c->addItem = addItem;
  c->appendItem = appendItem;
  c->removeItem = removeItem;
  c->packItems = packItems;
  c->notify = rulerNotify;
  c->borderInset = look->id == vlafWIN95 ? 0 : 2;
  c->defaultWidth = 300;
  c->defaultHeight = 20;
  _vrulerFillDragSlots(c);
  vclassSetName(c, vscribeLiteral("vruler"));
  if (look->id == vlafWINDOWS || look->id == vlafWIN95 || look->id == vlafCUA) {
    vlafSetClassMSWSysColor(look->id, -1, c, vcolorFOREGROUND, 1);
    vlafSetClassMSWSysColor(look->id, -1, c, vcolorBACKGROUND, look->id == vlafCUA ? 25 : 0);
    _vdialogItemRunNamingHook(c);
  }
  m->ruler = c;
  return m;
}

}  // namespace

vrulerClassRec* vrulerGetDefaultClass() { return module()->ruler; }
vrulerItemClassRec* vrulerItemGetDefaultClass() { return module()->item; }
vruler* vrulerCreate() { return asRuler(vinstanceCreate(vrulerGetDefaultClass())); }
vrulerItem* vrulerItemCreate() { return asItem(vinstanceCreate(vrulerItemGetDefaultClass())); }

vrulerItemClassRec* _vrulerStartup() {
  vrulerGetDefaultClass();
  return vrulerItemGetDefaultClass();
}

void _vrulerSetHeights(vruler* r) {
  auto h = s16(std::max(0, r->rect.height - 2 * kMargin - 2 * inset(r)));
  for (vrulerItem* i = vrulerNextItem(r, nullptr); i; i = vrulerNextItem(r, i)) i->rect.height = h;
}

vrulerItem* vrulerNextItem(vruler* r, vrulerItem* previous) {
  if (!previous) return r->shown ? r->shown : r->hidden;
  if (previous->next) return previous->next;
  return (previous->flags & vrulerItemHIDDEN) ? nullptr : r->hidden;
}

vrulerItem* vrulerFindItem(vruler* r, vname tag) {
  for (vrulerItem* i = vrulerNextItem(r, nullptr); i; i = vrulerNextItem(r, i))
    if (i->tag == tag) return i;
  return nullptr;
}

vrulerItem* vrulerGetItemAt(vruler* r, std::int32_t index) {
  vrulerItem* i = r->shown;
  while (i && index-- > 0) i = i->next;
  return index < 0 ? i : nullptr;
}

std::int32_t vrulerGetItemIndex(vrulerItem* item) {
  if (!item->ruler) notOwned();
  std::int32_t k = 0;
  for (vrulerItem* i = item->ruler->shown; i; i = i->next, ++k)
    if (i == item) return k;
  return -1;
}

void vrulerSetItemTitle(vrulerItem* item, vscribe* title) {
  freeTitle(item);
  // Literal and name scribes hand over text that outlives the item.
  if (title->flags & (vscribeLITERAL | vscribeNAME)) {
    item->title = static_cast<const char*>(title->data);
    vscribeRelease(title);
  } else {
    item->title = reinterpret_cast<const char*>(vstrCloneScribed(title, nullptr));
    item->flags |= vrulerItemTITLE_OWNED;
  }
  vrulerInvalItem(item);
}

void vrulerSetItemHilite(vrulerItem* item, int on) {
  vruler* r = item->ruler;
  if (!r) notOwned();
  auto redraw = [](vrulerItem* i) {
    if (!(i->flags & vrulerItemHIDDEN)) vrulerInvalItem(i);
  };
  if (on) {
    if (vrulerItem* old = r->hilite; old && old != item) {
      old->flags &= ~vrulerItemHILITED;
      redraw(old);
    }
    r->hilite = item;
    item->flags |= vrulerItemHILITED;
    redraw(item);
  } else {
    if (r->hilite == item) {
      r->hilite = nullptr;
      redraw(item);
    }
    item->flags &= ~vrulerItemHILITED;
  }
}

void vrulerHideItem(vrulerItem* item) {
  vruler* r = item->ruler;
  if (!r) notOwned();
  // An item the removal refuses stays shown rather than sit in both chains.
  if ((item->flags & vrulerItemHIDDEN) || !(item->flags & vrulerItemMOVABLE)) return;
  notify(r, item, vrulerWILL_HIDE);
  item->flags |= vrulerItemHIDING;
  vrulerRemoveItem(r, item);
  item->flags &= ~vrulerItemHIDING;
  item->flags |= vrulerItemHIDDEN;
  item->next = r->hidden;
  r->hidden = item;
}

void vrulerSetScroll(vruler* r, std::int32_t offset) {
  notify(r, nullptr, vrulerWILL_SCROLL);
  std::int32_t old = r->scroll;
  r->scroll = offset;
  vrect area{s16(r->rect.x + 2), s16(r->rect.y + 2), s16(r->rect.width - 4), s16(r->rect.height - 4)};
  vdialogItemClassOf(r)->scrollRect(r, &area, -(offset - old), 0, 2);
  notify(r, nullptr, vrulerSCROLLED);
}

void vrulerInvalItem(vrulerItem* item) {
  vruler* r = item->ruler;
  if (!r) return;
  vrect area = item->rect;
  area.x = s16(area.x + r->rect.x - r->scroll);
  area.y = s16(area.y + r->rect.y);
  vdialogItemClassOf(r)->invalRect(r, &area, 0);
}
