// Engines: the root engine only tracks open and closed; the synthetic
// engine composes a protocol and a transport and forwards to them; the
// default engine is a synthetic engine with the default components.
#include <cstddef>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/services/prodef.h"
#include "fw/services/repdef.h"
#include "fw/services/session.h"

namespace {

using Engine = vsessionEngineRoot;
using EngineRec = vsessionEngineRootClassRec;
using Synthetic = vsessionSyntheticEngine;

// A synchronous open or close polls this long at a time.
constexpr vsysTime kPollSlice{45, 0};

struct EngineState {
  EngineRec* root;
  EngineRec* synthetic;
  EngineRec* defaults;
  vclass* defaultProtocol;
  vclass* defaultTransport;
};
void** engineSlot = nullptr;
EngineState* state();

EngineRec* rec(Engine* e) { return vsessionEngineClassOf(e); }
Synthetic* synth(Engine* e) { return static_cast<Synthetic*>(e); }
// The engine around a link (the layers know only the link).
Synthetic* fromLink(vsessionEngine* link) {
  alignas(Synthetic) static unsigned char probe[sizeof(Synthetic)];
  auto* p = reinterpret_cast<Synthetic*>(probe);
  std::ptrdiff_t offset = reinterpret_cast<char*>(&p->link) - reinterpret_cast<char*>(p);
  return reinterpret_cast<Synthetic*>(reinterpret_cast<char*>(link) - offset);
}
vsessionSyntheticComponentClassRec* crec(vsessionSyntheticComponent* c) {
  return static_cast<vsessionSyntheticComponentClassRec*>(c->cls);
}

// The root engine.
void rootInit(vinstance* self) {
  auto* e = static_cast<Engine*>(self);
  e->flags = 0;
  e->session = nullptr;
  e->client = nullptr;
}
void rootDestroy(vinstance* self) {
  auto* e = static_cast<Engine*>(self);
  // Still bound: the session unbinds it, which destroys it.
  if (e->session && e->session->record->engine == e) {
    vsessionSetEngine(e->session, nullptr);
    return;
  }
  vclassFreeInstance(e->cls, e);
}
void rootCopyInit(Engine* source, Engine* target) {
  target->cls = source->cls;
  rec(source)->init(target);
  target->client = source->client;
}
vinstance* rootResultScrap(Engine*, vdatatag* d) { return vsessionCreateEngineScrap(d); }
vinstance* rootArgumentScrap(Engine*, vdatatagList* list) { return vsessionCreateEngineListScrap(list); }
int rootPoll(Engine*, const vsysTime*) { return 0; }
void rootOpen(Engine* e) {
  e->flags |= vsessionEngineROOT_OPEN;
  if (e->session) vsessionClassOf(e->session)->opened(e->session);
}
void rootClose(Engine* e) {
  e->flags &= ~vsessionEngineROOT_OPEN;
  if (e->session) vsessionClassOf(e->session)->closed(e->session);
}
int rootIsOpen(Engine* e) { return (e->flags & vsessionEngineROOT_OPEN) != 0; }
void rootSend(Engine*, vsessionStatement*) {}
void rootNothing(Engine*) {}

// The synthetic engine.
void linkOpened(vsessionEngine* link) { rootOpen(fromLink(link)); }
void linkClosed(vsessionEngine* link) { rootClose(fromLink(link)); }

void syntheticInit(vinstance* self) {
  rootInit(self);
  Synthetic* e = synth(static_cast<Engine*>(self));
  e->link = vsessionEngine{};
  e->link.sessionOpened = linkOpened;
  e->link.sessionClosed = linkClosed;
}

vsessionSyntheticComponent* protocolOf(Engine* e) { return synth(e)->link.protocol; }
vsessionSyntheticComponent* transportOf(Engine* e) { return synth(e)->link.transport; }
void setField(vsessionEngine& link, bool protocol, vsessionSyntheticComponent* c) {
  if (protocol) {
    link.protocol = static_cast<vsessionRootProtocol*>(c);
  } else {
    link.transport = static_cast<vsessionRootTransport*>(c);
  }
}

void syntheticDestroy(vinstance* self) {
  auto* e = static_cast<Engine*>(self);
  if (e->session && e->session->record->engine == e) {
    vsessionSetEngine(e->session, nullptr);
    return;
  }
  vsessionEngine& link = synth(e)->link;
  vsessionSyntheticComponent* t = link.transport;
  vsessionSyntheticComponent* p = link.protocol;
  setField(link, false, nullptr);
  setField(link, true, nullptr);
  if (t) t->engine = nullptr;
  if (p) p->engine = nullptr;
  if (t) vinstanceDestroy(t);
  if (p) vinstanceDestroy(p);
  vclassFreeInstance(e->cls, e);
}

void syntheticCopyInit(Engine* source, Engine* target) {
  rootCopyInit(source, target);
  if (auto* p = protocolOf(source)) vsessionEngineSetComponent(target, vsessionGetAttributeKey(vsessionPROTOCOL_CLASS), p->cls);
  if (auto* t = transportOf(source))
    vsessionEngineSetComponent(target, vsessionGetAttributeKey(vsessionTRANSPORT_CLASS), t->cls);
}

vinstance* syntheticResultScrap(Engine* e, vdatatag* d) {
  auto* p = static_cast<vsessionRootProtocol*>(protocolOf(e));
  if (!p) vexGenerateMessage(&vexArgClass, "engine without protocol");
  return vsessionRec<vsessionRootProtocolClassRec>(p)->makeResultScrap(p, d);
}
vinstance* syntheticArgumentScrap(Engine* e, vdatatagList* list) {
  auto* p = static_cast<vsessionRootProtocol*>(protocolOf(e));
  if (!p) vexGenerateMessage(&vexArgClass, "engine without protocol");
  return vsessionRec<vsessionRootProtocolClassRec>(p)->makeArgumentScrap(p, list);
}
int syntheticPoll(Engine* e, const vsysTime* timeout) {
  auto* t = static_cast<vsessionRootTransport*>(transportOf(e));
  if (!t) return 0;
  std::int64_t seconds = timeout ? timeout->seconds : -1, nanoseconds = timeout ? timeout->nanoseconds : 0;
  return vsessionRec<vsessionRootTransportClassRec>(t)->poll(t, seconds, nanoseconds);
}
void syntheticSend(Engine* e, vsessionStatement* statement) {
  auto* p = static_cast<vsessionRootProtocol*>(protocolOf(e));
  if (!p) vexGenerateMessage(&vexArgClass, "engine without protocol");
  vsessionRec<vsessionRootProtocolClassRec>(p)->send(p, statement);
}

// Chooses the component of one key: the class the session names, else
// the current one, else the default.
void choose(Engine* e, int keyIndex, vsessionSyntheticComponent* current, vclass* fallback) {
  vname key = vsessionGetAttributeKey(keyIndex);
  vname named = e->session ? vsessionGetAttributeTag(e->session, key) : nullptr;
  vclass* cls = nullptr;
  if (!named || (current && current->cls->name == named)) {
    if (!current) cls = fallback;
  } else {
    cls = vclassFindByName(vscribeCString(named));
    if (!cls) _vexGenerate(&vexArgNotUnderstoodClass, vexSetName, named, vexEnd);
  }
  if (cls) {
    vsessionEngineSetComponent(e, key, cls);
  } else if (e->session && current) {
    vsessionSetAttribute(e->session, key, vsessionTagDatatag(), current->cls->name);
  }
}

// Polls while the session keeps the flag, 45 s at a time; a poll that
// answers 0 ends the wait, and a pending quit starts no other.
void pollWhile(vsession* s, std::uint32_t flag) {
  while ((s->flags & flag) && !veventQuitPending())
    if (!vsessionPoll(s, &kPollSlice)) break;
}

void syntheticOpen(Engine* e) {
  EngineState* st = state();
  synth(e)->link.session = e->session;  // bound after the components were made
  choose(e, vsessionPROTOCOL_CLASS, protocolOf(e), st->defaultProtocol);
  choose(e, vsessionTRANSPORT_CLASS, transportOf(e), st->defaultTransport);
  vsessionSyntheticComponent* t = transportOf(e);
  crec(t)->open(t);
  vsession* s = e->session;
  if (s && !s->notify) pollWhile(s, vsessionOPENING);
}

void syntheticClose(Engine* e) {
  // Through the protocol, so that a peer hears of the close.
  if (vsessionSyntheticComponent* p = protocolOf(e)) {
    crec(p)->close(p);
  } else if (vsessionSyntheticComponent* t = transportOf(e)) {
    crec(t)->close(t);
  }
  vsession* s = e->session;
  if (!s || s->notify) return;
  int setHere = vsessionBeginBusy(s);
  vexGuard([&] { pollWhile(s, vsessionCLOSING); },
           [&](vexHandler&) {
             vsessionEndBusy(s, setHere);
             _vexGenerate(nullptr, vexEnd);
           });
  vsessionEndBusy(s, setHere);
}

EngineState* state() {
  if (auto* bound = vmoduleState<EngineState>(engineSlot)) return bound;
  auto* s = static_cast<EngineState*>(vmoduleBindSlot(engineSlot, sizeof(EngineState)));
  *s = EngineState{};
  auto* r = vclassSpawnOf<EngineRec>(vinstanceGetDefaultClass());
  vclassSetName(r, vscribeLiteral("vsessionEngineRoot"));
  r->instanceSize = sizeof(Engine);
  r->init = rootInit;
  r->destroy = rootDestroy;
  r->copyInit = rootCopyInit;
  r->makeResultScrap = rootResultScrap;
  r->makeArgumentScrap = rootArgumentScrap;
  r->poll = rootPoll;
  r->open = rootOpen;
  r->close = rootClose;
  r->isOpen = rootIsOpen;
  r->send = rootSend;
  r->reserved = rootNothing;
  s->root = r;

  auto* y = vclassSpawnOf<EngineRec>(r);
  vclassSetName(y, vscribeLiteral("vsessionSyntheticEngine"));
  y->instanceSize = sizeof(Synthetic);
  y->init = syntheticInit;
  y->destroy = syntheticDestroy;
  y->copyInit = syntheticCopyInit;
  y->makeResultScrap = syntheticResultScrap;
  y->makeArgumentScrap = syntheticArgumentScrap;
  y->poll = syntheticPoll;
  y->open = syntheticOpen;
  y->close = syntheticClose;
  y->send = syntheticSend;
  s->synthetic = y;

  auto* d = vclassSpawnOf<EngineRec>(y);
  vclassSetName(d, vscribeLiteral("vsessionDefaultEngine"));
  d->init = [](vinstance* self) {
    syntheticInit(self);
    auto* e = static_cast<Engine*>(self);
    EngineState* st = state();
    vsessionEngineSetComponent(e, vsessionGetAttributeKey(vsessionPROTOCOL_CLASS), st->defaultProtocol);
    vsessionEngineSetComponent(e, vsessionGetAttributeKey(vsessionTRANSPORT_CLASS), st->defaultTransport);
  };
  s->defaults = d;
  s->defaultProtocol = vsessionDefaultProtocolGetClass();
  s->defaultTransport = vsessionChannelTransportGetDefaultClass();
  return s;
}

}  // namespace

