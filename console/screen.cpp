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

#include "console/terminal.h"
#include "console/services.h"
#include "sim/frontend.h"

namespace {

constexpr int GRID_ROWS = 100;
constexpr int GRID_COLUMNS = 256;
constexpr int BLOCK_ROW_BYTES = GRID_COLUMNS + 1;  // rows handed to screen_show_rows
constexpr uint8_t ATTR_NORMAL = 7;
constexpr uint8_t ATTR_HIGHLIGHT = 15;

struct screen_grid {
  int rows = 24;
  int columns = 80;
  int page_length = 21;
  int top = 0;
  int cursor_row = 0;
  int cursor_column = 0;
  int hold = 0;
  std::array<std::array<char, GRID_COLUMNS + 1>, GRID_ROWS> chars{};
  std::array<std::array<uint8_t, GRID_COLUMNS>, GRID_ROWS> attrs{};
};

screen_grid grid;

int cursor_grid_row() { return (grid.top + grid.cursor_row) % grid.rows; }

void put_at_cursor(char c, uint8_t attr) {
  if (grid.cursor_column >= GRID_COLUMNS) return;
  const int row = cursor_grid_row();
  grid.chars[row][grid.cursor_column] = c;
  grid.attrs[row][grid.cursor_column] = attr;
  ++grid.cursor_column;
}

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
  if (out != nullptr) std::fflush(out);
}

void screen_goto(int row, int column) {
  grid.cursor_row = std::clamp(row, 0, grid.rows - 1);
  grid.cursor_column = std::clamp(column, 0, GRID_COLUMNS - 1);
  if (grid.hold <= 0) screen_flush();
}

void screen_clear_eol() {
  const int row = cursor_grid_row();
  for (int c = grid.cursor_column; c < GRID_COLUMNS; ++c) {
    grid.chars[row][c] = ' ';
    grid.attrs[row][c] = ATTR_NORMAL;
  }
}

int screen_write_text(const char* text, int mode) {
  uint8_t attr = mode == 2 ? ATTR_HIGHLIGHT : ATTR_NORMAL;
  for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
    const char c = *p;
    if (c == '\x07' || c == '\x0f') {
      if (mode == 1) attr = c == '\x07' ? ATTR_NORMAL : ATTR_HIGHLIGHT;
    } else if (c == '\t' || c == '\n') {
      screen_clear_eol();
    } else if ((c == '{' || c == '}') && mode == 3) {
      attr = c == '{' ? ATTR_HIGHLIGHT : ATTR_NORMAL;
    } else if (c == '$' && (p[1] == '{' || p[1] == '}')) {
      put_at_cursor(*++p, attr);
    } else {
      put_at_cursor(c, attr);
    }
  }
  screen_clear_eol();
  if (grid.cursor_column >= grid.columns) grid.cursor_column = grid.columns - 1;
  return grid.cursor_column;
}

void screen_put_text(int row, int column, const char* text, int mode) {
  output_hold();
  grid.cursor_row = std::clamp(row, 0, grid.rows - 1);
  grid.cursor_column = std::clamp(column, 0, GRID_COLUMNS - 1);
  screen_write_text(text, mode);
  output_release();
}

void screen_put_char(int character) {
  output_hold();
  const char text[2] = {static_cast<char>(character), '\0'};
  screen_write_text(text, 0);
  output_release();
}

void screen_advance(int direction) {
  grid.top = ((grid.top + (direction > 0 ? 1 : -1)) % grid.rows + grid.rows) % grid.rows;
}

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
    const char* src = rows_block + static_cast<std::size_t>(i) * BLOCK_ROW_BYTES;
    const std::size_t len = strnlen(src, static_cast<std::size_t>(grid.columns));
    std::memset(grid.chars[i].data(), ' ', GRID_COLUMNS);
    std::memcpy(grid.chars[i].data(), src, len);
    grid.attrs[i].fill(ATTR_NORMAL);
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
