// Menu tracking: the modal loop that runs while a menu is open, and the
// default processing that starts it (a press on the menu line, Alt alone,
// F10, Alt with a letter).
//
// The owner window gets, in order: WM_ENTERMENULOOP; WM_INITMENU once;
// WM_MENUSELECT on every change of highlight and WM_INITMENUPOPUP before
// each pop-up shows; WM_MENUCHAR for a letter no entry takes; at the end
// WM_MENUSELECT with flags 0xFFFF and no menu, then WM_EXITMENULOOP. The
// chosen entry is posted afterwards (WM_COMMAND, or WM_SYSCOMMAND with the
// pointer's position for the system menu), so its handler runs outside
// the loop and GetMessagePos tells where it was chosen.
#include <bitset>
#include <cctype>
#include <utility>
#include <vector>

#include "platform/user/menu.h"

namespace win::internal {
namespace {

constexpr LPARAM kAltHeld = LPARAM{1} << 29, kWasDown = LPARAM{1} << 30;

WPARAM makeWParam(UINT lo, UINT hi) { return static_cast<WPARAM>((lo & 0xFFFF) | (hi & 0xFFFF) << 16); }

struct Level {
  HMENU menu;
  HWND window;
};

struct Tracking {
  HWND owner = nullptr;
  HWND active = nullptr;  // deactivation ends the loop
  HMENU bar = nullptr;    // null: a pop-up alone (the system menu)
  int title = -1;         // the highlighted title of the bar
  std::vector<Level> levels;
  bool ended = false;
  bool buttonDown = false;
  // The press that opened a title's pop-up, until the pointer moves: its
  // release chooses nothing, even where the pop-up covers the title.
  bool opening = false;
  POINT openedAt{};
  bool chosen = false, systemCommand = false;
  UINT command = 0;
  // Keys held when the loop began (Alt of Alt+F, the letter): their
  // releases are passed on after it, so the window that counts modifiers
  // by the last key message it was given sees them up.
  std::bitset<256> heldAtStart;
  std::vector<MSG> releases;
  // A press outside every menu and the bar: it ends the menu and is then
  // delivered where it was made.
  bool replay = false;
  MSG press{};
};

Tracking* current = nullptr;
// Alt went down on this thread and no other key since, nor a change of focus.
thread_local bool altAlone = false;
// Likewise F10: its release begins a menu only after a press alone.
thread_local bool f10Alone = false;

bool isSystem(HMENU menu) {
  Menu* m = findMenu(menu);
  return m && m->system;
}

const MenuItem* entry(HMENU menu, int index) {
  Menu* m = findMenu(menu);
  if (!m || index < 0 || static_cast<std::size_t>(index) >= m->items.size()) return nullptr;
  return &m->items[static_cast<std::size_t>(index)];
}

void menuSelect(Tracking& t, HMENU menu, int index, bool mouse) {
  const MenuItem* item = entry(menu, index);
  if (!item) return;
  constexpr UINT kState =
      MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_OWNERDRAW | MF_SEPARATOR | MF_MENUBREAK | MF_MENUBARBREAK;
  UINT flags = (item->flags & kState) | MF_HILITE | (mouse ? MF_MOUSESELECT : 0) | (isSystem(menu) ? MF_SYSMENU : 0);
  UINT idOrPosition = (item->flags & MF_POPUP) ? static_cast<UINT>(index) : item->id;
  SendMessageA(t.owner, WM_MENUSELECT, makeWParam(idOrPosition, flags), reinterpret_cast<LPARAM>(menu));
}

// Closes the pop-ups from `depth` on; the title's sinks back when the
// last goes.
void closeFrom(Tracking& t, std::size_t depth) {
  while (t.levels.size() > depth) {
    HWND w = t.levels.back().window;
    t.levels.pop_back();
    closePopupWindow(w);
  }
  if (t.levels.empty() && t.bar && t.title >= 0 && IsWindow(t.owner)) setMenuLineState(t.owner, t.title, false);
}

bool openSub(Tracking& t, HMENU sub, int position, const RECT& anchor, bool cascade) {
  if (isSystem(sub)) refreshSystemMenu(t.owner, sub);
  SendMessageA(t.owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub),
               MAKELPARAM(position, isSystem(sub) ? 1 : 0));
  if (t.ended || !findMenu(sub) || !IsWindow(t.owner)) return false;
  HWND w = openPopupWindow(t.owner, sub, anchor, cascade);
  if (!w) return false;
  t.levels.push_back({sub, w});
  return true;
}

bool openTitle(Tracking& t) {
  const MenuItem* item = entry(t.bar, t.title);
  Window* w = findWindow(t.owner);
  if (!item || !w || !(item->flags & MF_POPUP) || isDisabled(*item) || !t.levels.empty()) return false;
  HMENU sub = item->sub;
  RECT r = item->rect;
  RECT anchor{r.left + w->rect.left, r.top + w->rect.top, r.right + w->rect.left, r.bottom + w->rect.top};
  setMenuLineState(t.owner, t.title, true);
  if (openSub(t, sub, t.title, anchor, false)) return true;
  if (IsWindow(t.owner) && t.levels.empty()) setMenuLineState(t.owner, t.title, false);
  return false;
}

void openCascade(Tracking& t, std::size_t k) {
  if (k >= t.levels.size()) return;
  int sel = popupSelection(t.levels[k].window);
  const MenuItem* item = entry(t.levels[k].menu, sel);
  if (!item || !(item->flags & MF_POPUP) || isDisabled(*item)) return;
  closeFrom(t, k + 1);
  openSub(t, item->sub, sel, popupEntryOnScreen(t.levels[k].window, sel), true);
}

void selectTitle(Tracking& t, int index, bool mouse) {
  if (index == t.title) return;
  closeFrom(t, 0);
  t.title = index;
  setMenuLineState(t.owner, index, false);
  menuSelect(t, t.bar, index, mouse);
}

void selectEntry(Tracking& t, std::size_t k, int index, bool mouse) {
  closeFrom(t, k + 1);
  if (popupSelection(t.levels[k].window) == index) return;
  selectPopupEntry(t.levels[k].window, index);
  if (index >= 0) menuSelect(t, t.levels[k].menu, index, mouse);
}

// The next entry from `from` in direction `step` that is not a separator
// (grayed ones can be highlighted), wrapping; -1 when there is none.
int nextEntry(HMENU menu, int from, int step) {
  Menu* m = findMenu(menu);
  if (!m || m->items.empty()) return -1;
  int n = static_cast<int>(m->items.size());
  int i = from < 0 ? (step > 0 ? -1 : n) : from;
  for (int tries = 0; tries < n; ++tries) {
    i = (i + step + n) % n;
    if (!isSeparator(m->items[static_cast<std::size_t>(i)])) return i;
  }
  return -1;
}

void selectFirst(Tracking& t) {
  if (t.levels.empty()) return;
  std::size_t k = t.levels.size() - 1;
  selectEntry(t, k, nextEntry(t.levels[k].menu, -1, 1), false);
}

void choose(Tracking& t, HMENU menu, int index) {
  const MenuItem* item = entry(menu, index);
  if (!item || isDisabled(*item) || isSeparator(*item) || (item->flags & MF_POPUP)) return;
  t.chosen = true;
  t.command = item->id;
  t.systemCommand = isSystem(menu);
  t.ended = true;
}

// An entry chosen from the keyboard: a pop-up opens with its first entry
// highlighted, a command is chosen (a grayed one only highlighted).
void activateEntry(Tracking& t, std::size_t k, int index) {
  selectEntry(t, k, index, false);
  if (t.ended || k >= t.levels.size()) return;
  const MenuItem* item = entry(t.levels[k].menu, index);
  if (!item) return;
  if (item->flags & MF_POPUP) {
    openCascade(t, k);
    if (t.levels.size() > k + 1) selectFirst(t);
  } else {
    choose(t, t.levels[k].menu, index);
  }
}

void activateTitle(Tracking& t, int index) {
  selectTitle(t, index, false);
  const MenuItem* item = entry(t.bar, index);
  if (t.ended || !item) return;
  if (!(item->flags & MF_POPUP))
    choose(t, t.bar, index);
  else if (openTitle(t))
    selectFirst(t);
}

// The menu that takes letters: the last pop-up, else the bar.
HMENU letterMenu(const Tracking& t) { return t.levels.empty() ? t.bar : t.levels.back().menu; }

void letter(Tracking& t, unsigned char ch) {
  HMENU menu = letterMenu(t);
  Menu* m = findMenu(menu);
  if (!m || ch < 0x20) return;
  char key = static_cast<char>(std::tolower(ch));
  std::vector<int> matches;
  for (std::size_t i = 0; i < m->items.size(); ++i)
    if (mnemonicOf(m->items[i]) == key) matches.push_back(static_cast<int>(i));
  bool inBar = t.levels.empty();
  int current = inBar ? t.title : popupSelection(t.levels.back().window);
  if (matches.size() > 1) {
    // Several entries share the letter: each press moves on to the next.
    int next = matches.front();
    for (int i : matches)
      if (i > current) {
        next = i;
        break;
      }
    if (inBar)
      selectTitle(t, next, false);
    else
      selectEntry(t, t.levels.size() - 1, next, false);
    return;
  }
  int position = matches.empty() ? -1 : matches.front();
  bool execute = true;
  if (position < 0) {
    UINT flags = (inBar ? 0 : MF_POPUP) | (m->system ? MF_SYSMENU : 0);
    LRESULT r = SendMessageA(t.owner, WM_MENUCHAR, makeWParam(ch, flags), reinterpret_cast<LPARAM>(menu));
    if (t.ended || menu != letterMenu(t)) return;
    switch (HIWORD(static_cast<std::uintptr_t>(r))) {
      case MNC_EXECUTE: position = LOWORD(static_cast<std::uintptr_t>(r)); break;
      case MNC_SELECT:
        position = LOWORD(static_cast<std::uintptr_t>(r));
        execute = false;
        break;
      case MNC_CLOSE: t.ended = true; return;
      default: MessageBeep(0); return;
    }
    if (!entry(menu, position)) return;
  }
  if (inBar)
    execute ? activateTitle(t, position) : selectTitle(t, position, false);
  else
    execute ? activateEntry(t, t.levels.size() - 1, position) : selectEntry(t, t.levels.size() - 1, position, false);
}

void moveTitle(Tracking& t, int step) {
  Menu* bar = findMenu(t.bar);
  if (!bar || bar->items.empty()) return;
  int n = static_cast<int>(bar->items.size());
  bool wasOpen = !t.levels.empty();
  selectTitle(t, ((t.title < 0 ? 0 : t.title) + step + n) % n, false);
  if (wasOpen && openTitle(t)) selectFirst(t);
}

// Whether the menu acts on the key itself.
bool key(Tracking& t, UINT vk) {
  std::size_t depth = t.levels.size();
  switch (vk) {
    case VK_MENU:
    case VK_F10:
      t.ended = true;
      break;
    case VK_ESCAPE:
      if (depth == 0 || (depth == 1 && !t.bar))
        t.ended = true;
      else
        closeFrom(t, depth - 1);
      break;
    case VK_LEFT:
      if (depth > 1)
        closeFrom(t, depth - 1);
      else if (t.bar)
        moveTitle(t, -1);
      break;
    case VK_RIGHT: {
      const MenuItem* item = depth ? entry(t.levels.back().menu, popupSelection(t.levels.back().window)) : nullptr;
      if (item && (item->flags & MF_POPUP) && !isDisabled(*item)) {
        openCascade(t, depth - 1);
        if (t.levels.size() > depth) selectFirst(t);
      } else if (t.bar) {
        moveTitle(t, 1);
      }
      break;
    }
    case VK_UP:
    case VK_DOWN:
      if (depth) {
        int step = vk == VK_DOWN ? 1 : -1;
        selectEntry(t, depth - 1, nextEntry(t.levels.back().menu, popupSelection(t.levels.back().window), step),
                    false);
      } else if (t.bar && t.title >= 0 && openTitle(t)) {
        selectFirst(t);
      }
      break;
    case VK_RETURN:
      if (depth) {
        int sel = popupSelection(t.levels.back().window);
        if (sel >= 0) activateEntry(t, depth - 1, sel);
      } else if (t.bar && t.title >= 0) {
        activateTitle(t, t.title);
      }
      break;
    default:
      return false;
  }
  return true;
}

struct Hit {
  int level = -1, entry = -1, title = -1;
};

Hit hitTest(const Tracking& t, POINT pt) {
  for (std::size_t k = t.levels.size(); k-- > 0;) {
    bool inside = false;
    int e = popupEntryAt(t.levels[k].window, pt, &inside);
    if (inside) return {static_cast<int>(k), e, -1};
  }
  return {-1, -1, t.bar ? menuTitleAt(t.owner, pt) : -1};
}

void pointerOverEntry(Tracking& t, std::size_t k, int index) {
  if (index < 0) return;
  if (popupSelection(t.levels[k].window) == index) {
    closeFrom(t, k + 2);  // its own cascade stays
    return;
  }
  selectEntry(t, k, index, true);
  if (!t.ended) openCascade(t, k);
}

void mouseMove(Tracking& t, POINT pt) {
  if (pt.x != t.openedAt.x || pt.y != t.openedAt.y) t.opening = false;
  Hit h = hitTest(t, pt);
  if (h.level >= 0) {
    pointerOverEntry(t, static_cast<std::size_t>(h.level), h.entry);
  } else if (h.title >= 0 && h.title != t.title && (!t.levels.empty() || t.buttonDown)) {
    selectTitle(t, h.title, true);
    openTitle(t);
  }
}

// Whether the press fell outside every menu and the bar.
bool mouseDown(Tracking& t, POINT pt) {
  Hit h = hitTest(t, pt);
  t.buttonDown = true;
  if (h.title >= 0) {
    if (h.title == t.title && !t.levels.empty()) {
      t.ended = true;  // a press on the open title closes it
      return false;
    }
    selectTitle(t, h.title, true);
    t.opening = openTitle(t);
    t.openedAt = pt;
  } else if (h.level >= 0) {
    pointerOverEntry(t, static_cast<std::size_t>(h.level), h.entry);
  } else {
    t.ended = true;
    return true;
  }
  return false;
}

void mouseUp(Tracking& t, POINT pt) {
  t.buttonDown = false;
  if (std::exchange(t.opening, false) && pt.x == t.openedAt.x && pt.y == t.openedAt.y) return;
  Hit h = hitTest(t, pt);
  if (h.level >= 0 && h.entry >= 0) {
    const MenuItem* item = entry(t.levels[static_cast<std::size_t>(h.level)].menu, h.entry);
    if (item && !(item->flags & MF_POPUP))
      choose(t, t.levels[static_cast<std::size_t>(h.level)].menu, h.entry);
    else
      pointerOverEntry(t, static_cast<std::size_t>(h.level), h.entry);
  } else if (h.title >= 0) {
    // A title without a pop-up is a command; one with a pop-up stays open.
    const MenuItem* item = entry(t.bar, h.title);
    if (item && !(item->flags & MF_POPUP)) choose(t, t.bar, h.title);
  }
}

enum class Kind { other, move, down, up, keyDown, keyUp, character };

Kind kindOf(UINT message) {
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE: return Kind::move;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN: return Kind::down;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_NCLBUTTONUP:
    case WM_NCRBUTTONUP: return Kind::up;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONUP: return Kind::keyUp;  // consumed
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: return Kind::keyDown;
    case WM_KEYUP:
    case WM_SYSKEYUP: return Kind::keyUp;
    case WM_CHAR:
    case WM_SYSCHAR: return Kind::character;
    default: return Kind::other;
  }
}

