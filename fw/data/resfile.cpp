// The resource file: its rows, tables and chunks, the three value classes
// (index, dictionary entry, array element), dictionaries and arrays.
#include "fw/data/resfile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fw/core/charset.h"

namespace {

enum : int { colType = 0, colParent = 1, colValue = 2 };

[[noreturn]] void damaged() { vexGenerateMessage(&vexArgClass, "Resource file is damaged"); }
[[noreturn]] void argTag(const char* message, vname tag) {
  _vexGenerate(&vexArgTagClass, vexSetMessage, message, vexArgSetTag, tag, vexEnd);
}

int row(std::uint32_t n) { return static_cast<int>(n); }
bool inUse(vresFile* f, std::uint32_t n) { return n >= 1 && n <= 0x7FFFFFFF && vndxRowExists(f->rows, row(n)); }
std::uint32_t cell(vresFile* f, std::uint32_t n, int column) { return vndxGetCell(f->rows, row(n), column); }
void setCell(vresFile* f, std::uint32_t n, int column, std::uint32_t v) { vndxSetCell(f->rows, row(n), column, v); }

// A row's own kind: 0-10 (references exist only in entries and elements).
int rowKind(vresFile* f, std::uint32_t n) {
  if (!inUse(f, n)) damaged();
  int kind = static_cast<int>(cell(f, n, colType) & 0xFF);
  if (kind > vresOPAQUE) damaged();
  return kind;
}

std::size_t depthLimit(vresFile* f) { return static_cast<std::size_t>(f->rows->highest + 2); }

// A reference held by container: a row in use, not the root, filed there,
// whose parents lead to the root (so walks through references end).
std::uint32_t referenced(vresFile* f, std::uint32_t container, std::uint32_t n) {
  if (n == 1 || !inUse(f, n) || cell(f, n, colParent) != container) damaged();
  std::size_t steps = 0;
  for (std::uint32_t p = container; p != 1; p = cell(f, p, colParent))
    if (++steps > depthLimit(f) || !inUse(f, p)) damaged();
  return n;
}

vndxShape* shapeOf(vresFile* f, std::uint32_t dict) {
  vndxShape* s = vndxLookup(f->shapes, static_cast<std::int32_t>(cell(f, dict, colType) >> 8));
  if (!s) damaged();
  std::uint32_t values = cell(f, dict, colValue);
  if (static_cast<std::size_t>(vchunkArrayCount(f->chunks, values)) != s->tags.size()) damaged();
  return s;
}

std::uint32_t arrayGet(vresFile* f, std::uint32_t array, std::int32_t i) {
  return static_cast<std::uint32_t>(vchunkArrayGet(f->chunks, array, i));
}

// What a release takes: every row, chunk and shape under the values
// given, gathered and checked before anything goes, so that a release
// refused as damage changes nothing. The walk keeps its own stack, so
// any depth the file holds is released.
class Release {
 public:
  explicit Release(vresFile* f) : f_(f) {}
  // A value of a kind that container holds.
  void value(int kind, std::uint32_t v, std::uint32_t container) {
    if (kind == vresREFERENCE) referenced(f_, container, v);  // leads to the root
    take(kind, v, container);
    drain();
  }
  // A row's own value (the row stays).
  void row(std::uint32_t n) {
    contents(n);
    drain();
  }
  void commit() {
    for (auto* list : {&rows_, &chunks_}) {
      std::sort(list->begin(), list->end());
      if (std::adjacent_find(list->begin(), list->end()) != list->end()) damaged();
    }
    for (std::uint32_t c : chunks_) vchunkFree(f_->chunks, c);
    for (vndxShape* s : shapes_) vndxRelease(f_->shapes, s);
    if (!shapes_.empty()) f_->shapes->modified = true;
    for (std::uint32_t n : rows_) vndxRemoveRow(f_->rows, static_cast<int>(n));
  }

