// List items: the dialog's list box. A list view over a one-column list of
// strings that it owns, with a selection method, an optional fixed number
// of visible rows and an optional automatic width that follows the widest
// string; its list tells it when a string changes.
//
// - `lists/listitem.h`: `vlistitem`, the dialog's list box, a list view over a `vlistitemList` (a
//   `vliststr` that knows its owner) which it owns: set list destroys the old list (not when it is
//   set again), a copy clones the list the inherited copy shares. With the automatic width the
//   column is refitted to the widest string: the list watches set cell value and measures the whole
//   list again only when the string replaced was the widest; a string wider than the widest becomes
//   it wherever it lands. A font change measures with the new font.
#pragma once
#include <cstdint>

#include "fw/widgets/lists/liststr.h"
#include "fw/widgets/lists/listview.h"

struct vlistitem;

struct vlistitemList : vliststr {
  vlistitem* owner;  // the list item told of string changes, or none
};
struct vlistitemListClassRec : vliststrClassRec {};

enum : std::uint16_t { vlistitemAUTO_WIDTH = 0x1, vlistitemDESTROYING = 0x4 };

struct vlistitem : vlistview {
  std::int32_t widest;  // pixels; -1 while the automatic width is off
  std::int32_t visibleRows;  // 0: not fixed
  std::uint16_t itemFlags;
};

struct vlistitemClassRec : vlistviewClassRec {
  vlistitemList* (*createList)(vlistitem* item);  // with no owner
  void (*setAutoWidth)(vlistitem* item, int on);
  void (*setVisibleRows)(vlistitem* item, std::int32_t rows);
};

inline vlistitemClassRec* vlistitemClassOf(const vlistitem* i) { return vclassRec<vlistitemClassRec>(i); }
vlistitemClassRec* vlistitemGetDefaultClass();
vlistitemListClassRec* vlistitemGetListClass();
vlistitem* vlistitemCreate();
vlistitemList* vlistitemListCreate();

inline vlistitemList* vlistitemGetList(const vlistitem* i) { return static_cast<vlistitemList*>(i->list); }
inline void vlistitemSetAutoWidth(vlistitem* i, int on) { vlistitemClassOf(i)->setAutoWidth(i, on); }
inline void vlistitemSetVisibleRows(vlistitem* i, std::int32_t rows) { vlistitemClassOf(i)->setVisibleRows(i, rows); }
inline int vlistitemHasAutoWidth(const vlistitem* i) { return (i->itemFlags & vlistitemAUTO_WIDTH) != 0; }
// The row of the first selected cell, -1 when none is.
std::int32_t vlistitemGetSelectedRow(vlistitem* item);
