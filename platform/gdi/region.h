// Regions as Y-X bands: rectangles sorted top to bottom, then left to
// right; the rectangles of one band share their top and bottom, never
// touch each other, and two touching bands never hold the same spans
// (they are merged). Coordinates are kept within +-2^27, so no sum of two
// overflows.
//
// The drawing layer (`platform/gdi/`): one handle table holds every drawing object (pens, brushes,
// fonts, palettes, bitmaps, regions and device contexts; `GetObjectType` reads the kind); stock
// objects never go and a selected object cannot be deleted. Pixels are XRGB words (`COLORREF` is
// swizzled at the calls); a 1-bit bitmap holds only 0 and 0xFFFFFF, so every raster operation is
// the same bitwise code on both kinds. Each top-level or pop-up window has one buffer of its size;
// children draw into it at their offset, clipped to their visible region: the client area (the
// whole window with `DCX_WINDOW`) inside every ancestor's client area, less visible children
// (`WS_CLIPCHILDREN`/`DCX_CLIPCHILDREN`) and visible siblings above
// (`WS_CLIPSIBLINGS`/`DCX_CLIPSIBLINGS`). The window manager moves a generation counter on every
// change of the tree, geometry, style or visibility, and a DC makes its visible region again when
// the counter moved. The effective clip is visible region ∩ paint clip ∩ application clip
// (`SelectClipRgn` copies). `CS_OWNDC` windows keep one DC for life; every other `GetDC` hands out
// a fresh cache DC that `ReleaseDC` deletes. The screen DC reads the visible top-level buffers
// composed in z-order over `GetSysColor(1)` and writes back into every buffer under the pixel. A
// top-level buffer holds at most as many pixels as the screen: a window that needs no more is held
// whole, a larger one only from its top left as far as the screen's width and height, and a window
// DC's visible region is cut to the buffer, so drawing past it is clipped (a 32767 x 32767 window
// costs a screenful). The look for WM_PAINT skips subtrees without an update region (each window
// counts the damaged windows below it and remembers the first child that may hold one), and
// destroying a child neither scans every window for owned ones nor searches its siblings from one
// end, so tens of thousands of children cost time in proportion (`bench/child_windows`). Regions
// (`region.h`) are Y-X bands with equal touching bands merged, coordinates clamped to ±2^27;
// `CombineRgn` sweeps the band edges of both regions once and merges the two span lists of each
// band. Every blit (`PatBlt`, `BitBlt`, `StretchBlt`, `StretchDIBits`, `MaskBlt`, `FillRect`) goes
// through one engine (`blit.cpp`): nearest-neighbour mapping (centre sampling, negative extents
// mirror), source conversion (mono to colour by the destination's text and background colours,
// colour to mono by the source's background colour; DIB pixels by the nearest of black and white),
// the brush sampler (8 × 8 cells aligned to the brush origin; mono patterns in text and background
// colours), and the ROP3 code evaluated from its index byte as three levels of bitwise selection
// over pattern, source and destination, with straight paths for copies, `PATINVERT` and fills.
// Source pixels outside their surface leave the destination alone. `png.cpp` gives the tests window
// and screen images and PNG files through libpng; `tests/support/png_compare.h` compares with a
// stored PNG (`UPDATE_PNG=1` rewrites it). `bench/gdi.cpp` (headless, the shared 8-core build
// machine under load): `BitBlt` `SRCCOPY` of 1024 × 768 about 0.24 ms; `PatBlt` with an 8 × 8
// pattern brush and `PATINVERT` over 1024 × 768 about 0.5 ms; `CombineRgn` OR of two 500-rectangle
// regions about 0.03 ms (1,980 rectangles result).
#pragma once
#include <cstdint>
#include <vector>

#include "platform/win/types.h"

namespace win::internal {

class Region {
 public:
  static constexpr LONG kLimit = 1 << 27;

  Region() = default;
  explicit Region(const RECT& r) { set(r); }

  void set(const RECT& r);
  void clear() { rects_.clear(), box_ = {}; }
  bool empty() const { return rects_.empty(); }
  const std::vector<RECT>& rects() const { return rects_; }
  const RECT& box() const { return box_; }
  // NULLREGION, SIMPLEREGION or COMPLEXREGION.
  int kind() const;

  // op: RGN_AND, RGN_OR, RGN_XOR or RGN_DIFF.
  static Region combine(const Region& a, const Region& b, int op);
  Region& operator&=(const Region& o) { return *this = combine(*this, o, 1); }
  Region& operator|=(const Region& o) { return *this = combine(*this, o, 2); }
  Region& operator-=(const Region& o) { return *this = combine(*this, o, 4); }
  friend Region operator&(Region a, const Region& b) { return a &= b; }
  friend Region operator-(Region a, const Region& b) { return a -= b; }
  void offset(LONG dx, LONG dy);
  bool contains(LONG x, LONG y) const;
  bool meets(const RECT& r) const;
  // Whether one of the region's rectangles holds all of r (false may
  // still mean covered by several).
  bool holds(const RECT& r) const;
  bool operator==(const Region& o) const;

  // Builds from any rectangles, overlapping or not.
  static Region fromRects(const std::vector<RECT>& rects);

 private:
  std::vector<RECT> rects_;
  RECT box_{};
};

inline bool emptyRect(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
inline RECT intersectRect(const RECT& a, const RECT& b) {
  return {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top, a.right < b.right ? a.right : b.right,
          a.bottom < b.bottom ? a.bottom : b.bottom};
}
inline RECT offsetRect(RECT r, LONG dx, LONG dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

}  // namespace win::internal
