// Rendering element paths: curves and arcs flattened in fixed point into
// polygons and polylines for the driver, arcs handed over natively where the
// driver can draw them, and the per-sub-path bounds.
#include <algorithm>
#include <cmath>
#include <vector>

#include "fw/gui/graphics/draw_internal.h"
#include "fw/gui/graphics/image.h"

namespace vdrawint {

namespace {

constexpr double kCurve = 4.0 * (1.4142135623730951 - 1.0) / 3.0;
constexpr int kDepthLimit = 12;  // bounds the pieces of a curve whatever the tolerance

vfixed add(vfixed a, vfixed b) { return vfixed(std::uint32_t(a) + std::uint32_t(b)); }
// The midpoint in 64 bits: 32-bit sums overflow beyond 16,384 pixels.
vfixed mid(vfixed a, vfixed b) { return vfixed((std::int64_t(a) + b) >> 1); }
FixedPoint mid(FixedPoint a, FixedPoint b) { return {mid(a.x, b.x), mid(a.y, b.y)}; }
std::int16_t round16(vfixed v) { return std::int16_t((std::int64_t(v) + 32768) >> 16); }
vfixed toFixed(double v) { return vfixed(std::llround(std::clamp(v, -2147483648.0, 2147483647.0))); }

bool small(vfixed dx, vfixed dy, vfixed t) {
  if (!(dx > -t && dx < t && dy > -t && dy < t)) return false;
  vfixed h = t / 2;
  if (dx > -h && dx < h && dy > -h && dy < h) return true;
  std::int64_t len = ((std::int64_t(dx) * dx) >> 16) + ((std::int64_t(dy) * dy) >> 16);
  return len < ((std::int64_t(t) * t) >> 16);
}

void flatten(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3, vfixed t, int depth,
             std::vector<FixedPoint>* out) {
  for (;;) {
    FixedPoint a = mid(p0, p1), b = mid(p1, p2), c = mid(p2, p3);
    FixedPoint d = mid(a, b), e = mid(b, c), f = mid(d, e);
    if (depth >= kDepthLimit ||
        (small(d.x - p1.x, d.y - p1.y, t) && small(e.x - p2.x, e.y - p2.y, t))) {
      out->push_back(p1);
      out->push_back(p2);
      out->push_back(p3);
      return;
    }
    flatten(p0, a, d, f, t, depth + 1, out);
    p0 = f, p1 = e, p2 = c;
    ++depth;
  }
}

// An arc element read from its four records, at the current point.
struct ArcElement {
  double cx, cy, rx, ry;    // fixed units
  double start, sweep;      // degrees
  FixedPoint end;
};

ArcElement readArc(const vdrawElement* e, FixedPoint at) {
  return {double(at.x) + e[0].x, double(at.y) + e[0].y, double(e[1].x), double(e[1].y),
          e[2].x / 65536.0, e[2].y / 65536.0, {add(at.x, e[3].x), add(at.y, e[3].y)}};
}

// Its pieces of at most 90 degrees as cubics, each flattened.
void flattenArc(const ArcElement& a, FixedPoint at, vfixed t, std::vector<FixedPoint>* out) {
  int pieces = std::max(1, int(std::ceil(std::abs(a.sweep) / 90.0 - 1e-9)));
  double step = a.sweep / pieces;
  FixedPoint p0 = at;
  for (int i = 0; i < pieces; ++i) {
    double from = a.start + i * step, to = i + 1 == pieces ? a.start + a.sweep : from + step;
    double c, s, hc, hs;
    FixedPoint p1 = a.end;
    if (i + 1 < pieces) {
      degreesCosSin(to, &c, &s);
      p1 = {toFixed(a.cx + a.rx * c), toFixed(a.cy + a.ry * s)};
    }
    degreesCosSin((from + to) / 2, &c, &s);
    degreesCosSin((to - from) / 2, &hc, &hs);
    double v[4];
    arcPieceControls(p0.x, p0.y, a.cx + a.rx * c / hc, a.cy + a.ry * s / hc, p1.x, p1.y, v);
    flatten(p0, {toFixed(v[0]), toFixed(v[1])}, {toFixed(v[2]), toFixed(v[3])}, p1, t, 0, out);
    p0 = p1;
  }
}

// A tangent arc's one cubic: from the current point through its corner.
void flattenTangentArc(const vdrawElement* e, FixedPoint at, vfixed t, std::vector<FixedPoint>* out) {
  FixedPoint k = {add(at.x, e[2].x), add(at.y, e[2].y)}, p1 = {add(k.x, e[3].x), add(k.y, e[3].y)};
  double v[4];
  arcPieceControls(at.x, at.y, k.x, k.y, p1.x, p1.y, v);
  flatten(at, {toFixed(v[0]), toFixed(v[1])}, {toFixed(v[2]), toFixed(v[3])}, p1, t, 0, out);
}

// The driver's box of an arc, with its start and sweep in 16.16 degrees.
struct DriverArc {
  vrect box;
  vfixed start, sweep;
};

vrect boxAround(double cx, double cy, double rx, double ry) {
  auto r = [](double v) { return round16(toFixed(v)); };
  std::int16_t x0 = r(cx - rx), y0 = r(cy - ry);
  return {x0, y0, std::int16_t(r(cx + rx) - x0), std::int16_t(r(cy + ry) - y0)};
}

DriverArc driverArc(const vdrawElement* e, FixedPoint at) {
  if (e[0].kind == vdrawARC) {
    ArcElement a = readArc(e, at);
    return {boxAround(a.cx, a.cy, a.rx, a.ry), e[2].x, e[2].y};
  }
  double cx = double(at.x) + e[0].x, cy = double(at.y) + e[0].y;
  double ex = double(at.x) + e[2].x + e[3].x, ey = double(at.y) + e[2].y + e[3].y;
  double start = std::atan2(at.y - cy, at.x - cx) * 180 / M_PI;
  double sweep = std::atan2(ey - cy, ex - cx) * 180 / M_PI - start;
  while (sweep <= -180) sweep += 360;
  while (sweep > 180) sweep -= 360;
  if (start < 0) start += 360;
  return {boxAround(cx, cy, e[1].x, e[1].y), vfixedFromDouble(start), vfixedFromDouble(sweep)};
}

FixedPoint endOf(const vdrawElement* e, FixedPoint at) {
  int n = elementRecords(e->kind);
  if (e->kind == vdrawMOVETO) return {e->x, e->y};
  if (e->kind == vdrawARC) return {add(at.x, e[3].x), add(at.y, e[3].y)};
  for (int i = 0; i < n; ++i) at = {add(at.x, e[i].x), add(at.y, e[i].y)};
  return at;
}

// A sub-path: elements [begin, end) of the path, begin at its moveto (or not).
struct SubPath {
  const vdrawElement* begin;
  const vdrawElement* end;
};

std::vector<SubPath> subPaths(vdrawPath* p) {
  std::vector<SubPath> out;
  const vdrawElement* e = vdrawPathElements(p);
  const vdrawElement* last = e + p->used;
  const vdrawElement* begin = e;
  for (; e < last; e += elementRecords(e->kind)) {
    if (e->kind == vdrawMOVETO && e != begin) {
      out.push_back({begin, e});
      begin = e;
    }
  }
  if (begin < last) out.push_back({begin, last});
  return out;
}

vfixed tolerance() { return std::max<vfixed>(m.current->flatness / 2, 1); }

// Sends the gathered points and starts again at the last of them.
struct Gather {
  std::vector<FixedPoint> fixed;
  std::vector<vpoint> points;
  void send(void (*op)(void*, const vpoint*, int), int least) {
    points.clear();
    for (FixedPoint f : fixed) points.push_back({round16(f.x), round16(f.y)});
    if (int(points.size()) >= least) op(m.data, points.data(), int(points.size()));
    FixedPoint keep = fixed.empty() ? FixedPoint{0, 0} : fixed.back();
    fixed.assign(1, keep);
  }
};

bool isArc(std::int32_t kind) { return kind == vdrawARC || kind == vdrawTANGENT_ARC; }

// What a sub-path of one arc (or a short lineto then an arc) is, if it is.
const vdrawElement* loneArc(const SubPath& s, bool* wedge) {
  const vdrawElement* e = s.begin;
  if (e < s.end && e->kind == vdrawMOVETO) ++e;
  *wedge = false;
  // A wedge: from the centre out to the arc, so the arc's centre is where the lineto began.
  if (e < s.end && e->kind == vdrawLINETO && e + 1 < s.end && isArc(e[1].kind) &&
      std::abs(std::int64_t(e->x) + e[1].x) <= vfixedONE && std::abs(std::int64_t(e->y) + e[1].y) <= vfixedONE) {
    *wedge = true;
    ++e;
  }
  if (e >= s.end || !isArc(e->kind)) return nullptr;
  const vdrawElement* after = e + 4;
  if (after < s.end && after->kind == vdrawCLOSEPATH) ++after;
  return after == s.end ? e : nullptr;
}

}  // namespace

int elementRecords(std::int32_t kind) {
  switch (kind) {
    case vdrawMOVETO: case vdrawLINETO: case vdrawCLOSEPATH: return 1;
    case vdrawCURVETO: return 3;
    case vdrawARC: case vdrawTANGENT_ARC: return 4;
    default: _vexGenerate(&vexValueClass, vexEnd);
  }
}

void degreesCosSin(double degrees, double* c, double* s) {
  double a = std::fmod(degrees, 360.0);
  if (a < 0) a += 360;
  double q = a / 45;
  if (q == std::floor(q)) {
    constexpr double h = 0.70710678118654752440;
    static const double cs[8][2] = {{1, 0}, {h, h}, {0, 1}, {-h, h}, {-1, 0}, {-h, -h}, {0, -1}, {h, -h}};
    int i = int(q) % 8;
    *c = cs[i][0];
    *s = cs[i][1];
    return;
  }
  *c = std::cos(a * M_PI / 180);
  *s = std::sin(a * M_PI / 180);
}

void arcPieceControls(double p0x, double p0y, double kx, double ky, double p1x, double p1y, double* out) {
  out[0] = p0x + kCurve * (kx - p0x);
  out[1] = p0y + kCurve * (ky - p0y);
  out[2] = kx + (1 - kCurve) * (p1x - kx);
  out[3] = ky + (1 - kCurve) * (p1y - ky);
}

void flattenCurve(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3, vfixed t,
                  std::vector<FixedPoint>* out) {
  flatten(p0, p1, p2, p3, t, 0, out);
}

// Appends to g what one element adds to a polygon; arcs flattened.
static FixedPoint gatherElement(const vdrawElement* e, FixedPoint at, vfixed t, Gather* g) {
  switch (e->kind) {
    case vdrawCURVETO: {
      FixedPoint p1 = endOf(e, at), c1 = {add(at.x, e[0].x), add(at.y, e[0].y)};
      FixedPoint c2 = {add(c1.x, e[1].x), add(c1.y, e[1].y)};
      flatten(at, c1, c2, p1, t, 0, &g->fixed);
      return p1;
    }
    case vdrawARC: flattenArc(readArc(e, at), at, t, &g->fixed); return endOf(e, at);
    case vdrawTANGENT_ARC: flattenTangentArc(e, at, t, &g->fixed); return endOf(e, at);
    default: {
      FixedPoint to = endOf(e, at);
      g->fixed.push_back(to);
      return to;
    }
  }
}

void fillElements(vdrawPath* p) {
  vdrawSyncState(vdrawSYNC_FILL);
  bool chords = (m.current->flags & vdrawARC_MASK) == 192;
  vfixed t = tolerance();
  Gather g;
  FixedPoint at = {p->x, p->y};
  for (const SubPath& s : subPaths(p)) {
    g.fixed.clear();
    bool wedge;
    if (const vdrawElement* arc = loneArc(s, &wedge)) {
      at = s.begin->kind == vdrawMOVETO ? FixedPoint{s.begin->x, s.begin->y} : at;
      if (wedge) at = endOf(arc - 1, at);
      DriverArc d = driverArc(arc, at);
      (wedge ? m.driver->fillPies : m.driver->fillChords)(m.data, &d.box, 1, d.start, d.sweep);
      at = endOf(arc, at);
      continue;
    }
    for (const vdrawElement* e = s.begin; e < s.end; e += elementRecords(e->kind)) {
      if (e->kind == vdrawMOVETO || e->kind == vdrawCLOSEPATH) {
        if (e->kind == vdrawCLOSEPATH) g.send(m.driver->fillPolygon, 3);
        at = endOf(e, at);
        g.fixed.assign(1, at);
        continue;
      }
      if (chords && isArc(e->kind)) {
        DriverArc d = driverArc(e, at);
        m.driver->fillChords(m.data, &d.box, 1, d.start, d.sweep);
        at = endOf(e, at);
        g.fixed.push_back(at);
        continue;
      }
      at = gatherElement(e, at, t, &g);
    }
    g.send(m.driver->fillPolygon, 3);
  }
}

// Each sub-path closed and joined to the first one's start by a bridge
// drawn there and back, which adds nothing to any winding.
void fillElementsAsOne(vdrawPath* p) {
  vdrawSyncState(vdrawSYNC_FILL);
  vfixed t = tolerance();
  Gather g;
  std::vector<FixedPoint> ring;
  FixedPoint at = {p->x, p->y};
  for (const SubPath& s : subPaths(p)) {
    g.fixed.clear();
    for (const vdrawElement* e = s.begin; e < s.end; e += elementRecords(e->kind)) {
      if (e->kind == vdrawMOVETO) {
        at = endOf(e, at);
        g.fixed.assign(1, at);
        continue;
      }
      if (g.fixed.empty()) g.fixed.push_back(at);
      at = gatherElement(e, at, t, &g);
    }
    if (g.fixed.size() < 3) continue;
    FixedPoint anchor = ring.empty() ? g.fixed[0] : ring[0];
    ring.insert(ring.end(), g.fixed.begin(), g.fixed.end());
    if (!(ring.back().x == g.fixed[0].x && ring.back().y == g.fixed[0].y)) ring.push_back(g.fixed[0]);
    if (!(anchor.x == g.fixed[0].x && anchor.y == g.fixed[0].y)) ring.push_back(anchor);
  }
  g.fixed = ring;
  g.send(m.driver->fillPolygon, 3);
}

void strokeElements(vdrawPath* p) {
  vdrawSyncState(vdrawSYNC_STROKE);
  double wx, wy;
  m.selected->TransformDistance(m.current->lineWidth, m.current->lineWidth, &wx, &wy);
  bool thin = wx > -3.5 && wx < 3.5 && wy > -3.5 && wy < 3.5;
  vfixed t = tolerance();
  Gather g;
  FixedPoint at = {p->x, p->y};
  for (const SubPath& s : subPaths(p)) {
    g.fixed.clear();
    for (const vdrawElement* e = s.begin; e < s.end; e += elementRecords(e->kind)) {
      if (e->kind == vdrawMOVETO) {
        at = endOf(e, at);
        g.fixed.assign(1, at);
        continue;
      }
      if (g.fixed.empty()) g.fixed.push_back(at);
      if (thin && isArc(e->kind)) {
        g.send(m.driver->strokePolyline, 2);
        DriverArc d = driverArc(e, at);
        m.driver->frameArcs(m.data, &d.box, 1, d.start, d.sweep);
        at = endOf(e, at);
        g.fixed.assign(1, at);
        continue;
      }
      at = gatherElement(e, at, t, &g);
    }
    g.send(m.driver->strokePolyline, 2);
  }
}

void subPathBounds(vdrawPath* p, std::vector<vrect>* out) {
  out->clear();
  FixedPoint at = {p->x, p->y};
  for (const SubPath& s : subPaths(p)) {
    std::int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = INT64_MIN, y1 = INT64_MIN;
    auto take = [&](double x, double y) {
      x0 = std::min(x0, std::int64_t(std::floor(x))), y0 = std::min(y0, std::int64_t(std::floor(y)));
      x1 = std::max(x1, std::int64_t(std::ceil(x))), y1 = std::max(y1, std::int64_t(std::ceil(y)));
    };
    for (const vdrawElement* e = s.begin; e < s.end; e += elementRecords(e->kind)) {
      if (e->kind != vdrawMOVETO) take(at.x, at.y);
      if (e->kind == vdrawARC) {
        ArcElement a = readArc(e, at);
        double lo = std::min(a.start, a.start + a.sweep), hi = std::max(a.start, a.start + a.sweep);
        for (int q = int(std::ceil(lo / 90)); q * 90 <= hi; ++q) {
          double c, sn;
          degreesCosSin(q * 90, &c, &sn);
          take(a.cx + a.rx * c, a.cy + a.ry * sn);
        }
      } else if (e->kind == vdrawCURVETO) {
        FixedPoint c = at;
        for (int i = 0; i < 2; ++i) {
          c = {add(c.x, e[i].x), add(c.y, e[i].y)};
          take(c.x, c.y);
        }
      } else if (e->kind == vdrawTANGENT_ARC) {
        take(double(at.x) + e[2].x, double(at.y) + e[2].y);
      }
      at = endOf(e, at);
      take(at.x, at.y);
    }
    auto whole = [](std::int64_t v, bool up) {
      return std::int16_t(up ? -((-v) >> 16) : v >> 16);
    };
    std::int16_t x = whole(x0, false), y = whole(y0, false);
    out->push_back({x, y, std::int16_t(whole(x1, true) - x), std::int16_t(whole(y1, true) - y)});
  }
}

vdrawPath* flattenElements(vdrawPath* p, vfixed t) {
  Gather g;
  std::vector<vdrawElement> out;
  FixedPoint at = {p->x, p->y};
  for (const vdrawElement* e = vdrawPathElements(p); e < vdrawPathElements(p) + p->used; e += elementRecords(e->kind)) {
    if (e->kind == vdrawMOVETO || e->kind == vdrawLINETO || e->kind == vdrawCLOSEPATH) {
      out.push_back(*e);
      at = endOf(e, at);
      continue;
    }
    g.fixed.clear();
    FixedPoint from = at;
    at = gatherElement(e, at, t, &g);
    for (FixedPoint f : g.fixed) {
      out.push_back({vdrawLINETO, vfixed(std::uint32_t(f.x) - std::uint32_t(from.x)),
                     vfixed(std::uint32_t(f.y) - std::uint32_t(from.y))});
      from = f;
    }
  }
  vdrawPath* r = vdrawPathNewElements(int(out.size()));
  std::copy(out.begin(), out.end(), vdrawPathElements(r));
  r->used = std::int32_t(out.size());
  r->flags = std::uint16_t(vdrawPathELEMENTS |
                           (p->flags & (vdrawPathCURRENT_POINT | vdrawPathCLOSED | vdrawPathSUBPATHS)));
  r->bounds = p->bounds;
  r->x = p->x, r->y = p->y, r->startX = p->startX, r->startY = p->startY;
  return r;
}

}  // namespace vdrawint

