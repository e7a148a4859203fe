// The spring domain class: spring parts of objects, handles and their
// connections, the replaced domain operations, the spring move, and the
// announcements to spring observers.
#include <algorithm>
#include <cmath>
#include <vector>

#include "fw/core/mem.h"
#include "fw/widgets/domains/domain_internal.h"
#include "fw/widgets/domains/springdom_internal.h"

namespace {

vdomainClassRec* base() { return vdomainGetDefaultClass(); }
vspringdom* asDom(vinstance* o) { return static_cast<vspringdom*>(o); }
vspringdom* asDom(vdomain* o) { return static_cast<vspringdom*>(o); }
vspringdomClassRec* rec(const vspringdom* d) { return vspringdomClassOf(d); }

void initPart(vspringdomPart* p, vdomainObject* o) {
  *p = vspringdomPart{};
  for (int i = 0; i < 8; ++i) {
    p->handles[i].flags = static_cast<std::uint16_t>(i);
    p->handles[i].object = o;
  }
}

void unpoint(vspringdomHandle* h) {
  vspringdomHandle* t = h->connection;
  if (!t) return;
  for (vspringdomHandle** p = &t->pointers; *p; p = &(*p)->nextPointer)
    if (*p == h) {
      *p = h->nextPointer;
      break;
    }
  h->nextPointer = nullptr;
  h->connection = nullptr;
}

void point(vspringdomHandle* h, vspringdomHandle* t) {
  h->connection = t;
  h->nextPointer = t->pointers;
  t->pointers = h;
}

// Drops every link into and out of a part.
void detachPart(vspringdomPart* p) {
  for (vspringdomHandle& h : p->handles) {
    unpoint(&h);
    while (h.pointers) unpoint(h.pointers);
  }
}

std::int32_t defaultIndex(vspringdom* d, vdomainObject* o) {
  if (!o) return -1;
  if (d->flags & vspringdomSTALE) {
    std::int32_t i = 0;
    for (vdomainObject* p = d->first; p; p = p->next) p->index = i++;
    d->flags &= ~static_cast<std::uint32_t>(vspringdomSTALE);
  }
  return o->index;
}

// ---- the arranger: the domain is the context

void* arrangerItem(void* context, int index) {
  vdomainObject* o = static_cast<vspringdom*>(context)->first;
  for (int i = 0; o && i < index; ++i) o = o->next;
  return o;
}
void arrangerApply(void* context, void* object, const vrect* r) {
  auto* d = static_cast<vspringdom*>(context);
  auto* o = static_cast<vdomainObject*>(object);
  vrect now = _vdomainNarrow(o->rect);
  if (vrectEqual(&now, r)) return;
  std::int32_t w = r->width, h = r->height;
  d->arranger->constrainSize(context, object, &w, &h);
  vrect to{r->x, r->y, static_cast<std::int16_t>(w), static_cast<std::int16_t>(h)};
  vdomainSet* s = vdomainCreateSetOf(&o, 1);
  base()->setRects(d, s, &to);  // the plain form: a solve must not move connections
  vdomainDestroySet(s);
}
void arrangerRect(void*, void* object, vrect* out) { *out = _vdomainNarrow(static_cast<vdomainObject*>(object)->rect); }
void arrangerNatural(void*, void* object, std::int32_t* w, std::int32_t* h) {
  auto* o = static_cast<vdomainObject*>(object);
  *w = o->rect.width;
  *h = o->rect.height;
}

// ---- the class

void springInit(vinstance* self) {
  base()->init(self);
  vspringdom* d = asDom(self);
  d->horizontalKind = 0;
  d->verticalKind = vspringdomVERTICAL;
  d->container = d->requested = vrect{0, 0, 0, 0};
  d->indexOf = defaultIndex;
  d->arranger = vspringdomGetArrangerClass();
  d->solution = nullptr;
  d->flags = vspringdomSTALE | vspringdomARRANGE | vspringdomREFRESH_SIZES | vspringdomGROW;
  initPart(&d->box, nullptr);
  d->lastOldTarget = nullptr;
}

void freeParts(vspringdom* d) {
  detachPart(&d->box);
  for (vdomainObject* o = d->first; o; o = o->next)
    if (o->part) detachPart(static_cast<vspringdomPart*>(o->part));
  for (vdomainObject* o = d->first; o; o = o->next) {
    vmemFree(o->part);
    o->part = nullptr;
  }
}

void springDestroy(vinstance* self) {
  vspringdom* d = asDom(self);
  freeParts(d);
  if (d->solution) vinstanceDestroy(d->solution);
  d->solution = nullptr;
  base()->destroy(self);
}

void springCopy(vobject* source, vobject* destination) {
  if (source == destination) return;
  vspringdom* from = asDom(static_cast<vinstance*>(source));
  vspringdom* to = asDom(static_cast<vinstance*>(destination));
  freeParts(to);
  base()->copy(source, destination);
  to->container = from->container;
  to->requested = from->requested;
  to->flags = from->flags | vspringdomSTALE | vspringdomPENDING;
  // The copies keep the order: link the handles at the same positions.
  std::vector<vdomainObject*> a, b;
  for (vdomainObject* o = from->first; o; o = o->next) a.push_back(o);
  for (vdomainObject* o = to->first; o; o = o->next) b.push_back(o);
  auto match = [&](vdomainObject* o) -> vdomainObject* {
    if (!o) return nullptr;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (a[i] == o) return b[i];
    return nullptr;
  };
  auto copyPart = [&](vspringdomPart* src, vspringdomPart* dst) {
    for (int s = 0; s < 8; ++s) {
      const vspringdomHandle& h = src->handles[s];
      vspringdomHandle& g = dst->handles[s];
      g.length = h.length;
      g.flags = h.flags;
      if (!h.connection) continue;
      vdomainObject* target = match(h.connection->object);
      if (h.connection->object && !target) continue;
      point(&g, vspringdomGetHandle(to, target, vspringdomHandleSide(h.connection)));
    }
  };
  copyPart(&from->box, &to->box);
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
    copyPart(static_cast<vspringdomPart*>(a[i]->part), static_cast<vspringdomPart*>(b[i]->part));
  vspringdomSolve(to);
}

void springCopyInit(vobject* source, vobject* destination) {
  springInit(destination);
  springCopy(source, destination);
}

void scheduleSolve(vspringdom* d, bool clear) {
  d->flags |= vspringdomPENDING;
  if (clear && d->solution) {
    vspringSolutionClear(d->solution);
    vspringSolutionKeepCompiled(d->solution, 0);
  }
}

void addObject(vdomain* dom, vdomainObject* o) {
  vspringdom* d = asDom(dom);
  base()->addObject(d, o);
  auto* p = static_cast<vspringdomPart*>(vmemAlloc(sizeof(vspringdomPart)));
  initPart(p, o);
  o->part = p;
  o->index = -1;
  d->flags |= vspringdomSTALE;
  scheduleSolve(d, true);
}

void copyAttributes(vdomain* dom, const vdomainObject* from, vdomainObject* to) {
  base()->copyObjectAttributes(dom, from, to);
  asDom(dom)->flags |= vspringdomSTALE;
  scheduleSolve(asDom(dom), false);
  vspringdomSolve(asDom(dom));
}
void copyObject(vdomain* dom, const vdomainObject* from, vdomainObject* to) {
  base()->copyObject(dom, from, to);
  asDom(dom)->flags |= vspringdomSTALE;
  scheduleSolve(asDom(dom), false);
  vspringdomSolve(asDom(dom));
}

bool isVertical(const vspringdomHandle* h) { return (h->flags & vspringdomVERTICAL) != 0; }
bool isSecond(const vspringdomHandle* h) { return (h->flags & vspringdomSECOND_END) != 0; }

// Points a handle that pointed at a leaving edge at the container instead,
// at the length that keeps its own edge where it is.
void reanchor(vspringdom* d, vspringdomHandle* p) {
  bool v = isVertical(p);
  std::int32_t origin = v ? d->container.y : d->container.x;
  std::int32_t size = v ? d->container.height : d->container.width;
  std::int32_t pos = vspringdomHandlePosition(d, p);
  if (!isSecond(p)) {
    vspringdomConnect(d, p, &d->box.handles[v ? 5 : 1], 1);
    vspringdomSetLength(d, p, pos - origin, 1);
  } else {
    vspringdomConnect(d, p, &d->box.handles[v ? 6 : 2], 1);
    vspringdomSetLength(d, p, origin + size - pos, 1);
  }
}

void removeObjects(vdomain* dom, vdomainSet* set) {
  vspringdom* d = asDom(dom);
  if (!set || set->count < 1) return;
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o || !o->part) continue;
    auto* p = static_cast<vspringdomPart*>(o->part);
    for (vspringdomHandle& h : p->handles) unpoint(&h);
    for (vspringdomHandle& h : p->handles)
      while (h.pointers) reanchor(d, h.pointers);
    vmemFree(p);
    o->part = nullptr;
    d->flags |= vspringdomSTALE;
  }
  scheduleSolve(d, true);
  base()->removeObjects(d, set);
  vspringdomSolve(d);
}

