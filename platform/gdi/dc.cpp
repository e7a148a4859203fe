// Device contexts: window, memory and screen contexts, their attributes,
// selection, clipping and visible regions, and the window buffers.
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/backend/backend.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/world.h"
#include "platform/user/internal.h"

namespace win {
namespace internal {
namespace {

std::uint64_t generation = 1;

struct Buffer {
  Surface surface;
  RECT dirty{};
};
std::map<HWND, Buffer>& buffers() {
  static std::map<HWND, Buffer> b;
  return b;
}
std::map<HWND, HDC>& ownDcs() {
  static std::map<HWND, HDC> m;
  return m;
}

HGDIOBJ defaultBitmap() {
  static HGDIOBJ h = [] {
    auto o = std::make_unique<GdiObject>(OBJ_BITMAP);
    o->stock = true;
    o->bitmap.reset(1, 1, true, 0);
    return asHandle<HGDIOBJ>(gdiObjects().add(std::move(o)));
  }();
  return h;
}

void hold(HGDIOBJ h, int by) {
  if (GdiObject* o = gdiObjects().get(reinterpret_cast<std::uintptr_t>(h))) o->selected += by;
}

HDC newDc(DcKind kind, HWND hwnd) {
  auto o = std::make_unique<GdiObject>(kind == DcKind::memory ? OBJ_MEMDC : OBJ_DC);
  o->dc = std::make_unique<Dc>();
  Dc& dc = *o->dc;
  dc.kind = kind;
  dc.hwnd = hwnd;
  dc.brush = GetStockObject(WHITE_BRUSH);
  dc.pen = GetStockObject(BLACK_PEN);
  dc.font = GetStockObject(SYSTEM_FONT);
  dc.palette = GetStockObject(DEFAULT_PALETTE);
  if (kind == DcKind::memory) dc.bitmap = defaultBitmap();
  for (HGDIOBJ h : {dc.brush, dc.pen, dc.font, dc.palette, dc.bitmap}) hold(h, 1);
  Dc* raw = &dc;
  HDC h = addGdiObject<HDC>(std::move(o));
  if (h) raw->handle = h;
  return h;
}

void destroyDc(HDC hdc) {
  GdiObject* o = gdiObject(hdc, OBJ_DC);
  if (!o) return;
  Dc& dc = *o->dc;
  for (HGDIOBJ h : {dc.brush, dc.pen, dc.font, dc.palette, dc.bitmap}) hold(h, -1);
  gdiObjects().remove(reinterpret_cast<std::uintptr_t>(hdc));
}

// The top left of a window (or of its client area) in its root window.
POINT originInRoot(const Window& w, bool whole) {
  POINT p = clientOriginOnScreen(w);
  if (whole) p = {p.x - w.client.left, p.y - w.client.top};
  Window* root = findWindow(rootOf(w.handle));
  return {p.x - root->rect.left, p.y - root->rect.top};
}

RECT windowInRoot(const Window& w) {
  POINT o = originInRoot(w, true);
  return {o.x, o.y, o.x + w.rect.right - w.rect.left, o.y + w.rect.bottom - w.rect.top};
}

RECT clientInRoot(const Window& w) {
  POINT o = originInRoot(w, false);
  return {o.x, o.y, o.x + w.client.right - w.client.left, o.y + w.client.bottom - w.client.top};
}

// A minimized document is an icon in its client; other minimized windows
// show nothing.
bool shown(const Window& w) { return (w.style & WS_VISIBLE) && (!w.minimized || hasDocumentFrame(w)); }

// Siblings above `w` in its parent's order that clip it.
void cutSiblingsAbove(const Window& w, Region& vis) {
  for (HWND s : siblingsOf(w)) {
    if (s == w.handle) break;
    if (Window* sw = findWindow(s); sw && shown(*sw)) vis -= Region(windowInRoot(*sw));
  }
}

// A top-level window's buffer holds at most as many pixels as the screen:
// a window that needs no more is held whole; a larger one from its top
// left, as much of it as the screen can show.
SIZE bufferSize(const Window& root) {
  SIZE screen = backend::Current().ScreenSize();
  std::int64_t sx = std::max<LONG>(1, screen.cx), sy = std::max<LONG>(1, screen.cy);
  std::int64_t width = std::max(0, root.rect.right - root.rect.left), height = std::max(0, root.rect.bottom - root.rect.top);
  if (width * height <= sx * sy) return {LONG(width), LONG(height)};
  return {LONG(std::min(width, sx)), LONG(std::min(height, sy))};
}

Region computeVisible(const Dc& dc) {
  Window* w = findWindow(dc.hwnd);
  if (!w) return {};
  for (Window* up = w; up; up = findWindow(up->parent))
    if (!shown(*up)) return {};
  Region vis(dc.whole ? windowInRoot(*w) : clientInRoot(*w));
  if (w->parent && ((w->style & WS_CLIPSIBLINGS) || (dc.flags & DCX_CLIPSIBLINGS))) cutSiblingsAbove(*w, vis);
  for (Window* up = findWindow(w->parent); up; up = findWindow(up->parent)) {
    vis &= Region(clientInRoot(*up));
    if (up->parent && (up->style & WS_CLIPSIBLINGS)) cutSiblingsAbove(*up, vis);
  }
  // Children show only inside the client area: beyond it (over scroll
  // bars) the window's own frame stays.
  if ((w->style & WS_CLIPCHILDREN) || (dc.flags & DCX_CLIPCHILDREN))
    for (HWND c : w->children)
      if (Window* cw = findWindow(c); cw && shown(*cw)) {
        Region child(windowInRoot(*cw));
        child &= Region(clientInRoot(*w));
        vis -= child;
      }
  if (Window* root = findWindow(rootOf(dc.hwnd))) {
    SIZE b = bufferSize(*root);
    vis &= Region(RECT{0, 0, b.cx, b.cy});
  }
  POINT o = originInRoot(*w, dc.whole);
  vis.offset(-o.x, -o.y);
  return vis;
}

Surface& screenScratch() {
  static Surface s;
  return s;
}

// The state a cache context starts with at every GetDC.
HDC handOut(HWND hwnd, DWORD flags) {
  HDC h = newDc(hwnd ? DcKind::window : DcKind::screen, hwnd);
  if (Dc* dc = dcOf(h)) {
    dc->cache = true;
    dc->whole = (flags & DCX_WINDOW) != 0;
    dc->flags = flags & (DCX_CLIPCHILDREN | DCX_CLIPSIBLINGS);
  }
  return h;
}

}  // namespace

Dc* dcOf(HDC hdc) {
  GdiObject* o = gdiObject(hdc, OBJ_DC);
  return o ? o->dc.get() : nullptr;
}

void windowsChanged() { ++generation; }
std::uint64_t windowGeneration() { return generation; }

void clipChanged(Dc& dc) { dc.clipStale = true; }

const Region& effectiveClip(Dc& dc) {
  if (dc.kind == DcKind::window && dc.visibleGeneration != generation) {
    dc.visible = computeVisible(dc);
    dc.visibleGeneration = generation;
    dc.clipStale = true;
  } else if (dc.kind != DcKind::window) {
    RECT bounds{};
    if (dc.kind == DcKind::screen) {
      SIZE s = backend::Current().ScreenSize();
      bounds = {0, 0, s.cx, s.cy};
    } else if (dc.kind == DcKind::printer) {
      bounds = {0, 0, kPrintWidth, kPrintHeight};
    } else if (GdiObject* b = gdiObject(dc.bitmap, OBJ_BITMAP)) {
      bounds = b->bitmap.bounds();
    }
    if (!(dc.visible.box().right == bounds.right && dc.visible.box().bottom == bounds.bottom && !dc.visible.empty())) {
      dc.visible = Region(bounds);
      dc.clipStale = true;
    }
  }
  if (dc.clipStale) {
    dc.clip = dc.visible;
    if (dc.paintClip) dc.clip &= *dc.paintClip;
    if (dc.appClip) dc.clip &= *dc.appClip;
    dc.clipStale = false;
  }
  return dc.clip;
}

Surface* windowBuffer(HWND root) {
  Window* w = findWindow(root);
  if (!w) return nullptr;
  SIZE size = bufferSize(*w);
  int width = size.cx, height = size.cy;
  Buffer& b = buffers()[root];
  if (b.surface.width != width || b.surface.height != height) {
    // A resized buffer keeps its pixels at the top left.
    Surface next;
    next.reset(width, height, false, 0);
    for (int y = 0; y < std::min(height, b.surface.height); ++y)
      std::copy_n(b.surface.row(y), std::min(width, b.surface.width), next.row(y));
    b.surface = std::move(next);
  }
  return &b.surface;
}

void markDirty(HWND root, const RECT& area) {
  auto it = buffers().find(root);
  if (it == buffers().end() || emptyRect(area)) return;
  RECT& d = it->second.dirty;
  d = emptyRect(d) ? area
                   : RECT{std::min(d.left, area.left), std::min(d.top, area.top), std::max(d.right, area.right),
                          std::max(d.bottom, area.bottom)};
}

bool presentAgain(HWND root, const RECT& area) {
  if (buffers().find(root) == buffers().end()) return false;
  markDirty(root, area);
  return true;
}

void presentDirty() {
  for (auto& [hwnd, b] : buffers()) {
    if (emptyRect(b.dirty)) continue;
    Window* w = findWindow(hwnd);
    RECT d = intersectRect(b.dirty, b.surface.bounds());
    b.dirty = {};
    if (w && w->hasSurface && !emptyRect(d))
      backend::Current().Present(hwnd, d, {b.surface.px.data(), b.surface.width, b.surface.height, b.surface.width});
  }
}

void forgetWindowGraphics(HWND hwnd) {
  buffers().erase(hwnd);
  if (auto it = ownDcs().find(hwnd); it != ownDcs().end()) {
    destroyDc(it->second);
    ownDcs().erase(it);
  }
}

namespace {
// What lies under the band right of and below a window with a drop shadow
// shows at half its brightness.
constexpr int kShadowWidth = 2;
void darken(Surface& out, RECT band) {
  band = intersectRect(band, out.bounds());
  for (int y = band.top; y < band.bottom; ++y)
    for (std::uint32_t* p = out.row(y) + band.left; p != out.row(y) + band.right; ++p) *p = (*p >> 1) & 0x7F7F7F;
}
void castShadow(Surface& out, const RECT& r) {
  darken(out, {r.right, r.top + kShadowWidth, r.right + kShadowWidth, r.bottom + kShadowWidth});
  darken(out, {r.left + kShadowWidth, r.bottom, r.right, r.bottom + kShadowWidth});
}
}  // namespace

namespace {
// The part of a top-level window its buffer holds, on the screen.
RECT seenPart(const Window& w, const Surface& b) {
  return intersectRect(w.rect, RECT{w.rect.left, w.rect.top, w.rect.left + b.width, w.rect.top + b.height});
}
}  // namespace

void composeScreen(Surface& out) {
  SIZE s = backend::Current().ScreenSize();
  out.reset(s.cx, s.cy, false, toXrgb(GetSysColor(1)));
  const auto& order = topLevelOrder();
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    Window* w = findWindow(*it);
    if (!w || !shown(*w)) continue;
    Surface* b = windowBuffer(*it);
    RECT r = intersectRect(seenPart(*w, *b), out.bounds());
    for (int y = r.top; y < r.bottom; ++y)
      std::copy(b->row(y - w->rect.top) + (r.left - w->rect.left), b->row(y - w->rect.top) + (r.right - w->rect.left),
                out.row(y) + r.left);
    if (w->windowClass && (w->windowClass->wc.style & CS_DROPSHADOW)) castShadow(out, w->rect);
  }
}

bool targetOf(Dc& dc, Target& t) {
  t = {};
  t.clip = &effectiveClip(dc);
  switch (dc.kind) {
    case DcKind::memory: {
      GdiObject* b = gdiObject(dc.bitmap, OBJ_BITMAP);
      if (!b) return false;
      t.surface = &b->bitmap;
      return true;
    }
    case DcKind::printer:
      t.surface = dc.sheet.get();
      t.origin = {kPrintOffset, kPrintOffset};
      return t.surface != nullptr;
    case DcKind::screen:
      composeScreen(screenScratch());
      t.surface = &screenScratch();
      t.screen = true;
      return true;
    case DcKind::window: {
      Window* w = findWindow(dc.hwnd);
      if (!w) return false;
      t.root = rootOf(dc.hwnd);
      t.surface = windowBuffer(t.root);
      t.origin = originInRoot(*w, dc.whole);
      return t.surface != nullptr;
    }
  }
  return false;
}

void finishTarget(const Target& t, const RECT& area) {
  if (t.root) markDirty(t.root, offsetRect(area, t.origin.x, t.origin.y));
  if (!t.screen) return;
  // What was drawn on the screen goes into every window under it.
  RECT a = intersectRect(area, t.surface->bounds());
  if (emptyRect(a)) return;
  for (HWND h : topLevelOrder()) {
    Window* w = findWindow(h);
    if (!w || !shown(*w)) continue;
    Surface* b = windowBuffer(h);
    RECT r = intersectRect(a, seenPart(*w, *b));
    if (emptyRect(r)) continue;
    for (int y = r.top; y < r.bottom; ++y)
      std::copy(t.surface->row(y) + r.left, t.surface->row(y) + r.right, b->row(y - w->rect.top) + (r.left - w->rect.left));
    markDirty(h, offsetRect(r, -w->rect.left, -w->rect.top));
  }
}

const Surface* sourceOf(Dc& dc, POINT& origin, Surface& scratch) {
  origin = {};
  if (dc.kind == DcKind::screen) {
    composeScreen(scratch);
    return &scratch;
  }
  Target t;
  if (!targetOf(dc, t)) return nullptr;
  origin = t.origin;
  return t.surface;
}

}  // namespace internal

