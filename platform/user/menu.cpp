// Menus without items, and the document-window calls that forward to the
// plain default processing, until menus and document windows are built.
#include <memory>

#include "platform/user/internal.h"

namespace win {
namespace {

struct Menu {
  bool popup;
};

internal::HandleTable<Menu>& menus() {
  static internal::HandleTable<Menu> table(internal::HandleKind::menu);
  return table;
}

HMENU makeMenu(bool popup) {
  return internal::asHandle<HMENU>(menus().add(std::make_unique<Menu>(Menu{popup})));
}

}  // namespace

HMENU CreateMenu() { return makeMenu(false); }
HMENU CreatePopupMenu() { return makeMenu(true); }

BOOL DestroyMenu(HMENU menu) {
  if (menus().remove(internal::handleValue(menu))) return 1;
  SetLastError(ERROR_INVALID_MENU_HANDLE);
  return 0;
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  if (menu && !menus().get(internal::handleValue(menu))) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return 0;
  }
  if (w->style & WS_CHILD) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  w->menu = menu;
  return 1;
}

HMENU GetMenu(HWND hwnd) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w || (w->style & WS_CHILD)) return nullptr;
  // A menu destroyed while it was set reads as none.
  return menus().get(internal::handleValue(w->menu)) ? w->menu : nullptr;
}

BOOL EndMenu() { return 1; }

LRESULT DefFrameProcA(HWND hwnd, HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT DefMDIChildProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

BOOL TranslateMDISysAccel(HWND, MSG*) { return 0; }

}  // namespace win
