// The channel transport: a session's bytes over one communication channel.
// The channel's notifications drive it: opened and closed travel up to the
// protocol, and arriving bytes reach the protocol in slices of 1024.
#include <cstring>

#include "fw/core/debug.h"
#include "fw/core/sys.h"
#include "fw/services/session.h"
#include "fw/services/vcomm.h"

namespace {

using Transport = vsessionChannelTransport;
using Component = vsessionSyntheticComponent;

constexpr std::uint32_t kSlice = 1024;
constexpr std::int64_t kDefaultPollNanoseconds = 1000000;

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

void init(vinstance* self) {
  parent()->init(self);
  Transport* t = asTransport(self);
  t->channel = nullptr;
  t->pollSeconds = 0;
  t->pollNanoseconds = kDefaultPollNanoseconds;
}

void destroy(vinstance* self) {
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
    while (c->flags & vcommChannelOPEN) {
      long available = vcommAvailable(c);
      if (available <= 0) break;
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
