// The hardware input queue: records of what the user did, routed to a
// window only when the queue is read, and the test API that feeds it.
//
// Input (`platform/user/input.cpp`, `mouse.cpp`, `keyboard.cpp`): the back-end and the test API
// (`MouseMove`, `MouseDown`, `MouseUp`, `Click`, `KeyDown`, `KeyUp`, `Type`) queue hardware
// records, which become messages only when the queue reads them, so the capture, focus and
// activation of that moment decide where they go (a drag queued whole follows the capture its press
// took). A pointer record goes to the capture window in client coordinates, else to
// `WindowFromPoint` after `WM_NCHITTEST` (a client hit gives the client message with the `MK_`
// state after the event, any other hit the `WM_NC*` form with the screen point and the hit code);
// without capture `WM_SETCURSOR` comes before it, and a press in an inactive window, or in the
// client area of a multiple-document client's inactive document (its frame and icon answer their
// own presses), first sends `WM_MOUSEACTIVATE`, whose eat answers drop the press (not its release).
// A queued move that nothing follows takes a new move with the same buttons (`SetMouseCoalescing`
// turns this off). Key records go to the focus window, else to the active one as `WM_SYS*`; their
// lParam carries the US set-1 scan code (`MapVirtualKeyA`), the extended, Alt, previous-state and
// transition bits, and with NumLock the keypad's navigation keys become `VK_NUMPAD0`-`9` and
// `VK_DECIMAL`. Key and button states change twice: as reported (for the next record's bits) and as
// the record is taken (`GetKeyState` answers that state, as of the message last taken).
// `TranslateMessage` posts `WM_CHAR`/`WM_SYSCHAR` with the key's lParam before it returns: the
// back-end's character, else the US layout's with Shift, Caps Lock and Ctrl; `VkKeyScanA` inverts
// that table.
#include <list>

#include "platform/backend/input.h"
#include "platform/user/internal.h"
#include "platform/win/test.h"

namespace win {
namespace internal {
namespace {

struct HardwareQueue {
  // A list: routing sends messages, whose procedures may read the queue
  // again; the record being routed must stay where it is meanwhile.
  std::list<HardwareInput> records;
  bool coalesce = true;
};

HardwareQueue& hq() {
  static HardwareQueue queue;
  return queue;
}

bool overlaps(UINT first, UINT last, UINT lo, UINT hi) { return (lo == 0 && hi == 0) || (first <= hi && lo <= last); }

// Whether the record's message could pass the range, before it is routed:
// a record is only routed when it might be wanted.
bool mightMatch(const HardwareInput& r, UINT lo, UINT hi) {
  switch (r.kind) {
    case HardwareInput::Kind::key: return overlaps(WM_KEYDOWN, WM_SYSKEYUP, lo, hi);
    case HardwareInput::Kind::message:
    case HardwareInput::Kind::composition: return overlaps(r.msg.message, r.msg.message, lo, hi);
    default: return overlaps(WM_NCMOUSEMOVE, WM_NCMBUTTONUP, lo, hi) || overlaps(WM_MOUSEMOVE, WM_MBUTTONUP, lo, hi);
  }
}

void route(HardwareInput& r) {
  r.routing = true;
  if (r.kind == HardwareInput::Kind::key)
    routeKey(r);
  else if (r.kind == HardwareInput::Kind::composition)
    routeComposition(r);
  else
    routePointer(r);
  r.routing = false;
  r.routed = true;
}

// Dropped records before `end` leave the queue, their changes in order.
void settleDropped(std::list<HardwareInput>::iterator end) {
  auto& list = hq().records;
  for (auto it = list.begin(); it != end;) {
    if (it->dropped && !it->routing) {
      inputTaken(*it);
      it = list.erase(it);
    } else {
      ++it;
    }
  }
}

// Dropped records at the head leave the queue.
void settleHead() {
  auto& list = hq().records;
  while (!list.empty() && list.front().dropped && !list.front().routing) {
    inputTaken(list.front());
    list.pop_front();
  }
}

}  // namespace

void queueHardware(const HardwareInput& in) {
  auto& list = hq().records;
  // A move replaces a queued move with the same buttons that nothing
  // follows and that has not been routed yet.
  if (in.kind == HardwareInput::Kind::move && hq().coalesce && !list.empty()) {
    HardwareInput& last = list.back();
    if (last.kind == HardwareInput::Kind::move && !last.routed && !last.routing && last.buttons == in.buttons) {
      last.pt = in.pt;
      last.time = in.time;
      noteArrival();
      return;
    }
  }
  list.push_back(in);
  noteArrival();
}

void queueInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  HardwareInput r;
  r.kind = HardwareInput::Kind::message;
  r.routed = true;
  r.msg = {hwnd, message, wParam, lParam, GetTickCount(), pointerPosition()};
  r.pt = r.msg.pt;
  r.time = r.msg.time;
  queueHardware(r);
}

bool takeInput(MSG* out, HWND filter, UINT lo, UINT hi, bool remove) {
  auto& list = hq().records;
  settleHead();
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->routing || it->dropped) continue;
    if (!it->routed) {
      if (!mightMatch(*it, lo, hi)) continue;
      route(*it);
      if (it->dropped) continue;
    }
    if (it->msg.hwnd && !findWindow(it->msg.hwnd)) {
      it->dropped = true;
      continue;
    }
    if (!messageMatches(it->msg.hwnd, it->msg.message, filter, lo, hi)) continue;
    *out = it->msg;
    if (remove) {
      settleDropped(it);
      inputTaken(*it);
      list.erase(it);
    }
    return true;
  }
  settleHead();
  return false;
}

