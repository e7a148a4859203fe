// The Watch windows. Each window owns its item list (the watch command's
// entry layout and list operations); the update walks it with the
// window's device current, one row per item, a C value laid over as many
// rows as its text needs.
//
// - The Watch windows (`frontends/gui/watch_window.cpp`) each own a `watch_list` and use the watch command's
//   list operations (`watch_find`, `watch_next_free`, `watch_insert`, `watch_remove`,
//   `watch_entry_from_token`, `sim/cmd/watch.h`). Their "off" is their own (`register_window_off`,
//   `frontends/gui/frontend.h`): "#n" takes the item from the first matching window only. Numbers are
//   formatted by the window's own table (`watch_number_text`); C values are laid over rows by
//   `watch_value_rows` at the session's width.
#include "frontends/gui/watch_window.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/widgets/controls/ruler.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/lists/liststr.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/incell.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/row_window.h"
#include "frontends/gui/session.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/window_list.h"
#include "frontends/gui/windows.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/c_scope.h"
#include "sim/cdb/c_value.h"
#include "sim/cmd/c_args.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/regfmt.h"
#include "sim/cmd/watch.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/regaccess.h"
#include "sim/expr/valfmt.h"
#include "sim/frontend/frontend.h"

namespace gui {

namespace {

constexpr int COLUMNS = 4;
constexpr int HEX_RADIX = 3;
constexpr const char* radix_letters[] = {"b", "d", "f", "h", "u"};
constexpr const char* nibbles[] = {"0000", "0001", "0010", "0011", "0100", "0101", "0110", "0111",
                                   "1000", "1001", "1010", "1011", "1100", "1101", "1110", "1111"};
constexpr const char* OUT_OF_SCOPE = "Expression out of scope";
constexpr const char* C_ERROR = "Error evaluating C expression";

struct watch_win {
  sim_window* record = nullptr;
  vdialog* dialog = nullptr;
  vlistview* list = nullptr;
  vruler* ruler = nullptr;
  vliststr* model = nullptr;
  watch_list items;
  int resizing = 0;  // the ruler's re-entry guard
};
window_list<watch_win> windows;
int submitting = 0;  // a double click's line is being run

std::string format(const char* fmt, auto... args) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, fmt, args...);
  return buffer;
}

// --- Values -----------------------------------------------------------------------

struct type_bits {
  bool b24, b25, b26, w16;
  explicit type_bits(uint32_t flags)
      : b24((flags & (1u << 24)) != 0),
        b25((flags & (1u << 25)) != 0),
        b26((flags & (1u << 26)) != 0),
        w16((flags & (1u << 28)) != 0 && !b24 && !b26) {}
};

int word_count(const arg_value& v) {
  if ((v.type & AV_THREE) != 0) return 3;
  return (v.type & AV_TWO) != 0 ? 2 : 1;
}

// A word's binary digits, most significant nibble first.
std::string binary_word(uint32_t word, int bits) {
  std::string out;
  for (int shift = bits - 4; shift >= 0; shift -= 4) out += nibbles[(word >> shift) & 0xF];
  return out;
}

std::string binary_text(const arg_value& v, const type_bits& t) {
  const int bits = t.b25 ? 32 : t.b26 ? 24 : 16;
  std::string out;
  if (word_count(v) == 3) out += binary_word(v.ext, t.b25 ? 32 : 8);
  if (word_count(v) >= 2) out += binary_word(v.hi, bits);
  return out + binary_word(v.lo, bits);
}

std::string hex_text(const arg_value& v, const type_bits& t) {
  switch (word_count(v)) {
    case 1:
      return format(t.w16 ? "$%04" PRIx32 : t.b26 ? "$%06" PRIx32 : "$%08" PRIx32, v.lo);
    case 2:
      return format(t.w16 ? "$%04" PRIx32 "%04" PRIx32 : t.b26 ? "$%06" PRIx32 "%06" PRIx32 : "$%08" PRIx32 "%08" PRIx32,
                    v.hi, v.lo);
    default:
      if (t.b24) return format("$%01" PRIx32 "%04" PRIx32 "%04" PRIx32, v.ext, v.hi, v.lo);
      if (t.w16) return format("$%02" PRIx32 "%04" PRIx32 "%04" PRIx32, v.ext, v.hi, v.lo);
      if (t.b26) return format("$%02" PRIx32 "%06" PRIx32 "%06" PRIx32, v.ext, v.hi, v.lo);
      return format("$%08" PRIx32 "%08" PRIx32 "%08" PRIx32, v.ext, v.hi, v.lo);
  }
}

