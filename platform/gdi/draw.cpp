// What pens and brushes draw: lines, polygons, rectangles, ellipses and
// their parts, rounded rectangles, region fills and the focus frame. Every
// fill goes through the brush sampler of the blits, every pixel through
// the DC's ROP2 mode as a ROP3 code.
//
// What pens and brushes draw (`draw.cpp`): every pixel goes through the DC's ROP2 mode turned into
// the ROP3 code that applies it with the pen or brush as the pattern, so fills share the blits'
// brush sampler (alignment to the brush origin, mono patterns, `PALETTEINDEX`) and the ROP3
// evaluator. On a 1-bit surface a pen or brush colour is 1 when nearer to white than to black
// (squared RGB distance). Cosmetic lines are one Bresenham variant (the minor axis steps when the
// error is strictly positive) that leaves out each segment's end point, so a shared vertex is drawn
// once and the last point not at all; the dash patterns (dash 18/6, dot 3/3, dash-dot 9/6/3/6,
// dash-dot-dot 9/3/3/3/3/3, or the pen's own) run on across the vertices of one call, gaps in the
// background colour when opaque. Geometric pens (width 2 or more, `PS_GEOMETRIC`) stroke the whole
// path into one pixel mask (segment quadrilaterals, round, bevel or miter joins with miter limit
// 10, round, square or flat caps) that is painted once, so a path crossing itself is inverted once.
// Polygons take pixel centres (a centre on a left or top edge in, on a right or bottom edge out),
// `ALTERNATE` or `WINDING`. The ellipse family (`Ellipse`, `Arc`, `Chord`, `Pie`, `RoundRect`,
// `CreateRoundRectRgn`) uses one exact integer test of the pixel centre against the ellipse of the
// box; the outline is what lies inside the shape but not inside the shape one pen width smaller,
// and sweeps run counter-clockwise on the screen from the start ray to the end ray. Without a pen,
// fills are one pixel smaller at the right and bottom. `bench/raster.cpp` (same machine, load about
// 20): a full-surface pattern `Polygon` about 0.6 ms, a 64-point star about 1.3 ms, 10,000 cosmetic
// lines of 100 pixels about 3.1 ms, a width-9 round-joined polyline of 1,000 segments of 20 pixels
// about 3.2 ms.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/gdi/blit.h"
#include "platform/gdi/world.h"

namespace win {
namespace internal {
namespace {

constexpr double kPi = std::numbers::pi;

struct DPt {
  double x, y;
};

// The drawing side of a DC for one call: clipped spans and pixels, and
// the area touched, which goes to the window when the call ends.
class Painter {
 public:
  explicit Painter(Dc& dc) : dc_(dc) {
    ok_ = targetOf(dc, t_);
    rop_ = rop3OfRop2(dc.rop2);
    if (ok_ && t_.clip->rects().size() == 1) simple_ = true, simpleRect_ = t_.clip->rects()[0];
  }
  ~Painter() {
    if (ok_ && !emptyRect(touched_)) finishTarget(t_, touched_);
  }
  bool ok() const { return ok_; }
  Dc& dc() { return dc_; }
  bool mono() const { return t_.surface->mono; }
  void setRop(std::uint8_t rop) { rop_ = rop; }

  void span(const Pattern& p, int y, int x0, int x1) {
    if (x1 <= x0 || p.none) return;
    const auto& rs = t_.clip->rects();
    auto it = std::partition_point(rs.begin(), rs.end(), [&](const RECT& r) { return r.bottom <= y; });
    for (; it != rs.end() && it->top <= y; ++it) {
      int a = std::max(x0, static_cast<int>(it->left)), b = std::min(x1, static_cast<int>(it->right));
      if (a >= b) continue;
      int n = b - a;
      if (row_.size() < static_cast<std::size_t>(n)) row_.resize(static_cast<std::size_t>(n));
      p.fillRow(row_.data(), a, y, n);
      ropRow(rop_, row_.data(), row_.data(), t_.surface->row(y + t_.origin.y) + a + t_.origin.x, n);
      touch({a, y, b, y + 1});
    }
  }

  void plot(const Pattern& p, int x, int y) {
    if (p.none) return;
    if (simple_ ? (x < simpleRect_.left || x >= simpleRect_.right || y < simpleRect_.top || y >= simpleRect_.bottom)
                : !t_.clip->contains(x, y))
      return;
    std::uint32_t v = p.color;
    if (!p.solid) p.fillRow(&v, x, y, 1);
    std::uint32_t* d = t_.surface->row(y + t_.origin.y) + x + t_.origin.x;
    if (rop_ == 0xF0)
      *d = v;
    else
      ropRow(rop_, &v, &v, d, 1);
  }

