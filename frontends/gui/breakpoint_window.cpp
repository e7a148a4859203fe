// The Breakpoints window. The double click reads the number back from the
// row's text, so the line names the breakpoint the user saw.
#include "frontends/gui/breakpoint_window.h"

#include <cstdio>
#include <vector>

#include "frontends/gui/frontend.h"
#include "frontends/gui/row_window.h"
#include "frontends/gui/windows.h"
#include "sim/cmd/breakpoints.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/current_device.h"

namespace gui {

namespace {

constexpr int OPEN_WIDTH = 512;
constexpr std::size_t ROW_TEXT_MAX = 255;

void update(sim_window* record) {
  std::vector<std::vector<std::string>> rows;
  for (const break_rec* b = cur_state != nullptr ? cur_state->breakpoints : nullptr; b != nullptr; b = b->next)
    rows.push_back({breakpoint_row(*b)});
  row_window_set_rows(record, rows, FIT_WIDEN);
}

// "#`" keeps the number decimal whatever the default radix.
void double_click(sim_window* record, int row) {
  const std::string text = row_window_cell(record, row, 0).substr(0, ROW_TEXT_MAX);
  int number = 0;
  if (std::sscanf(text.c_str(), "Break #%d", &number) != 1) return;
  const bool disabled = text.find("disabled") != std::string::npos;
  row_window_submit(record, "break #`" + std::to_string(number) + (disabled ? " e" : " d"));
}

constexpr row_window_kind kind = {
    SIMWIN_BREAKPOINTS, "Breakpoints", "Breakpoint_List", 1, OPEN_WIDTH, false, update, double_click,
};

void open(const char*) { row_window_open(kind); }

}  // namespace

std::string breakpoint_row(const break_rec& b) {
  return "Break #" + std::to_string(b.number) + " " + break_listing_tail(b);
}

void register_breakpoint_window() { register_window_kind(WCMD_BREAKPOINT, open); }

}  // namespace gui
