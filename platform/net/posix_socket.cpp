#include "platform/net/posix_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <sstream>

namespace win::posix {

namespace {

int lastWsa = 0;

struct ErrorRow {
  int sys;
  int wsa;
};
// errno to the Windows Sockets numbering.
constexpr ErrorRow errorTable[] = {
    {EINTR, 10004},        {EBADF, 10009},        {EACCES, 10013},        {EFAULT, 10014},
    {EINVAL, 10022},       {EMFILE, 10024},       {EWOULDBLOCK, 10035},   {EAGAIN, 10035},
    {EINPROGRESS, 10036},  {EALREADY, 10037},     {ENOTSOCK, 10038},      {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},     {EPROTOTYPE, 10041},   {ENOPROTOOPT, 10042},   {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045}, {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},     {ENETUNREACH, 10051},
    {ENETRESET, 10052},    {ECONNABORTED, 10053}, {ECONNRESET, 10054},    {EPIPE, 10054},
    {ENOBUFS, 10055},      {EISCONN, 10056},      {ENOTCONN, 10057},      {ESHUTDOWN, 10058},
    {ETOOMANYREFS, 10059}, {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},  {ELOOP, 10062},
    {ENAMETOOLONG, 10063}, {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},  {ENOTEMPTY, 10066},
    {EUSERS, 10068},       {EDQUOT, 10069},       {ESTALE, 10070},        {EREMOTE, 10071},
};

int fail() {
  lastWsa = errorOf(errno);
  return -1;
}

sockaddr_in toSystem(Inet a) {
  sockaddr_in s{};
  s.sin_family = AF_INET;
  s.sin_port = a.port;
  s.sin_addr.s_addr = a.addr;
  return s;
}

Inet fromSystem(const sockaddr_in& s) { return Inet{s.sin_port, s.sin_addr.s_addr}; }

struct OptionRow {
  Option option;
  int level;
  int name;
};
constexpr OptionRow optionTable[] = {
    {Option::ReuseAddr, SOL_SOCKET, SO_REUSEADDR},   {Option::KeepAlive, SOL_SOCKET, SO_KEEPALIVE},
    {Option::Broadcast, SOL_SOCKET, SO_BROADCAST},   {Option::Linger, SOL_SOCKET, SO_LINGER},
    {Option::SendBuffer, SOL_SOCKET, SO_SNDBUF},     {Option::ReceiveBuffer, SOL_SOCKET, SO_RCVBUF},
    {Option::Type, SOL_SOCKET, SO_TYPE},             {Option::Error, SOL_SOCKET, SO_ERROR},
};

const OptionRow& rowOf(Option o) {
  for (const auto& r : optionTable)
    if (r.option == o) return r;
  return optionTable[0];
}

}  // namespace

int lastError() { return lastWsa; }
void setLastError(int error) { lastWsa = error; }

int errorOf(int systemErrno) {
  for (const auto& r : errorTable)
    if (r.sys == systemErrno) return r.wsa;
  return systemErrno;  // no Windows Sockets number: the system's own
}

int openSocket(int family, int type) {
  int f = family == 1 ? AF_UNIX : family == 2 ? AF_INET : -1;
  int t = type == 1 ? SOCK_STREAM : type == 2 ? SOCK_DGRAM : -1;
  if (f < 0) return lastWsa = 10047, -1;
  if (t < 0) return lastWsa = 10044, -1;
  int fd = ::socket(f, t | SOCK_CLOEXEC, 0);
  return fd < 0 ? fail() : fd;
}

int closeSocket(int fd) {
  // Linux holds a lingering close until the peer has taken every byte, even
  // on a non-blocking socket: one peer that stops reading would stop the
  // caller for the whole linger. Without linger the rest still goes, in the
  // background; an abortive close (linger 0) stays abortive.
  ::linger l{};
  socklen_t n = sizeof l;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0 && (flags & O_NONBLOCK) && ::getsockopt(fd, SOL_SOCKET, SO_LINGER, &l, &n) == 0 && l.l_onoff &&
      l.l_linger > 0) {
    l.l_onoff = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  return ::close(fd) == 0 ? 0 : fail();
}

int isSocket(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode);
}

int bindInet(int fd, Inet a) {
  sockaddr_in s = toSystem(a);
  return ::bind(fd, reinterpret_cast<sockaddr*>(&s), sizeof s) == 0 ? 0 : fail();
}

int connectInet(int fd, Inet a) {
  sockaddr_in s = toSystem(a);
  for (;;) {
    if (::connect(fd, reinterpret_cast<sockaddr*>(&s), sizeof s) == 0) return 0;
    if (errno != EINTR) return fail();
  }
}

int acceptInet(int fd, Inet* peer) {
  sockaddr_in s{};
  socklen_t n = sizeof s;
  int r = ::accept4(fd, reinterpret_cast<sockaddr*>(&s), &n, SOCK_CLOEXEC);
  if (r < 0) return fail();
  if (peer) *peer = fromSystem(s);
  return r;
}

