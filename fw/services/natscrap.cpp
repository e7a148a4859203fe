#include "fw/services/natscrap.h"

#include "fw/core/debug.h"

namespace {

struct NatState {
  vclass* pointer;
  vclass* datatag;
  vclass* longlong;
  vclass* scrap;
  vclass* unionValue;
  vscrapCompoundClassRec* arglist;
  vscrapCompoundClassRec* compound;
  vscrapCompoundIteratorClassRec* arglistIter;
  vscrapCompoundIteratorClassRec* compoundIter;
};
void** natSlot = nullptr;

std::FILE* orError(std::FILE* stream) { return stream ? stream : vdebugGetConsoleError(); }
template <class T>
T* self(const vscrap* w) {
  return static_cast<T*>(w->stack[w->depth]);
}
template <class Rec>
Rec* slots(const vscrap* w) {
  return static_cast<Rec*>(w->stack[w->depth]->cls);
}
using PointerRec = vscrapValueClassRec<void*>;
using ScrapRec = vscrapValueClassRec<vinstance*>;
using LonglongRec = vscrapValueClassRec<std::int64_t>;

struct Held {
  vinstance* object;
  ~Held() {
    if (object) vinstanceDestroy(object);
  }
};

// A reference answered by a get is the caller's; a lent scrap is not.
bool isReference(const vinstance* o) { return o && vclassIsSubclass(o->cls, vscrapGetReferenceClass()); }

// A typeable copy of value, which stays the caller's.
vinstance* typeableCopy(vinstance* value) {
  vscrapNativeTypeable* copy = vscrapCreateNativeTypeable();
  vexGuard([&] { vscrapImport(vscrapWalk(value), vscrapWalk(copy)); },
           [&](vexHandler&) {
             vinstanceDestroy(copy);
             _vexGenerate(nullptr);
           });
  return copy;
}

void dumpHeld(vinstance* value, std::FILE* stream) {
  if (value) vscrapDump(vscrapWalk(value), stream);
}

// The abstract classes' exports and dumps.
void pointerExport(vscrap* from, vscrap* to) {
  Held value{static_cast<vinstance*>(slots<PointerRec>(from)->get(from))};
  slots<PointerRec>(to)->set(to, value.object);
}
void pointerDump(vscrap* w, std::FILE* stream) {
  stream = orError(stream);
  Held value{static_cast<vinstance*>(slots<PointerRec>(w)->get(w))};
  if (!value.object) {
    vdebugFputs("{* NULL }", stream);
    return;
  }
  vdebugFputs("{* ", stream);
  dumpHeld(value.object, stream);
  vdebugFputs(" }", stream);
}
void datatagDump(vscrap* w, std::FILE* stream) {
  stream = orError(stream);
  vdebugFputs("{ ", stream);
  if (auto* d = static_cast<vdatatag*>(slots<PointerRec>(w)->get(w))) vdatatagDump(d, stream);
  vdebugFputs("}\n", stream);
}
void longlongDump(vscrap* w, std::FILE* stream) {
  auto v = static_cast<std::uint64_t>(slots<LonglongRec>(w)->get(w));
  vdebugFprintf(orError(stream), "[ hi: %d, lo: %d ]", static_cast<std::int32_t>(v >> 32),
                static_cast<std::int32_t>(v & 0xFFFFFFFFu));
}
void scrapExport(vscrap* from, vscrap* to) {
  vinstance* value = slots<ScrapRec>(from)->get(from);
  Held owned{isReference(value) ? value : nullptr};
  slots<ScrapRec>(to)->set(to, value);
}
void scrapDump(vscrap* w, std::FILE* stream) {
  stream = orError(stream);
  vinstance* value = slots<ScrapRec>(w)->get(w);
  Held owned{isReference(value) ? value : nullptr};
  vdebugFputs("{:: ", stream);
  dumpHeld(value, stream);
  vdebugFputs(" ::}", stream);
}
void unionExport(vscrap* from, vscrap* to) {
  slots<vabstractUnionClassRec>(to)->set(to, slots<vabstractUnionClassRec>(from)->get(from));
  if (vinstance* member = slots<vabstractUnionClassRec>(from)->getMember(from))
    slots<vabstractUnionClassRec>(to)->setMember(to, member);
}
void unionDump(vscrap* w, std::FILE* stream) {
  stream = orError(stream);
  vdebugFprintf(stream, "[ switch (%d) \n", static_cast<int>(slots<vabstractUnionClassRec>(w)->get(w)));
  Held member{slots<vabstractUnionClassRec>(w)->getMember(w)};
  dumpHeld(member.object, stream);
  vdebugFputs("\n]", stream);
}

void completeAbstractClasses() {
  auto* pointer = vabstractGetPointerClass();
  pointer->exportTo = pointerExport;
  pointer->dump = pointerDump;
  vabstractGetDatatagClass()->dump = datatagDump;
  vabstractGetLonglongClass()->dump = longlongDump;
  auto* scrap = vabstractGetScrapClass();
  scrap->exportTo = scrapExport;
  scrap->dump = scrapDump;
  auto* u = vabstractGetUnionClass();
  u->exportTo = unionExport;
  u->dump = unionDump;
}

// Natives holding one owned scrap: set keeps a copy, get lends a reference.
vinstance* referenceOrNone(vinstance* held) { return held ? vscrapCreateReference(held) : nullptr; }
void replace(vinstance** slot, vinstance* fresh) {
  vinstance* old = *slot;
  *slot = fresh;
  if (old) vinstanceDestroy(old);
}

template <class Rec>
Rec* nativeClass(vclass* abstractKind, const char* name, std::size_t size) {
  auto* c = vclassSpawnOf<Rec>(abstractKind);
  vclassSetName(c, vscribeLiteral(name));
  c->instanceSize = size;
  vscrapRegisterNativeClass(abstractKind, c);
  return c;
}

void buildValueNatives(NatState* s) {
  auto* pointer = nativeClass<PointerRec>(vabstractGetPointerClass(), "_vnatscrapPointer", sizeof(_vnatscrapPointer));
  pointer->init = [](vinstance* o) { static_cast<_vnatscrapPointer*>(o)->target = nullptr; };
  pointer->destroy = [](vinstance* o) {
    replace(&static_cast<_vnatscrapPointer*>(o)->target, nullptr);
    vinstanceGetDefaultClass()->destroy(o);
  };
  pointer->get = [](vscrap* w) -> void* { return referenceOrNone(self<_vnatscrapPointer>(w)->target); };
  pointer->set = [](vscrap* w, void* v) {
    replace(&self<_vnatscrapPointer>(w)->target, v ? typeableCopy(static_cast<vinstance*>(v)) : nullptr);
  };
  s->pointer = pointer;

  auto* datatag = nativeClass<PointerRec>(vabstractGetDatatagClass(), "_vnatscrapDatatag", sizeof(_vnatscrapDatatag));
  datatag->init = [](vinstance* o) { static_cast<_vnatscrapDatatag*>(o)->datatag = nullptr; };
  datatag->get = [](vscrap* w) -> void* { return self<_vnatscrapDatatag>(w)->datatag; };
  datatag->set = [](vscrap* w, void* v) { self<_vnatscrapDatatag>(w)->datatag = static_cast<vdatatag*>(v); };
  s->datatag = datatag;

  auto* longlong = nativeClass<LonglongRec>(vabstractGetLonglongClass(), "_vnatscrapLonglong", sizeof(_vnatscrapLonglong));
  longlong->init = [](vinstance* o) { static_cast<_vnatscrapLonglong*>(o)->low = static_cast<_vnatscrapLonglong*>(o)->high = 0; };
  longlong->get = [](vscrap* w) {
    auto* l = self<_vnatscrapLonglong>(w);
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(l->high) << 32) | l->low);
  };
  longlong->set = [](vscrap* w, std::int64_t v) {
    auto u = static_cast<std::uint64_t>(v);
    self<_vnatscrapLonglong>(w)->low = static_cast<std::uint32_t>(u);
    self<_vnatscrapLonglong>(w)->high = static_cast<std::uint32_t>(u >> 32);
  };
  s->longlong = longlong;

  auto* scrap = nativeClass<ScrapRec>(vabstractGetScrapClass(), "_vnatscrapScrap", sizeof(_vnatscrapScrap));
  scrap->init = [](vinstance* o) { static_cast<_vnatscrapScrap*>(o)->held = nullptr; };
  scrap->destroy = [](vinstance* o) {
    replace(&static_cast<_vnatscrapScrap*>(o)->held, nullptr);
    vinstanceGetDefaultClass()->destroy(o);
  };
  scrap->get = [](vscrap* w) { return referenceOrNone(self<_vnatscrapScrap>(w)->held); };
  scrap->set = [](vscrap* w, vinstance* v) { replace(&self<_vnatscrapScrap>(w)->held, v ? typeableCopy(v) : nullptr); };
  s->scrap = scrap;

  auto* u = nativeClass<vabstractUnionClassRec>(vabstractGetUnionClass(), "_vnatscrapUnion", sizeof(_vnatscrapUnion));
  u->init = [](vinstance* o) {
    static_cast<_vnatscrapUnion*>(o)->selector = 0;
    static_cast<_vnatscrapUnion*>(o)->member = nullptr;
  };
  u->destroy = [](vinstance* o) {
    replace(&static_cast<_vnatscrapUnion*>(o)->member, nullptr);
    vinstanceGetDefaultClass()->destroy(o);
  };
  u->get = [](vscrap* w) { return self<_vnatscrapUnion>(w)->selector; };
  u->set = [](vscrap* w, std::int32_t v) { self<_vnatscrapUnion>(w)->selector = v; };
  u->getMember = [](vscrap* w) { return referenceOrNone(self<_vnatscrapUnion>(w)->member); };
  // The member given is consumed, as a compound's added element is.
  u->setMember = [](vscrap* w, vinstance* v) { replace(&self<_vnatscrapUnion>(w)->member, v ? vscrapMakeTypeable(v) : nullptr); };
  s->unionValue = u;
}

