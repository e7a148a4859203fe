// The menu line: the non-client strip above a top-level window's client
// area that shows its menu's titles.
//
// Layout: rows of GetSystemMetrics(SM_CYMENU) pixels from the window's top
// edge. A title is its label's width plus kTitlePad on either side (an
// owner-drawn title: its measured width plus the check column's width, as
// in pop-ups); a title that does not fit after another one starts the next
// row. Titles are drawn in COLOR_MENUTEXT on COLOR_MENU, the mnemonic
// underlined, grayed ones embossed; the title highlighted from the
// keyboard is raised by one pixel, the open one sunken with its label one
// pixel down and right. An owner-drawn title is ODS_SELECTED while it is
// highlighted, open or not.
#include <algorithm>
#include <map>

#include "platform/gdi/internal.h"
#include "platform/user/menu.h"
#include "platform/win/test.h"

namespace win::internal {
namespace {

constexpr int kTitlePad = 6;

struct LineState {
  int selected = -1;
  bool open = false;
};
std::map<HWND, LineState>& lineStates() {
  static std::map<HWND, LineState> states;
  return states;
}

std::vector<HWND>& marked() {
  static std::vector<HWND> list;
  return list;
}

// The window's bar when it shows a line: top-level, a live menu with
// entries.
Menu* barOf(const Window& w) {
  if (w.style & WS_CHILD) return nullptr;
  Menu* m = findMenu(w.menu);
  return m && !m->items.empty() ? m : nullptr;
}

COLORREF sys(int index) { return GetSysColor(index); }

// A maximized document's system menu in its frame's line: shown as the
// document's small icon.
HWND documentOfEntry(HWND frame, const MenuItem& item) {
  HWND doc = (item.flags & MF_POPUP) ? mdiMaximizedChild(frame) : nullptr;
  Window* d = findWindow(doc);
  return d && d->systemMenu == item.sub ? doc : nullptr;
}

}  // namespace

void fillRect(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH b = CreateSolidBrush(color);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

HFONT menuFont(bool bold) {
  NONCLIENTMETRICSA m{};
  m.cbSize = sizeof m;
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
  if (bold) m.lfMenuFont.lfWeight = FW_BOLD;
  return CreateFontIndirectA(&m.lfMenuFont);
}

void measureOwnerDrawn(HWND owner, HMENU menu, int position) {
  Menu* m = findMenu(menu);
  if (!m || position < 0 || static_cast<std::size_t>(position) >= m->items.size()) return;
  MenuItem& item = m->items[static_cast<std::size_t>(position)];
  if (!(item.flags & MF_OWNERDRAW) || item.measured) return;
  UINT id = (item.flags & MF_POPUP) ? static_cast<UINT>(position) : item.id;
  MEASUREITEMSTRUCT mi{ODT_MENU, 0, id, 0, 0, item.data};
  SendMessageA(owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi));
  // The send may have changed the menu.
  if (!(m = findMenu(menu)) || static_cast<std::size_t>(position) >= m->items.size()) return;
  MenuItem& again = m->items[static_cast<std::size_t>(position)];
  again.size = {static_cast<LONG>(mi.itemWidth), static_cast<LONG>(mi.itemHeight)};
  again.measured = true;
}

void drawLabel(HDC dc, int x, int y, const EntryText& text, COLORREF color) {
  SetTextColor(dc, color);
  TextOutA(dc, x, y, text.label.data(), static_cast<int>(text.label.size()));
  if (text.mnemonic < 0) return;
  SIZE before{}, mark{};
  GetTextExtentPoint32A(dc, text.label.data(), text.mnemonic, &before);
  GetTextExtentPoint32A(dc, text.label.data() + text.mnemonic, 1, &mark);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  RECT line{x + before.cx, y + tm.tmAscent + 1, x + before.cx + mark.cx, y + tm.tmAscent + 2};
  fillRect(dc, line, color);
}

void drawEntryLabel(HDC dc, int x, int y, const EntryText& text, COLORREF color, bool embossed) {
  if (embossed) {
    drawLabel(dc, x + 1, y + 1, text, sys(COLOR_3DHILIGHT));
    color = sys(COLOR_GRAYTEXT);
  }
  drawLabel(dc, x, y, text, color);
}

void drawEdge(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
  fillRect(dc, {r.left, r.top, r.right - 1, r.top + 1}, topLeft);
  fillRect(dc, {r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
  fillRect(dc, {r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
  fillRect(dc, {r.right - 1, r.top, r.right, r.bottom}, bottomRight);
}

int menuLineHeight(Window& w, int width) {
  Menu* bar = barOf(w);
  if (!bar) return 0;
  HMENU menu = w.menu;
  HWND hwnd = w.handle;
  const int rowHeight = GetSystemMetrics(SM_CYMENU);
  // Owner-drawn titles are measured first: the owner may change things.
  for (std::size_t i = 0; i < bar->items.size(); ++i)
    if (bar->items[i].flags & MF_OWNERDRAW) {
      measureOwnerDrawn(hwnd, menu, static_cast<int>(i));
      if (!(bar = findMenu(menu))) return 0;
    }
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = menuFont(false);
  HGDIOBJ old = SelectObject(dc, font);
  int x = 0, row = 0;
  // The maximized document's buttons keep the first row's end.
  if (mdiMaximizedChild(hwnd)) width -= barButtonsWidth();
  for (MenuItem& item : bar->items) {
    int cx;
    if (documentOfEntry(hwnd, item)) {
      cx = GetSystemMetrics(SM_CXSMICON) + 4;
    } else if (item.flags & MF_OWNERDRAW) {
      cx = item.size.cx + GetSystemMetrics(SM_CXMENUCHECK) - 1;
    } else {
      EntryText t = splitEntryText(item.text);
      SIZE s{};
      GetTextExtentPoint32A(dc, t.label.data(), static_cast<int>(t.label.size()), &s);
      cx = s.cx + 2 * kTitlePad;
    }
    if (x > 0 && (x + cx > width || (item.flags & (MF_MENUBREAK | MF_MENUBARBREAK)))) {
      x = 0;
      ++row;
    }
    item.rect = {x, row * rowHeight, x + cx, (row + 1) * rowHeight};
    x += cx;
  }
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  return (row + 1) * rowHeight;
}

void markMenuLine(Window& w) {
  if (std::find(marked().begin(), marked().end(), w.handle) == marked().end()) marked().push_back(w.handle);
  noteArrival();
}

void paintMenuLines() {
  if (marked().empty()) return;
  std::vector<HWND> list;
  list.swap(marked());
  for (HWND h : list) {
    Window* w = findWindow(h);
    if (!w) continue;
    if (!IsWindowVisible(h) || w->minimized)
      marked().push_back(h);  // painted once it shows
    else if (hasDocumentFrame(*w))
      paintDocumentFrame(h);
    else if (isMdiClient(h))
      paintMdiScrollBars(h);
    else
      paintMenuLine(h);
  }
}

void paintMenuLine(HWND hwnd) {
  Window* w = findWindow(hwnd);
  Menu* bar = w ? barOf(*w) : nullptr;
  if (!bar || w->client.top <= 0) return;
  HMENU menu = w->menu;
  LineState state = lineStates()[hwnd];
  HDC dc = GetWindowDC(hwnd);
  RECT line{0, 0, w->rect.right - w->rect.left, w->client.top};
  fillRect(dc, line, sys(COLOR_MENU));
  HFONT font = menuFont(false);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  for (std::size_t i = 0; i < bar->items.size(); ++i) {
    const MenuItem& item = bar->items[i];
    bool selected = state.selected == static_cast<int>(i);
    bool open = selected && state.open;
    if (HWND doc = documentOfEntry(hwnd, item)) {
      COLORREF ground = selected ? sys(COLOR_HIGHLIGHT) : sys(COLOR_MENU);
      fillRect(dc, item.rect, ground);
      drawDocumentIcon(doc, dc, item.rect, ground);
      continue;
    }
    if (item.flags & MF_OWNERDRAW) {
      UINT itemState = (selected ? ODS_SELECTED : 0) | (item.flags & MF_GRAYED ? ODS_GRAYED : 0) |
                       (item.flags & MF_DISABLED ? ODS_DISABLED : 0);
      UINT id = (item.flags & MF_POPUP) ? static_cast<UINT>(i) : item.id;
      DRAWITEMSTRUCT di{ODT_MENU, 0, id, ODA_DRAWENTIRE, itemState, reinterpret_cast<HWND>(menu), dc, item.rect,
                        item.data};
      SendMessageA(hwnd, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
      if (!findWindow(hwnd) || !(bar = findMenu(menu))) break;
      continue;
    }
    if (open)
      drawEdge(dc, item.rect, sys(COLOR_3DSHADOW), sys(COLOR_3DHILIGHT));
    else if (selected)
      drawEdge(dc, item.rect, sys(COLOR_3DHILIGHT), sys(COLOR_3DSHADOW));
    int shift = open ? 1 : 0;
    int y = item.rect.top + (item.rect.bottom - item.rect.top - tm.tmHeight) / 2 + shift;
    drawEntryLabel(dc, item.rect.left + kTitlePad + shift, y, splitEntryText(item.text), sys(COLOR_MENUTEXT),
                   isDisabled(item));
  }
  SelectObject(dc, oldFont);
  DeleteObject(font);
  if (findWindow(hwnd)) paintBarButtons(hwnd, dc);
  ReleaseDC(hwnd, dc);
}

int menuTitleAt(HWND hwnd, POINT screen) {
  Window* w = findWindow(hwnd);
  Menu* bar = w ? barOf(*w) : nullptr;
  if (!bar) return -1;
  POINT p{screen.x - w->rect.left, screen.y - w->rect.top};
  if (p.y < 0 || p.y >= w->client.top) return -1;
  for (std::size_t i = 0; i < bar->items.size(); ++i) {
    const RECT& r = bar->items[i].rect;
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return static_cast<int>(i);
  }
  return -1;
}

void setMenuLineState(HWND hwnd, int selected, bool open) {
  if (selected < 0)
    lineStates().erase(hwnd);
  else
    lineStates()[hwnd] = {selected, open};
  if (findWindow(hwnd)) paintMenuLine(hwnd);
}

}  // namespace win::internal

namespace win::test {

bool MenuEntryRect(HWND owner, HMENU menu, int position, RECT* rect) {
  internal::Window* w = internal::findWindow(owner);
  internal::Menu* m = internal::findMenu(menu);
  if (!w || !m || !rect || position < 0 || static_cast<std::size_t>(position) >= m->items.size()) return false;
  if (menu == w->menu) {
    RECT r = m->items[static_cast<std::size_t>(position)].rect;
    *rect = {r.left + w->rect.left, r.top + w->rect.top, r.right + w->rect.left, r.bottom + w->rect.top};
    return w->client.top > 0;
  }
  HWND popup = internal::popupShowing(menu);
  if (!popup) return false;
  *rect = internal::popupEntryOnScreen(popup, position);
  return true;
}

}  // namespace win::test
