// The blit engine that every pixel operation of the drawing layer goes
// through, and the brush sampler that fills share.
#pragma once
#include "platform/gdi/internal.h"

namespace win::internal {

// A brush as it lands on one destination: a colour or an 8 x 8 cell
// pattern aligned to the brush origin, already in the destination's form.
struct Pattern {
  bool none = false, solid = false;
  std::uint32_t color = 0;
  std::array<std::uint32_t, 64> cells{};
  POINT origin{};
  void fillRow(std::uint32_t* out, int deviceX, int deviceY, int n) const;
};
Pattern patternOf(const Dc& dc, HGDIOBJ brush, bool monoDest);
Pattern patternOfBrush(const Dc& dc, const Brush& brush, bool monoDest);
// The ROP3 evaluator over rows (S may be any row when the code ignores it).
void ropRow(std::uint8_t rop, const std::uint32_t* P, const std::uint32_t* S, std::uint32_t* D, int n);
// The ROP3 code that applies a ROP2 mode with the pattern as the pen.
std::uint8_t rop3OfRop2(int rop2);

struct BlitRequest {
  Dc* dst = nullptr;
  int x = 0, y = 0, w = 0, h = 0;  // logical
  DWORD rop = 0;                   // bits 16-23: the ROP3 index
  HGDIOBJ brush = nullptr;         // null: the context's brush
  const Surface* src = nullptr;
  POINT srcOrigin{};  // where the source's device (0, 0) lies in its surface
  int sx = 0, sy = 0, sw = 0, sh = 0;
  std::uint32_t srcBk = 0;    // colour to mono: this colour becomes 1
  bool nearestMono = false;   // colour to mono by the nearest of black and white
  const Surface* mask = nullptr;
  int maskX = 0, maskY = 0;
  std::uint8_t backRop = 0xAA;  // where the mask is 0
};
bool blit(const BlitRequest& q);
// The same under the destination's world transform (world.cpp).
struct World;
bool worldBlit(const BlitRequest& q, const World& w);

// Pixels a DC reads as a blit source (the screen is composed into scratch).
const Surface* sourceOf(Dc& dc, POINT& origin, Surface& scratch);

// A device-independent bitmap as top-down pixels (false: a header this
// layer does not take).
bool dibToSurface(const BITMAPINFO* info, const void* bits, Surface& out);

void setStretchRowCap(int rows);

}  // namespace win::internal
