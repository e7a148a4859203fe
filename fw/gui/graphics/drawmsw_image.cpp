// The GDI driver's images and masks: placement, the direct blits, the
// resampling walk, painting the current colour through a one-bit mask, the
// masked blit and the printer's image path.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/drawmsw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/mswgdi.h"

namespace {

bool forceEmulation = false;

vdrawMSWDevice* dev(void* data) { return static_cast<vdrawMSWDevice*>(data); }
bool printer(const vdrawMSWDevice* d) { return (d->flags & vdrawMSW_PRINTER) != 0; }

bool upright(const vdrawDeviceTransform* t) {
  return (t->classBits & (vmatrixNEGATIVE_A | vmatrixNEGATIVE_D | vmatrixSKEW)) == vmatrixNEGATIVE_D;
}
bool scaled(const vdrawDeviceTransform* t) { return (t->classBits & (vmatrixSCALE_A | vmatrixSCALE_D)) != 0; }

vmatrix toMatrix(const vdrawDeviceTransform* t) {
  return {float(t->a / 65536.0), float(t->b / 65536.0), float(t->c / 65536.0),
          float(t->d / 65536.0), float(t->tx / 65536.0), float(t->ty / 65536.0)};
}

bool intersect(vrect* r, const vrect& with) {
  vrectIntersect(r, &with, r);
  return r->width > 0 && r->height > 0;
}

// Destination box, source rectangle and the source position of the box's
// first pixel centre (16.16); false when nothing is drawn.
struct Placement {
  vrect box, source;
  vfixed sx, sy;
};

bool place(const vdrawDeviceTransform* t, vrect source, const vrect& clip, Placement* p) {
  if (!(t->classBits & (vmatrixNEGATIVE_A | vmatrixSCALE_A | vmatrixSCALE_D | vmatrixSKEW))) {
    int T = (t->tx + 32768) >> 16, U = (t->ty + 32768) >> 16;
    bool mirrored = t->classBits & vmatrixNEGATIVE_D;
    vrect box = {std::int16_t(source.x - T), std::int16_t(mirrored ? U - source.y - source.height : source.y - U),
                 source.width, source.height};
    if (!intersect(&box, clip)) return false;
    vrect src = {std::int16_t(box.x + T), std::int16_t(mirrored ? U - box.y - box.height : box.y + U), box.width,
                 box.height};
    p->box = box;
    p->source = src;
    p->sx = vfixed(src.x) * 65536 + 32768;
    p->sy = mirrored ? vfixed(src.y + src.height) * 65536 - 32768 : vfixed(src.y) * 65536 + 32768;
    return src.width >= 1 && src.height >= 1;
  }
  vmatrix record = toMatrix(t), inverse;
  vmatrixInvert(&record, &inverse);
  vrectFloat in = {float(source.x), float(source.y), float(source.width), float(source.height)}, out;
  vmatrixTransformRect(&inverse, &in, &out);
  int l = int(std::floor(out.x + 0.6)), tp = int(std::floor(out.y + 0.6));
  int r = int(std::floor(double(out.x) + out.width + 0.4)), b = int(std::floor(double(out.y) + out.height + 0.4));
  vrect box = {std::int16_t(l), std::int16_t(tp), std::int16_t(r - l), std::int16_t(b - tp)};
  if (box.width < 1 || box.height < 1 || !intersect(&box, clip)) return false;
  vrectFloat bf = {float(box.x), float(box.y), float(box.width), float(box.height)}, back;
  vmatrixTransformRect(&record, &bf, &back);
  int bx = int(std::floor(back.x)), by = int(std::floor(back.y));
  vrect wide = {std::int16_t(bx), std::int16_t(by), std::int16_t(int(std::ceil(double(back.x) + back.width)) - bx),
                std::int16_t(int(std::ceil(double(back.y) + back.height)) - by)};
  if (!intersect(&source, wide)) return false;
  double px, py;
  vmatrixTransformPoint(&record, box.x + 0.5, box.y + 0.5, &px, &py);
  p->box = box;
  p->source = source;
  p->sx = vfixedFromDouble(px);
  p->sy = vfixedFromDouble(py);
  return true;
}

// ---- The resampling walk: visit(x, y) takes a source pixel, skip() leaves
// the destination pixel as it is; rows from the top left of the box.
template <class Visit, class Skip>
void walk(const vdrawDeviceTransform* t, const vrect& src, vfixed sx, vfixed sy, int w, int h, Visit visit, Skip skip) {
  if (w < 1 || h < 1) return;
  std::int64_t a = t->a, b = t->b, c = t->c, d = t->d;
  int left = src.x, top = src.y, right = src.x + src.width, bottom = src.y + src.height;
  auto inside = [&](int x, int y) { return x >= left && y >= top && x < right && y < bottom; };
  if (!(t->classBits & vmatrixSKEW) && a >= -131071 && a <= 131071) {
    std::int64_t y = sy;
    for (int r = 0; r < h; ++r, y += d) {
      int cx = int(sx >> 16), cy = int(y >> 16);
      std::int64_t f = sx & 0xFFFF;
      for (int i = 0; i < w; ++i) {
        if (inside(cx, cy)) visit(cx, cy);
        else skip();
        f += a;
        if (a > 0 && f >= 65536) {
          cx += int(f >> 16);
          f &= 0xFFFF;
        } else if (a <= 0 && f < 0) {
          std::int64_t n = (65535 - f) >> 16;
          cx -= int(n);
          f += n * 65536;
        }
      }
    }
  } else if (!(t->classBits & vmatrixSKEW)) {
    std::int64_t y = sy;
    for (int r = 0; r < h; ++r, y += d) {
      int cy = int(y >> 16);
      for (int i = 0; i < w; ++i) {
        int cx = int((sx + i * a) >> 16);
        if (inside(cx, cy)) visit(cx, cy);
        else skip();
      }
    }
  } else {
    std::int64_t rx = sx, ry = sy;
    for (int r = 0; r < h; ++r, rx += c, ry += d) {
      std::int64_t x = rx, y = ry;
      for (int i = 0; i < w; ++i, x += a, y += b) {
        int cx = int(x >> 16), cy = int(y >> 16);
        if (inside(cx, cy)) visit(cx, cy);
        else skip();
      }
    }
  }
}

using Routine = std::uint32_t (*)(std::uint32_t s, std::uint32_t d);
constexpr Routine kRoutines[16] = {
    [](std::uint32_t, std::uint32_t) { return 0u; },
    [](std::uint32_t s, std::uint32_t d) { return s & d; },
    [](std::uint32_t s, std::uint32_t d) { return s & ~d; },
    [](std::uint32_t s, std::uint32_t) { return s; },
    [](std::uint32_t s, std::uint32_t d) { return ~s & d; },
    nullptr,
    [](std::uint32_t s, std::uint32_t d) { return s ^ d; },
    [](std::uint32_t s, std::uint32_t d) { return s | d; },
    [](std::uint32_t s, std::uint32_t d) { return ~(s | d); },
    [](std::uint32_t s, std::uint32_t d) { return ~(s ^ d); },
    [](std::uint32_t, std::uint32_t d) { return ~d; },
    [](std::uint32_t s, std::uint32_t d) { return s | ~d; },
    [](std::uint32_t s, std::uint32_t) { return ~s; },
    [](std::uint32_t s, std::uint32_t d) { return ~s | d; },
    [](std::uint32_t s, std::uint32_t d) { return ~(s & d); },
    [](std::uint32_t, std::uint32_t) { return ~0u; },
};

// 24-bit and one-bit pixels of a buffer, rows bottom first.
std::uint32_t get24(const vwindowMSWBits* b, int x, int y) {
  const std::uint8_t* p = b->data + std::size_t(y) * b->rowBytes + std::size_t(x) * 3;
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
}
void put24(vwindowMSWBits* b, int x, int y, std::uint32_t v) {
  std::uint8_t* p = b->data + std::size_t(y) * b->rowBytes + std::size_t(x) * 3;
  p[0] = std::uint8_t(v), p[1] = std::uint8_t(v >> 8), p[2] = std::uint8_t(v >> 16);
}
void put1(vwindowMSWBits* b, int x, int y) {
  b->data[std::size_t(y) * b->rowBytes + std::size_t(x) / 8] |= std::uint8_t(0x80 >> (x % 8));
}

// A one-bit bitmap of a one-bit buffer (1 white).
win::HBITMAP monoBitmap(vwindowMSWBits* bits) {
  struct {
    win::BITMAPINFOHEADER h;
    win::RGBQUAD colors[2];
  } info{};
  info.h = {40, bits->width, bits->height, 1, 1, win::BI_RGB, 0, 0, 0, 2, 2};
  info.colors[1] = {255, 255, 255, 0};
  win::HBITMAP made = vwindowMSWCreateWithRecovery("BITMAP", 3, [&] {
    return win::CreateBitmap(std::max(1, bits->width), std::max(1, bits->height), 1, 1, nullptr);
  });
  if (bits->size)
    win::SetDIBits(nullptr, made, 0, win::UINT(bits->height), bits->data, reinterpret_cast<win::BITMAPINFO*>(&info),
                   win::DIB_RGB_COLORS);
  return made;
}

struct BitsHolder {
  vwindowMSWBits* bits = nullptr;
  ~BitsHolder() {
    if (bits) vwindowMSWDestroyBits(bits);
  }
};

// A cached memory context holding a bitmap for the length of a call.
struct Held {
  win::HDC dc = nullptr;
  win::HGDIOBJ old = nullptr;
  bool cached = false;
  explicit Held(win::HBITMAP bitmap) {
    dc = vwindowMSWAcquireCachedDC(1);
    cached = true;
    old = win::SelectObject(dc, bitmap);
  }
  ~Held() {
    if (old) win::SelectObject(dc, old);
    if (cached) vwindowMSWReleaseCachedDC(dc);
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
};

struct OwnedBitmap {
  win::HBITMAP bitmap = nullptr;
  ~OwnedBitmap() {
    if (bitmap) win::DeleteObject(bitmap);
  }
};

int rawMode() { return vdrawGetState()->flags & vdrawMODE_MASK; }

win::HBITMAP compatible(win::HDC hdc, int w, int h) { return vwindowMSWCreateCompatibleBitmap(hdc, w, h); }

// Blits src to the box, through the clip mask when one is active.
void blitOut(vdrawMSWDevice* d, win::HDC src, int sx, int sy, const vrect& box) {
  if (!d->clipMask) {
    win::BitBlt(d->hdc, box.x, box.y, box.width, box.height, src, sx, sy, win::SRCCOPY);
    return;
  }
  // One-bit sources take the text and background colours: black and white
  // keep the emulation's masks masks, whatever the current colour is.
  win::COLORREF text = win::SetTextColor(d->hdc, 0), bk = win::SetBkColor(d->hdc, 0xFFFFFF);
  vdrawMSWMaskedBlit(src, d->clipMaskBitmap, d->hdc, sx, sy, box.x - d->clip.x, box.y - d->clip.y, box.x, box.y,
                     box.width, box.height);
  win::SetTextColor(d->hdc, text);
  win::SetBkColor(d->hdc, bk);
}

void markDrawn(vdrawMSWDevice* d) {
  if (!d->image || !d->image->store) return;
  if (vsyncRingEntry* e = vsyncRingFind(d->image->store, &vcolorMSWBitmapKind)) vsyncRingSetCurrent(e);
}

// An image's pixels for the printer, in a buffer with its own description.
vwindowMSWBits* printerBits(vimage* image, bool mask) {
  if (mask || (image->depth == 1 && !vcolorMSWHasColorList(image))) {
    vwindowMSWBits* b = vwindowMSWCreateBits(1, image->width, image->height, nullptr);
    vpixmapCursor c;
    vpixmapInitCursor(&c, image);
    for (int y = 0; y < image->height; ++y)
      for (int x = 0; x < image->width; ++x)
        if (vpixmapCursorGetAt(&c, x, y)) put1(b, x, y);
    vpixmapFinishCursor(&c);
    return b;
  }
  return vcolorMSWPixmapToBits(image);
}

// The world transform for an image or text; false when not taken.
bool takeWorld(vdrawMSWDevice* d, const vdrawDeviceTransform* t, int imageHeight, int further) {
  if (!vdrawMSWGetWorldPolicy()(t, printer(d), further)) return false;
  if (!win::SetGraphicsMode(d->hdc, win::GM_ADVANCED)) return false;
  vmatrix record = toMatrix(t), inv;
  vmatrixInvert(&record, &inv);
  win::XFORM x{inv.a, inv.b, -inv.c, -inv.d, inv.c * float(imageHeight) + inv.tx, inv.d * float(imageHeight) + inv.ty};
  if (!win::SetWorldTransform(d->hdc, &x)) {
    win::SetGraphicsMode(d->hdc, win::GM_COMPATIBLE);
    return false;
  }
  return true;
}
void dropWorld(vdrawMSWDevice* d) {
  win::SetGraphicsMode(d->hdc, win::GM_COMPATIBLE);
  win::ModifyWorldTransform(d->hdc, nullptr, win::MWT_IDENTITY);
}

bool square(const vdrawDeviceTransform* t) {
  return (t->b == 0 && t->c == 0 && std::abs(t->a) == std::abs(t->d)) ||
         (t->a == 0 && t->d == 0 && std::abs(t->b) == std::abs(t->c));
}

// The clip mask as a printer mask at the box.
vdrawMSWPrintMask clipMaskAt(const vdrawMSWDevice* d, const vrect& box) {
  return {d->clipMask, box.x - d->clip.x, box.y - d->clip.y};
}

void resampleImage(vdrawMSWDevice* d, vimage* image, const vdrawDeviceTransform* t, const Placement& p, int mode) {
  const vrect& box = p.box;
  BitsHolder src, dst, cover;
  src.bits = vcolorMSWPixmapToBits(image);
  if (printer(d)) {
    dst.bits = vwindowMSWCreateBits(24, box.width, box.height, nullptr);
  } else {
    dst.bits = vwindowGetMSWBitmap(d->hdc, nullptr, 24, box.x, box.y, box.width, box.height);
  }
  Routine routine = kRoutines[mode];
  int x = 0, row = box.height - 1;
  auto advance = [&] {
    if (++x == box.width) x = 0, --row;
  };
  walk(
      t, p.source, p.sx, p.sy, box.width, box.height,
      [&](int cx, int cy) {
        std::uint32_t s = get24(src.bits, cx, cy);
        std::uint32_t v = mode == 3 ? s : routine(s, get24(dst.bits, x, row));
        put24(dst.bits, x, row, v & 0xFFFFFF);
        advance();
      },
      advance);
  if (printer(d)) {
    std::vector<vdrawMSWPrintMask> masks;
    vimage* coverage = nullptr;
    if (!square(t)) {
      coverage = vimageCreateSized(box.width, box.height, 2);
      vpixmapCursor c;
      vpixmapInitCursor(&c, coverage);
      int cxp = 0, crow = box.height - 1;
      walk(
          t, p.source, p.sx, p.sy, box.width, box.height,
          [&](int, int) {
            vpixmapCursorSetAt(&c, cxp, crow, 1);
            if (++cxp == box.width) cxp = 0, --crow;
          },
          [&] {
            if (++cxp == box.width) cxp = 0, --crow;
          });
      vpixmapFinishCursor(&c);
      masks.push_back({coverage, 0, 0});
    }
    if (d->clipMask) masks.push_back(clipMaskAt(d, box));
    vexGuard([&] { _vdrawMSWPrintImage(d, dst.bits, masks.data(), int(masks.size()), {0, 0, box.width, box.height}, box); },
             [&](vexHandler&) {
               if (coverage) vimageDestroy(coverage);
               _vexGenerate(nullptr, vexEnd);
             });
    if (coverage) vimageDestroy(coverage);
    return;
  }
  OwnedBitmap bm;
  bm.bitmap = vwindowMSWCreateBitmapFromBits(dst.bits, nullptr, 1);
  Held held(bm.bitmap);
  blitOut(d, held.dc, 0, 0, box);
}

}  // namespace

void _vdrawMSWForceMaskBltEmulation(int on) { forceEmulation = on != 0; }

void vdrawMSWMaskedBlit(win::HDC src, win::HBITMAP mask, win::HDC dst, int sx, int sy, int mx, int my, int dx, int dy,
                        int width, int height) {
  if (!forceEmulation &&
      win::MaskBlt(dst, dx, dy, width, height, src, sx, sy, mask, mx, my, 0xAACC0000u))
    return;
  OwnedBitmap copy;
  copy.bitmap = compatible(src, width, height);
  Held held(copy.bitmap);
  win::BitBlt(held.dc, 0, 0, width, height, src, sx, sy, win::SRCCOPY);
  // The mask goes into the cached context; the copy into the source's in its place.
  win::SelectObject(held.dc, mask);
  win::HGDIOBJ srcOld = win::SelectObject(src, copy.bitmap);
  win::BitBlt(src, 0, 0, width, height, held.dc, mx, my, win::SRCAND);
  win::BitBlt(dst, dx, dy, width, height, held.dc, mx, my, 0x220326);
  win::BitBlt(dst, dx, dy, width, height, src, 0, 0, win::SRCPAINT);
  win::SelectObject(src, srcOld);
  win::SelectObject(held.dc, copy.bitmap);
}

vimage* _vdrawMSWImageOfBitmap(win::HBITMAP bitmap) {
  vimage* image = vwindowMSWImageFromBitmap(bitmap);
  // The bitmap stays the caller's.
  if (image)
    if (vsyncRingEntry* e = vsyncRingFind(image->store, &vcolorMSWBitmapKind)) e->flags |= 2;
  return image;
}

win::HBITMAP _vdrawMSWMaskBitmap(vimage* mask) {
  BitsHolder b;
  b.bits = vwindowMSWCreateBits(1, mask->width, mask->height, nullptr);
  if (b.bits->size) {
    std::memset(b.bits->data, 0, b.bits->size);
    vpixmapCursor c;
    vpixmapInitCursor(&c, mask);
    for (int y = 0; y < mask->height; ++y)
      for (int x = 0; x < mask->width; ++x)
        if (vpixmapCursorGetAt(&c, x, y)) put1(b.bits, x, y);
    vpixmapFinishCursor(&c);
  }
  return monoBitmap(b.bits);
}

namespace {

void freeMaskBitmap(vsyncRingEntry* e) {
  if (e->value) win::DeleteObject(reinterpret_cast<win::HGDIOBJ>(e->value));
  e->value = 0;
}

// Beside an image's pixels: stale once they change, never their source.
const vsyncRingKind maskBitmapKind{nullptr, freeMaskBitmap, nullptr, nullptr};

// A mask drawn again and again (a look's pattern, an arrow) is converted
// once; the image's ring drops the bitmap with the image.
struct MaskBitmap {
  win::HBITMAP bitmap = nullptr;
  bool owned = false;
  explicit MaskBitmap(vimage* mask) {
    vsyncRingEntry* e = vsyncRingFind(mask->store, &maskBitmapKind);
    if (e && vsyncRingIsCurrent(e) && e->value) {
      bitmap = reinterpret_cast<win::HBITMAP>(e->value);
      return;
    }
    bitmap = _vdrawMSWMaskBitmap(mask);
    if (!mask->store) {
      owned = true;
      return;
    }
    if (!e) e = vsyncRingAdd(mask->store, &maskBitmapKind, mask);
    freeMaskBitmap(e);
    e->value = reinterpret_cast<std::intptr_t>(bitmap);
    e->flags |= vsyncRingUP_TO_DATE;
  }
  ~MaskBitmap() {
    if (owned) win::DeleteObject(bitmap);
  }
  MaskBitmap(const MaskBitmap&) = delete;
  MaskBitmap& operator=(const MaskBitmap&) = delete;
};

}  // namespace

void _vdrawMSWPaintThrough(vdrawMSWDevice* d, win::HDC maskDc, win::HBITMAP mask, int mx, int my, int x, int y, int w,
                           int h) {
  if (w <= 0 || h <= 0) return;
  if (printer(d)) {
    // The region of the mask's set pixels, filled with the brush.
    vimage* m = _vdrawMSWImageOfBitmap(mask);
    if (!m) return;
    vdrawMSWPrintMask masks[2] = {{m, mx, my}, {}};
    int n = 1;
    vrect box{std::int16_t(x), std::int16_t(y), std::int16_t(w), std::int16_t(h)};
    if (d->clipMask) masks[n++] = clipMaskAt(d, box);
    vexGuard([&] { _vdrawMSWPrintImage(d, nullptr, masks, n, box, box); },
             [&](vexHandler&) {
               vimageDestroy(m);
               _vexGenerate(nullptr, vexEnd);
             });
    vimageDestroy(m);
    return;
  }
  OwnedBitmap anded;
  win::HDC from = maskDc;
  int fx = mx, fy = my;
  std::unique_ptr<Held> andHeld;
  if (d->clipMask) {
    anded.bitmap = win::CreateBitmap(w, h, 1, 1, nullptr);
    andHeld = std::make_unique<Held>(anded.bitmap);
    win::BitBlt(andHeld->dc, 0, 0, w, h, maskDc, mx, my, win::SRCCOPY);
    Held clip(d->clipMaskBitmap);
    win::BitBlt(andHeld->dc, 0, 0, w, h, clip.dc, x - d->clip.x, y - d->clip.y, win::SRCAND);
    from = andHeld->dc, fx = 0, fy = 0;
  }
  win::HBRUSH temp = nullptr;
  win::HGDIOBJ oldBrush = nullptr;
  if (!d->brush) {
    temp = win::CreateSolidBrush(d->rgb);
    oldBrush = win::SelectObject(d->hdc, temp);
  }
  win::COLORREF text = win::SetTextColor(d->hdc, 0);
  win::COLORREF bk = win::SetBkColor(d->hdc, 0xFFFFFF);
  win::BitBlt(d->hdc, x, y, w, h, from, fx, fy, vdrawMSWMaskRop(d->drawMode));
  win::SetTextColor(d->hdc, text);
  win::SetBkColor(d->hdc, bk);
  if (temp) {
    win::SelectObject(d->hdc, oldBrush);
    win::DeleteObject(temp);
  }
  (void)mask;
}

void _vdrawMSWDrawImage(void* data, vimage* image, const vdrawDeviceTransform* t) {
  vdrawMSWDevice* d = dev(data);
  _vdrawMSWTraceCall(d, "image");
  int mode = rawMode();
  if (mode > 17) _vexGenerate(&vexValueClass, vexSetProcedure, "drawImage", vexEnd);
  if (mode == 5 || mode >= 16) return;
  Placement p;
  vrect whole{0, 0, image->width, image->height};
  if (!place(t, whole, d->clip, &p)) return;
  bool mask = d->flags & vdrawMSW_MASK;
  bool world = false;
  bool up = upright(t);
  if (!up && !d->clipMask) world = takeWorld(d, t, image->height, 0);
  if (!up && !world) {
    resampleImage(d, image, t, p, mode);
    markDrawn(d);
    return;
  }
  bool sc = !world && scaled(t);
  const vrect& s = p.source;
  int bitmapRow = image->height - s.y - s.height;
  if (printer(d)) {
    BitsHolder bits;
    vrect source = s;
    // A window's contents are read back from its context at the printer's
    // depth first; that buffer is the source, at (0, 0).
    if (win::HWND from = mask ? nullptr : vwindowMSWGetImageWindow(image)) {
      int depth = d->bitsPerPixel <= 1 ? 1 : d->bitsPerPixel <= 4 ? 4 : d->bitsPerPixel <= 8 ? 8 : 24;
      win::HDC windowDc = win::GetDC(from);
      vexGuard([&] { bits.bits = vwindowGetMSWBitmap(windowDc, nullptr, depth, s.x, bitmapRow, s.width, s.height); },
               [&](vexHandler&) {
                 win::ReleaseDC(from, windowDc);
                 _vexGenerate(nullptr, vexEnd);
               });
      win::ReleaseDC(from, windowDc);
      source = {0, 0, s.width, s.height};
    } else {
      bits.bits = printerBits(image, mask);
    }
    vrect dest = world ? source : sc ? p.box : vrect{p.box.x, p.box.y, s.width, s.height};
    vdrawMSWPrintMask m = clipMaskAt(d, p.box);
    _vdrawMSWPrintImage(d, bits.bits, d->clipMask ? &m : nullptr, d->clipMask ? 1 : 0, source, dest);
    if (world) dropWorld(d);
    return;
  }
  OwnedBitmap owned;
  win::HBITMAP bitmap;
  win::HWND from = mask ? nullptr : vwindowMSWGetImageWindow(image);
  if (mask) bitmap = owned.bitmap = _vdrawMSWMaskBitmap(image);
  else bitmap = from ? nullptr : vwindowMSWGetImageBitmap(image);
  win::HDC windowDc = from ? win::GetDC(from) : nullptr;
  vwindowMSWDrawable src;
  vwindowMSWInitDrawableDC(&src);
  win::HDC sdc = windowDc;
  if (!sdc) {
    vwindowMSWSetDrawableBitmap(&src, bitmap);
    sdc = vwindowMSWGetDrawableDC(&src);
  }
  int dx = world ? s.x : p.box.x, dy = world ? bitmapRow : p.box.y;
  if (sc && d->clipMask) {
    OwnedBitmap stretched;
    stretched.bitmap = compatible(d->hdc, p.box.width, p.box.height);
    Held held(stretched.bitmap);
    win::StretchBlt(held.dc, 0, 0, p.box.width, p.box.height, sdc, s.x, bitmapRow, s.width, s.height, win::SRCCOPY);
    blitOut(d, held.dc, 0, 0, p.box);
  } else if (sc) {
    win::StretchBlt(d->hdc, p.box.x, p.box.y, p.box.width, p.box.height, sdc, s.x, bitmapRow, s.width, s.height,
                    win::SRCCOPY);
  } else {
    blitOut(d, sdc, s.x, bitmapRow, {std::int16_t(dx), std::int16_t(dy), s.width, s.height});
  }
  if (windowDc) win::ReleaseDC(from, windowDc);
  else vwindowMSWReleaseDrawableDC(&src);
  if (world) dropWorld(d);
  markDrawn(d);
}

void _vdrawMSWDrawMask(void* data, vimage* mask, const vdrawDeviceTransform* t) {
  vdrawMSWDevice* d = dev(data);
  _vdrawMSWTraceCall(d, "mask");
  Placement p;
  vrect whole{0, 0, mask->width, mask->height};
  if (!place(t, whole, d->clip, &p)) return;
  bool up = upright(t), world = false;
  if (!up && !d->clipMask) world = takeWorld(d, t, mask->height, 0);
  bool sc = !world && scaled(t);
  const vrect& s = p.source;
  const vrect& box = p.box;
  int bitmapRow = mask->height - s.y - s.height;
  if ((up && !sc) || world) {
    if (printer(d)) {
      // The mask's own pixels at the source rectangle.
      vdrawMSWPrintMask m[2] = {{mask, s.x, mask->height - s.y - s.height}, {}};
      int n = 1;
      if (d->clipMask) m[n++] = clipMaskAt(d, box);
      vrect dest = world ? s : vrect{box.x, box.y, s.width, s.height};
      _vdrawMSWPrintImage(d, nullptr, m, n, dest, dest);
    } else {
      MaskBitmap bm(mask);
      Held held(bm.bitmap);
      int dx = world ? s.x : box.x, dy = world ? bitmapRow : box.y;
      _vdrawMSWPaintThrough(d, held.dc, bm.bitmap, s.x, bitmapRow, dx, dy, s.width, s.height);
    }
    if (world) dropWorld(d);
    markDrawn(d);
    return;
  }
  if (up && sc && !printer(d)) {
    MaskBitmap bm(mask);
    OwnedBitmap stretched;
    stretched.bitmap = win::CreateBitmap(box.width, box.height, 1, 1, nullptr);
    {
      Held from(bm.bitmap), to(stretched.bitmap);
      win::StretchBlt(to.dc, 0, 0, box.width, box.height, from.dc, s.x, bitmapRow, s.width, s.height, win::SRCCOPY);
    }
    Held held(stretched.bitmap);
    _vdrawMSWPaintThrough(d, held.dc, stretched.bitmap, 0, 0, box.x, box.y, box.width, box.height);
    markDrawn(d);
    return;
  }
  // Resampled into a zero-filled one-bit buffer by the mask walker.
  BitsHolder out;
  out.bits = vwindowMSWCreateBits(1, box.width, box.height, nullptr);
  if (out.bits->size) std::memset(out.bits->data, 0, out.bits->size);
  vpixmapCursor c;
  vpixmapInitCursor(&c, mask);
  int x = 0, row = box.height - 1;
  auto advance = [&] {
    if (++x == box.width) x = 0, --row;
  };
  walk(
      t, s, p.sx, p.sy, box.width, box.height,
      [&](int cx, int cy) {
        if (vpixmapCursorGetAt(&c, cx, cy)) put1(out.bits, x, row);
        advance();
      },
      advance);
  vpixmapFinishCursor(&c);
  OwnedBitmap bm;
  bm.bitmap = monoBitmap(out.bits);
  Held held(bm.bitmap);
  _vdrawMSWPaintThrough(d, held.dc, bm.bitmap, 0, 0, box.x, box.y, box.width, box.height);
  markDrawn(d);
}

// ---- The printer's image path.

namespace {

bool admitted(const vdrawMSWPrintMask* masks, int n, std::vector<vpixmapCursor>& cursors, int i, int r) {
  for (int k = 0; k < n; ++k) {
    const vdrawMSWPrintMask& m = masks[k];
    if (!m.pixmap) continue;
    int col = m.x + i, row = m.pixmap->height - 1 - (m.y + r);
    if (col < 0 || col >= m.pixmap->width || row < 0 || row >= m.pixmap->height) return false;
    if (!vpixmapCursorGetAt(&cursors[std::size_t(k)], col, row)) return false;
  }
  return true;
}

}  // namespace

void _vdrawMSWPrintImage(vdrawMSWDevice* d, vwindowMSWBits* bits, const vdrawMSWPrintMask* masks, int maskCount,
                         const vrect& source, const vrect& dest) {
  int W = dest.width, H = dest.height;
  if (W < 1 || H < 1) return;
  win::HRGN region = nullptr;
  if (maskCount > 0) {
    std::vector<vpixmapCursor> cursors(static_cast<std::size_t>(maskCount));
    for (int k = 0; k < maskCount; ++k)
      if (masks[k].pixmap) vpixmapInitCursor(&cursors[std::size_t(k)], masks[k].pixmap);
    // Rows whose every column agrees with the next row's join its group.
    std::vector<int> groups(std::size_t(H), 0);
    int first = 0;
    groups[0] = 1;
    for (int r = 0; r + 1 < H; ++r) {
      bool same = true;
      for (int i = 0; i < W && same; ++i)
        same = admitted(masks, maskCount, cursors, i, r) == admitted(masks, maskCount, cursors, i, r + 1);
      if (same) {
        ++groups[std::size_t(first)];
      } else {
        first = r + 1;
        groups[std::size_t(first)] = 1;
      }
    }
    region = vwindowMSWCreateRectRgn(0, 0, 0, 0);
    bool any = false;
    for (int r = 0; r < H; ++r) {
      int g = groups[std::size_t(r)];
      if (!g) continue;
      for (int i = 0; i < W;) {
        if (!admitted(masks, maskCount, cursors, i, r)) {
          ++i;
          continue;
        }
        int start = i;
        while (i < W && admitted(masks, maskCount, cursors, i, r)) ++i;
        win::HRGN one = vwindowMSWCreateRectRgn(dest.x + start, dest.y + r, dest.x + i, dest.y + r + g);
        win::HRGN both = vwindowMSWCreateRectRgn(0, 0, 0, 0);
        win::CombineRgn(both, region, one, win::RGN_OR);
        win::DeleteObject(region);
        win::DeleteObject(one);
        region = both;
        any = true;
      }
    }
    for (int k = 0; k < maskCount; ++k)
      if (masks[k].pixmap) vpixmapFinishCursor(&cursors[std::size_t(k)]);
    if (!any) {
      win::DeleteObject(region);
      return;
    }
  }
  if (!bits) {
    if (region) {
      _vdrawMSWSyncBrush(d);
      win::FillRgn(d->hdc, region, d->brush);
      win::DeleteObject(region);
    }
    return;
  }
  if (region) {
    win::POINT o{};
    win::GetViewportOrgEx(d->hdc, &o);
    win::OffsetRgn(region, o.x, o.y);
    if (d->clipRegion) win::CombineRgn(region, region, d->clipRegion, win::RGN_AND);
    win::SelectClipRgn(d->hdc, region);
  }
  win::BITMAPINFO* info = vwindowMSWGetBitsInfo(bits);
  auto restore = [&] {
    if (region) {
      win::SelectClipRgn(d->hdc, d->clipRegion);
      win::DeleteObject(region);
    }
    vwindowMSWReleaseBitsInfo(info);
  };
  vexGuard(
      [&] {
        bool sameSize = source.width == W && source.height == H;
        int band = H;
        for (int y = 0; y < H;) {
          int rem = H - y;
          band = std::min(band, rem);
          int sy, sh;
          if (!sameSize) {
            sy = int(std::int64_t(rem - band) * source.height / H);
            sh = std::max(1, int(std::int64_t(rem) * source.height / H) - sy);
          } else {
            sy = rem - band;
            sh = band;
          }
          int done = win::StretchDIBits(d->hdc, dest.x, dest.y + y, W, band, source.x, source.y + sy, source.width, sh,
                                        bits->data, info, win::DIB_RGB_COLORS, win::SRCCOPY);
          if (done >= 1) {
            y += band;
          } else {
            band /= 2;
            if (band < 1)
              _vexGenerate(&vexReturnNullClass, vexSetMessage, "StretchDIBits failed", vexSetProcedure, "drawImage",
                           vexEnd);
          }
        }
      },
      [&](vexHandler&) {
        restore();
        _vexGenerate(nullptr, vexEnd);
      });
  restore();
}
