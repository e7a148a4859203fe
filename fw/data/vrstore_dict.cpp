// The ".vr" store's dictionaries and values: children filed under tags,
// scalar, string and opaque records, removal of whole subtrees, and the
// structure queries.
#include <cmath>
#include <cstring>
#include <limits>

#include "fw/core/charset.h"
#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource_internal.h"
#include "fw/data/vrstore_internal.h"

namespace vrs {

std::uint32_t entryCount(const Bytes& d) { return isShort(d) ? inlineOf(d) : getWord(d.data() + 12); }

void setEntryCount(Bytes& d, std::uint32_t count) {
  if (isShort(d) && count <= NUMBER_MASK) {
    putWord(d.data(), count << 8 | FORM_SHORT | std::uint32_t(kindOf(d)));
    return;
  }
  if (isShort(d)) d.resize(16, 0);
  putWord(d.data(), std::uint32_t(kindOf(d)));
  putWord(d.data() + 8, 0);
  putWord(d.data() + 12, count);
}

namespace {

void entryKey(std::uint8_t* key, std::uint32_t parent, std::uint32_t tag) {
  putWord(key, parent);
  key[0] = 0;
  putWord(key + 4, tag);
}

Bytes readOrFail(Entry& e, std::uint32_t n, const vexClass* cls = &vexArgClass) {
  Bytes r;
  if (!readRecord(e, n, r)) fail(cls, "Non-existent resource");
  return r;
}

}  // namespace

void checkNesting(Entry& e, std::uint32_t parent) {
  for (int depth = 1; parent;) {  // the new record's own level
    if (++depth > vscrapMAX_DEPTH) vscrapRaiseTooDeep();
    if (!readParent(e, parent, &parent)) damaged();
  }
}

void requireContainer(Entry& e, std::uint32_t n) {
  Bytes r = readOrFail(e, n, &vexModuleClass);
  if (kindOf(r) != vresDICTIONARY && kindOf(r) != vresUNTYPED) fail(&vexArgClass, "Not a dictionary");
  checkNesting(e, n);
}

bool findChild(Entry& e, std::uint32_t parent, vname tag, std::uint32_t* child) {
  std::uint32_t t = tagNumber(e, tag, true);
  if (!t) return false;
  std::uint8_t key[8];
  entryKey(key, parent, t);
  const void* v;
  std::size_t vl;
  if (!vbtreeFind(e.tree, key, 8, &v, &vl)) return false;
  if (vl != 4) damaged();
  std::uint32_t c = getWord(static_cast<const std::uint8_t*>(v));
  if (c == 0 || c > NUMBER_MASK) damaged();
  *child = c;
  return true;
}

std::vector<DictEntry> entriesOf(Entry& e, std::uint32_t parent, std::size_t limit) {
  std::vector<DictEntry> out;
  std::uint8_t start[4];
  putWord(start, parent);
  start[0] = 0;
  const void* k = start;
  std::size_t kl = 4;
  const void* v;
  std::size_t vl;
  bool more = vbtreeCursor(e.tree, &k, &kl, &v, &vl, vbtreeSEEK);
  while (more && out.size() < limit) {
    more = vbtreeCursor(e.tree, &k, &kl, &v, &vl, vbtreeNEXT);
    auto key = static_cast<const std::uint8_t*>(k);
    if (!more || kl != 8 || std::memcmp(key, start, 4) != 0) break;
    if (vl != 4) damaged();
    out.push_back({getWord(key + 4), getWord(static_cast<const std::uint8_t*>(v))});
  }
  return out;
}

// A file holds nothing nested deeper than the bound (checked at open and
// on every new record), so the recursion stays shallow.
void removeTree(Entry& e, std::uint32_t n, std::uint32_t depth) {
  if (depth > std::uint32_t(vscrapMAX_DEPTH)) damaged();
  Bytes r;
  if (!readRecord(e, n, r)) fail(&vexModuleClass, "Missing tag");
  int kind = kindOf(r);
  if (kind == vresDICTIONARY) {
    for (DictEntry d : entriesOf(e, n, SIZE_MAX)) {
      removeTree(e, d.child, depth + 1);
      std::uint8_t key[8];
      entryKey(key, n, d.tag);
      if (!vbtreeDelete(e.tree, key, 8)) fail(&vexModuleClass, "Cannot delete key");
    }
  } else if (kind == vresARRAY) {
    ArrayView a = arrayView(r);
    if (holdsRecords(a.elementKind))
      for (std::uint32_t i = 0; i < a.count; ++i)
        if (std::uint32_t c = elementAt(r, a, i)) removeTree(e, c, depth + 1);
  }
  deleteRecord(e, n, &vexModuleClass);
}

void fileChild(Entry& e, std::uint32_t parent, vname tag, std::uint32_t child) {
  std::uint32_t t = tagNumber(e, tag);
  if (!t) fail(&vexArgClass, "Resource file is not writable");
  std::uint32_t old;
  if (findChild(e, parent, tag, &old)) {
    if (old == child) return;
    removeTree(e, old, 0);
    std::uint8_t key[8];
    entryKey(key, parent, t);
    if (!vbtreeDelete(e.tree, key, 8)) fail(&vexModuleClass, "Cannot delete key");
    Bytes p = readOrFail(e, parent, &vexModuleClass);
    setEntryCount(p, entryCount(p) - 1);
    writeRecord(e, parent, p);
  }
  Bytes p = readOrFail(e, parent, &vexModuleClass);
  if (kindOf(p) == vresUNTYPED) p = Bytes{0, 0, 0, 0x11, p[4], p[5], p[6], p[7]};
  if (kindOf(p) != vresDICTIONARY) fail(&vexArgClass, "Not a dictionary");
  std::uint32_t count = entryCount(p);
  if (count == 0xFFFFFFFFu) fail(&vexModuleLimitClass, "Maximum entries in dictionary");
  setEntryCount(p, count + 1);
  writeRecord(e, parent, p);
  std::uint8_t key[8], value[4];
  entryKey(key, parent, t);
  putWord(value, child);
  vbtreePut(e.tree, key, 8, value, 4);
}

bool whereFiled(Entry& e, std::uint32_t n, std::uint32_t* parent, vname* tag) {
  if (n == 0) return false;
  Bytes r = readOrFail(e, n);
  std::uint32_t p = parentOf(r);
  for (DictEntry d : entriesOf(e, p, SIZE_MAX))
    if (d.child == n) {
      *parent = p, *tag = tagName(e, d.tag);
      return true;
    }
  return false;
}

Bytes scalarRecord(int kind, std::uint32_t parent, std::uint32_t value) {
  Bytes r(8);
  if ((value >> 24) == 0) {
    putWord(r.data(), value << 8 | FORM_SHORT | std::uint32_t(kind));
  } else {
    r.resize(16);
    putWord(r.data(), std::uint32_t(kind));
    putWord(r.data() + 12, value);
  }
  putWord(r.data() + 4, parent);
  return r;
}

namespace {

// A record of word 0, the parent, the bytes and `trailer` zero bytes.
Bytes dataRecord(std::uint32_t word0, std::uint32_t parent, const void* bytes, std::size_t count, std::size_t trailer) {
  Bytes r(8 + count + trailer, 0);
  putWord(r.data(), word0);
  putWord(r.data() + 4, parent);
  if (count) std::memcpy(r.data() + 8, bytes, count);
  return r;
}

}  // namespace

Bytes stringRecord(std::uint32_t parent, const char* text, std::size_t count) {
  return dataRecord(FORM_SHORT | vresSTRING, parent, text, count, 1);
}

Bytes opaqueRecord(std::uint32_t parent, const void* bytes, std::size_t count) {
  return dataRecord(FORM_SHORT | vresOPAQUE, parent, bytes, count, 4);
}

std::uint32_t scalarValue(const Bytes& r) { return isShort(r) ? inlineOf(r) : getWord(r.data() + 12); }

const std::uint8_t* dataOf(const Bytes& r) { return r.data() + headerSize(kindOf(r), isShort(r)); }

std::size_t dataSize(const Bytes& r) {
  std::size_t h = headerSize(kindOf(r), isShort(r));
  switch (kindOf(r)) {
    case vresSTRING: case KIND_MACSTRING: return r.size() - h - 1;
    case KIND_WIDESTRING: return r.size() - h - 2;
    case vresOPAQUE: return r.size() - h - (isShort(r) ? 4 : 0);
    default: fail(&vexArgClass, "Unknown resource type");
  }
}

std::string stringText(const Bytes& r) {
  const std::uint8_t* p = dataOf(r);
  std::size_t n = dataSize(r);
  std::string s;
  switch (kindOf(r)) {
    case vresSTRING: s.assign(reinterpret_cast<const char*>(p), n); break;
    case KIND_MACSTRING:
      for (std::size_t i = 0; i < n; ++i) s += char(vcharsetMapChar(2, p[i]));
      break;
    case KIND_WIDESTRING:
      for (std::size_t i = 0; i + 1 < n; i += 2) s += char(vcharsetNarrowChar(std::uint32_t(p[i]) << 8 | p[i + 1]));
      break;
    default: fail(&vexArgClass, "Non-existent resource");
  }
  return s;
}

std::uint32_t floatBits(double value) {
  if (std::isfinite(value) && std::fabs(value) > double(std::numeric_limits<float>::max()))
    fail(&vexArgRangeClass, "Float value beyond single precision");
  float f = float(value);
  std::uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return bits;
}

double bitsFloat(std::uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

}  // namespace vrs

using namespace vrs;

namespace {

// The child's number and record, or false when absent.
bool child(vresource h, vname tag, std::uint32_t* n, Bytes* r) {
  Entry& e = entryOf(h);
  std::uint32_t c = numberOf(h);
  if (tag && !findChild(e, numberOf(h), tag, &c)) return false;
  if (!readRecord(e, c, *r)) return false;
  if (tag && parentOf(*r) != numberOf(h)) damaged();
  *n = c;
  return true;
}

Bytes childOfKind(vresource h, vname tag, int kind) {
  std::uint32_t n;
  Bytes r;
  if (!child(h, tag, &n, &r) || reportedKind(kindOf(r)) != kind) fail(&vexArgClass, "Non-existent resource");
  return r;
}

// The value record of a scalar under tag: rewritten in place when present.
void setScalar(vresource h, vname tag, int kind, std::uint32_t value) {
  Entry& e = entryOf(h);
  requireWritable(e);
  std::uint32_t n;
  Bytes old;
  if (child(h, tag, &n, &old)) {
    if (kindOf(old) != kind) removeTree(e, n, 0);  // the child keeps its number
    writeRecord(e, n, scalarRecord(kind, parentOf(old), value));
    return;
  }
  if (!tag) fail(&vexArgClass, "Non-existent resource");
  requireContainer(e, numberOf(h));
  n = newNumber(e);
  writeRecord(e, n, scalarRecord(kind, numberOf(h), value));
  fileChild(e, numberOf(h), tag, n);
}

void setData(vresource h, vname tag, const Bytes& body) {
  Entry& e = entryOf(h);
  requireWritable(e);
  std::uint32_t n;
  Bytes old;
  Bytes r = body;
  if (child(h, tag, &n, &old)) {
    if (kindOf(old) != kindOf(body)) {
      // Whatever was under the old child goes; the child keeps its number.
      removeTree(e, n, 0);
    }
    putWord(r.data() + 4, parentOf(old));
    writeRecord(e, n, r);
    return;
  }
  if (!tag) fail(&vexArgClass, "Non-existent resource");
  requireContainer(e, numberOf(h));
  n = newNumber(e);
  putWord(r.data() + 4, numberOf(h));
  writeRecord(e, n, r);
  fileChild(e, numberOf(h), tag, n);
}

void removeFiled(Entry& e, std::uint32_t parent, vname tag, std::uint32_t n) {
  removeTree(e, n, 0);
  std::uint8_t key[8];
  putWord(key, parent);
  key[0] = 0;
  putWord(key + 4, tagNumber(e, tag));
  if (!vbtreeDelete(e.tree, key, 8)) fail(&vexModuleClass, "Cannot delete key");
  Bytes p;
  if (!readRecord(e, parent, p)) fail(&vexModuleClass, "Missing child");
  setEntryCount(p, entryCount(p) - 1);
  writeRecord(e, parent, p);
}

}  // namespace

vresource vrstoreGet(vresource h, vname tag) {
  vresource out;
  if (!vrstoreTestGet(h, tag, &out)) fail(&vexArgClass, "Non-existent resource");
  return out;
}

int vrstoreTestGet(vresource h, vname tag, vresource* out) {
  _vresourceRequireOut(out);
  std::uint32_t n;
  Bytes r;
  if (!child(h, tag, &n, &r)) return 0;
  *out = handleOf(h, n);
  return 1;
}

vresource vrstoreMake(vresource h, vname tag) {
  vresource out;
  return vrstoreTestGet(h, tag, &out) ? out : vrstoreCreate(h, tag, vresUNTYPED);
}

namespace {

Bytes emptyRecord(Entry& e, int kind, std::uint32_t parent) {
  switch (kind) {
    case vresUNTYPED: case vresDICTIONARY: {
      Bytes r(8, 0);
      putWord(r.data(), 0x10u | std::uint32_t(kind));
      putWord(r.data() + 4, parent);
      return r;
    }
    case vresSTRING: return stringRecord(parent, nullptr, 0);
    case vresOPAQUE: return opaqueRecord(parent, nullptr, 0);
    case vresTAG: return scalarRecord(kind, parent, tagNumber(e, vnameInternLiteral("<none>")));
    default: return scalarRecord(kind, parent, 0);
  }
}

}  // namespace

vresource vrstoreCreate(vresource h, vname tag, int kind) {
  Entry& e = entryOf(h);
  if (!tag && numberOf(h) == 0) fail(&vexArgClass, "Cannot perform operation on root");
  if (kind == vresARRAY || kind < 0 || kind > vresOPAQUE) fail(&vexArgClass, "Unknown resource type");
  requireWritable(e);
  if (!tag) {
    // Made again in place: what was under it goes, its number and parent stay.
    Bytes old = readOrFail(e, numberOf(h));
    removeTree(e, numberOf(h), 0);
    writeRecord(e, numberOf(h), emptyRecord(e, kind, parentOf(old)));
    return h;
  }
  requireContainer(e, numberOf(h));
  std::uint32_t old;
  if (findChild(e, numberOf(h), tag, &old)) removeFiled(e, numberOf(h), tag, old);
  std::uint32_t n = newNumber(e);
  writeRecord(e, n, emptyRecord(e, kind, numberOf(h)));
  fileChild(e, numberOf(h), tag, n);
  return handleOf(h, n);
}

void vrstoreRemove(vresource h, vname tag) {
  Entry& e = entryOf(h);
  std::uint32_t parent = numberOf(h), n;
  vname under = tag;
  if (!tag && !whereFiled(e, numberOf(h), &parent, &under)) return;
  requireWritable(e);
  if (!findChild(e, parent, under, &n)) return;
  removeFiled(e, parent, under, n);
}

void vrstoreRenameTag(vresource h, vname from, vname to) {
  if (from == to) return;
  Entry& e = entryOf(h);
  requireWritable(e);
  std::uint32_t n, other;
  if (!findChild(e, numberOf(h), from, &n)) fail(&vexArgClass, "Old tag does not exist");
  if (findChild(e, numberOf(h), to, &other)) fail(&vexArgRangeClass, "New tag already exists");
  std::uint8_t key[8], value[4];
  putWord(key, numberOf(h));
  key[0] = 0;
  putWord(key + 4, tagNumber(e, to));
  putWord(value, n);
  vbtreePut(e.tree, key, 8, value, 4);
  putWord(key + 4, tagNumber(e, from));
  if (!vbtreeDelete(e.tree, key, 8)) fail(&vexArgClass, "Cannot delete key");
}

vname vrstoreGetTag(vresource h, vname tag) {
  return tagName(entryOf(h), scalarValue(childOfKind(h, tag, vresTAG)));
}
std::int32_t vrstoreGetInteger(vresource h, vname tag) {
  return std::int32_t(scalarValue(childOfKind(h, tag, vresINTEGER)));
}
std::int32_t vrstoreGetFixed(vresource h, vname tag) {
  return std::int32_t(scalarValue(childOfKind(h, tag, vresFIXED)));
}
double vrstoreGetFloat(vresource h, vname tag) { return bitsFloat(scalarValue(childOfKind(h, tag, vresFLOAT))); }
int vrstoreGetBoolean(vresource h, vname tag) { return scalarValue(childOfKind(h, tag, vresBOOLEAN)) != 0; }
char vrstoreGetCharacter(vresource h, vname tag) {
  Bytes r = childOfKind(h, tag, vresCHARACTER);
  std::uint32_t v = scalarValue(r);
  if (kindOf(r) == KIND_MACCHAR) return char(vcharsetMapChar(2, int(v & 0xFF)));
  if (kindOf(r) == KIND_WIDECHAR) return char(vcharsetNarrowChar(v & 0xFFFF));
  return char(v & 0xFF);
}
std::string vrstoreGetStringText(vresource h, vname tag) { return stringText(childOfKind(h, tag, vresSTRING)); }
vscribe* vrstoreGetString(vresource h, vname tag) {
  std::string s = vrstoreGetStringText(h, tag);
  return vstrScribe(vstrClone(s.c_str()));  // the text outlives s
}

std::size_t vrstoreGetStringRange(vresource h, vname tag, std::size_t offset, char* buffer, std::size_t maximum) {
  return vrstoreCopyRange(vrstoreGetStringText(h, tag), offset, buffer, maximum);
}
std::size_t vrstoreCopyRange(const std::string& s, std::size_t offset, char* buffer, std::size_t maximum) {
  std::size_t count = 0;
  if (offset < s.size() && maximum > 1) count = std::min(maximum - 1, s.size() - offset);
  if (count) std::memcpy(buffer, s.data() + offset, count);
  if (maximum) buffer[count] = 0;
  return count;
}

void* vrstoreGetOpaque(vresource h, vname tag, std::size_t* length) {
  Bytes r = childOfKind(h, tag, vresOPAQUE);
  *length = dataSize(r);
  if (!*length) return nullptr;
  void* block = vmemAlloc(*length);
  std::memcpy(block, dataOf(r), *length);
  return block;
}

int vrstoreTestGetInteger(vresource h, vname tag, std::int32_t* out) {
  _vresourceRequireOut(out);
  std::uint32_t n;
  Bytes r;
  if (!child(h, tag, &n, &r) || kindOf(r) != vresINTEGER) return 0;
  *out = std::int32_t(scalarValue(r));
  return 1;
}

int vrstoreTestGetTag(vresource h, vname tag, vname* out) {
  _vresourceRequireOut(out);
  std::uint32_t n;
  Bytes r;
  if (!child(h, tag, &n, &r) || kindOf(r) != vresTAG) return 0;
  *out = tagName(entryOf(h), scalarValue(r));
  return 1;
}

void vrstoreSetTag(vresource h, vname tag, vname value) {
  Entry& e = entryOf(h);
  requireWritable(e);
  setScalar(h, tag, vresTAG, tagNumber(e, value));
}
void vrstoreSetInteger(vresource h, vname tag, std::int32_t value) {
  setScalar(h, tag, vresINTEGER, std::uint32_t(value));
}
void vrstoreSetFixed(vresource h, vname tag, std::int32_t value) { setScalar(h, tag, vresFIXED, std::uint32_t(value)); }
void vrstoreSetFloat(vresource h, vname tag, double value) { setScalar(h, tag, vresFLOAT, floatBits(value)); }
void vrstoreSetBoolean(vresource h, vname tag, int value) { setScalar(h, tag, vresBOOLEAN, std::uint32_t(value)); }
void vrstoreSetCharacter(vresource h, vname tag, char value) {
  setScalar(h, tag, vresCHARACTER, std::uint8_t(value));
}
void vrstoreSetString(vresource h, vname tag, vscribe* text) {
  char* s = vscribeCreateString(text);
  std::size_t n = std::strlen(s);
  vexGuard([&] { vrstoreSetStringSized(h, tag, s, n); },
           [&](vexHandler&) {
             vscribeFreeString(s);
             _vexGenerate(nullptr, vexEnd);
           });
  vscribeFreeString(s);
}
void vrstoreSetStringSized(vresource h, vname tag, const char* text, std::size_t count) {
  setData(h, tag, stringRecord(0, text, count));
}
void vrstoreSetOpaque(vresource h, vname tag, const void* bytes, std::size_t length) {
  setData(h, tag, opaqueRecord(0, bytes, length));
}

std::int32_t vrstoreCount(vresource h) {
  Entry& e = entryOf(h);
  Bytes r = readOrFail(e, numberOf(h));
  std::uint32_t n;
  if (kindOf(r) == vresDICTIONARY || kindOf(r) == vresUNTYPED) n = entryCount(r);
  else if (kindOf(r) == vresARRAY) n = arrayView(r).count;
  else fail(&vexArgClass, "Neither array nor dictionary");
  if (n > 0x7FFFFFFFu) damaged();
  return std::int32_t(n);
}

vresource vrstoreGetTagAt(vresource h, std::int32_t index, vname* tag) {
  Entry& e = entryOf(h);
  Bytes r = readOrFail(e, numberOf(h));
  if (kindOf(r) != vresDICTIONARY) fail(&vexArgClass, "Not a dictionary");
  if (index < 0 || std::uint32_t(index) >= entryCount(r)) fail(&vexArgRangeClass, "Illegal array index");
  std::vector<DictEntry> list = entriesOf(e, numberOf(h), std::size_t(index) + 1);
  if (list.size() <= std::size_t(index)) damaged();
  if (tag) *tag = tagName(e, list[index].tag);
  return handleOf(h, list[index].child);
}

vname vrstoreGetTagAtOnly(vresource h, std::int32_t index) {
  vname tag;
  vrstoreGetTagAt(h, index, &tag);
  return tag;
}

vresource vrstoreGetParent(vresource h) {
  if (numberOf(h) == 0) return 0;
  return handleOf(h, parentOf(readOrFail(entryOf(h), numberOf(h))));
}
vresource vrstoreGetRoot(vresource h) { return vresource(std::uint32_t(h) & ~NUMBER_MASK); }
std::size_t vrstoreGetSize(vresource h) { return dataSize(readOrFail(entryOf(h), numberOf(h))); }
std::size_t vrstoreGetStringLength(vresource h) {
  Bytes r = readOrFail(entryOf(h), numberOf(h));
  if (reportedKind(kindOf(r)) != vresSTRING) fail(&vexArgClass, "Unknown resource type");
  return kindOf(r) == KIND_WIDESTRING ? dataSize(r) / 2 : dataSize(r);
}
int vrstoreGetType(vresource h, vname tag) {
  if (!tag && numberOf(h) == 0) {
    entryOf(h);
    return vresDICTIONARY;
  }
  std::uint32_t n;
  Bytes r;
  if (!child(h, tag, &n, &r)) fail(&vexArgClass, "Non-existent resource");
  return reportedKind(kindOf(r));
}
std::uint32_t vrstoreGetNumber(vresource h) { return numberOf(h); }
vresource vrstoreFromNumber(vresource h, std::uint32_t number) {
  return number <= NUMBER_MASK && hasRecord(entryOf(h), number) ? handleOf(h, number) : 0;
}
