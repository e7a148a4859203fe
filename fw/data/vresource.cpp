// The two routing tables and what both stores share: the open/close
// observer and the reads a copy between them needs.
#include "fw/data/vresource.h"

#include "fw/core/ex.h"
#include "fw/data/vresource_internal.h"
#include "fw/data/vrstore_internal.h"

namespace {

void (*observer)(vresource, int) = nullptr;

template <class F>
vresourceSlotFn slot(F* f) {
  return reinterpret_cast<vresourceSlotFn>(f);
}

void fillStore(vresourceSlotFn* t) {
  t[vresourceSlotOpenFile] = slot(vrstoreOpenFile);
  t[vresourceSlotOpenImage] = slot(vrstoreOpenImage);
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
  t[vresourceSlotFileReserved] = slot(+[] {});
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
  _newresourceFill(t.slots[1]);
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

std::string vresourceGetStringText(vresource h, vname tag) {
  return h < 0 ? _newresourceStringText(h, tag) : vrstoreGetStringText(h, tag);
}
std::string vresourceGetAtStringText(vresource h, std::int32_t index) {
  return h < 0 ? _newresourceAtStringText(h, index) : vrstoreGetAtStringText(h, index);
}
std::uint32_t vresourceDepthLimit(vresource h) {
  return h < 0 ? 0xFFFFFFu : vrs::entryOf(h).nextNumber;
}
