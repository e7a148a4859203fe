// The bytes of the encoding: numbers, encoded strings, characters by
// character set, datatag references and definitions, and the datatag of a
// value known by its class.
#include <cstring>
#include <vector>

#include "fw/core/charset.h"
#include "fw/services/repdef_internal.h"

namespace {

vinstance* topOf(const vscrap* w) { return w->stack[w->depth]; }

// Definitions: the kind byte of each kind that has one.
struct DefinitionRow {
  int kind;
  std::uint8_t byte;
};
constexpr DefinitionRow definitionRows[] = {
    {vdatatagPOINTER, 0x62}, {vdatatagARRAY, 0x50}, {vdatatagSIZED_ARRAY, 0x54},
    {vdatatagSIZED_OPAQUE, 0x5C}, {vdatatagCOMPOUND, 0x61},
};
constexpr std::uint8_t dictionaryDefinition = 0x60, unionDefinition = 0x63;

void writeDefinition(_vrepdefScrap* s, vdatatag* d, int depth) {
  int kind = vdatatagGetKind(d);
  const DefinitionRow* row = nullptr;
  for (const DefinitionRow& r : definitionRows)
    if (r.kind == kind) row = &r;
  if (!row) _vrepdefFail(s, &vexModuleUnimplementedClass, "Cannot write datatag defintion yet");
  _vrepdefPutByte(s, row->byte);
  const char* className = d->scrapClass && d->scrapClass->name ? d->scrapClass->name : "";
  _vrepdefPutText(s, className, static_cast<std::uint32_t>(std::strlen(className)));
  auto* elementOf = static_cast<vdatatagElementOf*>(d);
  switch (kind) {
    case vdatatagSIZED_ARRAY: _vrepdefPutWord(s, 0x12, static_cast<std::uint32_t>(elementOf->count)); break;
    case vdatatagSIZED_OPAQUE: _vrepdefPutWord(s, 0x12, static_cast<std::uint32_t>(static_cast<vdatatagSizedOpaque*>(d)->count)); break;
    case vdatatagCOMPOUND:
      _vrepdefPutWord(s, 0x12, static_cast<std::uint32_t>(_vdatatagListCount(vdatatagGetCompoundMembers(d))));
      break;
    default: break;
  }
  if (kind == vdatatagCOMPOUND) {
    vdatatagList* members = vdatatagGetCompoundMembers(d);
    for (void** p = members->begin; p != members->end; ++p) _vrepdefWriteReference(s, static_cast<vdatatag*>(*p), depth + 1);
  } else if (kind != vdatatagSIZED_OPAQUE) {
    if (!elementOf->element) _vrepdefFail(s, &vexDatatagIncompleteClass, "Datatag has no element datatag");
    _vrepdefWriteReference(s, elementOf->element, depth + 1);
  }
}

// A name read from the peer, found among the interned names only.
vname takeName(_vrepdefScrap* s) {
  vscribe* text = _vrepdefTakeText(s, _vrepdefTakeByte(s));
  return text ? vnameFind(text) : nullptr;
}

[[noreturn]] void unknownDatatag(_vrepdefScrap* s, vname name) {
  _vrepdefRoot* r = s->root;
  if (!r->errorClass) {
    r->errorClass = &vexDatatagUnknownClass;
    r->message = "Unknown Datatag";
    r->name = name;
  }
  _vrepdefRaiseRecorded(r);
}

vdatatag* findNamed(_vrepdefScrap* s, vdatatagGroup* group, bool expectMarker) {
  if (expectMarker && _vrepdefTakeByte(s) != tagTRUE) _vrepdefMismatch(s, "Expected a datatag name");
  std::uint8_t tag = _vrepdefTakeByte(s);
  vscribe* text = _vrepdefTakeText(s, tag);
  vname name = text ? vnameFind(text) : nullptr;
  vdatatag* d = name ? vdatatagGroupFindDatatag(group, name) : nullptr;
  if (!d) unknownDatatag(s, name);
  return d;
}

std::int32_t takeCount(_vrepdefScrap* s) {
  std::uint32_t n = _vrepdefTakeWord(s);
  if (n > static_cast<std::uint32_t>(INT32_MAX)) _vrepdefFail(s, &vexArgRangeClass, "Datatag count out of range");
  return static_cast<std::int32_t>(n);
}

vdatatag* readDefinition(_vrepdefScrap* s, int depth) {
  std::uint8_t byte = _vrepdefTakeByte(s);
  if (byte == dictionaryDefinition || byte == unionDefinition || byte == tagGENERIC_DICTIONARY)
    _vrepdefFail(s, &vexModuleUnimplementedClass, "Cannot read datatag defintion yet");
  int kind = -1;
  for (const DefinitionRow& r : definitionRows)
    if (r.byte == byte) kind = r.kind;
  if (kind < 0) _vrepdefMismatch(s, "Unknown datatag definition");
  vscribe* classText = _vrepdefTakeText(s, _vrepdefTakeByte(s));
  vclass* scrapClass = nullptr;
  if (classText && vscribeGetLength(classText) > 0) {
    vname className = vnameFind(classText);
    scrapClass = className ? vclassFindByName(vnameScribe(className)) : nullptr;
    // Only datatag scrap classes: the name comes from the peer.
    if (!scrapClass || !vclassIsSubclass(scrapClass, vdatatagGetScrapClass())) {
      _vrepdefRoot* r = s->root;
      if (!r->errorClass) {
        r->errorClass = &vexArgNotUnderstoodClass;
        r->message = "Datatag scrap class not understood";
        r->name = className;
      }
      _vrepdefRaiseRecorded(r);
    }
  } else if (classText) {
    vscribeRelease(classText);
  }
  std::int32_t count = 0;
  if (kind == vdatatagSIZED_ARRAY || kind == vdatatagSIZED_OPAQUE || kind == vdatatagCOMPOUND) count = takeCount(s);
  std::vector<vdatatag*> refs;
  if (kind == vdatatagCOMPOUND) {
    // Every member reference takes at least three bytes.
    if (static_cast<std::uint64_t>(count) * 3 > _vrepdefLeft(s)) _vrepdefFail(s, &vexArgRangeClass, "Member count beyond the data");
    refs.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) refs.push_back(_vrepdefReadReference(s, depth + 1));
  } else if (kind != vdatatagSIZED_OPAQUE) {
    refs.push_back(_vrepdefReadReference(s, depth + 1));
  }
  vdatatag* d = _vrepdefInternDefinition(kind, scrapClass, count, refs.data(), static_cast<std::int32_t>(refs.size()));
  return d;
}

}  // namespace

