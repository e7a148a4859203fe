#include "platform/net/winsock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/net/posix_socket.h"

namespace win {

namespace {

namespace px = posix;

int startups = 0;
bool failStartup = false;

int failWith(int error) {
  px::setLastError(error);
  return SOCKET_ERROR;
}

int fdOf(SOCKET s) { return s > 0x7FFFFFFF ? -1 : static_cast<int>(s); }

// Notifications asked for with WSAAsyncSelect. An event is armed when it
// may be posted; posting disarms it until the call that re-arms it.
struct Selected {
  HWND hwnd;
  UINT message;
  long mask;
  long armed;
  bool datagram;
  bool endSeen;  // end of stream read: nothing more to watch for input
  bool unread;   // data waits for a recv: input is not watched until then
  bool acceptPosted;  // an accept notification went out and no accept followed
  bool acceptRetold;   // told again once after a skip: no more until an accept
};
std::unordered_map<int, Selected> selected;
// Where each socket's notices were last sent, kept past a cancel until the
// socket closes.
struct Target {
  HWND hwnd;
  UINT message;
};
std::unordered_map<int, Target> notifiedTo;
int watcher = -1;

void watch(int fd, const Selected& r) {
  bool in = (r.armed & (FD_READ | FD_ACCEPT | FD_CLOSE | FD_OOB)) && !r.endSeen && !r.unread;
  bool out = (r.armed & (FD_WRITE | FD_CONNECT)) != 0;
  // A reader that leaves input unread (one holding a busy peer back) must
  // still learn that the peer has gone, or the connection is kept forever.
  bool gone = (r.armed & FD_CLOSE) && !r.endSeen && !r.datagram;
  px::watcherSet(watcher, fd, in, out, gone);
}

void rearm(SOCKET s, long events) {
  auto it = selected.find(fdOf(s));
  if (it == selected.end()) return;
  long add = it->second.mask & events & ~it->second.armed;
  bool wasUnread = it->second.unread;
  if (events & FD_READ) it->second.unread = false;
  if (!add && !wasUnread) return;
  it->second.armed |= add;
  watch(it->first, it->second);
}

void post(int fd, const Selected& r, long event, int error) {
  PostMessageA(r.hwnd, r.message, static_cast<WPARAM>(fd),
               static_cast<LPARAM>((event & 0xFFFF) | (static_cast<long>(error) << 16)));
}

int pendingError(int fd) {
  int e = 0;
  px::getOption(fd, px::Option::Error, &e);
  return e;
}

// One ready descriptor: input is data, a connection to accept or the end
// of the stream; output is room to write or a finished connect.
void notify(const px::Ready& ready) {
  auto it = selected.find(ready.fd);
  if (it == selected.end()) return;
  int fd = it->first;
  Selected& r = it->second;
  bool posted = false;
  bool gone = ready.hangup && !r.datagram;  // reset, or no way left either way
  bool goneTold = false;
  if (ready.in || ready.hangup) {
    if (r.armed & FD_ACCEPT) {
      post(fd, r, FD_ACCEPT, 0);
      r.armed &= ~FD_ACCEPT;
      r.acceptPosted = true;
      posted = true;
    } else {
      unsigned long count = 0;
      bool data = px::readableCount(fd, &count) == 0 && count > 0;
      if (data || r.datagram) {
        if (r.armed & FD_READ) {
          post(fd, r, FD_READ, 0);
          r.armed &= ~FD_READ;
          posted = true;
        }
        r.unread = true;
      }
      // A peer that has gone ends the connection whatever is left unread,
      // as an abortive close does on Windows: what is read before the close
      // notice is still read.
      if (!(data || r.datagram) || gone) {
        r.endSeen = true;
        if (r.armed & FD_CLOSE) {
          // A hang-up is never a graceful end, even with no error pending.
          int error = pendingError(fd);
          post(fd, r, FD_CLOSE, gone && !error ? WSAECONNABORTED : error);
          r.armed &= ~FD_CLOSE;
          goneTold = gone;
          posted = true;
        }
      }
    }
  }
  if (ready.out) {
    if (r.armed & FD_CONNECT) {
      post(fd, r, FD_CONNECT, pendingError(fd));
      r.armed &= ~FD_CONNECT;
      posted = true;
    }
    // No room comes to a peer told gone; one whose end was told before
    // learns it from the write this notice brings.
    if ((r.armed & FD_WRITE) && !goneTold) {
      post(fd, r, FD_WRITE, 0);
      r.armed &= ~FD_WRITE;
      posted = true;
    }
  }
  // A hang-up is reported whatever is watched: park the descriptor until
  // something is armed again, so the wait does not spin on it.
  if (ready.hangup && (!posted || goneTold))
    px::watcherSet(watcher, fd, false, false);
  else
    watch(fd, r);
}

px::Inet inetOf(const sockaddr* a) {
  const auto* in = reinterpret_cast<const sockaddr_in*>(a);
  return px::Inet{in->sin_port, in->sin_addr.s_addr};
}

void storeInet(px::Inet i, sockaddr* a, int* length) {
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_port = i.port;
  in.sin_addr.s_addr = i.addr;
  if (a && length && *length >= static_cast<int>(sizeof in)) std::memcpy(a, &in, sizeof in);
  if (length) *length = sizeof in;
}

bool checkInet(const sockaddr* a, int length) {
  if (!a || length < static_cast<int>(sizeof(sockaddr_in))) return failWith(WSAEFAULT), false;
  if (a->sa_family != AF_INET) return failWith(WSAEAFNOSUPPORT), false;
  return true;
}

struct OptionRow {
  int option;
  px::Option posix;
};
constexpr OptionRow optionTable[] = {
    {SO_REUSEADDR, px::Option::ReuseAddr}, {SO_KEEPALIVE, px::Option::KeepAlive},
    {SO_BROADCAST, px::Option::Broadcast}, {SO_LINGER, px::Option::Linger},
    {SO_SNDBUF, px::Option::SendBuffer},   {SO_RCVBUF, px::Option::ReceiveBuffer},
    {SO_TYPE, px::Option::Type},           {SO_ERROR, px::Option::Error},
};

const OptionRow* optionOf(int level, int option) {
  if (level != SOL_SOCKET) return nullptr;
  for (const auto& r : optionTable)
    if (r.option == option) return &r;
  return nullptr;
}

// Static result records, one of each kind, as Windows Sockets has them
// per thread (one thread here).
struct HostRecord {
  hostent h{};
  std::string name;
  std::vector<u_long> addresses;
  std::vector<char*> list;
  char* noAliases[1] = {nullptr};
};
HostRecord hostRecord;

hostent* fillHost(const std::string& name, const std::vector<u_long>& addresses) {
  HostRecord& r = hostRecord;
  r.name = name;
  r.addresses = addresses;
  r.list.clear();
  for (u_long& a : r.addresses) r.list.push_back(reinterpret_cast<char*>(&a));
  r.list.push_back(nullptr);
  r.h = hostent{r.name.data(), r.noAliases, AF_INET, 4, r.list.data()};
  return &r.h;
}

struct ServiceRecord {
  servent s{};
  std::string name, protocol;
  char* noAliases[1] = {nullptr};
};
ServiceRecord serviceRecord;

struct ProtocolRecord {
  protoent p{};
  std::string name;
  char* noAliases[1] = {nullptr};
};
ProtocolRecord protocolRecord;

int asyncStub() { return failWith(WSAEOPNOTSUPP); }

}  // namespace

// Connections and data.
SOCKET socket(int family, int type, int) {
  if (!startups) return failWith(WSANOTINITIALISED), INVALID_SOCKET;
  int fd = px::openSocket(family, type);
  return fd < 0 ? INVALID_SOCKET : static_cast<SOCKET>(fd);
}

int closesocket(SOCKET s) {
  int fd = fdOf(s);
  if (selected.erase(fd)) px::watcherSet(watcher, fd, false, false);
  // The number goes back to the system, which gives it to the next socket
  // at once: a notice still queued for this one would reach that one.
  if (auto it = notifiedTo.find(fd); it != notifiedTo.end()) {
    ForgetPostedMessages(it->second.hwnd, it->second.message, static_cast<WPARAM>(fd));
    notifiedTo.erase(it);
  }
  return px::closeSocket(fd) == 0 ? 0 : SOCKET_ERROR;
}

int bind(SOCKET s, const sockaddr* address, int length) {
  if (!checkInet(address, length)) return SOCKET_ERROR;
  return px::bindInet(fdOf(s), inetOf(address)) == 0 ? 0 : SOCKET_ERROR;
}

int connect(SOCKET s, const sockaddr* address, int length) {
  if (!checkInet(address, length)) return SOCKET_ERROR;
  return px::connectInet(fdOf(s), inetOf(address)) == 0 ? 0 : SOCKET_ERROR;
}

int listen(SOCKET s, int backlog) { return px::listenOn(fdOf(s), backlog) == 0 ? 0 : SOCKET_ERROR; }

SOCKET accept(SOCKET s, sockaddr* address, int* length) {
  px::Inet peer{};
  int fd = px::acceptInet(fdOf(s), &peer);
  auto it = selected.find(fdOf(s));
  if (it != selected.end()) it->second.acceptPosted = it->second.acceptRetold = false;
  rearm(s, FD_ACCEPT);
  if (fd < 0) return INVALID_SOCKET;
  storeInet(peer, address, length);
  return static_cast<SOCKET>(fd);
}

int getsockname(SOCKET s, sockaddr* address, int* length) {
  px::Inet a{};
  if (px::nameOf(fdOf(s), &a, false) != 0) return SOCKET_ERROR;
  storeInet(a, address, length);
  return 0;
}

int getpeername(SOCKET s, sockaddr* address, int* length) {
  px::Inet a{};
  if (px::nameOf(fdOf(s), &a, true) != 0) return SOCKET_ERROR;
  storeInet(a, address, length);
  return 0;
}

int recv(SOCKET s, char* buffer, int length, int flags) {
  long n = px::receive(fdOf(s), buffer, static_cast<std::size_t>(std::max(length, 0)), (flags & MSG_PEEK) != 0,
                       nullptr);
  // A peek that finds data leaves it unread, so it does not re-arm: the
  // reader was told already, and another notice would come at once.
  if (!(flags & MSG_PEEK) || n <= 0) rearm(s, FD_READ);
  return n < 0 ? SOCKET_ERROR : static_cast<int>(n);
}

int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength) {
  px::Inet sender{};
  long n = px::receive(fdOf(s), buffer, static_cast<std::size_t>(std::max(length, 0)), (flags & MSG_PEEK) != 0,
                       &sender);
  if (!(flags & MSG_PEEK) || n <= 0) rearm(s, FD_READ);
  if (n < 0) return SOCKET_ERROR;
  storeInet(sender, from, fromLength);
  return static_cast<int>(n);
}

