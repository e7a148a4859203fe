// The list model: a grid of rows by columns whose cells each hold one
// pointer-sized word, with named cell selections (sets of cell rectangles
// {first column, first row, columns, rows}) that structural edits keep in
// step, observers told of every change, sorting and find by prefix. Axis 1
// is rows, axis 2 columns.
//
// - `lists/list.h`: `vlist`, the list model over the cell array of `fw/text/listcells.h` (one
//   pointer-sized word a cell, column-major by default), with `vlistObserver` and the "vlist data"
//   copy of its class. `list.cpp` holds the class, the storage edits (insert, delete, exchange and
//   move of rows or columns move words inside the outer or every inner array), orientation,
//   observers and the resource form; `list_select.cpp` the selections (rectangle sets combined with
//   `vrectLongCombineLists`), the selection rule, the bracketed announcements and the walks that
//   keep selections in step with structural edits, and the iterator; `list_sort.cpp` find by prefix
//   and the stable in-place merge sort. Sound where the rules are not: a delete past the count is
//   clipped, a cell outside the counts reads 0, a copy drops the target's storage before taking the
//   source's orientation, and selections follow edits made while the list is held (only the
//   announcements wait).
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/gui/graphics/rect.h"
#include "fw/text/listcells.h"

struct vlist;
struct vlistObserver;

using vlistSetterFunc = void (*)(vlist* list, std::int32_t row, std::int32_t column, vlistCell value);
using vlistGetterFunc = vlistCell (*)(vlist* list, std::int32_t row, std::int32_t column);
using vlistTextGetterFunc = const char* (*)(vlist* list, std::int32_t row, std::int32_t column);
// Negative, 0 or positive, like a string comparison; missing texts are null.
using vlistCompareFunc = int (*)(const void* a, const void* b);

enum : std::int16_t {
  vlistFREE_SELECTION = 1,
  vlistONE_ONLY_SELECTION = 2,
  vlistRECTANGULAR_SELECTION = 3,
  vlistNO_SELECTION = 4,
};
enum : std::uint8_t {
  vlistWHOLE_ROWS = 1,
  vlistWHOLE_COLUMNS = 2,
  vlistDETACHED = 4,
  vlistAT_LEAST_ONE = 8,
  vlistMARKED = 16,  // while the list walks its selections
};
enum : std::uint8_t { vlistObserverOWNED = 1, vlistObserverMUTED = 2 };
enum : int { vlistROWS = 1, vlistCOLUMNS = 2 };

struct vlistSelection {
  std::int16_t slot;
  std::int16_t mode;
  std::uint8_t flags;
  vrectLong* rects;
  std::int32_t rectCount;
  vlist* list;
  std::intptr_t client;
};

struct vlist : vobject {
  vlistCells cells;  // storage, counts, the orientation and external flags
  vlistSetterFunc setter;
  vlistGetterFunc getter;
  vlistTextGetterFunc textGetter;
  vlistSelection** selections;  // free entries are null
  vlistObserver** observers;
  std::intptr_t client;
  std::int16_t selectionLength;
  std::int16_t selectionCount;
  std::int16_t hold;  // above 0: no notifications
  std::int16_t observerLength;
};

