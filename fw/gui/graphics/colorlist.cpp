// Colour lists and palette resources.
#include "fw/gui/graphics/colorlist.h"

#include <algorithm>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/data/vresource.h"

namespace {

vpool* pool() {
  static vpool* lists = vpoolCreate(sizeof(vcolorList));
  return lists;
}

vname rgbKey() { return vnameInternLiteral("RGB"); }

vcolorSpec* makeEntries(std::uint32_t count) {
  if (count == 0) return nullptr;
  auto* entries = static_cast<vcolorSpec*>(vmemAlloc(vmemArraySize(count, sizeof(vcolorSpec))));
  for (std::uint32_t i = 0; i < count; ++i) vcolorInitSpec(&entries[i]);
  return entries;
}

void dropRing(vcolorList* list) {
  if (!list->representations) return;
  vsyncRingEntry* ring = list->representations;
  list->representations = nullptr;
  vsyncRingFree(ring);
}

// Replaces the entries by count fresh ones holding the first of source's.
void takeEntries(vcolorList* list, std::uint32_t count, const vcolorSpec* source, std::uint32_t sourceCount) {
  vcolorSpec* entries = makeEntries(count);
  for (std::uint32_t i = 0; i < std::min(count, sourceCount); ++i) vcolorCopySpec(&source[i], &entries[i]);
  vmemFree(list->entries);
  list->entries = entries;
  list->count = count;
}

}  // namespace

void _vcolorListInit(vcolorList* list) { *list = {nullptr, 0, nullptr}; }

vcolorList* vcolorListCreate() {
  auto* list = static_cast<vcolorList*>(vpoolAlloc(pool()));
  _vcolorListInit(list);
  return list;
}

void _vcolorListFinish(vcolorList* list) {
  dropRing(list);
  vmemFree(list->entries);
  _vcolorListInit(list);
}

void vcolorListDestroy(vcolorList* list) {
  _vcolorListFinish(list);
  if (vpoolContains(pool(), list)) vpoolFree(pool(), list);
}

void vcolorListSetCount(vcolorList* list, std::uint32_t count) {
  if (count == list->count) return;
  dropRing(list);
  takeEntries(list, count, list->entries, list->count);
}

vcolorList* vcolorListClone(const vcolorList* list) {
  vcolorList* copy = vcolorListCreate();
  vcolorListCopy(list, copy);
  return copy;
}

void vcolorListCopy(const vcolorList* source, vcolorList* destination) {
  if (source == destination) return;
  dropRing(destination);
  takeEntries(destination, source->count, source->entries, source->count);
}

void vcolorListChanged(vcolorList* list) { dropRing(list); }

void vcolorListLoadInit(vcolorList* list, vresource resource) {
  _vcolorListInit(list);
  vresource rgb;
  if (!vresourceTestGet(resource, rgbKey(), &rgb)) return;
  std::int32_t n = vresourceCount(rgb);
  if (n <= 0) return;
  // A last group of fewer than three integers reads its missing parts as 0.
  std::uint32_t count = (std::uint32_t(n) + 2) / 3;
  vcolorSpec* entries = makeEntries(count);
  vexGuard(
      [&] {
        for (std::uint32_t i = 0; i < count; ++i) {
          unsigned c[3] = {0, 0, 0};
          for (std::uint32_t j = 0; j < 3 && 3 * i + j < std::uint32_t(n); ++j)
            c[j] = std::uint16_t(vresourceGetAtInteger(rgb, std::int32_t(3 * i + j)));
          vcolorSetSpecRGB(&entries[i], c[0], c[1], c[2]);
        }
      },
      [&](vexHandler&) {
        vmemFree(entries);
        _vexGenerate(nullptr, vexEnd);
      });
  list->entries = entries;
  list->count = count;
}

vcolorList* vcolorListLoad(vresource resource) {
  auto* list = static_cast<vcolorList*>(vpoolAlloc(pool()));
  vexGuard([&] { vcolorListLoadInit(list, resource); },
           [&](vexHandler&) {
             vpoolFree(pool(), list);
             _vexGenerate(nullptr, vexEnd);
           });
  return list;
}

void vcolorListStore(const vcolorList* list, vresource resource) {
  vresourceSetTag(resource, vname_Type, vnameInternLiteral("vcolorPalette"));
  std::uint64_t n = std::uint64_t(list->count) * 3;
  if (n > 0x7FFFFFFF) _vexGenerate(&vexArgRangeClass, vexEnd);
  vresource rgb = vresourceCreateArray(resource, rgbKey(), vresINTEGER, std::int32_t(n));
  for (std::uint32_t i = 0; i < list->count; ++i) {
    unsigned c[3];
    vcolorGetSpecRGB(&list->entries[i], &c[0], &c[1], &c[2]);
    for (int j = 0; j < 3; ++j) vresourceSetAtInteger(rgb, std::int32_t(3 * i + j), std::int32_t(c[j]));
  }
}
