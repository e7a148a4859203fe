#include "sim/cdb/coff_bytes.h"

#include <memory>

namespace {
struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
}  // namespace

bool coff_bytes::load(const char* path) {
  data.clear();
  const std::unique_ptr<std::FILE, file_closer> file(std::fopen(path, "rb"));
  if (!file) return false;
  uint8_t buffer[8192];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
    data.insert(data.end(), buffer, buffer + n);
    if (n < sizeof buffer) return std::ferror(file.get()) == 0;
  }
}

std::string name_from_words(const uint32_t* words, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) put_be_word(out, words[i]);
  const std::size_t nul = out.find('\0');
  if (nul != std::string::npos) out.resize(nul);
  return out;
}