int nameOf(int fd, Inet* a, bool peer) {
  sockaddr_in s{};
  socklen_t n = sizeof s;
  int r = peer ? ::getpeername(fd, reinterpret_cast<sockaddr*>(&s), &n)
               : ::getsockname(fd, reinterpret_cast<sockaddr*>(&s), &n);
  if (r != 0) return fail();
  *a = fromSystem(s);
  return 0;
}

// The backlog is a hint on both systems, but they differ past it: Windows
// refuses a connection the queue has no room for, and the peer hears so;
// Linux drops the end of the handshake and leaves the peer believing it is
// connected, served only if a retry gets through in time. So the queue is
// as long as the system allows, and a burst of peers waits in it.
int listenOn(int fd, int backlog) { return ::listen(fd, std::max(backlog, SOMAXCONN)) == 0 ? 0 : fail(); }

long receive(int fd, void* buffer, std::size_t length, bool peek, Inet* from) {
  int flags = peek ? MSG_PEEK : 0;
  sockaddr_in s{};
  socklen_t n = sizeof s;
  ssize_t r = from ? ::recvfrom(fd, buffer, length, flags, reinterpret_cast<sockaddr*>(&s), &n)
                   : ::recv(fd, buffer, length, flags);
  if (r < 0) return fail();
  if (from) *from = fromSystem(s);
  return static_cast<long>(r);
}

// Never SIGPIPE: a send to a closed peer is an error result.
long sendBytes(int fd, const void* buffer, std::size_t length, const Inet* to) {
  ssize_t r;
  if (to) {
    sockaddr_in s = toSystem(*to);
    r = ::sendto(fd, buffer, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&s), sizeof s);
  } else {
    r = ::send(fd, buffer, length, MSG_NOSIGNAL);
  }
  return r < 0 ? fail() : static_cast<long>(r);
}

int readableCount(int fd, unsigned long* count) {
  int n = 0;
  if (::ioctl(fd, FIONREAD, &n) != 0) return fail();
  *count = static_cast<unsigned long>(n);
  return 0;
}

int setNonBlocking(int fd, bool on) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return fail();
  flags = on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
  return ::fcntl(fd, F_SETFL, flags) == 0 ? 0 : fail();
}

int setOption(int fd, Option o, int value) {
  const OptionRow& r = rowOf(o);
  if (o == Option::Linger) {
    ::linger l{value >= 0 ? 1 : 0, value >= 0 ? value : 0};
    return ::setsockopt(fd, r.level, r.name, &l, sizeof l) == 0 ? 0 : fail();
  }
  return ::setsockopt(fd, r.level, r.name, &value, sizeof value) == 0 ? 0 : fail();
}

int getOption(int fd, Option o, int* value) {
  const OptionRow& r = rowOf(o);
  if (o == Option::Linger) {
    ::linger l{};
    socklen_t n = sizeof l;
    if (::getsockopt(fd, r.level, r.name, &l, &n) != 0) return fail();
    *value = l.l_onoff ? l.l_linger : -1;
    return 0;
  }
  int v = 0;
  socklen_t n = sizeof v;
  if (::getsockopt(fd, r.level, r.name, &v, &n) != 0) return fail();
  if (o == Option::Type) v = v == SOCK_STREAM ? 1 : v == SOCK_DGRAM ? 2 : v;
  if (o == Option::Error) v = v ? errorOf(v) : 0;
  *value = v;
  return 0;
}

int shutdownSocket(int fd, int how) {
  int h = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
  return ::shutdown(fd, h) == 0 ? 0 : fail();
}

namespace {

// A leading NUL puts the name in the abstract space.
bool abstractAddress(const std::string& name, sockaddr_un* a, socklen_t* length) {
  *a = sockaddr_un{};
  a->sun_family = AF_UNIX;
  if (name.size() + 1 > sizeof a->sun_path) return false;
  std::memcpy(a->sun_path + 1, name.data(), name.size());
  *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return true;
}

}  // namespace

int listenAbstract(const std::string& name, int backlog) {
  sockaddr_un a;
  socklen_t n;
  if (!abstractAddress(name, &a, &n)) return lastWsa = 10063, -1;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return fail();
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), n) != 0 || ::listen(fd, backlog) != 0) {
    int r = fail();
    ::close(fd);
    return r;
  }
  return fd;
}

int connectAbstract(const std::string& name) {
  sockaddr_un a;
  socklen_t n;
  if (!abstractAddress(name, &a, &n)) return lastWsa = 10063, -1;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return fail();
  for (;;) {
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), n) == 0) return fd;
    if (errno == EINTR) continue;
    int r = fail();
    ::close(fd);
    return r;
  }
}

int acceptLocal(int fd) {
  int r = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
  return r < 0 ? fail() : r;
}

