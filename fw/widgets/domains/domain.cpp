// The domain classes, object pools and sets, the object list and its
// order, connected groups, selection slots, showing and hiding, and the
// extent and bounds.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "fw/core/mem.h"
#include "fw/widgets/domains/domain_internal.h"

const vexClass vexDomainWrongTypeClass{&vexArgClass, "Domain is wrong type (long/short)", 40, vexArgPrint,
                                       sizeof(vexArgException)};

namespace {

constexpr int kPoolRecords = 64;
constexpr std::int32_t kPoolStep = 50;
constexpr int kCachedSets = 10;
constexpr std::int32_t kSetStep = 16;

struct Pool {
  vdomainObject records[kPoolRecords];
  int used;
};

struct Module {
  vdomainClassRec* domain;
  vdomainClassRec* longDomain;
  vdomainObserverClassRec* observer;
  Pool** pools;
  std::int32_t poolCount, poolCapacity;
  vdomainSet* cache[kCachedSets];
  std::uint32_t cacheMask;
};
void** moduleSlot = nullptr;
Module* module();

vdomain* asDomain(vinstance* o) { return static_cast<vdomain*>(o); }
vobjectClassRec* super() { return vobjectGetDefaultClass(); }
vdomainClassRec* rec(const vdomain* d) { return vdomainClassOf(d); }

// ---- sets

vdomainSet* allocSet(std::int32_t capacity) {
  auto* s = static_cast<vdomainSet*>(
      vmemAlloc(sizeof(vdomainSet) + vmemArraySize(static_cast<std::size_t>(capacity), sizeof(vdomainObject*))));
  s->capacity = capacity;
  s->count = 0;
  s->cacheIndex = -1;
  s->objects = reinterpret_cast<vdomainObject**>(s + 1);
  return s;
}

vdomainSet* resizeSet(vdomainSet* s, std::int32_t capacity) {
  s = static_cast<vdomainSet*>(
      vmemRealloc(s, sizeof(vdomainSet) + vmemArraySize(static_cast<std::size_t>(capacity), sizeof(vdomainObject*))));
  s->capacity = capacity;
  s->objects = reinterpret_cast<vdomainObject**>(s + 1);
  if (s->cacheIndex >= 0) module()->cache[s->cacheIndex] = s;
  return s;
}

// ---- pools

void freePools() {
  void* m = moduleSlot ? *moduleSlot : nullptr;
  if (!m) return;
  Module* mod = static_cast<Module*>(m);
  for (std::int32_t i = 0; i < mod->poolCount; ++i) vmemFree(mod->pools[i]);
  vmemFree(mod->pools);
  mod->pools = nullptr;
  mod->poolCount = mod->poolCapacity = 0;
  for (vdomainSet*& s : mod->cache) {
    vmemFree(s);
    s = nullptr;
  }
  mod->cacheMask = 0;
}

// An allocation whose failure becomes the pool's own "Abandon" message.
template <class Alloc>
void* orAbandon(const char* message, Alloc alloc) {
  void* block = nullptr;
  if (!vexTry([&] { block = alloc(); })) vexGenerateMessage(&vexAbandonClass, message);
  return block;
}

Pool* poolOf(const vdomainObject* o) {
  const vdomainObject* p = o;
  while (!(p->flags & vdomainLAST_OF_POOL)) ++p;
  return reinterpret_cast<Pool*>(const_cast<vdomainObject*>(p - (kPoolRecords - 1)));
}

// ---- the class

void domainInit(vinstance* self) {
  super()->init(self);
  vdomain* d = asDomain(self);
  d->bufferX = d->bufferY = 0;
  std::fill(std::begin(d->grid), std::end(d->grid), 0);
  d->owner = nullptr;
  d->count = 0;
  d->bounds = {0, 0, 100, 100};
  d->view = d->extent = {0, 0, 0, 0};
  d->overlap = [](vdomain*, const vrectLong* a, const vrectLong* b) { return vrectLongIntersects(a, b); };
  d->overlapSwapped = [](vdomain*, const vrectLong* a, const vrectLong* b) { return vrectLongIntersects(b, a); };
  d->flags = 0;
  d->slotCount = d->slotsUsed = 0;
  d->slots = nullptr;
  d->observerCount = 0;
  d->observers = nullptr;
  d->first = nullptr;
  d->pending = nullptr;
}

void longInit(vinstance* self) {
  domainInit(self);
  asDomain(self)->flags |= vdomainLONG;
}

// From first to last, without notifications: the domain is going or being replaced.
void releaseAll(vdomain* d) {
  for (vdomainObject* o = d->first; o;) {
    vdomainObject* next = o->next;
    rec(d)->releaseObject(d, o);
    o = next;
  }
  d->first = nullptr;
  d->count = 0;
}

void domainDestroy(vinstance* self) {
  vdomain* d = asDomain(self);
  rec(d)->destroyed(d);
  _vdomainDestroyObservers(d);
  vmemFree(d->slots);
  d->slots = nullptr;
  d->slotCount = d->slotsUsed = 0;
  if (d->pending) vinstanceDestroy(d->pending);
  d->pending = nullptr;
  releaseAll(d);
  super()->destroy(self);
}

void copyInto(vdomain* from, vdomain* to) {
  to->bounds = from->bounds;
  to->view = from->view;
  to->extent = from->extent;
  to->bufferX = from->bufferX;
  to->bufferY = from->bufferY;
  std::copy(std::begin(from->grid), std::end(from->grid), to->grid);
  to->flags = from->flags;
  to->overlap = from->overlap;
  to->overlapSwapped = from->overlapSwapped;
  rec(from)->copyObjects(from, to);
}

void domainCopy(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copy(source, destination);
  vdomain* to = asDomain(destination);
  releaseAll(to);
  copyInto(asDomain(source), to);
}

void domainCopyInit(vobject* source, vobject* destination) {
  vinstanceClassRec* c = vclassRec<vinstanceClassRec>(destination);
  c->init(destination);
  domainCopy(source, destination);
}

void setBoundsShort(vdomain* d, const vrect* r) {
  _vdomainNeedShort(d);
  if (d->flags & vdomainVIRTUAL_BOUNDS)
    vexGenerateMessage(&vexAbandonClass, "_vdomainSetBounds -- invalid operation: virtual bounds are on");
  vrect old = _vdomainNarrow(d->bounds);
  d->bounds = _vdomainWiden(*r);
  rec(d)->boundsChanged(d, &old);
}

void setBoundsLong(vdomain* d, const vrectLong* r) {
  _vdomainNeedLong(d);
  if (d->flags & vdomainVIRTUAL_BOUNDS)
    vexGenerateMessage(&vexAbandonClass, "_vdomainSetBoundsLong -- invalid operation: virtual bounds are on");
  vrectLong old = d->bounds;
  d->bounds = *r;
  rec(d)->boundsChangedLong(d, &old);
}

vdomainObject* newObject(vdomain* d) {
  vdomainObject* o = _vdomainAllocObject();
  rec(d)->addObject(d, o);
  return o;
}

void addObject(vdomain* d, vdomainObject* o) {
  std::uint16_t pool = o->flags & (vdomainLAST_OF_POOL | vdomainIN_USE);
  *o = vdomainObject{};
  o->flags = static_cast<std::uint16_t>(pool | vdomainHIDDEN);
  o->next = d->first;
  if (d->first) d->first->prev = o;
  d->first = o;
  o->domain = d;
  ++d->count;
  rec(d)->objectAdded(d, o);
}

void copyAttributes(vdomain*, const vdomainObject* from, vdomainObject* to) {
  to->rect = from->rect;
  to->flags = static_cast<std::uint16_t>((from->flags & ~vdomainHOUSEKEEPING) | (to->flags & vdomainHOUSEKEEPING));
  to->type = from->type;
  to->data = from->data;
}

// Every flag but the record's own pool marks, which name where it lives.
void copyObject(vdomain*, const vdomainObject* from, vdomainObject* to) {
  constexpr std::uint16_t pool = vdomainLAST_OF_POOL | vdomainIN_USE;
  to->rect = from->rect;
  to->flags = static_cast<std::uint16_t>((from->flags & ~pool) | (to->flags & pool));
  to->type = from->type;
  to->data = from->data;
}

void releaseObject(vdomain*, vdomainObject* o) {
  if (!(o->flags & vdomainIN_USE)) return;
  o->flags &= static_cast<std::uint16_t>(~vdomainIN_USE);
  --poolOf(o)->used;
}

void unlink(vdomain* d, vdomainObject* o) {
  if (o->prev)
    o->prev->next = o->next;
  else
    d->first = o->next;
  if (o->next) o->next->prev = o->prev;
  o->prev = o->next = nullptr;
}

void leaveRing(vdomainObject* o) {
  if (!o->connection) return;
  vdomainObject* p = o;
  while (p->connection != o) p = p->connection;
  p->connection = o->connection == p ? nullptr : o->connection;
  o->connection = nullptr;
}

void removeObjects(vdomain* d, vdomainSet* set) {
  if (!set || set->count < 1) return;
  rec(d)->objectsRemoved(d, set);
  d->count -= set->count;
  bool shown = false;
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o) continue;
    shown |= !(o->flags & vdomainHIDDEN);
    leaveRing(o);
    for (std::uint16_t s = 0; s < d->slotCount; ++s)
      if (!d->slots[s].released && (o->selection >> (s % 32) & 1)) --d->slots[s].selected;
    unlink(d, o);
    rec(d)->releaseObject(d, o);
  }
  if (shown) _vdomainDirty(d);
}

