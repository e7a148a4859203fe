// Where B-tree pages live: the file with its header, page cache and byte
// order, or memory; overflow chains and the free-page list; opening,
// closing, loading, saving and the C-source image.
#include <algorithm>
#include <cerrno>
#include <new>
#include <cstdio>
#include <string>

#include "fw/core/mem.h"
#include "fw/data/btree_internal.h"
#include "fw/data/wholesave.h"

const vexClass vbtreeManagerClass{&vexRootClass, "B-Tree Manager", 36, nullptr, sizeof(vexException)};
const vexClass vbtreeNotClosedClass{&vbtreeManagerClass, "File not properly closed", 36, nullptr, sizeof(vexException)};

namespace {

constexpr std::uint32_t kMark = 4321;
constexpr std::uint32_t kHeaderSize = 44;
bool createForeign = false;

std::uint32_t swap32(std::uint32_t v) { return __builtin_bswap32(v); }

void swapAt(std::uint8_t* p, std::uint32_t off) { bt::wr32(p + off, swap32(bt::rd32(p + off))); }

// Reads a field, converting it first when the page comes in.
std::uint32_t field(std::uint8_t* p, std::uint32_t off, bool incoming) {
  if (incoming) swapAt(p, off);
  std::uint32_t v = bt::rd32(p + off);
  if (!incoming) swapAt(p, off);
  return v;
}


void seekPage(vbtree* t, std::uint32_t n) {
  vfsSeekFile(t->file, static_cast<std::int64_t>(n) * t->pageSize, 0);
}

void writeHeader(vbtree* t) {
  std::uint8_t h[kHeaderSize];
  std::memcpy(h, t->client, vbtreeCLIENT_HEADER);
  std::uint32_t words[5] = {t->pageSize, t->freeHead, t->flags & ~(vbtreeWRITABLE | vbtreeHEADER_WRITTEN), kMark,
                            t->level};
  for (int i = 0; i < 5; ++i) bt::wr32(h + 24 + 4 * i, t->foreign ? swap32(words[i]) : words[i]);
  vfsSeekFile(t->file, 0, 0);
  vfsWriteFile(h, 1, kHeaderSize, t->file);
}

// Before the first page write the file is marked "not properly closed".
void markOpen(vbtree* t) {
  if (t->flags & vbtreeHEADER_WRITTEN) return;
  t->flags |= vbtreeNOT_CLOSED;
  writeHeader(t);
  vfsFlushFile(t->file);
  t->flags |= vbtreeHEADER_WRITTEN;
}

void writePage(vbtree* t, std::uint32_t n, bt::Entry& e) {
  markOpen(t);
  std::uint8_t* p = e.bytes.get();
  bt::wr32(p + bt::FLAGS, bt::rd32(p + bt::FLAGS) & ~bt::MODIFIED);
  std::vector<std::uint8_t> out;
  const std::uint8_t* data = p;
  if (t->foreign) {
    out.assign(p, p + t->pageSize);
    bt::convertPage(out.data(), t->pageSize, false);
    data = out.data();
  }
  seekPage(t, n);
  vfsWriteFile(data, 1, t->pageSize, t->file);
  e.dirty = false;
  t->fileLast = std::max(t->fileLast, n);
}

bool validPage(const std::uint8_t* p, std::uint32_t n, std::uint32_t size) {
  std::uint32_t slotEnd = bt::rd32(p + bt::SLOT_END), start = bt::rd32(p + bt::RECORD_START);
  if (bt::rd32(p + bt::NUMBER) != n) return false;
  if (bt::rd32(p + bt::FLAGS) & bt::OVERFLOW) return true;
  return slotEnd >= bt::SLOTS && (slotEnd - bt::SLOTS) % 4 == 0 && slotEnd <= start && start <= size;
}

void readPage(vbtree* t, std::uint32_t n, std::uint8_t* p) {
  if (n > t->fileLast) return bt::initPage(p, n, t->pageSize, bt::LEAF);
  seekPage(t, n);
  if (vfsReadFile(p, 1, t->pageSize, t->file) != t->pageSize) bt::corrupt(t, "short page");
  if (t->foreign && !bt::convertPage(p, t->pageSize, true)) bt::corrupt(t, "bad page");
  if (!validPage(p, n, t->pageSize)) bt::corrupt(t, "bad page header");
}

void flushPages(vbtree* t) {
  std::vector<std::uint32_t> dirty;
  for (auto& [n, e] : t->pages)
    if (e.dirty) dirty.push_back(n);
  std::sort(dirty.begin(), dirty.end());
  for (std::uint32_t n : dirty) writePage(t, n, t->pages[n]);
}

// Handles come from a pool; their members clean up after themselves.
vpool* treePool() {
  static vpool* pool = vpoolCreate(sizeof(vbtree));
  return pool;
}

vbtree* makeTree() { return new (vpoolAlloc(treePool())) vbtree; }

vbtree* newMemoryTree(std::uint32_t pageSize, std::uint32_t flags) {
  vbtree* t = makeTree();
  t->memory = true;
  t->pageSize = pageSize;
  t->flags = flags;
  t->last = 1;
  bt::initPage((t->pages[1].bytes = std::make_unique<std::uint8_t[]>(pageSize)).get(), 1, pageSize, bt::LEAF);
  return t;
}

void destroy(vbtree* t) {
  if (t->file) vexTry([&] { vfsCloseFile(t->file); });
  vfsFreePath(t->path);
  t->~vbtree();
  vpoolFree(treePool(), t);
}

void cacheCapacity(vbtree* t) { t->capacity = std::clamp<std::size_t>(t->last / 8, 8, 64); }

// Reads and checks the header of an open stream into t; false when it is
// not a B-tree file.
bool readHeader(vbtree* t) {
  std::uint8_t h[kHeaderSize];
  if (vfsReadFile(h, 1, kHeaderSize, t->file) != kHeaderSize) return false;
  std::uint32_t mark = bt::rd32(h + 36);
  if (mark != kMark && swap32(mark) != kMark) return false;
  t->foreign = mark != kMark;
  auto word = [&](int off) { return t->foreign ? swap32(bt::rd32(h + off)) : bt::rd32(h + off); };
  std::memcpy(t->client, h, vbtreeCLIENT_HEADER);
  t->pageSize = word(24) ? word(24) : vbtreeDEFAULT_PAGE_SIZE;
  t->freeHead = word(28);
  t->flags = word(32);
  t->level = word(40);
  return t->pageSize >= vbtreeMIN_PAGE_SIZE && t->pageSize <= vbtreeMAX_PAGE_SIZE && t->level < 2;
}

// The free list ends within as many steps as the file has pages and
// holds only overflow pages: a cycle would hand one page out twice.
bool freeListSound(vbtree* t) {
  bool ok = true;
  std::uint32_t n = t->freeHead;
  for (std::uint32_t steps = 0; n && ok; ++steps) {
    ok = steps <= t->last && vexTry([&] {
      std::uint8_t* p = bt::page(t, n);
      if (!(bt::rd32(p + bt::FLAGS) & bt::OVERFLOW)) bt::corrupt(t, "free page is not free");
      n = bt::rd32(p + bt::RIGHT);
    });
  }
  t->pages.clear();
  t->corrupt = false;
  return ok;
}

}  // namespace

