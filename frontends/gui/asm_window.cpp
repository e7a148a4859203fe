// The Assembly window, one per device. The rows are drawn from a first
// address that stays while the pc moves inside them; the columns take the
// widths of the ruler's marks.
#include "frontends/gui/asm_window.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "fw/core/event.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/ruler.h"
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/lists/liststr.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/incell.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/row_window.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/window_list.h"
#include "frontends/gui/windows.h"
#include "sim/asm/disasm.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/frames.h"
#include "sim/cmd/breakpoints.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/view_hooks.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/memory.h"
#include "sim/expr/expr.h"
#include "sim/frontend/frontend.h"

namespace gui {

namespace {

constexpr int COLUMNS = 4;
constexpr std::size_t ADDRESS_TEXT_MAX = 29;
constexpr std::size_t BREAK_ADDRESS_MAX = 19;
constexpr std::size_t EDIT_TEXT_MAX = 99;
constexpr std::size_t SCROLL_TEXT_MAX = 199;
constexpr int RELAYOUT_PRIORITY = 63;

struct asm_win {
  asm_view view{1, -1, nullptr, -1, -1, 0};
  sim_window* record = nullptr;
  vdialog* dialog = nullptr;
  vruler* ruler = nullptr;
  vcontrol* scroll = nullptr;
  vtextitem* scroll_to = nullptr;
  vliststr* model = nullptr;
  // The device's view of program space: first and last address shown,
  // the space, the pc's region mask.
  uint32_t first = 0;
  uint32_t last = 0;
  int space = SPACE_P;
  uint32_t mask = 0xFFFF;
  int rows = 0;
  std::vector<uint32_t> addresses;  // of each row drawn
  int generation = 0;
};
window_list<asm_win> windows;
int generations = 0;

std::string format(const char* fmt, auto... args) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, fmt, args...);
  return buffer;
}

std::string cell(const asm_win& w, int row, int column) {
  if (w.model == nullptr || row < 0 || row >= vlistGetRowCount(w.model)) return {};
  const char* s = vliststrGetCell(w.model, row, column);
  return s != nullptr ? s : "";
}

void set_cell(asm_win& w, int row, int column, const std::string& text) {
  vliststrSetCellScribed(w.model, row, column, vscribeCString(text.c_str()));
}

std::string address_text(const asm_win& w, uint32_t address) {
  if ((w.mask & 0x1000000) != 0) return format("%08" PRIx32, address);
  return w.mask > 0xFFFF ? format("%06" PRIx32, address) : format("%04" PRIx32, address);
}

// The nearest symbol at or below the address: "name+dddd", "name     " at
// the symbol itself, 13 blanks without one.
std::string label_text(uint32_t address, int space) {
  const coff_debug_info* info = current_debug_info();
  int underscore = 0;
  const int label = info != nullptr ? coff_symbol_at(address, space, &underscore) : 0;
  if (label == 0) return std::string(13, ' ');
  const coff_symbol& s = info->symbols[static_cast<std::size_t>(label)];
  const std::string name = (underscore != 0 ? "_" : "") + coff_symbol_name(*info, s).substr(0, 8);
  if (s.value() == address) return name + "     ";
  return name + format("+%04" PRIu32, address - s.value());
}

const break_rec* enabled_break_at(uint32_t address) {
  for (const break_rec* b = cur_state != nullptr ? cur_state->breakpoints : nullptr; b != nullptr; b = b->next)
    if (b->enabled != 0 && b->kind == BK_PC && b->operands.lo == address) return b;
  return nullptr;
}

uint32_t scroll_maximum() {
  const uint32_t flags = cur_type->expr_flags;
  if ((flags & 8) != 0) return 65535;
  if ((flags & 0x400) != 0) return 0x7FFFF;
  if ((flags & 0x200) != 0) return 0xFFFFFF;
  return 0xFFFFFFFF;
}

