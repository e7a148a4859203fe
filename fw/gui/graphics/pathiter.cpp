// Element iteration in user coordinates, saved paths realized under a later
// matrix, and the rectangle getters that turn device rectangles back into
// user rectangles.
#include <algorithm>
#include <cmath>
#include <vector>

#include "fw/gui/graphics/draw_internal.h"

namespace vdrawint {

namespace {

[[noreturn]] void unimplemented(const char* what) { vexGenerateMessage(&vexModuleUnimplementedClass, what); }

bool isElements(const vdrawPath* p) { return (p->flags & vdrawPathKIND) == vdrawPathELEMENTS; }

// Moves the user point by a device offset (16.16 units).
void advance(vdrawPathIter* it, double dx, double dy, double* ux, double* uy) {
  double ox, oy;
  m.selected->InverseTransformDistance(dx / 65536, dy / 65536, &ox, &oy);
  *ux = it->x + ox;
  *uy = it->y + oy;
}

// Delivers the cubic p0 (the current point) .. p3 in device units as a curve.
void deliverCurve(vdrawPathIter* it, const double* c, double p3x, double p3y) {
  double x0 = it->fx, y0 = it->fy;
  advance(it, c[0] - x0, c[1] - y0, &it->x1, &it->y1);
  advance(it, c[2] - x0, c[3] - y0, &it->x2, &it->y2);
  advance(it, p3x - x0, p3y - y0, &it->x, &it->y);
  it->fx = p3x, it->fy = p3y;
  it->kind = vdrawCURVETO;
}

// The next piece of at most 90 degrees of the arc at it->next.
void deliverArcPiece(vdrawPathIter* it) {
  const vdrawElement* e = it->next;
  double rx = e[1].x, ry = e[1].y;
  double step = std::abs(it->arcLeft) > 90 ? std::copysign(90.0, it->arcLeft) : it->arcLeft;
  bool last = step == it->arcLeft;
  double from = it->arcStart, to = from + step, c, s, mc, ms, hc, hs;
  double px, py;
  if (last) {
    px = it->arcCx - e[0].x + e[3].x, py = it->arcCy - e[0].y + e[3].y;
  } else {
    degreesCosSin(to, &c, &s);
    px = std::nearbyint(it->arcCx + rx * c), py = std::nearbyint(it->arcCy + ry * s);
  }
  degreesCosSin((from + to) / 2, &mc, &ms);
  degreesCosSin(step / 2, &hc, &hs);
  double v[4];
  arcPieceControls(it->fx, it->fy, it->arcCx + rx * mc / hc, it->arcCy + ry * ms / hc, px, py, v);
  deliverCurve(it, v, px, py);
  it->arcStart = to;
  it->arcLeft = last ? 0 : it->arcLeft - step;
  if (last) it->next += 4;
}

}  // namespace

void pathIterBegin(vdrawPathIter* it) {
  vdrawPath* p = m.current->path;
  if (!isElements(p)) unimplemented("unable to iterate non-element paths");
  ++p->refs;
  *it = {};
  it->path = p;
  it->next = vdrawPathElements(p);
  it->kind = -1;
}

int pathIterNext(vdrawPathIter* it) {
  if (it->arcLeft != 0) {
    deliverArcPiece(it);
    ++it->position;
    return 1;
  }
  const vdrawElement* end = vdrawPathElements(it->path) + it->path->used;
  const vdrawElement* e = it->next;
  if (e >= end) return 0;
  switch (e->kind) {
    case vdrawMOVETO:
      it->fx = e->x, it->fy = e->y;
      m.selected->InverseTransformPoint(e->x / 65536.0, e->y / 65536.0, &it->x, &it->y);
      it->next += 1;
      break;
    case vdrawLINETO:
    case vdrawCLOSEPATH:
      advance(it, e->x, e->y, &it->x, &it->y);
      it->fx += e->x, it->fy += e->y;
      it->next += 1;
      break;
    case vdrawCURVETO: {
      double c[4] = {it->fx + e[0].x, it->fy + e[0].y, 0, 0};
      c[2] = c[0] + e[1].x, c[3] = c[1] + e[1].y;
      deliverCurve(it, c, c[2] + e[2].x, c[3] + e[2].y);
      it->next += 3;
      break;
    }
    case vdrawARC:
      it->arcCx = it->fx + e[0].x, it->arcCy = it->fy + e[0].y;
      it->arcStart = e[2].x / 65536.0;
      it->arcLeft = e[2].y / 65536.0;
      if (it->arcLeft == 0) {
        advance(it, e[3].x, e[3].y, &it->x, &it->y);
        it->fx += e[3].x, it->fy += e[3].y;
        it->next += 4;
        it->kind = vdrawLINETO;
        break;
      }
      deliverArcPiece(it);
      break;
    case vdrawTANGENT_ARC: {
      double kx = it->fx + e[2].x, ky = it->fy + e[2].y, v[4];
      arcPieceControls(it->fx, it->fy, kx, ky, kx + e[3].x, ky + e[3].y, v);
      deliverCurve(it, v, kx + e[3].x, ky + e[3].y);
      it->next += 4;
      break;
    }
    default: _vexGenerate(&vexValueClass, vexEnd);
  }
  if (e->kind != vdrawCURVETO && e->kind < vdrawARC) it->kind = e->kind;
  ++it->position;
  return 1;
}

void pathIterEnd(vdrawPathIter* it) {
  if (it->path) vdrawPathRelease(it->path);
  it->path = nullptr;
}

// ---- Saved paths.

namespace {

vpool* savedPool = nullptr;

const vmatrix& currentInverse() {
  vdrawTransform* t = m.current->matrix;
  if (t->flags & 1) {
    vmatrixInvert(&t->matrix, &t->inverse);
    t->flags &= std::uint16_t(~1);
  }
  return t->inverse;
}

vfixed fixedOf(double v) { return vfixed(std::llround(std::clamp(v, -2147483648.0, 2147483647.0))); }

// The saved path under the current matrix: a new reference.
vdrawPath* realize(vdrawSavedPath* saved) {
  vdrawPath* p = saved->path;
  if (!isElements(p)) unimplemented("unable to realize non-element paths");
  const vdrawDeviceTransform& now = m.current->matrix->device;
  const vdrawDeviceTransform& then = saved->device;
  bool sameShape = now.a == then.a && now.b == then.b && now.c == then.c && now.d == then.d;
  if (sameShape && now.tx == then.tx && now.ty == then.ty) {
    ++p->refs;
    return p;
  }
  vdrawPath* r = vdrawPathClone(p, p->used);
  vdrawElement* e = vdrawPathElements(r);
  vdrawElement* end = e + r->used;
  if (sameShape) {
    auto dx = std::uint32_t(now.tx) - std::uint32_t(then.tx), dy = std::uint32_t(now.ty) - std::uint32_t(then.ty);
    auto move = [&](vfixed* x, vfixed* y) { *x = vfixed(std::uint32_t(*x) + dx), *y = vfixed(std::uint32_t(*y) + dy); };
    for (; e < end; ++e)
      if (e->kind == vdrawMOVETO) move(&e->x, &e->y);
    move(&r->x, &r->y);
    move(&r->startX, &r->startY);
    return r;
  }
  vmatrix through;
  vmatrixConcat(&saved->inverse, &m.current->matrix->matrix, &through);
  auto point = [&](vfixed* x, vfixed* y) {
    double ox, oy;
    vmatrixTransformPoint(&through, *x / 65536.0, *y / 65536.0, &ox, &oy);
    *x = fixedOf(ox * 65536), *y = fixedOf(oy * 65536);
  };
  auto distance = [&](vfixed* x, vfixed* y) {
    double ox, oy;
    vmatrixTransformVector(&through, *x / 65536.0, *y / 65536.0, &ox, &oy);
    *x = fixedOf(ox * 65536), *y = fixedOf(oy * 65536);
  };
  for (vdrawElement* el = e; el < end; el += elementRecords(el->kind)) {
    if (el->kind == vdrawMOVETO) {
      point(&el->x, &el->y);
      continue;
    }
    for (int i = 0; i < elementRecords(el->kind); ++i)
      if (!(el->kind == vdrawARC && i == 2)) distance(&el[i].x, &el[i].y);  // the angles stay
  }
  point(&r->x, &r->y);
  point(&r->startX, &r->startY);
  return r;
}

// Runs op on the realized path as the current path, then puts the old one back.
template <class Op>
void onRealized(vdrawSavedPath* saved, Op op) {
  vdrawPath* realized = realize(saved);
  vdrawState* s = privateState();
  vdrawPath* old = s->path;
  s->path = realized;
  _vdrawSelectPrimitives();
  auto back = [&] {
    vdrawState* now = privateState();
    vdrawPathRelease(now->path);
    now->path = old;
    _vdrawSelectPrimitives();
  };
  vexGuard(op, [&](vexHandler&) {
    back();
    _vexGenerate(nullptr, vexEnd);
  });
  back();
}

}  // namespace

vdrawSavedPath* savePath() {
  if (!savedPool) savedPool = vpoolCreate(sizeof(vdrawSavedPath));
  auto* saved = static_cast<vdrawSavedPath*>(vpoolAlloc(savedPool));
  saved->device = m.current->matrix->device;
  saved->inverse = currentInverse();
  saved->path = m.current->path;
  ++saved->path->refs;
  return saved;
}

void freeSavedPath(vdrawSavedPath* saved) {
  vdrawPathRelease(saved->path);
  vpoolFree(savedPool, saved);
}

void appendSavedPath(vdrawSavedPath* saved) {
  if (!isElements(saved->path)) unimplemented("unable to append non-element paths");
  vdrawPath* r = realize(saved);
  vexGuard([&] { appendElements(r); },
           [&](vexHandler&) {
             vdrawPathRelease(r);
             _vexGenerate(nullptr, vexEnd);
           });
  vdrawPathRelease(r);
}

void fillSavedPath(vdrawSavedPath* saved, int rule) { onRealized(saved, [&] { pathFill(rule); }); }
void strokeSavedPath(vdrawSavedPath* saved) { onRealized(saved, [] { pathStroke(); }); }

// ---- Device rectangles back to user rectangles.

namespace {

std::vector<vrect> shortOut;
std::vector<vrectFloat> floatOut;

void toUser(vdrawPath* source, vrect** rects, int* count) {
  vrect* in;
  int n;
  vdrawPathRects(source, &in, &n);
  const vdrawDeviceTransform& d = m.current->matrix->device;
  std::uint32_t bits = d.classBits;
  if (int(shortOut.size()) < n) shortOut.resize(std::size_t(2 * n));
  int tx = int((std::int64_t(d.tx) + 32768) >> 16), ty = int((std::int64_t(d.ty) + 32768) >> 16);
  for (int i = 0; i < n; ++i) {
    const vrect& r = in[i];
    vrect& o = shortOut[std::size_t(i)];
    if (bits & (vmatrixNEGATIVE_A | vmatrixSCALE_A | vmatrixSCALE_D | vmatrixSKEW)) {
      vrectFloat f, u;
      vrectShortToFloat(&r, &f);
      vmatrixTransformRect(&currentInverse(), &f, &u);
      vrectFloatToShort(&u, &o);
    } else if (bits & vmatrixNEGATIVE_D) {
      o = {std::int16_t(r.x - tx), std::int16_t(ty - r.y - r.height), r.width, r.height};
    } else if (bits & (vmatrixTX | vmatrixTY)) {
      o = {std::int16_t(r.x - tx), std::int16_t(r.y - ty), r.width, r.height};
    } else {
      o = r;
    }
  }
  *rects = shortOut.data();
  *count = n;
}

void toUserFloat(vdrawPath* source, vrectFloat** rects, int* count) {
  vrect* in;
  int n;
  vdrawPathRects(source, &in, &n);
  if (int(floatOut.size()) < n) floatOut.resize(std::size_t(2 * n));
  for (int i = 0; i < n; ++i) {
    vrectFloat f;
    vrectShortToFloat(&in[i], &f);
    vmatrixTransformRect(&currentInverse(), &f, &floatOut[std::size_t(i)]);
  }
  *rects = floatOut.data();
  *count = n;
}

}  // namespace

void getClipRects(vrect** r, int* n) { toUser(m.current->clip, r, n); }
void getClipRectsFloat(vrectFloat** r, int* n) { toUserFloat(m.current->clip, r, n); }
void getPathRects(vrect** r, int* n) { toUser(m.current->path, r, n); }
void getPathRectsFloat(vrectFloat** r, int* n) { toUserFloat(m.current->path, r, n); }
void getDeviceClipRects(vrect** r, int* n) { toUser(m.deviceClip, r, n); }
void getDeviceClipRectsFloat(vrectFloat** r, int* n) { toUserFloat(m.deviceClip, r, n); }

}  // namespace vdrawint
