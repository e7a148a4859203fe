// go: arms a free run, from an address or after a reset, to any halting
// breakpoint or to the n-th hit of one.
#include <cstring>

#include "sim/cmd/breakpoints.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/regfmt.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/core/runloop.h"
#include "sim/frontend/frontend.h"

namespace {

command_lexer& lx() { return *cur_lexer; }

bool write_pc(const arg_value& v) {
  int row = 0, reg = 0;
  if (lookup_register(cur_device, "pc", &row, &reg) == 0) return false;
  const uint32_t mask = cur_type->region_count > 0 ? cur_type->regions[0].high : 0xFFFF;
  const uint32_t words[3] = {value_combined(v) & mask, 0, 0};
  return write_register(cur_device, row, reg, words) != 0;
}

void go_action(const char*) {
  device_state& st = *cur_state;
  // From a breakpoint's command during a run: the run goes on as it is;
  // only a start address or a reset is carried out.
  const bool continuing = continue_run_from_action();
  if (!continuing) {
    st.run_count = 1;
    st.break_number = 0;
    st.run_mode = RUN_GO;
    // A halt flag left by "step h" would stop a go at every hit and report
    // it twice; go counts hits on its own.
    st.halt_on_break = 0;
    free_run_frames();
  }
  const command_lexer& l = lx();
  for (int i = 2; l.has(i); ++i) {
    const arg_value& v = l.value[static_cast<std::size_t>(i)];
    switch (l.kind[static_cast<std::size_t>(i)]) {
      case '#':
        if (!continuing) st.break_number = static_cast<int>(v.lo);
        break;
      case ':':
        if (!continuing) st.run_count = v.lo;
        break;
      case 'I':
        if (!write_pc(v)) {
          error_report("Error writing register");
          return;
        }
        break;
      case 'j':
        reset_peripherals(1, -1);
        break;
      default:
        break;
    }
  }
  if (continuing) return;
  show_progress_line();
  reset_run_flags();
  cur_state->running = 1;
}

constexpr action_record go_record{go_action, 0};

}  // namespace

const action_record* cmd_go() {
  command_lexer& l = lx();
  int i = 2;
  if (l.has(i)) {
    const char mark = l.typed(i)[0];
    if (std::strcmp(l.word(i), "r") == 0) {
      match_keyword(i, "r");
      ++i;
    } else if (mark != '#' && mark != ':') {
      if (!parse_address_arg(i)) return nullptr;
      ++i;
    }
  }
  if (l.has(i) && l.typed(i)[0] == '#') {
    if (!parse_break_number(i)) return nullptr;
    ++i;
  }
  if (l.has(i) && l.typed(i)[0] == ':') {
    if (!parse_colon_number(i)) return nullptr;
    ++i;
  }
  return check_no_more_args(i) ? &go_record : nullptr;
}
