// The session ring, its translation of braces and what reaches the output.
#include <string>

#include "console_fixture.h"

using session = console_fixture;

TEST_F(session, ring_keeps_the_newest_hundred_lines_and_prints_each_once) {
  for (int i = 1; i <= 105; ++i) session_print(("L" + std::to_string(i)).c_str(), 1);
  const session_ring& ring = device_states[0]->session;
  EXPECT_EQ(ring.newest, 5);
  EXPECT_EQ(ring.pending, 0);
  EXPECT_EQ(ring_line(0, 5), "L105");
  EXPECT_EQ(ring_line(0, 6), "L6");
  EXPECT_EQ(ring_line(0, 0), "L100");
  std::string expected;
  for (int i = 1; i <= 105; ++i) expected += "L" + std::to_string(i) + "\n";
  EXPECT_EQ(output(), expected);
}

TEST_F(session, long_lines_are_cut_in_the_ring_and_whole_in_the_logs) {
  command_log = std::tmpfile();
  session_logs[0] = std::tmpfile();
  const std::string text(300, 'x');
  session_print(text.c_str(), 0);
  EXPECT_EQ(newest_line(0), std::string(255, 'x'));
  EXPECT_EQ(output(), std::string(255, 'x') + "\n");
  EXPECT_EQ(contents(command_log), text + "\n");
  EXPECT_EQ(contents(session_logs[0]), text + "\n");
  std::fclose(command_log);
  std::fclose(session_logs[0]);
}

TEST_F(session, command_log_only_takes_lines_printed_without_nolog) {
  command_log = std::tmpfile();
  session_logs[0] = std::tmpfile();
  session_echo("go 100", 0);
  session_print("{Breakpoint}", 1);
  EXPECT_EQ(contents(command_log), "go 100\n");
  // Logs hold the text as given, braces and all.
  EXPECT_EQ(contents(session_logs[0]), "go 100\n{Breakpoint}\n");
  std::fclose(command_log);
  std::fclose(session_logs[0]);
}

TEST_F(session, braces_mark_highlighting_and_dollar_braces_are_literal) {
  session_print("a{b}c", 1);
  EXPECT_EQ(newest_line(0), "a\x0f" "b\x07" "c");
  session_print("a${b$}c", 1);
  EXPECT_EQ(newest_line(0), "a{b}c");
  session_echo("b {x == 3} go", 1);
  EXPECT_EQ(newest_line(0), "b {x == 3} go");
  // Without a terminal, highlighted runs are shown in plain braces.
  EXPECT_EQ(output(), "a{b}c\na{b}c\nb {x == 3} go\n");
}

TEST_F(session, a_terminal_shows_highlighted_runs_in_bold) {
  console_io().out_tty = true;
  session_print("a{b}c", 1);
  session_print("${plain$} {open", 1);
  session_echo("keep {this}", 1);
  EXPECT_EQ(output(),
            "a\x1b[1mb\x1b[22mc\n"
            "{plain} \x1b[1mopen\x1b[22m\n"
            "keep {this}\n");
}

TEST_F(session, a_terminal_never_receives_control_bytes_from_a_line) {
  console_io().out_tty = true;
  session_echo("x\x1b[2Jy\tz", 1);
  EXPECT_EQ(output(), "x?[2Jy\tz\n");
}

TEST_F(session, lines_of_a_device_not_shown_wait_until_it_is_shown) {
  ASSERT_EQ(create_device(1, "73521"), 1);
  select_device(0);
  session_print("zero", 1);
  ASSERT_TRUE(make_device_current(1));  // as a run or a breakpoint action does
  session_print("one", 1);
  session_print("{two}", 1);
  EXPECT_EQ(device_states[1]->session.pending, 2);
  EXPECT_EQ(output(), "zero\n");

  select_device(1);
  session_redraw(1);
  EXPECT_EQ(output(), "zero\none\n{two}\n");
  EXPECT_EQ(device_states[1]->session.pending, 0);

  // Back and forth: nothing printed before comes again.
  select_device(0);
  session_redraw(0);
  select_device(1);
  session_redraw(1);
  session_print("three", 1);
  EXPECT_EQ(output(), "zero\none\n{two}\nthree\n");
}

TEST_F(session, a_long_absence_shows_the_lines_the_ring_still_holds) {
  ASSERT_EQ(create_device(1, "73521"), 1);
  select_device(0);
  ASSERT_TRUE(make_device_current(1));
  for (int i = 1; i <= 130; ++i) session_print(("n" + std::to_string(i)).c_str(), 1);
  EXPECT_EQ(device_states[1]->session.pending, 100);
  select_device(1);
  session_redraw(1);
  std::string expected;
  for (int i = 31; i <= 130; ++i) expected += "n" + std::to_string(i) + "\n";
  EXPECT_EQ(output(), expected);
}

TEST_F(session, nothing_is_kept_or_shown_without_a_current_device) {
  device_inst* inst = cur_inst;
  device_state* st = cur_state;
  cur_inst = nullptr;
  cur_state = nullptr;
  EXPECT_EQ(session_print("lost", 1), 0);
  cur_inst = inst;
  cur_state = st;
  EXPECT_EQ(output(), "");
  EXPECT_EQ(session_print("kept", 1), 1);
  EXPECT_EQ(output(), "kept\n");
}

TEST_F(session, screen_geometry_starts_at_twenty_one_text_rows_of_eighty_columns) {
  const session_screen_size size = session_screen();
  EXPECT_EQ(size.text_rows, 21);
  EXPECT_EQ(size.rows, 24);
  EXPECT_EQ(size.columns, 80);
}

TEST_F(session, paging_without_a_person_at_a_terminal_never_stops_the_output) {
  more_enabled = 1;
  feed("next command\n");
  for (int i = 0; i < 45; ++i) session_print("line", 1);
  EXPECT_EQ(stop_request, 0);
  EXPECT_EQ(next_input_line(), "next command");
  // Two pages of 21 counted, three lines into the third.
  EXPECT_EQ(more_count, 3);
}

TEST_F(session, a_view_screen_is_printed_without_its_trailing_blanks) {
  constexpr int row_bytes = 257;
  std::string block(static_cast<std::size_t>(24 * row_bytes), '\0');
  auto set_row = [&](int row, const std::string& text) {
    std::string padded = text + std::string(80 - text.size(), ' ');
    block.replace(static_cast<std::size_t>(row * row_bytes), padded.size(), padded);
  };
  for (int r = 0; r < 24; ++r) set_row(r, "");
  set_row(0, "fir.c  line 12");
  set_row(2, "   12  acc += x[i];");
  screen_show_rows(block.c_str());
  EXPECT_EQ(output(), "fir.c  line 12\n\n   12  acc += x[i];\n");
}
