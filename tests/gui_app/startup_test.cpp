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
#include "frontends/gui/dialogs.h"
#include "frontends/gui/layout.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/windows.h"
#include "platform/win/test.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"
#include "tests/gui_app/front_end_support.h"

namespace {

using namespace front_end_test;

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

// A damaged layout (rectangles of any size or sign, kinds, devices,
// regions, peripherals and numbers out of range, values of the wrong kind,
// short arrays) never stops the start: each value is used, brought onto
// the screen or dropped, the good windows come back and the argument
// still runs 2 s later.
TEST(StartUp, ADamagedLayoutNeverStopsTheStart) {
  clear_layout();
  use_real_windows();
  vresource r = gui::layout_resources();
  vresourceSetInteger(r, N("SavePos"), 0);
  vresource devices = vresourceCreateArray(r, N("Devices"), vresDICTIONARY, 4);
  const int device_rows[][2] = {{1000, 0}, {-1, 0}, {2, -7}, {4, 0}};
  for (int i = 0; i < 4; ++i) {
    vresource e = vresourceGetAt(devices, i);
    vresourceSetInteger(e, N("DevNum"), device_rows[i][0]);
    vresourceSetInteger(e, N("DevType"), device_rows[i][1]);
  }
  vresource main_rect = vresourceCreateArray(vresourceGetDict(r, N("MainWin")), N("Rect"), vresINTEGER, 4);
  for (int k = 0; k < 4; ++k) vresourceSetAtInteger(main_rect, k, k < 2 ? -32768 : 32767);
  struct saved {
    int kind, device, number;
    std::vector<int> rect;  // its length as saved
    int extra;              // MemNum or PeriphNum, -1 none
  };
  const std::vector<saved> rows = {
      {gui::SIMWIN_SESSION, -1, 0, {0, 0, 400, 32767}, -1},
      {gui::SIMWIN_SOURCE, -1, 0, {-32768, -5, -100, -3}, -1},
      {gui::SIMWIN_LIST, -1, 2147483647, {10, 10, 200, 100}, -1},
      {gui::SIMWIN_LIST, -1, -3, {10, 10, 200, 100}, -1},
      {99, -1, 0, {10, 10, 200, 100}, -1},
      {-1, -1, 0, {10, 10, 200, 100}, -1},
      {gui::SIMWIN_MEMORY, 31, 1, {10, 10, 200, 100}, 0},
      {gui::SIMWIN_MEMORY, 0, 1, {10, 10, 200, 100}, -9},
      {gui::SIMWIN_REGISTER, 0, 1, {10, 10, 200, 100}, 123456},
      {gui::SIMWIN_WATCH, 0, 0, {10, 10, 200, 100}, -1},
      {gui::SIMWIN_ASSEMBLY, 0, 0, {10, 10}, -1},
      {gui::SIMWIN_COMMAND, -1, 0, {32000, 32000, 32767, 32767}, -1},
      {gui::SIMWIN_CALLS, 2147483647, 0, {10, 10, 200, 100}, -1},
      {gui::SIMWIN_STACK, 0, 0, {20, 30, 300, 200}, -1},
  };
  vresource windows = vresourceCreateArray(r, N("WinPos"), vresDICTIONARY, static_cast<std::int32_t>(rows.size()) + 2);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    vresource e = vresourceGetAt(windows, static_cast<std::int32_t>(i));
    const saved& w = rows[i];
    vresource rect = vresourceCreateArray(e, N("Rect"), vresINTEGER, static_cast<std::int32_t>(w.rect.size()));
    for (std::size_t k = 0; k < w.rect.size(); ++k) vresourceSetAtInteger(rect, static_cast<std::int32_t>(k), w.rect[k]);
    vresourceSetInteger(e, N("WinType"), w.kind);
    vresourceSetInteger(e, N("DevNum"), w.device);
    vresourceSetInteger(e, N("WinNum"), w.number);
    if (w.extra != -1) vresourceSetInteger(e, N(w.kind == gui::SIMWIN_MEMORY ? "MemNum" : "PeriphNum"), w.extra);
  }
  // Values of the wrong kind: a rectangle of strings, a kind as a string.
  vresource words = vresourceGetAt(windows, static_cast<std::int32_t>(rows.size()));
  vresource text_rect = vresourceCreateArray(words, N("Rect"), vresSTRING, 4);
  for (int k = 0; k < 4; ++k) vresourceSetAtString(text_rect, k, vscribeLiteral("x"));
  vresourceSetInteger(words, N("WinType"), gui::SIMWIN_BREAKPOINTS);
  vresourceSetInteger(words, N("DevNum"), -1);
  vresourceSetInteger(words, N("WinNum"), 0);
  vresource kind_text = vresourceGetAt(windows, static_cast<std::int32_t>(rows.size()) + 1);
  vresourceSetString(kind_text, N("WinType"), vscribeLiteral("wcalls"));
  vresourceSetInteger(kind_text, N("DevNum"), -1);
  vresourceSetInteger(kind_text, N("WinNum"), 0);

