#include "fw/services/service.h"

#include <cstring>

#include "fw/core/debug.h"
#include "fw/core/sys.h"

namespace {

void printService(vexException* e, std::FILE* stream) {
  vservice* s = static_cast<vserviceException*>(e)->service;
  char pointer[24];
  vscribe* title = s ? vserviceGetAttributeScribe(s, vnameInternLiteral("Title")) : nullptr;
  char text[256] = "";
  if (title) vscribeGetStringBounded(title, text, sizeof text);
  vdebugFprintf(stream, "\tvservice: 0x%s, \"%s\"\n", vdebugPointerText(pointer, s), text);
}

void setService(vexException* e, va_list* ap) { static_cast<vserviceException*>(e)->service = va_arg(*ap, vservice*); }

struct ServiceState {
  vserviceClassRec* cls;
  vserviceBegetterRootClassRec* root;
  vserviceBegetterChannelClassRec* channel;
  vpool* records;
  vname name, title, anonymous, platform, windows;
};
void** serviceSlot = nullptr;

ServiceState* state();

void serviceInit(vinstance* self) {
  ServiceState* st = state();
  auto* s = static_cast<vservice*>(self);
  auto* r = static_cast<vserviceRecord*>(vpoolAlloc(st->records));
  *r = vserviceRecord{};
  vattrlistInit(&r->attributes);
  s->record = r;
  s->session = vsessionCreate();
  vsessionSetAttribute(s->session, vsessionGetAttributeKey(vsessionENGINE_CLASS), vsessionTagDatatag(),
                       vsessionDefaultEngineGetClass()->name);
  s->session->flags |= vsessionSERVICE_SESSION;
  vdictInit(&s->primitives, vdictHashName);
  vdictResize(&s->primitives, 11);
  s->session->flags |= vsessionHELD;
  vserviceSetAttribute(s, st->name, vsessionTagDatatag(), st->anonymous);
  vserviceSetAttribute(s, st->title, vsessionTagDatatag(), st->anonymous);
  vserviceSetAttribute(s, vsessionGetAttributeKey(vsessionPLATFORM), vsessionTagDatatag(), st->windows);
}

void serviceDestroy(vinstance* self) {
  ServiceState* st = state();
  auto* s = static_cast<vservice*>(self);
  vserviceRecord* r = s->record;
  if (vserviceBegetterRoot* b = r->begetter) {
    r->begetter = nullptr;
    b->service = nullptr;
    vinstanceDestroy(b);
  }
  while (r->sessionCount > 0) {
    vsession* session = r->sessions[r->sessionCount - 1];
    session->flags &= ~vsessionHELD;
    vsessionSetService(session, nullptr);
    vsessionDestroy(session);
  }
  vmemFree(r->sessions);
  vdictIterator it;
  vdictInitIterator(&it, &s->primitives);
  while (vdictNextIterator(&it)) vservicePrimitiveDestroy(static_cast<vservicePrimitive*>(vdictIteratorValue(&it)));
  vattrlistDestroy(&r->attributes);
  s->session->flags &= ~vsessionHELD;
  vsessionDestroy(s->session);
  vdictFinish(&s->primitives);
  if (r->dictionary) vdictDestroy(r->dictionary);
  vpoolFree(st->records, r);
  vclassFreeInstance(s->cls, s);
}

// Begetters.
void begetterInit(vinstance* self) {
  auto* b = static_cast<vserviceBegetterRoot*>(self);
  vattrlistInit(&b->attributes);
  b->flags = 0;
  b->service = nullptr;
  b->client = nullptr;
}
void begetterDestroy(vinstance* self) {
  auto* b = static_cast<vserviceBegetterRoot*>(self);
  if (b->flags & vserviceBegetterRUNNING) vserviceBegetterClassOf(b)->stop(b);
  vattrlistDestroy(&b->attributes);
  vclassFreeInstance(b->cls, b);
}
void begetterCopyInit(vserviceBegetterRoot* source, vserviceBegetterRoot* target) {
  target->cls = source->cls;
  vserviceBegetterClassOf(source)->init(target);
  vattrlistCopy(&source->attributes, &target->attributes);
  target->client = source->client;
}
void begetterStart(vserviceBegetterRoot* b) { b->flags |= vserviceBegetterRUNNING; }
void begetterStop(vserviceBegetterRoot* b) { b->flags &= ~vserviceBegetterRUNNING; }
int begetterIsRunning(vserviceBegetterRoot* b) { return (b->flags & vserviceBegetterRUNNING) != 0; }
void begetterNothing(vserviceBegetterRoot*) {}

}  // namespace

// The channel begetter's operations (begchan.cpp).
void _vserviceBegetterChannelInit(vinstance* self);
void _vserviceBegetterChannelStart(vserviceBegetterRoot* self);
void _vserviceBegetterChannelStop(vserviceBegetterRoot* self);

