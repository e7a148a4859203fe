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

#include "sim/cmd/breakpoints.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/expr.h"
#include "sim/cmd/regfmt.h"
#include "sim/cmd/view_hooks.h"
#include "sim/engine/clock_device.h"
#include "sim/engine/device.h"
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

// --- Breakpoint tests ---------------------------------------------------------

bool device_alive(int device, const device_inst* inst, const device_state* state) {
  return device_insts[device] == inst && device_states[device] == state;
}

bool in_block(const arg_value& operands, uint32_t address) {
  const uint32_t start = operands.lo, end = operands.hi;
  return start <= end ? address >= start && address <= end : address >= start || address <= end;
}

// A command action may have deleted the breakpoint that ran it.
bool still_listed(const break_rec* bp) {
  for (const break_rec* r = cur_state->breakpoints; r != nullptr; r = r->next)
    if (r == bp) return true;
  return false;
}

// The accesses of the current instruction in one direction, newest first;
// each one inside the block is a hit. 0 when the device went away.
int test_access_log(break_rec& bp, bool writes, bool changed_only, int* stop, int* show) {
  const std::size_t row = bp.operands.region;
  if (row >= cur_state->region_logs.size()) return 1;
  const access_log& log =
      writes ? cur_state->region_logs[row].writes : cur_state->region_logs[row].reads;
  const uint32_t n = log.instr_count < ACCESS_RING ? log.instr_count : ACCESS_RING;
  for (uint32_t k = 0; k < n; ++k) {
    const uint32_t at = (log.ring_index + ACCESS_RING - k) % ACCESS_RING;
    if (!in_block(bp.operands, log.address[at])) continue;
    if (changed_only && (log.attribute[at] & ATTR_CHANGED) == 0) continue;
    const bool executes = bp.action == BA_EXECUTE;
    if (!report_break(bp, stop, show)) return 0;
    if (executes && !still_listed(&bp)) return 1;
  }
  return 1;
}

uint32_t* register_attr(const break_rec& bp) {
  const int row = bp.operands.region;
  if (row >= cur_type->periph_count) return nullptr;
  if (bp.operands.item >= cur_type->periphs[row].cls->reg_count) return nullptr;
  return &periph_attrs(row)[bp.operands.item];
}

bool expression_holds(const break_rec& bp) {
  sv_optr = bp.cond_text.c_str();
  expr_result value = parse_expression(cur_type->expr_flags);
  if (!value) return false;
  if ((value->type & AV_FLOAT) != 0) return fraction_to_word(cur_type->expr_flags, *value) != 0;
  return ((value->lo & 0xFFFF) | (value->hi & 0xFFFF) | (value->ext & 0xFF)) != 0;
}

using compare_fn = bool (*)(uint32_t, uint32_t);
constexpr compare_fn compares[] = {
    [](uint32_t a, uint32_t b) { return a != b; },  // !=
    [](uint32_t a, uint32_t b) { return a <= b; },  // <=
    [](uint32_t a, uint32_t b) { return a < b; },   // <
    [](uint32_t a, uint32_t b) { return a >= b; },  // >=
    [](uint32_t a, uint32_t b) { return a > b; },   // >
    [](uint32_t a, uint32_t b) { return a == b; },  // ==
    [](uint32_t a, uint32_t b) { return a == b; },  // =
};

bool register_compare_holds(const break_rec& bp) {
  uint32_t word[3] = {0, 0, 0};
  if (!read_register(cur_device, bp.operands.region, bp.operands.item, word)) return false;
  if (bp.operands.op >= std::size(compares)) return false;
  const uint32_t value = (bp.operands.lo & 0xFFFF) | (bp.operands.hi << 16);
  return compares[bp.operands.op](word[0], value);
}

