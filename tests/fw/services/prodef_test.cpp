#include "fw/services/prodef.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/services/vcomm.h"
#include "services_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<vcommChannel*> accepted;
std::vector<std::int32_t> codes;
void acceptPeer(vcommChannel* c, int event) {
  if (event == vcommEVENT_OPENED && c->client == &accepted) accepted.push_back(c);
}

Bytes frame(std::uint32_t id, std::uint8_t type, const Bytes& payload) {
  auto n = static_cast<std::uint32_t>(payload.size() + 5);
  Bytes b = {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
             static_cast<std::uint8_t>(n),       static_cast<std::uint8_t>(id),      static_cast<std::uint8_t>(id >> 8),
             static_cast<std::uint8_t>(id >> 16), static_cast<std::uint8_t>(id >> 24), type};
  for (std::uint8_t c : payload) b.push_back(c);
  return b;
}
Bytes nameField(const std::string& name) {
  Bytes b = {0x44, 2, static_cast<std::uint8_t>(name.size())};
  for (char c : name) b.push_back(static_cast<std::uint8_t>(c));
  return b;
}
std::string errorText(const Bytes& reply) {
  // length, id, type 3, status word, then the encoded text
  if (reply.size() < 17 || reply[8] != 3) return "<not an error reply>";
  std::size_t at = 14;
  std::size_t n = reply[at] == 0x44 ? reply[at + 2] : (reply[at + 2] | reply[at + 3] << 8);
  std::size_t start = at + (reply[at] == 0x44 ? 3 : 4);
  return std::string(reply.begin() + static_cast<std::ptrdiff_t>(start),
                     reply.begin() + static_cast<std::ptrdiff_t>(start + n));
}