unsigned char* _vrepdefAppend(_vrepdefScrap* s, std::uint32_t n) {
  return reinterpret_cast<unsigned char*>(vsessionBlockAppendSpace(s->block, n));
}
void _vrepdefPutByte(_vrepdefScrap* s, std::uint8_t byte) { *_vrepdefAppend(s, 1) = byte; }
void _vrepdefPutNumber(unsigned char* at, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i, value >>= 8) at[i] = static_cast<unsigned char>(value & 0xFF);
}
void _vrepdefPutWord(_vrepdefScrap* s, std::uint8_t tag, std::uint32_t value) {
  unsigned char* at = _vrepdefAppend(s, 5);
  at[0] = tag;
  _vrepdefPutNumber(at + 1, value, 4);
}
int _vrepdefWidthCode(std::uint32_t n) { return n <= 0xFF ? 0 : n <= 0xFFFF ? 1 : 2; }

void _vrepdefPutText(_vrepdefScrap* s, const char* text, std::uint32_t length) {
  int code = _vrepdefWidthCode(length);
  int lengthBytes = 1 << code;
  unsigned char* at = _vrepdefAppend(s, 2 + static_cast<std::uint32_t>(lengthBytes) + length);
  at[0] = static_cast<unsigned char>(tagSTRING | tagBIT2 | code);
  at[1] = 3;
  _vrepdefPutNumber(at + 2, length, lengthBytes);
  if (length) std::memcpy(at + 2 + lengthBytes, text, length);
}