// The tests by kind; each returns 0 when an action took the device away.
template <bool Reads, bool Writes, bool ChangedOnly>
int test_accesses(break_rec& bp, int* stop, int* show) {
  if (Reads && !test_access_log(bp, false, ChangedOnly, stop, show)) return 0;
  if (Reads && Writes && !still_listed(&bp)) return 1;
  if (Writes) return test_access_log(bp, true, ChangedOnly, stop, show);
  return 1;
}

int test_register_marks(break_rec& bp, int* stop, int* show) {
  static constexpr uint32_t marks[] = {ATTR_READ, ATTR_READ | ATTR_WRITTEN, ATTR_WRITTEN};
  const uint32_t* attr = register_attr(bp);
  if (attr == nullptr || (*attr & marks[bp.kind - BK_REG_READ]) == 0) return 1;
  return report_break(bp, stop, show);
}

int test_expression(break_rec& bp, int* stop, int* show) {
  return expression_holds(bp) ? report_break(bp, stop, show) : 1;
}

int test_register_compare(break_rec& bp, int* stop, int* show) {
  return register_compare_holds(bp) ? report_break(bp, stop, show) : 1;
}

int test_pc(break_rec& bp, int* stop, int* show) {
  return cur_inst->pc == bp.operands.lo ? report_break(bp, stop, show) : 1;
}

// C expressions come with source-level debugging.
int test_nothing(break_rec&, int*, int*) { return 1; }

using kind_test = int (*)(break_rec&, int*, int*);
constexpr kind_test kind_tests[] = {
    test_accesses<true, false, false>,  // r
    test_accesses<true, true, false>,   // rw
    test_accesses<false, true, false>,  // w
    test_register_marks,                // register r
    test_register_marks,                // register rw
    test_register_marks,                // register w
    test_expression,
    test_register_compare,
    test_pc,
    test_accesses<true, false, true>,  // dr
    test_accesses<true, true, true>,   // drw
    test_accesses<false, true, true>,  // dw
    test_nothing,                      // C expression
};
static_assert(std::size(kind_tests) == BK_KIND_COUNT);

int test_breakpoint(break_rec& bp, int* stop, int* show) {
  if (bp.kind < 0 || bp.kind >= BK_KIND_COUNT) return 1;
  return kind_tests[bp.kind](bp, stop, show);
}

// At an instruction end: the per-instruction marks and counts start over.
void end_of_instruction_marks() {
  for (break_rec* bp = cur_state->breakpoints; bp != nullptr; bp = bp->next) {
    bp->hit_at_pc_write = 0;
    if (bp->kind < BK_REG_READ || bp->kind > BK_REG_WRITE) continue;
    if (uint32_t* attr = register_attr(*bp)) *attr &= ~(ATTR_READ | ATTR_WRITTEN);
  }
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

// The record after bp when bp is still listed, else the first one
// numbered above it.
break_rec* next_after(break_rec* head, const break_rec* bp, int number) {
  for (break_rec* r = head; r != nullptr; r = r->next)
    if (r == bp) return r->next;
  for (break_rec* r = head; r != nullptr; r = r->next)
    if (r->number > number) return r;
  return nullptr;
}

std::array<std::string, DEVICE_MAX> pending_errors;

// Breakpoint commands running now, and whether one of them asked the run
// to go on.
int actions_running = 0;
bool action_continues = false;

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
    frames_free();
  }
  make_device_current(device);
}

bool continue_run_from_action() {
  if (actions_running == 0 || cur_state == nullptr || cur_state->running == 0) return false;
  action_continues = true;
  return true;
}

void set_pending_run_error(const char* text) {
  if (cur_inst == nullptr || cur_device < 0 || cur_device >= DEVICE_MAX) return;
  pending_errors[static_cast<std::size_t>(cur_device)] = text != nullptr ? text : "";
  cur_inst->flags |= DEV_ERROR_PENDING;
}