// ---- the spring move

void markMoving(vspringdomPart* p, std::int32_t dx, std::int32_t dy, std::int32_t dw, std::int32_t dh, bool on) {
  const std::int32_t deltas[4] = {dx, dx + dw, dy, dy + dh};
  for (int e = 0; e < 4; ++e) {
    p->moving[e] = on;
    p->delta[e] = on ? deltas[e] : 0;
  }
}

vspringdomPart* partOfHandle(vspringdomHandle* h) {
  return reinterpret_cast<vspringdomPart*>(h - vspringdomHandleSide(h));
}

void push(vspringdom* d, vspringdomPart* p, int edge, std::int32_t delta) {
  for (int end = 0; end < 2; ++end) {
    vspringdomHandle* h = &p->handles[edge * 2 + end];
    vspringdomHandle* t = h->connection;
    if (!t || (h->flags & (vspringdomSPRING | vspringdomATTRIBUTE))) continue;
    vspringdomPart* tp = partOfHandle(t);
    int te = vspringdomHandleSide(t) >> 1;
    std::int32_t other = tp->moving[te] ? tp->delta[te] : 0;
    std::int32_t change = end ? other - delta : delta - other;
    if (change) vspringdomSetLength(d, h, h->length + change, !tp->moving[te]);
  }
}

