// The palette and grey modes of the colour layer: the logical palette with
// its static colours, cube and free ranges, exact colours and realizing,
// the cube's level tables and the per-channel ordered dithering, and the
// grey levels.
#include <algorithm>

#include "fw/core/event.h"
#include "fw/core/ex.h"
#include "fw/gui/graphics/colormsw_internal.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/mswgdi.h"

namespace vcolormsw {

PaletteCalls paletteCalls{win::GetSystemPaletteEntries, win::GetNearestColor, win::SetPaletteEntries};

namespace {

constexpr win::BYTE PC_EXPLICIT = 2, PC_NOCOLLAPSE = 4;
constexpr win::COLORREF RELATIVE = 0x01000000;

[[noreturn]] void raiseReturn(const char* message) {
  _vexGenerate(&vexReturnNullClass, vexSetMessage, message, vexEnd);
}

win::HPALETTE makePalette(const std::vector<win::PALETTEENTRY>& entries, const char* name) {
  std::vector<std::uint8_t> block(sizeof(win::LOGPALETTE) + sizeof(win::PALETTEENTRY) * entries.size());
  auto* lp = reinterpret_cast<win::LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<win::WORD>(entries.size());
  std::copy(entries.begin(), entries.end(), lp->palPalEntry);
  return vwindowMSWCreateWithRecovery(name, 3, [&] { return win::CreatePalette(lp); });
}


void postRealize();
[[noreturn]] void raiseReturn(const char* message);

// ---- Palette mode operations.

win::COLORREF paletteToPixel(unsigned r, unsigned g, unsigned b) {
  int i = st.lookup.nearest(r, g, b);
  return RELATIVE | static_cast<win::COLORREF>(i < 0 ? 0 : st.lookupIndex[static_cast<std::size_t>(i)]);
}

void paletteToColor(win::COLORREF pixel, unsigned* r, unsigned* g, unsigned* b) {
  std::size_t i = pixel & 0xFFFF;
  const win::PALETTEENTRY e = i < st.entries.size() ? st.entries[i] : win::PALETTEENTRY{0, 0, 0, 0};
  *r = e.peRed * 257u;
  *g = e.peGreen * 257u;
  *b = e.peBlue * 257u;
}

// The cube's channel tables: each component to the nearest of the n cube
// levels, contributing n^2, n or 1 steps; level-to-pixel after the lower
// static half.
void buildCubeLevels(int n) {
  vcolorMSWLevels& t = st.levels;
  t.bits = bitsFor(6 * n);
  std::uint32_t rows = 1u << t.bits, span = 65536u / rows;
  t.rows.resize(rows);
  for (std::uint32_t i = 0; i < rows; ++i) {
    std::uint32_t centre = i * span + span / 2;
    std::uint32_t best = 0;
    for (std::uint32_t k = 1; k < static_cast<std::uint32_t>(n); ++k) {
      long here = static_cast<long>(k * 255 / (n - 1) * 257) - centre;
      long then = static_cast<long>(best * 255 / (n - 1) * 257) - centre;
      if (std::labs(here) < std::labs(then)) best = k;
    }
    std::uint32_t nn = static_cast<std::uint32_t>(n);
    t.rows[i] = {best * nn * nn, best * nn, best};
  }
  t.toPixel.resize(static_cast<std::size_t>(n) * n * n);
  for (std::size_t l = 0; l < t.toPixel.size(); ++l) t.toPixel[l] = RELATIVE | static_cast<win::COLORREF>(st.half + l);
}

// Cube index tables for a palette without a cube: a grid of n = 2m cells a
// side, each cell's pixel the nearest device colour of its centre.
void buildCubeIndexLevels(int m) {
  vcolorMSWLevels& t = st.levels;
  int n = 2 * m;
  t.bits = bitsFor(6 * m);
  std::uint32_t rows = 1u << t.bits, nn = static_cast<std::uint32_t>(n);
  t.rows.resize(rows);
  for (std::uint32_t i = 0; i < rows; ++i) {
    std::uint32_t q = i * nn / rows;
    t.rows[i] = {q * nn * nn, q * nn, q};
  }
  t.toPixel.resize(static_cast<std::size_t>(n) * n * n);
  auto centre = [&](int j) { return static_cast<unsigned>(j * 65535 / n + (65535 / n) / 2); };
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b) t.toPixel[static_cast<std::size_t>((r * n + g) * n + b)] = paletteToPixel(centre(r), centre(g), centre(b));
}

// The colour variant of ordered dithering, each channel between two cube levels.
int cubeDither(const vcolorSpec* desc, vcolorMSWCell* cell) {
  if (st.cubeSide < 2) return 0;
  int n = st.cubeSide;
  unsigned comp[3];
  vcolorGetSpecRGB(desc, &comp[0], &comp[1], &comp[2]);
  long lower[3], upper[3], diff[3], range[3];
  int lowK[3], upK[3];
  const vcolorMSWLevels& t = st.levels;
  int shift = 16 - t.bits;
  std::uint32_t steps[3] = {static_cast<std::uint32_t>(n * n), static_cast<std::uint32_t>(n), 1};
  for (int c = 0; c < 3; ++c) {
    int k = static_cast<int>(t.rows[comp[c] >> shift][c] / steps[c]);
    long value = static_cast<long>(k * 255 / (n - 1)) * 257;
    if (value < static_cast<long>(comp[c])) {
      lowK[c] = k;
      upK[c] = std::min(k + 1, n - 1);
    } else {
      upK[c] = k;
      lowK[c] = std::max(k - 1, 0);
    }
    lower[c] = static_cast<long>(lowK[c] * 255 / (n - 1)) * 257;
    upper[c] = static_cast<long>(upK[c] * 255 / (n - 1)) * 257;
    diff[c] = static_cast<long>(comp[c]) - lower[c];
    range[c] = upper[c] - lower[c];
  }
  long t3[3];
  int side = orderedSearch(desc, diff, range, t3);
  if (!side) return 0;
  int s = 8 / side;
  cell->side = side;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      std::uint32_t level = 0;
      for (int c = 0; c < 3; ++c)
        level += static_cast<std::uint32_t>(t3[c] > vcolorMSWDitherMatrix[y * s][x * s] ? upK[c] : lowK[c]) * steps[c];
      cell->dots[y * side + x] = vcolorMSWLevelPixel(level);
    }
  return 1;
}

