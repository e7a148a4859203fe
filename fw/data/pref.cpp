// Preference objects: values and dictionaries, the get/set/push rules,
// the key walk and the string forms.
#include <cstring>
#include <string>

#include "fw/core/mem.h"
#include "fw/data/num.h"
#include "fw/data/pref.h"
#include "fw/data/pref_internal.h"
#include "fw/data/scrap.h"
#include "fw/data/vresource.h"
#include "fw/data/vresource_internal.h"

namespace {

struct Classes {
  vprefClassRec* pref;
  vprefClassRec* value;
  vprefClassRec* backedValue;  // a resource child's value, removed from its owner's cache when destroyed
  vprefDictClassRec* dict;
  vprefDictClassRec* subDict;  // a resource child's dictionary, likewise
  vprefDictObserverClassRec* observer;
};
// Built once per module context, as the classes they spawn from are.
void** classSlot = nullptr;
Classes& classesNow();

// A value made for a resource child that is not a dictionary.
struct BackedValue : vprefValue {
  vprefDict* owner;
  vname key;
};

vprefClassRec* rec(vpref* p) { return vclassRec<vprefClassRec>(p); }
vprefDictClassRec* dictRec(vprefDict* d) { return vclassRec<vprefDictClassRec>(d); }

void retain(vpref* p) { ++p->refCount; }

// Removes entry from dict's cache when the cache still maps key to it.
void uncache(vprefDict* owner, vname key, vpref* entry) {
  if (owner && key && vdictGet(owner->cache, key) == entry) vdictRemove(owner->cache, key);
}

void unlink(vpref* entry) {
  if (!entry) return;
  if (vclassIsSubclass(entry->cls, classesNow().dict)) static_cast<vprefDict*>(entry)->parent = nullptr;
  if (entry->cls == classesNow().backedValue) static_cast<BackedValue*>(entry)->owner = nullptr;
}

// ---- vpref
void prefInit(vinstance* self) {
  auto* p = static_cast<vpref*>(self);
  p->refCount = 1;
  p->flags = 0;
}
void prefRelease(vpref* self) {
  if (--self->refCount <= 0) vinstanceDestroy(self);
}
void prefNothing(vpref*, vresource) {}
vinstance* prefNoScrap(vpref*) { return nullptr; }

// ---- vprefValue
void valueInit(vinstance* self) {
  prefInit(self);
  auto* v = static_cast<vprefValue*>(self);
  v->scrap = nullptr;
  v->resource = 0;
  v->hasResource = 0;
  v->resourceTag = nullptr;
}
void valueDestroy(vinstance* self) {
  auto* v = static_cast<vprefValue*>(self);
  if (v->scrap) vinstanceDestroy(v->scrap);
  vinstanceGetDefaultClass()->destroy(self);
}
void valueLoad(vpref* self, vresource r) {
  auto* v = static_cast<vprefValue*>(self);
  if (v->flags & vprefVALUE_SET) vexGenerateMessage(&vexArgClass, "Preference Value already set.");
  v->resource = r;
  v->hasResource = 1;
  v->flags |= vprefVALUE_SET | vprefVALUE_FROM_RESOURCE;
}
// The tag under which r's parent holds it.
vname tagOfResource(vresource r) {
  vresource parent = vresourceGetParent(r);
  for (std::int32_t i = vresourceCount(parent) - 1; i >= 0; --i) {
    vname tag = nullptr;
    if (vresourceGetTagAt(parent, i, &tag) == r) return tag;
  }
  return nullptr;
}

void valueStore(vpref* self, vresource r) {
  auto* v = static_cast<vprefValue*>(self);
  if (!(v->flags & vprefVALUE_SET)) vexGenerateMessage(&vexArgClass, "Preference Value not set.");
  if (v->hasResource) {
    vresourceCopyContents(vprefValueResource(v), r);
  } else if (v->scrap && vdelegatorIsKindOf(v->scrap, vscrapGetStringClass())) {
    vstr* text = vstrCloneScribed(vscrapGetString(vscrapWalk(v->scrap)), nullptr);
    vresourceSetStringSized(r, nullptr, text, vstrGetLength(text));
    vstrDestroy(text);
  } else if (v->scrap && vdelegatorIsKindOf(v->scrap, vscrapGetArrayClass())) {
    // An array of strings (the options' arrays), element by element.
    vscrap walk = vscrapWalk(v->scrap);
    std::int32_t n = vscrapGetArrayCount(walk);
    vresource parent = vresourceGetParent(r);
    vname tag = tagOfResource(r);
    vresource array = vresourceCreateArray(parent, tag, vresSTRING, n);
    for (std::int32_t i = 0; i < n; ++i) {
      vinstance* element = vscrapGetArrayElement(walk, i);
      vstr* text = vstrCloneScribed(vscrapGetString(vscrapWalk(element)), nullptr);
      vinstanceDestroy(element);
      vresourceSetAtStringSized(array, i, text, vstrGetLength(text));
      vstrDestroy(text);
    }
  } else if (v->scrap) {
    vresourceSetScrap(r, nullptr, vscrapWalk(v->scrap));
  }
}
vinstance* valueScrap(vpref* self) {
  auto* v = static_cast<vprefValue*>(self);
  if (!(v->flags & vprefVALUE_SET)) vexGenerateMessage(&vexArgClass, "Preference Value not set.");
  if (v->scrap) return vscrapCreateReference(v->scrap);
  return v->hasResource ? vresourceGetObject(v->resource, v->resourceTag) : nullptr;
}
void backedDestroy(vinstance* self) {
  auto* v = static_cast<BackedValue*>(self);
  uncache(v->owner, v->key, v);
  valueDestroy(self);
}

// ---- vprefDict
void dictInit(vinstance* self) {
  prefInit(self);
  auto* d = static_cast<vprefDict*>(self);
  d->parent = nullptr;
  d->key = nullptr;
  d->ownResource = 0;
  d->cache = vdictCreate(vdictHashName);
  d->set = vdictCreate(vdictHashName);
  d->stack = nullptr;
  d->stackCount = d->stackCapacity = 0;
  d->observers = nullptr;
  d->observerCount = d->observerCapacity = 0;
}

// The entries of a dictionary, copied out so that the walk may change it.
struct Entries {
  vname keys[64];
  vpref* values[64];
  vname* moreKeys = nullptr;
  vpref** moreValues = nullptr;
  std::size_t count = 0;
  explicit Entries(vdict* d) {
    std::size_t n = vdictCount(d);
    vname* k = keys;
    vpref** v = values;
    if (n > 64) {
      k = moreKeys = static_cast<vname*>(vmemAlloc(vmemArraySize(n, sizeof(vname))));
      v = moreValues = static_cast<vpref**>(vmemAlloc(vmemArraySize(n, sizeof(vpref*))));
    }
    vdictIterator it;
    vdictInitIterator(&it, d);
    while (vdictNextIterator(&it)) {
      k[count] = static_cast<vname>(vdictIteratorKey(&it));
      v[count++] = static_cast<vpref*>(vdictIteratorValue(&it));
    }
  }
  ~Entries() {
    vmemFree(moreKeys);
    vmemFree(moreValues);
  }
  vname key(std::size_t i) const { return moreKeys ? moreKeys[i] : keys[i]; }
  vpref* value(std::size_t i) const { return moreValues ? moreValues[i] : values[i]; }
};

void dictDestroy(vinstance* self) {
  auto* d = static_cast<vprefDict*>(self);
  bool all = d->flags & vprefDICT_DESTROY_CHILDREN;
  {
    Entries cached(d->cache);
    for (std::size_t i = 0; i < cached.count; ++i) unlink(cached.value(i));
    vdictDestroy(d->cache);
    d->cache = nullptr;
    for (std::size_t i = 0; i < cached.count; ++i)
      if (all) vinstanceDestroy(cached.value(i));
  }
  {
    Entries set(d->set);
    vdictDestroy(d->set);
    d->set = nullptr;
    for (std::size_t i = 0; i < set.count; ++i) {
      vpref* e = set.value(i);
      unlink(e);
      if (all && vclassIsSubclass(e->cls, classesNow().dict)) static_cast<vprefDict*>(e)->flags |= vprefDICT_DESTROY_CHILDREN;
      if (all)
        vinstanceDestroy(e);
      else
        vprefRelease(e);
    }
  }
  vmemFree(d->stack);
  vmemFree(d->observers);
  vinstanceGetDefaultClass()->destroy(self);
}

void subDictDestroy(vinstance* self) {
  auto* d = static_cast<vprefDict*>(self);
  uncache(d->parent, d->key, d);
  dictDestroy(self);
}

void notify(vprefDict* d, vname key, vpref* entry, bool set) {
  for (std::int32_t i = 0; i < d->observerCount; ++i) {
    vprefDictObserver* o = d->observers[i];
    auto* r = vclassRec<vprefDictObserverClassRec>(o);
    (set ? r->changed : r->fetched)(o, key, entry);
  }
}

bool isDictionary(vresource r, vname tag = nullptr) { return vresourceGetType(r, tag) == vresDICTIONARY; }
// r's dictionary child under tag (a dictionary has a handle of its own
// in either store), or 0.
vresource dictionaryChild(vresource r, vname tag) {
  return _vresourceHas(r, tag) && isDictionary(r, tag) ? vresourceGet(r, tag) : 0;
}

void pushOnStack(vprefDict* d, vresource r) {
  for (std::int32_t i = 0; i < d->stackCount; ++i)
    if (d->stack[i] == r) {
      std::memmove(d->stack + i, d->stack + i + 1, sizeof(vresource) * static_cast<std::size_t>(d->stackCount - i - 1));
      d->stack[d->stackCount - 1] = r;
      return;
    }
  if (d->stackCount == d->stackCapacity) {
    std::int32_t cap = d->stackCapacity ? d->stackCapacity * 2 : 4;
    d->stack = static_cast<vresource*>(vmemRealloc(d->stack, vmemArraySize(static_cast<std::size_t>(cap), sizeof(vresource))));
    d->stackCapacity = cap;
  }
  d->stack[d->stackCount++] = r;
}

void registerInParent(vprefDict* d) {
  for (; d->parent; d = d->parent) {
    vprefDict* p = d->parent;
    if (vdictGet(p->set, d->key) == d) break;
    uncache(p, d->key, d);
    vdictStore(p->set, d->key, d);
    retain(d);
    d->flags &= ~vprefDICT_UNREGISTERED;
  }
}

void dictSet(vprefDict* d, vname key, vpref* entry) {
  notify(d, key, entry, true);
  d->flags &= ~vprefDICT_UNMODIFIED;
  if (auto* old = static_cast<vpref*>(vdictGet(d->set, key))) {
    vdictRemove(d->set, key);
    if (old != entry) unlink(old);
    vprefRelease(old);
  }
  if (auto* cached = static_cast<vpref*>(vdictGet(d->cache, key))) {
    vdictRemove(d->cache, key);
    if (cached != entry) unlink(cached);
  }
  if (entry) {
    retain(entry);
    vdictStore(d->set, key, entry);
    if (vclassIsSubclass(entry->cls, classesNow().dict)) {
      auto* sub = static_cast<vprefDict*>(entry);
      sub->parent = d;
      sub->key = key;
      sub->flags &= ~vprefDICT_UNREGISTERED;
    } else if (entry->cls == classesNow().backedValue) {
      static_cast<BackedValue*>(entry)->owner = nullptr;
    }
  }
  registerInParent(d);
}

vpref* dictGet(vprefDict* d, vname key) {
  auto* found = static_cast<vpref*>(vdictGet(d->set, key));
  if (!found) found = static_cast<vpref*>(vdictGet(d->cache, key));
  if (found) {
    retain(found);
    return found;
  }
  std::int32_t level = d->stackCount - 1;
  for (; level >= 0; --level)
    if (_vresourceHas(d->stack[level], key)) break;
  if (level < 0) return nullptr;
  vresource holder = d->stack[level];
  vpref* entry;
  if (isDictionary(holder, key)) {
    auto* sub = static_cast<vprefDict*>(vinstanceCreate(classesNow().subDict));
    for (std::int32_t i = 0; i <= level; ++i)
      if (vresource c = dictionaryChild(d->stack[i], key)) pushOnStack(sub, c);
    sub->flags |= vprefDICT_UNMODIFIED | vprefDICT_UNREGISTERED;
    sub->key = key;
    sub->parent = d;
    entry = sub;
  } else {
    auto* v = static_cast<BackedValue*>(vinstanceCreate(classesNow().backedValue));
    v->owner = d;
    v->key = key;
    valueLoad(v, holder);
    v->resourceTag = key;
    int type = vresourceGetType(holder, key);
    v->flags |= type == vresUNTYPED || type == vresDICTIONARY || type == vresARRAY || type == vresOPAQUE
                    ? vprefVALUE_NO_STRING
                    : vprefVALUE_STRING;
    entry = v;
  }
  vdictStore(d->cache, key, entry);
  notify(d, key, entry, false);
  return entry;
}

void dictPush(vprefDict* d, vresource r) {
  if (!isDictionary(r)) vexGenerateMessage(&vexArgClass, "resource is not a vresourceDICT.");
  pushOnStack(d, r);
  Entries set(d->set);
  for (std::size_t i = 0; i < set.count; ++i) {
    if (!_vresourceHas(r, set.key(i))) continue;
    vpref* e = set.value(i);
    vresource child = dictionaryChild(r, set.key(i));
    if (vclassIsSubclass(e->cls, classesNow().dict) && child) {
      dictPush(static_cast<vprefDict*>(e), child);
    } else {
      vdictRemove(d->set, set.key(i));
      unlink(e);
      vprefRelease(e);
    }
  }
  Entries cached(d->cache);
  for (std::size_t i = 0; i < cached.count; ++i) {
    if (!_vresourceHas(r, cached.key(i))) continue;
    vdictRemove(d->cache, cached.key(i));
    unlink(cached.value(i));
  }
  if (d->flags & vprefDICT_UNREGISTERED) {
    d->flags &= ~vprefDICT_UNREGISTERED;
    registerInParent(d);
  }
}

void dictLoad(vpref* self, vresource r) { dictPush(static_cast<vprefDict*>(self), r); }

void dictStore(vpref* self, vresource r) {
  auto* d = static_cast<vprefDict*>(self);
  int type = vresourceGetType(r, nullptr);
  if (type != vresDICTIONARY && type != vresUNTYPED)
    vexGenerateMessage(&vexArgClass, "resource cannot be converted to a vresourceDICT");
  Entries set(d->set);
  for (std::size_t i = 0; i < set.count; ++i) {
    vresource child = vresourceMake(r, set.key(i));
    rec(set.value(i))->store(set.value(i), child);
  }
  d->ownResource = r;
  d->flags |= vprefDICT_OWN_RESOURCE;
}

vresource ownResource(vprefDict* d) {
  if (d->flags & vprefDICT_OWN_RESOURCE) return d->ownResource;
  if (!d->parent) vexGenerateMessage(&vexModuleStateClass, "No resource set for root of hierarchy.");
  vresource parent = ownResource(d->parent);
  registerInParent(d);
  d->ownResource = vresourceMake(parent, d->key);
  d->flags |= vprefDICT_OWN_RESOURCE;
  return d->ownResource;
}

void dictSaveKey(vprefDict* d, vname key) {
  vresource child = vresourceMake(ownResource(d), key);
  vpref* entry = dictGet(d, key);
  if (!entry) vexGenerateMessage(&vexArgClass, "pref not found.");
  vexGuard([&] { rec(entry)->store(entry, child); },
           [&](vexHandler&) {
             vprefRelease(entry);
             _vexGenerate(nullptr, vexEnd);
           });
  vprefRelease(entry);
}

void observerNothing(vprefDictObserver*, vname, vpref*) {}

template <class Rec>
Rec* spawn(vclass* super, const char* name, std::size_t size) {
  auto* cls = vclassSpawnOf<Rec>(super);
  if (name) vclassSetName(cls, vscribeLiteral(name));
  vclassSetInstanceSize(cls, size);
  return cls;
}

Classes& classesNow() {
  if (!classSlot || !*classSlot) vprefBuildClasses();
  return *static_cast<Classes*>(*classSlot);
}

}  // namespace

