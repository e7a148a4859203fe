// Pop-up menu windows: bare top-level windows of the platform's own class
// that show one menu in the classic look while it is tracked.
//
// Layout, in pixels of the pop-up's client area (which is the whole window):
// - a frame of kFrame on every side: a raised edge of two pixels
//   (COLOR_3DLIGHT and COLOR_3DHILIGHT at the top and left,
//   COLOR_3DDKSHADOW and COLOR_3DSHADOW at the bottom and right) and one
//   pixel of COLOR_MENU;
// - entries one under the other in columns; MF_MENUBREAK and
//   MF_MENUBARBREAK start a new column kColumnGap to the right, a bar break
//   with an etched vertical line in the middle of the gap;
// - a text entry is max(SM_CYMENU - 2, font height + 4) high: a mark
//   column of kMarkWidth (check mark or radio bullet, centred), the label,
//   then, when any entry of the column has one, kAccelGap and the
//   accelerator column (labels left-aligned in it), then kArrowWidth where
//   a pop-up entry shows its arrow;
// - a separator is kSeparatorHeight high with an etched line (COLOR_3DSHADOW
//   over COLOR_3DHILIGHT) at kSeparatorLine from its top;
// - an owner-drawn entry is what WM_MEASUREITEM answered, widened by the
//   check column (SM_CXMENUCHECK - 1), and only its owner draws it;
// - every entry of a column is as wide as the column's widest one.
// The highlighted entry is filled with COLOR_HIGHLIGHT and drawn in
// COLOR_HIGHLIGHTTEXT; grayed labels are embossed (COLOR_3DHILIGHT one
// pixel down and right under COLOR_GRAYTEXT), plain COLOR_GRAYTEXT when
// highlighted; the default entry's label is bold. A pop-up opens below its
// title (above it when there is no room below), a cascade to the right of
// its entry (to the left when there is no room), and stays on the screen.
// A pop-up taller than the screen takes the larger side of its title (the
// screen's height for a cascade) and scrolls: a strip of kArrowHeight at
// its top and at its foot shows an arrow while entries lie beyond it; the
// pointer resting on a strip scrolls by one entry each kScrollDelay, and a
// highlighted entry is scrolled into view. The title stays uncovered, so
// the release of the press that opened the pop-up chooses nothing.
#include <algorithm>
#include <map>

#include "platform/user/menu.h"

