// display: registers and memory now, or by display modes after every stop;
// disassemble: instructions from memory.
//
// - Commands: `cmd_display.cpp` (display, disassemble; `device_state`
//   `dis_continue`/`dis_space`/`dis_next`, cleared by `reset_run_flags`), `cmd_change.cpp` (value
//   pairs; the interactive forms echo each change as a value-pair line into the command log and
//   carry `ACTION_INTERACTIVE`), `cmd_copy.cpp`, `cmd_device.cpp`.
#include <algorithm>
#include <array>
#include <string>

#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/expr/expr.h"
#include "sim/cmd/lexer.h"
#include "sim/expr/rangemap.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/regfmt.h"
#include "sim/engine/device/banner.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr int SWITCH_COUNT = 5;
constexpr int SWITCH_ON = 1;
// By display switch (off, on, r, rw, w): the register display bits.
constexpr std::array<uint32_t, SWITCH_COUNT> switch_bits = {0, ATTR_DISPLAY_ON, ATTR_DISPLAY_READ,
                                                            ATTR_DISPLAY_READ | ATTR_DISPLAY_WRITE,
                                                            ATTR_DISPLAY_WRITE};
// Rows whose accesses are logged, and the rows of concrete memories.
constexpr uint32_t ROW_LOGGED = 0x2000;
constexpr uint32_t ROW_CONCRETE = 0x4000;
constexpr int DEFAULT_LISTING = 20;
constexpr std::size_t SESSION_COLUMNS = 80;

// Register groups: kind 'v', lo..hi the peripheral rows, item 1 for "all"
// (which also takes the memory the display modes select).
struct group_name {
  const char* name;
  int first;  // -1: the last row
  int last;
  bool memory;
};
constexpr std::array<group_name, 3> groups = {{
    {"all", 0, -1, true},
    {"io", 1, -1, false},
    {"dsp", 0, 0, false},
}};

int parse_register_group(int i) {
  if (!need_arg(i)) return 0;
  if (cur_type == nullptr) return reader_fail(i, parse_error_messages[ERR_INVALID]);
  const std::string word = cur_lexer->word(i);
  arg_value v;
  v.device = static_cast<uint16_t>(cur_device);
  const int last_row = cur_type->periph_count - 1;
  for (const group_name& g : groups) {
    if (word != g.name) continue;
    v.lo = static_cast<uint32_t>(g.first);
    v.hi = static_cast<uint32_t>(g.last < 0 ? last_row : g.last);
    v.item = g.memory ? 1 : 0;
    cur_lexer->kind[i] = 'v';
    cur_lexer->value[i] = v;
    return 1;
  }
  if (!parse_periph_name(i)) return 0;
  const uint16_t row = cur_lexer->value[i].region;
  v.lo = v.hi = row;
  cur_lexer->kind[i] = 'v';
  cur_lexer->value[i] = v;
  return 1;
}

int parse_display_item(int i) {
  return parse_register_block(i) || parse_register_arg(i) || parse_register_group(i) ||
         parse_memory_block(i);
}

// Items from token i to the end.
bool parse_items(int i) {
  if (!need_arg(i)) return false;
  for (; cur_lexer->has(i); ++i)
    if (!parse_display_item(i)) return false;
  return check_no_more_args(i) != 0;
}

// --- Register walks -------------------------------------------------------------

template <typename F>
void for_registers_of_rows(int first_row, int last_row, F f) {
  for (int row = std::max(first_row, 0); row <= last_row && row < cur_type->periph_count; ++row) {
    const periph_class& cls = *cur_type->periphs[row].cls;
    for (int reg = 0; reg < cls.reg_count; ++reg) f(row, reg);
  }
}

bool before(int row1, int reg1, int row2, int reg2) {
  return row1 < row2 || (row1 == row2 && reg1 < reg2);
}

// From the lower end of a block to the higher one, in walking order.
template <typename F>
void for_register_block(const arg_value& v, F f) {
  int row = v.region, reg = v.item;
  int last_row = static_cast<int>(v.hi), last_reg = static_cast<int>(v.lo);
  if (before(last_row, last_reg, row, reg)) {
    std::swap(row, last_row);
    std::swap(reg, last_reg);
  }
  int total = 0;
  for (int r = 0; r < cur_type->periph_count; ++r) total += cur_type->periphs[r].cls->reg_count;
  for (int n = 0; n < total; ++n) {
    f(row, reg);
    if (row == last_row && reg == last_reg) return;
    next_register(reg, row);
  }
}

