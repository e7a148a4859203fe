// The run loop's breakpoint work: the tests by kind after each cycle, the
// hit report and the per-instruction marks. The engine reaches it through
// its run hooks; install_simulator_hooks puts it there.
//
// No allocation, formatting or table search per cycle: breakpoints are a
// list walk that skips, in the middle of an instruction, every condition
// that names neither "cyc" nor "pc".
#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>

#include "sim/asm/asm.h"
#include "sim/asm/disasm.h"
#include "sim/asm/prof_decode.h"
#include "sim/cdb/c_eval.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/source.h"
#include "sim/cdb/target_call.h"
#include "sim/cmd/break_horizon.h"
#include "sim/cmd/breakpoints.h"
#include "sim/cmd/dispatch.h"
#include "sim/expr/expr.h"
#include "sim/cmd/hooks.h"
#include "sim/cmd/streams.h"
#include "sim/cmd/regfmt.h"
#include "sim/cmd/view_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/core/runloop.h"
#include "sim/prof/profiler.h"
#include "sim/frontend/frontend.h"

namespace {

// Breakpoint commands running now, and whether one of them asked the run
// to go on.
int actions_running = 0;
bool action_continues = false;

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
  const uint32_t count = instr_accesses(*cur_state, log);
  const uint32_t n = count < ACCESS_RING ? count : ACCESS_RING;
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
  expr_result value;
  if (!bp.program.empty()) {
    value = run_expression(bp.program, cur_type->expr_flags);
  } else {
    sv_optr = bp.cond_text.c_str();
    value = parse_expression(cur_type->expr_flags);
  }
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

int test_c_expression(break_rec& bp, int* stop, int* show) {
  return bp.c_expr != nullptr && c_condition_holds(*bp.c_expr) ? report_break(bp, stop, show) : 1;
}

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
    test_c_expression,
};
static_assert(std::size(kind_tests) == BK_KIND_COUNT);