  // A solid copy inside a box the clip holds whole needs no tests per pixel.
  bool direct(const Pattern& pen, const RECT& box) const {
    return simple_ && rop_ == 0xF0 && pen.solid && box.left >= simpleRect_.left && box.top >= simpleRect_.top &&
           box.right <= simpleRect_.right && box.bottom <= simpleRect_.bottom;
  }
  std::uint32_t* at(int x, int y) { return t_.surface->row(y + t_.origin.y) + x + t_.origin.x; }

  // What plot() drew lies in this box (device coordinates).
  void touch(const RECT& r) {
    touched_ = emptyRect(touched_) ? r
                                   : RECT{std::min(touched_.left, r.left), std::min(touched_.top, r.top),
                                          std::max(touched_.right, r.right), std::max(touched_.bottom, r.bottom)};
  }

 private:
  Dc& dc_;
  Target t_;
  bool ok_ = false, simple_ = false;
  RECT simpleRect_{}, touched_{};
  std::uint8_t rop_ = 0xF0;
  std::vector<std::uint32_t> row_;
};

// A set of device pixels over a box, so that a shape made of several
// pieces is painted once.
struct Mask {
  RECT box{};
  std::vector<std::uint8_t> bits;
  explicit Mask(RECT b) : box(b) {
    if (emptyRect(box)) box = {};
    bits.assign(static_cast<std::size_t>(box.right - box.left) * static_cast<std::size_t>(box.bottom - box.top), 0);
  }
  std::size_t at(int x, int y) const {
    return static_cast<std::size_t>(y - box.top) * static_cast<std::size_t>(box.right - box.left) +
           static_cast<std::size_t>(x - box.left);
  }
  bool in(int x, int y) const { return x >= box.left && x < box.right && y >= box.top && y < box.bottom; }
  void set(int x, int y) {
    if (in(x, y)) bits[at(x, y)] = 1;
  }
  bool get(int x, int y) const { return in(x, y) && bits[at(x, y)]; }
  void spanSet(int y, int x0, int x1) {
    if (y < box.top || y >= box.bottom) return;
    x0 = std::max(x0, static_cast<int>(box.left)), x1 = std::min(x1, static_cast<int>(box.right));
    for (int x = x0; x < x1; ++x) bits[at(x, y)] = 1;
  }
  // Calls f(y, x0, x1) for each run of set pixels.
  template <class F>
  void runs(F f) const {
    for (int y = box.top; y < box.bottom; ++y)
      for (int x = box.left; x < box.right;) {
        if (!bits[at(x, y)]) {
          ++x;
          continue;
        }
        int s = x;
        while (x < box.right && bits[at(x, y)]) ++x;
        f(y, s, x);
      }
  }
};

void paintMask(Painter& p, const Mask& m, const Pattern& pat) {
  m.runs([&](int y, int a, int b) { p.span(pat, y, a, b); });
}

// Polygon spans: pixel centres, a centre on a left edge in and on a
// right edge out; even-odd or non-zero winding.
template <class F>
void scanRings(const std::vector<std::vector<DPt>>& rings, int mode, F out) {
  double lo = 1e18, hi = -1e18;
  for (const auto& ring : rings)
    for (const DPt& p : ring) lo = std::min(lo, p.y), hi = std::max(hi, p.y);
  if (lo > hi) return;
  struct Cross {
    double x;
    int dir;
  };
  std::vector<Cross> xs;
  for (int y = static_cast<int>(std::floor(lo)); y <= static_cast<int>(std::ceil(hi)); ++y) {
    double yc = y + 0.5;
    xs.clear();
    for (const auto& ring : rings)
      for (std::size_t i = 0; i < ring.size(); ++i) {
        const DPt& a = ring[i];
        const DPt& b = ring[(i + 1) % ring.size()];
        // Worked from the lower end, an edge and its reverse cross at the
        // same x, so a seam drawn there and back encloses nothing.
        const DPt& lo = a.y < b.y ? a : b;
        const DPt& hi = a.y < b.y ? b : a;
        if (lo.y <= yc && yc < hi.y)
          xs.push_back({lo.x + (yc - lo.y) * (hi.x - lo.x) / (hi.y - lo.y), b.y > a.y ? 1 : -1});
      }
    std::sort(xs.begin(), xs.end(), [](const Cross& a, const Cross& b) { return a.x < b.x; });
    int winding = 0;
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
      winding += mode == ALTERNATE ? 1 : xs[i].dir;
      bool inside = mode == ALTERNATE ? (winding & 1) : winding != 0;
      if (!inside) continue;
      int x0 = static_cast<int>(std::ceil(xs[i].x - 0.5)), x1 = static_cast<int>(std::ceil(xs[i + 1].x - 0.5));
      if (x0 < x1) out(y, x0, x1);
    }
  }
}

// One Bresenham variant everywhere: the major axis steps every pixel, the
// minor one when the error is strictly positive; the last point is left out.
template <class F>
void bresenham(POINT a, POINT b, F plot) {
  int dx = std::abs(b.x - a.x), dy = std::abs(b.y - a.y), sx = b.x > a.x ? 1 : -1, sy = b.y > a.y ? 1 : -1;
  int x = a.x, y = a.y;
  if (dx >= dy) {
    int err = 2 * dy - dx;
    for (int i = 0; i < dx; ++i) {
      plot(x, y);
      if (err > 0) y += sy, err -= 2 * dx;
      err += 2 * dy, x += sx;
    }
  } else {
    int err = 2 * dx - dy;
    for (int i = 0; i < dy; ++i) {
      plot(x, y);
      if (err > 0) x += sx, err -= 2 * dy;
      err += 2 * dx, y += sy;
    }
  }
}

// Cosmetic dash patterns in device pixels: on, off, on, off...
struct Dashes {
  std::vector<DWORD> lengths;
  std::size_t index = 0;
  DWORD left = 0;
  bool active() const { return !lengths.empty(); }
  // Whether the next pixel is on; the pattern runs on across vertices.
  bool next() {
    while (left == 0) {
      index = (index + 1) % lengths.size();
      left = lengths[index];
    }
    --left;
    return index % 2 == 0;
  }
};

Dashes dashesOf(const GdiObject& pen) {
  static const std::vector<DWORD> kStyles[] = {{}, {18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
  Dashes d;
  DWORD kind = pen.penStyle & PS_STYLE_MASK;
  if (kind >= PS_DASH && kind <= PS_DASHDOTDOT) d.lengths = kStyles[kind];
  if (kind == PS_USERSTYLE) d.lengths = pen.dashes;
  if (d.active()) d.index = d.lengths.size() - 1;  // next() starts the first dash
  return d;
}

struct PenUse {
  GdiObject* pen = nullptr;
  Pattern pattern, gap;
  bool none = true, geometric = false, opaqueGaps = false;
  int width = 1;
};

PenUse penOf(Painter& p) {
  PenUse u;
  Dc& dc = p.dc();
  u.pen = gdiObject(dc.pen, OBJ_PEN);
  if (!u.pen || (u.pen->penStyle & PS_STYLE_MASK) == PS_NULL) return u;
  u.none = false;
  u.pattern = patternOfBrush(dc, u.pen->penBrush, p.mono());
  u.geometric = u.pen->geometric;
  u.width = std::max<int>(1, u.pen->pen.lopnWidth.x);
  Brush gapBrush;
  gapBrush.color = dc.bk;
  u.gap = patternOfBrush(dc, gapBrush, p.mono());
  u.opaqueGaps = dc.bkMode == OPAQUE;
  return u;
}

POINT device(const Dc& dc, POINT p) { return {p.x + dc.viewportOrg.x, p.y + dc.viewportOrg.y}; }

// The pieces of a path that a dash pattern leaves on, the pattern
// running on along the whole path.
std::vector<std::vector<DPt>> dashPieces(const std::vector<DPt>& path, const std::vector<DWORD>& lengths) {
  std::vector<std::vector<DPt>> out;
  std::size_t index = 0;
  double left = lengths[0];
  bool on = true;
  std::vector<DPt> current{path[0]};
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    DPt a = path[i], b = path[i + 1];
    double length = std::hypot(b.x - a.x, b.y - a.y), at = 0;
    while (length - at > left) {
      at += left;
      DPt q{a.x + (b.x - a.x) * at / length, a.y + (b.y - a.y) * at / length};
      // A dash of length 0 draws nothing (it only joins two gaps).
      if (on && (current.size() > 1 || q.x != current[0].x || q.y != current[0].y)) {
        current.push_back(q);
        out.push_back(current);
      }
      current = {q};
      on = !on;
      index = (index + 1) % lengths.size();
      left = lengths[index];
    }
    left -= length - at;
    if (on)
      current.push_back(b);
    else
      current = {b};
  }
  if (on && current.size() > 1) out.push_back(current);
  return out;
}

RECT boundsOf(const std::vector<POINT>& pts, int grow) {
  RECT r{pts[0].x, pts[0].y, pts[0].x, pts[0].y};
  for (const POINT& p : pts)
    r = {std::min(r.left, p.x), std::min(r.top, p.y), std::max(r.right, p.x), std::max(r.bottom, p.y)};
  return {r.left - grow, r.top - grow, r.right + grow + 1, r.bottom + grow + 1};
}

// A cosmetic polyline: each segment without its end point, the dashes
// running on through the vertices; into a mask when one is given.
void cosmeticPath(Painter& p, const PenUse& u, const std::vector<POINT>& pts, Mask* into) {
  Dashes dashes = dashesOf(*u.pen);
  if (!into) p.touch(boundsOf(pts, 0));
  if (!into && !dashes.active() && p.direct(u.pattern, boundsOf(pts, 0))) {
    std::uint32_t colour = u.pattern.color;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) bresenham(pts[i], pts[i + 1], [&](int x, int y) { *p.at(x, y) = colour; });
    return;
  }
  for (std::size_t i = 0; i + 1 < pts.size(); ++i)
    bresenham(pts[i], pts[i + 1], [&](int x, int y) {
      bool on = !dashes.active() || dashes.next();
      if (into) {
        if (on) into->set(x, y);
      } else if (on) {
        p.plot(u.pattern, x, y);
      } else if (u.opaqueGaps) {
        p.plot(u.gap, x, y);
      }
    });
}

void fillRing(Mask& m, const std::vector<DPt>& ring) {
  scanRings({ring}, WINDING, [&](int y, int a, int b) { m.spanSet(y, a, b); });
}

void disc(Mask& m, DPt c, double r) {
  std::vector<DPt> ring;
  int n = std::max(8, static_cast<int>(std::ceil(r * 4)));
  for (int i = 0; i < n; ++i) {
    double a = 2 * kPi * i / n;
    ring.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
  }
  fillRing(m, ring);
}

// A geometric stroke: the segments, joins and caps of the whole path in
// one mask, so that no pixel is drawn twice.
void strokePath(Mask& m, const std::vector<DPt>& pts, bool closed, double w, DWORD style) {
  double h = w / 2;
  DWORD cap = style & PS_ENDCAP_MASK, join = style & PS_JOIN_MASK;
  std::size_t n = pts.size(), segs = closed ? n : n - 1;
  auto unit = [](DPt a, DPt b) {
    double len = std::hypot(b.x - a.x, b.y - a.y);
    return len > 0 ? DPt{(b.x - a.x) / len, (b.y - a.y) / len} : DPt{0, 0};
  };
  for (std::size_t i = 0; i < segs; ++i) {
    DPt a = pts[i], b = pts[(i + 1) % n], u = unit(a, b);
    if (u.x == 0 && u.y == 0) continue;
    if (!closed && cap == PS_ENDCAP_SQUARE) {
      if (i == 0) a = {a.x - u.x * h, a.y - u.y * h};
      if (i + 1 == segs) b = {b.x + u.x * h, b.y + u.y * h};
    }
    DPt nrm{-u.y * h, u.x * h};
    fillRing(m, {{a.x + nrm.x, a.y + nrm.y}, {b.x + nrm.x, b.y + nrm.y}, {b.x - nrm.x, b.y - nrm.y}, {a.x - nrm.x, a.y - nrm.y}});
  }
  for (std::size_t i = closed ? 0 : 1; i < (closed ? n : n - 1); ++i) {
    DPt v = pts[i], u1 = unit(pts[(i + n - 1) % n], v), u2 = unit(v, pts[(i + 1) % n]);
    if (join == PS_JOIN_ROUND) {
      disc(m, v, h);
      continue;
    }
    for (int side : {1, -1}) {
      DPt p1{v.x - u1.y * h * side, v.y + u1.x * h * side}, p2{v.x - u2.y * h * side, v.y + u2.x * h * side};
      double det = u1.x * u2.y - u1.y * u2.x;
      if (join == PS_JOIN_MITER && std::fabs(det) > 1e-9) {
        double t = ((p2.x - p1.x) * u2.y - (p2.y - p1.y) * u2.x) / det;
        DPt mp{p1.x + u1.x * t, p1.y + u1.y * t};
        if (std::hypot(mp.x - v.x, mp.y - v.y) <= 10 * h) {
          fillRing(m, {v, p1, mp, p2});
          continue;
        }
      }
      fillRing(m, {v, p1, p2});
    }
  }
  if (!closed && cap == PS_ENDCAP_ROUND) {
    disc(m, pts.front(), h);
    disc(m, pts.back(), h);
  }
}


// The outline of a path with the DC's pen (device points).
void outline(Painter& p, const PenUse& u, std::vector<POINT> pts, bool closed) {
  if (u.none || pts.size() < 2) return;
  if (!u.geometric) {
    if (closed) pts.push_back(pts.front());
    cosmeticPath(p, u, pts, nullptr);
    return;
  }
  std::vector<DPt> d;
  for (const POINT& q : pts) d.push_back({q.x + 0.5, q.y + 0.5});
  // One straight piece without round ends is one convex band: painted as
  // it is scanned, with no mask to gather pieces in.
  if (!closed && d.size() == 2 && u.pen->dashes.empty() && (u.pen->penStyle & PS_ENDCAP_MASK) != PS_ENDCAP_ROUND &&
      (d[0].x != d[1].x || d[0].y != d[1].y)) {
    DPt a = d[0], b = d[1];
    double h = u.width / 2.0, len = std::hypot(b.x - a.x, b.y - a.y);
    DPt dir{(b.x - a.x) / len, (b.y - a.y) / len};
    if ((u.pen->penStyle & PS_ENDCAP_MASK) == PS_ENDCAP_SQUARE)
      a = {a.x - dir.x * h, a.y - dir.y * h}, b = {b.x + dir.x * h, b.y + dir.y * h};
    DPt nrm{-dir.y * h, dir.x * h};
    scanRings({{{a.x + nrm.x, a.y + nrm.y}, {b.x + nrm.x, b.y + nrm.y}, {b.x - nrm.x, b.y - nrm.y}, {a.x - nrm.x, a.y - nrm.y}}},
              WINDING, [&](int y, int x0, int x1) { p.span(u.pattern, y, x0, x1); });
    return;
  }
  Mask m(boundsOf(pts, u.width + 2));
  if (u.pen->dashes.empty()) {
    strokePath(m, d, closed, u.width, u.pen->penStyle);
  } else {
    if (closed) d.push_back(d.front());
    for (const auto& piece : dashPieces(d, u.pen->dashes)) strokePath(m, piece, false, u.width, u.pen->penStyle);
  }
  paintMask(p, m, u.pattern);
}

// Inside the ellipse of a box (right and bottom exclusive): the pixel
// centre on or within it, in exact integers.
bool inEllipse(const RECT& b, int x, int y) {
  std::int64_t A = b.right - b.left, B = b.bottom - b.top;
  if (A <= 0 || B <= 0) return false;
  std::int64_t X = 2 * static_cast<std::int64_t>(x) + 1 - (b.left + b.right);
  std::int64_t Y = 2 * static_cast<std::int64_t>(y) + 1 - (b.top + b.bottom);
  return X * X * B * B + Y * Y * A * A <= A * A * B * B;
}

// The rounded rectangle: the box less its corners outside four ellipses.
bool inRoundRect(const RECT& r, int w, int h, int x, int y) {
  if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) return false;
  w = std::min(w, static_cast<int>(r.right - r.left)), h = std::min(h, static_cast<int>(r.bottom - r.top));
  if (w <= 0 || h <= 0) return true;
  bool left = x < r.left + w / 2, right = x >= r.right - w / 2, top = y < r.top + h / 2, bottom = y >= r.bottom - h / 2;
  if (!(left || right) || !(top || bottom)) return true;
  RECT corner{left ? r.left : r.right - w, top ? r.top : r.bottom - h, left ? r.left + w : r.right, top ? r.top + h : r.bottom};
  return inEllipse(corner, x, y);
}

RECT normalized(int l, int t, int r, int b) { return {std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)}; }