// Every register an item names: register, block or group.
template <typename F>
bool for_item_registers(int i, F f) {
  const arg_value& v = cur_lexer->value[static_cast<std::size_t>(i)];
  switch (cur_lexer->kind[static_cast<std::size_t>(i)]) {
    case 'g':
      f(static_cast<int>(v.region), static_cast<int>(v.item));
      return true;
    case 'G':
      for_register_block(v, f);
      return true;
    case 'v':
      for_registers_of_rows(static_cast<int>(v.lo), static_cast<int>(v.hi), f);
      return true;
    default:
      return false;
  }
}

bool is_memory_item(char kind) { return kind == 'p' || kind == 'X' || kind == 'P'; }

bool fixed_display(int row, int reg) {
  return (cur_type->periphs[row].cls->regs[reg].access & REG_FIXED_DISPLAY) != 0;
}

// --- display ---------------------------------------------------------------------

void show_enabled(const char*) {
  cur_state->view_mode = 0;
  more_count = 0;
  refresh_register_marks(1);
}

void show_version(const char*) {
  cur_state->view_mode = 0;
  session_echo(SIM_BANNER, 1);
}

void show_now(const char*) {
  more_count = 0;
  for (region_access_log& log : cur_state->region_logs) range_map_clear(log.maps[MAP_IMMEDIATE]);
  for_registers_of_rows(0, cur_type->periph_count - 1,
                        [](int row, int reg) { periph_attrs(row)[reg] &= ~ATTR_SHOWN; });
  const command_lexer& lx = *cur_lexer;
  for (int i = 2; lx.has(i); ++i) {
    const arg_value& v = lx.value[static_cast<std::size_t>(i)];
    const char kind = lx.kind[static_cast<std::size_t>(i)];
    if (is_memory_item(kind)) {
      const uint32_t mask = cur_type->regions[v.region].addr_mask;
      const uint32_t end = kind == 'p' ? v.lo : v.hi;
      range_map_set(cur_state->region_logs[v.region].maps[MAP_IMMEDIATE], v.lo & mask, end & mask,
                    mask, 1);
      continue;
    }
    for_item_registers(i, [](int row, int reg) {
      if (!fixed_display(row, reg)) periph_attrs(row)[reg] |= ATTR_SHOWN;
    });
    if (kind == 'v' && v.item == 1) {
      // "all" takes the memory a plain display would show as well.
      refresh_memory_marks();
      for (int r = 0; r < cur_type->region_count; ++r) {
        region_access_log& log = cur_state->region_logs[static_cast<std::size_t>(r)];
        const uint32_t mask = cur_type->regions[r].addr_mask;
        for (const range_entry& e : log.maps[MAP_HIGHLIGHT].ranges)
          if (e.value != 0) range_map_set(log.maps[MAP_IMMEDIATE], e.low, e.high, mask, e.value);
      }
    }
  }
  show_marked_now();
}

int switch_index() { return static_cast<int>(cur_lexer->value[2].lo); }

void set_memory_switch(int region, uint32_t low, uint32_t high, int k) {
  const mem_region& item_row = cur_type->regions[region];
  low &= item_row.addr_mask;
  high &= item_row.addr_mask;
  if (k == SWITCH_ON) {
    range_map_set(cur_state->region_logs[region].maps[MAP_DISPLAY], low, high, item_row.addr_mask,
                  SWITCH_ON);
    return;
  }
  for (int r = 0; r < cur_type->region_count; ++r) {
    const mem_region& row = cur_type->regions[r];
    if ((row.attr & ~item_row.attr) != 0 || (row.attr & 0xFF) != (item_row.attr & 0xFF)) continue;
    if (k != 0 && (row.flags & ROW_LOGGED) == 0) continue;
    range_map_set(cur_state->region_logs[r].maps[MAP_DISPLAY], low, high, row.addr_mask,
                  static_cast<uint32_t>(k));
  }
}

void set_item_modes(const char*) {
  const int k = switch_index();
  const uint32_t bits = switch_bits[static_cast<std::size_t>(k)];
  const command_lexer& lx = *cur_lexer;
  for (int i = 3; lx.has(i); ++i) {
    const arg_value& v = lx.value[static_cast<std::size_t>(i)];
    const char kind = lx.kind[static_cast<std::size_t>(i)];
    if (is_memory_item(kind)) {
      set_memory_switch(v.region, v.lo, kind == 'p' ? v.lo : v.hi, k);
      continue;
    }
    for_item_registers(i, [bits](int row, int reg) {
      uint32_t& attr = periph_attrs(row)[reg];
      attr = (attr & ~ATTR_DISPLAY_BITS) | bits;
    });
  }
}