int send(SOCKET s, const char* buffer, int length, int) {
  long n = px::sendBytes(fdOf(s), buffer, static_cast<std::size_t>(std::max(length, 0)), nullptr);
  // A short send means the buffer filled up: the room's return is told
  // as after a send that would block.
  if ((n < 0 && px::lastError() == WSAEWOULDBLOCK) || (n >= 0 && n < length)) rearm(s, FD_WRITE);
  return n < 0 ? SOCKET_ERROR : static_cast<int>(n);
}

int sendto(SOCKET s, const char* buffer, int length, int, const sockaddr* to, int toLength) {
  if (!checkInet(to, toLength)) return SOCKET_ERROR;
  px::Inet target = inetOf(to);
  long n = px::sendBytes(fdOf(s), buffer, static_cast<std::size_t>(std::max(length, 0)), &target);
  if ((n < 0 && px::lastError() == WSAEWOULDBLOCK) || (n >= 0 && n < length)) rearm(s, FD_WRITE);
  return n < 0 ? SOCKET_ERROR : static_cast<int>(n);
}

int shutdown(SOCKET s, int how) { return px::shutdownSocket(fdOf(s), how) == 0 ? 0 : SOCKET_ERROR; }

int ioctlsocket(SOCKET s, long command, u_long* argument) {
  if (!argument) return failWith(WSAEFAULT);
  if (command == FIONREAD) {
    unsigned long n = 0;
    if (px::readableCount(fdOf(s), &n) != 0) return SOCKET_ERROR;
    *argument = static_cast<u_long>(n);
    return 0;
  }
  if (command == FIONBIO) return px::setNonBlocking(fdOf(s), *argument != 0) == 0 ? 0 : SOCKET_ERROR;
  return failWith(WSAEINVAL);
}

