// The core's clock machine: one device cycle by core_state_code (257 first
// half, 258 bus arbitration, 264 second half, 280 wait states and
// completion), the instruction cycles of each instruction, instruction
// ends, the interrupt boundary, WAIT and STOP, the reset pin, the PLL and
// the clock-out pin.
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sim/engine/core/core_alu.h"
#include "sim/engine/core/core_decode.h"
#include "sim/engine/core/core_engine.h"
#include "sim/engine/fast/core_fast.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"
#include "sim/engine/device/memory.h"

namespace {

// Cycles a profiled instruction waits for the bus: refused arbitration,
// wait states, a contended instruction cycle run again.
inline void note_stall(uint32_t cycles) {
  if (cur_inst->profiled != 0) [[unlikely]] cur_state->profile.stall_cycles += cycles;
}

constexpr uint32_t WORD = 0xFFFF;
enum hold_kind : uint32_t { HOLD_NONE = 0, HOLD_WAIT = 1, HOLD_STOP = 2 };

// Condition codes: each a test over the sr bits.
using cond_fn = bool (*)(uint32_t sr);
bool bit(uint32_t sr, uint32_t b) { return (sr & b) != 0; }
bool n_eq_v(uint32_t sr) { return bit(sr, SR_N) == bit(sr, SR_V); }
constexpr std::array<cond_fn, 16> conditions = {
    [](uint32_t sr) { return !bit(sr, SR_C); },
    [](uint32_t sr) { return n_eq_v(sr); },
    [](uint32_t sr) { return !bit(sr, SR_Z); },
    [](uint32_t sr) { return !bit(sr, SR_N); },
    [](uint32_t sr) { return !bit(sr, SR_Z) && (bit(sr, SR_U) || bit(sr, SR_E)); },
    [](uint32_t sr) { return !bit(sr, SR_E); },
    [](uint32_t sr) { return !bit(sr, SR_L); },
    [](uint32_t sr) { return !bit(sr, SR_Z) && n_eq_v(sr); },
    [](uint32_t sr) { return bit(sr, SR_C); },
    [](uint32_t sr) { return !n_eq_v(sr); },
    [](uint32_t sr) { return bit(sr, SR_Z); },
    [](uint32_t sr) { return bit(sr, SR_N); },
    [](uint32_t sr) { return bit(sr, SR_Z) || (!bit(sr, SR_U) && !bit(sr, SR_E)); },
    [](uint32_t sr) { return bit(sr, SR_E); },
    [](uint32_t sr) { return bit(sr, SR_L); },
    [](uint32_t sr) { return bit(sr, SR_Z) || !n_eq_v(sr); },
};

std::vector<uint32_t>& dwords() { return cur_inst->device_words; }

void set_state(uint32_t code) { dwords()[DW_CORE_STATE_CODE] = code; }

// A stop request is taken at an instruction end. A core that ends none
// for this long (a state it never leaves) ends one here, so that a stop
// always stops.
constexpr uint32_t ABORT_WAIT_CYCLES = 1000;

void end_of_clock() {
  core_sample_pins();
  device_inst& inst = *cur_inst;
  if (inst.abort == 0) [[likely]] return;
  if ((inst.flags & (DEV_INSTR_END | DEV_INSTR_END2)) != 0) {
    inst.abort_wait = 0;
  } else if (++inst.abort_wait >= ABORT_WAIT_CYCLES) {
    inst.abort_wait = 0;
    inst.flags |= DEV_INSTR_END;
  }
}

// Copies the first decode stage's latches into the execute latches.
void move_to_execute() {
  uint32_t* w = core_words();
  for (int i = 0; i <= CS_SHORT_IMM - CS_DEC_CLASS; ++i) w[CS_EX_CLASS + i] = w[CS_DEC_CLASS + i];
  w[CS_EX_IMMEDIATE] = w[CS_DEC_IMMEDIATE];
  w[CS_EXECUTE] = w[CS_DECODE];
  w[CS_SCALE_CHECK] = move_checks_scaling(static_cast<uint16_t>(w[CS_DECODE])) ? 1 : 0;
  w[CS_EXECUTE_ADDR] = w[CS_DECODE_ADDR];
  w[CS_EXECUTE_OPERAND] = w[CS_DECODE_OPERAND];
}

// The instruction in execute is the last of a fast interrupt: the second
// vector word, or a first one that fills both vector words.
bool fast_sequence_ends(const uint32_t* w) {
  const uint32_t step = w[CS_IRQ_SEQ_STEP];
  return step == 3 || (step == 2 && w[CS_WORDS] == 2 && !w[CS_IRQ_LONG]);
}

// An abandoned interrupt sequence ends with this instruction: the program
// goes on at the return address, the request stays pending and is taken
// again at the next boundary. A sequence that entered a long interrupt has
// pushed its return already and completes, acknowledged now.
bool end_abandoned_sequence(uint32_t* w) {
  w[CS_IRQ_ABANDONED] = 0;
  if (w[CS_IRQ_LONG]) {
    ack_taken_interrupt();
    return false;
  }
  w[CS_IRQ_SEQ_STEP] = 0;
  w[CS_IN_FAST_IRQ] = 0;
  w[CS_NEXT_FETCH] = 1;
  w[CS_NEXT_TARGET] = w[CS_IRQ_RETURN];
  w[CS_BUBBLE] = 1;
  w[CS_RESTART_SKIP] += 1;
  core_set_next_pc(w[CS_IRQ_RETURN]);
  return true;
}

// The whole-instruction executor decodes from the per-word records; the
// cycle engine, the reference, decodes through the tables.
thread_local constinit bool decoded_records = false;

// The rest of begin_instruction outside a fast interrupt, from the record
// of the word: a new instruction, or a repeat pass (which keeps its operand
// word and does not start a repeat).
void begin_recorded(uint32_t* w, bool repeat_pass) {
  const decoded_word& d =
      decoded_word_of(static_cast<uint16_t>(repeat_pass ? w[CS_DECODE] : w[CS_PREFETCH]));
  core_decode_new(d, repeat_pass);
  w[CS_INSTR_BOUNDARY] = 0;
  if (!repeat_pass) {
    uint32_t second = 0;
    if (d.words > 1) mem_read_word(SPACE_P, (w[CS_DECODE_ADDR] + 1) & WORD, &second);
    w[CS_DECODE_OPERAND] = second & WORD;
  }
  core_decode_operands_from(d);
  move_to_execute();
  w[CS_WORDS] = d.words;
  w[CS_CYC_TOTAL] = d.cycles;
  if (repeat_pass)
    cur_state->record_repeat_passes += 1;
  else if (w[CS_REP_ARMED])
    repeat_begin();
  core_execute_with(d.run);
}

// A new instruction (or a repeat pass, or a fetch-only cycle) starts.
void begin_instruction() {
  uint32_t* w = core_words();
  core_clear_plan();
  w[CS_FLOW_TAKEN] = 0;
  w[CS_HOLD] = HOLD_NONE;
  w[CS_HOLD_STARTED] = 0;
  w[CS_CYC_INDEX] = 1;
  if (w[CS_BUBBLE]) {
    w[CS_WORDS] = 1;
    w[CS_CYC_TOTAL] = 1;
    return;
  }
  const bool repeat_pass = w[CS_REP_CONTINUE] != 0;
  w[CS_REP_CONTINUE] = 0;
  cur_state->jump_flag = 0;  // set again by a change of flow
  if (w[CS_IRQ_SEQ_STEP] == 1) {
    w[CS_IRQ_SEQ_STEP] = 2;
    w[CS_IN_FAST_IRQ] = 1;
  }
  w[CS_INSTR_BOUNDARY] = 1;
  w[CS_REPEAT_PASS] = repeat_pass ? 1 : 0;
  w[CS_SEQ_CODE] = 0;
  // A repeat pass of a word that continues into the next one decodes that
  // word instead: through the tables.
  if (decoded_records && !w[CS_IN_FAST_IRQ] && !(repeat_pass && (w[CS_DEC_CLASS] & CLASS_CONTINUES))) {
    begin_recorded(w, repeat_pass);
    return;
  }
  core_decode();
  w[CS_INSTR_BOUNDARY] = 0;
  const uint16_t word = static_cast<uint16_t>(w[CS_DECODE]);
  const int words = core_instruction_words(word);
  if (!repeat_pass) {
    uint32_t second = 0;
    if (words > 1) mem_read_word(SPACE_P, (w[CS_DECODE_ADDR] + 1) & WORD, &second);
    w[CS_DECODE_OPERAND] = second & WORD;
  }
  core_decode_operands();
  move_to_execute();
  w[CS_WORDS] = static_cast<uint32_t>(words);
  w[CS_CYC_TOTAL] = static_cast<uint32_t>(core_instruction_cycles(word, words, w[CS_IN_FAST_IRQ] != 0));
  if (w[CS_REP_ARMED] && !repeat_pass) repeat_begin();
  core_execute();
}

// The fetch of this instruction cycle, and where it reads.
void plan_fetch() {
  uint32_t* w = core_words();
  const uint32_t k = w[CS_CYC_INDEX];
  if (w[CS_BUBBLE]) {
    w[CS_CYCLE_FETCH] = FETCH_OPCODE;
  } else if (k < w[CS_WORDS]) {
    // A repeat pass keeps the operand word of the first pass: fetching it
    // again would move pab on past the words after the instruction.
    w[CS_CYCLE_FETCH] = w[CS_REPEAT_PASS] ? FETCH_NONE : FETCH_OPERAND;
    return;
  } else if (k < w[CS_CYC_TOTAL]) {
    w[CS_CYCLE_FETCH] = FETCH_NONE;
    return;
  } else {
    // The last cycle: repeat and loop bookkeeping decide the next opcode.
    if (w[CS_REP_STATE] && repeat_end_check()) {
      w[CS_REP_CONTINUE] = 1;
      w[CS_CYCLE_FETCH] = FETCH_NONE;
      return;
    }
    uint32_t target = 0;
    const uint32_t last_word = (w[CS_EXECUTE_ADDR] + w[CS_WORDS] - 1) & WORD;
    if (!w[CS_FLOW_TAKEN] && loop_end_check(last_word, &target)) {
      w[CS_NEXT_FETCH] = 1;
      w[CS_NEXT_TARGET] = target;
    }
    // The last vector word of a fast interrupt returns to the program.
    if (fast_sequence_ends(w) && !w[CS_FLOW_TAKEN]) {
      w[CS_NEXT_FETCH] = 1;
      w[CS_NEXT_TARGET] = w[CS_IRQ_RETURN];
    }
    w[CS_CYCLE_FETCH] = FETCH_OPCODE;
  }
  if (w[CS_NEXT_FETCH]) {
    w[CS_NEXT_FETCH] = 0;
    core_set_bus_latch(CS_PAB, w[CS_NEXT_TARGET], "pab");
  }
  // The opcode fetched now is the next instruction: pc names it from here,
  // before this instruction ends.
  core_set_next_pc(w[CS_PAB]);
}

void write_transfers() {
  uint32_t* w = core_words();
  for (int i = 0; i < CS_TRANSFER_SLOTS; ++i) {
    const int reg = static_cast<int>(w[CS_TRANSFER + 2 * i]);
    if (reg < 0) continue;
    core_set_bus_latch(CS_GDB, w[CS_TRANSFER + 2 * i + 1], "gdb");
    core_bus_to_reg(reg, CS_GDB);
    w[CS_TRANSFER + 2 * i] = static_cast<uint32_t>(-1);
  }
}

// false when a restart swallows the end.
bool signal_end(bool repeating) {
  uint32_t* w = core_words();
  if (repeating && w[CS_REP_STATE] == 1) {
    cur_inst->flags |= DEV_INSTR_END2;
    cur_inst->instructions += 1;
  } else if (w[CS_RESTART_SKIP] > 0) {
    w[CS_RESTART_SKIP] -= 1;
    return false;
  } else {
    cur_inst->flags |= DEV_INSTR_END;
    cur_inst->instructions += 1;
  }
  return true;
}

// The end of an instruction cycle that completed all its accesses.
void finish_cycle() {
  uint32_t* w = core_words();
  const bool bubble = w[CS_BUBBLE] != 0;
  if (!bubble && w[CS_CYC_INDEX] < w[CS_CYC_TOTAL]) {
    w[CS_CYC_INDEX] += 1;
    return;
  }
  write_transfers();
  w[CS_BUBBLE] = 0;
  w[CS_CYC_INDEX] = 0;
  const bool repeating = w[CS_REP_CONTINUE] != 0;
  const bool ended = signal_end(repeating);
  if (!bubble && !repeating && w[CS_IRQ_ABANDONED] && end_abandoned_sequence(w)) return;
  if (!bubble) {
    // The interrupt sequence moves on with the instructions it runs.
    const uint32_t step = w[CS_IRQ_SEQ_STEP];
    if (step == 2 && !fast_sequence_ends(w) && !w[CS_IRQ_LONG] && !w[CS_FLOW_TAKEN]) {
      w[CS_IRQ_SEQ_STEP] = 3;
    } else if (step >= 2) {
      w[CS_IRQ_SEQ_STEP] = 0;
      w[CS_IN_FAST_IRQ] = 0;
      w[CS_IRQ_LONG] = 0;
    }
    const bool boundary = !repeating && !w[CS_REP_ARMED] && !w[CS_REP_STATE] && !w[CS_IRQ_SEQ_STEP];
    if (boundary && core_take_interrupt_at_boundary(w)) return;
  }
  // An illegal next opcode stops a run at this end, before it executes;
  // behind a swallowed end the decode marks it instead.
  if (ended && !repeating) core_check_prefetch(w[CS_IN_FAST_IRQ] || w[CS_IRQ_SEQ_STEP] == 1);
}

// WAIT and STOP hold the core in state 264; 1 while held.
int hold_in_second_half() {
  uint32_t* w = core_words();
  if (w[CS_HOLD] == HOLD_NONE || w[CS_CYC_INDEX] != w[CS_CYC_TOTAL]) return 0;
  if (w[CS_HOLD] == HOLD_WAIT) {
    if (core_check_interrupts()) {
      w[CS_HOLD] = HOLD_NONE;
      return 0;
    }
    cur_inst->flags |= DEV_INSTR_END;
    return 1;
  }
  if (!w[CS_HOLD_STARTED]) {
    w[CS_HOLD_STARTED] = 1;
    // The cycles before the latch are the peripherals' to run.
    catch_up_peripherals();
    dwords()[DW_STOP_LATCH] = 1;
    reset_peripherals(0, -1);
    cur_inst->flags |= DEV_INSTR_END;
    return 1;
  }
  if (periph_pin_block(PINS_CONTROL)[PIN_LEVEL] & CTL_IRQA) {
    cur_inst->flags |= DEV_INSTR_END;
    return 1;
  }
  dwords()[DW_STOP_LATCH] = 0;
  w[CS_PEND_IRQB] = w[CS_PEND_IRQC] = 0;
  w[CS_EDGE_IRQB] = w[CS_EDGE_IRQC] = 0;
  cur_inst->pins_changed = 1;  // a low level pin sets them again
  w[CS_HOLD] = HOLD_NONE;
  return 0;
}

// Steps of the special sequence an attribute row starts.
int sequence_length(uint32_t value) {
  int n = 1;
  for (int guard = 0; value != 0 && guard < static_cast<int>(SPECIAL_SEQ_ROWS); ++guard) {
    value = special_seq_rows[value % SPECIAL_SEQ_ROWS].value;
    ++n;
  }
  return n;
}

}  // namespace

