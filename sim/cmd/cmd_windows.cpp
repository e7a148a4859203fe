// The window commands. Their arguments are checked here as for the GUI;
// on the console there are no simulator windows, which the action says.
#include <string>

#include "sim/cmd/commands.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device.h"
#include "sim/frontend.h"

namespace {

void no_windows(const char*) {
  const command_lexer& lx = *cur_lexer;
  const int row = lx.kind[1] == 'c' ? static_cast<int>(lx.value[1].lo) : -1;
  const std::string name = row >= 0 && row < COMMAND_COUNT ? command_table[row].name : "window";
  session_print(("{" + name + ": windows are shown only by the GUI front-end}").c_str(), 1);
}

// Actions 0 open and 1 off of every window command.
constexpr action_record open_record{no_windows, 0};
constexpr action_record off_record{no_windows, 0};

// No argument opens; "off" and nothing after it closes.
const action_record* open_or_off() {
  if (check_no_more_args(2)) return &open_record;
  if (match_keyword(2, "off") && check_no_more_args(3)) return &off_record;
  return nullptr;
}

// An optional "win<n>" first; the index of the token after it.
int after_window_number() {
  return cur_lexer->has(2) && cur_lexer->word(2)[0] == 'w' && parse_win_number(2) ? 3 : 2;
}

// What a watch window may show: braced C text, a register, a memory
// location or a number.
bool watch_item(int i) {
  if (!cur_lexer->has(i)) return need_arg(i) != 0;
  if (cur_lexer->typed(i)[0] == '{') return parse_braced_arg(i) != 0;
  return parse_register_arg(i) || parse_memory_location(i, cur_device) ||
         parse_float_or_int_arg(i);
}

bool radix_then_item(int i) {
  return match_keyword_list(i, radix_letter_words, 'r', 5) >= 0 && watch_item(i + 1) &&
         check_no_more_args(i + 2);
}

}  // namespace

const action_record* cmd_wasm() { return open_or_off(); }
const action_record* cmd_wbreakpoint() { return open_or_off(); }
const action_record* cmd_wcalls() { return open_or_off(); }
const action_record* cmd_wcommand() { return open_or_off(); }
const action_record* cmd_winput() { return open_or_off(); }
const action_record* cmd_woutput() { return open_or_off(); }
const action_record* cmd_wsession() { return open_or_off(); }
const action_record* cmd_wsource() { return open_or_off(); }
const action_record* cmd_wstack() { return open_or_off(); }

const action_record* cmd_wregister() {
  const int i = after_window_number();
  if (check_no_more_args(i)) return &open_record;
  if (match_keyword(i, "off")) return check_no_more_args(i + 1) ? &off_record : nullptr;
  if (parse_periph_name(i) && check_no_more_args(i + 1)) return &open_record;
  return nullptr;
}

const action_record* cmd_wmemory() {
  const int i = after_window_number();
  if (match_keyword(i, "off")) return check_no_more_args(i + 1) ? &off_record : nullptr;
  if (!parse_region_name(i)) return nullptr;
  if (check_no_more_args(i + 1)) return &open_record;
  if (!parse_address_arg(i + 1)) return nullptr;
  return check_no_more_args(i + 2) ? &open_record : nullptr;
}

const action_record* cmd_wlist() {
  const int i = after_window_number();
  if (check_no_more_args(i)) return &open_record;
  if (match_keyword(i, "off")) return check_no_more_args(i + 1) ? &off_record : nullptr;
  if (parse_name_arg(i) && check_no_more_args(i + 1)) return &open_record;
  return nullptr;
}

const action_record* cmd_wwatch() {
  const int i = after_window_number();
  if (cur_lexer->has(i) && cur_lexer->typed(i)[0] == '#') {
    if (!parse_hash_number(i)) return nullptr;
    const int j = i + 1;
    if (cur_lexer->has(j) && cur_lexer->word(j) == std::string("off"))
      return match_keyword(j, "off") && check_no_more_args(j + 1) ? &off_record : nullptr;
    if (watch_item(j) && check_no_more_args(j + 1)) return &open_record;
    return radix_then_item(j) ? &open_record : nullptr;
  }
  if (check_no_more_args(i)) return &open_record;
  if (cur_lexer->word(i) == std::string("off"))
    return match_keyword(i, "off") && check_no_more_args(i + 1) ? &off_record : nullptr;
  if (watch_item(i) && check_no_more_args(i + 1)) return &open_record;
  return radix_then_item(i) ? &open_record : nullptr;
}
