#include "raw_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

int rawConnect(const std::string& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
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
