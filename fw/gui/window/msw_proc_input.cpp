// The window procedure's input: pointer motion with enter and leave,
// presses with click counting, grabs and the modal rules, forwarding of
// presses that closed a modal window, and keys with their characters.
#include <cstdlib>

#include "fw/core/sys.h"
#include "fw/gui/window/msw_proc_internal.h"

namespace {

vwindowMSWProcState& P() { return _vwindowMSWProc(); }

int low16(win::LPARAM v) { return static_cast<std::int16_t>(v & 0xFFFF); }
int high16(win::LPARAM v) { return static_cast<std::int16_t>((v >> 16) & 0xFFFF); }
win::LPARAM pointParam(int x, int y) {
  return static_cast<win::LPARAM>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) | static_cast<std::uint32_t>(x & 0xFFFF));
}
constexpr win::WPARAM kAnyButton = win::MK_LBUTTON | win::MK_MBUTTON | win::MK_RBUTTON;

int flipped(vwindow* w, int y) { return w->rect.height - y - 1; }

// ---- Pointer motion ---------------------------------------------------------------------

bool spurious(win::POINT screen, win::WPARAM flags) {
  vwindowMSWProcState& p = P();
  if (screen.x == p.ncPoint.x && screen.y == p.ncPoint.y) return true;
  return p.ncCountdown > 0 && (flags & kAnyButton) && std::abs(screen.x - p.ncPoint.x) <= p.halfClickWidth &&
         std::abs(screen.y - p.ncPoint.y) <= p.halfClickHeight;
}

// Leave to the window the pointer was over, enter to the new one.
void crossing(vwindow* w, win::POINT screen, int x, int y, std::uint32_t mods, int held) {
  vwindowMSWProcState& p = P();
  win::HWND under = win::WindowFromPoint(screen);
  if (under == p.pointerHwnd) return;
  vwindow* old = p.pointerWindow;
  vwindow* now = _vwindowMSWLookup(under);
  p.pointerHwnd = under;
  p.pointerWindow = now;
  if (old && vwindowIsOpen(old)) veventDispatch(veventCreateLeave(old, x, flipped(w, y), mods, held, p.clickCount));
  if (now) veventDispatch(veventCreateEnter(now, x, flipped(w, y), mods, held, p.clickCount));
}

bool moreDragWaiting(win::HWND hwnd) {
  win::MSG m;
  return win::PeekMessageA(&m, hwnd, win::WM_MOUSEMOVE, win::WM_MOUSEMOVE, win::PM_NOREMOVE) &&
         (m.wParam & kAnyButton);
}

// ---- Presses ------------------------------------------------------------------------------

int buttonNumber(win::UINT message) {
  switch (message) {
    case win::WM_MBUTTONDOWN:
    case win::WM_MBUTTONUP: return 1;
    case win::WM_RBUTTONDOWN:
    case win::WM_RBUTTONUP: return 2;
    default: return 0;
  }
}

constexpr std::uint32_t kButtonBits[] = {16, 32, 64};

// Same window, within the interval and half the double-click size: one
// more click, never past what the event's 8-bit field holds.
int countClick(win::HWND hwnd, int x, int y, win::DWORD time) {
  vwindowMSWProcState& p = P();
  auto interval = static_cast<win::DWORD>(veventGetDoubleClickInterval() / 1000000);
  bool again = p.clickCount > 0 && hwnd == p.clickHwnd && static_cast<win::DWORD>(time - p.clickTime) <= interval &&
               std::abs(x - p.clickX) <= p.halfClickWidth && std::abs(y - p.clickY) <= p.halfClickHeight;
  if (again) {
    if (p.clickCount < 255) ++p.clickCount;
  } else {
    p.clickCount = 1;
    p.clickHwnd = hwnd;
    p.clickX = x;
    p.clickY = y;
  }
  p.clickTime = time;
  return p.clickCount;
}

