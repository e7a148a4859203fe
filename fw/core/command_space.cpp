// The command-space class and the look-ups over spaces.
#include <cstring>

#include "fw/core/attributed.h"
#include "fw/core/command.h"

namespace {

vcommandSpaceClassRec* spaceClass() { return vcommandSpaceGetDefaultClass(); }
vcommandSpace* space(vobject* o) { return static_cast<vcommandSpace*>(o); }

template <class T>
void growVector(T*& begin, T*& end, T*& cap, T* inlineStorage) {
  std::size_t n = static_cast<std::size_t>(end - begin);
  std::size_t size = vmemArraySize(n * 2, sizeof(T));
  T* grown = static_cast<T*>(vmemAlloc(size));
  std::memcpy(static_cast<void*>(grown), begin, n * sizeof(T));
  if (begin != inlineStorage) vmemFree(begin);
  begin = grown;
  end = grown + n;
  cap = grown + n * 2;
}

void resetVectors(vcommandSpace* s) {
  s->observersBegin = s->observersEnd = s->observersInline;
  s->observersCap = s->observersInline + 2;
  s->entriesBegin = s->entriesEnd = s->entriesInline;
  s->entriesCap = s->entriesInline + 4;
}

bool isObserver(const vcommandSpace* s, const vobject* o) {
  for (vobject** p = s->observersBegin; p != s->observersEnd; ++p)
    if (*p == o) return true;
  return false;
}

// A copy of the observers: an observer told of a change may detach itself
// or others, and is then not told again.
template <class F>
void forEachObserver(vcommandSpace* s, F tell) {
  std::size_t n = static_cast<std::size_t>(s->observersEnd - s->observersBegin);
  if (n == 0) return;
  auto** copy = static_cast<vobject**>(vmemAlloc(n * sizeof(vobject*)));
  std::memcpy(copy, s->observersBegin, n * sizeof(vobject*));
  for (std::size_t i = 0; i < n; ++i)
    if (isObserver(s, copy[i])) tell(copy[i]);
  vmemFree(copy);
}

bool attributed(vobject* o) { return vclassIsSubclass(o->cls, vobjectGetAttributedClass()); }

void notify(vobject* observer, vname kind, vdict* dict) {
  if (attributed(observer)) vobjectAttributedOf(observer)->setAttributeByTag(observer, kind, dict);
}

// The values an observer now finds for the keys of a leaving dictionary.
void reResolve(vobject* observer, vname kind, vdict* leaving, const vdict* excluded) {
  if (!attributed(observer)) return;
  vdict found;
  vdictInit(&found, vdictHashName);
  bool visited = false;
  vdictIterator it;
  vdictInitIterator(&it, leaving);
  while (vdictNextIterator(&it)) {
    auto key = static_cast<vname>(vdictIteratorKey(&it));
    if (excluded && vdictHas(excluded, key)) continue;
    visited = true;
    vdictStore(&found, key, vobjectAttributedOf(observer)->findCommand(observer, kind, key));
  }
  if (visited) notify(observer, kind, &found);
  vdictFinish(&found);
}

void releaseDict(vname kind, vdict* dict) {
  if (const vcommandAttributeHandler* h = vcommandGetAttributeHandler(kind)) {
    vdictIterator it;
    vdictInitIterator(&it, dict);
    while (vdictNextIterator(&it)) h->destroy(vdictIteratorValue(&it));
  }
  vdictDestroy(dict);
}

vdict* deepCopy(vname kind, vdict* dict) {
  vdict* copy = vdictCopy(dict);
  if (const vcommandAttributeHandler* h = vcommandGetAttributeHandler(kind)) {
    vdictIterator it;
    vdictInitIterator(&it, copy);
    while (vdictNextIterator(&it)) vdictStore(copy, vdictIteratorKey(&it), h->copy(vdictIteratorValue(&it)));
  }
  return copy;
}

void appendEntry(vcommandSpace* s, vcommandSpaceEntry e) {
  if (s->entriesEnd == s->entriesCap) growVector(s->entriesBegin, s->entriesEnd, s->entriesCap, s->entriesInline);
  *s->entriesEnd++ = e;
}

vcommandSpaceEntry* findEntry(vcommandSpace* s, vname kind, vdict* dict) {
  for (vcommandSpaceEntry* e = s->entriesBegin; e != s->entriesEnd; ++e)
    if (e->kind == kind && e->dict == dict) return e;
  return nullptr;
}

void copyEntriesFrom(vcommandSpace* to, const vcommandSpace* from) {
  for (const vcommandSpaceEntry* e = from->entriesBegin; e != from->entriesEnd; ++e)
    appendEntry(to, {e->kind, (e->flags & vcommandSpaceOWNED) ? deepCopy(e->kind, e->dict) : e->dict, e->flags});
}

// Slots.
void spaceInit(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  resetVectors(space(static_cast<vobject*>(self)));
}

void spaceDestroy(vinstance* self) {
  vcommandSpace* s = space(static_cast<vobject*>(self));
  for (vcommandSpaceEntry* e = s->entriesBegin; e != s->entriesEnd; ++e)
    if (e->flags & vcommandSpaceOWNED) releaseDict(e->kind, e->dict);
  if (s->entriesBegin != s->entriesInline) vmemFree(s->entriesBegin);
  if (s->observersBegin != s->observersInline) vmemFree(s->observersBegin);
  resetVectors(s);
  vobjectGetDefaultClass()->destroy(self);
}

void spaceCopy(vobject* source, vobject* destination) {
  // Into itself: releasing the destination's dictionaries would release
  // what is to be copied.
  if (source == destination) return;
  vobjectGetDefaultClass()->copy(source, destination);
  vcommandSpace* to = space(destination);
  std::size_t n = static_cast<std::size_t>(to->entriesEnd - to->entriesBegin);
  auto* old = static_cast<vcommandSpaceEntry*>(vmemAlloc(vmemArraySize(n ? n : 1, sizeof(vcommandSpaceEntry))));
  std::memcpy(static_cast<void*>(old), to->entriesBegin, n * sizeof(vcommandSpaceEntry));
  if (to->entriesBegin != to->entriesInline) vmemFree(to->entriesBegin);
  to->entriesBegin = to->entriesEnd = to->entriesInline;
  to->entriesCap = to->entriesInline + 4;
  for (std::size_t i = 0; i < n; ++i) {
    forEachObserver(to, [&](vobject* o) { reResolve(o, old[i].kind, old[i].dict, nullptr); });
    if (old[i].flags & vcommandSpaceOWNED) releaseDict(old[i].kind, old[i].dict);
  }
  vmemFree(old);
  copyEntriesFrom(to, space(source));
  for (vcommandSpaceEntry* e = to->entriesBegin; e != to->entriesEnd; ++e) {
    vname kind = e->kind;
    vdict* dict = e->dict;
    forEachObserver(to, [&](vobject* o) { notify(o, kind, dict); });
  }
}

void spaceCopyInit(vobject* source, vobject* destination) {
  vobjectGetDefaultClass()->copyInit(source, destination);
  resetVectors(space(destination));
  copyEntriesFrom(space(destination), space(source));
}

void spaceLoadInit(vobject* self, vresource r) {
  const vresourceInterface* io = vresourceGetInterface();
  // A bare array of entries carries no tag.
  if (io->type(r) == vresDICTIONARY)
    vobjectGetDefaultClass()->loadInit(self, r);
  else
    self->tag = nullptr;
  vcommandSpace* s = space(self);
  resetVectors(s);
  vresource list = r;
  if (io->type(r) == vresDICTIONARY && !io->find(r, vname_Dictionary, &list)) return;
  if (io->type(list) != vresARRAY) vexGenerateMessage(&vexArgClass, "command space entries are not an array");
  int n = vresourceCount(list, INT16_MAX);
  for (int i = 0; i < n; ++i) {
    vresource element = io->element(list, i);
    vname kind;
    vresource values;
    if (io->type(element) != vresDICTIONARY || !vresourceTestGetTag(element, vname_Attribute, &kind) ||
        !io->find(element, vname_Dictionary, &values) || io->type(values) != vresDICTIONARY)
      vexGenerateMessage(&vexArgClass, "command space entry without attribute or dictionary");
    vdict* dict = vdictCreate(vdictHashName);
    appendEntry(s, {kind, dict, vcommandSpaceOWNED});
    const vcommandAttributeHandler* h = vcommandGetAttributeHandler(kind);
    if (!h) continue;
    int m = vresourceCount(values, INT32_MAX);
    for (int k = 0; k < m; ++k) vdictStore(dict, io->entryName(values, k), h->load(io->element(values, k)));
  }
}

void spaceStore(vobject* self, vresource r) {
  vobjectGetDefaultClass()->store(self, r);
  const vresourceInterface* io = vresourceGetInterface();
  vresourceSetTagAt(r, vname_Type, vnameInternLiteral("vcommandSpace"));
  vresource list = io->make(r, vname_Dictionary, vresARRAY);
  vcommandSpace* s = space(self);
  for (vcommandSpaceEntry* e = s->entriesBegin; e != s->entriesEnd; ++e) {
    if (!(e->flags & vcommandSpaceOWNED)) continue;
    vresource element = io->append(list, vresDICTIONARY);
    vresourceSetTagAt(element, vname_Attribute, e->kind);
    vresource values = io->make(element, vname_Dictionary, vresDICTIONARY);
    const vcommandAttributeHandler* h = vcommandGetAttributeHandler(e->kind);
    if (!h) continue;
    vdictIterator it;
    vdictInitIterator(&it, e->dict);
    while (vdictNextIterator(&it)) h->store(vdictIteratorValue(&it), values, static_cast<vname>(vdictIteratorKey(&it)));
  }
}

void addObserver(vcommandSpace* s, vobject* o) {
  if (s->observersEnd == s->observersCap)
    growVector(s->observersBegin, s->observersEnd, s->observersCap, s->observersInline);
  *s->observersEnd++ = o;
}

void removeObserver(vcommandSpace* s, vobject* o) {
  for (vobject** p = s->observersBegin; p != s->observersEnd; ++p)
    if (*p == o) {
      *p = *--s->observersEnd;
      return;
    }
  vexGenerateMessage(&vexArgClass, "object is not attached to the command space");
}

void addDict(vcommandSpace* s, vname kind, vdict* dict) {
  appendEntry(s, {kind, dict, 0});
  forEachObserver(s, [&](vobject* o) { notify(o, kind, dict); });
}

void removeDict(vcommandSpace* s, vname kind, vdict* dict) {
  vcommandSpaceEntry* e = findEntry(s, kind, dict);
  if (!e) vexGenerateMessage(&vexArgClass, "dictionary is not in the command space");
  std::uint16_t flags = e->flags;
  *e = *--s->entriesEnd;
  forEachObserver(s, [&](vobject* o) { reResolve(o, kind, dict, nullptr); });
  if (flags & vcommandSpaceOWNED) releaseDict(kind, dict);
}

void replaceDict(vcommandSpace* s, vname kind, vdict* old, vdict* replacement) {
  vcommandSpaceEntry* e = findEntry(s, kind, old);
  if (!e) vexGenerateMessage(&vexArgClass, "dictionary is not in the command space");
  bool owned = e->flags & vcommandSpaceOWNED;
  e->flags = static_cast<std::uint16_t>(e->flags & ~vcommandSpaceOWNED);
  if (replacement == old) return;
  e->dict = replacement;
  forEachObserver(s, [&](vobject* o) {
    reResolve(o, kind, old, replacement);
    if (isObserver(s, o)) notify(o, kind, replacement);
  });
  if (owned) releaseDict(kind, old);
}

}  // namespace

