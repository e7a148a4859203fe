#include "fw/data/regexp.h"

#include <gtest/gtest.h>
#include <regex.h>

#include <cstring>
#include <random>
#include <string>

#include "fw/core/ex.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"

namespace {

struct Compiled {
  vregexp* re;
  explicit Compiled(const char* pattern) : re(vregexpCompile(vscribeLiteral(pattern))) {}
  ~Compiled() { vregexpDestroy(re); }
  // Start offset of the match or -1; its length in *len.
  std::ptrdiff_t find(const std::string& text, std::ptrdiff_t* len) {
    const char* m = re->direction ? vregexpSearch(re, text.data() + text.size(), static_cast<std::ptrdiff_t>(text.size()), len)
                                  : vregexpSearch(re, text.data(), static_cast<std::ptrdiff_t>(text.size()), len);
    return m ? m - text.data() : -1;
  }
};

bool compiles(const char* pattern) {
  bool ok = true;
  vexGuard([&] { vregexpDestroy(vregexpCompile(vscribeLiteral(pattern))); },
           [&](vexHandler& h) {
             vexSetCurrentException(h.savedChain);
             ok = false;
           });
  return ok;
}

struct MatchCase {
  const char* pattern;
  const char* text;
  int flags;  // 1 case-sensitive, 2 backwards
  std::ptrdiff_t start, length;
  int reg;
  const char* capture;
};

const MatchCase matchCases[] = {
    {"", "abc", 0, 0, 0, -1, nullptr},
    {"b", "abc", 0, 1, 1, -1, nullptr},
    {"ab+c", "xabbbc", 0, 1, 5, -1, nullptr},
    {"ab+c", "ac", 0, -1, -1, -1, nullptr},
    {"a*b", "xb", 0, 1, 1, -1, nullptr},
    {"x?y*z", "wz", 0, 1, 1, -1, nullptr},
    {"a.c", "a\nc abc", 0, 4, 3, -1, nullptr},
    {"[^a]b", "a\nbcb", 0, 3, 2, -1, nullptr},
    {"[a-c]x", "Bx", 0, 0, 2, -1, nullptr},
    {"[a-c]x", "Bx", 1, -1, -1, -1, nullptr},
    {"HeLLo", "say hello", 0, 4, 5, -1, nullptr},
    {"HeLLo", "say hello", 1, -1, -1, -1, nullptr},
    {"\xC9t\xE9", "\xE9T\xC9", 0, 0, 3, -1, nullptr},
    {"^b", "ab\nbc", 0, 3, 1, -1, nullptr},
    {"^b", "abc", 0, -1, -1, -1, nullptr},
    {"a$", "ba\nxa", 0, 1, 1, -1, nullptr},
    {"^$", "ab\n\ncd", 0, 3, 0, -1, nullptr},
    {"cat|category", "a category", 0, 2, 8, -1, nullptr},
    {"dog|cat", "cat dog", 0, 0, 3, -1, nullptr},
    {"dog|cat", "cat dog", 2, 4, 3, -1, nullptr},
    {"ab", "ab ab ab", 2, 6, 2, -1, nullptr},
    {"a(b*)@1c", "xabbbc", 0, 1, 5, 1, "bbb"},
    {"a(b*)@1c", "xac", 0, 1, 2, 1, ""},
    {"(a(b)@2c)@0", "abc", 0, 0, 3, 2, "b"},
    {"(a(b)@2c)@0", "abc", 0, 0, 3, 0, "abc"},
    {"(a*)@3ab", "aaab", 0, 0, 4, 3, "aa"},
    {"\\t\\n\\.", "x\t\n.", 0, 1, 3, -1, nullptr},
    {"a(b)@1*", "ab*", 0, 0, 3, 1, "b"},
    {"[abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN]+", "123ghQ9", 1, 3, 2, -1, nullptr},
};

TEST(Regexp, MatchesAndCaptures) {
  for (const auto& c : matchCases) {
    SCOPED_TRACE(std::string(c.pattern) + " in " + c.text);
    Compiled r(c.pattern);
    vregexpSetCaseSensitive(r.re, c.flags & 1);
    vregexpSetBackwards(r.re, c.flags & 2);
    std::ptrdiff_t len = 0;
    EXPECT_EQ(r.find(c.text, &len), c.start);
    EXPECT_EQ(len, c.length);
    if (c.reg >= 0) {
      ASSERT_NE(vregexpGetCapture(r.re, c.reg), nullptr);
      EXPECT_STREQ(vregexpGetCapture(r.re, c.reg), c.capture);
    }
  }
}

TEST(Regexp, MalformedPatternsRaise) {
  for (const char* bad : {"[abc", "a)", "(ab)", "(ab)@", "(ab)@x", "(ab", "a$b", "ab\\", "[z-a]", "(a|b)@1"})
    EXPECT_FALSE(compiles(bad)) << bad;
  for (const char* good : {"a|b", "[]", "a**", "\\(", "x\\|"}) EXPECT_TRUE(compiles(good)) << good;
}

TEST(Regexp, ProgramGrowsForLongClassesAndRepeats) {
  std::string cls = "[";
  for (char c = 'a'; c < 'a' + 20; ++c) cls += std::string(1, c) + "-" + std::string(1, c);
  cls += "]+";
  Compiled r(cls.c_str());
  EXPECT_EQ(r.re->program[r.re->programLength - 1], 10);
  EXPECT_LE(r.re->programLength, r.re->programCapacity);
  std::ptrdiff_t len = 0;
  EXPECT_EQ(r.find("XYZ kcat!", &len), 4);
  EXPECT_EQ(len, 4);
}

TEST(Regexp, EndOfLineCharacterAndCopy) {
  Compiled r("b.d");
  vregexpSetEndOfLine(r.re, ';');
  std::ptrdiff_t len = 0;
  EXPECT_EQ(r.find("b;d b\nd", &len), 4);
  vregexpSetEndOfLine(r.re, -1);
  EXPECT_EQ(r.find("b;d", &len), 0);
  Compiled copy("zzz");
  vregexpCopy(r.re, copy.re);
  EXPECT_EQ(copy.re->endOfLine, -1);
  EXPECT_EQ(copy.find("xb;d", &len), 1);
}

TEST(Regexp, BacktrackingOnLongTextsIsBounded) {
  Compiled r("a*a*a*a*a*c");
  std::string text(3000, 'a');
  std::ptrdiff_t len = 0;
  EXPECT_EQ(r.find(text, &len), -1);
  EXPECT_EQ(len, -1);
}

TEST(Regexp, LiteralSearch) {
  const char text[] = "abcABCabc";
  struct Case {
    const char* pattern;
    int caseSensitive, backwards;
    std::ptrdiff_t at;
  } cases[] = {
      {"abc", 1, 0, 0}, {"abc", 1, 1, 6}, {"ABC", 1, 0, 3}, {"ABC", 1, 1, 3}, {"cab", 0, 0, 2},
      {"cab", 0, 1, 5}, {"CA", 1, 0, -1}, {"abcABCabcd", 0, 0, -1}, {"", 0, 0, 0}, {"abcabcabc", 0, 1, 0},
      {"a", 1, 1, 6},
  };
  for (const auto& c : cases) {
    const char* m = vregexpFindLiteral(c.pattern, text, 9, c.caseSensitive, c.backwards);
    EXPECT_EQ(m ? m - text : -1, c.at) << c.pattern << " " << c.caseSensitive << c.backwards;
  }
}

// Random patterns of the subset both understand, against POSIX.
std::string randomElement(std::mt19937& rng) {
  static const char* atoms[] = {"a", "b", "c", ".", "[ab]", "[^a]", "[b-c]", "[^bc]"};
  static const char* reps[] = {"", "", "", "*", "+", "?"};
  return std::string(atoms[rng() % std::size(atoms)]) + reps[rng() % std::size(reps)];
}

std::string randomPattern(std::mt19937& rng) {
  std::string p;
  int alternatives = 1 + static_cast<int>(rng() % 3 == 0);
  for (int a = 0; a < alternatives; ++a) {
    if (a) p += "|";
    if (rng() % 5 == 0) p += "^";
    int n = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < n; ++i) p += randomElement(rng);
    if (rng() % 5 == 0) p += "$";
  }
  return p;
}

