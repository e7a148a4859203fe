// Writing: the set operations of each kind's delegate. A value's scrap is
// imported into a marshalling scrap, whose delegate appends the value's
// tag and bytes to the block; composites import each member or element
// into a nested scrap over the same block.
#include <bit>
#include <cstring>

#include "fw/services/repdef_internal.h"

namespace {

struct Held {
  vinstance* object;
  ~Held() {
    if (object) vinstanceDestroy(object);
  }
};

using ArrayState = _vrepdefArrayState;
struct DictionaryState {
  vdatatag* previous;
  std::uint32_t lengthAt;  // offset of the 4-byte length in the block
};
static_assert(sizeof(DictionaryState) <= 3 * sizeof(void*));

_vrepdefScrap* served(vscrap* w) {
  _vrepdefScrap* s = _vrepdefServed(w);
  _vrepdefCheck(s);
  return s;
}

// Imports value (the caller's) into a nested scrap typed by d.
void writeNested(_vrepdefScrap* s, vdatatag* d, std::uint32_t elementTag, vinstance* value) {
  Held nested{_vrepdefNested(s, d, elementTag)};
  vscrapImport(vscrapWalk(value), vscrapWalk(nested.object));
  _vrepdefCheckWritten(static_cast<_vrepdefScrap*>(nested.object));
}

// The type marker of generic arrays and dictionaries.
void putMarker(_vrepdefScrap* s, vdatatag** previous, vdatatag* d) {
  if (d == *previous) {
    _vrepdefPutByte(s, tagFALSE);
    return;
  }
  _vrepdefPutByte(s, tagTRUE);
  _vrepdefWriteReference(s, d, 0);
  *previous = d;
}

void putTagged(_vrepdefScrap* s, std::uint8_t tag, std::uint64_t value, int bytes) {
  unsigned char* at = _vrepdefAppend(s, 1 + static_cast<std::uint32_t>(bytes));
  at[0] = tag;
  _vrepdefPutNumber(at + 1, value, bytes);
}
void putBare(_vrepdefScrap* s, std::uint64_t value, int bytes) {
  _vrepdefPutNumber(_vrepdefAppend(s, static_cast<std::uint32_t>(bytes)), value, bytes);
}

void writeBoolean(vscrap* w, int v) { _vrepdefPutByte(served(w), v ? tagTRUE : tagFALSE); }

void writeCharacter(vscrap* w, char c) {
  _vrepdefScrap* s = served(w);
  auto code = static_cast<std::uint8_t>(c);
  if (s->elementTag) {
    unsigned char* at = _vrepdefAppend(s, 2);
    at[0] = code, at[1] = 3;
    return;
  }
  unsigned char* at = _vrepdefAppend(s, 3);
  at[0] = 0x15, at[1] = code, at[2] = 3;
}

bool unsignedKind(int kind) {
  return kind == vdatatagUNSIGNED_BYTE || kind == vdatatagUNSIGNED_SHORT || kind == vdatatagUNSIGNED_INTEGER;
}

// The fewest bytes: unsigned kinds by value, signed kinds by magnitude.
void writeScalar(vscrap* w, std::int32_t v) {
  _vrepdefScrap* s = served(w);
  bool isUnsigned = unsignedKind(_vrepdefKindOf(s));
  auto bits = static_cast<std::uint32_t>(v);
  if (std::uint32_t e = s->elementTag) {
    int bytes = 1 << (e & tagWIDTH);
    if (bytes < 4) {
      std::int64_t value = isUnsigned ? static_cast<std::int64_t>(bits) : v;
      std::int64_t span = std::int64_t{1} << (8 * bytes);
      bool fits = (e & tagBIT2) ? value >= -span / 2 && value < span / 2 : value >= 0 && value < span;
      if (!fits) _vrepdefFail(s, &vexArgRangeClass, "Value does not fit the array's element");
    }
    putBare(s, bits, bytes);
    return;
  }
  std::uint32_t magnitude = isUnsigned ? bits : v < 0 ? 0u - bits : bits;
  int code = isUnsigned ? _vrepdefWidthCode(magnitude) : magnitude <= 127 ? 0 : magnitude <= 32767 ? 1 : 2;
  putTagged(s, static_cast<std::uint8_t>((isUnsigned ? 0x10 : 0x14) | code), bits, 1 << code);
}

void writeLonglong(vscrap* w, std::int64_t v) {
  _vrepdefScrap* s = served(w);
  auto bits = static_cast<std::uint64_t>(v);
  if (s->elementTag)
    putBare(s, bits, 8);
  else
    putTagged(s, _vrepdefKindOf(s) == vdatatagLONGLONG ? 0x17 : 0x13, bits, 8);
}

void writeFixed(vscrap* w, std::int32_t v) {
  _vrepdefScrap* s = served(w);
  if (s->elementTag)
    putBare(s, static_cast<std::uint32_t>(v), 4);
  else
    putTagged(s, 0x22, static_cast<std::uint32_t>(v), 4);
}

void writeReal(vscrap* w, double v) {
  _vrepdefScrap* s = served(w);
  bool single = s->elementTag ? (s->elementTag & tagWIDTH) == 0 : _vrepdefKindOf(s) == vdatatagSINGLE_FLOAT;
  if (s->elementTag && (s->elementTag & tagWIDTH) > 1) _vrepdefMismatch(s, "Unknown floating-point width");
  std::uint64_t bits = single ? std::bit_cast<std::uint32_t>(static_cast<float>(v)) : std::bit_cast<std::uint64_t>(v);
  int bytes = single ? 4 : 8;
  if (s->elementTag)
    putBare(s, bits, bytes);
  else
    putTagged(s, single ? 0x34 : 0x35, bits, bytes);
}

void writeString(vscrap* w, vscribe* text) {
  _vrepdefScrap* s = _vrepdefServed(w);
  if (s->root->errorClass && text) vscribeRelease(text);
  _vrepdefCheck(s);
  _vrepdefPutScribe(s, text);
}

void writeTag(vscrap* w, vname name) {
  _vrepdefScrap* s = served(w);
  if (name)
    _vrepdefPutText(s, name, static_cast<std::uint32_t>(std::strlen(name)));
  else
    _vrepdefPutScribe(s, nullptr);
}

// Opaque data: the header, then room that the block's writes fill.
void opaqueSetSize(vscrap* w, std::size_t n) {
  _vrepdefScrap* s = served(w);
  vdatatag* d = _vrepdefDatatagOf(s);
  if (vdatatagGetKind(d) == vdatatagSIZED_OPAQUE && n != static_cast<std::size_t>(vdatatagGetSizedOpaqueSize(d)))
    _vrepdefFail(s, &vexArgRangeClass, "Opaque size differs from the datatag's");
  if (n > UINT32_MAX / 2) _vrepdefFail(s, &vexArgRangeClass, "Opaque data too large");
  auto size = static_cast<std::uint32_t>(n);
  int code = _vrepdefWidthCode(size);
  unsigned char* at = _vrepdefAppend(s, 2 + (1u << code));
  at[0] = static_cast<std::uint8_t>(tagARRAY | code);
  at[1] = 0x10;
  _vrepdefPutNumber(at + 2, size, 1 << code);
  s->dataOffset = s->block->tail;
  if (size) std::memset(_vrepdefAppend(s, size), 0, size);
  s->size = size;
}
void opaqueWrite(vscrap* w, std::size_t offset, std::size_t count, const void* buffer) {
  _vrepdefScrap* s = served(w);
  if (offset > s->size || count > s->size - offset) _vrepdefFail(s, &vexArgRangeClass, "block range beyond the size");
  if (count) std::memcpy(s->block->data + s->dataOffset + offset, buffer, count);
}

void writeDatatag(vscrap* w, void* d) { _vrepdefWriteReference(served(w), static_cast<vdatatag*>(d), 0); }

// A scrap: 0x56 and its length, filled in once the reference and the value
// are written.
void writeScrap(vscrap* w, vinstance* value) {
  _vrepdefScrap* s = served(w);
  if (!value) _vrepdefFail(s, &vexArgNullClass, "No scrap to write");
  std::uint32_t start = s->block->tail;
  _vrepdefAppend(s, 5);
  vdatatag* d = _vrepdefTypeOfScrap(s, value);
  _vrepdefWriteReference(s, d, 0);
  writeNested(s, d, 0, value);
  auto* at = reinterpret_cast<unsigned char*>(s->block->data + start);
  at[0] = tagSCRAP;
  _vrepdefPutNumber(at + 1, s->block->tail - start - 5, 4);
}

void writePointer(vscrap* w, void* value) {
  _vrepdefScrap* s = served(w);
  if (!value) {
    _vrepdefPutByte(s, tagFALSE);
    return;
  }
  vdatatag* target = vdatatagGetPointerTarget(_vrepdefDatatagOf(s));
  if (!target) _vrepdefFail(s, &vexDatatagIncompleteClass, "Pointer has no target datatag");
  _vrepdefPutByte(s, tagTRUE);
  writeNested(s, target, 0, static_cast<vinstance*>(value));
}

// Arrays: the header once, then the elements in order.
// The header; answers the element tag (0 for the generic form).
std::uint8_t putArrayHeader(_vrepdefScrap* s, std::int32_t n) {
  if (s->state) _vrepdefFail(s, &vexArgClass, "Array already written");
  auto* d = static_cast<vdatatagElementOf*>(_vrepdefDatatagOf(s));
  if (n < 0 || (vdatatagGetKind(d) == vdatatagSIZED_ARRAY && n != d->count))
    _vrepdefFail(s, &vexArgRangeClass, "Array count differs from the datatag's");
  std::uint8_t element = 0;
  if (d->element) {
    element = _vrepdefElementTag(vdatatagGetKind(d->element));
    if (!element) _vrepdefFail(s, &vexModuleUnimplementedClass, "Arrays of this kind cannot be written");
  }
  auto count = static_cast<std::uint32_t>(n);
  if (element) {
    int code = _vrepdefWidthCode(count);
    unsigned char* at = _vrepdefAppend(s, 2 + (1u << code));
    at[0] = static_cast<std::uint8_t>(tagARRAY | code);
    at[1] = element;
    _vrepdefPutNumber(at + 2, count, 1 << code);
  } else {
    putTagged(s, tagSCRAP, count, 4);
  }
  return element;
}

void arraySetCount(vscrap* w, std::int32_t n) {
  _vrepdefScrap* s = served(w);
  putArrayHeader(s, n);
  auto* st = static_cast<ArrayState*>(_vrepdefAllocArrayState());
  *st = ArrayState{nullptr, n, 0};
  s->state = st;
  s->flags |= _vrepdefARRAY;
}

void arraySetElement(vscrap* w, std::int32_t i, vinstance* value) {
  Held element{value};
  _vrepdefScrap* s = served(w);
  auto* st = static_cast<ArrayState*>(s->state);
  if (!st || !(s->flags & _vrepdefARRAY)) _vrepdefFail(s, &vexArgClass, "No array in progress");
  if (i != st->next || i >= st->count) _vrepdefFail(s, &vexArgRangeClass, "Array elements are written in order");
  vdatatag* d = static_cast<vdatatagElementOf*>(_vrepdefDatatagOf(s))->element;
  if (d) {
    writeNested(s, d, _vrepdefElementTag(vdatatagGetKind(d)), value);
  } else {
    vdatatag* type = _vrepdefTypeOfValue(s, value);
    putMarker(s, &st->previous, type);
    writeNested(s, type, 0, value);
  }
  ++st->next;
}

// Dictionaries: the tag and a length rewritten after each entry.
void dictionaryBegin(_vrepdefScrap* s) {
  if (s->state) _vrepdefFail(s, &vexArgClass, "Dictionary already written");
  _vrepdefPutByte(s, _vrepdefGenericDictionary(_vrepdefDatatagOf(s)) ? tagGENERIC_DICTIONARY : tagDICTIONARY);
  auto* st = static_cast<DictionaryState*>(_vrepdefAllocDictionaryState());
  *st = DictionaryState{nullptr, s->block->tail};
  s->state = st;
  s->flags |= _vrepdefDICTIONARY;
  putBare(s, 0, 4);
}
void dictionaryClear(vscrap* w) { dictionaryBegin(served(w)); }
void dictionarySet(vscrap* w, vname key, vinstance* value) {
  Held element{value};
  _vrepdefScrap* s = served(w);
  if (!s->state) dictionaryBegin(s);
  if (!value) return;
  auto* st = static_cast<DictionaryState*>(s->state);
  vdatatag* d = _vrepdefDatatagOf(s);
  vdatatag* type = nullptr;
  if (_vrepdefGenericDictionary(d)) {
    type = _vrepdefTypeOfValue(s, value);
  } else {
    type = vdatatagGetDictEntry(d, key);
    if (!type) _vrepdefMismatch(s, "Dictionary key has no datatag");
  }
  _vrepdefPutText(s, key, static_cast<std::uint32_t>(std::strlen(key)));
  if (_vrepdefGenericDictionary(d)) putMarker(s, &st->previous, type);
  writeNested(s, type, 0, value);
  _vrepdefPutNumber(reinterpret_cast<unsigned char*>(s->block->data + st->lengthAt),
                    s->block->tail - st->lengthAt - 4, 4);
}

// Unions: 0x63 and the switch value, then the member it selects.
void unionSet(vscrap* w, std::int32_t selector) {
  _vrepdefScrap* s = served(w);
  if (!vdatatagGetUnionMember(_vrepdefDatatagOf(s), selector))
    _vrepdefFail(s, &vexArgRangeClass, "No union member has the switch value");
  putTagged(s, tagUNION, static_cast<std::uint32_t>(selector), 4);
  s->selector = selector;
  s->flags |= _vrepdefUNION;
}
void unionSetMember(vscrap* w, vinstance* value) {
  Held member{value};
  _vrepdefScrap* s = served(w);
  if (!(s->flags & _vrepdefUNION)) _vrepdefFail(s, &vexArgClass, "No union switch value written");
  if (!value) _vrepdefFail(s, &vexArgNullClass, "Union without a member");
  writeNested(s, vdatatagGetUnionMember(_vrepdefDatatagOf(s), s->selector), 0, value);
  s->flags |= _vrepdefMEMBER;
}

template <class T>
using ValueRec = vscrapValueClassRec<T>;

}  // namespace