void _vcommandBuildSpaceClass(vcommandSpaceClassRec** out) {
  auto* c = vclassSpawnOf<vcommandSpaceClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vcommandSpace"));
  c->instanceSize = sizeof(vcommandSpace);
  c->init = spaceInit;
  c->destroy = spaceDestroy;
  c->copy = spaceCopy;
  c->copyInit = spaceCopyInit;
  c->loadInit = spaceLoadInit;
  c->store = spaceStore;
  c->addObserver = addObserver;
  c->removeObserver = removeObserver;
  c->addDict = addDict;
  c->removeDict = removeDict;
  c->replaceDict = replaceDict;
  *out = c;
}

vcommandSpace* vcommandSpaceCreate() { return space(static_cast<vobject*>(vinstanceCreate(spaceClass()))); }

void vcommandSpaceAttach(vcommandSpace* s, vobject* o) { vclassRec<vcommandSpaceClassRec>(s)->addObserver(s, o); }
void vcommandSpaceDetach(vcommandSpace* s, vobject* o) { vclassRec<vcommandSpaceClassRec>(s)->removeObserver(s, o); }

void vcommandSpaceAddDict(vcommandSpace* s, vname kind, vdict* dict) {
  vclassRec<vcommandSpaceClassRec>(s)->addDict(s, kind, dict);
  s->entriesEnd[-1].flags |= vcommandSpaceOWNED;
}

