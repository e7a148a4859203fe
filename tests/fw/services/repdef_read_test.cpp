#include <gtest/gtest.h>

#include <string>

#include "repdef_support.h"

namespace {

Bytes ref(const char* predefinedName) { return Bytes{0x18, 0x1C, 0x1C} + encoded(predefinedName); }

// Each value read as the datatag says, printed through the native it became.
TEST(MarshalRead, BytesOfEveryFormReadAsTheirValues) {
  vdatatag* intArray = arrayOf(predefined(vdatatagINTEGER));
  vdatatag* charArray = arrayOf(predefined(vdatatagCHARACTER));
  vdatatag* unionTag = vdatatagCreate(vdatatagUNION);
  vdatatagAddUnionMember(unionTag, 2, predefined(vdatatagINTEGER));
  vdatatag* dict = vdatatagCreate(vdatatagDICTIONARY);
  vdatatagSetDictEntry(dict, vnameInternLiteral("a"), predefined(vdatatagINTEGER));
  vdatatag* intPointer = pointerTo(predefined(vdatatagINTEGER));
  struct Case {
    const char* name;
    vdatatag* datatag;
    Bytes bytes;
    std::string dump;
  };
  const Case cases[] = {
      {"big-endian two bytes", predefined(vdatatagINTEGER), {0x1D, 0x00, 0xC8}, "200"},
      {"big-endian four bytes", predefined(vdatatagINTEGER), {0x1E, 0x00, 0x01, 0x11, 0x70}, "70000"},
      {"two bytes sign-extended", predefined(vdatatagINTEGER), {0x15, 0x38, 0xFF}, "-200"},
      {"two bytes zero-extended", predefined(vdatatagUNSIGNED_SHORT), {0x11, 0x38, 0xFF}, "65336"},
      {"one byte zero-extended", predefined(vdatatagINTEGER), {0x10, 0xFF}, "255"},
      {"one byte sign-extended", predefined(vdatatagINTEGER), {0x14, 0xFF}, "-1"},
      {"boolean", predefined(vdatatagBOOLEAN), {0x1C}, "TRUE"},
      {"fixed big-endian", predefined(vdatatagFIXED), {0x2A, 0x00, 0x01, 0x80, 0x00}, "1.5"},
      {"fixed in eight bytes", predefined(vdatatagFIXED), {0x23, 0xAA, 0xBB, 0x00, 0x80, 0x01, 0x00, 0xCC, 0xDD}, "1.5"},
      {"fixed in eight bytes big-endian", predefined(vdatatagFIXED), {0x2B, 0xAA, 0xBB, 0x00, 0x01, 0x80, 0x00, 0xCC, 0xDD}, "1.5"},
      {"float big-endian", predefined(vdatatagSINGLE_FLOAT), {0x3C, 0x3F, 0xC0, 0x00, 0x00}, "1.5"},
      {"double big-endian", predefined(vdatatagDOUBLE_FLOAT), {0x3D, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0}, "1.5"},
      {"float widened, bit 3 alone little-endian", predefined(vdatatagDOUBLE_FLOAT), {0x38, 0x00, 0x00, 0xC0, 0x3F}, "1.5"},
      {"64-bit big-endian", predefined(vdatatagLONGLONG), {0x1F, 0, 0, 0, 1, 0, 0, 0, 5}, "[ hi: 1, lo: 5 ]"},
      {"64-bit from four signed bytes", predefined(vdatatagLONGLONG), {0x16, 0xFE, 0xFF, 0xFF, 0xFF}, "[ hi: -1, lo: -2 ]"},
      {"string, big-endian length", predefined(vdatatagSTRING), Bytes{0x4D, 0x03, 0x00, 0x03} + text("abc"), "abc"},
      {"string without length", predefined(vdatatagSTRING), {0x47, 0x03}, ""},
      {"string without set byte", predefined(vdatatagSTRING), Bytes{0x40, 0x03} + text("abc"), "abc"},
      {"latin-1 string", predefined(vdatatagSTRING), {0x44, 0x02, 0x01, 0xE9}, "\xE9"},
      {"Mac Roman string", predefined(vdatatagSTRING), {0x44, 0x04, 0x01, 0x8E}, "\xE9"},
      {"string of set 0", predefined(vdatatagSTRING), {0x44, 0x00, 0x00}, ""},
      {"tag", predefined(vdatatagTAG), encoded("xy"), "xy"},
      {"latin-1 character", predefined(vdatatagCHARACTER), {0x15, 0x41, 0x02}, "A"},
      {"character of set 5", predefined(vdatatagCHARACTER), {0x16, 0xE9, 0x00, 0x00, 0x05}, "\xE9"},
      {"S caron narrowed", predefined(vdatatagCHARACTER), {0x16, 0x60, 0x01, 0x00, 0x05}, "\x8A"},
      {"unmappable character", predefined(vdatatagCHARACTER), {0x16, 0x00, 0x30, 0x00, 0x05}, "\xA0"},
      {"opaque, two-byte size", predefined(vdatatagOPAQUE), {0x51, 0x10, 0x03, 0x00, 0xAA, 0xBB, 0xCC}, "aabbcc"},
      {"scrap, big-endian length", predefined(vdatatagSCRAP), Bytes{0x5E, 0, 0, 0, 15} + ref("Integer") + Bytes{0x14, 7}, "{:: 7 ::}"},
      {"typed array, big-endian count", intArray, {0x59, 0x16, 0x00, 0x02, 1, 0, 0, 0, 2, 0, 0, 0}, "[ 1 2 ]\n"},
      {"typed array, big-endian elements", intArray, {0x50, 0x1E, 0x02, 0, 0, 0, 1, 0, 0, 0, 2}, "[ 1 2 ]\n"},
      {"characters with their sets", charArray, {0x50, 0x15, 0x02, 0x41, 0x03, 0x42, 0x03}, "[ A B ]\n"},
      {"characters after a set byte", charArray, {0x50, 0x10, 0x02, 0x03, 0x41, 0x03, 0x42}, "[ A B ]\n"},
      {"generic array", _vrepdefGetEncodedArray(), Bytes{0x56, 2, 0, 0, 0, 0x1C} + ref("Integer") + Bytes{0x14, 1, 0x18, 0x14, 2}, "[ 1 2 ]\n"},
      {"typed array read generically", _vrepdefGetEncodedArray(), {0x50, 0x12, 0x01, 9, 0, 0, 0}, "[ 9 ]\n"},
      {"union, big-endian switch", unionTag, {0x6B, 0, 0, 0, 2, 0x14, 9}, "[ switch (2) \n9\n]"},
      {"dictionary, big-endian length", dict, Bytes{0x68, 0, 0, 0, 6} + encoded("a") + Bytes{0x14, 1}, "<\na:\t1\n>\n"},
      {"generic dictionary", _vrepdefGetEncodedDictionary(),
       Bytes{0x64, 27, 0, 0, 0} + encoded("a") + Bytes{0x1C} + ref("Integer") + Bytes{0x14, 1} + encoded("b") + Bytes{0x18, 0x14, 2},
       "<\na:\t1\nb:\t2\n>\n"},
      {"pointer", intPointer, {0x1C, 0x14, 0x05}, "{* 5 }"},
      {"null pointer", intPointer, {0x18}, "{* NULL }"},
  };
  for (const Case& c : cases) {
    Raised r;
    std::uint32_t left = 99;
    Owned value{readNative(c.datatag, c.bytes, &r, &left)};
    EXPECT_EQ(r.cls, nullptr) << c.name << "\n" << r.text;
    if (value.o) {
      EXPECT_EQ(dumpText(value.o), c.dump) << c.name;
    }
    EXPECT_EQ(left, 0u) << c.name << ": every byte taken";
  }
  for (vdatatag* d : {intArray, charArray, unionTag, dict, intPointer}) vdatatagDestroy(d);
}

TEST(MarshalRead, DatatagValuesAreFoundOrDefinedAndOutliveTheReader) {
  vdatatag* found = nullptr;
  Owned target{vdatatagCreateScrapFromArgs(predefined(vdatatagDATATAG), &found)};
  {
    TestBlock block(ref("String"));
    Owned reader{_vrepdefCreateScrap(&block.b, predefined(vdatatagDATATAG))};
    _vrepdefRead(static_cast<_vrepdefScrap*>(reader.o), target.o);
  }
  EXPECT_EQ(found, predefined(vdatatagSTRING));
  {
    TestBlock block(Bytes{0x18, 0x18, 0x54} + encoded("vdatatagSizedArrayScrap") + Bytes{0x12, 3, 0, 0, 0} + ref("Boolean"));
    Owned reader{_vrepdefCreateScrap(&block.b, predefined(vdatatagDATATAG))};
    _vrepdefRead(static_cast<_vrepdefScrap*>(reader.o), target.o);
  }
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(vdatatagGetKind(found), vdatatagSIZED_ARRAY);
  EXPECT_EQ(vdatatagGetSizedArrayCount(found), 3);
  EXPECT_EQ(vdatatagGetSizedArrayElement(found), predefined(vdatatagBOOLEAN));
  EXPECT_EQ(found->scrapClass, static_cast<vclass*>(vdatatagGetKindScrapClass(vdatatagSIZED_ARRAY)));
}

struct Refusal {
  const char* name;
  vdatatag* datatag;
  Bytes bytes;
  const vexClass* cls;
  const char* message;  // null: any
};

TEST(MarshalRead, MalformedValuesAreRefusedWithTheirExceptions) {
  vdatatag* intArray = arrayOf(predefined(vdatatagINTEGER));
  vdatatag* sized = vdatatagCreate(vdatatagSIZED_ARRAY);
  vdatatagSetSizedArrayElement(sized, predefined(vdatatagINTEGER));
  vdatatagSetSizedArrayCount(sized, 2);
  vdatatag* unionTag = vdatatagCreate(vdatatagUNION);
  vdatatagAddUnionMember(unionTag, 1, predefined(vdatatagINTEGER));
  vdatatag* dataType = predefined(vdatatagDATATAG);
  vdatatag* sizedOpaque = vdatatagCreate(vdatatagSIZED_OPAQUE);
  vdatatagSetSizedOpaqueSize(sizedOpaque, 4);
  vdatatag* chain = vdatatagCreate(vdatatagPOINTER);
  vdatatagSetPointerTarget(chain, chain);
  vnameInternLiteral("marshalNoSuchDatatag");
  vdatatag* named = vdatatagCreate(vdatatagDICTIONARY);
  vdatatagSetDictEntry(named, vnameInternLiteral("a"), predefined(vdatatagINTEGER));
  vdatatagSetDictEntry(named, vnameInternLiteral("b"), predefined(vdatatagSTRING));
  auto selfDescribed = [](const char* key) {
    Bytes entry = encoded(key) + Bytes{0x1C} + ref("Integer") + Bytes{0x14, 1};
    return Bytes{0x64, static_cast<std::uint8_t>(entry.size()), 0, 0, 0} + entry;
  };
  const Refusal cases[] = {
      {"string for an integer", predefined(vdatatagINTEGER), encoded("a"), &vexDatatagMismatchedClass, nullptr},
      {"bytes missing", predefined(vdatatagINTEGER), {0x16, 0x01, 0x02}, &vexDatatagMismatchedClass, nullptr},
      {"boolean of another tag", predefined(vdatatagBOOLEAN), {0x1D}, &vexDatatagMismatchedClass, nullptr},
      {"eight bytes for an integer", predefined(vdatatagINTEGER), {0x13, 1, 0, 0, 0, 0, 0, 0, 0}, &vexDatatagMismatchedClass, nullptr},
      {"one big-endian byte", predefined(vdatatagINTEGER), {0x18, 0x01}, &vexArgClass, nullptr},
      {"string of set 7", predefined(vdatatagSTRING), {0x44, 0x07, 0x01, 0x41}, &vexModuleUnimplementedClass, "Unsupported character set"},
      {"character of set 9", predefined(vdatatagCHARACTER), {0x15, 0x41, 0x09}, &vexModuleUnimplementedClass, "Unsupported character set"},
      {"opaque of wrong elements", predefined(vdatatagOPAQUE), {0x50, 0x11, 0x01, 0x00, 0x00}, &vexDatatagMismatchedClass, nullptr},
      {"sized opaque of another size", sizedOpaque, {0x50, 0x10, 0x00}, &vexArgRangeClass, nullptr},
      {"array of another group", intArray, {0x14, 0x01}, &vexArgClass, nullptr},
      {"array count beyond the data", intArray, {0x50, 0x16, 0xFF}, &vexArgRangeClass, nullptr},
      {"generic count beyond the data", _vrepdefGetEncodedArray(), {0x56, 0xFF, 0xFF, 0xFF, 0x7F}, &vexArgRangeClass, nullptr},
      {"sized array of another count", sized, {0x50, 0x14, 0x03, 1, 2, 3}, &vexArgRangeClass, nullptr},
      {"dictionary of width 1", _vrepdefGetEncodedDictionary(), {0x61, 0, 0, 0, 0}, &vexDatatagMismatchedClass, nullptr},
      {"dictionary longer than the data", _vrepdefGetEncodedDictionary(), {0x64, 9, 0, 0, 0, 0x44}, &vexDatatagMismatchedClass, nullptr},
      {"entry past the dictionary's length", _vrepdefGetEncodedDictionary(),
       Bytes{0x64, 5, 0, 0, 0} + encoded("a") + Bytes{0x1C} + ref("Integer") + Bytes{0x14, 1}, &vexDatatagMismatchedClass, nullptr},
      {"self-described entry the datatag does not name", named,
       selfDescribed("q"), &vexDatatagMismatchedClass, nullptr},
      {"self-described entry of another datatag", named,
       selfDescribed("b"), &vexDatatagMismatchedClass, nullptr},
      {"union of another tag", unionTag, {0x60, 1, 0, 0, 0}, &vexArgClass, nullptr},
      {"union switch without member", unionTag, {0x63, 5, 0, 0, 0, 0x14, 1}, &vexArgRangeClass, nullptr},
      {"scrap longer than the data", predefined(vdatatagSCRAP), {0x56, 40, 0, 0, 0, 0x18}, &vexDatatagMismatchedClass, nullptr},
      {"scrap value past its length", predefined(vdatatagSCRAP), Bytes{0x56, 13, 0, 0, 0} + ref("Integer") + Bytes{0x14, 7},
       &vexDatatagMismatchedClass, nullptr},
      {"unknown group", dataType, Bytes{0x1C} + encoded("marshalNoSuchGroup") + Bytes{0x1C} + encoded("X"), &vexArgClass,
       "Unknown datatag gruop"},
      {"unknown datatag", dataType, ref("marshalNoSuchDatatag"), &vexDatatagUnknownClass, nullptr},
      {"class of another family", dataType, Bytes{0x18, 0x18, 0x62} + encoded("vsignature") + ref("Integer"),
       &vexArgNotUnderstoodClass, nullptr},
      {"class that does not exist", dataType, Bytes{0x18, 0x18, 0x62} + encoded("marshalNoSuchClass") + ref("Integer"),
       &vexArgNotUnderstoodClass, nullptr},
      {"dictionary definition", dataType, Bytes{0x18, 0x18, 0x60}, &vexModuleUnimplementedClass, "Cannot read datatag defintion yet"},
      {"union definition", dataType, Bytes{0x18, 0x18, 0x63}, &vexModuleUnimplementedClass, "Cannot read datatag defintion yet"},
      {"pointers nested too deeply", chain, Bytes(200, 0x1C), &vexArgRangeClass, nullptr},
      {"definitions nested too deeply", dataType,
       [] {
         Bytes b;
         for (int i = 0; i < 80; ++i) b = b + Bytes{0x18, 0x18, 0x62, 0x43};
         return b;
       }(),
       &vexArgRangeClass, nullptr},
  };
  for (const Refusal& c : cases) {
    Raised r;
    Owned value{readNative(c.datatag, c.bytes, &r)};
    EXPECT_EQ(value.o, nullptr) << c.name;
    EXPECT_EQ(r.cls, c.cls) << c.name << "\n" << r.text;
    if (c.message) {
      EXPECT_EQ(r.message, c.message) << c.name;
    }
    if (c.cls == &vexDatatagMismatchedClass) {
      EXPECT_NE(r.text.find("vdatatag("), std::string::npos) << c.name << ": names the datatag";
    }
  }
  Raised fine;  // a named entry of its own datatag is still taken in the self-describing form
  Owned accepted{readNative(named, selfDescribed("a"), &fine)};
  EXPECT_NE(accepted.o, nullptr) << fine.text;
  Raised unknown;
  Owned none{readNative(dataType, ref("marshalNoSuchDatatag"), &unknown)};
  EXPECT_NE(unknown.text.find("marshalNoSuchDatatag"), std::string::npos) << unknown.text;
  EXPECT_NE(unknown.text.find("_vrepdefReadTag"), std::string::npos) << unknown.text;
  for (vdatatag* d : {intArray, sized, sizedOpaque, unionTag, chain}) vdatatagDestroy(d);
}

}  // namespace