int test_breakpoint(break_rec& bp, int* stop, int* show) {
  if (bp.kind < 0 || bp.kind >= BK_KIND_COUNT) return 1;
  return kind_tests[bp.kind](bp, stop, show);
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

// What the run plan keeps of each device's list, worked out when the list
// changes: the addresses the plain program-address breakpoints name (an
// end whose pc none names need not test them), the other enabled records
// in list order (the only ones an end without an address hit tests), and
// whether any breakpoint keeps marks to clear at ends.
struct break_summary {
  bool end_marks = true;
  std::array<uint64_t, 0x10000 / 64> pc_bits{};
  const break_rec* head = nullptr;  // the list the summary was made of
  std::vector<break_rec*> others;
  // The conditions on the count alone, when every condition that can fire
  // inside an instruction is one.
  std::vector<cycle_bound> bounds;
  // The blocks of the memory-access breakpoints (device_state::access_watches).
  std::vector<access_watch> watches;
};
std::array<break_summary, DEVICE_MAX> summaries;

bool register_mark_kind(int kind) { return kind >= BK_REG_READ && kind <= BK_REG_WRITE; }

// The address bitmap has the record's bit and it is tested nowhere else.
bool plain_address(const break_rec& bp) {
  return bp.kind == BK_PC && bp.mentions == 0 && bp.operands.lo <= 0xFFFF;
}

bool skipped(const break_rec& bp, bool end, uint32_t mid_mask, uint32_t flags) {
  return bp.enabled == 0 || (!end && (bp.mentions & mid_mask) == 0) ||
         (end && bp.hit_at_pc_write != 0 && (flags & DEV_PC_WRITTEN) == 0);
}

// Tests the list from bp on in order.
int walk_breakpoints(break_rec* bp, bool end, int* stop, int* show) {
  device_inst& inst = *cur_inst;
  device_state& st = *cur_state;
  const int device = cur_device;
  const uint32_t mid_mask =
      MENTIONS_CYC | ((inst.flags & DEV_PC_WRITTEN) != 0 ? MENTIONS_PC : 0u);
  while (bp != nullptr) {
    if (skipped(*bp, end, mid_mask, inst.flags)) {
      bp = bp->next;
      continue;
    }
    // Only a command action can change the list; then bp may be gone.
    const int number = bp->number;
    const bool executes = bp->action == BA_EXECUTE;
    if (!test_breakpoint(*bp, stop, show)) return 0;
    if (!device_alive(device, &inst, &st)) return 0;
    bp = executes ? next_after(st.breakpoints, bp, number) : bp->next;
  }
  return 1;
}

int test_breakpoints(int end_flag, int* stop, int* show) {
  device_inst& inst = *cur_inst;
  device_state& st = *cur_state;
  const int device = cur_device;
  const break_summary& s = summaries[static_cast<std::size_t>(device)];
  if (end_flag == 0 || s.head != st.breakpoints || inst.pc > 0xFFFF ||
      ((s.pc_bits[inst.pc >> 6] >> (inst.pc & 63)) & 1) != 0)
    return walk_breakpoints(st.breakpoints, end_flag != 0, stop, show);
  // No address hit: the plain address records cannot hit; the others are
  // tested in list order. After a command action the list may have
  // changed, so the rest of it is walked whole, as it stands.
  for (break_rec* bp : s.others) {
    if (skipped(*bp, true, 0, inst.flags)) continue;
    const int number = bp->number;
    const bool executes = bp->action == BA_EXECUTE;
    if (!test_breakpoint(*bp, stop, show)) return 0;
    if (!device_alive(device, &inst, &st)) return 0;
    if (executes) return walk_breakpoints(next_after(st.breakpoints, bp, number), true, stop, show);
  }
  return 1;
}

// --- Reads of changed data (dr, drw) -------------------------------------
// A read carries the change mark when the word it returns differs from
// the word the previous read of that address returned; before the first
// read, from the word the address held when the run plan was worked out
// (unknown for peripheral registers, which are not read ahead).

bool watches_reads_of(const break_rec& bp) {
  return bp.enabled != 0 && (bp.kind == BK_DATA_READ || bp.kind == BK_DATA_READ_WRITE) &&
         bp.operands.region < cur_type->region_count;
}

uint32_t block_offset(const break_rec& bp, uint32_t address) {
  return (address - bp.operands.lo) & cur_type->regions[bp.operands.region].addr_mask;
}

void fill_seen(break_rec& bp) {
  const mem_region& row = cur_type->regions[bp.operands.region];
  const std::size_t size = block_offset(bp, bp.operands.hi) + 1;
  bp.seen.assign(size, -1);
  if ((row.flags & REGION_IO_BUS) != 0) return;
  for (std::size_t k = 0; k < size; ++k) {
    uint32_t word = 0;
    const uint32_t address = (bp.operands.lo + static_cast<uint32_t>(k)) & row.addr_mask;
    if (cur_type->mem->read_word(row.space, address, &word) != 0) bp.seen[k] = static_cast<int32_t>(word & 0xFFFF);
  }
}

// The breakpoint's row logs the accesses of the row that holds the address.
bool row_logs(int bp_row, int holder) {
  if (holder < 0 || holder >= cur_type->region_count) return false;
  const uint32_t a = cur_type->regions[bp_row].attr, h = cur_type->regions[holder].attr;
  return (a & h) == h && (a & 0xFF) == (h & 0xFF);
}

uint32_t read_change_mark(int row, uint32_t address, uint32_t value) {
  uint32_t mark = 0;
  for (break_rec* bp = cur_state->breakpoints; bp != nullptr; bp = bp->next) {
    if (!watches_reads_of(*bp) || !in_block(bp->operands, address) || !row_logs(bp->operands.region, row))
      continue;
    const uint32_t k = block_offset(*bp, address);
    if (k >= bp->seen.size()) continue;
    int32_t& seen = bp->seen[k];
    if (seen >= 0 && seen != static_cast<int32_t>(value & 0xFFFF)) mark = ATTR_CHANGED;
    seen = static_cast<int32_t>(value & 0xFFFF);
  }
  return mark;
}

bool access_log_kind(int kind) {
  return kind <= BK_WRITE || (kind >= BK_DATA_READ && kind <= BK_DATA_WRITE);
}

void add_watches(std::vector<access_watch>& watches, const break_rec& bp) {
  if (bp.operands.region >= cur_state->region_logs.size()) return;
  const bool reads = bp.kind == BK_READ || bp.kind == BK_READ_WRITE || bp.kind == BK_DATA_READ ||
                     bp.kind == BK_DATA_READ_WRITE;
  const bool writes = bp.kind != BK_READ && bp.kind != BK_DATA_READ;
  const region_access_log& logs = cur_state->region_logs[bp.operands.region];
  if (reads) watches.push_back({&logs.reads, bp.operands.lo, bp.operands.hi});
  if (writes) watches.push_back({&logs.writes, bp.operands.lo, bp.operands.hi});
}

// Whether the breakpoint may see a peripheral's own steps in the cycles
// they are taken: its register marks, the accesses noted for its bus
// registers, or a command that may look at anything. Conditions read
// registers and memory through paths that catch the peripherals up.
bool sees_peripheral_steps(const break_rec& bp) {
  if (bp.action == BA_EXECUTE || register_mark_kind(bp.kind)) return true;
  if (!access_log_kind(bp.kind)) return false;
  const device_type& type = *cur_type;
  for (int p = 0; p < type.periph_count; ++p) {
    const periph_row& row = type.periphs[p];
    for (int reg = 0; reg < row.cls->reg_count; ++reg) {
      const reg_desc& desc = row.cls->regs[reg];
      if ((desc.access & REG_BUS_MAPPED) == 0) continue;
      const uint32_t address = row.base + desc.offset;
      if (in_block(bp.operands, address) && row_logs(bp.operands.region, find_memory_region(SPACE_XI, address)))
        return true;
    }
  }
  return false;
}

// A step or trace without the halt option: a hit of a breakpoint that
// only halts prints and changes nothing. Conditions in C may call the
// target's functions, and marks must still be cleared at ends.
bool inert_in_this_run(const break_summary& s) {
  const device_state& st = *cur_state;
  const bool counted = st.run_mode == RUN_STEP_INSTR || st.run_mode == RUN_STEP_CYCLE ||
                       st.run_mode == RUN_TRACE_INSTR || st.run_mode == RUN_TRACE_CYCLE;
  if (!counted || st.halt_on_break != 0 || s.end_marks) return false;
  for (const break_rec* bp = st.breakpoints; bp != nullptr; bp = bp->next)
    if (bp->enabled != 0 && (bp->action != BA_HALT || bp->kind == BK_C_EXPRESSION)) return false;
  return true;
}

int plan_breakpoints() {
  break_summary& s = summaries[static_cast<std::size_t>(cur_device)];
  s.end_marks = false;
  s.pc_bits.fill(0);
  s.head = cur_state->breakpoints;
  s.others.clear();
  s.bounds.clear();
  s.watches.clear();
  bool bounded = true, every_end = false, own_device = true;
  int cyc_row = -1, cyc_reg = -1;
  if (!lookup_register(cur_device, "cyc", &cyc_row, &cyc_reg)) bounded = false;
  int flags = 0;
  for (break_rec* bp = cur_state->breakpoints; bp != nullptr; bp = bp->next) {
    if ((bp->mentions & MENTIONS_PC) != 0 || register_mark_kind(bp->kind)) s.end_marks = true;
    if (bp->enabled == 0) continue;
    own_device = own_device && (bp->action == BA_HALT || (bp->action >= BA_COUNT1 && bp->action <= BA_COUNT4));
    // Compiled here, each time the plan is worked out: the radix and the
    // names the text reads are those of this run.
    if (bp->kind == BK_EXPRESSION)
      compile_expression(bp->cond_text.c_str(), cur_type->expr_flags, bp->program);
    if ((bp->mentions & (MENTIONS_CYC | MENTIONS_PC)) != 0) {
      flags |= BREAKS_WITHIN_INSTRUCTION;
      bounded = bounded && bound_condition(*bp, cyc_row, cyc_reg, s.bounds.emplace_back());
    } else if (access_log_kind(bp->kind)) {
      // Tested only at ends whose instruction accessed the block.
      add_watches(s.watches, *bp);
    } else if (!plain_address(*bp)) {
      every_end = true;
    }
    if (register_mark_kind(bp->kind)) flags |= BREAKS_OBSERVE_MARKS;
    if (sees_peripheral_steps(*bp)) flags |= BREAKS_SEE_PERIPHERALS;
    if (watches_reads_of(*bp)) {
      if (bp->seen.empty()) fill_seen(*bp);
      flags |= BREAKS_WATCH_READS;
    }
    if (plain_address(*bp))
      s.pc_bits[bp->operands.lo >> 6] |= uint64_t{1} << (bp->operands.lo & 63);
    else
      s.others.push_back(bp);
  }
  // A record that keeps marks, even disabled, keeps every end on the walk.
  cur_state->pc_break_bits = s.pc_bits.data();
  if (inert_in_this_run(s)) {
    s.bounds.clear();
    return BREAKS_INERT | BREAKS_OWN_DEVICE | (flags & BREAKS_WATCH_READS);
  }
  cur_state->access_watches = s.watches.data();
  cur_state->access_watch_count = static_cast<int>(s.watches.size());
  if (every_end || s.end_marks) flags |= BREAKS_AT_EVERY_END;
  if (own_device) flags |= BREAKS_OWN_DEVICE;
  if ((flags & BREAKS_WITHIN_INSTRUCTION) == 0 || !bounded) {
    s.bounds.clear();
    return flags;
  }
  return flags | BREAKS_CYCLE_BOUNDED;
}

uint64_t break_horizon(uint64_t from) {
  uint64_t first = CYCLE_COUNT_END;
  for (const cycle_bound& bound : summaries[static_cast<std::size_t>(cur_device)].bounds)
    first = std::min(first, first_possible_hit(bound, from));
  return first;
}

void end_breakpoint_marks() {
  if (!summaries[static_cast<std::size_t>(cur_device)].end_marks) return;
  for (break_rec* bp = cur_state->breakpoints; bp != nullptr; bp = bp->next) {
    bp->hit_at_pc_write = 0;
    if (!register_mark_kind(bp->kind)) continue;
    if (uint32_t* attr = register_attr(*bp)) *attr &= ~(ATTR_READ | ATTR_WRITTEN);
  }
}

}  // namespace