// The bar counts from its bottom; the first address is its position from
// the far end.
void set_scroll(asm_win& w, uint32_t address) {
  if (w.scroll == nullptr) return;
  const vdialogItemNotifyFunc keep = w.scroll->notifyFunc;
  w.scroll->notifyFunc = nullptr;
  vcontrolSetMin(w.scroll, 0);
  vcontrolSetMax(w.scroll, static_cast<int32_t>(std::min<uint32_t>(scroll_maximum(), INT32_MAX)));
  vcontrolSetView(w.scroll, std::max(w.rows, 1));
  vcontrolSetReversedValue(w.scroll, static_cast<int32_t>(std::min<uint32_t>(address, INT32_MAX)));
  w.view.fine_offset = 0;
  w.scroll->notifyFunc = keep;
}

void column_widths(asm_win& w) {
  int c = 0;
  for (vrulerItem* it = w.ruler != nullptr ? w.ruler->shown : nullptr; it != nullptr && c < COLUMNS; it = it->next)
    vlistviewSetColumnWidth(w.view.list, c++, std::max<int>(it->rect.width, 1));
}

int row_height(asm_win& w) {
  vfont* font = vdialogDetermineItemFont(w.view.list);
  return font != nullptr ? std::max(1, (vfontGetHeight(font) + 0x8000) >> 16) : 16;
}

void draw_rows(asm_win& w) {
  xincell* list = w.view.list;
  incell_layout(list, 0);
  if (list->selection != nullptr)
    vlistUnselectRange(w.model, list->selection, 0, 0, vlistGetRowCount(w.model), COLUMNS);
  // Rows fill the content rectangle only, each its text height plus the
  // cell border above and below: counting less left a last row cut short.
  const int inner = list->content.height > 0 ? list->content.height : list->rect.height;
  const int pitch = row_height(w) + 2 * vlistviewClassOf(list)->cellBorder;
  w.rows = std::max(0, inner / pitch);
  vlistSetRowCount(w.model, w.rows);
  const uint32_t pc = frame_pc();
  const int region = find_memory_region(w.space, pc);
  w.mask = region >= 0 && region < cur_type->region_count ? cur_type->regions[region].addr_mask : 0xFFFF;
  w.first &= w.mask;
  w.view.cycles_drawn = cur_inst->cycles;
  w.view.pc_drawn = pc;
  w.view.pc_row = -1;
  w.addresses.assign(static_cast<std::size_t>(w.rows), 0);
  dis_ea_info registers;
  int row = 0;
  if (read_address_registers(registers)) {
    uint32_t address = w.first;
    for (; row < w.rows; ++row) {
      const asm_row r = disassemble_row(w.space, address, w.mask, registers);
      set_cell(w, row, 0, address_text(w, address));
      set_cell(w, row, 1, label_text(address, w.space));
      set_cell(w, row, 2, r.instruction);
      set_cell(w, row, 3, r.symbols);
      w.addresses[static_cast<std::size_t>(row)] = address;
      if (address == pc) w.view.pc_row = row;
      w.last = address;
      if (address == w.mask || address + r.length > w.mask) {
        ++row;
        break;  // the space's highest address ends the list
      }
      address += r.length;
    }
  }
  for (; row < w.rows; ++row)
    for (int c = 0; c < COLUMNS; ++c) set_cell(w, row, c, "");
  if (w.scroll != nullptr) vcontrolSetView(w.scroll, std::max(w.rows, 1));
}

void asm_update(asm_win& w) {
  const device_scope scope(w.record->device);
  if (cur_type == nullptr || cur_inst == nullptr || w.model == nullptr) return;
  const uint32_t pc = frame_pc();
  if (w.view.cycles_drawn != cur_inst->cycles || w.view.pc_drawn != pc) {
    // The rows stay while the pc moves inside them.
    if (!(pc >= w.first && pc <= w.last)) w.first = pc;
    set_scroll(w, w.first);
  }
  draw_rows(w);
}