void vprefBuildClasses() {
  if (*vmoduleSlot(classSlot)) return;
  auto* p = spawn<vprefClassRec>(vinstanceGetDefaultClass(), "vpref", sizeof(vpref));
  p->init = prefInit;
  p->release = prefRelease;
  p->load = prefNothing;
  p->store = prefNothing;
  p->getScrap = prefNoScrap;
  auto* v = spawn<vprefClassRec>(p, "vprefValue", sizeof(vprefValue));
  v->init = valueInit;
  v->destroy = valueDestroy;
  v->load = valueLoad;
  v->store = valueStore;
  v->getScrap = valueScrap;
  auto* b = spawn<vprefClassRec>(v, nullptr, sizeof(BackedValue));
  b->destroy = backedDestroy;
  auto* o = spawn<vprefDictObserverClassRec>(vinstanceGetDefaultClass(), "vprefDictObserver", sizeof(vprefDictObserver));
  o->fetched = observerNothing;
  o->changed = observerNothing;
  auto* d = spawn<vprefDictClassRec>(p, "vprefDict", sizeof(vprefDict));
  d->init = dictInit;
  d->destroy = dictDestroy;
  d->load = dictLoad;
  d->store = dictStore;
  d->set = dictSet;
  d->get = dictGet;
  d->saveKey = dictSaveKey;
  d->getScrap = [](vpref* self) { return prefCreateDictScrap(static_cast<vprefDict*>(self)); };
  auto* s = spawn<vprefDictClassRec>(d, nullptr, sizeof(vprefDict));
  s->destroy = subDictDestroy;
  *static_cast<Classes*>(vmoduleBindSlot(classSlot, sizeof(Classes))) = {p, v, b, d, s, o};
}