using internal::Dc;
using internal::dcOf;
using internal::DcKind;
using internal::GdiObject;
using internal::gdiObject;
using internal::kPrintDpi;
using internal::kPrintHeight;
using internal::kPrintOffset;
using internal::kPrintWidth;
using internal::kSheetHeight;
using internal::kSheetWidth;
using internal::Surface;

HDC GetDCEx(HWND hwnd, HRGN, DWORD flags) {
  if (!hwnd) return internal::handOut(nullptr, 0);
  internal::Window* w = internal::checkWindow(hwnd);
  if (!w) return nullptr;
  bool own = (w->windowClass->wc.style & CS_OWNDC) && !(flags & (DCX_CACHE | DCX_WINDOW));
  if (!own) return internal::handOut(hwnd, flags);
  HDC& h = internal::ownDcs()[hwnd];
  if (!h) {
    h = internal::newDc(DcKind::window, hwnd);
    if (Dc* dc = dcOf(h)) dc->own = true;
  }
  return h;
}

HDC GetDC(HWND hwnd) { return GetDCEx(hwnd, nullptr, 0); }
HDC GetWindowDC(HWND hwnd) { return GetDCEx(hwnd, nullptr, DCX_WINDOW | DCX_CACHE); }

int ReleaseDC(HWND, HDC hdc) {
  Dc* dc = dcOf(hdc);
  if (!dc || (!dc->cache && !dc->own)) return 0;
  internal::presentDirty();
  if (dc->cache) internal::destroyDc(hdc);
  return 1;
}

