#include "fw/widgets/lists/objlist.h"

#include <algorithm>
#include <cstring>

#include "fw/core/mem.h"

namespace {

void** classSlot = nullptr;

vobjectList* asList(vinstance* o) { return static_cast<vobjectList*>(o); }
vobjectAttributedClassRec* super() { return vobjectGetAttributedClass(); }

void allocate(vobjectList* l, int count, int capacity) {
  l->begin = static_cast<vobject**>(vmemAlloc(vmemArraySize(static_cast<std::size_t>(capacity), sizeof(vobject*))));
  l->end = l->begin + count;
  l->capacityEnd = l->begin + capacity;
}

// Grows the array to exactly capacity; the old array stays when that fails.
void reserve(vobjectList* l, int capacity) {
  int n = vobjectListCount(l);
  auto* grown =
      static_cast<vobject**>(vmemRealloc(l->begin, vmemArraySize(static_cast<std::size_t>(capacity), sizeof(vobject*))));
  l->begin = grown;
  l->end = grown + n;
  l->capacityEnd = grown + capacity;
}

void checkIndex(const vobjectList* l, int index) {
  if (index < 0 || index >= vobjectListCount(l)) _vexGenerate(&vexArgRangeClass, vexEnd);
}

int indexOrRaise(const vobjectList* l, const vobject* object) {
  int i = vobjectListIndexOf(l, object);
  if (i < 0) _vexGenerate(&vexArgClass, vexEnd);
  return i;
}

// An object stored twice is destroyed once.
void destroyElements(vobjectList* l) {
  for (vobject** p = l->begin; p != l->end; ++p)
    if (*p && std::find(l->begin, p, *p) == p) vinstanceDestroy(*p);
  l->end = l->begin;
}

void fillWithClones(vobjectList* to, const vobjectList* from) {
  vobject** out = to->begin;
  for (vobject** p = from->begin; p != from->end; ++p) *out++ = *p ? vobjectClone(*p) : nullptr;
  to->end = out;
}

void listInit(vinstance* self) {
  super()->init(self);
  allocate(asList(self), 0, 4);
}

void listDestroy(vinstance* self) {
  vobjectList* l = asList(self);
  destroyElements(l);
  vmemFree(l->begin);
  l->begin = l->end = l->capacityEnd = nullptr;
  super()->destroy(self);
}

void listCopy(vobject* source, vobject* destination) {
  if (source == destination) return;  // the clones would be of destroyed elements
  super()->copy(source, destination);
  vobjectList* from = asList(source);
  vobjectList* to = asList(destination);
  destroyElements(to);
  int n = vobjectListCount(from);
  if (n > vobjectListCapacity(to)) reserve(to, n);
  fillWithClones(to, from);
}

void listCopyInit(vobject* source, vobject* destination) {
  super()->copyInit(source, destination);
  vobjectList* from = asList(source);
  vobjectList* to = asList(destination);
  int n = vobjectListCount(from);
  allocate(to, 0, std::max(n, 4));
  fillWithClones(to, from);
}

void listLoadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vobjectList* l = asList(self);
  const vresourceInterface* r = vresourceGetInterface();
  vresource objects = 0;
  int n = 0;
  if (r->find(resource, vname_Objects, &objects) && r->type(objects) == vresARRAY) n = r->count(objects);
  allocate(l, 0, std::max(n, 4));
  for (int i = 0; i < n; ++i) {
    *l->end = vobjectLoad(r->element(objects, i));
    ++l->end;
  }
}

void listStore(vobject* self, vresource resource) {
  super()->store(self, resource);
  vobjectList* l = asList(self);
  const vresourceInterface* r = vresourceGetInterface();
  vresource objects = r->make(resource, vname_Objects, vresARRAY);
  for (vobject** p = l->begin; p != l->end; ++p) {
    vresource entry = r->append(objects, vresDICTIONARY);
    if (*p) vclassRec<vobjectClassRec>(*p)->store(*p, entry);
  }
}

vobjectAttributedClassRec* attributedOf(vobject* o) { return vobjectAttributedOf(o); }

void listForward(vobject* self, vname a, vdict* b) { vobjectListClassOf(asList(self))->send(self, a, b); }
void listSend(vobject* self, vname a, vdict* b) {
  vobjectList* l = asList(self);
  for (int i = 0; i < vobjectListCount(l); ++i)
    if (vobject* e = l->begin[i]) attributedOf(e)->reserved8(e, a, b);
}
void listNotify(vobject* self, vname key) {
  super()->notify(self, key);
  vobjectList* l = asList(self);
  for (int i = 0; i < vobjectListCount(l); ++i)
    if (vobject* e = l->begin[i]) attributedOf(e)->notify(e, key);
}
void listRefresh(vobject* self) {
  super()->refresh(self);
  vobjectList* l = asList(self);
  for (int i = 0; i < vobjectListCount(l); ++i)
    if (vobject* e = l->begin[i]) attributedOf(e)->refresh(e);
}

void listAppend(vobjectList* l, vobject* object) {
  if (l->end == l->capacityEnd) reserve(l, std::max(2 * vobjectListCapacity(l), 4));
  *l->end++ = object;
}

void listRemoveAt(vobjectList* l, int index) {
  checkIndex(l, index);
  vobject** at = l->begin + index;
  std::memmove(at, at + 1, static_cast<std::size_t>(l->end - at - 1) * sizeof(vobject*));
  --l->end;
}

