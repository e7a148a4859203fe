// Dialog item lists: the ordered items of a dialog or container with four
// items known by index (focus, confirm, abandon, default focus), focus
// moves, pointer routing, and the relay of every question an item asks
// about its surroundings to the list's owner through an owner record.
//
// - `dialog/itemlist.h`: `vdialogItemList`, an object list of dialog items with the focus, confirm,
//   abandon and default-focus indexes (renumbered by removals and moves; a solution spanning a
//   changed index is dropped), focus moves, pointer routing and the spring arranger class.
//   Everything an item asks of its surroundings goes through the list's owner record
//   (`vdialogItemOwnerRecord`, owner passed as `void*`): the default record answers from the
//   application, `vdialogItemListWindowOwner` adapts the window layer's `vdialogOwnerInterface`; the
//   transforms are called only with flag 0x4. An item destroyed while listed leaves its list first.
//   An open item's mnemonic key, ((lower-case character) << 16 | the look's mnemonic modifiers) + 1,
//   maps to "Mnemonic" in the owner's key map and to the item in its mnemonic map while the look
//   draws mnemonics; a key down looks up the item's map, then the class's, and issues the command
//   only when the item's query answers it enabled. While open, an item also registers its cursor
//   area (item cursor, else the class's) with the window and its menu's accelerators ("Accelerator"
//   in the key map, the item in the mnemonic map); a list registers the keys its owner binds to
//   "Confirm" and "Abandon" (the owner's "Key" query) for its current confirm and abandon items.
//   Drawing: an open, shown item takes its owner's drawing state (owner slot 13), the list draws
//   last to first with the disabled pair (indexes 1 and 3) for disabled items and a module draw
//   hook; an item's scheme is completed by its owner for the whole mask asked (an owner answers only
//   the indexes asked for). The menu button keeps two press records (CUA, Win95) in the module
//   state; a release always ends a press. Commands are found in the item's space, its class's, then
//   the owner object's; help goes through the hook record.
#pragma once
#include <cstdint>

#include "fw/widgets/dialog/item.h"
#include "fw/widgets/lists/objlist.h"
#include "fw/widgets/lists/spring.h"

struct vwindow;

// What an item list asks its owner; every operation takes the owner first.
struct vdialogItemOwnerRecord {
  // 0x1 answers is-open and is-enabled itself; 0x2 determines schemes
  // itself; 0x4 transforms points and rectangles itself.
  std::uint32_t flags;
  vwindow* (*window)(void* owner);
  vobject* (*cursor)(void* owner);
  vfont* (*font)(void* owner);
  void (*colorList)(void* owner, std::uint32_t presetMask, vcolor* const* presets, const int* indexes, int count,
                    vcolor** result);
  std::intptr_t (*lineWidth)(void* owner);
  void (*origin)(void* owner, vrect* out);
  void (*visible)(void* owner, vrect* out);
  vdict* (*keyMap)(void* owner);
  vdict* (*mnemonicMap)(void* owner);
  int (*isOpen)(void* owner);
  int (*isEnabled)(void* owner);
  void (*determineScheme)(void* owner, vcolorScheme* scheme, std::uint32_t mask, vcolorScheme* result);
  void (*setDrawingState)(void* owner);
  // Called only with flag 0x4.
  void (*transformPoint)(void* owner, int* x, int* y);
  void (*transformRect)(void* owner, vrect* rect);
};
// The record of a list without an owner.
extern const vdialogItemOwnerRecord vdialogItemListDefaultOwner;
// A dialog window's record over the window layer's item-owner record.
extern const vdialogItemOwnerRecord vdialogItemListWindowOwner;

enum : std::uint16_t {
  vdialogItemListFORWARD = 0x0001,
  vdialogItemListBACKWARD = 0x0002,
  vdialogItemListTEXT_ONLY = 0x0004,
  vdialogItemListWRAPPED = 0x0008,
  vdialogItemListMOVE_BITS = 0x000F,
  vdialogItemListFOCUS_ACTIVE = 0x0010,
  vdialogItemListOPEN = 0x0020,
  vdialogItemListMARK = 0x0040,
  vdialogItemListDEFAULT_SHOWN = 0x0080,
  vdialogItemListCLOSING = 0x0100,
};

struct vdialogItemList : vobjectList {
  std::uint16_t flags;
  std::int16_t focus, confirm, abandon, defaultFocus;
  vdialogItem* pressed;
  vspringSolution* solution;
  vobject* owner;
  const vdialogItemOwnerRecord* ownerRecord;
  vdialogItemOwnerRecord effective;  // the record with the answers the owner leaves to the list
};

