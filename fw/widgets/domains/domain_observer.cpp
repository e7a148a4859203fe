// Observers: installing, delivering the twelve notifications, the primary
// observer, and the undo observer whose actions replay moves, resizes and
// restacks.
#include <cstring>

#include "fw/core/mem.h"
#include "fw/widgets/domains/domain_internal.h"

namespace {

using Rec = vdomainObserverClassRec;
vdomainClassRec* rec(const vdomain* d) { return vdomainClassOf(d); }
vobjectClassRec* super() { return vobjectGetDefaultClass(); }
vdomainObserver* asObserver(vinstance* o) { return static_cast<vdomainObserver*>(o); }

// From slot 0 upward, reading the array afresh at every step: an observer
// may install another (and so move the array) while it is told.
template <class Call>
void deliver(vdomain* d, Call call) {
  for (std::uint16_t i = 0; i < d->observerCount; ++i) {
    vdomainObserver* o = d->observers[i];
    if (!o || (o->flags & vdomainObserverMUTED)) continue;
    call(vclassRec<Rec>(o), o->forward ? o->owner : static_cast<void*>(o));
  }
}

void observerInit(vinstance* self) {
  super()->init(self);
  vdomainObserver* o = asObserver(self);
  o->owner = nullptr;
  o->flags = 0;
  o->forward = 0;
  o->domain = nullptr;
}
void observerCopy(vobject* from, vobject* to) {
  super()->copy(from, to);
  asObserver(to)->owner = asObserver(from)->owner;
}
void observerCopyInit(vobject* from, vobject* to) {
  observerInit(to);
  observerCopy(from, to);
}

void ensureArray(vdomain* d) {
  if (d->observers) return;
  d->observers = static_cast<vdomainObserver**>(vmemAllocClear(2 * sizeof(vdomainObserver*)));
  d->observerCount = 2;
}

void dropObserver(vdomainObserver* o) {
  o->domain = nullptr;
  if (o->flags & vdomainObserverOWNED) vinstanceDestroy(o);
}

// ---- the undo observer and its actions

struct MoveAction : vundoAction {
  vdomain* domain;
  vdomainSet* set;
  vpoint point;
  int mode;
  vpoint* positions;
};
struct ResizeAction : vundoAction {
  vdomain* domain;
  vdomainSet* set;
  vpoint* sizes;  // width, height
};
struct RestackAction : vundoAction {
  vdomain* domain;
  vdomainObject* object;
  vdomainObject* followed;  // before the restack
  vdomainObject* preceded;  // after it
};

struct UndoClasses {
  vdomainObserverClassRec* observer;
  vundoActionClassRec* move;
  vundoActionClassRec* resize;
  vundoActionClassRec* restack;
};
void** undoSlot = nullptr;
UndoClasses& undoClasses();

void basePerform(vundoAction* a) { vundoGetActionClass()->perform(a); }

vdomainSet* single(vdomainObject* o) { return vdomainCreateSetOf(&o, 1); }

void movePerform(vundoAction* self) {
  auto* a = static_cast<MoveAction*>(self);
  if (a->state == vundoDONE) {
    _vdomainReplay(a->domain, [&] {
      for (std::int32_t i = 0; i < a->set->count; ++i) {
        if (!a->set->objects[i]) continue;
        vdomainSet* s = single(a->set->objects[i]);
        vdomainMoveObjects(a->domain, s, a->positions[i].x, a->positions[i].y, vdomainMOVE_PLACE);
        vdomainDestroySet(s);
      }
    });
  } else if (a->state == vundoUNDONE) {
    _vdomainReplay(a->domain, [&] { vdomainMoveObjects(a->domain, a->set, a->point.x, a->point.y, a->mode); });
  }
  basePerform(self);
}

void resizePerform(vundoAction* self) {
  auto* a = static_cast<ResizeAction*>(self);
  if (a->state != vundoNEW)
    _vdomainReplay(a->domain, [&] {
      for (std::int32_t i = 0; i < a->set->count; ++i) {
        vdomainObject* o = a->set->objects[i];
        if (!o) continue;
        vpoint kept = a->sizes[i];
        a->sizes[i] = {static_cast<std::int16_t>(o->rect.width), static_cast<std::int16_t>(o->rect.height)};
        vdomainSet* s = single(o);
        vdomainResizeObjects(a->domain, s, kept.x, kept.y);
        vdomainDestroySet(s);
      }
    });
  basePerform(self);
}

void restackPerform(vundoAction* self) {
  auto* a = static_cast<RestackAction*>(self);
  vdomain* d = a->domain;
  if (a->state == vundoDONE)
    _vdomainReplay(d, [&] {
      if (a->followed)
        rec(d)->restackObject(d, a->object, a->followed, 0);
      else
        rec(d)->restackObject(d, a->object, nullptr, 1);
    });
  else if (a->state == vundoUNDONE)
    _vdomainReplay(d, [&] {
      if (a->preceded)
        rec(d)->restackObject(d, a->object, a->preceded, 1);
      else
        rec(d)->restackObject(d, a->object, nullptr, 0);
    });
  basePerform(self);
}

void moveDestroy(vinstance* self) {
  auto* a = static_cast<MoveAction*>(self);
  vdomainDestroySet(a->set);
  vmemFree(a->positions);
  vinstanceGetDefaultClass()->destroy(self);
}
void resizeDestroy(vinstance* self) {
  auto* a = static_cast<ResizeAction*>(self);
  vdomainDestroySet(a->set);
  vmemFree(a->sizes);
  vinstanceGetDefaultClass()->destroy(self);
}

vpoint* keep(const vdomainSet* set, bool sizes) {
  auto* kept = static_cast<vpoint*>(vmemAllocClear(vmemArraySize(static_cast<std::size_t>(set->count) + 1, sizeof(vpoint))));
  for (std::int32_t i = 0; i < set->count; ++i)
    if (const vdomainObject* o = set->objects[i])
      kept[i] = sizes ? vpoint{static_cast<std::int16_t>(o->rect.width), static_cast<std::int16_t>(o->rect.height)}
                      : vpoint{static_cast<std::int16_t>(o->rect.x), static_cast<std::int16_t>(o->rect.y)};
  return kept;
}

vdomain* domainOf(void* receiver) { return static_cast<vdomainObserver*>(receiver)->domain; }

void recordMove(void* receiver, vdomainSet* set, vpoint offset, int mode, int before) {
  vdomain* d = domainOf(receiver);
  if (!before || !d) return;
  auto* a = static_cast<MoveAction*>(vinstanceCreate(undoClasses().move));
  a->domain = d;
  a->set = _vdomainCopySetHeap(set);
  a->point = offset;
  a->mode = mode;
  a->positions = keep(set, false);
  _vdomainRecordAction(d, a, nullptr);
}

void recordResize(void* receiver, vdomainSet* set, int before) {
  vdomain* d = domainOf(receiver);
  if (!before || !d) return;
  auto* a = static_cast<ResizeAction*>(vinstanceCreate(undoClasses().resize));
  a->domain = d;
  a->set = _vdomainCopySetHeap(set);
  a->sizes = keep(set, true);
  _vdomainRecordAction(d, a, nullptr);
}

void recordRestack(void* receiver, vdomainObject* o, vdomainObject* oldNext) {
  vdomain* d = domainOf(receiver);
  if (!d) return;
  auto* a = static_cast<RestackAction*>(vinstanceCreate(undoClasses().restack));
  a->domain = d;
  a->object = o;
  a->followed = oldNext;
  a->preceded = o->prev;
  _vdomainRecordAction(d, a, nullptr);
}

vundoActionClassRec* spawnAction(const char* name, std::size_t size, void (*perform)(vundoAction*),
                                 void (*destroy)(vinstance*)) {
  auto* c = vclassSpawnOf<vundoActionClassRec>(vundoGetActionClass());
  vclassSetName(c, vscribeLiteral(name));
  vclassSetInstanceSize(c, size);
  c->perform = perform;
  if (destroy) c->destroy = destroy;
  return c;
}

UndoClasses& undoClasses() {
  if (!*vmoduleSlot(undoSlot)) {
    auto* o = vclassSpawnOf<Rec>(vdomainObserverGetDefaultClass());
    vclassSetName(o, vscribeLiteral("vdomainUndoObserver"));
    o->objectsMoving = recordMove;
    o->objectsResizing = recordResize;
    o->restacked = recordRestack;
    UndoClasses c{o, spawnAction("vdomainMoveAction", sizeof(MoveAction), movePerform, moveDestroy),
                  spawnAction("vdomainResizeAction", sizeof(ResizeAction), resizePerform, resizeDestroy),
                  spawnAction("vdomainRestackAction", sizeof(RestackAction), restackPerform, nullptr)};
    *static_cast<UndoClasses*>(vmoduleBindSlot(undoSlot, sizeof(UndoClasses))) = c;
  }
  return *static_cast<UndoClasses*>(*undoSlot);
}

}  // namespace

