// Session output of the GUI front-end: each device's ring of printed
// lines, the one screen grid the Session window shows, the logs and the
// More pages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "sim/frontend.h"
#include "sim/session_grid.h"

namespace gui {

int session_output(const char* text, int nolog, int echo);
void session_scroll(int lines);
void session_redraw(int device);
void screen_flush();
void output_hold();
void output_release();
void screen_set_cursor(int row, int column);
void screen_put_char(int character);
void screen_clear_eol();
int screen_write_text(const char* text, int mode);
void screen_put_text(int row, int column, const char* text, int mode);
void screen_show_rows(const char* rows_block);
void screen_advance(int direction);
session_screen_size session_screen();
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

// Whether the More notice is up.
bool more_notice_up();
// Back to the start (tests).
void session_reset();

}  // namespace gui
