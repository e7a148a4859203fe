// A bare clock driver for one device: what one run-loop cycle does to the
// peripherals, without streams, profiler or stop checks.
#include "sim/engine/clock_device.h"

#include <algorithm>

#include "sim/engine/device.h"

int clock_device_cycles(int device, int n) {
  int done = 0;
  for (; done < n; ++done) {
    if (!make_device_current(device)) break;
    for (int row = 0; row < cur_type->periph_count; ++row) {
      const periph_class* cls = cur_type->periphs[row].cls;
      if (cls->clock) cls->clock(row);
    }
    for (int b = 0; b < cur_type->block_count; ++b) {
      uint32_t* block = cur_inst->blocks.data() + static_cast<std::size_t>(b) * 2 * REG_BLOCK_WORDS;
      std::copy(block, block + REG_BLOCK_WORDS, block + REG_BLOCK_WORDS);
    }
    cur_inst->cycles += 1;
  }
  return done;
}
