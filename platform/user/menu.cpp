// The menu model: menus and their entries, the per-window system menu,
// a window's menu, and the document-window calls that forward to the
// plain default processing until document windows are built.
#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/user/menu.h"

namespace win {
namespace internal {
namespace {

HandleTable<Menu>& menus() {
  static HandleTable<Menu> table(HandleKind::menu);
  return table;
}

}  // namespace

Menu* findMenu(HMENU menu) { return menus().get(handleValue(menu)); }

Menu* checkMenu(HMENU menu) {
  Menu* m = findMenu(menu);
  if (!m) SetLastError(ERROR_INVALID_MENU_HANDLE);
  return m;
}

EntryText splitEntryText(const std::string& text) {
  EntryText out;
  std::size_t tab = text.find('\t');
  if (tab != std::string::npos) out.accel = text.substr(tab + 1);
  std::string_view label(text.data(), tab == std::string::npos ? text.size() : tab);
  for (std::size_t i = 0; i < label.size(); ++i) {
    if (label[i] == '&' && i + 1 < label.size()) {
      ++i;
      // "&&" is an "&"; the first other "&" marks the mnemonic.
      if (label[i] != '&' && out.mnemonic < 0) out.mnemonic = static_cast<int>(out.label.size());
    }
    out.label += label[i];
  }
  return out;
}

char mnemonicOf(const MenuItem& item) {
  if (item.flags & (MF_OWNERDRAW | MF_SEPARATOR)) return 0;
  EntryText t = splitEntryText(item.text);
  if (t.mnemonic < 0) return 0;
  return static_cast<char>(std::tolower(static_cast<unsigned char>(t.label[static_cast<std::size_t>(t.mnemonic)])));
}

bool isSeparator(const MenuItem& item) { return (item.flags & MF_SEPARATOR) != 0; }
bool isDisabled(const MenuItem& item) { return (item.flags & (MF_GRAYED | MF_DISABLED)) != 0; }

bool findCommand(HMENU menu, UINT id, HMENU& holder, int& position) {
  // Depth bounds a pop-up that holds itself.
  struct Search {
    UINT id;
    HMENU& holder;
    int& position;
    bool in(HMENU m, int depth) {
      Menu* rec = findMenu(m);
      if (!rec || depth > 16) return false;
      for (std::size_t i = 0; i < rec->items.size(); ++i) {
        const MenuItem& item = rec->items[i];
        if (item.flags & MF_POPUP) {
          if (in(item.sub, depth + 1)) return true;
        } else if (item.id == id && !isSeparator(item)) {
          holder = m;
          position = static_cast<int>(i);
          return true;
        }
      }
      return false;
    }
  };
  return Search{id, holder, position}.in(menu, 0);
}

void refreshSystemMenu(HWND hwnd, HMENU menu) {
  const Window* w = findWindow(hwnd);
  if (!w) return;
  // A maximized document's menu on its frame's line follows the document.
  if (const Window* doc = findWindow(mdiMaximizedChild(hwnd)); doc && doc->systemMenu == menu) w = doc;
  bool normal = !w->minimized && !w->maximized;
  const struct {
    WPARAM command;
    bool enabled;
  } rules[] = {
      {SC_RESTORE, !normal},
      {SC_MOVE, !w->maximized},
      {SC_SIZE, (w->style & WS_THICKFRAME) && normal},
      {SC_MINIMIZE, (w->style & WS_MINIMIZEBOX) && !w->minimized},
      {SC_MAXIMIZE, (w->style & WS_MAXIMIZEBOX) && !w->maximized},
  };
  for (const auto& r : rules)
    EnableMenuItem(menu, static_cast<UINT>(r.command), MF_BYCOMMAND | (r.enabled ? MF_ENABLED : MF_GRAYED));
}

}  // namespace internal

namespace {

using internal::checkMenu;
using internal::findMenu;
using internal::Menu;
using internal::MenuItem;

HMENU makeMenu(bool popup) {
  auto h = internal::asHandle<HMENU>(internal::menus().add(std::make_unique<Menu>(Menu{popup, false, {}, -1})));
  if (!h) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return h;
}

// The entry that `item` names (by position or by command, pop-ups
// searched): its menu record and index. Null when absent.
Menu* locate(HMENU menu, UINT item, UINT flags, int& index, HMENU* holder = nullptr) {
  Menu* m = checkMenu(menu);
  if (!m) return nullptr;
  if (flags & MF_BYPOSITION) {
    if (item >= m->items.size()) return nullptr;
    index = static_cast<int>(item);
    if (holder) *holder = menu;
    return m;
  }
  HMENU found = nullptr;
  if (!internal::findCommand(menu, item, found, index)) return nullptr;
  if (holder) *holder = found;
  return findMenu(found);
}

// An entry from the arguments of InsertMenuA and ModifyMenuA; false when
// they are not valid (a pop-up entry needs a live pop-up).
bool makeItem(UINT flags, UINT_PTR idNewItem, const char* newItem, MenuItem& out) {
  constexpr UINT kKept = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_MENUBARBREAK | MF_MENUBREAK |
                         MF_OWNERDRAW | MF_RADIOCHECK | MF_SEPARATOR;
  out = MenuItem{};
  out.flags = flags & kKept;
  if (flags & MF_POPUP) {
    out.sub = reinterpret_cast<HMENU>(idNewItem);
    if (!findMenu(out.sub)) {
      SetLastError(ERROR_INVALID_MENU_HANDLE);
      return false;
    }
  } else if (!(flags & MF_SEPARATOR)) {
    out.id = static_cast<UINT>(idNewItem);
  }
  if (flags & MF_OWNERDRAW)
    out.data = reinterpret_cast<ULONG_PTR>(newItem);
  else if (!(flags & MF_SEPARATOR) && newItem)
    out.text = newItem;
  return true;
}

// Sets the `mask` bits of an entry's state from `flags`; the previous
// ones, or -1 when the entry is absent.
UINT setState(HMENU menu, UINT item, UINT flags, UINT mask) {
  int index = 0;
  Menu* m = locate(menu, item, flags, index);
  if (!m) return ~0u;
  UINT& f = m->items[static_cast<std::size_t>(index)].flags;
  UINT previous = f & mask;
  f = (f & ~mask) | (flags & mask);
  return previous;
}

BOOL removeEntry(HMENU menu, UINT position, UINT flags, bool destroyPopup) {
  int index = 0;
  HMENU holder = nullptr;
  Menu* m = locate(menu, position, flags, index, &holder);
  if (!m) return 0;
  HMENU sub = m->items[static_cast<std::size_t>(index)].sub;
  m->items.erase(m->items.begin() + index);
  if (m->defaultItem == index)
    m->defaultItem = -1;
  else if (m->defaultItem > index)
    --m->defaultItem;
  if (destroyPopup && sub) DestroyMenu(sub);
  return 1;
}

struct SystemEntry {
  WPARAM command;  // 0: a separator
  const char* text;
};
constexpr SystemEntry kSystemMenu[] = {
    {SC_RESTORE, "&Restore"},   {SC_MOVE, "&Move"},           {SC_SIZE, "&Size"},
    {SC_MINIMIZE, "Mi&nimize"}, {SC_MAXIMIZE, "Ma&ximize"},   {0, nullptr},
    {SC_CLOSE, "&Close\tAlt+F4"}, {SC_TASKLIST, "S&witch To...\tCtrl+Esc"},
};

HMENU makeSystemMenu() {
  HMENU h = makeMenu(true);
  Menu* m = findMenu(h);
  if (!m) return nullptr;
  m->system = true;
  for (const SystemEntry& e : kSystemMenu)
    InsertMenuA(h, ~0u, MF_BYPOSITION | (e.command ? MF_STRING : MF_SEPARATOR), e.command, e.text);
  return h;
}

// A menu line of another height moves the client area (WM_NCCALCSIZE,
// then WM_MOVE and WM_SIZE); the line is painted again either way.
void reframe(HWND hwnd) {
  internal::Window* w = internal::findWindow(hwnd);
  if (!w) return;
  RECT r = w->rect;
  if (internal::menuLineHeight(*w, r.right - r.left) != w->client.top)
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  if ((w = internal::findWindow(hwnd))) internal::markMenuLine(*w);
}

}  // namespace

HMENU CreateMenu() { return makeMenu(false); }
HMENU CreatePopupMenu() { return makeMenu(true); }

BOOL DestroyMenu(HMENU menu) {
  std::unique_ptr<Menu> gone = internal::menus().remove(internal::handleValue(menu));
  if (!gone) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return 0;
  }
  // The record is out of the table first: a pop-up that holds its parent
  // finds it gone.
  for (const MenuItem& item : gone->items)
    if (item.sub && findMenu(item.sub)) DestroyMenu(item.sub);
  return 1;
}

BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, const char* newItem) {
  Menu* m = checkMenu(menu);
  if (!m) return 0;
  MenuItem item;
  if (!makeItem(flags, idNewItem, newItem, item)) return 0;
  if (item.sub == menu) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int index = static_cast<int>(m->items.size());
  if (!(flags & MF_BYPOSITION)) {
    // Before the entry with that identifier, in the menu that holds it.
    HMENU holder = nullptr;
    if (!internal::findCommand(menu, position, holder, index)) return 0;
    m = findMenu(holder);
  } else if (position < m->items.size()) {
    index = static_cast<int>(position);
  }
  m->items.insert(m->items.begin() + index, std::move(item));
  if (m->defaultItem >= index) ++m->defaultItem;
  return 1;
}

BOOL ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, const char* newItem) {
  int index = 0;
  Menu* m = locate(menu, position, flags, index);
  if (!m) return 0;
  MenuItem item;
  if (!makeItem(flags, idNewItem, newItem, item)) return 0;
  MenuItem& old = m->items[static_cast<std::size_t>(index)];
  HMENU replaced = old.sub != item.sub ? old.sub : nullptr;
  old = std::move(item);  // measured again before it shows
  // A pop-up that the entry no longer opens goes.
  if (replaced && findMenu(replaced)) DestroyMenu(replaced);
  return 1;
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) { return removeEntry(menu, position, flags, false); }
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) { return removeEntry(menu, position, flags, true); }

