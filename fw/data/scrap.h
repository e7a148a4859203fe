// Scraps: typed data values. A scrap is a delegation walk; each operation
// finds the delegate of the wanted value class and calls its slot with the
// positioned walk as the receiver. The abstract kinds fix the operations and
// the import/export rules; native scraps keep a value in the object itself,
// and a typeable scrap becomes the kind first asked of it.
//
// A scrap is a delegation walk (`vscrap` = `vdelegatorIterator`, passed by value). Every accessor
// positions a copy of the walk on the delegate of the wanted value class and calls that class's
// slot with the positioned walk as receiver. `scrap.cpp` builds the abstract kinds
// (`vscrapConvertible` and its subclasses, the iterators, and the inter-application value classes
// `vabstractPointer`, `...Datatag`, `...Longlong`, `...Scrap`, `...Union`, `...Arglist`, whose
// value slots raise Scrap/Unimplemented); each kind class names itself in its kind-class slot, so
// import matches by abstract kind and never converts between kinds. `vscrapImport` tries each
// kindful delegate of the source in turn; a typeable target entypes itself to the source's kind and
// retries. `scrap_native.cpp` holds the native classes (registered per kind; the typeable scrap
// makes one on entype) and `res.cpp` the base class `vres` with its ten adaptors (one per resource
// kind) and entype by class identity. A resource value reaches its store through a small hook
// record (`vresStore`: a row's kind and value word by number, the read-only flag), which the
// typed-resource file will fill; `res_access.cpp` holds the typed accessors of the scalar kinds
// (integer, fixed, float, character, boolean) and wires the adaptors of those kinds to them, so
// such resources already import and export as scraps; `res_chunk.cpp` reads and writes the string
// chunks (encodings 0-3 read into the internal set, written as encoding 3) and sizes opaque chunks.
// A string is decoded when its scribe is made, not lazily, so the scribe stays good after the chunk
// changes.
//
// Typed-resource files (`fw/data/resfile.h`): a `vresFile` holds the chunk file, the tag table, the
// shape table and an index set of three columns (type word, parent, value); its first member is the
// `vresStore` hook record. `vresIndex`, `vresDictElement` and `vresArrayElement` are the `vres`
// subclasses for a row, a dictionary entry and an array element; the dictionary and array
// operations, entype, rename and remove follow the kind rules, and every setter refuses a read-only
// file. A handle on an entry or element held in place needs a row of its own: a read makes it "in
// passing" (the chunk file is not marked open for it, the tables keep their change marks), so it
// works on a read-only file and a file opened for update but only read closes byte for byte as it
// was; the rows reach the file only along with a change of its own, or in a save or image. The
// ".vr" store likewise numbers a tag that a lookup meets without writing its record until the file
// changes for itself, and neither store writes its parameters or header at a close after reads
// alone. Entries and elements of kind dictionary or array are always resources of their own (kind
// 11), since a container has nowhere to keep their shape or element kind. Every number read from
// the file is checked when used: a row's kind above 10, an unknown shape or tag number, a value
// array whose length differs from its shape, a reference to a free row, to the root or to a row
// filed under another parent, a container whose parents do not lead back to the root (a cycle), a
// reference array without element 0. A release (removal, re-kinding, clearing, shrinking) first
// gathers every row, chunk and shape under what it releases with its own stack, checking each, and
// only then frees them: a release refused as damage ("Resource file is damaged", `Arg`) changes
// nothing, and any depth the file holds is released. The dictionary and array delegates
// (`res_compound.cpp`) hand out entry and element objects and import into them, so whole structures
// import into a resource and export from it as scraps; an entry set through the scrap protocol is
// made untyped first and takes the kind of what it receives. Write-back writes only the changed
// tables and then the root chunk; the chunk file's own not-properly-closed mark covers a write that
// fails half way. The start-up row "vscrapGetDefaultClass" is filled by `vscrapInstallStartup` (the
// core's `vmoduleInstallStartup`), since the core may not call up into `fw/data`.
//
// Faults of the original built soundly: block export tests offset + 32768 < n (no unsigned wrap);
// native block ranges are checked without overflow and negative array counts or indices raise
// `Arg/Range`; dictionary add raises `Module/Limit` after 9999 taken anonymous keys instead of
// overwriting one; a finite float beyond single precision set into a resource raises `Arg/Range`
// instead of storing infinity; a native dictionary's removed key (kept with no element) is skipped
// by iteration, dumps and copies; each failed import attempt is taken off the exception chain
// before the next is tried, so long delegate chains cannot overflow it.
//
// Resources and scraps nest at most 1024 levels below a file's root (every record of the ".vr"
// store, every row of the chunk store). Opening either store computes each record's or row's depth
// from its parent word once and refuses a deeper file (or a parent loop) with `Module/Limit`
// "Values nested more than 1024 levels deep" before anything walks it; making a record or row past
// the bound raises the same, as do a content copy, every compound level of a scrap import, export
// or dump (the exports of every compound kind and the dumps count them) and the text form's parser
// (a syntax error). So every recursive walk over a value stays within 1024 frames.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fw/core/class.h"

