// The interactive asm command at a terminal: its keys, fed one by one to
// the console's line editor.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "console/console_cmd_fixture.h"
#include "sim/engine/device/memory.h"

namespace {

class asm_command : public console_cmd_fixture {
 protected:
  static uint32_t word_at(int space, uint32_t address) {
    uint32_t w = 0;
    cur_type->mem->read_word(space, address, &w);
    return w;
  }
  static void put(int space, uint32_t address, uint32_t w) { cur_type->mem->write_word(space, address, &w); }
  static void run(const char* line) { execute_command_line(0, line); }
};

constexpr int P = 0;

}  // namespace

TEST_F(asm_command, interactive_keys_move_between_addresses) {
  put(P, 0x61, 0x0134);
  put(P, 0x62, 0x1234);
  // Ctrl-N over nop, Ctrl-N over the two-word jmp, Ctrl-U back one word,
  // then ESC.
  feed_keys("\x0e\x0e\x15\x1b");
  run("asm p:$60");
  const std::string shown = output();
  // Where each address is first shown: in the order visited.
  std::vector<std::size_t> at;
  for (const char* address : {"p:$0060 ", "p:$0061 ", "p:$0063 ", "p:$0062 "}) at.push_back(shown.find(address));
  EXPECT_EQ(std::count(at.begin(), at.end(), std::string::npos), 0) << shown;
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end()) && std::adjacent_find(at.begin(), at.end()) == at.end()) << shown;
  EXPECT_EQ(word_at(P, 0x60), 0u);
}

TEST_F(asm_command, at_a_terminal_typing_starts_right_after_change) {
  // "inc a" goes in front of the offered "nop", Ctrl-Z deletes the rest.
  feed_keys("inc a\x1a\r\x1b");
  run("asm p:$60");
  EXPECT_EQ(word_at(P, 0x60), 0x4A22u);
}