#ifndef NDEBUG
// Debug builds prove every skipped sample: running it must change nothing.
// A writer of the pins that forgot the mark shows up here.
void core_check_skipped_samples() {
  if (cur_inst->pins_changed != 0) return;
  const uint32_t* w = core_words();
  constexpr int kept[] = {CS_BUS_SAMPLE, CS_BUS_SAMPLE_PREV, CS_PEND_IRQA, CS_PEND_IRQB, CS_PEND_IRQC,
                          CS_EDGE_IRQA,  CS_EDGE_IRQB,       CS_EDGE_IRQC, CS_HIGH_IRQA, CS_HIGH_IRQB,
                          CS_HIGH_IRQC};
  uint32_t before[std::size(kept)];
  for (std::size_t i = 0; i < std::size(kept); ++i) before[i] = w[kept[i]];
  const uint32_t held = dwords()[DW_RESET_HELD];
  const uint32_t request = cur_inst->irq_request;
  core_sample_irq_pins();
  core_sample_bus_pins();
  bool same = held == dwords()[DW_RESET_HELD] && cur_inst->irq_request == request;
  for (std::size_t i = 0; i < std::size(kept); ++i) same = same && before[i] == w[kept[i]];
  if (!same) {
    std::fprintf(stderr, "a skipped pin sample would have changed the state (a pin writer without the mark)\n");
    std::abort();
  }
}
#endif

