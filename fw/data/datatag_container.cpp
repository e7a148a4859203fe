// Datatag scraps of the container kinds: counted and sized blocks and
// arrays, dictionaries, compounds, unions, pointers and argument lists.
#include <cstring>

#include "fw/core/debug.h"
#include "fw/data/datatag_internal.h"

namespace {

vdatatag* datatagOf(const vscrap* w) { return _vdatatagOwner(w)->datatag; }
vdatatag* elementOf(const vscrap* w) { return static_cast<vdatatagElementOf*>(datatagOf(w))->element; }
[[noreturn]] void range(const char* message) { vexGenerateMessage(&vexArgRangeClass, message); }

struct HeldScrap {
  vinstance* s;
  ~HeldScrap() {
    if (s) vinstanceDestroy(s);
  }
};

// Imports element into a scrap over the value of d at address; consumes it.
void importInto(vinstance* element, vdatatag* d, void* address, const vscrap* w) {
  HeldScrap source{element};
  HeldScrap target{_vdatatagScrapAt(d, address, w)};
  vscrapImport(vscrapWalk(source.s), vscrapWalk(target.s));
}

void checkRange(std::size_t size, std::size_t offset, std::size_t count) {
  if (offset > size || count > size - offset) range("block range beyond the size");
}

// Opaque: a counted block through the count and data words.
std::size_t opaqueSize(vscrap* w) {
  std::int32_t n = *_vdatatagOwner(w)->countWord;
  return static_cast<std::size_t>(n < 0 ? 0 : n);
}
void resizeData(vdatatagScrap* s, std::size_t bytes, std::size_t oldBytes) {
  if (bytes == 0) {
    vmemFree(*s->dataWord);
    *s->dataWord = nullptr;
    return;
  }
  auto* p = static_cast<unsigned char*>(vmemRealloc(oldBytes ? *s->dataWord : nullptr, bytes));
  if (bytes > oldBytes) std::memset(p + oldBytes, 0, bytes - oldBytes);
  *s->dataWord = p;
}
void opaqueSetSize(vscrap* w, std::size_t n) {
  vdatatagScrap* s = _vdatatagOwner(w);
  if (n > INT32_MAX) range("block size beyond 32 bits");
  resizeData(s, n, opaqueSize(w));
  *s->countWord = static_cast<std::int32_t>(n);
}
void opaqueRead(vscrap* w, std::size_t offset, std::size_t count, void* buffer) {
  checkRange(opaqueSize(w), offset, count);
  if (count) std::memcpy(buffer, static_cast<char*>(*_vdatatagOwner(w)->dataWord) + offset, count);
}
void opaqueWrite(vscrap* w, std::size_t offset, std::size_t count, const void* buffer) {
  checkRange(opaqueSize(w), offset, count);
  if (count) std::memcpy(static_cast<char*>(*_vdatatagOwner(w)->dataWord) + offset, buffer, count);
}

// Sized opaque: the datatag's byte count in place.
std::size_t sizedOpaqueSize(vscrap* w) {
  std::int32_t n = static_cast<vdatatagSizedOpaque*>(datatagOf(w))->count;
  return static_cast<std::size_t>(n < 0 ? 0 : n);
}
void sizedOpaqueRead(vscrap* w, std::size_t offset, std::size_t count, void* buffer) {
  checkRange(sizedOpaqueSize(w), offset, count);
  if (count) std::memcpy(buffer, static_cast<char*>(_vdatatagValue(w)) + offset, count);
}
void sizedOpaqueWrite(vscrap* w, std::size_t offset, std::size_t count, const void* buffer) {
  checkRange(sizedOpaqueSize(w), offset, count);
  if (count) std::memcpy(static_cast<char*>(_vdatatagValue(w)) + offset, buffer, count);
}

// Arrays: counted through the two words, or sized in place.
std::size_t elementSize(const vscrap* w) {
  vdatatag* e = elementOf(w);
  if (!e) vexGenerateMessage(&vexArgNullClass, "Array has no element datatag");
  return _vdatatagLayoutSize(e, 1, w);
}
char* elementAddress(const vscrap* w, char* base, std::int32_t count, std::int32_t i) {
  if (i < 0 || i >= count) range("array index out of range");
  return base + static_cast<std::size_t>(i) * elementSize(w);
}
std::int32_t arrayCount(vscrap* w) { return *_vdatatagOwner(w)->countWord; }
void arraySetCount(vscrap* w, std::int32_t n) {
  if (n < 0) range("negative array count");
  std::size_t e = elementSize(w);
  auto count = static_cast<std::size_t>(n);
  if (e && count > SIZE_MAX / e) range("array size overflows");
  vdatatagScrap* s = _vdatatagOwner(w);
  resizeData(s, count * e, static_cast<std::size_t>(arrayCount(w)) * e);
  *s->countWord = n;
}
char* arrayData(const vscrap* w) { return static_cast<char*>(*_vdatatagOwner(w)->dataWord); }
vinstance* arrayGet(vscrap* w, std::int32_t i) {
  return vdatatagScrapFromMemory(elementOf(w), elementAddress(w, arrayData(w), arrayCount(w), i));
}
void arraySet(vscrap* w, std::int32_t i, vinstance* element) {
  HeldScrap held{element};
  char* at = elementAddress(w, arrayData(w), arrayCount(w), i);
  held.s = nullptr;
  importInto(element, elementOf(w), at, w);
}
std::int32_t sizedCount(vscrap* w) { return static_cast<vdatatagElementOf*>(datatagOf(w))->count; }
void sizedSetCount(vscrap* w, std::int32_t n) {
  if (n != sizedCount(w)) range("a sized array keeps its count");
}
vinstance* sizedGet(vscrap* w, std::int32_t i) {
  return vdatatagScrapFromMemory(elementOf(w), elementAddress(w, static_cast<char*>(_vdatatagValue(w)), sizedCount(w), i));
}
void sizedSet(vscrap* w, std::int32_t i, vinstance* element) {
  HeldScrap held{element};
  char* at = elementAddress(w, static_cast<char*>(_vdatatagValue(w)), sizedCount(w), i);
  held.s = nullptr;
  importInto(element, elementOf(w), at, w);
}

// Dictionaries: values kept in the entry word by kind. Integers and floats
// have an absent marker, which therefore cannot be stored.
enum class Entry { none, integer, floating, pointer, inPlace };
Entry entryOf(int kind) {
  if (kind <= vdatatagUNSIGNED_INTEGER || kind == vdatatagFIXED) return Entry::integer;
  if (kind == vdatatagSINGLE_FLOAT || kind == vdatatagDOUBLE_FLOAT) return Entry::floating;
  if (kind >= vdatatagSIZED_ARRAY && kind <= vdatatagCOMPOUND) return Entry::inPlace;
  if (kind == vdatatagSTRING || kind == vdatatagTAG || kind == vdatatagDATATAG || kind == vdatatagSCRAP ||
      kind == vdatatagPOINTER)
    return Entry::pointer;
  return Entry::none;
}
constexpr double floatAbsent = 1.1754943508222875e-38;
constexpr std::int32_t integerAbsent = INT32_MIN;

const void* floatWord(double v) {
  static_assert(sizeof(double) <= sizeof(void*));
  std::uintptr_t bits = 0;
  std::memcpy(&bits, &v, sizeof v);
  return reinterpret_cast<const void*>(bits);
}
double wordFloat(const void* p) {
  auto bits = reinterpret_cast<std::uintptr_t>(p);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

vdict* dictOf(const vscrap* w) { return static_cast<vdict*>(_vdatatagValue(w)); }
vdatatag* keyDatatag(const vscrap* w, vname key) {
  return static_cast<vdatatag*>(vdictGet(&static_cast<vdatatagDict*>(datatagOf(w))->entries, key));
}

vinstance* dictGet(vscrap* w, vname key) {
  vdatatag* d = keyDatatag(w, key);
  vdict* dict = dictOf(w);
  if (!d || !vdictHas(dict, key)) return nullptr;
  const void* word = vdictGet(dict, key);
  switch (entryOf(vdatatagGetKind(d))) {
    case Entry::integer: {
      std::int32_t v = vdictGetInteger(dict, key);
      return v == integerAbsent ? nullptr : vdatatagCreateScrapWithValue(d, static_cast<int>(v));
    }
    case Entry::floating: {
      double v = wordFloat(word);
      return v == floatAbsent ? nullptr : vdatatagCreateScrapWithValue(d, v);
    }
    case Entry::pointer: return word ? vdatatagCreateScrapWithValue(d, word) : nullptr;
    case Entry::inPlace: return word ? vdatatagScrapFromMemory(d, word) : nullptr;
    case Entry::none: return nullptr;
  }
  return nullptr;
}

// The value is converted through a scrap of the key's datatag over a local.
void dictSet(vscrap* w, vname key, vinstance* element) {
  HeldScrap held{element};
  vdatatag* d = keyDatatag(w, key);
  if (!d) vdatatagRaiseMismatched(datatagOf(w), "Dictionary key has no datatag");
  vdict* dict = dictOf(w);
  Entry entry = entryOf(vdatatagGetKind(d));
  if (entry == Entry::none) vscrapRaiseUnimplemented(w);
  if (!element) {
    if (entry == Entry::integer) vdictStoreInteger(dict, key, integerAbsent);
    else if (entry == Entry::floating) vdictRemove(dict, key);
    else vdictStore(dict, key, nullptr);
    return;
  }
  if (entry == Entry::inPlace) {
    void* memory = vdictGet(dict, key);
    bool fresh = !memory;
    if (fresh) memory = vmemAllocClear(_vdatatagLayoutSize(d, 1, w) ? _vdatatagLayoutSize(d, 1, w) : 1);
    held.s = nullptr;
    vexGuard([&] { importInto(element, d, memory, w); },
             [&](vexHandler&) {
               if (fresh) vmemFree(memory);
               _vexGenerate(nullptr);
             });
    if (fresh) vdictStore(dict, key, memory);
    return;
  }
  alignas(std::max_align_t) unsigned char local[16] = {};
  held.s = nullptr;
  importInto(element, d, local, w);
  vdatatagScrap* reader = vdatatagScrapFromMemory(d, local);
  HeldScrap readerHeld{reader};
  if (entry == Entry::integer) {
    std::int32_t v = vdatatagGetKind(d) == vdatatagBOOLEAN ? vscrapGetBoolean(vscrapWalk(reader))
                     : vdatatagGetKind(d) == vdatatagCHARACTER
                         ? static_cast<unsigned char>(vscrapGetCharacter(vscrapWalk(reader)))
                     : vdatatagGetKind(d) == vdatatagFIXED ? vscrapGetFixed(vscrapWalk(reader))
                                                            : vscrapGetInteger(vscrapWalk(reader));
    if (v == integerAbsent) range("value is the dictionary's absent marker");
    vdictStoreInteger(dict, key, v);
  } else if (entry == Entry::floating) {
    double v = vscrapGetFloat(vscrapWalk(reader));
    if (v == floatAbsent) range("value is the dictionary's absent marker");
    vdictStore(dict, key, floatWord(v));
  } else {
    void* p;
    std::memcpy(&p, local, sizeof p);
    vdictStore(dict, key, p);
  }
}
void dictRemove(vscrap* w, vname key) {
  vdict* dict = dictOf(w);
  if (vdictHas(dict, key)) vdictRemove(dict, key);
}
void dictClear(vscrap* w) {
  vdict* dict = dictOf(w);
  vdictFinish(dict);
  vdictInit(dict, vdictHashName);
}

struct DictIterator : vscrapIterator {
  vdictIterator entries;
  vscrap served;  // positioned on the delegate
  vinstance* current;
  int started;
};
void dictIterStart(vscrapIterator* it, vscrap* scrap) {
  vdelegatorCopyIterator(&it->walk, scrap);
  auto* d = static_cast<DictIterator*>(it);
  d->served = *scrap;
  vdelegatorFindClass(&d->served, vscrapGetDictionaryClass());
  vdictInitIterator(&d->entries, dictOf(&d->served));
  d->current = nullptr;
  d->started = 1;
}
int dictIterNext(vscrapIterator* it) {
  auto* d = static_cast<DictIterator*>(it);
  if (d->current) vinstanceDestroy(d->current);
  d->current = nullptr;
  if (!d->started) return 0;
  while (vdictNextIterator(&d->entries)) {
    d->current = dictGet(&d->served, static_cast<vname>(vdictIteratorKey(&d->entries)));
    if (d->current) return 1;
  }
  d->started = 0;
  return 0;
}
vinstance* dictIterElement(vscrapIterator* it) {
  auto* d = static_cast<DictIterator*>(it);
  vinstance* e = d->current;
  d->current = nullptr;
  return e ? e : dictGet(&d->served, static_cast<vname>(vdictIteratorKey(&d->entries)));
}
vname dictIterKey(vscrapIterator* it) {
  return static_cast<vname>(vdictIteratorKey(&static_cast<DictIterator*>(it)->entries));
}
void dictIterFinish(vscrapIterator* it) {
  auto* d = static_cast<DictIterator*>(it);
  if (d->current) vinstanceDestroy(d->current);
  d->current = nullptr;
}

// Compounds: members in order at their aligned offsets.
struct CompoundIterator : vscrapIterator {
  vscrap served;
  std::int32_t position;
  std::size_t offset;
  std::size_t previousSize;  // SIZE_MAX: none yet
};
const vdatatagList& membersOf(const vscrap* w) { return static_cast<vdatatagCompound*>(datatagOf(w))->members; }
void compoundIterStart(vscrapIterator* it, vscrap* scrap) {
  vdelegatorCopyIterator(&it->walk, scrap);
  auto* c = static_cast<CompoundIterator*>(it);
  c->served = *scrap;
  vdelegatorFindClass(&c->served, vscrapGetCompoundClass());
  c->position = -1;
  c->offset = 0;
  c->previousSize = SIZE_MAX;
}
int compoundIterNext(vscrapIterator* it) {
  auto* c = static_cast<CompoundIterator*>(it);
  const vdatatagList& m = membersOf(&c->served);
  if (c->position + 1 >= _vdatatagListCount(&m)) {
    c->position = _vdatatagListCount(&m);
    return 0;
  }
  auto* member = static_cast<vdatatag*>(m.begin[++c->position]);
  if (c->position > 0) {
    std::size_t next = c->offset + c->previousSize;
    std::size_t align = _vdatatagLayoutAlign(member, 1);
    c->offset = next % align ? next + (align - next % align) : next;
  }
  c->previousSize = _vdatatagLayoutSize(member, 1, &c->served);
  return 1;
}
vinstance* compoundIterElement(vscrapIterator* it) {
  auto* c = static_cast<CompoundIterator*>(it);
  const vdatatagList& m = membersOf(&c->served);
  if (c->position < 0 || c->position >= _vdatatagListCount(&m)) return nullptr;
  auto* member = static_cast<vdatatag*>(m.begin[c->position]);
  vdatatagScrap* owner = _vdatatagOwner(&c->served);
  char* at = static_cast<char*>(_vdatatagValue(&c->served)) + c->offset;
  if (owner->copied) return vdatatagScrapFromMemory(member, at);
  return _vdatatagScrapAt(member, at, &c->served);
}

// Unions: the selector chooses the member over the value address.
std::int32_t* selectorOf(const vscrap* w) {
  std::int32_t* s = _vdatatagOwner(w)->selectorWord;
  if (!s) vexGenerateMessage(&vexArgNullClass, "Datatag scrap has no value");
  return s;
}
vinstance* unionMember(vscrap* w) {
  vdatatag* m = vdatatagGetUnionMember(datatagOf(w), *selectorOf(w));
  return m ? _vdatatagScrapAt(m, _vdatatagValue(w), w) : nullptr;
}
void unionSetMember(vscrap* w, vinstance* value) {
  HeldScrap held{value};
  vdatatag* m = vdatatagGetUnionMember(datatagOf(w), *selectorOf(w));
  if (!m) range("no union member has the selector");
  held.s = nullptr;
  if (value) importInto(value, m, _vdatatagValue(w), w);
}
void unionExport(vscrap* self, vscrap* target) {
  auto* to = static_cast<vabstractUnionClassRec*>(vdelegatorTop(target)->cls);
  auto* from = static_cast<vabstractUnionClassRec*>(vdelegatorTop(self)->cls);
  to->set(target, from->get(self));
  if (vinstance* member = from->getMember(self)) to->setMember(target, member);
}

// Pointers: get copies the pointed value, set imports into it (allocating
// the target when the pointer is null). Walks along pointers are bounded.
void** pointerWord(const vscrap* w) { return static_cast<void**>(_vdatatagValue(w)); }
vdatatag* targetOf(const vscrap* w) {
  vdatatag* t = elementOf(w);
  if (!t) vexGenerateMessage(&vexArgNullClass, "Pointer has no target datatag");
  return t;
}
void* pointerGet(vscrap* w) {
  void* p = *pointerWord(w);
  return p ? vdatatagScrapFromMemory(targetOf(w), p) : nullptr;
}
void pointerSet(vscrap* w, void* value) {
  void** word = pointerWord(w);
  if (!value) {
    *word = nullptr;
    return;
  }
  vdatatagDepthGuard guard;
  vdatatag* t = targetOf(w);
  bool fresh = !*word;
  if (fresh) {
    std::size_t n = _vdatatagLayoutSize(t, 1, w);
    *word = vmemAllocClear(n ? n : 1);
    if (vdatatagGetKind(t) == vdatatagDICTIONARY) vdictInit(static_cast<vdict*>(*word), vdictHashName);
  }
  HeldScrap target{_vdatatagScrapAt(t, *word, w)};
  vscrapImport(vscrapWalk(static_cast<vinstance*>(value)), vscrapWalk(target.s));
}
void pointerExport(vscrap* self, vscrap* target) {
  vdatatagDepthGuard guard;
  HeldScrap value{static_cast<vinstance*>(static_cast<vscrapValueClassRec<void*>*>(vdelegatorTop(self)->cls)->get(self))};
  static_cast<vscrapValueClassRec<void*>*>(vdelegatorTop(target)->cls)->set(target, value.s);
}
void pointerDump(vscrap* w, std::FILE* stream) {
  vdatatagDepthGuard guard;
  HeldScrap value{static_cast<vinstance*>(pointerGet(w))};
  if (value.s)
    vscrapDump(vscrapWalk(value.s), stream);
  else
    vdebugFputs("NULL", stream ? stream : vdebugGetConsoleError());
}

// Argument lists: the scrap owns one element scrap per listed datatag.
void listMake(vdatatagScrap* s, va_list* ap, bool fill) {
  _vdatatagListMake(s, va_arg(*ap, vdatatagList*), ap, fill);
}
struct ListIterator : vscrapIterator {
  vdatatagScrap* list;
  std::int32_t index;
};
void listIterStart(vscrapIterator* it, vscrap* scrap) {
  vdelegatorCopyIterator(&it->walk, scrap);
  vscrap served = *scrap;
  vdelegatorFindClass(&served, vabstractGetArglistClass());
  auto* l = static_cast<ListIterator*>(it);
  l->list = _vdatatagOwner(&served);
  l->index = -1;
}
int listIterNext(vscrapIterator* it) {
  auto* l = static_cast<ListIterator*>(it);
  std::int32_t n = l->list->elements.begin ? _vdatatagListCount(&l->list->elements) : 0;
  if (l->index < n) ++l->index;
  return l->index < n;
}
vinstance* listIterElement(vscrapIterator* it) {
  auto* l = static_cast<ListIterator*>(it);
  return vscrapCreateReference(static_cast<vinstance*>(_vdatatagListGet(&l->list->elements, l->index)));
}

// An array of dictionaries kept as one dictionary record per member.
std::int32_t myCount(vscrap* w) { return _vdatatagListCount(&membersOf(w)); }
vdict* myRecord(vscrap* w, std::int32_t i) {
  if (i < 0 || i >= myCount(w)) range("array index out of range");
  return static_cast<vdict*>(_vdatatagValue(w)) + i;
}
vinstance* myGet(vscrap* w, std::int32_t i) {
  vdict* at = myRecord(w, i);
  return vdatatagCreateScrapWithValue(static_cast<vdatatag*>(membersOf(w).begin[i]), at);
}
void mySet(vscrap* w, std::int32_t i, vinstance* element) {
  HeldScrap held{element};
  vdict* at = myRecord(w, i);
  held.s = nullptr;
  importInto(element, static_cast<vdatatag*>(membersOf(w).begin[i]), at, w);
}

template <class Rec>
Rec* delegateClass(vclass* value, const char* name) {
  return _vdatatagMakeDelegateClass<Rec>(value, name);
}

template <class Rec>
Rec* iteratorClass(vclass* parent, const char* name, std::size_t size) {
  auto* c = vclassSpawnOf<Rec>(parent);
  vclassSetName(c, vscribeLiteral(name));
  c->instanceSize = size;
  return c;
}

}  // namespace

void _vdatatagListMake(vdatatagScrap* s, vdatatagList* datatags, va_list* ap, bool fill) {
  if (!s->elements.begin) _vdatatagListInit(&s->elements);
  for (void** p = datatags->begin; p != datatags->end; ++p) {
    vdatatagScrap* e = vdatatagCreateScrap(static_cast<vdatatag*>(*p));
    _vdatatagListAppend(&s->elements, e);
    auto* rec = vclassRec<vdatatagScrapClassRec>(e);
    (fill ? rec->fill : rec->refer)(e, ap);
  }
  s->value = s->elements.begin;
}

void _vdatatagBuildContainerKinds(vdatatagScrapClassRec** byKind) {
  auto* opaque = delegateClass<vscrapBlockClassRec>(vscrapGetBlockClass(), "vdatatagOpaqueDelegate");
  opaque->getSize = opaqueSize;
  opaque->setSize = opaqueSetSize;
  opaque->read = opaqueRead;
  opaque->write = opaqueWrite;
  byKind[vdatatagOPAQUE] = _vdatatagMakeScrapClass("vdatatagOpaqueScrap", opaque);

  auto* sizedOpaque = delegateClass<vscrapBlockClassRec>(vscrapGetBlockClass(), "vdatatagSizedOpaqueDelegate");
  sizedOpaque->getSize = sizedOpaqueSize;
  sizedOpaque->setSize = [](vscrap* w, std::size_t n) {
    if (n != sizedOpaqueSize(w)) range("a sized opaque value keeps its size");
  };
  sizedOpaque->read = sizedOpaqueRead;
  sizedOpaque->write = sizedOpaqueWrite;
  byKind[vdatatagSIZED_OPAQUE] = _vdatatagMakeScrapClass("vdatatagSizedOpaqueScrap", sizedOpaque);

  auto* array = delegateClass<vscrapArrayClassRec>(vscrapGetArrayClass(), "vdatatagArrayDelegate");
  array->getCount = arrayCount;
  array->setCount = arraySetCount;
  array->getElement = arrayGet;
  array->setElement = arraySet;
  byKind[vdatatagARRAY] = _vdatatagMakeScrapClass("vdatatagArrayScrap", array);

  auto* sized = delegateClass<vscrapArrayClassRec>(vscrapGetArrayClass(), "vdatatagSizedArrayDelegate");
  sized->getCount = sizedCount;
  sized->setCount = sizedSetCount;
  sized->getElement = sizedGet;
  sized->setElement = sizedSet;
  byKind[vdatatagSIZED_ARRAY] = _vdatatagMakeScrapClass("vdatatagSizedArrayScrap", sized);

  auto* dictIter = iteratorClass<vscrapDictionaryIteratorClassRec>(vscrapGetDictionaryIteratorClass(),
                                                                   "vdatatagDictScrapIter", sizeof(DictIterator));
  dictIter->start = dictIterStart;
  dictIter->next = dictIterNext;
  dictIter->finish = dictIterFinish;
  dictIter->currentElement = dictIterElement;
  dictIter->currentKey = dictIterKey;
  auto* dict = delegateClass<vscrapDictionaryClassRec>(vscrapGetDictionaryClass(), "vdatatagDictDelegate");
  dict->iteratorClass = dictIter;
  dict->get = dictGet;
  dict->set = dictSet;
  dict->remove = dictRemove;
  dict->clear = dictClear;
  byKind[vdatatagDICTIONARY] = _vdatatagMakeScrapClass("vdatatagDictScrap", dict);

  auto* compoundIter = iteratorClass<vscrapCompoundIteratorClassRec>(
      vscrapGetCompoundIteratorClass(), "vdatatagCompoundIterator", sizeof(CompoundIterator));
  compoundIter->start = compoundIterStart;
  compoundIter->next = compoundIterNext;
  compoundIter->currentElement = compoundIterElement;
  auto* compound = delegateClass<vscrapCompoundClassRec>(vscrapGetCompoundClass(), "vdatatagCompoundDelegate");
  compound->iteratorClass = compoundIter;
  byKind[vdatatagCOMPOUND] = _vdatatagMakeScrapClass("vdatatagCompoundScrap", compound);

  auto* unionDelegate = delegateClass<vabstractUnionClassRec>(vabstractGetUnionClass(), "vdatatagUnionDelegate");
  unionDelegate->get = [](vscrap* w) { return *selectorOf(w); };
  unionDelegate->set = [](vscrap* w, std::int32_t v) { *selectorOf(w) = v; };
  unionDelegate->getMember = unionMember;
  unionDelegate->setMember = unionSetMember;
  unionDelegate->exportTo = unionExport;
  unionDelegate->dump = [](vscrap* w, std::FILE* f) {
    HeldScrap m{unionMember(w)};
    if (m.s) vscrapDump(vscrapWalk(m.s), f);
  };
  byKind[vdatatagUNION] = _vdatatagMakeScrapClass("vdatatagUnionScrap", unionDelegate);

  auto* pointer = delegateClass<vscrapValueClassRec<void*>>(vabstractGetPointerClass(), "vdatatagPointerDelegate");
  pointer->get = pointerGet;
  pointer->set = pointerSet;
  pointer->exportTo = pointerExport;
  pointer->dump = pointerDump;
  byKind[vdatatagPOINTER] = _vdatatagMakeScrapClass("vdatatagPointerScrap", pointer);

  auto* listIter = iteratorClass<vscrapCompoundIteratorClassRec>(vscrapGetCompoundIteratorClass(),
                                                                 "vdatatagListScrapIter", sizeof(ListIterator));
  listIter->start = listIterStart;
  listIter->next = listIterNext;
  listIter->currentElement = listIterElement;
  auto* list = delegateClass<vscrapCompoundClassRec>(vabstractGetArglistClass(), "vdatatagListScrapDelegate");
  list->iteratorClass = listIter;
  auto* listScrap = _vdatatagMakeScrapClass("vdatatagListScrap", list);
  listScrap->fill = [](vdatatagScrap* s, va_list* ap) { listMake(s, ap, true); };
  listScrap->refer = [](vdatatagScrap* s, va_list* ap) { listMake(s, ap, false); };
  byKind[vdatatagLIST] = listScrap;

  auto* my = delegateClass<vscrapArrayClassRec>(vscrapGetArrayClass(), "vdatatagMyDelegate");
  my->getCount = myCount;
  my->setCount = [](vscrap* w, std::int32_t n) {
    if (n != myCount(w)) range("the array keeps its count");
  };
  my->getElement = myGet;
  my->setElement = mySet;
  auto* myScrap = _vdatatagMakeScrapClass("vdatatagMyScrap", my);
  myScrap->fill = [](vdatatagScrap* s, va_list* ap) {
    s->value = va_arg(*ap, void*);
    s->copied = 1;
  };
  myScrap->refer = [](vdatatagScrap* s, va_list* ap) { s->value = va_arg(*ap, void*); };
  myScrap->size = [](vscrap* w) {
    return vmemArraySize(static_cast<std::size_t>(_vdatatagListCount(&membersOf(w))), sizeof(vdict));
  };
  myScrap->allocate = [](vdatatagScrap* s) -> void* {
    auto n = static_cast<std::size_t>(_vdatatagListCount(&static_cast<vdatatagCompound*>(s->datatag)->members));
    auto* records = static_cast<vdict*>(vmemAllocClear(vmemArraySize(n ? n : 1, sizeof(vdict))));
    for (std::size_t i = 0; i < n; ++i) vdictInit(records + i, vdictHashName);
    s->value = records;
    s->owns = 1;
    return records;
  };
  myScrap->destroy = [](vinstance* o) {
    auto* s = static_cast<vdatatagScrap*>(o);
    if (s->owns && s->value) {
      auto n = static_cast<std::size_t>(_vdatatagListCount(&static_cast<vdatatagCompound*>(s->datatag)->members));
      for (std::size_t i = 0; i < n; ++i) vdictFinish(static_cast<vdict*>(s->value) + i);
    }
    vdatatagGetScrapClass()->destroy(o);
  };
  byKind[vdatatagKIND_COUNT] = myScrap;
}

namespace {

vdatatag* newConstructed(int kind) { return vdatatagCreate(kind); }

vdatatag* fromScrap(vscrap scrap, int depth) {
  if (depth > vdatatagMAX_DEPTH) _vdatatagTooDeep();
  struct Rule {
    vclass* kind;
    int predefined;
  };
  const Rule scalars[] = {{vscrapGetIntegerClass(), vdatatagINTEGER}, {vscrapGetBooleanClass(), vdatatagBOOLEAN},
                          {vscrapGetCharacterClass(), vdatatagCHARACTER}, {vscrapGetFloatClass(), vdatatagDOUBLE_FLOAT},
                          {vscrapGetFixedClass(), vdatatagFIXED}, {vscrapGetStringClass(), vdatatagSTRING},
                          {vscrapGetTagClass(), vdatatagTAG}, {vabstractGetDatatagClass(), vdatatagDATATAG},
                          {vabstractGetLonglongClass(), vdatatagLONGLONG}, {vabstractGetScrapClass(), vdatatagSCRAP}};
  vscrap w = scrap;
  vclass* convertible = vscrapGetConvertibleClass();
  do {
    vinstance* top = vdelegatorTop(&w);
    if (!vclassIsSubclass(top->cls, convertible)) continue;
    vclass* kind = static_cast<vscrapConvertibleClassRec*>(top->cls)->kindClass;
    if (!kind) continue;
    for (const Rule& r : scalars)
      if (vclassIsSubclass(kind, r.kind)) return vdatatagGetPredefined(r.predefined);
    if (vclassIsSubclass(kind, vscrapGetBlockClass())) {
      std::size_t n = vscrapGetBlockSize(scrap);
      if (n > INT32_MAX) range("block size beyond 32 bits");
      vdatatag* d = newConstructed(vdatatagSIZED_OPAQUE);
      vdatatagSetSizedOpaqueSize(d, static_cast<std::int32_t>(n));
      return d;
    }
    if (vclassIsSubclass(kind, vabstractGetPointerClass())) {
      vscrap at = w;
      vdelegatorFindClass(&at, vabstractGetPointerClass());
      HeldScrap pointed{static_cast<vinstance*>(static_cast<vscrapValueClassRec<void*>*>(vdelegatorTop(&at)->cls)->get(&at))};
      vdatatag* d = newConstructed(vdatatagPOINTER);
      if (pointed.s) vdatatagSetPointerTarget(d, fromScrap(vscrapWalk(pointed.s), depth + 1));
      return d;
    }
    if (vclassIsSubclass(kind, vscrapGetArrayClass())) {
      std::int32_t n = vscrapGetArrayCount(scrap);
      vdatatag* first = nullptr;
      if (n > 0) {
        HeldScrap e{vscrapGetArrayElement(scrap, 0)};
        first = fromScrap(vscrapWalk(e.s), depth + 1);
      }
      if (first && vdatatagGetKind(first) == vdatatagDICTIONARY) {
        vdatatag* d = newConstructed(vdatatagCOMPOUND);
        _vdatatagListAppend(vdatatagGetCompoundMembers(d), first);
        for (std::int32_t i = 1; i < n; ++i) {
          HeldScrap e{vscrapGetArrayElement(scrap, i)};
          _vdatatagListAppend(vdatatagGetCompoundMembers(d), fromScrap(vscrapWalk(e.s), depth + 1));
        }
        d->scrapClass = _vdatatagGetMyScrapClass();
        return d;
      }
      vdatatag* d = newConstructed(vdatatagSIZED_ARRAY);
      vdatatagSetSizedArrayElement(d, first);
      vdatatagSetSizedArrayCount(d, n < 0 ? 0 : n);
      return d;
    }
    bool dictionary = vclassIsSubclass(kind, vscrapGetDictionaryClass());
    if (dictionary || vclassIsSubclass(kind, vscrapGetCompoundClass())) {
      vdatatag* d = newConstructed(dictionary ? vdatatagDICTIONARY : vdatatagCOMPOUND);
      vscrapIterator* it = vscrapCreateCompoundIterator(scrap);
      struct Held {
        vscrapIterator* it;
        ~Held() { vscrapIteratorDestroy(it); }
      } held{it};
      while (vscrapIteratorNext(it)) {
        HeldScrap e{vscrapIteratorCurrentElement(it)};
        if (!e.s) continue;
        vdatatag* member = fromScrap(vscrapWalk(e.s), depth + 1);
        if (dictionary)
          vdatatagSetDictEntry(d, static_cast<vscrapDictionaryIteratorClassRec*>(it->cls)->currentKey(it), member);
        else
          _vdatatagListAppend(vdatatagGetCompoundMembers(d), member);
      }
      return d;
    }
  } while (vdelegatorNextIterator(&w, 0));
  return nullptr;
}

}  // namespace

vdatatag* vdatatagFromScrap(vscrap scrap) { return fromScrap(scrap, 0); }