int setsockopt(SOCKET s, int level, int option, const char* value, int length) {
  const OptionRow* row = optionOf(level, option);
  if (!row) return failWith(10042);
  if (!value) return failWith(WSAEFAULT);
  int v = 0;
  if (option == SO_LINGER) {
    if (length < static_cast<int>(sizeof(linger))) return failWith(WSAEFAULT);
    linger l;
    std::memcpy(&l, value, sizeof l);
    v = l.l_onoff ? l.l_linger : -1;
  } else {
    if (length < static_cast<int>(sizeof(int))) return failWith(WSAEFAULT);
    std::memcpy(&v, value, sizeof v);
  }
  return px::setOption(fdOf(s), row->posix, v) == 0 ? 0 : SOCKET_ERROR;
}

int getsockopt(SOCKET s, int level, int option, char* value, int* length) {
  const OptionRow* row = optionOf(level, option);
  if (!row) return failWith(10042);
  if (!value || !length) return failWith(WSAEFAULT);
  int v = 0;
  if (px::getOption(fdOf(s), row->posix, &v) != 0) return SOCKET_ERROR;
  if (option == SO_LINGER) {
    if (*length < static_cast<int>(sizeof(linger))) return failWith(WSAEFAULT);
    linger l{static_cast<u_short>(v >= 0), static_cast<u_short>(v >= 0 ? v : 0)};
    std::memcpy(value, &l, sizeof l);
    *length = sizeof l;
    return 0;
  }
  if (*length < static_cast<int>(sizeof(int))) return failWith(WSAEFAULT);
  std::memcpy(value, &v, sizeof v);
  *length = sizeof v;
  return 0;
}

