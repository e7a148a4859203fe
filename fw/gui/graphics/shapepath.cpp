// Rectangles, arcs and rounded rectangles as paths of the current state, for
// tables that do not draw them natively and for the general matrix kind.
#include <cmath>

#include "fw/gui/graphics/draw_internal.h"

namespace {

template <class R, class Move, class Line>
void rectPath(const R* rects, int n, Move moveTo, Line rLineTo) {
  vdrawNewPath();
  for (int i = 0; i < n; ++i) {
    const R& r = rects[i];
    moveTo(r.x, r.y);
    rLineTo(r.width, 0);
    rLineTo(0, r.height);
    rLineTo(-r.width, 0);
    vdrawClosePath();
  }
}

}  // namespace

void _vdrawRectPath(const vrect* rects, int n) { rectPath(rects, n, vdrawPathMoveTo, vdrawRLineTo); }
void _vdrawRectPathF(const vrectFloat* rects, int n) { rectPath(rects, n, vdrawPathMoveToF, vdrawRLineToF); }

void _vdrawArcPath(const vrect* rects, int n, int start, int sweep, int fromCenter) {
  double cs = 0, sn = 0;
  if (!fromCenter) {
    double a = start * 0.017453292519943295;
    cs = start == 0 ? 1 : std::cos(a);
    sn = start == 0 ? 0 : std::sin(a);
  }
  vdrawNewPath();
  for (int i = 0; i < n; ++i) {
    const vrect& rc = rects[i];
    if (rc.width <= 0 || rc.height <= 0) continue;
    double r = rc.width * 0.5;
    // The second angle is the "sweep" given: arcs run from the first angle to it.
    if (rc.width == rc.height) {
      double cx = rc.x + r, cy = rc.y + r;
      if (fromCenter)
        vdrawPathMoveToF(cx, cy);
      else
        vdrawPathMoveToF(cx + cs * r, cy + sn * r);
      vdrawArc(cx, cy, r, start, sweep, 1);
      continue;
    }
    vdrawTranslate(rc.x, rc.y);
    vdrawScale(1.0, double(rc.height) / rc.width);
    if (fromCenter)
      vdrawPathMoveToF(r, r);
    else
      vdrawPathMoveToF((cs + 1) * r, (sn + 1) * r);
    vdrawArc(r, r, r, start, sweep, 1);
    vdrawScale(1.0, double(rc.width) / rc.height);
    vdrawTranslate(-rc.x, -rc.y);
  }
}

void _vdrawRoundRectPath(const vrect* rects, int n, int radius) {
  if (radius < 1) return _vdrawRectPath(rects, n);
  vdrawNewPath();
  double r = radius;
  for (int i = 0; i < n; ++i) {
    int x0 = rects[i].x, y0 = rects[i].y, x1 = x0 + rects[i].width, y1 = y0 + rects[i].height;
    if (!(x0 < x1 && y0 < y1)) continue;
    vdrawPathMoveTo(x0 + radius, y0);
    vdrawArcTo(x1, y0, x1, y0 + r, r);
    vdrawArcTo(x1, y1, x1 - r, y1, r);
    vdrawArcTo(x0, y1, x0, y1 - r, r);
    vdrawArcTo(x0, y0, x0 + r, y0, r);
    vdrawClosePath();
  }
}

namespace {

enum class Shape { chords, pies, arcs };

void shapeThroughPath(const vrect* rects, int n, int start, int sweep, Shape shape) {
  vdrawint::withSavedState([&] {
    if (shape == Shape::chords) vdrawSetArcMode(192);
    _vdrawArcPath(rects, n, start, sweep, shape == Shape::pies);
    if (shape == Shape::arcs)
      vdrawStroke();
    else
      vdrawFill(0);
  });
}

void roundThroughPath(const vrect* rects, int n, int radius, bool fill) {
  vdrawint::withSavedState([&] {
    if (fill) vdrawSetArcMode(192);
    _vdrawRoundRectPath(rects, n, radius);
    if (fill)
      vdrawFill(0);
    else
      vdrawStroke();
  });
}

}  // namespace

void vdrawFillChords(const vrect* rects, int n, int start, int sweep) {
  const vdrawPrimitiveTable* t = vdrawGetPrimitives();
  if (t->flags & 1) return t->FillChords(rects, n, start, sweep);
  shapeThroughPath(rects, n, start, sweep, Shape::chords);
}

void vdrawFillPies(const vrect* rects, int n, int start, int sweep) {
  const vdrawPrimitiveTable* t = vdrawGetPrimitives();
  if (t->flags & 1) return t->FillPies(rects, n, start, sweep);
  shapeThroughPath(rects, n, start, sweep, Shape::pies);
}

void vdrawFrameArcs(const vrect* rects, int n, int start, int sweep) {
  const vdrawPrimitiveTable* t = vdrawGetPrimitives();
  if (t->flags & 1) return t->FrameArcs(rects, n, start, sweep);
  shapeThroughPath(rects, n, start, sweep, Shape::arcs);
}

void vdrawFillRoundRects(const vrect* rects, int n, int radius) {
  const vdrawPrimitiveTable* t = vdrawGetPrimitives();
  if (t->flags & 1) return t->FillRoundRects(rects, n, radius);
  if (radius < 1) return t->FillRects(rects, n);
  roundThroughPath(rects, n, radius, true);
}

void vdrawFrameRoundRects(const vrect* rects, int n, int radius) {
  const vdrawPrimitiveTable* t = vdrawGetPrimitives();
  if (t->flags & 1) return t->FrameRoundRects(rects, n, radius);
  if (radius < 1) return t->FrameRects(rects, n);
  roundThroughPath(rects, n, radius, false);
}
