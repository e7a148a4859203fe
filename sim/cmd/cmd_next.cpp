// next, until and finish: arm a run that steps over calls, runs to a
// location or runs until the current subroutine returns. The run modes'
// stop rules are the source-level stepping's (sim/cdb/source.h).
#include <array>
#include <cstring>

#include "sim/cdb/source.h"
#include "sim/cmd/breakpoints.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/core/runloop.h"

namespace {

command_lexer& lx() { return *cur_lexer; }

// The end of every arming: frames dropped, run flags cleared, running.
void start_run() {
  free_run_frames();
  reset_run_flags();
  cur_state->running = 1;
}

enum next_unit : int { NEXT_DISPLAY = 0, NEXT_INSTR = 1, NEXT_LINES = 2, NEXT_UNITS };
constexpr const char* const next_words[] = {"li", "in", nullptr};

void arm_next(int unit, int halt) {
  if (continue_run_from_action()) return;
  device_state& st = *cur_state;
  const command_lexer& l = lx();
  st.halt_on_break = halt;
  st.next_kind = unit;
  st.run_count = l.kind[2] == 'i' ? value_combined(l.value[2]) : 1;
  st.break_number = 0;
  next_rearm();
  start_run();
  hold_entering_interrupt();
}

template <int Unit, int Halt>
void next_action(const char*) {
  arm_next(Unit, Halt);
}

constexpr std::array<std::array<action_record, 2>, NEXT_UNITS> next_records{{
    {{{next_action<NEXT_DISPLAY, 0>, 0}, {next_action<NEXT_DISPLAY, 1>, 0}}},
    {{{next_action<NEXT_INSTR, 0>, 0}, {next_action<NEXT_INSTR, 1>, 0}}},
    {{{next_action<NEXT_LINES, 0>, 0}, {next_action<NEXT_LINES, 1>, 0}}},
}};

template <int Halt>
void until_action(const char*) {
  if (continue_run_from_action()) return;
  device_state& st = *cur_state;
  const arg_value& location = lx().value[2];
  st.halt_on_break = Halt;
  st.run_count = 0;
  st.break_number = 0;
  st.run_mode = 9;
  st.stop_address = location.addr;
  st.stop_space = location.space;
  start_run();
}

constexpr std::array<action_record, 2> until_records{{{until_action<0>, 0}, {until_action<1>, 0}}};

void finish_action(const char*) {
  if (continue_run_from_action()) return;
  device_state& st = *cur_state;
  st.run_count = 1;
  st.break_number = 0;
  st.run_mode = 10;
  st.run_mode = finish_classify(cur_inst->pc);
  start_run();
  hold_entering_interrupt();
}

constexpr action_record finish_record{finish_action, 0};

// An optional "h" at token i, then nothing; -1 on a parse failure.
int halt_flag(int i) {
  int halt = 0;
  if (lx().has(i)) {
    if (!match_keyword(i, "h")) return -1;
    halt = 1;
    ++i;
  }
  return check_no_more_args(i) ? halt : -1;
}

}  // namespace

// [count] [li/in] [h], the count first and above 0.
const action_record* cmd_next() {
  command_lexer& l = lx();
  int i = 2;
  const auto keyword = [&](int k) { return std::strcmp(l.word(k), "li") == 0 || std::strcmp(l.word(k), "in") == 0 ||
                                           std::strcmp(l.word(k), "h") == 0; };
  if (l.has(i) && !keyword(i)) {
    if (!parse_positive_count(i)) return nullptr;
    ++i;
  }
  int unit = NEXT_DISPLAY;
  if (l.has(i) && std::strcmp(l.word(i), "h") != 0) {
    const int k = match_keyword_list(i, next_words, 'j', 2);
    if (k < 0) return nullptr;
    unit = k == 0 ? NEXT_LINES : NEXT_INSTR;
    ++i;
  }
  const int halt = halt_flag(i);
  if (halt < 0) return nullptr;
  return &next_records[static_cast<std::size_t>(unit)][static_cast<std::size_t>(halt)];
}

const action_record* cmd_until() {
  if (!need_arg(2) || !parse_memory_location(2, cur_device)) return nullptr;
  const int halt = halt_flag(3);
  return halt < 0 ? nullptr : &until_records[static_cast<std::size_t>(halt)];
}

const action_record* cmd_finish() { return check_no_more_args(2) ? &finish_record : nullptr; }