void vcommandSpaceCopyInit(vcommandSpace* source, vcommandSpace* destination) {
  destination->cls = spaceClass();
  spaceClass()->copyInit(source, destination);
}

namespace {
// Only a dictionary can name a class; a bare array of entries never does.
bool namesClass(vresource r) {
  vname cls;
  return vresourceGetInterface()->type(r) == vresDICTIONARY && vresourceTestGetTag(r, vname_Class, &cls);
}
}  // namespace

void vcommandSpaceLoadInit(vcommandSpace* storage, vresource r) {
  vcommandStartup();
  if (namesClass(r)) {
    _vobjectCheckResourceClass(r, spaceClass(), sizeof(vcommandSpace));
    return vobjectLoadInit(storage, r);
  }
  storage->cls = spaceClass();
  spaceClass()->loadInit(storage, r);
}

vcommandSpace* vcommandSpaceLoad(vresource r) {
  vcommandStartup();
  if (namesClass(r)) return space(_vobjectLoadOfClass(r, spaceClass()));
  auto* s = static_cast<vcommandSpace*>(vclassAllocInstance(spaceClass()));
  vcommandSpaceLoadInit(s, r);
  return s;
}

const void* vcommandSpaceGetAttribute(const vcommandSpace* s, vname kind, vname key) {
  for (const vcommandSpaceEntry* e = s->entriesBegin; e != s->entriesEnd; ++e)
    if (e->kind == kind)
      if (const void* v = vdictGet(e->dict, key)) return v;
  return nullptr;
}

