// The source and assembly views: a screen of rows under a status line that
// names the shown place and the pc's file, line, label and section.
//
// - The views (`sim/cmd/source_view.cpp`, `view_show_position` in `sim/cmd/view_hooks.h`): the
//   status line and the source or assembly rows, handed to the front-end as one block of 257-byte
//   rows (`screen_show_rows`); the console prints them, and under `log v` the status line is copied
//   into the session log. They follow the selected frame's pc (`frame_pc`). Commands: `next`,
//   `until`, `finish` (`cmd_next.cpp`), `view`, `list` (`cmd_view.cpp`).
#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim/cdb/coff.h"
#include "sim/cdb/frames.h"
#include "sim/cdb/source.h"
#include "sim/asm/disasm.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/view_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

namespace {

constexpr int SHOW_CURRENT = 32767;
constexpr std::size_t ROW_BYTES = 257;  // the block the front-end's screen takes
constexpr std::size_t ROW_COUNT = 100;
constexpr int LINE_TEXT_MAX = 160;

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

std::string format(const char* fmt, auto... args) {
  char text[512];
  std::snprintf(text, sizeof text, fmt, args...);
  return text;
}

// The view follows the selected frame's pc.
uint32_t view_pc() { return frame_pc(); }

int resolved(int space, uint32_t address) {
  if (cur_type == nullptr || cur_type->mem == nullptr || cur_type->mem->resolve_space == nullptr) return space;
  return cur_type->mem->resolve_space(space, address);
}

int file_number(const coff_debug_info& info, int file) {
  if (file < 0 || static_cast<uint32_t>(file) >= info.symbol_count) return -1;
  return static_cast<int>(info.symbols[static_cast<std::size_t>(file)].type());
}

uint32_t file_entries(const coff_debug_info& info, int number) {
  if (number < 0 || static_cast<std::size_t>(number) >= info.file_lines.size()) return 0;
  return static_cast<uint32_t>(info.file_lines[static_cast<std::size_t>(number)].size());
}

// Where pc is: its ".file", its line record and line (0 without one).
struct place {
  int file = -1;
  int line_index = -1;
  uint32_t line = 0;
};

place place_of(uint32_t pc, int space) {
  place p;
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr) return p;
  p.file = coff_file_symbol_at(pc, space);
  p.line_index = coff_line_index_at(pc, space);
  if (p.line_index >= 0) p.line = info->lines[static_cast<std::size_t>(p.line_index)].line;
  return p;
}

// "<label+n> section:name macro:m" parts of the status line.
struct pc_names {
  std::string underscore, label, offset, macro, section = "global";
};

pc_names names_at(uint32_t pc, int space) {
  pc_names n;
  n.label = "no_label";
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr) return n;
  int underscore = 0;
  const int label = coff_symbol_at(pc, space, &underscore);
  if (label != 0) {
    const coff_symbol& s = info->symbols[static_cast<std::size_t>(label)];
    n.label = coff_symbol_name(*info, s);
    if (underscore != 0) n.underscore = "_";
    if (pc > s.value()) n.offset = format("+%" PRIu32, pc - s.value());
  }
  const int section = coff_section_at(pc, space);
  if (section > 0) {
    const uint32_t block = info->sections[static_cast<std::size_t>(section)].block;
    if (block != 0 && block < info->symbol_count) n.section = coff_marker_name(block);
    const int macro = coff_section_macro(section);
    if (macro > 0)
      n.macro = " macro:" + coff_marker_name(static_cast<uint32_t>(macro)).substr(0, 12);
  }
  return n;
}

std::string status_for(uint32_t pc, int space) {
  const device_state& st = *cur_state;
  if (st.view_mode == 1) {
    const place p = place_of(pc, space);
    const std::string pc_file = source_file_at(pc, space);
    const pc_names n = names_at(pc, space);
    return format("asm:%s:$%" PRIx32 " ", coff_space_letter(st.asm_view_space < 0 ? space : st.asm_view_space),
                  st.asm_view_address) +
           format("pc=%.20s@%" PRIu32 " %s:$%" PRIx32 " <%s%.12s%s>%s section:%.12s", pc_file.c_str(), p.line,
                  coff_space_letter(space), pc, n.underscore.c_str(), n.label.c_str(), n.offset.c_str(),
                  n.macro.c_str(), n.section.c_str());
  }
  return source_status_line(pc, space, st.view_file, st.view_top_line, coff_space_letter(space));
}

// The screen: rows of ROW_BYTES, each cut or padded to the width.
class view_screen {
 public:
  view_screen() {
    const session_screen_size size = session_screen();
    rows_ = std::clamp(size.text_rows, 2, static_cast<int>(ROW_COUNT));
    width_ = std::clamp(size.columns, 1, static_cast<int>(ROW_BYTES) - 1);
    cells_.assign(ROW_BYTES * ROW_COUNT, '\0');
    for (int r = 0; r < rows_; ++r) put(r, "");
  }
  int view_rows() const { return rows_ - 1; }
  void put(int row, const std::string& text) {
    char* cell = &cells_[static_cast<std::size_t>(row) * ROW_BYTES];
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(width_));
    std::memcpy(cell, text.data(), n);
    std::memset(cell + n, ' ', static_cast<std::size_t>(width_) - n);
    cell[width_] = '\0';
  }
  const char* block() const { return cells_.data(); }

 private:
  int rows_ = 21;
  int width_ = 80;
  std::vector<char> cells_;
};