win::LRESULT press(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  vwindowMSWProcState& p = P();
  int x = low16(lParam), y = high16(lParam);
  int held = 0;
  std::uint32_t mods = vwindowMSWButtonModifiers(message, wParam, nullptr, &held);
  win::POINT screen{x, y};
  win::ClientToScreen(hwnd, &screen);
  vwindow* modal = vwindowMSWGetCurrentModal();
  win::HWND under = nullptr;
  bool outside = false;
  if (modal) {
    under = win::WindowFromPoint(screen);
    vwindow* uw = _vwindowMSWLookup(under);
    outside = under != hwnd && uw != w && (!uw || (uw->flags & vwindowACCEPTS_FOCUS));
  }
  if (!outside && held == 0) {
    if (p.buttonGrab && p.buttonGrab != w) vwindowMSWButtonRelease(p.buttonGrab);
    vwindowMSWButtonGrab(w);
    p.buttonGrab = w;
    p.buttonGrabHwnd = hwnd;
  }
  int button = buttonNumber(message);
  int clicks = countClick(hwnd, x, y, static_cast<win::DWORD>(win::GetMessageTime()));
  veventDispatch(veventCreateButtonDown(w, x, flipped(w, y), mods | kButtonBits[button], held + 1, clicks, button));
  if (!outside) return _vwindowMSWDefault(hwnd, message, wParam, lParam);
  if (vwindowMSWGetCurrentModal() != modal && under) _vwindowMSWForwardClick(message, wParam, screen, under);
  return 0;
}

win::LRESULT release(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  vwindowMSWProcState& p = P();
  if (p.forwardedClick) {
    p.forwardedClick = false;
    if (_vwindowMSWOldSystem()) win::PostMessageA(hwnd, message, wParam, lParam);
    return 0;
  }
  int held = 0;
  std::uint32_t mods = vwindowMSWButtonModifiers(message, wParam, nullptr, &held);
  int button = buttonNumber(message);
  if (button == 0) p.ncCountdown = 0;
  if (held == 0 && p.buttonGrab) {
    vwindow* g = p.buttonGrab;
    p.buttonGrab = nullptr;
    p.buttonGrabHwnd = nullptr;
    vwindowMSWButtonRelease(g);
  }
  int x = low16(lParam), y = high16(lParam);
  // The release of a press the modal window refused ends nothing there.
  if (!vwindowMSWBlockedBy(w)) veventDispatch(veventCreateButtonUp(w, x, flipped(w, y), mods, held, p.clickCount, button));
  return _vwindowMSWDefault(hwnd, message, wParam, lParam);
}

// ---- Keys -----------------------------------------------------------------------------------

std::uint8_t keyByte(win::LPARAM lParam) {
  std::uint8_t b = 0;
  if (lParam & (1 << 29)) b |= 32;
  if (win::GetKeyState(static_cast<int>(win::VK_CAPITAL)) & 1) b |= 64;
  if (win::GetKeyState(static_cast<int>(win::VK_SHIFT)) < 0) b |= 16;
  if (win::GetKeyState(static_cast<int>(win::VK_CONTROL)) < 0) b |= 8;
  return b;
}

// The modifiers as of the previous key message; then this one's are kept.
std::uint32_t takeModifiers(win::LPARAM lParam) {
  vwindowMSWProcState& p = P();
  std::uint32_t mods = vwindowMSWKeyModifiers(p.keyByte, lParam);
  p.keyByte = keyByte(lParam);
  return mods;
}

void pointerIn(vwindow* w, win::HWND hwnd, int* x, int* y) {
  win::DWORD pos = win::GetMessagePos();
  win::POINT pt{static_cast<std::int16_t>(pos & 0xFFFF), static_cast<std::int16_t>(pos >> 16)};
  win::ScreenToClient(hwnd, &pt);
  *x = static_cast<std::int16_t>(pt.x);
  *y = static_cast<std::int16_t>(flipped(w, pt.y));
}

int scanOf(win::LPARAM lParam) { return static_cast<int>((lParam >> 16) & 0xFF); }

int toFramework(win::WPARAM c) { return static_cast<int>(c & 0xFF); }

