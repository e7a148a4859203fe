// Resource recovery, the least-recently-used caches of GDI objects and
// regions.
#include <map>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/gui/window/mswgdi.h"

namespace {

vwindowMSWGdiSetup setup{nullptr, nullptr, 24, 0, 0, nullptr};

constexpr vwindowMSWGdiCalls platformCalls{
    win::CreateDCA,      win::CreateCompatibleDC, win::CreateRectRgn, win::CreateCompatibleBitmap,
    win::CreateDIBitmap, win::GetDIBits,          win::GetDC,         win::GetDCEx,
    win::GetRegionData,  win::DeleteDC,           win::CreateFontA,   win::SetDIBits};

// The registered caches; a freed cache leaves its place for the next one.
std::vector<vwindowMSWObjectCache*>& caches() {
  static std::vector<vwindowMSWObjectCache*> list = [] {
    std::vector<vwindowMSWObjectCache*> v;
    v.reserve(4);
    return v;
  }();
  return list;
}

// Grows to the largest region data asked for and is kept.
struct Scratch {
  win::RGNDATA* data = nullptr;
  win::DWORD size = 0;
  ~Scratch() { vmemFree(data); }
} regionScratch;

}  // namespace

vwindowMSWGdiCalls vwindowMSWGdi = platformCalls;

void _vwindowMSWResetGdiCalls() { vwindowMSWGdi = platformCalls; }

vwindowMSWGdiSetup* _vwindowMSWGetGdiSetup() { return &setup; }

// ---- Recovery.

win::UINT vwindowMSWDestroyCachedObjectsMessage() {
  static const win::UINT message = win::RegisterWindowMessageA("_vwindowMSWDestroyCachedObjects");
  return message;
}

void vwindowMSWRecoverResources(int attempt, const char* name) {
  switch (attempt) {
    case 0:
      vwindowMSWDestroyCachedObjects(0);
      return;
    case 1:
      win::SendMessageA(win::HWND_BROADCAST, vwindowMSWDestroyCachedObjectsMessage(), 0,
                        reinterpret_cast<win::LPARAM>(setup.rootWindow));
      return;
    default: {
      // The exception keeps the message's address: one lasting text per name.
      static std::map<std::string, std::string> messages;
      std::string& text = messages[name];
      if (text.empty()) text = std::string("No Windows resources (") + name + ")";
      _vexGenerate(&vexReturnNullClass, vexSetMessage, text.c_str(), vexSetProcedure, "vwindowMSWRecoverResources",
                   vexEnd);
    }
  }
}

// ---- Object caches.

namespace {

void unlink(vwindowMSWObjectCache* c, int i) {
  vwindowMSWCacheEntry& e = c->entries[i];
  if (e.next == i) {
    c->head = -1;
  } else {
    c->entries[e.previous].next = e.next;
    c->entries[e.next].previous = e.previous;
    if (c->head == i) c->head = e.previous;
  }
}

// Between the head and the least recently used entry, as the new head.
void linkAsHead(vwindowMSWObjectCache* c, int i) {
  vwindowMSWCacheEntry& e = c->entries[i];
  if (c->head < 0) {
    e.previous = e.next = i;
  } else {
    vwindowMSWCacheEntry& h = c->entries[c->head];
    e.previous = c->head;
    e.next = h.next;
    c->entries[h.next].previous = i;
    h.next = i;
  }
  c->head = i;
}

void forget(vwindowMSWCachedObject* object) {
  object->flags &= static_cast<std::uint16_t>(~(vwindowMSW_OBJECT_NATIVE | vwindowMSW_OBJECT_CACHED));
  object->entry = nullptr;
}

// An entry for a new object: a free one, else the least recently used
// unlocked object's, that object deleted.
int takeEntry(vwindowMSWObjectCache* c) {
  if (c->freeHead >= 0) {
    int i = c->freeHead;
    c->freeHead = c->entries[i].next;
    c->used++;
    return i;
  }
  if (c->head >= 0) {
    int i = c->entries[c->head].next;
    for (int n = 0; n < c->used; ++n, i = c->entries[i].next) {
      vwindowMSWCacheEntry& e = c->entries[i];
      if (e.object->locks != 0) continue;
      unlink(c, i);
      if (e.deleteProc) e.deleteProc(e.object);
      forget(e.object);
      return i;
    }
  }
  _vexGenerate(&vexModuleStateClass, vexSetMessage, "all cached objects are locked", vexSetProcedure,
               "vwindowMSWUseCachedObject", vexEnd);
}

int indexOf(vwindowMSWObjectCache* c, vwindowMSWCacheEntry* e) { return static_cast<int>(e - c->entries); }

}  // namespace

