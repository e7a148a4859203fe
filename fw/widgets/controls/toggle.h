// Toggles: the check box and, with the exclusive flag, the radio button. A
// control whose value steps through its range on each activation (0..1 is
// off/on; -1 is drawn as the mixed state), with an indicator at the left
// and the title to its right, drawn in the look chosen when the class is
// built.
#pragma once
#include "fw/widgets/controls/control.h"

vcontrolClassRec* vcontrolToggleGetDefaultClass();
vcontrol* vcontrolToggleCreate();

// What a click or "Select" does: value + 1, or the minimum past
// max - view; written without a "Value" announcement, then the indicator
// redrawn and the item notified with the event (which may be null).
void vcontrolToggleActivate(vcontrol* toggle, vevent* event);

// The look image of Windows 3-D and Win95 indicators for a state (the
// exclusive flag, the value, pressed, enabled); 0 in other looks.
int _vcontrolToggleImageFor(bool radio, int value, bool pressed, bool enabled);
