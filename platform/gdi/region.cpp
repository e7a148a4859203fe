// Region algebra over Y-X bands and the region calls.
#include "platform/gdi/region.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/internal.h"

namespace win {
namespace internal {
namespace {

LONG clampCoord(LONG v) { return std::clamp(v, -Region::kLimit, Region::kLimit); }

// Where band starts: index of the first rectangle of the band holding y,
// walking forward from `at`.
struct BandCursor {
  const std::vector<RECT>& r;
  std::size_t at = 0;
  // The spans [first, last) covering row y (none when the region misses it).
  void spans(LONG y, std::size_t& first, std::size_t& last) {
    while (at < r.size() && r[at].bottom <= y) at = next(at);
    first = last = at;
    if (at < r.size() && r[at].top <= y) last = next(at);
  }
  std::size_t next(std::size_t i) const {
    std::size_t j = i;
    while (j < r.size() && r[j].top == r[i].top) ++j;
    return j;
  }
};

bool keep(int op, bool a, bool b) {
  switch (op) {
    case RGN_AND: return a && b;
    case RGN_OR: return a || b;
    case RGN_XOR: return a != b;
    default: return a && !b;
  }
}

}  // namespace

void Region::set(const RECT& r) {
  RECT n{clampCoord(std::min(r.left, r.right)), clampCoord(std::min(r.top, r.bottom)),
         clampCoord(std::max(r.left, r.right)), clampCoord(std::max(r.top, r.bottom))};
  rects_.clear();
  box_ = {};
  if (emptyRect(n)) return;
  rects_.push_back(n);
  box_ = n;
}

int Region::kind() const { return rects_.empty() ? NULLREGION : rects_.size() == 1 ? SIMPLEREGION : COMPLEXREGION; }

Region Region::combine(const Region& a, const Region& b, int op) {
  Region out;
  if (op == RGN_AND && (a.empty() || b.empty())) return out;
  if ((op == RGN_DIFF && (a.empty() || b.empty())) || ((op == RGN_OR || op == RGN_XOR) && b.empty())) return a;
  if ((op == RGN_OR || op == RGN_XOR) && a.empty()) return b;
  // Every band edge of either region, in order.
  std::vector<LONG> ys;
  ys.reserve(2 * (a.rects_.size() + b.rects_.size()));
  for (const Region* g : {&a, &b})
    for (std::size_t i = 0; i < g->rects_.size(); ++i)
      if (i == 0 || g->rects_[i].top != g->rects_[i - 1].top) {
        ys.push_back(g->rects_[i].top);
        ys.push_back(g->rects_[i].bottom);
      }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

  BandCursor ca{a.rects_}, cb{b.rects_};
  std::vector<LONG> spans;  // left, right pairs of the band being made
  std::size_t prevBand = 0, prevCount = 0;
  for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
    LONG y0 = ys[k], y1 = ys[k + 1];
    std::size_t a0, a1, b0, b1;
    ca.spans(y0, a0, a1);
    cb.spans(y0, b0, b1);
    spans.clear();
    // Walk the edges of both span lists together.
    std::size_t i = a0, j = b0;
    bool inA = false, inB = false, in = false;
    while (i < a1 || j < b1) {
      LONG xa = i < a1 ? (inA ? a.rects_[i].right : a.rects_[i].left) : Region::kLimit + 1;
      LONG xb = j < b1 ? (inB ? b.rects_[j].right : b.rects_[j].left) : Region::kLimit + 1;
      LONG x = std::min(xa, xb);
      if (xa == x) {
        if (inA) ++i;
        inA = !inA;
      }
      if (xb == x) {
        if (inB) ++j;
        inB = !inB;
      }
      bool now = keep(op, inA, inB);
      if (now != in) {
        if (now && !spans.empty() && spans.back() == x)
          spans.pop_back();  // touches the previous span: extend it
        else
          spans.push_back(x);
        in = now;
      }
    }
    if (spans.empty()) continue;
    // Merge with the band above when it touches and holds the same spans.
    std::size_t n = spans.size() / 2;
    if (prevCount == n && out.rects_[prevBand].bottom == y0) {
      bool same = true;
      for (std::size_t s = 0; s < n && same; ++s)
        same = out.rects_[prevBand + s].left == spans[2 * s] && out.rects_[prevBand + s].right == spans[2 * s + 1];
      if (same) {
        for (std::size_t s = 0; s < n; ++s) out.rects_[prevBand + s].bottom = y1;
        continue;
      }
    }
    prevBand = out.rects_.size();
    prevCount = n;
    for (std::size_t s = 0; s < n; ++s) out.rects_.push_back({spans[2 * s], y0, spans[2 * s + 1], y1});
  }
  if (!out.rects_.empty()) {
    out.box_ = {out.rects_.front().left, out.rects_.front().top, out.rects_.front().right, out.rects_.back().bottom};
    for (const RECT& r : out.rects_) {
      out.box_.left = std::min(out.box_.left, r.left);
      out.box_.right = std::max(out.box_.right, r.right);
    }
  }
  return out;
}

Region Region::fromRects(const std::vector<RECT>& rects) {
  // Pairwise unions keep the work near n log n.
  std::vector<Region> parts;
  parts.reserve(rects.size());
  for (const RECT& r : rects)
    if (Region g(r); !g.empty()) parts.push_back(std::move(g));
  if (parts.empty()) return {};
  while (parts.size() > 1) {
    std::vector<Region> next;
    next.reserve((parts.size() + 1) / 2);
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) next.push_back(combine(parts[i], parts[i + 1], RGN_OR));
    if (parts.size() % 2) next.push_back(std::move(parts.back()));
    parts = std::move(next);
  }
  return std::move(parts.front());
}

