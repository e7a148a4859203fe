// Show states: hidden, shown, minimized and maximized, and restoring.
//
// The window-manager core (`platform/user/`): `show.cpp` keeps the show states (`ShowWindow` sends
// `WM_SHOWWINDOW` when the visibility changes, then the position messages; minimize, maximize and
// restore always carry a size so that `WM_SIZE` tells the new state, and `IsIconic`/`IsZoomed`
// already answer it inside; a minimized window keeps its geometry and its surface shows minimized).
// `position.cpp` moves and sizes through `WM_WINDOWPOSCHANGING` (whose changes are used),
// `WM_NCCALCSIZE` on a size or frame change (the answer decides what the resize damages:
// `WVR_REDRAW` the whole client area, `WVR_VALIDRECTS` all but the valid rectangle, 0 what the old
// client area did not cover) and `WM_WINDOWPOSCHANGED`, whose default sends `WM_MOVE` and
// `WM_SIZE`; the non-client layout is one function (`nonClientInsets`: no frame, one menu row when
// asked) that the default `WM_NCCALCSIZE` and `AdjustWindowRectEx` share; the default
// `WM_NCCALCSIZE` adds the menu line as laid out for the new width. Children are kept in z-order
// under their parent, top-level windows in one order with owned windows above their owners.
// `activation.cpp` holds the active window, the focus and the capture: activating sends
// `WM_NCACTIVATE` and `WM_ACTIVATE` to the old window and then the new one (`WM_ACTIVATEAPP` to
// every top-level window when the program gains or loses activation), and the default `WM_ACTIVATE`
// gives the window the focus; `WM_KILLFOCUS` goes before `WM_SETFOCUS`. Hiding, minimizing or
// destroying the active window activates its owner, else the topmost window that can be active.
// `paint.cpp` keeps each window's update region (client coordinates) and erase flag and makes
// `WM_PAINT` lazily, after posted and input messages and before timers, one window at a time, the
// topmost top-level window first and parents before their children; `BeginPaint` validates the
// region, sends `WM_ERASEBKGND` (with the paint DC clipped to it) when the erase flag was set, and
// clips the DC to it until `EndPaint`, which presents the dirty part of the buffer. A child that
// moves or hides invalidates, with erase, the part of its parent it leaves; an exposure reported by
// the back-end invalidates with erase every window under it. `sysinfo.cpp` answers the fixed system
// metrics, colours and fonts; `icons.cpp` keeps icons and cursors (an AND mask and a colour image,
// or a double-height monochrome mask; `DrawIcon` ANDs, then XORs) with the built-in arrow,
// hourglass and application icon drawn from small pictures, and the cursor in use. Every step of
// these sequences looks its window up again after each send, so a procedure that destroys its
// window at any point ends the sequence cleanly.
#include "platform/user/internal.h"

