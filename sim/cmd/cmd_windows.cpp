// The window commands. Their arguments are checked here; the actions are
// the installed front-end's, and without one the action says that only the
// GUI shows simulator windows.
#include <memory>
#include <string>

#include "sim/cdb/c_parse.h"
#include "sim/cdb/c_value.h"

#include "sim/cmd/commands.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/frontend/frontend.h"

namespace {

const window_command_hooks* hooks = nullptr;

void no_windows() {
  const command_lexer& lx = *cur_lexer;
  const int row = lx.kind[1] == 'c' ? static_cast<int>(lx.value[1].lo) : -1;
  const std::string name = row >= 0 && row < COMMAND_COUNT ? command_table[row].name : "window";
  session_print(("{" + name + ": windows are shown only by the GUI front-end}").c_str(), 1);
}

template <window_command W, bool OFF>
void window_action_of(const char* line) {
  const window_action action = hooks == nullptr ? nullptr : OFF ? hooks->off[W] : hooks->open[W];
  if (action != nullptr) action(line);
  else no_windows();
}

// Actions 0 open and 1 off of each window command.
template <window_command W>
struct records {
  static constexpr action_record open{window_action_of<W, false>, 0};
  static constexpr action_record off{window_action_of<W, true>, 0};
};

// No argument opens; "off" and nothing after it closes.
template <window_command W>
const action_record* open_or_off() {
  if (check_no_more_args(2)) return &records<W>::open;
  if (match_keyword(2, "off") && check_no_more_args(3)) return &records<W>::off;
  return nullptr;
}


// An optional "win<n>" first; the index of the token after it.
int after_window_number() {
  return cur_lexer->has(2) && cur_lexer->word(2)[0] == 'w' && parse_win_number(2) ? 3 : 2;
}

constexpr const char* CALL_REFUSED = "watch expressions cannot contain function calls";

// Braced C text is kept even when it does not parse (its row then says
// so), but one that calls a target function is refused.
bool watch_c_item(int i) {
  if (parse_braced_arg(i) == 0) return false;
  c_error_quiet(true);
  const std::unique_ptr<c_tree> tree = c_parse(cur_lexer->typed(i));
  c_error_quiet(false);
  if (tree == nullptr || c_tree_has_call(tree->root) == 0) return true;
  return reader_fail(i, CALL_REFUSED) != 0;
}

// What a watch window may show: braced C text, a register, a memory
// location or a number.
bool watch_item(int i) {
  if (!cur_lexer->has(i)) return need_arg(i) != 0;
  if (cur_lexer->typed(i)[0] == '{') return watch_c_item(i);
  return parse_register_arg(i) || parse_memory_location(i, cur_device) ||
         parse_float_or_int_arg(i);
}

// A refused braced item keeps its own message: no radix keyword starts
// with a brace.
bool radix_then_item(int i) {
  if (cur_lexer->has(i) && cur_lexer->typed(i)[0] == '{') return false;
  return match_keyword_list(i, radix_letter_words, 'r', 5) >= 0 && watch_item(i + 1) &&
         check_no_more_args(i + 2);
}

}  // namespace

const action_record* cmd_wasm() { return open_or_off<WCMD_ASM>(); }
const action_record* cmd_wbreakpoint() { return open_or_off<WCMD_BREAKPOINT>(); }
const action_record* cmd_wcalls() { return open_or_off<WCMD_CALLS>(); }
const action_record* cmd_wcommand() { return open_or_off<WCMD_COMMAND>(); }
const action_record* cmd_winput() { return open_or_off<WCMD_INPUT>(); }
const action_record* cmd_woutput() { return open_or_off<WCMD_OUTPUT>(); }
const action_record* cmd_wsession() { return open_or_off<WCMD_SESSION>(); }
const action_record* cmd_wsource() { return open_or_off<WCMD_SOURCE>(); }
const action_record* cmd_wstack() { return open_or_off<WCMD_STACK>(); }

const action_record* cmd_wregister() {
  const int i = after_window_number();
  if (check_no_more_args(i)) return &records<WCMD_REGISTER>::open;
  if (match_keyword(i, "off")) return check_no_more_args(i + 1) ? &records<WCMD_REGISTER>::off : nullptr;
  if (parse_periph_name(i) && check_no_more_args(i + 1)) return &records<WCMD_REGISTER>::open;
  return nullptr;
}

const action_record* cmd_wmemory() {
  const int i = after_window_number();
  if (match_keyword(i, "off")) return check_no_more_args(i + 1) ? &records<WCMD_MEMORY>::off : nullptr;
  if (!parse_region_name(i)) return nullptr;
  if (check_no_more_args(i + 1)) return &records<WCMD_MEMORY>::open;
  if (!parse_address_arg(i + 1)) return nullptr;
  return check_no_more_args(i + 2) ? &records<WCMD_MEMORY>::open : nullptr;
}

const action_record* cmd_wlist() {
  const int i = after_window_number();
  if (check_no_more_args(i)) return &records<WCMD_LIST>::open;
  if (match_keyword(i, "off")) return check_no_more_args(i + 1) ? &records<WCMD_LIST>::off : nullptr;
  if (parse_name_arg(i) && check_no_more_args(i + 1)) return &records<WCMD_LIST>::open;
  return nullptr;
}

const action_record* cmd_wwatch() {
  const int i = after_window_number();
  if (cur_lexer->has(i) && cur_lexer->typed(i)[0] == '#') {
    if (!parse_hash_number(i)) return nullptr;
    const int j = i + 1;
    if (cur_lexer->has(j) && cur_lexer->word(j) == std::string("off"))
      return match_keyword(j, "off") && check_no_more_args(j + 1) ? &records<WCMD_WATCH>::off : nullptr;
    if (watch_item(j) && check_no_more_args(j + 1)) return &records<WCMD_WATCH>::open;
    return radix_then_item(j) ? &records<WCMD_WATCH>::open : nullptr;
  }
  if (check_no_more_args(i)) return &records<WCMD_WATCH>::open;
  if (cur_lexer->word(i) == std::string("off"))
    return match_keyword(i, "off") && check_no_more_args(i + 1) ? &records<WCMD_WATCH>::off : nullptr;
  if (watch_item(i) && check_no_more_args(i + 1)) return &records<WCMD_WATCH>::open;
  return radix_then_item(i) ? &records<WCMD_WATCH>::open : nullptr;
}

void install_window_command_hooks(const window_command_hooks* installed) { hooks = installed; }
const window_command_hooks* installed_window_command_hooks() { return hooks; }

int terminal_key_lists = 0;
