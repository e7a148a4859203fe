// The two routing tables and what both stores share: the open/close
// observer and the reads a copy between them needs.
#include "fw/data/vresource.h"


#include <bit>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/fs.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource_internal.h"
#include "fw/data/vrstore_internal.h"

namespace {

void (*observer)(vresource, int) = nullptr;

// ---- Adaptors from the ".vr" store's own calls to the slots' shapes.
vresource storeOpenImage(const void* image, std::size_t) {
  return vrstoreOpenImage(static_cast<const unsigned char* const*>(image));
}
void storeStringRange(vresource h, vname tag, std::size_t offset, char* buffer, std::size_t maximum,
                      std::size_t* count) {
  *count = vrstoreGetStringRange(h, tag, offset, buffer, maximum);
}
void storeAtStringRange(vresource h, std::int32_t i, std::size_t offset, char* buffer, std::size_t maximum,
                        std::size_t* count) {
  *count = vrstoreCopyRange(vrstoreGetAtStringText(h, i), offset, buffer, maximum);
}

// ---- Operations both tables share, written over the routed calls.
// A test-get answers 0 when the child is absent, and for the ".vr" store
// (kind not 0) also when it is of another kind.
template <auto get, class T, int kind>
int testGetBy(vresource h, vname tag, T* out) {
  _vresourceRequireOut(out);
  if (!_vresourceHas(h, tag) || (kind && vresourceGetType(h, tag) != kind)) return 0;
  *out = get(h, tag);
  return 1;
}
vstr* stringCopy(vresource h, vname tag) { return vstrCloneScribed(vresourceGetString(h, tag), nullptr); }
template <int kind>
int testGetStringRange(vresource h, vname tag, std::size_t offset, char* buffer, std::size_t maximum,
                       std::size_t* count) {
  _vresourceRequireOut(count);
  if (!_vresourceHas(h, tag) || (kind && vresourceGetType(h, tag) != kind)) return 0;
  vresourceGetStringRange(h, tag, offset, buffer, maximum, count);
  return 1;
}
template <int kind>
int testGetOpaque(vresource h, vname tag, void** out, std::size_t* length) {
  _vresourceRequireOut(out);
  _vresourceRequireOut(length);
  if (!_vresourceHas(h, tag) || (kind && vresourceGetType(h, tag) != kind)) return 0;
  *out = vresourceGetOpaque(h, tag, length);
  return 1;
}
[[noreturn]] void refuseArray(vresource, vname, std::intptr_t**, std::size_t*) {
  vexGenerateMessage(&vexArgClass, "vresourceGetArray() is deprecated. Manipulate array elements individually.");
}
// Entries are pointer-sized so that a tag can be its interned name.
struct ArrayRead {
  int kind;
  std::intptr_t (*read)(vresource a, std::int32_t i);
};
constexpr ArrayRead arrayReads[] = {
    {vresTAG, [](vresource a, std::int32_t i) { return reinterpret_cast<std::intptr_t>(vresourceGetAtTag(a, i)); }},
    {vresINTEGER, [](vresource a, std::int32_t i) { return std::intptr_t{vresourceGetAtInteger(a, i)}; }},
    {vresFIXED, [](vresource a, std::int32_t i) { return std::intptr_t{vresourceGetAtFixed(a, i)}; }},
    {vresFLOAT,
     [](vresource a, std::int32_t i) {
       return std::intptr_t{std::bit_cast<std::uint32_t>(static_cast<float>(vresourceGetAtFloat(a, i)))};
     }},
    {vresCHARACTER, [](vresource a, std::int32_t i) { return std::intptr_t{vresourceGetAtCharacter(a, i)}; }},
    {vresBOOLEAN, [](vresource a, std::int32_t i) { return std::intptr_t{vresourceGetAtBoolean(a, i)}; }},
};
void storeGetArray(vresource h, vname tag, std::intptr_t** entries, std::size_t* count) {
  vresource a = vresourceGet(h, tag);
  int kind = vresourceGetElementType(a);
  auto n = static_cast<std::size_t>(vresourceCount(a));
  std::intptr_t (*read)(vresource, std::int32_t) = nullptr;
  for (const ArrayRead& r : arrayReads)
    if (r.kind == kind) read = r.read;
  std::intptr_t* out = n ? static_cast<std::intptr_t*>(vmemAlloc(n * sizeof(std::intptr_t))) : nullptr;
  vexGuard(
      [&] {
        for (std::size_t i = 0; i < n; ++i) {
          auto at = static_cast<std::int32_t>(i);
          // Elements of untyped arrays are all zero; the others are resources.
          out[i] = read ? read(a, at) : kind == vresUNTYPED ? 0 : std::intptr_t{vresourceGetAt(a, at)};
        }
      },
      [&](vexHandler&) {
        if (out) vmemFree(out);
        _vexGenerate(nullptr, vexEnd);
      });
  *entries = out;
  *count = n;
}
template <void (*get)(vresource, vname, std::intptr_t**, std::size_t*)>
int testGetArray(vresource h, vname tag, std::intptr_t** entries, std::size_t* count) {
  _vresourceRequireOut(entries);
  _vresourceRequireOut(count);
  vresource child;
  if (!vresourceTestGet(h, tag, &child)) return 0;
  get(h, tag, entries, count);
  return 1;
}
vscribe* getAtString(vresource h, std::int32_t i) {
  std::string s = vresourceGetAtStringText(h, i);
  return vstrScribe(vstrClone(s.c_str()));  // the text outlives s
}
// A scribe is read whole, then stored as characters and a count.
std::string scribeText(vscribe* text) {
  char* s = vscribeCreateString(text);
  std::string out = s;
  vscribeFreeString(s);
  return out;
}
void setString(vresource h, vname tag, vscribe* text) {
  std::string s = scribeText(text);
  vresourceSetStringSized(h, tag, s.data(), s.size());
}
void setAtString(vresource h, std::int32_t i, vscribe* text) {
  std::string s = scribeText(text);
  vresourceSetAtStringSized(h, i, s.data(), s.size());
}
void fileReserved(vresource) {}

void fillShared(vresourceSlotFn* t, bool store) {
  t[vresourceSlotFileReserved] = _vresourceSlot(fileReserved);
  t[vresourceSlotGetArray] = _vresourceSlot(store ? storeGetArray : refuseArray);
  t[vresourceSlotTestGetArray] = store ? _vresourceSlot(testGetArray<storeGetArray>) : _vresourceSlot(testGetArray<refuseArray>);
  t[vresourceSlotGetAtString] = _vresourceSlot(getAtString);
  t[vresourceSlotSetAtString] = _vresourceSlot(setAtString);
  if (!t[vresourceSlotSetString]) t[vresourceSlotSetString] = _vresourceSlot(setString);
  if (store) {
    t[vresourceSlotTestGetFixed] = _vresourceSlot(testGetBy<vresourceGetFixed, std::int32_t, vresFIXED>);
    t[vresourceSlotTestGetFloat] = _vresourceSlot(testGetBy<vresourceGetFloat, double, vresFLOAT>);
    t[vresourceSlotTestGetStringCopy] = _vresourceSlot(testGetBy<stringCopy, vstr*, vresSTRING>);
    t[vresourceSlotTestGetString] = _vresourceSlot(testGetBy<vresourceGetString, vscribe*, vresSTRING>);
    t[vresourceSlotTestGetStringRange] = _vresourceSlot(testGetStringRange<vresSTRING>);
    t[vresourceSlotTestGetBoolean] = _vresourceSlot(testGetBy<vresourceGetBoolean, int, vresBOOLEAN>);
    t[vresourceSlotTestGetOpaque] = _vresourceSlot(testGetOpaque<vresOPAQUE>);
    t[vresourceSlotTestGetCharacter] = _vresourceSlot(testGetBy<vresourceGetCharacter, char, vresCHARACTER>);
  } else {
    t[vresourceSlotTestGetTag] = _vresourceSlot(testGetBy<vresourceGetTag, vname, 0>);
    t[vresourceSlotTestGetInteger] = _vresourceSlot(testGetBy<vresourceGetInteger, std::int32_t, 0>);
    t[vresourceSlotTestGetFixed] = _vresourceSlot(testGetBy<vresourceGetFixed, std::int32_t, 0>);
    t[vresourceSlotTestGetFloat] = _vresourceSlot(testGetBy<vresourceGetFloat, double, 0>);
    t[vresourceSlotTestGetStringCopy] = _vresourceSlot(testGetBy<stringCopy, vstr*, 0>);
    t[vresourceSlotTestGetString] = _vresourceSlot(testGetBy<vresourceGetString, vscribe*, 0>);
    t[vresourceSlotTestGetStringRange] = _vresourceSlot(testGetStringRange<0>);
    t[vresourceSlotTestGetBoolean] = _vresourceSlot(testGetBy<vresourceGetBoolean, int, 0>);
    t[vresourceSlotTestGetOpaque] = _vresourceSlot(testGetOpaque<0>);
    t[vresourceSlotTestGetCharacter] = _vresourceSlot(testGetBy<vresourceGetCharacter, char, 0>);
  }
}

void fillStore(vresourceSlotFn* t) {
  t[vresourceSlotOpenFile] = _vresourceSlot(vrstoreOpenFile);
  t[vresourceSlotOpenImage] = _vresourceSlot(storeOpenImage);
  t[vresourceSlotCreateFile] = _vresourceSlot(vrstoreCreateFile);
  t[vresourceSlotCreateMemory] = _vresourceSlot(vrstoreCreateMemory);
  t[vresourceSlotLoadFile] = _vresourceSlot(vrstoreLoadFile);
  t[vresourceSlotSaveFile] = _vresourceSlot(vrstoreSaveFile);
  t[vresourceSlotCopyFile] = _vresourceSlot(vrstoreCopyFile);
  t[vresourceSlotCloseFile] = _vresourceSlot(vrstoreCloseFile);
  t[vresourceSlotReleaseFile] = _vresourceSlot(vrstoreCloseFile);
  t[vresourceSlotFlushFile] = _vresourceSlot(vrstoreFlushFile);
  t[vresourceSlotWriteSource] = _vresourceSlot(vrstoreWriteSource);
  t[vresourceSlotGetFile] = _vresourceSlot(vrstoreGetFile);
  t[vresourceSlotMake] = _vresourceSlot(vrstoreMake);
  t[vresourceSlotCreate] = _vresourceSlot(vrstoreCreate);
  t[vresourceSlotMakeArray] = _vresourceSlot(vrstoreMakeArray);
  t[vresourceSlotCreateArray] = _vresourceSlot(vrstoreCreateArray);
  t[vresourceSlotCreateAt] = _vresourceSlot(vrstoreCreateAt);
  t[vresourceSlotRemove] = _vresourceSlot(vrstoreRemove);
  t[vresourceSlotRemoveAt] = _vresourceSlot(vrstoreRemoveAt);
  t[vresourceSlotGet] = _vresourceSlot(vrstoreGet);
  t[vresourceSlotGetTag] = _vresourceSlot(vrstoreGetTag);
  t[vresourceSlotGetInteger] = _vresourceSlot(vrstoreGetInteger);
  t[vresourceSlotGetFixed] = _vresourceSlot(vrstoreGetFixed);
  t[vresourceSlotGetFloat] = _vresourceSlot(vrstoreGetFloat);
  t[vresourceSlotGetString] = _vresourceSlot(vrstoreGetString);
  t[vresourceSlotGetStringRange] = _vresourceSlot(storeStringRange);
  t[vresourceSlotGetAtStringRange] = _vresourceSlot(storeAtStringRange);
  t[vresourceSlotGetAtOpaque] = _vresourceSlot(vrstoreGetAtOpaque);
  t[vresourceSlotGetBoolean] = _vresourceSlot(vrstoreGetBoolean);
  t[vresourceSlotGetOpaque] = _vresourceSlot(vrstoreGetOpaque);
  t[vresourceSlotGetCharacter] = _vresourceSlot(vrstoreGetCharacter);
  t[vresourceSlotTestGet] = _vresourceSlot(vrstoreTestGet);
  t[vresourceSlotTestGetTag] = _vresourceSlot(vrstoreTestGetTag);
  t[vresourceSlotTestGetInteger] = _vresourceSlot(vrstoreTestGetInteger);
  t[vresourceSlotGetAt] = _vresourceSlot(vrstoreGetAt);
  t[vresourceSlotGetAtTag] = _vresourceSlot(vrstoreGetAtTag);
  t[vresourceSlotGetAtInteger] = _vresourceSlot(vrstoreGetAtInteger);
  t[vresourceSlotGetAtFixed] = _vresourceSlot(vrstoreGetAtFixed);
  t[vresourceSlotGetAtFloat] = _vresourceSlot(vrstoreGetAtFloat);
  t[vresourceSlotGetAtBoolean] = _vresourceSlot(vrstoreGetAtBoolean);
  t[vresourceSlotGetAtCharacter] = _vresourceSlot(vrstoreGetAtCharacter);
  t[vresourceSlotSetTag] = _vresourceSlot(vrstoreSetTag);
  t[vresourceSlotSetInteger] = _vresourceSlot(vrstoreSetInteger);
  t[vresourceSlotSetFixed] = _vresourceSlot(vrstoreSetFixed);
  t[vresourceSlotSetFloat] = _vresourceSlot(vrstoreSetFloat);
  t[vresourceSlotSetString] = _vresourceSlot(vrstoreSetString);
  t[vresourceSlotSetStringSized] = _vresourceSlot(vrstoreSetStringSized);
  t[vresourceSlotSetBoolean] = _vresourceSlot(vrstoreSetBoolean);
  t[vresourceSlotSetOpaque] = _vresourceSlot(vrstoreSetOpaque);
  t[vresourceSlotSetCharacter] = _vresourceSlot(vrstoreSetCharacter);
  t[vresourceSlotSetAtTag] = _vresourceSlot(vrstoreSetAtTag);
  t[vresourceSlotSetAtInteger] = _vresourceSlot(vrstoreSetAtInteger);
  t[vresourceSlotSetAtFixed] = _vresourceSlot(vrstoreSetAtFixed);
  t[vresourceSlotSetAtFloat] = _vresourceSlot(vrstoreSetAtFloat);
  t[vresourceSlotSetAtStringSized] = _vresourceSlot(vrstoreSetAtStringSized);
  t[vresourceSlotSetAtBoolean] = _vresourceSlot(vrstoreSetAtBoolean);
  t[vresourceSlotSetAtOpaque] = _vresourceSlot(vrstoreSetAtOpaque);
  t[vresourceSlotSetAtCharacter] = _vresourceSlot(vrstoreSetAtCharacter);
  t[vresourceSlotInsertAt] = _vresourceSlot(vrstoreInsertAt);
  t[vresourceSlotInsertAtTag] = _vresourceSlot(vrstoreInsertAtTag);
  t[vresourceSlotInsertAtInteger] = _vresourceSlot(vrstoreInsertAtInteger);
  t[vresourceSlotInsertAtFixed] = _vresourceSlot(vrstoreInsertAtFixed);
  t[vresourceSlotInsertAtFloat] = _vresourceSlot(vrstoreInsertAtFloat);
  t[vresourceSlotInsertAtBoolean] = _vresourceSlot(vrstoreInsertAtBoolean);
  t[vresourceSlotInsertAtCharacter] = _vresourceSlot(vrstoreInsertAtCharacter);
  t[vresourceSlotFind] = _vresourceSlot(vrstoreFind);
  t[vresourceSlotFindAt] = _vresourceSlot(vrstoreFindAt);
  t[vresourceSlotCount] = _vresourceSlot(vrstoreCount);
  t[vresourceSlotGetTagAt] = _vresourceSlot(vrstoreGetTagAt);
  t[vresourceSlotGetTagAtOnly] = _vresourceSlot(vrstoreGetTagAtOnly);
  t[vresourceSlotRenameTag] = _vresourceSlot(vrstoreRenameTag);
  t[vresourceSlotGetParent] = _vresourceSlot(vrstoreGetParent);
  t[vresourceSlotGetRoot] = _vresourceSlot(vrstoreGetRoot);
  t[vresourceSlotGetSize] = _vresourceSlot(vrstoreGetSize);
  t[vresourceSlotGetStringLength] = _vresourceSlot(vrstoreGetStringLength);
  t[vresourceSlotGetType] = _vresourceSlot(vrstoreGetType);
  t[vresourceSlotGetElementType] = _vresourceSlot(vrstoreGetElementType);
  t[vresourceSlotSetCount] = _vresourceSlot(vrstoreSetCount);
  t[vresourceSlotGetNumber] = _vresourceSlot(vrstoreGetNumber);
  t[vresourceSlotFromNumber] = _vresourceSlot(vrstoreFromNumber);
}

vresourceTableSet build() {
  vresourceTableSet t{};
  fillStore(t.slots[0]);
  fillShared(t.slots[0], true);
  _newresourceFill(t.slots[1]);
  fillShared(t.slots[1], false);
  _vresourceFillScrapSlots(t.slots[0]);
  _vresourceFillScrapSlots(t.slots[1]);
  return t;
}

}  // namespace

