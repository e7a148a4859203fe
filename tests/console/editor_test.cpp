// The console line editor's keys.
#include "frontends/console/editor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct typed {
  line_edit edit;
  int ended = 0;
};

// Applies the keys until one ends the edit.
typed type_keys(std::initializer_list<int> keys, const edit_options& options = {},
                const std::string& start = "") {
  typed t;
  t.edit.text = start;
  t.edit.cursor = start.size();
  for (int key : keys) {
    t.ended = edit_apply_key(t.edit, key, options);
    if (t.ended != 0) break;
  }
  return t;
}

const char* two_entries(int index) {
  static const char* const entries[] = {"go 10", "break p:$40"};
  return index >= 0 && index < 2 ? entries[index] : nullptr;
}

}  // namespace

TEST(line_editor, keys_edit_the_text_and_move_the_cursor) {
  edit_options plain, small, history;
  small.limit = 3;
  history.history = two_entries;
  constexpr std::size_t ANY = static_cast<std::size_t>(-1);
  const struct {
    const char* what;
    std::initializer_list<int> keys;
    const edit_options& options;
    const char* start;
    const char* text;  // null: not checked
    std::size_t cursor;
  } cases[] = {
      {"left twice, then X inserted before b", {'a', 'b', 'c', 12, 12, 'X'}, plain, "", "aXbc", 2},
      {"Ctrl-O: the next characters replace, past the end are added", {15, 'Y', 'Z', 'W'}, plain, "ab", "abYZW", ANY},
      {"Ctrl-O inside the text", {12, 12, 15, 'Y', 'Z', 'W'}, plain, "abc", "aYZW", ANY},
      {"backspace deletes left, never past the start", {8, 8, 8, 8}, plain, "ab", "", ANY},
      {"Ctrl-K under the cursor", {12, 12, 11}, plain, "abc", "ac", ANY},
      {"Ctrl-Z from the cursor on", {12, 12, 26}, plain, "abcd", "ab", ANY},
      {"delete key", {127}, plain, "ab", "a", ANY},
      {"tab to the next word", {1, 9}, plain, "ab   cd ef", nullptr, 5},
      {"tab at the end stays", {9}, plain, "ab", nullptr, 2},
      {"Ctrl-E to the end", {1, 5}, plain, "abc", nullptr, 3},
      {"the text stays within its limit", {'a', 'b', 'c', 'd', 12, 'e'}, small, "", "abc", ANY},
      // The history walks back and returns to the typed line.
      {"Ctrl-B: the newest line", {2}, history, "dis", "go 10", ANY},
      {"up arrow: older", {2, EKEY_UP, EKEY_UP}, history, "dis", "break p:$40", ANY},
      {"Ctrl-F: newer again", {2, 2, 6}, history, "dis", "go 10", ANY},
      {"back past the newest: the typed line", {2, 2, 6, EKEY_DOWN, 6}, history, "dis", "dis", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const typed t = type_keys(c.keys, c.options, c.start);
    if (c.text != nullptr) {
      EXPECT_EQ(t.edit.text, c.text);
    }
    if (c.cursor != ANY) {
      EXPECT_EQ(t.edit.cursor, c.cursor);
    }
  }
}

TEST(line_editor, keys_that_end_the_edit) {
  EXPECT_EQ(type_keys({'x', 13}).ended, EDIT_ENTER);
  typed esc = type_keys({'x', 27});
  EXPECT_EQ(esc.ended, EDIT_ESCAPE);
  EXPECT_EQ(esc.edit.text, "");
  EXPECT_EQ(type_keys({4}).ended, EDIT_END);
  EXPECT_EQ(type_keys({'x', 4}).ended, 0);
  // Ctrl-N and Ctrl-U end only a command's question.
  EXPECT_EQ(type_keys({14, 21}).ended, 0);
  edit_options moves;
  moves.line_moves = true;
  EXPECT_EQ(type_keys({14}, moves).ended, EDIT_NEXT);
  EXPECT_EQ(type_keys({21}, moves).ended, EDIT_PREVIOUS);
}