vprefClassRec* vprefGetDefaultClass() { return vprefBuildClasses(), classesNow().pref; }
vprefClassRec* vprefGetValueClass() { return vprefBuildClasses(), classesNow().value; }
vprefDictClassRec* vprefGetDictClass() { return vprefBuildClasses(), classesNow().dict; }
vprefDictObserverClassRec* vprefGetDictObserverClass() { return vprefBuildClasses(), classesNow().observer; }

void vprefRelease(vpref* pref) {
  if (pref) rec(pref)->release(pref);
}

vprefValue* vprefCreateValue(vinstance* scrap) {
  auto* v = static_cast<vprefValue*>(vinstanceCreate(vprefGetValueClass()));
  v->scrap = scrap;
  v->flags |= vprefVALUE_SET;
  return v;
}

vprefDict* vprefCreateDict() { return static_cast<vprefDict*>(vinstanceCreate(vprefGetDictClass())); }

vpref* vprefDictGet(vprefDict* dict, vname key) { return dictRec(dict)->get(dict, key); }
void vprefDictSet(vprefDict* dict, vname key, vpref* entry) { dictRec(dict)->set(dict, key, entry); }
vresource vprefValueResource(vprefValue* v) {
  if (!v->hasResource) return 0;
  return v->resourceTag ? vresourceGet(v->resource, v->resourceTag) : v->resource;
}