// Shapes of the ellipse family: the pixels inside the box's shape, and
// the outline ring (inside, but not inside the shape one pixel smaller).
template <class Inside>
void ringAndInterior(const RECT& box, Inside inside, const PenUse& u, Mask& ring, Mask& interior) {
  int w = u.none ? 0 : u.width;
  RECT inner{box.left + w, box.top + w, box.right - w, box.bottom - w};
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) {
      if (u.none) {
        // Without a pen the fill is one pixel smaller at the right and bottom.
        if (inside(RECT{box.left, box.top, box.right - 1, box.bottom - 1}, x, y)) interior.set(x, y);
        continue;
      }
      if (!inside(box, x, y)) continue;
      if (inside(inner, x, y))
        interior.set(x, y);
      else
        ring.set(x, y);
    }
}

// A wide pen's outline is centred on the box's edge, unless it is drawn
// inside the frame.
RECT penBox(const RECT& box, const PenUse& u) {
  if (u.none || !u.geometric || (u.pen->penStyle & PS_STYLE_MASK) == PS_INSIDEFRAME) return box;
  int g = u.width / 2;
  return {box.left - g, box.top - g, box.right + g, box.bottom + g};
}

enum class ArcKind { arc, chord, pie };

BOOL arcFamily(HDC hdc, ArcKind kind, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  Dc* dc = dcOf(hdc);
  if (!dc) return 0;
  Painter p(*dc);
  if (!p.ok()) return 0;
  POINT a = device(*dc, {l, t}), c = device(*dc, {r, b}), s = device(*dc, {xs, ys}), e = device(*dc, {xe, ye});
  RECT box = normalized(a.x, a.y, c.x, c.y);
  PenUse u = penOf(p);
  RECT outer = penBox(box, u);
  Mask ring(outer), interior(outer);
  ringAndInterior(outer, inEllipse, u, ring, interior);
  // Angles in doubled coordinates about the centre, y up as on the screen.
  double cx2 = box.left + box.right, cy2 = box.top + box.bottom;
  auto angle = [&](double x2, double y2) { return std::atan2(-(y2 - cy2), x2 - cx2); };
  double start = angle(2.0 * s.x, 2.0 * s.y), sweep = std::fmod(angle(2.0 * e.x, 2.0 * e.y) - start + 4 * kPi, 2 * kPi);
  if (sweep == 0) sweep = 2 * kPi;
  auto inSweep = [&](int x, int y) { return std::fmod(angle(2.0 * x + 1, 2.0 * y + 1) - start + 4 * kPi, 2 * kPi) <= sweep; };
  // Where a ray from the centre meets the ellipse, as a pixel.
  auto onEllipse = [&](double theta) {
    double A = box.right - box.left, B = box.bottom - box.top, dx = std::cos(theta), dy = std::sin(theta);
    double k = 1 / std::sqrt(dx * dx / (A * A) + dy * dy / (B * B));
    return POINT{static_cast<LONG>(std::lround((cx2 + k * dx) / 2 - 0.5)), static_cast<LONG>(std::lround((cy2 - k * dy) / 2 - 0.5))};
  };
  POINT ps = onEllipse(start), pe = onEllipse(start + sweep);
  POINT centre{static_cast<LONG>(std::lround(cx2 / 2 - 0.5)), static_cast<LONG>(std::lround(cy2 / 2 - 0.5))};
  POINT pm = onEllipse(start + sweep / 2);
  // The chord's side of its line is the side of the arc's middle.
  auto chordSide = [&](int x, int y) {
    double vx = pe.x - ps.x, vy = pe.y - ps.y;
    double side = vx * (y - ps.y) - vy * (x - ps.x), arcSide = vx * (pm.y - ps.y) - vy * (pm.x - ps.x);
    return side == 0 || (side > 0) == (arcSide > 0);
  };
  Mask pen(outer), fill(outer);
  for (int y = outer.top; y < outer.bottom; ++y)
    for (int x = outer.left; x < outer.right; ++x) {
      if (ring.get(x, y) && inSweep(x, y)) pen.set(x, y);
      if (kind != ArcKind::arc && interior.get(x, y) && (kind == ArcKind::chord ? chordSide(x, y) : inSweep(x, y)))
        fill.set(x, y);
    }
  if (!u.none && kind == ArcKind::chord) {
    bresenham(ps, pe, [&](int x, int y) { pen.set(x, y); });
    pen.set(pe.x, pe.y);
  }
  if (!u.none && kind == ArcKind::pie) {
    bresenham(centre, ps, [&](int x, int y) { pen.set(x, y); });
    bresenham(centre, pe, [&](int x, int y) { pen.set(x, y); });
  }
  if (kind != ArcKind::arc) {
    Pattern brush = patternOf(*dc, dc->brush, p.mono());
    p.touch(outer);
    fill.runs([&](int y, int x0, int x1) {
      for (int x = x0; x < x1; ++x)
        if (!pen.get(x, y)) p.plot(brush, x, y);
    });
  }
  if (!u.none) paintMask(p, pen, u.pattern);
  return 1;
}

