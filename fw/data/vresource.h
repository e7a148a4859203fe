// The public resource calls. Each is routed in line by the sign of its
// handle: non-negative handles to the ".vr" store, negative ones to the
// chunk-file store ("newresource"). Both tables keep one slot order.
//
// Every public `vresourceXxx` call is an in-line indexed call into one of two tables of 101 slots
// (`vresourceTables`, filled once at start): bit 31 of the handle picks table 1, the chunk-file
// store ("newresource", `newres.cpp`, over the typed-resource layer), else table 0, the ".vr"
// store. Both tables fill every slot; `vresource.cpp` adapts the store's own calls to the slots'
// shapes and holds the routines both share (the test-gets, strings by scribe, the deprecated
// get-array; a test-get looks for the child without taking its handle, since a chunk file gives a
// scalar entry a row of its own only in passing). Calls that make a file take the table as an
// argument (`vresourceCreateMemoryIn`); an existing file opens in the store its format names
// (`vresourceOpenFile`, `vresourceLoadFile`). The chunk-file store keeps a growable table of open
// files (capacity 5, doubling, at most 127; lowest free entry reused); its handles are ((index |
// 0x80) << 24) | number, root 1. It opens files by path (reading shares, writing denies), over a
// memory image, or loaded whole in 4096-byte reads; memory files grow. New and saved files of both
// stores are written whole as `wholesave.h` says: a regular file through an exclusively created
// temporary file renamed into place (its mode kept), a link's target, a device in place.
// Write-source gives C text whose {data, size} (chunk store) or page list (".vr" store) reopens as
// an image. One observer hears opens and closes of both stores. Content copy and the core's
// interface use only the routed calls, so both serve both stores. A new file's store is bit 0x1 of
// the resource option word (`_vresourceSetGlobalOptions`, in `fw/core/fsio.cpp` beside the
// file-kind test that answers it for a file of unknown kind): it starts at 1, so new files and the
// in-memory system file are chunk files, while files on disk (`vwexlin7.vr` among them) open in the
// store their format names. `resrect.h` keeps rectangles in resources as four-element arrays
// (integer or floating), made in place when the resource has no element 0, and
// `vresourceRemoveIfPresent`, which tests before removing so that an absent key costs nothing even
// in a read-only file. The point and rectangle values (`fw/core/rect.h`) and 16.16 fixed point
// (`fw/core/fixed.h`: saturating conversion, a product on magnitudes in unsigned arithmetic) are
// shared by the core, the resources and the graphics. `tests/fuzz/fuzz_newres.cpp` opens chunk-file
// images, walks them, copies them into a new file and exports them as scraps.
// `tests/fuzz/fuzz_restree.cpp` builds random trees through the public calls in either store,
// removes random subtrees, saves and reopens, and checks everything against a model.
// `bench/resource_arrays` creates and fills integer arrays element by element in both stores
// (100,000 elements: a few ms each).
//
// `vresource_scrap.cpp` shows a resource as a scrap: a resource scrap (handle) delegates to a value
// object of its kind; an element scrap (array, index) serves scalar elements; an untyped resource
// or element takes the kind that scrap code asks of it, and an element so typed as a dictionary,
// string or opaque value (or one of a typed array that holds no record yet) then stands as its own
// resource. Get-object, set-scrap, from-scrap and from-object fill the same slots of both tables.
//
// The text form (`vrtext.h`) writes one entry a line (`Name = integer 3`, `dictionary { }`, `array
// KIND [ ]`, quoted strings with escapes, opaque bytes as hex). `vrtool build TEXT OUT.vr` and
// `vrtool dump IN.vr` use the store's own code; the build makes `lib/vwexlin7.vr` from
// `fw/data/resources/vwexlin7.txt`. The installation search (`inst.h`) finds it from the program's
// folder upward (`build/*/lib`). Numbers, regular expressions and date names read it through the
// routed calls, so a chunk-format framework file serves them too.
// `tests/fw/data/inst_order_test.cpp` runs a small program (`tests/fw/data/probe/inst_probe.cpp`)
// from folders of its own to check the search order, the empty in-memory root, the unchanged
// printers and the whole start-up.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "fw/core/fs.h"
#include "fw/core/resource.h"
#include "fw/core/scribe.h"
#include "fw/data/scrap.h"