using vscrap = vdelegatorIterator;

struct vscrapReference : vinstance {
  vinstance* object;
};

struct vscrapConvertibleClassRec : vdelegatorClassRec {
  void (*dump)(vscrap* self, std::FILE* stream);
  vclass* kindClass;
  void (*exportTo)(vscrap* self, vscrap* target);
  void (*import)(vscrap* self, vscrap* source);
};

struct vscrapTypeableClassRec : vscrapConvertibleClassRec {
  int (*entype)(vscrap* self, vclass* kind);
};

template <class T>
struct vscrapValueClassRec : vscrapConvertibleClassRec {
  void (*set)(vscrap* self, T value);
  T (*get)(vscrap* self);
};
using vscrapBooleanClassRec = vscrapValueClassRec<int>;
using vscrapCharacterClassRec = vscrapValueClassRec<char>;
using vscrapFixedClassRec = vscrapValueClassRec<std::int32_t>;
using vscrapIntegerClassRec = vscrapValueClassRec<std::int32_t>;
using vscrapFloatClassRec = vscrapValueClassRec<double>;
using vscrapStringClassRec = vscrapValueClassRec<vscribe*>;  // get: caller consumes; set: consumes
using vscrapTagClassRec = vscrapValueClassRec<vname>;

struct vscrapBlockClassRec : vscrapConvertibleClassRec {
  std::size_t (*getSize)(vscrap* self);
  void (*setSize)(vscrap* self, std::size_t size);
  void (*read)(vscrap* self, std::size_t offset, std::size_t count, void* buffer);
  void (*write)(vscrap* self, std::size_t offset, std::size_t count, const void* buffer);
};

struct vscrapCompoundClassRec : vscrapConvertibleClassRec {
  vclass* iteratorClass;
  void (*clear)(vscrap* self);
  void (*add)(vscrap* self, vinstance* element);
};

struct vscrapArrayClassRec : vscrapCompoundClassRec {
  std::int32_t (*getCount)(vscrap* self);
  void (*setCount)(vscrap* self, std::int32_t count);
  vinstance* (*getElement)(vscrap* self, std::int32_t index);
  void (*setElement)(vscrap* self, std::int32_t index, vinstance* element);
};

struct vscrapDictionaryClassRec : vscrapCompoundClassRec {
  vinstance* (*get)(vscrap* self, vname key);
  void (*set)(vscrap* self, vname key, vinstance* element);
  void (*remove)(vscrap* self, vname key);
};

// The abstract classes of the inter-application services' values.
struct vabstractUnionClassRec : vscrapValueClassRec<std::int32_t> {  // get and set the selector
  vinstance* (*getMember)(vscrap* self);
  void (*setMember)(vscrap* self, vinstance* value);
};

struct vscrapIterator : vinstance {
  vscrap walk;
};
struct vscrapBasicArrayIterator : vscrapIterator {
  std::int32_t index;
  std::int32_t count;
};

