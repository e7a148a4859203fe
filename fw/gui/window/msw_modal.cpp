// The modal stack and pointer grabs, the pointer and cursor areas, key
// bindings, placement and the small entries of the window-system layer.
#include <cstring>

#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/cursor.h"
#include "fw/gui/window/msw_internal.h"
#include "fw/gui/window/msw_proc.h"

namespace {

vwindowMSWState& S() { return _vwindowMSW(); }

[[noreturn]] void raise(const vexClass* cls, const char* message) {
  _vexGenerate(cls, vexSetMessage, message, vexEnd);
}

vwindowMSWNative* openNative(vwindow* w) {
  vwindowEnsureStartup();
  if (!w || !vwindowIsOpen(w) || !w->native) raise(&vexArgNotOpenClass, "Not Open");
  return w->native;
}

// ---- The modal stack ------------------------------------------------------------------

void push(vwindow* w) {
  vwindowMSWState& s = S();
  if (s.modalCount == s.modalCapacity) {
    s.modalCapacity = s.modalCapacity ? s.modalCapacity * 2 : 4;
    s.modal = static_cast<vwindow**>(vmemRealloc(s.modal, sizeof(vwindow*) * static_cast<std::size_t>(s.modalCapacity)));
  }
  s.modal[s.modalCount++] = w;
  s.currentModal = w;
}

void removeFromStack(vwindow* w) {
  vwindowMSWState& s = S();
  int i = s.modalCount - 1;
  while (i >= 0 && s.modal[i] != w) --i;
  if (i < 0) raise(&vexValueClass, "window is not on the modal stack");
  std::memmove(s.modal + i, s.modal + i + 1, sizeof(vwindow*) * static_cast<std::size_t>(s.modalCount - i - 1));
  --s.modalCount;
  s.currentModal = s.modalCount ? s.modal[s.modalCount - 1] : nullptr;
}

vwindow* topGrab() {
  vwindowMSWState& s = S();
  for (int i = s.modalCount - 1; i >= 0; --i)
    if (s.modal[i]->native && (s.modal[i]->native->flags & vwindowMSW_GRAB)) return s.modal[i];
  return nullptr;
}

// After the top grab went: capture follows the next grabbing window down.
void handCaptureDown() {
  if (!S().nativeCapture) return;
  if (vwindow* next = topGrab())
    win::SetCapture(next->native->hwnd);
  else
    win::ReleaseCapture();
}

// ---- Cursor areas -----------------------------------------------------------------------

int findArea(vwindowMSWNative* n, vobject* cursor, const vrect* r) {
  for (int i = 0; i < n->cursorAreaCount; ++i)
    if (n->cursorAreas[i].cursor == cursor && vrectEqual(&n->cursorAreas[i].rect, r)) return i;
  raise(&vexArgClass, "no such cursor area");
}

void updateCursor(vwindow* w) {
  win::POINT p;
  if (!win::GetCursorPos(&p) || !win::ScreenToClient(w->native->hwnd, &p)) return;
  vwindowMSWSetCursorAt(w, p.x, w->rect.height - p.y - 1);
}

// ---- Key bindings -------------------------------------------------------------------------

const void* keyOf(std::uint32_t key) { return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(key) + 1); }

vdict* made(vdict** d) {
  if (!*d) *d = vdictCreate(vdictHashPointer);
  return *d;
}

}  // namespace

// ---- Modal state and grabs -------------------------------------------------------------------

void vwindowMSWBeginModal(vwindow* w) {
  vwindowMSWNative* n = openNative(w);
  if (S().modalGrab) return vwindowGrab(w);
  push(w);
  n->flags = (n->flags | vwindowMSW_MODAL) & ~vwindowMSW_GRAB;
  win::SetWindowModal(n->hwnd, 1);
}

void vwindowMSWEndModal(vwindow* w) {
  vwindowMSWNative* n = openNative(w);
  if (n->flags & vwindowMSW_GRAB) return vwindowUngrab(w);
  removeFromStack(w);
  n->flags &= ~vwindowMSW_MODAL;
  win::SetWindowModal(n->hwnd, 0);
}

