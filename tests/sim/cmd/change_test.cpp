// The change, copy and device commands: value pairs, the interactive forms
// answered line by line, overlapping copies and the device table.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>
#include <cstdio>
#include <string>

#include "tests/sim/cmd/cmd_fixture.h"
#include "support/test_frontend.h"
#include "sim/engine/device/regaccess.h"

namespace {

class change_cmd : public cmd_fixture {
 protected:
  static void run(const char* line) { execute_command_line(shown_device, line); }

  static uint32_t reg(const char* name, int word = 0) {
    int row = 0, r = 0;
    EXPECT_EQ(lookup_register(cur_device, name, &row, &r), 1) << name;
    uint32_t words[3] = {0, 0, 0};
    read_register(cur_device, row, r, words);
    return words[word];
  }
  static uint32_t mem(int space, uint32_t address) {
    uint32_t word = 0;
    cur_type->mem->read_word(space, address, &word);
    return word;
  }
  static void poke(int space, uint32_t address, uint32_t word) {
    cur_type->mem->write_word(space, address, &word);
  }
};

// --- Value pairs -------------------------------------------------------------------

TEST_F(change_cmd, PairsWriteRegisterBlocksAndMemoryBlocks) {
  poke(SPACE_P, 0x2F, 7);
  poke(SPACE_P, 0x301, 7);
  for (uint32_t a = 0x30; a <= 0x300; ++a) poke(SPACE_P, a, 9);
  run("change r0..r3 $11 r0 0 p:$30..$300 0");
  EXPECT_EQ(reg("r0"), 0u);
  EXPECT_EQ(reg("r1"), 0x11u);
  EXPECT_EQ(reg("r3"), 0x11u);
  EXPECT_EQ(reg("n0"), 0u);
  int written = 0;
  for (uint32_t a = 0x30; a <= 0x300; ++a) written += mem(SPACE_P, a) == 0 ? 1 : 0;
  EXPECT_EQ(written, 0x2D1);
  EXPECT_EQ(mem(SPACE_P, 0x2F), 7u);
  EXPECT_EQ(mem(SPACE_P, 0x301), 7u);
}

TEST_F(change_cmd, FractionsTakeTheTargetsFormat) {
  run("change a 0.5 x0 -0.5 x:3 0.25");
  EXPECT_EQ((std::array{reg("a", 0), reg("a", 1), reg("a", 2)}), (std::array<uint32_t, 3>{0, 0x4000, 0}));
  EXPECT_EQ(reg("x0"), 0xC000u);
  EXPECT_EQ(mem(SPACE_X, 3), 0x2000u);
}

TEST_F(change_cmd, BlockWrapsOverTheTopOfMemory) {
  run("change x:$fffe..1 $33");
  for (uint32_t a : {0u, 1u}) EXPECT_EQ(mem(SPACE_X, a), 0x33u) << a;
  EXPECT_EQ(mem(SPACE_X, 2), 0u);
}

TEST_F(change_cmd, ParserChoosesTheForm) {
  EXPECT_EQ(parse_command_line("change")->flags, ACTION_INTERACTIVE);
  EXPECT_EQ(parse_command_line("change pc")->flags, ACTION_INTERACTIVE);
  EXPECT_EQ(parse_command_line("change x:$55")->flags, ACTION_INTERACTIVE);
  EXPECT_EQ(parse_command_line("change p:$20 $1234")->flags, 0u);
  EXPECT_EQ(parse_command_line("change r0 1")->flags, 0u);  // macros skip only the asking forms
  for (const char* line : {"change r0 1 x:0", "change x:0..3", "copy x:0..3"})
    EXPECT_EQ(refusal(line), "Need more parameters") << line;
  EXPECT_EQ(refusal("copy x:0..3 x:5 x:6"), "Too many parameters");
}

TEST_F(change_cmd, PcMovedByAChangeMovesTheDisplayLine) {
  run("change pc $40");
  EXPECT_EQ(cur_inst->pc, 0x40u);
}

// --- Interactive -------------------------------------------------------------------

TEST_F(change_cmd, WithoutArgumentsTheChangeStartsAtA) {
  feed("5\n");
  const std::size_t mark = output().size();
  run("change");
  EXPECT_EQ(output().substr(mark),
            "change\nchange a $0000000005 ;Dec:000000000000005  Fract: 0.0000000023\n");
}

TEST_F(change_cmd, BadExpressionAsksForTheSameRegisterAgain) {
  feed("1+\n$7\n");
  run("change r2");
  EXPECT_EQ(reg("r2"), 7u);
  EXPECT_EQ(reg("r3"), 0u);
  // The status line was cleared when the change ended.
  EXPECT_EQ(recorded().status, "");
}

TEST_F(change_cmd, EchoedChangesReplayFromTheCommandLog) {
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  command_log = log;
  feed("$1234\n-1\n");
  run("change x:$20");
  command_log = nullptr;
  const std::string text = contents(log);
  std::fclose(log);
  // The command line itself is logged too; a macro skips it by its flag.
  EXPECT_EQ(text,
            "change x:$20\n"
            "change x:$0020 $1234 ;Dec:04660  Fract: 0.1422119\n"
            "change x:$0021 $ffff ;Dec:-0001  Fract:-0.0000305\n");
  // Each logged line is an ordinary value-pair change.
  poke(SPACE_X, 0x20, 0);
  run("change x:$0020 $1234 ;Dec:04660  Fract: 0.1422119");
  EXPECT_EQ(mem(SPACE_X, 0x20), 0x1234u);
}

// --- copy ------------------------------------------------------------------------------

TEST_F(change_cmd, OverlappingCopiesKeepTheSource) {
  for (uint32_t a = 0; a <= 20; ++a) poke(SPACE_P, a, 0x100 + a);
  run("copy p:0..20 p:10");
  for (uint32_t a = 0; a <= 20; ++a) EXPECT_EQ(mem(SPACE_P, 10 + a), 0x100 + a) << a;
  for (uint32_t a = 0; a < 10; ++a) EXPECT_EQ(mem(SPACE_P, a), 0x100 + a) << a;
  run("copy p:10..30 p:5");
  for (uint32_t a = 0; a <= 20; ++a) EXPECT_EQ(mem(SPACE_P, 5 + a), 0x100 + a) << a;
}

TEST_F(change_cmd, CopyBetweenSpacesAndOfOneWord) {
  poke(SPACE_X, 7, 0x77);
  run("copy x:7 p:$100");
  EXPECT_EQ(mem(SPACE_P, 0x100), 0x77u);
  EXPECT_EQ(mem(SPACE_P, 0x101), 0u);
  poke(SPACE_X, 0, 1);
  poke(SPACE_X, 1, 2);
  run("copy x:0#2 x:$ffff");  // wraps to x:0
  EXPECT_EQ(mem(SPACE_X, 0), 2u);
}

// Blocks anywhere, wrapping over the top or not, against a copy made
// through a temporary.
TEST_F(change_cmd, CopyMatchesAReferenceOverRandomBlocks) {
  std::mt19937 random(12);
  constexpr uint32_t SIZE = 0x10000;
  std::vector<uint32_t> model(SIZE);
  for (uint32_t a = 0; a < SIZE; ++a) {
    model[a] = random() & 0xFFFF;
    poke(SPACE_PE, a, model[a]);
  }
  for (int round = 0; round < 40; ++round) {
    const uint32_t start = round < 2 ? 0xFFFE : random() % SIZE;
    const uint32_t count = 1 + (round < 2 ? 4 : random() % (round % 4 == 0 ? SIZE : 64));
    const uint32_t target = round == 0 ? 0 : round == 1 ? 0xFFFF : (start + random() % 96 - 48) % SIZE;
    char line[64];
    std::snprintf(line, sizeof line, "copy pe:$%x..$%x pe:$%x", start, (start + count - 1) % SIZE, target);
    SCOPED_TRACE(line);
    run(line);
    std::vector<uint32_t> block(count);
    for (uint32_t n = 0; n < count; ++n) block[n] = model[(start + n) % SIZE];
    for (uint32_t n = 0; n < count; ++n) model[(target + n) % SIZE] = block[n];
    uint32_t wrong = 0;
    for (uint32_t a = 0; a < SIZE; ++a) wrong += mem(SPACE_PE, a) != model[a] ? 1 : 0;
    ASSERT_EQ(wrong, 0u);
  }
}

// --- device ----------------------------------------------------------------------------

TEST_F(change_cmd, SelectingANewDeviceCreatesAndShowsIt) {
  run("device dv5");
  ASSERT_NE(device_insts[5], nullptr);
  EXPECT_STREQ(device_types[device_insts[5]->type]->name, "73521");
  EXPECT_EQ(shown_device, 5);
  EXPECT_EQ(cur_device, 5);
  EXPECT_EQ(device_states[0]->running, 1);  // the device left takes part in runs
  EXPECT_EQ(device_states[5]->running, 0);
}

TEST_F(change_cmd, TypeNameCreatesWithoutSwitching) {
  run("device dv3 73547ROM");
  ASSERT_NE(device_insts[3], nullptr);
  EXPECT_STREQ(device_types[device_insts[3]->type]->name, "73547rom");
  EXPECT_EQ(cur_device, 0);
  EXPECT_EQ(shown_device, 0);
}

TEST_F(change_cmd, OffAndOnTakeADeviceOutOfRunsAndBack) {
  run("device dv0 off");
  EXPECT_NE(device_insts[0]->flags & DEV_EXCLUDED, 0u);
  run("device dv0 on");
  EXPECT_EQ(device_insts[0]->flags & DEV_EXCLUDED, 0u);
  run("device dv7 on");
  EXPECT_NE(device_insts[7], nullptr);
  EXPECT_EQ(cur_device, 0);
  run("device dv9 off");
  EXPECT_EQ(device_insts[9], nullptr);
}

TEST_F(change_cmd, DeletingTheCurrentDeviceMovesToTheLowestOther) {
  run("device dv0 x");
  EXPECT_NE(output().find("{Can't delete the only device.}"), std::string::npos);
  EXPECT_NE(device_insts[0], nullptr);
  run("device dv6 on");
  run("device dv4 on");
  run("device dv0 x");
  EXPECT_EQ(device_insts[0], nullptr);
  EXPECT_EQ(shown_device, 4);
  EXPECT_EQ(cur_device, 4);
  run("device dv6 x");
  EXPECT_EQ(device_insts[6], nullptr);
  EXPECT_EQ(cur_device, 4);
}

}  // namespace
