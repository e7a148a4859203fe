// Command submission, the error report, the background run and the macro
// steps. One thread: runs and macros advance only through client events
// posted 1 ns ahead, so that window and input events interleave.
//
// - The command road (`frontends/gui/road.cpp`): `command_submit` runs a line and then queues exactly one
//   client event (priority 0, 1 ns ahead): a run slice while the shown device runs, else the macro's
//   next step (its wait poll while the Wait notice is up), else it refreshes the windows idle and
//   shows the prompt. A slice runs up to 1000 rounds through `run_device_slice` (one in trace by
//   instruction, one at a time in run modes 14, 19 and 21, which end a slice when the mode changes);
//   a participating device that stopped ends the run and becomes the shown device.
//
// - One run chain and one macro chain: a flag is set while a chain's event is queued (and, for runs,
//   while its slice runs). A modal dialog pauses every running device and a running macro and, when
//   it closes, posts a step only for a chain that is not live, so a dialog opened inside a slice or
//   a macro line never leaves two chains.
#include "frontends/gui/road.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/event.h"
#include "frontends/gui/command_window.h"
#include "frontends/gui/session.h"
#include "frontends/gui/windows.h"
#include "platform/win/kernel.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/expr/expr.h"
#include "sim/engine/core/runloop.h"
#include "sim/frontend/frontend.h"