void copyObjects(vdomain* d, vdomain* other) {
  vdomainObject* last = vdomainLastObject(d);
  std::int32_t n = d->count;
  vdomainObject** made = static_cast<vdomainObject**>(vmemAlloc(vmemArraySize(static_cast<std::size_t>(n) + 1, sizeof(vdomainObject*))));
  // Copies from the last so that the new list keeps the order; the index
  // field is free here to map old objects to their copies.
  std::int32_t k = n;
  for (vdomainObject* o = last; o; o = o->prev) {
    vdomainObject* c = rec(other)->newObject(other);
    rec(other)->copyObject(other, o, c);
    made[--k] = c;
  }
  std::int32_t i = 0;
  std::int32_t* saved = static_cast<std::int32_t*>(vmemAlloc(vmemArraySize(static_cast<std::size_t>(n) + 1, sizeof(std::int32_t))));
  for (vdomainObject* o = d->first; o; o = o->next, ++i) saved[i] = o->index, o->index = i;
  i = 0;
  for (vdomainObject* o = d->first; o; o = o->next, ++i)
    if (o->connection) made[i]->connection = made[o->connection->index];
  i = 0;
  for (vdomainObject* o = d->first; o; o = o->next, ++i) o->index = saved[i];
  vmemFree(saved);
  vmemFree(made);
}