// The width of a one-word value by its type's width bit; without one,
// the device's word, which is what the evaluator keeps of a value.
int value_width(uint32_t type, const type_bits& t) {
  constexpr struct {
    uint32_t bit;
    int width;
  } widths[] = {{AV_W4, 4}, {AV_W8, 8}, {AV_W12, 12}, {AV_W16, 16}, {AV_W20, 20}, {AV_W24, 24}};
  for (const auto& w : widths)
    if ((type & w.bit) != 0) return w.width;
  return t.w16 ? 16 : t.b26 && !t.b25 ? 24 : 32;
}

std::string decimal_text(const arg_value& v, int radix, uint32_t flags, const type_bits& t) {
  if (word_count(v) == 1) {
    if (radix == 4) return format("%05" PRIu32, v.lo);
    const int width = value_width(v.type, t);
    const uint32_t mask = width == 32 ? 0xFFFFFFFFu : (1u << width) - 1;
    const uint32_t sign = 1u << (width - 1);
    return format("%05" PRId32, static_cast<int32_t>(((v.lo & mask) ^ sign) - sign));
  }
  if (t.b25) {
    return word_count(v) == 2 ? format("$%08" PRIx32 "%08" PRIx32, v.hi, v.lo)
                              : format("$%08" PRIx32 "%08" PRIx32 "%08" PRIx32, v.ext, v.hi, v.lo);
  }
  const decimal_split s =
      word_count(v) == 2 ? split_decimal64(flags, v.lo, v.hi) : split_decimal(flags, v.lo, v.hi, v.ext);
  return format("%06" PRIu32 "%09" PRIu32, s.quotient, s.remainder);
}

std::string fraction_text(arg_value v, uint32_t flags, const type_bits& t) {
  const double d = value_as_double(flags, v);
  if (word_count(v) == 1) return t.b25 ? format("%14.14s", format("%.12f", d).c_str()) : format("%10.7g", d);
  return t.b25 ? format("%25.25s", format("%.23f", d).c_str()) : format("%13.10g", d);
}

// --- The rows of a C value --------------------------------------------------------

bool blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

void piece_rows(const std::string& piece, int width, bool& quoted, bool& quote_seen, std::vector<std::string>& rows) {
  std::size_t at = 0;
  while (at < piece.size()) {
    if (!quoted)
      while (at < piece.size() && blank(piece[at])) ++at;
    if (at >= piece.size()) break;
    std::string row;
    std::size_t break_row = std::string::npos, break_at = 0;
    while (at < piece.size()) {
      const char c = piece[at];
      if ((c == '"' || c == '\'') && (at == 0 || piece[at - 1] != '\\')) {
        quoted = !quoted;
        quote_seen = true;
      } else if (!quoted && blank(c)) {
        break_row = row.size();
        break_at = at;
      }
      row += c;
      ++at;
      if (c == ',' && !quoted && row.size() > 1) break;
      if (static_cast<int>(row.size()) >= width) {
        if (at < piece.size() && break_row != std::string::npos && break_row > 0) {
          row.resize(break_row);
          at = break_at;
          if (quote_seen) quoted = false;
        }
        break;
      }
    }
    rows.push_back(row);
  }
}

// --- The window ---------------------------------------------------------------------

void set_cell(watch_win& w, int row, int column, const std::string& text) {
  if (row >= vlistGetRowCount(w.model)) vlistSetRowCount(w.model, row + 1);
  vliststrSetCellScribed(w.model, row, column, vscribeCString(text.c_str()));
}