namespace gui {

status_bar* main_status_bar = nullptr;
int wait_pending = 0;
int modal_active = 0;
bool waits_unattended = false;

namespace {

constexpr std::size_t ERROR_TEXT_MAX = 255;
constexpr std::size_t STATUS_TEXT_MAX = 89;
constexpr std::size_t HELP_TEXT_MAX = 99;
constexpr int STEP_PRIORITY = 0;
constexpr int WAIT_TIMEOUT_PRIORITY = 254;
// An unattended run's macro wait looks for a stop this often: its clock is
// virtual and moves only when the loop waits, which a poll due at once
// would never let it do.
constexpr std::int64_t WAIT_POLL_NS = 50 * 1000 * 1000;

std::string last_error;
std::string status_line;
std::string help_line;
std::string prompt_line;
bool quitting_on_error = false;

// One run chain and one macro chain: a flag while an event of the chain
// is queued, and for the run chain while its slice runs too. A restart
// posts only when none is live, so that a dialog opened inside a slice or
// a macro line never starts a second chain beside the one on the stack.
bool run_live = false;
bool macro_live = false;

// The Wait notice while it is up.
void* wait_notice = nullptr;

std::string cut(const char* text, std::size_t max) {
  std::string s = text != nullptr ? text : "";
  if (s.size() > max) s.resize(max);
  return s;
}

device_state* shown_state() {
  return shown_device >= 0 && shown_device < DEVICE_MAX ? device_states[shown_device] : nullptr;
}
device_inst* shown_inst() {
  return shown_device >= 0 && shown_device < DEVICE_MAX ? device_insts[shown_device] : nullptr;
}

void post_step(vevent* event, veventHandler handler, void* data, std::int64_t delay_ns = 1) {
  if (event == nullptr) event = veventCreateClient(handler, data);
  event->handler = handler;
  event->data = data;
  event->priority = STEP_PRIORITY;
  veventPostDelayed(event, 0, delay_ns);
}

void post_run(vevent* reuse) {
  if (run_live && reuse == nullptr) return;
  run_live = true;
  post_step(reuse, background_run_step, main_status_bar);
}

// The macro's next step: its wait poll while the Wait notice is up. A
// reused event that is not wanted (a chain is live already) is dropped
// by the dispatch that runs it.
void post_macro(vevent* reuse) {
  if (macro_live) return;
  macro_live = true;
  if (wait_pending != 0) post_step(reuse, macro_wait_poll, nullptr, waits_unattended ? WAIT_POLL_NS : 1);
  else post_step(reuse, macro_continue, nullptr);
}

void back_to_prompt() {
  window_refresh_all(0, -2);
  select_device(shown_device);
  show_command_prompt();
}

// Shows the run's progress in the status bar the event carries.
void show_progress(status_bar* bar, const device_inst& inst) {
  if (bar == nullptr) return;
  char text[64];
  std::snprintf(text, sizeof text, "dev:%d pc:$%04" PRIx32 " cyc:%" PRIu32, shown_device, inst.pc, inst.cycles);
  bar->text = text;
  ++bar->invalidations;
  if (bar->show == nullptr) return;
  const std::uint64_t now = win::GetTickCount64();
  if (bar->shown && now - bar->shown_at < status_bar::SHOW_INTERVAL_MS) return;
  bar->show(text);
  bar->shown_at = now;
  bar->shown = true;
}

void clear_progress(status_bar* bar) {
  if (bar == nullptr) return;
  bar->text.clear();
  ++bar->invalidations;
  bar->shown = false;
  if (bar->show != nullptr) bar->show("");
}

bool participates(int d) {
  return device_insts[d] != nullptr && (device_insts[d]->flags & DEV_EXCLUDED) == 0;
}

bool any_device_on() {
  for (int d = 0; d < DEVICE_MAX; ++d)
    if (participates(d)) return true;
  return false;
}

// The participating device that has stopped, or -1.
int stopped_device() {
  for (int d = 0; d < DEVICE_MAX; ++d)
    if (participates(d) && device_states[d] != nullptr && device_states[d]->running == 0) return d;
  return -1;
}

// Runs up to `rounds` rounds of the slice; true when the run ended.
bool run_rounds(int rounds, int mode, status_bar* bar) {
  const bool counts_progress = mode == RUN_GO || mode > RUN_STEP_CYCLE;
  // Modes that end a slice when the run mode changes go a round at a time.
  const bool watch_mode = mode == 14 || mode == 19 || mode == 21;
  for (int k = 0; k < rounds && quitting == 0;) {
    device_state* s = shown_state();
    if (s == nullptr || s->running == 0) return true;
    // The shown device switched off is never clocked: a go runs the
    // devices that are on until one stops; other runs end at once.
    if ((shown_inst()->flags & DEV_EXCLUDED) != 0 && (mode != RUN_GO || !any_device_on())) {
      s->running = 0;
      return true;
    }
    const int d = stopped_device();
    if (d >= 0) {
      select_device(d);
      shown_device = d;
      session_redraw(d);
      return true;
    }
    const device_inst* inst = shown_inst();
    const uint32_t before = inst->cycles;
    k += run_device_slice(watch_mode ? 1 : rounds - k);
    s = shown_state();
    inst = shown_inst();
    if (s == nullptr || inst == nullptr || s->running == 0) return true;
    // The status shows when the cycle count passes a multiple of 1000.
    if (counts_progress && (inst->cycles % 1000 == 0 || inst->cycles / 1000 != before / 1000))
      show_progress(bar, *inst);
    if (mode == RUN_TRACE_INSTR && (inst->flags & (DEV_INSTR_END | DEV_INSTR_END2)) != 0) return false;
    if (watch_mode && s->run_mode != mode) return false;
  }
  return false;
}

}  // namespace

void command_submit(const char* line) {
  if (line == nullptr || quitting != 0) return;
  if (cur_inst == nullptr) make_device_current(shown_device);
  if (macro_running == 0) window_refresh_all(1, -2);
  record_command_history(line);
  stop_request = 0;
  if (cur_inst != nullptr) cur_inst->abort = 0;
  if (device_inst* shown = shown_inst()) shown->abort = 0;
  execute_command_line(shown_device, line);
  if (quitting != 0) return;
  device_state* s = shown_state();
  if (s != nullptr && s->running != 0) post_run(nullptr);
  else if (macro_running != 0) post_macro(nullptr);
  else back_to_prompt();
  // The screen is held over the window updates and shown once after
  // them; a hold left standing would keep every later line off the screen.
  if (s != nullptr && s->running == 0 && wait_pending == 0) {
    screen_hold_set(1);
    window_update_all(shown_device);
    output_release();
  }
  make_device_current(shown_device);
}

void submit_checked(const char* line) {
  if (line == nullptr || quitting != 0) return;
  make_device_current(shown_device);
  const bool accepted = parse_command_line(line) != nullptr;
  const std::string message = parse_error_text != nullptr ? parse_error_text : "Invalid parameter";
  command_submit(line);
  if (!accepted && quitting == 0) error_report(message.c_str());
}

void error_report(const char* message) {
  if (message == nullptr) message = "";
  error_reported = 1;
  if (cur_state != nullptr) cur_state->view_mode = 0;
  last_error = cut(message, ERROR_TEXT_MAX);
  const std::string line = std::string("{") + message + "}";
  session_print(line.c_str(), 1);
  screen_flush();
  if (macro_running == 0) {
    modal_dialog_run([&] { return dialogs().notice_run(message, nullptr, nullptr, false); });
    if (macro_running == 0) return;
  }
  if (quit_on_error == 0) return;
  exit_status = 1;
  // An error reported by the quit itself starts no second quit.
  if (quitting != 0 || quitting_on_error) return;
  quitting_on_error = true;
  execute_command_line(shown_device, "quit ;on error");
  quitting_on_error = false;
}

const char* last_error_text() { return last_error.c_str(); }

int abort_requested() {
  if (stop_request != 0) {
    if (device_inst* shown = shown_inst()) shown->abort = 1;
    stop_request = 0;
  }
  return cur_inst != nullptr ? cur_inst->abort : 0;
}

// A wait on another program (a file's lock) inside a command: what is
// pending runs as between a run's slices, where the windows are busy and
// only Stop and Quit answer.
int stop_check() {
  if (stop_request == 0 && quitting == 0) {
    // The window system's input first (a click on Stop, a repaint), then
    // the events it queued.
    veventProcessPending(0, 0);
    veventProcessPending(1, 0);
  }
  // A quit signal is taken by the loop that waits: it asks to quit.
  return stop_request != 0 || quitting != 0 || veventQuitPending() != 0 ? 1 : 0;
}

int stop_poll_ms() { return 50; }

int background_run_step(vevent* event) {
  auto* bar = static_cast<status_bar*>(event->data);
  if (quitting != 0) {
    run_live = false;
    return 1;
  }
  screen_hold_set(0);
  const device_state* s = shown_state();
  const int mode = s != nullptr ? s->run_mode : RUN_GO;
  const int rounds = mode == RUN_TRACE_INSTR ? 1 : RUN_SLICE_ROUNDS;
  const bool ended = run_rounds(rounds, mode, bar);
  if (quitting != 0) {
    run_live = false;
    return 1;
  }
  if (!ended) {
    veventPostDelayed(event, 0, 1);
    return 1;
  }
  run_live = false;
  window_update_all(-2);
  show_command_prompt();
  clear_progress(bar);
  if (macro_running != 0) post_macro(event);
  else window_refresh_all(0, -2);
  make_device_current(shown_device);
  return 1;
}

int macro_continue(vevent* event) {
  macro_live = false;
  if (macro_running == 0 || quitting != 0) return 1;
  if (wait_pending != 0) {
    post_macro(event);
    return 1;
  }
  std::string line;
  if (read_macro_line(shown_device, line) != 0) {
    command_submit(line.c_str());
  } else if (quitting == 0) {
    back_to_prompt();
    make_device_current(shown_device);
  }
  const device_state* s = shown_state();
  if (quitting == 0 && s != nullptr && s->running == 0) window_update_all(shown_device);
  return 1;
}

int macro_wait_poll(vevent* event) {
  macro_live = false;
  if (macro_running == 0 || quitting != 0) return 1;
  if (abort_requested() != 0) {
    wait_pending = 0;
    if (wait_notice != nullptr) {
      dialogs().notice_close_later(wait_notice);
      wait_notice = nullptr;
    }
    close_all_macros();
    error_report("MACRO_ABORTED");
    back_to_prompt();
    return 1;
  }
  post_macro(event);
  return 1;
}

bool run_chain_live() { return run_live; }
bool macro_chain_live() { return macro_live; }

namespace {

// The second of Cancel and the time-out finds the wait over.
void end_wait() {
  if (wait_pending == 0) return;
  wait_pending = 0;
  if (wait_notice != nullptr) dialogs().notice_close_later(wait_notice);
  wait_notice = nullptr;
  window_update_all(-2);
}

int wait_timeout(vevent* event) {
  if (event->data == wait_notice) end_wait();
  return 1;
}

}  // namespace

void wait_dialog_run(int seconds) {
  screen_flush();
  // A wait typed while another is up replaces it.
  if (wait_notice != nullptr) dialogs().notice_close_later(wait_notice);
  wait_notice = nullptr;
  wait_pending = 0;
  // Untimed, with no one to press Cancel, the wait ends at once, as the
  // terminal's does once its input has ended.
  if (seconds <= 0 && waits_unattended) return;
  wait_notice = dialogs().notice_open("Wait command: Press Cancel to continue", "Cancel", end_wait);
  wait_pending = 1;
  if (seconds > 0) {
    vevent* e = veventCreateClient(wait_timeout, wait_notice);
    e->priority = WAIT_TIMEOUT_PRIORITY;
    veventPostDelayed(e, seconds, 0);
  }
}

namespace {

struct paused_work {
  bool running[DEVICE_MAX] = {};
  bool macro = false;
};

paused_work pause_work(bool refresh_as_paused) {
  paused_work p;
  for (int d = 0; d < DEVICE_MAX; ++d) {
    if (device_states[d] == nullptr || device_states[d]->running == 0) continue;
    p.running[d] = true;
    device_states[d]->running = 0;
    if (refresh_as_paused) window_refresh_all(1, d);
  }
  if (macro_running != 0) {
    p.macro = true;
    macro_running = 0;
  }
  return p;
}

void resume_work(const paused_work& p, bool refresh_as_resumed) {
  bool restarted = false;
  for (int d = 0; d < DEVICE_MAX; ++d) {
    if (!p.running[d] || device_states[d] == nullptr) continue;
    device_states[d]->running = 1;
    if (refresh_as_resumed) window_refresh_all(1, d);
    restarted = true;
  }
  if (restarted && quitting == 0) post_run(nullptr);
  if (p.macro) {
    macro_running = 1;
    if (quitting == 0) post_macro(nullptr);
  }
}

}  // namespace

dialog_answer modal_dialog_run(const std::function<dialog_answer()>& run) {
  const paused_work p = pause_work(false);
  modal_active = 1;
  const dialog_answer answer = run();
  modal_active = 0;
  resume_work(p, true);
  return answer;
}

dialog_answer modal_chooser_run(const std::function<dialog_answer()>& run) {
  const paused_work p = pause_work(true);
  modal_active = 1;
  dialog_answer answer = ANSWER_CLOSE;
  try {
    answer = run();
  } catch (...) {
    answer = ANSWER_CLOSE;
  }
  modal_active = 0;
  resume_work(p, false);
  return answer;
}

namespace {

struct chooser_kind {
  const char* filter;
  const char* save_title;
  const char* open_title;
};
constexpr chooser_kind chooser_kinds[] = {
    {"SimState", "Save State", "Load State"},
    {"COFF", "Save Memory COFF", "Load Memory COFF"},
    {"IO", "Open IO File", "Open IO File"},
    {"Log", "Open Log File", "Open Log File"},
    {"Macro", "Open Log File", "Execute Macro File"},
    {"OMF", "Save Memory OMF", "Load Memory OMF"},
    {"TIO", "Open Timed IO File", "Open Timed IO File"},
    {"Default", "Open List File", "Open List File"},
    {"Default", "Open Stream File", "Open Stream File"},
    {"Dir", "Select Directory", "Select Directory"},
};
constexpr int CHOOSER_KINDS = static_cast<int>(std::size(chooser_kinds));
constexpr int KIND_LIST = 7;
constexpr int KIND_DIRECTORY = 9;
constexpr unsigned CHOOSER_DIRECTORY = 0x38, CHOOSER_OPEN = 0x14, CHOOSER_SAVE = 0x18;
constexpr std::size_t PATH_MAX_CHARS = 255;

}  // namespace

const char* chooser_title(int kind, int open) {
  if (kind < 0 || kind >= CHOOSER_KINDS) return "";
  return open != 0 ? chooser_kinds[kind].open_title : chooser_kinds[kind].save_title;
}

int file_chooser_run(chooser_callback callback, int kind, int open, chooser_callback accept) {
  if (kind < 0 || kind >= CHOOSER_KINDS) return 0;
  make_device_current(shown_device);
  chooser_request r;
  r.kind = kind;
  r.open = open;
  if (kind == KIND_DIRECTORY) {
    r.directory = true;
    r.options = CHOOSER_DIRECTORY;
  } else {
    r.options = open != 0 ? CHOOSER_OPEN : CHOOSER_SAVE;
    r.filters.emplace_back("Default");
    if (kind != KIND_LIST) {
      r.filters.emplace_back(chooser_kinds[kind].filter);
      r.current_filter = 1;
    }
  }
  r.title = chooser_title(kind, open);
  r.start_dir = cur_inst != nullptr ? cur_inst->work_dir : std::string();
  if (accept != nullptr) r.accept = [accept](const std::string& p) { return accept(p) != 0; };
  std::string path;
  const dialog_answer answer = modal_chooser_run([&] { return dialogs().chooser_run(r, path); });
  if (answer != ANSWER_OK || callback == nullptr) return 0;
  // A cut path would name another file.
  if (path.size() > PATH_MAX_CHARS) {
    error_report("File name too long");
    return 0;
  }
  return callback(path);
}

int overwrite_confirm() {
  const dialog_answer a = modal_dialog_run(
      [] { return dialogs().notice_run("A file with that name currently exists", "Append", "Overwrite", true); });
  return a == ANSWER_OK ? 'a' : a == ANSWER_NO ? 'o' : 'c';
}

int interact_input(char* text, int prompt_length, std::size_t capacity) {
  constexpr std::size_t FIELD_MAX = 99;
  if (text == nullptr || capacity == 0) return 27;
  const bool macro = macro_running != 0;
  macro_running = 0;
  const std::string all = text;
  const std::size_t split = std::min(all.size(), static_cast<std::size_t>(std::max(prompt_length, 0)));
  std::string input = all.substr(split);
  modal_active = 1;
  const dialog_answer a = dialogs().line_run(all.substr(0, split), input);
  modal_active = 0;
  int key = 27;
  if (a == ANSWER_OK || a == ANSWER_APPLY) {
    std::snprintf(text, capacity, "%s %s", cut(all.substr(0, split).c_str(), FIELD_MAX).c_str(),
                  cut(input.c_str(), FIELD_MAX).c_str());
    key = 13;
  } else {
    show_command_prompt();
  }
  if (macro) {
    macro_running = 1;
    if (quitting == 0) post_macro(nullptr);
  }
  return key;
}

void gui_status_text(const char* text) {
  status_line = cut(text, STATUS_TEXT_MAX);
  show_error_line(status_line.c_str());
}
void gui_help_text(const char* text) {
  help_line = cut(text, HELP_TEXT_MAX);
  show_help_line(help_line.c_str());
}
const std::string& status_text() { return status_line; }
const std::string& help_text() { return help_line; }
void gui_show_prompt() {
  prompt_line = command_prompt_text();
  show_prompt();
}
const std::string& prompt_text() { return prompt_line; }

void road_reset() {
  wait_pending = 0;
  modal_active = 0;
  run_live = macro_live = false;
  wait_notice = nullptr;
  last_error.clear();
  status_line.clear();
  help_line.clear();
  prompt_line.clear();
  main_status_bar = nullptr;
}

}  // namespace gui
