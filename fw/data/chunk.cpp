// Chunk files: the var-int codec, byte sources, the header and index
// chunks, the free-space max-tree and chunk allocation. The blocks in use
// are held in memory as one image (on the framework heap) and written back
// by dirty range.
#include "fw/data/chunk.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "fw/core/mem.h"
#include "fw/data/btree.h"
#include "fw/data/wholesave.h"

// ---- Var-ints.

int vchunkIntLength(std::int32_t v) {
  if (v == 0) return 1;
  if (v >= -128 && v <= 127) return 2;
  if (v >= -32768 && v <= 32767) return 3;
  if (v >= -8388608 && v <= 8388607) return 4;
  return 5;
}

int vchunkEncodeIntLength(std::uint8_t* p, std::int32_t value, int size) {
  int n = size - 1;
  p[0] = static_cast<std::uint8_t>((p[0] & 0xF0) | n);
  auto u = static_cast<std::uint32_t>(value);
  for (int i = n; i >= 1; --i, u >>= 8) p[i] = static_cast<std::uint8_t>(u);
  return size;
}

int vchunkEncodeInt(std::uint8_t* p, std::int32_t value) { return vchunkEncodeIntLength(p, value, vchunkIntLength(value)); }

int vchunkDecodeInt(const std::uint8_t* p, const std::uint8_t* end, std::int32_t* value) {
  if (p >= end) return 0;
  int n = p[0] & 0x0F;
  if (n > 4 || end - p < n + 1) return 0;
  std::uint32_t v = n && (p[1] & 0x80) ? 0xFFFFFFFFu : 0;
  for (int i = 1; i <= n; ++i) v = v << 8 | p[i];
  *value = static_cast<std::int32_t>(v);
  return n + 1;
}

void vchunkSetIntFlags(std::uint8_t* p, int flags) { p[0] = static_cast<std::uint8_t>((p[0] & 0x0F) | (flags & 0xF0)); }

// ---- Byte sources.

namespace {

struct vchunkFileData : vchunkData {
  vfsStream* stream;
};
struct vchunkMemoryData : vchunkData {
  std::uint8_t* block;
  std::size_t size;
  bool owned, writable;
};


vchunkFileData* fileOf(vchunkData* d) { return static_cast<vchunkFileData*>(d); }
vchunkMemoryData* memoryOf(vchunkData* d) { return static_cast<vchunkMemoryData*>(d); }

std::int64_t fileSize(vchunkData* d) {
  vfsStream* s = fileOf(d)->stream;
  std::int64_t size = -1;
  vexTry([&] {
    vfsFileInfo info;
    vfsGetFileInfo(s->path, &info);
    size = info.size;
  });
  return size;
}

const vchunkDataClass fileClass{
    [](vchunkData* d) { vexTry([&] { vfsFlushFile(fileOf(d)->stream); }); },
    [](vchunkData* d) {
      vexTry([&] { vfsCloseFile(fileOf(d)->stream); });
      vmemFree(d);
    },
    [](vchunkData* d, std::int64_t offset, std::size_t length, std::uint8_t* out) {
      std::memset(out, 0, length);
      return vexTry([&] {
        vfsSeekFile(fileOf(d)->stream, offset, 0);
        vfsReadFile(out, 1, static_cast<std::ptrdiff_t>(length), fileOf(d)->stream);
      });
    },
    [](vchunkData* d, std::int64_t offset, const std::uint8_t* data, std::size_t length) {
      if ((fileOf(d)->stream->mode & vfsOPEN_ACCESS) == vfsOPEN_READ) return true;
      return vexTry([&] {
        vfsSeekFile(fileOf(d)->stream, offset, 0);
        vfsWriteFile(data, 1, static_cast<std::ptrdiff_t>(length), fileOf(d)->stream);
      });
    },
    [](vchunkData* d) { return (fileOf(d)->stream->mode & vfsOPEN_ACCESS) != vfsOPEN_READ; },
    fileSize,
};

const vchunkDataClass memoryClass{
    [](vchunkData*) {},
    [](vchunkData* d) {
      if (memoryOf(d)->owned) vmemFree(memoryOf(d)->block);
      vmemFree(d);
    },
    [](vchunkData* d, std::int64_t offset, std::size_t length, std::uint8_t* out) {
      vchunkMemoryData* m = memoryOf(d);
      std::memset(out, 0, length);
      if (offset < static_cast<std::int64_t>(m->size))
        std::memcpy(out, m->block + offset, std::min(length, m->size - static_cast<std::size_t>(offset)));
      return true;
    },
    [](vchunkData* d, std::int64_t offset, const std::uint8_t* data, std::size_t length) {
      vchunkMemoryData* m = memoryOf(d);
      if (!m->writable || offset < 0) return true;
      auto at = static_cast<std::size_t>(offset);
      // A block of our own grows; one lent by the caller drops what lies past it.
      if (m->owned && at + length > m->size) {
        std::size_t size = std::max(at + length, 2 * m->size);
        m->block = static_cast<std::uint8_t*>(vmemRealloc(m->block, size));
        std::memset(m->block + m->size, 0, size - m->size);
        m->size = size;
      }
      if (at < m->size) std::memcpy(m->block + at, data, std::min(length, m->size - at));
      return true;
    },
    [](vchunkData* d) { return memoryOf(d)->writable; },
    [](vchunkData* d) { return static_cast<std::int64_t>(memoryOf(d)->size); },
};

}  // namespace

