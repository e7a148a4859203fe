#include "platform/net/dde.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>

#include <chrono>
#include <string>
#include <vector>

#include "fw/services/peer_process.h"
#include "fw/services/raw_socket.h"
#include "platform/win.h"

using namespace win;

namespace {

// One client instance whose callback records what it saw, and whether it
// ran while a DDE call of ours was in progress.
struct Seen {
  UINT type;
  std::string text;
};
std::vector<Seen> seen;
int inCall = 0, callbacksInsideCalls = 0;

HDDEDATA recordingCallback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
  if (inCall) ++callbacksInsideCalls;
  std::string text;
  if (data) {
    text.resize(DdeGetData(data, nullptr, 0, 0));
    DdeGetData(data, reinterpret_cast<BYTE*>(text.data()), static_cast<DWORD>(text.size()), 0);
  }
  seen.push_back({type, text});
  return type == XTYP_CONNECT ? reinterpret_cast<HDDEDATA>(1) : reinterpret_cast<HDDEDATA>(DDE_FACK);
}

void pump(int milliseconds, const std::function<bool()>& done = [] { return false; }) {
  ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  UINT_PTR tick = SetTimer(nullptr, 0, 10, nullptr);
  while (!done() && GetTickCount64() < end) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    if (!done()) WaitMessage();
  }
  KillTimer(nullptr, tick);
}

struct Dde : ::testing::Test {
  DWORD inst = 0;
  void SetUp() override {
    seen.clear();
    inCall = callbacksInsideCalls = 0;
    ASSERT_EQ(DdeInitializeA(&inst, recordingCallback, APPCMD_FILTERINITS, 0), DMLERR_NO_ERROR);
  }
  void TearDown() override {
    DdeUninitialize(inst);
    DdeSetSizeRounding(0);
  }
  HSZ hsz(const std::string& text) { return DdeCreateStringHandleA(inst, text.c_str(), CP_WINANSI); }
  HDDEDATA transact(HCONV conv, const std::string& item, UINT type, const std::string& data, DWORD* result) {
    ++inCall;
    HDDEDATA r = DdeClientTransaction(reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()),
                                      conv, hsz(item), CF_TEXT, type, 5000, result);
    --inCall;
    return r;
  }
};

TEST_F(Dde, StringHandlesAreOnePerTextWithoutCase) {
  HSZ a = hsz("Vcomm"), b = hsz("vCOMM"), c = hsz("other");
  EXPECT_EQ(a, b);
  EXPECT_EQ(DdeCmpStringHandles(a, b), 0);
  EXPECT_EQ(DdeCmpStringHandles(a, c), 1);
  EXPECT_EQ(DdeCmpStringHandles(c, a), -1);
  char text[4];
  EXPECT_EQ(DdeQueryStringA(inst, a, nullptr, 0, CP_WINANSI), 5u);
  EXPECT_EQ(DdeQueryStringA(inst, a, text, sizeof text, CP_WINANSI), 3u);
  EXPECT_STREQ(text, "Vco");
  // Counted: the text lives until its last handle is freed.
  EXPECT_TRUE(DdeFreeStringHandle(inst, a));
  EXPECT_EQ(DdeQueryStringA(inst, b, nullptr, 0, CP_WINANSI), 5u);
  EXPECT_TRUE(DdeFreeStringHandle(inst, b));
  EXPECT_FALSE(DdeFreeStringHandle(inst, b));
}

TEST_F(Dde, DataHandleSizesWithAndWithoutRounding) {
  struct Row {
    int round;
    DWORD made, sizeAfterMaking, addedAt, sizeAfterAdding;
  };
  const Row rows[] = {{0, 5, 5, 5, 6}, {0, 0, 0, 0, 1}, {1, 5, 16, 15, 16}, {1, 16, 16, 16, 32}, {1, 17, 32, 40, 48}};
  for (const Row& r : rows) {
    DdeSetSizeRounding(r.round);
    std::string payload(r.made, 'p');
    HDDEDATA h = DdeCreateDataHandle(inst, reinterpret_cast<const BYTE*>(payload.data()), r.made, 0, nullptr,
                                     CF_TEXT, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DdeGetData(h, nullptr, 0, 0), r.sizeAfterMaking) << r.made;
    BYTE count = 7;
    EXPECT_EQ(DdeAddData(h, &count, 1, r.addedAt), h);
    EXPECT_EQ(DdeGetData(h, nullptr, 0, 0), r.sizeAfterAdding) << r.made;
    std::vector<BYTE> back(r.sizeAfterAdding);
    EXPECT_EQ(DdeGetData(h, back.data(), r.sizeAfterAdding, 0), r.sizeAfterAdding);
    EXPECT_EQ(back[r.addedAt], 7);
    if (r.made) {
      EXPECT_EQ(back[0], 'p');
    }
    EXPECT_TRUE(DdeFreeDataHandle(h));
  }
}

