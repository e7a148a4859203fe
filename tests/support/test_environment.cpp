// Test programs draw on the headless back-end whatever display the shell
// they run from has: with DISPLAY set and no back-end named, the platform
// would open that display and the stored pictures and message traces
// would no longer hold. A back-end named outright is kept.
//
// Each test process has a folder and a home of its own (test_environment.h).
#include "tests/support/test_environment.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace test_support {
namespace {

namespace fs = std::filesystem;

struct own_folder {
  fs::path path;
  pid_t owner = getpid();
  own_folder() {
    std::string pattern = (fs::temp_directory_path() / "simtest.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("test process folder");
      std::abort();
    }
    path = pattern;
    fs::create_directory(path / "home");
    setenv("HOME", (path / "home").c_str(), 1);
    // testing::TempDir() too, whose files some tests name by their stem.
    setenv("TEST_TMPDIR", (path.string() + "/").c_str(), 1);
  }
  // A forked child that exits leaves the folder to its parent.
  ~own_folder() {
    if (getpid() != owner) return;
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

}  // namespace

const fs::path& process_folder() {
  static const own_folder folder;
  return folder.path;
}

}  // namespace test_support

namespace {
const bool headless_by_default = [] {
  setenv("WEXLIN_BACKEND", "headless", 0);
  test_support::process_folder();
  return true;
}();
}  // namespace