vchunkData* vchunkFileDataCreate(vfsStream* stream) {
  auto* d = static_cast<vchunkFileData*>(vmemAlloc(sizeof(vchunkFileData)));
  d->cls = &fileClass;
  d->stream = stream;
  return d;
}

vchunkData* vchunkMemoryDataCreate(void* block, std::size_t size, bool owned, bool writable) {
  auto* d = static_cast<vchunkMemoryData*>(vmemAlloc(sizeof(vchunkMemoryData)));
  d->cls = &memoryClass;
  d->block = static_cast<std::uint8_t*>(block);
  d->size = size;
  d->owned = owned;
  d->writable = writable;
  return d;
}

void vchunkDataDestroy(vchunkData* d) { d->cls->destroy(d); }

// ---- The chunk file.

namespace {

// The blocks in use, in one block of the framework's heap, so that a
// growth the heap refuses raises Memory/Realloc.
class Image {
 public:
  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image() { vmemFree(p_); }
  std::uint8_t* data() { return p_; }
  std::size_t size() const { return n_; }
  std::uint8_t& operator[](std::size_t i) { return p_[i]; }
  void resize(std::size_t n, std::uint8_t fill = 0) {
    if (n > capacity_) {
      std::size_t more = std::max(n, capacity_ + capacity_ / 2);
      p_ = static_cast<std::uint8_t*>(vmemRealloc(p_, more));
      capacity_ = more;
    }
    if (n > n_) std::memset(p_ + n_, fill, n - n_);
    n_ = n;
  }
  void assign(std::size_t n, std::uint8_t fill) {
    n_ = 0;
    resize(n, fill);
  }

 private:
  std::uint8_t* p_ = nullptr;
  std::size_t n_ = 0, capacity_ = 0;
};

}  // namespace

struct vchunkFile {
  vchunkData* source = nullptr;
  std::uint32_t indexAddress = 0, root = 0;
  unsigned state = 0;  // 0x04 header marked open for writing, 0x08 index to rewrite
  std::uint32_t last = 0;
  Image image;
  std::size_t dirtyLo = SIZE_MAX, dirtyHi = 0;
  std::vector<std::uint16_t> offsets;  // first chunk start per block; 1024 none, 1025 free block
  std::vector<std::uint32_t> tree;     // max-tree of free values, leaves from capacity
  std::uint32_t capacity = 32;
  std::map<std::uint32_t, int> pins;
  int passing = 0;  // depth of vchunkBeginPassing
};

