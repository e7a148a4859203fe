// The cube, the static colours, the free ranges and the lookup table of
// palette devices.
#include "fw/gui/graphics/colormsw_palette.h"

#include <algorithm>

#include "fw/core/ex.h"

namespace {

constexpr win::BYTE PC_NOCOLLAPSE = 4;

long squared(long a, long b, long c) { return a * a + b * b + c * c; }

}  // namespace

int vcolorMSWCubeSide(int size, int reserved, int reserve, double standardMax) {
  int limit = static_cast<int>(size * standardMax);
  int free = std::min(size - reserved - reserve, limit);
  int n = 2;
  if (free > 8) {
    while (n * n * n < free) ++n;
    if (n * n * n > free) --n;
  }
  return n < 2 || n * n * n > free ? 0 : n;
}

int vcolorMSWNearestStatic(const std::vector<win::PALETTEENTRY>& palette, int half, int r, int g, int b, bool all) {
  int size = static_cast<int>(palette.size());
  std::vector<int> order;
  if (all) {
    for (int i = 0; i < size; ++i) order.push_back(i);
  } else {
    for (int i = 0; i < half; ++i) order.push_back(i);
    for (int i = size - half; i < size; ++i) order.push_back(i);
  }
  int best = order.empty() ? -1 : order[0];
  long bestDistance = -1;
  for (int i : order) {
    const win::PALETTEENTRY& e = palette[i];
    long d = squared(e.peRed - r, e.peGreen - g, e.peBlue - b);
    if (bestDistance < 0 || d < bestDistance) {
      best = i;
      bestDistance = d;
      if (d == 0) break;
    }
  }
  return best;
}

void vcolorMSWFillCube(std::vector<win::PALETTEENTRY>& palette, int half, int side) {
  int size = static_cast<int>(palette.size());
  int at = half;
  for (int r = 0; r < side; ++r)
    for (int g = 0; g < side; ++g)
      for (int b = 0; b < side; ++b) {
        win::PALETTEENTRY e{static_cast<win::BYTE>(r * 255 / (side - 1)), static_cast<win::BYTE>(g * 255 / (side - 1)),
                            static_cast<win::BYTE>(b * 255 / (side - 1)), PC_NOCOLLAPSE};
        int s = vcolorMSWNearestStatic(palette, half, e.peRed, e.peGreen, e.peBlue);
        const win::PALETTEENTRY& st = palette[s];
        if (s >= size - half && st.peRed == e.peRed && st.peGreen == e.peGreen && st.peBlue == e.peBlue) {
          e.peRed ^= 1;
          e.peGreen ^= 1;
          e.peBlue ^= 1;
        }
        palette[at++] = e;
      }
}

// ---- Free ranges.

void vcolorMSWRanges::reset(int used, int free) {
  base_ = used;
  list_.assign(1, Range{used, free});
}

int vcolorMSWRanges::allocate(int count, int align) {
  if (count < 1 || align < 1) return -1;
  int pos = 0;
  for (std::size_t i = 0; i < list_.size(); ++i) {
    Range& r = list_[i];
    int freeStart = pos + r.used;
    int start = (freeStart + align - 1) / align * align;
    int gap = start - freeStart;
    if (gap + count <= r.free) {
      Range taken{count, r.free - gap - count};
      r.free = gap;
      list_.insert(list_.begin() + static_cast<std::ptrdiff_t>(i) + 1, taken);
      return start;
    }
    pos += r.used + r.free;
  }
  return -1;
}

void vcolorMSWRanges::release(int start, int count) {
  int pos = 0;
  for (std::size_t i = 0; i < list_.size(); ++i) {
    Range& r = list_[i];
    int usedStart = std::max(pos, i == 0 ? base_ : pos), usedEnd = pos + r.used;
    if (count >= 1 && start >= usedStart && start + count <= usedEnd) {
      if (start == pos && count == r.used && i > 0) {
        // The whole range goes back to the one before it.
        list_[i - 1].free += r.used + r.free;
        list_.erase(list_.begin() + static_cast<std::ptrdiff_t>(i));
      } else if (start + count == usedEnd) {
        r.used -= count;
        r.free += count;
      } else {
        // From the middle: the rest after it becomes a range of its own.
        Range after{usedEnd - (start + count), r.free};
        r.used = start - pos;
        r.free = count;
        list_.insert(list_.begin() + static_cast<std::ptrdiff_t>(i) + 1, after);
      }
      return;
    }
    pos += r.used + r.free;
  }
  _vexGenerate(&vexArgClass, vexSetMessage, "trying to free bad color range", vexEnd);
}

// ---- The lookup table.

namespace {

struct Box {
  std::int32_t lo[3], hi[3];
  std::vector<std::uint32_t> candidates;
};

std::int32_t bound(int i, int n) { return static_cast<std::int32_t>((static_cast<long>(i) * 65535 / n) >> 2); }

}  // namespace

