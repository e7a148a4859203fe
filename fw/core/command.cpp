// The command classes, key lists and the attribute-kind handlers.
#include <algorithm>
#include <cstring>

#include "fw/core/attributed.h"
#include "fw/core/command.h"

namespace {

struct CommandState {
  vcommandClassRec* base;
  vcommandFunctionClassRec* function;
  vcommandValueClassRec* selector;
  vcommandSyntheticClassRec* synthetic;
  vcommandSyntheticClassRec* syntheticName;
  vcommandSpaceClassRec* space;
};
void** commandSlot = nullptr;
vpool* keyListPool = nullptr;
vdict* handlers = nullptr;

CommandState* state() {
  vcommandStartup();
  return static_cast<CommandState*>(*commandSlot);
}

vcommandClassRec* commandRec(vcommand* c) { return vclassRec<vcommandClassRec>(c); }

// vcommandClass
void baseLoadInit(vcommand*, vresource) {}
void baseStore(vcommand* self, vresource resource) {
  if (!self->cls->name)
    _vexGenerate(&vexArgUnnamedClassClass, vexSetMessage, "command classes require a name to store commands", vexEnd);
  vresourceSetTagAt(resource, vname_Class, self->cls->name);
}
int answerOne(vcommand*, vdict*) { return 1; }

// vcommandFunctionClass
vcommandFunction* fn(vcommand* c) { return static_cast<vcommandFunction*>(c); }
void functionInit(vinstance* self) {
  vinstanceGetDefaultClass()->init(self);
  fn(static_cast<vcommand*>(self))->issue = fn(static_cast<vcommand*>(self))->query = nullptr;
}
void functionLoadInit(vcommand* self, vresource r) {
  baseLoadInit(self, r);
  fn(self)->issue = fn(self)->query = nullptr;
}
int functionIssue(vcommand* self, vdict* context) { return fn(self)->issue ? fn(self)->issue(self, context) : 0; }
int functionQuery(vcommand* self, vdict* context) { return fn(self)->query ? fn(self)->query(self, context) : 0; }
void setIssueFunction(vcommand* self, std::intptr_t f) { fn(self)->issue = reinterpret_cast<vcommandFunc>(f); }
void setQueryFunction(vcommand* self, std::intptr_t f) { fn(self)->query = reinterpret_cast<vcommandFunc>(f); }

// vcommandSelectorClass
vcommandSelector* sel(vcommand* c) { return static_cast<vcommandSelector*>(c); }
void selectorInit(vinstance* self) {
  vinstanceGetDefaultClass()->init(self);
  sel(static_cast<vcommand*>(self))->selector = 0;
}
void selectorLoadInit(vcommand* self, vresource r) {
  baseLoadInit(self, r);
  std::int32_t value = 0;
  if (!vresourceTestGetInteger(r, vname_Value, &value)) value = 0;
  sel(self)->selector = value;
}
void selectorStore(vcommand* self, vresource r) {
  baseStore(self, r);
  vresourceSetIntegerAt(r, vname_Value, sel(self)->selector);
}
void setSelector(vcommand* self, std::intptr_t value) { sel(self)->selector = static_cast<std::int32_t>(value); }

// vcommandSyntheticClass: a count of 0 or 1 keeps its value inline, 2 or
// more an array of exactly that many.
vcommandSynthetic* syn(vcommand* c) { return static_cast<vcommandSynthetic*>(c); }

template <class T>
T* itemsOf(std::int16_t count, T& inlineValue, T*& array) {
  return count > 1 ? array : &inlineValue;
}

template <class T>
void resizeItems(std::int16_t& count, T& inlineValue, T*& array, int newCount) {
  if (newCount > INT16_MAX) vexGenerateMessage(&vexArgRangeClass, "too many entries in a command");
  int old = count;
  if (newCount > 1) {
    T* a = static_cast<T*>(vmemAlloc(vmemArraySize(static_cast<std::size_t>(newCount), sizeof(T))));
    std::memcpy(static_cast<void*>(a), itemsOf(count, inlineValue, array), sizeof(T) * static_cast<std::size_t>(std::min(old, newCount)));
    if (old > 1) vmemFree(array);
    array = a;
  } else if (old > 1) {
    T* a = array;
    if (newCount == 1) inlineValue = a[0];
    vmemFree(a);
  }
  count = static_cast<std::int16_t>(newCount);
}

// Removal: a match is overwritten by the last entry; the moved-in entry is
// not compared again in that pass.
template <class T, class Key>
void removeItems(std::int16_t& count, T& inlineValue, T*& array, const vname* keys, int n, Key key) {
  for (int k = 0; k < n; ++k) {
    T* items = itemsOf(count, inlineValue, array);
    int c = count;
    for (int i = 0; i < c; ++i)
      if (key(items[i]) == keys[k]) items[i] = items[--c];
    if (c != count) resizeItems(count, inlineValue, array, c);
  }
}

void syntheticInit(vinstance* self) {
  vinstanceGetDefaultClass()->init(self);
  auto* s = syn(static_cast<vcommand*>(self));
  s->tagCount = s->pairCount = 0;
  s->tag = nullptr;
  s->pair = {nullptr, nullptr};
}
void syntheticDestroy(vinstance* self) {
  auto* s = syn(static_cast<vcommand*>(self));
  if (s->tagCount > 1) vmemFree(s->tags);
  if (s->pairCount > 1) vmemFree(s->pairs);
  vinstanceGetDefaultClass()->destroy(self);
}
void appendTags(vcommand* self, const vname* tags, int n) {
  if (n <= 0) return;
  auto* s = syn(self);
  int old = s->tagCount;
  resizeItems(s->tagCount, s->tag, s->tags, old + n);
  std::memcpy(itemsOf(s->tagCount, s->tag, s->tags) + old, tags, sizeof(vname) * static_cast<std::size_t>(n));
}
void removeTags(vcommand* self, const vname* tags, int n) {
  auto* s = syn(self);
  removeItems(s->tagCount, s->tag, s->tags, tags, n, [](vname t) { return t; });
}
void appendPairs(vcommand* self, const vname* keys, const void* const* values, int n) {
  if (n <= 0) return;
  auto* s = syn(self);
  int old = s->pairCount;
  resizeItems(s->pairCount, s->pair, s->pairs, old + n);
  vcommandPair* items = itemsOf(s->pairCount, s->pair, s->pairs);
  for (int i = 0; i < n; ++i) items[old + i] = {keys[i], values[i]};
}
void removePairs(vcommand* self, const vname* keys, int n) {
  auto* s = syn(self);
  removeItems(s->pairCount, s->pair, s->pairs, keys, n, [](const vcommandPair& p) { return p.key; });
}

int syntheticRun(vcommand* self, vdict* context, int (*run)(vobject*, vname, vdict*)) {
  auto* target = static_cast<vobject*>(vdictGet(context, vname_Operator));
  if (!target) return 0;
  auto* s = syn(self);
  vcommandPair* pairs = itemsOf(s->pairCount, s->pair, s->pairs);
  for (int i = 0; i < s->pairCount; ++i) vdictStore(context, pairs[i].key, pairs[i].value);
  if (s->tagCount == 0) return 1;
  // Copied first: an issued command may edit this one.
  int count = s->tagCount;
  vname local[8];
  vname* tags = count <= 8 ? local : static_cast<vname*>(vmemAlloc(sizeof(vname) * static_cast<std::size_t>(count)));
  std::memcpy(tags, itemsOf(s->tagCount, s->tag, s->tags), sizeof(vname) * static_cast<std::size_t>(count));
  int handled = 0;
  for (int i = 0; i < count; ++i) handled |= run(target, tags[i], context) != 0;
  if (tags != local) vmemFree(tags);
  return count == 1 ? handled : handled ? 1 : 0;
}
int syntheticIssue(vcommand* self, vdict* context) { return syntheticRun(self, context, vobjectIssueCommand); }
int syntheticQuery(vcommand* self, vdict* context) { return syntheticRun(self, context, vobjectQueryCommand); }

void syntheticLoadInit(vcommand* self, vresource r) {
  baseLoadInit(self, r);
  auto* s = syn(self);
  s->tagCount = s->pairCount = 0;
  const vresourceInterface* io = vresourceGetInterface();
  vresource tags;
  if (!io->find(r, vname_Tags, &tags)) return;
  int type = io->type(tags);
  if (type == vresTAG) {
    vname t = io->getTag(tags);
    appendTags(self, &t, 1);
  } else if (type == vresARRAY) {
    int n = vresourceCount(tags, INT16_MAX);
    for (int i = 0; i < n; ++i) {
      vresource e = io->element(tags, i);
      if (io->type(e) != vresTAG) vexGenerateMessage(&vexArgClass, "command tag is not a tag");
      vname t = io->getTag(e);
      appendTags(self, &t, 1);
    }
  } else {
    vexGenerateMessage(&vexArgClass, "command tags of the wrong type");
  }
}
void syntheticStore(vcommand* self, vresource r) {
  baseStore(self, r);
  auto* s = syn(self);
  const vresourceInterface* io = vresourceGetInterface();
  if (s->tagCount == 0) return io->remove(r, vname_Tags);
  if (s->tagCount == 1) return vresourceSetTagAt(r, vname_Tags, s->tag);
  vresource a = io->make(r, vname_Tags, vresARRAY);
  for (int i = 0; i < s->tagCount; ++i) io->setTag(io->append(a, vresTAG), s->tags[i]);
}
void nameLoadInit(vcommand* self, vresource r) {
  syntheticLoadInit(self, r);
  const vresourceInterface* io = vresourceGetInterface();
  vresource pairs;
  if (!io->find(r, vname_Pairs, &pairs) || io->type(pairs) != vresDICTIONARY) return;
  int n = vresourceCount(pairs, INT16_MAX);
  for (int i = 0; i < n; ++i) {
    vname key = io->entryName(pairs, i);
    vresource e = io->element(pairs, i);
    if (io->type(e) != vresTAG) vexGenerateMessage(&vexArgClass, "command pair value is not a tag");
    const void* value = io->getTag(e);
    appendPairs(self, &key, &value, 1);
  }
}
void nameStore(vcommand* self, vresource r) {
  syntheticStore(self, r);
  auto* s = syn(self);
  const vresourceInterface* io = vresourceGetInterface();
  if (s->pairCount == 0) return io->remove(r, vname_Pairs);
  vresource d = io->make(r, vname_Pairs, vresDICTIONARY);
  vcommandPair* pairs = itemsOf(s->pairCount, s->pair, s->pairs);
  for (int i = 0; i < s->pairCount; ++i) vresourceSetTagAt(d, pairs[i].key, static_cast<vname>(pairs[i].value));
}

// Attribute-kind handlers.
const void* sameWord(const void* v) { return v; }
void keepWord(const void*) {}
const void* loadTag(vresource r) {
  if (vresourceType(r) != vresTAG) vexGenerateMessage(&vexArgClass, "value is not a tag");
  return vresourceGetInterface()->getTag(r);
}
void storeTag(const void* v, vresource parent, vname key) { vresourceSetTagAt(parent, key, static_cast<vname>(v)); }

const void* copyTitle(const void* v) { return vstrClone(static_cast<const char*>(v)); }
void destroyTitle(const void* v) { vstrDestroy(const_cast<char*>(static_cast<const char*>(v))); }
const void* loadTitle(vresource r) {
  if (vresourceType(r) != vresSTRING) vexGenerateMessage(&vexArgClass, "title is not a string");
  return vstrClone(vresourceGetInterface()->getString(r));
}
void storeTitle(const void* v, vresource parent, vname key) {
  const vresourceInterface* io = vresourceGetInterface();
  io->setString(io->make(parent, key, vresSTRING), static_cast<const char*>(v));
}

const void* copyCommand(const void* v) { return vcommandCopy(static_cast<vcommand*>(const_cast<void*>(v))); }
void destroyCommand(const void* v) { vinstanceDestroy(static_cast<vinstance*>(const_cast<void*>(v))); }
const void* loadCommand(vresource r) { return vcommandLoad(r); }
void storeCommand(const void* v, vresource parent, vname key) {
  vcommandStore(static_cast<vcommand*>(const_cast<void*>(v)), vresourceGetInterface()->make(parent, key, vresDICTIONARY));
}

vcommandKeyList* keyListOf(const void* v) { return static_cast<vcommandKeyList*>(const_cast<void*>(v)); }
const void* copyKeys(const void* v) {
  vcommandKeyList* copy = vcommandCreateKeyList();
  vcommandKeyIterator it;
  vcommandInitKeyIterator(&it, keyListOf(v));
  vcommandAppendKeys(copy, it.current, static_cast<int>(it.end - it.current));
  return copy;
}
void destroyKeys(const void* v) { vcommandDestroyKeyList(keyListOf(v)); }
const void* loadKeys(vresource r) { return vcommandLoadKeyList(r); }
void storeKeys(const void* v, vresource parent, vname key) {
  // The list's own form decides the resource type: made by the store.
  vcommandStoreKeyList(keyListOf(v), vresourceGetInterface()->make(parent, key, vresUNTYPED));
}

const vcommandAttributeHandler wordHandler{sameWord, keepWord, loadTag, storeTag};
const vcommandAttributeHandler titleHandler{copyTitle, destroyTitle, loadTitle, storeTitle};
const vcommandAttributeHandler commandHandler{copyCommand, destroyCommand, loadCommand, storeCommand};
const vcommandAttributeHandler keyHandler{copyKeys, destroyKeys, loadKeys, storeKeys};

void makeHandlers() {
  if (handlers) return;
  handlers = vdictCreate(vdictHashName);
  vdictStore(handlers, vname_State, &wordHandler);
  vdictStore(handlers, vname_Toggle, &wordHandler);
  vdictStore(handlers, vname_Name, &wordHandler);
  vdictStore(handlers, vname_Title, &titleHandler);
  vdictStore(handlers, vname_Command, &commandHandler);
  vdictStore(handlers, vname_Key, &keyHandler);
}

template <class Rec>
Rec* spawnNamed(vclass* super, const char* name, std::size_t instanceSize) {
  auto* c = vclassSpawnOf<Rec>(super);
  vclassSetName(c, vscribeLiteral(name));
  c->instanceSize = instanceSize;
  return c;
}

}  // namespace

