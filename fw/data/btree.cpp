// B-tree operations: records, search, insertion with page splits,
// deletion, cursors and compaction.
#include <algorithm>
#include <string>

#include "fw/data/btree_internal.h"

namespace {

using namespace bt;
using Bytes = std::vector<std::uint8_t>;

struct Key {
  const std::uint8_t* data;
  std::uint32_t size;
};

std::uint32_t slotCount(const std::uint8_t* p) { return (rd32(p + SLOT_END) - SLOTS) / 4; }
bool isLeaf(const std::uint8_t* p) { return rd32(p + FLAGS) & LEAF; }

// A leaf or interior page: an overflow page met in the tree is damage.
std::uint8_t* treePage(vbtree* t, std::uint32_t n) {
  std::uint8_t* p = page(t, n);
  if (rd32(p + FLAGS) & OVERFLOW) corrupt(t, "overflow page in the tree");
  return p;
}

// A record's layout, checked against its page.
struct Record {
  std::uint32_t offset, header, keyLength, valueLength, flags, child, size;
};

Record recordAt(vbtree* t, const std::uint8_t* p, std::uint32_t slot) {
  if (slot >= slotCount(p)) corrupt(t, "slot out of range");
  Record r{};
  r.offset = rd32(p + SLOTS + 4 * slot);
  std::uint32_t size = t->pageSize;
  if (r.offset < rd32(p + SLOT_END) || r.offset > size - 4) corrupt(t, "record offset out of range");
  const std::uint8_t* b = p + r.offset;
  if (isLeaf(p) && (b[0] & 0x80)) {
    r = {r.offset, 4, b[1], rd16(b + 2), b[0] & 0x7Fu, 0, 0};
  } else {
    if (r.offset > size - 12) corrupt(t, "record offset out of range");
    r.header = 12;
    r.keyLength = rd32(b);
    if (isLeaf(p)) r.valueLength = rd32(b + 4);
    else r.child = rd32(b + 4);
    r.flags = rd32(b + 8);
  }
  std::uint64_t total = std::uint64_t{r.header} + r.keyLength + r.valueLength;
  if (r.offset + total > size) corrupt(t, "record past its page");
  if (((r.flags & KEY_CHAIN) && r.keyLength != 4) || (isLeaf(p) && (r.flags & VALUE_CHAIN) && r.valueLength != 4))
    corrupt(t, "bad overflow reference");
  r.size = static_cast<std::uint32_t>(total);
  return r;
}

// The full key of a slot; scratch holds it when it lives in a chain.
Key keyAt(vbtree* t, const std::uint8_t* p, std::uint32_t slot, Bytes& scratch) {
  Record r = recordAt(t, p, slot);
  const std::uint8_t* k = p + r.offset + r.header;
  if (!(r.flags & KEY_CHAIN)) return {k, r.keyLength};
  readChain(t, rd32(k), scratch);
  return {scratch.data(), static_cast<std::uint32_t>(scratch.size())};
}

void valueAt(vbtree* t, const std::uint8_t* p, std::uint32_t slot, Bytes& out) {
  Record r = recordAt(t, p, slot);
  const std::uint8_t* v = p + r.offset + r.header + r.keyLength;
  if (r.flags & VALUE_CHAIN) return readChain(t, rd32(v), out);
  out.assign(v, v + r.valueLength);
}

int compare(const vbtree* t, Key a, Key b) {
  std::uint32_t n = std::min(a.size, b.size);
  for (std::uint32_t i = 0; i < n; ++i) {
    int x = a.data[i], y = b.data[i];
    if (!(t->flags & vbtreeUNSIGNED_KEYS)) x = static_cast<std::int8_t>(x), y = static_cast<std::int8_t>(y);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size == b.size ? 0 : a.size < b.size ? -1 : 1;
}

// The first slot whose key is not less than k.
std::uint32_t leafSearch(vbtree* t, const std::uint8_t* p, Key k, bool* equal) {
  std::uint32_t lo = 0, hi = slotCount(p);
  Bytes scratch;
  while (lo < hi) {
    std::uint32_t mid = (lo + hi) / 2;
    if (compare(t, keyAt(t, p, mid, scratch), k) < 0) lo = mid + 1;
    else hi = mid;
  }
  *equal = lo < slotCount(p) && compare(t, keyAt(t, p, lo, scratch), k) == 0;
  return lo;
}

// The last slot whose key is not greater than k; slot 0 sorts below all.
std::uint32_t innerSearch(vbtree* t, const std::uint8_t* p, Key k) {
  std::uint32_t lo = 1, hi = slotCount(p);
  Bytes scratch;
  while (lo < hi) {
    std::uint32_t mid = (lo + hi) / 2;
    if (compare(t, keyAt(t, p, mid, scratch), k) <= 0) lo = mid + 1;
    else hi = mid;
  }
  return lo - 1;
}

std::uint32_t childAt(vbtree* t, const std::uint8_t* p, std::uint32_t slot) {
  std::uint32_t c = recordAt(t, p, slot).child;
  if (c < 2 || c > t->last) corrupt(t, "child page out of range");
  return c;
}

// Descends to the leaf for k (or the leftmost / rightmost leaf), keeping
// the interior pages passed in t->descent.
enum class Way { ByKey, Leftmost, Rightmost };
std::uint32_t descend(vbtree* t, Key k, Way way = Way::ByKey) {
  t->descent.clear();
  std::uint32_t n = 1;
  for (int depth = 0;; ++depth) {
    std::uint8_t* p = treePage(t, n);
    if (isLeaf(p)) return n;
    std::uint32_t count = slotCount(p);
    if (count == 0 || depth >= MAX_DEPTH) corrupt(t, "bad interior page");
    t->descent.push_back(n);
    std::uint32_t slot = way == Way::Leftmost ? 0 : way == Way::Rightmost ? count - 1 : innerSearch(t, p, k);
    n = childAt(t, p, slot);
  }
}

std::uint32_t neighbour(vbtree* t, std::uint32_t n, std::uint32_t side) {
  std::uint32_t m = rd32(page(t, n) + side);
  if (m == 1 || m > t->last) corrupt(t, "neighbour out of range");
  if (m && !isLeaf(treePage(t, m))) corrupt(t, "neighbour is not a leaf");
  return m;
}

// ---- Records.

std::uint32_t overflowLimit(const vbtree* t) { return t->pageSize / 5; }

// A key goes to a chain when long, or when its length would make a
// long-form record read as a short one (bit 0x80 of the first byte).
bool keyInChain(const vbtree* t, std::size_t length) {
  return length >= overflowLimit(t) || (length > 255 && (length & 0x80));
}

void put32(Bytes& b, std::uint32_t v) {
  std::size_t at = b.size();
  b.resize(at + 4);
  wr32(b.data() + at, v);
}

void append(Bytes& b, const std::uint8_t* data, std::size_t n) {
  if (!n) return;
  std::size_t at = b.size();
  b.resize(at + n);
  std::memcpy(b.data() + at, data, n);
}

Bytes chainRef(vbtree* t, const std::uint8_t* data, std::size_t length) {
  Bytes b;
  put32(b, writeChain(t, data, static_cast<std::uint32_t>(length)));
  return b;
}

Bytes buildLeaf(vbtree* t, const std::uint8_t* key, std::size_t keyLength, const std::uint8_t* value,
                std::size_t valueLength) {
  std::uint32_t flags = 0;
  Bytes k, v;
  append(k, key, keyLength);
  append(v, value, valueLength);
  if (keyInChain(t, keyLength)) k = chainRef(t, key, keyLength), flags |= KEY_CHAIN;
  if (valueLength >= overflowLimit(t)) v = chainRef(t, value, valueLength), flags |= VALUE_CHAIN;
  Bytes b;
  if (k.size() <= 255 && v.size() <= 65535) {
    b.resize(4);
    b[0] = static_cast<std::uint8_t>(0x80 | flags);
    b[1] = static_cast<std::uint8_t>(k.size());
    wr16(b.data() + 2, static_cast<std::uint16_t>(v.size()));
  } else {
    put32(b, static_cast<std::uint32_t>(k.size()));
    put32(b, static_cast<std::uint32_t>(v.size()));
    put32(b, flags);
  }
  append(b, k.data(), k.size());
  append(b, v.data(), v.size());
  return b;
}

Bytes buildInner(const std::uint8_t* storedKey, std::uint32_t keyLength, std::uint32_t child, std::uint32_t flags) {
  Bytes b;
  put32(b, keyLength);
  put32(b, child);
  put32(b, flags & KEY_CHAIN);
  append(b, storedKey, keyLength);
  return b;
}

Bytes recordBytes(vbtree* t, const std::uint8_t* p, std::uint32_t slot) {
  Record r = recordAt(t, p, slot);
  return Bytes(p + r.offset, p + r.offset + r.size);
}

// The separator naming page `child` by the key of record `slot` of page
// p: a key in a chain is shared, and its chain is then kept for good.
Bytes separator(vbtree* t, const std::uint8_t* p, std::uint32_t slot, std::uint32_t child) {
  Record r = recordAt(t, p, slot);
  const std::uint8_t* k = p + r.offset + r.header;
  if (r.flags & KEY_CHAIN) {
    std::uint32_t chain = rd32(k);
    std::uint8_t* c = page(t, chain);
    wr32(c + FLAGS, rd32(c + FLAGS) | KEPT);
    touch(t, chain);
  }
  return buildInner(k, r.keyLength, child, r.flags);
}

// The slot array ends before the records start, and both lie in the page;
// a page read from a damaged file may say otherwise, and the moves below
// would then run past it.
void checkLayout(vbtree* t, const std::uint8_t* p) {
  std::uint32_t slotEnd = rd32(p + SLOT_END), start = rd32(p + RECORD_START);
  if (slotEnd < SLOTS || (slotEnd - SLOTS) % 4 != 0 || slotEnd > start || start > t->pageSize)
    corrupt(t, "bad page layout");
}

bool insertRecord(vbtree* t, std::uint32_t n, std::uint32_t slot, const Bytes& record) {
  std::uint8_t* p = page(t, n);
  checkLayout(t, p);
  if (slot > slotCount(p)) corrupt(t, "slot out of range");
  auto size = static_cast<std::uint32_t>(record.size());
  std::uint32_t slotEnd = rd32(p + SLOT_END), start = rd32(p + RECORD_START);
  if (round4(size) + 4 > start - slotEnd) return false;
  std::uint32_t count = slotCount(p);
  std::memmove(p + SLOTS + 4 * (slot + 1), p + SLOTS + 4 * slot, 4 * (count - slot));
  start -= round4(size);
  std::memset(p + start, 0, round4(size));
  std::memcpy(p + start, record.data(), size);
  wr32(p + SLOTS + 4 * slot, start);
  wr32(p + RECORD_START, start);
  wr32(p + SLOT_END, slotEnd + 4);
  touch(t, n);
  return true;
}

void removeRecord(vbtree* t, std::uint32_t n, std::uint32_t slot, bool freeChains) {
  std::uint8_t* p = page(t, n);
  checkLayout(t, p);
  Record r = recordAt(t, p, slot);
  if (r.offset < rd32(p + RECORD_START) || std::uint64_t{r.offset} + round4(r.size) > t->pageSize)
    corrupt(t, "record outside the record area");
  if (freeChains && isLeaf(p)) {
    const std::uint8_t* k = p + r.offset + r.header;
    if (r.flags & KEY_CHAIN) freeChain(t, rd32(k));
    if (r.flags & VALUE_CHAIN) freeChain(t, rd32(k + r.keyLength));
  }
  std::uint32_t gap = round4(r.size), start = rd32(p + RECORD_START), count = slotCount(p);
  std::memmove(p + start + gap, p + start, r.offset - start);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t off = rd32(p + SLOTS + 4 * i);
    if (off < r.offset) wr32(p + SLOTS + 4 * i, off + gap);
  }
  std::memmove(p + SLOTS + 4 * slot, p + SLOTS + 4 * (slot + 1), 4 * (count - slot - 1));
  wr32(p + RECORD_START, start + gap);
  wr32(p + SLOT_END, rd32(p + SLOT_END) - 4);
  touch(t, n);
}

// ---- Splits.

std::vector<Bytes> takeRecords(vbtree* t, std::uint32_t n) {
  std::uint8_t* p = page(t, n);
  std::vector<Bytes> out;
  for (std::uint32_t i = 0; i < slotCount(p); ++i) out.push_back(recordBytes(t, p, i));
  return out;
}

void fill(vbtree* t, std::uint32_t n, std::uint32_t flags, std::uint32_t left, std::uint32_t right,
          const std::vector<Bytes>& records, std::size_t from, std::size_t to) {
  std::uint8_t* p = page(t, n);
  initPage(p, n, t->pageSize, flags);
  wr32(p + LEFT, left);
  wr32(p + RIGHT, right);
  for (std::size_t i = from; i < to; ++i)
    if (!insertRecord(t, n, static_cast<std::uint32_t>(i - from), records[i]))
      vexGenerateMessage(&vexModuleStateClass, "B-tree record does not fit its page");
  touch(t, n);
}

// Records before the split point stay left: past half the usable space,
// moved back to the last of equal neighbouring keys.
std::size_t splitPoint(vbtree* t, std::uint32_t n, const std::vector<Bytes>& records) {
  std::uint32_t used = 0, half = (t->pageSize - SLOTS) / 2;
  std::size_t k = 0;
  while (k < records.size() && used <= half) used += round4(static_cast<std::uint32_t>(records[k++].size())) + 4;
  std::uint8_t* p = page(t, n);
  Bytes a, b;
  for (std::size_t i = 1; i < k && isLeaf(p); ++i)
    if (compare(t, keyAt(t, p, static_cast<std::uint32_t>(i - 1), a), keyAt(t, p, static_cast<std::uint32_t>(i), b)) == 0)
      k = std::max<std::size_t>(i, 1);
  if (records.size() < 2) corrupt(t, "page too full to split");
  return std::clamp<std::size_t>(k, 1, records.size() - 1);
}

void insertSeparator(vbtree* t, const std::vector<std::uint32_t>& path, std::size_t at, const Bytes& sep,
                     std::uint32_t leftChild);

void splitRoot(vbtree* t) {
  std::uint8_t* root = page(t, 1);
  std::uint32_t flags = rd32(root + FLAGS) & LEAF;
  std::vector<Bytes> records = takeRecords(t, 1);
  std::size_t k = splitPoint(t, 1, records);
  std::uint32_t left = newPage(t, flags), right = newPage(t, flags);
  fill(t, left, flags, 0, right, records, 0, k);
  fill(t, right, flags, left, 0, records, k, records.size());
  Bytes first = buildInner(nullptr, 0, left, 0), second = separator(t, page(t, right), 0, right);
  fill(t, 1, 0, 0, 0, {first, second}, 0, 2);
}

void splitPage(vbtree* t, const std::vector<std::uint32_t>& path, std::size_t at) {
  std::uint32_t n = path[at];
  if (n == 1) return splitRoot(t);
  std::uint8_t* p = page(t, n);
  std::uint32_t flags = rd32(p + FLAGS) & (LEAF | KEPT), oldRight = rd32(p + RIGHT), left = rd32(p + LEFT);
  std::vector<Bytes> records = takeRecords(t, n);
  std::size_t k = splitPoint(t, n, records);
  std::uint32_t right = newPage(t, flags);
  fill(t, n, flags, left, right, records, 0, k);
  fill(t, right, flags, n, oldRight, records, k, records.size());
  if (oldRight) {
    if (oldRight > t->last) corrupt(t, "neighbour out of range");
    wr32(treePage(t, oldRight) + LEFT, right);
    touch(t, oldRight);
  }
  insertSeparator(t, path, at - 1, separator(t, page(t, right), 0, right), n);
}

// The slot after the entry for child in page n, or -1 when n has none.
std::int64_t slotAfter(vbtree* t, std::uint32_t n, std::uint32_t child) {
  std::uint8_t* p = page(t, n);
  if (isLeaf(p)) return -1;
  for (std::uint32_t i = 0; i < slotCount(p); ++i)
    if (recordAt(t, p, i).child == child) return i + 1;
  return -1;
}

void insertSeparator(vbtree* t, const std::vector<std::uint32_t>& path, std::size_t at, const Bytes& sep,
                     std::uint32_t leftChild) {
  std::uint32_t parent = path[at];
  std::int64_t slot = slotAfter(t, parent, leftChild);
  if (slot < 0) corrupt(t, "parent does not name its child");
  if (insertRecord(t, parent, static_cast<std::uint32_t>(slot), sep)) return;
  splitPage(t, path, at);
  // The entry for the split page is now in the parent, its new right
  // half, or (after a root split) one of the root's two children.
  std::vector<std::uint32_t> candidates = {parent, rd32(page(t, parent) + RIGHT)};
  if (parent == 1)
    for (std::uint32_t i = 0; i < slotCount(page(t, 1)); ++i) candidates.push_back(childAt(t, page(t, 1), i));
  for (std::uint32_t c : candidates) {
    if (c == 0) continue;
    slot = slotAfter(t, c, leftChild);
    if (slot >= 0) {
      if (!insertRecord(t, c, static_cast<std::uint32_t>(slot), sep))
        vexGenerateMessage(&vexModuleStateClass, "B-tree separator does not fit");
      return;
    }
  }
  corrupt(t, "split lost a child");
}

// ---- Delivering records.

bool deliver(vbtree* t, std::uint32_t n, std::uint32_t slot, const void** key, std::size_t* keyLength,
             const void** value, std::size_t* valueLength) {
  std::uint8_t* p = page(t, n);
  Bytes scratch;
  Key k = keyAt(t, p, slot, scratch);
  t->keyBuffer.assign(k.data, k.data + k.size);
  valueAt(t, p, slot, t->valueBuffer);
  t->cursorKey = t->keyBuffer;
  t->cursorRemoved = false;
  t->flags |= vbtreeCURSOR;
  if (key) *key = t->keyBuffer.data();
  if (keyLength) *keyLength = t->keyBuffer.size();
  if (value) *value = t->valueBuffer.data();
  if (valueLength) *valueLength = t->valueBuffer.size();
  return true;
}

// From (n, slot) forward over empty leaves to a record; false at the end.
bool forward(vbtree* t, std::uint32_t& n, std::uint32_t& slot) {
  for (std::uint32_t steps = 0; slot >= slotCount(page(t, n)); ++steps) {
    if (steps > t->last) corrupt(t, "leaf chain loops");
    n = neighbour(t, n, RIGHT);
    if (!n) return false;
    slot = 0;
  }
  return true;
}

// From (n, slot) backward; slot -1 stands before the page's first record.
bool backward(vbtree* t, std::uint32_t& n, std::int64_t& slot) {
  for (std::uint32_t steps = 0; slot < 0; ++steps) {
    if (steps > t->last) corrupt(t, "leaf chain loops");
    n = neighbour(t, n, LEFT);
    if (!n) return false;
    slot = static_cast<std::int64_t>(slotCount(page(t, n))) - 1;
  }
  return true;
}

// A step that does not move past the cursor's key in its direction means
// the keys are out of order: without this a damaged file could cycle.
void checkOrder(vbtree* t, std::uint32_t n, std::uint32_t slot, Key from, int direction) {
  Bytes scratch;
  int c = compare(t, keyAt(t, page(t, n), slot, scratch), from);
  if (c * direction < 0 || (c == 0 && !t->cursorRemoved)) corrupt(t, "keys out of order");
}

template <class F>
auto operation(vbtree* t, F body) {
  struct Settle {
    vbtree* t;
    ~Settle() {
      if (!t->corrupt) bt::settle(t);
    }
  } settle{t};
  return body();
}

Key keyOf(const void* key, std::size_t length) {
  if (length > UINT32_MAX / 2) vexGenerateMessage(&vexArgRangeClass, "B-tree key too long");
  return {static_cast<const std::uint8_t*>(key), static_cast<std::uint32_t>(length)};
}

}  // namespace