BOOL shape(HDC hdc, int l, int t, int r, int b, int w, int h, bool ellipse) {
  Dc* dc = dcOf(hdc);
  if (!dc) return 0;
  Painter p(*dc);
  if (!p.ok()) return 0;
  POINT a = device(*dc, {l, t}), c = device(*dc, {r, b});
  RECT box = normalized(a.x, a.y, c.x, c.y);
  PenUse u = penOf(p);
  RECT outer = penBox(box, u);
  Mask ring(outer), interior(outer);
  if (ellipse)
    ringAndInterior(outer, inEllipse, u, ring, interior);
  else
    ringAndInterior(
        outer, [&](const RECT& bx, int x, int y) {
          int shrink = (box.right - box.left) - (bx.right - bx.left);
          return inRoundRect(bx, w - shrink, h - shrink, x, y);
        },
        u, ring, interior);
  paintMask(p, interior, patternOf(*dc, dc->brush, p.mono()));
  if (!u.none) paintMask(p, ring, u.pattern);
  return 1;
}

}  // namespace
}  // namespace internal

using internal::Dc;
using internal::dcOf;
using internal::Painter;

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
  Dc* dc = dcOf(hdc);
  if (!dc) return 0;
  if (previous) *previous = dc->current;
  dc->current = {x, y};
  return 1;
}

