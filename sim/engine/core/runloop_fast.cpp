// The whole-instruction engine (`run_fast_cycles`): the quiet ends of
// counted runs, the input services a fast run leaves out or makes after
// the instruction they fall inside, the run loop's part of a straight
// instruction's end, and the per-cycle steps the executor calls.
#include "sim/engine/core/runloop.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "sim/engine/core/clock_device.h"
#include "sim/engine/core/core_engine.h"
#include "sim/engine/fast/core_fast.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/fast/run_lanes.h"
#include "sim/frontend/frontend.h"
#include "sim/engine/core/runloop_internal.h"

using namespace runloop_detail;

namespace {

// Whether the instruction noted an access inside a watched block (the
// newest ACCESS_RING of each log, as the breakpoints' own tests read).
[[gnu::noinline]] bool watched_access_inside(const device_state& st) {
  for (int k = 0; k < st.access_watch_count; ++k) {
    const access_watch& w = st.access_watches[k];
    const access_log& log = *w.log;
    const uint32_t n = std::min<uint32_t>(instr_accesses(st, log), ACCESS_RING);
    for (uint32_t j = 0; j < n; ++j) {
      const uint32_t address = log.address[(log.ring_index + ACCESS_RING - j) % ACCESS_RING];
      if (w.lo <= w.hi ? address >= w.lo && address <= w.hi : address >= w.lo || address <= w.hi) return true;
    }
  }
  return false;
}
inline bool watched_access(const device_state& st) {
  for (int k = 0; k < st.access_watch_count; ++k)
    if (st.access_watches[k].log->instr_epoch == st.instr_epoch) return watched_access_inside(st);
  return false;
}

// No breakpoint can fire at this end: none is set, or none needs a test
// at every end, no condition on the count can hold at this one, no
// watched block was accessed and no program-address breakpoint names this
// pc.
[[gnu::always_inline]] inline bool no_break_here(const device_inst& inst, const device_state& st) {
  if (st.breakpoints == nullptr || st.breaks_inert != 0) return true;
  const uint64_t* bits = st.pc_break_bits;
  if (bits == nullptr || st.breaks_every_end != 0 || inst.pc > 0xFFFF) return false;
  if (st.breaks_cycle_bounded != 0 && (inst.cycles < st.break_from || inst.cycles >= st.break_until)) return false;
  if (st.access_watch_count != 0 && watched_access(st)) return false;
  return ((bits[inst.pc >> 6] >> (inst.pc & 63)) & 1) == 0;
}

// The count rules at an end that is otherwise quiet: a go with its count
// left, or a step by instructions or by cycles that does not reach 0 at
// this end (a step by cycles has counted the end's other cycles). A step
// takes its count of the end with counted_end_taken.
bool counted_end_quiet(const device_state& st) {
  return st.run_mode == RUN_GO ? st.run_count != 0
                               : (st.run_mode == RUN_STEP_INSTR || st.run_mode == RUN_STEP_CYCLE) && st.run_count > 1;
}
void counted_end_taken(device_state& st) {
  if (st.run_mode != RUN_GO) st.run_count -= 1;
}

// A step by cycles counts every cycle while its count is above 0; the
// fast engine takes the cycles of a whole instruction at once.
void count_step_cycles(device_state& st, uint32_t cycles) {
  st.run_count -= std::min(st.run_count, cycles);
}

// An instruction end of a counted run that can neither stop nor show
// anything: no stop flag, no breakpoint that can fire, no progress line,
// a plan still good, no host file request, the count not run out.
// (counted_end_taken then takes the count.)
bool quiet_end(const device_inst& inst, const device_state& st) {
  constexpr uint32_t STOPPING = DEV_ILLEGAL | DEV_STOP | DEV_ERROR_PENDING;
  return (inst.flags & STOPPING) == 0 && inst.abort == 0 && (stop_request == 0 || run_lane == LANE_WORKER) &&
         st.run_plan_stale == 0 && counted_end_quiet(st) && (st.run_mode != RUN_GO || inst.cycles % 1000 != 0) &&
         inst.pc != st.hio.watch[0] && inst.pc != st.hio.watch[1] && no_break_here(inst, st);
}

// The input services a fast run leaves out: the cycles up to the next one
// whose service takes a value only run the streams' counts down, which
// `settle` does at once before anything else can look at the streams.
// Counted in the run's cycles, not the device's count, which a reset
// starts over.
struct input_services {
  bool on;
  bool known = false;
  bool none = true;  // no service will take a value
  int served = 0;    // the run's first cycle whose service has not been done
  int64_t due = 0;   // the run's next cycle whose service takes a value
  explicit input_services(const device_state& st) : on(st.streams[0] != nullptr || st.streams[1] != nullptr) {}
  // Cycles from the run's cycle n to the due one, NO_EVENT when none.
  int64_t ahead(int n) {
    if (!on) return NO_EVENT;
    if (!known) {
      const uint32_t d = input_service_due();
      known = true;
      none = d == NO_EVENT;
      due = n + static_cast<int64_t>(d);
    }
    return none ? NO_EVENT : due - n;
  }
  void settle(int n) {
    if (on) skip_input_services(static_cast<uint32_t>(n - served));
    served = n;
  }
  // The services are about to run, or something may change the streams.
  void changed(int n) {
    settle(n);
    known = false;
  }
};

// The input services of the run's cycles n .. n + ran - 1, which a
// straight instruction just ran (STREAMS_QUIET_PINS: nothing sampled the
// pins they set in between): each at its own count, in order, with the
// blocks' previous words as the cycle engine leaves them. The core's
// samples read only the control pins, so its mark of changed pins stays
// as the instruction left it. The deliveries write only the blocks of
// ports B and C: those are copied for the instruction's end here, and the
// mark of changed blocks goes back to what the instruction left, so the
// end copies the others only when the instruction changed one.
void deliver_inside(input_services& inputs, int n, int ran, device_inst& inst, int blocks) {
  const uint32_t end_count = inst.cycles;
  const uint8_t changed = inst.pins_changed;
  const uint8_t blocks_changed = inst.blocks_changed;
  int64_t a = inputs.ahead(n);
  if (a >= ran) return;
  while (a < ran) {
    const int at = n + static_cast<int>(a);
    inst.cycles = end_count - static_cast<uint32_t>(ran - a);
    save_previous_blocks(inst, blocks);
    // The services skipped since the last, this cycle's, and the next due
    // (absolute times compare with the next cycle's count).
    const uint32_t next = deliver_input_services(static_cast<uint32_t>(at - inputs.served));
    inputs.served = at + 1;
    inst.cycles += 1;
    inputs.known = true;
    inputs.none = next == NO_EVENT;
    inputs.due = at + 1 + static_cast<int64_t>(next);
    a = inputs.none ? ran : a + 1 + next;
  }
  inst.cycles = end_count;
  inst.pins_changed = changed;
  for (const int group : QUIET_PIN_GROUPS) {
    uint32_t* block = inst.blocks.data() + group * 2 * REG_BLOCK_WORDS;
    if (group < blocks) std::memcpy(block + REG_BLOCK_WORDS, block, PIN_BLOCK_LIVE_WORDS * sizeof(uint32_t));
  }
  inst.blocks_changed = blocks_changed;
}

// The deliveries a run of straight instructions crosses: `first` is the
// run's cycle at which core_fast_run started, at the device count
// `first_count` (no reset falls inside a straight run).
struct run_inputs : straight_inputs {
  input_services* services;
  int first;
  uint32_t first_count;
  int blocks;
  // `due` from the services' next delivery, seen from the run's cycle n.
  void next_due(int n) {
    const int64_t a = services->ahead(n);
    due = a == NO_EVENT ? UINT64_MAX : uint64_t{first_count} + static_cast<uint64_t>(n - first + a);
  }
};

// Cycles the executor may run before a test of a condition on the count
// could hit (they would all find it false), counting from the next cycle;
// a count that starts over inside them starts from 1.
uint32_t break_room(const device_inst& inst, device_state& st) {
  const uint64_t next = uint64_t{inst.cycles} + 1;
  if (next < st.break_from || next >= st.break_until) {
    st.break_from = next;
    st.break_until = run_hook.break_horizon(next);
  }
  const uint64_t room = std::min(st.break_until - next, st.break_restart - 1);
  return room < INT32_MAX ? static_cast<uint32_t>(room) : INT32_MAX;
}

// The terms of quiet_end that no straight instruction changes (only
// commands, stream and breakpoint lists, state loads and the host
// interface write them), for a go or a counted step with no host file
// watch whose breakpoints, if any, are found by the pc's bitmap: tested
// once per run of straight instructions. (A step's count is tested at
// each end.)
bool quiet_plain_go(const device_inst& inst, const device_state& st) {
  const bool counted = st.run_mode == RUN_GO ? st.run_count != 0
                                             : st.run_mode == RUN_STEP_INSTR || st.run_mode == RUN_STEP_CYCLE;
  return inst.abort == 0 && st.run_plan_stale == 0 && counted &&
         (st.breakpoints == nullptr || st.breaks_inert != 0 ||
          (st.pc_break_bits != nullptr && st.breaks_every_end == 0)) &&
         st.hio.watch[0] == HIO_NO_WATCH && st.hio.watch[1] == HIO_NO_WATCH;
}

}  // namespace