namespace bt {

void corrupt(vbtree* t, const char* what) {
  t->corrupt = true;
  t->flags &= ~vbtreeWRITABLE;
  if (!t->path) vexGenerateMessage(&vbtreeManagerClass, what);
  // Damage found after the file was opened (cut or changed meanwhile) is
  // said with the file's name. The message outlives this frame: the
  // exception keeps only a pointer.
  static std::string message;
  char text[vfsPATH_BUFFER];
  message = std::string(what) + " in " + vfsPathToBuffer(t->path, text);
  vexGenerateMessage(&vbtreeManagerClass, message.c_str());
}

bool writable(const vbtree* t) { return (t->flags & vbtreeWRITABLE) && !t->corrupt; }

void initPage(std::uint8_t* p, std::uint32_t n, std::uint32_t pageSize, std::uint32_t flags) {
  std::memset(p, 0, pageSize);
  wr32(p + NUMBER, n);
  wr32(p + FLAGS, flags);
  wr32(p + SLOT_END, SLOTS);
  wr32(p + RECORD_START, pageSize);
}

std::uint8_t* page(vbtree* t, std::uint32_t n) {
  if (n < 1 || n > t->last) corrupt(t, "page number out of range");
  auto it = t->pages.find(n);
  if (it == t->pages.end()) {
    if (t->memory) corrupt(t, "missing page");
    Entry e;
    e.bytes = std::make_unique<std::uint8_t[]>(t->pageSize);
    readPage(t, n, e.bytes.get());
    it = t->pages.emplace(n, std::move(e)).first;
  }
  it->second.used = ++t->clock;
  return it->second.bytes.get();
}

void touch(vbtree* t, std::uint32_t n) {
  std::uint8_t* p = page(t, n);
  wr32(p + FLAGS, rd32(p + FLAGS) | MODIFIED);
  t->pages[n].dirty = true;
}

std::uint32_t newPage(vbtree* t, std::uint32_t flags) {
  std::uint32_t n = ++t->last;
  Entry& e = t->pages[n];
  e.bytes = std::make_unique<std::uint8_t[]>(t->pageSize);
  initPage(e.bytes.get(), n, t->pageSize, flags);
  e.used = ++t->clock;
  touch(t, n);
  return n;
}

void settle(vbtree* t) {
  if (t->memory || t->pages.size() <= t->capacity) return;
  cacheCapacity(t);
  std::vector<std::pair<std::uint64_t, std::uint32_t>> byAge;
  for (auto& [n, e] : t->pages) byAge.emplace_back(e.used, n);
  std::sort(byAge.begin(), byAge.end());
  for (std::size_t i = 0; t->pages.size() > t->capacity && i < byAge.size(); ++i) {
    Entry& e = t->pages[byAge[i].second];
    if (e.dirty) {
      if (!writable(t)) continue;
      writePage(t, byAge[i].second, e);
    }
    t->pages.erase(byAge[i].second);
  }
}

// ---- Overflow chains: total length at 24 of the first page, data from 28,
// then from 24 of every further page.

std::uint32_t writeChain(vbtree* t, const std::uint8_t* data, std::uint32_t length) {
  std::uint32_t first = 0, previous = 0, done = 0;
  bool head = true;
  while (head || done < length) {
    std::uint32_t n;
    if (t->freeHead) {
      n = t->freeHead;
      std::uint8_t* p = page(t, n);
      if ((rd32(p + FLAGS) & OVERFLOW) == 0) corrupt(t, "free page is not free");
      t->freeHead = rd32(p + RIGHT);
      initPage(p, n, t->pageSize, LEAF | OVERFLOW);
      touch(t, n);
    } else {
      n = newPage(t, LEAF | OVERFLOW);
    }
    std::uint8_t* p = page(t, n);
    wr32(p + LEFT, previous);
    std::uint32_t at = head ? 28 : 24;
    if (head) wr32(p + 24, length);
    std::uint32_t part = std::min(length - done, t->pageSize - at);
    std::memcpy(p + at, data + done, part);
    done += part;
    if (previous) {
      wr32(page(t, previous) + RIGHT, n);
      touch(t, previous);
    } else {
      first = n;
    }
    previous = n;
    head = false;
  }
  if (t->freeHead) {
    wr32(page(t, t->freeHead) + LEFT, 0);
    touch(t, t->freeHead);
  }
  return first;
}

void readChain(vbtree* t, std::uint32_t first, std::vector<std::uint8_t>& out) {
  std::uint8_t* p = page(t, first);
  if ((rd32(p + FLAGS) & OVERFLOW) == 0) corrupt(t, "not an overflow page");
  std::uint32_t length = rd32(p + 24);
  std::uint64_t room = t->pageSize - 28 + static_cast<std::uint64_t>(t->last) * (t->pageSize - 24);
  if (length > room) corrupt(t, "overflow length past the file");
  out.resize(length);
  // The length fixes how many pages the chain has: each is read once and
  // the last ends the chain.
  std::vector<std::uint32_t> seen;
  std::uint32_t done = 0, n = first;
  for (std::uint32_t steps = 0; done < length; ++steps) {
    if (steps > t->last) corrupt(t, "overflow chain loops");
    seen.push_back(n);
    p = page(t, n);
    if ((rd32(p + FLAGS) & OVERFLOW) == 0) corrupt(t, "not an overflow page");
    std::uint32_t at = n == first ? 28 : 24;
    std::uint32_t part = std::min(length - done, t->pageSize - at);
    std::memcpy(out.data() + done, p + at, part);
    done += part;
    n = rd32(p + RIGHT);
    if (done < length && n == 0) corrupt(t, "overflow chain too short");
  }
  if (n != 0) corrupt(t, "overflow chain longer than its length");
  std::sort(seen.begin(), seen.end());
  if (std::adjacent_find(seen.begin(), seen.end()) != seen.end()) corrupt(t, "overflow chain loops");
}

void freeChain(vbtree* t, std::uint32_t first) {
  std::uint8_t* p = page(t, first);
  if (rd32(p + FLAGS) & KEPT) return;  // a separator still refers to it
  std::uint32_t n = first, lastPage = first;
  for (std::uint32_t steps = 0; n; ++steps) {
    if (steps > t->last) corrupt(t, "overflow chain loops");
    p = page(t, n);
    if ((rd32(p + FLAGS) & OVERFLOW) == 0) corrupt(t, "not an overflow page");
    lastPage = n;
    n = rd32(p + RIGHT);
  }
  wr32(page(t, lastPage) + RIGHT, t->freeHead);
  touch(t, lastPage);
  if (t->freeHead) {
    wr32(page(t, t->freeHead) + LEFT, lastPage);
    touch(t, t->freeHead);
  }
  wr32(page(t, first) + LEFT, 0);
  touch(t, first);
  t->freeHead = first;
}

// The six header words, the slots, and in each record its length and
// flag words and any overflow page number; keys and values are bytes.
bool convertPage(std::uint8_t* p, std::uint32_t size, bool incoming) {
  std::uint32_t flags = field(p, FLAGS, incoming);
  std::uint32_t left = field(p, LEFT, incoming);
  for (std::uint32_t off : {NUMBER, RIGHT, RECORD_START}) field(p, off, incoming);
  std::uint32_t slotEnd = field(p, SLOT_END, incoming);
  if (flags & OVERFLOW) {
    if (left == 0) field(p, 24, incoming);
    return true;
  }
  if (slotEnd < SLOTS || slotEnd > size || (slotEnd - SLOTS) % 4) return false;
  for (std::uint32_t s = SLOTS; s < slotEnd; s += 4) {
    std::uint32_t off = field(p, s, incoming);
    if (off < slotEnd || off > size - 4) return false;
    std::uint8_t* r = p + off;
    std::uint32_t rflags, keyLength, header;
    if (!(flags & LEAF)) {
      if (off > size - 12) return false;
      keyLength = field(r, 0, incoming);
      field(r, 4, incoming);
      rflags = field(r, 8, incoming) & KEY_CHAIN;
      header = 12;
    } else if (r[0] & 0x80) {
      rflags = r[0] & 0x7F;
      keyLength = r[1];
      if (incoming) wr16(r + 2, static_cast<std::uint16_t>(__builtin_bswap16(rd16(r + 2))));
      std::uint32_t valueLength = rd16(r + 2);
      if (!incoming) wr16(r + 2, static_cast<std::uint16_t>(__builtin_bswap16(rd16(r + 2))));
      header = 4;
      if ((rflags & VALUE_CHAIN) && (valueLength != 4 || off + header + keyLength + 4 > size)) return false;
    } else {
      if (off > size - 12) return false;
      keyLength = field(r, 0, incoming);
      field(r, 4, incoming);
      rflags = field(r, 8, incoming);
      header = 12;
    }
    if (keyLength > size || off + header + keyLength > size) return false;
    if (rflags & KEY_CHAIN) {
      if (keyLength != 4) return false;
      field(r, header, incoming);
    }
    if ((flags & LEAF) && (rflags & VALUE_CHAIN)) {
      if (off + header + keyLength + 4 > size) return false;
      field(r, header + keyLength, incoming);
    }
  }
  return true;
}

}  // namespace bt

