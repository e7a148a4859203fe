// The rectangle, arc and rounded-rectangle primitives by matrix kind: kinds
// 0-3 convert the user rectangles to device rectangles the driver draws
// natively; the general kind goes through paths.
#include <algorithm>
#include <cmath>
#include <vector>

#include "fw/gui/graphics/draw_internal.h"

namespace vdrawint {

namespace {

const vdrawDeviceTransform& device() { return m.current->matrix->device; }
int roundFixed(vfixed t) { return int((std::int64_t(t) + 32768) >> 16); }

std::vector<vrect> scratch;

vrect* room(int n) {
  if (int(scratch.size()) < n) scratch.resize(std::size_t(2 * n));
  return scratch.data();
}

// Device rectangles are cut to +-16000 pixels, where device points are
// kept: what lies beyond is beyond every device.
constexpr double kLimit = 16000;
vrect limited(double x0, double y0, double x1, double y1) {
  auto c = [](double v) { return std::clamp(v, -kLimit, kLimit); };
  x0 = c(x0), y0 = c(y0), x1 = c(x1), y1 = c(y1);
  return {std::int16_t(x0), std::int16_t(y0), std::int16_t(x1 - x0), std::int16_t(y1 - y0)};
}

// A float rectangle through the matrix: origin as a point, size as a distance.
vrect throughMatrix(const vrectFloat& r) {
  double x, y, w, h;
  m.selected->TransformPoint(r.x, r.y, &x, &y);
  m.selected->TransformDistance(r.width, r.height, &w, &h);
  auto round = [](double v) { return std::floor(std::clamp(v, -1e9, 1e9) + 0.5); };
  double ox = round(x), oy = round(y), ow = round(w), oh = round(h);
  if (ow < 0) ox += ow, ow = -ow;
  if (oh < 0) oy += oh, oh = -oh;
  return limited(ox, oy, ox + ow, oy + oh);
}

// A translation too large for the fixed form comes from the matrix itself.
double wholeTranslation(vfixed fixed, float exact) {
  if (fixed == 0x7FFFFFFF || fixed == vfixed(0x80000000u)) return std::floor(std::clamp(double(exact), -1e9, 1e9) + 0.5);
  return roundFixed(fixed);
}

template <int K>
const vrect* toDevice(const vrect* rects, int n) {
  if constexpr (K == 0) return rects;
  vrect* out = room(n);
  const vmatrix& mx = m.current->matrix->matrix;
  double tx = wholeTranslation(device().tx, mx.tx), ty = wholeTranslation(device().ty, mx.ty);
  for (int i = 0; i < n; ++i) {
    const vrect& r = rects[i];
    if constexpr (K == 1) {
      out[i] = limited(r.x + tx, r.y + ty, r.x + tx + r.width, r.y + ty + r.height);
    } else if constexpr (K == 2) {
      out[i] = limited(r.x + tx, ty - r.y - r.height, r.x + tx + r.width, ty - r.y);
    } else {
      vrectFloat f;
      vrectShortToFloat(&r, &f);
      out[i] = throughMatrix(f);
    }
  }
  return out;
}

const vrect* floatsToDevice(const vrectFloat* rects, int n) {
  vrect* out = room(n);
  for (int i = 0; i < n; ++i) out[i] = throughMatrix(rects[i]);
  return out;
}

void fillDevice(const vrect* r, int n) {
  vdrawSyncState(vdrawSYNC_FILL);
  m.driver->fillRects(m.data, r, n);
}
void frameDevice(const vrect* r, int n) {
  vdrawSyncState(vdrawSYNC_STROKE);
  m.driver->frameRects(m.data, r, n);
}

// clip := clip x the device rectangles, on a rectangle-list clip.
void clipDevice(const vrect* r, int n) {
  vdrawState* s = privateState();
  vdrawPath* clip = s->clip;
  vrect one = {0, 0, 0, 0};
  const vrect* result = &one;
  int count = 1;
  vrect* combined = nullptr;
  if (clip->used == 1 && n == 1) {
    vrectIntersect(vdrawPathRectangles(clip), r, &one);
  } else {
    combined = vrectCombineLists(vdrawPathRectangles(clip), r, clip->used, n, 1, 2, 3, &count);
    result = combined;
  }
  if (clip->refs == 1 && clip != vdrawPathGetEmptyClip() && clip->used == count && count > 0) {
    std::copy(result, result + count, vdrawPathRectangles(clip));
    vrectListGetBounds(result, count, &clip->bounds);
  } else {
    vdrawPathRelease(clip);
    s->clip = count > 0 ? vdrawPathNewRects(result, count) : vdrawPathNewRects(&one, 1);
  }
  s->dirty |= vdrawDIRTY_CLIP;
  if (combined) vrectDestroyList(combined);
  vdrawNewPath();
}

void deviceClipDevice(const vrect* r, int n) {
  vdrawPathRelease(m.deviceClip);
  m.deviceClip = vdrawPathNewRects(r, n);
  if (m.current->binding->flags & vdrawBIND_CLIP_TO_DEVICE) privateState()->dirty |= vdrawDIRTY_CLIP;
  vdrawNewPath();
}

bool rectClip() { return (m.current->clip->flags & vdrawPathKIND) == vdrawPathRECTS; }

// The angles of an arc primitive in 16.16 degrees, mirrored as the matrix mirrors.
void arcAngles(int a1, int a2, vfixed* start, vfixed* sweep) {
  int s = ((a1 % 360) + 360) % 360, e = ((a2 % 360) + 360) % 360;
  int w = e - s;
  if (w <= 0) w += 360;
  std::uint32_t bits = device().classBits;
  if (bits & vmatrixNEGATIVE_A) s = s > 180 ? 540 - s : 180 - s, w = -w;
  if (bits & vmatrixNEGATIVE_D) s = 360 - s, w = -w;
  *start = s * vfixedONE;
  *sweep = w * vfixedONE;
}

using DriverArcOp = void (*vdrawDriverRecord::*)(void*, const vrect*, int, vfixed, vfixed);

template <int K>
void arcs(const vrect* rects, int n, int a1, int a2, DriverArcOp op, unsigned sync) {
  if constexpr (K == 4) {
    bool chords = op == &vdrawDriverRecord::fillChords, pies = op == &vdrawDriverRecord::fillPies;
    withSavedState([&] {
      if (chords) vdrawSetArcMode(192);
      _vdrawArcPath(rects, n, a1, a2, pies);
      if (chords || pies)
        vdrawFill(0);
      else
        vdrawStroke();
    });
  } else {
    const vrect* r = toDevice<K>(rects, n);
    vfixed start, sweep;
    arcAngles(a1, a2, &start, &sweep);
    vdrawSyncState(sync);
    (m.driver->*op)(m.data, r, n, start, sweep);
  }
}

using DriverRoundOp = void (*vdrawDriverRecord::*)(void*, const vrect*, int, int, int);

template <int K>
void roundRects(const vrect* rects, int n, int corner, bool fill) {
  if constexpr (K == 4) {
    withSavedState([&] {
      if (fill) vdrawSetArcMode(192);
      _vdrawRoundRectPath(rects, n, corner);
      if (fill)
        vdrawFill(0);
      else
        vdrawStroke();
    });
  } else {
    const vrect* r = toDevice<K>(rects, n);
    int w = corner, h = corner;
    if constexpr (K == 3) {
      double cx, cy;
      m.selected->TransformDistance(corner, corner, &cx, &cy);
      w = int(std::floor(std::abs(cx) + 0.5)), h = int(std::floor(std::abs(cy) + 0.5));
    }
    vdrawSyncState(fill ? vdrawSYNC_FILL : vdrawSYNC_STROKE);
    DriverRoundOp op = fill ? &vdrawDriverRecord::fillRoundRects : &vdrawDriverRecord::frameRoundRects;
    (m.driver->*op)(m.data, r, n, w, h);
  }
}

}  // namespace

template <int K>
void RectOps<K>::fill(const vrect* rects, int n) {
  if constexpr (K == 4)
    withSavedState([&] {
      _vdrawRectPath(rects, n);
      vdrawFill(0);
    });
  else
    fillDevice(toDevice<K>(rects, n), n);
}

template <int K>
void RectOps<K>::fillF(const vrectFloat* rects, int n) {
  if constexpr (K == 4)
    withSavedState([&] {
      _vdrawRectPathF(rects, n);
      vdrawFill(0);
    });
  else
    fillDevice(floatsToDevice(rects, n), n);
}

template <int K>
void RectOps<K>::frame(const vrect* rects, int n) {
  if constexpr (K == 4)
    withSavedState([&] {
      _vdrawRectPath(rects, n);
      vdrawStroke();
    });
  else
    frameDevice(toDevice<K>(rects, n), n);
}

template <int K>
void RectOps<K>::frameF(const vrectFloat* rects, int n) {
  if constexpr (K == 4)
    withSavedState([&] {
      _vdrawRectPathF(rects, n);
      vdrawStroke();
    });
  else
    frameDevice(floatsToDevice(rects, n), n);
}

template <int K>
void RectOps<K>::clip(const vrect* rects, int n) {
  if (K == 4 || !rectClip()) {
    _vdrawRectPath(rects, n);
    vdrawClip(0);
    return vdrawNewPath();
  }
  clipDevice(toDevice<K>(rects, n), n);
}

template <int K>
void RectOps<K>::clipF(const vrectFloat* rects, int n) {
  if (K == 4 || !rectClip()) {
    _vdrawRectPathF(rects, n);
    vdrawClip(0);
    return vdrawNewPath();
  }
  clipDevice(floatsToDevice(rects, n), n);
}

template <int K>
void RectOps<K>::deviceClip(const vrect* rects, int n) {
  if (K == 4) {
    _vdrawRectPath(rects, n);
    return vdrawSetDeviceClipToPath(0);
  }
  deviceClipDevice(toDevice<K>(rects, n), n);
}

template <int K>
void RectOps<K>::deviceClipF(const vrectFloat* rects, int n) {
  if (K == 4) {
    _vdrawRectPathF(rects, n);
    return vdrawSetDeviceClipToPath(0);
  }
  deviceClipDevice(floatsToDevice(rects, n), n);
}

template <int K>
void RectOps<K>::fillChords(const vrect* rects, int n, int a1, int a2) {
  arcs<K>(rects, n, a1, a2, &vdrawDriverRecord::fillChords, vdrawSYNC_FILL);
}
template <int K>
void RectOps<K>::fillPies(const vrect* rects, int n, int a1, int a2) {
  arcs<K>(rects, n, a1, a2, &vdrawDriverRecord::fillPies, vdrawSYNC_FILL);
}
template <int K>
void RectOps<K>::frameArcs(const vrect* rects, int n, int a1, int a2) {
  arcs<K>(rects, n, a1, a2, &vdrawDriverRecord::frameArcs, vdrawSYNC_STROKE);
}
template <int K>
void RectOps<K>::fillRoundRects(const vrect* rects, int n, int corner) {
  roundRects<K>(rects, n, corner, true);
}
template <int K>
void RectOps<K>::frameRoundRects(const vrect* rects, int n, int corner) {
  roundRects<K>(rects, n, corner, false);
}

template struct RectOps<0>;
template struct RectOps<1>;
template struct RectOps<2>;
template struct RectOps<3>;
template struct RectOps<4>;

}  // namespace vdrawint
