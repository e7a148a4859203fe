#include "fw/text/txtruler.h"

#include <algorithm>

#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/data/resrect.h"
#include "fw/gui/graphics/color.h"
#include "fw/gui/graphics/font.h"
#include "fw/text/text_internal.h"

#define VEX_TEXT_CLASS(var, super, name) const vexClass var{super, name, 36, nullptr, sizeof(vexException)};
VEX_TEXT_CLASS(vexTextClass, &vexRootClass, "Text")
VEX_TEXT_CLASS(vexTextAttributeNotRegisteredClass, &vexTextClass, "Attribute Not Registered")
VEX_TEXT_CLASS(vexTextNoAppliedStyleClass, &vexTextClass, "No Applied Style")
VEX_TEXT_CLASS(vexTextNoAppliedRulerClass, &vexTextClass, "No Applied Ruler")
VEX_TEXT_CLASS(vexTextObserverAlreadyRemovedClass, &vexTextClass, "Observer Already Removed")
#undef VEX_TEXT_CLASS

namespace {

[[noreturn]] void notRegistered() {
  _vexGenerate(&vexTextAttributeNotRegisteredClass, vexSetMessage, "Attribute Not Registered", vexEnd);
}

int findIndex(const vtextAttrSet* set, vname key) {
  if (!set->keys) return -1;
  for (int i = 0; i < set->count; ++i)
    if (set->keys[i]->key == key) return i;
  return -1;
}

const vtextAttrDefinition* findRow(const vtextAttrDefinitions* table, vname key) {
  for (std::uint32_t i = 0; table && i < table->count; ++i)
    if (table->rows[i].key == key) return &table->rows[i];
  return nullptr;
}

void reserve(vtextAttrSet* set, std::int32_t capacity) {
  std::size_t n = std::size_t(capacity) + 1;
  set->keys = static_cast<const vtextAttrDefinition**>(vmemRealloc(set->keys, n * sizeof *set->keys));
  set->values = static_cast<std::uintptr_t*>(vmemRealloc(set->values, n * sizeof *set->values));
  set->capacity = capacity;
}

void append(vtextAttrSet* set, const vtextAttrDefinition* row, std::uintptr_t value) {
  if (set->count >= set->capacity) reserve(set, set->capacity + 4);
  set->keys[set->count] = row;
  set->values[set->count] = value;
  ++set->count;
  set->keys[set->count] = nullptr;
  set->values[set->count] = 0;
}

vtextAttributed* attributed(vobject* object) { return static_cast<vtextAttributed*>(object); }
vtextAttributedClassRec* classOf(vobject* object) { return vclassRec<vtextAttributedClassRec>(object); }

void put(vobject* object, vname key, vobject* value, std::intptr_t integer) {
  classOf(object)->setAttribute(attributed(object), key, value, integer);
}

// Removal never tells the owner and swallows what the set raises.
void quietRemove(vobject* object, vname key) {
  vexTry([&] { vtextRulerRemoveAttr(&attributed(object)->attributes, key); });
}

void setSwitch(vobject* object, vname key, int value) {
  if (value == -1) return quietRemove(object, key);
  put(object, key, nullptr, reinterpret_cast<std::intptr_t>(value == 1 ? vname_On : vname_Off));
}

int getSwitch(vobject* object, vname key) {
  std::uintptr_t word = _vtextRulerLookupAttr(&attributed(object)->attributes, key);
  if (word == vtextAttrABSENT) return -1;
  return word == reinterpret_cast<std::uintptr_t>(vname_On) ? 1 : 0;
}

void setWord(vobject* object, vname key, std::int32_t value) {
  if (value == -1) return quietRemove(object, key);
  put(object, key, nullptr, value);
}

std::int32_t getWord(vobject* object, vname key) {
  std::uintptr_t word = _vtextRulerLookupAttr(&attributed(object)->attributes, key);
  return word == vtextAttrABSENT ? -1 : std::int32_t(std::intptr_t(word));
}

constexpr const char* kJustifications[] = {"Left", "Right", "Center", "Full"};

}  // namespace

