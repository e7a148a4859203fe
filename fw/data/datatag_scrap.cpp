// Datatag scraps: the base class, the layout of each kind in host memory,
// filling, referring and allocating by kind, and the scalar kinds.
#include <cfloat>
#include <cstring>

#include "fw/core/debug.h"
#include "fw/data/datatag_internal.h"

int vdatatagDepthGuard::depth = 0;

namespace {

struct ScrapState {
  vdatatagScrapClassRec* base;
  vdatatagScrapClassRec* byKind[vdatatagKIND_COUNT + 1];  // and the array-of-dictionaries scrap
};
void** scrapStateSlot = nullptr;
ScrapState* state();

vdatatagScrap* scrapOf(vscrap* w) { return static_cast<vdatatagScrap*>(w->stack[w->depth]); }

// Host layout of the scalar kinds: bytes and alignment; 0 for none.
struct Layout {
  std::size_t size, align;
};
constexpr Layout scalarLayouts[vdatatagSCALAR_COUNT] = {
    {sizeof(std::int32_t), alignof(std::int32_t)},  // Boolean
    {1, 1},                                         // Character
    {1, 1},
    {1, 1},
    {sizeof(std::int16_t), alignof(std::int16_t)},
    {sizeof(std::int16_t), alignof(std::int16_t)},
    {sizeof(std::int32_t), alignof(std::int32_t)},
    {sizeof(std::int32_t), alignof(std::int32_t)},
    {sizeof(std::int64_t), alignof(std::int64_t)},
    {sizeof(std::int64_t), alignof(std::int64_t)},
    {sizeof(std::int32_t), alignof(std::int32_t)},  // Fixed
    {sizeof(float), alignof(float)},
    {sizeof(double), alignof(double)},
    {sizeof(char*), alignof(char*)},  // String
    {sizeof(vname), alignof(vname)},  // Tag
    {0, 1},                           // Opaque: two words reached apart
    {sizeof(vdatatag*), alignof(vdatatag*)},
    {0, 1},  // List
    {sizeof(vinstance*), alignof(vinstance*)},
};

std::size_t roundUp(std::size_t n, std::size_t align) {
  std::size_t r = n % align;
  if (r && n > SIZE_MAX - (align - r)) _vexGenerate(&vexArgRangeClass, vexSetMessage, "Datatag size overflows", vexEnd);
  return r ? n + (align - r) : n;
}

// Integers of every width, read and written by kind.
std::int64_t readInteger(int kind, const void* p) {
  switch (kind) {
    case vdatatagCHARACTER:
    case vdatatagUNSIGNED_BYTE: return *static_cast<const std::uint8_t*>(p);
    case vdatatagBYTE: return *static_cast<const std::int8_t*>(p);
    case vdatatagSHORT: { std::int16_t v; std::memcpy(&v, p, 2); return v; }
    case vdatatagUNSIGNED_SHORT: { std::uint16_t v; std::memcpy(&v, p, 2); return v; }
    case vdatatagLONGLONG:
    case vdatatagUNSIGNED_LONGLONG: { std::int64_t v; std::memcpy(&v, p, 8); return v; }
    default: { std::int32_t v; std::memcpy(&v, p, 4); return v; }
  }
}
void writeInteger(int kind, void* p, std::int64_t v) {
  switch (kind) {
    case vdatatagCHARACTER:
    case vdatatagBYTE:
    case vdatatagUNSIGNED_BYTE: *static_cast<std::uint8_t*>(p) = static_cast<std::uint8_t>(v); break;
    case vdatatagSHORT:
    case vdatatagUNSIGNED_SHORT: { auto s = static_cast<std::uint16_t>(v); std::memcpy(p, &s, 2); break; }
    case vdatatagLONGLONG:
    case vdatatagUNSIGNED_LONGLONG: std::memcpy(p, &v, 8); break;
    default: { auto w = static_cast<std::uint32_t>(v); std::memcpy(p, &w, 4); break; }
  }
}

// The generic slots, by the datatag's kind.
void scrapInit(vinstance* o) {
  auto* s = static_cast<vdatatagScrap*>(o);
  std::memset(reinterpret_cast<char*>(s) + sizeof(vinstance), 0, sizeof(vdatatagScrap) - sizeof(vinstance));
}
void scrapDestroy(vinstance* o) {
  auto* s = static_cast<vdatatagScrap*>(o);
  if (s->elements.begin) {
    while (s->elements.end != s->elements.begin) vinstanceDestroy(static_cast<vinstance*>(*--s->elements.end));
    _vdatatagListFinish(&s->elements);
  }
  if (s->owns && s->value) {
    if (vdatatagGetKind(s->datatag) == vdatatagDICTIONARY) vdictFinish(static_cast<vdict*>(s->value));
    vmemFree(s->value);
  }
  vinstanceGetDefaultClass()->destroy(o);
}
vinstance* scrapNext(vinstance* o, vinstance* previous, int) {
  return previous ? nullptr : vclassRec<vdatatagScrapClassRec>(o)->delegate;
}
void setDatatag(vdatatagScrap* s, vdatatag* d) { s->datatag = d; }

void scrapFill(vdatatagScrap* s, va_list* ap) {
  int kind = vdatatagGetKind(s->datatag);
  void* at = s->storage;
  switch (kind) {
    case vdatatagLONGLONG:
    case vdatatagUNSIGNED_LONGLONG: writeInteger(kind, at, va_arg(*ap, std::int64_t)); break;
    case vdatatagSINGLE_FLOAT: { auto f = static_cast<float>(va_arg(*ap, double)); std::memcpy(at, &f, sizeof f); break; }
    case vdatatagDOUBLE_FLOAT: { double v = va_arg(*ap, double); std::memcpy(at, &v, sizeof v); break; }
    case vdatatagSTRING:
    case vdatatagTAG:
    case vdatatagDATATAG:
    case vdatatagSCRAP:
    case vdatatagPOINTER: { void* p = va_arg(*ap, void*); std::memcpy(at, &p, sizeof p); break; }
    case vdatatagOPAQUE:
    case vdatatagARRAY:
      s->ownCount = va_arg(*ap, std::int32_t);
      s->ownData = va_arg(*ap, void*);
      s->countWord = &s->ownCount;
      s->dataWord = &s->ownData;
      at = nullptr;
      break;
    case vdatatagUNION:
      s->ownSelector = va_arg(*ap, std::int32_t);
      s->selectorWord = &s->ownSelector;
      at = va_arg(*ap, void*);
      break;
    case vdatatagSIZED_ARRAY:
    case vdatatagSIZED_OPAQUE:
    case vdatatagDICTIONARY:
    case vdatatagCOMPOUND:
      at = va_arg(*ap, void*);
      s->copied = 1;
      break;
    default:
      if (kind < vdatatagLONGLONG || kind == vdatatagFIXED) {
        writeInteger(kind, at, va_arg(*ap, int));
        break;
      }
      vscrap w = vscrapWalk(s);
      vscrapRaiseUnimplemented(&w);
  }
  s->value = at;
}

void scrapRefer(vdatatagScrap* s, va_list* ap) {
  int kind = vdatatagGetKind(s->datatag);
  switch (kind) {
    case vdatatagOPAQUE:
    case vdatatagARRAY:
      s->countWord = va_arg(*ap, std::int32_t*);
      s->dataWord = va_arg(*ap, void**);
      *s->countWord = 0;
      *s->dataWord = nullptr;
      s->value = nullptr;
      return;
    case vdatatagUNION:
      s->selectorWord = va_arg(*ap, std::int32_t*);
      s->value = va_arg(*ap, void*);
      return;
    case vdatatagLIST: {
      vscrap w = vscrapWalk(s);
      vscrapRaiseUnimplemented(&w);
    }
    default: break;
  }
  s->value = va_arg(*ap, void*);
  if (kind == vdatatagPOINTER) *static_cast<void**>(s->value) = nullptr;
  if (kind == vdatatagSCRAP) *static_cast<vinstance**>(s->value) = vscrapCreateNativeTypeable();
  if (kind == vdatatagDICTIONARY) vdictInit(static_cast<vdict*>(s->value), vdictHashName);
}

std::size_t scrapSize(vscrap* w) { return _vdatatagLayoutSize(scrapOf(w)->datatag, 0, w); }

void* scrapAllocate(vdatatagScrap* s) {
  vscrap w = vscrapWalk(s);
  std::size_t n = _vdatatagLayoutSize(s->datatag, 0, &w);
  if (s->owns) vmemFree(s->value);
  s->value = vmemAllocClear(n ? n : 1);
  s->owns = 1;
  if (vdatatagGetKind(s->datatag) == vdatatagDICTIONARY) vdictInit(static_cast<vdict*>(s->value), vdictHashName);
  return s->value;
}

// Scalar delegates: each reads and writes the served scrap's memory.
int kindOf(const vscrap* w) { return vdatatagGetKind(_vdatatagOwner(w)->datatag); }

template <class T>
using ValueRec = vscrapValueClassRec<T>;

void buildScalarKinds(vdatatagScrapClassRec** byKind) {
  auto* boolean = _vdatatagMakeDelegateClass<ValueRec<int>>(vscrapGetBooleanClass(), "vdatatagBooleanDelegate");
  boolean->get = [](vscrap* w) { return static_cast<int>(readInteger(vdatatagINTEGER, _vdatatagValue(w))); };
  boolean->set = [](vscrap* w, int v) {
    if (v != 0 && v != 1) _vexGenerate(&vexArgRangeClass, vexEnd);
    writeInteger(vdatatagINTEGER, _vdatatagValue(w), v);
  };
  byKind[vdatatagBOOLEAN] = _vdatatagMakeScrapClass("vdatatagBooleanScrap", boolean);

  auto* character = _vdatatagMakeDelegateClass<ValueRec<char>>(vscrapGetCharacterClass(), "vdatatagCharacterDelegate");
  character->get = [](vscrap* w) { return *static_cast<char*>(_vdatatagValue(w)); };
  character->set = [](vscrap* w, char v) { *static_cast<char*>(_vdatatagValue(w)) = v; };
  byKind[vdatatagCHARACTER] = _vdatatagMakeScrapClass("vdatatagCharacterScrap", character);

  auto* integer = _vdatatagMakeDelegateClass<ValueRec<std::int32_t>>(vscrapGetIntegerClass(), "vdatatagIntegerDelegate");
  integer->get = [](vscrap* w) { return static_cast<std::int32_t>(readInteger(kindOf(w), _vdatatagValue(w))); };
  integer->set = [](vscrap* w, std::int32_t v) {
    struct Range {
      std::int32_t low, high;
    };
    static constexpr Range ranges[] = {{-128, 127}, {0, 255}, {-32768, 32767}, {0, 65535}};
    int kind = kindOf(w);
    if (kind >= vdatatagBYTE && kind <= vdatatagUNSIGNED_SHORT) {
      const Range& r = ranges[kind - vdatatagBYTE];
      if (v < r.low || v > r.high) _vexGenerate(&vexArgRangeClass, vexEnd);
    }
    writeInteger(kind, _vdatatagValue(w), v);
  };
  auto* integerScrap = _vdatatagMakeScrapClass("vdatatagIntegerScrap", integer);
  for (int k = vdatatagBYTE; k <= vdatatagUNSIGNED_INTEGER; ++k) byKind[k] = integerScrap;

  auto* longlong = _vdatatagMakeDelegateClass<ValueRec<std::int64_t>>(vabstractGetLonglongClass(), "vdatatagLonglongDelegate");
  longlong->get = [](vscrap* w) { return readInteger(vdatatagLONGLONG, _vdatatagValue(w)); };
  longlong->set = [](vscrap* w, std::int64_t v) { writeInteger(vdatatagLONGLONG, _vdatatagValue(w), v); };
  longlong->dump = [](vscrap* w, std::FILE* f) {
    long long v = readInteger(vdatatagLONGLONG, _vdatatagValue(w));
    vdebugFprintf(f ? f : vdebugGetConsoleError(), kindOf(w) == vdatatagLONGLONG ? "%lld" : "%llu", v);
  };
  byKind[vdatatagLONGLONG] = byKind[vdatatagUNSIGNED_LONGLONG] = _vdatatagMakeScrapClass("vdatatagLonglongScrap", longlong);

  auto* fixed = _vdatatagMakeDelegateClass<ValueRec<std::int32_t>>(vscrapGetFixedClass(), "vdatatagFixedDelegate");
  fixed->get = [](vscrap* w) { return static_cast<std::int32_t>(readInteger(vdatatagFIXED, _vdatatagValue(w))); };
  fixed->set = [](vscrap* w, std::int32_t v) { writeInteger(vdatatagFIXED, _vdatatagValue(w), v); };
  byKind[vdatatagFIXED] = _vdatatagMakeScrapClass("vdatatagFixedScrap", fixed);

  auto* floating = _vdatatagMakeDelegateClass<ValueRec<double>>(vscrapGetFloatClass(), "vdatatagFloatDelegate");
  floating->get = [](vscrap* w) {
    void* p = _vdatatagValue(w);
    if (kindOf(w) == vdatatagDOUBLE_FLOAT) {
      double d;
      std::memcpy(&d, p, sizeof d);
      return d;
    }
    float f;
    std::memcpy(&f, p, sizeof f);
    return static_cast<double>(f);
  };
  floating->set = [](vscrap* w, double v) {
    void* p = _vdatatagValue(w);
    if (kindOf(w) == vdatatagDOUBLE_FLOAT) return static_cast<void>(std::memcpy(p, &v, sizeof v));
    if (v < -3.4028234663852886e+38 || v > 3.4028234663852886e+38) _vexGenerate(&vexArgRangeClass, vexEnd);
    auto f = static_cast<float>(v);
    std::memcpy(p, &f, sizeof f);
  };
  byKind[vdatatagSINGLE_FLOAT] = byKind[vdatatagDOUBLE_FLOAT] = _vdatatagMakeScrapClass("vdatatagFloatScrap", floating);

  auto* string = _vdatatagMakeDelegateClass<ValueRec<vscribe*>>(vscrapGetStringClass(), "vdatatagStringDelegate");
  string->get = [](vscrap* w) {
    const char* text = *static_cast<const char**>(_vdatatagValue(w));
    return text ? vscribeCString(text) : vscribeLiteral("");
  };
  string->set = [](vscrap* w, vscribe* v) { *static_cast<char**>(_vdatatagValue(w)) = vstrCloneScribed(v, nullptr); };
  byKind[vdatatagSTRING] = _vdatatagMakeScrapClass("vdatatagStringScrap", string);

  auto* tag = _vdatatagMakeDelegateClass<ValueRec<vname>>(vscrapGetTagClass(), "vdatatagTagDelegate");
  tag->get = [](vscrap* w) { return *static_cast<vname*>(_vdatatagValue(w)); };
  tag->set = [](vscrap* w, vname v) { *static_cast<vname*>(_vdatatagValue(w)) = v; };
  byKind[vdatatagTAG] = _vdatatagMakeScrapClass("vdatatagTagScrap", tag);

  auto* datatag = _vdatatagMakeDelegateClass<ValueRec<void*>>(vabstractGetDatatagClass(), "vdatatagDatatagDelegate");
  datatag->get = [](vscrap* w) { return *static_cast<void**>(_vdatatagValue(w)); };
  datatag->set = [](vscrap* w, void* v) { *static_cast<void**>(_vdatatagValue(w)) = v; };
  datatag->dump = [](vscrap* w, std::FILE* f) {
    if (auto* d = *static_cast<vdatatag**>(_vdatatagValue(w))) vdatatagDump(d, f);
  };
  byKind[vdatatagDATATAG] = _vdatatagMakeScrapClass("vdatatagDatatagScrap", datatag);

  // The held scrap is the scrap's own: get lends it, set imports into it.
  auto* held = _vdatatagMakeDelegateClass<ValueRec<vinstance*>>(vabstractGetScrapClass(), "vdatatagScrapDelegate");
  held->get = [](vscrap* w) { return *static_cast<vinstance**>(_vdatatagValue(w)); };
  held->set = [](vscrap* w, vinstance* v) {
    auto** slot = static_cast<vinstance**>(_vdatatagValue(w));
    if (!*slot) *slot = vscrapCreateNativeTypeable();
    if (v && v != *slot) vscrapImport(vscrapWalk(v), vscrapWalk(*slot));
  };
  held->dump = [](vscrap* w, std::FILE* f) {
    if (auto* v = *static_cast<vinstance**>(_vdatatagValue(w))) vscrapDump(vscrapWalk(v), f);
  };
  byKind[vdatatagSCRAP] = _vdatatagMakeScrapClass("vdatatagScrapScrap", held);
}

ScrapState* state() {
  if (auto* bound = vmoduleState<ScrapState>(scrapStateSlot)) return bound;
  vscrapConvertibleClassRec* convertible = vscrapGetConvertibleClass();
  vscrapGetNativeTypeableClass();
  auto* s = static_cast<ScrapState*>(vmoduleBindSlot(scrapStateSlot, sizeof(ScrapState)));
  *s = ScrapState{};
  auto* base = vclassSpawnOf<vdatatagScrapClassRec>(convertible);
  vclassSetName(base, vscribeLiteral("vdatatagScrap"));
  base->instanceSize = sizeof(vdatatagScrap);
  base->init = scrapInit;
  base->destroy = scrapDestroy;
  base->nextDelegate = scrapNext;
  base->setDatatag = setDatatag;
  base->fill = [](vdatatagScrap* self, va_list*) { vscrap w = vscrapWalk(self); vscrapRaiseUnimplemented(&w); };
  base->allocate = [](vdatatagScrap* self) -> void* { vscrap w = vscrapWalk(self); vscrapRaiseUnimplemented(&w); };
  base->refer = [](vdatatagScrap* self, va_list*) { vscrap w = vscrapWalk(self); vscrapRaiseUnimplemented(&w); };
  base->size = [](vscrap* w) -> std::size_t { vscrapRaiseUnimplemented(w); };
  base->delegate = nullptr;
  s->base = base;
  buildScalarKinds(s->byKind);
  _vdatatagBuildContainerKinds(s->byKind);
  vmoduleAddContextExitProc([] {
    auto* st = static_cast<ScrapState*>(*scrapStateSlot);
    vinstance* done[vdatatagKIND_COUNT + 1] = {};
    int n = 0;
    for (vdatatagScrapClassRec* c : st->byKind) {
      if (!c || !c->delegate) continue;
      bool seen = false;
      for (int i = 0; i < n; ++i) seen = seen || done[i] == c->delegate;
      if (!seen) vinstanceDestroy(done[n++] = c->delegate);
    }
  });
  return s;
}

void createCheck(vdatatag* d) {
  if (!d) vexGenerateMessage(&vexArgNullClass, "no datatag");
  if (!d->scrapClass || !vclassIsSubclass(d->scrapClass, state()->base))
    vdatatagRaiseMismatched(d, "Datatag has no scrap class");
}

}  // namespace

