// Headless message queue, timers and the wait in poll().
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <deque>
#include <vector>

#include "platform/win.h"

namespace win {

namespace {

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  ULONGLONG due;
  UINT period;
  TIMERPROC proc;
};

std::deque<MSG> queue;
std::vector<Timer> timers;
std::vector<int> descriptors;
int wakePipe[2] = {-1, -1};
ULONGLONG (*tickNow)() = nullptr;
void (*tickAdvance)(ULONGLONG) = nullptr;

ULONGLONG monotonicNow() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<ULONGLONG>(ts.tv_sec) * 1000 + static_cast<ULONGLONG>(ts.tv_nsec) / 1000000;
}

bool matches(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
  if (hwnd && m.hwnd != hwnd) return false;
  return (lo == 0 && hi == 0) || (m.message >= lo && m.message <= hi);
}

// Windows makes WM_TIMER messages when they are looked for.
void postDueTimers() {
  ULONGLONG now = GetTickCount64();
  for (Timer& t : timers)
    if (t.due <= now) {
      bool queued = std::any_of(queue.begin(), queue.end(), [&](const MSG& m) {
        return m.message == WM_TIMER && m.hwnd == t.hwnd && m.wParam == t.id;
      });
      if (!queued)
        queue.push_back({t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), static_cast<DWORD>(now)});
      t.due = now + t.period;
    }
}

void drainPipe() {
  char buf[64];
  while (read(wakePipe[0], buf, sizeof buf) > 0) {
  }
}

}  // namespace

ULONGLONG GetTickCount64() { return tickNow ? tickNow() : monotonicNow(); }

void SetTickSource(ULONGLONG (*now)(), void (*advanceTo)(ULONGLONG)) {
  tickNow = now;
  tickAdvance = now ? advanceTo : nullptr;
}

void PrepareWake() {
  if (wakePipe[0] >= 0) return;
  if (pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) wakePipe[0] = wakePipe[1] = -1;
}

void WakeFromSignal() {
  if (wakePipe[1] < 0) return;
  int saved = errno;
  ssize_t n = write(wakePipe[1], "w", 1);
  (void)n;
  errno = saved;
}

void AddWaitDescriptor(int fd) { descriptors.push_back(fd); }
void RemoveWaitDescriptor(int fd) { descriptors.erase(std::remove(descriptors.begin(), descriptors.end(), fd), descriptors.end()); }

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  queue.push_back({hwnd, message, wParam, lParam, static_cast<DWORD>(GetTickCount64())});
  return 1;
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi, UINT remove) {
  postDueTimers();
  for (auto it = queue.begin(); it != queue.end(); ++it)
    if (matches(*it, hwnd, lo, hi)) {
      *msg = *it;
      if (remove & PM_REMOVE) queue.erase(it);
      return 1;
    }
  return 0;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi) {
  while (!PeekMessageA(msg, hwnd, lo, hi, PM_REMOVE)) WaitMessage();
  return 1;
}

BOOL TranslateMessage(const MSG*) { return 0; }

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, msg->message, msg->wParam, msg->time);
    return 0;
  }
  return msg->hwnd ? SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

BOOL WaitMessage() {
  PrepareWake();
  for (;;) {
    postDueTimers();
    if (!queue.empty()) return 1;
    int timeout = -1;
    if (!timers.empty()) {
      ULONGLONG due = std::min_element(timers.begin(), timers.end(), [](const Timer& a, const Timer& b) {
                        return a.due < b.due;
                      })->due;
      ULONGLONG now = GetTickCount64();
      if (tickAdvance) {
        tickAdvance(due);
        continue;
      }
      timeout = due > now ? static_cast<int>(std::min<ULONGLONG>(due - now, 1u << 30)) : 0;
    }
    std::vector<pollfd> fds{{wakePipe[0], POLLIN, 0}};
    for (int fd : descriptors) fds.push_back({fd, POLLIN, 0});
    int n = poll(fds.data(), fds.size(), timeout);
    if (n < 0 && errno != EINTR) return 0;
    if (n < 0 || (fds[0].revents & POLLIN)) {
      drainPipe();
      return 1;  // woken: the caller looks at its own state
    }
    for (std::size_t i = 1; i < fds.size(); ++i)
      if (fds[i].revents) return 1;
  }
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT milliseconds, TIMERPROC proc) {
  KillTimer(hwnd, id);
  // No shorter period than a millisecond: a due timer must not spin.
  milliseconds = std::max<UINT>(milliseconds, 1);
  timers.push_back({hwnd, id, GetTickCount64() + milliseconds, milliseconds, proc});
  return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  auto it = std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  bool found = it != timers.end();
  timers.erase(it, timers.end());
  queue.erase(std::remove_if(queue.begin(), queue.end(),
                             [&](const MSG& m) { return m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == id; }),
              queue.end());
  return found;
}

}  // namespace win