vsessionEngineRootClassRec* vsessionEngineRootGetClass() { return state()->root; }
vsessionSyntheticEngineClassRec* vsessionSyntheticEngineGetClass() { return state()->synthetic; }
vsessionSyntheticEngineClassRec* vsessionDefaultEngineGetClass() { return state()->defaults; }

void vsessionSetDefaultComponentClasses(vclass* protocol, vclass* transport) {
  EngineState* s = state();
  if (protocol) s->defaultProtocol = protocol;
  if (transport) s->defaultTransport = transport;
}

void vsessionEngineSetComponent(Engine* e, vname key, vclass* cls) {
  bool protocol = key == vsessionGetAttributeKey(vsessionPROTOCOL_CLASS);
  if (!protocol && key != vsessionGetAttributeKey(vsessionTRANSPORT_CLASS))
    vexGenerateMessage(&vexArgClass, "not a component key");
  vsessionEngine& link = synth(e)->link;
  vsessionSyntheticComponent* old = protocol ? protocolOf(e) : transportOf(e);
  vname published = nullptr;
  vsessionSyntheticComponent* made = nullptr;
  if (cls) {
    made = static_cast<vsessionSyntheticComponent*>(vinstanceCreate(cls));
    made->engine = &link;
    published = cls->name;
  }
  setField(link, protocol, made);
  if (old) {
    old->engine = nullptr;
    vinstanceDestroy(old);
  }
  link.session = e->session;
  if (e->session) {
    if (published) {
      vsessionSetAttribute(e->session, key, vsessionTagDatatag(), published);
    } else {
      vsessionSetAttribute(e->session, key, nullptr);
    }
  }
}
