// step and trace: arm a run of a count of instructions, cycles or source
// lines; streams: the host's handling of a target C program's I/O.
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
#include "sim/frontend/frontend.h"

namespace {

command_lexer& lx() { return *cur_lexer; }

enum run_unit : int { UNIT_DISPLAY = 0, UNIT_CYCLES, UNIT_LINES, UNIT_INSTR, UNIT_COUNT };
constexpr const char* const unit_words[] = {"cy", "li", "in", nullptr};

bool is_run_keyword(const char* word) {
  for (const char* const* w = unit_words; *w != nullptr; ++w)
    if (std::strcmp(word, *w) == 0) return true;
  return std::strcmp(word, "h") == 0;
}

void arm_run(bool trace, int unit, int halt) {
  if (continue_run_from_action()) return;
  device_state& st = *cur_state;
  const command_lexer& l = lx();
  st.halt_on_break = halt;
  st.run_count = l.kind[2] == 'i' ? value_combined(l.value[2]) : 1;
  st.break_number = 0;
  if (unit == UNIT_DISPLAY)
    unit = st.view_mode == 2 || st.source_window_open != 0 ? UNIT_LINES : UNIT_INSTR;
  switch (unit) {
    case UNIT_CYCLES:
      st.run_mode = trace ? RUN_TRACE_CYCLE : RUN_STEP_CYCLE;
      break;
    case UNIT_LINES:
      st.run_mode = source_step_mode(trace ? RUN_TRACE_INSTR : RUN_STEP_INSTR);
      break;
    default:
      st.run_mode = trace ? RUN_TRACE_INSTR : RUN_STEP_INSTR;
      break;
  }
  free_run_frames();
  reset_run_flags();
  cur_state->running = 1;  hold_entering_interrupt();
}

template <bool Trace, int Unit, int Halt>
void arm(const char*) {
  arm_run(Trace, Unit, Halt);
}

// One record per unit and halt flag.
template <bool Trace>
constexpr std::array<std::array<action_record, 2>, UNIT_COUNT> run_records{{
    {{{arm<Trace, UNIT_DISPLAY, 0>, 0}, {arm<Trace, UNIT_DISPLAY, 1>, 0}}},
    {{{arm<Trace, UNIT_CYCLES, 0>, 0}, {arm<Trace, UNIT_CYCLES, 1>, 0}}},
    {{{arm<Trace, UNIT_LINES, 0>, 0}, {arm<Trace, UNIT_LINES, 1>, 0}}},
    {{{arm<Trace, UNIT_INSTR, 0>, 0}, {arm<Trace, UNIT_INSTR, 1>, 0}}},
}};

// [count] [cy/li/in] [h], the count first and above 0.
template <bool Trace>
const action_record* parse_run_cmd() {
  command_lexer& l = lx();
  int i = 2;
  if (l.has(i) && !is_run_keyword(l.word(i))) {
    if (!parse_positive_count(i)) return nullptr;
    ++i;
  }
  int unit = UNIT_DISPLAY;
  if (l.has(i) && std::strcmp(l.word(i), "h") != 0) {
    const int k = match_keyword_list(i, unit_words, 'j', 3);
    if (k < 0) return nullptr;
    unit = UNIT_CYCLES + k;
    ++i;
  }
  int halt = 0;
  if (l.has(i)) {
    if (!match_keyword(i, "h")) return nullptr;
    halt = 1;
    ++i;
  }
  if (!check_no_more_args(i)) return nullptr;
  return &run_records<Trace>[static_cast<std::size_t>(unit)][static_cast<std::size_t>(halt)];
}

void streams_show(const char*) {
  cur_state->view_mode = 0;
  session_print(cur_state->streams_enabled != 0 ? "streams enabled" : "streams disabled", 1);
}
void streams_enable(const char*) {
  cur_state->streams_enabled = 1;
  hio_arm(*cur_state);
}
void streams_disable(const char*) {
  cur_state->streams_enabled = 0;
  hio_arm(*cur_state);
}

constexpr action_record streams_show_record{streams_show, 0};
constexpr action_record streams_enable_record{streams_enable, 0};
constexpr action_record streams_disable_record{streams_disable, 0};

}  // namespace

const action_record* cmd_step() { return parse_run_cmd<false>(); }
const action_record* cmd_trace() { return parse_run_cmd<true>(); }

const action_record* cmd_streams() {
  command_lexer& l = lx();
  if (!l.has(2)) {
    check_no_more_args(2);
    return &streams_show_record;
  }
  const char* word = l.word(2);
  const action_record* record = nullptr;
  if (std::strcmp(word, "enable") == 0 || std::strcmp(word, "e") == 0) record = &streams_enable_record;
  else if (std::strcmp(word, "disable") == 0 || std::strcmp(word, "d") == 0)
    record = &streams_disable_record;
  if (record == nullptr) {
    reader_fail(2, parse_error_messages[ERR_INVALID]);
    return nullptr;
  }
  l.kind[2] = 'j';
  return check_no_more_args(3) ? record : nullptr;
}