TEST_F(Dde, ConnectingToAnUnknownServiceFails) {
  EXPECT_EQ(DdeConnect(inst, hsz(uniqueName("nobody")), hsz("vcomm"), nullptr), nullptr);
  EXPECT_EQ(DdeGetLastError(inst), DMLERR_NO_CONV_ESTABLISHED);
  EXPECT_EQ(DdeGetLastError(inst), DMLERR_NO_ERROR);  // read once
  // A registered name is taken until it is unregistered.
  HSZ mine = hsz(uniqueName("mine"));
  DWORD other = 0;
  ASSERT_EQ(DdeInitializeA(&other, recordingCallback, 0, 0), DMLERR_NO_ERROR);
  EXPECT_NE(DdeNameService(inst, mine, nullptr, DNS_REGISTER), nullptr);
  EXPECT_EQ(DdeNameService(other, mine, nullptr, DNS_REGISTER), nullptr);
  EXPECT_NE(DdeNameService(inst, mine, nullptr, DNS_UNREGISTER), nullptr);
  EXPECT_NE(DdeNameService(other, mine, nullptr, DNS_REGISTER), nullptr);
  DdeUninitialize(other);
}

// A peer process answers pokes with advises; everything our callback sees
// arrives from the message loop, in order, never during a transaction.
TEST_F(Dde, ConversationWithAPeerAndItsEnd) {
  std::string service = uniqueName("echo");
  PeerProcess peer({"dde-echo", service});
  ASSERT_TRUE(peer.ready()) << peer.firstLine;
  ++inCall;
  HCONV conv = DdeConnect(inst, hsz(service), hsz("vcomm"), nullptr);
  --inCall;
  ASSERT_NE(conv, nullptr);
  DWORD result = 0;
  ASSERT_NE(transact(conv, "item1", XTYP_ADVSTART, "", &result), nullptr);
  EXPECT_NE(transact(conv, "item1", XTYP_POKE, "one", &result), nullptr);
  EXPECT_EQ(result, DDE_FACK);
  EXPECT_NE(transact(conv, "item1", XTYP_POKE, "two", &result), nullptr);
  EXPECT_TRUE(seen.empty());
  pump(3000, [] { return seen.size() >= 2; });
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].type, XTYP_ADVDATA);
  EXPECT_EQ(seen[0].text, "echo:one");
  EXPECT_EQ(seen[1].text, "echo:two");

  // A dead peer: the poke fails and says why, and the loop tells the end.
  peer.kill();
  EXPECT_EQ(transact(conv, "item1", XTYP_POKE, "three", &result), nullptr);
  EXPECT_EQ(DdeGetLastError(inst), DMLERR_NO_CONV_ESTABLISHED);
  pump(3000, [] { return seen.size() >= 3; });
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2].type, XTYP_DISCONNECT);
  EXPECT_EQ(callbacksInsideCalls, 0);
}

