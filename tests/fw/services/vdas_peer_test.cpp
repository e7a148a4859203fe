// Two processes: this test and vdas_peer, talking over a session.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "fw/services/builtin.h"
#include "fw/services/session.h"
#include "fw/services/vdasserv.h"
#include "peer_process.h"
#include "raw_socket.h"
#include "services_support.h"

namespace {

struct TwoProcesses : ServicesTest {
  vsignature* signature(const char* name, int argument, int result) {
    auto* sig = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
    sig->tag = vnameInternLiteral(name);
    if (argument >= 0) vsignatureAddDatatags(sig, vdatatagGetPredefined(argument), nullptr);
    sig->returnValue = vdatatagGetPredefined(result);
    made.push_back(sig);
    return sig;
  }
  std::vector<vsignature*> made;
  void scenario(const char* transport);
  void TearDown() override {
    for (auto* s : made) vinstanceDestroy(s);
    ServicesTest::TearDown();
  }
  static vsession* connect(const char* transport, const std::string& port) {
    vsession* s = vsessionCreate();
    auto key = vsessionGetAttributeKey;
    vsessionSetAttribute(s, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral(transport));
    if (std::strcmp(transport, "tcp") == 0)
      vsessionSetAttribute(s, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
    vsessionSetAttribute(s, key(vsessionPORT), vsessionStringDatatag(), port.c_str());
    vsessionOpen(s);  // waits for the peer's settings
    return s;
  }
  static vsessionStatement* start(vsession* s, vsignature* sig) {
    vsessionStatement* st = vsessionStatementCreate();
    vsessionStatementSetSession(st, s);
    vsessionStatementSetOperation(st, sig);
    return st;
  }
  static void finish(vsessionStatement* st) {
    vsessionStatementSend(st);
    vsysTime limit{5, 0};
    EXPECT_EQ(vsessionStatementWait(st, &limit), 1);
  }
};

TEST_F(TwoProcesses, CallsRepliesErrorsAndTheCloseHandshake) {
  for (const char* transport : {"tcp", "dde"}) {
    SCOPED_TRACE(transport);
    scenario(transport);
  }
}

void TwoProcesses::scenario(const char* transport) {
  std::vector<std::string> args = {transport};
  if (std::strcmp(transport, "dde") == 0) args.push_back(uniqueName("vdaspeer"));
  PeerProcess peer(args, VDAS_PEER);
  ASSERT_TRUE(peer.ready()) << peer.firstLine;
  std::string port = peer.firstLine.substr(6);
  vsession* s = connect(transport, port);
  ASSERT_TRUE(s->flags & vsessionOPEN);

  vsessionStatement* ping = start(s, signature("ping", -1, vdatatagINTEGER));
  vsessionStatementSetArgs(ping);
  finish(ping);
  EXPECT_EQ(vsessionStatementGetState(ping), vsessionStatementDONE);
  std::int32_t one = 0;
  vsessionStatementGetResult(ping, &one);
  EXPECT_EQ(one, 1);
  vsessionStatementDestroy(ping);

  std::string longText(1024, 'x');
  for (const std::string& text : {std::string("hello"), std::string(""), longText}) {
    vsessionStatement* echo = start(s, signature("echo", vdatatagSTRING, vdatatagSTRING));
    vsessionStatementSetArgs(echo, text.c_str());
    finish(echo);
    char* back = nullptr;
    vsessionStatementGetResult(echo, &back);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::string(back), text);
    vstrDestroy(back);
    vsessionStatementDestroy(echo);
  }
  for (std::int32_t v : {0, -1, 127, -70000, 2147483647}) {
    vsessionStatement* echo = start(s, signature("echoInteger", vdatatagINTEGER, vdatatagINTEGER));
    vsessionStatementSetArgs(echo, v);
    finish(echo);
    std::int32_t back = 0;
    vsessionStatementGetResult(echo, &back);
    EXPECT_EQ(back, v);
    vsessionStatementDestroy(echo);
  }
  // Scalars of every kind come back as they went.
  struct Scalar {
    int kind;
    std::function<void(vsessionStatement*)> set;
    std::vector<unsigned char> expected;
  };
  auto bytesOf = [](auto v) {
    auto* p = reinterpret_cast<const unsigned char*>(&v);
    return std::vector<unsigned char>(p, p + sizeof v);
  };
  const Scalar scalars[] = {
      {vdatatagBOOLEAN, [](vsessionStatement* st) { vsessionStatementSetArgs(st, 1); }, bytesOf(std::uint8_t{1})},
      {vdatatagCHARACTER, [](vsessionStatement* st) { vsessionStatementSetArgs(st, 'q'); }, bytesOf('q')},
      {vdatatagBYTE, [](vsessionStatement* st) { vsessionStatementSetArgs(st, -100); }, bytesOf(std::int8_t{-100})},
      {vdatatagUNSIGNED_SHORT, [](vsessionStatement* st) { vsessionStatementSetArgs(st, 65000); },
       bytesOf(std::uint16_t{65000})},
      {vdatatagINTEGER, [](vsessionStatement* st) { vsessionStatementSetArgs(st, -123456); }, bytesOf(-123456)},
      {vdatatagLONGLONG, [](vsessionStatement* st) { vsessionStatementSetArgs(st, std::int64_t{-(1ll << 40)}); },
       bytesOf(std::int64_t{-(1ll << 40)})},
      {vdatatagUNSIGNED_LONGLONG, [](vsessionStatement* st) { vsessionStatementSetArgs(st, ~std::uint64_t{0}); },
       bytesOf(~std::uint64_t{0})},
      {vdatatagFIXED, [](vsessionStatement* st) { vsessionStatementSetArgs(st, -0x28000); }, bytesOf(-0x28000)},
      {vdatatagSINGLE_FLOAT, [](vsessionStatement* st) { vsessionStatementSetArgs(st, 0.5); }, bytesOf(0.5f)},
      {vdatatagDOUBLE_FLOAT, [](vsessionStatement* st) { vsessionStatementSetArgs(st, 1e300); }, bytesOf(1e300)},
      {vdatatagTAG, [](vsessionStatement* st) { vsessionStatementSetArgs(st, vnameInternLiteral("tagged")); },
       bytesOf(vnameInternLiteral("tagged"))},
  };
  for (const Scalar& c : scalars) {
    SCOPED_TRACE(c.kind);
    std::string name = "echoKind" + std::to_string(c.kind);
    vsessionStatement* st = start(s, signature(vnameIntern(vscribeCString(name.c_str())), c.kind, c.kind));
    c.set(st);
    finish(st);
    alignas(8) unsigned char back[16] = {};
    vsessionStatementGetResult(st, back);
    EXPECT_EQ(std::vector<unsigned char>(back, back + c.expected.size()), c.expected);
    vsessionStatementDestroy(st);
  }