void restackObject(vdomain* d, vdomainObject* o, vdomainObject* reference, int after) {
  if (d->count < 2 || reference == o) return;
  vdomainObject* oldNext = o->next;
  unlink(d, o);
  if (!after) {
    if (!reference) {
      o->next = d->first;
      if (d->first) d->first->prev = o;
      d->first = o;
    } else {
      o->prev = reference->prev;
      o->next = reference;
      if (reference->prev)
        reference->prev->next = o;
      else
        d->first = o;
      reference->prev = o;
    }
  } else {
    if (!reference) reference = vdomainLastObject(d);
    o->prev = reference;
    o->next = reference->next;
    if (reference->next) reference->next->prev = o;
    reference->next = o;
  }
  rec(d)->restacked(d, o, oldNext);
}

void restackObjects(vdomain* d, vdomainSet* set, int how) {
  if (!set) return;
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o) continue;
    switch (how) {
      case 1: rec(d)->restackObject(d, o, nullptr, 1); break;
      case 2: rec(d)->restackObject(d, o, nullptr, 0); break;
      case 3:
        if (o->next) rec(d)->restackObject(d, o, o->next, 1);
        break;
      case 4:
        if (o->prev) rec(d)->restackObject(d, o, o->prev, 0);
        break;
      default: break;
    }
  }
}

bool selectable(const vdomainObject* o) { return !(o->flags & vdomainNOT_SELECTABLE); }
std::uint32_t bit(int slot) { return 1u << (static_cast<unsigned>(slot) % 32); }

vdomainSet* one(vdomainObject* o) {
  vdomainSet* s = vdomainCreateSet();
  vdomainSetAppend(&s, o);
  return s;
}

void connectObjects(vdomain* d, vdomainObject* a, vdomainObject* b) {
  if (!a || !b || a == b) return;
  for (std::uint16_t s = 0; s < d->slotCount; ++s) {
    if (d->slots[s].released) continue;
    bool sa = (a->selection & bit(s)) != 0, sb = (b->selection & bit(s)) != 0;
    if (sa == sb) continue;
    vdomainSet* set = nullptr;
    if (sa && selectable(b))
      set = one(b);
    else if (sb && s != 0)
      set = one(a);
    if (set) {
      rec(d)->selectObjects(d, s, set);
      vdomainDestroySet(set);
    }
  }
  _vdomainJoinRings(a, b);
}

