// Reading: the get operations of each kind's delegate and the iterators.
// A marshalling scrap over a received block is imported from; its delegate
// takes the tag byte (unless an array's element tag stands for it), checks
// the group, and takes the bytes the width and byte-order bits call for.
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "fw/services/repdef_internal.h"

namespace {

struct Held {
  vinstance* object;
  ~Held() {
    if (object) vinstanceDestroy(object);
  }
};

_vrepdefScrap* served(const vscrap* w) {
  _vrepdefScrap* s = _vrepdefServed(w);
  _vrepdefCheck(s);
  return s;
}

// Numbers, characters and fixed values in typed arrays have no tag bytes.
std::uint8_t numberTag(_vrepdefScrap* s) { return s->elementTag ? static_cast<std::uint8_t>(s->elementTag) : _vrepdefTakeByte(s); }
bool bigEndian(std::uint8_t tag) { return (tag & tagBIG_ENDIAN) != 0; }
void expectGroup(_vrepdefScrap* s, std::uint8_t tag, std::uint8_t group) {
  if ((tag & tagGROUP) != group) _vrepdefMismatch(s, "Tag of the wrong group");
}

// An integer of group 0x10: one- and two-byte values sign-extended by bit 2.
std::int64_t takeInteger(_vrepdefScrap* s, std::uint8_t tag) {
  expectGroup(s, tag, tagINTEGER);
  int bytes = 1 << (tag & tagWIDTH);
  if (bytes == 1 && bigEndian(tag)) _vrepdefFail(s, &vexArgClass, "One-byte integer marked big-endian");
  std::uint64_t v = _vrepdefTakeNumber(s, bytes, bigEndian(tag));
  bool sign = (tag & tagBIT2) != 0;
  switch (bytes) {
    case 1: return sign ? static_cast<std::int8_t>(v) : static_cast<std::int64_t>(v);
    case 2: return sign ? static_cast<std::int16_t>(v) : static_cast<std::int64_t>(v);
    case 4: return sign ? static_cast<std::int32_t>(v) : static_cast<std::int64_t>(v);
    default: return static_cast<std::int64_t>(v);
  }
}

int readBoolean(vscrap* w) {
  _vrepdefScrap* s = served(w);
  std::uint8_t tag = _vrepdefTakeByte(s);
  if (tag != tagTRUE && tag != tagFALSE) _vrepdefMismatch(s, "Expected a boolean");
  return tag == tagTRUE;
}

char readCharacter(vscrap* w) {
  _vrepdefScrap* s = served(w);
  std::uint8_t tag = numberTag(s);
  expectGroup(s, tag, tagINTEGER);
  int bytes = 1 << (tag & tagWIDTH);
  if (bytes == 8) _vrepdefMismatch(s, "Eight-byte character");
  int set = 3;
  if (s->elementTag && !(tag & tagBIT2)) set = _vrepdefTakeByte(s);
  auto v = static_cast<std::uint32_t>(_vrepdefTakeNumber(s, bytes, bigEndian(tag)));
  std::uint32_t code = v;
  if ((tag & tagBIT2) && bytes == 2) set = static_cast<int>(v >> 8), code = v & 0xFF;
  if ((tag & tagBIT2) && bytes == 4) set = static_cast<int>(v >> 24), code = v & 0xFFFFFF;
  return static_cast<char>(_vrepdefConvertChar(s, set, code));
}

std::int32_t readScalar(vscrap* w) {
  _vrepdefScrap* s = served(w);
  std::uint8_t tag = numberTag(s);
  if ((tag & tagGROUP) == tagINTEGER && (tag & tagWIDTH) == 3)
    _vrepdefMismatch(s, "Eight-byte integer for a smaller kind");
  return static_cast<std::int32_t>(takeInteger(s, tag));
}

std::int64_t readLonglong(vscrap* w) {
  _vrepdefScrap* s = served(w);
  return takeInteger(s, numberTag(s));
}

std::int32_t readFixed(vscrap* w) {
  _vrepdefScrap* s = served(w);
  std::uint8_t tag = numberTag(s);
  expectGroup(s, tag, tagFIXED);
  if ((tag & tagWIDTH) != 3) return static_cast<std::int32_t>(_vrepdefTakeNumber(s, 4, bigEndian(tag)));
  const unsigned char* b = _vrepdefTake(s, 8) + 2;
  std::uint32_t v = bigEndian(tag) ? (std::uint32_t{b[0]} << 24) | (b[1] << 16) | (b[2] << 8) | b[3]
                                   : (std::uint32_t{b[3]} << 24) | (b[2] << 16) | (b[1] << 8) | b[0];
  return static_cast<std::int32_t>(v);
}

double readReal(vscrap* w) {
  _vrepdefScrap* s = served(w);
  std::uint8_t tag = numberTag(s);
  expectGroup(s, tag, tagREAL);
  if ((tag & tagWIDTH) > 1) _vrepdefMismatch(s, "Unknown floating-point width");
  bool big = (tag & (tagBIG_ENDIAN | tagBIT2)) == (tagBIG_ENDIAN | tagBIT2);
  if ((tag & tagWIDTH) == 0)
    return std::bit_cast<float>(static_cast<std::uint32_t>(_vrepdefTakeNumber(s, 4, big)));
  double v = std::bit_cast<double>(_vrepdefTakeNumber(s, 8, big));
  if (_vrepdefKindOf(s) != vdatatagSINGLE_FLOAT) return v;
  // A double read as a single float is what a single float can hold.
  if (std::isfinite(v) && (v < -FLT_MAX || v > FLT_MAX)) _vrepdefFail(s, &vexArgRangeClass, "Value beyond a single float");
  return static_cast<float>(v);
}

vscribe* readString(vscrap* w) {
  _vrepdefScrap* s = served(w);
  vscribe* text = _vrepdefTakeText(s, _vrepdefTakeByte(s));
  return text ? text : vscribeLiteral("");
}

vname readTag(vscrap* w) {
  _vrepdefScrap* s = served(w);
  vscribe* text = _vrepdefTakeText(s, _vrepdefTakeByte(s));
  return text ? vnameIntern(text) : nullptr;
}

// Opaque data: group 0x50 with the element tag 0x10; the bytes stay in the
// block and are copied out by the block's reads.
std::size_t opaqueSize(vscrap* w) {
  _vrepdefScrap* s = served(w);
  if (s->flags & _vrepdefOPAQUE_READ) return s->size;
  std::uint8_t tag = _vrepdefTakeByte(s);
  if ((tag & (tagGROUP | tagBIT2)) != tagARRAY || (tag & tagWIDTH) == 3) _vrepdefMismatch(s, "Expected opaque data");
  if (_vrepdefTakeByte(s) != 0x10) _vrepdefMismatch(s, "Expected opaque data");
  auto n = static_cast<std::uint32_t>(_vrepdefTakeNumber(s, 1 << (tag & tagWIDTH), bigEndian(tag)));
  vdatatag* d = _vrepdefDatatagOf(s);
  if (vdatatagGetKind(d) == vdatatagSIZED_OPAQUE && n != static_cast<std::uint32_t>(vdatatagGetSizedOpaqueSize(d)))
    _vrepdefFail(s, &vexArgRangeClass, "Opaque size differs from the datatag's");
  s->dataOffset = s->block->head;
  _vrepdefTake(s, n);
  s->size = n;
  s->flags |= _vrepdefOPAQUE_READ;
  return n;
}
void opaqueRead(vscrap* w, std::size_t offset, std::size_t count, void* buffer) {
  opaqueSize(w);
  _vrepdefScrap* s = _vrepdefServed(w);
  if (offset > s->size || count > s->size - offset) _vrepdefFail(s, &vexArgRangeClass, "block range beyond the size");
  if (count) std::memcpy(buffer, s->block->data + s->dataOffset + offset, count);
}

void* readDatatag(vscrap* w) {
  _vrepdefScrap* s = served(w);
  return _vrepdefReadReference(s, 0);
}

// A scrap: the block's end is limited to its length while its datatag and
// value are read into a new native scrap.
vinstance* readScrap(vscrap* w) {
  _vrepdefScrap* s = served(w);
  std::uint8_t tag = _vrepdefTakeByte(s);
  if ((tag & ~tagBIG_ENDIAN) != tagSCRAP) _vrepdefMismatch(s, "Expected a scrap");
  auto length = static_cast<std::uint32_t>(_vrepdefTakeNumber(s, 4, bigEndian(tag)));
  if (length > _vrepdefLeft(s)) _vrepdefMismatch(s, "Scrap longer than the data");
  std::uint32_t end = s->block->head + length, tail = s->block->tail;
  s->block->tail = end;
  vdatatag* d = _vrepdefReadReference(s, 0);
  Held reader{_vrepdefNested(s, d, 0)};
  vinstance* value = vscrapCreateNativeTypeable();
  vexGuard([&] { vscrapImport(vscrapWalk(reader.object), vscrapWalk(value)); },
           [&](vexHandler&) {
             vinstanceDestroy(value);
             _vexGenerate(nullptr);
           });
  s->block->tail = tail;
  s->block->head = end;
  return value;
}
// What the read gave is the reader's to destroy once the target has it.
void scrapExport(vscrap* from, vscrap* to) {
  Held value{readScrap(from)};
  static_cast<vscrapValueClassRec<vinstance*>*>(vdelegatorTop(to)->cls)->set(to, value.object);
}

void* readPointer(vscrap* w) {
  _vrepdefScrap* s = served(w);
  std::uint8_t tag = _vrepdefTakeByte(s);
  if (tag == tagFALSE) return nullptr;
  if (tag != tagTRUE) _vrepdefMismatch(s, "Expected a pointer");
  vdatatag* target = vdatatagGetPointerTarget(_vrepdefDatatagOf(s));
  if (!target) _vrepdefFail(s, &vexDatatagIncompleteClass, "Pointer has no target datatag");
  return _vrepdefNested(s, target, 0);
}

// Arrays: the element datatag of a typed array read without one.
vdatatag* elementFromTag(std::uint8_t tag) {
  struct Row {
    std::uint8_t tag;
    int kind;
  };
  static constexpr Row rows[] = {{0x18, vdatatagBOOLEAN}, {0x15, vdatatagSHORT}, {0x14, vdatatagBYTE},
                                 {0x10, vdatatagUNSIGNED_BYTE}, {0x11, vdatatagUNSIGNED_SHORT}, {0x16, vdatatagINTEGER},
                                 {0x12, vdatatagUNSIGNED_INTEGER}, {0x17, vdatatagLONGLONG},
                                 {0x13, vdatatagUNSIGNED_LONGLONG}, {0x21, vdatatagFIXED}, {0x23, vdatatagFIXED},
                                 {0x34, vdatatagSINGLE_FLOAT}, {0x35, vdatatagDOUBLE_FLOAT}, {0x56, vdatatagSCRAP}};
  if ((tag & tagGROUP) == tagSTRING) return vdatatagGetPredefined(vdatatagSTRING);
  auto plain = static_cast<std::uint8_t>(tag & ~tagBIG_ENDIAN);
  if ((tag & tagGROUP) == tagREAL) plain = static_cast<std::uint8_t>(tagREAL | tagBIT2 | (tag & tagWIDTH));
  for (const Row& r : rows)
    if (r.tag == plain) return vdatatagGetPredefined(r.kind);
  return nullptr;
}
// The fewest bytes one element can take, for checking a count.
std::uint32_t elementMinimum(std::uint8_t tag) {
  switch (tag & tagGROUP) {
    case tagINTEGER: return 1u << (tag & tagWIDTH);
    case tagFIXED: return (tag & tagWIDTH) == 3 ? 8 : 4;
    case tagREAL: return (tag & tagWIDTH) * 4u + 4;
    default: return 1;
  }
}

_vrepdefArrayState* arrayHeader(_vrepdefScrap* s) {
  if (s->state) return static_cast<_vrepdefArrayState*>(s->state);
  std::uint8_t tag = _vrepdefTakeByte(s);
  if ((tag & tagGROUP) != tagARRAY) _vrepdefFail(s, &vexArgClass, "Expected an array");
  std::uint8_t element = 0;
  std::uint64_t count = 0;
  if (tag & tagBIT2) {
    count = _vrepdefTakeNumber(s, 4, bigEndian(tag));
  } else {
    element = _vrepdefTakeByte(s);
    if ((tag & tagWIDTH) == 3) _vrepdefFail(s, &vexArgClass, "Unknown array count width");
    count = _vrepdefTakeNumber(s, 1 << (tag & tagWIDTH), bigEndian(tag));
  }
  auto* d = static_cast<vdatatagElementOf*>(_vrepdefDatatagOf(s));
  if (count > static_cast<std::uint64_t>(INT32_MAX) || count * elementMinimum(element) > _vrepdefLeft(s) ||
      (vdatatagGetKind(d) == vdatatagSIZED_ARRAY && count != static_cast<std::uint64_t>(d->count)))
    _vrepdefFail(s, &vexArgRangeClass, "Array count out of range");
  vdatatag* elementType = nullptr;
  if (element) {
    elementType = d->element ? d->element : elementFromTag(element);
    if (!elementType) _vrepdefMismatch(s, "Typed array of an unknown element");
  }
  auto* st = static_cast<_vrepdefArrayState*>(_vrepdefAllocArrayState());
  *st = _vrepdefArrayState{elementType, static_cast<std::int32_t>(count), 0};
  s->state = st;
  s->flags |= _vrepdefARRAY;
  s->size = element;
  return st;
}
std::int32_t arrayCount(vscrap* w) { return arrayHeader(served(w))->count; }
vinstance* arrayElement(vscrap* w, std::int32_t i) {
  _vrepdefScrap* s = served(w);
  _vrepdefArrayState* st = arrayHeader(s);
  if (i != st->next || i >= st->count) _vrepdefFail(s, &vexArgRangeClass, "Array elements are read in order");
  ++st->next;
  if (s->size) return _vrepdefNested(s, st->previous, s->size);
  std::uint8_t marker = _vrepdefTakeByte(s);
  if (marker == tagTRUE)
    st->previous = _vrepdefReadReference(s, 0);
  else if (marker != tagFALSE)
    _vrepdefFail(s, &vexArgClass, "Expected a type marker");
  if (!st->previous) _vrepdefMismatch(s, "No datatag before the first element");
  return _vrepdefNested(s, st->previous, 0);
}

// A typed array of integers read into a datatag scrap's C memory of an
// integer kind goes straight from the block to that memory.
int hostElementKind(vinstance* owner) {
  if (!vclassIsSubclass(owner->cls, vdatatagGetScrapClass())) return -1;
  vdatatag* d = static_cast<vdatatagScrap*>(owner)->datatag;
  int kind = d ? vdatatagGetKind(d) : -1;
  if ((kind != vdatatagARRAY && kind != vdatatagSIZED_ARRAY) || owner->cls != vdatatagGetKindScrapClass(kind)) return -1;
  vdatatag* element = static_cast<vdatatagElementOf*>(d)->element;
  return element ? vdatatagGetKind(element) : -1;
}
bool readIntegerArray(vscrap* from, vscrap* to) {
  if (to->depth < 1) return false;
  vinstance* owner = to->stack[to->depth - 1];
  int kind = hostElementKind(owner);
  if (kind < vdatatagBYTE || kind > vdatatagUNSIGNED_INTEGER) return false;
  _vrepdefScrap* s = served(from);
  _vrepdefArrayState* st = arrayHeader(s);
  auto tag = static_cast<std::uint8_t>(s->size);
  int readKind = st->previous ? vdatatagGetKind(st->previous) : -1;
  if (st->next != 0 || (tag & tagGROUP) != tagINTEGER || (tag & tagWIDTH) == 3 || readKind < vdatatagBYTE ||
      readKind > vdatatagUNSIGNED_INTEGER)
    return false;
  vclassRec<vscrapArrayClassRec>(vdelegatorTop(to))->setCount(to, st->count);
  std::int32_t count = 0;
  unsigned char* at = nullptr;
  if (!_vrepdefHostIntegers(owner, kind, &at, &count) || count != st->count) return false;
  struct Range {
    std::int64_t low, high;
  };
  static constexpr Range ranges[] = {{-128, 127}, {0, 255}, {-32768, 32767}, {0, 65535}, {INT32_MIN, UINT32_MAX}, {INT32_MIN, UINT32_MAX}};
  const Range& r = ranges[kind - vdatatagBYTE];
  std::size_t bytes = kind <= vdatatagUNSIGNED_BYTE ? 1 : kind <= vdatatagUNSIGNED_SHORT ? 2 : 4;
  for (std::int32_t i = 0; i < count; ++i, at += bytes) {
    std::int64_t v = static_cast<std::int32_t>(takeInteger(s, tag));
    if (v < r.low || v > r.high) _vrepdefFail(s, &vexArgRangeClass, "Array element out of its kind's range");
    _vrepdefSetHostInteger(kind, at, v);
  }
  st->next = st->count;
  return true;
}
void arrayExport(vscrap* from, vscrap* to) {
  if (!readIntegerArray(from, to)) vscrapGetArrayClass()->exportTo(from, to);
}

// Unions: 0x63 and the switch value selecting the member.
std::int32_t unionSelector(vscrap* w) {
  _vrepdefScrap* s = served(w);
  if (s->flags & _vrepdefUNION) return s->selector;
  std::uint8_t tag = _vrepdefTakeByte(s);
  if ((tag & (tagGROUP | tagWIDTH)) != tagUNION) _vrepdefFail(s, &vexArgClass, "Expected a union");
  auto selector = static_cast<std::int32_t>(_vrepdefTakeNumber(s, 4, bigEndian(tag)));
  if (!vdatatagGetUnionMember(_vrepdefDatatagOf(s), selector))
    _vrepdefFail(s, &vexArgRangeClass, "No union member has the switch value");
  s->selector = selector;
  s->flags |= _vrepdefUNION;
  return selector;
}
vinstance* unionMember(vscrap* w) {
  std::int32_t selector = unionSelector(w);
  _vrepdefScrap* s = _vrepdefServed(w);
  return _vrepdefNested(s, vdatatagGetUnionMember(_vrepdefDatatagOf(s), selector), 0);
}

// Compounds and datatag lists: a nested scrap per member, for reading or
// writing alike.
struct ListIterator : vscrapIterator {
  _vrepdefScrap* served;
  vdatatagList* list;
  std::int32_t index;
};
void listStart(vscrapIterator* it, vscrap* scrap) {
  vdelegatorCopyIterator(&it->walk, scrap);
  auto* l = static_cast<ListIterator*>(it);
  l->served = served(scrap);
  l->index = -1;
  l->list = _vrepdefKindOf(l->served) == vdatatagCOMPOUND ? vdatatagGetCompoundMembers(_vrepdefDatatagOf(l->served))
                                                          : vsessionEngineScrapGetList(l->served);
  if (!l->list) _vrepdefMismatch(l->served, "A list value needs a datatag list");
}
int listNext(vscrapIterator* it) {
  auto* l = static_cast<ListIterator*>(it);
  std::int32_t n = _vdatatagListCount(l->list);
  if (l->index < n) ++l->index;
  return l->index < n;
}
vinstance* listCurrent(vscrapIterator* it) {
  auto* l = static_cast<ListIterator*>(it);
  if (l->index < 0 || l->index >= _vdatatagListCount(l->list)) return nullptr;
  return _vrepdefNested(l->served, static_cast<vdatatag*>(l->list->begin[l->index]), 0);
}

// Dictionaries: entries until the length is consumed, the block's end
// limited to the dictionary meanwhile.
struct DictionaryIterator : vscrapIterator {
  _vrepdefScrap* served;
  vdatatag* previous;
  vdatatag* current;
  vname key;
  std::uint32_t end;
  std::uint32_t savedTail;
  std::uint8_t generic;
  std::uint8_t pending;  // the current entry's value is still unread
  std::uint8_t limited;
};
void dictionaryStart(vscrapIterator* it, vscrap* scrap) {
  vdelegatorCopyIterator(&it->walk, scrap);
  auto* d = static_cast<DictionaryIterator*>(it);
  _vrepdefScrap* s = d->served = served(scrap);
  d->previous = d->current = nullptr;
  d->key = nullptr;
  d->pending = 0;
  std::uint8_t tag = _vrepdefTakeByte(s);
  if ((tag & (tagGROUP | tagWIDTH)) != tagDICTIONARY) _vrepdefMismatch(s, "Expected a dictionary");
  auto length = static_cast<std::uint32_t>(_vrepdefTakeNumber(s, 4, bigEndian(tag)));
  if (length > _vrepdefLeft(s)) _vrepdefMismatch(s, "Dictionary longer than the data");
  d->generic = (tag & tagBIT2) != 0;
  d->end = s->block->head + length;
  d->savedTail = s->block->tail;
  s->block->tail = d->end;
  d->limited = 1;
}
void dictionaryEnd(DictionaryIterator* d) {
  if (!d->limited) return;
  d->limited = 0;
  d->served->block->tail = d->savedTail;
  d->served->block->head = d->end;
}
int dictionaryNext(vscrapIterator* it) {
  auto* d = static_cast<DictionaryIterator*>(it);
  if (!d->limited) return 0;
  _vrepdefScrap* s = d->served;
  if (d->pending) {
    d->pending = 0;
    Held skipped{_vrepdefNested(s, d->current, 0)};
    Held value{vscrapCreateNativeTypeable()};
    vscrapImport(vscrapWalk(skipped.object), vscrapWalk(value.object));
  }
  if (_vrepdefLeft(s) == 0) {
    dictionaryEnd(d);
    return 0;
  }
  vscribe* key = _vrepdefTakeText(s, _vrepdefTakeByte(s));
  d->key = key ? vnameIntern(key) : vname_Empty;
  if (d->generic) {
    std::uint8_t marker = _vrepdefTakeByte(s);
    if (marker == tagTRUE)
      d->previous = _vrepdefReadReference(s, 0);
    else if (marker != tagFALSE)
      _vrepdefFail(s, &vexArgClass, "Expected a type marker");
    if (!d->previous) _vrepdefMismatch(s, "No datatag before the first entry");
    d->current = d->previous;
    // Under a dictionary datatag that names its entries, an entry in the
    // self-describing form must still be one of them, of its own datatag:
    // anything else could not be written back under that datatag.
    vdatatag* own = _vrepdefDatatagOf(s);
    if (!_vrepdefGenericDictionary(own)) {
      vdatatag* named = vdatatagGetDictEntry(own, d->key);
      if (!named) _vrepdefMismatch(s, "Dictionary key has no datatag");
      if (named != d->current) _vrepdefMismatch(s, "Dictionary entry of another datatag");
    }
  } else {
    d->current = vdatatagGetDictEntry(_vrepdefDatatagOf(s), d->key);
    if (!d->current) _vrepdefMismatch(s, "Dictionary key has no datatag");
  }
  d->pending = 1;
  return 1;
}
vinstance* dictionaryCurrent(vscrapIterator* it) {
  auto* d = static_cast<DictionaryIterator*>(it);
  if (!d->pending) return nullptr;
  d->pending = 0;
  return _vrepdefNested(d->served, d->current, 0);
}

template <class Rec>
Rec* iteratorClass(vclass* parent, const char* name, std::size_t size) {
  auto* c = vclassSpawnOf<Rec>(parent);
  vclassSetName(c, vscribeLiteral(name));
  c->instanceSize = size;
  return c;
}

vclass* listIteratorClass(const char* name) {
  auto* c = iteratorClass<vscrapCompoundIteratorClassRec>(vscrapGetCompoundIteratorClass(), name, sizeof(ListIterator));
  c->init = [](vinstance* o) {
    vscrapGetIteratorClass()->init(o);
    static_cast<ListIterator*>(o)->list = nullptr;
    static_cast<ListIterator*>(o)->index = -1;
  };
  c->start = listStart;
  c->next = listNext;
  c->currentElement = listCurrent;
  return c;
}

template <class T>
using ValueRec = vscrapValueClassRec<T>;

}  // namespace