void vwindowGrab(vwindow* w) {
  vwindowMSWNative* n = openNative(w);
  if (n->flags & (vwindowMSW_MODAL | vwindowMSW_GRAB)) raise(&vexArgGrabClass, "already grabbing");
  push(w);
  n->flags |= vwindowMSW_MODAL | vwindowMSW_GRAB;
  if (S().nativeCapture) win::SetCapture(n->hwnd);
}

void vwindowUngrab(vwindow* w) {
  vwindowMSWNative* n = openNative(w);
  if (!(n->flags & vwindowMSW_GRAB)) raise(&vexArgGrabClass, "not grabbing");
  bool wasTop = topGrab() == w;
  removeFromStack(w);
  n->flags &= ~(vwindowMSW_MODAL | vwindowMSW_GRAB);
  if (wasTop) handCaptureDown();
}

void vwindowBlockGrabs() { ++S().grabBlocks; }

void vwindowUnblockGrabs() {
  if (S().grabBlocks == 0) raise(&vexArgGrabClass, "not grabbing");
  --S().grabBlocks;
}

vwindow* vwindowMSWGetTopGrab() { return topGrab(); }
vwindow* vwindowMSWGetCurrentModal() { return S().currentModal; }

vwindow* vwindowMSWGetBlockingModal() {
  vwindowMSWState& s = S();
  for (int i = s.modalCount - 1; i >= 0; --i)
    if (s.modal[i]->native && !(s.modal[i]->native->flags & vwindowMSW_GRAB)) return s.modal[i];
  return nullptr;
}

vwindow* vwindowMSWBlockedBy(vwindow* w) {
  vwindowMSWState& s = S();
  if (!w || (w->native && (w->flags & vwindowMODAL) && !(w->native->flags & vwindowMSW_MODAL))) return nullptr;
  vwindow* root = vwindowGetRoot();
  for (int i = s.modalCount - 1; i >= 0; --i) {
    vwindow* m = s.modal[i];
    if (m == root) return root;
    for (vwindow* in = w; in; in = in->parent)
      if (in == m) return nullptr;
    // A grab (a press's, a menu's) takes its input by capture; it keeps no window from it.
    if (!m->native || !(m->native->flags & vwindowMSW_GRAB)) return m;
  }
  return nullptr;
}

void vwindowMSWButtonGrab(vwindow* w) {
  vwindowMSWNative* n = openNative(w);
  if (n->flags & vwindowMSW_GRAB) return;
  n->savedFlags = n->flags;
  if (!(n->flags & vwindowMSW_MODAL)) push(w);
  n->flags |= vwindowMSW_MODAL | vwindowMSW_GRAB | vwindowMSW_BUTTON_GRAB;
  if (S().nativeCapture) win::SetCapture(n->hwnd);
}

void vwindowMSWButtonRelease(vwindow* w) {
  if (!w || !w->native || !(w->native->flags & vwindowMSW_BUTTON_GRAB)) return;
  vwindowMSWNative* n = w->native;
  bool wasTop = topGrab() == w;
  if (!(n->savedFlags & vwindowMSW_MODAL)) removeFromStack(w);
  constexpr std::uint32_t kept = vwindowMSW_MODAL | vwindowMSW_GRAB | vwindowMSW_BUTTON_GRAB;
  n->flags = (n->flags & ~kept) | (n->savedFlags & kept);
  if (wasTop) handCaptureDown();
}

// ---- The pointer ----------------------------------------------------------------------------

void vwindowGetPointer(vwindow* w, int* x, int* y) {
  vwindowEnsureStartup();
  win::POINT p{};
  win::GetCursorPos(&p);
  if (w && w->native && w != vwindowGetRoot()) win::ScreenToClient(w->native->hwnd, &p);
  int height = w ? w->rect.height : S().display.screenHeight;
  *x = p.x;
  *y = height - p.y - 1;
}

void vwindowWarpPointer(vwindow* w, int x, int y) {
  vwindowEnsureStartup();
  win::POINT p{};
  if (!w) {
    win::GetCursorPos(&p);
    win::SetCursorPos(p.x + x, p.y - y);
    return;
  }
  p = {x, w->rect.height - y - 1};
  if (w->native && w != vwindowGetRoot()) win::ClientToScreen(w->native->hwnd, &p);
  win::SetCursorPos(p.x, p.y);
}

