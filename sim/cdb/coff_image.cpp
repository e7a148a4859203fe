// Program words between COFF files and simulated memory: loading the
// ".txt" and ".dat" sections, and saving memory ranges as sections of a new
// file or added to an existing one.
//
// - `coff_image.cpp`: `coff_load_memory` checks and reads every ".txt" and ".dat" section before it
//   writes any; `coff_save_memory` builds the whole file in memory (a new file, or the old one with
//   sections added, its line run, symbols and string table moved after them and the functions' line
//   offsets moved with them) and hands it to the shared whole-file writer (`file_write.h`).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include <unistd.h>

#include "sim/cdb/coff.h"
#include "sim/cdb/coff_bytes.h"
#include "sim/cdb/coff_internal.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sysio/file_write.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr uint32_t OPT_WORDS = COFF_OPT_HEADER_BYTES / 4;
constexpr uint32_t SECTIONS_AT = COFF_FILE_HEADER_BYTES + COFF_OPT_HEADER_BYTES;
constexpr uint32_t SAVED_FILE_FLAGS = 15;
// A fill longer than an address space only repeats itself.
constexpr uint32_t FILL_MAX = 0x10000;
constexpr uint32_t PROGRAM_MEMORY = 0x1000;

bool two_word_space(int space) { return space == 3 || (space >= 5 && space <= 10); }

bool magic_accepted(const device_type& type, uint32_t magic) {
  if (magic == static_cast<uint32_t>(type.family_code)) return true;
  for (const uint32_t* m = type.magic_list; m != nullptr && *m != 0; ++m) {
    if (*m == magic) return true;
  }
  return false;
}

// A file header and a 60-byte optional header this type accepts.
enum class header_check { ok, not_ours, bad };
header_check check_headers(const coff_bytes& f, const device_type& type) {
  if (!f.holds(0, SECTIONS_AT)) return header_check::not_ours;
  if (!magic_accepted(type, f.word(0))) return header_check::not_ours;
  if (f.word(20) != COFF_OPT_HEADER_BYTES) return header_check::bad;
  if (!f.holds(SECTIONS_AT, f.word(4), COFF_SECTION_BYTES)) return header_check::bad;
  return header_check::ok;
}

struct section_image {
  int space;
  uint32_t start;
  uint32_t flags;
  uint32_t fill_count;
  std::vector<uint32_t> raw;
};

bool loadable_name(const coff_bytes& f, uint64_t header) {
  const uint32_t name[2] = {f.word(header), f.word(header + 4)};
  const std::string text = name_from_words(name, 2);
  return text == ".txt" || text == ".dat";
}

// Every loaded section checked and read before memory changes.
bool read_sections(const coff_bytes& f, std::vector<section_image>& out) {
  const uint32_t count = f.word(4);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t h = SECTIONS_AT + uint64_t{COFF_SECTION_BYTES} * i;
    if (!loadable_name(f, h)) continue;
    section_image s{static_cast<int>(f.word(h + 12)), f.word(h + 8), f.word(h + 48), f.word(h + 16), {}};
    const uint32_t words = f.word(h + 24);
    const uint32_t offset = f.word(h + 28);
    const bool fill = (s.flags & SECT_FILL) != 0;
    if (s.space < 0 || s.space >= SPACE_CODE_COUNT) return false;
    if (fill && (words == 0 || s.fill_count > FILL_MAX)) return false;
    if (!f.holds(offset, words, 4)) return false;
    s.raw.resize(fill ? 1 : words);
    for (std::size_t k = 0; k < s.raw.size(); ++k) s.raw[k] = f.word(offset + 4 * k);
    out.push_back(std::move(s));
  }
  return true;
}

// One unit at the address; the number of addresses it took (at least 1).
uint32_t write_unit(const section_image& s, uint32_t address, const uint32_t* words) {
  const mem_iface& mem = *cur_type->mem;
  int n = 0;
  if ((s.flags & SECT_WIDE_WRITE) != 0 && mem.write_wide != nullptr) {
    n = mem.write_wide(s.space, address, words, 0);
  } else {
    n = mem.write_word(s.space, address, words);
  }
  return static_cast<uint32_t>(std::max(n, 1));
}