  // The peer stands in for a broker: a match answers its array.
  vinstance* criteria = vdasservGetBrokerAddress();
  vsessionStatement* match = vdasservCreateMatch(s, criteria);
  finish(match);
  ASSERT_EQ(vsessionStatementGetState(match), vsessionStatementDONE);
  ASSERT_NE(match->result, nullptr);
  EXPECT_EQ(vscrapGetArrayCount(vscrapWalk(match->result)), 2);
  vsessionStatementDestroy(match);

  // The built-in ping, which the peer's service does not offer itself:
  // a plain reply all the same.
  vsessionStatement* builtinPing = start(s, vdasGetPingSignature());
  finish(builtinPing);
  EXPECT_EQ(vsessionStatementGetState(builtinPing), vsessionStatementDONE);
  vsessionStatementDestroy(builtinPing);

  // A name the peer's service lacks: an error reply.
  vsessionStatement* missing = start(s, signature("noSuchPrimitive", -1, vdatatagINTEGER));
  finish(missing);
  EXPECT_EQ(vsessionStatementGetState(missing), vsessionStatementERROR);
  vsessionStatementDestroy(missing);

  // Our close: request, acknowledgement, and the session closes.
  vsessionClose(s);
  EXPECT_TRUE(s->flags & vsessionCLOSED_FLAG);
  vsessionDestroy(s);

