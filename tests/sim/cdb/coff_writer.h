// A small COFF writer for the tests, laid out field by field: file header,
// optional header, section headers, raw data, the line-number run, the
// symbol table and the string table.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

struct test_section {
  std::string name;
  uint32_t start = 0;
  uint32_t space = 0;
  uint32_t flags = 0x20;
  std::vector<uint32_t> raw;  // a fill section: the fill word
  uint32_t fill_count = 0;
  uint32_t line_count = 0;  // ignored for the first header: it describes the whole run
};

struct test_coff {
  uint32_t magic = 711;
  uint32_t opt_size = 60;
  uint32_t file_flags = 15;
  std::array<uint32_t, 15> opt{};
  std::vector<test_section> sections;
  std::vector<std::array<uint32_t, 3>> lines;
  std::vector<std::array<uint32_t, 8>> symbols;  // auxiliary entries included
  std::string strings;                           // text after the size word
  bool string_table = true;

  // Offsets of the parts, known once bytes() ran.
  mutable uint32_t lines_at = 0, symbols_at = 0, strings_at = 0;
  mutable std::vector<uint32_t> raw_at;

  static uint32_t be(const char* four) {
    return (uint32_t(uint8_t(four[0])) << 24) | (uint32_t(uint8_t(four[1])) << 16) |
           (uint32_t(uint8_t(four[2])) << 8) | uint32_t(uint8_t(four[3]));
  }
  // Name words: inline up to 8 characters, else a string-table offset.
  std::array<uint32_t, 2> name_words(const std::string& name) {
    if (name.size() > 8) {
      const auto offset = static_cast<uint32_t>(4 + strings.size());
      strings += name;
      strings += '\0';
      return {0, offset};
    }
    char text[8] = {};
    name.copy(text, 8);
    return {be(text), be(text + 4)};
  }
  // A symbol; returns its index.
  uint32_t symbol(const std::string& name, uint32_t value, uint32_t space, int32_t section,
                  uint32_t type, uint32_t sclass, uint32_t aux = 0) {
    const auto n = name_words(name);
    symbols.push_back({n[0], n[1], value, space, static_cast<uint32_t>(section), type, sclass, aux});
    return static_cast<uint32_t>(symbols.size() - 1);
  }
  void aux(std::array<uint32_t, 8> words) { symbols.push_back(words); }
  // The auxiliary entry of a ".file": the name inline.
  void file_aux(const std::string& name, uint32_t model) {
    char text[16] = {};
    name.copy(text, 16);
    aux({be(text), be(text + 4), be(text + 8), be(text + 12), 0, model, 0, 0});
  }

  static void put(std::string& out, uint32_t w) {
    out += char(w >> 24);
    out += char(w >> 16);
    out += char(w >> 8);
    out += char(w);
  }

  std::string bytes() const {
    uint32_t at = 28 + opt_size + 52 * static_cast<uint32_t>(sections.size());
    raw_at.clear();
    for (const test_section& s : sections) {
      raw_at.push_back(s.raw.empty() ? 0 : at);
      at += 4 * static_cast<uint32_t>(s.raw.size());
    }
    lines_at = at;
    at += 12 * static_cast<uint32_t>(lines.size());
    symbols_at = symbols.empty() ? 0 : at;
    strings_at = at + 32 * static_cast<uint32_t>(symbols.size());

    std::string out;
    for (uint32_t w : {magic, uint32_t(sections.size()), 0u, symbols_at, uint32_t(symbols.size()),
                       opt_size, file_flags})
      put(out, w);
    for (uint32_t k = 0; k < opt_size / 4; ++k) put(out, k < opt.size() ? opt[k] : 0);
    for (std::size_t i = 0; i < sections.size(); ++i) {
      const test_section& s = sections[i];
      char name[8] = {};
      s.name.copy(name, 8);
      const bool fill = (s.flags & 0x400) != 0;
      for (uint32_t w : {be(name), be(name + 4), s.start, s.space, fill ? s.fill_count : s.start, s.space,
                         uint32_t(s.raw.size()), raw_at[i], 0u, i == 0 && !lines.empty() ? lines_at : 0u, 0u,
                         i == 0 ? uint32_t(lines.size()) : s.line_count, s.flags})
        put(out, w);
    }
    for (const test_section& s : sections)
      for (uint32_t w : s.raw) put(out, w);
    for (const auto& l : lines)
      for (uint32_t w : l) put(out, w);
    for (const auto& e : symbols)
      for (uint32_t w : e) put(out, w);
    if (string_table) {
      put(out, strings.empty() ? 0 : 4 + static_cast<uint32_t>(strings.size()));
      out += strings;
    }
    return out;
  }

  void write(const std::string& path) const {
    std::ofstream(path, std::ios::binary) << bytes();
  }
};

inline void poke_word(std::string& bytes, uint32_t offset, uint32_t w) {
  bytes[offset] = char(w >> 24);
  bytes[offset + 1] = char(w >> 16);
  bytes[offset + 2] = char(w >> 8);
  bytes[offset + 3] = char(w);
}

// Writes the file to a temporary path, runs read (the path) and removes it.
template <typename F>
auto with_temp_coff(const test_coff& c, F&& read) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("coff_" + std::to_string(::getpid()) + ".cld")).string();
  c.write(path);
  auto result = read(path.c_str());
  std::filesystem::remove(path);
  return result;
}