void _vbtreeSetForeignOrder(bool foreign) { createForeign = foreign; }

vbtree* vbtreeOpen(const vfsPath* path, int mode, unsigned char* clientHeader) {
  if (!path) return newMemoryTree(vbtreeDEFAULT_PAGE_SIZE, vbtreeUNSIGNED_KEYS | (mode == vbtreeWRITE ? std::uint32_t{vbtreeWRITABLE} : 0u));
  vbtree* t = makeTree();
  t->path = vfsCopyPath(path);
  // A store is a regular file: a FIFO or a device is refused without waiting on it.
  bool ok = vexTry([&] { t->file = vfsOpenFile(path, vfsOPEN_READ | vfsOPEN_REGULAR); }) && readHeader(t);
  if (ok && (t->flags & vbtreeNOT_CLOSED)) {
    destroy(t);
    vexGenerateMessage(&vbtreeNotClosedClass, "File was not properly closed");
  }
  std::int64_t size = -1;
  ok = ok && vexTry([&] {
         vfsCloseFile(t->file);
         t->file = nullptr;
         t->file = vfsOpenFile(path, (mode == vbtreeWRITE ? vfsOPEN_READ_WRITE : vfsOPEN_READ) | vfsOPEN_REGULAR);
         vfsFileInfo info;
         vfsGetFileInfo(path, &info);
         size = info.size;
       });
  if (ok && size / t->pageSize >= UINT32_MAX / 2) ok = false;
  if (ok) t->fileLast = size >= t->pageSize ? static_cast<std::uint32_t>(size / t->pageSize - 1) : 0;
  if (!ok || t->freeHead > t->fileLast) {
    destroy(t);
    return nullptr;
  }
  t->last = std::max<std::uint32_t>(t->fileLast, 1);
  cacheCapacity(t);
  if (!freeListSound(t)) {
    destroy(t);
    return nullptr;
  }
  t->flags = (t->flags & ~(vbtreeWRITABLE | vbtreeHEADER_WRITTEN | vbtreeCURSOR | vbtreeIMAGE)) | vbtreeOPENED;
  if (mode == vbtreeWRITE) t->flags |= vbtreeWRITABLE;
  if (clientHeader) std::memcpy(clientHeader, t->client, vbtreeCLIENT_HEADER);
  return t;
}

