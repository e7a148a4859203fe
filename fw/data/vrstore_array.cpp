// The ".vr" store's arrays: elements packed at the smallest width that
// holds every value written (1 to 32 bits), re-packed as they widen;
// dictionary, array, string and opaque elements are records of their own
// whose parent is the array.
#include <cstring>

#include "fw/core/charset.h"
#include "fw/core/mem.h"
#include "fw/data/vrstore_internal.h"

namespace vrs {

ArrayView arrayView(const std::uint8_t* r) {
  if ((r[3] & 0xF0) == FORM_SHORT) {
    std::uint32_t w2 = getWord(r + 8);
    return {int(w2 & 0x0F), (w2 >> 4) & 0xFF, getWord(r) >> 8, 12};
  }
  return {int(getWord(r + 16)), 32, getWord(r + 12), 20};
}

std::uint32_t elementAt(const std::uint8_t* r, const ArrayView& v, std::uint32_t i) {
  const std::uint8_t* d = r + v.header;
  std::uint64_t bit = std::uint64_t(i) * v.width;
  if (v.width >= 8) {
    std::uint32_t x = 0;
    for (unsigned b = 0; b < v.width / 8; ++b) x = x << 8 | d[bit / 8 + b];
    return x;
  }
  unsigned shift = 8 - unsigned(bit % 8) - v.width;
  return (d[bit / 8] >> shift) & ((1u << v.width) - 1);
}

}  // namespace vrs

using namespace vrs;

namespace {

struct Array {
  Entry* e;
  std::uint32_t number;
  Bytes record;
  ArrayView view;
  std::vector<std::uint32_t> elements() const {
    std::vector<std::uint32_t> out(view.count);
    for (std::uint32_t i = 0; i < view.count; ++i) out[i] = elementAt(record, view, i);
    return out;
  }
};

unsigned widthFor(std::uint32_t v) {
  return v <= 1 ? 1 : v <= 3 ? 2 : v <= 15 ? 4 : v <= 255 ? 8 : v <= 65535 ? 16 : 32;
}

// The record rebuilt from its elements: at least minSize bytes.
Bytes encode(std::uint32_t parent, int elementKind, unsigned width, const std::vector<std::uint32_t>& values,
             std::size_t minSize) {
  if (values.size() > NUMBER_MASK) fail(&vexModuleLimitClass, "Maximum array size");
  std::size_t size = std::max(12 + (values.size() * width + 7) / 8, minSize);
  Bytes r(size, 0);
  putWord(r.data(), std::uint32_t(values.size()) << 8 | FORM_SHORT | vresARRAY);
  putWord(r.data() + 4, parent);
  putWord(r.data() + 8, std::uint32_t(elementKind) | width << 4);
  std::uint8_t* d = r.data() + 12;
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::uint64_t bit = std::uint64_t(i) * width;
    if (width >= 8) {
      for (unsigned b = 0; b < width / 8; ++b) d[bit / 8 + b] = std::uint8_t(values[i] >> (width - 8 * (b + 1)));
    } else {
      unsigned shift = 8 - unsigned(bit % 8) - width;
      d[bit / 8] |= std::uint8_t((values[i] & ((1u << width) - 1)) << shift);
    }
  }
  return r;
}

void store(Array& a, const std::vector<std::uint32_t>& values, unsigned width, std::size_t minSize) {
  dropCache(*a.e, a.number);
  writeRecord(*a.e, a.number, encode(parentOf(a.record), a.view.elementKind, width, values, minSize));
}

// The array's record, held as the file's cached record (the one before it
// settled), and its view.
Bytes& cachedArray(vresource h, const char* absent, const char* malformed, Entry** entry, ArrayView* view) {
  Entry& e = entryOf(h);
  *entry = &e;
  if (numberOf(h) == 0) fail(&vexArgClass, "Cannot perform operation on root");
  if (e.cacheHandle != std::int64_t(numberOf(h))) {
    Bytes r;
    if (!readRecord(e, numberOf(h), r)) fail(&vexArgClass, absent);
    if (kindOf(r) != vresARRAY) fail(&vexArgClass, malformed);
    settleCache(e);
    e.cacheHandle = numberOf(h), e.cache = std::move(r);
  }
  *view = arrayView(e.cache);
  return e.cache;
}

Array readArray(vresource h, const char* absent, const char* malformed) {
  Array a{nullptr, numberOf(h), {}, {}};
  a.record = cachedArray(h, absent, malformed, &a.e, &a.view);
  return a;
}

