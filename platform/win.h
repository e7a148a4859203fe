// The Windows calls the framework makes, under their Windows names, with
// the behaviour the framework relies on, written for Linux: windows live
// in a back-end (headless or X11), the registry and profile read text
// files and the environment.
//
// `platform/win.h` declares the Windows calls the framework makes, under their Windows names in
// namespace `win`, with the behaviour the framework relies on. It includes `platform/win/types.h`
// (integer types, handles, structures in the Windows field order with fixed-width fields),
// `constants.h`, `user.h` (classes, windows, messages, timers, hooks, menus), `gdi.h` and
// `kernel.h` (version, errors, the clock, profile strings, libraries, memory, file search,
// programs, the registry). `platform/win/test.h` is the headless test API (message traces, the
// clock, the start-up show command, what the headless back-end holds); framework code never
// includes it. The sources are one library: `platform/kernel/`, `platform/user/` (the window
// manager), `platform/gdi/` (the drawing layer), `platform/backend/` and `platform/net/` (the
// Winsock shim).
#pragma once
#include "platform/win/types.h"
#include "platform/win/constants.h"
#include "platform/win/user.h"
#include "platform/win/gdi.h"
#include "platform/win/kernel.h"
#include "platform/win/commdlg.h"
