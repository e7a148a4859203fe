// break: add, change, list, enable, disable and delete breakpoints.
#include <cstring>
#include <string>

#include "sim/cdb/c_value.h"
#include "sim/cmd/breakpoints.h"
#include "sim/cmd/c_args.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"

namespace {

command_lexer& lx() { return *cur_lexer; }

// The words that switch breakpoints: "off" deletes, "e" enables, "d" disables.
enum switch_op : int { OP_DELETE = 0, OP_ENABLE, OP_DISABLE, OP_NONE };
int switch_word(const char* word) {
  if (std::strcmp(word, "off") == 0) return OP_DELETE;
  if (std::strcmp(word, "e") == 0) return OP_ENABLE;
  if (std::strcmp(word, "d") == 0) return OP_DISABLE;
  return OP_NONE;
}

constexpr int ACTION_WORDS = 8;
constexpr int ACCESS_WORDS = 3;

// An action at token i. "x" takes the rest of the line as its command,
// whose tokens are not arguments of break; any other action ends the line.
int parse_action(int i) {
  const int action = match_keyword_list(i, break_action_words, 'A', ACTION_WORDS);
  if (action < 0) return 0;
  if (action != BA_EXECUTE) return check_no_more_args(i + 1);
  if (!need_arg(i + 1)) return 0;
  if (i + 2 < LEXER_SLOTS) lx().kind[static_cast<std::size_t>(i) + 2] = KIND_END;
  return 1;
}

// A condition at token i, an optional action after it; or only an action.
int parse_condition(int i) {
  if (!lx().has(i)) return need_arg(i);
  const char* word = lx().word(i);
  if (match_keyword_list(i, break_action_words, 'A', ACTION_WORDS) >= 0) return parse_action(i);
  int next = i + 1;
  if (match_keyword_list(i, memory_access_words, 'M', ACCESS_WORDS) >= 0) {
    if (!lx().has(i + 1)) return need_arg(i + 1);
    if (!parse_register_arg(i + 1) && !parse_memory_block(i + 1)) return 0;
    next = i + 2;
  } else if (match_keyword_list(i, data_access_words, 'N', ACCESS_WORDS) >= 0) {
    if (!parse_memory_block(i + 1)) return 0;
    next = i + 2;
  } else if (word[0] == '{') {
    if (!parse_c_expr_arg(i, "breakpoint expressions cannot contain function calls")) return 0;
  } else if (!parse_break_condition(i)) {
    return 0;
  }
  if (!lx().has(next)) return check_no_more_args(next);
  return parse_action(next);
}

// The rest of the line from token i, as typed, for an "x" action.
std::string command_text_from(const char* line, int i) {
  const std::size_t length = line != nullptr ? std::strlen(line) : 0;
  const std::size_t from = static_cast<std::size_t>(lx().start[static_cast<std::size_t>(i)]);
  std::string text = from < length ? std::string(line + from) : std::string(lx().typed(i));
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  if (text.size() > BREAK_TEXT_MAX) text.resize(BREAK_TEXT_MAX);
  return text;
}

// Applies the checked tokens from `first` on to the record. The last token
// that gave a kind or operands is the condition.
void apply_tokens(break_rec& rec, int first, const char* line) {
  command_lexer& l = lx();
  int condition = 0;
  for (int i = first; l.has(i) && l.kind[static_cast<std::size_t>(i)] != KIND_END; ++i) {
    const arg_value& v = l.value[static_cast<std::size_t>(i)];
    switch (l.kind[static_cast<std::size_t>(i)]) {
      case '#':
        rec.number = static_cast<int>(v.lo);
        break;
      case 'A':
        rec.action = static_cast<int>(v.lo);
        rec.command_text.clear();
        if (rec.action == BA_EXECUTE) {
          rec.command_text = command_text_from(line, i + 1);
          i = l.count;  // the rest is the command
        }
        break;
      case 'E':
        rec.kind = BK_PC;
        rec.operands = v;
        condition = i;
        break;
      case 'F':
      case 'I':
        rec.kind = BK_EXPRESSION;
        rec.operands = v;
        condition = i;
        break;
      case 'M':
        rec.kind = BK_READ + static_cast<int>(v.lo);
        condition = i;
        break;
      case 'N':
        rec.kind = BK_DATA_READ + static_cast<int>(v.lo);
        condition = i;
        break;
      case 'P':
      case 'X':
        rec.operands = v;
        condition = i;
        break;
      case 'p':
        rec.operands = v;
        rec.operands.hi = rec.operands.lo;
        condition = i;
        break;
      case 'C':
        rec.kind = BK_C_EXPRESSION;
        rec.c_expr = take_c_tree(i, nullptr, nullptr);
        condition = i;
        break;
      case 'Y':
        rec.kind = BK_REG_COMPARE;
        rec.operands = v;
        condition = i;
        break;
      case 'g':
        rec.kind += BK_REG_READ - BK_READ;
        rec.operands = v;
        // Marks left from before must not hit at once.
        periph_attrs(v.region)[v.item] &= ~(ATTR_READ | ATTR_WRITTEN);
        condition = i;
        break;
      default:
        break;
    }
  }
  if (condition != 0) set_break_condition(rec, l.typed(condition));
}

void add_breakpoint(const char* line) {
  std::unique_ptr<break_rec> rec = new_breakpoint();
  apply_tokens(*rec, 2, line);
  if (insert_breakpoint(std::move(rec)) == nullptr)
    error_report(parse_error_messages[ERR_BREAK_RANGE]);
}

void modify_breakpoint(const char* line) {
  if (break_rec* bp = find_breakpoint(static_cast<int>(lx().value[2].lo))) {
    apply_tokens(*bp, 3, line);
    return;
  }
  if (lx().kind[3] == 'A') return;
  add_breakpoint(line);
}

// Calls fn on every record whose number a '#' token from 2 on names, or on
// all when token 2 is the switch word.
template <typename Fn>
void for_named(Fn fn) {
  const command_lexer& l = lx();
  if (l.kind[2] != '#') {
    for (break_rec* bp = cur_state->breakpoints; bp != nullptr; bp = bp->next) fn(*bp);
    return;
  }
  for (int i = 2; i < LEXER_SLOTS && l.kind[static_cast<std::size_t>(i)] == '#'; ++i) {
    const arg_value& v = l.value[static_cast<std::size_t>(i)];
    for (break_rec* bp = cur_state->breakpoints; bp != nullptr; bp = bp->next)
      if (bp->number >= static_cast<int>(v.lo) && bp->number <= static_cast<int>(v.hi)) fn(*bp);
  }
}

void delete_breakpoints(const char*) {
  const command_lexer& l = lx();
  if (l.kind[2] != '#') {
    free_breakpoints();
    return;
  }
  for (int i = 2; i < LEXER_SLOTS && l.kind[static_cast<std::size_t>(i)] == '#'; ++i) {
    const arg_value& v = l.value[static_cast<std::size_t>(i)];
    delete_breakpoint_range(static_cast<int>(v.lo), static_cast<int>(v.hi));
  }
}

void enable_breakpoints(const char*) {
  for_named([](break_rec& bp) { bp.enabled = 1; });
  cur_state->run_plan_stale = 1;
}

void disable_breakpoints(const char*) {
  for_named([](break_rec& bp) { bp.enabled = 0; });
  cur_state->run_plan_stale = 1;
}

void list_breakpoints(const char*) {
  if (lx().kind[2] == '#') {
    if (const break_rec* bp = find_breakpoint(static_cast<int>(lx().value[2].lo)))
      session_echo((std::to_string(bp->number) + ". " + break_listing_tail(*bp)).c_str(), 1);
    return;
  }
  for (const break_rec* bp = cur_state->breakpoints; bp != nullptr; bp = bp->next)
    session_echo(("Break #" + std::to_string(bp->number) + " " + break_listing_tail(*bp)).c_str(), 1);
}

constexpr action_record add_record{add_breakpoint, 0};
constexpr action_record modify_record{modify_breakpoint, 0};
constexpr action_record delete_record{delete_breakpoints, 0};
constexpr action_record list_record{list_breakpoints, 0};
constexpr action_record enable_record{enable_breakpoints, 0};
constexpr action_record disable_record{disable_breakpoints, 0};
constexpr const action_record* switch_records[] = {&delete_record, &enable_record,
                                                   &disable_record};

}  // namespace

const action_record* cmd_break() {
  command_lexer& l = lx();
  if (!l.has(2)) {
    check_no_more_args(2);
    return &list_record;
  }
  if (l.typed(2)[0] == '#') {
    const int op = l.has(3) && !l.has(4) ? switch_word(l.word(3)) : OP_NONE;
    if (op != OP_NONE) {
      // The numbers take the slots from 2 on; the switch word was read.
      if (!parse_hash_list(2)) return nullptr;
      return switch_records[op];
    }
    if (!parse_break_number(2)) return nullptr;
    if (!l.has(3)) {
      check_no_more_args(3);
      return &list_record;
    }
    return parse_condition(3) ? &modify_record : nullptr;
  }
  const int op = switch_word(l.word(2));
  if (op != OP_NONE) {
    l.kind[2] = 'j';
    return check_no_more_args(3) ? switch_records[op] : nullptr;
  }
  return parse_condition(2) ? &add_record : nullptr;
}
