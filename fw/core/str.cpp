// Counted strings and C-string helpers.
#include <array>
#include <algorithm>
#include <cstring>

#include "fw/core/debug.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/scribe.h"

namespace {

constexpr int kPools = 8;
constexpr std::size_t kLongForm = 255;

vpool* stringPool(int number) {
  static std::array<vpool*, kPools> pools{};
  if (!pools[static_cast<std::size_t>(number)])
    pools[static_cast<std::size_t>(number)] = vpoolCreate(8 * static_cast<std::size_t>(number + 1));
  return pools[static_cast<std::size_t>(number)];
}

// Bytes before the text: one length byte, plus four for the long form.
std::size_t prefixOf(std::size_t length) { return length >= kLongForm ? 5 : 1; }

vstr* allocString(std::size_t length) {
  int pool = _vstrPoolNumber(length);
  char* block;
  if (pool >= 0) {
    block = static_cast<char*>(vpoolAlloc(stringPool(pool)));
  } else {
    std::size_t bytes;
    if (__builtin_add_overflow(length, prefixOf(length) + 1, &bytes))
      _vexGenerate(&vexMemoryAllocClass, vexMemSetSize, SIZE_MAX, vexEnd);
    block = static_cast<char*>(vmemAlloc(bytes));
  }
  return block + prefixOf(length);
}

void setLength(vstr* s, std::size_t length) {
  if (length >= kLongForm) {
    auto n = static_cast<std::uint32_t>(length);
    std::memcpy(s - 5, &n, 4);
    s[-1] = static_cast<char>(0xFF);
  } else {
    s[-1] = static_cast<char>(length);
  }
  s[length] = '\0';
}

}  // namespace

int _vstrPoolNumber(std::size_t length) {
  std::size_t n = (length + 1) / 8;
  return n < kPools ? static_cast<int>(n) : -1;
}

std::size_t vstrGetLength(const vstr* s) {
  auto b = static_cast<unsigned char>(s[-1]);
  if (b < kLongForm) return b;
  std::uint32_t n;
  std::memcpy(&n, s - 5, 4);
  return n;
}

vstr* vstrAllocSized(std::size_t length) {
  vstr* s = allocString(length);
  s[0] = '\0';
  setLength(s, length);
  return s;
}

void vstrDestroy(vstr* s) {
  std::size_t length = vstrGetLength(s);
  int pool = _vstrPoolNumber(length);
  char* block = s - prefixOf(length);
  if (pool >= 0)
    vpoolFree(stringPool(pool), block);
  else
    vmemFree(block);
}

namespace {

// In place when the string stays in its pool, or stays a heap string of the
// same form (reallocated). Returns null when it must move.
vstr* resizeInPlace(vstr* s, std::size_t oldLength, std::size_t length) {
  int oldPool = _vstrPoolNumber(oldLength), newPool = _vstrPoolNumber(length);
  if (oldPool >= 0 || newPool >= 0) {
    if (oldPool != newPool) return nullptr;
    setLength(s, length);
    return s;
  }
  if ((oldLength >= kLongForm) != (length >= kLongForm)) return nullptr;
  std::size_t prefix = prefixOf(length);
  char* block = static_cast<char*>(vmemRealloc(s - prefix, length + prefix + 1));
  s = block + prefix;
  setLength(s, length);
  return s;
}

}  // namespace

vstr* vstrResize(vstr* s, std::size_t length) {
  std::size_t oldLength = vstrGetLength(s);
  if (vstr* r = resizeInPlace(s, oldLength, length)) return r;
  vstr* n = allocString(length);
  std::memcpy(n, s, std::min(oldLength, length));
  setLength(n, length);
  vstrDestroy(s);
  return n;
}

vstr* vstrResizeDiscard(vstr* s, std::size_t length) {
  std::size_t oldLength = vstrGetLength(s);
  int pool = _vstrPoolNumber(length);
  if (pool >= 0 && pool == _vstrPoolNumber(oldLength)) {
    setLength(s, length);
    return s;
  }
  vstrDestroy(s);
  return vstrAllocSized(length);
}

vstr* vstrCloneScribed(vscribe* s, vstr* old) {
  if (s->flags & vscribeOWNEDSTRING) {
    if (old) vstrDestroy(old);
    return static_cast<vstr*>(vscribeTakeBuffer(s));
  }
  std::size_t length = vscribeGetLength(s);
  vstr* str = old ? vstrResizeDiscard(old, length) : vstrAllocSized(length);
  vscribeReadAll(s, str);
  return str;
}

vstr* vstrClone(const char* text) { return vstrCloneScribed(vscribeCString(text), nullptr); }

vstr* vstrAppendScribed(vstr* s, vscribe* scribe) {
  std::size_t length = std::strlen(s);
  std::size_t add = vscribeGetLength(scribe);
  s = vstrResize(s, length + add);
  vscribeReadAll(scribe, s + length);
  return s;
}

