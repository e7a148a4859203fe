// Register formatting, display marks and the run display.
//
// - `regfmt.cpp` formats one register by radix and width, keeps the marks (`refresh_register_marks`:
//   attribute bit 0x800 from the display modes and run marks; `refresh_memory_marks`: the highlight
//   map of each row from its display switches and the logged accesses) and prints the run display:
//   marked registers by layout, highlighted memory four words a line, the watch list, the
//   instruction at pc (`format_disassembly_line`). Column widths count visible characters: the
//   highlight braces of a changed value do not move the next cell.
//
// - The registers are shown from a table made once per device type (`display_table`: the layouts'
//   slots as cells with each register's class and name): a trace shows them at every instruction,
//   so nothing is looked up by name per line and each line is written in place in one buffer.
#include "sim/cmd/regfmt.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/asm/disasm.h"
#include "sim/cdb/coff.h"
#include "sim/expr/expr.h"
#include "sim/expr/rangemap.h"
#include "sim/expr/valfmt.h"
#include "sim/cmd/fixed_digits.h"
#include "sim/cmd/view_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/display_layouts.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr const char* READ_ERROR = "Error reading register";
constexpr const char* NO_MEMORY = " ;*** MEMORY LOCATION DOESN'T EXIST";

// Width bits of a register's access word.
constexpr uint32_t W_ANY = 0x80000000, W_8 = 0x40000000, W_16 = 0x10000000, W_24 = 0x4000000,
                   W_32 = 0x2000000;
constexpr uint32_t NOT_INTEGER = 0x2000;

template <typename... Args>
std::string print(const char* format, Args... args) {
  std::array<char, 96> buffer{};
  std::snprintf(buffer.data(), buffer.size(), format, args...);
  return buffer.data();
}

int shape_words(uint32_t access) {
  const uint32_t shape = access & 7;
  return shape == 1 ? 1 : shape == 2 ? 2 : 3;
}

// Width in bits of a one-word value.
int word_width(uint32_t access) {
  if (access & W_8) return 8;
  if (access & W_16) return 16;
  if (access & W_24) return 24;
  if (access & (W_32 | W_ANY)) return 32;
  return 16;
}

long sign_extended(uint64_t value, int width) {
  const uint64_t mask = (1ull << width) - 1;
  const uint64_t sign = 1ull << (width - 1);
  return static_cast<long>(static_cast<int64_t>(((value & mask) ^ sign) - sign));
}

// words[] holds the value low word first.
uint64_t combined(const uint32_t* words, int count) {
  if (count == 1) return words[0];
  const uint64_t low = (words[0] & 0xFFFF) | (static_cast<uint64_t>(words[1] & 0xFFFF) << 16);
  return count == 2 ? low : low | (static_cast<uint64_t>(words[2] & 0xFF) << 32);
}

// The value texts are written at p (at most VALUE_TEXT_MAX bytes); each
// returns the end.
constexpr int VALUE_TEXT_MAX = 48;

char* put_hex_value(char* p, uint32_t access, const uint32_t* w, int count) {
  const uint64_t v = w[0];
  *p++ = '$';
  if (access & W_ANY) return digits::put_hex(p, combined(w, count), 0);
  if (access & W_8) return digits::put_hex(p, v, 2);
  if (access & W_16) return digits::put_hex(p, v, 4);
  if (access & W_24) return digits::put_hex(p, v, 6);
  if (count == 1) return digits::put_hex(p, v, 4);
  if (count == 3) p = digits::put_hex(p, w[2] & 0xFF, 2);
  p = digits::put_hex(p, w[1] & 0xFFFF, 4);
  return digits::put_hex(p, v & 0xFFFF, 4);
}

