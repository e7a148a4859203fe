// The Session window over the screen grid of session.cpp. The grid is the
// model; this file only measures, draws and scrolls it. The canvas item is
// a class of its own whose draw paints the display copy row by row in runs
// of equal attribute.
//
// - The Session window (`frontends/gui/session_window.cpp`) draws the display copy of the grid: its canvas
//   item is a class of its own ("sessioncanvas", named in the resource) whose draw fills and prints
//   each row in runs of equal attribute, attribute 15 in pure red. Its flushes only invalidate the
//   canvas, so a burst of output costs one repaint: 100,000 lines with the window open and one
//   repaint take about 0.1 s headless (`bench/gui_session_window`). While a run goes (a trace prints
//   a line per event) the canvas is invalidated at most every 50 ms, a paint owed meanwhile
//   following by a timed event; outside runs every flush paints at once. With the Command window's
//   history set cell by cell only where a line changed, and the X11 back-end reading its connection
//   at most once a millisecond while nothing is queued, "trace 5000" reaches the window within 2x of
//   the terminal program headless and on Xvfb (`bench/gui_session_output`). The scroll bar's value
//   counts from its bottom (the newest lines); a size change re-lays the grid out at once on a
//   priority-63 event (a generation number voids events posted before a close) and keeps the
//   cursor's line counted from the bottom, clamped to the screen.
#include "frontends/gui/session_window.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "fw/core/event.h"
#include "fw/core/fixed.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/dialog/dialog.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/session.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/windows.h"
#include "platform/win/kernel.h"
#include "sim/cmd/view_hooks.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"

