// Datatags: the classes, the predefined group, the kind-checked accessors,
// child iteration, groups and the dump.
#include "fw/data/datatag.h"

#include <cinttypes>
#include <cstring>
#include <initializer_list>

#include "fw/core/debug.h"
#include "fw/data/datatag_internal.h"

namespace {

constexpr const char* kindNames[vdatatagKIND_COUNT] = {
    "Boolean", "Character", "Byte",     "UnsignedByte", "Short",      "UnsignedShort", "Integer",
    "UnsignedInteger", "Longlong", "UnsignedLonglong", "Fixed", "SingleFloat", "DoubleFloat", "String",
    "Tag",     "Opaque",    "Datatag",  "List",         "Scrap",      "Pointer",       "Array",
    "SizedArray", "SizedOpaque", "Dictionary", "Compound", "Union"};

// The class of each constructed kind, in kind order from Pointer.
struct ConstructedRow {
  const char* name;
  std::size_t size;
};
constexpr ConstructedRow constructedRows[] = {
    {"vdatatagPointerClass", sizeof(vdatatagElementOf)},     {"vdatatagArrayClass", sizeof(vdatatagElementOf)},
    {"vdatatagSizedArrayClass", sizeof(vdatatagElementOf)},  {"vdatatagSizedOpaqueClass", sizeof(vdatatagSizedOpaque)},
    {"_vdatatagDictClass", sizeof(vdatatagDict)},            {"_vdatatagCompoundClass", sizeof(vdatatagCompound)},
    {"_vdatatagUnionClass", sizeof(vdatatagUnion)}};
constexpr int constructedCount = vdatatagKIND_COUNT - vdatatagPOINTER;
static_assert(sizeof constructedRows / sizeof constructedRows[0] == constructedCount);

struct DatatagState {
  vdatatagClassRec* defaultClass;
  vdatatagClassRec* constructed[constructedCount];
  vdict groups;  // name -> group
  vpool* groupPool;
  vdatatagGroup* predefined;
  vdatatag* predefinedTags[vdatatagSCALAR_COUNT];
};
void** datatagSlot = nullptr;

DatatagState* state();

template <class T>
T* as(vinstance* o) {
  return static_cast<T*>(o);
}
vdatatagClassRec* defaultClass() { return state()->defaultClass; }

// The kind's class record, for calling the parent's slot.
void defaultInit(vinstance* o) {
  auto* d = as<vdatatag>(o);
  d->scrapClass = nullptr;
  d->group = nullptr;
  d->name = nullptr;
  d->flags = 0;
}
void constructedInit(vinstance* o) {
  defaultInit(o);
  auto* d = as<vdatatag>(o);
  DatatagState* s = state();
  int kind = vdatatagPOINTER;
  while (kind < vdatatagKIND_COUNT && o->cls != s->constructed[kind - vdatatagPOINTER]) ++kind;
  if (kind == vdatatagKIND_COUNT) {  // a client's subclass: find its constructed ancestor
    for (kind = vdatatagPOINTER; kind < vdatatagKIND_COUNT; ++kind)
      if (vclassIsSubclass(o->cls, s->constructed[kind - vdatatagPOINTER])) break;
  }
  d->flags = static_cast<std::uint32_t>(kind);
  d->scrapClass = vdatatagGetKindScrapClass(kind);
  switch (kind) {
    case vdatatagPOINTER:
    case vdatatagARRAY:
    case vdatatagSIZED_ARRAY:
      as<vdatatagElementOf>(o)->element = nullptr;
      as<vdatatagElementOf>(o)->count = 0;
      break;
    case vdatatagSIZED_OPAQUE: as<vdatatagSizedOpaque>(o)->count = 0; break;
    case vdatatagDICTIONARY: vdictInit(&as<vdatatagDict>(o)->entries, vdictHashName); break;
    case vdatatagUNION: {
      auto* u = as<vdatatagUnion>(o);
      u->selBegin = u->selEnd = static_cast<std::int32_t*>(vmemAlloc(4 * sizeof(std::int32_t)));
      u->selCap = u->selBegin + 4;
      _vdatatagListInit(&u->members);
      break;
    }
    case vdatatagCOMPOUND: _vdatatagListInit(&as<vdatatagCompound>(o)->members); break;
    default: break;
  }
}
void payloadDestroy(vinstance* o) {
  switch (vdatatagGetKind(as<vdatatag>(o))) {
    case vdatatagDICTIONARY: vdictFinish(&as<vdatatagDict>(o)->entries); break;
    case vdatatagUNION: vmemFree(as<vdatatagUnion>(o)->selBegin); [[fallthrough]];
    case vdatatagCOMPOUND: _vdatatagListFinish(&as<vdatatagCompound>(o)->members); break;
    default: break;
  }
  vinstanceGetDefaultClass()->destroy(o);
}

// The dump.
std::FILE* orError(std::FILE* stream) { return stream ? stream : vdebugGetConsoleError(); }
const char* pointerText(char (&buf)[24], const void* p) { return vdebugPointerText(buf, p); }
void dumpElementLine(std::FILE* f, vdatatag* element) {
  char p[24];
  if (element)
    vdebugFprintf(f, "   element: %s\n", pointerText(p, element));
  else
    vdebugFputs("   element: (NULL)\n", f);
}
void defaultDump(vdatatag* d, std::FILE* stream) {
  std::FILE* f = orError(stream);
  char p[24];
  vdebugFprintf(f, "vdatatag(%s) -- \n", pointerText(p, d));
  vdebugFprintf(f, "   type: %s\n", kindNames[vdatatagGetKind(d) % vdatatagKIND_COUNT]);
  if (d->scrapClass)
    vdebugFprintf(f, "   scrap class: (%" PRIuPTR ", %s)\n", reinterpret_cast<std::uintptr_t>(d->scrapClass),
                  d->scrapClass->name ? d->scrapClass->name : "(NULL)");
  else
    vdebugFputs("   scrap class: (NULL)\n", f);
  if (d->group) {
    auto address = reinterpret_cast<std::uintptr_t>(d->group);
    if (d->group->name)
      vdebugFprintf(f, "   group: (%" PRIuPTR ", %s)\n", address, d->group->name);
    else
      vdebugFprintf(f, "   group: (%" PRIuPTR ", NULL)\n", address);
    vdebugFprintf(f, "   name: %s\n", d->name ? d->name : "(NULL)");
  } else {
    vdebugFputs("   group: (NULL)\n   name: (NULL)\n", f);
  }
}
void constructedDump(vdatatag* d, std::FILE* stream) {
  defaultDump(d, stream);
  std::FILE* f = orError(stream);
  char p[24];
  switch (vdatatagGetKind(d)) {
    case vdatatagSIZED_ARRAY: vdebugFprintf(f, "   count: %d\n", as<vdatatagElementOf>(d)->count); [[fallthrough]];
    case vdatatagPOINTER:
    case vdatatagARRAY: dumpElementLine(f, as<vdatatagElementOf>(d)->element); break;
    case vdatatagSIZED_OPAQUE: vdebugFprintf(f, "   count: %d\n", as<vdatatagSizedOpaque>(d)->count); break;
    case vdatatagDICTIONARY: {
      vdictIterator it;
      vdictInitIterator(&it, &as<vdatatagDict>(d)->entries);
      while (vdictNextIterator(&it))
        vdebugFprintf(f, "   %s: %s\n", static_cast<vname>(vdictIteratorKey(&it)),
                      pointerText(p, vdictIteratorValue(&it)));
      break;
    }
    case vdatatagCOMPOUND: {
      const vdatatagList& m = as<vdatatagCompound>(d)->members;
      for (void** e = m.begin; e != m.end; ++e) vdebugFprintf(f, "   %s\n", pointerText(p, *e));
      break;
    }
    case vdatatagUNION: {
      auto* u = as<vdatatagUnion>(d);
      for (std::int32_t i = 0; i < _vdatatagListCount(&u->members); ++i)
        vdebugFprintf(f, "   (%d, %s)\n", u->selBegin[i], pointerText(p, u->members.begin[i]));
      break;
    }
    default: break;
  }
}

// Groups.
vdatatagGroup* newGroup(DatatagState* s) {
  auto* g = vpoolAllocOf<vdatatagGroup>(s->groupPool);
  g->name = nullptr;
  vdictInit(&g->datatags, vdictHashName);
  return g;
}

void moduleExit() {
  auto* s = static_cast<DatatagState*>(*datatagSlot);
  if (!s) return;
  // Names are cleared first so that no lookup finds a group being destroyed.
  for (;;) {
    vdictIterator it;
    vdictInitIterator(&it, &s->groups);
    if (!vdictNextIterator(&it)) break;
    auto* g = static_cast<vdatatagGroup*>(vdictIteratorValue(&it));
    vdictRemove(&s->groups, vdictIteratorKey(&it));
    g->name = nullptr;
    vdatatagGroupDestroy(g);
  }
  vdictFinish(&s->groups);
  vpoolDestroy(s->groupPool);
  s->groupPool = nullptr;
}

void buildClasses(DatatagState* s) {
  auto* base = vclassSpawnOf<vdatatagClassRec>(vinstanceGetDefaultClass());
  vclassSetName(base, vscribeLiteral("vdatatagDefaultClass"));
  base->instanceSize = sizeof(vdatatag);
  base->init = defaultInit;
  base->load = _vdatatagDefaultLoad;
  base->store = _vdatatagDefaultStore;
  base->dump = defaultDump;
  s->defaultClass = base;
  for (int i = 0; i < constructedCount; ++i) {
    auto* c = vclassSpawnOf<vdatatagClassRec>(base);
    vclassSetName(c, vscribeLiteral(constructedRows[i].name));
    c->instanceSize = constructedRows[i].size;
    c->init = constructedInit;
    c->destroy = payloadDestroy;
    c->load = _vdatatagConstructedLoad;
    c->store = _vdatatagConstructedStore;
    c->dump = constructedDump;
    s->constructed[i] = c;
  }
}

void buildPredefined(DatatagState* s) {
  s->predefined = newGroup(s);
  vdatatagGroupSetName(s->predefined, vnameInternLiteral("vdatatag"));
  for (int kind = 0; kind < vdatatagSCALAR_COUNT; ++kind) {
    auto* d = static_cast<vdatatag*>(vinstanceCreate(s->defaultClass));
    d->flags = static_cast<std::uint32_t>(kind);
    d->scrapClass = vdatatagGetKindScrapClass(kind);
    vdatatagGroupAddDatatag(s->predefined, vnameInternLiteral(kindNames[kind]), d);
    s->predefinedTags[kind] = d;
  }
}

DatatagState* state() {
  if (auto* bound = vmoduleState<DatatagState>(datatagSlot)) return bound;
  vdatatagGetScrapClass();  // the scrap classes come first: the predefined datatags name them
  auto* s = static_cast<DatatagState*>(vmoduleBindSlot(datatagSlot, sizeof(DatatagState)));
  *s = DatatagState{};
  vdictInit(&s->groups, vdictHashName);
  s->groupPool = vpoolCreate(sizeof(vdatatagGroup));
  for (const char* name : {"Flags", "ScrapClass", "Group", "Name", "Element", "Count", "Elements", "Selectors"})
    vnameInternLiteral(name);
  buildClasses(s);
  buildPredefined(s);
  vmoduleAddContextExitProc(moduleExit);
  return s;
}

void checkKind(vdatatag* d, int kind, const char* message) {
  if (!d || vdatatagGetKind(d) != kind) vdatatagRaiseMismatched(d, message);
}
constexpr const char* pointerMessage = "Pointer function called on non-Pointer datatag";
constexpr const char* arrayMessage = "Array function called on non-Array datatag";
constexpr const char* sizedArrayMessage = "Sized array function called on non-Sized array datatag";
constexpr const char* sizedOpaqueMessage = "Sized opaque function called on non-Sized opaque datatag";
constexpr const char* dictMessage = "Dict function called on non-Dict datatag";
constexpr const char* compoundMessage = "Compound function called on non-Compound datatag";
constexpr const char* unionMessage = "Union function called on non-Union datatag";

// Exceptions.
void printUnknown(vexException* e, std::FILE* stream) {
  vname name = static_cast<vdatatagUnknownException*>(e)->name;
  vdebugFprintf(stream, "\tName: %s\n", name ? name : "");
}
void printDatatag(vexException* e, std::FILE* stream) {
  if (vdatatag* d = static_cast<vdatatagDatatagException*>(e)->datatag) vdatatagDump(d, stream);
}
void setUnknownName(vexException* e, va_list* ap) {
  static_cast<vdatatagUnknownException*>(e)->name = va_arg(*ap, vname);
}
void setDatatag(vexException* e, va_list* ap) {
  static_cast<vdatatagDatatagException*>(e)->datatag = va_arg(*ap, vdatatag*);
}

}  // namespace

