#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "fw/data/num.h"

namespace {

struct Outcome {
  const vexClass* cls = nullptr;
  std::string message;
  const char* position = nullptr;
};

template <class F>
Outcome outcome(F&& f) {
  Outcome o;
  vexGuard(f, [&](vexHandler& h) {
    vexException* e = vexGetCurrentException();
    o.cls = e->cls;
    o.message = e->message ? e->message : "";
    if (e->cls == &vexNumSyntaxClass) o.position = static_cast<vnumSyntaxException*>(e)->position;
    vexSetCurrentException(h.savedChain);
  });
  return o;
}

struct IntCase {
  const char* text;
  bool fast;  // through the default entry (fast path) or the general scan
  std::int32_t value;
  const char* message;  // null: parses
  std::ptrdiff_t used;
};

const IntCase intCases[] = {
    {"-2147483648", true, INT32_MIN, nullptr, 11},
    {"2147483647", true, INT32_MAX, nullptr, 10},
    {"2147483648", true, 0, "Overflow detected parsing number", 0},
    {"-2147483649", true, 0, "Overflow detected parsing number", 0},
    {"99999999999999999999", true, 0, "Overflow detected parsing number", 0},
    {"  +42xyz", true, 42, nullptr, 5},
    {"3.0", true, 3, nullptr, 3},
    {"3.5", true, 0, "Overflow detected parsing number", 0},
    {"1e3", true, 1000, nullptr, 3},
    {"   ", true, 0, "No digits in number", 0},
    {"-2147483648", false, INT32_MIN, nullptr, 11},
    {"2147483647", false, INT32_MAX, nullptr, 10},
    {"2147483648", false, 0, "Overflow parsing number", 0},
    {"-2147483649", false, 0, "Overflow parsing number", 0},
    {"4294967296", false, 0, "Overflow parsing number", 0},
    {"12.0", false, 12, nullptr, 4},
    {"12.5", false, 0, "Number does not resolve to integer", 0},
    {"0.0012e4", false, 12, nullptr, 8},
    {"0e999999999", false, 0, nullptr, 11},
    {"1e999999999", false, 0, "Overflow parsing number", 0},
    {"7e-1", false, 0, "Number does not resolve to integer", 0},
    {"", false, 0, "No digits in number", 0},
    {"-", false, 0, "No digits in number", 0},
};

TEST(NumParse, IntegersAtTheEdges) {
  for (const auto& c : intCases) {
    SCOPED_TRACE(std::string(c.text) + (c.fast ? " fast" : " general"));
    std::int32_t v = 0;
    const char* end = nullptr;
    std::int32_t length = c.fast ? vnumNUL_TERMINATED : static_cast<std::int32_t>(std::strlen(c.text));
    Outcome o = outcome([&] { v = vnumParseInteger(c.text, length, &end); });
    if (!c.message) {
      EXPECT_EQ(o.cls, nullptr) << o.message;
      EXPECT_EQ(v, c.value);
      EXPECT_EQ(end - c.text, c.used);
    } else {
      EXPECT_EQ(o.message, c.message);
      EXPECT_TRUE(o.cls == &vexNumRangeClass || o.cls == &vexNumSyntaxClass);
      if (o.cls == &vexNumSyntaxClass) {
        EXPECT_EQ(o.position, c.text);
      }
    }
  }
}

TEST(NumParse, DoublesAreCorrectlyRounded) {
  const char* texts[] = {"0.3", "0.1", "1e-3", "-2.5e+10", "123456789012345678901234567890", "1.7976931348623157e308",
                         "4.9e-324", "0.000000000000000000000000001", ".5", "0"};
  for (const char* t : texts) {
    double expected = std::strtod(t, nullptr);
    for (bool fast : {true, false}) {
      std::int32_t length = fast ? vnumNUL_TERMINATED : static_cast<std::int32_t>(std::strlen(t));
      EXPECT_EQ(vnumParseFloat(t, length, nullptr), expected) << t << (fast ? " fast" : " general");
    }
  }
  for (bool fast : {true, false}) {
    const char* t = "1e400";
    std::int32_t length = fast ? vnumNUL_TERMINATED : 5;
    Outcome o = outcome([&] { vnumParseFloat(t, length, nullptr); });
    EXPECT_EQ(o.cls, &vexNumRangeClass);
    EXPECT_EQ(o.message, fast ? "Overflow detected parsing number" : "Overflow parsing number");
  }
  Outcome o = outcome([] { vnumParseFloat("1e99999999999", vnumNUL_TERMINATED, nullptr); });
  EXPECT_EQ(o.message, "Overflow detected parsing exponent");
}

TEST(NumParse, RandomFifteenDigitValuesRoundTrip) {
  std::mt19937_64 rng(15);
  for (int i = 0; i < 3000; ++i) {
    char text[40];
    long long mantissa = static_cast<long long>(rng() % 1'000'000'000'000'000ULL);
    int exponent = static_cast<int>(rng() % 60) - 30;
    std::snprintf(text, sizeof text, "%s%lld.%03llde%d", rng() % 2 ? "-" : "", mantissa / 1000, mantissa % 1000,
                  exponent);
    double expected = std::strtod(text, nullptr);
    ASSERT_EQ(vnumParseFloat(text, vnumNUL_TERMINATED, nullptr), expected) << text;
    ASSERT_EQ(vnumParseFloat(text, static_cast<std::int32_t>(std::strlen(text)), nullptr), expected) << text;
  }
}

TEST(NumParse, FormatElementsAndOtherBases) {
  vnumFormat* f = vnumFormatCreate();
  vnumFormatAppend(f, vnumTextElement(vnumText, "$", nullptr));
  vnumElement ws{};
  ws.kind = vnumWhiteSpace;
  ws.required = 1;
  vnumFormatAppend(f, ws);
  vnumElement digits{};
  digits.kind = vnumDigits;
  digits.count = -1;
  digits.grouping = 3;
  digits.character = ',';
  vnumFormatAppend(f, digits);
  const char* end = nullptr;
  EXPECT_EQ(vnumParseLong("$ 1,234,567", 11, &end, vnumGetDecimalDigits(), f, nullptr, 0), 1234567);
  EXPECT_EQ(outcome([&] { vnumParseLong("$1", 2, &end, vnumGetDecimalDigits(), f, nullptr, 0); }).message,
            "Required white space not present");
  EXPECT_EQ(outcome([&] { vnumParseLong("#1", 2, &end, vnumGetDecimalDigits(), f, nullptr, 0); }).message,
            "Text did not match format");
  vinstanceDestroy(f);

  vnumFormat* n = vnumGetNormalFormat();
  EXPECT_EQ(vnumParseLong("-80000000", 9, nullptr, vnumGetHexDigits(), n, nullptr, 0), INT32_MIN);
  EXPECT_EQ(outcome([&] { vnumParseLong("80000000", 8, nullptr, vnumGetHexDigits(), n, nullptr, 0); }).message,
            "Overflow parsing number");
  EXPECT_EQ(vnumParseLong("FfFf", 4, nullptr, vnumGetHexDigits(), n, nullptr, 0), 0xffff);
  EXPECT_EQ(vnumParseLong("777", vnumNUL_TERMINATED, nullptr, vnumGetOctalDigits(), n, nullptr, 0), 511);
  EXPECT_EQ(vnumParseDouble("101.01", 6, nullptr, vnumGetBinaryDigits(), n, nullptr, 0), 5.25);
  Outcome neg = outcome([&] {
    vnumParseLong("+-1", 3, nullptr, vnumGetDecimalDigits(), vnumGetExponentFormat(), nullptr, 0);
  });
  EXPECT_EQ(neg.message, "Text did not match format");
}

}  // namespace