 private:
  void take(int kind, std::uint32_t v, std::uint32_t container) {
    if ((kind == vresSTRING || kind == vresOPAQUE) && v) {
      vchunkGetSize(f_->chunks, v);  // an allocated chunk
      chunks_.push_back(v);
    } else if (kind == vresREFERENCE) {
      if (v == 1 || !inUse(f_, v) || cell(f_, v, colParent) != container) damaged();
      rows_.push_back(v);
      pending_.push_back(v);
    }
  }
  // A row's parent is the container it was reached from, so the walk
  // cannot come back to a row on its own path and ends.
  void contents(std::uint32_t n) {
    int kind = rowKind(f_, n);
    std::uint32_t type = cell(f_, n, colType), v = cell(f_, n, colValue);
    if (kind == vresDICTIONARY) {
      vndxShape* s = shapeOf(f_, n);
      for (std::size_t i = 0; i < s->tags.size(); ++i) take(s->flags[i], arrayGet(f_, v, static_cast<std::int32_t>(i)), n);
      shapes_.push_back(s);
    } else if (kind == vresARRAY) {
      int elementKind = static_cast<int>((type >> 8) & 0xFF);
      std::int32_t count = vchunkArrayCount(f_->chunks, v);
      for (std::int32_t i = 0; i < count; ++i) take(elementKind, arrayGet(f_, v, i), n);
    } else {
      take(kind, v, n);
      return;
    }
    if (v) chunks_.push_back(v);
  }
  void drain() {
    while (!pending_.empty()) {
      std::uint32_t n = pending_.back();
      pending_.pop_back();
      contents(n);
    }
  }
  vresFile* f_;
  std::vector<std::uint32_t> rows_, chunks_, pending_;
  std::vector<vndxShape*> shapes_;
};

// Releases what a value of a kind holds; container owns references.
void releaseValue(vresFile* f, int kind, std::uint32_t value, std::uint32_t container) {
  Release r(f);
  r.value(kind, value, container);
  r.commit();
}

// Releases a row's value by its kind (the row stays, valued 0).
void releaseRow(vresFile* f, std::uint32_t n) {
  Release r(f);
  r.row(n);
  r.commit();
  setCell(f, n, colValue, 0);
}

// Shape reference counts are part of the shape table's serial form.
void setShape(vresFile* f, std::uint32_t dict, vndxShape* s) {
  f->shapes->modified = true;
  setCell(f, dict, colType, static_cast<std::uint32_t>(vresDICTIONARY) | static_cast<std::uint32_t>(s->number) << 8);
}

// Dictionaries and arrays inside containers become resources of their own.
bool needsRow(int kind) { return kind == vresDICTIONARY || kind == vresARRAY || kind == vresREFERENCE; }

std::uint32_t defaultValue(vresFile* f, int kind) {
  if (kind == vresTAG) return static_cast<std::uint32_t>(vndxTagNumber(f->tags, vname_Tag));
  if (kind == vresCHARACTER) return 0x41;
  return 0;
}

// The value a container stores for a new member of a kind, and the kind
// it files it under.
std::uint32_t newMember(vresFile* f, std::uint32_t container, int& kind) {
  if (!needsRow(kind)) return defaultValue(f, kind);
  int own = kind == vresREFERENCE ? vresUNTYPED : kind;
  kind = vresREFERENCE;
  return vresFileMakeRow(f, container, own, 0);
}

void checkWritable(vresFile* f) {
  if (f->store.readOnly && !f->passing) vexGenerateMessage(&vexArgClass, "Resource file is read only");
}

// A read that needs rows of its own makes them in passing: the tables keep
// their change marks and the chunks stay unmarked, so a file that is only
// read is closed as it was.
template <class Body>
void inPassing(vresFile* f, Body body) {
  bool tags = f->tags->modified, shapes = f->shapes->modified, rows = f->rows->modified;
  ++f->passing;
  vchunkBeginPassing(f->chunks);
  auto end = [&] {
    vchunkEndPassing(f->chunks);
    --f->passing;
    f->tags->modified = tags, f->shapes->modified = shapes, f->rows->modified = rows;
    f->passed = true;
  };
  try {
    body();
  } catch (...) {
    end();
    throw;
  }
  end();
}

vresFile* fileOf(vres* o) { return reinterpret_cast<vresFile*>(o->store); }

// The row a dictionary or array operation works on.
std::uint32_t containerRow(vres* o, int kind, const char* message) {
  if (vresGetType(o) != kind) vexGenerateMessage(&vexArgClass, message);
  auto* rec = vclassRec<vresClassRec>(o);
  return rec->getKind(o) == vresREFERENCE ? rec->getValue(o) : rec->getId(o);
}
std::uint32_t dictRow(vres* o) { return containerRow(o, vresDICTIONARY, "Resource is not of type vresDICTIONARY"); }
std::uint32_t arrayRow(vres* o) { return containerRow(o, vresARRAY, "Resource is not of type vresARRAY"); }

// ---- Store hooks.
int storeKind(vresStore* s, std::uint32_t n) { return rowKind(reinterpret_cast<vresFile*>(s), n); }
std::uint32_t storeValue(vresStore* s, std::uint32_t n) {
  auto* f = reinterpret_cast<vresFile*>(s);
  rowKind(f, n);
  return cell(f, n, colValue);
}
void storeSetValue(vresStore* s, std::uint32_t n, std::uint32_t v) {
  auto* f = reinterpret_cast<vresFile*>(s);
  rowKind(f, n);
  setCell(f, n, colValue, v);
}

vresFile* makeFile(vchunkFile* chunks) {
  auto* f = static_cast<vresFile*>(vmemAllocClear(sizeof(vresFile)));
  f->store = {storeKind, storeValue, storeSetValue, 0};
  f->client1 = 1;
  f->chunks = chunks;
  return f;
}

// Every row's parents lead to the root within the nesting bound; a file
// nested deeper is refused before anything walks it.
void checkNesting(vresFile* f) {
  std::vector<std::int16_t> depth(static_cast<std::size_t>(f->rows->highest) + 2, -1);  // rows count from 1
  depth[1] = 0;
  std::vector<std::uint32_t> path;
  for (int r = vndxNextRow(f->rows, 1); r; r = vndxNextRow(f->rows, r)) {
    path.clear();
    std::uint32_t n = static_cast<std::uint32_t>(r);
    while (depth[n] < 0) {
      if (path.size() > static_cast<std::size_t>(vscrapMAX_DEPTH)) vscrapRaiseTooDeep();
      path.push_back(n);
      n = cell(f, n, colParent);
      if (!inUse(f, n)) damaged();
    }
    int d = depth[n];
    while (!path.empty()) {
      if (++d > vscrapMAX_DEPTH) vscrapRaiseTooDeep();
      depth[path.back()] = static_cast<std::int16_t>(d);
      path.pop_back();
    }
  }
}

void destroyTables(vresFile* f) {
  vndxDestroyShapeTable(f->shapes);
  vndxDestroyTagTable(f->tags);
  if (f->rows) vndxDestroy(f->rows);
}

// Serialises one table into its chunk when it changed.
template <class SizeFn, class WriteFn>
bool writeTable(vresFile* f, bool modified, std::uint32_t& address, SizeFn size, WriteFn write) {
  if (!modified) return false;
  std::size_t n = size();
  if (n == 0 || n > 0x7FFFFFF0u) damaged();
  if (address && vchunkGetSize(f->chunks, address) != n) {
    vchunkFree(f->chunks, address);
    address = 0;
  }
  if (!address) address = vchunkAlloc(f->chunks, static_cast<std::uint32_t>(n));
  write(vchunkGetData(f->chunks, address));
  vchunkReleaseDirty(f->chunks, address);
  return true;
}

}  // namespace

