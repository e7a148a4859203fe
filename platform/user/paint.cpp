// The update region of a window, the WM_PAINT it brings, and BeginPaint
// and EndPaint.
#include <algorithm>

#include "platform/gdi/internal.h"
#include "platform/user/internal.h"
#include "platform/user/menu.h"

namespace win {
namespace internal {
namespace {

RECT clientArea(const Window& w) { return {0, 0, w.client.right - w.client.left, w.client.bottom - w.client.top}; }

// Windows with an update region: a look for WM_PAINT costs nothing when
// there are none.
std::size_t damagedWindows = 0;

void setDamage(Window& w, Region r) {
  bool was = !w.damage.empty();
  w.damage = std::move(r);
  bool now = !w.damage.empty();
  if (was != now) {
    now ? ++damagedWindows : --damagedWindows;
    for (Window* up = findWindow(w.parent); up; up = findWindow(up->parent)) {
      if (now) {
        ++up->damagedBelow;
        up->paintFrom = 0;
      } else if (up->damagedBelow) {
        --up->damagedBelow;
      }
    }
  }
  if (!now) w.eraseDamage = false;
}

// The first visible window with an update region under `h`, parents
// before their children.
HWND firstToPaint(HWND h, HWND filter, bool inFilter) {
  Window* w = findWindow(h);
  if (!w || !(w->style & WS_VISIBLE)) return nullptr;
  inFilter = inFilter || h == filter;
  // A minimized document is an icon that paints; others wait to be shown.
  if (!w->damage.empty() && inFilter && (!w->minimized || hasDocumentFrame(*w))) return h;
  if (w->damagedBelow == 0) return nullptr;
  // The children before paintFrom have nothing to paint; the look moves it
  // on past every one found clean.
  std::vector<HWND>& children = w->children;
  bool clean = true;
  for (std::size_t i = std::min(w->paintFrom, children.size()); i < children.size(); ++i) {
    if (HWND found = firstToPaint(children[i], filter, inFilter)) return found;
    Window* c = findWindow(children[i]);
    clean = clean && (!c || (c->damage.empty() && c->damagedBelow == 0));
    if (clean) w->paintFrom = i + 1;
  }
  return nullptr;
}

}  // namespace

void forgetDamage(Window& w) { setDamage(w, {}); }

void invalidateRegion(Window& w, const Region& area, bool erase) {
  Region add = area & Region(clientArea(w));
  if (add.empty()) return;
  Region next = w.damage;
  next |= add;
  setDamage(w, std::move(next));
  w.eraseDamage = w.eraseDamage || erase;
  noteArrival();
}

void invalidate(Window& w, const RECT* area, bool erase) {
  invalidateRegion(w, Region(area ? *area : clientArea(w)), erase);
}

void exposeParent(HWND child, const RECT& oldRect, bool stillShown, bool onlyBelow) {
  Window* w = findWindow(child);
  Window* p = w ? findWindow(w->parent) : nullptr;
  if (!p) return;
  Region left(oldRect);
  if (stillShown) left -= Region(w->rect);
  invalidateRegion(*p, left, true);
  // Siblings it lay over show again too (overlapping documents).
  auto from = p->children.begin();
  if (onlyBelow)
    if (auto at = findSibling(p->children, child); at != p->children.end()) from = at + 1;
  for (auto it = from; it != p->children.end(); ++it) {
    HWND s = *it;
    Window* sw = findWindow(s);
    if (s == child || !sw || !(sw->style & WS_VISIBLE)) continue;
    RECT over{std::max(oldRect.left, sw->rect.left), std::max(oldRect.top, sw->rect.top),
              std::min(oldRect.right, sw->rect.right), std::min(oldRect.bottom, sw->rect.bottom)};
    if (over.right > over.left && over.bottom > over.top)
      exposeArea(s, offsetRect(over, -sw->rect.left, -sw->rect.top));
  }
}

void exposeArea(HWND root, const RECT& area) {
  Window* w = findWindow(root);
  if (!w) return;
  // The area is in the window's outer coordinates; every window under it
  // gets its part.
  RECT r = offsetRect(area, -w->client.left, -w->client.top);
  invalidate(*w, &r, true);
  if ((!w->parent && area.top < w->client.top) || hasDocumentFrame(*w) || mdiScrollShown(root))
    markMenuLine(*w);  // the non-client part shows again
  for (HWND c : w->children)
    if (Window* cw = findWindow(c); cw && (cw->style & WS_VISIBLE))
      exposeArea(c, offsetRect(r, -cw->rect.left, -cw->rect.top));
}

bool takePaint(MSG* out, HWND filter, UINT lo, UINT hi) {
  if (damagedWindows == 0 || !((lo == 0 && hi == 0) || (WM_PAINT >= lo && WM_PAINT <= hi))) return false;
  for (HWND top : topLevelOrder())
    if (HWND h = firstToPaint(top, filter, filter == nullptr)) {
      *out = {h, WM_PAINT, 0, 0, GetTickCount(), pointerPosition()};
      return true;
    }
  return false;
}

}  // namespace internal

using internal::Region;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  internal::invalidate(*w, rect, erase != 0);
  return 1;
}

BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  if (!region) {
    internal::invalidate(*w, nullptr, erase != 0);
    return 1;
  }
  Region* r = internal::regionOf(region);
  if (!r) return 0;
  internal::invalidateRegion(*w, *r, erase != 0);
  return 1;
}

BOOL ValidateRgn(HWND hwnd, HRGN region) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  if (!region) {
    internal::forgetDamage(*w);
    return 1;
  }
  Region* r = internal::regionOf(region);
  if (!r) return 0;
  internal::setDamage(*w, w->damage - *r);
  return 1;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  if (!rect) {
    internal::forgetDamage(*w);
    return 1;
  }
  internal::setDamage(*w, w->damage - Region(*rect));
  return 1;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  if (rect) *rect = w->damage.box();
  return !w->damage.empty();
}

int GetUpdateRgn(HWND hwnd, HRGN region, BOOL) {
  internal::Window* w = internal::checkWindow(hwnd);
  Region* r = internal::regionOf(region);
  if (!w || !r) return ERROR;
  *r = w->damage;
  return r->kind();
}

BOOL UpdateWindow(HWND hwnd) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  if (!w->damage.empty() && IsWindowVisible(hwnd)) SendMessageA(hwnd, WM_PAINT, 0, 0);
  return 1;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w || !paint) return nullptr;
  HDC hdc = GetDC(hwnd);
  internal::Dc* dc = internal::dcOf(hdc);
  if (!dc) return nullptr;
  Region region = w->damage;
  bool erase = w->eraseDamage;
  internal::forgetDamage(*w);
  dc->paintClip = region;
  internal::clipChanged(*dc);
  *paint = {};
  paint->hdc = hdc;
  paint->rcPaint = region.box();
  if (erase) paint->fErase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) == 0;
  return hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
  if (!paint) return 0;
  internal::Dc* dc = internal::dcOf(paint->hdc);
  if (!dc) return 0;
  dc->paintClip.reset();
  internal::clipChanged(*dc);
  if (dc->cache)
    ReleaseDC(hwnd, paint->hdc);
  else
    internal::presentDirty();
  return 1;
}

}  // namespace win