void render_source(view_screen& screen, int lines, uint32_t pc, int space) {
  device_state& st = *cur_state;
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr) return;
  const place at = place_of(pc, space);
  int f = -1;
  int64_t target = 0;
  // A page moved before any was shown moves from the page at pc.
  if (lines != SHOW_CURRENT && file_number(*info, st.view_file) < 0 && at.file >= 0 && at.line_index >= 0) {
    st.view_file = at.file;
    st.view_top_line = at.line > 3 ? at.line - 3 : 1;
  }
  const int64_t top_now = st.view_top_line;
  if (lines == SHOW_CURRENT) {
    if (at.file < 0 || at.line_index < 0) return;
    f = at.file;
    const bool same_file = file_number(*info, st.view_file) == file_number(*info, f);
    if (same_file && at.line >= st.view_top_line && at.line <= st.view_bottom_line) {
      target = top_now + 3;
    } else {
      st.view_file = f;
      target = at.line;
    }
  } else {
    f = st.view_file;
    if (file_number(*info, f) < 0) return;
    target = top_now + lines + 3;
  }
  const int number = file_number(*info, st.view_file);
  const uint32_t count = file_entries(*info, number);
  if (target < 1) target = 1;
  if (target - 3 >= count) target = top_now + 3;
  const auto top = static_cast<uint32_t>(std::max<int64_t>(target - 3, 1));
  st.view_top_line = top;
  st.view_bottom_line = top + static_cast<uint32_t>(screen.view_rows()) - 1;
  st.view_first = top;
  st.view_extent = count;

  std::string path;
  const std::string name = coff_file_name(*info, st.view_file);
  if (name.empty() || find_file_on_path(name.c_str(), "", path) == 0) return;
  const file_ptr file(open_file_nonblocking(path.c_str(), "rb", false));
  if (!file) return;
  const bool pc_here = at.line_index >= 0 && file_number(*info, at.file) == number;
  const auto& starts = info->file_lines[static_cast<std::size_t>(number)];
  for (int r = 1; r <= screen.view_rows(); ++r) {
    const uint32_t k = top + static_cast<uint32_t>(r - 1);
    if (k >= count) break;
    const char* marker = pc_here && k == at.line ? "=>" : "  ";
    screen.put(r, format("%s% 6d %s", marker, static_cast<int>(k), source_file_line(file.get(), starts[k]).c_str()));
  }
}

bool read_named(const char* name, uint32_t* out) {
  int row = 0, reg = 0;
  std::array<uint32_t, 3> words{};
  if (lookup_register(cur_device, name, &row, &reg) == 0 || read_register(cur_device, row, reg, words.data()) == 0)
    return false;
  *out = words[0];
  return true;
}

bool has_register(const char* name) {
  int row = 0, reg = 0;
  return lookup_register(cur_device, name, &row, &reg) != 0;
}

}  // namespace

std::string source_status_line(uint32_t pc, int space, int file, uint32_t first_line, const char* space_name) {
  const coff_debug_info* info = current_debug_info();
  const place p = place_of(pc, space);
  const std::string pc_file = source_file_at(pc, space);
  const pc_names n = names_at(pc, space);
  const std::string tail = format("pc=%.20s@%" PRIu32 " %s:$%" PRIx32 " <%s%.12s%s>%s section:%.12s", pc_file.c_str(),
                                  p.line, space_name, pc, n.underscore.c_str(), n.label.c_str(), n.offset.c_str(),
                                  n.macro.c_str(), n.section.c_str());
  const std::string shown = info != nullptr && file >= 0 ? coff_file_name(*info, file) : "";
  if (shown.empty()) return "no_source_file " + tail;
  return format("src:%.20s@%" PRIu32 " ", shown.c_str(), first_line) + tail;
}

std::string source_file_line(std::FILE* file, uint32_t offset) {
  if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0) return "";
  std::string text;
  for (int n = 0; n < LINE_TEXT_MAX; ++n) {
    const int c = std::fgetc(file);
    if (c == EOF || c == '\n' || c == '\r') break;
    if (c == '\t') {
      text.append(8 - text.size() % 8, ' ');
    } else {
      text += static_cast<char>(c);
    }
  }
  return text;
}

int program_space_at(uint32_t pc) { return resolved(SPACE_P, pc); }

