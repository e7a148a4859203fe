#include "fw/services/block.h"

#include <cstring>

#include "fw/core/ex.h"
#include "fw/core/mem.h"

namespace {

bool owns(const vsessionBlock* b) { return (b->flags & vsessionBlockOWNS) != 0; }

void freeOwned(vsessionBlock* b) {
  if (owns(b) && b->data) vmemFree(b->data);
}

// The capacity the growth rule gives for a shortfall of missing bytes. A
// proportional factor below 1 would give less than the bytes held plus the
// shortfall, so the result is never below that.
std::uint32_t grownCapacity(const vsessionBlock* b, std::uint64_t missing, std::uint64_t needed) {
  std::uint64_t cap = b->capacity;
  std::uint64_t grown = (b->flags & vsessionBlockPROPORTIONAL)
                            ? missing + static_cast<std::uint64_t>(b->growth * static_cast<float>(cap))
                            : cap + missing + static_cast<std::uint64_t>(b->growth);
  if (grown < needed) grown = needed;
  if (grown > 0xFFFFFFFFu) _vexGenerate(&vexArgRangeClass, vexSetMessage, "block too large", vexEnd);
  return static_cast<std::uint32_t>(grown);
}

// Owned memory is reallocated; memory the block does not own is copied
// (the bytes from head to tail, at their offsets) into new owned memory.
void resize(vsessionBlock* b, std::uint32_t capacity) {
  if (owns(b)) {
    b->data = static_cast<char*>(vmemRealloc(b->data, capacity ? capacity : 1));
  } else {
    char* fresh = static_cast<char*>(vmemAlloc(capacity ? capacity : 1));
    if (b->tail > b->head) std::memcpy(fresh + b->head, b->data + b->head, b->tail - b->head);
    b->data = fresh;
    b->flags |= vsessionBlockOWNS;
  }
  b->capacity = capacity;
}

}  // namespace

void vsessionBlockInitProportional(vsessionBlock* b, float factor) {
  *b = vsessionBlock{};
  b->flags = vsessionBlockPROPORTIONAL;
  b->growth = factor;
}

void vsessionBlockAttach(vsessionBlock* b, void* buffer, std::uint32_t capacity) {
  freeOwned(b);
  b->data = static_cast<char*>(buffer);
  b->capacity = capacity;
}

void vsessionBlockReset(vsessionBlock* b) {
  if (owns(b) && b->data) {
    vmemFree(b->data);
    b->data = nullptr;
  }
  b->head = b->tail = b->capacity = 0;
}

void vsessionBlockRelease(vsessionBlock* b) {
  if (owns(b) && b->data) {
    vmemFree(b->data);
    b->data = nullptr;
    b->head = b->tail = b->capacity = 0;
  }
}

void vsessionBlockSetHead(vsessionBlock* b, std::uint32_t head) {
  if (b->head == b->tail) {
    b->head = b->tail = head;
    return;
  }
  if (head > b->head) {
    std::uint32_t distance = head - b->head;
    if (static_cast<std::uint64_t>(b->tail) + distance >= b->capacity) resize(b, b->capacity + distance);
    std::memmove(b->data + head, b->data + b->head, b->tail - b->head);
    b->tail += distance;
  } else {
    std::memmove(b->data + head, b->data + b->head, b->tail - b->head);
    b->tail -= b->head - head;
  }
  b->head = head;
}

void vsessionBlockSetCapacity(vsessionBlock* b, std::uint32_t capacity) {
  if (static_cast<std::uint64_t>(capacity) < static_cast<std::uint64_t>(b->head) + b->tail)
    _vexGenerate(&vexArgRangeClass, vexSetMessage, "Cannot shrink block\n", vexEnd);
  resize(b, capacity);
}

char* vsessionBlockAppendSpace(vsessionBlock* b, std::uint32_t n) {
  std::uint64_t end = static_cast<std::uint64_t>(b->tail) + n;
  if (end > b->capacity) resize(b, grownCapacity(b, end - b->capacity, end));
  char* at = b->data + b->tail;
  b->tail += n;
  return at;
}

char* vsessionBlockPrependSpace(vsessionBlock* b, std::uint32_t n) {
  // An empty block whose head was set beyond its memory gets that memory.
  if (b->tail > b->capacity) resize(b, b->tail);
  if (b->head < n) {
    std::uint32_t room = b->capacity - b->tail;
    std::uint32_t length = b->tail - b->head;
    if (room >= n) {
      std::memmove(b->data + b->head + room, b->data + b->head, length);
      b->head += room;
      b->tail += room;
    } else {
      std::uint32_t missing = n - b->head;
      std::uint32_t capacity = grownCapacity(b, missing, static_cast<std::uint64_t>(n) + length);
      char* fresh = static_cast<char*>(vmemAlloc(capacity));
      if (length) std::memcpy(fresh + n, b->data + b->head, length);
      freeOwned(b);
      b->data = fresh;
      b->flags |= vsessionBlockOWNS;
      b->capacity = capacity;
      b->head += missing;
      b->tail += missing;
    }
  }
  b->head -= n;
  return b->data + b->head;
}

void vsessionBlockAppendBytes(vsessionBlock* b, void* bytes, std::uint32_t n, int take) {
  if (take && b->head == b->tail) {
    freeOwned(b);
    b->data = static_cast<char*>(bytes);
    b->head = 0;
    b->tail = b->capacity = n;
    b->flags |= vsessionBlockOWNS;
    return;
  }
  if (n) std::memcpy(vsessionBlockAppendSpace(b, n), bytes, n);
  if (take) vmemFree(bytes);
}
