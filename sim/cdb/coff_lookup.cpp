// Which section, label, source file and line an address belongs to.
//
// Sections of one program may overlay each other at the same addresses;
// the one in memory now is the one whose raw data in the file differs
// least from simulated memory.
//
// - `coff_lookup.cpp`: section, label, file and line of an address; sections that overlay each other
//   are told apart by comparing their raw data in the file with simulated memory. The raw words are
//   read from the file once per loaded program (`coff_debug_info::section_words`, gone with the
//   record at the next load); memory is compared at every lookup, so a write that swaps overlays is
//   seen at once. `symbol_text_at` gives the disassembly's " ;p:label" notes.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "sim/cdb/coff.h"
#include "sim/cdb/coff_internal.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

namespace {

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

constexpr const char* space_letters[] = {"p", "x", "y", "l", "n", "laa", "lab", "lba", "lbb", "le", "li", "pa"};

// A space code the memory interface does not know matches nothing.
constexpr int NO_SPACE = -1;

int resolve(int space, uint32_t address) {
  if (space < 0 || space >= SPACE_CODE_COUNT) return NO_SPACE;
  if (cur_type == nullptr || cur_type->mem == nullptr || cur_type->mem->resolve_space == nullptr)
    return space;
  return cur_type->mem->resolve_space(space, address);
}

bool section_holds(const coff_section& s, uint32_t address, int resolved) {
  return resolved != NO_SPACE && s.start <= address && uint64_t{address} < uint64_t{s.start} + s.size &&
         resolve(s.space, address) == resolved;
}

bool read_be_word(std::FILE* file, uint32_t& out) {
  unsigned char b[4];
  if (std::fread(b, 1, 4, file) != 4) return false;
  out = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
  return true;
}

void read_raw_words(std::FILE* file, const coff_section& s, coff_debug_info::raw_words& out) {
  out.read = true;
  out.readable = false;
  out.words.clear();
  if (s.raw_offset == 0 || std::fseek(file, static_cast<long>(s.raw_offset), SEEK_SET) != 0) return;
  const uint32_t count = (s.flags & SECT_FILL) != 0 ? 1 : s.size;
  out.words.reserve(count);
  for (uint32_t n = 0; n < count; ++n) {
    uint32_t word = 0;
    if (!read_be_word(file, word)) {
      out.words.clear();
      return;
    }
    out.words.push_back(static_cast<uint16_t>(word));
  }
  out.readable = true;
}

// Reads a section's raw words unless they were read before; false when
// the file cannot be opened.
bool ensure_read(coff_debug_info& info, int section, file_ptr& file) {
  info.section_words.resize(static_cast<std::size_t>(info.section_count));
  auto& raw = info.section_words[static_cast<std::size_t>(section)];
  if (raw.read) return true;
  if (!file) file.reset(open_file_nonblocking(info.coff_path.c_str(), "rb", false));
  if (!file) return false;
  read_raw_words(file.get(), info.sections[static_cast<std::size_t>(section)], raw);
  return true;
}

int mismatch_in(const coff_debug_info& info, int section) {
  const coff_section& s = info.sections[static_cast<std::size_t>(section)];
  const auto& raw = info.section_words[static_cast<std::size_t>(section)];
  if (!raw.readable || resolve(s.space, s.start) == NO_SPACE) return -1;
  const bool fill = (s.flags & SECT_FILL) != 0;
  int differ = 0;
  for (uint32_t n = 0; n < s.size; ++n) {
    const uint16_t want = raw.words[fill ? 0 : n];
    uint32_t have = 0;
    if (cur_type->mem->read_word(s.space, s.start + n, &have) == 0) {
      error_report("Error reading memory");
      return differ;
    }
    if ((have & 0xFFFF) != want) ++differ;
  }
  return differ;
}

std::string text_buffer;

}  // namespace

const char* coff_space_letter(int space) {
  if (space >= 0 && space < static_cast<int>(std::size(space_letters))) return space_letters[space];
  if (cur_type != nullptr && space >= 0 && space < SPACE_CODE_COUNT) {
    const int row = cur_type->first_region[static_cast<std::size_t>(space)];
    if (row >= 0 && row < cur_type->region_count) return cur_type->regions[row].name;
  }
  return "?";
}

int coff_section_mismatch(int section) {
  coff_debug_info* info = current_debug_info();
  if (info == nullptr || section <= 0 || section >= info->section_count) return -1;
  file_ptr file;
  if (!ensure_read(*info, section, file)) return -1;
  return mismatch_in(*info, section);
}

