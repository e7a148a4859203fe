// The run loop: one device cycle, the stop check after it, the run plan
// and the run's end. The whole-instruction engine is in runloop_fast.cpp,
// the profiler's part in runloop_profile.cpp, slices of many devices in
// runloop_slice.cpp; what they share is in runloop_internal.h.
//
// The cycle path allocates nothing, formats nothing and searches no table:
// the clock list of each device type and the profiler's register numbers
// are worked out once; breakpoints are a list walk that skips, in the
// middle of an instruction, every condition that names neither "cyc" nor
// "pc".
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

namespace {
thread_local std::array<runloop_detail::clock_plan, TYPE_COUNT> clock_plans;
}  // namespace

namespace runloop_detail {

const clock_plan& plan_for(int type) {
  clock_plan& plan = clock_plans[static_cast<std::size_t>(type)];
  if (!plan.built) {
    const device_type& t = *device_types[type];
    plan.core = t.periph_count > 0 ? t.periphs[0].cls->clock : nullptr;
    plan.count = 0;
    for (int r = 1; r < t.periph_count && plan.count < static_cast<int>(plan.event_row.size()); ++r) {
      const periph_class* cls = t.periphs[r].cls;
      if (cls->clock == nullptr || cls->next_event == nullptr) continue;
      plan.event_row[static_cast<std::size_t>(plan.count++)] = r;
    }
    plan.built = true;
  }
  return plan;
}

[[gnu::noinline]] void clock_due_events(device_inst& inst, const clock_plan& plan) {
  for (int k = 0; k < plan.count; ++k) {
    const int row = plan.event_row[static_cast<std::size_t>(k)];
    const periph_class* cls = cur_type->periphs[row].cls;
    if (cls->next_event(row) == 0) cls->clock(row);
  }
  inst.horizon_stale = 1;
}

void end_of_instruction_marks() {
  device_state& st = *cur_state;
  if (st.breakpoints != nullptr) run_hook.end_breakpoint_marks();
  advance_instr_epoch(st);
}

}  // namespace runloop_detail

using namespace runloop_detail;

namespace {

// One device cycle of the core and the peripherals' events; both engines
// clock through here.
inline void clock_cycle(device_inst& inst, const clock_plan& plan) {
  plan.core(0);
  if (inst.horizon_stale) compute_event_horizon();
  if (inst.event_due && inst.horizon == inst.cycles) clock_due_events(inst, plan);
}

// A shown step between stops: the display has taken the marks in.
void restart_run_marks() {
  for (region_access_log& log : cur_state->region_logs) {
    log.reads.run_count = 0;
    log.writes.run_count = 0;
  }
  for (int row = 0; row < cur_type->periph_count; ++row) {
    uint32_t* attrs = periph_attrs(row);
    const int count = cur_type->periphs[row].cls->reg_count;
    for (int reg = 0; reg < count; ++reg) attrs[reg] &= ~(ATTR_READ_SINCE | ATTR_CHANGED);
  }
}

std::array<std::string, DEVICE_MAX> pending_errors;

// Inside an instruction these modes neither count nor stop; go shows the
// progress line every thousand cycles.
bool quiet_inside_instruction(int mode, uint32_t cycles) {
  return (mode == RUN_GO && cycles % 1000 != 0) || mode == RUN_TRACE_INSTR ||
         mode == RUN_STEP_INSTR;
}

void print_line(const char* text) { session_print(text, 1); }

// Counting by run mode: the table is indexed by run_mode 0-4.
struct count_result {
  int stop;
  int show;
};
using mode_rule = count_result (*)(device_state&, bool end);
constexpr mode_rule mode_rules[] = {
    // go: stops once a counted breakpoint has used up the count.
    [](device_state& st, bool end) -> count_result {
      const int both = st.run_count == 0 && end ? 1 : 0;
      return {both, both};
    },
    // trace by instruction
    [](device_state& st, bool end) -> count_result {
      if (!end) return {0, 0};
      if (st.run_count != 0) st.run_count -= 1;
      return {st.run_count == 0 ? 1 : 0, 1};
    },
    // trace by cycle
    [](device_state& st, bool end) -> count_result {
      if (st.run_count != 0) st.run_count -= 1;
      char text[48];
      std::snprintf(text, sizeof text, "{Trace cycle count=%" PRIu32 "}", st.run_count);
      print_line(text);
      return {end && st.run_count == 0 ? 1 : 0, 1};
    },
    // step by instruction
    [](device_state& st, bool end) -> count_result {
      if (!end) return {0, 0};
      if (st.run_count != 0) st.run_count -= 1;
      const int both = st.run_count == 0 ? 1 : 0;
      return {both, both};
    },
    // step by cycle
    [](device_state& st, bool end) -> count_result {
      if (st.run_count != 0) st.run_count -= 1;
      const int both = end && st.run_count == 0 ? 1 : 0;
      return {both, both};
    },
};

}  // namespace