void _vdatatagTooDeep() {
  _vexGenerate(&vexArgRangeClass, vexSetMessage, "Datatag walk too deep (a cycle?)", vexEnd);
}

vdatatagScrap* _vdatatagOwner(const vscrap* w) { return static_cast<vdatatagScrap*>(w->stack[w->depth - 1]); }
void* _vdatatagValue(const vscrap* w) {
  void* v = _vdatatagOwner(w)->value;
  if (!v) vexGenerateMessage(&vexArgNullClass, "Datatag scrap has no value");
  return v;
}

std::size_t _vdatatagLayoutAlign(vdatatag* d, int depth) {
  if (!d) return 1;
  if (depth > vdatatagMAX_DEPTH) _vdatatagTooDeep();
  int kind = vdatatagGetKind(d);
  if (kind < vdatatagSCALAR_COUNT) return scalarLayouts[kind].align;
  switch (kind) {
    case vdatatagPOINTER:
    case vdatatagARRAY: return alignof(void*);
    case vdatatagSIZED_ARRAY: return _vdatatagLayoutAlign(static_cast<vdatatagElementOf*>(d)->element, depth + 1);
    case vdatatagDICTIONARY: return alignof(vdict);
    case vdatatagCOMPOUND:
    case vdatatagUNION: {
      std::size_t a = 1;
      const vdatatagList& m = static_cast<vdatatagCompound*>(d)->members;
      for (void** p = m.begin; p != m.end; ++p) {
        std::size_t ma = _vdatatagLayoutAlign(static_cast<vdatatag*>(*p), depth + 1);
        if (ma > a) a = ma;
      }
      return a;
    }
    default: return 1;
  }
}