void disconnectObjects(vdomain*, vdomainSet* set) {
  if (!set) return;
  for (std::int32_t i = 0; i < set->count; ++i)
    if (set->objects[i]) leaveRing(set->objects[i]);
}

vdomainSet* connectedSet(vdomain*, vdomainObject* o) {
  vdomainSet* s = one(o);
  for (vdomainObject* p = o->connection; p && p != o; p = p->connection) vdomainSetAppend(&s, p);
  return s;
}

void sortSet(vdomain* d, vdomainSet* set) {
  if (!set || set->count < 2) return;
  for (std::int32_t i = 0; i < set->count; ++i)
    if (set->objects[i]) set->objects[i]->flags |= vdomainMARK;
  std::int32_t k = 0;
  for (vdomainObject* o = d->first; o && k < set->count; o = o->next)
    if (o->flags & vdomainMARK) {
      o->flags &= static_cast<std::uint16_t>(~vdomainMARK);
      set->objects[k++] = o;
    }
  set->count = k;
}

void hideObjects(vdomain* d, vdomainSet* set) {
  if (!set) return;
  vdomainSet* changed = vdomainCreateSet();
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o || !o->domain || (o->flags & vdomainHIDDEN)) continue;
    o->flags |= vdomainHIDDEN;
    vdomainSetAppend(&changed, o);
  }
  if (changed->count) rec(d)->showStateChanged(d, changed, 1);
  vdomainDestroySet(changed);
  _vdomainDirty(d);
}

void unionInto(vrectLong& extent, const vrectLong& r) {
  if (_vdomainEmpty(extent))
    extent = r;
  else
    vrectLongUnion(&extent, &r, &extent);
}

void showObjects(vdomain* d, vdomainSet* set) {
  if (!set) return;
  vdomainSet* changed = vdomainCreateSet();
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o || !(o->flags & vdomainHIDDEN)) continue;
    o->flags &= static_cast<std::uint16_t>(~vdomainHIDDEN);
    if (!(d->flags & vdomainDIRTY_MARKS)) unionInto(d->extent, o->rect);
    vdomainSetAppend(&changed, o);
  }
  if (changed->count) rec(d)->showStateChanged(d, changed, 0);
  vdomainDestroySet(changed);
  _vdomainUpdateBounds(d);
}

void changeSelection(vdomain* d, int slot, vdomainSet* set, bool select) {
  if (!d || !set) return;
  vdomainSet* changed = vdomainCreateSet();
  std::uint32_t b = bit(slot);
  vdomainSlot* entry = slot >= 0 && slot < d->slotCount ? &d->slots[slot] : nullptr;
  auto flip = [&](vdomainObject* o) {
    if (!selectable(o) || ((o->selection & b) != 0) == select) return false;
    o->selection = select ? o->selection | b : o->selection & ~b;
    if (entry) entry->selected += select ? 1 : -1;
    return true;
  };
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o || !selectable(o)) continue;
    if (flip(o)) vdomainSetAppend(&changed, o);
    for (vdomainObject* p = o->connection; p && p != o; p = p->connection)
      if (flip(p)) vdomainSetAppend(&changed, p);
  }
  if (changed->count) rec(d)->selectionChanged(d, changed, slot, select ? 1 : 0);
  vdomainDestroySet(changed);
}

void selectObjects(vdomain* d, int slot, vdomainSet* set) { changeSelection(d, slot, set, true); }
void deselectObjects(vdomain* d, int slot, vdomainSet* set) { changeSelection(d, slot, set, false); }

}  // namespace
vrectLong _vdomainExtentOf(vdomain* d, vdomainSet* set) {
  vrectLong r{d->bounds.x, d->bounds.y, 0, 0};
  bool any = false;
  for (std::int32_t i = 0; set && i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o) continue;
    if (!any)
      r = o->rect;
    else
      vrectLongUnion(&r, &o->rect, &r);
    any = true;
  }
  return r;
}

