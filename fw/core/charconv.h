// Converting scribes (internal to fw/core): a codec turns source units into
// output characters one step at a time; the scribe reads and measures
// through it without holding any state.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/core/scribe.h"

namespace charconv {

struct Codec {
  int unitSize;  // bytes per source unit: 1, or 2 for 16-bit text
  int outSize;   // bytes per output character
  // Reads one source character from [p, end) (never past end), writes at
  // most 4 output characters and answers how many.
  int (*step)(const unsigned char*& p, const unsigned char* end, std::uint16_t* out);
};

struct Class {
  vscribeClass base;  // first: a scribe's class pointer is this record's
  const Codec* codec;
};

// A scribe over text of count units (SIZE_MAX: up to a zero unit).
vscribe* create(const Class* cls, const void* text, std::size_t count);

char* read(vscribe* s, char* buffer, std::size_t max);
std::size_t length(vscribe* s, std::size_t max);

constexpr Class makeClass(const Codec* codec) { return Class{{read, length, nullptr, codec->outSize}, codec}; }

// One byte through a 256-entry table.
template <const auto& Table>
int tableStep(const unsigned char*& p, const unsigned char*, std::uint16_t* out) {
  out[0] = Table[*p++];
  return 1;
}

}  // namespace charconv
