// The Input and Output windows: the same rows over the two lists of each
// direction.
#include "frontends/gui/stream_window.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "frontends/gui/frontend.h"
#include "frontends/gui/row_window.h"
#include "frontends/gui/windows.h"
#include "sim/cmd/streams.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/current_device.h"

namespace gui {

namespace {

constexpr int OPEN_WIDTH = 400;

struct direction {
  int untimed_list;
  const char* untimed_format;
  const char* timed_format;
};
constexpr direction input = {SL_IN_UNTIMED, "Input #%d Untimed reads of %s from %s",
                             "Input #%d Timed   reads of %s from %s"};
constexpr direction output = {SL_OUT_UNTIMED, "Output #%d Untimed writes of %s to   %s",
                              "Output #%d Timed   writes of %s to   %s"};

const io_stream* numbered(const io_stream* list, int number) {
  for (; list != nullptr; list = list->next)
    if (list->number == number) return list;
  return nullptr;
}

// The smallest number above `after` that the list holds, INT_MAX when none.
int next_number(const io_stream* list, int after) {
  int next = INT_MAX;
  for (; list != nullptr; list = list->next)
    if (list->number > after) next = std::min(next, list->number);
  return next;
}

std::string row_text(const char* format, const io_stream& s) {
  const int n = std::snprintf(nullptr, 0, format, s.number, s.item.c_str(), s.file_name.c_str());
  std::string text(static_cast<std::size_t>(std::max(n, 0)) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, s.number, s.item.c_str(), s.file_name.c_str());
  text.pop_back();
  return text;
}

void update_streams(sim_window* record, const direction& d) {
  const io_stream* untimed = cur_state != nullptr ? cur_state->streams[d.untimed_list] : nullptr;
  const io_stream* timed = cur_state != nullptr ? cur_state->streams[d.untimed_list + 1] : nullptr;
  std::vector<std::vector<std::string>> rows;
  for (int n = std::min(next_number(untimed, 0), next_number(timed, 0)); n != INT_MAX;
       n = std::min(next_number(untimed, n), next_number(timed, n))) {
    if (const io_stream* s = numbered(untimed, n)) rows.push_back({row_text(d.untimed_format, *s)});
    else if (const io_stream* t = numbered(timed, n)) rows.push_back({row_text(d.timed_format, *t)});
  }
  row_window_set_rows(record, rows, FIT_AT_LEAST_LIST);
}

void update_input(sim_window* record) { update_streams(record, input); }
void update_output(sim_window* record) { update_streams(record, output); }

constexpr row_window_kind input_kind = {SIMWIN_INPUT, "Input", "Input_List", 1, OPEN_WIDTH, true, update_input, nullptr};
constexpr row_window_kind output_kind = {SIMWIN_OUTPUT, "Output", "Output_List", 1, OPEN_WIDTH, true, update_output,
                                         nullptr};

void open_input(const char*) { row_window_open(input_kind); }
void open_output(const char*) { row_window_open(output_kind); }

}  // namespace

void register_stream_windows() {
  register_window_kind(WCMD_INPUT, open_input);
  register_window_kind(WCMD_OUTPUT, open_output);
}

}  // namespace gui
