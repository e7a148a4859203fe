// The hand-written numbers of the run display against printf's.
#include "sim/cmd/fixed_digits.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <limits>
#include <random>

namespace {

std::string printed(const char* format, int width, auto value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, width, value);
  return buffer;
}

TEST(FixedDigits, MatchPrintfAcrossWidthsAndEdges) {
  std::vector<uint64_t> values = {0, 1, 9, 10, 15, 16, 255, 0xFFFF, 0x10000, 99999, 100000,
                                  0xFFFFFF, 0xFFFFFFFFull, 0xFFFFFFFFFFull,
                                  std::numeric_limits<uint64_t>::max()};
  std::mt19937_64 random(73500);
  for (int i = 0; i < 2000; ++i) values.push_back(random() >> (random() % 64));
  for (const uint64_t v : values) {
    const auto s = static_cast<int64_t>(v);
    for (const int width : {0, 1, 2, 3, 4, 5, 6, 9, 11, 24}) {
      std::string hex, dec, sig;
      digits::append_hex(hex, v, width);
      digits::append_unsigned(dec, v, width);
      digits::append_signed(sig, s, width);
      ASSERT_EQ(hex, printed("%0*" PRIx64, width, v)) << v << " width " << width;
      ASSERT_EQ(dec, printed("%0*" PRIu64, width, v)) << v << " width " << width;
      ASSERT_EQ(sig, printed("%0*" PRId64, width, s)) << s << " width " << width;
      std::string negative;
      digits::append_signed(negative, -s, width);
      if (s != std::numeric_limits<int64_t>::min()) {
        ASSERT_EQ(negative, printed("%0*" PRId64, width, -s)) << -s << " width " << width;
      }
    }
  }
  std::string lowest;
  digits::append_signed(lowest, std::numeric_limits<int64_t>::min(), 5);
  EXPECT_EQ(lowest, printed("%0*" PRId64, 5, std::numeric_limits<int64_t>::min()));
}

TEST(FixedDigits, AppendsAfterWhatIsThere) {
  std::string text = "a=$";
  digits::append_hex(text, 0xab, 4);
  text += ' ';
  digits::append_signed(text, -2, 5);
  EXPECT_EQ(text, "a=$00ab -0002");
}

}  // namespace