const vexClass vexDatatagUnknownClass{&vexArgClass, "Unknown Datatag", 44, printUnknown,
                                      sizeof(vdatatagUnknownException)};
const vexClass vexDatatagIncompleteClass{&vexArgClass, "Incomplete Datatag", 44, printDatatag,
                                         sizeof(vdatatagDatatagException)};
const vexClass vexDatatagMismatchedClass{&vexArgClass, "Mismatched Datatag", 44, printDatatag,
                                         sizeof(vdatatagDatatagException)};

void vdatatagRaiseMismatched(vdatatag* d, const char* message) {
  _vexGenerate(&vexDatatagMismatchedClass, setDatatag, d, vexSetMessage, message, vexEnd);
}
void _vdatatagRaiseIncomplete(vdatatag* d, const char* message) {
  _vexGenerate(&vexDatatagIncompleteClass, setDatatag, d, vexSetMessage, message, vexEnd);
}
void _vdatatagRaiseUnknown(vname name, const char* message) {
  _vexGenerate(&vexDatatagUnknownClass, setUnknownName, name, vexSetMessage, message, vexEnd);
}

// Lists.
void _vdatatagListInit(vdatatagList* list) {
  list->begin = list->end = static_cast<void**>(vmemAlloc(4 * sizeof(void*)));
  list->cap = list->begin + 4;
}
void _vdatatagListFinish(vdatatagList* list) {
  vmemFree(list->begin);
  list->begin = list->end = list->cap = nullptr;
}
void _vdatatagListSetCapacity(vdatatagList* list, std::size_t capacity) {
  std::size_t used = static_cast<std::size_t>(list->end - list->begin);
  if (used > capacity) used = capacity;
  // A capacity of 0 still keeps a block, so that the list stays usable.
  list->begin = static_cast<void**>(vmemRealloc(list->begin, vmemArraySize(capacity ? capacity : 1, sizeof(void*))));
  list->end = list->begin + used;
  list->cap = list->begin + capacity;
}
void _vdatatagListAppend(vdatatagList* list, void* entry) {
  if (list->end == list->cap) {
    std::size_t n = static_cast<std::size_t>(list->cap - list->begin);
    if (n >= static_cast<std::size_t>(INT32_MAX) / 2) vexGenerateMessage(&vexModuleLimitClass, "datatag list is full");
    _vdatatagListSetCapacity(list, n ? n * 2 : 4);
  }
  *list->end++ = entry;
}
void* _vdatatagListGet(const vdatatagList* list, std::int32_t index) {
  if (index < 0 || index >= _vdatatagListCount(list)) _vexGenerate(&vexArgRangeClass, vexEnd);
  return list->begin[index];
}
std::int32_t _vdatatagListCount(const vdatatagList* list) { return static_cast<std::int32_t>(list->end - list->begin); }
void _vdatatagListCopy(const vdatatagList* source, vdatatagList* destination) {
  std::size_t n = static_cast<std::size_t>(source->end - source->begin);
  if (static_cast<std::size_t>(destination->cap - destination->begin) < n)
    _vdatatagListSetCapacity(destination, n < 4 ? 4 : n);
  if (n) std::memcpy(destination->begin, source->begin, n * sizeof(void*));
  destination->end = destination->begin + n;
}

