// Native events from a back-end become input messages and window changes.
#include "platform/backend/input.h"
#include "platform/user/internal.h"

namespace win::backend {

using internal::findWindow;
using internal::Window;

// Pointer and key events join the hardware input queue; where they go is
// decided when the queue is read.
void InputPointerMoved(POINT screen) { internal::queueHardware(internal::pointerInput(screen, -1, false)); }

void InputPointerState(const PointerState& state) {
  const internal::KeyStates& keys = internal::reportedKeys();
  // A side's own key goes down or up; the generic key follows both sides.
  struct Held {
    bool wanted;
    UINT generic, left, right;
  };
  const Held held[] = {{state.shift, VK_SHIFT, VK_LSHIFT, VK_RSHIFT},
                       {state.control, VK_CONTROL, VK_LCONTROL, VK_RCONTROL},
                       {state.left, VK_LBUTTON, VK_LBUTTON, VK_LBUTTON},
                       {state.middle, VK_MBUTTON, VK_MBUTTON, VK_MBUTTON},
                       {state.right, VK_RBUTTON, VK_RBUTTON, VK_RBUTTON}};
  for (const Held& h : held) {
    if (((keys[h.generic] & 0x80) != 0) == h.wanted) continue;
    internal::setHeld(h.left, h.wanted);
    if (!h.wanted) internal::setHeld(h.right, false);
  }
}

void InputAltState(bool held) {
  const internal::KeyStates& keys = internal::reportedKeys();
  for (int side = 0; side < 2 && !held && (keys[VK_MENU] & 0x80); ++side)
    InputKey(VK_MENU, 0, (keys[VK_RMENU] & 0x80) && !(keys[VK_LMENU] & 0x80), false, -1);
}

void InputButton(POINT screen, Button button, bool down) {
  internal::queueHardware(internal::pointerInput(screen, static_cast<int>(button), down));
}

void InputKey(UINT virtualKey, UINT scanCode, bool extended, bool down, int character) {
  internal::queueHardware(internal::keyInput(virtualKey, scanCode, extended, down, character));
}

void InputLockState(bool capsLock, bool numLock) { internal::setLockState(capsLock, numLock); }

void InputActivated(HWND surface) {
  // Null: another program took the activation.
  if (!surface || findWindow(surface)) internal::activate(surface, false);
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
  // A move alone keeps the size (no WM_SIZE, no repaint), and the other way.
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (size.cx == w->rect.right - w->rect.left && size.cy == w->rect.bottom - w->rect.top) flags |= SWP_NOSIZE;
  if (outer.left == w->rect.left && outer.top == w->rect.top) flags |= SWP_NOMOVE;
  SetWindowPos(surface, nullptr, outer.left, outer.top, size.cx, size.cy, flags);
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