bool pin_samples_skip = true;

void core_run_pin_samples() {
  device_inst& inst = *cur_inst;
  // Both run: no short cut between them.
  const bool irq_steady = core_sample_irq_pins();
  const bool bus_steady = core_sample_bus_pins();
  inst.pins_changed = irq_steady && bus_steady && pin_samples_skip ? 0 : 1;
}

bool core_take_interrupt_at_boundary(uint32_t* w) {
  if (!core_check_interrupts()) return false;
  // The opcode just fetched is dropped; the vector word runs next.
  irq_sequence_start(w[CS_PREFETCH_ADDR]);
  w[CS_BUBBLE] = 1;
  w[CS_RESTART_SKIP] += 1;
  core_set_next_pc(w[CS_TAKEN_VECTOR]);
  return true;
}

int core_test_condition(uint32_t condition) {
  if (condition > 15) return 0;
  return conditions[condition](core_word(CORE_SR)) ? 1 : 0;
}

int condition_holds_for(uint32_t condition, uint32_t sr) {
  if (condition > 15) return 0;
  return conditions[condition](sr) ? 1 : 0;
}

int core_instruction_cycles(uint16_t word, int words, bool fast_irq) {
  // The cycles the tables give a word, worked out the first time the word
  // runs in each context (0 until then); the tables are constant.
  static std::array<std::array<uint8_t, 0x10000>, 2> table_cycles{};
  constexpr uint8_t HOLDS = 0xFF;
  // Devices on several threads may fill an entry: each stores the same count.
  std::atomic_ref<uint8_t> entry(table_cycles[fast_irq ? 1 : 0][word]);
  uint8_t cached = entry.load(std::memory_order_relaxed);
  if (cached == 0) {
    const uint32_t flags = instr_flags_lookup(word, fast_irq);
    if (flags & (IFLAG_WAIT | IFLAG_STOP)) {
      cached = HOLDS;
    } else {
      int timing = 1;
      const int row0 = timing_lookup(word, PIPE_MODE_FIRST, fast_irq);
      if (op_timing[row0][OPT_NEXT_MODE] == PIPE_MODE_SECOND) timing = 2;
      if (op_timing[row0][OPT_FLAG8]) timing += 1;
      const int attr = sequence_length(exec_attr_lookup(word, 0, fast_irq).value);
      cached = static_cast<uint8_t>(attr > timing ? attr : timing);
    }
    entry.store(cached, std::memory_order_relaxed);
  }
  // WAIT and STOP hold in their first cycle instead of stepping a sequence.
  if (cached == HOLDS) return 1;
  return words > cached ? words : cached;
}