vresFile* vresFileCreate(vchunkFile* chunks) {
  vresFile* f = makeFile(chunks);
  f->tags = vndxCreateTagTable();
  f->shapes = vndxCreateShapeTable();
  f->rows = vndxCreate(3);
  f->tags->modified = f->shapes->modified = f->rows->modified = true;
  if (vresFileMakeRow(f, 0, vresDICTIONARY, 0) != 1) {
    destroyTables(f);
    vmemFree(f);
    _vexGenerate(&vexModuleStateClass, vexEnd);
  }
  return f;
}

vresFile* vresFileOpen(vchunkFile* chunks) {
  vresFile* f = makeFile(chunks);
  vexGuard(
      [&] {
        std::uint32_t root = vchunkGetRoot(chunks);
        if (!root) damaged();
        const std::uint8_t* p = vchunkGetData(chunks, root);
        const std::uint8_t* end = p + vchunkGetSize(chunks, root);
        std::int32_t v[5];
        bool ok = true;
        for (std::int32_t& x : v) {
          int n = ok ? vchunkDecodeInt(p, end, &x) : 0;
          ok = n > 0;
          p += n;
        }
        vchunkRelease(chunks, root);
        if (!ok) damaged();
        f->client1 = v[0], f->client2 = v[1];
        f->tagChunk = static_cast<std::uint32_t>(v[2]), f->shapeChunk = static_cast<std::uint32_t>(v[3]),
        f->rowChunk = static_cast<std::uint32_t>(v[4]);
        auto readTable = [&](std::uint32_t address, auto reader) {
          if (!address) damaged();
          const std::uint8_t* data = vchunkGetData(chunks, address);
          auto* table = reader(data, vchunkGetSize(chunks, address));
          vchunkRelease(chunks, address);
          if (!table) damaged();
          return table;
        };
        f->tags = readTable(f->tagChunk, vndxReadTagTable);
        f->shapes = readTable(f->shapeChunk, [&](const std::uint8_t* d, std::size_t n) {
          return vndxReadShapeTable(d, n, f->tags);
        });
        f->rows = readTable(f->rowChunk, vndxRead);
        if (f->rows->columns != 3 || rowKind(f, 1) != vresDICTIONARY || cell(f, 1, colParent) != 0) damaged();
        for (int r = vndxNextRow(f->rows, 0); r; r = vndxNextRow(f->rows, r)) rowKind(f, static_cast<std::uint32_t>(r));
        checkNesting(f);
      },
      [&](vexHandler&) {
        destroyTables(f);
        vmemFree(f);
        _vexGenerate(nullptr);
      });
  return f;
}

namespace {
void markTablesModified(vresFile* f) { f->tags->modified = f->shapes->modified = f->rows->modified = true; }
void writeTables(vresFile* f);
}  // namespace

void vresFileWrite(vresFile* f) {
  bool own = vchunkIsMarkedOpen(f->chunks) || f->tags->modified || f->shapes->modified || f->rows->modified;
  if (f->passed && own) {
    markTablesModified(f);
    f->passed = false;
  }
  writeTables(f);
}

void vresFileWriteImage(vresFile* f) {
  if (!f->passed) {
    if (!f->store.readOnly) vresFileWrite(f);
    return;
  }
  if (!f->store.readOnly && (vchunkIsMarkedOpen(f->chunks) || f->tags->modified || f->shapes->modified ||
                             f->rows->modified)) {
    vresFileWrite(f);
    return;
  }
  // Only reads made rows: the image gets them, the file does not.
  markTablesModified(f);
  ++f->passing;
  vchunkBeginPassing(f->chunks);
  try {
    writeTables(f);
  } catch (...) {
    vchunkEndPassing(f->chunks);
    --f->passing;
    throw;
  }
  vchunkEndPassing(f->chunks);
  --f->passing;
}

namespace {
void writeTables(vresFile* f) {
  bool wrote = false;
  wrote |= writeTable(f, f->shapes->modified, f->shapeChunk,
                      [&] { return vndxShapeTableSerialSize(f->shapes, f->tags); },
                      [&](std::uint8_t* out) { vndxWriteShapeTable(f->shapes, f->tags, out); });
  f->shapes->modified = false;
  wrote |= writeTable(f, f->tags->modified, f->tagChunk, [&] { return vndxTagTableSerialSize(f->tags); },
                      [&](std::uint8_t* out) { vndxWriteTagTable(f->tags, out); });
  f->tags->modified = false;
  wrote |= writeTable(f, f->rows->modified, f->rowChunk, [&] { return vndxSerialSize(f->rows); },
                      [&](std::uint8_t* out) { vndxWrite(f->rows, out); });
  f->rows->modified = false;
  if (!wrote) return;
  const std::int32_t v[5] = {f->client1, f->client2, static_cast<std::int32_t>(f->tagChunk),
                             static_cast<std::int32_t>(f->shapeChunk), static_cast<std::int32_t>(f->rowChunk)};
  std::uint32_t size = 0;
  for (std::int32_t x : v) size += static_cast<std::uint32_t>(vchunkIntLength(x));
  std::uint32_t root = vchunkGetRoot(f->chunks);
  if (root && vchunkGetSize(f->chunks, root) != size) {
    vchunkFree(f->chunks, root);
    root = 0;
  }
  if (!root) {
    root = vchunkAlloc(f->chunks, size);
    vchunkSetRoot(f->chunks, root);
  }
  std::uint8_t* p = vchunkGetData(f->chunks, root);
  for (std::int32_t x : v) {
    *p = 0;
    p += vchunkEncodeInt(p, x);
  }
  vchunkReleaseDirty(f->chunks, root);
}
}  // namespace