HDC CreateDCA(const char* driver, const char* device, const char*, const void*) {
  if (driver && device && std::strcmp(driver, "WINSPOOL") == 0 && std::strcmp(device, "PNG Printer") == 0) {
    HDC h = internal::newDc(DcKind::printer, nullptr);
    if (Dc* dc = dcOf(h)) {
      dc->sheet = std::make_shared<Surface>();
      dc->sheet->reset(kSheetWidth, kSheetHeight, false, 0xFFFFFF);
    }
    return h;
  }
  if (!driver || std::strcmp(driver, "DISPLAY") != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return internal::newDc(DcKind::screen, nullptr);
}

HDC CreateCompatibleDC(HDC hdc) {
  if (hdc && !dcOf(hdc)) return nullptr;
  return internal::newDc(DcKind::memory, nullptr);
}

BOOL DeleteDC(HDC hdc) {
  Dc* dc = dcOf(hdc);
  if (!dc || dc->own || dc->kind == DcKind::window) return 0;
  internal::destroyDc(hdc);
  return 1;
}

HWND WindowFromDC(HDC hdc) {
  Dc* dc = dcOf(hdc);
  return dc ? dc->hwnd : nullptr;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  Dc* dc = dcOf(hdc);
  GdiObject* o = gdiObject(object);
  if (!dc || !o) return nullptr;
  HGDIOBJ* slot = nullptr;
  switch (o->type) {
    case OBJ_REGION:
      return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(SelectClipRgn(hdc, static_cast<HRGN>(object))));
    case OBJ_BRUSH: slot = &dc->brush; break;
    case OBJ_PEN: slot = &dc->pen; break;
    case OBJ_FONT: slot = &dc->font; break;
    case OBJ_BITMAP:
      // A bitmap lives in one memory context at a time.
      if (dc->kind != DcKind::memory || (o->selected > 0 && !o->stock && dc->bitmap != object)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      slot = &dc->bitmap;
      internal::clipChanged(*dc);
      break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
  HGDIOBJ previous = *slot;
  internal::hold(previous, -1);
  internal::hold(object, 1);
  *slot = object;
  return previous;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
  Dc* dc = dcOf(hdc);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN: return dc->pen;
    case OBJ_BRUSH: return dc->brush;
    case OBJ_FONT: return dc->font;
    case OBJ_PAL: return dc->palette;
    case OBJ_BITMAP: return dc->bitmap;
    default: return nullptr;
  }
}

HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL) {
  Dc* dc = dcOf(hdc);
  if (!dc || !gdiObject(palette, OBJ_PAL)) return nullptr;
  HGDIOBJ previous = dc->palette;
  internal::hold(previous, -1);
  internal::hold(palette, 1);
  dc->palette = palette;
  return static_cast<HPALETTE>(previous);
}

