#include "fw/core/scribe_map.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "fw/core/mem.h"

namespace {

using K = vscribeMapKind;

// Reads with a limit into a guarded buffer: what was written, and that
// nothing past it was touched.
std::string readLimited(vscribe* s, std::size_t limit = SIZE_MAX) {
  std::string buf(300, '#');
  char* end = vscribeReadBounded(s, buf.data(), std::min(limit, std::size_t(290)));
  auto n = std::size_t(end - buf.data());
  for (std::size_t i = n; i < buf.size(); ++i)
    if (buf[i] != '#') ADD_FAILURE() << "written past the end at " << i;
  return buf.substr(0, n);
}

std::string bytes(std::initializer_list<int> codes) {
  std::string s;
  for (int c : codes) s += char(c);
  return s;
}

TEST(MapScribes, UpperCaseExpandsSharpS) {
  const std::string strasse = "Stra" + bytes({0xDF}) + "e";
  EXPECT_EQ(readLimited(_vtextviewInputCharScribe(strasse.c_str())), "STRASSE");
  // Every limit: the count written equals the length for that limit.
  for (std::size_t limit = 0; limit <= 8; ++limit) {
    SCOPED_TRACE(limit);
    vscribe* s = _vtextviewInputCharScribe(strasse.c_str());
    std::size_t length = vscribeGetLengthBounded(s, limit);
    std::string got = readLimited(s, limit);
    EXPECT_EQ(got.size(), length);
    EXPECT_EQ(got, std::string("STRASSE").substr(0, limit));
  }
  // Counted upper case, a sharp s last with one place left.
  const std::string counted = bytes({'a', 0, 0xDF});
  vscribe* s = _vscribeCreateMapped(K::upperCounted, counted.data(), 3);
  EXPECT_EQ(vscribeGetLength(s), 4u);
  EXPECT_EQ(readLimited(s, 3), bytes({'A', 0, 'S'}));
  EXPECT_EQ(readLimited(_vtextviewInputCharScribe("\xFF\xB5\xF7")), bytes({0x9F, 0xB5, 0xF7}));
}

TEST(MapScribes, LowerCaseAndAccents) {
  EXPECT_EQ(readLimited(vscribeLowerCase("\xC0\xC9\xCE")), bytes({0xE0, 0xE9, 0xEE}));
  EXPECT_EQ(readLimited(vscribeLowerCaseNoAccents("\xC0\xC9\xCE")), "aei");
  EXPECT_EQ(readLimited(vscribeLowerCaseNoAccents("\x8C\xC6" "D")), bytes({0x9C, 0xE6, 'd'}));
  // A NUL-terminated source ends at its first NUL.
  const char early[] = {'a', 'B', 0, 'C', 0};
  vscribe* s = _vtextviewInputCharScribe(early);
  EXPECT_EQ(vscribeGetLength(s), 2u);
  EXPECT_EQ(readLimited(s), "AB");
  EXPECT_EQ(readLimited(vscribeLowerCase("ABC"), 0), "");
}

// The mappings written out from their rules, independently of the tables.
int lowerRule(int c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
  if (c == 0x8A || c == 0x8C) return c + 0x10;
  return c == 0x9F ? 0xFF : c;
}
int upperRule(int c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
  if (c == 0x9A || c == 0x9C) return c - 0x10;
  return c == 0xFF ? 0x9F : c;
}
int accentRule(int c) {
  static const struct { int from, to; char letter; } ranges[] = {
      {0xC0, 0xC5, 'A'}, {0xC7, 0xC7, 'C'}, {0xC8, 0xCB, 'E'}, {0xCC, 0xCF, 'I'}, {0xD0, 0xD0, 'D'},
      {0xD1, 0xD1, 'N'}, {0xD2, 0xD6, 'O'}, {0xD8, 0xD8, 'O'}, {0xD9, 0xDC, 'U'}, {0xDD, 0xDD, 'Y'},
      {0xE0, 0xE5, 'a'}, {0xE7, 0xE7, 'c'}, {0xE8, 0xEB, 'e'}, {0xEC, 0xEF, 'i'}, {0xF0, 0xF0, 'd'},
      {0xF1, 0xF1, 'n'}, {0xF2, 0xF6, 'o'}, {0xF8, 0xF8, 'o'}, {0xF9, 0xFC, 'u'}, {0xFD, 0xFD, 'y'},
      {0xFF, 0xFF, 'y'}, {0x8A, 0x8A, 'S'}, {0x9A, 0x9A, 's'}, {0x9F, 0x9F, 'Y'},
  };
  for (const auto& r : ranges)
    if (c >= r.from && c <= r.to) return r.letter;
  return c;
}

// All 256 codes, NUL among them, through the counted kinds in one read.
TEST(MapScribes, EveryCodeThroughTheCountedKinds) {
  std::string all(256, '\0');
  for (int c = 0; c < 256; ++c) all[std::size_t(c)] = char(c);
  struct {
    K kind;
    int (*rule)(int);
  } rows[] = {{K::lowerCounted, lowerRule},
              {K::stripAccentsCounted, accentRule},
              {K::lowerNoAccentsCounted, [](int c) { return accentRule(lowerRule(c)); }}};
  for (const auto& row : rows) {
    vscribe* s = _vscribeCreateMapped(row.kind, all.data(), 256);
    EXPECT_EQ(vscribeGetLength(s), 256u);
    std::string out(256, '#');
    EXPECT_EQ(vscribeReadAll(s, out.data()), out.data() + 256);
    for (int c = 0; c < 256; ++c) EXPECT_EQ(int(static_cast<unsigned char>(out[std::size_t(c)])), row.rule(c)) << "code " << c << " kind " << int(row.kind);
  }
  vscribe* s = _vscribeCreateMapped(K::upperCounted, all.data(), 256);
  ASSERT_EQ(vscribeGetLength(s), 257u);
  std::string out(257, '#');
  vscribeReadAll(s, out.data());
  for (int c = 0, at = 0; c < 256; ++c) {
    if (c == 0xDF) {
      EXPECT_EQ(out.substr(std::size_t(at), 2), "SS");
      at += 2;
    } else {
      EXPECT_EQ(int(static_cast<unsigned char>(out[std::size_t(at++)])), upperRule(c)) << "code " << c;
    }
  }
}

TEST(MapScribes, CompareNoCaseIsLowerThenStripAccents) {
  std::mt19937 rng(5);
  const std::string alphabet = "aAeE\xC9\xE9\xC6\xE6\x8A\x9A\x9F\xFF\xDF sS";
  for (int i = 0; i < 2000; ++i) {
    std::string a, b;
    for (std::size_t n = rng() % 4; n; --n) a += alphabet[rng() % alphabet.size()];
    for (std::size_t n = rng() % 4; n; --n) b += alphabet[rng() % alphabet.size()];
    char fa[8], fb[8];
    vscribeGetCString(vscribeLowerCaseNoAccents(a.c_str()), fa);
    vscribeGetCString(vscribeLowerCaseNoAccents(b.c_str()), fb);
    int want = std::strcmp(fa, fb), got = vcstrCompareNoCase(a.c_str(), b.c_str());
    ASSERT_EQ(want < 0, got < 0) << a << " / " << b;
    ASSERT_EQ(want == 0, got == 0) << a << " / " << b;
  }
}

// The kinds with state, NUL-terminated and counted.
TEST(MapScribes, KindsWithState) {
  std::size_t before = _vscribeMapStatesInUse();
  struct Case {
    K kind;
    std::string source;
    std::string set;
    int from, with;
    const char* to;
    std::string want;
  } cases[] = {
      {K::replaceChar, "a.b.c", "", '.', '/', nullptr, "a/b/c"},
      {K::replaceCharCounted, bytes({'a', 0, 'b'}), "", 0, '_', nullptr, "a_b"},
      {K::inSet, "hello, world", "lo", 0, '*', nullptr, "he***, w*r*d"},
      {K::inSetCounted, bytes({'x', 0, 'y'}), bytes({0, 'y'}), 0, '-', nullptr, "x--"},
      {K::notInSet, "a1b2", "0123456789", 0, '?', nullptr, "?1?2"},
      {K::notInSetCounted, bytes({'1', 0, '2'}), bytes({'1', '2'}), 0, '.', nullptr, "1.2"},
      {K::translate, "abcab", "abb", 0, 0, "xyz", "xycxy"},  // the first match in the set counts
      {K::translateCounted, bytes({'a', 0, 'b'}), bytes({0, 'b'}), 0, 0, "_B", "a_B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.kind));
    ASSERT_TRUE(_vscribeMapKindHasState(c.kind));
    vscribeMapState st{c.source.size(), c.set.c_str(), c.set.size(), std::uint32_t(c.from), c.to, 0,
                       std::uint32_t(c.with), {}};
    vscribe* s = _vscribeCreateMappedState(c.kind, c.source.c_str(), st);
    EXPECT_EQ(vscribeGetLength(s), c.want.size());
    EXPECT_EQ(vscribeGetLengthBounded(s, 2), std::min<std::size_t>(2, c.want.size()));
    EXPECT_EQ(readLimited(s), c.want);
    // A limited read of the same kind stops after the limit.
    vscribe* t = _vscribeCreateMappedState(c.kind, c.source.c_str(), st);
    EXPECT_EQ(readLimited(t, 2), c.want.substr(0, 2));
  }
  // A scribe released unread gives its state back too.
  vscribeMapState st{};
  st.set = "a";
  vscribeRelease(_vscribeCreateMappedState(K::inSet, "abc", st));
  EXPECT_EQ(_vscribeMapStatesInUse(), before);
}

TEST(MapScribes, SubstringReplacement) {
  std::size_t before = _vscribeMapStatesInUse();
  struct Case {
    std::string text, pattern, with;
    std::size_t limit;
    std::string want;
  } cases[] = {
      {"aaa", "aa", "b", SIZE_MAX, "ba"},
      {"a-b-c", "-", "", SIZE_MAX, "abc"},
      {"ab", "abc", "x", SIZE_MAX, "ab"},  // pattern longer than the text
      {"a.b.c", ".", "::", 4, "a::b"},
      {"a.b.c", ".", "::", 2, "a:"},       // the limit ends inside a replacement
      {"a.b.c", ".", "::", 0, ""},
      {"xyz", "y", "12345", 3, "x12"},
      {bytes({'a', 0, 'a'}), "a", "bc", SIZE_MAX, bytes({'b', 'c', 0, 'b', 'c'})},  // NUL is a character
      {bytes({'q', 0, 0, 'q'}), bytes({0, 0}), "-", SIZE_MAX, "q-q"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " / " + c.pattern + " / " + std::to_string(c.limit));
    auto make = [&] {
      return vscribeReplace(vscribeCStringSized(c.text.data(), c.text.size()),
                            vscribeCStringSized(c.pattern.data(), c.pattern.size()),
                            vscribeCStringSized(c.with.data(), c.with.size()));
    };
    vscribe* s = make();
    EXPECT_EQ(vscribeGetLengthBounded(s, c.limit), c.want.size());
    EXPECT_EQ(readLimited(s, c.limit), c.want);
  }
  EXPECT_EQ(_vscribeMapStatesInUse(), before);
}

TEST(MapScribes, Searches) {
  const char* s = "a.b.c";
  EXPECT_EQ(vcstrFindLast(s, "."), s + 3);
  EXPECT_EQ(vcstrFindLast(s, "a.b.c"), s);
  EXPECT_EQ(vcstrFindLast(s, "a.b.c."), nullptr);
  EXPECT_EQ(vcstrFindLast(s, ""), s + 5);
  EXPECT_EQ(vcstrFindLast(s, "x"), nullptr);
  const char* t = "aaa";
  EXPECT_EQ(vcstrFindLast(t, "aa"), t + 1);

  const char run[] = {'x', 0, 'y', 'y'};
  EXPECT_EQ(vmemFindByte(run, 0, 'x'), nullptr);
  EXPECT_EQ(vmemFindByte(run, 4, 0), run + 1);
  EXPECT_EQ(vmemFindByte(run, 4, 'y'), run + 2);
  EXPECT_EQ(vmemFindByte(run, 2, 'y'), nullptr);
  EXPECT_EQ(vmemFindByte(run, 4, 0x100 + 'x'), run);  // the low byte counts
}

}  // namespace
