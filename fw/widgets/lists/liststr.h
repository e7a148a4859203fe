// String lists: the list model whose cells hold C strings, knowing which
// of them it owns. Strings it copied in are freed when replaced, deleted,
// cut away by a shrink or destroyed with the list; strings it was handed
// (literals, buffers taken from a scribe) are never freed.
//
// - `lists/liststr.h`: `vliststr`, the list model of C strings with the cell selection `owned`:
//   copied-in strings are freed when replaced, deleted, cut away or destroyed; literal and name
//   scribes are taken over unowned. Stored as one array of rows x columns strings, column-major, an
//   empty cell as one NUL; a stored array of another size raises Arg and leaves the list empty
//   without reading it.
#pragma once
#include "fw/core/scribe.h"
#include "fw/widgets/lists/list.h"

struct vliststr : vlist {
  vlistSelection* owned;  // the cells holding counted strings of this list
};

struct vliststrClassRec : vlistClassRec {
  void (*setCellScribed)(vliststr* list, std::int32_t row, std::int32_t column, vscribe* text);
  vscribe* (*getCellScribed)(vliststr* list, std::int32_t row, std::int32_t column);
};

inline vliststrClassRec* vliststrClassOf(const vliststr* l) { return vclassRec<vliststrClassRec>(l); }
vliststrClassRec* vliststrGetDefaultClass();
// The start-up row's getter: the same class.
vliststrClassRec* _vliststrStartupClass();
vliststr* vliststrCreate();

inline void vliststrSetCellScribed(vliststr* l, std::int32_t row, std::int32_t column, vscribe* text) {
  vliststrClassOf(l)->setCellScribed(l, row, column, text);
}
inline vscribe* vliststrGetCellScribed(vliststr* l, std::int32_t row, std::int32_t column) {
  return vliststrClassOf(l)->getCellScribed(l, row, column);
}
// The cell's string, null for an empty cell.
inline const char* vliststrGetCell(vliststr* l, std::int32_t row, std::int32_t column) {
  return reinterpret_cast<const char*>(vlistGetCell(l, row, column));
}
