// Strings and opaque data of typed resources, each in a chunk of its own.
#include <cstring>
#include <vector>

#include "fw/core/charset.h"
#include "fw/data/chunk.h"
#include "fw/data/res.h"

namespace {

enum : std::uint8_t { encLatin1 = 0, encMacRoman = 1, encUnicode = 2, encInternal = 3 };

[[noreturn]] void damaged() { vexGenerateMessage(&vexArgClass, "Resource file is damaged"); }

// The chunk's data, held while in scope.
struct Held {
  vchunkFile* f;
  std::uint32_t address;
  const std::uint8_t* data;
  std::uint32_t size;
  Held(vchunkFile* file, std::uint32_t a) : f(file), address(a), data(vchunkGetData(file, a)), size(vchunkGetSize(file, a)) {}
  ~Held() { vchunkRelease(f, address); }
};

std::size_t lengthOf(const Held& h) {
  if (h.size == 0) damaged();
  std::size_t bytes = h.size - 1;
  if (h.data[0] != encUnicode) return bytes;
  if (bytes % 2) damaged();
  return bytes / 2;
}

// The characters converted to the internal set, as a counted string.
vstr* decode(const Held& h) {
  std::size_t n = lengthOf(h);
  const char* text = reinterpret_cast<const char*>(h.data + 1);
  switch (h.data[0]) {
    case encLatin1:
      return vstrCloneScribed(vcharsetCreateLatin1Scribe(text, n), nullptr);
    case encMacRoman:
      return vstrCloneScribed(vcharsetCreateMacRomanScribe(text, n), nullptr);
    case encUnicode: {
      std::vector<std::uint16_t> units(n);
      for (std::size_t i = 0; i < n; ++i)
        units[i] = static_cast<std::uint16_t>(h.data[1 + 2 * i] << 8 | h.data[2 + 2 * i]);
      return vstrCloneScribed(vcharsetCreateNarrowScribe(units.data(), n), nullptr);
    }
    case encInternal:
      return vstrCloneScribed(vscribeCStringSized(text, n), nullptr);
    default:
      vexGenerateMessage(&vexModuleUnimplementedClass, "Unknown character set.");
  }
}

}  // namespace

vscribe* vresStringChunkScribe(vchunkFile* f, std::uint32_t address) {
  if (!address) return vscribeLiteral("");
  Held h(f, address);
  return vstrScribe(decode(h));
}

std::size_t vresStringChunkLength(vchunkFile* f, std::uint32_t address) {
  if (!address) return 0;
  Held h(f, address);
  return lengthOf(h);
}

void vresStringChunkRead(vchunkFile* f, std::uint32_t address, std::size_t offset, std::size_t count, char* buffer) {
  if (count == 0) return;
  auto outOfRange = [] { vexGenerateMessage(&vexArgRangeClass, "String contents out of range."); };
  if (!address) outOfRange();
  Held h(f, address);
  std::size_t n = lengthOf(h);
  if (offset > n || count > n - offset) outOfRange();
  vstr* text = decode(h);
  std::memcpy(buffer, text + offset, count);
  vstrDestroy(text);
}

std::uint32_t vresStringChunkSet(vchunkFile* f, std::uint32_t address, vscribe* text) {
  std::size_t n = vscribeGetLength(text);
  if (n == 0 || n >= 0x7FFFFFF0u) {
    vscribeRelease(text);
    if (n) vexGenerateMessage(&vexArgRangeClass, "string too long for a resource");
    if (address) vchunkFree(f, address);
    return 0;
  }
  // Read first: the scribe may be over this very chunk's text.
  std::vector<char> bytes(n + 1);
  char* end = vscribeReadBounded(text, bytes.data(), n);
  std::size_t got = static_cast<std::size_t>(end - bytes.data());
  address = vchunkRealloc(f, address, static_cast<std::uint32_t>(got + 1));
  std::uint8_t* data = vchunkGetData(f, address);
  data[0] = encInternal;
  std::memcpy(data + 1, bytes.data(), got);
  vchunkReleaseDirty(f, address);
  return address;
}

std::uint32_t vresOpaqueChunkSetSize(vchunkFile* f, std::uint32_t address, std::uint32_t size) {
  if (size == 0) {
    if (address) vchunkFree(f, address);
    return 0;
  }
  return vchunkRealloc(f, address, size);
}
