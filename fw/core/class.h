// Classes and objects. Every instance begins with its class record; every
// call on it goes through a slot of that record. Classes are spawned at run
// time as copies of their superclass's record, then named, sized and given
// their own slots. Slots take the base types and cast.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fw/core/dict.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/name.h"
#include "fw/core/resource.h"
#include "fw/core/sys.h"

struct vclass;

struct vinstance {
  vclass* cls;
};

struct vobject : vinstance {
  vname tag;
};

struct vclass {
  vclass* superclass;
  vclass** subBegin;
  vclass** subEnd;
  vclass** subCap;
  vmoduleContext* owner;  // null: process-wide
  vname name;
  std::size_t recordSize;
  std::size_t instanceSize;
  vpool* pool;
  vdict* dict;
  void (*named)(vclass* cls);
};

struct vinstanceClassRec : vclass {
  void (*init)(vinstance* self);
  void (*destroy)(vinstance* self);
};

struct vobjectClassRec : vinstanceClassRec {
  void (*copy)(vobject* source, vobject* destination);
  void (*copyInit)(vobject* source, vobject* destination);
  void (*loadInit)(vobject* self, vresource resource);
  void (*store)(vobject* self, vresource resource);
  void (*print)(vobject* self, std::FILE* stream);
  void (*setTag)(vobject* self, vname tag);
};

struct vdelegatorClassRec : vinstanceClassRec {
  vinstance* (*nextDelegate)(vinstance* self, vinstance* previous, int flag);
};

template <class Rec>
Rec* vclassRec(const vinstance* self) {
  return static_cast<Rec*>(self->cls);
}

vclass* vclassGetRoot();
vclass* vclassSpawn(vclass* superclass, std::size_t recordSize);
vclass* vclassCopy(vclass* cls);
void vclassSetName(vclass* cls, vscribe* name);
void vclassSetGlobal(vclass* cls, int flag);
void vclassSetNameGlobal(vclass* cls, vscribe* name);
void vclassSetInstanceSize(vclass* cls, std::size_t size);
vclass* vclassFindByName(vscribe* name);
int vclassIsSubclass(const vclass* cls, const vclass* ancestor);
void* vclassAllocInstance(vclass* cls);
void vclassFreeInstance(vclass* cls, void* instance);

template <class Rec>
Rec* vclassSpawnOf(vclass* superclass) {
  return static_cast<Rec*>(vclassSpawn(superclass, sizeof(Rec)));
}

struct vclassSubclassIterator {
  vclass** end;
  vclass** begin;
  vclass** current;
  vmoduleContext* context;
};
void vclassInitSubclassIterator(vclassSubclassIterator* it, vclass* cls);
int vclassNextSubclassIterator(vclassSubclassIterator* it);

vinstanceClassRec* vinstanceGetDefaultClass();
vinstance* vinstanceCreate(vclass* cls);
void vinstanceInit(vinstance* memory, vclass* cls);
void vinstanceDestroy(vinstance* self);

vobjectClassRec* vobjectGetDefaultClass();
vobject* vobjectClone(vobject* self);
void vobjectCopyInit(vobject* source, vobject* destination);
vobject* vobjectLoad(vresource resource);
void vobjectLoadInit(vobject* storage, vresource resource);
vclass* vobjectFindResourceClass(vresource resource);
// Where a loaded object is then used as a given class: a resource naming
// another class (or, for storage of a fixed size, a larger one) is damage,
// raised before anything is loaded.
void _vobjectCheckResourceClass(vresource resource, const vclass* expected, std::size_t room = 0);
vobject* _vobjectLoadOfClass(vresource resource, const vclass* expected);

// Delegation walks.
inline constexpr int vdelegatorMAX_DEPTH = 12;
struct vdelegatorIterator {
  std::int16_t depth;
  std::int16_t cursor;
  vinstance* stack[vdelegatorMAX_DEPTH];
};
vdelegatorClassRec* vdelegatorGetDefaultClass();
void vdelegatorInitIterator(vdelegatorIterator* it, vinstance* object);
int vdelegatorNextIterator(vdelegatorIterator* it, int flag);
void vdelegatorFindClass(vdelegatorIterator* it, const vclass* cls);
int vdelegatorIsKindOf(vinstance* object, const vclass* cls);
void vdelegatorCopyIterator(vdelegatorIterator* destination, const vdelegatorIterator* source);
inline vinstance* vdelegatorTop(const vdelegatorIterator* it) { return it->stack[it->depth]; }

struct vdelegatorClassNotFound : vexException {
  vdelegatorIterator walk;
  const vclass* cls;
};
extern const vexClass vexDelegatorClass, vexDelegatorClassNotFoundClass;
