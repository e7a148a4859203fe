// Start-up in virtual time, checked on the platform's message trace: the
// About box at once, the main window with the Session and Command windows
// 6 s later, the argument 2 s after that; a saved layout instead of the
// default windows; the quit with its layout and status.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fw/core/name.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/dialog.h"
#include "gui/dialogs.h"
#include "gui/layout.h"
#include "gui/main_window.h"
#include "gui/road.h"
#include "gui/startup.h"
#include "gui/windows.h"
#include "platform/win/test.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device.h"
#include "sim/frontend.h"
#include "tests/gui_app/front_end_support.h"

namespace {

using namespace front_end_test;

vname N(const char* s) { return vnameInternLiteral(s); }

// Whether the trace shows the window being shown.
bool shown_in(const std::vector<win::test::TraceEntry>& trace, vwindow* w) {
  if (w == nullptr || w->native == nullptr) return false;
  return std::any_of(trace.begin(), trace.end(), [&](const win::test::TraceEntry& e) {
    return e.hwnd == w->native->hwnd && e.message == win::WM_SHOWWINDOW && e.wParam != 0;
  });
}

std::vector<win::test::TraceEntry> traced_until(win::ULONGLONG ms) {
  win::test::StartTrace();
  run_until(ms);
  return win::test::StopTrace();
}

// Whether a line of device 0's session holds the text.
bool printed(const std::string& text) {
  for (const auto& line : device_states[0]->session.lines)
    if (std::string(line.data()).find(text) != std::string::npos) return true;
  return false;
}

bool in_history(const std::string& line) {
  for (int i = 0; i < command_history_count(); ++i)
    if (line == command_history_line(i)) return true;
  return false;
}

TEST(StartUp, AboutThenTheMainWindowAndItsWindowsThenTheArgument) {
  clear_layout();
  win::test::StartTrace();
  start({"display v"});
  run_until(0);
  auto trace = win::test::StopTrace();
  auto* about = static_cast<vdialog*>(gui::about_dialog());
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(shown_in(trace, about)) << "the About box at 0 s";
  EXPECT_STREQ(about->title, "Sim73500");
  EXPECT_EQ(gui::main_window(), nullptr);

  traced_until(4900);
  EXPECT_EQ(gui::about_dialog(), about) << "still up before 5 s";
  EXPECT_EQ(gui::main_window(), nullptr);
  traced_until(5100);
  EXPECT_EQ(gui::about_dialog(), nullptr) << "closed at 5 s";
  EXPECT_EQ(gui::main_window(), nullptr) << "the main window 1 s later";

  trace = traced_until(6100);
  ASSERT_NE(gui::main_window(), nullptr);
  EXPECT_TRUE(shown_in(trace, gui::main_window())) << "the main window at 6 s";
  EXPECT_EQ(opened(), (std::vector<std::string>{"wsession", "wcommand"}));
  EXPECT_NE(gui::window_find(gui::SIMWIN_STARTUP, -1), nullptr);

  run_until(7900);
  EXPECT_FALSE(in_history("display v"));
  run_until(8100);
  EXPECT_EQ(newest_line(), "display v") << "the argument at 8 s";
  EXPECT_FALSE(gui::work_left());
}

// The user closes the About box early: the time-out finds nothing to
// close and the chain goes on.
TEST(StartUp, AnAboutBoxClosedByTheUserLeavesTheChainGoing) {
  clear_layout();
  start({});
  run_until(1000);
  auto* about = static_cast<vdialog*>(gui::about_dialog());
  ASSERT_NE(about, nullptr);
  vdialogItem* close = vdialogFindItem(about, N("Close"));
  ASSERT_NE(close, nullptr);
  vdialogNotifyItem(close, nullptr);
  run_until(1100);
  EXPECT_FALSE(vwindowIsOpen(about));
  run_until(8100);
  EXPECT_NE(gui::main_window(), nullptr);
  EXPECT_EQ(opened().size(), 2U);
}

// A refused argument is submitted all the same: the dispatcher reports it.
TEST(StartUp, ABadArgumentIsStillSubmitted) {
  clear_layout();
  start({"frobnicate 12"});
  run_until(8100);
  EXPECT_EQ(newest_line(), "frobnicate 12");
  EXPECT_TRUE(printed("frobnicate 12"));
  EXPECT_TRUE(printed("Too many parameters")) << "the dispatcher's report";
}

// A saved layout brings back its devices and windows, in the saved order,
// and none of the default ones; elements out of range are skipped.
TEST(StartUp, ASavedLayoutGivesOnlyItsWindows) {
  clear_layout();
  vresource r = gui::layout_resources();
  vresourceSetInteger(r, N("SavePos"), 0);
  vresource devices = vresourceCreateArray(r, N("Devices"), vresDICTIONARY, 3);
  auto device = [&](int i, int number, int type) {
    vresource e = vresourceGetAt(devices, i);
    vresourceSetInteger(e, N("DevNum"), number);
    vresourceSetInteger(e, N("DevType"), type);
  };
  device(0, 0, 0);
  device(1, 3, 0);
  device(2, 5, 999);  // no such type
  vresource windows = vresourceCreateArray(r, N("WinPos"), vresDICTIONARY, 3);
  auto window = [&](int i, int kind, int dev, int number, int mem) {
    vresource e = vresourceGetAt(windows, i);
    vresource rect = vresourceCreateArray(e, N("Rect"), vresINTEGER, 4);
    for (int k = 0; k < 4; ++k) vresourceSetAtInteger(rect, k, 40 + 10 * i + k);
    vresourceSetInteger(e, N("WinType"), kind);
    vresourceSetInteger(e, N("DevNum"), dev);
    vresourceSetInteger(e, N("WinNum"), number);
    if (mem != -2) vresourceSetInteger(e, N("MemNum"), mem);
  };
  window(0, gui::SIMWIN_MEMORY, 3, 2, 1);
  window(1, gui::SIMWIN_MEMORY, 3, 3, 4000);  // no such region
  window(2, gui::SIMWIN_COMMAND, -1, 0, -2);
  start({});
  run_until(6100);
  EXPECT_NE(device_insts[3], nullptr) << "dv3 made again, though 1 and 2 were not saved";
  EXPECT_EQ(device_insts[5], nullptr);
  const mem_region& region = device_types[0]->regions[1];
  char memory[96];
  std::snprintf(memory, sizeof memory, "wmemory win2 %s $%x", region.name, region.low);
  EXPECT_EQ(opened(), (std::vector<std::string>{memory, "wcommand"}));
  gui::sim_window* restored = gui::window_find(gui::SIMWIN_COMMAND, -1);
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->window->rect.x, 60) << "on its saved rectangle";
  EXPECT_EQ(restored->window->rect.width, 62);
  clear_layout();
}