BOOL LineTo(HDC hdc, int x, int y) {
  Dc* dc = dcOf(hdc);
  if (!dc) return 0;
  POINT pts[2] = {dc->current, {x, y}};
  dc->current = {x, y};
  return Polyline(hdc, pts, 2);
}

namespace {

// The checked context and the points in device coordinates (null: a bad
// call, with the error set).
Dc* pathOf(HDC hdc, const POINT* points, int count, std::vector<POINT>& pts) {
  Dc* dc = dcOf(hdc);
  if (!dc || !points || count < 2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  for (int i = 0; i < count; ++i) pts.push_back(internal::device(*dc, points[i]));
  return dc;
}

}  // namespace

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  std::vector<POINT> pts;
  Dc* dc = pathOf(hdc, points, count, pts);
  if (!dc) return 0;
  Painter p(*dc);
  if (!p.ok()) return 0;
  internal::outline(p, internal::penOf(p), pts, false);
  return 1;
}

BOOL Polygon(HDC hdc, const POINT* points, int count) {
  std::vector<POINT> pts;
  Dc* dc = pathOf(hdc, points, count, pts);
  if (!dc) return 0;
  Painter p(*dc);
  if (!p.ok()) return 0;
  std::vector<internal::DPt> ring;
  for (const POINT& q : pts) ring.push_back({static_cast<double>(q.x), static_cast<double>(q.y)});
  internal::Pattern brush = internal::patternOf(*dc, dc->brush, p.mono());
  internal::scanRings({ring}, dc->polyFillMode, [&](int y, int a, int b) { p.span(brush, y, a, b); });
  internal::outline(p, internal::penOf(p), pts, true);
  return 1;
}