void set_all_modes(const char*) {
  const int k = switch_index();
  const uint32_t bits = switch_bits[static_cast<std::size_t>(k)];
  for_registers_of_rows(0, cur_type->periph_count - 1, [bits](int row, int reg) {
    uint32_t& attr = periph_attrs(row)[reg];
    attr = (attr & ~ATTR_DISPLAY_BITS) | bits;
  });
  // Concrete memories are shown when read or written, never always.
  const uint32_t value = k == SWITCH_ON ? 3 : static_cast<uint32_t>(k);
  for (int r = 0; r < cur_type->region_count; ++r) {
    const mem_region& row = cur_type->regions[r];
    range_map& map = cur_state->region_logs[r].maps[MAP_DISPLAY];
    range_map_clear(map);
    if ((row.flags & ROW_CONCRETE) != 0 && value != 0)
      range_map_set(map, 0, row.addr_mask, row.addr_mask, value);
  }
}

constexpr action_record enabled_record{show_enabled, 0};
constexpr action_record version_record{show_version, 0};
constexpr action_record now_record{show_now, 0};
constexpr action_record items_record{set_item_modes, 0};
constexpr action_record all_record{set_all_modes, 0};

// --- disassemble -------------------------------------------------------------------

bool listing_stopped() {
  if (abort_requested() == 0) return false;
  cur_inst->abort = 0;
  return true;
}

void print_listing_line(const std::string& line) {
  session_echo(line.substr(0, SESSION_COLUMNS).c_str(), 1);
  if (line.size() > SESSION_COLUMNS) session_echo(line.substr(SESSION_COLUMNS).c_str(), 1);
}

void disassemble(const char*) {
  more_count = 0;
  const command_lexer& lx = *cur_lexer;
  const int wide = lx.kind[2] == 'j' ? 1 : 0;
  const int item = wide != 0 ? 3 : 2;
  const int rows = std::max(1, session_screen().text_rows);

  int space = SPACE_P;
  uint32_t address = 0;
  long count = DEFAULT_LISTING;
  bool has_end = false;
  uint32_t end = 0;
  if (lx.has(item)) {
    const arg_value& v = lx.value[static_cast<std::size_t>(item)];
    const mem_region& row = cur_type->regions[v.region];
    space = row.space;
    address = v.lo & row.addr_mask;
    switch (lx.kind[static_cast<std::size_t>(item)]) {
      case 'X':
        count = static_cast<long>((v.hi - v.lo) & row.addr_mask) + 1;
        break;
      case 'P':
        has_end = true;
        end = v.hi & row.addr_mask;
        count = -1;
        break;
      default:
        count = rows - 1;
        break;
    }
  } else if (cur_state->dis_continue != 0) {
    space = cur_state->dis_space;
    address = cur_state->dis_next;
  } else {
    address = cur_inst->pc;
    cur_state->dis_continue = 0;
  }

  const mem_iface& mem = *cur_type->mem;
  const int region = find_memory_region(space, address);
  const uint32_t mask =
      region >= 0 && region < cur_type->region_count ? cur_type->regions[region].addr_mask : 0xFFFF;
  address &= mask;
  uint32_t first_word = 0;
  uint32_t step = static_cast<uint32_t>(
      mem.read_wide != nullptr ? mem.read_wide(space, address, &first_word, wide) : 1);
  if (step == 0) step = 1;

  int lines = 0;
  for (;;) {
    std::string line;
    const int length = format_disassembly_line(space, address & mask, line, wide);
    if (length < 0) break;
    print_listing_line(line);
    const uint32_t advance = (step * static_cast<uint32_t>(length)) & mask;
    const uint32_t next = (address + advance) & mask;
    bool stop = false;
    // The end lies on this instruction's words (across the top of memory too).
    if (has_end && ((end - address) & mask) < (advance == 0 ? 1 : advance)) stop = true;
    if (count > 0 && --count == 0) stop = true;
    address = next;
    if (stop) break;
    if (++lines % rows == 0) {
      screen_flush();
      output_hold();
      if (listing_stopped()) break;
    }
  }
  cur_state->dis_next = address;
  cur_state->dis_space = space;
  cur_state->dis_continue = 1;
}

constexpr action_record disassemble_record{disassemble, 0};

}  // namespace

const action_record* cmd_display() {
  if (check_no_more_args(2)) return &enabled_record;
  if (std::string(cur_lexer->word(2)) == "v") {
    match_keyword(2, "v");
    return check_no_more_args(3) ? &version_record : nullptr;
  }
  const char* const* words = display_switch_words;
  if (match_keyword_list(2, words, 'd', SWITCH_COUNT) >= 0) {
    if (check_no_more_args(3)) return &all_record;
    return parse_items(3) ? &items_record : nullptr;
  }
  return parse_items(2) ? &now_record : nullptr;
}

const action_record* cmd_disassemble() {
  int item = 2;
  if (std::string(cur_lexer->word(2)) == "b") {
    match_keyword(2, "b");
    item = 3;
  }
  if (check_no_more_args(item)) return &disassemble_record;
  if (!parse_memory_block(item)) return nullptr;
  return check_no_more_args(item + 1) ? &disassemble_record : nullptr;
}
