// The chunk-file store behind negative handles: its open-file table, and
// the resource operations over the typed-resource layer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/fs.h"
#include "fw/core/mem.h"
#include "fw/data/resfile.h"
#include "fw/data/vresource.h"
#include "fw/data/vresource_internal.h"

namespace {

// Entries are none once closed; the lowest free entry is reused first.
std::vector<vresFile*> files;

// A memory file's first block; the chunk layer grows it.
constexpr std::size_t MEMORY_SIZE = 4 * vchunkBLOCK;
constexpr std::size_t LOAD_READ = 4096;

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

vchunkData* newMemory() {
  void* block = vmemAlloc(MEMORY_SIZE);
  std::memset(block, 0, MEMORY_SIZE);
  return vchunkMemoryDataCreate(block, MEMORY_SIZE, true, true);
}
vresource createMemory() { return registerFile(vresFileCreate(vchunkCreate(newMemory()))); }

// An existing file over source, which it takes over even when refused.
vresource openOver(vchunkData* source, bool readOnly) {
  vchunkFile* chunks = nullptr;
  vresFile* f = nullptr;
  vexGuard([&] { chunks = vchunkOpen(source); },
           [&](vexHandler&) {
             vchunkDataDestroy(source);
             _vexGenerate(nullptr, vexEnd);
           });
  vexGuard([&] { f = vresFileOpen(chunks); },
           [&](vexHandler&) {
             vchunkClose(chunks);  // nothing was changed: nothing is written
             _vexGenerate(nullptr, vexEnd);
           });
  f->store.readOnly = readOnly ? 1 : 0;
  return registerFile(f);
}

// Reading shares the file with other readers; writing keeps it to itself.
// Only a regular file is a store: a FIFO or a device is refused without waiting on it.
unsigned streamMode(int mode) {
  unsigned m = static_cast<unsigned>(mode) | vfsOPEN_DENY_WRITE | vfsOPEN_REGULAR;
  if (!(mode & vfsOPEN_READ)) m |= vfsOPEN_DENY_READ;
  return m;
}
vresource openFile(const vfsPath* path, int mode) {
  return openOver(vchunkFileDataCreate(vfsOpenFile(path, streamMode(mode))), (mode & vfsOPEN_READ) != 0);
}
vresource openImage(const void* image, std::size_t size) {
  return openOver(vchunkMemoryDataCreate(const_cast<void*>(image), size, false, false), true);
}

// The file at path written whole with f's bytes; for a target written in
// place (a device), the name of a private copy to read back.
std::string writeWhole(vresFile* f, const vfsPath* path, int permission, bool keepCopy = false) {
  vresFileWriteImage(f);
  return vchunkSaveToPath(f->chunks, path, permission, keepCopy);
}
// A new file is written whole and then opened; a failure leaves no file.
vresource createFile(const vfsPath* path, int permission) {
  vresFile* f = vresFileCreate(vchunkCreate(newMemory()));
  bool ok = vexTry([&] { writeWhole(f, path, permission); });
  vresFileDestroy(f);
  if (!ok) vexGenerateMessage(&vexAbandonClass, "Resource file cannot be created");
  return openFile(path, vfsOPEN_READ_WRITE);
}
vresource loadFile(const vfsPath* path);
vresource saveFile(vresource root, const vfsPath* path, int permission) {
  std::string copy = writeWhole(fileOf(root), path, permission, true);
  if (copy.empty()) return openFile(path, vfsOPEN_READ_WRITE);
  // A device cannot be read back: the saved file goes on in memory.
  vfsPath* at = vfsNewPathFromString(copy.c_str());
  vresource r = 0;
  bool ok = vexTry([&] { r = loadFile(at); });
  vfsFreePath(at);
  std::remove(copy.c_str());
  if (!ok) vexGenerateMessage(&vexAbandonClass, "Resource file cannot be created");
  return r;
}
vresource loadFile(const vfsPath* path) {
  vfsStream* s = vfsOpenFile(path, vfsOPEN_READ | vfsOPEN_REGULAR);
  std::size_t size = 0, capacity = LOAD_READ;
  auto* block = static_cast<std::uint8_t*>(vmemAlloc(capacity));
  vexGuard(
      [&] {
        for (std::size_t n = LOAD_READ; n == LOAD_READ; size += n) {
          if (size + LOAD_READ > capacity) block = static_cast<std::uint8_t*>(vmemRealloc(block, capacity *= 2));
          n = vfsReadFile(block + size, 1, LOAD_READ, s);
        }
      },
      [&](vexHandler&) {
        vmemFree(block);
        vfsCloseFile(s);
        _vexGenerate(nullptr, vexEnd);
      });
  vfsCloseFile(s);
  return openOver(vchunkMemoryDataCreate(block, size, true, true), false);
}
void copyFile(vresource source, vresource destination) { vresourceCopyContents(source, destination); }

void closeFile(vresource root) {
  vresFile* f = fileOf(root);
  _vresourceNotify(handleOf(f, 1), 1);
  files[f->openIndex] = nullptr;
  vresFileDestroy(f);
}
void flushFile(vresource root) {
  vresFile* f = fileOf(root);
  if (f->store.readOnly) return;
  vresFileWrite(f);
  vchunkFlush(f->chunks);
}
vfsStream* getFile(vresource root) { return vchunkGetStream(fileOf(root)->chunks); }

// The file's bytes as a C array and the {data, size} image that open
// image takes: ten values on the first line, eleven on each after.
void writeSource(vresource root, vfsStream* out, const char* name) {
  vresFile* f = fileOf(root);
  vresFileWriteImage(f);
  std::vector<std::uint8_t> image = vchunkGetImage(f->chunks);
  std::string text = "/* THIS IS A GENERATED FILE. */\n/* DO NOT EDIT. */\n\nunsigned char ";
  text += name;
  text += "Data[] = {";
  for (std::size_t i = 0; i < image.size(); ++i) {
    if (i >= 10 && (i - 10) % 11 == 0) text += '\n';
    text += std::to_string(image[i]);
    text += ", ";
  }
  text += " 0 };\n\nstruct { unsigned char *data; unsigned long size; } ";
  text += std::string(name) + " = { " + name + "Data, sizeof(" + name + "Data) };\n\n";
  if (vfsWriteFile(text.data(), 1, static_cast<std::ptrdiff_t>(text.size()), out) != text.size())
    vexGenerateMessage(&vexAbandonClass, "Resource source cannot be written");
}

// The object standing for h itself (no tag) or its entry under tag; it
// goes when the operation returns.
struct Obj {
  vres* o;
  explicit Obj(vres* made) : o(made) {}
  ~Obj() {
    if (o) vinstanceDestroy(o);
  }
  Obj(const Obj&) = delete;
  Obj& operator=(const Obj&) = delete;
};
vres* objectOf(vresource h, vname tag) {
  vresFile* f = fileOf(h);
  if (!tag) return vresMakeIndex(f, numberOf(h));
  return vresMakeDictElement(f, numberOf(h), tag);
}
vres* elementOf(vresource h, std::int32_t i) { return vresMakeArrayElement(fileOf(h), numberOf(h), i); }

// A resource just made has no kind yet: the first value written into it
// gives it one, and an entry filed under it makes it a dictionary.
void entypeUntyped(vres* o, int kind) {
  if (vresGetType(o) == vresUNTYPED) vresEntype(o, kind);
}
// An untyped resource holds no entries yet.
bool holds(vres* dict, vname tag) { return vresGetType(dict) != vresUNTYPED && vresDictHas(dict, tag); }

// The entry under tag, made with the kind when absent.
vres* ensure(vresource h, vname tag, int kind) {
  if (tag) {
    Obj dict(vresMakeIndex(fileOf(h), numberOf(h)));
    entypeUntyped(dict.o, vresDICTIONARY);
    if (!vresDictHas(dict.o, tag)) vresDictMakeEntry(dict.o, tag, kind);
  }
  Obj o(objectOf(h, tag));
  entypeUntyped(o.o, kind);
  vres* out = o.o;
  o.o = nullptr;
  return out;
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
    entypeUntyped(dict.o, vresDICTIONARY);
    if (vresDictHas(dict.o, tag))
      vresDictSetEntryKind(dict.o, tag, kind);
    else
      vresDictMakeEntry(dict.o, tag, kind);
  }
  Obj o(objectOf(h, tag));
  if (!tag) vresSetType(o.o, kind);
  return handleOfObject(h, o.o);
}
// Nothing when absent; what was under the entry goes with it. With no
// tag h itself goes from its container, which the root has none of.
void removeEntry(vresource h, vname tag) {
  if (!tag) {
    vres* self = objectOf(h, nullptr);
    vexGuard([&] { vclassRec<vresClassRec>(self)->remove(self); },  // destroys self when done
             [&](vexHandler&) {
               vinstanceDestroy(self);
               _vexGenerate(nullptr, vexEnd);
             });
    return;
  }
  {
    Obj dict(objectOf(h, nullptr));
    if (!holds(dict.o, tag)) return;
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
void* opaqueCopy(vres* o, std::size_t offset, std::size_t maximum, std::size_t* length);
void* getOpaque(vresource h, vname tag, std::size_t* length) {
  Obj o(objectOf(h, tag));
  return opaqueCopy(o.o, 0, SIZE_MAX, length);
}
void writeOpaque(vres* o, const void* bytes, std::size_t length) {
  vresSetOpaqueSize(o, static_cast<std::uint32_t>(length));
  if (length == 0) return;
  std::memcpy(vresGetOpaqueData(o), bytes, length);
  vresReleaseOpaqueData(o, 1);
}
void setOpaque(vresource h, vname tag, const void* bytes, std::size_t length) {
  Obj o(ensure(h, tag, vresOPAQUE));
  writeOpaque(o.o, bytes, length);
}
void setAtOpaque(vresource h, std::int32_t i, const void* bytes, std::size_t length) {
  Obj o(elementOf(h, i));
  if (vresGetType(o.o) == vresUNTYPED) vresSetType(o.o, vresOPAQUE);
  writeOpaque(o.o, bytes, length);
}

std::int32_t count(vresource h) {
  Obj o(objectOf(h, nullptr));
  int kind = vresGetType(o.o);
  return kind == vresARRAY ? vresArrayCount(o.o) : kind == vresUNTYPED ? 0 : vresDictCount(o.o);
}
vname tagAtOnly(vresource h, std::int32_t i) {
  Obj o(objectOf(h, nullptr));
  return vresDictTagAt(o.o, i);
}
int testGet(vresource h, vname tag, vresource* out) {
  _vresourceRequireOut(out);
  if (!_newresourceHas(h, tag)) return 0;
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

vresource make(vresource h, vname tag) {
  vresource child;
  if (tag && testGet(h, tag, &child)) return child;
  return tag ? create(h, tag, vresUNTYPED) : h;
}
// Kept as it is when it already holds elements of that kind.
vresource makeArray(vresource h, vname tag, int elementKind, std::int32_t count) {
  vresource child;
  if ((!tag || testGet(h, tag, &child)) && type(h, tag) == vresARRAY) {
    vresource a = tag ? child : h;
    if (elementType(a) == elementKind) return a;
  }
  return createArray(h, tag, elementKind, count);
}
void removeAt(vresource h, std::int32_t i) {
  Obj a(objectOf(h, nullptr));
  vresArrayDelete(a.o, i);
}
void setCount(vresource h, std::int32_t n) {
  Obj a(objectOf(h, nullptr));
  vresArraySetCount(a.o, n);
}
void renameTag(vresource h, vname from, vname to) {
  if (from == to) return;
  Obj d(objectOf(h, nullptr));
  vresDictRename(d.o, from, to);
}
std::size_t getSize(vresource h) {
  Obj o(objectOf(h, nullptr));
  int kind = vresGetType(o.o);
  if (kind == vresOPAQUE) return vresGetOpaqueSize(o.o);
  if (kind == vresSTRING) return vresGetStringLength(o.o);
  vexGenerateMessage(&vexArgClass, "Resource is neither a string nor opaque");
}

// At most maximum characters from offset; none from past the end.
std::size_t copyRange(const std::string& s, std::size_t offset, char* buffer, std::size_t maximum) {
  std::size_t n = offset < s.size() ? std::min(maximum, s.size() - offset) : 0;
  if (n) std::memcpy(buffer, s.data() + offset, n);
  return n;
}
vscribe* getString(vresource h, vname tag) {
  Obj o(objectOf(h, tag));
  std::string s = textOf(o.o);
  return vstrScribe(vstrClone(s.c_str()));  // the text outlives s
}
void getStringRange(vresource h, vname tag, std::size_t offset, char* buffer, std::size_t maximum, std::size_t* n) {
  Obj o(objectOf(h, tag));
  *n = copyRange(textOf(o.o), offset, buffer, maximum);
}
void getAtStringRange(vresource h, std::int32_t i, std::size_t offset, char* buffer, std::size_t maximum,
                      std::size_t* n) {
  Obj o(elementOf(h, i));
  *n = copyRange(textOf(o.o), offset, buffer, maximum);
}
// The bytes of o from offset, at most maximum of them, in a new block.
void* opaqueCopy(vres* o, std::size_t offset, std::size_t maximum, std::size_t* length) {
  std::size_t size = vresGetOpaqueSize(o);
  *length = offset < size ? std::min(maximum, size - offset) : 0;
  if (*length == 0) return nullptr;
  void* copy = vmemAlloc(*length);
  std::memcpy(copy, vresGetOpaqueData(o) + offset, *length);
  vresReleaseOpaqueData(o, 0);
  return copy;
}
void* getAtOpaque(vresource h, std::int32_t i, std::size_t offset, std::size_t maximum, std::size_t* length) {
  Obj o(elementOf(h, i));
  return opaqueCopy(o.o, offset, maximum, length);
}

// Where h is held: the dictionary and its tag, or for an element of an
// array the array's own place and h's index in it.
void find(vresource h, vresource* where, vname* tag) {
  vresource p = parent(h);
  if (!p) vexGenerateMessage(&vexArgClass, "Cannot vresourceFind on root resource.");
  Obj d(objectOf(p, nullptr));
  if (vresGetType(d.o) != vresDICTIONARY) vexGenerateMessage(&vexArgClass, "Missing parent");
  *where = p;
  *tag = vresDictTagOf(d.o, numberOf(h));
}
void findAt(vresource h, vresource* where, vname* tag, std::int32_t* index) {
  vresource a = parent(h);
  if (!a) vexGenerateMessage(&vexArgClass, "Cannot vresourceFind on root resource.");
  {
    Obj o(objectOf(a, nullptr));
    if (vresGetType(o.o) != vresARRAY) vexGenerateMessage(&vexArgClass, "Missing parent");
    *index = vresArrayIndexOf(o.o, numberOf(h));
  }
  find(a, where, tag);
}

}  // namespace

bool _newresourceHas(vresource h, vname tag) {
  Obj dict(objectOf(h, nullptr));
  return holds(dict.o, tag);
}
std::string _newresourceStringText(vresource h, vname tag) {
  Obj o(objectOf(h, tag));
  return textOf(o.o);
}
std::string _newresourceAtStringText(vresource h, std::int32_t i) {
  Obj o(elementOf(h, i));
  return textOf(o.o);
}

// Only objects of files open in the table stand for handles.
vresFile* openFileOf(vinstance* o) {
  if (!vclassIsSubclass(o->cls, vresGetDefaultClass())) return nullptr;
  auto* f = reinterpret_cast<vresFile*>(static_cast<vres*>(o)->store);
  return f && f->openIndex < files.size() && files[f->openIndex] == f ? f : nullptr;
}
vresource _newresourceHandleOfObject(vinstance* o) {
  vresFile* f = openFileOf(o);
  return f ? handleOfObject(handleOf(f, 1), static_cast<vres*>(o)) : 0;
}
bool _newresourceElementOfObject(vinstance* o, vresource* array, std::int32_t* index) {
  vresFile* f = openFileOf(o);
  if (!f || !vclassIsSubclass(o->cls, vresGetArrayElementClass())) return false;
  *array = handleOf(f, static_cast<vresArrayElement*>(o)->array);
  *index = static_cast<vresArrayElement*>(o)->index;
  return true;
}

void _newresourceFill(vresourceSlotFn* t) {
  t[vresourceSlotOpenFile] = _vresourceSlot(openFile);
  t[vresourceSlotOpenImage] = _vresourceSlot(openImage);
  t[vresourceSlotCreateFile] = _vresourceSlot(createFile);
  t[vresourceSlotCreateMemory] = _vresourceSlot(createMemory);
  t[vresourceSlotLoadFile] = _vresourceSlot(loadFile);
  t[vresourceSlotSaveFile] = _vresourceSlot(saveFile);
  t[vresourceSlotCopyFile] = _vresourceSlot(copyFile);
  t[vresourceSlotWriteSource] = _vresourceSlot(writeSource);
  t[vresourceSlotGetFile] = _vresourceSlot(getFile);
  t[vresourceSlotCloseFile] = _vresourceSlot(closeFile);
  t[vresourceSlotReleaseFile] = _vresourceSlot(closeFile);
  t[vresourceSlotFlushFile] = _vresourceSlot(flushFile);
  t[vresourceSlotMake] = _vresourceSlot(make);
  t[vresourceSlotMakeArray] = _vresourceSlot(makeArray);
  t[vresourceSlotRemoveAt] = _vresourceSlot(removeAt);
  t[vresourceSlotGetString] = _vresourceSlot(getString);
  t[vresourceSlotGetStringRange] = _vresourceSlot(getStringRange);
  t[vresourceSlotGetAtStringRange] = _vresourceSlot(getAtStringRange);
  t[vresourceSlotGetAtOpaque] = _vresourceSlot(getAtOpaque);
  t[vresourceSlotFind] = _vresourceSlot(find);
  t[vresourceSlotFindAt] = _vresourceSlot(findAt);
  t[vresourceSlotRenameTag] = _vresourceSlot(renameTag);
  t[vresourceSlotGetSize] = _vresourceSlot(getSize);
  t[vresourceSlotSetCount] = _vresourceSlot(setCount);
  t[vresourceSlotCreate] = _vresourceSlot(create);
  t[vresourceSlotCreateArray] = _vresourceSlot(createArray);
  t[vresourceSlotCreateAt] = _vresourceSlot(createAt);
  t[vresourceSlotRemove] = _vresourceSlot(removeEntry);
  t[vresourceSlotGet] = _vresourceSlot(get);
  t[vresourceSlotGetTag] = _vresourceSlot(getBy<vname, vresGetTagValue>);
  t[vresourceSlotGetInteger] = _vresourceSlot(getBy<std::int32_t, vresGetInteger>);
  t[vresourceSlotGetFixed] = _vresourceSlot(getBy<std::int32_t, vresGetFixed>);
  t[vresourceSlotGetFloat] = _vresourceSlot(getBy<double, vresGetFloat>);
  t[vresourceSlotGetBoolean] = _vresourceSlot(getBy<int, vresGetBoolean>);
  t[vresourceSlotGetCharacter] = _vresourceSlot(getBy<char, vresGetCharacter>);
  t[vresourceSlotGetOpaque] = _vresourceSlot(getOpaque);
  t[vresourceSlotGetAt] = _vresourceSlot(getAt);
  t[vresourceSlotGetAtTag] = _vresourceSlot(getAtBy<vname, vresGetTagValue>);
  t[vresourceSlotGetAtInteger] = _vresourceSlot(getAtBy<std::int32_t, vresGetInteger>);
  t[vresourceSlotGetAtFixed] = _vresourceSlot(getAtBy<std::int32_t, vresGetFixed>);
  t[vresourceSlotGetAtFloat] = _vresourceSlot(getAtBy<double, vresGetFloat>);
  t[vresourceSlotGetAtBoolean] = _vresourceSlot(getAtBy<int, vresGetBoolean>);
  t[vresourceSlotGetAtCharacter] = _vresourceSlot(getAtBy<char, vresGetCharacter>);
  t[vresourceSlotSetTag] = _vresourceSlot(setBy<vname, vresSetTagValue, vresTAG>);
  t[vresourceSlotSetInteger] = _vresourceSlot(setBy<std::int32_t, vresSetInteger, vresINTEGER>);
  t[vresourceSlotSetFixed] = _vresourceSlot(setBy<std::int32_t, vresSetFixed, vresFIXED>);
  t[vresourceSlotSetFloat] = _vresourceSlot(setBy<double, vresSetFloat, vresFLOAT>);
  t[vresourceSlotSetBoolean] = _vresourceSlot(setBy<int, vresSetBoolean, vresBOOLEAN>);
  t[vresourceSlotSetCharacter] = _vresourceSlot(setBy<char, vresSetCharacter, vresCHARACTER>);
  t[vresourceSlotSetStringSized] = _vresourceSlot(setStringSized);
  t[vresourceSlotSetOpaque] = _vresourceSlot(setOpaque);
  t[vresourceSlotSetAtTag] = _vresourceSlot(setAtBy<vname, vresSetTagValue, vresTAG>);
  t[vresourceSlotSetAtInteger] = _vresourceSlot(setAtBy<std::int32_t, vresSetInteger, vresINTEGER>);
  t[vresourceSlotSetAtFixed] = _vresourceSlot(setAtBy<std::int32_t, vresSetFixed, vresFIXED>);
  t[vresourceSlotSetAtFloat] = _vresourceSlot(setAtBy<double, vresSetFloat, vresFLOAT>);
  t[vresourceSlotSetAtBoolean] = _vresourceSlot(setAtBy<int, vresSetBoolean, vresBOOLEAN>);
  t[vresourceSlotSetAtCharacter] = _vresourceSlot(setAtBy<char, vresSetCharacter, vresCHARACTER>);
  t[vresourceSlotSetAtStringSized] = _vresourceSlot(setAtStringSized);
  t[vresourceSlotSetAtOpaque] = _vresourceSlot(setAtOpaque);
  t[vresourceSlotTestGet] = _vresourceSlot(testGet);
  t[vresourceSlotGetTagAt] = _vresourceSlot(getTagAt);
  t[vresourceSlotInsertAt] = _vresourceSlot(insertAt);
  t[vresourceSlotInsertAtTag] = _vresourceSlot(insertAtBy<vname, vresSetTagValue, vresTAG>);
  t[vresourceSlotInsertAtInteger] = _vresourceSlot(insertAtBy<std::int32_t, vresSetInteger, vresINTEGER>);
  t[vresourceSlotInsertAtFixed] = _vresourceSlot(insertAtBy<std::int32_t, vresSetFixed, vresFIXED>);
  t[vresourceSlotInsertAtFloat] = _vresourceSlot(insertAtBy<double, vresSetFloat, vresFLOAT>);
  t[vresourceSlotInsertAtBoolean] = _vresourceSlot(insertAtBy<int, vresSetBoolean, vresBOOLEAN>);
  t[vresourceSlotInsertAtCharacter] = _vresourceSlot(insertAtBy<char, vresSetCharacter, vresCHARACTER>);
  t[vresourceSlotCount] = _vresourceSlot(count);
  t[vresourceSlotGetTagAtOnly] = _vresourceSlot(tagAtOnly);
  t[vresourceSlotGetParent] = _vresourceSlot(parent);
  t[vresourceSlotGetRoot] = _vresourceSlot(root);
  t[vresourceSlotGetStringLength] = _vresourceSlot(stringLength);
  t[vresourceSlotGetType] = _vresourceSlot(type);
  t[vresourceSlotGetElementType] = _vresourceSlot(elementType);
  t[vresourceSlotGetNumber] = _vresourceSlot(number);
  t[vresourceSlotFromNumber] = _vresourceSlot(fromNumber);
}