void springMove(vspringdom* d, vdomainSet* set, std::int32_t dx, std::int32_t dy, std::int32_t dw, std::int32_t dh) {
  if (!set || set->count < 1 || (!dx && !dy && !dw && !dh)) return;
  for (std::int32_t i = 0; i < set->count; ++i)
    if (vdomainObject* o = set->objects[i]; o && o->part) markMoving(static_cast<vspringdomPart*>(o->part), dx, dy, dw, dh, true);
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o || !o->part) continue;
    auto* p = static_cast<vspringdomPart*>(o->part);
    push(d, p, 0, dx);
    push(d, p, 2, dy);
    push(d, p, 1, dx + dw);
    push(d, p, 3, dy + dh);
  }
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o) {
      d->requested.x = static_cast<std::int16_t>(d->requested.x + dx);
      d->requested.y = static_cast<std::int16_t>(d->requested.y + dy);
      d->requested.width = static_cast<std::int16_t>(d->requested.width + dw);
      d->requested.height = static_cast<std::int16_t>(d->requested.height + dh);
      continue;
    }
    std::int32_t w = o->rect.width + dw, h = o->rect.height + dh;
    d->arranger->constrainSize(d, o, &w, &h);
    vrect r{static_cast<std::int16_t>(o->rect.x + dx), static_cast<std::int16_t>(o->rect.y + dy),
            static_cast<std::int16_t>(w), static_cast<std::int16_t>(h)};
    vdomainSet* one = vdomainCreateSetOf(&o, 1);
    base()->setRects(d, one, &r);
    vdomainDestroySet(one);
    if (d->solution) d->solution->flags |= vspringNEED_RECTS;
  }
  for (std::int32_t i = 0; i < set->count; ++i)
    if (vdomainObject* o = set->objects[i]; o && o->part) markMoving(static_cast<vspringdomPart*>(o->part), 0, 0, 0, 0, false);
  scheduleSolve(d, false);
}

template <class Delta>
void moveEach(vspringdom* d, vdomainSet* set, Delta delta) {
  for (std::int32_t i = 0; set && i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o) continue;
    std::int32_t v[4];
    delta(o, v);
    vdomainSet* one = vdomainCreateSetOf(&o, 1);
    springMove(d, one, v[0], v[1], v[2], v[3]);
    vdomainDestroySet(one);
  }
  vspringdomSolve(d);
}

void moveObjects(vdomain* dom, vdomainSet* set, std::int32_t x, std::int32_t y, int mode) {
  vspringdom* d = asDom(dom);
  if (mode == vdomainMOVE_OFFSET) {
    springMove(d, set, x, y, 0, 0);
    return vspringdomSolve(d);
  }
  moveEach(d, set, [&](vdomainObject* o, std::int32_t* v) { v[0] = x - o->rect.x, v[1] = y - o->rect.y, v[2] = v[3] = 0; });
}

