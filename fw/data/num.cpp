#include "fw/data/num.h"

#include <cstring>

#include "fw/core/cp1252.h"
#include "fw/core/mem.h"
#include "fw/data/inst.h"
#include "fw/data/vresource.h"

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

// Per module context: the format class, and the digit sets and formats
// loaded from it on first use, which go with the context before its classes.
struct NumState {
  vobjectClassRec* cls;
  vnumFormat* normal;
  vnumFormat* exponent;
  vnumDigitSet digits[4];  // decimal, binary, octal, hex; no text until loaded
};
void** numSlot = nullptr;
NumState* numState();
void formatCopy(vobject* source, vobject* destination);
void formatCopyInit(vobject* source, vobject* destination);
void formatLoadInit(vobject* self, vresource resource);
void formatStore(vobject* self, vresource resource);

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

vobjectClassRec* vnumFormatGetDefaultClass() { return numState()->cls; }

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

void vnumFormatInitIterator(vnumFormatIterator* iterator, vnumFormat* format) {
  iterator->format = format;
  iterator->index = 0;
}

vnumElement* vnumFormatNextElement(vnumFormatIterator* iterator) {
  if (iterator->index >= iterator->format->count) return nullptr;
  return &iterator->format->elements[iterator->index++];
}

namespace {

void insertElement(vnumFormat* format, vnumFormatIterator* iterator, const vnumElement& e) {
  vnumFormatAppend(format, e);
  if (!iterator) return;
  std::int32_t at = iterator->index < format->count - 1 ? iterator->index : format->count - 1;
  std::memmove(format->elements + at + 1, format->elements + at,
               sizeof(vnumElement) * static_cast<std::size_t>(format->count - 1 - at));
  format->elements[at] = e;
  iterator->index = at + 1;
}

}  // namespace

void vnumFormatInsertPadding(vnumFormat* format, vnumFormatIterator* iterator, char pad, std::int32_t count) {
  if (!format) _vexGenerate(&vexArgNullClass, vexEnd);
  vnumElement e = element(vnumPadding);
  e.character = pad;
  e.count = count < 1 ? 0 : count;
  insertElement(format, iterator, e);
}

void vnumFormatAppendDigits(vnumFormat* format, vnumFormatIterator* iterator, std::int32_t grouping, char separator,
                            std::int32_t count) {
  if (!format) _vexGenerate(&vexArgNullClass, vexEnd);
  vnumElement e = element(vnumDigits);
  e.count = count < 0 ? -1 : count;
  e.grouping = static_cast<std::int16_t>(grouping < 0 ? -1 : grouping);
  e.character = separator;
  insertElement(format, iterator, e);
}

vnumElement vnumTextElement(std::int16_t kind, const char* print, const char* matchPattern) {
  vnumElement e = element(kind);
  e.text = vstrClone(print);
  e.match = matchPattern ? vregexpCompile(vscribeLiteral(matchPattern)) : nullptr;
  return e;
}

