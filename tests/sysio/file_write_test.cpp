// The one whole-file writer every save goes through (state files, ".lod"
// and COFF saves, resource stores, vrtool build): where each kind of name
// leads, and what a failed write leaves. A full disk is a child process
// whose files may not grow past a limit; a folder the user may not write is
// one made by root and written as nobody (or a read-only one when the tests
// do not run as root).
#include "sysio/file_write.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/child_process.h"

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const fs::path& path, const std::string& bytes, mode_t mode) {
  std::ofstream(path, std::ios::binary) << bytes;
  chmod(path.c_str(), mode);
}

std::set<std::string> names_in(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// Runs `body` in a child under a file-size limit, as nobody when `drop`
// and the tests run as root; what the child found wrong, "" when nothing.
std::string in_child(rlim_t limit, bool drop, const std::function<void(std::string&)>& body) {
  return child_process::in_child(body, {.unprivileged = drop, .file_limit = limit});
}

#define CHILD_CHECK(failures, condition) \
  if (!(condition)) (failures) += std::string(#condition) + " (line " + std::to_string(__LINE__) + ")\n"

class file_write : public ::testing::Test {
 protected:
  fs::path scratch;

  void SetUp() override {
    char name[] = "/tmp/sysio_test.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    scratch = name;
    // nobody must reach the files the unprivileged cases write.
    chmod(scratch.c_str(), 0755);
    old_mask = umask(022);
  }
  void TearDown() override {
    umask(old_mask);
    chmod(scratch.c_str(), 0755);
    fs::remove_all(scratch);
  }

 private:
  mode_t old_mask = 0;
};

// Each kind of name: what the write gives, what the name then leads to,
// and that no temporary file is left beside it.
TEST_F(file_write, EachKindOfTargetIsWrittenOrRefusedAtOnce) {
  const std::string long_name(255, 'n');
  struct target_case {
    const char* what;
    std::function<void(const fs::path&)> make;  // makes the name "t" (or the long one) in the folder
    std::string name;                           // the name written
    file_write_result::outcome kind;
    int error;                                  // the errno that stands for the cause; 0 when written
    const char* holds;                          // the file that must hold the bytes; "" none
    mode_t mode;                                // that file's mode; 0 unchecked
  };
  const target_case cases[] = {
      {"a new file", [](const fs::path&) {}, "t", file_write_result::written, 0, "t", 0644},
      {"a file replaced keeps its mode", [](const fs::path& d) { write_file(d / "t", "old", 0640); }, "t",
       file_write_result::written, 0, "t", 0640},
      {"a link's target is replaced", [](const fs::path& d) {
         write_file(d / "real", "old", 0600);
         fs::create_symlink("real", d / "t");
       }, "t", file_write_result::written, 0, "real", 0600},
      {"a dangling link makes its target", [](const fs::path& d) { fs::create_symlink("made", d / "t"); }, "t",
       file_write_result::written, 0, "made", 0644},
      {"a loop of links", [](const fs::path& d) {
         fs::create_symlink("u", d / "t");
         fs::create_symlink("t", d / "u");
       }, "t", file_write_result::not_opened, ELOOP, "", 0},
      {"a link to a folder", [](const fs::path& d) {
         fs::create_directory(d / "dir");
         fs::create_symlink("dir", d / "t");
       }, "t", file_write_result::not_opened, EISDIR, "", 0},
      {"a FIFO no one reads", [](const fs::path& d) { mkfifo((d / "t").c_str(), 0600); }, "t",
       file_write_result::not_opened, ENXIO, "", 0},
      {"a device", [](const fs::path& d) {
         // A private null device where the tests may make one.
         if (mknod((d / "t").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) fs::create_symlink("/dev/null", d / "t");
       }, "t", file_write_result::written, 0, "", 0},
      {"the longest name a folder takes", [](const fs::path&) {}, long_name, file_write_result::written, 0,
       long_name.c_str(), 0644},
  };
  const std::string bytes = "the new text\n";
  for (const target_case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path folder = scratch / "case";
    fs::create_directory(folder);
    c.make(folder);
    const std::set<std::string> before = names_in(folder);
    const auto started = std::chrono::steady_clock::now();
    const file_write_result written = write_whole_file((folder / c.name).string(), bytes);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_EQ(written.kind, c.kind) << written.cause;
    EXPECT_EQ(written.error, c.error) << written.cause;
    if (c.kind != file_write_result::written) {
      EXPECT_FALSE(written.cause.empty());
      EXPECT_EQ(written.message("x").rfind("Error opening file. (", 0), 0u) << written.message("x");
    }
    if (*c.holds != '\0') {
      EXPECT_EQ(read_file(folder / c.holds), bytes);
      struct stat info {};
      ASSERT_EQ(lstat((folder / c.holds).c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 07777, c.mode);
    }
    std::set<std::string> after = before;
    if (*c.holds != '\0') after.insert(c.holds);
    EXPECT_EQ(names_in(folder), after);  // links stay links; nothing left beside them
    fs::remove_all(folder);
  }
}

// A new file gets the mode its writer asks for, less the umask.
TEST_F(file_write, ANewFileGetsTheModeAskedFor) {
  for (const unsigned mode : {0600u, 0640u, 0666u}) {
    const fs::path file = scratch / ("m" + std::to_string(mode));
    ASSERT_TRUE(write_whole_file(file.string(), "x", mode).ok());
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode & ~022u);
  }
}

// Past the size limit a write fails as "File too large" whichever way the
// file is written, and the old file is kept whole: replaced through a
// temporary file (which goes), or written in place because only its folder
// may not be written.
TEST_F(file_write, AWriteThatDoesNotFitKeepsTheOldFileWhole) {
  const std::string old_text(348, 'o');
  const std::string new_text(4096, 'n');
  for (const bool folder_writable : {true, false}) {
    SCOPED_TRACE(folder_writable ? "replaced" : "in place");
    const fs::path folder = scratch / "lod";
    fs::create_directory(folder);
    const fs::path file = folder / "old.lod";
    write_file(file, old_text, 0666);
    // As root the folder is root's and nobody writes it; else it is read-only.
    const bool drop = !folder_writable;
    chmod(folder.c_str(), folder_writable ? 0777 : (geteuid() == 0 ? 0755 : 0555));
    const std::string failures = in_child(1000, drop, [&](std::string& failures) {
      const file_write_result written = write_whole_file(file.string(), new_text);
      CHILD_CHECK(failures, written.kind == file_write_result::not_written);
      CHILD_CHECK(failures, written.error == EFBIG);
      CHILD_CHECK(failures, written.message(file.string()) == "Error writing file:" + file.string() + " (File too large)");
    });
    EXPECT_EQ(failures, "");
    EXPECT_EQ(read_file(file), old_text);
    EXPECT_EQ(names_in(folder), std::set<std::string>{"old.lod"});
    chmod(folder.c_str(), 0755);
    fs::remove_all(folder);
  }
}

// Written in place, a file that fits takes the new bytes whole (longer or
// shorter than before) and stays the same file.
TEST_F(file_write, AFileWrittenInPlaceTakesTheNewBytes) {
  const fs::path file = scratch / "in_place.lod";
  for (const std::size_t size : {std::size_t{10}, std::size_t{5000}, std::size_t{3}}) {
    write_file(file, std::string(348, 'o'), 0666);
    struct stat before {};
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    const std::string new_text(size, 'n');
    chmod(scratch.c_str(), geteuid() == 0 ? 0755 : 0555);
    const std::string failures = in_child(RLIM_INFINITY, true, [&](std::string& failures) {
      const file_write_result written = write_whole_file(file.string(), new_text);
      CHILD_CHECK(failures, written.ok());
    });
    chmod(scratch.c_str(), 0755);
    EXPECT_EQ(failures, "");
    EXPECT_EQ(read_file(file), new_text);
    struct stat after {};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
  }
}

}  // namespace
