// The console line editor's keys.
#include "console/editor.h"

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

TEST(line_editor, inserts_moves_and_overwrites) {
  // "abc", left twice, "X": inserted before "b".
  typed t = type_keys({'a', 'b', 'c', 12, 12, 'X'});
  EXPECT_EQ(t.edit.text, "aXbc");
  EXPECT_EQ(t.edit.cursor, 2u);
  // Ctrl-O: the next characters replace; past the end they are added.
  t = type_keys({15, 'Y', 'Z', 'W'}, {}, "ab");
  EXPECT_EQ(t.edit.text, "abYZW");
  t = type_keys({12, 12, 15, 'Y', 'Z', 'W'}, {}, "abc");
  EXPECT_EQ(t.edit.text, "aYZW");
}

TEST(line_editor, deletes_left_right_and_to_the_end) {
  typed t = type_keys({8, 8, 8, 8}, {}, "ab");
  EXPECT_EQ(t.edit.text, "");
  t = type_keys({12, 12, 11}, {}, "abc");  // Ctrl-K under the cursor
  EXPECT_EQ(t.edit.text, "ac");
  t = type_keys({12, 12, 26}, {}, "abcd");  // Ctrl-Z from the cursor on
  EXPECT_EQ(t.edit.text, "ab");
  t = type_keys({127}, {}, "ab");
  EXPECT_EQ(t.edit.text, "a");
}

TEST(line_editor, tab_moves_to_the_next_word_and_ctrl_e_to_the_end) {
  typed t = type_keys({1, 9}, {}, "ab   cd ef");
  EXPECT_EQ(t.edit.cursor, 5u);
  t = type_keys({9}, {}, "ab");
  EXPECT_EQ(t.edit.cursor, 2u);
  t = type_keys({1, 5}, {}, "abc");
  EXPECT_EQ(t.edit.cursor, 3u);
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

TEST(line_editor, text_stays_within_its_limit) {
  edit_options small;
  small.limit = 3;
  typed t = type_keys({'a', 'b', 'c', 'd', 12, 'e'}, small);
  EXPECT_EQ(t.edit.text, "abc");
}

TEST(line_editor, history_walks_back_and_returns_to_the_typed_line) {
  edit_options o;
  o.history = two_entries;
  typed t = type_keys({2}, o, "dis");
  EXPECT_EQ(t.edit.text, "go 10");
  t = type_keys({2, EKEY_UP, EKEY_UP}, o, "dis");
  EXPECT_EQ(t.edit.text, "break p:$40");
  t = type_keys({2, 2, 6}, o, "dis");
  EXPECT_EQ(t.edit.text, "go 10");
  t = type_keys({2, 2, 6, EKEY_DOWN, 6}, o, "dis");
  EXPECT_EQ(t.edit.text, "dis");
  EXPECT_EQ(t.edit.cursor, 3u);
}
