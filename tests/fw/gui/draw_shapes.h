// Shapes and images the drawing tests draw on several surfaces: a
// five-pointed star in one stroke, two nested squares (for the fill rules)
// and a two-colour listed image.
#pragma once

#include <cmath>

#include "fw/gui/graphics/colorlist.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/image.h"
#include "platform/win.h"

namespace draw_shapes {

// A five-pointed star about (cx, cy) drawn in one stroke.
inline void star(double cx, double cy, double r) {
  for (int k = 0; k < 5; ++k) {
    double a = (90 + 144 * k) * M_PI / 180;
    if (k == 0)
      vdrawPathMoveToF(cx + r * std::cos(a), cy + r * std::sin(a));
    else
      vdrawLineToF(cx + r * std::cos(a), cy + r * std::sin(a));
  }
  vdrawClosePath();
}

// Two squares one inside the other, both counterclockwise.
inline void nestedSquares(int x, int y, int outer, int inner) {
  for (int side : {outer, inner}) {
    int at = (outer - side) / 2;
    vdrawPathMoveTo(x + at, y + at);
    vdrawRLineTo(side, 0);
    vdrawRLineTo(0, side);
    vdrawRLineTo(-side, 0);
    vdrawClosePath();
  }
}

// An image of two listed colours, left half index 0, right half index 1,
// made from an image of depth bits: the list of two makes it one bit deep.
inline vimage* twoColourImage(int bits, int w, int h, win::COLORREF left, win::COLORREF right) {
  vimage* image = vimageCreateSized(w, h, 1u << bits);
  vcolorList* list = vcolorListCreate();
  vcolorListSetCount(list, 2);
  win::COLORREF c[2] = {left, right};
  for (int i = 0; i < 2; ++i)
    vcolorSetSpecRGB(&list->entries[i], win::GetRValue(c[i]) * 257u, win::GetGValue(c[i]) * 257u,
                     win::GetBValue(c[i]) * 257u);
  vimageSetPaletteOwned(image, list);
  vpixmapCursor cur;
  vpixmapInitCursor(&cur, image);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) vpixmapCursorSetAt(&cur, x, y, x >= w / 2 ? 1 : 0);
  vpixmapFinishCursor(&cur);
  vpixmapMarkChanged(image);
  return image;
}

}  // namespace draw_shapes