namespace {

constexpr unsigned kMarkedOpen = 0x04, kIndexStale = 0x08;
constexpr std::uint16_t kNoStart = 1024, kFreeBlock = 1025;
constexpr std::uint8_t kAllocated = 0x10, kOpenForWriting = 0x20;
constexpr std::uint32_t kHeaderLength = 22;

[[noreturn]] void damaged() { vexGenerateMessage(&vexArgClass, "Chunk file is damaged"); }

struct Header {
  bool allocated;
  int size;             // header bytes
  std::uint32_t value;  // total length - 1
};

Header headerAt(vchunkFile* f, std::uint32_t addr) {
  std::int32_t value;
  if (addr >= f->image.size()) damaged();
  int size = vchunkDecodeInt(f->image.data() + addr, f->image.data() + f->image.size(), &value);
  if (size == 0 || value < size - 1 || addr + static_cast<std::uint64_t>(value) + 1 > f->image.size()) damaged();
  return {(f->image[addr] & kAllocated) != 0, size, static_cast<std::uint32_t>(value)};
}

void dirty(vchunkFile* f, std::size_t from, std::size_t to) {
  f->dirtyLo = std::min(f->dirtyLo, from);
  f->dirtyHi = std::max(f->dirtyHi, to);
}

void writeChunkHeader(vchunkFile* f, std::uint32_t addr, bool allocated, std::uint32_t value, int size) {
  std::uint8_t* p = f->image.data() + addr;
  p[0] = allocated ? kAllocated : 0;
  vchunkEncodeIntLength(p, static_cast<std::int32_t>(value), size);
  dirty(f, addr, addr + static_cast<std::size_t>(size));
}

void writeFree(vchunkFile* f, std::uint32_t addr, std::uint32_t total) {
  writeChunkHeader(f, addr, false, total - 1, vchunkIntLength(static_cast<std::int32_t>(total - 1)));
}

// A free chunk that starts inside a block ends at its boundary: a small
// chunk may not cross one, so a free chunk across it would give its block
// a free value that no allocation can use, and every allocation of that
// size would grow the file.
void setFree(vchunkFile* f, std::uint32_t addr, std::uint32_t total) {
  std::uint32_t room = vchunkBLOCK - addr % vchunkBLOCK;
  if (room == vchunkBLOCK || total <= room) return writeFree(f, addr, total);
  writeFree(f, addr, room);
  writeFree(f, addr + room, total - room);
}

void setTreeValue(vchunkFile* f, std::uint32_t block, std::uint32_t value) {
  std::size_t i = f->capacity + block;
  f->tree[i] = value;
  for (i /= 2; i >= 1; i /= 2) f->tree[i] = std::max(f->tree[2 * i], f->tree[2 * i + 1]);
}

void sizeTree(vchunkFile* f, std::uint32_t lastBlock) {
  std::uint32_t cap = std::max<std::uint32_t>(f->capacity, 32);
  while (cap <= lastBlock) cap *= 2;
  if (cap == f->capacity && !f->tree.empty()) return;
  std::vector<std::uint32_t> leaves(cap, 0);
  for (std::uint32_t b = 0; b < f->capacity && !f->tree.empty(); ++b) leaves[b] = f->tree[f->capacity + b];
  f->offsets.resize(cap, kNoStart);
  f->capacity = cap;
  f->tree.assign(2 * static_cast<std::size_t>(cap), 0);
  for (std::uint32_t b = 0; b < cap; ++b) f->tree[cap + b] = leaves[b];
  for (std::size_t i = cap - 1; i >= 1; --i) f->tree[i] = std::max(f->tree[2 * i], f->tree[2 * i + 1]);
}

// The free value of a block: 1 + the largest free chunk starting in it.
std::uint32_t scanFreeValue(vchunkFile* f, std::uint32_t block) {
  if (f->offsets[block] == kFreeBlock) return vchunkBLOCK + 1;
  if (f->offsets[block] >= kNoStart) return 1;
  std::uint32_t best = 0, end = (block + 1) * vchunkBLOCK;
  for (std::uint32_t addr = block * vchunkBLOCK + f->offsets[block], steps = 0; addr < end; ++steps) {
    if (steps > vchunkBLOCK) damaged();
    Header h = headerAt(f, addr);
    if (!h.allocated) best = std::max(best, h.value + 1);
    addr += h.value + 1;
  }
  return best + 1;
}

// Chunk starts and free values again for the blocks from `from` to `to`,
// walking from the block's first chunk (or the chunk at addr, a chunk
// start in block `from`, when that comes first).
void relayout(vchunkFile* f, std::uint32_t addr, std::uint32_t from, std::uint32_t to) {
  if (f->offsets[from] < kNoStart) addr = std::min(addr, from * vchunkBLOCK + f->offsets[from]);
  for (std::uint32_t b = from; b <= to; ++b)
    if (f->offsets[b] != kFreeBlock) f->offsets[b] = kNoStart;
  std::uint64_t end = static_cast<std::uint64_t>(to + 1) * vchunkBLOCK;
  while (addr < end) {
    std::uint32_t b = addr / vchunkBLOCK;
    if (b >= from && f->offsets[b] == kNoStart) f->offsets[b] = static_cast<std::uint16_t>(addr % vchunkBLOCK);
    addr += headerAt(f, addr).value + 1;
  }
  for (std::uint32_t b = from; b <= to; ++b) setTreeValue(f, b, scanFreeValue(f, b));
  f->state |= kIndexStale;
}

// Before the first change of a writable file its header is marked open
// for writing and written at once.
void markOpen(vchunkFile* f) {
  if (f->state & kMarkedOpen) return;
  // Passing changes stay in memory until the file changes for itself.
  if (f->passing) return;
  if (!f->source->cls->isWritable(f->source)) vexGenerateMessage(&vexArgClass, "chunk file is read-only");
  f->image[0] |= kOpenForWriting;
  f->source->cls->write(f->source, 0, f->image.data(), vchunkBLOCK);
  f->source->cls->flush(f->source);
  f->state |= kMarkedOpen;
}

std::uint32_t blockOf(std::uint32_t addr) { return addr / vchunkBLOCK; }

// Appends blocks at the end as one free chunk; answers its address.
std::uint32_t grow(vchunkFile* f, std::uint32_t blocks) {
  // Only held chunks have a pin entry (a release to zero erases it).
  if (!f->pins.empty()) vexGenerateMessage(&vexModuleStateClass, "chunk data held while the file grows");
  std::uint32_t first = f->last + 1;
  if (first + blocks > (UINT32_MAX >> 10)) vexGenerateMessage(&vexArgRangeClass, "chunk file too large");
  std::size_t bytes = static_cast<std::size_t>(first + blocks) * vchunkBLOCK;
  f->image.resize(bytes, 0);
  vmemGuard(bytes / vchunkBLOCK * 12, [&] { sizeTree(f, first + blocks - 1); });
  f->last = first + blocks - 1;
  for (std::uint32_t b = first; b <= f->last; ++b) f->offsets[b] = kNoStart;
  setFree(f, first * vchunkBLOCK, blocks * vchunkBLOCK);
  relayout(f, first * vchunkBLOCK, first, f->last);
  return first * vchunkBLOCK;
}

// A free block lays out again as one free chunk.
void reuseBlock(vchunkFile* f, std::uint32_t block) {
  f->offsets[block] = kNoStart;
  setFree(f, block * vchunkBLOCK, vchunkBLOCK);
  relayout(f, block * vchunkBLOCK, block, block);
}

// The first run of `blocks` free blocks, or -1. Without it a chunk of
// more than one block could never take the space such chunks leave, and a
// file rewritten in place would grow by their size each time.
std::int64_t findFreeRun(vchunkFile* f, std::uint32_t blocks) {
  if (f->tree[1] < vchunkBLOCK + 1) return -1;
  std::uint32_t run = 0;
  for (std::uint32_t b = 1; b <= f->last; ++b) {
    run = f->offsets[b] == kFreeBlock ? run + 1 : 0;
    if (run == blocks) return b - blocks + 1;
  }
  return -1;
}

// A run of free blocks lays out again as one free chunk.
void reuseRun(vchunkFile* f, std::uint32_t first, std::uint32_t blocks) {
  for (std::uint32_t b = first; b < first + blocks; ++b) f->offsets[b] = kNoStart;
  setFree(f, first * vchunkBLOCK, blocks * vchunkBLOCK);
  relayout(f, first * vchunkBLOCK, first, first + blocks - 1);
}

int headerBytesFor(std::uint32_t length) {
  int n = vchunkIntLength(static_cast<std::int32_t>(length)) - 1;
  if (vchunkIntLength(static_cast<std::int32_t>(length + static_cast<std::uint32_t>(n))) > n + 1) ++n;
  return n + 1;
}

// The leftmost block whose largest free chunk holds need bytes, or -1.
std::int64_t findBlock(vchunkFile* f, std::uint32_t need) {
  if (f->tree[1] < need + 1) return -1;
  std::size_t i = 1;
  while (i < f->capacity) i = f->tree[2 * i] >= need + 1 ? 2 * i : 2 * i + 1;
  return static_cast<std::int64_t>(i - f->capacity);
}

std::uint32_t take(vchunkFile* f, std::uint32_t addr, std::uint32_t need, int headerSize) {
  Header h = headerAt(f, addr);
  std::uint32_t total = h.value + 1, rest = total - need;
  writeChunkHeader(f, addr, true, need - 1, headerSize);
  if (rest) setFree(f, addr + need, rest);
  relayout(f, addr, blockOf(addr), blockOf(addr + total - 1));
  return addr;
}

// The first free chunk of the block that holds need bytes without
// crossing into the next block, unless it starts on a block boundary.
std::int64_t placeIn(vchunkFile* f, std::uint32_t block, std::uint32_t need, int headerSize) {
  if (f->offsets[block] >= kNoStart) return -1;
  std::uint32_t end = (block + 1) * vchunkBLOCK;
  for (std::uint32_t addr = block * vchunkBLOCK + f->offsets[block], steps = 0; addr < end; ++steps) {
    if (steps > vchunkBLOCK) damaged();
    Header h = headerAt(f, addr);
    std::uint32_t total = h.value + 1;
    if (!h.allocated && total >= need && (addr % vchunkBLOCK == 0 || addr + need <= end))
      return take(f, addr, need, headerSize);
    // Across the boundary (files of older versions hold such free chunks):
    // the part past it starts a block of its own.
    if (!h.allocated && addr % vchunkBLOCK && addr + total > end) {
      setFree(f, addr, total);
      relayout(f, addr, block, blockOf(addr + total - 1));
      if (addr + total - end >= need) return take(f, end, need, headerSize);
      return -1;
    }
    addr += total;
  }
  return -1;
}

std::uint32_t allocate(vchunkFile* f, std::uint32_t length) {
  markOpen(f);
  int headerSize = headerBytesFor(length);
  std::uint64_t need64 = std::uint64_t{length} + static_cast<std::uint32_t>(headerSize);
  if (need64 > 0x7FFFFFFF) vexGenerateMessage(&vexArgRangeClass, "chunk too long");
  auto need = static_cast<std::uint32_t>(need64);
  // A block whose free value a split has lowered is looked for again.
  for (std::int64_t block; (block = findBlock(f, need)) >= 0;) {
    auto b = static_cast<std::uint32_t>(block);
    if (f->offsets[b] == kFreeBlock) {
      if (need > vchunkBLOCK) break;
      reuseBlock(f, b);
    }
    std::uint32_t before = f->tree[f->capacity + b];
    std::int64_t addr = placeIn(f, b, need, headerSize);
    if (addr >= 0) return static_cast<std::uint32_t>(addr);
    if (f->tree[f->capacity + b] >= before) break;
  }
  std::uint32_t blocks = (need - 1) / vchunkBLOCK + 1;
  if (blocks > 1) {
    std::int64_t run = findFreeRun(f, blocks);
    if (run >= 0) {
      reuseRun(f, static_cast<std::uint32_t>(run), blocks);
      return take(f, static_cast<std::uint32_t>(run) * vchunkBLOCK, need, headerSize);
    }
  }
  std::uint32_t addr = grow(f, blocks);
  return take(f, addr, need, headerSize);
}

void checkAllocated(vchunkFile* f, std::uint32_t addr) {
  if (addr < kHeaderLength || addr >= f->image.size() || !headerAt(f, addr).allocated)
    vexGenerateMessage(&vexArgClass, "not an allocated chunk");
}

// The chunk before addr in its block, or 0 when addr is the block's first.
std::uint32_t previousChunk(vchunkFile* f, std::uint32_t addr) {
  std::uint32_t block = blockOf(addr);
  if (f->offsets[block] >= kNoStart) return 0;
  std::uint32_t previous = 0;
  for (std::uint32_t at = block * vchunkBLOCK + f->offsets[block], steps = 0; at < addr; ++steps) {
    if (steps > vchunkBLOCK) damaged();
    previous = at;
    at += headerAt(f, at).value + 1;
  }
  return previous;
}

void release(vchunkFile* f, std::uint32_t addr) {
  checkAllocated(f, addr);
  markOpen(f);
  Header h = headerAt(f, addr);
  std::uint32_t start = addr, end = addr + h.value + 1;
  // Merge with a free chunk after it that does not start a block.
  if (end < f->image.size() && end % vchunkBLOCK != 0 && !headerAt(f, end).allocated) end += headerAt(f, end).value + 1;
  std::uint32_t before = start % vchunkBLOCK ? previousChunk(f, start) : 0;
  if (before && !headerAt(f, before).allocated) start = before;
  setFree(f, start, end - start);
  std::uint32_t firstBlock = blockOf(start), lastBlock = blockOf(end - 1);
  relayout(f, start, firstBlock, lastBlock);
  // A whole run of blocks free: the blocks are free blocks.
  if (start % vchunkBLOCK == 0 && end % vchunkBLOCK == 0) {
    for (std::uint32_t b = firstBlock; b <= lastBlock; ++b) {
      f->offsets[b] = kFreeBlock;
      setTreeValue(f, b, vchunkBLOCK + 1);
    }
    while (f->last > 0 && f->offsets[f->last] == kFreeBlock) {
      setTreeValue(f, f->last, 0);
      f->offsets[f->last] = kNoStart;
      --f->last;
    }
    f->image.resize(static_cast<std::size_t>(f->last + 1) * vchunkBLOCK);
  }
}

// ---- Header and index.

void writeHeaderFields(vchunkFile* f) {
  std::uint8_t* p = f->image.data();
  p[1] = 21;
  std::uint32_t magic = vchunkMAGIC;
  for (int i = 0; i < 4; ++i) p[2 + i] = static_cast<std::uint8_t>(magic >> (8 * i));
  p[6] = 0;
  std::uint32_t words[3] = {f->last, f->root, f->indexAddress};
  for (int i = 0; i < 3; ++i) {
    p[7 + 5 * i] = 0;
    vchunkEncodeIntLength(p + 7 + 5 * i, static_cast<std::int32_t>(words[i]), 5);
  }
  dirty(f, 0, kHeaderLength);
}

std::vector<std::uint8_t> indexBytes(vchunkFile* f) {
  std::vector<std::uint8_t> out;
  std::uint8_t buffer[5];
  auto add = [&](std::int32_t v) {
    buffer[0] = 0;
    int n = vchunkEncodeInt(buffer, v);
    out.insert(out.end(), buffer, buffer + n);
  };
  for (std::uint32_t b = 0; b <= f->last; ++b) add(f->offsets[b]);
  for (std::uint32_t b = 0; b <= f->last; ++b) add(static_cast<std::int32_t>(f->tree[f->capacity + b]));
  return out;
}

void writeIndex(vchunkFile* f) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::vector<std::uint8_t> bytes = indexBytes(f);
    if (f->indexAddress && vchunkGetSize(f, f->indexAddress) >= bytes.size()) {
      Header h = headerAt(f, f->indexAddress);
      std::memcpy(f->image.data() + f->indexAddress + h.size, bytes.data(), bytes.size());
      dirty(f, f->indexAddress, f->indexAddress + h.value + 1);
      f->state &= ~kIndexStale;
      return;
    }
    if (f->indexAddress) release(f, f->indexAddress);
    f->indexAddress = allocate(f, static_cast<std::uint32_t>(bytes.size() + 16));
  }
  damaged();
}