char* put_decimal_value(char* p, uint32_t access, const uint32_t* w, int count, bool is_signed) {
  const uint64_t value = combined(w, count);
  const int width = word_width(access);
  const auto number = [&](int digit_count) {
    return is_signed ? digits::put_signed(p, sign_extended(value, width), digit_count)
                     : digits::put_unsigned(p, value & 0xFFFFFFFFu, digit_count);
  };
  if (access & (W_ANY | W_8)) return number(3);
  if (access & W_16) return number(5);
  if ((access & W_32) == 0 || (access & NOT_INTEGER) != 0) {
    if (count == 1) return number(5);
    const decimal_split parts = split_decimal(0, w[0], w[1], count == 3 ? w[2] : 0);
    p = digits::put_unsigned(p, static_cast<unsigned long>(parts.quotient), 6);
    return digits::put_unsigned(p, static_cast<unsigned long>(parts.remainder), 9);
  }
  return number(11);
}

uint32_t value_type_of(uint32_t access) {
  const int count = shape_words(access);
  if (count == 2) return AV_TWO;
  if (count == 3) return AV_THREE;
  constexpr std::array<std::pair<int, uint32_t>, 4> widths = {
      {{8, AV_W8}, {16, AV_W16}, {24, AV_W24}, {32, AV_W32}}};
  uint32_t type = AV_ONE;
  for (const auto& [bits, flag] : widths)
    if (word_width(access) == bits) type |= flag;
  return type;
}

std::string as_fraction(uint32_t access, const uint32_t* w, int count) {
  arg_value v;
  v.lo = w[0] & 0xFFFF;
  v.hi = count >= 2 ? w[1] & 0xFFFF : (w[0] >> 16) & 0xFFFF;
  v.ext = count == 3 ? w[2] & 0xFF : 0;
  v.type = AV_INT | value_type_of(access);
  return print(count == 1 ? "%8.5f" : "%13.10f", value_as_double(0, v));
}

// A register's words in the radix, written at p; returns the end.
char* put_value(char* p, uint32_t access, const uint32_t* words, int radix) {
  const int count = shape_words(access);
  switch (radix) {
    case RADIX_DEC:
    case RADIX_UNS:
      return put_decimal_value(p, access, words, count, radix == RADIX_DEC);
    case RADIX_FRAC: {
      const std::string text = as_fraction(access, words, count);
      const std::size_t n = std::min<std::size_t>(text.size(), VALUE_TEXT_MAX);
      std::memcpy(p, text.data(), n);
      return p + n;
    }
    default:
      return put_hex_value(p, access, words, count);
  }
}

void format_words(uint32_t access, const uint32_t* words, int radix, std::string& out) {
  char text[VALUE_TEXT_MAX];
  out.assign(text, static_cast<std::size_t>(put_value(text, access, words, radix) - text));
}

const display_layout_set* layouts() {
  return cur_family != nullptr ? static_cast<const display_layout_set*>(cur_family->display_layouts)
                               : nullptr;
}

// Prints one line of the run display; after each screenful the screen is
// flushed and output held again.
struct display_printer {
  int lines = 0;
  void line(const std::string& text) { line(text.c_str()); }
  void line(const char* text) {
    session_print(text, 1);
    if (++lines % std::max(1, session_screen().text_rows) == 0) {
      screen_flush();
      output_hold();
    }
  }
};

// The register display of a device type, resolved once: the slots of its
// layouts in order, each a register cell (with the register's class, its
// name and row suffix, and its widths), a blank of a width, or a line end
// (also after each row's last slot).
struct display_cell {
  enum kind_code : uint8_t { REGISTER, BLANK, LINE_END };
  kind_code kind = BLANK;
  uint8_t width = 0;  // the cell's width; the value ends at it
  uint8_t name_width = 0;
  uint8_t name_length = 0;
  int16_t row = 0;
  int16_t reg = 0;
  uint32_t access = 0;
  const periph_class* cls = nullptr;
  char name[30] = {};  // name and suffix, then "="
  // The value's text as last written: a value shown again unchanged (most
  // of them, line after line of a trace) is copied, not formatted again.
  mutable int text_radix = -1;
  mutable uint8_t text_length = 0;
  mutable uint32_t text_words[3] = {0, 0, 0};
  mutable char text[VALUE_TEXT_MAX] = {};

