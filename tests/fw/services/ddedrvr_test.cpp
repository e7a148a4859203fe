#include "fw/services/ddedrvr.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fw/services/peer_process.h"
#include "platform/net/dde.h"
#include "services_support.h"

namespace {

std::map<vcommChannel*, std::vector<int>> events;
void recordEvent(vcommChannel* c, int event) { events[c].push_back(event); }
int count(vcommChannel* c, int event) {
  int n = 0;
  for (int e : events[c]) n += e == event;
  return n;
}

struct DdeChannels : ServicesTest {
  void SetUp() override {
    ServicesTest::SetUp();
    events.clear();
    vcommStartup();
  }
  void TearDown() override {
    win::DdeSetSizeRounding(0);
    ServicesTest::TearDown();
  }
  static vcommChannel* connectTo(const char* transport, const std::string& port, const char* location = nullptr) {
    vcommChannel* c = vcommChannelCreate();
    c->notify = recordEvent;
    vcommAddressSetTransport(&c->peer, vnameInternLiteral(transport));
    if (location) vcommAddressSetLocation(&c->peer, vscribeCString(location));
    vcommAddressSetPort(&c->peer, vscribeCString(port.c_str()));
    vcommConnect(c);
    return c;
  }
  static std::string portOf(const PeerProcess& p) { return p.firstLine.substr(std::strlen("ready ")); }
};

TEST_F(DdeChannels, ListeningWithoutAPortPublishesVcommAndTheTickCount) {
  vcommAddress a;
  vcommAddressInit(&a);
  vcommAddressSetTransport(&a, vnameInternLiteral("dde"));
  unsigned before = win::GetTickCount();
  vcommChannel* listener = vcommListen(&a, recordEvent);
  unsigned after = win::GetTickCount();
  ASSERT_NE(listener->local.port, nullptr);
  std::string port = listener->local.port;
  ASSERT_EQ(port.rfind("vcomm", 0), 0u) << port;
  char* end = nullptr;
  unsigned long tick = std::strtoul(port.c_str() + 5, &end, 16);
  EXPECT_EQ(*end, '\0') << port;
  EXPECT_GE(tick, before);
  EXPECT_LE(tick, after);
  char computer[64];
  win::DWORD size = sizeof computer;
  ASSERT_TRUE(win::GetComputerNameA(computer, &size));
  EXPECT_STREQ(listener->local.location, computer);
  EXPECT_STREQ(listener->local.transport, "dde");
  // The name is ours until the channel goes.
  Caught again = caught([&] { vcommListen(&a, recordEvent); });
  vcommAddressSetPort(&a, vscribeCString(port.c_str()));
  Caught taken = caught([&] { vcommListen(&a, recordEvent); });
  EXPECT_EQ(taken.cls, &vexCommunicationAddressClass);
  vcommChannelDestroy(listener);
  vcommChannel* second = nullptr;
  EXPECT_EQ(caught([&] { second = vcommListen(&a, recordEvent); }).cls, nullptr);
  if (second) vcommChannelDestroy(second);
  vcommAddressClear(&a);
  (void)again;
}

TEST_F(DdeChannels, AddressesThatCannotBeReached) {
  struct Case {
    const char* location;
    std::string port;
    const char* message;
  };
  const Case cases[] = {
      {"elsewhere-not-this-computer", "anything", "DDE reaches only this computer"},
      {nullptr, "", "DDE driver needs address port specified"},
      {nullptr, uniqueName("nobody"), "DdeConnect() failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Caught r = caught([&] { connectTo("dde", c.port, c.location); });
    EXPECT_EQ(r.cls, &vexCommunicationAddressClass);
    EXPECT_EQ(r.message, c.message);
  }
  EXPECT_EQ(vcommGetOpenCount(), 0);
}

// Another process echoes what it gets; both directions, over DDE (with
// and without the size rounding) and over tcp on the loopback.
TEST_F(DdeChannels, BytesTravelBothWaysBetweenTwoProcesses) {
  struct Case {
    const char* transport;
    bool round;
  };
  const Case cases[] = {{"dde", false}, {"dde", true}, {"tcp", false}};
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.transport) + (k.round ? " rounded" : ""));
    win::DdeSetSizeRounding(k.round);
    std::string service = k.transport == std::string("dde") ? uniqueName("echo") : "0";
    PeerProcess peer({"channel-echo", k.transport, service, k.round ? "round" : "plain"});
    ASSERT_TRUE(peer.ready()) << peer.firstLine;
    vcommChannel* c = connectTo(k.transport, portOf(peer), k.transport == std::string("tcp") ? "127.0.0.1" : nullptr);
    if (k.transport == std::string("dde")) {
      char expected[32];
      std::snprintf(expected, sizeof expected, "%x%x", static_cast<unsigned>(win::GetCurrentProcessId()),
                    static_cast<unsigned>(vcommDdeDriverGetConversation(c)));
      EXPECT_STREQ(c->local.port, expected);
    }
    for (std::size_t length : {std::size_t{1}, std::size_t{15}, std::size_t{16}, std::size_t{70000}}) {
      std::string sent(length, '\0');
      for (std::size_t i = 0; i < length; ++i) sent[i] = static_cast<char>('a' + i % 26);
      std::string back(length, '\0');
      long n = vcommRead(c, back.data(), length);
      EXPECT_EQ(n, 0);
      std::size_t written = 0;
      while (written < length) {
        long w = vcommWrite(c, sent.data() + written, length - written);
        ASSERT_GE(w, 0);
        written += static_cast<std::size_t>(w);
        if (!w) break;
      }
      EXPECT_TRUE(runEventsUntil([c] { return c->receiveCount == 0; })) << length;
      EXPECT_TRUE(back == sent) << length;
    }
    vcommChannelDestroy(c);
    EXPECT_EQ(peer.join(), 0);  // the peer saw the end
  }
}

