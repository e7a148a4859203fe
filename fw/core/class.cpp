#include "fw/core/class.h"

#include <algorithm>
#include <cstring>

#include "fw/core/debug.h"

namespace {

// The class module: the root and the process-wide registry once per
// process; a registry per module context.
vclass vclassRoot;
bool started = false;
vdict* globalRegistry = nullptr;
void** registrySlot = nullptr;
vpool** instancePools = nullptr;
std::size_t poolCount = 0, poolCapacity = 0;

struct ContextState {
  vdict* registry;
};

void destroyContextClasses();

ContextState* contextState() {
  if (!*registrySlot) {
    auto* s = static_cast<ContextState*>(vmoduleBindSlot(registrySlot, sizeof(ContextState)));
    s->registry = vdictCreate(vdictHashName);
    vmoduleAddContextExitProc(destroyContextClasses);
  }
  return static_cast<ContextState*>(*registrySlot);
}

vdict* registryOf(vmoduleContext* owner) {
  if (!owner) return globalRegistry;
  if (owner == vmoduleGetCurrentContext()) return contextState()->registry;
  auto* s = static_cast<ContextState*>(vmoduleGetContextData(owner, registrySlot));
  return s ? s->registry : nullptr;
}

void addSubclass(vclass* super, vclass* sub) {
  if (super->subEnd == super->subCap) {
    std::size_t n = static_cast<std::size_t>(super->subEnd - super->subBegin);
    std::size_t cap = n ? n * 2 : 4;
    super->subBegin = static_cast<vclass**>(vmemRealloc(super->subBegin, vmemArraySize(cap, sizeof(vclass*))));
    super->subEnd = super->subBegin + n;
    super->subCap = super->subBegin + cap;
  }
  *super->subEnd++ = sub;
}

void removeSubclass(vclass* super, vclass* sub) {
  for (vclass** p = super->subBegin; p != super->subEnd; ++p)
    if (*p == sub) {
      *p = *--super->subEnd;
      return;
    }
  vexGenerateMessage(&vexArgClass, "class is not a subclass of its superclass");
}

void checkSuperOwner(const vclass* super) {
  if (super && super->owner && super->owner != vmoduleGetCurrentContext())
    vexGenerateMessage(&vexArgClass, "superclass belongs to another module context");
}

vclass* allocRecord(const vclass* from, std::size_t recordSize) {
  auto* c = static_cast<vclass*>(vmemAllocClear(recordSize));
  std::memcpy(static_cast<void*>(c), from, std::min(from->recordSize, recordSize));
  c->subBegin = c->subEnd = c->subCap = nullptr;
  c->owner = vmoduleGetCurrentContext();
  c->name = nullptr;
  c->recordSize = recordSize;
  c->pool = nullptr;
  return c;
}

void destroyClass(vclass* c) {
  for (vclass** p = c->subBegin; p != c->subEnd; ++p) (*p)->superclass = nullptr;
  if (c->superclass) removeSubclass(c->superclass, c);
  vmemFree(c->subBegin);
  if (c->name)
    if (vdict* reg = registryOf(c->owner); reg && vdictGet(reg, c->name) == c) vdictRemove(reg, c->name);
  if (c->dict) vdictDestroy(c->dict);
  vmemFree(c);
}

// Children first, last subclass first.
void destroyOwned(vclass* c, vmoduleContext* context) {
  for (vclass** p = c->subEnd; p != c->subBegin;) {
    vclass* sub = *--p;
    if (sub->owner == context || !sub->owner) destroyOwned(sub, context);
  }
  if (c->owner == context && c != &vclassRoot) destroyClass(c);
}

void destroyContextClasses() {
  vmoduleContext* context = vmoduleGetCurrentContext();
  destroyOwned(&vclassRoot, context);
  vdictDestroy(contextState()->registry);
}

void namedNothing(vclass*) {}

void startClasses() {
  if (started) return;
  started = true;
  vclassRoot = vclass{};
  vclassRoot.recordSize = sizeof(vclass);
  vclassRoot.named = namedNothing;
  globalRegistry = vdictCreate(vdictHashName);
  registrySlot = vmoduleAllocSlot();
}

}  // namespace

vclass* vclassGetRoot() {
  startClasses();
  contextState();
  return &vclassRoot;
}

vclass* vclassSpawn(vclass* super, std::size_t recordSize) {
  vclassGetRoot();
  if (recordSize < super->recordSize) vexGenerateMessage(&vexArgRangeClass, "class record smaller than its superclass's");
  checkSuperOwner(super);
  vclass* c = allocRecord(super, recordSize);
  c->superclass = super;
  c->dict = nullptr;
  addSubclass(super, c);
  return c;
}