// Built in command_space.cpp.
void _vcommandBuildSpaceClass(vcommandSpaceClassRec** out);

void vcommandStartup() {
  if (*vmoduleSlot(commandSlot)) return;
  vnameStartup();
  auto* s = static_cast<CommandState*>(vmoduleBindSlot(commandSlot, sizeof(CommandState)));
  *s = CommandState{};
  auto* base = spawnNamed<vcommandClassRec>(vinstanceGetDefaultClass(), "vcommandClass", sizeof(vcommand));
  base->loadInit = baseLoadInit;
  base->store = baseStore;
  base->issue = answerOne;
  base->query = answerOne;
  s->base = base;

  auto* f = spawnNamed<vcommandFunctionClassRec>(base, "vcommandFunctionClass", sizeof(vcommandFunction));
  f->init = functionInit;
  f->loadInit = functionLoadInit;
  f->issue = functionIssue;
  f->query = functionQuery;
  f->setValue = setIssueFunction;
  f->setQuery = setQueryFunction;
  s->function = f;

  auto* sc = spawnNamed<vcommandValueClassRec>(base, "vcommandSelectorClass", sizeof(vcommandSelector));
  sc->init = selectorInit;
  sc->loadInit = selectorLoadInit;
  sc->store = selectorStore;
  sc->setValue = setSelector;
  s->selector = sc;

  auto* sy = spawnNamed<vcommandSyntheticClassRec>(base, "vcommandSyntheticClass", sizeof(vcommandSynthetic));
  sy->init = syntheticInit;
  sy->destroy = syntheticDestroy;
  sy->loadInit = syntheticLoadInit;
  sy->store = syntheticStore;
  sy->issue = syntheticIssue;
  sy->query = syntheticQuery;
  sy->appendTags = appendTags;
  sy->removeTags = removeTags;
  sy->appendPairs = appendPairs;
  sy->removePairs = removePairs;
  s->synthetic = sy;

  auto* sn = spawnNamed<vcommandSyntheticClassRec>(sy, "vcommandSyntheticNameClass", sizeof(vcommandSynthetic));
  sn->loadInit = nameLoadInit;
  sn->store = nameStore;
  s->syntheticName = sn;

  if (!keyListPool) keyListPool = vpoolCreate(sizeof(vcommandKeyList));
  makeHandlers();
  vnameInternLiteral("vcommandSpace");
  _vcommandBuildSpaceClass(&s->space);
}