namespace {

vname key(const char* name) { return vnameInternLiteral(name); }

constexpr const char* kindNames[] = {"Text", "NegativeText", "PositiveText", "Padding",
                                     "WhiteSpace", "Exponent", "Digits", "Decimal"};

// The named child of the framework resource file's "vnum"; false when the
// file (or the entry) is absent or the resource store is not up yet, so
// the built-ins stand in and numbers format inside any printer.
bool moduleChild(const char* name, vresource* out) {
  bool found = false;
  vexTry([&] {
    vresource module;
    found = vresourceTestGet(vinstGetSystemResource(), key("vnum"), &module) && vresourceTestGet(module, key(name), out);
  });
  return found;
}

vnumDigitSet loadDigitSet(const char* name, const char* builtIn) {
  vresource r;
  if (!moduleChild(name, &r)) return makeDigitSet(builtIn);
  return vnumDigitSetLoad(r);
}

vnumElement readElement(vresource c) {
  vname type = vresourceGetTag(c, key("Type"));
  std::int16_t kind = -1;
  for (std::int16_t k = 0; k < 8; ++k)
    if (type == key(kindNames[k])) kind = k;
  if (kind < 0) _vexGenerate(&vexArgRangeClass, vexEnd);
  vnumElement e = element(kind);
  switch (kind) {
    case vnumText:
    case vnumNegativeText:
    case vnumPositiveText: {
      e.text = vstrClone(vresourceGetStringText(c, key("Print")).c_str());
      vresource m;
      if (vresourceTestGet(c, key("Match"), &m)) {
        vexGuard([&] { e.match = vregexpLoad(m); },
                 [&](vexHandler&) {
                   vstrDestroy(e.text);
                   _vexGenerate(nullptr, vexEnd);
                 });
      }
      break;
    }
    case vnumPadding:
      e.character = vresourceGetCharacter(c, key("Character"));
      e.count = vresourceGetInteger(c, key("Count"));
      break;
    case vnumWhiteSpace:
      e.required = static_cast<std::uint8_t>(vresourceGetBoolean(c, key("Required")) != 0);
      e.shown = static_cast<std::uint8_t>(vresourceGetBoolean(c, key("Shown")) != 0);
      break;
    case vnumDigits:
      e.count = vresourceGetInteger(c, key("Count"));
      e.grouping = static_cast<std::int16_t>(vresourceGetInteger(c, key("Grouping")));
      e.character = vresourceGetCharacter(c, key("Character"));
      break;
    case vnumDecimal:
      e.character = vresourceGetCharacter(c, key("Character"));
      break;
    default:
      break;
  }
  return e;
}

void readFormat(vnumFormat* f, vresource r) {
  std::int32_t version;
  if (vresourceRoute<vresourceSlotTestGetInteger, int>(r, key("Version"), &version)) {
    if (version != 2) vexGenerateMessage(&vexModuleUnimplementedClass, "Unknown format version");
    int optimize = 0;
    if (vresourceTestGetBoolean(r, key("OptimizeParse"), &optimize) && optimize) f->flags |= vnumFORMAT_FAST_PARSE;
  }
  vresource components = vresourceGet(r, key("Components"));
  std::int32_t n = vresourceCount(components);
  for (std::int32_t i = 0; i < n; ++i) vnumFormatAppend(f, readElement(vresourceGetAt(components, i)));
}

void formatLoadInit(vobject* self, vresource resource) {
  formatInit(self);
  vobjectGetDefaultClass()->loadInit(self, resource);
  vresource found;
  if (vresourceTestGet(resource, key("Components"), &found)) readFormat(static_cast<vnumFormat*>(self), resource);
}

void formatStore(vobject* self, vresource resource) {
  vobjectGetDefaultClass()->store(self, resource);
  vnumFormatStore(static_cast<vnumFormat*>(self), resource);
}

void formatCopy(vobject* source, vobject* destination) {
  vobjectGetDefaultClass()->copy(source, destination);
  auto* from = static_cast<vnumFormat*>(source);
  auto* to = static_cast<vnumFormat*>(destination);
  if (from == to) return;
  for (std::int32_t i = 0; i < to->count; ++i) elementFree(to->elements[i]);
  to->count = 0;
  to->flags = from->flags;
  for (std::int32_t i = 0; i < from->count; ++i) {
    vnumElement e = from->elements[i];
    if (e.text) e.text = vstrClone(e.text);
    if (e.match) {
      auto* copy = static_cast<vregexp*>(vinstanceCreate(vregexpGetDefaultClass()));
      vregexpCopy(e.match, copy);
      e.match = copy;
    }
    vnumFormatAppend(to, e);
  }
}

void formatCopyInit(vobject* source, vobject* destination) {
  formatInit(destination);
  formatCopy(source, destination);
}

vnumFormat* loadFormat(const char* name, vnumFormat* (*builtIn)()) {
  vresource r;
  return moduleChild(name, &r) ? vnumFormatLoad(r) : builtIn();
}

vnumFormat* builtInNormal() {
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
}

vnumFormat* builtInExponent() {
  vnumFormat* x = vnumFormatCreate();
  vnumFormatAppend(x, vnumTextElement(vnumText, "e", "[eE]"));
  vnumFormatAppend(x, vnumTextElement(vnumNegativeText, "-", nullptr));
  vnumFormatAppend(x, vnumTextElement(vnumPositiveText, "+", nullptr));
  vnumFormatAppend(x, digitsElement(-1));
  return x;
}

}  // namespace

// Whatever stops a load ends as one error, raised over the cause.
vnumDigitSet vnumDigitSetLoad(vresource r) {
  vnumDigitSet s{};
  vexGuard(
      [&] {
        std::int32_t version;
        if (vresourceRoute<vresourceSlotTestGetInteger, int>(r, key("Version"), &version) && version != 2)
          vexGenerateMessage(&vexModuleUnimplementedClass, "Unknown digit set version");
        std::string digits = vresourceGetStringText(r, key("Digits"));
        vnumDigitSetSetDigits(&s, vscribeCStringSized(digits.data(), digits.size()));
      },
      [](vexHandler&) { vexGenerateMessage(&vexModuleStateClass, "Error loading digitset"); });
  return s;
}

void vnumDigitSetSetDigits(vnumDigitSet* set, vscribe* digits) {
  if (!set || !digits) {
    if (digits) vscribeRelease(digits);
    _vexGenerate(&vexArgNullClass, vexEnd);
  }
  vstr* chars = vstrCloneScribed(digits, nullptr);
  std::size_t n = vstrGetLength(chars);
  if (n < 2 || n > 255 || std::strlen(chars) != n) {
    vstrDestroy(chars);
    _vexGenerate(&vexArgRangeClass, vexEnd);
  }
  if (set->digits) vstrDestroy(set->digits);
  *set = makeDigitSet(chars);
  vstrDestroy(chars);
}