void vcolorMSWLookup::build(const std::vector<std::array<std::uint16_t, 3>>& colors) {
  colors_.clear();
  for (const auto& c : colors) colors_.push_back({c[0] >> 2, c[1] >> 2, c[2] >> 2});
  std::size_t wanted = std::clamp<std::size_t>(2 * colors.size(), 512, 4096);
  bits_ = 3;
  while ((std::size_t{1} << (3 * bits_)) < wanted && bits_ < 4) ++bits_;
  auto dist = [&](std::uint32_t c, const std::int32_t* p) {
    const auto& k = colors_[c];
    return squared(k[0] - p[0], k[1] - p[1], k[2] - p[2]);
  };
  // Keeps, for a new box, the candidates whose bisecting planes with the
  // kept ones cut the box.
  auto prune = [&](Box& box) {
    std::int32_t centre[3];
    for (int a = 0; a < 3; ++a) centre[a] = (box.lo[a] + box.hi[a]) / 2;
    std::vector<std::uint32_t>& from = box.candidates;
    if (from.empty()) return;
    std::size_t first = 0;
    for (std::size_t i = 1; i < from.size(); ++i)
      if (dist(from[i], centre) < dist(from[first], centre)) first = i;
    std::vector<std::uint32_t> kept{from[first]};
    for (std::size_t i = 0; i < from.size(); ++i) {
      if (i == first) continue;
      std::uint32_t c = from[i];
      bool dropped = false;
      for (std::size_t j = 0; j < kept.size();) {
        std::uint32_t k = kept[j];
        const auto& C = colors_[c];
        const auto& K = colors_[k];
        long m[3], d[3];
        for (int a = 0; a < 3; ++a) {
          m[a] = (static_cast<long>(C[a]) + K[a]) / 2;
          d[a] = static_cast<long>(K[a]) - C[a];
        }
        int above = 0;
        for (int corner = 0; corner < 8; ++corner) {
          long v = 0;
          for (int a = 0; a < 3; ++a) v += ((corner >> a & 1 ? box.hi[a] : box.lo[a]) - m[a]) * d[a];
          above += v > 0;
        }
        if (above != 0 && above != 8) {
          ++j;
          continue;
        }
        bool same = C == K;
        if (same || dist(k, centre) < dist(c, centre)) {
          dropped = true;
          break;
        }
        kept[j] = kept.back();
        kept.pop_back();
      }
      if (!dropped) kept.push_back(c);
    }
    from.swap(kept);
  };
  std::vector<Box> boxes(1);
  for (int a = 0; a < 3; ++a) {
    boxes[0].lo[a] = bound(0, 1);
    boxes[0].hi[a] = bound(1, 1);
  }
  for (std::uint32_t i = 0; i < colors_.size(); ++i) boxes[0].candidates.push_back(i);
  int cells[3] = {1, 1, 1};
  for (int level = 1; level <= bits_; ++level)
    for (int axis = 0; axis < 3; ++axis) {
      int n = cells[axis] * 2;
      std::vector<Box> split;
      split.reserve(boxes.size() * 2);
      for (const Box& parent : boxes) {
        // The parent is cell p of the axis; its halves are 2p and 2p + 1.
        int p = 0;
        while (bound(p, cells[axis]) != parent.lo[axis]) ++p;
        for (int half = 0; half < 2; ++half) {
          Box child{{parent.lo[0], parent.lo[1], parent.lo[2]}, {parent.hi[0], parent.hi[1], parent.hi[2]}, parent.candidates};
          child.lo[axis] = bound(2 * p + half, n);
          child.hi[axis] = bound(2 * p + half + 1, n);
          prune(child);
          split.push_back(std::move(child));
        }
      }
      boxes.swap(split);
      cells[axis] = n;
    }
  // Boxes are in red-major order once every axis has split alike; place
  // each by its lower corner.
  std::size_t side = std::size_t{1} << bits_;
  std::vector<const Box*> byCell(side * side * side, nullptr);
  for (const Box& box : boxes) {
    std::size_t idx[3];
    for (int a = 0; a < 3; ++a) {
      std::size_t i = 0;
      while (bound(static_cast<int>(i), static_cast<int>(side)) != box.lo[a]) ++i;
      idx[a] = i;
    }
    byCell[(idx[0] << (2 * bits_)) + (idx[1] << bits_) + idx[2]] = &box;
  }
  cellStart_.assign(1, 0);
  indexes_.clear();
  for (const Box* box : byCell) {
    indexes_.insert(indexes_.end(), box->candidates.begin(), box->candidates.end());
    cellStart_.push_back(static_cast<std::uint32_t>(indexes_.size()));
  }
}

std::size_t vcolorMSWLookup::cellOf(unsigned r, unsigned g, unsigned b) const {
  int s = 16 - bits_;
  return ((static_cast<std::size_t>(r & 0xFFFF) >> s) << (2 * bits_)) + ((static_cast<std::size_t>(g & 0xFFFF) >> s) << bits_) +
         (static_cast<std::size_t>(b & 0xFFFF) >> s);
}

std::size_t vcolorMSWLookup::candidates(unsigned r, unsigned g, unsigned b) const {
  std::size_t cell = cellOf(r, g, b);
  return cellStart_[cell + 1] - cellStart_[cell];
}

int vcolorMSWLookup::nearest(unsigned r, unsigned g, unsigned b) const {
  std::size_t cell = cellOf(r, g, b);
  std::int32_t p[3] = {static_cast<std::int32_t>((r & 0xFFFF) >> 2), static_cast<std::int32_t>((g & 0xFFFF) >> 2),
                       static_cast<std::int32_t>((b & 0xFFFF) >> 2)};
  int best = -1;
  long bestDistance = 0;
  for (std::uint32_t i = cellStart_[cell]; i < cellStart_[cell + 1]; ++i) {
    const auto& c = colors_[indexes_[i]];
    long d = squared(c[0] - p[0], c[1] - p[1], c[2] - p[2]);
    if (best < 0 || d < bestDistance || (d == bestDistance && static_cast<int>(indexes_[i]) < best)) {
      best = static_cast<int>(indexes_[i]);
      bestDistance = d;
    }
  }
  return best;
}
