// The Windows menu layer's entries that menus, items and item lists call
// to keep a native mirror in step. Until that layer mirrors menus these
// keep nothing: no menu has a mirror, so none of them is reached with one.
#pragma once
#include "fw/widgets/menus/menu.h"

// position >= 0 inserts there, -1 appends, -2 modifies the item's own entry.
void vmswmenuInsertMenuItem(vmenu* menu, vmenuItem* item, int position);
void vmswmenuDeleteItem(vmenu* menu, vmenuItem* item);
void vmswmenuMoveItem(vmenu* menu, int from, int to);
void vmswmenuItemAttributeChanged(vmenu* menu, vmenuItem* item, int index);
void vmswmenuSetItemEnabled(vmenuItem* item, int on);
void vmswmenuSetItemToggle(vmenuItem* item, int on);
void vmswmenuSetDefaultItem(vmenu* menu, vmenuItem* item);
void vmswmenuMenuAttributeChanged(vmenu* menu, vname name);
void vmswmenuDestroyMenuMirror(vmenu* menu, int remove);
// The three words that let a reloaded menu keep its native handle.
struct vmswmenuSaved {
  void* popup;
  void* bar;
  void* parent;
};
void vmswmenuSaveMirror(vmenu* menu, vmswmenuSaved* saved);
void vmswmenuRestoreMirror(vmenu* menu, const vmswmenuSaved* saved);
