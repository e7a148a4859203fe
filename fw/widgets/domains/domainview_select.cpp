// The domain view's selectors, observer reactions, press and keys.
#include <algorithm>

#include "fw/core/dict.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/domains/domain_internal.h"
#include "fw/widgets/controls/slider.h"
#include "fw/widgets/domains/domainview.h"

vdomainSet* _vdomainviewClipboardPaste(vdomainview* v, std::int32_t dx, std::int32_t dy);
void _vdomainviewClipboardCopy(vdomainview* v, vdomainSet* set);

namespace {

vdomainview* asView(void* o) { return static_cast<vdomainview*>(o); }
vdomainviewClassRec* rec(const vdomainview* v) { return vdomainviewClassOf(v); }
vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }

struct Option {
  const char* name;
  int a, b;
};
// The arranging selectors' options: restack how, or the align pair.
const Option kMove[] = {{"Front", 2, 0}, {"Forward", 4, 0}, {"Back", 1, 0}, {"Backward", 3, 0}};
const Option kAlign[] = {{"Left", 1, 0},   {"Right", 3, 0},      {"Top", 0, 2},
                         {"Bottom", 0, 4}, {"Horizontal", 5, 0}, {"Vertical", 0, 5}};

const Option* findOption(vdict* context, const Option* table, std::size_t n) {
  if (!context) return nullptr;
  auto value = static_cast<vname>(vdictGet(context, vnameInternLiteral("Option")));
  if (!value) return nullptr;
  for (std::size_t i = 0; i < n; ++i)
    if (value == vnameInternLiteral(table[i].name)) return &table[i];
  return nullptr;
}

bool optionIs(vdict* context, const char* name) {
  return context && vdictGet(context, vnameInternLiteral("Option")) == vnameInternLiteral(name);
}

// Scrolls so that the rectangle, grown by the domain's virtual buffer, shows.
void display(vdomainview* v, const vrectLong& r) {
  vdomain* d = v->domain;
  std::int32_t x0 = r.x - d->bufferX - v->bounds.x, x1 = r.x + r.width + d->bufferX - v->bounds.x;
  std::int32_t y0 = r.y - d->bufferY - v->bounds.y, y1 = r.y + r.height + d->bufferY - v->bounds.y;
  std::int32_t x = v->offset.x, y = v->offset.y;
  if (x1 > x + v->area.width) x = x1 - v->area.width;
  if (x0 < x) x = x0;
  if (y1 > y + v->area.height) y = y1 - v->area.height;
  if (y0 < y) y = y0;
  rec(v)->scroll(v, x, y, vdomainviewABSOLUTE);
}

int handleDomain(vdomainview* v, int selector, vdict* context) {
  vdomain* d = v->domain;
  vdomainClassRec* c = vdomainClassOf(d);
  if (v->slot < 0) return selector == 22 ? 0 : 1;  // no selection of its own: nothing to act on
  vdomainSet* selected = vdomainviewSelectedSet(v);
  int handled = 1;
  switch (selector) {
    case 21:
      _vdomainviewClipboardCopy(v, selected);
      c->removeObjects(d, selected);
      break;
    case 22:
      _vdomainviewClipboardCopy(v, selected);
      handled = 0;
      break;
    case 24:
      c->removeObjects(d, selected);
      break;
    case 23:
      vdomainDestroySet(_vdomainviewClipboardPaste(v, 0, 0));
      break;
    case 30:
      _vdomainNeedShort(d);
      _vdomainviewClipboardCopy(v, selected);
      vdomainDestroySet(_vdomainviewClipboardPaste(v, 20, 20));
      break;
    case 29:
      if (v->viewAttributes & vdomainviewSINGLE_SELECTION) handled = 0;
      else c->selectAll(d, v->slot, 1);
      break;
    case 31:
      if (selected->count) display(v, selected->objects[0]->rect);
      break;
    case 32:
      if (!optionIs(context, "Top")) handled = 0;
      else if (d->first) {
        vdomainSet* one = vdomainCreateSetOf(&d->first, 1);
        c->selectObjects(d, v->slot, one);
        vdomainDestroySet(one);
      }
      break;
    case 33:
      if (const Option* o = findOption(context, kMove, std::size(kMove))) c->restackObjects(d, selected, o->a);
      break;
    case 34:
      if (const Option* o = findOption(context, kAlign, std::size(kAlign))) c->alignObjects(d, selected, 1, o->a, o->b);
      break;
    case 35:
      if (const Option* o = findOption(context, kAlign, std::size(kAlign))) c->distributeObjects(d, selected, o->a, o->b);
      break;
    default:
      vdomainDestroySet(selected);
      return super()->issueSelector(v, selector, context);
  }
  vdomainDestroySet(selected);
  return handled;
}

