// The Session window as a user meets it: opened and closed by its command,
// drawing the current device's output with highlighted runs in red,
// scrolling back through the ring and keeping the cursor's line through a
// resize.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "fw/widgets/controls/control.h"
#include "frontends/gui/command_window.h"
#include "frontends/gui/session_window.h"
#include "tests/gui/gui_window_support.h"
#include "tests/support/png_compare.h"

namespace {

struct SessionWindow : GuiWindowFixture {
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::register_session_window();
    gui::command_submit("wsession");
    settle();
    clock.advance(1100);  // the re-layout posted at open
    settle();
  }
  vdialog* dialog() { return gui::session_dialog(); }
  vdialogItem* text() { return vdialogFindItem(dialog(), N("Session_Text")); }
  vcontrol* bar() { return reinterpret_cast<vcontrol*>(vdialogFindItem(dialog(), N("Session_Scroll"))); }
  // A size change as the window manager makes it.
  void user_resize(int width, int height) {
    win::SetWindowPos(dialog()->native->hwnd, nullptr, 0, 0, width, height,
                      win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    settle();
  }
  // The bar moved as a press on it moves it.
  void user_scroll(int value) {
    vcontrolSetValue(bar(), value);
    vdialogNotifyItem(bar(), nullptr);
    settle();
  }
  win::test::Image picture() { return win::test::WindowImage(dialog()->native->hwnd); }
  // The number of pure red pixels on display row `row`.
  int red_pixels(int row) {
    const win::test::Image image = picture();
    const int lh = gui::session_line_height();
    int n = 0;
    for (int y = row * lh; y < (row + 1) * lh && y < image.height; ++y)
      for (int x = 0; x < image.width; ++x)
        if ((image.px[static_cast<std::size_t>(y * image.width + x)] & 0xFFFFFF) == 0xFF0000) ++n;
    return n;
  }
};

TEST_F(SessionWindow, OpensOnceSizedForItsGridAndClosesByItsCommand) {
  ASSERT_NE(dialog(), nullptr);
  EXPECT_TRUE(vwindowIsOpen(dialog()));
  EXPECT_EQ(gui::session_open, 1);
  EXPECT_EQ(gui::screen().rows, 22);
  EXPECT_EQ(gui::screen().columns, 81);
  EXPECT_EQ(gui::screen().page_length, 22);
  EXPECT_GT(gui::session_char_width(), 1);
  EXPECT_GT(gui::session_line_height(), 1);
  // A second open raises the one window; every command re-titles it.
  vdialog* first = dialog();
  gui::command_submit("wsession");
  settle();
  EXPECT_EQ(dialog(), first);
  EXPECT_EQ(gui::window_records().size(), 1u);
  EXPECT_STREQ(first->title, "Dv00 Session");
  gui::command_submit("wsession off");
  settle();
  EXPECT_EQ(gui::session_open, 0);
  EXPECT_EQ(gui::window_find(gui::SIMWIN_SESSION, -2), nullptr);
  gui::command_submit("wsession off");
  EXPECT_STREQ(gui::last_error_text(), "Window not found");
  // Output while it is closed shows when it opens again.
  session_print("kept while closed", 0);
  gui::command_submit("wsession");
  settle();
  bool found = false;
  for (int i = 0; i < gui::screen().rows; ++i) found = found || row(i) == "kept while closed";
  EXPECT_TRUE(found);
}

TEST_F(SessionWindow, HighlightedRunsAreRedAndTheBarScrollsBackThroughTheRing) {
  for (int i = 0; i < 60; ++i) session_print(("line " + std::to_string(i)).c_str(), 0);
  session_print("plain {marked} plain", 0);
  settle();
  const int last = gui::screen().rows - 1;
  ASSERT_EQ(row(last, true), "plain {marked} plain");
  EXPECT_GT(red_pixels(last), 10) << "the highlighted run";
  EXPECT_EQ(red_pixels(last - 1), 0) << "a plain line";
  EXPECT_TRUE(test_support::MatchesPng(picture(), std::string(std::getenv("SIM_TEST_DATA")) + "/gui/session.png", 8));
  // Thumb at the bottom: the newest lines. Ten steps up shows ten lines older.
  ASSERT_EQ(bar()->value, 0);
  user_scroll(10);
  EXPECT_EQ(row(last), "line 50");
  EXPECT_EQ(row(0), "line " + std::to_string(60 - 10 - last));
  // New output jumps back to the newest lines.
  gui::command_submit("echo back");
  settle();
  EXPECT_EQ(bar()->value, 0);
  EXPECT_EQ(row(last - 1), "plain marked plain");
}

TEST_F(SessionWindow, AResizeKeepsTheCursorLineFromTheBottomOnTheScreen) {
  for (int i = 0; i < 30; ++i) session_print(("row " + std::to_string(i)).c_str(), 0);
  settle();
  const int lh = gui::session_line_height();
  const int cw = gui::session_char_width();
  const int before = gui::screen().cursor_row;
  ASSERT_EQ(before, gui::screen().rows - 1);
  user_resize(dialog()->rect.width, 10 * lh);
  EXPECT_EQ(gui::session_resizing, 0) << "re-laid out at once after a size change";
  EXPECT_EQ(gui::screen().rows, 10);
  EXPECT_EQ(gui::screen().cursor_row, 9);
  EXPECT_EQ(row(9), "row 29");
  // A height between whole rows (as Tile gives) shows only whole rows: the
  // newest line is never cut at the bottom.
  user_resize(dialog()->rect.width, 10 * lh + lh * 3 / 4);
  EXPECT_EQ(gui::screen().rows, 10);
  EXPECT_EQ(row(9), "row 29");
  EXPECT_LE(gui::screen().rows * lh, picture().height);
  // Narrower than 80 characters: fewer columns, long lines cut.
  user_resize(40 * cw + bar()->rect.width, lh / 2);
  EXPECT_EQ(gui::screen().columns, 40);
  EXPECT_EQ(gui::screen().rows, 1);
  EXPECT_EQ(gui::screen().cursor_row, 0) << "never above the screen";
  // Taller than the grid: still at most 100 rows.
  user_resize(300 * cw, 130 * lh);
  EXPECT_EQ(gui::screen().rows, 100);
  EXPECT_EQ(gui::screen().columns, 256);
}

}  // namespace

