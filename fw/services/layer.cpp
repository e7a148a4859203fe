#include "fw/services/layer.h"

#include "fw/core/sys.h"

namespace {

using Component = vsessionSyntheticComponent;
using ComponentRec = vsessionSyntheticComponentClassRec;

struct LayerClasses {
  ComponentRec* component;
  vsessionRootTransportClassRec* rootTransport;
  vsessionChannelTransportClassRec* channelTransport;
  vsessionRootProtocolClassRec* rootProtocol;
  vsessionRootFilterClassRec* rootFilter;
  vsessionMessageFilterClassRec* messageFilter;
};
void** layerSlot = nullptr;

ComponentRec* rec(Component* c) { return vsessionRec<ComponentRec>(c); }
Component* asComponent(vinstance* i) { return static_cast<Component*>(i); }

// The synthetic component.
void componentInit(vinstance* self) {
  asComponent(self)->flags = 0;
  asComponent(self)->engine = nullptr;
}
void componentCopy(Component*, Component* target) { rec(target)->init(target); }
void nothing(Component*) {}
void componentOpened(Component* self) { self->flags |= vsessionComponentOPEN; }
void componentClose(Component* self) { self->flags &= ~vsessionComponentOPEN; }

Component* protocolOf(Component* self) { return self->engine ? asComponent(self->engine->protocol) : nullptr; }
Component* transportOf(Component* self) { return self->engine ? asComponent(self->engine->transport) : nullptr; }

// The root transport: opened opens the protocol, closed tells it.
void transportOpen(Component* self) { rec(self)->opened(self); }
void transportOpened(Component* self) {
  componentOpened(self);
  if (Component* p = protocolOf(self)) rec(p)->open(p);
}
void transportClose(Component* self) {
  componentClose(self);
  rec(self)->closed(self);
}
void transportClosed(Component* self) {
  if (Component* p = protocolOf(self)) rec(p)->closed(p);
}
void transportSend(vsessionRootTransport*, vsessionBlock* block) { block->head = block->tail; }
int transportPoll(vsessionRootTransport*, std::int64_t, std::int64_t) { return 0; }

// The root protocol: opened tells the engine, close closes the transport.
void protocolOpen(Component* self) { rec(self)->opened(self); }
void protocolOpened(Component* self) {
  componentOpened(self);
  if (vsessionEngine* e = self->engine) {
    e->flags |= vsessionEngineOPEN;
    if (e->sessionOpened) e->sessionOpened(e);
  }
}
void protocolClose(Component* self) {
  componentClose(self);
  if (Component* t = transportOf(self)) rec(t)->close(t);
}
void protocolClosed(Component* self) {
  if (vsessionEngine* e = self->engine) {
    e->flags &= ~vsessionEngineOPEN;
    if (e->sessionClosed) e->sessionClosed(e);
  }
}
vinstance* noScrap(vsessionRootProtocol*, void*) { return nullptr; }
void protocolReceive(vsessionRootProtocol*, vsessionBlock*) {}
void protocolSend(vsessionRootProtocol*, void*) {}

// Filters.
using Filter = vsessionRootFilter;
using FilterRec = vsessionRootFilterClassRec;
FilterRec* frec(Filter* f) { return vsessionRec<FilterRec>(f); }
vsessionMessageFilter* asMessage(Filter* f) { return static_cast<vsessionMessageFilter*>(f); }

void filterInit(vinstance* self) { static_cast<Filter*>(self)->pending = vsessionBlock{}; }
void filterDestroy(vinstance* self) {
  vsessionBlockRelease(&static_cast<Filter*>(self)->pending);
  vclassFreeInstance(self->cls, self);
}
void filterNothing(Filter*, vsessionBlock*) {}
int filterSetLengthNothing(Filter*, std::uint32_t) { return 0; }
std::uint32_t filterNeedsNothing(Filter*) { return 0; }

void messageInit(vinstance* self) {
  auto* f = static_cast<vsessionMessageFilter*>(self);
  vsessionBlockInitProportional(&f->pending, 2.0f);
  f->lengthKnown = 0;
  f->length = 0;
}

std::uint32_t messageNeeds(Filter* self) { return asMessage(self)->lengthKnown ? asMessage(self)->length : 4; }

int messageSetLength(Filter* self, std::uint32_t n) {
  asMessage(self)->length = n;
  asMessage(self)->lengthKnown = n != 0;
  return asMessage(self)->lengthKnown;
}

void messageProcess(Filter* self, vsessionBlock* bytes) {
  auto* f = asMessage(self);
  if (!f->lengthKnown) {
    const auto* p = reinterpret_cast<const unsigned char*>(vsessionBlockBytes(bytes));
    std::uint32_t n = static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
                      static_cast<std::uint32_t>(p[2]) << 8 | p[3];
    frec(self)->setLength(self, n);
    return;
  }
  f->lengthKnown = 0;
  f->length = 0;
  frec(self)->message(self, bytes);
}

void messageFeed(Filter* self, vsessionBlock* input) {
  vsessionBlock* pending = &self->pending;
  std::uint32_t have = vsessionBlockLength(pending);
  std::uint32_t avail = vsessionBlockLength(input);
  std::uint32_t need = frec(self)->bytesNeeded(self);
  std::uint32_t missing = need > have ? need - have : 0;
  if (missing > avail) {
    vsessionBlockAppendBytes(pending, vsessionBlockBytes(input), avail, 0);
    input->head = input->tail;
    return;
  }
  if (have) {
    vsessionBlockAppendBytes(pending, vsessionBlockBytes(input), missing, 0);
    input->head += missing;
    frec(self)->process(self, pending);
    vsessionBlockReset(pending);
    return;
  }
  // Nothing pending: the bytes are processed where they lie.
  vsessionBlock view{input->data, input->head, input->head + need, input->capacity, 0, 0.0f};
  input->head += need;
  frec(self)->process(self, &view);
}

LayerClasses* classes() {
  if (auto* bound = vmoduleState<LayerClasses>(layerSlot)) return bound;
  auto* s = static_cast<LayerClasses*>(vmoduleBindSlot(layerSlot, sizeof(LayerClasses)));

  auto* c = vclassSpawnOf<ComponentRec>(vinstanceGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vsessionSyntheticComponent"));
  c->instanceSize = sizeof(Component);
  c->init = componentInit;
  c->copy = componentCopy;
  c->reserved = nothing;
  c->open = nothing;
  c->opened = componentOpened;
  c->close = componentClose;
  c->closed = nothing;
  s->component = c;

  auto* t = vclassSpawnOf<vsessionRootTransportClassRec>(c);
  vclassSetName(t, vscribeLiteral("vsessionRootTransport"));
  t->instanceSize = sizeof(vsessionRootTransport);
  t->open = transportOpen;
  t->opened = transportOpened;
  t->close = transportClose;
  t->closed = transportClosed;
  t->send = transportSend;
  t->poll = transportPoll;
  s->rootTransport = t;

  auto* ct = vclassSpawnOf<vsessionChannelTransportClassRec>(t);
  vclassSetName(ct, vscribeLiteral("vsessionChannelTransport"));
  ct->instanceSize = sizeof(vsessionChannelTransport);
  _vsessionChannelTransportSetup(ct);
  s->channelTransport = ct;

  auto* p = vclassSpawnOf<vsessionRootProtocolClassRec>(c);
  vclassSetName(p, vscribeLiteral("vsessionRootProtocol"));
  p->instanceSize = sizeof(vsessionRootProtocol);
  p->open = protocolOpen;
  p->opened = protocolOpened;
  p->close = protocolClose;
  p->closed = protocolClosed;
  p->makeResultScrap = noScrap;
  p->makeArgumentScrap = noScrap;
  p->receive = protocolReceive;
  p->send = protocolSend;
  s->rootProtocol = p;

  auto* f = vclassSpawnOf<FilterRec>(vinstanceGetDefaultClass());
  vclassSetName(f, vscribeLiteral("vsessionRootFilter"));
  f->instanceSize = sizeof(Filter);
  f->init = filterInit;
  f->destroy = filterDestroy;
  f->feed = filterNothing;
  f->process = filterNothing;
  f->setLength = filterSetLengthNothing;
  f->bytesNeeded = filterNeedsNothing;
  f->message = filterNothing;
  s->rootFilter = f;

  auto* m = vclassSpawnOf<FilterRec>(f);
  vclassSetName(m, vscribeLiteral("vsessionMessageFilter"));
  m->instanceSize = sizeof(vsessionMessageFilter);
  m->init = messageInit;
  m->feed = messageFeed;
  m->process = messageProcess;
  m->setLength = messageSetLength;
  m->bytesNeeded = messageNeeds;
  s->messageFilter = m;
  return s;
}

}  // namespace

vsessionSyntheticComponentClassRec* vsessionSyntheticComponentGetDefaultClass() { return classes()->component; }
vsessionRootTransportClassRec* vsessionRootTransportGetDefaultClass() { return classes()->rootTransport; }
vsessionChannelTransportClassRec* vsessionChannelTransportGetDefaultClass() { return classes()->channelTransport; }
vsessionRootProtocolClassRec* vsessionRootProtocolGetDefaultClass() { return classes()->rootProtocol; }
vsessionRootFilterClassRec* vsessionRootFilterGetDefaultClass() { return classes()->rootFilter; }
vsessionMessageFilterClassRec* vsessionMessageFilterGetDefaultClass() { return classes()->messageFilter; }

void vsessionProtocolFeedFilter(vsessionRootFilter* filter, vsessionBlock* input) {
  // A filter that takes nothing would never empty the input.
  while (input->head != input->tail) {
    std::uint32_t before = input->head;
    vsessionFilterFeed(filter, input);
    if (input->head == before) break;
  }
  vsessionBlockReset(input);
}
