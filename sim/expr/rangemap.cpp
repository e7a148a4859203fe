// Interval maps: sorted, non-overlapping ranges covering the row's whole
// address space once anything has been set, neighbours of equal value merged.
#include "sim/expr/rangemap.h"

#include <vector>

namespace {

void set_one(range_map& map, uint32_t low, uint32_t high, uint32_t mask, uint32_t value) {
  if (map.ranges.empty()) map.ranges.push_back({0, 0, mask});
  std::vector<range_entry> out;
  out.reserve(map.ranges.size() + 2);
  const auto append = [&out](range_entry e) {
    if (!out.empty() && out.back().value == e.value && out.back().high + 1 == e.low) {
      out.back().high = e.high;
    } else {
      out.push_back(e);
    }
  };
  bool placed = false;
  for (const range_entry& e : map.ranges) {
    if (e.high < low) {
      append(e);
      continue;
    }
    if (e.low < low) append({e.value, e.low, low - 1});
    if (!placed) {
      append({value, low, high});
      placed = true;
    }
    if (e.high > high) append({e.value, e.low > high ? e.low : high + 1, e.high});
  }
  if (!placed) append({value, low, high});
  map.ranges = std::move(out);
}

}  // namespace

void range_map_set(range_map& map, uint32_t low, uint32_t high, uint32_t wrap_mask,
                   uint32_t value) {
  low &= wrap_mask;
  high &= wrap_mask;
  if (high < low) {
    set_one(map, low, wrap_mask, wrap_mask, value);
    set_one(map, 0, high, wrap_mask, value);
  } else {
    set_one(map, low, high, wrap_mask, value);
  }
}

uint32_t range_map_get(const range_map& map, uint32_t address) {
  for (const range_entry& e : map.ranges) {
    if (e.high >= address) return e.low <= address ? e.value : 0;
  }
  return 0;
}

void range_map_clear(range_map& map) { map.ranges.clear(); }
