#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <cstdio>
#include <random>
#include <string>

#include "fw/data/inst.h"
#include "fw/data/num.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"

namespace {

std::string text(vscribe* s) {
  char* c = vscribeCreateString(s);
  std::string r = c;
  vscribeFreeString(c);
  return r;
}

std::string formatted(const char* format, ...) {
  vnumStartup();
  va_list ap;
  va_start(ap, format);
  std::string r = text(vscribeCreateFormattedV(format, ap));
  va_end(ap);
  return r;
}

vnumElement digits(std::int32_t count, std::int16_t grouping, char separator) {
  vnumElement e{};
  e.kind = vnumDigits;
  e.count = count;
  e.grouping = grouping;
  e.character = separator;
  return e;
}

// The build puts vwexlin7.vr where the installation search finds it: the
// descriptions come from there, with the built-ins' contents.
TEST(NumFormat, DescriptionsLoadFromTheFrameworkResourceFile) {
  vrstoreInstallInterface();
  ASSERT_FALSE(vinstSystemResourceInMemory());
  EXPECT_STREQ(vnumGetHexDigits()->digits, "0123456789abcdef");
  EXPECT_EQ(vnumGetDecimalDigits()->contiguous, 1);
  EXPECT_EQ(vnumGetBinaryDigits()->base, 2);
  EXPECT_EQ(vnumGetOctalDigits()->base, 8);
  vnumFormat* n = vnumGetNormalFormat();
  ASSERT_EQ(n->count, 5);
  EXPECT_EQ(n->elements[2].kind, vnumDecimal);
  EXPECT_EQ(n->elements[2].character, '.');
  EXPECT_EQ(n->flags, vnumFORMAT_FAST_PARSE);
  vnumFormat* x = vnumGetExponentFormat();
  ASSERT_EQ(x->count, 4);
  ASSERT_NE(x->elements[0].match, nullptr);
  EXPECT_EQ(vnumParseFloat("2.5E3", vnumNUL_TERMINATED, nullptr), 2500.0);
}

// A context's formats are instances of its own class and go with it, so
// formatting in the next context, or the outer one, finds live ones.
TEST(NumFormat, FormatsBelongToTheModuleContextThatLoadedThem) {
  vmoduleContext* outer = vmoduleGetCurrentContext();
  for (int round = 0; round < 2; ++round) {
    vmoduleContext* inner = vmoduleCreateContext();
    EXPECT_EQ(vnumGetNormalFormat()->cls, vnumFormatGetDefaultClass());
    EXPECT_EQ(vnumGetExponentFormat()->cls, vnumFormatGetDefaultClass());
    EXPECT_EQ(formatted("%d %x %g", -42, 255u, 1e20), "-42 ff 1e+20");
    vmoduleDestroyContext(inner);
  }
  EXPECT_EQ(vmoduleGetCurrentContext(), outer);
  EXPECT_EQ(vnumGetNormalFormat()->cls, vnumFormatGetDefaultClass());
  EXPECT_EQ(formatted("%d %x %g", -42, 255u, 1e20), "-42 ff 1e+20");
}

TEST(NumFormat, StoreLoadAndCopyKeepTheElements) {
  vrstoreInstallInterface();
  vnumFormat* f = vnumFormatCreate();
  vnumElement pad{};
  pad.kind = vnumPadding, pad.count = 12, pad.character = '*';
  vnumFormatAppend(f, pad);
  vnumFormatAppend(f, vnumTextElement(vnumPositiveText, "+", "[+]"));
  vnumFormatAppend(f, digits(-1, 3, '\''));
  // In either store: the loader reads through the routed resource calls.
  for (int table : {0, 1}) {
    vresource root = vresourceCreateMemoryIn(table);
    vnumFormatStore(f, vresourceCreate(root, vnameInternLiteral("F"), vresDICTIONARY));
    vnumFormat* back = vnumFormatLoad(vresourceGet(root, vnameInternLiteral("F")));
    auto* copy = static_cast<vnumFormat*>(vobjectClone(back));
    for (vnumFormat* g : {back, copy}) {
      ASSERT_EQ(g->count, 3);
      EXPECT_EQ(g->elements[0].count, 12);
      EXPECT_STREQ(g->elements[1].text, "+");
      EXPECT_NE(g->elements[1].match, nullptr);
      EXPECT_EQ(g->elements[2].grouping, 3);
      EXPECT_EQ(g->elements[2].character, '\'');
      EXPECT_EQ(text(vnumScribeInteger(1234567, vnumGetDecimalDigits(), g, nullptr, 0, -1)), "**+1'234'567");
    }
    vinstanceDestroy(copy);
    vinstanceDestroy(back);
    vresourceCloseFile(root);
  }
  vinstanceDestroy(f);
}

// Every way a digit set's load fails ends as the one load error, in both
// stores, with the cause beneath it on the chain.
TEST(NumFormat, DigitSetLoadFailuresAreWrapped) {
  struct Case {
    int version;  // 0: none
    const char* digits;  // null: none
    const vexClass* cause;
  } cases[] = {{3, "0123", &vexModuleUnimplementedClass}, {0, nullptr, nullptr}, {2, nullptr, nullptr},
               {2, "0", &vexArgRangeClass}, {0, "01", nullptr}};
  for (int table : {0, 1}) {
    for (const Case& c : cases) {
      vresource root = vresourceCreateMemoryIn(table);
      vresource r = vresourceCreate(root, vnameInternLiteral("Set"), vresDICTIONARY);
      if (c.version) vresourceSetInteger(r, vnameInternLiteral("Version"), c.version);
      if (c.digits) vresourceSetStringSized(r, vnameInternLiteral("Digits"), c.digits, std::strlen(c.digits));
      const vexClass *top = nullptr, *below = nullptr;
      std::string message;
      vexGuard([&] { vnumDigitSetLoad(r); },
               [&](vexHandler& h) {
                 vexException* e = vexGetCurrentException();
                 top = e->cls, message = e->message ? e->message : "";
                 below = e->link ? e->link->cls : nullptr;
                 vexSetCurrentException(h.savedChain);
               });
      bool good = c.digits && std::strlen(c.digits) >= 2 && c.version != 3;
      EXPECT_EQ(top, good ? nullptr : &vexModuleStateClass) << table << " " << c.version;
      if (!good) {
        EXPECT_EQ(message, "Error loading digitset");
        if (c.cause) {
          EXPECT_EQ(below, c.cause);
        }
      }
      vresourceCloseFile(root);
    }
  }
}

TEST(NumFormat, GroupingOfZeroOrMinusOneWritesNoSeparators) {
  struct Case {
    std::int16_t grouping;
    const char* expected;
  } cases[] = {{0, "-1234567"}, {-1, "-1234567"}, {3, "-1,234,567"}, {2, "-1,23,45,67"}, {7, "-1234567"}};
  for (const Case& c : cases) {
    vnumFormat* f = vnumFormatCreate();
    vnumFormatAppend(f, vnumTextElement(vnumNegativeText, "-", nullptr));
    vnumFormatAppend(f, digits(-1, c.grouping, ','));
    EXPECT_EQ(text(vnumScribeInteger(-1234567, vnumGetDecimalDigits(), f, nullptr, 0, -1)), c.expected);
    vinstanceDestroy(f);
  }
}

TEST(NumFormat, InsertionsGoBeforeTheIteratorsElement) {
  vnumFormat* f = vnumFormatCreate();
  vnumFormatAppendDigits(f, nullptr, 3, ',', -5);
  vnumFormatIterator it;
  vnumFormatInitIterator(&it, f);
  vnumFormatInsertPadding(f, &it, '#', 6);  // before the first
  vnumFormatInsertPadding(f, &it, '.', -2);
  ASSERT_EQ(f->count, 3);
  EXPECT_EQ(f->elements[0].character, '#');
  EXPECT_EQ(f->elements[1].count, 0);
  EXPECT_EQ(f->elements[2].count, -1);
  vnumElement* e = vnumFormatNextElement(&it);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->kind, vnumDigits);
  EXPECT_EQ(vnumFormatNextElement(&it), nullptr);
  EXPECT_EQ(text(vnumScribeInteger(1234, vnumGetDecimalDigits(), f, nullptr, 0, -1)), "#1,234");
  vinstanceDestroy(f);
  vexClass const* raised = nullptr;
  vexGuard([&] { vnumFormatInsertPadding(nullptr, nullptr, ' ', 1); },
           [&](vexHandler& h) {
             raised = vexGetCurrentException()->cls;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(raised, &vexArgNullClass);
}

TEST(NumFormat, EdgeCases) {
  const vnumDigitSet* d = vnumGetDecimalDigits();
  vnumFormat* n = vnumGetNormalFormat();
  vnumFormat* x = vnumGetExponentFormat();
  EXPECT_EQ(text(vnumScribeInteger(INT_MIN, d, n, nullptr, 0, -1)), "-2147483648");
  EXPECT_EQ(text(vnumScribeUnsigned(UINT_MAX, vnumGetHexDigits(), n, nullptr, 0, -1)), "ffffffff");
  EXPECT_EQ(text(vnumScribeInteger(0, d, n, nullptr, 0, -1)), "0");
  EXPECT_EQ(text(vnumScribeFloat(9.96, d, n, nullptr, 1, 2)), "10");
  EXPECT_EQ(text(vnumScribeFloat(9.96, d, n, x, 1, 2)), "1e+1");
  EXPECT_EQ(text(vnumScribeInteger(12345, d, n, x, 0, -1)), "1.2345e+4");
  EXPECT_EQ(text(vnumScribeDouble(0)), "0");
  // Zero takes the exponent format, and what that prints follows from the
  // digits: the decimal conversion gives only zeros (dropped, so no digits)
  // at exponent 1; with no digits the integer digits are that exponent, 1,
  // and no exponent text is made; one integer position with no digit
  // prints the first digit character. So "0", and the same as the
  // exponent format asked for outright; -0 keeps its sign.
  EXPECT_EQ(text(vnumScribeFloat(0, d, n, x, 1, -1)), "0");
  vscribe* zero = vnumScribeDouble(0);
  EXPECT_EQ(vnumScribeGetIntegerDigits(zero), 1);
  vscribeRelease(zero);
  EXPECT_EQ(text(vnumScribeDouble(-0.0)), "-0");
  EXPECT_EQ(text(vnumScribeDouble(1e-9)), "1e-9");
  EXPECT_EQ(text(vnumScribeDouble(1.5e8)), "1.5e+8");
  EXPECT_EQ(text(vnumScribeDouble(1e8)), "100000000");
  EXPECT_EQ(text(vnumScribeDouble(100000001.5)), "1.000000015e+8");
  EXPECT_EQ(text(vnumScribeDouble(1e-9)), "1e-9");
  EXPECT_EQ(text(vnumScribeDouble(-0.25)), "-0.25");
  EXPECT_EQ(text(vnumScribeFloat(0.625, vnumGetBinaryDigits(), n, nullptr, 1, -1)), "0.101");
  EXPECT_EQ(text(vnumScribeFloat(255.5, vnumGetHexDigits(), n, nullptr, 1, -1)), "ff.8");
  vnumFormat* two = vnumFormatCreate();
  vnumElement dot{};
  dot.kind = vnumDecimal, dot.character = '.';
  vnumFormatAppend(two, dot);
  vnumFormatAppend(two, dot);
  vexClass const* raised = nullptr;
  auto catchRead = [&](vscribe* s, char* buffer, std::size_t max) {
    raised = nullptr;
    vexGuard([&] { vscribeReadBounded(s, buffer, max); },
             [&](vexHandler& h) {
               raised = vexGetCurrentException()->cls;
               vexSetCurrentException(h.savedChain);
               vscribeRelease(s);
             });
  };
  char buffer[16];
  catchRead(vnumScribeInteger(1, d, two, nullptr, 0, -1), buffer, sizeof buffer);  // rejected when read
  EXPECT_EQ(raised, &vexArgClass);
  vinstanceDestroy(two);
  catchRead(vnumScribeInteger(-123, d, n, nullptr, 0, -1), buffer, 3);
  EXPECT_EQ(raised, &vexNumRangeClass);  // "Not enough space to print number."
}

// The text is made when read: the adjusters change it until then.
TEST(NumFormat, AdjustersChangeTheTextBeforeItIsRead) {
  const vnumDigitSet* d = vnumGetDecimalDigits();
  vnumFormat* n = vnumGetNormalFormat();
  vscribe* s = vnumScribeInteger(-42, d, n, nullptr, 0, -1);
  EXPECT_EQ(vnumScribeGetIntegerDigits(s), 2);
  vnumScribeSetMinimumIntegerDigits(s, 5);
  EXPECT_EQ(vnumScribeGetIntegerDigits(s), 5);
  EXPECT_EQ(vscribeGetLength(s), 6u);
  EXPECT_EQ(text(s), "-00042");
  s = vnumScribeFloat(2.5, d, n, nullptr, 1, 4);  // 2.500 with the zeros kept
  vnumScribeSetDropZeros(s, 0);
  EXPECT_EQ(text(s), "2.500");
  vnumDigitSet letters{};
  vnumDigitSetSetDigits(&letters, vscribeLiteral("abc"));
  EXPECT_EQ(letters.base, 3);
  EXPECT_EQ(letters.contiguous, 1);
  EXPECT_EQ(text(vnumScribeInteger(5, &letters, n, nullptr, 0, -1)), "bc");
  bool refused = !vexTry([&] { vnumDigitSetSetDigits(&letters, vscribeLiteral("z")); });
  EXPECT_TRUE(refused);
  EXPECT_EQ(letters.base, 3);
  vstrDestroy(letters.digits);
}

TEST(NumFormat, ConversionsFollowTheirRules) {
  int pointee = 0;
  char pointer[32];
  std::snprintf(pointer, sizeof pointer, "%016llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(&pointee)));
  struct Case {
    std::string got;
    const char* expected;
  } cases[] = {
      {formatted("%d|%i|%5d|%-4d|", 42, -7, 3, 9), "42|-7|    3|9   |"},
      {formatted("%.3d %.3d %.3d", 5, -5, 12345), "005 -005 12345"},
      {formatted("%d %d", INT_MAX, INT_MIN), "2147483647 -2147483648"},
      {formatted("%ld %lu", 0x1ffffffffL, 0x100000005UL), "-1 5"},
      {formatted("%u %x %X %o %b", 4294967295u, 255u, 255u, 8u, 5u), "4294967295 ff ff 10 101"},
      {formatted("%#x %#x %#o %#b", 255u, 0u, 8u, 5u), "0xff 0 010 0b101"},
      {formatted("%p", static_cast<void*>(&pointee)), pointer},
      {formatted("%e|%.2e|%e", 123456.0, -0.000123456, 0.0), "1.234560e+5|-1.23e-4|0.000000"},
      {formatted("%f|%.2f|%.0f|%f", 3.14159, 2.675, 7.5, 0.001234), "3.141590|2.68|8|0.001234"},
      {formatted("%g|%g|%g|%#g", 100000.0, 1000000.0, 0.0001234, 2.5), "100000|1e+6|1.234e-4|2.50000"},
      {formatted("%.3g|%G|%E", 3.14159, 1e-5, 0.5), "3.14|1e-5|5.000000e-1"},  // "E", "G" as "e", "g"
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(NumFormat, RoundTripsThroughParsing) {
  std::mt19937_64 rng(7);
  const vnumDigitSet* sets[] = {vnumGetDecimalDigits(), vnumGetBinaryDigits(), vnumGetOctalDigits(), vnumGetHexDigits()};
  vnumFormat* n = vnumGetNormalFormat();
  vnumFormat* x = vnumGetExponentFormat();
  for (int i = 0; i < 2000; ++i) {
    auto v = static_cast<std::int32_t>(rng());
    if (i < 4) v = i < 2 ? INT_MIN + i : INT_MAX - (i - 2);
    for (const vnumDigitSet* set : sets) {
      std::string s = text(vnumScribeInteger(v, set, n, nullptr, 0, -1));
      EXPECT_EQ(vnumParseLong(s.c_str(), vnumNUL_TERMINATED, nullptr, set, n, x, 0), v) << s;
    }
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.14e", std::ldexp(static_cast<double>(rng() >> 11), -53) *
                                                      std::pow(10.0, static_cast<int>(rng() % 80) - 40));
    double d = std::strtod(digits, nullptr);
    std::string s = text(vnumScribeDouble(i % 2 ? -d : d));
    EXPECT_EQ(vnumParseFloat(s.c_str(), vnumNUL_TERMINATED, nullptr), i % 2 ? -d : d) << s;
    s = text(vnumScribeFloat(d, vnumGetDecimalDigits(), n, x, 1, -1));
    EXPECT_EQ(vnumParseDouble(s.c_str(), vnumNUL_TERMINATED, nullptr, vnumGetDecimalDigits(), n, x, 1), d) << s;
  }
}

// Exception printers write through the C library, so registering the
// conversions leaves their text as it was.
std::string printedChain() {
  std::string printed;
  vexGuard(
      [] {
        const char* where = "x";
        _vexGenerate(&vexNumSyntaxClass, vexSetMessage, "Bad number", vnumSetPosition, where, vexEnd);
      },
      [&](vexHandler& h) {
        std::FILE* f = std::tmpfile();
        vexPrintChain(f);
        std::rewind(f);
        char buffer[512];
        std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
        std::fclose(f);
        printed.assign(buffer, n);
        vexSetCurrentException(h.savedChain);
      });
  return printed;
}

TEST(NumFormat, ExceptionChainsPrintTheSameOnceConversionsAreRegistered) {
  std::string before = printedChain();
  vnumStartup();
  EXPECT_NE(before.find("position:"), std::string::npos);
  EXPECT_EQ(printedChain(), before);
}

TEST(NumFormat, StartupRowRegistersTheConversions) {
  vnumInstallStartup();
  int n = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  int found = 0;
  for (int i = 0; i < n; ++i)
    if (std::string(rows[i].name) == "vnumGetDefaultClass" && rows[i].fn) rows[i].fn(), ++found;
  EXPECT_EQ(found, 1);
  EXPECT_EQ(text(vscribeCreateFormatted("%d%%", 5)), "5%");
}

}  // namespace
