// Typed-resource files: the resources of a chunk-file resource file as
// numbered rows of an index set (type word, parent, value), dictionaries
// over shared shapes, arrays, references, strings and opaque data in
// chunks of their own; and the resource value classes that stand for a
// resource by number, a dictionary entry or an array element.
#pragma once
#include <cstdint>

#include "fw/data/chunk.h"
#include "fw/data/ndx.h"
#include "fw/data/res.h"

struct vresFile {
  vresStore store;  // first: resource values reach the file through it
  std::int32_t client1, client2;
  vchunkFile* chunks;
  vndxTagTable* tags;
  vndxShapeTable* shapes;
  vndx* rows;
  std::uint32_t tagChunk, shapeChunk, rowChunk;
  std::uint8_t openIndex;
  // Rows made in passing by reads (a handle on an entry held in place):
  // they reach the file only along with a change of its own.
  std::uint8_t passing;  // depth of the reads making them
  bool passed;           // some were made
};

vresFile* vresFileCreate(vchunkFile* chunks);
vresFile* vresFileOpen(vchunkFile* chunks);  // refuses a damaged file, closing nothing
// Writes the tables back when the file changed for itself (with what was
// made in passing then); a file only read is left as it was.
void vresFileWrite(vresFile* file);
// The chunks brought up to date for a copy of the whole file (a save, an
// image), read-only files too; what only reads made stays off the file.
void vresFileWriteImage(vresFile* file);
void vresFileDestroy(vresFile* file);  // writes back unless read-only, closes the chunk file

// Rows.
std::uint32_t vresFileMakeRow(vresFile* file, std::uint32_t parent, int kind, std::uint32_t value);
std::uint32_t vresFileTypeWord(vresFile* file, std::uint32_t number);
std::uint32_t vresFileParent(vresFile* file, std::uint32_t number);
std::uint32_t vresFileValue(vresFile* file, std::uint32_t number);
// Gives a row a new kind: its old value released, the kind's default set.
void _vresFileSetRowKind(vresFile* file, std::uint32_t number, int kind);

struct vresIndex : vres {
  std::uint32_t number;
};
struct vresDictElement : vres {
  std::uint32_t dictionary;
  vname tag;
};
struct vresArrayElement : vres {
  std::uint32_t array;
  std::int32_t index;
};
vresClassRec* vresGetIndexClass();
vresClassRec* vresGetDictElementClass();
vresClassRec* vresGetArrayElementClass();
vresIndex* vresMakeIndex(vresFile* file, std::uint32_t number);
vresDictElement* vresMakeDictElement(vresFile* file, std::uint32_t dictionary, vname tag);
vresArrayElement* vresMakeArrayElement(vresFile* file, std::uint32_t array, std::int32_t index);
// The same in storage the caller gives (short-lived objects on its stack).
void vresInitIndex(vresIndex* storage, vresFile* file, std::uint32_t number);
void vresInitDictElement(vresDictElement* storage, vresFile* file, std::uint32_t dictionary, vname tag);
void vresInitArrayElement(vresArrayElement* storage, vresFile* file, std::uint32_t array, std::int32_t index);

// Generic operations.
int vresEntype(vres* object, int kind);  // 1 when the object took the kind
void vresSetKind(vres* object, int kind);
vname vresGetTagValue(vres* object);
void vresSetTagValue(vres* object, vname tag);
vscribe* vresGetString(vres* object);
void vresSetString(vres* object, vscribe* text);
std::size_t vresGetStringLength(vres* object);
void vresReadString(vres* object, std::size_t offset, std::size_t count, char* buffer);
std::uint32_t vresGetOpaqueSize(vres* object);
void vresSetOpaqueSize(vres* object, std::uint32_t size);
// The bytes, pinned until released (null when there are none); a release
// after writing marks them modified.
std::uint8_t* vresGetOpaqueData(vres* object);
void vresReleaseOpaqueData(vres* object, int modified);

// Dictionaries. vresDictRow and vresArrayRow give the row an object's
// container lives in (following a reference).
std::uint32_t vresDictRow(vres* dict);
std::uint32_t vresArrayRow(vres* array);
void vresDictSetEntryKind(vres* dict, vname tag, int kind);
int vresDictMakeEntry(vres* dict, vname tag, int kind);
void vresDictRename(vres* dict, vname from, vname to);
void vresDictClear(vres* dict);
int vresDictHas(vres* dict, vname tag);
std::int32_t vresDictCount(vres* dict);
vname vresDictTagAt(vres* dict, std::int32_t index);
vname vresDictTagOf(vres* dict, std::uint32_t number);

// Arrays.
std::int32_t vresArrayCount(vres* array);
void vresArraySetCount(vres* array, std::int32_t count);
int vresArrayElementKind(vres* array);
void vresArraySetElementKind(vres* array, int kind);
int vresArrayEntypeElements(vres* array, int kind);
void vresArrayInsert(vres* array, std::int32_t index);
void vresArrayDelete(vres* array, std::int32_t index);
std::int32_t vresArrayIndexOf(vres* array, std::uint32_t number);
