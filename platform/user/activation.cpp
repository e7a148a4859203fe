// Activation, keyboard focus and pointer capture.
#include <algorithm>

#include "platform/user/internal.h"

namespace win {
namespace internal {
namespace {

HWND active = nullptr;
HWND focus = nullptr;
HWND capture = nullptr;

bool activatable(const Window& w) {
  return !w.parent && (w.style & WS_VISIBLE) && !(w.style & WS_DISABLED) && !w.minimized && !w.destroying;
}

bool inside(HWND hwnd, HWND ancestor) { return hwnd && (hwnd == ancestor || IsChild(ancestor, hwnd)); }

void tellAllTopLevel(UINT message, WPARAM wParam) {
  std::vector<HWND> order = topLevelOrder();
  for (HWND h : order)
    if (findWindow(h)) SendMessageA(h, message, wParam, 0);
}

void focusSurface(HWND hwnd) {
  Window* w = findWindow(hwnd);
  if (w && w->hasSurface) backend::Current().FocusSurface(hwnd);
}

// The window that takes the activation when `leaving` goes: its owner,
// else the topmost other window that can be active.
HWND nextActive(HWND leaving) {
  Window* w = findWindow(leaving);
  if (Window* o = w ? findWindow(w->owner) : nullptr; o && activatable(*o)) return o->handle;
  for (HWND h : topLevelOrder()) {
    Window* c = findWindow(h);
    if (h != leaving && c && activatable(*c) && !IsChild(leaving, h)) return h;
  }
  return nullptr;
}

}  // namespace

HWND activeWindow() { return findWindow(active) ? active : nullptr; }
HWND captureWindow() { return findWindow(capture) ? capture : nullptr; }

void activate(HWND hwnd, bool byClick) {
  hwnd = rootOf(hwnd);
  HWND old = activeWindow();
  if (hwnd == old) return;
  if (old) {
    SendMessageA(old, WM_NCACTIVATE, 0, 0);
    if (findWindow(old)) SendMessageA(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
  }
  active = findWindow(hwnd) ? hwnd : nullptr;
  if (!active) {
    if (old) tellAllTopLevel(WM_ACTIVATEAPP, 0);
    if (HWND f = focus; f) {
      focus = nullptr;
      endAltAlone();
      if (findWindow(f)) SendMessageA(f, WM_KILLFOCUS, 0, 0);
    }
    return;
  }
  if (!old) tellAllTopLevel(WM_ACTIVATEAPP, 1);
  if (active != hwnd || !findWindow(hwnd)) return;
  // The active window comes to the top, its owned windows above it.
  auto& order = topLevelOrder();
  order.erase(std::remove(order.begin(), order.end(), hwnd), order.end());
  order.insert(order.begin(), hwnd);
  keepOwnedAbove();
  syncStacking();
  focusSurface(hwnd);
  SendMessageA(hwnd, WM_NCACTIVATE, 1, 0);
  if (active != hwnd || !findWindow(hwnd)) return;
  SendMessageA(hwnd, WM_ACTIVATE, byClick ? WA_CLICKACTIVE : WA_ACTIVE, reinterpret_cast<LPARAM>(old));
  // A focus left in another top-level window does not stay there.
  if (active == hwnd && focus && !inside(focus, hwnd)) SetFocus(nullptr);
}

void windowLeaving(HWND hwnd, bool hidingOnly) {
  if (inside(focus, hwnd)) SetFocus(nullptr);
  if (!findWindow(hwnd)) return;
  if (activeWindow() == hwnd) activate(nextActive(hwnd), false);
  if (!hidingOnly && inside(captureWindow(), hwnd)) ReleaseCapture();
}

}  // namespace internal

using internal::findWindow;

HWND SetActiveWindow(HWND hwnd) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return nullptr;
  HWND old = internal::activeWindow();
  internal::activate(hwnd, false);
  return old;
}

HWND GetActiveWindow() { return internal::activeWindow(); }

// One program: the foreground window is the active one.
BOOL SetForegroundWindow(HWND hwnd) {
  if (!internal::checkWindow(hwnd)) return 0;
  internal::activate(hwnd, false);
  return 1;
}

HWND GetForegroundWindow() { return internal::activeWindow(); }

// Answers the focus window from before the call, even when activating
// another window moved the focus on the way.
HWND SetFocus(HWND hwnd) {
  HWND previous = GetFocus();
  if (hwnd) {
    internal::Window* w = internal::checkWindow(hwnd);
    if (!w) return nullptr;
    if (internal::rootOf(hwnd) != internal::activeWindow()) {
      internal::activate(hwnd, false);
      if (!findWindow(hwnd)) return nullptr;
    }
  }
  HWND old = GetFocus();
  if (old == hwnd) return previous;
  internal::focus = hwnd;
  internal::endAltAlone();
  if (old) SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd && internal::focus == hwnd && findWindow(hwnd))
    SendMessageA(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return previous;
}

HWND GetFocus() { return findWindow(internal::focus) ? internal::focus : nullptr; }

HWND SetCapture(HWND hwnd) {
  if (!internal::checkWindow(hwnd)) return nullptr;
  HWND old = internal::captureWindow();
  internal::capture = hwnd;
  backend::Current().GrabPointer(internal::rootOf(hwnd));
  if (old && old != hwnd) SendMessageA(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

BOOL ReleaseCapture() {
  HWND old = internal::captureWindow();
  internal::capture = nullptr;
  backend::Current().GrabPointer(nullptr);
  if (old) SendMessageA(old, WM_CAPTURECHANGED, 0, 0);
  return 1;
}

HWND GetCapture() { return internal::captureWindow(); }

}  // namespace win
