// The socket driver (`sockdrvr.cpp`) fetches all 44 Windows Sockets functions from
// `LoadLibraryA("wsock32.dll")` through `GetProcAddress` (registering nothing when one is missing),
// starts Windows Sockets (1.1, then 1.0) on the first listen or connect with its hidden window
// "_socket" of class "_socket%d", and turns message 1024 into channel events. Where it differs from
// the plain rules, for soundness: the read handler reads at most what the posted buffers still
// want, so no byte is dropped, and at most 64 KiB a notice, so a busy peer cannot hold the others
// off; a datagram longer than the buffer keeps its rest in the channel's
// record and is delivered first; a "udp" listen binds and reads datagrams (a datagram socket cannot
// listen), its peer becoming each sender. A socket's notices still queued when it closes are
// dropped, since the system hands its number to the next socket at once; and a listen queue is as
// long as the system allows (a full queue on Linux strands a peer that believes it is connected,
// where Windows would refuse it).

#include "fw/services/sockdrvr.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fw/core/dict.h"
#include "fw/core/event.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/services/vcomm.h"
#include "platform/net/winsock.h"

namespace {

// Every Windows Sockets function, fetched by name.
#define WINSOCK_FUNCTIONS(X)                                                                                   \
  X(accept, "accept") X(bind, "bind") X(closesocket, "closesocket") X(connect, "connect")                     \
  X(ioctlsocket, "ioctlsocket") X(getpeername, "getpeername") X(getsockname, "getsockname")                   \
  X(getsockopt, "getsockopt") X(htons, "htons") X(inet_addr, "inet_addr") X(inet_ntoa, "inet_ntoa")           \
  X(listen, "listen") X(ntohs, "ntohs") X(recv, "recv") X(recvfrom, "recvfrom") X(select, "select")           \
  X(send, "send") X(sendto, "sendto") X(setsockopt, "setsockopt") X(shutdown, "shutdown")                     \
  X(socket, "socket") X(gethostbyaddr, "gethostbyaddr") X(gethostbyname, "gethostbyname")                     \
  X(gethostname, "gethostname") X(getservbyport, "getservbyport") X(getservbyname, "getservbyname")           \
  X(getprotobynumber, "getprotobynumber") X(getprotobyname, "getprotobyname") X(WSAStartup, "WSAStartup")     \
  X(WSACleanup, "WSACleanup") X(WSASetLastError, "WSASetLastError") X(WSAGetLastError, "WSAGetLastError")     \
  X(WSAIsBlocking, "WSAIsBlocking") X(WSAUnhookBlockingHook, "WSAUnhookBlockingHook")                         \
  X(WSACancelBlockingCall, "WSACancelBlockingCall") X(WSAAsyncGetServByName, "WSAAsyncGetServByName")         \
  X(WSAAsyncGetServByPort, "WSAAsyncGetServByPort") X(WSAAsyncGetProtoByName, "WSAAsyncGetProtoByName")       \
  X(WSAAsyncGetProtoByNumber, "WSAAsyncGetProtoByNumber") X(WSAAsyncGetHostByName, "WSAAsyncGetHostByName")   \
  X(WSAAsyncGetHostByAddr, "WSAAsyncGetHostByAddr") X(WSACancelAsyncRequest, "WSACancelAsyncRequest")         \
  X(WSAAsyncSelect, "WSAAsyncSelect") X(WSAFDIsSet, "__WSAFDIsSet")

struct Api {
#define API_MEMBER(member, text) decltype(&win::member) member;
  WINSOCK_FUNCTIONS(API_MEMBER)
#undef API_MEMBER
};

using win::SOCKET;
using win::sockaddr;
using win::sockaddr_in;

constexpr win::UINT kNotifyMessage = 1024;
constexpr long kMaskReadClose = 0x21;
constexpr long kMaskReadWriteClose = 0x23;
constexpr long kMaskAccept = 0x08;
constexpr int kReadChunk = 1024;
constexpr int kChunksPerTurn = 64;
constexpr std::size_t kScratchSize = 8192;
constexpr std::size_t kDatagramMax = 65536;

// One socket channel's record.
struct SocketRecord {
  SOCKET s;
  int type;  // 1 stream, 2 datagram
  // Output queue: blocks that could not be sent at once.
  std::size_t readPos;
  char* base;
  std::size_t capacity;
  std::size_t queued;
  int blocks;
  int blockCapacity;
  std::size_t* blockLengths;
  sockaddr_in peer;
  // What a datagram held beyond the posted buffers, delivered first.
  char* surplus;
  std::size_t surplusPos, surplusLength;
  // The peer ended its sending while replies still waited here: it may
  // still be reading them, so the channel closes once they are sent.
  bool closeWhenSent;
};

struct DriverState {
  Api api;
  bool loaded;
  vcommDriver driver;
  vdict* sockets;  // socket -> channel; socket 0 under -1
  win::HWND window;
  char className[32];
  bool brokenFionread;
  char* scratch;
  char* datagram;
  vname tcp, udp, unixName, socketName;
};
void** driverSlot = nullptr;

DriverState* ds() { return static_cast<DriverState*>(*driverSlot); }
Api& api() { return ds()->api; }
SocketRecord* recordOf(vcommChannel* c) { return static_cast<SocketRecord*>(c->priv); }

const void* keyOf(SOCKET s) {
  return reinterpret_cast<const void*>(s ? static_cast<std::intptr_t>(s) : std::intptr_t{-1});
}

vcommChannel* channelOf(SOCKET s) { return static_cast<vcommChannel*>(vdictGet(ds()->sockets, keyOf(s))); }

bool prefSet(const char* name) {
  const char* v = vprefGetString(vprefGetDefaultDict(), vscribeLiteral(name));
  return v && std::strcmp(v, "0") != 0 && vcstrCompareNoCase(v, "false") != 0;
}

std::uint32_t hostOrder(std::uint32_t network) {
  unsigned char b[4];
  std::memcpy(b, &network, 4);
  return static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
         static_cast<std::uint32_t>(b[2]) << 8 | b[3];
}

[[noreturn]] void addressFailure(vcommAddress* a, const char* message, int code) {
  _vexGenerate(&vexCommunicationAddressClass, vcommSetAddress, a, vexSetMessage, message, vexSetErrno, code, vexEnd);
}

[[noreturn]] void channelFailure(const vexClass* cls, vcommChannel* c, const char* message) {
  _vexGenerate(cls, vcommSetChannel, c, vexSetMessage, message, vexSetErrno, api().WSAGetLastError(), vexEnd);
}

// A socket made by the failing operation is closed before the raise.
[[noreturn]] void failClosing(SOCKET s, vcommAddress* a, const char* message) {
  int code = api().WSAGetLastError();
  if (s != win::INVALID_SOCKET) api().closesocket(s);
  addressFailure(a, message, code);
}

bool transient(int error) { return error == win::WSAEWOULDBLOCK || error == win::WSAEINTR || error == 11; }

// Start of Windows Sockets and the hidden window.
win::LRESULT CALLBACK_windowProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

void startSockets(vcommAddress* a) {
  DriverState* s = ds();
  if (s->window) return;
  win::WSADATA data{};
  win::WORD asked = 0x0101;
  int r = api().WSAStartup(asked, &data);
  if (r != 0) {
    asked = 0x0001;
    r = api().WSAStartup(asked, &data);
  }
  if (r != 0 || data.wVersion != asked) {
    if (r == 0) api().WSACleanup();
    addressFailure(a, "could not initialize Windows Sockets.", r);
  }
  win::DWORD version = vsysGetVersion();
  s->brokenFionread = (!vsysIsNT() && (version & 0xFF) >= 4 &&
                       std::strncmp(data.szDescription, "Microsoft Windows Sockets", 25) == 0) ||
                      prefSet("brokenSocketFionread");
  win::HINSTANCE instance = win::GetModuleHandleA(nullptr);
  std::snprintf(s->className, sizeof s->className, "_socket%d",
                static_cast<int>(reinterpret_cast<std::intptr_t>(instance)));
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = CALLBACK_windowProc;
  wc.hInstance = instance;
  wc.lpszClassName = s->className;
  if (!win::RegisterClassA(&wc)) {
    api().WSACleanup();
    vexGenerateMessage(&vexModuleStartupClass, "cannot register the socket window class");
  }
  s->window = win::CreateWindowExA(0, s->className, "_socket", 0, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
  if (!s->window) {
    win::UnregisterClassA(s->className, instance);
    api().WSACleanup();
    vexGenerateMessage(&vexModuleStartupClass, "cannot create the socket window");
  }
}

// Socket address -> address record.
void fillAddress(const sockaddr_in& sa, vcommAddress* a, int type, const char* location) {
  DriverState* s = ds();
  char text[64];
  vcommAddressSetTransport(a, type == 2 ? s->udp : s->tcp);
  std::snprintf(text, sizeof text, "%d", api().ntohs(sa.sin_port));
  vcommAddressSetPort(a, vscribeCString(text));
  if (location) {
    vcommAddressSetLocation(a, vscribeCString(location));
  } else if (sa.sin_family == win::AF_UNIX) {
    api().gethostname(text, sizeof text);
    vcommAddressSetLocation(a, vscribeCString(text));
  } else {
    win::hostent* h = api().gethostbyaddr(reinterpret_cast<const char*>(&sa.sin_addr.s_addr), 4, win::AF_INET);
    if (h && h->h_name) {
      vcommAddressSetLocation(a, vscribeCString(h->h_name));
    } else {
      std::uint32_t v = hostOrder(sa.sin_addr.s_addr);
      std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", static_cast<unsigned long>(v >> 24),
                    static_cast<unsigned long>(v >> 16 & 0xFF), static_cast<unsigned long>(v >> 8 & 0xFF),
                    static_cast<unsigned long>(v & 0xFF));
      vcommAddressSetLocation(a, vscribeCString(text));
    }
  }
  a->portNumber = sa.sin_port;
  a->ipAddress = sa.sin_addr.s_addr;
  a->flags |= vcommAddressVALID;
}

bool ownHostName(const char* location) {
  char name[256] = {};
  return location && api().gethostname(name, sizeof name) == 0 && std::strcmp(name, location) == 0;
}

// Port and location texts -> the binary address, kept until a text changes.
void resolve(vcommAddress* a, SOCKET s) {
  if (a->flags & vcommAddressVALID) return;
  const char* protocol = a->transport == ds()->udp ? "udp" : "tcp";
  std::uint16_t port = 0;
  if (a->port && *a->port) {
    if (*a->port >= '0' && *a->port <= '9') {
      port = api().htons(static_cast<std::uint16_t>(std::strtoul(a->port, nullptr, 10)));
    } else {
      win::servent* sv = api().getservbyname(a->port, protocol);
      if (!sv) failClosing(s, a, "getservbyname() failed");
      port = static_cast<std::uint16_t>(sv->s_port);
    }
  }
  std::uint32_t address;
  const char* location = a->location;
  if (!location || !*location) {
    char name[256] = {};
    api().gethostname(name, sizeof name);
    win::hostent* h = api().gethostbyname(name);
    if (!h || !h->h_addr_list[0]) failClosing(s, a, "gethostbyname() failed");
    std::memcpy(&address, h->h_addr_list[0], 4);
  } else if (std::strcmp(location, "*") == 0) {
    address = 0xFFFFFFFFu;
  } else if (*location >= '0' && *location <= '9') {
    address = api().inet_addr(location);
  } else {
    win::hostent* h = api().gethostbyname(location);
    if (!h || !h->h_addr_list[0]) failClosing(s, a, "gethostbyname() failed");
    std::memcpy(&address, h->h_addr_list[0], 4);
  }
  a->portNumber = port;
  a->ipAddress = address;
  a->flags |= vcommAddressVALID;
}

sockaddr_in inetAddress(std::uint16_t port, std::uint32_t address) {
  sockaddr_in sa{};
  sa.sin_family = win::AF_INET;
  sa.sin_port = port;
  sa.sin_addr.s_addr = address;
  return sa;
}

bool endsIn255(std::uint32_t network) { return (hostOrder(network) & 0xFF) == 0xFF; }

int familyOf(vname transport) { return transport == ds()->unixName ? win::AF_UNIX : win::AF_INET; }

void setOption(SOCKET s, int option, int value) {
  api().setsockopt(s, win::SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value);
}

void select(SOCKET s, long mask) { api().WSAAsyncSelect(s, ds()->window, kNotifyMessage, mask); }

// Set-up of a socket channel.
void setUp(SOCKET s, vcommChannel* c, const sockaddr_in& local, const sockaddr_in* peer, const char* peerLocation) {
  auto* r = static_cast<SocketRecord*>(vmemAllocClear(sizeof(SocketRecord)));
  r->s = s;
  c->priv = r;
  setOption(s, win::SO_REUSEADDR, 1);
  setOption(s, win::SO_KEEPALIVE, 1);
  win::linger l{1, 30};
  api().setsockopt(s, win::SOL_SOCKET, win::SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
  int type = win::SOCK_STREAM, length = sizeof type;
  api().getsockopt(s, win::SOL_SOCKET, win::SO_TYPE, reinterpret_cast<char*>(&type), &length);
  r->type = type;
  fillAddress(local, &c->local, type, nullptr);
  if (peer) {
    fillAddress(*peer, &c->peer, type, peerLocation);
    r->peer = *peer;
  } else {
    r->peer = local;
    vcommAddressClear(&c->peer);
    vcommAddressSetTransport(&c->peer, c->local.transport);
    c->peer.flags |= vcommAddressVALID;
  }
  vdictStore(ds()->sockets, keyOf(s), c);
  select(s, kMaskReadClose);
}

// Readable bytes; with a broken FIONREAD a peek tells the truth.
bool readableCount(SocketRecord* r, unsigned long* count) {
  win::u_long n = 0;
  if (api().ioctlsocket(r->s, win::FIONREAD, &n) != 0) return false;
  if (ds()->brokenFionread) {
    DriverState* s = ds();
    if (!s->scratch) s->scratch = static_cast<char*>(vmemAlloc(kScratchSize));
    int peeked = api().recv(r->s, s->scratch, static_cast<int>(kScratchSize), win::MSG_PEEK);
    if (peeked >= 0) n = std::min<win::u_long>(n, static_cast<win::u_long>(peeked));
  }
  *count = n;
  return true;
}

// What a datagram held beyond the request, first.
std::size_t takeSurplus(SocketRecord* r, char* buffer, std::size_t length) {
  std::size_t n = std::min(length, r->surplusLength - r->surplusPos);
  if (!n) return 0;
  std::memcpy(buffer, r->surplus + r->surplusPos, n);
  r->surplusPos += n;
  if (r->surplusPos == r->surplusLength) {
    vmemFree(r->surplus);
    r->surplus = nullptr;
    r->surplusPos = r->surplusLength = 0;
  }
  return n;
}

void peerFromSender(vcommChannel* c, SocketRecord* r, const sockaddr_in& from) {
  r->peer = from;
  c->peer.portNumber = from.sin_port;
  c->peer.ipAddress = from.sin_addr.s_addr;
  c->peer.flags |= vcommAddressVALID;
}

// Reads what is there now, at most length bytes: 0 when nothing is.
long readNow(vcommChannel* c, char* buffer, std::size_t length) {
  SocketRecord* r = recordOf(c);
  if (r->type == win::SOCK_DGRAM) {
    if (r->surplus) return static_cast<long>(takeSurplus(r, buffer, length));
    DriverState* s = ds();
    if (!s->datagram) s->datagram = static_cast<char*>(vmemAlloc(kDatagramMax));
    sockaddr_in from{};
    int fromLength = sizeof from;
    int n = api().recvfrom(r->s, s->datagram, static_cast<int>(kDatagramMax), 0, reinterpret_cast<sockaddr*>(&from),
                           &fromLength);
    if (n < 0) {
      if (transient(api().WSAGetLastError())) return 0;
      channelFailure(&vexCommunicationChannelReadClass, c, "recvfrom() failed");
    }
    peerFromSender(c, r, from);
    std::size_t take = std::min(length, static_cast<std::size_t>(n));
    std::memcpy(buffer, s->datagram, take);
    if (take < static_cast<std::size_t>(n)) {
      r->surplusLength = static_cast<std::size_t>(n) - take;
      r->surplus = static_cast<char*>(vmemAlloc(r->surplusLength));
      std::memcpy(r->surplus, s->datagram + take, r->surplusLength);
      r->surplusPos = 0;
    }
    return static_cast<long>(take);
  }
  bool modern = vsysIsNT() || (vsysGetVersion() & 0xFF) >= 4;
  std::size_t want = length;
  if (modern) {
    unsigned long count = 0;
    if (!readableCount(r, &count)) channelFailure(&vexCommunicationChannelReadClass, c, "ioctl() failed");
    want = std::min<std::size_t>(want, count);
    if (!want) return 0;
  }
  int n = api().recv(r->s, buffer, static_cast<int>(std::min<std::size_t>(want, 0x7FFFFFFF)), 0);
  if (n < 0) {
    if (transient(api().WSAGetLastError())) return 0;
    channelFailure(&vexCommunicationChannelReadClass, c, "read() failed");
  }
  return n;
}

void notifyEvent(vcommChannel* c, int event) {
  if (c->notify) vexTry([c, event] { c->notify(c, event); });
}

void postDeferred(SOCKET s, long event, int error = 0);

// The notifications.
void readHandler(vcommChannel* c) {
  bool ok = vexTry([c] {
    char chunk[kReadChunk];
    // A turn ends after a fixed budget: a read re-arms the notice, so the
    // rest comes after the other sockets have had theirs.
    int turn = 0;
    for (; turn < kChunksPerTurn && c->receiveCount > 0 && (c->flags & vcommChannelOPEN); ++turn) {
      // Never more than the posted buffers want: nothing read is dropped.
      std::size_t want = std::min<std::size_t>(kReadChunk, c->receiveWanted);
      long n = readNow(c, chunk, want);
      if (n <= 0) break;
      std::size_t taken = vcommDeliver(c, chunk, static_cast<std::size_t>(n));
      if (taken < static_cast<std::size_t>(n)) break;
    }
    if (!(c->flags & vcommChannelOPEN) || !c->priv) return;
    // A datagram's rest is kept here, where no notice tells of it.
    if (turn == kChunksPerTurn && c->receiveCount > 0 && recordOf(c)->surplus)
      postDeferred(recordOf(c)->s, win::FD_READ);
    if (c->receiveCount > 0) return;
    SocketRecord* r = recordOf(c);
    unsigned long count = 0;
    if (!readableCount(r, &count)) channelFailure(&vexCommunicationChannelReadClass, c, "ioctl() failed");
    if (count > 0 || r->surplus) {
      if (c->notify) c->notify(c, vcommEVENT_DATA);
    } else {
      char byte;
      api().recv(r->s, &byte, 1, win::MSG_PEEK);  // re-arms, or meets the end
    }
  });
  if (!ok) notifyEvent(c, vcommEVENT_ERROR);
}

void sendFailure(vcommChannel* c, SocketRecord* r) {
  channelFailure(&vexCommunicationChannelWriteClass, c, r->type == win::SOCK_DGRAM ? "sendto() failed" : "write() failed");
}

int sendSome(SocketRecord* r, const char* bytes, std::size_t n) {
  int length = static_cast<int>(std::min<std::size_t>(n, 0x7FFFFFFF));
  if (r->type == win::SOCK_DGRAM)
    return api().sendto(r->s, bytes, length, 0, reinterpret_cast<const sockaddr*>(&r->peer), sizeof r->peer);
  return api().send(r->s, bytes, length, 0);
}

void freeQueue(SocketRecord* r) {
  vmemFree(r->base);
  vmemFree(r->blockLengths);
  r->base = nullptr;
  r->blockLengths = nullptr;
  r->capacity = r->queued = r->readPos = 0;
  r->blocks = r->blockCapacity = 0;
}

void flush(vcommChannel* c) {
  SocketRecord* r = recordOf(c);
  if (!r) return;
  while (r->queued) {
    std::size_t block = r->blockLengths[0];
    int n = sendSome(r, r->base + r->readPos, block);
    if (n < 0) {
      if (transient(api().WSAGetLastError())) break;
      sendFailure(c, r);
    }
    std::size_t sent = static_cast<std::size_t>(n);
    r->readPos += sent;
    r->queued -= sent;
    if (sent < block) {
      r->blockLengths[0] -= sent;
      break;
    }
    std::memmove(r->blockLengths, r->blockLengths + 1, static_cast<std::size_t>(r->blocks - 1) * sizeof(std::size_t));
    --r->blocks;
    notifyEvent(c, vcommEVENT_BLOCK_SENT);
    if (!c->priv) return;  // the callback closed the channel
  }
  if (!r->queued) {
    freeQueue(r);
    select(r->s, kMaskReadClose);
  }
}

void writeHandler(vcommChannel* c) {
  if (!vexTry([c] { flush(c); })) {
    notifyEvent(c, vcommEVENT_ERROR);
    // No end notice is left to come for a peer whose end was told already.
    if (c->priv && recordOf(c)->closeWhenSent) vexTry([c] { vcommClose(c); });
    return;
  }
  if (!c->priv || recordOf(c)->queued) return;
  if (recordOf(c)->closeWhenSent) {
    vexTry([c] { vcommClose(c); });
    return;
  }
  notifyEvent(c, vcommEVENT_SENT);
}

void queueBlock(SocketRecord* r, const char* bytes, std::size_t n) {
  if (!n) return;
  bool wasEmpty = r->queued == 0;
  if (r->base && r->readPos + r->queued + n > r->capacity) {
    std::memmove(r->base, r->base + r->readPos, r->queued);
    r->readPos = 0;
  }
  if (!r->base) {
    r->capacity = std::max(kScratchSize, n);
    r->base = static_cast<char*>(vmemAlloc(r->capacity));
    r->readPos = 0;
  } else if (r->queued + n > r->capacity) {
    std::size_t grown = n < r->capacity ? 2 * r->capacity : r->capacity + n;
    if (!vexTry([&] { r->base = static_cast<char*>(vmemRealloc(r->base, grown)); })) {
      grown = r->queued + n;
      r->base = static_cast<char*>(vmemRealloc(r->base, grown));
    }
    r->capacity = grown;
  }
  std::memcpy(r->base + r->readPos + r->queued, bytes, n);
  r->queued += n;
  if (r->blocks == r->blockCapacity) {
    r->blockCapacity = r->blockCapacity ? 2 * r->blockCapacity : 8;
    r->blockLengths = static_cast<std::size_t*>(
        vmemRealloc(r->blockLengths, vmemArraySize(static_cast<std::size_t>(r->blockCapacity), sizeof(std::size_t))));
  }
  r->blockLengths[r->blocks++] = n;
  if (wasEmpty) select(r->s, kMaskReadWriteClose);
}

void acceptHandler(vcommChannel* listener) {
  SocketRecord* lr = recordOf(listener);
  sockaddr_in peer{};
  int length = sizeof peer;
  SOCKET s = api().accept(lr->s, reinterpret_cast<sockaddr*>(&peer), &length);
  if (s == win::INVALID_SOCKET) {
    notifyEvent(listener, vcommEVENT_ERROR);
    return;
  }
  vcommChannel* c = vcommChannelCreate();
  c->notify = listener->notify;
  c->client = listener->client;
  bool ok = vexTry([&] {
    setUp(s, c, lr->peer, &peer, nullptr);
    vcommConnect(c);
  });
  if (!ok) {
    if (c->flags & vcommChannelOPEN) {
      vexTry([c] { vcommClose(c); });
    } else if (c->priv) {
      vexTry([c] { ds()->driver.close(c); });
    } else {
      api().closesocket(s);
    }
    vcommChannelDestroy(c);
    notifyEvent(listener, vcommEVENT_ERROR);
  }
}

// A peer that only ended its sending (no error) has had all its input read
// before this notice; what is queued for it is sent before the close.
void closeHandler(vcommChannel* c, int error) {
  SocketRecord* r = recordOf(c);
  if (!error && r && r->type == win::SOCK_STREAM && r->queued) {
    r->closeWhenSent = true;
    return;
  }
  vexTry([c] { vcommClose(c); });
}

void dispatch(SOCKET s, long event, int error) {
  vcommChannel* c = channelOf(s);
  if (!c) return;
  switch (event) {
    case win::FD_READ: readHandler(c); break;
    case win::FD_WRITE: writeHandler(c); break;
    case win::FD_ACCEPT: acceptHandler(c); break;
    case win::FD_CLOSE: closeHandler(c, error); break;
    default: break;
  }
}

struct Deferred {
  SOCKET s;
  long event;
  int error;
};

int deferredHandler(vevent* e) {
  auto* d = static_cast<Deferred*>(e->data);
  Deferred copy = *d;
  vmemFree(d);
  if (*driverSlot) dispatch(copy.s, copy.event, copy.error);
  return 1;
}

void postDeferred(SOCKET s, long event, int error) {
  auto* d = static_cast<Deferred*>(vmemAlloc(sizeof(Deferred)));
  *d = Deferred{s, event, error};
  veventPost(veventCreateClient(deferredHandler, d));
}

win::LRESULT CALLBACK_windowProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  if (message != kNotifyMessage) return win::DefWindowProcA(hwnd, message, wParam, lParam);
  SOCKET s = static_cast<SOCKET>(wParam);
  if (s == win::INVALID_SOCKET || !*driverSlot || !channelOf(s)) return 0;
  long event = static_cast<long>(lParam & 0xFFFF);
  int error = static_cast<int>((lParam >> 16) & 0xFFFF);
  if (api().WSAIsBlocking()) {
    postDeferred(s, event, error);
    return 0;
  }
  dispatch(s, event, error);
  return 0;
}

// The driver's operations.
SOCKET makeSocket(vcommAddress* a, int type) {
  SOCKET s = api().socket(familyOf(a->transport), type, 0);
  if (s == win::INVALID_SOCKET) failClosing(s, a, "socket() failed");
  return s;
}

int typeOf(vname transport) { return transport == ds()->udp ? win::SOCK_DGRAM : win::SOCK_STREAM; }

sockaddr_in boundAddress(SOCKET s, vcommAddress* a) {
  sockaddr_in bound{};
  int length = sizeof bound;
  if (api().getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length) != 0) failClosing(s, a, "getsockname() failed");
  return bound;
}

