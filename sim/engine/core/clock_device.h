// Clocks one device cycle by cycle: every peripheral's clock slot in row
// order (the core first), the register blocks copied to their previous
// words, the cycle count advanced. No streams, no stop checks: the run
// loop adds those.
//
// - `clock_device.h`: `clock_device_cycles` clocks one device without streams or stop checks (what
//   the unit tests use; the run loop adds the rest).
#pragma once

#include <cstring>

#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"

// Clocks device `device` n cycles; returns the cycles run (fewer when the
// device does not exist).
int clock_device_cycles(int device, int n);

// The end of a cycle: each register block's previous words become its
// current ones. Only the pin words (PIN_LEVEL .. PIN_DRIVEN) are ever
// written after initialisation, which sets both copies of the rest, so
// copying the pin words keeps every previous word equal to the current
// word at the end of the last cycle. Every writer marks the device
// (blocks_changed, or pins_changed for a writer that marks only that), so
// with neither mark set the copy would change nothing and is skipped.
constexpr int PIN_BLOCK_LIVE_WORDS = PIN_DRIVEN + 1;
// Debug builds: with no mark set, the copy must change nothing (aborts
// otherwise). Release builds: nothing.
#ifdef NDEBUG
inline void check_skipped_block_copy(const device_inst&, int) {}
#else
void check_skipped_block_copy(const device_inst& inst, int block_count);
#endif
// Off: every end of a cycle copies (the reference the skipping is
// compared against).
extern bool block_copy_skip;
inline void save_previous_blocks(device_inst& inst, int block_count) {
  if ((inst.blocks_changed | inst.pins_changed) == 0 && block_copy_skip) {
    check_skipped_block_copy(inst, block_count);
    return;
  }
  inst.blocks_changed = 0;
  uint32_t* block = inst.blocks.data();
  for (int b = 0; b < block_count; ++b, block += 2 * REG_BLOCK_WORDS)
    std::memcpy(block + REG_BLOCK_WORDS, block, PIN_BLOCK_LIVE_WORDS * sizeof(uint32_t));
}
