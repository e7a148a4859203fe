// Operations of classes that higher libraries build (the notice, the list
// view, the standard combo), kept with the window layer; they reach their
// objects through the entries those libraries fill in vwindowHooks.
#pragma once
#include "fw/gui/window/hooks.h"

// Titles the notice's "No" button, making it (disabled and hidden) when the
// notice has none. The title is consumed.
void vnoticeSetNoTitleScribe(vinstance* notice, vscribe* title);

// Calls the list view's notify function when it is open, has one and its
// options do not silence it.
void vlistviewNotify(vinstance* listview, int code);

// The standard combo's default entry order: unsigned bytes, -1, 0 or 1.
int vcomboCompareEntries(const char* a, const char* b);
// Sorts the entries keeping the shown value, then announces "Content".
void vcomboSortEntries(vobject* combo);
