// The GUI as the simulator's front-end, and the window commands' actions.
#include "frontends/gui/frontend.h"

#include <cstdlib>
#include <string>

#include "fw/core/event.h"
#include "frontends/gui/guiutil.h"
#include "frontends/gui/road.h"
#include "frontends/gui/session.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/windows.h"
#include "sim/cmd/hooks.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/current_device.h"

namespace gui {

namespace {

constexpr frontend_services gui_services = {
#define GUI_SERVICE(result, name, parameters, arguments) name,
    FRONTEND_SERVICES(GUI_SERVICE)
#undef GUI_SERVICE
};

// The kind code of each window command, and whether its windows belong to
// a device and are numbered.
struct command_kind {
  int kind;
  bool device_bound;
  bool numbered;
};
constexpr command_kind command_kinds[WCMD_COUNT] = {
    {SIMWIN_ASSEMBLY, true, false}, {SIMWIN_BREAKPOINTS, true, false}, {SIMWIN_CALLS, true, false},
    {SIMWIN_COMMAND, false, false}, {SIMWIN_INPUT, true, false},        {SIMWIN_LIST, false, true},
    {SIMWIN_MEMORY, true, true},    {SIMWIN_OUTPUT, true, false},       {SIMWIN_REGISTER, true, true},
    {SIMWIN_SESSION, false, false}, {SIMWIN_SOURCE, true, false},       {SIMWIN_STACK, true, false},
    {SIMWIN_WATCH, true, true},
};

window_command_hooks hooks{};
window_open_action openers[WCMD_COUNT] = {};
window_open_action closers[WCMD_COUNT] = {};

// The window number named by "win<n>" after the command word, or -2.
int named_number() {
  const char* w = cur_lexer != nullptr ? cur_lexer->word(2) : "";
  if (std::string(w).rfind("win", 0) != 0) return -2;
  char* end = nullptr;
  const long n = std::strtol(w + 3, &end, 10);
  return end != w + 3 && *end == '\0' ? static_cast<int>(n) : -2;
}

void close_record(sim_window* r) {
  if (r->close != nullptr) r->close(r);
  else window_record_free(r);
}

template <int W>
void close_window(const char*) {
  const command_kind& k = command_kinds[W];
  const int device = k.device_bound ? cur_device : -2;
  const int number = k.numbered ? named_number() : -2;
  sim_window* r = window_find(k.kind, device, number);
  if (r == nullptr) {
    // "wstack off" and "wcommand off" without their window say nothing.
    if constexpr (W != WCMD_STACK && W != WCMD_COMMAND) error_report("Window not found");
    return;
  }
  // Register and Memory windows: every one of the device with the number,
  // all of them without one.
  if constexpr (W == WCMD_REGISTER || W == WCMD_MEMORY) {
    for (; r != nullptr; r = window_find(k.kind, device, number)) close_record(r);
  } else {
    close_record(r);
  }
}

template <int W>
void open_window(const char* line) {
  if (openers[W] != nullptr) openers[W](line);
}

template <int... W>
void fill_hooks(std::integer_sequence<int, W...>) {
  ((hooks.off[W] = closers[W] != nullptr ? closers[W] : close_window<W>), ...);
}

template <int... W>
void fill_openers(std::integer_sequence<int, W...>) {
  ((hooks.open[W] = openers[W] != nullptr ? open_window<W> : nullptr), ...);
}

}  // namespace

int gui_line_prompt(char* buffer, int length, std::size_t capacity) {
  return interact_input(buffer, length, capacity);
}
int gui_file_question() { return overwrite_confirm(); }
void wait_dialog(int seconds) { wait_dialog_run(seconds); }
int gui_present() { return 1; }
int gui_prompt_live() { return 1; }
void close_device_windows(int device) { window_close_all(device); }

const frontend_services& gui_frontend_services() { return gui_services; }

void register_window_kind(int window_command, window_open_action open) {
  if (window_command < 0 || window_command >= WCMD_COUNT) return;
  openers[window_command] = open;
  fill_openers(std::make_integer_sequence<int, WCMD_COUNT>());
}

void register_window_off(int window_command, window_open_action off) {
  if (window_command < 0 || window_command >= WCMD_COUNT) return;
  closers[window_command] = off;
  fill_hooks(std::make_integer_sequence<int, WCMD_COUNT>());
}

bool window_kind_registered(int window_command) {
  return window_command >= 0 && window_command < WCMD_COUNT && openers[window_command] != nullptr;
}

void install_gui_frontend() {
  install_simulator_hooks();
  terminal_key_lists = 0;
  fill_hooks(std::make_integer_sequence<int, WCMD_COUNT>());
  fill_openers(std::make_integer_sequence<int, WCMD_COUNT>());
  install_window_command_hooks(&hooks);
  install_frontend(&gui_services);
}

void quit_program() { front_end_quit(); }

}  // namespace gui