void _vrepdefPutScribe(_vrepdefScrap* s, vscribe* text) {
  if (!text) {
    unsigned char* at = _vrepdefAppend(s, 3);
    at[0] = tagSTRING | tagBIT2;
    at[1] = 0;
    at[2] = 0;
    return;
  }
  if (text->flags & (vscribeCSTRING | vscribeLITERAL | vscribeNAME)) {
    const char* p = static_cast<const char*>(text->data);
    std::size_t n = std::strlen(p);
    if (n > UINT32_MAX / 2) {
      vscribeRelease(text);
      _vrepdefFail(s, &vexArgRangeClass, "String too long");
    }
    _vrepdefPutText(s, p, static_cast<std::uint32_t>(n));
    vscribeRelease(text);
    return;
  }
  std::size_t n = vscribeGetLength(text);
  if (n > UINT32_MAX / 2) {
    vscribeRelease(text);
    _vrepdefFail(s, &vexArgRangeClass, "String too long");
  }
  auto length = static_cast<std::uint32_t>(n);
  int lengthBytes = 1 << _vrepdefWidthCode(length);
  unsigned char* at = _vrepdefAppend(s, 2 + static_cast<std::uint32_t>(lengthBytes) + length);
  at[0] = static_cast<unsigned char>(tagSTRING | tagBIT2 | _vrepdefWidthCode(length));
  at[1] = 3;
  _vrepdefPutNumber(at + 2, length, lengthBytes);
  vscribeReadBounded(text, reinterpret_cast<char*>(at + 2 + lengthBytes), length);
}

void _vrepdefWriteReference(_vrepdefScrap* s, vdatatag* d, int depth) {
  if (depth > vdatatagMAX_DEPTH) _vrepdefFail(s, &vexArgRangeClass, "Datatag nested too deeply");
  if (!d) _vrepdefFail(s, &vexDatatagIncompleteClass, "No datatag to refer to");
  auto putName = [&](vname name) { _vrepdefPutText(s, name, static_cast<std::uint32_t>(std::strlen(name))); };
  if (d->group && d->group == vdatatagGetPredefinedGroup()) {
    unsigned char* at = _vrepdefAppend(s, 3);
    at[0] = tagFALSE, at[1] = tagTRUE, at[2] = tagTRUE;
    putName(d->name);
  } else if (d->group && d->group->name && d->name) {
    _vrepdefPutByte(s, tagTRUE);
    putName(d->group->name);
    _vrepdefPutByte(s, tagTRUE);
    putName(d->name);
  } else {
    unsigned char* at = _vrepdefAppend(s, 2);
    at[0] = tagFALSE, at[1] = tagFALSE;
    writeDefinition(s, d, depth);
  }
}

vdatatag* _vrepdefTypeOfValue(_vrepdefScrap* s, vinstance* value) {
  struct Rule {
    vclass* kind;
    vdatatag* datatag;
  };
  const Rule rules[] = {
      {vscrapGetBooleanClass(), vdatatagGetPredefined(vdatatagBOOLEAN)},
      {vscrapGetCharacterClass(), vdatatagGetPredefined(vdatatagCHARACTER)},
      {vscrapGetIntegerClass(), vdatatagGetPredefined(vdatatagINTEGER)},
      {vabstractGetLonglongClass(), vdatatagGetPredefined(vdatatagLONGLONG)},
      {vscrapGetFixedClass(), vdatatagGetPredefined(vdatatagFIXED)},
      {vscrapGetFloatClass(), vdatatagGetPredefined(vdatatagDOUBLE_FLOAT)},
      {vscrapGetStringClass(), vdatatagGetPredefined(vdatatagSTRING)},
      {vscrapGetTagClass(), vdatatagGetPredefined(vdatatagTAG)},
      {vabstractGetDatatagClass(), vdatatagGetPredefined(vdatatagDATATAG)},
      {vabstractGetScrapClass(), vdatatagGetPredefined(vdatatagSCRAP)},
      {vscrapGetDictionaryClass(), _vrepdefGetEncodedDictionary()},
      {vscrapGetArrayClass(), _vrepdefGetEncodedArray()},
      {vscrapGetCompoundClass(), _vrepdefGetEncodedCompound()},
      {vscrapGetBlockClass(), vdatatagGetPredefined(vdatatagOPAQUE)},
  };
  vscrap w = vscrapWalk(value);
  vclass* convertible = vscrapGetConvertibleClass();
  do {
    vinstance* top = topOf(&w);
    if (!vclassIsSubclass(top->cls, convertible)) continue;
    vclass* kind = static_cast<vscrapConvertibleClassRec*>(top->cls)->kindClass;
    if (!kind) continue;
    for (const Rule& r : rules)
      if (vclassIsSubclass(kind, r.kind)) return r.datatag;
  } while (vdelegatorNextIterator(&w, 0));
  _vrepdefFail(s, &vexArgClass, "Unsupported scrap class");
}

