// The channel transport: a session's bytes over one communication channel.
// The channel's notifications drive it: opened and closed travel up to the
// protocol, and arriving bytes reach the protocol in slices of 1024.
// Where it differs from the plain rules, for soundness: one notification
// reads at most 64 slices and leaves the rest to a later turn, so a peer
// that keeps sending cannot hold the event loop from the other channels and
// the listener; and a peer whose replies wait unsent beyond 256 KiB is not
// read until they have gone, so one that sends calls and reads no replies
// cannot grow the service without bound (a client reads on).
#include <cstring>

#include "fw/core/debug.h"
#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/services/session.h"
#include "fw/services/vcomm.h"

namespace {

using Transport = vsessionChannelTransport;
using Component = vsessionSyntheticComponent;

constexpr std::uint32_t kSlice = 1024;
constexpr std::int64_t kDefaultPollNanoseconds = 1000000;
constexpr int kSlicesPerTurn = 64;
constexpr long kOutputLimit = 256 * 1024;

Transport* asTransport(vinstance* i) { return static_cast<Transport*>(i); }
vsessionRootTransportClassRec* parent() { return vsessionRootTransportGetDefaultClass(); }
vsession* sessionOf(Transport* t) { return t->engine ? static_cast<vsession*>(t->engine->session) : nullptr; }

void attach(Transport* t, vcommChannel* c) {
  t->channel = c;
  c->client = t;
  c->notify = vsessionChannelTransportNotify;
}
// The channel goes without telling this transport.
void dropChannel(Transport* t) {
  vcommChannel* c = t->channel;
  if (!c) return;
  t->channel = nullptr;
  c->notify = nullptr;
  c->client = nullptr;
  vcommChannelDestroy(c);
}

void dataArrived(Transport* t, vcommChannel* c);

// The turn may still be posted (a served peer's session ending): the
// destroy takes it out of the queue.
void cancelResume(Transport* t) {
  if (!t->resume) return;
  veventDestroy(t->resume);
  t->resume = nullptr;
}

int resumeHandler(vevent* e) {
  auto* t = static_cast<Transport*>(e->data);
  t->resume = nullptr;
  if (vcommChannel* c = t->channel)
    if (c->flags & vcommChannelOPEN) dataArrived(t, c);
  return 1;
}

// A driver that tells of arrivals only once (DDE) would not tell again of
// what a turn left. Posted for the next round of the loop, after the
// window messages (other sockets, the listener) have been drained.
void resumeLater(Transport* t) {
  if (t->resume) return;
  t->resume = veventCreateClient(resumeHandler, t);
  veventPostDelayed(t->resume, 0, 1);
}

bool outputFull(vcommChannel* c) {
  return c->driver && c->driver->pendingOutput && c->driver->pendingOutput(c) > kOutputLimit;
}

void init(vinstance* self) {
  parent()->init(self);
  Transport* t = asTransport(self);
  t->resume = nullptr;
  t->held = false;
  t->serving = false;
  t->channel = nullptr;
  t->pollSeconds = 0;
  t->pollNanoseconds = kDefaultPollNanoseconds;
}

void destroy(vinstance* self) {
  cancelResume(asTransport(self));
  dropChannel(asTransport(self));
  parent()->destroy(self);
}

// A communication exception naming the channel's address would outlive it.
void forgetAddress(vcommChannel* c) {
  for (vexException* e = vexGetCurrentException(); e; e = e->link) {
    if (!vexClassDerives(e->cls, &vexCommunicationAddressClass)) continue;
    auto* a = static_cast<vcommAddressException*>(e);
    if (a->address == &c->peer || a->address == &c->local) a->address = nullptr;
  }
}

void open(Component* self) {
  Transport* t = asTransport(self);
  if (t->channel && !(t->channel->flags & vcommChannelOPEN)) dropChannel(t);
  if (vcommChannel* c = t->channel) {
    if (!c->notify) c->notify = vsessionChannelTransportNotify;
    c->client = t;
    parent()->open(self);
    // What arrived before this transport took the channel was announced to
    // no one.
    if (t->channel == c && (c->flags & vcommChannelOPEN) && vcommAvailable(c) > 0) dataArrived(t, c);
    return;
  }
  vcommChannel* c = vcommChannelCreate();
  vsession* s = sessionOf(t);
  vname transport = s ? vsessionGetAttributeTag(s, vsessionGetAttributeKey(vsessionTRANSPORT)) : nullptr;
  vcommAddressSetTransport(&c->peer, transport ? transport : vnameInternLiteral(""));
  if (s) {
    if (vscribe* location = vsessionGetAttributeScribe(s, vsessionGetAttributeKey(vsessionLOCATION)))
      vcommAddressSetLocation(&c->peer, location);
    if (vscribe* port = vsessionGetAttributeScribe(s, vsessionGetAttributeKey(vsessionPORT)))
      vcommAddressSetPort(&c->peer, port);
  }
  vexGuard(
      [&] {
        attach(t, c);
        vcommConnect(c);
      },
      [&](vexHandler&) {
        if (t->channel) {
          forgetAddress(t->channel);
          dropChannel(t);
        }
        vexGenerateMessage(&vexArgClass, "Cannot open channel");
      });
}

void close(Component* self) {
  Transport* t = asTransport(self);
  vsession* s = sessionOf(t);
  if (s && (s->flags & vsessionBUSY)) {
    // A handler of this session is running: the channel must outlive it.
    if (t->channel) vcommClose(t->channel);
    return;
  }
  vcommChannel* c = t->channel;
  if (!c) return;
  t->channel = nullptr;  // detached; its closed notice still reaches this transport
  vcommChannelDestroy(c);
}

void send(vsessionRootTransport* self, vsessionBlock* block) {
  Transport* t = asTransport(self);
  char* memory = block->data;
  bool owned = (block->flags & vsessionBlockOWNS) != 0;
  const char* bytes = vsessionBlockBytes(block);
  std::uint32_t n = vsessionBlockLength(block);
  block->data = nullptr;
  block->head = block->tail = block->capacity = 0;
  auto release = [&] {
    if (owned) vmemFree(memory);
  };
  vexGuard(
      [&] {
        if (!t->channel) vexGenerateMessage(&vexArgNotOpenClass, "Transport has no channel");
        vcommWrite(t->channel, bytes, n);
      },
      [&](vexHandler&) {
        release();
        _vexGenerate(nullptr, vexEnd);
      });
  release();
  // A write that emptied the queue itself gives no event 3.
  if (t->held && t->channel && !outputFull(t->channel)) resumeLater(t);
}

int poll(vsessionRootTransport* self, std::int64_t seconds, std::int64_t nanoseconds) {
  Transport* t = asTransport(self);
  if (seconds < 0) {
    seconds = 0;
    nanoseconds = kDefaultPollNanoseconds;
  }
  t->pollSeconds = seconds;
  t->pollNanoseconds = nanoseconds;
  if (!t->channel || !(t->channel->flags & vcommChannelOPEN)) return 0;
  return vcommWait(t->channel, static_cast<long>(nanoseconds), static_cast<long>(seconds));
}

void dataArrived(Transport* t, vcommChannel* c) {
  vsession* s = sessionOf(t);
  int setHere = s ? vsessionBeginBusy(s) : 0;
  vexTry([&] {
    char buffer[kSlice];
    for (int slices = 0; c->flags & vcommChannelOPEN; ++slices) {
      // Read again once the queue has drained (event 3). Only a service
      // holds back: a client waiting on its own pipelined calls must go on
      // reading their replies, or both ends would wait for each other.
      t->held = t->serving && outputFull(c);
      if (t->held) break;
      long available = vcommAvailable(c);
      if (available <= 0) break;
      // A client may be waiting outside the event loop, where a posted
      // turn would never come: it reads all there is.
      if (slices == kSlicesPerTurn && t->serving) {
        resumeLater(t);
        break;
      }
      std::uint32_t want = available < static_cast<long>(kSlice) ? static_cast<std::uint32_t>(available) : kSlice;
      long got = vcommRead(c, buffer, want);
      if (got != static_cast<long>(want)) vexGenerateMessage(&vexArgClass, "Short read from channel");
      vsessionBlock block{buffer, 0, want, kSlice, 0, 0.0f};
      auto* p = t->engine ? t->engine->protocol : nullptr;
      if (p) vsessionRec<vsessionRootProtocolClassRec>(p)->receive(p, &block);
    }
  });
  if (s) vsessionEndBusy(s, setHere);
}

}  // namespace

void vsessionChannelTransportNotify(vcommChannel* channel, int event) {
  auto* t = static_cast<Transport*>(channel->client);
  if (!t) return;
  auto* r = vsessionRec<vsessionRootTransportClassRec>(t);
  switch (event) {
    case vcommEVENT_OPENED:
      r->opened(t);
      break;
    case vcommEVENT_CLOSED:
      t->flags &= ~vsessionComponentOPEN;
      r->closed(t);
      break;
    case vcommEVENT_DATA:
      dataArrived(t, channel);
      break;
    case vcommEVENT_SENT:
      // Reading held back for a full queue goes on.
      if (t->held && (channel->flags & vcommChannelOPEN)) dataArrived(t, channel);
      break;
    case vcommEVENT_ERROR:
      vexPrintChain(vdebugGetConsoleError());
      break;
    default:
      break;
  }
}

void _vsessionChannelTransportSetup(vsessionChannelTransportClassRec* cls) {
  cls->init = init;
  cls->destroy = destroy;
  cls->open = open;
  cls->close = close;
  cls->send = send;
  cls->poll = poll;
  cls->reserved = [](Component*) {};
}