void vprefDictPushResource(vprefDict* dict, vresource resource) { rec(dict)->load(dict, resource); }
void vprefDictStore(vprefDict* dict, vresource resource) { rec(dict)->store(dict, resource); }
void vprefDictSaveKey(vprefDict* dict, vname key) { dictRec(dict)->saveKey(dict, key); }

void vprefDictAddObserver(vprefDict* d, vprefDictObserver* observer) {
  if (d->observerCount == d->observerCapacity) {
    std::int32_t cap = d->observerCapacity ? d->observerCapacity * 2 : 2;
    d->observers = static_cast<vprefDictObserver**>(
        vmemRealloc(d->observers, vmemArraySize(static_cast<std::size_t>(cap), sizeof(vprefDictObserver*))));
    d->observerCapacity = cap;
  }
  d->observers[d->observerCount++] = observer;
}

void vprefDictRemoveObserver(vprefDict* d, vprefDictObserver* observer) {
  for (std::int32_t i = 0; i < d->observerCount; ++i)
    if (d->observers[i] == observer) {
      d->observers[i] = d->observers[--d->observerCount];
      return;
    }
}

void vprefDictInitIterator(vprefDictIterator* it, vprefDict* d) {
  vdict* seen = vdictCreate(vdictHashName);
  std::int32_t capacity = 16;
  it->keys = static_cast<vname*>(vmemAlloc(sizeof(vname) * 16));
  it->count = 0;
  it->index = -1;
  auto add = [&](vname key) {
    if (!key || vdictHas(seen, key)) return;
    vdictStore(seen, key, key);
    if (it->count == capacity) {
      capacity *= 2;
      it->keys = static_cast<vname*>(vmemRealloc(it->keys, vmemArraySize(static_cast<std::size_t>(capacity), sizeof(vname))));
    }
    it->keys[it->count++] = key;
  };
  for (vdict* dict : {d->set, d->cache}) {
    Entries e(dict);
    for (std::size_t i = 0; i < e.count; ++i)
      if (e.value(i)) add(e.key(i));
  }
  // A damaged resource raises: the walk never started, so nothing is kept.
  vexGuard(
      [&] {
        for (std::int32_t level = d->stackCount - 1; level >= 0; --level)
          for (std::int32_t i = vresourceCount(d->stack[level]) - 1; i >= 0; --i)
            add(vresourceGetTagAtOnly(d->stack[level], i));
      },
      [&](vexHandler&) {
        vdictDestroy(seen);
        vprefDictFinishIterator(it);
        _vexGenerate(nullptr);
      });
  vdictDestroy(seen);
}

