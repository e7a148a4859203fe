// The Windows colour layer: the mode, its level tables, colour-to-pixel and
// pixel-to-colour operations, ordered dithering and the device forms of
// colours.
#include "fw/gui/graphics/colormsw.h"

#include "fw/gui/graphics/colormsw_internal.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "fw/core/ex.h"
#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/mswgdi.h"

const std::uint8_t vcolorMSWDitherMatrix[8][8] = {
    {0, 48, 12, 60, 3, 51, 15, 63},  {32, 16, 44, 28, 35, 19, 47, 31}, {8, 56, 4, 52, 11, 59, 7, 55},
    {40, 24, 36, 20, 43, 27, 39, 23}, {2, 50, 14, 62, 1, 49, 13, 61},  {34, 18, 46, 30, 33, 17, 45, 29},
    {10, 58, 6, 54, 9, 57, 5, 53},   {42, 26, 38, 22, 41, 25, 37, 21},
};

namespace vcolormsw {
State st;
}  // namespace vcolormsw

using vcolormsw::st;

namespace {

constexpr win::COLORREF BLACK = 0x000000, WHITE = 0xFFFFFF;

bool prefOn(const char* name) { return vprefGetString(vprefGetDefaultDict(), vscribeLiteral(name)) != nullptr; }

double prefNumber(const char* name, double fallback) {
  const char* text = vprefGetString(vprefGetDefaultDict(), vscribeLiteral(name));
  if (!text) return fallback;
  char* end = nullptr;
  double v = std::strtod(text, &end);
  return end != text ? v : fallback;
}

unsigned hi(unsigned c) { return (c >> 8) & 0xFF; }
win::COLORREF packed(unsigned r, unsigned g, unsigned b) { return win::RGB(hi(r), hi(g), hi(b)); }


std::uint32_t luminance(unsigned r, unsigned g, unsigned b) {
  return static_cast<std::uint32_t>((0x4C8Bull * r + 0x9645ull * g + 0x1D2Full * b) >> 16);
}

// ---- Level tables.

// True colour: each channel's contribution is its nearest 8-bit level,
// shifted into place; the level is the pixel.
void buildTrueColor(int rowsWanted) {
  vcolorMSWLevels& t = st.levels;
  t.bits = vcolormsw::bitsFor(rowsWanted);
  std::uint32_t n = 1u << t.bits;
  std::uint32_t span = 65536u / n;
  t.rows.resize(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    std::uint32_t centre = i * span + span / 2;
    std::uint32_t v = std::min<std::uint32_t>(255, (centre + 128) / 257);
    t.rows[i] = {v, v << 8, v << 16};
  }
  t.toPixel.clear();
}

// ---- True colour.

win::COLORREF trueToPixel(unsigned r, unsigned g, unsigned b) { return packed(r, g, b); }
void trueToColor(win::COLORREF p, unsigned* r, unsigned* g, unsigned* b) {
  *r = win::GetRValue(p) * 257u;
  *g = win::GetGValue(p) * 257u;
  *b = win::GetBValue(p) * 257u;
}
int trueDither(const vcolorSpec*, vcolorMSWCell*) {
  _vexGenerate(&vexModuleUnimplementedClass, vexSetMessage, "unable to dither rgb values to trinary display",
               vexEnd);
}

// ---- Monochrome: black and white through the luminance levels.

win::COLORREF monoToPixel(unsigned r, unsigned g, unsigned b) { return vcolorMSWLevelPixel(vcolorMSWLevelOf(r, g, b)); }
void monoToColor(win::COLORREF p, unsigned* r, unsigned* g, unsigned* b) { *r = *g = *b = p == BLACK ? 0 : 65535; }

// The grey variant of ordered dithering, on the luminance.
int greyDither(const vcolorSpec* desc, vcolorMSWCell* cell) {
  unsigned r, g, b;
  vcolorGetSpecRGB(desc, &r, &g, &b);
  long wanted = luminance(r, g, b);
  const vcolorMSWLevels& t = st.levels;
  auto valueOf = [](win::COLORREF p) {
    unsigned pr, pg, pb;
    st.ops.toColor(p, &pr, &pg, &pb);
    return static_cast<long>(luminance(pr, pg, pb));
  };
  std::uint32_t level = vcolorMSWLevelOf(r, g, b);
  long levels = static_cast<long>(t.toPixel.size());
  win::COLORREF here = vcolorMSWLevelPixel(level);
  win::COLORREF lower = here, upper = here;
  if (valueOf(here) < wanted) {
    for (long l = level + 1; l < levels; ++l)
      if (t.toPixel[l] != here) {
        upper = t.toPixel[l];
        break;
      }
  } else {
    for (long l = static_cast<long>(level) - 1; l >= 0; --l)
      if (t.toPixel[l] != here) {
        lower = t.toPixel[l];
        break;
      }
  }
  long lowValue = valueOf(lower);
  long diff = wanted - lowValue, range = valueOf(upper) - lowValue;
  long diffs[3] = {diff, diff, diff}, ranges[3] = {range, range, range}, dotsUp[3];
  int side = vcolormsw::orderedSearch(desc, diffs, ranges, dotsUp);
  if (!side) return 0;
  int s = 8 / side;
  cell->side = side;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      cell->dots[y * side + x] = dotsUp[0] > vcolorMSWDitherMatrix[y * s][x * s] ? upper : lower;
  return 1;
}

}  // namespace

