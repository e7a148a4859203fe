// What the X11 runs share: a failure count, the real clock's event pump and
// an item point on the screen. The runs play the user through XTest on a
// second connection, so each step must be pumped before the next one.
#pragma once

#include <cstdio>
#include <string>

#include "fw/core/event.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/dialog.h"
#include "platform/win.h"
#include "tests/x11/x11_queue.h"

namespace x11run {

using x11queue::check;
using x11queue::failures;

// The native queue and the framework's events for `ms` of the real clock.
inline void pumpFor(win::DWORD ms) {
  win::DWORD end = win::GetTickCount() + ms;
  win::SetTimer(nullptr, 1, 10, nullptr);
  do {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    win::WaitMessage();
  } while (win::GetTickCount() < end);
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
}

// An item point (y counted from the bottom) on the screen.
inline win::POINT onScreen(vdialog* d, int x, int y) {
  win::RECT client{};
  win::GetClientRect(d->native->hwnd, &client);
  win::POINT p{x, client.bottom - 1 - y};
  win::ClientToScreen(d->native->hwnd, &p);
  return p;
}

}  // namespace x11run
