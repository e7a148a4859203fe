// Chunk arrays: integers of one width packed into one chunk. The first
// data byte holds the width code (bits 0-2) and the bits used in the last
// byte (bits 3-5, 0 = full).
#include <algorithm>
#include <cstring>
#include <vector>

#include "fw/data/chunk.h"

namespace {

using Values = std::vector<std::int64_t>;

int codeFor(std::int64_t v) {
  if (v == 0 || v == 1) return 0;
  if (v >= 2 && v <= 3) return 1;
  if (v >= 4 && v <= 15) return 2;
  if (v >= 16 && v <= 255) return 3;
  if (v >= -32768 && v <= 32767) return 4;
  if (v >= INT32_MIN && v <= INT32_MAX) return 5;
  return 6;
}

std::uint32_t dataBytes(std::size_t count, int code) {
  std::uint64_t bits = static_cast<std::uint64_t>(count) << code;
  std::uint64_t bytes = 1 + (bits + 7) / 8;
  if (bytes > 0x7FFF0000) vexGenerateMessage(&vexArgRangeClass, "chunk array too long");
  return static_cast<std::uint32_t>(bytes);
}

void encode(std::uint8_t* p, int code, const Values& values) {
  std::uint64_t bits = static_cast<std::uint64_t>(values.size()) << code;
  std::memset(p, 0, dataBytes(values.size(), code));
  p[0] = static_cast<std::uint8_t>(code | (bits % 8) << 3);
  std::uint8_t* e = p + 1;
  for (std::size_t i = 0; i < values.size(); ++i) {
    auto u = static_cast<std::uint64_t>(values[i]);
    if (code <= 2) {
      std::size_t bit = i << code;
      e[bit / 8] = static_cast<std::uint8_t>(e[bit / 8] | (u & ((1u << (1 << code)) - 1)) << (bit % 8));
      continue;
    }
    int width = 1 << (code - 3);
    for (int b = width - 1; b >= 0; --b, u >>= 8) e[i * static_cast<std::size_t>(width) + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(u);
  }
}

struct Array {
  int code = 0;
  Values values;
};

Array load(vchunkFile* f, std::uint32_t addr) {
  Array a;
  if (addr == 0) return a;
  std::uint32_t n = vchunkGetSize(f, addr);
  std::uint8_t* p = vchunkGetData(f, addr);
  std::vector<std::uint8_t> bytes(p, p + n);
  vchunkRelease(f, addr);
  if (n == 0 || (bytes[0] & 7) == 7) vexGenerateMessage(&vexArgClass, "bad chunk array");
  a.code = bytes[0] & 7;
  int used = bytes[0] >> 3 & 7;
  std::int64_t bits = used ? static_cast<std::int64_t>(n) * 8 - 16 + used : static_cast<std::int64_t>(n) * 8 - 8;
  if (bits < 0) vexGenerateMessage(&vexArgClass, "bad chunk array");
  std::size_t count = static_cast<std::size_t>(bits) >> a.code;
  const std::uint8_t* e = bytes.data() + 1;
  for (std::size_t i = 0; i < count; ++i) {
    if (a.code <= 2) {
      std::size_t bit = i << a.code;
      a.values.push_back(e[bit / 8] >> (bit % 8) & ((1 << (1 << a.code)) - 1));
      continue;
    }
    int width = 1 << (a.code - 3);
    std::uint64_t u = 0;
    for (int b = 0; b < width; ++b) u = u << 8 | e[i * static_cast<std::size_t>(width) + static_cast<std::size_t>(b)];
    std::int64_t v;
    if (a.code == 3) v = static_cast<std::int64_t>(u);
    else if (a.code == 4) v = static_cast<std::int16_t>(u);
    else if (a.code == 5) v = static_cast<std::int32_t>(u);
    else v = static_cast<std::int64_t>(u);
    a.values.push_back(v);
  }
  return a;
}

// Writes the array into its chunk (moved when it must grow); answers the address.
std::uint32_t store(vchunkFile* f, std::uint32_t addr, const Array& a) {
  std::uint32_t bytes = dataBytes(a.values.size(), a.code);
  addr = addr && vchunkGetSize(f, addr) == bytes ? addr : vchunkRealloc(f, addr, bytes);
  std::uint8_t* p = vchunkGetData(f, addr);
  encode(p, a.code, a.values);
  vchunkReleaseDirty(f, addr);
  return addr;
}

void checkIndex(std::int64_t index, std::size_t limit) {
  if (index < 0 || static_cast<std::uint64_t>(index) >= limit) vexGenerateMessage(&vexArgRangeClass, "chunk array index");
}

}  // namespace

std::int64_t vchunkArrayGet(vchunkFile* f, std::uint32_t array, std::int32_t index) {
  Array a = load(f, array);
  checkIndex(index, a.values.size());
  return a.values[static_cast<std::size_t>(index)];
}

std::uint32_t vchunkArraySet(vchunkFile* f, std::uint32_t array, std::int32_t index, std::int64_t value) {
  if (array == 0) vexGenerateMessage(&vexArgRangeClass, "no chunk array");
  Array a = load(f, array);
  checkIndex(index, a.values.size());
  a.code = std::max(a.code, codeFor(value));
  a.values[static_cast<std::size_t>(index)] = value;
  return store(f, array, a);
}

std::uint32_t vchunkArrayInsert(vchunkFile* f, std::uint32_t array, std::int32_t index, std::int64_t value) {
  Array a = load(f, array);
  checkIndex(index, a.values.size() + 1);
  a.code = std::max(a.code, codeFor(value));
  a.values.insert(a.values.begin() + index, value);
  return store(f, array, a);
}

std::uint32_t vchunkArrayDelete(vchunkFile* f, std::uint32_t array, std::int32_t index) {
  if (array == 0) vexGenerateMessage(&vexArgRangeClass, "no chunk array");
  Array a = load(f, array);
  checkIndex(index, a.values.size());
  if (a.values.size() == 1) {
    vchunkFree(f, array);
    return 0;
  }
  a.values.erase(a.values.begin() + index);
  return store(f, array, a);
}

std::int32_t vchunkArrayCount(vchunkFile* f, std::uint32_t array) {
  return static_cast<std::int32_t>(load(f, array).values.size());
}

std::uint32_t vchunkArraySetCount(vchunkFile* f, std::uint32_t array, std::int32_t count) {
  if (count < 0) vexGenerateMessage(&vexArgRangeClass, "negative chunk array count");
  if (count == 0) {
    if (array) vchunkFree(f, array);
    return 0;
  }
  Array a = load(f, array);
  a.values.resize(static_cast<std::size_t>(count), 0);
  return store(f, array, a);
}

int vchunkArrayWidthCode(vchunkFile* f, std::uint32_t array) { return load(f, array).code; }
