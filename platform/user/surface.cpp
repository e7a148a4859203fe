// Surfaces: the back-end's side of the visible top-level windows.
#include "platform/backend/backend.h"
#include "platform/user/internal.h"

#include <vector>

namespace win::internal {
namespace {

bool meetsScreen(const RECT& r) {
  SIZE s = backend::Current().ScreenSize();
  return r.right > 0 && r.bottom > 0 && r.left < s.cx && r.top < s.cy && r.right > r.left && r.bottom > r.top;
}

bool sameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

HWND surfaceOf(HWND hwnd) {
  Window* w = findWindow(hwnd);
  return w && w->hasSurface ? hwnd : nullptr;
}

// The nearest window above this one in the z-order that has a surface.
HWND surfaceAbove(HWND hwnd) {
  HWND above = nullptr;
  for (HWND h : topLevelOrder()) {
    if (h == hwnd) return above;
    if (surfaceOf(h)) above = h;
  }
  return nullptr;
}

}  // namespace

void syncSurface(Window& w) {
  if (!isTopLevel(w)) return;
  backend::Backend& b = backend::Current();
  bool visible = (w.style & WS_VISIBLE) != 0;
  using backend::SurfaceState;
  SurfaceState state = !visible      ? SurfaceState::hidden
                       : w.minimized ? SurfaceState::minimized
                       : w.maximized ? SurfaceState::maximized
                                     : SurfaceState::normal;
  if (!w.hasSurface) {
    // A surface appears once the window is visible on the screen.
    if (!visible || !meetsScreen(w.rect)) return;
    // The owner goes as it is: one with no surface (a hidden window)
    // still makes a dialog owned.
    b.CreateSurface(w.handle, {w.style, w.exStyle, w.owner, w.rect, w.title});
    w.hasSurface = true;
    w.surfaceState = SurfaceState::hidden;
    w.surfaceRect = w.rect;
    w.surfaceAbove = surfaceAbove(w.handle);
    b.RestackSurface(w.handle, w.surfaceAbove);
    if (w.modal) b.SetSurfaceModal(w.handle, true);
  }
  if (!sameRect(w.rect, w.surfaceRect)) {
    w.surfaceRect = w.rect;
    b.MoveSurface(w.handle, w.rect);
  }
  if (HWND above = surfaceAbove(w.handle); above != w.surfaceAbove) {
    w.surfaceAbove = above;
    b.RestackSurface(w.handle, above);
  }
  if (state != w.surfaceState) {
    w.surfaceState = state;
    b.ShowSurface(w.handle, state, w.handle == activeWindow());
  }
}

// A window manager drops a request to go below a window that is not its
// frame's sibling (every managed window has a frame of its own), so the
// surfaces from the lowest one whose neighbour changed up to the top are
// raised, the lowest first: only raises, which every manager honours.
void syncStacking() {
  const std::vector<HWND> order = topLevelOrder();  // the top first
  std::size_t lowest = order.size();
  for (std::size_t i = 0; i < order.size(); ++i)
    if (Window* w = findWindow(order[i]); w && w->hasSurface && surfaceAbove(order[i]) != w->surfaceAbove)
      lowest = i;
  if (lowest == order.size()) return;
  for (std::size_t i = lowest + 1; i-- > 0;) {
    Window* w = findWindow(order[i]);
    if (!w || !w->hasSurface) continue;
    w->surfaceAbove = surfaceAbove(order[i]);
    backend::Current().RestackSurface(order[i], nullptr);
  }
}

void dropSurface(Window& w) {
  if (!w.hasSurface) return;
  w.hasSurface = false;
  backend::Current().DestroySurface(w.handle);
}

}  // namespace win::internal

namespace win {

void SetWindowModal(HWND hwnd, BOOL modal) {
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w || w->modal == (modal != 0)) return;
  w->modal = modal != 0;
  if (w->hasSurface) backend::Current().SetSurfaceModal(hwnd, w->modal);
}

}  // namespace win