// Luminance: first parameter L rows, G levels.
void vcolormsw::buildLuminance(int rowsWanted, int levels) {
  vcolorMSWLevels& t = st.levels;
  t.bits = bitsFor(rowsWanted);
  std::uint32_t g = static_cast<std::uint32_t>(levels - 1);
  std::uint32_t wr = ((g * 0x4C8Bu) >> 16) + 1, wg = ((g * 0x9645u) >> 16) + 1, wb = g - wg - wr + 1;
  std::uint32_t n = 1u << t.bits;
  t.rows.resize(n);
  for (std::uint32_t i = 0; i < n; ++i) t.rows[i] = {i * wr / n, i * wg / n, i * wb / n};
}

int vcolormsw::bitsFor(int rows) {
  int k = 1;
  while ((1 << k) < rows) ++k;
  return k;
}

int vcolormsw::greyDitherOf(const vcolorSpec* desc, vcolorMSWCell* cell) { return greyDither(desc, cell); }

int vcolormsw::orderedSearch(const vcolorSpec* desc, const long diff[3], const long range[3], long t[3]) {
  unsigned maxDots = std::min<unsigned>(desc->record->maxDotDither, 64);
  for (int k = 0; k <= 6 && (1u << k) <= maxDots; k += 2) {
    long err[3];
    for (int c = 0; c < 3; ++c) {
      t[c] = range[c] ? ((diff[c] << k) + range[c] / 2) / range[c] : 0;
      err[c] = diff[c] - ((t[c] * range[c]) >> k);
    }
    if (_vcolorMSWWithinDeltas(desc, err[0], err[1], err[2])) return 1 << (k / 2);
  }
  return 0;
}

