// The multiple-document client "MDICLIENT": document windows made and
// destroyed on request, the active one with its activation messages, the
// next and previous ones, cascading, tiling and icon arrangement, and the
// frame's menu.
//
// The multiple-document interface (`platform/user/mdi_client.cpp`, `mdi_frame.cpp`): "MDICLIENT" is
// registered with the platform's classes before the first class lookup, so `GetClassInfoA` hands
// out its procedure for a subclass to call. The client keeps its window menu, first identifier and
// active document. `WM_MDICREATE` makes a `WS_CHILD` document whatever style it asks
// (`CW_USEDEFAULT`: the next cascade place, steps of `SM_CYCAPTION` + `SM_CYFRAME`, three quarters
// of the client), with the request as its create parameters, maximized when the active one is;
// activation tells the one losing it first (`WM_NCACTIVATE` 0, then `WM_MDIACTIVATE`), then the one
// gaining it, which goes to the top and takes the focus when the frame is active; a maximized state
// passes to the newly active document. `WM_MDINEXT` moves to the document below and puts the one
// left at the bottom (so Ctrl+F6 visits all); the previous is the bottom one. Cascade ends every
// window at the client's bottom right; tile is a grid of ceil(sqrt(n)) lines, the last one shared
// among fewer. The client made with `WS_HSCROLL`/`WS_VSCROLL` shows that bar while shown documents
// (not icons) lie beyond its area, none while one is maximized (`mdi_scroll.cpp`): the bars are
// measured again before the next painting whenever a document moves, comes or goes or the client
// changes size, take their strip in `WM_NCCALCSIZE` and are drawn in the non-client part; a press
// on an arrow or the trough sends `WM_VSCROLL`/`WM_HSCROLL` with its `SB_` code (again while held),
// the thumb sends `SB_THUMBTRACK` and `SB_THUMBPOSITION`, the release `SB_ENDSCROLL`; the client's
// own procedure moves every document by the amount. Children show and are hit only inside their
// parent's client area. A window menu gets no window list. `DefFrameProcA` moves the client over
// the frame's client area on `WM_SIZE` (through `WM_WINDOWPOSCHANGING`, where the main view's
// subclass puts it back on its own rectangle) and passes the focus to the active document or the
// client. `TranslateMDISysAccel` turns Ctrl+F4, Ctrl+F6 and Ctrl+Tab (Shift: previous; not with
// Alt) into the active document's `WM_SYSCOMMAND`. Document frames (`mdi_paint.cpp`): a window with
// `WS_EX_MDICHILD` (every one `WM_MDICREATE` makes), and what `AdjustWindowRectEx` answers for a
// captioned `WS_CHILD` style, has a 4-pixel sizing border (`SM_CXFRAME`) and a caption of
// `SM_CYCAPTION` with the small icon as system box, the title and 18 x 18 minimize, maximize
// (restore) and close places; top-level and pop-up styles keep no insets. Its `WM_NCHITTEST`
// answers the part (corners reach `SM_CYCAPTION` + `SM_CYFRAME` along each edge; `HTBORDER` without
// `WS_THICKFRAME`). The frame is painted with the menu lines (the same marking before `WM_PAINT`
// goes), in the active or inactive caption colours as its client's active document or not; a
// maximized document's `WM_GETMINMAXINFO` puts the frame outside the client so its client area is
// the client's. The pointer on the frame (`mdi_track.cpp`): a press activates the document; on the
// caption it sends `SC_MOVE`, on a border `SC_SIZE` with the edge in the low bits, and the
// document's default processing runs the full-window loop from the press's point
// (`WM_ENTERSIZEMOVE`, `WM_GETMINMAXINFO`, a move per pointer message, `WM_EXITSIZEMOVE`; the
// capture held, `MSGF_MOVE`/`MSGF_SIZE` filters, Escape restores, Enter keeps). A procedure that
// answers `SC_MOVE` itself starts no loop. The caption buttons are drawn sunken while held over and
// act on a release over the button they were pressed on; a second caption press within the
// double-click time and half the double-click size maximizes or restores. A request with every
// style bit set (the framework's document without a caption of its own) makes a plain
// `WS_OVERLAPPEDWINDOW` document with no state bits. Icons: a minimized document is a frameless 36
// x 36 window (all of it `HTCAPTION`) in the first free cell of a row along the client's bottom
// (cells 76 wide; `WM_MDIICONARRANGE` packs them), its title drawn by the client's paint under it
// (the active one's in the active caption's colours); it erases through `WM_ICONERASEBKGND`
// (`COLOR_APPWORKSPACE`), and its default paint draws the class icon at (2, 2); it is visible to
// the drawing layer and gets `WM_PAINT` (other minimized windows do not). A press on an icon
// activates it, a press on the active one opens its system menu under it, and a double click
// restores it (also when the second press ends that menu). The document system menu says
// "Close\tCtrl+F4" and has "Next\tCtrl+F6" in place of Switch To; the system box, Alt+minus (the
// frame's `SC_KEYMENU` "-" passed to the active document) and a click on an active icon open it.
// Maximized: the active maximized document's system menu is entry 0 of the frame's menu (drawn as
// its small icon, so `GetMenuItemCount` grows by one), its minimize, restore and close buttons sit
// at the end of the first menu row (not entries; `DefFrameProcA` tracks them), and the frame's
// title is "Frame - [Document]" (a text set on the frame meanwhile becomes its own part, the name
// kept after it); the entry and title follow activation, restore, close and `WM_MDISETMENU` (which
// moves the entry to the new menu and hands the old one back without it). A document that moves or
// goes exposes the siblings it lay over, not only the client. A resized client refits its maximized
// document and moves the icon row to its new bottom.
#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "platform/user/menu.h"

