#include "fw/core/name.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// Worked by hand: h = h * 16 + byte, then h ^= (h & 0xF0FFFFFF) >> 24.
TEST(Names, HashByTheFormula) {
  struct Case {
    const char* text;
    std::uint32_t hash;
  } cases[] = {
      {"", 0},
      {"Key", 0x51C9},               // 0x4B, 0x4B5 + 0x60 = 0x515, 0x5150 + 0x79 = 0x51C9
      {"\xC4x", 0xCB8},              // a byte above 127 counts unsigned: 0xC4, 0xC40 + 0x78
      {"abcdefghij", 0x9ABAA66A},    // from the 7th byte on the top bits fold into bits 4-7
  };
  for (const auto& c : cases) EXPECT_EQ(vnameHashString(c.text), c.hash) << c.text;
  EXPECT_EQ(vnameGetHash(vnameInternLiteral("abcdefghij")), 0x9ABAA66Au);
}

TEST(Names, NextPrime) {
  struct Case {
    std::size_t n, prime;
  } cases[] = {{1, 1}, {2, 2}, {4, 5}, {8, 11}, {34, 37}, {306, 307}, {307, 307}, {1000, 1009}, {7919, 7919}};
  for (const auto& c : cases) EXPECT_EQ(vnameNextPrime(c.n), c.prime) << c.n;
}

TEST(Names, InterningIdentity) {
  vname a = vnameInternLiteral("Interned");
  std::string copy = "Interned";
  EXPECT_EQ(vnameIntern(vscribeCString(copy.c_str())), a);
  EXPECT_EQ(vnameIntern(vscribeCStringSized("Interned!", 8)), a);
  EXPECT_NE(vnameInternLiteral("interned"), a);
  EXPECT_EQ(vnameIntern(vnameScribe(a)), a);
  EXPECT_EQ(vnameFind(vscribeCString("never interned here")), nullptr);
  EXPECT_EQ(vnameFind(vscribeCString("Interned")), a);
  std::string longText(700, 'q');
  vname l = vnameInternLiteral(longText.c_str());
  EXPECT_EQ(std::string(l), longText);
  EXPECT_EQ(vnameInternLiteral(longText.c_str()), l);
}

TEST(Names, PredefinedInOrder) {
  EXPECT_EQ(vnamePredefined(0), vnameInternLiteral(""));
  EXPECT_STREQ(vnamePredefined(1), "Abandon");
  EXPECT_STREQ(vnamePredefined(56), "Wexlin");
  EXPECT_STREQ(vnamePredefined(152), "Yes");
  EXPECT_EQ(vname_Key, vnameInternLiteral("Key"));
  std::set<vname> distinct;
  for (int i = 0; i < vnamePREDEFINED_COUNT; ++i) distinct.insert(vnamePredefined(i));
  EXPECT_EQ(distinct.size(), 153u);
}

TEST(NameTables, GrowAtThe13thInsertion) {
  vnameTable* t = vnameCreateTable(vnameHashString);
  EXPECT_EQ(t->slotCount, 17u);
  std::vector<vname> names;
  for (int i = 1; i <= 13; ++i) {
    std::string s = "n" + std::to_string(i);
    names.push_back(vnameInternInTable(t, vscribeCString(s.c_str())));
    EXPECT_EQ(t->slotCount, i < 13 ? 17u : 37u) << i;
  }
  for (int i = 1; i <= 13; ++i) {
    std::string s = "n" + std::to_string(i);
    EXPECT_EQ(vnameFindInTable(t, vscribeCString(s.c_str())), names[static_cast<std::size_t>(i - 1)]);
  }
  vnameTableIterator it;
  vnameInitTableIterator(&it, t);
  int seen = 0;
  while (vnameNextTableIterator(&it)) ++seen;
  EXPECT_EQ(seen, 13);
  EXPECT_EQ(vnameFindInTable(t, vscribeCString("Key")), nullptr);  // separate from the global table
  vnameDestroyTable(t);
}

}  // namespace
