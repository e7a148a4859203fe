// The engine scrap, the marshalling scrap over a block, the delegate of
// each datatag kind, the "vrepdef" group, refusals and the outermost calls.
#include <algorithm>
#include <cstring>

#include "fw/services/natscrap.h"
#include "fw/services/repdef_internal.h"

namespace {

struct RepdefState {
  vscrapTypeableClassRec* engineClass;
  vscrapTypeableClassRec* scrapClass;
  vinstance* delegates[vdatatagKIND_COUNT];
  vdatatagGroup* group;
  vdatatag* encodedArray;
  vdatatag* encodedDictionary;
  vdatatag* encodedCompound;
  vpool* arrayStates;
  vpool* dictionaryStates;
  vdatatagList interned;  // anonymous definitions read
};
void** repdefSlot = nullptr;
RepdefState* state();

// The value class each kind's delegate derives from, and its class name.
struct DelegateRow {
  const char* name;
  vclass* (*valueClass)();
};
const DelegateRow delegateRows[vdatatagKIND_COUNT] = {
    {"_vrepdefBooleanDelegate", [] { return static_cast<vclass*>(vscrapGetBooleanClass()); }},
    {"_vrepdefCharacterDelegate", [] { return static_cast<vclass*>(vscrapGetCharacterClass()); }},
    {"_vrepdefScalarDelegate", [] { return static_cast<vclass*>(vscrapGetIntegerClass()); }},
    {"_vrepdefScalarDelegate.UnsignedByte", [] { return static_cast<vclass*>(vscrapGetIntegerClass()); }},
    {"_vrepdefScalarDelegate.Short", [] { return static_cast<vclass*>(vscrapGetIntegerClass()); }},
    {"_vrepdefScalarDelegate.UnsignedShort", [] { return static_cast<vclass*>(vscrapGetIntegerClass()); }},
    {"_vrepdefScalarDelegate.Integer", [] { return static_cast<vclass*>(vscrapGetIntegerClass()); }},
    {"_vrepdefScalarDelegate.UnsignedInteger", [] { return static_cast<vclass*>(vscrapGetIntegerClass()); }},
    {"_vrepdefLonglongDelegate", [] { return static_cast<vclass*>(vabstractGetLonglongClass()); }},
    {"_vrepdefLonglongDelegate.Unsigned", [] { return static_cast<vclass*>(vabstractGetLonglongClass()); }},
    {"_vrepdefFixedDelegate", [] { return static_cast<vclass*>(vscrapGetFixedClass()); }},
    {"_vrepdefRealDelegate", [] { return static_cast<vclass*>(vscrapGetFloatClass()); }},
    {"_vrepdefRealDelegate.Double", [] { return static_cast<vclass*>(vscrapGetFloatClass()); }},
    {"_vrepdefStringDelegate", [] { return static_cast<vclass*>(vscrapGetStringClass()); }},
    {"_vrepdefTagDelegate", [] { return static_cast<vclass*>(vscrapGetTagClass()); }},
    {"_vrepdefOpaqueDelegate", [] { return static_cast<vclass*>(vscrapGetBlockClass()); }},
    {"_vrepdefDatatagDelegate", [] { return static_cast<vclass*>(vabstractGetDatatagClass()); }},
    {"_vrepdefDatataglist", [] { return static_cast<vclass*>(vabstractGetArglistClass()); }},
    {"_vrepdefScrapDelegate", [] { return static_cast<vclass*>(vabstractGetScrapClass()); }},
    {"_vrepdefPointerDelegate", [] { return static_cast<vclass*>(vabstractGetPointerClass()); }},
    {"_vrepdefArrayDelegate", [] { return static_cast<vclass*>(vscrapGetArrayClass()); }},
    {"_vrepdefArrayDelegate.Sized", [] { return static_cast<vclass*>(vscrapGetArrayClass()); }},
    {"_vrepdefOpaqueDelegate.Sized", [] { return static_cast<vclass*>(vscrapGetBlockClass()); }},
    {"_vrepdefDictionaryDelegate", [] { return static_cast<vclass*>(vscrapGetDictionaryClass()); }},
    {"_vrepdefCompoundDelegate", [] { return static_cast<vclass*>(vscrapGetCompoundClass()); }},
    {"_vrepdefUnionDelegate", [] { return static_cast<vclass*>(vabstractGetUnionClass()); }},
};

// The engine scrap: what is imported is kept by the inner native scrap.
void engineInit(vinstance* o) {
  auto* s = static_cast<vsessionEngineScrap*>(o);
  s->inner = nullptr;
  s->mode = vsessionScrapDATATAG;
  s->datatag = nullptr;
}
void engineDestroy(vinstance* o) {
  auto* s = static_cast<vsessionEngineScrap*>(o);
  if (s->inner) vinstanceDestroy(s->inner);
  s->inner = nullptr;
  vinstanceGetDefaultClass()->destroy(o);
}
vinstance* engineNext(vinstance* o, vinstance* previous, int) {
  return previous ? nullptr : static_cast<vsessionEngineScrap*>(o)->inner;
}
vsessionEngineScrap* engineOf(vscrap* w) { return static_cast<vsessionEngineScrap*>(vdelegatorTop(w)); }
vinstance* innerOf(vsessionEngineScrap* s) {
  if (!s->inner) s->inner = vscrapCreateNativeTypeable();
  return s->inner;
}
void engineImport(vscrap* target, vscrap* source) { vscrapImport(*source, vscrapWalk(innerOf(engineOf(target)))); }
int engineEntype(vscrap* w, vclass* kind) { return vscrapEntype(vscrapWalk(innerOf(engineOf(w))), kind); }

// The marshalling scrap: its one delegate is its kind's.
void scrapInit(vinstance* o) {
  engineInit(o);
  auto* s = static_cast<_vrepdefScrap*>(o);
  s->block = nullptr;
  s->elementTag = 0;
  s->flags = 0;
  s->state = nullptr;
  s->root = nullptr;
  s->depth = 0;
  s->selector = 0;
  s->size = 0;
  s->dataOffset = 0;
}
void releaseState(_vrepdefScrap* s) {
  if (!s->state) return;
  RepdefState* st = state();
  if (s->flags & _vrepdefARRAY)
    vpoolFree(st->arrayStates, s->state);
  else if (s->flags & _vrepdefDICTIONARY)
    vpoolFree(st->dictionaryStates, s->state);
  else
    vexGenerateMessage(&vexArgClass, "Unknown delegate type");
  s->state = nullptr;
}
void scrapDestroy(vinstance* o) {
  auto* s = static_cast<_vrepdefScrap*>(o);
  bool ownsRoot = s->root && s->depth == 0;
  _vrepdefRoot* root = s->root;
  vexGuard([&] { releaseState(s); },
           [&](vexHandler&) {
             s->state = nullptr;
             if (ownsRoot) vmemFree(root);
             engineDestroy(o);
             _vexGenerate(nullptr);
           });
  if (ownsRoot) vmemFree(root);
  engineDestroy(o);
}
vinstance* scrapNext(vinstance* o, vinstance* previous, int) {
  if (previous) return nullptr;
  auto* s = static_cast<_vrepdefScrap*>(o);
  return state()->delegates[_vrepdefKindOf(s)];
}

void buildDelegates(RepdefState* s) {
  for (int kind = 0; kind < vdatatagKIND_COUNT; ++kind) {
    vclass* value = delegateRows[kind].valueClass();
    vclass* c = vclassSpawn(value, value->recordSize);
    vclassSetName(c, vscribeLiteral(delegateRows[kind].name));
    c->instanceSize = sizeof(vinstance);
    _vrepdefFillWriters(c, kind);
    _vrepdefFillReaders(c, kind);
    s->delegates[kind] = vinstanceCreate(c);
  }
}

void buildGroup(RepdefState* s) {
  s->group = vdatatagGroupCreate();
  vdatatagGroupSetName(s->group, vnameInternLiteral("vrepdef"));
  s->encodedArray = vdatatagCreate(vdatatagARRAY);
  vdatatagGroupAddDatatag(s->group, vnameInternLiteral("EncodedArray"), s->encodedArray);
  s->encodedDictionary = vdatatagCreate(vdatatagDICTIONARY);
  vdatatagGroupAddDatatag(s->group, vnameInternLiteral("EncodedDictionary"), s->encodedDictionary);
  s->encodedCompound = vdatatagCreate(vdatatagCOMPOUND);
  vdatatagGroupAddDatatag(s->group, vnameInternLiteral("EncodedCompound"), s->encodedCompound);
}

void moduleExit() {
  auto* s = static_cast<RepdefState*>(*repdefSlot);
  if (!s) return;
  for (vinstance*& d : s->delegates) {
    if (d) vinstanceDestroy(d);
    d = nullptr;
  }
  for (void** p = s->interned.end; p != s->interned.begin;) vdatatagDestroy(static_cast<vdatatag*>(*--p));
  _vdatatagListFinish(&s->interned);
  vpoolDestroy(s->arrayStates);
  vpoolDestroy(s->dictionaryStates);
}

RepdefState* state() {
  if (auto* bound = vmoduleState<RepdefState>(repdefSlot)) return bound;
  vnatscrapGetDefaultClass();
  vdatatagGetDefaultClass();
  auto* s = static_cast<RepdefState*>(vmoduleBindSlot(repdefSlot, sizeof(RepdefState)));
  *s = RepdefState{};
  auto* engine = vclassSpawnOf<vscrapTypeableClassRec>(vscrapGetTypeableClass());
  vclassSetName(engine, vscribeLiteral("vsessionEngineScrapClass"));
  engine->instanceSize = sizeof(vsessionEngineScrap);
  engine->init = engineInit;
  engine->destroy = engineDestroy;
  engine->nextDelegate = engineNext;
  engine->import = engineImport;
  engine->entype = engineEntype;
  s->engineClass = engine;
  auto* scrap = vclassSpawnOf<vscrapTypeableClassRec>(engine);
  vclassSetName(scrap, vscribeLiteral("_vrepdefScrap"));
  scrap->instanceSize = sizeof(_vrepdefScrap);
  scrap->init = scrapInit;
  scrap->destroy = scrapDestroy;
  scrap->nextDelegate = scrapNext;
  // Into the kind's delegate, never an inner scrap.
  scrap->import = [](vscrap* target, vscrap* source) {
    if (!_vrepdefWriteIntegerArray(static_cast<_vrepdefScrap*>(vdelegatorTop(target)), source))
      vscrapGetConvertibleClass()->import(target, source);
  };
  scrap->entype = [](vscrap*, vclass*) { return 0; };
  s->scrapClass = scrap;
  s->arrayStates = vpoolCreate(2 * sizeof(void*));
  s->dictionaryStates = vpoolCreate(3 * sizeof(void*));
  _vdatatagListInit(&s->interned);
  buildGroup(s);
  buildDelegates(s);
  vmoduleAddContextExitProc(moduleExit);
  return s;
}

void setUnknownName(vexException* e, va_list* ap) { static_cast<vdatatagUnknownException*>(e)->name = va_arg(*ap, vname); }
void setDatatag(vexException* e, va_list* ap) { static_cast<vdatatagDatatagException*>(e)->datatag = va_arg(*ap, vdatatag*); }

_vrepdefScrap* create(vsessionBlock* block, void* datatag, std::int32_t mode) {
  auto* s = static_cast<_vrepdefScrap*>(vinstanceCreate(state()->scrapClass));
  s->block = block;
  s->mode = mode;
  s->datatag = datatag;
  s->root = static_cast<_vrepdefRoot*>(vmemAllocClear(sizeof(_vrepdefRoot)));
  return s;
}

// The outermost call: a refusal recorded below is what the caller sees.
template <class Body>
void outermost(_vrepdefScrap* s, Body body, std::uint32_t tail) {
  _vrepdefRoot* root = s->root;
  vexGuard(body, [&](vexHandler&) {
    s->block->tail = tail;
    if (root && root->errorClass) {
      vexSetCurrentException(nullptr);
      _vrepdefRaiseRecorded(root);
    }
    _vexGenerate(nullptr);
  });
}

}  // namespace

