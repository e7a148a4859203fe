// Pixel operations on images for the image editor, its tools and the file
// writers: flips, the quarter turn, masks from a value, copies and fills
// through a mask, comparison, nearest colours, remapping to a palette,
// dithering to two colours, the outline of a mask and the flood fill.
//
// Pixel values are palette indices; without a palette a packed 0x00RRGGBB
// word, and for one-bit images 0 black, 1 white. A value past the end of
// the palette counts as black. Rows count from the bottom.
//
// - `codecs/pixops.h`: the image editor's pixel operations. Flips read and write whole rows; the
//   quarter turn and the masks make new images (`createLike` keeps depth, colour count and a cloned
//   palette, or the no-palette flag). Copies and fills through a mask clip the area to the source,
//   the mask and the destination, so a stamp hanging over an edge writes only inside. A pixel value
//   past its palette is black everywhere a colour is looked up (`imgops::ValueColors`): remapping
//   counts it as one more colour, black, and dithering and the nearest-colour search never read past
//   a table. Remapping with growth takes the image's colours by decreasing use; a colour already
//   appended in the same pass is reused, not appended twice. The flood fill is a span fill on an
//   explicit stack of seeds, one per run of old pixels next to a filled span, so region size never
//   touches the call stack. The outline lists rows of edge pixels with their four edge bits.
#pragma once
#include <cstdint>
#include <vector>

#include "fw/gui/graphics/image.h"

void vimgedFlipImageHorizontal(vimage* image);
void vimgedFlipImageVertical(vimage* image);
// A new height x width image: (x, y) goes to (height - 1 - y, x).
vimage* vimgedRotateImage(vimage* image);

// A two-colour image, entry 0 white and 1 black, with 1 where the pixel
// differs from value.
vimage* vimgedMaskFromValue(vimage* image, std::uint32_t value);
void vimgedClearMaskWhereValue(vimage* image, vimage* mask, std::uint32_t value);
// Source and mask pixels at (maskX + i, maskY + j) act on the destination at
// (destX + i, destY + j); the area is clipped to all three images.
void vimgedCopyThroughMask(vimage* source, vimage* destination, vimage* mask, int maskX, int maskY, int width,
                           int height, int destX, int destY);
void vimgedFillThroughMask(vimage* destination, vimage* mask, int maskX, int maskY, int width, int height,
                           int destX, int destY, std::uint32_t value);
int vimgedImagesEqual(vimage* a, vimage* b);

// The entry with the least sum of absolute component differences, the
// earliest on ties; index 0 and distance 2147483647 for an empty palette.
void vimgedNearestColor(const vcolorList* palette, unsigned red, unsigned green, unsigned blue, int* index,
                        std::int32_t* distance);
// Appends the image's colours missing from the palette, most used first, up
// to 2^bits entries in all; the image then takes the palette. 1 when any
// colour was appended.
int vimgedRemapGrowPalette(vimage* image, vcolorList* palette, int bits);
void vimgedRemapToPalette(vimage* image, const vcolorList* palette);
// Floyd-Steinberg to a two-colour image, entry 0 white and 1 black, with 1
// on the dark pixels.
vimage* vimgedDitherToTwoColors(vimage* image);

enum : std::uint16_t {
  vimgedEDGE_LEFT = 1,
  vimgedEDGE_RIGHT = 2,
  vimgedEDGE_BELOW = 4,  // y - 1
  vimgedEDGE_ABOVE = 8,  // y + 1
};
struct vimgedOutlineEdge {
  std::uint16_t x;
  std::uint16_t edges;
};
struct vimgedOutlineRow {
  std::uint32_t y;
  std::vector<vimgedOutlineEdge> edges;
};
// The set mask pixels with a clear (or missing) 4-neighbour, rows in
// increasing y.
struct vimgedOutline {
  std::vector<vimgedOutlineRow> rows;
};
vimgedOutline* vimgedMaskOutline(vimage* mask);
void vimgedFreeMaskOutline(vimgedOutline* outline);

// The flood fill reads and writes through a cursor on its image.
struct vimgedFillContext {
  vpixmapCursor cursor;
  vimage* image;
};
void vimgedInitFillContext(vimgedFillContext* context, vimage* image);
void vimgedFinishFillContext(vimgedFillContext* context);
// Fills the 4-connected region of (x, y)'s value with value.
void vimgedFloodFill(vimgedFillContext* context, std::uint32_t value, int x, int y);
