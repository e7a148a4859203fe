// The default protocol: what two framework applications exchange over a
// session, byte for byte, and how each malformed input is answered.
#include "fw/services/prodef.h"

#include <cstring>
#include <string>

#include "fw/core/sys.h"
#include "fw/services/repdef_internal.h"

namespace {

using Protocol = vsessionDefaultProtocol;
using ProtocolRec = vsessionDefaultProtocolClassRec;
using Filter = _vdasprodefFilter;
using Context = _vdasprodefContext;

enum : std::uint8_t {
  typeCALL = 1,
  typeREPLY = 2,
  typeERROR = 3,
  typeSETTINGS = 4,
  typeCLOSE = 5,
  typeCLOSE_ACK = 6,
};
constexpr std::uint32_t kHeaderReserve = 73;
constexpr std::uint32_t kReplyHeader = 14;
constexpr std::uint32_t kErrorReserve = 18;
constexpr std::uint8_t kStatusTag = 0x12;
constexpr std::uint8_t kLatin1 = 2;

struct ProdefState {
  ProtocolRec* protocol;
  vsessionMessageFilterClassRec* filter;
  vscrapTypeableClassRec* scrap;
  _vservicePrimitiveContextClassRec* context;
};
void** prodefSlot = nullptr;
ProdefState* state();

Protocol* asProtocol(vinstance* i) { return static_cast<Protocol*>(i); }
vsessionRootProtocolClassRec* rootRec() { return vsessionRootProtocolGetDefaultClass(); }
vsession* sessionOf(Protocol* p) { return p->engine ? static_cast<vsession*>(p->engine->session) : nullptr; }
vsessionRootTransport* transportOf(Protocol* p) { return p->engine ? p->engine->transport : nullptr; }

void putLE(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void putBE(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}
std::uint32_t getLE(const std::uint8_t* at) {
  return at[0] | static_cast<std::uint32_t>(at[1]) << 8 | static_cast<std::uint32_t>(at[2]) << 16 |
         static_cast<std::uint32_t>(at[3]) << 24;
}
std::uint32_t getBE(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
         static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}

// Hands a block to the transport; what it leaves of the block's memory
// (a transport that only discards) is freed here.
void sendBlock(Protocol* p, vsessionBlock* b) {
  if (vsessionRootTransport* t = transportOf(p)) {
    vexGuard([&] { vsessionRec<vsessionRootTransportClassRec>(t)->send(t, b); },
             [&](vexHandler&) {
               vsessionBlockRelease(b);
               _vexGenerate(nullptr, vexEnd);
             });
  }
  vsessionBlockRelease(b);
}

// A message without payload (close request and acknowledgement).
void sendControl(Protocol* p, std::uint8_t type) {
  vsessionBlock b;
  vsessionBlockInitProportional(&b, 2.0f);
  vsessionBlockSetCapacity(&b, 64);
  vsessionBlockSetHead(&b, 9);
  auto* h = reinterpret_cast<std::uint8_t*>(vsessionBlockPrependSpace(&b, 9));
  putBE(h, 5);
  putLE(h + 4, 0xFFFFFFFF);
  h[8] = type;
  sendBlock(p, &b);
}

// The 14-byte reply header in front of what the block holds.
void prependReplyHeader(vsessionBlock* b, const std::uint8_t id[4], std::uint8_t type, std::uint32_t status) {
  auto* h = reinterpret_cast<std::uint8_t*>(vsessionBlockPrependSpace(b, kReplyHeader));
  putBE(h, vsessionBlockLength(b) - 4);
  std::memcpy(h + 4, id, 4);
  h[8] = type;
  h[9] = kStatusTag;
  putLE(h + 10, status);
}

void sendError(Protocol* p, const std::uint8_t id[4], const char* message, const char* name, std::size_t nameLength) {
  std::string text = std::string(message) + " (" + std::string(name, nameLength) + ")";
  if (text.size() > 0xFFFF) text.resize(0xFFFF);
  auto n = static_cast<std::uint32_t>(text.size());
  vsessionBlock b;
  vsessionBlockInitProportional(&b, 2.0f);
  vsessionBlockSetCapacity(&b, kErrorReserve + 4 + n);
  vsessionBlockSetHead(&b, kErrorReserve);
  if (n <= 0xFF) {
    auto* at = reinterpret_cast<std::uint8_t*>(vsessionBlockAppendSpace(&b, 3));
    at[0] = 0x44;
    at[1] = kLatin1;
    at[2] = static_cast<std::uint8_t>(n);
  } else {
    auto* at = reinterpret_cast<std::uint8_t*>(vsessionBlockAppendSpace(&b, 4));
    at[0] = 0x45;
    at[1] = kLatin1;
    at[2] = static_cast<std::uint8_t>(n);
    at[3] = static_cast<std::uint8_t>(n >> 8);
  }
  std::memcpy(vsessionBlockAppendSpace(&b, n), text.data(), n);
  prependReplyHeader(&b, id, typeERROR, vsessionREPLY_ERROR);
  sendBlock(p, &b);
}

// The built-in ping, which every service answers: a reply with nothing in it.
void sendPlainReply(Protocol* p, const std::uint8_t id[4]) {
  vsessionBlock b;
  vsessionBlockInitProportional(&b, 2.0f);
  vsessionBlockSetCapacity(&b, kReplyHeader);
  vsessionBlockSetHead(&b, kReplyHeader);
  prependReplyHeader(&b, id, typeREPLY, vsessionREPLY_RESULT);
  sendBlock(p, &b);
}

// The calls that waited for the peer's settings fail.
void failQueued(Protocol* p) {
  vsession* s = sessionOf(p);
  while (p->queueCount) {
    _vdasprodefQueued q = p->queue[0];
    std::memmove(p->queue, p->queue + 1, sizeof(*p->queue) * static_cast<std::size_t>(--p->queueCount));
    vsessionBlockRelease(&q.block);
    vsessionStatement* st = s ? _vsessionFindStatement(s, q.id) : nullptr;
    if (st) {
      vsessionReply failed{vsessionREPLY_FAILED};
      vsessionStatementComplete(st, &failed);
    }
  }
}

// The stream can no longer be trusted: the transport goes, nothing is sent.
void giveUp(Protocol* p) {
  if (p->filter) p->filter->announce = _vdasprodefDROPPING;
  p->flags &= ~vsessionComponentOPEN;
  failQueued(p);
  if (vsessionRootTransport* t = transportOf(p)) vsessionComponentClose(t);
}

void flushQueue(Protocol* p) {
  while (p->queueCount) {
    _vdasprodefQueued q = p->queue[0];
    std::memmove(p->queue, p->queue + 1, sizeof(*p->queue) * static_cast<std::size_t>(--p->queueCount));
    sendBlock(p, &q.block);
  }
}

void enqueue(Protocol* p, vsessionBlock* b, std::uint32_t id) {
  if (p->queueCount == p->queueCapacity) {
    std::int32_t grown = p->queueCapacity ? p->queueCapacity * 2 : 4;
    auto* q = static_cast<_vdasprodefQueued*>(vmemAlloc(vmemArraySize(static_cast<std::size_t>(grown), sizeof(*p->queue))));
    if (p->queueCount) std::memcpy(q, p->queue, sizeof(*q) * static_cast<std::size_t>(p->queueCount));
    vmemFree(p->queue);
    p->queue = q;
    p->queueCapacity = grown;
  }
  p->queue[p->queueCount++] = {*b, id};
  *b = vsessionBlock{};  // the queue owns the memory now
}

// A reader over a copy of bytes, so it may outlive the received block.
_vdasprodefScrap* readerOver(const std::uint8_t* bytes, std::uint32_t n, void* datatag, std::int32_t mode) {
  _vdasprodefScrap* r = _vdasprodefCreateScrap(datatag, mode);
  if (n) std::memcpy(vsessionBlockAppendSpace(&r->own, n), bytes, n);
  return r;
}

// Settings: a malformed field leaves the stream out of step.
void settings(Protocol* p, const std::uint8_t* at, std::uint32_t n) {
  vsession* s = sessionOf(p);
  std::uint32_t i = 0;
  auto need = [&](std::uint32_t k) { return n - i >= k; };
  while (i < n) {
    std::uint8_t field = at[i++];
    switch (field) {
      case 1:
        if (!need(1)) return giveUp(p);
        p->peerVersion = at[i++];
        if (p->peerVersion != 1) {
          if (s && (s->flags & vsessionOPENING)) giveUp(p);
          return;
        }
        break;
      case 2:
        if (!need(6)) return giveUp(p);
        std::memcpy(p->peerField2, at + i, 6);
        i += 6;
        break;
      case 3:
      case 5:
        if (!need(1)) return giveUp(p);
        (field == 3 ? p->peerField3 : p->peerField5) = at[i++];
        break;
      case 4:
        if (!need(2)) return giveUp(p);
        std::memcpy(p->peerField4, at + i, 2);
        i += 2;
        break;
      case 6:
        p->filter->announce = _vdasprodefSETTINGS_SEEN;
        // The queued calls go first, so that calls made by the opened
        // notice follow them.
        flushQueue(p);
        rootRec()->opened(p);
        return;
      default:
        return giveUp(p);
    }
  }
}

void reply(Protocol* p, const std::uint8_t* at, std::uint32_t n, std::uint32_t id, std::uint8_t type) {
  vsession* s = sessionOf(p);
  vsessionStatement* st = s ? _vsessionFindStatement(s, id) : nullptr;
  if (!st || n < 5 || (at[0] & ~0x08u) != kStatusTag) return;
  std::uint32_t status = (at[0] & 0x08) ? getBE(at + 1) : getLE(at + 1);
  if (type == typeREPLY && st->operation && st->operation->returnValue) {
    if (st->result) vinstanceDestroy(st->result);
    st->result = readerOver(at + 5, n - 5, st->operation->returnValue, vsessionScrapDATATAG);
    st->state &= ~vsessionStatementTYPEABLE;
  }
  vsessionReply r{static_cast<std::int32_t>(status)};
  vsessionStatementComplete(st, &r);
}

void call(Protocol* p, const std::uint8_t* at, std::uint32_t n, const std::uint8_t id[4]) {
  vsession* s = sessionOf(p);
  if (n < 3) return sendError(p, id, "Not enough bytes in operator header", "", 0);
  if ((at[0] & tagGROUP) != tagSTRING || !(at[0] & tagBIT2) || (at[0] & tagWIDTH) != 0)
    return sendError(p, id, "Expected encoded string with operator name", "", 0);
  if (at[1] != kLatin1) return sendError(p, id, "Expected latin1 string encoding", "", 0);
  std::uint32_t length = at[2];
  if (n - 3 < length) return sendError(p, id, "Too few bytes for specified operator name", "", 0);
  const char* name = reinterpret_cast<const char*>(at + 3);
  // A ping is answered whether or not the application offers it.
  static constexpr char kPing[] = "vdasPingService";
  bool ping = length == sizeof kPing - 1 && std::memcmp(name, kPing, length) == 0;
  vname interned = vnameFind(vscribeCStringSized(name, length));
  vservicePrimitive* primitive = interned && s && s->service ? vserviceFindPrimitive(s->service, interned) : nullptr;
  if (!primitive && ping) return sendPlainReply(p, id);
  if (!interned) return sendError(p, id, "Unknown primitive name", name, length);
  if (!s || !s->service) return sendError(p, id, "Unknown primitive - no service for session", name, length);
  if (!primitive) return sendError(p, id, "Unknown primitive in service", name, length);

  bool alive = true;
  bool raised = false;
  Context* c = nullptr;
  vexGuard(
      [&] {
        vdatatagList* list = primitive->signature ? &primitive->signature->arguments : nullptr;
        _vdasprodefScrap* reader = readerOver(at + 3 + length, n - 3 - length, list, vsessionScrapLIST);
        c = static_cast<Context*>(vinstanceCreate(state()->context));
        c->arguments = reader;
        c->primitive = primitive;
        std::memcpy(c->id, id, 4);
        c->alive = &alive;
        vservicePrimitiveContextSetSession(c, s);
        if (!primitive->invoke) vexGenerateMessage(&vexArgClass, "No primitive handler");
        primitive->invoke(c);
      },
      [&](vexHandler& h) {
        vexSetCurrentException(h.savedChain);
        raised = true;
      });
  if (c && alive) c->alive = nullptr;
  if (!raised) return;
  if (c && alive) vinstanceDestroy(c);
  sendError(p, id, "Trapped exception while invoking primitive", name, length);
}

// One framed body.
void dispatch(Protocol* p, vsessionBlock* body) {
  auto* at = reinterpret_cast<const std::uint8_t*>(vsessionBlockBytes(body));
  std::uint32_t n = vsessionBlockLength(body);
  if (n < 5) return giveUp(p);
  std::uint8_t id[4];
  std::memcpy(id, at, 4);
  std::uint8_t type = at[4];
  at += 5;
  n -= 5;
  switch (type) {
    case typeCALL:
      return call(p, at, n, id);
    case typeREPLY:
    case typeERROR:
      return reply(p, at, n, getLE(id), type);
    case typeSETTINGS:
      return settings(p, at, n);
    case typeCLOSE:
      if (vsession* s = sessionOf(p)) s->flags |= vsessionCLOSING;
      return sendControl(p, typeCLOSE_ACK);
    case typeCLOSE_ACK:
      if (vsessionRootTransport* t = transportOf(p)) t->flags &= ~vsessionComponentOPEN;
      vsessionComponentClose(p);
      return;
    default:
      return sendError(p, id, "Unknown Operator", "", 0);
  }
}

// The filter: the magic first, then framed messages.
Filter* asFilter(vsessionRootFilter* f) { return static_cast<Filter*>(f); }
vsessionMessageFilterClassRec* messageRec() { return vsessionMessageFilterGetDefaultClass(); }

void filterInit(vinstance* self) {
  messageRec()->init(self);
  Filter* f = asFilter(static_cast<vsessionRootFilter*>(self));
  f->announce = _vdasprodefEXPECT_MAGIC;
  f->session = nullptr;
  f->protocol = nullptr;
}
void filterFeed(vsessionRootFilter* self, vsessionBlock* input) {
  if (asFilter(self)->announce == _vdasprodefDROPPING) {
    input->head = input->tail;
    return;
  }
  messageRec()->feed(self, input);
}
void filterProcess(vsessionRootFilter* self, vsessionBlock* bytes) {
  Filter* f = asFilter(self);
  if (f->announce != _vdasprodefEXPECT_MAGIC) return messageRec()->process(self, bytes);
  f->announce = _vdasprodefMAGIC_SEEN;
  if (std::memcmp(vsessionBlockBytes(bytes), _vdasprodefOpening, 11) != 0 && f->protocol) giveUp(f->protocol);
}
int filterSetLength(vsessionRootFilter* self, std::uint32_t n) {
  // A length of nothing, or beyond any sensible body, ends the session.
  if (n == 0 || n > _vdasprodefMAX_BODY) {
    if (asFilter(self)->protocol) giveUp(asFilter(self)->protocol);
    asFilter(self)->announce = _vdasprodefDROPPING;
    return 0;
  }
  return messageRec()->setLength(self, n);
}
std::uint32_t filterNeeds(vsessionRootFilter* self) {
  return asFilter(self)->announce == _vdasprodefEXPECT_MAGIC ? 11 : messageRec()->bytesNeeded(self);
}
void filterMessage(vsessionRootFilter* self, vsessionBlock* body) {
  if (Protocol* p = asFilter(self)->protocol) dispatch(p, body);
}

// The protocol's operations.
void protocolInit(vinstance* self) {
  rootRec()->init(self);
  Protocol* p = asProtocol(self);
  p->nextId = 1;
  p->filter = static_cast<Filter*>(vinstanceCreate(state()->filter));
  p->filter->protocol = p;
  p->queue = nullptr;
  p->queueCount = p->queueCapacity = 0;
  std::memset(p->peerField2, 0, sizeof p->peerField2);
  std::memset(p->peerField4, 0, sizeof p->peerField4);
  p->peerField3 = p->peerField5 = p->peerVersion = 0;
}
void protocolDestroy(vinstance* self) {
  Protocol* p = asProtocol(self);
  for (std::int32_t i = 0; i < p->queueCount; ++i) vsessionBlockRelease(&p->queue[i].block);
  vmemFree(p->queue);
  p->queue = nullptr;
  p->queueCount = 0;
  vinstanceDestroy(p->filter);
  rootRec()->destroy(self);
}
void protocolOpen(vsessionSyntheticComponent* self) {
  Filter* f = asProtocol(self)->filter;
  f->announce = _vdasprodefEXPECT_MAGIC;
  f->lengthKnown = 0;
  f->length = 0;
  vsessionBlockReset(&f->pending);
  rootRec()->open(self);
}
void announce(Protocol* p) {
  p->filter->session = sessionOf(p);
  vsessionBlock b;
  vsessionBlockInitProportional(&b, 2.0f);
  std::memcpy(vsessionBlockAppendSpace(&b, sizeof _vdasprodefOpening), _vdasprodefOpening, sizeof _vdasprodefOpening);
  sendBlock(p, &b);
}
void protocolClose(vsessionSyntheticComponent* self) {
  Protocol* p = asProtocol(self);
  vsessionRootTransport* t = transportOf(p);
  vsession* s = sessionOf(p);
  if (t && (t->flags & vsessionComponentOPEN) && s && !(s->flags & vsessionOPENING)) {
    sendControl(p, typeCLOSE);  // the transport stays open until the acknowledgement
    return;
  }
  failQueued(p);
  rootRec()->close(self);
}
vinstance* makeResult(vsessionRootProtocol*, void* datatag) {
  return _vdasprodefCreateScrap(datatag, vsessionScrapDATATAG);
}
vinstance* makeArguments(vsessionRootProtocol*, void* list) { return _vdasprodefCreateScrap(list, vsessionScrapLIST); }
void protocolReceive(vsessionRootProtocol* self, vsessionBlock* block) {
  vsessionProtocolFeedFilter(asProtocol(self)->filter, block);
}

void protocolSend(vsessionRootProtocol* self, void* statement) {
  Protocol* p = asProtocol(self);
  auto* st = static_cast<vsessionStatement*>(statement);
  vsession* s = st->session;
  if (!s || !st->operation) vexGenerateMessage(&vexArgClass, "Statement has no session or operation");
  vdatatagList* list = &st->operation->arguments;
  if (!st->arguments || st->arguments->cls != static_cast<vclass*>(state()->scrap)) {
    _vdasprodefScrap* made = _vdasprodefCreateScrap(list, vsessionScrapLIST);
    if (st->arguments) {
      vexGuard([&] { vscrapImport(vscrapWalk(st->arguments), vscrapWalk(made)); },
               [&](vexHandler&) {
                 vinstanceDestroy(made);
                 _vexGenerate(nullptr, vexEnd);
               });
      vinstanceDestroy(st->arguments);
    }
    st->arguments = made;
  }
  vsessionBlock* b = &static_cast<_vdasprodefScrap*>(st->arguments)->own;
  const char* name = st->operation->tag ? st->operation->tag : "";
  std::size_t n = std::strlen(name);
  if (n > 0xFFFF) vexGenerateMessage(&vexArgRangeClass, "Operator name too long");
  if (p->nextId >= _vdasprodefLAST_ID) p->nextId = 1;
  std::uint32_t id = p->nextId++;
  std::uint32_t nameHeader = n > 0xFF ? 4 : 3;
  auto* h = reinterpret_cast<std::uint8_t*>(vsessionBlockPrependSpace(b, 9 + nameHeader + static_cast<std::uint32_t>(n)));
  putBE(h, vsessionBlockLength(b) - 4);
  putLE(h + 4, id);
  h[8] = typeCALL;
  h[9] = n > 0xFF ? 0x45 : 0x44;
  h[10] = kLatin1;
  h[11] = static_cast<std::uint8_t>(n);
  if (n > 0xFF) h[12] = static_cast<std::uint8_t>(n >> 8);
  std::memcpy(h + 9 + nameHeader, name, n);
  _vsessionAddStatement(s, st, id);
  if (s->flags & vsessionOPENING) {
    enqueue(p, b, id);
  } else {
    sendBlock(p, b);
  }
}

// The call context's replies.
Protocol* protocolOfSession(vsession* s) {
  vsessionEngineRoot* e = s ? s->record->engine : nullptr;
  if (!e || !vclassIsSubclass(e->cls, vsessionSyntheticEngineGetClass())) return nullptr;
  vsessionRootProtocol* p = static_cast<vsessionSyntheticEngine*>(e)->link.protocol;
  return p && vclassIsSubclass(p->cls, state()->protocol) ? asProtocol(p) : nullptr;
}
void contextResult(_vservicePrimitiveContext* self) {
  auto* c = static_cast<Context*>(self);
  Protocol* p = protocolOfSession(c->session);
  if (!p) return;
  vdatatag* returns = c->primitive && c->primitive->signature ? c->primitive->signature->returnValue : nullptr;
  _vdasprodefScrap* out = nullptr;
  if (c->result && c->result->cls == static_cast<vclass*>(state()->scrap)) {
    out = static_cast<_vdasprodefScrap*>(c->result);
    c->result = nullptr;
  } else {
    out = _vdasprodefCreateScrap(returns, vsessionScrapDATATAG);
    if (c->result && returns) {
      vexGuard([&] { vscrapImport(vscrapWalk(c->result), vscrapWalk(out)); },
               [&](vexHandler&) {
                 vinstanceDestroy(out);
                 _vexGenerate(nullptr, vexEnd);
               });
    }
  }
  if (!vsessionBlockLength(&out->own)) vsessionBlockSetHead(&out->own, kReplyHeader);
  prependReplyHeader(&out->own, c->id, typeREPLY, vsessionREPLY_RESULT);
  vexGuard([&] { sendBlock(p, &out->own); },
           [&](vexHandler&) {
             vinstanceDestroy(out);
             _vexGenerate(nullptr, vexEnd);
           });
  vinstanceDestroy(out);
}
void contextError(_vservicePrimitiveContext* self) {
  auto* c = static_cast<Context*>(self);
  Protocol* p = protocolOfSession(c->session);
  if (!p) return;
  const char* name = c->primitive ? vservicePrimitiveGetName(c->primitive) : nullptr;
  std::size_t n = name ? std::strlen(name) : 0;
  sendError(p, c->id, "Asynchronously generated error", name ? name : "", n > 256 ? 256 : n);
}

// The scrap that owns its block.
void scrapInit(vinstance* self) {
  _vrepdefGetScrapClass()->init(self);
  auto* s = static_cast<_vdasprodefScrap*>(self);
  vsessionBlockInitProportional(&s->own, 2.0f);
  vsessionBlockSetCapacity(&s->own, 1024);
  vsessionBlockSetHead(&s->own, kHeaderReserve);
  s->block = &s->own;
  s->root = static_cast<_vrepdefRoot*>(vmemAllocClear(sizeof(_vrepdefRoot)));
}
void scrapDestroy(vinstance* self) {
  auto* s = static_cast<_vdasprodefScrap*>(self);
  vsessionBlockRelease(&s->own);
  _vrepdefGetScrapClass()->destroy(self);
}

ProdefState* state() {
  if (auto* bound = vmoduleState<ProdefState>(prodefSlot)) return bound;
  auto* s = static_cast<ProdefState*>(vmoduleBindSlot(prodefSlot, sizeof(ProdefState)));
  *s = ProdefState{};

  auto* f = vclassSpawnOf<vsessionMessageFilterClassRec>(vsessionMessageFilterGetDefaultClass());
  vclassSetName(f, vscribeLiteral("_vdasprodefFilter"));
  f->instanceSize = sizeof(Filter);
  f->init = filterInit;
  f->feed = filterFeed;
  f->process = filterProcess;
  f->setLength = filterSetLength;
  f->bytesNeeded = filterNeeds;
  f->message = filterMessage;
  s->filter = f;

  auto* sc = vclassSpawnOf<vscrapTypeableClassRec>(_vrepdefGetScrapClass());
  vclassSetName(sc, vscribeLiteral("_vdasprodefScrap"));
  sc->instanceSize = sizeof(_vdasprodefScrap);
  sc->init = scrapInit;
  sc->destroy = scrapDestroy;
  s->scrap = sc;

  auto* c = vclassSpawnOf<_vservicePrimitiveContextClassRec>(vservicePrimitiveContextGetClass());
  vclassSetName(c, vscribeLiteral("_vdasprodefContext"));
  c->instanceSize = sizeof(Context);
  c->destroy = [](vinstance* self) {
    auto* ctx = static_cast<Context*>(self);
    if (ctx->alive) *ctx->alive = false;
    vservicePrimitiveContextGetClass()->destroy(self);
  };
  c->init = [](vinstance* self) {
    vservicePrimitiveContextGetClass()->init(self);
    auto* ctx = static_cast<Context*>(self);
    std::memset(ctx->id, 0, sizeof ctx->id);
    ctx->alive = nullptr;
  };
  c->sendResult = contextResult;
  c->sendError = contextError;
  s->context = c;

  auto* p = vclassSpawnOf<ProtocolRec>(vsessionRootProtocolGetDefaultClass());
  vclassSetName(p, vscribeLiteral("vsessionDefaultProtocol"));
  p->instanceSize = sizeof(Protocol);
  p->init = protocolInit;
  p->destroy = protocolDestroy;
  p->open = protocolOpen;
  p->opened = [](vsessionSyntheticComponent* self) { vsessionRec<ProtocolRec>(self)->announce(asProtocol(self)); };
  p->close = protocolClose;
  p->makeResultScrap = makeResult;
  p->makeArgumentScrap = makeArguments;
  p->receive = protocolReceive;
  p->send = protocolSend;
  p->announce = announce;
  s->protocol = p;
  return s;
}

}  // namespace

vsessionDefaultProtocolClassRec* vsessionDefaultProtocolGetClass() { return state()->protocol; }
vscrapTypeableClassRec* _vdasprodefGetScrapClass() { return state()->scrap; }
_vdasprodefScrap* _vdasprodefCreateScrap(void* datatag, std::int32_t mode) {
  auto* s = static_cast<_vdasprodefScrap*>(vinstanceCreate(state()->scrap));
  s->mode = mode;
  s->datatag = datatag;
  return s;
}
