// A primitive context: one call being served, from its arrival until its
// reply or failure. A context whose session closed meanwhile is destroyed
// when reply or fail finds it detached, so it never outlives the call.
#include "fw/core/sys.h"
#include "fw/services/service.h"

namespace {

using Context = _vservicePrimitiveContext;
using ContextRec = _vservicePrimitiveContextClassRec;

struct ContextState {
  ContextRec* cls;
  vdict* live;  // every context not yet destroyed
};
void** contextSlot = nullptr;
ContextState* state();

ContextRec* rec(Context* c) { return static_cast<ContextRec*>(c->cls); }

void contextInit(vinstance* self) {
  auto* c = static_cast<Context*>(self);
  c->primitive = nullptr;
  c->session = nullptr;
  c->arguments = nullptr;
  c->result = nullptr;
  c->client = nullptr;
  vdictStore(state()->live, c, c);
}

void contextDestroy(vinstance* self) {
  auto* c = static_cast<Context*>(self);
  vservicePrimitiveContextSetSession(c, nullptr);
  if (c->arguments) vinstanceDestroy(c->arguments);
  if (c->result) vinstanceDestroy(c->result);
  vdictRemove(state()->live, c);
  vclassFreeInstance(c->cls, c);
}

void nothing(Context*) {}

void dropLive() {
  ContextState* s = state();
  vdictDestroy(s->live);
  s->live = nullptr;
}

ContextState* state() {
  if (auto* bound = vmoduleState<ContextState>(contextSlot)) return bound;
  auto* s = static_cast<ContextState*>(vmoduleBindSlot(contextSlot, sizeof(ContextState)));
  s->live = vdictCreate(vdictHashPointer);
  vmoduleAddContextExitProc(dropLive);
  auto* c = vclassSpawnOf<ContextRec>(vinstanceGetDefaultClass());
  vclassSetName(c, vscribeLiteral("_vservicePrimitiveContext"));
  c->instanceSize = sizeof(Context);
  c->init = contextInit;
  c->destroy = contextDestroy;
  c->sendError = nothing;
  c->sendResult = nothing;
  s->cls = c;
  return s;
}

ContextRec* classes() { return state()->cls; }

bool alive(Context* c) { return state()->live && vdictHas(state()->live, c); }

// Reply and fail: a context without a session is gone with its session.
void answer(Context* c, bool result) {
  if (!c->session) {
    vinstanceDestroy(c);
    vexGenerateMessage(&vexArgClass, "Invalid session");
  }
  if (result) {
    rec(c)->sendResult(c);
  } else {
    rec(c)->sendError(c);
  }
  vinstanceDestroy(c);
}

}  // namespace

_vservicePrimitiveContextClassRec* vservicePrimitiveContextGetClass() { return classes(); }

void vservicePrimitiveContextSetSession(_vservicePrimitiveContext* c, vsession* session) {
  if (c->session == session) return;
  if (c->session) _vsessionRemoveContext(c->session, c);
  c->session = session;
  if (session) _vsessionAddContext(session, c);
}

void vservicePrimitiveInvoke(_vservicePrimitiveContext* c) {
  // Whether the context still exists after the routine: reply and fail
  // destroy it, so the routine reports through this flag.
  bool raised = false;
  vservicePrimitive* p = c->primitive;
  vexGuard(
      [&] {
        if (!p || !p->invoke) vexGenerateMessage(&vexArgClass, "No primitive handler");
        p->invoke(c);
      },
      [&](vexHandler& h) {
        vexSetCurrentException(h.savedChain);
        raised = true;
      });
  if (!raised) return;
  // A routine that raised may have answered (and so destroyed) the
  // context before raising: fail only a context that is still there.
  if (alive(c)) vexTry([c] { vservicePrimitiveFail(c); });
}

void vservicePrimitiveReply(_vservicePrimitiveContext* c) { answer(c, true); }
void vservicePrimitiveFail(_vservicePrimitiveContext* c) { answer(c, false); }
