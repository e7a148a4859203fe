// The read-only list windows of a device. Every update and every line a
// double click makes runs with the window's device current and the
// previous device current again afterwards.
//
// - The read-only list windows of a device (Breakpoints, Stack, Calls, Input, Output) share
//   `frontends/gui/row_window.cpp`: each kind gives a `row_window_kind` (resource, list, columns, opening
//   width, whether selections are always cleared, its update and double click), and the shared code
//   opens one window per device, runs the update with the window's device current, writes the rows
//   from the first on and widens the column to its widest text. Every resize lays the list (and the
//   Stack window's ruler) over the whole window (`fill_dialog_on_resize`, also used by List
//   windows). The Stack window reads levels with `core_stack_entry` and never writes sp; the Calls
//   window builds the back-trace only when no frame is selected and frees only a list it built, so a
//   frame chosen with `frame` survives. The double clicks' lines ("break #`n e/d", "frame #`n") mark
//   the number decimal, whatever the default radix. List windows (`frontends/gui/list_window.cpp`) belong to
//   no device; each load reads the file into a new text of the read-only text item through
//   `text_file_load`, under a handler, keeping what was read before a failure. "wstack off" without
//   a window says nothing (the common off action in `frontends/gui/services.cpp`).
//
// - Rulers over lists (Watch and Stack windows): a mark sets its column's width, and
//   `ruler_follows_list` (`frontends/gui/row_window.cpp`) gives the list a class of its own ("rulerlistview")
//   whose `scrolledBy` sets the window's "Ruler" scroll to the list's applied x origin, so the marks
//   stay over their columns while the list scrolls sideways. List windows show their file in the
//   fixed font of the Session and Source windows.
#include "frontends/gui/row_window.h"

#include <algorithm>
#include <list>

#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/ruler.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/lists/liststr.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/incell.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/window_list.h"
#include "frontends/gui/windows.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/current_device.h"
#include "sim/frontend/frontend.h"