void scaleObjects(vdomain* dom, vdomainSet* set, double xf, double yf) {
  moveEach(asDom(dom), set, [&](vdomainObject* o, std::int32_t* v) {
    v[0] = v[1] = 0;
    v[2] = static_cast<std::int32_t>(std::trunc((xf - 1.0) * o->rect.width + 0.5));
    v[3] = static_cast<std::int32_t>(std::trunc((yf - 1.0) * o->rect.height + 0.5));
  });
}

void resizeObjects(vdomain* dom, vdomainSet* set, std::int32_t w, std::int32_t h) {
  moveEach(asDom(dom), set, [&](vdomainObject* o, std::int32_t* v) {
    v[0] = v[1] = 0, v[2] = w - o->rect.width, v[3] = h - o->rect.height;
  });
}

void setRects(vdomain* dom, vdomainSet* set, const vrect* r) {
  _vdomainNeedShort(dom);
  moveEach(asDom(dom), set, [&](vdomainObject* o, std::int32_t* v) {
    v[0] = r->x - o->rect.x, v[1] = r->y - o->rect.y, v[2] = r->width - o->rect.width, v[3] = r->height - o->rect.height;
  });
}
void setRectsLong(vdomain* dom, vdomainSet* set, const vrectLong* r) {
  _vdomainNeedLong(dom);
  vrect s = _vdomainNarrow(*r);
  setRects(dom, set, &s);
}

void refreshAfterRestack(vspringdom* d) {
  if (d->solution) d->solution->flags |= vspringNEED_OBJECTS | vspringNEED_RECTS | vspringNEED_MIN_SIZES | vspringNEED_NATURAL_SIZES;
  d->flags |= vspringdomSTALE | vspringdomPENDING;
}
void restackObjects(vdomain* dom, vdomainSet* set, int how) {
  if (!set || set->count < 1) return;
  base()->restackObjects(dom, set, how);
  refreshAfterRestack(asDom(dom));
}
void restackObject(vdomain* dom, vdomainObject* o, vdomainObject* reference, int after) {
  if (o == reference) return;
  base()->restackObject(dom, o, reference, after);
  refreshAfterRestack(asDom(dom));
}
void hideObjects(vdomain* dom, vdomainSet* set) {
  if (set && set->count > 0) base()->hideObjects(dom, set);
}
void showObjects(vdomain* dom, vdomainSet* set) {
  if (set && set->count > 0) base()->showObjects(dom, set);
}

void setContainer(vspringdom* d, const vrect* r) {
  vdomainObject* none = nullptr;
  vdomainSet* s = vdomainCreateSetOf(&none, 1);
  springMove(d, s, r->x - d->container.x, r->y - d->container.y, r->width - d->container.width,
             r->height - d->container.height);
  vdomainDestroySet(s);
  vspringdomSolve(d);
}

// Announcements go to spring observers only, in installation order.
template <class Call>
void announce(vspringdom* d, Call call) {
  vclass* spring = vspringdomGetObserverClass();
  for (std::uint16_t i = 0; i < d->observerCount; ++i) {
    vdomainObserver* o = d->observers[i];
    if (!o || (o->flags & vdomainObserverMUTED) || !vclassIsSubclass(o->cls, spring)) continue;
    call(vclassRec<vspringdomObserverClassRec>(o), o->forward ? o->owner : static_cast<void*>(o));
  }
}

using ORec = vspringdomObserverClassRec;
void installAnnouncements(vspringdomClassRec* c) {
  c->setContainerRect = setContainer;
  c->solved = [](vspringdom* d) { announce(d, [&](ORec* r, void* to) { r->solved(to); }); };
  c->containerChanged = [](vspringdom* d, const vrect* old) {
    announce(d, [&](ORec* r, void* to) { r->containerChanged(to, old); });
  };
  c->connectionChanged = [](vspringdom* d, vdomainObject* o, int side, vdomainObject* old) {
    announce(d, [&](ORec* r, void* to) { r->connectionChanged(to, o, side, old); });
  };
  c->lengthChanged = [](vspringdom* d, vdomainObject* o, int side, std::int32_t old) {
    announce(d, [&](ORec* r, void* to) { r->lengthChanged(to, o, side, old); });
  };
  c->attributeChanged = [](vspringdom* d, vdomainObject* o, int side, int old) {
    announce(d, [&](ORec* r, void* to) { r->attributeChanged(to, o, side, old); });
  };
  c->springChanged = [](vspringdom* d, vdomainObject* o, int side, int old) {
    announce(d, [&](ORec* r, void* to) { r->springChanged(to, o, side, old); });
  };
  c->computedChanged = [](vspringdom* d, vdomainObject* o, int side, int old) {
    announce(d, [&](ORec* r, void* to) { r->computedChanged(to, o, side, old); });
  };
  c->validityChanged = [](vspringdom* d, vdomainObject* o, int side, int valid) {
    announce(d, [&](ORec* r, void* to) { r->validityChanged(to, o, side, valid); });
  };
}

