#include "fw/services/session.h"

#include <cstring>

#include "fw/core/sys.h"
#include "fw/services/service.h"

namespace {

constexpr const char* kKeyNames[vsessionATTRIBUTE_KEYS] = {
    "Location", "Platform", "Port", "Transport", "BegetterClass", "EngineClass", "ProtocolClass", "TransportClass",
};

struct SessionState {
  vsessionClassRec* cls;
  vpool* records;
  vname keys[vsessionATTRIBUTE_KEYS];
};
void** sessionSlot = nullptr;

void sessionInit(vinstance* self);
void sessionDestroy(vinstance* self);
void sessionCopyInit(vsession* source, vsession* target);
void sessionNothing(vsession*) {}
void sessionOpen(vsession* self);
void sessionClose(vsession* self);
void sessionOpened(vsession* self);
void sessionClosed(vsession* self);
void sessionSend(vsession* self, vsessionStatement* statement);
int sessionPoll(vsession* self, const vsysTime* timeout);

SessionState* state() {
  if (auto* bound = vmoduleState<SessionState>(sessionSlot)) return bound;
  auto* s = static_cast<SessionState*>(vmoduleBindSlot(sessionSlot, sizeof(SessionState)));
  *s = SessionState{};
  for (int i = 0; i < vsessionATTRIBUTE_KEYS; ++i) s->keys[i] = vnameInternLiteral(kKeyNames[i]);
  s->records = vpoolCreate(sizeof(vsessionRecord));
  auto* c = vclassSpawnOf<vsessionClassRec>(vinstanceGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vsession"));
  c->instanceSize = sizeof(vsession);
  c->init = sessionInit;
  c->destroy = sessionDestroy;
  c->copyInit = sessionCopyInit;
  c->reserved = sessionNothing;
  c->open = sessionOpen;
  c->close = sessionClose;
  c->opened = sessionOpened;
  c->closed = sessionClosed;
  c->send = sessionSend;
  c->poll = sessionPoll;
  s->cls = c;
  vsessionStatementGetClass();
  return s;
}

vsessionRecord* newRecord() {
  auto* r = static_cast<vsessionRecord*>(vpoolAlloc(state()->records));
  *r = vsessionRecord{};
  vattrlistInit(&r->attributes);
  return r;
}

void sessionInit(vinstance* self) {
  auto* s = static_cast<vsession*>(self);
  s->notify = nullptr;
  s->flags = vsessionCLOSED_FLAG;
  s->service = nullptr;
  s->client = nullptr;
  s->record = newRecord();
}

// Statement numbers run in sequence: spread them, or they fill one run of
// the table's slots and every removal walks the whole run.
std::uint32_t numberHash(const void* key) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(key)) * 2654435761u;
}

const void* numberKey(std::uint32_t number) { return reinterpret_cast<const void*>(std::uintptr_t{number}); }

// Calls the callback; a closed held session is destroyed afterwards.
void notify(vsession* s, std::int32_t code) {
  if (s->notify) s->notify(s, &code);
  if ((s->flags & vsessionCLOSED_FLAG) && (s->flags & vsessionHELD)) {
    s->flags &= ~vsessionHELD;
    vsessionDestroy(s);
  }
}

vsessionEngineRootClassRec* engineRec(vsessionEngineRoot* e) { return vsessionEngineClassOf(e); }

void sessionOpen(vsession* self) {
  if (!(self->flags & vsessionCLOSED_FLAG)) return;
  bool made = false;
  vexGuard(
      [&] {
        self->flags = (self->flags & ~vsessionCLOSED_FLAG) | vsessionOPENING;
        if (!self->record->engine) {
          vname name = vsessionGetAttributeTag(self, vsessionGetAttributeKey(vsessionENGINE_CLASS));
          vclass* cls = vsessionDefaultEngineGetClass();
          if (name) {
            cls = vclassFindByName(vscribeCString(name));
            if (!cls)
              _vexGenerate(&vexArgNotUnderstoodClass, vexSetName, name, vexEnd);
          }
          vsessionSetEngine(self, static_cast<vsessionEngineRoot*>(vinstanceCreate(cls)));
          made = true;
        }
        vsessionEngineRoot* e = self->record->engine;
        engineRec(e)->open(e);
      },
      [&](vexHandler& h) {
        if (made) vsessionSetEngine(self, nullptr);
        self->flags = (self->flags & ~vsessionOPENING) | vsessionCLOSED_FLAG;
        if (!self->notify) _vexGenerate(nullptr, vexEnd);
        vexSetCurrentException(h.savedChain);
        notify(self, vsessionOPEN_FAILED);
      });
}