struct vscrapIteratorClassRec : vinstanceClassRec {
  void (*start)(vscrapIterator* it, vscrap* scrap);
  void (*finish)(vscrapIterator* it);
  int (*next)(vscrapIterator* it);
};
struct vscrapCompoundIteratorClassRec : vscrapIteratorClassRec {
  vinstance* (*currentElement)(vscrapIterator* it);
};
struct vscrapArrayIteratorClassRec : vscrapCompoundIteratorClassRec {
  std::int32_t (*currentKey)(vscrapIterator* it);
};
struct vscrapDictionaryIteratorClassRec : vscrapCompoundIteratorClassRec {
  vname (*currentKey)(vscrapIterator* it);
};

// Class getters.
vdelegatorClassRec* vscrapGetReferenceClass();
vscrapConvertibleClassRec* vscrapGetConvertibleClass();
vscrapTypeableClassRec* vscrapGetTypeableClass();
vscrapBooleanClassRec* vscrapGetBooleanClass();
vscrapCharacterClassRec* vscrapGetCharacterClass();
vscrapFixedClassRec* vscrapGetFixedClass();
vscrapIntegerClassRec* vscrapGetIntegerClass();
vscrapFloatClassRec* vscrapGetFloatClass();
vscrapStringClassRec* vscrapGetStringClass();
vscrapTagClassRec* vscrapGetTagClass();
vscrapBlockClassRec* vscrapGetBlockClass();
vscrapCompoundClassRec* vscrapGetCompoundClass();
vscrapArrayClassRec* vscrapGetArrayClass();
vscrapDictionaryClassRec* vscrapGetDictionaryClass();
vscrapIteratorClassRec* vscrapGetIteratorClass();
vscrapCompoundIteratorClassRec* vscrapGetCompoundIteratorClass();
vscrapArrayIteratorClassRec* vscrapGetArrayIteratorClass();
vscrapArrayIteratorClassRec* vscrapGetBasicArrayIteratorClass();
vscrapDictionaryIteratorClassRec* vscrapGetDictionaryIteratorClass();
vscrapCompoundClassRec* vabstractGetArglistClass();
vscrapValueClassRec<void*>* vabstractGetPointerClass();
vscrapValueClassRec<void*>* vabstractGetDatatagClass();
vscrapValueClassRec<std::int64_t>* vabstractGetLonglongClass();
vscrapValueClassRec<vinstance*>* vabstractGetScrapClass();
vabstractUnionClassRec* vabstractGetUnionClass();
// The start-up row: builds the convertible class and one native typeable.
// vscrapInstallStartup puts it in the framework's start-up order.
void vscrapGetDefaultClass();
void vscrapInstallStartup();

vscrap vscrapWalk(vinstance* object);  // level 0, cursor -1, the object on the stack
vscrapReference* vscrapCreateReference(vinstance* object);
void vscrapDump(vscrap scrap, std::FILE* stream);
void vscrapImport(vscrap source, vscrap target);

// How deep values may nest below a resource file's root or a top-level
// scrap. Deeper resource files are refused at open; making, copying,
// importing or reading text past it raises Module/Limit with
// vscrapTOO_DEEP, so no walk over a value runs out of stack.
inline constexpr int vscrapMAX_DEPTH = 1024;
inline constexpr const char* vscrapTOO_DEEP = "Values nested more than 1024 levels deep";
[[noreturn]] void vscrapRaiseTooDeep();
bool vscrapRaisedTooDeep();  // the newest exception is that refusal