int coff_section_at(uint32_t address, int space) {
  coff_debug_info* info = current_debug_info();
  if (info == nullptr || info->section_count < 4) return 0;
  const int r = resolve(space, address);
  int first = 0, last = 0, overlays = 0;
  for (int i = 3; i < info->section_count; ++i) {
    const coff_section& s = info->sections[static_cast<std::size_t>(i)];
    if (!section_holds(s, address, r)) continue;
    if (first == 0) first = i;
    last = i;
    if ((s.flags & SECT_START_FROM_LINES) != 0 && s.line_count > 0) ++overlays;
  }
  if (overlays == 0) return last;
  file_ptr file;
  int best = 0, best_differ = 0;
  for (int i = first; i <= last; ++i) {
    const coff_section& s = info->sections[static_cast<std::size_t>(i)];
    if (!section_holds(s, address, r)) continue;
    if (!ensure_read(*info, i, file)) {
      set_coff_error("cannot open input file : " + info->coff_path);
      return 0;
    }
    const int differ = mismatch_in(*info, i);
    if (differ < 0) continue;
    if (best == 0 || differ < best_differ) {
      best = i;
      best_differ = differ;
    }
  }
  return best != 0 ? best : last;
}

int coff_symbol_at(uint32_t address, int space, int* is_underscore) {
  if (is_underscore != nullptr) *is_underscore = 0;
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr || info->address_index.empty()) return 0;
  const int r = resolve(space, address);
  if (r == NO_SPACE) return 0;
  const int s = coff_section_at(address, r);
  const auto& index = info->address_index;
  const uint32_t n = index[0];
  int best = 0;
  for (uint32_t run = n + 1; index[run] != n + 1; ++run) {
    // Entries index[lo .. hi - 1], by value within the run.
    uint32_t lo = index[run], hi = index[run + 1];
    uint32_t found = 0;
    while (lo < hi) {
      const uint32_t mid = lo + (hi - lo) / 2;
      if (info->symbols[index[mid]].value() <= address) {
        found = mid;
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    if (found == 0) continue;
    const coff_symbol& c = info->symbols[index[found]];
    if (resolve(c.space(), address) != r) continue;
    if (best != 0) {
      const coff_symbol& b = info->symbols[static_cast<std::size_t>(best)];
      if (c.value() < b.value()) continue;
      if (s != 0 && std::abs(int64_t{c.section()} - s) > std::abs(int64_t{b.section()} - s)) continue;
    }
    best = static_cast<int>(index[found]);
  }
  if (best != 0 && is_underscore != nullptr)
    *is_underscore = info->symbols[static_cast<std::size_t>(best)].sclass() == SC_LABEL_UNDERSCORE;
  return best;
}

int coff_file_symbol_at(uint32_t address, int space) {
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr) return -1;
  const int s = coff_section_at(address, space);
  if (s == 0) return -1;
  uint32_t k = 0;
  while (k < info->symbol_count && info->symbols[k].section() != s) k = next_symbol(*info, k);
  if (k == 0 || k >= info->symbol_count) return -1;
  uint32_t i = 0;
  while (i < info->symbol_count && info->symbols[i].is_file()) {
    const uint32_t next = info->symbols[i].value();
    if (next > k) return static_cast<int>(i);
    if (next <= i) return -1;
    i = next;
  }
  return -1;
}

std::string source_file_at(uint32_t address, int space) {
  const coff_debug_info* info = current_debug_info();
  const int f = coff_file_symbol_at(address, space);
  return info != nullptr && f >= 0 ? coff_file_name(*info, f) : std::string();
}

int coff_line_index_at(uint32_t address, int space) {
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr) return -1;
  const int s = coff_section_at(address, space);
  if (s == 0) return -1;
  const coff_section& sec = info->sections[static_cast<std::size_t>(s)];
  if (sec.line_count == 0) return -1;
  for (uint32_t i = sec.first_line + sec.line_count; i-- > sec.first_line;) {
    const coff_line& l = info->lines[i];
    if (l.line != 0 && l.address <= address) return static_cast<int>(i);
  }
  return static_cast<int>(sec.first_line);
}

const char* symbol_text_at(int space, uint32_t address) {
  text_buffer.clear();
  int underscore = 0;
  const int index = coff_symbol_at(address, space, &underscore);
  if (index == 0) return text_buffer.c_str();
  const coff_debug_info& info = *current_debug_info();
  const coff_symbol& s = info.symbols[static_cast<std::size_t>(index)];
  const std::string name = coff_symbol_name(info, s).substr(0, 200);
  const char* letter = coff_space_letter(s.space());
  const char* mark = underscore != 0 ? "_" : "";
  char text[300];
  if (s.value() == address) {
    std::snprintf(text, sizeof text, " %s:%s%s", letter, mark, name.c_str());
  } else {
    std::snprintf(text, sizeof text, " %s:(%s%s+%" PRIu32 ")", letter, mark, name.c_str(),
                  address - s.value());
  }
  text_buffer = text;
  return text_buffer.c_str();
}
