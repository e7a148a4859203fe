// The static shape of the loaded program, from its object file read by the
// checked COFF reader: data sizes per space, data nodes and symbols, one
// code node per instruction with its source position.
//
// - Static analysis (`static_analysis.cpp`), at `profiler_start`: the object file is read again by
//   the checked COFF reader (`read_coff_debug_info`, sim/cdb; never a second reader) into a record
//   of its own: ".dat"/".bss" sizes and defined data nodes, class-210 data symbols, one code node
//   per instruction of ".txt" sections with the file and line of its line entry (words after a line
//   continue it; "dc"/"ds" lines are P data), the ";##" directives of its line. Source files are
//   read once per run (`profile_source`); one newer than the object file is not used.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "sim/cdb/coff.h"
#include "sim/engine/device/current_device.h"
#include "sim/prof/profiler.h"

namespace {

constexpr std::size_t SOURCE_LINE_MAX = 400;
constexpr uint32_t SECT_UNINITIALIZED = 0x80;
constexpr uint32_t SECT_CODE_FLAG = 8;

uint32_t space_kind(int code) {
  switch (code) {
    case 0: case 13: case 14: case 15: return PROF_SPACE_P;
    case 1: case 18: case 19: case 20: return PROF_SPACE_X;
    case 2: case 23: case 24: case 25: return PROF_SPACE_Y;
    case 3: case 9: case 10: return PROF_SPACE_L;
    default: return PROF_SPACE_FREE;
  }
}

uint32_t section_end(const coff_section& s) {
  return s.start + (space_kind(s.space) == PROF_SPACE_L ? s.size / 2 : s.size);
}

uint32_t next_symbol_index(const coff_debug_info& info, uint32_t i) {
  return i + 1 + std::min(info.symbols[i].aux_count(), info.symbol_count - i - 1);
}

// The ".file" whose symbols hold the section's first symbol.
std::string section_file(const coff_debug_info& info, int section) {
  uint32_t k = 0;
  while (k < info.symbol_count && info.symbols[k].section() != section) k = next_symbol_index(info, k);
  if (k == 0 || k >= info.symbol_count) return {};
  for (uint32_t i = 0; i < info.symbol_count && info.symbols[i].is_file();) {
    const uint32_t next = info.symbols[i].value();
    if (next > k) return coff_file_name(info, static_cast<int>(i));
    if (next <= i) break;
    i = next;
  }
  return {};
}

// Sections named ".tx" between ".bm" and ".em" keep their lines' first word.
std::vector<bool> source_text_sections(const coff_debug_info& info) {
  std::vector<bool> marked(static_cast<std::size_t>(info.section_count), false);
  int depth = 0;
  for (uint32_t i = 0; i < info.symbol_count; i = next_symbol_index(info, i)) {
    const std::string name = coff_symbol_name(info, info.symbols[i]);
    if (name == ".bm") {
      ++depth;
    } else if (name == ".em") {
      depth = std::max(0, depth - 1);
    } else if (name == ".tx" && depth > 0) {
      const int s = info.symbols[i].section();
      if (s > 0 && s < info.section_count) marked[static_cast<std::size_t>(s)] = true;
    }
  }
  return marked;
}

// The word a line's meaning hangs on: its first, or its second after a label.
std::string key_word(const std::string& line) {
  std::size_t at = 0;
  auto skip_blanks = [&] { while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at; };
  auto word_end = [&] {
    std::size_t e = at;
    while (e < line.size() && line[e] != ' ' && line[e] != '\t' && line[e] != ';') ++e;
    return e;
  };
  if (!line.empty() && line[0] != ' ' && line[0] != '\t' && line[0] != ';') at = word_end();
  skip_blanks();
  return line.substr(at, word_end() - at);
}

bool is_data_word(const std::string& word) {
  return word.size() == 2 && std::tolower(static_cast<unsigned char>(word[0])) == 'd' &&
         (std::tolower(static_cast<unsigned char>(word[1])) == 'c' ||
          std::tolower(static_cast<unsigned char>(word[1])) == 's');
}

// ";## nested N" anywhere on the line sets the listing's source-line mode.
void nested_directive(profile_tables& t, const std::string& line) {
  for (std::size_t at = line.find(";##"); at != std::string::npos; at = line.find(";##", at + 3)) {
    const char* cursor = line.c_str() + at + 3;
    if (prof_word_test(&cursor, "nested") != 0) t.source_line_mode = static_cast<int>(std::strtol(cursor, nullptr, 10));
  }
}

struct analysis {
  profile_tables& t;
  const coff_debug_info& info;
  std::vector<bool> text_sections;

