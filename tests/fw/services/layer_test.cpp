#include "fw/services/layer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Delivered {
  std::string body;
  bool inPlace;
};
std::vector<Delivered> delivered;
const char* inputBegin = nullptr;
const char* inputEnd = nullptr;

void recordMessage(vsessionRootFilter*, vsessionBlock* body) {
  const char* p = vsessionBlockBytes(body);
  delivered.push_back({std::string(p, vsessionBlockLength(body)), p >= inputBegin && p < inputEnd});
}

vsessionRootFilterClassRec* recordingClass() {
  static vsessionRootFilterClassRec* cls = nullptr;
  if (!cls) {
    cls = vclassSpawnOf<vsessionRootFilterClassRec>(vsessionMessageFilterGetDefaultClass());
    cls->message = recordMessage;
  }
  return cls;
}

std::string framed(const std::string& body) {
  std::uint32_t n = static_cast<std::uint32_t>(body.size());
  std::string s{static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)};
  return s + body;
}

struct Framing : ::testing::Test {
  vsessionRootFilter* filter = nullptr;
  void SetUp() override {
    delivered.clear();
    filter = static_cast<vsessionRootFilter*>(vinstanceCreate(recordingClass()));
  }
  void TearDown() override { vinstanceDestroy(filter); }
  // One read: the bytes in a block of their own, fed until empty.
  void read(const std::string& bytes) {
    vsessionBlock input{};
    vsessionBlockAppendBytes(&input, const_cast<char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), 0);
    inputBegin = input.data;
    inputEnd = input.data + input.capacity;
    vsessionProtocolFeedFilter(filter, &input);
    EXPECT_EQ(input.data, nullptr);  // reset after the read
    EXPECT_EQ(input.tail, 0u);
  }
};

TEST_F(Framing, LengthSplitAcrossReads) {
  std::string m = framed("abc");
  read(m.substr(0, 2));
  EXPECT_TRUE(delivered.empty());
  EXPECT_EQ(vsessionBlockLength(&filter->pending), 2u);
  read(m.substr(2));
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0].body, "abc");
  EXPECT_TRUE(delivered[0].inPlace);  // the length was pending, the body was not
  EXPECT_EQ(vsessionBlockLength(&filter->pending), 0u);
}

TEST_F(Framing, SeveralMessagesInOneReadAndBodiesSplit) {
  read(framed("one") + framed("") + framed("three") + framed("fo"));
  ASSERT_EQ(delivered.size(), 3u);  // an empty body is no message
  EXPECT_EQ(delivered[0].body, "one");
  EXPECT_EQ(delivered[1].body, "three");
  EXPECT_EQ(delivered[2].body, "fo");
  for (const auto& d : delivered) EXPECT_TRUE(d.inPlace);

  delivered.clear();
  std::string m = framed("split body") + framed("x");
  read(m.substr(0, 7));
  read(m.substr(7, 3));
  EXPECT_TRUE(delivered.empty());
  read(m.substr(10));
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_EQ(delivered[0].body, "split body");
  EXPECT_FALSE(delivered[0].inPlace);  // gathered in the pending block
  EXPECT_EQ(delivered[1].body, "x");
  EXPECT_TRUE(delivered[1].inPlace);
}

TEST_F(Framing, SetLengthAnswersWhetherKnown) {
  auto* rec = vsessionRec<vsessionRootFilterClassRec>(filter);
  EXPECT_EQ(rec->bytesNeeded(filter), 4u);
  EXPECT_EQ(rec->setLength(filter, 9), 1);
  EXPECT_EQ(rec->bytesNeeded(filter), 9u);
  EXPECT_EQ(rec->setLength(filter, 0), 0);
  EXPECT_EQ(rec->bytesNeeded(filter), 4u);
}

// Opening travels up from the transport; closing goes down from the
// protocol and comes back up.
std::vector<std::string> engineTrace;

TEST(Layering, OpenUpCloseDownClosedUp) {
  engineTrace.clear();
  vsessionEngine engine{};
  engine.sessionOpened = [](vsessionEngine* e) {
    engineTrace.push_back(std::string("opened") + ((e->flags & vsessionEngineOPEN) ? "+" : "-"));
  };
  engine.sessionClosed = [](vsessionEngine* e) {
    engineTrace.push_back(std::string("closed") + ((e->flags & vsessionEngineOPEN) ? "+" : "-"));
  };
  auto* t = static_cast<vsessionRootTransport*>(vinstanceCreate(vsessionRootTransportGetDefaultClass()));
  auto* p = static_cast<vsessionRootProtocol*>(vinstanceCreate(vsessionRootProtocolGetDefaultClass()));
  EXPECT_EQ(t->flags, 0u);
  EXPECT_TRUE(vclassIsSubclass(t->cls, vsessionRootTransportGetDefaultClass()));
  EXPECT_TRUE(vclassIsSubclass(p->cls, vsessionSyntheticComponentGetDefaultClass()));
  t->engine = p->engine = &engine;
  engine.transport = t;
  engine.protocol = p;

  vsessionComponentOpen(t);
  EXPECT_TRUE(t->flags & vsessionComponentOPEN);
  EXPECT_TRUE(p->flags & vsessionComponentOPEN);
  EXPECT_EQ(engineTrace, (std::vector<std::string>{"opened+"}));

  vsessionComponentClose(p);
  EXPECT_FALSE(t->flags & vsessionComponentOPEN);
  EXPECT_FALSE(p->flags & vsessionComponentOPEN);
  EXPECT_EQ(engineTrace, (std::vector<std::string>{"opened+", "closed-"}));

  // The root transport discards what it is sent and polls nothing.
  vsessionBlock b{};
  vsessionBlockAppendBytes(&b, const_cast<char*>("xyz"), 3, 0);
  auto* trec = vsessionRec<vsessionRootTransportClassRec>(t);
  trec->send(t, &b);
  EXPECT_EQ(vsessionBlockLength(&b), 0u);
  EXPECT_EQ(trec->poll(t, 1, 0), 0);
  vsessionBlockRelease(&b);
  vinstanceDestroy(t);
  vinstanceDestroy(p);
}

}  // namespace