void asm_window_update(sim_window* record) {
  if (asm_win* w = windows.of(record)) asm_update(*w);
}

// Column 0 of the pc's row in red, of an enabled breakpoint's row in blue.
void asm_cell_draw(vlistview* view, int32_t row, int32_t column, int selected, vrect* content) {
  asm_win* w = windows.of_list(view);
  if (w != nullptr && column == 0 && row >= 0 && row < static_cast<int32_t>(w->addresses.size()) &&
      !cell(*w, row, 0).empty()) {
    const device_scope scope(w->record->device);
    if (row == w->view.pc_row) vdrawSetColorRGB(65535, 0, 0);
    else if (enabled_break_at(w->addresses[static_cast<std::size_t>(row)]) != nullptr) vdrawSetColorRGB(0, 0, 65535);
  }
  xincellGetDefaultClass()->drawCell(view, row, column, selected, content);
}

void asm_edit_begin(xincell* list, int32_t row, int32_t column) {
  asm_win* w = windows.of_list(list);
  if (w != nullptr && column == 2 && !cell(*w, row, 0).empty()) {
    incell_set_current(list, row, column);
    incell_layout(list, 1);
    return;
  }
  if (w != nullptr && list->selection != nullptr) vlistUnselectRange(w->model, list->selection, row, column, 1, 1);
  incell_layout(list, 0);
}

void asm_edit_commit(xincell* list, const char* text, int code) {
  asm_win* w = windows.of_list(list);
  if (w == nullptr || code != INCELL_COMMIT || list->current_column != 2) return;
  {
    const device_scope scope(w->record->device);
    int row = list->current_row;
    const std::string line = "asm p:$" + cell(*w, row, 0).substr(0, ADDRESS_TEXT_MAX) + " " +
                             std::string(text != nullptr ? text : "").substr(0, EDIT_TEXT_MAX);
    if (parse_command_line(line.c_str()) == nullptr) {
      const std::string typed = text != nullptr ? text : "";
      error_report(parse_error_text != nullptr ? parse_error_text : "Invalid parameter");
      if (windows.of_list(list) == nullptr) return;
      draw_rows(*w);  // the cell shows the instruction again, not what was refused
      if (list->selection != nullptr) vlistSelectRange(w->model, list->selection, row, 2, 1, 1);
      incell_edit_again(list, row, 2, typed);
    } else {
      command_submit(line.c_str());
      if (windows.of_list(list) == nullptr) return;
      if (row + 1 >= w->rows) {
        ++w->first;  // the last visible row moves the view by one address
        set_scroll(*w, w->first);
        draw_rows(*w);
      } else {
        ++row;
      }
      if (list->selection != nullptr) vlistSelectRange(w->model, list->selection, row, 2, 1, 1);
      asm_edit_begin(list, row, 2);
    }
  }
  gui_show_prompt();
}

void break_toggle(asm_win& w, int row) {
  if (w.view.ready == 0 || row < 0 || row >= static_cast<int>(w.addresses.size()) || cell(w, row, 0).empty()) return;
  const device_scope scope(w.record->device);
  const break_rec* b = enabled_break_at(w.addresses[static_cast<std::size_t>(row)]);
  const std::string line = b != nullptr ? "break #`" + std::to_string(b->number) + " off"
                                        : "break p:$" + cell(w, row, 0).substr(0, BREAK_ADDRESS_MAX);
  if (parse_command_line(line.c_str()) != nullptr) command_submit(line.c_str());
}

void list_notify(vinstance* view, int code) {
  auto* list = static_cast<vlistview*>(view);
  asm_win* w = windows.of_list(list);
  if (w == nullptr || (code != 1 && code != 2) || vlistviewGetClickCount(list) != 2) return;
  int32_t row = -1, column = -1;
  vlistGetFirstSelectedCell(w->model, list->selection, &row, &column);
  if (row < 0) row = list->focusRow, column = list->focusColumn;
  if (column == 0 || column == 1) break_toggle(*w, row);
}