void readIndex(vchunkFile* f) {
  checkAllocated(f, f->indexAddress);
  Header h = headerAt(f, f->indexAddress);
  const std::uint8_t* p = f->image.data() + f->indexAddress + h.size;
  const std::uint8_t* end = f->image.data() + f->indexAddress + h.value + 1;
  auto next = [&] {
    std::int32_t v;
    int n = vchunkDecodeInt(p, end, &v);
    if (n == 0) damaged();
    p += n;
    return v;
  };
  for (std::uint32_t b = 0; b <= f->last; ++b) {
    std::int32_t off = next();
    if (off < 0 || off > kFreeBlock || (b == 0 && off != 0)) damaged();
    f->offsets[b] = static_cast<std::uint16_t>(off);
  }
  std::uint64_t most = static_cast<std::uint64_t>(f->last + 1) * vchunkBLOCK + 1;
  for (std::uint32_t b = 0; b <= f->last; ++b) {
    std::int32_t v = next();
    if (v < 0 || static_cast<std::uint64_t>(v) > most) damaged();
    f->tree[f->capacity + b] = static_cast<std::uint32_t>(v);
  }
  for (std::size_t i = f->capacity - 1; i >= 1; --i) f->tree[i] = std::max(f->tree[2 * i], f->tree[2 * i + 1]);
}

