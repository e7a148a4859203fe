// Pixmaps and images as device bitmaps: device pixels by the index-to-pixel
// table, by the level tables one pixel at a time, or by Floyd-Steinberg
// error diffusion.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fw/core/ex.h"
#include "fw/gui/graphics/bitmapmsw.h"
#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/mswgdi.h"

namespace {

struct Rgb {
  std::int32_t c[3];
};

vcolorList* listOf(vpixmap* p) {
  if (!vclassIsSubclass(p->cls, vimageGetDefaultClass())) return nullptr;
  auto* image = static_cast<vimage*>(p);
  if ((image->flags & vimageNO_PALETTE) || !image->palette || image->palette->count == 0) return nullptr;
  return image->palette;
}

bool noDithering(vpixmap* p) {
  return vclassIsSubclass(p->cls, vimageGetDefaultClass()) && (static_cast<vimage*>(p)->flags & vimageNO_DITHERING);
}

Rgb rgbOf(const vcolorSpec& spec) {
  unsigned r, g, b;
  vcolorGetSpecRGB(&spec, &r, &g, &b);
  return {{static_cast<std::int32_t>(r), static_cast<std::int32_t>(g), static_cast<std::int32_t>(b)}};
}

// A pixel value of a pixmap without a colour list as a colour: 24 and 32
// bits are 0x00RRGGBB, each channel v at full scale (v x 257, so that 255
// stays white through the true-colour levels), fewer bits a grey ramp.
Rgb rgbOfValue(std::uint32_t v, int depth) {
  if (depth >= 24)
    return {{static_cast<std::int32_t>((v >> 16 & 0xFF) * 257), static_cast<std::int32_t>((v >> 8 & 0xFF) * 257),
             static_cast<std::int32_t>((v & 0xFF) * 257)}};
  std::uint32_t top = depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
  auto g = static_cast<std::int32_t>(std::uint64_t(std::min(v, top)) * 65535 / top);
  return {{g, g, g}};
}

win::COLORREF levelPixel(const Rgb& c) {
  return vcolorMSWLevelPixel(vcolorMSWLevelOf(static_cast<unsigned>(c.c[0]), static_cast<unsigned>(c.c[1]),
                                              static_cast<unsigned>(c.c[2])));
}

void put(vwindowMSWBits* b, int x, int y, win::COLORREF p) {
  std::uint8_t* d = b->data + static_cast<std::size_t>(y) * b->rowBytes + 3 * static_cast<std::size_t>(x);
  d[0] = win::GetBValue(p);
  d[1] = win::GetGValue(p);
  d[2] = win::GetRValue(p);
}

// Reads a pixmap's values row by row (y = 0 the bottom), fast for the
// plain byte layouts of depths 8 and 24.
struct Reader {
  vpixmap* p;
  const std::uint8_t* bytes;
  std::size_t rowBytes;
  bool direct;
  vpixmapCursor cursor;

