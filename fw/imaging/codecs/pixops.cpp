// Geometry and masks: flips, the quarter turn, masks from a value, copies and
// fills through a mask, comparison and the outline of a mask.
#include <algorithm>
#include <cstdint>
#include <new>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/imaging/codecs/pixops.h"
#include "fw/imaging/codecs/pixops_internal.h"

using namespace imgops;

namespace imgops {

void requireImage(const void* image) {
  if (!image) _vexGenerate(&vexArgNullClass, vexEnd);
}

vimage* createLike(vimage* source, int width, int height) {
  Owned made(vimageCreateSized(width, height, source->numColors));
  vimage* d = made.image;
  if (d->depth != source->depth) vpixmapSetDepth(d, source->depth);
  if (source->flags & vimageNO_PALETTE)
    vimageSetNoPalette(d, 1);
  else if (source->palette)
    vimageSetPaletteOwned(d, vcolorListClone(source->palette));
  return made.release();
}

bool oneIsLight(vimage* image) {
  if (image->flags & vimageNO_PALETTE) return true;
  const vcolorList* p = vimageGetPalette(image);
  auto light = [&](std::uint32_t i) -> long {
    if (i >= p->count) return 0;
    unsigned r, g, b;
    vcolorGetSpecRGB(&p->entries[i], &r, &g, &b);
    return 299L * r + 587L * g + 114L * b;
  };
  return light(1) > light(0);
}

vimage* createWhiteBlack(int width, int height) {
  Owned made(vimageCreateSized(width, height, 2));
  vcolorList* palette = vimageGetPalette(made.image);
  vcolorSetSpecRGB(&palette->entries[0], 65535, 65535, 65535);
  vcolorSetSpecRGB(&palette->entries[1], 0, 0, 0);
  vcolorListChanged(palette);
  return made.release();
}

ValueColors::ValueColors(vimage* image) {
  if (image->flags & vimageNO_PALETTE) {
    oneBit_ = image->depth == 1;
    return;
  }
  indexed_ = true;
  const vcolorList* palette = vimageGetPalette(image);
  table_.resize(palette->count);
  for (std::uint32_t i = 0; i < palette->count; ++i)
    vcolorGetSpecRGB(&palette->entries[i], &table_[i].r, &table_[i].g, &table_[i].b);
}

Rgb ValueColors::operator()(std::uint32_t value) const {
  if (indexed_) return value < table_.size() ? table_[value] : Rgb{0, 0, 0};
  if (oneBit_) return value & 1 ? Rgb{65535, 65535, 65535} : Rgb{0, 0, 0};
  Rgb c;
  vimageSplitRGB(value, &c.r, &c.g, &c.b);
  return c;
}

}  // namespace imgops

namespace {

std::vector<std::uint32_t> readRow(Cursor& c, int y, int width) {
  std::vector<std::uint32_t> row(static_cast<std::size_t>(width));
  c.moveTo(0, y);
  for (auto& v : row) v = c.getNext();
  return row;
}

template <class Row>
void writeRow(Cursor& c, int y, const Row& row) {
  c.moveTo(0, y);
  for (std::uint32_t v : row) c.setNext(v);
}

// The part [from, to) of 0..size along one axis that three placements of
// an area of `size` keep inside their images.
struct Span {
  std::int64_t from, to;
};
Span clip(int size, std::initializer_list<std::pair<int, int>> placements) {
  Span s{0, size};
  for (auto [origin, extent] : placements) {
    s.from = std::max<std::int64_t>(s.from, -std::int64_t(origin));
    s.to = std::min<std::int64_t>(s.to, std::int64_t(extent) - origin);
  }
  return s;
}

// Visits the area where the mask is set, clipped to the mask, the
// destination and (when given) the source: act(i, j) with offsets into it.
template <class Act>
void throughMask(vimage* source, vimage* destination, vimage* mask, int mx, int my, int w, int h, int dx, int dy,
                 Act act) {
  requireImage(destination);
  requireImage(mask);
  int sw = source ? source->width : mask->width, sh = source ? source->height : mask->height;
  Span cols = clip(w, {{mx, mask->width}, {mx, sw}, {dx, destination->width}});
  Span rows = clip(h, {{my, mask->height}, {my, sh}, {dy, destination->height}});
  if (cols.from >= cols.to || rows.from >= rows.to) return;
  Cursor m(mask);
  for (std::int64_t j = rows.from; j < rows.to; ++j) {
    m.moveTo(int(mx + cols.from), int(my + j));
    for (std::int64_t i = cols.from; i < cols.to; ++i)
      if (m.getNext()) act(int(i), int(j));
  }
}

vpool* outlinePool() {
  static vpool* pool = vpoolCreate(sizeof(vimgedOutline));
  return pool;
}

}  // namespace

void vimgedFlipImageHorizontal(vimage* image) {
  requireImage(image);
  Cursor c(image);
  for (int y = 0; y < image->height; ++y) {
    std::vector<std::uint32_t> row = readRow(c, y, image->width);
    std::reverse(row.begin(), row.end());
    writeRow(c, y, row);
  }
  vpixmapMarkChanged(image);
}

