// The cheap clocking against the per-cycle clocking it replaces: pin
// samples skipped while no pin changed, and several device cycles'
// PLL steps, clock-out pin and samples done at once, compared over the
// whole device state.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/sim/cmd/engine_pair.h"
#include "sim/asm/asm.h"
#include "sim/engine/core/clock_device.h"
#include "sim/engine/core/core_engine.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/core/runloop.h"
#include "sim/engine/fast/state_digest.h"

namespace {

using engine_pair::assemble;
using engine_pair::set;
using engine_pair::type_names;

class fast_clock : public cmd_fixture {
 protected:
  void SetUp() override {
    cmd_fixture::SetUp();
    free_all_devices();
  }
  void TearDown() override {
    pin_samples_skip = true;
    block_copy_skip = true;
    free_all_devices();
    cmd_fixture::TearDown();
  }
  static void make(int d, const char* type) {
    ASSERT_EQ(create_device(d, type), 1);
    make_device_current(d);
  }
};

// A control pin set low or high before a cycle.
struct pin_move {
  int cycle;
  uint32_t pin;
  bool high;
};
struct line {
  uint32_t address;
  const char* text;
};
struct pin_case {
  const char* name;
  std::vector<line> program;
  uint32_t start;
  std::vector<std::pair<const char*, uint32_t>> regs;
  std::vector<pin_move> moves;
};

// Two devices run the same program and pin moves, one skipping the
// samples and the copy of the previous pin words while no writer marked
// it, the other sampling and copying every cycle: the whole state agrees
// after every cycle.
TEST_F(fast_clock, SkippedPinSamplesLeaveWhatSamplingEveryCycleLeaves) {
  const std::vector<line> irq_program = {{0x0, "jmp >$40"},       {0xa, "jsr >$80"},
                                         {0x40, "move #>$3,x0"},  {0x42, "rep #3"},
                                         {0x43, "inc a"},         {0x44, "jmp >$40"},
                                         {0x80, "lea (r1)+,r1"},  {0x81, "rti"}};
  const pin_case cases[] = {
      {"IRQA edges", irq_program, 0, {{"ipr", 0x5}, {"sr", 0}},
       {{20, CTL_IRQA, false}, {26, CTL_IRQA, true}, {61, CTL_IRQA, false}, {90, CTL_IRQA, true}}},
      {"IRQA and IRQB levels", irq_program, 0, {{"ipr", 0x1B}, {"sr", 0}},
       {{15, CTL_IRQB, false}, {17, CTL_IRQA, false}, {40, CTL_IRQB, true}, {70, CTL_IRQA, true}}},
      {"IRQC (73583) and reset", irq_program, 0, {{"ipr", 0x5}, {"sr", 0}},
       {{12, CTL_IRQC, false}, {30, CTL_IRQC, true}, {50, CTL_RESET, false}, {55, CTL_RESET, true}}},
      {"external program, omr requester, bus pins",
       {{0x2000, "nop"},
        {0x2001, "ori #$4,omr"},
        {0x2002, "nop"},
        {0x2003, "nop"},
        {0x2004, "andi #$fb,omr"},
        {0x2005, "jmp $2000"}},
       0x2000,
       {{"bcr", 0x21}},
       {{10, CTL_TA, true},
        {16, CTL_TA, false},
        {30, CTL_BR, false},
        {47, CTL_BG, false},
        {52, CTL_BR, true},
        {60, CTL_BB, false},
        {75, CTL_BG, true},
        {80, CTL_BB, true}}},
      // The clock-out pin, which marks only the previous words: switched
      // off and on by omr, following the phase of a running PLL.
      {"clock-out pin",
       {{0x40, "ori #$80,omr"}, {0x41, "nop"}, {0x42, "andi #$7f,omr"}, {0x43, "rep #5"}, {0x44, "nop"},
        {0x45, "jmp $40"}},
       0x40,
       {{"plcr", 0x0800}},
       {}},
      {"clock-out pin on the phase of a running PLL",
       {{0x40, "andi #$7f,omr"}, {0x41, "rep #7"}, {0x42, "nop"}, {0x43, "ori #$80,omr"}, {0x44, "jmp $40"}},
       0x40,
       {{"plcr", 0x0800 | PLL_ENABLE | PLL_LOCK | 0x31}, {"pcr0", 0x103}},
       {}},
  };
  constexpr int SKIP = 0, EVERY = 1, CYCLES = 200;
  for (const char* type : type_names) {
    for (const pin_case& c : cases) {
      SCOPED_TRACE(std::string(type) + " " + c.name);
      for (int d : {SKIP, EVERY}) {
        make(d, type);
        for (const line& l : c.program) assemble(d, l.address, l.text);
        set(d, "pc", c.start);
        // The PLL's registers where the type has them.
        for (const auto& [name, value] : c.regs) {
          int row = 0, reg = 0;
          if (lookup_register(d, name, &row, &reg) != 0) set(d, name, value);
        }
      }
      int skipped = 0;
      for (int k = 0; k < CYCLES; ++k) {
        for (int d : {SKIP, EVERY}) {
          make_device_current(d);
          for (const pin_move& m : c.moves) {
            if (m.cycle != k) continue;
            uint32_t* pins = periph_pin_block(PINS_CONTROL);
            set_pin_word(pins, PIN_LEVEL, m.high ? pins[PIN_LEVEL] | m.pin : pins[PIN_LEVEL] & ~m.pin);
          }
          if (d == SKIP) skipped += cur_inst->pins_changed == 0 ? 1 : 0;
          pin_samples_skip = d == SKIP;
          block_copy_skip = d == SKIP;
          clock_device_cycles(d, 1);
          cur_inst->flags &= ~(DEV_INSTR_END | DEV_INSTR_END2 | DEV_PC_WRITTEN);
        }
        ASSERT_EQ(device_state_difference(SKIP, EVERY), "") << "after cycle " << k;
      }
      pin_samples_skip = true;
      block_copy_skip = true;
      // The skipping did happen, between the moves.
      EXPECT_GT(skipped, CYCLES / 4);
      free_all_devices();
    }
  }
}

// The PLL as a case sets it, relative to the cycle count n where a lock
// count is concerned.
struct pll_case {
  const char* name;
  uint32_t plcr;
  uint32_t pcr0;
  int lock;           // the lock count: n + lock, or none when below -100
  uint32_t fraction;  // the accumulator
};
constexpr int NO_LOCK = -1000;
constexpr uint32_t RUNNING = PLL_ENABLE | PLL_LOCK;

TEST_F(fast_clock, ClosedFormClockingLeavesWhatTheCyclesLeave) {
  const pll_case plls[] = {
      {"off", 0, 0, NO_LOCK, 0},
      {"enabled, locking before the end", PLL_ENABLE | 0x31, 0x305, -1, 0},
      {"enabled, locking at the end", PLL_ENABLE | 0x31, 0x305, 0, 0},
      {"enabled, locking after the end", PLL_ENABLE | 0x31, 0x305, 1, 0},
      {"enabled, locking much later", PLL_ENABLE, 0, 900, 0},
      {"running 1:1", RUNNING, 0, NO_LOCK, 0},
      {"running 4:2", RUNNING | 0x31, 0x103, NO_LOCK, 1},
      {"running 15:5 from the top", RUNNING | 0xE4, 0x40E, NO_LOCK, 14},
      {"running 3:10, divider above", RUNNING | 0x29, 0x902, NO_LOCK, 0},
      {"running, accumulator above the multiplier", RUNNING | 0x31, 0x303, NO_LOCK, 9},
      {"running 256:1 (73583)", RUNNING, 0x0FF, NO_LOCK, 200},
      {"running 1:16 (73583)", RUNNING, 0xF00, NO_LOCK, 0},
  };
  constexpr uint32_t clock_outs[] = {0, 0x400, 0x800, 0xC00};
  constexpr int CLOSED = 0, CYCLED = 1;
  for (const char* type : type_names) {
    SCOPED_TRACE(type);
    for (int d : {CLOSED, CYCLED}) {
      make(d, type);
      for (int k = 0; k < 2; ++k) core_sample_pins();
      ASSERT_EQ(cur_inst->pins_changed, 0);
    }
    int done = 0;
    for (const pll_case& p : plls) {
      for (uint32_t select : clock_outs) {
        for (bool off : {false, true}) {
          for (int n = 1; n <= 12; ++n) {
            SCOPED_TRACE(std::string(p.name) + " select " + std::to_string(select) + (off ? " off" : "") +
                         " n " + std::to_string(n));
            for (int d : {CLOSED, CYCLED}) {
              make_device_current(d);
              uint32_t* w = core_words();
              w[CORE_PLCR] = p.plcr | select;
              if (core_is_583()) w[CORE_PCR0] = p.pcr0;
              w[CORE_OMR] = off ? w[CORE_OMR] | OMR_CLOCK_OUT_OFF : w[CORE_OMR] & ~OMR_CLOCK_OUT_OFF;
              w[CS_PLL_LOCK_COUNT] = p.lock < -100 ? 0 : static_cast<uint32_t>(n + p.lock);
              w[CS_PLL_FRACTION] = p.fraction;
            }
            const uint64_t before = device_state_digest(CLOSED);
            ASSERT_EQ(before, device_state_digest(CYCLED));
            make_device_current(CLOSED);
            const int got = core_clock_cycles_closed(n);
            // Only a lock count running out inside the cycles is refused
            // (the 73521 has no PLL to lock).
            const bool locks = p.lock > -100 && p.lock <= 0 && n + p.lock > 0 && !(cur_type->type_bit & TYPE_73521);
            ASSERT_EQ(got, locks ? 0 : n);
            if (got == 0) {
              EXPECT_EQ(device_state_digest(CLOSED), before);
              continue;
            }
            ++done;
            make_device_current(CYCLED);
            for (int k = 0; k < n; ++k) {
              core_pll_step();
              core_clock_out_pin();
              core_sample_pins();
            }
            ASSERT_EQ(device_state_difference(CLOSED, CYCLED), "");
          }
        }
      }
    }
    EXPECT_GT(done, 0);
    free_all_devices();
  }
}

// A changed pin waits for its sample; the reset pin held keeps the samples
// running. Nothing is done at once meanwhile.
TEST_F(fast_clock, ClosedFormClockingWaitsForSteadyPins) {
  make(0, "73547");
  for (int k = 0; k < 2; ++k) core_sample_pins();
  uint32_t* pins = periph_pin_block(PINS_CONTROL);
  set_pin_word(pins, PIN_LEVEL, pins[PIN_LEVEL]);
  EXPECT_EQ(cur_inst->pins_changed, 0);  // the same level again is no change
  for (const uint32_t pin : {CTL_IRQB, CTL_RESET}) {
    set_pin_word(pins, PIN_LEVEL, pins[PIN_LEVEL] & ~pin);
    const uint64_t before = device_state_digest(0);
    EXPECT_EQ(core_clock_cycles_closed(4), 0);
    EXPECT_EQ(device_state_digest(0), before);
    core_sample_pins();
    // A low IRQB, once sampled, changes nothing more; a held reset does.
    EXPECT_EQ(core_clock_cycles_closed(4), pin == CTL_RESET ? 0 : 4);
  }
}

// The run-loop part of n cycles at once against n cycles' calls, with an
// event at several distances and the progress line of a go.
TEST_F(fast_clock, CyclesDoneAtOnceMatchCyclesDoneOneByOne) {
  struct run_case {
    uint32_t cycles;
    int event_in;  // cycles from the first to the event, -1: none
    int n;
    bool accepted;
  };
  const run_case cases[] = {
      {100, -1, 6, true},  {100, 6, 6, true},   {100, 5, 6, false}, {100, 0, 6, false},
      {995, -1, 5, true},  {995, -1, 6, false}, {999, -1, 1, true}, {999, -1, 2, false},
      {1000, -1, 12, true},
  };
  constexpr int AT_ONCE = 0, ONE_BY_ONE = 1;
  for (const run_case& c : cases) {
    SCOPED_TRACE("from " + std::to_string(c.cycles) + " event in " + std::to_string(c.event_in) + " n " +
                 std::to_string(c.n));
    for (int d : {AT_ONCE, ONE_BY_ONE}) {
      make(d, "73547");
      device_inst& inst = *cur_inst;
      device_states[d]->run_mode = RUN_GO;
      inst.cycles = c.cycles;
      compute_event_horizon();
      inst.event_due = c.event_in >= 0 ? 1 : 0;
      inst.horizon = c.cycles + static_cast<uint32_t>(c.event_in);
    }
    make_device_current(AT_ONCE);
    const uint64_t before = device_state_digest(AT_ONCE);
    const int got = exec_cycles_done(*cur_inst, c.n);
    EXPECT_EQ(got, c.accepted ? c.n : 0);
    if (got == 0) {
      EXPECT_EQ(device_state_digest(AT_ONCE), before);
      continue;
    }
    make_device_current(ONE_BY_ONE);
    for (int k = 0; k < c.n; ++k) exec_cycle_done(*cur_inst, k == c.n - 1);
    EXPECT_EQ(device_state_difference(AT_ONCE, ONE_BY_ONE), "");
  }
}

// The bound a run of straight instructions keeps in place of the full test:
// every instruction whose cycles end at or before it is one the full test
// takes, and it reaches the next progress line or event where there is one.
TEST_F(fast_clock, QuietBoundOfARunAdmitsOnlyQuietCycles) {
  struct bound_case {
    uint32_t cycles;
    int event_in;  // cycles from the count to the event, -1: none, below: behind the count
    int mode;
    uint64_t least;  // the bound is at least this (0: stale, must be 0)
  };
  const bound_case cases[] = {
      {100, -1, RUN_GO, 1000},     {995, -1, RUN_GO, 1000},        {999, -1, RUN_GO, 1000},
      {1000, -1, RUN_GO, 2000},    {100, 6, RUN_GO, 106},          {100, 0, RUN_GO, 100},
      {2000, -5, RUN_GO, 3000},    {995, -1, RUN_TRACE_INSTR, 5000}, {UINT32_MAX - 7, -1, RUN_TRACE_INSTR, UINT32_MAX},
      {500, 6, RUN_STEP_INSTR, 506}, {500, -1, RUN_GO, 0},
  };
  for (const bound_case& c : cases) {
    SCOPED_TRACE("from " + std::to_string(c.cycles) + " event in " + std::to_string(c.event_in) + " mode " +
                 std::to_string(c.mode));
    make(0, "73547");
    device_inst& inst = *cur_inst;
    device_states[0]->run_mode = c.mode;
    inst.cycles = c.cycles;
    compute_event_horizon();
    inst.event_due = c.event_in != -1 ? 1 : 0;
    inst.horizon = c.cycles + static_cast<uint32_t>(c.event_in);
    if (c.least == 0) inst.horizon_stale = 1;
    const uint64_t bound = exec_quiet_bound(inst);
    if (c.least == 0) {
      EXPECT_EQ(bound, 0u);
      continue;
    }
    EXPECT_GE(bound, c.least);
    for (int n = 1; n <= 1200; ++n) {
      if (uint64_t{c.cycles} + static_cast<uint32_t>(n) <= bound) {
        ASSERT_TRUE(exec_cycles_quiet(inst, n)) << n;
      }
    }
  }
}

}  // namespace
