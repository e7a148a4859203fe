// The command history, completion of the command word, the help lists and
// the questions commands ask.
#include <cstring>
#include <string>

#include "cmd_fixture.h"
#include "support/test_frontend.h"

namespace {

using history = cmd_fixture;
using completion = cmd_files;

}  // namespace

TEST_F(history, keeps_ten_lines_newest_first_and_never_the_same_line_twice_in_a_row) {
  record_command_history("go");
  record_command_history("go");
  EXPECT_EQ(command_history_count(), 1);
  record_command_history("step");
  record_command_history("go");
  EXPECT_EQ(command_history_count(), 3);
  EXPECT_STREQ(command_history_line(0), "go");
  EXPECT_STREQ(command_history_line(1), "step");
  EXPECT_STREQ(command_history_line(2), "go");

  for (int k = 0; k < 12; ++k) record_command_history(("; line " + std::to_string(k)).c_str());
  EXPECT_EQ(command_history_count(), 10);
  EXPECT_STREQ(command_history_line(0), "; line 11");
  EXPECT_STREQ(command_history_line(9), "; line 2");
  EXPECT_EQ(command_history_line(10), nullptr);
  EXPECT_EQ(command_history_line(-1), nullptr);

  const std::string longer(300, 'x');
  record_command_history(longer.c_str());
  EXPECT_EQ(std::strlen(command_history_line(0)), 255u);
}

TEST_F(history, completion_expands_the_first_word_and_shows_its_syntax) {
  std::string line = "d";
  const command_descriptor* d = complete_command_word(line);
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->name, "display");
  EXPECT_EQ(line, "display");
  EXPECT_EQ(recorded().help, d->syntax[0]);

  line = "DIS p:0";
  EXPECT_STREQ(complete_command_word(line)->name, "disassemble");
  EXPECT_EQ(line, "disassemble p:0");
  line = "wai";
  complete_command_word(line);
  EXPECT_EQ(line, "wait");

  line = "mymacro";
  EXPECT_EQ(complete_command_word(line), nullptr);
  EXPECT_EQ(line, "mymacro");
  EXPECT_EQ(recorded().help, "{Macro filename}");
  line = ";note";
  EXPECT_EQ(complete_command_word(line), nullptr);
  EXPECT_EQ(recorded().help, "{;}comment string entry");
}

TEST_F(history, help_lines_cycle_through_the_syntax_then_the_keys) {
  help_keys_console = 0;
  std::string line = "b";
  const command_descriptor* b = complete_command_word(line);
  ASSERT_EQ(b->syntax.size(), 4u);
  cycle_help_line(1);
  EXPECT_EQ(recorded().help, b->syntax[1]);
  for (int step : {1, 1, 0}) cycle_help_line(step);
  EXPECT_EQ(recorded().help, b->syntax[3]);
  cycle_help_line(1);
  EXPECT_EQ(recorded().help, "{^A}=sel-ln");
  cycle_help_line(1);
  EXPECT_EQ(recorded().help, b->syntax[0]);

  // The console keys take four lines.
  help_keys_console = 1;
  for (int k = 0; k < 4; ++k) cycle_help_line(1);
  EXPECT_EQ(recorded().help.substr(0, 15), "{^U}=ln-up    {");
  for (int k = 0; k < 3; ++k) cycle_help_line(1);
  EXPECT_EQ(recorded().help.substr(0, 10), "{^B}=back ");
  help_keys_console = 0;

  // Back at the prompt the list is every command's syntax lines.
  show_command_prompt();
  EXPECT_EQ(recorded().help, command_table[0].syntax[0]);
  cycle_help_line(1);
  EXPECT_EQ(recorded().help, command_table[1].syntax[0]);
}

TEST_F(history, a_parse_error_goes_to_the_status_line_with_its_column) {
  EXPECT_EQ(refusal("wmemory q"), "Invalid parameter");
  std::string line = "wmemory q";
  EXPECT_EQ(show_parse_error(line), 8);
  EXPECT_EQ(recorded().status, "Invalid parameter");

  EXPECT_EQ(refusal("wmemory   "), "Need more parameters");
  line = "wmemory";
  EXPECT_EQ(show_parse_error(line), 10);
  EXPECT_EQ(line, "wmemory   ");

  // The column stays within the screen after the prompt.
  const std::string far = "wmemory x " + std::string(100, '1');
  EXPECT_EQ(refusal(far.c_str()), "Expression result too large");
  line = far;
  EXPECT_EQ(show_parse_error(line), 80 - 2);
}

TEST_F(completion, the_file_question_by_mode_and_by_asking) {
  EXPECT_EQ(ask_file_exists(path("none").c_str(), 0), 0);
  write_file("there", "x");
  const std::string there = path("there");
  EXPECT_EQ(ask_file_exists(there.c_str(), 1), 1);
  EXPECT_EQ(ask_file_exists(there.c_str(), 2), -1);
  EXPECT_EQ(ask_file_exists(there.c_str(), 3), 0);
  feed("o\na\nc\nz\n");
  EXPECT_EQ(ask_file_exists(there.c_str(), 0), 0);
  EXPECT_EQ(ask_file_exists(there.c_str(), 0), 1);
  EXPECT_EQ(ask_file_exists(there.c_str(), 0), -1);
  EXPECT_EQ(ask_file_exists(there.c_str(), 0), -1);
}

TEST_F(completion, a_line_asked_for_is_edited_by_the_front_end) {
  char buffer[LINE_BUFFER_BYTES] = "Value:";
  feed("12\n");
  EXPECT_EQ(edit_command_line(buffer, 6), 13);
  EXPECT_STREQ(buffer, "Value: 12");
}