// A session of this system against a peer whose bytes the test writes.
struct Protocol : ServicesTest {
  vcommChannel* listener = nullptr;
  vcommChannel* peer = nullptr;
  vsession* session = nullptr;
  vsignature* operation = nullptr;
  void SetUp() override {
    ServicesTest::SetUp();
    accepted.clear();
    codes.clear();
    vcommAddress a;
    vcommAddressInit(&a);
    vcommAddressSetTransport(&a, vnameInternLiteral("tcp"));
    vcommAddressSetLocation(&a, vscribeLiteral("127.0.0.1"));
    vcommAddressSetPort(&a, vscribeLiteral("0"));
    listener = vcommListen(&a, acceptPeer);
    listener->client = &accepted;
    vcommAddressClear(&a);
    session = vsessionCreate();
    session->notify = [](vsession*, std::int32_t* code) { codes.push_back(*code); };
    auto key = vsessionGetAttributeKey;
    vsessionSetAttribute(session, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral("tcp"));
    vsessionSetAttribute(session, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
    vsessionSetAttribute(session, key(vsessionPORT), vsessionStringDatatag(), listener->local.port);
    operation = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
    operation->tag = vnameInternLiteral("abc");
  }
  void TearDown() override {
    if (session) vsessionDestroy(session);
    vinstanceDestroy(operation);
    ServicesTest::TearDown();
  }
  void open() {
    vsessionOpen(session);
    ASSERT_TRUE(pumpUntil([] { return !accepted.empty(); }));
    peer = accepted[0];
  }
  Bytes read(std::size_t n) {
    EXPECT_TRUE(pumpUntil([&] { return vcommAvailable(peer) >= static_cast<long>(n); })) << "waiting for " << n;
    Bytes b(n);
    long got = vcommRead(peer, b.data(), n);
    b.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return b;
  }
  Bytes readMessage() {
    Bytes head = read(4);
    if (head.size() < 4) return head;
    std::uint32_t n = static_cast<std::uint32_t>(head[0]) << 24 | head[1] << 16 | head[2] << 8 | head[3];
    for (std::uint8_t c : read(n)) head.push_back(c);
    return head;
  }
  void write(const Bytes& b) { ASSERT_EQ(vcommWrite(peer, b.data(), b.size()), static_cast<long>(b.size())); }
  void announcePeer() {
    write(Bytes(_vdasprodefOpening, _vdasprodefOpening + sizeof _vdasprodefOpening));
    ASSERT_TRUE(pumpUntil([this] { return (session->flags & vsessionOPEN) != 0; }));
  }
  vsessionStatement* call() {
    vsessionStatement* st = vsessionStatementCreate();
    vsessionStatementSetSession(st, session);
    vsessionStatementSetOperation(st, operation);
    vsessionStatementSend(st);
    return st;
  }
  vsessionDefaultProtocol* protocol() {
    auto* e = static_cast<vsessionSyntheticEngine*>(session->record->engine);
    return static_cast<vsessionDefaultProtocol*>(e->link.protocol);
  }
};

// The opening is the 37 bytes, a call made while opening goes out after
// the peer's settings, ids run to 16777214 and start again at 1, replies
// complete statements by their status words.
TEST_F(Protocol, OpeningQueuedCallsIdsAndReplies) {
  open();
  EXPECT_STREQ(vsessionGetAttributeTag(session, vsessionGetAttributeKey(vsessionPROTOCOL_CLASS)),
               "vsessionDefaultProtocol");
  EXPECT_STREQ(vsessionGetAttributeTag(session, vsessionGetAttributeKey(vsessionTRANSPORT_CLASS)),
               "vsessionChannelTransport");
  EXPECT_EQ(read(37), Bytes(_vdasprodefOpening, _vdasprodefOpening + 37));
  EXPECT_EQ(_vdasprodefOpening[14], 22);
  vsessionStatement* early = call();
  EXPECT_EQ(vsessionStatementGetState(early), vsessionStatementPENDING);
  EXPECT_EQ(vcommAvailable(peer), 0);  // queued
  announcePeer();
  EXPECT_EQ(codes, (std::vector<std::int32_t>{vsessionOPENED}));
  Bytes abc = {0, 0, 0, 11, 1, 0, 0, 0, 1, 0x44, 2, 3, 'a', 'b', 'c'};
  EXPECT_EQ(readMessage(), abc);

  protocol()->nextId = 16777214;
  vsessionStatement* last = call();
  vsessionStatement* wrapped = call();
  EXPECT_EQ(readMessage()[4], 0xFE);
  Bytes again = readMessage();
  EXPECT_EQ(Bytes(again.begin() + 4, again.begin() + 8), (Bytes{1, 0, 0, 0}));  // not 0xFFFFFF
  EXPECT_EQ(wrapped->state & vsessionStatementNUMBER_MASK, 1u);

  struct Row {
    const char* name;
    vsessionStatement* st;
    std::uint32_t id;
    std::uint8_t type;
    Bytes status;
    std::uint32_t state;
  } rows[] = {
      {"more to follow", last, 16777214, 2, {0x12, 0x00, 0x80, 0, 0}, vsessionStatementPENDING},
      {"result", last, 16777214, 2, {0x12, 0, 0, 0, 0}, vsessionStatementDONE},
      {"big-endian error", wrapped, 1, 2, {0x1A, 0, 0, 0, 3}, vsessionStatementERROR},
      {"no such id", early, 77, 2, {0x12, 0, 0, 0, 0}, vsessionStatementPENDING},
      {"id zero", early, 0, 2, {0x12, 0, 0, 0, 0}, vsessionStatementPENDING},
      {"error reply", early, 1, 3, {0x12, 3, 0, 0, 0}, vsessionStatementPENDING},  // id 1 is no longer waited for
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    write(frame(row.id, row.type, row.status));
    ASSERT_TRUE(pumpUntil([&] { return vsessionStatementGetState(row.st) == row.state; }, 500) ||
                vsessionStatementGetState(row.st) == row.state);
  }
  for (auto* st : {early, last, wrapped}) vsessionStatementDestroy(st);
}

// Calls from the peer that this side cannot serve are answered with error
// replies naming the fault and the operator, the received id echoed.
TEST_F(Protocol, MalformedCallsAnswerErrorReplies) {
  open();
  read(37);
  announcePeer();
  vnameInternLiteral("knownButNotServed");
  std::string longName(250, 'q');
  Bytes twoByte = {0x45, 2, 44, 1};
  twoByte.resize(twoByte.size() + 300, 'n');
  struct Row {
    const char* name;
    Bytes message;
    std::string text;
  } rows[] = {
      {"short header", frame(5, 1, {0x44, 2}), "Not enough bytes in operator header ()"},
      {"two-byte name", frame(5, 1, twoByte), "Expected encoded string with operator name ()"},
      {"not latin-1", frame(5, 1, {0x44, 3, 1, 'x'}), "Expected latin1 string encoding ()"},
      {"name cut short", frame(5, 1, {0x44, 2, 9, 'x'}), "Too few bytes for specified operator name ()"},
      {"never interned", frame(5, 1, nameField("zzNeverSeenName")), "Unknown primitive name (zzNeverSeenName)"},
      {"no service", frame(5, 1, nameField("knownButNotServed")),
       "Unknown primitive - no service for session (knownButNotServed)"},
      {"unknown type", frame(5, 9, {}), "Unknown Operator ()"},
      {"long text", frame(5, 1, nameField(longName)), "Unknown primitive name (" + longName + ")"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    write(row.message);
    Bytes reply = readMessage();
    ASSERT_GE(reply.size(), 17u);
    EXPECT_EQ(Bytes(reply.begin() + 4, reply.begin() + 14), (Bytes{5, 0, 0, 0, 3, 0x12, 3, 0, 0, 0}));
    EXPECT_EQ(reply[14], row.text.size() > 255 ? 0x45 : 0x44);
    EXPECT_EQ(errorText(reply), row.text);
  }
  EXPECT_FALSE(vnameFind(vscribeLiteral("zzNeverSeenName")));  // the lookup did not intern
  EXPECT_TRUE(session->flags & vsessionOPEN);
}

// Calls the session's service serves: the result travels back after the
// received id; a name the service lacks and a primitive that raises are
// answered with error replies.
TEST_F(Protocol, ServedCallsReplyWithResultsOrErrors) {
  vdatatag* string = vdatatagGetPredefined(vdatatagSTRING);
  vsignature* signatures[2];
  vservice* service = vserviceCreate();
  const char* names[2] = {"echo", "boom"};
  for (int i = 0; i < 2; ++i) {
    signatures[i] = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
    signatures[i]->tag = vnameInternLiteral(names[i]);
    vsignatureAddDatatags(signatures[i], string, nullptr);
    signatures[i]->returnValue = string;
    vservicePrimitive* p = vservicePrimitiveCreate();
    p->signature = signatures[i];
    p->handler = i == 0 ? [](vservicePrimitive* self, vsession*, vinstance* args) -> vinstance* {
      char* text = nullptr;
      vservicePrimitiveGetArgs(self, args, &text);
      return vdatatagCreateScrapWithValue(vdatatagGetPredefined(vdatatagSTRING), text);
    }
                        : [](vservicePrimitive*, vsession*, vinstance*) -> vinstance* {
      vexGenerateMessage(&vexArgRangeClass, "boom");
    };
    vserviceAddPrimitive(service, p);
  }
  vnameInternLiteral("notServedHere");
  vsessionSetService(session, service);
  open();
  read(37);
  announcePeer();

  // The argument as this system encodes it.
  _vdasprodefScrap* args = _vdasprodefCreateScrap(&signatures[0]->arguments, vsessionScrapLIST);
  vinstance* values = vdatatagCreateListScrapWithValue(&signatures[0]->arguments, "hello there");
  vscrapImport(vscrapWalk(values), vscrapWalk(args));
  vinstanceDestroy(values);
  auto* at = reinterpret_cast<const std::uint8_t*>(vsessionBlockBytes(&args->own));
  Bytes encoded(at, at + vsessionBlockLength(&args->own));
  vinstanceDestroy(args);

  Bytes payload = nameField("echo");
  for (std::uint8_t c : encoded) payload.push_back(c);
  write(frame(0x04030201, 1, payload));
  Bytes reply = readMessage();
  ASSERT_GE(reply.size(), 14u);
  EXPECT_EQ(Bytes(reply.begin() + 4, reply.begin() + 14), (Bytes{1, 2, 3, 4, 2, 0x12, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(reply.begin() + 14, reply.end()), encoded);

  struct Row {
    std::string name;
    std::string text;
  } rows[] = {
      {"notServedHere", "Unknown primitive in service (notServedHere)"},
      {"boom", "Trapped exception while invoking primitive (boom)"},
  };
  for (const Row& row : rows) {
    payload = nameField(row.name);
    for (std::uint8_t c : encoded) payload.push_back(c);
    write(frame(9, 1, payload));
    EXPECT_EQ(errorText(readMessage()), row.text);
  }
  vsessionSetService(session, nullptr);
  vserviceDestroy(service);
  for (vsignature* sig : signatures) vinstanceDestroy(sig);
}

// The close handshake: a close request is acknowledged and marks the
// session closing; when the peer then closes, pending statements are
// cancelled. Our own close sends the request and waits for the answer.
TEST_F(Protocol, CloseHandshakeAndGivingUp) {
  open();
  read(37);
  announcePeer();
  vsessionStatement* st = call();
  readMessage();
  write(frame(0xFFFFFFFF, 5, {}));
  EXPECT_EQ(readMessage(), (Bytes{0, 0, 0, 5, 0xFF, 0xFF, 0xFF, 0xFF, 6}));
  EXPECT_TRUE(session->flags & vsessionCLOSING);
  vcommChannelDestroy(peer);
  ASSERT_TRUE(pumpUntil([this] { return (session->flags & vsessionCLOSED_FLAG) != 0; }));
  EXPECT_EQ(vsessionStatementGetState(st), vsessionStatementCANCELLED);
  vsessionStatementDestroy(st);

  // Our close: the request goes out, the acknowledgement closes the channel.
  accepted.clear();
  codes.clear();
  open();
  read(37);
  announcePeer();
  vsessionClose(session);
  EXPECT_EQ(readMessage(), (Bytes{0, 0, 0, 5, 0xFF, 0xFF, 0xFF, 0xFF, 5}));
  EXPECT_FALSE(session->flags & vsessionCLOSED_FLAG);
  write(frame(0xFFFFFFFF, 6, {}));
  ASSERT_TRUE(pumpUntil([this] { return (session->flags & vsessionCLOSED_FLAG) != 0; }));
  EXPECT_EQ(codes.back(), vsessionCLOSED);

  // A body beyond 16 MiB, a wrong magic, a malformed settings field: the
  // session closes and nothing is sent.
  struct Row {
    const char* name;
    Bytes bytes;
  } rows[] = {
      {"huge length", {0x01, 0x00, 0x00, 0x01}},
      {"wrong magic", {'v', 'd', 'a', 's', '.', 'p', 'r', 'o', '.', '2', 0}},
      {"settings field 9", {0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xFF, 4, 9, 0}},
      {"version 2", {0, 0, 0, 8, 0xFF, 0xFF, 0xFF, 0xFF, 4, 1, 2, 6}},
      {"settings cut short", {0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xFF, 4, 2, 0x20}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    accepted.clear();
    codes.clear();
    open();
    read(37);
    vsessionStatement* queued = call();
    Bytes b = row.bytes;
    if (std::string(row.name) != "wrong magic") {
      b = Bytes(_vdasprodefOpening, _vdasprodefOpening + 11);
      for (std::uint8_t c : row.bytes) b.push_back(c);
    }
    write(b);
    ASSERT_TRUE(pumpUntil([this] { return (session->flags & vsessionCLOSED_FLAG) != 0; }));
    EXPECT_EQ(vsessionStatementGetState(queued), vsessionStatementFAILED);
    pumpUntil([] { return false; }, 30);
    if (peer->flags & vcommChannelOPEN) {
      EXPECT_EQ(vcommAvailable(peer), 0);  // nothing was sent
    }
    vsessionStatementDestroy(queued);
  }
}

}  // namespace
