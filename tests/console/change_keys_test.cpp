// The interactive change command at a terminal: keys fed one by one to
// the console's line editor.
#include <cstdint>
#include <string>

#include "console/console_cmd_fixture.h"
#include "sim/engine/device/regaccess.h"

namespace {

class change_cmd : public console_cmd_fixture {
 protected:
  static void run(const char* line) { execute_command_line(shown_device, line); }

  static uint32_t reg(const char* name) {
    int row = 0, r = 0;
    EXPECT_EQ(lookup_register(cur_device, name, &row, &r), 1) << name;
    uint32_t words[3] = {0, 0, 0};
    read_register(cur_device, row, r, words);
    return words[0];
  }
};

}  // namespace

TEST_F(change_cmd, EnterOnAnUnchangedLineMovesOnWithoutWriting) {
  // At a terminal: Enter on the offered line, then a value typed right
  // after the "=", then Esc.
  feed_keys("\r$300\r\x1b");
  const std::size_t mark = output().size();
  run("change pc");
  EXPECT_EQ(reg("pc"), 0xE000u);
  EXPECT_EQ(reg("r0"), 0x300u);  // the register after pc
  EXPECT_EQ(output().substr(mark),
            "change pc\nchange r0 $0300 ;Dec:00768  Fract: 0.02344\n");
}
