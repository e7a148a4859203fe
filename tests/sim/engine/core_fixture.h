// A device with a program placed in memory and clocked cycle by cycle.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <ios>
#include <vector>

#include "memory_fixture.h"
#include "sim/engine/core/clock_device.h"
#include "sim/engine/core/core_state.h"

// A core word (register or state word) and its value, compared under `mask`.
struct reg_is {
  int r;
  uint32_t value;
  uint32_t mask = 0xFFFFFFFFu;
};
struct acc_is {
  int r;
  uint32_t ext, hi, lo;
};
struct word_at {
  uint32_t address;
  uint32_t value;
};
// After `ends` more instruction ends, the registers and X words expected.
struct after_ends {
  int ends;
  std::vector<reg_is> regs;
  std::vector<word_at> x = {};
  std::vector<word_at> pm = {};
  std::vector<reg_is> set_first = {};  // written before these ends run
  uint32_t pins_low = 0;               // pulled low before these ends run
  int cycles = 0;                      // the cycles they take; 0: not checked
};
// Words placed from `address` on.
struct code_at {
  uint32_t address;
  std::vector<uint32_t> words;
};
// A program placed as {address, word} pairs on a freshly booted device,
// with registers, accumulators and X memory set before it runs.
struct program_case {
  const char* name;
  uint32_t start = 0;
  std::vector<reg_is> regs = {};
  std::vector<acc_is> accs = {};
  std::vector<word_at> x = {};
  std::vector<word_at> p = {};
  std::vector<code_at> code = {};
  std::vector<after_ends> checks = {};
  const char* type = "73521";
};

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

  void expect_regs(const std::vector<reg_is>& want) {
    for (const reg_is& w : want) {
      EXPECT_EQ(reg(w.r) & w.mask, w.value)
          << "core word " << w.r << std::hex << " mask 0x" << w.mask;
    }
  }
  void expect_x(const std::vector<word_at>& want) {
    for (const word_at& w : want) {
      EXPECT_EQ(xread(w.address), w.value) << "x:0x" << std::hex << w.address;
    }
  }
  // Boots, places the case, then runs and checks its groups of ends in turn
  // on the one device.
  void run_case(const program_case& c) {
    SCOPED_TRACE(c.name);
    boot(c.start, c.type);
    for (const reg_is& r : c.regs) set(r.r, r.value);
    for (const acc_is& a : c.accs) set_acc(a.r, a.ext, a.hi, a.lo);
    for (const word_at& m : c.x) xmem(m.address, m.value);
    for (const word_at& w : c.p) write(SPACE_P, w.address, w.value);
    for (const code_at& b : c.code)
      for (uint32_t i = 0; i < b.words.size(); ++i) write(SPACE_P, b.address + i, b.words[i]);
    int n = 0;
    for (const after_ends& k : c.checks) {
      SCOPED_TRACE(::testing::Message() << "check " << n++);
      for (const reg_is& r : k.set_first) set(r.r, r.value);
      if (k.pins_low) {
        pin_low(k.pins_low);
      }
      const int took = steps(k.ends);
      if (k.cycles) {
        EXPECT_EQ(took, k.cycles);
      }
      expect_regs(k.regs);
      expect_x(k.x);
      for (const word_at& w : k.pm) {
        EXPECT_EQ(read(SPACE_P, w.address), w.value) << "p:0x" << std::hex << w.address;
      }
    }
  }
  void run_cases(const std::vector<program_case>& cases) {
    for (const program_case& c : cases) run_case(c);
  }
  // The same with every program started at `start`.
  void run_cases_at(uint32_t start, std::vector<program_case> cases) {
    for (program_case& c : cases) {
      c.start = start;
      run_case(c);
    }
  }

  uint32_t* pins() { return periph_pin_block(PINS_CONTROL); }
  void pin_low(uint32_t pin) { set_pin_word(pins(), PIN_LEVEL, pins()[PIN_LEVEL] & ~pin); }
  void pin_high(uint32_t pin) { set_pin_word(pins(), PIN_LEVEL, pins()[PIN_LEVEL] | pin); }
};
