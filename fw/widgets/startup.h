// The widget library's rows of the framework's start-up order, and the
// framework's start-up as a program runs it.
//
// - `startup.h`: `vwidgetsInstallStartup` fills the library's rows of the framework's start-up
//   order. `vwidgetsStartup` (argc, argv) is a program's one start of the framework, called from the
//   `appMain` that `vsysMain` runs: it installs the window layer's hook record with the text model's
//   and the widgets' entries (`vwidgetsMakeWindowHooks`), fills the rows of every linked library
//   (data, graphics, the window layer with cursors and clipboards, text, services, widgets),
//   installs the resource interface ahead of the order (the menus' row builds the look, which loads
//   its images, before "vresourceStartup") and runs `vmoduleStartupAll`.
//   `tests/fw/widgets/probe/look_probe.cpp` is such a program; the look screenshot tests run it once
//   per look ("-laf" on its command line).
#pragma once
#include "fw/gui/window/hooks.h"

void vwidgetsInstallStartup();

// The window layer's hook record with the entries of every library this one
// links (the text model's and the widgets'), the stand-ins elsewhere.
vwindowHooks vwidgetsMakeWindowHooks();

// A program's start of the framework: installs that hook record, puts every
// linked library's rows in the start-up order and runs the order with the
// program's arguments (the preferences take theirs; vprefGetArgs has the rest).
// Once per process.
void vwidgetsStartup(int argc, char** argv);

// For a program whose windows are its whole use, before vwidgetsStartup:
// false, after saying so on standard error, when no back-end was chosen
// (WEXLIN_BACKEND) and DISPLAY names no display; with a DISPLAY the X11
// back-end is then required, so a display that does not open is an error
// rather than windows nobody sees.
bool vwidgetsDisplayChosen(const char* program);
