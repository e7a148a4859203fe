// The debug information of a COFF file from its bytes: sections, symbols,
// line numbers, the string table, and the tables derived from them. Every
// count, index and offset is checked against the bytes.
//
// - `coff_parse.cpp` turns a whole file's bytes into a `coff_debug_info`, checking every count,
//   index and offset against the bytes (section headers, raw data, the line run and each function's
//   place in it, auxiliary entries, the ".file" chain, which must move forward, the string table);
//   it knows nothing of devices. The fuzz target `coff` (`tests/fuzz/fuzz_coff.cpp`) runs it and the
//   loader over arbitrary bytes. `coff_read.cpp` reads a file into a record of its own and gives it
//   to the device only when it was accepted: a refused file leaves the old program information in
//   place. Symbol entries keep their on-disk words (in host order); `symbols` has each type word
//   replaced by the enclosing block, `c_symbols` is the table as read.
#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

#include "sim/cdb/coff.h"
#include "sim/cdb/coff_bytes.h"
#include "sim/cdb/coff_internal.h"

namespace {

std::string error_text;

int fail(const char* message) {
  error_text = message;
  return -1;
}

constexpr const char* BAD_AUX = "invalid auxiliary entry count";
constexpr const char* BAD_FILE_CHAIN = "invalid .file chain";
constexpr const char* BAD_LINE_OFFSET = "invalid line number offset";
constexpr const char* BAD_RAW_DATA = "invalid section raw data";
constexpr uint32_t FILL_MAX = 0x10000;

struct reader {
  const coff_bytes& f;
  coff_debug_info& info;
  source_indexer index_source;
  uint32_t opt_size = 0;
  uint32_t line_offset = 0;

  int header(int family_code) {
    if (!f.holds(0, COFF_FILE_HEADER_BYTES)) return fail("cannot read file header");
    if (f.word(0) != static_cast<uint32_t>(family_code)) return fail("not an object file of this device type");
    const uint32_t headers = f.word(4);
    info.symbol_offset = f.word(12);
    info.symbol_count = f.word(16);
    opt_size = f.word(20);
    if (!f.holds(uint64_t{COFF_FILE_HEADER_BYTES} + opt_size, headers, COFF_SECTION_BYTES))
      return fail(headers == 0 ? "cannot seek to section headers" : "cannot read section headers");
    info.section_count = static_cast<int>(headers) + 1;
    return 0;
  }

  int string_table() {
    const uint64_t at = uint64_t{info.symbol_offset} + uint64_t{COFF_SYMBOL_BYTES} * info.symbol_count;
    if (info.symbol_offset == 0 || at == f.size()) return 0;  // no table
    if (at > f.size()) return fail("cannot seek to string table length");
    const auto size = f.word_at(at);
    if (!size) return fail("cannot read string table length");
    if (*size == 0) return 0;
    if (*size < 4 || !f.holds(at, *size)) return fail("cannot read string table");
    info.string_table.assign(f.data.begin() + static_cast<long>(at),
                             f.data.begin() + static_cast<long>(at + *size));
    return 0;
  }

  uint64_t header_at(int i) const {
    return uint64_t{COFF_FILE_HEADER_BYTES} + opt_size + uint64_t{COFF_SECTION_BYTES} * (i - 1);
  }

  int sections() {
    info.sections.assign(static_cast<std::size_t>(info.section_count), coff_section{});
    uint32_t running = 0;
    for (int i = 1; i < info.section_count; ++i) {
      const uint64_t h = header_at(i);
      coff_section& s = info.sections[static_cast<std::size_t>(i)];
      const uint32_t name_words[2] = {f.word(h), f.word(h + 4)};
      s.name = name_from_words(name_words, 2);
      s.start = f.word(h + 8);
      s.load_start = s.start;
      s.space = static_cast<int>(f.word(h + 12));
      s.flags = f.word(h + 48);
      const uint32_t raw_words = f.word(h + 24);
      s.size = (s.flags & SECT_FILL) != 0 ? f.word(h + 16) : raw_words;
      s.raw_offset = f.word(h + 28);
      if (s.raw_offset != 0 && !f.holds(s.raw_offset, raw_words, 4)) return fail(BAD_RAW_DATA);
      // A fill longer than an address space only repeats itself.
      if ((s.flags & SECT_FILL) != 0 && ((s.raw_offset != 0 && raw_words == 0) || s.size > FILL_MAX))
        return fail(BAD_RAW_DATA);
      s.line_count = f.word(h + 44);
      s.first_line = running;
      if (i >= 2) running += std::min<uint32_t>(s.line_count, UINT32_MAX - running);
    }
    return 0;
  }

