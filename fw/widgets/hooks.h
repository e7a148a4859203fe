// The widget library's entries of the window layer's hook record.
//
// - `vwidgetsFillWindowHooks` (`fw/widgets/hooks.h`) fills the window layer's `lookColor` entry: the
//   scheme colour once the look has bound its colours.
#pragma once
#include "fw/gui/window/hooks.h"

// Fills the entries this library serves; the others are left as they are.
void vwidgetsFillWindowHooks(vwindowHooks* hooks);