int vbtreeFind(vbtree* t, const void* key, std::size_t keyLength, const void** value, std::size_t* valueLength) {
  return operation(t, [&] {
    Key k = keyOf(key, keyLength);
    std::uint32_t n = descend(t, k);
    bool equal = false;
    std::uint32_t slot = leafSearch(t, page(t, n), k, &equal);
    if (!equal) return 0;
    valueAt(t, page(t, n), slot, t->valueBuffer);
    if (value) *value = t->valueBuffer.data();
    if (valueLength) *valueLength = t->valueBuffer.size();
    return 1;
  });
}

void vbtreePut(vbtree* t, const void* key, std::size_t keyLength, const void* value, std::size_t valueLength) {
  if (!writable(t)) return;
  operation(t, [&] {
    Key k = keyOf(key, keyLength);
    if (valueLength > UINT32_MAX / 2) vexGenerateMessage(&vexArgRangeClass, "B-tree value too long");
    const auto* v = static_cast<const std::uint8_t*>(value);
    Bytes record;
    bool built = false;
    for (int attempt = 0; attempt < MAX_DEPTH; ++attempt) {
      std::uint32_t n = descend(t, k);
      bool equal = false;
      std::uint32_t slot = leafSearch(t, page(t, n), k, &equal);
      if (equal) {
        std::uint8_t* p = page(t, n);
        Record old = recordAt(t, p, slot);
        bool inline_ = !(old.flags & (KEY_CHAIN | VALUE_CHAIN)) && !keyInChain(t, keyLength) &&
                       valueLength < overflowLimit(t);
        if (inline_ && old.keyLength == keyLength && old.valueLength == valueLength) {
          if (valueLength) std::memcpy(p + old.offset + old.header + old.keyLength, v, valueLength);
          touch(t, n);
          return;
        }
        removeRecord(t, n, slot, true);
      }
      if (!built) record = buildLeaf(t, k.data, k.size, v, valueLength), built = true;
      if (insertRecord(t, n, slot, record)) return;
      std::vector<std::uint32_t> path = t->descent;
      path.push_back(n);
      splitPage(t, path, path.size() - 1);
    }
    vexGenerateMessage(&vexModuleStateClass, "B-tree record cannot be placed");
  });
}