// A chunk file gives a scalar entry a row of its own only by writing,
// which a read-only file refuses: this asks without taking a handle.
bool _vresourceHas(vresource h, vname tag) {
  vresource child;
  return h < 0 ? _newresourceHas(h, tag) : vrstoreTestGet(h, tag, &child) != 0;
}

const vresourceTableSet vresourceTables = build();

void _vresourceUnbuilt(int table, int slot) {
  vexGenerateMessage(&vexArgClass, table ? "Operation not available for chunk-file resources"
                                         : "Operation not available for resource-file resources");
  (void)slot;
}

void vresourceSetObserver(void (*f)(vresource root, int closing)) {
  observer = f;
  vrstoreSetObserver(f);
}
void _vresourceRequireOut(void* out) {
  if (!out) vexGenerateMessage(&vexArgClass, "No place for the result");
}
void _vresourceNotify(vresource root, int closing) {
  if (observer) observer(root, closing);
}


int vresourceFileTable(const vfsPath* path) { return vresourceTestFile(path) ? 1 : 0; }

std::string vresourceGetStringText(vresource h, vname tag) {
  return h < 0 ? _newresourceStringText(h, tag) : vrstoreGetStringText(h, tag);
}
std::string vresourceGetAtStringText(vresource h, std::int32_t index) {
  return h < 0 ? _newresourceAtStringText(h, index) : vrstoreGetAtStringText(h, index);
}
std::uint32_t vresourceDepthLimit(vresource) { return std::uint32_t(vscrapMAX_DEPTH); }