vdatatag* _vrepdefTypeOfScrap(_vrepdefScrap* s, vinstance* value) {
  vscrap w = vscrapWalk(value);
  vclass* datatagScrap = vdatatagGetScrapClass();
  do {
    vinstance* top = topOf(&w);
    if (!vclassIsSubclass(top->cls, datatagScrap)) continue;
    vdatatag* d = static_cast<vdatatagScrap*>(top)->datatag;
    if (!d) break;
    int kind = vdatatagGetKind(d);
    bool named = d->group && d->group->name && d->name;
    bool definable = false;
    for (const DefinitionRow& r : definitionRows) definable = definable || r.kind == kind;
    if (kind != vdatatagLIST && (named || definable)) return d;
    break;
  } while (vdelegatorNextIterator(&w, 0));
  return _vrepdefTypeOfValue(s, value);
}

const unsigned char* _vrepdefTake(_vrepdefScrap* s, std::uint32_t n) {
  if (_vrepdefLeft(s) < n) _vrepdefMismatch(s, "Not enough bytes for the value");
  const unsigned char* at = reinterpret_cast<const unsigned char*>(s->block->data + s->block->head);
  s->block->head += n;
  return at;
}
std::uint8_t _vrepdefTakeByte(_vrepdefScrap* s) { return *_vrepdefTake(s, 1); }
std::uint64_t _vrepdefTakeNumber(_vrepdefScrap* s, int bytes, bool bigEndian) {
  const unsigned char* at = _vrepdefTake(s, static_cast<std::uint32_t>(bytes));
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | at[bigEndian ? i : bytes - 1 - i];
  return v;
}
std::uint32_t _vrepdefTakeWord(_vrepdefScrap* s) {
  std::uint8_t tag = _vrepdefTakeByte(s);
  if ((tag & ~tagBIG_ENDIAN) != 0x12) _vrepdefMismatch(s, "Expected a 32-bit integer");
  return static_cast<std::uint32_t>(_vrepdefTakeNumber(s, 4, tag & tagBIG_ENDIAN));
}

vscribe* _vrepdefTakeText(_vrepdefScrap* s, std::uint8_t tag) {
  if ((tag & tagGROUP) != tagSTRING) _vrepdefMismatch(s, "Expected an encoded string");
  int set = (tag & tagBIT2) ? _vrepdefTakeByte(s) : 3;
  int code = tag & tagWIDTH;
  std::uint32_t n = code == 3 ? 0 : static_cast<std::uint32_t>(_vrepdefTakeNumber(s, 1 << code, tag & tagBIG_ENDIAN));
  const char* text = reinterpret_cast<const char*>(_vrepdefTake(s, n));
  switch (set) {
    case 0: return nullptr;
    case 1:
    case 3: return vscribeCStringSized(text, n);
    case 2: return vcharsetCreateLatin1Scribe(text, n);
    case 4: return vcharsetCreateMacRomanScribe(text, n);
    default: _vrepdefFail(s, &vexModuleUnimplementedClass, "Unsupported character set");
  }
}

int _vrepdefConvertChar(_vrepdefScrap* s, int set, std::uint32_t code) {
  switch (set) {
    case 1:
    case 3: return static_cast<int>(code & 0xFF);
    case 2: return vcharsetMapChar(vcharsetLATIN1, static_cast<int>(code & 0xFF));
    case 4: return vcharsetMapChar(vcharsetMAC_ROMAN, static_cast<int>(code & 0xFF));
    case 5: return vcharsetNarrowChar(code & 0xFFFF);
    default: _vrepdefFail(s, &vexModuleUnimplementedClass, "Unsupported character set");
  }
}