void vcommandGetDefaultClass() { vcommandStartup(); }
vcommandClassRec* vcommandGetClass() { return state()->base; }
vcommandFunctionClassRec* vcommandGetDefaultFunctionClass() { return state()->function; }
vcommandValueClassRec* vcommandGetDefaultSelectorClass() { return state()->selector; }
vcommandSyntheticClassRec* vcommandGetDefaultSyntheticClass() { return state()->synthetic; }
vcommandSyntheticClassRec* vcommandGetDefaultSyntheticNameClass() { return state()->syntheticName; }
vcommandSpaceClassRec* vcommandSpaceGetDefaultClass() { return state()->space; }

const vcommandAttributeHandler* vcommandGetAttributeHandler(vname kind) {
  vcommandStartup();
  return static_cast<const vcommandAttributeHandler*>(vdictGet(handlers, kind));
}

int vcommandIssue(vcommand* command, vdict* context) { return commandRec(command)->issue(command, context); }
int vcommandQuery(vcommand* command, vdict* context) { return commandRec(command)->query(command, context); }

void vcommandAddTableToDict(vdict* dict, vclass* cls, const vcommandTableRow* table, int count) {
  if (!vclassIsSubclass(cls, vcommandGetDefaultFunctionClass()) && !vclassIsSubclass(cls, vcommandGetDefaultSelectorClass()))
    vexGenerateMessage(&vexArgClass, "commands from a table need a function or selector class");
  for (int i = 0; i < count; ++i) {
    auto* c = static_cast<vcommand*>(vinstanceCreate(cls));
    static_cast<vcommandValueClassRec*>(cls)->setValue(c, table[i].value);
    vname name = vnameInternLiteral(table[i].name);
    if (auto* old = static_cast<vinstance*>(vdictGet(dict, name))) vinstanceDestroy(old);
    vdictStore(dict, name, c);
  }
}

