// Turning a spring domain's connections into a spring solution and solving
// it, the "Connections" resource form, and the spring undo observer.
#include <algorithm>
#include <functional>
#include <vector>

#include "fw/core/mem.h"
#include "fw/data/vresource.h"
#include "fw/widgets/domains/domain_internal.h"
#include "fw/widgets/domains/springdom_internal.h"

namespace {

vspringdomClassRec* rec(const vspringdom* d) { return vspringdomClassOf(d); }

// One axis as a graph: nodes are edges (two per object in list order, then
// the container's near and far), links the connections, each once.
struct Link {
  int from, to;
  vspringdomHandle* handle;
  vspringdomHandle* mirror;
  bool used;
};

struct Axis {
  std::vector<vdomainObject*> objects;
  std::vector<Link> links;
  std::vector<std::vector<int>> out;
  int nodes;
};

int nodeOf(const vspringdomHandle* h, int n) {
  int far = (vspringdomHandleSide(h) >> 1) & 1;
  return h->object ? 2 * h->object->index + far : 2 * n + far;
}

Axis buildAxis(vspringdom* d, bool vertical) {
  Axis a;
  for (vdomainObject* o = d->first; o; o = o->next) {
    d->indexOf(d, o);
    a.objects.push_back(o);
  }
  int n = static_cast<int>(a.objects.size());
  a.nodes = 2 * n + 2;
  a.out.assign(static_cast<std::size_t>(a.nodes), {});
  int first = vertical ? 4 : 0;
  auto visit = [&](vspringdomPart* p) {
    for (int s = first; s < first + 4; ++s) {
      vspringdomHandle* h = &p->handles[s];
      vspringdomHandle* t = h->connection;
      if (!t) continue;
      vspringdomHandle* mirror = t->connection == h ? t : nullptr;
      // A mirrored pair is one connection: the lower address speaks for it.
      if (mirror && std::less<>()(t, h)) continue;
      int own = nodeOf(h, n), other = nodeOf(t, n);
      bool forward = (h->flags & vspringdomSECOND_END) != 0;
      a.links.push_back({forward ? own : other, forward ? other : own, h, mirror, false});
      a.out[static_cast<std::size_t>(a.links.back().from)].push_back(static_cast<int>(a.links.size() - 1));
    }
  };
  for (vdomainObject* o : a.objects) visit(static_cast<vspringdomPart*>(o->part));
  visit(&d->box);
  return a;
}

void setValid(vspringdom* d, vspringdomHandle* h, bool valid) {
  if (!h || h->valid == valid) return;
  h->valid = valid;
  rec(d)->validityChanged(d, h->object, vspringdomHandleSide(h), valid ? 1 : 0);
}

// Walks chains out from placed edges (first the container's): each runs
// through edges not yet placed until it reaches a placed one. A chain that
// closes and has a spring becomes steps; the others leave their objects be.
void fillAxis(vspringdom* d, vspringSolution* s, bool vertical) {
  Axis a = buildAxis(d, vertical);
  int n = static_cast<int>(a.objects.size());
  std::vector<char> placed(static_cast<std::size_t>(a.nodes), 0);
  std::vector<int> work{2 * n, 2 * n + 1};
  placed[static_cast<std::size_t>(2 * n)] = placed[static_cast<std::size_t>(2 * n + 1)] = 1;
  auto nextLink = [&](int node) {
    for (int l : a.out[static_cast<std::size_t>(node)])
      if (!a.links[static_cast<std::size_t>(l)].used) return l;
    return -1;
  };
  for (std::size_t w = 0; w < work.size(); ++w) {
    for (int l; (l = nextLink(work[w])) >= 0;) {
      std::vector<int> path{work[w]}, links;
      bool closed = false;
      for (int cur = work[w]; l >= 0; l = nextLink(cur)) {
        Link& link = a.links[static_cast<std::size_t>(l)];
        link.used = true;
        links.push_back(l);
        path.push_back(link.to);
        if (placed[static_cast<std::size_t>(link.to)] ||
            std::find(path.begin(), path.end() - 1, link.to) != path.end() - 1) {
          closed = true;
          break;
        }
        cur = link.to;
      }
      bool spring = false;
      for (int k : links) spring |= (a.links[static_cast<std::size_t>(k)].handle->flags & vspringdomSPRING) != 0;
      bool valid = closed && spring;
      for (int k : links) {
        setValid(d, a.links[static_cast<std::size_t>(k)].handle, valid);
        setValid(d, a.links[static_cast<std::size_t>(k)].mirror, valid);
      }
      for (int node : path)
        if (!placed[static_cast<std::size_t>(node)]) placed[static_cast<std::size_t>(node)] = 1, work.push_back(node);
      if (!valid) continue;
      for (std::size_t i = 0; i < path.size(); ++i) {
        int node = path[i];
        int index = node / 2 < n ? node / 2 : -1;
        int flags = (vertical ? vspringVERTICAL : 0) | ((node & 1) ? vspringFAR_EDGE : 0);
        int length = 0;
        if (i + 1 < path.size()) {
          const vspringdomHandle* h = a.links[static_cast<std::size_t>(links[i])].handle;
          if (h->flags & vspringdomSPRING) flags |= vspringSPRING;
          if (h->flags & vspringdomCOMPUTED) flags |= vspringCOMPUTED;
          length = h->length;
        } else {
          flags |= vspringEND_CHAIN;
        }
        vspringSolutionAppendStep(s, flags, length, index);
      }
    }
  }
  for (Link& link : a.links)
    if (!link.used) setValid(d, link.handle, false), setValid(d, link.mirror, false);
}

void rebuild(vspringdom* d) {
  if (d->solution)
    vspringSolutionClear(d->solution);
  else
    d->solution = vspringSolutionCreate();
  vspringSolutionKeepCompiled(d->solution, 0);
  fillAxis(d, d->solution, false);
  fillAxis(d, d->solution, true);
  // Item records follow the current objects, whatever the counts.
  d->solution->flags |= vspringNEEDS;
  vspringSolutionKeepCompiled(d->solution, 1);
}

// ---- the resource form

constexpr int kObjectOrder[8] = {0, 3, 4, 7, 1, 2, 5, 6};
constexpr int kContainerOrder[4] = {1, 2, 5, 6};

void appendHandle(vspringdom* d, vspringSolution* s, vspringdomHandle* h) {
  const vspringdomHandle* t = h->connection;
  // Not connected: the step names the handle's own edge.
  const vspringdomHandle* named = t ? t : h;
  int flags = (h->flags & vspringdomSPRING ? vspringSPRING : 0) | (h->flags & vspringdomCOMPUTED ? vspringCOMPUTED : 0) |
              (h->flags & vspringdomATTRIBUTE ? 1 : 0) | (h->flags & vspringdomVERTICAL ? vspringVERTICAL : 0) |
              (named->flags & vspringdomFAR ? vspringFAR_EDGE : 0);
  vspringSolutionAppendStep(s, flags, h->length, d->indexOf(d, named->object));
}

void springStore(vobject* self, vresource r) {
  vdomainGetDefaultClass()->store(self, r);
  auto* d = static_cast<vspringdom*>(self);
  vspringSolution* s = vspringSolutionCreate();
  for (vdomainObject* o = d->first; o; o = o->next)
    for (int side : kObjectOrder) appendHandle(d, s, vspringdomGetHandle(d, o, side));
  for (int side : kContainerOrder) appendHandle(d, s, &d->box.handles[side]);
  vresource c = vresourceCreate(r, _vspringdomConnectionsTag(), vresDICTIONARY);
  vspringSolutionGetDefaultClass()->store(s, c);
  vinstanceDestroy(s);
}

void connectStored(vspringdom* d, vspringdomHandle* h, const vspringSolution* s, std::int32_t step,
                   const std::vector<vdomainObject*>& objects) {
  int index = s->indices[step], flags = s->stepFlags[step];
  if (index >= static_cast<int>(objects.size())) return;
  vdomainObject* target = index < 0 ? nullptr : objects[static_cast<std::size_t>(index)];
  int edge = (flags & vspringVERTICAL ? 4 : 0) | (flags & vspringFAR_EDGE ? 2 : 0);
  if ((edge & 4) != (h->flags & vspringdomVERTICAL)) return;  // across axes: not ours to mend
  bool self = target == h->object && edge == (vspringdomHandleSide(h) & 6);
  if (!self) vspringdomConnect(d, h, vspringdomGetHandle(d, target, edge | ((h->flags & 1) ^ 1)), 0);
  vspringdomSetSpring(d, h, (flags & vspringSPRING) != 0, 0);
  vspringdomSetComputed(d, h, (flags & vspringCOMPUTED) != 0, 0);
  vspringdomSetAttribute(d, h, (flags & 1) != 0, 0);
  bool boxToBox = !h->object && !self && !target;
  vspringdomSetLength(d, h, boxToBox ? 0 : s->lengths[step], 0);
}

void springLoadInit(vobject* self, vresource r) {
  vdomainGetDefaultClass()->loadInit(self, r);
  auto* d = static_cast<vspringdom*>(self);
  vresource c;
  if (vresourceTestGet(r, _vspringdomConnectionsTag(), &c)) {
    vspringSolution* s = vspringSolutionLoad(c);
    std::int32_t n = s->itemCount;
    while (d->count < n) {
      vdomainObject* o = vdomainNewObject(d);
      vdomainClassOf(d)->restackObject(d, o, nullptr, 1);
    }
    while (d->count > n) {
      vdomainObject* last = vdomainLastObject(d);
      vdomainSet* one = vdomainCreateSetOf(&last, 1);
      vdomainRemoveObjects(d, one);
      vdomainDestroySet(one);
    }
    std::vector<vdomainObject*> objects;
    for (vdomainObject* o = d->first; o; o = o->next) objects.push_back(o);
    std::int32_t step = 0;
    for (vdomainObject* o : objects)
      for (int side : kObjectOrder)
        if (step < s->stepCount) connectStored(d, vspringdomGetHandle(d, o, side), s, step++, objects);
    for (int side : kContainerOrder)
      if (step < s->stepCount) connectStored(d, &d->box.handles[side], s, step++, objects);
    vinstanceDestroy(s);
  }
  d->flags |= vspringdomPENDING;
  vspringdomSolve(d);
}

// ---- undo

enum Kind { kContainer, kConnection, kLength, kAttribute, kSpring, kComputed };
struct SpringAction : vundoAction {
  vspringdom* domain;
  int kind;
  vdomainObject* object;
  int side;
  std::int32_t value;
  vrect rect;
  vspringdomHandle* target;
};
struct SpringList : vundoActionList {
  vspringdom* domain;
};

struct UndoClasses {
  vspringdomObserverClassRec* observer;
  vundoActionClassRec* action;
  vundoActionClassRec* list;
};
void** undoSlot = nullptr;
UndoClasses& undoClasses();

// Each perform after the first puts back the kept value and keeps the
// current one, so undo and redo alternate.
void actionPerform(vundoAction* self) {
  auto* a = static_cast<SpringAction*>(self);
  vspringdom* d = a->domain;
  if (a->state != vundoNEW)
    _vdomainReplay(d, [&] {
      vspringdomHandle* h = a->kind == kContainer ? nullptr : vspringdomGetHandle(d, a->object, a->side);
      switch (a->kind) {
        case kContainer: {
          vrect now = d->container;
          vspringdomSetContainerRect(d, &a->rect);
          a->rect = now;
          break;
        }
        case kConnection: {
          vspringdomHandle* now = h->connection;
          vspringdomConnect(d, h, a->target, 0);
          a->target = now;
          break;
        }
        case kLength: {
          std::int32_t now = h->length;
          vspringdomSetLength(d, h, a->value, 0);
          a->value = now;
          break;
        }
        default: {
          std::uint16_t bit = a->kind == kAttribute ? vspringdomATTRIBUTE : a->kind == kSpring ? vspringdomSPRING : vspringdomCOMPUTED;
          std::int32_t now = (h->flags & bit) ? 1 : 0;
          if (a->kind == kAttribute) vspringdomSetAttribute(d, h, a->value, 0);
          if (a->kind == kSpring) vspringdomSetSpring(d, h, a->value, 0);
          if (a->kind == kComputed) vspringdomSetComputed(d, h, a->value, 0);
          a->value = now;
          break;
        }
      }
      vspringdomSolve(d);
    });
  vundoGetActionClass()->perform(self);
}

void listPerform(vundoAction* self) {
  auto* l = static_cast<SpringList*>(self);
  bool first = l->state == vundoNEW;
  vundoGetActionListClass()->perform(self);
  if (!first && l->domain) vspringdomSolve(l->domain);
}

// Records only while the domain's primary observer records: a replay takes
// it away, and so records nothing.
void record(void* receiver, int kind, vdomainObject* o, int side, std::int32_t value, const vrect* rect) {
  auto* d = static_cast<vspringdom*>(static_cast<vdomainObserver*>(receiver)->domain);
  if (!d || vdomainGetPrimaryObserverClass(d) != static_cast<vclass*>(vdomainUndoObserverClass())) return;
  auto* a = static_cast<SpringAction*>(vinstanceCreate(undoClasses().action));
  a->domain = d;
  a->kind = kind;
  a->object = o;
  a->side = side;
  a->value = value;
  a->rect = rect ? *rect : vrect{0, 0, 0, 0};
  a->target = kind == kConnection ? d->lastOldTarget : nullptr;
  if (!d->pending) {
    auto* l = static_cast<SpringList*>(vundoActionListCreate(undoClasses().list));
    l->domain = d;
    vundoActionPerform(l);
    d->pending = l;
  }
  _vdomainRecordAction(d, a, nullptr);
}

UndoClasses& undoClasses() {
  if (!*vmoduleSlot(undoSlot)) {
    auto* o = vclassSpawnOf<vspringdomObserverClassRec>(vspringdomGetObserverClass());
    vclassSetName(o, vscribeLiteral("vspringdomUndoObserver"));
    o->containerChanged = [](void* to, const vrect* old) { record(to, kContainer, nullptr, 0, 0, old); };
    o->connectionChanged = [](void* to, vdomainObject* ob, int side, vdomainObject*) { record(to, kConnection, ob, side, 0, nullptr); };
    o->lengthChanged = [](void* to, vdomainObject* ob, int side, std::int32_t old) { record(to, kLength, ob, side, old, nullptr); };
    o->attributeChanged = [](void* to, vdomainObject* ob, int side, int old) { record(to, kAttribute, ob, side, old, nullptr); };
    o->springChanged = [](void* to, vdomainObject* ob, int side, int old) { record(to, kSpring, ob, side, old, nullptr); };
    o->computedChanged = [](void* to, vdomainObject* ob, int side, int old) { record(to, kComputed, ob, side, old, nullptr); };
    auto* a = vclassSpawnOf<vundoActionClassRec>(vundoGetActionClass());
    vclassSetName(a, vscribeLiteral("vspringdomAction"));
    vclassSetInstanceSize(a, sizeof(SpringAction));
    a->perform = actionPerform;
    auto* l = vclassSpawnOf<vundoActionClassRec>(vundoGetActionListClass());
    vclassSetName(l, vscribeLiteral("vspringdomActionList"));
    vclassSetInstanceSize(l, sizeof(SpringList));
    l->perform = listPerform;
    *static_cast<UndoClasses*>(vmoduleBindSlot(undoSlot, sizeof(UndoClasses))) = {o, a, l};
  }
  return *static_cast<UndoClasses*>(*undoSlot);
}

}  // namespace

