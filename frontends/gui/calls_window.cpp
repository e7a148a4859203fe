// The Calls window. The update builds the back-trace only when no frame
// is selected, and releases only a frame list it built itself: the frame
// the user chose with "frame" stays chosen.
#include <string>
#include <vector>

#include "frontends/gui/frontend.h"
#include "frontends/gui/row_window.h"
#include "frontends/gui/stack_window.h"
#include "frontends/gui/windows.h"
#include "sim/cdb/frames.h"
#include "sim/cmd/window_hooks.h"

namespace gui {

namespace {

constexpr int OPEN_WIDTH = 500;

void update(sim_window* record) {
  const bool built = frame_current_index() < 0;
  if (built) build_backtrace();
  if (frames_count() == 0) return;
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < frames_count(); ++i) rows.push_back({frame_at(i)->text});
  row_window_set_rows(record, rows, FIT_AT_LEAST_LIST);
  if (built) frames_free();
}

// "#`" keeps the number decimal whatever the default radix.
void double_click(sim_window* record, int row) { row_window_submit(record, "frame #`" + std::to_string(row)); }

constexpr row_window_kind kind = {SIMWIN_CALLS, "Calls", "Calls_List", 1, OPEN_WIDTH, false, update, double_click};

void open(const char*) { row_window_open(kind); }

}  // namespace

void register_calls_window() { register_window_kind(WCMD_CALLS, open); }

}  // namespace gui