vdict* vcommandCreateDictFromTable(vclass* cls, const vcommandTableRow* table, int count) {
  vdict* d = vdictCreate(vdictHashName);
  vcommandAddTableToDict(d, cls, table, count);
  return d;
}

void vcommandAppendSyntheticEntry(vcommand* command, vname tag) {
  vclassRec<vcommandSyntheticClassRec>(command)->appendTags(command, &tag, 1);
}

void vcommandAppendSyntheticPair(vcommand* command, vname key, const void* value) {
  vclassRec<vcommandSyntheticClassRec>(command)->appendPairs(command, &key, &value, 1);
}

namespace {
void destroyValues(vdict* dict, const vcommandAttributeHandler* h) {
  vdictIterator it;
  vdictInitIterator(&it, dict);
  while (vdictNextIterator(&it)) h->destroy(vdictIteratorValue(&it));
  vdictDestroy(dict);
}
}  // namespace

void vcommandDestroyDict(vdict* dict) { destroyValues(dict, &commandHandler); }
void vcommandDestroyKeyDict(vdict* dict) { destroyValues(dict, &keyHandler); }

vclass* vcommandFindResourceClass(vresource resource) {
  vcommandStartup();
  vname name;
  if (!vresourceTestGetTag(resource, vname_Class, &name))
    _vexGenerate(&vexArgUndefinedClassClass, vexSetMessage, "command resource has no class tag", vexEnd);
  vclass* cls = vclassFindByName(vnameScribe(name));
  if (!cls || !vclassIsSubclass(cls, vcommandGetClass()))
    _vexGenerate(&vexArgUndefinedClassClass, vexSetMessage, "command resource's class is not defined", vexSetName,
                 name, vexEnd);
  return cls;
}

