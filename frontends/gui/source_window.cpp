// The Source window, one per device. The rows are built as text on every
// fill and painted by the canvas item's own draw; the first line shown
// stays while the pc moves inside the shown lines.
//
// - The Source window (`frontends/gui/source_window.cpp`) builds its rows as text on every fill and paints
//   them from its own canvas class ("sourcecanvas", draw and button-down replaced); the status line
//   and the line reader are the console view's (`source_status_line`, `source_file_line` in
//   `sim/cmd/view_hooks.h`), the space names its own. The file shown is the device's `view_file`;
//   the first line, rows and line count are the window's. A double click becomes "break @line" or
//   "break #n off".
#include "frontends/gui/source_window.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "fw/core/event.h"
#include "fw/core/fixed.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/color.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/dialog/dialog.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/incell.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/window_list.h"
#include "frontends/gui/windows.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/frames.h"
#include "sim/cdb/source.h"
#include "sim/cmd/breakpoints.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/view_hooks.h"
#include "sim/cmd/window_hooks.h"
#include "sysio/open_nonblocking.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"

namespace gui {

namespace {

constexpr const char* SOURCE_FONT = "family:fixedsys-size:6";
constexpr int CONTEXT_LINES = 3;  // the target line is shown in the fourth text row
constexpr int RELAYOUT_PRIORITY = 63;
const std::string TRAILING_BLANKS(90, ' ');

// The names of the memory spaces by code, as the status line prints them.
constexpr const char* space_names[] = {
    "p",  "x",  "y",  "l",  "n",  "laa", "lab", "lba", "lbb", "le", "li", "pa", "pb", "pe", "pi",
    "pr", "xa", "xb", "xe", "xi", "xr",  "ya",  "yb",  "ye",  "yi", "yr", "pt", "pf", "em",
};

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

struct source_win {
  source_view view;
  sim_window* record = nullptr;
  vdialog* dialog = nullptr;
  vdialogItem* text = nullptr;
  vcontrol* scroll = nullptr;
  int char_width = 1;
  int line_height = 1;
  int generation = 0;
};
window_list<source_win> windows;
int generations = 0;

source_win* win_of_item(const vdialogItem* item) {
  for (source_win& w : windows)
    if (w.text == item) return &w;
  return nullptr;
}

const char* space_name(int space) {
  return space >= 0 && space < static_cast<int>(std::size(space_names)) ? space_names[space] : "?";
}

std::string cut(const std::string& text, int columns) {
  return text.substr(0, static_cast<std::size_t>(std::max(columns, 0)));
}

// The lines of a ".file" symbol's file, 0 when it has no table.
int32_t file_lines(const coff_debug_info& info, int file) {
  if (file < 0 || static_cast<uint32_t>(file) >= info.symbol_count) return 0;
  const std::size_t number = info.symbols[static_cast<std::size_t>(file)].type();
  return number < info.file_lines.size() ? static_cast<int32_t>(info.file_lines[number].size()) : 0;
}

bool same_file(const coff_debug_info& info, int a, int b) {
  if (a < 0 || b < 0 || static_cast<uint32_t>(a) >= info.symbol_count || static_cast<uint32_t>(b) >= info.symbol_count)
    return false;
  return info.symbols[static_cast<std::size_t>(a)].type() == info.symbols[static_cast<std::size_t>(b)].type();
}

// The bar counts from its bottom; its value is the first line counted from
// the far end.
void set_scroll(source_win& w) {
  if (w.scroll == nullptr) return;
  const vdialogItemNotifyFunc keep = w.scroll->notifyFunc;
  w.scroll->notifyFunc = nullptr;  // a range set here is no user's scroll
  vcontrolSetMax(w.scroll, std::max(w.view.line_count, 1));
  // The page is the text rows: with the status row counted too, the bar
  // stopped a line short and the file's last line never came into view.
  vcontrolSetView(w.scroll, std::max(w.view.rows - 1, 1));
  vcontrolSetReversedValue(w.scroll, w.view.scroll_value);
  vcontrolSetMin(w.scroll, 0);
  w.scroll->notifyFunc = keep;
}

// Moves the shown lines (offset) or re-centres on the pc, then builds the
// rows. The device shown is the current one.
void fill(source_win& w, int offset, uint32_t pc, int space) {
  source_view& v = w.view;
  device_state& st = *cur_state;
  const coff_debug_info* info = current_debug_info();
  for (std::string& row : v.row_text) row.clear();
  v.pc_row = -1;
  v.file_open = 0;
  if (info == nullptr) st.view_file = -1;
  const int pc_file = info != nullptr ? coff_file_symbol_at(pc, space) : -1;
  const int line_index = info != nullptr ? coff_line_index_at(pc, space) : -1;
  const uint32_t pc_line = line_index >= 0 ? info->lines[static_cast<std::size_t>(line_index)].line : 0;
  const int file = offset == SOURCE_RECENTRE ? pc_file : st.view_file;
  const bool placed = info != nullptr && file >= 0 && (offset != SOURCE_RECENTRE || line_index >= 0);
  if (placed) {
    int64_t target;
    if (offset != SOURCE_RECENTRE) {
      target = int64_t{v.first_line} + offset + CONTEXT_LINES;
    } else if (same_file(*info, pc_file, st.view_file)) {
      const bool outside = pc_line < static_cast<uint32_t>(v.first_line) || pc_line >= static_cast<uint32_t>(v.last_line);
      target = outside ? pc_line : v.first_line + CONTEXT_LINES;
      if (outside) st.view_file = pc_file;
    } else {
      target = pc_line;
      st.view_file = pc_file;
    }
    const int32_t count = file_lines(*info, st.view_file);
    target = std::max<int64_t>(target, 1);
    if (count <= target - CONTEXT_LINES) target = v.first_line + CONTEXT_LINES;
    v.first_line = static_cast<int32_t>(std::max<int64_t>(target - CONTEXT_LINES, 1));
    v.scroll_value = v.first_line;
    v.last_line = v.first_line + v.rows - 1;
    v.line_count = std::max(count, 1);
    std::string path;
    const std::string name = coff_file_name(*info, st.view_file);
    const std::unique_ptr<std::FILE, file_closer> source(
        !name.empty() && find_file_on_path(name.c_str(), "", path) != 0 ? open_file_nonblocking(path.c_str(), "rb", false) : nullptr);
    if (source != nullptr) {
      v.file_open = 1;
      const auto& offsets = info->file_lines[info->symbols[static_cast<std::size_t>(st.view_file)].type()];
      const bool pc_here = line_index >= 0 && same_file(*info, pc_file, st.view_file);
      for (int r = 1; r < v.rows; ++r) {
        const int64_t line = int64_t{v.first_line} + r - 1;
        if (line >= count) {
          v.row_text[r] = cut(TRAILING_BLANKS, v.columns);
          continue;
        }
        char number[16];
        std::snprintf(number, sizeof number, "% 6d ", static_cast<int>(line));
        v.row_text[r] = cut(number + source_file_line(source.get(), offsets[static_cast<std::size_t>(line)]) +
                                TRAILING_BLANKS,
                            v.columns);
        if (pc_here && static_cast<uint32_t>(line) == pc_line) v.pc_row = r;
      }
    }
  }
  if (v.file_open == 0)
    for (int r = 1; r < v.rows; ++r) v.row_text[r] = cut(TRAILING_BLANKS, v.columns);
  // The status line names what the rows now show.
  const std::string status =
      source_status_line(pc, space, info != nullptr ? st.view_file : -1, static_cast<uint32_t>(v.first_line), space_name(space));
  v.row_text[0] = cut(status + TRAILING_BLANKS, v.columns);
  const bool logged = cur_device >= 0 && cur_device < SESSION_LOG_SLOTS && session_logs[cur_device] != nullptr;
  if (logged && status_line_logging(cur_device) != 0 && st.view_mode != 2) session_print(status.c_str(), 1);
  set_scroll(w);
  v.last_pc = pc;
  if (w.text != nullptr) vdialogInvalItem(w.text, 0);
}

void fill_at_pc(source_win& w, int offset) {
  const uint32_t pc = frame_pc();
  fill(w, offset, pc, program_space_at(pc));
}

int rounded(vfixed v) { return (v + vfixedONE / 2) >> 16; }

constexpr int SOURCE_MARGIN = 4;  // pixels left of the text

// The canvas and the bar over the window's area: the bar along the right
// edge, the canvas filling the rest.
void place_items(source_win& w) {
  const int width = w.dialog->rect.width;
  const int height = w.dialog->rect.height;
  const int bar = w.scroll != nullptr ? w.scroll->rect.width : 0;
  if (w.scroll != nullptr) {
    vrect b{static_cast<int16_t>(std::max(0, width - bar)), 0, static_cast<int16_t>(bar), static_cast<int16_t>(height)};
    vdialogSetItemRect(w.scroll, &b);
  }
  vrect t{0, 0, static_cast<int16_t>(std::max(1, width - bar)), static_cast<int16_t>(height)};
  vdialogSetItemRect(w.text, &t);
}

void source_layout(source_win& w) {
  source_view& v = w.view;
  place_items(w);
  w.char_width = v.font != nullptr ? std::max(1, rounded(vfontGetCharWidth(v.font))) : 1;
  w.line_height = v.font != nullptr ? std::max(1, rounded(vfontGetHeight(v.font))) : 1;
  v.columns = std::clamp((w.text->rect.width - SOURCE_MARGIN) / w.char_width, 1, SOURCE_COLUMNS_MAX);
  v.rows = std::clamp(w.text->rect.height / w.line_height, 1, SOURCE_ROWS_MAX);
  v.last_line = v.first_line + v.rows - 1;
  set_scroll(w);
}

void source_canvas_draw(vdialogItem* item) {
  source_win* w = win_of_item(item);
  const vrect& r = item->rect;
  vdrawSetColor(vdialogGetItemColor(item, vcolorBACKGROUND));
  vdrawRectFill(r.x, r.y, r.width, r.height);
  if (w == nullptr || w->view.relayout_pending != 0) return;
  const source_view& v = w->view;
  vcolor* foreground = vdialogGetItemColor(item, vcolorFOREGROUND);
  // A margin as the other windows leave, and nothing drawn past the canvas
  // (under the scroll bar).
  vdrawGSave();
  vdrawClipRects(&r, 1);
  if (v.font != nullptr) vdrawSetFont(v.font);
  for (int row = 0; row < v.rows; ++row) {
    const std::string& text = v.row_text[row];
    if (text.empty()) continue;
    const vrect line{static_cast<int16_t>(r.x + SOURCE_MARGIN),
                     static_cast<int16_t>(r.y + r.height - (row + 1) * w->line_height),
                     static_cast<int16_t>(std::max(r.width - SOURCE_MARGIN, 1)), static_cast<int16_t>(w->line_height)};
    vdrawSetColor(row == v.pc_row && v.red != nullptr ? v.red : foreground);
    vdrawCharsAt(text.data(), static_cast<int>(text.size()), &line, 2);
  }
  vdrawGRestore();
}

// The line of a text row as a breakpoint: removed when an enabled one is
// at its address, else set at the line.
void break_toggle(source_win& w, int row) {
  if (w.view.file_open == 0 || row < 1 || row >= w.view.rows) return;
  const device_scope scope(w.record->device);
  if (cur_state == nullptr) return;
  const int line = w.view.first_line + row - 1;
  const std::string text = std::to_string(line);
  uint32_t address = 0;
  int space = 0;
  if (source_line_location(text.c_str(), &address, &space) != 1) return;
  const coff_debug_info* info = current_debug_info();
  const int index = info != nullptr ? coff_line_index_at(address, space) : -1;
  if (index < 0 || info->lines[static_cast<std::size_t>(index)].line != static_cast<uint32_t>(line)) return;
  const break_rec* found = nullptr;
  for (const break_rec* b = cur_state->breakpoints; b != nullptr && found == nullptr; b = b->next)
    if (b->enabled != 0 && b->kind == BK_PC && b->operands.lo == address) found = b;
  // "#`" reads the number in decimal, whatever the default radix.
  const std::string command = found != nullptr ? "break #`" + std::to_string(found->number) + " off" : "break @" + text;
  if (parse_command_line(command.c_str()) != nullptr) command_submit(command.c_str());
  gui_show_prompt();
}

int source_canvas_click(vdialogItem* item, vevent* event) {
  source_win* w = win_of_item(item);
  if (w == nullptr || veventGetClickCount(event) != 2 || w->view.file_open == 0)
    return vdialogItemGetDefaultClass()->buttonDown(item, event);
  const int from_top = item->rect.y + item->rect.height - 1 - veventGetY(event);
  break_toggle(*w, from_top / std::max(w->line_height, 1));
  return 1;
}

vdialogItemClassRec* canvas_class() {
  static vdialogItemClassRec* cls = [] {
    auto* c = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
    vclassSetName(c, vscribeLiteral("sourcecanvas"));
    c->draw = source_canvas_draw;
    c->buttonDown = source_canvas_click;
    return c;
  }();
  return cls;
}

void scrolled(vdialogItem* item, vevent*) {
  for (source_win& w : windows) {
    if (w.scroll != item) continue;
    const device_scope scope(w.record->device);
    if (cur_state != nullptr) fill_at_pc(w, vcontrolGetReversedValue(w.scroll) - w.view.first_line);
    return;
  }
}

bool source_window_left(const sim_window* except) {
  for (const source_win& w : windows)
    if (w.record != except) return true;
  return false;
}

void source_window_close(sim_window* record) {
  source_win* w = windows.of(record);
  const int device = record->device;
  if (w == nullptr) {
    window_record_free(record);
    return;
  }
  if (w->view.red != nullptr) vcolorRelease(w->view.red);
  incell_window_end(record, w->dialog, nullptr, nullptr,
                    [w] { windows.remove_if([w](const source_win& x) { return &x == w; }); });
  if (device >= 0 && device < DEVICE_MAX && device_states[device] != nullptr)
    device_states[device]->source_window_open = source_window_left(nullptr) ? 1 : 0;
}

void source_window_update(sim_window* record) {
  source_win* w = windows.of(record);
  if (w == nullptr) return;
  const device_scope scope(record->device);
  if (cur_state == nullptr || cur_inst == nullptr) return;
  cur_state->source_window_open = 1;
  if (w->view.line_count == 0) w->view.line_count = 1;
  const uint32_t pc = frame_pc();
  fill(*w, pc == w->view.last_pc ? 0 : SOURCE_RECENTRE, pc, program_space_at(pc));
}

void source_window_refresh(sim_window* record, int busy) {
  if (record->window == nullptr) return;
  if (busy != 0) vwindowClassOf(record->window)->setBusy(record->window);
  else vwindowClassOf(record->window)->clearBusy(record->window);
}

int close_hook(vdialog* d, vevent*) {
  for (source_win& w : windows)
    if (w.dialog == d) {
      source_window_close(w.record);
      break;
    }
  return 1;
}

int relayout_event(vevent* event) {
  for (source_win& w : windows) {
    if (w.generation != event->word3) continue;
    const device_scope scope(w.record->device);
    source_layout(w);
    if (cur_state != nullptr && cur_inst != nullptr) fill_at_pc(w, 0);
    w.view.relayout_pending = 0;
    vdialogInvalItem(w.text, 0);
  }
  return 1;
}

void source_window_notify(vwindow* window, vevent* event) {
  if (event->type != veventWINDOW_AREA || (veventGetAreaFlags(event) & 2) == 0) return;
  for (source_win& w : windows) {
    if (w.dialog != window) continue;
    w.view.relayout_pending = 1;
    vevent* e = veventCreateClient(relayout_event, nullptr);
    e->word3 = w.generation;
    e->priority = RELAYOUT_PRIORITY;
    veventPost(e);
  }
}

vcolor* red() {
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, 65535, 0, 0);
  return vcolorInternSpec(&spec);
}

}  // namespace

