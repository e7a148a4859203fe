// Typed resource values: objects that stand for one typed resource of a
// resource store (a resource by number, a dictionary entry, an array
// element) and take part in the scrap protocol as typeable scraps. The base
// class gives the defaults that its subclasses replace.
#pragma once
#include <cstdint>

#include "fw/core/resource.h"
#include "fw/data/scrap.h"

inline constexpr int vresREFERENCE = 11;

// What the resource values need of their store: a resource's kind and
// value word by number, to follow references, and the read-only flag.
struct vresStore {
  int (*kindOf)(vresStore* store, std::uint32_t number);
  std::uint32_t (*valueOf)(vresStore* store, std::uint32_t number);
  void (*setValueOf)(vresStore* store, std::uint32_t number, std::uint32_t value);
  std::uint8_t readOnly;
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

// Typed accessors: each checks the resolved kind ("Resource is not of type
// vresINTEGER", ...) and each setter then the store's read-only flag.
std::uint32_t vresGetValueWord(vres* object);  // through a reference
void vresSetValueWord(vres* object, std::uint32_t value);
void vresCheckKind(vres* object, int kind);
void vresCheckWritable(vres* object);
std::int32_t vresGetInteger(vres* object);
void vresSetInteger(vres* object, std::int32_t value);
std::int32_t vresGetFixed(vres* object);
void vresSetFixed(vres* object, std::int32_t value);
double vresGetFloat(vres* object);
void vresSetFloat(vres* object, double value);  // single precision; a finite value beyond it raises Arg/Range
char vresGetCharacter(vres* object);           // Windows-1252, stored as 16-bit Unicode
void vresSetCharacter(vres* object, char value);
int vresGetBoolean(vres* object);
void vresSetBoolean(vres* object, int value);  // 1 only for exactly 1

// String and opaque chunks of a typed-resource file. A string chunk holds
// its encoding in byte 0 (0 ISO 8859-1, 1 Mac Roman, 2 16-bit Unicode most
// significant byte first, 3 the internal set) and the characters after it;
// address 0 is the empty string. The setters answer the value's new
// address (0 when empty).
struct vchunkFile;
vscribe* vresStringChunkScribe(vchunkFile* f, std::uint32_t address);
std::size_t vresStringChunkLength(vchunkFile* f, std::uint32_t address);
void vresStringChunkRead(vchunkFile* f, std::uint32_t address, std::size_t offset, std::size_t count, char* buffer);
std::uint32_t vresStringChunkSet(vchunkFile* f, std::uint32_t address, vscribe* text);
std::uint32_t vresOpaqueChunkSetSize(vchunkFile* f, std::uint32_t address, std::uint32_t size);
