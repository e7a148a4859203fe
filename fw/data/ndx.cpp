// Index sets, tag tables and shape tables with their var-int serial forms.
#include "fw/data/ndx.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "fw/core/mem.h"
#include "fw/data/chunk.h"

namespace {

template <class T>
T* make() {
  return new (vmemAlloc(sizeof(T))) T;
}

template <class T>
void unmake(T* p) {
  if (!p) return;
  p->~T();
  vmemFree(p);
}

// Var-int output: counts when out is null.
struct Writer {
  std::uint8_t* out;
  std::size_t size = 0;
  void put(std::int32_t v, int flags = 0) {
    std::uint8_t b[5] = {static_cast<std::uint8_t>(flags << 4)};
    int n = vchunkEncodeInt(b, v);
    if (out) std::memcpy(out + size, b, static_cast<std::size_t>(n));
    size += static_cast<std::size_t>(n);
  }
  void bytes(const char* p, std::size_t n) {
    if (out) std::memcpy(out + size, p, n);
    size += n;
  }
};

// Checked var-int input: ok turns false at the first bad or missing value.
struct Reader {
  const std::uint8_t* p;
  const std::uint8_t* end;
  bool ok = true;
  std::int32_t get(int* flags = nullptr) {
    std::int32_t v = 0;
    int n = ok ? vchunkDecodeInt(p, end, &v) : 0;
    if (n == 0) {
      ok = false;
      return 0;
    }
    if (flags) *flags = p[0] >> 4;
    p += n;
    return v;
  }
  std::size_t left() const { return static_cast<std::size_t>(end - p); }
};

std::size_t indexOf(const vndx* s, int row, int column) {
  return static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(s->columns) + static_cast<std::size_t>(column);
}

void checkRow(const vndx* s, int row, int column = 0) {
  if (row < 1 || row > s->capacity || column < 0 || column >= s->columns)
    vexGenerateMessage(&vexArgRangeClass, "index set row or column");
}

void resizeRows(vndx* s, int rows) {
  s->cells.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(s->columns), 0);
  for (int r = s->capacity; r < rows; ++r) s->cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(s->columns)] = vndxFREE_ROW_VALUE;
  s->capacity = rows;
}

std::size_t writeSet(const vndx* s, std::uint8_t* out) {
  Writer w{out};
  w.put(s->client1), w.put(s->client2), w.put(s->highest + 1), w.put(s->columns);
  for (int r = 0; r <= s->highest; ++r) {
    std::size_t at = static_cast<std::size_t>(r) * static_cast<std::size_t>(s->columns);
    w.put(static_cast<std::int32_t>(s->cells[at]));
    if (s->cells[at] != vndxFREE_ROW_VALUE)
      for (int c = 1; c < s->columns; ++c) w.put(static_cast<std::int32_t>(s->cells[at + static_cast<std::size_t>(c)]));
  }
  return w.size;
}

}  // namespace

vndx* vndxCreateSized(int rows, int columns) {
  if (rows < 1 || columns < 1) vexGenerateMessage(&vexArgRangeClass, "index set size");
  vndx* s = make<vndx>();
  s->columns = columns;
  resizeRows(s, rows);
  return s;
}
vndx* vndxCreate(int columns) { return vndxCreateSized(256, columns); }
void vndxDestroy(vndx* s) { unmake(s); }
std::size_t vndxSerialSize(const vndx* s) { return writeSet(s, nullptr); }
std::uint8_t* vndxWrite(const vndx* s, std::uint8_t* out) { return out + writeSet(s, out); }

vndx* vndxRead(const std::uint8_t* data, std::size_t length) {
  Reader r{data, data + length};
  std::int32_t c1 = r.get(), c2 = r.get(), rows = r.get(), columns = r.get();
  // Every row takes a byte at least; every cell of a row in use one more.
  if (!r.ok || rows < 0 || columns < 1 || static_cast<std::size_t>(rows) > r.left() ||
      static_cast<std::size_t>(columns) > r.left() + 1)
    return nullptr;
  vndx* s = vndxCreateSized(std::max(rows, 1), columns);
  s->client1 = c1, s->client2 = c2;
  for (int row = 0; row < rows && r.ok; ++row) {
    std::size_t at = static_cast<std::size_t>(row) * static_cast<std::size_t>(columns);
    s->cells[at] = static_cast<std::uint32_t>(r.get());
    if (s->cells[at] != vndxFREE_ROW_VALUE) {
      if (static_cast<std::size_t>(columns - 1) > r.left()) r.ok = false;
      for (int c = 1; c < columns && r.ok; ++c) s->cells[at + static_cast<std::size_t>(c)] = static_cast<std::uint32_t>(r.get());
    }
  }
  if (!r.ok) {
    vndxDestroy(s);
    return nullptr;
  }
  s->highest = rows - 1;
  return s;
}