  start({"evaluate 77"});
  run_until(8200);
  ASSERT_NE(gui::main_window(), nullptr);
  EXPECT_NE(device_insts[4], nullptr) << "the good device comes back";
  EXPECT_TRUE(in_history("evaluate 77")) << "the argument still runs";
  const vrect screen = vwindowGetRoot()->rect;
  const vrect main = gui::main_window()->rect;
  EXPECT_GT(main.width, 0);
  EXPECT_LE(main.width, screen.width);
  EXPECT_LE(main.height, screen.height);
  for (int kind : {gui::SIMWIN_SESSION, gui::SIMWIN_SOURCE, gui::SIMWIN_COMMAND, gui::SIMWIN_STACK}) {
    SCOPED_TRACE(kind);
    gui::sim_window* w = gui::window_find(kind, -2);
    ASSERT_NE(w, nullptr) << "restored";
    const vrect area = gui::document_bounds();
    const vrect got = w->window->rect;
    EXPECT_GT(got.width, 0);
    EXPECT_GT(got.height, 0);
    EXPECT_LE(got.width, area.width);
    EXPECT_LE(got.height, area.height);
    EXPECT_GE(got.x, area.x - got.width / 2) << "within reach";
    EXPECT_LE(got.x, area.x + area.width);
  }
  EXPECT_EQ(gui::window_find(gui::SIMWIN_STACK, -2)->window->rect.width, 300) << "a sound rectangle is used as saved";
  EXPECT_EQ(gui::window_find(gui::SIMWIN_LIST, -2), nullptr) << "no list window of a number out of range";
  EXPECT_EQ(gui::window_find(gui::SIMWIN_CALLS, -2), nullptr) << "no window of a device out of range";
  for (const char* bad : {"win2147483647", "win-3"}) EXPECT_FALSE(printed(bad)) << bad;
  use_stand_ins();
  clear_layout();
}

