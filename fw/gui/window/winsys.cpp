#include "fw/gui/window/winsys.h"

// The window-system layer fills these; until it is built there are no
// system defaults or settings to add.
void _vwindowSysPreferenceDefaults() {}
void _vwindowSysPreferences() {}