  // A second session ends the peer.
  vsession* again = connect(transport, port);
  vsessionStatement* stop = start(again, signature("shutdown", -1, vdatatagINTEGER));
  finish(stop);
  EXPECT_EQ(vsessionStatementGetState(stop), vsessionStatementDONE);
  vsessionStatementDestroy(stop);
  EXPECT_EQ(peer.join(), 0);
  vsessionDestroy(again);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Calls "ping" and then "shutdown" on a fresh session, so the peer ends.
void pingAndShutDown(TwoProcesses& t, const char* transport, const std::string& port, PeerProcess& peer) {
  vsession* s = TwoProcesses::connect(transport, port);
  ASSERT_TRUE(s->flags & vsessionOPEN);
  for (const char* name : {"ping", "shutdown"}) {
    vsessionStatement* st = TwoProcesses::start(s, t.signature(name, -1, vdatatagINTEGER));
    vsessionStatementSetArgs(st);
    TwoProcesses::finish(st);
    EXPECT_EQ(vsessionStatementGetState(st), vsessionStatementDONE) << name;
    vsessionStatementDestroy(st);
  }
  EXPECT_EQ(peer.join(), 0);
  vsessionDestroy(s);
}

// A peer that connects and says nothing must not keep the service from
// opening the next one.
TEST_F(TwoProcesses, ASilentClientDoesNotHoldTheService) {
  for (const char* transport : {"tcp", "dde"}) {
    SCOPED_TRACE(transport);
    bool tcp = std::strcmp(transport, "tcp") == 0;
    std::vector<std::string> args = {transport};
    if (!tcp) args.push_back(uniqueName("vdassilent"));
    PeerProcess peer(args, VDAS_PEER);
    ASSERT_TRUE(peer.ready()) << peer.firstLine;
    std::string port = peer.firstLine.substr(6);
    int silent = -1;
    vcommChannel* quiet = nullptr;
    if (tcp) {
      silent = rawConnect(port);
      ASSERT_GE(silent, 0);
    } else {
      quiet = vcommChannelCreate();
      vcommAddressSetTransport(&quiet->peer, vnameInternLiteral("dde"));
      vcommAddressSetPort(&quiet->peer, vscribeCString(port.c_str()));
      vcommConnect(quiet);
    }
    // Let the service take the silent one in first.
    pumpUntil([] { return false; }, 300);
    auto start = std::chrono::steady_clock::now();
    pingAndShutDown(*this, transport, port, peer);
    EXPECT_LT(secondsSince(start), 5.0);
    if (silent >= 0) rawClose(silent);
    if (quiet) vcommChannelDestroy(quiet);
  }
}

// A valid opening and one call of a 200-character "echo", as a session of
// our own sends them, caught on their way through a relay.
void captureCall(TwoProcesses& t, const std::string& port, std::string* opening, std::string* call) {
  RawRelay relay(port);
  ASSERT_FALSE(relay.port.empty());
  vsession* s = TwoProcesses::connect("tcp", relay.port);
  ASSERT_TRUE(s->flags & vsessionOPEN);
  vsessionStatement* echo = TwoProcesses::start(s, t.signature("echo", vdatatagSTRING, vdatatagSTRING));
  vsessionStatementSetArgs(echo, std::string(200, 'f').c_str());
  TwoProcesses::finish(echo);
  ASSERT_EQ(vsessionStatementGetState(echo), vsessionStatementDONE);
  vsessionStatementDestroy(echo);
  std::string bytes = relay.sent();
  vsessionDestroy(s);
  // The magic, then frames of a 4-byte length and a body whose fifth byte
  // is the kind (1, a call).
  for (std::size_t at = 11; at + 9 <= bytes.size();) {
    auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    std::size_t length = std::size_t{b[0]} << 24 | std::size_t{b[1]} << 16 | std::size_t{b[2]} << 8 | b[3];
    if (b[8] == 1) {
      *opening = bytes.substr(0, at);
      *call = bytes.substr(at, 4 + length);
      break;
    }
    at += 4 + length;
  }
  ASSERT_FALSE(call->empty()) << "no call among " << bytes.size() << " bytes";
}

// The sanitizer keeps freed memory aside; a service's size would count it.
void keepLittleFreedMemory() {
#if defined(__SANITIZE_ADDRESS__)
  std::string options = std::getenv("ASAN_OPTIONS") != nullptr ? std::getenv("ASAN_OPTIONS") : "";
  setenv("ASAN_OPTIONS", (options.empty() ? std::string("quarantine_size_mb=1") : options + ":quarantine_size_mb=1").c_str(), 1);
#endif
}

// While the flood goes on, call after call on the open session, then a new
// client, each answered.
// A flood lasts until the others are served; its limit only ends one where
// they are not, and is far beyond a served call on a loaded machine under
// the sanitizer (a DDE flood that reads its replies needs tens of MB sent).
constexpr int kFloodLimitMs = 120000;

void servedDuringFlood(TwoProcesses& t, const char* transport, const std::string& port, vsession* other,
                       RawFlood& flood) {
  vsysTime slice{0, 100000000};
  auto servedMeanwhile = [&](vsessionStatement* st) {
    vsessionStatementSend(st);
    while (vsessionStatementGetState(st) == vsessionStatementPENDING && flood.flooding())
      vsessionStatementWait(st, &slice);
    bool done = flood.flooding() && vsessionStatementGetState(st) == vsessionStatementDONE;
    vsessionStatementDestroy(st);
    return done;
  };
  int answered = 0;
  for (; answered < 10; ++answered) {
    vsessionStatement* echo = TwoProcesses::start(other, t.signature("echo", vdatatagSTRING, vdatatagSTRING));
    vsessionStatementSetArgs(echo, "still served");
    if (!servedMeanwhile(echo)) break;
  }
  EXPECT_EQ(answered, 10) << "calls of the other session answered while the flood lasted ("
                          << flood.bytesSent << " bytes sent, " << flood.bytesRead << " read)";
  if (answered == 10) {
    vsession* fresh = TwoProcesses::connect(transport, port);
    EXPECT_TRUE(fresh->flags & vsessionOPEN);
    vsessionStatement* ping = TwoProcesses::start(fresh, t.signature("ping", -1, vdatatagINTEGER));
    vsessionStatementSetArgs(ping);
    EXPECT_TRUE(servedMeanwhile(ping)) << "the new client was not served while the flood lasted";
    vsessionDestroy(fresh);
  }
}

// A peer that pipelines calls as fast as it can, reading its replies or
// leaving them: the other clients are served meanwhile, an open session's
// call and a new client alike, and the service stays small.
TEST_F(TwoProcesses, ABusyClientDoesNotStarveTheOthers) {
  constexpr long kGrowthKb = 64 * 1024;
  keepLittleFreedMemory();
  for (bool reading : {false, true}) {
    SCOPED_TRACE(reading ? "reading its replies" : "leaving its replies");
    PeerProcess peer({"tcp"}, VDAS_PEER);
    ASSERT_TRUE(peer.ready()) << peer.firstLine;
    std::string port = peer.firstLine.substr(6);
    std::string opening, call;
    captureCall(*this, port, &opening, &call);
    vsession* other = connect("tcp", port);
    ASSERT_TRUE(other->flags & vsessionOPEN);
    long before = residentKb(peer.pid);
    ASSERT_GT(before, 0);
    RawFlood flood(port, opening, call, reading, peer.pid, before + kGrowthKb, kFloodLimitMs);
    ASSERT_TRUE(pumpUntil([&] { return flood.connected && flood.bytesSent > 4 << 20; }, kFloodLimitMs));
    servedDuringFlood(*this, "tcp", port, other, flood);
    EXPECT_FALSE(flood.overLimit) << "the service grew from " << before << " KiB past " << flood.peakRssKb << " KiB";
    flood.stop();
    vsessionDestroy(other);
    EXPECT_LE(residentKb(peer.pid), before + kGrowthKb);
  }
}

// Peers that pipeline calls and read no replies until the service holds
// them back: one that then goes, closed or reset, is closed at once with
// its session, and the service serves on; one that only stops sending, or
// ends its sending, and reads its replies late gets every one of them.
TEST_F(TwoProcesses, AHeldBackClientIsClosedWhenItGoesAndServedWhileItReads) {
  setenv("VDAS_PEER_SECONDS", "300", 1);
  PeerProcess peer({"tcp"}, VDAS_PEER);
  unsetenv("VDAS_PEER_SECONDS");
  ASSERT_TRUE(peer.ready()) << peer.firstLine;
  std::string port = peer.firstLine.substr(6);
  std::string opening, call;
  captureCall(*this, port, &opening, &call);
  // A small receive buffer, so few replies wait in the system for us.
  constexpr int kReceiveBuffer = 64 * 1024;
  vsession* other = connect("tcp", port);
  ASSERT_TRUE(other->flags & vsessionOPEN);
  auto served = [&] {
    vsessionStatement* ping = start(other, signature("ping", -1, vdatatagINTEGER));
    vsessionStatementSetArgs(ping);
    finish(ping);
    bool done = vsessionStatementGetState(ping) == vsessionStatementDONE;
    vsessionStatementDestroy(ping);
    return done;
  };
  ASSERT_TRUE(served());

  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "closed");
    int before = openDescriptors(peer.pid);
    int fd = rawConnect(port, kReceiveBuffer);
    ASSERT_GE(fd, 0);
    // Stuffed until the service takes no more calls: it holds us back.
    ASSERT_TRUE(rawStuff(fd, opening, call, -1, 2000, nullptr));
    EXPECT_EQ(openDescriptors(peer.pid), before + 1);
    rawClose(fd, reset);
    EXPECT_TRUE(pumpUntil([&] { return openDescriptors(peer.pid) <= before; }, 30000))
        << "the service still holds " << openDescriptors(peer.pid) << " descriptors, " << before << " before";
    EXPECT_TRUE(served());
  }