  char* put_value_text(char* p, const uint32_t* words, int radix) const {
    if (radix != text_radix || words[0] != text_words[0] || words[1] != text_words[1] ||
        words[2] != text_words[2]) {
      text_length = static_cast<uint8_t>(put_value(text, access, words, radix) - text);
      std::memcpy(text_words, words, sizeof text_words);
      text_radix = radix;
    }
    // A copy of fixed size is a few moves; the room behind p holds it.
    if (text_length <= 16) std::memcpy(p, text, 16);
    else std::memcpy(p, text, text_length);
    return p + text_length;
  }
};

struct display_table {
  const device_type* type = nullptr;
  const display_layout_set* set = nullptr;
  std::vector<display_cell> cells;
};

void build_display_table(display_table& table, const device_type& type, const display_layout_set* set) {
  table.type = &type;
  table.set = set;
  table.cells.clear();
  if (set == nullptr) return;
  const int rows = std::min(set->periph_count, type.periph_count);
  for (int row = 0; row < rows; ++row) {
    const display_layout& layout = set->periphs[row];
    const periph_row& prow = type.periphs[row];
    for (int i = 0; i < layout.count; ++i) {
      const display_slot& slot = layout.slots[i];
      display_cell cell;
      cell.row = static_cast<int16_t>(row);
      cell.width = slot.column;
      cell.name_width = slot.name_width;
      if (slot.reg == SLOT_LINE_END) {
        cell.kind = display_cell::LINE_END;
      } else if (slot.reg >= 0 && slot.reg < prow.cls->reg_count) {
        cell.kind = display_cell::REGISTER;
        cell.reg = slot.reg;
        cell.cls = prow.cls;
        cell.access = prow.cls->regs[slot.reg].access;
        const std::string name = std::string(prow.cls->regs[slot.reg].name) + prow.suffix;
        cell.name_length = static_cast<uint8_t>(std::min(name.size(), sizeof cell.name - 2));
        std::memcpy(cell.name, name.data(), cell.name_length);
        cell.name[cell.name_length] = '=';
      }
      table.cells.push_back(cell);
    }
    display_cell end;
    end.kind = display_cell::LINE_END;
    table.cells.push_back(end);
  }
}

const display_table& display_table_for_current_type() {
  thread_local display_table table;
  const display_layout_set* set = layouts();
  if (table.type != cur_type || table.set != set) build_display_table(table, *cur_type, set);
  return table;
}

// One layout line: the cells of the shown registers; columns count the
// visible width, which leaves the highlight braces out so that columns stay
// aligned. Blanks are written only before a cell: a line of registers
// that are not shown costs nothing. The text is written in place in a
// buffer that grows when a cell would not fit.
struct layout_line {
  int visible = 0;  // width written to the text
  int column = 0;   // where the next cell starts
  bool shown = false;

  void pad_to(int to) { column = std::max(column, to); }
  // Read as read_register reads (the row caught up first), formatted as
  // format_register_value formats.
  void add_register(const display_cell& cell, uint32_t attr) {
    const int start = column;
    uint32_t words[3] = {0, 0, 0};
    if (cell.cls->get == nullptr || !read_cell(cell, words)) {
      error_report(READ_ERROR);
    } else {
      const int length = cell.name_length;
      // Right-aligned in the name's column, then "=".
      const int pad = std::max(0, cell.name_width - length) + (column - visible);
      char* p = room(static_cast<std::size_t>(pad) + sizeof cell.name + VALUE_TEXT_MAX + 2);
      constexpr char BLANKS[] = "                ";
      if (pad <= 16) std::memcpy(p, BLANKS, 16);
      else std::memset(p, ' ', static_cast<std::size_t>(pad));
      p += pad;
      std::memcpy(p, cell.name, sizeof cell.name);
      p += length + 1;
      const bool changed = (attr & ATTR_CHANGED) != 0;
      if (changed) *p++ = '{';
      char* const value = p;
      p = cell.put_value_text(p, words, register_display_radix(attr));
      const int value_length = static_cast<int>(p - value);
      if (changed) *p++ = '}';
      used = static_cast<std::size_t>(p - text.data());
      visible = column + std::max(0, cell.name_width - length) + length + 1 + value_length;
      column = visible;
      shown = true;
    }
    pad_to(start + cell.width);
  }
  void flush(display_printer& out) {
    if (shown) {
      while (used > 0 && text[used - 1] == ' ') --used;
      text[used] = '\0';
      out.line(text.data());
    }
    used = 0;
    visible = column = 0;
    shown = false;
  }