int SetPolyFillMode(HDC hdc, int mode) {
  Dc* dc = dcOf(hdc);
  if (!dc || (mode != ALTERNATE && mode != WINDING)) return 0;
  int previous = dc->polyFillMode;
  dc->polyFillMode = mode;
  return previous;
}

int GetPolyFillMode(HDC hdc) {
  Dc* dc = dcOf(hdc);
  return dc ? dc->polyFillMode : 0;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  Dc* dc = dcOf(hdc);
  if (!dc) return 0;
  Painter p(*dc);
  if (!p.ok()) return 0;
  POINT a = internal::device(*dc, {left, top}), c = internal::device(*dc, {right, bottom});
  RECT box = internal::normalized(a.x, a.y, c.x, c.y);
  internal::PenUse u = internal::penOf(p);
  internal::Pattern brush = internal::patternOf(*dc, dc->brush, p.mono());
  if (u.none) {
    for (int y = box.top; y < box.bottom - 1; ++y) p.span(brush, y, box.left, box.right - 1);
    return 1;
  }
  // Inside the frame: a wide pen keeps within the box.
  int inset = u.geometric && (u.pen->penStyle & PS_STYLE_MASK) == PS_INSIDEFRAME ? (u.width - 1) / 2 : 0;
  int w = u.geometric ? u.width : 1, edge = inset + (w + 1) / 2;
  for (int y = box.top + edge; y < box.bottom - edge; ++y) p.span(brush, y, box.left + edge, box.right - edge);
  std::vector<POINT> frame = {{box.left + inset, box.top + inset},
                              {box.right - 1 - inset, box.top + inset},
                              {box.right - 1 - inset, box.bottom - 1 - inset},
                              {box.left + inset, box.bottom - 1 - inset}};
  internal::outline(p, u, frame, true);
  return 1;
}

