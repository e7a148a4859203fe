// The palette machinery of the Windows colour layer: the colour cube and
// its side, the nearest static colour, the list of free palette ranges and
// the colour-to-pixel lookup table. Pure computations over given colour
// tables, so that they serve any palette device.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "platform/win.h"

// The cube's side for a palette of size entries with reserved static
// colours, r more left to others and the largest share the cube may take;
// 0 when there is no cube.
int vcolorMSWCubeSide(int size, int reserved, int reserve, double standardMax);

// The palette index of the static colour nearest to (r, g, b) (8-bit), the
// lower half scanned first, then the upper: entries 0..half-1 and
// size-half..size-1 of the palette (all entries with all set).
int vcolorMSWNearestStatic(const std::vector<win::PALETTEENTRY>& palette, int half, int r, int g, int b,
                           bool all = false);

// Writes the cube of side n after the lower static half: red outermost,
// components k x 255 / (n - 1), PC_NOCOLLAPSE; a cube colour equal to an
// upper static colour has each component's lowest bit flipped.
void vcolorMSWFillCube(std::vector<win::PALETTEENTRY>& palette, int half, int side);

// Palette entries that exact colours may still take: pairs {used, free}
// laid end to end from entry 0.
class vcolorMSWRanges {
 public:
  void reset(int used, int free);
  // The first entry of count entries starting at a multiple of align, the
  // gap before it left free; -1 when no range has room.
  int allocate(int count, int align = 1);
  // Gives back entries that allocate handed out; anything else raises Arg
  // ("trying to free bad color range").
  void release(int start, int count);
  struct Range {
    int used, free;
  };
  const std::vector<Range>& ranges() const { return list_; }

 private:
  int base_ = 0;  // the static colours and the cube: never given out
  std::vector<Range> list_;
};

// The colour-to-pixel lookup: cells indexed by the top b bits of each
// 16-bit component, each with the device colours that can be nearest in it.
class vcolorMSWLookup {
 public:
  // colors: the usable device colours (16-bit components), a colour's
  // index its position.
  void build(const std::vector<std::array<std::uint16_t, 3>>& colors);
  int bits() const { return bits_; }
  std::size_t cellCount() const { return cellStart_.size() - 1; }
  // The candidates of the cell that holds (r, g, b).
  std::size_t candidates(unsigned r, unsigned g, unsigned b) const;
  // The nearest usable colour's index (squared distance on components >> 2).
  int nearest(unsigned r, unsigned g, unsigned b) const;

 private:
  int bits_ = 0;
  std::vector<std::array<std::int32_t, 3>> colors_;  // on the 14-bit scale
  std::vector<std::uint32_t> cellStart_;             // into indexes_, one past the last cell too
  std::vector<std::uint32_t> indexes_;
  std::size_t cellOf(unsigned r, unsigned g, unsigned b) const;
};
