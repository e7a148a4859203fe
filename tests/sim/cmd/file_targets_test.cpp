// Where saves, appends and logs land, and what the readers refuse: a link
// planted where a file is made, links, devices, FIFOs and folders that
// cannot be written as targets, two sessions appending to one log, endless
// devices and FIFOs with no writer as input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/sim/cmd/file_targets.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/periph/hostio.h"

namespace {

using file_targets::child_limits;
using file_targets::in_child;
using file_targets::read_all;

class file_targets_test : public file_targets::logs_fixture {
 protected:
  static int times(const std::string& text, const std::string& part) { return file_targets::times(text, part); }
  static int errors() { return times(output(), "{Error"); }
  ino_t inode(const std::string& name) const {
    struct stat info {};
    return lstat(path(name).c_str(), &info) == 0 ? info.st_ino : 0;
  }
  unsigned mode(const std::string& name) const {
    struct stat info {};
    return stat(path(name).c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
  }
  std::size_t entry_count() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(scratch), {}));
  }
};

constexpr const char* OLD_LOD = "\n_DATA p 0\n 1 2\n_END 0 \n";

// An append writes into the file from its old end record: the temporary
// name an older writer used is a planted link, which is left alone.
TEST_F(file_targets_test, LodAppendsWriteIntoTheFileItself) {
  write_file("x.lod", OLD_LOD);
  write_file("victim", "keep\n");
  std::filesystem::create_symlink(path("victim"), path("x.lod.tmp" + std::to_string(getpid())));
  const ino_t before = inode("x.lod");
  run("change p:0 $12");
  run("save p:0..1 x -a");
  EXPECT_EQ(errors(), 0) << output();
  EXPECT_EQ(read_all(path("victim")), "keep\n");
  EXPECT_EQ(inode("x.lod"), before);
  EXPECT_EQ(read_all(path("x.lod")), "\n_DATA p 0\n 1 2\n\n_DATA p 0\n 12 0\n_END 0 \n");
  EXPECT_EQ(entry_count(), 3u);

  // No end record: the file is kept whole and the blocks follow it.
  write_file("plain.lod", "\n_DATA x 0\n 5");
  run("save x:0 plain -a");
  EXPECT_EQ(read_all(path("plain.lod")), "\n_DATA x 0\n 5\n_DATA x 0\n 0\n_END \n");

  // Through a link: the file it names takes the blocks, the link stays.
  write_file("real.lod", "\n_DATA p 0\n 7\n_end\n; a comment after the end record\n");
  std::filesystem::create_symlink("real.lod", path("ln.lod"));
  run("save p:0 ln -a");
  EXPECT_TRUE(std::filesystem::is_symlink(path("ln.lod")));
  // Text after its end record stays: the blocks go after the file's end.
  EXPECT_EQ(read_all(path("real.lod")),
            "\n_DATA p 0\n 7\n_end\n; a comment after the end record\n\n_DATA p 0\n 12\n_END 0 \n");
  EXPECT_EQ(errors(), 0) << output();

  // A write that fails leaves the file as it was, and says so once.
  const std::string failures = in_child(
      [&](std::string& failures) {
        run("save p:0..$ff x -a");
        CHILD_CHECK(failures, times(output(), "{Error writing file:" + path("x.lod") + " (File too large)}") == 1);
      },
      child_limits{.file_limit = 100});
  EXPECT_EQ(failures, "");
  EXPECT_EQ(read_all(path("x.lod")), "\n_DATA p 0\n 1 2\n\n_DATA p 0\n 12 0\n_END 0 \n");
}

