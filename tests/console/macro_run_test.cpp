// Macros run by the console's line loop, a slice of the run at a time.
#include <string>

#include "frontends/console/console.h"
#include "console/console_cmd_fixture.h"

namespace {

class macros : public console_cmd_files {};

}  // namespace

// Macros running the program: one Ctrl-C ends the run and every macro,
// however many go lines or calls follow.
TEST_F(macros, one_ctrl_c_ends_the_run_and_every_macro) {
  write_file("gos.cmd", "go\ngo\ngo\n");
  write_file("loop.cmd", "go\nloop\n");
  for (const char* name : {"gos", "loop"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(console_submit_typed(name));
    bool ended = false;
    for (int k = 0; k < 200 && !ended; ++k) {
      if (k == 3) stop_request = 1;
      ended = !console_run_slice() && !console_macro_step();
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(macro_running, 0);
    EXPECT_EQ(device_states[0]->running, 0);
    stop_request = 0;
  }
}
