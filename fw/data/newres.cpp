// The chunk-file store behind negative handles: its open-file table, and
// the resource operations over the typed-resource layer.
#include <cstring>
#include <vector>

#include "fw/core/mem.h"
#include "fw/data/resfile.h"
#include "fw/data/vresource.h"
#include "fw/data/vresource_internal.h"

namespace {

// Entries are none once closed; the lowest free entry is reused first.
std::vector<vresFile*> files;

// A memory file's fixed block: the chunk layer drops writes past it.
constexpr std::size_t MEMORY_SIZE = 256 * vchunkBLOCK;

std::uint32_t numberOf(vresource h) { return static_cast<std::uint32_t>(h) & 0xFFFFFFu; }
std::uint32_t indexOf(vresource h) { return (static_cast<std::uint32_t>(h) >> 24) & 0x7Fu; }

vresFile* fileOf(vresource h) {
  std::uint32_t i = indexOf(h);
  if (h >= 0 || i >= files.size() || !files[i]) vexGenerateMessage(&vexArgClass, "Resource file is not open");
  return files[i];
}
vresource handleOf(vresFile* f, std::uint32_t n) { return newresourceHandle(f->openIndex, n); }

vresource registerFile(vresFile* f) {
  std::size_t i = 0;
  while (i < files.size() && files[i]) ++i;
  if (i == files.size()) {
    if (files.size() == static_cast<std::size_t>(newresourceMAX_FILES)) {
      vresFileDestroy(f);
      vexGenerateMessage(&vexModuleLimitClass, "Too many resource files open.");
    }
    if (files.size() == files.capacity()) files.reserve(files.empty() ? 5 : 2 * files.capacity());
    files.push_back(nullptr);
  }
  files[i] = f;
  f->openIndex = static_cast<std::uint8_t>(i);
  vresource root = handleOf(f, 1);
  _vresourceNotify(root, 0);
  return root;
}

vresource createMemory() {
  void* block = vmemAlloc(MEMORY_SIZE);
  std::memset(block, 0, MEMORY_SIZE);
  return registerFile(vresFileCreate(vchunkCreate(vchunkMemoryDataCreate(block, MEMORY_SIZE, true, true))));
}

void closeFile(vresource root) {
  vresFile* f = fileOf(root);
  _vresourceNotify(handleOf(f, 1), 1);
  files[f->openIndex] = nullptr;
  vresFileDestroy(f);
}
void flushFile(vresource root) { vresFileWrite(fileOf(root)); }

// The object standing for h itself (no tag) or its entry under tag; it
// goes when the operation returns.
struct Obj {
  vres* o;
  explicit Obj(vres* made) : o(made) {}
  ~Obj() { vinstanceDestroy(o); }
  Obj(const Obj&) = delete;
  Obj& operator=(const Obj&) = delete;
};
vres* objectOf(vresource h, vname tag) {
  vresFile* f = fileOf(h);
  if (!tag) return vresMakeIndex(f, numberOf(h));
  return vresMakeDictElement(f, numberOf(h), tag);
}
vres* elementOf(vresource h, std::int32_t i) { return vresMakeArrayElement(fileOf(h), numberOf(h), i); }

// The entry under tag, made with the kind when absent.
vres* ensure(vresource h, vname tag, int kind) {
  if (tag) {
    Obj dict(vresMakeIndex(fileOf(h), numberOf(h)));
    if (!vresDictHas(dict.o, tag)) vresDictMakeEntry(dict.o, tag, kind);
  }
  return objectOf(h, tag);
}
// The handle of the resource o stands for: its container row or its own.
vresource handleOfObject(vresource h, vres* o) {
  int kind = vresGetType(o);
  std::uint32_t n = kind == vresDICTIONARY ? vresDictRow(o)
                    : kind == vresARRAY    ? vresArrayRow(o)
                                           : vclassRec<vresClassRec>(o)->getId(o);
  if (n == 0) vexGenerateMessage(&vexArgClass, "Resource has no number of its own");
  return handleOf(fileOf(h), n);
}

vresource create(vresource h, vname tag, int kind) {
  if (tag) {
    Obj dict(vresMakeIndex(fileOf(h), numberOf(h)));
    if (vresDictHas(dict.o, tag))
      vresDictSetEntryKind(dict.o, tag, kind);
    else
      vresDictMakeEntry(dict.o, tag, kind);
  }
  Obj o(objectOf(h, tag));
  if (!tag) vresSetType(o.o, kind);
  return handleOfObject(h, o.o);
}
// Nothing when absent; what was under the entry goes with it.
void removeEntry(vresource h, vname tag) {
  {
    Obj dict(objectOf(h, nullptr));
    if (!vresDictHas(dict.o, tag)) return;
  }
  vres* o = objectOf(h, tag);
  vclassRec<vresClassRec>(o)->remove(o);  // destroys o
}
vresource createArray(vresource h, vname tag, int elementKind, std::int32_t count) {
  vresource a = create(h, tag, vresARRAY);
  Obj o(objectOf(a, nullptr));
  vresArraySetCount(o.o, 0);
  vresArraySetElementKind(o.o, elementKind);
  vresArraySetCount(o.o, count);
  return a;
}
vresource createAt(vresource h, std::int32_t i, int kind) {
  Obj o(elementOf(h, i));
  vresSetType(o.o, kind);
  return handleOfObject(h, o.o);
}
vresource get(vresource h, vname tag) {
  Obj o(objectOf(h, tag));
  return handleOfObject(h, o.o);
}
vresource getAt(vresource h, std::int32_t i) {
  Obj o(elementOf(h, i));
  return handleOfObject(h, o.o);
}

template <class T, T (*read)(vres*)>
T getBy(vresource h, vname tag) {
  Obj o(objectOf(h, tag));
  return read(o.o);
}
template <class T, void (*write)(vres*, T), int kind>
void setBy(vresource h, vname tag, T v) {
  Obj o(ensure(h, tag, kind));
  write(o.o, v);
}
template <class T, T (*read)(vres*)>
T getAtBy(vresource h, std::int32_t i) {
  Obj o(elementOf(h, i));
  return read(o.o);
}
// An element of an untyped array takes the kind of the value written.
template <class T, void (*write)(vres*, T), int kind>
void setAtBy(vresource h, std::int32_t i, T v) {
  Obj o(elementOf(h, i));
  if (vresGetType(o.o) == vresUNTYPED) vresSetType(o.o, kind);
  write(o.o, v);
}

std::string textOf(vres* o) {
  std::string text(vresGetStringLength(o), '\0');
  vresReadString(o, 0, text.size(), text.data());
  return text;
}
void setText(vres* o, const char* text, std::size_t count) { vresSetString(o, vscribeCStringSized(text, count)); }
void setStringSized(vresource h, vname tag, const char* text, std::size_t count) {
  Obj o(ensure(h, tag, vresSTRING));
  setText(o.o, text, count);
}
void setAtStringSized(vresource h, std::int32_t i, const char* text, std::size_t count) {
  Obj o(elementOf(h, i));
  setText(o.o, text, count);
}
void* getOpaque(vresource h, vname tag, std::size_t* length) {
  Obj o(objectOf(h, tag));
  *length = vresGetOpaqueSize(o.o);
  if (*length == 0) return nullptr;
  void* copy = vmemAlloc(*length);
  std::memcpy(copy, vresGetOpaqueData(o.o), *length);
  vresReleaseOpaqueData(o.o, 0);
  return copy;
}
void setOpaque(vresource h, vname tag, const void* bytes, std::size_t length) {
  Obj o(ensure(h, tag, vresOPAQUE));
  vresSetOpaqueSize(o.o, static_cast<std::uint32_t>(length));
  if (length == 0) return;
  std::memcpy(vresGetOpaqueData(o.o), bytes, length);
  vresReleaseOpaqueData(o.o, 1);
}

[[noreturn]] void getArray(vresource, vname) {
  vexGenerateMessage(&vexArgClass, "vresourceGetArray() is deprecated. Manipulate array elements individually.");
}

std::int32_t count(vresource h) {
  Obj o(objectOf(h, nullptr));
  return vresGetType(o.o) == vresARRAY ? vresArrayCount(o.o) : vresDictCount(o.o);
}
vname tagAtOnly(vresource h, std::int32_t i) {
  Obj o(objectOf(h, nullptr));
  return vresDictTagAt(o.o, i);
}
int testGet(vresource h, vname tag, vresource* out) {
  {
    Obj dict(objectOf(h, nullptr));
    if (!vresDictHas(dict.o, tag)) return 0;
  }
  *out = get(h, tag);
  return 1;
}
vresource getTagAt(vresource h, std::int32_t i, vname* tag) {
  vname t = tagAtOnly(h, i);
  if (tag) *tag = t;
  return get(h, t);
}
void insertRaw(vresource h, std::int32_t i) {
  Obj a(objectOf(h, nullptr));
  vresArrayInsert(a.o, i);
}
vresource insertAt(vresource h, std::int32_t i, int kind) {
  insertRaw(h, i);
  return createAt(h, i, kind);
}
template <class T, void (*write)(vres*, T), int kind>
void insertAtBy(vresource h, std::int32_t i, T v) {
  insertRaw(h, i);
  setAtBy<T, write, kind>(h, i, v);
}

vresource parent(vresource h) {
  vresFile* f = fileOf(h);
  std::uint32_t p = vresFileParent(f, numberOf(h));
  return p ? handleOf(f, p) : 0;
}
vresource root(vresource h) { return handleOf(fileOf(h), 1); }
std::size_t stringLength(vresource h) { return getBy<std::size_t, vresGetStringLength>(h, nullptr); }
int type(vresource h, vname tag) { return getBy<int, vresGetType>(h, tag); }
int elementType(vresource h) { return getBy<int, vresArrayElementKind>(h, nullptr); }
std::uint32_t number(vresource h) {
  fileOf(h);
  return numberOf(h);
}
vresource fromNumber(vresource h, std::uint32_t n) { return handleOf(fileOf(h), n & 0xFFFFFFu); }

template <class F>
vresourceSlotFn slot(F* f) {
  return reinterpret_cast<vresourceSlotFn>(f);
}

}  // namespace

