// Window classes: one table by name (without case).
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "platform/user/internal.h"

namespace win {
namespace {

std::vector<std::unique_ptr<internal::WindowClass>>& classes() {
  static std::vector<std::unique_ptr<internal::WindowClass>> list;
  return list;
}

bool sameName(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return i == a.size() && !b[i];
}

ATOM nextAtom = 0xC000;

}  // namespace

namespace internal {

WindowClass* findClass(const char* name) {
  if (!name) return nullptr;
  // The platform's own classes exist before any lookup.
  static bool systemClasses = false;
  if (!systemClasses) {
    systemClasses = true;
    registerMdiClientClass();
  }
  for (auto& c : classes())
    if (sameName(c->name, name)) return c.get();
  return nullptr;
}

}  // namespace internal

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || !*wc->lpszClassName || !wc->lpfnWndProc || wc->cbWndExtra < 0 ||
      wc->cbClsExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (internal::findClass(wc->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto c = std::make_unique<internal::WindowClass>();
  c->name = wc->lpszClassName;
  c->wc = *wc;
  c->wc.lpszClassName = c->name.c_str();
  if (wc->lpszMenuName) {
    c->menuName = wc->lpszMenuName;
    c->wc.lpszMenuName = c->menuName.c_str();
  }
  c->atom = nextAtom++;
  classes().push_back(std::move(c));
  return classes().back()->atom;
}

BOOL UnregisterClassA(const char* name, HINSTANCE) {
  auto& list = classes();
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (!sameName((*it)->name, name ? name : "")) continue;
    if ((*it)->liveWindows > 0) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return 0;
    }
    list.erase(it);
    return 1;
  }
  SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
  return 0;
}

BOOL GetClassInfoA(HINSTANCE, const char* name, WNDCLASSA* wc) {
  internal::WindowClass* c = internal::findClass(name);
  if (!c || !wc) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return 0;
  }
  *wc = c->wc;
  return 1;
}

ULONG_PTR GetClassLongPtrA(HWND hwnd, int index) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  const WNDCLASSA& wc = w->windowClass->wc;
  switch (index) {
    case GCL_CBWNDEXTRA: return static_cast<ULONG_PTR>(wc.cbWndExtra);
    case GCL_CBCLSEXTRA: return static_cast<ULONG_PTR>(wc.cbClsExtra);
    case GCL_STYLE: return wc.style;
    case GCLP_WNDPROC: return reinterpret_cast<ULONG_PTR>(wc.lpfnWndProc);
    case GCLP_HCURSOR: return reinterpret_cast<ULONG_PTR>(wc.hCursor);
    case GCLP_HICON: return reinterpret_cast<ULONG_PTR>(wc.hIcon);
    case GCLP_HBRBACKGROUND: return reinterpret_cast<ULONG_PTR>(wc.hbrBackground);
    case GCLP_HMODULE: return reinterpret_cast<ULONG_PTR>(wc.hInstance);
    case GCLP_MENUNAME: return reinterpret_cast<ULONG_PTR>(wc.lpszMenuName);
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

}  // namespace win
