// Palettes: a list view showing a row-major grid of tool items, each an
// image in a fixed-size cell. Choosing an item runs its action and issues
// its tag as a command, the way a menu item does; disabled and empty cells
// never stay selected.
//
// - `lists/palette.h`: `vpalette`, a list view over a `vlist` it owns whose cells hold the pointers
//   of its owned `vpaletteItem`s row-major (rebuilt after every change of items or columns, so the
//   list is never the truth). Choosing is the end of a selection change (notify code 3): the item's
//   action, then its tag issued with no event. The selection callback unselects an empty or disabled
//   first cell before that end is reported, whichever road the change took (pointer, focus, the
//   program). A column count is at least 1 wherever it comes from. Copies replace the list the list
//   view's copy shares with the source by one of their own. Two-dimensional cell frames share a line
//   with the neighbour above or to the left only when both have the same colour, so a selected cell
//   keeps its four lines whatever is drawn after it.
#pragma once
#include <cstdint>

#include "fw/widgets/lists/listview.h"

struct vpalette;
struct vpaletteItem;
using vpaletteItemAction = void (*)(vpalette* palette, vpaletteItem* item);

// Item flags.
enum : std::uint32_t { vpaletteItemDISABLED = 0x1, vpaletteItemSHARED_IMAGE = 0x2 };
// Palette flags.
enum : std::uint32_t { vpaletteCOLUMNS_FOLLOW_WIDTH = 0x2 };

struct vpaletteItem : vobject {  // the tag is the command issued
  vpalette* palette;
  std::uint32_t flags;
  vimage* image;
  vpaletteItemAction action;
};

struct vpaletteItemClassRec : vobjectClassRec {};

struct vpalette : vlistview {
  std::uint32_t paletteFlags;
  vpaletteItem** itemsBegin;  // owned, in order
  vpaletteItem** itemsEnd;
  std::int32_t columns;
  std::int32_t cellWidth, cellHeight;
};

struct vpaletteClassRec : vlistviewClassRec {
  void (*insertItemAt)(vpalette* palette, std::int32_t index, vpaletteItem* item);
  void (*appendItem)(vpalette* palette, vpaletteItem* item);
  void (*removeItem)(vpalette* palette, vpaletteItem* item);
  void (*deleteItemAt)(vpalette* palette, std::int32_t index);
};

inline vpaletteClassRec* vpaletteClassOf(const vpalette* p) { return vclassRec<vpaletteClassRec>(p); }
vpaletteClassRec* vpaletteGetDefaultClass();
vpaletteItemClassRec* vpaletteItemGetDefaultClass();
vpalette* vpaletteCreate();
vpaletteItem* vpaletteItemCreate();

inline void vpaletteInsertItemAt(vpalette* p, std::int32_t index, vpaletteItem* item) {
  vpaletteClassOf(p)->insertItemAt(p, index, item);
}
inline void vpaletteAppendItem(vpalette* p, vpaletteItem* item) { vpaletteClassOf(p)->appendItem(p, item); }
inline void vpaletteRemoveItem(vpalette* p, vpaletteItem* item) { vpaletteClassOf(p)->removeItem(p, item); }
inline void vpaletteDeleteItemAt(vpalette* p, std::int32_t index) { vpaletteClassOf(p)->deleteItemAt(p, index); }
inline std::int32_t vpaletteGetItemCount(const vpalette* p) { return std::int32_t(p->itemsEnd - p->itemsBegin); }
inline vpaletteItem* vpaletteGetItemAt(const vpalette* p, std::int32_t index) { return p->itemsBegin[index]; }

void vpaletteMoveItem(vpalette* palette, vpaletteItem* item, std::int32_t index);
void vpaletteSetColumns(vpalette* palette, std::int32_t columns);
void vpaletteSetFlags(vpalette* palette, std::uint32_t flags);
vpaletteItem* vpaletteFindItem(vpalette* palette, vname tag);
std::int32_t vpaletteIndexOfItem(vpalette* palette, vpaletteItem* item);
void vpaletteSelectItem(vpalette* palette, vpaletteItem* item);
// The chosen item: the one in the first selected cell, or none.
vpaletteItem* vpaletteGetSelectedItem(vpalette* palette);

void vpaletteItemSetDisabled(vpaletteItem* item, int on);
inline int vpaletteItemIsDisabled(const vpaletteItem* item) { return (item->flags & vpaletteItemDISABLED) != 0; }
// The image is destroyed with the item unless shared is set.
void vpaletteItemSetImage(vpaletteItem* item, vimage* image, int shared);
inline void vpaletteItemSetAction(vpaletteItem* item, vpaletteItemAction action) { item->action = action; }
inline void vpaletteItemSetTag(vpaletteItem* item, vname tag) { item->tag = tag; }