vcommand* vcommandLoad(vresource resource) {
  vclass* cls = vcommandFindResourceClass(resource);
  auto* c = static_cast<vcommand*>(vclassAllocInstance(cls));
  vinstanceInit(c, cls);
  static_cast<vcommandClassRec*>(cls)->loadInit(c, resource);
  return c;
}

void vcommandStore(vcommand* command, vresource resource) { commandRec(command)->store(command, resource); }

vcommand* vcommandCopy(vcommand* command) {
  auto* c = static_cast<vcommand*>(vinstanceCreate(command->cls));
  if (vclassIsSubclass(command->cls, vcommandGetDefaultFunctionClass())) {
    fn(c)->issue = fn(command)->issue;
    fn(c)->query = fn(command)->query;
  } else if (vclassIsSubclass(command->cls, vcommandGetDefaultSelectorClass())) {
    sel(c)->selector = sel(command)->selector;
  } else if (vclassIsSubclass(command->cls, vcommandGetDefaultSyntheticClass())) {
    auto* from = syn(command);
    appendTags(c, itemsOf(from->tagCount, from->tag, from->tags), from->tagCount);
    vcommandPair* pairs = itemsOf(from->pairCount, from->pair, from->pairs);
    for (int i = 0; i < from->pairCount; ++i) appendPairs(c, &pairs[i].key, &pairs[i].value, 1);
  }
  return c;
}