  // Enough calls that their replies far outrun the system's buffers.
  constexpr long kCalls = 40000;
  for (bool endsSending : {false, true}) {
    SCOPED_TRACE(endsSending ? "ends its sending" : "stops sending");
    int fd = rawConnect(port, kReceiveBuffer);
    ASSERT_GE(fd, 0);
    std::atomic<long> sent{0};
    std::atomic<bool> wrote{false};
    std::thread writer([&] {
      wrote = rawStuff(fd, opening, call, kCalls, 120000, &sent);
      if (endsSending) rawEndSending(fd);
    });
    // Late: once the service has stopped taking calls or has all of them.
    for (long last = -1; last != sent && sent < kCalls;) {
      last = sent;
      usleep(500000);
    }
    bool ended = false;
    // Slowly, so that replies still wait in the service when it meets our end.
    long replies = rawReadFrames(fd, kCalls, 120000, &ended, 2000);
    writer.join();
    EXPECT_TRUE(wrote);
    EXPECT_EQ(sent, kCalls);
    EXPECT_EQ(replies, kCalls) << (ended ? "the service closed first" : "the replies stopped");
    if (endsSending) {
      // All answered, the service ends the connection.
      EXPECT_EQ(rawReadFrames(fd, 1, 30000, &ended), 0);
      EXPECT_TRUE(ended);
    }
    rawClose(fd);
  }
  EXPECT_TRUE(served());
  vsessionDestroy(other);
  pingAndShutDown(*this, "tcp", port, peer);
}