vwindow* vwindowGetPointerWindow() {
  vwindowEnsureStartup();
  win::POINT screen{};
  win::GetCursorPos(&screen);
  for (win::HWND h = win::WindowFromPoint(screen); h; h = win::GetParent(h)) {
    vwindow* w = vwindowFindFromMSWWindow(h);
    if (!w) continue;
    win::POINT p = screen;
    win::ScreenToClient(h, &p);
    if (p.x >= 0 && p.y >= 0 && p.x < w->rect.width && p.y < w->rect.height) return w;
    break;
  }
  return vwindowGetRoot();
}

// The cursor object's native cursor comes from the graphics' native
// images; until they exist an area carries none and the window's own
// cursor shows.
void vwindowAddCursorRect(vwindow* w, vobject* cursor, const vrect* r) {
  vwindowMSWNative* n = openNative(w);
  if (n->cursorAreaCount == n->cursorAreaCapacity) {
    n->cursorAreaCapacity = n->cursorAreaCapacity ? n->cursorAreaCapacity * 2 : 4;
    n->cursorAreas = static_cast<vwindowMSWCursorArea*>(
        vmemRealloc(n->cursorAreas, sizeof(vwindowMSWCursorArea) * static_cast<std::size_t>(n->cursorAreaCapacity)));
  }
  n->cursorAreas[n->cursorAreaCount++] = {cursor, *r, vcursorGetMSWCursor(cursor)};
  updateCursor(w);
}

void vwindowRemoveCursorRect(vwindow* w, vobject* cursor, const vrect* r) {
  vwindowMSWNative* n = openNative(w);
  int i = findArea(n, cursor, r);
  std::memmove(n->cursorAreas + i, n->cursorAreas + i + 1,
               sizeof(vwindowMSWCursorArea) * static_cast<std::size_t>(n->cursorAreaCount - i - 1));
  --n->cursorAreaCount;
  updateCursor(w);
}

void vwindowMoveCursorRect(vwindow* w, vobject* cursor, const vrect* from, const vrect* to) {
  vwindowMSWNative* n = openNative(w);
  n->cursorAreas[findArea(n, cursor, from)].rect = *to;
  updateCursor(w);
}

win::HCURSOR vwindowMSWCursorAt(vwindow* w, int x, int y) {
  vwindowMSWNative* n = w->native;
  if (!n) return nullptr;
  win::HCURSOR c = n->cursor;
  if (!(w->flags & vwindowBUSY))
    for (int i = n->cursorAreaCount - 1; i >= 0; --i)
      if (n->cursorAreas[i].native && vrectContainsPoint(&n->cursorAreas[i].rect, x, y)) {
        c = n->cursorAreas[i].native;
        break;
      }
  return c;
}

void vwindowMSWSetCursorAt(vwindow* w, int x, int y) {
  if (win::HCURSOR c = vwindowMSWCursorAt(w, x, y)) win::SetCursor(c);
}

// ---- Key bindings ---------------------------------------------------------------------------------

vdict* vwindowMSWGetKeyDict(vwindow* w) { return made(&openNative(w)->keyDict); }
vdict* vwindowMSWGetOverrideKeyDict(vwindow* w) { return made(&openNative(w)->overrideKeyDict); }

void* vwindowLookupKeyBinding(vwindow* w, std::uint32_t key) {
  if (void* v = vdictGet(vwindowMSWGetKeyDict(w), keyOf(key))) return v;
  return vdictGet(vwindowClassOf(w)->keyBindings, keyOf(key));
}

void* vwindowLookupKeyOverride(vwindow* w, std::uint32_t key) {
  return vdictGet(vwindowMSWGetOverrideKeyDict(w), keyOf(key));
}

// ---- Placement ---------------------------------------------------------------------------------------

