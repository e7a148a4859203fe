// Option menus: a control showing the title of one item of its menu (the
// item's "Menu" attribute); a click or key pops the menu up over or below
// the control, and choosing another item makes its index the value, so
// that the maximum is the item count - 1 (-1 without a menu). "Selection"
// reads and sets the value as a menu item.
#pragma once
#include "fw/widgets/controls/control.h"

struct vmenu;

vcontrolClassRec* vcontrolOptionMenuGetDefaultClass();
vcontrol* vcontrolOptionMenuCreate();

// Pops the menu up as a click would (no menu: nothing); the event may be
// a key.
void vcontrolOptionMenuPopup(vcontrol* control, vevent* event);