// Cells are never left selected: the editor and the double click read
// the cell they are given.
void selection_filter(vlistview* view, vlistSelection* selection) {
  asm_win* w = windows.of_list(view);
  if (w != nullptr && selection != nullptr && vlistviewGetClickCount(view) != 2)
    vlistUnselectRange(w->model, selection, 0, 0, vlistGetRowCount(w->model), COLUMNS);
}

void scrolled(vdialogItem* item, vevent*) {
  for (asm_win& w : windows) {
    if (w.scroll != item) continue;
    const device_scope scope(w.record->device);
    w.first = static_cast<uint32_t>(vcontrolGetReversedValue(w.scroll) + w.view.fine_offset);
    draw_rows(w);
  }
}

void scroll_to_commit(asm_win& w, const std::string& text) {
  const device_scope scope(w.record->device);
  const std::string line = "go " + text.substr(0, SCROLL_TEXT_MAX);
  if (parse_command_line(line.c_str()) == nullptr || parse_address_arg(2) == 0) return;
  w.first = cur_lexer->value[2].lo;
  draw_rows(w);
  set_scroll(w, w.first);
  if (w.scroll_to != nullptr) vtextitemSetTextChars(w.scroll_to, "");
}

void scroll_to_notify(vtextview* view, vevent*, int reason) {
  if (reason != INCELL_COMMIT) return;
  for (asm_win& w : windows) {
    if (w.scroll_to != view) continue;
    char* s = vtextitemGetString(w.scroll_to);
    const std::string text = s != nullptr ? s : "";
    vmemFree(s);
    scroll_to_commit(w, text);
    return;
  }
}

void asm_window_refresh(sim_window* record, int busy) {
  asm_win* w = windows.of(record);
  if (w == nullptr) return;
  incell_window_busy(w->dialog, w->view.list, busy);
  w->view.ready = busy != 0 ? 0 : 1;
}

void asm_window_close(sim_window* record) {
  asm_win* w = windows.of(record);
  if (w == nullptr) {
    window_record_free(record);
    return;
  }
  incell_window_end(record, w->dialog, w->view.list, w->model,
                    [w] { windows.remove_if([w](const asm_win& x) { return &x == w; }); });
}

int close_hook(vdialog* d, vevent*) {
  for (asm_win& w : windows)
    if (w.dialog == d) {
      asm_window_close(w.record);
      break;
    }
  return 1;
}

int relayout_event(vevent* event) {
  for (asm_win& w : windows)
    if (w.generation == event->word3) asm_update(w);
  return 1;
}

void asm_window_notify(vwindow* window, vevent* event) {
  if (event->type != veventWINDOW_AREA || (veventGetAreaFlags(event) & 2) == 0) return;
  for (asm_win& w : windows) {
    if (w.dialog != window) continue;
    incell_layout(w.view.list, 0);
    lay_out_dialog(w.dialog, {.main = w.view.list, .top = w.ruler, .bar = w.scroll, .field = w.scroll_to});
    vevent* e = veventCreateClient(relayout_event, nullptr);
    e->word3 = w.generation;
    e->priority = RELAYOUT_PRIORITY;
    veventPost(e);
  }
}

void ruler_notify(vruler* ruler, vevent*, vrulerItem*, int code) {
  if (code != vrulerRESIZED && code != vrulerMOVED) return;
  for (asm_win& w : windows)
    if (w.ruler == ruler) column_widths(w);
}