namespace {

// ---- Device forms.

void freeForm(vsyncRingEntry* e) {
  if (e->flags & 4) win::DeleteObject(reinterpret_cast<win::HGDIOBJ>(e->value));
  e->value = 0;
  e->flags &= static_cast<std::uint16_t>(~4);
}

// An 8 x 8 bitmap with the cell repeated at every multiple of its side.
win::HBITMAP patternOf(const vcolorMSWCell& cell) {
  win::HDC screen = vwindowMSWAcquireCachedDC(0);
  win::HDC memory = nullptr;
  win::HBITMAP bitmap = nullptr;
  vexGuard(
      [&] {
        bitmap = vwindowMSWCreateWithRecovery("BITMAP", 3, [&] { return win::CreateCompatibleBitmap(screen, 8, 8); });
        memory = vwindowMSWAcquireCachedDC(1);
        win::HGDIOBJ old = win::SelectObject(memory, bitmap);
        for (int y = 0; y < cell.side; ++y)
          for (int x = 0; x < cell.side; ++x) win::SetPixel(memory, x, y, cell.dots[y * cell.side + x]);
        for (int y = 0; y < 8; y += cell.side)
          for (int x = 0; x < 8; x += cell.side)
            if (x || y) win::BitBlt(memory, x, y, cell.side, cell.side, memory, 0, 0, win::SRCCOPY);
        win::SelectObject(memory, old);
      },
      [&](vexHandler&) {
        if (memory) vwindowMSWReleaseCachedDC(memory);
        if (bitmap) win::DeleteObject(bitmap);
        vwindowMSWReleaseCachedDC(screen);
        _vexGenerate(nullptr, vexEnd);
      });
  vwindowMSWReleaseCachedDC(memory);
  vwindowMSWReleaseCachedDC(screen);
  return bitmap;
}

// The known colour nearest to (r, g, b) (8-bit): the adjusted static
// colours when there are any, else the palette's entries; -1 for none.
int nearestKnown(unsigned r, unsigned g, unsigned b, long* distance) {
  const std::vector<win::PALETTEENTRY>& known = st.adjusted.empty() ? st.entries : st.adjusted;
  int best = -1;
  for (std::size_t i = 0; i < known.size(); ++i) {
    const win::PALETTEENTRY& k = known[i];
    long dr = long(k.peRed) - long(r), dg = long(k.peGreen) - long(g), db = long(k.peBlue) - long(b);
    long d = dr * dr + dg * dg + db * db;
    if (best < 0 || d < *distance) {
      best = static_cast<int>(i);
      *distance = d;
      if (d == 0) break;
    }
  }
  return best;
}

void computeForm(vcolor* color, vsyncRingEntry* e) {
  unsigned r, g, b;
  vcolorGetSpecRGB(&color->desc, &r, &g, &b);
  e->value = static_cast<std::intptr_t>(packed(r, g, b));
  if (st.mode == vcolorMSW_TRUE_COLOR) return;
  long distance = 0;
  int known = nearestKnown(hi(r), hi(g), hi(b), &distance);
  if (known >= 0 && distance == 0) {
    if (st.paletteDevice) e->value = static_cast<std::intptr_t>(0x01000000u | static_cast<unsigned>(known));
    return;
  }
  // Without a palette to add to, the device's own nearest colour is taken.
  if (!st.complement || color->desc.record->maxDotDither == 0) return;
  vcolorMSWCell cell;
  if (!st.ops.dither(&color->desc, &cell)) {
    int exact = vcolormsw::exactEntry(hi(r), hi(g), hi(b));
    if (exact < 0) return;
    cell.side = 1;
    cell.dots[0] = 0x01000000u | static_cast<unsigned>(exact);
  }
  if (cell.side < 2) {
    e->value = static_cast<std::intptr_t>(cell.dots[0]);
    return;
  }
  e->value = reinterpret_cast<std::intptr_t>(patternOf(cell));
  e->flags |= 4;
}

void freeObject(vsyncRingEntry* e) {
  if (e->value) win::DeleteObject(reinterpret_cast<win::HGDIOBJ>(e->value));
  e->value = 0;
}

}  // namespace

const vsyncRingKind vcolorMSWPixelKind{nullptr, freeForm, nullptr, nullptr};
const vsyncRingKind vcolorMSWPenKind{nullptr, freeObject, nullptr, nullptr};
const vsyncRingKind vcolorMSWBrushKind{nullptr, freeObject, nullptr, nullptr};

