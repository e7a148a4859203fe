// A context's world transform (advanced graphics mode): logical points to
// device points before the viewport origin. Blits, region fills and text
// honour it by sampling: each device pixel whose centre the inverse maps
// into the logical shape takes the value there. Lines and other figures
// ignore it (nothing draws them while one is set).
//
// - **World transforms** (platform, `platform/gdi/world.h`): taken only in `GM_ADVANCED`, never
//   singular; `GM_COMPATIBLE` is refused while one is in force, as on Windows. Blits (`BitBlt`,
//   `StretchBlt`, `StretchDIBits`, `MaskBlt`, `PatBlt`), region fills and text honour it by
//   sampling: every device pixel whose centre the inverse maps into the logical rectangle takes the
//   nearest source pixel there through the raster operation; device clip regions stay in device
//   coordinates. Lines and figures ignore it (the driver draws none while one is set). Images and
//   masks go through it on printers (the default policy), else resample.
#pragma once
#include <algorithm>
#include <cmath>

#include "platform/gdi/internal.h"

namespace win::internal {

struct World {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
  // Logical to device, before the viewport origin.
  double toX(double x, double y) const { return m11 * x + m21 * y + dx; }
  double toY(double x, double y) const { return m12 * x + m22 * y + dy; }
};

// The transform in force, false when there is none (identity).
bool worldOf(const Dc& dc, World& out);

// Calls each(deviceX, deviceY, logicalX, logicalY) for every device pixel
// of the clip (the target's, in device coordinates) whose centre maps into
// the logical rectangle [left, right) x [top, bottom).
template <class F>
void forEachMapped(const Dc& dc, const World& w, const Region& clip, double left, double top, double right,
                   double bottom, F each) {
  if (!(left < right && top < bottom)) return;
  double det = w.m11 * w.m22 - w.m12 * w.m21;
  if (det == 0) return;
  double vx = dc.viewportOrg.x, vy = dc.viewportOrg.y;
  // The device box of the four corners.
  double xs[4], ys[4];
  double cx[4] = {left, right, left, right}, cy[4] = {top, top, bottom, bottom};
  for (int i = 0; i < 4; ++i) xs[i] = w.toX(cx[i], cy[i]) + vx, ys[i] = w.toY(cx[i], cy[i]) + vy;
  RECT box{static_cast<LONG>(std::floor(*std::min_element(xs, xs + 4))),
           static_cast<LONG>(std::floor(*std::min_element(ys, ys + 4))),
           static_cast<LONG>(std::ceil(*std::max_element(xs, xs + 4))) + 1,
           static_cast<LONG>(std::ceil(*std::max_element(ys, ys + 4))) + 1};
  for (const RECT& c : clip.rects()) {
    RECT r = intersectRect(c, box);
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) {
        // The inverse at the pixel's centre.
        double px = x + 0.5 - vx - w.dx, py = y + 0.5 - vy - w.dy;
        double lx = (w.m22 * px - w.m21 * py) / det, ly = (w.m11 * py - w.m12 * px) / det;
        if (lx >= left && lx < right && ly >= top && ly < bottom) each(int(x), int(y), lx, ly);
      }
  }
}

}  // namespace win::internal
