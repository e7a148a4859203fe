// The native window operations the window class's slots call, each on the
// window's native handle.
#include <algorithm>

#include "fw/gui/window/application.h"
#include "fw/gui/window/msw_internal.h"

namespace {

win::HWND hwndOf(vwindow* w) { return w && w->native ? w->native->hwnd : nullptr; }

bool isBarePopup(vwindow* w) { return w->native->style == win::WS_POPUP; }

constexpr win::UINT kInPlace = win::SWP_NOSIZE | win::SWP_NOMOVE;

int showInactive = 0;

// A modal window blocks the others, and a notice framed as a dialog waits
// for its answer: either takes the keyboard however it was shown.
bool asksTheUser(vwindow* w) { return (w->flags & vwindowMODAL) || (w->decoration & vwindowDECO_MODAL_FRAME); }

}  // namespace

int vwindowMSWShowInactive(int on) {
  if (on >= 0) showInactive = std::max(0, showInactive + (on ? 1 : -1));
  return showInactive;
}

void vwindowMSWShow(vwindow* w) {
  win::HWND h = hwndOf(w);
  if (!h) return;
  if (isBarePopup(w)) {
    win::SetWindowPos(h, win::HWND_TOP, 0, 0, 0, 0, kInPlace | win::SWP_NOACTIVATE);
    win::ShowWindow(h, win::SW_SHOWNOACTIVATE);
  } else if (w->flags & vwindowICONIFIED) {
    win::ShowWindow(h, win::SW_SHOWMINNOACTIVE);
  } else if (w->flags & vwindowMAXIMIZED) {
    win::ShowWindow(h, win::SW_SHOWMAXIMIZED);
  } else if (showInactive > 0 && win::GetActiveWindow() != nullptr && !asksTheUser(w)) {
    // On top, so it is seen, but the active window keeps the keyboard.
    win::SetWindowPos(h, win::HWND_TOP, 0, 0, 0, 0, kInPlace | win::SWP_NOACTIVATE);
    win::ShowWindow(h, win::SW_SHOWNOACTIVATE);
  } else {
    win::SetWindowPos(h, win::HWND_TOP, 0, 0, 0, 0, kInPlace);
    win::ShowWindow(h, win::SW_SHOW);
    if (w->native->nativeKind == vwindowMSW_KIND_DOCUMENT) {
      win::SendMessageA(win::GetParent(h), win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(h), 0);
      win::SetFocus(h);
    }
  }
}

void vwindowMSWHide(vwindow* w) {
  if (win::HWND h = hwndOf(w); h && w != vwindowGetRoot()) win::ShowWindow(h, win::SW_HIDE);
}

void vwindowMSWIconify(vwindow* w) {
  if (win::HWND h = hwndOf(w)) win::ShowWindow(h, win::SW_MINIMIZE);
}
void vwindowMSWDeiconify(vwindow* w) {
  if (win::HWND h = hwndOf(w)) win::ShowWindow(h, win::SW_RESTORE);
}
void vwindowMSWMaximize(vwindow* w) {
  if (win::HWND h = hwndOf(w)) win::ShowWindow(h, win::SW_MAXIMIZE);
}
void vwindowMSWRestore(vwindow* w) {
  if (win::HWND h = hwndOf(w)) win::ShowWindow(h, win::SW_RESTORE);
}

void vwindowMSWRaise(vwindow* w) {
  win::HWND h = hwndOf(w);
  if (h && vwindowIsOpen(w) && !vwindowIsIconified(w))
    win::SetWindowPos(h, win::HWND_TOP, 0, 0, 0, 0, kInPlace | win::SWP_NOACTIVATE);
}

void vwindowMSWLower(vwindow* w) {
  win::HWND h = hwndOf(w);
  if (h && vwindowIsOpen(w) && !vwindowIsIconified(w))
    win::SetWindowPos(h, win::HWND_BOTTOM, 0, 0, 0, 0, kInPlace | win::SWP_NOACTIVATE);
}

void vwindowMSWMoveResize(vwindow* w) {
  win::HWND h = hwndOf(w);
  if (!h) return;
  int x, y, width, height;
  _vwindowMSWOuterRect(w, &x, &y, &width, &height);
  win::MoveWindow(h, x, y, width, height, 1);
}

void vwindowMSWAttributeChanged(vwindow* w, int kind) {
  win::HWND h = hwndOf(w);
  if (!h) return;
  vwindowMSWNative* n = w->native;
  if (kind & 1) win::SetWindowTextA(h, _vwindowMSWTitle(w).c_str());
  if (kind & 2) {
    _vwindowMSWChooseIconAndCursor(w);
    win::POINT p;
    if (win::GetCursorPos(&p) && win::ScreenToClient(h, &p)) vwindowMSWSetCursorAt(w, p.x, w->rect.height - p.y - 1);
  }
  if (kind & 4) {
    _vwindowMSWChooseIconAndCursor(w);
    win::SendMessageA(h, win::WM_SETICON, 1, reinterpret_cast<win::LPARAM>(n->bigIcon));
    if (vwindowIsIconified(w)) {
      win::InvalidateRect(h, nullptr, 1);
      win::UpdateWindow(h);
    }
  }
  if (kind & 8) {
    vapplication* app = w->application ? w->application : vapplicationGetCurrent();
    vwindowExtension* x = w->extension;
    vwindowMSWGetBackgroundBrush(x && x->background ? x->background : vapplicationDetermineColor(app, 2));
  }
}

void vwindowMSWSetFocus(vwindow* w, int on) {
  win::HWND h = hwndOf(w);
  if (on && h)
    win::SetFocus(h);
  else if (!on && (!h || win::GetFocus() == h))
    win::SetFocus(nullptr);
}

void vwindowMSWGetMinMax(vwindow* w, win::MINMAXINFO* info) {
  vwindowMSWNative* n = w->native;
  int dx = n ? n->insetLeft + n->insetRight : 0;
  int dy = n ? n->insetTop + n->insetBottom : 0;
  if (n && n->menuBar) dy += win::GetSystemMetrics(win::SM_CYMENU) + (_vwindowMSW().display.majorVersion < 4 ? 1 : 0);
  info->ptMinTrackSize = {w->minWidth + dx, w->minHeight + dy};
  info->ptMaxTrackSize = {w->maxWidth + dx, w->maxHeight + dy};
}
