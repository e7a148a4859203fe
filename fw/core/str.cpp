// Counted strings and C-string helpers.
#include <array>
#include <algorithm>
#include <cstring>

#include "fw/core/cp1252.h"
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

int vcstrCompareNoCaseBounded(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    int x = cp1252::fold[static_cast<unsigned char>(a[i])], y = cp1252::fold[static_cast<unsigned char>(b[i])];
    if (x != y) return x - y;
    if (!a[i]) return 0;
  }
  return 0;
}

int vcstrCompareNoCase(const char* a, const char* b) { return vcstrCompareNoCaseBounded(a, b, SIZE_MAX); }
