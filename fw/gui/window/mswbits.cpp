// Pixel buffers, the bitmap template, native bitmaps made from buffers or
// read into them, and images over native bitmaps.
#include "fw/gui/window/mswbits.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/mswgdi.h"

namespace {

constexpr std::size_t BAND = 64 * 1024;  // the largest SetDIBits call with the workaround
constexpr int TEMPLATE_COLORS = 256;

vpool* bitsPool = nullptr;

struct Template {
  vwindowMSWBits* bits = nullptr;  // 1 x 1 at the display depth, with a table of 256
  int uses = 0;
  bool entry1Saved = false;
  win::RGBQUAD savedEntry1{};
} tmpl;

[[noreturn]] void raise(const vexClass* cls, const char* message, const char* procedure) {
  _vexGenerate(cls, vexSetMessage, message, vexSetProcedure, procedure, vexEnd);
}
[[noreturn]] void raiseRange(const char* procedure) { _vexGenerate(&vexArgRangeClass, vexSetProcedure, procedure, vexEnd); }

int depthClass(int depth) {
  if (depth < 2) return 1;
  if (depth < 5) return 4;
  if (depth <= 8) return 8;
  return 24;
}

int tableSize(int depth) { return depth <= 8 ? 1 << depth : 0; }

vwindowMSWBits* newRecord() {
  if (!bitsPool) bitsPool = vpoolCreate(sizeof(vwindowMSWBits));
  auto* b = static_cast<vwindowMSWBits*>(vpoolAlloc(bitsPool));
  *b = {};
  return b;
}

// The record with its size worked out and its rows (when no data is given).
vwindowMSWBits* makeBits(int depth, int width, int height, void* data, bool clear) {
  if (height < 0) raiseRange("vwindowMSWCreateBits");
  std::size_t row = vwindowMSWBitsRowBytes(width, depth);
  if (height > 0 && row > std::numeric_limits<std::size_t>::max() / static_cast<std::size_t>(height))
    raiseRange("vwindowMSWCreateBits");
  vwindowMSWBits* b = newRecord();
  b->width = width;
  b->height = height;
  b->depth = static_cast<std::uint16_t>(depth);
  b->rowBytes = row;
  b->size = row * static_cast<std::size_t>(height);
  if (b->size == 0) return b;
  if (data) {
    b->data = static_cast<std::uint8_t*>(data);
    return b;
  }
  vexGuard([&] { b->data = static_cast<std::uint8_t*>(clear ? vmemAllocClear(b->size) : vmemAlloc(b->size)); },
           [&](vexHandler&) {
             vpoolFree(bitsPool, b);
             _vexGenerate(nullptr, vexEnd);
           });
  b->owner = 1;
  return b;
}

win::BITMAPINFO* newInfo(int depth, int width, int height) {
  int colors = tableSize(depth);
  std::size_t bytes = sizeof(win::BITMAPINFOHEADER) + sizeof(win::RGBQUAD) * static_cast<std::size_t>(std::max(colors, 1));
  auto* info = static_cast<win::BITMAPINFO*>(vmemAllocClear(bytes));
  win::BITMAPINFOHEADER& h = info->bmiHeader;
  h.biSize = sizeof(win::BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<win::WORD>(depth);
  h.biCompression = win::BI_RGB;
  return info;
}

win::RGBQUAD* table(win::BITMAPINFO* info) { return &info->bmiColors[0]; }

win::RGBQUAD quadOf(const vcolorSpec& spec) {
  unsigned r, g, b;
  vcolorGetSpecRGB(&spec, &r, &g, &b);
  return {static_cast<win::BYTE>(b >> 8), static_cast<win::BYTE>(g >> 8), static_cast<win::BYTE>(r >> 8), 0};
}

// A buffer with its own description and the table of depth.
vwindowMSWBits* makeDescribed(int depth, int width, int height, void* data) {
  vwindowMSWBits* b = makeBits(depth, width, height, data, true);
  vexGuard([&] { b->info = newInfo(depth, width, height); },
           [&](vexHandler&) {
             vwindowMSWDestroyBits(b);
             _vexGenerate(nullptr, vexEnd);
           });
  return b;
}

Template& bitmapTemplate() {
  if (tmpl.bits) return tmpl;
  int depth = _vwindowMSWGetGdiSetup()->imageDepth;
  bool made = vexTry([&] {
    vwindowMSWBits* b = makeBits(depth, 1, 1, nullptr, true);
    vexGuard([&] { b->info = newInfo(8, 1, 1); },
             [&](vexHandler&) {
               vwindowMSWDestroyBits(b);
               _vexGenerate(nullptr, vexEnd);
             });
    b->info->bmiHeader.biBitCount = static_cast<win::WORD>(depth);
    if (win::HPALETTE palette = _vwindowMSWGetGdiSetup()->palette) {
      win::PALETTEENTRY entries[TEMPLATE_COLORS]{};
      win::UINT n = win::GetPaletteEntries(palette, 0, TEMPLATE_COLORS, entries);
      for (win::UINT i = 0; i < n && i < TEMPLATE_COLORS; ++i)
        table(b->info)[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    }
    tmpl.bits = b;
  });
  if (!made || !tmpl.bits) raise(&vexModuleStateClass, "can't initialize bitmap template", "vwindowMSWGetBitsInfo");
  return tmpl;
}

bool hasPalette(const vimage* image) { return image->palette && !(image->flags & vimageNO_PALETTE); }

// ---- Native sides of images, on their representation rings.

const vsyncRingKind windowKind{nullptr, nullptr, nullptr, nullptr};  // the window is not the image's

// A DC from the cache for the length of body.
template <class Body>
auto withCachedDC(int memory, Body body) {
  win::HDC hdc = vwindowMSWAcquireCachedDC(memory);
  decltype(body(hdc)) result{};
  vexGuard([&] { result = body(hdc); },
           [&](vexHandler&) {
             vwindowMSWReleaseCachedDC(hdc);
             _vexGenerate(nullptr, vexEnd);
           });
  vwindowMSWReleaseCachedDC(hdc);
  return result;
}

}  // namespace

std::size_t vwindowMSWBitsRowBytes(int width, int depth) {
  if (width < 0 || depth < 1) raiseRange("vwindowMSWCreateBits");
  std::size_t w = static_cast<std::size_t>(width), d = static_cast<std::size_t>(depth);
  if (w > (std::numeric_limits<std::size_t>::max() - 7) / d) raiseRange("vwindowMSWCreateBits");
  std::size_t bytes = (w * d + 7) / 8;
  if (bytes > std::numeric_limits<std::size_t>::max() - 3) raiseRange("vwindowMSWCreateBits");
  return (bytes + 3) & ~std::size_t{3};
}

vwindowMSWBits* vwindowMSWCreateBits(int depth, int width, int height, void* data) {
  if (depth != 1) depth = std::max(depthClass(depth), _vwindowMSWGetGdiSetup()->imageDepth);
  return makeBits(depth, width, height, data, false);
}

void vwindowMSWDestroyBits(vwindowMSWBits* bits) {
  if (!bits) return;
  if (bits->owner) vmemFree(bits->data);
  vmemFree(bits->info);
  vpoolFree(bitsPool, bits);
}

vwindowMSWBits* vwindowMSWCreateBitmapInfo(vimage* image, int width, int height, void* data) {
  int depth = depthClass(image->depth);
  vwindowMSWBits* b = makeDescribed(depth, width, height, data);
  int n = tableSize(depth);
  if (n == 0 || !hasPalette(image)) {
    b->info->bmiHeader.biClrUsed = 0;
    return b;
  }
  const vcolorList* palette = image->palette;
  for (int i = 0; i < n && static_cast<std::uint32_t>(i) < palette->count; ++i)
    table(b->info)[i] = quadOf(palette->entries[i]);
  return b;
}

win::BITMAPINFO* vwindowMSWGetBitsInfo(vwindowMSWBits* bits) {
  if (bits->info) return bits->info;
  Template& t = bitmapTemplate();
  win::BITMAPINFOHEADER& h = t.bits->info->bmiHeader;
  h.biWidth = bits->width;
  h.biHeight = bits->height;
  h.biBitCount = bits->depth;
  h.biSizeImage = static_cast<win::DWORD>(std::min<std::size_t>(bits->size, 0xFFFFFFFFu));
  // A one-bit buffer draws its set bits white.
  win::RGBQUAD& one = table(t.bits->info)[1];
  if (bits->depth == 1 && _vwindowMSWGetGdiSetup()->imageDepth > 2 && !t.entry1Saved) {
    t.savedEntry1 = one;
    t.entry1Saved = true;
    one = {255, 255, 255, 0};
  }
  t.uses++;
  return t.bits->info;
}

void vwindowMSWReleaseBitsInfo(win::BITMAPINFO* info) {
  if (!tmpl.bits || info != tmpl.bits->info || tmpl.uses == 0) return;
  if (--tmpl.uses > 0) return;
  if (tmpl.entry1Saved) table(info)[1] = tmpl.savedEntry1;
  tmpl.entry1Saved = false;
}

void vwindowMSWSetTemplateColor(int index, win::RGBQUAD color) {
  if (index < 0 || index >= TEMPLATE_COLORS) raiseRange("vwindowMSWSetTemplateColor");
  Template& t = bitmapTemplate();
  if (index == 1 && t.entry1Saved) {
    t.savedEntry1 = color;
    return;
  }
  table(t.bits->info)[index] = color;
}

win::HBITMAP vwindowMSWCreateCompatibleBitmap(win::HDC hdc, int width, int height) {
  return vwindowMSWCreateWithRecovery("BITMAP", 3,
                                      [&] { return vwindowMSWGdi.createCompatibleBitmap(hdc, width, height); });
}

namespace {

win::HBITMAP fromBits(vwindowMSWBits* bits, win::HDC hdc, int palette, win::BITMAPINFO* info) {
  win::HPALETTE displayPalette = _vwindowMSWGetGdiSetup()->palette;
  if (palette && displayPalette) {
    win::SelectPalette(hdc, displayPalette, 0);
    win::RealizePalette(hdc);
  }
  if (!_vwindowMSWGetGdiSetup()->bitmapWorkaround || bits->size < BAND)
    return vwindowMSWCreateWithRecovery("DIBITMAP", 2, [&] {
      return vwindowMSWGdi.createDIBitmap(hdc, &info->bmiHeader, win::CBM_INIT, bits->data, info, win::DIB_RGB_COLORS);
    });
  // Some drivers fail large device-independent bitmaps: a compatible
  // bitmap filled in bands of whole rows.
  win::HBITMAP bitmap = vwindowMSWCreateCompatibleBitmap(hdc, bits->width, bits->height);
  std::size_t rows = std::max<std::size_t>(1, BAND / bits->rowBytes);
  for (std::size_t start = 0; start < static_cast<std::size_t>(bits->height); start += rows) {
    auto lines = static_cast<win::UINT>(std::min(rows, static_cast<std::size_t>(bits->height) - start));
    if (vwindowMSWGdi.setDIBits(hdc, bitmap, static_cast<win::UINT>(start), lines, bits->data + start * bits->rowBytes,
                                info, win::DIB_RGB_COLORS) == 0) {
      win::DeleteObject(bitmap);
      vwindowMSWRecoverResources(2, "DIBITMAP");
    }
  }
  return bitmap;
}

}  // namespace

win::HBITMAP vwindowMSWCreateBitmapFromBits(vwindowMSWBits* bits, win::HDC hdc, int palette) {
  win::BITMAPINFO* info = vwindowMSWGetBitsInfo(bits);
  win::HBITMAP made = nullptr;
  vexGuard(
      [&] {
        made = hdc ? fromBits(bits, hdc, palette, info)
                   : withCachedDC(0, [&](win::HDC dc) { return fromBits(bits, dc, palette, info); });
      },
      [&](vexHandler&) {
        vwindowMSWReleaseBitsInfo(info);
        _vexGenerate(nullptr, vexEnd);
      });
  vwindowMSWReleaseBitsInfo(info);
  return made;
}

vwindowMSWBits* vwindowGetMSWBitmap(win::HDC hdc, win::HBITMAP bitmap, int depth, int x, int y, int width,
                                    int height) {
  depth = depthClass(depth);
  vwindowMSWBits* b = makeDescribed(depth, width, height, nullptr);
  if (depth == 1) table(b->info)[1] = {255, 255, 255, 0};
  if (depth > 1 && depth <= 8) {
    Template& t = bitmapTemplate();
    std::memcpy(table(b->info), table(t.bits->info), sizeof(win::RGBQUAD) * static_cast<std::size_t>(tableSize(depth)));
  }
  if (b->size == 0) return b;
  win::HBITMAP copy = nullptr;
  int rows = 0;
  vexGuard(
      [&] {
        if (!bitmap) {
          // The area of the context, through a bitmap of its own.
          copy = vwindowMSWCreateCompatibleBitmap(hdc, width, height);
          withCachedDC(1, [&](win::HDC memory) {
            win::HGDIOBJ old = win::SelectObject(memory, copy);
            win::BitBlt(memory, 0, 0, width, height, hdc, x, y, win::SRCCOPY);
            win::SelectObject(memory, old);
            return 0;
          });
        }
        rows = vwindowMSWGdi.getDIBits(hdc, bitmap ? bitmap : copy, 0, static_cast<win::UINT>(height), b->data, b->info,
                                       win::DIB_RGB_COLORS);
      },
      [&](vexHandler&) {
        if (copy) win::DeleteObject(copy);
        vwindowMSWDestroyBits(b);
        _vexGenerate(nullptr, vexEnd);
      });
  if (copy) win::DeleteObject(copy);
  if (rows == 0) {
    vwindowMSWDestroyBits(b);
    raise(&vexReturnNullClass, "GetDIBBits failed", "vwindowGetMSWBitmap");
  }
  return b;
}

vwindowMSWBits* vwindowMSWBitsFromBitmap(win::HBITMAP bitmap) {
  win::BITMAP bm{};
  if (!bitmap || win::GetObjectA(bitmap, sizeof bm, &bm) == 0)
    _vexGenerate(&vexArgClass, vexSetProcedure, "vwindowMSWBitsFromBitmap", vexEnd);
  int depth = depthClass(bm.bmPlanes * bm.bmBitsPixel);
  return withCachedDC(0, [&](win::HDC hdc) { return vwindowGetMSWBitmap(hdc, bitmap, depth, 0, 0, bm.bmWidth, bm.bmHeight); });
}

// ---- Images.

win::HBITMAP vwindowMSWGetImageBitmap(vimage* image) { return vcolorMSWGetPixmapBitmap(image); }

vimage* vwindowMSWImageFromBitmap(win::HBITMAP bitmap) {
  win::BITMAP bm{};
  if (!bitmap || win::GetObjectA(bitmap, sizeof bm, &bm) == 0 || bm.bmWidth < 1 || bm.bmHeight < 1) return nullptr;
  vwindowMSWBits* b = vwindowMSWBitsFromBitmap(bitmap);
  vimage* image = nullptr;
  vexGuard(
      [&] {
        int depth = b->depth;
        image = vimageCreateSized(bm.bmWidth, bm.bmHeight, depth >= 24 ? 0x1000000u : 1u << depth);
        vpixmapSetDepth(image, depth);
        if (depth == 24) {
          vimageSetNoPalette(image, 1);
        } else {
          // One bit is black and white; the others take the table the read gave.
          vcolorList* palette = vimageGetPalette(image);
          int n = tableSize(depth);
          vcolorListSetCount(palette, static_cast<std::uint32_t>(n));
          for (int i = 0; i < n; ++i) {
            const win::RGBQUAD& q = table(b->info)[i];
            vcolorSetSpecRGB(&palette->entries[i], q.rgbRed * 257u, q.rgbGreen * 257u, q.rgbBlue * 257u);
          }
          vcolorListChanged(palette);
        }
        vpixmapCursor c;
        vpixmapInitCursor(&c, image);
        for (int y = 0; y < b->height; ++y)
          for (int x = 0; x < b->width; ++x) vpixmapCursorSetAt(&c, x, y, vwindowMSWBitsGet(b, x, y));
        vpixmapFinishCursor(&c);
        vpixmapMarkChanged(image);
      },
      [&](vexHandler&) {
        if (image) vimageDestroy(image);
        vwindowMSWDestroyBits(b);
        _vexGenerate(nullptr, vexEnd);
      });
  vwindowMSWDestroyBits(b);
  vsyncRingEntry* e = vsyncRingAdd(image->store, &vcolorMSWBitmapKind, image);
  e->value = reinterpret_cast<std::intptr_t>(bitmap);
  e->flags |= vsyncRingUP_TO_DATE;
  return image;
}

vimage* vwindowMSWLoadBitmapImage(win::HINSTANCE module, int id) {
  win::HBITMAP bitmap = win::LoadBitmapA(module, reinterpret_cast<const char*>(static_cast<std::uintptr_t>(id)));
  if (!bitmap) return nullptr;
  vimage* image = vwindowMSWImageFromBitmap(bitmap);
  if (!image) win::DeleteObject(bitmap);
  return image;
}

vimage* vwindowCreateDisplayImage(int width, int height) {
  vwindowEnsureStartup();
  int depth = _vwindowMSWGetGdiSetup()->imageDepth;
  vimage* image = vimageCreateSized(width, height, depth >= 24 ? 0x1000000u : 1u << depth);
  vpixmapSetDepth(image, depth);
  if (depth > 8) vimageSetNoPalette(image, 1);
  return image;
}

vimage* vwindowMSWCreateWindowImage(vwindow* w) {
  if (!w || !(w->flags & vwindowOPEN) || !w->native)
    _vexGenerate(&vexArgNotOpenClass, vexSetProcedure, "vwindowMSWCreateWindowImage", vexEnd);
  vimage* image = vwindowCreateDisplayImage(w->rect.width, w->rect.height);
  vpixmapLockPixels(image);
  vsyncRingEntry* e = vsyncRingAdd(image->store, &windowKind, image);
  e->value = reinterpret_cast<std::intptr_t>(w->native->hwnd);
  return image;
}

win::HWND vwindowMSWGetImageWindow(vimage* image) {
  vsyncRingEntry* e = image ? vsyncRingFind(image->store, &windowKind) : nullptr;
  return e ? reinterpret_cast<win::HWND>(e->value) : nullptr;
}

void _vwindowMSWFreeBits() {
  vwindowMSWDestroyBits(tmpl.bits);
  tmpl = Template{};
}

std::uint32_t vwindowMSWBitsGet(const vwindowMSWBits* b, int x, int y) {
  const std::uint8_t* row = b->data + static_cast<std::size_t>(y) * b->rowBytes;
  switch (b->depth) {
    case 1: return row[x >> 3] >> (7 - (x & 7)) & 1u;
    case 4: return row[x >> 1] >> ((x & 1) ? 0 : 4) & 15u;
    case 8: return row[x];
    default: {
      const std::uint8_t* q = row + 3 * static_cast<std::size_t>(x);
      return q[0] | static_cast<std::uint32_t>(q[1]) << 8 | static_cast<std::uint32_t>(q[2]) << 16;
    }
  }
}

void vwindowMSWBitsSet(vwindowMSWBits* b, int x, int y, std::uint32_t v) {
  std::uint8_t* row = b->data + static_cast<std::size_t>(y) * b->rowBytes;
  switch (b->depth) {
    case 1: {
      auto bit = static_cast<std::uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<std::uint8_t>((v & 1) ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      return;
    }
    case 4: {
      int shift = (x & 1) ? 0 : 4;
      row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & ~(15 << shift)) | (v & 15) << shift);
      return;
    }
    case 8: row[x] = static_cast<std::uint8_t>(v); return;
    default: {
      std::uint8_t* q = row + 3 * static_cast<std::size_t>(x);
      q[0] = static_cast<std::uint8_t>(v);
      q[1] = static_cast<std::uint8_t>(v >> 8);
      q[2] = static_cast<std::uint8_t>(v >> 16);
    }
  }
}
