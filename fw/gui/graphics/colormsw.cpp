// The Windows colour layer: the mode, its level tables, colour-to-pixel and
// pixel-to-colour operations, ordered dithering and the device forms of
// colours.
#include "fw/gui/graphics/colormsw.h"

#include <algorithm>
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

namespace {

constexpr win::COLORREF BLACK = 0x000000, WHITE = 0xFFFFFF;

struct Ops {
  win::COLORREF (*toPixel)(unsigned r, unsigned g, unsigned b);
  void (*toColor)(win::COLORREF pixel, unsigned* r, unsigned* g, unsigned* b);
  int (*dither)(const vcolorSpec* desc, vcolorMSWCell* cell);
};

struct State {
  bool started = false;
  bool paletteDevice = false;
  int depth = 0, size = 0, reserved = 0, colors = 0;
  double standardMax = 0.5;
  int reserve = 0;
  bool greedy = false, noComplement = false, monochromePref = false;
  bool complement = false;  // exact colours may be added to the palette
  vcolorMSWMode mode = vcolorMSW_TRUE_COLOR;
  Ops ops{};
  vcolorMSWLevels levels;
  vcolorXorAllocator xorAllocator = nullptr;
} st;

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

int bitsFor(int rows) {
  int k = 1;
  while ((1 << k) < rows) ++k;
  return k;
}

std::uint32_t luminance(unsigned r, unsigned g, unsigned b) {
  return static_cast<std::uint32_t>((0x4C8Bull * r + 0x9645ull * g + 0x1D2Full * b) >> 16);
}

// ---- Level tables.

// Luminance: first parameter L rows, G levels.
void buildLuminance(int rowsWanted, int levels) {
  vcolorMSWLevels& t = st.levels;
  t.bits = bitsFor(rowsWanted);
  std::uint32_t g = static_cast<std::uint32_t>(levels - 1);
  std::uint32_t wr = ((g * 0x4C8Bu) >> 16) + 1, wg = ((g * 0x9645u) >> 16) + 1, wb = g - wg - wr + 1;
  std::uint32_t n = 1u << t.bits;
  t.rows.resize(n);
  for (std::uint32_t i = 0; i < n; ++i) t.rows[i] = {i * wr / n, i * wg / n, i * wb / n};
}

// True colour: each channel's contribution is its nearest 8-bit level,
// shifted into place; the level is the pixel.
void buildTrueColor(int rowsWanted) {
  vcolorMSWLevels& t = st.levels;
  t.bits = bitsFor(rowsWanted);
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
  unsigned maxDots = std::min<unsigned>(desc->record->maxDotDither, 64);
  int k = 0;
  long dotsUp = 0;
  bool ok = false;
  for (int tryK = 0; tryK <= 6 && (1u << tryK) <= maxDots; tryK += 2) {
    k = tryK;
    dotsUp = range ? ((diff << k) + range / 2) / range : 0;
    long err = diff - ((dotsUp * range) >> k);
    if (_vcolorMSWWithinDeltas(desc, err, err, err)) {
      ok = true;
      break;
    }
  }
  if (!ok) return 0;
  int side = 1 << (k / 2), s = 8 / side;
  cell->side = side;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      cell->dots[y * side + x] = dotsUp > vcolorMSWDitherMatrix[y * s][x * s] ? upper : lower;
  return 1;
}

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

void computeForm(vcolor* color, vsyncRingEntry* e) {
  unsigned r, g, b;
  vcolorGetSpecRGB(&color->desc, &r, &g, &b);
  e->value = static_cast<std::intptr_t>(packed(r, g, b));
  // True colour shows every colour; without a palette to add to, the
  // device's own nearest colour is taken.
  if (st.mode == vcolorMSW_TRUE_COLOR || !st.complement || color->desc.record->maxDotDither == 0) return;
  vcolorMSWCell cell;
  if (!st.ops.dither(&color->desc, &cell)) return;
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
  if (st.monochromePref) {
    st.mode = vcolorMSW_MONOCHROME;
  } else if (trueColor) {
    st.mode = vcolorMSW_TRUE_COLOR;
  } else {
    // Palette and grey displays are never reported by this platform.
    st.started = false;
    _vexGenerate(&vexModuleUnimplementedClass, vexSetMessage, "palette and grey displays are not supported",
                 vexSetProcedure, "_vcolorMSWStartup", vexEnd);
  }
  if (st.mode == vcolorMSW_MONOCHROME) {
    st.ops = {monoToPixel, monoToColor, greyDither};
    buildLuminance(12, 64);
    st.levels.toPixel.assign(64, BLACK);
    std::fill(st.levels.toPixel.begin() + 32, st.levels.toPixel.end(), WHITE);
  } else {
    st.ops = {trueToPixel, trueToColor, trueDither};
    buildTrueColor(1536);
  }
  static bool exitRegistered = false;
  if (!exitRegistered) vmoduleAddExitProc(_vcolorMSWShutdown);
  exitRegistered = true;
}

void _vcolorMSWShutdown() {
  st.levels = {};
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
  if (!vsyncRingIsCurrent(e)) {
    freeForm(e);
    computeForm(color, e);
    e->flags |= vsyncRingUP_TO_DATE;
  }
  if (e->flags & 4) return {0, reinterpret_cast<win::HBITMAP>(e->value)};
  return {static_cast<win::COLORREF>(e->value), nullptr};
}

int vcolorMSWIsPaletteStable(vcolor*) {
  _vcolorMSWStartup();
  // No palette is in use in these modes.
  return 1;
}

void vcolorSetXorAllocator(vcolorXorAllocator allocate) { st.xorAllocator = allocate; }
vcolorXorAllocator _vcolorMSWGetXorAllocator() { return st.xorAllocator; }
