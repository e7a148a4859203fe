// Accelerator tables and their translation in the message loop.
#include <memory>
#include <vector>

#include "platform/user/menu.h"

namespace win {
namespace {

struct AccelTable {
  std::vector<ACCEL> entries;
};

internal::HandleTable<AccelTable>& tables() {
  static internal::HandleTable<AccelTable> table(internal::HandleKind::accel);
  return table;
}

AccelTable* checkTable(HACCEL table) {
  AccelTable* t = tables().get(internal::handleValue(table));
  if (!t) SetLastError(ERROR_INVALID_ACCEL_HANDLE);
  return t;
}

bool down(int virtualKey) { return GetKeyState(virtualKey) < 0; }

// The pop-up entry of `menu` (pop-ups searched depth first) that opens
// `popup`: its menu and position.
bool findOpener(HMENU menu, HMENU popup, int& position, int depth = 0) {
  internal::Menu* m = internal::findMenu(menu);
  if (!m || depth > 16) return false;
  for (std::size_t i = 0; i < m->items.size(); ++i) {
    HMENU sub = m->items[i].sub;
    if (!sub) continue;
    if (sub == popup) {
      position = static_cast<int>(i);
      return true;
    }
    if (findOpener(sub, popup, position, depth + 1)) return true;
  }
  return false;
}

// The command of an entry of the window's menu: the menus first bring
// their states up to date as if opened; a grayed or disabled entry is
// not sent.
void sendCommand(HWND hwnd, WORD command) {
  HMENU bar = GetMenu(hwnd), holder = nullptr;
  int position = 0;
  if (bar && internal::findCommand(bar, command, holder, position)) {
    SendMessageA(hwnd, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
    int opener = 0;
    if (holder != bar && findOpener(bar, holder, opener))
      SendMessageA(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(holder), MAKELPARAM(opener, 0));
    if (!IsWindow(hwnd)) return;
    if (!(bar = GetMenu(hwnd)) || !internal::findCommand(bar, command, holder, position)) return;
    const internal::Menu* m = internal::findMenu(holder);
    if (internal::isDisabled(m->items[static_cast<std::size_t>(position)])) return;
  }
  SendMessageA(hwnd, WM_COMMAND, static_cast<WPARAM>(command) | WPARAM{1} << 16, 0);
}

}  // namespace

HACCEL CreateAcceleratorTableA(const ACCEL* entries, int count) {
  if (count < 0 || (count > 0 && !entries)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto t = std::make_unique<AccelTable>();
  t->entries.assign(entries, entries + count);
  auto h = internal::asHandle<HACCEL>(tables().add(std::move(t)));
  if (!h) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return h;
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  if (tables().remove(internal::handleValue(table))) return 1;
  SetLastError(ERROR_INVALID_ACCEL_HANDLE);
  return 0;
}

int TranslateAcceleratorA(HWND hwnd, HACCEL table, MSG* msg) {
  AccelTable* t = checkTable(table);
  if (!t || !msg || !internal::checkWindow(hwnd)) return 0;
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return 0;
  BYTE modifiers = static_cast<BYTE>((down(VK_SHIFT) ? FSHIFT : 0) | (down(VK_CONTROL) ? FCONTROL : 0) |
                                     (down(VK_MENU) ? FALT : 0));
  constexpr BYTE kModifiers = FSHIFT | FCONTROL | FALT;
  for (const ACCEL& a : t->entries) {
    if (!(a.fVirt & FVIRTKEY) || a.key != msg->wParam || (a.fVirt & kModifiers) != modifiers) continue;
    sendCommand(hwnd, a.cmd);
    return 1;  // consumed, whether or not the command went
  }
  return 0;
}

}  // namespace win
