// Menus: windows holding a list of menu items that pop up at a point,
// under an event or beside another menu's item, track the pointer and the
// keys while open, and end by choosing an item or without a choice.
//
// Menus (`fw/widgets/menus`): a `vmenu` is a window subclass holding an embedded `vmenuItemList` of
// `vmenuItem`s. Items, item lists and menus each choose a table of look operations when their
// classes are built (`item_look.cpp`, the list's arrow and select-first operations,
// `menu_look.cpp`); `_vmenuChooseLook` takes them again for tests that switch looks in one context
// (the window class lives in the context it was built in, so menu tests cannot use fresh contexts).
// An item's announcements go to its own send slot, which invalidates, settles the exclusive group
// and passes the change to its list and menu ("Size" marks the geometry stale, laid out again at
// once when shown). The highlight moves by invalidating the old and new item rectangles; the update
// draws the current item highlighted. Auto-scrolling is a client event of priority 63 numbered per
// request, so a superseded one lapses. Choosing runs the item's notify function, then issues its
// tag: the item's class space first, then the menu's lookup (window space, class, parent,
// application); a menu or item destroyed by what the choice runs is noticed and not touched again.
// The menu keys are the "Keys" / "vmenu" / look-name preferences of `vwexlin7.txt`. Pinnable menus
// (a menu flag standing for the window's pinnable bit, which the 16-bit window flag word lacks)
// carry a push-pin item in the looks that pin (Motif, Open Look); choosing it clones the menu into
// a pinned copy that takes no grab and stays open after choices. Open Look opens a cascade 50 ms
// after the pointer comes onto its item, through a client event whose item is looked up in a list
// of pending openings (an item destroyed meanwhile leaves the list).
#pragma once
#include <cstdint>

#include "fw/gui/window/window.h"
#include "fw/widgets/menus/itemlist.h"
#include "fw/widgets/menus/menuitem.h"

enum : std::uint16_t {
  vmenuENABLED = 0x1,
  vmenuSIZES_STALE = 0x2,
  vmenuSTATES_STALE = 0x4,
  vmenuGEOMETRY_STALE = 0x8,
  vmenuHOOK_FIRST = 0x10,
  vmenuFORWARDED = 0x20,
  vmenuJUST_OPENED = 0x40,
  vmenuDRAG_ACCEPTED = 0x80,
  vmenuPINNED_COPY = 0x100,
  vmenuHAS_PIN_ITEM = 0x200,
  vmenuPINNED = 0x400,
  // The window's pinnable flag, which the window flag word has no room for.
  vmenuPINNABLE = 0x800,
};

// Command selectors of the class.
enum : int {
  vmenuSelectCONFIRM = 5,
  vmenuSelectABANDON = 6,
  vmenuSelectBEGIN = 7,
  vmenuSelectEND = 8,
  vmenuSelectLEFT = 9,
  vmenuSelectRIGHT = 10,
  vmenuSelectUP = 11,
  vmenuSelectDOWN = 12,
};

using vmenuPopupHook = void (*)(vmenuItem* parent, vevent* event);
using vmenuStripHandler = int (*)(vobject* parent, vevent* event);

struct vmenuPopup {
  vmenuItem* parent;
  vmenuPopupHook hook;
  vmenuStripHandler strip;
  std::intptr_t client;
  std::uint16_t count;
  std::uint16_t capacity;
  vrect anchor;
  vrect rects[1];  // capacity of them
};

struct vmenu : vwindow {
  char mnemonic;
  std::uint16_t menuFlags;
  vmenuItemList items;
  vmenuItem* selection;
  vmenuPopup* popup;
  void* mirror;  // the native menu layer's record
};

struct vmenuClassRec : vwindowClassRec {
  void (*enable)(vmenu* m);
  void (*disable)(vmenu* m);
  void (*markSizesStale)(vmenu* m);
  void (*markStatesStale)(vmenu* m);
  void (*markGeometryStale)(vmenu* m);
  void (*appendItem)(vmenu* m, vmenuItem* item);
  void (*removeItem)(vmenu* m, vmenuItem* item);
  void (*insertItem)(vmenu* m, vmenuItem* item, int index);
  void (*measureFrame)(vmenu* m, vmenuFrameMargins* out);
  void (*recomputeGeometry)(vmenu* m);
  void (*setMnemonic)(vmenu* m, int character);
  void (*setDefaultItem)(vmenu* m, vmenuItem* item);
  void (*setSelection)(vmenu* m, vmenuItem* item);
  void (*setPopupParent)(vmenu* m, vmenuItem* parent);
  void (*setPopupHook)(vmenu* m, vmenuPopupHook hook);
  void (*setHookFirst)(vmenu* m, int on);
  void (*setPopupClient)(vmenu* m, std::intptr_t word);
  void (*setPopupRects)(vmenu* m, const vrect* rects, int count);
  void (*setPopupAnchor)(vmenu* m, const vrect* anchor);
};

