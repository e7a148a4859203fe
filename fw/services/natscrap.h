// Session value classes: pointers to values, datatags as values, 64-bit
// integers, scraps inside scraps, unions and argument lists. The abstract
// classes (fw/data/scrap.h) get their exports and printed forms here; the
// native classes hold such values in memory and are what typeable scraps
// become for those kinds.
#pragma once
#include <cstdint>
#include <cstdio>

#include "fw/data/datatag.h"
#include "fw/data/scrap.h"

struct _vnatscrapPointer : vinstance {
  vinstance* target;  // owned, typeable
};
struct _vnatscrapDatatag : vinstance {
  vdatatag* datatag;  // not owned
};
struct _vnatscrapLonglong : vinstance {
  std::uint32_t low;
  std::uint32_t high;
};
struct _vnatscrapScrap : vinstance {
  vinstance* held;  // owned, typeable
};
struct _vnatscrapUnion : vinstance {
  std::int32_t selector;
  vinstance* member;  // owned, typeable
};
// The member vector of the native argument list and compound.
struct vnatscrapVector : vinstance {
  vinstance** begin;
  vinstance** end;
  vinstance** cap;
};
struct vnatscrapVectorIter : vscrapIterator {
  vnatscrapVector* vector;
  std::int32_t index;  // -1 before the first step
};

// Builds the classes once: completes the abstract classes and registers
// the natives as their implementations.
void vnatscrapGetDefaultClass();
vclass* vnatscrapGetPointerClass();
vclass* vnatscrapGetDatatagClass();
vclass* vnatscrapGetLonglongClass();
vclass* vnatscrapGetScrapClass();
vclass* vnatscrapGetUnionClass();
vscrapCompoundClassRec* vnatscrapGetArglistClass();
vscrapCompoundClassRec* vnatscrapGetCompoundClass();
vscrapCompoundIteratorClassRec* vnatscrapGetArglistIterClass();
vscrapCompoundIteratorClassRec* vnatscrapGetCompoundIterClass();

// Vector operations: append stores a typeable copy (consuming scrap).
void vnatscrapAppend(vnatscrapVector* vector, vinstance* scrap);
void vnatscrapClear(vnatscrapVector* vector);
inline std::int32_t vnatscrapCount(const vnatscrapVector* v) { return static_cast<std::int32_t>(v->end - v->begin); }
inline std::int32_t vnatscrapCapacity(const vnatscrapVector* v) { return static_cast<std::int32_t>(v->cap - v->begin); }
