// The timer: a 16-bit down counter with prescaler, preload and compare
// registers, the event input TIN and the output TOUT on port C, and two
// interrupts (overflow at the vector base, compare two above).
//
// - The timer (`periph_timer.cpp`): it keeps `tctr`, the prescaler and TOUT as of its last update
//   (`TW_UPDATED`, in the device's own time, which writes of `cyc` do not move). Ticks fall in the
//   cycles whose phase (device word 1, brought up to date by the count peripheral) is 1, after the
//   cycle in which TE was set. `catch_up` runs the elapsed ticks:
//   with ES clear and TOUT in mode 0 it divides them by the prescaler into steps and takes runs of
//   counting down whole (the compares and overflows on the way set their requests); otherwise tick
//   by tick. `next_event`: every cycle while TIN is counted (ES), every tick while TOUT is handed to
//   it and its mode is not 0, else the step that raises an enabled interrupt, `NO_EVENT` when none.
//   Its `clock` at that cycle catches up and runs the cycle's own tick.
#include <iterator>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"

namespace {

// State words after the four registers.
enum timer_word : int {
  TW_PCC_BITS = 4,        // port C control bits of TIN and TOUT (snooped)
  TW_TIN_LEVEL = 5,       // the last TIN level seen
  TW_TOUT = 6,            // 0, or the TOUT pin bit 0x800
  TW_PREV_TCR = 7,        // tcr as it was in the previous cycle
  TW_COUNT_WRITTEN = 8,   // a count was written and waits to be loaded
  TW_WRITTEN_COUNT = 9,
  TW_PRESCALE = 10,
  TW_OVERFLOW_REQ = 11,
  TW_COMPARE_REQ = 12,
  TW_PRIORITY = 13,       // its bits of ipr (snooped)
  TW_PCDDR = 14,          // its bits of pcddr (snooped)
  TW_PCD = 15,            // its bits of pcd (snooped)
  TW_UPDATED = 16,        // up to date for the cycles below this count
  TW_ENABLED_AT = 17,     // the cycle in which TE was last set
  TIMER_STATE_WORDS = 18,
};

constexpr uint32_t TIMER_ACCESS = REG_PERIPH_WORD | REG_READABLE | REG_WRITABLE | REG_BUS_MAPPED;

constexpr reg_desc timer_regs[] = {
    {"tcr", 0xFFFF, 0, REG_PERIPH_INIT_ATTR, TIMER_ACCESS,
     "Timer Control Register\n"
     "   {I T T T C O   D D D D D D D D}\n"
     " {T N O O O I I E C C C C C C C C}\n"
     " {E V 2 1 0 E E S 7 6 5 4 3 2 1 0}"},
    {"tctr", 0xFFFF, 1, REG_PERIPH_INIT_ATTR, TIMER_ACCESS, "Timer Count Register"},
    {"tpr", 0xFFFF, 3, REG_PERIPH_INIT_ATTR, TIMER_ACCESS, "Timer Preload Register"},
    {"tcpr", 0xFFFF, 2, REG_PERIPH_INIT_ATTR, TIMER_ACCESS, "Timer Compare Register"},
};
constexpr int TIMER_REGS = static_cast<int>(std::size(timer_regs));

// tcr bits.
constexpr uint32_t TCR_TE = 0x8000, TCR_INV = 0x4000, TCR_TO2 = 0x2000, TCR_CIE = 0x400,
                   TCR_OIE = 0x200, TCR_ES = 0x100, TCR_DC = 0xFF;
constexpr uint32_t TIN_PIN = 0x400, TOUT_PIN = 0x800;
constexpr int PORT_C = 3;

// TOUT: the event bits of a tick (0x4 TOUT high, 0x12 overflow, 0x9
// compare) are kept by the mode word of TO2-TO0; a kept bit of 0x1C takes
// a high TOUT low, one of 0x3 takes a low TOUT high.
constexpr uint32_t tout_modes[8] = {0, 0x7, 0x6, 0x5, 0xA, 0x11, 0x12, 0x9};
uint32_t tout_mode(const uint32_t* w) { return tout_modes[(w[TIMER_TCR] >> 11) & 7]; }

uint32_t* port_c_pins() { return periph_pin_block(PORT_C); }

// Ticks come in every second cycle, those whose phase is 1, and only
// after the cycle in which TE was set. The first tick cycle at or after k.
uint32_t first_tick(const uint32_t* w, uint32_t k, uint32_t now, uint32_t phase_now) {
  if (k <= w[TW_ENABLED_AT]) k = w[TW_ENABLED_AT] + 1;
  return first_phase_one(k, now, phase_now);
}

// One step of the counter: the requests and the new count; the TOUT event
// bits of an overflow and a compare.
uint32_t count_step(int periph, uint32_t* w) {
  const uint32_t c = w[TIMER_TCTR];
  uint32_t bits = 0;
  if (c == 0) {
    bits |= 0x12;
    if (w[TIMER_TCR] & TCR_OIE) w[TW_OVERFLOW_REQ] = 1;
  }
  if (c == w[TIMER_TCPR]) {
    bits |= 0x9;
    if (w[TIMER_TCR] & TCR_CIE) w[TW_COMPARE_REQ] = 1;
  }
  w[TIMER_TCTR] = w[TW_COUNT_WRITTEN] ? w[TW_WRITTEN_COUNT] : c > 0 ? c - 1 : w[TIMER_TPR];
  w[TW_COUNT_WRITTEN] = 0;
  if (w[TW_OVERFLOW_REQ] | w[TW_COMPARE_REQ]) raise_interrupt_request();
  mark_register_written(periph, TIMER_TCTR);
  return bits;
}

// The level TIN shows the timer.
bool tin_level(const uint32_t* w) {
  const uint32_t* pins = port_c_pins();
  if (!(w[TW_PCC_BITS] & TIN_PIN) && (pins[PIN_DRIVEN] & TIN_PIN)) return (pins[PIN_DRIVEN_LEVEL] & TIN_PIN) != 0;
  return (pins[PIN_LEVEL] & TIN_PIN) != 0;
}

// One tick: an event (every tick, or a TIN edge with ES), the prescaler,
// maybe a step, and TOUT.
void tick(int periph, uint32_t* w) {
  bool event = true;
  if (w[TIMER_TCR] & TCR_ES) {
    const uint32_t level = tin_level(w) ? 1 : 0;
    event = level != w[TW_TIN_LEVEL] && (level != 0) != ((w[TIMER_TCR] & TCR_INV) != 0);
    w[TW_TIN_LEVEL] = level;
  }
  uint32_t bits = w[TW_TOUT] ? 0x4 : 0;
  if (event) {
    if (w[TW_PRESCALE] == 0) {
      w[TW_PRESCALE] = w[TIMER_TCR] & TCR_DC;
      bits |= count_step(periph, w);
    } else {
      --w[TW_PRESCALE];
    }
  }
  const uint32_t kept = bits & tout_mode(w);
  if (w[TW_TOUT] ? (kept & 0x1C) != 0 : (kept & 0x3) != 0) w[TW_TOUT] ^= TOUT_PIN;
}

// n steps at once, for a timer whose ticks have no other effect: runs of
// counting down are taken whole, the overflows and compares on the way
// set their requests.
void count_steps(int periph, uint32_t* w, uint32_t n) {
  bool moved = false;
  while (n > 0) {
    const uint32_t c = w[TIMER_TCTR];
    if (w[TW_COUNT_WRITTEN] || c == 0) {
      count_step(periph, w);
      --n;
      moved = false;
      continue;
    }
    const uint32_t k = n < c ? n : c;
    const uint32_t cmp = w[TIMER_TCPR];
    if ((w[TIMER_TCR] & TCR_CIE) && cmp <= c && cmp > c - k) {
      w[TW_COMPARE_REQ] = 1;
      raise_interrupt_request();
    }
    w[TIMER_TCTR] = c - k;
    n -= k;
    moved = true;
  }
  if (moved) mark_register_written(periph, TIMER_TCTR);
}

// Ticks at the cycles in [from, to) (to is the cycle about to run).
void run_ticks(int periph, uint32_t* w, uint32_t from, uint32_t to) {
  const uint32_t phase = cycle_phase();
  uint32_t k = first_tick(w, from, to, phase);
  if (k >= to) return;
  const uint32_t ticks = (to - k + 1) / 2;
  if ((w[TIMER_TCR] & TCR_ES) || tout_mode(w) != 0) {
    for (uint32_t t = 0; t < ticks; ++t) tick(periph, w);
    return;
  }
  // Every tick is an event: the prescaler divides them into steps.
  const uint32_t period = (w[TIMER_TCR] & TCR_DC) + 1;
  if (ticks <= w[TW_PRESCALE]) {
    w[TW_PRESCALE] -= ticks;
    return;
  }
  const uint32_t after_first = ticks - (w[TW_PRESCALE] + 1);
  w[TW_PRESCALE] = (w[TIMER_TCR] & TCR_DC) - after_first % period;
  count_steps(periph, w, 1 + after_first / period);
}

// The pins follow the port C control bits: TIN an input, TOUT driven with
// the TOUT state while the timer runs.
void drive_pins(const uint32_t* w) {
  uint32_t* pins = port_c_pins();
  if (w[TW_PCC_BITS] & TIN_PIN) {
    set_pin_word(pins, PIN_DRIVEN, pins[PIN_DRIVEN] & ~TIN_PIN);
    set_pin_word(pins, PIN_DEFINED, pins[PIN_DEFINED] | TIN_PIN);
  }
  if (w[TW_PCC_BITS] & TOUT_PIN) {
    set_pin_word(pins, PIN_DRIVEN, pins[PIN_DRIVEN] | TOUT_PIN);
    if (w[TIMER_TCR] & TCR_TE)
      set_pin_word(pins, PIN_DRIVEN_LEVEL, (pins[PIN_DRIVEN_LEVEL] & ~TOUT_PIN) | w[TW_TOUT]);
  }
}

// Event-driven: the timer is up to date for every cycle numbered below
// TW_UPDATED.
void timer_catch_up(int periph) {
  uint32_t* w = periph_words(periph);
  const uint32_t now = device_time();
  const uint32_t from = w[TW_UPDATED];
  // An observer inside its own step finds it one cycle past now.
  if (now + 1 == from) return;
  w[TW_UPDATED] = now;
  if (now <= from) return;
  if (!(w[TIMER_TCR] & TCR_TE)) return;
  run_ticks(periph, w, from, now);
  drive_pins(w);
}

// Storing a register with its side effects on the count and TOUT.
void timer_store_reg(int periph, int reg, uint32_t value) {
  uint32_t* w = periph_words(periph);
  const uint32_t before = w[TIMER_TCR];
  const uint32_t count_before = w[TIMER_TCTR];
  w[reg] = value & 0xFFFF;
  const uint32_t tcr = w[TIMER_TCR];
  if (!(tcr & TCR_TE)) {
    w[TIMER_TCTR] = w[TW_COUNT_WRITTEN] ? w[TW_WRITTEN_COUNT] : w[TIMER_TPR];
    if (!(tcr & TCR_TO2)) w[TW_TOUT] = 0;
  } else if (!(before & TCR_TE)) {
    w[TW_PRESCALE] = tcr & TCR_DC;
    w[TW_COUNT_WRITTEN] = 0;
    w[TW_ENABLED_AT] = device_time();
    w[TW_UPDATED] = device_time();
    if (!(tcr & TCR_TO2)) w[TW_TOUT] = 0;
  }
  mark_register_written(periph, reg);
  if (reg != TIMER_TCTR && w[TIMER_TCTR] != count_before)
    periph_attrs(periph)[TIMER_TCTR] |= ATTR_WRITTEN | ATTR_CHANGED;
  drive_pins(w);
  peripherals_changed();
}

// The cycles from now to the n-th tick (n >= 1).
uint32_t cycles_to_tick(const uint32_t* w, uint32_t n) {
  const uint32_t now = device_time();
  return first_tick(w, now, now, cycle_phase()) + 2 * (n - 1) - now;
}

// Steps until the next step that raises an enabled request.
uint32_t steps_to_request(const uint32_t* w) {
  if (w[TW_COUNT_WRITTEN]) return 1;
  const uint32_t c = w[TIMER_TCTR], cmp = w[TIMER_TCPR], tpr = w[TIMER_TPR];
  uint32_t best = NO_EVENT;
  if (w[TIMER_TCR] & TCR_OIE) best = c + 1;
  if (w[TIMER_TCR] & TCR_CIE) {
    const uint32_t to_cmp = cmp <= c ? c - cmp + 1 : cmp <= tpr ? c + 1 + (tpr - cmp + 1) : NO_EVENT;
    if (to_cmp < best) best = to_cmp;
  }
  return best;
}

// The next cycle that must be clocked: every tick while TIN is counted
// (every cycle) or TOUT is driven and changes, else the step that raises
// an enabled interrupt.
uint32_t timer_next_event(int periph) {
  timer_catch_up(periph);
  const uint32_t* w = periph_words(periph);
  if (!(w[TIMER_TCR] & TCR_TE) || cur_inst->device_words[DW_STOP_LATCH]) return NO_EVENT;
  if (w[TIMER_TCR] & TCR_ES) return 0;
  if ((w[TW_PCC_BITS] & TOUT_PIN) && tout_mode(w) != 0) return cycles_to_tick(w, 1);
  const uint32_t steps = steps_to_request(w);
  if (steps == NO_EVENT) return NO_EVENT;
  const uint32_t period = (w[TIMER_TCR] & TCR_DC) + 1;
  return cycles_to_tick(w, w[TW_PRESCALE] + 1 + (steps - 1) * period);
}

int timer_get_reg(int periph, int reg, uint32_t* out) {
  return get_state_register(periph, reg, out);
}

int timer_set_reg(int periph, int reg, const uint32_t* value) {
  if (reg == TIMER_TCTR) {
    uint32_t* words = periph_words(periph);
    words[TW_COUNT_WRITTEN] = 1;
    words[TW_WRITTEN_COUNT] = *value & 0xFFFF;
  }
  timer_store_reg(periph, reg, *value);
  return 1;
}

void timer_bus_read(int periph, uint32_t address, uint32_t* out, int) {
  const uint32_t* words = periph_words(periph);
  const uint32_t pins = cur_type->periphs[periph].pin_mask;
  if (address == IO_PCC) {
    *out = words[TW_PCC_BITS];
  } else if (address == IO_PCDDR) {
    *out = words[TW_PCDDR] & pins;
  } else if (address == IO_PCD) {
    *out = words[TW_PCD] & pins;
  } else {
    const int reg = find_bus_register(periph, address, REG_READABLE);
    if (reg >= 0) *out = words[reg];
  }
}

// Port C register writes are answered with the timer's share of them.
int timer_bus_write(int periph, uint32_t address, uint32_t value, int) {
  const periph_row& row = cur_type->periphs[periph];
  uint32_t* words = periph_words(periph);
  if (address == IO_IPR) {
    words[TW_PRIORITY] = value & row.ipr_bits;
  } else if (address == IO_PCC) {
    return static_cast<int>(words[TW_PCC_BITS] = value & row.pcr_bits);
  } else if (address == IO_PCDDR) {
    return static_cast<int>(words[TW_PCDDR] = value & row.pin_mask);
  } else if (address == IO_PCD) {
    return static_cast<int>(words[TW_PCD] = value & row.pin_mask);
  } else {
    const int reg = find_bus_register(periph, address, REG_WRITABLE);
    if (reg == TIMER_TCTR) {
      // A count written while the timer runs is loaded at the next step;
      // while it is stopped, at once.
      words[TW_COUNT_WRITTEN] = 1;
      words[TW_WRITTEN_COUNT] = value & 0xFFFF;
      if (!(words[TIMER_TCR] & TCR_TE)) timer_store_reg(periph, reg, value);
    } else if (reg >= 0) {
      timer_store_reg(periph, reg, value);
    }
  }
  return 0;
}

// The cycle of an event: the ticks before it, then its own.
void timer_clock(int periph) {
  const std::vector<uint32_t>& dw = cur_inst->device_words;
  timer_catch_up(periph);
  uint32_t* w = periph_words(periph);
  const uint32_t now = device_time();
  w[TW_UPDATED] = now + 1;
  if (dw[DW_STOP_LATCH] || dw[DW_RESET_HELD] == 1 || !(w[TIMER_TCR] & TCR_TE)) return;
  if (first_tick(w, now, now, cycle_phase()) == now) tick(periph, w);
  drive_pins(w);
}

// A STOP (kind 0) drops the requests but keeps the registers.
void timer_reset(int periph, int kind, int) {
  uint32_t* words = periph_words(periph);
  words[TW_OVERFLOW_REQ] = 0;
  words[TW_COMPARE_REQ] = 0;
  if (kind != 0) {
    words[TW_PRESCALE] = 0;
    words[TW_PREV_TCR] = 0;
    words[TW_PCC_BITS] = 0;
    words[TW_PCDDR] = 0;
    words[TW_PCD] = 0;
    for (int reg = 0; reg < TIMER_REGS; ++reg) {
      words[reg] = 0;
      mark_register_written(periph, reg);
    }
  }
  words[TW_COUNT_WRITTEN] = 0;
}

int timer_pending_irq(int periph) {
  uint32_t* words = periph_words(periph);
  if (words[TW_PRIORITY] == 0) {
    words[TW_OVERFLOW_REQ] = 0;
    words[TW_COMPARE_REQ] = 0;
    return -1;
  }
  const int base = cur_type->periphs[periph].vector;
  if (words[TW_OVERFLOW_REQ]) return base;
  if (words[TW_COMPARE_REQ]) return base + 2;
  return -1;
}

void timer_ack_irq(int periph, int vector) {
  uint32_t* words = periph_words(periph);
  words[vector == cur_type->periphs[periph].vector ? TW_OVERFLOW_REQ : TW_COMPARE_REQ] = 0;
}

}  // namespace

const periph_class timer_class = {
    timer_get_reg,     timer_set_reg, timer_bus_read, timer_bus_write,   timer_clock, timer_reset,
    timer_pending_irq, timer_ack_irq, 4,              TIMER_STATE_WORDS, TIMER_REGS,  timer_regs,
    timer_catch_up,    timer_next_event,
};