bool vbtreeDelete(vbtree* t, const void* key, std::size_t keyLength) {
  if (!writable(t)) return false;
  return operation(t, [&] {
    Key k = keyOf(key, keyLength);
    std::uint32_t n = descend(t, k);
    bool equal = false, removed = false;
    std::uint32_t slot = leafSearch(t, page(t, n), k, &equal);
    Bytes scratch;
    while (forward(t, n, slot)) {
      if (compare(t, keyAt(t, page(t, n), slot, scratch), k) != 0) break;
      removeRecord(t, n, slot, true);
      removed = true;
    }
    if (removed && compare(t, {t->cursorKey.data(), static_cast<std::uint32_t>(t->cursorKey.size())}, k) == 0)
      t->cursorRemoved = true;
    return removed;
  });
}

// The cursor keeps its record's key: each step seeks again from it, so
// changes to the tree between steps never leave it on a stale slot.
bool vbtreeCursor(vbtree* t, const void** key, std::size_t* keyLength, const void** value, std::size_t* valueLength,
                  int mode) {
  return operation(t, [&] {
    if ((mode == vbtreeNEXT || mode == vbtreePREVIOUS) && !(t->flags & vbtreeCURSOR))
      mode = mode == vbtreeNEXT ? vbtreeFIRST : vbtreeLAST;
    Key k{t->cursorKey.data(), static_cast<std::uint32_t>(t->cursorKey.size())};
    Bytes sought;
    if (mode == vbtreeSEEK) {
      k = keyOf(key ? *key : nullptr, keyLength ? *keyLength : 0);
      sought.assign(k.data, k.data + k.size);
      k = {sought.data(), k.size};
    }
    std::uint32_t n;
    bool equal = false;
    switch (mode) {
      case vbtreeFIRST:
      case vbtreeLAST: {
        n = descend(t, k, mode == vbtreeFIRST ? Way::Leftmost : Way::Rightmost);
        if (mode == vbtreeFIRST) {
          std::uint32_t slot = 0;
          return forward(t, n, slot) && deliver(t, n, slot, key, keyLength, value, valueLength);
        }
        std::int64_t slot = static_cast<std::int64_t>(slotCount(page(t, n))) - 1;
        return backward(t, n, slot) && deliver(t, n, static_cast<std::uint32_t>(slot), key, keyLength, value, valueLength);
      }
      case vbtreeSEEK:
      case vbtreeNEXT: {
        n = descend(t, k);
        std::uint32_t slot = leafSearch(t, page(t, n), k, &equal);
        if (mode == vbtreeNEXT && equal && !t->cursorRemoved) ++slot;
        if (!forward(t, n, slot)) return false;
        if (mode == vbtreeNEXT) checkOrder(t, n, slot, k, 1);
        return deliver(t, n, slot, key, keyLength, value, valueLength);
      }
      case vbtreePREVIOUS: {
        n = descend(t, k);
        std::int64_t slot = static_cast<std::int64_t>(leafSearch(t, page(t, n), k, &equal)) - 1;
        if (!backward(t, n, slot)) return false;
        checkOrder(t, n, static_cast<std::uint32_t>(slot), k, -1);
        return deliver(t, n, static_cast<std::uint32_t>(slot), key, keyLength, value, valueLength);
      }
      default:
        vexGenerateMessage(&vexArgClass, "B-tree cursor mode");
    }
  });
}

