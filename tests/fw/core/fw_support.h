// Runs a piece of framework code in a child process, in a scratch
// directory, and collects its exit status, standard error and debug log.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "fw/core/ex.h"

struct ChildRun {
  int status = -1;  // exit status, or -1 when it did not exit normally
  int signal = 0;   // the signal that ended it, if one did
  std::string err;  // standard error
  std::string log;  // vdebug.log, when written
};

inline std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline std::filesystem::path makeScratchDir() {
  char tmpl[] = "/tmp/fwtestXXXXXX";
  return mkdtemp(tmpl);
}

// body runs in the child inside the scratch directory; prepare runs there
// first (to lay out files). The child exits 0 when body returns.
inline ChildRun runInChild(const std::function<void()>& body,
                           const std::function<void(const std::filesystem::path&)>& prepare = {}) {
  std::filesystem::path dir = makeScratchDir();
  if (prepare) prepare(dir);
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(99);
    std::FILE* err = std::freopen("stderr.txt", "w", stderr);
    if (!err) _exit(98);
    body();
    std::exit(0);
  }
  ChildRun r;
  int ws = 0;
  waitpid(pid, &ws, 0);
  if (WIFEXITED(ws)) r.status = WEXITSTATUS(ws);
  if (WIFSIGNALED(ws)) r.signal = WTERMSIG(ws);
  r.err = readFile(dir / "stderr.txt");
  r.log = readFile(dir / "vdebug.log");
  std::filesystem::remove_all(dir);
  return r;
}

// The class of what body raised (null when nothing); the chain is restored.
template <class F>
const vexClass* raisedClass(F body) {
  const vexClass* cls = nullptr;
  vexGuard(body, [&](vexHandler& h) {
    cls = vexGetCurrentException()->cls;
    vexSetCurrentException(h.savedChain);
  });
  return cls;
}
