// The screen grid and the session marks take ordinary characters in runs;
// the result must be what a character-by-character pass gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "sim/frontend/session_grid.h"

namespace {

// The character-by-character rules, as the grid and the marks were first written.
void reference_marks(char* line) {
  char* w = line;
  const char* r = line;
  while (*r != '\0' && r - line < 256) {
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

void put(screen_grid& g, char c, uint8_t attr) {
  if (g.cursor_column >= GRID_COLUMNS) return;
  const int row = grid_cursor_row(g);
  g.chars[row][g.cursor_column] = c;
  g.attrs[row][g.cursor_column] = attr;
  ++g.cursor_column;
}

int reference_write(screen_grid& g, const char* text, int mode) {
  uint8_t attr = mode == 2 ? GRID_ATTR_HIGHLIGHT : GRID_ATTR_NORMAL;
  for (const char* p = text; *p != '\0'; ++p) {
    const char c = *p;
    if (c == '\x07' || c == '\x0f') {
      if (mode == 1) attr = c == '\x07' ? GRID_ATTR_NORMAL : GRID_ATTR_HIGHLIGHT;
    } else if (c == '\t' || c == '\n') {
      grid_clear_eol(g);
    } else if ((c == '{' || c == '}') && mode == 3) {
      attr = c == '{' ? GRID_ATTR_HIGHLIGHT : GRID_ATTR_NORMAL;
    } else if (c == '$' && (p[1] == '{' || p[1] == '}')) {
      put(g, *++p, attr);
    } else {
      put(g, c, attr);
    }
  }
  grid_clear_eol(g);
  if (g.cursor_column >= g.columns) g.cursor_column = g.columns - 1;
  return g.cursor_column;
}

// Lines of plain text, marks, dollars, tabs and highlight bytes, some
// longer than the grid and the 256 bytes the marks are read in.
std::string random_line(std::mt19937& random) {
  static const std::string pieces[] = {"a=$00ab", "$", "{", "}", "${", "$}", "$$}", "\x0f", "\x07",
                                       "\t", "\n", " ", "pc=", "0123456789"};
  std::string line;
  const int count = static_cast<int>(random() % 60);
  for (int i = 0; i < count; ++i) line += pieces[random() % std::size(pieces)];
  if (random() % 8 == 0) line.insert(0, std::string(250 + random() % 12, 'x'));
  return line;
}

TEST(GridRuns, MarksAndGridMatchTheCharacterRules) {
  std::mt19937 random(134);
  for (int i = 0; i < 3000; ++i) {
    const std::string line = random_line(random);
    std::string fast = line + std::string(8, '\0'), slow = fast;
    const bool kept = translate_session_marks(fast.data());
    reference_marks(slow.data());
    ASSERT_STREQ(fast.c_str(), slow.c_str()) << line;
    // Only a line that kept its length may go to a file as its own text.
    ASSERT_EQ(kept, std::strlen(slow.c_str()) == line.size()) << line;
    // Copied and translated in one pass, as a session line is: the same.
    const std::size_t length = std::min<std::size_t>(line.size(), 255);
    std::string in_place = line.substr(0, length), copied(length + 1, '\x01');
    const bool kept_in_place = translate_session_marks(in_place.data());
    ASSERT_EQ(copy_session_marks(copied.data(), line.c_str(), length), kept_in_place) << line;
    ASSERT_STREQ(copied.c_str(), in_place.c_str()) << line;

    for (int mode = 0; mode < 4; ++mode) {
      auto a = std::make_unique<screen_grid>(), b = std::make_unique<screen_grid>();
      const int column = static_cast<int>(random() % 300) - 20;
      grid_set_cursor(*a, 3, column);
      grid_set_cursor(*b, 3, column);
      ASSERT_EQ(grid_write_text(*a, line.c_str(), mode), reference_write(*b, line.c_str(), mode));
      ASSERT_EQ(a->chars, b->chars) << line << " mode " << mode;
      ASSERT_EQ(a->attrs, b->attrs) << line << " mode " << mode;
    }
  }
}

}  // namespace
