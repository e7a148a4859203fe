#include "fw/services/session.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fw/services/prodef.h"
#include "fw/services/repdef.h"
#include "fw/services/service.h"
#include "services_support.h"

namespace {

std::string text(vscribe* s) {
  if (!s) return "<unset>";
  char buffer[256];
  vscribeGetStringBounded(s, buffer, sizeof buffer);
  return buffer;
}

vname key(int index) { return vsessionGetAttributeKey(index); }

std::vector<std::string> trace;  // what the callbacks and test components saw

struct Sessions : ServicesTest {
  void SetUp() override {
    ServicesTest::SetUp();
    trace.clear();
  }
  static vsession* sessionWithEngine(const char* engineClass, vsessionNotify notify) {
    vsession* s = vsessionCreate();
    s->notify = notify;
    vsessionSetAttribute(s, key(vsessionENGINE_CLASS), vsessionTagDatatag(), vnameInternLiteral(engineClass));
    return s;
  }
};

void recordCode(vsession*, std::int32_t* code) { trace.push_back("code " + std::to_string(*code)); }

TEST_F(Sessions, AFailedOpenRaisesWithoutACallbackAndTellsOne) {
  EXPECT_STREQ(key(vsessionLOCATION), "Location");
  EXPECT_STREQ(key(vsessionTRANSPORT_CLASS), "TransportClass");
  for (vsessionNotify notify : {vsessionNotify{nullptr}, vsessionNotify{recordCode}}) {
    trace.clear();
    vsession* s = sessionWithEngine("NoSuchEngineClass", notify);
    Caught r = caught([&] { vsessionOpen(s); });
    if (notify) {
      EXPECT_EQ(r.cls, nullptr);
      EXPECT_EQ(trace, (std::vector<std::string>{"code 1"}));
    } else {
      EXPECT_EQ(r.cls, &vexArgNotUnderstoodClass);
      EXPECT_TRUE(trace.empty());
    }
    EXPECT_EQ(s->flags, vsessionCLOSED_FLAG);
    EXPECT_EQ(s->record->engine, nullptr);
    vsessionDestroy(s);
  }
}

// Closing cancels every pending statement before the callback sees code 2,
// detaches the contexts being served, and a destroy asked for inside the
// callback waits until the close is over.
TEST_F(Sessions, CloseCancelsPendingStatementsThenTellsAndDefersADestroy) {
  static vsession* s = nullptr;
  s = sessionWithEngine("vsessionEngineRoot", [](vsession* self, std::int32_t* code) {
    trace.push_back("code " + std::to_string(*code));
    if (*code == vsessionCLOSED) {
      vsessionDestroy(self);
      EXPECT_TRUE(self->flags & vsessionDESTROY_REQUESTED);  // still here
    }
  });
  vsessionOpen(s);
  EXPECT_EQ(s->flags, static_cast<std::uint32_t>(vsessionOPEN));
  EXPECT_STREQ(vsessionGetAttributeTag(s, key(vsessionENGINE_CLASS)), "vsessionEngineRoot");
  vsessionStatement* statements[2];
  for (int i = 0; i < 2; ++i) {
    statements[i] = vsessionStatementCreate();
    statements[i]->session = s;
    statements[i]->completion = [](vsessionStatement* st, vsessionReply* reply) {
      trace.push_back("statement " + std::to_string(st->state & vsessionStatementNUMBER_MASK) + " reply " +
                      std::to_string(reply->kind));
    };
    _vsessionAddStatement(s, statements[i], 7 + static_cast<std::uint32_t>(i));
    EXPECT_EQ(vsessionStatementGetState(statements[i]), vsessionStatementPENDING);
  }
  _vservicePrimitiveContext* context =
      static_cast<_vservicePrimitiveContext*>(vinstanceCreate(vservicePrimitiveContextGetClass()));
  vservicePrimitiveContextSetSession(context, s);
  vsessionClose(s);
  ASSERT_EQ(trace.size(), 4u);
  EXPECT_EQ(trace[0], "code 0");
  EXPECT_NE(trace[1].find("reply 2"), std::string::npos);
  EXPECT_NE(trace[2].find("reply 2"), std::string::npos);
  EXPECT_EQ(trace[3], "code 2");
  for (auto* st : statements) {
    EXPECT_EQ(vsessionStatementGetState(st), vsessionStatementCANCELLED);
    EXPECT_EQ(st->state & vsessionStatementNUMBER_MASK, 0u);  // no longer registered
    vsessionStatementDestroy(st);
  }
  EXPECT_EQ(context->session, nullptr);
  // A reply for a context whose session closed raises, and the context goes.
  Caught r = caught([&] { vservicePrimitiveReply(context); });
  EXPECT_EQ(r.cls, &vexArgClass);
  EXPECT_EQ(r.message, "Invalid session");
}

TEST_F(Sessions, HeldSessionsAndClones) {
  vsession* s = sessionWithEngine("vsessionEngineRoot", recordCode);
  s->flags |= vsessionHELD;
  s->client = &trace;
  vsessionSetAttribute(s, key(vsessionPORT), vsessionStringDatatag(), "4000");
  EXPECT_EQ(caught([&] { vsessionDestroy(s); }).cls, &vexArgClass);
  vsession* copy = vsessionClone(s);
  EXPECT_EQ(copy->flags, vsessionCLOSED_FLAG | vsessionHELD);
  EXPECT_EQ(copy->client, &trace);
  EXPECT_EQ(copy->notify, s->notify);
  EXPECT_EQ(copy->record->engine, nullptr);
  EXPECT_EQ(text(vsessionGetAttributeScribe(copy, key(vsessionPORT))), "4000");
  // A held session that closes is destroyed after its notice.
  vsessionOpen(copy);
  vsessionClose(copy);
  EXPECT_EQ(trace, (std::vector<std::string>{"code 0", "code 2"}));
  s->flags &= ~vsessionHELD;
  vsessionDestroy(s);
  EXPECT_EQ(caught([&] {
              vsession* bare = vsessionCreate();
              vexGuard([&] { vsessionPoll(bare, nullptr); },
                       [&](vexHandler&) {
                         vsessionDestroy(bare);
                         _vexGenerate(nullptr, vexEnd);
                       });
            }).cls,
            &vexArgClass);
}

// Test components: they record what happens to them.
struct TestComponents {
  vsessionRootProtocolClassRec* protocol;
  vsessionRootTransportClassRec* transport;
  vsessionRootTransportClassRec* silent;  // never opens; its poll says nothing more comes
};
TestComponents makeTestComponents() {
  TestComponents t{};
  t.protocol = vclassSpawnOf<vsessionRootProtocolClassRec>(vsessionRootProtocolGetDefaultClass());
  vclassSetName(t.protocol, vscribeLiteral("TestProtocol"));
  t.protocol->destroy = [](vinstance* self) {
    trace.push_back("protocol destroyed");
    vclassFreeInstance(self->cls, self);
  };
  t.transport = vclassSpawnOf<vsessionRootTransportClassRec>(vsessionRootTransportGetDefaultClass());
  vclassSetName(t.transport, vscribeLiteral("TestTransport"));
  t.transport->destroy = [](vinstance* self) {
    trace.push_back("transport destroyed");
    vclassFreeInstance(self->cls, self);
  };
  t.silent = vclassSpawnOf<vsessionRootTransportClassRec>(vsessionRootTransportGetDefaultClass());
  vclassSetName(t.silent, vscribeLiteral("SilentTransport"));
  t.silent->open = [](vsessionSyntheticComponent*) { trace.push_back("silent open"); };
  t.silent->poll = [](vsessionRootTransport*, std::int64_t seconds, std::int64_t) {
    trace.push_back("poll " + std::to_string(seconds));
    return 0;
  };
  return t;
}

TEST_F(Sessions, SyntheticEngineChoosesPublishesClonesAndDestroysInOrder) {
  makeTestComponents();
  vsession* s = sessionWithEngine("vsessionSyntheticEngine", recordCode);
  vsessionSetAttribute(s, key(vsessionPROTOCOL_CLASS), vsessionTagDatatag(), vnameInternLiteral("TestProtocol"));
  // The default transport connects where the session's attributes say.
  vcommAddress a;
  vcommAddressInit(&a);
  vcommAddressSetTransport(&a, vnameInternLiteral("tcp"));
  vcommAddressSetLocation(&a, vscribeLiteral("127.0.0.1"));
  vcommAddressSetPort(&a, vscribeLiteral("0"));
  vcommChannel* listener = vcommListen(&a, [](vcommChannel*, int) {});
  vcommAddressClear(&a);
  vsessionSetAttribute(s, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral("tcp"));
  vsessionSetAttribute(s, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  vsessionSetAttribute(s, key(vsessionPORT), vsessionStringDatatag(), listener->local.port);
  vsessionOpen(s);
  EXPECT_EQ(trace, (std::vector<std::string>{"code 0"}));
  EXPECT_STREQ(vsessionGetAttributeTag(s, key(vsessionPROTOCOL_CLASS)), "TestProtocol");
  EXPECT_STREQ(vsessionGetAttributeTag(s, key(vsessionTRANSPORT_CLASS)), "vsessionChannelTransport");
  auto* engine = static_cast<vsessionSyntheticEngine*>(s->record->engine);
  ASSERT_NE(engine->link.protocol, nullptr);
  EXPECT_STREQ(engine->link.protocol->cls->name, "TestProtocol");
  EXPECT_EQ(engine->link.protocol->engine, &engine->link);

  // A clone has components of its own, of the same classes.
  auto* copy = static_cast<vsessionSyntheticEngine*>(vclassAllocInstance(engine->cls));
  vsessionEngineClassOf(engine)->copyInit(engine, copy);
  ASSERT_NE(copy->link.protocol, nullptr);
  EXPECT_NE(copy->link.protocol, engine->link.protocol);
  EXPECT_EQ(copy->link.protocol->cls, engine->link.protocol->cls);
  EXPECT_EQ(copy->link.transport->cls, engine->link.transport->cls);
  EXPECT_EQ(copy->link.protocol->engine, &copy->link);
  trace.clear();
  vinstanceDestroy(copy);
  EXPECT_EQ(trace, (std::vector<std::string>{"protocol destroyed"}));  // the transport is no test class

  // Replacing the protocol destroys the old one; the transport goes first.
  trace.clear();
  vsessionEngineSetComponent(engine, key(vsessionTRANSPORT_CLASS), vclassFindByName(vscribeLiteral("TestTransport")));
  EXPECT_STREQ(vsessionGetAttributeTag(s, key(vsessionTRANSPORT_CLASS)), "TestTransport");
  vsessionDestroy(s);
  EXPECT_EQ(trace, (std::vector<std::string>{"transport destroyed", "protocol destroyed"}));
  vcommChannelDestroy(listener);
}

TEST_F(Sessions, SyntheticOpenFailuresAndTheSynchronousWait) {
  makeTestComponents();
  vsession* s = sessionWithEngine("vsessionSyntheticEngine", nullptr);
  vsessionSetAttribute(s, key(vsessionTRANSPORT_CLASS), vsessionTagDatatag(), vnameInternLiteral("NoSuchTransport"));
  Caught r = caught([&] { vsessionOpen(s); });
  EXPECT_EQ(r.cls, &vexArgNotUnderstoodClass);
  EXPECT_EQ(s->flags, vsessionCLOSED_FLAG);
  // Without a callback the open polls 45 s at a time until a poll says
  // nothing more will come.
  vsessionSetAttribute(s, key(vsessionTRANSPORT_CLASS), vsessionTagDatatag(), vnameInternLiteral("SilentTransport"));
  vsessionOpen(s);
  EXPECT_EQ(trace, (std::vector<std::string>{"silent open", "poll 45"}));
  EXPECT_EQ(s->flags, static_cast<std::uint32_t>(vsessionOPENING));
  vsessionDestroy(s);
}

// Without a callback a close polls while the session is closing, busy
// meanwhile: a destroy asked for during the poll happens after it.
vsession* polled = nullptr;
TEST_F(Sessions, SynchronousCloseDefersADestroyAskedForWhilePolling) {
  auto* stuck = vclassSpawnOf<vsessionRootTransportClassRec>(vsessionRootTransportGetDefaultClass());
  vclassSetName(stuck, vscribeLiteral("StuckTransport"));
  stuck->close = [](vsessionSyntheticComponent*) { trace.push_back("close"); };
  stuck->poll = [](vsessionRootTransport*, std::int64_t seconds, std::int64_t) {
    trace.push_back("poll " + std::to_string(seconds));
    vsessionDestroy(polled);
    trace.push_back(polled->flags & vsessionDESTROY_REQUESTED ? "deferred" : "not deferred");
    return 0;
  };
  polled = sessionWithEngine("vsessionSyntheticEngine", nullptr);
  vsessionSetAttribute(polled, key(vsessionTRANSPORT_CLASS), vsessionTagDatatag(), vnameInternLiteral("StuckTransport"));
  vsessionSetAttribute(polled, key(vsessionPROTOCOL_CLASS), vsessionTagDatatag(),
                       vnameInternLiteral("vsessionRootProtocol"));
  vsessionOpen(polled);
  ASSERT_EQ(polled->flags, static_cast<std::uint32_t>(vsessionOPEN));
  vsessionClose(polled);  // the session is gone afterwards (ASan watches)
  EXPECT_EQ(trace, (std::vector<std::string>{"close", "poll 45", "deferred"}));
}

// Services: their defaults, primitives by name, begetter attributes first.
int primitivesDestroyed = 0;
TEST_F(Sessions, ServiceDefaultsPrimitivesAndBegetterAttributes) {
  primitivesDestroyed = 0;
  vservice* service = vserviceCreate();
  vname nameKey = vnameInternLiteral("Name"), titleKey = vnameInternLiteral("Title");
  EXPECT_EQ(text(vserviceGetAttributeScribe(service, nameKey)), "Anonymous");
  EXPECT_EQ(text(vserviceGetAttributeScribe(service, titleKey)), "Anonymous");
  EXPECT_EQ(text(vserviceGetAttributeScribe(service, key(vsessionPLATFORM))), "Windows/NT");
  EXPECT_STREQ(vsessionGetAttributeTag(service->session, key(vsessionENGINE_CLASS)), "vsessionDefaultEngine");
  EXPECT_TRUE(service->session->flags & vsessionHELD);
  EXPECT_TRUE(service->session->flags & vsessionSERVICE_SESSION);

  auto* counted = vclassSpawnOf<vservicePrimitiveClassRec>(vservicePrimitiveGetClass());
  counted->destroy = [](vinstance* self) {
    ++primitivesDestroyed;
    vclassFreeInstance(self->cls, self);
  };
  vsignature* signature = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
  signature->tag = vnameInternLiteral("echo");
  auto* first = static_cast<vservicePrimitive*>(vinstanceCreate(counted));
  auto* second = static_cast<vservicePrimitive*>(vinstanceCreate(counted));
  first->signature = second->signature = signature;
  vserviceAddPrimitive(service, first);
  vserviceAddPrimitive(service, second);
  EXPECT_EQ(primitivesDestroyed, 1);
  EXPECT_EQ(vserviceFindPrimitive(service, vnameInternLiteral("echo")), second);

  auto* begetter = static_cast<vserviceBegetterRoot*>(vinstanceCreate(vserviceGetBegetterRootClass()));
  vserviceBegetterSetAttribute(begetter, titleKey, vsessionStringDatatag(), "From the begetter");
  vserviceSetBegetter(service, begetter);
  EXPECT_TRUE(vserviceBegetterClassOf(begetter)->isRunning(begetter));
  EXPECT_EQ(text(vserviceGetAttributeScribe(service, titleKey)), "From the begetter");
  EXPECT_EQ(text(vserviceGetAttributeScribe(service, nameKey)), "Anonymous");
  vserviceDestroy(service);
  EXPECT_EQ(primitivesDestroyed, 2);
  vinstanceDestroy(signature);
}

// A primitive call: the handler's result is the reply; a handler that
// raises (or none) answers with an error; the context goes either way.
std::vector<std::string> replies;
TEST_F(Sessions, PrimitiveInvocationRepliesOrFails) {
  replies.clear();
  auto* contextClass = vclassSpawnOf<_vservicePrimitiveContextClassRec>(vservicePrimitiveContextGetClass());
  contextClass->sendResult = [](_vservicePrimitiveContext* c) {
    replies.push_back(c->result ? "result" : "empty result");
  };
  contextClass->sendError = [](_vservicePrimitiveContext*) { replies.push_back("error"); };
  contextClass->destroy = [](vinstance* self) {
    replies.push_back("gone");
    vservicePrimitiveContextGetClass()->destroy(self);
  };
  vsession* s = sessionWithEngine("vsessionEngineRoot", recordCode);
  vsessionOpen(s);
  struct Case {
    vservicePrimitiveHandler handler;
    bool withInvoker;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {[](vservicePrimitive*, vsession*, vinstance*) -> vinstance* {
         return vdatatagCreateScrap(vdatatagGetPredefined(vdatatagINTEGER));
       },
       true, {"result", "gone"}},
      {[](vservicePrimitive*, vsession*, vinstance*) -> vinstance* {
         vexGenerateMessage(&vexArgClass, "handler failed");
       },
       true, {"error", "gone"}},
      {nullptr, true, {"error", "gone"}},
      {nullptr, false, {"error", "gone"}},
  };
  vservicePrimitive* p = vservicePrimitiveCreate();
  for (const Case& k : cases) {
    replies.clear();
    p->handler = k.handler;
    if (!k.withInvoker) p->invoke = nullptr;
    auto* c = static_cast<_vservicePrimitiveContext*>(vinstanceCreate(contextClass));
    c->primitive = p;
    vservicePrimitiveContextSetSession(c, s);
    vservicePrimitiveInvoke(c);
    EXPECT_EQ(replies, k.expected);
    EXPECT_EQ(s->record->contexts ? vdictCount(s->record->contexts) : 0u, 0u);
  }
  vservicePrimitiveDestroy(p);
  vsessionDestroy(s);
}

// A begetter on the loopback makes one clone of the service session per
// peer, with the peer's address; a port that is taken cannot be enabled.
TEST_F(Sessions, ChannelBegetterMakesASessionPerPeer) {
  vservice* service = vserviceCreate();
  vserviceSetAttribute(service, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral("tcp"));
  vserviceSetAttribute(service, key(vsessionPORT), vsessionStringDatatag(), "0");
  vserviceSetAttribute(service, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  auto* begetter = static_cast<vserviceBegetterRoot*>(vinstanceCreate(vserviceGetBegetterChannelClass()));
  vserviceSetBegetter(service, begetter);
  ASSERT_TRUE(begetter->flags & vserviceBegetterRUNNING);
  std::string port = text(vserviceGetAttributeScribe(service, key(vsessionPORT)));
  EXPECT_NE(port, "0");
  EXPECT_STREQ(vserviceGetAttributeTag(service, key(vsessionTRANSPORT)), "tcp");

  vcommChannel* peers[2];
  for (auto*& peer : peers) {
    peer = vcommChannelCreate();
    vcommAddressSetTransport(&peer->peer, vnameInternLiteral("tcp"));
    vcommAddressSetLocation(&peer->peer, vscribeLiteral("127.0.0.1"));
    vcommAddressSetPort(&peer->peer, vscribeCString(port.c_str()));
    vcommConnect(peer);
    // Each clone opens once its peer has announced itself.
    vcommWrite(peer, _vdasprodefOpening, sizeof _vdasprodefOpening);
  }
  ASSERT_TRUE(runEventsUntil([service] {
    return service->record->sessionCount == 2 && !(service->record->sessions[1]->flags & vsessionBUSY);
  }));
  for (int i = 0; i < 2; ++i) {
    vsession* clone = service->record->sessions[i];
    EXPECT_EQ(clone->service, service);
    EXPECT_STREQ(vsessionGetAttributeTag(clone, key(vsessionTRANSPORT)), "tcp");
    std::string peerPort = text(vsessionGetAttributeScribe(clone, key(vsessionPORT)));
    EXPECT_TRUE(peerPort == peers[0]->local.port || peerPort == peers[1]->local.port) << peerPort;
    EXPECT_NE(text(vsessionGetAttributeScribe(clone, key(vsessionLOCATION))), "<unset>");
    EXPECT_STREQ(vsessionGetAttributeTag(clone, key(vsessionENGINE_CLASS)), "vsessionDefaultEngine");
  }

  vservice* rival = vserviceCreate();
  vserviceSetAttribute(rival, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral("tcp"));
  vserviceSetAttribute(rival, key(vsessionPORT), vsessionStringDatatag(), port.c_str());
  vserviceSetAttribute(rival, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  auto* second = static_cast<vserviceBegetterRoot*>(vinstanceCreate(vserviceGetBegetterChannelClass()));
  std::string printed;
  const vexClass* raised = nullptr;
  vexGuard([&] { vserviceSetBegetter(rival, second); },
           [&](vexHandler& h) {
             vexException* e = vexGetCurrentException();
             raised = e->cls;
             char* buffer = nullptr;
             std::size_t size = 0;
             std::FILE* stream = open_memstream(&buffer, &size);
             e->cls->printer(e, stream);
             std::fclose(stream);
             printed.assign(buffer, size);
             std::free(buffer);
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(raised, &vexServiceCannotEnableClass);
  char expected[64];
  std::snprintf(expected, sizeof expected, "\tvservice: 0x%016" PRIXPTR ", \"Anonymous\"\n",
                reinterpret_cast<std::uintptr_t>(rival));
  EXPECT_EQ(printed, expected);
  EXPECT_FALSE(second->flags & vserviceBegetterRUNNING);
  vserviceDestroy(rival);

  // The listening channel closing stops the begetter: its address goes.
  vcommClose(static_cast<vserviceBegetterChannel*>(begetter)->channel);
  EXPECT_FALSE(begetter->flags & vserviceBegetterRUNNING);
  EXPECT_EQ(static_cast<vserviceBegetterChannel*>(begetter)->channel, nullptr);
  EXPECT_EQ(text(vserviceGetAttributeScribe(service, key(vsessionPORT))), "0");  // the service's own again
  for (auto* peer : peers) vcommChannelDestroy(peer);
  vserviceDestroy(service);
}

TEST_F(Sessions, PrimitiveArgumentsAndStatementMisuse) {
  vservicePrimitive* p = vservicePrimitiveCreate();
  p->signature = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
  vsignatureAddDatatags(p->signature, vdatatagGetPredefined(vdatatagINTEGER), vdatatagGetPredefined(vdatatagSTRING),
                        nullptr);
  vinstance* args = vdatatagCreateListScrapWithValue(&p->signature->arguments, 42, "forty-two");
  std::int32_t number = 0;
  char* name = nullptr;
  vservicePrimitiveGetArgs(p, args, &number, &name);
  EXPECT_EQ(number, 42);
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "forty-two");
  vinstanceDestroy(args);
  vinstanceDestroy(p->signature);
  vservicePrimitiveDestroy(p);

  // A pending statement keeps its session.
  vsession* s = sessionWithEngine("vsessionEngineRoot", recordCode);
  vsessionStatement* st = vsessionStatementCreate();
  vsessionStatementSetSession(st, s);
  _vsessionAddStatement(s, st, 3);
  EXPECT_EQ(caught([&] { vsessionStatementSetSession(st, nullptr); }).cls, &vexArgClass);
  // A reply that says more follow leaves it pending and registered.
  vsessionReply more{vsessionREPLY_RESULT | vsessionREPLY_MORE};
  vsessionStatementComplete(st, &more);
  EXPECT_EQ(st->state & vsessionStatementNUMBER_MASK, 3u);
  vsessionReply done{vsessionREPLY_RESULT};
  vsessionStatementComplete(st, &done);
  EXPECT_EQ(vsessionStatementGetState(st), vsessionStatementDONE);
  EXPECT_EQ(st->state & vsessionStatementNUMBER_MASK, 0u);
  vsessionStatementDestroy(st);
  vsessionDestroy(s);
}

// The root engine's scraps are typed by what they will carry: the result
// by its datatag, the arguments by their list; what is put in comes back.
TEST_F(Sessions, RootEngineScrapsAreTypedEngineScraps) {
  auto* engine = static_cast<vsessionEngineRoot*>(vinstanceCreate(vsessionEngineRootGetClass()));
  vservicePrimitive* p = vservicePrimitiveCreate();
  p->signature = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
  vsignatureAddDatatags(p->signature, vdatatagGetPredefined(vdatatagINTEGER), vdatatagGetPredefined(vdatatagSTRING),
                        nullptr);
  vdatatag* integer = vdatatagGetPredefined(vdatatagINTEGER);
  struct Row {
    vinstance* scrap;
    std::int32_t mode;
    void* typedBy;
  } rows[] = {
      {vsessionEngineClassOf(engine)->makeResultScrap(engine, integer), vsessionScrapDATATAG, integer},
      {vsessionEngineClassOf(engine)->makeArgumentScrap(engine, &p->signature->arguments), vsessionScrapLIST,
       &p->signature->arguments},
  };
  for (const Row& row : rows) {
    ASSERT_NE(row.scrap, nullptr);
    EXPECT_EQ(row.scrap->cls, static_cast<vclass*>(vsessionGetEngineScrapClass()));
    auto* e = static_cast<vsessionEngineScrap*>(row.scrap);
    EXPECT_EQ(e->mode, row.mode);
    EXPECT_EQ(e->datatag, row.typedBy);
  }
  // Arguments imported into the list scrap are read back by the primitive.
  vinstance* values = vdatatagCreateListScrapWithValue(&p->signature->arguments, 7, "seven");
  vscrapImport(vscrapWalk(values), vscrapWalk(rows[1].scrap));
  vinstanceDestroy(values);
  std::int32_t number = 0;
  char* name = nullptr;
  vservicePrimitiveGetArgs(p, rows[1].scrap, &number, &name);
  EXPECT_EQ(number, 7);
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "seven");
  for (const Row& row : rows) vinstanceDestroy(row.scrap);
  vinstanceDestroy(p->signature);
  vservicePrimitiveDestroy(p);
  vinstanceDestroy(engine);
}

// Every entry of a dictionary becomes an attribute with its datatag;
// floating values become doubles under datatag 11.
TEST_F(Sessions, AttributesFromADictionary) {
  vdatatag* d = vdatatagCreate(vdatatagDICTIONARY);
  vname port = key(vsessionPORT), count = vnameInternLiteral("Count"), ratio = vnameInternLiteral("Ratio");
  vname transport = key(vsessionTRANSPORT);
  vdatatagSetDictEntry(d, port, vdatatagGetPredefined(vdatatagSTRING));
  vdatatagSetDictEntry(d, count, vdatatagGetPredefined(vdatatagINTEGER));
  vdatatagSetDictEntry(d, ratio, vdatatagGetPredefined(vdatatagDOUBLE_FLOAT));
  vdatatagSetDictEntry(d, transport, vdatatagGetPredefined(vdatatagTAG));
  vdict values;
  vdictInit(&values, vdictHashName);
  char portText[] = "4711";
  vdictStore(&values, port, portText);
  vdictStoreInteger(&values, count, -12);
  double half = 0.5;
  std::uintptr_t bits = 0;
  std::memcpy(&bits, &half, sizeof half);
  vdictStore(&values, ratio, reinterpret_cast<const void*>(bits));
  vdictStore(&values, transport, vnameInternLiteral("dde"));
  vdatatagScrap* scrap = vdatatagScrapFromMemory(d, &values);
  ASSERT_NE(scrap, nullptr);
  vsession* s = vsessionCreate();
  vsessionSetAttributesFromDict(s, scrap);
  portText[0] = 'X';  // the session keeps its own copy
  EXPECT_EQ(text(vsessionGetAttributeScribe(s, port)), "4711");
  EXPECT_STREQ(vsessionGetAttributeTag(s, transport), "dde");
  // Numbers are read from the stored words: their text is the number
  // formats' business.
  vattrlistIterator it;
  vattrlistInitIterator(&it, &s->record->attributes);
  while (vattrlistNextIterator(&it)) {
    if (vattrlistIteratorTag(&it) == count) {
      EXPECT_EQ(static_cast<std::int32_t>(vattrlistIteratorWord(&it)), -12);
    }
    if (vattrlistIteratorTag(&it) == ratio) {
      EXPECT_EQ(vattrlistIteratorDatatag(&it), vsessionDoubleDatatag());
      auto word = static_cast<std::uintptr_t>(vattrlistIteratorWord(&it));
      double stored;
      std::memcpy(&stored, &word, sizeof stored);
      EXPECT_EQ(stored, 0.5);
    }
  }
  EXPECT_EQ(caught([&] { vsessionSetAttributesFromDict(s, nullptr); }).cls, &vexArgClass);
  vsessionDestroy(s);
  vinstanceDestroy(scrap);
  vdictFinish(&values);
  vinstanceDestroy(d);
}

TEST_F(Sessions, StartupRowBuildsTheServiceClasses) {
  vserviceInstallStartup();
  int count = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&count);
  void (*fn)() = nullptr;
  for (int i = 0; i < count; ++i)
    if (std::strcmp(rows[i].name, "vserviceGetDefaultClass") == 0) fn = rows[i].fn;
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(vclassFindByName(vscribeLiteral("vserviceBegetterChannel")), nullptr);
  fn();
  for (const char* name : {"vservice", "vserviceBegetterRoot", "vserviceBegetterChannel", "vservicePrimitive"})
    EXPECT_NE(vclassFindByName(vscribeCString(name)), nullptr) << name;
}

}  // namespace
