// The one clock: monotonic milliseconds, or a virtual clock that waits
// move forward.
#include <ctime>

#include "platform/win.h"
#include "platform/win/test.h"

namespace win {
namespace {

ULONGLONG (*tickNow)() = nullptr;
void (*tickAdvance)(ULONGLONG) = nullptr;
ULONGLONG virtualNow = 0;

ULONGLONG monotonicNow() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<ULONGLONG>(ts.tv_sec) * 1000 + static_cast<ULONGLONG>(ts.tv_nsec) / 1000000;
}

}  // namespace

namespace internal {

bool clockMovesOnWaits() { return tickAdvance != nullptr; }

void advanceVirtualClock(ULONGLONG to) {
  if (tickAdvance) tickAdvance(to);
}

}  // namespace internal

ULONGLONG GetTickCount64() { return tickNow ? tickNow() : monotonicNow(); }

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void SetTickSource(ULONGLONG (*now)(), void (*advanceTo)(ULONGLONG)) {
  tickNow = now;
  tickAdvance = now ? advanceTo : nullptr;
}

void UseVirtualClock(bool on) {
  if (!on) {
    SetTickSource(nullptr, nullptr);
    return;
  }
  // Never backwards: a clock taken before stays in the past.
  if (virtualNow < monotonicNow()) virtualNow = monotonicNow();
  SetTickSource([] { return virtualNow; }, [](ULONGLONG when) {
    if (when > virtualNow) virtualNow = when;
  });
}

void test::AdvanceClock(ULONGLONG ms) { virtualNow += ms; }

}  // namespace win