void handle(Tracking& t, MSG& msg) {
  switch (kindOf(msg.message)) {
    case Kind::move: mouseMove(t, msg.pt); break;
    case Kind::down:
      if (mouseDown(t, msg.pt)) {
        t.replay = true;
        t.press = msg;
      }
      break;
    case Kind::up: mouseUp(t, msg.pt); break;
    case Kind::keyDown:
      t.heldAtStart.reset(msg.wParam & 0xFF);
      // A key the menu acts on types nothing, here or after the menu ends.
      if (!key(t, static_cast<UINT>(msg.wParam))) TranslateMessage(&msg);
      break;
    case Kind::keyUp:
      if ((msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP) && t.heldAtStart.test(msg.wParam & 0xFF)) {
        t.heldAtStart.reset(msg.wParam & 0xFF);
        t.releases.push_back(msg);
      }
      break;
    case Kind::character: letter(t, static_cast<unsigned char>(msg.wParam)); break;
    case Kind::other: DispatchMessageA(&msg); break;
  }
}

void loop(Tracking& t) {
  // A signal (a request to quit) ends the tracking, so the program's own
  // loop can act on it at once.
  const unsigned signalsAtStart = SignalWakeCount();
  while (!t.ended) {
    if (!IsWindow(t.owner) || GetActiveWindow() != t.active) break;
    if (SignalWakeCount() != signalsAtStart) break;
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
      break;
    }
    if (CallMsgFilterA(&msg, MSGF_MENU)) continue;
    handle(t, msg);
  }
}