// The value column of an entry: its rows used (0: none), false when a
// read failed and the walk ends.
bool entry_rows(watch_win& w, const watch_entry& e, int row, int& used) {
  const int radix = e.radix < 0 ? HEX_RADIX : e.radix;
  std::string text;
  used = 1;
  switch (e.kind) {
    case WATCH_REGISTER: {
      int peripheral = 0, reg = 0;
      if (lookup_register(cur_device, e.text.c_str(), &peripheral, &reg) == 0 ||
          format_register_value(peripheral, reg, radix, text) == 0) {
        set_cell(w, row, 3, "");
        return false;
      }
      break;
    }
    case WATCH_MEMORY:
      if (e.row < 0 || e.row >= cur_type->region_count ||
          format_memory_word(cur_type->regions[e.row].space, e.address, radix, text) == 0) {
        set_cell(w, row, 3, "");
        return false;
      }
      break;
    case WATCH_C: {
      if (c_scope_matches(e.scope_function, e.scope_block) == 0) {
        text = OUT_OF_SCOPE;
      } else if (e.tree == nullptr) {
        text = C_ERROR;
      } else {
        const c_value* v = c_tree_result(*e.tree);
        if (v == nullptr) {
          used = 0;
          return true;
        }
        const int width = screen().columns > 0 ? screen().columns : 80;
        const std::vector<std::string> rows = watch_value_rows(c_value_text(*v, e.radix), width);
        set_cell(w, row, 3, rows.empty() ? "" : rows[0]);
        for (std::size_t k = 1; k < rows.size(); ++k) {
          for (int c = 0; c < 3; ++c) set_cell(w, row + static_cast<int>(k), c, "");
          set_cell(w, row + static_cast<int>(k), 3, rows[k]);
        }
        used = std::max<int>(1, static_cast<int>(rows.size()));
        return true;
      }
      break;
    }
    default: {
      sv_optr = e.text.c_str();
      if (expr_result v = parse_expression(cur_type->expr_flags)) text = watch_number_text(*v, e.radix, cur_type->expr_flags);
      break;
    }
  }
  if (!text.empty() && text[0] == ' ') text.erase(0, 1);
  set_cell(w, row, 3, text);
  return true;
}

void watch_update(watch_win& w) {
  const device_scope scope(w.record->device);
  if (cur_type == nullptr || cur_state == nullptr || w.model == nullptr) return;
  c_error_quiet(true);
  int row = 0;
  bool cut = false;
  for (const watch_entry& e : w.items.entries) {
    set_cell(w, row, 0, format("#%" PRIu32, e.number));
    set_cell(w, row, 1, e.radix >= 0 && e.radix < 5 ? radix_letters[e.radix] : " ");
    set_cell(w, row, 2, e.text);
    int used = 1;
    if (!entry_rows(w, e, row, used)) {
      vlistSetRowCount(w.model, row + 1);
      cut = true;
      break;
    }
    row += used;
  }
  if (!cut) vlistSetRowCount(w.model, row);
  c_error_quiet(false);
}

void watch_window_update(sim_window* record) {
  if (watch_win* w = windows.of(record)) watch_update(*w);
}

// While the simulator is busy, nothing stays selected.
void clear_selection(vlistview* view, vlistSelection* selection) {
  watch_win* w = windows.of_list(view);
  if (w != nullptr && selection != nullptr)
    vlistUnselectRange(w->model, selection, 0, 0, vlistGetRowCount(w->model), COLUMNS);
}

void watch_window_refresh(sim_window* record, int busy) {
  watch_win* w = windows.of(record);
  if (w == nullptr) return;
  if (busy != 0) {
    vwindowClassOf(w->dialog)->setBusy(w->dialog);
    vlistviewSetSelectionCallback(w->list, clear_selection);
  } else {
    vwindowClassOf(w->dialog)->clearBusy(w->dialog);
    vlistviewSetSelectionCallback(w->list, nullptr);
  }
}

void watch_window_close(sim_window* record) {
  watch_win* w = windows.of(record);
  if (w == nullptr) {
    window_record_free(record);
    return;
  }
  if (w->model != nullptr) {
    vlistviewSetList(w->list, nullptr);
    vinstanceDestroy(w->model);
  }
  vdialog* d = w->dialog;
  windows.remove_if([w](const watch_win& x) { return &x == w; });
  filled_window_end(record, d);
}

