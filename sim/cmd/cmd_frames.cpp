// where, frame, up and down: the C call stack shown and the frame that C
// expressions are evaluated in chosen.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/cdb/c_print.h"
#include "sim/cdb/c_value.h"
#include "sim/cdb/frames.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/view_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/frontend/frontend.h"

namespace {

// Counts beyond this never reach a frame.
constexpr int64_t STEP_MAX = 32767;

// The selected frame's index, building the list when none is selected;
// -1 when there are still no frames.
int selected_frame() {
  c_debug_reset();
  if (frame_current() == nullptr) build_backtrace();
  return frame_current_index();
}

void show_frame(const frame_rec& f, bool selected) {
  print_wrapped(f.text, selected ? "==> " : "    ", "    ", 4, false);
}

// Selects a frame and shows it as the view mode wants.
void select_and_show(int index) {
  frame_current_set(index);
  if (cur_state->view_mode == 0) {
    show_frame(*frame_at(index), true);
  } else {
    view_show_position(32767);
  }
}

// The number at token i read with the sign of the device's data word.
int64_t signed_arg(int i) {
  const arg_value& v = cur_lexer->value[i];
  if ((v.type & (AV_TWO | AV_THREE)) != 0) return static_cast<int32_t>(value_combined(v));
  return static_cast<int16_t>(v.lo & 0xFFFF);
}

template <typename... Args>
std::string format(const char* text, Args... args) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, text, args...);
  return buffer;
}

void frame_action(const char*) {
  if (!cur_lexer->has(2)) {
    if (selected_frame() < 0) return;
    cur_state->view_mode = 0;
    show_frame(*frame_current(), true);
    return;
  }
  const uint32_t n = cur_lexer->value[2].lo;
  c_debug_reset();
  if (frames_count() == 0) build_backtrace();
  if (frames_count() == 0) return;
  if (n >= static_cast<uint32_t>(frames_count())) {
    error_report(format("There is no frame #%ld", static_cast<long>(n)).c_str());
    return;
  }
  select_and_show(static_cast<int>(n));
}

// Moves the selection by a number of frames: outward (up) or inward.
void move_selection(bool outward) {
  const int from = selected_frame();
  if (from < 0) return;
  const bool counted = cur_lexer->has(2);
  const int64_t n = counted ? signed_arg(2) : 1;
  const int64_t to = outward ? from + n : from - n;
  if (n >= 0 && n <= STEP_MAX && to >= 0 && to < frames_count()) {
    select_and_show(static_cast<int>(to));
    return;
  }
  const char* way = outward ? "up" : "down";
  // The number as typed, whatever sign the data word gave it.
  const long shown = counted ? static_cast<long>(static_cast<int32_t>(value_combined(cur_lexer->value[2]))) : 0;
  error_report((counted ? format("Can't go %s %ld times", way, shown)
                        : format("Can't go %s any further", way))
                   .c_str());
}

void up_action(const char*) { move_selection(true); }
void down_action(const char*) { move_selection(false); }

void where_action(const char*) {
  if (selected_frame() < 0) return;
  cur_state->view_mode = 0;
  const int count = frames_count();
  const int selected = frame_current_index();
  if (!cur_lexer->has(2)) {
    for (int i = 0; i < count; ++i) show_frame(*frame_at(i), i == selected);
    return;
  }
  const int64_t n = signed_arg(2);
  if (n >= 0) {
    for (int i = 0; i < n && i < count; ++i) show_frame(*frame_at(i), i == selected);
  } else {  // the outermost first, inward
    for (int i = count - 1; i >= static_cast<int>(std::max<int64_t>(count + n, 0)); --i)
      show_frame(*frame_at(i), i == selected);
  }
}

constexpr action_record frame_record{frame_action, 0};
constexpr action_record up_record{up_action, 0};
constexpr action_record down_record{down_action, 0};
constexpr action_record where_record{where_action, 0};

// An optional count at token 2 and nothing after it.
bool optional_count(int (*reader)(int)) { return !cur_lexer->has(2) || (reader(2) && check_no_more_args(3)); }

}  // namespace

const action_record* cmd_frame() {
  if (!cur_lexer->has(2)) return &frame_record;
  return parse_frame_number(2) && check_no_more_args(3) ? &frame_record : nullptr;
}

const action_record* cmd_down() { return optional_count(parse_count_arg) ? &down_record : nullptr; }

const action_record* cmd_up() { return optional_count(parse_count_arg) ? &up_record : nullptr; }

const action_record* cmd_where() {
  if (!cur_lexer->has(2)) return &where_record;
  if (!parse_count_arg(2) || !check_no_more_args(3)) return nullptr;
  const int64_t wanted = std::llabs(signed_arg(2));
  if (selected_frame() >= 0 && wanted <= frames_count()) return &where_record;
  static std::string message;
  message = format("There aren't %ld frames", static_cast<long>(wanted));
  reader_fail(2, message.c_str());
  return nullptr;
}