// Every record of the source, densely packed into the empty destination;
// the levels are built bottom-up and the top one becomes page 1.
void vbtreeCompact(vbtree* source, vbtree* destination) {
  std::uint8_t zero = 0;
  const void* probe = &zero;
  std::size_t probeLength = 1;
  if (vbtreeCursor(destination, &probe, &probeLength, nullptr, nullptr, vbtreeSEEK) ||
      vbtreeCursor(destination, nullptr, nullptr, nullptr, nullptr, vbtreeFIRST))
    vexGenerateMessage(&vexArgClass, "compaction needs an empty destination");
  if (!writable(destination)) vexGenerateMessage(&vexArgClass, "compaction needs a writable destination");
  std::vector<Bytes> records;
  const void *k, *v;
  std::size_t kl, vl;
  for (bool more = vbtreeCursor(source, &k, &kl, &v, &vl, vbtreeFIRST); more;
       more = vbtreeCursor(source, &k, &kl, &v, &vl, vbtreeNEXT)) {
    records.push_back(buildLeaf(destination, static_cast<const std::uint8_t*>(k), kl,
                                static_cast<const std::uint8_t*>(v), vl));
    settle(destination);
  }
  operation(destination, [&] {
    vbtree* t = destination;
    std::uint32_t usable = t->pageSize - SLOTS, total = 0;
    for (const Bytes& r : records) total += round4(static_cast<std::uint32_t>(r.size())) + 4;
    std::uint32_t flags = LEAF;
    std::vector<Bytes> level = std::move(records);
    while (true) {
      if (total <= usable) {
        fill(t, 1, flags, 0, 0, level, 0, level.size());
        break;
      }
      std::vector<Bytes> parents;
      std::uint32_t current = 0, previous = 0, parentTotal = 0;
      for (const Bytes& r : level) {
        if (!current || !insertRecord(t, current, slotCount(page(t, current)), r)) {
          current = newPage(t, flags);
          wr32(page(t, current) + LEFT, previous);
          if (previous) wr32(page(t, previous) + RIGHT, current), touch(t, previous);
          if (!insertRecord(t, current, 0, r)) vexGenerateMessage(&vexModuleStateClass, "record does not fit a page");
          parents.push_back(separator(t, page(t, current), 0, current));
          parentTotal += round4(static_cast<std::uint32_t>(parents.back().size())) + 4;
          previous = current;
        }
      }
      level = std::move(parents);
      total = parentTotal;
      flags = KEPT;
    }
  });
  destination->level |= source->level;
}