void putElement(Bytes& r, const ArrayView& v, std::uint32_t i, std::uint32_t x) {
  std::uint8_t* d = r.data() + v.header;
  std::uint64_t bit = std::uint64_t(i) * v.width;
  if (v.width >= 8) {
    for (unsigned b = 0; b < v.width / 8; ++b) d[bit / 8 + b] = std::uint8_t(x >> (v.width - 8 * (b + 1)));
    return;
  }
  unsigned shift = 8 - unsigned(bit % 8) - v.width;
  unsigned mask = ((1u << v.width) - 1) << shift;
  d[bit / 8] = std::uint8_t((d[bit / 8] & ~mask) | ((x << shift) & mask));
}

bool kindMatches(int elementKind, int wanted) {
  return reportedKind(elementKind) == wanted;
}

// The element i of the wanted kind, read for a getter.
std::uint32_t readElement(vresource h, std::int32_t i, int kind, Array* out = nullptr) {
  Entry* e;
  ArrayView view;
  const Bytes& r = cachedArray(h, "Fell off end of world", "Fell off end of world", &e, &view);
  if (!kindMatches(view.elementKind, kind)) fail(&vexArgClass, "Fell off end of world");
  if (i < 0 || std::uint32_t(i) >= view.count)
    fail(kind == vresCHARACTER ? &vexArgRangeClass : &vexArgClass, "Illegal array index");
  if (out) *out = Array{e, numberOf(h), {}, view};  // the view, not a copy of the elements
  return elementAt(r, view, std::uint32_t(i));
}

// Writes element i (insert: a new place at i) of kind with value v; an
// untyped array whose elements are all zero takes the kind.
void writeElement(vresource h, std::int32_t i, int kind, std::uint32_t v, bool insert) {
  {
    // A set at the present width is made in place, in the cached record.
    Entry* e;
    ArrayView view;
    Bytes& r = cachedArray(h, "Missing array", "Malformed array", &e, &view);
    requireWritable(*e);
    if (!insert && widthFor(v) <= view.width && view.elementKind != vresUNTYPED && kindMatches(view.elementKind, kind) &&
        i >= 0 && std::uint32_t(i) < view.count) {
      putElement(r, view, std::uint32_t(i), v);
      e->cacheDirty = true;
      return;
    }
  }
  Array a = readArray(h, "Missing array", "Malformed array");
  std::vector<std::uint32_t> values = a.elements();
  if (a.view.elementKind == vresUNTYPED && kind != vresUNTYPED) {
    for (std::uint32_t x : values)
      if (x) fail(&vexArgClass, "Malformed array");
    a.view.elementKind = kind;
  }
  if (!kindMatches(a.view.elementKind, kind) && !(holdsRecords(a.view.elementKind) && holdsRecords(kind)))
    fail(&vexArgClass, "Malformed array");
  std::uint32_t limit = a.view.count + (insert ? 1 : 0);
  if (i < 0 || std::uint32_t(i) >= limit) fail(&vexArgClass, "Illegal array index");
  unsigned width = std::max(widthFor(v), a.view.width);
  std::size_t minSize = width == a.view.width ? a.record.size() : 0;
  if (insert) values.insert(values.begin() + i, v);
  else values[std::size_t(i)] = v;
  store(a, values, width, minSize);
}

void insertValue(vresource h, std::int32_t i, int kind, std::uint32_t v) { writeElement(h, i, kind, v, true); }
void setValue(vresource h, std::int32_t i, int kind, std::uint32_t v) { writeElement(h, i, kind, v, false); }

// A string or opaque element: its record replaced in place or made anew.
void setElementData(vresource h, std::int32_t i, int kind, Bytes body) {
  Array a;
  std::uint32_t old = readElement(h, i, kind == vresOPAQUE ? vresOPAQUE : vresSTRING, &a);
  requireWritable(*a.e);
  Bytes r;
  if (!old || !readRecord(*a.e, old, r)) checkNesting(*a.e, a.number);
  std::uint32_t n = old && readRecord(*a.e, old, r) ? old : newNumber(*a.e);
  putWord(body.data() + 4, a.number);
  writeRecord(*a.e, n, body);
  if (n != old) setValue(h, i, kind, n);
}