int vndxAddRow(vndx* s) {
  int row = s->hint;
  while (row < s->capacity && s->cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(s->columns)] != vndxFREE_ROW_VALUE) ++row;
  if (row == s->capacity) {
    if (s->capacity > INT32_MAX / 2) vexGenerateMessage(&vexArgRangeClass, "index set full");
    resizeRows(s, s->capacity * 2);
  }
  std::fill_n(s->cells.begin() + static_cast<std::ptrdiff_t>(indexOf(s, row + 1, 0)), s->columns, 0u);
  s->hint = row + 1;
  s->highest = std::max(s->highest, row);
  s->modified = true;
  return row + 1;
}

void vndxRemoveRow(vndx* s, int row) {
  checkRow(s, row);
  s->cells[indexOf(s, row, 0)] = vndxFREE_ROW_VALUE;
  s->hint = std::min(s->hint, row - 1);
  if (row - 1 == s->highest) --s->highest;
  s->modified = true;
}

bool vndxRowExists(const vndx* s, int row) {
  return row >= 1 && row <= s->capacity && s->cells[indexOf(s, row, 0)] != vndxFREE_ROW_VALUE;
}

void vndxSetCell(vndx* s, int row, int column, std::uint32_t value) {
  checkRow(s, row, column);
  s->cells[indexOf(s, row, column)] = value;
  s->modified = true;
}

std::uint32_t vndxGetCell(const vndx* s, int row, int column) {
  checkRow(s, row, column);
  return s->cells[indexOf(s, row, column)];
}

int vndxNextRow(const vndx* s, int row) {
  for (int r = std::max(row, 0) + 1; r <= s->highest + 1; ++r)
    if (vndxRowExists(s, r)) return r;
  return 0;
}

// ---- Tag tables: entries in string order, each sharing up to 15 leading
// characters with the one before.

namespace {

std::size_t writeTags(const vndxTagTable* t, std::uint8_t* out) {
  Writer w{out};
  w.put(t->client1), w.put(t->client2), w.put(static_cast<std::int32_t>(t->numbers.size())), w.put(t->next),
      w.put(t->longest);
  const std::string* previous = nullptr;
  for (const auto& [text, number] : t->numbers) {
    std::size_t shared = 0;
    if (previous)
      while (shared < 15 && shared < previous->size() && shared < text.size() && (*previous)[shared] == text[shared]) ++shared;
    w.put(number);
    w.put(static_cast<std::int32_t>(text.size()), static_cast<int>(shared));
    w.bytes(text.data() + shared, text.size() - shared);
    previous = &text;
  }
  return w.size;
}

}  // namespace

vndxTagTable* vndxCreateTagTable() { return make<vndxTagTable>(); }
void vndxDestroyTagTable(vndxTagTable* t) { unmake(t); }

std::int32_t vndxTagNumber(vndxTagTable* t, vname tag) {
  auto it = t->numbers.find(tag);
  if (it != t->numbers.end()) return it->second;
  std::int32_t n = t->next++;
  t->numbers.emplace(tag, n);
  t->tags.emplace(n, tag);
  t->longest = static_cast<std::uint16_t>(std::max<std::size_t>(t->longest, std::strlen(tag)));
  t->modified = true;
  return n;
}

vname vndxTagOf(const vndxTagTable* t, std::int32_t number) {
  auto it = t->tags.find(number);
  return it == t->tags.end() ? nullptr : it->second;
}

std::size_t vndxTagTableSerialSize(const vndxTagTable* t) { return writeTags(t, nullptr); }
std::uint8_t* vndxWriteTagTable(const vndxTagTable* t, std::uint8_t* out) { return out + writeTags(t, out); }

