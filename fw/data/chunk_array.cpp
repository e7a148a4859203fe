// Chunk arrays: integers of one width packed into one chunk. The first
// data byte holds the width code (bits 0-2) and the bits used in the last
// byte (bits 3-5, 0 = full). Elements are read and written where they lie.
#include <algorithm>
#include <cstring>

#include "fw/core/mem.h"
#include "fw/data/chunk.h"

namespace {

// The largest chunk the file's addresses leave room for.
constexpr std::uint64_t MAX_DATA = 0x7FFF0000;

int codeFor(std::int64_t v) {
  if (v == 0 || v == 1) return 0;
  if (v >= 2 && v <= 3) return 1;
  if (v >= 4 && v <= 15) return 2;
  if (v >= 16 && v <= 255) return 3;
  if (v >= -32768 && v <= 32767) return 4;
  if (v >= INT32_MIN && v <= INT32_MAX) return 5;
  return 6;
}

std::uint32_t dataBytes(std::uint64_t count, int code) {
  std::uint64_t bytes = 1 + ((count << code) + 7) / 8;
  if (bytes > MAX_DATA) vexGenerateMessage(&vexModuleLimitClass, "Maximum array size");
  return static_cast<std::uint32_t>(bytes);
}

std::uint8_t headerByte(std::uint64_t count, int code) {
  return static_cast<std::uint8_t>(code | ((count << code) % 8) << 3);
}

// An array's chunk as it lies: its data (not pinned), code and count.
struct View {
  std::uint8_t* p = nullptr;
  int code = 0;
  std::int32_t count = 0;
};

View view(vchunkFile* f, std::uint32_t addr) {
  View v;
  if (addr == 0) return v;
  std::uint32_t n;
  v.p = _vchunkPeek(f, addr, &n);
  if (n == 0 || (v.p[0] & 7) == 7) vexGenerateMessage(&vexArgClass, "bad chunk array");
  v.code = v.p[0] & 7;
  int used = v.p[0] >> 3 & 7;
  std::int64_t bits = used ? std::int64_t{n} * 8 - 16 + used : std::int64_t{n} * 8 - 8;
  if (bits < 0 || (bits >> v.code) > INT32_MAX) vexGenerateMessage(&vexArgClass, "bad chunk array");
  v.count = static_cast<std::int32_t>(bits >> v.code);
  return v;
}

std::int64_t load(const std::uint8_t* e, int code, std::size_t i) {
  if (code <= 2) {
    std::size_t bit = i << code;
    return e[bit / 8] >> (bit % 8) & ((1 << (1 << code)) - 1);
  }
  std::size_t width = std::size_t{1} << (code - 3);
  const std::uint8_t* at = e + i * width;
  std::uint64_t u = 0;
  for (std::size_t b = 0; b < width; ++b) u = u << 8 | at[b];
  if (code == 3) return static_cast<std::int64_t>(u);
  if (code == 4) return static_cast<std::int16_t>(u);
  if (code == 5) return static_cast<std::int32_t>(u);
  return static_cast<std::int64_t>(u);
}

void store(std::uint8_t* e, int code, std::size_t i, std::int64_t value) {
  auto u = static_cast<std::uint64_t>(value);
  if (code <= 2) {
    std::size_t bit = i << code;
    unsigned mask = ((1u << (1 << code)) - 1) << (bit % 8);
    e[bit / 8] = static_cast<std::uint8_t>((e[bit / 8] & ~mask) | ((u << (bit % 8)) & mask));
    return;
  }
  std::size_t width = std::size_t{1} << (code - 3);
  for (std::size_t b = width; b-- > 0; u >>= 8) e[i * width + b] = static_cast<std::uint8_t>(u);
}

// The data byte that holds (the start of) element i.
std::uint32_t byteOf(std::size_t i, int code) { return static_cast<std::uint32_t>(1 + ((i << code) / 8)); }

void checkIndex(std::int64_t index, std::int64_t limit) {
  if (index < 0 || index >= limit) vexGenerateMessage(&vexArgRangeClass, "chunk array index");
}

// The elements of a copy of an array's data, while its chunk is rebuilt.
struct Saved {
  std::uint8_t* bytes = nullptr;
  int code = 0;
  ~Saved() { vmemFree(bytes); }
};

// Rebuilds the array at addr with count elements at code: element i of the
// new array is old element map(i) (or 0 for a negative answer). Answers
// the (possibly moved) address.
template <class Map>
std::uint32_t rebuild(vchunkFile* f, std::uint32_t addr, std::int32_t count, int code, Map map) {
  std::uint32_t bytes = dataBytes(static_cast<std::uint64_t>(count), code);
  Saved old;
  if (addr) {
    View v = view(f, addr);
    std::uint32_t n;
    _vchunkPeek(f, addr, &n);
    old.bytes = static_cast<std::uint8_t*>(vmemAlloc(n));
    std::memcpy(old.bytes, v.p, n);
    old.code = v.code;
  }
  addr = vchunkRealloc(f, addr, bytes);
  std::uint32_t n;
  std::uint8_t* p = _vchunkPeek(f, addr, &n);
  std::memset(p, 0, bytes);
  p[0] = headerByte(static_cast<std::uint64_t>(count), code);
  for (std::int32_t i = 0; i < count; ++i) {
    std::int64_t from = map(i);
    if (from >= 0) store(p + 1, code, static_cast<std::size_t>(i), load(old.bytes + 1, old.code, static_cast<std::size_t>(from)));
  }
  _vchunkChanged(f, addr, 0, bytes);
  return addr;
}

}  // namespace

std::int64_t vchunkArrayGet(vchunkFile* f, std::uint32_t array, std::int32_t index) {
  View v = view(f, array);
  checkIndex(index, v.count);
  return load(v.p + 1, v.code, static_cast<std::size_t>(index));
}