vdomainObserverClassRec* _vdomainBuildObserverClass() {
  auto* c = vclassSpawnOf<Rec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vdomainObserver"));
  c->instanceSize = sizeof(vdomainObserver);
  c->init = observerInit;
  c->copy = observerCopy;
  c->copyInit = observerCopyInit;
  c->objectAdded = [](void*, vdomainObject*) {};
  c->objectsRemoved = [](void*, vdomainSet*) {};
  c->boundsChanged = [](void*, const vrect*) {};
  c->boundsChangedLong = [](void*, const vrectLong*) {};
  c->objectsMoving = [](void*, vdomainSet*, vpoint, int, int) {};
  c->objectsMovingLong = [](void*, vdomainSet*, vpointLong, int, int) {};
  c->objectsResizing = [](void*, vdomainSet*, int) {};
  c->showStateChanged = [](void*, vdomainSet*, int) {};
  c->restacked = [](void*, vdomainObject*, vdomainObject*) {};
  c->notifyValue = [](void*, std::intptr_t) {};
  c->selectionChanged = [](void*, vdomainSet*, int, int) {};
  c->destroyed = [](void*) {};
  return c;
}

void _vdomainInstallObserverSlots(vdomainClassRec* c, vdomainObserverClassRec*) {
  c->objectAdded = [](vdomain* d, vdomainObject* o) { deliver(d, [&](Rec* r, void* to) { r->objectAdded(to, o); }); };
  c->objectsRemoved = [](vdomain* d, vdomainSet* s) { deliver(d, [&](Rec* r, void* to) { r->objectsRemoved(to, s); }); };
  c->boundsChanged = [](vdomain* d, const vrect* old) {
    deliver(d, [&](Rec* r, void* to) { r->boundsChanged(to, old); });
  };
  c->boundsChangedLong = [](vdomain* d, const vrectLong* old) {
    deliver(d, [&](Rec* r, void* to) { r->boundsChangedLong(to, old); });
  };
  c->objectsMoving = [](vdomain* d, vdomainSet* s, vpoint p, int mode, int before) {
    deliver(d, [&](Rec* r, void* to) { r->objectsMoving(to, s, p, mode, before); });
  };
  c->objectsMovingLong = [](vdomain* d, vdomainSet* s, vpointLong p, int mode, int before) {
    deliver(d, [&](Rec* r, void* to) { r->objectsMovingLong(to, s, p, mode, before); });
  };
  c->objectsResizing = [](vdomain* d, vdomainSet* s, int before) {
    deliver(d, [&](Rec* r, void* to) { r->objectsResizing(to, s, before); });
  };
  c->showStateChanged = [](vdomain* d, vdomainSet* s, int hidden) {
    deliver(d, [&](Rec* r, void* to) { r->showStateChanged(to, s, hidden); });
  };
  c->restacked = [](vdomain* d, vdomainObject* o, vdomainObject* oldNext) {
    deliver(d, [&](Rec* r, void* to) { r->restacked(to, o, oldNext); });
  };
  c->notifyValue = [](vdomain* d, std::intptr_t v) { deliver(d, [&](Rec* r, void* to) { r->notifyValue(to, v); }); };
  c->selectionChanged = [](vdomain* d, vdomainSet* s, int slot, int selected) {
    deliver(d, [&](Rec* r, void* to) { r->selectionChanged(to, s, slot, selected); });
  };
  c->destroyed = [](vdomain* d) { deliver(d, [&](Rec* r, void* to) { r->destroyed(to); }); };
}