win::LRESULT keyDown(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  vwindowMSWProcState& p = P();
  std::uint32_t mods = takeModifiers(lParam);
  auto vk = static_cast<win::UINT>(wParam);
  if (message == win::WM_SYSKEYDOWN && vk == win::VK_TAB) mods &= ~veventMOD_ALT;
  std::uint32_t key = vwindowMSWKeyCode(vk, (lParam >> 24) & 1);
  if (key >= 'A' && key <= 'Z' && !(mods & veventMOD_SHIFT)) key += 'a' - 'A';
  win::MSG m;
  bool waiting = win::PeekMessageA(&m, hwnd, win::WM_CHAR, win::WM_SYSDEADCHAR, win::PM_NOREMOVE) && m.lParam == lParam;
  int character = waiting ? toFramework(m.wParam) : 0;
  if (key == 0) {
    win::UINT c = (mods & veventMOD_CONTROL) ? win::MapVirtualKeyA(vk, win::MAPVK_VK_TO_CHAR) : 0;
    key = static_cast<std::uint32_t>(c ? toFramework(c) : character);
  }
  int x, y;
  pointerIn(w, hwnd, &x, &y);
  int shown = waiting && m.message == win::WM_CHAR ? character : 0;
  vwindowMSWProcState::Scan& s = p.scans[scanOf(lParam)];
  s = {static_cast<std::uint8_t>(character), waiting, static_cast<std::uint16_t>(key), 0};
  int handled = veventDispatch(veventCreateKeyDown(w, x, y, vk, mods, key, shown));
  if (message == win::WM_SYSKEYDOWN && vk == win::VK_F6 && (w->flags & vwindowMODAL)) handled = 1;
  p.scans[scanOf(lParam)].result = handled;
  return handled ? 0 : _vwindowMSWDefault(hwnd, message, wParam, lParam);
}

win::LRESULT keyUp(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  std::uint32_t mods = takeModifiers(lParam);
  vwindowMSWProcState::Scan& s = P().scans[scanOf(lParam)];
  std::uint32_t key = s.key;
  int character = s.character;
  s = {};
  int x, y;
  pointerIn(w, hwnd, &x, &y);
  int handled = veventDispatch(veventCreateKeyUp(w, x, y, static_cast<std::uint32_t>(wParam), mods, key, character));
  return handled ? 0 : _vwindowMSWDefault(hwnd, message, wParam, lParam);
}

}  // namespace

win::LRESULT _vwindowMSWMouseMove(vwindow* w, win::HWND hwnd, win::WPARAM wParam, win::LPARAM lParam) {
  vwindowMSWProcState& p = P();
  int x = low16(lParam), y = high16(lParam);
  win::POINT screen{x, y};
  win::ClientToScreen(hwnd, &screen);
  if (spurious(screen, wParam)) {
    if (p.ncCountdown > 0) --p.ncCountdown;
    return _vwindowMSWDefault(hwnd, win::WM_MOUSEMOVE, wParam, lParam);
  }
  p.ncCountdown = 0;
  p.ncPoint = screen;
  int kind;
  if (!(wParam & kAnyButton)) {
    if (!(w->flags & vwindowWANTS_MOTION)) return _vwindowMSWDefault(hwnd, win::WM_MOUSEMOVE, wParam, lParam);
    kind = veventPOINTER_MOTION;
  } else {
    kind = moreDragWaiting(hwnd) ? veventPOINTER_DRAG : veventPOINTER_DRAG_LAST;
  }
  int held = 0;
  std::uint32_t mods = vwindowMSWButtonModifiers(win::WM_MOUSEMOVE, wParam, nullptr, &held);
  crossing(w, screen, x, y, mods, held);
  veventDispatch(veventCreatePointerMotion(kind, w, x, flipped(w, y), mods, held, p.clickCount));
  return _vwindowMSWDefault(hwnd, win::WM_MOUSEMOVE, wParam, lParam);
}

win::LRESULT _vwindowMSWButton(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  bool down = message == win::WM_LBUTTONDOWN || message == win::WM_MBUTTONDOWN || message == win::WM_RBUTTONDOWN;
  return down ? press(w, hwnd, message, wParam, lParam) : release(w, hwnd, message, wParam, lParam);
}

win::LRESULT _vwindowMSWMouseActivate(vwindow* w, win::HWND hwnd, win::WPARAM wParam, win::LPARAM lParam) {
  if (vwindow* modal = vwindowMSWBlockedBy(w)) {
    _vwindowMSWTurnToModal(modal, false);
    return win::MA_NOACTIVATEANDEAT;
  }
  if (!(w->flags & vwindowACCEPTS_FOCUS)) return win::MA_NOACTIVATE;
  return _vwindowMSWDefault(hwnd, win::WM_MOUSEACTIVATE, wParam, lParam);
}

// The answer to input refused by the modal window: the modal window is
// made active; the beep comes when it already was (or for the root, or
// always when asked).
void _vwindowMSWTurnToModal(vwindow* modal, bool beep) {
  win::HWND modalHwnd = modal != vwindowGetRoot() && modal->native ? modal->native->hwnd : nullptr;
  if (modalHwnd && win::GetActiveWindow() != modalHwnd)
    win::SetActiveWindow(modalHwnd);
  else
    beep = true;
  if (beep) vwindowBeep();
}