vchunkFile* makeFile(vchunkData* source) {
  auto* f = new (vmemAlloc(sizeof(vchunkFile))) vchunkFile;
  f->source = source;
  return f;
}

void destroyFile(vchunkFile* f) {
  if (f->source) vchunkDataDestroy(f->source);
  f->~vchunkFile();
  vmemFree(f);
}

}  // namespace

vchunkFile* vchunkCreate(vchunkData* source) {
  vchunkFile* f = makeFile(source);
  f->state = kMarkedOpen | kIndexStale;
  f->image.assign(vchunkBLOCK, 0);
  sizeTree(f, 0);
  f->offsets[0] = 0;
  f->image[0] = kAllocated | kOpenForWriting | 1;
  f->image[1] = 21;
  f->image[22] = 0x02, f->image[23] = 0x03, f->image[24] = 0xE9;
  setTreeValue(f, 0, 1003);
  dirty(f, 0, 25);
  return f;
}

vchunkFile* vchunkOpen(vchunkData* source) {
  vchunkFile* f = makeFile(source);
  vexGuard(
      [&] {
        std::uint8_t h[kHeaderLength];
        source->cls->read(source, 0, kHeaderLength, h);
        std::uint32_t magic = h[2] | h[3] << 8 | h[4] << 16 | static_cast<std::uint32_t>(h[5]) << 24;
        if (!(h[0] & kAllocated) || (h[0] & 0x0F) != 1 || h[1] != 21 || magic != vchunkMAGIC)
          vexGenerateMessage(&vexArgClass, "File is not a chunk file.");
        if (h[0] & kOpenForWriting) vexGenerateMessage(&vbtreeNotClosedClass, "Chunk file was not properly closed.");
        if (h[6] != 0) vexGenerateMessage(&vexArgClass, "Version of chunk file is too new");
        std::int32_t words[3];
        for (int i = 0; i < 3; ++i)
          if (vchunkDecodeInt(h + 7 + 5 * i, h + kHeaderLength, &words[i]) == 0 || words[i] < 0)
            vexGenerateMessage(&vexArgClass, "File is not a chunk file.");
        std::int64_t size = source->cls->size(source);
        std::uint64_t bytes = (static_cast<std::uint64_t>(words[0]) + 1) * vchunkBLOCK;
        if (size < 0 || bytes > static_cast<std::uint64_t>(size) + vchunkBLOCK ||
            static_cast<std::uint32_t>(words[2]) >= bytes || words[2] < static_cast<std::int32_t>(kHeaderLength))
          vexGenerateMessage(&vexArgClass, "File is not a chunk file.");
        f->last = static_cast<std::uint32_t>(words[0]);
        f->root = static_cast<std::uint32_t>(words[1]);
        f->indexAddress = static_cast<std::uint32_t>(words[2]);
        f->image.resize(bytes);
        if (!source->cls->read(source, 0, bytes, f->image.data())) vexGenerateMessage(&vexArgClass, "File is not a chunk file.");
        sizeTree(f, f->last);
        readIndex(f);
      },
      [&](vexHandler&) {
        f->source = nullptr;  // the caller's again
        destroyFile(f);
        _vexGenerate(nullptr, vexEnd);
      });
  return f;
}