namespace {
vrect frameOf(vwindow* w) {
  vwindowMSWNative* n = w->native;
  if (!n || w == vwindowGetRoot()) return w->rect;
  return vrect{static_cast<std::int16_t>(w->rect.x - n->insetLeft), static_cast<std::int16_t>(w->rect.y - n->insetBottom),
               static_cast<std::int16_t>(w->rect.width + n->insetLeft + n->insetRight),
               static_cast<std::int16_t>(w->rect.height + n->insetTop + n->insetBottom)};
}

void setRect(vwindow* w, const vrect& r) {
  if (vwindowClassRec* c = vwindowClassOf(w); c->setRect) return c->setRect(w, &r);
  w->rect = r;
  if (w->native) vwindowMSWMoveResize(w);
}
}  // namespace

void vwindowPlace(vwindow* w, vwindow* base, int horizontal, int vertical) {
  vwindowEnsureStartup();
  if (!base) base = vwindowGetRoot();
  vrect frame = frameOf(w), bounds = frameOf(base), placed;
  vrectAlign(&frame, &bounds, horizontal, vertical, &placed);
  vwindowMSWNative* n = w->native;
  int left = n ? n->insetLeft : 0, bottom = n ? n->insetBottom : 0;
  setRect(w, vrect{static_cast<std::int16_t>(placed.x + left), static_cast<std::int16_t>(placed.y + bottom), w->rect.width,
                   w->rect.height});
}

// ---- Small entries ------------------------------------------------------------------------------------

win::HWND vwindowGetMSWWindow(vwindow* w) { return w && w->native ? w->native->hwnd : nullptr; }
int vwindowGetMSWKind(vwindow* w) { return w && w->native ? int{w->native->nativeKind} : int{vwindowMSW_KIND_PLAIN}; }

win::HWND vwindowGetMSWMDIClient(vwindow* w) { return w->extension ? w->extension->mdiClient : nullptr; }

void vwindowSetMSWMDIClient(vwindow* w, win::HWND client, std::intptr_t value) {
  vwindowExtension* x = vwindowGetExtension(w);
  x->mdiClient = client;
  x->mdiValue = value;
  if (w->native) vwindowMSWForgetCachedKind(w->native->hwnd);
  // Classes of even index keep the client in the frame's first window word.
  if (w->native && w->native->nativeKind != vwindowMSW_KIND_PLAIN)
    win::SetWindowLongPtrA(w->native->hwnd, 0, reinterpret_cast<win::LONG_PTR>(client));
}

void vwindowSetMSWMenuProc(vwindow* w, vwindowMSWMenuProc proc) {
  if (w->native) w->native->menuProc = proc;
}
void vwindowSetMSWMenuBar(vwindow* w, vobject* bar) {
  if (w->native) w->native->menuBar = bar;
}
vobject* vwindowGetMSWMenuBar(vwindow* w) { return w->native ? w->native->menuBar : nullptr; }
void vwindowSetMSWChildMenuBar(vwindow* w, vobject* bar) {
  if (w->native) w->native->childMenuBar = bar;
}
vobject* vwindowGetMSWChildMenuBar(vwindow* w) { return w->native ? w->native->childMenuBar : nullptr; }

vwindow* vwindowMSWGetFocus() {
  vwindowEnsureStartup();
  return vwindowFindFromMSWWindow(win::GetFocus());
}

void vwindowMSWGetResolution(double* x, double* y) {
  const vwindowMSWDisplay* d = vwindowMSWGetDisplay();
  *x = d->pixelsPerInchX;
  *y = d->pixelsPerInchY;
}

// The offset is in framework terms: y grows upward.
void vwindowMSWMoveBy(vwindow* w, int dx, int dy) {
  if (!w->native) return;
  win::RECT r;
  win::HWND h = w->native->hwnd;
  win::GetWindowRect(h, &r);
  if (win::GetWindowLongPtrA(h, win::GWL_STYLE) & win::WS_CHILD) {
    win::POINT p{r.left, r.top};
    win::ScreenToClient(win::GetParent(h), &p);
    r = {p.x, p.y, p.x + (r.right - r.left), p.y + (r.bottom - r.top)};
  }
  win::MoveWindow(w->native->hwnd, r.left + dx, r.top - dy, r.right - r.left, r.bottom - r.top, 1);
}
