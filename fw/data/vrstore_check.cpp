// The start-up check of a ".vr" file: every record the text form reads,
// read by the same lookups and refused for the same faults, in the same
// order, but each record read once and each dictionary's entries listed
// once instead of once per entry.
#include "fw/data/vrstore_check.h"

#include <vector>

#include "fw/data/vrstore_internal.h"

namespace {

using namespace vrs;

[[noreturn]] void absent() { fail(&vexArgClass, "Non-existent resource"); }

Bytes recordOf(Entry& e, std::uint32_t n) {
  Bytes r;
  if (!readRecord(e, n, r)) absent();
  return r;
}

struct Walk {
  Entry& e;

  // A dictionary, or whatever an element of a dictionary array names.
  void entries(std::uint32_t d, const Bytes& r) {
    int kind = kindOf(r);
    std::uint32_t n = 0;
    if (kind == vresDICTIONARY || kind == vresUNTYPED) n = entryCount(r);
    else if (kind == vresARRAY) n = arrayView(r).count;
    else fail(&vexArgClass, "Neither array nor dictionary");
    if (n > 0x7FFFFFFFu) damaged();
    if (n == 0) return;
    if (kind != vresDICTIONARY) fail(&vexArgClass, "Not a dictionary");
    std::vector<DictEntry> list;
    // A listing that raises is taken again entry by entry, so that the
    // raise comes after the entries before it, as when read one at a time.
    bool whole = vexTry([&] { list = entriesOf(e, d, n); });
    for (std::uint32_t i = 0; i < n; ++i) {
      if (!whole) list = entriesOf(e, d, std::size_t(i) + 1);
      if (list.size() <= i) damaged();
      tagName(e, list[i].tag);
      value(list[i].child);
    }
  }

  void value(std::uint32_t c) {
    if (c == 0) damaged();  // the root filed under itself; an open refuses it first
    Bytes r = recordOf(e, c);
    switch (reportedKind(kindOf(r))) {
      case vresDICTIONARY: entries(c, r); break;
      case vresARRAY: array(c, r); break;
      case vresTAG: tagName(e, scalarValue(r)); break;
      case vresSTRING: stringText(r); break;
      case vresOPAQUE: dataSize(r); break;
      default: break;  // every scalar value reads
    }
  }

  void array(std::uint32_t a, const Bytes& r) {
    if (kindOf(r) != vresARRAY) fail(&vexArgClass, "Not an array");
    ArrayView v = arrayView(r);
    if (v.count > 0x7FFFFFFFu) damaged();
    if (v.count && a == 0) fail(&vexArgClass, "Cannot perform operation on root");
    int kind = reportedKind(v.elementKind);
    for (std::uint32_t i = 0; i < v.count; ++i) {
      std::uint32_t x = elementAt(r, v, i);
      if (kind == vresTAG) tagName(e, x);
      if (!x || !holdsRecords(kind)) continue;  // 0: no record in that place
      Bytes element = recordOf(e, x);
      if (kind == vresDICTIONARY) {
        entries(x, element);
      } else if (kind == vresARRAY) {
        array(x, element);
      } else if (kind == vresSTRING) {
        if (reportedKind(kindOf(element)) != vresSTRING || parentOf(element) != a) absent();
        stringText(element);
      } else if (reportedKind(kindOf(element)) != vresOPAQUE) {
        absent();
      }
    }
  }
};

}  // namespace

void vrstoreCheckTree(vresource root) {
  Entry& e = entryOf(root);
  Walk{e}.entries(numberOf(root), recordOf(e, numberOf(root)));
}