namespace gui {

namespace {

struct row_win {
  const row_window_kind* kind = nullptr;
  sim_window* record = nullptr;
  vdialog* dialog = nullptr;
  vlistview* list = nullptr;
  vruler* ruler = nullptr;
  vliststr* model = nullptr;
};
window_list<row_win> windows;
bool ruler_busy = false;  // a column change re-lays out the ruler

// The dialogs that lay their items over their area.
struct filled {
  vdialog* dialog;
  vdialogItem* main;
  vdialogItem* top;
};
std::list<filled> fills;

void clear_selection(vlistview* view, vlistSelection* selection) {
  if (row_win* w = windows.of_list(view); w != nullptr && selection != nullptr && w->model != nullptr)
    vlistUnselectRange(w->model, selection, 0, 0, vlistGetRowCount(w->model), w->kind->columns);
}

int text_width(vlistview* list, const std::string& text) {
  vfont* font = vdialogDetermineItemFont(list);
  if (font == nullptr) return static_cast<int>(text.size()) * 8;
  return (vfontGetCharsWidth(font, text.data(), static_cast<int>(text.size())) + 0x8000) >> 16;
}

int cell_inset(vlistview* list) {
  const vlistviewClassRec* c = vlistviewClassOf(list);
  return c->cellBorder + c->step;
}

void ruler_columns(row_win& w) {
  if (w.ruler == nullptr || ruler_busy) return;
  ruler_busy = true;
  int c = 0;
  for (vrulerItem* it = w.ruler->shown; it != nullptr && c < w.kind->columns; it = it->next)
    vlistviewSetColumnWidth(w.list, c++, std::max<int>(it->rect.width, 1));
  ruler_busy = false;
}

void ruler_notify(vruler* ruler, vevent*, vrulerItem*, int code) {
  if (code != vrulerRESIZED && code != vrulerMOVED) return;
  for (row_win& w : windows)
    if (w.ruler == ruler) ruler_columns(w);
}

void list_notify(vinstance* view, int code) {
  auto* list = static_cast<vlistview*>(view);
  row_win* w = windows.of_list(list);
  if (w == nullptr || (code != 1 && code != 2) || vlistviewGetClickCount(list) != 2) return;
  int32_t row = -1, column = -1;
  if (list->selection != nullptr) vlistGetFirstSelectedCell(w->model, list->selection, &row, &column);
  if (row < 0) row = list->focusRow;
  row_window_double_click(w->record, row);
}

void row_window_refresh(sim_window* record, int busy) {
  row_win* w = windows.of(record);
  if (w == nullptr) return;
  if (busy != 0) vwindowClassOf(w->dialog)->setBusy(w->dialog);
  else vwindowClassOf(w->dialog)->clearBusy(w->dialog);
  if (!w->kind->never_selected) vlistviewSetSelectionCallback(w->list, busy != 0 ? clear_selection : nullptr);
}

void row_window_update(sim_window* record) {
  row_win* w = windows.of(record);
  if (w == nullptr || w->model == nullptr) return;
  const device_scope scope(record->device);
  if (cur_type == nullptr) return;
  w->kind->update(record);
}

void row_window_close(sim_window* record) {
  row_win* w = windows.of(record);
  if (w == nullptr) {
    window_record_free(record);
    return;
  }
  vdialog* d = w->dialog;
  if (w->model != nullptr) {
    vlistviewSetList(w->list, nullptr);
    vinstanceDestroy(w->model);
  }
  windows.remove_if([w](const row_win& x) { return &x == w; });
  filled_window_end(record, d);
}

void fill_notify(vwindow* window, vevent* event) {
  if (event->type == veventWINDOW_AREA && (veventGetAreaFlags(event) & 2) != 0) {
    for (const filled& f : fills)
      if (f.dialog == window) lay_out_dialog(f.dialog, {.main = f.main, .top = f.top});
  }
}

void scrolled_with_ruler(vlistview* list, int32_t dx, int32_t dy) {
  static_cast<vlistviewClassRec*>(vlistviewClassOf(list)->superclass)->scrolledBy(list, dx, dy);
  auto* d = static_cast<vdialog*>(vdialogGetItemWindow(list));
  vdialogItem* found = d != nullptr ? vdialogFindItem(d, N("Ruler")) : nullptr;
  // Another class only in a damaged file, refused when the window opened.
  if (found != nullptr && vclassIsSubclass(found->cls, vrulerGetDefaultClass())) {
    auto* ruler = reinterpret_cast<vruler*>(found);
    if (ruler->scroll != list->appliedX) vrulerSetScroll(ruler, list->appliedX);
  }
}

void list_setup(row_win& w) {
  vlistview* list = w.list;
  w.model = vliststrCreate();
  vlistSetColumnCount(w.model, w.kind->columns);
  vlistSetRowCount(w.model, 0);
  vlistviewSetList(list, w.model);
  vlistSetSelectionMode(w.model, list->selection, vlistONE_ONLY_SELECTION);
  if (w.kind->never_selected) vlistviewSetSelectionCallback(list, clear_selection);
  vlistviewSetNotify(list, list_notify);
  vfont* font = vdialogDetermineItemFont(list);
  vlistviewSetRowHeight(list, vlistsizeALL_ROWS, font != nullptr ? std::max(1, (vfontGetHeight(font) + 0x8000) >> 16) : 16);
  if (w.kind->width > 0) vlistviewSetColumnWidth(list, 0, w.kind->width);
  if (w.ruler != nullptr) {
    w.ruler->notify = ruler_notify;
    ruler_follows_list(list);
  }
  ruler_columns(w);
}

}  // namespace

sim_window* row_window_open(const row_window_kind& kind) {
  if (cur_type == nullptr) return nullptr;
  if (sim_window* existing = window_find(kind.kind, cur_device)) {
    if (existing->window != nullptr) vwindowClassOf(existing->window)->raise(existing->window);
    return existing;
  }
  vlistview* list = nullptr;
  vruler* ruler = nullptr;
  // A list of its own width has no ruler.
  const window_need list_need = need(kind.list_name, vlistviewGetDefaultClass(), &list);
  vdialog* d = kind.width == 0 ? load_window(kind.resource, vdialogGetDefaultClass(),
                                             {list_need, need("Ruler", vrulerGetDefaultClass(), &ruler)})
                               : load_window(kind.resource, vdialogGetDefaultClass(), {list_need});
  if (d == nullptr) return nullptr;
  sim_window* record = window_record_new(kind.kind, cur_device, 0, d);
  if (record == nullptr) {
    vinstanceDestroyLater(d);
    return nullptr;
  }
  row_win& w = windows.emplace_back();
  w.kind = &kind;
  w.record = record;
  w.dialog = d;
  w.list = list;
  w.ruler = ruler;
  record->refresh = row_window_refresh;
  record->update = row_window_update;
  record->close = row_window_close;
  d->data = record;
  vdialogSetCloseHook(d, record_close_hook);
  const std::string title = window_title(kind.kind, cur_device, 0);
  vwindowSetTitleScribe(d, vscribeCString(title.c_str()));
  list_setup(w);
  fill_dialog_on_resize(d, list, w.ruler);
  main_view_open(record, ALIGN_CENTRE, ALIGN_CENTRE);
  row_window_update(record);
  return record;
}

bool row_window_off(int kind) {
  bool found = false;
  while (sim_window* r = window_find(kind, cur_device)) {
    found = true;
    if (r->close != nullptr) r->close(r);
    else window_record_free(r);
  }
  return found;
}

void lay_out_dialog(vdialog* dialog, const dialog_items& items) {
  const auto s16 = [](int v) { return static_cast<int16_t>(std::max(v, 1)); };
  const int width = dialog->rect.width, height = dialog->rect.height;
  const int band = items.field != nullptr ? items.field->rect.height + 4 : 0;
  // A bar at least as wide as the look draws it whole (Open Look's cable anchors).
  int bar = 0;
  if (items.bar != nullptr) {
    int natural_w = 0, natural_h = 0;
    vdialogGetItemNaturalSize(items.bar, &natural_w, &natural_h);
    bar = std::max<int>(items.bar->rect.width, natural_w);
  }
  const int below = height - band;
  // The top item (a ruler) keeps at least the height it needs for its titles
  // in the look and font in force; the resource's height may be less.
  int top_wanted = 0;
  if (items.top != nullptr) {
    int natural_w = 0;
    vdialogGetItemNaturalSize(items.top, &natural_w, &top_wanted);
    top_wanted = std::max<int>(top_wanted, items.top->rect.height);
  }
  const int top = items.top != nullptr ? std::min(top_wanted, below - 1) : 0;
  if (items.field != nullptr) {
    vrect f{4, s16(below + 2), items.field->rect.width, items.field->rect.height};
    vdialogSetItemRect(items.field, &f);
  }
  // The bar starts below the top item's headings, which take the whole width.
  if (items.bar != nullptr) {
    vrect b{s16(width - bar), 0, static_cast<int16_t>(bar), s16(below - top)};
    vdialogSetItemRect(items.bar, &b);
  }
  if (items.top != nullptr) {
    vrect t{0, s16(below - top), s16(width), static_cast<int16_t>(top)};
    vdialogSetItemRect(items.top, &t);
  }
  vrect m{0, 0, s16(width - bar), s16(below - top)};
  vdialogSetItemRect(items.main, &m);
}

void fill_dialog_on_resize(vdialog* dialog, vdialogItem* main, vdialogItem* top) {
  fills.remove_if([dialog](const filled& f) { return f.dialog == dialog; });
  fills.push_back({dialog, main, top});
  vwindowClassOf(dialog)->setNotify(dialog, fill_notify);
  // At once too: the ruler may need more height than the resource gives it.
  lay_out_dialog(dialog, {.main = main, .top = top});
}

void filled_window_end(sim_window* record, vdialog* dialog) {
  fills.remove_if([dialog](const filled& f) { return f.dialog == dialog; });
  window_record_free(record);
  main_view_remove(dialog);
  dialog->data = nullptr;
  if (vwindowIsOpen(dialog)) vwindowClose(dialog);
  vinstanceDestroyLater(dialog);
}

void ruler_follows_list(vlistview* list) {
  static vlistviewClassRec* ruled = [] {
    auto* c = vclassSpawnOf<vlistviewClassRec>(vlistviewGetDefaultClass());
    vclassSetName(c, vscribeLiteral("rulerlistview"));
    c->scrolledBy = scrolled_with_ruler;
    return c;
  }();
  if (list->cls == vlistviewGetDefaultClass()) list->cls = ruled;
}

int record_close_hook(vdialog* dialog, vevent*) {
  auto* record = static_cast<sim_window*>(dialog->data);
  if (record != nullptr && window_record_live(record) && record->close != nullptr) record->close(record);
  return 1;
}

void row_window_set_rows(sim_window* record, const std::vector<std::vector<std::string>>& rows, row_fit fit) {
  row_win* w = windows.of(record);
  if (w == nullptr || w->model == nullptr) return;
  const int count = static_cast<int>(rows.size());
  if (vlistGetRowCount(w->model) < count) vlistSetRowCount(w->model, count);
  int widest = 0;
  for (int r = 0; r < count; ++r) {
    const std::vector<std::string>& cells = rows[static_cast<std::size_t>(r)];
    for (int c = 0; c < w->kind->columns && c < static_cast<int>(cells.size()); ++c) {
      const std::string& text = cells[static_cast<std::size_t>(c)];
      const char* now = vliststrGetCell(w->model, r, c);
      if (now == nullptr || text != now) vliststrSetCellScribed(w->model, r, c, vscribeCString(text.c_str()));
      if (c == 0 && fit != FIT_NONE) widest = std::max(widest, text_width(w->list, text));
    }
  }
  if (vlistGetRowCount(w->model) > count) vlistSetRowCount(w->model, count);
  if (fit == FIT_NONE) return;
  const int inner = w->list->content.width > 0 ? w->list->content.width : w->list->rect.width;
  const int wanted = widest + 2 * cell_inset(w->list);
  if (fit == FIT_AT_LEAST_LIST || wanted > inner) vlistviewSetColumnWidth(w->list, 0, std::max(inner, wanted));
}

vlistview* row_window_list(const sim_window* record) {
  const row_win* w = windows.of(record);
  return w != nullptr ? w->list : nullptr;
}

std::string row_window_cell(const sim_window* record, int row, int column) {
  const row_win* w = windows.of(record);
  if (w == nullptr || w->model == nullptr || row < 0 || row >= vlistGetRowCount(w->model)) return {};
  const char* s = vliststrGetCell(w->model, row, column);
  return s != nullptr ? s : "";
}

int row_window_rows(const sim_window* record) {
  const row_win* w = windows.of(record);
  return w != nullptr && w->model != nullptr ? vlistGetRowCount(w->model) : 0;
}

void row_window_double_click(sim_window* record, int row) {
  row_win* w = windows.of(record);
  if (w == nullptr || w->kind->double_click == nullptr || row < 0 || row >= row_window_rows(record)) return;
  w->kind->double_click(record, row);
}

void row_window_submit(const sim_window* record, const std::string& line) {
  {
    const device_scope scope(record->device);
    if (parse_command_line(line.c_str()) != nullptr) command_submit(line.c_str());
  }
  gui_show_prompt();
}

}  // namespace gui
