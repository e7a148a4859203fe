#include "fw/widgets/menus/itemlist.h"

#include <algorithm>
#include <cstddef>

#include "fw/core/ex.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/mswmenu.h"

namespace {

struct ListState {
  vmenuItemListClassRec* cls;
  const vmenuItemListLook* look;
};
void** stateSlot = nullptr;
ListState* state();

// One menu scrolls at a time: the list whose auto-scroll event is pending,
// and the number of the request that event serves (an older one lapses).
vmenuItemList* scrolling = nullptr;
std::intptr_t scrollRequest = 0;

vmenuItemList* asList(vinstance* o) { return static_cast<vmenuItemList*>(o); }
vobjectListClassRec* super() { return vobjectListGetDefaultClass(); }
vmenuItemListClassRec* rec(vmenuItemList* l) { return vmenuItemListClassOf(l); }
const vmenuItemGeometry kEmptyGeometry = {};

void dropGeometry(vmenuItemList* l) {
  if (l->geometry) vmemFree(l->geometry);
  l->geometry = nullptr;
}

void invalidate(vmenuItemList* l, const vrect* r) {
  vmenu* m = l->owner;
  if (m && vwindowIsOpen(m) && vwindowClassOf(m)->inval) vwindowClassOf(m)->inval(m, r, 0);
}

void tellItems(vmenuItemList* l) {
  for (int i = 0; i < vmenuItemListCount(l); ++i)
    if (vmenuItem* item = vmenuItemListAt(l, i)) vmenuItemClassOf(item)->setOwner(item, l);
}

// ---- Object list slots.
void init(vinstance* self) {
  super()->init(self);
  vmenuItemList* l = asList(self);
  l->defaultIndex = l->currentIndex = -1;
  l->owner = nullptr;
  l->geometry = nullptr;
}

void destroy(vinstance* self) {
  vmenuItemList* l = asList(self);
  if (scrolling == l) scrolling = nullptr;
  if (vmenuIsMirrored(l->owner)) vmswmenuDestroyMenuMirror(l->owner, 1);
  dropGeometry(l);
  super()->destroy(self);
}

void copyIndexes(vmenuItemList* from, vmenuItemList* to) {
  to->defaultIndex = from->defaultIndex;
  to->currentIndex = from->currentIndex;
  dropGeometry(to);
  tellItems(to);
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  vmenuItemList* to = asList(destination);
  vmswmenuSaved saved{};
  bool mirrored = vmenuIsMirrored(to->owner);
  if (mirrored) {
    vmswmenuSaveMirror(to->owner, &saved);
    vmswmenuDestroyMenuMirror(to->owner, 1);
  }
  super()->copy(source, destination);
  copyIndexes(asList(source), to);
  if (mirrored) vmswmenuRestoreMirror(to->owner, &saved);
}

void copyInit(vobject* source, vobject* destination) {
  super()->copyInit(source, destination);
  vmenuItemList* to = asList(destination);
  to->owner = nullptr;
  to->geometry = nullptr;
  copyIndexes(asList(source), to);
}

void loadInit(vobject* self, vresource resource) {
  _vobjectListCheckObjects(resource, vmenuGetDefaultItemClass());
  super()->loadInit(self, resource);
  vmenuItemList* l = asList(self);
  std::int32_t index = -1;
  vresourceTestGetInteger(resource, vname_Default, &index);
  l->defaultIndex = std::int16_t(index);
  l->currentIndex = -1;
  l->owner = nullptr;
  l->geometry = nullptr;
  tellItems(l);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vmenuItemList* l = asList(self);
  if (l->defaultIndex >= 0) vresourceSetIntegerAt(resource, vname_Default, l->defaultIndex);
  else vresourceGetInterface()->remove(resource, vname_Default);
}

// Changes of the items come here and go on to the menu.
void send(vobject* self, vname name, vdict* arguments) {
  vmenuItemList* l = asList(self);
  if (l->owner) vobjectAttributedOf(l->owner)->send(l->owner, name, arguments);
}

void append(vobjectList* self, vobject* object) {
  vmenuItemList* l = asList(self);
  super()->append(self, object);
  auto* item = static_cast<vmenuItem*>(object);
  vmenuItemClassOf(item)->setOwner(item, l);
  dropGeometry(l);
  if (vmenuIsMirrored(l->owner)) vmswmenuInsertMenuItem(l->owner, item, -1);
}

std::int16_t afterRemoval(std::int16_t at, int removed) {
  if (at == removed) return -1;
  return at > removed ? std::int16_t(at - 1) : at;
}

void removeAt(vobjectList* self, int index) {
  vmenuItemList* l = asList(self);
  if (index < 0 || index >= vmenuItemListCount(l)) _vexGenerate(&vexArgRangeClass, vexEnd);
  vmenuItem* item = vmenuItemListAt(l, index);
  if (vmenuIsMirrored(l->owner)) vmswmenuDeleteItem(l->owner, item);
  vmenuItemClassOf(item)->setOwner(item, nullptr);
  super()->removeAt(self, index);
  l->defaultIndex = afterRemoval(l->defaultIndex, index);
  l->currentIndex = afterRemoval(l->currentIndex, index);
  dropGeometry(l);
}

void setAt(vobjectList* self, int index, vobject* object) {
  vmenuItemList* l = asList(self);
  if (index < 0 || index >= vmenuItemListCount(l)) _vexGenerate(&vexArgRangeClass, vexEnd);
  vmenuItem* old = vmenuItemListAt(l, index);
  if (vmenuIsMirrored(l->owner)) vmswmenuDeleteItem(l->owner, old);
  vmenuItemClassOf(old)->setOwner(old, nullptr);
  super()->setAt(self, index, object);
  auto* item = static_cast<vmenuItem*>(object);
  vmenuItemClassOf(item)->setOwner(item, l);
  dropGeometry(l);
  if (vmenuIsMirrored(l->owner)) vmswmenuInsertMenuItem(l->owner, item, index);
}

std::int16_t afterMove(std::int16_t at, int from, int to) {
  if (at < 0) return at;
  if (at == from) return std::int16_t(to);
  if (from < at && at <= to) return std::int16_t(at - 1);
  if (to <= at && at < from) return std::int16_t(at + 1);
  return at;
}

void move(vobjectList* self, int from, int to) {
  vmenuItemList* l = asList(self);
  super()->move(self, from, to);
  l->defaultIndex = afterMove(l->defaultIndex, from, to);
  l->currentIndex = afterMove(l->currentIndex, from, to);
  dropGeometry(l);
  if (vmenuIsMirrored(l->owner)) vmswmenuMoveItem(l->owner, from, to);
}

// ---- Geometry.
vmenuItemGeometry* allocGeometry(int count) {
  std::size_t size = offsetof(vmenuItemGeometry, heights) + sizeof(std::int16_t) * std::size_t(std::max(count, 1));
  auto* g = static_cast<vmenuItemGeometry*>(vmemAlloc(size));
  *g = vmenuItemGeometry{};
  g->count = std::int16_t(count);
  return g;
}

int widthOfImage(int index) {
  vimage* image = vlafGetImage(index);
  return image ? image->width : 0;
}

void layout(vmenuItemList* l, const vmenuFrameMargins* margins) {
  int n = vmenuItemListCount(l);
  if (!l->geometry || l->geometry->count != n) {
    dropGeometry(l);
    l->geometry = allocGeometry(n);
  }
  vmenuItemGeometry* g = l->geometry;
  int widest = 0, indent = margins->indentMin, right = margins->rightMin, sum = 0;
  bool anyRight = false, anyAccelerator = false;
  int spacing = margins->baseline + margins->upper;
  for (int i = 0; i < n; ++i) {
    vmenuItem* item = vmenuItemListAt(l, i);
    vmenuItemMeasure m;
    vmenuItemMeasureInto(item, &m);
    widest = std::max(widest, int(m.titleWidth));
    indent = std::max(indent, int(m.indent));
    right = std::max(right, int(m.rightWidth));
    anyRight |= m.rightWidth > 0;
    anyAccelerator |= item->accelerator != 0;
    g->heights[i] = std::int16_t(m.ascent + spacing);
    sum += g->heights[i];
  }
  int gap = anyRight ? 15 : 0;
  int look = vlafGetCurrent()->id;
  if (look == vlafWINDOWS) gap = anyAccelerator ? (widthOfImage(32) + 1) / 2 : 0;
  if (look == vlafWIN95) gap = anyAccelerator ? (widthOfImage(118) + 1) / 2 + 1 : 0;
  g->full = {std::int16_t(margins->left), std::int16_t(margins->bottom), std::int16_t(indent + widest + gap + right),
             std::int16_t(sum)};
  g->visible = g->full;
  g->highlight = {};
  g->textX = std::int16_t(margins->left + indent);
  g->textY = std::int16_t(margins->bottom + margins->baseline);
  g->acceleratorOffset = std::int16_t(widest + gap);
  g->firstVisible = 0;
  g->endVisible = std::int16_t(n);
  g->topCut = g->bottomCut = 0;
  g->scrollFlags = 0;
  // A native menu taller than most of the screen breaks into columns.
  if (vmenuIsMirrored(l->owner)) {
    int limit = vwindowGetRoot()->rect.height * 9 / 10;
    bool breaks = sum > limit;
    for (int i = 0; i < n && !breaks; ++i) breaks = vmenuItemListAt(l, i)->flags & vmenuItemCOLUMN_BREAK;
    int running = 0;
    for (int i = 0; i < n; ++i) {
      vmenuItem* item = vmenuItemListAt(l, i);
      running += g->heights[i];
      if (breaks && running > limit && i > 0) {
        item->flags |= vmenuItemCOLUMN_BREAK;
        running = g->heights[i];
      } else {
        item->flags &= ~vmenuItemCOLUMN_BREAK;
      }
    }
  }
}

int heightAt(const vmenuItemGeometry* g, int i) { return i < g->count ? g->heights[i] : 0; }

// The top edge of item i, walking from the first visible item.
int topOf(const vmenuItemGeometry* g, int index) {
  int top = g->visible.y + g->visible.height + g->topCut;
  for (int i = g->firstVisible; i < index; ++i) top -= heightAt(g, i);
  for (int i = g->firstVisible; i > index; --i) top += heightAt(g, i - 1);
  return top;
}

void itemRect(vmenuItemList* l, int index, vrect* r, vmenuTextPosition* text) {
  if (index < 0 || index >= vmenuItemListCount(l)) _vexGenerate(&vexArgRangeClass, vexEnd);
  const vmenuItemGeometry* g = vmenuItemListGetGeometry(l);
  int h = heightAt(g, index);
  *r = {g->full.x, std::int16_t(topOf(g, index) - h), g->full.width, std::int16_t(h)};
  if (text) *text = {g->textX, std::int16_t(r->y + g->textY - g->full.y), g->acceleratorOffset, std::int16_t(h)};
}

// The first item not wholly visible below the visible rectangle's bottom.
void settleVisibleRange(vmenuItemGeometry* g) {
  int room = g->visible.height + g->topCut, i = g->firstVisible;
  while (i < g->count && room > 0) room -= g->heights[i++];
  g->endVisible = std::int16_t(i);
  g->bottomCut = std::int16_t(room < 0 ? -room : 0);
}

void clearHighlight(vmenuItemList* l) {
  if (l->currentIndex < 0 || !l->geometry) return;
  invalidate(l, &l->geometry->highlight);
  l->currentIndex = -1;
}

void resetScroll(vmenuItemList* l) {
  if (scrolling == l) scrolling = nullptr;
  if (vmenuItemGeometry* g = l->geometry) g->scrollFlags &= ~(vmenuScrollDOWN | vmenuScrollUP | vmenuScrollFAST);
}

int selectableFrom(vmenuItemList* l, int index, int step) {
  int n = vmenuItemListCount(l);
  for (int k = 0, i = index; k < n; ++k, i = (i + step + n) % n)
    if (vmenuItemIsSelectable(vmenuItemListAt(l, i))) return i;
  return -1;
}

void setCurrent(vmenuItemList* l, int index, int direction) {
  if (l->geometry) l->geometry->scrollFlags &= ~(vmenuScrollDOWN | vmenuScrollUP | vmenuScrollFAST);
  if (index == l->currentIndex) return;
  if (index < 0 || index >= vmenuItemListCount(l)) {
    clearHighlight(l);
    return;
  }
  int found = selectableFrom(l, index, direction < 1 ? -1 : 1);
  if (found < 0 || found == l->currentIndex) return;
  clearHighlight(l);
  if (vmenuItemGeometry* g = l->geometry) {
    if (found >= g->endVisible - (g->bottomCut ? 1 : 0) && (g->scrollFlags & vmenuScrollLOWER_ARROW))
      vmenuItemListScroll(l, found - g->endVisible + 1 + (g->bottomCut ? 1 : 0));
    else if (found < g->firstVisible && (g->scrollFlags & vmenuScrollUPPER_ARROW))
      vmenuItemListScroll(l, -(g->firstVisible - found));
  }
  l->currentIndex = std::int16_t(found);
  if (l->geometry) {
    vmenuTextPosition text;
    itemRect(l, found, &l->geometry->highlight, &text);
    invalidate(l, &l->geometry->highlight);
  }
}

void postScroll(vmenuItemList* l);
int scrollEvent(vevent* event) {
  auto* l = static_cast<vmenuItemList*>(event->data);
  if (scrolling != l || event->words[0] != scrollRequest || !l->geometry) return 1;
  std::int16_t flags = l->geometry->scrollFlags;
  if (flags & vmenuScrollDOWN) vmenuItemListScroll(l, 1);
  else if (flags & vmenuScrollUP) vmenuItemListScroll(l, -1);
  // At an end the request lapses with its arrow.
  vmenuItemGeometry* g = l->geometry;
  if (!(g->scrollFlags & vmenuScrollLOWER_ARROW)) g->scrollFlags &= ~vmenuScrollDOWN;
  if (!(g->scrollFlags & vmenuScrollUPPER_ARROW)) g->scrollFlags &= ~vmenuScrollUP;
  if (l->geometry->scrollFlags & (vmenuScrollDOWN | vmenuScrollUP)) postScroll(l);
  else scrolling = nullptr;
  return 1;
}
// At once when fast, else after a quarter second.
void postScroll(vmenuItemList* l) {
  scrolling = l;
  vevent* e = veventCreateClient(scrollEvent, l);
  e->words[0] = scrollRequest;
  e->priority = 63;
  if (l->geometry->scrollFlags & vmenuScrollFAST) veventPost(e);
  else veventPostDelayed(e, 0, 250000000);
}

int itemAt(const vmenuItemGeometry* g, int y) {
  int top = topOf(g, g->firstVisible);
  for (int i = g->firstVisible; i < g->endVisible; ++i) {
    top -= g->heights[i];
    if (y >= top) return i;
  }
  return -1;
}

void trackPointer(vmenuItemList* l, vevent*, int x, int y) {
  vmenuItemGeometry* g = l->geometry;
  if (!g) return;
  const vrect& v = g->visible;
  if (x >= v.x && x < v.x + v.width && y >= v.y && y < v.y + v.height) {
    int i = itemAt(g, y);
    g->scrollFlags &= ~(vmenuScrollDOWN | vmenuScrollUP | vmenuScrollFAST);
    if (i >= 0 && vmenuItemIsSelectable(vmenuItemListAt(l, i))) setCurrent(l, i, 1);
    else if (i != l->currentIndex) clearHighlight(l);
    return;
  }
  clearHighlight(l);
  std::int16_t wanted = 0;
  int beyond = 0;
  if (y < v.y && (g->scrollFlags & vmenuScrollLOWER_ARROW)) {
    wanted = vmenuScrollDOWN;
    beyond = v.y - y;
  } else if (y >= v.y + v.height && (g->scrollFlags & vmenuScrollUPPER_ARROW)) {
    wanted = vmenuScrollUP;
    beyond = y - (v.y + v.height) + 1;
  }
  bool requested = g->scrollFlags & (vmenuScrollDOWN | vmenuScrollUP);
  g->scrollFlags &= ~(vmenuScrollDOWN | vmenuScrollUP | vmenuScrollFAST);
  if (!wanted) return;
  g->scrollFlags |= wanted | (beyond >= 6 ? vmenuScrollFAST : 0);
  if (!requested || scrolling != l) {
    ++scrollRequest;
    postScroll(l);
  }
}

int openCurrentCascade(vmenuItemList* l, vevent*) {
  vmenuItem* item = vmenuItemListGetCurrent(l);
  const vmenuItemGeometry* g = vmenuItemListGetGeometry(l);
  if (!item || !vmenuItemIsEnabled(item) || l->currentIndex < g->firstVisible || l->currentIndex >= g->endVisible)
    return 0;
  vmenu* sub = vmenuGetItemSubMenu(item);
  if (!sub || !l->owner) return 0;
  vrect r;
  itemRect(l, l->currentIndex, &r, nullptr);
  vmenuClassOf(sub)->setPopupParent(sub, item);
  vmenuCascadeRight(sub, l->owner, &r);
  return 1;
}

// ---- Drawing.
void drawAll(vmenuItemList* l) {
  vmenuItemGeometry* g = l->geometry;
  if (!g) return;
  vdrawGSave();
  vdrawRectClip(g->visible.x, g->visible.y, g->visible.width, g->visible.height);
  for (int i = g->firstVisible; i < g->endVisible; ++i) {
    vrect r;
    vmenuTextPosition text;
    itemRect(l, i, &r, &text);
    if (!vdrawRectIsVisible(&r)) continue;
    vmenuItem* item = vmenuItemListAt(l, i);
    if (i == l->currentIndex) {
      g->highlight = r;
      vmenuItemClassOf(item)->drawHighlighted(item, &r, &text);
    } else {
      vmenuItemClassOf(item)->drawNormal(item, &r, &text);
    }
  }
  vdrawGRestore();
  if (!(g->scrollFlags & (vmenuScrollLOWER_ARROW | vmenuScrollUPPER_ARROW))) return;
  const vmenuItemListLook* look = state()->look;
  vcolorScheme scheme{};
  look->beginArrows(l->owner, &scheme);
  if (g->scrollFlags & vmenuScrollUPPER_ARROW) {
    vrect r = {g->textX, std::int16_t(g->visible.y + g->visible.height + 2), 10, 10};
    look->drawUpperArrow(&r, &scheme);
  }
  if (g->scrollFlags & vmenuScrollLOWER_ARROW) {
    vrect r = {g->textX, std::int16_t(g->visible.y - 2 - 10), 10, 10};
    look->drawLowerArrow(&r, &scheme);
  }
  look->endArrows(l->owner, &scheme);
}

void setDefaultItem(vmenuItemList* l, vmenuItem* item) {
  int index = item ? vobjectListIndexOf(l, item) : -1;
  if (item && index < 0) _vexGenerate(&vexArgClass, vexEnd);
  vmenuItem* old = vmenuItemListGetDefault(l);
  l->defaultIndex = std::int16_t(index);
  if (vmenuIsMirrored(l->owner)) vmswmenuSetDefaultItem(l->owner, item);
  if (old != item) vobjectSendValueChange(l, vname_Default, old, item);
}

void setCurrentItem(vmenuItemList* l, vmenuItem* item) {
  if (!item) {
    clearHighlight(l);
    return;
  }
  int index = vobjectListIndexOf(l, item);
  if (index < 0) _vexGenerate(&vexArgClass, vexEnd);
  setCurrent(l, index, 1);
}

void setOwner(vmenuItemList* l, vmenu* menu) {
  l->owner = menu;
  tellItems(l);
}

// ---- The looks' list operations.
void emptyScheme(vmenu*, vcolorScheme* s) { s->mask = 0; }
void noEnd(vmenu*, vcolorScheme*) {}
void menuColors(vmenu* m, std::uint32_t mask, vcolorScheme* s) {
  if (m && vwindowClassOf(m)->determineColors) vwindowDetermineColors(m, mask, s);
  else vapplicationDetermineColorMask(vapplicationGetCurrent(), mask, s);
}
void motifScheme(vmenu* m, vcolorScheme* s) {
  menuColors(m, vcolorSchemeBit(vcolorSHADOW_TOP) | vcolorSchemeBit(vcolorSHADOW_BOTTOM), s);
  s->mask &= ~vcolorSchemeBit(vcolorBACKGROUND_DEBOSS);
}
void openLookScheme(vmenu* m, vcolorScheme* s) {
  menuColors(m, vcolorSchemeBit(vcolorSHADOW_TOP) | vcolorSchemeBit(vcolorSHADOW_BOTTOM) |
                    vcolorSchemeBit(vcolorBACKGROUND_DEBOSS), s);
}
void flatLower(const vrect* r, vcolorScheme*) {
  int half = r->width / 2;
  vdrawPathMoveTo(r->x + half, r->y);
  vdrawRLineTo(half, r->height);
  vdrawRLineTo(-2 * half, 0);
  vdrawFill(0);
}
void flatUpper(const vrect* r, vcolorScheme*) {
  int half = r->width / 2;
  vdrawPathMoveTo(r->x + half, r->y + r->height);
  vdrawRLineTo(-half, -r->height);
  vdrawRLineTo(2 * half, 0);
  vdrawFill(0);
}
vcolor* debossFill(const vcolorScheme* s) {
  return (s->mask & vcolorSchemeBit(vcolorBACKGROUND_DEBOSS)) ? s->entries[vcolorBACKGROUND_DEBOSS] : nullptr;
}
void raisedLower(const vrect* r, vcolorScheme* s) {
  vlafDrawVertArrow(r->x + r->width / 2, r->y, r->height, r->width / 2, debossFill(s), s->entries[vcolorSHADOW_BOTTOM],
                    s->entries[vcolorSHADOW_TOP]);
}
void raisedUpper(const vrect* r, vcolorScheme* s) {
  vlafDrawVertArrow(r->x + r->width / 2, r->y + r->height, -r->height, -(r->width / 2), debossFill(s),
                    s->entries[vcolorSHADOW_TOP], s->entries[vcolorSHADOW_BOTTOM]);
}
void firstFromDefault(vmenuItemList* l) { setCurrent(l, std::max(0, int(l->defaultIndex)), 1); }
void firstFromTop(vmenuItemList* l) { setCurrent(l, 0, 1); }
void noneCurrent(vmenuItemList* l) { clearHighlight(l); }

const vmenuItemListLook kDefault = {emptyScheme, noEnd, flatLower, flatUpper, firstFromDefault};
const vmenuItemListLook kWindows = {emptyScheme, noEnd, flatLower, flatUpper, firstFromTop};
const vmenuItemListLook kWin95 = {emptyScheme, noEnd, flatLower, flatUpper, noneCurrent};
const vmenuItemListLook kMotif = {motifScheme, noEnd, raisedLower, raisedUpper, firstFromDefault};
const vmenuItemListLook kOpenLook = {openLookScheme, noEnd, raisedLower, raisedUpper, firstFromDefault};

const vmenuItemListLook* lookFor(int id) {
  switch (id) {
    case vlafWINDOWS: return &kWindows;
    case vlafWIN95: return &kWin95;
    case vlafMOTIF: return &kMotif;
    case vlafOPEN_LOOK: return &kOpenLook;
    default: return &kDefault;
  }
}

ListState* state() {
  if (auto* bound = vmoduleState<ListState>(stateSlot)) return bound;
  auto* s = static_cast<ListState*>(vmoduleBindSlot(stateSlot, sizeof(ListState)));
  *s = ListState{};
  s->look = lookFor(vlafGetCurrent()->id);
  vmenuGetDefaultItemClass();
  auto* c = vclassSpawnOf<vmenuItemListClassRec>(vobjectListGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vmenuItemList"));
  c->instanceSize = sizeof(vmenuItemList);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->send = send;
  c->append = append;
  c->removeAt = removeAt;
  c->setAt = setAt;
  c->move = move;
  c->clearHighlight = clearHighlight;
  c->resetScroll = resetScroll;
  c->drawAll = drawAll;
  c->setCurrent = setCurrent;
  c->trackPointer = trackPointer;
  c->openCurrentCascade = openCurrentCascade;
  c->layout = layout;
  c->itemRect = itemRect;
  c->setDefaultItem = setDefaultItem;
  c->setCurrentItem = setCurrentItem;
  c->setOwner = setOwner;
  s->cls = c;
  return s;
}

}  // namespace

vmenuItemListClassRec* vmenuGetDefaultItemListClass() { return state()->cls; }
const vmenuItemListLook* vmenuItemListGetLook() { return state()->look; }
void _vmenuItemListChooseLook() { state()->look = lookFor(vlafGetCurrent()->id); }

void vmenuItemListInit(vmenuItemList* storage) { vinstanceInit(storage, vmenuGetDefaultItemListClass()); }

void vmenuItemListLoadInit(vmenuItemList* storage, vresource resource) {
  vname named;
  if (!vresourceTestGetTag(resource, vname_Class, &named)) {
    storage->cls = vmenuGetDefaultItemListClass();
    vmenuGetDefaultItemListClass()->loadInit(storage, resource);
  } else {
    _vobjectCheckResourceClass(resource, vmenuGetDefaultItemListClass(), sizeof(vmenuItemList));
    vobjectLoadInit(storage, resource);
  }
}

vmenuItem* vmenuItemListGetDefault(const vmenuItemList* l) {
  return l->defaultIndex >= 0 && l->defaultIndex < vmenuItemListCount(l) ? vmenuItemListAt(l, l->defaultIndex)
                                                                         : nullptr;
}
vmenuItem* vmenuItemListGetCurrent(const vmenuItemList* l) {
  return l->currentIndex >= 0 && l->currentIndex < vmenuItemListCount(l) ? vmenuItemListAt(l, l->currentIndex)
                                                                         : nullptr;
}
const vmenuItemGeometry* vmenuItemListGetGeometry(const vmenuItemList* l) {
  return l->geometry ? l->geometry : &kEmptyGeometry;
}
void vmenuItemListSelectFirst(vmenuItemList* l) { state()->look->selectFirst(l); }

void vmenuItemListMoveCurrent(vmenuItemList* l, int delta) {
  int n = vmenuItemListCount(l);
  if (n == 0) return;
  if (l->currentIndex < 0 && vlafGetCurrent()->id != vlafWIN95) {
    vmenuItemListSelectFirst(l);
    return;
  }
  int index = l->currentIndex < 0 ? (delta > 0 ? delta - 1 : n + delta) : l->currentIndex + delta;
  if (index < 0) index = n - 1;
  if (index >= n) index = 0;
  rec(l)->setCurrent(l, index, delta);
}

// Scrolling shows the upper arrow when it was hidden and hides the lower
// one when the last item comes into view, each giving or taking its 14 pixels.
void vmenuItemListScroll(vmenuItemList* l, int items) {
  vmenuItemGeometry* g = l->geometry;
  if (!g || !items) return;
  int first = std::clamp(g->firstVisible + items, 0, std::max(0, g->count - 1));
  if (first == g->firstVisible) return;
  if (items > 0 && !(g->scrollFlags & vmenuScrollUPPER_ARROW)) {
    g->scrollFlags |= vmenuScrollUPPER_ARROW;
    g->visible.height = std::int16_t(g->visible.height - vmenuARROW_HEIGHT);
  }
  if (items < 0 && !(g->scrollFlags & vmenuScrollLOWER_ARROW)) {
    g->scrollFlags |= vmenuScrollLOWER_ARROW;
    g->visible.y = std::int16_t(g->visible.y + vmenuARROW_HEIGHT);
    g->visible.height = std::int16_t(g->visible.height - vmenuARROW_HEIGHT);
  }
  g->firstVisible = std::int16_t(first);
  g->topCut = 0;
  if (first == 0 && (g->scrollFlags & vmenuScrollUPPER_ARROW)) {
    g->scrollFlags &= ~vmenuScrollUPPER_ARROW;
    g->visible.height = std::int16_t(g->visible.height + vmenuARROW_HEIGHT);
  }
  settleVisibleRange(g);
  if (g->endVisible >= g->count && g->bottomCut == 0 && (g->scrollFlags & vmenuScrollLOWER_ARROW)) {
    g->scrollFlags &= ~vmenuScrollLOWER_ARROW;
    g->visible.y = std::int16_t(g->visible.y - vmenuARROW_HEIGHT);
    g->visible.height = std::int16_t(g->visible.height + vmenuARROW_HEIGHT);
    settleVisibleRange(g);
  }
  if (l->currentIndex >= 0) itemRect(l, l->currentIndex, &g->highlight, nullptr);
  if (l->owner) {
    vrect whole = {0, 0, l->owner->rect.width, l->owner->rect.height};
    invalidate(l, &whole);
  }
}

// Fits the items into a height; a taller list gets its lower arrow.
void vmenuItemListFitHeight(vmenuItemList* l, int height) {
  vmenuItemGeometry* g = l->geometry;
  if (!g || g->full.height <= height) return;
  g->visible.height = std::int16_t(height - vmenuARROW_HEIGHT);
  g->visible.y = std::int16_t(g->full.y + vmenuARROW_HEIGHT);
  g->scrollFlags |= vmenuScrollLOWER_ARROW;
  settleVisibleRange(g);
}