void vimgedFlipImageVertical(vimage* image) {
  requireImage(image);
  Cursor c(image);
  for (int y = 0; y < image->height / 2; ++y) {
    int other = image->height - 1 - y;
    std::vector<std::uint32_t> low = readRow(c, y, image->width), high = readRow(c, other, image->width);
    writeRow(c, y, high);
    writeRow(c, other, low);
  }
  vpixmapMarkChanged(image);
}

vimage* vimgedRotateImage(vimage* image) {
  requireImage(image);
  int w = image->width, h = image->height;
  Owned turned(createLike(image, h, w));
  {
    Cursor from(image), to(turned.image);
    for (int y = 0; y < h; ++y) {
      from.moveTo(0, y);
      for (int x = 0; x < w; ++x) to.setAt(h - 1 - y, x, from.getNext());
    }
  }
  return turned.release();
}

vimage* vimgedMaskFromValue(vimage* image, std::uint32_t value) {
  requireImage(image);
  Owned mask(createWhiteBlack(image->width, image->height));
  {
    Cursor from(image), to(mask.image);
    std::size_t n = std::size_t(image->width) * std::size_t(image->height);
    for (std::size_t i = 0; i < n; ++i) to.setNext(from.getNext() != value ? 1 : 0);
  }
  return mask.release();
}

void vimgedClearMaskWhereValue(vimage* image, vimage* mask, std::uint32_t value) {
  requireImage(image);
  requireImage(mask);
  int w = std::min(image->width, mask->width), h = std::min(image->height, mask->height);
  Cursor from(image), to(mask);
  for (int y = 0; y < h; ++y) {
    from.moveTo(0, y);
    to.moveTo(0, y);
    for (int x = 0; x < w; ++x) {
      if (from.getNext() == value)
        to.setNext(0);
      else
        vpixmapCursorNext(&to.c);
    }
  }
  vpixmapMarkChanged(mask);
}

void vimgedCopyThroughMask(vimage* source, vimage* destination, vimage* mask, int maskX, int maskY, int width,
                           int height, int destX, int destY) {
  requireImage(source);
  requireImage(destination);
  requireImage(mask);
  Cursor from(source), to(destination);
  throughMask(source, destination, mask, maskX, maskY, width, height, destX, destY, [&](int i, int j) {
    to.setAt(destX + i, destY + j, from.getAt(maskX + i, maskY + j));
  });
  vpixmapMarkChanged(destination);
}

void vimgedFillThroughMask(vimage* destination, vimage* mask, int maskX, int maskY, int width, int height,
                           int destX, int destY, std::uint32_t value) {
  requireImage(destination);
  Cursor to(destination);
  throughMask(nullptr, destination, mask, maskX, maskY, width, height, destX, destY,
              [&](int i, int j) { to.setAt(destX + i, destY + j, value); });
  vpixmapMarkChanged(destination);
}

int vimgedImagesEqual(vimage* a, vimage* b) {
  if (a == b) return 1;
  if (!a || !b || a->width != b->width || a->height != b->height || a->depth != b->depth) return 0;
  Cursor ca(a), cb(b);
  std::size_t n = std::size_t(a->width) * std::size_t(a->height);
  for (std::size_t i = 0; i < n; ++i)
    if (ca.getNext() != cb.getNext()) return 0;
  return 1;
}

vimgedOutline* vimgedMaskOutline(vimage* mask) {
  requireImage(mask);
  auto* outline = new (vpoolAlloc(outlinePool())) vimgedOutline();
  int w = mask->width, h = mask->height;
  vexGuard(
      [&] {
        Cursor c(mask);
        std::vector<std::uint8_t> below(std::size_t(w), 0), here = [&] {
          std::vector<std::uint8_t> r(static_cast<std::size_t>(w));
          c.moveTo(0, 0);
          for (auto& v : r) v = c.getNext() ? 1 : 0;
          return r;
        }();
        std::vector<std::uint8_t> above(std::size_t(w), 0);
        for (int y = 0; y < h; ++y) {
          if (y + 1 < h) {
            c.moveTo(0, y + 1);
            for (auto& v : above) v = c.getNext() ? 1 : 0;
          } else {
            std::fill(above.begin(), above.end(), 0);
          }
          vimgedOutlineRow row{std::uint32_t(y), {}};
          for (int x = 0; x < w; ++x) {
            if (!here[std::size_t(x)]) continue;
            std::uint16_t edges = 0;
            if (x == 0 || !here[std::size_t(x - 1)]) edges |= vimgedEDGE_LEFT;
            if (x == w - 1 || !here[std::size_t(x + 1)]) edges |= vimgedEDGE_RIGHT;
            if (!below[std::size_t(x)]) edges |= vimgedEDGE_BELOW;
            if (!above[std::size_t(x)]) edges |= vimgedEDGE_ABOVE;
            if (edges) {
              if (row.edges.empty()) row.edges.reserve(10);
              row.edges.push_back({std::uint16_t(x), edges});
            }
          }
          if (!row.edges.empty()) outline->rows.push_back(std::move(row));
          below.swap(here);
          here.swap(above);
        }
      },
      [&](vexHandler&) {
        vimgedFreeMaskOutline(outline);
        _vexGenerate(nullptr, vexEnd);
      });
  return outline;
}

void vimgedFreeMaskOutline(vimgedOutline* outline) {
  if (!outline) return;
  outline->~vimgedOutline();
  vpoolFree(outlinePool(), outline);
}