struct vlistClassRec : vobjectClassRec {
  // Resource storage of subclasses that keep their cells there.
  vresource (*storageForStore)(vlist* list, vresource storage);
  vresource (*outerForStore)(vlist* list, vresource entry, std::int32_t index);
  vresource (*outerForLoad)(vlist* list, vresource storage, std::int32_t index);
  void (*storeCell)(vlist* list, std::int32_t row, std::int32_t column, vresource item);
  void (*loadCell)(vlist* list, std::int32_t row, std::int32_t column, vresource item);
  void (*setCell)(vlist* list, std::int32_t row, std::int32_t column, vlistCell value);
  void (*insert)(vlist* list, std::int32_t index, std::int32_t count, int axis);
  void (*remove)(vlist* list, std::int32_t index, std::int32_t count, int axis);
  void (*exchange)(vlist* list, std::int32_t a, std::int32_t b, std::int32_t count, int axis);
  void (*move)(vlist* list, std::int32_t from, std::int32_t to, std::int32_t count, int axis);
  void (*setCount)(vlist* list, std::int32_t n, int axis);
  vlistCell (*getCell)(vlist* list, std::int32_t row, std::int32_t column);
  int (*findByPrefix)(vlist* list, const char* text, std::int32_t* a, std::int32_t* b, std::int32_t startRow,
                      std::int32_t startColumn, int options);
  const char* (*cellText)(vlist* list, std::int32_t row, std::int32_t column);
  void (*sortByValues)(vlist* list, int axis, std::int32_t key, vlistCompareFunc compare);
  void (*sortByTexts)(vlist* list, int axis, std::int32_t key, vlistCompareFunc compare);
  // Notifications: each tells the observers through the matching slot.
  void (*cellChanged)(vlist* list, std::int32_t row, std::int32_t column);
  void (*inserted)(vlist* list, std::int32_t index, std::int32_t count, int axis);
  void (*deleted)(vlist* list, std::int32_t index, std::int32_t count, int axis);
  void (*exchanged)(vlist* list, std::int32_t a, std::int32_t b, std::int32_t count, int axis);
  void (*moved)(vlist* list, std::int32_t from, std::int32_t to, std::int32_t count, int axis);
  void (*selectionChanging)(vlist* list, vlistSelection* selection, int phase);
  void (*selectionModeSet)(vlist* list, vlistSelection* selection, int mode);
  void (*selectionFlagsSet)(vlist* list, vlistSelection* selection);
  void (*storageReplaced)(vlist* list);
  void (*countChanged)(vlist* list, std::int32_t oldCount, std::int32_t newCount, int axis);
  void (*orientationSet)(vlist* list, int columnMajor);
  void (*destroyed)(vlist* list);
  void (*sorting)(vlist* list, int phase);
  void (*setClientWord)(vlist* list, std::intptr_t word);
  void (*setStorage)(vlist* list, void* storage);
  void (*setOrientation)(vlist* list, int columnMajor);
  void (*insertOne)(vlist* list, std::int32_t index, int axis);
  void (*deleteOne)(vlist* list, std::int32_t index, int axis);
  void (*exchangeOne)(vlist* list, std::int32_t a, std::int32_t b, int axis);
  void (*moveOne)(vlist* list, std::int32_t from, std::int32_t to, int axis);
};

// The receiver is the observer, or its client when its forward word is set.
struct vlistObserver : vobject {
  void* client;
  std::uint8_t flags;
  std::intptr_t forward;
  vlist* list;
};
struct vlistObserverClassRec : vobjectClassRec {
  void (*cellChanged)(void* receiver, std::int32_t row, std::int32_t column);
  void (*inserted)(void* receiver, std::int32_t index, std::int32_t count, int axis);
  void (*deleted)(void* receiver, std::int32_t index, std::int32_t count, int axis);
  void (*exchanged)(void* receiver, std::int32_t a, std::int32_t b, std::int32_t count, int axis);
  void (*moved)(void* receiver, std::int32_t from, std::int32_t to, std::int32_t count, int axis);
  void (*selectionChanging)(void* receiver, vlistSelection* selection, int phase);
  void (*selectionModeSet)(void* receiver, vlistSelection* selection, int mode);
  void (*selectionFlagsSet)(void* receiver, vlistSelection* selection);
  void (*storageReplaced)(void* receiver);
  void (*countChanged)(void* receiver, std::int32_t oldCount, std::int32_t newCount, int axis);
  void (*orientationSet)(void* receiver, int columnMajor);
  void (*destroyed)(void* receiver);
  void (*sorting)(void* receiver, int phase);
  void (*insertedOne)(void* receiver, std::int32_t index, int axis);
  void (*deletedOne)(void* receiver, std::int32_t index, int axis);
  void (*exchangedOne)(void* receiver, std::int32_t a, std::int32_t b, int axis);
  void (*movedOne)(void* receiver, std::int32_t from, std::int32_t to, int axis);
};

