// Starts the services peer program and waits for its "ready" line; the
// peer is killed and reaped when the object goes.
#pragma once
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

struct PeerProcess {
  pid_t pid = -1;
  int out = -1;
  std::string firstLine;

  explicit PeerProcess(std::vector<std::string> args, const char* program = SERVICES_PEER) {
    int p[2];
    if (pipe(p) != 0) return;
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
      dup2(p[1], 1);
      close(p[0]);
      close(p[1]);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(p[1]);
    out = p[0];
    char c;
    while (read(out, &c, 1) == 1 && c != '\n') firstLine += c;
  }
  bool ready() const { return firstLine.rfind("ready", 0) == 0; }
  // Waits for the peer to end; its exit status, or -1.
  int join() {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void kill() {
    if (pid > 0) ::kill(pid, SIGKILL);
    join();
  }
  ~PeerProcess() {
    kill();
    if (out >= 0) close(out);
  }
};

// A name no other test program running beside us uses.
inline std::string uniqueName(const char* stem) { return std::string(stem) + std::to_string(getpid()); }
