// Damage, erase and update: the two rectangle lists of a native side, the
// window class's invalidate, scroll and update slots, and the palette
// repaint.
#include <cstdlib>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/mswdc.h"
#include "fw/gui/window/window_internal.h"
#include "fw/gui/window/mswgdi.h"

namespace {

vwindowMSWState& S() { return _vwindowMSW(); }

// ---- Rectangle lists ----------------------------------------------------------------

void append(vwindowMSWRectList* list, const vrect& r) {
  if (list->count == list->capacity) {
    std::int32_t capacity = list->capacity * 2;
    auto* grown = static_cast<vrect*>(vmemAlloc(sizeof(vrect) * static_cast<std::size_t>(capacity)));
    std::memcpy(grown, list->rects, sizeof(vrect) * static_cast<std::size_t>(list->count));
    if (list->rects != list->inlineRects) vmemFree(list->rects);
    list->rects = grown;
    list->capacity = capacity;
  }
  list->rects[list->count++] = r;
}

void replace(vwindowMSWRectList* list, const vrect* rects, int n) {
  list->count = 0;
  for (int i = 0; i < n; ++i) append(list, rects[i]);
}

// Owned band-sorted copies of a list, freed on leaving.
struct Merged {
  vrect* rects = nullptr;
  int count = 0;
  bool owned = false;
  explicit Merged(const vwindowMSWRectList& list) {
    if (list.count <= 1) {
      rects = list.rects;
      count = list.count;
      return;
    }
    rects = vrectCombineLists(list.rects, nullptr, list.count, 0, 1, 1, 1, &count);
    owned = true;
  }
  ~Merged() {
    if (owned) vrectDestroyList(rects);
  }
  Merged(const Merged&) = delete;
  Merged& operator=(const Merged&) = delete;
};

// ---- Coordinates ---------------------------------------------------------------------------

win::RECT toNative(const vwindow* w, const vrect& r) {
  int top = w->rect.height - r.y - r.height;
  return win::RECT{r.x, top, r.x + r.width, top + r.height};
}

vrect toFramework(const vwindow* w, const win::RECT& r) {
  int height = r.bottom - r.top;
  return vrect{static_cast<std::int16_t>(r.left), static_cast<std::int16_t>(w->rect.height - r.top - height),
               static_cast<std::int16_t>(r.right - r.left), static_cast<std::int16_t>(height)};
}

bool nonEmpty(const vrect& r) { return r.width >= 1 && r.height >= 1; }

// ---- Invalidate ------------------------------------------------------------------------

void inval(vwindow* w, const vrect* r, int flags) {
  if (flags & 8) return;
  if (!vwindowIsOpen(w)) {
    if (w->native) {
      vwindowMSWCloseNative(w);
      vwindowMSWRegisterClass(w);
    }
    return;
  }
  vwindowMSWNative* n = w->native;
  if (!n || !r || r == vrectCreateList(0)) return;
  append(&n->damage, *r);
  if (!(flags & 1)) append(&n->erase, *r);
  if (!(flags & 16)) {
    win::RECT native = toNative(w, *r);
    win::InvalidateRect(n->hwnd, &native, 0);
  }
  if (flags & 4)
    win::UpdateWindow(n->hwnd);
  else if (flags & 2)
    win::PostMessageA(n->hwnd, win::WM_USER + 5, 0, 0);
}

// ---- Update ------------------------------------------------------------------------------

void clearPending(vwindowMSWNative* n) {
  if (!(n->flags & vwindowMSW_UPDATE_PENDING)) return;
  n->flags &= ~vwindowMSW_UPDATE_PENDING;
  --S().pendingUpdates;
}

void eraseBackground(vwindow* w, const Merged& erase) {
  vdrawState* st = vdrawGetState();
  vcolor* current = st->color;
  vdrawSetColor(st->secondColor);
  vdrawFillRects(erase.rects, erase.count);
  vdrawSetColor(current);
  // Areas the erase covered need no native paint of their own.
  win::RECT update;
  if (!win::GetUpdateRect(w->native->hwnd, &update, 0)) return;
  vrect u = toFramework(w, update);
  for (int i = 0; i < erase.count; ++i) {
    if (!vrectContainsRect(&erase.rects[i], &u)) continue;
    win::RECT native = toNative(w, erase.rects[i]);
    win::ValidateRect(w->native->hwnd, &native);
  }
}

// The damage clips drawing only while the update runs: later drawing
// starts from the whole device again.
void endUpdate(vwindow* w) {
  if (w->native) w->native->flags &= ~vwindowMSW_UPDATING;
  vdrawBindPathDevice();
  vdrawInitDeviceClip();
}

int handleUpdate(vwindow* w, vevent*) {
  vwindowMSWNative* n = w->native;
  if (!n) return 1;
  if (!vwindowIsOpen(w) || vwindowIsIconified(w)) {
    _vwindowMSWClearList(&n->damage);
    _vwindowMSWClearList(&n->erase);
  }
  if (n->damage.count == 0) {
    clearPending(n);
    return 1;
  }
  n->flags |= vwindowMSW_NATIVE_ERASE;
  {
    Merged damage(n->damage);
    Merged erase(n->erase);
    vwindowClassRec* c = vwindowClassOf(w);
    c->bindDraw(w, 0x8000);
    vdrawSetDeviceClipRects(damage.rects, damage.count);
    if (erase.count && (w->decoration & vwindowDECO_ERASE)) eraseBackground(w, erase);
    _vwindowMSWClearList(&n->damage);
    _vwindowMSWClearList(&n->erase);
  }
  n->flags |= vwindowMSW_UPDATING;
  vexGuard([&] { vwindowClassOf(w)->draw(w); },
           [&](vexHandler&) {
             endUpdate(w);
             _vexGenerate(nullptr, vexEnd);
           });
  endUpdate(w);
  clearPending(n);
  return 1;
}

// ---- Scroll -------------------------------------------------------------------------------

// Moves the part of a list inside r by (dx, dy), clipped to r; the part
// outside stays.
void follow(vwindowMSWRectList* list, const vrect& r, int dx, int dy) {
  if (list->count == 0) return;
  int insideCount = 0, outsideCount = 0;
  vrect* inside = vrectCombineLists(list->rects, &r, list->count, 1, 1, 2, 3, &insideCount);
  vrect* outside = vrectCombineLists(list->rects, &r, list->count, 1, 1, 2, 1, &outsideCount);
  vwindowMSWRectList moved{};
  _vwindowMSWInitList(&moved);
  for (int i = 0; i < outsideCount; ++i) append(&moved, outside[i]);
  for (int i = 0; i < insideCount; ++i) {
    vrect shifted, clipped;
    vrectOffset(&inside[i], dx, dy, &shifted);
    vrectIntersect(&shifted, &r, &clipped);
    if (nonEmpty(clipped)) append(&moved, clipped);
  }
  replace(list, moved.rects, moved.count);
  _vwindowMSWClearList(&moved);
  vrectDestroyList(inside);
  vrectDestroyList(outside);
}

int strips(const vrect& r, int dx, int dy, vrect out[2]) {
  int n = 0;
  if (dx) out[n++] = vrect{static_cast<std::int16_t>(dx > 0 ? r.x : r.x + r.width + dx), r.y,
                           static_cast<std::int16_t>(std::abs(dx)), r.height};
  if (dy) out[n++] = vrect{r.x, static_cast<std::int16_t>(dy > 0 ? r.y : r.y + r.height + dy), r.width,
                           static_cast<std::int16_t>(std::abs(dy))};
  return n;
}

// The uncovered area the native scroll reported, in framework rectangles.
int coveredSources(vwindow* w, win::HRGN region, const win::RECT& bounds, vrect** out) {
  if (const win::RGNDATA* data = vwindowMSWGetRegionData(region, nullptr)) {
    auto* rects = reinterpret_cast<const win::RECT*>(data->Buffer);
    int n = static_cast<int>(data->rdh.nCount);
    *out = vrectCreateList(n);
    for (int i = 0; i < n; ++i) (*out)[i] = toFramework(w, rects[i]);
    return n;
  }
  *out = vrectCreateList(1);
  (*out)[0] = toFramework(w, bounds);
  return 1;
}

void scroll(vwindow* w, const vrect* area, int dx, int dy, int flags) {
  if (!vwindowIsOpen(w) || vwindowIsIconified(w) || !w->native || (dx == 0 && dy == 0)) return;
  vwindowMSWNative* n = w->native;
  const vrect r = *area;
  vrect moved, source, destination;
  vrectOffset(&r, -dx, -dy, &moved);
  vrectIntersect(&moved, &r, &source);
  vrectOffset(&r, dx, dy, &moved);
  vrectIntersect(&moved, &r, &destination);
  win::HRGN uncovered = nullptr;
  win::RECT bounds{};
  if (nonEmpty(destination)) {
    uncovered = vwindowMSWCreateRectRgn(0, 0, 0, 0);
    win::HDC dc = vwindowGetMSWDC(w, nullptr);
    win::RECT native = toNative(w, r);
    win::ScrollDC(dc, dx, -dy, &native, &native, uncovered, &bounds);
    vwindowReleaseMSWDC(w, dc);
  }
  follow(&n->damage, r, dx, dy);
  follow(&n->erase, r, dx, dy);
  vrect strip[2];
  int stripCount = strips(r, dx, dy, strip);
  vwindowClassRec* c = vwindowClassOf(w);
  if (!(flags & 8))
    for (int i = 0; i < stripCount; ++i) c->inval(w, &strip[i], flags);
  if (uncovered && bounds.right > bounds.left && bounds.bottom > bounds.top) {
    vrect* covered = nullptr;
    int coveredCount = coveredSources(w, uncovered, bounds, &covered);
    int inD = 0, rest = 0;
    vrect* withinD = vrectCombineLists(covered, &destination, coveredCount, 1, 1, 2, 3, &inD);
    vrect* parts = vrectCombineLists(withinD, strip, inD, stripCount, 1, 2, 1, &rest);
    for (int i = 0; i < rest; ++i) c->inval(w, &parts[i], 1);
    vrectDestroyList(parts);
    vrectDestroyList(withinD);
    vrectDestroyList(covered);
  }
  if (uncovered) win::DeleteObject(uncovered);
}

// ---- Drawing ---------------------------------------------------------------------------------

void draw(vwindow*) {}

// Drawing bound again inside the window's own update stays within the
// damage; outside it the whole window is drawable, not the last damage.
void bindWindow(vwindow* w, int flags) {
  bool updating = w->native && (w->native->flags & vwindowMSW_UPDATING);
  if (updating) flags |= vdrawBIND_CLIP_TO_DEVICE;
  _vdrawBindDevice(vdrawBIND_WINDOW | flags, w, nullptr, &vdrawDefaultDeviceTable, vwindowMSWGetDriver());
  if (!updating) vdrawInitDeviceClip();
}

void bindDraw(vwindow* w, int flags) {
  if (vwindowIsOpen(w) && !vwindowIsIconified(w) && w->native) {
    if (w->native->flags & vwindowMSW_WINDOW_DC) flags |= 4;
    bindWindow(w, flags);
  } else {
    vdrawBindPathDevice();
  }
  _vwindowSetDrawingDefaults(w);
}

}  // namespace

