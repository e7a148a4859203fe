// Native events from a back-end become input messages and window changes.
#include <array>

#include "platform/backend/input.h"
#include "platform/user/internal.h"

namespace win::backend {
namespace {

using internal::findWindow;
using internal::Window;

std::array<bool, 256> keyDown{};
WPARAM buttons = 0;

// Pointer messages go to the capture window, else to the window under
// the pointer.
HWND pointerTarget(POINT screen) {
  if (HWND c = internal::captureWindow()) return c;
  return internal::windowFromPoint(screen);
}

WPARAM modifierBits() {
  return buttons | (keyDown[VK_SHIFT] ? MK_SHIFT : 0) | (keyDown[VK_CONTROL] ? MK_CONTROL : 0);
}

void queuePointer(HWND target, UINT message, POINT screen) {
  Window* w = findWindow(target);
  if (!w) return;
  POINT origin = internal::clientOriginOnScreen(*w);
  internal::queueInput(target, message, modifierBits(), MAKELPARAM(screen.x - origin.x, screen.y - origin.y));
}

struct ButtonMessages {
  WPARAM bit;
  UINT down, up;
};
constexpr ButtonMessages kButtons[] = {
    {MK_LBUTTON, WM_LBUTTONDOWN, WM_LBUTTONUP},
    {MK_MBUTTON, WM_MBUTTONDOWN, WM_MBUTTONUP},
    {MK_RBUTTON, WM_RBUTTONDOWN, WM_RBUTTONUP},
};

}  // namespace

void InputPointerMoved(POINT screen) {
  internal::pointerPosition() = screen;
  if (HWND target = pointerTarget(screen)) queuePointer(target, WM_MOUSEMOVE, screen);
}

void InputButton(POINT screen, Button button, bool down) {
  internal::pointerPosition() = screen;
  const ButtonMessages& m = kButtons[static_cast<int>(button)];
  if (down)
    buttons |= m.bit;
  else
    buttons &= ~m.bit;
  HWND target = pointerTarget(screen);
  if (!target) return;
  // A press in an inactive window asks it first whether it activates and
  // whether the press is eaten.
  HWND root = internal::rootOf(target);
  if (down && root != internal::activeWindow() && !internal::captureWindow()) {
    LRESULT answer = SendMessageA(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(root),
                                  MAKELPARAM(static_cast<int>(HTCLIENT), static_cast<int>(m.down)));
    if ((answer == MA_ACTIVATE || answer == MA_ACTIVATEANDEAT) && findWindow(root)) internal::activate(root, true);
    if (answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT || !findWindow(target)) return;
  }
  queuePointer(target, down ? m.down : m.up, screen);
}

void InputKey(UINT virtualKey, UINT scanCode, bool extended, bool down, int character) {
  virtualKey &= 0xFF;
  bool wasDown = keyDown[virtualKey];
  keyDown[virtualKey] = down;
  // Keys go to the focus window, else to the active one.
  HWND target = GetFocus();
  if (!target) target = internal::activeWindow();
  if (!target) return;
  bool alt = keyDown[VK_MENU] || (virtualKey == VK_MENU && !down);
  bool system = alt || virtualKey == VK_F10;
  UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  auto lParam = static_cast<LPARAM>(1u | (scanCode & 0xFF) << 16 | (extended ? 1u << 24 : 0) |
                                    (alt ? 1u << 29 : 0) | (wasDown ? 1u << 30 : 0) | (down ? 0 : 1u << 31));
  internal::queueInput(target, message, virtualKey, lParam, down ? character : -1);
}

void InputActivated(HWND surface) {
  if (findWindow(surface)) internal::activate(surface, false);
}

void InputCloseRequested(HWND surface) {
  if (findWindow(surface)) internal::queueInput(surface, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void InputConfigured(HWND surface, const RECT& outer) {
  Window* w = findWindow(surface);
  if (!w) return;
  // Interactive sizing keeps within the tracking sizes.
  MINMAXINFO mmi;
  if (!internal::askMinMax(surface, mmi)) return;
  w = findWindow(surface);
  SIZE size = internal::withinTracking(mmi, outer.right - outer.left, outer.bottom - outer.top);
  // The back-end already shows this rectangle; only a size or position
  // other than it makes the surface move again.
  w->surfaceRect = outer;
  SetWindowPos(surface, nullptr, outer.left, outer.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void InputStateChanged(HWND surface, SurfaceState state) {
  if (!findWindow(surface)) return;
  constexpr int kCommands[] = {SW_HIDE, SW_RESTORE, SW_MINIMIZE, SW_MAXIMIZE};
  ShowWindow(surface, kCommands[static_cast<int>(state)]);
}

void InputExposed(HWND surface, const RECT& area) {
  if (findWindow(surface)) internal::exposeArea(surface, area);
}

}  // namespace win::backend