void sessionOpened(vsession* self) {
  self->flags = (self->flags & ~vsessionOPENING) | vsessionOPEN;
  notify(self, vsessionOPENED);
}

void sessionClose(vsession* self) {
  if (self->flags & (vsessionCLOSED_FLAG | vsessionCLOSING)) return;
  self->flags |= vsessionCLOSING;
  if (vsessionEngineRoot* e = self->record->engine) engineRec(e)->close(e);
}

void sessionClosed(vsession* self) {
  std::int32_t code = (self->flags & vsessionOPENING) ? vsessionOPEN_FAILED : vsessionCLOSED;
  self->flags = (self->flags & ~(vsessionOPENING | vsessionOPEN | vsessionCLOSING)) | vsessionCLOSED_FLAG;
  int setHere = vsessionBeginBusy(self);
  vsessionRecord* r = self->record;
  if (vdict* contexts = r->contexts) {
    r->contexts = nullptr;
    vdictIterator it;
    vdictInitIterator(&it, contexts);
    while (vdictNextIterator(&it))
      static_cast<_vservicePrimitiveContext*>(vdictIteratorValue(&it))->session = nullptr;
    vdictDestroy(contexts);
  }
  if (r->pending && vdictCount(r->pending)) {
    std::size_t n = vdictCount(r->pending);
    auto** list = static_cast<vsessionStatement**>(vmemAlloc(vmemArraySize(n, sizeof(vsessionStatement*))));
    std::size_t i = 0;
    vdictIterator it;
    vdictInitIterator(&it, r->pending);
    while (vdictNextIterator(&it) && i < n) list[i++] = static_cast<vsessionStatement*>(vdictIteratorValue(&it));
    vsessionReply cancelled{vsessionREPLY_CANCELLED};
    for (std::size_t k = 0; k < i; ++k) vsessionStatementComplete(list[k], &cancelled);
    vmemFree(list);
  }
  notify(self, code);
  vsessionEndBusy(self, setHere);
}

void sessionSend(vsession* self, vsessionStatement* statement) {
  if (vsessionEngineRoot* e = self->record->engine) {
    engineRec(e)->send(e, statement);
    return;
  }
  vsessionReply failed{vsessionREPLY_FAILED};
  vsessionStatementComplete(statement, &failed);
}

int sessionPoll(vsession* self, const vsysTime* timeout) {
  vsessionEngineRoot* e = self->record->engine;
  if (!e) vexGenerateMessage(&vexArgClass, "session without engine");
  return engineRec(e)->poll(e, timeout);
}

void sessionCopyInit(vsession* source, vsession* target) {
  target->cls = source->cls;
  vclassRec<vsessionClassRec>(source)->init(target);
  vsessionRecord* from = source->record;
  vsessionRecord* to = target->record;
  if (from->dictionary) to->dictionary = vdictCopy(from->dictionary);
  vattrlistCopy(&from->attributes, &to->attributes);
  target->flags = vsessionCLOSED_FLAG | (source->flags & vsessionHELD);
  target->client = source->client;
  target->notify = source->notify;
}

