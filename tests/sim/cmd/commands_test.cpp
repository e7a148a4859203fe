// The path, redirect and quit commands and the window commands on the
// console, run as lines are run.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "cmd_fixture.h"
#include "sim/cmd/commands.h"
#include "sim/engine/device/regaccess.h"

namespace {

class path_cmd : public cmd_files {
 protected:
  void TearDown() override {
    search_path.clear();
    cmd_files::TearDown();
  }
};

class redirect_cmd : public cmd_files {
 protected:
  void TearDown() override {
    end_redirections(0);
    cmd_files::TearDown();
  }
  // Writes through the redirected stream and closes every redirection.
  static void put_and_close(int stream, const char* text) {
    std::FILE* f = redirect_file(0, stream);
    ASSERT_NE(f, nullptr);
    std::fputs(text, f);
    end_redirections(0);
  }
};

using quit_cmd = cmd_files;
using window_cmd = cmd_fixture;

}  // namespace

TEST_F(path_cmd, shows_the_working_directory_and_the_search_path) {
  run("path");
  EXPECT_EQ(output(), "path\nDevice Working Directory: {" + dir() + "}\nNo Alternate Source Paths:\n");
}

TEST_F(path_cmd, a_directory_added_twice_is_listed_twice) {
  write_file("sim/keep", "");
  const std::string add = "path + " + path("sim");
  run(add.c_str());
  run(add.c_str());
  EXPECT_EQ(search_path, path("sim") + "," + path("sim"));
  run("path");
  const std::string shown = output();
  EXPECT_NE(shown.find("Alternate Source Paths:\n" + path("sim") + "\n" + path("sim") + "\n"),
            std::string::npos)
      << shown;
  run("path -");
  EXPECT_EQ(search_path, "");
}

TEST_F(path_cmd, only_an_existing_directory_is_taken) {
  write_file("plain.txt", "x");
  write_file("sub/keep", "");
  const std::string before = device_insts[0]->work_dir;
  run(("path " + path("plain.txt")).c_str());
  run(("path " + path("missing")).c_str());
  run(("path + " + path("plain.txt")).c_str());
  EXPECT_EQ(device_insts[0]->work_dir, before);
  EXPECT_EQ(search_path, "");
  EXPECT_EQ(output(), "path " + path("plain.txt") + "\n{Error in Path Specification.}\npath " +
                          path("missing") + "\n{Error in Path Specification.}\npath + " +
                          path("plain.txt") + "\n{Error in Path Specification.}\n");

  run(("path " + path("sub")).c_str());
  EXPECT_EQ(device_insts[0]->work_dir, path("sub"));
}

TEST_F(redirect_cmd, stdout_goes_to_a_cio_file_in_the_working_directory) {
  run("redirect stdout out");
  EXPECT_EQ(redirect_name(0, REDIRECT_STDOUT), dir() + "out.cio");
  run("redirect stdout");
  run("redirect");
  EXPECT_EQ(output(), "redirect stdout out\nredirect stdout\nstdout to " + dir() +
                          "out.cio\nredirect\nstdin off\nstdout to " + dir() +
                          "out.cio\nstderr off\n");
  put_and_close(REDIRECT_STDOUT, "hello");
  EXPECT_EQ(read_file("out.cio"), "hello");
  EXPECT_EQ(redirect_file(0, REDIRECT_STDOUT), nullptr);
  EXPECT_EQ(redirect_name(0, REDIRECT_STDOUT), "");
}

TEST_F(redirect_cmd, an_existing_file_is_appended_overwritten_or_kept_by_the_option) {
  write_file("log.txt", "old ");
  run("redirect stderr log.txt -a");
  put_and_close(REDIRECT_STDERR, "new");
  EXPECT_EQ(read_file("log.txt"), "old new");

  run("redirect stderr log.txt -o");
  put_and_close(REDIRECT_STDERR, "fresh");
  EXPECT_EQ(read_file("log.txt"), "fresh");

  run("redirect stderr log.txt -c");
  EXPECT_EQ(redirect_file(0, REDIRECT_STDERR), nullptr);
  EXPECT_EQ(read_file("log.txt"), "fresh");
  // -c on a file that does not exist makes it.
  run("redirect stderr other -c");
  EXPECT_NE(redirect_file(0, REDIRECT_STDERR), nullptr);
}

