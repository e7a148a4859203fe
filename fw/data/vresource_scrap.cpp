// Resources seen as scraps and back. A resource scrap holds a handle and
// delegates to a value object of its resource's kind; an element scrap
// holds an array and an index and serves the scalar element kinds. Both
// work through the routed calls, so they serve either store.
#include <cstring>
#include <vector>

#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/data/vresource_internal.h"

namespace {

struct ResourceScrap : vinstance {
  vresource handle;
};
struct ElementScrap : vinstance {
  vresource array;
  std::int32_t index;
  vinstance* own;  // the element's own resource's scrap, once it has one
};
struct EntryIterator : vscrapIterator {
  std::int32_t index;
  std::int32_t count;
};

struct State {
  vscrapTypeableClassRec* resource;
  vscrapTypeableClassRec* element;
  vinstance* delegates[11];         // of a resource, by kind
  vinstance* elementDelegates[11];  // of an element, scalar kinds only
};
void** stateSlot = nullptr;

// The kinds a scrap class stands for, in the order entype tries them.
struct KindRow {
  int kind;
  vclass* (*scrapClass)();
};
constexpr KindRow entypeOrder[] = {
    {vresARRAY, []() -> vclass* { return vscrapGetArrayClass(); }},
    {vresBOOLEAN, []() -> vclass* { return vscrapGetBooleanClass(); }},
    {vresCHARACTER, []() -> vclass* { return vscrapGetCharacterClass(); }},
    {vresSTRING, []() -> vclass* { return vscrapGetStringClass(); }},
    {vresDICTIONARY, []() -> vclass* { return vscrapGetDictionaryClass(); }},
    {vresFIXED, []() -> vclass* { return vscrapGetFixedClass(); }},
    {vresFLOAT, []() -> vclass* { return vscrapGetFloatClass(); }},
    {vresINTEGER, []() -> vclass* { return vscrapGetIntegerClass(); }},
    {vresOPAQUE, []() -> vclass* { return vscrapGetBlockClass(); }},
    {vresTAG, []() -> vclass* { return vscrapGetTagClass(); }},
};
int kindOfClass(vclass* cls) {
  for (const KindRow& row : entypeOrder)
    if (row.scrapClass() == cls) return row.kind;
  return 0;
}

State* state();

// The object a delegate serves, and the resource it stands for.
vresource handleOf(vscrap* w) { return static_cast<ResourceScrap*>(w->stack[w->depth - 1])->handle; }
ElementScrap* elementOf(vscrap* w) { return static_cast<ElementScrap*>(w->stack[w->depth - 1]); }

vinstance* makeResourceScrap(vresource h) {
  auto* s = static_cast<ResourceScrap*>(vinstanceCreate(state()->resource));
  s->handle = h;
  return s;
}
vinstance* makeElementScrap(vresource array, std::int32_t index) {
  auto* s = static_cast<ElementScrap*>(vinstanceCreate(state()->element));
  s->array = array;
  s->index = index;
  s->own = nullptr;
  return s;
}

// Elements with a resource of their own stand as that resource.
bool ownsResource(int kind) {
  return kind == vresDICTIONARY || kind == vresARRAY || kind == vresSTRING || kind == vresOPAQUE;
}
// The element's own resource; 0 while it holds no record (the ".vr" store
// would answer the root for it).
vresource ownResource(vresource array, std::int32_t i) {
  vresource h = vresourceGetAt(array, i);
  return vresourceGetNumber(h) ? h : 0;
}
vinstance* getAtObject(vresource h, std::int32_t i) {
  if (i < 0 || i >= vresourceCount(h)) vexGenerateMessage(&vexArgRangeClass, "Illegal array index");
  if (ownsResource(vresourceGetElementType(h)))
    if (vresource own = ownResource(h, i)) return makeResourceScrap(own);
  return makeElementScrap(h, i);
}
vinstance* getObject(vresource h, vname tag) { return makeResourceScrap(tag ? vresourceGet(h, tag) : h); }
int testGetObject(vresource h, vname tag, vinstance** out) {
  _vresourceRequireOut(out);
  vresource child;
  if (!vresourceTestGet(h, tag, &child)) return 0;
  *out = makeResourceScrap(child);
  return 1;
}

// Imports source into target; target goes, and element too when given.
void importInto(vscrap source, vinstance* target, vinstance* element = nullptr) {
  vexGuard([&] { vscrapImport(source, vscrapWalk(target)); },
           [&](vexHandler&) {
             vinstanceDestroy(target);
             if (element) vinstanceDestroy(element);
             _vexGenerate(nullptr, vexEnd);
           });
  vinstanceDestroy(target);
  if (element) vinstanceDestroy(element);
}
void setScrap(vresource h, vname tag, vscrap scrap) { importInto(scrap, makeResourceScrap(vresourceMake(h, tag))); }
void setAtScrap(vresource h, std::int32_t i, vscrap scrap) { importInto(scrap, getAtObject(h, i)); }

// The walk over a scrap's delegates, for the first object test accepts.
template <class F>
bool walk(vscrap scrap, F test) {
  if (scrap.depth >= 0) do {
      if (test(vdelegatorTop(&scrap))) return true;
    } while (vdelegatorNextIterator(&scrap, 0));
  return false;
}
vresource fromScrap(vscrap scrap) {
  vresource h = 0;
  bool found = walk(scrap, [&](vinstance* o) {
    if (vclassIsSubclass(o->cls, state()->resource)) return h = static_cast<ResourceScrap*>(o)->handle, true;
    return (h = _newresourceHandleOfObject(o)) != 0;
  });
  if (!found) vexGenerateMessage(&vexArgClass, "Scrap does not stand for a resource");
  return h;
}
void elementPlace(vinstance* object, vresource* array, std::int32_t* index) {
  bool found = walk(vscrapWalk(object), [&](vinstance* o) {
    if (!vclassIsSubclass(o->cls, state()->element)) return _newresourceElementOfObject(o, array, index);
    *array = static_cast<ElementScrap*>(o)->array;
    *index = static_cast<ElementScrap*>(o)->index;
    return true;
  });
  if (!found) vexGenerateMessage(&vexArgClass, "Object does not stand for an array element");
}
vresource fromObject(vinstance* object) {
  vresource array = 0;
  std::int32_t index = 0;
  elementPlace(object, &array, &index);
  return array;
}
std::int32_t objectIndex(vinstance* object) {
  vresource array = 0;
  std::int32_t index = 0;
  elementPlace(object, &array, &index);
  return index;
}

// ---- The delegates of a resource, by kind.
template <class T, T (*get)(vresource, vname), void (*set)(vresource, vname, T)>
void wireValue(vinstance* delegate) {
  auto* c = static_cast<vscrapValueClassRec<T>*>(delegate->cls);
  c->get = [](vscrap* w) { return get(handleOf(w), nullptr); };
  c->set = [](vscrap* w, T v) { set(handleOf(w), nullptr, v); };
}
template <class T, T (*get)(vresource, std::int32_t), void (*set)(vresource, std::int32_t, T)>
void wireElement(vinstance* delegate) {
  auto* c = static_cast<vscrapValueClassRec<T>*>(delegate->cls);
  c->get = [](vscrap* w) { return get(elementOf(w)->array, elementOf(w)->index); };
  c->set = [](vscrap* w, T v) { set(elementOf(w)->array, elementOf(w)->index, v); };
}

// Opaque bytes are read whole and written back whole.
std::vector<unsigned char> bytesOf(vresource h) {
  std::size_t n = 0;
  void* p = vresourceGetOpaque(h, nullptr, &n);
  std::vector<unsigned char> out(static_cast<unsigned char*>(p), static_cast<unsigned char*>(p) + n);
  if (p) vmemFree(p);
  return out;
}
void checkRange(std::size_t size, std::size_t offset, std::size_t count) {
  if (offset > size || count > size - offset) vexGenerateMessage(&vexArgRangeClass, "Range beyond the opaque value");
}
void wireBlock(vinstance* delegate) {
  auto* c = static_cast<vscrapBlockClassRec*>(delegate->cls);
  c->getSize = [](vscrap* w) { return vresourceGetSize(handleOf(w)); };
  c->setSize = [](vscrap* w, std::size_t n) {
    std::vector<unsigned char> b = bytesOf(handleOf(w));
    b.resize(n);
    vresourceSetOpaque(handleOf(w), nullptr, b.data(), b.size());
  };
  c->read = [](vscrap* w, std::size_t offset, std::size_t count, void* buffer) {
    std::vector<unsigned char> b = bytesOf(handleOf(w));
    checkRange(b.size(), offset, count);
    if (count) std::memcpy(buffer, b.data() + offset, count);
  };
  c->write = [](vscrap* w, std::size_t offset, std::size_t count, const void* buffer) {
    std::vector<unsigned char> b = bytesOf(handleOf(w));
    checkRange(b.size(), offset, count);
    if (count) std::memcpy(b.data() + offset, buffer, count);
    vresourceSetOpaque(handleOf(w), nullptr, b.data(), b.size());
  };
}

void wireArray(vinstance* delegate) {
  auto* c = static_cast<vscrapArrayClassRec*>(delegate->cls);
  c->getCount = [](vscrap* w) { return vresourceCount(handleOf(w)); };
  c->setCount = [](vscrap* w, std::int32_t n) { vresourceSetCount(handleOf(w), n); };
  c->getElement = [](vscrap* w, std::int32_t i) { return getAtObject(handleOf(w), i); };
  c->setElement = [](vscrap* w, std::int32_t i, vinstance* element) {
    vinstance* target = nullptr;
    vexGuard([&] { target = getAtObject(handleOf(w), i); },
             [&](vexHandler&) {
               vinstanceDestroy(element);
               _vexGenerate(nullptr, vexEnd);
             });
    importInto(vscrapWalk(element), target, element);
  };
}

vresource iterated(vscrapIterator* it) {
  return static_cast<ResourceScrap*>(it->walk.stack[it->walk.depth - 1])->handle;
}
void wireDictionary(vinstance* delegate) {
  auto* iter = vclassSpawnOf<vscrapDictionaryIteratorClassRec>(vscrapGetDictionaryIteratorClass());
  vclassSetName(iter, vscribeLiteral("vresourceDictionaryIterator"));
  iter->instanceSize = sizeof(EntryIterator);
  iter->start = [](vscrapIterator* it, vscrap* scrap) {
    vscrapGetIteratorClass()->start(it, scrap);
    vdelegatorFindClass(&it->walk, state()->delegates[vresDICTIONARY]->cls);
    auto* e = static_cast<EntryIterator*>(it);
    e->index = -1;
    e->count = vresourceCount(iterated(it));
  };
  iter->next = [](vscrapIterator* it) {
    auto* e = static_cast<EntryIterator*>(it);
    if (e->index < e->count) ++e->index;
    return e->index < e->count ? 1 : 0;
  };
  iter->currentKey = [](vscrapIterator* it) {
    return vresourceGetTagAtOnly(iterated(it), static_cast<EntryIterator*>(it)->index);
  };
  iter->currentElement = [](vscrapIterator* it) {
    return makeResourceScrap(vresourceGetTagAt(iterated(it), static_cast<EntryIterator*>(it)->index, nullptr));
  };

  auto* c = static_cast<vscrapDictionaryClassRec*>(delegate->cls);
  c->iteratorClass = iter;
  c->clear = [](vscrap* w) {
    vresource h = handleOf(w);
    while (vresourceCount(h) != 0) vresourceRemove(h, vresourceGetTagAtOnly(h, 0));
  };
  c->get = [](vscrap* w, vname key) {
    vresource child;
    return vresourceTestGet(handleOf(w), key, &child) ? makeResourceScrap(child) : nullptr;
  };
  // The entry is made again, untyped, and takes the element's value.
  c->set = [](vscrap* w, vname key, vinstance* element) {
    vinstance* target = nullptr;
    vexGuard(
        [&] {
          vresourceRemove(handleOf(w), key);
          target = makeResourceScrap(vresourceMake(handleOf(w), key));
        },
        [&](vexHandler&) {
          vinstanceDestroy(element);
          _vexGenerate(nullptr, vexEnd);
        });
    importInto(vscrapWalk(element), target, element);
  };
  c->remove = [](vscrap* w, vname key) { vresourceRemove(handleOf(w), key); };
}

vinstance* spawnDelegate(int kind, const char* name) {
  vclass* super = nullptr;
  for (const KindRow& row : entypeOrder)
    if (row.kind == kind) super = row.scrapClass();
  vclass* c = vclassSpawn(super, super->recordSize);
  vclassSetName(c, vscribeLiteral(name));
  c->instanceSize = sizeof(vinstance);
  return vinstanceCreate(c);
}

// An untyped resource takes the kind the scrap code asks of it.
int entypeResource(vscrap* w, vclass* cls) {
  vresource h = static_cast<ResourceScrap*>(w->stack[w->depth])->handle;
  int kind = kindOfClass(cls);
  if (vresourceGetType(h, nullptr) != vresUNTYPED || !kind) return 0;
  if (kind == vresARRAY)
    vresourceCreateArray(h, nullptr, vresUNTYPED, 0);
  else
    vresourceCreate(h, nullptr, kind);
  return 1;
}
// A store that makes no record for a scalar element types an untyped
// array by the first value written: a zero of the kind.
struct ZeroRow {
  int kind;
  void (*write)(vresource array, std::int32_t index);
};
constexpr ZeroRow zeros[] = {
    {vresBOOLEAN, [](vresource a, std::int32_t i) { vresourceSetAtBoolean(a, i, 0); }},
    {vresCHARACTER, [](vresource a, std::int32_t i) { vresourceSetAtCharacter(a, i, 0); }},
    {vresFIXED, [](vresource a, std::int32_t i) { vresourceSetAtFixed(a, i, 0); }},
    {vresFLOAT, [](vresource a, std::int32_t i) { vresourceSetAtFloat(a, i, 0); }},
    {vresINTEGER, [](vresource a, std::int32_t i) { vresourceSetAtInteger(a, i, 0); }},
};
int entypeElement(vscrap* w, vclass* cls) {
  auto* e = static_cast<ElementScrap*>(w->stack[w->depth]);
  int kind = kindOfClass(cls);
  int arrayKind = vresourceGetElementType(e->array);
  // An untyped element, or an element of a dictionary, string or opaque
  // array that holds no record yet.
  bool empty = arrayKind == vresUNTYPED || (arrayKind == kind && kind != vresARRAY && ownsResource(kind) &&
                                            !ownResource(e->array, e->index));
  if (!kind || !empty) return 0;
  vresourceCreateAt(e->array, e->index, kind);
  for (const ZeroRow& z : zeros)
    if (z.kind == kind && vresourceGetElementType(e->array) == vresUNTYPED) z.write(e->array, e->index);
  return vresourceGetElementType(e->array) == kind ? 1 : 0;
}

vinstance* resourceDelegate(vinstance* self, vinstance* previous, int) {
  if (previous) return nullptr;
  int kind = vresourceGetType(static_cast<ResourceScrap*>(self)->handle, nullptr);
  return kind >= 1 && kind <= 10 ? state()->delegates[kind] : nullptr;
}
// An untyped element that scrap code typed as a dictionary, array, string
// or opaque value has a resource of its own from then on, and stands as it.
vinstance* elementDelegate(vinstance* self, vinstance* previous, int) {
  if (previous) return nullptr;
  auto* e = static_cast<ElementScrap*>(self);
  int kind = vresourceGetElementType(e->array);
  if (ownsResource(kind)) {
    vresource h = ownResource(e->array, e->index);
    if (!h) return nullptr;
    if (!e->own || static_cast<ResourceScrap*>(e->own)->handle != h) {
      if (e->own) vinstanceDestroy(e->own);
      e->own = makeResourceScrap(h);
    }
    return e->own;
  }
  return kind >= 1 && kind <= 10 ? state()->elementDelegates[kind] : nullptr;
}

State* state() {
  if (auto* bound = vmoduleState<State>(stateSlot)) return bound;
  auto* s = static_cast<State*>(vmoduleBindSlot(stateSlot, sizeof(State)));
  *s = State{};
  vclass* typeable = vscrapGetTypeableClass();
  s->resource = vclassSpawnOf<vscrapTypeableClassRec>(typeable);
  vclassSetName(s->resource, vscribeLiteral("vresourceScrap"));
  s->resource->instanceSize = sizeof(ResourceScrap);
  s->resource->nextDelegate = resourceDelegate;
  s->resource->entype = entypeResource;
  s->element = vclassSpawnOf<vscrapTypeableClassRec>(typeable);
  vclassSetName(s->element, vscribeLiteral("vresourceElementScrap"));
  s->element->instanceSize = sizeof(ElementScrap);
  s->element->nextDelegate = elementDelegate;
  s->element->entype = entypeElement;
  s->element->destroy = [](vinstance* o) {
    if (vinstance* own = static_cast<ElementScrap*>(o)->own) vinstanceDestroy(own);
    static_cast<vinstanceClassRec*>(vscrapGetTypeableClass())->destroy(o);
  };

  vinstance** d = s->delegates;
  wireDictionary(d[vresDICTIONARY] = spawnDelegate(vresDICTIONARY, "vresourceDictionaryScrap"));
  wireArray(d[vresARRAY] = spawnDelegate(vresARRAY, "vresourceArrayScrap"));
  wireValue<vname, vresourceGetTag, vresourceSetTag>(d[vresTAG] = spawnDelegate(vresTAG, "vresourceTagScrap"));
  wireValue<std::int32_t, vresourceGetInteger, vresourceSetInteger>(
      d[vresINTEGER] = spawnDelegate(vresINTEGER, "vresourceIntegerScrap"));
  wireValue<std::int32_t, vresourceGetFixed, vresourceSetFixed>(d[vresFIXED] = spawnDelegate(vresFIXED, "vresourceFixedScrap"));
  wireValue<double, vresourceGetFloat, vresourceSetFloat>(d[vresFLOAT] = spawnDelegate(vresFLOAT, "vresourceFloatScrap"));
  wireValue<vscribe*, vresourceGetString, vresourceSetString>(
      d[vresSTRING] = spawnDelegate(vresSTRING, "vresourceStringScrap"));
  wireValue<char, vresourceGetCharacter, vresourceSetCharacter>(
      d[vresCHARACTER] = spawnDelegate(vresCHARACTER, "vresourceCharacterScrap"));
  wireValue<int, vresourceGetBoolean, vresourceSetBoolean>(
      d[vresBOOLEAN] = spawnDelegate(vresBOOLEAN, "vresourceBooleanScrap"));
  wireBlock(d[vresOPAQUE] = spawnDelegate(vresOPAQUE, "vresourceOpaqueScrap"));

  vinstance** e = s->elementDelegates;
  wireElement<int, vresourceGetAtBoolean, vresourceSetAtBoolean>(
      e[vresBOOLEAN] = spawnDelegate(vresBOOLEAN, "vresourceElementBooleanScrap"));
  wireElement<char, vresourceGetAtCharacter, vresourceSetAtCharacter>(
      e[vresCHARACTER] = spawnDelegate(vresCHARACTER, "vresourceElementCharacterScrap"));
  wireElement<std::int32_t, vresourceGetAtFixed, vresourceSetAtFixed>(
      e[vresFIXED] = spawnDelegate(vresFIXED, "vresourceElementFixedScrap"));
  wireElement<double, vresourceGetAtFloat, vresourceSetAtFloat>(
      e[vresFLOAT] = spawnDelegate(vresFLOAT, "vresourceElementFloatScrap"));
  wireElement<std::int32_t, vresourceGetAtInteger, vresourceSetAtInteger>(
      e[vresINTEGER] = spawnDelegate(vresINTEGER, "vresourceElementIntegerScrap"));
  wireElement<vname, vresourceGetAtTag, vresourceSetAtTag>(e[vresTAG] = spawnDelegate(vresTAG, "vresourceElementTagScrap"));
  return s;
}

}  // namespace

// The same routines fill the object slots of both tables.
void _vresourceFillScrapSlots(vresourceSlotFn* t) {
  t[vresourceSlotGetObject] = _vresourceSlot(getObject);
  t[vresourceSlotTestGetObject] = _vresourceSlot(testGetObject);
  t[vresourceSlotGetAtObject] = _vresourceSlot(getAtObject);
  t[vresourceSlotSetScrap] = _vresourceSlot(setScrap);
  t[vresourceSlotSetAtScrap] = _vresourceSlot(setAtScrap);
  t[vresourceSlotFromScrap] = _vresourceSlot(fromScrap);
  t[vresourceSlotFromObject] = _vresourceSlot(fromObject);
  t[vresourceSlotGetObjectIndex] = _vresourceSlot(objectIndex);
}
