// Questions a command asks in the middle of its work: a line, the file
// question, the wait. At a terminal they are answered with keys; otherwise
// the answer is the next line of standard input, and at its end the answer
// that loses nothing.
#include <time.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "frontends/console/console.h"
#include "frontends/console/editor.h"
#include "frontends/console/input.h"
#include "frontends/console/terminal.h"
#include "sim/cmd/dispatch.h"
#include "frontends/console/services.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr const char* FILE_QUESTION_STATUS =
    "A file with the same name currently exists - Enter a character:";
constexpr const char* FILE_QUESTION_HELP = "{a = append, o = overwrite, c = cancel command :}";
constexpr const char* WAIT_STATUS = "{Wait command: Type any Key to continue. }";

// Puts the status and help lines back as they were when it goes.
class status_scope {
 public:
  status_scope(const char* status, const char* help)
      : status_(console_status_text()), help_(console_help_text()) {
    gui_status_text(status);
    if (help != nullptr) gui_help_text(help);
  }
  ~status_scope() {
    gui_status_text(status_.c_str());
    gui_help_text(help_.c_str());
  }
  status_scope(const status_scope&) = delete;
  status_scope& operator=(const status_scope&) = delete;

 private:
  std::string status_, help_;
};

// Without status rows (the output is not a terminal) a person at the
// input terminal still has to see the question.
void say_on_prompt_terminal(const char* status, const char* help) {
  const console_streams& io = console_io();
  if (io.out_tty || io.prompt == nullptr) return;
  terminal_flush_output();
  std::fprintf(io.prompt, "%s %s\n", status, help != nullptr ? help : "");
  std::fflush(io.prompt);
}

int file_answer(int c) {
  c = std::tolower(c);
  return c == 'a' || c == 'o' || c == 'c' ? c : 0;
}

// A script's answer is its line's first word when that is a, o or c or
// begins the word it stands for ("app", "overwrite"); a blank line cancels.
// Anything else is no answer (0). Taken from its first letter alone, a
// command that follows by mistake ("output ...", "asm ...") would
// overwrite or append to the file.
int script_file_answer(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return 'c';
  std::size_t end = line.find_first_of(" \t\r", first);
  if (end == std::string::npos) end = line.size();
  std::string word = line.substr(first, end - first);
  for (char& ch : word) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  for (const char* full : {"append", "overwrite", "cancel"}) {
    if (word.size() <= std::strlen(full) && std::strncmp(full, word.c_str(), word.size()) == 0)
      return full[0];
  }
  return 0;
}

// Sleeps, ending early on Ctrl-C.
void sleep_seconds(int seconds) {
  timespec left{seconds, 0};
  while (stop_request == 0 && nanosleep(&left, &left) != 0) {
  }
}

}  // namespace

namespace con {

int gui_prompt_live() { return console_io().in_tty && console_io().prompt != nullptr ? 1 : 0; }

int gui_line_prompt(char* buffer, int length, std::size_t capacity) {
  if (buffer == nullptr || capacity == 0) return EDIT_ESCAPE;
  const std::string offered(buffer, strnlen(buffer, capacity));
  const std::size_t split = std::min(static_cast<std::size_t>(std::max(length, 0)), offered.size());
  const std::string prompt = offered.substr(0, split);
  std::string answer = offered.substr(split);
  const console_streams& io = console_io();
  int result = EDIT_ENTER;
  if (io.in_tty && io.prompt != nullptr) {
    edit_options options;
    options.limit = capacity > prompt.size() + 2 ? capacity - prompt.size() - 2 : 0;
    options.line_moves = true;
    options.cursor = 0;  // right after the prompt, before the offered text
    result = edit_line(prompt, answer, options);
    if (result == EDIT_END) result = EDIT_ESCAPE;
  } else {
    // One answer per line; an empty line, a line holding Esc or the end of
    // input ends the questions, as Esc does, so the lines after them stay
    // commands.
    std::string line;
    if (input_read_line(line) != input_result::line) return EDIT_ESCAPE;
    if (line.find_first_not_of(" \t\r") == std::string::npos || line.find('\x1b') != std::string::npos)
      return EDIT_ESCAPE;
    answer = line;
  }
  if (result == EDIT_ESCAPE) return result;
  std::string text = prompt + " " + answer;
  if (text.size() > capacity - 1) text.resize(capacity - 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return result;
}

int gui_file_question() {
  const console_streams& io = console_io();
  status_scope shown(FILE_QUESTION_STATUS, FILE_QUESTION_HELP);
  if (io.in_tty) {
    say_on_prompt_terminal(FILE_QUESTION_STATUS, FILE_QUESTION_HELP);
    raw_keys keys;
    for (;;) {
      const int key = input_read_key(-1);
      if (key < 0 || key == 27) return 'c';
      if (const int answer = file_answer(key)) return answer;
    }
  }
  // From a script: the next line answers. A line that is no answer
  // cancels and stays the command it is: a script that did not expect the
  // question goes on as written. The question and an answer taken go into
  // the session, where a reader of the run sees them.
  session_print((std::string(FILE_QUESTION_STATUS) + " " + FILE_QUESTION_HELP).c_str(), 1);
  std::string line;
  if (input_read_line(line) != input_result::line) return 'c';
  const int answer = script_file_answer(line);
  if (answer == 0) {
    input_unread_line(line);
    return 'c';
  }
  session_print(line.c_str(), 1);
  return answer;
}

void wait_dialog(int seconds) {
  screen_flush();
  // A script's wait sleeps without reading input: nothing else writes out
  // what came before it.
  terminal_flush_output();
  const console_streams& io = console_io();
  {
    status_scope shown(WAIT_STATUS, nullptr);
    if (io.in_tty) {
      say_on_prompt_terminal(WAIT_STATUS, nullptr);
      raw_keys keys;
      timespec start{};
      clock_gettime(CLOCK_MONOTONIC, &start);
      for (;;) {
        int wait_ms = -1;
        if (seconds > 0) {
          timespec now{};
          clock_gettime(CLOCK_MONOTONIC, &now);
          const long long elapsed =
              (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000;
          wait_ms = static_cast<int>(std::max(0LL, seconds * 1000LL - elapsed));
        }
        const int key = input_read_key(wait_ms);
        if (key != KEY_TIMEOUT || wait_ms == 0) break;
      }
    } else {
      // The key help of the status row goes into a script's session. A
      // wait takes nothing from a script: its next lines are commands.
      session_print(WAIT_STATUS, 1);
      if (seconds > 0) sleep_seconds(seconds);
    }
    // Untimed, with no one at a terminal to cancel it, the wait ends at once.
  }
  if (stop_request != 0 && macro_running != 0) {
    // Ctrl-C abandons the waiting macro. It is reported as outside a macro,
    // so that quit-on-error does not end the program; the stop request is
    // left for the macro reader, which closes the macro files on it.
    const int running = macro_running;
    macro_running = 0;
    error_report("MACRO_ABORTED");
    macro_running = running;
  }
}

}  // namespace con
