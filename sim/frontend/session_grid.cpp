#include "sim/frontend/session_grid.h"

#include <algorithm>
#include <cstring>

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
  const int from = std::max(g.cursor_column, 0);
  if (from >= GRID_COLUMNS) return;
  const auto count = static_cast<std::size_t>(GRID_COLUMNS - from);
  std::memset(&g.chars[row][from], ' ', count);
  std::memset(&g.attrs[row][from], GRID_ATTR_NORMAL, count);
}

int grid_write_text(screen_grid& g, const char* text, int mode) {
  uint8_t attr = mode == 2 ? GRID_ATTR_HIGHLIGHT : GRID_ATTR_NORMAL;
  for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
    // A run of ordinary characters goes in at once.
    std::size_t plain = std::strcspn(p, "\x07\x0f\t\n{}");
    // "${" and "$}" are taken one by one below.
    if (plain != 0 && (p[plain] == '{' || p[plain] == '}') && p[plain - 1] == '$') --plain;
    if (plain != 0) {
      const int room = std::max(0, GRID_COLUMNS - g.cursor_column);
      const int taken = std::min(room, static_cast<int>(plain));
      if (taken > 0) {
        const int row = grid_cursor_row(g);
        std::memcpy(&g.chars[row][g.cursor_column], p, static_cast<std::size_t>(taken));
        std::memset(&g.attrs[row][g.cursor_column], attr, static_cast<std::size_t>(taken));
        g.cursor_column += taken;
      }
      p += plain;
      if (*p == '\0') break;
    }
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

bool translate_session_marks(char* line) {
  constexpr int LIMIT = 256;
  // Up to the first mark nothing moves.
  std::size_t unmarked = std::strcspn(line, "{}");
  // A brace after "$" is the pair "${" or "$}".
  if (unmarked != 0 && line[unmarked] != '\0' && line[unmarked - 1] == '$') --unmarked;
  if (unmarked >= static_cast<std::size_t>(LIMIT)) {
    const bool whole = line[LIMIT] == '\0';
    line[LIMIT] = '\0';
    return whole;
  }
  char* w = line + unmarked;
  const char* r = w;
  bool same_length = true;
  // Runs without a brace move at once; a "$" just before a brace makes
  // the pair. Only bytes before LIMIT start anything.
  while (*r != '\0' && r - line < LIMIT) {
    const std::size_t left = static_cast<std::size_t>(LIMIT - (r - line));
    const std::size_t run = std::strcspn(r, "{}");
    const bool brace = r[run] != '\0';
    const bool pair = brace && run != 0 && r[run - 1] == '$' && run - 1 < left;
    const std::size_t plain = pair ? run - 1 : std::min(run, left);
    if (w != r) std::memmove(w, r, plain);
    w += plain;
    r += plain;
    if (pair) {
      *w++ = r[1];
      r += 2;
      same_length = false;
    } else if (brace && run < left) {
      *w++ = *r == '{' ? '\x0f' : '\x07';
      ++r;
    } else {
      break;
    }
  }
  if (*r != '\0') same_length = false;
  *w = '\0';
  return same_length;
}

bool copy_session_marks(char* line, const char* text, std::size_t length) {
  char* w = line;
  const char* r = text;
  const char* const end = text + length;
  bool same_length = true;
  while (r < end) {
    const std::size_t left = static_cast<std::size_t>(end - r);
    const std::size_t run = std::min(std::strcspn(r, "{}"), left);
    const bool brace = run < left;
    const bool pair = brace && run != 0 && r[run - 1] == '$';
    const std::size_t plain = pair ? run - 1 : run;
    std::memcpy(w, r, plain);
    w += plain;
    r += plain;
    if (pair) {
      *w++ = r[1];
      r += 2;
      same_length = false;
    } else if (brace) {
      *w++ = *r == '{' ? '\x0f' : '\x07';
      ++r;
    }
  }
  *w = '\0';
  return same_length;
}
