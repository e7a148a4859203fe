// Pixmaps to and from pixel buffers, and native bitmaps read back.
#include "fw/gui/graphics/bitmapmsw.h"

#include <cstring>

#include "fw/core/ex.h"
#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/mswgdi.h"

namespace {

vimage* imageOf(vpixmap* p) {
  return vclassIsSubclass(p->cls, vimageGetDefaultClass()) ? static_cast<vimage*>(p) : nullptr;
}

// Each index its own colour, so that a native bitmap gives the indexes back.
void fillTable(vpixmap* p, vwindowMSWBits* b) {
  int n = b->depth <= 8 ? 1 << b->depth : 0;
  win::RGBQUAD* t = &b->info->bmiColors[0];
  for (int i = 0; i < n; ++i) {
    auto v = static_cast<win::BYTE>(i * 255 / (n - 1));
    t[i] = {v, v, v, 0};
  }
  vimage* image = imageOf(p);
  if (n && image && image->palette && !(image->flags & vimageNO_PALETTE))
    for (std::uint32_t i = 0; i < image->palette->count && i < static_cast<std::uint32_t>(n); ++i) {
      unsigned r, g, bl;
      vcolorGetSpecRGB(&image->palette->entries[i], &r, &g, &bl);
      t[i] = {static_cast<win::BYTE>(bl >> 8), static_cast<win::BYTE>(g >> 8), static_cast<win::BYTE>(r >> 8), 0};
    }
}

bool sameLayout(const vpixmap* p, int depth) {
  return p->depth == depth && !(p->layout & (vpixmapBOTTOM_UP | vpixmapBYTE_ORDER)) &&
         vpixmapGetRowBytes(p) == vwindowMSWBitsRowBytes(p->width, depth);
}

// A described buffer of the pixmap's Windows depth over data (or its own rows).
vwindowMSWBits* describedBits(vpixmap* p, void* data) {
  int depth = vpixmapMSWDepth(p->depth);
  // The description comes from a stand-in image of that depth.
  vimage* shape = vimageCreateSized(1, 1, depth >= 24 ? 1u << 24 : 1u << depth);
  vwindowMSWBits* b = nullptr;
  vexGuard([&] { b = vwindowMSWCreateBitmapInfo(shape, p->width, p->height, data); },
           [&](vexHandler&) {
             vimageDestroy(shape);
             _vexGenerate(nullptr, vexEnd);
           });
  vimageDestroy(shape);
  fillTable(p, b);
  return b;
}

}  // namespace

int vpixmapMSWDepth(int depth) {
  if (depth <= 1) return 1;
  if (depth <= 4) return 4;
  if (depth <= 8) return 8;
  return 24;
}

vwindowMSWBits* vpixmapMSWToBits(vpixmap* p) {
  std::uint8_t* bytes = vpixmapLockPixels(p);
  if (sameLayout(p, vpixmapMSWDepth(p->depth))) return describedBits(p, bytes);
  vwindowMSWBits* b = describedBits(p, nullptr);
  if (!b->data) return b;
  vpixmapCursor c;
  vpixmapInitCursor(&c, p);
  for (int y = 0; y < p->height; ++y)
    for (int x = 0; x < p->width; ++x) vwindowMSWBitsSet(b, x, y, vpixmapCursorGetAt(&c, x, y));
  vpixmapFinishCursor(&c);
  return b;
}

void vpixmapMSWFromBits(vpixmap* p, const vwindowMSWBits* b) {
  if (b->width != p->width || b->height != p->height) _vexGenerate(&vexArgRangeClass, vexEnd);
  if (!b->data) return;
  std::uint8_t* bytes = vpixmapLockPixels(p);
  if (sameLayout(p, b->depth)) {
    std::memcpy(bytes, b->data, b->size);
    vpixmapMarkChanged(p);
    return;
  }
  vpixmapCursor c;
  vpixmapInitCursor(&c, p);
  std::uint32_t mask = p->depth >= 32 ? 0xFFFFFFFFu : (1u << p->depth) - 1;
  for (int y = 0; y < p->height; ++y)
    for (int x = 0; x < p->width; ++x) vpixmapCursorSetAt(&c, x, y, vwindowMSWBitsGet(b, x, y) & mask);
  vpixmapFinishCursor(&c);
  vpixmapMarkChanged(p);
}

void vpixmapMSWBitmapChanged(vpixmap* p) {
  if (vsyncRingEntry* e = vsyncRingFind(p->store, &vcolorMSWBitmapKind)) vsyncRingSetCurrent(e);
}

int _vpixmapMSWBitmapToPixels(vsyncRingEntry* bitmapEntry, vsyncRingEntry* pixelEntry) {
  if (pixelEntry->kind != &vpixmapPixelKind || !bitmapEntry->value) return 0;
  auto* p = static_cast<vpixmap*>(pixelEntry->data);
  auto bitmap = reinterpret_cast<win::HBITMAP>(bitmapEntry->value);
  vwindowMSWBits* b = describedBits(p, nullptr);
  bool ok = vexTry([&] {
    if (b->data) {
      win::HDC screen = vwindowMSWAcquireCachedDC(0);
      int rows = vwindowMSWGdi.getDIBits(screen, bitmap, 0, static_cast<win::UINT>(b->height), b->data, b->info,
                                         win::DIB_RGB_COLORS);
      vwindowMSWReleaseCachedDC(screen);
      if (rows == 0) _vexGenerate(&vexReturnNullClass, vexSetMessage, "GetDIBBits failed", vexEnd);
    }
    // The pixels take the bitmap's values as they stand: mark them current
    // first so that writing them does not ask for this update again.
    pixelEntry->flags |= vsyncRingUP_TO_DATE;
    vpixmapMSWFromBits(p, b);
  });
  vwindowMSWDestroyBits(b);
  if (!ok) {
    pixelEntry->flags &= static_cast<std::uint16_t>(~vsyncRingUP_TO_DATE);
    return 0;
  }
  bitmapEntry->flags |= vsyncRingUP_TO_DATE;  // both forms agree again
  return 1;
}