void replayPress(const MSG& press) {
  HardwareInput r;
  r.kind = HardwareInput::Kind::button;
  r.pt = press.pt;
  r.time = press.time;
  r.down = true;
  bool right = press.message == WM_RBUTTONDOWN || press.message == WM_NCRBUTTONDOWN;
  r.vk = right ? VK_RBUTTON : VK_LBUTTON;
  r.buttons = right ? MK_RBUTTON : MK_LBUTTON;
  if (GetKeyState(VK_SHIFT) < 0) r.buttons |= MK_SHIFT;
  if (GetKeyState(VK_CONTROL) < 0) r.buttons |= MK_CONTROL;
  auto& list = hq().records;
  auto at = list.begin();
  while (at != list.end() && at->routing) ++at;  // a record being routed stays where it is
  list.insert(at, r);
  noteArrival();
}

}  // namespace internal

namespace test {
namespace {

void moveTo(POINT screen) {
  POINT& at = internal::pointerPosition();
  if (at.x != screen.x || at.y != screen.y) backend::InputPointerMoved(screen);
}

}  // namespace

// A pointer reaches a press or release by moving there first, as a real
// one does.
void MouseMove(POINT screen) { backend::InputPointerMoved(screen); }

void MouseDown(POINT screen, backend::Button button) {
  moveTo(screen);
  backend::InputButton(screen, button, true);
}

void MouseUp(POINT screen, backend::Button button) {
  moveTo(screen);
  backend::InputButton(screen, button, false);
}

void Click(POINT screen, backend::Button button) {
  MouseDown(screen, button);
  MouseUp(screen, button);
}

void KeyDown(UINT virtualKey, bool extended) {
  backend::InputKey(virtualKey, MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC), extended, true, -1);
}

void KeyUp(UINT virtualKey, bool extended) {
  backend::InputKey(virtualKey, MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC), extended, false, -1);
}

void Type(const std::string& text) {
  constexpr struct {
    int bit;
    UINT vk;
  } kShifts[] = {{1, VK_SHIFT}, {2, VK_CONTROL}, {4, VK_MENU}};
  for (char c : text) {
    SHORT scan = c == '\n' ? static_cast<SHORT>(VK_RETURN) : VkKeyScanA(c);
    if (scan == -1) continue;  // no key of the layout types it
    auto vk = static_cast<UINT>(scan & 0xFF);
    int shifts = scan >> 8 & 7;
    std::vector<UINT> held;
    for (const auto& s : kShifts)
      if ((shifts & s.bit) && !(internal::reportedKeys()[s.vk] & 0x80)) {
        KeyDown(s.vk);
        held.push_back(s.vk);
      }
    KeyDown(vk);
    KeyUp(vk);
    for (auto it = held.rbegin(); it != held.rend(); ++it) KeyUp(*it);
  }
}

void SetMouseCoalescing(bool on) { internal::hq().coalesce = on; }

void ResetInput() {
  internal::hq() = {};
  internal::resetKeys();
  internal::resetIme();
}

}  // namespace test
}  // namespace win
