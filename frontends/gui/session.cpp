// The session ring and screen. Scrolling moves the grid's `top` instead of
// copying rows, at most one screenful is drawn however many lines are
// pending, and the hold counter defers the copy to the window until a
// burst of output ends.
//
// - Session output (`frontends/gui/session.cpp`): each device's ring of 100 lines, one 100 x 256 grid scrolled
//   by moving `top`, display buffers copied by each flush of the shown device, the More notice
//   (never stacked inside its own loop: a page filled from inside it waits for the next line),
//   `pending` and the backward scroll clamped to the ring. 100,000 lines with a flush each take
//   about 60 ms headless and allocate nothing (`bench/gui_session`).
#include "frontends/gui/session.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "frontends/gui/dialogs.h"
#include "frontends/gui/road.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/view_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sysio/file_write.h"
#include "sysio/open_nonblocking.h"

namespace gui {

namespace {

screen_grid grid;
session_display shown;
const session_window_hooks* window = nullptr;
bool more_up = false;

session_ring& ring_of(device_state& st) {
  if (st.session.lines.size() != SESSION_RING_LINES) st.session.lines.resize(SESSION_RING_LINES);
  return st.session;
}

bool current_is_shown() {
  return cur_inst != nullptr && shown_device >= 0 && shown_device < DEVICE_MAX &&
         cur_inst == device_insts[shown_device];
}

int wrap(int index) { return (index % SESSION_RING_LINES + SESSION_RING_LINES) % SESSION_RING_LINES; }

void draw_ring_line(const session_ring& ring, int index, int row) {
  grid_set_cursor(grid, row, 0);
  grid_write_text(grid, ring.lines[static_cast<std::size_t>(wrap(index))].data(), 1);
}

// A page is full. A command run from inside the notice's own loop (a
// timed event) that fills a page meanwhile does not stack a second
// notice: the count stays at the page length and the next line after the
// notice closes stops again.
void more_page() {
  if (more_up) return;
  more_count = 0;
  screen_flush();
  more_up = true;
  const dialog_answer a = dialogs().notice_run("More: Press OK to continue", nullptr, nullptr, true);
  more_up = false;
  if (a == ANSWER_CANCEL) stop_request = 1;
}

void write_log(std::FILE*& log, const char* text) { write_log_line(log, text); }

}  // namespace

namespace {

std::FILE* transcript = nullptr;
// Per device, the lines of its ring not yet in the transcript: as on the
// console, a device's lines go out while it is the shown device, or when
// its session is redrawn.
int transcript_pending[DEVICE_MAX] = {};
// The file open_transcript opened, and whether a write to it failed: said
// once, when it happens, and the lines after it are not tried.
std::string transcript_name;
bool transcript_lost = false;

// Whether SIGPIPE ended the program as it was started.
bool pipe_ends_program = false;

void transcript_failed(int error) {
  if (transcript_lost) return;
  transcript_lost = true;
  std::fprintf(stderr, "sim73500: cannot write the transcript %s: %s\n", transcript_name.c_str(),
               error_cause(error != 0 ? error : EIO).c_str());
  // The script that read it has gone: nothing is left to run for.
  if (error == EPIPE && pipe_ends_program) {
    std::fflush(stderr);
    remove_unfinished_files();
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
  }
}

// Highlight marks as a pipe shows them.
void write_transcript(const char* line) {
  for (const char* p = line; *p != '\0'; ++p) {
    const char c = *p == '\x0f' ? '{' : *p == '\x07' ? '}' : *p;
    std::fputc(c, transcript);
  }
  std::fputc('\n', transcript);
  errno = 0;
  if (std::fflush(transcript) != 0 || std::ferror(transcript) != 0) transcript_failed(errno);
}

void transcript_flush(int device) {
  if (transcript == nullptr || transcript_lost || device < 0 || device >= DEVICE_MAX || device_states[device] == nullptr) return;
  session_ring& ring = ring_of(*device_states[device]);
  const int n = std::min(transcript_pending[device], SESSION_RING_LINES);
  for (int i = n - 1; i >= 0; --i) write_transcript(ring.lines[static_cast<std::size_t>(wrap(ring.newest - i))].data());
  transcript_pending[device] = 0;
}

}  // namespace

void set_transcript(std::FILE* file) {
  transcript = file;
  transcript_lost = false;
  for (int& n : transcript_pending) n = 0;
}

// Appended to, never waiting on the name: a FIFO nobody reads is refused.
bool open_transcript(const char* name) {
  transcript_name = name;
  transcript_lost = false;
  std::FILE* file = open_file_nonblocking(name, "a", true);
  if (file == nullptr) {
    transcript_failed(errno);
    return false;
  }
  set_transcript(file);
  return true;
}

void ignore_broken_pipes() {
  struct sigaction ignore {}, before {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  if (sigaction(SIGPIPE, &ignore, &before) == 0) pipe_ends_program = before.sa_handler == SIG_DFL;
}

bool close_transcript() {
  std::FILE* file = transcript;
  const bool lost = transcript_lost;
  set_transcript(nullptr);
  transcript_lost = lost;
  if (file == nullptr) return !lost;
  errno = 0;
  if (std::fclose(file) != 0) transcript_failed(errno);
  return !transcript_lost;
}

int session_output(const char* text, int nolog, int echo) {
  if (cur_state == nullptr) return 0;
  if (text == nullptr) text = "";
  session_ring& ring = ring_of(*cur_state);
  ring.newest = wrap(ring.newest + 1);
  // Lines older than the ring are gone; pending never counts them.
  ring.pending = std::min(ring.pending + 1, SESSION_RING_LINES);
  char* line = ring.lines[static_cast<std::size_t>(ring.newest)].data();
  const std::size_t len = strnlen(text, SESSION_LINE_BYTES - 1);
  std::memcpy(line, text, len);
  line[len] = '\0';
  if (echo == 0) translate_session_marks(line);
  if (transcript != nullptr && cur_device >= 0 && cur_device < DEVICE_MAX) {
    ++transcript_pending[cur_device];
    if (current_is_shown()) transcript_flush(cur_device);
  }
  if (current_is_shown() && cur_state->view_mode == 0) {
    session_scroll(ring.pending);
    if (more_enabled != 0 && macro_running == 0) {
      if (more_count < grid.page_length) ++more_count;
      if (more_count >= grid.page_length) more_page();
      output_hold();
    }
  }
  if (nolog == 0 && command_log != nullptr) write_log(command_log, text);
  if (cur_device >= 0 && cur_device < SESSION_LOG_SLOTS && session_logs[cur_device] != nullptr)
    write_log(session_logs[cur_device], text);
  return 1;
}

void session_scroll(int lines) {
  if (cur_state == nullptr) return;
  session_ring& ring = ring_of(*cur_state);
  output_hold();
  int p = std::clamp(ring.pending, 0, SESSION_RING_LINES);
  if (lines >= 0) {
    int n = std::min(lines, p);
    if (n >= grid.rows) {
      p = p - n + grid.rows;
      n = grid.rows;
    }
    for (int i = 0; i < n; ++i) {
      grid_advance(grid, 1);
      draw_ring_line(ring, ring.newest - p + 1 + i, grid.rows - 1);
    }
    ring.pending = p - n;
  } else {
    // Never past the oldest line the ring still holds.
    int n = std::clamp(std::min(-lines, SESSION_RING_LINES - (grid.rows + p)), 0, SESSION_RING_LINES);
    if (n >= grid.rows) {
      p = p - grid.rows + n;
      n = grid.rows;
    }
    for (int i = 0; i < n; ++i) {
      grid_advance(grid, -1);
      draw_ring_line(ring, ring.newest - (p + grid.rows) - i, 0);
    }
    ring.pending = std::min(p + n, SESSION_RING_LINES);
  }
  output_release();
}

void session_redraw(int device) {
  if (!make_device_current(device) || cur_state == nullptr) return;
  transcript_flush(device);
  ring_of(*cur_state).pending = grid.rows;
  if (cur_state->view_mode == 1 || cur_state->view_mode == 2) {
    constexpr int AT_CURRENT_POSITION = 32767;
    view_show_position(AT_CURRENT_POSITION);
    return;
  }
  if (window != nullptr && window->scroll_range != nullptr) window->scroll_range(SESSION_RING_LINES, SESSION_RING_LINES);
  session_scroll(SESSION_RING_LINES);
}

void screen_flush() {
  if (current_is_shown()) {
    for (int i = 0; i < grid.rows; ++i) {
      const int row = (grid.top + i) % grid.rows;
      std::memcpy(shown.attrs[i], grid.attrs[row].data(), static_cast<std::size_t>(grid.columns));
      std::memcpy(shown.chars[i], grid.chars[row].data(), static_cast<std::size_t>(grid.columns));
    }
    ++shown.copies;
  }
  grid.hold = 0;
  if (window != nullptr && window->repaint != nullptr) {
    ++shown.repaints;
    window->repaint();
  }
}

void output_hold() { ++grid.hold; }

void output_release() {
  if (grid.hold > 1) --grid.hold;
  else screen_flush();
}

void screen_hold_set(int hold) { grid.hold = hold; }

void screen_goto(int row, int column) {
  grid_set_cursor(grid, row, column);
  if (grid.hold <= 0) screen_flush();
}

void screen_put_char(int character) {
  output_hold();
  const char text[2] = {static_cast<char>(character), '\0'};
  grid_write_text(grid, text, 0);
  output_release();
}

void screen_clear_eol() { grid_clear_eol(grid); }

int screen_write_text(const char* text, int mode) { return grid_write_text(grid, text, mode); }

void screen_put_text(int row, int column, const char* text, int mode) {
  output_hold();
  grid_set_cursor(grid, row, column);
  grid_write_text(grid, text, mode);
  output_release();
}

void screen_show_rows(const char* rows_block) {
  if (rows_block == nullptr) return;
  output_hold();
  grid.top = 0;
  for (int i = 0; i < grid.rows; ++i) {
    const char* src = rows_block + static_cast<std::size_t>(i) * GRID_BLOCK_ROW_BYTES;
    std::memcpy(grid.chars[i].data(), src, static_cast<std::size_t>(grid.columns));
    std::fill_n(grid.attrs[i].begin(), grid.columns, GRID_ATTR_NORMAL);
  }
  output_release();
}

void screen_advance(int direction) { grid_advance(grid, direction); }

session_screen_size session_screen() { return {grid.page_length, grid.rows, grid.columns}; }

const screen_grid& screen() { return grid; }
const session_display& display() { return shown; }

std::string display_row(int row, bool marks) {
  std::string out;
  if (row < 0 || row >= grid.rows) return out;
  bool high = false;
  for (int c = 0; c < grid.columns; ++c) {
    const bool h = shown.attrs[row][c] == GRID_ATTR_HIGHLIGHT;
    if (marks && h != high) out.push_back(h ? '{' : '}');
    high = h;
    out.push_back(shown.chars[row][c] != '\0' ? shown.chars[row][c] : ' ');
  }
  if (marks && high) out.push_back('}');
  const std::size_t end = out.find_last_not_of(' ');
  out.erase(end == std::string::npos ? 0 : end + 1);
  return out;
}

void install_session_window(const session_window_hooks* hooks) { window = hooks; }

void session_layout(int rows, int columns) {
  grid.rows = std::clamp(rows, 1, GRID_ROWS);
  grid.columns = std::clamp(columns, 1, GRID_COLUMNS);
  grid.page_length = grid.rows;
  grid.top %= grid.rows;
  grid_set_cursor(grid, grid.cursor_row, grid.cursor_column);
}

bool more_notice_up() { return more_up; }

void session_reset() {
  grid = screen_grid{};
  for (int i = 0; i < GRID_ROWS; ++i) {
    std::memset(grid.chars[i].data(), ' ', GRID_COLUMNS);
    grid.attrs[i].fill(GRID_ATTR_NORMAL);
  }
  shown = session_display{};
  window = nullptr;
  more_up = false;
}

}  // namespace gui
