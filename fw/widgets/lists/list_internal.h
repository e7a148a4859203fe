// What the list model's files share.
#pragma once
#include "fw/widgets/lists/list.h"

template <class F>
void _vlistTellObservers(vlist* list, F call) {
  // Read afresh each time: an observer may add or remove observers.
  for (std::int16_t i = 0; i < list->observerLength; ++i) {
    vlistObserver* o = list->observers[i];
    if (!o || (o->flags & vlistObserverMUTED)) continue;
    void* receiver = o->forward ? o->client : static_cast<void*>(o);
    call(vclassRec<vlistObserverClassRec>(o), receiver);
  }
}

// Keeps the selections in step with a structural edit.
void _vlistWalkInsert(vlist* list, std::int32_t index, std::int32_t count, int axis);
void _vlistWalkDelete(vlist* list, std::int32_t index, std::int32_t count, int axis);
void _vlistWalkExchange(vlist* list, std::int32_t a, std::int32_t b, std::int32_t count, int axis);
void _vlistWalkMove(vlist* list, std::int32_t from, std::int32_t to, std::int32_t count, int axis);
void _vlistWalkCount(vlist* list, std::int32_t oldCount, std::int32_t newCount, int axis);
void _vlistDestroySelections(vlist* list);
void _vlistFreeSelectionPool();

int _vlistFindByPrefix(vlist* list, const char* text, std::int32_t* a, std::int32_t* b, std::int32_t startRow,
                       std::int32_t startColumn, int options);
void _vlistSortByValues(vlist* list, int axis, std::int32_t key, vlistCompareFunc compare);
void _vlistSortByTexts(vlist* list, int axis, std::int32_t key, vlistCompareFunc compare);