vbtree* vbtreeCreate(const vfsPath* path, int mode, std::uint32_t pageSize, const unsigned char* clientHeader) {
  if (pageSize == 0) pageSize = vbtreeDEFAULT_PAGE_SIZE;
  if (pageSize < vbtreeMIN_PAGE_SIZE || pageSize > vbtreeMAX_PAGE_SIZE)
    vexGenerateMessage(&vexArgRangeClass, "B-tree page size");
  vbtree t;
  t.file = vfsOpenFile(path, vfsOPEN_WRITE);
  t.pageSize = pageSize;
  t.flags = vbtreeUNSIGNED_KEYS;
  t.foreign = createForeign;
  if (clientHeader) std::memcpy(t.client, clientHeader, vbtreeCLIENT_HEADER);
  vexGuard([&] { writeHeader(&t); },
           [&](vexHandler&) {
             vfsCloseFile(t.file);
             _vexGenerate(nullptr, vexEnd);
           });
  vfsCloseFile(t.file);
  t.file = nullptr;
  (void)mode;
  return vbtreeOpen(path, vbtreeWRITE, nullptr);
}

int vbtreeClose(vbtree* t) {
  int status = 0;
  if (!t->memory && bt::writable(t) && !vexTry([&] { vbtreeSync(t); })) status = -1;
  destroy(t);
  return status;
}