std::size_t _vdatatagLayoutSize(vdatatag* d, int depth, const vscrap* w) {
  if (depth > vdatatagMAX_DEPTH) _vdatatagTooDeep();
  int kind = d ? vdatatagGetKind(d) : vdatatagLIST;
  std::size_t n = 0;
  if (kind < vdatatagSCALAR_COUNT) {
    n = scalarLayouts[kind].size;
  } else if (kind == vdatatagPOINTER) {
    n = sizeof(void*);
  } else if (kind == vdatatagSIZED_ARRAY) {
    auto* a = static_cast<vdatatagElementOf*>(d);
    if (!a->element) vexGenerateMessage(&vexArgNullClass, "Sized array has no element datatag");
    std::size_t e = _vdatatagLayoutSize(a->element, depth + 1, w);
    auto count = static_cast<std::size_t>(a->count < 0 ? 0 : a->count);
    if (e && count > SIZE_MAX / e) _vexGenerate(&vexArgRangeClass, vexSetMessage, "Datatag size overflows", vexEnd);
    return e * count;
  } else if (kind == vdatatagSIZED_OPAQUE) {
    std::int32_t c = static_cast<vdatatagSizedOpaque*>(d)->count;
    return static_cast<std::size_t>(c < 0 ? 0 : c);
  } else if (kind == vdatatagDICTIONARY) {
    n = sizeof(vdict);
  } else if (kind == vdatatagCOMPOUND) {
    std::size_t offset = 0;
    const vdatatagList& m = static_cast<vdatatagCompound*>(d)->members;
    for (void** p = m.begin; p != m.end; ++p) {
      auto* member = static_cast<vdatatag*>(*p);
      offset = roundUp(offset, _vdatatagLayoutAlign(member, depth + 1));
      std::size_t size = _vdatatagLayoutSize(member, depth + 1, w);
      if (size > SIZE_MAX - offset) _vexGenerate(&vexArgRangeClass, vexSetMessage, "Datatag size overflows", vexEnd);
      offset += size;
    }
    return roundUp(offset, _vdatatagLayoutAlign(d, depth));
  }
  if (!n) vscrapRaiseUnimplemented(w);
  return n;
}

