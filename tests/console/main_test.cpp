// The program from start-up to exit, its standard streams on files, in a
// scratch folder of its own.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
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
    restore_standard_streams();
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

TEST_F(console_run, from_start_up_to_the_end_of_input) {
  const struct {
    const char* what;
    bool startup_macro;
    std::vector<std::string> args;
    const char* input;
    const char* after_banner;
  } cases[] = {
      {"without input: the banner alone", false, {}, "", ""},
      {"a startup macro in the working folder runs first", true, {}, "; typed\n",
       "startup\n; nothing\n; typed\n"},
      {"an argument is the first line; no startup macro is looked for", true, {";first"},
       "; typed\n", ";first\n; typed\n"},
      {"blank lines are skipped and quit ends the input", false, {},
       "; one\n\n   \r\n; two\r\nquit\n; never\n", "; one\n; two\nquit\n"},
      {"a last line without a line end still runs", false, {}, "; one\n; last", "; one\n; last\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(scratch / "startup.cmd");
    if (c.startup_macro) write_file("startup.cmd", "; nothing\n");
    int status = -1;
    EXPECT_EQ(run(c.args, c.input, &status), std::string(BANNER_LINE) + c.after_banner);
    EXPECT_EQ(status, 0);
    quitting = 0;
  }
}

namespace {

// The process's write system calls so far; -1 when the kernel does not say.
long long write_calls() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value)
    if (key == "syscw:") return value;
  return -1;
}

}  // namespace

// Output that goes to a file is written in blocks, not a call per line;
// the text is the same, every line in order.
TEST_F(console_run, output_to_a_file_is_written_in_blocks) {
  const long long before = write_calls();
  if (before < 0) GTEST_SKIP() << "no write counts in /proc/self/io";
  int status = -1;
  const std::string out = run({}, "trace 600\n; done\n", &status);
  const long long calls = write_calls() - before;
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out.rfind(BANNER_LINE, 0), 0u);
  EXPECT_NE(out.find("trace 600\n"), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 7), "; done\n");
  const long long lines = std::count(out.begin(), out.end(), '\n');
  EXPECT_GT(lines, 600);
  // A 64 KiB block, the run's stop and the end: a few calls at most. The
  // sanitizers' slow builds take about ten more; a call per line would be
  // thousands.
  EXPECT_LE(calls, static_cast<long long>(out.size() / 65536 + 16)) << lines << " lines";
}

// Lines whose bytes are not the file's own (highlight bytes typed in,
// dollar pairs, lines past the session's line length) still come out as
// the session renders them, between lines that go out as they are.
TEST_F(console_run, lines_with_control_bytes_or_pairs_are_rendered_for_a_file) {
  int status = -1;
  const std::string long_line = "; " + std::string(300, 'x') + "{y}";
  const std::string out =
      run({}, "; a\x0f" "b\x07" "c ${d} {e}\n" + long_line + "\nzz${x}\n; done\n", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("\n; a{b}c ${d} {e}\n"), std::string::npos) << out;
  EXPECT_EQ(out.find('\x0f'), std::string::npos);
  EXPECT_EQ(out.find('\x07'), std::string::npos);
  EXPECT_NE(out.find("\n" + long_line.substr(0, 255) + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\nzz${x}\n{Error opening macro file}\n; done\n"), std::string::npos) << out;
}