vcommChannel* opListen(vcommAddress* a, vcommNotify notify) {
  startSockets(a);
  int type = typeOf(a->transport);
  SOCKET s = makeSocket(a, type);
  if (familyOf(a->transport) == win::AF_INET) {
    bool anyInterface = !a->location || !*a->location || ownHostName(a->location);
    resolve(a, s);
    sockaddr_in at = inetAddress(a->portNumber, anyInterface ? win::INADDR_ANY : a->ipAddress);
    if (api().bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) failClosing(s, a, "bind() failed");
  }
  sockaddr_in bound = boundAddress(s, a);
  vcommChannel* c = vcommChannelCreate();
  c->notify = notify;
  bool ok = vexTry([&] { setUp(s, c, bound, nullptr, nullptr); });
  if (!ok) {
    if (!c->priv) api().closesocket(s);
    vcommChannelDestroy(c);
    failClosing(win::INVALID_SOCKET, a, "socket set-up failed");
  }
  // A datagram socket has no connections: it reads what is sent to it.
  if (type == win::SOCK_STREAM) {
    select(s, kMaskAccept);
    if (api().listen(s, 16) != 0) {
      int code = api().WSAGetLastError();
      ds()->driver.close(c);
      vcommChannelDestroy(c);
      addressFailure(a, "listen() failed", code);
    }
  }
  return c;
}

