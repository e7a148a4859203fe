// view and list: how the device's session window shows the program
// (registers, assembly or source) and which page of it.
#include <array>
#include <cstring>

#include "sim/cdb/coff.h"
#include "sim/cdb/source.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/view_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr int VIEW_REGISTERS = 0;
constexpr int VIEW_ASSEMBLY = 1;
constexpr int VIEW_SOURCE = 2;
constexpr int SHOW_CURRENT = 32767;

command_lexer& lx() { return *cur_lexer; }

bool has_symbols() {
  const coff_debug_info* info = current_debug_info();
  return info != nullptr && info->has_symbols();
}

void show_view() {
  if (cur_state->view_mode == VIEW_REGISTERS) session_redraw(cur_device);
  else view_show_position(SHOW_CURRENT);
}

template <int Mode>
void view_set(const char*) {
  cur_state->view_mode = Mode;
  show_view();
}

// Registers to source (assembly without symbols), source to assembly,
// assembly to registers.
void view_next(const char*) {
  int& mode = cur_state->view_mode;
  if (mode == VIEW_REGISTERS) mode = has_symbols() ? VIEW_SOURCE : VIEW_ASSEMBLY;
  else if (mode == VIEW_SOURCE) mode = VIEW_ASSEMBLY;
  else mode = VIEW_REGISTERS;
  show_view();
}

constexpr action_record view_next_record{view_next, 0};
constexpr std::array<action_record, 3> view_records{
    {{view_set<VIEW_ASSEMBLY>, 0}, {view_set<VIEW_SOURCE>, 0}, {view_set<VIEW_REGISTERS>, 0}}};
constexpr const char* const view_words[] = {"a", "s", "r", nullptr};

// A page of the list: the view rows less one.
int list_page() { return session_screen().text_rows - 1; }

void list_mode() {
  if (cur_state->view_mode == VIEW_REGISTERS) cur_state->view_mode = has_symbols() ? VIEW_SOURCE : VIEW_ASSEMBLY;
}

void list_here(const char*) {
  list_mode();
  view_show_position(SHOW_CURRENT);
}

template <int Direction>
void list_page_move(const char*) {
  list_mode();
  view_show_position(Direction * list_page());
}

// Shows a file from a line (source) or from an address (assembly).
void show_from(int file, uint32_t line, uint32_t address, int space) {
  device_state& st = *cur_state;
  if (st.view_mode == VIEW_ASSEMBLY) {
    st.asm_view_address = address;
    st.asm_view_space = space;
  } else {
    st.view_file = file;
    st.view_top_line = line;
  }
  view_show_position(0);
}

void list_line(const char*) {
  list_mode();
  device_state& st = *cur_state;
  const arg_value& v = lx().value[2];
  st.list_file = static_cast<int>(v.lo);
  st.list_line = v.hi;
  uint32_t address = 0;
  int space = SPACE_P;
  if (st.view_mode == VIEW_ASSEMBLY && line_address(st.list_file, st.list_line, &address, &space) == 0) return;
  show_from(st.list_file, st.list_line, address, space);
}

void list_location(const char*) {
  list_mode();
  const arg_value& v = lx().value[2];
  const auto space = static_cast<int>(v.space);
  const int file = coff_file_symbol_at(v.addr, space);
  const int index = coff_line_index_at(v.addr, space);
  const coff_debug_info* info = current_debug_info();
  const uint32_t line = info != nullptr && index >= 0 ? info->lines[static_cast<std::size_t>(index)].line : 1;
  if (cur_state->view_mode != VIEW_ASSEMBLY && file < 0) return;
  show_from(file, line > 3 ? line - 3 : 1, v.addr, space);
}

constexpr action_record list_here_record{list_here, 0};
constexpr action_record list_next_record{list_page_move<1>, 0};
constexpr action_record list_back_record{list_page_move<-1>, 0};
constexpr action_record list_line_record{list_line, 0};
constexpr action_record list_location_record{list_location, 0};

}  // namespace

const action_record* cmd_view() {
  if (!lx().has(2)) return check_no_more_args(2) ? &view_next_record : nullptr;
  const int k = match_keyword_list(2, view_words, 'j', 3);
  if (k < 0 || !check_no_more_args(3)) return nullptr;
  return &view_records[static_cast<std::size_t>(k)];
}

const action_record* cmd_list() {
  command_lexer& l = lx();
  if (!l.has(2)) return check_no_more_args(2) ? &list_here_record : nullptr;
  const char* word = l.word(2);
  const action_record* record = nullptr;
  if (std::strcmp(word, ".") == 0) record = &list_here_record;
  else if (std::strcmp(word, "+") == 0) record = &list_next_record;
  else if (std::strcmp(word, "-") == 0) record = &list_back_record;
  if (record != nullptr) {
    l.kind[2] = 'j';
  } else {
    int file = -1;
    uint32_t line = 0;
    const int form = list_line_argument(l.typed(2), &file, &line);
    if (form < 0) {
      reader_fail(2, "Invalid line number");
      return nullptr;
    }
    if (form > 0) {
      l.kind[2] = 'l';
      l.value[2] = arg_value{};
      l.value[2].lo = static_cast<uint32_t>(file);
      l.value[2].hi = line;
      record = &list_line_record;
    } else {
      if (!parse_memory_location(2, cur_device)) return nullptr;
      record = &list_location_record;
    }
  }
  return check_no_more_args(3) ? record : nullptr;
}
