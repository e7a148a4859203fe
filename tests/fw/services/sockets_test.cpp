#include "fw/services/sockdrvr.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <thread>
#include <string>
#include <vector>

#include "fw/services/vcomm.h"
#include "raw_socket.h"
#include "services_support.h"

namespace {

// Events per channel, in order.
std::map<vcommChannel*, std::vector<int>> seen;
std::vector<vcommChannel*> accepted;
void record(vcommChannel* c, int event) {
  seen[c].push_back(event);
  if (event == vcommEVENT_OPENED && c->client == &accepted) accepted.push_back(c);
}

int openDescriptors() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

struct Sockets : ServicesTest {
  void SetUp() override {
    ServicesTest::SetUp();
    seen.clear();
    accepted.clear();
  }
  static void address(vcommAddress* a, const char* transport, const char* location, const char* port) {
    vcommAddressInit(a);
    vcommAddressSetTransport(a, vnameInternLiteral(transport));
    if (location) vcommAddressSetLocation(a, vscribeCString(location));
    if (port) vcommAddressSetPort(a, vscribeCString(port));
  }
  vcommChannel* listenOn(const char* transport) {
    vcommAddress a;
    address(&a, transport, "127.0.0.1", "0");
    vcommChannel* l = vcommListen(&a, record);
    l->client = &accepted;
    vcommAddressClear(&a);
    return l;
  }
  vcommChannel* connectTo(const char* transport, vcommChannel* listener) {
    vcommChannel* c = vcommChannelCreate();
    c->notify = record;
    vcommAddressSetTransport(&c->peer, vnameInternLiteral(transport));
    vcommAddressSetLocation(&c->peer, vscribeLiteral("127.0.0.1"));
    vcommAddressSetPort(&c->peer, vscribeCString(listener->local.port));
    vcommConnect(c);
    return c;
  }
  static bool has(vcommChannel* c, int event) {
    for (int e : seen[c])
      if (e == event) return true;
    return false;
  }
};

// Events 0-5 on one tcp pair, in the order the Parts give them.
TEST_F(Sockets, TcpPairEventsInOrder) {
  vcommChannel* listener = listenOn("tcp");
  EXPECT_STRNE(listener->local.port, "0");
  EXPECT_TRUE(listener->local.flags & vcommAddressVALID);
  vcommChannel* client = connectTo("tcp", listener);
  EXPECT_STREQ(client->peer.location, "127.0.0.1");
  ASSERT_TRUE(pumpUntil([] { return !accepted.empty(); }));
  vcommChannel* server = accepted[0];
  EXPECT_EQ(server->client, &accepted);
  EXPECT_STREQ(server->local.transport, "tcp");

  // Data with no buffer posted: event 2; a read then takes it at once.
  EXPECT_EQ(vcommWrite(client, "abc", 3), 3);
  ASSERT_TRUE(pumpUntil([&] { return has(server, vcommEVENT_DATA); }));
  char buf[8] = {};
  EXPECT_EQ(vcommAvailable(server), 3);
  EXPECT_EQ(vcommRead(server, buf, 3), 3);
  EXPECT_EQ(std::string(buf, 3), "abc");

  // Nothing waiting: 0 now, the buffer posted, event 4 when filled.
  EXPECT_EQ(vcommRead(server, buf, 4), 0);
  EXPECT_EQ(server->receiveCount, 1);
  EXPECT_EQ(vcommWrite(client, "wx", 2), 2);
  EXPECT_EQ(vcommWrite(client, "yz", 2), 2);
  ASSERT_TRUE(pumpUntil([&] { return has(server, vcommEVENT_FILLED); }));
  EXPECT_EQ(std::string(buf, 4), "wxyz");

  // Output that would block: sent in part, the rest queued, one event 5
  // per queued block and event 3 when the queue is empty.
  long small = 4096;
  EXPECT_EQ(client->driver->setOption(client, vcommOPTION_SEND_BUFFER, small), 1);
  // A small receive window would stall on delayed acknowledgements.
  EXPECT_EQ(server->driver->setOption(server, vcommOPTION_RECEIVE_BUFFER, 32 * 1024), 1);
  long got = 0;
  EXPECT_EQ(client->driver->getOption(client, vcommOPTION_SEND_BUFFER, &got), 1);
  EXPECT_GT(got, 0);
  EXPECT_EQ(client->driver->getOption(client, 7, &got), 0);
  const std::size_t total = 768 * 1024;
  std::string out(total, 0);
  for (std::size_t i = 0; i < total; ++i) out[i] = static_cast<char>(i * 7 + i / 251);
  std::size_t third = total / 3;
  long sent = vcommWrite(client, out.data(), third);
  EXPECT_LT(sent, static_cast<long>(third));
  EXPECT_EQ(vcommWrite(client, out.data() + third, third), 0);  // queued behind
  EXPECT_EQ(vcommWrite(client, out.data() + 2 * third, total - 2 * third), 0);
  // Each write sends what of the queue the system takes by then (as much
  // as the peer's side has read meanwhile): the queue holds the rest.
  const long pending = client->driver->pendingOutput(client);
  EXPECT_GT(pending, 0);
  EXPECT_LE(pending, static_cast<long>(total) - sent);
  pumpUntil([] { return false; }, 50);  // the peer reads late
  EXPECT_FALSE(has(client, vcommEVENT_SENT));
  std::string in(total, 0);
  EXPECT_GE(vcommRead(server, in.data(), total), 0);
  ASSERT_TRUE(pumpUntil([&] { return has(server, vcommEVENT_FILLED) && seen[server].back() == vcommEVENT_FILLED &&
                                     has(client, vcommEVENT_SENT); }, 10000))
      << ::testing::PrintToString(seen[client]) << " / " << ::testing::PrintToString(seen[server]) << " pending "
      << client->driver->pendingOutput(client) << " wanted " << server->receiveWanted;
  EXPECT_TRUE(in == out);
  std::vector<int> clientEvents = seen[client];
  EXPECT_EQ(clientEvents.front(), vcommEVENT_OPENED);
  EXPECT_EQ(clientEvents.back(), vcommEVENT_SENT);
  EXPECT_EQ(std::count(clientEvents.begin(), clientEvents.end(), vcommEVENT_BLOCK_SENT), 3);
  EXPECT_EQ(client->driver->pendingOutput(client), 0);

  // Close: event 1 here, and at the peer when the end arrives.
  vcommClose(client);
  EXPECT_EQ(seen[client].back(), vcommEVENT_CLOSED);
  ASSERT_TRUE(pumpUntil([&] { return has(server, vcommEVENT_CLOSED); }));
  EXPECT_FALSE(server->flags & vcommChannelOPEN);
  EXPECT_EQ(seen[server].front(), vcommEVENT_OPENED);
  vcommChannelDestroy(client);
  vcommChannelDestroy(server);
  vcommChannelDestroy(listener);
}

// A peer's end while output still waits in the queue: one that only ended
// its sending reads all of it and then meets the end; one that is gone,
// however it went, is closed without waiting for room that never comes.
TEST_F(Sockets, APeersEndWithOutputQueued) {
  vcommChannel* listener = listenOn("tcp");
  const std::string port = listener->local.port;
  const long total = 2 << 20;
  std::string out(static_cast<std::size_t>(total), 'q');
  enum How { kEndsSending, kClosesUnread, kResets };
  for (How how : {kEndsSending, kClosesUnread, kResets}) {
    SCOPED_TRACE(how == kEndsSending ? "ends its sending" : how == kClosesUnread ? "closes unread" : "resets");
    int before = openDescriptors();
    accepted.clear();
    int fd = rawConnect(port, 64 * 1024);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(pumpUntil([] { return !accepted.empty(); }));
    vcommChannel* server = accepted[0];
    EXPECT_EQ(server->driver->setOption(server, vcommOPTION_SEND_BUFFER, 4096), 1);
    long sent = vcommWrite(server, out.data(), out.size());
    ASSERT_LT(sent, total);
    ASSERT_GT(server->driver->pendingOutput(server), 0);
    // The end is in the service's system before it looks again.
    if (how == kEndsSending) rawEndSending(fd);
    if (how == kClosesUnread) rawClose(fd);
    if (how == kResets) rawClose(fd, true);
    long read = -2;
    std::thread reader;
    if (how == kEndsSending) reader = std::thread([&] { read = rawReadAtLeast({fd}, total + 1, 60000)[0]; });
    EXPECT_TRUE(pumpUntil([&] { return has(server, vcommEVENT_CLOSED); }, 60000));
    if (reader.joinable()) reader.join();
    if (how == kEndsSending) {
      EXPECT_EQ(read, total) << "the queue was dropped at the peer's end";
      rawClose(fd);
    }
    EXPECT_FALSE(server->flags & vcommChannelOPEN);
    EXPECT_EQ(openDescriptors(), before);
    vcommChannelDestroy(server);
  }
  vcommChannelDestroy(listener);
}

TEST_F(Sockets, UdpPairExchangesDatagrams) {
  vcommChannel* listener = listenOn("udp");
  EXPECT_STREQ(listener->local.transport, "udp");
  vcommChannel* client = connectTo("udp", listener);
  EXPECT_EQ(vcommWrite(client, "ping", 4), 4);
  ASSERT_TRUE(pumpUntil([&] { return has(listener, vcommEVENT_DATA); }));
  char buf[16] = {};
  // A datagram longer than the read keeps its rest for the next one.
  EXPECT_EQ(vcommRead(listener, buf, 3), 3);
  EXPECT_EQ(vcommRead(listener, buf + 3, 10), 1);
  EXPECT_EQ(std::string(buf, 4), "ping");
  EXPECT_EQ(listener->peer.portNumber, client->local.portNumber);  // the sender
  EXPECT_EQ(vcommWrite(listener, "pong", 4), 4);
  ASSERT_TRUE(pumpUntil([&] { return has(client, vcommEVENT_DATA); }));
  EXPECT_EQ(vcommRead(client, buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "pong");
  vcommChannelDestroy(client);
  vcommChannelDestroy(listener);
}

TEST_F(Sockets, ConnectFailures) {
  // An empty tcp port fails before any socket is made. The channel layer
  // (and the DDE driver with its descriptors) starts first.
  vcommStartup();
  int before = openDescriptors();
  vcommChannel* c = vcommChannelCreate();
  address(&c->peer, "tcp", "127.0.0.1", "");
  Caught r = caught([&] { vcommConnect(c); });
  EXPECT_EQ(r.cls, &vexCommunicationAddressClass);
  EXPECT_EQ(r.message, "");
  EXPECT_EQ(openDescriptors(), before);
  int afterStart = before;

  struct Case {
    const char* transport;
    const char* location;
    const char* port;
    const char* message;
  };
  const Case cases[] = {
      {"tcp", "*", "9", "Cannot use a broadcast address as location for non-datagram transport"},
      {"tcp", "127.0.0.1", "no-such-service-here", "getservbyname() failed"},
      {"tcp", "127.0.0.1", "1", "connect() failed"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.message);
    address(&c->peer, k.transport, k.location, k.port);
    r = caught([&] { vcommConnect(c); });
    EXPECT_EQ(r.cls, &vexCommunicationAddressClass);
    EXPECT_EQ(r.message, k.message);
    EXPECT_EQ(openDescriptors(), afterStart);  // the socket was closed
    EXPECT_EQ(c->priv, nullptr);
    vcommAddressClear(&c->peer);
  }
  EXPECT_EQ(r.errnum, win::WSAECONNREFUSED);
  vcommChannelDestroy(c);
}

TEST_F(Sockets, UdpBroadcastAddresses) {
  // "*" resolves to all ones and turns broadcasting on; nothing is sent.
  vcommChannel* c = vcommChannelCreate();
  Sockets::address(&c->peer, "udp", "*", "9");
  vcommConnect(c);
  EXPECT_EQ(c->peer.ipAddress, 0xFFFFFFFFu);
  EXPECT_TRUE(c->peer.flags & vcommAddressVALID);
  int on = 0, length = sizeof on;
  win::SOCKET s = static_cast<win::SOCKET>(vcommSocketDriverGetHandle(c));
  EXPECT_EQ(win::getsockopt(s, win::SOL_SOCKET, win::SO_BROADCAST, reinterpret_cast<char*>(&on), &length), 0);
  EXPECT_NE(on, 0);
  vcommChannelDestroy(c);

  // The loopback network's broadcast address takes a write.
  vcommChannel* listener = listenOn("udp");
  vcommChannel* b = vcommChannelCreate();
  Sockets::address(&b->peer, "udp", "127.255.255.255", listener->local.port);
  vcommConnect(b);
  EXPECT_EQ(vcommWrite(b, "all", 3), 3);
  s = static_cast<win::SOCKET>(vcommSocketDriverGetHandle(b));
  EXPECT_EQ(win::getsockopt(s, win::SOL_SOCKET, win::SO_BROADCAST, reinterpret_cast<char*>(&on), &length), 0);
  EXPECT_NE(on, 0);
  vcommChannelDestroy(b);
  vcommChannelDestroy(listener);
}

// With "brokenSocketFionread" the readable count is at most what one
// 8192-byte peek sees.
TEST_F(Sockets, BrokenFionreadPeeksAtMost8192) {
  for (bool broken : {false, true}) {
    SCOPED_TRACE(broken ? "broken" : "plain");
    vmoduleDestroyContext(context);
    context = vmoduleCreateContext();
    seen.clear();
    accepted.clear();
    setPref("brokenSocketFionread", broken ? "1" : "");
    vcommChannel* listener = listenOn("tcp");
    vcommChannel* client = connectTo("tcp", listener);
    ASSERT_TRUE(pumpUntil([] { return !accepted.empty(); }));
    vcommChannel* server = accepted[0];
    std::string data(20000, 'q');
    EXPECT_EQ(vcommWrite(client, data.data(), data.size()), 20000);
    ASSERT_TRUE(pumpUntil([&] { return has(server, vcommEVENT_DATA); }));
    ASSERT_TRUE(pumpUntil([&] {
      win::u_long n = 0;
      win::ioctlsocket(static_cast<win::SOCKET>(vcommSocketDriverGetHandle(server)), win::FIONREAD, &n);
      return n == 20000;
    }));
    EXPECT_EQ(vcommAvailable(server), broken ? 8192 : 20000);
    vcommChannelDestroy(client);
    vcommChannelDestroy(server);
    vcommChannelDestroy(listener);
  }
}

TEST_F(Sockets, WaitTimesOutOrHandlesActivity) {
  vcommChannel* listener = listenOn("tcp");
  vcommChannel* client = connectTo("tcp", listener);
  ASSERT_TRUE(pumpUntil([] { return !accepted.empty(); }));
  EXPECT_EQ(vcommWait(client, 20000000, 0), 0);  // 20 ms of nothing
  EXPECT_EQ(vcommWrite(accepted[0], "x", 1), 1);
  EXPECT_EQ(vcommWait(client, 0, 2), 1);
  EXPECT_TRUE(has(client, vcommEVENT_DATA));
  vcommChannelDestroy(client);
  vcommChannelDestroy(accepted[0]);
  vcommChannelDestroy(listener);
}

// The framework's event loop carries the notifications: its wait sleeps
// in the platform's, which watches the sockets.
TEST_F(Sockets, EventLoopDeliversSocketEvents) {
  static char buf[6];
  static vcommChannel* client = nullptr;
  vcommChannel* listener = listenOn("tcp");
  // The server posts its buffer before the client writes.
  listener->notify = [](vcommChannel* c, int event) {
    record(c, event);
    if (event == vcommEVENT_OPENED) {
      EXPECT_EQ(vcommRead(c, buf, sizeof buf), 0);
      EXPECT_EQ(vcommWrite(client, "loop", 4), 4);
      EXPECT_EQ(vcommWrite(client, "ed", 2), 2);
    }
    // Stopped from a client event: the loop looks at a stop between its events.
    if (event == vcommEVENT_FILLED) veventPost(veventCreateClient([](vevent*) {
        veventStopProcessing();
        return 1;
      }, nullptr));
  };
  client = connectTo("tcp", listener);
  veventProcess();
  ASSERT_EQ(accepted.size(), 1u);
  EXPECT_EQ(std::string(buf, 6), "looped");
  EXPECT_EQ(seen[accepted[0]], (std::vector<int>{vcommEVENT_OPENED, vcommEVENT_FILLED}));
  vcommChannelDestroy(client);
  vcommChannelDestroy(accepted[0]);
  vcommChannelDestroy(listener);
}

}  // namespace
