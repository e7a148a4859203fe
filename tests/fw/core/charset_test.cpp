#include "fw/core/charset.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/cp1252.h"

namespace {

std::string bytes(vscribe* s) {
  std::string out(vscribeGetByteLength(s), '\0');
  char* end = vscribeReadAll(s, out.data());
  out.resize(static_cast<std::size_t>(end - out.data()));
  return out;
}

std::u16string units(vscribe* s) {
  std::string b = bytes(s);
  std::u16string out(b.size() / 2, u'\0');
  std::memcpy(out.data(), b.data(), b.size());
  return out;
}

// A converted text read from a heap copy of exactly its bytes, so a read
// past the end is caught by the sanitizer.
std::string fromNative(int set, const std::string& text) {
  std::vector<char> exact(text.begin(), text.end());
  return bytes(vcharsetCreateFromNativeScribe(set, exact.data(), exact.size()));
}

template <class F>
const vexClass* raised(F body) {
  const vexClass* cls = nullptr;
  vexGuard(body, [&](vexHandler& h) {
    cls = vexGetCurrentException()->cls;
    vexSetCurrentException(h.savedChain);
  });
  return cls;
}

TEST(Charsets, NativeToInternal) {
  struct Case {
    int set;
    std::string native, internal;
  } cases[] = {
      {vcharsetASCII, "A\xC1z", "AAz"},
      {vcharsetLATIN1, "\x80\x82\x8D\x9F\xE9", "\x80\xA0\x8D\xA0\xE9"},
      {vcharsetMAC_ROMAN, "\x80\x8E\xA5\xD2\xFF", "\xC4\xE9\x95\x93\xA0"},
      {vcharsetSHIFT_JIS, "a\\~\xB1\x82\xA0z", "a\\~\xA0\xA0z"},
      {vcharsetSHIFT_JIS, "ab\x81", "ab\xA0"},  // a lead byte at the end
      {vcharsetEUC_JP, "\x8E\xB1x\xA4\xA2y\x8F\xB0\xA1z", "\xA0x\xA0y\xA0z"},
      {vcharsetEUC_JP, "q\x8F\xB0", "q\xA0"},  // a cut three-byte sequence
      {vcharsetLATIN2, "\xE9\xA3\xA9\xB9", "\xE9\xA0\x8A\x9A"},
  };
  for (const auto& c : cases) EXPECT_EQ(fromNative(c.set, c.native), c.internal) << "set " << c.set;
}

TEST(Charsets, InternalToNative) {
  struct Case {
    int set;
    std::string internal, native;
  } cases[] = {
      {vcharsetASCII, "\xC9t\xE9 \x93q\x94 \xC6\xBF\x97", "Ete \"q\"  ?-"},
      {vcharsetLATIN1, "\x80\x83\x8D\x92\x9C\x9E\xE9", "\x80\xA0\x8D'\xA0\x9E\xE9"},
      {vcharsetMAC_ROMAN, "\xC4\xE9\x8A", "\x80\x8ES"},
      {vcharsetSHIFT_JIS, "a\\\xE9", "a\\?"},
      {vcharsetUTF8, "a\xE9\x92", "a\xC3\xA9\xE2\x80\x99"},
      {vcharsetLATIN2, "\x8A\xE9\xC6", "\xA9\xE9\xA0"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(bytes(vcharsetCreateToNativeScribe(c.set, c.internal.c_str(), vcharsetTO_END)), c.native)
        << "set " << c.set;
}

TEST(Charsets, UnicodeRoundTripsTheWholeInternalSet) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  std::u16string wide = units(vcharsetCreateWideScribe(all.c_str(), all.size()));
  ASSERT_EQ(wide.size(), all.size());
  EXPECT_EQ(wide[0x92 - 1], u'\u2019');
  EXPECT_EQ(wide[0x80 - 1], u'\u0080');
  std::vector<std::uint16_t> exact(wide.begin(), wide.end());
  EXPECT_EQ(bytes(vcharsetCreateNarrowScribe(exact.data(), exact.size())), all);

  std::string utf8 = bytes(vcharsetCreateToNativeScribe(vcharsetUTF8, all.c_str(), all.size()));
  EXPECT_EQ(fromNative(vcharsetUTF8, utf8), all);

  EXPECT_EQ(vcharsetNarrowChar(0x2019), 0x92);
  EXPECT_EQ(vcharsetNarrowChar(0x0152), 0x8C);
  EXPECT_EQ(vcharsetNarrowChar(0x20AC), 0xA0);
  EXPECT_EQ(vcharsetNarrowChar(0x0082), 0xA0);  // 0x82 stands for U+201A
  EXPECT_EQ(vcharsetNarrowChar(0x1F600), 0xA0);
  EXPECT_EQ(vcharsetNarrowChar(0x7FFFFFFF), 0xA0);
  std::uint16_t zeroEnded[] = {0x41, 0x2019, 0x3042, 0};
  EXPECT_EQ(bytes(vcharsetCreateNarrowScribe(zeroEnded, vcharsetTO_END)), "A\x92\xA0");
}

TEST(Charsets, Utf8BeyondSixteenBitsAndBrokenSequences) {
  struct Case {
    std::string utf8, internal;
  } cases[] = {
      {"\xF0\x9F\x98\x80!", "\xA0!"},                  // U+1F600
      {"\xF8\x88\x80\x80\x80.", "\xA0."},              // five bytes
      {"\xFD\xBF\xBF\xBF\xBF\xBF.", "\xA0."},          // 0x7FFFFFFF
      {"\xC0\xAF|\xE0\x80\xAF|", "\xA0|\xA0|"},        // overlong
      {"\x80\xBF\xFE\xFF", "\xA0\xA0\xA0\xA0"},        // stray bytes
      {"a\xE2\x80", "a\xA0"},                          // cut at the end
      {"\xE2\x80z", "\xA0z"},                          // cut by a plain byte
      {"\xF0\x9F\x98", "\xA0"},
      {"\xC3\xA9\xE2\x80\x99", "\xE9\x92"},
  };
  for (const auto& c : cases) EXPECT_EQ(fromNative(vcharsetUTF8, c.utf8), c.internal);
}

TEST(Charsets, SingleCharactersAndBadSets) {
  EXPECT_EQ(vcharsetMapChar(vcharsetMAC_ROMAN, 0x80), 0xC4);
  EXPECT_EQ(vcharsetMapChar(vcharsetUNICODE, 0x2019), 0x92);
  EXPECT_EQ(vcharsetMapChar(vcharsetSHIFT_JIS, 0x81), 0xA0);
  EXPECT_EQ(vcharsetMapChar(vcharsetINTERNAL, 0xE9), 0xE9);
  EXPECT_EQ(raised([] { vcharsetMapChar(vcharsetUTF8, 'a'); }), &vexModuleStateClass);
  EXPECT_EQ(raised([] { vcharsetCreateToNativeScribe(9, "x", 1); }), &vexModuleStateClass);
  EXPECT_EQ(raised([] { _vcharSetCurrentSet(12), vcharFromNative('a'); }), &vexModuleStateClass);
  _vcharSetCurrentSet(vcharsetINTERNAL);
}

TEST(Charsets, BoundedReadsStopAtWholeCharacters) {
  vscribe* s = vcharsetCreateToNativeScribe(vcharsetUTF8, "a\xE9\x92", vcharsetTO_END);
  EXPECT_EQ(vscribeGetLengthBounded(s, 4), 3u);  // the three bytes of U+2019 do not fit
  char buf[8];
  EXPECT_EQ(vscribeReadBounded(s, buf, 4) - buf, 3);
}

TEST(Charsets, UpperCaseAndAccentBlindComparisonOverTheWholeSet) {
  char out[2];
  EXPECT_EQ(vcharsetUpperChar(0xDF, out), 2);
  EXPECT_EQ(std::string(out, 2), "SS");
  out[0] = out[1] = 0;
  EXPECT_EQ(vcharsetUpperCharBounded(0xDF, out, 1), 1);
  EXPECT_EQ(std::string(out, 2), std::string("S\0", 2));
  EXPECT_EQ(vcharsetGetCharLength(0xDF), 2);

  for (int c = 1; c < 256; ++c) {
    if (c == 0xDF) continue;
    ASSERT_EQ(vcharsetUpperChar(c, out), 1);
    auto up = static_cast<unsigned char>(out[0]);
    char a[2] = {static_cast<char>(c), 0}, b[2] = {static_cast<char>(up), 0};
    EXPECT_EQ(vcstrCompareNoCase(a, b), 0) << c;
    if (up != c) {
      EXPECT_EQ(cp1252::lower[up], c) << c;  // upper case undoes lower case
    }
  }
  // Every accented letter compares equal to its base letter, in either case.
  for (int c = 0xC0; c < 256; ++c) {
    char a[2] = {static_cast<char>(c), 0};
    unsigned char base = cp1252::accent[c];
    char b[2] = {static_cast<char>(base == c ? c : base ^ 0x20), 0};
    EXPECT_EQ(vcstrCompareNoCase(a, b), 0) << c;
  }
  EXPECT_NE(vcstrCompareNoCase("\xC6", "a"), 0);
  EXPECT_LT(vcstrCompareNoCase("a", "B"), 0);
}

TEST(Charsets, SubstituteConverters) {
  char buf[32];
  vscribe* a = vcharsetCreateSubstituteAScribe("abcdef", vcharsetTO_END);
  EXPECT_EQ(a->charSize, 2);
  std::uint16_t u = 0;
  char* end = vscribeReadBounded(a, buf, 3);
  ASSERT_EQ(end - buf, 6);
  for (int i = 0; i < 3; ++i) EXPECT_EQ((std::memcpy(&u, buf + 2 * i, 2), u), 0x2121);
  EXPECT_EQ(vscribeReadBounded(vcharsetCreateSubstituteBScribe("abcdef", vcharsetTO_END), buf, 2147483647) - buf, 12);
  EXPECT_EQ((std::memcpy(&u, buf + 10, 2), u), 0x2244);
  vscribe* b = vcharsetCreateSubstituteBScribe("abc\0def", 7);
  EXPECT_EQ(vscribeGetLengthBounded(b, 5), 5u);
  vscribeRelease(b);
  EXPECT_EQ(vscribeGetLength(a = vcharsetCreateSubstituteAScribe("abc", vcharsetTO_END)), 3u);
  vscribeRelease(a);

  EXPECT_EQ(bytes(vcharsetCreateTableCScribe("c:\\a\\b~\x82\xA0\xE9", vcharsetTO_END)), "c:\xA5" "a\xA5" "b\xAF\xA0\xA0\xA0");
  EXPECT_EQ(bytes(vcharsetCreateTableDScribe("\xA5x\xAF\\~\xA0\x8D", vcharsetTO_END)), "\\x~   \x8D");
  EXPECT_EQ(vbyteSwapLong(0x00ED0BD0u), 0xD00BED00u);
}

TEST(Charsets, TagExceptionPrintsItsTag) {
  std::FILE* f = std::tmpfile();
  vname tag = vnameInternLiteral("Widget");
  errno = 0;
  vexGuard([&] { _vexGenerate(&vexArgTagClass, vexSetMessage, "Tag not found in dictionary.", vexArgSetTag, tag, vexEnd); },
           [&](vexHandler& h) {
             vexPrintChain(f);
             vexSetCurrentException(h.savedChain);
           });
  std::rewind(f);
  char text[256] = {};
  std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  EXPECT_STREQ(text, "    error 1: /Arg/Tag/\n\tmessage: Tag not found in dictionary.\n\ttag: \"Widget\"\n");
}

TEST(Charsets, StartupKeepsTheInternalSetAndTheNumericLocale) {
  EXPECT_EQ(vcharsetForLocale("deu"), vcharsetINTERNAL);
  EXPECT_EQ(vcharsetForLocale("de_DE.UTF-8"), vcharsetINTERNAL);
  std::string oldLang = std::getenv("LANG") ? std::getenv("LANG") : "";
  setenv("LANG", "de_DE.UTF-8", 1);
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  vcharsetStartup();
  EXPECT_EQ(vcharsetGetCurrent(), vcharsetINTERNAL);
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  char half[16];
  std::snprintf(half, sizeof half, "%.1f", 0.5);
  EXPECT_STREQ(half, "0.5");
  std::setlocale(LC_CTYPE, "C");
  unsetenv("LC_ALL");
  if (oldLang.empty()) unsetenv("LANG");
  else setenv("LANG", oldLang.c_str(), 1);
  // Native scribes pass text unchanged under the internal set.
  EXPECT_EQ(bytes(vscribeToNative("\xE9\x92")), "\xE9\x92");
  EXPECT_EQ(vcharFromNative(0x80), 0x80);
}

}  // namespace
