// The ten built-in primitive tables: one per matrix kind for a path with a
// current point, then one per kind for a path without one. They differ in
// how user coordinates become 16.16 device values.
#include <algorithm>
#include <array>
#include <cmath>

#include "fw/gui/graphics/draw_internal.h"

using namespace vdrawint;

namespace {

const vmatrix& userMatrix() { return m.current->matrix->matrix; }
const vdrawDeviceTransform& device() { return m.current->matrix->device; }

const vmatrix& inverse() {
  vdrawTransform* t = m.current->matrix;
  if (t->flags & 1) {
    vmatrixInvert(&t->matrix, &t->inverse);
    t->flags &= std::uint16_t(~1);
  }
  return t->inverse;
}

// Wrapping arithmetic on 16.16 values, as the device space does.
vfixed sub(vfixed a, vfixed b) { return vfixed(std::uint32_t(a) - std::uint32_t(b)); }

// Device values are worked out in 64 bits, so that nothing wraps, and
// kept within +-16000 pixels: beyond every device, with the drivers'
// 16-bit boxes around them still in range.
using Wide = std::int64_t;
constexpr Wide kLimit = Wide(16000) << 16;
Wide clampWide(Wide v) { return std::clamp(v, -kLimit, kLimit); }
Wide wideOf(double v) { return Wide(std::clamp(v, -4.0e18, 4.0e18)); }  // truncated towards zero
Wide saturated(Wide v) { return std::clamp<Wide>(v, -0x7FFFFFFF, 0x7FFFFFFF); }

// A translation too large for the fixed form is taken from the matrix itself.
Wide translation(vfixed fixed, float exact) {
  return fixed == 0x7FFFFFFF || fixed == vfixed(0x80000000u) ? wideOf(double(exact) * 65536) : fixed;
}

// A user point in device units, by kind.
template <int K>
void widePoint(double x, double y, bool integral, Wide* fx, Wide* fy) {
  if constexpr (K <= 2) {
    Wide ux = integral ? Wide(int(x)) * 65536 : wideOf(x * 65536);
    Wide uy = integral ? Wide(int(y)) * 65536 : wideOf(y * 65536);
    if constexpr (K == 0) {
      *fx = ux, *fy = uy;
    } else {
      Wide tx = translation(device().tx, userMatrix().tx), ty = translation(device().ty, userMatrix().ty);
      *fx = ux + tx;
      *fy = K == 1 ? uy + ty : ty - uy;
    }
  } else {
    double dx, dy;
    vmatrixTransformPoint(&userMatrix(), x, y, &dx, &dy);
    *fx = wideOf(dx * 65536), *fy = wideOf(dy * 65536);
  }
}

template <int K>
void wideDistance(double x, double y, bool integral, Wide* fx, Wide* fy) {
  if constexpr (K <= 2) {
    *fx = integral ? Wide(int(x)) * 65536 : wideOf(x * 65536);
    Wide uy = integral ? Wide(int(y)) * 65536 : wideOf(y * 65536);
    *fy = K == 2 ? -uy : uy;
  } else {
    double dx, dy;
    vmatrixTransformVector(&userMatrix(), x, y, &dx, &dy);
    *fx = wideOf(dx * 65536), *fy = wideOf(dy * 65536);
  }
}

template <int K>
void point(double x, double y, bool integral, vfixed* fx, vfixed* fy) {
  Wide wx, wy;
  widePoint<K>(x, y, integral, &wx, &wy);
  *fx = vfixed(clampWide(wx)), *fy = vfixed(clampWide(wy));
}

template <int K>
void distance(double x, double y, bool integral, vfixed* fx, vfixed* fy) {
  Wide wx, wy;
  wideDistance<K>(x, y, integral, &wx, &wy);
  *fx = vfixed(saturated(wx)), *fy = vfixed(saturated(wy));
}

// Where the current point truly is when the path holds it pulled in to the
// limit: kept for the path and its element count it was made with.
struct Beyond {
  const vdrawPath* path = nullptr;
  std::int32_t used = 0;
  Wide x = 0, y = 0;
};
Beyond beyond;

bool inside(Wide x, Wide y) { return x == clampWide(x) && y == clampWide(y); }

void trueCurrent(Wide* x, Wide* y) {
  const vdrawPath* p = m.current->path;
  if (beyond.path == p && beyond.used == p->used && p->x == clampWide(beyond.x) && p->y == clampWide(beyond.y)) {
    *x = beyond.x, *y = beyond.y;
    return;
  }
  *x = p->x, *y = p->y;
}

void remember(Wide x, Wide y) {
  if (inside(x, y)) {
    beyond.path = nullptr;
    return;
  }
  beyond = {m.current->path, m.current->path->used, x, y};
}

void wideMoveTo(Wide x, Wide y) {
  pathMoveTo(vfixed(clampWide(x)), vfixed(clampWide(y)));
  remember(x, y);
}

// A line that leaves the limits is cut where it crosses each of the four
// limit lines and every piece pulled in: the pieces outside then run along
// the border, so the windings, and every pixel of a device, stay as drawn.
void wideLineTo(Wide x, Wide y) {
  Wide sx, sy;
  trueCurrent(&sx, &sy);
  if (inside(sx, sy) && inside(x, y)) {
    pathLineTo(vfixed(x), vfixed(y));
    beyond.path = nullptr;
    return;
  }
  double cuts[4];
  int n = 0;
  auto cut = [&](Wide a, Wide b) {
    for (Wide c : {-kLimit, kLimit})
      if ((a < c && b > c) || (a > c && b < c)) cuts[n++] = double(c - a) / double(b - a);
  };
  cut(sx, x);
  cut(sy, y);
  for (int i = 1; i < n; ++i)  // at most four: in order by hand
    for (int j = i; j > 0 && cuts[j] < cuts[j - 1]; --j) std::swap(cuts[j], cuts[j - 1]);
  auto to = [](Wide px, Wide py) {
    const vdrawPath* p = m.current->path;
    vfixed fx = vfixed(clampWide(px)), fy = vfixed(clampWide(py));
    if (fx != p->x || fy != p->y) pathLineTo(fx, fy);
  };
  for (int i = 0; i < n; ++i)
    to(sx + Wide(std::llround(cuts[i] * double(x - sx))), sy + Wide(std::llround(cuts[i] * double(y - sy))));
  to(x, y);
  remember(x, y);
}

template <int K>
void moveTo(double x, double y, bool integral) {
  Wide wx, wy;
  widePoint<K>(x, y, integral, &wx, &wy);
  wideMoveTo(wx, wy);
}
template <int K>
void lineTo(double x, double y, bool integral) {
  Wide wx, wy;
  widePoint<K>(x, y, integral, &wx, &wy);
  wideLineTo(wx, wy);
}
template <int K>
void rLineTo(double x, double y, bool integral) {
  Wide sx, sy, dx, dy;
  trueCurrent(&sx, &sy);
  wideDistance<K>(x, y, integral, &dx, &dy);
  wideLineTo(sx + dx, sy + dy);
}
template <int K>
void rMoveTo(double x, double y, bool integral) {
  Wide sx, sy, dx, dy;
  trueCurrent(&sx, &sy);
  wideDistance<K>(x, y, integral, &dx, &dy);
  wideMoveTo(sx + dx, sy + dy);
}

// Three user points after the current one, as chained device offsets.
template <int K>
void curveThrough(const double* u, bool absolute, bool chained) {
  vfixed v[6];
  for (int i = 0; i < 3; ++i) {
    if (absolute)
      point<K>(u[2 * i], u[2 * i + 1], false, &v[2 * i], &v[2 * i + 1]);
    else
      distance<K>(u[2 * i], u[2 * i + 1], false, &v[2 * i], &v[2 * i + 1]);
  }
  if (absolute) {
    const vdrawPath* p = m.current->path;
    vfixed x = p->x, y = p->y;
    for (int i = 0; i < 3; ++i) {
      vfixed nx = v[2 * i], ny = v[2 * i + 1];
      v[2 * i] = sub(nx, x), v[2 * i + 1] = sub(ny, y);
      x = nx, y = ny;
    }
  } else if (!chained) {
    for (int i = 2; i > 0; --i) v[2 * i] = sub(v[2 * i], v[2 * i - 2]), v[2 * i + 1] = sub(v[2 * i + 1], v[2 * i - 1]);
  }
  pathCurve(v);
}

vfixed degrees(double a) {
  a = std::fmod(a, 360.0);
  if (a < 0) a += 360;
  return std::min(vfixedFromDouble(a), 360 * vfixedONE - 1);
}

bool rotated() { return device().classBits & vmatrixSKEW; }

template <int K>
void arc(double cx, double cy, double r, double a1, double a2, int direction) {
  if (r < 0) _vexGenerate(&vexArgRangeClass, vexEnd);
  double c, s;
  degreesCosSin(a1, &c, &s);
  double sx = cx + r * c, sy = cy + r * s;
  vfixed fx, fy;
  point<K>(sx, sy, false, &fx, &fy);
  const vdrawPath* p = m.current->path;
  if (!(p->flags & vdrawPathCURRENT_POINT))
    pathMoveTo(fx, fy);
  else if (std::abs(std::int64_t(fx) - p->x) > 32768 || std::abs(std::int64_t(fy) - p->y) > 32768)
    pathLineTo(fx, fy);
  if (r == 0) return;
  vfixed start = degrees(a1), sweep = degrees(a2) - start;
  if (direction >= 1) {
    if (sweep <= 0) sweep += 360 * vfixedONE;
  } else if (sweep >= 0) {
    sweep -= 360 * vfixedONE;
  }
  double from = start / 65536.0, total = sweep / 65536.0;
  if (!rotated()) {
    degreesCosSin(from + total, &c, &s);
    vfixed ox, oy, rx, ry, ex, ey;
    distance<K>(cx - sx, cy - sy, false, &ox, &oy);
    distance<K>(r, r, false, &rx, &ry);
    distance<K>(cx + r * c - sx, cy + r * s - sy, false, &ex, &ey);
    pathArc(ox, oy, rx, ry, start, sweep, ex, ey);
    return;
  }
  double px = sx, py = sy;
  for (double done = 0; std::abs(total - done) > 1e-9;) {
    double step = std::abs(total - done) > 90 ? std::copysign(90.0, total) : total - done;
    double mc, ms, hc, hs, ec, es;
    degreesCosSin(from + done + step / 2, &mc, &ms);
    degreesCosSin(step / 2, &hc, &hs);
    degreesCosSin(from + done + step, &ec, &es);
    double u[6];
    u[4] = cx + r * ec, u[5] = cy + r * es;
    arcPieceControls(px, py, cx + r * mc / hc, cy + r * ms / hc, u[4], u[5], u);
    u[4] = cx + r * ec, u[5] = cy + r * es;
    curveThrough<K>(u, true, false);
    px = u[4], py = u[5];
    done += step;
  }
}

template <int K>
void arcTo(double x1, double y1, double x2, double y2, double r, double* xt1, double* yt1, double* xt2,
           double* yt2) {
  if (r < 0) _vexGenerate(&vexArgRangeClass, vexEnd);
  double px, py;
  vdrawGetCurrentPoint(&px, &py);
  double u1x = px - x1, u1y = py - y1, u2x = x2 - x1, u2y = y2 - y1;
  double l1 = std::hypot(u1x, u1y), l2 = std::hypot(u2x, u2y);
  if (l1 > 0 && l2 > 0) {
    u1x /= l1, u1y /= l1, u2x /= l2, u2y /= l2;
  } else {
    u1x = u1y = u2x = u2y = 1;
  }
  double c = u1x * u2x + u1y * u2y;
  double d = c > -1 && c < 1 ? r / std::sqrt((1 - c) / (1 + c)) : 0;
  double t1x = x1 + d * u1x, t1y = y1 + d * u1y, t2x = x1 + d * u2x, t2y = y1 + d * u2y;
  if (xt1) *xt1 = t1x;
  if (yt1) *yt1 = t1y;
  if (xt2) *xt2 = t2x;
  if (yt2) *yt2 = t2y;
  rLineTo<K>(t1x - px, t1y - py, false);
  if (d == 0) return;
  if (rotated()) {
    double u[6];
    arcPieceControls(t1x, t1y, x1, y1, t2x, t2y, u);
    u[4] = t2x, u[5] = t2y;
    curveThrough<K>(u, true, false);
    return;
  }
  double side = u1x * u2y - u1y * u2x > 0 ? 1 : -1;
  vfixed v[8];
  distance<K>(-u1y * side * r, u1x * side * r, false, &v[0], &v[1]);
  distance<K>(r, r, false, &v[2], &v[3]);
  distance<K>(-d * u1x, -d * u1y, false, &v[4], &v[5]);
  distance<K>(d * u2x, d * u2y, false, &v[6], &v[7]);
  pathTangentArc(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
}

[[noreturn]] void noPoint() { _vexGenerate(&vdrawNoCurrentPointClass, vexEnd); }

// The clip (and the device clip region) of an empty path: one empty rectangle.
void emptyClip() {
  vdrawState* s = privateState();
  vdrawPathRelease(s->clip);
  s->clip = vdrawPathGetEmptyClip();
  ++s->clip->refs;
  s->dirty |= vdrawDIRTY_CLIP;
}

template <int K, bool P>
constexpr vdrawPrimitiveTable makeTable() {
  vdrawPrimitiveTable t{};
  t.flags = 1;
  t.TransformDistance = [](double x, double y, double* ox, double* oy) {
    vmatrixTransformVector(&userMatrix(), x, y, ox, oy);
  };
  t.InverseTransformDistance = [](double x, double y, double* ox, double* oy) {
    vmatrixTransformVector(&inverse(), x, y, ox, oy);
  };
  t.InverseTransformPoint = [](double x, double y, double* ox, double* oy) {
    vmatrixTransformPoint(&inverse(), x, y, ox, oy);
  };
  t.TransformPoint = [](double x, double y, double* ox, double* oy) {
    vmatrixTransformPoint(&userMatrix(), x, y, ox, oy);
  };
  t.PathMoveTo = [](int x, int y) { moveTo<K>(x, y, true); };
  t.PathMoveToF = [](double x, double y) { moveTo<K>(x, y, false); };
  t.Arc = arc<K>;
  t.ClipRects = RectOps<K>::clip;
  t.ClipRectsF = RectOps<K>::clipF;
  t.FillRects = RectOps<K>::fill;
  t.FillRectsF = RectOps<K>::fillF;
  t.FrameRects = RectOps<K>::frame;
  t.FrameRectsF = RectOps<K>::frameF;
  t.SetDeviceClipRects = RectOps<K>::deviceClip;
  t.SetDeviceClipRectsF = RectOps<K>::deviceClipF;
  t.ImageMatrix = TextOps<K>::imageMatrix;
  t.ImageMaskMatrix = TextOps<K>::imageMaskMatrix;
  t.ImageMaskPathMatrix = TextOps<K>::imageMaskPathMatrix;
  t.FillChords = RectOps<K>::fillChords;
  t.FillPies = RectOps<K>::fillPies;
  t.FrameArcs = RectOps<K>::frameArcs;
  t.FillRoundRects = RectOps<K>::fillRoundRects;
  t.FrameRoundRects = RectOps<K>::frameRoundRects;
  if constexpr (P) {
    t.ClosePath = [] { pathClose(); };
    t.ArcTo = arcTo<K>;
    t.CurveTo = [](double x1, double y1, double x2, double y2, double x3, double y3) {
      const double u[] = {x1, y1, x2, y2, x3, y3};
      curveThrough<K>(u, true, false);
    };
    t.LineTo = [](int x, int y) { lineTo<K>(x, y, true); };
    t.LineToF = [](double x, double y) { lineTo<K>(x, y, false); };
    t.NewPath = [] { pathNew(); };
    t.RCurveTo = [](double x1, double y1, double x2, double y2, double x3, double y3) {
      const double u[] = {x1, y1, x2, y2, x3, y3};
      curveThrough<K>(u, false, false);
    };
    t.RLineTo = [](int x, int y) { rLineTo<K>(x, y, true); };
    t.RLineToF = [](double x, double y) { rLineTo<K>(x, y, false); };
    t.RMoveTo = [](int x, int y) { rMoveTo<K>(x, y, true); };
    t.RMoveToF = [](double x, double y) { rMoveTo<K>(x, y, false); };
    t.RRCurveTo = [](double x1, double y1, double x2, double y2, double x3, double y3) {
      const double u[] = {x1, y1, x2, y2, x3, y3};
      curveThrough<K>(u, false, true);
    };
    t.Clip = pathClip;
    t.Fill = pathFill;
    t.Stroke = pathStroke;
    t.SetDeviceClipToPath = pathDeviceClip;
    t.AWidthShow = TextOps<K>::aWidthShow;
    t.Show = TextOps<K>::show;
    t.XYShow = TextOps<K>::xyShow;
    t.Image = [](vimage* image) { TextOps<K>::imageAt(image, false); };
    t.ImageMask = [](vimage* image) { TextOps<K>::imageAt(image, true); };
    t.CharPath = TextOps<K>::charPath;
    t.ImageMaskPath = TextOps<K>::imageMaskPath;
  } else {
    t.ClosePath = [] {};
    t.ArcTo = [](double, double, double, double, double, double*, double*, double*, double*) { noPoint(); };
    t.CurveTo = [](double, double, double, double, double, double) { noPoint(); };
    t.LineTo = [](int, int) { noPoint(); };
    t.LineToF = [](double, double) { noPoint(); };
    t.NewPath = [] {};
    t.RCurveTo = [](double, double, double, double, double, double) { noPoint(); };
    t.RLineTo = [](int, int) { noPoint(); };
    t.RLineToF = [](double, double) { noPoint(); };
    t.RMoveTo = [](int, int) { noPoint(); };
    t.RMoveToF = [](double, double) { noPoint(); };
    t.RRCurveTo = [](double, double, double, double, double, double) { noPoint(); };
    t.Clip = [](int) { emptyClip(); };
    t.Fill = [](int) {};
    t.Stroke = [] {};
    t.SetDeviceClipToPath = [](int) {
      vdrawPathRelease(m.deviceClip);
      m.deviceClip = vdrawPathGetEmptyClip();
      ++m.deviceClip->refs;
      if (m.current->binding->flags & vdrawBIND_CLIP_TO_DEVICE) m.current->dirty |= vdrawDIRTY_CLIP;
      m.primitives->NewPath();
    };
    t.AWidthShow = [](double, double, int, double, double, const char*, int) { noPoint(); };
    t.Show = [](const char*, int) { noPoint(); };
    t.XYShow = [](const char*, int, const float*, int) { noPoint(); };
    t.Image = [](vimage*) { noPoint(); };
    t.ImageMask = [](vimage*) { noPoint(); };
    t.CharPath = [](const char*, int) { noPoint(); };
    t.ImageMaskPath = [](vimage*) { noPoint(); };
  }
  t.end = nullptr;
  return t;
}

constexpr std::array<vdrawPrimitiveTable, 10> builtin = {
    makeTable<0, true>(),  makeTable<1, true>(),  makeTable<2, true>(),  makeTable<3, true>(),
    makeTable<4, true>(),  makeTable<0, false>(), makeTable<1, false>(), makeTable<2, false>(),
    makeTable<3, false>(), makeTable<4, false>(),
};

}  // namespace

namespace vdrawint {
bool trueCurrentPoint(double* x, double* y) {
  Wide wx, wy;
  trueCurrent(&wx, &wy);
  *x = double(wx) / 65536, *y = double(wy) / 65536;
  return !inside(wx, wy);
}
}  // namespace vdrawint

const vdrawPrimitiveTable* vdrawGetBuiltinPrimitives(int kind, int currentPoint) {
  return &builtin[std::size_t(kind + (currentPoint ? 0 : 5))];
}

void _vdrawSelectPrimitives() {
  vdrawState* s = m.current;
  int kind = vmatrixGetKind(s->matrix->device.classBits);
  m.selected = vdrawGetBuiltinPrimitives(kind, s->path->flags & vdrawPathCURRENT_POINT);
  const vdrawPrimitiveTable* override = s->binding->primitives;
  m.primitives = override ? override : m.selected;
}
