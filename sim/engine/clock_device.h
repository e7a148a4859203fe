// Clocks one device cycle by cycle: every peripheral's clock slot in row
// order (the core first), the register blocks copied to their previous
// words, the cycle count advanced. No streams, no stop checks: the run
// loop adds those.
#pragma once

#include <cstring>

#include "sim/engine/device.h"
#include "sim/engine/periph.h"

// Clocks device `device` n cycles; returns the cycles run (fewer when the
// device does not exist).
int clock_device_cycles(int device, int n);

// The end of a cycle: each register block's previous words become its
// current ones. Only the pin words (PIN_LEVEL .. PIN_DRIVEN) are ever
// written after initialisation, which sets both copies of the rest, so
// copying the pin words keeps every previous word equal to the current
// word at the end of the last cycle.
constexpr int PIN_BLOCK_LIVE_WORDS = PIN_DRIVEN + 1;
inline void save_previous_blocks(device_inst& inst, int block_count) {
  uint32_t* block = inst.blocks.data();
  for (int b = 0; b < block_count; ++b, block += 2 * REG_BLOCK_WORDS)
    std::memcpy(block + REG_BLOCK_WORDS, block, PIN_BLOCK_LIVE_WORDS * sizeof(uint32_t));
}
