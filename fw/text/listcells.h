// The list model's cell array: two levels of growable word arrays. The
// first level holds one record per column (column-major) or per row
// (row-major); each of its words points to a second-level record whose
// words are the cell values. A cell value is one word the array never
// interprets (list views read it as a text pointer); 0 is empty.
//
// The list model keeps its cell fields in a vlistCells record and passes
// that record to the routines here and to its cell setter and getter.
//
// 4. `fw/text` (library `fw_text`): the list model's cell array (`listcells.h`): a first-level
//    record of growable word arrays, one per column (flag 4, column-major, the default) or per row,
//    each holding the other dimension's cell words; capacities run 2, 4, 8 and on, new words are 0,
//    and records come zero-filled from one pool. The list model keeps its cell fields (storage word,
//    counts, setter, getter, order flags) in a `vlistCells` record it hands to these routines; a read
//    outside what the array holds gives 0. The text model (`text.h`), rank 4 over `fw_gui`:
#pragma once
#include <cstdint>

using vlistCell = std::uintptr_t;

// A growable array of words, from the module's record pool.
struct vlistArray {
  vlistCell* block;
  std::int32_t count;
  std::int32_t capacity;
};

struct vlistCells;
using vlistCellSetter = vlistCell* (*)(vlistCells* list, std::int32_t row, std::int32_t column, vlistCell value);
using vlistCellGetter = vlistCell (*)(vlistCells* list, std::int32_t row, std::int32_t column);

enum : std::uint16_t {
  vlistCLIENT_STORAGE = 0x1,  // the storage word is the client's
  vlistROW_MAJOR = 0x2,
  vlistCOLUMN_MAJOR = 0x4,    // only this bit chooses the order
};

struct vlistCells {
  void* storage;  // the first-level vlistArray, or the client's storage
  std::int32_t rowCount;
  std::int32_t columnCount;
  vlistCellSetter setter;
  vlistCellGetter getter;
  std::uint16_t flags;
};

vlistCellSetter _vlistArraySetterFunc();
vlistCellGetter _vlistArrayGetterFunc();

// Writes check no index: the list model's set-cell grows its counts first.
vlistCell* _vlistArraySetCell(vlistCells* list, std::int32_t row, std::int32_t column, vlistCell value);
vlistCell* _vlistArraySetAt(vlistCells* list, std::int32_t first, std::int32_t second, vlistCell value);
vlistCell* _vtextArraySet(vlistArray* array, std::int32_t index, vlistCell value);
vlistCell* _vlistArrayEnsure(vlistArray* array, std::int32_t index);
void _vlistArrayInit(vlistArray* array);
// A cell outside what the array holds reads 0.
vlistCell _vlistArrayGetCell(vlistCells* list, std::int32_t row, std::int32_t column);

// A zero-filled record from the module's pool.
vlistArray* _vlistArrayAllocRecord();
void _vtextFreeArrayTree(vlistCells* list);
void _vlistArrayFreeRecord(vlistArray* array);
void _vlistArrayFreeElements(vlistArray* array);
