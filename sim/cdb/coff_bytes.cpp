#include "sim/cdb/coff_bytes.h"


std::string name_from_words(const uint32_t* words, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) put_be_word(out, words[i]);
  const std::size_t nul = out.find('\0');
  if (nul != std::string::npos) out.resize(nul);
  return out;
}