// Without a cube: cells of side 1, 2, 4 and 8 filled by diffusing the flat
// colour over the cube index tables; the first whose mean dot colour lies
// within the deltas is taken.
int noCubeDither(const vcolorSpec* desc, vcolorMSWCell* cell) {
  unsigned comp[3];
  vcolorGetSpecRGB(desc, &comp[0], &comp[1], &comp[2]);
  unsigned maxDots = std::min<unsigned>(desc->record->maxDotDither, 64);
  for (int side = 1; side <= 8 && static_cast<unsigned>(side * side) <= maxDots; side *= 2) {
    std::vector<std::array<long, 3>> here(static_cast<std::size_t>(side) + 2), below(here.size());
    long sum[3] = {0, 0, 0};
    for (int y = 0; y < side; ++y) {
      std::fill(below.begin(), below.end(), std::array<long, 3>{0, 0, 0});
      long carry[3] = {0, 0, 0};
      for (int x = 0; x < side; ++x) {
        unsigned want[3];
        for (int c = 0; c < 3; ++c)
          want[c] = static_cast<unsigned>(std::clamp<long>(comp[c] + ((here[x + 1][c] + carry[c]) >> 4), 0, 65535));
        win::COLORREF pixel = vcolorMSWLevelPixel(vcolorMSWLevelOf(want[0], want[1], want[2]));
        unsigned dev[3];
        paletteToColor(pixel, &dev[0], &dev[1], &dev[2]);
        cell->dots[y * side + x] = pixel;
        for (int c = 0; c < 3; ++c) {
          long e = static_cast<long>(want[c]) - static_cast<long>(dev[c]);
          sum[c] += dev[c];
          carry[c] = 7 * e;
          below[x][c] += 3 * e;
          below[x + 1][c] += 5 * e;
          below[x + 2][c] += e;
        }
      }
      here.swap(below);
    }
    long dots = static_cast<long>(side) * side;
    if (_vcolorMSWWithinDeltas(desc, static_cast<long>(comp[0]) - sum[0] / dots, static_cast<long>(comp[1]) - sum[1] / dots,
                               static_cast<long>(comp[2]) - sum[2] / dots)) {
      cell->side = side;
      return 1;
    }
  }
  return 0;
}