int vprefDictNextIterator(vprefDictIterator* it) {
  if (it->index >= it->count) vexGenerateMessage(&vexArgClass, "Iteration complete.");
  return ++it->index < it->count;
}

vname vprefDictIteratorKey(const vprefDictIterator* it) {
  if (it->index < 0 || it->index >= it->count) vexGenerateMessage(&vexArgClass, "Iteration complete.");
  return it->keys[it->index];
}

void vprefDictFinishIterator(vprefDictIterator* it) {
  vmemFree(it->keys);
  it->keys = nullptr;
}

// The string form of an entry, interned in the module's name table; null
// when it has none.
const char* prefStringForm(vpref* entry) {
  if (!entry || !vclassIsSubclass(entry->cls, classesNow().value)) return nullptr;
  auto* v = static_cast<vprefValue*>(entry);
  if (v->flags & vprefVALUE_NO_STRING) return nullptr;
  if (v->scrap && vdelegatorIsKindOf(v->scrap, vscrapGetStringClass()))
    return prefIntern(vscrapGetString(vscrapWalk(v->scrap)));
  if (!v->hasResource) return nullptr;
  vresource r = v->resource;
  vname tag = v->resourceTag;
  switch (vresourceGetType(r, tag)) {
    case vresTAG: return prefIntern(vscribeCString(vresourceGetTag(r, tag)));
    case vresSTRING: {
      std::string text = vresourceGetStringText(r, tag);
      return prefIntern(vscribeCStringSized(text.data(), text.size()));
    }
    case vresINTEGER:
      return prefIntern(vnumScribeInteger(vresourceGetInteger(r, tag), vnumGetDecimalDigits(),
                                          vnumGetNormalFormat(), nullptr, 0, -1));
    case vresFIXED: return prefIntern(vnumScribeDouble(vresourceGetFixed(r, tag) / 65536.0));
    case vresFLOAT: return prefIntern(vnumScribeDouble(vresourceGetFloat(r, tag)));
    case vresCHARACTER: return prefIntern(vscribeRepeatChar(vresourceGetCharacter(r, tag), 1));
    case vresBOOLEAN: return prefIntern(vscribeLiteral(vresourceGetBoolean(r, tag) ? "On" : ""));
    default: return nullptr;
  }
}