int GetMenuItemCount(HMENU menu) {
  Menu* m = checkMenu(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  Menu* m = checkMenu(menu);
  if (!m || position < 0 || static_cast<std::size_t>(position) >= m->items.size()) return ~0u;
  const MenuItem& item = m->items[static_cast<std::size_t>(position)];
  return (item.flags & MF_POPUP) ? ~0u : item.id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  Menu* m = checkMenu(menu);
  if (!m || position < 0 || static_cast<std::size_t>(position) >= m->items.size()) return nullptr;
  HMENU sub = m->items[static_cast<std::size_t>(position)].sub;
  return findMenu(sub) ? sub : nullptr;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  int index = 0;
  Menu* m = locate(menu, item, flags, index);
  if (!m) return ~0u;
  const MenuItem& e = m->items[static_cast<std::size_t>(index)];
  UINT state = e.flags | (m->defaultItem == index ? MF_DEFAULT : 0);
  if (e.flags & MF_POPUP) {
    Menu* sub = findMenu(e.sub);
    state = (state & 0xFF) | static_cast<UINT>(sub ? std::min<std::size_t>(sub->items.size(), 0xFF) : 0) << 8;
  }
  return state;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags) { return setState(menu, item, flags, MF_GRAYED | MF_DISABLED); }
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) { return setState(menu, item, flags, MF_CHECKED); }

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
  int from = 0, to = 0, at = 0;
  HMENU a = nullptr, b = nullptr, c = nullptr;
  Menu* m = locate(menu, first, flags, from, &a);
  if (!m || !locate(menu, last, flags, to, &b) || !locate(menu, check, flags, at, &c) || a != b || a != c) return 0;
  if (from > to) std::swap(from, to);
  if (at < from || at > to) return 0;
  for (int i = from; i <= to; ++i) {
    UINT& f = m->items[static_cast<std::size_t>(i)].flags;
    if (i == at)
      f |= MF_CHECKED | MF_RADIOCHECK;
    else
      f &= ~MF_CHECKED;
  }
  return 1;
}

BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition) {
  Menu* m = checkMenu(menu);
  if (!m) return 0;
  if (item == ~0u) {
    m->defaultItem = -1;
    return 1;
  }
  int index = 0;
  HMENU holder = nullptr;
  if (!locate(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND, index, &holder) || holder != menu) return 0;
  m->defaultItem = index;
  return 1;
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  if (menu && !checkMenu(menu)) return 0;
  if (w->style & WS_CHILD) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  w->menu = menu;
  reframe(hwnd);
  return 1;
}

HMENU GetMenu(HWND hwnd) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w || (w->style & WS_CHILD)) return nullptr;
  // A menu destroyed while it was set reads as none.
  return findMenu(w->menu) ? w->menu : nullptr;
}

BOOL DrawMenuBar(HWND hwnd) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  if (w->style & WS_CHILD) return 0;
  reframe(hwnd);
  return 1;
}

HMENU GetSystemMenu(HWND hwnd, BOOL revert) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return nullptr;
  if (revert) {
    if (findMenu(w->systemMenu)) DestroyMenu(w->systemMenu);
    w->systemMenu = nullptr;
    return nullptr;
  }
  if (!findMenu(w->systemMenu)) w->systemMenu = makeSystemMenu();
  return w->systemMenu;
}

}  // namespace win