// Kind accessors.
int vscrapGetBoolean(vscrap scrap);
void vscrapSetBoolean(vscrap scrap, int value);
char vscrapGetCharacter(vscrap scrap);
void vscrapSetCharacter(vscrap scrap, char value);
std::int32_t vscrapGetFixed(vscrap scrap);
void vscrapSetFixed(vscrap scrap, std::int32_t value);
std::int32_t vscrapGetInteger(vscrap scrap);
void vscrapSetInteger(vscrap scrap, std::int32_t value);
double vscrapGetFloat(vscrap scrap);
void vscrapSetFloat(vscrap scrap, double value);
vscribe* vscrapGetString(vscrap scrap);
void vscrapSetString(vscrap scrap, vscribe* value);
vname vscrapGetTag(vscrap scrap);
void vscrapSetTag(vscrap scrap, vname value);
std::size_t vscrapGetBlockSize(vscrap scrap);
void vscrapSetBlockSize(vscrap scrap, std::size_t size);
void vscrapReadBlock(vscrap scrap, std::size_t offset, std::size_t count, void* buffer);
void vscrapWriteBlock(vscrap scrap, std::size_t offset, std::size_t count, const void* buffer);
std::int32_t vscrapGetArrayCount(vscrap scrap);
void vscrapSetArrayCount(vscrap scrap, std::int32_t count);
vinstance* vscrapGetArrayElement(vscrap scrap, std::int32_t index);
void vscrapSetArrayElement(vscrap scrap, std::int32_t index, vinstance* element);
vinstance* vscrapGetDictionaryElement(vscrap scrap, vname key);
void vscrapSetDictionaryElement(vscrap scrap, vname key, vinstance* element);
void vscrapRemoveDictionaryElement(vscrap scrap, vname key);
void vscrapClearCompound(vscrap scrap);
void vscrapAddCompoundElement(vscrap scrap, vinstance* element);
int vscrapEntype(vscrap scrap, vclass* kind);
vscrapIterator* vscrapCreateCompoundIterator(vscrap scrap);

vscrapIterator* vscrapIteratorCreate(vclass* iteratorClass, vscrap scrap);
void vscrapIteratorDestroy(vscrapIterator* it);
int vscrapIteratorNext(vscrapIterator* it);
vinstance* vscrapIteratorCurrentElement(vscrapIterator* it);

// Exceptions.
// The top objects' classes are kept at the raise: the objects of a walk
// may be gone (temporaries freed on the way out) when the chain is printed.
struct vscrapUnimplementedException : vexException {
  vscrap walk;
  vinstance* top;
  const vclass* topClass;
};
struct vscrapCannotConvertException : vexException {
  vscrap from;
  vscrap to;
  const vclass* fromClass;
  const vclass* toClass;
};
extern const vexClass vexScrapClass, vexScrapUnimplementedClass, vexScrapCannotConvertClass;
[[noreturn]] void vscrapRaiseUnimplemented(const vscrap* walk);
[[noreturn]] void vscrapRaiseCannotConvert(const vscrap* from, const vscrap* to);

// Native scraps.
struct vscrapNativeCharacter : vinstance {
  char value;
};
struct vscrapNativeWord : vinstance {  // boolean, fixed, integer
  std::int32_t value;
};
struct vscrapNativeFloat : vinstance {
  double value;
};
struct vscrapNativeTag : vinstance {
  vname value;
};
struct vscrapNativeString : vinstance {
  const char* text;
  int permanent;  // 1: a literal or a name, not owned; 0: an owned counted string
};
struct vscrapNativeBlock : vinstance {
  unsigned char* data;
  std::size_t size;
  int ownsMemory;
};
struct vscrapNativeArray : vinstance {
  vinstance** begin;
  vinstance** end;
  vinstance** cap;
};
struct vscrapNativeDictionary : vinstance {
  vdict dict;
};
struct vscrapNativeTypeable : vinstance {
  vinstance* delegate;
};

vscrapTypeableClassRec* vscrapGetNativeTypeableClass();
vclass* vscrapGetNativeClass(const vclass* abstractKind);  // null when none is registered
vscrapNativeTypeable* vscrapCreateNativeTypeable();
vinstance* vscrapMakeTypeable(vinstance* scrap);
vscrapNativeString* vscrapCreateNativeString(const char* text);
vscrapArrayClassRec* vscrapGetNativeArrayClass();
vscrapNativeArray* vscrapCreateNativeArray();  // empty; the caller destroys it
vinstance* vscrapCreateNative(const vclass* abstractKind);  // an instance of the kind's native class
// Makes native the class that typeable scraps become for abstractKind.
void vscrapRegisterNativeClass(vclass* abstractKind, vclass* native);
// A block over memory that the scrap does not own.
vscrapNativeBlock* vscrapCreateNativeBlockOver(void* data, std::size_t size);