void asm_view_setup(asm_win& w) {
  xincell* list = w.view.list;
  incell_allow(list, 1);
  list->commit_notify = asm_edit_commit;
  if (w.ruler != nullptr) w.ruler->notify = ruler_notify;
  w.model = vliststrCreate();
  vlistSetColumnCount(w.model, COLUMNS);
  vlistSetRowCount(w.model, 1);
  vlistviewSetList(list, w.model);
  vlistSetSelectionMode(w.model, list->selection, vlistONE_ONLY_SELECTION);
  vlistviewSetSelectionCallback(list, selection_filter);
  vlistviewSetNotify(list, list_notify);
  vlistviewSetRowHeight(list, vlistsizeALL_ROWS, row_height(w));
  column_widths(w);
  if (w.scroll != nullptr) vdialogSetItemNotify(w.scroll, scrolled);
  if (w.scroll_to != nullptr) w.scroll_to->notify = scroll_to_notify;
  w.first = frame_pc();
  set_scroll(w, w.first);
}

xincellClassRec* asm_class() {
  xincellClassRec* c = incell_derive("asmincell", asm_edit_begin);
  c->drawCell = asm_cell_draw;
  return c;
}

}  // namespace

void asm_window_open(const char*) {
  if (cur_type == nullptr) return;
  if (sim_window* existing = window_find(SIMWIN_ASSEMBLY, cur_device)) {
    if (existing->window != nullptr) vwindowClassOf(existing->window)->raise(existing->window);
    return;
  }
  register_asm_window();
  vsliderScrollBarGetDefaultClass();
  vtextitemGetDefaultClass();
  vrulerGetDefaultClass();
  xincell* list = nullptr;
  vruler* ruler = nullptr;
  vcontrol* scroll = nullptr;
  vtextitem* scroll_to = nullptr;
  vdialog* d = load_window("Assembly", vdialogGetDefaultClass(),
                           {need("Asm_List", xincellGetDefaultClass(), &list), need("Ruler", vrulerGetDefaultClass(), &ruler),
                            need("Asm_Scroll", vcontrolGetDefaultClass(), &scroll),
                            need("Scroll_To", vtextitemGetDefaultClass(), &scroll_to)});
  if (d == nullptr) return;
  sim_window* record = window_record_new(SIMWIN_ASSEMBLY, cur_device, 0, d);
  if (record == nullptr) {
    vinstanceDestroyLater(d);
    return;
  }
  asm_win& w = windows.emplace_back();
  w.generation = ++generations;
  w.record = record;
  w.dialog = d;
  w.view.list = list;
  w.ruler = ruler;
  w.scroll = scroll;
  w.scroll_to = scroll_to;
  record->refresh = asm_window_refresh;
  record->update = asm_window_update;
  record->close = asm_window_close;
  d->data = record;
  vwindowClassOf(d)->setNotify(d, asm_window_notify);
  vdialogSetCloseHook(d, close_hook);
  const std::string title = window_title(SIMWIN_ASSEMBLY, cur_device, 0);
  vwindowSetTitleScribe(d, vscribeCString(title.c_str()));
  asm_view_setup(w);
  lay_out_dialog(w.dialog, {.main = w.view.list, .top = w.ruler, .bar = w.scroll, .field = w.scroll_to});
  main_view_open(record, ALIGN_CENTRE, ALIGN_CENTRE);
  asm_update(w);
}

void register_asm_window() {
  asm_class();
  register_window_kind(WCMD_ASM, asm_window_open);
}

const asm_view* asm_window_view(const sim_window* record) {
  const asm_win* w = windows.of(record);
  return w != nullptr ? &w->view : nullptr;
}
uint32_t asm_window_first(const sim_window* record) {
  const asm_win* w = windows.of(record);
  return w != nullptr ? w->first : 0;
}
void asm_window_scroll_to(const sim_window* record, const char* text) {
  if (asm_win* w = windows.of(record)) scroll_to_commit(*w, text != nullptr ? text : "");
}
void asm_window_double_click(const sim_window* record, int row) {
  if (asm_win* w = windows.of(record)) break_toggle(*w, row);
}

}  // namespace gui