// The look's menu operations, in their order.
struct vmenuLook {
  void (*keepOnScreen)(vmenu* m, const vrect* anchor, vrect* rect);  // anchor may be null
  void (*measureFrame)(vmenu* m, vmenuFrameMargins* out);
  void (*drawFrame)(vmenu* m, const vrect* rect);
  void (*popupAtItem)(vmenu* m, vwindow* w, int x, int y);
  int (*hitAnchor)(vmenu* m, int x, int y);
  void (*track)(vmenu* m, vevent* event);
  void (*end)(vmenu* m, vmenuItem* item, vevent* event);
  int (*button)(vmenu* m, vevent* event);
};

inline vmenuClassRec* vmenuClassOf(const vmenu* m) { return vclassRec<vmenuClassRec>(m); }
vmenuClassRec* vmenuGetDefaultClass();
const vmenuLook* vmenuGetLook();
vmenu* vmenuCreate();
inline vmenuItemList* vmenuGetItemList(vmenu* m) { return &m->items; }
inline bool vmenuIsEnabled(const vmenu* m) { return (m->menuFlags & vmenuENABLED) != 0; }
// The native mirror of the Windows menu layer, null when not mirrored.
inline bool vmenuIsMirrored(const vmenu* m) { return m && m->mirror; }

void vmenuAppendItem(vmenu* m, vmenuItem* item);
void vmenuInsertItem(vmenu* m, vmenuItem* item, int index);
void vmenuRemoveItem(vmenu* m, vmenuItem* item);
// Lays the items out now when needed; the menu's window size follows.
void vmenuUpdateGeometry(vmenu* m);

void vmenuPopupForEvent(vmenu* m, vevent* event);
void vmenuPopupAt(vmenu* m, vwindow* w, int x, int y);
void vmenuPopupAtItem(vmenu* m, int x, int y);
void vmenuCascadeRight(vmenu* m, vwindow* w, const vrect* itemRect);
void vmenuCascadeLeft(vmenu* m, vwindow* w, const vrect* itemRect);
void vmenuPopupInRect(vmenu* m, const vrect* anchor, int placeX, int placeY);
// Where the menu would go against anchor by the placement codes, kept on the screen.
void vmenuPlaceInRect(vmenu* m, const vrect* anchor, int placeX, int placeY, vrect* out);
// Fits the menu into `height` pixels, keeping its top edge: a taller one
// scrolls under its lower arrow.
void vmenuFitHeight(vmenu* m, int height);
int vmenuHandleEvent(vmenu* m, vevent* event);
vmenuItem* vmenuGetOpenState(vmenu* m);
vmenuPopupHook vmenuGetPopupHook(vmenu* m);

vmenuItem* vmenuFindItemByAccelerator(vmenu* m, std::uint32_t key);
vmenuItem* vmenuFindItemByMnemonic(vmenu* m, int character);
void vmenuCollectAccelerators(vmenu* m, const void* value, vdict* keys);
// Ends the menu, choosing the current item when choose is set and both the
// menu and the item are enabled.
void vmenuEnd(vmenu* m, int choose, vevent* event);
int vmenuIssueSelector(vmenu* m, int selector, vevent* event);

// Pinnable menus carry a push-pin item at the front in the looks that pin;
// choosing it opens a pinned copy that stays open.
void vmenuSetPinnable(vmenu* m, int on);
inline vmenuItem* vmenuGetPinItem(vmenu* m) {
  return (m->menuFlags & vmenuHAS_PIN_ITEM) && vmenuItemListCount(&m->items) ? vmenuItemListAt(&m->items, 0) : nullptr;
}
inline vmenu* vmenuGetPinnedCopy(vmenu* m) {
  vmenuItem* pin = vmenuGetPinItem(m);
  return pin ? reinterpret_cast<vmenu*>(pin->data) : nullptr;
}

// The start-up row: the menu, its five item classes and the item list.
void vmenuStartup();
// Takes the current look's tables and keys again (tests switching looks).
void _vmenuChooseLook();