// Key lists.
vcommandKeyList* vcommandCreateKeyList() {
  vcommandStartup();
  auto* list = static_cast<vcommandKeyList*>(vpoolAlloc(keyListPool));
  vcommandInitKeyList(list);
  return list;
}

void vcommandInitKeyList(vcommandKeyList* list) {
  list->count = 0;
  list->key = 0;
}

void vcommandDestroyKeyList(vcommandKeyList* list) {
  if (list->count > 1) vmemFree(list->keys);
  if (keyListPool && vpoolContains(keyListPool, list)) vpoolFree(keyListPool, list);
}

void vcommandAppendKeys(vcommandKeyList* list, const std::uint32_t* keys, int n) {
  if (n <= 0) return;
  int old = list->count;
  resizeItems(list->count, list->key, list->keys, old + n);
  std::memcpy(itemsOf(list->count, list->key, list->keys) + old, keys, sizeof(std::uint32_t) * static_cast<std::size_t>(n));
}

void vcommandInitKeyIterator(vcommandKeyIterator* it, const vcommandKeyList* list) {
  it->current = list->count > 1 ? list->keys : &list->key;
  it->end = it->current + list->count;
}

void vcommandLoadKeyListInit(vcommandKeyList* list, vresource r) {
  vcommandInitKeyList(list);
  const vresourceInterface* io = vresourceGetInterface();
  switch (io->type(r)) {
    case vresARRAY: {
      int n = vresourceCount(r, INT16_MAX);
      for (int i = 0; i < n; ++i) {
        vresource e = io->element(r, i);
        if (io->type(e) != vresINTEGER) vexGenerateMessage(&vexArgClass, "key is not an integer");
        auto key = static_cast<std::uint32_t>(io->getInteger(e));
        vcommandAppendKeys(list, &key, 1);
      }
      break;
    }
    case vresTAG:
      if (io->getTag(r) != vname_Empty) vexGenerateMessage(&vexArgClass, "key list of the wrong type");
      break;
    case vresINTEGER: {
      auto key = static_cast<std::uint32_t>(io->getInteger(r));
      vcommandAppendKeys(list, &key, 1);
      break;
    }
    default:
      vexGenerateMessage(&vexArgClass, "key list of the wrong type");
  }
}

vcommandKeyList* vcommandLoadKeyList(vresource r) {
  vcommandKeyList* list = vcommandCreateKeyList();
  vcommandLoadKeyListInit(list, r);
  return list;
}

// The resource r is filled in place; its parent made it untyped.
void vcommandStoreKeyList(vcommandKeyList* list, vresource r) {
  const vresourceInterface* io = vresourceGetInterface();
  if (list->count == 0) return io->setTag(r, vname_Empty);
  if (list->count == 1) return io->setInteger(r, static_cast<std::int32_t>(list->key));
  for (int i = 0; i < list->count; ++i) io->setInteger(io->append(r, vresINTEGER), static_cast<std::int32_t>(list->keys[i]));
}

void vcommandMapKeys(const vcommandKeyList* list, vname value, vdict* map) {
  vcommandKeyIterator it;
  vcommandInitKeyIterator(&it, list);
  for (; it.current != it.end; ++it.current)
    vdictStore(map, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(*it.current) + 1), value);
}