void vresFileDestroy(vresFile* f) {
  if (!f->store.readOnly) vresFileWrite(f);
  destroyTables(f);
  vchunkClose(f->chunks);
  vmemFree(f);
}

std::uint32_t vresFileMakeRow(vresFile* f, std::uint32_t parent, int kind, std::uint32_t value) {
  // Rows lead to the root, so the walk up ends (the root's parent is 0).
  int depth = 0;
  for (std::uint32_t p = parent; p; p = cell(f, p, colParent)) {
    if (!inUse(f, p)) damaged();
    if (++depth > vscrapMAX_DEPTH) vscrapRaiseTooDeep();
  }
  auto n = static_cast<std::uint32_t>(vndxAddRow(f->rows));
  // A handle has 24 bits for the number; a larger one would name another file.
  if (n > 0xFFFFFFu) {
    vndxRemoveRow(f->rows, static_cast<int>(n));
    vexGenerateMessage(&vexModuleLimitClass, "Maximum resources in file");
  }
  setCell(f, n, colType, static_cast<std::uint32_t>(kind));
  setCell(f, n, colParent, parent);
  setCell(f, n, colValue, value);
  if (kind == vresTAG || kind == vresCHARACTER) setCell(f, n, colValue, defaultValue(f, kind));
  return n;
}
std::uint32_t vresFileTypeWord(vresFile* f, std::uint32_t n) {
  rowKind(f, n);
  return cell(f, n, colType);
}
std::uint32_t vresFileParent(vresFile* f, std::uint32_t n) {
  rowKind(f, n);
  return cell(f, n, colParent);
}
std::uint32_t vresFileValue(vresFile* f, std::uint32_t n) { return storeValue(&f->store, n); }