void _vcolorMSWStartup() {
  if (st.started) return;
  const vwindowMSWDisplay* d = vwindowMSWGetDisplay();
  st.started = true;
  st.paletteDevice = (d->rasterCaps & win::RC_PALETTE) != 0;
  st.depth = d->depth;
  st.colors = d->colors;
  st.size = st.paletteDevice ? d->paletteSize : d->colors;
  st.reserved = st.paletteDevice ? d->reserved : d->colors;
  st.standardMax = prefNumber("standardcolormax", 0.5);
  st.reserve = static_cast<int>(prefNumber("reservedmswcolors", 0));
  st.greedy = prefOn("greedymswpalette");
  st.noComplement = prefOn("nocomplementcolors");
  st.monochromePref = prefOn("monochrome");
  bool trueColor = !st.paletteDevice && st.depth >= 9;
  st.complement = st.paletteDevice && !trueColor && st.reserved + st.reserve < st.size && !st.noComplement;
  if (!st.complement) st.reserve = st.size - st.reserved;
  st.generation = static_cast<std::uint16_t>((st.generation + 1) & 0xFF);
  // A display without a palette and with few bits: its colours tell
  // whether it is grey.
  std::vector<win::PALETTEENTRY> deviceColors;
  bool grey = false;
  if (!st.paletteDevice && !trueColor) {
    deviceColors.resize(static_cast<std::size_t>(std::max(st.colors, 0)));
    win::HDC screen = vwindowMSWAcquireCachedDC(0);
    win::UINT got = deviceColors.empty() ? 0
                                         : vcolormsw::paletteCalls.getSystemPaletteEntries(
                                               screen, 0, static_cast<win::UINT>(deviceColors.size()), deviceColors.data());
    vwindowMSWReleaseCachedDC(screen);
    deviceColors.resize(got);
    grey = !deviceColors.empty() && std::all_of(deviceColors.begin(), deviceColors.end(), [](const win::PALETTEENTRY& e) {
      return e.peRed == e.peGreen && e.peGreen == e.peBlue;
    });
  }
  if (!st.monochromePref && grey && st.colors < 3) st.monochromePref = true;
  if (st.monochromePref) {
    st.mode = vcolorMSW_MONOCHROME;
  } else if (trueColor) {
    st.mode = vcolorMSW_TRUE_COLOR;
  } else {
    st.mode = grey ? vcolorMSW_GREY : vcolorMSW_PALETTE;
  }
  if (st.paletteDevice) {
    vexGuard(vcolormsw::startPalette, [](vexHandler&) {
      st.started = false;
      _vexGenerate(nullptr, vexEnd);
    });
  }
  if (st.mode == vcolorMSW_GREY) {
    vcolormsw::startGrey(deviceColors);
  } else if (st.mode == vcolorMSW_PALETTE && !st.paletteDevice) {
    // A colour display without a palette: its own colours are the entries.
    st.entries = deviceColors;
    std::vector<std::array<std::uint16_t, 3>> usable;
    for (std::size_t i = 0; i < deviceColors.size(); ++i) {
      const win::PALETTEENTRY& e = deviceColors[i];
      usable.push_back({std::uint16_t(e.peRed * 257), std::uint16_t(e.peGreen * 257), std::uint16_t(e.peBlue * 257)});
      st.lookupIndex.push_back(static_cast<int>(i));
    }
    st.lookup.build(usable);
    vcolormsw::startPaletteLevels();
  }
  if (st.mode == vcolorMSW_MONOCHROME) {
    st.ops = {monoToPixel, monoToColor, greyDither};
    vcolormsw::buildLuminance(12, 64);
    st.levels.toPixel.assign(64, BLACK);
    std::fill(st.levels.toPixel.begin() + 32, st.levels.toPixel.end(), WHITE);
  } else if (st.mode == vcolorMSW_TRUE_COLOR) {
    st.ops = {trueToPixel, trueToColor, trueDither};
    buildTrueColor(1536);
  }
  static bool exitRegistered = false;
  if (!exitRegistered) vmoduleAddExitProc(_vcolorMSWShutdown);
  exitRegistered = true;
}

