// The main window: every selector of the menu table against what it must
// do, the menus and palette while a run goes and after Stop, the trimmed
// items, and the window as it looks after start-up.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <functional>
#include <vector>
#include <filesystem>
#include <string>

#include "fw/core/event.h"
#include "fw/widgets/choosers/filechsr.h"

#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/lists/palette.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"
#include "frontends/gui/dialogs.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/fw_dialogs.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/windows.h"
#include "platform/win/test.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/profiler_iface.h"
#include "sim/frontend/frontend.h"
#include "tests/gui_app/front_end_support.h"
#include "tests/support/png_compare.h"

namespace {

using namespace front_end_test;

// The documented actions by selector: "=line" a fixed line, "D" a command
// dialog, "C kind open format" a file chooser (format: "f" a file, "d" a
// directory, "-" any path), "*" a special action, "0" nothing.
const char* const expected[gui::MENU_SELECTORS] = {
    "C9 1 d path %s", "C9 1 d path + %s", "=path -", "D", "C5 1 f load %s", "C0 1 f load s %s", "D", "D",
    "C0 0 - save s %s", "D", "D", "D", "D", "D", "D", "=streams e", "=streams d", "D", "D",
    "C4 0 - log c %s", "C3 0 - log s %s", "C3 0 - log p %s", "=log v", "D", "C4 1 f %s", "*", "D", "*",
    "=display", "D", "D", "=help stack", "=display v", "=display off", "=disassemble", "D", "=history", "D", "D", "D",
    "=radix", "=device", "=path", "=input", "=output", "=redirect", "=streams", "=log", "=break", "=watch", "D", "D",
    "D", "=more", "=more off", "=view r", "=view a", "=view s", "D", "D", "D", "D", "D", "D", "D", "0", "D", "D",
    "D", "D", "D", "D", "=finish", "D", "D", "D", "D", "D", "D", "*", "=reset s", "0", "D", "0",
    "=wasm", "=wsource", "D", "D", "=wstack", "=wcalls", "C7 1 f wlist %s", "D", "=winput", "=woutput",
    "=wbreakpoint", "=wcommand", "=wsession", "*", "*", "*", "=go", "*", "=step", "=next", "=finish", "D", "*",
    "=reset d",
};

// Runs out whatever a selector started: a run is stopped.
void quiet() {
  for (int i = 0; i < 50 && gui::work_left(); ++i) {
    stop_request = 1;
    run_until(elapsed() + 200);
  }
  stop_request = 0;
}

struct MainWindow : ::testing::Test {
  std::string dir, file;
  void SetUp() override {
    dir = ::testing::TempDir() + "menu_dir";
    std::filesystem::create_directories(dir);
    file = dir + "/macro.cmd";
    std::FILE* f = std::fopen(file.c_str(), "w");
    std::fputs("radix\n", f);
    std::fclose(f);
    start({});
    run_until(6100);
    ASSERT_NE(gui::main_window(), nullptr);
  }
};

TEST_F(MainWindow, EverySelectorDoesWhatItsRowSays) {
  for (int s = 0; s < gui::MENU_SELECTORS; ++s) {
    const std::string want = expected[s];
    SCOPED_TRACE(std::to_string(s) + " " + want);
    gui::script_reset();
    clear_command_history();
    record_command_history("display v");
    if (want[0] == 'C') {
      int kind = 0, open = 0;
      char need = 0;
      char format[32] = "";
      ASSERT_EQ(std::sscanf(want.c_str(), "C%d %d %c %31[^\n]", &kind, &open, &need, format), 4);
      // The wrong kind of path first: nothing is submitted.
      if (need != '-') {
        gui::script_answer(gui::ANSWER_OK, need == 'f' ? dir : file);
        EXPECT_EQ(gui::menu_dispatch_selector(s), 1);
        EXPECT_EQ(newest_line(), "display v");
        quiet();
      }
      const std::string path = need == 'd' ? dir : file;
      gui::script_reset();
      gui::script_answer(gui::ANSWER_OK, path);
      EXPECT_EQ(gui::menu_dispatch_selector(s), 1);
      ASSERT_FALSE(gui::scripted_shown().empty());
      const gui::scripted_dialog& shown = gui::scripted_shown().front();
      EXPECT_EQ(shown.kind, "chooser");
      EXPECT_EQ(shown.chooser.kind, kind);
      EXPECT_EQ(shown.chooser.open, open);
      EXPECT_EQ(shown.text, gui::chooser_title(kind, open));
      char line[300];
      std::snprintf(line, sizeof line, format, path.c_str());
      EXPECT_TRUE(command_history_count() > 0 && std::string(command_history_line(0)).find(line) == 0)
          << "submitted: " << newest_line();
    } else if (want[0] == '=') {
      EXPECT_EQ(gui::menu_dispatch_selector(s), 1);
      EXPECT_EQ(newest_line(), want.substr(1));
    } else if (want == "D") {
      EXPECT_EQ(gui::menu_dispatch_selector(s), 1);
      EXPECT_EQ(newest_line(), "display v") << "a dialog submits nothing itself";
    } else if (want == "0") {
      EXPECT_EQ(gui::menu_dispatch_selector(s), 0);
      EXPECT_EQ(newest_line(), "display v");
    }
    quiet();
  }
  EXPECT_EQ(gui::menu_dispatch_selector(108), 0);
  EXPECT_EQ(gui::menu_dispatch_selector(-1), 0);
}

// The framework's chooser of a File-menu row: a path its command cannot
// take (a FIFO where a file is wanted; a FIFO or a file where a directory
// is) leaves the chooser open; the next path is taken, or Cancel ends it
// with nothing run.
TEST_F(MainWindow, AChooserStaysOpenOnAPathItsCommandRefuses) {
  // Named for the chooser's filter: a name without its extension would
  // be offered with it.
  auto fifo = [&](const char* name) {
    const std::string path = dir + "/" + name;
    std::filesystem::remove(path);
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
    return path;
  };
  struct chooser_case {
    int selector;
    std::vector<std::string> refused;
    std::string taken;  // empty: Cancel
    std::string line;
  };
  const chooser_case cases[] = {
      {24, {fifo("pipe.cmd")}, file, file},             // Execute Macro
      {5, {fifo("pipe.sim")}, "", ""},                  // Load State
      {4, {fifo("pipe.lod")}, "", ""},                  // Load Memory OMF
      {90, {fifo("pipe")}, "", ""},                     // Open List File
      {0, {dir + "/pipe", file}, dir, "path " + dir},   // Select Directory
  };
  gui::install_dialog_services(&gui::framework_dialogs());
  static std::vector<std::function<void()>> steps;
  static std::size_t next;
  static std::vector<std::string> seen;
  static int stray;  // windows closed after the steps: none are expected
  auto chooser = []() -> vfilechsr* {
    vwindow* w = vwindowFindFromMSWWindow(win::GetActiveWindow());
    return w != nullptr && vclassIsSubclass(w->cls, vfilechsrGetDefaultClass()) && vwindowIsOpen(w)
               ? static_cast<vfilechsr*>(w)
               : nullptr;
  };
  auto press = [chooser](const std::string& typed) {
    vfilechsr* c = chooser();
    seen.push_back(c != nullptr ? "open" : "closed");
    if (c == nullptr) return;
    vdialogItem* b = vconfirmFindButton(c, N(typed.empty() ? "Cancel" : "Ok"));
    if (!typed.empty()) vtextitemSetTextChars(c->pathEntry, typed.c_str());
    vrect r = b->rect;
    vdialogItemListTransformRect(b->owner, &r);
    win::POINT p{r.x + r.width / 2, c->rect.height - 1 - (r.y + r.height / 2)};
    win::ClientToScreen(c->native->hwnd, &p);
    win::test::Click(p);
  };
  for (const chooser_case& c : cases) {
    SCOPED_TRACE("row " + std::to_string(c.selector));
    clear_command_history();
    record_command_history("display v");
    steps.clear();
    seen.clear();
    next = 0;
    stray = 0;
    for (const std::string& path : c.refused) steps.push_back([=] { press(path); });
    steps.push_back([=] { press(c.taken); });
    veventIdleHook previous = veventSetIdleHook([] {
      win::test::AdvanceClock(1000);
      if (next < steps.size()) {
        steps[next++]();
      } else if (win::GetActiveWindow() != gui::main_window()->native->hwnd && stray < 20) {
        // A notice or chooser left up would wait for ever: Escape ends it.
        ++stray;
        win::test::KeyDown(win::VK_ESCAPE);
        win::test::KeyUp(win::VK_ESCAPE);
      }
    });
    EXPECT_EQ(gui::menu_dispatch_selector(c.selector), 1);
    veventSetIdleHook(previous);
    EXPECT_EQ(seen, std::vector<std::string>(c.refused.size() + 1, "open")) << "every refusal kept it open";
    EXPECT_EQ(stray, 0);
    EXPECT_EQ(newest_line(), c.line.empty() ? "display v" : c.line);
    quiet();
  }
  gui::install_dialog_services(&gui::scripted_dialogs());
}

// The special rows: Help opens the Session window before the help, Repeat
// runs the newest line again, Quit asks first, Stop sets the request.
TEST_F(MainWindow, HelpRepeatQuitAndStop) {
  opened().clear();
  gui::window_close_all(gui::SIMWIN_SESSION);
  if (gui::sim_window* s = gui::window_find(gui::SIMWIN_SESSION, -2)) s->close(s);
  EXPECT_EQ(gui::menu_dispatch_selector(99), 1);
  EXPECT_EQ(opened(), std::vector<std::string>{"wsession"});
  EXPECT_EQ(newest_line(), "help");
  gui::command_submit("radix");
  clear_command_history();
  record_command_history("display v");
  EXPECT_EQ(gui::menu_dispatch_selector(106), 1);
  EXPECT_EQ(command_history_count(), 1) << "the same line again";
  gui::script_answer(gui::ANSWER_CANCEL);
  EXPECT_EQ(gui::menu_dispatch_selector(27), 1);
  EXPECT_EQ(quitting, 0) << "anything but Ok keeps the program";
  ASSERT_FALSE(gui::scripted_shown().empty());
  EXPECT_EQ(gui::scripted_shown().back().text, "Are you sure you want to quit?");
  EXPECT_EQ(gui::menu_dispatch_selector(79), 1);
  EXPECT_EQ(stop_request, 1);
  stop_request = 0;
  gui::script_answer(gui::ANSWER_OK);
  EXPECT_EQ(gui::menu_dispatch_selector(27), 1);
  EXPECT_EQ(quitting, 1);
}

// A quit request while the quit question is up (the main window's close
// button, File > Quit again) is refused with a beep: no second question,
// and the first one's answer decides.
TEST_F(MainWindow, AQuitRequestWhileTheQuitQuestionIsUpIsRefused) {
  static int beepsDuring;
  static std::size_t shownDuring;
  static int answeredDuring;
  gui::script_answer(gui::ANSWER_OK, {}, [] {
    const int beeps = win::test::BeepCount();
    shownDuring = gui::scripted_shown().size();
    answeredDuring = gui::menu_dispatch_selector(27);
    beepsDuring = win::test::BeepCount() - beeps;
    shownDuring = gui::scripted_shown().size() - shownDuring;
  });
  const std::size_t before = gui::scripted_shown().size();
  EXPECT_EQ(gui::menu_dispatch_selector(27), 1);
  EXPECT_EQ(answeredDuring, 1);
  EXPECT_EQ(beepsDuring, 1);
  EXPECT_EQ(shownDuring, 0u) << "a second quit question";
  EXPECT_EQ(gui::scripted_shown().size(), before + 1);
  EXPECT_EQ(quitting, 1);
  gui::script_reset();
}

std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct cell_box {
  int left, top, width, height;
};
cell_box palette_cell(const char* tag);

// A save's wait for the lock another program holds on its file (text and
// COFF append) ends on Stop, as a run does, reported as a failed open with
// the file as it was; without the other program the append goes through.
TEST_F(MainWindow, StopEndsASavesWaitForAnotherProgramsLock) {
  struct append_case {
    const char* name;
    const char* refusal;
  };
  for (const append_case& c : {append_case{"held.lod", "Error opening file. (Interrupted system call)"},
                               append_case{"held.cld", "Error saving file. (Interrupted system call)"}}) {
    SCOPED_TRACE(c.name);
    const std::string path = dir + "/" + c.name;
    gui::command_submit(("save p:0 " + path + " -o").c_str());
    const std::string before = file_bytes(path);
    ASSERT_FALSE(before.empty());
    const int holder = open(path.c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    // A wait nothing ends would hold the test: the other program lets go
    // on its own after a while, and the append then goes through.
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread other([&] {
      std::unique_lock<std::mutex> lock(m);
      cv.wait_for(lock, std::chrono::seconds(20), [&] { return done; });
      close(holder);
    });
    // The user clicks the palette's Stop while the save waits: the click
    // comes through the window system, as a user's does.
    veventPost(veventCreateClient(
        [](vevent*) {
          const cell_box stop = palette_cell("Palette_Stop");
          win::POINT p{stop.left + stop.width / 2, stop.top + stop.height / 2};
          win::ClientToScreen(gui::main_window()->native->hwnd, &p);
          win::test::Click(p);
          return 1;
        },
        nullptr));
    gui::error_report("before the append");
    gui::command_submit(("save p:1 " + path + " -a").c_str());
    const std::string said = gui::last_error_text();
    const std::string after = file_bytes(path);
    {
      std::lock_guard<std::mutex> lock(m);
      done = true;
    }
    cv.notify_one();
    other.join();
    EXPECT_EQ(said, c.refusal);
    EXPECT_EQ(after, before);
    quiet();
    gui::error_report("before the append");
    gui::command_submit(("save p:1 " + path + " -a").c_str());
    EXPECT_STREQ(gui::last_error_text(), "before the append");
    EXPECT_NE(file_bytes(path), before);
  }
}

// While a go runs only Stop and Quit react; Stop ends the run at the next
// slice and everything comes back.
TEST_F(MainWindow, BusyKeepsOnlyStopAndQuitAndStopEndsTheRun) {
  gui::command_submit("go");
  ASSERT_TRUE(gui::run_chain_live());
  run_until(elapsed() + 50);
  EXPECT_EQ(gui::menu_item_enabled("M_Exec_Stop"), 1);
  EXPECT_EQ(gui::menu_item_enabled("M_File_Quit"), 1);
  EXPECT_EQ(gui::menu_item_enabled("Palette_Stop"), 1);
  for (const char* off : {"M_Exec_Step", "M_File_Macro", "M_Disp_Active", "M_Win_Session", "Palette_Go", "Palette_Step"})
    EXPECT_EQ(gui::menu_item_enabled(off), 0) << off;
  EXPECT_EQ(gui::menu_dispatch_selector(101), 1);
  run_until(elapsed() + 50);
  EXPECT_FALSE(gui::run_chain_live());
  EXPECT_EQ(device_states[0]->running, 0);
  for (const char* on : {"M_Exec_Step", "M_Disp_Active", "M_Win_Session", "Palette_Go", "Palette_Stop"})
    EXPECT_EQ(gui::menu_item_enabled(on), 1) << on;
}

std::string status_bar_text() {
  auto* bar = reinterpret_cast<vtextitem*>(gui::status_bar_get());
  if (bar == nullptr) return "<none>";
  char* s = vtextitemGetString(bar);
  std::string out = s != nullptr ? s : "";
  vmemFree(s);
  return out;
}

// A go of an endless loop shows where it is in the status bar, changing
// as it goes but redrawn at most every tenth of a second; the end of the
// run clears it.
TEST_F(MainWindow, AGoShowsItsProgressInTheStatusBarAndItsEndClearsIt) {
  ASSERT_EQ(status_bar_text(), "");
  gui::command_submit("go");
  ASSERT_TRUE(gui::run_chain_live());
  std::vector<std::string> seen;
  for (int k = 0; k < 4; ++k) {
    run_until(elapsed() + 500);
    seen.push_back(status_bar_text());
  }
  for (const std::string& s : seen) {
    unsigned dev = 9, pc = 0, cycles = 0;
    EXPECT_EQ(std::sscanf(s.c_str(), "dev:%u pc:$%4x cyc:%u", &dev, &pc, &cycles), 3) << s;
    EXPECT_EQ(dev, 0u);
    EXPECT_EQ(cycles % 1000, 0u) << s;
  }
  for (std::size_t k = 1; k < seen.size(); ++k) EXPECT_NE(seen[k], seen[k - 1]) << "half a second later";
  stop_request = 1;
  run_until(elapsed() + 200);
  ASSERT_FALSE(gui::run_chain_live());
  EXPECT_EQ(status_bar_text(), "");
}

// The rectangle of a palette item's icon, centred in its cell, in the
// window's picture (the cell's frame aside).
cell_box palette_cell(const char* tag) {
  auto* p = reinterpret_cast<vpalette*>(vdialogFindItem(gui::main_window(), vnameInternLiteral("Win_Palette")));
  vpaletteItem* item = vpaletteFindItem(p, vnameInternLiteral(tag));
  const std::int32_t index = vpaletteIndexOfItem(p, item);
  vrect r{};
  vlistviewGetCellRect(p, index / p->columns, index % p->columns, &r);
  const int w = std::min<int>(item->image->width, r.width), h = std::min<int>(item->image->height, r.height);
  const int x = r.x + (r.width - w) / 2, y = r.y + (r.height - h) / 2;
  return {x, gui::main_window()->rect.height - y - h, w, h};
}
int differing(const win::test::Image& a, const win::test::Image& b, const cell_box& c) {
  int n = 0;
  for (int y = c.top; y < c.top + c.height; ++y)
    for (int x = c.left; x < c.left + c.width; ++x) n += a.px[y * a.width + x] != b.px[y * b.width + x] ? 1 : 0;
  return n;
}

// While a go runs the palette's buttons but Stop look disabled, and come
// back as they were when it ends.
TEST_F(MainWindow, PaletteButtonsDisabledByARunLookDisabled) {
  run_until(elapsed() + 100);
  const win::HWND window = gui::main_window()->native->hwnd;
  const win::test::Image idle = win::test::WindowImage(window);
  gui::command_submit("go");
  run_until(elapsed() + 300);
  const win::test::Image busy = win::test::WindowImage(window);
  ASSERT_EQ(busy.width, idle.width);
  for (const char* tag : {"Palette_Go", "Palette_Step"}) EXPECT_GT(differing(idle, busy, palette_cell(tag)), 20) << tag;
  EXPECT_EQ(differing(idle, busy, palette_cell("Palette_Stop")), 0);
  stop_request = 1;
  run_until(elapsed() + 300);
  ASSERT_FALSE(gui::run_chain_live());
  const win::test::Image after = win::test::WindowImage(window);
  for (const char* tag : {"Palette_Go", "Palette_Step"}) EXPECT_EQ(differing(idle, after, palette_cell(tag)), 0) << tag;
}

// Trimming: under this look the quit item reads "Exit" and tile and
// cascade stay; the removed break and reset items are gone; without a
// profiler its log item goes too.
TEST_F(MainWindow, TrimmedItems) {
  EXPECT_EQ(gui::menu_item_enabled("M_Win_Tile"), 1);
  EXPECT_EQ(gui::menu_item_enabled("M_Win_Cascade"), 1);
  EXPECT_EQ(gui::menu_item_enabled("M_File_Log_Profile"), 1);
  for (const char* gone : {"M_Exec_Break_SW", "M_Exec_Break_HW", "M_Exec_Reset_System", "M_Exec_Reset_CC"})
    EXPECT_EQ(gui::menu_item_enabled(gone), -1) << gone;
  EXPECT_EQ(gui::menu_item_enabled("M_Exec_Break_Set"), 1);
  gui::sim_window* main = gui::window_find(gui::SIMWIN_MAIN, -1);
  ASSERT_NE(main, nullptr);
  main->close(main);
  profiler_iface* kept = profiler;
  profiler = nullptr;
  ASSERT_NE(gui::main_window_create(), nullptr);
  profiler = kept;
  EXPECT_EQ(gui::menu_item_enabled("M_File_Log_Profile"), -1);
  EXPECT_EQ(gui::menu_item_enabled("M_File_Log_Session"), 1);
  EXPECT_EQ(gui::menu_item_title("M_File_Quit"), "Exit");
}

// Under a look without flag bit 0 the quit item keeps its label and the
// Window menu loses tile and cascade.
TEST_F(MainWindow, TrimmedItemsUnderTheOtherLooks) {
  auto* look = const_cast<vlaf*>(vlafGetCurrent());
  const std::uint32_t kept = look->flags;
  look->flags &= ~1U;
  gui::sim_window* main = gui::window_find(gui::SIMWIN_MAIN, -1);
  ASSERT_NE(main, nullptr);
  main->close(main);
  const bool made = gui::main_window_create() != nullptr;
  look->flags = kept;
  ASSERT_TRUE(made);
  EXPECT_EQ(gui::menu_item_enabled("M_Win_Tile"), -1);
  EXPECT_EQ(gui::menu_item_enabled("M_Win_Cascade"), -1);
  EXPECT_EQ(gui::menu_item_title("M_File_Quit"), "Quit");
  EXPECT_EQ(gui::menu_item_enabled("M_Win_Session"), 1);
}

// The main window made again on the chosen menu-bar road.
vdialog* remake_main(bool native) {
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativemenubar"), native ? "" : "1");
  _vlafRebuildCurrent();
  _vmenuChooseLook();
  gui::sim_window* main = gui::window_find(gui::SIMWIN_MAIN, -1);
  if (main != nullptr) main->close(main);
  return gui::main_window_create();
}

// On the framework-drawn bar of the Windows looks, Alt with a title's
// letter drops that title's menu, and a plain click on a title drops it at
// every try.
TEST_F(MainWindow, TheDrawnBarOpensByAltLetterAndByEveryClick) {
  vdialog* d = remake_main(false);
  ASSERT_NE(d, nullptr);
  auto* bar = reinterpret_cast<vmenubar*>(vdialogFindItem(d, vnameInternLiteral("Main_Menu_Bar")));
  ASSERT_NE(bar, nullptr);
  ASSERT_FALSE(vmenubarIsNative(bar));
  win::SetActiveWindow(d->native->hwnd);
  run_until(elapsed() + 200);
  vmenu* modify = vmenubarAt(bar, 2);
  ASSERT_EQ(modify->tag, vnameInternLiteral("ModifyMenu"));
  win::test::KeyDown(win::VK_MENU);
  win::test::KeyDown('M');
  win::test::KeyUp('M');
  win::test::KeyUp(win::VK_MENU);
  run_until(elapsed() + 200);
  EXPECT_TRUE(vwindowIsOpen(modify)) << "Alt+M drops the Modify menu";
  win::test::KeyDown(win::VK_ESCAPE);
  win::test::KeyUp(win::VK_ESCAPE);
  win::test::KeyDown(win::VK_ESCAPE);
  win::test::KeyUp(win::VK_ESCAPE);
  run_until(elapsed() + 200);

  vmenu* file = vmenubarAt(bar, 0);
  win::POINT p{(bar->rect.x + bar->leftMargin + bar->edges[0]) / 2, d->rect.height - 1 - (bar->rect.y + bar->rect.height / 2)};
  win::ClientToScreen(d->native->hwnd, &p);
  win::POINT away{p.x + 200, p.y + 300};
  for (int click = 1; click <= 3; ++click) {
    win::test::MouseDown(p);
    win::test::MouseUp(p);
    run_until(elapsed() + 200);
    EXPECT_TRUE(vwindowIsOpen(file)) << "click " << click;
    // A press away from the menus ends it.
    win::test::MouseDown(away);
    win::test::MouseUp(away);
    run_until(elapsed() + 600);
    EXPECT_FALSE(vwindowIsOpen(file)) << "after click " << click;
  }
  remake_main(true);
}

// The framework-drawn bar spans the top at its natural height with the
// palette and document area under it, and a press on a title drops its
// menu; the native bar takes no room and leaves the designed layout.
TEST_F(MainWindow, DrawnMenuBarAcrossTheTopAboveThePalette) {
  const auto rect_of = [](vdialog* d, const char* tag) { return vdialogFindItem(d, vnameInternLiteral(tag))->rect; };
  vdialog* d = remake_main(true);
  ASSERT_NE(d, nullptr);
  const vrect native_palette = rect_of(d, "Win_Palette"), native_view = rect_of(d, "Main_View");
  int native_w = -1, native_h = -1;
  vdialogGetItemNaturalSize(vdialogFindItem(d, vnameInternLiteral("Main_Menu_Bar")), &native_w, &native_h);
  EXPECT_EQ(native_w + native_h, 0) << "the native bar takes no room";

  d = remake_main(false);
  ASSERT_NE(d, nullptr);
  auto* bar = reinterpret_cast<vmenubar*>(vdialogFindItem(d, vnameInternLiteral("Main_Menu_Bar")));
  ASSERT_NE(bar, nullptr);
  ASSERT_FALSE(vmenubarIsNative(bar));
  int natural_w = 0, natural_h = 0;
  vdialogGetItemNaturalSize(bar, &natural_w, &natural_h);
  ASSERT_GT(natural_h, 10);
  EXPECT_EQ(bar->rect.x, 0);
  EXPECT_EQ(bar->rect.width, d->rect.width);
  EXPECT_EQ(bar->rect.height, natural_h);
  EXPECT_EQ(bar->rect.y + bar->rect.height, d->rect.height) << "at the very top";
  const vrect palette = rect_of(d, "Win_Palette"), view = rect_of(d, "Main_View");
  EXPECT_EQ(palette.y, native_palette.y - natural_h);
  EXPECT_LE(palette.y + palette.height, bar->rect.y) << "the palette under the bar";
  EXPECT_EQ(view.y, native_view.y);
  EXPECT_EQ(view.height, native_view.height - natural_h);
  EXPECT_LE(view.y + view.height, palette.y);

  // A press in the middle of the first title drops the File menu.
  win::POINT p{(bar->rect.x + bar->leftMargin + bar->edges[0]) / 2, d->rect.height - 1 - (bar->rect.y + bar->rect.height / 2)};
  win::ClientToScreen(d->native->hwnd, &p);
  win::test::MouseDown(p);
  run_until(elapsed() + 200);
  vmenu* file = vmenubarAt(bar, 0);
  EXPECT_EQ(file->tag, vnameInternLiteral("FileMenu"));
  EXPECT_TRUE(vwindowIsOpen(file)) << "the File menu is down";
  win::test::MouseUp(p);
  run_until(elapsed() + 200);

  // Sized by the user, the bar stays on top, full width.
  const int wide = d->rect.width;
  win::RECT frame{};
  win::GetWindowRect(d->native->hwnd, &frame);
  win::SetWindowPos(d->native->hwnd, nullptr, 0, 0, frame.right - frame.left - 300, frame.bottom - frame.top - 200,
                    win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
  run_until(elapsed() + 200);
  ASSERT_EQ(d->rect.width, wide - 300);
  EXPECT_EQ(bar->rect.width, d->rect.width);
  EXPECT_EQ(bar->rect.y + bar->rect.height, d->rect.height);
  EXPECT_LE(rect_of(d, "Win_Palette").y + palette.height, bar->rect.y);
  remake_main(true);
}

// The main window after start-up, headless at 1024 x 768.
TEST_F(MainWindow, LooksAsStored) {
  run_until(elapsed() + 100);
  const win::test::Image image = win::test::WindowImage(gui::main_window()->native->hwnd, true);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(GUI_APP_DATA) + "/main_window.png", 8, 200));
}

}  // namespace