int select(int, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet, const timeval* timeout) {
  std::vector<int> fds, events;
  auto gather = [&](fd_set* set, int bit) {
    if (!set) return;
    for (u_int i = 0; i < set->fd_count && i < std::size(set->fd_array); ++i) {
      int fd = fdOf(set->fd_array[i]);
      auto at = std::find(fds.begin(), fds.end(), fd);
      if (at == fds.end()) {
        fds.push_back(fd);
        events.push_back(bit);
      } else {
        events[static_cast<std::size_t>(at - fds.begin())] |= bit;
      }
    }
  };
  gather(readSet, 1);
  gather(writeSet, 2);
  gather(exceptSet, 4);
  int ms = timeout ? static_cast<int>(timeout->tv_sec * 1000 + timeout->tv_usec / 1000) : -1;
  if (px::pollSockets(fds, events, ms) < 0) return SOCKET_ERROR;
  int total = 0;
  auto keep = [&](fd_set* set, int bit) {
    if (!set) return;
    u_int out = 0;
    for (u_int i = 0; i < set->fd_count && i < std::size(set->fd_array); ++i) {
      int fd = fdOf(set->fd_array[i]);
      std::size_t k = static_cast<std::size_t>(std::find(fds.begin(), fds.end(), fd) - fds.begin());
      if (events[k] & bit) set->fd_array[out++] = set->fd_array[i];
    }
    set->fd_count = out;
    total += static_cast<int>(out);
  };
  keep(readSet, 1);
  keep(writeSet, 2);
  keep(exceptSet, 4);
  return total;
}

int WSAFDIsSet(SOCKET s, fd_set* set) {
  for (u_int i = 0; set && i < set->fd_count && i < std::size(set->fd_array); ++i)
    if (set->fd_array[i] == s) return 1;
  return 0;
}