vtextAttrDefinitions* vtextRulerCreateDefinitions() {
  auto* table = static_cast<vtextAttrDefinitions*>(vmemAllocClear(sizeof(vtextAttrDefinitions)));
  table->capacity = 2;
  table->rows = static_cast<vtextAttrDefinition*>(vmemAllocClear(2 * sizeof(vtextAttrDefinition)));
  return table;
}

void vtextRulerDestroyDefinitions(vtextAttrDefinitions* table) {
  if (!table) return;
  vmemFree(table->rows);
  vmemFree(table);
}

void vtextRulerRegisterAttr(vtextAttrDefinitions* table, vname key, int kind) {
  if (findRow(table, key)) _vexGenerate(&vexArgClass, vexSetMessage, "attribute registered twice", vexEnd);
  if (table->count == table->capacity) {
    table->capacity += 2;
    table->rows = static_cast<vtextAttrDefinition*>(vmemRealloc(table->rows, table->capacity * sizeof(vtextAttrDefinition)));
  }
  table->rows[table->count++] = {key, kind};
}

int vtextRulerGetAttrType(const vtextAttrDefinitions* table, vname key) {
  const vtextAttrDefinition* row = findRow(table, key);
  return row ? row->kind : 0;
}

void vtextRulerInitAttrSet(vtextAttrSet* set) { *set = vtextAttrSet{}; }

void vtextRulerFreeAttrSet(vtextAttrSet* set) {
  vmemFree(set->keys);
  vmemFree(set->values);
  *set = vtextAttrSet{};
}

void vtextRulerCopyAttrSet(const vtextAttrSet* source, vtextAttrSet* destination) {
  if (source == destination) return;
  if (source->count > destination->capacity) reserve(destination, source->capacity);
  destination->count = source->count;
  if (!destination->keys) return;
  if (source->keys) {
    std::copy_n(source->keys, source->count + 1, destination->keys);
    std::copy_n(source->values, source->count + 1, destination->values);
  } else {
    destination->keys[0] = nullptr;
    destination->values[0] = 0;
  }
}

void vtextRulerMergeAttrSet(const vtextAttrSet* source, vtextAttrSet* destination) {
  for (int i = 0; i < source->count; ++i) {
    int at = findIndex(destination, source->keys[i]->key);
    if (at >= 0)
      destination->values[at] = source->values[i];
    else
      append(destination, source->keys[i], source->values[i]);
  }
}

int vtextRulerEqualAttrSet(const vtextAttrSet* a, const vtextAttrSet* b) {
  if (a->count != b->count) return 0;
  for (int i = 0; i < a->count; ++i) {
    int at = findIndex(b, a->keys[i]->key);
    if (at < 0 || b->values[at] != a->values[i]) return 0;
  }
  return 1;
}

void vtextRulerPutAttr(const vtextAttrDefinitions* table, vtextAttrSet* set, vname key, const void* object,
                       std::intptr_t integer) {
  std::uintptr_t word = object ? reinterpret_cast<std::uintptr_t>(object) : std::uintptr_t(integer);
  int at = findIndex(set, key);
  if (at >= 0) {
    set->values[at] = word;
    return;
  }
  const vtextAttrDefinition* row = findRow(table, key);
  if (!row) notRegistered();
  append(set, row, word);
}

std::uintptr_t vtextRulerFindAttr(const vtextAttrSet* set, vname key) {
  int at = findIndex(set, key);
  return at < 0 ? 0 : set->values[at];
}

std::uintptr_t _vtextRulerLookupAttr(const vtextAttrSet* set, vname key) {
  int at = findIndex(set, key);
  return at < 0 ? vtextAttrABSENT : set->values[at];
}

