// A bare clock driver for one device: what one run-loop cycle does to the
// peripherals, without streams, profiler or stop checks.
#include "sim/engine/clock_device.h"

#include "sim/engine/device.h"

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