void sessionDestroy(vinstance* self) {
  auto* s = static_cast<vsession*>(self);
  vsessionSetService(s, nullptr);
  vsessionSetEngine(s, nullptr);
  vsessionRecord* r = s->record;
  if (r->contexts) {
    vdictIterator it;
    vdictInitIterator(&it, r->contexts);
    while (vdictNextIterator(&it))
      static_cast<_vservicePrimitiveContext*>(vdictIteratorValue(&it))->session = nullptr;
    vdictDestroy(r->contexts);
  }
  if (r->pending) {
    vdictIterator it;
    vdictInitIterator(&it, r->pending);
    while (vdictNextIterator(&it)) {
      auto* st = static_cast<vsessionStatement*>(vdictIteratorValue(&it));
      st->state &= ~vsessionStatementNUMBER_MASK;
      st->session = nullptr;
    }
    vdictDestroy(r->pending);
  }
  if (r->dictionary) vdictDestroy(r->dictionary);
  vattrlistDestroy(&r->attributes);
  vpoolFree(state()->records, r);
  vclassFreeInstance(s->cls, s);
}

}  // namespace

void vsessionSetAttributeV(vattrlist* list, vname key, vdatatag* d, va_list* ap) {
  if (!d) {
    vattrlistSet(list, key, nullptr);
    return;
  }
  switch (vdatatagGetKind(d)) {
    case vdatatagSINGLE_FLOAT:
    case vdatatagDOUBLE_FLOAT:
      vattrlistSetFloatValue(list, key, d, va_arg(*ap, double));
      break;
    case vdatatagBOOLEAN:
    case vdatatagCHARACTER:
    case vdatatagBYTE:
    case vdatatagUNSIGNED_BYTE:
    case vdatatagSHORT:
    case vdatatagUNSIGNED_SHORT:
    case vdatatagINTEGER:
    case vdatatagUNSIGNED_INTEGER:
    case vdatatagFIXED:
      vattrlistSet(list, key, d, va_arg(*ap, int));
      break;
    case vdatatagLONGLONG:
    case vdatatagUNSIGNED_LONGLONG:
      vattrlistSet(list, key, d, va_arg(*ap, long long));
      break;
    default:
      vattrlistSet(list, key, d, va_arg(*ap, void*));
      break;
  }
}

vname vsessionGetAttributeKey(int index) { return state()->keys[index]; }
vdatatag* vsessionStringDatatag() { return vdatatagGetPredefined(vdatatagSTRING); }
vdatatag* vsessionTagDatatag() { return vdatatagGetPredefined(vdatatagTAG); }
vdatatag* vsessionDoubleDatatag() { return vdatatagGetPredefined(vdatatagSINGLE_FLOAT); }  // 11

vsessionClassRec* vsessionGetDefaultClass() { return state()->cls; }
vsession* vsessionCreate() { return static_cast<vsession*>(vinstanceCreate(vsessionGetDefaultClass())); }

void vsessionDestroy(vsession* s) {
  if (s->flags & vsessionDESTROY_REQUESTED) return;
  if (s->flags & vsessionBUSY) {
    s->flags |= vsessionDESTROY_REQUESTED;
    return;
  }
  if (s->flags & vsessionHELD) vexGenerateMessage(&vexArgClass, "a held session is destroyed by its owner");
  vinstanceDestroy(s);
}

vsession* vsessionClone(vsession* s) {
  auto* copy = static_cast<vsession*>(vclassAllocInstance(s->cls));
  vsessionClassOf(s)->copyInit(s, copy);
  return copy;
}

int vsessionBeginBusy(vsession* s) {
  if (s->flags & vsessionBUSY) return 0;
  s->flags |= vsessionBUSY;
  return 1;
}

void vsessionEndBusy(vsession* s, int setHere) {
  if (!setHere) return;
  s->flags &= ~vsessionBUSY;
  if (s->flags & vsessionDESTROY_REQUESTED) {
    s->flags &= ~(vsessionDESTROY_REQUESTED | vsessionHELD);
    vinstanceDestroy(s);
  }
}

void vsessionSetAttribute(vsession* s, vname key, vdatatag* datatag, ...) {
  vsessionArgs args;
  va_start(args.ap, datatag);
  vsessionSetAttributeV(&s->record->attributes, key, datatag, &args.ap);
}

