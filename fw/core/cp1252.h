// Windows-1252, the framework's internal character set: lower case, upper
// case and accent removal as byte tables (internal to fw/core).
#pragma once
#include <array>

namespace cp1252 {

using Table = std::array<unsigned char, 256>;

constexpr Table identity() {
  Table t{};
  for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
  return t;
}

inline constexpr Table lower = [] {
  Table t = identity();
  for (int c = 0x41; c <= 0x5A; ++c) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c + 0x20);
  t[0x8A] = 0x9A, t[0x8C] = 0x9C, t[0x9F] = 0xFF;
  for (int c = 0xC0; c <= 0xDE; ++c)
    if (c != 0xD7) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c + 0x20);
  return t;
}();

// The sharp s (0xDF) has no one-byte upper case: it expands to "SS".
inline constexpr Table upper = [] {
  Table t = identity();
  for (int c = 0x61; c <= 0x7A; ++c) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c - 0x20);
  t[0x9A] = 0x8A, t[0x9C] = 0x8C, t[0xFF] = 0x9F;
  for (int c = 0xE0; c <= 0xFE; ++c)
    if (c != 0xF7) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c - 0x20);
  return t;
}();

inline constexpr Table accent = [] {
  Table t = identity();
  auto range = [&](int from, int to, char letter) {
    for (int c = from; c <= to; ++c) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(letter);
  };
  t[0x8A] = 'S', t[0x9A] = 's', t[0x9F] = 'Y', t[0xDD] = 'Y';
  range(0xC0, 0xC5, 'A'), range(0xC7, 0xC7, 'C'), range(0xC8, 0xCB, 'E'), range(0xCC, 0xCF, 'I');
  range(0xD0, 0xD0, 'D'), range(0xD1, 0xD1, 'N'), range(0xD2, 0xD6, 'O'), range(0xD8, 0xD8, 'O');
  range(0xD9, 0xDC, 'U');
  range(0xE0, 0xE5, 'a'), range(0xE7, 0xE7, 'c'), range(0xE8, 0xEB, 'e'), range(0xEC, 0xEF, 'i');
  range(0xF0, 0xF0, 'd'), range(0xF1, 0xF1, 'n'), range(0xF2, 0xF6, 'o'), range(0xF8, 0xF8, 'o');
  range(0xF9, 0xFC, 'u'), range(0xFD, 0xFD, 'y'), range(0xFF, 0xFF, 'y');
  return t;
}();

// Lower case, then accents removed: what case-blind comparison compares.
inline constexpr Table fold = [] {
  Table t{};
  for (std::size_t i = 0; i < 256; ++i) t[i] = accent[lower[i]];
  return t;
}();

}  // namespace cp1252
