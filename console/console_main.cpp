// Start-up, the line loop, command submission and the end of the program.
#include <cstdlib>
#include <string>

#include "console/console.h"
#include "console/editor.h"
#include "console/input.h"
#include "console/terminal.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device.h"
#include "sim/engine/regaccess.h"
#include "sim/frontend.h"

int quitting = 0;

namespace {

constexpr const char* BANNER = "ZELMORAK DSP73500 SIMULATOR:  VERSION 6.1.1  9-4-96";
constexpr const char* DEFAULT_TYPE = "73521";

device_state* shown_state() {
  return shown_device >= 0 && shown_device < DEVICE_MAX ? device_states[shown_device] : nullptr;
}
device_inst* shown_inst() {
  return shown_device >= 0 && shown_device < DEVICE_MAX ? device_insts[shown_device] : nullptr;
}

bool blank(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

// Back at the prompt: the shown device current, the help cycle restarted.
void back_to_prompt() {
  select_device(shown_device);
  show_command_prompt();
  make_device_current(shown_device);
}

}  // namespace

std::string console_prompt() { return std::to_string(shown_device) + ">"; }

void command_submit(const char* line) {
  if (quitting != 0 || line == nullptr) return;
  if (cur_inst == nullptr) make_device_current(shown_device);
  record_command_history(line);
  stop_request = 0;
  if (cur_inst != nullptr) cur_inst->abort = 0;
  // The line runs on the shown device, whose abort word a stop request sets.
  if (device_inst* shown = shown_inst()) shown->abort = 0;
  execute_command_line(shown_device, line);
  if (quitting != 0) return;
  const device_state* s = shown_state();
  if ((s == nullptr || s->running == 0) && macro_running == 0) back_to_prompt();
  make_device_current(shown_device);
}

// The engine's run loop is driven from here, slice by slice, once the run
// commands exist; until then no command arms a run.
bool console_run_slice() {
  const device_state* s = shown_state();
  if (quitting != 0 || s == nullptr || s->running == 0) return false;
  // An armed run with no run loop connected yet: nothing to slice.
  return false;
}

// One line of the running macro, checked by the macro reader, submitted as
// a typed line would be. The macro's end brings the prompt back.
bool console_macro_step() {
  if (quitting != 0 || macro_running == 0) return false;
  std::string line;
  if (read_macro_line(shown_device, line) != 0) {
    command_submit(line.c_str());
  } else if (quitting == 0) {
    back_to_prompt();
  }
  return true;
}

void console_pump() {
  while (quitting == 0 && (console_run_slice() || console_macro_step())) {
  }
}

// Nothing to save or close on a terminal: the loop ends. The quit command
// has closed the macro files already.
void quit_program() { quitting = 1; }

int console_main(int argc, char** argv) {
  terminal_attach();
  input_reset();
  help_keys_console = console_io().in_tty && console_io().prompt != nullptr ? 1 : 0;
  install_signal_handlers();
  std::atexit(terminal_detach);

  index_memory_regions();
  if (create_device(0, DEFAULT_TYPE) == 0) {
    terminal_detach();
    return 1;
  }
  select_device(0);
  session_print(BANNER, 1);

  if (argc > 1 && argv[1] != nullptr) {
    console_submit_typed(argv[1]);
  } else {
    std::string path;
    if (find_file_on_path("startup", ".cmd", path) != 0) command_submit("startup");
  }
  console_pump();

  std::string line;
  while (quitting == 0 && console_read_command(line)) {
    if (blank(line)) continue;
    console_submit_typed(line);
    console_pump();
  }
  close_all_macros();
  for (int d = 0; d < DEVICE_MAX; ++d) end_redirections(d);
  terminal_detach();
  free_all_devices();
  return quit_on_error != 0 ? exit_status : 0;
}