std::string _newresourceStringText(vresource h, vname tag) {
  Obj o(objectOf(h, tag));
  return textOf(o.o);
}
std::string _newresourceAtStringText(vresource h, std::int32_t i) {
  Obj o(elementOf(h, i));
  return textOf(o.o);
}

void _newresourceFill(vresourceSlotFn* t) {
  t[vresourceSlotCreateMemory] = slot(createMemory);
  t[vresourceSlotCloseFile] = slot(closeFile);
  t[vresourceSlotReleaseFile] = slot(closeFile);
  t[vresourceSlotFlushFile] = slot(flushFile);
  t[vresourceSlotFileReserved] = slot(+[] {});
  t[vresourceSlotCreate] = slot(create);
  t[vresourceSlotCreateArray] = slot(createArray);
  t[vresourceSlotCreateAt] = slot(createAt);
  t[vresourceSlotRemove] = slot(removeEntry);
  t[vresourceSlotGet] = slot(get);
  t[vresourceSlotGetTag] = slot(getBy<vname, vresGetTagValue>);
  t[vresourceSlotGetInteger] = slot(getBy<std::int32_t, vresGetInteger>);
  t[vresourceSlotGetFixed] = slot(getBy<std::int32_t, vresGetFixed>);
  t[vresourceSlotGetFloat] = slot(getBy<double, vresGetFloat>);
  t[vresourceSlotGetBoolean] = slot(getBy<int, vresGetBoolean>);
  t[vresourceSlotGetCharacter] = slot(getBy<char, vresGetCharacter>);
  t[vresourceSlotGetOpaque] = slot(getOpaque);
  t[vresourceSlotGetArray] = slot(getArray);
  t[vresourceSlotGetAt] = slot(getAt);
  t[vresourceSlotGetAtTag] = slot(getAtBy<vname, vresGetTagValue>);
  t[vresourceSlotGetAtInteger] = slot(getAtBy<std::int32_t, vresGetInteger>);
  t[vresourceSlotGetAtFixed] = slot(getAtBy<std::int32_t, vresGetFixed>);
  t[vresourceSlotGetAtFloat] = slot(getAtBy<double, vresGetFloat>);
  t[vresourceSlotGetAtBoolean] = slot(getAtBy<int, vresGetBoolean>);
  t[vresourceSlotGetAtCharacter] = slot(getAtBy<char, vresGetCharacter>);
  t[vresourceSlotSetTag] = slot(setBy<vname, vresSetTagValue, vresTAG>);
  t[vresourceSlotSetInteger] = slot(setBy<std::int32_t, vresSetInteger, vresINTEGER>);
  t[vresourceSlotSetFixed] = slot(setBy<std::int32_t, vresSetFixed, vresFIXED>);
  t[vresourceSlotSetFloat] = slot(setBy<double, vresSetFloat, vresFLOAT>);
  t[vresourceSlotSetBoolean] = slot(setBy<int, vresSetBoolean, vresBOOLEAN>);
  t[vresourceSlotSetCharacter] = slot(setBy<char, vresSetCharacter, vresCHARACTER>);
  t[vresourceSlotSetStringSized] = slot(setStringSized);
  t[vresourceSlotSetOpaque] = slot(setOpaque);
  t[vresourceSlotSetAtTag] = slot(setAtBy<vname, vresSetTagValue, vresTAG>);
  t[vresourceSlotSetAtInteger] = slot(setAtBy<std::int32_t, vresSetInteger, vresINTEGER>);
  t[vresourceSlotSetAtFixed] = slot(setAtBy<std::int32_t, vresSetFixed, vresFIXED>);
  t[vresourceSlotSetAtFloat] = slot(setAtBy<double, vresSetFloat, vresFLOAT>);
  t[vresourceSlotSetAtBoolean] = slot(setAtBy<int, vresSetBoolean, vresBOOLEAN>);
  t[vresourceSlotSetAtCharacter] = slot(setAtBy<char, vresSetCharacter, vresCHARACTER>);
  t[vresourceSlotSetAtStringSized] = slot(setAtStringSized);
  t[vresourceSlotTestGet] = slot(testGet);
  t[vresourceSlotGetTagAt] = slot(getTagAt);
  t[vresourceSlotInsertAt] = slot(insertAt);
  t[vresourceSlotInsertAtTag] = slot(insertAtBy<vname, vresSetTagValue, vresTAG>);
  t[vresourceSlotInsertAtInteger] = slot(insertAtBy<std::int32_t, vresSetInteger, vresINTEGER>);
  t[vresourceSlotInsertAtFixed] = slot(insertAtBy<std::int32_t, vresSetFixed, vresFIXED>);
  t[vresourceSlotInsertAtFloat] = slot(insertAtBy<double, vresSetFloat, vresFLOAT>);
  t[vresourceSlotInsertAtBoolean] = slot(insertAtBy<int, vresSetBoolean, vresBOOLEAN>);
  t[vresourceSlotInsertAtCharacter] = slot(insertAtBy<char, vresSetCharacter, vresCHARACTER>);
  t[vresourceSlotCount] = slot(count);
  t[vresourceSlotGetTagAtOnly] = slot(tagAtOnly);
  t[vresourceSlotGetParent] = slot(parent);
  t[vresourceSlotGetRoot] = slot(root);
  t[vresourceSlotGetStringLength] = slot(stringLength);
  t[vresourceSlotGetType] = slot(type);
  t[vresourceSlotGetElementType] = slot(elementType);
  t[vresourceSlotGetNumber] = slot(number);
  t[vresourceSlotFromNumber] = slot(fromNumber);
}
