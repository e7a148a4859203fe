// The simulator program itself: a file-size limit fails a save instead of
// ending the session, two sessions appending to one file keep every block,
// output that cannot be written is said and fails the session, the GUI
// without a usable font ends with status 1, a save cut short by SIGTERM
// leaves no temporary file, and the interactive assembler's key list shows on
// the status row of a terminal, one that gives its size and one that does
// not.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

class program_files : public ::testing::Test {
 protected:
  std::filesystem::path scratch;

  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "simprogXXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
  }

  // In the child: the scratch folder as HOME and working folder, then the
  // program (with `option` before any command).
  [[noreturn]] void exec_program(const char* option = nullptr) const {
    setenv("HOME", scratch.c_str(), 1);
    unsetenv("LINES");
    if (chdir(scratch.c_str()) != 0) _exit(126);
    execl(SIM73500, SIM73500, option, static_cast<char*>(nullptr));
    _exit(127);
  }

  // Starts the program on the commands of `input` (a file in the scratch
  // folder), its output to `output` there ("" for /dev/null), its errors to
  // `errors` (-1: with the output), under a file-size limit.
  pid_t start(const std::string& input, const std::string& output, int errors = -1, rlim_t limit = RLIM_INFINITY,
              const char* option = nullptr) const {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const int in = open((scratch / input).c_str(), O_RDONLY);
    const int out = output.empty() ? open("/dev/null", O_WRONLY)
                                   : open((scratch / output).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(errors >= 0 ? errors : out, 2);
    const rlimit files{limit, limit};
    setrlimit(RLIMIT_FSIZE, &files);
    alarm(60);
    exec_program(option);
  }

  // What the program started by `run` (given the write end of a pipe for
  // its errors) said on standard error, and how it ended.
  template <class Run>
  static std::string errors_of(Run run, int& status) {
    int errors[2];
    if (pipe2(errors, O_CLOEXEC) != 0) return "no pipe";
    const pid_t pid = run(errors[1]);
    close(errors[1]);
    std::string said;
    read_until(errors[0], said, "\x01", 30);
    close(errors[0]);
    waitpid(pid, &status, 0);
    return said;
  }

  // Reads from fd until `wanted` has come or `seconds` have passed.
  static void read_until(int fd, std::string& text, const std::string& wanted, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (text.find(wanted) == std::string::npos && std::chrono::steady_clock::now() < end) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) return;
      text.append(buffer, static_cast<std::size_t>(n));
    }
  }
};

TEST_F(program_files, AFileSizeLimitFailsTheSaveAndTheSessionGoesOn) {
  int to[2], from[2];
  ASSERT_EQ(pipe(to), 0);
  ASSERT_EQ(pipe(from), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(to[0], 0);
    dup2(from[1], 1);
    dup2(from[1], 2);
    for (int fd : {to[0], to[1], from[0], from[1]}) close(fd);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_DFL);
    alarm(30);
    exec_program();
  }
  close(to[0]);
  close(from[1]);
  const std::string script = "save s st -o\nsave p:0..$fff big -o\n; still here\nquit\n";
  ASSERT_EQ(write(to[1], script.data(), script.size()), static_cast<ssize_t>(script.size()));
  close(to[1]);
  std::string session;
  read_until(from[0], session, "\x01", 30);
  close(from[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  const std::string folder = scratch.string() + "/";
  EXPECT_NE(session.find("{Error writing file:" + folder + "st.sim (File too large)}"), std::string::npos) << session;
  EXPECT_NE(session.find("{Error writing file:" + folder + "big.lod (File too large)}"), std::string::npos) << session;
  EXPECT_NE(session.find("; still here"), std::string::npos) << session;
  // Neither the failed files nor their temporary files stay.
  for (const auto& entry : std::filesystem::directory_iterator(scratch)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.rfind("st.sim", 0) != 0 && name.rfind("big.lod", 0) != 0) << name;
  }
}

// Two sessions append 40 blocks each to one ".lod" and to one COFF file at
// the same time: every block of both is kept, each time.
TEST_F(program_files, TwoSessionsAppendingToOneFileKeepEveryBlock) {
  struct target {
    const char* name;
    const char* block;  // what marks one block in a ".lod" file
  };
  for (const target t : {target{"shared.lod", "_DATA p "}, target{"shared.cld", ""}}) {
    SCOPED_TRACE(t.name);
    int kept_all = 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
      std::filesystem::remove(scratch / t.name);
      std::string first = std::string("save x:0 ") + t.name + " -o\nquit\n";
      const bool coff = std::string(t.name).ends_with(".cld");
      for (int s = 0; s < 2; ++s) {
        std::string script;
        for (int b = 0; b < 40; ++b)
          script += "save p:" + std::to_string(s * 1000 + b * 10) + " " + t.name + " -a\n";
        std::ofstream(scratch / ("append" + std::to_string(s) + ".cmd")) << script << "quit\n";
      }
      std::ofstream(scratch / "first.cmd") << first;
      int status = 0;
      waitpid(start("first.cmd", ""), &status, 0);
      const pid_t a = start("append0.cmd", ""), b = start("append1.cmd", "");
      waitpid(a, &status, 0);
      waitpid(b, &status, 0);
      std::ifstream in(scratch / t.name, std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      int blocks = 0;
      for (std::size_t at = text.find(t.block); at != std::string::npos; at = text.find(t.block, at + 1)) ++blocks;
      if (coff) {
        // One section per block: the big-endian section count in the file header.
        blocks = 0;
        for (std::size_t i = 4; i < 8 && i < text.size(); ++i) blocks = blocks << 8 | static_cast<unsigned char>(text[i]);
        blocks -= 1;  // the first save's x block
      }
      if (blocks == 80) ++kept_all;
      else ADD_FAILURE() << "try " << attempt << ": " << blocks << " of 80 blocks kept";
    }
    EXPECT_EQ(kept_all, 20);
  }
}