void _vdomainDestroyObservers(vdomain* d) {
  for (std::uint16_t i = 0; i < d->observerCount; ++i) {
    vdomainObserver* o = d->observers[i];
    d->observers[i] = nullptr;
    if (o) dropObserver(o);
  }
  vmemFree(d->observers);
  d->observers = nullptr;
  d->observerCount = 0;
}

vdomainObserverClassRec* vdomainUndoObserverClass() { return undoClasses().observer; }

void vdomainInstallObserver(vdomain* d, vdomainObserver* observer) {
  if (!d || !observer) _vexGenerate(&vexArgNullClass, vexEnd);
  ensureArray(d);
  for (std::uint16_t i = d->observerCount; i-- > 1;)
    if (!d->observers[i]) {
      d->observers[i] = observer;
      observer->domain = d;
      return;
    }
  d->observers = static_cast<vdomainObserver**>(vmemRealloc(d->observers, sizeof(vdomainObserver*) * (d->observerCount + 1u)));
  d->observers[d->observerCount++] = observer;
  observer->domain = d;
}

void vdomainUninstallObserver(vdomain* d, vdomainObserver* observer) {
  for (std::uint16_t i = 0; d && observer && i < d->observerCount; ++i)
    if (d->observers[i] == observer) {
      d->observers[i] = nullptr;
      dropObserver(observer);
      return;
    }
  vexGenerateMessage(&vexArgClass, "vdomainUninstallObserver -- observer not installed");
}