namespace gui {

int session_open = 0;
int session_resizing = 0;

namespace {

constexpr const char* SESSION_FONT = "family:fixedsys-size:6";
constexpr int SCROLL_MAXIMUM = SESSION_RING_LINES;
constexpr int OPEN_ROWS = 22;
constexpr int OPEN_COLUMNS = 81;
constexpr int RELAYOUT_PRIORITY = 63;

struct session_state {
  vdialog* dialog = nullptr;
  vdialogItem* text = nullptr;
  vcontrol* scroll = nullptr;
  sim_window* record = nullptr;
  vfont* font = nullptr;
  vcolor* highlight = nullptr;
  int char_width = 1;
  int line_height = 1;
  // Each posted re-layout carries the generation it was posted in; one
  // posted before the window closed finds another generation and does
  // nothing.
  int generation = 0;
  // While a run goes its lines may come one per event: the window is then
  // painted at most once per REPAINT_INTERVAL_MS, a paint owed meanwhile
  // follows by a timed event, and every paint outside runs is at once.
  std::uint64_t painted_at = 0;
  bool repaint_owed = false;
  bool repaint_posted = false;
};
session_state win;

int rounded(vfixed v) { return (v + vfixedONE / 2) >> 16; }

// The pixels of one character and one line; a font that did not load
// measures 0, which must not divide.
void measure_font() {
  win.char_width = win.font != nullptr ? std::max(1, rounded(vfontGetCharWidth(win.font))) : 1;
  win.line_height = win.font != nullptr ? std::max(1, rounded(vfontGetHeight(win.font))) : 1;
}

void session_draw(vdialogItem* item) {
  if (session_resizing != 0) return;
  const session_display& d = display();
  const screen_grid& g = screen();
  vcolor* foreground = vdialogGetItemColor(item, vcolorFOREGROUND);
  vcolor* background = vdialogGetItemColor(item, vcolorBACKGROUND);
  if (win.font != nullptr) vdrawSetFont(win.font);
  const vrect& r = item->rect;
  const int cw = win.char_width;
  const int lh = win.line_height;
  // Below the last row, and right of the last column: the background.
  vdrawSetColor(background);
  vdrawRectFill(r.x, r.y, r.width, std::max(0, r.height - g.rows * lh));
  for (int row = 0; row < g.rows; ++row) {
    const int y = r.y + r.height - (row + 1) * lh;
    int c = 0;
    while (c < g.columns) {
      const uint8_t attr = d.attrs[row][c];
      int end = c + 1;
      while (end < g.columns && d.attrs[row][end] == attr) ++end;
      const vrect run{static_cast<int16_t>(r.x + c * cw), static_cast<int16_t>(y),
                      static_cast<int16_t>((end - c) * cw), static_cast<int16_t>(lh)};
      vdrawSetColor(background);
      vdrawRectFill(run.x, run.y, run.width, run.height);
      vdrawSetColor(attr == GRID_ATTR_HIGHLIGHT && win.highlight != nullptr ? win.highlight : foreground);
      vdrawCharsAt(&d.chars[row][c], end - c, &run, 2);
      c = end;
    }
    const int right = r.x + g.columns * cw;
    if (right < r.x + r.width) {
      vdrawSetColor(background);
      vdrawRectFill(right, y, r.x + r.width - right, lh);
    }
  }
}

vdialogItemClassRec* canvas_class() {
  static vdialogItemClassRec* cls = [] {
    auto* c = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
    vclassSetName(c, vscribeLiteral("sessioncanvas"));
    c->draw = session_draw;
    return c;
  }();
  return cls;
}

constexpr std::uint64_t REPAINT_INTERVAL_MS = 50;

void paint_now() {
  win.repaint_owed = false;
  win.painted_at = win::GetTickCount64();
  vdialogInvalItem(win.text, 0);
}

int owed_repaint_event(vevent* event) {
  if (event->word3 != win.generation) return 1;
  win.repaint_posted = false;
  if (win.repaint_owed && session_open != 0 && session_resizing == 0 && win.text != nullptr) paint_now();
  return 1;
}

void repaint() {
  if (session_open == 0 || session_resizing != 0 || win.text == nullptr) return;
  const std::uint64_t since = win::GetTickCount64() - win.painted_at;
  if (!run_chain_live() || since >= REPAINT_INTERVAL_MS) return paint_now();
  win.repaint_owed = true;
  if (win.repaint_posted) return;
  win.repaint_posted = true;
  vevent* e = veventCreateClient(owed_repaint_event, nullptr);
  e->word3 = win.generation;
  e->priority = RELAYOUT_PRIORITY;
  veventPostDelayed(e, 0, static_cast<std::int64_t>(REPAINT_INTERVAL_MS - since) * 1000000);
}

// The bar's value counts from its bottom (the newest lines); the position
// the session code speaks of counts from the far end.
int scroll_position() { return win.scroll != nullptr ? win.scroll->max - win.scroll->value : 0; }

void set_scroll(int maximum, int view, int position) {
  if (win.scroll == nullptr) return;
  vcontrolSetMin(win.scroll, 0);
  vcontrolSetMax(win.scroll, std::max(maximum, 1));
  vcontrolSetView(win.scroll, view);
  const vdialogItemNotifyFunc keep = win.scroll->notifyFunc;
  win.scroll->notifyFunc = nullptr;  // a range set here is no user's scroll
  vcontrolSetValue(win.scroll, std::max(maximum, 1) - position);
  win.scroll->notifyFunc = keep;
}

void scroll_range(int maximum, int position) { set_scroll(maximum, screen().rows, position); }

constexpr session_window_hooks hooks = {repaint, scroll_range};

// Places the canvas and the bar over the window's area: the bar along the
// right edge, the canvas filling the rest.
void place_items() {
  const int width = win.dialog->rect.width;
  const int height = win.dialog->rect.height;
  const int bar = win.scroll != nullptr ? win.scroll->rect.width : 0;
  if (win.scroll != nullptr) {
    vrect b{static_cast<int16_t>(std::max(0, width - bar)), 0, static_cast<int16_t>(bar), static_cast<int16_t>(height)};
    vdialogSetItemRect(win.scroll, &b);
  }
  vrect t{0, 0, static_cast<int16_t>(std::max(1, width - bar)), static_cast<int16_t>(height)};
  vdialogSetItemRect(win.text, &t);
}

void layout_window() {
  place_items();
  vdialogSetItemFont(win.text, win.font);
  measure_font();
  const int columns = std::min((win.text->rect.width * vfixedONE / win.char_width + vfixedONE / 2) >> 16, GRID_COLUMNS);
  // Whole rows only: a rounded-up count would cut the newest line at the bottom.
  const int rows = std::min(win.text->rect.height / win.line_height, GRID_ROWS);
  gui::session_layout(std::max(rows, 1), std::max(columns, 1));
  if (win.scroll != nullptr) vcontrolSetView(win.scroll, screen().rows);
  // A blank screen from the top row; flushed as the hold ends.
  static char blank[GRID_ROWS * GRID_BLOCK_ROW_BYTES];
  std::memset(blank, ' ', sizeof blank);
  output_hold();
  screen_show_rows(blank);
  output_release();
}

void session_scrolled(vdialogItem*, vevent*) {
  const int v = scroll_position();
  if (cur_state == nullptr) return;
  if (cur_state->view_mode == 0) {
    output_hold();
    session_scroll(SCROLL_MAXIMUM);
    screen_hold_set(0);
    session_scroll(v - SCROLL_MAXIMUM);
    return;
  }
  screen_hold_set(0);
  if (cur_state->view_extent == 0) cur_state->view_extent = 1;
  view_show_position(v - static_cast<int>(cur_state->view_first));
}

int relayout_event(vevent* event) {
  if (event->word3 == win.generation) session_resized();
  return 1;
}

void post_relayout(int seconds) {
  vevent* e = veventCreateClient(relayout_event, nullptr);
  e->word3 = win.generation;
  e->priority = RELAYOUT_PRIORITY;
  veventPostDelayed(e, seconds, 0);
}

void session_close(sim_window* record);

int close_hook(vdialog*, vevent*) {
  if (win.record != nullptr) session_close(win.record);
  return 1;
}

void session_event(vwindow*, vevent* event) {
  if (event->type == veventWINDOW_AREA && (veventGetAreaFlags(event) & 2) != 0 && session_open != 0) {
    session_resizing = 1;
    ++win.generation;
    post_relayout(0);
  }
}

void session_refresh(sim_window* record, int busy) {
  if (record->window == nullptr) return;
  if (busy != 0) vwindowClassOf(record->window)->setMark(record->window);
  else vwindowClassOf(record->window)->clearMark(record->window);
}

void session_update(sim_window* record) {
  if (record->window != nullptr) {
    const std::string title = window_title(SIMWIN_SESSION, cur_device, 0);
    vwindowSetTitleScribe(record->window, vscribeCString(title.c_str()));
  }
  if (cur_state != nullptr && (cur_state->view_mode == 1 || cur_state->view_mode == 2)) {
    if (cur_state->view_extent == 0) cur_state->view_extent = 1;
    const int count = static_cast<int>(cur_state->view_extent);
    set_scroll(count, 0, std::min(count, static_cast<int>(cur_state->view_first)));
  } else {
    set_scroll(SCROLL_MAXIMUM, screen().rows, SCROLL_MAXIMUM);
  }
  output_release();
}

void session_close(sim_window* record) {
  install_session_window(nullptr);
  vdialog* d = win.dialog;
  ++win.generation;
  window_record_free(record);
  win = session_state{.generation = win.generation};
  if (d != nullptr) {
    main_view_remove(d);
    d->data = nullptr;
    if (vwindowIsOpen(d)) vwindowClose(d);
    vinstanceDestroyLater(d);
  }
  session_open = 0;
  session_resizing = 0;
}

vcolor* red() {
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, 65535, 0, 0);
  return vcolorInternSpec(&spec);
}

}  // namespace

