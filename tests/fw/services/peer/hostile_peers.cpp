// One run of hostile peers against vdas_peer over TCP, outside the test
// suite (tests/fw/services/hostile_peers.sh repeats it). In turn: frames of
// a huge length, frames cut short, bad opening bytes, every byte of the
// settings and of a call spoilt, bursts of calls from peers that go before
// their replies, 300 garbage connections; then 100 clients
// of 50 calls each while other clients die at every step of a call. Then
// the service must answer a call, sit idle without spinning, and end
// within a second of a terminate signal, by that signal's quit.
// Prints one line; status 0 when every check held.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#define SERVICES_PEER VDAS_PEER
#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/services/session.h"
#include "../peer_process.h"
#include "../raw_socket.h"

namespace {

using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point t) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

vsignature* signature(const char* name, int argument, int result) {
  auto* sig = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
  sig->tag = vnameIntern(vscribeCString(name));
  if (argument >= 0) vsignatureAddDatatags(sig, vdatatagGetPredefined(argument), nullptr);
  sig->returnValue = vdatatagGetPredefined(result);
  return sig;
}

vsession* connect(const std::string& port) {
  vsession* s = vsessionCreate();
  auto key = vsessionGetAttributeKey;
  vsessionSetAttribute(s, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral("tcp"));
  vsessionSetAttribute(s, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  vsessionSetAttribute(s, key(vsessionPORT), vsessionStringDatatag(), port.c_str());
  vsessionOpen(s);
  return s;
}

// One call on a session of our own; true when answered.
bool call(vsession* s, vsignature* sig, const char* text) {
  vsessionStatement* st = vsessionStatementCreate();
  vsessionStatementSetSession(st, s);
  vsessionStatementSetOperation(st, sig);
  vsessionStatementSetArgs(st, text);
  vsessionStatementSend(st);
  vsysTime limit{30, 0};
  vsessionStatementWait(st, &limit);
  bool done = vsessionStatementGetState(st) == vsessionStatementDONE;
  vsessionStatementDestroy(st);
  return done;
}

// The opening and one "echo" call as a session of our own sends them.
bool capture(const std::string& port, vsignature* echo, std::string* opening, std::string* callBytes) {
  RawRelay relay(port);
  if (relay.port.empty()) return false;
  vsession* s = connect(relay.port);
  bool answered = call(s, echo, std::string(200, 'f').c_str());
  std::string bytes = relay.sent();
  vsessionDestroy(s);
  if (!answered) return false;
  for (std::size_t at = 11; at + 9 <= bytes.size();) {
    auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    std::size_t length = std::size_t{b[0]} << 24 | std::size_t{b[1]} << 16 | std::size_t{b[2]} << 8 | b[3];
    if (b[8] == 1) {
      *opening = bytes.substr(0, at);
      *callBytes = bytes.substr(at, 4 + length);
      return true;
    }
    at += 4 + length;
  }
  return false;
}

// Sends all of the bytes, waiting as long as the limit allows.
bool sendAll(int fd, const std::string& bytes, int milliseconds = 30000) {
  auto start = Clock::now();
  for (std::size_t at = 0; at < bytes.size();) {
    pollfd p{fd, POLLOUT, 0};
    if (msSince(start) > milliseconds) return false;
    if (::poll(&p, 1, 50) <= 0) continue;
    long n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (n > 0) at += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads what comes within the time, up to an end of stream.
void drain(int fd, int milliseconds) {
  auto start = Clock::now();
  char sink[4096];
  while (msSince(start) < milliseconds) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5) <= 0) continue;
    long n = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return;
  }
}

// One connection: sends the bytes, reads for a moment, goes (reset or not).
void hit(const std::string& port, const std::string& bytes, bool reset, int readMs = 0) {
  int fd = rawConnect(port);
  if (fd < 0) return;
  sendAll(fd, bytes, 2000);
  if (readMs) drain(fd, readMs);
  rawClose(fd, reset);
}

