#include "sim/session_grid.h"

#include <algorithm>

namespace {

void put_at_cursor(screen_grid& g, char c, uint8_t attr) {
  if (g.cursor_column >= GRID_COLUMNS) return;
  const int row = grid_cursor_row(g);
  g.chars[row][g.cursor_column] = c;
  g.attrs[row][g.cursor_column] = attr;
  ++g.cursor_column;
}

}  // namespace

int grid_cursor_row(const screen_grid& g) { return (g.top + g.cursor_row) % g.rows; }

void grid_clear_eol(screen_grid& g) {
  const int row = grid_cursor_row(g);
  for (int c = std::max(g.cursor_column, 0); c < GRID_COLUMNS; ++c) {
    g.chars[row][c] = ' ';
    g.attrs[row][c] = GRID_ATTR_NORMAL;
  }
}

int grid_write_text(screen_grid& g, const char* text, int mode) {
  uint8_t attr = mode == 2 ? GRID_ATTR_HIGHLIGHT : GRID_ATTR_NORMAL;
  for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
    const char c = *p;
    if (c == '\x07' || c == '\x0f') {
      if (mode == 1) attr = c == '\x07' ? GRID_ATTR_NORMAL : GRID_ATTR_HIGHLIGHT;
    } else if (c == '\t' || c == '\n') {
      grid_clear_eol(g);
    } else if ((c == '{' || c == '}') && mode == 3) {
      attr = c == '{' ? GRID_ATTR_HIGHLIGHT : GRID_ATTR_NORMAL;
    } else if (c == '$' && (p[1] == '{' || p[1] == '}')) {
      put_at_cursor(g, *++p, attr);
    } else {
      put_at_cursor(g, c, attr);
    }
  }
  grid_clear_eol(g);
  if (g.cursor_column >= g.columns) g.cursor_column = g.columns - 1;
  return g.cursor_column;
}

void grid_advance(screen_grid& g, int direction) {
  g.top = ((g.top + (direction > 0 ? 1 : -1)) % g.rows + g.rows) % g.rows;
}

void grid_set_cursor(screen_grid& g, int row, int column) {
  g.cursor_row = std::clamp(row, 0, g.rows - 1);
  g.cursor_column = std::clamp(column, 0, GRID_COLUMNS - 1);
}

void translate_session_marks(char* line) {
  constexpr int LIMIT = 256;
  char* w = line;
  const char* r = line;
  while (*r != '\0' && r - line < LIMIT) {
    if (r[0] == '$' && (r[1] == '{' || r[1] == '}')) {
      *w++ = r[1];
      r += 2;
    } else if (*r == '{') {
      *w++ = '\x0f';
      ++r;
    } else if (*r == '}') {
      *w++ = '\x07';
      ++r;
    } else {
      *w++ = *r++;
    }
  }
  *w = '\0';
}