void _vcolorMSWShutdown() {
  vcolormsw::freePalette();
  st.levels = {};
  st.lookup = {};
  st.monochromePref = false;
  st.started = false;
}

vcolorMSWMode vcolorMSWGetMode() {
  _vcolorMSWStartup();
  return st.mode;
}

const vcolorMSWLevels& vcolorMSWGetLevels() {
  _vcolorMSWStartup();
  return st.levels;
}

std::uint32_t vcolorMSWLevelOf(unsigned red, unsigned green, unsigned blue) {
  const vcolorMSWLevels& t = st.levels;
  int shift = 16 - t.bits;
  return t.rows[(red & 0xFFFF) >> shift][0] + t.rows[(green & 0xFFFF) >> shift][1] + t.rows[(blue & 0xFFFF) >> shift][2];
}

win::COLORREF vcolorMSWLevelPixel(std::uint32_t level) {
  const std::vector<win::COLORREF>& p = st.levels.toPixel;
  if (p.empty()) return level;
  return p[std::min<std::size_t>(level, p.size() - 1)];
}

win::COLORREF vcolorMSWColorToPixel(unsigned red, unsigned green, unsigned blue) {
  _vcolorMSWStartup();
  return st.ops.toPixel(red, green, blue);
}

void vcolorMSWPixelToColor(win::COLORREF pixel, unsigned* red, unsigned* green, unsigned* blue) {
  _vcolorMSWStartup();
  st.ops.toColor(pixel, red, green, blue);
}

int _vcolorMSWDither(const vcolorSpec* desc, vcolorMSWCell* cell) {
  _vcolorMSWStartup();
  return st.ops.dither(desc, cell);
}

int _vcolorMSWWithinDeltas(const vcolorSpec* desc, long er, long eg, long eb) {
  const vcolorSpecRecord& r = *desc->record;
  switch (r.kind & vcolorDELTA_TYPE_MASK) {
    case vcolorRGB_CODE:
      return std::labs(er) <= r.delta[0] && std::labs(eg) <= r.delta[1] && std::labs(eb) <= r.delta[2];
    case vcolorRGB_CODE | vcolorSINGLE_DELTA: {
      long d = r.delta[0] >> 2;
      long a = er >> 2, b = eg >> 2, c = eb >> 2;
      return a * a + b * b + c * c <= d * d;
    }
    default: {
      vcolorSpec rgb;
      vcolorInitSpec(&rgb);
      vcolorConvertSpec(desc, &rgb, &vcolorRGBModel);
      int within = _vcolorMSWWithinDeltas(&rgb, er, eg, eb);
      vcolorDestroySpec(&rgb);
      return within;
    }
  }
}

vcolorMSWDeviceForm vcolorMSWGetDeviceForm(vcolor* color) {
  _vcolorMSWStartup();
  vsyncRingEntry* e = vcolorGetRepresentation(color, &vcolorMSWPixelKind);
  if (!vcolormsw::isCurrent(e)) {
    freeForm(e);
    computeForm(color, e);
    vcolormsw::markCurrent(e);
  }
  if (e->flags & 4) return {0, reinterpret_cast<win::HBITMAP>(e->value)};
  return {static_cast<win::COLORREF>(e->value), nullptr};
}

int vcolorMSWIsPaletteStable(vcolor* color) {
  _vcolorMSWStartup();
  if (!st.palette) return 1;
  // A colour shown by a static entry stays; one of the free entries may move.
  vcolorMSWDeviceForm f = vcolorMSWGetDeviceForm(color);
  if (f.pattern || !(f.pixel & 0x01000000u)) return 0;
  int i = static_cast<int>(f.pixel & 0xFFFF);
  return i < st.half || i >= st.size - st.half;
}

void vcolorSetXorAllocator(vcolorXorAllocator allocate) { st.xorAllocator = allocate; }
vcolorXorAllocator _vcolorMSWGetXorAllocator() { return st.xorAllocator; }