struct vfsPath;
struct vfsStream;

// clang-format off
enum vresourceSlot : int {
  vresourceSlotOpenFile, vresourceSlotOpenImage, vresourceSlotCreateFile, vresourceSlotCreateMemory,
  vresourceSlotLoadFile, vresourceSlotSaveFile, vresourceSlotCopyFile, vresourceSlotCloseFile,
  vresourceSlotReleaseFile, vresourceSlotFlushFile, vresourceSlotWriteSource, vresourceSlotGetFile,
  vresourceSlotFileReserved,
  vresourceSlotMake, vresourceSlotCreate, vresourceSlotMakeArray, vresourceSlotCreateArray,
  vresourceSlotCreateAt, vresourceSlotRemove, vresourceSlotRemoveAt,
  vresourceSlotGet, vresourceSlotGetTag, vresourceSlotGetInteger, vresourceSlotGetFixed, vresourceSlotGetFloat,
  vresourceSlotGetString, vresourceSlotGetStringRange, vresourceSlotGetBoolean, vresourceSlotGetOpaque,
  vresourceSlotGetCharacter, vresourceSlotGetArray, vresourceSlotGetObject,
  vresourceSlotTestGet, vresourceSlotTestGetTag, vresourceSlotTestGetInteger, vresourceSlotTestGetFixed,
  vresourceSlotTestGetFloat, vresourceSlotTestGetStringCopy, vresourceSlotTestGetString,
  vresourceSlotTestGetStringRange, vresourceSlotTestGetBoolean, vresourceSlotTestGetOpaque,
  vresourceSlotTestGetCharacter, vresourceSlotTestGetArray, vresourceSlotTestGetObject,
  vresourceSlotGetAt, vresourceSlotGetAtTag, vresourceSlotGetAtInteger, vresourceSlotGetAtFixed,
  vresourceSlotGetAtFloat, vresourceSlotGetAtString, vresourceSlotGetAtStringRange, vresourceSlotGetAtBoolean,
  vresourceSlotGetAtOpaque, vresourceSlotGetAtCharacter, vresourceSlotGetAtObject,
  vresourceSlotSetTag, vresourceSlotSetInteger, vresourceSlotSetFixed, vresourceSlotSetFloat,
  vresourceSlotSetString, vresourceSlotSetStringSized, vresourceSlotSetBoolean, vresourceSlotSetOpaque,
  vresourceSlotSetCharacter, vresourceSlotSetScrap,
  vresourceSlotSetAtTag, vresourceSlotSetAtInteger, vresourceSlotSetAtFixed, vresourceSlotSetAtFloat,
  vresourceSlotSetAtString, vresourceSlotSetAtStringSized, vresourceSlotSetAtBoolean, vresourceSlotSetAtOpaque,
  vresourceSlotSetAtCharacter, vresourceSlotSetAtScrap,
  vresourceSlotInsertAt, vresourceSlotInsertAtTag, vresourceSlotInsertAtInteger, vresourceSlotInsertAtFixed,
  vresourceSlotInsertAtFloat, vresourceSlotInsertAtBoolean, vresourceSlotInsertAtCharacter,
  vresourceSlotFind, vresourceSlotFindAt, vresourceSlotCount, vresourceSlotGetTagAt, vresourceSlotGetTagAtOnly,
  vresourceSlotRenameTag, vresourceSlotGetParent, vresourceSlotGetRoot, vresourceSlotGetSize,
  vresourceSlotGetStringLength, vresourceSlotGetType, vresourceSlotGetElementType, vresourceSlotSetCount,
  vresourceSlotGetNumber, vresourceSlotFromNumber, vresourceSlotFromScrap, vresourceSlotFromObject,
  vresourceSlotGetObjectIndex,
  vresourceSLOTS
};
// clang-format on
static_assert(vresourceSLOTS == 101);

using vresourceSlotFn = void (*)();
struct vresourceTableSet {
  vresourceSlotFn slots[2][vresourceSLOTS];
};
extern const vresourceTableSet vresourceTables;