namespace {

TEST(MarshalRead, DefinitionsAreKeptOnceAndDoublesNarrowForSingleFloats) {
  Bytes definition = Bytes{0x18, 0x18, 0x61} + encoded("vdatatagCompoundScrap") + Bytes{0x12, 2, 0, 0, 0} + ref("Integer") +
                     Bytes{0x18, 0x18, 0x5C} + encoded("") + Bytes{0x12, 9, 0, 0, 0};
  vdatatag* seen[2] = {};
  for (vdatatag*& d : seen) {
    Owned target{vdatatagCreateScrapFromArgs(predefined(vdatatagDATATAG), &d)};
    TestBlock block(definition);
    Owned reader{_vrepdefCreateScrap(&block.b, predefined(vdatatagDATATAG))};
    _vrepdefRead(static_cast<_vrepdefScrap*>(reader.o), target.o);
  }
  ASSERT_NE(seen[0], nullptr);
  EXPECT_EQ(seen[0], seen[1]) << "the same definition gives the same datatag";
  vdatatagList* members = vdatatagGetCompoundMembers(seen[0]);
  ASSERT_EQ(_vdatatagListCount(members), 2);
  auto* opaque = static_cast<vdatatag*>(members->begin[1]);
  EXPECT_EQ(vdatatagGetSizedOpaqueSize(opaque), 9);
  EXPECT_EQ(opaque->scrapClass, static_cast<vclass*>(vdatatagGetKindScrapClass(vdatatagSIZED_OPAQUE)));

  Bytes tenth{0x35, 0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F};  // 0.1 as a double
  Owned single{readNative(predefined(vdatatagSINGLE_FLOAT), tenth)};
  Owned twice{readNative(predefined(vdatatagDOUBLE_FLOAT), tenth)};
  EXPECT_EQ(vscrapGetFloat(vscrapWalk(single.o)), static_cast<double>(0.1f));
  EXPECT_EQ(vscrapGetFloat(vscrapWalk(twice.o)), 0.1);
  Raised r;
  Owned huge{readNative(predefined(vdatatagSINGLE_FLOAT), {0x35, 0, 0, 0, 0, 0, 0, 0xF0, 0x47}, &r)};
  EXPECT_EQ(r.cls, &vexArgRangeClass) << "2^128 is beyond a single float";
}

}  // namespace