vdatatagScrapClassRec* _vdatatagMakeScrapClass(const char* name, vclass* delegateClass) {
  auto* c = vclassSpawnOf<vdatatagScrapClassRec>(state()->base);
  vclassSetName(c, vscribeLiteral(name));
  c->fill = scrapFill;
  c->refer = scrapRefer;
  c->allocate = scrapAllocate;
  c->size = scrapSize;
  c->delegate = delegateClass ? vinstanceCreate(delegateClass) : nullptr;
  return c;
}

vdatatagScrap* _vdatatagScrapAt(vdatatag* d, void* address, const vscrap* w) {
  int kind = vdatatagGetKind(d);
  if (kind == vdatatagOPAQUE || kind == vdatatagARRAY || kind == vdatatagUNION || kind == vdatatagLIST)
    vscrapRaiseUnimplemented(w);
  vdatatagScrap* s = vdatatagCreateScrap(d);
  s->value = address;
  return s;
}

vdatatagScrapClassRec* vdatatagGetScrapClass() { return state()->base; }
vdatatagScrapClassRec* _vdatatagGetMyScrapClass() { return state()->byKind[vdatatagKIND_COUNT]; }
vdatatagScrapClassRec* vdatatagGetKindScrapClass(int kind) {
  return kind >= 0 && kind < vdatatagKIND_COUNT ? state()->byKind[kind] : nullptr;
}