void Region::offset(LONG dx, LONG dy) {
  if (rects_.empty()) return;
  dx = std::clamp(dx, -2 * kLimit, 2 * kLimit);
  dy = std::clamp(dy, -2 * kLimit, 2 * kLimit);
  bool clipped = false;
  for (RECT& r : rects_) {
    RECT m{clampCoord(r.left + dx), clampCoord(r.top + dy), clampCoord(r.right + dx), clampCoord(r.bottom + dy)};
    clipped = clipped || m.right - m.left != r.right - r.left || m.bottom - m.top != r.bottom - r.top;
    r = m;
  }
  if (clipped) {
    *this = fromRects(rects_);
    return;
  }
  box_ = offsetRect(box_, dx, dy);
}

bool Region::contains(LONG x, LONG y) const {
  if (rects_.empty() || x < box_.left || x >= box_.right || y < box_.top || y >= box_.bottom) return false;
  auto it = std::partition_point(rects_.begin(), rects_.end(), [&](const RECT& r) { return r.bottom <= y; });
  for (; it != rects_.end() && it->top <= y; ++it)
    if (x >= it->left && x < it->right) return true;
  return false;
}

bool Region::holds(const RECT& q) const {
  if (emptyRect(q) || q.left < box_.left || q.right > box_.right || q.top < box_.top || q.bottom > box_.bottom)
    return false;
  auto it = std::partition_point(rects_.begin(), rects_.end(), [&](const RECT& r) { return r.bottom <= q.top; });
  for (; it != rects_.end() && it->top <= q.top; ++it)
    if (q.left >= it->left && q.right <= it->right && q.bottom <= it->bottom) return true;
  return false;
}

bool Region::meets(const RECT& q) const {
  if (emptyRect(q) || emptyRect(intersectRect(q, box_))) return false;
  auto it = std::partition_point(rects_.begin(), rects_.end(), [&](const RECT& r) { return r.bottom <= q.top; });
  for (; it != rects_.end() && it->top < q.bottom; ++it)
    if (!emptyRect(intersectRect(*it, q))) return true;
  return false;
}