int close_hook(vdialog* d, vevent*) {
  for (watch_win& w : windows)
    if (w.dialog == d) {
      watch_window_close(w.record);
      break;
    }
  return 1;
}

void remove_row_item(watch_win& w, int row) {
  if (submitting != 0 || row < 0 || row >= vlistGetRowCount(w.model)) return;
  const char* cell = vliststrGetCell(w.model, row, 0);
  int number = 0;
  if (cell == nullptr || std::sscanf(cell, "#%d", &number) != 1) return;
  // "#`" reads the number in decimal, whatever the default radix.
  const std::string line = format("wwatch win%d #`%d off", w.record->number, number);
  submitting = 1;
  {
    const device_scope scope(w.record->device);
    if (parse_command_line(line.c_str()) != nullptr) command_submit(line.c_str());
  }
  submitting = 0;
  gui_show_prompt();
}

void list_notify(vinstance* view, int code) {
  auto* list = static_cast<vlistview*>(view);
  watch_win* w = windows.of_list(list);
  if (w == nullptr || (code != 1 && code != 2) || vlistviewGetClickCount(list) != 2) return;
  int32_t row = -1, column = -1;
  vlistGetFirstSelectedCell(w->model, list->selection, &row, &column);
  if (row < 0) row = list->focusRow;
  remove_row_item(*w, row);
}

// Each column ends where the next mark begins (the last at its mark's
// end), so the cells stand under their marks.
void column_widths(watch_win& w) {
  if (w.resizing != 0 || w.ruler == nullptr) return;
  w.resizing = 1;
  std::vector<const vrulerItem*> marks;
  for (const vrulerItem* it = w.ruler->shown; it != nullptr && marks.size() < COLUMNS; it = it->next) marks.push_back(it);
  int start = 0;
  for (std::size_t c = 0; c < marks.size(); ++c) {
    const int end = c + 1 < marks.size() ? marks[c + 1]->rect.x : marks[c]->rect.x + marks[c]->rect.width;
    vlistviewSetColumnWidth(w.list, static_cast<int>(c), std::max(end - start, 1));
    start = end;
  }
  w.resizing = 0;
}

void ruler_notify(vruler* ruler, vevent*, vrulerItem*, int code) {
  if (code != vrulerRESIZED && code != vrulerMOVED) return;
  for (watch_win& w : windows)
    if (w.ruler == ruler) column_widths(w);
}

watch_win* create_window(int number) {
  vlistview* list = nullptr;
  vruler* ruler = nullptr;
  vdialog* d = load_window("Watch", vdialogGetDefaultClass(),
                           {need("Watch_List", vlistviewGetDefaultClass(), &list), need("Ruler", vrulerGetDefaultClass(), &ruler)});
  if (d == nullptr) return nullptr;
  sim_window* record = window_record_new(SIMWIN_WATCH, cur_device, number, d);
  if (record == nullptr) {
    vinstanceDestroyLater(d);
    return nullptr;
  }
  watch_win& w = windows.emplace_back();
  w.record = record;
  w.dialog = d;
  w.list = list;
  w.ruler = ruler;
  record->refresh = watch_window_refresh;
  record->update = watch_window_update;
  record->close = watch_window_close;
  d->data = record;
  vdialogSetCloseHook(d, close_hook);
  const std::string title = window_title(SIMWIN_WATCH, cur_device, number);
  vwindowSetTitleScribe(d, vscribeCString(title.c_str()));
  w.model = vliststrCreate();
  vlistSetColumnCount(w.model, COLUMNS);
  vlistSetRowCount(w.model, 0);
  vlistviewSetList(list, w.model);
  vlistSetSelectionMode(w.model, list->selection, vlistONE_ONLY_SELECTION);
  vlistviewSetNotify(list, list_notify);
  // Long lists and wide values stay in reach of a small window.
  vlistviewSetHorizontalBar(list, 1);
  vlistviewSetVerticalBar(list, 1);
  if (w.ruler != nullptr) {
    w.ruler->notify = ruler_notify;
    ruler_follows_list(list);
  }
  column_widths(w);
  fill_dialog_on_resize(d, list, w.ruler);
  main_view_open(record, ALIGN_CENTRE, ALIGN_CENTRE);
  return &w;
}