using namespace vdrawint;

void vdrawPathRects(vdrawPath* path, vrect** rects, int* n) {
  static std::vector<vrect> buffer;
  switch (path->flags & vdrawPathKIND) {
    case vdrawPathRECTS: *rects = vdrawPathRectangles(path), *n = path->used; return;
    case vdrawPathMASK: buffer.assign(1, path->bounds); break;
    case vdrawPathELEMENTS:
      subPathBounds(path, &buffer);
      if (buffer.empty()) buffer.push_back({0, 0, 0, 0});
      break;
    default: _vexGenerate(&vexValueClass, vexEnd);
  }
  *rects = buffer.data();
  *n = int(buffer.size());
}

namespace vdrawint {

vdrawDeviceTransform maskPathPlacement(const vimage* mask, int x, int y) {
  auto fixed = [](int v) { return vfixed(std::uint32_t(v) << 16); };
  if (m.current->binding->transform.classBits & vmatrixNEGATIVE_D)
    return {vmatrixTX | vmatrixTY | vmatrixNEGATIVE_D, vfixedONE, 0, 0, -vfixedONE, fixed(-x), fixed(y + mask->height)};
  return {vmatrixTX | vmatrixTY, vfixedONE, 0, 0, vfixedONE, fixed(-x), fixed(-y)};
}

void paintMaskAt(vimage* mask, const vrect& at) {
  vdrawSyncState(vdrawSYNC_FILL);
  vdrawDeviceTransform toImage = maskPathPlacement(mask, at.x, at.y);
  m.driver->drawMask(m.data, mask, &toImage);
}

void pathFill(int rule) {
  vdrawState* s = privateState();
  setFillRule(s, rule);
  vdrawPath* p = s->path;
  switch (p->flags & vdrawPathKIND) {
    case vdrawPathRECTS:
      vdrawSyncState(vdrawSYNC_FILL);
      m.driver->fillRects(m.data, vdrawPathRectangles(p), p->used);
      break;
    case vdrawPathMASK: paintMaskAt(p->mask, p->bounds); break;
    default: {
      int mode = s->flags & vdrawMODE_MASK;
      bool readsDestination = mode == 5 || mode == 6 || mode == 10 || mode == 16 || mode == 17;
      std::vector<vrect> bounds;
      bool overlap = false;
      if ((p->flags & vdrawPathSUBPATHS) && !readsDestination) {
        subPathBounds(p, &bounds);
        for (std::size_t i = 0; i < bounds.size() && !overlap; ++i)
          for (std::size_t j = i + 1; j < bounds.size() && !overlap; ++j)
            overlap = vrectIntersects(&bounds[i], &bounds[j]);
      }
      if (!overlap) {
        fillElements(p);
        break;
      }
      vrect b;
      vrectListGetBounds(bounds.data(), int(bounds.size()), &b);
      // The mask need not reach beyond the device: nothing shows there.
      vrectIntersect(&b, m.driver->deviceBounds(m.data), &b);
      if (vrectIsEmpty(&b)) break;
      vimage* mask = paintMask(p, nullptr, rule, b);
      vexGuard([&] { paintMaskAt(mask, b); },
               [&](vexHandler&) {
                 vimageDestroy(mask);
                 _vexGenerate(nullptr, vexEnd);
               });
      vimageDestroy(mask);
    }
  }
  pathNew();
}

void pathStroke() {
  vdrawPath* p = privateState()->path;
  switch (p->flags & vdrawPathKIND) {
    case vdrawPathRECTS:
      vdrawSyncState(vdrawSYNC_STROKE);
      m.driver->frameRects(m.data, vdrawPathRectangles(p), p->used);
      break;
    case vdrawPathMASK: vexGenerateMessage(&vexModuleUnimplementedClass, "unable to stroke mask paths");
    default: strokeElements(p);
  }
  pathNew();
}

void pathFlatten() {
  vdrawPath* p = m.current->path;
  if ((p->flags & vdrawPathKIND) != vdrawPathELEMENTS || !(p->flags & (vdrawPathCURVES | vdrawPathARCS))) return;
  vdrawState* s = privateState();
  s->path = flattenElements(p, std::max<vfixed>(s->flatness, 1));
  vdrawPathRelease(p);
}

}  // namespace vdrawint