void vbtreeSync(vbtree* t) {
  if (t->memory || !bt::writable(t)) return;
  if (!vexTry([&] {
        flushPages(t);
        // Nothing written since the last sync: the file stays as it is.
        if (!(t->flags & vbtreeHEADER_WRITTEN)) return;
        t->flags &= ~vbtreeNOT_CLOSED;
        writeHeader(t);
        vfsFlushFile(t->file);
        t->flags &= ~vbtreeHEADER_WRITTEN;
      }))
    vexGenerateMessage(&vexAbandonClass, "B-tree write failed");
}

int vbtreeIsWritable(vbtree* t) { return bt::writable(t) ? 1 : 0; }
int vbtreeIsModified(vbtree* t) {
  if (t->flags & vbtreeHEADER_WRITTEN) return 1;
  for (auto& [n, e] : t->pages)
    if (e.dirty) return 1;
  return 0;
}
vfsStream* vbtreeGetFile(vbtree* t) { return t->file; }
std::uint32_t vbtreeGetPageSize(vbtree* t) { return t->pageSize; }
std::uint32_t vbtreeGetLastPage(vbtree* t) { return t->last; }

vbtree* vbtreeOpenImage(const unsigned char* const* images) {
  if (!images || !images[0]) return nullptr;
  const unsigned char* h = images[0];
  std::uint32_t mark = bt::rd32(h + 36);
  if (mark != kMark && swap32(mark) != kMark) return nullptr;
  bool foreign = mark != kMark;
  auto word = [&](int off) { return foreign ? swap32(bt::rd32(h + off)) : bt::rd32(h + off); };
  std::uint32_t pageSize = word(24) ? word(24) : vbtreeDEFAULT_PAGE_SIZE;
  if (pageSize < vbtreeMIN_PAGE_SIZE || pageSize > vbtreeMAX_PAGE_SIZE) return nullptr;
  vbtree* t = newMemoryTree(pageSize, (word(32) & ~vbtreeWRITABLE) | vbtreeIMAGE);
  std::memcpy(t->client, h, vbtreeCLIENT_HEADER);
  t->freeHead = word(28);
  t->level = word(40);
  std::uint32_t n = 0;
  for (; images[n + 1]; ++n) {
    auto& e = t->pages[n + 1];
    e.bytes = std::make_unique<std::uint8_t[]>(pageSize);
    std::memcpy(e.bytes.get(), images[n + 1], pageSize);
    if ((foreign && !bt::convertPage(e.bytes.get(), pageSize, true)) || !validPage(e.bytes.get(), n + 1, pageSize)) {
      destroy(t);
      return nullptr;
    }
  }
  t->last = std::max<std::uint32_t>(n, 1);
  return t;
}