// A store with "SavePos" on but no Command window among its saved ones (as
// a session that ended without its quit leaves it, or a damaged one) still
// gives a place to type: the default windows it lacks open beside the
// sound saved ones; a saved Command window alone is the user's choice.
TEST(StartUp, ALayoutWithoutACommandWindowStillOpensOne) {
  struct layout {
    const char* what;
    std::vector<int> kinds;  // saved windows; -1 a damaged element
    std::vector<std::string> expected;
  };
  const mem_region& region = device_types[0]->regions[0];
  char memory[96];
  std::snprintf(memory, sizeof memory, "wmemory win1 %s $%x", region.name, region.low);
  const std::vector<layout> cases = {
      {"nothing saved", {}, {"wsession", "wcommand"}},
      {"a damaged element", {-1}, {"wsession", "wcommand"}},
      {"a Memory window", {gui::SIMWIN_MEMORY}, {memory, "wsession", "wcommand"}},
      {"a Session window", {gui::SIMWIN_SESSION}, {"wsession", "wcommand"}},
      {"a Command window", {gui::SIMWIN_COMMAND}, {"wcommand"}},
  };
  for (const layout& c : cases) {
    clear_layout();
    vresource r = gui::layout_resources();
    vresourceSetBoolean(r, N("SavePos"), 1);
    if (!c.kinds.empty()) {
      vresource windows = vresourceCreateArray(r, N("WinPos"), vresDICTIONARY, static_cast<int>(c.kinds.size()));
      for (std::size_t i = 0; i < c.kinds.size(); ++i) {
        vresource e = vresourceGetAt(windows, static_cast<int>(i));
        if (c.kinds[i] < 0) {
          vresourceSetInteger(e, N("WinType"), gui::SIMWIN_COMMAND);  // no rectangle, no numbers
          continue;
        }
        vresource rect = vresourceCreateArray(e, N("Rect"), vresINTEGER, 4);
        for (int k = 0; k < 4; ++k) vresourceSetAtInteger(rect, k, 50 + 100 * k);
        vresourceSetInteger(e, N("WinType"), c.kinds[i]);
        const bool memory_window = c.kinds[i] == gui::SIMWIN_MEMORY;
        vresourceSetInteger(e, N("DevNum"), memory_window ? 0 : -1);
        vresourceSetInteger(e, N("WinNum"), memory_window ? 1 : 0);
        if (memory_window) vresourceSetInteger(e, N("MemNum"), 0);
      }
    }
    start({});
    run_until(6100);
    EXPECT_EQ(opened(), c.expected) << c.what;
    EXPECT_NE(gui::window_find(gui::SIMWIN_COMMAND, -2), nullptr) << c.what;
    gui::front_end_quit();
  }
  clear_layout();
}

// Quit with "SavePos" on writes the devices and windows; the next start
// in the same home brings them back.
TEST(StartUp, TheLayoutSavedAtQuitComesBackAtTheNextStart) {
  clear_layout();
  vresourceSetInteger(gui::layout_resources(), N("SavePos"), 1);
  start({});
  run_until(6100);
  // No saved windows yet: the default ones, as on a first start.
  EXPECT_EQ(opened(), (std::vector<std::string>{"wsession", "wcommand"}));
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

namespace {

// A saved main window too low (or too narrow) to be shown, wherever it
// was, comes back as one that can be, and the start goes on to run the
// argument.
TEST(StartUp, ASavedMainWindowTooSmallToShowComesBackShowable) {
  const std::vector<std::vector<int>> rects = {
      {10, 10, 700, 0}, {300, 200, 640, 1}, {-40, 900, 900, 2}, {0, 0, 0, 0}, {5000, -5000, 1, 480}};
  for (const std::vector<int>& saved : rects) {
    SCOPED_TRACE(::testing::PrintToString(saved));
    clear_layout();
    use_real_windows();
    vresource r = gui::layout_resources();
    vresourceSetInteger(r, N("SavePos"), 1);
    vresource rect = vresourceCreateArray(vresourceGetDict(r, N("MainWin")), N("Rect"), vresINTEGER, 4);
    for (int k = 0; k < 4; ++k) vresourceSetAtInteger(rect, k, saved[static_cast<std::size_t>(k)]);
    start({"evaluate 78"});
    run_until(8200);
    ASSERT_NE(gui::main_window(), nullptr);
    EXPECT_TRUE(in_history("evaluate 78")) << "the argument still runs";
    const vrect screen = vwindowGetRoot()->rect;
    const vrect main = gui::main_window()->rect;
    EXPECT_GE(main.height, 100);
    EXPECT_GE(main.width, 100);
    EXPECT_GE(main.x, screen.x);
    EXPECT_GE(main.y, screen.y);
    EXPECT_LE(main.x + main.width, screen.x + screen.width);
    EXPECT_LE(main.y + main.height, screen.y + screen.height);
    EXPECT_NE(gui::window_find(gui::SIMWIN_COMMAND, -2), nullptr);
    gui::front_end_quit();
    use_stand_ins();
  }
  clear_layout();
}

}  // namespace