inline int vresourceTableOf(vresource h) { return static_cast<int>(static_cast<std::uint32_t>(h) >> 31); }
// A slot's operation as its own type; a slot a table does not fill raises.
[[noreturn]] void _vresourceUnbuilt(int table, int slot);
template <int S, class R, class... A>
inline auto vresourceSlotOf(int table) {
  vresourceSlotFn f = vresourceTables.slots[table][S];
  if (!f) _vresourceUnbuilt(table, S);
  return reinterpret_cast<R (*)(A...)>(f);
}
template <int S, class R, class... A>
inline R vresourceRoute(vresource h, A... a) {
  return vresourceSlotOf<S, R, vresource, A...>(vresourceTableOf(h))(h, a...);
}

// The chunk-file store's open-file limit and its root handles.
inline constexpr int newresourceMAX_FILES = 127;
inline constexpr vresource newresourceHandle(std::uint32_t index, std::uint32_t number) {
  return static_cast<vresource>(((index | 0x80u) << 24) | number);
}

// Files. Table 0 is the ".vr" store, table 1 the chunk-file store. The
// calls that make a file take the table: an existing file's by its format
// (vresourceFileTable), a new one's by the caller's choice.
int vresourceFileTable(const vfsPath* path);
inline vresource vresourceOpenFileIn(int table, const vfsPath* path, int mode) {
  return vresourceSlotOf<vresourceSlotOpenFile, vresource, const vfsPath*, int>(table)(path, mode);
}
inline vresource vresourceOpenFile(const vfsPath* path, int mode) {
  return vresourceOpenFileIn(vresourceFileTable(path), path, mode);
}
// The ".vr" store's image is its page list (size unused); the chunk-file
// store's is the {data, size} that its generated source holds.
inline vresource vresourceOpenImageIn(int table, const void* image, std::size_t size) {
  return vresourceSlotOf<vresourceSlotOpenImage, vresource, const void*, std::size_t>(table)(image, size);
}
inline vresource vresourceCreateFileIn(int table, const vfsPath* path, int permission) {
  return vresourceSlotOf<vresourceSlotCreateFile, vresource, const vfsPath*, int>(table)(path, permission);
}
inline vresource vresourceCreateMemoryIn(int table) {
  return vresourceSlotOf<vresourceSlotCreateMemory, vresource>(table)();
}
// New files of the default kind (the framework's flag: chunk files or not).
inline int vresourceDefaultTable() { return vresourceGetTestDefault() ? 1 : 0; }
inline vresource vresourceCreateMemory() { return vresourceCreateMemoryIn(vresourceDefaultTable()); }
inline vresource vresourceCreateFile(const vfsPath* path, int permission) {
  return vresourceCreateFileIn(vresourceDefaultTable(), path, permission);
}
inline vresource vresourceLoadFile(const vfsPath* path) {
  return vresourceSlotOf<vresourceSlotLoadFile, vresource, const vfsPath*>(vresourceFileTable(path))(path);
}
inline vresource vresourceSaveFile(vresource root, const vfsPath* path, int permission) {
  return vresourceRoute<vresourceSlotSaveFile, vresource>(root, path, permission);
}
inline void vresourceCopyFile(vresource source, vresource destination) {
  vresourceRoute<vresourceSlotCopyFile, void>(source, destination);
}
inline void vresourceCloseFile(vresource root) { vresourceRoute<vresourceSlotCloseFile, void>(root); }
inline void vresourceReleaseFile(vresource root) { vresourceRoute<vresourceSlotReleaseFile, void>(root); }
inline void vresourceFlushFile(vresource root) { vresourceRoute<vresourceSlotFlushFile, void>(root); }
inline void vresourceWriteSource(vresource root, vfsStream* out, const char* name) {
  vresourceRoute<vresourceSlotWriteSource, void>(root, out, name);
}
inline vfsStream* vresourceGetFile(vresource root) { return vresourceRoute<vresourceSlotGetFile, vfsStream*>(root); }
inline void vresourceFileReserved(vresource root) { vresourceRoute<vresourceSlotFileReserved, void>(root); }
// The observer of every open and close of either store (closing 0 after an open).
void vresourceSetObserver(void (*observer)(vresource root, int closing));
void _vresourceNotify(vresource root, int closing);

