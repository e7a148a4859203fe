// The count pseudo-peripheral: the simulator's own counters and flags
// named, shown, changed and streamed like peripheral registers. The live
// values sit in the device records; the state words are shadows that show
// when a counter changed.
#include <iterator>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"

namespace {

constexpr uint32_t COUNTER_ATTR = 0x208010;
constexpr uint32_t COUNTER_ACCESS = 0x2003001;
constexpr uint32_t FLAG_ACCESS = 0x10001011;
constexpr char COUNTER_HELP[] = "Counter used by the break command";

constexpr reg_desc count_regs[] = {
    {"cnt1", 0xffffffff, 0, COUNTER_ATTR, COUNTER_ACCESS, COUNTER_HELP},
    {"cnt2", 0xffffffff, 0, COUNTER_ATTR, COUNTER_ACCESS, COUNTER_HELP},
    {"cnt3", 0xffffffff, 0, COUNTER_ATTR, COUNTER_ACCESS, COUNTER_HELP},
    {"cnt4", 0xffffffff, 0, COUNTER_ATTR, COUNTER_ACCESS, COUNTER_HELP},
    {"cyc", 0xffffffff, 0, COUNTER_ATTR, COUNTER_ACCESS,
     "Counter for the number of device clock cycles"},
    {"eof", 0xffff, 0, 0x2201000, FLAG_ACCESS, "Internal flag that indicates end of input file"},
    {"ictr", 0xffffffff, 0, COUNTER_ATTR, COUNTER_ACCESS,
     "Counter for the number of instructions executed"},
    {"jump", 0xffff, 0, 0x2204000, FLAG_ACCESS,
     "Internal flag that indicates if a branch or jump is actually executed"},
    {"stop", 0xffff, 0, 0x2204000, FLAG_ACCESS,
     "Internal flag that device is executing stop instruction"},
};
constexpr int COUNT_REGS = static_cast<int>(std::size(count_regs));
// State words after the register shadows.
enum count_word : int { CW_UPDATED = COUNT_REGS, COUNT_STATE_WORDS };

// The live word behind each register, in register order.
using live_word = uint32_t* (*)();
constexpr live_word count_live_words[] = {
    [] { return &cur_state->cnt[0]; },
    [] { return &cur_state->cnt[1]; },
    [] { return &cur_state->cnt[2]; },
    [] { return &cur_state->cnt[3]; },
    [] { return &cur_inst->cycles; },
    [] { return &cur_state->eof_flag; },
    [] { return &cur_inst->instructions; },
    [] { return &cur_state->jump_flag; },
    [] { return &cur_inst->device_words[DW_STOP_LATCH]; },
};
static_assert(std::size(count_live_words) == std::size(count_regs));

uint32_t* count_live(int reg) {
  return reg >= 0 && reg < COUNT_REGS ? count_live_words[reg]() : nullptr;
}

int count_get_reg(int, int reg, uint32_t* out) {
  if (const uint32_t* live = count_live(reg)) *out = *live;
  return 1;
}

// eof, jump and stop take the write in their shadow only: the live flags
// belong to the streams and the core, so a read still shows the flag.
int count_set_reg(int periph, int reg, const uint32_t* value) {
  if (reg < 0 || reg >= COUNT_REGS) return 1;
  const uint32_t word = (value[0] & 0xFFFF) | (value[1] & 0xFFFF) << 16;
  periph_words(periph)[reg] = word;
  // The count moves; the device's own time, which the peripherals keep, does not.
  if (reg == COUNT_CYC) set_cycle_count(*cur_inst, word);
  else if (reg < COUNT_CYC || reg == COUNT_ICTR) *count_live(reg) = word;
  mark_register_written(periph, reg);
  return 1;
}

void count_bus_read(int, uint32_t, uint32_t*, int) {}
int count_bus_write(int, uint32_t, uint32_t, int) { return 0; }

// mark_register_written for the counters the clock moves, from their
// descriptions here: the same marks, without finding the row's class on
// every cycle.
template <int Reg>
void mark_counter(int periph) {
  constexpr reg_desc desc = count_regs[Reg];
  if constexpr (desc.valid_mask != 0xFFFFFFFF) periph_words(periph)[Reg] &= desc.valid_mask;
  uint32_t& attr = periph_attrs(periph)[Reg];
  attr |= ATTR_WRITTEN | ATTR_CHANGED;
  if constexpr ((desc.access & REG_BUS_MAPPED) != 0)
    note_periph_write(cur_type->periphs[periph].base + desc.offset);
  if (attr & ATTR_OUT_STREAMS) write_register_output(periph, Reg);
}

// A break counter whose live word moved since the last update.
template <int Reg>
void follow_counter(int periph, uint32_t* shadow) {
  if (shadow[Reg] == cur_state->cnt[Reg]) return;
  shadow[Reg] = cur_state->cnt[Reg];
  mark_counter<Reg>(periph);
}

// The counters move with the run; their marks follow at each update.
void follow_counters(int periph, uint32_t* shadow) {
  if (shadow[COUNT_ICTR] != cur_inst->instructions) {
    shadow[COUNT_ICTR] = cur_inst->instructions;
    mark_counter<COUNT_ICTR>(periph);
  }
  static_assert(COUNT_CNT1 == 0 && COUNT_CNT4 == 3);
  follow_counter<COUNT_CNT1>(periph, shadow);
  follow_counter<COUNT_CNT2>(periph, shadow);
  follow_counter<COUNT_CNT3>(periph, shadow);
  follow_counter<COUNT_CNT4>(periph, shadow);
}

// Event-driven: the peripheral is up to date for every cycle before
// CW_UPDATED, in the device's own time. Each elapsed cycle wrote cyc and
// flipped the cycle phase; the marks of many writes are the marks of one.
void count_catch_up(int periph) {
  uint32_t* shadow = periph_words(periph);
  const uint32_t now = device_time();
  const uint32_t elapsed = now - shadow[CW_UPDATED];
  shadow[CW_UPDATED] = now;
  if (elapsed == 0) return;
  periph_attrs(periph)[COUNT_CYC] |= ATTR_WRITTEN | ATTR_CHANGED;
  cur_inst->device_words[DW_CYCLE_PHASE] ^= elapsed & 1;
  follow_counters(periph, shadow);
}

// A counter watched by an output stream writes every cycle.
uint32_t count_next_event(int periph) {
  const uint32_t* attrs = periph_attrs(periph);
  for (int reg = 0; reg < COUNT_REGS; ++reg)
    if (attrs[reg] & ATTR_OUT_STREAMS) return 0;
  return NO_EVENT;
}

// The cycle's own work, run only while a stream watches a counter.
void count_clock(int periph) {
  count_catch_up(periph);
  mark_counter<COUNT_CYC>(periph);
  cur_inst->device_words[DW_CYCLE_PHASE] ^= 1;
  follow_counters(periph, periph_words(periph));
  periph_words(periph)[CW_UPDATED] = device_time() + 1;
}

// A reset leaves every counter and flag as it is.
void count_reset(int, int, int) {}

}  // namespace

const periph_class count_class = {
    count_get_reg, count_set_reg, count_bus_read, count_bus_write, count_clock, count_reset,
    nullptr,       nullptr,       0,              COUNT_STATE_WORDS, COUNT_REGS,  count_regs,
    count_catch_up, count_next_event,
};