void vtextRulerRemoveAttr(vtextAttrSet* set, vname key) {
  int at = findIndex(set, key);
  if (at < 0) _vexGenerate(&vexArgClass, vexSetMessage, "attribute not in the set", vexEnd);
  // Later entries and the terminator move down one place.
  std::copy(set->keys + at + 1, set->keys + set->count + 1, set->keys + at);
  std::copy(set->values + at + 1, set->values + set->count + 1, set->values + at);
  --set->count;
}

void vtextRulerStoreAttrSet(const vtextAttrSet* set, vresource resource) {
  vresource attributes = vresourceGetDict(resource, vtextName("Attributes"));
  for (int i = 0; i < set->count; ++i) {
    vname key = set->keys[i]->key;
    std::uintptr_t word = set->values[i];
    // An empty font or colour word has nothing to store.
    if (!word && (set->keys[i]->kind == vtextAttrFONT || set->keys[i]->kind == vtextAttrCOLOR)) continue;
    switch (set->keys[i]->kind) {
      case vtextAttrFONT:
        vfontStore(reinterpret_cast<vfont*>(word), vresourceCreate(attributes, key, vresDICTIONARY));
        break;
      case vtextAttrCOLOR:
        vcolorStoreSpec(&reinterpret_cast<vcolor*>(word)->desc, vresourceCreate(attributes, key, vresDICTIONARY));
        break;
      case vtextAttrINTEGER: vresourceSetInteger(attributes, key, std::int32_t(std::intptr_t(word))); break;
      case vtextAttrBOOLEAN:
        vresourceSetBoolean(attributes, key, word == reinterpret_cast<std::uintptr_t>(vname_On));
        break;
      case vtextAttrMEASURE: vresourceSetFixed(attributes, key, std::int32_t(std::intptr_t(word))); break;
      case vtextAttrJUSTIFY:
        // An empty word reads as absent and has no name to store.
        if (word) vresourceSetTag(attributes, key, reinterpret_cast<vname>(word));
        break;
      case vtextAttrOBJECT: {
        auto* object = reinterpret_cast<vobject*>(word);
        if (object) vclassRec<vobjectClassRec>(object)->store(object, vresourceCreate(attributes, key, vresDICTIONARY));
        break;
      }
      default: break;  // client data stays with the running program
    }
  }
}

void vtextRulerLoadAttrSet(const vtextAttrDefinitions* table, vtextAttrSet* set, vresource resource) {
  vresource attributes;
  if (!vresourceTestGet(resource, vtextName("Attributes"), &attributes)) return;
  std::int32_t count = vresourceCount(attributes);
  vtextRulerFreeAttrSet(set);
  reserve(set, count);
  set->keys[0] = nullptr;
  set->values[0] = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    vname key = nullptr;
    vresource entry = vresourceGetTagAt(attributes, i, &key);
    const vtextAttrDefinition* row = findRow(table, key);
    if (!row) notRegistered();
    std::uintptr_t word = 0;
    switch (row->kind) {
      case vtextAttrFONT: word = reinterpret_cast<std::uintptr_t>(vfontLoad(entry)); break;
      case vtextAttrCOLOR: word = reinterpret_cast<std::uintptr_t>(vcolorLoad(entry)); break;
      case vtextAttrINTEGER: word = std::uintptr_t(std::intptr_t(vresourceGetInteger(entry, nullptr))); break;
      case vtextAttrMEASURE: word = std::uintptr_t(std::intptr_t(vresourceGetFixed(entry, nullptr))); break;
      case vtextAttrJUSTIFY: word = reinterpret_cast<std::uintptr_t>(vresourceGetTag(entry, nullptr)); break;
      case vtextAttrBOOLEAN: {
        int on = vresourceGetType(entry, nullptr) == vresTAG ? vresourceGetTag(entry, nullptr) == vname_On
                                                              : vresourceGetBoolean(entry, nullptr);
        word = reinterpret_cast<std::uintptr_t>(on ? vname_On : vname_Off);
        break;
      }
      case vtextAttrOBJECT: word = reinterpret_cast<std::uintptr_t>(vobjectLoad(entry)); break;
      default: break;
    }
    set->keys[set->count] = row;
    set->values[set->count] = word;
    ++set->count;
    set->keys[set->count] = nullptr;
    set->values[set->count] = 0;
  }
}

