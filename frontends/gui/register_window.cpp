// Register windows. Every check and update runs with the window's device
// made current and the previous device made current again afterwards;
// every edit becomes a "change" line that is submitted only when the
// command parser accepts it.
//
// - Register and Memory windows (`frontends/gui/register_window.cpp`, `frontends/gui/memory_window.cpp`) keep their
//   state in a list of their own, found by record or by editor; every check, edit and update runs
//   with the window's device current (`device_scope`, `frontends/gui/incell.h`). Register rows walk the
//   peripheral's registers in byte-wise name order (`register_name_next`), the hidden ones (access
//   flag 0x10) left out. The Memory grid's column widths are measured once on the type's number
//   templates (at least one pixel each) and given to the list only when its column count changes
//   (giving them again moves every shown cell); a size change re-places the field, the grid and the
//   bar and updates the grid on a priority-63 event. Both fill their grids through `grid_fill`
//   (`frontends/gui/incell.h`): a cell is set only when its text differs, with the model's announcements held;
//   the view then repaints the few changed cells, or its whole content once, and the list view draws
//   only the cells inside the damage. A Register window costs about 50 us per step (update about 5
//   us) and a one-row Memory scroll about 1.7 ms headless (`bench/gui_windows`).
#include "frontends/gui/register_window.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/lists/liststr.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/guiutil.h"
#include "frontends/gui/incell.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/row_window.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/window_list.h"
#include "frontends/gui/windows.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/regfmt.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/regaccess.h"
#include "sim/expr/expr.h"
#include "sim/frontend/frontend.h"