namespace {
win::HWND topLevelOf(win::HWND h) {
  while (h && (win::GetWindowLongPtrA(h, win::GWL_STYLE) & win::WS_CHILD)) h = win::GetParent(h);
  return h;
}
}  // namespace

// A window manager activates whatever the user clicks or picks; only the
// modal window may then keep the keyboard. A modal window being opened is
// active before it goes on the stack.
bool _vwindowMSWKeepModalActive(vwindow* w, win::HWND hwnd) {
  vwindow* modal = vwindowMSWBlockedBy(w);
  if (!modal || modal == vwindowGetRoot() || !modal->native) return false;
  win::HWND target = topLevelOf(modal->native->hwnd);
  if (!target || target == topLevelOf(hwnd) || !win::IsWindowVisible(target) || win::IsIconic(target)) return false;
  win::SetActiveWindow(target);
  return true;
}

void _vwindowMSWForwardClick(win::UINT message, win::WPARAM wParam, win::POINT screen, win::HWND target) {
  vwindowMSWProcState& p = P();
  vwindow* tw = _vwindowMSWLookup(target);
  if (!tw && !_vwindowMSWOldSystem()) return;
  // Delivered again, the press meets the check it would have met first
  // time: the framework window it lands in (or the one holding the
  // platform's window it lands in) may be one the modal window blocks.
  for (win::HWND h = target; h; h = win::GetParent(h))
    if (vwindow* holder = _vwindowMSWLookup(h)) {
          if (vwindow* blocking = vwindowMSWBlockedBy(holder)) return _vwindowMSWTurnToModal(blocking, false);
      break;
    }
  auto hit = win::SendMessageA(target, win::WM_NCHITTEST, 0, pointParam(screen.x, screen.y));
  vwindow* modal = vwindowMSWGetCurrentModal();
  if ((hit != win::HTCLIENT || !tw) && modal && modal->native) {
    if (modal->native->flags & vwindowMSW_GRAB) return;
    target = modal->native->hwnd;
    tw = modal;
    hit = win::HTCLIENT;
  }
  win::LPARAM lParam;
  if (hit != win::HTCLIENT) {
    message = message - win::WM_LBUTTONDOWN + win::WM_NCLBUTTONDOWN;
    wParam = static_cast<win::WPARAM>(hit);
    lParam = pointParam(screen.x, screen.y);
  } else {
    win::POINT c = screen;
    win::ScreenToClient(target, &c);
    lParam = pointParam(c.x, c.y);
  }
  if (tw && tw->native && tw->native->nativeKind == vwindowMSW_KIND_DOCUMENT)
    win::SendMessageA(win::GetParent(target), win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(target), 0);
  else
    win::SetActiveWindow(target);
  if (hit == win::HTCLIENT && tw && !vwindowMSWGetCurrentModal()) {
    win::SendMessageA(target, message, wParam, lParam);
    veventProcessPending(1, p.buttonPriority);
    return;
  }
  win::PostMessageA(target, message, wParam, lParam);
  win::PostMessageA(vsysGetTaskWindow(), win::WM_USER + 3, 0, 0);
  p.forwardedClick = true;
}

win::LRESULT _vwindowMSWKey(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  if (message == win::WM_KEYDOWN || message == win::WM_SYSKEYDOWN) return keyDown(w, hwnd, message, wParam, lParam);
  return keyUp(w, hwnd, message, wParam, lParam);
}

win::LRESULT _vwindowMSWChar(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  vwindowMSWProcState::Scan& s = P().scans[scanOf(lParam)];
  if (s.hasCharacter) return s.result ? 0 : _vwindowMSWDefault(hwnd, message, wParam, lParam);
  int character = toFramework(wParam);
  std::uint32_t key = character < 32 ? vwindowMSWKeyCode(static_cast<win::UINT>(character), false)
                                     : static_cast<std::uint32_t>(character);
  int x, y;
  pointerIn(w, hwnd, &x, &y);
  int shown = message == win::WM_CHAR ? character : 0;
  int handled = veventDispatch(veventCreateKeyDown(w, x, y, 0, vwindowMSWKeyModifiers(P().keyByte, lParam), key, shown));
  return handled ? 0 : _vwindowMSWDefault(hwnd, message, wParam, lParam);
}