namespace win::internal {
namespace {

constexpr int kFrame = 3;
constexpr int kMarkWidth = 16;
constexpr int kAccelGap = 16;
constexpr int kArrowWidth = 14;
constexpr int kColumnGap = 4;
constexpr int kSeparatorHeight = 8;
constexpr int kSeparatorLine = 3;
constexpr int kArrowHeight = 14;
constexpr UINT kScrollDelay = 100;
constexpr UINT_PTR kScrollTimer = 1;
constexpr const char* kPopupClass = "WexlinMenuPopup";

// Marks, one string per row, '#' for a pixel.
struct Mark {
  int width, height;
  const char* rows[7];
};
constexpr Mark kCheck{7, 7, {"......#", ".....##", "#...###", "##.###.", "#####..", ".###...", "..#...."}};
constexpr Mark kBullet{6, 6, {".####.", "######", "######", "######", "######", ".####."}};
constexpr Mark kArrow{4, 7, {"#...", "##..", "###.", "####", "###.", "##..", "#..."}};
constexpr Mark kUpArrow{7, 4, {"...#...", "..###..", ".#####.", "#######"}};
constexpr Mark kDownArrow{7, 4, {"#######", ".#####.", "..###..", "...#..."}};

struct Column {
  int x = 0, width = 0, accelX = 0;
  bool barBreak = false;
};

struct Popup {
  HMENU menu = nullptr;
  HWND owner = nullptr;
  int selected = -1;
  std::vector<int> column;  // per entry
  std::vector<Column> columns;
  SIZE size{};     // the whole menu
  int height = 0;  // the window's: less than size.cy when it scrolls
  int scroll = 0;  // pixels of the menu above the upper strip
  bool scrolls() const { return height < size.cy; }
  // The band the entries show in, in window coordinates.
  int viewTop() const { return scrolls() ? kFrame + kArrowHeight : 0; }
  int viewBottom() const { return scrolls() ? height - kFrame - kArrowHeight : size.cy; }
  int maxScroll() const { return scrolls() ? std::max(0, size.cy - 2 * kFrame - (viewBottom() - viewTop())) : 0; }
  // An entry's rectangle in the window; whether it shows whole.
  RECT place(const RECT& r) const {
    int dy = scrolls() ? kArrowHeight - scroll : 0;
    return {r.left, r.top + dy, r.right, r.bottom + dy};
  }
  bool shows(const RECT& r) const {
    RECT w = place(r);
    return w.top >= viewTop() && w.bottom <= viewBottom();
  }
};

std::map<HWND, Popup>& popups() {
  static std::map<HWND, Popup> map;
  return map;
}

void drawMark(HDC dc, const Mark& mark, int x, int y, COLORREF color) {
  for (int r = 0; r < mark.height; ++r)
    for (int c = 0; c < mark.width; ++c)
      if (mark.rows[r][c] == '#') SetPixel(dc, x + c, y + r, color);
}

struct Fonts {
  HFONT normal = menuFont(false), bold = menuFont(true);
  ~Fonts() {
    DeleteObject(normal);
    DeleteObject(bold);
  }
};

int textHeight(HDC dc) {
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  return tm.tmHeight;
}

// Measures every entry and places it; the owner is asked for owner-drawn
// sizes first (it may change the menu).
bool layout(Popup& p) {
  Menu* m = findMenu(p.menu);
  for (std::size_t i = 0; m && i < m->items.size(); ++i)
    if (m->items[i].flags & MF_OWNERDRAW) {
      measureOwnerDrawn(p.owner, p.menu, static_cast<int>(i));
      m = findMenu(p.menu);
    }
  if (!m) return false;
  HDC dc = CreateCompatibleDC(nullptr);
  Fonts fonts;
  HGDIOBJ old = SelectObject(dc, fonts.normal);
  const int entryHeight = std::max(GetSystemMetrics(SM_CYMENU) - 2, textHeight(dc) + 4);
  const int checkWidth = GetSystemMetrics(SM_CXMENUCHECK) - 1;
  p.columns.assign(1, Column{kFrame, 0, 0, false});
  p.column.assign(m->items.size(), 0);
  // Per column: the widest label and accelerator, and the bottom.
  struct Extent {
    int label = 0, accel = 0, fixed = 0, bottom = kFrame;
  };
  std::vector<Extent> extents(1);
  for (std::size_t i = 0; i < m->items.size(); ++i) {
    MenuItem& item = m->items[i];
    if (i > 0 && (item.flags & (MF_MENUBREAK | MF_MENUBARBREAK))) {
      p.columns.push_back({0, 0, 0, (item.flags & MF_MENUBARBREAK) != 0});
      extents.emplace_back();
    }
    int c = static_cast<int>(p.columns.size()) - 1;
    p.column[i] = c;
    Extent& e = extents.back();
    int height = entryHeight;
    if (isSeparator(item)) {
      height = kSeparatorHeight;
    } else if (item.flags & MF_OWNERDRAW) {
      height = item.size.cy;
      e.fixed = std::max(e.fixed, static_cast<int>(item.size.cx) + checkWidth);
    } else {
      EntryText t = splitEntryText(item.text);
      SelectObject(dc, m->defaultItem == static_cast<int>(i) ? fonts.bold : fonts.normal);
      SIZE s{};
      GetTextExtentPoint32A(dc, t.label.data(), static_cast<int>(t.label.size()), &s);
      e.label = std::max(e.label, static_cast<int>(s.cx));
      if (!t.accel.empty()) {
        SelectObject(dc, fonts.normal);
        GetTextExtentPoint32A(dc, t.accel.data(), static_cast<int>(t.accel.size()), &s);
        e.accel = std::max(e.accel, static_cast<int>(s.cx));
      }
    }
    item.rect = {0, e.bottom, 0, e.bottom + height};
    e.bottom += height;
  }
  int x = kFrame, bottom = kFrame;
  for (std::size_t c = 0; c < p.columns.size(); ++c) {
    const Extent& e = extents[c];
    Column& col = p.columns[c];
    if (c > 0) x += kColumnGap;
    col.x = x;
    col.accelX = x + kMarkWidth + e.label + kAccelGap;
    col.width = std::max(kMarkWidth + e.label + (e.accel ? kAccelGap + e.accel : 0) + kArrowWidth, e.fixed);
    x += col.width;
    bottom = std::max(bottom, e.bottom);
  }
  for (std::size_t i = 0; i < m->items.size(); ++i) {
    const Column& col = p.columns[static_cast<std::size_t>(p.column[i])];
    m->items[i].rect.left = col.x;
    m->items[i].rect.right = col.x + col.width;
  }
  p.size = {x + kFrame, bottom + kFrame};
  SelectObject(dc, old);
  DeleteDC(dc);
  return true;
}

bool isDisabledState(UINT state) { return state & (ODS_GRAYED | ODS_DISABLED); }

void drawEntry(HDC dc, HWND hwnd, const Popup& p, int index, UINT action) {
  Menu* m = findMenu(p.menu);
  if (!m || index < 0 || static_cast<std::size_t>(index) >= m->items.size()) return;
  const MenuItem& item = m->items[static_cast<std::size_t>(index)];
  if (!p.shows(item.rect)) return;
  const RECT r = p.place(item.rect);
  bool lit = p.selected == index;
  if (item.flags & MF_OWNERDRAW) {
    UINT state = (lit ? ODS_SELECTED : 0) | (item.flags & MF_GRAYED ? ODS_GRAYED : 0) |
                 (item.flags & MF_DISABLED ? ODS_DISABLED : 0) | (item.flags & MF_CHECKED ? ODS_CHECKED : 0);
    bool popup = item.flags & MF_POPUP;
    UINT id = popup ? static_cast<UINT>(index) : item.id;
    RECT box = r;
    DRAWITEMSTRUCT di{ODT_MENU, 0, id, action, state, reinterpret_cast<HWND>(p.menu), dc, box, item.data};
    SendMessageA(p.owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
    // The sub-menu arrow is the system's even on an owner-drawn entry.
    if (popup && findMenu(p.menu)) {
      COLORREF color = GetSysColor(isDisabledState(state) ? COLOR_GRAYTEXT : lit ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
      drawMark(dc, kArrow, box.right - kArrowWidth + (kArrowWidth - kArrow.width) / 2,
               box.top + (box.bottom - box.top - kArrow.height) / 2, color);
    }
    return;
  }
  if (isSeparator(item)) {
    fillRect(dc, r, GetSysColor(COLOR_MENU));
    int y = r.top + kSeparatorLine;
    fillRect(dc, {r.left + 1, y, r.right - 1, y + 1}, GetSysColor(COLOR_3DSHADOW));
    fillRect(dc, {r.left + 1, y + 1, r.right - 1, y + 2}, GetSysColor(COLOR_3DHILIGHT));
    return;
  }
  fillRect(dc, r, GetSysColor(lit ? COLOR_HIGHLIGHT : COLOR_MENU));
  bool grayed = isDisabled(item);
  bool embossed = grayed && !lit;
  COLORREF color = GetSysColor(grayed && lit ? COLOR_GRAYTEXT : lit ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
  auto mark = [&](const Mark& k, int x) {
    int y = r.top + (r.bottom - r.top - k.height) / 2;
    if (embossed) drawMark(dc, k, x + 1, y + 1, GetSysColor(COLOR_3DHILIGHT));
    drawMark(dc, k, x, y, embossed ? GetSysColor(COLOR_GRAYTEXT) : color);
  };
  if (item.flags & MF_CHECKED) {
    const Mark& k = (item.flags & MF_RADIOCHECK) ? kBullet : kCheck;
    mark(k, r.left + (kMarkWidth - k.width) / 2);
  }
  if (item.flags & MF_POPUP) mark(kArrow, r.right - kArrowWidth + (kArrowWidth - kArrow.width) / 2);
  Fonts fonts;
  HGDIOBJ old = SelectObject(dc, m->defaultItem == index ? fonts.bold : fonts.normal);
  SetBkMode(dc, TRANSPARENT);
  int y = r.top + (r.bottom - r.top - textHeight(dc)) / 2;
  EntryText t = splitEntryText(item.text);
  drawEntryLabel(dc, r.left + kMarkWidth, y, t, color, embossed);
  if (!t.accel.empty()) {
    SelectObject(dc, fonts.normal);
    const Column& col = p.columns[static_cast<std::size_t>(p.column[static_cast<std::size_t>(index)])];
    drawEntryLabel(dc, col.accelX, y, EntryText{t.accel, {}, -1}, color, embossed);
  }
  SelectObject(dc, old);
  (void)hwnd;
}

void paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  auto it = popups().find(hwnd);
  if (dc && it != popups().end()) {
    Popup p = it->second;  // the owner may close pop-ups while it draws
    RECT all{0, 0, p.size.cx, p.height};
    fillRect(dc, all, GetSysColor(COLOR_MENU));
    drawEdge(dc, all, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW));
    drawEdge(dc, {1, 1, all.right - 1, all.bottom - 1}, GetSysColor(COLOR_3DHILIGHT), GetSysColor(COLOR_3DSHADOW));
    for (const Column& c : p.columns)
      if (c.barBreak) {
        int x = c.x - kColumnGap / 2 - 1;
        fillRect(dc, {x, kFrame, x + 1, all.bottom - kFrame}, GetSysColor(COLOR_3DSHADOW));
        fillRect(dc, {x + 1, kFrame, x + 2, all.bottom - kFrame}, GetSysColor(COLOR_3DHILIGHT));
      }
    if (Menu* m = findMenu(p.menu))
      for (std::size_t i = 0; i < m->items.size() && IsWindow(hwnd); ++i)
        drawEntry(dc, hwnd, p, static_cast<int>(i), ODA_DRAWENTIRE);
    if (p.scrolls()) {
      COLORREF ink = GetSysColor(COLOR_MENUTEXT);
      int x = (p.size.cx - kUpArrow.width) / 2;
      if (p.scroll > 0) drawMark(dc, kUpArrow, x, kFrame + (kArrowHeight - kUpArrow.height) / 2, ink);
      if (p.scroll < p.maxScroll())
        drawMark(dc, kDownArrow, x, p.viewBottom() + (kArrowHeight - kDownArrow.height) / 2, ink);
    }
  }
  EndPaint(hwnd, &ps);
}

// Scrolls by `scroll` pixels of the menu, kept within it; repaints when it
// moved.
void scrollTo(HWND hwnd, Popup& p, int scroll) {
  scroll = std::max(0, std::min(scroll, p.maxScroll()));
  if (scroll == p.scroll) return;
  p.scroll = scroll;
  InvalidateRect(hwnd, nullptr, 0);
  UpdateWindow(hwnd);
}

// One entry further up (step -1) or down (step 1).
void scrollByEntry(HWND hwnd, Popup& p, int step) {
  Menu* m = findMenu(p.menu);
  if (!m) return;
  int first = -1;
  for (std::size_t i = 0; i < m->items.size() && first < 0; ++i)
    if (p.column[i] == 0 && p.shows(m->items[i].rect)) first = static_cast<int>(i);
  int next = first + step;
  if (first < 0 || next < 0 || static_cast<std::size_t>(next) >= m->items.size()) return;
  scrollTo(hwnd, p, m->items[static_cast<std::size_t>(next)].rect.top - kFrame);
}

// The pointer resting on a strip scrolls.
void scrollTick(HWND hwnd) {
  auto it = popups().find(hwnd);
  POINT pt{};
  RECT wr{};
  if (it == popups().end() || !GetCursorPos(&pt) || !GetWindowRect(hwnd, &wr)) return;
  Popup& p = it->second;
  int y = pt.y - wr.top;
  if (pt.x < wr.left || pt.x >= wr.right || y < 0 || y >= p.height) return;
  if (y < p.viewTop()) scrollByEntry(hwnd, p, -1);
  else if (y >= p.viewBottom()) scrollByEntry(hwnd, p, 1);
}

LRESULT popupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      paint(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_TIMER:
      if (wParam == kScrollTimer) scrollTick(hwnd);
      return 0;
    case WM_NCDESTROY:
      popups().erase(hwnd);
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool registerPopupClass() {
  if (findClass(kPopupClass)) return true;
  WNDCLASSA wc{};
  wc.style = CS_SAVEBITS;
  wc.lpfnWndProc = popupProc;
  wc.lpszClassName = kPopupClass;
  return RegisterClassA(&wc) != 0;
}

}  // namespace

HWND openPopupWindow(HWND owner, HMENU menu, const RECT& anchor, bool cascade) {
  if (!registerPopupClass()) return nullptr;
  Popup p;
  p.menu = menu;
  p.owner = owner;
  if (!layout(p)) return nullptr;
  SIZE screen = backend::Current().ScreenSize();
  int x = anchor.left, y = anchor.bottom;
  if (cascade) {
    x = anchor.right;
    y = anchor.top - kFrame;
    if (x + p.size.cx > screen.cx) x = anchor.left - p.size.cx;
  } else if (y + p.size.cy > screen.cy && anchor.top - p.size.cy >= 0) {
    y = anchor.top - p.size.cy;
  }
  p.height = p.size.cy;
  if (p.size.cy > screen.cy) {
    // Too tall for the screen: a cascade takes its height, a pop-up the
    // larger side of its title; either scrolls.
    int below = screen.cy - anchor.bottom, above = anchor.top;
    if (cascade) {
      y = 0;
      p.height = screen.cy;
    } else if (below >= above) {
      y = anchor.bottom;
      p.height = below;
    } else {
      y = 0;
      p.height = above;
    }
    p.height = std::max(p.height, 2 * (kFrame + kArrowHeight) + 1);
  }
  x = std::max(0, std::min(x, static_cast<int>(screen.cx - p.size.cx)));
  y = std::max(0, std::min(y, static_cast<int>(screen.cy - p.height)));
  HWND hwnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPopupClass, "", WS_POPUP, x, y, p.size.cx,
                              p.height, owner, nullptr, nullptr, nullptr);
  if (!hwnd) return nullptr;
  if (p.scrolls()) SetTimer(hwnd, kScrollTimer, kScrollDelay, nullptr);
  popups()[hwnd] = std::move(p);
  SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
  UpdateWindow(hwnd);
  return IsWindow(hwnd) ? hwnd : nullptr;
}

void closePopupWindow(HWND popup) {
  if (Menu* m = popups().count(popup) ? findMenu(popups()[popup].menu) : nullptr)
    for (MenuItem& item : m->items) item.flags &= ~MF_HILITE;
  if (IsWindow(popup)) DestroyWindow(popup);
}

void selectPopupEntry(HWND popup, int index) {
  auto it = popups().find(popup);
  if (it == popups().end() || it->second.selected == index) return;
  Popup& p = it->second;
  int old = p.selected;
  p.selected = index;
  Menu* m = findMenu(p.menu);
  if (m)
    for (std::size_t i = 0; i < m->items.size(); ++i)
      m->items[i].flags = (m->items[i].flags & ~MF_HILITE) | (static_cast<int>(i) == index ? MF_HILITE : 0);
  // A highlighted entry beyond a strip scrolls into view.
  if (m && index >= 0 && static_cast<std::size_t>(index) < m->items.size()) {
    const RECT& r = m->items[static_cast<std::size_t>(index)].rect;
    RECT w = p.place(r);
    int before = p.scroll;
    if (w.top < p.viewTop()) scrollTo(popup, p, r.top - kFrame);
    else if (w.bottom > p.viewBottom()) scrollTo(popup, p, p.scroll + w.bottom - p.viewBottom());
    if (p.scroll != before) return;
  }
  Popup copy = p;
  HDC dc = GetDC(popup);
  drawEntry(dc, popup, copy, old, ODA_SELECT);
  if (IsWindow(popup)) drawEntry(dc, popup, copy, index, ODA_SELECT);
  ReleaseDC(popup, dc);
}

int popupSelection(HWND popup) {
  auto it = popups().find(popup);
  return it == popups().end() ? -1 : it->second.selected;
}

int popupEntryAt(HWND popup, POINT screen, bool* inside) {
  RECT wr{};
  *inside = GetWindowRect(popup, &wr) && screen.x >= wr.left && screen.x < wr.right && screen.y >= wr.top &&
            screen.y < wr.bottom;
  auto it = popups().find(popup);
  Menu* m = it == popups().end() ? nullptr : findMenu(it->second.menu);
  if (!*inside || !m) return -1;
  POINT p{screen.x - wr.left, screen.y - wr.top};
  const Popup& shown = it->second;
  for (std::size_t i = 0; i < m->items.size(); ++i) {
    if (!shown.shows(m->items[i].rect)) continue;
    const RECT r = shown.place(m->items[i].rect);
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return static_cast<int>(i);
  }
  return -1;
}

HWND popupShowing(HMENU menu) {
  for (const auto& [hwnd, p] : popups())
    if (p.menu == menu) return hwnd;
  return nullptr;
}

RECT popupEntryOnScreen(HWND popup, int index) {
  RECT wr{};
  GetWindowRect(popup, &wr);
  auto it = popups().find(popup);
  Menu* m = it == popups().end() ? nullptr : findMenu(it->second.menu);
  if (!m || index < 0 || static_cast<std::size_t>(index) >= m->items.size()) return wr;
  RECT r = it->second.place(m->items[static_cast<std::size_t>(index)].rect);
  return {wr.left + r.left, wr.top + r.top, wr.left + r.right, wr.top + r.bottom};
}

}  // namespace win::internal