  void data_section(const coff_section& s) {
    const uint32_t kind = space_kind(s.space);
    if (kind == PROF_SPACE_FREE || kind == PROF_SPACE_P) {
      if (kind == PROF_SPACE_P) add_words(s, PROF_SPACE_P);
      return;
    }
    if (kind == PROF_SPACE_L) {
      add_words(s, PROF_SPACE_X);
      add_words(s, PROF_SPACE_Y);
    } else {
      add_words(s, kind);
    }
  }

  void add_words(const coff_section& s, uint32_t space) {
    const uint32_t count = section_end(s) - s.start;
    const std::size_t slot = space == PROF_SPACE_X ? 0 : space == PROF_SPACE_Y ? 1 : 2;
    if ((s.flags & SECT_UNINITIALIZED) != 0) {
      t.uninitialized[slot] += count;
      return;
    }
    t.initialized[slot] += count;
    for (uint32_t a = s.start; a != s.start + count; ++a) profile_data_node(space, a)->flags = DATA_DEFINED;
  }

  void code_section(int index, const coff_section& s) {
    if (space_kind(s.space) != PROF_SPACE_P) return;
    const uint32_t end = section_end(s);
    // Source lines by address.
    std::map<uint32_t, uint32_t> line_at;
    for (uint32_t i = s.first_line; i < s.first_line + s.line_count && i < info.lines.size(); ++i) {
      const coff_line& l = info.lines[i];
      if (l.line != 0 && l.address >= s.start && l.address < end && space_kind(l.space) == PROF_SPACE_P)
        line_at.emplace(l.address, l.line);
    }
    const std::string file_name = line_at.empty() ? std::string() : section_file(info, index);
    const char* file = file_name.empty() ? nullptr : t.pool->copy_string(file_name.c_str());
    const source_text* source = file != nullptr ? &profile_source(t, file_name) : nullptr;
    int32_t line = -2;
    bool data_line = false;
    const char* word = nullptr;
    for (uint32_t a = s.start; a < end;) {
      if (auto found = line_at.find(a); found != line_at.end()) {
        line = static_cast<int32_t>(found->second);
        data_line = false;
        word = nullptr;
        if (source != nullptr && source->usable() && static_cast<std::size_t>(line) <= source->lines.size() &&
            line > 0) {
          const std::string key = key_word(source->lines[static_cast<std::size_t>(line) - 1]);
          data_line = is_data_word(key);
          if (text_sections[static_cast<std::size_t>(index)]) word = t.pool->copy_string(key.c_str());
        }
      }
      // Code loaded at one address and copied to its run address: decoded
      // where it is loaded, counted where it runs.
      const bool copied = (s.flags & SECT_START_FROM_LINES) != 0 && s.load_start != s.start;
      const uint32_t load = copied ? s.load_start + (a - s.start) : a;
      code_node* node = data_line ? nullptr : new_code_node(a, PROF_SPACE_P, load);
      if (node != nullptr && copied) {
        node->copy_space = PROF_SPACE_P;
        node->copy_address = load;
        t.copies = true;
      }
      if (node == nullptr) {
        t.initialized[2] += 1;
        profile_data_node(PROF_SPACE_P, a)->flags = DATA_DEFINED;
        ++a;
        continue;
      }
      node->decoded.flags &= ~INSTR_NEW;
      node->file = file;
      node->line = line;
      node->section = index;
      node->source_word = word;
      if (source != nullptr && source->usable() && line > 0 && static_cast<std::size_t>(line) <= source->lines.size()) {
        parse_directives(t, *node, source->lines[static_cast<std::size_t>(line) - 1]);
        family_directives(*node);
      }
      a += (node->decoded.flags & INSTR_TWO_WORD) != 0 ? 2 : 1;
    }
  }