std::string userName() {
  char buffer[1024];
  passwd entry{}, *found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
    return found->pw_name;
  return std::to_string(::getuid());
}

int hostName(char* buffer, std::size_t size) { return ::gethostname(buffer, size) == 0 ? 0 : fail(); }

bool hostByName(const char* name, std::string* official, std::vector<std::uint32_t>* addresses) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* list = nullptr;
  if (::getaddrinfo(name, nullptr, &hints, &list) != 0 || !list) {
    lastWsa = 11001;
    return false;
  }
  *official = list->ai_canonname ? list->ai_canonname : name;
  addresses->clear();
  for (addrinfo* p = list; p; p = p->ai_next)
    addresses->push_back(reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr);
  ::freeaddrinfo(list);
  return true;
}

// Reverse look-ups read the hosts file only: no name server is asked for
// an address this machine does not name itself.
bool hostByAddr(std::uint32_t address, std::string* name) {
  std::ifstream hosts("/etc/hosts");
  std::string line;
  while (std::getline(hosts, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string text, first;
    in_addr a{};
    if (!(words >> text >> first) || ::inet_pton(AF_INET, text.c_str(), &a) != 1) continue;
    if (a.s_addr == address) {
      *name = first;
      return true;
    }
  }
  lastWsa = 11004;
  return false;
}

bool serviceByName(const char* name, const char* protocol, std::string* official, std::uint16_t* port,
                   std::string* officialProtocol) {
  servent* s = ::getservbyname(name, protocol);
  if (!s) {
    lastWsa = 11004;
    return false;
  }
  *official = s->s_name;
  *port = static_cast<std::uint16_t>(s->s_port);
  *officialProtocol = s->s_proto;
  return true;
}

bool serviceByPort(std::uint16_t port, const char* protocol, std::string* official, std::string* officialProtocol) {
  servent* s = ::getservbyport(port, protocol);
  if (!s) {
    lastWsa = 11004;
    return false;
  }
  *official = s->s_name;
  *officialProtocol = s->s_proto;
  return true;
}

bool protocolByName(const char* name, std::string* official, int* number) {
  protoent* p = ::getprotobyname(name);
  if (!p) {
    lastWsa = 11004;
    return false;
  }
  *official = p->p_name;
  *number = p->p_proto;
  return true;
}

bool protocolByNumber(int number, std::string* official) {
  protoent* p = ::getprotobynumber(number);
  if (!p) {
    lastWsa = 11004;
    return false;
  }
  *official = p->p_name;
  return true;
}

int watcherCreate() {
  int ep = ::epoll_create1(EPOLL_CLOEXEC);
  return ep < 0 ? fail() : ep;
}

int watcherSet(int watcher, int fd, bool in, bool out, bool hangup) {
  epoll_event e{};
  // A hang-up and an error are told for any descriptor watched, even one
  // watched for nothing else.
  e.events = (in ? EPOLLIN : 0u) | (out ? EPOLLOUT : 0u);
  e.data.fd = fd;
  if (!in && !out && !hangup) {
    ::epoll_ctl(watcher, EPOLL_CTL_DEL, fd, nullptr);
    return 0;
  }
  if (::epoll_ctl(watcher, EPOLL_CTL_MOD, fd, &e) == 0) return 0;
  return ::epoll_ctl(watcher, EPOLL_CTL_ADD, fd, &e) == 0 ? 0 : fail();
}

int watcherReady(int watcher, Ready* ready, int max) {
  epoll_event events[32];
  int n = ::epoll_wait(watcher, events, std::min(max, 32), 0);
  if (n < 0) return errno == EINTR ? 0 : fail();
  for (int i = 0; i < n; ++i)
    ready[i] = Ready{events[i].data.fd, (events[i].events & EPOLLIN) != 0, (events[i].events & EPOLLOUT) != 0,
                     (events[i].events & (EPOLLHUP | EPOLLERR)) != 0};
  return n;
}

int pollSockets(std::vector<int>& fds, std::vector<int>& events, int milliseconds) {
  std::vector<pollfd> p;
  for (std::size_t i = 0; i < fds.size(); ++i)
    p.push_back({fds[i], static_cast<short>((events[i] & 1 ? POLLIN : 0) | (events[i] & 2 ? POLLOUT : 0) |
                                            (events[i] & 4 ? POLLPRI : 0)),
                 0});
  int n = ::poll(p.data(), p.size(), milliseconds);
  if (n < 0) return fail();
  for (std::size_t i = 0; i < fds.size(); ++i) {
    int e = 0;
    if ((events[i] & 1) && (p[i].revents & (POLLIN | POLLHUP | POLLERR))) e |= 1;
    if ((events[i] & 2) && (p[i].revents & (POLLOUT | POLLERR))) e |= 2;
    if ((events[i] & 4) && (p[i].revents & POLLPRI)) e |= 4;
    events[i] = e;
  }
  return n;
}

}  // namespace win::posix