// Byte order: the network's is big-endian.
u_short htons(u_short value) {
  const unsigned char bytes[2] = {static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
  u_short out;
  std::memcpy(&out, bytes, 2);
  return out;
}

u_short ntohs(u_short value) {
  unsigned char bytes[2];
  std::memcpy(bytes, &value, 2);
  return static_cast<u_short>(bytes[0] << 8 | bytes[1]);
}

// "a.b.c.d", and the shorter forms whose last part fills the remaining
// bytes; each part decimal, octal (0...) or hexadecimal (0x...).
u_long inet_addr(const char* text) {
  if (!text) return INADDR_NONE;
  std::uint32_t parts[4];
  int count = 0;
  const char* p = text;
  for (;;) {
    if (count == 4) return INADDR_NONE;
    int base = 10;
    if (*p == '0' && (p[1] == 'x' || p[1] == 'X')) {
      base = 16;
      p += 2;
    } else if (*p == '0' && p[1] >= '0' && p[1] <= '9') {
      base = 8;
    }
    std::uint64_t v = 0;
    int digits = 0;
    for (;; ++p, ++digits) {
      int d = *p >= '0' && *p <= '9' ? *p - '0' : *p >= 'a' && *p <= 'f' ? *p - 'a' + 10
              : *p >= 'A' && *p <= 'F' ? *p - 'A' + 10 : 99;
      if (d >= base) break;
      v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
      if (v > 0xFFFFFFFFu) return INADDR_NONE;
    }
    if (!digits) return INADDR_NONE;
    parts[count++] = static_cast<std::uint32_t>(v);
    if (*p == '.') {
      ++p;
      continue;
    }
    if (*p && *p != ' ') return INADDR_NONE;
    break;
  }
  std::uint32_t host = 0;
  for (int i = 0; i < count - 1; ++i) {
    if (parts[i] > 255) return INADDR_NONE;
    host |= parts[i] << (24 - 8 * i);
  }
  std::uint32_t last = parts[count - 1];
  if (count > 1 && last >> (8 * (5 - count))) return INADDR_NONE;
  host |= last;
  const unsigned char bytes[4] = {static_cast<unsigned char>(host >> 24), static_cast<unsigned char>(host >> 16),
                                  static_cast<unsigned char>(host >> 8), static_cast<unsigned char>(host)};
  u_long out;
  std::memcpy(&out, bytes, 4);
  return out;
}

char* inet_ntoa(in_addr address) {
  static char text[16];
  unsigned char b[4];
  std::memcpy(b, &address.s_addr, 4);
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return text;
}

// Names.
int gethostname(char* name, int length) {
  if (!name || length <= 0) return failWith(WSAEFAULT);
  return px::hostName(name, static_cast<std::size_t>(length)) == 0 ? 0 : SOCKET_ERROR;
}

hostent* gethostbyname(const char* name) {
  if (!name) return failWith(WSAEFAULT), nullptr;
  u_long numeric = inet_addr(name);
  if (numeric != INADDR_NONE) return fillHost(name, {numeric});
  std::string official;
  std::vector<std::uint32_t> addresses;
  if (!px::hostByName(name, &official, &addresses)) return nullptr;
  return fillHost(official, std::vector<u_long>(addresses.begin(), addresses.end()));
}

hostent* gethostbyaddr(const char* address, int length, int type) {
  if (!address || length < 4) return failWith(WSAEFAULT), nullptr;
  if (type != AF_INET) return failWith(WSAEAFNOSUPPORT), nullptr;
  u_long a;
  std::memcpy(&a, address, 4);
  std::string name;
  if (!px::hostByAddr(a, &name)) return nullptr;
  return fillHost(name, {a});
}

servent* getservbyname(const char* name, const char* protocol) {
  if (!name) return failWith(WSAEFAULT), nullptr;
  ServiceRecord& r = serviceRecord;
  std::uint16_t port = 0;
  if (!px::serviceByName(name, protocol, &r.name, &port, &r.protocol)) return nullptr;
  r.s = servent{r.name.data(), r.noAliases, static_cast<short>(port), r.protocol.data()};
  return &r.s;
}

servent* getservbyport(int port, const char* protocol) {
  ServiceRecord& r = serviceRecord;
  if (!px::serviceByPort(static_cast<std::uint16_t>(port), protocol, &r.name, &r.protocol)) return nullptr;
  r.s = servent{r.name.data(), r.noAliases, static_cast<short>(port), r.protocol.data()};
  return &r.s;
}

protoent* getprotobyname(const char* name) {
  if (!name) return failWith(WSAEFAULT), nullptr;
  ProtocolRecord& r = protocolRecord;
  int number = 0;
  if (!px::protocolByName(name, &r.name, &number)) return nullptr;
  r.p = protoent{r.name.data(), r.noAliases, static_cast<short>(number)};
  return &r.p;
}

protoent* getprotobynumber(int number) {
  ProtocolRecord& r = protocolRecord;
  if (!px::protocolByNumber(number, &r.name)) return nullptr;
  r.p = protoent{r.name.data(), r.noAliases, static_cast<short>(number)};
  return &r.p;
}

// The library.
int WSAStartup(WORD version, WSADATA* data) {
  if (failStartup) return WSASYSNOTREADY;
  int major = version & 0xFF, minor = version >> 8 & 0xFF;
  if (major < 1) return WSAVERNOTSUPPORTED;
  if (!data) return WSAEFAULT;
  *data = WSADATA{};
  // 1.0 and 1.1 are served as asked; a later version is answered with 1.1.
  data->wVersion = major == 1 && minor == 0 ? WORD{0x0001} : WORD{0x0101};
  data->wHighVersion = 0x0101;
  std::snprintf(data->szDescription, sizeof data->szDescription, "Wexlin sockets 1.1 over POSIX");
  std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
  data->iMaxSockets = 1024;
  data->iMaxUdpDg = 65467;
  ++startups;
  return 0;
}

int WSACleanup() {
  if (!startups) return failWith(WSANOTINITIALISED);
  --startups;
  return 0;
}

void WSASetLastError(int error) { px::setLastError(error); }
int WSAGetLastError() { return px::lastError(); }
BOOL WSAIsBlocking() { return 0; }  // no call here blocks inside a message loop
int WSAUnhookBlockingHook() { return 0; }
int WSACancelBlockingCall() { return failWith(WSAEINVAL); }

// Asynchronous look-ups are not offered: callers get the error at once.
HANDLE WSAAsyncGetServByName(HWND, UINT, const char*, const char*, char*, int) { return asyncStub(), nullptr; }
HANDLE WSAAsyncGetServByPort(HWND, UINT, int, const char*, char*, int) { return asyncStub(), nullptr; }
HANDLE WSAAsyncGetProtoByName(HWND, UINT, const char*, char*, int) { return asyncStub(), nullptr; }
HANDLE WSAAsyncGetProtoByNumber(HWND, UINT, int, char*, int) { return asyncStub(), nullptr; }
HANDLE WSAAsyncGetHostByName(HWND, UINT, const char*, char*, int) { return asyncStub(), nullptr; }
HANDLE WSAAsyncGetHostByAddr(HWND, UINT, const char*, int, int, char*, int) { return asyncStub(), nullptr; }
int WSACancelAsyncRequest(HANDLE) { return failWith(WSAEINVAL); }

void acceptAnswered(const MSG* msg);

int WSAAsyncSelect(SOCKET s, HWND hwnd, UINT message, long events) {
  int fd = fdOf(s);
  if (fd < 0 || !px::isSocket(fd)) return failWith(WSAENOTSOCK);
  if (watcher < 0) {
    watcher = px::watcherCreate();
    if (watcher < 0) return SOCKET_ERROR;
    AddWaitDescriptor(watcher);
    AddDescriptorWatcher(WinsockPollNotifications);
    AddDispatchWatcher(acceptAnswered);
  }
  if (!events) {
    if (selected.erase(fd)) px::watcherSet(watcher, fd, false, false);
    return 0;
  }
  if (px::setNonBlocking(fd, true) != 0) return SOCKET_ERROR;
  auto [it, fresh] = selected.try_emplace(fd);
  Selected& r = it->second;
  if (fresh) {
    int type = 1;
    px::getOption(fd, px::Option::Type, &type);
    r.datagram = type == 2;
    r.endSeen = false;
    r.unread = false;
  }
  r.acceptPosted = r.acceptRetold = false;
  r.hwnd = hwnd;
  r.message = message;
  r.mask = events;
  notifiedTo[fd] = Target{hwnd, message};
  // Asking again arms every event asked for; the end of a stream is told once.
  r.armed = events & ~(r.endSeen ? FD_CLOSE : 0);
  watch(fd, r);
  return 0;
}

// An accept notification answered without an accept (its procedure
// skipped it, or its window was gone) would leave the listener deaf for
// good: listen again, so a connection still pending is told once more.
// Only once until the next accept, so a procedure that never accepts
// does not spin the loop.
void acceptAnswered(const MSG* msg) {
  if ((msg->lParam & 0xFFFF) != FD_ACCEPT || msg->wParam > 0x7FFFFFFF) return;
  auto it = selected.find(static_cast<int>(msg->wParam));
  if (it == selected.end()) return;
  Selected& r = it->second;
  if (!r.acceptPosted || r.acceptRetold || r.hwnd != msg->hwnd || r.message != msg->message) return;
  r.acceptPosted = false;
  r.acceptRetold = true;
  r.armed |= r.mask & FD_ACCEPT;
  watch(it->first, r);
}

void WinsockPollNotifications() {
  if (watcher < 0 || selected.empty()) return;

  px::Ready ready[32];
  int n = px::watcherReady(watcher, ready, 32);
  for (int i = 0; i < n; ++i) notify(ready[i]);
}

void WinsockSetStartupFailure(int fail) { failStartup = fail != 0; }

namespace {

struct ProcRow {
  const char* name;
  FARPROC proc;
};

// Through void (*)(), which converts to and from any function type.
template <class F>
FARPROC proc(F* f) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f));
}

