// The message queue: posted messages, input, timers, and the wait.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <deque>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/user/internal.h"
#include "platform/user/menu.h"

namespace win {
namespace {

// Post what ready wait descriptors stand for (socket notifications, DDE).
std::vector<void (*)()> descriptorWatchers;

void runDescriptorWatchers() {
  for (std::size_t i = 0; i < descriptorWatchers.size(); ++i) descriptorWatchers[i]();
}

std::vector<void (*)(const MSG*)> dispatchWatchers;

void runDispatchWatchers(const MSG* msg) {
  for (std::size_t i = 0; i < dispatchWatchers.size(); ++i) dispatchWatchers[i](msg);
}

using internal::findWindow;

struct Queued {
  MSG msg;
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  ULONGLONG due;
  UINT period;
  TIMERPROC proc;
};

struct QueueState {
  std::deque<Queued> posted;
  std::vector<Timer> timers;
  bool quitPending = false;
  int quitCode = 0;
  // WaitMessage returns for arrivals after the last Get or Peek, and for
  // timers that fell due after it.
  std::uint64_t arrivals = 0, seenArrivals = 0;
  ULONGLONG lastLook = 0;
  DWORD lastTime = 0;
  POINT lastPos{0, 0};
  UINT_PTR nextTimerId = 1;
  std::vector<int> descriptors;
  int wakePipe[2] = {-1, -1};
};

QueueState& q() {
  static QueueState state;
  return state;
}

// A window filter takes the window and its descendants; (HWND)-1 takes
// only messages without a window.
bool windowMatches(HWND message, HWND filter) {
  if (!filter) return true;
  if (filter == reinterpret_cast<HWND>(~std::uintptr_t{0})) return message == nullptr;
  return message == filter || IsChild(filter, message);
}

bool rangeMatches(UINT message, UINT lo, UINT hi) { return (lo == 0 && hi == 0) || (message >= lo && message <= hi); }

// Takes the first matching message of a list, dropping those of windows
// that died since they were queued.
bool takeFrom(std::deque<Queued>& list, MSG* out, HWND hwnd, UINT lo, UINT hi, bool remove) {
  for (auto it = list.begin(); it != list.end();) {
    if (it->msg.hwnd && !findWindow(it->msg.hwnd)) {
      it = list.erase(it);
      continue;
    }
    if (windowMatches(it->msg.hwnd, hwnd) && rangeMatches(it->msg.message, lo, hi)) {
      *out = it->msg;
      if (remove) list.erase(it);
      return true;
    }
    ++it;
  }
  return false;
}

bool takeTimer(MSG* out, HWND hwnd, UINT lo, UINT hi, bool remove, ULONGLONG now) {
  if (!rangeMatches(WM_TIMER, lo, hi)) return false;
  Timer* best = nullptr;
  for (Timer& t : q().timers)
    if (t.due <= now && windowMatches(t.hwnd, hwnd) && (!best || t.due < best->due)) best = &t;
  if (!best) return false;
  *out = {best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), static_cast<DWORD>(now),
          internal::pointerPosition()};
  if (remove) best->due = now + best->period;
  return true;
}

void drainPipe() {
  char buf[64];
  while (read(q().wakePipe[0], buf, sizeof buf) > 0) {
  }
}

// Due timers that fell due after the last look; and the next deadline.
bool newlyDueTimer(ULONGLONG now, ULONGLONG* next) {
  bool any = false, due = false;
  for (const Timer& t : q().timers) {
    if (t.due <= q().lastLook) continue;  // seen at the last look and left
    if (t.due <= now) due = true;
    if (!any || t.due < *next) *next = t.due;
    any = true;
  }
  if (!any) *next = 0;
  return due;
}

}  // namespace

