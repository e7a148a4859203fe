// assemble_line, then disassemble_word on what it made: a line the
// assembler takes must print as an instruction whose text assembles again
// to words that print the same text. Input: two bytes of address, then the
// line.
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "sim/asm/asm.h"
#include "sim/asm/disasm.h"

namespace {

std::string disassembled(const std::array<uint16_t, 3>& w, int* length) {
  const uint32_t words[3] = {w[0], w[1], 0};
  char text[DIS_TEXT_SIZE] = {};
  *length = disassemble_word(words, text, 0, 0, nullptr);
  return text;
}

[[noreturn]] void finding(const char* what, const std::string& line, const std::string& text) {
  std::fprintf(stderr, "%s: \"%s\" -> \"%s\"\n", what, line.c_str(), text.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return -1;
  fuzz_start();
  static bool started = false;
  if (!started) {
    fuzz_fresh_session();
    started = true;
  }
  const uint32_t address = (data[0] | data[1] << 8) & 0xFFFF;
  const std::string line(reinterpret_cast<const char*>(data) + 2, size - 2);
  if (line.find('\0') != std::string::npos) return -1;
  const int count = assemble_line(line.c_str(), address);
  if (count <= 0) return 0;
  const std::array<uint16_t, 3> first = asm_words;
  int length = 0;
  const std::string text = disassembled(first, &length);
  if (length == 0) finding("assembled to a word that is no instruction", line, text);
  if (length != count) finding("assembled length differs from the disassembled one", line, text);
  if (assemble_line(text.c_str(), address) != count) finding("disassembly does not assemble", line, text);
  int again = 0;
  const std::string second = disassembled(asm_words, &again);
  if (second != text) finding("round trip changes the instruction", line, text + "\" -> \"" + second);
  return 0;
}