namespace {

ServiceState* state() {
  if (auto* bound = vmoduleState<ServiceState>(serviceSlot)) return bound;
  auto* s = static_cast<ServiceState*>(vmoduleBindSlot(serviceSlot, sizeof(ServiceState)));
  *s = ServiceState{};
  s->records = vpoolCreate(sizeof(vserviceRecord));
  s->name = vnameInternLiteral("Name");
  s->title = vnameInternLiteral("Title");
  s->anonymous = vnameInternLiteral("Anonymous");
  s->windows = vnameInternLiteral("Windows/NT");
  vservicePrimitiveGetClass();

  auto* c = vclassSpawnOf<vserviceClassRec>(vinstanceGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vservice"));
  c->instanceSize = sizeof(vservice);
  c->init = serviceInit;
  c->destroy = serviceDestroy;
  s->cls = c;

  auto* b = vclassSpawnOf<vserviceBegetterRootClassRec>(vinstanceGetDefaultClass());
  vclassSetName(b, vscribeLiteral("vserviceBegetterRoot"));
  b->instanceSize = sizeof(vserviceBegetterRoot);
  b->init = begetterInit;
  b->destroy = begetterDestroy;
  b->copyInit = begetterCopyInit;
  b->start = begetterStart;
  b->stop = begetterStop;
  b->isRunning = begetterIsRunning;
  b->reserved = begetterNothing;
  s->root = b;

  auto* ch = vclassSpawnOf<vserviceBegetterChannelClassRec>(b);
  vclassSetName(ch, vscribeLiteral("vserviceBegetterChannel"));
  ch->instanceSize = sizeof(vserviceBegetterChannel);
  ch->init = _vserviceBegetterChannelInit;
  ch->start = _vserviceBegetterChannelStart;
  ch->stop = _vserviceBegetterChannelStop;
  s->channel = ch;
  return s;
}

}  // namespace

const vexClass vexServiceClass{&vexRootClass, "Service", 36, nullptr, sizeof(vexException)};
const vexClass vexServiceCannotEnableClass{&vexServiceClass, "CannotEnable", 40, printService,
                                           sizeof(vserviceException)};
void _vserviceSetException(vexException* e, va_list* ap) { setService(e, ap); }

vserviceClassRec* vserviceGetDefaultClass() { return state()->cls; }
vserviceBegetterRootClassRec* vserviceGetBegetterRootClass() { return state()->root; }
vserviceBegetterChannelClassRec* vserviceGetBegetterChannelClass() { return state()->channel; }
void vserviceInstallStartup() {
  vmoduleInstallStartup("vserviceGetDefaultClass", [] { vserviceGetBegetterChannelClass(); });
}

vservice* vserviceCreate() { return static_cast<vservice*>(vinstanceCreate(vserviceGetDefaultClass())); }
void vserviceDestroy(vservice* s) { vinstanceDestroy(s); }

vname vservicePrimitiveGetName(vservicePrimitive* p) { return p->signature ? p->signature->tag : nullptr; }

void vserviceAddPrimitive(vservice* s, vservicePrimitive* p) {
  vname name = vservicePrimitiveGetName(p);
  if (!name) vexGenerateMessage(&vexArgClass, "a primitive without a name");
  auto* old = static_cast<vservicePrimitive*>(vdictGet(&s->primitives, name));
  if (old == p) return;
  if (old) vservicePrimitiveDestroy(old);
  vdictStore(&s->primitives, name, p);
}

vservicePrimitive* vserviceFindPrimitive(vservice* s, vname name) {
  return static_cast<vservicePrimitive*>(vdictGet(&s->primitives, name));
}

void vserviceSetAttribute(vservice* s, vname key, vdatatag* datatag, ...) {
  vsessionArgs args;
  va_start(args.ap, datatag);
  vsessionSetAttributeV(&s->record->attributes, key, datatag, &args.ap);
}

vscribe* vserviceGetAttributeScribe(vservice* s, vname key) {
  if (vserviceBegetterRoot* b = s->record->begetter)
    if (vscribe* v = vattrlistGetScribed(&b->attributes, key)) return v;
  return vattrlistGetScribed(&s->record->attributes, key);
}

vname vserviceGetAttributeTag(vservice* s, vname key) {
  if (vserviceBegetterRoot* b = s->record->begetter)
    if (vname v = vattrlistGetTag(&b->attributes, key)) return v;
  return vattrlistGetTag(&s->record->attributes, key);
}

void vserviceSetBegetter(vservice* s, vserviceBegetterRoot* b) {
  vserviceRecord* r = s->record;
  if (r->begetter == b) return;
  if (vserviceBegetterRoot* old = r->begetter) {
    r->begetter = nullptr;
    old->service = nullptr;
    vinstanceDestroy(old);
  }
  r->begetter = b;
  if (!b) return;
  b->service = s;
  vserviceBegetterClassOf(b)->start(b);
}

void vserviceStopBegetter(vservice* s) {
  if (vserviceBegetterRoot* b = s->record->begetter) vserviceBegetterClassOf(b)->stop(b);
}

void _vserviceAddSession(vservice* s, vsession* session) {
  vserviceRecord* r = s->record;
  r->sessions = static_cast<vsession**>(
      vmemRealloc(r->sessions, vmemArraySize(static_cast<std::size_t>(r->sessionCount) + 1, sizeof(vsession*))));
  r->sessions[r->sessionCount++] = session;
}

void _vserviceRemoveSession(vservice* s, vsession* session) {
  vserviceRecord* r = s->record;
  for (int i = 0; i < r->sessionCount; ++i)
    if (r->sessions[i] == session) {
      r->sessions[i] = r->sessions[--r->sessionCount];
      return;
    }
}

void vserviceBegetterSetAttribute(vserviceBegetterRoot* b, vname key, vdatatag* datatag, ...) {
  vsessionArgs args;
  va_start(args.ap, datatag);
  vsessionSetAttributeV(&b->attributes, key, datatag, &args.ap);
}
vscribe* vserviceBegetterGetAttributeScribe(vserviceBegetterRoot* b, vname key) {
  return vattrlistGetScribed(&b->attributes, key);
}
vname vserviceBegetterGetAttributeTag(vserviceBegetterRoot* b, vname key) { return vattrlistGetTag(&b->attributes, key); }
