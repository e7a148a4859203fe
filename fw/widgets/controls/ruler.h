// Rulers: a horizontal strip of titled segments (column headers, tab
// stops) that the user presses, double-clicks, drags along the ruler,
// resizes by their edges or by a shared boundary, and drags off to remove
// or hide. Every change is announced through the ruler's notify function
// before and after it happens.
//
// - `controls/ruler.h`: `vruler` and `vrulerItem`. `ruler.cpp` holds the two classes (built together
//   by the start-up row, which answers the item class), the resource form (items loaded into local
//   chains and attached only when all loaded, so a short "Items" leaves the ruler empty) and the
//   placement slots: a new item keeps its x inside a gap, else takes the last wide-enough gap (the
//   one before the first item links at the front, keeping the chain ordered by x); widths and
//   positions tell the client before and after and push followers right by any overlap; a moving
//   item is unlinked after its "will move" notice, so the client sees the chain intact. Hiding a
//   fixed item is refused. `ruler_drag.cpp` holds the one module-wide drag record (cleared when its
//   ruler or item goes), the inverting outline, the release that applies the drag with lay-outs
//   deferred to its end, and the drawing; a bordered Win95 ruler fills with its face colour, since
//   the border colour is black under black titles.
#pragma once
#include <cstdint>

#include "fw/widgets/dialog/item.h"

struct vruler;
struct vrulerItem;

using vrulerNotifyFunc = void (*)(vruler* ruler, vevent* event, vrulerItem* item, int code);

// Notify codes.
enum : int {
  vrulerPRESS = 1, vrulerDOUBLE_CLICK = 2, vrulerWILL_REMOVE = 4, vrulerREMOVED = 5, vrulerWILL_MOVE = 6,
  vrulerMOVED = 7, vrulerWILL_RESIZE = 8, vrulerRESIZED = 9, vrulerWILL_SCROLL = 10, vrulerSCROLLED = 11,
  vrulerHEIGHTS = 12, vrulerAPPENDED = 13, vrulerWILL_HIDE = 14
};

// Item flags.
enum : std::uint32_t {
  vrulerItemMOVABLE = 0x002,
  vrulerItemHILITED = 0x004,
  vrulerItemRESIZABLE = 0x010,
  vrulerItemTITLE_OWNED = 0x020,
  vrulerItemOWNED = 0x040,  // the ruler destroys it
  vrulerItemHIDDEN = 0x080,
  vrulerItemHIDING = 0x100,  // on its way to the hidden chain
};

struct vrulerItem : vobject {
  vruler* ruler;
  vrulerItem* next;
  const char* title;
  vrect rect;  // x along the ruler; y and height the ruler's
  std::int32_t minWidth, maxWidth;
  std::uint32_t flags;
  std::int32_t reserved;
};

struct vrulerItemClassRec : vobjectClassRec {
  void (*setWidth)(vrulerItem* item, std::int32_t width);
  int (*setPosition)(vrulerItem* item, std::int32_t x);  // 0 when refused
};

struct vruler : vdialogItem {
  std::int32_t count;  // of the shown chain
  std::int32_t scroll;
  std::int32_t spacing;
  vrulerItem* shown;
  vrulerItem* hidden;
  vrulerItem* hilite;
  std::int32_t arrangable;
  std::int32_t sticky;
  std::uint8_t dragOff;    // 0 remove, 1 hide
  std::uint8_t packState;  // 0 idle, 1 a drag applies, 2 a pack was asked for meanwhile
  vrulerNotifyFunc notify;
};

struct vrulerClassRec : vdialogItemClassRec {
  vrulerItem* (*addItem)(vruler* ruler);
  void (*appendItem)(vruler* ruler, vrulerItem* item);
  void (*removeItem)(vruler* ruler, vrulerItem* item);
  void (*packItems)(vruler* ruler);
  void (*drawItemTitle)(vruler* ruler, vrulerItem* item, const vrect* rect);
  void (*drawItemFrame)(vruler* ruler, vrulerItem* item, const vrect* rect);
  void (*notify)(vruler* ruler, vevent* event, vrulerItem* item, int code);
  std::int16_t borderInset;
};

inline vrulerClassRec* vrulerClassOf(const vruler* r) { return vclassRec<vrulerClassRec>(r); }
inline vrulerItemClassRec* vrulerItemClassOf(const vrulerItem* i) { return vclassRec<vrulerItemClassRec>(i); }

vrulerClassRec* vrulerGetDefaultClass();
vrulerItemClassRec* vrulerItemGetDefaultClass();
vruler* vrulerCreate();
vrulerItem* vrulerItemCreate();
// The start-up row: builds both classes, answers the item class.
vrulerItemClassRec* _vrulerStartup();

inline vrulerItem* vrulerAddItem(vruler* r) { return vrulerClassOf(r)->addItem(r); }
inline void vrulerAppendItem(vruler* r, vrulerItem* i) { vrulerClassOf(r)->appendItem(r, i); }
inline void vrulerRemoveItem(vruler* r, vrulerItem* i) { vrulerClassOf(r)->removeItem(r, i); }
inline void vrulerPackItems(vruler* r) { vrulerClassOf(r)->packItems(r); }
inline void vrulerNotify(vruler* r, vevent* e, vrulerItem* i, int code) { vrulerClassOf(r)->notify(r, e, i, code); }
inline void vrulerItemSetWidth(vrulerItem* i, std::int32_t w) { vrulerItemClassOf(i)->setWidth(i, w); }
inline int vrulerItemSetPosition(vrulerItem* i, std::int32_t x) { return vrulerItemClassOf(i)->setPosition(i, x); }
inline void vrulerSetNotify(vruler* r, vrulerNotifyFunc f) { r->notify = f; }

vrulerItem* vrulerFindItem(vruler* ruler, vname tag);
vrulerItem* vrulerGetItemAt(vruler* ruler, std::int32_t index);
std::int32_t vrulerGetItemIndex(vrulerItem* item);  // -1 when not shown
void vrulerSetItemTitle(vrulerItem* item, vscribe* title);
void vrulerSetItemHilite(vrulerItem* item, int on);
void vrulerHideItem(vrulerItem* item);
void vrulerSetScroll(vruler* ruler, std::int32_t offset);
// Redraws the item's rectangle on its ruler.
void vrulerInvalItem(vrulerItem* item);
// Both chains, shown first: pass null for the first.
vrulerItem* vrulerNextItem(vruler* ruler, vrulerItem* previous);

// What the ruler's files share.
extern const vexClass vrulerItemNotOwnedClass;
void _vrulerSetHeights(vruler* ruler);
void _vrulerFillDragSlots(vrulerClassRec* c);
// Clears the drag record when it holds the ruler or the item.
void _vrulerForgetDrag(vruler* ruler, vrulerItem* item);
