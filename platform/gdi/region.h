// Regions as Y-X bands: rectangles sorted top to bottom, then left to
// right; the rectangles of one band share their top and bottom, never
// touch each other, and two touching bands never hold the same spans
// (they are merged). Coordinates are kept within +-2^27, so no sum of two
// overflows.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/win/types.h"

namespace win::internal {

class Region {
 public:
  static constexpr LONG kLimit = 1 << 27;

  Region() = default;
  explicit Region(const RECT& r) { set(r); }

  void set(const RECT& r);
  void clear() { rects_.clear(), box_ = {}; }
  bool empty() const { return rects_.empty(); }
  const std::vector<RECT>& rects() const { return rects_; }
  const RECT& box() const { return box_; }
  // NULLREGION, SIMPLEREGION or COMPLEXREGION.
  int kind() const;

  // op: RGN_AND, RGN_OR, RGN_XOR or RGN_DIFF.
  static Region combine(const Region& a, const Region& b, int op);
  Region& operator&=(const Region& o) { return *this = combine(*this, o, 1); }
  Region& operator|=(const Region& o) { return *this = combine(*this, o, 2); }
  Region& operator-=(const Region& o) { return *this = combine(*this, o, 4); }
  friend Region operator&(Region a, const Region& b) { return a &= b; }
  friend Region operator-(Region a, const Region& b) { return a -= b; }
  void offset(LONG dx, LONG dy);
  bool contains(LONG x, LONG y) const;
  bool meets(const RECT& r) const;
  // Whether one of the region's rectangles holds all of r (false may
  // still mean covered by several).
  bool holds(const RECT& r) const;
  bool operator==(const Region& o) const;

  // Builds from any rectangles, overlapping or not.
  static Region fromRects(const std::vector<RECT>& rects);

 private:
  std::vector<RECT> rects_;
  RECT box_{};
};

inline bool emptyRect(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
inline RECT intersectRect(const RECT& a, const RECT& b) {
  return {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top, a.right < b.right ? a.right : b.right,
          a.bottom < b.bottom ? a.bottom : b.bottom};
}
inline RECT offsetRect(RECT r, LONG dx, LONG dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

}  // namespace win::internal
