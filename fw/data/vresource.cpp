// The two routing tables and what both stores share: the open/close
// observer and the reads a copy between them needs.
#include "fw/data/vresource.h"

#include "fw/core/ex.h"
#include "fw/core/fs.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource_internal.h"
#include "fw/data/vrstore_internal.h"

namespace {

void (*observer)(vresource, int) = nullptr;

template <class F>
vresourceSlotFn slot(F* f) {
  return reinterpret_cast<vresourceSlotFn>(f);
}

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
  vresource child;
  if (!vresourceTestGet(h, tag, &child) || (kind && vresourceGetType(h, tag) != kind)) return 0;
  *out = get(h, tag);
  return 1;
}
vstr* stringCopy(vresource h, vname tag) { return vstrCloneScribed(vresourceGetString(h, tag), nullptr); }
template <int kind>
int testGetStringRange(vresource h, vname tag, std::size_t offset, char* buffer, std::size_t maximum,
                       std::size_t* count) {
  vresource child;
  if (!vresourceTestGet(h, tag, &child) || (kind && vresourceGetType(h, tag) != kind)) return 0;
  vresourceGetStringRange(h, tag, offset, buffer, maximum, count);
  return 1;
}
template <int kind>
int testGetOpaque(vresource h, vname tag, void** out, std::size_t* length) {
  vresource child;
  if (!vresourceTestGet(h, tag, &child) || (kind && vresourceGetType(h, tag) != kind)) return 0;
  *out = vresourceGetOpaque(h, tag, length);
  return 1;
}
[[noreturn]] void* getArray(vresource, vname) {
  vexGenerateMessage(&vexArgClass, "vresourceGetArray() is deprecated. Manipulate array elements individually.");
}
int testGetArray(vresource h, vname tag, void** out) {
  vresource child;
  if (!vresourceTestGet(h, tag, &child)) return 0;
  *out = getArray(h, tag);
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
  t[vresourceSlotFileReserved] = slot(fileReserved);
  t[vresourceSlotGetArray] = slot(getArray);
  t[vresourceSlotTestGetArray] = slot(testGetArray);
  t[vresourceSlotGetAtString] = slot(getAtString);
  t[vresourceSlotSetAtString] = slot(setAtString);
  if (!t[vresourceSlotSetString]) t[vresourceSlotSetString] = slot(setString);
  if (store) {
    t[vresourceSlotTestGetFixed] = slot(testGetBy<vresourceGetFixed, std::int32_t, vresFIXED>);
    t[vresourceSlotTestGetFloat] = slot(testGetBy<vresourceGetFloat, double, vresFLOAT>);
    t[vresourceSlotTestGetStringCopy] = slot(testGetBy<stringCopy, vstr*, vresSTRING>);
    t[vresourceSlotTestGetString] = slot(testGetBy<vresourceGetString, vscribe*, vresSTRING>);
    t[vresourceSlotTestGetStringRange] = slot(testGetStringRange<vresSTRING>);
    t[vresourceSlotTestGetBoolean] = slot(testGetBy<vresourceGetBoolean, int, vresBOOLEAN>);
    t[vresourceSlotTestGetOpaque] = slot(testGetOpaque<vresOPAQUE>);
    t[vresourceSlotTestGetCharacter] = slot(testGetBy<vresourceGetCharacter, char, vresCHARACTER>);
  } else {
    t[vresourceSlotTestGetTag] = slot(testGetBy<vresourceGetTag, vname, 0>);
    t[vresourceSlotTestGetInteger] = slot(testGetBy<vresourceGetInteger, std::int32_t, 0>);
    t[vresourceSlotTestGetFixed] = slot(testGetBy<vresourceGetFixed, std::int32_t, 0>);
    t[vresourceSlotTestGetFloat] = slot(testGetBy<vresourceGetFloat, double, 0>);
    t[vresourceSlotTestGetStringCopy] = slot(testGetBy<stringCopy, vstr*, 0>);
    t[vresourceSlotTestGetString] = slot(testGetBy<vresourceGetString, vscribe*, 0>);
    t[vresourceSlotTestGetStringRange] = slot(testGetStringRange<0>);
    t[vresourceSlotTestGetBoolean] = slot(testGetBy<vresourceGetBoolean, int, 0>);
    t[vresourceSlotTestGetOpaque] = slot(testGetOpaque<0>);
    t[vresourceSlotTestGetCharacter] = slot(testGetBy<vresourceGetCharacter, char, 0>);
  }
}