// Gives an exclusive-or table its own block of palette entries: rows of w
// (a power of two not below the columns) entries starting at a multiple of
// w, so that the indexes of a row differ from another's only in high bits.
int prepareXor(vcolor** table, int rows, int columns) {
  if (!st.complement || !st.palette) return 0;
  int w = 1;
  while (w < columns) w *= 2;
  int count = rows * w;
  int start = st.ranges.allocate(count, w);
  if (start < 0) return 0;
  std::vector<win::PALETTEENTRY> block(static_cast<std::size_t>(count), win::PALETTEENTRY{0, 0, 0, PC_NOCOLLAPSE});
  int size = static_cast<int>(st.entries.size());
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      vcolor* color = table[r * columns + c];
      unsigned red, green, blue;
      vcolorGetSpecRGB(&color->desc, &red, &green, &blue);
      win::PALETTEENTRY e{static_cast<win::BYTE>(red >> 8), static_cast<win::BYTE>(green >> 8),
                          static_cast<win::BYTE>(blue >> 8), PC_NOCOLLAPSE};
      int s = vcolorMSWNearestStatic(st.entries, st.half, e.peRed, e.peGreen, e.peBlue);
      const win::PALETTEENTRY& k = st.entries[static_cast<std::size_t>(s)];
      if (s >= size - st.half && k.peRed == e.peRed && k.peGreen == e.peGreen && k.peBlue == e.peBlue) {
        e.peRed ^= 1;
        e.peGreen ^= 1;
        e.peBlue ^= 1;
      }
      block[static_cast<std::size_t>(r * w + c)] = e;
    }
  if (paletteCalls.setPaletteEntries(st.palette, static_cast<win::UINT>(start), static_cast<win::UINT>(count), block.data()) !=
      static_cast<win::UINT>(count)) {
    st.ranges.release(start, count);
    raiseReturn("SetPaletteEntries failed");
  }
  std::copy(block.begin(), block.end(), st.entries.begin() + start);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      vsyncRingEntry* form = vcolorGetRepresentation(table[r * columns + c], &vcolorMSWPixelKind);
      if (form->kind->free) form->kind->free(form);
      form->value = static_cast<std::intptr_t>(RELATIVE | static_cast<win::COLORREF>(start + r * w + c));
      markCurrent(form);
    }
  postRealize();
  return 1;
}

// The posted realize: the palette into the main window's context.
int realizeHandler(vevent*) {
  st.realizePosted = false;
  // The new entries are written: every colour form is remade on its next
  // use (the static ones come out as before), and so are pens and brushes.
  st.generation = static_cast<std::uint16_t>((st.generation + 1) & 0xFF);
  win::HWND main = vwindowMSWGetDisplay()->mainWindow;
  if (!st.palette || !main) return 1;
  win::HDC dc = win::GetDC(main);
  if (!dc) return 1;
  win::HPALETTE old = win::SelectPalette(dc, st.palette, 0);
  win::RealizePalette(dc);
  win::SelectPalette(dc, old, 0);
  win::RealizePalette(dc);
  win::ReleaseDC(main, dc);
  return 1;
}