// Module and predefined datatags.
const char* vdatatagKindName(int kind) { return kind >= 0 && kind < vdatatagKIND_COUNT ? kindNames[kind] : nullptr; }
vdatatagClassRec* vdatatagGetDefaultClass() { return defaultClass(); }
vdatatagClassRec* _vdatatagGetConstructedClass(int kind) {
  return kind >= vdatatagPOINTER && kind < vdatatagKIND_COUNT ? state()->constructed[kind - vdatatagPOINTER] : nullptr;
}
void vdatatagInstallStartup() {
  vmoduleInstallStartup("vdatatagGetDefaultClass", [] { vdatatagGetDefaultClass(); });
}

vdatatag* vdatatagGetPredefined(int kind) {
  if (kind < 0 || kind >= vdatatagSCALAR_COUNT) _vexGenerate(&vexArgRangeClass, vexEnd);
  return state()->predefinedTags[kind];
}

vdatatag* vdatatagCreate(int kind) {
  vdatatagClassRec* c = _vdatatagGetConstructedClass(kind);
  return c ? static_cast<vdatatag*>(vinstanceCreate(c)) : nullptr;
}

// A datatag leaves its group first, so the group never holds a freed one;
// the predefined datatags live for the whole process.
void vdatatagDestroy(vdatatag* d) {
  if (d->group && d->group == state()->predefined) return;
  if (d->group && d->name) vdictRemove(&d->group->datatags, d->name);
  d->group = nullptr;
  d->name = nullptr;
  vinstanceDestroy(d);
}

