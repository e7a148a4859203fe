// Default processing of a multiple-document frame and of its document
// windows, and the document keys of the message loop.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/user/menu.h"

namespace win {
namespace {

// The press before, on the caption or an icon of a document: a second
// one soon and near on the same document is a double click.
struct LastPress {
  HWND hwnd = nullptr;
  LONG time = 0;
  POINT pt{};
};
LastPress lastPress;

bool doubleClick(HWND hwnd, POINT pt) {
  LONG now = GetMessageTime();
  bool twice = lastPress.hwnd == hwnd &&
               static_cast<DWORD>(now - lastPress.time) <= GetDoubleClickTime() &&
               std::abs(pt.x - lastPress.pt.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
               std::abs(pt.y - lastPress.pt.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
  lastPress = twice ? LastPress{} : LastPress{hwnd, now, pt};
  return twice;
}

POINT pointOf(LPARAM lParam) {
  return {static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam))),
          static_cast<short>(HIWORD(static_cast<std::uintptr_t>(lParam)))};
}

// The document's system menu: under its system box, on its frame's menu
// line while maximized, under it while an icon.
void openSystemMenu(HWND hwnd) {
  internal::Window* w = internal::findWindow(hwnd);
  if (!w) return;
  RECT r{};
  GetWindowRect(hwnd, &r);
  POINT at{r.left, r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION)};
  if (w->maximized) {
    RECT frame{};
    GetWindowRect(GetParent(GetParent(hwnd)), &frame);
    at = {frame.left, frame.top + GetSystemMetrics(SM_CYMENU)};
  } else if (w->minimized) {
    at = {r.left, r.bottom};  // the release of the press that opened it is not on it
  }
  SendMessageA(hwnd, WM_SYSCOMMAND, SC_MOUSEMENU | static_cast<WPARAM>(HTSYSMENU), MAKELPARAM(at.x, at.y));
}

// A press on an icon: a double click restores it; one on the active icon
// opens its system menu, and a press that ends that menu soon again on
// the icon is the second of a double click.
void pressOnIcon(HWND hwnd, bool wasActive, POINT pt) {
  if (doubleClick(hwnd, pt)) {
    SendMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    return;
  }
  if (!wasActive) return;
  openSystemMenu(hwnd);
  if (!IsWindow(hwnd) || !IsIconic(hwnd) || GetKeyState(VK_LBUTTON) >= 0) return;
  DWORD pos = GetMessagePos();
  POINT again{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
  if (SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(again.x, again.y)) == HTCAPTION && doubleClick(hwnd, again))
    SendMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
}

}  // namespace

