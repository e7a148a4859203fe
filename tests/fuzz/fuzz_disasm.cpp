// disassemble_word on any two words at any address with any address
// registers: the text stays within its room and the length is 0, 1 or 2.
#include <cstring>

#include "fuzz_support.h"
#include "sim/asm/disasm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 6) return -1;
  fuzz_start();
  const auto word = [&](std::size_t at) {
    return at + 1 < size ? static_cast<uint32_t>(data[at] | data[at + 1] << 8) : 0u;
  };
  const uint32_t words[3] = {word(0), word(2), 0};
  dis_ea_info info;
  info.pc = word(4);
  for (int k = 0; k < 4; ++k) {
    info.r[k] = word(6 + 2 * k);
    info.n[k] = word(14 + 2 * k);
    info.m[k] = word(22 + 2 * k);
  }
  info.a1 = word(30);
  info.b1 = word(32);
  char text[DIS_TEXT_SIZE + 16];
  std::memset(text, 0x55, sizeof text);
  const int length = disassemble_word(words, text, 0, 0, size > 34 && (data[34] & 1) ? &info : nullptr);
  if (length < 0 || length > 2) __builtin_trap();
  if (std::memchr(text, '\0', DIS_TEXT_SIZE) == nullptr) __builtin_trap();
  return 0;
}
