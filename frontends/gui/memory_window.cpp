// Memory windows. The first value cell of row r holds the word at
// top + r x (columns - 1); the scroll bar's value counts from its bottom,
// so the first address is its position counted from the far end.
#include "frontends/gui/memory_window.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/event.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/control.h"
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
#include "sim/cmd/dispatch.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/expr/expr.h"
#include "sim/expr/valfmt.h"
#include "sim/frontend/frontend.h"

namespace gui {

namespace {

constexpr std::size_t TEXT_MAX = 29;
constexpr std::size_t SCROLL_TEXT_MAX = 199;
constexpr int RELAYOUT_PRIORITY = 63;
constexpr int RADIX_HEX = 3;
constexpr int WIDE_BITS = 17;

struct memory_win {
  memory_view view{};
  sim_window* record = nullptr;
  vdialog* dialog = nullptr;
  xincell* list = nullptr;
  vcontrol* scroll = nullptr;
  vtextitem* scroll_to = nullptr;
  vliststr* model = nullptr;
  uint32_t top = 0;
  int columns = 2;
  int rows = 0;
  int generation = 0;
  int widths_set_for = 0;  // the column count the widths were last given for
};
window_list<memory_win> windows;
int generations = 0;

const mem_region& region_of(const memory_win& w) { return cur_type->regions[w.view.region]; }

void set_region(memory_view& v, int region) {
  v.region = region;
  if (v.window != nullptr) v.window->mem_index = region;
  std::strncpy(v.name, cur_type->regions[region].name, sizeof v.name - 1);
  v.name[sizeof v.name - 1] = '\0';
}

void set_title(memory_win& w) {
  const std::string title = window_title(SIMWIN_MEMORY, w.record->device, w.record->number, w.view.name);
  vwindowSetTitleScribe(w.dialog, vscribeCString(title.c_str()));
}

// The widths of the two kinds of column, measured once on templates of
// the device type's number forms; a font that did not load measures at
// least one pixel.
void measure_columns(memory_win& w) {
  const uint32_t flags = cur_type->expr_flags;
  const bool wide = cur_family != nullptr && region_of(w).space >= 0 &&
                    region_of(w).space < static_cast<int>(cur_family->value_width.size()) &&
                    cur_family->value_width[static_cast<std::size_t>(region_of(w).space)] >= WIDE_BITS;
  const char* address = "e256:$0000   ";
  if ((flags & 0x11000008) == 0) address = (flags & 0x200) != 0 ? "xe:$000000   " : "xe:$00000000   ";
  const char* value = "0.0000000    ";
  if ((flags & 0x11000000) == 0 && (flags & (1u << 26)) != 0 && wide) value = "0.000000000000000    ";
  if ((flags & 0x11000000) == 0 && (flags & (1u << 26)) == 0 && (flags & (1u << 25)) != 0)
    value = wide ? "0.0000000000000000000e+00    " : "0.00000000e+00    ";
  vfont* font = vdialogDetermineItemFont(w.list);
  auto width = [&](const char* text) {
    const vfixed f = font != nullptr ? vfontGetCharsWidth(font, text, static_cast<int>(std::strlen(text))) : 0;
    return std::max(1, (f + 0x8000) >> 16);
  };
  w.view.address_width = width(address);
  w.view.value_width = width(value);
}

int row_height(memory_win& w) {
  vfont* font = vdialogDetermineItemFont(w.list);
  return font != nullptr ? std::max(1, (vfontGetHeight(font) + 0x8000) >> 16) : 16;
}

std::string cell(memory_win& w, int row, int column) {
  if (row < 0 || row >= vlistGetRowCount(w.model) || column < 0 || column >= vlistGetColumnCount(w.model)) return {};
  const char* s = vliststrGetCell(w.model, row, column);
  return s != nullptr ? s : "";
}

// The bar: minimum the region's low address, maximum its high one, the
// page as many words as the grid shows; its position counted from the far
// end is the first address.
void set_scroll(memory_win& w) {
  if (w.scroll == nullptr) return;
  const mem_region& r = region_of(w);
  const vdialogItemNotifyFunc keep = w.scroll->notifyFunc;
  w.scroll->notifyFunc = nullptr;
  vcontrolSetMin(w.scroll, static_cast<int32_t>(r.low));
  vcontrolSetMax(w.scroll, static_cast<int32_t>(r.high));
  vcontrolSetView(w.scroll, std::max(1, w.rows * (w.columns - 1)));
  vcontrolSetReversedValue(w.scroll, static_cast<int32_t>(w.top));
  w.scroll->notifyFunc = keep;
}

void unselect_all(memory_win& w) {
  if (w.list->selection != nullptr)
    vlistUnselectRange(w.model, w.list->selection, 0, 0, vlistGetRowCount(w.model), vlistGetColumnCount(w.model));
}

void memory_update(memory_win& w) {
  const device_scope scope(w.record->device);
  if (cur_type == nullptr || w.model == nullptr) return;
  incell_layout(w.list, 0);
  unselect_all(w);
  // Found again by name after a type change; region 0 when it is gone.
  if (w.view.region >= cur_type->region_count || std::strcmp(region_of(w).name, w.view.name) != 0) {
    int found = 0;
    for (int i = cur_type->region_count - 1; i >= 0; --i)
      if (std::strcmp(cur_type->regions[i].name, w.view.name) == 0) found = i;
    const bool renamed = std::strcmp(cur_type->regions[found].name, w.view.name) != 0;
    set_region(w.view, found);
    if (renamed) set_title(w);
  }
  const mem_region& r = region_of(w);
  const int list_width = w.list->rect.width;
  const int aw = w.view.address_width, vw = std::max(1, w.view.value_width);
  w.columns = aw + vw < list_width ? 1 + (list_width - aw) / vw : 2;
  // Whole rows only: the content rectangle, each row its text height plus
  // the cell border above and below.
  const int inner = w.list->content.height > 0 ? w.list->content.height : w.list->rect.height;
  w.rows = std::max(0, inner / (row_height(w) + 2 * vlistviewClassOf(w.list)->cellBorder));
  vlistSetColumnCount(w.model, w.columns);
  vlistSetRowCount(w.model, w.rows);
  // Widths given again move the shown cells twice (all, then the first):
  // only when the columns changed.
  if (w.widths_set_for != w.columns) {
    vlistviewSetColumnWidth(w.list, vlistsizeALL_COLUMNS, vw);
    vlistviewSetColumnWidth(w.list, 0, aw);
    w.widths_set_for = w.columns;
  }
  uint64_t address = w.top;
  grid_fill fill(w.model, w.list);
  std::string text;
  for (int row = 0; row < w.rows; ++row) {
    const uint32_t first = static_cast<uint32_t>(std::min<uint64_t>(address, UINT32_MAX));
    fill.set(row, 0, address <= r.high ? std::string(w.view.name) + ":$" + format_hex_word(first) : "");
    for (int c = 1; c < w.columns; ++c) {
      if (address > r.high) {
        fill.set(row, c, "");
        continue;
      }
      const auto a = static_cast<uint32_t>(address);
      int radix = memory_radix_at(w.view.region, a);
      if (radix == 0) radix = RADIX_HEX;
      text.clear();
      format_memory_word(r.space, a, radix, text);
      fill.set(row, c, text);
      ++address;
    }
  }
  set_scroll(w);
}

int relayout_event(vevent* event) {
  for (memory_win& w : windows)
    if (w.generation == event->word3) memory_update(w);
  return 1;
}

void memory_window_notify(vwindow* window, vevent* event) {
  if (event->type != veventWINDOW_AREA || (veventGetAreaFlags(event) & 2) == 0) return;
  for (memory_win& w : windows) {
    if (w.dialog != window) continue;
    incell_layout(w.list, 0);
    lay_out_dialog(w.dialog, {.main = w.list, .bar = w.scroll, .field = w.scroll_to});
    vevent* e = veventCreateClient(relayout_event, nullptr);
    e->word3 = w.generation;
    e->priority = RELAYOUT_PRIORITY;
    veventPost(e);
  }
}

void scrolled(vdialogItem* item, vevent*) {
  for (memory_win& w : windows) {
    if (w.scroll != item) continue;
    incell_layout(w.list, 0);
    w.top = static_cast<uint32_t>(vcontrolGetReversedValue(w.scroll));
    memory_update(w);
  }
}

uint32_t cell_address(const memory_win& w, int row, int column) {
  return static_cast<uint32_t>(static_cast<uint64_t>(w.columns - 1) * static_cast<uint64_t>(row) + w.top +
                               static_cast<uint64_t>(column) - 1);
}

void memory_edit_begin(xincell* list, int32_t row, int32_t column) {
  memory_win* w = windows.of_list(list);
  if (w == nullptr) return;
  const device_scope scope(w->record->device);
  if (column >= 1 && cell_address(*w, row, column) <= region_of(*w).high && !cell(*w, row, column).empty()) {
    incell_set_current(list, row, column);
    incell_layout(list, 1);
    return;
  }
  if (list->selection != nullptr) vlistUnselectRange(w->model, list->selection, row, column, 1, 1);
  incell_layout(list, 0);
}

void memory_edit_commit(xincell* list, const char* text, int code) {
  memory_win* w = windows.of_list(list);
  if (w == nullptr || code != INCELL_COMMIT || list->current_column < 1) return;
  {
    const device_scope scope(w->record->device);
    int row = list->current_row, column = list->current_column;
    const std::string place = std::string(w->view.name) + ":$" + format_hex_word(cell_address(*w, row, column));
    const std::string line = "change " + place + " " + std::string(text != nullptr ? text : "").substr(0, TEXT_MAX);
    if (parse_command_line(line.c_str()) == nullptr) {
      const std::string typed = text != nullptr ? text : "";
      error_report(parse_error_text != nullptr ? parse_error_text : "Invalid parameter");
      if (windows.of_list(list) == nullptr) return;
      memory_update(*w);  // the cell shows the word again, not what was refused
      vlistSelectRange(w->model, list->selection, row, column, 1, 1);
      incell_edit_again(list, row, column, typed);
      return;
    }
    command_submit(line.c_str());
    if (windows.of_list(list) == nullptr) return;
    // The next cell: column 1 of the next row after the last column; below
    // the last visible row the grid scrolls by one row instead.
    if (++column >= w->columns) {
      column = 1;
      if (row + 1 >= w->rows) {
        w->top += static_cast<uint32_t>(w->columns - 1);
        memory_update(*w);
      } else {
        ++row;
      }
    }
    unselect_all(*w);
    vlistSelectRange(w->model, list->selection, row, column, 1, 1);
    memory_edit_begin(list, row, column);
  }
  gui_show_prompt();
}

// Only value cells can be selected.
void selection_filter(vlistview* view, vlistSelection* selection) {
  memory_win* w = windows.of_list(static_cast<xincell*>(view));
  if (w == nullptr || selection == nullptr) return;
  vlistUnselectRange(w->model, selection, 0, 0, vlistGetRowCount(w->model), 1);
}

void scroll_to_commit(memory_win& w, const std::string& text) {
  const device_scope scope(w.record->device);
  const std::string line = "go " + text.substr(0, SCROLL_TEXT_MAX);
  if (parse_command_line(line.c_str()) == nullptr || parse_address_arg(2) == 0) return;
  w.top = cur_lexer->value[2].lo;
  memory_update(w);
  if (w.scroll_to != nullptr) vtextitemSetTextChars(w.scroll_to, "");
}

void scroll_to_notify(vtextview* view, vevent*, int reason) {
  if (reason != INCELL_COMMIT) return;
  for (memory_win& w : windows) {
    if (w.scroll_to != view) continue;
    char* s = vtextitemGetString(w.scroll_to);
    const std::string text = s != nullptr ? s : "";
    vmemFree(s);
    scroll_to_commit(w, text);
    return;
  }
}

void memory_window_update(sim_window* record) {
  if (memory_win* w = windows.of(record)) memory_update(*w);
}

void memory_window_refresh(sim_window* record, int busy) {
  memory_win* w = windows.of(record);
  if (w == nullptr) return;
  incell_window_busy(w->dialog, w->list, busy);
}

void memory_window_close(sim_window* record) {
  memory_win* w = windows.of(record);
  if (w == nullptr) {
    window_record_free(record);
    return;
  }
  incell_window_end(record, w->dialog, w->list, w->model,
                    [w] { windows.remove_if([w](const memory_win& x) { return &x == w; }); });
}

int close_hook(vdialog* d, vevent*) {
  for (memory_win& w : windows)
    if (w.dialog == d) {
      memory_window_close(w.record);
      break;
    }
  return 1;
}

void attach_model(memory_win& w) {
  if (w.model != nullptr) {
    vlistviewSetList(w.list, nullptr);
    vinstanceDestroy(w.model);
  }
  incell_allow(w.list, 1);
  w.list->commit_notify = memory_edit_commit;
  w.model = vliststrCreate();
  vlistSetColumnCount(w.model, 2);
  vlistSetRowCount(w.model, 1);
  vlistviewSetList(w.list, w.model);
  vlistSetSelectionMode(w.model, w.list->selection, vlistONE_ONLY_SELECTION);
  vlistviewSetSelectionCallback(w.list, selection_filter);
  vlistSetRowCount(w.model, 0);
  if (w.scroll != nullptr) vdialogSetItemNotify(w.scroll, scrolled);
  if (w.scroll_to != nullptr) w.scroll_to->notify = scroll_to_notify;
  measure_columns(w);
  vlistviewSetRowHeight(w.list, vlistsizeALL_ROWS, row_height(w));
}

}  // namespace

void memory_window_open(const char*) {
  if (cur_type == nullptr || cur_lexer == nullptr) return;
  int number = -2, region = 0;
  bool have_address = false;
  uint32_t address = 0;
  for (int i = 2; i < LEXER_SLOTS && cur_lexer->has(i); ++i) {
    if (cur_lexer->kind[i] == 'W') number = static_cast<int>(cur_lexer->value[i].lo);
    if (cur_lexer->kind[i] == '|') region = cur_lexer->value[i].region;
    if (cur_lexer->kind[i] == 'I') {
      have_address = true;
      address = cur_lexer->value[i].lo;
    }
  }
  // With an address, the region that holds it in the named region's space.
  if (have_address) {
    const int holding = find_memory_region(cur_type->regions[region].space, address);
    if (holding >= 0 && holding < cur_type->region_count &&
        cur_type->regions[holding].space == cur_type->regions[region].space)
      region = holding;
  }
  memory_win* w = nullptr;
  if (number != -2)
    if (sim_window* existing = window_find(SIMWIN_MEMORY, cur_device, number)) w = windows.of(existing);
  if (w == nullptr) {
    register_memory_window();
    vsliderScrollBarGetDefaultClass();
    vtextitemGetDefaultClass();
    xincell* list = nullptr;
    vcontrol* scroll = nullptr;
    vtextitem* scroll_to = nullptr;
    vdialog* d = load_window("Memory", vdialogGetDefaultClass(),
                             {need("Memory_List", xincellGetDefaultClass(), &list),
                              need("Mem_Scroll", vcontrolGetDefaultClass(), &scroll),
                              need("Scroll_To", vtextitemGetDefaultClass(), &scroll_to)});
    if (d == nullptr) return;
    if (number == -2) number = window_number_free(cur_device, SIMWIN_MEMORY);
    sim_window* record = window_record_new(SIMWIN_MEMORY, cur_device, number, d);
    if (record == nullptr) {
      vinstanceDestroyLater(d);
      return;
    }
    w = &windows.emplace_back();
    w->generation = ++generations;
    w->record = record;
    w->dialog = d;
    w->list = list;
    w->scroll = scroll;
    w->scroll_to = scroll_to;
    w->view.window = record;
    record->refresh = memory_window_refresh;
    record->update = memory_window_update;
    record->close = memory_window_close;
    d->data = record;
    vwindowClassOf(d)->setNotify(d, memory_window_notify);
    vdialogSetCloseHook(d, close_hook);
    // At once too: the look's bar may be wider than the resource's.
    lay_out_dialog(d, {.main = w->list, .bar = w->scroll, .field = w->scroll_to});
    set_region(w->view, region);
    set_title(*w);
    main_view_open(record, ALIGN_CENTRE, ALIGN_CENTRE);
  }
  set_region(w->view, region);
  set_title(*w);
  w->top = have_address ? address : cur_type->regions[region].low;
  attach_model(*w);
  memory_update(*w);
}

void register_memory_window() {
  incell_derive("memincell", memory_edit_begin);
  register_window_kind(WCMD_MEMORY, memory_window_open);
}

const memory_view* memory_window_view(const sim_window* record) {
  const memory_win* w = windows.of(record);
  return w != nullptr ? &w->view : nullptr;
}
xincell* memory_window_list(const sim_window* record) {
  const memory_win* w = windows.of(record);
  return w != nullptr ? w->list : nullptr;
}
uint32_t memory_window_top(const sim_window* record) {
  const memory_win* w = windows.of(record);
  return w != nullptr ? w->top : 0;
}
int memory_window_columns(const sim_window* record) {
  const memory_win* w = windows.of(record);
  return w != nullptr ? w->columns : 0;
}
void memory_window_scroll_to(const sim_window* record, const char* text) {
  if (memory_win* w = windows.of(record)) scroll_to_commit(*w, text != nullptr ? text : "");
}

}  // namespace gui