namespace {

// The first step of every device cycle, inline in the cycle paths.
[[gnu::always_inline]] inline void pll_step() {
  uint32_t* w = core_words();
  if (cur_type->type_bit & TYPE_73521) {
    w[CS_PERIPH_TICK] = 1;
    return;
  }
  if (w[CS_PLL_LOCK_COUNT] > 0 && --w[CS_PLL_LOCK_COUNT] == 0)
    core_store_reg(CORE_PLCR, w[CORE_PLCR] | PLL_LOCK);
  // The peripheral clock: multiplier over divider, by a fractional
  // accumulator; a PLL that is off or not locked passes the clock through.
  uint32_t mul = 1, div = 1;
  if (core_is_583()) {
    mul = (w[CORE_PCR0] & 0xFF) + 1;
    div = ((w[CORE_PCR0] >> 8) & 0xF) + 1;
  } else {
    mul = ((w[CORE_PLCR] >> 4) & 0xF) + 1;
    div = (w[CORE_PLCR] & 0xF) + 1;
  }
  const bool running = (w[CORE_PLCR] & PLL_ENABLE) && (w[CORE_PLCR] & PLL_LOCK);
  if (!running) {
    w[CS_PERIPH_TICK] = 1;
    w[CS_CLOCK_PHASE] ^= 1;
    return;
  }
  w[CS_PLL_FRACTION] += div;
  w[CS_PERIPH_TICK] = 0;
  if (w[CS_PLL_FRACTION] >= mul) {
    w[CS_PLL_FRACTION] -= mul;
    w[CS_PERIPH_TICK] = 1;
    w[CS_CLOCK_PHASE] ^= 1;
  }
}

}  // namespace

