// Toggles: the check box and, with the exclusive flag, the radio button. A
// control whose value steps through its range on each activation (0..1 is
// off/on; -1 is drawn as the mixed state), with an indicator at the left
// and the title to its right, drawn in the look chosen when the class is
// built.
//
// - `controls/toggle.h`: `vcontrolToggle`, the check box and (exclusive flag) radio button. One
//   control part covers the whole item: its pressed and released drawings redraw the indicator box
//   and its release action steps the value (value + 1, the minimum past max - view), written without
//   a "Value" announcement; "Select" does the same step. A per-look table (offsets, indicator size,
//   gap, label margin and extra, colour mask, background, check, radio and focus operations) is
//   chosen at class build; the Windows 3-D and Win95 indicators are look images picked from one
//   state table (`_vcontrolToggleImageFor`) and drawn from a private copy whose palette takes the
//   item's ground, light and dark colours (the images in `vwexlin7.txt` are five-colour palette
//   images, the face fixed). Control flag 8 means "marked" here: Open Look draws a check box for a
//   marked or untitled toggle, else a button holding the title.
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
