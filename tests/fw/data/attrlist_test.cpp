#include "fw/data/attrlist.h"

#include <cstring>
#include <string>

#include "scrap_support.h"

namespace {

vdatatag* P(int kind) { return vdatatagGetPredefined(kind); }

std::string text(vattrlist* l, const char* tag) {
  vscribe* s = vattrlistGetScribed(l, N(tag));
  if (!s) return "(none)";
  char* c = vscribeCreateString(s);
  std::string out = c;
  vscribeFreeString(c);
  return out;
}

struct List {
  vattrlist* l = vattrlistCreate();
  ~List() { vattrlistDestroy(l); }
};

TEST(Attrlist, ValuesAsText) {
  List list;
  vattrlist* l = list.l;
  vattrlistSet(l, N("c"), P(vdatatagCHARACTER), 'z');
  vattrlistSet(l, N("b"), P(vdatatagBYTE), -5);
  vattrlistSet(l, N("ub"), P(vdatatagUNSIGNED_BYTE), 200);
  vattrlistSet(l, N("s"), P(vdatatagSHORT), -300);
  vattrlistSet(l, N("us"), P(vdatatagUNSIGNED_SHORT), 65535);
  vattrlistSet(l, N("i"), P(vdatatagINTEGER), INT32_MIN);
  vattrlistSet(l, N("ui"), P(vdatatagUNSIGNED_INTEGER), 4000000000u);
  vattrlistSet(l, N("f"), P(vdatatagSINGLE_FLOAT), 1.5);
  vattrlistSet(l, N("d"), P(vdatatagDOUBLE_FLOAT), -0.25);
  char name[] = "hello";
  vattrlistSet(l, N("str"), P(vdatatagSTRING), name);
  vattrlistSet(l, N("t"), P(vdatatagTAG), N("Blue"));
  struct Row {
    const char* tag;
    const char* text;
  } rows[] = {{"c", "z"},           {"b", "-5"},      {"ub", "200"}, {"s", "-300"},       {"us", "65535"},
              {"i", "-2147483648"}, {"ui", "4000000000"}, {"f", "1.5"}, {"d", "-0.25"}, {"str", "hello"},
              {"t", "Blue"},        {"absent", "(none)"}};
  for (const Row& r : rows) EXPECT_EQ(text(l, r.tag), r.text) << r.tag;
  name[0] = 'j';  // the list keeps its own copy
  EXPECT_EQ(text(l, "str"), "hello");
  EXPECT_EQ(vattrlistGetTag(l, N("t")), N("Blue"));
  EXPECT_EQ(vattrlistGetTag(l, N("str")), N("hello"));
  EXPECT_EQ(vattrlistGetTag(l, N("absent")), nullptr);

  vattrlistSet(l, N("bool"), P(vdatatagBOOLEAN), 1);
  vattrlistSet(l, N("ll"), P(vdatatagLONGLONG), INT64_C(-4000000000));
  vattrlistSet(l, N("fx"), P(vdatatagFIXED), 0x10000);
  for (const char* tag : {"bool", "ll", "fx"}) {
    Raised r = raised([&] { vattrlistGetScribed(l, N(tag)); });
    EXPECT_EQ(r.cls, &vexDatatagMismatchedClass) << tag;
    EXPECT_EQ(r.message, "Attribute cannot be scribed");
  }
  Raised r = raised([&] { vattrlistGetTag(l, N("i")); });
  EXPECT_EQ(r.message, "Not a tag");
  // The 64-bit values keep all their bits in the slot.
  vattrlistSet(l, N("third"), P(vdatatagDOUBLE_FLOAT), 1.0 / 3);
  vattrlistIterator it;
  vattrlistInitIterator(&it, l);
  int seen = 0;
  while (vattrlistNextIterator(&it)) {
    std::intptr_t w = vattrlistIteratorWord(&it);
    if (vattrlistIteratorTag(&it) == N("ll")) {
      EXPECT_EQ(w, INT64_C(-4000000000));
      ++seen;
    }
    if (vattrlistIteratorTag(&it) == N("third")) {
      double d;
      std::memcpy(&d, &w, sizeof d);
      EXPECT_EQ(d, 1.0 / 3);
      ++seen;
    }
  }
  EXPECT_EQ(seen, 2);
}

TEST(Attrlist, ReplacingFailingAndRemoving) {
  List list;
  vattrlist* l = list.l;
  vattrlistSet(l, N("a"), P(vdatatagSTRING), "first");
  vattrlistSet(l, N("a"), P(vdatatagINTEGER), 7);  // frees the string
  EXPECT_EQ(text(l, "a"), "7");
  EXPECT_EQ(raised([&] { vattrlistGetTag(l, N("a")); }).message, "Not a tag");

  // A value the datatag refuses leaves the attribute without a value: the
  // old one is freed, never kept beside a failed set.
  vattrlistSet(l, N("a"), P(vdatatagSTRING), "kept");
  EXPECT_EQ(raised([&] { vattrlistSet(l, N("a"), P(vdatatagBOOLEAN), 2); }).cls, &vexScrapCannotConvertClass);
  EXPECT_EQ(text(l, "a"), "(none)");
  vattrlistSet(l, N("a"), P(vdatatagSTRING), "kept");
  EXPECT_EQ(raised([&] { vattrlistSet(l, N("a"), P(vdatatagSINGLE_FLOAT), 1e39); }).cls, &vexScrapCannotConvertClass);
  EXPECT_EQ(text(l, "a"), "(none)");
  // Kinds larger than the slot, or without a layout, are refused.
  vdatatag* big = vdatatagCreate(vdatatagSIZED_ARRAY);
  vdatatagSetSizedArrayElement(big, P(vdatatagINTEGER));
  vdatatagSetSizedArrayCount(big, 4);
  std::int32_t four[4] = {1, 2, 3, 4};
  vattrlistSet(l, N("a"), P(vdatatagSTRING), "kept");
  Raised r = raised([&] { vattrlistSet(l, N("a"), big, four); });
  EXPECT_EQ(r.message, "Attribute value does not fit its slot");
  EXPECT_EQ(text(l, "a"), "(none)");
  vattrlistSet(l, N("a"), P(vdatatagSTRING), "kept");
  EXPECT_EQ(raised([&] { vattrlistSet(l, N("a"), P(vdatatagOPAQUE), 2, "xy"); }).cls, &vexScrapUnimplementedClass);
  EXPECT_EQ(text(l, "a"), "(none)");
  // A narrow integer outside its range is refused, not stored truncated
  // (300 as a Byte would read back 44); the edges are taken.
  struct {
    int kind, low, high;
  } narrow[] = {{vdatatagBYTE, -128, 127},
                {vdatatagUNSIGNED_BYTE, 0, 255},
                {vdatatagSHORT, -32768, 32767},
                {vdatatagUNSIGNED_SHORT, 0, 65535}};
  for (const auto& k : narrow) {
    for (int bad : {k.low - 1, k.high + 1, k.high + 173}) {
      vattrlistSet(l, N("n"), P(vdatatagINTEGER), 9);
      EXPECT_EQ(raised([&] { vattrlistSet(l, N("n"), P(k.kind), bad); }).cls, &vexArgRangeClass) << k.kind << " " << bad;
      EXPECT_EQ(text(l, "n"), "(none)") << k.kind << " " << bad;
    }
    vattrlistSet(l, N("n"), P(k.kind), k.low);
    EXPECT_EQ(text(l, "n"), std::to_string(k.low));
    vattrlistSet(l, N("n"), P(k.kind), k.high);
    EXPECT_EQ(text(l, "n"), std::to_string(k.high));
  }
  EXPECT_EQ(raised([&] { vattrlistSet(l, N("n"), P(vdatatagBYTE), 300); }).cls, &vexArgRangeClass);

  vattrlistSet(l, N("a"), nullptr);
  EXPECT_EQ(vattrlistGetScribed(l, N("a")), nullptr);
  vattrlistSet(l, N("a"), nullptr);  // removing an absent attribute
  vdatatagDestroy(big);
}

TEST(Attrlist, CopiesOwnTheirValues) {
  vattrlist* source = vattrlistCreate();
  vattrlistSet(source, N("s"), P(vdatatagSTRING), "shared?");
  vinstance* seven = integerScrap(7);
  vattrlistSet(source, N("x"), P(vdatatagSCRAP), seven);
  vinstanceDestroy(seven);  // the list took its own copy
  vattrlistSet(source, N("n"), P(vdatatagUNSIGNED_SHORT), 9);
  vattrlist copy;
  vattrlistCopy(source, &copy);
  vattrlistDestroy(source);
  EXPECT_EQ(text(&copy, "s"), "shared?");
  EXPECT_EQ(text(&copy, "n"), "9");
  vattrlistIterator it;
  vattrlistInitIterator(&it, &copy);
  int scraps = 0;
  while (vattrlistNextIterator(&it))
    if (vdatatagGetKind(vattrlistIteratorDatatag(&it)) == vdatatagSCRAP) {
      EXPECT_EQ(vscrapGetInteger(vscrapWalk(reinterpret_cast<vinstance*>(vattrlistIteratorWord(&it)))), 7);
      ++scraps;
    }
  EXPECT_EQ(scraps, 1);
  vattrlistDestroy(&copy);
}

}  // namespace
