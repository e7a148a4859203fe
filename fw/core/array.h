// Growable arrays: the caller holds a pointer to the first element; a
// four-word header sits just before it. The element size is passed to every
// operation. An array may start in storage the caller provides and moves to
// the heap when it outgrows it (and back when it shrinks enough).
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/core/ex.h"

struct alignas(std::max_align_t) varrayHeader {
  void* callerStorage;  // elements of a caller buffer; the array lives there when equal to its elements
  std::int32_t count;
  std::int32_t capacity;
  std::int16_t growStep;    // n > 0: add n; -n: add capacity / n
  std::int16_t shrinkStep;  // the same convention for giving room back
};

inline varrayHeader* varrayHeaderOf(void* array) { return static_cast<varrayHeader*>(array) - 1; }
inline int varrayCount(const void* array) { return (static_cast<const varrayHeader*>(array) - 1)->count; }
inline int varrayCapacity(const void* array) { return (static_cast<const varrayHeader*>(array) - 1)->capacity; }

// Bytes a caller buffer needs for capacity elements.
constexpr std::size_t varrayStorageSize(std::size_t capacity, std::size_t elementSize) {
  return sizeof(varrayHeader) + capacity * elementSize;
}

void* varrayCreate(std::size_t elementSize, int count, int capacity);
void* varrayCreateInStorage(void* buffer, std::size_t bytes, std::size_t elementSize);
void varrayDestroy(void* array);
void* varrayClone(void* array, std::size_t elementSize);
void* varrayGrow(void** holder, int n, std::size_t elementSize);
void* varrayOpen(void** holder, int index, int n, std::size_t elementSize);
void* varrayAppend(void** holder, const void* data, std::size_t elementSize);
void* varrayInsert(void** holder, int index, const void* data, std::size_t elementSize);
void varrayRemoveLast(void** holder, int n, std::size_t elementSize);
void varrayRemove(void** holder, int index, int n, std::size_t elementSize, bool keepOrder);
void* varrayFind(void* array, const void* data, bool forward, int start, std::size_t elementSize);
int varrayIndexOf(void* array, const void* data, bool forward, int start, std::size_t elementSize);
int varrayRemoveFirst(void** holder, const void* data, bool keepOrder, std::size_t elementSize);
int varrayRemoveAll(void** holder, const void* data, bool keepOrder, std::size_t elementSize);

// Typed forms over a T* holder.
template <class T>
T* varrayAppendOf(T** holder, const T& value) {
  return static_cast<T*>(varrayAppend(reinterpret_cast<void**>(holder), &value, sizeof(T)));
}

struct varrayException : vexException {
  void* array;
};
struct varrayIndexException : varrayException {
  int index;
};
extern const vexClass varrayArrayClass, varrayIndexClass;
void _varrayExceptionSetArray(vexException* e, va_list* ap);  // void*
void _varrayExceptionSetIndex(vexException* e, va_list* ap);  // int
void _varrayExceptionPrintArray(vexException* e, std::FILE* stream);
void _varrayExceptionPrintIndex(vexException* e, std::FILE* stream);