void _vrepdefFillReaders(vclass* c, int kind) {
  switch (kind) {
    case vdatatagBOOLEAN: static_cast<ValueRec<int>*>(c)->get = readBoolean; break;
    case vdatatagCHARACTER: static_cast<ValueRec<char>*>(c)->get = readCharacter; break;
    case vdatatagLONGLONG:
    case vdatatagUNSIGNED_LONGLONG: static_cast<ValueRec<std::int64_t>*>(c)->get = readLonglong; break;
    case vdatatagFIXED: static_cast<ValueRec<std::int32_t>*>(c)->get = readFixed; break;
    case vdatatagSINGLE_FLOAT:
    case vdatatagDOUBLE_FLOAT: static_cast<ValueRec<double>*>(c)->get = readReal; break;
    case vdatatagSTRING: static_cast<ValueRec<vscribe*>*>(c)->get = readString; break;
    case vdatatagTAG: static_cast<ValueRec<vname>*>(c)->get = readTag; break;
    case vdatatagOPAQUE:
    case vdatatagSIZED_OPAQUE: {
      auto* b = static_cast<vscrapBlockClassRec*>(c);
      b->getSize = opaqueSize;
      b->read = opaqueRead;
      break;
    }
    case vdatatagDATATAG: static_cast<ValueRec<void*>*>(c)->get = readDatatag; break;
    case vdatatagSCRAP: {
      auto* r = static_cast<ValueRec<vinstance*>*>(c);
      r->get = readScrap;
      r->exportTo = scrapExport;
      break;
    }
    case vdatatagPOINTER: static_cast<ValueRec<void*>*>(c)->get = readPointer; break;
    case vdatatagARRAY:
    case vdatatagSIZED_ARRAY: {
      auto* a = static_cast<vscrapArrayClassRec*>(c);
      a->getCount = arrayCount;
      a->getElement = arrayElement;
      a->exportTo = arrayExport;
      break;
    }
    case vdatatagDICTIONARY: {
      auto* it = iteratorClass<vscrapDictionaryIteratorClassRec>(vscrapGetDictionaryIteratorClass(),
                                                                 "_vrepdefDictionaryIterator", sizeof(DictionaryIterator));
      it->init = [](vinstance* o) {
        vscrapGetIteratorClass()->init(o);
        auto* d = static_cast<DictionaryIterator*>(o);
        d->served = nullptr;
        d->limited = d->pending = d->generic = 0;
      };
      it->start = dictionaryStart;
      it->next = dictionaryNext;
      it->finish = [](vscrapIterator* i) { dictionaryEnd(static_cast<DictionaryIterator*>(i)); };
      it->currentElement = dictionaryCurrent;
      it->currentKey = [](vscrapIterator* i) { return static_cast<DictionaryIterator*>(i)->key; };
      static_cast<vscrapDictionaryClassRec*>(c)->iteratorClass = it;
      break;
    }
    case vdatatagLIST:
      static_cast<vscrapCompoundClassRec*>(c)->iteratorClass = listIteratorClass("_vrepdefDatatagListIterator");
      break;
    case vdatatagCOMPOUND:
      static_cast<vscrapCompoundClassRec*>(c)->iteratorClass = listIteratorClass("_vrepdefCompoundDatatagListIterator");
      break;
    case vdatatagUNION: {
      auto* u = static_cast<vabstractUnionClassRec*>(c);
      u->get = unionSelector;
      u->getMember = unionMember;
      break;
    }
    default: static_cast<ValueRec<std::int32_t>*>(c)->get = readScalar; break;
  }
}