// The registers the disassembler works operand addresses out from.
bool read_address_registers(dis_ea_info& ea) {
  uint32_t sr = 0, omr = 0;
  if (!read_named("sr", &sr) || !read_named("omr", &omr)) return false;
  const int count = has_register("r5") ? 8 : 4;
  for (int n = 0; n < count && n < 4; ++n) {
    const std::string d = std::to_string(n);
    if (!read_named(("r" + d).c_str(), &ea.r[n]) || !read_named(("m" + d).c_str(), &ea.m[n]) ||
        !read_named(("n" + d).c_str(), &ea.n[n]))
      return false;
  }
  return true;
}

asm_row disassemble_row(int space, uint32_t address, uint32_t mask, const dis_ea_info& registers) {
  std::array<uint32_t, 3> words{};
  for (uint32_t i = 0; i < words.size(); ++i) cur_type->mem->read_word(space, (address + i) & mask, &words[i]);
  dis_ea_info ea = registers;
  ea.pc = address;
  std::array<char, DIS_TEXT_SIZE> text{};
  const int length = cur_family != nullptr && cur_family->disassemble != nullptr
                         ? cur_family->disassemble(words.data(), text.data(), 0, 0, &ea)
                         : 1;
  asm_row row;
  row.length = static_cast<uint32_t>(std::max(length, 1));
  row.instruction = text.data();
  row.instruction.erase(row.instruction.find_last_not_of(' ') + 1);
  const auto note = [&](uint32_t flag, int ref_space, uint32_t ref) {
    if ((ea.access_flags & flag) != 0) row.symbols += std::string(symbol_text_at(ref_space, ref)).substr(0, 47);
  };
  note(DIS_ACCESS_P, SPACE_P, ea.p_address);
  note(DIS_ACCESS_X, SPACE_X, ea.x_address);
  note(DIS_ACCESS_X2, SPACE_X, ea.x2_address);
  if (!row.symbols.empty()) row.symbols = " ;" + row.symbols;
  return row;
}

namespace {

std::string label_column(uint32_t address, int space) {
  const coff_debug_info* info = current_debug_info();
  const int label = info != nullptr ? coff_symbol_at(address, space, nullptr) : 0;
  if (label == 0) return std::string(13, ' ');
  const coff_symbol& s = info->symbols[static_cast<std::size_t>(label)];
  const std::string name = coff_symbol_name(*info, s);
  if (s.value() == address) return format("%8.8s     ", name.c_str());
  return format("%8.8s+%04" PRIu32, name.c_str(), address - s.value());
}

void render_assembly(view_screen& screen, int lines, uint32_t pc, int space) {
  device_state& st = *cur_state;
  if (lines == SHOW_CURRENT) {
    if (st.asm_view_space != space || pc < st.asm_view_address || pc > st.asm_view_last) {
      st.asm_view_address = pc;
      st.asm_view_space = space;
    }
  } else {
    if (st.asm_view_space < 0) {
      st.asm_view_address = pc;
      st.asm_view_space = space;
    }
    st.asm_view_address += static_cast<uint32_t>(lines);
  }
  const int view_space = st.asm_view_space;
  int region = find_memory_region(view_space, st.asm_view_address);
  if (region < 0 || region >= cur_type->region_count) region = 0;
  const uint32_t mask = cur_type->regions[region].addr_mask;
  st.asm_view_address &= mask;
  dis_ea_info registers;
  if (!read_address_registers(registers)) {
    error_report("Error reading register");
    return;
  }
  const char* address_format = (mask & 0x1000000) != 0 ? "%s%08" PRIx32 " %s %s%s"
                               : mask > 0xFFFF         ? "%s%06" PRIx32 " %s %s%s"
                                                       : "%s%04" PRIx32 " %s %s%s";
  uint32_t address = st.asm_view_address;
  st.view_first = address;
  st.view_extent = mask;
  for (int r = 1; r <= screen.view_rows(); ++r) {
    const asm_row row = disassemble_row(view_space, address, mask, registers);
    screen.put(r, format(address_format, address == pc && resolved(view_space, address) == space ? "=>" : "  ",
                         address, label_column(address, view_space).c_str(), row.instruction.c_str(),
                         row.symbols.c_str()));
    st.asm_view_last = address;
    address = (address + row.length) & mask;
  }
}

}  // namespace

std::string view_status_line() {
  if (cur_inst == nullptr || cur_state == nullptr) return "";
  const uint32_t pc = view_pc();
  return status_for(pc, resolved(SPACE_P, pc));
}

void view_show_position(int lines) {
  if (cur_inst == nullptr || cur_state == nullptr || cur_type == nullptr) return;
  const uint32_t pc = view_pc();
  const int space = resolved(SPACE_P, pc);
  view_screen screen;
  if (cur_state->view_mode == 1) render_assembly(screen, lines, pc, space);
  else render_source(screen, lines, pc, space);
  if (cur_state->view_mode == 0) return;
  const std::string status = status_for(pc, space);
  screen.put(0, status);
  screen_show_rows(screen.block());
  // "log v": the shown rows bypass the session, so the status line is
  // copied into the session log here.
  if (cur_device >= 0 && cur_device < SESSION_LOG_SLOTS && status_line_logging(cur_device) != 0)
    write_log_line(session_logs[cur_device], status.c_str());
}