 private:
  std::string text;  // the buffer; `used` bytes of it are the line
  std::size_t used = 0;

  // Where n more bytes (and an end byte) can be written.
  char* room(std::size_t n) {
    if (used + n + 1 > text.size()) text.resize(std::max(text.size() * 2, used + n + 1 + 256));
    return text.data() + used;
  }
  static bool read_cell(const display_cell& cell, uint32_t* words) {
    if (cell.cls->catch_up) cell.cls->catch_up(cell.row);
    return cell.cls->get(cell.row, cell.reg, words) != 0;
  }
};

void show_registers(display_printer& out) {
  if (layouts() == nullptr) return;
  const display_table& table = display_table_for_current_type();
  layout_line line;
  int attrs_row = -1;
  const uint32_t* attrs = nullptr;
  for (const display_cell& cell : table.cells) {
    switch (cell.kind) {
      case display_cell::LINE_END:
        line.flush(out);
        break;
      case display_cell::REGISTER:
        if (cell.row != attrs_row) {
          attrs_row = cell.row;
          attrs = periph_attrs(cell.row);
        }
        if ((attrs[cell.reg] & ATTR_SHOWN) != 0) {
          line.add_register(cell, attrs[cell.reg]);
          break;
        }
        [[fallthrough]];
      case display_cell::BLANK:
        line.pad_to(line.column + cell.width);
        break;
    }
  }
}

// A stop request ends a listing; the request is used up by it.
bool listing_stopped() {
  if (abort_requested() == 0) return false;
  if (cur_inst != nullptr) cur_inst->abort = 0;
  return true;
}

// Every range of the map with a non-zero mark, four words a line.
void show_memory(int map, display_printer& out) {
  for (int r = 0; r < cur_type->region_count; ++r) {
    const mem_region& row = cur_type->regions[r];
    const int width = row.space >= 0 && row.space < static_cast<int>(cur_family->value_width.size())
                          ? cur_family->value_width[static_cast<std::size_t>(row.space)]
                          : 11;
    const std::vector<range_entry> ranges = cur_state->region_logs[static_cast<std::size_t>(r)]
                                                .maps[map]
                                                .ranges;
    for (const range_entry& e : ranges) {
      if (e.value == 0) continue;
      uint32_t address = e.low;
      std::string line;
      for (;;) {
        if (line.empty()) line = std::string(row.name) + ":$" + format_hex_word(address) + "=";
        std::string value;
        format_memory_word(row.space, address, memory_radix_at(r, address), value);
        const int pad = std::max(0, width - static_cast<int>(value.size()));
        line += std::string(static_cast<std::size_t>(pad), ' ');
        line += e.value == 2 ? "{" + value + "}" : value;
        if (address == e.high) {
          out.line(line);
          break;
        }
        const uint32_t next = (address + 1) & row.addr_mask;
        if (next % 4 == 0) {
          out.line(line);
          line.clear();
          if (listing_stopped()) return;
        }
        address = next;
      }
    }
  }
}

void show_marked(int map) {
  if (cur_type == nullptr || cur_state == nullptr || cur_family == nullptr) return;
  const bool hold = more_enabled == 0;
  if (hold) output_hold();
  display_printer out;
  show_registers(out);
  show_memory(map, out);
  show_watch_list();
  std::string line;
  if (format_disassembly_line(SPACE_P, cur_inst->pc, line, 0) >= 0) out.line(line);
  if (hold) output_release();
}


// The registers the one-line disassembly reads, found by name once per
// device type instead of on every line.
struct named_register {
  int row = -1, reg = -1;
  bool found() const { return row >= 0; }
  // As read_register reads, on the current device whose type the look-up
  // was made for.
  bool read(uint32_t* out) const {
    uint32_t words[3] = {0, 0, 0};
    if (!found()) return false;
    const periph_class* cls = cur_type->periphs[row].cls;
    if (cls->get == nullptr) return false;
    if (cls->catch_up) cls->catch_up(row);
    if (cls->get(row, reg, words) == 0) return false;
    *out = words[0];
    return true;
  }
};