// A raw client reading the service's frames: replies and error replies.
struct Reader {
  int fd;
  std::string buffer;
  std::size_t at = 11;  // past the service's magic
  // Waits for the next answer to a call; false at an end or the time limit.
  bool nextAnswer(int milliseconds) {
    auto start = Clock::now();
    for (;;) {
      while (at + 9 <= buffer.size()) {
        auto* b = reinterpret_cast<const unsigned char*>(buffer.data() + at);
        std::size_t length = std::size_t{b[0]} << 24 | std::size_t{b[1]} << 16 | std::size_t{b[2]} << 8 | b[3];
        if (at + 4 + length > buffer.size()) break;
        at += 4 + length;
        if (b[8] == 2 || b[8] == 3) return true;
      }
      int left = milliseconds - static_cast<int>(msSince(start));
      if (left <= 0) return false;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, left) <= 0) continue;
      char chunk[8192];
      long n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
      if (n > 0) buffer.append(chunk, static_cast<std::size_t>(n));
    }
  }
};

// Calls one after another on one connection; the number answered.
int callMany(const std::string& port, const std::string& opening, const std::string& callBytes, int calls) {
  int fd = rawConnect(port);
  if (fd < 0) return 0;
  Reader r{fd, {}};
  int answered = 0;
  if (sendAll(fd, opening))
    for (; answered < calls; ++answered)
      if (!sendAll(fd, callBytes) || !r.nextAnswer(60000)) break;
  rawClose(fd);
  return answered;
}

long cpuTicks(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::vector<std::string> fields;
  std::size_t from = close + 2;
  for (std::size_t to; (to = stat.find(' ', from)) != std::string::npos; from = to + 1)
    fields.push_back(stat.substr(from, to - from));
  // utime and stime: fields 14 and 15 of the line, 12 and 13 after the name.
  return fields.size() > 12 ? std::atol(fields[11].c_str()) + std::atol(fields[12].c_str()) : -1;
}

}  // namespace

