// Runs a body in a forked child whose address space may grow only a given
// amount past what the process already maps, so a request for gigabytes
// fails there instead of taking the machine's memory.
#pragma once
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
// Under the address sanitizer a refused allocation answers null as well.
extern "C" inline __attribute__((used)) const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace addrlimit {

inline constexpr int kSignalled = -1, kNoLimit = -2;

// body() answers a small number (0-255) that comes back as the child's
// exit status; kSignalled when the child ended otherwise (an abort, a
// signal), kNoLimit when the limit could not be set.
template <class F>
int inChild(std::size_t room, F body) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + rlim_t(room);
    rlimit r{limit, limit};
    if (pages == 0 || setrlimit(RLIMIT_AS, &r) != 0) _exit(254);
    int answer = body();
    std::fflush(nullptr);
    _exit(answer & 0xFF);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return kSignalled;
  return WEXITSTATUS(status) == 254 ? kNoLimit : WEXITSTATUS(status);
}

}  // namespace addrlimit
