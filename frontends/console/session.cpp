// Session output: each device keeps the newest lines it printed in its
// session ring; lines of the device shown on the console go to standard
// output as they arrive, lines of the others wait in their ring (pending)
// until that device is shown. No line is printed twice.
#include <algorithm>
#include <cstring>

#include "frontends/console/input.h"
#include "frontends/console/terminal.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/view_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/frontend/session_grid.h"
#include "frontends/console/services.h"
#include "sim/frontend/frontend.h"

static_assert(SESSION_LOG_SLOTS == DEVICE_MAX, "one session log per device slot");

namespace {

constexpr const char* MORE_TEXT = "{More:} any key continues, {Esc} cancels";

session_ring& ring_of(device_state& st) {
  if (st.session.lines.size() != SESSION_RING_LINES) st.session.lines.resize(SESSION_RING_LINES);
  return st.session;
}

bool current_is_shown() {
  return cur_inst != nullptr && shown_device >= 0 && shown_device < DEVICE_MAX &&
         cur_inst == device_insts[shown_device];
}

// Nothing on the console reads the screen grid back, so a line goes to
// the output alone, terminal or not: keeping the grid cost a trace an
// eighth of its time.
void draw_line(const char* line) { terminal_write_line(line); }

// A page of output is full. Only a person at a terminal can answer; piped
// sessions run on.
void ask_more() {
  const console_streams& io = console_io();
  if (!io.in_tty || io.prompt == nullptr) return;
  screen_flush();
  gui_status_text(MORE_TEXT);
  {
    raw_keys keys;
    const int key = input_read_key(-1);
    if (key == 27 || key == 'q' || key == 'Q' || key == KEY_INTERRUPTED) stop_request = 1;
  }
  gui_status_text("");
}

void write_log(std::FILE*& log, const char* text) { write_log_line(log, text); }

}  // namespace

namespace con {

int session_output(const char* text, int nolog, int echo) {
  if (cur_state == nullptr) return 0;
  if (text == nullptr) text = "";
  session_ring& ring = ring_of(*cur_state);
  ring.newest = (ring.newest + 1) % SESSION_RING_LINES;
  // Lines older than the ring's size are gone; pending never counts them.
  ring.pending = std::min(ring.pending + 1, SESSION_RING_LINES);
  char* line = ring.lines[static_cast<std::size_t>(ring.newest)].data();
  const std::size_t len = strnlen(text, SESSION_LINE_BYTES - 1);
  bool kept_length = true;
  if (echo == 0) {
    kept_length = copy_session_marks(line, text, len);
  } else {
    std::memcpy(line, text, len);
    line[len] = '\0';
  }

  // A terminal has no separate pane for the source or assembly view, so
  // the shown device's lines are printed whatever its view mode.
  if (current_is_shown()) {
    // A file takes the line's own text when the ring's bytes would render
    // back to it: only marks translated, no control bytes of its own.
    if (ring.pending == 1 && !console_io().out_tty && kept_length &&
        std::strcspn(text, "\x07\x0f") >= len) {
      output_hold();
      terminal_write_plain_line(text, len);
      ring.pending = 0;
      output_release();
    } else {
      session_scroll(ring.pending);
    }
    if (more_enabled != 0 && macro_running == 0 && cur_state->view_mode == 0 &&
        ++more_count >= session_screen().text_rows) {
      more_count = 0;
      ask_more();
      output_hold();
    }
  }
  if (nolog == 0 && command_log != nullptr) write_log(command_log, text);
  if (cur_device >= 0 && cur_device < SESSION_LOG_SLOTS && session_logs[cur_device] != nullptr)
    write_log(session_logs[cur_device], text);
  return 1;
}

// Forward: prints up to `lines` of the pending lines, oldest first. Back:
// nothing; the terminal keeps its own scroll-back, and the ring's lines
// have all been printed once already.
void session_scroll(int lines) {
  if (cur_state == nullptr || lines <= 0) return;
  session_ring& ring = ring_of(*cur_state);
  const int p = std::min(ring.pending, SESSION_RING_LINES);
  const int n = std::min(lines, p);
  output_hold();
  for (int i = 0; i < n; ++i) {
    const int idx = ((ring.newest - p + 1 + i) % SESSION_RING_LINES + SESSION_RING_LINES) %
                    SESSION_RING_LINES;
    draw_line(ring.lines[static_cast<std::size_t>(idx)].data());
  }
  ring.pending = p - n;
  output_release();
}

void session_redraw(int device) {
  if (!make_device_current(device) || cur_state == nullptr) return;
  // A terminal has no window to keep what the device printed while another
  // was shown: those lines come first, then the view at the device's pc.
  session_scroll(SESSION_RING_LINES);
  constexpr int AT_CURRENT_POSITION = 32767;
  if (cur_state->view_mode != 0) view_show_position(AT_CURRENT_POSITION);
}

}  // namespace con
