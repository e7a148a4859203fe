// Between the menu bar's class file and its interaction file.
#pragma once
#include "fw/widgets/menus/menubar.h"

int _vmenubarLook();
bool _vmenubarWindowsLook();
void _vmenubarPendingLayout(vmenubar* bar);
int _vmenubarTextWidth(vmenubar* bar, vmenu* menu);
vfont* _vmenubarFont(vmenubar* bar);
// System metrics read with the class: title-bar button width, menu line height.
int _vmenubarButtonWidth();
int _vmenubarMenuLineHeight();
// Under the global bar: the frame's bar while its active document is
// maximized (its titles then go into the frame's native menu line).
bool _vmenubarOverMaximized(vmenubar* bar);
// The strip a bar shows titles along: its rectangle, under the global bar
// the top part of the titles' natural height (as wide as the menu line
// between the document's boxes over a maximized document).
vrect _vmenubarStripRect(vmenubar* strip);
// The bar's strip drawn again at the next update (the frame's menu line too).
void _vmenubarRedrawStrip(vmenubar* bar);
// The framework-drawn road's slots.
void _vmenubarFillTracking(vmenubarClassRec* cls);
// The keys of an open framework-drawn bar, and of one menu on it.
void _vmenubarBindKeys(vmenubar* bar, bool on);
void _vmenubarBindMenuKeys(vmenubar* bar, vmenu* menu, bool on);
// The bar whose rectangle and window show bar's titles: the frame's bar
// for a document's bar under the global bar, else bar itself.
vmenubar* _vmenubarStrip(vmenubar* bar);
// The first bar among a dialog window's items, or null.
vmenubar* _vmenubarFirstBar(vwindow* w);
// A framework-drawn bar hears its window going inactive (on), or no more.
void _vmenubarWatchWindow(vmenubar* bar, bool on);
// A bar going away stops being watched.
void _vmenubarForget(vmenubar* bar);
// Keyboard mode's watches (`menubar_watch.cpp`): the click-outside watch
// started, cancelled for bar, standing for any bar; the keys held and
// the focus and presses anywhere watched (on), or no more.
void _vmenubarStartWatch(vmenubar* bar);
void _vmenubarCancelWatch(vmenubar* bar);
bool _vmenubarWatching();
void _vmenubarHoldKeys(vmenubar* bar, bool on);
// The window of a framework-drawn bar went inactive, the activation going
// to another program or to another of ours.
void _vmenubarWindowDeactivated(vwindow* w, bool toOtherProgram);
// The bar's strip in its window's coordinates.
vrect _vmenubarStripOnWindow(vmenubar* bar);
// A key the bar binds in keyboard mode (not the menu-bar key).
bool _vmenubarHoldsKey(vmenubar* bar, std::uint32_t key);
