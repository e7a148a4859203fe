// G.711 companding against values of the standard's tables.
#include <gtest/gtest.h>

#include <cstdint>

#include "sim/engine/periph/g711.h"

namespace {

struct known_code {
  uint8_t code;
  int16_t linear;
};

// Zero, the smallest steps, segment starts and the largest magnitudes.
constexpr known_code alaw_codes[] = {
    {0xD5, 8},     {0x55, -8},     {0xD4, 24},     {0xC5, 264},   {0xB5, 8448},
    {0xAA, 32256}, {0x2A, -32256}, {0xDA, 248},    {0x80, 5504},
};
constexpr known_code ulaw_codes[] = {
    {0xFF, 0},      {0x7F, 0},     {0xFE, 8},      {0x7E, -8},   {0xEF, 132},
    {0x80, 32124},  {0x00, -32124}, {0xDF, 396},   {0x8F, 16764},
};

TEST(G711, DecodesKnownCodes) {
  for (const known_code& k : alaw_codes) EXPECT_EQ(alaw_to_linear(k.code), k.linear) << int(k.code);
  for (const known_code& k : ulaw_codes) EXPECT_EQ(ulaw_to_linear(k.code), k.linear) << int(k.code);
}

// Every code decodes to a value that encodes back to it (mu-law has two
// codes for zero; the encoder gives the positive one).
TEST(G711, EveryCodeRoundTrips) {
  for (int c = 0; c < 256; ++c) {
    const auto code = static_cast<uint8_t>(c);
    EXPECT_EQ(linear_to_alaw(alaw_to_linear(code)), code) << c;
    if (c != 0x7F) {
      EXPECT_EQ(linear_to_ulaw(ulaw_to_linear(code)), code) << c;
    }
  }
  EXPECT_EQ(linear_to_ulaw(0), 0xFF);
}

// Encoding is monotonic and saturates at the largest codes.
TEST(G711, EncodingIsMonotonicAndSaturates) {
  int last_a = alaw_to_linear(linear_to_alaw(-32768));
  int last_u = ulaw_to_linear(linear_to_ulaw(-32768));
  for (int v = -32768; v <= 32767; v += 7) {
    const int a = alaw_to_linear(linear_to_alaw(static_cast<int16_t>(v)));
    const int u = ulaw_to_linear(linear_to_ulaw(static_cast<int16_t>(v)));
    EXPECT_GE(a, last_a) << v;
    EXPECT_GE(u, last_u) << v;
    last_a = a;
    last_u = u;
  }
  EXPECT_EQ(linear_to_alaw(32767), 0xAA);
  EXPECT_EQ(linear_to_ulaw(32767), 0x80);
  EXPECT_EQ(linear_to_ulaw(-32768), 0x00);
}

}  // namespace