  explicit Reader(vpixmap* pixmap) : p(pixmap) {
    bytes = vpixmapLockPixels(p);
    rowBytes = vpixmapGetRowBytes(p);
    direct = (p->depth == 8 || p->depth == 24) && !(p->layout & vpixmapBYTE_ORDER);
    if (!direct) vpixmapInitCursor(&cursor, p);
  }
  ~Reader() {
    if (!direct) vpixmapFinishCursor(&cursor);
  }
  const std::uint8_t* row(int y) const {
    int memoryRow = (p->layout & vpixmapBOTTOM_UP) ? p->height - 1 - y : y;
    return bytes + static_cast<std::size_t>(memoryRow) * rowBytes;
  }
  std::uint32_t at(int x, int y) {
    if (!direct) return vpixmapCursorGetAt(&cursor, x, y);
    const std::uint8_t* r = row(y);
    if (p->depth == 8) return r[x];
    const std::uint8_t* q = r + 3 * static_cast<std::size_t>(x);
    return q[0] | static_cast<std::uint32_t>(q[1]) << 8 | static_cast<std::uint32_t>(q[2]) << 16;
  }
};

// Floyd-Steinberg over rows from the top: two error rows of three sums a
// pixel (one spare at each end), weights 7, 3, 5 and 1 sixteenths.
template <class Read, class Write>
void diffuse(int width, int height, Read read, Write write, std::int64_t* largest) {
  std::vector<std::array<std::int32_t, 3>> rowA(static_cast<std::size_t>(width) + 2), rowB(rowA.size());
  auto* cur = &rowA;
  auto* next = &rowB;
  // The device colour of each level, computed once.
  const vcolorMSWLevels& t = vcolorMSWGetLevels();
  std::vector<Rgb> levelColor(t.toPixel.size());
  for (std::size_t i = 0; i < t.toPixel.size(); ++i) {
    unsigned r, g, b;
    vcolorMSWPixelToColor(t.toPixel[i], &r, &g, &b);
    levelColor[i] = {{static_cast<std::int32_t>(r), static_cast<std::int32_t>(g), static_cast<std::int32_t>(b)}};
  }
  for (int row = 0; row < height; ++row) {
    std::fill(next->begin(), next->end(), std::array<std::int32_t, 3>{0, 0, 0});
    std::int32_t carry[3] = {0, 0, 0};
    for (int x = 0; x < width; ++x) {
      Rgb src = read(x, row);
      Rgb want;
      for (int c = 0; c < 3; ++c) {
        std::int32_t total = (*cur)[x + 1][c] + carry[c];
        if (largest) *largest = std::max<std::int64_t>(*largest, std::abs(static_cast<std::int64_t>(total)));
        want.c[c] = std::clamp(src.c[c] + (total >> 4), 0, 65535);
      }
      std::uint32_t level = vcolorMSWLevelOf(static_cast<unsigned>(want.c[0]), static_cast<unsigned>(want.c[1]),
                                             static_cast<unsigned>(want.c[2]));
      win::COLORREF pixel = vcolorMSWLevelPixel(level);
      Rgb device;
      if (levelColor.empty()) {
        unsigned r, g, b;
        vcolorMSWPixelToColor(pixel, &r, &g, &b);
        device = {{static_cast<std::int32_t>(r), static_cast<std::int32_t>(g), static_cast<std::int32_t>(b)}};
      } else {
        device = levelColor[std::min<std::size_t>(level, levelColor.size() - 1)];
      }
      write(x, row, pixel);
      for (int c = 0; c < 3; ++c) {
        std::int32_t e = want.c[c] - device.c[c];
        carry[c] = 7 * e;
        (*next)[x][c] += 3 * e;
        (*next)[x + 1][c] += 5 * e;
        (*next)[x + 2][c] += e;
      }
    }
    std::swap(cur, next);
  }
}

void freeBitmap(vsyncRingEntry* e) {
  if (e->value && !(e->flags & 2)) win::DeleteObject(reinterpret_cast<win::HGDIOBJ>(e->value));
  e->value = 0;
}

}  // namespace

const vsyncRingKind vcolorMSWBitmapKind{nullptr, freeBitmap, nullptr, _vpixmapMSWBitmapToPixels};

void _vcolorMSWDiffuse(const std::uint16_t* rgb, int width, int height, win::COLORREF* out, std::int64_t* largest) {
  _vcolorMSWStartup();
  diffuse(
      width, height,
      [&](int x, int row) {
        const std::uint16_t* p = rgb + 3 * (static_cast<std::size_t>(row) * width + x);
        return Rgb{{p[0], p[1], p[2]}};
      },
      [&](int x, int row, win::COLORREF p) { out[static_cast<std::size_t>(row) * width + x] = p; }, largest);
}

