// The console line editor: one line edited on the terminal's prompt row
// with the console editing keys (Ctrl-E end of line, Ctrl-H/DEL delete
// left, TAB next word, Ctrl-K delete right, Ctrl-L/Ctrl-R left/right,
// Ctrl-O overwrite/insert, Ctrl-Z delete to the end, Ctrl-B/Ctrl-F through
// the command history, CR to accept, Esc to clear and leave), plus the
// terminal's arrow, Home, End and Delete keys.
#pragma once

#include <cstddef>
#include <string>

// How an edit ended.
constexpr int EDIT_ENTER = 13;
constexpr int EDIT_NEXT = 14;      // Ctrl-N, when the caller moves between lines
constexpr int EDIT_PREVIOUS = 21;  // Ctrl-U, likewise
constexpr int EDIT_ESCAPE = 27;    // Esc (the line is cleared) or Ctrl-C
constexpr int EDIT_END = -1;       // end of input, or Ctrl-D on an empty line

struct line_edit;

struct edit_options {
  std::size_t limit = 255;  // the longest text
  // A command asking for a line moves with Ctrl-N and Ctrl-U; at the
  // command prompt those keys scroll the session, which a terminal does
  // by itself.
  bool line_moves = false;
  // The command history, newest first (index 0); null past the oldest.
  const char* (*history)(int index) = nullptr;
  // Where the cursor starts; past the end means at the end.
  std::size_t cursor = static_cast<std::size_t>(-1);
  // Keys of the command prompt (completion, help) seen before the editing
  // keys; true when the key was taken.
  bool (*prompt_key)(line_edit& edit, int key) = nullptr;
};

// Named keys beyond the byte values, decoded from terminal sequences.
enum edit_key_code : int {
  EKEY_LEFT = 0x101,
  EKEY_RIGHT,
  EKEY_UP,
  EKEY_DOWN,
  EKEY_HOME,
  EKEY_END,
  EKEY_DELETE,
  EKEY_NONE,  // a sequence the editor does not use
};

struct line_edit {
  std::string text;
  std::size_t cursor = 0;
  bool overwrite = false;
  int history_index = -1;  // -1: the line being typed
  std::string typed;       // that line, kept while the history is shown
};

// Applies one key; 0 while the edit goes on, else how it ended.
int edit_apply_key(line_edit& edit, int key, const edit_options& options);

// Edits `text` after `prompt` on the console's prompt terminal, starting
// with the cursor at its end. The prompt row is cleared when the edit ends.
int edit_line(const std::string& prompt, std::string& text, const edit_options& options);