// The same over DDE: a conversation of its own poking calls, eight to a
// poke, reading nothing back or all it is sent. One that reads nothing is
// soon not read either, so what it manages to send stays small: everything
// it sent waits somewhere unread or was answered into its own queue.
TEST_F(TwoProcesses, ABusyDdePeerDoesNotGrowTheService) {
  constexpr long kGrowthKb = 32 * 1024;
  constexpr long kUnreadBound = 16 << 20;
  keepLittleFreedMemory();
  std::string opening, call;
  {
    PeerProcess relayed({"tcp"}, VDAS_PEER);
    ASSERT_TRUE(relayed.ready()) << relayed.firstLine;
    captureCall(*this, relayed.firstLine.substr(6), &opening, &call);
  }
  const std::string item = "flood";
  std::string burst;
  for (int poke = 0; poke < 125; ++poke) {
    std::string calls;
    for (int i = 0; i < 8; ++i) calls += call;
    burst += rawDdePoke(item, calls);
  }
  for (bool reading : {false, true}) {
    SCOPED_TRACE(reading ? "reading all it is sent" : "reading nothing back");
    std::string name = uniqueName(reading ? "vdasfloodr" : "vdasfloodq");
    PeerProcess peer({"dde", name}, VDAS_PEER);
    ASSERT_TRUE(peer.ready()) << peer.firstLine;
    vsession* other = connect("dde", name);
    ASSERT_TRUE(other->flags & vsessionOPEN);
    long before = residentKb(peer.pid);
    ASSERT_GT(before, 0);
    RawFlood flood(rawDdeConnect(name), rawDdeOpening(item) + rawDdePoke(item, opening), burst, reading, peer.pid,
                   before + kGrowthKb, kFloodLimitMs);
    ASSERT_TRUE(pumpUntil([&] { return flood.connected && flood.bytesSent > (reading ? 48 << 20 : 512 << 10); },
                          kFloodLimitMs))
        << flood.bytesSent << " bytes sent";
    servedDuringFlood(*this, "dde", name, other, flood);
    EXPECT_FALSE(flood.overLimit) << "the service grew from " << before << " KiB past " << flood.peakRssKb << " KiB";
    if (!reading) {
      EXPECT_LT(flood.bytesSent, kUnreadBound) << "taken from a peer that reads nothing back";
    }
    flood.stop();
    vsessionDestroy(other);
    EXPECT_LE(residentKb(peer.pid), before + kGrowthKb);
  }
}

