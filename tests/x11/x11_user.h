// What the X11 runs share: a failure count, the real clock's event pump and
// an item point on the screen. The runs play the user through XTest on a
// second connection, so each step must be pumped before the next one.
#pragma once

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "fw/core/event.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/dialog.h"
#include "platform/win.h"
#include "tests/x11/x11_queue.h"

#include <X11/Xlib.h>

namespace x11run {

using x11queue::check;
using x11queue::failures;

using x11queue::kPatience;
using x11queue::windowTitled;

// The native queue and the framework's events, until `done` holds or `ms`
// of the real clock pass; whether it holds.
inline bool pumpUntil(const std::function<bool()>& done, win::DWORD ms = kPatience) {
  win::DWORD end = win::GetTickCount() + ms;
  win::SetTimer(nullptr, 1, 10, nullptr);
  for (;;) {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    if (done()) return true;
    if (win::GetTickCount() >= end) return false;
    win::WaitMessage();
  }
}

// A tiny window of the run's own, in a corner, that marks how far the
// program has read: the user's input is followed by a close request to it, which the
// server delivers after that input. Once the close has come through, the
// program has seen and handled everything the user did before it.
struct Barrier {
  Display* user;
  win::HWND hwnd = nullptr;
  Window xw = 0;
  int sent = 0;
  static inline int heard = 0;

  explicit Barrier(Display* d) : user(d) {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = [](win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) -> win::LRESULT {
      if (m != win::WM_SYSCOMMAND || (w & 0xFFF0) != win::SC_CLOSE) return win::DefWindowProcA(h, m, w, l);
      ++heard;
      return 0;
    };
    wc.lpszClassName = "X11RunBarrier";
    win::RegisterClassA(&wc);
    // Shown (only a shown window has its X window), in the screen's far
    // corner, away from where the runs point, and never active, so that
    // the keyboard stays with the windows the runs type into.
    const int x = win::GetSystemMetrics(win::SM_CXSCREEN) - 12, y = win::GetSystemMetrics(win::SM_CYSCREEN) - 12;
    hwnd = win::CreateWindowExA(0, "X11RunBarrier", "x11 run barrier", win::WS_POPUP, x, y, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    win::ShowWindow(hwnd, win::SW_SHOWNOACTIVATE);
    pumpUntil([&] { return x11queue::viewable(user, "x11 run barrier"); });
    xw = windowTitled(user, "x11 run barrier");
  }
  ~Barrier() { win::DestroyWindow(hwnd); }

  // Whether the program caught up with the user in time.
  bool pass() {
    x11queue::sendClose(user, xw);
    const int want = ++sent;
    bool ok = pumpUntil([&] { return heard >= want; });
    // What the input made on its way (posted messages, framework events).
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    return ok;
  }
};

// The dialog's window is on the screen, as the user sees it before
// pointing at it; with `typing`, it has the keyboard focus too.
inline bool shown(Display* user, vdialog* d, bool typing = false) {
  char title[128] = "";
  win::GetWindowTextA(d->native->hwnd, title, sizeof title);
  Window w = windowTitled(user, title);
  XWindowAttributes a{};
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(user, &focus, &revert);
  return w && XGetWindowAttributes(user, w, &a) && a.map_state == IsViewable && (!typing || focus == w);
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