profiler_iface* profiler = nullptr;

run_hooks run_hook = {
    [](int, int*, int*) { return 1; },
    [] { return 0; },
    [](uint64_t from) { return from; },
    [](int, uint32_t, uint32_t) { return 0u; },
    [] {},
    [] {},
    [](int) {},
    [](int) {},
    [] {},
    [](int*, int*) {},
};

void free_run_frames() {
  const int device = cur_device;
  for (int d = 0; d < DEVICE_MAX; ++d) {
    const device_inst* inst = device_insts[d];
    if (inst == nullptr || (inst->flags & DEV_EXCLUDED) != 0) continue;
    make_device_current(d);
    run_hook.frames_free();
  }
  make_device_current(device);
}

void set_pending_run_error(const char* text) {
  if (cur_inst == nullptr || cur_device < 0 || cur_device >= DEVICE_MAX) return;
  pending_errors[static_cast<std::size_t>(cur_device)] = text != nullptr ? text : "";
  cur_inst->flags |= DEV_ERROR_PENDING;
}

thread_local constinit int run_lane = LANE_ALONE;
std::array<uint8_t, DEVICE_MAX> end_left{};

int check_run_stop() {
  device_inst& inst = *cur_inst;
  device_state& st = *cur_state;
  const int device = cur_device;
  // A worker leaves the stop request to the main thread.
  if (stop_request != 0 && run_lane != LANE_WORKER) abort_requested();
  const bool end = (inst.flags & (DEV_INSTR_END | DEV_INSTR_END2)) != 0;
  // The common cycle: inside an instruction, no breakpoint that can fire
  // there, no progress line due. Go, trace and step by instruction count
  // and stop only at instruction ends.
  if (st.run_plan_stale) update_run_plan(st);
  if (!end && st.mid_instr_breaks == 0 && quiet_inside_instruction(st.run_mode, inst.cycles)) {
    inst.flags &= ~DEV_PC_WRITTEN;
    return 0;
  }
  int stop = 0;
  int show = 0;

  if (end) {
    if (inst.abort != 0) {
      inst.abort = 0;
      inst.abort_wait = 0;
      output_hold();
      print_line("{SIMULATION ABORTED}");
      stop = show = 1;
    }
    if ((inst.flags & DEV_ILLEGAL) != 0) {
      print_line("{Illegal Op-Code Encountered}");
      stop = show = 1;
    }
    if ((inst.flags & DEV_ERROR_PENDING) != 0) {
      std::string& text = pending_errors[static_cast<std::size_t>(device)];
      if (!text.empty()) print_line(("{" + text + "}").c_str());
      text.clear();
      stop = show = 1;
    }
    if ((inst.flags & DEV_STOP) != 0) stop = show = 1;
  }

  const int mode = st.run_mode;
  if (inst.cycles % 1000 == 0 && (mode == RUN_GO || mode >= RUN_SOURCE_FIRST) && run_lane != LANE_WORKER)
    run_hook.show_progress_line();

  if (st.breakpoints != nullptr && st.breaks_inert == 0) {
    // Register marks are observed: the peripherals catch up.
    if (st.breaks_observe_marks != 0) catch_up_peripherals();
    if (!run_hook.test_breakpoints(end ? 1 : 0, &stop, &show)) return 0;
    if (!device_alive(device, &inst, &st)) return 0;
  }

  if (end) end_of_instruction_marks();
  inst.flags &= ~DEV_PC_WRITTEN;

  if (mode >= RUN_GO && mode < RUN_SOURCE_FIRST) {
    const count_result r = mode_rules[mode](st, end);
    stop |= r.stop;
    show |= r.show;
  } else if (end && mode >= RUN_SOURCE_FIRST) {
    run_hook.source_step_check(&show, &stop);
    if (!device_alive(device, &inst, &st)) return 0;
  }
  if (show != 0) {
    run_hook.refresh_register_marks(1);
    if (gui_present() != 0) window_update_all(-2);
    free_run_frames();
    make_device_current(device);
    if (st.view_mode == 1 || st.view_mode == 2) run_hook.view_show_position(32767);
    if (stop == 0) {
      screen_flush();
      restart_run_marks();
    }
  }
  if (end && (inst.pc == st.hio.watch[0] || inst.pc == st.hio.watch[1])) hio_service();
  return stop;
}

