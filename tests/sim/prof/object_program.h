// Programs for profiling built in the test: assembled lines in ".txt"
// sections of an object file with line numbers, the source beside it, and
// a fixture that loads, runs and profiles them.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "sim/asm/asm.h"
#include "sim/cdb/coff_writer.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/core/runloop.h"

// One source line: its text, and what it assembles to (an instruction, or
// the words of a "dc").
struct line_spec {
  std::string text;
  std::string code{};
  std::vector<uint32_t> data{};
  int repeat = 1;  // code lines made of several instructions
};

struct built_section {
  uint32_t start = 0, words = 0, instructions = 0;
};

// Assembles the lines from an address into a ".txt" section with a line
// entry at each line's first word.
inline built_section add_text(test_coff& c, const std::vector<line_spec>& lines, uint32_t start, uint32_t first_number = 1) {
  test_section s{".txt", start, 0, 0x20, {}};
  built_section b{start, 0, 0};
  uint32_t address = start;
  const uint32_t first_line = static_cast<uint32_t>(c.lines.size());
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const line_spec& l = lines[k];
    const auto number = static_cast<uint32_t>(k + first_number);
    if (!l.data.empty()) c.lines.push_back({address, 0, number});
    for (uint32_t w : l.data) {
      s.raw.push_back(w);
      ++address;
    }
    for (int r = 0; r < (l.code.empty() ? 0 : l.repeat); ++r) {
      const int n = assemble_line(l.code.c_str(), address);
      EXPECT_GT(n, 0) << l.code;
      c.lines.push_back({address, 0, number});
      for (int i = 0; i < n; ++i) s.raw.push_back(asm_words[static_cast<std::size_t>(i)]);
      address += static_cast<uint32_t>(n);
      b.instructions += 1;
    }
  }
  b.words = address - start;
  s.line_count = static_cast<uint32_t>(c.lines.size()) - first_line;
  c.sections.push_back(s);
  return b;
}

inline std::string source_of(const std::vector<line_spec>& lines) {
  std::string text;
  for (const line_spec& l : lines) text += l.text + "\n";
  return text;
}

// Parts of one source file placed at their starts, their lines numbered
// on from one part to the next; the file's text.
inline std::string add_parts(test_coff& c, const std::vector<std::vector<line_spec>>& parts,
                             const std::vector<uint32_t>& starts) {
  std::string text;
  uint32_t number = 1;
  for (std::size_t k = 0; k < parts.size() && k < starts.size(); ++k) {
    add_text(c, parts[k], starts[k], number);
    number += static_cast<uint32_t>(parts[k].size());
    text += source_of(parts[k]);
  }
  return text;
}

class object_profile : public cmd_files {
 protected:
  void TearDown() override {
    run("log off p");
    cmd_files::TearDown();
  }
  static void go() {
    run("go");
    for (int guard = 0; device_states[0]->running != 0 && guard < 1000; ++guard)
      run_device_slice(RUN_SLICE_ROUNDS);
  }
  // Labels of each section and the ".file" chain.
  static void file_symbols(test_coff& c, const std::vector<std::pair<std::string, int>>& files) {
    std::vector<uint32_t> starts;
    for (const auto& [name, section] : files) {
      starts.push_back(c.symbol(".file", 0, 0, -2, 0, 103, 1));
      c.file_aux(name, 1);
      c.symbol("L" + std::to_string(section), c.sections[static_cast<std::size_t>(section - 1)].start, 0, section,
               0, 211);
    }
    for (std::size_t k = 0; k < starts.size(); ++k)
      c.symbols[starts[k]][2] = k + 1 < starts.size() ? starts[k + 1] : static_cast<uint32_t>(c.symbols.size());
  }
  // The first section header carries the whole line-number run: an empty
  // one stands first.
  static test_coff object_file() {
    test_coff c;
    c.sections.push_back({".dat", 0, 2, 0x40, {}});
    return c;
  }
  std::string profile(const test_coff& c, uint32_t stop, const char* report = "sum") {
    c.write(path("prog.cld"));
    run("load prog.cld");
    run(("break pc==$" + hex(stop)).c_str());
    run(("change pc $" + hex(c.sections[1].start)).c_str());
    run((std::string("log p ") + report).c_str());
    go();
    run("log off p");
    return read_file(std::string(report) + ".log");
  }
  static std::string hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", v);
    return text;
  }
};