// A client of ours that sends its calls all at once and reads the replies
// only afterwards gets every one, small and large, from a service that
// holds its peers back.
TEST_F(TwoProcesses, APipeliningDdeClientGetsEveryReply) {
  std::string name = uniqueName("vdaspipe");
  PeerProcess peer({"dde", name}, VDAS_PEER);
  ASSERT_TRUE(peer.ready()) << peer.firstLine;
  vsession* s = connect("dde", name);
  ASSERT_TRUE(s->flags & vsessionOPEN);
  vsignature* echo = signature("echo", vdatatagSTRING, vdatatagSTRING);
  struct Batch {
    int calls;
    std::size_t size;
  };
  for (Batch batch : {Batch{2000, 1024}, Batch{200, 100 * 1024}}) {
    SCOPED_TRACE(batch.size);
    std::vector<vsessionStatement*> sent;
    for (int i = 0; i < batch.calls; ++i) {
      // Each text its own, so a reply given to the wrong call shows.
      std::string text(batch.size, static_cast<char>('a' + i % 26));
      text.replace(0, std::to_string(i).size(), std::to_string(i));
      vsessionStatement* st = start(s, echo);
      vsessionStatementSetArgs(st, text.c_str());
      vsessionStatementSend(st);
      sent.push_back(st);
    }
    int right = 0;
    for (int i = 0; i < batch.calls; ++i) {
      vsysTime limit{10, 0};
      vsessionStatementWait(sent[i], &limit);
      char* back = nullptr;
      if (vsessionStatementGetState(sent[i]) == vsessionStatementDONE) vsessionStatementGetResult(sent[i], &back);
      std::string text(batch.size, static_cast<char>('a' + i % 26));
      text.replace(0, std::to_string(i).size(), std::to_string(i));
      if (back && text == back) ++right;
      if (back) vstrDestroy(back);
      vsessionStatementDestroy(sent[i]);
    }
    EXPECT_EQ(right, batch.calls);
  }
  vsessionDestroy(s);
}