std::uint32_t vchunkArraySet(vchunkFile* f, std::uint32_t array, std::int32_t index, std::int64_t value) {
  if (array == 0) vexGenerateMessage(&vexArgRangeClass, "no chunk array");
  View v = view(f, array);
  checkIndex(index, v.count);
  int need = codeFor(value);
  if (need > v.code) {
    array = rebuild(f, array, v.count, need, [](std::int32_t i) { return std::int64_t{i}; });
    v = view(f, array);
  }
  store(v.p + 1, v.code, static_cast<std::size_t>(index), value);
  std::uint32_t at = byteOf(static_cast<std::size_t>(index), v.code);
  _vchunkChanged(f, array, at, at + (v.code <= 3 ? 1u : 1u << (v.code - 3)));
  return array;
}

std::uint32_t vchunkArrayInsert(vchunkFile* f, std::uint32_t array, std::int32_t index, std::int64_t value) {
  View v = view(f, array);
  checkIndex(index, std::int64_t{v.count} + 1);
  if (v.count == INT32_MAX) vexGenerateMessage(&vexModuleLimitClass, "Maximum array size");
  int code = std::max(v.code, codeFor(value));
  if (array == 0 || code != v.code) {
    array = rebuild(f, array, v.count + 1, code,
                    [index](std::int32_t i) { return i < index ? std::int64_t{i} : i == index ? -1 : std::int64_t{i} - 1; });
    return vchunkArraySet(f, array, index, value);
  }
  // Same width: grown where it lies and the tail moved up one, so building
  // a long array one insert at a time copies no more than it moves.
  std::int32_t count = v.count;
  array = vchunkArraySetCount(f, array, count + 1);
  v = view(f, array);
  if (code >= 3) {
    std::size_t width = std::size_t{1} << (code - 3);
    std::uint8_t* at = v.p + 1 + static_cast<std::size_t>(index) * width;
    std::memmove(at + width, at, static_cast<std::size_t>(count - index) * width);
  } else {
    for (std::int32_t i = count; i > index; --i)
      store(v.p + 1, code, static_cast<std::size_t>(i), load(v.p + 1, code, static_cast<std::size_t>(i) - 1));
  }
  _vchunkChanged(f, array, byteOf(static_cast<std::size_t>(index), code), dataBytes(static_cast<std::uint64_t>(count) + 1, code));
  return vchunkArraySet(f, array, index, value);
}

std::uint32_t vchunkArrayDelete(vchunkFile* f, std::uint32_t array, std::int32_t index) {
  if (array == 0) vexGenerateMessage(&vexArgRangeClass, "no chunk array");
  View v = view(f, array);
  checkIndex(index, v.count);
  if (v.count == 1) {
    vchunkFree(f, array);
    return 0;
  }
  for (std::int32_t i = index; i + 1 < v.count; ++i)
    store(v.p + 1, v.code, static_cast<std::size_t>(i), load(v.p + 1, v.code, static_cast<std::size_t>(i) + 1));
  return vchunkArraySetCount(f, array, v.count - 1);
}

std::int32_t vchunkArrayCount(vchunkFile* f, std::uint32_t array) { return view(f, array).count; }

std::uint32_t vchunkArraySetCount(vchunkFile* f, std::uint32_t array, std::int32_t count) {
  if (count < 0) vexGenerateMessage(&vexArgRangeClass, "negative chunk array count");
  if (count == 0) {
    if (array) vchunkFree(f, array);
    return 0;
  }
  View v = view(f, array);
  std::uint32_t bytes = dataBytes(static_cast<std::uint64_t>(count), v.code);
  std::uint32_t oldBytes = array ? dataBytes(static_cast<std::uint64_t>(v.count), v.code) : 1;
  std::int32_t kept = std::min(count, v.count);
  array = vchunkRealloc(f, array, bytes);
  std::uint32_t n;
  std::uint8_t* p = _vchunkPeek(f, array, &n);
  // New bytes are zero, and so are the bits past the last kept element.
  if (bytes > oldBytes) std::memset(p + oldBytes, 0, bytes - oldBytes);
  std::uint64_t keptBits = static_cast<std::uint64_t>(kept) << v.code;
  if (keptBits % 8) p[1 + keptBits / 8] = static_cast<std::uint8_t>(p[1 + keptBits / 8] & ((1u << (keptBits % 8)) - 1));
  p[0] = headerByte(static_cast<std::uint64_t>(count), v.code);
  _vchunkChanged(f, array, 0, std::min(bytes, oldBytes));
  if (bytes > oldBytes) _vchunkChanged(f, array, oldBytes, bytes);
  return array;
}

std::uint32_t vchunkArrayFill(vchunkFile* f, std::uint32_t array, std::int32_t from, std::int32_t to,
                             std::int64_t value) {
  if (from >= to) return array;
  View v = view(f, array);
  if (from < 0 || to > v.count) vexGenerateMessage(&vexArgRangeClass, "chunk array index");
  array = vchunkArraySet(f, array, from, value);  // widened when the value needs it
  v = view(f, array);
  for (std::int32_t i = from + 1; i < to; ++i) store(v.p + 1, v.code, static_cast<std::size_t>(i), value);
  _vchunkChanged(f, array, byteOf(static_cast<std::size_t>(from), v.code), dataBytes(static_cast<std::uint64_t>(to), v.code));
  return array;
}

void vchunkArrayCheckCount(vchunkFile* f, std::uint32_t array, std::int32_t count, std::int64_t value) {
  dataBytes(static_cast<std::uint64_t>(std::max(count, 0)), std::max(view(f, array).code, codeFor(value)));
}

int vchunkArrayWidthCode(vchunkFile* f, std::uint32_t array) { return view(f, array).code; }