void _vwindowMSWInitList(vwindowMSWRectList* list) {
  list->rects = list->inlineRects;
  list->count = 0;
  list->capacity = 4;
}

void _vwindowMSWClearList(vwindowMSWRectList* list) {
  if (list->rects && list->rects != list->inlineRects) vmemFree(list->rects);
  _vwindowMSWInitList(list);
}

void _vwindowMSWFillSlots(vwindowClassRec* c) {
  c->inval = inval;
  c->scroll = scroll;
  c->handleUpdate = handleUpdate;
  c->draw = draw;
  c->bindDraw = bindDraw;
}

void vwindowBindDrawTarget(vwindow* w) {
  vwindowEnsureStartup();
  bindWindow(w, 0);
}

void vwindowMSWPaletteRepaint(vwindow* w, const vrect* r, int flags) {
  vrect whole{0, 0, w->rect.width, w->rect.height};
  vwindowClassOf(w)->inval(w, r ? r : &whole, flags);
  if (!w->native || w->native->nativeKind != vwindowMSW_KIND_TOP || !w->extension) return;
  for (vwindow** p = w->extension->childEnd; p != w->extension->childBegin;) {
    vwindow* child = *--p;
    if (vwindowIsOpen(child) && !vwindowIsIconified(child) && child->native &&
        !(child->native->flags & vwindowMSW_NO_OWNER))
      vwindowMSWPaletteRepaint(child, r, flags);
  }
}

// Work that opens window after window in one handler keeps the loop from
// painting until it returns: the windows would stand on the screen
// unpainted (black where their buffers were never drawn) all that time.
// Only the paints of this window and those inside it are taken: the others
// keep what they show until the loop, and input waits for it.
void vwindowPaintPending(vwindow* w) {
  win::HWND hwnd = w != nullptr && w->native != nullptr ? w->native->hwnd : nullptr;
  if (hwnd == nullptr) return;
  win::MSG m;
  while (win::PeekMessageA(&m, hwnd, win::WM_PAINT, win::WM_PAINT, win::PM_REMOVE)) win::DispatchMessageA(&m);
}