// ---- The three value classes.
namespace {

// Setting a kind on a resource: the old value goes, the new default comes.
void setRowKind(vresFile* f, std::uint32_t n, int kind) {
  checkWritable(f);
  releaseRow(f, n);
  setCell(f, n, colType, static_cast<std::uint32_t>(kind));
  setCell(f, n, colValue, defaultValue(f, kind));
}

// Dictionary entries.
int entryAt(vresFile* f, std::uint32_t dict, vname tag) {
  int at = _vndxFindString(shapeOf(f, dict), tag);
  if (at < 0) argTag("Tag not found in dictionary.", tag);
  return at;
}

void setEntryKind(vresFile* f, std::uint32_t dict, vname tag, int kind) {
  checkWritable(f);
  vndxShape* s = shapeOf(f, dict);
  std::uint32_t values = cell(f, dict, colValue);
  int at = _vndxFindString(s, tag);
  if (at >= 0 && s->flags[static_cast<std::size_t>(at)] == kind && !needsRow(kind)) return;
  int filed = kind;
  std::uint32_t value = newMember(f, dict, filed);
  if (at < 0) {
    s = vndxGetChild(f->shapes, s, tag, static_cast<std::uint8_t>(filed));
    at = _vndxFindString(s, tag);
    values = vchunkArrayInsert(f->chunks, values, at, value);
  } else {
    std::uint32_t old = arrayGet(f, values, at);
    int oldKind = s->flags[static_cast<std::size_t>(at)];
    if (oldKind != filed) {
      s = vndxGetParent(f->shapes, s, tag, static_cast<std::uint8_t>(oldKind));
      s = vndxGetChild(f->shapes, s, tag, static_cast<std::uint8_t>(filed));
    }
    releaseValue(f, oldKind, old, dict);
    values = vchunkArraySet(f->chunks, values, at, value);
  }
  setShape(f, dict, s);
  setCell(f, dict, colValue, values);
}

void removeEntry(vresFile* f, std::uint32_t dict, vname tag) {
  checkWritable(f);
  vndxShape* s = shapeOf(f, dict);
  int at = entryAt(f, dict, tag);
  std::uint32_t values = cell(f, dict, colValue);
  int kind = s->flags[static_cast<std::size_t>(at)];
  releaseValue(f, kind, arrayGet(f, values, at), dict);
  values = vchunkArrayDelete(f->chunks, values, at);
  s = vndxGetParent(f->shapes, s, tag, static_cast<std::uint8_t>(kind));
  setShape(f, dict, s);
  setCell(f, dict, colValue, values);
}

// Arrays.
int elementKind(vresFile* f, std::uint32_t array) { return static_cast<int>((cell(f, array, colType) >> 8) & 0xFF); }

int effectiveElementKind(vresFile* f, std::uint32_t array) {
  int kind = elementKind(f, array);
  if (kind != vresREFERENCE) return kind;
  std::uint32_t values = cell(f, array, colValue);
  if (vchunkArrayCount(f->chunks, values) == 0) damaged();
  return rowKind(f, referenced(f, array, arrayGet(f, values, 0)));
}

// A new element of an array: the kind's default, or a new resource of the
// effective kind for a reference array.
std::uint32_t newElement(vresFile* f, std::uint32_t array, int kind, int effective) {
  if (kind == vresREFERENCE) return vresFileMakeRow(f, array, effective, 0);
  return defaultValue(f, kind);
}

void setArrayType(vresFile* f, std::uint32_t array, int kind) {
  setCell(f, array, colType, static_cast<std::uint32_t>(vresARRAY) | static_cast<std::uint32_t>(kind) << 8);
}

// The kind an array files its elements under, and the kind they have.
void elementKinds(vresFile* f, std::uint32_t array, int& filed, int& effective) {
  filed = elementKind(f, array);
  effective = filed == vresREFERENCE ? effectiveElementKind(f, array) : filed;
  if (needsRow(filed)) filed = vresREFERENCE;
}

void setCount(vresFile* f, std::uint32_t array, std::int32_t n) {
  checkWritable(f);
  if (n < 0) vexGenerateMessage(&vexArgRangeClass, "negative array count");
  std::uint32_t values = cell(f, array, colValue);
  std::int32_t count = vchunkArrayCount(f->chunks, values);
  if (n == count) return;
  int kind, effective;
  elementKinds(f, array, kind, effective);
  // Every new element of a reference array is a row with a 24-bit number.
  if (kind == vresREFERENCE && n > count && std::uint64_t(n - count) + std::uint64_t(f->rows->highest) + 1 > 0xFFFFFFu)
    vexGenerateMessage(&vexModuleLimitClass, "Maximum array size");
  vchunkArrayCheckCount(f->chunks, values, n, kind == vresREFERENCE ? 0xFFFFFF : defaultValue(f, kind));
  Release dropped(f);
  for (std::int32_t i = count; i-- > n;) dropped.value(kind, arrayGet(f, values, i), array);
  dropped.commit();
  values = vchunkArraySetCount(f->chunks, values, n);
  setCell(f, array, colValue, values);
  if (kind == vresREFERENCE) {
    for (std::int32_t i = count; i < n; ++i) {
      values = vchunkArraySet(f->chunks, values, i, newElement(f, array, kind, effective));
      setCell(f, array, colValue, values);
    }
  } else if (std::uint32_t fill = defaultValue(f, kind)) {  // new elements are 0
    values = vchunkArrayFill(f->chunks, values, count, n, fill);
  }
  setCell(f, array, colValue, values);
  setArrayType(f, array, n == 0 && kind == vresREFERENCE ? effective : kind);
}

void setElementKind(vresFile* f, std::uint32_t array, int kind) {
  checkWritable(f);
  std::uint32_t values = cell(f, array, colValue);
  std::int32_t count = vchunkArrayCount(f->chunks, values);
  int old = elementKind(f, array);
  if ((old == vresREFERENCE ? effectiveElementKind(f, array) : old) == kind && !(count == 0 && old == vresREFERENCE))
    return;
  Release dropped(f);
  for (std::int32_t i = 0; i < count; ++i) dropped.value(old, arrayGet(f, values, i), array);
  dropped.commit();
  int filed = needsRow(kind) && count ? vresREFERENCE : kind;
  if (filed == vresREFERENCE) {
    for (std::int32_t i = 0; i < count; ++i) values = vchunkArraySet(f->chunks, values, i, newElement(f, array, filed, kind));
  } else {
    values = vchunkArrayFill(f->chunks, values, 0, count, defaultValue(f, kind));
  }
  setCell(f, array, colValue, values);
  setArrayType(f, array, filed);
}

void resetElement(vresFile* f, std::uint32_t array, std::int32_t index) {
  checkWritable(f);
  int kind, effective;
  elementKinds(f, array, kind, effective);
  std::uint32_t values = cell(f, array, colValue);
  releaseValue(f, kind, arrayGet(f, values, index), array);
  setCell(f, array, colValue, vchunkArraySet(f->chunks, values, index, newElement(f, array, kind, effective)));
}

// Every element becomes a resource of its own.
void makeReferenceArray(vresFile* f, std::uint32_t array) {
  checkWritable(f);
  int kind = elementKind(f, array);
  if (kind == vresREFERENCE) return;
  std::uint32_t values = cell(f, array, colValue);
  std::int32_t count = vchunkArrayCount(f->chunks, values);
  for (std::int32_t i = 0; i < count; ++i) {
    std::uint32_t n = vresFileMakeRow(f, array, kind, arrayGet(f, values, i));
    values = vchunkArraySet(f->chunks, values, i, n);
  }
  setCell(f, array, colValue, values);
  if (count) setArrayType(f, array, vresREFERENCE);
}

template <class T>
T* self(vres* o) {
  return static_cast<T*>(o);
}

struct Classes {
  vresClassRec *index, *dictElement, *arrayElement;
};
void** classSlot = nullptr;

Classes* classes();

// Entries.
int entryKind(vres* o) {
  auto* e = self<vresDictElement>(o);
  vresFile* f = fileOf(o);
  return shapeOf(f, e->dictionary)->flags[static_cast<std::size_t>(entryAt(f, e->dictionary, e->tag))];
}
std::uint32_t entryValue(vres* o) {
  auto* e = self<vresDictElement>(o);
  vresFile* f = fileOf(o);
  std::uint32_t v = arrayGet(f, cell(f, e->dictionary, colValue), entryAt(f, e->dictionary, e->tag));
  if (entryKind(o) == vresREFERENCE) referenced(f, e->dictionary, v);
  return v;
}
void entrySetValue(vres* o, std::uint32_t v) {
  auto* e = self<vresDictElement>(o);
  vresFile* f = fileOf(o);
  checkWritable(f);
  int at = entryAt(f, e->dictionary, e->tag);
  setCell(f, e->dictionary, colValue, vchunkArraySet(f->chunks, cell(f, e->dictionary, colValue), at, v));
}
std::uint32_t entryId(vres* o) {
  auto* e = self<vresDictElement>(o);
  vresFile* f = fileOf(o);
  int kind = entryKind(o);
  if (kind == vresREFERENCE) return entryValue(o);
  std::uint32_t n = 0;
  inPassing(f, [&] {
    std::uint32_t value = entryValue(o);
    n = vresFileMakeRow(f, e->dictionary, kind, value);
    setCell(f, n, colValue, value);
    vndxShape* s = shapeOf(f, e->dictionary);
    s = vndxGetParent(f->shapes, s, e->tag, static_cast<std::uint8_t>(kind));
    s = vndxGetChild(f->shapes, s, e->tag, vresREFERENCE);
    setShape(f, e->dictionary, s);
    entrySetValue(o, n);
  });
  return n;
}

// Elements.
std::uint32_t elementValue(vres* o) {
  auto* e = self<vresArrayElement>(o);
  vresFile* f = fileOf(o);
  std::uint32_t values = cell(f, e->array, colValue);
  if (e->index < 0 || e->index >= vchunkArrayCount(f->chunks, values))
    vexGenerateMessage(&vexArgRangeClass, "Array index out of bounds.");
  std::uint32_t v = arrayGet(f, values, e->index);
  if (elementKind(f, e->array) == vresREFERENCE) referenced(f, e->array, v);
  return v;
}
void elementSetValue(vres* o, std::uint32_t v) {
  auto* e = self<vresArrayElement>(o);
  vresFile* f = fileOf(o);
  checkWritable(f);
  elementValue(o);
  setCell(f, e->array, colValue, vchunkArraySet(f->chunks, cell(f, e->array, colValue), e->index, v));
}

// The value delegates of tags, strings and opaque data map the scrap get
// and set onto the file's accessors.
vres* served(vscrap* w) { return static_cast<vres*>(w->stack[w->depth - 1]); }

// The opaque chunk's address, with the range checked against its size.
std::uint32_t opaqueRange(vres* o, std::size_t offset, std::size_t count) {
  std::uint32_t size = vresGetOpaqueSize(o);
  if (offset > size || count > size - offset) vexGenerateMessage(&vexArgRangeClass, "block range beyond the size");
  return vresGetValueWord(o);
}
void opaqueRead(vres* o, std::size_t offset, std::size_t count, void* buffer) {
  std::uint32_t a = opaqueRange(o, offset, count);
  if (!count) return;
  vchunkFile* c = fileOf(o)->chunks;
  std::memcpy(buffer, vchunkGetData(c, a) + offset, count);
  vchunkRelease(c, a);
}
void opaqueWrite(vres* o, std::size_t offset, std::size_t count, const void* buffer) {
  std::uint32_t a = opaqueRange(o, offset, count);
  vresCheckWritable(o);
  if (!count) return;
  vchunkFile* c = fileOf(o)->chunks;
  std::memcpy(vchunkGetData(c, a) + offset, buffer, count);
  vchunkReleaseDirty(c, a);
}

}  // namespace
void _vresWireCompoundDelegates();
namespace {

void wireDelegates() {
  _vresWireCompoundDelegates();
  auto* tag = static_cast<vscrapTagClassRec*>(vresGetAdaptorClass(vresTAG));
  tag->get = [](vscrap* w) { return vresGetTagValue(served(w)); };
  tag->set = [](vscrap* w, vname v) { vresSetTagValue(served(w), v); };
  auto* str = static_cast<vscrapStringClassRec*>(vresGetAdaptorClass(vresSTRING));
  str->get = [](vscrap* w) { return vresGetString(served(w)); };
  str->set = [](vscrap* w, vscribe* v) { vresSetString(served(w), v); };
  auto* block = static_cast<vscrapBlockClassRec*>(vresGetAdaptorClass(vresOPAQUE));
  block->getSize = [](vscrap* w) { return std::size_t{vresGetOpaqueSize(served(w))}; };
  block->setSize = [](vscrap* w, std::size_t n) {
    if (n > 0x7FFFFFF0u) vexGenerateMessage(&vexArgRangeClass, "block too large for a resource");
    vresSetOpaqueSize(served(w), static_cast<std::uint32_t>(n));
  };
  block->read = [](vscrap* w, std::size_t offset, std::size_t count, void* buffer) {
    opaqueRead(served(w), offset, count, buffer);
  };
  block->write = [](vscrap* w, std::size_t offset, std::size_t count, const void* buffer) {
    opaqueWrite(served(w), offset, count, buffer);
  };
}

Classes* classes() {
  if (auto* bound = vmoduleState<Classes>(classSlot)) return bound;
  vresClassRec* base = vresGetDefaultClass();
  wireDelegates();
  auto* s = static_cast<Classes*>(vmoduleBindSlot(classSlot, sizeof(Classes)));
  auto* index = vclassSpawnOf<vresClassRec>(base);
  vclassSetName(index, vscribeLiteral("vresIndex"));
  index->instanceSize = sizeof(vresIndex);
  index->getKind = [](vres* o) { return rowKind(fileOf(o), self<vresIndex>(o)->number); };
  index->setKind = [](vres* o, int k) { setRowKind(fileOf(o), self<vresIndex>(o)->number, k); };
  index->getValue = [](vres* o) { return vresFileValue(fileOf(o), self<vresIndex>(o)->number); };
  index->setValue = [](vres* o, std::uint32_t v) {
    checkWritable(fileOf(o));
    storeSetValue(o->store, self<vresIndex>(o)->number, v);
  };
  index->getParent = [](vres* o) { return vresFileParent(fileOf(o), self<vresIndex>(o)->number); };
  index->getId = [](vres* o) { return self<vresIndex>(o)->number; };
  index->remove = [](vres* o) {
    vresFile* f = fileOf(o);
    std::uint32_t n = self<vresIndex>(o)->number;
    std::uint32_t parent = vresFileParent(f, n);
    if (!parent) vexGenerateMessage(&vexArgClass, "Cannot delete root resource.");
    int kind = rowKind(f, parent);
    vresIndex container;
    vresInit(&container, o->store, classes()->index);
    container.number = parent;
    if (kind == vresARRAY) {
      resetElement(f, parent, vresArrayIndexOf(&container, n));
    } else if (kind == vresDICTIONARY) {
      removeEntry(f, parent, vresDictTagOf(&container, n));
    } else {
      vexGenerateMessage(&vexModuleStateClass, "Parent is not a container type.");
    }
    vinstanceDestroy(o);
  };
  s->index = index;

  auto* entry = vclassSpawnOf<vresClassRec>(base);
  vclassSetName(entry, vscribeLiteral("vresDictElement"));
  entry->instanceSize = sizeof(vresDictElement);
  entry->getKind = entryKind;
  entry->setKind = [](vres* o, int k) { setEntryKind(fileOf(o), self<vresDictElement>(o)->dictionary, self<vresDictElement>(o)->tag, k); };
  entry->getValue = entryValue;
  entry->setValue = entrySetValue;
  entry->getParent = [](vres* o) { return self<vresDictElement>(o)->dictionary; };
  entry->getId = entryId;
  entry->remove = [](vres* o) {
    removeEntry(fileOf(o), self<vresDictElement>(o)->dictionary, self<vresDictElement>(o)->tag);
    vinstanceDestroy(o);
  };
  s->dictElement = entry;

  auto* element = vclassSpawnOf<vresClassRec>(base);
  vclassSetName(element, vscribeLiteral("vresArrayElement"));
  element->instanceSize = sizeof(vresArrayElement);
  element->getKind = [](vres* o) { return elementKind(fileOf(o), self<vresArrayElement>(o)->array); };
  element->setKind = [](vres* o, int k) { setElementKind(fileOf(o), self<vresArrayElement>(o)->array, k); };
  element->getValue = elementValue;
  element->setValue = elementSetValue;
  element->getParent = [](vres* o) { return self<vresArrayElement>(o)->array; };
  element->getId = [](vres* o) {
    vresFile* f = fileOf(o);
    inPassing(f, [&] { makeReferenceArray(f, self<vresArrayElement>(o)->array); });
    return elementValue(o);
  };
  element->remove = [](vres* o) {
    elementValue(o);
    resetElement(fileOf(o), self<vresArrayElement>(o)->array, self<vresArrayElement>(o)->index);
    vinstanceDestroy(o);
  };
  s->arrayElement = element;
  return s;
}

}  // namespace

