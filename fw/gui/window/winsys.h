// The window-system layer's two steps of preference loading: its defaults
// (level 1) and the system's settings (level 6).
#pragma once

void _vwindowSysPreferenceDefaults();
void _vwindowSysPreferences();