vclass* vclassCopy(vclass* cls) {
  checkSuperOwner(cls->superclass);
  vclass* c = allocRecord(cls, cls->recordSize);
  c->dict = cls->dict ? vdictCopy(cls->dict) : nullptr;
  if (c->superclass) addSubclass(c->superclass, c);
  return c;
}

void vclassSetName(vclass* cls, vscribe* nameScribe) {
  vname name = vnameIntern(nameScribe);
  vdict* reg = registryOf(cls->owner);
  if (vdictHas(reg, name)) vexGenerateMessage(&vexArgClass, "class name already registered");
  if (cls->name && vdictGet(reg, cls->name) == cls) vdictRemove(reg, cls->name);
  vdictStore(reg, name, cls);
  cls->name = name;
  cls->named(cls);
}

void vclassSetGlobal(vclass* cls, int flag) {
  vclassGetRoot();
  vmoduleContext* target = flag ? nullptr : vmoduleGetCurrentContext();
  if (flag && cls->superclass && cls->superclass->owner)
    vexGenerateMessage(&vexArgClass, "superclass is owned by a module context");
  if (!flag) {
    checkSuperOwner(cls->superclass);
    for (vclass** p = cls->subBegin; p != cls->subEnd; ++p)
      if (!(*p)->owner) vexGenerateMessage(&vexArgClass, "a subclass is process-wide");
  }
  if (cls->owner == target) return;
  if (cls->name) {
    vdict* to = registryOf(target);
    if (vdictHas(to, cls->name)) vexGenerateMessage(&vexArgClass, "class name already registered");
    vdict* from = registryOf(cls->owner);
    if (from && vdictGet(from, cls->name) == cls) vdictRemove(from, cls->name);
    vdictStore(to, cls->name, cls);
  }
  cls->owner = target;
}

void vclassSetNameGlobal(vclass* cls, vscribe* name) {
  vclassSetGlobal(cls, 1);
  vclassSetName(cls, name);
}

void vclassSetInstanceSize(vclass* cls, std::size_t size) { cls->instanceSize = size; }

vclass* vclassFindByName(vscribe* nameScribe) {
  vclassGetRoot();
  vname name = vnameIntern(nameScribe);
  if (auto* c = static_cast<vclass*>(vdictGet(contextState()->registry, name))) return c;
  return static_cast<vclass*>(vdictGet(globalRegistry, name));
}

int vclassIsSubclass(const vclass* cls, const vclass* ancestor) {
  for (; cls; cls = cls->superclass)
    if (cls == ancestor) return 1;
  return 0;
}

void* vclassAllocInstance(vclass* cls) {
  if (!cls->pool) {
    for (std::size_t i = 0; i < poolCount && !cls->pool; ++i)
      if (instancePools[i]->elementSize == cls->instanceSize) cls->pool = instancePools[i];
    if (!cls->pool) {
      if (poolCount == poolCapacity) {
        poolCapacity = poolCapacity ? poolCapacity * 2 : 8;
        instancePools = static_cast<vpool**>(vmemRealloc(instancePools, vmemArraySize(poolCapacity, sizeof(vpool*))));
      }
      cls->pool = instancePools[poolCount++] = vpoolCreate(cls->instanceSize);
    }
  }
  return vpoolAlloc(cls->pool);
}

void vclassFreeInstance(vclass* cls, void* instance) {
  if (cls->pool && vpoolContains(cls->pool, instance)) vpoolFree(cls->pool, instance);
}

void vclassInitSubclassIterator(vclassSubclassIterator* it, vclass* cls) {
  it->end = cls->subEnd;
  it->begin = cls->subBegin;
  it->current = cls->subEnd;
  it->context = vmoduleGetCurrentContext();
}

int vclassNextSubclassIterator(vclassSubclassIterator* it) {
  while (it->current != it->begin) {
    vclass* c = *--it->current;
    if (!c->owner || c->owner == it->context) return 1;
  }
  return 0;
}

