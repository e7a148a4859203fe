// Questions a command asks: a line to edit, and what to do with an output
// file that exists already. The front-end asks them its own way.
#include <sys/stat.h>

#include <string>

#include "sim/cmd/dispatch.h"
#include "sim/frontend/frontend.h"

int edit_command_line(char* buffer, int first_column) {
  return gui_line_prompt(buffer, first_column, LINE_BUFFER_BYTES);
}

void show_answer_error(const char* text, const std::string& edited) {
  gui_status_text(text);
  if (gui_prompt_live() != 0 || text == nullptr) return;
  if (!edited.empty()) session_echo(edited.c_str(), 1);
  const std::string line = std::string("{") + text + "}";
  session_print(line.c_str(), 1);
}

int ask_file_exists(const char* path, int mode) {
  struct stat info {};
  if (path == nullptr || stat(path, &info) != 0) return 0;
  if (mode == 1) return 1;
  if (mode == 2) return -1;
  if (mode != 0) return 0;
  switch (gui_file_question()) {
    case 'a': return 1;
    case 'o': return 0;
    default: return -1;
  }
}
