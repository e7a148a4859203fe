#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fw/services/repdef.h"
#include "fw/services/session.h"
#include "services_support.h"

namespace {

// What the test engine does when sent a statement and when polled.
std::function<void(vsessionStatement*)> onSend;
std::function<int(const vsysTime*)> onPoll;
std::vector<std::string> trace;

struct Statements : ServicesTest {
  vsession* session = nullptr;
  vsignature* operation = nullptr;
  void SetUp() override {
    ServicesTest::SetUp();
    trace.clear();
    onSend = [this](vsessionStatement* st) { _vsessionAddStatement(session, st, 1); };
    onPoll = [](const vsysTime*) { return 0; };
    auto* e = vclassSpawnOf<vsessionEngineRootClassRec>(vsessionEngineRootGetClass());
    vclassSetName(e, vscribeLiteral("TestStatementEngine"));
    e->send = [](vsessionEngineRoot*, vsessionStatement* st) { onSend(st); };
    e->poll = [](vsessionEngineRoot*, const vsysTime* t) { return onPoll(t); };
    session = vsessionCreate();
    vsessionSetEngine(session, static_cast<vsessionEngineRoot*>(vinstanceCreate(e)));
    operation = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
    vsignatureAddDatatags(operation, vdatatagGetPredefined(vdatatagINTEGER), vdatatagGetPredefined(vdatatagSTRING),
                          nullptr);
    operation->returnValue = vdatatagGetPredefined(vdatatagINTEGER);
  }
  void TearDown() override {
    vsessionDestroy(session);
    vinstanceDestroy(operation);
    ServicesTest::TearDown();
  }
  vsessionStatement* sent() {
    vsessionStatement* st = vsessionStatementCreate();
    vsessionStatementSetSession(st, session);
    vsessionStatementSetOperation(st, operation);
    vsessionStatementSetArgs(st, 5, "five");
    vsessionStatementSend(st);
    return st;
  }
  static void reply(vsessionStatement* st, std::int32_t kind, int value) {
    st->result = vdatatagCreateScrapWithValue(vdatatagGetPredefined(vdatatagINTEGER), value);
    vsessionReply r{kind};
    vsessionStatementComplete(st, &r);
  }
};

// A statement made in the caller's memory runs the same course and its
// destroy leaves that memory alone (ASan would see a free of it).
TEST_F(Statements, MadeInPlaceInTheCallersMemory) {
  alignas(vsessionStatement) unsigned char memory[sizeof(vsessionStatement)];
  auto* st = reinterpret_cast<vsessionStatement*>(memory);
  vsessionStatementInit(st);
  EXPECT_EQ(st->cls, static_cast<vclass*>(vsessionStatementGetClass()));
  vsessionStatementSetSession(st, session);
  vsessionStatementSetOperation(st, operation);
  vsessionStatementSetArgs(st, 7, "seven");
  vsessionStatementSend(st);
  EXPECT_EQ(vsessionStatementGetState(st), vsessionStatementPENDING);
  reply(st, vsessionREPLY_RESULT, 9);
  std::int32_t out = 0;
  vsessionStatementGetResult(st, &out);
  EXPECT_EQ(out, 9);
  vsessionStatementDestroy(st);
}

// Arguments made by the engine from C values, sent, answered, and the
// result read back into C; misuse raises Arg.
TEST_F(Statements, ArgumentsSendReplyAndResult) {
  vsessionStatement* st = sent();
  ASSERT_NE(st->arguments, nullptr);
  EXPECT_EQ(st->arguments->cls, static_cast<vclass*>(vsessionGetEngineScrapClass()));
  EXPECT_EQ(vsessionStatementGetState(st), vsessionStatementPENDING);
  EXPECT_FALSE(session->flags & vsessionBUSY);
  EXPECT_EQ(caught([&] { vsessionStatementSetOperation(st, operation); }).cls, &vexArgClass);
  std::int32_t out = 0;
  EXPECT_EQ(caught([&] { vsessionStatementGetResult(st, &out); }).cls, &vexArgClass);

  reply(st, vsessionREPLY_RESULT, 42);
  EXPECT_EQ(vsessionStatementGetState(st), vsessionStatementDONE);
  EXPECT_TRUE(st->state & vsessionStatementTYPEABLE);  // no callback: kept typeable
  vsessionStatementGetResult(st, &out);
  EXPECT_EQ(out, 42);
  EXPECT_EQ(vsessionStatementWait(st, nullptr), 1);  // no longer pending
  vsessionStatementDestroy(st);

  vsessionStatement* bare = vsessionStatementCreate();
  EXPECT_EQ(caught([&] { vsessionStatementSetArgs(bare, 1, "x"); }).cls, &vexArgClass);
  EXPECT_EQ(caught([&] { vsessionStatementSend(bare); }).cls, &vexArgClass);
  // Without a session the root engine class makes the arguments.
  vsessionStatementSetOperation(bare, operation);
  vsessionStatementSetArgs(bare, 1, "x");
  EXPECT_EQ(bare->arguments->cls, static_cast<vclass*>(vsessionGetEngineScrapClass()));
  vsessionStatementDestroy(bare);
}

// An engine that raises while sending fails the statement; the raise stops
// there and the session is not left busy.
TEST_F(Statements, ARaisingSendFailsTheStatement) {
  onSend = [](vsessionStatement*) { vexGenerateMessage(&vexArgClass, "no way"); };
  vsessionStatement* st = nullptr;
  Caught r = caught([&] { st = sent(); });
  EXPECT_EQ(r.cls, nullptr);
  ASSERT_NE(st, nullptr);
  EXPECT_EQ(vsessionStatementGetState(st), vsessionStatementFAILED);
  EXPECT_FALSE(session->flags & vsessionBUSY);
  vsessionStatementDestroy(st);
}

// Waiting: a zero time-out gives up, a reply during a poll ends the wait,
// a poll that finds nothing more ends it, and a raise reaches the caller
// with the waiting bit and the busy period ended.
TEST_F(Statements, WaitDeadlinesPollsAndRaises) {
  struct Row {
    const char* name;
    bool withTimeout;
    int answerAtPoll;  // the poll that delivers the reply, 0 never
    int pollResult;
    bool raises;
    int expected;
  } rows[] = {
      {"zero time-out", true, 0, 1, false, 0},
      {"reply on the third poll", true, 3, 1, false, 1},
      {"reply without a time-out", false, 2, 1, false, 1},
      {"nothing more to poll", false, 0, 0, false, 0},
      {"poll raises", false, 0, 1, true, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    vsessionStatement* st = sent();
    int polls = 0;
    onPoll = [&](const vsysTime* t) {
      ++polls;
      EXPECT_TRUE(st->state & vsessionStatementWAITING);
      EXPECT_TRUE(session->flags & vsessionBUSY);
      if (row.withTimeout && t) { EXPECT_LE(t->seconds, 0); }
      if (row.raises) vexGenerateMessage(&vexArgRangeClass, "poll failed");
      if (polls == row.answerAtPoll) reply(st, vsessionREPLY_RESULT, polls);
      return polls > 50 ? 0 : row.pollResult;  // a runaway wait still ends
    };
    vsysTime zero{0, 0};
    int got = -1;
    Caught r = caught([&] { got = vsessionStatementWait(st, row.withTimeout ? &zero : nullptr); });
    EXPECT_EQ(r.cls, row.raises ? &vexArgRangeClass : nullptr);
    if (!row.raises) { EXPECT_EQ(got, row.expected); }
    if (row.answerAtPoll) { EXPECT_EQ(polls, row.answerAtPoll); }
    EXPECT_FALSE(st->state & vsessionStatementWAITING);
    EXPECT_FALSE(session->flags & vsessionBUSY);
    onPoll = [](const vsysTime*) { return 0; };
    vsessionStatementDestroy(st);
  }
}

// A reply with more to follow leaves the statement pending and registered;
// a destroy asked for from a completion or during a wait waits for them.
TEST_F(Statements, MoreRepliesAndDeferredDestroys) {
  vsessionStatement* st = sent();
  st->completion = [](vsessionStatement* self, vsessionReply* r) {
    trace.push_back("reply " + std::to_string(r->kind));
    if (!(r->kind & vsessionREPLY_MORE)) {
      vsessionStatementDestroy(self);
      trace.push_back(self->state & vsessionStatementDESTROY_WHEN_DONE ? "deferred" : "gone");
    }
  };
  vsessionReply more{vsessionREPLY_RESULT | vsessionREPLY_MORE};
  vsessionStatementComplete(st, &more);
  EXPECT_EQ(vsessionStatementGetState(st), vsessionStatementPENDING);
  EXPECT_EQ(st->state & vsessionStatementNUMBER_MASK, 1u);
  EXPECT_EQ(vdictCount(session->record->pending), 1u);
  vsessionReply done{vsessionREPLY_ERROR};
  vsessionStatementComplete(st, &done);  // destroyed once the callback returned
  EXPECT_EQ(trace, (std::vector<std::string>{"reply 32768", "reply 3", "deferred"}));
  EXPECT_EQ(vdictCount(session->record->pending), 0u);

  vsessionStatement* waited = sent();
  onPoll = [&](const vsysTime*) {
    vsessionStatementDestroy(waited);
    EXPECT_TRUE(waited->state & vsessionStatementDESTROY_WHEN_DONE);
    reply(waited, vsessionREPLY_RESULT, 1);
    EXPECT_EQ(vsessionStatementGetState(waited), vsessionStatementDONE);  // still here
    return 1;
  };
  EXPECT_EQ(vsessionStatementWait(waited, nullptr), 1);
  EXPECT_EQ(vdictCount(session->record->pending), 0u);
}

}  // namespace