vdatatag* _vrepdefReadReference(_vrepdefScrap* s, int depth) {
  if (depth > vdatatagMAX_DEPTH) _vrepdefFail(s, &vexArgRangeClass, "Datatag nested too deeply");
  std::uint8_t first = _vrepdefTakeByte(s);
  if (first == tagTRUE) {
    vname groupName = takeName(s);
    vdatatagGroup* group = groupName ? vdatatagGroupFind(groupName) : nullptr;
    if (!group) _vrepdefFail(s, &vexArgClass, "Unknown datatag gruop");
    return findNamed(s, group, true);
  }
  if (first != tagFALSE) _vrepdefMismatch(s, "Expected a datatag reference");
  std::uint8_t second = _vrepdefTakeByte(s);
  if (second == tagTRUE) return findNamed(s, vdatatagGetPredefinedGroup(), true);
  if (second != tagFALSE) _vrepdefMismatch(s, "Expected a datatag reference");
  return readDefinition(s, depth);
}

std::uint8_t _vrepdefElementTag(int kind) {
  static constexpr std::uint8_t tags[vdatatagKIND_COUNT] = {
      0x18, 0x15, 0x14, 0x10, 0x15, 0x11, 0x16, 0x12, 0x17, 0x13, 0x21, 0x34, 0x35,  // Boolean .. DoubleFloat
      0x45, 0x45, 0, 0x61, 0, 0x56, 0x62, 0, 0, 0, 0x60, 0x61, 0,                     // String .. Union
  };
  return kind >= 0 && kind < vdatatagKIND_COUNT ? tags[kind] : 0;
}

std::int64_t _vrepdefGetHostInteger(int kind, const unsigned char* at) {
  switch (kind) {
    case vdatatagBYTE: return static_cast<std::int8_t>(at[0]);
    case vdatatagUNSIGNED_BYTE: return at[0];
    case vdatatagSHORT: { std::int16_t v; std::memcpy(&v, at, 2); return v; }
    case vdatatagUNSIGNED_SHORT: { std::uint16_t v; std::memcpy(&v, at, 2); return v; }
    case vdatatagUNSIGNED_INTEGER: { std::uint32_t v; std::memcpy(&v, at, 4); return v; }
    default: { std::int32_t v; std::memcpy(&v, at, 4); return v; }
  }
}
void _vrepdefSetHostInteger(int kind, unsigned char* at, std::int64_t value) {
  switch (kind) {
    case vdatatagBYTE:
    case vdatatagUNSIGNED_BYTE: at[0] = static_cast<unsigned char>(value); break;
    case vdatatagSHORT:
    case vdatatagUNSIGNED_SHORT: { auto v = static_cast<std::uint16_t>(value); std::memcpy(at, &v, 2); break; }
    default: { auto v = static_cast<std::uint32_t>(value); std::memcpy(at, &v, 4); break; }
  }
}

bool _vrepdefHostIntegers(vinstance* object, int kind, unsigned char** data, std::int32_t* count) {
  *data = nullptr;
  *count = 0;
  if (!vclassIsSubclass(object->cls, vdatatagGetScrapClass())) return false;
  auto* ds = static_cast<vdatatagScrap*>(object);
  vdatatag* d = ds->datatag;
  int arrayKind = d ? vdatatagGetKind(d) : -1;
  if ((arrayKind != vdatatagARRAY && arrayKind != vdatatagSIZED_ARRAY) || object->cls != vdatatagGetKindScrapClass(arrayKind))
    return false;
  vdatatag* element = static_cast<vdatatagElementOf*>(d)->element;
  if (!element || vdatatagGetKind(element) != kind) return false;
  if (arrayKind == vdatatagSIZED_ARRAY) {
    *count = static_cast<vdatatagElementOf*>(d)->count;
    *data = static_cast<unsigned char*>(ds->value);
  } else {
    if (!ds->countWord || !ds->dataWord) return false;
    *count = *ds->countWord;
    *data = static_cast<unsigned char*>(*ds->dataWord);
  }
  return *data || !*count;
}
