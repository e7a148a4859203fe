#include "fw/core/scribe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/ex.h"
#include "fw/core/name.h"

namespace {

std::string text(vscribe* s) {
  std::string out(vscribeGetLength(s), '\0');
  char* end = vscribeReadAll(s, out.data());
  out.resize(static_cast<std::size_t>(end - out.data()));
  return out;
}

// Whether body raised a record deriving from cls (the chain is restored).
template <class F>
bool raises(const vexClass* cls, F body) {
  bool found = false;
  vexGuard(body, [&](vexHandler& h) {
    found = vexFindException(cls) != nullptr;
    vexSetCurrentException(h.savedChain);
  });
  return found;
}

TEST(Formatting, Examples) {
  vname x = vnameInternLiteral("x");
  EXPECT_EQ(text(vscribeCreateFormatted("%5s|%-5s|%05N", "ab", "cd", x)), "   ab|cd   |0000x");
  EXPECT_EQ(text(vscribeCreateFormatted("%s", nullptr)), "<null>");
  EXPECT_EQ(text(vscribeCreateFormatted("[%.3s]", nullptr)), "[   ]");
  EXPECT_EQ(text(vscribeCreateFormatted("100%%")), "100%");
  EXPECT_EQ(text(vscribeCreateFormatted("%.2s|%.9s|%.2L", "abc", "abc", "xyz")), "ab|abc|xy");
  EXPECT_EQ(text(vscribeCreateFormatted("%*s|%-*c|", 4, "a", 3, 'z')), "   a|z  |");
  EXPECT_EQ(text(vscribeCreateFormatted("<%S>", vscribeCString("in"))), "<in>");
  EXPECT_EQ(text(vscribeCreateFormatted("a%5qb")), "a5qb");  // unknown conversion: '%' dropped
  EXPECT_EQ(text(vscribeCreateFormatted("")), "");
}

TEST(Formatting, RegisteredConversion) {
  vscribeRegisterConversion('d', [](int, int, const char**, va_list* ap) {
    static char buf[16];
    std::snprintf(buf, sizeof buf, "%d", va_arg(*ap, int));
    return vscribeCString(buf);
  });
  EXPECT_EQ(text(vscribeCreateFormatted("[%4d]", 42)), "[  42]");
}

TEST(Scribes, ConcatenationsAndAppend) {
  vscribe* seven = vscribeConcat(vscribeCString("1"), vscribeCString("2"), vscribeCString("3"), vscribeCString("4"),
                                 vscribeCString("5"), vscribeCString("6"), vscribeCString("7"), nullptr);
  EXPECT_EQ(seven->data2, 7u);
  EXPECT_EQ(text(seven), "1234567");

  vscribe* c = vscribeAppend(nullptr, vscribeCString("a"));
  EXPECT_STREQ(static_cast<const char*>(c->data), "a");  // null gives the scribe itself
  vscribe* six = vscribeConcat(vscribeCString("a"), vscribeCString("b"), vscribeCString("c"), vscribeCString("d"),
                               vscribeCString("e"), nullptr);
  vscribeRelease(c);
  EXPECT_EQ(vscribeAppend(six, vscribeCString("f")), six);  // five parts: in place
  vscribe* more = vscribeAppend(six, vscribeCString("g"));
  EXPECT_NE(more, six);
  EXPECT_EQ(more->data2, 2u);
  EXPECT_EQ(text(more), "abcdefg");

  vscribe* wide = vscribeCString("w");
  wide->charSize = 2;
  vscribe* narrow = vscribeConcat(vscribeCString("n"), nullptr);
  EXPECT_TRUE(raises(&vexArgClass, [&] { vscribeAppend(narrow, wide); }));
  vscribeRelease(narrow), vscribeRelease(wide);
}

TEST(Scribes, ReplacingScribe) {
  struct Case {
    const char *a, *b, *c, *out;
  } cases[] = {{"a-b-c", "-", "--", "a--b--c"}, {"aaa", "aa", "x", "xa"}, {"abc", "z", "y", "abc"}, {"", "q", "r", ""}};
  for (const auto& k : cases) {
    vscribe* s = vscribeReplace(vscribeCString(k.a), vscribeCString(k.b), vscribeCString(k.c));
    EXPECT_EQ(vscribeGetLength(s), std::strlen(k.out));
    EXPECT_EQ(text(s), k.out);
  }
  char buf[8] = "zzzzzzz";
  vscribeGetCStringBounded(vscribeReplace(vscribeCString("a.b.c"), vscribeCString("."), vscribeCString("::")), buf, 4);
  EXPECT_EQ(std::string(buf, 4), "a::b");
  EXPECT_TRUE(raises(&vexArgRangeClass, [] { vscribeReplace(vscribeCString("a"), vscribeCString(""), vscribeCString("b")); }));
}

TEST(Scribes, BoundedReadersNeverWritePastTheBuffer) {
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  char* end = vscribeGetCStringBounded(vscribeCString("abcdef"), buf, 3);
  EXPECT_EQ(end - buf, 3);
  EXPECT_EQ(buf[3], '#');  // n characters read: no NUL
  vscribeGetCStringBounded(vscribeCString("ab"), buf, 3);
  EXPECT_STREQ(buf, "ab");

  char room[6] = "abc";
  vscribeAppendToCStringBounded(room, sizeof room, vscribeCString("defgh"));
  EXPECT_EQ(std::string(room, 6), "abcdef");
  char full[4] = {'a', 'b', 'c', 'd'};  // no NUL within the size: full
  EXPECT_EQ(vscribeAppendToCStringBounded(full, sizeof full, vscribeCString("x")), full + 4);
  EXPECT_EQ(std::string(full, 4), "abcd");

  char s[16] = "";
  vscribeAppendToCString(s, vscribeCString("ab"));
  vscribeAppendToCString(s, vscribeRepeatChar('-', 3));
  EXPECT_STREQ(s, "ab---");
  char* made = vscribeCreateString(vscribeCStringSized("hello world", 5));
  EXPECT_STREQ(made, "hello");
  vscribeFreeString(made);
}

TEST(Strings, SizeClasses) {
  struct Case {
    std::size_t length;
    int pool;
  } cases[] = {{0, 0}, {6, 0}, {7, 1}, {62, 7}, {63, -1}, {254, -1}, {255, -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(_vstrPoolNumber(c.length), c.pool) << c.length;
    vstr* s = vstrAllocSized(c.length);
    EXPECT_EQ(vstrGetLength(s), c.length);
    EXPECT_EQ(s[c.length], '\0');
    vstrDestroy(s);
  }
  vstr* big = vstrAllocSized(255);
  EXPECT_EQ(static_cast<unsigned char>(big[-1]), 255);  // the 32-bit length form
  vstrDestroy(big);
}

TEST(Strings, ResizeKeepsTextAndPlace) {
  vstr* s = vstrClone("0123456789");
  vstr* same = vstrResize(s, 12);
  EXPECT_EQ(same, s);  // same pool
  EXPECT_EQ(vstrGetLength(same), 12u);
  vstr* moved = vstrResize(same, 70);
  EXPECT_EQ(std::string(moved, 10), "0123456789");
  EXPECT_EQ(vstrGetLength(moved), 70u);
  moved = vstrResize(moved, 300);  // changes form: moves
  EXPECT_EQ(std::string(moved, 10), "0123456789");
  moved = vstrResize(moved, 3);
  EXPECT_STREQ(moved, "012");
  vstrDestroy(moved);

  vstr* joined = vstrConcat("ab", "cd", "", nullptr, nullptr);
  EXPECT_STREQ(joined, "abcd");
  joined = vstrAppendScribed(joined, vscribeCString("ef"));
  EXPECT_STREQ(joined, "abcdef");
  vstr* taken = vstrConcatScribed(vstrScribe(joined), vscribeCString("+"), vscribeRepeatChar('!', 2), nullptr, nullptr);
  EXPECT_STREQ(taken, "abcdef+!!");
  EXPECT_EQ(vstrGetLength(taken), 9u);
  vstr* clone = vstrCloneScribed(vscribeCreateFormatted("%s-%s", "x", "y"), taken);
  EXPECT_STREQ(clone, "x-y");
  vstrDestroy(clone);
}

TEST(CStrings, CompareWithoutCaseAndAccents) {
  EXPECT_EQ(vcstrCompareNoCase("\xC4rger", "arger"), 0);
  EXPECT_EQ(vcstrCompareNoCase("STRASSE", "strasse"), 0);
  EXPECT_EQ(vcstrCompareNoCase("\x8A", "s"), 0);
  EXPECT_LT(vcstrCompareNoCase("a", "B"), 0);
  EXPECT_NE(vcstrCompareNoCase("\xC6", "ae"), 0);  // kept as it is
  EXPECT_EQ(vcstrCompareNoCaseBounded("abcX", "ABCy", 3), 0);
  EXPECT_EQ(vcstrCompareNoCaseBounded("a", "b", 0), 0);
  char d[8];
  EXPECT_EQ(vcstrCopyBounded("abcdef", d, 3), d + 3);
  EXPECT_EQ(vcstrCopyBounded("ab", d, 3) - d, 2);
  EXPECT_STREQ(d, "ab");
  EXPECT_EQ(vcstrLengthBounded("abcdef", 4), 4u);
}

TEST(NativeSet, InternalSetPassesThroughOtherSetsRaise) {
  EXPECT_EQ(vcharGetCurrentSet(), 3);
  EXPECT_EQ(text(vscribeToNativeSized("abcdef", 3)), "abc");
  EXPECT_EQ(vcharFromNative(0xC4), 0xC4);
  _vcharSetCurrentSet(42);
  EXPECT_TRUE(raises(&vexModuleStateClass, [] { vscribeFromNative("x"); }));
  EXPECT_TRUE(raises(&vexModuleStateClass, [] { vcharFromNative('x'); }));
  _vcharSetCurrentSet(3);
}

// A sized scribe is printed whole: a NUL inside it does not end the text.
TEST(Scribes, PrintWritesEveryByteOfASizedScribe) {
  struct Row {
    const char* bytes;
    std::size_t length;
  } rows[] = {{"a\0b", 3}, {"\0\0x", 3}, {"tail\0", 5}, {"plain", 5}, {"cut short", 3}};
  for (const Row& r : rows) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    vscribePrint(vscribeCStringSized(r.bytes, r.length), f);
    std::string written(64, '?');
    std::rewind(f);
    written.resize(std::fread(written.data(), 1, written.size(), f));
    std::fclose(f);
    EXPECT_EQ(written, std::string(r.bytes, r.length)) << r.length;
  }
}

}  // namespace
