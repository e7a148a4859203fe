#include <algorithm>
#include <climits>
#include <cstring>

#include "fw/core/debug.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/scribe.h"

namespace {

constexpr std::size_t kNoMax = SIZE_MAX;
constexpr std::size_t kPartsInPlace = 6;

vpool* scribePool() {
  static vpool* pool = vpoolCreate(sizeof(vscribe));
  return pool;
}

vpool* partsPool() {
  static vpool* pool = vpoolCreate(sizeof(vscribe*) * kPartsInPlace);
  return pool;
}

char* copyOut(char* buffer, const char* text, std::size_t n) {
  std::memcpy(buffer, text, n);
  return buffer + n;
}

// C strings, literals and names.
std::size_t textLength(vscribe* s, std::size_t max) { return strnlen(static_cast<const char*>(s->data), max); }
char* textRead(vscribe* s, char* buffer, std::size_t max) {
  return copyOut(buffer, static_cast<const char*>(s->data), textLength(s, max));
}
const vscribeClass textClass{textRead, textLength, nullptr, 1};

// Counted runs.
std::size_t runLength(vscribe* s, std::size_t max) { return std::min(s->data2, max); }
char* runRead(vscribe* s, char* buffer, std::size_t max) {
  return copyOut(buffer, static_cast<const char*>(s->data), runLength(s, max));
}
const vscribeClass runClass{runRead, runLength, nullptr, 1};

// Repeated character.
char* repeatRead(vscribe* s, char* buffer, std::size_t max) {
  std::size_t n = runLength(s, max);
  std::memset(buffer, static_cast<int>(reinterpret_cast<std::uintptr_t>(s->data)), n);
  return buffer + n;
}
const vscribeClass repeatClass{repeatRead, runLength, nullptr, 1};

// Owned counted strings.
std::size_t strLength(vscribe* s, std::size_t max) { return std::min(vstrGetLength(static_cast<vstr*>(s->data)), max); }
char* strRead(vscribe* s, char* buffer, std::size_t max) {
  return copyOut(buffer, static_cast<const char*>(s->data), strLength(s, max));
}
void strFinalise(vscribe* s) {
  if (s->data) vstrDestroy(static_cast<vstr*>(s->data));
}
const vscribeClass strClass{strRead, strLength, strFinalise, 1};

// Concatenations: the parts are released as they are read.
vscribe** partsOf(vscribe* s) { return static_cast<vscribe**>(s->data); }
std::size_t concatLength(vscribe* s, std::size_t max) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s->data2 && n < max; ++i) n += vscribeGetLengthBounded(partsOf(s)[i], max - n);
  return n;
}
char* concatRead(vscribe* s, char* buffer, std::size_t max) {
  char* end = buffer;
  for (std::size_t i = 0; i < s->data2; ++i)
    end = vscribeReadBounded(partsOf(s)[i], end, max - static_cast<std::size_t>(end - buffer));
  s->data2 = 0;
  return end;
}
void concatFinalise(vscribe* s) {
  for (std::size_t i = 0; i < s->data2; ++i) vscribeRelease(partsOf(s)[i]);
  if (!s->data) return;
  if (vpoolContains(partsPool(), s->data))
    vpoolFree(partsPool(), s->data);
  else
    vmemFree(s->data);
}
const vscribeClass concatClass{concatRead, concatLength, concatFinalise, 1};

vscribe* makeConcat(std::size_t count) {
  vscribe* s = vscribeCreate(&concatClass);
  s->data = count <= kPartsInPlace ? vpoolAlloc(partsPool()) : vmemAlloc(vmemArraySize(count, sizeof(vscribe*)));
  s->data2 = 0;
  return s;
}

void addPart(vscribe* concat, vscribe* part) {
  if (concat->data2 == 0) concat->charSize = part->charSize;
  partsOf(concat)[concat->data2++] = part;
}

vscribe* makeRun(const vscribeClass* cls, const void* data, std::size_t count, std::uint16_t flags) {
  vscribe* s = vscribeCreate(cls);
  s->data = const_cast<void*>(data);
  s->data2 = count;
  s->flags = flags;
  return s;
}

}  // namespace

