// Session blocks: a growable byte buffer that keeps room in front of its
// data, so that message headers are prepended without copying the body.
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
