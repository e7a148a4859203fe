// Menu item lists: a menu's items in order, with their geometry (one
// column of title, accelerator and mark parts), the default and the
// current item, keyboard movement with wrap-around and scrolling with
// arrows when the items do not fit.
#pragma once
#include <cstdint>

#include "fw/core/event.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/graphics/scheme.h"
#include "fw/widgets/lists/objlist.h"
#include "fw/widgets/menus/menuitem.h"

enum : std::int16_t {
  vmenuScrollLOWER_ARROW = 1,
  vmenuScrollDOWN = 2,
  vmenuScrollUPPER_ARROW = 4,
  vmenuScrollUP = 8,
  vmenuScrollFAST = 16,
};
inline constexpr int vmenuARROW_HEIGHT = 14;

// Origin at the bottom left.
struct vmenuItemGeometry {
  vrect full;
  vrect visible;
  vrect highlight;
  std::int16_t textX, textY;
  std::int16_t acceleratorOffset;
  std::int16_t firstVisible, endVisible;
  std::int16_t topCut, bottomCut;
  std::int16_t scrollFlags;
  std::int16_t count;
  std::int16_t heights[1];  // count of them
};

// The menu's frame: what measure-frame fills.
struct vmenuFrameMargins {
  std::uint16_t zero, left, right, bottom, top;
  std::uint16_t indentMin, rightMin;
  std::uint16_t baseline;  // of the text inside an item
  std::uint16_t upper;     // spacing above an item's text
};

struct vmenuItemList : vobjectList {
  std::int16_t defaultIndex;
  std::int16_t currentIndex;
  vmenu* owner;
  vmenuItemGeometry* geometry;
};

struct vmenuItemListClassRec : vobjectListClassRec {
  void (*clearHighlight)(vmenuItemList* list);
  void (*resetScroll)(vmenuItemList* list);
  void (*drawAll)(vmenuItemList* list);
  void (*setCurrent)(vmenuItemList* list, int index, int direction);
  void (*trackPointer)(vmenuItemList* list, vevent* event, int x, int y);
  int (*openCurrentCascade)(vmenuItemList* list, vevent* event);
  void (*layout)(vmenuItemList* list, const vmenuFrameMargins* margins);
  void (*itemRect)(vmenuItemList* list, int index, vrect* rect, vmenuTextPosition* text);
  void (*setDefaultItem)(vmenuItemList* list, vmenuItem* item);
  void (*setCurrentItem)(vmenuItemList* list, vmenuItem* item);
  void (*setOwner)(vmenuItemList* list, vmenu* menu);
};

// The look's list operations, in their order.
struct vmenuItemListLook {
  void (*beginArrows)(vmenu* menu, vcolorScheme* scheme);
  void (*endArrows)(vmenu* menu, vcolorScheme* scheme);
  void (*drawLowerArrow)(const vrect* rect, vcolorScheme* scheme);
  void (*drawUpperArrow)(const vrect* rect, vcolorScheme* scheme);
  void (*selectFirst)(vmenuItemList* list);
};

inline vmenuItemListClassRec* vmenuItemListClassOf(const vmenuItemList* l) {
  return vclassRec<vmenuItemListClassRec>(l);
}
vmenuItemListClassRec* vmenuGetDefaultItemListClass();
const vmenuItemListLook* vmenuItemListGetLook();
void vmenuItemListInit(vmenuItemList* storage);
void vmenuItemListLoadInit(vmenuItemList* storage, vresource resource);

inline int vmenuItemListCount(const vmenuItemList* l) { return vobjectListCount(l); }
inline vmenuItem* vmenuItemListAt(const vmenuItemList* l, int i) {
  return static_cast<vmenuItem*>(vobjectListAt(l, i));
}
vmenuItem* vmenuItemListGetDefault(const vmenuItemList* l);
vmenuItem* vmenuItemListGetCurrent(const vmenuItemList* l);
// The shared empty record when there is none.
const vmenuItemGeometry* vmenuItemListGetGeometry(const vmenuItemList* l);
void vmenuItemListSelectFirst(vmenuItemList* l);
void vmenuItemListMoveCurrent(vmenuItemList* l, int delta);
// Scrolls by whole items (positive: down, towards the end).
void vmenuItemListScroll(vmenuItemList* l, int items);
// Fits the laid-out items into a height; a taller list shows its lower arrow.
void vmenuItemListFitHeight(vmenuItemList* l, int height);

inline void vmenuItemListSetCurrent(vmenuItemList* l, int index, int direction) {
  vmenuItemListClassOf(l)->setCurrent(l, index, direction);
}
inline void vmenuItemListItemRect(vmenuItemList* l, int index, vrect* rect, vmenuTextPosition* text) {
  vmenuItemListClassOf(l)->itemRect(l, index, rect, text);
}
inline void vmenuItemListClearHighlight(vmenuItemList* l) { vmenuItemListClassOf(l)->clearHighlight(l); }
inline void vmenuItemListSetDefaultItem(vmenuItemList* l, vmenuItem* item) {
  vmenuItemListClassOf(l)->setDefaultItem(l, item);
}
// Takes the current look's table again (tests switching looks).
void _vmenuItemListChooseLook();
