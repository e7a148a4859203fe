#include "tests/gui_app/front_end_support.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "fw/core/event.h"
#include "fw/core/ex.h"
#include "fw/core/name.h"
#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/window.h"
#include "fw/widgets/startup.h"
#include "frontends/gui/dialogs.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/layout.h"
#include "frontends/gui/road.h"
#include "frontends/gui/session.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/windows.h"
#include "platform/win/kernel.h"
#include "platform/win/test.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/frontend/frontend.h"

namespace front_end_test {

namespace {

std::vector<std::string> lines;
win::ULONGLONG started_at = 0;

void close_stand_in(gui::sim_window* record) {
  vwindow* w = record->window;
  gui::window_record_free(record);
  if (w == nullptr) return;
  if (vwindowIsOpen(w)) vwindowClose(w);
  vwindowDestroy(w);
}

template <int Kind>
void open_stand_in(const char* line) {
  lines.emplace_back(line);
  vwindow* w = vwindowCreate();
  vwindowSetTitleScribe(w, vscribeCString(line));
  w->rect = {10, 10, 200, 100};
  gui::sim_window* r = gui::window_record_new(Kind, Kind == gui::SIMWIN_COMMAND ? -1 : cur_device, 0, w);
  r->close = close_stand_in;
  gui::window_place_near(r);
  vwindowOpen(w);
}

// The framework once for the program, as sim_main starts it.
struct Program : ::testing::Environment {
  void SetUp() override {
    // One home per process: the tests run side by side.
    home = ::testing::TempDir() + "gui_app_home_" + std::to_string(getpid());
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    win::UseVirtualClock(true);
    // The application's file is a copy of sim73500.vr under the program's name.
    static char program[] = "gui_app_tests";
    static char* argv[] = {program, nullptr};
    vwidgetsStartup(1, argv);
    gui::install_gui_frontend();
    use_stand_ins();
  }
  void TearDown() override {
    quitting = 1;
    gui::window_close_all(-2);
    veventMSWDrainMessages();
    free_all_devices();
    vsysRunExitHandlers();
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
  }
  std::string home;
};
[[maybe_unused]] ::testing::Environment* const program = ::testing::AddGlobalTestEnvironment(new Program);

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

}  // namespace

std::vector<std::string>& opened() { return lines; }

win::ULONGLONG elapsed() { return win::GetTickCount64() - started_at; }

void run_until(win::ULONGLONG ms) {
  settle();
  while (elapsed() < ms) {
    win::test::AdvanceClock(std::min<win::ULONGLONG>(100, ms - elapsed()));
    settle();
  }
}

void start(const std::vector<std::string>& args) {
  quitting = 1;
  gui::window_close_all(-2);
  settle();
  // What the last test left queued runs out with the front-end stopped.
  for (int i = 0; i < 20 && gui::work_left(); ++i) run_until(elapsed() + 1000);
  gui::window_records_reset();
  close_all_macros();
  free_all_devices();
  clear_command_history();
  gui::road_reset();
  gui::session_reset();
  gui::script_reset();
  quitting = 0;
  quit_on_error = 0;
  exit_status = 0;
  stop_request = 0;
  more_enabled = 0;
  lines.clear();
  std::vector<std::string> words{"sim73500"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  started_at = win::GetTickCount64();
  ASSERT_EQ(gui::front_end_start(static_cast<int>(words.size()), argv.data(), "73521"), 1);
  gui::install_dialog_services(&gui::scripted_dialogs());
}

std::string newest_line() {
  const char* l = command_history_line(0);
  return l != nullptr ? l : "";
}

void clear_layout() {
  vresource r = gui::layout_resources();
  for (const char* key : {"SavePos", "Devices", "MainWin", "WinPos"})
    vexTry([&] { vresourceRemove(r, vnameInternLiteral(key)); });
}

void use_real_windows() { gui::register_window_kinds(); }

void use_stand_ins() {
  for (int kind = 0; kind < WCMD_COUNT; ++kind) gui::register_window_kind(kind, nullptr);
  gui::register_window_kind(WCMD_SESSION, open_stand_in<gui::SIMWIN_SESSION>);
  gui::register_window_kind(WCMD_COMMAND, open_stand_in<gui::SIMWIN_COMMAND>);
  gui::register_window_kind(WCMD_MEMORY, open_stand_in<gui::SIMWIN_MEMORY>);
}

}  // namespace front_end_test
