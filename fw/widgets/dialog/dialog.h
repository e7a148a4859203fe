// Dialogs: windows that hold one item list and own it. A dialog is loaded
// from a resource by name, finds its items by tag, routes pointer and key
// events to them, moves the keyboard focus with its focus commands, pops up
// its menu, asks its close hook before closing and sizes and arranges
// itself to its items (deferred to one queued event).
//
// - **The data** is authored in `fw/data/resources/vwexlin7.txt` with the picture forms of the text
//   form (`mask`, `cursor`, `image`, `copy`): rows top first; the Win95 entry holds the cursors and
//   icons that the other looks copy.
//
// - `dialog/dialog.h`: `vdialog`, a window subclass holding one item list (by pointer) with
//   `vdialogItemListWindowOwner`. `dialog_keys.cpp` builds the class: the window's attributes grown
//   to 42 with six more, a clone of the window class's space with the selector commands and the six
//   synthetic focus commands under "Command", the look's "Keys"/"vdialog" binding (authored in
//   `vwexlin7.txt`) under "Key", and the key dictionary the space visits; also the focus command
//   class and the menu-bar key's state (the dialog it remembers is forgotten when that dialog goes).
//   Sizing and arrangement run from one queued client event of priority 191 at a time; a close
//   detaches it. Live help re-posts a client event every 500 ms while on and asks help of the window
//   under the pointer (in a dialog, of the innermost item under it, through containers; in a menu,
//   of the entry whose band holds the pointer, walking down the entries' heights). Focus in and out
//   are the dialog's activation: the list's mark, focus and (with look flag 0x20000) default
//   emphasis. The dialog is its menu's window (`parent`) from the moment the menu is attached, so a
//   chosen entry finds its command and context there.
//
// - Controls, sliders, scroll bars and buttons take both pointer-motion slots: a dialog hands the
//   last motion of a drag (nothing queued behind it) to the item's drag slot, the others to its
//   motion slot.
#pragma once
#include <cstdint>

#include "fw/gui/window/window.h"
#include "fw/widgets/dialog/itemlist.h"

struct vdialog;
struct vmenu;

// Nonzero keeps the dialog open.
using vdialogCloseHook = int (*)(vdialog* dialog, vevent* event);

enum : std::uint16_t { vdialogSIZE_PENDING = 0x0001, vdialogARRANGE_PENDING = 0x0002 };

struct vdialog : vwindow {
  vmenu* menu;
  vdialogCloseHook closeHook;
  std::uint16_t dialogFlags;
  vdialogItemList* items;
  vevent* pending;  // the queued sizing and arrangement
};

struct vdialogClassRec : vwindowClassRec {
  void (*appendItem)(vdialog* d, vdialogItem* item);
  void (*removeItem)(vdialog* d, vdialogItem* item);
  void (*insertItem)(vdialog* d, vdialogItem* item, int index);
  void (*arrange)(vdialog* d, const vrect* rect);
  void (*getNaturalSize)(vdialog* d, int* width, int* height);
  void (*setMenu)(vdialog* d, vmenu* menu);
  void (*setCloseHook)(vdialog* d, vdialogCloseHook hook);
  void (*setFocusItem)(vdialog* d, vdialogItem* item);
  void (*setConfirmItem)(vdialog* d, vdialogItem* item);
  void (*setAbandonItem)(vdialog* d, vdialogItem* item);
  void (*setDefaultFocusItem)(vdialog* d, vdialogItem* item);
  void (*setPressedItem)(vdialog* d, vdialogItem* item);
  void (*setSolution)(vdialog* d, vspringSolution* solution);
};

// Attribute numbers after the window's.
enum : int {
  vdialogA_MENU = 15, vdialogA_FOCUS, vdialogA_CONFIRM, vdialogA_ABANDON, vdialogA_DEFAULT_FOCUS, vdialogA_SOLUTION
};

inline vdialogClassRec* vdialogClassOf(const vdialog* d) { return vclassRec<vdialogClassRec>(d); }
vdialogClassRec* vdialogGetDefaultClass();
vcommandClassRec* vdialogGetFocusCommandClass();
vdialog* vdialogCreate();
// Builds the dialog module and the item classes it holds.
void vdialogStartup();

inline void vdialogAppendItem(vdialog* d, vdialogItem* i) { vdialogClassOf(d)->appendItem(d, i); }
inline void vdialogRemoveItem(vdialog* d, vdialogItem* i) { vdialogClassOf(d)->removeItem(d, i); }
inline void vdialogInsertItem(vdialog* d, vdialogItem* i, int at) { vdialogClassOf(d)->insertItem(d, i, at); }
inline void vdialogSetMenu(vdialog* d, vmenu* m) { vdialogClassOf(d)->setMenu(d, m); }
inline void vdialogSetCloseHook(vdialog* d, vdialogCloseHook h) { vdialogClassOf(d)->setCloseHook(d, h); }
inline void vdialogSetFocusItem(vdialog* d, vdialogItem* i) { vdialogClassOf(d)->setFocusItem(d, i); }
inline void vdialogSetConfirmItem(vdialog* d, vdialogItem* i) { vdialogClassOf(d)->setConfirmItem(d, i); }
inline void vdialogSetAbandonItem(vdialog* d, vdialogItem* i) { vdialogClassOf(d)->setAbandonItem(d, i); }
inline void vdialogSetDefaultFocusItem(vdialog* d, vdialogItem* i) { vdialogClassOf(d)->setDefaultFocusItem(d, i); }
inline void vdialogSetSolution(vdialog* d, vspringSolution* s) { vdialogClassOf(d)->setSolution(d, s); }
inline vdialogItemList* vdialogGetItemList(const vdialog* d) { return d->items; }
inline vdialogItem* vdialogGetFocusItem(const vdialog* d) { return vdialogItemListGetFocusItem(d->items); }

// The item with this tag, or null.
vdialogItem* vdialogFindItem(vdialog* d, vname tag);
// The item with this tag, used as class expected, or null; an item of
// another class came from a damaged resource and is raised as such.
vdialogItem* _vdialogFindItemOfClass(vdialog* d, vname tag, const vclass* expected);
template <class T, class C>
T* _vdialogFindItemAs(vdialog* d, vname tag, const C* expected) {
  return reinterpret_cast<T*>(_vdialogFindItemOfClass(d, tag, expected));
}
// Resizes to the items' natural size when it has a positive side; the
// size is no longer pending either way.
void vdialogSizeToItems(vdialog* d);
void vdialogPlace(vdialog* d, vwindow* other, int horizontal, int vertical);
void vdialogPlaceRelative(vdialog* d, vdialog* other, int horizontal, int vertical);
// The menu-bar key's state (0-3) as the Windows looks track it.
int _vdialogMenuBarKeyState();
// A menu bar records the state its press of the menu-bar key leaves.
void _vdialogSetMenuBarKeyState(vdialog* d, int state);