int GetDeviceCaps(HDC hdc, int index) {
  Dc* dc = dcOf(hdc);
  if (!dc) return 0;
  if (dc->kind == DcKind::printer) {
    const int caps[][2] = {{HORZRES, kPrintWidth}, {VERTRES, kPrintHeight}, {BITSPIXEL, 24}, {PLANES, 1},
                           {NUMCOLORS, -1}, {RASTERCAPS, RC_BITBLT | RC_DI_BITMAP | RC_STRETCHBLT | RC_STRETCHDIB},
                           {LOGPIXELSX, kPrintDpi}, {LOGPIXELSY, kPrintDpi}};
    for (const auto& c : caps)
      if (c[0] == index) return c[1];
    return 0;
  }
  SIZE s = backend::Current().ScreenSize();
  struct Cap {
    int index, value;
  };
  const Cap caps[] = {{HORZRES, s.cx},
                      {VERTRES, s.cy},
                      {BITSPIXEL, 24},
                      {PLANES, 1},
                      {NUMCOLORS, -1},
                      {RASTERCAPS, RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_STRETCHBLT | RC_STRETCHDIB},
                      {LOGPIXELSX, 96},
                      {LOGPIXELSY, 96},
                      {SIZEPALETTE, 0},
                      {NUMRESERVED, 0}};
  for (const Cap& c : caps)
    if (c.index == index) return c.value;
  return 0;
}

