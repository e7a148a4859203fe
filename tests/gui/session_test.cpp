// Session output as the Session window shows it: highlighting, the screen
// holding the newest lines, scrolling through the ring, More pages, and
// the rings of devices that are not shown.
#include <string>

#include "gui_support.h"

namespace {

using Session = GuiFixture;

// 'h' for a highlighted character of display row i, '.' for a plain one.
std::string highlights(int i, int width) {
  std::string out;
  for (int c = 0; c < width; ++c) out.push_back(gui::display().attrs[i][c] == GRID_ATTR_HIGHLIGHT ? 'h' : '.');
  return out;
}

int newest_row() {
  for (int i = gui::screen().rows - 1; i >= 0; --i)
    if (!gui::display_row(i).empty()) return i;
  return -1;
}

void print_numbered(int from, int to) {
  for (int i = from; i <= to; ++i) session_print(("line " + std::to_string(i)).c_str(), 1);
}

TEST_F(Session, BracesHighlightTheDollarFormsStayPlainAndEchoesKeepThem) {
  struct Case {
    const char* text;
    int echo;
    const char* shown;
    const char* marks;
  } cases[] = {
      {"a{b}c", 0, "abc", ".h."},
      {"a${b$}c", 0, "a{b}c", "....."},
      {"x {y}", 1, "x {y}", "....."},
      {"{whole}", 0, "whole", "hhhhh"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    session_output(c.text, 1, c.echo);
    const int r = newest_row();
    ASSERT_GE(r, 0);
    EXPECT_EQ(gui::display_row(r), c.shown);
    EXPECT_EQ(highlights(r, static_cast<int>(std::string(c.marks).size())), c.marks);
  }
}

TEST_F(Session, TheScreenHoldsTheNewestLinesAndScrollsThroughTheRing) {
  print_numbered(1, 30);
  EXPECT_EQ(gui::display_row(0), "line 7");
  EXPECT_EQ(gui::display_row(23), "line 30");

  print_numbered(31, 150);
  // The ring keeps 100 lines (51..150); 24 are on the screen, so going
  // back stops with line 51 at the top.
  session_scroll(-1000);
  EXPECT_EQ(gui::display_row(0), "line 51");
  EXPECT_EQ(gui::display_row(23), "line 74");
  EXPECT_EQ(device_states[0]->session.pending, 76);
  session_scroll(-5);
  EXPECT_EQ(gui::display_row(0), "line 51") << "nothing older is left";
  session_scroll(10);
  EXPECT_EQ(gui::display_row(23), "line 84");
  session_scroll(1000);
  EXPECT_EQ(gui::display_row(23), "line 150");
  EXPECT_EQ(device_states[0]->session.pending, 0);
}

TEST_F(Session, AFullPageAsksMoreAndCancelStopsARun) {
  more_enabled = 1;
  more_count = 0;
  gui::script_answer(gui::ANSWER_CANCEL);
  print_numbered(1, 20);
  EXPECT_TRUE(gui::scripted_shown().empty());
  print_numbered(21, 21);
  ASSERT_EQ(gui::scripted_shown().size(), 1u);
  EXPECT_EQ(gui::scripted_shown()[0].text, "More: Press OK to continue");
  EXPECT_EQ(stop_request, 1);
  EXPECT_EQ(gui::abort_requested(), 1) << "Cancel stops the shown device";

  // Macros never page.
  gui::script_reset();
  stop_request = 0;
  macro_running = 1;
  print_numbered(1, 60);
  macro_running = 0;
  EXPECT_TRUE(gui::scripted_shown().empty());
}

// Output printed from inside the More notice's own loop (a timed command)
// fills a page again: no second notice stacks on the first, and the next
// line after it closes asks again.
TEST_F(Session, TheMoreNoticeNeverRunsInsideItself) {
  more_enabled = 1;
  more_count = 0;
  gui::script_answer(gui::ANSWER_OK, "", [] { print_numbered(100, 160); });
  gui::script_answer(gui::ANSWER_OK);
  print_numbered(1, 21);
  EXPECT_EQ(gui::scripted_shown().size(), 1u);
  EXPECT_FALSE(gui::more_notice_up());
  print_numbered(22, 22);
  EXPECT_EQ(gui::scripted_shown().size(), 2u);
}

TEST_F(Session, AnotherDevicesLinesWaitInItsRingUntilItIsShown) {
  gui::command_submit("device dv1 73521");
  ASSERT_NE(device_states[1], nullptr);
  session_print("on dv0", 1);
  make_device_current(1);
  print_numbered(1, 150);
  session_print("from dv1", 1);
  EXPECT_EQ(gui::display_row(newest_row()), "on dv0");
  EXPECT_LE(device_states[1]->session.pending, SESSION_RING_LINES);
  shown_device = 1;
  session_redraw(1);
  EXPECT_EQ(gui::display_row(23), "from dv1");
  EXPECT_EQ(gui::display_row(22), "line 150");
}

TEST_F(Session, LongLinesAreCutInTheRingAndWholeInTheLog) {
  std::FILE* log = std::tmpfile();
  command_log = log;
  const std::string text(400, 'w');
  session_print(text.c_str(), 0);
  command_log = nullptr;
  EXPECT_EQ(std::string(device_states[0]->session.lines[device_states[0]->session.newest].data()).size(), 255u);
  std::rewind(log);
  char buf[512] = {};
  ASSERT_NE(std::fgets(buf, sizeof buf, log), nullptr);
  EXPECT_EQ(std::string(buf), text + "\n");
  std::fclose(log);
  EXPECT_EQ(gui::display_row(newest_row()), std::string(80, 'w')) << "the screen shows its columns";
}

TEST_F(Session, TheGridModesAndRowsOfTheViews) {
  screen_put_text(2, 3, "p{q}r$}", 3);
  EXPECT_EQ(gui::display_row(2), "   pqr}");
  EXPECT_EQ(highlights(2, 7), "....h..");
  screen_put_text(3, 0, "\x0fhi\x07 lo", 1);
  EXPECT_EQ(highlights(3, 5), "hh...");
  screen_put_text(4, 0, "all", 2);
  EXPECT_EQ(highlights(4, 3), "hhh");
  std::string block(static_cast<std::size_t>(GRID_BLOCK_ROW_BYTES) * GRID_ROWS, '\0');
  for (int i = 0; i < 24; ++i) {
    const std::string r = "row " + std::to_string(i);
    block.replace(static_cast<std::size_t>(i) * GRID_BLOCK_ROW_BYTES, r.size(), r);
    block.replace(static_cast<std::size_t>(i) * GRID_BLOCK_ROW_BYTES + r.size(), 80 - r.size(),
                  std::string(80 - r.size(), ' '));
  }
  screen_show_rows(block.c_str());
  EXPECT_EQ(gui::display_row(0), "row 0");
  EXPECT_EQ(gui::display_row(23), "row 23");
}

}  // namespace
