// G.711: a sign bit, a 3-bit segment (exponent) and a 4-bit step within
// the segment; A-law codes have their even bits inverted, mu-law codes
// all bits.
#include "sim/engine/periph/g711.h"

#include <array>

namespace {

constexpr uint8_t ALAW_INVERT = 0x55, ULAW_BIAS = 0x84;
constexpr int ULAW_CLIP = 32635;

// The segment of a magnitude: the first end at or above it, 8 past them.
template <std::size_t N>
int segment_of(int magnitude, const std::array<int, N>& ends) {
  for (std::size_t s = 0; s < N; ++s)
    if (magnitude <= ends[s]) return static_cast<int>(s);
  return static_cast<int>(N);
}

// Segment ends of the 13-bit A-law magnitude and of the biased 16-bit
// mu-law magnitude.
constexpr std::array<int, 8> alaw_ends = {0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
constexpr std::array<int, 8> ulaw_ends = {0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF, 0x3FFF, 0x7FFF};

}  // namespace

uint8_t linear_to_alaw(int16_t value) {
  int pcm = value >> 3;  // 13 bits
  uint8_t sign = 0x80;
  if (pcm < 0) {
    sign = 0;
    pcm = -pcm - 1;
  }
  const int seg = segment_of(pcm, alaw_ends);
  if (seg >= 8) return static_cast<uint8_t>((0x7F | sign) ^ ALAW_INVERT);
  const int step = seg < 2 ? (pcm >> 1) & 0xF : (pcm >> seg) & 0xF;
  return static_cast<uint8_t>(((seg << 4) | step | sign) ^ ALAW_INVERT);
}

int16_t alaw_to_linear(uint8_t code) {
  const int a = code ^ ALAW_INVERT;
  int t = (a & 0x0F) << 4;
  const int seg = (a & 0x70) >> 4;
  t += seg == 0 ? 8 : 0x108;
  if (seg > 1) t <<= seg - 1;
  return static_cast<int16_t>((a & 0x80) ? t : -t);
}

uint8_t linear_to_ulaw(int16_t value) {
  int pcm = value;
  uint8_t invert = 0xFF;  // a positive value has the sign bit set in its code
  if (pcm < 0) {
    invert = 0x7F;
    pcm = -pcm;
  }
  if (pcm > ULAW_CLIP) pcm = ULAW_CLIP;
  pcm += ULAW_BIAS;
  const int seg = segment_of(pcm, ulaw_ends);
  const int step = (pcm >> (seg + 3)) & 0xF;
  return static_cast<uint8_t>(((seg << 4) | step) ^ invert);
}

int16_t ulaw_to_linear(uint8_t code) {
  const int u = ~code & 0xFF;
  int t = ((u & 0x0F) << 3) + ULAW_BIAS;
  t <<= (u & 0x70) >> 4;
  return static_cast<int16_t>((u & 0x80) ? ULAW_BIAS - t : t - ULAW_BIAS);
}