struct disassembly_registers {
  const device_type* type = nullptr;
  named_register sr, omr, a1, b1;
  std::array<named_register, 4> r, m, n;
  bool eight_address_registers = false;
};

named_register find_named(const char* name) {
  named_register found;
  if (lookup_register(cur_device, name, &found.row, &found.reg) == 0) found = {};
  return found;
}

const disassembly_registers& registers_for_disassembly() {
  thread_local disassembly_registers cache;
  if (cache.type == cur_type) return cache;
  cache.type = cur_type;
  cache.sr = find_named("sr");
  cache.omr = find_named("omr");
  cache.a1 = find_named("a1");
  cache.b1 = find_named("b1");
  for (int i = 0; i < 4; ++i) {
    const std::string digit = std::to_string(i);
    cache.r[static_cast<std::size_t>(i)] = find_named(("r" + digit).c_str());
    cache.m[static_cast<std::size_t>(i)] = find_named(("m" + digit).c_str());
    cache.n[static_cast<std::size_t>(i)] = find_named(("n" + digit).c_str());
  }
  cache.eight_address_registers = find_named("r5").found();
  return cache;
}

}  // namespace

bool read_named(const char* name, uint32_t* out) {
  int row = 0, reg = 0;
  uint32_t words[3] = {0, 0, 0};
  if (!lookup_register(cur_device, name, &row, &reg) || !read_register(cur_device, row, reg, words))
    return false;
  *out = words[0];
  return true;
}

void tag_region_address(int which, int region, uint32_t address, uint32_t stream) {
  if (cur_type == nullptr || cur_state == nullptr || region < 0 || region >= cur_type->region_count)
    return;
  const uint32_t attr = cur_type->regions[region].attr;
  const int map = (which & 1) != 0 ? MAP_IN_STREAM : MAP_OUT_STREAM;
  for (int r = 0; r < cur_type->region_count; ++r) {
    const mem_region& row = cur_type->regions[r];
    if ((row.attr & attr) != attr || (row.attr & 0xFF) != (attr & 0xFF)) continue;
    range_map_set(cur_state->region_logs[static_cast<std::size_t>(r)].maps[map],
                  address & row.addr_mask, address & row.addr_mask, row.addr_mask, stream);
  }
}

void clear_stream_tag(uint32_t stream, uint32_t address) {
  if (cur_type == nullptr || cur_state == nullptr) return;
  for (int r = 0; r < cur_type->region_count; ++r) {
    const uint32_t mask = cur_type->regions[r].addr_mask;
    for (const int map : {MAP_IN_STREAM, MAP_OUT_STREAM}) {
      range_map& tags = cur_state->region_logs[static_cast<std::size_t>(r)].maps[map];
      if (range_map_get(tags, address & mask) == stream)
        range_map_set(tags, address & mask, address & mask, mask, 0);
    }
  }
}

int register_display_radix(uint32_t attr) {
  if (attr & ATTR_RADIX_HEX) return RADIX_HEX;
  if (attr & ATTR_RADIX_DEC) return RADIX_DEC;
  if (attr & ATTR_RADIX_UNS) return RADIX_UNS;
  return RADIX_FRAC;
}

uint32_t register_value_type(int row, int reg) {
  return value_type_of(cur_type->periphs[row].cls->regs[reg].access);
}

int format_register_value(int row, int reg, int radix, std::string& out) {
  uint32_t words[3] = {0, 0, 0};
  if (cur_type == nullptr || row < 0 || row >= cur_type->periph_count ||
      !read_register(cur_device, row, reg, words)) {
    error_report(READ_ERROR);
    return 0;
  }
  format_words(cur_type->periphs[row].cls->regs[reg].access, words, radix, out);
  return 1;
}