vdatatagScrap* vdatatagCreateScrap(vdatatag* d) {
  createCheck(d);
  auto* s = static_cast<vdatatagScrap*>(vinstanceCreate(d->scrapClass));
  vclassRec<vdatatagScrapClassRec>(s)->setDatatag(s, d);
  return s;
}

namespace {
// Fills a new scrap from a copy of the arguments; a failed fill destroys it.
template <class Fill>
vdatatagScrap* filled(vdatatagScrap* s, va_list ap, Fill fill) {
  va_list copy;
  va_copy(copy, ap);
  vexGuard([&] { fill(&copy); },
           [&](vexHandler&) {
             va_end(copy);
             vinstanceDestroy(s);
             _vexGenerate(nullptr);
           });
  va_end(copy);
  return s;
}

template <class Slot>
vdatatagScrap* createWith(vdatatag* d, va_list ap, Slot slot) {
  vdatatagScrap* s = vdatatagCreateScrap(d);
  return filled(s, ap, [&](va_list* args) { (vclassRec<vdatatagScrapClassRec>(s)->*slot)(s, args); });
}

vdatatagScrap* listScrap(vdatatagList* datatags, va_list ap, bool fill) {
  vdatatagScrap* s = vdatatagCreateScrap(vdatatagGetPredefined(vdatatagLIST));
  return filled(s, ap, [&](va_list* args) { _vdatatagListMake(s, datatags, args, fill); });
}

// The caller's variadic arguments end whether or not the making raises.
template <class Make>
vdatatagScrap* endingArgs(va_list& ap, Make make) {
  vdatatagScrap* s = nullptr;
  vexGuard([&] { s = make(); },
           [&](vexHandler&) {
             va_end(ap);
             _vexGenerate(nullptr);
           });
  va_end(ap);
  return s;
}
}  // namespace

