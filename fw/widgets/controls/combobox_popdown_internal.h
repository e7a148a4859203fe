// Between the pop-down combo box's files.
#pragma once
#include "fw/widgets/controls/combobox_popdown.h"

// The parts' classes, built once by the module.
vbuttonClassRec* _vcomboboxPopdownMakeButtonClass();
vdialogClassRec* _vcomboboxPopdownMakeDialogClass();
vlistitemClassRec* _vcomboboxPopdownMakeChoiceClass();

// The box's operations the parts call.
void _vcomboboxPopdownPlace(vcomboboxPopdown* box);
void _vcomboboxPopdownOpen(vcomboboxPopdown* box);
// Closes; a press that closed it is remembered (see below).
void _vcomboboxPopdownClose(vcomboboxPopdown* box, vevent* event);
// Whether a press took the list up, forgetting it: the window layer hands
// that press on to the window under it, the box's own among them.
bool _vcomboboxPopdownTakeRaisingPress(vcomboboxPopdown* box);
// Opens, reports the drop and hands the press or key on into the list.
void _vcomboboxPopdownOpenByEvent(vcomboboxPopdown* box, vevent* event);
// The box a part belongs to, or null.
vcomboboxPopdown* _vcomboboxPopdownOf(vdialogItem* part);