void straight_deliveries(straight_inputs& inputs, int ran) {
  run_inputs& r = static_cast<run_inputs&>(inputs);
  const int end = r.first + static_cast<int>(cur_inst->cycles - r.first_count);
  deliver_inside(*r.services, end - ran, ran, *cur_inst, r.blocks);
  r.next_due(end);
}

// A straight instruction's end in a run of them (core_fast_run): the
// register blocks' previous words and the counts, then, when the end is
// quiet, what check_run_stop and after_cycle do at it. `plain_go` holds
// quiet_plain_go's answer once the run found it true. `at_bound`: the
// count reached the run's quiet bound (only there can it be a thousand).
// A step by cycles counts the instruction's `cycles` but the last, which
// the end takes when it is quiet and leaves to check_run_stop when not.
bool straight_end_done(int device, bool& plain_go, bool at_bound, int cycles) {
  constexpr uint32_t STOPPING = DEV_ILLEGAL | DEV_STOP | DEV_ERROR_PENDING;
  device_inst& inst = *cur_inst;
  device_state& st = *cur_state;
  save_previous_blocks(inst, cur_type->block_count);
  if (st.run_mode == RUN_STEP_CYCLE) count_step_cycles(st, static_cast<uint32_t>(cycles - 1));
  if (!plain_go) plain_go = quiet_plain_go(inst, st);
  if (plain_go) {
    if ((inst.flags & STOPPING) != 0 || (stop_request != 0 && run_lane != LANE_WORKER) ||
        (at_bound && inst.cycles % 1000 == 0) || (st.run_mode != RUN_GO && st.run_count <= 1))
      return false;
    // With the pc's bitmap and no test at every end, no breakpoint keeps
    // marks: the end has none to clear.
    if (st.breakpoints != nullptr && !no_break_here(inst, st)) return false;
    advance_instr_epoch(st);
  } else {
    if (!quiet_end(inst, st)) return false;
    end_of_instruction_marks();
  }
  counted_end_taken(st);
  profile_end(device, inst);
  inst.flags &= DEV_EXCLUDED;
  if (instruction_end_observer != nullptr) {
    instruction_end_observer(device);
    plain_go = false;  // the observer may change anything
  }
  return true;
}

