// The console's submitted lines and the command history.
#include "frontends/console/console.h"
#include "console/console_cmd_fixture.h"

namespace {

using history = console_cmd_fixture;

}  // namespace

TEST_F(history, running_a_line_does_not_record_it_but_submitting_does) {
  execute_command_line(0, "; run");
  EXPECT_EQ(command_history_count(), 0);
  command_submit("; submitted");
  EXPECT_EQ(command_history_count(), 1);
  EXPECT_STREQ(command_history_line(0), "; submitted");
}