// vinstance, vobject and vdelegator, per module context.
namespace {

struct ObjectState {
  vinstanceClassRec* instanceClass;
  vobjectClassRec* objectClass;
  vdelegatorClassRec* delegatorClass;
};
void** objectSlot = nullptr;

void instanceInit(vinstance*) {}
void instanceDestroy(vinstance* self) { vclassFreeInstance(self->cls, self); }

void objectInit(vinstance* self) {
  instanceInit(self);
  static_cast<vobject*>(self)->tag = nullptr;
}
void objectCopy(vobject* source, vobject* destination) { destination->tag = source->tag; }
void objectLoadInit(vobject* self, vresource resource) {
  vname tag = nullptr;
  if (!vresourceTestGetTag(resource, vname_Tag, &tag)) tag = nullptr;
  self->tag = tag;
}
void objectStore(vobject* self, vresource resource) {
  vclass* cls = self->cls;
  if (!cls->name) _vexGenerate(&vexArgUnnamedClassClass, vexSetMessage, "classes require a name to store objects", vexEnd);
  vresourceSetTagAt(resource, vname_Class, cls->name);
  if (self->tag)
    vresourceSetTagAt(resource, vname_Tag, self->tag);
  else
    vresourceGetInterface()->remove(resource, vname_Tag);
  vresource inheritance = vresourceGetDict(resource, vnameInternLiteral("vobjectInheritance"));
  for (vclass* c = cls; c->superclass && c->superclass->name; c = c->superclass) {
    vname known;
    if (vresourceTestGetTag(inheritance, c->name, &known)) break;
    vresourceSetTagAt(inheritance, c->name, c->superclass->name);
  }
}
void objectPrint(vobject*, std::FILE*) {}
void objectSetTag(vobject* self, vname tag) { self->tag = tag; }

vinstance* noDelegate(vinstance*, vinstance*, int) { return nullptr; }

ObjectState* objectState() {
  if (auto* bound = vmoduleState<ObjectState>(objectSlot)) return bound;
  vclass* rootClass = vclassGetRoot();
  auto* s = static_cast<ObjectState*>(vmoduleBindSlot(objectSlot, sizeof(ObjectState)));
  auto* inst = vclassSpawnOf<vinstanceClassRec>(rootClass);
  inst->instanceSize = sizeof(vinstance);
  inst->init = instanceInit;
  inst->destroy = instanceDestroy;
  s->instanceClass = inst;
  auto* obj = vclassSpawnOf<vobjectClassRec>(inst);
  vclassSetName(obj, vscribeLiteral("vobjectClass"));
  obj->instanceSize = sizeof(vobject);
  obj->init = objectInit;
  obj->copy = objectCopy;
  obj->copyInit = objectCopy;
  obj->loadInit = objectLoadInit;
  obj->store = objectStore;
  obj->print = objectPrint;
  obj->setTag = objectSetTag;
  s->objectClass = obj;
  auto* del = vclassSpawnOf<vdelegatorClassRec>(inst);
  del->nextDelegate = noDelegate;
  s->delegatorClass = del;
  return s;
}

}  // namespace

vinstanceClassRec* vinstanceGetDefaultClass() { return objectState()->instanceClass; }
vobjectClassRec* vobjectGetDefaultClass() { return objectState()->objectClass; }
vdelegatorClassRec* vdelegatorGetDefaultClass() { return objectState()->delegatorClass; }

void vinstanceInit(vinstance* memory, vclass* cls) {
  memory->cls = cls;
  static_cast<vinstanceClassRec*>(cls)->init(memory);
}

vinstance* vinstanceCreate(vclass* cls) {
  auto* self = static_cast<vinstance*>(vclassAllocInstance(cls));
  vinstanceInit(self, cls);
  return self;
}

void vinstanceDestroy(vinstance* self) { vclassRec<vinstanceClassRec>(self)->destroy(self); }

vobject* vobjectClone(vobject* self) {
  auto* copy = static_cast<vobject*>(vclassAllocInstance(self->cls));
  copy->cls = self->cls;
  vclassRec<vobjectClassRec>(self)->copyInit(self, copy);
  return copy;
}

void vobjectCopyInit(vobject* source, vobject* destination) {
  destination->cls = source->cls;
  vclassRec<vobjectClassRec>(source)->copyInit(source, destination);
}

vclass* vobjectFindResourceClass(vresource resource) {
  vname name;
  if (!vresourceTestGetTag(resource, vname_Class, &name))
    _vexGenerate(&vexArgUndefinedClassClass, vexSetMessage, "resource object has no class tag", vexEnd);
  vclass* cls = vclassFindByName(vnameScribe(name));
  // A class that is not an object class (a datatag's, say) has no load slot.
  if (!cls || !vclassIsSubclass(cls, vobjectGetDefaultClass()))
    _vexGenerate(&vexArgUndefinedClassClass, vexSetMessage, "resource object's class is not defined", vexSetName,
                 name, vexEnd);
  return cls;
}

void _vobjectCheckResourceClass(vresource resource, const vclass* expected, std::size_t room) {
  const vclass* cls = vobjectFindResourceClass(resource);
  if (!vclassIsSubclass(cls, expected) || (room && cls->instanceSize > room))
    _vexGenerate(&vexArgClass, vexSetMessage, "Resource file is damaged", vexEnd);
}

vobject* _vobjectLoadOfClass(vresource resource, const vclass* expected) {
  _vobjectCheckResourceClass(resource, expected);
  return vobjectLoad(resource);
}