void listSetAt(vobjectList* l, int index, vobject* object) {
  checkIndex(l, index);
  l->begin[index] = object;
}

void listMove(vobjectList* l, int from, int to) {
  checkIndex(l, from);
  checkIndex(l, to);
  vobject* moved = l->begin[from];
  if (from < to)
    std::memmove(l->begin + from, l->begin + from + 1, static_cast<std::size_t>(to - from) * sizeof(vobject*));
  else
    std::memmove(l->begin + to + 1, l->begin + to, static_cast<std::size_t>(from - to) * sizeof(vobject*));
  l->begin[to] = moved;
}

}  // namespace

vobjectListClassRec* vobjectListGetDefaultClass() {
  if (!*vmoduleSlot(classSlot)) {
    auto* c = vclassSpawnOf<vobjectListClassRec>(vobjectGetAttributedClass());
    vclassSetName(c, vscribeLiteral("vobjectList"));
    c->instanceSize = sizeof(vobjectList);
    c->init = listInit;
    c->destroy = listDestroy;
    c->copy = listCopy;
    c->copyInit = listCopyInit;
    c->loadInit = listLoadInit;
    c->store = listStore;
    c->reserved8 = listForward;
    c->send = listSend;
    c->notify = listNotify;
    c->refresh = listRefresh;
    c->append = listAppend;
    c->removeAt = listRemoveAt;
    c->setAt = listSetAt;
    c->move = listMove;
    *static_cast<vobjectListClassRec**>(vmoduleBindSlot(classSlot, sizeof(vobjectListClassRec*))) = c;
  }
  return *static_cast<vobjectListClassRec**>(*classSlot);
}

vobjectList* vobjectListCreate() { return asList(vinstanceCreate(vobjectListGetDefaultClass())); }

void vobjectListCopyInit(vobjectList* source, vobjectList* destination) {
  destination->cls = vobjectListGetDefaultClass();
  vobjectListGetDefaultClass()->copyInit(source, destination);
}

void _vobjectListCheckObjects(vresource resource, const vclass* expected) {
  const vresourceInterface* r = vresourceGetInterface();
  vresource objects = 0;
  if (!r->find(resource, vname_Objects, &objects) || r->type(objects) != vresARRAY) return;
  for (int i = 0, n = r->count(objects); i < n; ++i) _vobjectCheckResourceClass(r->element(objects, i), expected);
}

void vobjectListLoadInit(vobjectList* storage, vresource resource) {
  vname named;
  if (!vresourceTestGetTag(resource, vname_Class, &named)) {
    storage->cls = vobjectListGetDefaultClass();
    vobjectListGetDefaultClass()->loadInit(storage, resource);
  } else {
    _vobjectCheckResourceClass(resource, vobjectListGetDefaultClass(), sizeof(vobjectList));
    vobjectLoadInit(storage, resource);
  }
}

void vobjectListNotifyEach(vobjectList* list, vname kind, vdict* values) {
  for (int i = 0; i < vobjectListCount(list); ++i)
    if (vobject* e = list->begin[i]) vobjectOfferChange(e, kind, values);
}

void vobjectListInsertAt(vobjectList* list, vobject* object, int index) {
  // Checked first, so that a refused index leaves the list as it was.
  if (index < 0 || index > vobjectListCount(list)) _vexGenerate(&vexArgRangeClass, vexEnd);
  vobjectListAppend(list, object);
  vobjectListMove(list, vobjectListCount(list) - 1, index);
}

void vobjectListRemove(vobjectList* list, vobject* object) { vobjectListRemoveAt(list, indexOrRaise(list, object)); }

void vobjectListMoveTo(vobjectList* list, vobject* object, int index) {
  vobjectListMove(list, indexOrRaise(list, object), index);
}

void vobjectListClear(vobjectList* list) { list->end = list->begin; }

int vobjectListIndexOf(const vobjectList* list, const vobject* object) {
  for (vobject** p = list->begin; p != list->end; ++p)
    if (*p == object) return static_cast<int>(p - list->begin);
  return -1;
}

int vobjectListIndexOfTag(const vobjectList* list, vname tag) {
  for (vobject** p = list->begin; p != list->end; ++p)
    if (*p && (*p)->tag == tag) return static_cast<int>(p - list->begin);
  return -1;
}

vobject* vobjectListFindByTag(const vobjectList* list, vname tag) {
  int i = vobjectListIndexOfTag(list, tag);
  return i < 0 ? nullptr : list->begin[i];
}

vobject* _vobjectListFindByTagOfClass(const vobjectList* list, vname tag, const vclass* expected) {
  vobject* found = vobjectListFindByTag(list, tag);
  if (found && !vclassIsSubclass(found->cls, expected))
    _vexGenerate(&vexArgClass, vexSetMessage, "Resource file is damaged", vexEnd);
  return found;
}

std::intptr_t vobjectListGetParallelEntry(const vobjectList* list, const vobject* object, const vobjectList* parallel) {
  if (!object) return 0;
  int i = indexOrRaise(list, object);
  if (i >= vobjectListCount(parallel)) _vexGenerate(&vexArgRangeClass, vexEnd);
  return reinterpret_cast<std::intptr_t>(parallel->begin[i]);
}