namespace internal {

POINT& pointerPosition() {
  static POINT p{0, 0};
  return p;
}

void noteArrival() { ++q().arrivals; }

bool messageMatches(HWND hwnd, UINT message, HWND filter, UINT lo, UINT hi) {
  return windowMatches(hwnd, filter) && rangeMatches(message, lo, hi);
}

void forgetWindowMessages(HWND hwnd) {
  auto& s = q();
  s.posted.erase(std::remove_if(s.posted.begin(), s.posted.end(), [&](const Queued& m) { return m.msg.hwnd == hwnd; }),
                 s.posted.end());
  s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                 s.timers.end());
}

}  // namespace internal

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m{hwnd, message, wParam, lParam, GetTickCount(), internal::pointerPosition()};
  if (hwnd == HWND_BROADCAST) {
    for (HWND h : internal::topLevelOrder()) {
      m.hwnd = h;
      q().posted.push_back({m});
    }
  } else {
    if (hwnd && !internal::checkWindow(hwnd)) return 0;
    q().posted.push_back({m});
  }
  internal::noteArrival();
  return 1;
}

void ForgetPostedMessages(HWND hwnd, UINT message, WPARAM wParam) {
  auto& posted = q().posted;
  posted.erase(std::remove_if(posted.begin(), posted.end(),
                              [&](const Queued& m) {
                                return m.msg.hwnd == hwnd && m.msg.message == message && m.msg.wParam == wParam;
                              }),
               posted.end());
}

void PostQuitMessage(int exitCode) {
  q().quitPending = true;
  q().quitCode = exitCode;
  internal::noteArrival();
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi, UINT remove) {
  if (!msg) return 0;
  backend::Current().Pump();
  runDescriptorWatchers();
  QueueState& s = q();
  ULONGLONG now = GetTickCount64();
  s.seenArrivals = s.arrivals;
  s.lastLook = now;
  bool take = (remove & PM_REMOVE) != 0;
  bool found = takeFrom(s.posted, msg, hwnd, lo, hi, take);
  if (!found && s.quitPending && rangeMatches(WM_QUIT, lo, hi)) {
    *msg = {nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0, static_cast<DWORD>(now), internal::pointerPosition()};
    if (take) s.quitPending = false;
    found = true;
  }
  if (!found) found = internal::takeInput(msg, hwnd, lo, hi, take);
  if (!found) {
    internal::paintMenuLines();  // the non-client part first, as WM_NCPAINT would
    found = internal::takePaint(msg, hwnd, lo, hi);
  }
  if (!found) found = takeTimer(msg, hwnd, lo, hi, take, now);
  if (!found) return 0;
  s.lastTime = msg->time;
  s.lastPos = msg->pt;
  return 1;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi) {
  if (hwnd && hwnd != reinterpret_cast<HWND>(~std::uintptr_t{0}) && !internal::checkWindow(hwnd)) return -1;
  while (!PeekMessageA(msg, hwnd, lo, hi, PM_REMOVE)) {
    WaitMessage();
    if (hwnd && hwnd != reinterpret_cast<HWND>(~std::uintptr_t{0}) && !findWindow(hwnd)) return -1;
  }
  return msg->message == WM_QUIT ? 0 : 1;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    // Only the procedure of a live timer is called.
    for (const Timer& t : q().timers)
      if (t.hwnd == msg->hwnd && t.id == msg->wParam && t.proc == proc) {
        proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        break;
      }
    return 0;
  }
  internal::Window* w = msg->hwnd ? internal::checkWindow(msg->hwnd) : nullptr;
  if (!w) {
    runDispatchWatchers(msg);
    return 0;
  }
  WNDPROC proc = w->proc;
  int& depth = internal::sendDepth();
  ++depth;
  internal::traceMessage(msg->hwnd, msg->message, msg->wParam, msg->lParam, true);
  MSG copy = *msg;  // the procedure may reuse the caller's record
  LRESULT r = proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  --depth;
  runDispatchWatchers(&copy);
  return r;
}

LONG GetMessageTime() { return static_cast<LONG>(q().lastTime); }

DWORD GetMessagePos() {
  return static_cast<DWORD>(MAKELPARAM(q().lastPos.x, q().lastPos.y));
}

