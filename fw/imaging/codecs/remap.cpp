// Colours: the nearest palette entry, remapping an image to a palette (and
// growing the palette by the image's missing colours), dithering to two
// colours.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <unordered_map>
#include <vector>

#include "fw/core/ex.h"
#include "fw/imaging/codecs/pixops.h"
#include "fw/imaging/codecs/pixops_internal.h"

using namespace imgops;

namespace {

std::int32_t distanceOf(const Rgb& a, const Rgb& b) {
  return std::abs(int(a.r) - int(b.r)) + std::abs(int(a.g) - int(b.g)) + std::abs(int(a.b) - int(b.b));
}

// One colour of the image: the pixel values that show it (a palette
// entry, or every value past the palette), how many pixels use it, and
// where it goes.
struct Source {
  std::uint32_t value;  // the first value; past the palette: its count
  Rgb rgb;
  std::uint64_t uses = 0;
  int target = 0;
  std::int32_t distance = 0;
};

// The image's colours with their uses. Indexed images give one source per
// palette entry and a last one, black, for values past the palette; the
// others one per value that occurs, in the order met.
struct Census {
  std::vector<Source> sources;
  std::vector<std::uint32_t> pixelSource;  // per pixel, in cursor order
};

Census census(vimage* image) {
  ValueColors colors(image);
  Census c;
  std::size_t n = std::size_t(image->width) * std::size_t(image->height);
  c.pixelSource.resize(n);
  Cursor cur(image);
  if (colors.indexed()) {
    std::uint32_t count = vimageGetPalette(image)->count;
    for (std::uint32_t v = 0; v <= count; ++v) c.sources.push_back({v, colors(v)});
    for (std::size_t i = 0; i < n; ++i) {
      std::uint32_t v = std::min(cur.getNext(), count);
      c.pixelSource[i] = v;
      ++c.sources[v].uses;
    }
    return c;
  }
  std::unordered_map<std::uint32_t, std::uint32_t> seen;
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t v = cur.getNext();
    auto [at, fresh] = seen.try_emplace(v, std::uint32_t(c.sources.size()));
    if (fresh) c.sources.push_back({v, colors(v)});
    c.pixelSource[i] = at->second;
    ++c.sources[at->second].uses;
  }
  return c;
}

void findNearest(Census& c, const vcolorList* palette) {
  for (Source& s : c.sources) vimgedNearestColor(palette, s.rgb.r, s.rgb.g, s.rgb.b, &s.target, &s.distance);
}

// The image becomes an indexed image of the palette's entries with every
// pixel at its source's target.
void rewrite(vimage* image, const Census& c, const vcolorList* palette) {
  Owned mapped(vimageCreateSized(image->width, image->height, std::max<std::uint32_t>(1, palette->count)));
  {
    Cursor to(mapped.image);
    for (std::uint32_t s : c.pixelSource) to.setNext(std::uint32_t(c.sources[s].target));
  }
  if (image->flags & vimageNO_PALETTE) vimageSetNoPalette(image, 0);
  vimageSetPaletteOwned(image, vcolorListClone(palette));
  if (image->depth != mapped.image->depth) vpixmapSetDepth(mapped.image, image->depth);
  vpixmapCopyPixels(mapped.image, image);
  vpixmapMarkChanged(image);
}

}  // namespace

void vimgedNearestColor(const vcolorList* palette, unsigned red, unsigned green, unsigned blue, int* index,
                        std::int32_t* distance) {
  requireImage(palette);
  std::int32_t best = 2147483647;
  int at = 0;
  Rgb want{red, green, blue};
  for (std::uint32_t i = 0; i < palette->count && best != 0; ++i) {
    Rgb c;
    vcolorGetSpecRGB(&palette->entries[i], &c.r, &c.g, &c.b);
    std::int32_t d = distanceOf(want, c);
    if (d < best) {
      best = d;
      at = int(i);
    }
  }
  *index = at;
  *distance = best;
}

int vimgedRemapGrowPalette(vimage* image, vcolorList* palette, int bits) {
  requireImage(image);
  requireImage(palette);
  Census c = census(image);
  findNearest(c, palette);
  std::vector<std::uint32_t> order(c.sources.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return c.sources[a].uses > c.sources[b].uses; });
  std::int64_t room = (std::int64_t(1) << std::clamp(bits, 0, 32)) - std::int64_t(palette->count);
  std::uint32_t start = palette->count;
  int appended = 0;
  for (std::uint32_t k : order) {
    Source& s = c.sources[k];
    if (s.uses == 0) break;
    if (s.distance == 0) continue;
    // A colour appended already for another entry is taken, not added again.
    int same = -1;
    for (std::uint32_t i = start; i < palette->count && same < 0; ++i) {
      Rgb e;
      vcolorGetSpecRGB(&palette->entries[i], &e.r, &e.g, &e.b);
      if (distanceOf(e, s.rgb) == 0) same = int(i);
    }
    if (same >= 0) {
      s.target = same;
      s.distance = 0;
      continue;
    }
    if (appended >= room) continue;
    std::uint32_t at = palette->count;
    vcolorListSetCount(palette, at + 1);
    vcolorSetSpecRGB(&palette->entries[at], s.rgb.r, s.rgb.g, s.rgb.b);
    s.target = int(at);
    s.distance = 0;
    ++appended;
  }
  if (appended) vcolorListChanged(palette);
  rewrite(image, c, palette);
  return appended ? 1 : 0;
}

void vimgedRemapToPalette(vimage* image, const vcolorList* palette) {
  requireImage(image);
  requireImage(palette);
  Census c = census(image);
  findNearest(c, palette);
  rewrite(image, c, palette);
}

vimage* vimgedDitherToTwoColors(vimage* image) {
  requireImage(image);
  int w = image->width, h = image->height;
  ValueColors colors(image);
  Owned out(createWhiteBlack(w, h));
  struct Error {
    std::int32_t r, g, b;
  };
  std::vector<Error> here(std::size_t(w) + 2), next(std::size_t(w) + 2);
  auto spread = [](Error& to, const Error& e, int weight) {
    to.r += (e.r * weight) >> 4;
    to.g += (e.g * weight) >> 4;
    to.b += (e.b * weight) >> 4;
  };
  {
    Cursor from(image), to(out.image);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        Rgb c = colors(from.getNext());
        const Error& carried = here[std::size_t(x) + 1];
        std::int32_t r = std::clamp<std::int32_t>(std::int32_t(c.r) + carried.r, 0, 65535);
        std::int32_t g = std::clamp<std::int32_t>(std::int32_t(c.g) + carried.g, 0, 65535);
        std::int32_t b = std::clamp<std::int32_t>(std::int32_t(c.b) + carried.b, 0, 65535);
        bool dark = ((5 * b + 16 * g + 11 * r) & ~31) < 0xFFFE1;
        to.setNext(dark ? 1 : 0);
        std::int32_t level = dark ? 0 : 65535;
        Error e{r - level, g - level, b - level};
        spread(here[std::size_t(x) + 2], e, 7);
        spread(next[std::size_t(x)], e, 3);
        spread(next[std::size_t(x) + 1], e, 5);
        spread(next[std::size_t(x) + 2], e, 1);
      }
      here.swap(next);
      std::fill(next.begin(), next.end(), Error{0, 0, 0});
    }
  }
  return out.release();
}