vwindowMSWBits* vcolorMSWPixmapToBits(vpixmap* p) {
  _vcolorMSWStartup();
  vcolorList* list = listOf(p);
  bool noDither = noDithering(p);
  int depth = p->depth;
  // A true-colour pixmap laid out as the buffer is the buffer.
  std::uint8_t* bytes = vpixmapLockPixels(p);
  if (vcolorMSWGetMode() == vcolorMSW_TRUE_COLOR && depth == 24 && !list && !(p->layout & vpixmapBYTE_ORDER) &&
      !(p->layout & vpixmapBOTTOM_UP) && vpixmapGetRowBytes(p) == vwindowMSWBitsRowBytes(p->width, 24))
    return vwindowMSWCreateBits(24, p->width, p->height, bytes);
  vwindowMSWBits* out = vwindowMSWCreateBits(24, p->width, p->height, nullptr);
  if (out->size == 0) return out;
  vexGuard(
      [&] {
        Reader in(p);
        int w = p->width, h = p->height;
        // The index-to-pixel table, when every list colour is shown within 255 units.
        std::vector<win::COLORREF> table;
        if (list && list->count <= 256) {
          bool close = true;
          table.resize(256, 0);
          for (std::uint32_t i = 0; i < list->count; ++i) {
            Rgb c = rgbOf(list->entries[i]);
            table[i] = vcolorMSWColorToPixel(c.c[0], c.c[1], c.c[2]);
            unsigned r, g, b;
            vcolorMSWPixelToColor(table[i], &r, &g, &b);
            close = close && std::abs(c.c[0] - static_cast<int>(r)) <= 255 &&
                    std::abs(c.c[1] - static_cast<int>(g)) <= 255 && std::abs(c.c[2] - static_cast<int>(b)) <= 255;
          }
          if (!close && !noDither) table.clear();
        }
        bool oneBitPlain = !list && depth == 1;
        int deviceDepth = vcolorMSWGetMode() == vcolorMSW_MONOCHROME ? 1 : vwindowMSWGetDisplay()->depth;
        bool perPixel = noDither || (depth <= deviceDepth && (!list || !table.empty()));
        win::COLORREF black = vcolorMSWColorToPixel(0, 0, 0), white = vcolorMSWColorToPixel(65535, 65535, 65535);
        auto colourAt = [&](int x, int y) {
          std::uint32_t v = in.at(x, y);
          if (list) return v < list->count ? rgbOf(list->entries[v]) : Rgb{{0, 0, 0}};
          return rgbOfValue(v, depth);
        };
        if (perPixel) {
          for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
              std::uint32_t v = in.at(x, y);
              win::COLORREF px;
              if (!table.empty()) px = v < 256 ? table[v] : 0;
              else if (oneBitPlain) px = v ? white : black;
              else px = levelPixel(colourAt(x, y));
              put(out, x, y, px);
            }
          return;
        }
        // Rows from the top: pixmap row h - 1 first.
        diffuse(
            w, h, [&](int x, int row) { return colourAt(x, h - 1 - row); },
            [&](int x, int row, win::COLORREF px) { put(out, x, h - 1 - row, px); }, nullptr);
      },
      [&](vexHandler&) {
        vwindowMSWDestroyBits(out);
        _vexGenerate(nullptr, vexEnd);
      });
  return out;
}

bool vcolorMSWHasColorList(vpixmap* p) { return listOf(p) != nullptr; }

win::HBITMAP vcolorMSWGetPixmapBitmap(vpixmap* p) {
  vpixmapLockPixels(p);  // the pixels are the source
  vsyncRingEntry* e = vsyncRingFind(p->store, &vcolorMSWBitmapKind);
  if (e && vsyncRingIsCurrent(e) && e->value) return reinterpret_cast<win::HBITMAP>(e->value);
  // A one-bit pixmap is a one-bit bitmap, drawn in the current colours;
  // with a colour list it is in its own colours, as deeper ones are.
  bool mono = p->depth == 1 && !listOf(p);
  vwindowMSWBits* bits = mono ? vpixmapMSWToBits(p) : vcolorMSWPixmapToBits(p);
  win::HBITMAP made = nullptr;
  vexGuard(
      [&] {
        if (!bits->size) return;
        made = mono ? vwindowMSWCreateWithRecovery("DIBITMAP", 2,
                                                   [&] {
                                                     return vwindowMSWGdi.createDIBitmap(
                                                         nullptr, &bits->info->bmiHeader, win::CBM_INIT, bits->data,
                                                         bits->info, win::DIB_RGB_COLORS);
                                                   })
                    : vwindowMSWCreateBitmapFromBits(bits, nullptr, 1);
      },
           [&](vexHandler&) {
             vwindowMSWDestroyBits(bits);
             _vexGenerate(nullptr, vexEnd);
           });
  vwindowMSWDestroyBits(bits);
  if (!e) e = vsyncRingAdd(p->store, &vcolorMSWBitmapKind, p);
  freeBitmap(e);
  e->value = reinterpret_cast<std::intptr_t>(made);
  e->flags = static_cast<std::uint16_t>((e->flags & ~2) | vsyncRingUP_TO_DATE);
  return made;
}
