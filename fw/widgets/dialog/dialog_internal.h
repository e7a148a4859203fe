// Between the dialog's files.
#pragma once
#include "fw/widgets/dialog/dialog.h"

// The dialog's slots over the window's (keys and selectors aside).
void _vdialogFillSlots(vdialogClassRec* c);
// A dialog going away leaves the menu-bar key's memory.
void _vdialogForget(vdialog* d);
// The dialog becomes its menu's target, unless the menu is already up.
void _vdialogTargetMenu(vdialog* d);