// A plain DDE client talks to the peer's driver: the items it gets back
// carry the trailing count, rewritten when the system rounds the size;
// the driver keeps exactly the payload of ours; a count that does not fit
// ends the conversation.
std::vector<std::string> items;
bool disconnected = false;
win::HDDEDATA rawCallback(win::UINT type, win::UINT, win::HCONV, win::HSZ, win::HSZ, win::HDDEDATA data,
                          win::ULONG_PTR, win::ULONG_PTR) {
  if (type == win::XTYP_DISCONNECT) disconnected = true;
  if (type == win::XTYP_ADVDATA) {
    std::string bytes(win::DdeGetData(data, nullptr, 0, 0), '\0');
    win::DdeGetData(data, reinterpret_cast<win::BYTE*>(bytes.data()), static_cast<win::DWORD>(bytes.size()), 0);
    items.push_back(bytes);
  }
  return reinterpret_cast<win::HDDEDATA>(win::DDE_FACK);
}

TEST_F(DdeChannels, DataItemsCarryTheirTrailingCount) {
  struct Case {
    bool round;
    std::size_t payload;
    int trailing;  // what we send after our payload
    std::size_t itemSize;  // what comes back
  };
  const Case cases[] = {{false, 5, 1, 6}, {false, 16, 3, 17}, {true, 9, 1, 16}, {true, 16, 2, 32}, {true, 32, 5, 48}};
  for (bool round : {false, true}) {
    SCOPED_TRACE(round ? "rounded" : "plain");
    items.clear();
    disconnected = false;
    std::string service = uniqueName("raw");
    PeerProcess peer({"channel-echo", "dde", service, round ? "round" : "plain"});
    ASSERT_TRUE(peer.ready()) << peer.firstLine;
    win::DWORD inst = 0;
    ASSERT_EQ(win::DdeInitializeA(&inst, rawCallback, win::APPCMD_FILTERINITS, 0), win::DMLERR_NO_ERROR);
    auto hsz = [&](const std::string& t) { return win::DdeCreateStringHandleA(inst, t.c_str(), win::CP_WINANSI); };
    win::HCONV conv = win::DdeConnect(inst, hsz(service), hsz("vcomm"), nullptr);
    ASSERT_NE(conv, nullptr);
    win::HSZ item = hsz("rawitem");
    win::DWORD result = 0;
    ASSERT_NE(win::DdeClientTransaction(nullptr, 0, conv, item, win::CF_TEXT, win::XTYP_ADVSTART, 5000, &result),
              nullptr);
    std::size_t expected = 0;
    for (const Case& k : cases) {
      if (k.round != round) continue;
      std::string payload(k.payload, 'x');
      std::string item_(payload + std::string(static_cast<std::size_t>(k.trailing - 1), '#'));
      item_.push_back(static_cast<char>(k.trailing));
      ASSERT_NE(win::DdeClientTransaction(reinterpret_cast<const win::BYTE*>(item_.data()),
                                          static_cast<win::DWORD>(item_.size()), conv, item, win::CF_TEXT,
                                          win::XTYP_POKE, 5000, &result),
                nullptr);
      EXPECT_EQ(result, win::DDE_FACK);
      ++expected;
      ASSERT_TRUE(pumpUntil([&] { return items.size() == expected; })) << k.payload;
      const std::string& got = items.back();
      EXPECT_EQ(got.size(), k.itemSize) << k.payload;
      auto last = static_cast<unsigned char>(got.back());
      EXPECT_EQ(got.size() - last, k.payload) << k.payload;
      EXPECT_EQ(got.substr(0, k.payload), payload);
    }
    // A trailing count of 0, then the end.
    std::string bad = "abc";
    bad.push_back('\0');
    win::DdeClientTransaction(reinterpret_cast<const win::BYTE*>(bad.data()), 4, conv, item, win::CF_TEXT,
                              win::XTYP_POKE, 5000, &result);
    EXPECT_TRUE(pumpUntil([] { return disconnected; }));
    EXPECT_EQ(items.size(), expected);  // nothing of it came back
    EXPECT_EQ(peer.join(), 0);
    win::DdeUninitialize(inst);
  }
}

