#include "fw/widgets/menus/mswmenu.h"

// Filled by the Windows menu layer.
void vmswmenuInsertMenuItem(vmenu*, vmenuItem*, int) {}
void vmswmenuDeleteItem(vmenu*, vmenuItem*) {}
void vmswmenuMoveItem(vmenu*, int, int) {}
void vmswmenuItemAttributeChanged(vmenu*, vmenuItem*, int) {}
void vmswmenuSetItemEnabled(vmenuItem*, int) {}
void vmswmenuSetItemToggle(vmenuItem*, int) {}
void vmswmenuSetDefaultItem(vmenu*, vmenuItem*) {}
void vmswmenuMenuAttributeChanged(vmenu*, vname) {}
void vmswmenuDestroyMenuMirror(vmenu*, int) {}
void vmswmenuSaveMirror(vmenu*, vmswmenuSaved* saved) { *saved = {}; }
void vmswmenuRestoreMirror(vmenu*, const vmswmenuSaved*) {}