[[noreturn]] void _vrepdefRaiseRecorded(_vrepdefRoot* r) {
  const vexClass* cls = r->errorClass;
  if (vexClassDerives(cls, &vexDatatagMismatchedClass))
    _vexGenerate(cls, setDatatag, r->datatag, vexSetMessage, r->message, vexEnd);
  if (cls == &vexDatatagUnknownClass)
    _vexGenerate(cls, setUnknownName, r->name, vexSetMessage, r->message, vexSetProcedure, "_vrepdefReadTag", vexEnd);
  if (cls == &vexArgNotUnderstoodClass) _vexGenerate(cls, vexSetName, r->name, vexSetMessage, r->message, vexEnd);
  _vexGenerate(cls, vexSetMessage, r->message, vexEnd);
}

void _vrepdefFail(_vrepdefScrap* s, const vexClass* cls, const char* message) {
  _vrepdefRoot* r = s->root;
  if (!r->errorClass) {
    r->errorClass = cls;
    r->message = message;
    r->datatag = _vrepdefDatatagOf(s);
  }
  _vrepdefRaiseRecorded(r);
}
void _vrepdefMismatch(_vrepdefScrap* s, const char* message) { _vrepdefFail(s, &vexDatatagMismatchedClass, message); }
void _vrepdefCheck(_vrepdefScrap* s) {
  if (s->root->errorClass) _vrepdefRaiseRecorded(s->root);
}

