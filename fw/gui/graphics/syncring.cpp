#include "fw/gui/graphics/syncring.h"

#include "fw/core/mem.h"

namespace {
vpool* entryPool = nullptr;

vpool* pool() {
  if (!entryPool) entryPool = vpoolCreate(sizeof(vsyncRingEntry));
  return entryPool;
}

vsyncRingEntry* before(vsyncRingEntry* entry) {
  vsyncRingEntry* p = entry;
  while (p->next != entry) p = p->next;
  return p;
}
}  // namespace

void _vsyncRingInitPool() { pool(); }

vsyncRingEntry* vsyncRingAdd(vsyncRingEntry* ring, const vsyncRingKind* kind, void* data) {
  auto* e = static_cast<vsyncRingEntry*>(vpoolAlloc(pool()));
  *e = {e, kind, data, 0, 0, 0};
  if (ring) {
    before(ring)->next = e;
    e->next = ring;
  }
  if (kind->init) kind->init(e);
  return e;
}

vsyncRingEntry* vsyncRingFind(vsyncRingEntry* ring, const vsyncRingKind* kind) {
  if (!ring) return nullptr;
  vsyncRingEntry* e = ring;
  do {
    if (e->kind == kind) return e;
    e = e->next;
  } while (e != ring);
  return nullptr;
}

void vsyncRingRemove(vsyncRingEntry* entry) {
  if (entry->kind->free) entry->kind->free(entry);
  before(entry)->next = entry->next;
  vpoolFree(pool(), entry);
}

void vsyncRingFree(vsyncRingEntry* ring) {
  if (!ring) return;
  vsyncRingEntry* e = ring;
  do {
    if (e->kind->free) e->kind->free(e);
    e = e->next;
  } while (e != ring);
  e = ring;
  do {
    vsyncRingEntry* next = e->next;
    vpoolFree(pool(), e);
    e = next;
  } while (e != ring);
}

void vsyncRingSetCurrent(vsyncRingEntry* entry) {
  for (vsyncRingEntry* e = entry->next; e != entry; e = e->next) e->flags &= ~vsyncRingUP_TO_DATE;
  entry->flags |= vsyncRingUP_TO_DATE;
}

// An entry whose every update failed stays stale, so that its next use
// tries again; it is taken as current only when nothing else is.
void vsyncRingValidate(vsyncRingEntry* entry) {
  if (entry->flags & vsyncRingUP_TO_DATE) return;
  bool sourceSeen = false;
  for (vsyncRingEntry* other = entry->next; other != entry; other = other->next) {
    if (!(other->flags & vsyncRingUP_TO_DATE)) continue;
    sourceSeen = true;
    if ((entry->kind->updateFrom && entry->kind->updateFrom(entry, other)) ||
        (other->kind->updateTo && other->kind->updateTo(other, entry))) {
      entry->flags |= vsyncRingUP_TO_DATE;
      return;
    }
  }
  if (!sourceSeen) entry->flags |= vsyncRingUP_TO_DATE;
}

void vsyncRingRelease(vsyncRingEntry* entry) {
  if (entry->useCount > 0) --entry->useCount;
}
