// The run loop: one device cycle, the stop check after it, the breakpoint
// tests and the hit report.
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

namespace {

// --- Worked out once per device type ---------------------------------------

// The core is clocked every cycle; the other peripherals only at the
// events they schedule (sim/engine/README.md, "Peripheral events").
struct clock_plan {
  bool built = false;
  void (*core)(int) = nullptr;
  int count = 0;
  std::array<int, 16> event_row{};
};
thread_local std::array<clock_plan, TYPE_COUNT> clock_plans;

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

// The cycle that reached the horizon: every peripheral whose event is due
// runs its clock, in row order; the horizon is worked out again at the
// next cycle.
[[gnu::noinline]] void clock_due_events(device_inst& inst, const clock_plan& plan) {
  for (int k = 0; k < plan.count; ++k) {
    const int row = plan.event_row[static_cast<std::size_t>(k)];
    const periph_class* cls = cur_type->periphs[row].cls;
    if (cls->next_event(row) == 0) cls->clock(row);
  }
  inst.horizon_stale = 1;
}

// One device cycle of the core and the peripherals' events; both engines
// clock through here.
inline void clock_cycle(device_inst& inst, const clock_plan& plan) {
  plan.core(0);
  if (inst.horizon_stale) compute_event_horizon();
  if (inst.event_due && inst.horizon == inst.cycles) clock_due_events(inst, plan);
}

// "sr" and "omr" of each type, for the profiler's sample.
struct sample_regs {
  bool looked_up = false;
  bool found = false;
  int sr_row = 0, sr_reg = 0, omr_row = 0, omr_reg = 0;
};
thread_local std::array<sample_regs, TYPE_COUNT> sample_lookup;

// A profiled device's first cycle of an instruction: sr and omr as the
// instruction starts, for the family's decode.
[[gnu::noinline]] void sample_profiler(int device, profiler_block& block) {
  if (block.instruction_start == 0) return;
  block.instruction_start = 0;
  // Not counted: an instruction the straight-line executor declined runs
  // here, with its stalls, through the hook.
  block.counting = nullptr;
  if (block.first_cycle == 0) block.first_cycle = 1;
  sample_regs& regs = sample_lookup[static_cast<std::size_t>(cur_inst->type)];
  if (!regs.looked_up) {
    regs.looked_up = true;
    regs.found = lookup_register(device, "sr", &regs.sr_row, &regs.sr_reg) != 0 &&
                 lookup_register(device, "omr", &regs.omr_row, &regs.omr_reg) != 0;
  }
  if (!regs.found) return;
  // read_register's read on the current device, whose rows the look-up
  // has checked.
  auto read = [](int row, int reg, uint32_t& into) {
    const periph_class* cls = cur_type->periphs[row].cls;
    if (cls->get == nullptr) return;
    if (cls->catch_up) cls->catch_up(row, 0);
    uint32_t word[3] = {0, 0, 0};
    if (cls->get(row, reg, word)) into = word[0];
  };
  read(regs.sr_row, regs.sr_reg, block.sample_sr);
  read(regs.omr_row, regs.omr_reg, block.sample_omr);
}

bool device_alive(int device, const device_inst* inst, const device_state* state) {
  return device_insts[device] == inst && device_states[device] == state;
}

// At an instruction end: the per-instruction marks and counts start over.
void end_of_instruction_marks() {
  device_state& st = *cur_state;
  if (st.breakpoints != nullptr) run_hook.end_breakpoint_marks();
  advance_instr_epoch(st);
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

// --- Placeholders ---------------------------------------------------------------
// The streams give these their bodies; until they are linked in, a cycle
// has no streams.

profiler_block& device_profiler_block(int device) { return device_states[device]->profile; }

void set_device_profiled(int device, int on) {
  if (device < 0 || device >= DEVICE_MAX || device_insts[device] == nullptr || device_states[device] == nullptr)
    return;
  device_states[device]->profile.on = on != 0 ? 1 : 0;
  device_insts[device]->profiled = on != 0 ? 1 : 0;
  device_states[device]->run_plan_stale = 1;
}

namespace {

[[gnu::noinline]] profile_data_page* make_data_page(profile_counts& counts, uint32_t mem_class, uint32_t page) {
  auto& slot = counts.x_data[mem_class][page];
  slot.reset(new (std::nothrow) profile_data_page());
  return slot.get();
}

void count_x_reference(profile_counts& counts, uint32_t mem_class, uint32_t address, int write) {
  const uint32_t page = address / PROFILE_PAGE_WORDS;
  profile_data_page* p = counts.x_data[mem_class][page].get();
  if (p == nullptr) [[unlikely]] {
    p = make_data_page(counts, mem_class, page);
    // No memory for the page: the reference is dropped, as a full list drops one.
    if (p == nullptr) return;
  }
  auto& counter = write != 0 ? p->writes : p->reads;
  counter[address % PROFILE_PAGE_WORDS] += 1;
}

}  // namespace

void profile_note_reference(int space, uint32_t address, int write) {
  // Engine space code to the profiler's space and memory class.
  struct space_class {
    uint32_t space, mem_class;
  };
  auto classify = [](int code) -> space_class {
    switch (code) {
      case SPACE_PE: return {PROF_SPACE_P, PROF_EXTERNAL};
      case SPACE_PI: return {PROF_SPACE_P, PROF_INTERNAL};
      case SPACE_PR: return {PROF_SPACE_P, PROF_INTERNAL_ROM};
      case SPACE_XE: return {PROF_SPACE_X, PROF_EXTERNAL};
      case SPACE_XI: return {PROF_SPACE_X, PROF_INTERNAL};
      case SPACE_XR: return {PROF_SPACE_X, PROF_INTERNAL_ROM};
      default: return {PROF_SPACE_FREE, 0};
    }
  };
  const space_class c = classify(space);
  if (c.space == PROF_SPACE_FREE) return;
  profiler_block& block = cur_state->profile;
  if (block.counting != nullptr) {
    // A counted instruction addresses no program memory: its fetches are
    // no references.
    if (c.space == PROF_SPACE_X) count_x_reference(*block.counts, c.mem_class, address & 0xFFFF, write);
    return;
  }
  for (profile_reference& r : block.references) {
    if (r.space != PROF_SPACE_FREE) continue;
    r = {c.space, c.mem_class, address & 0xFFFF, 0, write != 0 ? 1u : 0u};
    return;
  }
}

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

// The profiler's hook at an instruction end of a profiled device. The
// cycles, stalls and references it takes in are the instruction's own, so
// an end reached whole counts as one reached cycle by cycle.
inline void profile_end(int device, const device_inst& inst) {
  if (inst.profiled != 0) [[unlikely]] {
    profiler_block& block = device_states[device]->profile;
    if (block.counting != nullptr) {
      // What the hook adds for it, kept in its slot.
      profile_code_slot& slot = *block.counting;
      const uint32_t now = inst.cycles;
      slot.executions += 1;
      slot.cycles += block.previous_cycles > now ? 0 : now - block.previous_cycles;
      slot.last_cycle = now;
      block.previous_pc = inst.pc;
      block.previous_cycles = now;
      block.last_counted = &slot;
      block.counting = nullptr;
      return;
    }
    if (profiler != nullptr && profiler->profile_instruction != nullptr)
      profiler->profile_instruction(device);
  }
}

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

// The end of a device cycle in either engine: the stop check, and at an
// instruction end the profiler and the run's end. False when the device
// went away.
bool after_cycle(int device, device_inst* inst, device_state* st) {
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

device_inst* enter_device(int device) {
  if (device < 0 || device >= DEVICE_MAX) return nullptr;
  device_inst* inst = device_insts[device];
  device_state* st = device_states[device];
  if (inst == nullptr || st == nullptr) return nullptr;
  if (cur_inst != inst || cur_device != device) make_device_current(device);
  st->running = 1;
  return inst;
}

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

void profile_sample(int device) {
  profiler_block& block = cur_state->profile;
  if (block.instruction_start == 0) return;
  // An instruction the profiler armed its address for, with the words it
  // saw there, is counted at its end (the sample stays to be taken should
  // the executor decline it).
  if (block.may_count != 0 && block.counts != nullptr) {
    if (profile_code_slot* slot = block.counts->slot_at(block.previous_pc)) {
      uint32_t word = 0;
      if (read_program_word(block.previous_pc, &word) != 0 && (word & 0xFFFF) == slot->words[0] &&
          (slot->two_word == 0 ||
           (read_program_word(block.previous_pc + 1, &word) != 0 && (word & 0xFFFF) == slot->words[1]))) {
        block.counting = slot;
        return;
      }
    }
  }
  sample_profiler(device, block);
}

namespace {

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
int run_fast_cycles(int device, device_inst* inst, device_state* st, int max, int soft) {
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

}  // namespace

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
  if (st->run_fast != 0) return run_fast_cycles(device, inst, st, max, soft);
  // Cycle by cycle any count is an end as good as another.
  int n = 0;
  while (n < soft) {
    run_device_cycle(device);
    ++n;
    if (!device_alive(device, inst, st) || st->running == 0 || end_left[static_cast<std::size_t>(device)] != 0) break;
  }
  return n;
}

void finish_left_end(int device) {
  end_left[static_cast<std::size_t>(device)] = 0;
  device_inst* inst = enter_device(device);
  if (inst != nullptr) after_cycle(device, inst, cur_state);
}

namespace {

// Each device runs its share of the rounds in one go; a device that stops
// ends the slice of those after it at the same round.
int run_slice_alone(int rounds) {
  const int shown_before = shown_device;
  int limit = rounds;
  for (int d = 0; d < DEVICE_MAX && shown_device == shown_before; ++d) {
    const device_inst* inst = device_insts[d];
    if (inst == nullptr || (inst->flags & DEV_EXCLUDED) != 0) continue;
    const int n = run_device_cycles(d, limit);
    if (device_states[d] == nullptr || device_states[d]->running == 0) limit = n;
  }
  return limit;
}

// Whether the slice may use worker threads at all.
bool threads_allowed() { return !dsp_alloc_capped() && gui_allocator_active() == 0; }

slice_governor host_governor;

// A slice of `devices` devices on worker threads (the lanes' caps as
// run_slice_on_threads takes them), or `alone` on this thread: with the
// host's thread count the governor chooses, timing each slice.
template <class Alone>
int slice_on_threads_or(int rounds, int devices, const std::array<int, DEVICE_MAX>* caps, Alone alone) {
  bool from_host = false;
  const int threads = devices > 1 && threads_allowed() ? std::min(run_thread_count(&from_host), devices) : 1;
  if (threads <= 1) return alone();
  if (!from_host) return run_slice_on_threads(rounds, threads, caps);
  const bool threaded = host_governor.threads_next();
  const auto start = std::chrono::steady_clock::now();
  const int ran = threaded ? run_slice_on_threads(rounds, threads, caps) : alone();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (ran > 0) host_governor.record(threaded, took.count() / (static_cast<double>(ran) * devices));
  return ran;
}

// The devices that can stop on a breakpoint run first, round by round
// among themselves (one of them: in one go); the round at which one stops
// bounds the others, which then run their share in one go, on worker
// threads when they may: each ends where a one-thread run of every device
// round by round leaves it. (Their breakpoints run no commands, so the
// shown device stays. A device that stops without a breakpoint, found
// only in the second part, ends those after it at its round; the first
// ones have run on.)
int run_slice_with_partners(int rounds, int count) {
  std::array<int, DEVICE_MAX> caps;
  caps.fill(-1);
  std::array<int, DEVICE_MAX> firsts{};
  int first_count = 0;
  for (int d = 0; d < DEVICE_MAX; ++d) {
    const device_inst* inst = device_insts[d];
    if (inst == nullptr || device_states[d] == nullptr || (inst->flags & DEV_EXCLUDED) != 0) continue;
    if (device_states[d]->breakpoints != nullptr)
      firsts[static_cast<std::size_t>(first_count++)] = d;
    else
      caps[static_cast<std::size_t>(d)] = rounds;
  }
  int reached = rounds;
  if (first_count == 1) {
    reached = run_device_cycles(firsts[0], rounds);
  } else {
    for (int k = 0; k < rounds && reached == rounds; ++k) {
      bool stopped = false;
      for (int i = 0; i < first_count; ++i) {
        const int d = firsts[static_cast<std::size_t>(i)];
        run_device_cycle(d);
        stopped = stopped || device_states[d] == nullptr || device_states[d]->running == 0;
      }
      if (stopped) reached = k + 1;
    }
  }
  for (int& cap : caps)
    if (cap >= 0) cap = reached;
  return slice_on_threads_or(reached, count - first_count, &caps, [&] {
    int limit = reached;
    for (int d = 0; d < DEVICE_MAX; ++d) {
      if (caps[static_cast<std::size_t>(d)] < 0 || device_insts[d] == nullptr) continue;
      const int n = run_device_cycles(d, limit);
      if (device_states[d] == nullptr || device_states[d]->running == 0) limit = n;
    }
    return limit;
  });
}

}  // namespace

int run_device_slice(int rounds) {
  // Breakpoints with commands or notes, or streams, on more than one
  // device: their reports, commands, prompts and lines (two streams may
  // share a file) come in round order, so the rounds go one cycle at a
  // time. Breakpoints that only halt or count leave the others a bound.
  int count = 0, with_breaks = 0, with_streams = 0;
  bool slices = true, threads_fit = true, partners = true;
  for (int d = 0; d < DEVICE_MAX; ++d) {
    device_inst* inst = device_insts[d];
    device_state* st = device_states[d];
    if (inst == nullptr || st == nullptr || (inst->flags & DEV_EXCLUDED) != 0) continue;
    ++count;
    with_breaks += st->breakpoints != nullptr ? 1 : 0;
    if (st->run_plan_stale) {
      make_device_current(d);
      update_run_plan(*st);
    }
    with_streams += st->stream_plan != 0 ? 1 : 0;
    slices = slices && st->run_fast != 0 && (st->run_mode == RUN_GO || count == 1);
    threads_fit = threads_fit && st->stream_plan == 0;
    // A device with breakpoints that reach no other device, or one that
    // goes fast without them; every one in a free run, none with streams.
    partners = partners && st->run_mode == RUN_GO && st->stream_plan == 0 &&
               (st->breakpoints != nullptr ? st->breaks_own_device != 0 : st->run_fast != 0);
  }
  if (partners && count > 1 && with_breaks > 0) return run_slice_with_partners(rounds, count);
  slices = slices && (count == 1 || (with_breaks == 0 && with_streams <= 1));
  if (slices && count > 1 && threads_fit && with_breaks == 0)
    return slice_on_threads_or(rounds, count, nullptr, [&] { return run_slice_alone(rounds); });
  if (slices) return run_slice_alone(rounds);
  const int shown_before = shown_device;
  for (int k = 0; k < rounds; ++k) {
    bool stopped = false;
    for (int d = 0; d < DEVICE_MAX && shown_device == shown_before; ++d) {
      const device_inst* inst = device_insts[d];
      if (inst == nullptr || (inst->flags & DEV_EXCLUDED) != 0) continue;
      run_device_cycle(d);
      stopped = stopped || device_states[d] == nullptr || device_states[d]->running == 0;
    }
    if (stopped || shown_device != shown_before) return k + 1;
  }
  return rounds;
}
