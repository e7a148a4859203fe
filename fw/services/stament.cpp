// Statements: one remote call, its arguments made through the session's
// engine, sending, waiting with a deadline and the completion by replies.
#include <cstdarg>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/services/session.h"

namespace {

using Statement = vsessionStatement;

void** statementSlot = nullptr;

void setState(Statement* s, std::uint32_t state) { s->state = (s->state & ~0xF000000u) | state << 24; }

void statementInit(vinstance* self) {
  auto* s = static_cast<Statement*>(self);
  s->session = nullptr;
  s->operation = nullptr;
  s->arguments = nullptr;
  s->result = nullptr;
  s->state = 0;
  s->completion = nullptr;
  s->client = nullptr;
}

void statementDestroy(vinstance* self) {
  auto* s = static_cast<Statement*>(self);
  if ((s->state & vsessionStatementNUMBER_MASK) && s->session) _vsessionRemoveStatement(s->session, s);
  if (s->result) vinstanceDestroy(s->result);
  if (s->arguments) vinstanceDestroy(s->arguments);
  vclassFreeInstance(s->cls, s);
}

vinstanceClassRec* classes() {
  if (auto* bound = vmoduleState<vinstanceClassRec*>(statementSlot)) return *bound;
  auto* slot = static_cast<vinstanceClassRec**>(vmoduleBindSlot(statementSlot, sizeof(vinstanceClassRec*)));
  auto* c = vclassSpawnOf<vinstanceClassRec>(vinstanceGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vsessionStatement"));
  c->instanceSize = sizeof(Statement);
  c->init = statementInit;
  c->destroy = statementDestroy;
  *slot = c;
  return c;
}

}  // namespace

vinstanceClassRec* vsessionStatementGetClass() { return classes(); }
vsessionStatement* vsessionStatementCreate() { return static_cast<Statement*>(vinstanceCreate(classes())); }
void vsessionStatementInit(vsessionStatement* memory) { vinstanceInit(memory, classes()); }
void vsessionStatementDestroy(vsessionStatement* s) {
  // Its completion or a wait on it still uses it: they destroy it on return.
  if (s->state & (vsessionStatementWAITING | vsessionStatementIN_REPLY)) {
    s->state |= vsessionStatementDESTROY_WHEN_DONE;
    return;
  }
  vinstanceDestroy(s);
}

void vsessionStatementSetSession(vsessionStatement* s, vsession* session) {
  if (s->state & (1u << 25)) vexGenerateMessage(&vexArgClass, "the statement is pending");
  s->session = session;
}

void vsessionStatementSetOperation(vsessionStatement* s, vsignature* operation) {
  if (s->arguments) vexGenerateMessage(&vexArgClass, "Statement arguments already set");
  s->operation = operation;
}

void vsessionStatementSetArgs(vsessionStatement* s, ...) {
  if (!s->operation) vexGenerateMessage(&vexArgClass, "Statement has no operation");
  vsessionEngineRoot* engine = s->session ? s->session->record->engine : nullptr;
  vdatatagList* list = &s->operation->arguments;
  vinstance* made = engine ? vsessionEngineClassOf(engine)->makeArgumentScrap(engine, list)
                           : vsessionEngineRootGetClass()->makeArgumentScrap(nullptr, list);
  vdatatagScrap* values = nullptr;
  vsessionArgs args;
  va_start(args.ap, s);
  vexGuard(
      [&] {
        values = vdatatagCreateListScrapWithValueV(list, args.ap);
        vscrapImport(vscrapWalk(values), vscrapWalk(made));
      },
      [&](vexHandler&) {
        if (values) vinstanceDestroy(values);
        vinstanceDestroy(made);
        _vexGenerate(nullptr, vexEnd);
      });
  vinstanceDestroy(values);
  if (s->arguments) vinstanceDestroy(s->arguments);
  s->arguments = made;
}

void vsessionStatementSend(vsessionStatement* s) {
  if (!s->session || !s->operation) vexGenerateMessage(&vexArgClass, "Statement has no session or operation");
  vsession* session = s->session;
  int setHere = vsessionBeginBusy(session);
  if (!vexTry([&] { vsessionSend(session, s); })) {
    vsessionReply failed{vsessionREPLY_FAILED};
    vsessionStatementComplete(s, &failed);
  }
  vsessionEndBusy(session, setHere);
}

int vsessionStatementWait(vsessionStatement* s, const vsysTime* timeout) {
  if (vsessionStatementGetState(s) != vsessionStatementPENDING) return vsessionStatementGetState(s) != 0;
  vsession* session = s->session;
  if (!session) vexGenerateMessage(&vexArgClass, "Statement has no session");
  int setHere = vsessionBeginBusy(session);
  s->state |= vsessionStatementWAITING;
  int left = 0;
  auto finish = [&] {
    s->state &= ~vsessionStatementWAITING;
    vsessionEndBusy(session, setHere);
  };
  vexGuard(
      [&] {
        vsysTime deadline{};
        if (timeout) deadline = vsysAddTime(vsysGetTime(), vsysNormaliseDelay(timeout->seconds, timeout->nanoseconds));
        int more = vsessionPoll(session, timeout);
        // A pending quit starts no other slice: the loop outside is to act on it.
        while (vsessionStatementGetState(s) == vsessionStatementPENDING && more && !veventQuitPending()) {
          if (!timeout) {
            more = vsessionPoll(session, nullptr);
            continue;
          }
          vsysTime rest = vsysSubtractTime(deadline, vsysGetTime());
          if (rest.seconds < 0) break;
          more = vsessionPoll(session, &rest);
        }
        left = vsessionStatementGetState(s) != vsessionStatementPENDING;
      },
      [&](vexHandler&) {
        finish();
        _vexGenerate(nullptr, vexEnd);
      });
  finish();
  if (s->state & vsessionStatementDESTROY_WHEN_DONE) {
    // The caller asked for it to go; it is gone once no longer pending.
    if (left) vsessionStatementDestroy(s);
  }
  return left;
}

void vsessionStatementGetResult(vsessionStatement* s, ...) {
  if (vsessionStatementGetState(s) < vsessionStatementDONE || !s->result || !s->operation ||
      !s->operation->returnValue)
    vexGenerateMessage(&vexArgClass, "Statement has no result");
  vsessionArgs args;
  va_start(args.ap, s);
  vdatatagScrap* target = nullptr;
  vexGuard(
      [&] {
        target = vdatatagCreateScrapFromArgsV(s->operation->returnValue, args.ap);
        vscrapImport(vscrapWalk(s->result), vscrapWalk(target));
      },
      [&](vexHandler&) {
        if (target) vinstanceDestroy(target);
        _vexGenerate(nullptr, vexEnd);
      });
  vinstanceDestroy(target);
}

void vsessionStatementComplete(vsessionStatement* s, vsessionReply* reply) {
  if (vsessionStatementGetState(s) == vsessionStatementCANCELLED) return;
  switch (reply->kind) {
    case vsessionREPLY_RESULT: setState(s, vsessionStatementDONE); break;
    case vsessionREPLY_FAILED: setState(s, vsessionStatementFAILED); break;
    case vsessionREPLY_CANCELLED: setState(s, vsessionStatementCANCELLED); break;
    case vsessionREPLY_ERROR: setState(s, vsessionStatementERROR); break;
    default: break;
  }
  bool nested = s->state & vsessionStatementIN_REPLY;
  s->state |= vsessionStatementIN_REPLY;
  vexTry([s, reply] {
    if (s->completion) {
      s->completion(s, reply);
    } else if (s->result && !(s->state & vsessionStatementTYPEABLE)) {
      vinstance* result = s->result;
      s->result = nullptr;  // made typeable in its place, or gone
      s->result = vscrapMakeTypeable(result);
      s->state |= vsessionStatementTYPEABLE;
    }
  });
  if (!nested) s->state &= ~vsessionStatementIN_REPLY;
  if (reply->kind & vsessionREPLY_MORE) return;
  if ((s->state & vsessionStatementDESTROY_WHEN_DONE) && !(s->state & (vsessionStatementWAITING | vsessionStatementIN_REPLY))) {
    vinstanceDestroy(s);
  } else if (s->session && (s->state & vsessionStatementNUMBER_MASK)) {
    _vsessionRemoveStatement(s->session, s);
  }
}