// One tracking from start to end; `start` makes the first move.
template <class Start>
void track(HWND owner, HMENU bar, HMENU initMenu, Start start) {
  if (current || !IsWindow(owner)) return;
  Tracking t;
  t.owner = owner;
  t.bar = bar;
  t.active = GetActiveWindow();
  for (int vk = 1; vk < 256; ++vk) t.heldAtStart[static_cast<std::size_t>(vk)] = GetKeyState(vk) < 0;
  current = &t;
  altAlone = false;
  SendMessageA(owner, WM_ENTERMENULOOP, 0, 0);
  if (IsWindow(owner)) SendMessageA(owner, WM_INITMENU, reinterpret_cast<WPARAM>(initMenu), 0);
  if (IsWindow(owner) && !t.ended) {
    SetCapture(owner);
    backend::Current().GrabKeyboard(rootOf(owner));
    start(t);
    loop(t);
  }
  backend::Current().GrabKeyboard(nullptr);
  // The menu-bar key that ended the menu was its press: its release
  // begins no new one.
  altAlone = f10Alone = false;
  closeFrom(t, 0);
  if (IsWindow(owner)) {
    if (t.bar) setMenuLineState(owner, -1, false);
    if (GetCapture() == owner) ReleaseCapture();
    SendMessageA(owner, WM_MENUSELECT, makeWParam(0, 0xFFFF), 0);
    if (IsWindow(owner)) SendMessageA(owner, WM_EXITMENULOOP, 0, 0);
  }
  current = nullptr;
  if (t.replay) replayPress(t.press);
  for (const MSG& m : t.releases)
    if (HWND to = IsWindow(m.hwnd) ? m.hwnd : GetFocus()) PostMessageA(to, m.message, m.wParam, m.lParam);
  if (!t.chosen || !IsWindow(owner)) return;
  if (t.systemCommand)
    PostMessageA(owner, WM_SYSCOMMAND, t.command,
                 MAKELPARAM(pointerPosition().x, pointerPosition().y));
  else
    PostMessageA(owner, WM_COMMAND, makeWParam(t.command, 0), 0);
}

