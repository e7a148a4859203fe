#include "fw/data/ndx.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/ex.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

template <class F>
const vexClass* raised(F body) {
  const vexClass* cls = nullptr;
  vexGuard(body, [&](vexHandler& h) {
    cls = vexGetCurrentException()->cls;
    vexSetCurrentException(h.savedChain);
  });
  return cls;
}

TEST(IndexSets, RowsAreReusedAndCapacityDoubles) {
  vndx* s = vndxCreateSized(2, 3);
  EXPECT_FALSE(vndxRowExists(s, 1));
  EXPECT_EQ(vndxAddRow(s), 1);
  vndxRemoveRow(s, 1);
  EXPECT_EQ(vndxAddRow(s), 1);
  EXPECT_EQ(vndxAddRow(s), 2);
  EXPECT_EQ(vndxAddRow(s), 3);  // the set was full: its capacity doubled
  EXPECT_EQ(s->capacity, 4);
  vndxSetCell(s, 3, 2, 0xDEADBEEF);
  vndxRemoveRow(s, 2);
  EXPECT_EQ(vndxNextRow(s, 0), 1);
  EXPECT_EQ(vndxNextRow(s, 1), 3);
  EXPECT_EQ(vndxNextRow(s, 3), 0);
  EXPECT_EQ(raised([&] { vndxSetCell(s, 5, 0, 1); }), &vexArgRangeClass);

  Bytes bytes(vndxSerialSize(s));
  EXPECT_EQ(vndxWrite(s, bytes.data()), bytes.data() + bytes.size());
  vndx* back = vndxRead(bytes.data(), bytes.size());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->capacity, 3);
  EXPECT_TRUE(vndxRowExists(back, 1) && !vndxRowExists(back, 2) && vndxRowExists(back, 3));
  EXPECT_EQ(vndxGetCell(back, 3, 2), 0xDEADBEEFu);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) EXPECT_EQ(vndxRead(bytes.data(), cut), nullptr) << cut;
  Bytes huge = {0x01, 0x01, 0x00, 0x04, 0x7F, 0xFF, 0xFF, 0xFF, 0x04, 0x7F, 0xFF, 0xFF, 0xFF};  // rows x columns too many
  EXPECT_EQ(vndxRead(huge.data(), huge.size()), nullptr);
  vndxDestroy(back);
  vndxDestroy(s);
}

TEST(TagTables, SharedPrefixesRoundTrip) {
  vndxTagTable* t = vndxCreateTagTable();
  std::vector<std::string> names = {"Title", "TitleBarColour", "TitleBarColourOfTheWindow", "TitleBarColourOfTheWindowX",
                                    "Width"};
  for (const auto& n : names) vndxTagNumber(t, vnameInternLiteral(n.c_str()));
  EXPECT_EQ(vndxTagNumber(t, vnameInternLiteral("Title")), 1);
  EXPECT_EQ(t->longest, 26);
  Bytes bytes(vndxTagTableSerialSize(t));
  vndxWriteTagTable(t, bytes.data());
  // "TitleBarColourOfTheWindowX" shares 25 characters but records 15.
  std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("\xF1\x1A" "fTheWindowX"), std::string::npos);
  vndxTagTable* back = vndxReadTagTable(bytes.data(), bytes.size());
  ASSERT_NE(back, nullptr);
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(vndxTagOf(back, static_cast<std::int32_t>(i + 1)), vnameInternLiteral(names[i].c_str()));
  EXPECT_EQ(vndxTagOf(back, 99), nullptr);
  // A shared count longer than the previous tag is refused.
  Bytes bad = {0x01, 0x01, 0x00, 0x01, 0x01, 0x02, 0x01, 0x01, 0x01, 0x31, 0x01, 'x'};
  EXPECT_EQ(vndxReadTagTable(bad.data(), bad.size()), nullptr);
  vndxDestroyTagTable(back);
  vndxDestroyTagTable(t);
}

TEST(ShapeTables, SameTagsReachTheSameShape) {
  vndxShapeTable* t = vndxCreateShapeTable();
  vname a = vnameInternLiteral("a"), b = vnameInternLiteral("b"), c = vnameInternLiteral("c");
  vndxShape* empty = vndxLookup(t, 0);
  vndxShape* ab = vndxGetChild(t, vndxGetChild(t, empty, a, 0), b, 1);
  vndxShape* ba = vndxGetChild(t, vndxGetChild(t, empty, b, 1), a, 0);
  EXPECT_EQ(ab, ba);
  EXPECT_EQ(ab->references, 2);
  EXPECT_EQ(_vndxFindString(ab, b), 1);
  EXPECT_EQ(_vndxFindString(ab, c), -1);
  EXPECT_EQ(raised([&] { vndxGetChild(t, ab, a, 0); }), &vexArgClass);
  vndxShape* abc = vndxGetChild(t, ab, c, 0);
  EXPECT_EQ(vndxGetParent(t, abc, c, 0), ab);
  EXPECT_EQ(vndxShapeCount(t), 1);  // only ab is held now

  vndxTagTable* tags = vndxCreateTagTable();
  Bytes bytes(vndxShapeTableSerialSize(t, tags));
  vndxWriteShapeTable(t, tags, bytes.data());
  vndxShapeTable* back = vndxReadShapeTable(bytes.data(), bytes.size(), tags);
  ASSERT_NE(back, nullptr);
  vndxShape* again = vndxLookup(back, ab->number);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->tags, ab->tags);
  EXPECT_EQ(again->key, ab->key);
  vndxShape* readA = vndxGetChild(back, vndxLookup(back, 0), a, 0);
  EXPECT_EQ(readA->tags.size(), 1u);
  // A shape read back is reached again from one made after the read.
  EXPECT_EQ(vndxGetChild(back, readA, b, 1), again);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) EXPECT_EQ(vndxReadShapeTable(bytes.data(), cut, tags), nullptr);
  vndxDestroyShapeTable(back);
  vndxDestroyShapeTable(t);
  vndxDestroyTagTable(tags);
}

}  // namespace
