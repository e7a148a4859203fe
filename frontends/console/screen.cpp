// The session screen: one character grid with an attribute per character,
// rows kept in a circle so that scrolling moves `top` instead of copying.
// A terminal scrolls by itself, so on the console the grid is bookkeeping
// for the code that positions text on it; what reaches the user is the
// session lines (session.cpp) and the row blocks of the source and
// assembly views, printed here.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "frontends/console/terminal.h"
#include "sim/frontend/session_grid.h"
#include "frontends/console/services.h"
#include "sim/frontend/frontend.h"

namespace {

screen_grid grid;

}  // namespace

namespace con {

session_screen_size session_screen() { return {grid.page_length, grid.rows, grid.columns}; }

void output_hold() { ++grid.hold; }

void output_release() {
  if (grid.hold > 1) --grid.hold;
  else screen_flush();
}

void screen_flush() {
  grid.hold = 0;
  std::FILE* out = console_io().out;
  if (out != nullptr && !console_io().batched) std::fflush(out);
}

void screen_goto(int row, int column) {
  grid_set_cursor(grid, row, column);
  if (grid.hold <= 0) screen_flush();
}

void screen_clear_eol() { grid_clear_eol(grid); }

int screen_write_text(const char* text, int mode) { return grid_write_text(grid, text, mode); }

void screen_put_text(int row, int column, const char* text, int mode) {
  output_hold();
  grid_set_cursor(grid, row, column);
  screen_write_text(text, mode);
  output_release();
}

void screen_put_char(int character) {
  output_hold();
  const char text[2] = {static_cast<char>(character), '\0'};
  screen_write_text(text, 0);
  output_release();
}

void screen_advance(int direction) { grid_advance(grid, direction); }

// The source and assembly views hand over a whole screen of rows; a
// terminal has no fixed screen to put them on, so they are printed, without
// trailing blanks and without the empty rows at the end.
void screen_show_rows(const char* rows_block) {
  if (rows_block == nullptr) return;
  output_hold();
  grid.top = 0;
  std::array<std::string, GRID_ROWS> shown;
  int last_used = -1;
  for (int i = 0; i < grid.rows; ++i) {
    const char* src = rows_block + static_cast<std::size_t>(i) * GRID_BLOCK_ROW_BYTES;
    const std::size_t len = strnlen(src, static_cast<std::size_t>(grid.columns));
    std::memset(grid.chars[i].data(), ' ', GRID_COLUMNS);
    std::memcpy(grid.chars[i].data(), src, len);
    grid.attrs[i].fill(GRID_ATTR_NORMAL);
    std::string row(src, len);
    row.erase(row.find_last_not_of(' ') + 1);
    // Only plain text: the rows carry no highlighting.
    for (char& c : row)
      if (c == '\x07' || c == '\x0f') c = ' ';
    if (!row.empty()) last_used = i;
    shown[i] = std::move(row);
  }
  for (int i = 0; i <= last_used; ++i) terminal_write_line(shown[i].c_str());
  output_release();
}

}  // namespace con
