#include "platform/net/winsock.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>
#include <string>
#include <vector>

#include "platform/net/posix_socket.h"

namespace {

using namespace win;

constexpr UINT kMessage = 1024;

struct Notice {
  SOCKET s;
  long event;
  int error;
  bool operator==(const Notice&) const = default;
};

// The notices posted so far (to no window, as message 1024).
std::vector<Notice> notices() {
  std::vector<Notice> out;
  MSG m;
  while (PeekMessageA(&m, nullptr, kMessage, kMessage, PM_REMOVE))
    out.push_back({m.wParam, static_cast<long>(m.lParam & 0xFFFF), static_cast<int>(m.lParam >> 16)});
  return out;
}

sockaddr_in loopback(u_short port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = port;
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  return a;
}

struct Pair {
  SOCKET listener, client, server;
};

Pair connectedPair() {
  Pair p{};
  p.listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(0);
  EXPECT_EQ(bind(p.listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  int length = sizeof a;
  EXPECT_EQ(getsockname(p.listener, reinterpret_cast<sockaddr*>(&a), &length), 0);
  EXPECT_EQ(listen(p.listener, 4), 0);
  p.client = socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_EQ(connect(p.client, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  p.server = accept(p.listener, nullptr, nullptr);
  EXPECT_NE(p.server, INVALID_SOCKET);
  return p;
}

struct Winsock : ::testing::Test {
  WSADATA data{};
  void SetUp() override {
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
    notices();
  }
  void TearDown() override { WSACleanup(); }
};

TEST(WinsockTable, TheFortyFourNamesAndNoOthers) {
  const char* names[] = {
      "accept", "bind", "closesocket", "connect", "ioctlsocket", "getpeername", "getsockname", "getsockopt",
      "htons", "inet_addr", "inet_ntoa", "listen", "ntohs", "recv", "recvfrom", "select", "send", "sendto",
      "setsockopt", "shutdown", "socket", "gethostbyaddr", "gethostbyname", "gethostname", "getservbyport",
      "getservbyname", "getprotobynumber", "getprotobyname", "WSAStartup", "WSACleanup", "WSASetLastError",
      "WSAGetLastError", "WSAIsBlocking", "WSAUnhookBlockingHook", "WSACancelBlockingCall",
      "WSAAsyncGetServByName", "WSAAsyncGetServByPort", "WSAAsyncGetProtoByName", "WSAAsyncGetProtoByNumber",
      "WSAAsyncGetHostByName", "WSAAsyncGetHostByAddr", "WSACancelAsyncRequest", "WSAAsyncSelect",
      "__WSAFDIsSet"};
  EXPECT_EQ(std::size(names), 44u);
  for (const char* n : names) EXPECT_NE(WinsockProcAddress(n), nullptr) << n;
  for (const char* n : {"WSAFDIsSet", "WSAIoctl", "Accept", "", "gethostbyname2"})
    EXPECT_EQ(WinsockProcAddress(n), nullptr) << n;
  EXPECT_EQ(WinsockProcAddress(nullptr), nullptr);
  // Through the pseudo module, as the driver fetches them.
  HMODULE library = LoadLibraryA("WSOCK32.DLL");
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(GetProcAddress(library, "WSAAsyncSelect"), WinsockProcAddress("WSAAsyncSelect"));
  EXPECT_EQ(GetProcAddress(library, "WSAEventSelect"), nullptr);
  auto fetched = reinterpret_cast<u_short (*)(u_short)>(reinterpret_cast<void (*)()>(WinsockProcAddress("htons")));
  EXPECT_EQ(fetched(0x1234), htons(0x1234));
}

TEST(WinsockStartup, VersionNegotiation) {
  struct Case {
    WORD asked;
    int result;
    WORD version;
  };
  const Case cases[] = {
      {0x0101, 0, 0x0101}, {0x0001, 0, 0x0001}, {0x0202, 0, 0x0101}, {0x0000, WSAVERNOTSUPPORTED, 0},
  };
  for (const auto& c : cases) {
    WSADATA d{};
    EXPECT_EQ(WSAStartup(c.asked, &d), c.result) << c.asked;
    if (c.result) continue;
    EXPECT_EQ(d.wVersion, c.version);
    EXPECT_EQ(d.wHighVersion, 0x0101);
    EXPECT_NE(std::strncmp(d.szDescription, "Microsoft Windows Sockets", 25), 0);
    EXPECT_EQ(WSACleanup(), 0);
  }
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  WinsockSetStartupFailure(1);
  WSADATA d{};
  EXPECT_EQ(WSAStartup(0x0101, &d), WSASYSNOTREADY);
  WinsockSetStartupFailure(0);
  EXPECT_EQ(WSAIsBlocking(), 0);
}

TEST_F(Winsock, ErrorsMapToWindowsSocketsCodes) {
  Pair p = connectedPair();
  win::u_long on = 1;
  EXPECT_EQ(ioctlsocket(p.server, FIONBIO, &on), 0);
  char buf[8];
  EXPECT_EQ(recv(p.server, buf, sizeof buf, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  EXPECT_EQ(ioctlsocket(p.server, 0x1234, &on), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
  int v = 1;
  EXPECT_EQ(setsockopt(p.server, 6, 1, reinterpret_cast<char*>(&v), sizeof v), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), 10042);
  // A port nobody listens on: refused.
  sockaddr_in a{};
  int length = sizeof a;
  getsockname(p.listener, reinterpret_cast<sockaddr*>(&a), &length);
  closesocket(p.listener);
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
  EXPECT_EQ(recv(s, buf, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
  closesocket(s);
  EXPECT_EQ(WSAAsyncSelect(static_cast<SOCKET>(0x7FFF0000), nullptr, kMessage, FD_READ), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  for (auto [sys, wsa] : {std::pair{EINTR, 10004}, {EAGAIN, 10035}, {EINPROGRESS, 10036}, {EADDRINUSE, 10048},
                          {ECONNRESET, 10054}, {ETIMEDOUT, 10060}, {EHOSTUNREACH, 10065}})
    EXPECT_EQ(posix::errorOf(sys), wsa) << sys;
  WSASetLastError(4242);
  EXPECT_EQ(WSAGetLastError(), 4242);
  closesocket(p.client);
  closesocket(p.server);
}

// Windows Sockets re-arming: each notice once, again only after the call
// that re-enables it.
TEST_F(Winsock, NotificationsReArm) {
  Pair p = connectedPair();
  ASSERT_EQ(WSAAsyncSelect(p.server, nullptr, kMessage, FD_READ | FD_WRITE | FD_CLOSE), 0);
  WinsockPollNotifications();
  EXPECT_EQ(notices(), (std::vector<Notice>{{p.server, FD_WRITE, 0}}));  // writable at once
  EXPECT_EQ(send(p.client, "0123456789", 10, 0), 10);
  WinsockPollNotifications();
  EXPECT_EQ(notices(), (std::vector<Notice>{{p.server, FD_READ, 0}}));
  EXPECT_EQ(send(p.client, "more", 4, 0), 4);
  WinsockPollNotifications();
  EXPECT_TRUE(notices().empty());  // not before a recv
  char buf[32];
  EXPECT_EQ(recv(p.server, buf, 1, MSG_PEEK), 1);
  WinsockPollNotifications();
  EXPECT_TRUE(notices().empty());  // a peek that finds data re-arms nothing
  EXPECT_EQ(recv(p.server, buf, 5, 0), 5);
  WinsockPollNotifications();
  EXPECT_EQ(notices(), (std::vector<Notice>{{p.server, FD_READ, 0}}));  // data remains
  EXPECT_EQ(recv(p.server, buf, sizeof buf, 0), 9);
  WinsockPollNotifications();
  EXPECT_TRUE(notices().empty());
  // The end of the stream: FD_CLOSE once.
  closesocket(p.client);
  WinsockPollNotifications();
  EXPECT_EQ(notices(), (std::vector<Notice>{{p.server, FD_CLOSE, 0}}));
  EXPECT_EQ(recv(p.server, buf, sizeof buf, 0), 0);
  WinsockPollNotifications();
  EXPECT_TRUE(notices().empty());

  // A reset end: FD_CLOSE with the error in the high word.
  Pair q = connectedPair();
  ASSERT_EQ(WSAAsyncSelect(q.server, nullptr, kMessage, FD_READ | FD_CLOSE), 0);
  linger abortive{1, 0};
  setsockopt(q.client, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&abortive), sizeof abortive);
  closesocket(q.client);
  WinsockPollNotifications();
  EXPECT_EQ(notices(), (std::vector<Notice>{{q.server, FD_CLOSE, WSAECONNRESET}}));
  closesocket(q.server);
  closesocket(q.listener);

  // FD_ACCEPT again after accept.
  ASSERT_EQ(WSAAsyncSelect(p.listener, nullptr, kMessage, FD_ACCEPT), 0);
  sockaddr_in a{};
  int length = sizeof a;
  getsockname(p.listener, reinterpret_cast<sockaddr*>(&a), &length);
  SOCKET c1 = socket(AF_INET, SOCK_STREAM, 0), c2 = socket(AF_INET, SOCK_STREAM, 0);
  connect(c1, reinterpret_cast<sockaddr*>(&a), sizeof a);
  connect(c2, reinterpret_cast<sockaddr*>(&a), sizeof a);
  WinsockPollNotifications();
  WinsockPollNotifications();
  EXPECT_EQ(notices(), (std::vector<Notice>{{p.listener, FD_ACCEPT, 0}}));
  sockaddr_in peer{};
  length = sizeof peer;
  SOCKET s1 = accept(p.listener, reinterpret_cast<sockaddr*>(&peer), &length);
  EXPECT_EQ(peer.sin_addr.s_addr, inet_addr("127.0.0.1"));
  WinsockPollNotifications();
  EXPECT_EQ(notices(), (std::vector<Notice>{{p.listener, FD_ACCEPT, 0}}));
  SOCKET s2 = accept(p.listener, nullptr, nullptr);
  WinsockPollNotifications();
  EXPECT_TRUE(notices().empty());

  // A notice dispatched to a procedure that skips the accept listens
  // again: the pending connection is told once more, and no more until an
  // accept, so such a procedure does not spin the loop.
  WNDCLASSA wc{};
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    return m == kMessage ? 0 : DefWindowProcA(h, m, w, l);
  };
  wc.lpszClassName = "skipsAccepts";
  RegisterClassA(&wc);
  HWND skipper = CreateWindowExA(0, "skipsAccepts", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_EQ(WSAAsyncSelect(p.listener, skipper, kMessage, FD_ACCEPT), 0);
  auto pumpSkipper = [&] {
    int told = 0;
    for (int round = 0; round < 4; ++round) {
      WinsockPollNotifications();
      MSG m;
      while (told < 10 && PeekMessageA(&m, skipper, kMessage, kMessage, PM_REMOVE)) {
        ++told;
        DispatchMessageA(&m);
      }
    }
    return told;
  };
  SOCKET c3 = socket(AF_INET, SOCK_STREAM, 0);
  connect(c3, reinterpret_cast<sockaddr*>(&a), sizeof a);
  EXPECT_EQ(pumpSkipper(), 2);
  SOCKET s3 = accept(p.listener, nullptr, nullptr);
  EXPECT_NE(s3, INVALID_SOCKET);
  SOCKET c4 = socket(AF_INET, SOCK_STREAM, 0);
  connect(c4, reinterpret_cast<sockaddr*>(&a), sizeof a);
  EXPECT_EQ(pumpSkipper(), 2);  // an accept lets a skip be told again
  DestroyWindow(skipper);
  for (SOCKET s : {c1, c2, s1, s2, c3, s3, c4, p.server, p.listener}) closesocket(s);
}

// A reader holding input back, with its own output stuck behind a peer that
// reads nothing (a busy peer held back): the peer's stopping to send is not
// its going, but its close or reset is told at once, once, and nothing
// more comes of that socket.
TEST_F(Winsock, AHeldBackReaderLearnsAtOnceThatItsPeerHasGone) {
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "closed");
    Pair p = connectedPair();
    ASSERT_EQ(WSAAsyncSelect(p.server, nullptr, kMessage, FD_READ | FD_WRITE | FD_CLOSE), 0);
    WinsockPollNotifications();
    EXPECT_EQ(notices(), (std::vector<Notice>{{p.server, FD_WRITE, 0}}));
    ASSERT_EQ(send(p.client, "calls", 5, 0), 5);
    WinsockPollNotifications();
    EXPECT_EQ(notices(), (std::vector<Notice>{{p.server, FD_READ, 0}}));
    std::vector<char> reply(65536, 'r');
    long queued = 0;
    for (int n; (n = send(p.server, reply.data(), static_cast<int>(reply.size()), 0)) > 0;) queued += n;
    ASSERT_GT(queued, 0);
    ASSERT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    ASSERT_EQ(shutdown(p.client, 1), 0);
    for (int round = 0; round < 3; ++round) WinsockPollNotifications();
    EXPECT_TRUE(notices().empty()) << "a peer that only stopped sending taken for gone";
    if (reset) {
      linger abortive{1, 0};
      setsockopt(p.client, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&abortive), sizeof abortive);
    }
    closesocket(p.client);  // with our output unread: a reset either way
    WinsockPollNotifications();
    std::vector<Notice> told = notices();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].event, FD_CLOSE);
    EXPECT_NE(told[0].error, 0);
    for (int round = 0; round < 3; ++round) WinsockPollNotifications();
    EXPECT_TRUE(notices().empty());
    closesocket(p.server);
    closesocket(p.listener);
  }
}

// A socket of the event loop's (non-blocking) closed with replies its peer
// has not read, under the services' 30 s linger, neither holds its caller
// nor loses them: the peer still reads every byte, then the end.
TEST_F(Winsock, ALingeringCloseNeverHoldsTheCaller) {
  Pair p = connectedPair();
  ASSERT_EQ(WSAAsyncSelect(p.server, nullptr, kMessage, FD_READ | FD_WRITE | FD_CLOSE), 0);
  linger thirty{1, 30};
  ASSERT_EQ(setsockopt(p.server, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&thirty), sizeof thirty), 0);
  std::vector<char> reply(65536, 'r');
  long queued = 0;
  for (int n; (n = send(p.server, reply.data(), static_cast<int>(reply.size()), 0)) > 0;) queued += n;
  ASSERT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  auto closing = std::async(std::launch::async, [&] { return closesocket(p.server); });
  // Far inside the linger: a close that waits for the peer is still waiting.
  ASSERT_EQ(closing.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(closing.get(), 0);
  long got = 0;
  for (int n; (n = recv(p.client, reply.data(), static_cast<int>(reply.size()), 0)) != 0;) {
    if (n > 0) got += n;
    else if (WSAGetLastError() != WSAEWOULDBLOCK) break;
    else std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(got, queued);
  closesocket(p.client);
  closesocket(p.listener);
}

// A socket closed with its end still to be told gives its number to the
// next one accepted: the old notice is not left to close the new one.
TEST_F(Winsock, ANoticeOfAClosedSocketNeverReachesTheNextWithItsNumber) {
  Pair p = connectedPair();
  ASSERT_EQ(WSAAsyncSelect(p.server, nullptr, kMessage, FD_READ | FD_CLOSE), 0);
  closesocket(p.client);
  WinsockPollNotifications();
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, kMessage, kMessage, PM_NOREMOVE));
  EXPECT_EQ(m.wParam, p.server);
  EXPECT_EQ(m.lParam & 0xFFFF, FD_CLOSE);
  // Closed on another ground (a protocol error) before its notice came.
  ASSERT_EQ(WSAAsyncSelect(p.server, nullptr, 0, 0), 0);
  closesocket(p.server);
  sockaddr_in a{};
  int length = sizeof a;
  getsockname(p.listener, reinterpret_cast<sockaddr*>(&a), &length);
  SOCKET next = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(connect(next, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  SOCKET reused = accept(p.listener, nullptr, nullptr);
  ASSERT_EQ(reused, p.server) << "the system gave another number: the case does not arise";
  ASSERT_EQ(WSAAsyncSelect(reused, nullptr, kMessage, FD_READ | FD_CLOSE), 0);
  WinsockPollNotifications();
  EXPECT_TRUE(notices().empty());
  send(next, "x", 1, 0);
  WinsockPollNotifications();
  EXPECT_EQ(notices(), (std::vector<Notice>{{reused, FD_READ, 0}}));
  for (SOCKET s : {next, reused, p.listener}) closesocket(s);
}

TEST_F(Winsock, AddressTextsAndByteOrder) {
  struct Case {
    const char* text;
    std::uint32_t hostOrder;  // 0: INADDR_NONE
  };
  const Case cases[] = {
      {"127.0.0.1", 0x7F000001}, {"10.1.2.3", 0x0A010203}, {"1.2.3", 0x01020003}, {"0x7f.1", 0x7F000001},
      {"010.0.0.1", 0x08000001}, {"256.1.1.1", 0}, {"1.2.3.4.5", 0}, {"", 0}, {"1..2", 0}, {"a.b.c.d", 0},
  };
  for (const auto& c : cases) {
    win::u_long a = inet_addr(c.text);
    unsigned char b[4];
    std::memcpy(b, &a, 4);
    std::uint32_t host = static_cast<std::uint32_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
    EXPECT_EQ(host, c.hostOrder ? c.hostOrder : 0xFFFFFFFFu) << c.text;
  }
  in_addr in{inet_addr("192.168.7.9")};
  EXPECT_STREQ(inet_ntoa(in), "192.168.7.9");
  u_short n = htons(0x0102);
  unsigned char b[2];
  std::memcpy(b, &n, 2);
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(b[1], 2);
  EXPECT_EQ(ntohs(n), 0x0102);
  hostent* h = gethostbyname("127.0.0.1");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(*reinterpret_cast<win::u_long*>(h->h_addr_list[0]), inet_addr("127.0.0.1"));
  EXPECT_EQ(h->h_addr_list[1], nullptr);
  char name[256];
  EXPECT_EQ(gethostname(name, sizeof name), 0);
  EXPECT_GT(std::strlen(name), 0u);
  EXPECT_EQ(WSAAsyncGetHostByName(nullptr, kMessage, "x", name, 4), nullptr);
  EXPECT_EQ(WSAGetLastError(), WSAEOPNOTSUPP);
}

TEST_F(Winsock, OptionsAndSelect) {
  Pair p = connectedPair();
  linger l{1, 30};
  EXPECT_EQ(setsockopt(p.server, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&l), sizeof l), 0);
  linger back{};
  int length = sizeof back;
  EXPECT_EQ(getsockopt(p.server, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&back), &length), 0);
  EXPECT_EQ(back.l_onoff, 1);
  EXPECT_EQ(back.l_linger, 30);
  int type = 0;
  length = sizeof type;
  EXPECT_EQ(getsockopt(p.server, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length), 0);
  EXPECT_EQ(type, SOCK_STREAM);
  win::fd_set readers{};
  readers.fd_count = 2;
  readers.fd_array[0] = p.server;
  readers.fd_array[1] = p.client;
  win::timeval zero{0, 0};
  EXPECT_EQ(select(0, &readers, nullptr, nullptr, &zero), 0);
  send(p.client, "x", 1, 0);
  readers.fd_count = 2;
  readers.fd_array[0] = p.server;
  readers.fd_array[1] = p.client;
  EXPECT_EQ(select(0, &readers, nullptr, nullptr, &zero), 1);
  EXPECT_TRUE(WSAFDIsSet(p.server, &readers));
  EXPECT_FALSE(WSAFDIsSet(p.client, &readers));
  win::u_long count = 0;
  EXPECT_EQ(ioctlsocket(p.server, FIONREAD, &count), 0);
  EXPECT_EQ(count, 1u);
  for (SOCKET s : {p.client, p.server, p.listener}) closesocket(s);
}

}  // namespace
