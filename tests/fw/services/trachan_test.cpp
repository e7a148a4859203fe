#include <gtest/gtest.h>

#include <chrono>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fw/services/session.h"
#include "fw/services/vcomm.h"
#include "services_support.h"

namespace {

std::vector<std::uint32_t> received;          // block lengths the protocol saw
std::function<void(vsession*)> onReceive;     // what the protocol does on each
std::vector<vcommChannel*> accepted;
vsession* current = nullptr;

void acceptPeer(vcommChannel* c, int event) {
  if (event == vcommEVENT_OPENED && c->client == &accepted) accepted.push_back(c);
}

struct ChannelTransport : ServicesTest {
  vcommChannel* listener = nullptr;
  void SetUp() override {
    ServicesTest::SetUp();
    received.clear();
    onReceive = nullptr;
    accepted.clear();
    current = nullptr;
    auto* p = vclassSpawnOf<vsessionRootProtocolClassRec>(vsessionRootProtocolGetDefaultClass());
    vclassSetName(p, vscribeLiteral("TestRecordingProtocol"));
    p->receive = [](vsessionRootProtocol*, vsessionBlock* b) {
      received.push_back(vsessionBlockLength(b));
      b->head = b->tail;
      if (onReceive) onReceive(current);
    };
    vcommAddress a;
    vcommAddressInit(&a);
    vcommAddressSetTransport(&a, vnameInternLiteral("tcp"));
    vcommAddressSetLocation(&a, vscribeLiteral("127.0.0.1"));
    vcommAddressSetPort(&a, vscribeLiteral("0"));
    listener = vcommListen(&a, acceptPeer);
    listener->client = &accepted;
    vcommAddressClear(&a);
  }
  vsession* session(const char* transport, const char* port) {
    vsession* s = vsessionCreate();
    auto key = vsessionGetAttributeKey;
    vsessionSetAttribute(s, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral(transport));
    vsessionSetAttribute(s, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
    vsessionSetAttribute(s, key(vsessionPORT), vsessionStringDatatag(), port);
    vsessionSetAttribute(s, key(vsessionPROTOCOL_CLASS), vsessionTagDatatag(),
                         vnameInternLiteral("TestRecordingProtocol"));
    current = s;
    return s;
  }
  static vsessionChannelTransport* transportOf(vsession* s) {
    auto* e = static_cast<vsessionSyntheticEngine*>(s->record->engine);
    return static_cast<vsessionChannelTransport*>(e->link.transport);
  }
  // The connected session and the listener's side of it.
  vcommChannel* openSession(vsession* s) {
    vsessionOpen(s);
    EXPECT_TRUE(pumpUntil([] { return !accepted.empty(); }));
    return accepted.empty() ? nullptr : accepted[0];
  }
  // Waits until the session's channel holds n bytes, then lets it read.
  static void deliver(vsession* s, vcommChannel* server, std::size_t n) {
    std::string bytes(n, 'x');
    ASSERT_EQ(vcommWrite(server, bytes.data(), n), static_cast<long>(n));
    vcommChannel* c = transportOf(s)->channel;
    // Polled for as long as a loaded host may take to pass the bytes on.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (vcommAvailable(c) < static_cast<long>(n) && std::chrono::steady_clock::now() < until) usleep(1000);
    ASSERT_EQ(vcommAvailable(c), static_cast<long>(n));
    vsessionChannelTransportNotify(c, vcommEVENT_DATA);
  }
};

// The session's attributes say where to connect; bytes arrive in slices of
// 1024; a poll without a time-out stores the default pair.
TEST_F(ChannelTransport, OpensFromAttributesAndDeliversSlices) {
  vsession* s = session("tcp", listener->local.port);
  vcommChannel* server = openSession(s);
  ASSERT_NE(server, nullptr);
  EXPECT_TRUE(s->flags & vsessionOPEN);
  vsessionChannelTransport* t = transportOf(s);
  EXPECT_STREQ(t->cls->name, "vsessionChannelTransport");
  EXPECT_TRUE(t->flags & vsessionComponentOPEN);
  deliver(s, server, 3000);
  EXPECT_EQ(received, (std::vector<std::uint32_t>{1024, 1024, 952}));
  EXPECT_FALSE(s->flags & vsessionBUSY);

  t->pollSeconds = 9;
  vsessionRec<vsessionRootTransportClassRec>(t)->poll(t, -1, 0);
  EXPECT_EQ(t->pollSeconds, 0);
  EXPECT_EQ(t->pollNanoseconds, 1000000);

  // What is sent reaches the peer, and the block is left empty.
  vsessionBlock block;
  vsessionBlockInitProportional(&block, 2.0f);
  vsessionBlockAppendBytes(&block, const_cast<char*>("hello"), 5, 0);
  vsessionRec<vsessionRootTransportClassRec>(t)->send(t, &block);
  EXPECT_EQ(block.data, nullptr);
  EXPECT_EQ(vsessionBlockLength(&block), 0u);
  char got[8] = {};
  ASSERT_TRUE(pumpUntil([&] { return vcommAvailable(server) >= 5; }));
  EXPECT_EQ(vcommRead(server, got, 5), 5);
  EXPECT_STREQ(got, "hello");

  // Closing when idle destroys the channel; the close comes back up.
  vsessionClose(s);
  EXPECT_EQ(t->channel, nullptr);
  EXPECT_TRUE(s->flags & vsessionCLOSED_FLAG);
  vsessionDestroy(s);
}

// A close or a destroy asked for by the protocol while the data handler
// runs: the channel is closed, not destroyed, and the session goes after.
TEST_F(ChannelTransport, CloseAndDestroyInsideTheDataHandler) {
  struct Row {
    bool destroy;
  } rows[] = {{false}, {true}};
  for (const Row& row : rows) {
    received.clear();
    accepted.clear();
    vsession* s = session("tcp", listener->local.port);
    vcommChannel* server = openSession(s);
    ASSERT_NE(server, nullptr);
    vsessionChannelTransport* t = transportOf(s);
    vcommChannel* channel = t->channel;
    bool destroy = row.destroy;
    onReceive = [destroy, t, channel](vsession* self) {
      EXPECT_TRUE(self->flags & vsessionBUSY);
      vsessionClose(self);
      EXPECT_EQ(t->channel, channel);  // still attached, now closed
      EXPECT_FALSE(channel->flags & vcommChannelOPEN);
      if (destroy) {
        vsessionDestroy(self);
        EXPECT_TRUE(self->flags & vsessionDESTROY_REQUESTED);
      }
    };
    deliver(s, server, 3000);
    onReceive = nullptr;
    EXPECT_EQ(received, (std::vector<std::uint32_t>{1024}));  // the loop ends with the channel
    if (!destroy) {
      EXPECT_TRUE(s->flags & vsessionCLOSED_FLAG);
      EXPECT_FALSE(s->flags & vsessionBUSY);
      vsessionDestroy(s);
    }
    vcommChannelDestroy(server);
  }
}

// A served peer sends more than one turn reads, and its session ends before
// the next turn: the turn goes with the transport, and the loop runs on.
TEST_F(ChannelTransport, ASessionEndingBeforeItsNextReadTurnTakesTheTurnAway) {
  vsession* s = session("tcp", listener->local.port);
  vcommChannel* server = openSession(s);
  ASSERT_NE(server, nullptr);
  vsessionChannelTransport* t = transportOf(s);
  t->serving = true;
  const int waiting = veventCountWaiting(nullptr);
  deliver(s, server, 70 * 1024);
  EXPECT_EQ(received.size(), 64u);
  ASSERT_NE(t->resume, nullptr);
  EXPECT_EQ(veventCountWaiting(nullptr), waiting + 1);
  vsessionDestroy(s);
  ASSERT_EQ(veventCountWaiting(nullptr), waiting);
  std::size_t before = received.size();
  int rounds = 0;
  runEventsUntil([&] { return ++rounds > 20; });
  EXPECT_EQ(received.size(), before);
  vevent* a = veventCreate();
  vevent* b = veventCreate();
  EXPECT_NE(a, b);
  veventDestroy(a);
  if (b != a) veventDestroy(b);
  vcommChannelDestroy(server);
}

// Failure to connect: "Cannot open channel", no channel kept, and no
// exception left naming the freed address. An already open channel is
// reused without a new connection.
TEST_F(ChannelTransport, OpenFailureAndAReusedChannel) {
  vsession* s = session("nosuchtransport", "1");
  Caught r = caught([&] { vsessionOpen(s); });
  EXPECT_EQ(r.cls, &vexArgClass);
  EXPECT_EQ(r.message, "Cannot open channel");
  if (s->record->engine) {
    EXPECT_EQ(transportOf(s)->channel, nullptr);
  }
  vsessionDestroy(s);

  vcommChannel* c = vcommChannelCreate();
  vcommAddressSetTransport(&c->peer, vnameInternLiteral("tcp"));
  vcommAddressSetLocation(&c->peer, vscribeLiteral("127.0.0.1"));
  vcommAddressSetPort(&c->peer, vscribeCString(listener->local.port));
  vcommConnect(c);
  ASSERT_TRUE(pumpUntil([] { return !accepted.empty(); }));
  vsession* reused = session("tcp", "1");  // the port would fail if used
  auto* engine = static_cast<vsessionEngineRoot*>(vinstanceCreate(vsessionDefaultEngineGetClass()));
  vsessionSetEngine(reused, engine);
  transportOf(reused)->channel = c;
  int before = vcommGetOpenCount();
  vsessionOpen(reused);
  EXPECT_TRUE(reused->flags & vsessionOPEN);
  EXPECT_EQ(vcommGetOpenCount(), before);
  EXPECT_EQ(c->client, transportOf(reused));
  EXPECT_EQ(c->notify, vsessionChannelTransportNotify);
  vsessionDestroy(reused);
}

}  // namespace
