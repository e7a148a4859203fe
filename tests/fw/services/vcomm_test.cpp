#include "fw/services/vcomm.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "services_support.h"

namespace {

// A driver that makes channels and keeps a trace; told to fail, it raises.
struct Fake {
  static inline std::vector<std::string> trace;
  static inline bool fail = false;
  static vcommChannel* listen(vcommAddress* a, vcommNotify) {
    trace.push_back(std::string("listen ") + a->transport);
    if (fail) _vexGenerate(&vexCommunicationAddressClass, vcommSetAddress, a, vexSetMessage, "fake failed", vexEnd);
    return vcommChannelCreate();
  }
  static void connect(vcommChannel* c) {
    trace.push_back(std::string("connect ") + c->peer.transport);
    if (fail) _vexGenerate(&vexCommunicationAddressClass, vcommSetAddress, &c->peer, vexEnd);
  }
  static void close(vcommChannel*) { trace.push_back("close"); }
  static long zero(vcommChannel*) { return 0; }
  static long read(vcommChannel*, void*, std::size_t n) { return static_cast<long>(n); }
  static long write(vcommChannel*, const void*, std::size_t n) { return static_cast<long>(n); }
  static void flush(vcommChannel*) {}
  static int wait(vcommChannel*, long, long) { return 0; }
  static int get(vcommChannel*, int, long*) { return 0; }
  static int set(vcommChannel*, int, long) { return 0; }
  static inline vcommDriver driver{nullptr, listen, connect, close, zero, zero, read, write, flush, wait, get, set};
};

std::vector<int> events;
void record(vcommChannel*, int event) { events.push_back(event); }

struct Channels : ServicesTest {
  vname fake = nullptr;
  void SetUp() override {
    ServicesTest::SetUp();
    Fake::trace.clear();
    Fake::fail = false;
    events.clear();
    fake = vnameInternLiteral("fake");
    vcommRegisterDriver(fake, &Fake::driver);
  }
  vcommChannel* connected(vcommNotify notify = record) {
    vcommChannel* c = vcommChannelCreate();
    vcommAddressSetTransport(&c->peer, fake);
    c->notify = notify;
    vcommConnect(c);
    return c;
  }
};

TEST_F(Channels, OpenCloseAndNotOpen) {
  vcommChannel* c = connected();
  EXPECT_TRUE(c->flags & vcommChannelOPEN);
  EXPECT_EQ(c->driver, &Fake::driver);
  vcommConnect(c);  // already open: nothing
  EXPECT_EQ(Fake::trace.size(), 1u);
  char buf[4];
  EXPECT_EQ(vcommRead(c, buf, 4), 4);
  vcommClose(c);
  EXPECT_EQ(events, (std::vector<int>{vcommEVENT_OPENED, vcommEVENT_CLOSED}));
  for (auto op : {+[](vcommChannel* x) { char b[2]; vcommRead(x, b, 2); },
                  +[](vcommChannel* x) { vcommWrite(x, "ab", 2); }, +[](vcommChannel* x) { vcommAvailable(x); },
                  +[](vcommChannel* x) { vcommWait(x, 0, 1); }}) {
    Caught r = caught([&] { op(c); });
    EXPECT_EQ(r.cls, &vexCommunicationChannelNotOpenClass);
  }
  vcommChannelDestroy(c);
  EXPECT_EQ(Fake::trace, (std::vector<std::string>{"connect fake", "close"}));

  // An exception from the opened callback reaches the caller.
  Caught r = caught([&] { connected([](vcommChannel*, int) { vexGenerateMessage(&vexArgClass, "client says no"); }); });
  EXPECT_EQ(r.cls, &vexArgClass);
  EXPECT_EQ(r.message, "client says no");
}

TEST_F(Channels, DeliverFillsOldestFirst) {
  vcommChannel* c = connected();
  events.clear();
  char a[4], b[4], d[4];
  vcommPostReceive(c, a, 4);
  vcommPostReceive(c, b, 4);
  vcommPostReceive(c, d, 4);
  EXPECT_EQ(c->receiveWanted, 12u);
  EXPECT_EQ(vcommDeliver(c, "0123456789", 10), 10u);
  EXPECT_EQ(std::string(a, 4), "0123");
  EXPECT_EQ(std::string(b, 4), "4567");
  EXPECT_EQ(std::string(d, 2), "89");
  EXPECT_EQ(events, (std::vector<int>{vcommEVENT_FILLED, vcommEVENT_FILLED}));
  EXPECT_EQ(c->receiveCount, 1);
  EXPECT_EQ(c->receiveWanted, 2u);
  // The rest stays with the driver; a raising callback is dropped.
  c->notify = [](vcommChannel*, int e) {
    events.push_back(e);
    vexGenerateMessage(&vexArgClass, "dropped");
  };
  EXPECT_EQ(vcommDeliver(c, "ABCDEF", 6), 2u);
  EXPECT_EQ(std::string(d, 4), "89AB");
  EXPECT_EQ(c->receiveCount, 0);
  EXPECT_EQ(events.size(), 3u);
  EXPECT_EQ(vcommDeliver(c, "xyz", 3), 0u);
  c->notify = nullptr;
  vcommChannelDestroy(c);
}

TEST_F(Channels, OpenVectorGrowsAndHalvesAboveEight) {
  vcommAddress address;
  vcommAddressInit(&address);
  vcommAddressSetTransport(&address, fake);
  std::vector<vcommChannel*> open;
  std::vector<int> capacities;
  for (int i = 0; i < 15; ++i) {
    open.push_back(vcommListen(&address, record));
    if (capacities.empty() || capacities.back() != vcommGetOpenCapacity()) capacities.push_back(vcommGetOpenCapacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{2, 6, 14, 30}));
  EXPECT_EQ(open[0]->notify, &record);  // the driver left it empty
  vcommClose(open.back());
  open.pop_back();
  EXPECT_EQ(vcommGetOpenCount(), 14);
  EXPECT_EQ(vcommGetOpenCapacity(), 15);  // 14 < 30 / 2
  while (open.size() > 7) {
    vcommClose(open.back());
    open.pop_back();
  }
  EXPECT_EQ(vcommGetOpenCount(), 7);
  EXPECT_EQ(vcommGetOpenCapacity(), 15);  // under half, but 8 or fewer remain
  for (vcommChannel* c : open) vcommChannelDestroy(c);
  EXPECT_EQ(vcommGetOpenCount(), 0);
  vcommAddressClear(&address);
}

TEST_F(Channels, AddressTextsClearTheValidFlag) {
  vcommAddress* a = vcommAddressCreate();
  a->flags = vcommAddressVALID;
  vcommAddressSetLocation(a, vscribeLiteral("127.0.0.1"));
  EXPECT_FALSE(a->flags & vcommAddressVALID);
  a->flags = vcommAddressVALID;
  vcommAddressSetPort(a, vscribeLiteral("80"));
  EXPECT_FALSE(a->flags & vcommAddressVALID);
  vcommAddress copy;
  vcommAddressInit(&copy);
  vcommAddressCopy(a, &copy);
  EXPECT_STREQ(copy.location, "127.0.0.1");
  EXPECT_NE(copy.location, a->location);
  vcommAddressSetPort(a, nullptr);
  EXPECT_EQ(a->port, nullptr);
  EXPECT_STREQ(copy.port, "80");
  vcommAddressFree(a);
  vcommAddressClear(&copy);

  Caught r = caught([] {
    vcommAddress x;
    vcommAddressInit(&x);
    vcommAddressSetTransport(&x, vnameInternLiteral("carrier-pigeon"));
    vcommListen(&x, nullptr);
  });
  EXPECT_EQ(r.cls, &vexCommunicationAddressUnknownTransportClass);
}

TEST_F(Channels, StartupRowStartsTheModuleWithTheSocketDriver) {
  vcommInstallStartup();
  int count = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&count);
  void (*fn)() = nullptr;
  for (int i = 0; i < count; ++i)
    if (std::strcmp(rows[i].name, "vcommGetDefaultClass") == 0) fn = rows[i].fn;
  ASSERT_NE(fn, nullptr);
  fn();
  EXPECT_NE(vcommFindDriver(vnameInternLiteral("tcp")), nullptr);
  EXPECT_EQ(vcommFindDriver(vnameInternLiteral("tcp")), vcommFindDriver(vnameInternLiteral("udp")));
  EXPECT_STREQ(vcommFindDriver(vnameInternLiteral("tcp"))->name, "socket");
  EXPECT_EQ(vcommFindDriver(vnameInternLiteral("unix")), nullptr);
  ASSERT_NE(vcommFindDriver(vcommGetLocalTransport()), nullptr);  // both drivers start
  EXPECT_STREQ(vcommFindDriver(vcommGetLocalTransport())->name, "dde");
  EXPECT_STREQ(vcommGetLocalTransport(), "dde");
}