namespace {

void setExtentShort(vdomain* d, vrect* out, vdomainSet* set) {
  _vdomainNeedShort(d);
  *out = _vdomainNarrow(_vdomainExtentOf(d, set));
}
void setExtentLong(vdomain* d, vrectLong* out, vdomainSet* set) {
  _vdomainNeedLong(d);
  *out = _vdomainExtentOf(d, set);
}

void selectAll(vdomain* d, int slot, int select) {
  vdomainSet* changed = vdomainCreateSet();
  std::uint32_t b = bit(slot);
  vdomainSlot* entry = slot >= 0 && slot < d->slotCount ? &d->slots[slot] : nullptr;
  for (vdomainObject* o = d->first; o; o = o->next) {
    if (!selectable(o) || ((o->selection & b) != 0) == (select != 0)) continue;
    o->selection = select ? o->selection | b : o->selection & ~b;
    if (entry) entry->selected += select ? 1 : -1;
    vdomainSetAppend(&changed, o);
  }
  if (changed->count) rec(d)->selectionChanged(d, changed, slot, select ? 1 : 0);
  vdomainDestroySet(changed);
}

void updateExtentAny(vdomain* d, const vrectLong* r) {
  if (d->flags & vdomainDIRTY_MARKS) {
    vrectLong e{0, 0, 0, 0};
    for (vdomainObject* o = d->first; o; o = o->next)
      if (!(o->flags & vdomainHIDDEN)) unionInto(e, o->rect);
    d->extent = e;
  }
  if (r) unionInto(d->extent, *r);
  d->flags &= ~static_cast<std::uint32_t>(vdomainDIRTY_MARKS);
}

void updateExtentShort(vdomain* d, const vrect* r) {
  _vdomainNeedShort(d);
  vrectLong w{};
  if (r) w = _vdomainWiden(*r);
  updateExtentAny(d, r ? &w : nullptr);
}
void updateExtentLong(vdomain* d, const vrectLong* r) {
  _vdomainNeedLong(d);
  updateExtentAny(d, r);
}

void printNothing(vobject*, std::FILE*) {}

Module* module() {
  if (!*vmoduleSlot(moduleSlot)) {
    auto* m = static_cast<Module*>(vmoduleBindSlot(moduleSlot, sizeof(Module)));
    *m = Module{};
    vmoduleAddContextExitProc(freePools);
    auto* c = vclassSpawnOf<vdomainClassRec>(vobjectGetDefaultClass());
    vclassSetName(c, vscribeLiteral("vdomain"));
    c->instanceSize = sizeof(vdomain);
    c->init = domainInit;
    c->destroy = domainDestroy;
    c->copy = domainCopy;
    c->copyInit = domainCopyInit;
    c->print = printNothing;
    c->setBounds = setBoundsShort;
    c->setBoundsLong = setBoundsLong;
    c->newObject = newObject;
    c->addObject = addObject;
    c->copyObjectAttributes = copyAttributes;
    c->copyObject = copyObject;
    c->releaseObject = releaseObject;
    c->removeObjects = removeObjects;
    c->copyObjects = copyObjects;
    c->restackObjects = restackObjects;
    c->restackObject = restackObject;
    c->connectObjects = connectObjects;
    c->disconnectObjects = disconnectObjects;
    c->connectedSet = connectedSet;
    c->sortSet = sortSet;
    c->hideObjects = hideObjects;
    c->showObjects = showObjects;
    c->selectObjects = selectObjects;
    c->deselectObjects = deselectObjects;
    c->setExtent = setExtentShort;
    c->setExtentLong = setExtentLong;
    c->selectAll = selectAll;
    c->updateExtent = updateExtentShort;
    c->updateExtentLong = updateExtentLong;
    _vdomainInstallGeometry(c);
    _vdomainInstallResource(c);
    m->observer = _vdomainBuildObserverClass();
    _vdomainInstallObserverSlots(c, m->observer);
    m->domain = c;
    auto* l = vclassSpawnOf<vdomainClassRec>(c);
    vclassSetName(l, vscribeLiteral("vdomainLong"));
    l->init = longInit;
    m->longDomain = l;
  }
  return static_cast<Module*>(*moduleSlot);
}

}  // namespace

void _vdomainJoinRings(vdomainObject* a, vdomainObject* b) {
  if (a == b) return;
  for (vdomainObject* p = a->connection; p && p != a; p = p->connection)
    if (p == b) return;  // already one ring
  if (!a->connection && !b->connection) {
    a->connection = b;
    b->connection = a;
  } else if (!b->connection) {
    b->connection = a->connection;
    a->connection = b;
  } else if (!a->connection) {
    a->connection = b->connection;
    b->connection = a;
  } else {
    std::swap(a->connection, b->connection);
  }
}

