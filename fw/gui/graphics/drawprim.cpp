// The ten built-in primitive tables: one per matrix kind for a path with a
// current point, then one per kind for a path without one. They differ in
// how user coordinates become 16.16 device values.
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
vfixed add(vfixed a, vfixed b) { return vfixed(std::uint32_t(a) + std::uint32_t(b)); }
vfixed sub(vfixed a, vfixed b) { return vfixed(std::uint32_t(a) - std::uint32_t(b)); }
vfixed whole(int v) { return vfixed(std::uint32_t(v) << 16); }

// A user point in device units, by kind.
template <int K>
void point(double x, double y, bool integral, vfixed* fx, vfixed* fy) {
  if constexpr (K <= 2) {
    vfixed ux = integral ? whole(int(x)) : vfixedFromDouble(x);
    vfixed uy = integral ? whole(int(y)) : vfixedFromDouble(y);
    if constexpr (K == 0) {
      *fx = ux, *fy = uy;
    } else if constexpr (K == 1) {
      *fx = add(ux, device().tx), *fy = add(uy, device().ty);
    } else {
      *fx = add(ux, device().tx), *fy = sub(device().ty, uy);
    }
  } else {
    double dx, dy;
    vmatrixTransformPoint(&userMatrix(), x, y, &dx, &dy);
    *fx = vfixedFromDouble(dx), *fy = vfixedFromDouble(dy);
  }
}

template <int K>
void distance(double x, double y, bool integral, vfixed* fx, vfixed* fy) {
  if constexpr (K <= 2) {
    *fx = integral ? whole(int(x)) : vfixedFromDouble(x);
    vfixed uy = integral ? whole(int(y)) : vfixedFromDouble(y);
    *fy = K == 2 ? sub(0, uy) : uy;
  } else {
    double dx, dy;
    vmatrixTransformVector(&userMatrix(), x, y, &dx, &dy);
    *fx = vfixedFromDouble(dx), *fy = vfixedFromDouble(dy);
  }
}

// A user point (or distance) converted by kind, then handed to a path operation.
template <int K, bool Absolute, void (*Op)(vfixed, vfixed)>
void convertThen(double x, double y, bool integral) {
  vfixed fx, fy;
  if constexpr (Absolute)
    point<K>(x, y, integral, &fx, &fy);
  else
    distance<K>(x, y, integral, &fx, &fy);
  Op(fx, fy);
}
template <int K>
constexpr auto moveTo = convertThen<K, true, pathMoveTo>;
template <int K>
constexpr auto lineTo = convertThen<K, true, pathLineTo>;
template <int K>
constexpr auto rLineTo = convertThen<K, false, pathRLineTo>;
template <int K>
constexpr auto rMoveTo = convertThen<K, false, pathRMoveTo>;

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
