// Text search, the style step and tag records over a stand-in chain of
// blocks; the hook record is installed by classops_test.cpp's environment.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/scribe.h"
#include "fw/data/regexp.h"
#include "fw/gui/window/classops.h"
#include "tests/fw/gui/ops/textmodel.h"

namespace {

// "hello world foobar baz" in blocks of 9, 6 and 7 characters.
TestText sample() { return TestText({"hello wor", "ld foo", "bar baz"}); }

TEST(TextSearch, LiteralAndExpressionWalks) {
  TestText text = sample();
  struct Case {
    const char* what;
    long from;
    const char* pattern;
    int mode, caseSensitive;
    long at;
    const char* copied;
  } cases[] = {
      {"literal forwards into the third block", 0, "foo", 1, 1, 12, "foo"},
      {"literal inside the first block", 5, "o", 1, 1, 7, "o"},
      {"a literal split across two blocks is not found", 0, "world", 1, 1, -1, nullptr},
      {"forwards from a block's end goes on in the next", 9, "l", 1, 1, 9, "l"},
      {"forwards from the text's end", 22, "z", 1, 1, -1, nullptr},
      {"literal backwards from the end", 22, "o", 2, 1, 14, "o"},
      {"backwards from a block's end", 9, "o", 2, 1, 7, "o"},
      {"backwards from 0", 0, "h", 2, 1, -1, nullptr},
      {"case folded", 0, "FOO", 1, 0, 12, "foo"},
      {"case kept", 0, "FOO", 1, 1, -1, nullptr},
      {"expression forwards", 0, "b.r", 3, 1, 15, "bar"},
      {"expression stops at the block's end", 0, "w.*", 3, 1, 6, "wor"},
      {"expression backwards", 22, "ba[rz]", 4, 1, 19, "baz"},
      {"expression backwards across blocks", 15, "f.o", 4, 1, 12, "foo"},
      {"a pattern that does not compile", 0, "(", 3, 1, -1, nullptr},
      {"negative start", -1, "h", 1, 1, -1, nullptr},
      {"backward start beyond the length", 30, "h", 2, 1, -1, nullptr},
      {"forward start beyond the length", 23, "h", 1, 1, -1, nullptr},
      {"mode 0", 0, "h", 0, 1, -1, nullptr},
      {"mode 5", 0, "h", 5, 1, -1, nullptr},
  };
  for (const Case& c : cases) {
    char buffer[16] = "untouched";
    EXPECT_EQ(vtextSearch(&text, c.from, c.pattern, buffer, sizeof buffer, c.mode, nullptr, c.caseSensitive), c.at)
        << c.what;
    EXPECT_STREQ(buffer, c.copied != nullptr ? c.copied : "untouched") << c.what;
  }
  EXPECT_FALSE(vexTry([] { vregexpDestroy(vregexpCompile(vscribeCString("("))); }));  // really refused
  TestText empty({});
  EXPECT_EQ(vtextSearch(&empty, 0, "a", nullptr, 0, 1, nullptr, 1), -1);
}

TEST(TextSearch, BufferSizes) {
  TestText text({"x0123456789y"});
  char buffer[8];
  std::memset(buffer, 'Z', sizeof buffer);
  EXPECT_EQ(vtextSearch(&text, 0, "[0-9]+", buffer, 4, 3, nullptr, 1), 1);
  EXPECT_EQ(std::string(buffer, 4), std::string("012\0", 4));
  std::memset(buffer, 'Z', sizeof buffer);
  EXPECT_EQ(vtextSearch(&text, 0, "[0-9]+", buffer, 0, 3, nullptr, 1), 1);
  EXPECT_EQ(buffer[0], 'Z');
  EXPECT_EQ(vtextSearch(&text, 0, "[0-9]+", buffer, -5, 3, nullptr, 1), 1);
  EXPECT_EQ(buffer[0], 'Z');
  EXPECT_EQ(vtextSearch(&text, 0, "y", nullptr, 4, 1, nullptr, 1), 11);
}

struct Visit {
  int previous, c;
};
std::vector<Visit> visits;
int stopAfterR(vinstance*, int previous, int c) { return visits.push_back({previous, c}), previous == 'r' && c == 'l'; }
int stopAtDoubleO(vinstance*, int previous, int c) { return previous == 'o' && c == 'o'; }
int stopAtZ(vinstance*, int, int c) { return c == 'z'; }

TEST(TextSearch, TestFunctions) {
  TestText text = sample();
  char buffer[16] = "untouched";
  visits.clear();
  // The previous character follows the visit, from block to block.
  EXPECT_EQ(vtextSearch(&text, 6, nullptr, buffer, sizeof buffer, 1, stopAfterR, 1), 9);
  EXPECT_STREQ(buffer, "");
  ASSERT_EQ(visits.size(), 4u);
  EXPECT_EQ(visits[0].previous, 0);
  EXPECT_EQ(visits[0].c, 'w');
  EXPECT_EQ(visits[3].previous, 'r');
  EXPECT_EQ(vtextSearch(&text, 0, nullptr, nullptr, 0, 1, stopAtDoubleO, 1), 14);
  EXPECT_EQ(vtextSearch(&text, 22, nullptr, nullptr, 0, 2, stopAtDoubleO, 1), 13);
  EXPECT_EQ(vtextSearch(&text, 0, nullptr, nullptr, 0, 1, stopAtZ, 1), 21);
  // A pattern beside a test function: its length reaches past the block.
  EXPECT_EQ(vtextSearch(&text, 0, "abcdefgh", buffer, sizeof buffer, 1, stopAtZ, 1), 21);
  EXPECT_STREQ(buffer, "z");
  EXPECT_EQ(vtextSearch(&text, 0, nullptr, buffer, sizeof buffer, 3, stopAtZ, 1), -1);
}

TEST(TextStyleStep, RemembersTheStyleThenStylesEachPiece) {
  TestText text = sample();
  static const int style = 7;
  int data = 0;
  long replaced = 99;
  EXPECT_EQ(_vtextApplyStyleStep(nullptr, reinterpret_cast<std::intptr_t>(&style), nullptr, &replaced, nullptr), 0);
  EXPECT_EQ(replaced, 99);
  vtextStylePiece piece{&text, 100, 7};
  EXPECT_EQ(_vtextApplyStyleStep(&data, 5, nullptr, &replaced, &piece), 0);
  EXPECT_EQ(replaced, 0);
  replaced = 99;
  vtextStylePiece empty{&text, 200, -3};
  EXPECT_EQ(_vtextApplyStyleStep(&data, 0, nullptr, &replaced, &empty), 0);
  EXPECT_EQ(replaced, 0);
  piece.offset = -2;
  EXPECT_EQ(_vtextApplyStyleStep(&data, 3, nullptr, &replaced, &piece), 0);
  ASSERT_EQ(text.styled.size(), 2u);
  EXPECT_EQ(text.styled[0], (StyledRange{&style, 107, 112}));
  EXPECT_EQ(text.styled[1], (StyledRange{&style, 98, 101}));
}

TEST(TextTagRecord, InitClearsAndFlags) {
  vtextTagRecord record;
  std::memset(&record, 0xff, sizeof record);
  vtextInitTagRecord(&record);
  EXPECT_EQ(record.first, 0x10000000u);
  for (std::uintptr_t w : record.words) EXPECT_EQ(w, 0u);
}

}  // namespace