_vrepdefScrap* _vrepdefNested(_vrepdefScrap* parent, vdatatag* d, std::uint32_t elementTag) {
  if (parent->depth >= vdatatagMAX_DEPTH) _vrepdefFail(parent, &vexArgRangeClass, "Values nested too deeply");
  auto* s = static_cast<_vrepdefScrap*>(vinstanceCreate(state()->scrapClass));
  s->block = parent->block;
  s->datatag = d;
  s->elementTag = elementTag;
  s->root = parent->root;
  s->depth = parent->depth + 1;
  return s;
}
_vrepdefScrap* _vrepdefNestedList(_vrepdefScrap* parent, vdatatagList* list) {
  _vrepdefScrap* s = _vrepdefNested(parent, nullptr, 0);
  s->mode = vsessionScrapLIST;
  s->datatag = list;
  return s;
}
void* _vrepdefAllocArrayState() { return vpoolAlloc(state()->arrayStates); }
void* _vrepdefAllocDictionaryState() { return vpoolAlloc(state()->dictionaryStates); }

vscrapTypeableClassRec* vsessionGetEngineScrapClass() { return state()->engineClass; }
vsessionEngineScrap* vsessionCreateEngineScrap(vdatatag* d) {
  auto* s = static_cast<vsessionEngineScrap*>(vinstanceCreate(state()->engineClass));
  s->datatag = d;
  return s;
}
vsessionEngineScrap* vsessionCreateEngineListScrap(vdatatagList* list) {
  auto* s = static_cast<vsessionEngineScrap*>(vinstanceCreate(state()->engineClass));
  s->mode = vsessionScrapLIST;
  s->datatag = list;
  return s;
}