// The tokens of a checked wwatch line.
struct watch_tokens {
  int window = -2;     // "win<n>", -2 none
  int64_t number = -1;  // "#n", -1 none
  int item = -1;       // the item's token, -1 none
  int radix = -1;
};

watch_tokens read_tokens() {
  const command_lexer& l = *cur_lexer;
  watch_tokens t;
  int i = 2;
  if (l.has(i) && l.kind[i] == 'W') t.window = static_cast<int>(l.value[i++].lo);
  if (l.has(i) && l.kind[i] == 'w') t.number = l.value[i++].lo;
  if (l.has(i) && l.kind[i] == 'r') t.radix = static_cast<int>(l.value[i++].lo);
  if (l.has(i)) t.item = i;
  return t;
}

}  // namespace

std::string watch_number_text(arg_value v, int radix, uint32_t expr_flags) {
  const type_bits t(expr_flags);
  // A floating value shows its words outside the floating radix.
  if ((v.type & AV_FLOAT) != 0 && radix != 2) value_from_double(expr_flags, v);
  switch (radix) {
    case 0: return binary_text(v, t);
    case 1:
    case 4: return decimal_text(v, radix, expr_flags, t);
    case 2: return fraction_text(v, expr_flags, t);
    default: return hex_text(v, t);
  }
}

std::vector<std::string> watch_value_rows(const std::string& text, int width) {
  std::vector<std::string> rows;
  bool quoted = false, quote_seen = false;
  std::size_t start = 0;
  width = std::max(width, 1);
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    piece_rows(text.substr(start, end - start), width, quoted, quote_seen, rows);
    start = end + 1;
  }
  return rows;
}

void watch_window_open(const char*) {
  if (cur_type == nullptr || cur_state == nullptr) return;
  const watch_tokens t = read_tokens();
  sim_window* record = window_find(SIMWIN_WATCH, cur_device, t.window);
  watch_win* w = record != nullptr ? windows.of(record) : nullptr;
  if (w == nullptr) w = create_window(t.window > 0 ? t.window : window_number_free(cur_device, SIMWIN_WATCH));
  if (w == nullptr || t.item < 0) return;
  watch_entry* e = t.number > 0 ? watch_find(w->items, static_cast<uint32_t>(t.number)) : nullptr;
  if (e == nullptr) {
    watch_entry fresh;
    fresh.number = t.number > 0 ? static_cast<uint32_t>(t.number) : watch_next_free(w->items);
    e = &watch_insert(w->items, std::move(fresh));
  }
  watch_entry_from_token(*e, t.item, t.radix);
}

void watch_window_off(const char*) {
  const watch_tokens t = read_tokens();
  bool found = false;
  for (sim_window* r : window_records()) {
    if (!window_record_live(r) || r->kind != SIMWIN_WATCH || r->device != cur_device) continue;
    if (t.window != -2 && r->number != t.window) continue;
    found = true;
    if (t.number > 0) {
      if (watch_win* w = windows.of(r)) watch_remove(w->items, static_cast<uint32_t>(t.number));
      return;
    }
    if (r->close != nullptr) r->close(r);
    else window_record_free(r);
    if (t.window != -2) return;
  }
  if (!found) error_report("Window not found");
}

void register_watch_window() {
  register_window_kind(WCMD_WATCH, watch_window_open);
  register_window_off(WCMD_WATCH, watch_window_off);
}

const watch_list* watch_window_list(const sim_window* record) {
  const watch_win* w = windows.of(record);
  return w != nullptr ? &w->items : nullptr;
}

std::string watch_window_cell(const sim_window* record, int row, int column) {
  const watch_win* w = windows.of(record);
  if (w == nullptr || row < 0 || row >= vlistGetRowCount(w->model)) return {};
  const char* s = vliststrGetCell(w->model, row, column);
  return s != nullptr ? s : "";
}

int watch_window_rows(const sim_window* record) {
  const watch_win* w = windows.of(record);
  return w != nullptr ? vlistGetRowCount(w->model) : 0;
}

void watch_window_double_click(const sim_window* record, int row) {
  if (watch_win* w = windows.of(record)) remove_row_item(*w, row);
}

}  // namespace gui
