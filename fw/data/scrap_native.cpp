// Native scraps: values kept in the scrap object itself, and the typeable
// scrap that becomes a native value of the first kind asked of it.
#include <cstring>

#include "fw/data/scrap.h"

namespace {

struct NativeState {
  vscrapTypeableClassRec* typeable;
  vdict registry;  // abstract kind class -> native class
  vscrapDictionaryIteratorClassRec* dictIterator;
  vscrapArrayClassRec* array;
};
void** nativeSlot = nullptr;

template <class T>
T* self(vscrap* w) {
  return static_cast<T*>(w->stack[w->depth]);
}

[[noreturn]] void rangeError(const char* message) { vexGenerateMessage(&vexArgRangeClass, message); }

// Scalars.
template <class Object, class T>
void scalarClass(vclass* kind, const char* name, NativeState* s) {
  auto* c = vclassSpawnOf<vscrapValueClassRec<T>>(kind);
  vclassSetName(c, vscribeLiteral(name));
  c->instanceSize = sizeof(Object);
  c->init = [](vinstance* o) { static_cast<Object*>(o)->value = T{}; };
  c->get = [](vscrap* w) -> T { return self<Object>(w)->value; };
  c->set = [](vscrap* w, T v) { self<Object>(w)->value = v; };
  vdictStore(&s->registry, kind, c);
}

// Strings.
void stringFree(vscrapNativeString* s) {
  if (!s->permanent) vstrDestroy(const_cast<char*>(s->text));
  s->text = "";
  s->permanent = 1;
}
vscribe* stringGet(vscrap* w) {
  auto* s = self<vscrapNativeString>(w);
  return s->permanent ? vscribeLiteral(s->text) : vscribeCString(s->text);
}
void stringSet(vscrap* w, vscribe* value) {
  auto* s = self<vscrapNativeString>(w);
  if (value->flags & (vscribeLITERAL | vscribeNAME)) {
    stringFree(s);
    s->text = static_cast<const char*>(value->data);
    vscribeRelease(value);
    return;
  }
  vstr* old = s->permanent ? nullptr : const_cast<char*>(s->text);
  s->text = vstrCloneScribed(value, old);
  s->permanent = 0;
}

// Blocks.
void blockCheck(const vscrapNativeBlock* b, std::size_t offset, std::size_t count) {
  if (offset > b->size || count > b->size - offset) rangeError("block range beyond the size");
}
void blockSetSize(vscrap* w, std::size_t size) {
  auto* b = self<vscrapNativeBlock>(w);
  if (!b->ownsMemory) vexGenerateMessage(&vexArgClass, "Scrap doesn't own memory");
  if (size == b->size) return;
  if (size == 0) {
    vmemFree(b->data);
    b->data = nullptr;
  } else {
    b->data = static_cast<unsigned char*>(vmemRealloc(b->data, size));
  }
  b->size = size;
}
void blockRead(vscrap* w, std::size_t offset, std::size_t count, void* buffer) {
  auto* b = self<vscrapNativeBlock>(w);
  blockCheck(b, offset, count);
  if (count) std::memcpy(buffer, b->data + offset, count);
}
void blockWrite(vscrap* w, std::size_t offset, std::size_t count, const void* buffer) {
  auto* b = self<vscrapNativeBlock>(w);
  blockCheck(b, offset, count);
  if (count) std::memcpy(b->data + offset, buffer, count);
}

// Arrays.
std::int32_t arrayCount(const vscrapNativeArray* a) { return static_cast<std::int32_t>(a->end - a->begin); }
void arrayCheck(const vscrapNativeArray* a, std::int32_t index) {
  if (index < 0 || index >= arrayCount(a)) rangeError("array index out of range");
}
void arraySetCount(vscrap* w, std::int32_t n) {
  auto* a = self<vscrapNativeArray>(w);
  if (n < 0) rangeError("negative array count");
  while (arrayCount(a) > n) vinstanceDestroy(*--a->end);
  std::size_t count = static_cast<std::size_t>(n);
  if (static_cast<std::size_t>(a->cap - a->begin) < count) {
    std::size_t used = static_cast<std::size_t>(a->end - a->begin);
    a->begin = static_cast<vinstance**>(vmemRealloc(a->begin, vmemArraySize(count, sizeof(vinstance*))));
    a->end = a->begin + used;
    a->cap = a->begin + count;
  }
  while (arrayCount(a) < n) *a->end++ = vscrapCreateNativeTypeable();
}
vinstance* arrayGet(vscrap* w, std::int32_t index) {
  auto* a = self<vscrapNativeArray>(w);
  arrayCheck(a, index);
  return vscrapCreateReference(a->begin[index]);
}
void arraySet(vscrap* w, std::int32_t index, vinstance* element) {
  auto* a = self<vscrapNativeArray>(w);
  if (index < 0 || index >= arrayCount(a)) {
    vinstanceDestroy(element);
    rangeError("array index out of range");
  }
  vinstance* typed = vscrapMakeTypeable(element);
  vinstanceDestroy(a->begin[index]);
  a->begin[index] = typed;
}
void arrayDestroy(vinstance* o) {
  auto* a = static_cast<vscrapNativeArray*>(o);
  while (a->end != a->begin) vinstanceDestroy(*--a->end);
  vmemFree(a->begin);
  vinstanceGetDefaultClass()->destroy(o);
}

// Dictionaries: a removed key stays with no element.
vdict* dictOf(vscrap* w) { return &self<vscrapNativeDictionary>(w)->dict; }
vinstance* dictGet(vscrap* w, vname key) {
  auto* e = static_cast<vinstance*>(vdictGet(dictOf(w), key));
  return e ? vscrapCreateReference(e) : nullptr;
}
void dictSet(vscrap* w, vname key, vinstance* element) {
  vinstance* typed = vscrapMakeTypeable(element);
  if (auto* old = static_cast<vinstance*>(vdictGet(dictOf(w), key))) vinstanceDestroy(old);
  vdictStore(dictOf(w), key, typed);
}
void dictRemove(vscrap* w, vname key) {
  if (auto* old = static_cast<vinstance*>(vdictGet(dictOf(w), key))) vinstanceDestroy(old);
  vdictStore(dictOf(w), key, nullptr);
}
void dictEmpty(vdict* d) {
  vdictIterator it;
  vdictInitIterator(&it, d);
  while (vdictNextIterator(&it))
    if (auto* e = static_cast<vinstance*>(vdictIteratorValue(&it))) vinstanceDestroy(e);
  vdictFinish(d);
}
void dictClear(vscrap* w) {
  dictEmpty(dictOf(w));
  vdictInit(dictOf(w), vdictHashName);
}

struct NativeDictIterator : vscrapIterator {
  vdictIterator entries;
  int started;
};
void dictIterStart(vscrapIterator* it, vscrap* scrap) {
  vdelegatorCopyIterator(&it->walk, scrap);
  auto* d = static_cast<NativeDictIterator*>(it);
  vdelegatorFindClass(&d->walk, vscrapGetDictionaryClass());
  vdictInitIterator(&d->entries, dictOf(&d->walk));
  d->started = 1;
}
int dictIterNext(vscrapIterator* it) {
  auto* d = static_cast<NativeDictIterator*>(it);
  if (!d->started) return 0;
  while (vdictNextIterator(&d->entries))
    if (vdictIteratorValue(&d->entries)) return 1;
  d->started = 0;
  return 0;
}
vinstance* dictIterElement(vscrapIterator* it) {
  auto* d = static_cast<NativeDictIterator*>(it);
  return vscrapCreateReference(static_cast<vinstance*>(vdictIteratorValue(&d->entries)));
}
vname dictIterKey(vscrapIterator* it) {
  return static_cast<vname>(vdictIteratorKey(&static_cast<NativeDictIterator*>(it)->entries));
}

// The typeable scrap.
vinstance* typeableNext(vinstance* o, vinstance* previous, int) {
  return previous ? nullptr : static_cast<vscrapNativeTypeable*>(o)->delegate;
}
int typeableEntype(vscrap* w, vclass* kind) {
  auto* t = self<vscrapNativeTypeable>(w);
  if (t->delegate) return 0;
  vclass* native = vscrapGetNativeClass(kind);
  if (!native) return 0;
  t->delegate = vinstanceCreate(native);
  return 1;
}

template <class Rec>
Rec* nativeClass(vclass* kind, const char* name, std::size_t size, NativeState* s) {
  auto* c = vclassSpawnOf<Rec>(kind);
  vclassSetName(c, vscribeLiteral(name));
  c->instanceSize = size;
  vdictStore(&s->registry, kind, c);
  return c;
}

void buildNativeClasses(NativeState* s) {
  scalarClass<vscrapNativeCharacter, char>(vscrapGetCharacterClass(), "vscrapNativeCharacter", s);
  scalarClass<vscrapNativeWord, int>(vscrapGetBooleanClass(), "vscrapNativeBoolean", s);
  scalarClass<vscrapNativeWord, std::int32_t>(vscrapGetFixedClass(), "vscrapNativeFixed", s);
  scalarClass<vscrapNativeWord, std::int32_t>(vscrapGetIntegerClass(), "vscrapNativeInteger", s);
  scalarClass<vscrapNativeFloat, double>(vscrapGetFloatClass(), "vscrapNativeFloat", s);
  scalarClass<vscrapNativeTag, vname>(vscrapGetTagClass(), "vscrapNativeTag", s);

  auto* str = nativeClass<vscrapStringClassRec>(vscrapGetStringClass(), "vscrapNativeString",
                                                sizeof(vscrapNativeString), s);
  str->init = [](vinstance* o) {
    static_cast<vscrapNativeString*>(o)->text = "";
    static_cast<vscrapNativeString*>(o)->permanent = 1;
  };
  str->destroy = [](vinstance* o) {
    stringFree(static_cast<vscrapNativeString*>(o));
    vinstanceGetDefaultClass()->destroy(o);
  };
  str->get = stringGet;
  str->set = stringSet;

  auto* block = nativeClass<vscrapBlockClassRec>(vscrapGetBlockClass(), "vscrapNativeBlock",
                                                 sizeof(vscrapNativeBlock), s);
  block->init = [](vinstance* o) { *static_cast<vscrapNativeBlock*>(o) = {{o->cls}, nullptr, 0, 1}; };
  block->destroy = [](vinstance* o) {
    auto* b = static_cast<vscrapNativeBlock*>(o);
    if (b->ownsMemory) vmemFree(b->data);
    vinstanceGetDefaultClass()->destroy(o);
  };
  block->getSize = [](vscrap* w) { return self<vscrapNativeBlock>(w)->size; };
  block->setSize = blockSetSize;
  block->read = blockRead;
  block->write = blockWrite;

  auto* array = nativeClass<vscrapArrayClassRec>(vscrapGetArrayClass(), "vscrapNativeArray",
                                                 sizeof(vscrapNativeArray), s);
  array->init = [](vinstance* o) { *static_cast<vscrapNativeArray*>(o) = {{o->cls}, nullptr, nullptr, nullptr}; };
  array->destroy = arrayDestroy;
  array->getCount = [](vscrap* w) { return arrayCount(self<vscrapNativeArray>(w)); };
  array->setCount = arraySetCount;
  array->getElement = arrayGet;
  array->setElement = arraySet;
  s->array = array;

  auto* iter = vclassSpawnOf<vscrapDictionaryIteratorClassRec>(vscrapGetDictionaryIteratorClass());
  vclassSetName(iter, vscribeLiteral("vscrapNativeDictIterator"));
  iter->instanceSize = sizeof(NativeDictIterator);
  iter->init = [](vinstance* o) {
    vscrapGetIteratorClass()->init(o);
    static_cast<NativeDictIterator*>(o)->started = 0;
  };
  iter->start = dictIterStart;
  iter->next = dictIterNext;
  iter->currentElement = dictIterElement;
  iter->currentKey = dictIterKey;
  s->dictIterator = iter;

  auto* dict = nativeClass<vscrapDictionaryClassRec>(vscrapGetDictionaryClass(), "vscrapNativeDictionary",
                                                     sizeof(vscrapNativeDictionary), s);
  dict->init = [](vinstance* o) { vdictInit(&static_cast<vscrapNativeDictionary*>(o)->dict, vdictHashName); };
  dict->destroy = [](vinstance* o) {
    dictEmpty(&static_cast<vscrapNativeDictionary*>(o)->dict);
    vinstanceGetDefaultClass()->destroy(o);
  };
  dict->iteratorClass = iter;
  dict->clear = dictClear;
  dict->get = dictGet;
  dict->set = dictSet;
  dict->remove = dictRemove;
}

NativeState* state() {
  if (auto* bound = vmoduleState<NativeState>(nativeSlot)) return bound;
  vclass* typeableBase = vscrapGetTypeableClass();
  auto* s = static_cast<NativeState*>(vmoduleBindSlot(nativeSlot, sizeof(NativeState)));
  vdictInit(&s->registry, vdictHashPointer);
  vmoduleAddContextExitProc([] { vdictFinish(&static_cast<NativeState*>(*nativeSlot)->registry); });
  auto* t = vclassSpawnOf<vscrapTypeableClassRec>(typeableBase);
  vclassSetName(t, vscribeLiteral("vscrapNativeTypeable"));
  t->instanceSize = sizeof(vscrapNativeTypeable);
  t->init = [](vinstance* o) { static_cast<vscrapNativeTypeable*>(o)->delegate = nullptr; };
  t->destroy = [](vinstance* o) {
    if (auto* d = static_cast<vscrapNativeTypeable*>(o)->delegate) vinstanceDestroy(d);
    vinstanceGetDefaultClass()->destroy(o);
  };
  t->nextDelegate = typeableNext;
  t->entype = typeableEntype;
  s->typeable = t;
  buildNativeClasses(s);
  return s;
}

}  // namespace

