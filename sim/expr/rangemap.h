// Interval maps over a memory-map row's addresses: display switches,
// highlight marks, stream tags and the display radix of memory words.
#pragma once

#include <cstdint>

#include "sim/engine/device/memory.h"

// Gives [low, high] the value; when high < low the range wraps from low to
// the top of wrap_mask and from 0 to high. Neighbours of equal value merge.
void range_map_set(range_map& map, uint32_t low, uint32_t high, uint32_t wrap_mask,
                   uint32_t value);
// The value at the address: that of the first range ending at or above it
// that also starts at or below it; 0 elsewhere.
uint32_t range_map_get(const range_map& map, uint32_t address);
// Back to 0 everywhere.
void range_map_clear(range_map& map);
