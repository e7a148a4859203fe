#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "repdef_support.h"

namespace {

// Written, read into a native scrap, written again: the same bytes.
void expectRoundTrip(const char* name, vdatatag* d, vinstance* value) {
  Bytes first = written(d, value);
  Raised r;
  Owned copy{readNative(d, first, &r)};
  ASSERT_NE(copy.o, nullptr) << name << "\n" << r.text;
  EXPECT_EQ(hex(written(d, copy.o)), hex(first)) << name;
}

TEST(MarshalRoundTrip, EveryKindComesBackAsItWent) {
  static std::int32_t ints[4] = {-70000, 0, 127, -128};
  static std::uint8_t bytes[5] = {0, 1, 0xFE, 0xFF, 7};
  static void* noTarget = nullptr;
  static std::int64_t big = -(std::int64_t{3} << 40);
  vdatatag* intArray = arrayOf(predefined(vdatatagINTEGER));
  vdatatag* unionTag = vdatatagCreate(vdatatagUNION);
  vdatatagAddUnionMember(unionTag, -3, predefined(vdatatagSTRING));
  vdatatagAddUnionMember(unionTag, 8, pointerTo(predefined(vdatatagLONGLONG)));
  vdatatag* longPointer = vdatatagGetUnionMember(unionTag, 8);
  vdatatag* pair = compoundOf({predefined(vdatatagCHARACTER), predefined(vdatatagDOUBLE_FLOAT), predefined(vdatatagTAG)});
  struct Pair {
    char c;
    double d;
    vname t;
  };
  static Pair p{'q', -2.25, nullptr};
  p.t = vnameInternLiteral("tagged");
  static const char* text = "over there";
  Owned held{valueOf(pair, &p)};

  struct Case {
    const char* name;
    vdatatag* datatag;
    vinstance* value;
  };
  const Case cases[] = {
      {"Byte", predefined(vdatatagBYTE), valueOf(predefined(vdatatagBYTE), -100)},
      {"UnsignedShort", predefined(vdatatagUNSIGNED_SHORT), valueOf(predefined(vdatatagUNSIGNED_SHORT), 40000)},
      {"UnsignedInteger", predefined(vdatatagUNSIGNED_INTEGER), valueOf(predefined(vdatatagUNSIGNED_INTEGER), -5)},
      {"Longlong", predefined(vdatatagLONGLONG), valueOf(predefined(vdatatagLONGLONG), big)},
      {"Fixed", predefined(vdatatagFIXED), valueOf(predefined(vdatatagFIXED), -0x28000)},
      {"SingleFloat", predefined(vdatatagSINGLE_FLOAT), valueOf(predefined(vdatatagSINGLE_FLOAT), 0.1)},
      {"DoubleFloat", predefined(vdatatagDOUBLE_FLOAT), valueOf(predefined(vdatatagDOUBLE_FLOAT), 1e300)},
      {"Character", predefined(vdatatagCHARACTER), valueOf(predefined(vdatatagCHARACTER), '\xE9')},
      {"String", predefined(vdatatagSTRING), valueOf(predefined(vdatatagSTRING), text)},
      {"Opaque", predefined(vdatatagOPAQUE), valueOf(predefined(vdatatagOPAQUE), 5, bytes)},
      {"Datatag", predefined(vdatatagDATATAG), valueOf(predefined(vdatatagDATATAG), pair)},
      {"Scrap of a compound", predefined(vdatatagSCRAP), valueOf(predefined(vdatatagSCRAP), held.o)},
      {"typed array", intArray, valueOf(intArray, 4, ints)},
      {"union of a string", unionTag, valueOf(unionTag, -3, &text)},
      {"union of a pointer", unionTag, valueOf(unionTag, 8, &noTarget)},
      {"pointer", longPointer, valueOf(longPointer, static_cast<void*>(&big))},
      {"compound", pair, valueOf(pair, &p)},
  };
  for (const Case& c : cases) {
    Owned value{c.value};
    if (std::string(c.name) == "Scrap of a compound") {
      // The compound's own datatag travels with it; its native copy has none.
      Bytes b = written(c.datatag, c.value);
      Raised r;
      Owned copy{readNative(c.datatag, b, &r)};
      EXPECT_EQ(dumpText(copy.o), "{:: { q -2.25 tagged }\n ::}") << r.text;
      continue;
    }
    expectRoundTrip(c.name, c.datatag, c.value);
  }
  for (vdatatag* d : {intArray, longPointer, unionTag, pair}) vdatatagDestroy(d);
}

// Arrays of compounds of dictionaries, from natives, generic inside.
TEST(MarshalRoundTrip, NestedArraysOfCompoundsOfDictionaries) {
  vdatatag* member = compoundOf({predefined(vdatatagINTEGER), _vrepdefGetEncodedDictionary(), predefined(vdatatagSTRING)});
  vdatatag* array = arrayOf(member);
  Owned source{native(vscrapGetArrayClass())};
  for (int i = 0; i < 3; ++i) {
    vinstance* compound = native(vscrapGetCompoundClass());
    vinstance* dict = native(vscrapGetDictionaryClass());
    vinstance* inner = native(vscrapGetArrayClass());
    vscrapAddCompoundElement(vscrapWalk(inner), integerScrap(i));
    vscrapAddCompoundElement(vscrapWalk(inner), nativeString("in"));
    vscrapSetDictionaryElement(vscrapWalk(dict), vnameInternLiteral("n"), integerScrap(i * 100));
    vscrapSetDictionaryElement(vscrapWalk(dict), vnameInternLiteral("list"), inner);
    vscrapAddCompoundElement(vscrapWalk(compound), integerScrap(-i));
    vscrapAddCompoundElement(vscrapWalk(compound), dict);
    vscrapAddCompoundElement(vscrapWalk(compound), nativeString(std::string(i * 200, 'z').c_str()));
    vscrapAddCompoundElement(vscrapWalk(source.o), compound);
  }
  Bytes first = written(array, source.o);
  EXPECT_EQ(hex(Bytes(first.begin(), first.begin() + 3)), "50 61 03");
  Raised r;
  Owned copy{readNative(array, first, &r)};
  ASSERT_NE(copy.o, nullptr) << r.text;
  EXPECT_EQ(dumpText(copy.o), dumpText(source.o));
  EXPECT_EQ(hex(written(array, copy.o)), hex(first));
  vdatatagDestroy(array);
  vdatatagDestroy(member);
}

// An argument list: the values of a datatag list one after the other.
TEST(MarshalRoundTrip, ArgumentListsByTheirDatatags) {
  vdatatagList list;
  _vdatatagListInit(&list);
  _vdatatagListAppend(&list, predefined(vdatatagINTEGER));
  _vdatatagListAppend(&list, predefined(vdatatagSTRING));
  _vdatatagListAppend(&list, predefined(vdatatagBOOLEAN));
  Owned args{vdatatagCreateListScrapWithValue(&list, 5, "abc", 1)};
  TestBlock block;
  {
    Owned writer{_vrepdefCreateListScrap(&block.b, &list)};
    _vrepdefWrite(static_cast<_vrepdefScrap*>(writer.o), args.o);
  }
  EXPECT_EQ(hex(block.bytes()), hex(Bytes{0x14, 0x05} + encoded("abc") + Bytes{0x1C}));

  TestBlock again(block.bytes());
  Owned reader{_vrepdefCreateListScrap(&again.b, &list)};
  Owned copy{_vrepdefReadNative(static_cast<_vrepdefScrap*>(reader.o))};
  EXPECT_EQ(static_cast<vscrapNativeTypeable*>(copy.o)->delegate->cls, static_cast<vclass*>(vnatscrapGetArglistClass()));
  EXPECT_EQ(dumpText(copy.o), "{ 5 abc TRUE }\n");

  std::int32_t number = 0, flag = 0;
  char* string = nullptr;
  Owned out{vdatatagCreateListScrapFromArgs(&list, &number, &string, &flag)};
  TestBlock third(block.bytes());
  Owned reader2{_vrepdefCreateListScrap(&third.b, &list)};
  _vrepdefRead(static_cast<_vrepdefScrap*>(reader2.o), out.o);
  EXPECT_EQ(number, 5);
  EXPECT_STREQ(string, "abc");
  EXPECT_EQ(flag, 1);
  vstrDestroy(string);
  _vdatatagListFinish(&list);
}

}  // namespace