LRESULT DefFrameProcA(HWND hwnd, HWND client, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(client)) return DefWindowProcA(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_SIZE: {
      // The client covers the frame's client area (a subclass of the
      // client may put it elsewhere while it moves).
      RECT r{};
      GetClientRect(hwnd, &r);
      MoveWindow(client, 0, 0, r.right, r.bottom, 1);
      return 0;
    }
    case WM_SETTEXT: {
      std::string text = internal::mdiFrameText(hwnd, reinterpret_cast<const char*>(lParam));
      return DefWindowProcA(hwnd, message, wParam, reinterpret_cast<LPARAM>(text.c_str()));
    }
    case WM_SETFOCUS: {
      HWND active = internal::mdiActiveChild(client);
      SetFocus(active && !IsIconic(active) ? active : client);
      return 0;
    }
    case WM_COMMAND:
    case WM_SYSCOMMAND: {
      HWND active = internal::mdiActiveChild(client);
      WPARAM command = wParam & 0xFFF0;
      // Alt+minus: the active document's system menu.
      if (message == WM_SYSCOMMAND && command == SC_KEYMENU && lParam == '-') {
        if (active) SendMessageA(active, WM_SYSCOMMAND, SC_KEYMENU, lParam);
        return 0;
      }
      // A maximized document's system menu sits in the frame's menu line.
      if (active && IsZoomed(active) && (LOWORD(wParam) & 0xF000) == 0xF000 &&
          (message == WM_COMMAND || (command != SC_KEYMENU && command != SC_MOUSEMENU)))
        return SendMessageA(active, WM_SYSCOMMAND, wParam, lParam);
      break;
    }
    case WM_NCLBUTTONDOWN:
      // The maximized document's buttons at the end of the menu line.
      if (LRESULT hit = internal::barButtonAt(hwnd, pointOf(lParam)); wParam == HTMENU && hit != HTNOWHERE) {
        internal::trackCaptionButton(hwnd, hit, true);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT DefMDIChildProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND client = internal::mdiClientOf(hwnd);
  if (!client) return DefWindowProcA(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); return 0;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); return 0;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); return 0;
        case SC_CLOSE: SendMessageA(hwnd, WM_CLOSE, 0, 0); return 0;
        case SC_NEXTWINDOW: SendMessageA(client, WM_MDINEXT, reinterpret_cast<WPARAM>(hwnd), 0); return 0;
        case SC_PREVWINDOW: SendMessageA(client, WM_MDINEXT, reinterpret_cast<WPARAM>(hwnd), 1); return 0;
        case SC_KEYMENU:
          if (lParam != '-' && lParam != ' ') return DefWindowProcA(hwnd, message, wParam, lParam);
          openSystemMenu(hwnd);
          return 0;
        case SC_MOVE:
        case SC_SIZE: {
          if (IsZoomed(hwnd) || IsIconic(hwnd)) return 0;
          // From the press that asked for it, else where the pointer is.
          POINT from{static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam))),
                     static_cast<short>(HIWORD(static_cast<std::uintptr_t>(lParam)))};
          if (!lParam) GetCursorPos(&from);
          internal::sizeMoveLoop(hwnd, wParam, from);
          return 0;
        }
        default: return DefWindowProcA(hwnd, message, wParam, lParam);
      }
    case WM_CLOSE:
      SendMessageA(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(hwnd), 0);
      return 0;
    case WM_SETFOCUS:
    case WM_CHILDACTIVATE:
      if (internal::mdiActiveChild(client) != hwnd) internal::mdiActivate(client, hwnd);
      return 0;
    case WM_NCACTIVATE:
    case WM_SETTEXT: {
      LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
      internal::Window* w = internal::findWindow(hwnd);
      if (!w) return result;
      internal::markMenuLine(*w);
      if (message != WM_SETTEXT) return result;
      if (w->minimized) {
        RECT title = internal::iconTitleRect(*w);
        InvalidateRect(client, &title, 1);
      }
      internal::mdiSyncFrame(client);  // "Frame - [Document]"
      return result;
    }
    case WM_SIZE: {
      LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
      internal::mdiSyncFrame(client);
      return result;
    }
    case WM_DESTROY:
      // Its system menu goes with it: not left in the frame's menu.
      internal::mdiSyncFrame(client);
      return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_ICONERASEBKGND: {
      // The icon stands on the client's ground.
      RECT r{};
      GetClientRect(hwnd, &r);
      internal::fillRect(reinterpret_cast<HDC>(wParam), r, GetSysColor(COLOR_APPWORKSPACE));
      return 1;
    }
    case WM_ERASEBKGND:
      if (!IsIconic(hwnd)) return DefWindowProcA(hwnd, message, wParam, lParam);
      return SendMessageA(hwnd, WM_ICONERASEBKGND, wParam, 0);
    case WM_PAINT: {
      if (!IsIconic(hwnd)) return DefWindowProcA(hwnd, message, wParam, lParam);
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      internal::Window* w = internal::findWindow(hwnd);
      HICON icon = w && w->windowClass->wc.hIcon ? w->windowClass->wc.hIcon : LoadIconA(nullptr, IDI_APPLICATION);
      DrawIcon(dc, 2, 2, icon);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_GETMINMAXINFO: {
      // Maximized, the frame lies outside the client: the document's
      // client area is the whole client's.
      LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
      RECT in = internal::documentFrameInsets(), area{};
      GetClientRect(client, &area);
      mmi->ptMaxPosition = {-in.left, -in.top};
      mmi->ptMaxSize = {area.right + in.left + in.right, area.bottom + in.top + in.bottom};
      mmi->ptMaxTrackSize = {std::max(mmi->ptMaxTrackSize.x, mmi->ptMaxSize.x),
                             std::max(mmi->ptMaxTrackSize.y, mmi->ptMaxSize.y)};
      return result;
    }
    case WM_NCLBUTTONDOWN: {
      // Activation first, as a press anywhere on a document gives it.
      bool wasActive = internal::mdiActiveChild(client) == hwnd;
      if (!wasActive) internal::mdiActivate(client, hwnd);
      auto hit = static_cast<LRESULT>(wParam);
      if (IsIconic(hwnd)) {
        pressOnIcon(hwnd, wasActive, pointOf(lParam));
      } else if (hit == HTCAPTION && doubleClick(hwnd, pointOf(lParam))) {
        internal::Window* w = internal::findWindow(hwnd);
        if (w && (w->style & WS_MAXIMIZEBOX))
          SendMessageA(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lParam);
      } else if (hit == HTSYSMENU) {
        openSystemMenu(hwnd);
      } else if (hit == HTCAPTION) {
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lParam);
      } else if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) {
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_SIZE | static_cast<WPARAM>(hit - HTLEFT + 1), lParam);
      } else if (hit == HTMINBUTTON || hit == HTMAXBUTTON || hit == HTCLOSE) {
        internal::trackCaptionButton(hwnd, hit);
      } else {
        return DefWindowProcA(hwnd, message, wParam, lParam);
      }
      return 0;
    }
    case WM_MOUSEACTIVATE:
      // A press in a document makes it the active one.
      if (internal::mdiActiveChild(client) != hwnd) internal::mdiActivate(client, hwnd);
      return DefWindowProcA(hwnd, message, wParam, lParam);
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

// Ctrl+F4 closes the active document, Ctrl+F6 and Ctrl+Tab move to the
// next (with Shift the previous); Alt must not be held.
BOOL TranslateMDISysAccel(HWND client, MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return 0;
  if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0) return 0;
  WPARAM command;
  if (msg->wParam == VK_F4)
    command = SC_CLOSE;
  else if (msg->wParam == VK_F6 || msg->wParam == VK_TAB)
    command = GetKeyState(VK_SHIFT) < 0 ? SC_PREVWINDOW : SC_NEXTWINDOW;
  else
    return 0;
  HWND active = internal::mdiActiveChild(client);
  if (!active) return 0;
  SendMessageA(active, WM_SYSCOMMAND, command, static_cast<LPARAM>(msg->wParam));
  return 1;
}

}  // namespace win
