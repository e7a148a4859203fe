// Statements, far enough for sessions: the record, its state word and
// completion (a closing session cancels what is pending).
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
  if (!statementSlot) statementSlot = vmoduleAllocSlot();
  if (*statementSlot) return *static_cast<vinstanceClassRec**>(*statementSlot);
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
void vsessionStatementDestroy(vsessionStatement* s) { vinstanceDestroy(s); }

void vsessionStatementSetSession(vsessionStatement* s, vsession* session) {
  if (s->state & (1u << 25)) vexGenerateMessage(&vexArgClass, "the statement is pending");
  s->session = session;
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
  if (s->completion) vexTry([s, reply] { s->completion(s, reply); });
  if (reply->kind & vsessionREPLY_MORE) return;
  if ((s->state & vsessionStatementDESTROY_WHEN_DONE) && !(s->state & vsessionStatementWAITING)) {
    vsessionStatementDestroy(s);
  } else if (s->session && (s->state & vsessionStatementNUMBER_MASK)) {
    _vsessionRemoveStatement(s->session, s);
  }
}