vndxTagTable* vndxReadTagTable(const std::uint8_t* data, std::size_t length) {
  Reader r{data, data + length};
  vndxTagTable* t = vndxCreateTagTable();
  t->client1 = r.get(), t->client2 = r.get();
  std::int32_t count = r.get();
  t->next = r.get();
  std::int32_t longest = r.get();
  r.ok = r.ok && count >= 0 && static_cast<std::size_t>(count) <= r.left() && longest >= 0 && longest <= 0xFFFF;
  std::string previous;
  for (std::int32_t i = 0; i < count && r.ok; ++i) {
    std::int32_t number = r.get();
    int shared = 0;
    std::int32_t size = r.get(&shared);
    if (!r.ok || size < shared || static_cast<std::size_t>(shared) > previous.size() ||
        static_cast<std::size_t>(size - shared) > r.left() || t->tags.count(number)) {
      r.ok = false;
      break;
    }
    std::string text = previous.substr(0, static_cast<std::size_t>(shared));
    text.append(reinterpret_cast<const char*>(r.p), static_cast<std::size_t>(size - shared));
    r.p += size - shared;
    vname tag = vnameIntern(vscribeCStringSized(text.data(), text.size()));
    t->numbers.emplace(tag, number);
    t->tags.emplace(number, tag);
    previous = std::move(text);
  }
  if (!r.ok) {
    vndxDestroyTagTable(t);
    return nullptr;
  }
  t->longest = static_cast<std::uint16_t>(longest);
  return t;
}

// ---- Shapes.

namespace {

constexpr std::int32_t kPinned = 0x7FFFFFFF;

std::uintptr_t term(vname tag, std::uint8_t flag) { return flag | reinterpret_cast<std::uintptr_t>(tag) << 2; }

bool tagLess(vname a, vname b) { return a != b && std::strcmp(a, b) < 0; }

void computeKey(vndxShape* s) {
  s->key = 1;
  for (std::size_t i = 0; i < s->tags.size(); ++i) s->key += term(s->tags[i], s->flags[i]);
}

vndxShape* findShape(vndxShapeTable* t, std::uintptr_t key, const std::vector<vname>& tags,
                     const std::vector<std::uint8_t>& flags) {
  auto [lo, hi] = t->byKey.equal_range(key);
  for (auto it = lo; it != hi; ++it)
    if (it->second->tags == tags && it->second->flags == flags) return it->second;
  return nullptr;
}

vndxShape* addShape(vndxShapeTable* t, std::int32_t number, std::vector<vname> tags, std::vector<std::uint8_t> flags,
                    std::int32_t references, const std::uintptr_t* key = nullptr) {
  vndxShape* s = make<vndxShape>();
  s->number = number;
  s->tags = std::move(tags);
  s->flags = std::move(flags);
  s->references = references;
  if (key) {
    s->key = *key;
  } else {
    computeKey(s);
  }
  t->byKey.emplace(s->key, s);
  t->byNumber[number] = s;
  return s;
}

// Moves from node to the shape with these tags, made when absent. The key
// is node's with one term added or taken away: a sum needs no new walk.
vndxShape* moveTo(vndxShapeTable* t, vndxShape* node, std::vector<vname> tags, std::vector<std::uint8_t> flags,
                  std::uintptr_t key) {
  vndxShape* found = findShape(t, key, tags, flags);
  if (!found) {
    found = addShape(t, t->next++, std::move(tags), std::move(flags), 0, &key);
    t->modified = true;
  }
  vndxReference(found);
  vndxRelease(t, node);
  return found;
}

std::size_t writeShapes(const vndxShapeTable* t, vndxTagTable* tags, std::uint8_t* out) {
  Writer w{out};
  w.put(t->client1), w.put(t->client2), w.put(t->next), w.put(vndxShapeCount(t));
  for (const auto& [number, s] : t->byNumber) {
    if (number == 0 || s->references == 0) continue;
    w.put(number), w.put(static_cast<std::int32_t>(s->tags.size())), w.put(s->references);
    for (std::size_t i = 0; i < s->tags.size(); ++i) w.put(vndxTagNumber(tags, s->tags[i])), w.put(s->flags[i]);
  }
  return w.size;
}

}  // namespace

vndxShapeTable* vndxCreateShapeTable() {
  vndxShapeTable* t = make<vndxShapeTable>();
  addShape(t, 0, {}, {}, kPinned);
  return t;
}

void vndxDestroyShapeTable(vndxShapeTable* t) {
  if (!t) return;
  for (auto& [n, s] : t->byNumber) unmake(s);
  unmake(t);
}

vndxShape* vndxLookup(vndxShapeTable* t, std::int32_t number) {
  auto it = t->byNumber.find(number);
  return it == t->byNumber.end() ? nullptr : it->second;
}

int _vndxFindString(const vndxShape* node, vname tag) {
  auto it = std::lower_bound(node->tags.begin(), node->tags.end(), tag, tagLess);
  return it != node->tags.end() && (*it == tag || std::strcmp(*it, tag) == 0) ? static_cast<int>(it - node->tags.begin()) : -1;
}