void postRealize() {
  st.realizePending = true;
  if (st.realizePosted) return;
  vevent* e = veventCreateClient(realizeHandler, nullptr);
  e->priority = 63;
  veventPost(e);
  st.realizePosted = true;
}

// ---- Grey mode.

win::COLORREF greyToPixel(unsigned r, unsigned g, unsigned b) { return vcolorMSWLevelPixel(vcolorMSWLevelOf(r, g, b)); }
void greyToColor(win::COLORREF p, unsigned* r, unsigned* g, unsigned* b) {
  *r = win::GetRValue(p) * 257u;
  *g = win::GetGValue(p) * 257u;
  *b = win::GetBValue(p) * 257u;
}

}  // namespace

void startPalette() {
  win::HDC screen = vwindowMSWAcquireCachedDC(0);
  vexGuard(
      [&] {
        int size = st.size;
        st.half = st.reserved / 2;
        st.entries.assign(static_cast<std::size_t>(size), win::PALETTEENTRY{0, 0, 0, PC_NOCOLLAPSE});
        // An all-black palette realized clears the system palette's free entries.
        win::HPALETTE black = makePalette(st.entries, "BLACK_PALETTE");
        win::HPALETTE old = win::SelectPalette(screen, black, 0);
        win::RealizePalette(screen);
        win::SelectPalette(screen, old, 0);
        win::DeleteObject(black);
        if (!st.greedy)
          for (int i = 0; i < size; ++i) st.entries[i] = {static_cast<win::BYTE>(i), 0, 0, PC_EXPLICIT};
        int half = st.half;
        if (paletteCalls.getSystemPaletteEntries(screen, 0, half, st.entries.data()) < static_cast<win::UINT>(half) ||
            paletteCalls.getSystemPaletteEntries(screen, size - half, half, st.entries.data() + size - half) <
                static_cast<win::UINT>(half))
          raiseReturn("GetSystemPaletteEntries failed");
        // Static colours that the device shows otherwise.
        std::vector<win::PALETTEENTRY> adjusted(st.entries);
        bool differs = false;
        for (int i = 0; i < size; ++i) {
          if (i >= half && i < size - half) continue;
          win::PALETTEENTRY& e = adjusted[i];
          bool probe = (e.peRed == 0xBF || e.peGreen == 0xBF || e.peBlue == 0xBF) && e.peRed < 0xC0 && e.peGreen < 0xC0 &&
                       e.peBlue < 0xC0;
          if (!probe) continue;
          win::COLORREF answer = paletteCalls.getNearestColor(screen, win::RGB(e.peRed, e.peGreen, e.peBlue));
          if (answer != win::RGB(e.peRed, e.peGreen, e.peBlue)) {
            e = {win::GetRValue(answer), win::GetGValue(answer), win::GetBValue(answer), e.peFlags};
            differs = true;
          }
        }
        st.adjusted = differs ? adjusted : std::vector<win::PALETTEENTRY>{};
        st.cubeSide = vcolorMSWCubeSide(size, st.reserved, st.reserve, st.standardMax);
        if (st.cubeSide) vcolorMSWFillCube(st.entries, half, st.cubeSide);
        int cube = st.cubeSide * st.cubeSide * st.cubeSide;
        st.palette = makePalette(st.entries, "PALETTE");
        st.ranges.reset(cube + half, size - cube - st.reserved - st.reserve);
        // The usable colours: the static ones and the cube.
        std::vector<std::array<std::uint16_t, 3>> usable;
        st.lookupIndex.clear();
        for (int i = 0; i < size; ++i) {
          if (i >= half + cube && i < size - half) continue;
          const win::PALETTEENTRY& e = st.entries[i];
          usable.push_back({static_cast<std::uint16_t>(e.peRed * 257), static_cast<std::uint16_t>(e.peGreen * 257),
                            static_cast<std::uint16_t>(e.peBlue * 257)});
          st.lookupIndex.push_back(i);
        }
        st.lookup.build(usable);
      },
      [&](vexHandler&) {
        vwindowMSWReleaseCachedDC(screen);
        freePalette();
        _vexGenerate(nullptr, vexEnd);
      });
  vwindowMSWReleaseCachedDC(screen);
  _vwindowMSWGetGdiSetup()->palette = st.palette;
  if (st.complement) vcolorSetXorAllocator(prepareXor);
  startPaletteLevels();
}

