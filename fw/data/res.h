// Typed resource values: objects that stand for one typed resource of a
// resource store (a resource by number, a dictionary entry, an array
// element) and take part in the scrap protocol as typeable scraps. The base
// class gives the defaults that its subclasses replace.
#pragma once
#include <cstdint>

#include "fw/core/resource.h"
#include "fw/data/scrap.h"

inline constexpr int vresREFERENCE = 11;

// What the base class needs of a store: the kind of a resource by number,
// to follow a reference.
struct vresStore {
  int (*kindOf)(vresStore* store, std::uint32_t number);
};

struct vres : vinstance {
  vresStore* store;
};

struct vresClassRec : vscrapTypeableClassRec {
  int (*getKind)(vres* self);
  void (*setKind)(vres* self, int kind);
  std::uint32_t (*getValue)(vres* self);
  void (*setValue)(vres* self, std::uint32_t value);
  std::uint32_t (*getParent)(vres* self);
  std::uint32_t (*getId)(vres* self);
  void (*remove)(vres* self);
};

vresClassRec* vresGetDefaultClass();
vres* vresCreate(vresStore* store, vclass* cls);
void vresInit(vres* storage, vresStore* store, vclass* cls);

// The kind through references; the kind set when it differs.
int vresGetType(vres* object);
void vresSetType(vres* object, int kind);
// The value class of a kind 1-10 (null for others), and the adaptor
// class and object that the resource values delegate to for that kind.
vclass* vresGetScrapClass(int kind);
vclass* vresGetAdaptorClass(int kind);
vinstance* vresGetAdaptor(int kind);
