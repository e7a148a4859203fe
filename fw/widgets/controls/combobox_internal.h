// Between the combo box's files.
#pragma once
#include "fw/widgets/controls/combobox.h"

// The entry and choice classes, built once by the module.
vtextitemClassRec* _vcomboboxMakeEntryClass();
vlistitemClassRec* _vcomboboxMakeChoiceClass();
// Runs the box's typed slot with its updating bit set, so that the choice
// box's selecting does not tell the client again.
void _vcomboboxTypedUpdating(vcomboboxStandard* c, vcomboboxValue* v);
