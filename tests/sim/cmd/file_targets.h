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
#include "sim/cmd/logs.h"

#define CHILD_CHECK(failures, condition) \
  if (!(condition)) (failures) += std::string(#condition) + " (line " + std::to_string(__LINE__) + ")\n"
// The same with the text that was looked at.
#define CHILD_CHECK_TEXT(failures, condition, text) \
  if (!(condition)) (failures) += std::string(#condition) + " (line " + std::to_string(__LINE__) + "): " + (text) + "\n"

namespace file_targets {

constexpr uid_t NOBODY = 65534;

inline bool as_root() { return geteuid() == 0; }

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

struct child_limits {
  bool unprivileged = false;          // drops root first
  rlim_t file_limit = RLIM_INFINITY;  // RLIMIT_FSIZE
  std::size_t address_room = 0;       // how far the address space may grow; 0 no limit
  unsigned seconds = 20;              // a hang ends the child then
};

// Runs `body` in a child process under `limits` (a hang fails the test
// instead of holding it); what the child found wrong, "" when nothing.
inline std::string in_child(const std::function<void(std::string&)>& body, const child_limits& limits = {}) {
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string failures;
    if (limits.unprivileged && as_root() &&
        (setgroups(0, nullptr) != 0 || setgid(NOBODY) != 0 || setuid(NOBODY) != 0))
      failures = "could not drop root";
    signal(SIGXFSZ, SIG_IGN);
    const rlimit files{limits.file_limit, limits.file_limit};
    setrlimit(RLIMIT_FSIZE, &files);
    if (limits.address_room != 0) {
      long pages = 0;
      if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
        std::fclose(statm);
      }
      const rlim_t room = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + limits.address_room;
      const rlimit address{room, room};
      if (pages == 0 || setrlimit(RLIMIT_AS, &address) != 0) failures = "no address space limit";
    }
    alarm(limits.seconds);
    if (failures.empty()) body(failures);
    const ssize_t ignored = write(fds[1], failures.data(), failures.size());
    static_cast<void>(ignored);
    _exit(0);
  }
  close(fds[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) text += "the child ended with status " + std::to_string(status);
  return text;
}

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