// The default transport: "vcommlocal" decides which is tried first; one
// retry on the other; a named transport has none.
TEST_F(Channels, DefaultTransportAndFallback) {
  struct Case {
    const char* name;
    const char* vcommlocal;
    const char* transport;  // null: none named
    bool socketsFail;
    bool ddeRegistered;
    bool ddeFails;
    const vexClass* raises;
    const char* endsOn;
  };
  const Case cases[] = {
      {"unset: tcp, then the DDE driver", "", nullptr, true, false, false, nullptr, "dde"},
      {"unset: tcp, then dde", "", nullptr, true, true, false, nullptr, "dde"},
      {"unset: tcp works", "", nullptr, false, true, false, nullptr, "tcp"},
      {"set: dde first", "1", nullptr, false, true, false, nullptr, "dde"},
      {"set: dde fails, then tcp", "1", nullptr, false, true, true, nullptr, "tcp"},
      {"named tcp: no fallback", "", "tcp", true, true, false, &vexCommunicationAddressClass, "tcp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Each case on a fresh channel module: the socket layer starts once.
    vmoduleDestroyContext(context);
    context = vmoduleCreateContext();
    setPref("vcommlocal", c.vcommlocal);
    win::WinsockSetStartupFailure(c.socketsFail);
    Fake::fail = c.ddeFails;
    Fake::trace.clear();
    if (c.ddeRegistered) vcommRegisterDriver(vcommGetLocalTransport(), &Fake::driver);
    vcommAddress a;
    vcommAddressInit(&a);
    if (c.transport) vcommAddressSetTransport(&a, vnameInternLiteral(c.transport));
    vcommAddressSetLocation(&a, vscribeLiteral("127.0.0.1"));
    // The real DDE driver gets a service name no other program uses.
    std::string port = c.ddeRegistered ? "0" : "vcommtest" + std::to_string(getpid());
    vcommAddressSetPort(&a, vscribeCString(port.c_str()));
    vcommChannel* ch = nullptr;
    Caught r = caught([&] { ch = vcommListen(&a, nullptr); });
    EXPECT_EQ(r.cls, c.raises);
    if (c.raises == &vexCommunicationAddressClass) {
      EXPECT_EQ(r.message, "could not initialize Windows Sockets.");
    }
    EXPECT_STREQ(a.transport, c.endsOn);
    if (ch) vcommChannelDestroy(ch);
    vcommAddressClear(&a);
  }
}

}  // namespace