namespace {

// Integer arrays over C memory take a direct path both ways; it must give
// what element-by-element marshalling gives.
TEST(MarshalRoundTrip, IntegerArraysInCMemoryMatchElementByElement) {
  struct Case {
    int kind;
    std::vector<std::int64_t> values;
  };
  const Case cases[] = {
      {vdatatagBYTE, {-128, 0, 127, -1}},
      {vdatatagUNSIGNED_BYTE, {0, 255, 17}},
      {vdatatagSHORT, {-32768, 32767, -2, 300}},
      {vdatatagUNSIGNED_SHORT, {0, 65535, 256}},
      {vdatatagINTEGER, {INT32_MIN, INT32_MAX, -1, 0}},
      {vdatatagUNSIGNED_INTEGER, {0, 0xFFFFFFFF, 0x80000000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(vdatatagKindName(c.kind));
    vdatatag* array = arrayOf(predefined(c.kind));
    std::size_t width = c.kind <= vdatatagUNSIGNED_BYTE ? 1 : c.kind <= vdatatagUNSIGNED_SHORT ? 2 : 4;
    std::vector<unsigned char> memory(c.values.size() * width);
    Owned natives{native(vscrapGetArrayClass())};
    for (std::size_t i = 0; i < c.values.size(); ++i) {
      auto v = static_cast<std::uint64_t>(c.values[i]);
      for (std::size_t b = 0; b < width; ++b) memory[i * width + b] = static_cast<unsigned char>(v >> (8 * b));
      vscrapAddCompoundElement(vscrapWalk(natives.o), integerScrap(static_cast<std::int32_t>(c.values[i])));
    }
    Owned fromMemory{valueOf(array, static_cast<std::int32_t>(c.values.size()), memory.data())};
    Bytes direct = written(array, fromMemory.o);
    EXPECT_EQ(hex(direct), hex(written(array, natives.o)));

    std::int32_t count = 0;
    void* data = nullptr;
    {
      Owned target{vdatatagCreateScrapFromArgs(array, &count, &data)};
      TestBlock block(direct);
      Owned reader{_vrepdefCreateScrap(&block.b, array)};
      _vrepdefRead(static_cast<_vrepdefScrap*>(reader.o), target.o);
      EXPECT_EQ(vsessionBlockLength(&block.b), 0u);
    }
    ASSERT_EQ(count, static_cast<std::int32_t>(c.values.size()));
    EXPECT_EQ(std::memcmp(data, memory.data(), memory.size()), 0);
    vmemFree(data);
    vdatatagDestroy(array);
  }

  // Read into a narrower kind: each value must fit it.
  vdatatag* wide = arrayOf(predefined(vdatatagINTEGER));
  vdatatag* narrow = arrayOf(predefined(vdatatagBYTE));
  for (const auto& [bytes, fits] : {std::pair{Bytes{0x50, 0x1E, 0x02, 0, 0, 0, 5, 0xFF, 0xFF, 0xFF, 0x80}, true},
                                    std::pair{Bytes{0x50, 0x16, 0x01, 0x2C, 0x01, 0, 0}, false}}) {
    std::int32_t count = 0;
    void* data = nullptr;
    Owned target{vdatatagCreateScrapFromArgs(narrow, &count, &data)};
    TestBlock block(bytes);
    Owned reader{_vrepdefCreateScrap(&block.b, wide)};
    Raised r = raised([&] { _vrepdefRead(static_cast<_vrepdefScrap*>(reader.o), target.o); });
    if (fits) {
      EXPECT_EQ(r.cls, nullptr) << r.text;
      ASSERT_EQ(count, 2);
      EXPECT_EQ(static_cast<std::int8_t*>(data)[0], 5);
      EXPECT_EQ(static_cast<std::int8_t*>(data)[1], -128);
    } else {
      EXPECT_EQ(r.cls, &vexArgRangeClass) << r.text;
    }
    vmemFree(data);
  }
  vdatatagDestroy(wide);
  vdatatagDestroy(narrow);
}

}  // namespace