struct vdialogItemListClassRec : vobjectListClassRec {
  void (*open)(vdialogItemList* list);
  void (*close)(vdialogItemList* list);
  void (*activateFocus)(vdialogItemList* list);
  void (*deactivateFocus)(vdialogItemList* list);
  void (*showDefault)(vdialogItemList* list);
  void (*hideDefault)(vdialogItemList* list);
  void (*setMark)(vdialogItemList* list);
  void (*clearMark)(vdialogItemList* list);
  void (*draw)(vdialogItemList* list);
  int (*buttonDown)(vdialogItemList* list, vevent* event);
  int (*pointer)(vdialogItemList* list, vevent* event);
  void (*moveFocus)(vdialogItemList* list, int count, int textOnly);
  void (*arrange)(vdialogItemList* list, const vrect* container);
  void (*naturalSize)(vdialogItemList* list, int* width, int* height);
  void (*setFocusIndex)(vdialogItemList* list, int index);
  void (*setConfirm)(vdialogItemList* list, vdialogItem* item);
  void (*setAbandon)(vdialogItemList* list, vdialogItem* item);
  void (*setDefaultFocus)(vdialogItemList* list, vdialogItem* item);
  void (*setPressed)(vdialogItemList* list, vdialogItem* item);
  void (*setSolution)(vdialogItemList* list, vspringSolution* solution);
  void (*setOwner)(vdialogItemList* list, vobject* owner, const vdialogItemOwnerRecord* record);
};

inline vdialogItemListClassRec* vdialogItemListClassOf(const vdialogItemList* l) {
  return vclassRec<vdialogItemListClassRec>(l);
}
vdialogItemListClassRec* vdialogItemListGetDefaultClass();
vspringArrangerClassRec* vdialogItemListArrangerClass();
vdialogItemList* vdialogItemListCreate();

inline int vdialogItemListCount(const vdialogItemList* l) { return vobjectListCount(l); }
inline vdialogItem* vdialogItemListAt(const vdialogItemList* l, int i) {
  return static_cast<vdialogItem*>(vobjectListAt(l, i));
}
inline void vdialogItemListAppend(vdialogItemList* l, vdialogItem* item) { vobjectListAppend(l, item); }
inline void vdialogItemListMoveFocus(vdialogItemList* l, int count, int textOnly) {
  vdialogItemListClassOf(l)->moveFocus(l, count, textOnly);
}
inline void vdialogItemListSetFocusIndex(vdialogItemList* l, int i) { vdialogItemListClassOf(l)->setFocusIndex(l, i); }
inline void vdialogItemListSetConfirmItem(vdialogItemList* l, vdialogItem* i) {
  vdialogItemListClassOf(l)->setConfirm(l, i);
}
inline void vdialogItemListSetAbandonItem(vdialogItemList* l, vdialogItem* i) {
  vdialogItemListClassOf(l)->setAbandon(l, i);
}
inline void vdialogItemListSetDefaultFocusItem(vdialogItemList* l, vdialogItem* i) {
  vdialogItemListClassOf(l)->setDefaultFocus(l, i);
}
inline void vdialogItemListSetOwner(vdialogItemList* l, vobject* owner, const vdialogItemOwnerRecord* r) {
  vdialogItemListClassOf(l)->setOwner(l, owner, r);
}

// Arg for an item not in the list.
void vdialogItemListSetFocusItem(vdialogItemList* list, vdialogItem* item);
vdialogItem* vdialogItemListGetFocusItem(const vdialogItemList* list);
vdialogItem* vdialogItemListGetConfirmItem(const vdialogItemList* list);
vdialogItem* vdialogItemListGetAbandonItem(const vdialogItemList* list);
vdialogItem* vdialogItemListGetDefaultFocusItem(const vdialogItemList* list);
vdialogItem* vdialogItemListGetCurrentConfirmItem(const vdialogItemList* list);
void vdialogItemListDetermineScheme(vdialogItemList* list, const vcolorScheme* presets, std::uint32_t mask,
                                    vcolorScheme* result);
void vdialogItemListTransformPoint(vdialogItemList* list, int* x, int* y);
void vdialogItemListTransformRect(vdialogItemList* list, vrect* rect);
// The larger of the two items' wishes, the second asked on the mirrored side.
int vdialogItemListSpacing(vdialogItem* first, vdialogItem* second, int side);

// A mnemonic's item takes the focus: only a focusable item of a list with
// an owner; a container owner first takes the focus of its own list, and
// so on up. 1 when the focus moved.
int vdialogItemListFocusMnemonicItem(vdialogItemList* list, vdialogItem* item);
// A rectangle of item coordinates in the window, within the owner's
// visible rectangle.
void vdialogItemListGetVisibleRect(vdialogItemList* list, const vrect* rect, vrect* out);
// Pointer events (presses, releases, drags, motion) to window coordinates.
void vdialogItemListTransformEvent(vdialogItemList* list, vevent* event);
// A resource naming its class loads as that class (a list class, else
// Arg); any other as a plain item list.
vdialogItemList* vdialogItemListLoad(vresource resource);
// An owner's attribute change offered to every item (each takes only what
// it does not override).
void vdialogItemListPassInherited(vdialogItemList* list, vname name, vdict* arguments);
// Called with each item the list draws, before the item's own attributes.
void vdialogItemListSetDrawHook(void (*hook)(vdialogItem* item));
inline void vdialogItemListDraw(vdialogItemList* l) { vdialogItemListClassOf(l)->draw(l); }
// The owner's drawing state (owner slot 13).
void vdialogItemListSetDrawingState(vdialogItemList* list);

// Owners of this class (or below) hear the list's own announcements
// ("Focus", "Confirm", "Abandon", "DefaultFocus", "Solution") after the
// list's reaction; a class's later registration replaces its earlier one.
void vdialogItemListAddOwnerRelay(vclass* ownerClass, void (*relay)(vobject* owner, vname name, vdict* args));

// Between the items and their list.
void _vdialogItemListItemChanged(vdialogItemList* list, vdialogItem* item, vname name);