void PrepareWake() {
  QueueState& s = q();
  if (s.wakePipe[0] >= 0) return;
  if (pipe2(s.wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) s.wakePipe[0] = s.wakePipe[1] = -1;
}

volatile std::sig_atomic_t signalWakes = 0;

unsigned SignalWakeCount() { return static_cast<unsigned>(signalWakes); }

void WakeFromSignal() {
  signalWakes = signalWakes + 1;
  int fd = q().wakePipe[1];
  if (fd < 0) return;
  int saved = errno;
  ssize_t n = write(fd, "w", 1);
  (void)n;
  errno = saved;
}

void AddDescriptorWatcher(void (*watcher)()) {
  if (std::find(descriptorWatchers.begin(), descriptorWatchers.end(), watcher) == descriptorWatchers.end())
    descriptorWatchers.push_back(watcher);
}

void AddDispatchWatcher(void (*watcher)(const MSG*)) {
  if (std::find(dispatchWatchers.begin(), dispatchWatchers.end(), watcher) == dispatchWatchers.end())
    dispatchWatchers.push_back(watcher);
}

void AddWaitDescriptor(int fd) { q().descriptors.push_back(fd); }

void RemoveWaitDescriptor(int fd) {
  auto& d = q().descriptors;
  d.erase(std::remove(d.begin(), d.end(), fd), d.end());
}

namespace internal {
// A clock that waits move instead of sleeping (clock.cpp).
bool clockMovesOnWaits();
void advanceVirtualClock(ULONGLONG to);
}  // namespace internal

BOOL WaitMessage() {
  PrepareWake();
  QueueState& s = q();
  backend::Backend& b = backend::Current();
  for (;;) {
    b.Pump();
    runDescriptorWatchers();
    if (s.arrivals != s.seenArrivals) return 1;
    ULONGLONG now = GetTickCount64(), next = 0;
    if (newlyDueTimer(now, &next)) return 1;

    std::vector<pollfd> fds{{s.wakePipe[0], POLLIN, 0}};
    int backendFd = b.Descriptor();
    if (backendFd >= 0) fds.push_back({backendFd, POLLIN, 0});
    for (int fd : s.descriptors) fds.push_back({fd, POLLIN, 0});

    // A clock that waits move looks at what is ready now and then moves
    // to the deadline instead of sleeping.
    bool moveClock = next && internal::clockMovesOnWaits();
    int timeout = !next ? -1 : moveClock ? 0 : static_cast<int>(std::min<ULONGLONG>(next - now, 1u << 30));
    b.Flush();
    if (s.arrivals != s.seenArrivals) return 1;  // read while sending
    int n = poll(fds.data(), fds.size(), timeout);
    if (n < 0 && errno != EINTR) return 0;
    if (n < 0 || (fds[0].revents & POLLIN)) {
      if (n > 0) drainPipe();
      return 1;  // woken: the caller looks at its own state
    }
    for (std::size_t i = 1; i < fds.size(); ++i) {
      if (!fds[i].revents) continue;
      if (backendFd >= 0 && i == 1) continue;  // pumped at the top of the loop
      return 1;
    }
    if (moveClock) internal::advanceVirtualClock(next);
  }
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT milliseconds, TIMERPROC proc) {
  if (hwnd && !internal::checkWindow(hwnd)) return 0;
  QueueState& s = q();
  auto same = [&](UINT_PTR key) {
    return std::find_if(s.timers.begin(), s.timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == key; });
  };
  if (!hwnd && same(id) == s.timers.end()) {
    // Without a window the id is ours to choose.
    do {
      id = s.nextTimerId++;
    } while (id == 0 || same(id) != s.timers.end());
  }
  // At least a millisecond: a due timer must not spin the loop.
  milliseconds = std::clamp<UINT>(milliseconds, 1, 0x7FFFFFFF);
  Timer t{hwnd, id, GetTickCount64() + milliseconds, milliseconds, proc};
  if (auto it = same(id); it != s.timers.end())
    *it = t;
  else
    s.timers.push_back(t);
  return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  auto& timers = q().timers;
  auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == timers.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  timers.erase(it);
  return 1;
}

}  // namespace win