void write_section(const section_image& s) {
  uint32_t address = s.start;
  if ((s.flags & SECT_FILL) != 0) {
    for (uint32_t n = 0; n < s.fill_count; ++n) address += write_unit(s, address, &s.raw[0]);
    return;
  }
  const std::size_t unit = two_word_space(s.space) ? 2 : 1;
  for (std::size_t k = 0; k + unit <= s.raw.size(); k += unit) address += write_unit(s, address, &s.raw[k]);
}

// --- Saving ---------------------------------------------------------------------

struct range_layout {
  const mem_region* region;
  uint32_t first;
  uint32_t size;
  bool text;
};

struct opt_summary {
  uint32_t w[OPT_WORDS] = {};
  bool have_text = false, have_data = false;
};

void widen(opt_summary& o, const range_layout& r) {
  const uint32_t last = r.first + r.size - 1;
  const auto space = static_cast<uint32_t>(r.region->space);
  if (r.text) {
    o.w[2] += r.size;
    if (!o.have_text || r.first < o.w[7]) {
      o.w[5] = o.w[7] = r.first;
      o.w[6] = o.w[8] = space;
    }
    if (!o.have_text || last > o.w[11]) {
      o.w[11] = last;
      o.w[12] = space;
    }
    o.have_text = true;
  } else {
    o.w[3] += r.size;
    if (!o.have_data || r.first < o.w[9]) {
      o.w[9] = r.first;
      o.w[10] = space;
    }
    if (!o.have_data || last > o.w[13]) {
      o.w[13] = last;
      o.w[14] = space;
    }
    o.have_data = true;
  }
}

std::vector<range_layout> lay_out(std::span<const coff_save_range> ranges) {
  std::vector<range_layout> out;
  for (const coff_save_range& r : ranges) {
    if (r.region < 0 || r.region >= cur_type->region_count) continue;
    const mem_region& region = cur_type->regions[r.region];
    const uint32_t first = r.first & region.addr_mask;
    // All addresses of a space are mask + 1 words, not 0.
    const uint32_t size = ((r.last - first) & region.addr_mask) + 1;
    out.push_back({&region, first, size, (region.flags & PROGRAM_MEMORY) != 0});
  }
  return out;
}

void put_section_header(std::string& out, const range_layout& r, uint32_t raw_offset) {
  put_be_word(out, r.text ? 0x2E747874 : 0x2E646174);  // ".txt", ".dat"
  put_be_word(out, 0);
  const auto space = static_cast<uint32_t>(r.region->space);
  for (const uint32_t w : std::initializer_list<uint32_t>{r.first, space, r.first, space, r.size, raw_offset, 0u, 0u, 0u, 0u,
                           r.text ? SECT_TEXT : SECT_DATA}) {
    put_be_word(out, w);
  }
}

void put_range_words(std::string& out, const range_layout& r) {
  const mem_iface& mem = *cur_type->mem;
  uint32_t address = r.first;
  for (uint32_t n = 0; n < r.size;) {
    uint32_t word = 0;
    const int step = mem.read_word(r.region->space, address, &word);
    put_be_word(out, word);
    const auto advance = static_cast<uint32_t>(std::max(step, 1));
    n += advance;
    address = (address + advance) & r.region->addr_mask;
  }
}

void put_file_header(std::string& out, uint32_t sections, uint32_t symbol_offset, uint32_t symbols) {
  for (const uint32_t w : std::initializer_list<uint32_t>{static_cast<uint32_t>(cur_type->family_code), sections,
                           static_cast<uint32_t>(std::time(nullptr)), symbol_offset, symbols,
                           COFF_OPT_HEADER_BYTES, SAVED_FILE_FLAGS}) {
    put_be_word(out, w);
  }
}

