// The GDI drawing driver: binding to a target, syncing the state's
// attributes into GDI objects, and the shape and text operations.
#include "fw/gui/graphics/drawmsw.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/fontmsw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/hooks.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/mswgdi.h"

namespace {

constexpr std::uint8_t kRop2[16] = {1, 9, 5, 13, 3, 11, 7, 15, 2, 10, 6, 14, 4, 12, 8, 16};

// The documented low words of the sixteen pattern operations, by index byte.
struct RopWord {
  std::uint8_t index;
  std::uint16_t low;
};
constexpr RopWord kPatternWords[] = {
    {0x00, 0x0042}, {0x05, 0x00A9}, {0x0A, 0x0329}, {0x0F, 0x0001}, {0x50, 0x0325}, {0x55, 0x0009},
    {0x5A, 0x0049}, {0x5F, 0x00E9}, {0xA0, 0x00C9}, {0xA5, 0x0065}, {0xAA, 0x0029}, {0xAF, 0x0229},
    {0xF0, 0x0021}, {0xF5, 0x0225}, {0xFA, 0x0089}, {0xFF, 0x0062},
};
constexpr RopWord kMaskWords[] = {{0xE2, 0x0746}, {0x22, 0x0326}, {0x66, 0x0046}, {0xEE, 0x0086}, {0xAA, 0x0029}};

struct Stock {
  bool got = false;
  win::HGDIOBJ nullPen, nullBrush, systemFont, whitePen, whiteBrush, blackPen, blackBrush;
};
Stock stock;
vdrawMSWWorldPolicy worldPolicy = nullptr;
vdrawMSWTrace traceHook = nullptr;

const Stock& stocks() {
  if (!stock.got) {
    stock = {true,
             win::GetStockObject(win::NULL_PEN),
             win::GetStockObject(win::NULL_BRUSH),
             win::GetStockObject(win::SYSTEM_FONT),
             win::GetStockObject(win::WHITE_PEN),
             win::GetStockObject(win::WHITE_BRUSH),
             win::GetStockObject(win::BLACK_PEN),
             win::GetStockObject(win::BLACK_BRUSH)};
  }
  return stock;
}

vdrawMSWDevice* dev(void* data) { return static_cast<vdrawMSWDevice*>(data); }

bool isBlackOrWhite(vcolor* c, bool* white) {
  unsigned r, g, b;
  vcolorGetSpecRGB(&c->desc, &r, &g, &b);
  *white = r == 65535 && g == 65535 && b == 65535;
  return *white || (r == 0 && g == 0 && b == 0);
}

int defaultPolicy(const vdrawDeviceTransform*, int printer, int further) { return printer || further; }

// ---- Pens, brushes and the text colour.

void dropPen(vdrawMSWDevice* d) {
  if (d->pen && (d->dirty & vdrawMSW_OWN_PEN)) {
    win::SelectObject(d->hdc, stocks().nullPen);
    win::DeleteObject(d->pen);
  }
  d->pen = nullptr;
  d->dirty &= std::uint16_t(~vdrawMSW_OWN_PEN);
}

void dropBrush(vdrawMSWDevice* d) {
  if (d->brush && (d->dirty & vdrawMSW_OWN_BRUSH)) {
    win::SelectObject(d->hdc, stocks().nullBrush);
    win::DeleteObject(d->brush);
  }
  d->brush = nullptr;
  d->dirty &= std::uint16_t(~vdrawMSW_OWN_BRUSH);
}

void dropPattern(vdrawMSWDevice* d) {
  if (d->pattern && d->ownPattern) win::DeleteObject(d->pattern);
  d->pattern = nullptr;
  d->ownPattern = 0;
}

bool colorless(const vdrawMSWDevice* d) {
  int m = d->stateMode;
  return m == 0 || m == 5 || m == 10 || m == 15;
}

// The pen description in device pixels: widths and dashes follow the
// matrix. GDI has no dash offset, so the lengths are turned to start where
// the offset falls; a dash cut in two gets a gap of 0 between its halves.
win::DWORD capStyle(std::uint16_t flags) {
  switch (flags & vdrawCAP_MASK) {
    case 1024: return win::PS_ENDCAP_SQUARE;
    case 2048: return win::PS_ENDCAP_ROUND;
    default: return win::PS_ENDCAP_FLAT;
  }
}

win::DWORD joinStyle(std::uint16_t flags) {
  switch (flags & vdrawJOIN_MASK) {
    case 256: return win::PS_JOIN_BEVEL;
    case 512: return win::PS_JOIN_ROUND;
    default: return win::PS_JOIN_MITER;
  }
}

double deviceScale() {
  double ax, ay, bx, by;
  const vdrawPrimitiveTable* t = vdrawGetSelectedPrimitives();
  t->TransformDistance(1, 0, &ax, &ay);
  t->TransformDistance(0, 1, &bx, &by);
  return std::sqrt(std::fabs(ax * by - ay * bx));
}

void describePen(vdrawMSWDevice* d, const vdrawState* s) {
  double scale = deviceScale();
  d->penWidth = std::max(1, int(std::floor(s->lineWidth * scale + 0.5)));
  d->penStyle = capStyle(s->flags) | joinStyle(s->flags);
  d->penDashCount = 0;
  int n = 0;
  const float* v = nullptr;
  double offset = 0;
  vdrawGetDash(&n, &v, &offset);
  if (n < 1 || !v || n > vdrawMSW_MAX_DASHES) return;
  std::vector<win::DWORD> lengths;
  for (int i = 0; i < n; ++i)
    lengths.push_back(v[i] > 0 ? std::max<win::DWORD>(1, win::DWORD(std::floor(v[i] * scale + 0.5))) : 0);
  // An odd count alternates across repeats: its period is two rounds.
  if (n % 2 && 2 * n + 2 <= vdrawMSW_MAX_DASHES) lengths.insert(lengths.end(), lengths.begin(), lengths.end());
  std::uint64_t period = 0;
  for (win::DWORD l : lengths) period += l;
  std::uint64_t skip = offset > 0 && lengths.size() % 2 == 0 && lengths.size() + 2 <= vdrawMSW_MAX_DASHES
                           ? std::uint64_t(std::floor(offset * scale + 0.5)) % period
                           : 0;
  std::size_t k = 0;
  std::vector<win::DWORD> out;
  if (skip) {
    while (skip >= lengths[k]) skip -= lengths[k++];
  }
  if (k % 2 == 0 && skip == 0) {
    out.assign(lengths.begin() + std::ptrdiff_t(k), lengths.end());
    out.insert(out.end(), lengths.begin(), lengths.begin() + std::ptrdiff_t(k));
  } else {
    if (k % 2) out.push_back(0);  // the line starts inside a gap
    out.push_back(lengths[k] - win::DWORD(skip));
    out.insert(out.end(), lengths.begin() + std::ptrdiff_t(k) + 1, lengths.end());
    out.insert(out.end(), lengths.begin(), lengths.begin() + std::ptrdiff_t(k));
    out.push_back(win::DWORD(skip));
    if (k % 2 == 0) out.push_back(0);
  }
  d->penDashCount = std::int32_t(out.size());
  std::copy(out.begin(), out.end(), d->penDashes);
  d->penStyle |= win::PS_USERSTYLE;
}

void syncPen(vdrawMSWDevice* d) {
  dropPen(d);
  bool white = false, mask = d->flags & vdrawMSW_MASK;
  bool plain = !mask && d->stateMode < 16 && d->penWidth <= 1 && d->penDashCount == 0;
  if (mask) {
    d->pen = static_cast<win::HPEN>(stocks().whitePen);
  } else if (plain && d->color && isBlackOrWhite(d->color, &white)) {
    d->pen = static_cast<win::HPEN>(white ? stocks().whitePen : stocks().blackPen);
  } else if (plain && d->color) {
    d->pen = vcolorMSWGetPen(d->color);
  } else {
    d->pen = _vcolorMSWCreatePen(d->rgb, d->penStyle, win::PS_SOLID, win::DWORD(d->penWidth),
                                 win::DWORD(d->penDashCount), d->penDashCount ? d->penDashes : nullptr, d->pattern, 1);
    d->dirty |= vdrawMSW_OWN_PEN;
  }
  win::SelectObject(d->hdc, d->pen);
  d->selected |= vdrawMSW_SEL_PEN;
  d->dirty &= std::uint16_t(~vdrawMSW_PEN_STALE);
}

void dropScaledFont(vdrawMSWDevice* d) {
  if (!d->scaledFont) return;
  if (d->selected & vdrawMSW_SEL_FONT) win::SelectObject(d->hdc, stocks().systemFont);
  win::DeleteObject(d->scaledFont);
  d->scaledFont = nullptr;
}

void syncTextColor(vdrawMSWDevice* d) {
  win::COLORREF c = d->rgb;
  if (d->pattern) c = (d->flags & vdrawMSW_MASK) ? 0xFFFFFF : d->rgb;
  win::SetTextColor(d->hdc, c);
  d->dirty &= std::uint16_t(~vdrawMSW_TEXT_STALE);
  d->selected |= vdrawMSW_SEL_TEXT;
}

void syncOrigin(vdrawMSWDevice* d) {
  win::POINT now{};
  win::GetBrushOrgEx(d->hdc, &now);
  int x = ((d->brushX % 8) + 8) % 8, y = ((d->brushY % 8) + 8) % 8;
  if (now.x != x || now.y != y) win::SetBrushOrgEx(d->hdc, x, y, nullptr);
  d->dirty &= std::uint16_t(~vdrawMSW_ORIGIN_STALE);
}

// The colour the pens and brushes take: the current one, or for modes 16
// and 17 its exclusive-or with the look's colour 10 or the second colour.
void syncColor(vdrawMSWDevice* d, vdrawState* s) {
  dropPattern(d);
  d->color = s->color ? s->color : vcolorGetBlack();
  if (d->stateMode >= 16) {
    vcolor* other = nullptr;
    if (d->stateMode == 16) {
      const vwindowHooks& h = vwindowGetHooks();
      other = h.lookColor ? h.lookColor(10) : nullptr;
    } else {
      other = s->secondColor;
    }
    if (!other) other = vcolorGetWhite();
    vcolorMSWXor x = vcolorMSWXorPattern(d->color, other);
    d->rgb = x.pixel;
    d->pattern = x.pattern;
    d->ownPattern = x.pattern != nullptr;
  } else {
    vcolorMSWDeviceForm f = vcolorMSWGetDeviceForm(d->color);
    d->rgb = f.pixel;
    d->pattern = f.pattern;
  }
  d->dirty |= vdrawMSW_PEN_STALE | vdrawMSW_BRUSH_STALE | vdrawMSW_TEXT_STALE;
}

void sync(void* data, unsigned bits) {
  vdrawMSWDevice* d = dev(data);
  vdrawState* s = vdrawGetState();
  if (bits & vdrawDIRTY_DRAW_MODE) {
    int mode = s->flags & vdrawMODE_MASK;
    if (mode > 17) mode = 3;
    d->stateMode = mode;
    d->drawMode = mode >= 16 ? win::R2_XORPEN : kRop2[mode];
    win::SetROP2(d->hdc, d->drawMode);
    // GDI applies the mode to pens and brushes itself, never to text.
    bits |= vdrawDIRTY_COLOR;
  }
  d->offscreen = d->clipMask != nullptr;
  if (bits & vdrawDIRTY_FILL_RULE)
    win::SetPolyFillMode(d->hdc, (s->flags & vdrawEVEN_ODD) ? win::ALTERNATE : win::WINDING);
  if ((bits & (vdrawDIRTY_COLOR | vdrawDIRTY_SECOND_COLOR)) && !colorless(d)) syncColor(d, s);
  if (bits & (vdrawDIRTY_LINE_WIDTH | vdrawDIRTY_DASH | vdrawDIRTY_CAP | vdrawDIRTY_JOIN)) {
    describePen(d, s);
    d->dirty |= vdrawMSW_PEN_STALE;
  }
  if (bits & vdrawDIRTY_PATTERN) {
    d->brushX = s->patternX, d->brushY = s->patternY;
    d->dirty |= vdrawMSW_ORIGIN_STALE;
  }
  if (bits & vdrawDIRTY_FONT) {
    vfont* font = s->matrix ? s->matrix->font : nullptr;
    if (font != d->font) dropScaledFont(d);
    d->font = font;
    d->fontSelected = 0;
  }
  if (d->dirty & vdrawMSW_PEN_STALE) syncPen(d);
  if (d->dirty & vdrawMSW_BRUSH_STALE) _vdrawMSWSyncBrush(d);
  if (d->dirty & vdrawMSW_TEXT_STALE) syncTextColor(d);
  if (d->dirty & vdrawMSW_ORIGIN_STALE) syncOrigin(d);
}

// ---- The clip region.

void deleteRegion(vdrawMSWDevice* d) {
  if (d->selected & vdrawMSW_SEL_CLIP) win::SelectClipRgn(d->hdc, nullptr);
  if (d->clipRegion) win::DeleteObject(d->clipRegion);
  d->clipRegion = nullptr;
  d->selected &= std::uint16_t(~vdrawMSW_SEL_CLIP);
}

void syncClipRegion(vdrawMSWDevice* d) {
  deleteRegion(d);
  if (d->clipMask) return;  // the mask clips instead
  const vrect* r = d->clipList ? d->clipList : &d->clipInline;
  for (int i = 0; i < d->clipCount; ++i)
    if (vrectContainsRect(&r[i], &d->bounds)) return;
  win::HRGN region = vwindowMSWCreateRectRgn(0, 0, 0, 0);
  for (int i = 0; i < d->clipCount; ++i) {
    if (r[i].width <= 0 || r[i].height <= 0) continue;
    win::HRGN one = vwindowMSWCreateRectRgn(r[i].x, r[i].y, r[i].x + r[i].width, r[i].y + r[i].height);
    win::CombineRgn(region, region, one, win::RGN_OR);
    win::DeleteObject(one);
  }
  if (d->flags & vdrawMSW_PRINTER) {
    win::POINT o{};
    win::GetViewportOrgEx(d->hdc, &o);
    win::OffsetRgn(region, o.x, o.y);
  }
  d->clipRegion = region;
  win::SelectClipRgn(d->hdc, region);
  d->selected |= vdrawMSW_SEL_CLIP;
}

void freeClipList(vdrawMSWDevice* d) {
  if (d->clipList) vmemFree(d->clipList);
  d->clipList = nullptr;
}

void freeClipMask(vdrawMSWDevice* d) {
  if (d->clipMaskBitmap) win::DeleteObject(d->clipMaskBitmap);
  d->clipMaskBitmap = nullptr;
  d->clipMask = nullptr;
}

void setClipRects(void* data, const vrect* rects, int count) {
  vdrawMSWDevice* d = dev(data);
  _vdrawMSWTraceCall(d, "clip", rects, count);
  freeClipList(d);
  freeClipMask(d);
  d->offscreen = 0;
  d->clipCount = count;
  if (count == 1) {
    d->clipInline = rects[0];
  } else if (count > 1) {
    d->clipList = static_cast<vrect*>(vmemAlloc(sizeof(vrect) * std::size_t(count)));
    std::memcpy(d->clipList, rects, sizeof(vrect) * std::size_t(count));
  }
  vrect u{0, 0, 0, 0};
  for (int i = 0; i < count; ++i) {
    if (vrectIsEmpty(&rects[i])) continue;
    if (vrectIsEmpty(&u)) u = rects[i];
    else vrectUnion(&u, &rects[i], &u);
  }
  d->clip = u;
  syncClipRegion(d);
}

void clipToMask(void* data, vimage* mask, int x, int y) {
  vdrawMSWDevice* d = dev(data);
  _vdrawMSWTraceCall(d, "clipToMask", nullptr, 0, nullptr, x, d->pageHeight - y - mask->height);
  freeClipList(d);
  freeClipMask(d);
  d->clipCount = 0;
  d->clip = {std::int16_t(x), std::int16_t(y), mask->width, mask->height};
  d->clipMask = mask;
  d->clipMaskBitmap = _vdrawMSWMaskBitmap(mask);
  d->offscreen = 1;
  deleteRegion(d);
}

// ---- Binding.

vdrawDeviceTransform pixelTransform(int height) {
  return {vmatrixNEGATIVE_D | vmatrixTY, vfixedONE, 0, 0, -vfixedONE, 0, vfixed(height) * vfixedONE};
}

void pageOf(vdrawMSWDevice* d) {
  if (d->window) {
    d->pageWidth = d->window->rect.width, d->pageHeight = d->window->rect.height;
  } else if (d->image) {
    d->pageWidth = d->image->width, d->pageHeight = d->image->height;
  } else {
    win::POINT size{};
    if (!(d->flags & vdrawMSW_PRINTER) || win::Escape(d->hdc, win::GETPHYSPAGESIZE, 0, nullptr, &size) <= 0)
      size = {win::GetDeviceCaps(d->hdc, win::HORZRES), win::GetDeviceCaps(d->hdc, win::VERTRES)};
    d->pageWidth = std::int16_t(size.x), d->pageHeight = std::int16_t(size.y);
  }
  d->bounds = {0, 0, d->pageWidth, d->pageHeight};
  if (d->window || d->image) {
    d->transform = pixelTransform(d->pageHeight);
  } else {
    // One unit a point on printers and given contexts.
    vfixed sx = vfixed(std::lround(win::GetDeviceCaps(d->hdc, win::LOGPIXELSX) * 65536.0 / 72));
    vfixed sy = vfixed(std::lround(win::GetDeviceCaps(d->hdc, win::LOGPIXELSY) * 65536.0 / 72));
    d->transform = {vmatrixNEGATIVE_D | vmatrixTY | vmatrixSCALE_A | vmatrixSCALE_D, sx, 0, 0, -sy, 0,
                    vfixed(d->pageHeight) * vfixedONE};
  }
}

// A one-bit image draws into a one-bit bitmap kept on its ring.
win::HBITMAP imageBitmap(vimage* image) {
  if (image->depth != 1) return vwindowMSWGetImageBitmap(image);
  vpixmapLockPixels(image);
  vsyncRingEntry* e = vsyncRingFind(image->store, &vcolorMSWBitmapKind);
  if (e && vsyncRingIsCurrent(e) && e->value) {
    win::BITMAP bm{};
    win::GetObjectA(reinterpret_cast<win::HGDIOBJ>(e->value), sizeof bm, &bm);
    if (bm.bmBitsPixel == 1) return reinterpret_cast<win::HBITMAP>(e->value);
  }
  win::HBITMAP made = _vdrawMSWMaskBitmap(image);
  if (!e) e = vsyncRingAdd(image->store, &vcolorMSWBitmapKind, image);
  if (e->value && !(e->flags & 2)) win::DeleteObject(reinterpret_cast<win::HGDIOBJ>(e->value));
  e->value = reinterpret_cast<std::intptr_t>(made);
  e->flags = std::uint16_t((e->flags & ~2) | vsyncRingUP_TO_DATE);
  return made;
}

void open(void* data, void* target, int flags) {
  vwindowEnsureStartup();
  vdrawMSWDevice* d = dev(data);
  *d = {};
  vwindowMSWInitDrawableDC(&d->drawable);
  if (flags & vdrawBIND_WINDOW) {
    d->window = static_cast<vwindow*>(target);
    vwindowMSWSetDrawableWindow(&d->drawable, d->window);
    d->hdc = vwindowMSWGetDrawableDC(&d->drawable);
    d->flags |= vdrawMSW_BORROWED;
    d->bitsPerPixel = std::int16_t(vwindowMSWGetDisplay()->depth);
  } else if (flags & (vdrawBIND_PRINTER | vdrawBIND_DC)) {
    d->hdc = static_cast<win::HDC>(target);
    d->flags |= (flags & vdrawBIND_PRINTER) ? vdrawMSW_PRINTER : vdrawMSW_GIVEN;
    d->bitsPerPixel = std::int16_t(win::GetDeviceCaps(d->hdc, win::BITSPIXEL) * win::GetDeviceCaps(d->hdc, win::PLANES));
  } else {
    d->image = static_cast<vimage*>(target);
    vwindowMSWSetDrawableBitmap(&d->drawable, imageBitmap(d->image));
    d->hdc = vwindowMSWGetDrawableDC(&d->drawable);
    d->flags |= vdrawMSW_BORROWED | vdrawMSW_IMAGE;
    d->bitsPerPixel = d->image->depth == 1 ? 1 : std::int16_t(vwindowMSWGetDisplay()->depth);
  }
  if (flags & vdrawBIND_MASK_IMAGE) d->flags |= vdrawMSW_MASK;
  if (win::HPALETTE p = _vwindowMSWGetGdiSetup()->palette) d->savedPalette = win::SelectPalette(d->hdc, p, 0);
  d->savedPen = win::GetCurrentObject(d->hdc, win::OBJ_PEN);
  d->savedBrush = win::GetCurrentObject(d->hdc, win::OBJ_BRUSH);
  d->savedFont = win::GetCurrentObject(d->hdc, win::OBJ_FONT);
  win::SetBkColor(d->hdc, 0xFFFFFF);
  win::SetBkMode(d->hdc, win::TRANSPARENT);
  win::SetStretchBltMode(d->hdc, win::COLORONCOLOR);
  win::SetTextAlign(d->hdc, win::TA_BASELINE);
  d->stateMode = 3;
  d->drawMode = win::R2_COPYPEN;
  win::SetROP2(d->hdc, d->drawMode);
  d->penWidth = 1;
  d->fontScale = 1.0;
  if (d->flags & (vdrawMSW_PRINTER | vdrawMSW_GIVEN)) d->fontScale = win::GetDeviceCaps(d->hdc, win::LOGPIXELSY) / 72.0;
  pageOf(d);
  d->clip = d->bounds;
  d->clipInline = d->bounds;
  d->clipCount = 1;
  d->color = vcolorGetBlack();
  win::SetTextColor(d->hdc, 0);
  _vdrawMSWTraceCall(d, "open", nullptr, 0, nullptr, flags);
}

void markDrawn(vdrawMSWDevice* d) {
  if (!d->image || !d->image->store) return;
  if (vsyncRingEntry* e = vsyncRingFind(d->image->store, &vcolorMSWBitmapKind)) vsyncRingSetCurrent(e);
}

void close(void* data) {
  vdrawMSWDevice* d = dev(data);
  if (!d->hdc) return;
  _vdrawMSWTraceCall(d, "close");
  const Stock& st = stocks();
  if (d->selected & vdrawMSW_SEL_PEN) win::SelectObject(d->hdc, st.nullPen);
  if (d->selected & vdrawMSW_SEL_BRUSH) win::SelectObject(d->hdc, st.nullBrush);
  if (d->selected & vdrawMSW_SEL_FONT) win::SelectObject(d->hdc, st.systemFont);
  if (d->selected & vdrawMSW_SEL_TEXT) win::SetTextColor(d->hdc, 0);
  dropPen(d);
  dropBrush(d);
  dropPattern(d);
  deleteRegion(d);
  freeClipList(d);
  freeClipMask(d);
  d->selected = 0;
  win::SetROP2(d->hdc, win::R2_COPYPEN);
  win::SetPolyFillMode(d->hdc, win::ALTERNATE);
  if (d->savedPen) win::SelectObject(d->hdc, d->savedPen);
  if (d->savedBrush) win::SelectObject(d->hdc, d->savedBrush);
  if (d->savedFont) win::SelectObject(d->hdc, d->savedFont);
  if (d->savedPalette) win::SelectPalette(d->hdc, d->savedPalette, 0);
  if (d->scaledFont) win::DeleteObject(d->scaledFont);
  d->scaledFont = nullptr;
  markDrawn(d);
  if (d->flags & vdrawMSW_BORROWED) vwindowMSWReleaseDrawableDC(&d->drawable);
  d->hdc = nullptr;
}

void refresh(void* data) {
  vdrawMSWDevice* d = dev(data);
  pageOf(d);
}

// ---- Drawing, directly or white on black through an off-screen mask.

vrect boxOf(const vrect* r, int n) {
  vrect u{0, 0, 0, 0};
  for (int i = 0; i < n; ++i) {
    vrect b = r[i];
    ++b.width, ++b.height;  // outlines reach one pixel further
    if (b.width <= 0 || b.height <= 0) continue;
    if (vrectIsEmpty(&u)) u = b;
    else vrectUnion(&u, &b, &u);
  }
  return u;
}

// Runs body on the device's context, or on a one-bit bitmap of the box
// that is then painted through in the current colour and mode.
template <class Body>
void draw(vdrawMSWDevice* d, vrect box, Body body) {
  if (!d->offscreen) {
    body(d->hdc, false);
    markDrawn(d);
    return;
  }
  vrect clipped;
  vrectIntersect(&box, &d->clip, &clipped);
  if (clipped.width <= 0 || clipped.height <= 0) return;
  win::HDC mem = vwindowMSWAcquireCachedDC(1);
  win::HBITMAP bitmap = win::CreateBitmap(clipped.width, clipped.height, 1, 1, nullptr);
  win::HGDIOBJ oldBitmap = win::SelectObject(mem, bitmap);
  vexGuard(
      [&] {
        win::BitBlt(mem, 0, 0, clipped.width, clipped.height, nullptr, 0, 0, win::BLACKNESS);
        win::HGDIOBJ oldPen = win::SelectObject(mem, stocks().whitePen);
        win::HGDIOBJ oldBrush = win::SelectObject(mem, stocks().whiteBrush);
        win::SetROP2(mem, win::R2_COPYPEN);
        win::SetTextColor(mem, 0xFFFFFF);
        win::SetTextAlign(mem, win::TA_BASELINE);
        win::SetPolyFillMode(mem, win::GetPolyFillMode(d->hdc));
        win::SetViewportOrgEx(mem, -clipped.x, -clipped.y, nullptr);
        body(mem, true);
        win::SetViewportOrgEx(mem, 0, 0, nullptr);
        win::SetPolyFillMode(mem, win::ALTERNATE);
        win::SelectObject(mem, oldPen);
        win::SelectObject(mem, oldBrush);
        win::SetTextColor(mem, 0);
        _vdrawMSWPaintThrough(d, mem, bitmap, 0, 0, clipped.x, clipped.y, clipped.width, clipped.height);
      },
      [&](vexHandler&) {
        win::SelectObject(mem, oldBitmap);
        vwindowMSWReleaseCachedDC(mem);
        win::DeleteObject(bitmap);
        _vexGenerate(nullptr, vexEnd);
      });
  win::SelectObject(mem, oldBitmap);
  vwindowMSWReleaseCachedDC(mem);
  win::DeleteObject(bitmap);
  markDrawn(d);
}

std::vector<win::POINT>& pointBuffer(int n) {
  static std::vector<win::POINT> points;
  if (points.size() < std::size_t(n)) points.resize(std::max<std::size_t>(std::size_t(n), points.size() * 2));
  return points;
}

vrect pointsBox(const vpoint* p, int n) {
  int x0 = 0x7FFF, y0 = 0x7FFF, x1 = -0x8000, y1 = -0x8000;
  for (int i = 0; i < n; ++i) {
    x0 = std::min<int>(x0, p[i].x), y0 = std::min<int>(y0, p[i].y);
    x1 = std::max<int>(x1, p[i].x), y1 = std::max<int>(y1, p[i].y);
  }
  if (n == 0) return {0, 0, 0, 0};
  int pad = 1;
  return {std::int16_t(x0 - pad), std::int16_t(y0 - pad), std::int16_t(x1 - x0 + 2 * pad + 1),
          std::int16_t(y1 - y0 + 2 * pad + 1)};
}

void polygon(void* data, const vpoint* p, int n, bool fill) {
  vdrawMSWDevice* d = dev(data);
  _vdrawMSWTraceCall(d, fill ? "fillPolygon" : "strokePolyline", nullptr, 0, nullptr, n);
  if (n < 2) return;
  std::vector<win::POINT>& pts = pointBuffer(n);
  for (int i = 0; i < n; ++i) pts[std::size_t(i)] = {p[i].x, p[i].y};
  vrect box = pointsBox(p, n);
  if (fill) box.width += std::int16_t(d->penWidth), box.height += std::int16_t(d->penWidth);
  draw(d, box, [&](win::HDC hdc, bool) {
    if (fill) {
      win::HGDIOBJ old = win::SelectObject(hdc, stocks().nullPen);
      win::Polygon(hdc, pts.data(), n);
      win::SelectObject(hdc, old);
    } else {
      win::Polyline(hdc, pts.data(), n);
    }
  });
}

void fillPolygon(void* data, const vpoint* p, int n) { polygon(data, p, n, true); }
void strokePolyline(void* data, const vpoint* p, int n) { polygon(data, p, n, false); }

void fillRects(void* data, const vrect* r, int n) {
  vdrawMSWDevice* d = dev(data);
  _vdrawMSWTraceCall(d, "fill", r, n);
  draw(d, boxOf(r, n), [&](win::HDC hdc, bool mask) {
    win::DWORD rop = mask ? win::PATCOPY : vdrawMSWPatternRop(d->drawMode);
    for (int i = 0; i < n; ++i) {
      if (!mask && d->drawMode == win::R2_NOT)
        win::BitBlt(hdc, r[i].x, r[i].y, r[i].width, r[i].height, nullptr, 0, 0, win::DSTINVERT);
      else
        win::PatBlt(hdc, r[i].x, r[i].y, r[i].width, r[i].height, rop);
    }
  });
}

bool focusMode(const vdrawMSWDevice* d) {
  if (d->flags & vdrawMSW_PRINTER) return false;
  const vwindowHooks& h = vwindowGetHooks();
  return h.lookInFocusMode && h.lookInFocusMode();
}

void frameRects(void* data, const vrect* r, int n) {
  vdrawMSWDevice* d = dev(data);
  _vdrawMSWTraceCall(d, "frame", r, n);
  if (focusMode(d)) {
    win::COLORREF text = win::SetTextColor(d->hdc, 0), bk = win::SetBkColor(d->hdc, 0xFFFFFF);
    for (int i = 0; i < n; ++i) {
      win::RECT rc{r[i].x, r[i].y, r[i].x + r[i].width + 1, r[i].y + r[i].height + 1};
      win::DrawFocusRect(d->hdc, &rc);
    }
    win::SetTextColor(d->hdc, text);
    win::SetBkColor(d->hdc, bk);
    markDrawn(d);
    return;
  }
  draw(d, boxOf(r, n), [&](win::HDC hdc, bool) {
    win::HGDIOBJ old = win::SelectObject(hdc, stocks().nullBrush);
    for (int i = 0; i < n; ++i) win::Rectangle(hdc, r[i].x, r[i].y, r[i].x + r[i].width + 1, r[i].y + r[i].height + 1);
    win::SelectObject(hdc, old);
  });
}

// Box and two radial points of each arc, counterclockwise on the screen.
struct ArcPoints {
  int l, t, r, b, x1, y1, x2, y2;
};
std::vector<ArcPoints>& arcBuffer(const vrect* r, int n, vfixed start, vfixed sweep) {
  static std::vector<ArcPoints> arcs;
  if (arcs.size() < std::size_t(n)) arcs.resize(std::max<std::size_t>(std::size_t(n), arcs.size() * 2));
  const double pi = 3.14159265358979323846;
  // Device angles run with y down: negated they run counterclockwise on
  // the screen, as GDI draws, from the first point to the second.
  double a1 = -start / 65536.0, a2 = -(start + sweep) / 65536.0;
  if (-sweep < 0) std::swap(a1, a2);
  for (int i = 0; i < n; ++i) {
    double cx = r[i].x + r[i].width / 2.0, cy = r[i].y + r[i].height / 2.0;
    auto at = [&](double deg, int* x, int* y) {
      double rad = deg * pi / 180;
      *x = int(std::lround(cx + 200 * std::cos(rad)));
      *y = int(std::lround(cy - 200 * std::sin(rad)));
    };
    ArcPoints& a = arcs[std::size_t(i)];
    a.l = r[i].x, a.t = r[i].y, a.r = r[i].x + r[i].width, a.b = r[i].y + r[i].height;
    at(a1, &a.x1, &a.y1);
    at(a2, &a.x2, &a.y2);
  }
  return arcs;
}

using ArcCall = win::BOOL (*)(win::HDC, int, int, int, int, int, int, int, int);
void arcs(void* data, const vrect* r, int n, vfixed start, vfixed sweep, ArcCall call, const char* name) {
  vdrawMSWDevice* d = dev(data);
  _vdrawMSWTraceCall(d, name, r, n);
  std::vector<ArcPoints>& a = arcBuffer(r, n, start, sweep);
  draw(d, boxOf(r, n), [&](win::HDC hdc, bool) {
    for (int i = n - 1; i >= 0; --i) {
      const ArcPoints& p = a[std::size_t(i)];
      call(hdc, p.l, p.t, p.r, p.b, p.x1, p.y1, p.x2, p.y2);
    }
  });
}
void fillChords(void* d, const vrect* r, int n, vfixed s, vfixed w) { arcs(d, r, n, s, w, win::Chord, "fillChords"); }
void fillPies(void* d, const vrect* r, int n, vfixed s, vfixed w) { arcs(d, r, n, s, w, win::Pie, "fillPies"); }
void frameArcs(void* d, const vrect* r, int n, vfixed s, vfixed w) { arcs(d, r, n, s, w, win::Arc, "frameArcs"); }

void fillRoundRects(void* data, const vrect* r, int n, int w, int h) {
  vdrawMSWDevice* d = dev(data);
  _vdrawMSWTraceCall(d, "fillRoundRects", r, n);
  draw(d, boxOf(r, n), [&](win::HDC hdc, bool mask) {
    for (int i = 0; i < n; ++i) {
      win::HRGN rgn = vwindowMSWCreateWithRecovery("REGION", 3, [&] {
        return win::CreateRoundRectRgn(r[i].x, r[i].y, r[i].x + r[i].width + 1, r[i].y + r[i].height + 1, w, h);
      });
      if (mask) {
        win::POINT o{};
        win::GetViewportOrgEx(hdc, &o);
        win::OffsetRgn(rgn, o.x, o.y);
        win::FillRgn(hdc, rgn, static_cast<win::HBRUSH>(stocks().whiteBrush));
      } else if (d->drawMode == win::R2_NOT) {
        win::InvertRgn(hdc, rgn);
      } else {
        win::FillRgn(hdc, rgn, d->brush);
      }
      win::DeleteObject(rgn);
    }
  });
}

void frameRoundRects(void* data, const vrect* r, int n, int w, int h) {
  vdrawMSWDevice* d = dev(data);
  _vdrawMSWTraceCall(d, "frameRoundRects", r, n);
  draw(d, boxOf(r, n), [&](win::HDC hdc, bool) {
    win::HGDIOBJ old = win::SelectObject(hdc, stocks().nullBrush);
    for (int i = 0; i < n; ++i)
      win::RoundRect(hdc, r[i].x, r[i].y, r[i].x + r[i].width + 1, r[i].y + r[i].height + 1, w, h);
    win::SelectObject(hdc, old);
  });
}

// ---- Text.

// A font's pixels are units of the framework (fonts are made for the
// screen): a printer, whose units are points, gets the font made larger by
// its pixels per point, so that text keeps the width the framework measured.
win::HFONT nativeFont(vdrawMSWDevice* d) {
  if (!d->font) return static_cast<win::HFONT>(stocks().systemFont);
  if (d->scaledFont) return d->scaledFont;
  vfont* used = nullptr;
  vfontMSWFontRecord* rec = vfontMSWGetFontRecord(d->font, &used);
  if (!rec || !rec->font) return static_cast<win::HFONT>(stocks().systemFont);
  if (d->fontScale == 1.0) return rec->font;
  win::LOGFONTA lf{};
  vfontMSWGetLogFont(d->font, &lf);
  lf.lfHeight = win::LONG(std::lround(lf.lfHeight * d->fontScale));
  lf.lfWidth = win::LONG(std::lround(lf.lfWidth * d->fontScale));
  d->scaledFont = vwindowMSWCreateWithRecovery("FONT", 3, [&] { return win::CreateFontIndirectA(&lf); });
  return d->scaledFont ? d->scaledFont : rec->font;
}

void selectFont(vdrawMSWDevice* d) {
  if (d->fontSelected) return;
  win::SelectObject(d->hdc, nativeFont(d));
  d->fontSelected = 1;
  d->selected |= vdrawMSW_SEL_FONT;
}

// The ink box of the text at the origin, in pixels of the native font
// (y down from the baseline).
vrect inkBox(win::HDC hdc, const char* chars, int length) {
  win::TEXTMETRICA tm{};
  win::GetTextMetricsA(hdc, &tm);
  win::SIZE size{};
  win::GetTextExtentPoint32A(hdc, chars, length, &size);
  int over = int(tm.tmOverhang) + int(tm.tmMaxCharWidth) / 2;
  return {std::int16_t(-over), std::int16_t(-tm.tmAscent), std::int16_t(size.cx + 2 * over),
          std::int16_t(tm.tmAscent + tm.tmDescent)};
}

// Glyphs white on a black one-bit image, drawn as a mask through the
// text's own transform.
// What the text transform scales the native font's pixels by: the font's
// own size (its matrix, else the transform's), times the device's factor.
double emOf(const vdrawMSWDevice* d, const vdrawDeviceTransform* t) {
  double scale = std::sqrt(std::abs(double(t->a) * t->d - double(t->b) * t->c)) / 65536.0;
  if (scale <= 0) return 0;
  double em = scale * d->fontScale;
  if (d->font && d->font->matrix) {
    const vmatrix& fm = *d->font->matrix;
    double fs = std::sqrt(std::abs(double(fm.a) * fm.d - double(fm.b) * fm.c));
    if (fs > 0) em = fs * d->fontScale;
  }
  return em;
}

void rotatedText(vdrawMSWDevice* d, const char* chars, int length, const vdrawDeviceTransform* t) {
  win::HDC mem = vwindowMSWAcquireCachedDC(1);
  win::HGDIOBJ oldFont = win::SelectObject(mem, nativeFont(d));
  vrect ink = inkBox(mem, chars, length);
  vimage* mask = nullptr;
  win::HBITMAP bitmap = nullptr;
  win::HGDIOBJ oldBitmap = nullptr;
  auto release = [&] {
    if (oldBitmap) win::SelectObject(mem, oldBitmap);
    win::SelectObject(mem, oldFont);
    vwindowMSWReleaseCachedDC(mem);
    if (bitmap) win::DeleteObject(bitmap);
    if (mask) vimageDestroy(mask);
  };
  vexGuard(
      [&] {
        if (ink.width <= 0 || ink.height <= 0) return;
        bitmap = win::CreateBitmap(ink.width, ink.height, 1, 1, nullptr);
        oldBitmap = win::SelectObject(mem, bitmap);
        win::BitBlt(mem, 0, 0, ink.width, ink.height, nullptr, 0, 0, win::BLACKNESS);
        win::SetTextColor(mem, 0xFFFFFF);
        win::SetTextAlign(mem, win::TA_BASELINE);
        win::TextOutA(mem, -ink.x, -ink.y, chars, length);
        win::SetTextColor(mem, 0);
        mask = _vdrawMSWImageOfBitmap(bitmap);
        if (!mask) return;
        // Text-space pixels (x right, y up from the baseline) to device:
        // the text transform without the font's size.
        double em = emOf(d, t);
        if (em <= 0) return;
        vmatrix toDevice = {float(t->a / 65536.0 / em), float(t->b / 65536.0 / em), float(t->c / 65536.0 / em),
                            float(t->d / 65536.0 / em), float(t->tx / 65536.0), float(t->ty / 65536.0)};
        // Image coordinates (rows from the bottom) to text space: x + ink x, y - descent.
        int descent = ink.height + ink.y;
        vmatrix imageToText = {1, 0, 0, 1, float(ink.x), float(-descent)}, imageToDevice, deviceToImage;
        vmatrixConcat(&imageToText, &toDevice, &imageToDevice);
        vmatrixInvert(&imageToDevice, &deviceToImage);
        vdrawDeviceTransform f;
        vmatrixToFixed(&deviceToImage, &f);
        _vdrawMSWDrawMask(d, mask, &f);
      },
      [&](vexHandler&) {
        release();
        _vexGenerate(nullptr, vexEnd);
      });
  release();
}

void showChars(void* data, const char* chars, int length, const vdrawDeviceTransform* t) {
  vdrawMSWDevice* d = dev(data);
  _vdrawMSWTraceCall(d, "show", nullptr, length, chars);
  if (length <= 0 || d->stateMode == 5) return;
  selectFont(d);
  bool plain = !(t->classBits & (vmatrixSKEW | vmatrixNEGATIVE_A)) && t->d < 0;
  // Text ignores the draw mode: other modes composite off-screen.
  bool composite = d->offscreen || d->drawMode != win::R2_COPYPEN;
  if (!plain) {
    // The native font's pixels (y down from the baseline: the font's y
    // reversed) through the text transform without the font's size. A
    // device that refuses the world transform gets the off-screen path.
    double em = emOf(d, t) * 65536.0;
    if (!composite && em > 0 && win::SetGraphicsMode(d->hdc, win::GM_ADVANCED)) {
      win::XFORM x{float(t->a / em), float(t->b / em), float(-t->c / em), float(-t->d / em), float(t->tx / 65536.0),
                   float(t->ty / 65536.0)};
      if (win::SetWorldTransform(d->hdc, &x)) {
        win::TextOutA(d->hdc, 0, 0, chars, length);
        win::ModifyWorldTransform(d->hdc, nullptr, win::MWT_IDENTITY);
        win::SetGraphicsMode(d->hdc, win::GM_COMPATIBLE);
        markDrawn(d);
        return;
      }
      win::SetGraphicsMode(d->hdc, win::GM_COMPATIBLE);
    }
    return rotatedText(d, chars, length, t);
  }
  int x = (t->tx + 32768) >> 16, y = (t->ty + 32768) >> 16;
  if (!composite) {
    win::TextOutA(d->hdc, x, y, chars, length);
    markDrawn(d);
    return;
  }
  win::HDC probe = vwindowMSWAcquireCachedDC(1);
  win::HGDIOBJ old = win::SelectObject(probe, nativeFont(d));
  vrect ink = inkBox(probe, chars, length);
  win::SelectObject(probe, old);
  vwindowMSWReleaseCachedDC(probe);
  ink.x = std::int16_t(ink.x + x), ink.y = std::int16_t(ink.y + y);
  int saved = d->offscreen;
  d->offscreen = 1;
  draw(d, ink, [&](win::HDC hdc, bool) {
    win::HGDIOBJ f = win::SelectObject(hdc, nativeFont(d));
    win::TextOutA(hdc, x, y, chars, length);
    win::SelectObject(hdc, f);
  });
  d->offscreen = saved;
}

const vdrawDeviceTransform* deviceTransform(void* data) { return &dev(data)->transform; }
const vrect* deviceBounds(void* data) { return &dev(data)->bounds; }

}  // namespace