vlistClassRec* vlistGetDefaultClass();
vlistObserverClassRec* vlistObserverGetDefaultClass();
inline vlistClassRec* vlistClassOf(const vlist* list) { return vclassRec<vlistClassRec>(list); }
vlist* vlistCreate();

inline std::int32_t vlistGetRowCount(const vlist* list) { return list->cells.rowCount; }
inline std::int32_t vlistGetColumnCount(const vlist* list) { return list->cells.columnCount; }
inline void vlistSetCell(vlist* list, std::int32_t row, std::int32_t column, vlistCell value) {
  vlistClassOf(list)->setCell(list, row, column, value);
}
inline vlistCell vlistGetCell(vlist* list, std::int32_t row, std::int32_t column) {
  return vlistClassOf(list)->getCell(list, row, column);
}
inline void vlistSetRowCount(vlist* list, std::int32_t n) { vlistClassOf(list)->setCount(list, n, vlistROWS); }
inline void vlistSetColumnCount(vlist* list, std::int32_t n) { vlistClassOf(list)->setCount(list, n, vlistCOLUMNS); }

// Both switch the list to client storage for good.
void vlistSetCellSetter(vlist* list, vlistSetterFunc setter);
void vlistSetCellGetter(vlist* list, vlistGetterFunc getter);

void vlistAddObserver(vlist* list, vlistObserver* observer);
void vlistRemoveObserver(vlist* list, vlistObserver* observer);

vlistSelection* vlistCreateSelection(vlist* list);
vlistSelection* vlistCreateSelectionCopy(vlist* list, const vlistSelection* from);
void vlistCopySelection(vlist* list, const vlistSelection* from, vlistSelection* to);
void vlistDestroySelection(vlist* list, vlistSelection* selection);
void vlistSetSelectionMode(vlist* list, vlistSelection* selection, int mode);
void vlistSetSelectionWholeRows(vlist* list, vlistSelection* selection, int on);
void vlistSetSelectionWholeColumns(vlist* list, vlistSelection* selection, int on);
void vlistSetSelectionAtLeastOne(vlist* list, vlistSelection* selection, int on);
void vlistSelectRange(vlist* list, vlistSelection* selection, std::int32_t row, std::int32_t column, std::int32_t rows,
                      std::int32_t columns);
void vlistUnselectRange(vlist* list, vlistSelection* selection, std::int32_t row, std::int32_t column,
                        std::int32_t rows, std::int32_t columns);
int vlistIsCellSelected(vlist* list, const vlistSelection* selection, std::int32_t row, std::int32_t column);
std::int32_t vlistCountSelectedCells(vlist* list, const vlistSelection* selection);
void vlistGetFirstSelectedCell(vlist* list, const vlistSelection* selection, std::int32_t* row, std::int32_t* column);
vlistSelection* vlistCreateSelectionIntersection(vlist* list, const vlistSelection* a, const vlistSelection* b);
vlistSelection* vlistCreateSelectionDifference(vlist* list, const vlistSelection* a, const vlistSelection* b);

// Caller-owned; holds its own copy of the rectangles.
struct vlistSelectionIterator {
  vrectLong* rects;
  std::uintptr_t options;  // bit 1: step by rectangles
  std::int32_t rectCount;
  std::int32_t index;
  std::int32_t nextColumn, nextRow;
  std::int32_t row, column;  // the current cell
  vlist* list;
};
void vlistInitSelectionIterator(vlistSelectionIterator* it, const vlistSelection* selection);
int vlistNextSelectedCell(vlistSelectionIterator* it);
void vlistDestroySelectionIterator(vlistSelectionIterator* it);
