// The update area of a window and the WM_PAINT it brings: a list of
// rectangles in client coordinates, until regions join.
#include <algorithm>

#include "platform/user/internal.h"

namespace win {
namespace internal {
namespace {

bool empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT intersect(const RECT& a, const RECT& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

// What is left of `r` outside `cut`: up to four pieces.
void subtract(const RECT& r, const RECT& cut, std::vector<RECT>& out) {
  RECT i = intersect(r, cut);
  if (empty(i)) {
    out.push_back(r);
    return;
  }
  const RECT pieces[] = {{r.left, r.top, r.right, i.top},
                         {r.left, i.bottom, r.right, r.bottom},
                         {r.left, i.top, i.left, i.bottom},
                         {i.right, i.top, r.right, i.bottom}};
  for (const RECT& p : pieces)
    if (!empty(p)) out.push_back(p);
}

RECT clientArea(const Window& w) { return {0, 0, w.client.right - w.client.left, w.client.bottom - w.client.top}; }

bool inside(const RECT& r, const RECT& outer) {
  return r.left >= outer.left && r.top >= outer.top && r.right <= outer.right && r.bottom <= outer.bottom;
}

RECT bounds(const std::vector<RECT>& list) {
  RECT box = list.front();
  for (const RECT& r : list)
    box = {std::min(box.left, r.left), std::min(box.top, r.top), std::max(box.right, r.right),
           std::max(box.bottom, r.bottom)};
  return box;
}

// Windows with an update area: a look for WM_PAINT costs nothing when
// there are none.
std::size_t damagedWindows = 0;

// A long list of pieces becomes its bounding box.
constexpr std::size_t kMaxPieces = 16;

}  // namespace

void forgetDamage(Window& w) {
  if (!w.damage.empty()) --damagedWindows;
  w.damage.clear();
  w.eraseDamage = false;
}

void invalidate(Window& w, const RECT* area, bool erase) {
  RECT r = intersect(area ? *area : clientArea(w), clientArea(w));
  if (empty(r)) return;
  if (w.damage.empty()) ++damagedWindows;
  if (std::none_of(w.damage.begin(), w.damage.end(), [&](const RECT& d) { return inside(r, d); })) w.damage.push_back(r);
  if (w.damage.size() > kMaxPieces) w.damage = {bounds(w.damage)};
  w.eraseDamage = w.eraseDamage || erase;
  noteArrival();
}

bool takePaint(MSG* out, HWND filter, UINT lo, UINT hi) {
  if (damagedWindows == 0 || !((lo == 0 && hi == 0) || (WM_PAINT >= lo && WM_PAINT <= hi))) return false;
  bool found = false;
  windows().each([&](std::uintptr_t, Window& w) {
    if (found || w.damage.empty() || !IsWindowVisible(w.handle)) return;
    if (filter && w.handle != filter && !IsChild(filter, w.handle)) return;
    *out = {w.handle, WM_PAINT, 0, 0, GetTickCount(), pointerPosition()};
    found = true;
  });
  return found;
}

}  // namespace internal

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  internal::invalidate(*w, rect, erase != 0);
  return 1;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  if (w->damage.empty()) return 1;
  std::vector<RECT> left;
  if (rect)
    for (const RECT& r : w->damage) internal::subtract(r, *rect, left);
  if (left.size() > internal::kMaxPieces) left = {internal::bounds(left)};
  if (left.empty())
    internal::forgetDamage(*w);
  else
    w->damage = std::move(left);
  return 1;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  RECT box = w->damage.empty() ? RECT{0, 0, 0, 0} : internal::bounds(w->damage);
  if (rect) *rect = box;
  return !internal::empty(box);
}

BOOL UpdateWindow(HWND hwnd) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  if (!w->damage.empty() && IsWindowVisible(hwnd)) SendMessageA(hwnd, WM_PAINT, 0, 0);
  return 1;
}

}  // namespace win