[[noreturn]] void _vdomainWrongType() {
  _vexGenerate(&vexDomainWrongTypeClass, vexSetMessage, "Domain is wrong type (long/short)", vexEnd);
}

vdomainClassRec* vdomainGetDefaultClass() { return module()->domain; }
vdomainClassRec* vdomainLongGetDefaultClass() { return module()->longDomain; }
vdomainObserverClassRec* vdomainObserverGetDefaultClass() { return module()->observer; }
vdomain* vdomainCreate() { return asDomain(vinstanceCreate(vdomainGetDefaultClass())); }
vdomain* vdomainCreateLong() { return asDomain(vinstanceCreate(vdomainLongGetDefaultClass())); }
void vdomainDestroy(vdomain* d) { vinstanceDestroy(d); }
int vdomainIsLong(const vdomain* d) { return _vdomainLong(d); }

vdomainSet* vdomainCreateSet() {
  Module* m = module();
  for (int i = 0; i < kCachedSets; ++i)
    if (!(m->cacheMask & (1u << i))) {
      if (!m->cache[i]) {
        m->cache[i] = allocSet(kSetStep);
        m->cache[i]->cacheIndex = i;
      }
      m->cacheMask |= 1u << i;
      m->cache[i]->count = 0;
      return m->cache[i];
    }
  return allocSet(kSetStep);
}

vdomainSet* vdomainCreateSetOf(vdomainObject* const* objects, std::int32_t n) {
  vdomainSet* s = vdomainCreateSet();
  for (std::int32_t i = 0; i < n; ++i) vdomainSetAppend(&s, objects[i]);
  return s;
}

void vdomainDestroySet(vdomainSet* set) {
  if (!set) return;
  if (set->cacheIndex < 0) return vmemFree(set);
  int i = set->cacheIndex;
  if (set->capacity > kSetStep) resizeSet(set, kSetStep);  // may move the block
  module()->cacheMask &= ~(1u << i);
}

void vdomainSetAppend(vdomainSet** set, vdomainObject* o) {
  vdomainSet* s = *set;
  if (s->count == s->capacity) {
    if (s->capacity > INT32_MAX - kSetStep) vexGenerateMessage(&vexAbandonClass, "vdomain -- set cannot grow");
    s = resizeSet(s, s->capacity + kSetStep);
    *set = s;
  }
  s->objects[s->count++] = o;
}

void vdomainSetRemoveAt(vdomainSet* set, std::int32_t i) {
  if (i < 0 || i >= set->count) return;
  set->objects[i] = set->objects[--set->count];
}

vdomainSet* vdomainCopySet(const vdomainSet* set) {
  vdomainSet* s = vdomainCreateSet();
  for (std::int32_t i = 0; set && i < set->count; ++i) vdomainSetAppend(&s, set->objects[i]);
  return s;
}

vdomainSet* _vdomainCopySetHeap(const vdomainSet* set) {
  vdomainSet* s = allocSet(set->count > 0 ? set->count : 1);
  for (std::int32_t i = 0; i < set->count; ++i) s->objects[i] = set->objects[i];
  s->count = set->count;
  return s;
}

std::uint32_t vdomainSetCacheMask() { return module()->cacheMask; }

vdomainObject* _vdomainAllocObject() {
  Module* m = module();
  for (std::int32_t i = 0; i < m->poolCount; ++i) {
    Pool* p = m->pools[i];
    if (!p || p->used == kPoolRecords) continue;
    for (vdomainObject& r : p->records)
      if (!(r.flags & vdomainIN_USE)) {
        r.flags |= vdomainIN_USE;
        ++p->used;
        return &r;
      }
  }
  std::int32_t slot = 0;
  while (slot < m->poolCount && m->pools[slot]) ++slot;
  if (slot == m->poolCapacity) {
    if (m->poolCapacity > INT32_MAX / kPoolRecords - kPoolStep)
      vexGenerateMessage(&vexAbandonClass, "_vdomainAllocObject -- couldn't create new pool");
    std::int32_t cap = m->poolCapacity + kPoolStep;
    m->pools = static_cast<Pool**>(orAbandon("_vdomainAllocObject -- couldn't make pool array", [&] {
      return vmemRealloc(m->pools, vmemArraySize(static_cast<std::size_t>(cap), sizeof(Pool*)));
    }));
    std::fill(m->pools + m->poolCapacity, m->pools + cap, nullptr);
    m->poolCapacity = cap;
  }
  auto* p = static_cast<Pool*>(
      orAbandon("_vdomainAllocObject -- couldn't alloc new pool", [] { return vmemAllocClear(sizeof(Pool)); }));
  p->records[kPoolRecords - 1].flags = vdomainLAST_OF_POOL;
  m->pools[slot] = p;
  if (slot == m->poolCount) ++m->poolCount;
  p->records[0].flags |= vdomainIN_USE;
  p->used = 1;
  return &p->records[0];
}

