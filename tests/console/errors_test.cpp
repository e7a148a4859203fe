// The error report, the status and help lines and the abort request.
#include <unistd.h>

#include <string>

#include "console_fixture.h"

using errors = console_fixture;

TEST_F(errors, report_sets_the_flag_keeps_the_text_and_prints_it_highlighted) {
  cur_state->view_mode = 2;
  error_report("Error opening file.");
  EXPECT_EQ(error_reported, 1);
  EXPECT_EQ(cur_state->view_mode, 0);
  EXPECT_STREQ(last_error_text(), "Error opening file.");
  EXPECT_EQ(newest_line(0), "\x0f" "Error opening file.\x07");
  EXPECT_EQ(output(), "{Error opening file.}\n");
  // Outside a macro the program goes on whatever quit-on-error says.
  EXPECT_EQ(exit_status, 0);
  EXPECT_EQ(quitting, 0);
}

TEST_F(errors, report_keeps_at_most_255_characters_and_never_reaches_the_command_log) {
  command_log = std::tmpfile();
  const std::string message(300, 'm');
  error_report(message.c_str());
  EXPECT_EQ(std::string(last_error_text()), std::string(255, 'm'));
  EXPECT_EQ(contents(command_log), "");
  std::fclose(command_log);
}

TEST_F(errors, an_error_in_a_macro_under_quit_on_error_ends_the_program_with_status_one) {
  macro_running = 1;
  quit_on_error = 1;
  error_report("Error in Macro");
  EXPECT_EQ(exit_status, 1);
  EXPECT_EQ(quitting, 1);
  EXPECT_EQ(output(), "{Error in Macro}\nquit ;on error\n");
}

TEST_F(errors, an_error_in_a_macro_without_quit_on_error_only_prints) {
  macro_running = 1;
  error_report("Invalid parameter");
  EXPECT_EQ(exit_status, 0);
  EXPECT_EQ(quitting, 0);
  EXPECT_EQ(output(), "{Invalid parameter}\n");
}

TEST_F(errors, a_second_error_while_quitting_does_not_quit_again) {
  macro_running = 1;
  quit_on_error = 1;
  quitting = 1;
  error_report("Error writing register");
  EXPECT_EQ(exit_status, 1);
  EXPECT_EQ(output(), "{Error writing register}\n");
}

TEST_F(errors, status_and_help_lines_are_kept_cut_and_never_printed_without_a_terminal) {
  const std::string long_status(120, 's');
  const std::string long_help(120, 'h');
  gui_status_text(long_status.c_str());
  gui_help_text(long_help.c_str());
  EXPECT_EQ(console_status_text(), std::string(89, 's'));
  EXPECT_EQ(console_help_text(), std::string(99, 'h'));
  gui_status_text(nullptr);
  EXPECT_EQ(console_status_text(), "");
  EXPECT_EQ(output(), "");
  EXPECT_EQ(error_reported, 0);
}

TEST_F(errors, stop_request_goes_to_the_shown_device_and_is_consumed_once) {
  ASSERT_EQ(create_device(1, "73521"), 1);
  select_device(0);
  ASSERT_TRUE(make_device_current(1));  // the run loop is on device 1
  stop_request = 1;
  EXPECT_EQ(abort_requested(), 0);
  EXPECT_EQ(stop_request, 0);
  EXPECT_EQ(device_insts[0]->abort, 1);
  EXPECT_EQ(device_insts[1]->abort, 0);
  ASSERT_TRUE(make_device_current(0));
  EXPECT_EQ(abort_requested(), 1);
}

TEST_F(errors, submitting_a_line_clears_the_stop_and_leaves_the_shown_device_current) {
  ASSERT_EQ(create_device(1, "73521"), 1);
  select_device(0);
  stop_request = 1;
  device_insts[0]->abort = 1;
  ASSERT_TRUE(make_device_current(1));
  command_submit("; a comment");
  EXPECT_EQ(stop_request, 0);
  EXPECT_EQ(device_insts[0]->abort, 0);
  EXPECT_EQ(cur_device, 0);
  EXPECT_EQ(output(), "; a comment\n");
  EXPECT_EQ(newest_line(0), "; a comment");
}

TEST_F(errors, nothing_is_submitted_once_quitting) {
  quitting = 1;
  command_submit("; late");
  EXPECT_EQ(output(), "");
}

TEST_F(errors, the_working_directory_is_the_current_one_with_a_slash) {
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  device_inst inst;
  gui_work_dir(&inst);
  const std::string expected = std::string(here) == "/" ? "/" : std::string(here) + "/";
  if (expected.size() <= 255) EXPECT_EQ(inst.work_dir, expected);
  else EXPECT_EQ(inst.work_dir, "./");
}