// A server whose callback holds a poke back: the conversation is neither
// answered nor read meanwhile, however much its peer sends; let go on, it
// takes that same poke first, then the rest in order, each answered once.
TEST_F(Dde, APokeHeldBackHoldsItsConversation) {
  static bool holding;
  static std::vector<std::string> pokes;
  holding = true;
  pokes.clear();
  DWORD server = 0;
  ASSERT_EQ(DdeInitializeA(&server,
                           [](UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR) -> HDDEDATA {
                             if (type == XTYP_CONNECT || type == XTYP_ADVSTART) return reinterpret_cast<HDDEDATA>(1);
                             if (type != XTYP_POKE) return nullptr;
                             std::string text(DdeGetData(data, nullptr, 0, 0), '\0');
                             DdeGetData(data, reinterpret_cast<BYTE*>(text.data()), static_cast<DWORD>(text.size()), 0);
                             pokes.push_back(text.size() > 64 ? "big" : text);
                             return holding ? CBR_BLOCK : reinterpret_cast<HDDEDATA>(DDE_FACK);
                           },
                           APPCMD_FILTERINITS, 0),
            DMLERR_NO_ERROR);
  std::string service = uniqueName("holding");
  ASSERT_NE(DdeNameService(server, DdeCreateStringHandleA(server, service.c_str(), CP_WINANSI), nullptr, DNS_REGISTER),
            nullptr);
  int fd = rawDdeConnect(service);
  ASSERT_GE(fd, 0);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  std::string opening = rawDdeOpening("item") + rawDdePoke("item", "first") + rawDdePoke("item", "second");
  ASSERT_EQ(::send(fd, opening.data(), opening.size(), MSG_NOSIGNAL), static_cast<long>(opening.size()));
  pump(3000, [] { return !pokes.empty(); });
  ASSERT_EQ(pokes, std::vector<std::string>{"first\1"});
  // Pokes of 64 KiB as fast as the connection takes them.
  const std::string big = rawDdePoke("item", std::string(65536, 'b'));
  long sent = 0;
  for (int round = 0; round < 100; ++round) {
    for (long n; (n = ::send(fd, big.data(), big.size(), MSG_NOSIGNAL)) > 0;) sent += n;
    pump(5);
  }
  EXPECT_EQ(pokes.size(), 1u) << "a held conversation was handled on";
  EXPECT_LT(sent, 4L << 20) << "a held conversation was read on";
  // The answers so far: the connect's and the advise start's only.
  char answers[4096];
  long heard = ::recv(fd, answers, sizeof answers, 0);
  holding = false;
  DdeEnableCallback(server, nullptr, EC_ENABLEALL);
  std::size_t expected = 3 + static_cast<std::size_t>(sent) / big.size();
  pump(10000, [&] { return pokes.size() >= expected; });
  ASSERT_GE(pokes.size(), 3u);
  EXPECT_EQ(pokes[1], "first\1");
  EXPECT_EQ(pokes[2], "second\1");
  EXPECT_EQ(pokes.size(), expected);
  // Frames of 13 bytes: accept, advise start's ack, then one per poke taken.
  long acks = 0, want = static_cast<long>(expected - 1) * 13;
  pump(10000, [&] {
    for (long n; (n = ::recv(fd, answers, sizeof answers, 0)) > 0;) acks += n;
    return acks >= want;
  });
  EXPECT_EQ(heard, 2 * 13);
  EXPECT_EQ(acks, want);
  rawClose(fd);
  DdeUninitialize(server);
}

// A server in this process cannot answer while we wait (its callback runs
// only from the loop): the connect gives up after 5000 ms of the virtual
// clock, and the server hears of the attempt later, from the loop.
TEST_F(Dde, TimeOutOnTheVirtualClock) {
  UseVirtualClock(true);
  HSZ service = hsz(uniqueName("slow"));
  ASSERT_NE(DdeNameService(inst, service, nullptr, DNS_REGISTER), nullptr);
  ULONGLONG before = GetTickCount64();
  auto real = std::chrono::steady_clock::now();
  ++inCall;
  EXPECT_EQ(DdeConnect(inst, service, hsz("vcomm"), nullptr), nullptr);
  --inCall;
  EXPECT_GE(GetTickCount64() - before, 5000u);
  // A wait on the real clock would have taken the 5 s itself.
  EXPECT_LT(std::chrono::steady_clock::now() - real, std::chrono::seconds(5));
  EXPECT_EQ(DdeGetLastError(inst), DMLERR_NO_CONV_ESTABLISHED);
  EXPECT_TRUE(seen.empty());
  pump(500, [] { return !seen.empty(); });
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0].type, XTYP_CONNECT);
  EXPECT_EQ(callbacksInsideCalls, 0);
  UseVirtualClock(false);
}

}  // namespace
