// Headless back-end of the window calls: every window is a record here and
// is never shown on a screen.
#include "platform/win.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace win {

struct WindowRec {
  std::string className;
  std::string title;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  bool visible = false;
  bool alive = true;
};

namespace {

struct ClassRec {
  std::string name;
  WNDCLASSA wc;
};

std::vector<ClassRec>& classes() {
  static std::vector<ClassRec> list;
  return list;
}

// Destroyed records are kept (marked dead) so that a stale handle is
// recognised rather than dereferenced after free.
std::vector<std::unique_ptr<WindowRec>>& windows() {
  static std::vector<std::unique_ptr<WindowRec>> list;
  return list;
}

ClassRec* findClass(const char* name) {
  for (auto& c : classes())
    if (c.name == name) return &c;
  return nullptr;
}

bool live(HWND hwnd) {
  if (!hwnd) return false;
  for (auto& w : windows())
    if (w.get() == hwnd) return w->alive;
  return false;
}

}  // namespace

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || findClass(wc->lpszClassName)) return 0;
  classes().push_back({wc->lpszClassName, *wc});
  return static_cast<ATOM>(classes().size());
}

BOOL UnregisterClassA(const char* name, HINSTANCE) {
  auto& list = classes();
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->name != name) continue;
    for (auto& w : windows())
      if (w->alive && w->className == name) return 0;
    list.erase(it);
    return 1;
  }
  return 0;
}

HWND CreateWindowExA(DWORD, const char* className, const char* title, DWORD style, int x, int y, int width,
                     int height, HWND, HMENU, HINSTANCE, void*) {
  ClassRec* c = findClass(className);
  if (!c) return nullptr;
  auto w = std::make_unique<WindowRec>();
  w->className = className;
  w->title = title ? title : "";
  w->proc = c->wc.lpfnWndProc;
  w->style = style;
  w->x = x, w->y = y, w->cx = width, w->cy = height;
  windows().push_back(std::move(w));
  return windows().back().get();
}

BOOL DestroyWindow(HWND hwnd) {
  if (!live(hwnd)) return 0;
  hwnd->alive = false;
  hwnd->visible = false;
  return 1;
}

BOOL ShowWindow(HWND hwnd, int command) {
  if (!live(hwnd)) return 0;
  BOOL was = hwnd->visible;
  hwnd->visible = command != SW_HIDE;
  return was;
}

BOOL IsWindow(HWND hwnd) { return live(hwnd); }
BOOL IsWindowVisible(HWND hwnd) { return live(hwnd) && hwnd->visible; }

BOOL SetWindowTextA(HWND hwnd, const char* text) {
  if (!live(hwnd)) return 0;
  return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? 1 : 0;
}

int GetWindowTextA(HWND hwnd, char* buffer, int size) {
  if (!live(hwnd) || size <= 0) return 0;
  std::size_t n = std::min(hwnd->title.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, hwnd->title.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

BOOL SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
  if (!live(hwnd)) return 0;
  WINDOWPOS pos{hwnd, after, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) pos.x = hwnd->x, pos.y = hwnd->y;
  if (flags & SWP_NOSIZE) pos.cx = hwnd->cx, pos.cy = hwnd->cy;
  SendMessageA(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  hwnd->x = pos.x, hwnd->y = pos.y, hwnd->cx = pos.cx, hwnd->cy = pos.cy;
  return 1;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  if (!live(hwnd) || !rect) return 0;
  *rect = {hwnd->x, hwnd->y, hwnd->x + hwnd->cx, hwnd->y + hwnd->cy};
  return 1;
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  if (!live(hwnd) || index != GWLP_WNDPROC) return 0;
  auto old = reinterpret_cast<LONG_PTR>(hwnd->proc);
  hwnd->proc = reinterpret_cast<WNDPROC>(value);
  return old;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!live(hwnd) || !hwnd->proc) return 0;
  return hwnd->proc(hwnd, message, wParam, lParam);
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_SETTEXT && live(hwnd)) {
    const char* text = reinterpret_cast<const char*>(lParam);
    hwnd->title = text ? text : "";
    return 1;
  }
  return 0;
}

HINSTANCE GetModuleHandleA(const char*) {
  static char self;
  return &self;
}

}  // namespace win