const vdrawDriverRecord vdrawMSWDriver = {
    0x21,
    vfixedONE,
    sizeof(vdrawMSWDevice),
    open,
    close,
    [](void*) {},
    [](void*) {},
    deviceTransform,
    deviceBounds,
    refresh,
    sync,
    clipToMask,
    fillPolygon,
    strokePolyline,
    setClipRects,
    fillRects,
    frameRects,
    fillChords,
    fillPies,
    frameArcs,
    fillRoundRects,
    frameRoundRects,
    showChars,
    _vdrawMSWDrawImage,
    _vdrawMSWDrawMask,
};

void vdrawMSWSetWorldPolicy(vdrawMSWWorldPolicy policy) { worldPolicy = policy; }

void _vdrawMSWSetTrace(vdrawMSWTrace trace) { traceHook = trace; }
void _vdrawMSWTraceCall(const vdrawMSWDevice* d, const char* operation, const vrect* rects, int count,
                        const char* text, int value, int value2) {
  if (traceHook) traceHook({operation, rects, count, text, value, value2, d->pageHeight});
}
vdrawMSWWorldPolicy vdrawMSWGetWorldPolicy() { return worldPolicy ? worldPolicy : defaultPolicy; }

int vdrawMSWRop2(int drawMode) { return drawMode >= 16 ? win::R2_XORPEN : kRop2[drawMode & 15]; }