namespace {

// Every attribute setter answers the previous value, or `failure` for a
// bad context or value.
template <class T>
T setAttribute(HDC hdc, T Dc::*field, T value, T failure, bool valid = true) {
  Dc* dc = dcOf(hdc);
  if (!dc || !valid) {
    if (dc) SetLastError(ERROR_INVALID_PARAMETER);
    return failure;
  }
  T previous = dc->*field;
  dc->*field = value;
  return previous;
}
template <class T>
T getAttribute(HDC hdc, T Dc::*field, T failure) {
  Dc* dc = dcOf(hdc);
  return dc ? dc->*field : failure;
}

BOOL setPoint(HDC hdc, POINT Dc::*field, int x, int y, POINT* previous) {
  Dc* dc = dcOf(hdc);
  if (!dc) return 0;
  if (previous) *previous = dc->*field;
  dc->*field = {x, y};
  return 1;
}

}  // namespace

COLORREF SetTextColor(HDC hdc, COLORREF c) { return setAttribute<COLORREF>(hdc, &Dc::text, c, 0xFFFFFFFFu); }
COLORREF GetTextColor(HDC hdc) { return getAttribute<COLORREF>(hdc, &Dc::text, 0xFFFFFFFFu); }
COLORREF SetBkColor(HDC hdc, COLORREF c) { return setAttribute<COLORREF>(hdc, &Dc::bk, c, 0xFFFFFFFFu); }
COLORREF GetBkColor(HDC hdc) { return getAttribute<COLORREF>(hdc, &Dc::bk, 0xFFFFFFFFu); }
int SetBkMode(HDC hdc, int mode) { return setAttribute(hdc, &Dc::bkMode, mode, 0, mode == TRANSPARENT || mode == OPAQUE); }
int GetBkMode(HDC hdc) { return getAttribute(hdc, &Dc::bkMode, 0); }
int SetROP2(HDC hdc, int mode) { return setAttribute(hdc, &Dc::rop2, mode, 0, mode >= R2_BLACK && mode <= R2_WHITE); }
int GetROP2(HDC hdc) { return getAttribute(hdc, &Dc::rop2, 0); }
int SetStretchBltMode(HDC hdc, int mode) {
  return setAttribute(hdc, &Dc::stretchMode, mode, 0, mode >= BLACKONWHITE && mode <= HALFTONE);
}
int GetStretchBltMode(HDC hdc) { return getAttribute(hdc, &Dc::stretchMode, 0); }
namespace {
bool identity(const XFORM& x) {
  return x.eM11 == 1 && x.eM12 == 0 && x.eM21 == 0 && x.eM22 == 1 && x.eDx == 0 && x.eDy == 0;
}
}  // namespace

