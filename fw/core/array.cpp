#include "fw/core/array.h"

#include <algorithm>
#include <cstring>

#include "fw/core/debug.h"
#include "fw/core/mem.h"

const vexClass varrayArrayClass{&vexRootClass, "Array", 40, _varrayExceptionPrintArray, sizeof(varrayException)};
const vexClass varrayIndexClass{&varrayArrayClass, "Index", 44, _varrayExceptionPrintIndex,
                                sizeof(varrayIndexException)};

void _varrayExceptionSetArray(vexException* e, va_list* ap) {
  static_cast<varrayException*>(e)->array = va_arg(*ap, void*);
}
void _varrayExceptionSetIndex(vexException* e, va_list* ap) {
  static_cast<varrayIndexException*>(e)->index = va_arg(*ap, int);
}
void _varrayExceptionPrintArray(vexException* e, std::FILE* stream) {
  char p[24];
  vdebugFprintf(stream, "\tarray: 0x%s\n", vdebugPointerText(p, static_cast<varrayException*>(e)->array));
}
void _varrayExceptionPrintIndex(vexException* e, std::FILE* stream) {
  vdebugFprintf(stream, "\tarray index: %d\n", static_cast<varrayIndexException*>(e)->index);
}

namespace {

constexpr std::int16_t kGrowStep = 10, kShrinkStep = 5;

[[noreturn]] void raiseIndex(void* array, int index) {
  _vexGenerate(&varrayIndexClass, _varrayExceptionSetArray, array, _varrayExceptionSetIndex, index, vexEnd);
}

[[noreturn]] void raiseTooLarge() { _vexGenerate(&vexMemoryAllocClass, vexMemSetSize, SIZE_MAX, vexEnd); }

char* elements(varrayHeader* h) { return reinterpret_cast<char*>(h + 1); }
bool inCallerStorage(varrayHeader* h) { return h->callerStorage == elements(h); }

std::size_t blockBytes(std::int64_t capacity, std::size_t elementSize) {
  return sizeof(varrayHeader) + vmemArraySize(static_cast<std::size_t>(capacity), elementSize);
}

varrayHeader* headerOfHolder(void** holder) { return varrayHeaderOf(*holder); }

void ensureRoom(void** holder, std::int64_t needed, std::size_t elementSize) {
  varrayHeader* h = headerOfHolder(holder);
  if (needed <= h->capacity) return;
  std::int64_t cap = h->capacity, step = h->growStep;
  std::int64_t add = step >= 0 ? step : cap / -step;
  std::int64_t target = cap + add < needed ? needed + add : cap + add;
  if (target > INT32_MAX) raiseTooLarge();
  std::size_t bytes = blockBytes(target, elementSize);
  varrayHeader* n;
  if (inCallerStorage(h)) {
    n = static_cast<varrayHeader*>(vmemAlloc(bytes));
    std::memcpy(n, h, blockBytes(h->count, elementSize));
  } else {
    n = static_cast<varrayHeader*>(vmemRealloc(h, bytes));
  }
  n->capacity = static_cast<std::int32_t>(target);
  *holder = elements(n);
}

void shrink(void** holder, std::size_t elementSize) {
  varrayHeader* h = headerOfHolder(holder);
  if (inCallerStorage(h)) return;
  std::int64_t cap = h->capacity, count = h->count, t = h->shrinkStep, target;
  if (t >= 1) {
    if (cap - t < count) return;
    target = cap - t;
    if (count + t < target) target = count + t / 2;
  } else {
    std::int64_t d = cap / (1 - t);
    if (cap - d < count) return;
    target = cap - d;
    if (count + d < target) target = count + cap / (2 * (1 - t));
  }
  if (target >= cap) return;
  if (h->callerStorage) {
    varrayHeader* home = varrayHeaderOf(h->callerStorage);
    if (home->capacity >= target) {
      std::int32_t homeCapacity = home->capacity;
      std::memcpy(home, h, blockBytes(count, elementSize));
      home->capacity = homeCapacity;
      vmemFree(h);
      *holder = elements(home);
      return;
    }
  }
  auto* n = static_cast<varrayHeader*>(vmemRealloc(h, blockBytes(target, elementSize)));
  n->capacity = static_cast<std::int32_t>(target);
  *holder = elements(n);
}

void initHeader(varrayHeader* h, int count, int capacity) {
  h->callerStorage = nullptr;
  h->count = count;
  h->capacity = capacity;
  h->growStep = kGrowStep;
  h->shrinkStep = kShrinkStep;
}

}  // namespace

void* varrayCreate(std::size_t elementSize, int count, int capacity) {
  if (count < 0 || capacity < count) vexGenerateMessage(&vexArgClass, "bad array count or capacity");
  auto* h = static_cast<varrayHeader*>(vmemAlloc(blockBytes(capacity, elementSize)));
  initHeader(h, count, capacity);
  return elements(h);
}

