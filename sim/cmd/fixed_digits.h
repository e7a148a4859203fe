// Zero-padded hexadecimal and decimal numbers appended to a string, the
// same text as printf's "%0*lx", "%0*lu" and "%0*ld" gives, without its
// cost: the run display of a trace writes a dozen of them per instruction.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace digits {

// The writers put the text at p and return its end; widths above
// MAX_WIDTH are taken as MAX_WIDTH.
constexpr int MAX_WIDTH = 32;

// Like "%0*lx" (lower case); width 0 gives the digits alone.
inline char* put_hex(char* p, uint64_t value, int width) {
  int digits = 1;
  for (uint64_t v = value >> 4; v != 0; v >>= 4) ++digits;
  const int n = std::max(digits, std::min(width, MAX_WIDTH));
  for (int i = n - 1; i >= 0; --i) {
    p[i] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  }
  return p + n;
}

// Like "%0*lu".
inline char* put_unsigned(char* p, uint64_t value, int width) {
  int digits = 1;
  for (uint64_t v = value / 10; v != 0; v /= 10) ++digits;
  const int n = std::max(digits, std::min(width, MAX_WIDTH));
  for (int i = n - 1; i >= 0; --i) {
    p[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return p + n;
}

// Like "%0*ld": the sign counts in the width, the zeros follow it.
inline char* put_signed(char* p, int64_t value, int width) {
  if (value >= 0) return put_unsigned(p, static_cast<uint64_t>(value), width);
  *p++ = '-';
  return put_unsigned(p, 0 - static_cast<uint64_t>(value), width - 1);
}

inline void append_hex(std::string& out, uint64_t value, int width) {
  char buffer[MAX_WIDTH];
  out.append(buffer, static_cast<std::size_t>(put_hex(buffer, value, width) - buffer));
}
inline void append_unsigned(std::string& out, uint64_t value, int width) {
  char buffer[MAX_WIDTH];
  out.append(buffer, static_cast<std::size_t>(put_unsigned(buffer, value, width) - buffer));
}
inline void append_signed(std::string& out, int64_t value, int width) {
  char buffer[MAX_WIDTH + 1];
  out.append(buffer, static_cast<std::size_t>(put_signed(buffer, value, width) - buffer));
}

}  // namespace digits
