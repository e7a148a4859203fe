// A whole object file in memory, read with bounds-checked big-endian words.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

struct coff_bytes {
  std::vector<uint8_t> data;

  // False when the file cannot be opened or read (defined with the
  // device-side reader: it opens files the engine's way).
  bool load(const char* path);
  uint64_t size() const { return data.size(); }
  // True when [offset, offset + count * unit) lies in the file.
  bool holds(uint64_t offset, uint64_t count, uint64_t unit = 1) const {
    return offset <= size() && count <= (size() - offset) / (unit == 0 ? 1 : unit);
  }
  uint32_t word(uint64_t offset) const {
    const uint8_t* p = &data[offset];
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
  }
  std::optional<uint32_t> word_at(uint64_t offset) const {
    if (!holds(offset, 4)) return std::nullopt;
    return word(offset);
  }
};

// The bytes of a host-order word as they stand in the file.
inline void put_be_word(std::string& out, uint32_t w) {
  out += static_cast<char>(w >> 24);
  out += static_cast<char>(w >> 16);
  out += static_cast<char>(w >> 8);
  out += static_cast<char>(w);
}

// Name text of words in file order, up to the first NUL.
std::string name_from_words(const uint32_t* words, int count);