// The whole-instruction engine: the cycles of each instruction back to
// back, with the stop check, the register-block history and the
// profiler's instruction hook at its end only. Inside an instruction a
// run that may go fast does nothing else per cycle (check_run_stop would
// return at once), so every instruction end leaves the state the cycle
// engine leaves. Stops after `max` cycles even inside an instruction. A
// cycle whose input service takes a value runs alone, after the service.
// With soft < max it may end at its first instruction end at or after
// soft: a straight run goes at most SOFT_END_SLACK cycles past soft, so
// it cuts no instruction when max lies that far beyond.
int runloop_detail::run_fast_cycles(int device, device_inst* inst, device_state* st, int max, int soft) {
  const int blocks = cur_type->block_count;
  input_services inputs(*st);
  int n = 0;
  bool at_end = false;
  // A step by cycles: the run's cycles before `counted` are in its count
  // (check_run_stop counts the cycles the cycle engine runs, and the
  // stop-checked ends; straight runs count their own).
  int counted = 0;
  auto count_to = [&](int upto) {
    if (st->run_mode == RUN_STEP_CYCLE && upto > counted) count_step_cycles(*st, static_cast<uint32_t>(upto - counted));
    counted = upto;
  };
  while (n < max) {
    if (n >= soft && at_end) break;
    at_end = false;
    count_to(n);
    int breaks_left = INT32_MAX;
    if (st->breaks_cycle_bounded != 0) {
      breaks_left = static_cast<int>(break_room(*inst, *st));
      if (breaks_left == 0) {
        // A test may hit in the next cycle: the cycle engine's cycle.
        inputs.changed(n);
        run_device_cycle(device);
        inputs.served = counted = ++n;
        if (!device_alive(device, inst, st) || st->running == 0) return n;
        if (st->run_plan_stale) update_run_plan(*st);
        if (st->run_fast == 0) return n + run_device_cycles(device, max - n);
        inputs.on = st->streams[0] != nullptr || st->streams[1] != nullptr;
        continue;
      }
    }
    int room = max - n;
    if (breaks_left < room) room = breaks_left;
    bool end_pending = false;
    if (inst->profiled == 0 || !inputs.on) {
      // Straight ones back to back, their quiet ends done as they come
      // (a profiled device's sample and hook with each: without inputs
      // nothing comes between an end and the next start), up to the next
      // input service that takes a value, or across it when its
      // deliveries can be made after the instruction they fall inside.
      int run_room = soft < max && n < soft ? std::min(room, soft - n + SOFT_END_SLACK) : room;
      run_inputs across{};
      straight_inputs* deliveries = nullptr;
      if (inputs.on) {
        if ((st->stream_plan & STREAMS_QUIET_PINS) != 0) {
          across.services = &inputs;
          across.first = n;
          across.first_count = inst->cycles;
          across.blocks = blocks;
          across.next_due(n);
          deliveries = &across;
        } else if (const int64_t ahead = inputs.ahead(n); ahead < run_room) {
          run_room = static_cast<int>(ahead);
        }
      }
      const int ran = run_room > 0 ? core_fast_run(run_room, device, &end_pending, deliveries) : 0;
      n += ran;
      counted = end_pending ? n - 1 : n;
      if (ran > 0 && !end_pending) {
        at_end = true;
        continue;
      }
    }
    const int64_t ahead = end_pending ? NO_EVENT : inputs.ahead(n);
    int whole = end_pending ? 1 : 0;
    if (ahead < room && (st->stream_plan & STREAMS_QUIET_PINS) != 0) {
      // Deliveries that fall inside an instruction the straight-line
      // executor runs are made after it.
      if (inst->profiled != 0) [[unlikely]] sample_profiler(device, st->profile);
      const int ran = core_exec_instruction(room, &whole, true);
      if (ran > 0) {
        deliver_inside(inputs, n, ran, *inst, blocks);
        n += ran;
      }
    }
    if (whole != 0) {
    } else if (ahead == 0) {
      // The cycle engine's order, with the blocks' previous words as it
      // leaves them on either side of the cycle (a peripheral compares pins).
      inputs.changed(n);
      save_previous_blocks(*inst, blocks);
      service_input_streams();
      room = 1;
    } else if (ahead < room) {
      room = static_cast<int>(ahead);
    }
    if (whole == 0 && !end_pending) {
      // At an instruction's first cycle, as the cycle engine samples it.
      if (inst->profiled != 0) [[unlikely]] sample_profiler(device, st->profile);
      n += core_exec_instruction(room, &whole);
      if (ahead == 0) {
        inputs.served = n;
        save_previous_blocks(*inst, blocks);
      }
    }
    if (end_pending || (inst->flags & (DEV_INSTR_END | DEV_INSTR_END2)) != 0) {
      if (!end_pending) {
        save_previous_blocks(*inst, blocks);
        st->fast_instructions += 1;
        st->exec_instructions += static_cast<uint32_t>(whole);
      }
      // The end's own cycle is counted by the end.
      count_to(n - 1);
      if (!end_pending && quiet_end(*inst, *st)) {
        // What check_run_stop and after_cycle do at such an end.
        end_of_instruction_marks();
        counted_end_taken(*st);
        counted = n;
        profile_end(device, *inst);
        inst->flags &= DEV_EXCLUDED;
        if (instruction_end_observer != nullptr) instruction_end_observer(device);
        at_end = true;
        continue;
      }
      // A breakpoint's command may look at the streams or open some.
      inputs.changed(n);
      counted = n;
      if (!after_cycle(device, inst, st) || st->running == 0 || end_left[static_cast<std::size_t>(device)] != 0)
        return n;
      if (st->run_plan_stale) update_run_plan(*st);
      if (st->run_fast == 0) return n + run_device_cycles(device, max - n);
      inputs.on = st->streams[0] != nullptr || st->streams[1] != nullptr;
      at_end = true;
      continue;
    }
  }
  count_to(n);
  inputs.settle(n);
  save_previous_blocks(*inst, blocks);
  return n;
}

