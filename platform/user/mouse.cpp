// The pointer: routing of pointer records to the capture window or the
// window under the pointer, click activation, the cursor messages and the
// default hit test.
#include "platform/user/internal.h"

namespace win::internal {
namespace {

// The messages of one pointer action in the client area and elsewhere.
struct PointerMessages {
  UINT vk;
  WPARAM bit;
  UINT down, up, ncDown, ncUp;
};
constexpr PointerMessages kButtons[] = {
    {VK_LBUTTON, MK_LBUTTON, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_NCLBUTTONDOWN, WM_NCLBUTTONUP},
    {VK_MBUTTON, MK_MBUTTON, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_NCMBUTTONDOWN, WM_NCMBUTTONUP},
    {VK_RBUTTON, MK_RBUTTON, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_NCRBUTTONDOWN, WM_NCRBUTTONUP},
};

const PointerMessages* buttonOf(UINT vk) {
  for (const PointerMessages& b : kButtons)
    if (b.vk == vk) return &b;
  return nullptr;
}

UINT messageOf(const HardwareInput& in, bool client) {
  const PointerMessages* b = buttonOf(in.vk);
  if (in.kind == HardwareInput::Kind::move || !b) return client ? WM_MOUSEMOVE : WM_NCMOUSEMOVE;
  if (client) return in.down ? b->down : b->up;
  return in.down ? b->ncDown : b->ncUp;
}

// The MK_ state of the reported keys and buttons.
WPARAM reportedButtons() {
  const KeyStates& keys = reportedKeys();
  WPARAM state = 0;
  for (const PointerMessages& b : kButtons)
    if (keys[b.vk] & 0x80) state |= b.bit;
  if (keys[VK_SHIFT] & 0x80) state |= MK_SHIFT;
  if (keys[VK_CONTROL] & 0x80) state |= MK_CONTROL;
  return state;
}

LPARAM packPoint(LONG x, LONG y) { return MAKELPARAM(static_cast<int>(x), static_cast<int>(y)); }

// Whether the window lies in a document of a multiple-document client
// that is not the client's active document.
bool inInactiveDocument(HWND hwnd) {
  for (Window* w = findWindow(hwnd); w != nullptr; w = w->parent ? findWindow(w->parent) : nullptr)
    if (HWND client = mdiClientOf(w->handle)) return mdiActiveChild(client) != w->handle;
  return false;
}

}  // namespace

HardwareInput pointerInput(POINT screen, int button, bool isDown) {
  pointerPosition() = screen;
  HardwareInput r;
  r.pt = screen;
  r.time = GetTickCount();
  if (button >= 0 && button < static_cast<int>(std::size(kButtons))) {
    r.kind = HardwareInput::Kind::button;
    r.vk = kButtons[button].vk;
    r.down = isDown;
    applyKey(reportedKeys(), r.vk, 0, false, isDown);
  }
  r.buttons = reportedButtons();
  return r;
}

void routePointer(HardwareInput& in) {
  HWND captured = captureWindow();
  HWND target = captured;
  LRESULT hit = HTCLIENT;
  if (!target) {
    target = windowFromPoint(in.pt);
    if (target) hit = SendMessageA(target, WM_NCHITTEST, 0, packPoint(in.pt.x, in.pt.y));
  }
  if (!target || !findWindow(target)) {
    in.dropped = true;
    return;
  }
  bool client = hit == HTCLIENT;
  UINT message = messageOf(in, client);
  LPARAM hitAndMessage = MAKELPARAM(static_cast<int>(hit), static_cast<int>(message));
  bool eaten = false;
  // A press in an inactive window, or in the client area of a document
  // that is not its client's active one (the document's frame and icon
  // answer their presses themselves), asks it whether it activates and
  // whether the press is eaten; its release is delivered either way.
  if (!captured && in.kind == HardwareInput::Kind::button && in.down) {
    HWND root = rootOf(target);
    const bool rootInactive = root != activeWindow();
    if (rootInactive || (client && inInactiveDocument(target))) {
      LRESULT answer = SendMessageA(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(root), hitAndMessage);
      if (answer != MA_NOACTIVATE && answer != MA_NOACTIVATEANDEAT && findWindow(root) && rootInactive)
        activate(root, true);
      eaten = answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT;
    }
  }
  if (!captured && findWindow(target))
    SendMessageA(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), hitAndMessage);
  Window* w = findWindow(target);
  if (eaten || !w) {
    in.dropped = true;
    return;
  }
  if (client) {
    // Client coordinates, negative beside a capture window.
    POINT origin = clientOriginOnScreen(*w);
    in.msg = {target, message, in.buttons, packPoint(in.pt.x - origin.x, in.pt.y - origin.y), in.time, in.pt};
  } else {
    in.msg = {target, message, static_cast<WPARAM>(hit), packPoint(in.pt.x, in.pt.y), in.time, in.pt};
  }
}

LRESULT defaultHitTest(const Window& w, POINT screen) {
  POINT origin = clientOriginOnScreen(w);
  POINT p{screen.x - origin.x, screen.y - origin.y};
  // (The menu line answers for itself before this.)
  if (p.x >= 0 && p.y >= 0 && p.x < w.client.right - w.client.left && p.y < w.client.bottom - w.client.top)
    return HTCLIENT;
  // The window's outer rectangle on the screen.
  RECT outer{origin.x - w.client.left, origin.y - w.client.top, 0, 0};
  outer.right = outer.left + (w.rect.right - w.rect.left);
  outer.bottom = outer.top + (w.rect.bottom - w.rect.top);
  if (screen.x < outer.left || screen.y < outer.top || screen.x >= outer.right || screen.y >= outer.bottom)
    return HTNOWHERE;
  return HTBORDER;
}

LRESULT defaultSetCursor(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  Window* w = findWindow(hwnd);
  if (!w) return 0;
  // The parent may choose for its children.
  if (HWND parent = w->parent; parent && SendMessageA(parent, WM_SETCURSOR, wParam, lParam)) return 1;
  // Asked on behalf of a child: the child chooses.
  if (reinterpret_cast<HWND>(wParam) != hwnd || !(w = findWindow(hwnd))) return 0;
  if (static_cast<SHORT>(LOWORD(static_cast<std::uintptr_t>(lParam))) == HTCLIENT) {
    HCURSOR cursor = w->windowClass->wc.hCursor;
    if (!cursor) return 0;
    SetCursor(cursor);
    return 1;
  }
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  return 1;
}

}  // namespace win::internal
