// The straight-line executor's per-instruction framework that every
// handler runs (core_fast.h): the data-access plan and the start of the
// instruction, inline in the handlers, which run them once per
// instruction. Engine-internal: core_fast*.cpp only.
#pragma once

#include <array>
#include <cstdint>

#include "sim/engine/core/core_engine.h"
#include "sim/engine/fast/core_fast.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/core/runloop.h"

// A plain page's bits beside its region entry (plain_page::bits).
enum : uint16_t { PAGE_PLAIN = 0x100, PAGE_WRITABLE = 0x200, PAGE_DATA_PINS = 0x400 };

// The word of a plain page; false for a page looked up word by word.
[[gnu::always_inline]] inline bool fast_page_word(const plain_page& page, uint32_t address, bool write,
                                                  fast_word& at) {
  if (page.base == nullptr || (write && !(page.bits & PAGE_WRITABLE))) return false;
  at.word = page.base + (address & 0xFF);
  at.page = &page;
  at.entry = static_cast<uint8_t>(page.bits);
  at.data_pins = (page.bits & PAGE_DATA_PINS) != 0;
  return true;
}

// The device's pages for the mode (program at 0, X at 0x100), made again
// when omr's mode bits change (core_fast_pages.cpp).
void fast_make_device_pages(device_inst& inst, uint32_t mode);
inline const plain_page* fast_device_pages(device_inst& inst, const uint32_t* w) {
  const uint32_t mode = w[CORE_OMR] & (OMR_MODE | OMR_EXT_X);
  if (inst.plain_pages_mode != mode) [[unlikely]]
    fast_make_device_pages(inst, mode);
  return inst.plain_pages.data();
}
// A program word the fetch reads from internal memory: from its page, or
// word by word.
bool fast_program_word(const plain_page* pages, uint32_t address, fast_word& at);
// The word by word look-up of an X word outside the plain pages.
bool fast_data_word_slow(uint32_t address, bool write, fast_word& at);
// A word a memory stream watches: an input feeds the core's reads of it
// (left to the cycle-by-cycle path), an output takes a line at each store.
bool fast_stream_word(uint32_t address, bool write);
// The output streams' line for a store to a watched X word, after it.
void fast_stream_store(uint32_t address);

// fast_second_word inline: a repeat pass keeps its first pass's; else
// the word after the opcode, from its page. (The step stays out of any
// call, so that its fields need not be stored.)
[[gnu::always_inline]] inline uint32_t fast_step_second_word(const fast_step& s) {
  if (s.repeat_pass) return s.w[CS_DECODE_OPERAND];
  const uint32_t address = (s.w[CS_PREFETCH_ADDR] + 1) & 0xFFFF;
  const plain_page& page = s.pages[address >> 8];
  if (page.base != nullptr) [[likely]]
    return page.base[address & 0xFF] & 0xFFFF;
  return fast_second_word_slow(s.pages, address);
}

// core_set_next_pc with the store's marks in place. Every pc store of a
// straight instruction comes before its clocking (fast_clock), which
// clears the pc-written flag again: so the store leaves the flag alone.
// (pc keeps all 16 bits on every core.)
[[gnu::always_inline]] inline void fast_set_next_pc(uint32_t* w, uint32_t address) {
  address &= 0xFFFF;
  if (w[CORE_PC] != address) {
    uint32_t& attr = cur_state->core_attrs[CORE_PC];
    if (attr & ATTR_OUT_STREAMS) [[unlikely]] {
      core_store_reg_marks(CORE_PC, address, true);
    } else {
      w[CORE_PC] = address;
      attr |= ATTR_WRITTEN | ATTR_CHANGED;
    }
  }
  cur_inst->pc = address;
}

// The first half of a device cycle: the PLL step and the clock-out pin.
[[gnu::always_inline]] inline void fast_clock_front() {
  core_pll_step();
  core_clock_out_pin();
}

[[gnu::always_inline]] inline fast_access* fast_plan_access(fast_step& s, uint32_t address, bool write, int reg,
                                                            int cycle, bool second) {
  if (s.accesses >= static_cast<int>(s.access.size())) return nullptr;
  address &= 0xFFFF;
  fast_access& a = s.access[static_cast<std::size_t>(s.accesses)];
  if (!fast_page_word(s.pages[0x100 + (address >> 8)], address, write, a.at) &&
      !fast_data_word_slow(address, write, a.at)) [[unlikely]]
    return nullptr;
  const int streams = s.st->stream_plan;
  if (!write && (streams & STREAMS_X_READS) && fast_stream_word(address, false)) [[unlikely]]
    return nullptr;
  a.watched = write && (streams & STREAMS_X_WRITES) && fast_stream_word(address, true);
  a.address = address;
  a.write = write;
  a.reg = reg;
  a.cycle = cycle;
  a.latch = second ? CS_GDB : CS_XDB;
  a.value = 0;
  ++s.accesses;
  return &a;
}

