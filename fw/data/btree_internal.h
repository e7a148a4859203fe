// The B-tree handle and its page store, shared by the files of the B-tree
// (internal to fw/data).
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "fw/data/btree.h"

namespace bt {

// Page header fields.
inline constexpr std::uint32_t NUMBER = 0, LEFT = 4, RIGHT = 8, FLAGS = 12, SLOT_END = 16, RECORD_START = 20,
                               SLOTS = 24;
enum : std::uint32_t { LEAF = 1, OVERFLOW = 2, MODIFIED = 4, KEPT = 8 };
// Record flags: the key or the value is held in an overflow chain.
enum : std::uint32_t { VALUE_CHAIN = 1, KEY_CHAIN = 2 };
inline constexpr int MAX_DEPTH = 48;

inline std::uint32_t rd32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void wr32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
inline std::uint16_t rd16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void wr16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, 2); }
inline std::uint32_t round4(std::uint32_t n) { return (n + 3) & ~3u; }

struct Entry {
  std::unique_ptr<std::uint8_t[]> bytes;
  bool dirty = false;
  std::uint64_t used = 0;
};

}  // namespace bt

struct vbtree {
  vfsPath* path = nullptr;
  vfsStream* file = nullptr;
  bool memory = false;
  bool foreign = false;  // the file is in the other byte order
  bool corrupt = false;  // found damaged: never written again
  std::unordered_map<std::uint32_t, bt::Entry> pages;  // the cache, or every page of a memory tree
  std::uint64_t clock = 0;
  std::size_t capacity = 8;
  unsigned char client[vbtreeCLIENT_HEADER] = {};
  std::uint32_t pageSize = vbtreeDEFAULT_PAGE_SIZE;
  std::uint32_t last = 1;      // the last page number
  std::uint32_t fileLast = 0;  // the last page the file holds
  std::uint32_t freeHead = 0;
  std::uint32_t flags = 0;
  std::uint32_t level = 1;
  std::vector<std::uint8_t> cursorKey;
  bool cursorRemoved = false;
  std::vector<std::uint8_t> keyBuffer, valueBuffer;
  std::vector<std::uint32_t> descent;  // interior pages of the last search, root first
};

namespace bt {

// A damaged file: the tree is never written again and the operation fails.
[[noreturn]] void corrupt(vbtree* t, const char* what);
// The page in this machine's order; numbers outside 1..last are damage.
std::uint8_t* page(vbtree* t, std::uint32_t n);
void touch(vbtree* t, std::uint32_t n);
std::uint32_t newPage(vbtree* t, std::uint32_t flags);
void initPage(std::uint8_t* p, std::uint32_t n, std::uint32_t pageSize, std::uint32_t flags);
// After each operation: the cache back within its capacity.
void settle(vbtree* t);
bool writable(const vbtree* t);

// Overflow chains.
std::uint32_t writeChain(vbtree* t, const std::uint8_t* data, std::uint32_t length);
void readChain(vbtree* t, std::uint32_t first, std::vector<std::uint8_t>& out);
void freeChain(vbtree* t, std::uint32_t first);

// Byte order of a page: to this machine's order (incoming) or back.
bool convertPage(std::uint8_t* p, std::uint32_t pageSize, bool incoming);

}  // namespace bt