// A new record of kind 0, 1, 7 or 10 with the array as parent.
std::uint32_t makeElementRecord(Entry& e, std::uint32_t array, int kind, std::uint32_t n) {
  checkNesting(e, array);
  if (!n) n = newNumber(e);
  switch (kind) {
    case vresUNTYPED: case vresDICTIONARY: {
      Bytes r(8, 0);
      putWord(r.data(), 0x10u | std::uint32_t(kind));
      putWord(r.data() + 4, array);
      writeRecord(e, n, r);
      break;
    }
    case vresSTRING: writeRecord(e, n, stringRecord(array, nullptr, 0)); break;
    default: writeRecord(e, n, opaqueRecord(array, nullptr, 0)); break;
  }
  return n;
}

// An untyped element may go in any array of records (to be made an array,
// say); an untyped array takes the element's kind.
int recordElementKind(const ArrayView& v, int kind) { return holdsRecords(v.elementKind) ? v.elementKind : kind; }

void requireRecordArray(const ArrayView& v) {
  if (!holdsRecords(v.elementKind) && v.elementKind != vresUNTYPED) fail(&vexArgClass, "Malformed array");
}

bool recordKind(int kind) {
  return kind == vresUNTYPED || kind == vresDICTIONARY || kind == vresSTRING || kind == vresOPAQUE;
}


}  // namespace

vresource vrstoreCreateArray(vresource h, vname tag, int elementKind, std::int32_t count) {
  if (elementKind < 0 || elementKind > vresOPAQUE) fail(&vexArgClass, "Unknown resource type");
  if (count < 0) fail(&vexArgClass, "Illegal array size");
  if (std::uint32_t(count) > NUMBER_MASK) fail(&vexModuleLimitClass, "Maximum array size");
  vresource child = vrstoreCreate(h, tag, vresUNTYPED);
  Entry& e = entryOf(h);
  Bytes old;
  readRecord(e, numberOf(child), old);
  // Zero elements of one bit each: no element is unpacked.
  Bytes r = vmemGuard(std::size_t(count) / 8, [&] { return Bytes(12 + (std::size_t(count) + 7) / 8, 0); });
  putWord(r.data(), std::uint32_t(count) << 8 | FORM_SHORT | vresARRAY);
  putWord(r.data() + 4, parentOf(old));
  putWord(r.data() + 8, std::uint32_t(elementKind) | 1u << 4);
  writeRecord(e, numberOf(child), r);
  return child;
}

vresource vrstoreMakeArray(vresource h, vname tag, int elementKind, std::int32_t count) {
  vresource out;
  if (vrstoreTestGet(h, tag, &out) && vrstoreGetType(out, nullptr) == vresARRAY &&
      vrstoreGetElementType(out) == elementKind)
    return out;
  return vrstoreCreateArray(h, tag, elementKind, count);
}

int vrstoreGetElementType(vresource h) {
  Entry& e = entryOf(h);
  std::size_t length;
  const std::uint8_t* r = peekRecord(e, numberOf(h), &length);
  if (!r) fail(&vexArgClass, "Non-existent resource");
  if (kindOf(r) != vresARRAY) fail(&vexArgClass, "Not an array");
  return reportedKind(arrayView(r).elementKind);
}

void vrstoreRemoveAt(vresource h, std::int32_t i) {
  Entry& e = entryOf(h);
  if (numberOf(h) == 0) fail(&vexArgClass, "Cannot perform operation on root");
  dropCache(e, numberOf(h));
  Array a{&e, numberOf(h), {}, {}};
  if (!readRecord(e, a.number, a.record) || kindOf(a.record) != vresARRAY) return;
  a.view = arrayView(a.record);
  if (i < 0 || std::uint32_t(i) >= a.view.count) fail(&vexArgClass, "Illegal array index");
  requireWritable(e);
  std::vector<std::uint32_t> values = a.elements();
  if (holdsRecords(a.view.elementKind) && values[std::size_t(i)]) removeTree(e, values[std::size_t(i)], 0);
  values.erase(values.begin() + i);
  store(a, values, a.view.width, a.record.size());
}

void vrstoreSetCount(vresource h, std::int32_t n) {
  Entry& e = entryOf(h);
  Bytes r;
  if (n <= 0 || !readRecord(e, numberOf(h), r) || kindOf(r) != vresARRAY) fail(&vexArgClass, "Illegal array size");
  if (std::uint32_t(n) > NUMBER_MASK) fail(&vexModuleLimitClass, "Maximum array size");
  std::uint32_t count = arrayView(r).count;
  while (count > std::uint32_t(n)) vrstoreRemoveAt(h, std::int32_t(--count));
  if (count < std::uint32_t(n)) {
    // The record grows by zero places; no element is unpacked.
    requireWritable(e);
    Array a = readArray(h, "Missing array", "Malformed array");
    std::size_t grown = a.record.size() + (std::size_t(n) - count) * ((a.view.width + 7) / 8);
    vmemGuard(grown, [&] { a.record.resize(grown, 0); });
    if (isShort(a.record))
      putWord(a.record.data(), std::uint32_t(n) << 8 | FORM_SHORT | vresARRAY);
    else
      putWord(a.record.data() + 12, std::uint32_t(n));
    dropCache(e, a.number);
    writeRecord(e, a.number, a.record);
  }
}

