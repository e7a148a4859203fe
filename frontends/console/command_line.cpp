// The console's command line: what the GUI's command window does, on a
// terminal or on standard input. A line is checked before it is submitted;
// a refused line is not run and the parser's message is shown. At a
// terminal the line is edited with the console keys, the first word is
// completed on the first blank, blanks after blanks and '?' give help, and
// a refused line comes back for editing with the cursor on the fault.
#include <cstdio>
#include <string>

#include "frontends/console/console.h"
#include "frontends/console/editor.h"
#include "frontends/console/input.h"
#include "frontends/console/terminal.h"
#include "sim/cmd/dispatch.h"
#include "sim/expr/expr.h"
#include "sim/cmd/lexer.h"
#include "sim/engine/device/current_device.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr std::size_t AT_END = static_cast<std::size_t>(-1);

// A refused line waiting to be edited again.
std::string pending_text;
std::size_t pending_cursor = AT_END;

struct completion_state {
  bool completed = false;
  std::size_t length = 0;  // of the completed first word
  const command_descriptor* command = nullptr;
};
completion_state completion;

std::string literal_braces(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '{' || c == '}') out += '$';
    out += c;
  }
  return out;
}

void clear_prompt_row() {
  if (std::FILE* p = console_io().prompt) {
    std::fputs("\r\x1b[K", p);
    std::fflush(p);
  }
}

void show_help(const command_descriptor* command) {
  clear_prompt_row();
  print_command_help(command);
}

bool prompt_key(line_edit& e, int key) {
  if (completion.completed && e.text.size() <= completion.length) completion = {};
  if (key == '?') {
    int depth = 0;
    for (std::size_t k = 0; k < e.cursor && k < e.text.size(); ++k) {
      if (e.text[k] == '{') ++depth;
      else if (e.text[k] == '}') --depth;
    }
    if (depth > 0) return false;  // inside braces it is text
    show_help(completion.completed ? completion.command : nullptr);
    return true;
  }
  if (key != ' ') return false;
  if (e.cursor == 0 || e.text[e.cursor - 1] == ' ') {
    cycle_help_line(1);
    return true;
  }
  if (!completion.completed && e.cursor == e.text.size() &&
      e.text.find_first_of(" \t") == std::string::npos) {
    std::string word = e.text;
    completion.command = complete_command_word(word);
    completion.completed = true;
    completion.length = word.size();
    e.text = word + " ";
    e.cursor = e.text.size();
    return true;
  }
  return false;
}

// The line as typed with the part from the error position to the end of
// its token highlighted; braces of the line itself stay text.
std::string marked_line(const std::string& line, int error_pos) {
  const command_lexer& lx = *cur_lexer;
  const std::size_t pos = static_cast<std::size_t>(error_pos < 0 ? 0 : error_pos);
  if (pos >= line.size()) return literal_braces(line);
  std::size_t end = pos;
  while (end < line.size() && end < LEXER_TEXT_BYTES && lx.text[end] != '\0') ++end;
  if (end == pos) end = pos + 1;
  return literal_braces(line.substr(0, pos)) + "{" + literal_braces(line.substr(pos, end - pos)) +
         "}" + literal_braces(line.substr(end));
}

void report_refused(const std::string& line) {
  const console_streams& io = console_io();
  const char* message = parse_error_text != nullptr ? parse_error_text : "Invalid parameter";
  const int error_pos = cur_lexer->error_pos;
  if (io.out_tty) session_print(marked_line(line, error_pos).c_str(), 1);
  else session_echo(line.c_str(), 1);
  session_print(("{" + literal_braces(message) + "}").c_str(), 1);
  std::string kept = line;
  const int column = show_parse_error(kept);
  if (io.in_tty && io.prompt != nullptr) {
    pending_text = kept;
    pending_cursor = static_cast<std::size_t>(column);
  }
}

}  // namespace

bool console_read_command(std::string& line) {
  const console_streams& io = console_io();
  for (;;) {
    terminal_refresh();
    if (io.in_tty && io.prompt != nullptr) {
      edit_options options;
      options.limit = COMMAND_LINE_MAX;
      options.history = command_history_line;
      options.prompt_key = prompt_key;
      options.cursor = pending_cursor;
      line = pending_text;
      pending_text.clear();
      pending_cursor = AT_END;
      completion = {};
      const int key = edit_line(console_prompt(), line, options);
      if (key == EDIT_END) return false;
      if (key == EDIT_ENTER) {
        gui_status_text(nullptr);
        return true;
      }
      show_command_prompt();
      continue;
    }
    const input_result r = input_read_line(line);
    if (r == input_result::end) return false;
    if (r == input_result::line) return true;
  }
}

bool console_submit_typed(const std::string& line) {
  if (quitting != 0) return false;
  make_device_current(shown_device);
  if (parse_command_line(line.c_str()) == nullptr) {
    report_refused(line);
    return false;
  }
  stop_seen = 0;
  command_submit(line.c_str());
  return true;
}