void _vspringdomInstallResource(vspringdomClassRec* c) {
  c->store = springStore;
  c->loadInit = springLoadInit;
}

vspringdomObserverClassRec* vspringdomGetUndoObserverClass() { return undoClasses().observer; }

void vspringdomSolve(vspringdom* d) {
  if (!d) _vexGenerate(&vexArgNullClass, vexEnd);
  if ((d->flags & vspringdomPENDING) || !d->solution) rebuild(d);
  vrect start = d->container;
  d->container = d->requested;
  vspringSolution* s = d->solution;
  if (d->flags & vspringdomGROW) {
    if (d->flags & vspringdomREFRESH_SIZES) s->flags |= vspringNEED_MIN_SIZES | vspringNEED_NATURAL_SIZES;
    std::int32_t w = 0, h = 0;
    vspringSolutionDetermineMinSize(d->arranger, d, s, &w, &h);
    std::int32_t dw = std::max(0, w - d->container.width), dh = std::max(0, h - d->container.height);
    if (dw || dh) {
      _vspringdomMoveContainer(d, 0, -dh, dw, dh);
      rebuild(d);
      d->container = d->requested;
    }
  }
  if (d->flags & vspringdomREFRESH_SIZES) s->flags |= vspringNEED_MIN_SIZES | vspringNEED_NATURAL_SIZES;
  if (d->flags & vspringdomARRANGE) {
    s->flags |= vspringNEED_RECTS;
    vspringSolutionArrange(d->arranger, d, s, &d->container);
  }
  if (!vrectEqual(&start, &d->container)) rec(d)->containerChanged(d, &start);
  d->flags &= ~static_cast<std::uint32_t>(vspringdomPENDING);
  rec(d)->solved(d);
}