vdatatagScrap* vdatatagCreateScrapWithValueV(vdatatag* d, va_list values) {
  return createWith(d, values, &vdatatagScrapClassRec::fill);
}
vdatatagScrap* vdatatagCreateScrapFromArgsV(vdatatag* d, va_list addresses) {
  return createWith(d, addresses, &vdatatagScrapClassRec::refer);
}
vdatatagScrap* vdatatagCreateScrapWithValue(vdatatag* d, ...) {
  va_list ap;
  va_start(ap, d);
  return endingArgs(ap, [&] { return vdatatagCreateScrapWithValueV(d, ap); });
}
vdatatagScrap* vdatatagCreateScrapFromArgs(vdatatag* d, ...) {
  va_list ap;
  va_start(ap, d);
  return endingArgs(ap, [&] { return vdatatagCreateScrapFromArgsV(d, ap); });
}
vdatatagScrap* vdatatagCreateListScrapWithValue(vdatatagList* datatags, ...) {
  va_list ap;
  va_start(ap, datatags);
  return endingArgs(ap, [&] { return listScrap(datatags, ap, true); });
}
vdatatagScrap* vdatatagCreateListScrapWithValueV(vdatatagList* datatags, va_list values) {
  return listScrap(datatags, values, true);
}
vdatatagScrap* vdatatagCreateListScrapFromArgsV(vdatatagList* datatags, va_list addresses) {
  return listScrap(datatags, addresses, false);
}
vdatatagScrap* vdatatagCreateListScrapFromArgs(vdatatagList* datatags, ...) {
  va_list ap;
  va_start(ap, datatags);
  return endingArgs(ap, [&] { return listScrap(datatags, ap, false); });
}

