// The scroll bars of a multiple-document client: shown while documents lie
// beyond its area, drawn in its non-client part, pressed and dragged with
// the pointer; scrolling moves every document, so none is out of reach.
#include <algorithm>
#include <map>

#include "platform/user/menu.h"

namespace win {
namespace internal {
namespace {

struct Bars {
  bool horizontal = false, vertical = false;
};

std::map<HWND, Bars>& allBars() {
  static std::map<HWND, Bars> all;
  return all;
}

Bars barsOf(HWND client) {
  auto it = allBars().find(client);
  return it == allBars().end() ? Bars{} : it->second;
}

int thickness() { return GetSystemMetrics(SM_CXVSCROLL); }
COLORREF sys(int index) { return GetSysColor(index); }

// Documents that can be scrolled to: shown, not icons.
bool scrolled(const Window& d) { return (d.style & WS_VISIBLE) && !d.minimized && !d.destroying; }

// The rectangle every such document covers, in client coordinates; empty
// when there is none.
RECT documentsExtent(const Window& client) {
  RECT u{};
  bool any = false;
  for (HWND h : client.children) {
    Window* d = findWindow(h);
    if (!d || !scrolled(*d)) continue;
    if (!any) {
      u = d->rect;
      any = true;
    } else {
      u = {std::min(u.left, d->rect.left), std::min(u.top, d->rect.top), std::max(u.right, d->rect.right),
           std::max(u.bottom, d->rect.bottom)};
    }
  }
  return u;
}

// One bar's range: [low, high] holds the area and the documents; the
// area shows `page` of it from `pos`.
struct Axis {
  int low = 0, high = 0, page = 0;
  int pos() const { return -low; }
  int length() const { return high - low; }
  int last() const { return std::max(0, length() - page); }
};

Axis axisOf(const Window& client, bool vertical) {
  RECT u = documentsExtent(client);
  int page = vertical ? client.client.bottom - client.client.top : client.client.right - client.client.left;
  Axis a;
  a.page = page;
  if (u.right > u.left) {
    a.low = std::min(0, static_cast<int>(vertical ? u.top : u.left));
    a.high = std::max(page, static_cast<int>(vertical ? u.bottom : u.right));
  } else {
    a.high = page;
  }
  return a;
}

// The bars the documents ask for, within the outer size: each bar taken
// narrows the area the other one measures.
Bars wantedBars(const Window& client) {
  Bars b;
  HWND active = mdiActiveChild(client.handle);
  if (active && IsZoomed(active)) return b;
  RECT u = documentsExtent(client);
  if (u.right <= u.left) return b;
  int width = client.rect.right - client.rect.left, height = client.rect.bottom - client.rect.top;
  for (int round = 0; round < 2; ++round) {
    int cw = width - (b.vertical ? thickness() : 0), ch = height - (b.horizontal ? thickness() : 0);
    b.horizontal = (client.style & WS_HSCROLL) && (u.left < 0 || u.right > cw);
    b.vertical = (client.style & WS_VSCROLL) && (u.top < 0 || u.bottom > ch);
  }
  return b;
}

// A bar's parts in window coordinates (its run from the first arrow's
// start to the second arrow's end).
struct Parts {
  RECT bar, less, more, trough, thumb;
};

Parts partsOf(const Window& client, bool vertical) {
  int t = thickness();
  int cw = client.client.right - client.client.left, ch = client.client.bottom - client.client.top;
  Parts p;
  int run = vertical ? ch : cw;
  int arrow = std::min(t, run / 2);
  if (vertical) {
    p.bar = {cw, 0, cw + t, ch};
    p.less = {cw, 0, cw + t, arrow};
    p.more = {cw, ch - arrow, cw + t, ch};
  } else {
    p.bar = {0, ch, cw, ch + t};
    p.less = {0, ch, arrow, ch + t};
    p.more = {cw - arrow, ch, cw, ch + t};
  }
  int start = arrow, span = std::max(0, run - 2 * arrow);
  Axis a = axisOf(client, vertical);
  int size = a.length() > 0 ? span * a.page / a.length() : span;
  size = std::clamp(size, std::min(8, span), span);
  int offset = a.last() > 0 ? (span - size) * a.pos() / a.last() : 0;
  if (vertical) {
    p.trough = {cw, start, cw + t, start + span};
    p.thumb = {cw, start + offset, cw + t, start + offset + size};
  } else {
    p.trough = {start, ch, start + span, ch + t};
    p.thumb = {start + offset, ch, start + offset + size, ch + t};
  }
  return p;
}

bool inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// A raised face as buttons have.
void raised(HDC dc, const RECT& r, bool down) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  fillRect(dc, r, sys(COLOR_BTNFACE));
  if (down) {
    drawEdge(dc, r, sys(COLOR_3DSHADOW), sys(COLOR_3DSHADOW));
    return;
  }
  drawEdge(dc, r, sys(COLOR_3DLIGHT), sys(COLOR_3DDKSHADOW));
  drawEdge(dc, {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, sys(COLOR_3DHILIGHT), sys(COLOR_3DSHADOW));
}

// A solid triangle pointing up, down, left or right in the middle of r.
void arrow(HDC dc, const RECT& r, bool vertical, bool less, bool down) {
  int cx = (r.left + r.right) / 2 + (down ? 1 : 0), cy = (r.top + r.bottom) / 2 + (down ? 1 : 0);
  COLORREF ink = sys(COLOR_BTNTEXT);
  for (int k = 0; k < 4; ++k) {
    int along = less ? -2 + k : 1 - k;  // the tip first
    if (vertical)
      fillRect(dc, {cx - k, cy + along, cx + k + 1, cy + along + 1}, ink);
    else
      fillRect(dc, {cx + along, cy - k, cx + along + 1, cy + k + 1}, ink);
  }
}

// The part held down now.
struct Held {
  HWND client = nullptr;
  bool vertical = false;
  int part = -1;  // 0 less, 1 more, 2 thumb
} held;

void paintBar(HDC dc, const Window& client, bool vertical) {
  Parts p = partsOf(client, vertical);
  bool mine = held.client == client.handle && held.vertical == vertical;
  // The trough: a light ground between the button face and white.
  COLORREF face = sys(COLOR_BTNFACE), light = sys(COLOR_3DHILIGHT);
  COLORREF ground = RGB((GetRValue(face) + GetRValue(light)) / 2, (GetGValue(face) + GetGValue(light)) / 2,
                        (GetBValue(face) + GetBValue(light)) / 2);
  fillRect(dc, p.trough, ground);
  raised(dc, p.less, mine && held.part == 0);
  arrow(dc, p.less, vertical, true, mine && held.part == 0);
  raised(dc, p.more, mine && held.part == 1);
  arrow(dc, p.more, vertical, false, mine && held.part == 1);
  if (p.thumb.right - p.thumb.left > 0 && p.thumb.bottom - p.thumb.top > 0) raised(dc, p.thumb, false);
}

POINT inWindow(const Window& client, POINT screen) {
  POINT origin = clientOriginOnScreen(client);
  return {screen.x - origin.x + client.client.left, screen.y - origin.y + client.client.top};
}

// The scroll code a press on a part gives.
WPARAM codeAt(const Parts& p, POINT at, bool vertical, int& part) {
  part = -1;
  if (inside(p.less, at)) return part = 0, SB_LINEUP;
  if (inside(p.more, at)) return part = 1, SB_LINEDOWN;
  if (inside(p.thumb, at)) return part = 2, SB_THUMBTRACK;
  bool before = vertical ? at.y < p.thumb.top : at.x < p.thumb.left;
  return before ? SB_PAGEUP : SB_PAGEDOWN;
}

void repaint(HWND client) {
  if (Window* w = findWindow(client)) paintMdiScrollBars(w->handle);
}

constexpr UINT_PTR kRepeatTimer = 0x5C01;

WPARAM withPosition(WPARAM code, int position) { return code | static_cast<WPARAM>(position & 0xFFFF) << 16; }

}  // namespace

bool mdiScrollShown(HWND client) {
  Bars b = barsOf(client);
  return b.horizontal || b.vertical;
}

RECT mdiScrollInsets(HWND client) {
  Bars b = barsOf(client);
  return {0, 0, b.vertical ? thickness() : 0, b.horizontal ? thickness() : 0};
}

void mdiScrollChanged(HWND client) {
  if (Window* w = findWindow(client)) markMenuLine(*w);
}

void mdiScrollForget(HWND client) { allBars().erase(client); }

void paintMdiScrollBars(HWND client) {
  Window* w = findWindow(client);
  if (!w) return;
  Bars now = barsOf(client), wanted = wantedBars(*w);
  if (now.horizontal != wanted.horizontal || now.vertical != wanted.vertical) {
    // A bar that comes or goes changes the area: measured again, and
    // painted on the next round.
    allBars()[client] = wanted;
    SetWindowPos(client, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    mdiScrollChanged(client);
    return;
  }
  if (!now.horizontal && !now.vertical) return;
  HDC dc = GetWindowDC(client);
  if (now.vertical) paintBar(dc, *w, true);
  if (now.horizontal) paintBar(dc, *w, false);
  if (now.vertical && now.horizontal) {
    int cw = w->client.right - w->client.left, ch = w->client.bottom - w->client.top;
    fillRect(dc, {cw, ch, cw + thickness(), ch + thickness()}, sys(COLOR_BTNFACE));
  }
  ReleaseDC(client, dc);
}

LRESULT mdiScrollHitTest(HWND client, POINT screen) {
  Window* w = findWindow(client);
  Bars b = barsOf(client);
  if (!w || (!b.horizontal && !b.vertical)) return HTNOWHERE;
  POINT at = inWindow(*w, screen);
  if (b.vertical && inside(partsOf(*w, true).bar, at)) return HTVSCROLL;
  if (b.horizontal && inside(partsOf(*w, false).bar, at)) return HTHSCROLL;
  return HTNOWHERE;
}

void mdiScroll(HWND client, bool vertical, WPARAM wParam) {
  Window* w = findWindow(client);
  Bars b = barsOf(client);
  if (!w || !(vertical ? b.vertical : b.horizontal)) return;
  Axis a = axisOf(*w, vertical);
  int line = GetSystemMetrics(SM_CYCAPTION), target = a.pos();
  switch (LOWORD(wParam)) {
    case SB_LINEUP: target -= line; break;
    case SB_LINEDOWN: target += line; break;
    case SB_PAGEUP: target -= a.page; break;
    case SB_PAGEDOWN: target += a.page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: target = HIWORD(wParam); break;
    case SB_TOP: target = 0; break;
    case SB_BOTTOM: target = a.last(); break;
    default: return;
  }
  int by = std::clamp(target, 0, a.last()) - a.pos();
  if (by == 0) return;
  std::vector<HWND> list = w->children;
  for (HWND h : list)
    if (Window* d = findWindow(h); d && !d->destroying)
      SetWindowPos(h, nullptr, d->rect.left - (vertical ? 0 : by), d->rect.top - (vertical ? by : 0), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  mdiScrollChanged(client);
}

// A press on a bar: an arrow or the trough scrolls at once and again while
// held; the thumb follows the pointer. The bar hears SB_ENDSCROLL at the end.
void mdiScrollTrack(HWND client, LRESULT hit, POINT screen) {
  Window* w = findWindow(client);
  if (!w || (hit != HTVSCROLL && hit != HTHSCROLL)) return;
  bool vertical = hit == HTVSCROLL;
  UINT message = vertical ? WM_VSCROLL : WM_HSCROLL;
  Parts p = partsOf(*w, vertical);
  int part = -1;
  WPARAM code = codeAt(p, inWindow(*w, screen), vertical, part);
  POINT pressed = inWindow(*w, screen);
  const int grip = vertical ? pressed.y - p.thumb.top : pressed.x - p.thumb.left;  // where the thumb was taken
  held = {client, vertical, part};
  if (code != SB_THUMBTRACK) {
    SendMessageA(client, message, code, 0);
    SetTimer(client, kRepeatTimer, 350, nullptr);
  }
  repaint(client);
  SetCapture(client);
  int position = -1;
  for (MSG msg; IsWindow(client) && GetCapture() == client;) {
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.message == WM_LBUTTONUP) break;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) break;
    if (code == SB_THUMBTRACK && msg.message == WM_MOUSEMOVE) {
      Window* now = findWindow(client);
      if (!now) break;
      Parts q = partsOf(*now, vertical);
      Axis a = axisOf(*now, vertical);
      POINT at = inWindow(*now, msg.pt);
      int thumbStart = (vertical ? at.y : at.x) - grip;
      int travel = vertical ? (q.trough.bottom - q.trough.top) - (q.thumb.bottom - q.thumb.top)
                            : (q.trough.right - q.trough.left) - (q.thumb.right - q.thumb.left);
      int from = (vertical ? q.trough.top : q.trough.left);
      if (travel > 0) {
        position = std::clamp((thumbStart - from) * a.last() / travel, 0, a.last());
        SendMessageA(client, message, withPosition(SB_THUMBTRACK, position), 0);
        repaint(client);
      }
    } else if (msg.message == WM_TIMER && msg.hwnd == client && msg.wParam == kRepeatTimer) {
      // Again while the pointer stays on the part pressed (in the trough:
      // until the thumb reaches it).
      Window* now = findWindow(client);
      if (!now) break;
      int again = -1;
      POINT at = inWindow(*now, msg.pt);
      if (codeAt(partsOf(*now, vertical), at, vertical, again) == code && again == part)
        SendMessageA(client, message, code, 0);
      SetTimer(client, kRepeatTimer, 50, nullptr);
      repaint(client);
    } else if (msg.message != WM_MOUSEMOVE && msg.message != WM_KEYDOWN && msg.message != WM_KEYUP &&
               msg.message != WM_CHAR) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (GetCapture() == client) ReleaseCapture();
  if (!IsWindow(client)) return;
  KillTimer(client, kRepeatTimer);
  held = {};
  if (code == SB_THUMBTRACK && position >= 0) SendMessageA(client, message, withPosition(SB_THUMBPOSITION, position), 0);
  if (IsWindow(client)) SendMessageA(client, message, SB_ENDSCROLL, 0);
  repaint(client);
}

}  // namespace internal
}  // namespace win
