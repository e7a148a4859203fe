// Simulated time for event-loop tests: waits move the clock instead of
// sleeping. It starts at the real clock so stamps already taken stay due.
#pragma once
#include <algorithm>

#include "fw/core/event.h"

struct SimulatedClock {
  static inline win::ULONGLONG now = 0;
  SimulatedClock() {
    veventStartup();
    // Never backwards, across tests either.
    now = std::max(now, win::GetTickCount64());
    win::SetTickSource([] { return now; }, [](win::ULONGLONG when) {
      if (when > now) now = when;
    });
  }
  ~SimulatedClock() { win::SetTickSource(nullptr, nullptr); }
  SimulatedClock(const SimulatedClock&) = delete;
  SimulatedClock& operator=(const SimulatedClock&) = delete;
  static void advance(win::ULONGLONG ms) { now += ms; }
};

inline vevent* clientEvent(veventHandler handler, void* data = nullptr, int priority = veventDEFAULT_PRIORITY) {
  vevent* e = veventCreateClient(handler, data);
  e->priority = priority;
  return e;
}