bool break_action_running() { return actions_running != 0; }

bool continue_run_from_action() {
  if (actions_running == 0 || cur_state == nullptr || cur_state->running == 0) return false;
  action_continues = true;
  return true;
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
      // A command that fails its check does nothing; the session says why,
      // after its echo, as for a typed line.
      const bool checked = parse_command_line(copy->command_text.c_str()) != nullptr;
      const std::string refused = checked || parse_error_text == nullptr ? "" : parse_error_text;
      execute_command_line(device, copy->command_text.c_str());
      if (!checked && device_alive(device, inst, state)) {
        make_device_current(device);
        session_print(("{" + (refused.empty() ? std::string("Invalid parameter") : refused) + "}").c_str(), 1);
      }
      --actions_running;
      const bool continues = action_continues;
      action_continues = outer_continues;
      if (!device_alive(device, inst, state)) return 0;
      make_device_current(device);
      st.run_plan_stale = 1;
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

void install_simulator_hooks() {
  run_hook.test_breakpoints = test_breakpoints;
  run_hook.plan_breakpoints = plan_breakpoints;
  run_hook.break_horizon = break_horizon;
  run_hook.read_change_mark = read_change_mark;
  run_hook.end_breakpoint_marks = end_breakpoint_marks;
  run_hook.show_progress_line = show_progress_line;
  run_hook.refresh_register_marks = refresh_register_marks;
  run_hook.view_show_position = view_show_position;
  run_hook.frames_free = frames_free;
  run_hook.source_step_check = source_step_check;
  install_target_calls();
  install_family_tools(assemble_line, disassemble_word, &dsp73500_profile_ops);
  install_streams();
  install_object_file_hooks();
  install_profiler();
  install_symbol_lookups();
}