std::string new_file(const std::vector<range_layout>& ranges) {
  opt_summary opt;
  uint32_t raw_bytes = 0;
  for (const range_layout& r : ranges) {
    widen(opt, r);
    raw_bytes += 4 * r.size;
  }
  const auto count = static_cast<uint32_t>(ranges.size());
  const uint32_t raw_at = SECTIONS_AT + COFF_SECTION_BYTES * count;
  std::string out;
  put_file_header(out, count, raw_at + raw_bytes, 0);
  for (const uint32_t w : opt.w) put_be_word(out, w);
  uint32_t offset = raw_at;
  for (const range_layout& r : ranges) {
    put_section_header(out, r, offset);
    offset += 4 * r.size;
  }
  for (const range_layout& r : ranges) put_range_words(out, r);
  put_be_word(out, 0);  // an empty string table
  return out;
}

// The old sections, raw data, line records, symbols and string table kept;
// the new sections added after the old ones.
bool added_file(const coff_bytes& f, const std::vector<range_layout>& ranges, std::string& out) {
  const uint32_t old_count = f.word(4);
  const uint32_t old_symbols_at = f.word(12);
  const uint32_t symbol_count = old_symbols_at != 0 ? f.word(16) : 0;
  if (symbol_count != 0 && !f.holds(old_symbols_at, symbol_count, COFF_SYMBOL_BYTES)) return false;
  const uint32_t line_run_at = old_count > 0 ? f.word(SECTIONS_AT + 36) : 0;
  const uint32_t line_count = old_count > 0 ? f.word(SECTIONS_AT + 44) : 0;
  if (line_count != 0 && !f.holds(line_run_at, line_count, COFF_LINE_BYTES)) return false;

  const auto new_count = static_cast<uint32_t>(ranges.size());
  const uint64_t raw_at = SECTIONS_AT + uint64_t{COFF_SECTION_BYTES} * (old_count + new_count);
  uint64_t offset = raw_at;
  std::vector<uint64_t> old_raw_at(old_count, 0);
  for (uint32_t i = 0; i < old_count; ++i) {
    const uint64_t h = SECTIONS_AT + uint64_t{COFF_SECTION_BYTES} * i;
    if (f.word(h + 28) == 0) continue;
    if (!f.holds(f.word(h + 28), f.word(h + 24), 4)) return false;
    old_raw_at[i] = offset;
    offset += 4 * uint64_t{f.word(h + 24)};
  }
  std::vector<uint64_t> new_raw_at;
  for (const range_layout& r : ranges) {
    new_raw_at.push_back(offset);
    offset += 4 * uint64_t{r.size};
  }
  const uint64_t lines_at = offset;
  const uint64_t symbols_at = lines_at + uint64_t{COFF_LINE_BYTES} * line_count;
  const uint64_t rest_from = old_symbols_at != 0 ? old_symbols_at + uint64_t{COFF_SYMBOL_BYTES} * symbol_count
                                                 : f.size();
  if (rest_from > f.size() || symbols_at + (f.size() - rest_from) > UINT32_MAX) return false;
  const auto moved_line = [&](uint32_t old) -> uint32_t {
    if (line_count == 0 || old < line_run_at || old - line_run_at >= COFF_LINE_BYTES * uint64_t{line_count})
      return old;
    return static_cast<uint32_t>(lines_at + (old - line_run_at));
  };

  opt_summary opt;
  for (uint32_t k = 0; k < OPT_WORDS; ++k) opt.w[k] = f.word(COFF_FILE_HEADER_BYTES + 4 * k);
  opt.have_text = opt.w[2] != 0;
  opt.have_data = opt.w[3] != 0;
  for (const range_layout& r : ranges) {
    const uint32_t entry = opt.w[5], entry_space = opt.w[6];
    const bool kept_entry = opt.have_text;
    widen(opt, r);
    if (kept_entry) {
      opt.w[5] = entry;
      opt.w[6] = entry_space;
    }
  }

  out.clear();
  put_file_header(out, old_count + new_count, symbol_count != 0 ? static_cast<uint32_t>(symbols_at) : 0,
                  symbol_count);
  for (const uint32_t w : opt.w) put_be_word(out, w);
  for (uint32_t i = 0; i < old_count; ++i) {
    const uint64_t h = SECTIONS_AT + uint64_t{COFF_SECTION_BYTES} * i;
    for (uint32_t k = 0; k < COFF_SECTION_BYTES / 4; ++k) {
      uint32_t w = f.word(h + 4 * k);
      if (k == 7 && w != 0) w = static_cast<uint32_t>(old_raw_at[i]);
      if (k == 9 && w != 0) w = moved_line(w);
      put_be_word(out, w);
    }
  }
  for (std::size_t n = 0; n < ranges.size(); ++n)
    put_section_header(out, ranges[n], static_cast<uint32_t>(new_raw_at[n]));
  for (uint32_t i = 0; i < old_count; ++i) {
    const uint64_t h = SECTIONS_AT + uint64_t{COFF_SECTION_BYTES} * i;
    if (f.word(h + 28) == 0) continue;
    const uint32_t at = f.word(h + 28);
    out.append(reinterpret_cast<const char*>(&f.data[at]), 4 * std::size_t{f.word(h + 24)});
  }
  for (const range_layout& r : ranges) put_range_words(out, r);
  if (line_count != 0)
    out.append(reinterpret_cast<const char*>(&f.data[line_run_at]), COFF_LINE_BYTES * std::size_t{line_count});
  // Function symbols name their line records by file offset: those moved.
  for (uint32_t i = 0; i < symbol_count;) {
    const uint64_t at = old_symbols_at + uint64_t{COFF_SYMBOL_BYTES} * i;
    const uint32_t type = f.word(at + 20), sclass = f.word(at + 24), aux = f.word(at + 28);
    for (uint32_t k = 0; k < 8; ++k) put_be_word(out, f.word(at + 4 * k));
    uint32_t entries = 1;
    for (uint32_t a = 1; a <= aux && i + a < symbol_count; ++a, ++entries) {
      const uint64_t aux_at = at + uint64_t{COFF_SYMBOL_BYTES} * a;
      for (uint32_t k = 0; k < 8; ++k) {
        uint32_t w = f.word(aux_at + 4 * k);
        if (a == 1 && k == 3 && (type & DERIVED_MASK) == DERIVED_FUNCTION && sclass != SC_TYPEDEF && w != 0)
          w = moved_line(w);
        put_be_word(out, w);
      }
    }
    i += entries;
  }
  if (rest_from < f.size()) {
    out.append(reinterpret_cast<const char*>(&f.data[rest_from]), f.size() - rest_from);
  } else {
    put_be_word(out, 0);
  }
  return true;
}

}  // namespace

