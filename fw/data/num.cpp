#include "fw/data/num.h"

#include <cstring>

#include "fw/core/cp1252.h"
#include "fw/core/mem.h"

namespace {

void printPosition(vexException* e, std::FILE* stream) {
  std::fprintf(stream, "\tposition:%p\n", static_cast<const void*>(static_cast<vnumSyntaxException*>(e)->position));
}

void elementFree(vnumElement& e) {
  if (e.text) vstrDestroy(e.text);
  if (e.match) vregexpDestroy(e.match);
  e.text = nullptr, e.match = nullptr;
}

void formatInit(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  auto* f = static_cast<vnumFormat*>(self);
  f->elements = nullptr;
  f->count = f->capacity = 0;
  f->flags = 0;
}

void formatDestroy(vinstance* self) {
  auto* f = static_cast<vnumFormat*>(self);
  for (std::int32_t i = 0; i < f->count; ++i) elementFree(f->elements[i]);
  vmemFree(f->elements);
  vobjectGetDefaultClass()->destroy(self);
}

void** numSlot = nullptr;

vnumDigitSet makeDigitSet(const char* chars) {
  vnumDigitSet s{static_cast<std::int32_t>(std::strlen(chars)), vstrClone(chars), 1};
  for (std::int32_t i = 1; i < s.base; ++i)
    if (static_cast<unsigned char>(chars[i]) != static_cast<unsigned char>(chars[i - 1]) + 1) s.contiguous = 0;
  return s;
}

vnumElement element(std::int16_t kind) {
  vnumElement e{};
  e.kind = kind;
  return e;
}

vnumElement digitsElement(std::int32_t count) {
  vnumElement e = element(vnumDigits);
  e.count = count;
  e.character = ',';
  return e;
}

}  // namespace

void vnumSetPosition(vexException* e, va_list* ap) {
  static_cast<vnumSyntaxException*>(e)->position = va_arg(*ap, const char*);
}

const vexClass vexNumClass{&vexRootClass, "Num", 36, nullptr, sizeof(vexException)};
const vexClass vexNumRangeClass{&vexNumClass, "Range", 36, nullptr, sizeof(vexException)};
const vexClass vexNumSyntaxClass{&vexNumClass, "Syntax", 40, printPosition, sizeof(vnumSyntaxException)};

vobjectClassRec* vnumFormatGetDefaultClass() {
  if (!numSlot) numSlot = vmoduleAllocSlot();
  if (*numSlot) return *static_cast<vobjectClassRec**>(*numSlot);
  auto* cls = vclassSpawnOf<vobjectClassRec>(vobjectGetDefaultClass());
  vclassSetName(cls, vscribeLiteral("vnumFormat"));
  vclassSetInstanceSize(cls, sizeof(vnumFormat));
  cls->init = formatInit;
  cls->destroy = formatDestroy;
  *static_cast<vobjectClassRec**>(vmoduleBindSlot(numSlot, sizeof(vobjectClassRec*))) = cls;
  return cls;
}

vnumFormat* vnumFormatCreate() { return static_cast<vnumFormat*>(vinstanceCreate(vnumFormatGetDefaultClass())); }

void vnumFormatAppend(vnumFormat* format, const vnumElement& e) {
  if (!format) _vexGenerate(&vexArgNullClass, vexEnd);
  if (format->count == format->capacity) {
    std::int32_t cap = format->capacity ? format->capacity * 2 : 10;
    format->elements =
        static_cast<vnumElement*>(vmemRealloc(format->elements, sizeof(vnumElement) * static_cast<std::size_t>(cap)));
    format->capacity = cap;
  }
  format->elements[format->count++] = e;
}

vnumElement vnumTextElement(std::int16_t kind, const char* print, const char* matchPattern) {
  vnumElement e = element(kind);
  e.text = vstrClone(print);
  e.match = matchPattern ? vregexpCompile(vscribeLiteral(matchPattern)) : nullptr;
  return e;
}

// The built-in descriptions stand in for the framework resource file's.
const vnumDigitSet* vnumGetDecimalDigits() {
  static const vnumDigitSet s = makeDigitSet("0123456789");
  return &s;
}
const vnumDigitSet* vnumGetBinaryDigits() {
  static const vnumDigitSet s = makeDigitSet("01");
  return &s;
}
const vnumDigitSet* vnumGetOctalDigits() {
  static const vnumDigitSet s = makeDigitSet("01234567");
  return &s;
}
const vnumDigitSet* vnumGetHexDigits() {
  static const vnumDigitSet s = makeDigitSet("0123456789abcdef");
  return &s;
}

vnumFormat* vnumGetNormalFormat() {
  static vnumFormat* f = [] {
    vnumFormat* n = vnumFormatCreate();
    vnumFormatAppend(n, vnumTextElement(vnumNegativeText, "-", nullptr));
    vnumFormatAppend(n, digitsElement(-1));
    vnumElement dot = element(vnumDecimal);
    dot.character = '.';
    vnumFormatAppend(n, dot);
    vnumFormatAppend(n, digitsElement(-1));
    vnumFormatAppend(n, element(vnumExponent));
    n->flags = vnumFORMAT_FAST_PARSE;
    return n;
  }();
  return f;
}

vnumFormat* vnumGetExponentFormat() {
  static vnumFormat* f = [] {
    vnumFormat* x = vnumFormatCreate();
    vnumFormatAppend(x, vnumTextElement(vnumText, "e", "[eE]"));
    vnumFormatAppend(x, vnumTextElement(vnumNegativeText, "-", nullptr));
    vnumFormatAppend(x, vnumTextElement(vnumPositiveText, "+", nullptr));
    vnumFormatAppend(x, digitsElement(-1));
    return x;
  }();
  return f;
}