// Under every look the File > Load entries start enabled and their
// sub-menu takes the main window as the File menu does, so it draws in the
// File menu's colours rather than the bare defaults (grey under CUA).
TEST(MainWindowLooks, LoadSubMenuBelongsToTheMainWindowUnderEveryLook) {
  const char* was = vprefGetString(vprefGetDefaultDict(), vscribeLiteral("laf"));
  const std::string kept = was != nullptr ? was : "";
  for (const char* laf : {"cua", "motif", "windows"}) {
    SCOPED_TRACE(laf);
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), laf);
    _vlafRebuildCurrent();
    _vmenuChooseLook();
    start({});
    run_until(6100);
    ASSERT_NE(gui::main_window(), nullptr);
    for (const char* tag : {"M_File_Load_COFF", "M_File_Load_OMF", "M_File_Load_State"})
      EXPECT_EQ(gui::menu_item_enabled(tag), 1) << tag;
    auto* bar = reinterpret_cast<vmenubar*>(
        vdialogFindItem(reinterpret_cast<vdialog*>(gui::main_window()), N("Main_Menu_Bar")));
    ASSERT_NE(bar, nullptr);
    vmenu* file = vmenubarAt(bar, 0);
    vmenu* load = vmenuGetItemSubMenu(vmenuItemListAt(&file->items, 1));
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(load->parent, file->parent) << "the sub-menu answers to the main window";
    vcolor* inner = vwindowDetermineColor(load, vcolorFOREGROUND);
    vcolor* outer = vwindowDetermineColor(file, vcolorFOREGROUND);
    ASSERT_TRUE(inner != nullptr && outer != nullptr);
    EXPECT_TRUE(vcolorSpecsEqual(&inner->desc, &outer->desc)) << "the sub-menu draws in the File menu's colours";
  }
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), kept.c_str());
  _vlafRebuildCurrent();
  _vmenuChooseLook();
}