TEST_F(redirect_cmd, without_an_option_the_user_is_asked) {
  write_file("out.cio", "old ");
  feed("a\nc\n");
  run("redirect stdout out");
  put_and_close(REDIRECT_STDOUT, "more");
  EXPECT_EQ(read_file("out.cio"), "old more");
  run("redirect stdout out");
  EXPECT_EQ(redirect_file(0, REDIRECT_STDOUT), nullptr);
}

TEST_F(redirect_cmd, stdin_reads_an_existing_file_and_a_failure_keeps_the_old_one) {
  write_file("in.cio", "42\n");
  run("redirect stdin in");
  std::FILE* f = redirect_file(0, REDIRECT_STDIN);
  ASSERT_NE(f, nullptr);
  char line[8] = {};
  ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "42\n");

  run("redirect stdin missing.txt");
  EXPECT_EQ(redirect_file(0, REDIRECT_STDIN), f);
  EXPECT_NE(output().find("{Error opening:" + dir() + "missing.txt}\n"), std::string::npos);

  run("redirect stdin off");
  EXPECT_EQ(redirect_file(0, REDIRECT_STDIN), nullptr);
  run("redirect stdout o1");
  run("redirect stderr o2");
  run("redirect off");
  for (int s = 0; s < 3; ++s) EXPECT_EQ(redirect_file(0, s), nullptr);
}

TEST_F(redirect_cmd, redirections_belong_to_their_device) {
  ASSERT_EQ(create_device(1, "73521"), 1);
  device_insts[1]->work_dir = dir();
  execute_command_line(1, "redirect stdout one");
  EXPECT_EQ(redirect_file(0, REDIRECT_STDOUT), nullptr);
  EXPECT_EQ(redirect_name(1, REDIRECT_STDOUT), dir() + "one.cio");
  end_redirections(1);
}

// Opened without waiting: a FIFO nobody reads is refused at once (the
// alarm ends the test, were the open to wait); /dev/null is a file.
TEST_F(redirect_cmd, a_fifo_without_a_reader_is_refused_and_devices_are_taken) {
  ASSERT_EQ(mkfifo(path("pipe.cio").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/null", path("null.cio"));
  alarm(20);
  run("redirect stdout pipe -o");
  alarm(0);
  EXPECT_EQ(redirect_file(0, REDIRECT_STDOUT), nullptr);
  EXPECT_NE(output().find("{Error opening:" + dir() + "pipe.cio}"), std::string::npos);
  run("redirect stdout null -o");
  EXPECT_NE(redirect_file(0, REDIRECT_STDOUT), nullptr);
  end_redirections(0);
}

TEST_F(quit_cmd, e_and_d_switch_quit_on_error_and_quit_ends_with_the_macros) {
  run("quit e");
  EXPECT_EQ(quit_on_error, 1);
  EXPECT_EQ(quitting, 0);
  run("quit d");
  EXPECT_EQ(quit_on_error, 0);

  write_file("steps.cmd", "; one\n; two\n");
  run("steps");
  ASSERT_EQ(macro_running, 1);
  run("quit");
  EXPECT_EQ(quitting, 1);
  EXPECT_EQ(macro_running, 0);
  std::string line;
  EXPECT_EQ(read_macro_line(0, line), 0);
}

// Window commands say that only the GUI shows windows, and a refused line
// is only echoed.
TEST_F(window_cmd, window_commands_say_why_they_do_nothing) {
  for (const char* line : {"wsession off", "wr ssi0", "wasm now"}) execute_command_line(0, line);
  EXPECT_EQ(output(),
            "wsession off\n{wsession: windows are shown only by the GUI front-end}\n"
            "wr ssi0\n{wregister: windows are shown only by the GUI front-end}\n"
            "wasm now\n");
}