BOOL Ellipse(HDC hdc, int l, int t, int r, int b) { return internal::shape(hdc, l, t, r, b, 0, 0, true); }
BOOL RoundRect(HDC hdc, int l, int t, int r, int b, int w, int h) {
  return internal::shape(hdc, l, t, r, b, w, h, false);
}
BOOL Arc(HDC hdc, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return internal::arcFamily(hdc, internal::ArcKind::arc, l, t, r, b, xs, ys, xe, ye);
}
BOOL Chord(HDC hdc, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return internal::arcFamily(hdc, internal::ArcKind::chord, l, t, r, b, xs, ys, xe, ye);
}
BOOL Pie(HDC hdc, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return internal::arcFamily(hdc, internal::ArcKind::pie, l, t, r, b, xs, ys, xe, ye);
}

HRGN CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
  RECT box = internal::normalized(l, t, r, b);
  std::vector<RECT> rows;
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right;) {
      if (!internal::inRoundRect(box, w, h, x, y)) {
        ++x;
        continue;
      }
      int s = x;
      while (x < box.right && internal::inRoundRect(box, w, h, x, y)) ++x;
      rows.push_back({s, y, x, y + 1});
    }
  return internal::newRegion(internal::Region::fromRects(rows));
}

namespace {

BOOL paintRegion(HDC hdc, HRGN region, const internal::Pattern* pattern, int rop2) {
  Dc* dc = dcOf(hdc);
  internal::Region* r = internal::regionOf(region);
  if (!dc || !r) return 0;
  Painter p(*dc);
  if (!p.ok()) return 0;
  if (rop2) p.setRop(internal::rop3OfRop2(rop2));
  internal::Pattern inverse;
  inverse.solid = true;
  const internal::Pattern& paint = pattern ? *pattern : inverse;
  if (internal::World w; internal::worldOf(*dc, w)) {
    // Each rectangle a parallelogram: the pixels whose centres it holds.
    const internal::Region& clip = internal::effectiveClip(*dc);
    for (const RECT& rc : r->rects())
      internal::forEachMapped(*dc, w, clip, rc.left, rc.top, rc.right, rc.bottom,
                              [&](int x, int y, double, double) { p.span(paint, y, x, x + 1); });
    return 1;
  }
  internal::Region area = *r;
  area.offset(dc->viewportOrg.x, dc->viewportOrg.y);
  for (const RECT& rc : area.rects())
    for (int y = rc.top; y < rc.bottom; ++y) p.span(paint, y, rc.left, rc.right);
  return 1;
}

}  // namespace

