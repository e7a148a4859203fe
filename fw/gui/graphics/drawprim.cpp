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

[[noreturn]] void noPoint() { _vexGenerate(&vdrawNoCurrentPointClass, vexEnd); }
[[noreturn]] void unbuilt(const char* what) { vexGenerateMessage(&vexModuleUnimplementedClass, what); }

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
  t.Arc = [](double, double, double, double, double, int) { unbuilt("Arc is not built"); };
  t.ArcTo = [](double, double, double, double, double, double*, double*, double*, double*) {
    unbuilt("ArcTo is not built");
  };
  t.ClipRects = [](const vrect*, int) { unbuilt("ClipRects is not built"); };
  t.ClipRectsF = [](const vrectFloat*, int) { unbuilt("ClipRectsF is not built"); };
  t.FillRects = [](const vrect*, int) { unbuilt("FillRects is not built"); };
  t.FillRectsF = [](const vrectFloat*, int) { unbuilt("FillRectsF is not built"); };
  t.FrameRects = [](const vrect*, int) { unbuilt("FrameRects is not built"); };
  t.FrameRectsF = [](const vrectFloat*, int) { unbuilt("FrameRectsF is not built"); };
  t.SetDeviceClipRects = [](const vrect*, int) { unbuilt("SetDeviceClipRects is not built"); };
  t.SetDeviceClipRectsF = [](const vrectFloat*, int) { unbuilt("SetDeviceClipRectsF is not built"); };
  t.ImageMatrix = [](vimage*, const vmatrix*) { unbuilt("ImageMatrix is not built"); };
  t.ImageMaskMatrix = [](vimage*, const vmatrix*) { unbuilt("ImageMaskMatrix is not built"); };
  t.ImageMaskPathMatrix = [](vimage*, const vmatrix*) { unbuilt("ImageMaskPathMatrix is not built"); };
  t.FillChords = [](const vrect*, int, int, int) { unbuilt("FillChords is not built"); };
  t.FillPies = [](const vrect*, int, int, int) { unbuilt("FillPies is not built"); };
  t.FrameArcs = [](const vrect*, int, int, int) { unbuilt("FrameArcs is not built"); };
  t.FillRoundRects = [](const vrect*, int, int) { unbuilt("FillRoundRects is not built"); };
  t.FrameRoundRects = [](const vrect*, int, int) { unbuilt("FrameRoundRects is not built"); };
  if constexpr (P) {
    t.ClosePath = [] { pathClose(); };
    t.CurveTo = [](double, double, double, double, double, double) { unbuilt("CurveTo is not built"); };
    t.LineTo = [](int x, int y) { lineTo<K>(x, y, true); };
    t.LineToF = [](double x, double y) { lineTo<K>(x, y, false); };
    t.NewPath = [] { pathNew(); };
    t.RCurveTo = [](double, double, double, double, double, double) { unbuilt("RCurveTo is not built"); };
    t.RLineTo = [](int x, int y) { rLineTo<K>(x, y, true); };
    t.RLineToF = [](double x, double y) { rLineTo<K>(x, y, false); };
    t.RMoveTo = [](int x, int y) { rMoveTo<K>(x, y, true); };
    t.RMoveToF = [](double x, double y) { rMoveTo<K>(x, y, false); };
    t.RRCurveTo = [](double, double, double, double, double, double) { unbuilt("RRCurveTo is not built"); };
    t.Clip = [](int) { unbuilt("Clip is not built"); };
    t.Fill = [](int) { unbuilt("Fill is not built"); };
    t.Stroke = [] { unbuilt("Stroke is not built"); };
    t.SetDeviceClipToPath = [](int) { unbuilt("SetDeviceClipToPath is not built"); };
    t.AWidthShow = [](double, double, int, double, double, const char*, int) { unbuilt("AWidthShow is not built"); };
    t.Show = [](const char*, int) { unbuilt("Show is not built"); };
    t.XYShow = [](const char*, int, const float*, int) { unbuilt("XYShow is not built"); };
    t.Image = [](vimage*) { unbuilt("Image is not built"); };
    t.ImageMask = [](vimage*) { unbuilt("ImageMask is not built"); };
    t.CharPath = [](const char*, int) { unbuilt("CharPath is not built"); };
    t.ImageMaskPath = [](vimage*) { unbuilt("ImageMaskPath is not built"); };
  } else {
    t.ClosePath = [] {};
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
