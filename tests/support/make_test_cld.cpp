// make_test_cld SOURCE OUT [ORIGIN]: assembles a small assembler source
// with the simulator's own assembler into a COFF program with line
// numbers, for the scenarios of source-level debugging.
//
// Source lines: "label:" at column 0 names the address of the next
// instruction; a label whose comment says "function" starts a C function
// (symbol "F" + label, ".bf" and ".ef"): its body starts at the line whose
// comment holds "{" (else its first instruction) and it ends at the line
// whose comment holds "}" (else before the next function). Every line with
// an instruction gets a line record, unless its comment says "no line";
// those of a C function are relative to its ".bf" line, the label's line.
// A function label's comment may add "static NAME x:$ADDRESS" (hex):
// an int static to a block that spans the function's body; and "code N",
// the frame code of its ".bf" (how it returns; 0 when not given).
// A line whose comment begins with "sym" adds a symbol as written: "sym
// NAME VALUE SPACE SECTION TYPE CLASS [aux W0 ... W7]" (numbers in C form;
// an auxiliary word "@NAME" is the index of the symbol NAME). Inside a C
// function it follows the ".bf", else it stands where the line is.
// A line whose comment says "section" starts a new section; one whose
// comment says "overlay" starts a section at the previous section's start
// address, and both carry the overlay flag.
// The program starts at "main" or "start" when there is one, else at the
// origin.
//
// A scenario asks for such a program with "#cld SOURCE OUT" after its
// "#file" lines ("#cut FILE N" then cuts a file short).
//
// For a program described in another language: "@N" in a line's comment
// gives the line of the source its line record names (a function label's
// "@N" the line of its ".bf"); a comment line "file NAME" names that source
// for the ".file" symbol; a comment line "data $ADDRESS W ..." (hex) adds
// an initialised data section in x memory.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sim/asm/asm.h"
#include "sim/expr/expr.h"
#include "sim/cmd/hooks.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/cdb/coff_writer.h"