void _vrepdefCheckWritten(_vrepdefScrap* s) {
  if ((s->flags & _vrepdefUNION) && !(s->flags & _vrepdefMEMBER)) _vrepdefFail(s, &vexArgNullClass, "Union without a member");
}

// An array of integers held in C memory by a datatag scrap of the same
// element kind goes straight from that memory to the block.
bool _vrepdefWriteIntegerArray(_vrepdefScrap* s, const vscrap* source) {
  int kind = _vrepdefKindOf(s);
  if ((kind != vdatatagARRAY && kind != vdatatagSIZED_ARRAY) || source->depth < 1) return false;
  vdatatag* element = static_cast<vdatatagElementOf*>(_vrepdefDatatagOf(s))->element;
  int elementKind = element ? vdatatagGetKind(element) : -1;
  if (elementKind < vdatatagBYTE || elementKind > vdatatagUNSIGNED_INTEGER) return false;
  std::int32_t count = 0;
  unsigned char* data = nullptr;
  if (!_vrepdefHostIntegers(source->stack[source->depth - 1], elementKind, &data, &count)) return false;
  _vrepdefCheck(s);
  std::uint8_t tag = putArrayHeader(s, count);
  int bytes = 1 << (tag & tagWIDTH);
  if (static_cast<std::uint64_t>(count) * static_cast<std::uint64_t>(bytes) > UINT32_MAX / 2)
    _vrepdefFail(s, &vexArgRangeClass, "Array too large");
  unsigned char* at = _vrepdefAppend(s, static_cast<std::uint32_t>(count) * static_cast<std::uint32_t>(bytes));
  for (std::int32_t i = 0; i < count; ++i, at += bytes, data += bytes)
    _vrepdefPutNumber(at, static_cast<std::uint64_t>(_vrepdefGetHostInteger(elementKind, data)), bytes);
  return true;
}

