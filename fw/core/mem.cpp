#include "fw/core/mem.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fw/core/debug.h"

namespace {

void printAlloc(vexException* e, std::FILE* stream) {
  vdebugFprintf(stream, "\trequested size: %zu\n", static_cast<vexMemAllocException*>(e)->size);
}

void printRealloc(vexException* e, std::FILE* stream) {
  auto* r = static_cast<vexMemReallocException*>(e);
  char p[24];
  vdebugFprintf(stream, "\tblock: 0x%s\n", vdebugPointerText(p, r->block));
  vdebugFprintf(stream, "\trequested size: %zu\n", r->size);
}

}  // namespace

const vexClass vexMemoryAllocClass{&vexMemoryClass, "Alloc", 40, printAlloc, sizeof(vexMemAllocException)};
const vexClass vexMemoryReallocClass{&vexMemoryClass, "Realloc", 44, printRealloc, sizeof(vexMemReallocException)};

void vexMemSetSize(vexException* e, va_list* ap) {
  std::size_t size = va_arg(*ap, std::size_t);
  if (e->cls == &vexMemoryReallocClass)
    static_cast<vexMemReallocException*>(e)->size = size;
  else
    static_cast<vexMemAllocException*>(e)->size = size;
}

void vexMemSetBlock(vexException* e, va_list* ap) {
  static_cast<vexMemReallocException*>(e)->block = va_arg(*ap, void*);
}

// No low-memory hooks are registered in this system, so a failed request
// raises at once.
void* vmemAlloc(std::size_t size) {
  if (void* p = std::malloc(size ? size : 1)) return p;
  _vexGenerate(&vexMemoryAllocClass, vexMemSetSize, size, vexSetErrno, errno, vexEnd);
}

void* vmemAllocClear(std::size_t size) {
  if (void* p = std::calloc(1, size ? size : 1)) return p;
  _vexGenerate(&vexMemoryAllocClass, vexMemSetSize, size, vexSetErrno, errno, vexEnd);
}

void* vmemRealloc(void* block, std::size_t size) {
  if (void* p = std::realloc(block, size ? size : 1)) return p;
  _vexGenerate(&vexMemoryReallocClass, vexMemSetBlock, block, vexMemSetSize, size, vexSetErrno, errno, vexEnd);
}

void vmemFree(void* block) { std::free(block); }

void vmemRaiseAlloc(std::size_t size) { _vexGenerate(&vexMemoryAllocClass, vexMemSetSize, size, vexEnd); }

std::size_t vmemArraySize(std::size_t count, std::size_t size) {
  std::size_t bytes;
  if (__builtin_mul_overflow(count, size, &bytes))
    _vexGenerate(&vexMemoryAllocClass, vexMemSetSize, SIZE_MAX, vexEnd);
  return bytes;
}

namespace {

vpool poolOfPools;
bool poolsStarted = false;

constexpr std::size_t roundWords(std::size_t n) {
  constexpr std::size_t w = sizeof(void*);
  return n < w ? w : (n + w - 1) / w * w;
}

std::size_t chunkCount(const vpool* pool, const vpoolChunk* c) {
  return static_cast<std::size_t>(c->end - reinterpret_cast<const char*>(c + 1)) / pool->roundedSize;
}

void* defaultGrow(vpool* pool, std::size_t count) {
  std::size_t n = count == 0 ? 64 / pool->elementSize + 2 : count + count / 4;
  if (n == count) n = count + 1;
  return vpoolGrow(pool, n);
}

}  // namespace

void vpoolStartup() {
  if (poolsStarted) return;
  poolsStarted = true;
  vpoolInit(&poolOfPools, sizeof(vpool));
  vmemFree(vmemAlloc(4));
}

vpool* vpoolCreate(std::size_t elementSize) {
  vpoolStartup();
  auto* pool = static_cast<vpool*>(vpoolAlloc(&poolOfPools));
  vpoolInit(pool, elementSize);
  return pool;
}

void vpoolInit(vpool* pool, std::size_t elementSize) {
  if (elementSize == 0) vexGenerateMessage(&vexArgRangeClass, "pool element size is 0");
  pool->elementSize = elementSize;
  pool->roundedSize = roundWords(elementSize);
  pool->grow = defaultGrow;
  pool->chunks = nullptr;
  pool->freeList = nullptr;
}

void vpoolSetGrowRoutine(vpool* pool, vpoolGrowRoutine routine) { pool->grow = routine; }

void* vpoolAlloc(vpool* pool) {
  if (!pool->freeList) pool->grow(pool, pool->chunks ? chunkCount(pool, pool->chunks) : 0);
  void* e = pool->freeList;
  std::memcpy(&pool->freeList, e, sizeof(void*));
  return e;
}

void vpoolFree(vpool* pool, void* element) {
  std::memcpy(element, &pool->freeList, sizeof(void*));
  pool->freeList = element;
}

void* vpoolGrow(vpool* pool, std::size_t count) {
  std::size_t bytes = vmemArraySize(count, pool->roundedSize);
  if (__builtin_add_overflow(bytes, sizeof(vpoolChunk), &bytes))
    _vexGenerate(&vexMemoryAllocClass, vexMemSetSize, SIZE_MAX, vexEnd);
  auto* c = static_cast<vpoolChunk*>(vmemAlloc(bytes));
  char* first = reinterpret_cast<char*>(c + 1);
  c->end = first + count * pool->roundedSize;
  c->next = pool->chunks;
  pool->chunks = c;
  // Thread from the start so that the element at the chunk's end is on top.
  for (char* e = first; e < c->end; e += pool->roundedSize) vpoolFree(pool, e);
  return c;
}

void vpoolFreeAll(vpool* pool) {
  for (vpoolChunk* c = pool->chunks; c;) {
    vpoolChunk* next = c->next;
    vmemFree(c);
    c = next;
  }
  pool->chunks = nullptr;
  pool->freeList = nullptr;
}

void vpoolFinish(vpool* pool) {
  vpoolFreeAll(pool);
  pool->elementSize = 0;
}

void vpoolDestroy(vpool* pool) {
  vpoolFinish(pool);
  if (pool != &poolOfPools && vpoolContains(&poolOfPools, pool)) vpoolFree(&poolOfPools, pool);
}

int vpoolContains(const vpool* pool, const void* address) {
  auto* a = static_cast<const char*>(address);
  for (const vpoolChunk* c = pool->chunks; c; c = c->next)
    if (a >= reinterpret_cast<const char*>(c + 1) && a < c->end) return 1;
  return 0;
}

std::size_t vpoolGetCapacity(const vpool* pool) {
  std::size_t n = 0;
  for (const vpoolChunk* c = pool->chunks; c; c = c->next) n += chunkCount(pool, c);
  return n;
}

std::size_t vpoolGetUsed(const vpool* pool) {
  std::size_t free = 0;
  for (void* e = pool->freeList; e; std::memcpy(&e, e, sizeof(void*))) ++free;
  return vpoolGetCapacity(pool) - free;
}
