// Logs, output streams and saved files write to the file their name leads
// to (links followed, devices such as /dev/null taking the lines, a FIFO
// that no one reads refused at once), and a write that fails is said when
// it fails, with what was written kept. A full disk is a child process
// whose files may not grow past a limit.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/sim/cmd/file_targets.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/core/runloop.h"

namespace {

class file_writes : public file_targets::logs_fixture {
 protected:
  static int times(const std::string& text, const std::string& part) { return file_targets::times(text, part); }

  std::vector<std::string> folder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(scratch))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Runs `body` in a child whose files cannot grow past `limit` bytes and
  // which is ended after 20 s (a hang fails the test instead of holding
  // it); what the child found wrong, "" when nothing.
  static std::string in_child(rlim_t limit, const std::function<void(std::string&)>& body) {
    return file_targets::in_child(body, {.file_limit = limit});
  }

  // Steps device 0 until its run ends.
  static void steps(int n) {
    run(("step " + std::to_string(n)).c_str());
    for (int guard = 0; device_states[0]->running != 0 && guard < 100; ++guard) run_device_slice(RUN_SLICE_ROUNDS);
    make_device_current(0);
  }
};

#define CHILD_EXPECT(failures, condition) \
  if (!(condition)) (failures) += std::string(#condition) + "\n"

TEST_F(file_writes, AppendsGoToTheFileANameLeadsTo) {
  write_file("real.log", "older\n");
  std::filesystem::create_symlink(path("real.log"), path("link.log"));
  std::filesystem::create_symlink("/dev/null", path("null.cmd"));
  std::filesystem::create_symlink("/dev/zero", path("zero.io"));
  run("log c null -a");
  run("output x:$20 zero -a");
  run("log s link -a");
  run("; one");
  EXPECT_EQ(read_file("real.log"), "older\n; one\n");  // there at once, not at the close
  run("log off s");
  EXPECT_TRUE(std::filesystem::is_symlink(path("link.log")));
  EXPECT_EQ(read_file("real.log"), "older\n; one\nlog off s\n");
  EXPECT_NE(command_log, nullptr);
  EXPECT_NE(device_states[0]->streams[SL_OUT_UNTIMED]->file, nullptr);
  EXPECT_EQ(folder(), (std::vector<std::string>{"link.log", "null.cmd", "real.log", "zero.io"}));
  EXPECT_EQ(output().find("{Error"), std::string::npos) << output();

  // A log appended through a link to /dev/zero takes no copy of it.
  std::filesystem::create_symlink("/dev/zero", path("zero.log"));
  EXPECT_EQ(in_child(1 << 20,
                     [&](std::string& failures) {
                       run("log s zero -a");
                       run("; into nothing");
                       CHILD_EXPECT(failures, session_logs[0] != nullptr);
                       CHILD_EXPECT(failures, output().find("{Error") == std::string::npos);
                     }),
            "");
}

TEST_F(file_writes, AFifoNoOneReadsIsRefusedAtOnce) {
  for (const char* name : {"f.log", "f.cmd", "f.io"}) ASSERT_EQ(mkfifo(path(name).c_str(), 0600), 0);
  EXPECT_EQ(in_child(RLIM_INFINITY,
                     [&](std::string& failures) {
                       run("log s f -a");
                       CHILD_EXPECT(failures, session_logs[0] == nullptr);
                       run("log c f -o");
                       CHILD_EXPECT(failures, command_log == nullptr);
                       run("output x:$20 f -a");
                       const io_stream* s = device_states[0]->streams[SL_OUT_UNTIMED];
                       CHILD_EXPECT(failures, s != nullptr && s->file == nullptr);
                       CHILD_EXPECT(failures, times(output(), "{Error opening file.}") == 3);
                     }),
            "");
}

// On a full disk: the logs and an output stream each say their first lost
// line once, when it is lost, stop, and keep what fitted; a run stops
// there; the save commands name the write, not the open.
TEST_F(file_writes, FailedWritesAreSaidAtOnceAndKeepWhatFitted) {
  constexpr rlim_t LIMIT = 200;
  std::string lines;
  for (int i = 0; i < 40; ++i) {
    char line[16];
    std::snprintf(line, sizeof line, "; line %02d\n", i);
    lines += line;
  }
  const std::string failures = in_child(LIMIT, [&](std::string& failures) {
    for (const char* log : {"log s full -o", "log c full -o"}) {
      run(log);
      for (std::size_t at = 0; at < lines.size(); at += 10) run(lines.substr(at, 9).c_str());
    }
    CHILD_EXPECT(failures, session_logs[0] == nullptr);
    CHILD_EXPECT(failures, command_log == nullptr);
    CHILD_EXPECT(failures, times(output(), "{Error writing file:" + path("full.log") + " (File too large)}") == 1);
    CHILD_EXPECT(failures, times(output(), "{Error writing file:" + path("full.cmd") + " (File too large)}") == 1);

    run("asm p:0 nop");
    run("asm p:1 jmp 0");
    run("change pc 0");
    run("output history hist -o");
    steps(40);
    CHILD_EXPECT(failures, times(output(), "{Error writing file:" + path("hist.io") + " (File too large)}") == 1);
    CHILD_EXPECT(failures, device_insts[0]->instructions < 40);
    const uint32_t before = device_insts[0]->instructions;
    steps(5);
    CHILD_EXPECT(failures, device_insts[0]->instructions == before + 5);
    CHILD_EXPECT(failures, times(output(), "{Error writing file:" + path("hist.io") + " (File too large)}") == 1);

    recorded().clear();
    run("save p:0..$ff full");
    CHILD_EXPECT(failures, times(output(), "{Error writing file:" + path("full.lod") + " (File too large)}") == 1);
    run("save s full");
    // One message, with its cause.
    CHILD_EXPECT(failures, times(output(), "{Error writing file:" + path("full.sim") + " (File too large)}") == 1);
    CHILD_EXPECT(failures, times(output(), "{Error") == 2);
  });
  EXPECT_EQ(failures, "");
  for (const char* name : {"full.log", "full.cmd"}) {
    const std::string kept = read_file(name);
    EXPECT_EQ(kept.size(), LIMIT) << name;
    EXPECT_EQ(kept, lines.substr(0, kept.size())) << name;
  }
  const std::string history = read_file("hist.io");
  EXPECT_EQ(history.size(), LIMIT);
  EXPECT_EQ(history.rfind("\nP:$0000 ", 0), 0u) << history;
  // The saved files that failed leave nothing behind.
  EXPECT_EQ(folder(), (std::vector<std::string>{"full.cmd", "full.log", "hist.io"}));
}

// A state file that cannot be made: the writer's report with its cause,
// then the file that was not written.
TEST_F(file_writes, AStateFileThatCannotBeMadeIsNamed) {
  std::filesystem::create_directory(scratch / "taken.sim");
  const struct {
    std::string path;
    const char* cause;
  } cases[] = {{path("none/x.sim"), "No such file or directory"}, {path("taken.sim"), "Is a directory"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    recorded().clear();
    run(("save s " + c.path + " -o").c_str());
    EXPECT_NE(output().find(std::string("\n{Error opening file. (") + c.cause + ")}\n{Error writing file:" + c.path + "}\n"),
              std::string::npos)
        << output();
    EXPECT_EQ(times(output(), "{Error"), 2) << output();
  }
}

}  // namespace