void core_pll_step() {
  pll_step();
}

namespace {

// One device cycle by the state code, after the PLL step and the clock-out
// pin. False when the cycle stalled, held or waited for the bus.
bool cycle_states(uint32_t* w) {
  uint32_t state = dwords()[DW_CORE_STATE_CODE];
  bool plain = true;
  if (state == CORE_STATE_EXECUTE) {
    if (!w[CS_STALLED]) {
      if (w[CS_CYC_INDEX] == 0)
        begin_instruction();
      plan_fetch();
    } else {
      plain = false;
    }
    state = CORE_STATE_ARBITRATE;
  }
  if (state == CORE_STATE_ARBITRATE) {
    if (!core_bus_request()) {
      note_stall(1);
      set_state(CORE_STATE_ARBITRATE);
      if (cur_inst->abort) cur_inst->flags |= DEV_INSTR_END;
      end_of_clock();
      return false;
    }
    set_state(CORE_STATE_SECOND_HALF);
    end_of_clock();
    return plain;
  }
  if (state == CORE_STATE_SECOND_HALF) {
    if (w[CS_HOLD] != HOLD_NONE) plain = false;
    if (hold_in_second_half()) {
      end_of_clock();
      return false;
    }
    core_bus_write_phase();
    state = CORE_STATE_COMPLETE;
  }
  if (state == CORE_STATE_COMPLETE) {
    if (core_bus_wait_state()) {
      note_stall(1);
      set_state(CORE_STATE_COMPLETE);
      end_of_clock();
      return false;
    }
    if (core_bus_complete()) {
      // Contended: the instruction cycle repeats for its other access.
      note_stall(2);
      w[CS_STALLED] = 1;
      set_state(CORE_STATE_EXECUTE);
      end_of_clock();
      return false;
    }
    w[CS_STALLED] = 0;
    finish_cycle();
    set_state(CORE_STATE_EXECUTE);
  }
  end_of_clock();
  return plain;
}

}  // namespace