  int symbols() {
    if (info.symbol_offset == 0 || info.symbol_count == 0) {
      info.symbol_count = 0;
      return 0;
    }
    if (info.symbol_offset > f.size()) return fail("cannot seek to symbol table");
    if (!f.holds(info.symbol_offset, info.symbol_count, COFF_SYMBOL_BYTES))
      return fail("cannot read symbol table entries");
    info.symbols.resize(info.symbol_count);
    for (uint32_t i = 0; i < info.symbol_count; ++i) {
      const uint64_t at = info.symbol_offset + uint64_t{COFF_SYMBOL_BYTES} * i;
      for (int k = 0; k < 8; ++k) info.symbols[i].w[static_cast<std::size_t>(k)] = f.word(at + 4 * k);
    }
    // Every walk steps over auxiliary entries: none may run past the table.
    for (uint32_t i = 0; i < info.symbol_count; i = next_symbol(info, i)) {
      if (info.symbols[i].aux_count() >= info.symbol_count - i) return fail(BAD_AUX);
    }
    info.c_symbols = info.symbols;
    return 0;
  }

  int line_numbers() {
    if (info.section_count < 2) return 0;
    line_offset = f.word(header_at(1) + 36);
    const uint32_t count = info.sections[1].line_count;
    if (count == 0) return 0;
    if (line_offset > f.size()) return fail("cannot seek to line number records");
    if (!f.holds(line_offset, count, COFF_LINE_BYTES)) return fail("cannot read line number records");
    info.lines.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t at = line_offset + uint64_t{COFF_LINE_BYTES} * i;
      info.lines[i] = {f.word(at), static_cast<int>(f.word(at + 4)), f.word(at + 8)};
    }
    return 0;
  }

  // Line numbers in the file count from the function's ".bf" line.
  int absolute_lines() {
    if (info.lines.empty()) return 0;
    uint32_t fn_offset = 0, fn_value = 0;
    int fn_space = 0;
    bool have_function = false;
    uint32_t base = 0;
    for (uint32_t i = 0; i < info.symbol_count; i = next_symbol(info, i)) {
      const coff_symbol& s = info.symbols[i];
      if (s.is_function() && s.sclass() != SC_TYPEDEF) {
        if (s.aux_count() == 0) continue;
        fn_offset = info.symbols[i + 1].w[3];
        fn_value = s.value();
        fn_space = s.space();
        have_function = true;
        continue;
      }
      if (s.sclass() != SC_FUNCTION || s.aux_count() == 0) continue;
      const uint32_t line = info.symbols[i + 1].w[1];
      if (symbol_name_is(s, ".bf")) {
        base = line - 1;
        continue;
      }
      if (line < 2 || !have_function || fn_offset == 0) continue;
      if (fn_offset < line_offset || (fn_offset - line_offset) % COFF_LINE_BYTES != 0)
        return fail(BAD_LINE_OFFSET);
      const uint64_t k = (fn_offset - line_offset) / COFF_LINE_BYTES;
      if (k + 1 >= info.lines.size()) return fail(BAD_LINE_OFFSET);
      coff_line& first = info.lines[k + 1];
      first.line += base;
      first.address = fn_value;
      first.space = fn_space;
      for (uint64_t r = k + 2; r < info.lines.size() && r <= k + line; ++r) {
        coff_line& rec = info.lines[r];
        if (rec.line == 0) break;
        const uint32_t relative = rec.line;
        rec.line += base;
        if (relative == line) break;
      }
      have_function = false;
    }
    return 0;
  }

  void absolute_symbols() {
    for (uint32_t i = 0; i < info.symbol_count; i = next_symbol(info, i)) {
      coff_symbol& s = info.symbols[i];
      const uint32_t derived = s.type() & DERIVED_MASK;
      if (s.section() != -1 || s.space() == 0 || derived == DERIVED_FUNCTION || derived == DERIVED_POINTER)
        continue;
      if (s.type() == 0 || s.type() == 4) {
        s.w[3] = 4;
      } else {
        s.w[6] = SC_ABSOLUTE;
      }
    }
  }

  // A section's line records can only name records of the run.
  void clamp_section_lines() {
    const auto total = static_cast<uint32_t>(info.lines.size());
    for (coff_section& s : info.sections) {
      if (s.first_line >= total) {
        s.first_line = 0;
        s.line_count = 0;
      } else {
        s.line_count = std::min(s.line_count, total - s.first_line);
      }
    }
  }