// The member vector and its iterators.
void vectorInit(vinstance* o) {
  auto* v = static_cast<vnatscrapVector*>(o);
  v->begin = v->end = v->cap = nullptr;
}
void vectorDestroy(vinstance* o) {
  auto* v = static_cast<vnatscrapVector*>(o);
  vnatscrapClear(v);
  vmemFree(v->begin);
  v->begin = v->end = v->cap = nullptr;
  vinstanceGetDefaultClass()->destroy(o);
}

void iterStart(vscrapIterator* it, vscrap* scrap) {
  vdelegatorCopyIterator(&it->walk, scrap);
  vscrap at = *scrap;
  vdelegatorFindClass(&at, vscrapGetCompoundClass());
  auto* i = static_cast<vnatscrapVectorIter*>(it);
  i->vector = self<vnatscrapVector>(&at);
  i->index = -1;
}
int iterNext(vscrapIterator* it) {
  auto* i = static_cast<vnatscrapVectorIter*>(it);
  std::int32_t n = vnatscrapCount(i->vector);
  if (i->index < n) ++i->index;
  return i->index < n;
}
vinstance* iterCurrent(vscrapIterator* it) {
  auto* i = static_cast<vnatscrapVectorIter*>(it);
  if (i->index < 0 || i->index >= vnatscrapCount(i->vector)) return nullptr;
  return vscrapCreateReference(i->vector->begin[i->index]);
}

