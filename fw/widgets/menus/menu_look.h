// The menus' look tables: placement on the screen, the frame, popping up
// at an item, the anchor test, ending the menu and the Win95 click.
#pragma once
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"

const vmenuLook* vmenuLookFor(const vlaf* look);
// The look's vertical offset of a menu popped up at a point.
int vmenuLookMenuOffset();
// A menu destroyed while it ends (by what its chosen item ran) is left alone.
void _vmenuNoteDestroyed(vmenu* m);
