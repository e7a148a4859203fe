// Blits under a world transform: the destination rectangle is a
// parallelogram on the device; each pixel in it takes the source pixel
// (nearest) at its centre's place, through the raster operation and the
// mask as a plain blit would.
#include "platform/gdi/world.h"

#include <cmath>
#include <vector>

#include "platform/gdi/blit.h"

namespace win::internal {

bool worldBlit(const BlitRequest& q, const World& w) {
  Dc& dst = *q.dst;
  std::uint8_t fore = static_cast<std::uint8_t>(q.rop >> 16), back = q.mask ? q.backRop : fore;
  auto usesSource = [](std::uint8_t rop) { return (((rop >> 2) ^ rop) & 0x33) != 0; };
  auto usesPattern = [](std::uint8_t rop) { return (((rop >> 4) ^ rop) & 0x0F) != 0; };
  bool needSource = usesSource(fore) || usesSource(back);
  if (needSource && !q.src) return false;
  Target t;
  if (!targetOf(dst, t)) return false;
  bool monoDest = t.surface->mono;
  Pattern pat = patternOf(dst, q.brush ? q.brush : dst.brush, monoDest);
  if ((usesPattern(fore) || usesPattern(back)) && pat.none) return true;
  int sw = std::abs(q.sw), sh = std::abs(q.sh);
  if (q.w == 0 || q.h == 0 || (needSource && (sw == 0 || sh == 0))) return true;
  double left = std::min(q.x, q.x + q.w), top = std::min(q.y, q.y + q.h);
  int dw = std::abs(q.w), dh = std::abs(q.h);
  int sx = std::min(q.sx, q.sx + q.sw) + q.srcOrigin.x, sy = std::min(q.sy, q.sy + q.sh) + q.srcOrigin.y;
  bool mirrorX = (q.w < 0) != (q.sw < 0), mirrorY = (q.h < 0) != (q.sh < 0);
  const Surface* src = needSource ? q.src : nullptr;
  bool monoToColor = src && src->mono && !monoDest, colorToMono = src && !src->mono && monoDest;
  std::uint32_t srcText = monoToColor ? resolveColor(dst, dst.text) : 0;
  std::uint32_t srcBk = monoToColor ? resolveColor(dst, dst.bk) : 0;
  // The source is read whole first: it may be the destination itself.
  std::vector<std::uint32_t> copy;
  if (src == t.surface) copy = src->px;
  RECT touched{};
  forEachMapped(dst, w, *t.clip, left, top, left + dw, top + dh, [&](int x, int y, double lx, double ly) {
    // Offsets within the destination rectangle, then the source pixel.
    int i = std::min(int(std::floor(lx - left)), dw - 1), r = std::min(int(std::floor(ly - top)), dh - 1);
    std::uint32_t s = 0;
    if (src) {
      int ci = int((2 * std::int64_t(i) + 1) * sw / (2 * std::int64_t(dw))),
          ri = int((2 * std::int64_t(r) + 1) * sh / (2 * std::int64_t(dh)));
      int scol = sx + (mirrorX ? sw - 1 - ci : ci), srow = sy + (mirrorY ? sh - 1 - ri : ri);
      if (scol < 0 || srow < 0 || scol >= src->width || srow >= src->height) return;
      s = copy.empty() ? src->row(srow)[scol] : copy[std::size_t(srow) * std::size_t(src->width) + std::size_t(scol)];
      if (monoToColor) s = s ? srcBk : srcText;
      if (colorToMono) s = q.nearestMono ? monoOf(s) : (s == q.srcBk ? kMonoWhite : 0);
    }
    std::uint8_t rop = fore;
    if (q.mask) {
      int mx = q.maskX + i, my = q.maskY + r;
      bool front = mx >= 0 && my >= 0 && mx < q.mask->width && my < q.mask->height && q.mask->row(my)[mx] != 0;
      rop = front ? fore : back;
    }
    std::uint32_t p = 0;
    pat.fillRow(&p, x, y, 1);
    ropRow(rop, &p, &s, t.surface->row(y + t.origin.y) + x + t.origin.x, 1);
    touched = emptyRect(touched) ? RECT{x, y, x + 1, y + 1}
                                 : RECT{std::min<LONG>(touched.left, x), std::min<LONG>(touched.top, y),
                                        std::max<LONG>(touched.right, x + 1), std::max<LONG>(touched.bottom, y + 1)};
  });
  if (!emptyRect(touched)) finishTarget(t, touched);
  return true;
}

}  // namespace win::internal