namespace {
// f(P, D) of a binary operation: bit (2P + D) of rop2 - 1.
int rop2Bit(int rop2, int p, int dd) { return ((rop2 - 1) >> (2 * p + dd)) & 1; }
win::DWORD withLow(std::uint8_t index, const RopWord* words, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (words[i].index == index) return win::DWORD(index) << 16 | words[i].low;
  return win::DWORD(index) << 16;  // the platform evaluates the index byte alone
}
}  // namespace

win::DWORD vdrawMSWPatternRop(int rop2) {
  std::uint8_t index = 0;
  for (int i = 0; i < 8; ++i)
    if (rop2Bit(rop2, (0xF0 >> i) & 1, (0xAA >> i) & 1)) index = std::uint8_t(index | (1 << i));
  return withLow(index, kPatternWords, std::size(kPatternWords));
}

win::DWORD vdrawMSWMaskRop(int rop2) {
  std::uint8_t index = 0;
  for (int i = 0; i < 8; ++i) {
    int s = (0xCC >> i) & 1, p = (0xF0 >> i) & 1, dd = (0xAA >> i) & 1;
    if (s ? rop2Bit(rop2, p, dd) : dd) index = std::uint8_t(index | (1 << i));
  }
  return withLow(index, kMaskWords, std::size(kMaskWords));
}

void _vdrawMSWSyncBrush(vdrawMSWDevice* d) {
  dropBrush(d);
  bool white = false;
  if (d->flags & vdrawMSW_MASK) {
    d->brush = static_cast<win::HBRUSH>(stocks().whiteBrush);
  } else if (d->stateMode < 16 && d->color && !d->pattern && isBlackOrWhite(d->color, &white)) {
    d->brush = static_cast<win::HBRUSH>(white ? stocks().whiteBrush : stocks().blackBrush);
  } else if (d->stateMode < 16 && d->color) {
    d->brush = vcolorMSWGetBrush(d->color);
  } else {
    d->brush = _vcolorMSWCreateBrush(d->pattern, d->rgb);
    d->dirty |= vdrawMSW_OWN_BRUSH;
  }
  win::SelectObject(d->hdc, d->brush);
  d->selected |= vdrawMSW_SEL_BRUSH;
  d->dirty &= std::uint16_t(~vdrawMSW_BRUSH_STALE);
}
