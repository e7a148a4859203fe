#include "raw_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

int rawConnect(const std::string& port, int receiveBuffer) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  if (receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(std::stoi(port)));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void rawSend(int fd, const char* bytes, int length) {
  if (::send(fd, bytes, static_cast<std::size_t>(length), MSG_NOSIGNAL) < 0) return;
}

void rawClose(int fd, bool reset) {
  if (reset) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  ::close(fd);
}

void rawEndSending(int fd) { ::shutdown(fd, SHUT_WR); }

int rawConnectStart(const std::string& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(std::stoi(port)));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && errno != EINPROGRESS) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::vector<long> rawReadAtLeast(const std::vector<int>& fds, long want, int milliseconds) {
  std::vector<long> got(fds.size(), 0);
  std::vector<bool> done(fds.size(), false);
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    std::vector<pollfd> p;
    std::vector<std::size_t> which;
    for (std::size_t i = 0; i < fds.size(); ++i)
      if (!done[i]) p.push_back({fds[i], POLLIN, 0}), which.push_back(i);
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (p.empty() || left <= 0) break;
    if (::poll(p.data(), p.size(), static_cast<int>(left)) <= 0) continue;
    for (std::size_t k = 0; k < p.size(); ++k) {
      if (!p[k].revents) continue;
      std::size_t i = which[k];
      char buffer[4096];
      long n = ::recv(fds[i], buffer, sizeof buffer, 0);
      if (n > 0) got[i] += n;
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        done[i] = true;
        if (n < 0 && got[i] == 0) got[i] = -1;
      }
      if (got[i] >= want) done[i] = true;
    }
  }
  return got;
}

namespace {

int listenLoopback(std::string* port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 1) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    ::close(fd);
    return -1;
  }
  *port = std::to_string(ntohs(a.sin_port));
  return fd;
}

// Moves what one side has to the other; false at its end.
bool pass(int from, int to, std::string* keep) {
  char buffer[65536];
  long n = ::recv(from, buffer, sizeof buffer, 0);
  if (n <= 0) return n < 0 && (errno == EINTR || errno == EAGAIN);
  if (keep) keep->append(buffer, static_cast<std::size_t>(n));
  for (long done = 0; done < n;) {
    long w = ::send(to, buffer + done, static_cast<std::size_t>(n - done), MSG_NOSIGNAL);
    if (w < 0 && errno != EINTR) return false;
    if (w > 0) done += w;
  }
  return true;
}

}  // namespace

int rawListen(std::string* port) { return listenLoopback(port); }

RawRelay::RawRelay(const std::string& target) {
  listener = listenLoopback(&port);
  if (listener < 0) return;
  worker = std::thread([this, target] {
    int client = -1, service = -1;
    while (!stopping && client < 0) {
      pollfd p{listener, POLLIN, 0};
      if (::poll(&p, 1, 20) > 0) client = ::accept(listener, nullptr, nullptr);
    }
    if (client >= 0) service = rawConnect(target);
    while (!stopping && client >= 0 && service >= 0) {
      pollfd p[2] = {{client, POLLIN, 0}, {service, POLLIN, 0}};
      if (::poll(p, 2, 20) <= 0) continue;
      if (p[0].revents && !pass(client, service, &bytes)) break;
      if (p[1].revents && !pass(service, client, nullptr)) break;
    }
    if (client >= 0) ::close(client);
    if (service >= 0) ::close(service);
  });
}

std::string RawRelay::sent() {
  stopping = true;
  if (worker.joinable()) worker.join();
  return bytes;
}

RawRelay::~RawRelay() {
  sent();
  if (listener >= 0) ::close(listener);
}

int rawDdeConnect(const std::string& service) {
  char buffer[1024];
  passwd entry{}, *found = nullptr;
  std::string user = ::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found
                         ? found->pw_name
                         : std::to_string(::getuid());
  std::string name = "wexlin-dde/" + user + "/";
  for (char c : service) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  if (name.size() + 1 > sizeof a.sun_path) return -1;
  std::memcpy(a.sun_path + 1, name.data(), name.size());
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), length) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

namespace {

// A length of what follows, the kind, the format (text), the item's
// length and the item, then the data.
std::string ddeFrame(char kind, const std::string& item, const std::string& data) {
  std::string f(4, '\0');
  f.push_back(kind);
  std::uint32_t format = 1, n = static_cast<std::uint32_t>(item.size());
  f.append(reinterpret_cast<const char*>(&format), 4);
  f.append(reinterpret_cast<const char*>(&n), 4);
  f += item;
  f += data;
  n = static_cast<std::uint32_t>(f.size() - 4);
  std::memcpy(f.data(), &n, 4);
  return f;
}

}  // namespace

std::string rawDdeOpening(const std::string& item) { return ddeFrame(1, "vcomm", "") + ddeFrame(4, item, ""); }

