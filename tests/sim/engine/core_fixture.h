// A device with a program placed in memory and clocked cycle by cycle.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

#include "memory_fixture.h"
#include "sim/engine/clock_device.h"
#include "sim/engine/core_state.h"

class core_fixture : public device_fixture {
 protected:
  // A "73521" in operating mode 2, the program at `start` (pc written).
  void boot(uint32_t start, const char* type = "73521") {
    make(type);
    set(CORE_PC, start);
    cur_inst->flags = 0;
  }

  uint32_t reg(int r) { return core_word(r); }
  void set(int r, uint32_t v) {
    uint32_t cell[3] = {v, 0, 0};
    core_set_reg(0, r, cell);
  }
  void set_acc(int r, uint32_t ext, uint32_t hi, uint32_t lo) {
    uint32_t cell[3] = {lo, hi, ext};
    core_set_reg(0, r, cell);
  }

  void program(uint32_t address, std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) write(SPACE_P, address++, w);
  }
  void xmem(uint32_t address, uint32_t value) { write(SPACE_X, address, value); }
  uint32_t xread(uint32_t address) { return read(SPACE_X, address); }

  // Clocks until an instruction end; the cycles it took (0 when none
  // came within `limit`). The run loop's clearing of the flags is copied.
  int step(int limit = 200) {
    for (int c = 1; c <= limit; ++c) {
      cur_inst->flags &= ~(DEV_INSTR_END | DEV_INSTR_END2 | DEV_PC_WRITTEN);
      clock_device_cycles(cur_device, 1);
      if (cur_inst->flags & (DEV_INSTR_END | DEV_INSTR_END2)) return c;
    }
    return 0;
  }
  // n instruction ends; the total cycles.
  int steps(int n) {
    int total = 0;
    for (int i = 0; i < n; ++i) {
      const int c = step();
      EXPECT_GT(c, 0) << "no instruction end at step " << i;
      total += c;
    }
    return total;
  }
  void clock(int n) { clock_device_cycles(cur_device, n); }

  uint32_t* pins() { return periph_pin_block(PINS_CONTROL); }
  void pin_low(uint32_t pin) { pins()[PIN_LEVEL] &= ~pin; }
  void pin_high(uint32_t pin) { pins()[PIN_LEVEL] |= pin; }
};