void vchunkFlush(vchunkFile* f) {
  if (!f->source->cls->isWritable(f->source) || !(f->state & kMarkedOpen)) return;
  if (f->state & kIndexStale) writeIndex(f);
  writeHeaderFields(f);
  f->image[0] &= static_cast<std::uint8_t>(~kOpenForWriting);
  dirty(f, 0, 1);
  std::size_t hi = std::min(f->dirtyHi, f->image.size());
  if (f->dirtyLo < hi &&
      !f->source->cls->write(f->source, static_cast<std::int64_t>(f->dirtyLo), f->image.data() + f->dirtyLo, hi - f->dirtyLo)) {
    f->image[0] |= kOpenForWriting;  // still open: the write-back failed
    return;
  }
  f->dirtyLo = SIZE_MAX, f->dirtyHi = 0;
  f->source->cls->flush(f->source);
  f->state &= ~kMarkedOpen;
}

void vchunkBeginPassing(vchunkFile* f) { ++f->passing; }
void vchunkEndPassing(vchunkFile* f) {
  if (f->passing > 0) --f->passing;
}
bool vchunkIsMarkedOpen(const vchunkFile* f) { return (f->state & kMarkedOpen) != 0; }

void vchunkClose(vchunkFile* f) {
  vexTry([&] { vchunkFlush(f); });
  destroyFile(f);
}