namespace {

struct source_line {
  int number = 0;
  std::string label;
  std::string code;
  std::string comment;
  uint32_t address = 0;
  int words = 0;
  std::vector<uint32_t> words_of;
  int section = 3;
  int source_line = 0;  // "@N": the line its records name; 0: its own
};

struct function {
  std::string name;
  std::size_t first = 0;  // index of the label line
  std::size_t last = 0;   // last line that belongs to it
  uint32_t body = 0;
};

std::string trim(const std::string& s) {
  const auto a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

// Operand words that name a label become its address ("$0" while the
// labels are being placed).
std::string with_labels(const std::string& code, const std::map<std::string, uint32_t>& labels, bool placing) {
  std::string out;
  std::size_t i = 0;
  const auto name_char = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; };
  while (i < code.size()) {
    if (!name_char(code[i]) || (i > 0 && (name_char(code[i - 1]) || code[i - 1] == '$'))) {
      out += code[i++];
      continue;
    }
    std::size_t j = i;
    while (j < code.size() && name_char(code[j])) ++j;
    const std::string word = code.substr(i, j - i);
    const auto found = labels.find(word);
    if (found != labels.end()) {
      char text[16];
      std::snprintf(text, sizeof text, "$%X", placing ? 0u : found->second);
      out += text;
    } else {
      out += word;
    }
    i = j;
  }
  return out;
}

// A "sym" line's symbol; false for other lines. References "@NAME" in
// auxiliary words are left for later (the index of aux word k in refs[k]).
struct raw_symbol {
  std::string name;
  std::array<uint32_t, 5> words{};
  bool has_aux = false;
  std::array<uint32_t, 8> aux{};
  std::array<std::string, 8> refs;
};
bool read_raw_symbol(const std::string& comment, raw_symbol& out) {
  std::istringstream in(comment);
  std::string word;
  if (!(in >> word) || word != "sym" || !(in >> out.name)) return false;
  for (uint32_t& w : out.words) {
    if (!(in >> word)) return false;
    w = static_cast<uint32_t>(std::strtoll(word.c_str(), nullptr, 0));
  }
  if (!(in >> word) || word != "aux") return true;
  out.has_aux = true;
  for (std::size_t k = 0; k < out.aux.size() && in >> word; ++k) {
    if (word[0] == '@') out.refs[k] = word.substr(1);
    else out.aux[k] = static_cast<uint32_t>(std::strtoll(word.c_str(), nullptr, 0));
  }
  return true;
}

int fail(const std::string& text) {
  std::fprintf(stderr, "make_test_cld: %s\n", text.c_str());
  free_all_devices();
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return fail("usage: make_test_cld SOURCE OUT [ORIGIN]");
  const std::string source = argv[1];
  const uint32_t origin = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 16)) : 0x40;
  index_memory_regions();
  if (create_device(0, "73521") != 1) return fail("no device");
  install_simulator_hooks();

  std::ifstream in(source);
  if (!in) return fail("cannot read " + source);
  std::vector<source_line> lines;
  std::string text;
  while (std::getline(in, text)) {
    source_line l;
    l.number = static_cast<int>(lines.size()) + 1;
    const auto semi = text.find(';');
    l.comment = semi == std::string::npos ? "" : text.substr(semi + 1);
    std::string code = text.substr(0, semi);
    const auto colon = code.find(':');
    if (!code.empty() && code[0] != ' ' && code[0] != '\t' && colon != std::string::npos) {
      l.label = code.substr(0, colon);
      code = code.substr(colon + 1);
    }
    l.code = trim(code);
    const auto at = l.comment.find('@');
    if (at != std::string::npos && at + 1 < l.comment.size() && std::isdigit(static_cast<unsigned char>(l.comment[at + 1])))
      l.source_line = std::atoi(l.comment.c_str() + at + 1);
    lines.push_back(l);
  }
  const auto line_number = [](const source_line& l) { return l.source_line > 0 ? l.source_line : l.number; };
  std::string file_name = source;
  std::vector<test_section> data;
  for (const source_line& l : lines) {
    std::istringstream words(l.comment);
    std::string word;
    if (!(words >> word)) continue;
    if (word == "file") {
      words >> file_name;
    } else if (word == "data") {
      unsigned address = 0;
      if (!(words >> word) || std::sscanf(word.c_str(), "$%x", &address) != 1) return fail("data needs $ADDRESS");
      test_section d{".dat", address, 1, 0x40, {}};
      while (words >> word) d.raw.push_back(static_cast<uint32_t>(std::strtoul(word.c_str(), nullptr, 16)));
      data.push_back(d);
    }
  }
  // The first pass places the labels (operands naming them as 0).
  std::map<std::string, uint32_t> labels;
  for (const source_line& l : lines)
    if (!l.label.empty()) labels[l.label] = 0;
  // An operand's size may depend on where its label lands: further passes
  // until no label moves.
  constexpr int PASSES = 6;
  for (int pass = 0, moved = 1; moved != 0; ++pass) {
    if (pass == PASSES) return fail("labels still move after " + std::to_string(PASSES) + " passes");
    moved = pass == 0 ? 1 : 0;
    uint32_t address = origin, section_start = origin;
    for (source_line& l : lines) {
      if (l.comment.find("overlay") != std::string::npos)
        address = section_start;
      else if (l.comment.find("section") != std::string::npos)
        section_start = address;
      if (!l.label.empty()) labels[l.label] = address;
      if (pass > 0 && l.address != address) moved = 1;
      l.address = address;
      if (l.code.empty()) continue;
      const std::string code = with_labels(l.code, labels, pass == 0);
      l.words = assemble_line(code.c_str(), address);
      if (l.words <= 0)
        return fail(source + ":" + std::to_string(l.number) + ": " +
                    (parse_error_text != nullptr ? parse_error_text : "no words"));
      l.words_of.assign(asm_words.begin(), asm_words.begin() + l.words);
      address += static_cast<uint32_t>(l.words);
    }
  }

  // C functions: from a "function" label to its "}" line or the next one.
  std::vector<function> functions;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].label.empty() || lines[i].comment.find("function") == std::string::npos) continue;
    if (!functions.empty() && functions.back().last >= i) functions.back().last = i - 1;
    function f{lines[i].label, i, lines.size() - 1, 0};
    for (std::size_t k = i + 1; k < lines.size(); ++k) {
      if (lines[k].words > 0 && f.body == 0) f.body = lines[k].address;
      if (lines[k].words > 0 && lines[k].comment.find('{') != std::string::npos) f.body = lines[k].address;
      if (lines[k].comment.find('}') != std::string::npos) {
        f.last = k;
        break;
      }
    }
    functions.push_back(f);
  }
  auto function_at = [&](std::size_t i) -> const function* {
    for (const function& f : functions)
      if (i >= f.first && i <= f.last) return &f;
    return nullptr;
  };

  test_coff c;
  // Sections: the first from the origin, another from each line whose
  // comment says "section".
  c.sections = {{".txt", 0, 0, 0x20, {}}, {".dat", 0, 1, 0x40, {}}, {".txt", origin, 0, 0x20, {}}};
  constexpr uint32_t overlay_flag = 0x800;
  for (source_line& l : lines) {
    if (l.comment.find("overlay") != std::string::npos) {
      c.sections.back().flags |= overlay_flag;
      c.sections.push_back({".txt", l.address, 0, 0x20 | overlay_flag, {}});
    } else if (l.comment.find("section") != std::string::npos && !c.sections.back().raw.empty()) {
      c.sections.push_back({".txt", l.address, 0, 0x20, {}});
    }
    l.section = static_cast<int>(c.sections.size());
    c.sections.back().raw.insert(c.sections.back().raw.end(), l.words_of.begin(), l.words_of.end());
  }
  // Line records in address order; a function's run starts with its line-0 record.
  std::vector<std::size_t> function_record(functions.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const function* f = function_at(i);
    if (f != nullptr && i == f->first) {
      function_record[static_cast<std::size_t>(f - functions.data())] = c.lines.size();
      c.lines.push_back({0, 0, 0});  // the function's symbol index, filled below
      c.sections[static_cast<std::size_t>(lines[i].section - 1)].line_count += 1;
    }
    if (lines[i].words == 0 || lines[i].comment.find("no line") != std::string::npos) continue;
    const auto line = static_cast<uint32_t>(line_number(lines[i]));
    const uint32_t relative = f != nullptr ? line - static_cast<uint32_t>(line_number(lines[f->first])) + 1 : line;
    c.lines.push_back({lines[i].address, 0, relative});
    c.sections[static_cast<std::size_t>(lines[i].section - 1)].line_count += 1;
  }
  c.sections.insert(c.sections.end(), data.begin(), data.end());
  c.bytes();  // places the line run

  uint32_t entry = origin;
  c.symbol(".file", 0, 0, -2, 0, 103, 1);
  c.file_aux(file_name, 1);
  std::map<std::string, uint32_t> raw_index;
  std::vector<std::pair<std::size_t, std::string>> raw_refs;  // aux word position, name
  const auto add_raw = [&](const source_line& l) {
    raw_symbol r;
    if (!read_raw_symbol(l.comment, r)) return;
    const auto& w = r.words;
    raw_index.emplace(r.name, c.symbol(r.name, w[0], w[1], static_cast<int32_t>(w[2]), w[3], w[4], r.has_aux ? 1 : 0));
    if (!r.has_aux) return;
    c.aux(r.aux);
    for (std::size_t k = 0; k < r.refs.size(); ++k)
      if (!r.refs[k].empty()) raw_refs.emplace_back((c.symbols.size() - 1) * 8 + k, r.refs[k]);
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const source_line& l = lines[i];
    if (function_at(i) == nullptr) add_raw(l);
    if (l.label.empty()) continue;
    if (l.label == "main" || l.label == "start") entry = l.address;
    const function* f = function_at(i);
    if (f != nullptr && f->first == i) {
      const std::size_t n = static_cast<std::size_t>(f - functions.data());
      const source_line& end = lines[f->last];
      const uint32_t end_address = end.address + static_cast<uint32_t>(end.words) - 1;
      uint32_t last_relative = 1;
      for (std::size_t k = f->first; k <= f->last; ++k)
        if (lines[k].words > 0 || lines[k].source_line > 0)
          last_relative = std::max(last_relative, static_cast<uint32_t>(line_number(lines[k]) - line_number(l) + 1));
      const uint32_t index = c.symbol("F" + l.label, l.address, 0, l.section, 0x24, 2, 1);
      c.lines[function_record[n]][0] = index;
      c.aux({0, end_address - l.address + 1, 0, c.lines_at + 12 * static_cast<uint32_t>(function_record[n]), 0, 0, 0,
             0});
      int code = 0;
      const auto code_at = l.comment.find("code ");
      if (code_at != std::string::npos) code = std::atoi(l.comment.c_str() + code_at + 5);
      c.symbol(".bf", f->body, 0, l.section, 0, 101, 1);
      c.aux({0, static_cast<uint32_t>(line_number(l)), 0, 0, 0, static_cast<uint32_t>(code), 0, 0});
      char local[32];
      unsigned address = 0;
      const auto at = l.comment.find("static ");
      if (at != std::string::npos && std::sscanf(l.comment.c_str() + at, "static %31s x:$%x", local, &address) == 2) {
        c.symbol(".bb", f->body, 0, l.section, 0, 100, 1);
        c.aux({0, 0, 0, 0, 0, 0, 0, 0});
        c.symbol(std::string("F") + local, address, 1, 2, 4, 3);
        c.symbol(".eb", end_address, 0, l.section, 0, 100, 1);
        c.aux({0, 0, 0, 0, 0, 0, 0, 0});
      }
      for (std::size_t k = f->first; k <= f->last; ++k) add_raw(lines[k]);
      c.symbol(".ef", end_address, 0, l.section, 0, 101, 1);
      c.aux({0, last_relative, 0, 0, 0, 0, 0, 0});
    }
    c.symbol(l.label, l.address, 0, l.section, 0, 211);
  }
  // Each function's auxiliary entry names the next function symbol.
  uint32_t previous_aux = 0;
  for (uint32_t i = 0; i < c.symbols.size(); ++i) {
    if ((c.symbols[i][5] & 0x30) != 0x20 || c.symbols[i][6] != 2) continue;
    if (previous_aux != 0) c.symbols[previous_aux][4] = i;
    previous_aux = i + 1;
  }
  c.symbols[0][2] = static_cast<uint32_t>(c.symbols.size());  // the chain ends
  for (const auto& [at, name] : raw_refs) {
    const auto found = raw_index.find(name);
    if (found == raw_index.end()) return fail("no symbol " + name);
    c.symbols[at / 8][at % 8] = found->second;
  }
  c.opt[5] = entry;
  c.write(argv[2]);
  free_all_devices();
  return 0;
}