vscribe* vscribeCreate(const vscribeClass* cls) {
  auto* s = static_cast<vscribe*>(vpoolAlloc(scribePool()));
  *s = vscribe{cls, nullptr, 0, cls->charSize, 0};
  return s;
}

void vscribeRelease(vscribe* s) {
  if (s->cls->finalise) s->cls->finalise(s);
  vpoolFree(scribePool(), s);
}

vscribe* _vscribeText(const char* text, std::uint16_t flags) { return makeRun(&textClass, text, 0, flags); }
vscribe* vscribeCString(const char* text) { return _vscribeText(text, vscribeCSTRING); }
vscribe* vscribeLiteral(const char* text) { return _vscribeText(text, vscribeLITERAL); }
vscribe* vscribeCStringSized(const char* text, std::size_t count) {
  return makeRun(&runClass, text, count, vscribeCOUNTED);
}
vscribe* vscribeLiteralSized(const char* text, std::size_t count) {
  return makeRun(&runClass, text, count, vscribeLITERALCOUNTED);
}
vscribe* vscribeRepeatChar(int c, std::size_t count) {
  return makeRun(&repeatClass, reinterpret_cast<void*>(static_cast<std::uintptr_t>(static_cast<unsigned char>(c))),
                 count, 0);
}
vscribe* vstrScribe(vstr* str) { return makeRun(&strClass, str, 0, vscribeOWNEDSTRING); }

vscribe* vscribeConcat(vscribe* first, ...) {
  std::size_t count = 0;
  va_list ap;
  va_start(ap, first);
  for (vscribe* s = first; s; s = va_arg(ap, vscribe*)) ++count;
  va_end(ap);
  vscribe* c = makeConcat(count);
  va_start(ap, first);
  for (vscribe* s = first; s; s = va_arg(ap, vscribe*)) addPart(c, s);
  va_end(ap);
  return c;
}

vscribe* vscribeAppend(vscribe* concat, vscribe* s) {
  if (!concat) return s;
  if (concat->charSize != s->charSize) vexGenerateMessage(&vexArgClass, "scribes of different character sizes");
  if (concat->cls == &concatClass && concat->data2 < kPartsInPlace && vpoolContains(partsPool(), concat->data)) {
    addPart(concat, s);
    return concat;
  }
  vscribe* c = makeConcat(2);
  addPart(c, concat);
  addPart(c, s);
  return c;
}

char* vscribeReadBounded(vscribe* s, char* buffer, std::size_t max) {
  char* end = s->cls->read(s, buffer, max);
  vscribeRelease(s);
  return end;
}

char* vscribeReadAll(vscribe* s, char* buffer) { return vscribeReadBounded(s, buffer, kNoMax); }

void* vscribeTakeBuffer(vscribe* s) {
  void* data = s->data;
  s->data = nullptr;
  s->data2 = 0;
  vscribeRelease(s);
  return data;
}

std::size_t vscribeGetLengthBounded(vscribe* s, std::size_t max) { return s->cls->length(s, max); }
std::size_t vscribeGetLength(vscribe* s) { return vscribeGetLengthBounded(s, kNoMax); }
std::size_t vscribeGetByteLength(vscribe* s) { return vscribeGetLength(s) * static_cast<std::size_t>(s->charSize); }

char* vscribeGetCString(vscribe* s, char* buffer) {
  char* end = vscribeReadAll(s, buffer);
  *end = '\0';
  return end;
}

char* vscribeGetCStringBounded(vscribe* s, char* buffer, std::size_t n) {
  char* end = vscribeReadBounded(s, buffer, n);
  if (static_cast<std::size_t>(end - buffer) < n) *end = '\0';
  return end;
}

char* vscribeAppendToCString(char* buffer, vscribe* s) { return vscribeGetCString(s, buffer + std::strlen(buffer)); }

// A current length at or above the size counts as full.
char* vscribeAppendToCStringBounded(char* buffer, std::size_t size, vscribe* s) {
  std::size_t len = strnlen(buffer, size);
  std::size_t room = len >= size ? 0 : size - len;
  return vscribeGetCStringBounded(s, buffer + len, room);
}

char* vscribeGetString(vscribe* s, char* buffer) {
  int size = s->charSize;
  char* end = vscribeReadAll(s, buffer);
  std::memset(end, 0, static_cast<std::size_t>(size));
  return end;
}