// save s NAME -o: a link is followed and kept, a device or a FIFO is
// written in place, a replaced file keeps its mode and a new one has 0666
// less the umask.
TEST_F(file_targets_test, StateSavesLandWhereTheNameLeads) {
  std::filesystem::create_directory(path("real"));
  write_file("real/target.sim", "old\n");
  std::filesystem::create_symlink("real/target.sim", path("st.sim"));
  run("save s st -o");
  EXPECT_TRUE(std::filesystem::is_symlink(path("st.sim")));
  EXPECT_EQ(read_all(path("real/target.sim")).rfind("711\n", 0), 0u);

  write_file("shared.sim", "old\n");
  chmod(path("shared.sim").c_str(), 0640);
  const mode_t was = umask(022);
  run("save s shared -o");
  run("save s fresh");
  run("save p:0 fresh");
  umask(0);
  run("save s open");
  umask(was);
  EXPECT_EQ(mode("shared.sim"), 0640u);
  EXPECT_EQ(mode("fresh.sim"), 0644u);
  EXPECT_EQ(mode("fresh.lod"), 0644u);
  EXPECT_EQ(mode("open.sim"), 0666u);
  EXPECT_EQ(read_all(path("shared.sim")).rfind("711\n", 0), 0u);

  if (file_targets::as_root()) {
    ASSERT_EQ(mknod(path("dev.sim").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    run("save s dev -o");
    EXPECT_TRUE(std::filesystem::is_character_file(path("dev.sim")));
  }
  EXPECT_EQ(errors(), 0) << output();

  // A FIFO someone reads takes the state; one no one reads is refused at once.
  ASSERT_EQ(mkfifo(path("f.sim").c_str(), 0600), 0);
  const std::string failures = in_child([&](std::string& failures) {
    const int reader = open(path("f.sim").c_str(), O_RDONLY | O_NONBLOCK);
    run("save s f -o");
    char head[4] = {};
    CHILD_CHECK(failures, read(reader, head, 4) == 4 && std::string(head, 4) == "711\n");
    close(reader);
    recorded().clear();
    run("save s f -o");
    CHILD_CHECK_TEXT(failures, output() == "save s f -o\nOutput file:" + path("f.sim") +
                                               "\n{Error opening file. (no one reads the FIFO)}\n{Error writing file:" +
                                               path("f.sim") + "}\n",
                     output());
  });
  EXPECT_EQ(failures, "");
  EXPECT_TRUE(std::filesystem::is_fifo(path("f.sim")));
}

// A folder the user cannot write: its writable files are written in place,
// a new file is refused with one message naming the cause.
TEST_F(file_targets_test, AFolderThatCannotBeWritten) {
  std::filesystem::create_directory(path("ro"));
  write_file("ro/st.sim", "old\n");
  write_file("ro/locked.sim", "old\n");
  chmod(path("ro/st.sim").c_str(), 0666);
  chmod(path("ro/locked.sim").c_str(), 0444);
  chmod(path("ro").c_str(), 0555);
  chmod(scratch.c_str(), 0777);
  const std::string failures = in_child(
      [&](std::string& failures) {
        run("save s ro/st -o");
        CHILD_CHECK(failures, errors() == 0);
        CHILD_CHECK(failures, read_all(path("ro/st.sim")).rfind("711\n", 0) == 0);
        for (const char* line : {"save s ro/new", "save p:0 ro/new", "save p:0 ro/new.cld"}) {
          recorded().clear();
          run(line);
          // A state file not made also names the file.
          CHILD_CHECK(failures, errors() == (std::string(line).rfind("save s", 0) == 0 ? 2 : 1));
          CHILD_CHECK(failures, times(output(), " (folder not writable)}") == 1);
        }
        recorded().clear();
        run("save s ro/locked -o");
        CHILD_CHECK(failures, output().find("\n{Error opening file. (Permission denied)}\n{Error writing file:" +
                                            path("ro/locked.sim") + "}\n") != std::string::npos);
        CHILD_CHECK(failures, errors() == 2);
      },
      child_limits{.unprivileged = true});
  chmod(path("ro").c_str(), 0755);
  EXPECT_EQ(failures, "");
  EXPECT_EQ(read_all(path("ro/locked.sim")), "old\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("ro")), {}), 2);
}

// "-a" opens for appending even when the file is not there yet: two
// sessions appending to one new log keep every line of both.
TEST_F(file_targets_test, TwoSessionsAppendingToANewLogKeepEveryLine) {
  constexpr int LINES = 300, TRIES = 20;
  for (int attempt = 0; attempt < TRIES; ++attempt) {
    const std::string name = "shared" + std::to_string(attempt);
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    pid_t sessions[2];
    for (int s = 0; s < 2; ++s) {
      std::fflush(nullptr);
      sessions[s] = fork();
      if (sessions[s] == 0) {
        alarm(20);
        run(("log s " + name + " -a").c_str());
        char byte = 'r';
        if (write(ready[1], &byte, 1) != 1 || read(go[0], &byte, 1) != 1) _exit(2);
        for (int i = 0; i < LINES; ++i) run(("; session " + std::to_string(s) + " line " + std::to_string(i)).c_str());
        run("log off s");
        _exit(session_logs[0] == nullptr ? 0 : 3);
      }
    }
    char bytes[2];
    ASSERT_EQ(read(ready[0], bytes, 1) + read(ready[0], bytes + 1, 1), 2);
    ASSERT_EQ(write(go[1], "gg", 2), 2);
    for (const pid_t pid : sessions) {
      int status = 0;
      waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
    const std::string log = read_all(path(name + ".log"));
    ASSERT_EQ(times("\n" + log, "\n; session "), 2 * LINES) << "attempt " << attempt;
  }
}

// Every "-a" opens for appending, the file there or not.
TEST_F(file_targets_test, AppendOptionsAppendToNewFiles) {
  run("log s a1 -a");
  run("output x:0 a2 -a");
  run("redirect stdout a3 -a");
  const io_stream* stream = device_states[0]->streams[SL_OUT_UNTIMED];
  ASSERT_TRUE(session_logs[0] != nullptr && stream != nullptr && stream->file != nullptr &&
              redirect_file(0, REDIRECT_STDOUT) != nullptr);
  for (std::FILE* file : {session_logs[0], stream->file, redirect_file(0, REDIRECT_STDOUT)})
    EXPECT_NE(fcntl(fileno(file), F_GETFL) & O_APPEND, 0);
  end_redirections(0);
}

// An input stream or a state load on what has no end (a link to
// /dev/zero) or no writer (a FIFO) is refused at once.
TEST_F(file_targets_test, EndlessDevicesAndFifosAreRefusedAsInput) {
  std::filesystem::create_symlink("/dev/zero", path("z.io"));
  std::filesystem::create_symlink("/dev/zero", path("z.sim"));
  ASSERT_EQ(mkfifo(path("f.io").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(path("f.sim").c_str(), 0600), 0);
  write_file("r.io", "1\n2\n");
  const std::string failures = in_child(
      [&](std::string& failures) {
        for (const char* name : {"z", "f"}) {
          recorded().clear();
          run(("input x:0 " + std::string(name)).c_str());
          CHILD_CHECK_TEXT(failures, output() == "input x:0 " + std::string(name) + "\n{Error opening:" + name + "}\n",
                           output());
          CHILD_CHECK(failures, device_states[0]->streams[SL_IN_UNTIMED] == nullptr);
          recorded().clear();
          run(("load s " + std::string(name)).c_str());
          const std::string file = path(std::string(name) + ".sim");
          CHILD_CHECK_TEXT(failures,
                           output() == "load s " + std::string(name) + "\nLoading State file:" + file +
                                           "\n{Error reading file:" + file + "}\n",
                           output());
        }
        run("input x:0 r");
        CHILD_CHECK(failures, device_states[0]->streams[SL_IN_UNTIMED] != nullptr);
      },
      child_limits{.address_room = 512u << 20, .seconds = 10});
  EXPECT_EQ(failures, "");
}

// A state file names its redirections' and the target's files: a FIFO
// put at such a name since the save does not hold the load (a redirection
// takes it as the redirect command does).
TEST_F(file_targets_test, AReopenedFileThatIsNowAFifoDoesNotHoldTheLoad) {
  write_file("in.cio", "typed\n");
  write_file("t.dat", "data");
  run("redirect stdin in");
  ASSERT_EQ(hio_open(path("t.dat"), O_RDONLY, 0), 3);
  run("save s st");
  end_redirections(0);
  hio_close(3);
  for (const char* name : {"in.cio", "t.dat"}) {
    std::filesystem::remove(path(name));
    ASSERT_EQ(mkfifo(path(name).c_str(), 0600), 0);
  }
  const std::string failures = in_child(
      [&](std::string& failures) {
        recorded().clear();
        run("load s st");
        // The target's file cannot go back to its offset in a FIFO: said.
        CHILD_CHECK_TEXT(failures, times(output(), "Error opening:" + path("t.dat")) == 1, output());
        CHILD_CHECK_TEXT(failures, times(output(), "Error") == 1, output());
        CHILD_CHECK(failures, redirect_name(0, REDIRECT_STDIN) == path("in.cio"));
      },
      child_limits{.seconds = 10});
  EXPECT_EQ(failures, "");
}

// A name whose last part is empty names no file: refused with the open
// error, and nothing is made in the folder.
TEST_F(file_targets_test, ANameEndingInASlashIsRefused) {
  std::filesystem::create_directory(path("adir"));
  for (const char* line : {"log c adir/", "log s adir/ -a", "save s adir/ -o", "save p:0 adir/", "output x:0 adir/ -o",
                           "redirect stdout adir/"}) {
    recorded().clear();
    run(line);
    EXPECT_EQ(times(output(), "{Error opening"), 1) << line << "\n" << output();
  }
  EXPECT_EQ(command_log, nullptr);
  EXPECT_EQ(session_logs[0], nullptr);
  EXPECT_TRUE(std::filesystem::is_empty(path("adir")));
}

}  // namespace