vwindowMSWObjectCache* vwindowMSWCreateObjectCache(int capacity, vwindowMSWDeleteProc deleteProc) {
  if (capacity < 1) _vexGenerate(&vexArgRangeClass, vexSetProcedure, "vwindowMSWCreateObjectCache", vexEnd);
  auto* c = static_cast<vwindowMSWObjectCache*>(vmemAlloc(sizeof(vwindowMSWObjectCache)));
  c->entries = static_cast<vwindowMSWCacheEntry*>(
      vmemAllocClear(vmemArraySize(static_cast<std::size_t>(capacity), sizeof(vwindowMSWCacheEntry))));
  c->defaultDelete = deleteProc;
  c->head = -1;
  c->capacity = capacity;
  c->used = 0;
  for (int i = 0; i < capacity; ++i) c->entries[i].next = i + 1 < capacity ? i + 1 : -1;
  c->freeHead = 0;
  auto& list = caches();
  for (auto& slot : list)
    if (!slot) {
      slot = c;
      return c;
    }
  vmemGuard(sizeof c, [&] { list.push_back(c); });
  return c;
}

void vwindowMSWUseCachedObject(vwindowMSWObjectCache* cache, vwindowMSWCachedObject* object,
                               vwindowMSWDeleteProc deleteProc, std::intptr_t first, std::intptr_t second,
                               int selector, int cacheFlag, int keep) {
  if (!cacheFlag) return;
  std::intptr_t value = selector ? first : second;
  if ((object->flags & vwindowMSW_OBJECT_CACHED) && object->entry) {
    int i = indexOf(cache, object->entry);
    unlink(cache, i);
    linkAsHead(cache, i);
    if (!keep) {
      if (object->entry->deleteProc) object->entry->deleteProc(object);
      object->entry->value = value;
    }
    return;
  }
  int i = takeEntry(cache);
  linkAsHead(cache, i);
  vwindowMSWCacheEntry& e = cache->entries[i];
  e.object = object;
  e.deleteProc = deleteProc ? deleteProc : cache->defaultDelete;
  if (!keep) e.value = value;
  object->flags |= vwindowMSW_OBJECT_CACHED;
  object->entry = &e;
}

namespace {

// The entry leaves the ring for the free list; its object's native object
// goes and the object forgets the cache.
void freeEntry(vwindowMSWObjectCache* cache, int i, vwindowMSWDeleteProc fallback) {
  vwindowMSWCacheEntry& e = cache->entries[i];
  vwindowMSWCachedObject* object = e.object;
  unlink(cache, i);
  e.next = cache->freeHead;
  cache->freeHead = i;
  cache->used--;
  vwindowMSWDeleteProc del = e.deleteProc ? e.deleteProc : fallback;
  e.object = nullptr;
  if (del) del(object);
  forget(object);
}

}  // namespace

void vwindowMSWFreeCachedObject(vwindowMSWObjectCache* cache, vwindowMSWCachedObject* object,
                                vwindowMSWDeleteProc deleteProc) {
  if (!(object->flags & vwindowMSW_OBJECT_CACHED) || !object->entry) return;
  freeEntry(cache, indexOf(cache, object->entry), deleteProc);
}

void vwindowMSWFlushObjectCache(vwindowMSWObjectCache* cache, int free) {
  while (cache->head >= 0) freeEntry(cache, cache->head, nullptr);
  if (!free) return;
  for (auto& slot : caches())
    if (slot == cache) slot = nullptr;
  vmemFree(cache->entries);
  vmemFree(cache);
}

void vwindowMSWDestroyCachedObjects(int free) {
  // A flush with free empties the caches' places as it goes.
  std::vector<vwindowMSWObjectCache*> list = caches();
  for (vwindowMSWObjectCache* c : list)
    if (c) vwindowMSWFlushObjectCache(c, free);
}

// ---- Regions.

win::HRGN vwindowMSWCreateRectRgn(int left, int top, int right, int bottom) {
  return vwindowMSWCreateWithRecovery("REGION", 3,
                                      [&] { return vwindowMSWGdi.createRectRgn(left, top, right, bottom); });
}

win::RGNDATA* vwindowMSWGetRegionData(win::HRGN region, win::DWORD* size) {
  win::DWORD need = vwindowMSWGdi.getRegionData(region, 0, nullptr);
  if (need > regionScratch.size) {
    regionScratch.data = static_cast<win::RGNDATA*>(vmemRealloc(regionScratch.data, need));
    regionScratch.size = need;
  }
  bool ok = need != 0 && vwindowMSWGdi.getRegionData(region, need, regionScratch.data) == need;
  if (!ok && setup.oldSystem && setup.auxLibrary) {
    // The older systems' own reader, from the auxiliary library.
    using Reader = win::DWORD (*)(win::HRGN, win::DWORD, win::RGNDATA*);
    if (auto proc = win::GetProcAddress(setup.auxLibrary, "_vwindowWin32sGetRgnData"))
      ok = need != 0 && reinterpret_cast<Reader>(reinterpret_cast<void (*)()>(proc))(region, need, regionScratch.data) == need;
  }
  if (size) *size = ok ? need : 0;
  return ok ? regionScratch.data : nullptr;
}
