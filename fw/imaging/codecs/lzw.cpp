// The LZW coder of GIF: codes of 3 to 12 bits, least significant bit
// first, a clear code and an end code above the roots. Each call keeps its
// tables to itself.
#include <array>
#include <memory>
#include <vector>

#include "fw/imaging/codecs/vimportgif.h"

namespace {

constexpr int kCodes = 4096;
constexpr std::int32_t kRoot = -1, kUnused = -2;

struct Decoder {
  std::array<std::int32_t, kCodes> prefix;
  std::array<std::uint8_t, kCodes> suffix, first;
  int minimum, clear, end, size, next, limit;

  void reset() {
    size = minimum + 1;
    next = clear + 2;
    limit = 2 * clear;
    for (int i = 0; i < kCodes; ++i) {
      prefix[std::size_t(i)] = i < clear ? kRoot : kUnused;
      suffix[std::size_t(i)] = first[std::size_t(i)] = std::uint8_t(i < clear ? i : 0);
    }
  }
};

struct Encoder {
  std::array<std::uint16_t, kCodes> child, sibling;
  std::array<std::uint8_t, kCodes> character;
  std::uint32_t bits = 0;
  int held = 0;
  void* stream;
  void (*putByte)(void*, std::uint32_t);

  void emit(int code, int size) {
    bits |= std::uint32_t(code) << held;
    held += size;
    while (held >= 8) {
      putByte(stream, bits & 0xFF);
      bits >>= 8;
      held -= 8;
    }
  }
};

}  // namespace

int vlzwDecode(const std::uint8_t* buffer, std::size_t length, std::int64_t count, void* context,
               void (*pixel)(void* context, std::uint32_t value)) {
  if (!buffer || length == 0 || !pixel) return -1;
  auto d = std::make_unique<Decoder>();
  d->minimum = buffer[0] < 2 ? 2 : buffer[0] > 11 ? 11 : buffer[0];
  d->clear = 1 << d->minimum;
  d->end = d->clear + 1;
  d->reset();
  std::size_t at = 1;
  std::uint32_t bits = 0;
  int held = 0;
  auto read = [&]() -> int {
    while (held < d->size) {
      if (at >= length) return -1;
      bits |= std::uint32_t(buffer[at++]) << held;
      held += 8;
    }
    int code = int(bits & ((1u << d->size) - 1));
    bits >>= d->size;
    held -= d->size;
    return code;
  };
  std::int64_t delivered = 0;
  int previous = -1, code = read();
  std::array<std::uint8_t, kCodes> stack;
  while (code >= 0 && code != d->end && delivered < count) {
    if (code == d->clear) {
      d->reset();
      previous = -1;
      code = read();
      continue;
    }
    std::size_t c = std::size_t(code);
    bool inUse = d->prefix[c] != kUnused;
    if (previous < 0) {
      if (!inUse || d->prefix[c] != kRoot) break;  // a string must start at a root
    } else if (d->next < kCodes) {
      std::size_t n = std::size_t(d->next), p = std::size_t(previous);
      d->prefix[n] = previous;
      d->suffix[n] = inUse ? d->first[c] : d->first[p];
      d->first[n] = d->first[p];
      if (++d->next == d->limit && d->size < 12) {
        ++d->size;
        d->limit *= 2;
      }
    }
    // The code's string, last byte first; an undefined link ends the stream
    // after what was gathered.
    std::size_t depth = 0;
    bool broken = false;
    for (std::int32_t k = code; k != kRoot;) {
      if (k < 0 || d->prefix[std::size_t(k)] == kUnused || depth == stack.size()) {
        broken = true;
        break;
      }
      stack[depth++] = d->suffix[std::size_t(k)];
      k = d->prefix[std::size_t(k)];
    }
    while (depth > 0 && delivered < count) {
      pixel(context, stack[--depth]);
      ++delivered;
    }
    if (broken) break;
    previous = code;
    code = read();
  }
  return code;
}

void vlzwEncode(void* source, void* stream, int codeSize, std::int64_t count, std::uint32_t (*getPixel)(void* source),
                void (*putByte)(void* stream, std::uint32_t byte)) {
  if (codeSize < 1 || codeSize > 12 || !getPixel || !putByte) return;
  if (codeSize == 1) codeSize = 2;
  auto e = std::make_unique<Encoder>();
  e->stream = stream;
  e->putByte = putByte;
  putByte(stream, std::uint32_t(codeSize));
  const int clear = 1 << codeSize, end = clear + 1;
  int size = 0, limit = 0, next = 0;
  auto reset = [&] {
    size = codeSize + 1;
    limit = 1 << size;
    next = clear + 2;
    e->child.fill(0xFFFF);
    e->sibling.fill(0xFFFF);
  };
  reset();
  e->emit(clear, size);
  if (count <= 0) {
    e->emit(end, size);
    if (e->held > 0) putByte(stream, e->bits & 0xFF);
    return;
  }
  const std::uint32_t mask = std::uint32_t(clear - 1);
  int current = int(getPixel(source) & mask);
  for (std::int64_t i = 1; i < count; ++i) {
    std::uint32_t k = getPixel(source) & mask;
    std::uint16_t node = e->child[std::size_t(current)], last = 0xFFFF;
    while (node != 0xFFFF && e->character[node] != k) {
      last = node;
      node = e->sibling[node];
    }
    if (node != 0xFFFF) {
      current = node;
      continue;
    }
    int assigned = next++;
    if (assigned < kCodes) {
      e->character[std::size_t(assigned)] = std::uint8_t(k);
      e->child[std::size_t(assigned)] = e->sibling[std::size_t(assigned)] = 0xFFFF;
      (last == 0xFFFF ? e->child[std::size_t(current)] : e->sibling[last]) = std::uint16_t(assigned);
    }
    e->emit(current, size);
    if (assigned >= limit) {
      if (size < 12) {
        limit *= 2;
        ++size;
      } else {
        e->emit(clear, size);
        reset();
      }
    }
    current = int(k);
  }
  e->emit(current, size);
  e->emit(end, size);
  if (e->held > 0) putByte(stream, e->bits & 0xFF);
}