bool Region::operator==(const Region& o) const {
  return rects_.size() == o.rects_.size() &&
         std::equal(rects_.begin(), rects_.end(), o.rects_.begin(), [](const RECT& x, const RECT& y) {
           return x.left == y.left && x.top == y.top && x.right == y.right && x.bottom == y.bottom;
         });
}

Region* regionOf(HRGN h) {
  GdiObject* o = gdiObject(h, OBJ_REGION);
  return o ? &o->region : nullptr;
}

HRGN newRegion(Region r) {
  auto o = std::make_unique<GdiObject>(OBJ_REGION);
  o->region = std::move(r);
  return addGdiObject<HRGN>(std::move(o));
}

}  // namespace internal

using internal::Region;
using internal::regionOf;

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  return internal::newRegion(Region(RECT{left, top, right, bottom}));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom) {
  Region* r = regionOf(region);
  if (!r) return 0;
  r->set({left, top, right, bottom});
  return 1;
}

int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode) {
  Region* d = regionOf(dest);
  Region* ra = regionOf(a);
  if (!d || !ra || mode < RGN_AND || mode > RGN_COPY) return ERROR;
  if (mode == RGN_COPY) {
    *d = *ra;
    return d->kind();
  }
  Region* rb = regionOf(b);
  if (!rb) return ERROR;
  *d = Region::combine(*ra, *rb, mode);
  return d->kind();
}

int OffsetRgn(HRGN region, int dx, int dy) {
  Region* r = regionOf(region);
  if (!r) return ERROR;
  r->offset(dx, dy);
  return r->kind();
}

int GetRgnBox(HRGN region, RECT* rect) {
  Region* r = regionOf(region);
  if (!r || !rect) return ERROR;
  *rect = r->box();
  return r->kind();
}

BOOL PtInRegion(HRGN region, int x, int y) {
  Region* r = regionOf(region);
  return r && r->contains(x, y);
}

BOOL RectInRegion(HRGN region, const RECT* rect) {
  Region* r = regionOf(region);
  if (!r || !rect) return 0;
  RECT n{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom), std::max(rect->left, rect->right),
         std::max(rect->top, rect->bottom)};
  return r->meets(n);
}

BOOL EqualRgn(HRGN a, HRGN b) {
  Region* ra = regionOf(a);
  Region* rb = regionOf(b);
  if (!ra || !rb) return ERROR;
  return *ra == *rb;
}

HRGN ExtCreateRegion(const XFORM* xform, DWORD size, const RGNDATA* data) {
  bool identity = !xform || (xform->eM11 == 1 && xform->eM12 == 0 && xform->eM21 == 0 && xform->eM22 == 1 &&
                             xform->eDx == 0 && xform->eDy == 0);
  if (!data || !identity || size < sizeof(RGNDATAHEADER) || data->rdh.dwSize != sizeof(RGNDATAHEADER) ||
      data->rdh.iType != RDH_RECTANGLES || data->rdh.nCount > (size - sizeof(RGNDATAHEADER)) / sizeof(RECT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::vector<RECT> rects(data->rdh.nCount);
  if (!rects.empty()) std::memcpy(rects.data(), data->Buffer, rects.size() * sizeof(RECT));
  return internal::newRegion(Region::fromRects(rects));
}

DWORD GetRegionData(HRGN region, DWORD size, RGNDATA* data) {
  Region* r = regionOf(region);
  if (!r) return 0;
  const auto& rects = r->rects();
  DWORD body = static_cast<DWORD>(rects.size() * sizeof(RECT));
  DWORD need = static_cast<DWORD>(sizeof(RGNDATAHEADER)) + body;
  if (!data) return need;
  if (size < need) {
    SetLastError(ERROR_MORE_DATA);
    return 0;
  }
  data->rdh = {sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(rects.size()), body, r->box()};
  if (!rects.empty()) std::memcpy(data->Buffer, rects.data(), body);
  return size;
}

}  // namespace win