void vtextRulerSetBooleanAttr(vobject* object, vname key, int value) { setSwitch(object, key, value); }
int vtextRulerGetBooleanAttr(vobject* object, vname key) { return getSwitch(object, key); }
void vtextRulerSetFlagAttr(vobject* object, vname key, int value) { setSwitch(object, key, value); }
int vtextRulerGetFlagAttr(vobject* object, vname key) { return getSwitch(object, key); }
void vtextRulerSetIntegerAttr(vobject* object, vname key, std::int32_t value) { setWord(object, key, value); }
std::int32_t vtextRulerGetAttr(vobject* object, vname key) { return getWord(object, key); }
void vtextRulerSetMeasureAttr(vobject* object, vname key, vfixed value) { setWord(object, key, value); }
vfixed vtextRulerGetMeasureAttr(vobject* object, vname key) { return getWord(object, key); }

void vtextRulerSetObjectAttr(vobject* object, vname key, vobject* value) {
  if (!value) return quietRemove(object, key);
  put(object, key, value, 0);
}

void vtextRulerSetJustification(vobject* object, int justification) {
  vname key = vtextName("Justification");
  if (justification == -1) return quietRemove(object, key);
  vname name = justification >= 0 && justification <= 3 ? vtextName(kJustifications[justification]) : nullptr;
  put(object, key, nullptr, reinterpret_cast<std::intptr_t>(name));
}

int vtextJustificationOf(std::uintptr_t word) {
  if (word == 0 || word == vtextAttrABSENT) return -1;
  for (int i = 0; i < 3; ++i)
    if (word == reinterpret_cast<std::uintptr_t>(vtextName(kJustifications[i]))) return i;
  return 3;
}

int vtextRulerGetJustification(vobject* object) {
  return vtextJustificationOf(_vtextRulerLookupAttr(&attributed(object)->attributes, vtextName("Justification")));
}

// ---- The text ruler class ----

