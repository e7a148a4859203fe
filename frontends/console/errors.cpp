// The error report and the status and help lines.
#include <string>

#include "frontends/console/console.h"
#include "frontends/console/terminal.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/current_device.h"
#include "frontends/console/services.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr std::size_t ERROR_TEXT_MAX = 255;
constexpr std::size_t STATUS_TEXT_MAX = 89;
constexpr std::size_t HELP_TEXT_MAX = 99;

std::string last_error;
std::string status_text;
std::string help_text;
// Set while "quit ;on error" runs, so that an error reported by the quit
// itself does not start another quit.
bool quitting_on_error = false;

std::string cut(const char* text, std::size_t max) {
  std::string s = text != nullptr ? text : "";
  if (s.size() > max) s.resize(max);
  return s;
}

}  // namespace

namespace con {

// A terminal has no notice dialogs: the highlighted session line is the
// whole report, and the user carries on at the prompt.
void error_report(const char* message) {
  error_reported = 1;
  if (cur_state != nullptr) cur_state->view_mode = 0;
  last_error = cut(message, ERROR_TEXT_MAX);
  std::string line = "{";
  line.append(message != nullptr ? message : "");
  line.push_back('}');
  session_print(line.c_str(), 1);
  screen_flush();
  if (console_io().out_tty) terminal_flush_output();
  if (macro_running == 0 || quit_on_error == 0) return;
  exit_status = 1;
  if (quitting != 0 || quitting_on_error) return;
  quitting_on_error = true;
  execute_command_line(shown_device, "quit ;on error");
  quitting_on_error = false;
}

const char* last_error_text() { return last_error.c_str(); }

// The status row of the terminal is the console's command window, so the
// text is shown there. Without a terminal nothing is shown: a captured
// session holds session text only, and the status texts (key guides,
// syntax lines, progress) are no errors — sending them to the error report
// would count them as errors and, under quit-on-error, end a macro.
void gui_status_text(const char* text) {
  status_text = cut(text, STATUS_TEXT_MAX);
  terminal_show_status(status_text, help_text);
}

void gui_help_text(const char* text) {
  help_text = cut(text, HELP_TEXT_MAX);
  terminal_show_status(status_text, help_text);
}

// The line loop draws the prompt before every read; there is nothing to
// draw in between.
void gui_show_prompt() {}

}  // namespace con

const std::string& console_status_text() { return status_text; }
const std::string& console_help_text() { return help_text; }
