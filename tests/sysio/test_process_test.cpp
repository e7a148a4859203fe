// Every test process has a folder and a home of its own, gone when it ends
// (tests/support/test_environment.h): CTest runs the tests of one program
// side by side, one process each.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/test_environment.h"

namespace {

namespace fs = std::filesystem;

TEST(test_process, HasAFolderAndHomeOfItsOwnGoneWhenItEnds) {
  const fs::path& mine = test_support::process_folder();
  ASSERT_TRUE(fs::is_directory(mine));
  const char* home = std::getenv("HOME");
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(fs::path(home), mine / "home");
  EXPECT_TRUE(fs::is_directory(home));
  EXPECT_EQ(fs::path(::testing::TempDir()), mine / "");

  // A forked child that exits leaves the folder to this process.
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) std::exit(0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(fs::is_directory(mine)) << "a child's exit removed its parent's folder";

  // Another run of this program makes its own folder where TMPDIR says
  // (where it cannot, it does not start) and leaves nothing there at its end.
  const fs::path tmp = mine / "tmp";
  fs::create_directory(tmp);
  const std::string command = "TMPDIR='" + tmp.string() + "' /proc/" + std::to_string(getpid()) +
                              "/exe --gtest_filter=-* >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_TRUE(fs::is_empty(tmp)) << "the other process's folder is left";
  fs::remove(tmp);
  std::ofstream(tmp) << "not a folder";
  EXPECT_NE(std::system(command.c_str()), 0) << "a process without a folder of its own ran";
  EXPECT_TRUE(fs::is_directory(mine));
}

}  // namespace
