// Command macro files: reading, nesting, the checks of each line and how
// every failure closes all macros.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "cmd_fixture.h"

namespace {

class macros : public cmd_files {
 protected:
  // Every line the macros still give, as the front-end would run them.
  std::string drain() {
    std::string lines, line;
    while (read_macro_line(0, line) != 0) {
      lines += line + "|";
      execute_command_line(0, line.c_str());
    }
    return lines;
  }
};

}  // namespace

TEST_F(macros, lines_come_without_blank_lines_or_leading_blanks_and_the_last_needs_no_newline) {
  write_file("m.cmd", "; first\n\n   \t; second\r\n\n; last");
  run("./m");
  EXPECT_EQ(macro_running, 1);
  EXPECT_EQ(drain(), "; first|; second|; last|");
  EXPECT_EQ(macro_running, 0);
}

TEST_F(macros, control_characters_and_bytes_above_ascii_are_dropped) {
  write_file("c.cmd", std::string("; a\x01" "b\xc3\xa9" "c\td\n"));
  run("./c");
  std::string line;
  ASSERT_EQ(read_macro_line(0, line), 1);
  EXPECT_EQ(line, "; abc\td");
}

TEST_F(macros, a_nested_macro_returns_to_the_line_after_its_call) {
  write_file("outer.cmd", "; outer 1\nsub/inner\n; outer 2\n");
  write_file("sub/inner.cmd", "; inner 1\n; inner 2\n");
  run("outer");
  EXPECT_EQ(drain(), "; outer 1|sub/inner|; inner 1|; inner 2|; outer 2|");
  EXPECT_EQ(macro_running, 0);
}

TEST_F(macros, a_name_with_an_extension_is_used_as_it_is) {
  write_file("plain.txt", "; from txt\n");
  write_file("plain.txt.cmd", "; wrong file\n");
  run("plain.txt");
  EXPECT_EQ(drain(), "; from txt|");
}

TEST_F(macros, a_line_that_fails_its_check_closes_every_macro) {
  write_file("outer.cmd", "inner\n; never\n");
  write_file("inner.cmd", "; fine\nwasm now\n; never either\n");
  run("outer");
  EXPECT_EQ(drain(), "inner|; fine|");
  EXPECT_EQ(macro_running, 0);
  EXPECT_EQ(output(), "outer\ninner\n; fine\n{Error in Macro}\nwasm now\n{Invalid parameter}\n");
  EXPECT_EQ(exit_status, 0);
  EXPECT_EQ(quitting, 0);
}

TEST_F(macros, under_quit_on_error_a_bad_line_ends_the_program) {
  write_file("bad.cmd", "quit e\nwasm now\n; never\n");
  run("bad");
  EXPECT_EQ(drain(), "quit e|");
  EXPECT_EQ(quitting, 1);
  EXPECT_EQ(exit_status, 1);
  EXPECT_EQ(macro_running, 0);
  EXPECT_EQ(output(), "bad\nquit e\n{Error in Macro}\nquit ;on error\nwasm now\n{Invalid parameter}\n");
}

TEST_F(macros, a_line_longer_than_the_prompt_leaves_room_for_is_refused_with_its_place) {
  EXPECT_EQ(macro_line_limit(), 254u);
  const std::string fits = "; " + std::string(252, 'x');
  const std::string over = "; " + std::string(253, 'x');
  write_file("long.cmd", fits + "\n\n" + over + "\n; never\n");
  run("long");
  EXPECT_EQ(drain(), fits + "|");
  EXPECT_EQ(macro_running, 0);
  EXPECT_NE(output().find("{Macro line too long (more than 254 characters): line 3 of long.cmd}\n"),
            std::string::npos)
      << output();
}

TEST_F(macros, a_missing_file_is_reported_and_closes_the_running_macros) {
  write_file("outer.cmd", "nosuch\n; never\n");
  run("outer");
  EXPECT_EQ(drain(), "nosuch|");
  EXPECT_EQ(macro_running, 0);
  EXPECT_EQ(output(), "outer\nnosuch\n{Error opening macro file}\n");
  // A directory is no macro file.
  write_file("dir.cmd/keep", "");
  run("dir");
  EXPECT_EQ(macro_running, 0);
}

TEST_F(macros, a_stop_request_closes_the_macros_before_the_next_line) {
  write_file("m.cmd", "; one\n; two\n");
  run("./m");
  std::string line;
  ASSERT_EQ(read_macro_line(0, line), 1);
  stop_request = 1;
  EXPECT_EQ(read_macro_line(0, line), 0);
  EXPECT_EQ(macro_running, 0);
  stop_request = 0;
}

// Only regular files run as macros: a FIFO would hold the open for good
// (the alarm ends the test, were it to wait) and /dev/zero never ends.
TEST_F(macros, special_files_are_refused_at_once) {
  ASSERT_EQ(mkfifo(path("pipe.cmd").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", path("zero.cmd"));
  for (const char* name : {"pipe", "zero"}) {
    SCOPED_TRACE(name);
    alarm(20);
    run(name);
    EXPECT_EQ(drain(), "");
    alarm(0);
    EXPECT_EQ(macro_running, 0);
  }
  EXPECT_NE(output().find("{Error opening macro file}"), std::string::npos);
}

TEST_F(macros, nesting_has_a_limit_with_a_message) {
  write_file("self.cmd", "; again\nself\n");
  run("self");
  drain();
  EXPECT_EQ(macro_running, 0);
  EXPECT_NE(output().find("{Macros nested too deeply (more than 32)}"), std::string::npos);
  EXPECT_EQ(output().find("Error opening macro file"), std::string::npos);
}

TEST_F(macros, the_macro_command_is_recorded_in_the_history_unless_a_macro_runs_it) {
  write_file("outer.cmd", "inner\n");
  write_file("inner.cmd", "; x\n");
  run("outer");
  drain();
  EXPECT_EQ(command_history_count(), 1);
  EXPECT_STREQ(command_history_line(0), "outer");
}
