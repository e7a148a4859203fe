// The Source window on a program with line numbers: the status line, the
// rows kept while the pc moves inside them and re-centred when it leaves,
// tabs, scrolling past either end, the double click that sets and removes
// a breakpoint, and the status line copied to the session under "log v".
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fw/widgets/controls/control.h"
#include "frontends/gui/source_window.h"
#include "sim/cdb/frames.h"
#include "sim/cdb/source.h"
#include "sim/cmd/breakpoints.h"
#include "tests/gui/cld_program.h"
#include "tests/gui/gui_window_support.h"
#include "tests/support/png_compare.h"

namespace {

// main (lines 2-30) calls square (32-37); line 5 starts with a tab.
std::string program_text() {
  std::string s = "; squares a number in a function\n"
                  "main:                   ; function\n"
                  "        move #2,x0      ; {\n"
                  "        jsr square\n"
                  "\tmove a,x1\n"
                  "\n";
  for (int line = 7; line <= 29; ++line) s += "        nop\n";
  s += "loop:   bra loop        ; }\n"
       "\n"
       "square:                 ; function\n"
       "        move x0,y0      ; prologue\n"
       "\tmpy x0,y0,a\t; {\n"
       "        nop\n"
       "        rts             ; }\n";
  return s;
}

struct SourceWindow : GuiWindowFixture {
  cld_program program;
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::register_source_window();
    ASSERT_TRUE(program.build("srcwin", program_text()));
  }
  void open_on_program() {
    gui::command_submit(("path " + program.folder).c_str());
    gui::command_submit("load prog.cld");
    gui::command_submit("wsource");
    settle();
    ASSERT_NE(window(), nullptr);
  }
  // A command and the run it starts, to its end.
  static void submit(const std::string& line) {
    gui::command_submit(line.c_str());
    pump();
    settle();
  }
  static gui::sim_window* window() { return gui::window_find(gui::SIMWIN_SOURCE, 0); }
  static const gui::source_view& view() { return *gui::source_window_view(window()); }
  static std::string text(int row) {
    const std::string& r = view().row_text[row];
    return r.substr(0, r.find_last_not_of(' ') + 1);
  }
  // The text row showing a line, -1 when none does.
  static int row_of(int line) {
    const int row = line - view().first_line + 1;
    return row >= 1 && row < view().rows ? row : -1;
  }
  static int shown_lines() { return view().rows - 1; }
};

TEST_F(SourceWindow, StatusLineNamesTheShownPlaceAndThePcWithOrWithoutAFile) {
  gui::command_submit("asm p:$40 nop");
  gui::command_submit("change pc $40");
  gui::command_submit("wsource");
  settle();
  ASSERT_NE(window(), nullptr);
  EXPECT_STREQ(window()->window->title, "Dv00 Source");
  EXPECT_EQ(text(0), "no_source_file pc=@0 pi:$40 <no_label> section:global");
  EXPECT_EQ(view().file_open, 0);
  EXPECT_EQ(text(1), "");
  // Opening twice raises the one window.
  gui::command_submit("wsource");
  EXPECT_EQ(gui::window_records().size(), 1u);

  gui::command_submit(("path " + program.folder).c_str());
  gui::command_submit("load prog.cld");
  submit("step");
  EXPECT_EQ(text(0), "src:prog.asm@1 pc=prog.asm@4 pi:$41 <main+1> section:global");
  EXPECT_EQ(static_cast<int>(view().row_text[0].size()), view().columns);
  EXPECT_EQ(view().file_open, 1);
  EXPECT_EQ(text(4), "     4         jsr square");
  EXPECT_EQ(view().pc_row, 4);
  EXPECT_EQ(cur_state->source_window_open, 1);
  gui::command_submit("wsource off");
  EXPECT_EQ(window(), nullptr);
  EXPECT_EQ(cur_state->source_window_open, 0);
  gui::command_submit("wsource off");
  EXPECT_EQ(last_row(), "Window not found");
}

TEST_F(SourceWindow, StepsInsideKeepTheViewAndAJumpRecentresWithThreeLinesAbove) {
  open_on_program();
  ASSERT_GT(shown_lines(), 8);
  ASSERT_LT(shown_lines(), 30);
  EXPECT_EQ(view().first_line, 1);
  EXPECT_EQ(view().pc_row, row_of(3));
  // A tab lands on column 8 of the line's text.
  EXPECT_EQ(text(row_of(5)), "     5         move a,x1");
  submit("step");
  submit("step");  // into square, far below the rows shown
  EXPECT_EQ(view().first_line, 34 - 3);
  EXPECT_EQ(view().pc_row, 4);
  EXPECT_EQ(text(view().pc_row), "    34         mpy x0,y0,a     ; {");
  submit("step");
  EXPECT_EQ(view().first_line, 31);
  EXPECT_EQ(view().pc_row, row_of(35));
  // The pc leaves the rows upward: back to the caller, re-centred.
  submit("finish");
  EXPECT_EQ(view().first_line, 2);
  EXPECT_EQ(view().pc_row, 4);
  EXPECT_EQ(text(4), "     5         move a,x1");
}