  // Class-210 labels of data sections; each ends where the next of its
  // section starts, or at the section's end.
  void data_symbols() {
    std::vector<symbol_entry*> made;
    for (uint32_t i = 0; i < info.symbol_count; i = next_symbol_index(info, i)) {
      const coff_symbol& sym = info.symbols[i];
      const int s = sym.section();
      if (sym.sclass() != SC_LABEL_210 || s <= 0 || s >= info.section_count) continue;
      const coff_section& sec = info.sections[static_cast<std::size_t>(s)];
      if (sec.name != ".dat" && sec.name != ".bss") continue;
      auto* e = t.pool->make<symbol_entry>();
      e->name = t.pool->copy_string(coff_symbol_name(info, sym).c_str());
      e->space = space_kind(sec.space);
      e->start = sym.value();
      e->section = s;
      made.push_back(e);
    }
    std::sort(made.begin(), made.end(), [](const symbol_entry* a, const symbol_entry* b) {
      return a->section != b->section ? a->section < b->section : a->start < b->start;
    });
    for (std::size_t k = 0; k < made.size(); ++k) {
      const coff_section& sec = info.sections[static_cast<std::size_t>(made[k]->section)];
      const bool next_same = k + 1 < made.size() && made[k + 1]->section == made[k]->section;
      made[k]->end = std::max(made[k]->start, next_same ? made[k + 1]->start : section_end(sec));
      t.symbols->insert(made[k], true);
    }
  }

  void run() {
    for (int i = 1; i < info.section_count; ++i) {
      const coff_section& s = info.sections[static_cast<std::size_t>(i)];
      if (s.name == ".txt" || (s.flags & SECT_CODE_FLAG) != 0) {
        if (t.first_source.empty()) t.first_source = section_file(info, i);
        code_section(i, s);
      } else if (s.name == ".dat" || s.name == ".bss") {
        data_section(s);
      }
    }
    data_symbols();
  }
};

}  // namespace

const source_text& profile_source(profile_tables& t, const std::string& name) {
  auto [entry, added] = t.sources.try_emplace(name);
  source_text& text = entry->second;
  if (!added) return text;
  std::time_t modified = 0;
  std::FILE* file = prof_open_file(name.c_str(), "r", nullptr, PROF_NOTE, &modified);
  if (file == nullptr) return text;
  text.found = true;
  text.newer = t.coff_time != 0 && modified > t.coff_time;
  if (text.newer) {
    prof_message(PROF_WARNING, "Source file %s more recent than executable", name.c_str());
  } else {
    std::string line;
    for (int c; (c = std::fgetc(file)) != EOF;) {
      if (c != '\n') {
        if (c != '\r' && line.size() < SOURCE_LINE_MAX) line += static_cast<char>(c);
        continue;
      }
      nested_directive(t, line);
      text.lines.push_back(std::move(line));
      line.clear();
    }
    if (!line.empty()) {
      nested_directive(t, line);
      text.lines.push_back(std::move(line));
    }
  }
  std::fclose(file);
  return text;
}

void analyse_object_file(profile_tables& t) {
  if (t.coff_name == nullptr || cur_type == nullptr) return;
  coff_debug_info info;
  struct stat status {};
  if (::stat(t.coff_name, &status) != 0) {
    t.flags |= PROF_FLAG_COFF_UNREADABLE;
    prof_message(PROF_ABANDON, "Failed to open file %s", t.coff_name);
  }
  t.coff_time = status.st_mtime;
  if (read_coff_debug_info(t.coff_name, cur_type->family_code, info) != 0) {
    t.flags |= PROF_FLAG_COFF_UNREADABLE;
    prof_message(PROF_ABANDON, "Failed to handle COFF file");
  }
  analysis{t, info, source_text_sections(info)}.run();
}