struct Module {
  vspringdomClassRec* dom;
  vspringdomObserverClassRec* observer;
  vspringArrangerClassRec* arranger;
  vname connections;
};
void** moduleSlot = nullptr;

Module& module() {
  if (!*vmoduleSlot(moduleSlot)) {
    auto* m = static_cast<Module*>(vmoduleBindSlot(moduleSlot, sizeof(Module)));
    auto* a = vclassSpawnOf<vspringArrangerClassRec>(vspringGetArrangerClass());
    vclassSetName(a, vscribeLiteral("vspringdomArranger"));
    a->itemObject = arrangerItem;
    a->applyRect = arrangerApply;
    a->rect = arrangerRect;
    a->naturalSize = arrangerNatural;
    m->arranger = a;
    m->connections = vnameInternLiteral("Connections");
    auto* o = vclassSpawnOf<ORec>(vdomainObserverGetDefaultClass());
    vclassSetName(o, vscribeLiteral("vspringdomObserver"));
    o->setContainerRect = [](void*, const vrect*) {};
    o->solved = [](void*) {};
    o->containerChanged = [](void*, const vrect*) {};
    o->connectionChanged = [](void*, vdomainObject*, int, vdomainObject*) {};
    o->lengthChanged = [](void*, vdomainObject*, int, std::int32_t) {};
    o->attributeChanged = [](void*, vdomainObject*, int, int) {};
    o->springChanged = [](void*, vdomainObject*, int, int) {};
    o->computedChanged = [](void*, vdomainObject*, int, int) {};
    o->validityChanged = [](void*, vdomainObject*, int, int) {};
    m->observer = o;
    auto* c = vclassSpawnOf<vspringdomClassRec>(vdomainGetDefaultClass());
    vclassSetName(c, vscribeLiteral("vspringdom"));
    c->instanceSize = sizeof(vspringdom);
    c->init = springInit;
    c->destroy = springDestroy;
    c->copy = springCopy;
    c->copyInit = springCopyInit;
    _vspringdomInstallResource(c);
    c->addObject = addObject;
    c->copyObjectAttributes = copyAttributes;
    c->copyObject = copyObject;
    c->removeObjects = removeObjects;
    c->moveObjects = moveObjects;
    c->scaleObjects = scaleObjects;
    c->resizeObjects = resizeObjects;
    c->restackObjects = restackObjects;
    c->restackObject = restackObject;
    c->hideObjects = hideObjects;
    c->showObjects = showObjects;
    c->setRects = setRects;
    c->setRectsLong = setRectsLong;
    installAnnouncements(c);
    m->dom = c;
  }
  return *static_cast<Module*>(*moduleSlot);
}

template <class Get, class Set, class Announce>
void setValue(vspringdom* d, vspringdomHandle* h, std::int32_t value, int propagate, Get get, Set set, Announce tell,
              bool negateSameEnd) {
  if (!d || !h) _vexGenerate(&vexArgNullClass, vexEnd);
  std::int32_t old = get(h);
  if (old != value) {
    set(h, value);
    tell(h, old);
    scheduleSolve(d, false);
  }
  if (!propagate) return;
  vspringdomHandle* m = h->connection;
  if (!m || m->connection != h) return;
  bool same = isSecond(h) == isSecond(m);
  setValue(d, m, negateSameEnd && same ? -value : value, 0, get, set, tell, negateSameEnd);
}