vscrapTypeableClassRec* vscrapGetNativeTypeableClass() { return state()->typeable; }

vclass* vscrapGetNativeClass(const vclass* abstractKind) {
  return static_cast<vclass*>(vdictGet(&state()->registry, abstractKind));
}

void vscrapRegisterNativeClass(vclass* abstractKind, vclass* native) {
  vdictStore(&state()->registry, abstractKind, native);
}

vscrapNativeTypeable* vscrapCreateNativeTypeable() {
  return static_cast<vscrapNativeTypeable*>(vinstanceCreate(vscrapGetNativeTypeableClass()));
}

vscrapArrayClassRec* vscrapGetNativeArrayClass() { return state()->array; }

vscrapNativeArray* vscrapCreateNativeArray() {
  return static_cast<vscrapNativeArray*>(vinstanceCreate(vscrapGetNativeArrayClass()));
}

vinstance* vscrapCreateNative(const vclass* abstractKind) {
  vclass* native = vscrapGetNativeClass(abstractKind);
  if (!native) vexGenerateMessage(&vexArgClass, "no native scrap of that kind");
  return vinstanceCreate(native);
}

vinstance* vscrapMakeTypeable(vinstance* scrap) {
  if (vclassIsSubclass(scrap->cls, vscrapGetNativeTypeableClass())) return scrap;
  vscrapNativeTypeable* typed = vscrapCreateNativeTypeable();
  vexGuard([&] { vscrapImport(vscrapWalk(scrap), vscrapWalk(typed)); },
           [&](vexHandler&) {
             vinstanceDestroy(typed);
             vinstanceDestroy(scrap);
             _vexGenerate(nullptr);
           });
  vinstanceDestroy(scrap);
  return typed;
}

vscrapNativeString* vscrapCreateNativeString(const char* text) {
  auto* s = static_cast<vscrapNativeString*>(vinstanceCreate(vscrapGetNativeClass(vscrapGetStringClass())));
  vscrapSetString(vscrapWalk(s), vscribeCString(text));
  return s;
}

vscrapNativeBlock* vscrapCreateNativeBlockOver(void* data, std::size_t size) {
  auto* b = static_cast<vscrapNativeBlock*>(vinstanceCreate(vscrapGetNativeClass(vscrapGetBlockClass())));
  b->data = static_cast<unsigned char*>(data);
  b->size = size;
  b->ownsMemory = 0;
  return b;
}