namespace {

vtextRuler* asRuler(vinstance* o) { return static_cast<vtextRuler*>(o); }
vobjectClassRec* objectClass() { return vobjectGetDefaultClass(); }

void rulerInit(vinstance* self) {
  objectClass()->init(self);
  vtextRuler* r = asRuler(self);
  vtextRulerInitAttrSet(&r->attributes);
  r->flags = 0;
  r->tabCount = r->tabCapacity = 0;
  r->owner = nullptr;
  r->lastTab = 0;
  r->tabs = nullptr;
  r->index = -1;
}

void rulerDestroy(vinstance* self) {
  vtextRuler* r = asRuler(self);
  vtextRulerFreeAttrSet(&r->attributes);
  vmemFree(r->tabs);
  r->tabs = nullptr;
  objectClass()->destroy(self);
}

void rulerCopy(vobject* source, vobject* destination) {
  objectClass()->copy(source, destination);
  vtextRuler *from = asRuler(source), *to = asRuler(destination);
  if (from == to) return;
  vtextRulerCopyAttrSet(&from->attributes, &to->attributes);
  to->flags = (to->flags & ~vtextRulerCHANGED) | (from->flags & vtextRulerCHANGED);
  to->lastTab = from->lastTab;
  to->tabCount = from->tabCount;
  to->tabCapacity = from->tabCapacity;
  vmemFree(to->tabs);
  to->tabs = nullptr;
  if (from->tabs) {
    std::size_t bytes = std::size_t(from->tabCapacity) * sizeof(vtextTab);
    to->tabs = static_cast<vtextTab*>(vmemAlloc(bytes));
    std::copy_n(from->tabs, from->tabCapacity, to->tabs);
  }
  if (to->owner) vtextRulerChanged(to->owner, to);
}

void rulerCopyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

void rulerLoadInit(vobject* self, vresource resource) {
  objectClass()->loadInit(self, resource);
  vtextRuler* r = asRuler(self);
  vtextRulerInitAttrSet(&r->attributes);
  r->flags = 0;
  r->index = -1;
  r->owner = nullptr;
  r->lastTab = 0;
  r->tabCount = r->tabCapacity = 0;
  r->tabs = nullptr;
  vtextRulerLoadAttributes(r, resource);
}

void rulerStore(vobject* self, vresource resource) {
  objectClass()->store(self, resource);
  vtextRuler* r = asRuler(self);
  vtextRulerStoreAttrSet(&r->attributes, resource);
  vname tabsKey = vtextName("Tabs");
  if (r->tabCount == 0) {
    vresourceRemoveIfPresent(resource, tabsKey);
    return;
  }
  vresource tabs = vresourceCreateArray(resource, tabsKey, vresDICTIONARY, r->tabCount);
  for (int i = 0; i < r->tabCount; ++i) {
    vresource tab = vresourceCreateAt(tabs, i, vresDICTIONARY);
    vresourceSetFixed(tab, vtextName("TabStop"), r->tabs[i].position);
    vresourceSetInteger(tab, vtextName("TabType"), r->tabs[i].type);
  }
  vresourceRemoveIfPresent(resource, vtextName("Wrap"));
}

void rulerSetAttribute(vtextAttributed* self, vname key, vobject* object, std::intptr_t integer) {
  vtextRuler* r = asRuler(self);
  vtextRulerPutAttr(classOf(r)->definitions, &r->attributes, key, object, integer);
  if (r->owner) vtextRulerChanged(r->owner, r);
}

struct KeyRow {
  const char* name;
  int kind;
};
constexpr KeyRow kRulerKeys[] = {
    {"LeftIndent", vtextAttrMEASURE}, {"RightIndent", vtextAttrMEASURE}, {"FirstLineIndent", vtextAttrMEASURE},
    {"TabWidth", vtextAttrMEASURE},   {"Justification", vtextAttrJUSTIFY}, {"Ascent", vtextAttrINTEGER},
    {"Descent", vtextAttrINTEGER},    {"SpacingBefore", vtextAttrINTEGER}, {"SpacingAfter", vtextAttrINTEGER},
    {"Wrap", vtextAttrBOOLEAN},       {"Data", vtextAttrDATA},
};

}  // namespace