std::vector<std::uint8_t> vchunkGetImage(vchunkFile* f) {
  if (f->state & kIndexStale) {
    markOpen(f);
    writeIndex(f);
  }
  writeHeaderFields(f);
  std::vector<std::uint8_t> copy(f->image.data(), f->image.data() + f->image.size());
  copy[0] &= static_cast<std::uint8_t>(~kOpenForWriting);
  return copy;
}

vfsStream* vchunkGetStream(vchunkFile* f) {
  return f->source && f->source->cls == &fileClass ? fileOf(f->source)->stream : nullptr;
}

vchunkFile* vchunkSaveTo(vchunkFile* f, vchunkData* destination) {
  std::vector<std::uint8_t> copy = vchunkGetImage(f);
  if (!destination->cls->write(destination, 0, copy.data(), copy.size())) {
    vchunkDataDestroy(destination);
    vexGenerateMessage(&vexAbandonClass, "chunk file write failed");
  }
  destination->cls->flush(destination);
  return vchunkOpen(destination);
}

std::string vchunkSaveToPath(vchunkFile* f, const vfsPath* path, int permission, bool keepCopy) {
  return _vdataSaveWhole(
      path, permission,
      [&](const vfsPath* at) {
        vchunkFile* saved = vchunkSaveTo(f, vchunkFileDataCreate(vfsOpenFile(at, vfsOPEN_WRITE)));
        // Closing flushes; a flush that fails must not pass for a save.
        bool flushed = vexTry([&] { vchunkFlush(saved); });
        destroyFile(saved);
        if (!flushed) vexGenerateMessage(&vexAbandonClass, "chunk file write failed");
      },
      keepCopy);
}

std::uint32_t vchunkAlloc(vchunkFile* f, std::uint32_t length) { return allocate(f, length); }
void vchunkFree(vchunkFile* f, std::uint32_t address) {
  if (f->pins.count(address)) vexGenerateMessage(&vexArgClass, "freeing held chunk data");
  release(f, address);
}