void source_window_open(const char*) {
  if (cur_state == nullptr || cur_inst == nullptr) return;
  cur_state->source_window_open = 1;
  if (sim_window* existing = window_find(SIMWIN_SOURCE, cur_device)) {
    if (existing->window != nullptr) vwindowClassOf(existing->window)->raise(existing->window);
    return;
  }
  vsliderScrollBarGetDefaultClass();
  vdialogItem* text = nullptr;
  vcontrol* scroll = nullptr;
  vdialog* d = load_window("Source", vdialogGetDefaultClass(),
                           {need("Source_Text", canvas_class(), &text), need("Source_Scroll", vcontrolGetDefaultClass(), &scroll)});
  if (d == nullptr) return;
  sim_window* record = window_record_new(SIMWIN_SOURCE, cur_device, 0, d);
  if (record == nullptr) {
    vinstanceDestroyLater(d);
    return;
  }
  source_win& w = windows.emplace_back();
  w.generation = ++generations;
  w.record = record;
  w.dialog = d;
  w.text = text;
  w.scroll = scroll;
  record->refresh = source_window_refresh;
  record->update = source_window_update;
  record->close = source_window_close;
  d->data = record;
  vwindowClassOf(d)->setNotify(d, source_window_notify);
  vdialogSetCloseHook(d, close_hook);
  const std::string title = window_title(SIMWIN_SOURCE, cur_device, 0);
  vwindowSetTitleScribe(d, vscribeCString(title.c_str()));
  main_view_open(record, ALIGN_CENTRE, ALIGN_CENTRE);
  w.view.font = vfontFindScribe(vscribeLiteral(SOURCE_FONT));
  w.view.red = red();
  if (w.scroll != nullptr) vdialogSetItemNotify(w.scroll, scrolled);
  source_layout(w);
  fill_at_pc(w, SOURCE_RECENTRE);
}

void register_source_window() {
  canvas_class();
  register_window_kind(WCMD_SOURCE, source_window_open);
}

const source_view* source_window_view(const sim_window* record) {
  const source_win* w = windows.of(record);
  return w != nullptr ? &w->view : nullptr;
}

void source_window_scroll(const sim_window* record, int lines) {
  source_win* w = windows.of(record);
  if (w == nullptr) return;
  const device_scope scope(record->device);
  if (cur_state != nullptr && cur_inst != nullptr) fill_at_pc(*w, lines);
}

void source_window_double_click(const sim_window* record, int row) {
  if (source_win* w = windows.of(record)) break_toggle(*w, row);
}

}  // namespace gui
