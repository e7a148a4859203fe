// Shared inside the ".vr" store: the open-file entries, record layout and
// the helpers that read and write records, tags and numbers.
#pragma once
#include <cstdint>
#include <functional>
#include <queue>
#include <unordered_map>
#include <vector>

#include "fw/core/ex.h"
#include "fw/data/btree.h"
#include "fw/data/scrap.h"
#include "fw/data/vrstore.h"

namespace vrs {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint32_t NUMBER_MASK = 0xFFFFFFu;
inline constexpr std::uint32_t FORM_SHORT = 0x10;
inline constexpr int KIND_MACSTRING = 11, KIND_WIDESTRING = 12, KIND_MACCHAR = 13, KIND_WIDECHAR = 14;
inline constexpr int MAX_KIND = 14;

struct Entry {
  bool inUse = false;
  vbtree* tree = nullptr;
  std::unordered_map<std::uint32_t, vname> tagByNumber;
  std::unordered_map<vname, std::uint32_t> numberByTag;
  std::priority_queue<std::uint32_t, std::vector<std::uint32_t>, std::greater<>> freed;
  // The array last read by element; element sets change it in place and
  // mark it dirty, and it reaches the B-tree when it is settled: before
  // another record takes its place and before the file is flushed, saved,
  // copied or closed.
  std::int64_t cacheHandle = -1;
  Bytes cache;
  bool cacheDirty = false;
  std::uint32_t nextTag = 1, nextNumber = 1, hint = 1;
  // Tags a lookup numbered: their records reach the file only along with
  // a change of its own, so a file only read is closed as it was.
  std::vector<std::uint32_t> pendingTags;
};

[[noreturn]] inline void fail(const vexClass* cls, const char* message) { vexGenerateMessage(cls, message); }
[[noreturn]] void damaged();

inline std::uint32_t numberOf(vresource h) { return static_cast<std::uint32_t>(h) & NUMBER_MASK; }
inline std::uint32_t indexOf(vresource h) { return (static_cast<std::uint32_t>(h) >> 24) & 0x7F; }
inline vresource handleOf(vresource h, std::uint32_t n) {
  return static_cast<vresource>((static_cast<std::uint32_t>(h) & 0x7F000000u) | (n & NUMBER_MASK));
}
Entry& entryOf(vresource h);  // Arg "Unknown type" when not open
bool writable(Entry& e);
void requireWritable(Entry& e);

inline std::uint32_t getWord(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
inline void putWord(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v >> 24), p[1] = std::uint8_t(v >> 16), p[2] = std::uint8_t(v >> 8), p[3] = std::uint8_t(v);
}

// A record's fields. Records are checked when read: a damaged one raises.
inline int kindOf(const std::uint8_t* r) { return r[3] & 0x0F; }
inline int kindOf(const Bytes& r) { return kindOf(r.data()); }
inline bool isShort(const Bytes& r) { return (r[3] & 0xF0) == FORM_SHORT; }
inline std::uint32_t inlineOf(const Bytes& r) { return getWord(r.data()) >> 8; }
inline std::uint32_t parentOf(const Bytes& r) { return getWord(r.data() + 4) & NUMBER_MASK; }
std::size_t headerSize(int kind, bool shortForm);
bool recordValid(const std::uint8_t* p, std::size_t n);
// Kinds 11-14 as the types they are read as.
inline int reportedKind(int kind) {
  return kind == KIND_MACSTRING || kind == KIND_WIDESTRING ? vresSTRING
         : kind == KIND_MACCHAR || kind == KIND_WIDECHAR   ? vresCHARACTER
                                                           : kind;
}
inline bool holdsRecords(int elementKind) {
  return elementKind == vresDICTIONARY || elementKind == vresARRAY || elementKind == vresSTRING ||
         elementKind == vresOPAQUE || elementKind == KIND_MACSTRING || elementKind == KIND_WIDESTRING;
}

bool readRecord(Entry& e, std::uint32_t n, Bytes& out);
// Record n where it lies, the cached array's included, without a copy; null
// when there is none. Valid until the file or its cache next changes.
const std::uint8_t* peekRecord(Entry& e, std::uint32_t n, std::size_t* length);
// Only the parent of record n, with no copy of the record (an array's may be large).
bool readParent(Entry& e, std::uint32_t n, std::uint32_t* parent);
// A new record under parent stays within the nesting bound.
void checkNesting(Entry& e, std::uint32_t parent);
void writeRecord(Entry& e, std::uint32_t n, const Bytes& r);
void deleteRecord(Entry& e, std::uint32_t n, const vexClass* cls);  // frees the number
bool hasRecord(Entry& e, std::uint32_t n);

// 0: unknown to a read-only file. A lookup numbers a new tag without
// writing its record yet (see pendingTags).
std::uint32_t tagNumber(Entry& e, vname tag, bool lookup = false);
vname tagName(Entry& e, std::uint32_t n);
std::uint32_t newNumber(Entry& e);

// Dictionary entries.
bool findChild(Entry& e, std::uint32_t parent, vname tag, std::uint32_t* child);
void requireContainer(Entry& e, std::uint32_t n);  // a dictionary or untyped
void fileChild(Entry& e, std::uint32_t parent, vname tag, std::uint32_t child);
struct DictEntry {
  std::uint32_t tag, child;
};
std::vector<DictEntry> entriesOf(Entry& e, std::uint32_t parent, std::size_t limit);
std::uint32_t entryCount(const Bytes& dict);
void setEntryCount(Bytes& dict, std::uint32_t count);
// Deletes n's record and everything under it; depth bounds the walk.
void removeTree(Entry& e, std::uint32_t n, std::uint32_t depth);
// The tag and parent under which n is filed (false for the root or none).
bool whereFiled(Entry& e, std::uint32_t n, std::uint32_t* parent, vname* tag);

// Scalars, strings and opaque records.
Bytes scalarRecord(int kind, std::uint32_t parent, std::uint32_t value);
Bytes stringRecord(std::uint32_t parent, const char* text, std::size_t count);
Bytes opaqueRecord(std::uint32_t parent, const void* bytes, std::size_t count);
std::uint32_t floatBits(double value);  // a finite value beyond single range: Arg/Range
double bitsFloat(std::uint32_t bits);
std::uint32_t scalarValue(const Bytes& r);
std::string stringText(const Bytes& r);
std::size_t dataSize(const Bytes& r);  // string bytes without terminator, opaque bytes
const std::uint8_t* dataOf(const Bytes& r);

// Arrays.
struct ArrayView {
  int elementKind;
  unsigned width;
  std::uint32_t count;
  std::size_t header;
};
ArrayView arrayView(const std::uint8_t* r);
inline ArrayView arrayView(const Bytes& r) { return arrayView(r.data()); }
std::uint32_t elementAt(const std::uint8_t* r, const ArrayView& v, std::uint32_t i);
inline std::uint32_t elementAt(const Bytes& r, const ArrayView& v, std::uint32_t i) {
  return elementAt(r.data(), v, i);
}
void dropCache(Entry& e, std::uint32_t array);  // settled first
void settleCache(Entry& e);

}  // namespace vrs