namespace win {
namespace {

using internal::findWindow;
using internal::Window;

constexpr const char* kClientClass = "MDICLIENT";

struct Client {
  HMENU windowMenu = nullptr;
  UINT firstId = 0;
  HWND active = nullptr;
  int cascade = 0;  // the next default position, in cascade steps
  // The maximized document whose system menu is entry 0 of the frame's
  // menu, and the frame's own title meanwhile.
  HWND inBar = nullptr;
  HMENU barMenu = nullptr;
  std::string frameTitle;
};

std::map<HWND, Client>& clients() {
  static std::map<HWND, Client> all;
  return all;
}

Client* clientRecord(HWND client) {
  auto it = clients().find(client);
  return it == clients().end() ? nullptr : &it->second;
}

bool isDocument(HWND client, HWND child) {
  Window* w = findWindow(child);
  return w && w->parent == client && !w->destroying;
}

// Document windows top of the z-order first.
std::vector<HWND> documents(HWND client) {
  std::vector<HWND> out;
  if (Window* c = findWindow(client))
    for (HWND h : c->children)
      if (isDocument(client, h)) out.push_back(h);
  return out;
}

int cascadeStep() { return GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME); }

SIZE clientSize(HWND client) {
  RECT r{};
  GetClientRect(client, &r);
  return {r.right, r.bottom};
}

void place(HWND child, int x, int y, int cx, int cy) {
  SetWindowPos(child, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The documents to lay out: shown, neither minimized nor maximized (a
// maximized active one is restored first), bottom of the z-order first.
std::vector<HWND> arranged(HWND client) {
  if (HWND active = internal::mdiActiveChild(client); active && IsZoomed(active)) ShowWindow(active, SW_RESTORE);
  std::vector<HWND> out;
  for (HWND h : documents(client))
    if (IsWindowVisible(h) && !IsIconic(h)) out.insert(out.begin(), h);
  return out;
}

bool anyIconic(HWND client) {
  for (HWND h : documents(client))
    if (IsIconic(h)) return true;
  return false;
}

// Icons sit in a row along the client's bottom, in cells this wide.
constexpr int kIconCell = 76;
constexpr int kIconSize = 36;
int iconRowHeight(HWND client) { return anyIconic(client) ? kIconSize + GetSystemMetrics(SM_CYMENU) : 0; }

// Each one step right and down from the one below it; all end at the
// client's bottom right.
void cascade(HWND client) {
  std::vector<HWND> list = arranged(client);
  SIZE area = clientSize(client);
  area.cy -= iconRowHeight(client);
  int n = static_cast<int>(list.size()), step = cascadeStep();
  for (int i = 0; i < n; ++i)
    place(list[static_cast<std::size_t>(i)], i * step, i * step, std::max(area.cx - (n - 1) * step, 1),
          std::max(area.cy - (n - 1) * step, 1));
}

// A grid of ceil(sqrt(n)) columns (rows when horizontal); the last line
// shares its length among fewer windows.
void tile(HWND client, bool horizontal) {
  std::vector<HWND> list = arranged(client);
  if (list.empty()) return;
  std::reverse(list.begin(), list.end());  // the top one first
  SIZE area = clientSize(client);
  area.cy -= iconRowHeight(client);
  int n = static_cast<int>(list.size());
  int lines = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
  int across = (n + lines - 1) / lines;  // windows per line
  lines = (n + across - 1) / across;
  int along = horizontal ? area.cx : area.cy, span = horizontal ? area.cy : area.cx;
  for (int line = 0, i = 0; line < lines; ++line) {
    int count = std::min(across, n - i);
    for (int k = 0; k < count; ++k, ++i) {
      int a0 = span * line / lines, a1 = span * (line + 1) / lines;
      int b0 = along * k / count, b1 = along * (k + 1) / count;
      HWND h = list[static_cast<std::size_t>(i)];
      if (horizontal)
        place(h, b0, a0, b1 - b0, a1 - a0);
      else
        place(h, a0, b0, a1 - a0, b1 - b0);
    }
  }
}

RECT iconCell(HWND client, int index) {
  SIZE area = clientSize(client);
  int left = index * kIconCell + (kIconCell - kIconSize) / 2, top = area.cy - kIconSize - GetSystemMetrics(SM_CYMENU);
  return {left, top, left + kIconSize, top + kIconSize};
}

void arrangeIcons(HWND client) {
  int i = 0;
  std::vector<HWND> list = documents(client);
  std::reverse(list.begin(), list.end());
  for (HWND h : list)
    if (IsIconic(h)) {
      RECT r = iconCell(client, i++);
      place(h, r.left, r.top, kIconSize, kIconSize);
    }
  InvalidateRect(client, nullptr, 1);  // the titles under the icons
}

// The titles under the icons, in the client's ground.
void paintIconTitles(HWND client, HDC dc) {
  HFONT font = internal::menuFont(false);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  HWND active = internal::mdiActiveChild(client);
  for (HWND h : documents(client)) {
    Window* w = findWindow(h);
    if (!w || !w->minimized || !(w->style & WS_VISIBLE)) continue;
    RECT r = internal::iconTitleRect(*w);
    SIZE size{};
    GetTextExtentPoint32A(dc, w->title.c_str(), static_cast<int>(w->title.size()), &size);
    int x = std::max(r.left, (r.left + r.right - size.cx) / 2);
    // The active icon's title shows in the active caption's colours.
    SetTextColor(dc, GetSysColor(h == active ? COLOR_CAPTIONTEXT : COLOR_WINDOWTEXT));
    if (h == active)
      internal::fillRect(dc, {x - 2, r.top, std::min(r.right, x + size.cx + 2), std::min(r.bottom, r.top + size.cy + 2)},
                         GetSysColor(COLOR_ACTIVECAPTION));
    ExtTextOutA(dc, x, r.top + 1, ETO_CLIPPED, &r, w->title.c_str(), static_cast<UINT>(w->title.size()), nullptr);
  }
  SelectObject(dc, old);
  DeleteObject(font);
}

// The document system menu's own entries: Close by Ctrl+F4, and Next in
// place of Switch To.
void documentSystemMenu(HWND child) {
  HMENU m = GetSystemMenu(child, 0);
  ModifyMenuA(m, static_cast<UINT>(SC_CLOSE), MF_BYCOMMAND | MF_STRING, SC_CLOSE, "&Close\tCtrl+F4");
  ModifyMenuA(m, static_cast<UINT>(SC_TASKLIST), MF_BYCOMMAND | MF_STRING, SC_NEXTWINDOW, "Nex&t\tCtrl+F6");
}

HWND createDocument(HWND client, const MDICREATESTRUCTA* mcs) {
  Client* c = clientRecord(client);
  if (!c || !mcs) return nullptr;
  int x = mcs->x, y = mcs->y, cx = mcs->cx, cy = mcs->cy;
  SIZE area = clientSize(client);
  if (x == CW_USEDEFAULT) {
    // The next cascade position that still leaves room to see the window.
    int step = cascadeStep();
    if ((c->cascade + 1) * step * 4 > std::min(area.cx, area.cy) * 3) c->cascade = 0;
    x = y = c->cascade++ * step;
  }
  if (cx == CW_USEDEFAULT) cx = area.cx * 3 / 4, cy = area.cy * 3 / 4;
  HWND previous = internal::mdiActiveChild(client);
  // Every bit asks for a plain document with every part of its frame, and
  // no state (the asker shows it when it wants).
  DWORD asked = mcs->style == 0xFFFFFFFFu ? WS_OVERLAPPEDWINDOW : mcs->style;
  bool maximize = (asked & WS_MAXIMIZE) || (previous && IsZoomed(previous));
  DWORD style = (asked & ~(WS_POPUP | WS_VISIBLE | WS_MAXIMIZE | WS_MINIMIZE)) | WS_CHILD | WS_CLIPSIBLINGS;
  UINT id = c->firstId + static_cast<UINT>(documents(client).size());
  HWND child = CreateWindowExA(WS_EX_MDICHILD, mcs->szClass, mcs->szTitle, style, x, y, cx, cy, client,
                               reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(id)),
                               static_cast<HINSTANCE>(mcs->hOwner), const_cast<MDICREATESTRUCTA*>(mcs));
  if (!child) return nullptr;
  documentSystemMenu(child);
  if (maximize) {
    ShowWindow(child, SW_MAXIMIZE);
  } else if (asked & WS_MINIMIZE) {
    ShowWindow(child, SW_MINIMIZE);
  } else if (asked & WS_VISIBLE) {
    ShowWindow(child, SW_SHOW);
  }
  if (isDocument(client, child)) internal::mdiActivate(client, child);
  return IsWindow(child) ? child : nullptr;
}

void destroyDocument(HWND client, HWND child) {
  if (!isDocument(client, child)) return;
  if (internal::mdiActiveChild(client) == child) {
    HWND next = nullptr;
    for (HWND h : documents(client))
      if (h != child && IsWindowVisible(h)) {
        next = h;
        break;
      }
    internal::mdiActivate(client, next);
  }
  if (Client* c = clientRecord(client); c && c->inBar == child) internal::mdiSyncFrame(client);
  bool iconic = IsIconic(child);
  DestroyWindow(child);
  if (iconic) arrangeIcons(client);
}

// The next document below `from` in the z-order, or the bottom one for
// the previous; the one left goes to the bottom when moving on.
void activateNext(HWND client, HWND from, bool previous) {
  std::vector<HWND> list;
  for (HWND h : documents(client))
    if (IsWindowVisible(h)) list.push_back(h);
  if (!from) from = internal::mdiActiveChild(client);
  if (list.size() < 2 || !from) return;
  HWND target;
  if (previous) {
    target = list.back();
  } else {
    auto it = std::find(list.begin(), list.end(), from);
    target = (it == list.end() || it + 1 == list.end()) ? list.front() : *(it + 1);
  }
  if (target == from) return;
  internal::mdiActivate(client, target);
  if (!previous && IsWindow(from))
    SetWindowPos(from, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT clientProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      auto* ccs = cs ? static_cast<const CLIENTCREATESTRUCT*>(cs->lpCreateParams) : nullptr;
      Client& c = clients()[hwnd];
      if (ccs) c.windowMenu = static_cast<HMENU>(ccs->hWindowMenu), c.firstId = ccs->idFirstChild;
      return 0;
    }
    case WM_NCDESTROY:
      clients().erase(hwnd);
      internal::mdiScrollForget(hwnd);
      return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_NCCALCSIZE: {
      DefWindowProcA(hwnd, message, wParam, lParam);
      RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
      if (RECT in = internal::mdiScrollInsets(hwnd); r) {
        r->right = std::max(r->left, r->right - in.right);
        r->bottom = std::max(r->top, r->bottom - in.bottom);
      }
      return 0;
    }
    case WM_NCHITTEST: {
      POINT screen{static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam))),
                   static_cast<short>(HIWORD(static_cast<std::uintptr_t>(lParam)))};
      if (LRESULT hit = internal::mdiScrollHitTest(hwnd, screen); hit != HTNOWHERE) return hit;
      return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    case WM_NCLBUTTONDOWN:
      if (wParam == HTVSCROLL || wParam == HTHSCROLL) {
        POINT screen{static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam))),
                     static_cast<short>(HIWORD(static_cast<std::uintptr_t>(lParam)))};
        internal::mdiScrollTrack(hwnd, static_cast<LRESULT>(wParam), screen);
        return 0;
      }
      return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_HSCROLL:
    case WM_VSCROLL:
      internal::mdiScroll(hwnd, message == WM_VSCROLL, wParam);
      return 0;
    case WM_MDICREATE:
      return reinterpret_cast<LRESULT>(createDocument(hwnd, reinterpret_cast<const MDICREATESTRUCTA*>(lParam)));
    case WM_MDIDESTROY:
      destroyDocument(hwnd, reinterpret_cast<HWND>(wParam));
      return 0;
    case WM_MDIACTIVATE:
      if (isDocument(hwnd, reinterpret_cast<HWND>(wParam))) internal::mdiActivate(hwnd, reinterpret_cast<HWND>(wParam));
      return 0;
    case WM_MDIGETACTIVE: {
      HWND active = internal::mdiActiveChild(hwnd);
      if (lParam) *reinterpret_cast<BOOL*>(lParam) = active && IsZoomed(active);
      return reinterpret_cast<LRESULT>(active);
    }
    case WM_MDINEXT:
      activateNext(hwnd, reinterpret_cast<HWND>(wParam), lParam != 0);
      return 0;
    case WM_MDIMAXIMIZE:
    case WM_MDIRESTORE:
      if (isDocument(hwnd, reinterpret_cast<HWND>(wParam)))
        ShowWindow(reinterpret_cast<HWND>(wParam), message == WM_MDIMAXIMIZE ? SW_MAXIMIZE : SW_RESTORE);
      return 0;
    case WM_MDICASCADE:
      cascade(hwnd);
      return 1;
    case WM_MDITILE:
      tile(hwnd, (wParam & MDITILE_HORIZONTAL) != 0);
      return 1;
    case WM_MDIICONARRANGE:
      arrangeIcons(hwnd);
      return 0;
    case WM_MDISETMENU: {
      HWND frame = GetParent(hwnd);
      HMENU old = GetMenu(frame);
      Client* c = clientRecord(hwnd);
      if (wParam && c) {
        // The maximized document's entry goes over to the new menu.
        HWND kept = c->inBar;
        internal::mdiSyncFrame(hwnd, true);
        SetMenu(frame, reinterpret_cast<HMENU>(wParam));
        if (kept) internal::mdiSyncFrame(hwnd);
      }
      if (c) c->windowMenu = reinterpret_cast<HMENU>(lParam);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_PAINT: {
      // The ground shows between the documents, the icons' titles on it.
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      paintIconTitles(hwnd, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SIZE: {
      // A maximized document fills the client still; icons keep to its bottom.
      HWND active = internal::mdiActiveChild(hwnd);
      if (MINMAXINFO mmi; active && IsZoomed(active) && internal::askMinMax(active, mmi)) {
        SIZE size = internal::withinTracking(mmi, mmi.ptMaxSize.x, mmi.ptMaxSize.y);
        SetWindowPos(active, nullptr, mmi.ptMaxPosition.x, mmi.ptMaxPosition.y, size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      }
      if (anyIconic(hwnd)) arrangeIcons(hwnd);
      internal::mdiScrollChanged(hwnd);
      return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    case WM_SETFOCUS:
      // The focus belongs with the active document.
      if (HWND active = internal::mdiActiveChild(hwnd); active && !IsIconic(active)) SetFocus(active);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace

namespace internal {

void registerMdiClientClass() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = clientProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_APPWORKSPACE + 1));
  wc.lpszClassName = kClientClass;
  RegisterClassA(&wc);
}

bool isMdiClient(HWND hwnd) { return clientRecord(hwnd) != nullptr; }

HWND mdiClientOf(HWND child) {
  Window* w = findWindow(child);
  return w && w->parent && clientRecord(w->parent) ? w->parent : nullptr;
}

RECT mdiIconPlace(HWND child) {
  HWND client = mdiClientOf(child);
  if (!client) return {};
  // The first cell no other icon holds.
  for (int i = 0;; ++i) {
    RECT cell = iconCell(client, i);
    bool taken = false;
    for (HWND h : documents(client))
      if (Window* w = findWindow(h); h != child && w && w->minimized && w->rect.left == cell.left && w->rect.top == cell.top)
        taken = true;
    if (!taken) return cell;
  }
}

RECT iconTitleRect(const Window& icon) {
  int middle = (icon.rect.left + icon.rect.right) / 2;
  return {middle - kIconCell / 2, icon.rect.bottom, middle + kIconCell / 2, icon.rect.bottom + GetSystemMetrics(SM_CYMENU)};
}

HWND mdiMaximizedChild(HWND frame) {
  Window* f = findWindow(frame);
  if (!f) return nullptr;
  for (HWND h : f->children)
    if (Client* c = clientRecord(h); c && c->inBar && isDocument(h, c->inBar)) return c->inBar;
  return nullptr;
}

namespace {
bool settingTitle = false;  // the frame's title being set from here

void setFrameTitle(HWND frame, const std::string& text) {
  settingTitle = true;
  SetWindowTextA(frame, text.c_str());
  settingTitle = false;
}
}  // namespace

std::string mdiFrameText(HWND frame, const char* text) {
  std::string own = text ? text : "";
  Window* f = findWindow(frame);
  if (settingTitle || !f) return own;
  for (HWND h : f->children)
    if (Client* c = clientRecord(h); c && c->inBar && isDocument(h, c->inBar)) {
      c->frameTitle = own;
      return own + " - [" + findWindow(c->inBar)->title + "]";
    }
  return own;
}

void mdiSyncFrame(HWND client, bool leave) {
  Client* c = clientRecord(client);
  HWND frame = GetParent(client);
  if (!c || !frame) return;
  HWND active = mdiActiveChild(client);
  HWND wanted = !leave && active && IsZoomed(active) && IsWindowVisible(active) ? active : nullptr;
  HMENU bar = GetMenu(frame);
  auto title = [&] {
    std::string t = wanted ? c->frameTitle + " - [" + findWindow(wanted)->title + "]" : c->frameTitle;
    if (Window* f = findWindow(frame); f && f->title != t) setFrameTitle(frame, t);
  };
  if (c->inBar == wanted && c->barMenu == bar) {
    if (wanted) title();
    return;
  }
  if (c->inBar) {
    // Out of the menu it was put in, if that one is still there.
    if (Window* old = findWindow(c->inBar); old && GetSubMenu(c->barMenu, 0) == old->systemMenu)
      RemoveMenu(c->barMenu, 0, MF_BYPOSITION);
    if (c->barMenu == bar) DrawMenuBar(frame);
    c->inBar = nullptr;
    c->barMenu = nullptr;
    setFrameTitle(frame, c->frameTitle);
  }
  if (!wanted || !bar) return;
  if (Window* f = findWindow(frame)) c->frameTitle = f->title;
  HMENU system = GetSystemMenu(wanted, 0);
  InsertMenuA(bar, 0, MF_BYPOSITION | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(system), "");
  c->inBar = wanted;
  c->barMenu = bar;
  DrawMenuBar(frame);
  title();
}

HWND mdiActiveChild(HWND client) {
  Client* c = clientRecord(client);
  if (!c) return nullptr;
  if (c->active && !isDocument(client, c->active)) c->active = nullptr;
  return c->active;
}

// The one losing activation hears first, then the one gaining it; the
// focus follows when the frame is the active window.
// An icon's title shows whether it is the active one.
void markIconTitle(HWND client, HWND child) {
  if (Window* w = findWindow(child); w && w->minimized) {
    RECT title = iconTitleRect(*w);
    InvalidateRect(client, &title, 1);
  }
}

void mdiActivate(HWND client, HWND child) {
  Client* c = clientRecord(client);
  HWND old = mdiActiveChild(client);
  if (!c || old == child) return;
  c->active = child;
  markIconTitle(client, old);
  markIconTitle(client, child);
  // A maximized document hands its state to the next one.
  bool zoomed = old && child && IsZoomed(old);
  if (old) {
    SendMessageA(old, WM_NCACTIVATE, 0, 0);
    SendMessageA(old, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(old), reinterpret_cast<LPARAM>(child));
  }
  if (!child || mdiActiveChild(client) != child) return;
  SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageA(child, WM_NCACTIVATE, 1, 0);
  SendMessageA(child, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(old), reinterpret_cast<LPARAM>(child));
  if (zoomed && IsWindow(child)) {
    ShowWindow(child, SW_MAXIMIZE);
    if (Window* o = findWindow(old); o && !o->destroying) ShowWindow(old, SW_RESTORE);
  }
  if (IsWindow(child) && GetActiveWindow() == rootOf(client)) SetFocus(child);
  mdiSyncFrame(client);
}

}  // namespace internal
}  // namespace win
