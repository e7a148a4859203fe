// Zero-padded hexadecimal and decimal numbers appended to a string, the
// same text as printf's "%0*lx", "%0*lu" and "%0*ld" gives, without its
// cost: the run display of a trace writes a dozen of them per instruction.
#pragma once

#include <cstdint>
#include <string>

namespace digits {

// Like "%0*lx" (lower case); width 0 gives the digits alone.
inline void append_hex(std::string& out, uint64_t value, int width) {
  char buffer[16];
  int n = 0;
  do {
    buffer[n++] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  for (int i = n; i < width; ++i) out += '0';
  while (n > 0) out += buffer[--n];
}

// Like "%0*lu".
inline void append_unsigned(std::string& out, uint64_t value, int width) {
  char buffer[20];
  int n = 0;
  do {
    buffer[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = n; i < width; ++i) out += '0';
  while (n > 0) out += buffer[--n];
}

// Like "%0*ld": the sign counts in the width, the zeros follow it.
inline void append_signed(std::string& out, int64_t value, int width) {
  if (value >= 0) {
    append_unsigned(out, static_cast<uint64_t>(value), width);
    return;
  }
  out += '-';
  append_unsigned(out, 0 - static_cast<uint64_t>(value), width - 1);
}

}  // namespace digits