vbtree* vbtreeLoad(const vfsPath* path, unsigned char* clientHeader) {
  vbtree* file = nullptr;
  if (!vexTry([&] { file = vbtreeOpen(path, vbtreeREAD, clientHeader); }) || !file) return nullptr;
  vbtree* t = newMemoryTree(file->pageSize, (file->flags & vbtreeUNSIGNED_KEYS) | vbtreeWRITABLE);
  std::memcpy(t->client, file->client, vbtreeCLIENT_HEADER);
  t->freeHead = file->freeHead;
  t->level = file->level;
  bool ok = vexTry([&] {
    for (std::uint32_t n = 1; n <= file->last; ++n) {
      auto& e = t->pages[n];
      e.bytes = std::make_unique<std::uint8_t[]>(file->pageSize);
      std::memcpy(e.bytes.get(), bt::page(file, n), file->pageSize);
      bt::settle(file);
    }
  });
  t->last = file->last;
  vbtreeClose(file);
  if (!ok) {
    destroy(t);
    return nullptr;
  }
  return t;
}

// A failure never leaves a half-written regular file.
vbtree* vbtreeSaveAs(vbtree* tree, const vfsPath* path, int mode, const unsigned char* clientHeader) {
  vbtree* out = nullptr;
  auto produce = [&](const vfsPath* tempPath) {
    out = vbtreeCreate(tempPath, vbtreeWRITE, tree->pageSize, clientHeader ? clientHeader : tree->client);
    out->flags = (out->flags & ~vbtreeUNSIGNED_KEYS) | (tree->flags & vbtreeUNSIGNED_KEYS);
    out->freeHead = tree->freeHead;
    out->level = tree->level;
    for (std::uint32_t n = 1; n <= tree->last; ++n) {
      out->last = std::max(out->last, n);
      bt::Entry e;
      e.bytes = std::make_unique<std::uint8_t[]>(tree->pageSize);
      std::memcpy(e.bytes.get(), bt::page(tree, n), tree->pageSize);
      writePage(out, n, e);
    }
    vbtree* closing = out;
    out = nullptr;
    if (vbtreeClose(closing) != 0) _vexGenerate(&vexAbandonClass, vexSetMessage, "B-tree write failed", vexSetErrno, errno, vexEnd);
  };
  std::string copy;
  int err = 0;
  bool ok = true;
  vexGuard([&] { copy = _vdataSaveWhole(path, mode, produce, true); },
           [&](vexHandler& h) {
             ok = false;
             err = vexGetCurrentException()->errnum;
             vexSetCurrentException(h.savedChain);
           });
  if (out) destroy(out);
  if (!ok) {
    errno = err ? err : EIO;
    return nullptr;
  }
  vbtree* result = nullptr;
  if (copy.empty()) {
    vexTry([&] { result = vbtreeOpen(path, vbtreeWRITE, nullptr); });
  } else {
    // A device cannot be read back: the tree goes on in memory.
    vfsPath* at = vfsNewPathFromString(copy.c_str());
    result = vbtreeLoad(at, nullptr);
    vfsFreePath(at);
    std::remove(copy.c_str());
  }
  if (!result) errno = EIO;
  return result;
}