const ProcRow* procTable(std::size_t* count) {
  static const ProcRow table[] = {
      {"accept", proc(accept)},
      {"bind", proc(bind)},
      {"closesocket", proc(closesocket)},
      {"connect", proc(connect)},
      {"ioctlsocket", proc(ioctlsocket)},
      {"getpeername", proc(getpeername)},
      {"getsockname", proc(getsockname)},
      {"getsockopt", proc(getsockopt)},
      {"htons", proc(htons)},
      {"inet_addr", proc(inet_addr)},
      {"inet_ntoa", proc(inet_ntoa)},
      {"listen", proc(listen)},
      {"ntohs", proc(ntohs)},
      {"recv", proc(recv)},
      {"recvfrom", proc(recvfrom)},
      {"select", proc(select)},
      {"send", proc(send)},
      {"sendto", proc(sendto)},
      {"setsockopt", proc(setsockopt)},
      {"shutdown", proc(shutdown)},
      {"socket", proc(socket)},
      {"gethostbyaddr", proc(gethostbyaddr)},
      {"gethostbyname", proc(gethostbyname)},
      {"gethostname", proc(gethostname)},
      {"getservbyport", proc(getservbyport)},
      {"getservbyname", proc(getservbyname)},
      {"getprotobynumber", proc(getprotobynumber)},
      {"getprotobyname", proc(getprotobyname)},
      {"WSAStartup", proc(WSAStartup)},
      {"WSACleanup", proc(WSACleanup)},
      {"WSASetLastError", proc(WSASetLastError)},
      {"WSAGetLastError", proc(WSAGetLastError)},
      {"WSAIsBlocking", proc(WSAIsBlocking)},
      {"WSAUnhookBlockingHook", proc(WSAUnhookBlockingHook)},
      {"WSACancelBlockingCall", proc(WSACancelBlockingCall)},
      {"WSAAsyncGetServByName", proc(WSAAsyncGetServByName)},
      {"WSAAsyncGetServByPort", proc(WSAAsyncGetServByPort)},
      {"WSAAsyncGetProtoByName", proc(WSAAsyncGetProtoByName)},
      {"WSAAsyncGetProtoByNumber", proc(WSAAsyncGetProtoByNumber)},
      {"WSAAsyncGetHostByName", proc(WSAAsyncGetHostByName)},
      {"WSAAsyncGetHostByAddr", proc(WSAAsyncGetHostByAddr)},
      {"WSACancelAsyncRequest", proc(WSACancelAsyncRequest)},
      {"WSAAsyncSelect", proc(WSAAsyncSelect)},
      {"__WSAFDIsSet", proc(WSAFDIsSet)},
  };
  *count = std::size(table);
  return table;
}

}  // namespace

FARPROC WinsockProcAddress(const char* name) {
  if (!name) return nullptr;
  std::size_t count;
  const ProcRow* table = procTable(&count);
  for (std::size_t i = 0; i < count; ++i)
    if (std::strcmp(table[i].name, name) == 0) return table[i].proc;
  return nullptr;
}

}  // namespace win