void _vresFileSetRowKind(vresFile* f, std::uint32_t n, int kind) { setRowKind(f, n, kind); }

vresClassRec* vresGetIndexClass() { return classes()->index; }
vresClassRec* vresGetDictElementClass() { return classes()->dictElement; }
vresClassRec* vresGetArrayElementClass() { return classes()->arrayElement; }

namespace {
void checkIndex(vresFile* f, std::uint32_t number) {
  if (!inUse(f, number)) vexGenerateMessage(&vexModuleStateClass, "Improper resource ID.");
}
void checkDictionary(vresFile* f, std::uint32_t dict) {
  if (!inUse(f, dict) || rowKind(f, dict) != vresDICTIONARY) vexGenerateMessage(&vexArgClass, "Not a dictionary resource.");
}
void checkArray(vresFile* f, std::uint32_t array, std::int32_t index) {
  if (!inUse(f, array) || rowKind(f, array) != vresARRAY) vexGenerateMessage(&vexArgClass, "Not an array resource.");
  if (index < 0 || index >= vchunkArrayCount(f->chunks, cell(f, array, colValue)))
    vexGenerateMessage(&vexArgRangeClass, "Array index out of bounds.");
}
}  // namespace

vresIndex* vresMakeIndex(vresFile* f, std::uint32_t number) {
  checkIndex(f, number);
  auto* o = static_cast<vresIndex*>(vresCreate(&f->store, vresGetIndexClass()));
  o->number = number;
  return o;
}
void vresInitIndex(vresIndex* o, vresFile* f, std::uint32_t number) {
  checkIndex(f, number);
  vresInit(o, &f->store, vresGetIndexClass());
  o->number = number;
}