void vbtreeWriteSource(vbtree* t, vfsStream* out, const char* name) {
  std::string text = "/* THIS IS A GENERATED FILE. */\n/* DO NOT EDIT THIS FILE. */\n\n";
  auto bytes = [&](const std::uint8_t* p, std::uint32_t n, bool breaks) {
    for (std::uint32_t i = 0; i < n; ++i) {
      if (breaks && i % 16 == 0) text += '\n';
      text += std::to_string(p[i]);
      if (!breaks || i + 1 < n) text += ',';
    }
  };
  std::uint8_t h[kHeaderSize];
  std::memcpy(h, t->client, vbtreeCLIENT_HEADER);
  std::uint32_t words[5] = {t->pageSize, t->freeHead,
                            t->flags & ~(vbtreeNOT_CLOSED | vbtreeHEADER_WRITTEN | vbtreeWRITABLE), kMark, t->level};
  for (int i = 0; i < 5; ++i) bt::wr32(h + 24 + 4 * i, words[i]);
  text += std::string("static const unsigned char _") + name + "Page0[] = {";
  bytes(h, kHeaderSize, false);
  text += "};\n\n";
  std::vector<std::uint8_t> copy(t->pageSize);
  for (std::uint32_t n = 1; n <= t->last; ++n) {
    std::memcpy(copy.data(), bt::page(t, n), t->pageSize);
    bt::wr32(copy.data() + bt::FLAGS, bt::rd32(copy.data() + bt::FLAGS) & ~bt::MODIFIED);
    bt::settle(t);
    text += std::string("static const unsigned char _") + name + "Page" + std::to_string(n) + "[] = {";
    bytes(copy.data(), t->pageSize, true);
    text += "};\n\n";
  }
  text += std::string("const unsigned char * const ") + name + "[] = {";
  for (std::uint32_t n = 0; n <= t->last; ++n) {
    if (n % 4 == 0) text += '\n';
    text += std::string("_") + name + "Page" + std::to_string(n) + ", ";
  }
  text += "0};\n\n";
  vfsWriteFile(text.data(), 1, static_cast<std::ptrdiff_t>(text.size()), out);
}