BOOL FillRgn(HDC hdc, HRGN region, HBRUSH brush) {
  Dc* dc = dcOf(hdc);
  if (!dc || !internal::gdiObject(brush, OBJ_BRUSH)) return 0;
  internal::Target t;
  if (!internal::targetOf(*dc, t)) return 0;
  internal::Pattern pat = internal::patternOf(*dc, brush, t.surface->mono);
  return paintRegion(hdc, region, &pat, 0);
}

BOOL InvertRgn(HDC hdc, HRGN region) { return paintRegion(hdc, region, nullptr, R2_NOT); }

BOOL DrawFocusRect(HDC hdc, const RECT* rect) {
  Dc* dc = dcOf(hdc);
  if (!dc || !rect) return 0;
  Painter p(*dc);
  if (!p.ok()) return 0;
  p.setRop(internal::rop3OfRop2(R2_XORPEN));
  POINT a = internal::device(*dc, {rect->left, rect->top}), c = internal::device(*dc, {rect->right, rect->bottom});
  RECT box = internal::normalized(a.x, a.y, c.x, c.y);
  // XOR with the text colour on even squares of a checkerboard aligned to
  // the DC origin, the background colour on odd ones.
  internal::Pattern even, odd;
  even.solid = odd.solid = true;
  even.color = internal::resolveColor(*dc, dc->text), odd.color = internal::resolveColor(*dc, dc->bk);
  if (p.mono()) even.color = internal::monoOf(even.color), odd.color = internal::monoOf(odd.color);
  auto dot = [&](int x, int y) { p.plot(((x + y) & 1) ? odd : even, x, y); };
  p.touch(box);
  for (int x = box.left; x < box.right; ++x) {
    dot(x, box.top);
    if (box.bottom - 1 > box.top) dot(x, box.bottom - 1);
  }
  for (int y = box.top + 1; y < box.bottom - 1; ++y) {
    dot(box.left, y);
    if (box.right - 1 > box.left) dot(box.right - 1, y);
  }
  return 1;
}

}  // namespace win
