// What the X11 runs share at the platform level: the failure count, what
// the windows received, and the native queue pumped until a condition holds.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/win.h"

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

// Runs the queue until `done` holds or `ms` pass.
inline bool pumpUntil(const std::function<bool()>& done, win::DWORD ms) {
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

}  // namespace x11queue