namespace win {
namespace {

using internal::findWindow;
using internal::Window;

// WM_SHOWWINDOW when the visibility changes; the caller goes on with the
// position messages. False when the window died meanwhile.
bool announceVisibility(HWND hwnd, bool show) {
  Window* w = findWindow(hwnd);
  if (!w) return false;
  if (((w->style & WS_VISIBLE) != 0) == show) return true;
  SendMessageA(hwnd, WM_SHOWWINDOW, show ? 1 : 0, 0);
  return findWindow(hwnd) != nullptr;
}

// A state change keeps or sets the geometry, and always carries a size so
// that the default processing sends WM_SIZE with the new state.
BOOL changeState(HWND hwnd, const RECT& rect, bool activateIt) {
  UINT flags = SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW | (activateIt ? 0 : SWP_NOACTIVATE);
  return internal::setWindowPos(hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                flags);
}

void minimize(HWND hwnd, bool show) {
  Window* w = findWindow(hwnd);
  if (w->minimized) return;
  internal::windowLeaving(hwnd, true);
  if (!(w = findWindow(hwnd))) return;
  if (show && !announceVisibility(hwnd, true)) return;
  w = findWindow(hwnd);
  w->restoreToMaximized = w->maximized;
  if (!w->maximized) w->normalRect = w->rect;
  w->minimized = true;
  w->maximized = false;
  // A document becomes an icon in its client's bottom row, titled beneath.
  bool document = internal::hasDocumentFrame(*w);
  if (!changeState(hwnd, document ? internal::mdiIconPlace(hwnd) : w->rect, false) || !document) return;
  if ((w = findWindow(hwnd))) {
    RECT title = internal::iconTitleRect(*w);
    InvalidateRect(w->parent, &title, 1);
    InvalidateRect(hwnd, nullptr, 1);  // none of the old picture is an icon
  }
}

void maximize(HWND hwnd, bool activateIt) {
  Window* w = findWindow(hwnd);
  if (w->maximized) return;
  MINMAXINFO mmi;
  if (!internal::askMinMax(hwnd, mmi) || !announceVisibility(hwnd, true)) return;
  w = findWindow(hwnd);
  if (!w->minimized) w->normalRect = w->rect;
  w->minimized = false;
  w->maximized = true;
  // The tracking sizes bound the maximized size too.
  SIZE size = internal::withinTracking(mmi, mmi.ptMaxSize.x, mmi.ptMaxSize.y);
  RECT r{mmi.ptMaxPosition.x, mmi.ptMaxPosition.y, mmi.ptMaxPosition.x + size.cx, mmi.ptMaxPosition.y + size.cy};
  changeState(hwnd, r, activateIt);
}

void restore(HWND hwnd, bool activateIt) {
  Window* w = findWindow(hwnd);
  if (w->minimized && w->restoreToMaximized) {
    maximize(hwnd, activateIt);  // keeps the rectangle it restores to
    return;
  }
  if (!w->minimized && !w->maximized) return;
  if (!announceVisibility(hwnd, true)) return;
  w = findWindow(hwnd);
  RECT r = w->maximized || w->minimized ? w->normalRect : w->rect;
  bool icon = w->minimized && internal::hasDocumentFrame(*w);
  if (icon) {
    RECT title = internal::iconTitleRect(*w);
    InvalidateRect(w->parent, &title, 1);
  }
  w->minimized = w->maximized = false;
  if (changeState(hwnd, r, activateIt) && icon) InvalidateRect(hwnd, nullptr, 1);
}

}  // namespace

BOOL ShowWindow(HWND hwnd, int command) {
  Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  BOOL was = (w->style & WS_VISIBLE) != 0;
  bool child = w->parent != nullptr;
  switch (command) {
    case SW_HIDE:
      if (!was) break;
      internal::windowLeaving(hwnd, true);
      if (!findWindow(hwnd) || !announceVisibility(hwnd, false)) break;
      internal::setWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                             SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      minimize(hwnd, true);
      break;
    case SW_MAXIMIZE:
      maximize(hwnd, !child);
      break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
      if (w->minimized || w->maximized) {
        restore(hwnd, !child);
        break;
      }
      [[fallthrough]];
    default: {  // SW_SHOW, SW_SHOWNOACTIVATE, SW_SHOWNA
      bool activateIt = !child && command != SW_SHOWNOACTIVATE && command != SW_SHOWNA;
      if (!was) {
        if (!announceVisibility(hwnd, true)) break;
        internal::setWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                               SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE |
                                   (activateIt ? 0 : SWP_NOACTIVATE | SWP_NOZORDER));
      } else if (activateIt) {
        internal::activate(hwnd, false);
      }
      break;
    }
  }
  return was;
}

BOOL IsIconic(HWND hwnd) {
  Window* w = findWindow(hwnd);
  return w && w->minimized;
}

BOOL IsZoomed(HWND hwnd) {
  Window* w = findWindow(hwnd);
  return w && w->maximized;
}

}  // namespace win
