// What the text library's files share: the module state of a context and
// the class builders.
#pragma once
#include <cstdint>

#include "fw/core/mem.h"
#include "fw/text/text.h"

struct vtextObserverClassRec;

struct vtextCache {
  std::int32_t capacity;  // entries, beyond the spare ones
  vtextColumn* entries;
  const vtext* text;
  std::int32_t position;
  std::int32_t length;
  std::uint16_t ascent, descent;
  vtextX endX;
};

struct vtextModule {
  vtextClassRec* textClass;
  vtextStyle* defaultStyle;
  vtextRuler* defaultRuler;
  vtextObserverClassRec* observerClass;
  vclass* editRecordClass;  // made with the undo records
  vtextStyleClassRec* styleClass;
  vtextRulerClassRec* rulerClass;
  vclass* undoObserverClass;
  std::uintptr_t words[3];  // the style module's change record
  vclass* graphicClass;      // made on first use
  vtextCache cache;
  std::int32_t scratchCount;
  vtextStyle** scratch;
  vtextRuler* workingRuler;  // the ruler a layout reads, merged from tags
  std::int32_t suppress;
  std::int32_t typing;
  std::int32_t editing;
  std::int32_t lastChanged;  // the last line an edit re-broke, -1 at its start
};

inline constexpr int vtextCACHE_SPARE = 4;

vtextModule* _vtextModule();
vtextStyleClassRec* _vtextBuildStyleClass();
vtextRulerClassRec* _vtextBuildRulerClass();
vtextObserverClassRec* _vtextBuildObserverClass();
vtextColumn* _vtextLayoutLine(vtext* text, void* reserved, const char* chars, std::int32_t* count,
                              std::int32_t position, int continuing);
void _vtextGrowCache(vtextModule* m, std::int32_t needed);
void _vtextFillSelectionSlots(vtextClassRec* c);
void _vtextFillEditSlots(vtextClassRec* c);
// A selection's range clamped into 0..length: a selection keeps the range
// it was given, and every edit over it works on this one.
struct vtextSpan {
  std::int32_t start, end;
};
vtextSpan _vtextClampedRange(const vtext* text, const vtextSelection* selection);
// The auto-indent scratch buffer of the process, at least size bytes.
char* _vtextScratch(std::size_t size);
// The observers' dispatch of each notification slot.
void _vtextFillNotifications(vtextClassRec* c);

// The text's style and ruler lists: 4 entries at first, grown by 4; each
// entry records its owner text and its index, and taking one out moves the
// last entry into its place (false when it is not listed).
template <class T>
void _vtextListAdd(vtext* text, T**& list, std::int16_t& count, std::int32_t& capacity, T* item) {
  if (count == capacity) {
    capacity += 4;
    list = static_cast<T**>(vmemRealloc(list, std::size_t(capacity) * sizeof(T*)));
  }
  item->owner = text;
  item->index = count;
  list[count++] = item;
}
template <class T>
bool _vtextListTake(T** list, std::int16_t& count, T* item) {
  std::int16_t i = 0;
  while (i < count && list[i] != item) ++i;
  if (i == count) return false;
  item->owner = nullptr;
  item->index = -1;
  T* moved = list[--count];
  list[i] = moved;
  if (moved != item) moved->index = i;
  return true;
}

