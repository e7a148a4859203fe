// What the tests of written and read file targets share: a child process
// to run commands in (ended when it hangs, optionally as an unprivileged
// user so that read-only entries mean something to a test run as root),
// and a record of a folder's entries to tell what a command changed.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/support/child_process.h"
#include "sim/cmd/logs.h"

#define CHILD_CHECK(failures, condition) \
  if (!(condition)) (failures) += std::string(#condition) + " (line " + std::to_string(__LINE__) + ")\n"
// The same with the text that was looked at.
#define CHILD_CHECK_TEXT(failures, condition, text) \
  if (!(condition)) (failures) += std::string(#condition) + " (line " + std::to_string(__LINE__) + "): " + (text) + "\n"

namespace file_targets {

using child_process::as_root;
using child_process::child_limits;
using child_process::in_child;
using child_process::NOBODY;

inline int times(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A scratch folder whose logs are closed before it goes.
class logs_fixture : public cmd_files {
 protected:
  void TearDown() override {
    close_all_logs();
    cmd_files::TearDown();
  }
};

// One entry as a command could change it.
struct entry {
  std::string kind;  // "file", "dir", "link", "fifo", "char", "other"
  unsigned mode = 0;
  ino_t inode = 0;
  std::string content;  // a file's bytes, a link's target
  bool operator==(const entry&) const = default;
};

// Every entry under `root` by its path from there (links not followed).
inline void add_entries(const std::filesystem::path& root, const std::filesystem::path& folder,
                        std::map<std::string, entry>& found) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(root / folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::filesystem::path name = folder / it->path().filename();
    const std::string path = (root / name).string();
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) continue;
    entry e;
    e.mode = info.st_mode & 07777;
    e.inode = info.st_ino;
    if (S_ISREG(info.st_mode)) {
      e.kind = "file";
      std::ifstream in(path, std::ios::binary);
      e.content.assign(std::istreambuf_iterator<char>(in), {});
    } else if (S_ISDIR(info.st_mode)) {
      e.kind = "dir";
      add_entries(root, name, found);
    } else if (S_ISLNK(info.st_mode)) {
      e.kind = "link";
      e.content = std::filesystem::read_symlink(path, ec).string();
    } else if (S_ISFIFO(info.st_mode)) {
      e.kind = "fifo";
    } else if (S_ISCHR(info.st_mode)) {
      e.kind = "char";
    } else {
      e.kind = "other";
    }
    found[name.lexically_normal().string()] = e;
  }
}

inline std::map<std::string, entry> entries(const std::filesystem::path& root) {
  std::map<std::string, entry> found;
  add_entries(root, "", found);
  return found;
}

inline std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace file_targets