void* vdatatagScrapAllocate(vdatatagScrap* s) { return vclassRec<vdatatagScrapClassRec>(s)->allocate(s); }

vdatatagScrap* vdatatagScrapFromMemory(vdatatag* d, const void* address) {
  int kind = vdatatagGetKind(d);
  vdatatagScrap* s = nullptr;
  if (kind == vdatatagOPAQUE || kind == vdatatagLIST || kind == vdatatagARRAY || kind >= vdatatagUNION) return nullptr;
  s = vdatatagCreateScrap(d);
  if (kind >= vdatatagSIZED_ARRAY) {
    s->value = const_cast<void*>(address);
    s->copied = 1;
    return s;
  }
  std::memcpy(s->storage, address, scalarLayouts[kind < vdatatagSCALAR_COUNT ? kind : vdatatagSTRING].size);
  s->value = s->storage;
  return s;
}

std::size_t vdatatagScrapQuery(vscrap scrap) {
  vdelegatorFindClass(&scrap, vdatatagGetScrapClass());
  return vclassRec<vdatatagScrapClassRec>(vdelegatorTop(&scrap))->size(&scrap);
}

std::size_t vdatatagSizeOf(vdatatag* d) {
  vdatatagScrap* s = vdatatagCreateScrap(d);
  std::size_t n = 0;
  vexGuard([&] { n = vdatatagScrapQuery(vscrapWalk(s)); },
           [&](vexHandler&) {
             vinstanceDestroy(s);
             _vexGenerate(nullptr);
           });
  vinstanceDestroy(s);
  return n;
}
std::size_t vdatatagAlignOf(vdatatag* d) { return _vdatatagLayoutAlign(d, 0); }