namespace internal {
bool worldOf(const Dc& dc, World& out) {
  if (identity(dc.world)) return false;
  const XFORM& x = dc.world;
  out = {x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy};
  return true;
}
}  // namespace internal

// As on Windows, the compatible mode cannot be taken back while a world
// transform is in force.
int SetGraphicsMode(HDC hdc, int mode) {
  Dc* dc = dcOf(hdc);
  bool ok = mode == GM_ADVANCED || (mode == GM_COMPATIBLE && (!dc || identity(dc->world)));
  return setAttribute(hdc, &Dc::graphicsMode, mode, 0, ok);
}
int GetGraphicsMode(HDC hdc) { return getAttribute(hdc, &Dc::graphicsMode, 0); }
BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* previous) { return setPoint(hdc, &Dc::brushOrg, x, y, previous); }
BOOL GetBrushOrgEx(HDC hdc, POINT* origin) {
  Dc* dc = dcOf(hdc);
  if (!dc || !origin) return 0;
  *origin = dc->brushOrg;
  return 1;
}
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous) { return setPoint(hdc, &Dc::viewportOrg, x, y, previous); }
BOOL GetViewportOrgEx(HDC hdc, POINT* origin) {
  Dc* dc = dcOf(hdc);
  if (!dc || !origin) return 0;
  *origin = dc->viewportOrg;
  return 1;
}
// Only in the advanced mode, and only a transform that can be inverted.
BOOL SetWorldTransform(HDC hdc, const XFORM* xform) {
  Dc* dc = dcOf(hdc);
  if (!dc || !xform || dc->graphicsMode != GM_ADVANCED ||
      double(xform->eM11) * xform->eM22 - double(xform->eM12) * xform->eM21 == 0)
    return 0;
  dc->world = *xform;
  return 1;
}