void (*instruction_end_observer)(int device) = nullptr;

namespace {

// An instruction end on a thread of a slice that will stop the run: its
// stop check reports and shows, so it is left to the main thread, which
// makes it after the slice in slot order (end_left). Nothing else of the
// device changes in between, and nothing that a stop check of a device
// without breakpoints or streams does depends on the other devices.
bool end_stops_run(device_inst& inst, const device_state& st) {
  if ((inst.flags & (DEV_INSTR_END | DEV_INSTR_END2)) == 0) return false;
  if (stop_request != 0 && run_lane == LANE_MAIN) abort_requested();
  return (inst.flags & (DEV_ILLEGAL | DEV_STOP | DEV_ERROR_PENDING)) != 0 || inst.abort != 0 ||
         (st.run_mode == RUN_GO && st.run_count == 0);
}

}  // namespace

// The end of a device cycle in either engine: the stop check, and at an
// instruction end the profiler and the run's end. False when the device
// went away.
bool runloop_detail::after_cycle(int device, device_inst* inst, device_state* st) {
  if (run_lane != LANE_ALONE && end_stops_run(*inst, *st)) [[unlikely]] {
    end_left[static_cast<std::size_t>(device)] = 1;
    return true;
  }
  if (check_run_stop() != 0) inst->flags |= DEV_STOP;
  if (!device_alive(device, inst, st)) return false;
  if ((inst->flags & (DEV_INSTR_END | DEV_INSTR_END2)) == 0) return true;

  profile_end(device, *inst);
  const bool stopping = (inst->flags & DEV_STOP) != 0;
  inst->flags &= DEV_STOP | DEV_EXCLUDED;
  if (stopping) {
    inst->flags &= DEV_EXCLUDED;
    st->running = 0;
    catch_up_peripherals();
  }
  if (instruction_end_observer != nullptr) instruction_end_observer(device);
  return true;
}

device_inst* runloop_detail::enter_device(int device) {
  if (device < 0 || device >= DEVICE_MAX) return nullptr;
  device_inst* inst = device_insts[device];
  device_state* st = device_states[device];
  if (inst == nullptr || st == nullptr) return nullptr;
  if (cur_inst != inst || cur_device != device) make_device_current(device);
  st->running = 1;
  return inst;
}