void setFlag(vspringdom* d, vspringdomHandle* h, std::uint16_t bit, int on, int propagate,
             void (*vspringdomClassRec::*slot)(vspringdom*, vdomainObject*, int, int)) {
  setValue(
      d, h, on ? 1 : 0, propagate, [&](vspringdomHandle* x) { return (x->flags & bit) ? 1 : 0; },
      [&](vspringdomHandle* x, std::int32_t v) {
        x->flags = static_cast<std::uint16_t>(v ? x->flags | bit : x->flags & ~bit);
      },
      [&](vspringdomHandle* x, std::int32_t old) { (rec(d)->*slot)(d, x->object, vspringdomHandleSide(x), old); },
      false);
}

}  // namespace

vspringdomClassRec* vspringdomGetDefaultClass() { return module().dom; }
vspringdomObserverClassRec* vspringdomGetObserverClass() { return module().observer; }
vspringArrangerClassRec* vspringdomGetArrangerClass() { return module().arranger; }
vname _vspringdomConnectionsTag() { return module().connections; }
vspringdom* vspringdomCreate() { return asDom(vinstanceCreate(vspringdomGetDefaultClass())); }

vspringdomHandle* vspringdomGetHandle(vspringdom* d, vdomainObject* o, int side) {
  vspringdomPart* p = o ? static_cast<vspringdomPart*>(o->part) : &d->box;
  return p ? &p->handles[side & 7] : nullptr;
}
int vspringdomHandleSide(const vspringdomHandle* h) { return h->flags & vspringdomSIDE; }

std::int32_t vspringdomHandlePosition(const vspringdom* d, const vspringdomHandle* h) {
  vrectLong r = h->object ? h->object->rect : _vdomainWiden(d->container);
  switch (vspringdomHandleSide(h) >> 1) {
    case 0: return r.x;
    case 1: return r.x + r.width;
    case 2: return r.y;
    default: return r.y + r.height;
  }
}

void vspringdomConnect(vspringdom* d, vspringdomHandle* h, vspringdomHandle* target, int propagate) {
  if (!d || !h) _vexGenerate(&vexArgNullClass, vexEnd);
  if (h->connection == target) return;  // an undo or a load connecting again must not fail
  if (target && isVertical(target) != isVertical(h))
    vexGenerateMessage(&vexArgClass, "vspringdomConnect -- handles on different axes");
  vspringdomHandle* old = h->connection;
  unpoint(h);
  if (target) point(h, target);
  if (propagate && target && target->connection == h) {
    bool same = isSecond(h) == isSecond(target);
    vspringdomSetSpring(d, target, (h->flags & vspringdomSPRING) != 0, 0);
    vspringdomSetComputed(d, target, (h->flags & vspringdomCOMPUTED) != 0, 0);
    vspringdomSetAttribute(d, target, (h->flags & vspringdomATTRIBUTE) != 0, 0);
    vspringdomSetLength(d, target, same ? -h->length : h->length, 0);
  }
  scheduleSolve(d, true);
  d->lastOldTarget = old;
  rec(d)->connectionChanged(d, h->object, vspringdomHandleSide(h), old ? old->object : nullptr);
}

void vspringdomSetLength(vspringdom* d, vspringdomHandle* h, std::int32_t length, int propagate) {
  setValue(
      d, h, length, propagate, [](vspringdomHandle* x) { return x->length; },
      [](vspringdomHandle* x, std::int32_t v) { x->length = v; },
      [&](vspringdomHandle* x, std::int32_t old) { rec(d)->lengthChanged(d, x->object, vspringdomHandleSide(x), old); },
      true);
}
void vspringdomSetSpring(vspringdom* d, vspringdomHandle* h, int on, int propagate) {
  setFlag(d, h, vspringdomSPRING, on, propagate, &vspringdomClassRec::springChanged);
}
void vspringdomSetComputed(vspringdom* d, vspringdomHandle* h, int on, int propagate) {
  setFlag(d, h, vspringdomCOMPUTED, on, propagate, &vspringdomClassRec::computedChanged);
}
void vspringdomSetAttribute(vspringdom* d, vspringdomHandle* h, int on, int propagate) {
  setFlag(d, h, vspringdomATTRIBUTE, on, propagate, &vspringdomClassRec::attributeChanged);
}

void vspringdomSetContainerRect(vspringdom* d, const vrect* r) { rec(d)->setContainerRect(d, r); }

void _vspringdomMoveContainer(vspringdom* d, std::int32_t dx, std::int32_t dy, std::int32_t dw, std::int32_t dh) {
  vdomainObject* none = nullptr;
  vdomainSet* s = vdomainCreateSetOf(&none, 1);
  springMove(d, s, dx, dy, dw, dh);
  vdomainDestroySet(s);
}