vscrapTypeableClassRec* _vrepdefGetScrapClass() { return state()->scrapClass; }
_vrepdefScrap* _vrepdefCreateScrap(vsessionBlock* block, vdatatag* d) { return create(block, d, vsessionScrapDATATAG); }
_vrepdefScrap* _vrepdefCreateListScrap(vsessionBlock* block, vdatatagList* list) {
  return create(block, list, vsessionScrapLIST);
}

void _vrepdefWrite(_vrepdefScrap* writer, vinstance* value) {
  _vrepdefCheck(writer);
  std::uint32_t tail = writer->block->tail;
  outermost(writer,
            [&] {
              vscrapImport(vscrapWalk(value), vscrapWalk(writer));
              _vrepdefCheckWritten(writer);
            },
            tail);
}

void _vrepdefRead(_vrepdefScrap* reader, vinstance* target) {
  _vrepdefCheck(reader);
  std::uint32_t tail = reader->block->tail;
  outermost(reader, [&] { vscrapImport(vscrapWalk(reader), vscrapWalk(target)); }, tail);
}

vinstance* _vrepdefReadNative(_vrepdefScrap* reader) {
  vscrapNativeTypeable* target = vscrapCreateNativeTypeable();
  vexGuard([&] { _vrepdefRead(reader, target); },
           [&](vexHandler&) {
             vinstanceDestroy(target);
             _vexGenerate(nullptr);
           });
  return target;
}

vdatatag* _vrepdefInternDefinition(int kind, vclass* scrapClass, std::int32_t count, vdatatag* const* refs,
                                   std::int32_t refCount) {
  vdatatagList* interned = &state()->interned;
  if (!scrapClass) scrapClass = vdatatagGetKindScrapClass(kind);
  for (void** p = interned->begin; p != interned->end; ++p) {
    auto* d = static_cast<vdatatag*>(*p);
    if (vdatatagGetKind(d) != kind || d->scrapClass != scrapClass) continue;
    switch (kind) {
      case vdatatagSIZED_OPAQUE:
        if (static_cast<vdatatagSizedOpaque*>(d)->count == count) return d;
        break;
      case vdatatagCOMPOUND: {
        vdatatagList* m = vdatatagGetCompoundMembers(d);
        if (_vdatatagListCount(m) == refCount && std::equal(refs, refs + refCount, m->begin)) return d;
        break;
      }
      default: {
        auto* e = static_cast<vdatatagElementOf*>(d);
        if (e->element == refs[0] && (kind != vdatatagSIZED_ARRAY || e->count == count)) return d;
        break;
      }
    }
  }
  vdatatag* d = vdatatagCreate(kind);
  vdatatagSetScrapClass(d, scrapClass);
  if (kind == vdatatagSIZED_OPAQUE) vdatatagSetSizedOpaqueSize(d, count);
  if (kind == vdatatagSIZED_ARRAY) vdatatagSetSizedArrayCount(d, count);
  if (kind == vdatatagCOMPOUND) {
    for (std::int32_t i = 0; i < refCount; ++i) _vdatatagListAppend(vdatatagGetCompoundMembers(d), refs[i]);
  } else if (kind != vdatatagSIZED_OPAQUE) {
    static_cast<vdatatagElementOf*>(d)->element = refs[0];
  }
  _vdatatagListAppend(interned, d);
  return d;
}

vdatatagGroup* _vrepdefGetGroup() { return state()->group; }
vdatatag* _vrepdefGetEncodedArray() { return state()->encodedArray; }
vdatatag* _vrepdefGetEncodedDictionary() { return state()->encodedDictionary; }
vdatatag* _vrepdefGetEncodedCompound() { return state()->encodedCompound; }
vinstance* _vrepdefGetDelegate(int kind) {
  return kind >= 0 && kind < vdatatagKIND_COUNT ? state()->delegates[kind] : nullptr;
}