void update_run_plan(device_state& st) {
  st.run_plan_stale = 0;
  st.pc_break_bits = nullptr;
  st.access_watches = nullptr;
  st.access_watch_count = 0;
  const int flags = st.breakpoints != nullptr ? run_hook.plan_breakpoints() : 0;
  const int mid = (flags & BREAKS_WITHIN_INSTRUCTION) != 0 ? 1 : 0;
  st.mid_instr_breaks = mid;
  st.breaks_cycle_bounded = mid != 0 && (flags & BREAKS_CYCLE_BOUNDED) != 0 ? 1 : 0;
  st.breaks_every_end = (flags & BREAKS_AT_EVERY_END) != 0 ? 1 : 0;
  st.breaks_own_device = (flags & BREAKS_OWN_DEVICE) != 0 ? 1 : 0;
  st.breaks_inert = (flags & BREAKS_INERT) != 0 ? 1 : 0;
  const int see = (flags & BREAKS_SEE_PERIPHERALS) != 0 ? 1 : 0;
  if (see != st.breaks_see_peripherals) {
    // Steps left to a catch-up so far are taken now, before anything sees
    // them; the events change.
    if (see != 0) catch_up_peripherals();
    st.breaks_see_peripherals = see;
    cur_inst->horizon_stale = 1;
  }
  st.break_from = st.break_until = 0;
  st.break_restart = st.breaks_cycle_bounded != 0 ? run_hook.break_horizon(1) : 0;
  st.breaks_observe_marks = (flags & BREAKS_OBSERVE_MARKS) != 0 ? 1 : 0;
  st.read_watch = (flags & BREAKS_WATCH_READS) != 0 ? 1 : 0;
  st.stream_plan = plan_streams();
  ++st.plan_epoch;
  const int mode = st.run_mode;
  st.run_fast = st.cycle_engine_only == 0 && (mid == 0 || st.breaks_cycle_bounded != 0) &&
                        (st.stream_plan & STREAMS_PER_CYCLE) == 0 &&
                        (mode == RUN_GO || mode == RUN_TRACE_INSTR || mode == RUN_STEP_INSTR ||
                         mode == RUN_STEP_CYCLE)
                    ? 1
                    : 0;
  st.engine = st.run_fast != 0 ? &fast_engine : &cycle_engine;
}

void run_device_cycle(int device) {
  device_inst* inst = enter_device(device);
  if (inst == nullptr) return;
  device_state* st = cur_state;

  service_input_streams();
  if (inst->profiled != 0) [[unlikely]] sample_profiler(device, st->profile);
  clock_cycle(*inst, plan_for(inst->type));
  service_output_streams();

  save_previous_blocks(*inst, cur_type->block_count);
  inst->cycles += 1;
  after_cycle(device, inst, st);
}

int run_device_cycles(int device, int max) { return run_device_cycles_soft(device, max, max); }

int run_device_cycles_soft(int device, int soft, int max) {
  device_inst* inst = enter_device(device);
  if (inst == nullptr) return 0;
  device_state* st = cur_state;
  if (st->run_plan_stale) update_run_plan(*st);
  soft = std::min(std::max(soft, 0), max);
  const run_engine& engine = st->engine != nullptr ? *st->engine : cycle_engine;
  return engine.run_cycles(device, inst, st, soft, max);
}

const run_engine& device_engine(int device) {
  device_state* st = device >= 0 && device < DEVICE_MAX ? device_states[device] : nullptr;
  if (st == nullptr || !make_device_current(device)) return cycle_engine;
  if (st->run_plan_stale) update_run_plan(*st);
  return st->engine != nullptr ? *st->engine : cycle_engine;
}

namespace {

// Cycle by cycle any count is an end as good as another.
int run_cycle_engine(int device, device_inst* inst, device_state* st, int soft, int) {
  int n = 0;
  while (n < soft) {
    run_device_cycle(device);
    ++n;
    if (!device_alive(device, inst, st) || st->running == 0 || end_left[static_cast<std::size_t>(device)] != 0) break;
  }
  return n;
}

int run_fast_engine(int device, device_inst* inst, device_state* st, int soft, int max) {
  return run_fast_cycles(device, inst, st, max, soft);
}

}  // namespace

const run_engine cycle_engine = {"cycle", run_cycle_engine};
const run_engine fast_engine = {"fast", run_fast_engine};

void finish_left_end(int device) {
  end_left[static_cast<std::size_t>(device)] = 0;
  device_inst* inst = enter_device(device);
  if (inst != nullptr) after_cycle(device, inst, cur_state);
}