// Making and removing.
inline vresource vresourceMake(vresource h, vname tag) { return vresourceRoute<vresourceSlotMake, vresource>(h, tag); }
inline vresource vresourceCreate(vresource h, vname tag, int kind) {
  return vresourceRoute<vresourceSlotCreate, vresource>(h, tag, kind);
}
inline vresource vresourceMakeArray(vresource h, vname tag, int elementKind, std::int32_t count) {
  return vresourceRoute<vresourceSlotMakeArray, vresource>(h, tag, elementKind, count);
}
inline vresource vresourceCreateArray(vresource h, vname tag, int elementKind, std::int32_t count) {
  return vresourceRoute<vresourceSlotCreateArray, vresource>(h, tag, elementKind, count);
}
inline vresource vresourceCreateAt(vresource h, std::int32_t index, int kind) {
  return vresourceRoute<vresourceSlotCreateAt, vresource>(h, index, kind);
}
inline void vresourceRemove(vresource h, vname tag) { vresourceRoute<vresourceSlotRemove, void>(h, tag); }
inline void vresourceRemoveAt(vresource h, std::int32_t index) { vresourceRoute<vresourceSlotRemoveAt, void>(h, index); }

// Get by tag (a tag of none: h itself).
inline vresource vresourceGet(vresource h, vname tag) { return vresourceRoute<vresourceSlotGet, vresource>(h, tag); }
inline vname vresourceGetTag(vresource h, vname tag) { return vresourceRoute<vresourceSlotGetTag, vname>(h, tag); }
inline std::int32_t vresourceGetInteger(vresource h, vname tag) {
  return vresourceRoute<vresourceSlotGetInteger, std::int32_t>(h, tag);
}
inline std::int32_t vresourceGetFixed(vresource h, vname tag) {
  return vresourceRoute<vresourceSlotGetFixed, std::int32_t>(h, tag);
}
inline double vresourceGetFloat(vresource h, vname tag) { return vresourceRoute<vresourceSlotGetFloat, double>(h, tag); }
inline vscribe* vresourceGetString(vresource h, vname tag) {
  return vresourceRoute<vresourceSlotGetString, vscribe*>(h, tag);
}
inline void vresourceGetStringRange(vresource h, vname tag, std::size_t offset, char* buffer, std::size_t maximum,
                                    std::size_t* count) {
  vresourceRoute<vresourceSlotGetStringRange, void>(h, tag, offset, buffer, maximum, count);
}
inline int vresourceGetBoolean(vresource h, vname tag) { return vresourceRoute<vresourceSlotGetBoolean, int>(h, tag); }
// A copy the caller frees (vmemFree); none when empty.
inline void* vresourceGetOpaque(vresource h, vname tag, std::size_t* length) {
  return vresourceRoute<vresourceSlotGetOpaque, void*>(h, tag, length);
}
inline char vresourceGetCharacter(vresource h, vname tag) {
  return vresourceRoute<vresourceSlotGetCharacter, char>(h, tag);
}
// The ".vr" store: a new block of count pointer-sized entries (values;
// tags as names; handles for elements that are resources) that the caller
// frees. The chunk-file store refuses it.
inline void vresourceGetArray(vresource h, vname tag, std::intptr_t** entries, std::size_t* count) {
  vresourceRoute<vresourceSlotGetArray, void>(h, tag, entries, count);
}
inline vinstance* vresourceGetObject(vresource h, vname tag) {
  return vresourceRoute<vresourceSlotGetObject, vinstance*>(h, tag);
}

