// The program from start-up to exit, its standard streams on files, in a
// scratch folder of its own.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console_fixture.h"

namespace {

class console_run : public ::testing::Test {
 protected:
  std::filesystem::path scratch;
  std::filesystem::path home;

  void SetUp() override {
    home = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "simconXXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch = pattern;
    quitting = 0;
    macro_running = quit_on_error = exit_status = 0;
  }

  void TearDown() override {
    std::filesystem::current_path(home);
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    console_streams& io = console_io();
    io.out = stdout;
    io.in_fd = 0;
    io.in_tty = io.out_tty = false;
    io.prompt = nullptr;
    input_reset();
    quitting = 0;
  }

  void write_file(const std::string& name, const std::string& text) {
    std::ofstream(scratch / name) << text;
  }

  // Runs the program with `input` on standard input; returns its output.
  std::string run(std::vector<std::string> args, const std::string& input, int* status) {
    write_file("stdin.txt", input);
    std::filesystem::current_path(scratch);
    const int in = open("stdin.txt", O_RDONLY);
    const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::fflush(stdout);
    const int saved_in = dup(0);
    const int saved_out = dup(1);
    dup2(in, 0);
    dup2(out, 1);
    close(in);
    close(out);

    args.insert(args.begin(), "sim73500");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    *status = console_main(static_cast<int>(args.size()), argv.data());

    std::fflush(stdout);
    dup2(saved_in, 0);
    dup2(saved_out, 1);
    close(saved_in);
    close(saved_out);
    std::ifstream result(scratch / "stdout.txt");
    return std::string(std::istreambuf_iterator<char>(result), {});
  }
};

constexpr const char* BANNER_LINE = "ZELMORAK DSP73500 SIMULATOR:  VERSION 6.1.1  9-4-96\n";

}  // namespace

TEST_F(console_run, without_input_prints_the_banner_alone) {
  int status = -1;
  EXPECT_EQ(run({}, "", &status), BANNER_LINE);
  EXPECT_EQ(status, 0);
}

TEST_F(console_run, startup_macro_found_in_the_working_folder_runs_first) {
  write_file("startup.cmd", "; nothing\n");
  int status = -1;
  EXPECT_EQ(run({}, "; typed\n", &status),
            std::string(BANNER_LINE) + "startup\n; nothing\n; typed\n");
  EXPECT_EQ(status, 0);
}

TEST_F(console_run, an_argument_is_the_first_line_and_the_startup_macro_is_not_looked_for) {
  write_file("startup.cmd", "; nothing\n");
  int status = -1;
  EXPECT_EQ(run({";first"}, "; typed\n", &status),
            std::string(BANNER_LINE) + ";first\n; typed\n");
}

TEST_F(console_run, blank_lines_are_skipped_and_quit_ends_the_input) {
  int status = -1;
  EXPECT_EQ(run({}, "; one\n\n   \r\n; two\r\nquit\n; never\n", &status),
            std::string(BANNER_LINE) + "; one\n; two\nquit\n");
  EXPECT_EQ(status, 0);
}

TEST_F(console_run, a_last_line_without_a_line_end_still_runs) {
  int status = -1;
  EXPECT_EQ(run({}, "; one\n; last", &status), std::string(BANNER_LINE) + "; one\n; last\n");
}
