// The value delegates of dictionary and array resources: element objects
// for items, imports into them for sets, and a dictionary iterator over
// the entries in tag order.
#include "fw/data/resfile.h"

namespace {

vres* served(vscrap* w) { return static_cast<vres*>(w->stack[w->depth - 1]); }
vresFile* fileOf(vres* o) { return reinterpret_cast<vresFile*>(o->store); }

// The given element is consumed, also when the import fails.
void importInto(vinstance* element, vres* target) {
  vexGuard([&] { vscrapImport(vscrapWalk(element), vscrapWalk(target)); },
           [&](vexHandler&) {
             vinstanceDestroy(element);
             vinstanceDestroy(target);
             _vexGenerate(nullptr);
           });
  vinstanceDestroy(element);
  vinstanceDestroy(target);
}

struct EntryIterator : vscrapIterator {
  std::int32_t index;
  std::int32_t count;
};
vres* iterated(vscrapIterator* it) { return static_cast<vres*>(it->walk.stack[it->walk.depth - 1]); }

}  // namespace

void _vresWireCompoundDelegates() {
  auto* array = static_cast<vscrapArrayClassRec*>(vresGetAdaptorClass(vresARRAY));
  array->getCount = [](vscrap* w) { return vresArrayCount(served(w)); };
  array->setCount = [](vscrap* w, std::int32_t n) { vresArraySetCount(served(w), n); };
  array->getElement = [](vscrap* w, std::int32_t i) -> vinstance* {
    vres* o = served(w);
    return vresMakeArrayElement(fileOf(o), vresArrayRow(o), i);
  };
  array->setElement = [](vscrap* w, std::int32_t i, vinstance* element) {
    vres* o = served(w);
    vresArrayElement* target = nullptr;
    vexGuard([&] { target = vresMakeArrayElement(fileOf(o), vresArrayRow(o), i); },
             [&](vexHandler&) {
               vinstanceDestroy(element);
               _vexGenerate(nullptr);
             });
    importInto(element, target);
  };

  auto* iter = vclassSpawnOf<vscrapDictionaryIteratorClassRec>(vscrapGetDictionaryIteratorClass());
  vclassSetName(iter, vscribeLiteral("vresDictionaryIterator"));
  iter->instanceSize = sizeof(EntryIterator);
  iter->start = [](vscrapIterator* it, vscrap* scrap) {
    vscrapGetIteratorClass()->start(it, scrap);
    vdelegatorFindClass(&it->walk, vresGetAdaptorClass(vresDICTIONARY));
    auto* e = static_cast<EntryIterator*>(it);
    e->index = -1;
    e->count = vresDictCount(iterated(it));
  };
  iter->next = [](vscrapIterator* it) {
    auto* e = static_cast<EntryIterator*>(it);
    if (e->index < e->count) ++e->index;
    return e->index < e->count ? 1 : 0;
  };
  iter->currentKey = [](vscrapIterator* it) { return vresDictTagAt(iterated(it), static_cast<EntryIterator*>(it)->index); };
  iter->currentElement = [](vscrapIterator* it) -> vinstance* {
    vres* o = iterated(it);
    return vresMakeDictElement(fileOf(o), vresDictRow(o), vresDictTagAt(o, static_cast<EntryIterator*>(it)->index));
  };

  auto* dict = static_cast<vscrapDictionaryClassRec*>(vresGetAdaptorClass(vresDICTIONARY));
  dict->iteratorClass = iter;
  dict->clear = [](vscrap* w) { vresDictClear(served(w)); };
  dict->get = [](vscrap* w, vname key) -> vinstance* {
    vres* o = served(w);
    return vresDictHas(o, key) ? vresMakeDictElement(fileOf(o), vresDictRow(o), key) : nullptr;
  };
  dict->set = [](vscrap* w, vname key, vinstance* element) {
    vres* o = served(w);
    vresDictElement* target = nullptr;
    vexGuard(
        [&] {
          vresDictMakeEntry(o, key, vresUNTYPED);
          target = vresMakeDictElement(fileOf(o), vresDictRow(o), key);
        },
        [&](vexHandler&) {
          vinstanceDestroy(element);
          _vexGenerate(nullptr);
        });
    importInto(element, target);
  };
  dict->remove = [](vscrap* w, vname key) {
    vres* o = served(w);
    vresDictElement* entry = vresMakeDictElement(fileOf(o), vresDictRow(o), key);
    vclassRec<vresClassRec>(entry)->remove(entry);
  };
}