void fillStore(vresourceSlotFn* t) {
  t[vresourceSlotOpenFile] = slot(vrstoreOpenFile);
  t[vresourceSlotOpenImage] = slot(storeOpenImage);
  t[vresourceSlotCreateFile] = slot(vrstoreCreateFile);
  t[vresourceSlotCreateMemory] = slot(vrstoreCreateMemory);
  t[vresourceSlotLoadFile] = slot(vrstoreLoadFile);
  t[vresourceSlotSaveFile] = slot(vrstoreSaveFile);
  t[vresourceSlotCopyFile] = slot(vrstoreCopyFile);
  t[vresourceSlotCloseFile] = slot(vrstoreCloseFile);
  t[vresourceSlotReleaseFile] = slot(vrstoreCloseFile);
  t[vresourceSlotFlushFile] = slot(vrstoreFlushFile);
  t[vresourceSlotWriteSource] = slot(vrstoreWriteSource);
  t[vresourceSlotGetFile] = slot(vrstoreGetFile);
  t[vresourceSlotMake] = slot(vrstoreMake);
  t[vresourceSlotCreate] = slot(vrstoreCreate);
  t[vresourceSlotMakeArray] = slot(vrstoreMakeArray);
  t[vresourceSlotCreateArray] = slot(vrstoreCreateArray);
  t[vresourceSlotCreateAt] = slot(vrstoreCreateAt);
  t[vresourceSlotRemove] = slot(vrstoreRemove);
  t[vresourceSlotRemoveAt] = slot(vrstoreRemoveAt);
  t[vresourceSlotGet] = slot(vrstoreGet);
  t[vresourceSlotGetTag] = slot(vrstoreGetTag);
  t[vresourceSlotGetInteger] = slot(vrstoreGetInteger);
  t[vresourceSlotGetFixed] = slot(vrstoreGetFixed);
  t[vresourceSlotGetFloat] = slot(vrstoreGetFloat);
  t[vresourceSlotGetString] = slot(vrstoreGetString);
  t[vresourceSlotGetStringRange] = slot(storeStringRange);
  t[vresourceSlotGetAtStringRange] = slot(storeAtStringRange);
  t[vresourceSlotGetAtOpaque] = slot(vrstoreGetAtOpaque);
  t[vresourceSlotGetBoolean] = slot(vrstoreGetBoolean);
  t[vresourceSlotGetOpaque] = slot(vrstoreGetOpaque);
  t[vresourceSlotGetCharacter] = slot(vrstoreGetCharacter);
  t[vresourceSlotTestGet] = slot(vrstoreTestGet);
  t[vresourceSlotTestGetTag] = slot(vrstoreTestGetTag);
  t[vresourceSlotTestGetInteger] = slot(vrstoreTestGetInteger);
  t[vresourceSlotGetAt] = slot(vrstoreGetAt);
  t[vresourceSlotGetAtTag] = slot(vrstoreGetAtTag);
  t[vresourceSlotGetAtInteger] = slot(vrstoreGetAtInteger);
  t[vresourceSlotGetAtFixed] = slot(vrstoreGetAtFixed);
  t[vresourceSlotGetAtFloat] = slot(vrstoreGetAtFloat);
  t[vresourceSlotGetAtBoolean] = slot(vrstoreGetAtBoolean);
  t[vresourceSlotGetAtCharacter] = slot(vrstoreGetAtCharacter);
  t[vresourceSlotSetTag] = slot(vrstoreSetTag);
  t[vresourceSlotSetInteger] = slot(vrstoreSetInteger);
  t[vresourceSlotSetFixed] = slot(vrstoreSetFixed);
  t[vresourceSlotSetFloat] = slot(vrstoreSetFloat);
  t[vresourceSlotSetString] = slot(vrstoreSetString);
  t[vresourceSlotSetStringSized] = slot(vrstoreSetStringSized);
  t[vresourceSlotSetBoolean] = slot(vrstoreSetBoolean);
  t[vresourceSlotSetOpaque] = slot(vrstoreSetOpaque);
  t[vresourceSlotSetCharacter] = slot(vrstoreSetCharacter);
  t[vresourceSlotSetAtTag] = slot(vrstoreSetAtTag);
  t[vresourceSlotSetAtInteger] = slot(vrstoreSetAtInteger);
  t[vresourceSlotSetAtFixed] = slot(vrstoreSetAtFixed);
  t[vresourceSlotSetAtFloat] = slot(vrstoreSetAtFloat);
  t[vresourceSlotSetAtStringSized] = slot(vrstoreSetAtStringSized);
  t[vresourceSlotSetAtBoolean] = slot(vrstoreSetAtBoolean);
  t[vresourceSlotSetAtOpaque] = slot(vrstoreSetAtOpaque);
  t[vresourceSlotSetAtCharacter] = slot(vrstoreSetAtCharacter);
  t[vresourceSlotInsertAt] = slot(vrstoreInsertAt);
  t[vresourceSlotInsertAtTag] = slot(vrstoreInsertAtTag);
  t[vresourceSlotInsertAtInteger] = slot(vrstoreInsertAtInteger);
  t[vresourceSlotInsertAtFixed] = slot(vrstoreInsertAtFixed);
  t[vresourceSlotInsertAtFloat] = slot(vrstoreInsertAtFloat);
  t[vresourceSlotInsertAtBoolean] = slot(vrstoreInsertAtBoolean);
  t[vresourceSlotInsertAtCharacter] = slot(vrstoreInsertAtCharacter);
  t[vresourceSlotFind] = slot(vrstoreFind);
  t[vresourceSlotFindAt] = slot(vrstoreFindAt);
  t[vresourceSlotCount] = slot(vrstoreCount);
  t[vresourceSlotGetTagAt] = slot(vrstoreGetTagAt);
  t[vresourceSlotGetTagAtOnly] = slot(vrstoreGetTagAtOnly);
  t[vresourceSlotRenameTag] = slot(vrstoreRenameTag);
  t[vresourceSlotGetParent] = slot(vrstoreGetParent);
  t[vresourceSlotGetRoot] = slot(vrstoreGetRoot);
  t[vresourceSlotGetSize] = slot(vrstoreGetSize);
  t[vresourceSlotGetStringLength] = slot(vrstoreGetStringLength);
  t[vresourceSlotGetType] = slot(vrstoreGetType);
  t[vresourceSlotGetElementType] = slot(vrstoreGetElementType);
  t[vresourceSlotSetCount] = slot(vrstoreSetCount);
  t[vresourceSlotGetNumber] = slot(vrstoreGetNumber);
  t[vresourceSlotFromNumber] = slot(vrstoreFromNumber);
}

vresourceTableSet build() {
  vresourceTableSet t{};
  fillStore(t.slots[0]);
  fillShared(t.slots[0], true);
  _newresourceFill(t.slots[1]);
  fillShared(t.slots[1], false);
  return t;
}

}  // namespace

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
std::uint32_t vresourceDepthLimit(vresource h) {
  return h < 0 ? 0xFFFFFFu : vrs::entryOf(h).nextNumber;
}
