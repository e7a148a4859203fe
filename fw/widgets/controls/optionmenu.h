// Option menus: a control showing the title of one item of its menu (the
// item's "Menu" attribute); a click or key pops the menu up over or below
// the control, and choosing another item makes its index the value, so
// that the maximum is the item count - 1 (-1 without a menu). "Selection"
// reads and sets the value as a menu item.
//
// - `controls/optionmenu.h`: `vcontrolOptionMenu`: the value is the index of the chosen item of the
//   item's own "Menu", the maximum the item count - 1 (-1 without a menu; the value waits until next
//   set). While the menu is the control's, its window notify function hears each choice (the menu's
//   end calls the menu window's notify after the item's select) and sets the value and notifies only
//   for another item. Popping up lends the control's window as the menu's parent (its colours and
//   commands) until the menu ends, makes the control the pop-up parent with a hook that releases it,
//   and places the menu below the control (Windows, Win95, CUA, Open Look) or with the current item
//   centred over it (Motif, generic); "Accelerator" chooses the item at once through the menu's end.
//   `optionmenu_look.cpp` holds the per-look table and drawings (Open Look's abbreviated menu button
//   from its glyphs). A dialog item's stored menu (and cursor) loads as the class its resource
//   names.
#pragma once
#include "fw/widgets/controls/control.h"

struct vmenu;

vcontrolClassRec* vcontrolOptionMenuGetDefaultClass();
vcontrol* vcontrolOptionMenuCreate();

// Pops the menu up as a click would (no menu: nothing); the event may be
// a key.
void vcontrolOptionMenuPopup(vcontrol* control, vevent* event);