vnumFormat* vnumFormatLoad(vresource r) {
  vname cls;
  if (vresourceRoute<vresourceSlotTestGetTag, int>(r, key("Class"), &cls)) return static_cast<vnumFormat*>(_vobjectLoadOfClass(r, vnumFormatGetDefaultClass()));
  vnumFormat* f = vnumFormatCreate();
  vexGuard([&] { readFormat(f, r); },
           [&](vexHandler&) {
             vinstanceDestroy(f);
             _vexGenerate(nullptr, vexEnd);
           });
  return f;
}

void vnumFormatStore(vnumFormat* f, vresource r) {
  vresourceSetInteger(r, key("Version"), 2);
  vresourceSetBoolean(r, key("OptimizeParse"), (f->flags & vnumFORMAT_FAST_PARSE) ? 1 : 0);
  vresource components = vresourceMakeArray(r, key("Components"), vresDICTIONARY, f->count);
  for (std::int32_t i = 0; i < f->count; ++i) {
    const vnumElement& e = f->elements[i];
    vresource c = vresourceCreateAt(components, i, vresDICTIONARY);
    vresourceSetTag(c, key("Type"), key(kindNames[e.kind]));
    switch (e.kind) {
      case vnumText:
      case vnumNegativeText:
      case vnumPositiveText:
        vresourceSetString(c, key("Print"), vscribeLiteral(e.text ? e.text : ""));
        if (e.match) vregexpStore(e.match, vresourceCreate(c, key("Match"), vresDICTIONARY));
        break;
      case vnumPadding:
        vresourceSetCharacter(c, key("Character"), e.character);
        vresourceSetInteger(c, key("Count"), e.count);
        break;
      case vnumWhiteSpace:
        vresourceSetBoolean(c, key("Required"), e.required);
        vresourceSetBoolean(c, key("Shown"), e.shown);
        break;
      case vnumDigits:
        vresourceSetInteger(c, key("Count"), e.count);
        vresourceSetInteger(c, key("Grouping"), e.grouping);
        vresourceSetCharacter(c, key("Character"), e.character);
        break;
      case vnumDecimal:
        vresourceSetCharacter(c, key("Character"), e.character);
        break;
      default:
        break;
    }
  }
}

namespace {

void numExit() {
  auto* st = static_cast<NumState*>(*numSlot);
  for (vnumFormat* f : {st->normal, st->exponent})
    if (f) vinstanceDestroy(f);
  for (vnumDigitSet& d : st->digits)
    if (d.digits) vstrDestroy(d.digits);
  *st = NumState{};
}

NumState* numState() {
  if (auto* bound = vmoduleState<NumState>(numSlot)) return bound;
  auto* cls = vclassSpawnOf<vobjectClassRec>(vobjectGetDefaultClass());
  vclassSetName(cls, vscribeLiteral("vnumFormat"));
  vclassSetInstanceSize(cls, sizeof(vnumFormat));
  cls->init = formatInit;
  cls->destroy = formatDestroy;
  cls->copy = formatCopy;
  cls->copyInit = formatCopyInit;
  cls->loadInit = formatLoadInit;
  cls->store = formatStore;
  auto* st = static_cast<NumState*>(vmoduleBindSlot(numSlot, sizeof(NumState)));
  *st = NumState{};
  st->cls = cls;
  vmoduleAddContextExitProc(numExit);
  return st;
}

const vnumDigitSet* digitSet(int which, const char* name, const char* builtIn) {
  vnumDigitSet& d = numState()->digits[which];
  if (!d.digits) d = loadDigitSet(name, builtIn);
  return &d;
}

vnumFormat* format(vnumFormat* NumState::*which, const char* name, vnumFormat* (*builtIn)()) {
  vnumFormat*& f = numState()->*which;
  if (!f) f = loadFormat(name, builtIn);
  return f;
}

}  // namespace

// Loaded from the framework resource file on first use in a module context,
// the built-ins when it has none.
const vnumDigitSet* vnumGetDecimalDigits() { return digitSet(0, "DecimalDigits", "0123456789"); }
const vnumDigitSet* vnumGetBinaryDigits() { return digitSet(1, "BinaryDigits", "01"); }
const vnumDigitSet* vnumGetOctalDigits() { return digitSet(2, "OctalDigits", "01234567"); }
const vnumDigitSet* vnumGetHexDigits() { return digitSet(3, "HexDigits", "0123456789abcdef"); }
vnumFormat* vnumGetNormalFormat() { return format(&NumState::normal, "NormalFormat", builtInNormal); }
vnumFormat* vnumGetExponentFormat() { return format(&NumState::exponent, "ExponentFormat", builtInExponent); }
