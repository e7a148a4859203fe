// The widget library's entries of the window layer's hook record.
#pragma once
#include "fw/gui/window/hooks.h"

// Fills the entries this library serves; the others are left as they are.
void vwidgetsFillWindowHooks(vwindowHooks* hooks);
