// A child process for a test to run a body in, under limits (a hang ends
// it instead of holding the test; optionally as an unprivileged user, so
// that read-only entries mean something to a test run as root), with what
// it found wrong sent back.
#pragma once

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

namespace child_process {

constexpr uid_t NOBODY = 65534;

inline bool as_root() { return geteuid() == 0; }

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

}  // namespace child_process