vscrapCompoundIteratorClassRec* iterClass(const char* name) {
  auto* c = vclassSpawnOf<vscrapCompoundIteratorClassRec>(vscrapGetCompoundIteratorClass());
  vclassSetName(c, vscribeLiteral(name));
  c->instanceSize = sizeof(vnatscrapVectorIter);
  c->init = [](vinstance* o) {
    vscrapGetIteratorClass()->init(o);
    static_cast<vnatscrapVectorIter*>(o)->vector = nullptr;
    static_cast<vnatscrapVectorIter*>(o)->index = -1;
  };
  c->start = iterStart;
  c->next = iterNext;
  c->currentElement = iterCurrent;
  return c;
}

vscrapCompoundClassRec* vectorClass(vclass* abstractKind, const char* name, vscrapCompoundIteratorClassRec* iter) {
  auto* c = nativeClass<vscrapCompoundClassRec>(abstractKind, name, sizeof(vnatscrapVector));
  c->init = vectorInit;
  c->destroy = vectorDestroy;
  c->iteratorClass = iter;
  c->clear = [](vscrap* w) { vnatscrapClear(self<vnatscrapVector>(w)); };
  c->add = [](vscrap* w, vinstance* element) { vnatscrapAppend(self<vnatscrapVector>(w), element); };
  return c;
}

NatState* state() {
  if (auto* bound = vmoduleState<NatState>(natSlot)) return bound;
  vscrapGetNativeTypeableClass();
  auto* s = static_cast<NatState*>(vmoduleBindSlot(natSlot, sizeof(NatState)));
  *s = NatState{};
  completeAbstractClasses();
  buildValueNatives(s);
  s->arglistIter = iterClass("vnatscrapArglistIter");
  s->compoundIter = iterClass("vnatscrapCompoundIter");
  s->arglist = vectorClass(vabstractGetArglistClass(), "vnatscrapArglist", s->arglistIter);
  s->compound = vectorClass(vscrapGetCompoundClass(), "vnatscrapCompound", s->compoundIter);
  return s;
}

}  // namespace

void vnatscrapGetDefaultClass() { state(); }
vclass* vnatscrapGetPointerClass() { return state()->pointer; }
vclass* vnatscrapGetDatatagClass() { return state()->datatag; }
vclass* vnatscrapGetLonglongClass() { return state()->longlong; }
vclass* vnatscrapGetScrapClass() { return state()->scrap; }
vclass* vnatscrapGetUnionClass() { return state()->unionValue; }
vscrapCompoundClassRec* vnatscrapGetArglistClass() { return state()->arglist; }
vscrapCompoundClassRec* vnatscrapGetCompoundClass() { return state()->compound; }
vscrapCompoundIteratorClassRec* vnatscrapGetArglistIterClass() { return state()->arglistIter; }
vscrapCompoundIteratorClassRec* vnatscrapGetCompoundIterClass() { return state()->compoundIter; }

void vnatscrapAppend(vnatscrapVector* v, vinstance* scrap) {
  vinstance* typed = vscrapMakeTypeable(scrap);
  if (v->end == v->cap) {
    std::size_t n = static_cast<std::size_t>(v->cap - v->begin);
    std::size_t room = n ? n * 2 : 4;
    if (room > static_cast<std::size_t>(INT32_MAX)) {
      vinstanceDestroy(typed);
      vexGenerateMessage(&vexModuleLimitClass, "member vector is full");
    }
    auto** grown = static_cast<vinstance**>(vmemRealloc(v->begin, vmemArraySize(room, sizeof(vinstance*))));
    v->end = grown + n;
    v->begin = grown;
    v->cap = grown + room;
  }
  *v->end++ = typed;
}

void vnatscrapClear(vnatscrapVector* v) {
  while (v->end != v->begin) vinstanceDestroy(*--v->end);
}
