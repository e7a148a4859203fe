// Geometry and z-order: moving and sizing through the position messages,
// coordinates, and the order of siblings and of top-level windows.
#include <algorithm>
#include <cstring>

#include "platform/user/internal.h"
#include "platform/user/menu.h"
#include "platform/win/dwm.h"

namespace win {
namespace internal {
namespace {

RECT offset(RECT r, int dx, int dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

bool contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

bool sameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A child that changes places with an overlapping sibling: the one that
// comes out on top shows their common part again.
void exposeRestacked(const Window& w, const std::vector<HWND>& before) {
  const auto& after = siblingsOf(w);
  auto rank = [](const std::vector<HWND>& list, HWND h) { return std::find(list.begin(), list.end(), h) - list.begin(); };
  for (HWND s : after) {
    Window* sw = findWindow(s);
    if (s == w.handle || !sw || !(sw->style & WS_VISIBLE)) continue;
    bool wasAbove = rank(before, w.handle) < rank(before, s);
    bool isAbove = rank(after, w.handle) < rank(after, s);
    if (wasAbove == isAbove) continue;
    RECT over{std::max(w.rect.left, sw->rect.left), std::max(w.rect.top, sw->rect.top),
              std::min(w.rect.right, sw->rect.right), std::min(w.rect.bottom, sw->rect.bottom)};
    if (over.right <= over.left || over.bottom <= over.top) continue;
    const Window& top = isAbove ? w : *sw;
    exposeArea(top.handle, offset(over, -top.rect.left, -top.rect.top));
  }
}

void placeInOrder(Window& w, HWND after) {
  auto& list = siblingsOf(w);
  list.erase(std::remove(list.begin(), list.end(), w.handle), list.end());
  auto at = list.begin();
  if (after == HWND_BOTTOM)
    at = list.end();
  else if (auto found = std::find(list.begin(), list.end(), after); after && found != list.end())
    at = found + 1;
  list.insert(at, w.handle);
  if (Window* p = findWindow(w.parent)) childrenChanged(*p);
  if (!w.parent) {
    keepOwnedAbove();
    syncStacking();
  }
}

// The client pixels after a resize: the answer of WM_NCCALCSIZE decides
// what is damaged.
void damageAfterResize(Window& w, LRESULT answer, const RECT& oldClient, const RECT& newClient, const RECT& valid) {
  RECT whole{0, 0, newClient.right - newClient.left, newClient.bottom - newClient.top};
  // Children reaching into an uncovered part show more of themselves
  // there: a part the old size clipped away was never drawn.
  auto uncover = [&w](const RECT& r) {
    invalidate(w, &r, true);
    for (HWND c : w.children)
      if (Window* cw = findWindow(c); cw && (cw->style & WS_VISIBLE))
        exposeArea(c, offsetRect(r, -cw->rect.left, -cw->rect.top));
  };
  if (answer & WVR_REDRAW) {
    invalidate(w, &whole, true);
    return;
  }
  RECT kept;
  if (answer & WVR_VALIDRECTS)
    kept = offset(valid, -newClient.left, -newClient.top);
  else  // the old pixels stay at the top left
    kept = {0, 0, oldClient.right - oldClient.left, oldClient.bottom - oldClient.top};
  kept = {std::max(kept.left, 0), std::max(kept.top, 0), std::min(kept.right, whole.right),
          std::min(kept.bottom, whole.bottom)};
  if (kept.right <= kept.left || kept.bottom <= kept.top) {
    uncover(whole);
    return;
  }
  // The uncovered strips: right of and below what was kept.
  RECT right{kept.right, 0, whole.right, whole.bottom}, below{0, kept.bottom, kept.right, whole.bottom};
  RECT above{0, 0, kept.right, kept.top}, left{0, kept.top, kept.left, kept.bottom};
  for (const RECT& r : {right, below, above, left})
    if (r.right > r.left && r.bottom > r.top) uncover(r);
}

}  // namespace

RECT nonClientInsets(DWORD style, DWORD exStyle, bool menu) {
  // Document windows, and captioned children as asked for one, have the
  // platform's frame.
  if ((exStyle & WS_EX_MDICHILD) || ((style & WS_CHILD) && (style & WS_CAPTION) == WS_CAPTION))
    return documentFrameInsets();
  // Top-level windows have no frame here; a menu line is one row.
  return {0, menu && !(style & WS_CHILD) ? GetSystemMetrics(SM_CYMENU) : 0, 0, 0};
}

bool askMinMax(HWND hwnd, MINMAXINFO& mmi) {
  Window* w = findWindow(hwnd);
  if (!w) return false;
  SIZE area = backend::Current().ScreenSize();
  if (Window* p = findWindow(w->parent)) area = {p->client.right - p->client.left, p->client.bottom - p->client.top};
  mmi = {{0, 0}, {area.cx, area.cy}, {0, 0}, {1, 1}, {area.cx, area.cy}};
  SendMessageA(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  return findWindow(hwnd) != nullptr;
}

SIZE withinTracking(const MINMAXINFO& mmi, LONG cx, LONG cy) {
  return {std::clamp(cx, mmi.ptMinTrackSize.x, std::max(mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x)),
          std::clamp(cy, mmi.ptMinTrackSize.y, std::max(mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y))};
}

void keepOwnedAbove() {
  auto& order = topLevelOrder();
  // An owned window found below its owner moves to just above it; repeat
  // until no pair is out of order (owner chains are short).
  for (bool moved = true; moved;) {
    moved = false;
    for (std::size_t i = 0; i < order.size() && !moved; ++i) {
      Window* w = findWindow(order[i]);
      if (!w || !w->owner) continue;
      auto ownerAt = std::find(order.begin(), order.end(), w->owner);
      if (ownerAt == order.end() || ownerAt - order.begin() > static_cast<std::ptrdiff_t>(i)) continue;
      HWND h = order[i];
      order.erase(order.begin() + static_cast<std::ptrdiff_t>(i));
      order.insert(std::find(order.begin(), order.end(), w->owner), h);
      moved = true;
    }
  }
}

HWND windowFromPoint(POINT screen) {
  for (HWND h : topLevelOrder()) {
    Window* w = findWindow(h);
    if (!w || !(w->style & WS_VISIBLE) || w->minimized || !contains(w->rect, screen)) continue;
    // A window that lets the pointer through (a dragged picture) is never the one under it.
    if (w->exStyle & WS_EX_TRANSPARENT) continue;
    for (;;) {
      POINT origin = clientOriginOnScreen(*w);
      POINT local{screen.x - origin.x, screen.y - origin.y};
      Window* inner = nullptr;
      // Children show only inside the client area.
      bool inClient = local.x >= 0 && local.y >= 0 && local.x < w->client.right - w->client.left &&
                      local.y < w->client.bottom - w->client.top;
      for (HWND c : inClient ? w->children : std::vector<HWND>{}) {
        Window* cw = findWindow(c);
        if (cw && (cw->style & WS_VISIBLE) && contains(cw->rect, local)) {
          inner = cw;
          break;
        }
      }
      if (!inner) return w->handle;
      w = inner;
    }
  }
  return nullptr;
}

BOOL setWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
  Window* w = checkWindow(hwnd);
  if (!w) return 0;
  bool special = after == HWND_TOP || after == HWND_BOTTOM;
  if (!(flags & SWP_NOZORDER) && !special) {
    Window* a = findWindow(after);
    if (!a || a->parent != w->parent || after == hwnd) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
  }
  bool wasVisible = (w->style & WS_VISIBLE) != 0;
  if ((flags & SWP_HIDEWINDOW) && wasVisible) {
    windowLeaving(hwnd, true);
    if (!(w = findWindow(hwnd))) return 0;
  }
  WINDOWPOS pos{hwnd, after, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) pos.x = w->rect.left, pos.y = w->rect.top;
  if (flags & SWP_NOSIZE) pos.cx = w->rect.right - w->rect.left, pos.cy = w->rect.bottom - w->rect.top;
  SendMessageA(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  if (!(w = findWindow(hwnd))) return 0;
  pos.cx = std::max(pos.cx, 0);
  pos.cy = std::max(pos.cy, 0);

  RECT oldRect = w->rect;
  RECT oldClient = offset(w->client, oldRect.left, oldRect.top);
  RECT newRect{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
  bool resized = newRect.right - newRect.left != oldRect.right - oldRect.left ||
                 newRect.bottom - newRect.top != oldRect.bottom - oldRect.top;
  w->rect = newRect;
  if (resized || (pos.flags & SWP_FRAMECHANGED)) {
    NCCALCSIZE_PARAMS p{{newRect, oldRect, oldClient}, &pos};
    LRESULT answer = SendMessageA(hwnd, WM_NCCALCSIZE, 1, reinterpret_cast<LPARAM>(&p));
    if (!(w = findWindow(hwnd))) return 0;
    RECT newClient = p.rgrc[0];
    w->client = offset(newClient, -w->rect.left, -w->rect.top);
    if (!(pos.flags & SWP_NOREDRAW)) damageAfterResize(*w, answer, oldClient, newClient, p.rgrc[1]);
  }
  if (pos.flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
  if (pos.flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
  if (!(pos.flags & SWP_NOZORDER)) {
    std::vector<HWND> before = siblingsOf(*w);
    placeInOrder(*w, pos.hwndInsertAfter);
    if (w->parent && (w->style & WS_VISIBLE)) exposeRestacked(*w, before);
  }
  windowsChanged();
  bool shownNow = (w->style & WS_VISIBLE) != 0;
  if (shownNow && w->client.top > 0 &&
      (!wasVisible || resized || (pos.flags & SWP_FRAMECHANGED) || hasDocumentFrame(*w)))
    markMenuLine(*w);
  if (w->parent && wasVisible && (!shownNow || !sameRect(oldRect, w->rect))) exposeParent(hwnd, oldRect, shownNow);
  // A document that moves, comes or goes may need the client's scroll bars.
  if (w->parent && isMdiClient(w->parent) && (wasVisible != shownNow || !sameRect(oldRect, w->rect)))
    mdiScrollChanged(w->parent);
  if ((pos.flags & SWP_FRAMECHANGED) && shownNow && mdiScrollShown(hwnd)) markMenuLine(*w);
  // Nothing carries a child's pixels along: where it lands it is drawn
  // again, frame and children too.
  if (w->parent && wasVisible && shownNow && !(pos.flags & SWP_NOREDRAW) &&
      (oldRect.left != w->rect.left || oldRect.top != w->rect.top))
    exposeArea(hwnd, {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top});
  syncSurface(*w);
  if (!wasVisible && (w->style & WS_VISIBLE)) {
    RECT whole{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    invalidate(*w, &whole, true);
  }
  if (!(pos.flags & SWP_NOACTIVATE) && !w->parent && (w->style & WS_VISIBLE) && !w->minimized) {
    activate(hwnd, false);
    if (!(w = findWindow(hwnd))) return 0;
  }
  SendMessageA(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  return findWindow(hwnd) ? 1 : 0;
}

}  // namespace internal

using internal::findWindow;
using internal::Window;

BOOL SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
  return internal::setWindowPos(hwnd, after, x, y, cx, cy, flags);
}

BOOL MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL repaint) {
  return internal::setWindowPos(hwnd, nullptr, x, y, cx, cy,
                                SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  Window* w = internal::checkWindow(hwnd);
  if (!w || !rect) return 0;
  *rect = w->rect;
  if (Window* p = findWindow(w->parent)) {
    POINT o = internal::clientOriginOnScreen(*p);
    *rect = internal::offset(*rect, o.x, o.y);
  }
  return 1;
}

HRESULT DwmGetWindowAttribute(HWND hwnd, DWORD attribute, void* value, DWORD size) {
  RECT r{};
  if (attribute != DWMWA_EXTENDED_FRAME_BOUNDS || !value || size < sizeof r || !GetWindowRect(hwnd, &r))
    return E_INVALIDARG;
  Window* w = findWindow(hwnd);
  if (!w->parent && w->hasSurface) {
    const RECT f = backend::Current().SurfaceFrame(hwnd);
    r = {r.left - f.left, r.top - f.top, r.right + f.right, r.bottom + f.bottom};
  }
  std::memcpy(value, &r, sizeof r);
  return S_OK;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  Window* w = internal::checkWindow(hwnd);
  if (!w || !rect) return 0;
  *rect = {0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
  return 1;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
  Window* w = internal::checkWindow(hwnd);
  if (!w || !point) return 0;
  POINT o = internal::clientOriginOnScreen(*w);
  point->x += o.x;
  point->y += o.y;
  return 1;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
  Window* w = internal::checkWindow(hwnd);
  if (!w || !point) return 0;
  POINT o = internal::clientOriginOnScreen(*w);
  point->x -= o.x;
  point->y -= o.y;
  return 1;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
  if (!rect) return 0;
  RECT in = internal::nonClientInsets(style, exStyle, menu != 0);
  *rect = {rect->left - in.left, rect->top - in.top, rect->right + in.right, rect->bottom + in.bottom};
  return 1;
}

HWND GetWindow(HWND hwnd, UINT command) {
  Window* w = internal::checkWindow(hwnd);
  if (!w) return nullptr;
  const auto& list = internal::siblingsOf(*w);
  auto at = std::find(list.begin(), list.end(), hwnd);
  switch (command) {
    case GW_HWNDFIRST: return list.empty() ? nullptr : list.front();
    case GW_HWNDLAST: return list.empty() ? nullptr : list.back();
    case GW_HWNDNEXT: return at != list.end() && at + 1 != list.end() ? *(at + 1) : nullptr;
    case GW_HWNDPREV: return at != list.begin() && at != list.end() ? *(at - 1) : nullptr;
    case GW_OWNER: return w->owner;
    case GW_CHILD: return w->children.empty() ? nullptr : w->children.front();
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HWND WindowFromPoint(POINT screen) { return internal::windowFromPoint(screen); }

}  // namespace win