void session_resized() {
  if (session_open == 0 || win.text == nullptr) return;
  const screen_grid& g = screen();
  const int old_row = g.cursor_row;
  const int old_rows = g.rows;
  const int old_column = g.cursor_column;
  layout_window();
  session_redraw(cur_device);
  const screen_grid& now = screen();
  // The cursor keeps its line counted from the bottom, on the screen.
  const int row = std::clamp(old_row - old_rows + now.rows, 0, now.rows - 1);
  const int column = old_column < now.columns ? old_column : now.columns - 1;
  session_resizing = 0;
  screen_goto(row, column);
  repaint();
}

void session_open_action(const char*) {
  if (sim_window* w = window_find(SIMWIN_SESSION, -2); w != nullptr) {
    if (w->window != nullptr) vwindowClassOf(w->window)->raise(w->window);
    return;
  }
  vsliderScrollBarGetDefaultClass();
  vdialogItem* text = nullptr;
  vcontrol* scroll = nullptr;
  vdialog* d = load_window("Session", vdialogGetDefaultClass(),
                           {need("Session_Text", canvas_class(), &text),
                            need("Session_Scroll", vcontrolGetDefaultClass(), &scroll)});
  if (d == nullptr) return;
  sim_window* record = window_record_new(SIMWIN_SESSION, -1, 0, d);
  if (record == nullptr) {
    vinstanceDestroyLater(d);
    return;
  }
  session_open = 1;
  win.dialog = d;
  win.record = record;
  win.text = text;
  win.scroll = scroll;
  record->refresh = session_refresh;
  record->update = session_update;
  record->close = session_close;
  d->data = record;
  vwindowClassOf(d)->setNotify(d, session_event);
  vdialogSetCloseHook(d, close_hook);
  if (win.font == nullptr) win.font = vfontFindScribe(vscribeLiteral(SESSION_FONT));
  win.highlight = red();
  if (win.scroll != nullptr) {
    vdialogSetItemNotify(win.scroll, session_scrolled);
    set_scroll(SCROLL_MAXIMUM, 0, SCROLL_MAXIMUM);
  }
  measure_font();
  const int bar = win.scroll != nullptr ? win.scroll->rect.width : 0;
  vwindowResize(d, OPEN_COLUMNS * win.char_width + bar, OPEN_ROWS * win.line_height);
  install_session_window(&hooks);
  layout_window();
  session_redraw(cur_device);
  post_relayout(1);
  main_view_open(record, ALIGN_NEAR_EDGE, ALIGN_FAR_EDGE);
}

void register_session_window() {
  canvas_class();
  register_window_kind(WCMD_SESSION, session_open_action);
}

vdialog* session_dialog() { return win.dialog; }
int session_char_width() { return win.char_width; }
int session_line_height() { return win.line_height; }

}  // namespace gui