void vsessionSetAttributesFromDict(vsession* s, vdatatagScrap* dictionary) {
  vdatatag* d = dictionary ? dictionary->datatag : nullptr;
  if (!d || vdatatagGetKind(d) != vdatatagDICTIONARY || !dictionary->value)
    vexGenerateMessage(&vexArgClass, "not a dictionary");
  auto* values = static_cast<vdict*>(dictionary->value);
  vdictIterator it;
  vdictInitIterator(&it, &static_cast<vdatatagDict*>(d)->entries);
  while (vdictNextIterator(&it)) {
    auto key = static_cast<vname>(vdictIteratorKey(&it));
    auto* entry = static_cast<vdatatag*>(vdictIteratorValue(&it));
    if (!vdictHas(values, key)) continue;
    int kind = vdatatagGetKind(entry);
    vattrlist* list = &s->record->attributes;
    if (kind == vdatatagSINGLE_FLOAT || kind == vdatatagDOUBLE_FLOAT) {
      // The entry word holds the double's bits.
      auto bits = reinterpret_cast<std::uintptr_t>(vdictGet(values, key));
      double v;
      std::memcpy(&v, &bits, sizeof v);
      vattrlistSetFloatValue(list, key, vsessionDoubleDatatag(), v);
    } else if (kind <= vdatatagUNSIGNED_INTEGER || kind == vdatatagFIXED) {
      vattrlistSet(list, key, entry, static_cast<int>(vdictGetInteger(values, key)));
    } else {
      // Strings and the other words are copied by the list; the
      // dictionary keeps its own.
      vattrlistSet(list, key, entry, vdictGet(values, key));
    }
  }
}

vscribe* vsessionGetAttributeScribe(vsession* s, vname key) { return vattrlistGetScribed(&s->record->attributes, key); }
vname vsessionGetAttributeTag(vsession* s, vname key) { return vattrlistGetTag(&s->record->attributes, key); }

void vsessionSetService(vsession* s, vservice* service) {
  if (s->service == service) return;
  if (s->service) _vserviceRemoveSession(s->service, s);
  s->service = service;
  if (service) _vserviceAddSession(service, s);
}

void vsessionSetEngine(vsession* s, vsessionEngineRoot* engine) {
  vsessionEngineRoot* old = s->record->engine;
  if (old == engine) return;
  if (engine) engine->session = s;
  s->record->engine = engine;
  vname key = vsessionGetAttributeKey(vsessionENGINE_CLASS);
  if (engine) {
    vsessionSetAttribute(s, key, vsessionTagDatatag(), engine->cls->name);
  } else {
    vsessionSetAttribute(s, key, nullptr);
  }
  if (old) {
    old->session = nullptr;
    vinstanceDestroy(old);
  }
}

void _vsessionAddStatement(vsession* s, vsessionStatement* st, std::uint32_t number) {
  vsessionRecord* r = s->record;
  if (!r->pending) r->pending = vdictCreate(numberHash);
  number &= vsessionStatementNUMBER_MASK;
  vdictStore(r->pending, numberKey(number), st);
  st->state = (st->state & ~(vsessionStatementNUMBER_MASK | 0xF000000u)) | number | vsessionStatementPENDING << 24;
}

vsessionStatement* _vsessionFindStatement(vsession* s, std::uint32_t number) {
  vsessionRecord* r = s->record;
  if (!r->pending || number == 0 || number > vsessionStatementNUMBER_MASK) return nullptr;
  return static_cast<vsessionStatement*>(vdictGet(r->pending, numberKey(number)));
}

void _vsessionRemoveStatement(vsession* s, vsessionStatement* st) {
  std::uint32_t number = st->state & vsessionStatementNUMBER_MASK;
  vsessionRecord* r = s->record;
  if (r->pending && vdictGet(r->pending, numberKey(number)) == st) vdictRemove(r->pending, numberKey(number));
  st->state &= ~vsessionStatementNUMBER_MASK;
}

void _vsessionAddContext(vsession* s, _vservicePrimitiveContext* context) {
  vsessionRecord* r = s->record;
  if (!r->contexts) r->contexts = vdictCreate(vdictHashPointer);
  vdictStore(r->contexts, context, context);
}

void _vsessionRemoveContext(vsession* s, _vservicePrimitiveContext* context) {
  vsessionRecord* r = s->record;
  if (r->contexts && vdictHas(r->contexts, context)) vdictRemove(r->contexts, context);
}