std::string format_double_e(const char* width_format, double value) {
  std::string text;
  if (std::isnan(value)) {
    text = std::signbit(value) ? "-NaN" : "NaN";
  } else if (std::isinf(value)) {
    text = value < 0 ? "-Inf" : "Inf";
  } else if (value == 0.0) {
    text = std::signbit(value) ? "-0.000000000000000000e+00" : "0.0000000000000000000e+00";
  } else {
    text = print("%-26.24e", value);
  }
  return print(width_format != nullptr ? width_format : "%s", text.c_str());
}

// Per row of the current device type, a word per register: all ones for
// a register whose mark is fixed, else zero.
static const std::vector<std::vector<uint32_t>>& fixed_marks_of_current_type() {
  thread_local const device_type* type = nullptr;
  thread_local std::vector<std::vector<uint32_t>> rows;
  if (type != cur_type) {
    type = cur_type;
    rows.assign(static_cast<std::size_t>(cur_type->periph_count), {});
    for (int row = 0; row < cur_type->periph_count; ++row) {
      const periph_class& cls = *cur_type->periphs[row].cls;
      for (int reg = 0; reg < cls.reg_count; ++reg)
        rows[static_cast<std::size_t>(row)].push_back(
            (cls.regs[reg].access & REG_FIXED_DISPLAY) != 0 ? ~0u : 0u);
    }
  }
  return rows;
}

void refresh_register_marks(int show) {
  if (cur_type == nullptr || cur_state == nullptr) return;
  // The marks are observed: event-driven peripherals catch up first.
  catch_up_peripherals();
  // Shown: displayed always, or read (written) since the last stop while
  // displayed on read (write). In bits, so that a row goes in a few wide
  // steps; a fixed register keeps its mark.
  static_assert(ATTR_DISPLAY_ON == 1u << 4 && ATTR_DISPLAY_READ == 1u << 5 &&
                ATTR_DISPLAY_WRITE == 1u << 6 && ATTR_READ_SINCE == 1u << 18 &&
                ATTR_CHANGED == 1u << 19 && ATTR_SHOWN == 1u << 11);
  const std::vector<std::vector<uint32_t>>& kept = fixed_marks_of_current_type();
  for (int row = 0; row < cur_type->periph_count; ++row) {
    const std::vector<uint32_t>& fixed = kept[static_cast<std::size_t>(row)];
    uint32_t* attrs = periph_attrs(row);
    const std::size_t count = fixed.size();
    for (std::size_t reg = 0; reg < count; ++reg) {
      const uint32_t a = attrs[reg];
      const uint32_t shown = ((a >> 4) | ((a >> 5) & (a >> 18)) | ((a >> 6) & (a >> 19))) & 1u;
      const uint32_t marked = (a & ~ATTR_SHOWN) | (shown << 11);
      attrs[reg] = (a & fixed[reg]) | (marked & ~fixed[reg]);
    }
  }
  refresh_memory_marks();
  show_run_display(show);
}

void refresh_memory_marks() {
  if (cur_type == nullptr || cur_state == nullptr) return;
  constexpr uint32_t ROW_LOGS_ACCESSES = 0x2000;
  for (int r = 0; r < cur_type->region_count; ++r) {
    const mem_region& row = cur_type->regions[r];
    region_access_log& log = cur_state->region_logs[static_cast<std::size_t>(r)];
    range_map& marks = log.maps[MAP_HIGHLIGHT];
    const range_map& modes = log.maps[MAP_DISPLAY];
    range_map_clear(marks);
    for (const range_entry& e : modes.ranges)
      if (e.value == 1) range_map_set(marks, e.low, e.high, row.addr_mask, 1);
    if ((row.flags & ROW_LOGS_ACCESSES) == 0) continue;
    // Newest first, at most one ring's worth.
    const auto walk = [&](const access_log& a, auto wanted, uint32_t mark) {
      const uint32_t n = std::min<uint32_t>(a.run_count, ACCESS_RING);
      uint32_t index = a.ring_index % ACCESS_RING;
      for (uint32_t i = 0; i < n; ++i) {
        const uint32_t address = a.address[index];
        if (wanted(range_map_get(modes, address)))
          range_map_set(marks, address, address, row.addr_mask, mark);
        index = (index + ACCESS_RING - 1) % ACCESS_RING;
      }
    };
    walk(log.reads, [](uint32_t m) { return m == 2 || m == 3; }, 1);
    walk(log.writes, [](uint32_t m) { return m == 1 || m == 3 || m == 4; }, 2);
  }
}

