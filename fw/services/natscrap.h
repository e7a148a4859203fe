// Session value classes: pointers to values, datatags as values, 64-bit
// integers, scraps inside scraps, unions and argument lists. The abstract
// classes (fw/data/scrap.h) get their exports and printed forms here; the
// native classes hold such values in memory and are what typeable scraps
// become for those kinds.
//
// `natscrap.cpp` completes the abstract value classes of the session messages (pointer, datatag,
// 64-bit integer, scrap, union, argument list: their exports and printed forms) and registers their
// native classes with `vscrapRegisterNativeClass`, so a typeable scrap becomes `_vnatscrapPointer`
// and the rest for those kinds, and `vnatscrapCompound` for a compound. Owned scraps are kept as
// typeable copies. Ownership follows the scrap layer: a get that answers a reference gives it to
// the caller, a union's set-member and a compound's append consume what they are given, a pointer's
// or scrap's set copies it.
//
// Marshalling (`repdef_*.cpp`): a `_vrepdefScrap` over a session block has one delegate, the shared
// instance of its datatag kind's class (26, each a subclass of the kind's value class). Writing
// imports the caller's scrap into it (`_vrepdefWrite`): the delegate's set operations append the
// tag and bytes at the tail. Reading imports from it (`_vrepdefRead`, `_vrepdefReadNative`): the
// get operations take bytes from the head. Composites use a nested scrap over the same block per
// member or element (`repdef_write.cpp`, `repdef_read.cpp`); `repdef_wire.cpp` holds the bytes,
// encoded strings, character sets, datatag references and definitions. Every count and length from
// the peer is checked against the bytes left before anything is made; dictionaries and scraps limit
// the block's end to their length while they are read. The first refusal is recorded in the
// outermost scrap and raised again by `_vrepdefWrite` / `_vrepdefRead` whatever the scrap layers
// made of it (the import machinery turns failures into Scrap/CannotConvert); a refused write leaves
// the block as it was. Definitions read from a peer are kept once each per module
// (`_vrepdefInternDefinition`), so a datatag read as a value stays valid and the same definition
// gives the same datatag. Typed arrays of the integer kinds over C memory (datatag scraps) go
// straight between that memory and the block; every other value goes element by element.
//
// `vdas_marshal` (release, shared 2-core machine): 262,144 Integer values written 1.9 ms, read back
// into C memory 2.4 ms (element by element before the direct path: 65 ms and 58 ms); 10,000 string
// entries of a generic dictionary written 4.4 ms, read into native scraps 7.5 ms (41 ms before a
// typeable scrap learnt to take its kind without raising first).
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