vresDictElement* vresMakeDictElement(vresFile* f, std::uint32_t dict, vname tag) {
  checkDictionary(f, dict);
  auto* o = static_cast<vresDictElement*>(vresCreate(&f->store, vresGetDictElementClass()));
  o->dictionary = dict;
  o->tag = tag;
  if (_vndxFindString(shapeOf(f, dict), tag) < 0) {
    vinstanceDestroy(o);
    argTag("Tag not found in dictionary.", tag);
  }
  return o;
}
void vresInitDictElement(vresDictElement* o, vresFile* f, std::uint32_t dict, vname tag) {
  checkDictionary(f, dict);
  if (_vndxFindString(shapeOf(f, dict), tag) < 0) argTag("Tag not found in dictionary.", tag);
  vresInit(o, &f->store, vresGetDictElementClass());
  o->dictionary = dict;
  o->tag = tag;
}

vresArrayElement* vresMakeArrayElement(vresFile* f, std::uint32_t array, std::int32_t index) {
  checkArray(f, array, index);
  auto* o = static_cast<vresArrayElement*>(vresCreate(&f->store, vresGetArrayElementClass()));
  o->array = array;
  o->index = index;
  return o;
}
void vresInitArrayElement(vresArrayElement* o, vresFile* f, std::uint32_t array, std::int32_t index) {
  checkArray(f, array, index);
  vresInit(o, &f->store, vresGetArrayElementClass());
  o->array = array;
  o->index = index;
}

// ---- Dictionaries.
std::uint32_t vresDictRow(vres* o) { return dictRow(o); }
std::uint32_t vresArrayRow(vres* o) { return arrayRow(o); }
void vresDictSetEntryKind(vres* o, vname tag, int kind) { setEntryKind(fileOf(o), dictRow(o), tag, kind); }