std::size_t vdomainPoolCount() { return static_cast<std::size_t>(module()->poolCount); }

vdomainObject* vdomainNewObject(vdomain* d) { return rec(d)->newObject(d); }
void vdomainRemoveObjects(vdomain* d, vdomainSet* set) { rec(d)->removeObjects(d, set); }

std::int32_t vdomainObjectPosition(const vdomain* d, const vdomainObject* o) {
  std::int32_t i = 0;
  for (const vdomainObject* p = d->first; p; p = p->next, ++i)
    if (p == o) return i;
  return -1;
}
vdomainObject* vdomainFirstObject(const vdomain* d) { return d->first; }
vdomainObject* vdomainLastObject(const vdomain* d) {
  vdomainObject* o = d->first;
  while (o && o->next) o = o->next;
  return o;
}

int vdomainAllocSelection(vdomain* d) {
  for (std::uint16_t s = 0; s < d->slotCount; ++s)
    if (d->slots[s].released) {
      d->slots[s] = {0, 0};
      ++d->slotsUsed;
      return s;
    }
  // Slots share the objects' 32 mask bits: a 33rd would alias slot 0.
  if (d->slotCount >= 32)
    vexGenerateMessage(&vexAbandonClass, "vdomainAllocSelection -- no more than 32 selections at once");
  d->slots = static_cast<vdomainSlot*>(vmemRealloc(d->slots, sizeof(vdomainSlot) * (d->slotCount + 1u)));
  d->slots[d->slotCount] = {0, 0};
  ++d->slotsUsed;
  return d->slotCount++;
}

void vdomainReleaseSelection(vdomain* d, int slot) {
  if (slot < 0 || slot >= d->slotCount || d->slots[slot].released) return;
  // A reused slot starts with nothing selected.
  for (vdomainObject* o = d->first; o; o = o->next) o->selection &= ~bit(slot);
  d->slots[slot] = {1, 0};
  --d->slotsUsed;
}

std::int32_t vdomainSelectedCount(const vdomain* d, int slot) {
  return slot >= 0 && slot < d->slotCount ? d->slots[slot].selected : 0;
}
int vdomainIsSelected(const vdomainObject* o, int slot) { return (o->selection & bit(slot)) != 0; }

void vdomainToggleSelection(vdomain* d, int slot, vdomainSet* set) {
  if (!set) return;
  vdomainSet* off = vdomainCreateSet();
  vdomainSet* on = vdomainCreateSet();
  for (std::int32_t i = 0; i < set->count; ++i)
    if (vdomainObject* o = set->objects[i]) vdomainSetAppend(vdomainIsSelected(o, slot) ? &on : &off, o);
  rec(d)->selectObjects(d, slot, off);
  rec(d)->deselectObjects(d, slot, on);
  vdomainDestroySet(off);
  vdomainDestroySet(on);
}

void vdomainGetBounds(vdomain* d, vrect* out) {
  _vdomainNeedShort(d);
  *out = _vdomainNarrow(d->bounds);
}
void vdomainGetBoundsLong(vdomain* d, vrectLong* out) {
  _vdomainNeedLong(d);
  *out = d->bounds;
}
void vdomainSetBounds(vdomain* d, const vrect* r) { rec(d)->setBounds(d, r); }
void vdomainSetBoundsLong(vdomain* d, const vrectLong* r) { rec(d)->setBoundsLong(d, r); }

void vdomainSetVirtualView(vdomain* d, const vrectLong* r) {
  d->view = _vdomainFit(d, *r);
  if (d->flags & vdomainVIRTUAL_BOUNDS) _vdomainUpdateBounds(d);
}
void vdomainSetVirtualBuffer(vdomain* d, int x, int y) {
  d->bufferX = static_cast<std::int16_t>(x);
  d->bufferY = static_cast<std::int16_t>(y);
  _vdomainUpdateBounds(d);
}
void vdomainSetAttributes(vdomain* d, std::uint32_t bits, int on) {
  bits &= vdomainATTRIBUTES;
  d->flags = on ? d->flags | bits : d->flags & ~bits;
  _vdomainUpdateBounds(d);
}