void vdatatagDump(vdatatag* d, std::FILE* stream) { vclassRec<vdatatagClassRec>(d)->dump(d, stream); }

void vdatatagSetScrapClass(vdatatag* d, vclass* scrapClass) {
  if (d->group && d->group == state()->predefined) return;
  d->scrapClass = scrapClass;
}

// Kind-checked accessors.
vdatatag* vdatatagGetPointerTarget(vdatatag* d) {
  checkKind(d, vdatatagPOINTER, pointerMessage);
  return as<vdatatagElementOf>(d)->element;
}
void vdatatagSetPointerTarget(vdatatag* d, vdatatag* target) {
  checkKind(d, vdatatagPOINTER, pointerMessage);
  as<vdatatagElementOf>(d)->element = target;
}
vdatatag* vdatatagGetArrayElement(vdatatag* d) {
  checkKind(d, vdatatagARRAY, arrayMessage);
  return as<vdatatagElementOf>(d)->element;
}
void vdatatagSetArrayElement(vdatatag* d, vdatatag* element) {
  checkKind(d, vdatatagARRAY, arrayMessage);
  as<vdatatagElementOf>(d)->element = element;
}
vdatatag* vdatatagGetSizedArrayElement(vdatatag* d) {
  checkKind(d, vdatatagSIZED_ARRAY, sizedArrayMessage);
  return as<vdatatagElementOf>(d)->element;
}
void vdatatagSetSizedArrayElement(vdatatag* d, vdatatag* element) {
  checkKind(d, vdatatagSIZED_ARRAY, sizedArrayMessage);
  as<vdatatagElementOf>(d)->element = element;
}
std::int32_t vdatatagGetSizedArrayCount(vdatatag* d) {
  checkKind(d, vdatatagSIZED_ARRAY, sizedArrayMessage);
  return as<vdatatagElementOf>(d)->count;
}
void vdatatagSetSizedArrayCount(vdatatag* d, std::int32_t count) {
  checkKind(d, vdatatagSIZED_ARRAY, sizedArrayMessage);
  if (count < 0) _vexGenerate(&vexArgRangeClass, vexEnd);
  as<vdatatagElementOf>(d)->count = count;
}
std::int32_t vdatatagGetSizedOpaqueSize(vdatatag* d) {
  checkKind(d, vdatatagSIZED_OPAQUE, sizedOpaqueMessage);
  return as<vdatatagSizedOpaque>(d)->count;
}
void vdatatagSetSizedOpaqueSize(vdatatag* d, std::int32_t size) {
  checkKind(d, vdatatagSIZED_OPAQUE, sizedOpaqueMessage);
  if (size < 0) _vexGenerate(&vexArgRangeClass, vexEnd);
  as<vdatatagSizedOpaque>(d)->count = size;
}
vdatatag* vdatatagGetDictEntry(vdatatag* d, vname key) {
  checkKind(d, vdatatagDICTIONARY, dictMessage);
  return static_cast<vdatatag*>(vdictGet(&as<vdatatagDict>(d)->entries, key));
}
void vdatatagSetDictEntry(vdatatag* d, vname key, vdatatag* entry) {
  checkKind(d, vdatatagDICTIONARY, dictMessage);
  vdictStore(&as<vdatatagDict>(d)->entries, key, entry);
}
void vdatatagRemoveDictEntry(vdatatag* d, vname key) {
  checkKind(d, vdatatagDICTIONARY, dictMessage);
  vdictRemove(&as<vdatatagDict>(d)->entries, key);
}
vdatatagList* vdatatagGetCompoundMembers(vdatatag* d) {
  checkKind(d, vdatatagCOMPOUND, compoundMessage);
  return &as<vdatatagCompound>(d)->members;
}
void vdatatagAddCompoundMembers(vdatatag* d, ...) {
  checkKind(d, vdatatagCOMPOUND, compoundMessage);
  va_list ap;
  va_start(ap, d);
  while (vdatatag* m = va_arg(ap, vdatatag*)) _vdatatagListAppend(&as<vdatatagCompound>(d)->members, m);
  va_end(ap);
}
vdatatag* vdatatagGetUnionMember(vdatatag* d, std::int32_t selector) {
  checkKind(d, vdatatagUNION, unionMessage);
  auto* u = as<vdatatagUnion>(d);
  std::int32_t n = _vdatatagListCount(&u->members);
  for (std::int32_t i = 0; i < n && u->selBegin + i < u->selEnd; ++i)
    if (u->selBegin[i] == selector) return static_cast<vdatatag*>(u->members.begin[i]);
  return nullptr;
}
void vdatatagAddUnionMember(vdatatag* d, std::int32_t selector, vdatatag* member) {
  checkKind(d, vdatatagUNION, unionMessage);
  auto* u = as<vdatatagUnion>(d);
  if (u->selEnd == u->selCap) {
    std::size_t n = static_cast<std::size_t>(u->selEnd - u->selBegin);
    u->selBegin = static_cast<std::int32_t*>(vmemRealloc(u->selBegin, vmemArraySize(n * 2, sizeof(std::int32_t))));
    u->selEnd = u->selBegin + n;
    u->selCap = u->selBegin + n * 2;
  }
  _vdatatagListAppend(&u->members, member);
  *u->selEnd++ = selector;
}
void _vdatatagUnionReset(vdatatag* d, std::size_t count) {
  auto* u = as<vdatatagUnion>(d);
  _vdatatagListSetCapacity(&u->members, count < 4 ? 4 : count);
  u->members.end = u->members.begin;
  u->selBegin = static_cast<std::int32_t*>(vmemRealloc(u->selBegin, vmemArraySize(count < 4 ? 4 : count, sizeof(std::int32_t))));
  u->selEnd = u->selBegin;
  u->selCap = u->selBegin + (count < 4 ? 4 : count);
}