// Test-get by tag: 0, and nothing stored, when h has no such child.
inline int vresourceTestGet(vresource h, vname tag, vresource* out) {
  return vresourceRoute<vresourceSlotTestGet, int>(h, tag, out);
}
// vresourceTestGetTag and vresourceTestGetInteger are the core's helpers
// (fw/core/resource.h), which reach these slots through its interface.
inline int vresourceTestGetFixed(vresource h, vname tag, std::int32_t* out) {
  return vresourceRoute<vresourceSlotTestGetFixed, int>(h, tag, out);
}
inline int vresourceTestGetFloat(vresource h, vname tag, double* out) {
  return vresourceRoute<vresourceSlotTestGetFloat, int>(h, tag, out);
}
inline int vresourceTestGetStringCopy(vresource h, vname tag, vstr** out) {
  return vresourceRoute<vresourceSlotTestGetStringCopy, int>(h, tag, out);
}
inline int vresourceTestGetString(vresource h, vname tag, vscribe** out) {
  return vresourceRoute<vresourceSlotTestGetString, int>(h, tag, out);
}
inline int vresourceTestGetStringRange(vresource h, vname tag, std::size_t offset, char* buffer, std::size_t maximum,
                                       std::size_t* count) {
  return vresourceRoute<vresourceSlotTestGetStringRange, int>(h, tag, offset, buffer, maximum, count);
}
inline int vresourceTestGetBoolean(vresource h, vname tag, int* out) {
  return vresourceRoute<vresourceSlotTestGetBoolean, int>(h, tag, out);
}
inline int vresourceTestGetOpaque(vresource h, vname tag, void** out, std::size_t* length) {
  return vresourceRoute<vresourceSlotTestGetOpaque, int>(h, tag, out, length);
}
inline int vresourceTestGetCharacter(vresource h, vname tag, char* out) {
  return vresourceRoute<vresourceSlotTestGetCharacter, int>(h, tag, out);
}
inline int vresourceTestGetArray(vresource h, vname tag, std::intptr_t** entries, std::size_t* count) {
  return vresourceRoute<vresourceSlotTestGetArray, int>(h, tag, entries, count);
}
inline int vresourceTestGetObject(vresource h, vname tag, vinstance** out) {
  return vresourceRoute<vresourceSlotTestGetObject, int>(h, tag, out);
}

// Get by index.
inline vresource vresourceGetAt(vresource h, std::int32_t i) { return vresourceRoute<vresourceSlotGetAt, vresource>(h, i); }
inline vname vresourceGetAtTag(vresource h, std::int32_t i) { return vresourceRoute<vresourceSlotGetAtTag, vname>(h, i); }
inline std::int32_t vresourceGetAtInteger(vresource h, std::int32_t i) {
  return vresourceRoute<vresourceSlotGetAtInteger, std::int32_t>(h, i);
}
inline std::int32_t vresourceGetAtFixed(vresource h, std::int32_t i) {
  return vresourceRoute<vresourceSlotGetAtFixed, std::int32_t>(h, i);
}
inline double vresourceGetAtFloat(vresource h, std::int32_t i) { return vresourceRoute<vresourceSlotGetAtFloat, double>(h, i); }
inline vscribe* vresourceGetAtString(vresource h, std::int32_t i) {
  return vresourceRoute<vresourceSlotGetAtString, vscribe*>(h, i);
}
inline void vresourceGetAtStringRange(vresource h, std::int32_t i, std::size_t offset, char* buffer,
                                      std::size_t maximum, std::size_t* count) {
  vresourceRoute<vresourceSlotGetAtStringRange, void>(h, i, offset, buffer, maximum, count);
}
inline int vresourceGetAtBoolean(vresource h, std::int32_t i) { return vresourceRoute<vresourceSlotGetAtBoolean, int>(h, i); }
// At most maximum bytes from offset, in a new block (none when empty).
inline void* vresourceGetAtOpaque(vresource h, std::int32_t i, std::size_t offset, std::size_t maximum,
                                  std::size_t* length) {
  return vresourceRoute<vresourceSlotGetAtOpaque, void*>(h, i, offset, maximum, length);
}
inline char vresourceGetAtCharacter(vresource h, std::int32_t i) {
  return vresourceRoute<vresourceSlotGetAtCharacter, char>(h, i);
}
inline vinstance* vresourceGetAtObject(vresource h, std::int32_t i) {
  return vresourceRoute<vresourceSlotGetAtObject, vinstance*>(h, i);
}