vresource vrstoreInsertAt(vresource h, std::int32_t i, int kind) {
  if (!recordKind(kind)) return 0;
  Array a = readArray(h, "Missing array", "Malformed array");
  requireWritable(*a.e);
  requireRecordArray(a.view);
  if (i < 0 || std::uint32_t(i) > a.view.count) fail(&vexArgClass, "Illegal array index");
  std::uint32_t n = makeElementRecord(*a.e, a.number, kind, 0);
  insertValue(h, i, recordElementKind(a.view, kind), n);
  return handleOf(h, n);
}

vresource vrstoreCreateAt(vresource h, std::int32_t i, int kind) {
  if (!recordKind(kind)) return 0;
  // The cached record read in place: a copy per element would cost the whole array each time.
  Array a{nullptr, numberOf(h), {}, {}};
  const Bytes& r = cachedArray(h, "Missing array", "Malformed array", &a.e, &a.view);
  requireWritable(*a.e);
  requireRecordArray(a.view);
  if (i < 0 || std::uint32_t(i) >= a.view.count) fail(&vexArgClass, "Illegal array index");
  std::uint32_t old = holdsRecords(a.view.elementKind) ? elementAt(r, a.view, std::uint32_t(i)) : 0;
  if (kind == vresSTRING || kind == vresOPAQUE) {
    std::uint32_t n = makeElementRecord(*a.e, a.number, kind, old);
    if (n != old) setValue(h, i, recordElementKind(a.view, kind), n);
    return handleOf(h, n);
  }
  if (old) {
    vrstoreRemoveAt(h, i);
    return vrstoreInsertAt(h, i, kind);
  }
  std::uint32_t n = makeElementRecord(*a.e, a.number, kind, 0);
  setValue(h, i, recordElementKind(a.view, kind), n);
  return handleOf(h, n);
}

// The record read where it lies: a copy per element would cost the whole
// array each time, and an array of arrays moves the cache away from it.
vresource vrstoreGetAt(vresource h, std::int32_t i) {
  Entry& e = entryOf(h);
  if (numberOf(h) == 0) fail(&vexArgClass, "Cannot perform operation on root");
  std::size_t length;
  const std::uint8_t* r = peekRecord(e, numberOf(h), &length);
  if (!r || kindOf(r) != vresARRAY) fail(&vexArgClass, "Fell off end of world");
  ArrayView view = arrayView(r);
  if (i < 0 || std::uint32_t(i) >= view.count) fail(&vexArgClass, "Illegal array index");
  return handleOf(h, elementAt(r, view, std::uint32_t(i)));
}

vname vrstoreGetAtTag(vresource h, std::int32_t i) { return tagName(entryOf(h), readElement(h, i, vresTAG)); }
std::int32_t vrstoreGetAtInteger(vresource h, std::int32_t i) { return std::int32_t(readElement(h, i, vresINTEGER)); }
std::int32_t vrstoreGetAtFixed(vresource h, std::int32_t i) { return std::int32_t(readElement(h, i, vresFIXED)); }
double vrstoreGetAtFloat(vresource h, std::int32_t i) {
  return bitsFloat(readElement(h, i, vresFLOAT));
}
int vrstoreGetAtBoolean(vresource h, std::int32_t i) { return readElement(h, i, vresBOOLEAN) != 0; }
char vrstoreGetAtCharacter(vresource h, std::int32_t i) {
  Array a;
  std::uint32_t v = readElement(h, i, vresCHARACTER, &a);
  if (a.view.elementKind == KIND_MACCHAR) return char(vcharsetMapChar(2, int(v & 0xFF)));
  if (a.view.elementKind == KIND_WIDECHAR) return char(vcharsetNarrowChar(v & 0xFFFF));
  return char(v & 0xFF);
}

std::string vrstoreGetAtStringText(vresource h, std::int32_t i) {
  Array a;
  std::uint32_t n = readElement(h, i, vresSTRING, &a);
  if (!n) fail(&vexArgClass, "Missing array");
  Bytes r;
  if (!readRecord(*a.e, n, r) || reportedKind(kindOf(r)) != vresSTRING || parentOf(r) != a.number)
    fail(&vexArgClass, "Non-existent resource");
  return stringText(r);
}