void _vrepdefFillWriters(vclass* c, int kind) {
  switch (kind) {
    case vdatatagBOOLEAN: static_cast<ValueRec<int>*>(c)->set = writeBoolean; break;
    case vdatatagCHARACTER: static_cast<ValueRec<char>*>(c)->set = writeCharacter; break;
    case vdatatagLONGLONG:
    case vdatatagUNSIGNED_LONGLONG: static_cast<ValueRec<std::int64_t>*>(c)->set = writeLonglong; break;
    case vdatatagFIXED: static_cast<ValueRec<std::int32_t>*>(c)->set = writeFixed; break;
    case vdatatagSINGLE_FLOAT:
    case vdatatagDOUBLE_FLOAT: static_cast<ValueRec<double>*>(c)->set = writeReal; break;
    case vdatatagSTRING: static_cast<ValueRec<vscribe*>*>(c)->set = writeString; break;
    case vdatatagTAG: static_cast<ValueRec<vname>*>(c)->set = writeTag; break;
    case vdatatagOPAQUE:
    case vdatatagSIZED_OPAQUE: {
      auto* b = static_cast<vscrapBlockClassRec*>(c);
      b->setSize = opaqueSetSize;
      b->write = opaqueWrite;
      break;
    }
    case vdatatagDATATAG: static_cast<ValueRec<void*>*>(c)->set = writeDatatag; break;
    case vdatatagSCRAP: static_cast<ValueRec<vinstance*>*>(c)->set = writeScrap; break;
    case vdatatagPOINTER: static_cast<ValueRec<void*>*>(c)->set = writePointer; break;
    case vdatatagARRAY:
    case vdatatagSIZED_ARRAY: {
      auto* a = static_cast<vscrapArrayClassRec*>(c);
      a->setCount = arraySetCount;
      a->setElement = arraySetElement;
      break;
    }
    case vdatatagDICTIONARY: {
      auto* d = static_cast<vscrapDictionaryClassRec*>(c);
      d->clear = dictionaryClear;
      d->set = dictionarySet;
      break;
    }
    case vdatatagUNION: {
      auto* u = static_cast<vabstractUnionClassRec*>(c);
      u->set = unionSet;
      u->setMember = unionSetMember;
      break;
    }
    case vdatatagLIST:
    case vdatatagCOMPOUND: break;  // member by member through the iterators
    default: static_cast<ValueRec<std::int32_t>*>(c)->set = writeScalar; break;
  }
}