HMENU barOf(HWND hwnd) {
  HMENU bar = GetMenu(hwnd);
  return GetMenuItemCount(bar) > 0 ? bar : nullptr;
}

void trackSystemMenu(HWND hwnd, POINT at) {
  HMENU menu = GetSystemMenu(hwnd, 0);
  if (!menu) return;
  track(hwnd, nullptr, menu, [&](Tracking& t) {
    if (openSub(t, menu, 0, {at.x, at.y, at.x, at.y}, false)) selectFirst(t);
  });
}

void trackByMouse(HWND hwnd, WPARAM hit, POINT at) {
  if (hit == static_cast<WPARAM>(HTSYSMENU)) {
    trackSystemMenu(hwnd, at);
    return;
  }
  HMENU bar = barOf(hwnd);
  if (!bar) return;
  track(hwnd, bar, bar, [&](Tracking& t) { mouseDown(t, at); });
}

void trackByKey(HWND hwnd, unsigned char ch) {
  Window* w = findWindow(hwnd);
  if (!w) return;
  if (ch == ' ') {
    if (w->style & WS_SYSMENU) trackSystemMenu(hwnd, {w->rect.left, w->rect.top});
    return;
  }
  HMENU bar = barOf(hwnd);
  if (!bar) {
    if (ch) MessageBeep(0);
    return;
  }
  track(hwnd, bar, bar, [&](Tracking& t) {
    if (!ch) {
      selectTitle(t, 0, false);  // keyboard mode, no pop-up yet
      return;
    }
    letter(t, ch);
    // A letter that opened nothing ends the menu mode.
    if (t.levels.empty() && t.title < 0) t.ended = true;
  });
}

}  // namespace

