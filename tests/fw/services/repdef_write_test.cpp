#include <gtest/gtest.h>

#include <string>

#include "repdef_support.h"

namespace {

struct WriteCase {
  const char* name;
  vdatatag* datatag;
  vinstance* value;  // owned by the case
  Bytes expected;
};

TEST(MarshalWrite, EachKindWritesItsBytes) {
  static std::int32_t booleans[3] = {1, 0, 1};
  static std::uint8_t opaque[3] = {1, 2, 3};
  static std::int32_t five = 5, nine = 9;
  static char abc[] = "abc";
  std::string long300(300, 'x');
  vdatatag* integer = predefined(vdatatagINTEGER);
  vdatatag* unionTag = vdatatagCreate(vdatatagUNION);
  vdatatagAddUnionMember(unionTag, 2, integer);
  vdatatag* intPointer = pointerTo(integer);
  vdatatag* boolArray = arrayOf(predefined(vdatatagBOOLEAN));
  vdatatag* sizedOpaque = vdatatagCreate(vdatatagSIZED_OPAQUE);
  vdatatagSetSizedOpaqueSize(sizedOpaque, 3);

  Owned held{integerScrap(7)};
  Bytes integerRef = Bytes{0x18, 0x1C, 0x1C} + encoded("Integer");

  const WriteCase cases[] = {
      {"Integer 200 exceeds 127", integer, valueOf(integer, 200), {0x15, 0xC8, 0x00}},
      {"UnsignedInteger 200", predefined(vdatatagUNSIGNED_INTEGER), valueOf(predefined(vdatatagUNSIGNED_INTEGER), 200), {0x10, 0xC8}},
      {"Integer -128 takes two bytes", integer, valueOf(integer, -128), {0x15, 0x80, 0xFF}},
      {"Integer -127", integer, valueOf(integer, -127), {0x14, 0x81}},
      {"Integer 70000", integer, valueOf(integer, 70000), {0x16, 0x70, 0x11, 0x01, 0x00}},
      {"Byte 127", predefined(vdatatagBYTE), valueOf(predefined(vdatatagBYTE), 127), {0x14, 0x7F}},
      {"UnsignedShort 65535", predefined(vdatatagUNSIGNED_SHORT), valueOf(predefined(vdatatagUNSIGNED_SHORT), 65535), {0x11, 0xFF, 0xFF}},
      {"UnsignedInteger 2^32-1", predefined(vdatatagUNSIGNED_INTEGER), valueOf(predefined(vdatatagUNSIGNED_INTEGER), -1), {0x12, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"Boolean true", predefined(vdatatagBOOLEAN), valueOf(predefined(vdatatagBOOLEAN), 1), {0x1C}},
      {"Boolean false", predefined(vdatatagBOOLEAN), valueOf(predefined(vdatatagBOOLEAN), 0), {0x18}},
      {"Character", predefined(vdatatagCHARACTER), valueOf(predefined(vdatatagCHARACTER), 'A'), {0x15, 0x41, 0x03}},
      {"Longlong 2^32+5", predefined(vdatatagLONGLONG), valueOf(predefined(vdatatagLONGLONG), (std::int64_t{1} << 32) + 5), {0x17, 5, 0, 0, 0, 1, 0, 0, 0}},
      {"UnsignedLonglong", predefined(vdatatagUNSIGNED_LONGLONG), valueOf(predefined(vdatatagUNSIGNED_LONGLONG), std::int64_t{-1}), {0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"Fixed 1.5", predefined(vdatatagFIXED), valueOf(predefined(vdatatagFIXED), 0x18000), {0x22, 0x00, 0x80, 0x01, 0x00}},
      {"SingleFloat 1.5", predefined(vdatatagSINGLE_FLOAT), valueOf(predefined(vdatatagSINGLE_FLOAT), 1.5), {0x34, 0x00, 0x00, 0xC0, 0x3F}},
      {"DoubleFloat 1.5", predefined(vdatatagDOUBLE_FLOAT), valueOf(predefined(vdatatagDOUBLE_FLOAT), 1.5), {0x35, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},
      {"String", predefined(vdatatagSTRING), valueOf(predefined(vdatatagSTRING), abc), encoded("abc")},
      {"String of 300 characters", predefined(vdatatagSTRING), valueOf(predefined(vdatatagSTRING), long300.c_str()), Bytes{0x45, 0x03, 0x2C, 0x01} + text(long300.c_str())},
      {"empty string", predefined(vdatatagSTRING), nativeString(""), {0x44, 0x03, 0x00}},
      {"Tag", predefined(vdatatagTAG), valueOf(predefined(vdatatagTAG), vnameInternLiteral("xy")), encoded("xy")},
      {"Opaque", predefined(vdatatagOPAQUE), valueOf(predefined(vdatatagOPAQUE), 3, opaque), {0x50, 0x10, 0x03, 1, 2, 3}},
      {"SizedOpaque", sizedOpaque, valueOf(sizedOpaque, opaque), {0x50, 0x10, 0x03, 1, 2, 3}},
      {"null pointer", intPointer, valueOf(intPointer, static_cast<void*>(nullptr)), {0x18}},
      {"pointer", intPointer, valueOf(intPointer, static_cast<void*>(&five)), {0x1C, 0x14, 0x05}},
      {"union", unionTag, valueOf(unionTag, 2, &nine), {0x63, 0x02, 0, 0, 0, 0x14, 0x09}},
      {"three booleans typed", boolArray, valueOf(boolArray, 3, booleans), {0x50, 0x18, 0x03, 0x1C, 0x18, 0x1C}},
      {"scrap", predefined(vdatatagSCRAP), valueOf(predefined(vdatatagSCRAP), held.o),
       Bytes{0x56, 15, 0, 0, 0} + integerRef + Bytes{0x14, 0x07}},
  };
  for (const WriteCase& c : cases) {
    Owned value{c.value};
    EXPECT_EQ(hex(written(c.datatag, c.value)), hex(c.expected)) << c.name;
  }
  for (vdatatag* d : {unionTag, intPointer, boolArray, sizedOpaque}) vdatatagDestroy(d);
}

TEST(MarshalWrite, DatatagReferencesTakeTheirThreeForms) {
  vdatatagGroup* group = vdatatagGroupCreate();
  vdatatagGroupSetName(group, vnameInternLiteral("marshalTest"));
  vdatatag* point = compoundOf({predefined(vdatatagINTEGER), predefined(vdatatagSTRING)});
  vdatatagGroupAddDatatag(group, vnameInternLiteral("Point"), point);
  vdatatag* anonymous = pointerTo(predefined(vdatatagINTEGER));
  vdatatag* sized = vdatatagCreate(vdatatagSIZED_ARRAY);
  vdatatagSetSizedArrayElement(sized, predefined(vdatatagBOOLEAN));
  vdatatagSetSizedArrayCount(sized, 258);
  vdatatag* pair = compoundOf({predefined(vdatatagTAG), point});
  vdatatag* asValue = predefined(vdatatagDATATAG);
  struct Case {
    const char* name;
    vdatatag* referred;
    Bytes expected;
  };
  const Case cases[] = {
      {"predefined", predefined(vdatatagSTRING), Bytes{0x18, 0x1C, 0x1C} + encoded("String")},
      {"named group", point, Bytes{0x1C} + encoded("marshalTest") + Bytes{0x1C} + encoded("Point")},
      {"anonymous pointer", anonymous,
       Bytes{0x18, 0x18, 0x62} + encoded("vdatatagPointerScrap") + Bytes{0x18, 0x1C, 0x1C} + encoded("Integer")},
      {"sized array definition", sized,
       Bytes{0x18, 0x18, 0x54} + encoded("vdatatagSizedArrayScrap") + Bytes{0x12, 0x02, 0x01, 0, 0} +
           Bytes{0x18, 0x1C, 0x1C} + encoded("Boolean")},
      {"compound definition", pair,
       Bytes{0x18, 0x18, 0x61} + encoded("vdatatagCompoundScrap") + Bytes{0x12, 0x02, 0, 0, 0} +
           Bytes{0x18, 0x1C, 0x1C} + encoded("Tag") + Bytes{0x1C} + encoded("marshalTest") + Bytes{0x1C} + encoded("Point")},
  };
  for (const Case& c : cases) {
    Owned value{valueOf(asValue, c.referred)};
    EXPECT_EQ(hex(written(asValue, value.o)), hex(c.expected)) << c.name;
  }
  for (vdatatag* d : {anonymous, sized, pair}) vdatatagDestroy(d);
  vdatatagGroupDestroy(group);
}

TEST(MarshalWrite, DictionariesRewriteTheirLength) {
  vdatatag* typed = vdatatagCreate(vdatatagDICTIONARY);
  vdatatagSetDictEntry(typed, vnameInternLiteral("a"), predefined(vdatatagINTEGER));
  vdatatagSetDictEntry(typed, vnameInternLiteral("bb"), predefined(vdatatagSTRING));
  Owned one{native(vscrapGetDictionaryClass())};
  vscrapSetDictionaryElement(vscrapWalk(one.o), vnameInternLiteral("a"), integerScrap(1));
  EXPECT_EQ(hex(written(typed, one.o)), hex(Bytes{0x60, 6, 0, 0, 0} + encoded("a") + Bytes{0x14, 0x01}));

  vscrapSetDictionaryElement(vscrapWalk(one.o), vnameInternLiteral("bb"), nativeString("xyz"));
  Bytes two = written(typed, one.o);
  ASSERT_EQ(two.size(), 5u + 6 + 5 + 6);
  EXPECT_EQ(two[1], 17) << "the length counts every entry written";

  // The generic form marks each value's datatag, 0x18 when it repeats.
  vscrapSetDictionaryElement(vscrapWalk(one.o), vnameInternLiteral("bb"), integerScrap(2));
  Bytes generic = written(_vrepdefGetEncodedDictionary(), one.o);
  Bytes integerRef = Bytes{0x18, 0x1C, 0x1C} + encoded("Integer");
  ASSERT_EQ(generic.size(), 5u + 4 + 1 + integerRef.size() + 2 + 5 + 1 + 2);
  EXPECT_EQ(generic[0], 0x64);
  EXPECT_EQ(generic[1], generic.size() - 5);
  EXPECT_EQ(hex(generic).find(hex(integerRef)), hex(generic).rfind(hex(integerRef))) << "one reference, one repeat";
  vdatatagDestroy(typed);
}

TEST(MarshalWrite, GenericArraysMarkEachElementsType) {
  Owned array{native(vscrapGetArrayClass())};
  vscrap w = vscrapWalk(array.o);
  vscrapAddCompoundElement(w, integerScrap(1));
  vscrapAddCompoundElement(w, integerScrap(2));
  vscrapAddCompoundElement(w, nativeString("x"));
  EXPECT_EQ(hex(written(_vrepdefGetEncodedArray(), array.o)),
            hex(Bytes{0x56, 3, 0, 0, 0, 0x1C, 0x18, 0x1C, 0x1C} + encoded("Integer") + Bytes{0x14, 0x01, 0x18, 0x14, 0x02} +
                Bytes{0x1C, 0x18, 0x1C, 0x1C} + encoded("String") + encoded("x")));
}

// A refusal leaves the block as the writer found it.
TEST(MarshalWrite, RefusalsRaiseAndLeaveTheBlockAsItWas) {
  vdatatag* dict = vdatatagCreate(vdatatagDICTIONARY);
  vdatatag* sized = vdatatagCreate(vdatatagSIZED_ARRAY);
  vdatatagSetSizedArrayElement(sized, predefined(vdatatagINTEGER));
  vdatatagSetSizedArrayCount(sized, 2);
  vdatatag* unionTag = vdatatagCreate(vdatatagUNION);
  vdatatagAddUnionMember(unionTag, 1, predefined(vdatatagINTEGER));
  vdatatag* arrays = arrayOf(arrayOf(predefined(vdatatagINTEGER)));
  static std::int32_t three[3] = {1, 2, 3}, one = 1;

  Owned unsupported{native(vscrapGetArrayClass())};
  vscrapAddCompoundElement(vscrapWalk(unsupported.o), integerScrap(1));
  vscrapAddCompoundElement(vscrapWalk(unsupported.o), vinstanceCreate(vnatscrapGetPointerClass()));
  Owned native3{native(vscrapGetArrayClass())};
  vscrapSetArrayCount(vscrapWalk(native3.o), 3);
  for (int i = 0; i < 3; ++i) vscrapSetArrayElement(vscrapWalk(native3.o), i, integerScrap(i));

  Owned memberless{native(vnatscrapGetUnionClass())};
  static_cast<_vnatscrapUnion*>(memberless.o)->selector = 1;

  struct Case {
    const char* name;
    vdatatag* datatag;
    vinstance* value;
    bool owned;
    const vexClass* cls;
    const char* message;
  };
  const Case cases[] = {
      {"anonymous dictionary datatag", predefined(vdatatagDATATAG), valueOf(predefined(vdatatagDATATAG), dict), true,
       &vexModuleUnimplementedClass, "Cannot write datatag defintion yet"},
      {"pointer in a generic array", _vrepdefGetEncodedArray(), unsupported.o, false, &vexArgClass, "Unsupported scrap class"},
      {"sized array of another count", sized, native3.o, false, &vexArgRangeClass, nullptr},
      {"union switch without member", unionTag, valueOf(unionTag, 7, &one), true, &vexArgRangeClass, nullptr},
      {"union without member", unionTag, memberless.o, false, &vexArgNullClass, "Union without a member"},
      {"array of arrays", arrays, valueOf(arrays, 3, three), true, &vexModuleUnimplementedClass, nullptr},
  };
  for (const Case& c : cases) {
    TestBlock block(Bytes{0xAA});
    Owned writer{_vrepdefCreateScrap(&block.b, c.datatag)};
    Raised r = raised([&] { _vrepdefWrite(static_cast<_vrepdefScrap*>(writer.o), c.value); });
    EXPECT_EQ(r.cls, c.cls) << c.name << "\n" << r.text;
    if (c.message) {
      EXPECT_EQ(r.message, c.message) << c.name;
    }
    EXPECT_EQ(hex(block.bytes()), "AA") << c.name;
    if (c.owned) vinstanceDestroy(c.value);
  }
  for (vdatatag* d : {dict, sized, unionTag, static_cast<vdatatagElementOf*>(arrays)->element, arrays}) vdatatagDestroy(d);
}

// A state record without the flag of its composite cannot be released.
TEST(MarshalWrite, AStateWithoutItsFlagIsAnUnknownDelegateType) {
  TestBlock block;
  auto* s = _vrepdefCreateScrap(&block.b, _vrepdefGetEncodedArray());
  std::int32_t record[4] = {};
  s->state = record;
  Raised r = raised([&] { vinstanceDestroy(s); });
  EXPECT_EQ(r.cls, &vexArgClass);
  EXPECT_EQ(r.message, "Unknown delegate type");
}

}  // namespace