// Set by tag: the child is made with the value's kind when absent.
inline void vresourceSetTag(vresource h, vname tag, vname v) { vresourceRoute<vresourceSlotSetTag, void>(h, tag, v); }
inline void vresourceSetInteger(vresource h, vname tag, std::int32_t v) {
  vresourceRoute<vresourceSlotSetInteger, void>(h, tag, v);
}
inline void vresourceSetFixed(vresource h, vname tag, std::int32_t v) {
  vresourceRoute<vresourceSlotSetFixed, void>(h, tag, v);
}
inline void vresourceSetFloat(vresource h, vname tag, double v) { vresourceRoute<vresourceSlotSetFloat, void>(h, tag, v); }
inline void vresourceSetString(vresource h, vname tag, vscribe* text) {
  vresourceRoute<vresourceSlotSetString, void>(h, tag, text);
}
inline void vresourceSetStringSized(vresource h, vname tag, const char* text, std::size_t count) {
  vresourceRoute<vresourceSlotSetStringSized, void>(h, tag, text, count);
}
inline void vresourceSetBoolean(vresource h, vname tag, int v) { vresourceRoute<vresourceSlotSetBoolean, void>(h, tag, v); }
inline void vresourceSetOpaque(vresource h, vname tag, const void* bytes, std::size_t length) {
  vresourceRoute<vresourceSlotSetOpaque, void>(h, tag, bytes, length);
}
inline void vresourceSetCharacter(vresource h, vname tag, char v) {
  vresourceRoute<vresourceSlotSetCharacter, void>(h, tag, v);
}
inline void vresourceSetScrap(vresource h, vname tag, vscrap scrap) {
  vresourceRoute<vresourceSlotSetScrap, void>(h, tag, scrap);
}

// Set by index: the element takes the value's kind.
inline void vresourceSetAtTag(vresource h, std::int32_t i, vname v) { vresourceRoute<vresourceSlotSetAtTag, void>(h, i, v); }
inline void vresourceSetAtInteger(vresource h, std::int32_t i, std::int32_t v) {
  vresourceRoute<vresourceSlotSetAtInteger, void>(h, i, v);
}
inline void vresourceSetAtFixed(vresource h, std::int32_t i, std::int32_t v) {
  vresourceRoute<vresourceSlotSetAtFixed, void>(h, i, v);
}
inline void vresourceSetAtFloat(vresource h, std::int32_t i, double v) {
  vresourceRoute<vresourceSlotSetAtFloat, void>(h, i, v);
}
inline void vresourceSetAtString(vresource h, std::int32_t i, vscribe* text) {
  vresourceRoute<vresourceSlotSetAtString, void>(h, i, text);
}
inline void vresourceSetAtStringSized(vresource h, std::int32_t i, const char* text, std::size_t count) {
  vresourceRoute<vresourceSlotSetAtStringSized, void>(h, i, text, count);
}
inline void vresourceSetAtBoolean(vresource h, std::int32_t i, int v) {
  vresourceRoute<vresourceSlotSetAtBoolean, void>(h, i, v);
}
inline void vresourceSetAtOpaque(vresource h, std::int32_t i, const void* bytes, std::size_t length) {
  vresourceRoute<vresourceSlotSetAtOpaque, void>(h, i, bytes, length);
}
inline void vresourceSetAtCharacter(vresource h, std::int32_t i, char v) {
  vresourceRoute<vresourceSlotSetAtCharacter, void>(h, i, v);
}
inline void vresourceSetAtScrap(vresource h, std::int32_t i, vscrap scrap) {
  vresourceRoute<vresourceSlotSetAtScrap, void>(h, i, scrap);
}