int Escape(HDC hdc, int escape, int inCount, const void* in, void* out) {
  Dc* dc = dcOf(hdc);
  if (!dc || dc->kind != DcKind::printer) return 0;
  switch (escape) {
    case QUERYESCSUPPORT: {
      if (inCount < static_cast<int>(sizeof(int)) || !in) return 0;
      int asked = *static_cast<const int*>(in);
      return asked == QUERYESCSUPPORT || asked == GETPHYSPAGESIZE || asked == GETPRINTINGOFFSET ||
             (asked == PASSTHROUGH && internal::printerPassthrough());
    }
    case PASSTHROUGH: {
      // A buffer that starts with its length as a u16.
      if (!internal::printerPassthrough() || !in) return 0;
      const auto* bytes = static_cast<const unsigned char*>(in);
      std::size_t n = std::size_t(bytes[0]) | std::size_t(bytes[1]) << 8;
      dc->passthrough.emplace_back(reinterpret_cast<const char*>(bytes + 2), n);
      return int(n);
    }
    case GETPHYSPAGESIZE:
      if (!out) return 0;
      *static_cast<POINT*>(out) = {kSheetWidth, kSheetHeight};
      return 1;
    case GETPRINTINGOFFSET:
      if (!out) return 0;
      *static_cast<POINT*>(out) = {kPrintOffset, kPrintOffset};
      return 1;
  }
  return 0;
}
BOOL ModifyWorldTransform(HDC hdc, const XFORM*, DWORD mode) {
  Dc* dc = dcOf(hdc);
  if (!dc || mode != MWT_IDENTITY) return 0;
  dc->world = XFORM{1, 0, 0, 1, 0, 0};
  return 1;
}

int SelectClipRgn(HDC hdc, HRGN region) {
  Dc* dc = dcOf(hdc);
  if (!dc) return ERROR;
  if (!region) {
    dc->appClip.reset();
  } else {
    internal::Region* r = internal::regionOf(region);
    if (!r) return ERROR;
    dc->appClip = *r;
  }
  internal::clipChanged(*dc);
  return internal::effectiveClip(*dc).kind();
}

int GetClipRgn(HDC hdc, HRGN region) {
  Dc* dc = dcOf(hdc);
  internal::Region* r = internal::regionOf(region);
  if (!dc || !r) return -1;
  if (!dc->appClip) return 0;
  *r = *dc->appClip;
  return 1;
}

int GetClipBox(HDC hdc, RECT* rect) {
  Dc* dc = dcOf(hdc);
  if (!dc || !rect) return ERROR;
  const internal::Region& c = internal::effectiveClip(*dc);
  *rect = internal::offsetRect(c.box(), -dc->viewportOrg.x, -dc->viewportOrg.y);
  return c.kind();
}

namespace {

int changeClip(HDC hdc, const RECT& logical, int op) {
  Dc* dc = dcOf(hdc);
  if (!dc) return ERROR;
  internal::Region r(internal::offsetRect(logical, dc->viewportOrg.x, dc->viewportOrg.y));
  internal::Region base = dc->appClip ? *dc->appClip : internal::Region(RECT{-internal::Region::kLimit, -internal::Region::kLimit, internal::Region::kLimit, internal::Region::kLimit});
  dc->appClip = internal::Region::combine(base, r, op);
  internal::clipChanged(*dc);
  return internal::effectiveClip(*dc).kind();
}

}  // namespace

int IntersectClipRect(HDC hdc, int l, int t, int r, int b) { return changeClip(hdc, {l, t, r, b}, RGN_AND); }
int ExcludeClipRect(HDC hdc, int l, int t, int r, int b) { return changeClip(hdc, {l, t, r, b}, RGN_DIFF); }

}  // namespace win