void notePress(UINT vk, LPARAM bits) {
  if (vk != VK_MENU)
    altAlone = false;
  else if (!(bits & kWasDown))
    altAlone = true;
  if (vk != VK_F10)
    f10Alone = false;
  else if (!(bits & kWasDown))
    f10Alone = true;
}

void endAltAlone() { altAlone = f10Alone = false; }

bool menuDefault(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    case WM_NCHITTEST: {
      Window* w = findWindow(hwnd);
      if (!w || (w->style & WS_CHILD) || w->client.top <= 0) return false;
      int x = static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam))) - w->rect.left;
      int y = static_cast<short>(HIWORD(static_cast<std::uintptr_t>(lParam))) - w->rect.top;
      if (x < 0 || x >= w->rect.right - w->rect.left || y < 0 || y >= w->client.top) return false;
      result = HTMENU;
      return true;
    }
    case WM_NCLBUTTONDOWN:
      if (wParam != static_cast<WPARAM>(HTMENU)) return false;
      SendMessageA(hwnd, WM_SYSCOMMAND, SC_MOUSEMENU | static_cast<WPARAM>(HTMENU), lParam);
      return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      // Presses made up by the program reach only here.
      notePress(static_cast<UINT>(wParam), lParam);
      return false;
    case WM_SYSKEYUP: {
      bool start = (wParam == VK_MENU && altAlone) || (wParam == VK_F10 && f10Alone);
      altAlone = f10Alone = false;
      if (!start) return false;
      SendMessageA(rootOf(hwnd), WM_SYSCOMMAND, SC_KEYMENU, 0);
      return true;
    }
    case WM_SYSCHAR:
      if (!(lParam & kAltHeld) || wParam < 0x20) return false;
      SendMessageA(rootOf(hwnd), WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wParam));
      return true;
    case WM_SYSCOMMAND: {
      WPARAM command = wParam & 0xFFF0;
      POINT at{static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam))),
               static_cast<short>(HIWORD(static_cast<std::uintptr_t>(lParam)))};
      if (command == SC_MOUSEMENU)
        trackByMouse(hwnd, wParam & 0xF, at);
      else if (command == SC_KEYMENU)
        trackByKey(hwnd, static_cast<unsigned char>(lParam));
      else
        return false;
      return true;
    }
    case WM_CANCELMODE:
      EndMenu();
      return false;
    case WM_ACTIVATE:
      // Activation lost ends the menu even when it comes back before the
      // loop looks (a window manager passing the activation about).
      if (LOWORD(static_cast<std::uintptr_t>(wParam)) == WA_INACTIVE && current && current->active == hwnd) EndMenu();
      return false;
    default:
      return false;
  }
}

}  // namespace win::internal

namespace win {

BOOL EndMenu() {
  if (internal::current) {
    internal::current->ended = true;
    internal::noteArrival();
  }
  return 1;
}

}  // namespace win
