// A bare clock driver for one device: what one run-loop cycle does to the
// peripherals, without streams, profiler or stop checks.
#include "sim/engine/core/clock_device.h"

#include <cstdio>
#include <cstdlib>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"

bool block_copy_skip = true;

#ifndef NDEBUG
void check_skipped_block_copy(const device_inst& inst, int block_count) {
  const uint32_t* block = inst.blocks.data();
  for (int b = 0; b < block_count; ++b, block += 2 * REG_BLOCK_WORDS) {
    if (std::memcmp(block + REG_BLOCK_WORDS, block, PIN_BLOCK_LIVE_WORDS * sizeof(uint32_t)) != 0) {
      std::fprintf(stderr, "a skipped copy of the previous pin words would have changed them (a pin writer "
                           "without the mark)\n");
      std::abort();
    }
  }
}
#endif

int clock_device_cycles(int device, int n) {
  int done = 0;
  for (; done < n; ++done) {
    if (!make_device_current(device)) break;
    for (int row = 0; row < cur_type->periph_count; ++row) {
      const periph_class* cls = cur_type->periphs[row].cls;
      if (cls->clock) cls->clock(row);
    }
    save_previous_blocks(*cur_inst, cur_type->block_count);
    cur_inst->cycles += 1;
  }
  return done;
}
