// What the X11 runs share at the platform level: the failure count, what
// the windows received, and the native queue pumped until a condition holds.
#pragma once

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win.h"

#include <X11/Xlib.h>

namespace x11queue {

inline int failures = 0;

inline void check(bool ok, const std::string& what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    ++failures;
  }
}

// What the windows' procedures noted, in order.
inline std::vector<std::string> received;

inline bool got(const std::string& what) {
  for (const std::string& r : received)
    if (r == what) return true;
  return false;
}

// How long a run waits for what it checks: long enough for a host loaded
// by a build beside it. A wait ends as soon as its condition holds, so
// only a failing check takes this long.
constexpr win::DWORD kPatience = 30000;

// Runs the queue until `done` holds or `ms` pass.
inline bool pumpUntil(const std::function<bool()>& done, win::DWORD ms = kPatience) {
  win::DWORD end = win::GetTickCount() + ms;
  win::SetTimer(nullptr, 1, 20, nullptr);
  while (!done() && win::GetTickCount() < end) {
    win::MSG m;
    while (win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE)) {
      win::TranslateMessage(&m);
      win::DispatchMessageA(&m);
    }
    if (!done()) win::WaitMessage();
  }
  return done();
}

// The top-level X window titled `title` (WM_NAME), anywhere below the root.
inline Window windowTitled(Display* d, const char* title, Window from = 0) {
  if (!from) from = DefaultRootWindow(d);
  char* name = nullptr;
  bool match = XFetchName(d, from, &name) && name && std::strcmp(name, title) == 0;
  if (name) XFree(name);
  if (match) return from;
  Window root = 0, parent = 0, *children = nullptr, found = 0;
  unsigned n = 0;
  if (XQueryTree(d, from, &root, &parent, &children, &n))
    for (unsigned i = 0; i < n && !found; ++i) found = windowTitled(d, title, children[i]);
  if (children) XFree(children);
  return found;
}

// The window manager's close request (WM_DELETE_WINDOW), as the user's
// click on a frame's close button sends it.
inline void sendClose(Display* d, Window w) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w, False, NoEventMask, &e);
  XSync(d, False);
}

// The window titled `title` is on the screen.
inline bool viewable(Display* d, const char* title) {
  Window w = windowTitled(d, title);
  XWindowAttributes a{};
  return w && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

}  // namespace x11queue