char* vscribeGetStringBounded(vscribe* s, char* buffer, std::size_t bytes) {
  auto size = static_cast<std::size_t>(s->charSize);
  std::size_t max = bytes / size;
  char* end = vscribeReadBounded(s, buffer, max * size);
  if (static_cast<std::size_t>(end - buffer) + size <= bytes) std::memset(end, 0, size);
  return end;
}

char* vscribeCreateString(vscribe* s) {
  std::size_t bytes = vscribeGetByteLength(s);
  auto* buffer = static_cast<char*>(vmemAlloc(bytes + static_cast<std::size_t>(s->charSize)));
  vscribeGetString(s, buffer);
  return buffer;
}

void vscribeFreeString(char* string) { vmemFree(string); }

namespace {

constexpr std::uint16_t kHoldsText = vscribeTEXTINPLACE | vscribeOWNEDSTRING;
constexpr std::size_t kPrintBuffer = 256;

// The text of a scribe for printing: in place when it holds its text (the
// scribe is released after the print), else read into the caller's
// 256-byte buffer or, when n bytes do not fit, a heap string freed after.
// A conversion that raises midway leaves nothing behind.
struct PrintText {
  vscribe* scribe = nullptr;
  char* heap = nullptr;
  const char* text;
  PrintText(vscribe* s, std::size_t n, char (&local)[kPrintBuffer]) {
    if (s->flags & kHoldsText) {
      scribe = s;
      text = static_cast<const char*>(s->data);
    } else if (n < kPrintBuffer) {
      vscribeGetString(s, local);
      text = local;
    } else {
      text = heap = vscribeCreateString(s);
    }
  }
  ~PrintText() {
    if (scribe) vscribeRelease(scribe);
    if (heap) vscribeFreeString(heap);
  }
  PrintText(const PrintText&) = delete;
  PrintText& operator=(const PrintText&) = delete;
};

}  // namespace

void vscribeWriteToStream(vscribe* s, std::FILE* stream) {
  if (!stream) stream = vdebugGetConsoleOutput();
  std::size_t n = vscribeGetByteLength(s);
  char local[kPrintBuffer];
  PrintText t(s, n, local);
  // "%.*s" stops at a NUL: every byte of a sized scribe is written, NULs too.
  const vdebugStdioTable* io = vdebugGetStdioTable();
  for (const char* p = t.text; n > 0;) {
    std::size_t run = std::min(strnlen(p, n), std::size_t(INT_MAX));
    if (run) io->fprintf(stream, "%.*s", static_cast<int>(run), p);
    if (run < n && p[run] == '\0') {
      io->fputc(0, stream);
      ++run;
    }
    p += run;
    n -= run;
  }
}

// Printed through the current character set's conversion to native text.
void vscribePrint(vscribe* s, std::FILE* stream) {
  if (s->charSize != 1) {
    vscribeRelease(s);
    vexGenerateMessage(&vexArgClass, "scribe characters are not bytes");
  }
  std::size_t n = vscribeGetLength(s);
  char local[kPrintBuffer];
  PrintText t(s, n, local);
  vscribeWriteToStream(vscribeToNativeSized(t.text, n), stream);
}

void vcstrPrint(const char* text, std::FILE* stream) {
  if (!stream) stream = vdebugGetConsoleOutput();
  vdebugFprintf(stream, "%s", text ? text : "<null>");
}

void vcstrPrintNative(const char* text, std::size_t length, std::FILE* stream) {
  if (!text && length) return vcstrPrint(nullptr, stream);
  vscribePrint(vscribeToNativeSized(text ? text : "", length), stream);
}

