#include "fw/core/timer.h"

#include "fw/core/sys.h"

namespace {

vpool* timerPool = nullptr;

void forgetPool() {
  if (timerPool) vpoolDestroy(timerPool);
  timerPool = nullptr;
}

void notifyNothing(vtimer*) {}

void ensurePool() {
  if (timerPool) return;
  timerPool = vpoolCreate(sizeof(vtimer));
  vmoduleAddExitProc(forgetPool);
}

int timerHandler(vevent* e) {
  auto* t = static_cast<vtimer*>(e->data);
  if (!t || !timerPool || !(t->flags & vtimerARMED)) return 1;
  if ((t->flags & vtimerHAS_PRENOTIFY) && (e->flags & veventPRENOTIFY)) {
    e->flags &= ~veventPRENOTIFY;
    t->preNotify(t);
    veventPostAtStamp(e);
    return 1;
  }
  if (!(t->flags & vtimerRECURRENT)) {
    t->pending = nullptr;
    t->flags &= ~vtimerARMED;
  }
  t->flags |= vtimerNOTIFYING;
  t->notify(t);
  t->flags &= ~vtimerNOTIFYING;
  if (t->flags & vtimerDESTROY_REQUESTED) {
    t->flags &= ~vtimerDESTROY_REQUESTED;
    vtimerDestroy(t);
    return 1;
  }
  // Re-posted from now, so the period runs from the end of the notify; a
  // timer restarted inside its notify already carries a new event.
  if ((t->flags & vtimerARMED) && (t->flags & vtimerRECURRENT) && t->pending == e) {
    if (t->flags & vtimerHAS_PRENOTIFY) e->flags |= veventPRENOTIFY;
    veventPostDelayed(e, t->periodSeconds, t->periodNanoseconds);
  }
  return 1;
}

}  // namespace

int vtimerEventRecurs(const vevent* e) {
  if (!e || e->handler != timerHandler) return 0;
  const auto* t = static_cast<const vtimer*>(e->data);
  return t && (t->flags & vtimerRECURRENT) ? 1 : 0;
}

vtimer* vtimerCreate() {
  ensurePool();
  auto* t = static_cast<vtimer*>(vpoolAlloc(timerPool));
  vtimerInit(t);
  t->flags &= ~vtimerNOT_POOLED;
  return t;
}

void vtimerInit(vtimer* t) {
  *t = vtimer{};
  t->notify = notifyNothing;
  t->flags = vtimerNOT_POOLED;
  ensurePool();
}

// The copy gets its own event: sharing the source's would let the copy's
// stop disarm the source.
void vtimerCopyInit(const vtimer* source, vtimer* destination) {
  vtimerInit(destination);
  destination->preNotify = source->preNotify;
  destination->notify = source->notify;
  destination->periodSeconds = source->periodSeconds;
  destination->periodNanoseconds = source->periodNanoseconds;
  destination->data = source->data;
  destination->flags = (source->flags & (vtimerRECURRENT | vtimerHAS_PRENOTIFY)) | vtimerNOT_POOLED;
  if (source->flags & vtimerARMED) vtimerStart(destination);
}

vtimer* vtimerClone(const vtimer* t) {
  vtimer* copy = vtimerCreate();
  vtimerCopyInit(t, copy);
  copy->flags &= ~vtimerNOT_POOLED;
  return copy;
}

void vtimerSetPreNotify(vtimer* t, vtimerFunc function) {
  t->preNotify = function;
  if (function) t->flags |= vtimerHAS_PRENOTIFY;
  else t->flags &= ~vtimerHAS_PRENOTIFY;
}

void vtimerStart(vtimer* t) {
  if (t->flags & vtimerARMED) vtimerStop(t);
  vevent* e = veventCreateClient(timerHandler, t);
  if (t->flags & vtimerHAS_PRENOTIFY) e->flags |= veventPRENOTIFY;
  t->pending = e;
  t->flags |= vtimerARMED;
  veventPostDelayed(e, t->periodSeconds, t->periodNanoseconds);
}

void vtimerStop(vtimer* t) {
  if (!(t->flags & vtimerARMED)) return;
  if (t->pending) t->pending->data = nullptr;
  t->pending = nullptr;
  t->flags &= ~vtimerARMED;
}

void vtimerDestroy(vtimer* t) {
  vtimerStop(t);
  if (t->flags & vtimerNOTIFYING) {
    t->flags |= vtimerDESTROY_REQUESTED;
    return;
  }
  if (!(t->flags & vtimerNOT_POOLED) && timerPool) vpoolFree(timerPool, t);
}