// Output to a full device or past the file-size limit: the failure is said
// once on standard error and the session ends with a non-zero status.
TEST_F(program_files, OutputThatCannotBeWrittenIsSaidAndFailsTheSession) {
  const std::filesystem::path full = scratch / "full";
  // A private full device where the tests may make one.
  if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) std::filesystem::create_symlink("/dev/full", full);
  struct target {
    const char* name;
    rlim_t limit;
    const char* cause;
  };
  for (const target t : {target{"full", RLIM_INFINITY, "No space left on device"},
                         target{"out.txt", 20000, "File too large"}}) {
    SCOPED_TRACE(t.name);
    std::ofstream(scratch / "show.cmd") << "display p:0..$ffff\nnot a command\nquit\n";
    int status = 0;
    const std::string said = errors_of([&](int errors) { return start("show.cmd", t.name, errors, t.limit); }, status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "status " << status;
    EXPECT_EQ(said, std::string("sim73500: error writing the output: ") + t.cause + "\n");
  }
}

// No usable font (no folder of fonts, or a cut font file): the GUI says so
// and ends with status 1, not with an abort.
TEST_F(program_files, WithoutAUsableFontTheGuiEndsWithStatusOne) {
  const std::filesystem::path fonts = scratch / "fonts";
  std::filesystem::create_directory(fonts);
  {
    std::ifstream whole("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    std::string bytes(20000, '\0');
    whole.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(whole.gcount()));
    std::ofstream(fonts / "DejaVuSans.ttf", std::ios::binary) << bytes;
  }
  const std::string head = "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" + (scratch / "cache").string() + "</cachedir>";
  const std::string configs[] = {head + "</fontconfig>\n", head + "<dir>" + fonts.string() + "</dir></fontconfig>\n"};
  for (const std::string& config : configs) {
    SCOPED_TRACE(config);
    std::ofstream(scratch / "fonts.conf") << config;
    std::ofstream(scratch / "quit.cmd") << "quit\n";
    setenv("FONTCONFIG_FILE", (scratch / "fonts.conf").c_str(), 1);
    int status = 0;
    const std::string said = errors_of(
        [&](int errors) { return start("quit.cmd", "", errors, RLIM_INFINITY, "--gui=headless"); }, status);
    unsetenv("FONTCONFIG_FILE");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    EXPECT_NE(said.find("fonts: no DejaVu font found; install the package fonts-dejavu-core\n"), std::string::npos) << said;
  }
}

// SIGTERM while a state file is being written (sent the moment its
// temporary file appears): the session ends and the temporary file goes.
TEST_F(program_files, ASaveCutShortBySigtermLeavesNoTemporaryFile) {
  std::string script = "change p:0..$ffff $123456\nchange x:0..$ffff $1234\n";
  for (int i = 0; i < 400; ++i) script += "save s big -o\n";
  std::ofstream(scratch / "saves.cmd") << script << "quit\n";
  for (int attempt = 0; attempt < 5; ++attempt) {
    SCOPED_TRACE(attempt);
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, scratch.c_str(), IN_CREATE), 0);
    const pid_t pid = start("saves.cmd", "");
    bool seen = false;
    alignas(inotify_event) char events[4096];
    while (!seen) {
      pollfd p{watch, POLLIN, 0};
      if (poll(&p, 1, 20000) <= 0) break;
      const ssize_t n = read(watch, events, sizeof events);
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(events + at);
        if (e->len > 0 && std::string(e->name).rfind("big.sim.", 0) == 0) seen = true;
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(watch);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
    for (const auto& entry : std::filesystem::directory_iterator(scratch))
      EXPECT_EQ(entry.path().filename().string().rfind("big.sim.", 0), std::string::npos) << entry.path();
  }
}

// The key list is drawn on the status row under the session's rows: the
// second row from the bottom, on a terminal of 30 rows and on one that
// never says its size (24 rows taken).
TEST_F(program_files, TheAssemblersKeyListShowsOnAPseudoTerminal) {
  for (const int rows : {30, 0}) {
    int master = -1;
    winsize size{static_cast<unsigned short>(rows), static_cast<unsigned short>(rows == 0 ? 0 : 100), 0, 0};
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      alarm(30);
      exec_program();
    }
    std::string screen;
    read_until(master, screen, "0>", 10);
    const std::string typed = "asm p:0\r";
    ASSERT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    read_until(master, screen, "Change:", 10);
    const std::string status_row = "\x1b[" + std::to_string(rows == 0 ? 23 : rows - 1) + ";1H\x1b[2K";
    EXPECT_NE(screen.find(status_row + "\x1b[1mCR\x1b[22m=assemble   \x1b[1m^U\x1b[22m=previous addr   "
                                       "\x1b[1m^N\x1b[22m=next addr   \x1b[1mESC\x1b[22m=exit assembler"),
              std::string::npos)
        << rows << " rows";
    // ESC leaves the assembler; the prompt comes back and takes quit.
    ASSERT_EQ(write(master, "\x1b", 1), 1);
    std::string after;
    read_until(master, after, "0>", 5);
    ASSERT_EQ(write(master, "quit\r", 5), 5);
    read_until(master, after, "\x01", 5);
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == 0) {
      kill(pid, SIGTERM);
      waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << rows << " rows: " << after;
    close(master);
  }
}

}  // namespace