void core_cycle() {
  uint32_t* w = core_words();
  if (dwords()[DW_RESET_HELD]) {
    reset_peripherals(1, static_cast<int>(dwords()[DW_OPERATING_MODE]));
    // The pin may still be low: keep holding while it is.
    end_of_clock();
    cur_inst->flags |= DEV_INSTR_END;
    return;
  }
  pll_step();
  core_clock_out_pin();
  cycle_states(w);
}

int core_exec_instruction(int room, int* whole, bool straight_only) {
  device_inst& inst = *cur_inst;
  uint32_t* w = inst.core;
  const uint32_t* dw = inst.device_words.data();
  if (w[CS_CYC_INDEX] == 0) {
    const int n = core_fast_instruction(room);
    if (n > 0) {
      *whole = 1;
      return n;
    }
  }
  if (straight_only) return 0;
  // Whole: from the instruction's start to its end without a stall, a
  // hold, a wait state, a fetch-only cycle or the reset pin.
  bool plain = dw[DW_CORE_STATE_CODE] == CORE_STATE_EXECUTE && w[CS_CYC_INDEX] == 0 && !w[CS_STALLED] &&
               !w[CS_BUBBLE];
  decoded_records = true;
  int n = 0;
  bool end = false;
  while (n < room && !end) {
    ++n;
    if (dw[DW_RESET_HELD]) {
      plain = false;
      core_cycle();
    } else {
      pll_step();
      core_clock_out_pin();
      plain = cycle_states(w) && plain;
    }
    end = (inst.flags & (DEV_INSTR_END | DEV_INSTR_END2)) != 0;
    exec_cycle_done(inst, end);
  }
  decoded_records = false;
  *whole = end && plain ? 1 : 0;
  return n;
}
