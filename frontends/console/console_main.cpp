// Start-up, the line loop, command submission and the end of the program.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "frontends/console/console.h"
#include "frontends/console/editor.h"
#include "frontends/console/input.h"
#include "frontends/console/terminal.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/logs.h"
#include "sim/engine/device/banner.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/core/runloop.h"
#include "frontends/console/services.h"
#include "sim/frontend/frontend.h"

namespace {

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
  // A stop request that comes while a macro runs is for the macro reader.
  if (macro_running == 0) stop_request = 0;
  if (cur_inst != nullptr) cur_inst->abort = 0;
  // The line runs on the shown device, whose abort word a stop request sets.
  if (device_inst* shown = shown_inst()) shown->abort = 0;
  execute_command_line(shown_device, line);
  if (quitting != 0) return;
  const device_state* s = shown_state();
  if ((s == nullptr || s->running == 0) && macro_running == 0) back_to_prompt();
  make_device_current(shown_device);
}

namespace {

using steady = std::chrono::steady_clock;
steady::time_point progress_drawn{};
bool progress_shown = false;

bool any_device_on() {
  for (int d = 0; d < DEVICE_MAX; ++d)
    if (device_insts[d] != nullptr && (device_insts[d]->flags & DEV_EXCLUDED) == 0) return true;
  return false;
}

// The status row while a run lasts. A terminal redraw costs more than a
// thousand cycles, so the row changes at most a few times a second.
void show_run_progress(const device_inst& inst, bool now) {
  const steady::time_point t = steady::now();
  if (!now && t - progress_drawn < std::chrono::milliseconds(100)) return;
  progress_drawn = t;
  progress_shown = true;
  char text[96];
  std::snprintf(text, sizeof text,
                "{SIMULATION IN PROGRESS.} Enter Ctrl-C to Halt. dev:%d pc:%04" PRIx32
                " cyc:%" PRIu32,
                shown_device, inst.pc, inst.cycles);
  gui_status_text(text);
  // A script's session shows the status row's line once, as the run
  // starts: nobody sees the row itself.
  if (now && !console_io().in_tty) session_print(text, 1);
}

}  // namespace

// One slice of the armed run: up to a thousand rounds (in a trace by
// instructions, up to the shown device's next instruction end), each a
// device cycle of every device that takes part. A
// participating device that has stopped ends the run for all and becomes
// the shown device. True while there was a run to work on.
bool console_run_slice() {
  device_state* s = shown_state();
  if (quitting != 0 || s == nullptr || s->running == 0) return false;
  const int mode = s->run_mode;
  const bool by_instruction = mode == RUN_TRACE_INSTR;
  const int rounds = RUN_SLICE_ROUNDS;
  const bool counts_progress = mode == RUN_GO || mode > RUN_STEP_CYCLE;
  if (counts_progress && !progress_shown && shown_inst() != nullptr)
    show_run_progress(*shown_inst(), true);
  bool ended = false;
  for (int k = 0; k < rounds && !ended && quitting == 0;) {
    s = shown_state();
    if (s == nullptr || s->running == 0) {
      ended = true;
      break;
    }
    // The shown device switched off (before the run or by a breakpoint's
    // command) is never clocked: a go runs the devices that are on until
    // one stops; counted runs of the shown device, or a go with no device
    // on, end at once. One selected or deleted by a breakpoint's command
    // ends the run at once, before a device that is not running is
    // clocked into a free run.
    if ((shown_inst()->flags & DEV_EXCLUDED) != 0 && (mode != RUN_GO || !any_device_on())) {
      s->running = 0;
      ended = true;
      break;
    }
    for (int d = 0; d < DEVICE_MAX; ++d) {
      const device_inst* inst = device_insts[d];
      const device_state* st = device_states[d];
      if (inst != nullptr && st != nullptr && st->running == 0 && (inst->flags & DEV_EXCLUDED) == 0) {
        select_device(d);
        session_redraw(d);
        ended = true;
        break;
      }
    }
    if (ended) break;
    k += by_instruction ? run_device_slice_instruction(shown_device, rounds - k) : run_device_slice(rounds - k);
    s = shown_state();
    const device_inst* shown = shown_inst();
    if (s == nullptr || shown == nullptr || s->running == 0) {
      ended = true;
      break;
    }
    // Slices of many rounds end where they stop, not on a thousand.
    if (counts_progress && (shown->cycles % 1000 == 0 || rounds > 1)) show_run_progress(*shown, false);
    if (by_instruction) break;
  }
  if (ended && quitting == 0) {
    // A person at the terminal sees where the run stopped at once, even
    // when a macro goes on.
    if (console_io().out_tty) terminal_flush_output();
    progress_shown = false;
    gui_status_text("");
    window_update_all(-2);
    if (macro_running == 0) back_to_prompt();
    else make_device_current(shown_device);
  }
  return true;
}

// One line of the running macro, checked by the macro reader, submitted as
// a typed line would be. The macro's end brings the prompt back.
bool console_macro_step() {
  if (quitting != 0 || macro_running == 0) return false;
  if (stop_seen != 0) {
    stop_seen = 0;
    close_all_macros();
    back_to_prompt();
    return true;
  }
  std::string line;
  if (read_macro_line(shown_device, line) != 0) {
    command_submit(line.c_str());
  } else if (quitting == 0) {
    back_to_prompt();
  }
  return true;
}

// Output held back is written out at least every FLUSH_INTERVAL_MS while
// the work goes on, also when it has gone quiet.
void console_pump() {
  terminal_flush_if_due();
  while (quitting == 0 && (console_run_slice() || console_macro_step())) terminal_flush_if_due();
}

namespace {

// Memory running out outside a command (reading, checking or recording a
// line) abandons that line; the session goes on.
template <typename Work>
void keep_session(Work work) {
  try {
    work();
  } catch (const std::bad_alloc&) {
    try {
      error_report("Insufficient memory: command abandoned");
    } catch (const std::bad_alloc&) {
    }
  }
}

}  // namespace

namespace con {

// Nothing to save or close on a terminal: the loop ends. The quit command
// has closed the macro files already.
void quit_program() { quitting = 1; }

}  // namespace con

int console_main(int argc, char** argv) {
  install_console_frontend();
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
  session_print(SIM_BANNER, 1);

  keep_session([&] {
    if (argc > 1 && argv[1] != nullptr) {
      console_submit_typed(argv[1]);
    } else {
      std::string path;
      if (find_file_on_path("startup", ".cmd", path) != 0) command_submit("startup");
    }
    console_pump();
  });

  std::string line;
  bool more = true;
  while (more && quitting == 0) {
    keep_session([&] {
      more = console_read_command(line);
      if (!more || blank(line)) return;
      console_submit_typed(line);
      console_pump();
    });
  }
  close_all_macros();
  close_all_logs();
  for (int d = 0; d < DEVICE_MAX; ++d) end_redirections(d);
  terminal_detach();
  free_all_devices();
  // Output that could not be written is a failed session.
  if (terminal_output_failed()) return quit_on_error != 0 && exit_status != 0 ? exit_status : 1;
  return quit_on_error != 0 ? exit_status : 0;
}