vndxShape* vndxGetChild(vndxShapeTable* t, vndxShape* node, vname tag, std::uint8_t flag) {
  if (_vndxFindString(node, tag) >= 0) vexGenerateMessage(&vexArgClass, "Duplicate tag in dictionary");
  auto at = std::lower_bound(node->tags.begin(), node->tags.end(), tag, tagLess) - node->tags.begin();
  std::vector<vname> tags;
  std::vector<std::uint8_t> flags;
  tags.reserve(node->tags.size() + 1);
  flags.reserve(node->flags.size() + 1);
  tags.insert(tags.end(), node->tags.begin(), node->tags.begin() + at);
  tags.push_back(tag);
  tags.insert(tags.end(), node->tags.begin() + at, node->tags.end());
  flags.insert(flags.end(), node->flags.begin(), node->flags.begin() + at);
  flags.push_back(flag);
  flags.insert(flags.end(), node->flags.begin() + at, node->flags.end());
  return moveTo(t, node, std::move(tags), std::move(flags), node->key + term(tag, flag));
}

vndxShape* vndxGetParent(vndxShapeTable* t, vndxShape* node, vname tag, std::uint8_t) {
  int at = _vndxFindString(node, tag);
  if (at < 0) vexGenerateMessage(&vexArgClass, "tag not in the shape");
  std::uintptr_t key = node->key - term(node->tags[static_cast<std::size_t>(at)], node->flags[static_cast<std::size_t>(at)]);
  std::vector<vname> tags = node->tags;
  std::vector<std::uint8_t> flags = node->flags;
  tags.erase(tags.begin() + at);
  flags.erase(flags.begin() + at);
  return moveTo(t, node, std::move(tags), std::move(flags), key);
}

void vndxReference(vndxShape* node) {
  if (node->references != kPinned) ++node->references;
}

void vndxRelease(vndxShapeTable* t, vndxShape* node) {
  if (node->references == kPinned || node->references == 0) return;
  if (--node->references || node->tags.size() <= 20) return;
  auto [lo, hi] = t->byKey.equal_range(node->key);
  for (auto it = lo; it != hi; ++it)
    if (it->second == node) {
      t->byKey.erase(it);
      break;
    }
  t->byNumber.erase(node->number);
  unmake(node);
}

int vndxShapeCount(const vndxShapeTable* t) {
  int n = 0;
  for (const auto& [number, s] : t->byNumber) n += number != 0 && s->references != 0;
  return n;
}

std::size_t vndxShapeTableSerialSize(const vndxShapeTable* t, vndxTagTable* tags) { return writeShapes(t, tags, nullptr); }
std::uint8_t* vndxWriteShapeTable(const vndxShapeTable* t, vndxTagTable* tags, std::uint8_t* out) {
  return out + writeShapes(t, tags, out);
}

vndxShapeTable* vndxReadShapeTable(const std::uint8_t* data, std::size_t length, const vndxTagTable* tags) {
  Reader r{data, data + length};
  vndxShapeTable* t = vndxCreateShapeTable();
  t->client1 = r.get(), t->client2 = r.get(), t->next = r.get();
  std::int32_t count = r.get();
  r.ok = r.ok && count >= 0 && static_cast<std::size_t>(count) <= r.left() && t->next >= 1;
  for (std::int32_t i = 0; i < count && r.ok; ++i) {
    std::int32_t number = r.get(), tagCount = r.get(), references = r.get();
    if (!r.ok || number <= 0 || number >= t->next || tagCount < 0 || static_cast<std::size_t>(tagCount) > r.left() ||
        references <= 0 || t->byNumber.count(number)) {
      r.ok = false;
      break;
    }
    std::vector<vname> names;
    std::vector<std::uint8_t> flags;
    for (std::int32_t k = 0; k < tagCount && r.ok; ++k) {
      vname tag = vndxTagOf(tags, r.get());
      std::int32_t flag = r.get();
      if (!tag || flag < 0 || flag > 255 || (!names.empty() && !tagLess(names.back(), tag))) r.ok = false;
      names.push_back(tag);
      flags.push_back(static_cast<std::uint8_t>(flag));
    }
    if (r.ok) addShape(t, number, std::move(names), std::move(flags), references);
  }
  if (!r.ok) {
    vndxDestroyShapeTable(t);
    return nullptr;
  }
  return t;
}