int vchunkResize(vchunkFile* f, std::uint32_t address, std::uint32_t length) {
  checkAllocated(f, address);
  Header h = headerAt(f, address);
  std::uint32_t old = h.value + 1 - static_cast<std::uint32_t>(h.size);
  if (length == old) return 1;
  std::uint64_t total64 = std::uint64_t{length} + static_cast<std::uint32_t>(h.size);
  if (vchunkIntLength(static_cast<std::int32_t>(total64 - 1)) > h.size) return 0;
  auto total = static_cast<std::uint32_t>(total64);
  std::uint32_t oldTotal = h.value + 1, end = address + oldTotal;
  if (length > old) {
    if (end >= f->image.size() || end % vchunkBLOCK == 0 || headerAt(f, end).allocated) return 0;
    std::uint32_t freeEnd = end + headerAt(f, end).value + 1;
    if (address + total > freeEnd) return 0;
    if (address % vchunkBLOCK && blockOf(address + total - 1) != blockOf(address)) return 0;
    markOpen(f);
    writeChunkHeader(f, address, true, total - 1, h.size);
    if (freeEnd > address + total) setFree(f, address + total, freeEnd - address - total);
    relayout(f, address, blockOf(address), blockOf(freeEnd - 1));
    return 1;
  }
  markOpen(f);
  writeChunkHeader(f, address, true, total - 1, h.size);
  std::uint32_t tailEnd = end;
  if (end < f->image.size() && end % vchunkBLOCK != 0 && !headerAt(f, end).allocated) tailEnd += headerAt(f, end).value + 1;
  setFree(f, address + total, tailEnd - address - total);
  relayout(f, address, blockOf(address), blockOf(tailEnd - 1));
  return 1;
}

std::uint32_t vchunkRealloc(vchunkFile* f, std::uint32_t address, std::uint32_t length) {
  if (address == 0) return vchunkAlloc(f, length);
  checkAllocated(f, address);
  std::int64_t earlier = findBlock(f, length + static_cast<std::uint32_t>(headerBytesFor(length)));
  if ((earlier < 0 || earlier >= blockOf(address)) && vchunkResize(f, address, length)) return address;
  std::uint32_t old = vchunkGetSize(f, address);
  std::uint32_t moved = vchunkAlloc(f, length);
  Header from = headerAt(f, address), to = headerAt(f, moved);
  std::memmove(f->image.data() + moved + to.size, f->image.data() + address + from.size, std::min(old, length));
  dirty(f, moved, moved + to.value + 1);
  vchunkFree(f, address);
  return moved;
}

std::uint8_t* vchunkGetData(vchunkFile* f, std::uint32_t address) {
  checkAllocated(f, address);
  ++f->pins[address];
  return f->image.data() + address + headerAt(f, address).size;
}

void vchunkRelease(vchunkFile* f, std::uint32_t address) {
  auto it = f->pins.find(address);
  if (it == f->pins.end() || it->second == 0) vexGenerateMessage(&vexArgClass, "releasing chunk data not held");
  if (--it->second == 0) f->pins.erase(it);
}

void vchunkReleaseDirty(vchunkFile* f, std::uint32_t address) {
  checkAllocated(f, address);
  markOpen(f);
  dirty(f, address, address + headerAt(f, address).value + 1);
  vchunkRelease(f, address);
}

std::uint8_t* _vchunkPeek(vchunkFile* f, std::uint32_t address, std::uint32_t* length) {
  checkAllocated(f, address);
  Header h = headerAt(f, address);
  *length = h.value + 1 - static_cast<std::uint32_t>(h.size);
  return f->image.data() + address + h.size;
}

void _vchunkChanged(vchunkFile* f, std::uint32_t address, std::uint32_t from, std::uint32_t to) {
  markOpen(f);
  std::size_t data = address + static_cast<std::size_t>(headerAt(f, address).size);
  dirty(f, data + from, data + to);
}

std::size_t _vchunkHeldCount(const vchunkFile* f) { return f->pins.size(); }

std::uint32_t vchunkGetSize(vchunkFile* f, std::uint32_t address) {
  if (address == 0) return 0;
  checkAllocated(f, address);
  Header h = headerAt(f, address);
  return h.value + 1 - static_cast<std::uint32_t>(h.size);
}

void vchunkSetRoot(vchunkFile* f, std::uint32_t address) {
  markOpen(f);
  f->root = address;
  f->state |= kIndexStale;
}

std::uint32_t vchunkGetRoot(vchunkFile* f) { return f->root; }
std::uint32_t vchunkGetLastBlock(vchunkFile* f) { return f->last; }
std::uint32_t vchunkGetFreeValue(vchunkFile* f, std::uint32_t block) {
  return block < f->capacity ? f->tree[f->capacity + block] : 0;
}