  void start_from_lines() {
    for (int i = 3; i < info.section_count; ++i) {
      coff_section& s = info.sections[static_cast<std::size_t>(i)];
      if ((s.flags & SECT_START_FROM_LINES) == 0 || s.line_count == 0) continue;
      s.start = info.lines[s.first_line].address;
      s.space = info.lines[s.first_line].space;
    }
  }

  void empty_sections() {
    for (int i = 3; i + 1 < info.section_count; ++i) {
      coff_section& s = info.sections[static_cast<std::size_t>(i)];
      coff_section& next = info.sections[static_cast<std::size_t>(i + 1)];
      if (s.size == 0 && s.line_count != 0 && next.size != 0 && next.line_count == 0) {
        next.line_count = s.line_count;
        next.first_line = s.first_line;
        ++i;
      }
    }
  }

  // The type word of every symbol of `symbols` becomes its enclosing block.
  void block_nesting() {
    uint32_t current = 0;
    for (uint32_t i = 0; i < info.symbol_count; i = next_symbol(info, i)) {
      coff_symbol& s = info.symbols[i];
      const uint32_t enclosing = current;
      if (s.sclass() == SC_SECTION && s.section() > 0 && s.section() < info.section_count)
        info.sections[static_cast<std::size_t>(s.section())].block = enclosing;
      if (s.sclass() == SC_BLOCK) {
        // The parent is always an earlier symbol, so the chain ends at 0.
        current = symbol_name_is(s, ".bs") ? i : (current != 0 ? info.symbols[current].type() : 0);
      }
      s.w[5] = enclosing;
    }
  }

  int source_files() {
    std::vector<std::string> names;
    uint32_t i = 0;
    while (i < info.symbol_count && info.symbols[i].is_file()) {
      coff_symbol& s = info.symbols[i];
      const std::string name = s.aux_count() > 0 ? coff_file_symbol_name(info, info.symbols[i + 1]) : "";
      const auto seen = std::find(names.begin(), names.end(), name);
      const auto number = static_cast<uint32_t>(seen - names.begin());
      if (seen == names.end()) names.push_back(name);
      s.w[5] = number;
      const uint32_t next = s.value();
      if (next >= info.symbol_count) break;
      if (next <= i) return fail(BAD_FILE_CHAIN);
      i = next;
    }
    info.file_lines.resize(names.size());
    if (index_source != nullptr)
      for (std::size_t n = 0; n < names.size(); ++n) index_source(names[n], info.file_lines[n]);
    return 0;
  }

  void label_indexes() {
    std::vector<uint32_t> labels;
    for (uint32_t i = 0; i < info.symbol_count; i = next_symbol(info, i)) {
      switch (info.symbols[i].sclass()) {
        case SC_LABEL_213: case SC_LABEL_211: case SC_EXTERNAL: case SC_LABEL_210:
        case SC_LABEL_UNDERSCORE:
          labels.push_back(i);
          break;
        default:
          break;
      }
    }
    if (labels.empty()) return;
    std::vector<std::string> names(info.symbol_count);
    for (const uint32_t l : labels) names[l] = coff_symbol_name(info, info.symbols[l]);
    const auto& sym = info.symbols;
    std::vector<uint32_t> by_address = labels;
    std::stable_sort(by_address.begin(), by_address.end(), [&](uint32_t a, uint32_t b) {
      const auto key = [&](uint32_t k) {
        return std::tuple(sym[k].space(), sym[k].section(), sym[k].value());
      };
      if (key(a) != key(b)) return key(a) < key(b);
      return names[a] < names[b];
    });
    const auto n = static_cast<uint32_t>(labels.size());
    info.address_index.assign(1, n);
    info.address_index.insert(info.address_index.end(), by_address.begin(), by_address.end());
    info.address_index.push_back(1);
    for (uint32_t p = 2; p <= n; ++p) {
      const coff_symbol& a = sym[by_address[p - 2]];
      const coff_symbol& b = sym[by_address[p - 1]];
      if (a.space() != b.space() || a.section() != b.section()) info.address_index.push_back(p);
    }
    info.address_index.push_back(n + 1);

    std::vector<uint32_t> by_name = labels;
    std::stable_sort(by_name.begin(), by_name.end(), [&](uint32_t a, uint32_t b) {
      if (names[a] != names[b]) return names[a] < names[b];
      return sym[a].section() < sym[b].section();
    });
    info.name_index.assign(1, n);
    info.name_index.insert(info.name_index.end(), by_name.begin(), by_name.end());
  }

