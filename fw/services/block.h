// Session blocks: a growable byte buffer that keeps room in front of its
// data, so that message headers are prepended without copying the body.
//
// Session blocks (`block.h`) are six words: buffer, head, tail, capacity, flags (0x10000000 owns
// the buffer, 0x20000000 proportional growth) and a float growth. Growth for an append of n:
// shortfall = tail + n - capacity, then shortfall + int(growth x capacity) (proportional) or
// capacity + shortfall + int(growth); prepending n below a head under n first moves the contents up
// by all the room after the tail when that room is at least n, else copies them into a buffer grown
// by the same rule for the missing n - head bytes, starting at offset n. Header reserves (`set
// head`) rely on these numbers. Two guards the rule lacks: a result never below what the bytes need
// (a proportional factor under 1 would give less), and an empty block whose head was set past its
// memory gets that memory before a prepend.
#pragma once
#include <cstddef>
#include <cstdint>

struct vsessionBlock {
  char* data;
  std::uint32_t head;      // first data byte
  std::uint32_t tail;      // one past the last data byte
  std::uint32_t capacity;  // bytes at data
  std::uint32_t flags;
  float growth;            // factor (proportional) or bytes added
};

enum : std::uint32_t {
  vsessionBlockOWNS = 0x10000000,
  vsessionBlockPROPORTIONAL = 0x20000000,
};

inline std::uint32_t vsessionBlockLength(const vsessionBlock* b) { return b->tail - b->head; }
inline char* vsessionBlockBytes(const vsessionBlock* b) { return b->data + b->head; }

// A zeroed block with proportional growth by the factor.
void vsessionBlockInitProportional(vsessionBlock* b, float factor);
void vsessionBlockAttach(vsessionBlock* b, void* buffer, std::uint32_t capacity);
void vsessionBlockReset(vsessionBlock* b);
void vsessionBlockRelease(vsessionBlock* b);
void vsessionBlockSetHead(vsessionBlock* b, std::uint32_t head);
void vsessionBlockSetCapacity(vsessionBlock* b, std::uint32_t capacity);
char* vsessionBlockAppendSpace(vsessionBlock* b, std::uint32_t n);
char* vsessionBlockPrependSpace(vsessionBlock* b, std::uint32_t n);
// With take set the block takes over memory from vmemAlloc: adopted by an
// empty block, else copied and freed.
void vsessionBlockAppendBytes(vsessionBlock* b, void* bytes, std::uint32_t n, int take);
