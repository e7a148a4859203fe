// The converting scribe machinery, the substitute converters, byte order
// and the Arg/Tag exception.
#include <array>
#include <cstring>

#include "fw/core/charconv.h"
#include "fw/core/charset.h"
#include "fw/core/cp1252.h"
#include "fw/core/debug.h"

namespace charconv {

namespace {

const Codec& codecOf(const vscribe* s) { return *reinterpret_cast<const Class*>(s->cls)->codec; }

// The source's end: count units, or up to the first zero unit.
const unsigned char* sourceEnd(const vscribe* s) {
  const auto* p = static_cast<const unsigned char*>(s->data);
  if (s->data2 != SIZE_MAX) return p + s->data2 * static_cast<std::size_t>(codecOf(s).unitSize);
  if (codecOf(s).unitSize == 1) return p + std::strlen(reinterpret_cast<const char*>(p));
  for (std::uint16_t unit;; p += 2) {
    std::memcpy(&unit, p, 2);
    if (!unit) return p;
  }
}

// Walks whole steps while their output fits max characters; answers the count.
template <class Emit>
std::size_t walk(vscribe* s, std::size_t max, Emit emit) {
  const Codec& codec = codecOf(s);
  const auto* p = static_cast<const unsigned char*>(s->data);
  const unsigned char* end = sourceEnd(s);
  std::size_t n = 0;
  std::uint16_t out[4];
  while (p < end) {
    auto k = static_cast<std::size_t>(codec.step(p, end, out));
    if (k > max - n) break;
    for (std::size_t i = 0; i < k; ++i) emit(n + i, out[i]);
    n += k;
  }
  return n;
}

}  // namespace

vscribe* create(const Class* cls, const void* text, std::size_t count) {
  vscribe* s = vscribeCreate(&cls->base);
  s->data = const_cast<void*>(text);
  s->data2 = count;
  return s;
}

char* read(vscribe* s, char* buffer, std::size_t max) {
  int size = codecOf(s).outSize;
  std::size_t n = walk(s, max, [&](std::size_t at, std::uint16_t c) {
    if (size == 1)
      buffer[at] = static_cast<char>(c);
    else
      std::memcpy(buffer + at * 2, &c, 2);
  });
  return buffer + n * static_cast<std::size_t>(size);
}

std::size_t length(vscribe* s, std::size_t max) {
  return walk(s, max, [](std::size_t, std::uint16_t) {});
}

}  // namespace charconv

namespace {

template <std::uint16_t Code>
int substituteStep(const unsigned char*& p, const unsigned char*, std::uint16_t* out) {
  ++p;
  out[0] = Code;
  return 1;
}

constexpr bool tablesKeep(std::size_t c) {
  return c <= 125 || (c >= 127 && c <= 129) || (c >= 141 && c <= 144) || c == 157 || c == 158;
}

// Backslash and tilde as the yen sign and the macron, as Japanese fonts draw them.
constexpr cp1252::Table tableC = [] {
  cp1252::Table t{};
  for (std::size_t c = 0; c < 256; ++c) t[c] = tablesKeep(c) || c == 160 ? static_cast<unsigned char>(c) : 160;
  t[92] = 165, t[126] = 175;
  return t;
}();

constexpr cp1252::Table tableD = [] {
  cp1252::Table t{};
  for (std::size_t c = 0; c < 256; ++c) t[c] = tablesKeep(c) ? static_cast<unsigned char>(c) : ' ';
  t[92] = t[126] = ' ';
  t[165] = 92, t[175] = 126;
  return t;
}();

constexpr charconv::Codec substituteA{1, 2, substituteStep<0x2121>}, substituteB{1, 2, substituteStep<0x2244>};
constexpr charconv::Codec tableCCodec{1, 1, charconv::tableStep<tableC>}, tableDCodec{1, 1, charconv::tableStep<tableD>};
constexpr charconv::Class substituteAClass = charconv::makeClass(&substituteA),
                          substituteBClass = charconv::makeClass(&substituteB),
                          tableCClass = charconv::makeClass(&tableCCodec),
                          tableDClass = charconv::makeClass(&tableDCodec);

}  // namespace

vscribe* vcharsetCreateSubstituteAScribe(const char* text, std::size_t count) {
  return charconv::create(&substituteAClass, text, count);
}
vscribe* vcharsetCreateSubstituteBScribe(const char* text, std::size_t count) {
  return charconv::create(&substituteBClass, text, count);
}
vscribe* vcharsetCreateTableCScribe(const char* text, std::size_t count) {
  return charconv::create(&tableCClass, text, count);
}
vscribe* vcharsetCreateTableDScribe(const char* text, std::size_t count) {
  return charconv::create(&tableDClass, text, count);
}

std::uint32_t vbyteSwapLong(std::uint32_t value) { return __builtin_bswap32(value); }

const vexClass vexArgTagClass{&vexArgClass, "Tag", 44, vexArgTagPrint, sizeof(vexArgTagException)};

void vexArgSetTag(vexException* e, va_list* ap) { static_cast<vexArgTagException*>(e)->tag = va_arg(*ap, vname); }

void vexArgTagPrint(vexException* e, std::FILE* stream) {
  vname tag = static_cast<vexArgTagException*>(e)->tag;
  vdebugFprintf(stream, "\ttag: \"%s\"\n", tag ? tag : "");
  vdebugFflush(stream);
}