void vdomainSetPrimaryObserverClass(vdomain* d, vclass* cls) {
  ensureArray(d);
  if (vdomainObserver* old = d->observers[0]) {
    d->observers[0] = nullptr;
    dropObserver(old);
  }
  if (!cls) return;
  auto* o = asObserver(vinstanceCreate(cls));
  o->owner = d;
  o->domain = d;
  o->flags |= vdomainObserverOWNED;
  d->observers[0] = o;
}

vclass* vdomainGetPrimaryObserverClass(const vdomain* d) {
  return d->observers && d->observers[0] ? d->observers[0]->cls : nullptr;
}

void vdomainInitObserverIterator(vdomainObserverIterator* it, vdomain* d) {
  it->index = -1;
  it->domain = d;
  it->current = nullptr;
}

int vdomainNextObserverIterator(vdomainObserverIterator* it) {
  vdomain* d = it->domain;
  while (++it->index < d->observerCount)
    if ((it->current = d->observers[it->index])) return 1;
  it->current = nullptr;
  return 0;
}

vundoActionList* vdomainTakePendingActions(vdomain* d) {
  vundoActionList* l = d->pending;
  d->pending = nullptr;
  return l;
}

void _vdomainRecordAction(vdomain* d, vundoAction* action, vclass* listClass) {
  vundoActionPerform(action);  // new to done: replays nothing
  if (!d->pending) {
    d->pending = vundoActionListCreate(listClass);
    vundoActionPerform(d->pending);
  }
  vundoActionListAppend(d->pending, action);
}