// Formatting.
namespace {

vscribeConversion conversions[256];

vscribe* nullText(int precision) {
  return precision >= 0 ? vscribeRepeatChar(' ', static_cast<std::size_t>(precision)) : vscribeCString("<null>");
}

vscribe* convertText(const char* text, int precision, bool literal) {
  if (!text) return nullText(precision);
  auto p = static_cast<std::size_t>(precision);
  if (precision >= 0 && strnlen(text, p) == p)
    return literal ? vscribeLiteralSized(text, p) : vscribeCStringSized(text, p);
  return literal ? vscribeLiteral(text) : vscribeCString(text);
}

vscribe* convertS(int, int precision, const char**, va_list* ap) {
  return convertText(va_arg(*ap, const char*), precision, false);
}
vscribe* convertL(int, int precision, const char**, va_list* ap) {
  return convertText(va_arg(*ap, const char*), precision, true);
}
vscribe* convertN(int, int precision, const char**, va_list* ap) {
  const char* name = va_arg(*ap, const char*);
  if (!name) return nullText(precision);
  // A precision past the name's end is cut to the name.
  if (precision >= 0) return vscribeCStringSized(name, strnlen(name, static_cast<std::size_t>(precision)));
  return _vscribeText(name, vscribeNAME);
}
vscribe* convertScribe(int, int, const char**, va_list* ap) { return va_arg(*ap, vscribe*); }
vscribe* convertChar(int, int, const char**, va_list* ap) { return vscribeRepeatChar(va_arg(*ap, int), 1); }

void registerBuiltIns() {
  static bool done = false;
  if (done) return;
  done = true;
  static constexpr struct {
    unsigned char letter;
    vscribeConversion handler;
  } builtIns[] = {{'s', convertS}, {'N', convertN}, {'L', convertL}, {'S', convertScribe}, {'c', convertChar}};
  for (const auto& b : builtIns) conversions[b.letter] = b.handler;
}

int readNumber(const char*& p, va_list* ap) {
  if (*p == '*') {
    ++p;
    return va_arg(*ap, int);
  }
  int n = 0;
  while (*p >= '0' && *p <= '9') n = n * 10 + (*p++ - '0');
  return n;
}

}  // namespace

void vscribeRegisterConversion(int c, vscribeConversion handler) {
  registerBuiltIns();
  conversions[static_cast<unsigned char>(c)] = handler;
}

vscribe* vscribeCreateFormattedV(const char* format, va_list args) {
  registerBuiltIns();
  va_list ap;
  va_copy(ap, args);
  vscribe* result = makeConcat(0);
  const char* literal = format;
  const char* p = format;
  auto flushLiteral = [&](const char* end) {
    if (end > literal) result = vscribeAppend(result, vscribeCStringSized(literal, static_cast<std::size_t>(end - literal)));
  };
  while (*p) {
    if (*p != '%') {
      ++p;
      continue;
    }
    flushLiteral(p);
    const char* start = p++;
    if (*p == '%') {
      literal = p++;  // the second '%' starts the next literal piece
      continue;
    }
    int flags = 0;
    bool left = false, zero = false;
    for (;; ++p) {
      if (*p == '-') left = true;
      else if (*p == '+') flags |= vscribeFLAG_PLUS;
      else if (*p == ' ') flags |= vscribeFLAG_SPACE;
      else if (*p == '#') flags |= vscribeFLAG_ALT;
      else break;
    }
    if (*p == '0') zero = true, ++p;
    int width = readNumber(p, &ap);
    if (width < 0) left = true, width = -width;
    int precision = -1;
    if (*p == '.') {
      ++p;
      precision = std::max(readNumber(p, &ap), 0);
    }
    if (*p == 'l') flags |= vscribeFLAG_LONG, ++p;
    vscribeConversion handler = conversions[static_cast<unsigned char>(*p)];
    if (!handler) {
      // The '%' is dropped; the rest of the directive stays as text.
      literal = start + 1;
      if (*p) ++p;
      continue;
    }
    ++p;
    vscribe* value = handler(flags, precision, &p, &ap);
    std::size_t length = vscribeGetLength(value);
    if (static_cast<std::size_t>(width) > length) {
      vscribe* pad = vscribeRepeatChar(zero ? '0' : ' ', static_cast<std::size_t>(width) - length);
      if (left) result = vscribeAppend(vscribeAppend(result, value), pad);
      else result = vscribeAppend(vscribeAppend(result, pad), value);
    } else {
      result = vscribeAppend(result, value);
    }
    literal = p;
  }
  flushLiteral(p);
  va_end(ap);
  return result;
}

vscribe* vscribeCreateFormatted(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  vscribe* s = vscribeCreateFormattedV(format, ap);
  va_end(ap);
  return s;
}