void* varrayCreateInStorage(void* buffer, std::size_t bytes, std::size_t elementSize) {
  if (!buffer || bytes < sizeof(varrayHeader) || elementSize == 0)
    vexGenerateMessage(&vexArgClass, "bad array storage");
  std::size_t capacity = (bytes - sizeof(varrayHeader)) / elementSize;
  if (capacity > INT32_MAX) capacity = INT32_MAX;
  auto* h = static_cast<varrayHeader*>(buffer);
  initHeader(h, 0, static_cast<int>(capacity));
  h->callerStorage = elements(h);
  return elements(h);
}

void varrayDestroy(void* array) {
  if (!array) vexGenerateMessage(&vexArgNullClass, "null array");
  varrayHeader* h = varrayHeaderOf(array);
  if (!inCallerStorage(h)) vmemFree(h);
}

void* varrayClone(void* array, std::size_t elementSize) {
  varrayHeader* h = varrayHeaderOf(array);
  auto* n = static_cast<varrayHeader*>(vmemAlloc(blockBytes(h->capacity, elementSize)));
  std::memcpy(n, h, blockBytes(h->count, elementSize));
  n->callerStorage = nullptr;
  return elements(n);
}

void* varrayOpen(void** holder, int index, int n, std::size_t elementSize) {
  varrayHeader* h = headerOfHolder(holder);
  if (index < 0 || index > h->count) raiseIndex(holder, index);
  if (n < 1) vexGenerateMessage(&vexArgClass, "no elements to open");
  ensureRoom(holder, std::int64_t{h->count} + n, elementSize);
  h = headerOfHolder(holder);
  char* at = elements(h) + static_cast<std::size_t>(index) * elementSize;
  std::memmove(at + static_cast<std::size_t>(n) * elementSize, at,
               static_cast<std::size_t>(h->count - index) * elementSize);
  h->count += n;
  return at;
}

void* varrayGrow(void** holder, int n, std::size_t elementSize) {
  if (n < 1) vexGenerateMessage(&vexArgClass, "no elements to grow by");
  return varrayOpen(holder, headerOfHolder(holder)->count, n, elementSize);
}

void* varrayInsert(void** holder, int index, const void* data, std::size_t elementSize) {
  if (!data) vexGenerateMessage(&vexArgNullClass, "null element");
  void* at = varrayOpen(holder, index, 1, elementSize);
  std::memcpy(at, data, elementSize);
  return at;
}

void* varrayAppend(void** holder, const void* data, std::size_t elementSize) {
  return varrayInsert(holder, headerOfHolder(holder)->count, data, elementSize);
}

void varrayRemoveLast(void** holder, int n, std::size_t elementSize) {
  varrayHeader* h = headerOfHolder(holder);
  // The index raised is n - 1, the offending element counted from the end.
  if (n > h->count) raiseIndex(holder, n - 1);
  h->count -= n;
  shrink(holder, elementSize);
}

void varrayRemove(void** holder, int index, int n, std::size_t elementSize, bool keepOrder) {
  varrayHeader* h = headerOfHolder(holder);
  if (index < 0 || n < 0 || index > h->count - n) raiseIndex(holder, index);
  char* base = elements(h);
  int after = h->count - index - n;
  char* gap = base + static_cast<std::size_t>(index) * elementSize;
  if (!keepOrder && after >= n)
    std::memcpy(gap, base + static_cast<std::size_t>(h->count - n) * elementSize, static_cast<std::size_t>(n) * elementSize);
  else
    std::memmove(gap, gap + static_cast<std::size_t>(n) * elementSize, static_cast<std::size_t>(after) * elementSize);
  h->count -= n;
  shrink(holder, elementSize);
}

int varrayIndexOf(void* array, const void* data, bool forward, int start, std::size_t elementSize) {
  varrayHeader* h = varrayHeaderOf(array);
  if (start < 0 || start > h->count) raiseIndex(array, start);
  const char* base = elements(h);
  if (forward) {
    for (int i = start; i < h->count; ++i)
      if (std::memcmp(base + static_cast<std::size_t>(i) * elementSize, data, elementSize) == 0) return i;
  } else {
    for (int i = std::min(start, h->count - 1); i >= 0; --i)
      if (std::memcmp(base + static_cast<std::size_t>(i) * elementSize, data, elementSize) == 0) return i;
  }
  return -1;
}

void* varrayFind(void* array, const void* data, bool forward, int start, std::size_t elementSize) {
  int i = varrayIndexOf(array, data, forward, start, elementSize);
  return i < 0 ? nullptr : static_cast<char*>(array) + static_cast<std::size_t>(i) * elementSize;
}

int varrayRemoveFirst(void** holder, const void* data, bool keepOrder, std::size_t elementSize) {
  int i = varrayIndexOf(*holder, data, true, 0, elementSize);
  if (i >= 0) varrayRemove(holder, i, 1, elementSize, keepOrder);
  return i;
}

int varrayRemoveAll(void** holder, const void* data, bool keepOrder, std::size_t elementSize) {
  int removed = 0;
  for (int i = 0; (i = varrayIndexOf(*holder, data, true, i, elementSize)) >= 0; ++removed)
    varrayRemove(holder, i, 1, elementSize, keepOrder);
  return removed;
}
