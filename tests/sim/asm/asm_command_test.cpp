// The asm command: the assembler-line reader, the one-line form and the
// interactive form answered line by line, with its command-log lines (its
// keys at a terminal: tests/console/asm_keys_test.cpp).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "sim/asm/asm.h"
#include "sim/engine/device/memory.h"

namespace {

class asm_command : public cmd_fixture {
 protected:
  static uint32_t word_at(int space, uint32_t address) {
    uint32_t w = 0;
    cur_type->mem->read_word(space, address, &w);
    return w;
  }
  static void put(int space, uint32_t address, uint32_t w) { cur_type->mem->write_word(space, address, &w); }
  static void run(const char* line) { execute_command_line(0, line); }
};

constexpr int P = 0, X = 1;

}  // namespace

TEST_F(asm_command, the_line_reader_assembles_at_the_item_address) {
  ASSERT_TRUE(accepted("asm p:$40 bra *+5"));
  EXPECT_EQ(cur_state->asm_address, 0x40u);
  EXPECT_EQ(kind(3), 'm');
  EXPECT_EQ(asm_word_count, 1);
  EXPECT_EQ(asm_words[0], 0x0B04);
  // After the byte-wide keyword the location is token 3.
  ASSERT_TRUE(accepted("asm b p:$80 bra *+5"));
  EXPECT_EQ(cur_state->asm_address, 0x80u);
  EXPECT_EQ(kind(4), 'm');
  // No location: the line's first token carries pc.
  cur_inst->pc = 0x123;
  ASSERT_TRUE(accepted("asm bra *+5"));
  EXPECT_EQ(cur_state->asm_address, 0x123u);
  EXPECT_EQ(kind(2), 'm');
}

TEST_F(asm_command, a_failed_line_leaves_its_message_at_the_line) {
  EXPECT_EQ(refusal("asm p:$40 move (r0),x0"), "Missing memory space specifier");
  EXPECT_EQ(error_pos(), 10);
  EXPECT_EQ(kind(3), 'u');
  EXPECT_EQ(refusal("asm zork a"), "Unrecognized mnemonic");
  EXPECT_EQ(error_pos(), 4);
}

TEST_F(asm_command, records_interactive_and_one_line) {
  const action_record* interactive = parse_command_line("asm p:$40");
  ASSERT_NE(interactive, nullptr);
  EXPECT_EQ(interactive->flags, ACTION_INTERACTIVE);
  const action_record* at_pc = parse_command_line("asm");
  ASSERT_NE(at_pc, nullptr);
  EXPECT_EQ(at_pc->flags, ACTION_INTERACTIVE);
  const action_record* one = parse_command_line("asm p:$40 nop");
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->flags, 0u);
  EXPECT_NE(one->function, interactive->function);
}

TEST_F(asm_command, one_line_writes_its_words) {
  run("asm x:$5 move #$1234,r0");
  EXPECT_EQ(word_at(X, 5), 0x3E1Cu);
  EXPECT_EQ(word_at(X, 6), 0x1234u);
  // A failed line writes nothing.
  put(P, 0x10, 0x0777);
  run("asm p:$10 move (r0),x0");
  EXPECT_EQ(word_at(P, 0x10), 0x0777u);
  // A comment alone neither.
  run("asm p:$10 ; nothing");
  EXPECT_EQ(word_at(P, 0x10), 0x0777u);
  // Byte wide: low byte, then high byte, two addresses a word.
  run("asm b p:$20 jsr $1234");
  EXPECT_EQ((std::vector{word_at(P, 0x20), word_at(P, 0x21), word_at(P, 0x22), word_at(P, 0x23)}),
            (std::vector<uint32_t>{0x30, 0x01, 0x34, 0x12}));
}

TEST_F(asm_command, interactive_lines_are_logged_as_one_line_commands) {
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  command_log = log;
  put(P, 0x61, 0x0134);
  put(P, 0x62, 0x1234);
  // A new text, an unchanged two-word instruction, then the end.
  feed("MOVE #$12,X0\njmp >$1234\n\n");
  run("asm p:$60");
  command_log = nullptr;
  EXPECT_EQ(word_at(P, 0x60), 0x2012u);
  EXPECT_EQ(word_at(P, 0x61), 0x0134u);
  const std::string logged = contents(log);
  std::fclose(log);
  EXPECT_NE(logged.find("asm p:$0060 move #$12,x0\n"), std::string::npos) << logged;
  const std::string shown = output();
  EXPECT_NE(shown.find("p:$0061 0134 1234 jmp >$1234"), std::string::npos) << shown;
  EXPECT_NE(shown.find("p:$0063 "), std::string::npos) << shown;
}