int report_break(break_rec& bp, int* stop, int* show) {
  device_state& st = *cur_state;
  if ((bp.mentions & MENTIONS_PC) != 0 && (cur_inst->flags & DEV_PC_WRITTEN) != 0)
    bp.hit_at_pc_write = 1;
  bool match = bp.number == st.break_number;
  bool print = false;
  // What the report names; a command action may delete bp itself, so its
  // hit is reported from a copy.
  const break_rec* named = &bp;
  std::optional<break_rec> copy;
  switch (bp.action) {
    case BA_HALT:
      match = match || st.break_number == 0;
      break;
    case BA_COUNT1:
    case BA_COUNT2:
    case BA_COUNT3:
    case BA_COUNT4:
      st.cnt[bp.action - BA_COUNT1] += 1;
      break;
    case BA_NOTE:
      print = true;
      break;
    case BA_SHOW:
      print = true;
      *show = 1;
      break;
    case BA_EXECUTE: {
      const int device = cur_device;
      const device_inst* inst = cur_inst;
      const device_state* state = cur_state;
      copy.emplace();
      copy->number = bp.number;
      copy->kind = bp.kind;
      copy->action = bp.action;
      copy->cond_text = bp.cond_text;
      copy->command_text = bp.command_text;
      named = &*copy;
      const bool outer_continues = action_continues;
      action_continues = false;
      ++actions_running;
      execute_command_line(device, copy->command_text.c_str());
      --actions_running;
      const bool continues = action_continues;
      action_continues = outer_continues;
      if (!device_alive(device, inst, state)) return 0;
      make_device_current(device);
      match = !continues;
      break;
    }
    default:
      break;
  }
  if (st.run_mode == RUN_GO && match && st.run_count != 0) {
    st.run_count -= 1;
    if (st.run_count == 0) {
      print = true;
      *stop = 1;
    }
  }
  if (match && st.halt_on_break != 0) {
    print = true;
    *stop = 1;
  }
  if (print) {
    // One report per hit, however many reasons there are to print it.
    char text[SESSION_LINE_BYTES + 64];
    std::snprintf(text, sizeof text, "Break #%d %s%s %s %s;dev:%d pc:%04" PRIx32 " cyc:%" PRId32,
                  named->number, break_kind_name(named->kind), named->cond_text.c_str(),
                  break_action_name(named->action), named->command_text.c_str(), cur_device,
                  cur_inst->pc, static_cast<int32_t>(cur_inst->cycles));
    session_echo(text, 1);
  }
  return 1;
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
    show_progress_line();

  if (st.breakpoints != nullptr) {
    const uint32_t mid_mask =
        MENTIONS_CYC | ((inst.flags & DEV_PC_WRITTEN) != 0 ? MENTIONS_PC : 0u);
    for (break_rec* bp = st.breakpoints; bp != nullptr;) {
      if (bp->enabled == 0 || (!end && (bp->mentions & mid_mask) == 0) ||
          (end && bp->hit_at_pc_write != 0 && (inst.flags & DEV_PC_WRITTEN) == 0)) {
        bp = bp->next;
        continue;
      }
      // Only a command action can change the list; then bp may be gone.
      const int number = bp->number;
      const bool executes = bp->action == BA_EXECUTE;
      if (!test_breakpoint(*bp, &stop, &show)) return 0;
      if (!device_alive(device, &inst, &st)) return 0;
      bp = executes ? next_after(st.breakpoints, bp, number) : bp->next;
    }
  }

  if (end) end_of_instruction_marks();
  inst.flags &= ~DEV_PC_WRITTEN;

  if (mode >= RUN_GO && mode < RUN_SOURCE_FIRST) {
    const count_result r = mode_rules[mode](st, end);
    stop |= r.stop;
    show |= r.show;
  }
  if (show != 0) {
    refresh_register_marks(1);
    if (gui_present() != 0) window_update_all(-2);
    free_run_frames();
    make_device_current(device);
    if (st.view_mode == 1 || st.view_mode == 2) view_show_position(32767);
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