void startPaletteLevels() {
  if (st.cubeSide >= 2) {
    st.ops = {paletteToPixel, paletteToColor, cubeDither};
    buildCubeLevels(st.cubeSide);
  } else {
    int m = 1;
    while (m * m * m < st.size) ++m;
    st.ops = {paletteToPixel, paletteToColor, noCubeDither};
    buildCubeIndexLevels(m);
  }
}

void startGrey(const std::vector<win::PALETTEENTRY>& deviceColors) {
  st.greys.clear();
  for (const win::PALETTEENTRY& e : deviceColors) st.greys.push_back(win::RGB(e.peRed, e.peGreen, e.peBlue));
  std::sort(st.greys.begin(), st.greys.end(), [](win::COLORREF a, win::COLORREF b) { return (a & 0xFF) < (b & 0xFF); });
  int levels = 6 * st.size;
  buildLuminance(levels, levels);
  vcolorMSWLevels& t = st.levels;
  t.toPixel.resize(static_cast<std::size_t>(levels));
  for (int j = 0; j < levels; ++j) {
    long wanted = static_cast<long>(j) * 65535 / levels + (65535 / levels) / 2;
    // The nearest grey by binary search over the sorted values.
    auto it = std::lower_bound(st.greys.begin(), st.greys.end(), wanted,
                               [](win::COLORREF c, long v) { return static_cast<long>(c & 0xFF) * 257 < v; });
    if (it == st.greys.end()) --it;
    if (it != st.greys.begin() &&
        std::labs(static_cast<long>(*(it - 1) & 0xFF) * 257 - wanted) <= std::labs(static_cast<long>(*it & 0xFF) * 257 - wanted))
      --it;
    t.toPixel[static_cast<std::size_t>(j)] = st.greys.empty() ? 0 : *it;
  }
  st.ops = {greyToPixel, greyToColor, greyDitherOf};
}

void freePalette() {
  if (st.xorAllocator == prepareXor) st.xorAllocator = nullptr;
  if (st.palette) {
    if (_vwindowMSWGetGdiSetup()->palette == st.palette) _vwindowMSWGetGdiSetup()->palette = nullptr;
    win::DeleteObject(st.palette);
  }
  st.palette = nullptr;
  st.entries.clear();
  st.adjusted.clear();
  st.lookupIndex.clear();
  st.greys.clear();
  st.cubeSide = st.half = 0;
  st.realizePending = false;
}

int exactEntry(unsigned r8, unsigned g8, unsigned b8) {
  if (!st.complement || !st.palette) return -1;
  int at = st.ranges.allocate(1);
  if (at < 0) return -1;
  win::PALETTEENTRY e{static_cast<win::BYTE>(r8), static_cast<win::BYTE>(g8), static_cast<win::BYTE>(b8), PC_NOCOLLAPSE};
  if (paletteCalls.setPaletteEntries(st.palette, static_cast<win::UINT>(at), 1, &e) != 1) {
    st.ranges.release(at, 1);
    raiseReturn("SetPaletteEntries failed");
  }
  st.entries[static_cast<std::size_t>(at)] = e;
  postRealize();
  return at;
}

}  // namespace vcolormsw

using vcolormsw::st;

void _vcolorMSWRealizePalette(win::HDC hdc, int force) {
  if (!force && !st.realizePending) return;
  if (st.realizePosted) vcolormsw::realizeHandler(nullptr);
  if (!st.palette) return;
  win::RealizePalette(hdc);
  st.realizePending = false;
}