// Closing from inside event 2 leaves the record to the processing, which
// frees it when it returns (ASan watches); a write to a dead peer fails.
TEST_F(DdeChannels, CloseFromEventTwoAndAWriteToADeadPeer) {
  std::string service = uniqueName("close");
  PeerProcess peer({"channel-echo", "dde", service});
  ASSERT_TRUE(peer.ready()) << peer.firstLine;
  vcommChannel* c = connectTo("dde", service);
  c->notify = [](vcommChannel* ch, int event) {
    recordEvent(ch, event);
    if (event == vcommEVENT_DATA) vcommClose(ch);
  };
  EXPECT_EQ(vcommWrite(c, "ping", 4), 4);
  EXPECT_TRUE(runEventsUntil([c] { return count(c, vcommEVENT_CLOSED) > 0; }));
  EXPECT_EQ(events[c], (std::vector<int>{vcommEVENT_OPENED, vcommEVENT_DATA, vcommEVENT_CLOSED}));
  EXPECT_EQ(c->priv, nullptr);
  EXPECT_EQ(peer.join(), 0);
  vcommChannelDestroy(c);

  PeerProcess second({"channel-echo", "dde", service});
  ASSERT_TRUE(second.ready()) << second.firstLine;
  c = connectTo("dde", service);
  second.kill();
  EXPECT_EQ(vcommWrite(c, "lost", 4), 0);
  EXPECT_EQ(count(c, vcommEVENT_ERROR), 1);
  EXPECT_TRUE(runEventsUntil([c] { return count(c, vcommEVENT_CLOSED) > 0; }));
  vcommChannelDestroy(c);
  EXPECT_EQ(vcommGetOpenCount(), 0);
}

// A wait runs the loop until the channel's record is queued (then it is
// processed at once) or the time is up.
TEST_F(DdeChannels, WaitProcessesWhatArrivedOrTimesOut) {
  std::string service = uniqueName("wait");
  PeerProcess peer({"channel-echo", "dde", service});
  ASSERT_TRUE(peer.ready()) << peer.firstLine;
  vcommChannel* c = connectTo("dde", service);
  EXPECT_EQ(vcommWait(c, 50000000, 0), 0);
  EXPECT_EQ(count(c, vcommEVENT_DATA), 0);
  EXPECT_EQ(vcommWrite(c, "x", 1), 1);
  EXPECT_EQ(vcommWait(c, 0, 5), 1);
  EXPECT_EQ(count(c, vcommEVENT_DATA), 1);
  EXPECT_EQ(vcommAvailable(c), 1);
  char byte = 0;
  EXPECT_EQ(vcommRead(c, &byte, 1), 1);
  EXPECT_EQ(byte, 'x');
  // Options are refused; a channel of no driver record is an argument error.
  long value = 0;
  EXPECT_EQ(c->driver->getOption(c, vcommOPTION_RECEIVE_BUFFER, &value), 0);
  EXPECT_EQ(c->driver->setOption(c, vcommOPTION_SEND_BUFFER, 4096), 0);
  vcommDriver* driver = c->driver;
  vcommChannelDestroy(c);
  vcommChannel* bare = vcommChannelCreate();
  EXPECT_EQ(caught([&] { driver->wait(bare, 0, 1); }).cls, &vexArgClass);
  EXPECT_EQ(caught([&] { driver->write(bare, "x", 1); }).cls, &vexArgClass);
  vcommChannelDestroy(bare);
  EXPECT_EQ(peer.join(), 0);
}

// A conversation confirmed but never advised (its client gave up) made a
// channel no client saw: it goes with the driver (ASan watches).
TEST_F(DdeChannels, AConversationNoClientSawGoesWithTheDriver) {
  std::string service = uniqueName("unseen");
  vcommAddress a;
  vcommAddressInit(&a);
  vcommAddressSetTransport(&a, vnameInternLiteral("dde"));
  vcommAddressSetPort(&a, vscribeCString(service.c_str()));
  vcommChannel* listener = vcommListen(&a, recordEvent);
  vcommAddressClear(&a);
  win::DWORD inst = 0;
  ASSERT_EQ(win::DdeInitializeA(&inst, rawCallback, win::APPCMD_FILTERINITS, 0), win::DMLERR_NO_ERROR);
  // Our own server cannot answer while we wait: the connect gives up.
  win::UseVirtualClock(true);
  win::HSZ name = win::DdeCreateStringHandleA(inst, service.c_str(), win::CP_WINANSI);
  win::HSZ topic = win::DdeCreateStringHandleA(inst, "vcomm", win::CP_WINANSI);
  EXPECT_EQ(win::DdeConnect(inst, name, topic, nullptr), nullptr);
  win::UseVirtualClock(false);
  win::DdeUninitialize(inst);
  // The loop then confirms the conversation on the server's side.
  pumpUntil([] { return false; }, 200);
  EXPECT_TRUE(events.empty());
  (void)listener;  // closed with the channel layer
}

}  // namespace