// Quit with "SavePos" on writes the devices and windows; the next start
// in the same home brings them back.
TEST(StartUp, TheLayoutSavedAtQuitComesBackAtTheNextStart) {
  clear_layout();
  vresourceSetInteger(gui::layout_resources(), N("SavePos"), 1);
  start({});
  run_until(6100);
  EXPECT_TRUE(opened().empty()) << "no saved windows yet";
  gui::command_submit("wsession");
  gui::command_submit("wcommand");
  gui::command_submit("device dv2 73521");
  gui::command_submit("device dv0");
  gui::front_end_quit();
  EXPECT_EQ(quitting, 1);
  EXPECT_EQ(gui::window_records().size(), 0U) << "every window closed, the main one too";
  vresource devices;
  ASSERT_TRUE(vresourceTestGet(gui::layout_resources(), N("Devices"), &devices));
  EXPECT_EQ(vresourceCount(devices), 2);
  vresource saved;
  ASSERT_TRUE(vresourceTestGet(gui::layout_resources(), N("WinPos"), &saved));
  EXPECT_EQ(vresourceCount(saved), 2) << "Session and Command; main window apart, start-up record not kept";
  vresource main_win;
  EXPECT_TRUE(vresourceTestGet(gui::layout_resources(), N("MainWin"), &main_win));

  start({});
  run_until(6100);
  EXPECT_NE(device_insts[2], nullptr);
  EXPECT_EQ(opened(), (std::vector<std::string>{"wsession", "wcommand"}));
  clear_layout();
}

// The quit rule: "quit e" and a failing macro line end with status 1,
// otherwise 0.
TEST(StartUp, QuitOnErrorGivesStatusOne) {
  clear_layout();
  start({});
  run_until(6100);
  EXPECT_EQ(gui::front_end_status(), 0);
  const std::string path = ::testing::TempDir() + "failing.cmd";
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::fputs("quit e\nfrobnicate\ndisplay v\n", f);
  std::fclose(f);
  gui::command_submit(path.c_str());
  run_until(7000);
  EXPECT_EQ(quitting, 1);
  EXPECT_EQ(gui::front_end_status(), 1);
  EXPECT_FALSE(in_history("display v")) << "nothing after the failing line";
}

}  // namespace