TEST(Regexp, AgreesWithPosixOnWhereMatchesStart) {
  std::mt19937 rng(73500);
  for (int round = 0; round < 20000; ++round) {
    std::string pattern = randomPattern(rng);
    std::string text;
    for (int i = static_cast<int>(rng() % 20); i > 0; --i) text += "abc\n"[rng() % 4];
    regex_t posix;
    ASSERT_EQ(regcomp(&posix, pattern.c_str(), REG_EXTENDED | REG_NEWLINE), 0) << pattern;
    regmatch_t m;
    std::ptrdiff_t expected = regexec(&posix, text.c_str(), 1, &m, 0) == 0 ? m.rm_so : -1;
    regfree(&posix);
    Compiled r(pattern.c_str());
    vregexpSetCaseSensitive(r.re, 1);
    std::ptrdiff_t len = 0;
    ASSERT_EQ(r.find(text, &len), expected) << "pattern " << pattern << " text " << text;
  }
}

}  // namespace

namespace {

TEST(Regexp, LiteralSearchAgreesWithPlainSearch) {
  std::mt19937 rng(7);
  for (int round = 0; round < 4000; ++round) {
    std::string text, pattern;
    for (int i = static_cast<int>(rng() % 16); i > 0; --i) text += "abAB"[rng() % 4];
    for (int i = 1 + static_cast<int>(rng() % 3); i > 0; --i) pattern += "abAB"[rng() % 4];
    bool backwards = rng() % 2;
    std::size_t at = backwards ? text.rfind(pattern) : text.find(pattern);
    const char* m = vregexpFindLiteral(pattern.c_str(), text.data(), text.size(), 1, backwards);
    ASSERT_EQ(m ? static_cast<std::size_t>(m - text.data()) : std::string::npos, at) << pattern << " in " << text;
  }
}

TEST(Regexp, StartupRowBuildsTheClass) {
  vregexpInstallStartup();
  int n = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  int found = 0;
  for (int i = 0; i < n; ++i)
    if (std::strcmp(rows[i].name, "vregexpGetDefaultClass") == 0 && rows[i].fn) {
      rows[i].fn();
      ++found;
    }
  EXPECT_EQ(found, 1);
  EXPECT_EQ(vclassFindByName(vscribeLiteral("vregexp")), vregexpGetDefaultClass());
}

}  // namespace