TEST_F(SourceWindow, ScrollingPastEitherEndShowsBlankRowsAndNeverGoesAboveLineOne) {
  open_on_program();
  EXPECT_EQ(view().line_count, 37);  // lines 1-36
  gui::source_window_scroll(window(), 36 - view().first_line);
  EXPECT_EQ(view().first_line, 36);
  EXPECT_EQ(text(1), "    36         rts             ; }");
  for (int r = 2; r < view().rows; ++r) EXPECT_EQ(text(r), "") << r;
  // A move past the end keeps the view where it is.
  gui::source_window_scroll(window(), 50);
  EXPECT_EQ(view().first_line, 36);
  gui::source_window_scroll(window(), -1000);
  EXPECT_EQ(view().first_line, 1);
  EXPECT_EQ(text(1), "     1 ; squares a number in a function");
  // The bar, moved by the user, counts its value from the far end.
  auto* bar = reinterpret_cast<vcontrol*>(
      vdialogFindItem(static_cast<vdialog*>(window()->window), vnameInternLiteral("Source_Scroll")));
  ASSERT_NE(bar, nullptr);
  vcontrolSetReversedValue(bar, 10);
  vdialogNotifyItem(bar, nullptr);
  EXPECT_EQ(view().first_line, 10);
  EXPECT_EQ(text(1), "    10         nop");
  EXPECT_EQ(vcontrolGetReversedValue(bar), 10);
  // At the bar's far end the file's last line is in view, at the bottom,
  // and a page is the rows under the status line.
  ASSERT_LT(shown_lines(), 36) << "the window must be shorter than the file";
  vcontrolSetReversedValue(bar, bar->max);
  vdialogNotifyItem(bar, nullptr);
  EXPECT_EQ(row_of(36), shown_lines());
  EXPECT_EQ(text(shown_lines()), "    36         rts             ; }");
  EXPECT_EQ(bar->view, shown_lines());
}

TEST_F(SourceWindow, DoubleClickSetsThenRemovesTheLinesBreakpoint) {
  open_on_program();
  const int row = row_of(8);
  ASSERT_GT(row, 0);
  // A real double click on the row, through the platform's input.
  const vdialogItem* canvas = vdialogFindItem(static_cast<vdialog*>(window()->window), vnameInternLiteral("Source_Text"));
  ASSERT_NE(canvas, nullptr);
  const int row_height = canvas->rect.height / view().rows;
  const win::POINT p = screen_point(window()->window, canvas, 40, canvas->rect.height - 1 - row * row_height - row_height / 2);
  win::test::Click(p);
  win::test::Click(p);
  settle();
  const break_rec* b = cur_state->breakpoints;
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->kind, BK_PC);
  EXPECT_EQ(b->enabled, 1);
  uint32_t address = 0;
  int space = 0;
  ASSERT_EQ(source_line_location("8", &address, &space), 1);
  EXPECT_EQ(b->operands.lo, address);
  // The second double click finds it there and removes it.
  gui::source_window_double_click(window(), row);
  EXPECT_EQ(cur_state->breakpoints, nullptr);
  // A disabled one is no reason to remove: a new one is set.
  gui::command_submit("break @8");
  gui::command_submit("break #1 d");
  gui::source_window_double_click(window(), row);
  ASSERT_NE(cur_state->breakpoints, nullptr);
  ASSERT_NE(cur_state->breakpoints->next, nullptr);
  // The number is read in decimal under any default radix.
  gui::command_submit("break off");
  gui::command_submit("radix h");
  gui::command_submit("break #`12 @8");
  gui::source_window_double_click(window(), row);
  EXPECT_EQ(cur_state->breakpoints, nullptr);
  // A line without code sets nothing.
  gui::source_window_double_click(window(), row_of(6));
  EXPECT_EQ(cur_state->breakpoints, nullptr);
}

TEST_F(SourceWindow, StatusLineGoesToTheSessionWhileLoggingIt) {
  open_on_program();
  const std::string log = program.folder + "/s1";
  gui::command_submit(("log s " + log).c_str());
  submit("step");
  EXPECT_NE(last_row().rfind("src:", 0), 0u);
  gui::command_submit("log v");
  submit("step");
  EXPECT_EQ(last_row(), "src:prog.asm@31 pc=prog.asm@34 pi:$5c <square+1> section:global");
  gui::command_submit("log off");
}

// The text keeps a margin from the window's left edge, as the other
// windows' rows do, and stops at the scroll bar in a narrow window.
TEST_F(SourceWindow, TextKeepsAMarginAndStopsAtTheBar) {
  open_on_program();
  auto* d = static_cast<vdialog*>(window()->window);
  win::SetWindowPos(d->native->hwnd, nullptr, 0, 0, 160, 200, win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
  settle();
  vdialogItem* canvas = vdialogFindItem(d, vnameInternLiteral("Source_Text"));
  vdialogItem* bar = vdialogFindItem(d, vnameInternLiteral("Source_Scroll"));
  ASSERT_TRUE(canvas != nullptr && bar != nullptr);
  vwindowInvalAll(d, 0);
  settle();
  const win::test::Image image = win::test::WindowImage(d->native->hwnd);
  const auto px = [&](int x, int y) { return image.px[static_cast<std::size_t>(y * image.width + x)] & 0xFFFFFF; };
  vrect c = canvas->rect;
  vdialogItemListTransformRect(canvas->owner, &c);
  const std::uint32_t paper = px(c.x + c.width - 1, image.height - c.y - c.height + 1);
  int first_ink = c.width, last_ink = -1;
  for (int y = image.height - c.y - c.height; y < image.height - c.y; ++y)
    for (int x = c.x; x < c.x + c.width; ++x)
      if (px(x, y) != paper) first_ink = std::min(first_ink, x - c.x), last_ink = std::max(last_ink, x - c.x);
  EXPECT_GE(first_ink, 4) << "a margin left of the text";
  EXPECT_GE(last_ink, c.width - 12) << "the long lines reach the bar";
  EXPECT_EQ(c.x + c.width, bar->rect.x) << "the bar beside the canvas";
}

TEST_F(SourceWindow, Screenshot) {
  open_on_program();
  submit("step");
  EXPECT_TRUE(test_support::MatchesPng(win::test::WindowImage(window()->window->native->hwnd),
                                       std::string(std::getenv("SIM_TEST_DATA")) + "/gui/source.png", 8));
}

}  // namespace