vstr* vstrConcat(const char* first, ...) {
  va_list ap;
  va_start(ap, first);
  std::size_t length = 0;
  for (const char* t = first; t; t = va_arg(ap, const char*)) length += std::strlen(t);
  vstr* old = va_arg(ap, vstr*);
  va_end(ap);
  vstr* s = old ? vstrResizeDiscard(old, length) : vstrAllocSized(length);
  char* p = s;
  va_start(ap, first);
  for (const char* t = first; t; t = va_arg(ap, const char*)) p = vcstrCopy(t, p);
  va_end(ap);
  return s;
}

vstr* vstrConcatScribed(vscribe* first, ...) {
  va_list ap;
  va_start(ap, first);
  std::size_t length = 0;
  for (vscribe* t = first; t; t = va_arg(ap, vscribe*)) length += vscribeGetLength(t);
  vstr* old = va_arg(ap, vstr*);
  va_end(ap);
  vstr* s;
  std::size_t at = 0;
  vscribe* rest = first;
  if (first && (first->flags & vscribeOWNEDSTRING)) {
    if (old) vstrDestroy(old);
    at = vscribeGetLength(first);
    s = vstrResize(static_cast<vstr*>(vscribeTakeBuffer(first)), length);
    rest = nullptr;
  } else {
    s = old ? vstrResizeDiscard(old, length) : vstrAllocSized(length);
  }
  va_start(ap, first);
  for (vscribe* t = first; t; t = va_arg(ap, vscribe*)) {
    if (t == first && !rest) continue;
    at = static_cast<std::size_t>(vscribeReadAll(t, s + at) - s);
  }
  va_end(ap);
  s[length] = '\0';
  return s;
}

// C strings.
char* vcstrCopy(const char* source, char* destination) {
  std::size_t n = std::strlen(source);
  std::memcpy(destination, source, n + 1);
  return destination + n;
}

char* vcstrCopyBounded(const char* source, char* destination, std::size_t n) {
  std::size_t len = strnlen(source, n);
  std::memcpy(destination, source, len);
  if (len < n) {
    destination[len] = '\0';
    return destination + len;
  }
  return destination + n;
}

char* vcstrCopyBytes(const char* source, std::size_t n, char* destination) {
  std::memmove(destination, source, n);
  return destination + n;
}

char* vcstrCopyBytesBounded(const char* source, std::size_t n, char* destination, std::size_t maximum) {
  return vcstrCopyBytes(source, std::min(n, maximum), destination);
}

std::size_t vcstrLengthBounded(const char* text, std::size_t n) { return strnlen(text, n); }

namespace {

// Windows-1252: lower case, then accents removed.
constexpr std::array<unsigned char, 256> foldTable = [] {
  std::array<unsigned char, 256> lower{}, accent{}, fold{};
  for (int i = 0; i < 256; ++i) lower[i] = accent[i] = static_cast<unsigned char>(i);
  for (int c = 0x41; c <= 0x5A; ++c) lower[c] = static_cast<unsigned char>(c + 0x20);
  lower[0x8A] = 0x9A, lower[0x8C] = 0x9C, lower[0x9F] = 0xFF;
  for (int c = 0xC0; c <= 0xDE; ++c)
    if (c != 0xD7) lower[c] = static_cast<unsigned char>(c + 0x20);
  auto range = [&](int from, int to, char letter) {
    for (int c = from; c <= to; ++c) accent[c] = static_cast<unsigned char>(letter);
  };
  accent[0x8A] = 'S', accent[0x9A] = 's', accent[0x9F] = 'Y', accent[0xDD] = 'Y';
  range(0xC0, 0xC5, 'A'), range(0xC7, 0xC7, 'C'), range(0xC8, 0xCB, 'E'), range(0xCC, 0xCF, 'I');
  range(0xD0, 0xD0, 'D'), range(0xD1, 0xD1, 'N'), range(0xD2, 0xD6, 'O'), range(0xD8, 0xD8, 'O');
  range(0xD9, 0xDC, 'U');
  range(0xE0, 0xE5, 'a'), range(0xE7, 0xE7, 'c'), range(0xE8, 0xEB, 'e'), range(0xEC, 0xEF, 'i');
  range(0xF0, 0xF0, 'd'), range(0xF1, 0xF1, 'n'), range(0xF2, 0xF6, 'o'), range(0xF8, 0xF8, 'o');
  range(0xF9, 0xFC, 'u'), range(0xFD, 0xFD, 'y'), range(0xFF, 0xFF, 'y');
  for (int i = 0; i < 256; ++i) fold[i] = accent[lower[i]];
  return fold;
}();

}  // namespace

int vcstrCompareNoCaseBounded(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    int x = foldTable[static_cast<unsigned char>(a[i])], y = foldTable[static_cast<unsigned char>(b[i])];
    if (x != y) return x - y;
    if (!a[i]) return 0;
  }
  return 0;
}

int vcstrCompareNoCase(const char* a, const char* b) { return vcstrCompareNoCaseBounded(a, b, SIZE_MAX); }