// Child iteration.
void vdatatagInitChildIterator(vdatatagChildIterator* it, vdatatag* d) {
  it->datatag = d;
  it->position = -1;
  if (vdatatagGetKind(d) == vdatatagDICTIONARY) vdictInitIterator(&it->entries, &as<vdatatagDict>(d)->entries);
}
int vdatatagNextChild(vdatatagChildIterator* it) {
  switch (vdatatagGetKind(it->datatag)) {
    case vdatatagPOINTER:
    case vdatatagARRAY:
    case vdatatagSIZED_ARRAY:
      if (it->position >= 0) return 0;
      it->position = 0;
      return 1;
    case vdatatagDICTIONARY: return vdictNextIterator(&it->entries);
    case vdatatagCOMPOUND:
    case vdatatagUNION:
      if (it->position + 1 >= _vdatatagListCount(&as<vdatatagCompound>(it->datatag)->members)) return 0;
      ++it->position;
      return 1;
    default: return 0;
  }
}
vdatatag* vdatatagGetChild(vdatatagChildIterator* it) {
  switch (vdatatagGetKind(it->datatag)) {
    case vdatatagPOINTER:
    case vdatatagARRAY:
    case vdatatagSIZED_ARRAY: return as<vdatatagElementOf>(it->datatag)->element;
    case vdatatagDICTIONARY: return static_cast<vdatatag*>(vdictIteratorValue(&it->entries));
    case vdatatagCOMPOUND:
    case vdatatagUNION:
      return static_cast<vdatatag*>(_vdatatagListGet(&as<vdatatagCompound>(it->datatag)->members, it->position));
    default: return nullptr;
  }
}
void vdatatagResetChildIterator(vdatatagChildIterator* it) {
  if (vdatatagGetKind(it->datatag) != vdatatagDICTIONARY) it->position = -1;
}