void vcommandSpaceGetAttributes(const vcommandSpace* s, vname key, vdict* result) {
  for (const vcommandSpaceEntry* e = s->entriesBegin; e != s->entriesEnd; ++e)
    if (vdictHas(e->dict, key)) vdictStore(result, e->kind, vdictGet(e->dict, key));
}

vdict* _vcommandSpaceDictMinus(vdict* d, const vdict* e) {
  vdict* copy = nullptr;
  vdictIterator it;
  vdictInitIterator(&it, d);
  while (vdictNextIterator(&it)) {
    const void* key = vdictIteratorKey(&it);
    if (!vdictGet(e, key)) continue;
    if (!copy) copy = vdictCopy(d);
    vdictRemove(copy, key);
  }
  return copy ? copy : d;
}

vdict* vcommandSpaceRemoveDefined(const vcommandSpace* s, vname kind, vdict* dict) {
  vdict* current = dict;
  for (const vcommandSpaceEntry* e = s->entriesBegin; e != s->entriesEnd; ++e) {
    if (e->kind != kind && e->kind != vname_Command) continue;
    vdict* next = _vcommandSpaceDictMinus(current, e->dict);
    if (next != current && current != dict) vdictDestroy(current);
    current = next;
  }
  return current;
}

void _vcommandSpaceVisitDict(vdict* keyDict, vdict* keyBindings) {
  vdictIterator it;
  vdictInitIterator(&it, keyDict);
  while (vdictNextIterator(&it))
    vcommandMapKeys(static_cast<const vcommandKeyList*>(vdictIteratorValue(&it)), static_cast<vname>(vdictIteratorKey(&it)),
                    keyBindings);
}

void vcommandSpaceVisitKeys(const vcommandSpace* s, vdict* keyBindings) {
  for (const vcommandSpaceEntry* e = s->entriesBegin; e != s->entriesEnd; ++e)
    if (e->kind == vname_Key) _vcommandSpaceVisitDict(e->dict, keyBindings);
}

void vcommandSpaceInitAttachedIterator(vcommandSpaceIterator* it, vcommandSpace* s) {
  it->cursor = s->observersEnd;
  it->lower = s->observersBegin;
}

vobject* vcommandSpaceNextAttached(vcommandSpaceIterator* it) {
  auto* p = static_cast<vobject**>(it->cursor);
  if (p == it->lower) return nullptr;
  it->cursor = --p;
  return *p;
}

void vcommandSpaceInitEntryIterator(vcommandSpaceIterator* it, vcommandSpace* s) {
  it->cursor = s->entriesEnd;
  it->lower = s->entriesBegin;
}

vcommandSpaceEntry* vcommandSpaceNextEntry(vcommandSpaceIterator* it) {
  auto* p = static_cast<vcommandSpaceEntry*>(it->cursor);
  if (p == it->lower) return nullptr;
  it->cursor = --p;
  return p;
}
