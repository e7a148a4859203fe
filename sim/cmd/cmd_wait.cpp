// wait: holds a macro for some seconds, or until the wait is cancelled.
#include "sim/cmd/commands.h"
#include "sim/expr/expr.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/frontend/frontend.h"

namespace {

void wait_action(const char*) {
  wait_dialog(cur_lexer->has(2) ? static_cast<int>(value_combined(cur_lexer->value[2])) : 0);
}

constexpr action_record wait_record{wait_action, 0};

}  // namespace

const action_record* cmd_wait() {
  if (!cur_lexer->has(2)) return &wait_record;
  if (!parse_count_arg(2)) return nullptr;
  const arg_value& v = cur_lexer->value[2];
  const uint32_t seconds = value_combined(v);
  // Read with the sign of the data word: a negative count is refused too.
  const bool one_word = (v.type & (AV_TWO | AV_THREE)) == 0;
  const bool negative = one_word ? (v.lo & 0x8000) != 0 : seconds > 0x7FFFFFFF;
  if (seconds == 0 || negative) {
    reader_fail(2, parse_error_messages[ERR_INVALID]);
    return nullptr;
  }
  return check_no_more_args(3) ? &wait_record : nullptr;
}
