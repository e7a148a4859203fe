// The clocking of several device cycles of one instruction at once: what
// that many per-cycle PLL steps, clock-out pin updates and pin samples
// leave, when nothing outside the core moves a pin meanwhile.
#include <cstdint>

#include "sim/engine/core/core_engine.h"
#include "sim/engine/core/core_state.h"

namespace {

// The PLL's multiplier and divider (core_pll_step's).
void pll_ratio(const uint32_t* w, uint32_t* mul, uint32_t* div) {
  if (core_is_583()) {
    *mul = (w[CORE_PCR0] & 0xFF) + 1;
    *div = ((w[CORE_PCR0] >> 8) & 0xF) + 1;
  } else {
    *mul = ((w[CORE_PLCR] >> 4) & 0xF) + 1;
    *div = (w[CORE_PLCR] & 0xF) + 1;
  }
}

// n steps of a running PLL's fractional accumulator: the ticks, the last
// step's tick and the accumulator after them.
struct pll_steps {
  uint32_t ticks;
  uint32_t last_tick;
  uint32_t fraction;
};

pll_steps run_fraction(uint32_t fraction, uint32_t mul, uint32_t div, uint32_t n) {
  if (fraction < mul && div <= mul) {
    // At most one tick a step, and the accumulator stays below mul: the
    // ticks are the multiples of mul passed.
    const uint64_t total = fraction + static_cast<uint64_t>(n) * div;
    const uint64_t before_last = total - div;
    return {static_cast<uint32_t>(total / mul), total / mul != before_last / mul ? 1u : 0u,
            static_cast<uint32_t>(total % mul)};
  }
  // An accumulator at or above mul (the ratio changed under it) or a
  // divider above the multiplier: the steps one by one, as the PLL takes them.
  pll_steps s{0, 0, fraction};
  for (uint32_t k = 0; k < n; ++k) {
    s.fraction += div;
    s.last_tick = 0;
    if (s.fraction >= mul) {
      s.fraction -= mul;
      s.last_tick = 1;
      s.ticks += 1;
    }
  }
  return s;
}

}  // namespace

bool core_clock_settles() {
  const uint32_t* w = cur_inst->core;
  if (cur_type->type_bit & TYPE_73521) return true;
  return w[CS_PLL_LOCK_COUNT] == 0 && !((w[CORE_PLCR] & PLL_ENABLE) && (w[CORE_PLCR] & PLL_LOCK));
}

int core_clock_cycles_closed(int n) {
  device_inst& inst = *cur_inst;
  uint32_t* w = inst.core;
  const uint32_t* dw = inst.device_words.data();
  // A changed pin or a sample not yet steady, or the reset pin held: the
  // samples have work to do. The clock-out pin's level in its first
  // selection is bit 8 of the state code, which every code of the clock
  // machine has: a state outside them is not one this can vouch for.
  if (n <= 0 || inst.pins_changed != 0 || dw[DW_RESET_HELD] != 0 || !(dw[DW_CORE_STATE_CODE] & 0x100)) return 0;
  const uint32_t cycles = static_cast<uint32_t>(n);
  if (cur_type->type_bit & TYPE_73521) {
    w[CS_PERIPH_TICK] = 1;
  } else {
    // A lock reached inside the cycles stores plcr (marks, a bus note)
    // in the middle of the instruction: left to the cycles.
    const uint32_t lock = w[CS_PLL_LOCK_COUNT];
    if (lock > 0 && lock <= cycles) return 0;
    if (lock > 0) w[CS_PLL_LOCK_COUNT] = lock - cycles;
    const bool running = (w[CORE_PLCR] & PLL_ENABLE) && (w[CORE_PLCR] & PLL_LOCK);
    if (!running) {
      w[CS_PERIPH_TICK] = 1;
      w[CS_CLOCK_PHASE] ^= cycles & 1;
    } else {
      uint32_t mul = 1, div = 1;
      pll_ratio(w, &mul, &div);
      const pll_steps s = run_fraction(w[CS_PLL_FRACTION], mul, div, cycles);
      w[CS_PLL_FRACTION] = s.fraction;
      w[CS_PERIPH_TICK] = s.last_tick;
      w[CS_CLOCK_PHASE] ^= s.ticks & 1;
    }
  }
  // Each cycle sets the pin from the settings and the phase alone: the
  // last one decides.
  core_clock_out_pin();
  // The samples would change nothing: the mark is clear and nothing drives
  // a pin in these cycles (the caller's condition).
  core_check_skipped_samples();
  return n;
}