int vresDictMakeEntry(vres* o, vname tag, int kind) {
  vresFile* f = fileOf(o);
  std::uint32_t dict = dictRow(o);
  vndxShape* s = shapeOf(f, dict);
  int at = _vndxFindString(s, tag);
  if (at >= 0) {
    int present = s->flags[static_cast<std::size_t>(at)];
    if (kind == vresUNTYPED || present == kind) return 0;
    if (present == vresREFERENCE &&
        rowKind(f, referenced(f, dict, arrayGet(f, cell(f, dict, colValue), at))) == kind)
      return 0;
  }
  setEntryKind(f, dict, tag, kind);
  return 1;
}

void vresDictRename(vres* o, vname from, vname to) {
  vresFile* f = fileOf(o);
  std::uint32_t dict = dictRow(o);
  checkWritable(f);
  vndxShape* s = shapeOf(f, dict);
  int at = _vndxFindString(s, from);
  if (at < 0) vexGenerateMessage(&vexArgClass, "Attempt to rename non-existent tag");
  if (_vndxFindString(s, to) >= 0) vexGenerateMessage(&vexArgClass, "Duplicate tag in dictionary");
  std::uint8_t flag = s->flags[static_cast<std::size_t>(at)];
  std::uint32_t values = cell(f, dict, colValue);
  std::uint32_t value = arrayGet(f, values, at);
  s = vndxGetParent(f->shapes, s, from, flag);
  s = vndxGetChild(f->shapes, s, to, flag);
  int now = _vndxFindString(s, to);
  if (now != at) {
    values = vchunkArrayDelete(f->chunks, values, at);
    values = vchunkArrayInsert(f->chunks, values, now, value);
  }
  setShape(f, dict, s);
  setCell(f, dict, colValue, values);
}

void vresDictClear(vres* o) {
  vresFile* f = fileOf(o);
  std::uint32_t dict = dictRow(o);
  checkWritable(f);
  releaseRow(f, dict);
  setCell(f, dict, colType, vresDICTIONARY);
}

int vresDictHas(vres* o, vname tag) { return _vndxFindString(shapeOf(fileOf(o), dictRow(o)), tag) >= 0; }
std::int32_t vresDictCount(vres* o) {
  return static_cast<std::int32_t>(shapeOf(fileOf(o), dictRow(o))->tags.size());
}
vname vresDictTagAt(vres* o, std::int32_t index) {
  vndxShape* s = shapeOf(fileOf(o), dictRow(o));
  if (index < 0 || static_cast<std::size_t>(index) >= s->tags.size())
    vexGenerateMessage(&vexArgRangeClass, "Dictionary index out of range");
  return s->tags[static_cast<std::size_t>(index)];
}
vname vresDictTagOf(vres* o, std::uint32_t number) {
  vresFile* f = fileOf(o);
  std::uint32_t dict = dictRow(o);
  vndxShape* s = shapeOf(f, dict);
  for (std::size_t i = 0; i < s->tags.size(); ++i)
    if (s->flags[i] == vresREFERENCE && arrayGet(f, cell(f, dict, colValue), static_cast<std::int32_t>(i)) == number)
      return s->tags[i];
  vexGenerateMessage(&vexArgClass, "Resource not found in dictionary.");
}

// ---- Arrays.
std::int32_t vresArrayCount(vres* o) {
  vresFile* f = fileOf(o);
  return vchunkArrayCount(f->chunks, cell(f, arrayRow(o), colValue));
}
void vresArraySetCount(vres* o, std::int32_t n) { setCount(fileOf(o), arrayRow(o), n); }
int vresArrayElementKind(vres* o) { return effectiveElementKind(fileOf(o), arrayRow(o)); }
void vresArraySetElementKind(vres* o, int kind) { setElementKind(fileOf(o), arrayRow(o), kind); }
int vresArrayEntypeElements(vres* o, int kind) {
  int current = vresArrayElementKind(o);
  if (kind == vresUNTYPED || kind == current) return 0;
  if (current != vresUNTYPED) vexGenerateMessage(&vexArgClass, "Only untyped array resources can be entyped.");
  vresArraySetElementKind(o, kind);
  return 1;
}
void vresArrayInsert(vres* o, std::int32_t index) {
  vresFile* f = fileOf(o);
  std::uint32_t array = arrayRow(o);
  checkWritable(f);
  std::uint32_t values = cell(f, array, colValue);
  if (index < 0 || index > vchunkArrayCount(f->chunks, values)) vexGenerateMessage(&vexArgRangeClass, "Array index out of bounds.");
  int kind, effective;
  elementKinds(f, array, kind, effective);
  std::uint32_t value = newElement(f, array, kind, effective);
  setArrayType(f, array, kind);
  setCell(f, array, colValue, vchunkArrayInsert(f->chunks, values, index, value));
}
void vresArrayDelete(vres* o, std::int32_t index) {
  vresFile* f = fileOf(o);
  std::uint32_t array = arrayRow(o);
  checkWritable(f);
  std::uint32_t values = cell(f, array, colValue);
  if (index < 0 || index >= vchunkArrayCount(f->chunks, values)) vexGenerateMessage(&vexArgRangeClass, "Array index out of bounds.");
  std::uint32_t value = arrayGet(f, values, index);
  int kind = elementKind(f, array);
  if (kind == vresREFERENCE) referenced(f, array, value);
  setCell(f, array, colValue, vchunkArrayDelete(f->chunks, values, index));
  releaseValue(f, kind, value, array);
}
std::int32_t vresArrayIndexOf(vres* o, std::uint32_t number) {
  vresFile* f = fileOf(o);
  std::uint32_t array = arrayRow(o);
  if (elementKind(f, array) == vresREFERENCE) {
    std::uint32_t values = cell(f, array, colValue);
    std::int32_t count = vchunkArrayCount(f->chunks, values);
    for (std::int32_t i = 0; i < count; ++i)
      if (arrayGet(f, values, i) == number) return i;
  }
  vexGenerateMessage(&vexArgClass, "Resource not found in array.");
}