// Insert by index.
inline vresource vresourceInsertAt(vresource h, std::int32_t index, int kind) {
  return vresourceRoute<vresourceSlotInsertAt, vresource>(h, index, kind);
}
inline void vresourceInsertAtTag(vresource h, std::int32_t i, vname v) { vresourceRoute<vresourceSlotInsertAtTag, void>(h, i, v); }
inline void vresourceInsertAtInteger(vresource h, std::int32_t i, std::int32_t v) {
  vresourceRoute<vresourceSlotInsertAtInteger, void>(h, i, v);
}
inline void vresourceInsertAtFixed(vresource h, std::int32_t i, std::int32_t v) {
  vresourceRoute<vresourceSlotInsertAtFixed, void>(h, i, v);
}
inline void vresourceInsertAtFloat(vresource h, std::int32_t i, double v) {
  vresourceRoute<vresourceSlotInsertAtFloat, void>(h, i, v);
}
inline void vresourceInsertAtBoolean(vresource h, std::int32_t i, int v) {
  vresourceRoute<vresourceSlotInsertAtBoolean, void>(h, i, v);
}
inline void vresourceInsertAtCharacter(vresource h, std::int32_t i, char v) {
  vresourceRoute<vresourceSlotInsertAtCharacter, void>(h, i, v);
}

// Structure.
inline void vresourceFind(vresource h, vresource* parent, vname* tag) {
  vresourceRoute<vresourceSlotFind, void>(h, parent, tag);
}
inline void vresourceFindAt(vresource h, vresource* parent, vname* tag, std::int32_t* index) {
  vresourceRoute<vresourceSlotFindAt, void>(h, parent, tag, index);
}
inline std::int32_t vresourceCount(vresource h) { return vresourceRoute<vresourceSlotCount, std::int32_t>(h); }
inline vresource vresourceGetTagAt(vresource h, std::int32_t i, vname* tag) {
  return vresourceRoute<vresourceSlotGetTagAt, vresource>(h, i, tag);
}
inline vname vresourceGetTagAtOnly(vresource h, std::int32_t i) {
  return vresourceRoute<vresourceSlotGetTagAtOnly, vname>(h, i);
}
inline void vresourceRenameTag(vresource h, vname from, vname to) {
  vresourceRoute<vresourceSlotRenameTag, void>(h, from, to);
}
inline vresource vresourceGetParent(vresource h) { return vresourceRoute<vresourceSlotGetParent, vresource>(h); }
inline vresource vresourceGetRoot(vresource h) { return vresourceRoute<vresourceSlotGetRoot, vresource>(h); }
inline std::size_t vresourceGetSize(vresource h) { return vresourceRoute<vresourceSlotGetSize, std::size_t>(h); }
inline std::size_t vresourceGetStringLength(vresource h) {
  return vresourceRoute<vresourceSlotGetStringLength, std::size_t>(h);
}
inline int vresourceGetType(vresource h, vname tag) { return vresourceRoute<vresourceSlotGetType, int>(h, tag); }
inline int vresourceGetElementType(vresource h) { return vresourceRoute<vresourceSlotGetElementType, int>(h); }
inline void vresourceSetCount(vresource h, std::int32_t count) { vresourceRoute<vresourceSlotSetCount, void>(h, count); }
inline std::uint32_t vresourceGetNumber(vresource h) { return vresourceRoute<vresourceSlotGetNumber, std::uint32_t>(h); }
inline vresource vresourceFromNumber(vresource h, std::uint32_t n) {
  return vresourceRoute<vresourceSlotFromNumber, vresource>(h, n);
}
// These take no handle; both tables hold the same routine.
inline vresource vresourceFromScrap(vscrap scrap) {
  return vresourceSlotOf<vresourceSlotFromScrap, vresource, vscrap>(0)(scrap);
}
inline vresource vresourceFromObject(vinstance* object) {
  return vresourceSlotOf<vresourceSlotFromObject, vresource, vinstance*>(0)(object);
}
inline std::int32_t vresourceGetObjectIndex(vinstance* object) {
  return vresourceSlotOf<vresourceSlotGetObjectIndex, std::int32_t, vinstance*>(0)(object);
}

// A string entry's characters (internal set), for copying between stores.
std::string vresourceGetStringText(vresource h, vname tag);
std::string vresourceGetAtStringText(vresource h, std::int32_t index);
// How deep a walk under h may go before the file must be damaged.
std::uint32_t vresourceDepthLimit(vresource h);

// Copies source, with everything under it, into destination itself, in
// either direction between the stores; a destination that is the source or
// lies under it is refused.
void vresourceCopyContents(vresource source, vresource destination);