  // The host file service's two entry points.
  void service_symbols() {
    for (uint32_t i = 0; i < info.symbol_count; i = next_symbol(info, i)) {
      const coff_symbol& s = info.symbols[i];
      const std::string name = coff_symbol_name(info, s);
      if (name == "__send") {
        info.send_address = s.value();
        info.send_space = s.space();
      } else if (name == "__receive") {
        info.receive_address = s.value();
        info.receive_space = s.space();
      }
    }
  }
};

}  // namespace

uint32_t next_symbol(const coff_debug_info& info, uint32_t index) {
  const uint64_t next = uint64_t{index} + info.symbols[index].aux_count() + 1;
  return next > info.symbol_count ? info.symbol_count : static_cast<uint32_t>(next);
}

bool symbol_name_is(const coff_symbol& s, const char* name) {
  return s.w[0] != 0 && name_from_words(s.w.data(), 2) == name;
}

const std::string& coff_error_text() { return error_text; }

void set_coff_error(const std::string& text) { error_text = text; }

int model_for_code(int code, int family_code) {
  switch (code) {
    case 1: return (family_code == 711 || family_code == 713) ? 1 : 2;
    case 2: return 1;
    case 3: return 3;
    default:
      if (family_code == 709 || family_code == 712) return 2;
      return family_code == 710 ? 3 : 1;
  }
}

int set_memory_model(coff_debug_info& info, int family_code) {
  int code = 0;
  for (uint32_t i = 0; i < info.c_symbols.size(); i = next_symbol(info, i)) {
    const coff_symbol& s = info.c_symbols[i];
    if (s.sclass() == SC_FILE && symbol_name_is(s, ".file")) {
      if (s.aux_count() > 0) code = static_cast<int>(info.c_symbols[i + 1].w[5]);
      break;
    }
  }
  return model_for_code(code, family_code);
}

std::string coff_symbol_name(const coff_debug_info& info, const coff_symbol& s) {
  if (s.w[0] != 0) return name_from_words(s.w.data(), 2);
  return string_at(info, s.w[1]);
}

std::string coff_file_symbol_name(const coff_debug_info& info, const coff_symbol& aux) {
  if (aux.w[4] != 0) return string_at(info, aux.w[4]);
  return name_from_words(aux.w.data(), 4);
}

std::string coff_file_name(const coff_debug_info& info, int file_index) {
  if (file_index < 0 || static_cast<uint32_t>(file_index) >= info.symbol_count) return "";
  const auto i = static_cast<uint32_t>(file_index);
  if (info.symbols[i].aux_count() == 0) return "";
  return coff_file_symbol_name(info, info.symbols[i + 1]);
}

std::string string_at(const coff_debug_info& info, uint32_t offset) {
  const std::size_t size = info.string_table.size();
  if (offset < 4 || offset >= size) {
    error_text = "invalid string table offset";
    return "";
  }
  const char* text = info.string_table.data() + offset;
  return std::string(text, strnlen(text, size - offset));
}

int coff_find_file(const coff_debug_info& info, const std::string& name, uint32_t limit) {
  uint32_t i = 0;
  while (i < info.symbol_count && info.symbols[i].is_file()) {
    if (coff_file_name(info, static_cast<int>(i)) == name) return static_cast<int>(i);
    const uint32_t next = info.symbols[i].value();
    if (next <= i || next >= limit) return -1;
    i = next;
  }
  return -1;
}

int parse_coff_debug_info(const coff_bytes& f, int family_code, coff_debug_info& out,
                          source_indexer index_source) {
  error_text.clear();
  reader r{f, out, index_source};
  const bool ok = r.header(family_code) == 0 && r.string_table() == 0 && r.sections() == 0 &&
                  r.symbols() == 0 && r.line_numbers() == 0;
  if (!ok) return -1;
  out.memory_model = set_memory_model(out, family_code);
  r.service_symbols();
  r.absolute_symbols();
  r.clamp_section_lines();
  if (r.absolute_lines() != 0) return -1;
  r.start_from_lines();
  r.empty_sections();
  // The file numbers go into the ".file" symbols' type words after the
  // blocks went into everyone's.
  r.block_nesting();
  if (r.source_files() != 0) return -1;
  r.label_indexes();
  return 0;
}