namespace gui {

namespace {

constexpr uint32_t REG_HIDDEN = 0x10;  // access flag: no row in the window
constexpr int NAME_WIDTH = 80;
constexpr int VALUE_WIDTH = 200;
constexpr std::size_t REG_NAME_MAX = 19;
constexpr std::size_t TEXT_MAX = 29;

struct register_win {
  register_view view{};
  sim_window* record = nullptr;
  vdialog* dialog = nullptr;
  xincell* list = nullptr;
  vliststr* model = nullptr;
  // The shown registers in name order, and the type and peripheral they
  // were sorted for.
  std::vector<int> order;
  const device_type* order_type = nullptr;
  int order_periph = -1;
};
window_list<register_win> windows;

std::string cell(vliststr* model, int row, int column) {
  const char* s = row >= 0 && row < vlistGetRowCount(model) ? vliststrGetCell(model, row, column) : nullptr;
  return s != nullptr ? s : "";
}

bool names_register(const std::string& name) {
  int row = 0, reg = 0;
  return !name.empty() && lookup_register(cur_device, name.substr(0, REG_NAME_MAX).c_str(), &row, &reg) != 0;
}

void set_title(register_win& w) {
  const std::string title = window_title(SIMWIN_REGISTER, w.view.device, w.record->number, w.view.name);
  vwindowSetTitleScribe(w.dialog, vscribeCString(title.c_str()));
}

void set_periph_name(register_view& v, const char* name) {
  std::strncpy(v.name, name, sizeof v.name - 1);
  v.name[sizeof v.name - 1] = '\0';
}

int reg_count(int periph) {
  return cur_type != nullptr && periph >= 0 && periph < cur_type->periph_count ? cur_type->periphs[periph].cls->reg_count
                                                                                 : 0;
}

void unselect_all(register_win& w) {
  if (w.list->selection != nullptr && w.model != nullptr)
    vlistUnselectRange(w.model, w.list->selection, 0, 0, vlistGetRowCount(w.model), vlistGetColumnCount(w.model));
}

// Only the value of a row that names a register stays selected.
void selection_filter(vlistview* view, vlistSelection* selection) {
  register_win* w = windows.of_list(static_cast<xincell*>(view));
  if (w == nullptr || w->model == nullptr || selection == nullptr) return;
  const device_scope scope(w->view.device);
  const int rows = vlistGetRowCount(w->model);
  for (int r = 0; r < rows; ++r) {
    const bool value_kept = names_register(cell(w->model, r, 0));
    for (int c = 0; c < 2; ++c)
      if ((c != 1 || !value_kept) && vlistIsCellSelected(w->model, selection, r, c))
        vlistUnselectRange(w->model, selection, r, c, 1, 1);
  }
}

void register_edit_begin(xincell* list, int32_t row, int32_t column) {
  register_win* w = windows.of_list(list);
  if (w == nullptr) return;
  const device_scope scope(w->view.device);
  if (column == 1 && names_register(cell(w->model, row, 0))) {
    incell_set_current(list, row, column);
    incell_layout(list, 1);
  } else {
    incell_layout(list, 0);
  }
}

void register_window_update(sim_window* record);

void register_edit_commit(xincell* list, const char* text, int code) {
  register_win* w = windows.of_list(list);
  if (w == nullptr || code != INCELL_COMMIT || list->current_column != 1) return;
  const int row = list->current_row;
  {
    const device_scope scope(w->view.device);
    const std::string name = cell(w->model, row, 0).substr(0, REG_NAME_MAX);
    if (!names_register(name)) return;
    const std::string line = "change " + name + " " + std::string(text != nullptr ? text : "").substr(0, TEXT_MAX);
    if (parse_command_line(line.c_str()) == nullptr) {
      const std::string typed = text != nullptr ? text : "";
      error_report(parse_error_text != nullptr ? parse_error_text : "Invalid parameter");
      if (windows.of_list(list) == nullptr) return;
      register_window_update(w->record);  // the cell shows the value again, not what was refused
      vlistSelectRange(w->model, list->selection, row, 1, 1, 1);
      incell_edit_again(list, row, 1, typed);
      return;
    }
    command_submit(line.c_str());
    if (windows.of_list(list) == nullptr) return;  // the line closed the window
    // On to the next row (the last one keeps the editor), scrolled into view.
    const int next = std::min(row + 1, std::max(vlistGetRowCount(w->model) - 1, 0));
    unselect_all(*w);
    vlistSelectRange(w->model, list->selection, next, 1, 1, 1);
    vlistviewScrollToCell(list, next, 1);
    incell_set_current(list, next, 1);
    incell_layout(list, 1);
  }
  gui_show_prompt();
}

void register_view_setup(register_win& w, int periph, bool reuse) {
  incell_allow(w.list, 1);
  w.list->commit_notify = register_edit_commit;
  if (!reuse) w.view = register_view{};
  w.view.periph = periph;
  w.view.device = cur_device;
  if (w.record != nullptr) w.record->periph_index = periph;
  set_periph_name(w.view, cur_type != nullptr && periph < cur_type->periph_count ? cur_type->periphs[periph].name : "");
  vlistviewSetSelectionCallback(w.list, selection_filter);
  if (w.model != nullptr) {
    vlistviewSetList(w.list, nullptr);
    vinstanceDestroy(w.model);
  }
  w.model = vliststrCreate();
  vlistSetColumnCount(w.model, 2);
  vlistSetRowCount(w.model, reg_count(periph));
  vlistviewSetList(w.list, w.model);
  vlistSetSelectionMode(w.model, w.list->selection, vlistONE_ONLY_SELECTION);
  vlistviewSetColumnWidth(w.list, 0, NAME_WIDTH);
  vlistviewSetColumnWidth(w.list, 1, VALUE_WIDTH);
  vfont* font = vdialogDetermineItemFont(w.list);
  const int height = font != nullptr ? std::max(1, (vfontGetHeight(font) + 0x8000) >> 16) : 16;
  vlistviewSetRowHeight(w.list, vlistsizeALL_ROWS, height);
  set_title(w);
}

const std::vector<int>& name_order(register_win& w, int periph) {
  if (w.order_type == cur_type && w.order_periph == periph) return w.order;
  w.order.clear();
  const periph_class* cls = cur_type->periphs[periph].cls;
  for (int reg = register_name_next(periph, -1); reg >= 0; reg = register_name_next(periph, reg))
    if ((cls->regs[reg].access & REG_HIDDEN) == 0) w.order.push_back(reg);
  w.order_type = cur_type;
  w.order_periph = periph;
  return w.order;
}

void register_window_update(sim_window* record) {
  register_win* w = windows.of(record);
  if (w == nullptr || w->model == nullptr) return;
  const device_scope scope(w->view.device);
  if (cur_type == nullptr) return;
  incell_layout(w->list, 0);
  unselect_all(*w);
  // Found again by name: a type change may have taken the peripheral away.
  int periph = -1;
  for (int i = 0; i < cur_type->periph_count; ++i)
    if (std::strcmp(cur_type->periphs[i].name, w->view.name) == 0) periph = i;
  if (periph < 0) {
    periph = 0;
    set_periph_name(w->view, "core");
    set_title(*w);
  }
  w->view.periph = periph;
  w->record->periph_index = periph;
  const int count = reg_count(periph);
  if (vlistGetRowCount(w->model) != count) vlistSetRowCount(w->model, count);
  const periph_row& p = cur_type->periphs[periph];
  grid_fill fill(w->model, w->list);
  int row = 0;
  std::string name, value;
  for (int reg : name_order(*w, periph)) {
    name.assign(p.cls->regs[reg].name).append(p.suffix);
    fill.set(row, 0, name);
    value.clear();
    if (format_register_value(periph, reg, register_display_radix(periph_attrs(periph)[reg]), value) == 0) {
      fill.set(row, 1, "");
      return;
    }
    fill.set(row, 1, value);
    ++row;
  }
  for (; row < count; ++row) {
    fill.set(row, 0, "");
    fill.set(row, 1, "");
  }
}

void register_window_refresh(sim_window* record, int busy) {
  register_win* w = windows.of(record);
  if (w == nullptr) return;
  incell_window_busy(w->dialog, w->list, busy);
}

void register_window_close(sim_window* record) {
  register_win* w = windows.of(record);
  if (w == nullptr) {
    window_record_free(record);
    return;
  }
  incell_window_end(record, w->dialog, w->list, w->model,
                    [w] { windows.remove_if([w](const register_win& x) { return &x == w; }); });
}

int close_hook(vdialog* d, vevent*) {
  for (register_win& w : windows)
    if (w.dialog == d) {
      register_window_close(w.record);
      break;
    }
  return 1;
}

void register_window_notify(vwindow* window, vevent* event) {
  if (event->type != veventWINDOW_AREA || (veventGetAreaFlags(event) & 2) == 0) return;
  for (register_win& w : windows) {
    if (w.dialog != window) continue;
    // The rows do not depend on the size: an edit in progress stays, its
    // entry moved over its cell as the list takes its new rectangle.
    lay_out_dialog(w.dialog, {.main = w.list});
  }
}

// The tokens the parser accepted: the window number and the peripheral.
void named_tokens(int* number, int* periph) {
  *number = -2;
  *periph = 0;
  const command_lexer* lx = cur_lexer;
  if (lx == nullptr) return;
  for (int i = 2; i < LEXER_SLOTS && lx->has(i); ++i) {
    if (lx->kind[i] == 'W') *number = static_cast<int>(lx->value[i].lo);
    if (lx->kind[i] == 't') *periph = lx->value[i].region;
  }
}

}  // namespace

void register_window_open(const char*) {
  if (cur_type == nullptr) return;
  int number = -2, periph = 0;
  named_tokens(&number, &periph);
  if (number != -2) {
    if (sim_window* existing = window_find(SIMWIN_REGISTER, cur_device, number)) {
      if (register_win* w = windows.of(existing)) {
        register_view_setup(*w, periph, true);
        register_window_update(existing);
        vwindowClassOf(w->dialog)->raise(w->dialog);
        return;
      }
    }
  } else {
    number = window_number_free(cur_device, SIMWIN_REGISTER);
  }
  register_register_window();
  xincell* list = nullptr;
  vdialog* d = load_window("Register", vdialogGetDefaultClass(), {need("Register_List", xincellGetDefaultClass(), &list)});
  if (d == nullptr) return;
  sim_window* record = window_record_new(SIMWIN_REGISTER, cur_device, number, d);
  if (record == nullptr) {
    vinstanceDestroyLater(d);
    return;
  }
  register_win& w = windows.emplace_back();
  w.record = record;
  w.dialog = d;
  w.list = list;
  record->refresh = register_window_refresh;
  record->update = register_window_update;
  record->close = register_window_close;
  d->data = record;
  vwindowClassOf(d)->setNotify(d, register_window_notify);
  vdialogSetCloseHook(d, close_hook);
  register_view_setup(w, periph, false);
  main_view_open(record, ALIGN_CENTRE, ALIGN_CENTRE);
  register_window_update(record);
}

void register_register_window() {
  incell_derive("regincell", register_edit_begin);
  register_window_kind(WCMD_REGISTER, register_window_open);
}

const register_view* register_window_view(const sim_window* record) {
  const register_win* w = windows.of(record);
  return w != nullptr ? &w->view : nullptr;
}

xincell* register_window_list(const sim_window* record) {
  const register_win* w = windows.of(record);
  return w != nullptr ? w->list : nullptr;
}

}  // namespace gui