std::string rawDdePoke(const std::string& item, const std::string& bytes) {
  return ddeFrame(7, item, bytes + '\1');
}

long residentKb(int pid) {
  std::string path = "/proc/" + std::to_string(pid) + "/status";
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return -1;
  char line[256];
  long kb = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmRSS: %ld", &kb) == 1) break;
  std::fclose(f);
  return kb;
}

namespace {

std::string repeated(const std::string& call, int times) {
  std::string burst;
  for (int i = 0; i < times; ++i) burst += call;
  return burst;
}

}  // namespace

RawFlood::RawFlood(const std::string& port, const std::string& opening, const std::string& call, bool readReplies,
                   int servicePid, long rssLimitKb, int milliseconds)
    : RawFlood(rawConnect(port), opening, repeated(call, 1000), readReplies, servicePid, rssLimitKb, milliseconds) {}

RawFlood::RawFlood(int connection, const std::string& opening, const std::string& burst, bool readReplies,
                   int servicePid, long rssLimitKb, int milliseconds) {
  fd = connection;
  connected = fd >= 0;
  if (!connected) {
    ended = true;
    return;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  // The replies are read apart from the writes, so the writer never waits.
  if (readReplies)
    reader = std::thread([this] {
      char sink[65536];
      while (!stopping) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        long n = ::recv(fd, sink, sizeof sink, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
        if (n > 0) bytesRead += n;
      }
    });
  worker = std::thread([=, this] {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    const std::string* out = &opening;
    std::size_t at = 0;
    for (int round = 1; !stopping && std::chrono::steady_clock::now() < end; ++round) {
      if (round % 16 == 0) {
        long kb = residentKb(servicePid);
        if (kb > peakRssKb) peakRssKb = kb;
        if (kb > rssLimitKb) {
          overLimit = true;
          break;
        }
      }
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      if (p.revents & (POLLERR | POLLHUP)) break;
      long n = ::send(fd, out->data() + at, out->size() - at, MSG_NOSIGNAL);
      if (n < 0 && errno != EAGAIN && errno != EINTR) break;
      if (n > 0) {
        bytesSent += n;
        at += static_cast<std::size_t>(n);
      }
      if (at == out->size()) {
        out = &burst;
        at = 0;
      }
    }
    // Left open until stopped, so the service keeps what it queued.
    ended = true;
  });
}

void RawFlood::stop() {
  stopping = true;
  if (worker.joinable()) worker.join();
  if (reader.joinable()) reader.join();
  if (fd >= 0) rawClose(fd, true);
  fd = -1;
}

RawFlood::~RawFlood() { stop(); }

int openDescriptors(int pid) {
  std::error_code error;
  int n = 0;
  for (std::filesystem::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", error), end;
       !error && it != end; it.increment(error))
    ++n;
  return error ? -1 : n;
}

bool rawStuff(int fd, const std::string& opening, const std::string& call, long count, int stallMs,
              std::atomic<long>* sent) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  std::string burst;
  for (int i = 0; i < 256; ++i) burst += call;
  std::string out = opening;
  std::size_t at = 0;
  long calls = 0, inOut = 0;  // calls sent, and those in out
  while (count < 0 || calls < count) {
    if (at == out.size()) {
      long next = count < 0 ? 256 : std::min<long>(256, count - calls);
      out = next == 256 ? burst : burst.substr(0, static_cast<std::size_t>(next) * call.size());
      at = 0;
      inOut = next;
    }
    long n = ::send(fd, out.data() + at, out.size() - at, MSG_NOSIGNAL);
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (n > 0) at += static_cast<std::size_t>(n);
    if (at == out.size()) {
      calls += inOut;
      inOut = 0;
      if (sent) *sent = calls;
    }
    if (n >= 0 || errno != EAGAIN) continue;
    pollfd p{fd, POLLOUT, 0};
    int ready = ::poll(&p, 1, stallMs);
    if (ready == 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
  return true;
}

long rawReadFrames(int fd, long want, int milliseconds, bool* ended, int pauseMicroseconds) {
  *ended = false;
  std::string pending;
  long frames = 0;
  bool opened = false;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (frames < want) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[65536];
    long n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      *ended = true;
      break;
    }
    pending.append(buffer, static_cast<std::size_t>(n));
    if (pauseMicroseconds) usleep(static_cast<useconds_t>(pauseMicroseconds));
    std::size_t at = 0;
    if (!opened && pending.size() >= 37) {
      opened = true;
      at = 37;
    }
    while (opened && pending.size() - at >= 4) {
      auto* b = reinterpret_cast<const unsigned char*>(pending.data() + at);
      std::size_t length = std::size_t{b[0]} << 24 | std::size_t{b[1]} << 16 | std::size_t{b[2]} << 8 | b[3];
      if (pending.size() - at < 4 + length) break;
      at += 4 + length;
      ++frames;
    }
    pending.erase(0, at);
  }
  return frames;
}