void* vrstoreGetAtOpaque(vresource h, std::int32_t i, std::size_t offset, std::size_t maximum, std::size_t* length) {
  Array a;
  std::uint32_t n = readElement(h, i, vresOPAQUE, &a);
  if (!n) fail(&vexArgClass, "Non-existent array resource");
  Bytes r;
  if (!readRecord(*a.e, n, r) || kindOf(r) != vresOPAQUE || parentOf(r) != a.number)
    fail(&vexArgClass, "Non-existent resource");
  std::size_t size = dataSize(r);
  *length = offset < size ? std::min(maximum, size - offset) : 0;
  if (!*length) return nullptr;
  void* block = vmemAlloc(*length);
  std::memcpy(block, dataOf(r) + offset, *length);
  return block;
}

void vrstoreSetAtTag(vresource h, std::int32_t i, vname value) {
  Entry& e = entryOf(h);
  requireWritable(e);
  setValue(h, i, vresTAG, tagNumber(e, value));
}
void vrstoreSetAtInteger(vresource h, std::int32_t i, std::int32_t v) { setValue(h, i, vresINTEGER, std::uint32_t(v)); }
void vrstoreSetAtFixed(vresource h, std::int32_t i, std::int32_t v) { setValue(h, i, vresFIXED, std::uint32_t(v)); }
void vrstoreSetAtFloat(vresource h, std::int32_t i, double v) { setValue(h, i, vresFLOAT, floatBits(v)); }
void vrstoreSetAtBoolean(vresource h, std::int32_t i, int v) { setValue(h, i, vresBOOLEAN, std::uint32_t(v)); }
void vrstoreSetAtCharacter(vresource h, std::int32_t i, char v) { setValue(h, i, vresCHARACTER, std::uint8_t(v)); }
void vrstoreSetAtStringSized(vresource h, std::int32_t i, const char* text, std::size_t count) {
  setElementData(h, i, vresSTRING, stringRecord(0, text, count));
}
void vrstoreSetAtOpaque(vresource h, std::int32_t i, const void* bytes, std::size_t length) {
  setElementData(h, i, vresOPAQUE, opaqueRecord(0, bytes, length));
}
void vrstoreInsertAtTag(vresource h, std::int32_t i, vname value) {
  Entry& e = entryOf(h);
  requireWritable(e);
  insertValue(h, i, vresTAG, tagNumber(e, value));
}
void vrstoreInsertAtInteger(vresource h, std::int32_t i, std::int32_t v) {
  insertValue(h, i, vresINTEGER, std::uint32_t(v));
}
void vrstoreInsertAtFixed(vresource h, std::int32_t i, std::int32_t v) { insertValue(h, i, vresFIXED, std::uint32_t(v)); }
void vrstoreInsertAtFloat(vresource h, std::int32_t i, double v) { insertValue(h, i, vresFLOAT, floatBits(v)); }
void vrstoreInsertAtBoolean(vresource h, std::int32_t i, int v) { insertValue(h, i, vresBOOLEAN, std::uint32_t(v)); }
void vrstoreInsertAtCharacter(vresource h, std::int32_t i, char v) {
  insertValue(h, i, vresCHARACTER, std::uint8_t(v));
}

void vrstoreFind(vresource h, vresource* parent, vname* tag) {
  Entry& e = entryOf(h);
  if (numberOf(h) == 0) fail(&vexArgClass, "Cannot vresourceFind on root resource.");
  std::uint32_t p;
  if (!whereFiled(e, numberOf(h), &p, tag)) fail(&vexArgClass, "Missing parent");
  *parent = handleOf(h, p);
}

void vrstoreFindAt(vresource h, vresource* parent, vname* tag, std::int32_t* index) {
  Entry& e = entryOf(h);
  if (numberOf(h) == 0) fail(&vexArgClass, "Cannot vresourceFind on root resource.");
  Bytes r;
  if (!readRecord(e, numberOf(h), r)) fail(&vexArgClass, "Non-existent resource");
  vresource array = handleOf(h, parentOf(r));
  Array a = readArray(array, "Missing parent", "Missing parent");
  for (std::uint32_t i = 0; holdsRecords(a.view.elementKind) && i < a.view.count; ++i)
    if (elementAt(a.record, a.view, i) == numberOf(h)) {
      vrstoreFind(array, parent, tag);
      *index = std::int32_t(i);
      return;
    }
  fail(&vexArgClass, "Missing child");
}
