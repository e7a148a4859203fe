#include "frontends/console/editor.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "frontends/console/input.h"
#include "frontends/console/terminal.h"

namespace {

using key_fn = int (*)(line_edit&, const edit_options&);

int end_of_line(line_edit& e, const edit_options&) {
  e.cursor = e.text.size();
  return 0;
}
int start_of_line(line_edit& e, const edit_options&) {
  e.cursor = 0;
  return 0;
}
int delete_left(line_edit& e, const edit_options&) {
  if (e.cursor > 0) e.text.erase(--e.cursor, 1);
  return 0;
}
int delete_right(line_edit& e, const edit_options&) {
  if (e.cursor < e.text.size()) e.text.erase(e.cursor, 1);
  return 0;
}
int delete_to_end(line_edit& e, const edit_options&) {
  e.text.erase(e.cursor);
  return 0;
}
int move_left(line_edit& e, const edit_options&) {
  if (e.cursor > 0) --e.cursor;
  return 0;
}
int move_right(line_edit& e, const edit_options&) {
  if (e.cursor < e.text.size()) ++e.cursor;
  return 0;
}
// Over the rest of the current word, then over the blanks after it.
int next_word(line_edit& e, const edit_options&) {
  while (e.cursor < e.text.size() && e.text[e.cursor] != ' ') ++e.cursor;
  while (e.cursor < e.text.size() && e.text[e.cursor] == ' ') ++e.cursor;
  return 0;
}
int toggle_overwrite(line_edit& e, const edit_options&) {
  e.overwrite = !e.overwrite;
  return 0;
}
int accept(line_edit&, const edit_options&) { return EDIT_ENTER; }
int escape(line_edit& e, const edit_options&) {
  e.text.clear();
  e.cursor = 0;
  return EDIT_ESCAPE;
}
int line_next(line_edit&, const edit_options& o) { return o.line_moves ? EDIT_NEXT : 0; }
int line_previous(line_edit&, const edit_options& o) { return o.line_moves ? EDIT_PREVIOUS : 0; }
int end_of_input(line_edit& e, const edit_options&) { return e.text.empty() ? EDIT_END : 0; }

void show_history(line_edit& e, int index, const edit_options& o) {
  if (e.history_index == -1) e.typed = e.text;
  e.history_index = index;
  e.text = index == -1 ? e.typed : o.history(index);
  if (e.text.size() > o.limit) e.text.resize(o.limit);
  e.cursor = e.text.size();
}
int history_back(line_edit& e, const edit_options& o) {
  if (o.history != nullptr && o.history(e.history_index + 1) != nullptr)
    show_history(e, e.history_index + 1, o);
  return 0;
}
int history_forward(line_edit& e, const edit_options& o) {
  if (o.history != nullptr && e.history_index >= 0) show_history(e, e.history_index - 1, o);
  return 0;
}
int ignore(line_edit&, const edit_options&) { return 0; }

struct key_binding {
  int key;
  key_fn action;
};

// Ctrl-T and Ctrl-V page the session and Ctrl-W toggles the window in a
// windowed session; a terminal pages by itself.
constexpr std::array<key_binding, 28> key_bindings{{
    {1, start_of_line},      {2, history_back},       {4, end_of_input},
    {5, end_of_line},        {6, history_forward},    {8, delete_left},
    {9, next_word},          {10, accept},            {11, delete_right},
    {12, move_left},         {13, accept},            {14, line_next},
    {15, toggle_overwrite},  {18, move_right},        {20, ignore},
    {21, line_previous},     {22, ignore},            {23, ignore},
    {26, delete_to_end},     {27, escape},            {127, delete_left},
    {EKEY_LEFT, move_left},  {EKEY_RIGHT, move_right}, {EKEY_UP, history_back},
    {EKEY_DOWN, history_forward}, {EKEY_HOME, start_of_line}, {EKEY_END, end_of_line},
    {EKEY_DELETE, delete_right},
}};

// Terminal sequences after Esc: "[" or "O", digits, a final letter or "~".
int read_sequence() {
  constexpr int SEQUENCE_GAP_MS = 40;
  const int first = input_read_key(SEQUENCE_GAP_MS);
  // Esc alone: nothing follows it at once.
  if (first == KEY_TIMEOUT || first == KEY_END || first == KEY_INTERRUPTED) return 27;
  if (first != '[' && first != 'O') return EKEY_NONE;
  // Every number the editor knows is small; a longer one stays unknown
  // however many digits follow.
  constexpr int NUMBER_CAP = 1000;
  int number = 0;
  for (;;) {
    const int c = input_read_key(SEQUENCE_GAP_MS);
    if (c >= '0' && c <= '9') {
      number = std::min(number * 10 + (c - '0'), NUMBER_CAP);
      continue;
    }
    switch (c) {
      case 'A': return EKEY_UP;
      case 'B': return EKEY_DOWN;
      case 'C': return EKEY_RIGHT;
      case 'D': return EKEY_LEFT;
      case 'H': return EKEY_HOME;
      case 'F': return EKEY_END;
      case '~':
        if (number == 1 || number == 7) return EKEY_HOME;
        if (number == 4 || number == 8) return EKEY_END;
        if (number == 3) return EKEY_DELETE;
        return EKEY_NONE;
      case ';': continue;
      default: return EKEY_NONE;
    }
  }
}

void draw(std::FILE* out, const std::string& prompt, const line_edit& e) {
  if (out == nullptr) return;
  const std::size_t width = static_cast<std::size_t>(terminal_columns()) - 1;
  const std::size_t room = width > prompt.size() + 1 ? width - prompt.size() : 1;
  const std::size_t offset = e.cursor >= room ? e.cursor - room + 1 : 0;
  std::string row = "\r" + prompt + e.text.substr(offset, room) + "\x1b[K\r";
  const std::size_t column = prompt.size() + e.cursor - offset;
  if (column > 0) row += "\x1b[" + std::to_string(column) + "C";
  std::fputs(row.c_str(), out);
  std::fflush(out);
}

}  // namespace

int edit_apply_key(line_edit& edit, int key, const edit_options& options) {
  if (options.prompt_key != nullptr && options.prompt_key(edit, key)) return 0;
  for (const key_binding& b : key_bindings)
    if (b.key == key) return b.action(edit, options);
  if (key < 32 || key > 126) return 0;
  if (edit.overwrite && edit.cursor < edit.text.size()) {
    edit.text[edit.cursor++] = static_cast<char>(key);
  } else if (edit.text.size() < options.limit) {
    edit.text.insert(edit.cursor++, 1, static_cast<char>(key));
  }
  return 0;
}

int edit_line(const std::string& prompt, std::string& text, const edit_options& options) {
  std::FILE* out = console_io().prompt;
  line_edit edit;
  edit.text = text.size() > options.limit ? text.substr(0, options.limit) : text;
  edit.cursor = std::min(options.cursor, edit.text.size());
  int result = 0;
  {
    raw_keys keys;
    while (result == 0) {
      draw(out, prompt, edit);
      int key = input_read_key(-1);
      if (key == KEY_END) result = EDIT_END;
      else if (key == KEY_INTERRUPTED) result = EDIT_ESCAPE;
      else if (key == 27) key = read_sequence();
      if (result == 0) result = edit_apply_key(edit, key, options);
    }
  }
  if (out != nullptr) {
    std::fputs("\r\x1b[K", out);
    std::fflush(out);
  }
  text = edit.text;
  return result;
}
