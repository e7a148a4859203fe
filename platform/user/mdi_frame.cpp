// Default processing of a multiple-document frame and of its document
// windows, and the document keys of the message loop.
#include <algorithm>

#include "platform/user/menu.h"

namespace win {

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
    case WM_SETFOCUS: {
      HWND active = internal::mdiActiveChild(client);
      SetFocus(active && !IsIconic(active) ? active : client);
      return 0;
    }
    case WM_COMMAND:
    case WM_SYSCOMMAND: {
      // A maximized document's system menu sits in the frame's menu line.
      HWND active = internal::mdiActiveChild(client);
      if (active && IsZoomed(active) && (LOWORD(wParam) & 0xF000) == 0xF000 &&
          (message == WM_COMMAND || (wParam & 0xFFF0) != SC_KEYMENU))
        return SendMessageA(active, WM_SYSCOMMAND, wParam, lParam);
      break;
    }
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
      if (internal::Window* w = internal::findWindow(hwnd)) internal::markMenuLine(*w);
      return result;
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
      if (internal::mdiActiveChild(client) != hwnd) internal::mdiActivate(client, hwnd);
      auto hit = static_cast<LRESULT>(wParam);
      if (hit == HTCAPTION) {
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
