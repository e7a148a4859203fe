// Object lists: an ordered, owning array of objects that passes attribute
// refreshes and notifications on to every element, found by tag, loaded
// from and stored into resources.
//
// - `lists/objlist.h`: `vobjectList`, the owning ordered container of dialogs, menus and palettes
//   (an attributed object whose refreshes and forwarded calls reach every element). An object stored
//   twice is destroyed once; a list copied into itself is left alone; an insert at a bad index is
//   refused before anything changes.
#pragma once
#include <cstdint>

#include "fw/core/attributed.h"

struct vobjectList : vobject {
  vobject** begin;
  vobject** end;
  vobject** capacityEnd;
};

struct vobjectListClassRec : vobjectAttributedClassRec {
  void (*append)(vobjectList* list, vobject* object);
  void (*removeAt)(vobjectList* list, int index);  // the element is not destroyed
  void (*setAt)(vobjectList* list, int index, vobject* object);
  void (*move)(vobjectList* list, int from, int to);
};

vobjectListClassRec* vobjectListGetDefaultClass();
inline vobjectListClassRec* vobjectListClassOf(const vobjectList* list) { return vclassRec<vobjectListClassRec>(list); }

vobjectList* vobjectListCreate();
void vobjectListCopyInit(vobjectList* source, vobjectList* destination);
void vobjectListLoadInit(vobjectList* storage, vresource resource);
// A list whose objects are used as one class checks their classes before any is loaded.
void _vobjectListCheckObjects(vresource resource, const vclass* expected);
void vobjectListNotifyEach(vobjectList* list, vname kind, vdict* values);

inline int vobjectListCount(const vobjectList* list) { return static_cast<int>(list->end - list->begin); }
inline int vobjectListCapacity(const vobjectList* list) { return static_cast<int>(list->capacityEnd - list->begin); }
inline vobject* vobjectListAt(const vobjectList* list, int index) { return list->begin[index]; }
inline void vobjectListAppend(vobjectList* list, vobject* object) { vobjectListClassOf(list)->append(list, object); }
inline void vobjectListRemoveAt(vobjectList* list, int index) { vobjectListClassOf(list)->removeAt(list, index); }
inline void vobjectListSetAt(vobjectList* list, int index, vobject* object) {
  vobjectListClassOf(list)->setAt(list, index, object);
}
inline void vobjectListMove(vobjectList* list, int from, int to) { vobjectListClassOf(list)->move(list, from, to); }

void vobjectListInsertAt(vobjectList* list, vobject* object, int index);
void vobjectListRemove(vobjectList* list, vobject* object);
void vobjectListMoveTo(vobjectList* list, vobject* object, int index);
// Removes every element without destroying it.
void vobjectListClear(vobjectList* list);
int vobjectListIndexOf(const vobjectList* list, const vobject* object);
int vobjectListIndexOfTag(const vobjectList* list, vname tag);
vobject* vobjectListFindByTag(const vobjectList* list, vname tag);
// The same, for an object the caller then uses as class expected: one of
// another class came from a damaged resource, raised as such.
vobject* _vobjectListFindByTagOfClass(const vobjectList* list, vname tag, const vclass* expected);
// The word at the object's index in the parallel list's elements.
std::intptr_t vobjectListGetParallelEntry(const vobjectList* list, const vobject* object, const vobjectList* parallel);