void exec_cycle_done(device_inst& inst, bool end) {
  if (inst.horizon_stale) compute_event_horizon();
  if (inst.event_due && inst.horizon == inst.cycles) clock_due_events(inst, plan_for(inst.type));
  inst.cycles += 1;
  if (end) return;
  // Inside an instruction of a run that may go fast, check_run_stop would
  // do only this.
  inst.flags &= ~DEV_PC_WRITTEN;
  if (run_lane == LANE_WORKER) return;
  if (stop_request != 0) abort_requested();
  if (cur_state->run_mode == RUN_GO && inst.cycles % 1000 == 0) run_hook.show_progress_line();
}

bool exec_cycles_quiet(device_inst& inst, int n) {
  if (n <= 0 || stop_request != 0) return false;
  const uint32_t first = inst.cycles;
  const uint32_t count = static_cast<uint32_t>(n);
  if (first > UINT32_MAX - count) return false;  // the count wraps inside: left to the cycles
  if (inst.horizon_stale) compute_event_horizon();
  if (inst.event_due && inst.horizon - first < count) return false;
  // The progress line of a go comes at counts that are multiples of a
  // thousand, reached inside the instruction (not at its end).
  return cur_state->run_mode != RUN_GO || 1000 - first % 1000 >= count;
}

uint64_t exec_quiet_bound(const device_inst& inst) {
  if (inst.horizon_stale) return 0;
  uint64_t bound = UINT32_MAX;
  // A horizon behind the count bounds nothing (exec_cycles_quiet's
  // difference wraps).
  if (inst.event_due && inst.horizon >= inst.cycles) bound = inst.horizon;
  if (cur_state->run_mode == RUN_GO) bound = std::min<uint64_t>(bound, (uint64_t{inst.cycles} / 1000 + 1) * 1000);
  return bound;
}

int exec_cycles_done(device_inst& inst, int n) {
  if (!exec_cycles_quiet(inst, n)) return 0;
  inst.cycles += static_cast<uint32_t>(n);
  return n;
}