namespace {

// A trace prints a line per event: the Session window is painted at most
// once per 50 ms of it and the Command window's unchanged history not at
// all, and the last line shows when the run ends.
TEST_F(SessionWindow, ATraceRepaintsNeitherWindowPerLine) {
  gui::register_command_window();
  gui::command_submit("wcommand");
  settle();
  ASSERT_NE(gui::command_dialog(), nullptr);
  const win::HWND session = dialog()->native->hwnd, command = gui::command_dialog()->native->hwnd;
  constexpr int steps = 400, step_ms = 1;
  gui::command_submit("trace 400");
  const win::ULONGLONG started = clock.now;
  win::test::StartTrace();
  for (int i = 0; i < steps * 20 && gui::run_chain_live(); ++i) {
    settle();
    clock.advance(step_ms);
  }
  settle();
  const std::vector<win::test::TraceEntry> trace = win::test::StopTrace();
  ASSERT_FALSE(gui::run_chain_live()) << device_insts[0]->cycles;
  int session_paints = 0, command_paints = 0;
  for (const win::test::TraceEntry& e : trace) {
    if (e.message != win::WM_PAINT) continue;
    session_paints += e.hwnd == session ? 1 : 0;
    command_paints += e.hwnd == command ? 1 : 0;
  }
  EXPECT_GE(session_paints, 1);
  const int elapsed_ms = static_cast<int>(clock.now - started);
  EXPECT_LE(session_paints, elapsed_ms / 50 + 3) << elapsed_ms << " ms";
  EXPECT_LT(session_paints, steps / 4) << "far fewer paints than lines";
  EXPECT_LE(command_paints, 3);
  std::string rows;
  for (int r = 0; r < gui::screen().rows; ++r) rows += gui::display_row(r) + "\n";
  EXPECT_NE(rows.find("p:$"), std::string::npos) << rows;
}

}  // namespace
