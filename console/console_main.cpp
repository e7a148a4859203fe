// Start-up, the line loop, command submission and the end of the program.
#include <cstdlib>
#include <string>

#include "console/console.h"
#include "console/editor.h"
#include "console/input.h"
#include "console/terminal.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device.h"
#include "sim/engine/regaccess.h"
#include "sim/frontend.h"

int quitting = 0;

namespace {

constexpr const char* BANNER = "ZELMORAK DSP73500 SIMULATOR:  VERSION 6.1.1  9-4-96";
constexpr const char* DEFAULT_TYPE = "73521";
constexpr std::size_t COMMAND_LINE_MAX = 255;

device_state* shown_state() {
  return shown_device >= 0 && shown_device < DEVICE_MAX ? device_states[shown_device] : nullptr;
}
device_inst* shown_inst() {
  return shown_device >= 0 && shown_device < DEVICE_MAX ? device_insts[shown_device] : nullptr;
}

// The next command line; false at the end of input. A line given up with
// Esc or Ctrl-C at the terminal is dropped and the prompt comes again.
bool read_command(std::string& line) {
  const console_streams& io = console_io();
  for (;;) {
    terminal_refresh();
    const std::string prompt = console_prompt();
    if (io.in_tty && io.prompt != nullptr) {
      edit_options options;
      options.limit = COMMAND_LINE_MAX;
      // The command history comes with the command language; its entries
      // are offered here through options.history.
      line.clear();
      const int key = edit_line(prompt, line, options);
      if (key == EDIT_END) return false;
      if (key == EDIT_ENTER) return true;
      continue;
    }
    const input_result r = input_read_line(line);
    if (r == input_result::end) return false;
    if (r == input_result::line) return true;
  }
}

bool blank(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

}  // namespace

std::string console_prompt() { return std::to_string(shown_device) + ">"; }

void command_submit(const char* line) {
  if (quitting != 0 || line == nullptr) return;
  if (cur_inst == nullptr) make_device_current(shown_device);
  // The command history arrives with the command language:
  // record_command_history (line) belongs here.
  stop_request = 0;
  if (cur_inst != nullptr) cur_inst->abort = 0;
  // The line runs on the shown device, whose abort word a stop request sets.
  if (device_inst* shown = shown_inst()) shown->abort = 0;
  execute_command_line(shown_device, line);
  if (quitting != 0) return;
  const device_state* s = shown_state();
  if ((s == nullptr || s->running == 0) && macro_running == 0) select_device(shown_device);
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

// The macro reader feeds its lines through command_submit from here once
// the macro command exists.
bool console_macro_step() {
  if (quitting != 0 || macro_running == 0) return false;
  // A macro open with no macro reader connected yet: nothing to read.
  return false;
}

void console_pump() {
  while (quitting == 0 && (console_run_slice() || console_macro_step())) {
  }
}

// Nothing to save or close on a terminal: the loop ends. Open macro files
// are closed by the macro reader's close_all_macros once it exists.
void quit_program() { quitting = 1; }

int console_main(int argc, char** argv) {
  terminal_attach();
  input_reset();
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
    command_submit(argv[1]);
  } else {
    std::string path;
    if (find_file_on_path("startup", ".cmd", path) != 0) command_submit("startup");
  }
  console_pump();

  std::string line;
  while (quitting == 0 && read_command(line)) {
    if (blank(line)) continue;
    command_submit(line.c_str());
    console_pump();
  }
  terminal_detach();
  free_all_devices();
  return quit_on_error != 0 ? exit_status : 0;
}
