// The run loop: one device cycle, the stop check after it, the breakpoint
// tests and the hit report.
//
// The cycle path allocates nothing, formats nothing and searches no table:
// the clock list of each device type and the profiler's register numbers
// are worked out once; breakpoints are a list walk that skips, in the
// middle of an instruction, every condition that names neither "cyc" nor
// "pc".
#include "sim/engine/runloop.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "sim/engine/clock_device.h"
#include "sim/engine/device.h"
#include "sim/engine/hooks.h"
#include "sim/engine/periph.h"
#include "sim/engine/regaccess.h"
#include "sim/frontend.h"

namespace {

// --- Worked out once per device type ---------------------------------------

struct clock_plan {
  bool built = false;
  int count = 0;
  std::array<void (*)(int), 16> clock{};
  std::array<int, 16> row{};
};
std::array<clock_plan, TYPE_COUNT> clock_plans;

const clock_plan& plan_for(int type) {
  clock_plan& plan = clock_plans[static_cast<std::size_t>(type)];
  if (!plan.built) {
    const device_type& t = *device_types[type];
    plan.count = 0;
    for (int r = 0; r < t.periph_count && plan.count < static_cast<int>(plan.clock.size()); ++r) {
      const periph_class* cls = t.periphs[r].cls;
      if (cls == nullptr || cls->clock == nullptr) continue;
      plan.clock[static_cast<std::size_t>(plan.count)] = cls->clock;
      plan.row[static_cast<std::size_t>(plan.count)] = r;
      ++plan.count;
    }
    plan.built = true;
  }
  return plan;
}

// The plan's clocks in order, each slot from a call site of its own: one
// shared indirect call cycling through every peripheral's clock is hard on
// the branch predictor.
template <std::size_t... K>
void run_clocks(const clock_plan& plan, std::index_sequence<K...>) {
  static_cast<void>(((static_cast<int>(K) < plan.count && (plan.clock[K](plan.row[K]), true)) && ...));
}

// "sr" and "omr" of each type, for the profiler's sample.
struct sample_regs {
  bool looked_up = false;
  bool found = false;
  int sr_row = 0, sr_reg = 0, omr_row = 0, omr_reg = 0;
};
std::array<sample_regs, TYPE_COUNT> sample_lookup;
std::array<profiler_block, DEVICE_MAX> profile_blocks;

void sample_profiler(int device) {
  profiler_block& block = profile_blocks[static_cast<std::size_t>(device)];
  if (block.on == 0) return;
  sample_regs& regs = sample_lookup[static_cast<std::size_t>(cur_inst->type)];
  if (!regs.looked_up) {
    regs.looked_up = true;
    regs.found = lookup_register(device, "sr", &regs.sr_row, &regs.sr_reg) != 0 &&
                 lookup_register(device, "omr", &regs.omr_row, &regs.omr_reg) != 0;
  }
  if (!regs.found) return;
  uint32_t word[3] = {0, 0, 0};
  if (read_register(device, regs.sr_row, regs.sr_reg, word)) block.sample_sr = word[0];
  if (read_register(device, regs.omr_row, regs.omr_reg, word)) block.sample_omr = word[0];
}

bool device_alive(int device, const device_inst* inst, const device_state* state) {
  return device_insts[device] == inst && device_states[device] == state;
}

// At an instruction end: the per-instruction marks and counts start over.
void end_of_instruction_marks() {
  if (cur_state->breakpoints != nullptr) run_hook.end_breakpoint_marks();
  for (region_access_log& log : cur_state->region_logs) {
    log.reads.instr_count = 0;
    log.writes.instr_count = 0;
  }
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
    [] {},
    [] {},
    [](int) {},
    [](int) {},
    [] {},
};

// --- Placeholders ---------------------------------------------------------------
// The streams give these their bodies; until they are linked in, a cycle
// has no streams.
[[gnu::weak]] void service_input_streams() {}
[[gnu::weak]] void service_output_streams() {}

profiler_block& device_profiler_block(int device) {
  return profile_blocks[static_cast<std::size_t>(device) % DEVICE_MAX];
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

int check_run_stop() {
  device_inst& inst = *cur_inst;
  device_state& st = *cur_state;
  const int device = cur_device;
  if (stop_request != 0) abort_requested();
  const bool end = (inst.flags & (DEV_INSTR_END | DEV_INSTR_END2)) != 0;
  // The common cycle of a free run: inside an instruction, no breakpoints,
  // no progress line due. Go counts and stops only at instruction ends.
  if (!end && st.breakpoints == nullptr && st.run_mode == RUN_GO && inst.cycles % 1000 != 0) {
    inst.flags &= ~DEV_PC_WRITTEN;
    return 0;
  }
  int stop = 0;
  int show = 0;

  if (end) {
    if (inst.abort != 0) {
      inst.abort = 0;
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
  if (inst.cycles % 1000 == 0 && (mode == RUN_GO || mode >= RUN_SOURCE_FIRST))
    run_hook.show_progress_line();

  if (st.breakpoints != nullptr) {
    if (!run_hook.test_breakpoints(end ? 1 : 0, &stop, &show)) return 0;
    if (!device_alive(device, &inst, &st)) return 0;
  }

  if (end) end_of_instruction_marks();
  inst.flags &= ~DEV_PC_WRITTEN;

  if (mode >= RUN_GO && mode < RUN_SOURCE_FIRST) {
    const count_result r = mode_rules[mode](st, end);
    stop |= r.stop;
    show |= r.show;
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
  return stop;
}

void run_device_cycle(int device) {
  if (device < 0 || device >= DEVICE_MAX) return;
  device_inst* inst = device_insts[device];
  device_state* st = device_states[device];
  if (inst == nullptr || st == nullptr) return;
  if (cur_inst != inst || cur_device != device) make_device_current(device);
  st->running = 1;

  service_input_streams();
  if (profiler != nullptr) sample_profiler(device);
  const clock_plan& plan = plan_for(inst->type);
  run_clocks(plan, std::make_index_sequence<std::tuple_size_v<decltype(plan.clock)>>{});
  service_output_streams();

  save_previous_blocks(*inst, cur_type->block_count);
  inst->cycles += 1;

  if (check_run_stop() != 0) inst->flags |= DEV_STOP;
  if (!device_alive(device, inst, st)) return;
  if ((inst->flags & (DEV_INSTR_END | DEV_INSTR_END2)) == 0) return;

  if (profiler != nullptr && profiler->profile_instruction != nullptr)
    profiler->profile_instruction(device);
  const bool stopping = (inst->flags & DEV_STOP) != 0;
  inst->flags &= DEV_STOP | DEV_EXCLUDED;
  if (stopping) {
    inst->flags &= DEV_EXCLUDED;
    st->running = 0;
  }
}
