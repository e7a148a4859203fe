// Heap operations that never return null (a failure raises Memory/Alloc or
// Memory/Realloc) and fixed-size block pools that grow by chunks.
#pragma once
#include <cstddef>
#include <new>

#include "fw/core/ex.h"

void* vmemAlloc(std::size_t size);
void* vmemAllocClear(std::size_t size);
void* vmemRealloc(void* block, std::size_t size);
void vmemFree(void* block);
// The first byte equal to byte among length bytes from start, or null.
const char* vmemFindByte(const void* start, std::size_t length, int byte);

// Array allocations with the count x size product checked.
std::size_t vmemArraySize(std::size_t count, std::size_t size);

// Memory/Alloc for a request of size bytes.
[[noreturn]] void vmemRaiseAlloc(std::size_t size);
// Runs body (which grows standard containers by about size bytes); a
// std::bad_alloc from it becomes Memory/Alloc, as from vmemAlloc.
template <class Body>
decltype(auto) vmemGuard(std::size_t size, Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    vmemRaiseAlloc(size);
  }
}

struct vexMemAllocException : vexException {
  std::size_t size;
};
struct vexMemReallocException : vexException {
  void* block;
  std::size_t size;
};
extern const vexClass vexMemoryAllocClass, vexMemoryReallocClass;
void vexMemSetSize(vexException* e, va_list* ap);   // std::size_t
void vexMemSetBlock(vexException* e, va_list* ap);  // void*

struct vpool;
using vpoolGrowRoutine = void* (*)(vpool* pool, std::size_t count);

struct vpoolChunk {
  vpoolChunk* next;
  char* end;
};

struct vpool {
  std::size_t elementSize;  // as requested
  std::size_t roundedSize;  // rounded up to whole words, room for the free link
  vpoolGrowRoutine grow;
  vpoolChunk* chunks;       // newest first
  void* freeList;
};

void vpoolStartup();
vpool* vpoolCreate(std::size_t elementSize);
void vpoolInit(vpool* pool, std::size_t elementSize);
void vpoolSetGrowRoutine(vpool* pool, vpoolGrowRoutine routine);
void* vpoolAlloc(vpool* pool);
void vpoolFree(vpool* pool, void* element);
void* vpoolGrow(vpool* pool, std::size_t count);
void vpoolFreeAll(vpool* pool);
void vpoolFinish(vpool* pool);
void vpoolDestroy(vpool* pool);
int vpoolContains(const vpool* pool, const void* address);
std::size_t vpoolGetCapacity(const vpool* pool);
std::size_t vpoolGetUsed(const vpool* pool);

// Typed pool element, for records that need construction.
template <class T>
T* vpoolAllocOf(vpool* pool) {
  return static_cast<T*>(vpoolAlloc(pool));
}
