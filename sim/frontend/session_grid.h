// The session screen's character grid, shared by both front-ends: rows in
// a circle so that scrolling moves `top` instead of copying, one attribute
// byte per character (7 normal, 15 highlighted), and the translation of a
// printed line's brace marks into the highlight bytes the ring keeps.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr int GRID_ROWS = 100;
constexpr int GRID_COLUMNS = 256;
constexpr int GRID_BLOCK_ROW_BYTES = GRID_COLUMNS + 1;  // rows handed to screen_show_rows
constexpr uint8_t GRID_ATTR_NORMAL = 7;
constexpr uint8_t GRID_ATTR_HIGHLIGHT = 15;

struct screen_grid {
  int rows = 24;
  int columns = 80;
  int page_length = 21;
  int top = 0;
  int cursor_row = 0;  // counted from top
  int cursor_column = 0;
  int hold = 0;
  std::array<std::array<char, GRID_COLUMNS + 1>, GRID_ROWS> chars{};
  std::array<std::array<uint8_t, GRID_COLUMNS>, GRID_ROWS> attrs{};
};

// The grid row the cursor is on.
int grid_cursor_row(const screen_grid& g);
// Blanks from the cursor to the end of its row (attributes normal).
void grid_clear_eol(screen_grid& g);
// Writes text at the cursor. Modes: 0 plain; 1 bytes 15 and 7 switch
// highlighting; 2 starts highlighted; 3 "{" and "}" switch it. "${" and
// "$}" write the brace. Returns the cursor column, kept below `columns`.
int grid_write_text(screen_grid& g, const char* text, int mode);
// Moves `top` one row down (direction > 0) or up, within the rows.
void grid_advance(screen_grid& g, int direction);
// Sets the cursor, kept on the screen.
void grid_set_cursor(screen_grid& g, int row, int column);

// In place, reading at most 256 bytes: "${" and "$}" become the braces,
// a lone "{" byte 15 and a lone "}" byte 7. True when nothing else
// changed: no pair taken and nothing cut, so the line kept its length.
bool translate_session_marks(char* line);
// The first `length` bytes of `text` (at most 255) into `line`, translated
// as translate_session_marks translates them, in one pass; the same result.
bool copy_session_marks(char* line, const char* text, std::size_t length);