// --- observer reactions ----------------------------------------------------------------

vdomainview* viewOf(void* receiver) {
  auto* o = static_cast<vobject*>(receiver);
  if (vclassIsSubclass(o->cls, vdomainviewObserverGetDefaultClass()))
    return asView(static_cast<vdomainObserver*>(o)->owner);
  return asView(receiver);
}

bool overlapsVisible(vdomainview* v, vdomainObject* o) {
  const vrectLong &a = o->rect, &b = v->visible;
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

void invalObject(vdomainview* v, vdomainObject* o) {
  vrect r;
  vdomainviewDomainRectToView(v, &o->rect, &r);
  int grow = rec(v)->frameWidth;  // the highlight reaches a little outside
  r = {std::int16_t(r.x - grow), std::int16_t(r.y - grow), std::int16_t(r.width + 2 * grow),
       std::int16_t(r.height + 2 * grow)};
  vrect inside;
  vrectIntersect(&r, &v->area, &inside);
  if (inside.width > 0 && inside.height > 0) vdialogItemClassOf(v)->invalRect(v, &inside, 0);
}

void leave(vdomainview* v, vdomainObject* o) {
  vdomainSet* s = v->visibleSet;
  for (std::int32_t i = 0; i < s->count; ++i)
    if (s->objects[i] == o) return vdomainSetRemoveAt(s, i);
}

void join(vdomainview* v, vdomainObject* o) {
  if (o->flags & vdomainHIDDEN || !overlapsVisible(v, o)) return;
  vdomainSet* s = v->visibleSet;
  for (std::int32_t i = 0; i < s->count; ++i)
    if (s->objects[i] == o) return;
  vdomainSetAppend(&v->visibleSet, o);
}

void removed(void* receiver, vdomainSet* set) {
  vdomainview* v = viewOf(receiver);
  for (std::int32_t i = 0; i < set->count; ++i) {
    invalObject(v, set->objects[i]);
    leave(v, set->objects[i]);
  }
}

void boundsChangedLong(void* receiver, const vrectLong* old) {
  vdomainview* v = viewOf(receiver);
  vrectLong before = v->bounds;
  v->bounds = v->domain->bounds;
  if ((v->domain->flags & vdomainVIRTUAL_BOUNDS) && (before.x != v->bounds.x || before.y != v->bounds.y)) {
    v->offset.x += before.x - v->bounds.x;
    v->offset.y += before.y - v->bounds.y;
  }
  v->dirty = 1;
  rec(v)->scroll(v, v->offset.x, v->offset.y, vdomainviewABSOLUTE);
  vdialogInvalItem(v, 0);
  vrectLong kept = *old;
  rec(v)->boundsChanged(v, &kept);
}

void boundsChanged(void* receiver, const vrect* old) {
  vrectLong wide = _vdomainWiden(*old);
  boundsChangedLong(receiver, &wide);
}

void moving(vdomainview* v, vdomainSet* set, int before, vdomainviewHook hookOf) {
  if (before) hookOf(v, set);
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (o->flags & vdomainHIDDEN) continue;
    invalObject(v, o);
    if (before) leave(v, o);
    else join(v, o);
  }
}

void movingLong(void* receiver, vdomainSet* set, vpointLong, int, int before) {
  vdomainview* v = viewOf(receiver);
  moving(v, set, before, rec(v)->objectsMoving);
}
void movingShort(void* receiver, vdomainSet* set, vpoint, int, int before) {
  vdomainview* v = viewOf(receiver);
  moving(v, set, before, rec(v)->objectsMoving);
}
void resizing(void* receiver, vdomainSet* set, int before) {
  vdomainview* v = viewOf(receiver);
  moving(v, set, before, rec(v)->objectsResizing);
}

void showState(void* receiver, vdomainSet* set, int hidden) {
  vdomainview* v = viewOf(receiver);
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    invalObject(v, o);
    if (hidden) leave(v, o);
    else join(v, o);
  }
}

void restacked(void* receiver, vdomainObject* o, vdomainObject*) {
  vdomainview* v = viewOf(receiver);
  if (!(o->flags & vdomainHIDDEN)) invalObject(v, o);
}

void notifyValue(void* receiver, std::intptr_t value) {
  if (value != 10) return;
  vdomainview* v = viewOf(receiver);
  v->dirty = 1;
  vdialogSetItemRect(v, &v->rect);
}

