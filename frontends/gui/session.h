// Session output of the GUI front-end: each device's ring of printed
// lines, the one screen grid the Session window shows, the logs and the
// More pages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "frontends/gui/frontend.h"
#include "sim/frontend/session_grid.h"

namespace gui {

// The session services of frontends/gui/frontend.h have their bodies here.
// Sets the hold counter (the road holds the screen over a window update
// and lets go of it at each run slice).
void screen_hold_set(int hold);

// The grid, and the display buffers the Session window draws from (row 0
// at the top), copied by each flush that found the shown device current.
const screen_grid& screen();
struct session_display {
  char chars[GRID_ROWS][GRID_COLUMNS];
  uint8_t attrs[GRID_ROWS][GRID_COLUMNS];
  int copies = 0;   // flushes that copied the grid
  int repaints = 0; // repaints asked of the Session window
};
const session_display& display();
// Display row i as text, trailing blanks cut; highlighted characters
// wrapped in "{" and "}" when `marks` is set.
std::string display_row(int row, bool marks = false);

// The Session window as the screen reaches it: laid out to a size (rows
// at most 100, columns at most 256; the page length follows the rows) and
// repainted after each flush while it is open.
struct session_window_hooks {
  void (*repaint)();
  // Scroll bar range and position (counted from the far end).
  void (*scroll_range)(int maximum, int position);
};
void install_session_window(const session_window_hooks* hooks);
void session_layout(int rows, int columns);

// Appends every line printed to a session to the file, as the console
// prints it to a pipe (null: none).
void set_transcript(std::FILE* file);
// The same for a file named on the command line. A failed open, write or
// close is said on standard error as "sim73500: cannot write the
// transcript NAME: CAUSE"; open_transcript gives false when the open failed,
// close_transcript when anything was lost.
bool open_transcript(const char* name);
bool close_transcript();
// A log or other side file whose reader went away fails that file alone
// (EPIPE); the transcript ends the program as the signal would have, after
// its message. For the start.
void ignore_broken_pipes();

// Whether the More notice is up.
bool more_notice_up();
// Back to the start (tests).
void session_reset();

}  // namespace gui