// Groups.
vdatatagGroup* vdatatagGroupCreate() { return newGroup(state()); }

void vdatatagGroupDestroy(vdatatagGroup* g) {
  DatatagState* s = state();
  if (g->name && vdictGet(&s->groups, g->name) == g) vdictRemove(&s->groups, g->name);
  vdictIterator it;
  vdictInitIterator(&it, &g->datatags);
  while (vdictNextIterator(&it)) {
    auto* d = static_cast<vdatatag*>(vdictIteratorValue(&it));
    d->group = nullptr;
    d->name = nullptr;
    vinstanceDestroy(d);
  }
  vdictFinish(&g->datatags);
  if (s->groupPool && vpoolContains(s->groupPool, g)) vpoolFree(s->groupPool, g);
}

void vdatatagGroupSetName(vdatatagGroup* g, vname name) {
  if (g->name == name) return;
  DatatagState* s = state();
  if (name && vdictGet(&s->groups, name)) vexGenerateMessage(&vexArgClass, "Datatag group name already in use");
  if (g->name) vdictRemove(&s->groups, g->name);
  g->name = name;
  if (name) vdictStore(&s->groups, name, g);
}

vdatatagGroup* vdatatagGroupFind(vname name) {
  return name ? static_cast<vdatatagGroup*>(vdictGet(&state()->groups, name)) : nullptr;
}
vdatatagGroup* vdatatagGetPredefinedGroup() { return state()->predefined; }

void vdatatagGroupAddDatatag(vdatatagGroup* g, vname name, vdatatag* d) {
  if (d->group == g && d->name == name) return;
  // Moved out, a predefined datatag would be destroyed with its new group.
  if (d->group && d->group == state()->predefined)
    vexGenerateMessage(&vexArgClass, "Predefined datatags stay in their group");
  if (vdictGet(&g->datatags, name)) vexGenerateMessage(&vexArgClass, "Datatag name already in use in group");
  if (d->group && d->name) vdictRemove(&d->group->datatags, d->name);
  vdictStore(&g->datatags, name, d);
  d->group = g;
  d->name = name;
}

vdatatag* vdatatagGroupRemoveDatatag(vdatatagGroup* g, vname name) {
  auto* d = static_cast<vdatatag*>(vdictGet(&g->datatags, name));
  if (!d) return nullptr;
  vdictRemove(&g->datatags, name);
  d->group = nullptr;
  d->name = nullptr;
  return d;
}

vdatatag* vdatatagGroupFindDatatag(vdatatagGroup* g, vname name) {
  return static_cast<vdatatag*>(vdictGet(&g->datatags, name));
}