// Thousands of peers that connect and go at once, some saying garbage,
// some reset: the listener keeps listening.
TEST_F(TwoProcesses, TheListenerOutlivesConnectAndDropClients) {
  PeerProcess peer({"tcp"}, VDAS_PEER);
  ASSERT_TRUE(peer.ready()) << peer.firstLine;
  std::string port = peer.firstLine.substr(6);
  for (int i = 0; i < 3000; ++i) {
    int fd = rawConnect(port);
    ASSERT_GE(fd, 0) << "connection " << i;
    if (i % 3 == 1) rawSend(fd, "\x7fgarbage\n", 9);
    rawClose(fd, i % 3 == 2);
    // Within the listener's backlog, so no connect waits out a retry.
    if (i % 8 == 7) usleep(4000);
  }
  auto start = std::chrono::steady_clock::now();
  pingAndShutDown(*this, "tcp", port, peer);
  EXPECT_LT(secondsSince(start), 5.0);
}

// Hundreds of short connections saying garbage or dropping, then a burst of
// clients at once, some of them dying halfway through a message: every
// client of the burst is opened, and the service still answers calls.
TEST_F(TwoProcesses, ABurstAfterGarbageServesEveryClient) {
  PeerProcess peer({"tcp"}, VDAS_PEER);
  ASSERT_TRUE(peer.ready()) << peer.firstLine;
  std::string port = peer.firstLine.substr(6);
  for (int i = 0; i < 300; ++i) {
    int fd = rawConnect(port);
    ASSERT_GE(fd, 0) << "connection " << i;
    if (i % 2) rawSend(fd, "\x7fgarbage\n", 9);
    rawClose(fd, i % 3 == 2);
    if (i % 8 == 7) usleep(4000);
  }
  std::vector<int> burst;
  for (int i = 0; i < 100; ++i) {
    int fd = rawConnectStart(port);
    ASSERT_GE(fd, 0) << "client " << i;
    burst.push_back(fd);
  }
  // The opening message is 37 bytes; a fifth of the clients then die in
  // the middle of a message of their own.
  std::vector<long> heard = rawReadAtLeast(burst, 37, 30000);
  int unheard = 0;
  for (std::size_t i = 0; i < burst.size(); ++i) {
    if (heard[i] < 37) ++unheard;
    if (i % 5 == 0) {
      rawSend(burst[i], "\0\0\0\x40half", 8);
      rawClose(burst[i], i % 10 == 0);
      burst[i] = -1;
    }
  }
  EXPECT_EQ(unheard, 0) << "clients of the burst never opened";
  auto start = std::chrono::steady_clock::now();
  pingAndShutDown(*this, "tcp", port, peer);
  EXPECT_LT(secondsSince(start), 5.0);
  for (int fd : burst)
    if (fd >= 0) rawClose(fd);
}

// Waits for the peer to end, up to the time limit; false when it is still running.
bool endsWithin(PeerProcess& peer, int milliseconds, int* status) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    int raw = 0;
    pid_t r = waitpid(peer.pid, &raw, WNOHANG);
    if (r == peer.pid) {
      peer.pid = -1;
      *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
      return true;
    }
    if (std::chrono::steady_clock::now() >= end) return false;
    usleep(5000);
  }
}