void selection(void* receiver, vdomainSet* set, int slot, int) {
  vdomainview* v = viewOf(receiver);
  if (slot != v->slot) return;
  v->showingSelection = 1;
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (o->flags & vdomainSELECTION_HOOK) rec(v)->selectionShown(v, o);
    if (!(o->flags & vdomainHIDDEN)) v->selectionPainter(v, o);
  }
  v->showingSelection = 0;
}

void destroyed(void* receiver) {
  vdomainview* v = viewOf(receiver);
  vdomainviewSetDomain(v, nullptr);
}

}  // namespace

void _vdomainviewInstallObserver(vdomainObserverClassRec* c) {
  c->objectsRemoved = removed;
  c->boundsChanged = boundsChanged;
  c->boundsChangedLong = boundsChangedLong;
  c->objectsMoving = movingShort;
  c->objectsMovingLong = movingLong;
  c->objectsResizing = resizing;
  c->showStateChanged = showState;
  c->restacked = restacked;
  c->notifyValue = notifyValue;
  c->selectionChanged = selection;
  c->destroyed = destroyed;
}

namespace {

bool barFocused(const vdomainview* v) { return v->focus && v->focus != v && (v->focus == v->hbar || v->focus == v->vbar); }

// The focus goes round the view, its vertical bar and its horizontal bar.
void moveFocus(vdomainview* v, vdict* context) {
  int direction = 1;
  if (context && vdictHas(context, vname_Direction))
    direction = int(reinterpret_cast<std::intptr_t>(vdictGet(context, vname_Direction)));
  vdialogItem* parts[3];
  int n = 0, at = 0;
  for (vdialogItem* p : {static_cast<vdialogItem*>(v), static_cast<vdialogItem*>(v->vbar),
                         static_cast<vdialogItem*>(v->hbar)})
    if (p) {
      if (p == v->focus) at = n;
      parts[n++] = p;
    }
  vdialogItem* next = parts[(at + (direction < 0 ? n - 1 : 1)) % n];
  if (next == v->focus) return;
  if (barFocused(v)) {
    v->focus->flags &= static_cast<std::uint16_t>(~vdialogItemFOCUSED);
    vdialogInvalItem(v->focus, 0);
  }
  v->focus = next;
  if (barFocused(v)) {
    next->flags |= vdialogItemFOCUSED;
    vdialogInvalItem(next, 0);
  }
  vdialogInvalItem(v, 0);
}

}  // namespace

vdialogItem* _vdomainviewFocusedBar(vdomainview* v) { return barFocused(v) ? v->focus : nullptr; }

int _vdomainviewIssueSelector(vobject* self, int selector, vdict* context) {
  vdomainview* v = asView(self);
  int height = v->area.height;
  if (vdomainviewOrientation(v) == 1) height = -height;
  // A focused scroll bar sees the selector first.
  if (barFocused(v) && selector != 4) {
    vdict* own = context ? nullptr : vdictCreate(vdictHashName);  // the bar reads its context
    int handled = vobjectAttributedOf(v->focus)->issueSelector(v->focus, selector, context ? context : own);
    if (own) vdictDestroy(own);
    if (handled) return 1;
  }
  switch (selector) {
    case 4:
      moveFocus(v, context);
      return 1;
    case 10: case 11: case 12: case 13:
      return 1;
    case 14:
      rec(v)->scroll(v, -v->area.width, 0, vdomainviewX_RELATIVE | vdomainviewY_RELATIVE);
      return 1;
    case 15:
      rec(v)->scroll(v, v->area.width, 0, vdomainviewX_RELATIVE | vdomainviewY_RELATIVE);
      return 1;
    case 16:  // y grows upward unless the domain turns it
      rec(v)->scroll(v, 0, height, vdomainviewX_RELATIVE | vdomainviewY_RELATIVE);
      return 1;
    case 17:
      rec(v)->scroll(v, 0, -height, vdomainviewX_RELATIVE | vdomainviewY_RELATIVE);
      return 1;
    default:
      break;
  }
  if (!v->domain) return super()->issueSelector(self, selector, context);
  return handleDomain(v, selector, context);
}

int _vdomainviewKeyDown(vdialogItem* item, vevent* event) {
  vdomainview* v = asView(item);
  if (super()->keyDown(item, event)) return 1;
  if (barFocused(v) && vdialogItemClassOf(v->focus)->keyDown(v->focus, event)) return 1;
  if (v->viewAttributes & vdomainviewTRACKING) return 0;
  int ch = veventGetCharacter(event);
  std::uint32_t mods = veventGetModifiers(event);
  bool plain = ch != 0 && !(mods & veventMOD_CONTROL);
  if (plain || ch > 31) return rec(v)->character(v, event);
  return 0;
}
