#include "fw/gui/graphics/rect.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "fw/core/ex.h"

namespace {

// The short and long operations share one body: W is the wide type the
// arithmetic runs in, R the rectangle.
template <class R>
using Field = decltype(R::x);
template <class R>
using Wide = std::conditional_t<sizeof(Field<R>) == 2, int, std::int64_t>;

template <class R>
R make(Wide<R> x, Wide<R> y, Wide<R> w, Wide<R> h) {
  using F = Field<R>;
  return {static_cast<F>(x), static_cast<F>(y), static_cast<F>(w), static_cast<F>(h)};
}

template <class R>
int intersects(const R& a, const R& b) {
  using W = Wide<R>;
  return std::max<W>(a.x, b.x) < std::min<W>(W(a.x) + a.width, W(b.x) + b.width) &&
         std::max<W>(a.y, b.y) < std::min<W>(W(a.y) + a.height, W(b.y) + b.height);
}

template <class R>
int containsRect(const R& outer, const R& inner) {
  using W = Wide<R>;
  return inner.x >= outer.x && inner.y >= outer.y && W(inner.x) + inner.width <= W(outer.x) + outer.width &&
         W(inner.y) + inner.height <= W(outer.y) + outer.height;
}

template <class R>
R set(Wide<R> x, Wide<R> y, Wide<R> w, Wide<R> h) {
  if (w < 0) x += w, w = -w;
  if (h < 0) y += h, h = -h;
  return make<R>(x, y, w, h);
}

template <class R>
R setPoints(Wide<R> x1, Wide<R> y1, Wide<R> x2, Wide<R> y2) {
  return make<R>(std::min(x1, x2), std::min(y1, y2), x2 > x1 ? x2 - x1 : x1 - x2, y2 > y1 ? y2 - y1 : y1 - y2);
}

// An inset past the middle leaves an empty extent at the middle.
template <class W>
void insetAxis(W& origin, W& extent, W d) {
  if (2 * d <= extent) {
    origin += d;
    extent -= 2 * d;
  } else {
    origin += extent / 2;
    extent = 0;
  }
}

template <class R>
R inset(const R& r, Wide<R> dx, Wide<R> dy) {
  Wide<R> x = r.x, y = r.y, w = r.width, h = r.height;
  insetAxis(x, w, dx);
  insetAxis(y, h, dy);
  return make<R>(x, y, w, h);
}

template <class R>
R intersect(const R& a, const R& b) {
  using W = Wide<R>;
  W x = std::max<W>(a.x, b.x), y = std::max<W>(a.y, b.y);
  W w = std::min(W(a.x) + a.width, W(b.x) + b.width) - x, h = std::min(W(a.y) + a.height, W(b.y) + b.height) - y;
  return make<R>(x, y, w > 0 ? w : 0, h > 0 ? h : 0);
}

template <class R>
R unite(const R& a, const R& b) {
  using W = Wide<R>;
  W x = std::min<W>(a.x, b.x), y = std::min<W>(a.y, b.y);
  W right = std::max(W(a.x) + a.width, W(b.x) + b.width), bottom = std::max(W(a.y) + a.height, W(b.y) + b.height);
  return make<R>(x, y, right - x, bottom - y);
}

template <class R>
int listContainsPoint(const R* rects, int n, Wide<R> x, Wide<R> y) {
  using W = Wide<R>;
  for (int i = 0; i < n; ++i) {
    const R& r = rects[i];
    if (x >= r.x && x < W(r.x) + r.width && y >= r.y && y < W(r.y) + r.height) return 1;
  }
  return 0;
}

template <class R>
int listIntersects(const R& r, const R* rects, int n) {
  for (int i = 0; i < n; ++i)
    if (intersects(r, rects[i])) return 1;
  return 0;
}

template <class R>
R listBounds(const R* rects, int n) {
  if (n < 1) return R{};
  R out = rects[0];
  for (int i = 1; i < n; ++i) out = unite(out, rects[i]);
  return out;
}

// Keeps the size; the top-left edge wins when the rectangle does not fit.
int constrainAxis(int origin, int extent, int boundsOrigin, int boundsExtent) {
  return std::max(std::min(origin + extent, boundsOrigin + boundsExtent) - extent, boundsOrigin);
}

// One alignment code per axis: origin = p + (e term) + (s term) + gap.
enum Term : std::int8_t { NONE, HALF, FULL, BAD };
struct AlignRow {
  Term extent;  // of the bounds, added
  Term size;    // of the placed size, subtracted
  std::int8_t gap;
};
constexpr int kGap = 25;
constexpr AlignRow alignTable[15] = {
    {NONE, FULL, -kGap}, {NONE, FULL, 0}, {NONE, HALF, 0}, {NONE, NONE, 0},  {NONE, NONE, kGap},
    {HALF, FULL, 0},     {HALF, HALF, 0}, {BAD, BAD, 0},   {FULL, NONE, kGap}, {FULL, NONE, 0},
    {FULL, HALF, 0},     {FULL, FULL, 0}, {FULL, FULL, -kGap}, {HALF, NONE, 0}, {HALF, HALF, 0},
};

int term(Term t, int v) { return t == FULL ? v : t == HALF ? v / 2 : 0; }

int alignAxis(int code, int p, int e, int s) {
  if (code < 0 || code > 14 || alignTable[code].extent == BAD) _vexGenerate(&vexArgClass, vexEnd);
  const AlignRow& row = alignTable[code];
  return p + term(row.extent, e) - term(row.size, s) + row.gap;
}

// An axis too far out or too long for 16 bits keeps a span of it that 16
// bits hold and that covers the area with a margin for edge decorations.
// The span is centred on the axis's own centre when that shows (so centred
// labels stay in place), else it keeps a near end whole when it can (so
// edges and labels aligned to them stay in place), else it is centred
// anyway, far from the area. Ends are cut by multiples of 8 pixels, so that
// dashes and patterns phased from an edge keep their phase.
void aroundAxis(std::int64_t& origin, std::int64_t& extent, std::int64_t areaOrigin, std::int64_t areaExtent) {
  auto fits = [](std::int64_t v) { return v >= -32768 && v <= 32767; };
  std::int64_t end = origin + extent;
  if (fits(origin) && fits(end) && fits(extent)) return;
  constexpr std::int64_t kMargin = 64, kSpan = 32750, kLimit = 32760;
  std::int64_t low = std::min(origin, end), high = std::max(origin, end);
  std::int64_t needLow = std::max(low, areaOrigin - kMargin), needHigh = std::min(high, areaOrigin + areaExtent + kMargin);
  if (needLow > needHigh) {  // nowhere near the area: nothing of it shows
    origin = std::clamp<std::int64_t>(high < areaOrigin ? high : low, -32768, 32767);
    extent = 0;
    return;
  }
  std::int64_t first = std::max(needHigh - kSpan, -kLimit), last = std::min(needLow, kLimit - kSpan);
  std::int64_t middle = low + (high - low) / 2;
  std::int64_t from = middle - kSpan / 2;
  if (middle < areaOrigin - kMargin || middle > areaOrigin + areaExtent + kMargin) {
    if (low >= first) from = low;
    else if (high <= last + kSpan) from = high - kSpan;
  }
  from = std::clamp(from, first, std::max(first, last));
  auto whole8 = [](std::int64_t cut) { return cut > 0 ? cut / 8 * 8 : 0; };
  std::int64_t cutLow = low + whole8(from - low), cutHigh = high - whole8(high - (from + kSpan));
  origin = cutLow;
  extent = cutHigh - cutLow;
}

std::int16_t clampShort(std::int64_t v) { return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, -32768, 32767)); }
std::int16_t clampExtent(std::int64_t v) { return static_cast<std::int16_t>(std::min<std::int64_t>(v, 32767)); }
vfixed saturate(std::int64_t v) { return static_cast<vfixed>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

int vrectIsEmpty(const vrect* r) { return r->width < 1 || r->height < 1; }
int vrectContainsPoint(const vrect* r, int x, int y) { return listContainsPoint(r, 1, x, y); }
int vrectEqual(const vrect* a, const vrect* b) {
  return a->x == b->x && a->y == b->y && a->width == b->width && a->height == b->height;
}
int vrectIntersects(const vrect* a, const vrect* b) { return intersects(*a, *b); }
int vrectContainsRect(const vrect* outer, const vrect* inner) { return containsRect(*outer, *inner); }
void vrectSet(int x, int y, int width, int height, vrect* out) { *out = set<vrect>(x, y, width, height); }
void vrectSetPoints(int x1, int y1, int x2, int y2, vrect* out) { *out = setPoints<vrect>(x1, y1, x2, y2); }
void vrectOffset(const vrect* r, int dx, int dy, vrect* out) {
  *out = make<vrect>(r->x + dx, r->y + dy, r->width, r->height);
}
void vrectInset(const vrect* r, int dx, int dy, vrect* out) { *out = inset(*r, dx, dy); }
void vrectIntersect(const vrect* a, const vrect* b, vrect* out) { *out = intersect(*a, *b); }
void vrectUnion(const vrect* a, const vrect* b, vrect* out) { *out = unite(*a, *b); }
void vrectConstrain(const vrect* r, const vrect* bounds, vrect* out) {
  *out = make<vrect>(constrainAxis(r->x, r->width, bounds->x, bounds->width),
                     constrainAxis(r->y, r->height, bounds->y, bounds->height), r->width, r->height);
}
void vrectConstrainSize(const vrect* r, const vrect* bounds, vrect* out) {
  vrect c;
  vrectConstrain(r, bounds, &c);
  c.width = std::min(c.width, bounds->width);
  c.height = std::min(c.height, bounds->height);
  *out = c;
}
void vrectAlign(const vrect* size, const vrect* bounds, int horizontal, int vertical, vrect* out) {
  int x = alignAxis(horizontal, bounds->x, bounds->width, size->width);
  int y = alignAxis(vertical, bounds->y, bounds->height, size->height);
  *out = make<vrect>(x, y, size->width, size->height);
}
int vrectListContainsPoint(const vrect* rects, int n, int x, int y) { return listContainsPoint(rects, n, x, y); }
int vrectListIntersects(const vrect* r, const vrect* rects, int n) { return listIntersects(*r, rects, n); }
void vrectListGetBounds(const vrect* rects, int n, vrect* out) { *out = listBounds(rects, n); }

int vrectLongEqual(const vrectLong* a, const vrectLong* b) {
  return a->x == b->x && a->y == b->y && a->width == b->width && a->height == b->height;
}
int vrectLongIntersects(const vrectLong* a, const vrectLong* b) { return intersects(*a, *b); }
int vrectLongContainsRect(const vrectLong* outer, const vrectLong* inner) { return containsRect(*outer, *inner); }
void vrectLongSet(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, vrectLong* out) {
  *out = set<vrectLong>(x, y, width, height);
}
void vrectLongSetPoints(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, vrectLong* out) {
  *out = setPoints<vrectLong>(x1, y1, x2, y2);
}
void vrectLongInset(const vrectLong* r, std::int32_t dx, std::int32_t dy, vrectLong* out) { *out = inset(*r, dx, dy); }
void vrectLongIntersect(const vrectLong* a, const vrectLong* b, vrectLong* out) { *out = intersect(*a, *b); }
void vrectLongUnion(const vrectLong* a, const vrectLong* b, vrectLong* out) { *out = unite(*a, *b); }
int vrectLongListContainsPoint(const vrectLong* rects, int n, std::int32_t x, std::int32_t y) {
  return listContainsPoint(rects, n, x, y);
}
int vrectLongListIntersects(const vrectLong* r, const vrectLong* rects, int n) { return listIntersects(*r, rects, n); }
void vrectLongListGetBounds(const vrectLong* rects, int n, vrectLong* out) { *out = listBounds(rects, n); }

void vrectShortToLong(const vrect* in, vrectLong* out) { *out = {in->x, in->y, in->width, in->height}; }
void vrectLongToShort(const vrectLong* in, vrect* out) {
  std::int16_t x = clampShort(in->x), y = clampShort(in->y);
  std::int16_t right = clampShort(std::int64_t(in->x) + in->width), bottom = clampShort(std::int64_t(in->y) + in->height);
  *out = {x, y, clampExtent(right - x), clampExtent(bottom - y)};
}
void _vrectLongToShortAround(const vrectLong* in, const vrect* area, vrect* out) {
  std::int64_t x = in->x, y = in->y, w = in->width, h = in->height;
  aroundAxis(x, w, area->x, std::max<int>(0, area->width));
  aroundAxis(y, h, area->y, std::max<int>(0, area->height));
  *out = make<vrect>(int(x), int(y), int(w), int(h));
}
void vrectShortToFloat(const vrect* in, vrectFloat* out) {
  *out = {float(in->x), float(in->y), float(in->width), float(in->height)};
}
void vrectFloatToShort(const vrectFloat* in, vrect* out) {
  auto clampD = [](double v) { return static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0)); };
  double fx = std::floor(double(in->x)), fy = std::floor(double(in->y));
  double fr = std::ceil(double(in->x) + double(in->width)), fb = std::ceil(double(in->y) + double(in->height));
  std::int16_t x = clampD(fx), y = clampD(fy), right = clampD(fr), bottom = clampD(fb);
  *out = {x, y, clampExtent(right - x), clampExtent(bottom - y)};
}
void vrectFloatToFixed(const vrectFloat* in, vrectFixed* out) {
  vfixed x = vfixedFromDouble(in->x), y = vfixedFromDouble(in->y);
  vfixed right = vfixedFromDouble(double(in->x) + double(in->width));
  vfixed bottom = vfixedFromDouble(double(in->y) + double(in->height));
  *out = {x, y, saturate(std::int64_t(right) - x), saturate(std::int64_t(bottom) - y)};
}
void vrectFixedToShort(const vrectFixed* in, vrect* out) {
  std::int32_t x = in->x >> 16, y = in->y >> 16;
  std::int64_t right = (std::int64_t(in->x) + in->width + 65535) >> 16;
  std::int64_t bottom = (std::int64_t(in->y) + in->height + 65535) >> 16;
  *out = make<vrect>(x, y, int(right - x), int(bottom - y));
}
void vrectFixedToFloat(const vrectFixed* in, vrectFloat* out) {
  constexpr double k = 1.0 / 65536.0;
  *out = {float(in->x * k), float(in->y * k), float(in->width * k), float(in->height * k)};
}
void vrectLongToFloat(const vrectLong* in, vrectFloat* out) {
  *out = {float(in->x), float(in->y), float(in->width), float(in->height)};
}