// `lean`: an instruction in one piece (core_fast.cpp), which has found its
// clocking steady and whose work reads no execute latch but xdb's timing
// field and the scaling check.
[[gnu::always_inline]] inline void fast_begin(fast_step& s, bool lean = false) {
  uint32_t* w = s.w;
  device_state& st = *s.st;
  const decoded_word& d = *s.d;
  // The instruction's clocking at once when the bus is at rest (nothing
  // then drives a pin); else cycle by cycle, this first one now.
  if (lean || (s.bus_rest && *s.clock_steady && s.inst->pins_changed == 0)) [[likely]] {
    // The instruction's cycles are an even number: nothing to change.
    core_check_skipped_samples();
    s.closed_clock = true;
  } else {
    s.closed_clock = s.bus_rest && core_clock_cycles_closed(2 * d.cycles) != 0;
    *s.clock_steady = s.closed_clock && core_clock_settles();
  }
  if (!s.closed_clock) fast_clock_front();
  // begin_instruction and the decode from the record. (Of the scratch
  // words, core_scratch_ranges, only those the execute work reads.)
  w[CS_FLOW_TAKEN] = 0;
  w[CS_REP_CONTINUE] = 0;
  st.jump_flag = 0;
  if (!s.repeat_pass) {
    w[CS_DECODE] = s.opcode;
    w[CS_DECODE_ADDR] = w[CS_PREFETCH_ADDR] & 0xFFFF;
    w[CS_PREFETCH_CHECKED] = 0;
  }
  w[CS_DEC_CLASS] = d.cls;
  const uint32_t address = w[CS_DECODE_ADDR] & 0xFFFF;
  fast_set_next_pc(w, address);
  // A history stream holds the device to the cycle engine (the run plan),
  // so the history writer has nothing to write here.
  if (!s.repeat_pass) {
    st.pc_trace_count += 1;
    st.pc_trace_index = (st.pc_trace_index + 1) % static_cast<uint32_t>(st.pc_trace.size());
    st.pc_trace[st.pc_trace_index] = {address, s.opcode, 0, 0};
    w[CS_DECODE_OPERAND] = d.words > 1 ? fast_step_second_word(s) : 0;
  }
  // What the execute work reads of the execute latches.
  if (!lean) {
    w[CS_EX_FLAGS] = d.flags;
    w[CS_EXECUTE] = s.opcode;
    w[CS_EXECUTE_OPERAND] = w[CS_DECODE_OPERAND];
    w[CS_CYC_TOTAL] = d.cycles;
    w[CS_CYC_INDEX] = 1;
    w[CS_COND_TRUE] = 1;
  }
  w[CS_EX_TIMING + OPT_XDB_DST] = d.xdb_timing;
  w[CS_SCALE_CHECK] = d.scale_check ? 1 : 0;
  w[CS_EXECUTE_ADDR] = address;
  w[CS_WORDS] = d.words;
  if (s.repeat_pass)
    st.record_repeat_passes += 1;
  else if (w[CS_REP_ARMED])
    repeat_begin();
}

// A handler's accesses complete in its instruction's last cycle.
inline int last_cycle(const fast_step& s) { return s.d->cycles; }

// The registers of the data-ALU classes' fields, which their handlers
// (core_fast_alu.cpp), the moves and the one-piece forms (core_fast.cpp)
// read alike: an X move's register, the accumulator an operation does
// not write, the two reads' and a transfer's registers.
inline constexpr std::array<int, 8> hhh_regs = {CORE_X0, CORE_Y0, CORE_X1, CORE_Y1,
                                         CORE_A,  CORE_B,  CORE_A0, CORE_B0};

inline int other_acc(uint32_t op) { return (op & 8) ? CORE_A : CORE_B; }

// The registers the two-read class loads, by its field: the first read's
// (OTHER_ACC: the accumulator the operation does not write) and r3's.
inline constexpr int OTHER_ACC = -3;
inline constexpr std::array<int, 8> two_read_first = {OTHER_ACC, CORE_Y0, CORE_X1, CORE_Y1,
                                               CORE_X0,   CORE_Y0, OTHER_ACC, CORE_Y1};
inline constexpr std::array<int, 8> two_read_second = {CORE_X0, CORE_X0, CORE_X0, CORE_X0,
                                                CORE_X1, CORE_X1, CORE_Y0, CORE_X1};

// The register transfer beside an operation, by its field: its source and
// destination (-1: none; OTHER_ACC: the accumulator the operation does
// not write).
inline constexpr std::array<int, 16> transfer_src = {CORE_X0, CORE_Y0, CORE_X1, CORE_Y1, CORE_A, CORE_B, CORE_A0, CORE_B0,
                                              CORE_B,  CORE_A,  -1,      -1,      CORE_A, CORE_B, CORE_A0, CORE_B0};
inline constexpr std::array<int, 16> transfer_dst = {OTHER_ACC, OTHER_ACC, OTHER_ACC, OTHER_ACC, CORE_X0, CORE_Y0,
                                              CORE_X0,   CORE_Y0,   OTHER_ACC, OTHER_ACC, -1,      -1,
                                              CORE_X1,   CORE_Y1,   CORE_X1,   CORE_Y1};
inline int transfer_to(uint32_t op) {
  const int d = transfer_dst[(op >> 8) & 15];
  return d == OTHER_ACC ? other_acc(op) : d;
}
