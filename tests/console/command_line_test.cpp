// The console's command line: typed lines checked before they run, and at
// a terminal completion, help, history and a refused line offered again.
#include <string>

#include "console_fixture.h"
#include "sim/cmd/dispatch.h"

namespace {

class command_line : public console_fixture {
 protected:
  void SetUp() override {
    console_fixture::SetUp();
    clear_command_history();
  }
  // The next line the console reads; "<end>" at the end of input.
  static std::string read() {
    std::string line;
    return console_read_command(line) ? line : "<end>";
  }
};

}  // namespace

TEST_F(command_line, a_refused_line_is_not_run_and_shows_the_parsers_message) {
  EXPECT_FALSE(console_submit_typed("wasm now"));
  EXPECT_TRUE(console_submit_typed("; fine"));
  EXPECT_EQ(output(), "wasm now\n{Invalid parameter}\n; fine\n");
  // Only the line that ran is in the history.
  EXPECT_EQ(command_history_count(), 1);
  EXPECT_STREQ(command_history_line(0), "; fine");
  EXPECT_EQ(console_status_text(), "");
}

TEST_F(command_line, a_refused_line_leaves_no_trace_in_the_command_log) {
  command_log = std::tmpfile();
  ASSERT_NE(command_log, nullptr);
  console_submit_typed("quit x");
  console_submit_typed("; kept");
  EXPECT_EQ(contents(command_log), "; kept\n");
  std::fclose(command_log);
  command_log = nullptr;
}

TEST_F(command_line, on_a_terminal_the_offending_token_is_marked_and_offered_again) {
  console_io().out_tty = true;
  feed_keys("redirect stdin in -a\r\x0b\x0b\r");
  const std::string typed = read();
  EXPECT_EQ(typed, "redirect stdin in -a");
  EXPECT_FALSE(console_submit_typed(typed));
  EXPECT_EQ(output(),
            "redirect stdin in \x1b[1m-a\x1b[22m\n\x1b[1mToo many parameters\x1b[22m\n");
  EXPECT_EQ(console_status_text(), "Too many parameters");
  // The line comes back with the cursor on "-a"; two Ctrl-K remove it.
  EXPECT_EQ(read(), "redirect stdin in ");
}

TEST_F(command_line, on_a_terminal_a_blank_completes_the_command_word) {
  feed_keys("d x:0\r");
  EXPECT_EQ(read(), "display x:0");
  EXPECT_EQ(console_help_text(), "{D}ISPLAY [{ON}/{OFF}/{R}/{W}/{RW}] [reg[_block/_group]/addr[_block]]...");
  // An unknown word stays as typed; so do words after the first.
  feed_keys("mymacro d\r");
  EXPECT_EQ(read(), "mymacro d");
}

TEST_F(command_line, on_a_terminal_blanks_after_blanks_step_through_the_help_lines) {
  help_keys_console = 1;
  feed_keys("red   stdout\r");
  EXPECT_EQ(read(), "redirect stdout");
  EXPECT_EQ(console_help_text(), "{RED}IRECT [{OFF}]");
  help_keys_console = 0;
}

TEST_F(command_line, on_a_terminal_question_mark_prints_help_outside_braces) {
  feed_keys("quit ?\r");
  EXPECT_EQ(read(), "quit ");
  EXPECT_NE(output().find("{----------- QUIT: Quit Simulator Session -----------}\n"),
            std::string::npos)
      << output();
  feed_keys("type {a?b}\r");
  EXPECT_EQ(read(), "type {a?b}");
}

TEST_F(command_line, on_a_terminal_ctrl_b_and_ctrl_f_walk_the_command_history) {
  record_command_history("; older");
  record_command_history("; newer");
  feed_keys("\x02\x02\r\x02\x02\x06\r");
  EXPECT_EQ(read(), "; older");
  EXPECT_EQ(read(), "; newer");
}

TEST_F(command_line, lines_from_a_script_are_read_whole) {
  feed("d x:0\n  \nlast");
  EXPECT_EQ(read(), "d x:0");
  EXPECT_EQ(read(), "  ");
  EXPECT_EQ(read(), "last");
  EXPECT_EQ(read(), "<end>");
}

// A NUL byte inside a line read from a script does not cut the line: the
// word holding it is refused with the parser's message, and nothing runs.
TEST_F(command_line, a_nul_byte_in_a_line_is_refused_not_cut_off) {
  feed(std::string("evaluate 2\0 3\nevaluate 4\0\n; ok\0 in a comment\n", 45));
  for (int i = 0; i < 2; ++i) {
    const std::string line = read();
    EXPECT_FALSE(console_submit_typed(line)) << line;
  }
  EXPECT_TRUE(console_submit_typed(read()));
  const std::string text = output();
  EXPECT_EQ(text.find("$0002"), std::string::npos) << text;
  EXPECT_EQ(text.find("$0004"), std::string::npos) << text;
  std::size_t refused = 0;
  for (std::size_t at = text.find("{Invalid parameter}"); at != std::string::npos;
       at = text.find("{Invalid parameter}", at + 1))
    ++refused;
  EXPECT_EQ(refused, 2u) << text;
  EXPECT_EQ(command_history_count(), 1);
}