namespace {

// The flat form's "Flags" bits and the attributes they set.
struct FlatRow {
  std::uint32_t bit;
  const char* attribute;
  const char* stored;
  bool measure;
};
constexpr FlatRow kFlatRows[] = {
    {0x40, "FirstLineIndent", "FirstLineIndent", true}, {0x20, "LeftIndent", "LeftIndent", true},
    {0x80, "RightIndent", "RightIndent", true},         {0x100, "TabWidth", "DefaultTabWidth", true},
    {0x200, "Ascent", "Ascent", false},                 {0x400, "Descent", "Descent", false},
    {0x800, "SpacingBefore", "Before", false},          {0x1000, "SpacingAfter", "After", false},
};
constexpr std::uint32_t kFlatDefault = 0x1FF7, kFlatWrap = 0x02, kFlatChanged = 0x08, kFlatJustify = 0x10;

void loadFlat(vtextRuler* ruler, vresource resource) {
  const vtextAttrDefinitions* table = classOf(ruler)->definitions;
  vtextAttrSet* set = &ruler->attributes;
  std::int32_t flags = std::int32_t(kFlatDefault);
  vresourceTestGetInteger(resource, vtextName("Flags"), &flags);
  auto bits = std::uint32_t(flags);
  for (const FlatRow& row : kFlatRows) {
    if (!(bits & row.bit)) continue;
    std::int32_t value = 0;
    if (row.measure)
      vresourceTestGetFixed(resource, vtextName(row.stored), &value);
    else
      vresourceTestGetInteger(resource, vtextName(row.stored), &value);
    vtextRulerPutAttr(table, set, vtextName(row.attribute), nullptr, value);
  }
  // "Name" is no ruler attribute: a flat ruler that carries one loads without it.
  if (bits & kFlatChanged) ruler->flags |= vtextRulerCHANGED;
  vtextRulerPutAttr(table, set, vtextName("Wrap"), bits & kFlatWrap ? vname_On : vname_Off, 0);
  if (bits & kFlatJustify) {
    std::int32_t justify = 0;
    vresourceTestGetInteger(resource, vtextName("Justification"), &justify);
    if (justify >= 0 && justify <= 3)
      vtextRulerPutAttr(table, set, vtextName("Justification"), nullptr,
                        reinterpret_cast<std::intptr_t>(vtextName(kJustifications[justify])));
  }
}

void loadTabs(vtextRuler* ruler, vresource resource) {
  vresource tabs;
  if (!vresourceTestGet(resource, vtextName("Tabs"), &tabs) || vresourceGetType(tabs, nullptr) != vresARRAY ||
      vresourceGetElementType(tabs) != vresDICTIONARY)
    return;
  std::int32_t n = std::min(vresourceCount(tabs), std::int32_t(0x7FFF - 5));
  if (n <= 0) return;
  ruler->tabCapacity = std::int16_t(n + 5);
  ruler->tabs = static_cast<vtextTab*>(vmemAlloc(std::size_t(n + 5) * sizeof(vtextTab)));
  for (std::int32_t i = 0; i < n; ++i) {
    vresource tab = vresourceGetAt(tabs, i);
    std::int32_t position = 0, type = 0;
    vresourceTestGetFixed(tab, vtextName("TabStop"), &position);
    vresourceTestGetInteger(tab, vtextName("TabType"), &type);
    ruler->tabs[i] = vtextTab{position, std::uint8_t(type)};
  }
  ruler->tabCount = std::int16_t(n);
  ruler->lastTab = ruler->tabs[n - 1].position;
}

}  // namespace

void vtextRulerLoadAttributes(vtextRuler* ruler, vresource resource) {
  vmemFree(ruler->tabs);
  ruler->tabs = nullptr;
  ruler->tabCount = ruler->tabCapacity = 0;
  ruler->lastTab = 0;
  ruler->index = -1;
  vresource attributes;
  if (vresourceTestGet(resource, vtextName("Attributes"), &attributes))
    vtextRulerLoadAttrSet(classOf(ruler)->definitions, &ruler->attributes, resource);
  else
    loadFlat(ruler, resource);
  loadTabs(ruler, resource);
}

vtextRulerClassRec* _vtextBuildRulerClass() {
  vtextAttrDefinitions* definitions = vtextRulerCreateDefinitions();
  for (const KeyRow& row : kRulerKeys) vtextRulerRegisterAttr(definitions, vtextName(row.name), row.kind);
  auto* c = vclassSpawnOf<vtextRulerClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vtextRuler"));
  c->instanceSize = sizeof(vtextRuler);
  c->init = rulerInit;
  c->destroy = rulerDestroy;
  c->copy = rulerCopy;
  c->copyInit = rulerCopyInit;
  c->loadInit = rulerLoadInit;
  c->store = rulerStore;
  c->definitions = definitions;
  c->setAttribute = rulerSetAttribute;
  c->prepare = [](vtextRuler*) {};
  return c;
}

vtextRuler* vtextRulerCreate() { return asRuler(vinstanceCreate(vtextGetRulerClass())); }