void vobjectLoadInit(vobject* storage, vresource resource) {
  vclass* cls = vobjectFindResourceClass(resource);
  storage->cls = cls;
  static_cast<vobjectClassRec*>(cls)->loadInit(storage, resource);
}

vobject* vobjectLoad(vresource resource) {
  vclass* cls = vobjectFindResourceClass(resource);
  auto* self = static_cast<vobject*>(vclassAllocInstance(cls));
  self->cls = cls;
  static_cast<vobjectClassRec*>(cls)->loadInit(self, resource);
  return self;
}

// Delegation walks.
namespace {

void printClassNotFound(vexException* e, std::FILE* stream) {
  auto* r = static_cast<vdelegatorClassNotFound*>(e);
  char p[24];
  vdebugFprintf(stream, "\tstack:stack %s contains %d objects: [", vdebugPointerText(p, &r->walk), r->walk.depth + 1);
  for (int i = 0; i <= r->walk.depth && i < vdelegatorMAX_DEPTH; ++i)
    vdebugFprintf(stream, " %s ", vdebugPointerText(p, r->walk.stack[i]));
  vdebugFprintf(stream, "]\n\tclass: %s\n", r->cls && r->cls->name ? r->cls->name : "");
}

void setWalk(vexException* e, va_list* ap) {
  auto* r = static_cast<vdelegatorClassNotFound*>(e);
  vdelegatorCopyIterator(&r->walk, va_arg(*ap, const vdelegatorIterator*));
  r->cls = va_arg(*ap, const vclass*);
}

vinstance* nextOf(vinstance* object, vinstance* previous, int flag) {
  if (!vclassIsSubclass(object->cls, vdelegatorGetDefaultClass())) return nullptr;
  return vclassRec<vdelegatorClassRec>(object)->nextDelegate(object, previous, flag);
}

}  // namespace

const vexClass vexDelegatorClass{&vexRootClass, "Delegator", 36, nullptr, sizeof(vexException)};
const vexClass vexDelegatorClassNotFoundClass{&vexDelegatorClass, "ClassNotFound", 92, printClassNotFound,
                                              sizeof(vdelegatorClassNotFound)};

void vdelegatorInitIterator(vdelegatorIterator* it, vinstance* object) {
  it->depth = 0;
  it->cursor = -1;
  for (auto& e : it->stack) e = nullptr;
  it->stack[0] = object;
}

// Depth first: each level is asked for its next delegate after the one it
// last gave (the entry above it). Deeper than the stack holds raises.
int vdelegatorNextIterator(vdelegatorIterator* it, int flag) {
  if (it->depth < 0) return 0;
  for (;;) {
    int level = it->depth;
    vinstance* previous = level + 1 < vdelegatorMAX_DEPTH ? it->stack[level + 1] : nullptr;
    vinstance* next = nextOf(it->stack[level], previous, flag || it->cursor >= level ? 1 : 0);
    if (next) {
      if (level + 1 >= vdelegatorMAX_DEPTH)
        _vexGenerate(&vexArgRangeClass, vexSetMessage, "delegation deeper than the walk holds", vexEnd);
      it->depth = static_cast<std::int16_t>(level + 1);
      it->stack[level + 1] = next;
      if (level + 2 < vdelegatorMAX_DEPTH) it->stack[level + 2] = nullptr;
      return 1;
    }
    if (it->cursor >= level) it->cursor = static_cast<std::int16_t>(level - 1);
    it->depth = static_cast<std::int16_t>(level - 1);
    if (level == 0) return 0;
  }
}

void vdelegatorFindClass(vdelegatorIterator* it, const vclass* cls) {
  if (it->depth < 0) vexGenerateMessage(&vexArgClass, "Stack empty");
  vdelegatorIterator start;
  vdelegatorCopyIterator(&start, it);
  while (!vclassIsSubclass(vdelegatorTop(it)->cls, cls))
    if (!vdelegatorNextIterator(it, 0))
      _vexGenerate(&vexDelegatorClassNotFoundClass, setWalk, &start, cls, vexEnd);
  it->cursor = it->depth;
}

int vdelegatorIsKindOf(vinstance* object, const vclass* cls) {
  vdelegatorIterator it;
  vdelegatorInitIterator(&it, object);
  do
    if (vclassIsSubclass(vdelegatorTop(&it)->cls, cls)) return 1;
  while (vdelegatorNextIterator(&it, 0));
  return 0;
}

void vdelegatorCopyIterator(vdelegatorIterator* destination, const vdelegatorIterator* source) {
  destination->depth = source->depth;
  destination->cursor = source->cursor;
  for (int i = 0; i < vdelegatorMAX_DEPTH; ++i)
    destination->stack[i] = i <= source->depth ? source->stack[i] : nullptr;
}
