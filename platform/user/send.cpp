// Sending, default processing and registered messages.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <string>

#include "platform/backend/backend.h"
#include "platform/user/internal.h"
#include "platform/user/menu.h"

namespace win {

namespace internal {

int& sendDepth() {
  static int depth = 0;
  return depth;
}

}  // namespace internal

namespace {

using internal::findWindow;
using internal::Window;

// Calls the window's procedure; the record may be gone when it returns.
LRESULT deliver(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = w.handle;
  WNDPROC proc = w.proc;
  // A procedure may leave by an exception (a framework raise): the depth
  // comes back down either way.
  struct Depth {
    int& depth = internal::sendDepth();
    Depth() { ++depth; }
    ~Depth() { --depth; }
  } nested;
  internal::traceMessage(hwnd, message, wParam, lParam, false);
  return proc(hwnd, message, wParam, lParam);
}

std::vector<HWND> topLevelWindows() { return internal::topLevelOrder(); }

}  // namespace

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd == HWND_BROADCAST) {
    for (HWND h : topLevelWindows())
      if (Window* w = findWindow(h)) deliver(*w, message, wParam, lParam);
    return 1;
  }
  Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  return deliver(*w, message, wParam, lParam);
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = findWindow(hwnd);
  if (!w) return 0;
  if (LRESULT result; internal::menuDefault(hwnd, message, wParam, lParam, result)) return result;
  if (!(w = findWindow(hwnd))) return 0;
  switch (message) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      if (cs && cs->lpszName) w->title = cs->lpszName;
      return 1;
    }
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lParam);
      w->title = text ? text : "";
      if (w->hasSurface) backend::Current().SetSurfaceTitle(hwnd, w->title);
      return 1;
    }
    case WM_GETTEXT: {
      if (wParam == 0 || !lParam) return 0;
      std::size_t n = std::min(w->title.size(), static_cast<std::size_t>(wParam - 1));
      std::memcpy(reinterpret_cast<char*>(lParam), w->title.data(), n);
      reinterpret_cast<char*>(lParam)[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->title.size());
    case WM_IME_COMPOSITION:
      if (lParam & GCS_RESULTSTR) internal::postCommitted(hwnd);
      return 0;
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
      return 0;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      POINT origin{w->rect.left + w->client.left, w->rect.top + w->client.top};
      if (pos && !(pos->flags & SWP_NOMOVE)) SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
      if (!(w = findWindow(hwnd))) return 0;
      WPARAM state = w->minimized ? SIZE_MINIMIZED : w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
      if (pos && !(pos->flags & SWP_NOSIZE))
        SendMessageA(hwnd, WM_SIZE, state, MAKELPARAM(w->client.right - w->client.left, w->client.bottom - w->client.top));
      return 0;
    }
    case WM_NCCALCSIZE: {
      RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
      if (!r) return 0;
      // An icon has no frame.
      RECT in = w->minimized && internal::hasDocumentFrame(*w) ? RECT{}
                                                                 : internal::nonClientInsets(w->style, w->exStyle, false);
      // The menu line, laid out for the new width.
      in.top += internal::menuLineHeight(*w, r->right - r->left);
      *r = {r->left + in.left, r->top + in.top, r->right - in.right, std::max(r->top + in.top, r->bottom - in.bottom)};
      return 0;
    }
    case WM_NCHITTEST: {
      POINT screen{static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam))),
                   static_cast<short>(HIWORD(static_cast<std::uintptr_t>(lParam)))};
      if (internal::hasDocumentFrame(*w)) {
        POINT origin = internal::clientOriginOnScreen(*w);
        return internal::documentHitTest(*w, {screen.x - origin.x + w->client.left, screen.y - origin.y + w->client.top});
      }
      return internal::defaultHitTest(*w, screen);
    }
    case WM_SETCURSOR:
      return internal::defaultSetCursor(hwnd, wParam, lParam);
    case WM_NCACTIVATE:
      return 1;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !w->minimized) SetFocus(hwnd);
      return 0;
    case WM_PAINT:
      ValidateRect(hwnd, nullptr);
      return 0;
    case WM_ERASEBKGND: {
      // The class brush, when there is one (COLOR_x + 1 names that colour).
      HBRUSH brush = w->windowClass->wc.hbrBackground;
      if (!brush) return 0;
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      return 1;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4 && (lParam & (LPARAM{1} << 29)))
        SendMessageA(internal::rootOf(hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND: {
      // Moving, sizing and the menu keys come with later work.
      constexpr struct {
        WPARAM command;
        int show;
      } kShows[] = {{SC_MINIMIZE, SW_MINIMIZE}, {SC_MAXIMIZE, SW_MAXIMIZE}, {SC_RESTORE, SW_RESTORE}};
      for (const auto& s : kShows)
        if ((wParam & 0xFFF0) == s.command) ShowWindow(hwnd, s.show);
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hwnd, WM_CLOSE, 0, 0);
      return 0;
    }
    case WM_MOUSEACTIVATE:
      // A child asks its parent; no answer there means activate.
      if (w->parent)
        if (LRESULT answer = SendMessageA(w->parent, message, wParam, lParam)) return answer;
      return MA_ACTIVATE;
    case WM_QUERYENDSESSION:
      return 1;
    default:
      return 0;
  }
}

UINT RegisterWindowMessageA(const char* name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  static std::map<std::string, UINT> registered;
  std::string key(name);
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
  auto [it, added] = registered.emplace(key, 0);
  if (added) {
    if (registered.size() > 0x4000) {  // the range ends at 0xFFFF
      registered.erase(it);
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    it->second = MAXINTATOM + static_cast<UINT>(registered.size() - 1);
  }
  return it->second;
}

}  // namespace win