int coff_load_memory(int device, const char* path) {
  if (path == nullptr || !make_device_current(device)) return -1;
  coff_bytes f;
  if (!f.load(path)) return -1;
  switch (check_headers(f, *cur_type)) {
    case header_check::not_ours: return -1;
    case header_check::bad: return 0;
    case header_check::ok: break;
  }
  std::vector<section_image> sections;
  if (!read_sections(f, sections)) return 0;
  for (const section_image& s : sections) write_section(s);
  int row = 0, reg = 0;
  if (lookup_register(device, "pc", &row, &reg)) {
    const uint32_t entry = f.word(COFF_FILE_HEADER_BYTES + 20);
    if (!write_register(device, row, reg, &entry)) {
      error_report("Error writing pc");
      return 0;
    }
  }
  return 1;
}

int coff_save_memory(const char* path, bool keep_existing, std::span<const coff_save_range> ranges,
                     std::string* cause) {
  if (path == nullptr || cur_type == nullptr) return 0;
  const std::vector<range_layout> layout = lay_out(ranges);
  std::string bytes;
  int lock = -1;
  if (!keep_existing) {
    bytes = new_file(layout);
  } else {
    // Held from the read to the rename: another session's append waits.
    lock = open_for_update(path, stop_pending, stop_poll_ms());
    // Stopped while another program held the lock: the file stays as it is.
    if (lock < 0 && errno == EINTR) {
      if (cause != nullptr) *cause = error_cause(EINTR);
      return 0;
    }
    coff_bytes f;
    if (!f.load(path) || check_headers(f, *cur_type) != header_check::ok || !added_file(f, layout, bytes)) {
      if (lock >= 0) close(lock);
      return 0;
    }
  }
  const file_write_result written = write_whole_file(path, bytes);
  if (lock >= 0) close(lock);
  if (!written.ok() && cause != nullptr) *cause = written.cause;
  return written.ok() ? 1 : 0;
}