namespace {

// In either store: the loader reads through the routed resource calls.
TEST(Regexp, StoresAndLoadsThroughResources) {
  vrstoreInstallInterface();
  for (int table : {0, 1}) {
    SCOPED_TRACE(table);
    vresource root = vresourceCreateMemoryIn(table);
    vresource stored = vresourceCreate(root, vnameInternLiteral("Stored"), vresDICTIONARY);
    {
      Compiled r("a(b+)@2|z$");
      vregexpSetCaseSensitive(r.re, 1);
      vregexpSetBackwards(r.re, 1);
      vregexpSetEndOfLine(r.re, ';');
      vregexpStore(r.re, stored);
    }
    vregexp* loaded = vregexpLoad(stored);
    EXPECT_STREQ(loaded->pattern, "a(b+)@2|z$");
    EXPECT_EQ(loaded->caseSensitive, 1);
    EXPECT_EQ(loaded->direction, 1);
    EXPECT_EQ(loaded->endOfLine, ';');
    std::string text = "abb abbb Ab z;";
    std::ptrdiff_t len = 0;
    const char* m = vregexpSearch(loaded, text.data() + text.size(), static_cast<std::ptrdiff_t>(text.size()), &len);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m - text.data(), 12);
    vregexpDestroy(loaded);

    // Written by hand, without a class: the end-of-line character defaults.
    vresource plain = vresourceCreate(root, vnameInternLiteral("Plain"), vresDICTIONARY);
    vresourceSetString(plain, vnameInternLiteral("RegularExpression"), vscribeLiteral("x.z"));
    vresourceSetBoolean(plain, vnameInternLiteral("CaseSensitive"), 0);
    vresourceSetInteger(plain, vnameInternLiteral("Direction"), 0x100);
    loaded = vregexpLoad(plain);
    EXPECT_EQ(loaded->direction, 0);
    EXPECT_EQ(loaded->endOfLine, 10);
    const char* t = "X\nz XYZ";
    EXPECT_EQ(vregexpSearch(loaded, t, 7, &len), t + 4);
    vregexpDestroy(loaded);
    vresourceSetString(plain, vnameInternLiteral("RegularExpression"), vscribeLiteral("[ab"));
    bool raised = false;
    vexGuard([&] { vregexpLoad(plain); },
             [&](vexHandler& h) {
               vexSetCurrentException(h.savedChain);
               raised = true;
             });
    EXPECT_TRUE(raised);
    vresourceCloseFile(root);
  }
}

}  // namespace