void opConnect(vcommChannel* c) {
  if ((c->flags & vcommChannelOPEN) || c->priv) return;
  vcommAddress* peer = &c->peer;
  startSockets(peer);
  DriverState* st = ds();
  bool internet = familyOf(peer->transport) == win::AF_INET;
  if ((peer->transport == st->tcp || peer->transport == st->udp) && (!peer->port || !*peer->port))
    _vexGenerate(&vexCommunicationAddressClass, vcommSetAddress, peer, vexEnd);
  int type = typeOf(peer->transport);
  SOCKET s = makeSocket(peer, type);
  sockaddr_in bound{}, target{};
  if (internet) {
    std::uint16_t localPort = 0;
    if (c->local.port && *c->local.port) {
      resolve(&c->local, s);
      localPort = c->local.portNumber;
    }
    sockaddr_in at = inetAddress(localPort, win::INADDR_ANY);
    if (api().bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) failClosing(s, peer, "bind() failed");
    bound = boundAddress(s, peer);
    resolve(peer, s);
    target = inetAddress(peer->portNumber, peer->ipAddress);
    if (type == win::SOCK_STREAM && peer->ipAddress == 0xFFFFFFFFu) {
      api().closesocket(s);
      addressFailure(peer, "Cannot use a broadcast address as location for non-datagram transport", 0);
    }
    if (type == win::SOCK_DGRAM && endsIn255(peer->ipAddress)) {
      int on = 1;
      if (api().setsockopt(s, win::SOL_SOCKET, win::SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        failClosing(s, peer, "setsockopt (...,SO_BROADCAST,...) failed");
    }
  }
  if (type == win::SOCK_STREAM &&
      api().connect(s, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
    failClosing(s, peer, "connect() failed");
  vstr* location = peer->location ? vstrClone(peer->location) : nullptr;
  bool ok = vexTry([&] { setUp(s, c, bound, &target, location); });
  if (location) vstrDestroy(location);
  if (!ok) {
    if (c->priv) {
      ds()->driver.close(c);
    } else {
      api().closesocket(s);
    }
    addressFailure(peer, "socket set-up failed", 0);
  }
}

void opClose(vcommChannel* c) {
  DriverState* s = ds();
  if (!s || !s->window || !c->priv) vexGenerateMessage(&vexArgClass, "not a socket channel");
  SocketRecord* r = recordOf(c);
  api().WSAAsyncSelect(r->s, s->window, 0, 0);
  api().closesocket(r->s);
  if (channelOf(r->s) == c) vdictRemove(s->sockets, keyOf(r->s));
  freeQueue(r);
  vmemFree(r->surplus);
  vmemFree(r);
  c->priv = nullptr;
}

long opAvailable(vcommChannel* c) {
  unsigned long count = 0;
  if (!c->priv || !readableCount(recordOf(c), &count))
    channelFailure(&vexCommunicationChannelReadClass, c, "ioctl() failed");
  SocketRecord* r = recordOf(c);
  return static_cast<long>(count + (r->surplusLength - r->surplusPos));
}

long opPendingOutput(vcommChannel* c) { return c->priv ? static_cast<long>(recordOf(c)->queued) : 0; }

long opRead(vcommChannel* c, void* buffer, std::size_t length) {
  if (c->receiveCount > 0) {
    vcommPostReceive(c, buffer, length);
    return 0;
  }
  SocketRecord* r = recordOf(c);
  long n = readNow(c, static_cast<char*>(buffer), length);
  if (r->type == win::SOCK_STREAM && static_cast<std::size_t>(n) < length)
    vcommPostReceive(c, static_cast<char*>(buffer) + n, length - static_cast<std::size_t>(n));
  return n;
}

// A write outside the write notice may empty the queue of a peer that
// ended its sending: the close it waited for then comes from a notice.
struct CloseWhenSentCheck {
  vcommChannel* c;
  ~CloseWhenSentCheck() {
    SocketRecord* r = c->priv ? recordOf(c) : nullptr;
    if (r && r->closeWhenSent && !r->queued) vexTry([r] { postDeferred(r->s, win::FD_WRITE); });
  }
};

long opWrite(vcommChannel* c, const void* buffer, std::size_t length) {
  SocketRecord* r = recordOf(c);
  CloseWhenSentCheck check{c};
  const char* bytes = static_cast<const char*>(buffer);
  if (r->type == win::SOCK_DGRAM) {
    resolve(&c->peer, win::INVALID_SOCKET);
    r->peer = inetAddress(c->peer.portNumber, c->peer.ipAddress);
    if (endsIn255(c->peer.ipAddress)) setOption(r->s, win::SO_BROADCAST, 1);
    if (sendSome(r, bytes, length) < 0) sendFailure(c, r);
    return static_cast<long>(length);
  }
  if (r->queued) {
    flush(c);
    if (!c->priv) return 0;
    if (r->queued) {
      queueBlock(r, bytes, length);
      return 0;
    }
  }
  std::size_t sent = 0;
  while (sent < length) {
    int n = sendSome(r, bytes + sent, length - sent);
    if (n < 0) {
      if (transient(api().WSAGetLastError())) break;
      sendFailure(c, r);
    }
    sent += static_cast<std::size_t>(n);
  }
  queueBlock(r, bytes + sent, length - sent);
  return static_cast<long>(sent);
}

void opFlush(vcommChannel* c) {
  CloseWhenSentCheck check{c};
  flush(c);
}

int opWait(vcommChannel*, long nanoseconds, long seconds) {
  DriverState* s = ds();
  constexpr win::UINT_PTR kTimer = 1;
  long ms = nanoseconds / 1000000 + seconds * 1000;
  if (!win::SetTimer(s->window, kTimer, static_cast<win::UINT>(std::max(ms, 0L)), nullptr))
    vexGenerateMessage(&vexModuleLimitClass, "no timer left");
  int result = -1;
  while (result < 0) {
    // A quit signal wakes the wait but posts no WM_QUIT: it ends the wait all the same.
    if (veventQuitPending()) {
      result = 0;
      break;
    }
    win::MSG m;
    if (!win::PeekMessageA(&m, s->window, 0, 0, win::PM_REMOVE)) {
      win::WaitMessage();
      continue;
    }
    if (m.message == win::WM_QUIT) {
      win::PostQuitMessage(static_cast<int>(m.wParam));  // a quit ends the wait; the loop outside acts on it
      result = 0;
    } else if (m.message == win::WM_TIMER && m.wParam == kTimer) {
      result = 0;
    } else {
      win::DispatchMessageA(&m);
      result = 1;
    }
  }
  win::KillTimer(s->window, kTimer);
  return result;
}

int bufferOption(int option) {
  return option == vcommOPTION_RECEIVE_BUFFER ? win::SO_RCVBUF : option == vcommOPTION_SEND_BUFFER ? win::SO_SNDBUF : 0;
}

int opGetOption(vcommChannel* c, int option, long* value) {
  if (option == 0) return 1;
  int name = bufferOption(option);
  if (!name || !c->priv) return 0;
  int v = 0, length = sizeof v;
  if (api().getsockopt(recordOf(c)->s, win::SOL_SOCKET, name, reinterpret_cast<char*>(&v), &length) != 0)
    _vexGenerate(&vexArgClass, vexSetMessage, "getsockopt() failed", vexEnd);
  if (value) *value = v;
  return 1;
}

int opSetOption(vcommChannel* c, int option, long value) {
  int name = bufferOption(option);
  if (!name || !c->priv) return 0;
  int v = static_cast<int>(value);
  return api().setsockopt(recordOf(c)->s, win::SOL_SOCKET, name, reinterpret_cast<const char*>(&v), sizeof v) == 0;
}

void driverExit() {
  DriverState* s = ds();
  if (s->window) {
    api().WSACleanup();
    win::DestroyWindow(s->window);
    win::UnregisterClassA(s->className, win::GetModuleHandleA(nullptr));
    s->window = nullptr;
  }
  vmemFree(s->scratch);
  vmemFree(s->datagram);
  s->scratch = s->datagram = nullptr;
  if (s->sockets) vdictDestroy(s->sockets);
  s->sockets = nullptr;
}

// The library is loaded with the open-file error box suppressed; a load
// result below 32 is a failure.
bool loadApi(Api* a) {
  win::UINT previous = win::SetErrorMode(win::SEM_NOOPENFILEERRORBOX);
  win::HMODULE library = win::LoadLibraryA("wsock32.dll");
  win::SetErrorMode(previous);
  if (reinterpret_cast<std::uintptr_t>(library) < 32) return false;
  bool all = true;
#define API_FETCH(member, text)                                                                              \
  a->member = reinterpret_cast<decltype(a->member)>(reinterpret_cast<void (*)()>(win::GetProcAddress(library, text))); \
  all = all && a->member;
  WINSOCK_FUNCTIONS(API_FETCH)
#undef API_FETCH
  return all;
}

}  // namespace

void vcommSocketDriverStartup() {
  if (*vmoduleSlot(driverSlot)) return;
  auto* s = static_cast<DriverState*>(vmoduleBindSlot(driverSlot, sizeof(DriverState)));
  *s = DriverState{};
  s->tcp = vnameInternLiteral("tcp");
  s->udp = vnameInternLiteral("udp");
  s->unixName = vnameInternLiteral("unix");
  s->socketName = vnameInternLiteral("socket");
  s->loaded = loadApi(&s->api);
  if (!s->loaded) return;
  s->sockets = vdictCreate(vdictHashPointer);
  s->driver = vcommDriver{s->socketName, opListen, opConnect, opClose, opAvailable, opPendingOutput, opRead,
                          opWrite, opFlush, opWait, opGetOption, opSetOption};
  vcommRegisterDriver(s->tcp, &s->driver);
  vcommRegisterDriver(s->udp, &s->driver);
  vmoduleAddContextExitProc(driverExit);
}

vname vcommSocketDriverGetTransport() {
  vcommSocketDriverStartup();
  return ds()->tcp;
}

vcommDriver* vcommSocketDriverGet() {
  vcommSocketDriverStartup();
  return ds()->loaded ? &ds()->driver : nullptr;
}

long vcommSocketDriverGetHandle(vcommChannel* channel) {
  return channel && channel->priv ? static_cast<long>(recordOf(channel)->s) : -1;
}
