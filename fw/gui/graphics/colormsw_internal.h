// What the colour layer's files share: the one state record of the mode.
#pragma once
#include <vector>

#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/colormsw_palette.h"

namespace vcolormsw {

struct Ops {
  win::COLORREF (*toPixel)(unsigned r, unsigned g, unsigned b);
  void (*toColor)(win::COLORREF pixel, unsigned* r, unsigned* g, unsigned* b);
  int (*dither)(const vcolorSpec* desc, vcolorMSWCell* cell);
};

// The palette device's calls that this platform answers for a true-colour
// display only; tests put a palette device's answers here.
struct PaletteCalls {
  win::UINT (*getSystemPaletteEntries)(win::HDC hdc, win::UINT start, win::UINT count, win::PALETTEENTRY* entries);
  win::COLORREF (*getNearestColor)(win::HDC hdc, win::COLORREF color);
  win::UINT (*setPaletteEntries)(win::HPALETTE palette, win::UINT start, win::UINT count,
                                 const win::PALETTEENTRY* entries);
};
extern PaletteCalls paletteCalls;

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
  std::uint16_t generation = 0;  // of the mode: forms of another start-up are stale
  // Palette devices.
  win::HPALETTE palette = nullptr;
  std::vector<win::PALETTEENTRY> entries;     // the logical palette
  std::vector<win::PALETTEENTRY> adjusted;    // static colours as the device shows them, or none
  int half = 0;                               // static colours in each half
  int cubeSide = 0;
  vcolorMSWRanges ranges;
  vcolorMSWLookup lookup;
  std::vector<int> lookupIndex;               // lookup position -> palette index
  bool realizePending = false;
  bool realizePosted = false;
  // Grey displays: the device greys, sorted by value.
  std::vector<win::COLORREF> greys;
};
extern State st;

// Colour forms carry the mode's generation in their flags' high byte.
inline bool isCurrent(const vsyncRingEntry* e) {
  return vsyncRingIsCurrent(e) && (e->flags >> 8) == st.generation;
}
inline void markCurrent(vsyncRingEntry* e) {
  e->flags = static_cast<std::uint16_t>((e->flags & 0xFF) | vsyncRingUP_TO_DATE | st.generation << 8);
}

// Level tables (colormsw.cpp): rows for a parameter (2^k >= rows), and the
// luminance tables of L rows and G levels.
int bitsFor(int rows);
void buildLuminance(int rowsWanted, int levels);
// The grey variant of ordered dithering (colormsw.cpp).
int greyDitherOf(const vcolorSpec* desc, vcolorMSWCell* cell);
// The ordered-dither search: the cell side (1, 2, 4, 8) of the first k
// whose errors lie within the deltas, with each channel's dot threshold t;
// 0 when none does.
int orderedSearch(const vcolorSpec* desc, const long diff[3], const long range[3], long t[3]);

// The palette and grey modes (colormsw_palmode.cpp).
void startPalette();
// The palette mode's operations and level tables (cube or cube index).
void startPaletteLevels();
void startGrey(const std::vector<win::PALETTEENTRY>& deviceColors);
void freePalette();
// The palette index of an exact entry for the colour (8-bit), or -1.
int exactEntry(unsigned r8, unsigned g8, unsigned b8);

}  // namespace vcolormsw