void vdomainGetExtent(vdomain* d, vrect* out) {
  rec(d)->updateExtent(d, nullptr);
  *out = _vdomainNarrow(d->extent);
}
void vdomainGetExtentLong(vdomain* d, vrectLong* out) {
  rec(d)->updateExtentLong(d, nullptr);
  *out = d->extent;
}

void _vdomainUpdateBounds(vdomain* d) {
  if (!(d->flags & vdomainVIRTUAL_BOUNDS)) return;
  updateExtentAny(d, nullptr);
  vrectLong old = d->bounds, b = d->bounds;
  if (!_vdomainEmpty(d->extent))
    b = {d->extent.x - d->bufferX, d->extent.y - d->bufferY, d->extent.width + 2 * d->bufferX,
         d->extent.height + 2 * d->bufferY};
  if (!_vdomainEmpty(d->view)) vrectLongUnion(&b, &d->view, &b);
  d->bounds = _vdomainFit(d, b);
  if (vrectLongEqual(&old, &d->bounds)) return;
  if (_vdomainLong(d)) {
    rec(d)->boundsChangedLong(d, &old);
  } else {
    vrect s = _vdomainNarrow(old);
    rec(d)->boundsChanged(d, &s);
  }
}

void vdomainMarkDirty(vdomain* d) {
  d->flags = (d->flags & ~static_cast<std::uint32_t>(vdomainDIRTY_MARKS)) | vdomainDIRTY;
}
void _vdomainDirty(vdomain* d) {
  vdomainMarkDirty(d);
  _vdomainUpdateBounds(d);
}

bool _vdomainPasses(vdomain* d, vdomainObject* o, int slot, int flags, vdomainFilterFunc predicate, void* data) {
  bool hidden = (o->flags & vdomainHIDDEN) != 0, sel = (o->selection & bit(slot)) != 0;
  auto accepts = [&] { return predicate && predicate(d, o, data); };
  if ((flags & ~vdomainFILTER_NO_OVERLAP_TEST) == vdomainFILTER_ALL) return true;
  if (flags & vdomainFILTER_ALL_OF)
    return (!hidden || (flags & vdomainFILTER_HIDDEN)) && (!(flags & vdomainFILTER_UNSELECTABLE) || !selectable(o)) &&
           (!(flags & vdomainFILTER_PREDICATE) || accepts()) && (!(flags & vdomainFILTER_SELECTED) || sel) &&
           (!(flags & vdomainFILTER_UNSELECTED) || !sel);
  if (hidden) return (flags & vdomainFILTER_HIDDEN) != 0;
  return ((flags & vdomainFILTER_UNSELECTABLE) && !selectable(o)) || ((flags & vdomainFILTER_PREDICATE) && accepts()) ||
         ((flags & vdomainFILTER_SELECTED) && (flags & vdomainFILTER_UNSELECTED)) ||
         ((flags & vdomainFILTER_SELECTED) && sel) || ((flags & vdomainFILTER_UNSELECTED) && !sel);
}

vdomainSet* vdomainFilterSet(vdomain* d, int slot, int flags, vdomainFilterFunc predicate, void* data) {
  vdomainSet* s = vdomainCreateSet();
  for (vdomainObject* o = d->first; o; o = o->next)
    if (_vdomainPasses(d, o, slot, flags, predicate, data)) vdomainSetAppend(&s, o);
  return s;
}

void vdomainSetObjectsData(vdomain*, vdomainSet* set, std::intptr_t data) {
  for (std::int32_t i = 0; set && i < set->count; ++i)
    if (set->objects[i]) set->objects[i]->data = data;
}
void vdomainSetObjectsType(vdomain*, vdomainSet* set, std::uint16_t type) {
  for (std::int32_t i = 0; set && i < set->count; ++i)
    if (set->objects[i]) set->objects[i]->type = type;
}
void vdomainSetObjectsFlags(vdomain*, vdomainSet* set, std::uint16_t bits, int on) {
  for (std::int32_t i = 0; set && i < set->count; ++i)
    if (vdomainObject* o = set->objects[i]) o->flags = static_cast<std::uint16_t>(on ? o->flags | bits : o->flags & ~bits);
}