int main() {
  setenv("VDAS_PEER_SECONDS", "900", 1);
  PeerProcess peer({"tcp"}, VDAS_PEER);
  if (!peer.ready()) {
    std::printf("FAIL the service did not start: %s\n", peer.firstLine.c_str());
    return 1;
  }
  const int pid = peer.pid;
  std::string port = peer.firstLine.substr(6);
  vsysStartup();
  vprefBuildClasses();
  vmoduleCreateContext();
  vsignature* echo = signature("echo", vdatatagSTRING, vdatatagSTRING);
  std::string opening, callBytes;
  if (!capture(port, echo, &opening, &callBytes)) {
    std::printf("FAIL no call captured\n");
    return 1;
  }
  std::vector<std::string> failures;

  // Huge frames: lengths far past any bound, with a little of the body.
  for (std::uint32_t length : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x01000000u, 0x00100001u}) {
    std::string frame = {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                         static_cast<char>(length >> 8), static_cast<char>(length)};
    frame += callBytes.substr(4);
    frame += std::string(64 * 1024, 'h');
    hit(port, opening + frame, false, 20);
    hit(port, opening + frame, true);
  }
  // Cut frames, at every length of the call.
  for (std::size_t n = 0; n < callBytes.size(); n += 7) hit(port, opening + callBytes.substr(0, n), n % 2 == 0, 2);
  // Bad opening bytes: garbage, and the magic with each byte spoilt.
  hit(port, std::string(37, '\x7f') + callBytes, false, 20);
  for (std::size_t i = 0; i < 11 && i < opening.size(); ++i) {
    std::string bad = opening;
    bad[i] = static_cast<char>(bad[i] ^ 0x5a);
    hit(port, bad + callBytes, i % 2 == 0, 5);
  }
  // Bad settings and hostile values: each byte after the magic spoilt,
  // to all ones and to zero.
  for (std::size_t i = 11; i < opening.size(); ++i)
    for (char v : {'\xff', '\0'}) {
      std::string bad = opening;
      bad[i] = v;
      hit(port, bad + callBytes, v == '\0', 5);
    }
  for (std::size_t i = 0; i < callBytes.size(); ++i)
    for (char v : {'\xff', '\0'}) {
      std::string bad = callBytes;
      bad[i] = v;
      hit(port, opening + bad + callBytes, v == '\0', 3);
    }
  // Bursts of calls more than a turn reads, the peer gone before its next
  // turn: orderly, reset, or after a little of the replies.
  std::string burst = opening;
  for (int i = 0; i < 400; ++i) burst += callBytes;
  for (int i = 0; i < 60; ++i) hit(port, burst, i % 3 != 0, i % 3 == 2 ? 2 : 0);
  // Garbage connections, some reset.
  for (int i = 0; i < 300; ++i) {
    int fd = rawConnect(port);
    if (fd < 0) {
      failures.push_back("garbage connection " + std::to_string(i) + " refused");
      break;
    }
    if (i % 2) rawSend(fd, "\x7fgarbage\n", 9);
    rawClose(fd, i % 3 == 2);
    if (i % 8 == 7) usleep(4000);
  }

  // 100 clients of 50 calls each, while others die at every step of a
  // call: after each prefix of the opening and the call, after the whole
  // call, and after part of its answer.
  std::atomic<bool> clientsDone{false};
  std::atomic<int> deaths{0};
  std::thread dying([&] {
    const std::string whole = opening + callBytes;
    for (std::size_t step = 1; !clientsDone; step = step % (whole.size() + 2) + 1) {
      int fd = rawConnect(port);
      if (fd < 0) continue;
      if (step <= whole.size()) {
        sendAll(fd, whole.substr(0, step), 2000);
      } else if (step == whole.size() + 2 && deaths % 4 == 0) {
        sendAll(fd, burst, 2000);
      } else {
        sendAll(fd, whole + callBytes, 2000);
        if (step == whole.size() + 2) drain(fd, 2);
      }
      rawClose(fd, step % 2 == 1);
      ++deaths;
    }
  });
  std::vector<int> answered(100, 0);
  std::vector<std::thread> clients;
  for (int i = 0; i < 100; ++i)
    clients.emplace_back([&, i] { answered[static_cast<std::size_t>(i)] = callMany(port, opening, callBytes, 50); });
  for (auto& c : clients) c.join();
  clientsDone = true;
  dying.join();
  int total = 0, short_ = 0;
  for (int n : answered) {
    total += n;
    if (n < 50) ++short_;
  }
  if (short_) failures.push_back(std::to_string(short_) + " clients answered short");

  // Still there, and still served.
  int raw = 0;
  if (waitpid(pid, &raw, WNOHANG) == pid) {
    peer.pid = -1;
    std::printf("FAIL the service ended during the run: %s %d\n", WIFSIGNALED(raw) ? "signal" : "status",
                WIFSIGNALED(raw) ? WTERMSIG(raw) : WEXITSTATUS(raw));
    return 1;
  }
  bool served = false;
  vexTry([&] {
    vsession* s = connect(port);
    served = (s->flags & vsessionOPEN) && call(s, echo, "after");
    vsessionDestroy(s);
  });
  if (!served) failures.push_back("a call after it all went unanswered");

  // Idle: little processor time over a second.
  long before = cpuTicks(pid);
  usleep(1000000);
  long idleTicks = cpuTicks(pid) - before;
  long tick = sysconf(_SC_CLK_TCK);
  long idleMs = tick > 0 ? idleTicks * 1000 / tick : -1;
  if (idleMs > 500) failures.push_back("spinning while idle: " + std::to_string(idleMs) + " ms of 1000");

  auto signalled = Clock::now();
  kill(pid, SIGTERM);
  long endedMs = -1;
  int status = -2;
  while (msSince(signalled) < 20000) {
    int raw = 0;
    if (waitpid(pid, &raw, WNOHANG) == pid) {
      endedMs = msSince(signalled);
      status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
      peer.pid = -1;
      break;
    }
    usleep(2000);
  }
  if (endedMs < 0) failures.push_back("still running 20 s after the terminate signal");
  else if (endedMs > 1000) failures.push_back("ended " + std::to_string(endedMs) + " ms after the terminate signal");
  if (endedMs >= 0 && status != 1) failures.push_back("ended with status " + std::to_string(status));

  std::printf("%s answered %d/5000, %d deaths, idle %ld ms/s, ended %ld ms after SIGTERM, status %d",
              failures.empty() ? "ok" : "FAIL", total, deaths.load(), idleMs, endedMs, status);
  for (const auto& f : failures) std::printf("; %s", f.c_str());
  std::printf("\n");
  vinstanceDestroy(echo);
  return failures.empty() ? 0 : 1;
}