void show_run_display(int show) {
  if (show != 0) show_marked(MAP_HIGHLIGHT);
}

void show_marked_now() { show_marked(MAP_IMMEDIATE); }

int format_disassembly_line(int space, uint32_t address, std::string& out, int wide) {
  out.clear();
  if (cur_type == nullptr || cur_inst == nullptr) return -1;
  const mem_iface& mem = *cur_type->mem;
  const disassembly_registers& named = registers_for_disassembly();
  uint32_t sr = 0, omr = 0;
  if (!named.sr.read(&sr) || !named.omr.read(&omr)) {
    error_report(READ_ERROR);
    return -1;
  }
  int region = find_memory_region(space, address);
  if (region < 0 || region >= cur_type->region_count) region = 0;
  const mem_region& row = cur_type->regions[region];
  const uint32_t mask = row.addr_mask;
  address &= mask;

  std::array<uint32_t, 3> words{};
  std::array<bool, 3> read_ok{};
  const uint32_t step = wide != 0 ? 2 : 1;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const uint32_t at = (address + static_cast<uint32_t>(i) * step) & mask;
    read_ok[i] = (mem.read_wide != nullptr ? mem.read_wide(space, at, &words[i], wide)
                                           : mem.read_word(space, at, &words[i])) != 0;
  }

  dis_ea_info ea;
  ea.pc = address;
  const int address_regs = named.eight_address_registers ? 8 : 4;
  for (std::size_t n = 0; n < 4; ++n) {
    if (!named.r[n].read(&ea.r[n]) || !named.m[n].read(&ea.m[n]) || !named.n[n].read(&ea.n[n])) {
      error_report(READ_ERROR);
      return -1;
    }
  }
  if (address_regs == 4) {
    if ((named.a1.found() && !named.a1.read(&ea.a1)) || (named.b1.found() && !named.b1.read(&ea.b1))) {
      error_report(READ_ERROR);
      return -1;
    }
  }

  std::array<char, DIS_TEXT_SIZE> text{};
  int length = 1;
  if (cur_family != nullptr && cur_family->disassemble != nullptr) {
    length = cur_family->disassemble(words.data(), text.data(), 0, 0, &ea);
  } else {
    std::snprintf(text.data(), text.size(), "dc $%" PRIx32, words[0] & 0xFFFF);
  }
  length = std::max(length, 1);

  out = row.name;
  out += ":$";
  digits::append_hex(out, address, 4);
  out += ' ';
  digits::append_hex(out, words[0] & 0xFFFF, 4);
  out += ' ';
  if (length >= 2) {
    digits::append_hex(out, words[1] & 0xFFFF, 4);
    out += ' ';
  } else {
    out.append(5, ' ');
  }
  out += text.data();
  out.erase(out.find_last_not_of(' ') + 1);
  const auto note_symbol = [&](uint32_t flag, int ref_space, uint32_t ref) {
    if ((ea.access_flags & flag) == 0) return;
    const char* symbol = symbol_text_at(ref_space, ref);
    if (symbol != nullptr && symbol[0] != '\0') out += std::string(" ;") + symbol;
  };
  note_symbol(DIS_ACCESS_P, SPACE_P, ea.p_address);
  note_symbol(DIS_ACCESS_X, SPACE_X, ea.x_address);
  note_symbol(DIS_ACCESS_X2, SPACE_X, ea.x2_address);
  if (!read_ok[0]) out += NO_MEMORY;
  return length;
}

void show_progress_line() {
  if (gui_present() != 0 || cur_inst == nullptr || cur_device != shown_device) return;
  const std::string text = print("{SIMULATION IN PROGRESS.} Enter Ctrl-C to Halt. dev:%d pc:%04lx cyc:%lu",
                                 cur_device, static_cast<unsigned long>(cur_inst->pc),
                                 static_cast<unsigned long>(cur_inst->cycles));
  gui_status_text(text.c_str());
  screen_flush();
}
