// The timer: a 16-bit down counter with prescaler, preload and compare
// registers, the event input TIN and the output TOUT on port C, and two
// interrupts (overflow at the vector base, compare two above).
#include <iterator>

#include "sim/engine/device.h"
#include "sim/engine/periph.h"

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
  TIMER_STATE_WORDS = 16,
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

// The control bits' side effects on the count and TOUT come with the
// counting engine; until then a store is the plain register store.
void timer_store_reg(int periph, int reg, uint32_t value) {
  set_state_register(periph, reg, value);
}

// The counting engine: one timer step per device cycle.
void timer_step(int) {}

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
    if (reg >= 0) timer_store_reg(periph, reg, value);
  }
  return 0;
}

void timer_clock(int periph) {
  const std::vector<uint32_t>& dw = cur_inst->device_words;
  if (dw[DW_STOP_LATCH] || dw[DW_RESET_HELD] == 1) return;
  timer_step(periph);
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
    nullptr, nullptr,
};