// An idle service ends on a terminate signal, whether its clients have
// gone, are open, or have left replies unread: the loop is woken at once
// and the program ends normally. The limit is far beyond what that takes.
TEST_F(TwoProcesses, AnIdleServiceEndsOnATerminateSignal) {
  for (int clients : {0, 1, 2}) {
    SCOPED_TRACE(clients);
    PeerProcess peer({"tcp"}, VDAS_PEER);
    ASSERT_TRUE(peer.ready()) << peer.firstLine;
    std::string port = peer.firstLine.substr(6);
    vsession* open = nullptr;
    int unread = -1;
    if (clients >= 1) {
      open = connect("tcp", port);
      vsessionStatement* ping = start(open, signature("ping", -1, vdatatagINTEGER));
      vsessionStatementSetArgs(ping);
      finish(ping);
      vsessionStatementDestroy(ping);
    }
    if (clients >= 2) {
      // Calls whose replies fill the service's queue and are never read.
      std::string opening, call;
      captureCall(*this, port, &opening, &call);
      unread = rawConnect(port);
      ASSERT_GE(unread, 0);
      fcntl(unread, F_SETFL, fcntl(unread, F_GETFL) | O_NONBLOCK);  // what fits
      std::string burst = opening;
      for (int i = 0; i < 4000; ++i) burst += call;
      rawSend(unread, burst.data(), static_cast<int>(burst.size()));
    }
    // Idle: a call on another session is answered, so every byte sent has been read.
    vsession* probe = connect("tcp", port);
    vsessionStatement* ping = start(probe, signature("ping", -1, vdatatagINTEGER));
    vsessionStatementSetArgs(ping);
    finish(ping);
    vsessionStatementDestroy(ping);
    ASSERT_EQ(kill(peer.pid, SIGTERM), 0);
    int status = -2;
    EXPECT_TRUE(endsWithin(peer, 20000, &status)) << "the service was still running 20 s after the signal";
    EXPECT_EQ(status, 1) << "ended otherwise than by the signal's quit";
    vsessionDestroy(probe);
    if (open) vsessionDestroy(open);
    if (unread >= 0) rawClose(unread, true);
  }
}

// A client waiting on a service that does not answer, to open or to a
// call, ends on a terminate signal: the wait ends and the loop outside acts
// on the quit. The limit is far below the wait's slice of 45 s.
TEST_F(TwoProcesses, AClientWaitingOnASilentServiceEndsOnATerminateSignal) {
  auto signalAndJudge = [](PeerProcess& client) {
    ASSERT_EQ(kill(client.pid, SIGTERM), 0);
    int status = -2;
    EXPECT_TRUE(endsWithin(client, 10000, &status)) << "the client was still waiting 10 s after the signal";
    EXPECT_EQ(status, 1) << "ended otherwise than by the signal's quit";
  };
  {
    SCOPED_TRACE("opening");
    std::string port;
    int listener = rawListen(&port);  // connects, never answers
    ASSERT_GE(listener, 0);
    PeerProcess client({"call", port}, VDAS_PEER);
    ASSERT_TRUE(client.ready()) << client.firstLine;
    signalAndJudge(client);
    rawClose(listener);
  }
  {
    SCOPED_TRACE("call");
    PeerProcess service({"tcp"}, VDAS_PEER);
    ASSERT_TRUE(service.ready()) << service.firstLine;
    PeerProcess client({"call", service.firstLine.substr(6)}, VDAS_PEER);
    ASSERT_TRUE(client.ready()) << client.firstLine;
    std::string line;
    char c;
    while (read(client.out, &c, 1) == 1 && c != '\n') line += c;
    ASSERT_EQ(line, "open");
    // Stopped, the service answers no further call: the client's next wait does not end.
    ASSERT_EQ(kill(service.pid, SIGSTOP), 0);
    signalAndJudge(client);
  }
}

}  // namespace
