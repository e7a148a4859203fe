// A preference dictionary seen as a dictionary scrap: local changes kept
// in the scrap, everything else read through the preference dictionary.
#include "fw/data/pref.h"
#include "fw/data/pref_internal.h"
#include "fw/data/scrap.h"
#include "fw/data/vresource.h"

namespace {

struct DictScrap : vinstance {
  vdict local;  // key -> scrap, or the removal mark
  vprefDict* dict;  // a counted reference, or null once cleared
  vinstance* resourceScrap;  // of the dictionary's top resource, made once
};

struct DictScrapIterator : vscrapIterator {
  vdict* local;
  vdictIterator entries;
  vprefDictIterator walk;
  int phase;  // 0 not started, 1 local entries, 2 the dictionary's walk, 3 ended
};

struct Classes {
  vscrapDictionaryClassRec* scrap;
  vscrapDictionaryIteratorClassRec* iterator;
};
void** slot = nullptr;

char removalMark;
vinstance* const kRemoved = reinterpret_cast<vinstance*>(&removalMark);

DictScrap* self(vscrap* w) { return static_cast<DictScrap*>(w->stack[w->depth]); }

void destroyLocal(vinstance* e) {
  if (e && e != kRemoved) vinstanceDestroy(e);
}

void emptyLocal(DictScrap* s) {
  vdictIterator it;
  vdictInitIterator(&it, &s->local);
  while (vdictNextIterator(&it)) destroyLocal(static_cast<vinstance*>(vdictIteratorValue(&it)));
  vdictFinish(&s->local);
}

vinstance* scrapGet(vscrap* w, vname key) {
  DictScrap* s = self(w);
  if (vdictHas(&s->local, key)) {
    auto* e = static_cast<vinstance*>(vdictGet(&s->local, key));
    return e && e != kRemoved ? vscrapCreateReference(e) : nullptr;
  }
  if (!s->dict) return nullptr;
  vpref* entry = vprefDictGet(s->dict, key);
  if (!entry) return nullptr;
  vinstance* result = nullptr;
  vexGuard([&] { result = vclassRec<vprefClassRec>(entry)->getScrap(entry); },
           [&](vexHandler&) {
             vprefRelease(entry);
             _vexGenerate(nullptr, vexEnd);
           });
  vprefRelease(entry);
  return result;
}

void store(DictScrap* s, vname key, vinstance* value) {
  destroyLocal(static_cast<vinstance*>(vdictGet(&s->local, key)));
  vdictStore(&s->local, key, value);
}

void scrapSet(vscrap* w, vname key, vinstance* element) { store(self(w), key, vscrapMakeTypeable(element)); }
void scrapRemove(vscrap* w, vname key) { store(self(w), key, kRemoved); }

void dropResourceScrap(DictScrap* s) {
  if (s->resourceScrap) vinstanceDestroy(s->resourceScrap);
  s->resourceScrap = nullptr;
}

// An untouched dictionary reads as its resource: the resource's scrap is
// the first delegate while nothing was changed here or in the dictionary.
vinstance* nextDelegate(vinstance* o, vinstance* previous, int) {
  auto* s = static_cast<DictScrap*>(o);
  if (previous || vdictCount(&s->local) || !s->dict || !(s->dict->flags & vprefDICT_UNMODIFIED) ||
      !s->dict->stackCount)
    return nullptr;
  if (!s->resourceScrap) s->resourceScrap = vresourceGetObject(s->dict->stack[s->dict->stackCount - 1], nullptr);
  return s->resourceScrap;
}

void scrapClear(vscrap* w) {
  DictScrap* s = self(w);
  dropResourceScrap(s);
  emptyLocal(s);
  vdictInit(&s->local, vdictHashName);
  vprefRelease(s->dict);
  s->dict = nullptr;
}

void iteratorStart(vscrapIterator* it, vscrap* scrap) {
  auto* d = static_cast<DictScrapIterator*>(it);
  vdelegatorCopyIterator(&it->walk, scrap);
  vdelegatorFindClass(&it->walk, vscrapGetDictionaryClass());
  DictScrap* s = self(&it->walk);
  d->local = &s->local;
  vdictInitIterator(&d->entries, &s->local);
  vprefDictFinishIterator(&d->walk);
  if (s->dict) vprefDictInitIterator(&d->walk, s->dict);
  d->phase = 1;
}

int iteratorNext(vscrapIterator* it) {
  auto* d = static_cast<DictScrapIterator*>(it);
  if (d->phase == 1) {
    while (vdictNextIterator(&d->entries))
      if (vdictIteratorValue(&d->entries) != kRemoved) return 1;
    d->phase = d->walk.keys ? 2 : 3;
  }
  if (d->phase == 2) {
    while (vprefDictNextIterator(&d->walk))
      if (!vdictHas(d->local, vprefDictIteratorKey(&d->walk))) return 1;
    d->phase = 3;
  }
  return 0;
}

vname iteratorKey(vscrapIterator* it) {
  auto* d = static_cast<DictScrapIterator*>(it);
  if (d->phase == 1) return static_cast<vname>(vdictIteratorKey(&d->entries));
  if (d->phase == 2) return vprefDictIteratorKey(&d->walk);
  vexGenerateMessage(&vexArgClass, "Iteration complete.");
}

vinstance* iteratorElement(vscrapIterator* it) {
  vname key = iteratorKey(it);
  return scrapGet(&it->walk, key);
}

void iteratorFinish(vscrapIterator* it) {
  auto* d = static_cast<DictScrapIterator*>(it);
  vprefDictFinishIterator(&d->walk);
  d->phase = 3;
}

Classes& classes() {
  if (!*vmoduleSlot(slot)) {
    auto* iter = vclassSpawnOf<vscrapDictionaryIteratorClassRec>(vscrapGetDictionaryIteratorClass());
    vclassSetName(iter, vscribeLiteral("vprefDictScrapIterator"));
    iter->instanceSize = sizeof(DictScrapIterator);
    iter->init = [](vinstance* o) {
      vscrapGetIteratorClass()->init(o);
      auto* d = static_cast<DictScrapIterator*>(o);
      d->walk.keys = nullptr;
      d->phase = 0;
    };
    iter->destroy = [](vinstance* o) {
      vprefDictFinishIterator(&static_cast<DictScrapIterator*>(o)->walk);
      vscrapGetIteratorClass()->destroy(o);
    };
    iter->start = iteratorStart;
    iter->next = iteratorNext;
    iter->finish = iteratorFinish;
    iter->currentElement = iteratorElement;
    iter->currentKey = iteratorKey;
    auto* cls = vclassSpawnOf<vscrapDictionaryClassRec>(vscrapGetDictionaryClass());
    vclassSetName(cls, vscribeLiteral("vprefDictScrap"));
    cls->instanceSize = sizeof(DictScrap);
    cls->init = [](vinstance* o) {
      auto* s = static_cast<DictScrap*>(o);
      vdictInit(&s->local, vdictHashName);
      s->dict = nullptr;
      s->resourceScrap = nullptr;
    };
    cls->destroy = [](vinstance* o) {
      auto* s = static_cast<DictScrap*>(o);
      dropResourceScrap(s);
      emptyLocal(s);
      vprefRelease(s->dict);
      vinstanceGetDefaultClass()->destroy(o);
    };
    cls->nextDelegate = nextDelegate;
    cls->iteratorClass = iter;
    cls->clear = scrapClear;
    cls->get = scrapGet;
    cls->set = scrapSet;
    cls->remove = scrapRemove;
    *static_cast<Classes*>(vmoduleBindSlot(slot, sizeof(Classes))) = {cls, iter};
  }
  return *static_cast<Classes*>(*slot);
}

}  // namespace

vinstance* prefCreateDictScrap(vprefDict* dict) {
  auto* s = static_cast<DictScrap*>(vinstanceCreate(classes().scrap));
  ++dict->refCount;
  s->dict = dict;
  return s;
}

