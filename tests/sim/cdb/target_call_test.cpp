// A call into the target set up by family 711's convention: the stack
// words, the structure result's area, the patched dummy_call and the armed
// run, before anything runs.
#include <gtest/gtest.h>

#include <cstdint>

#include "coff_writer.h"
#include "sim/cdb/coff.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"
#include "support/test_frontend.h"

namespace {

constexpr uint32_t DUMMY = 0x80;
constexpr uint32_t MK = 0x20;
constexpr uint32_t NONE = 0x30;

class TargetCall : public ::testing::Test {
 protected:
  void SetUp() override {
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
    test_coff c;
    c.sections = {{".txt", 0, 0, 0x20, {0}}};
    c.symbol("Ftri", 0, 0, 0, 8, 10, 1);  // index 0: struct tri {int a, b, c;}
    c.aux({0, 0, 3, 0, 0, 0, 0, 0});
    c.symbol("Fa", 0, 0, 0, 4, 8);
    c.symbol("Fb", 1, 0, 0, 4, 8);
    c.symbol("Fc", 2, 0, 0, 4, 8);
    c.symbol(".eos", 0, 0, 0, 0, 102, 1);
    c.aux({0, 0, 3, 0, 0, 0, 0, 0});
    c.symbol("Fmk", MK, 0, 1, 0x28, 2, 1);  // struct tri mk()
    c.aux({0, 4, 0, 0, 0, 0, 0, 0});
    c.symbol("Fnone", NONE, 0, 1, 0x24, 2, 1);  // int none()
    c.aux({0, 4, 0, 0, 0, 0, 0, 0});
    c.symbol("dummy_call", DUMMY, 0, 1, 0, 2);
    ASSERT_EQ(with_temp_coff(c, [](const char* path) { return read_coff_file(0, path); }), 0) << coff_error_text();
    make_device_current(0);
    set_register("r2", 0x200);
    set_register("pc", 0x10);
  }
  void TearDown() override { free_device(0); }

  static void set_register(const char* name, uint32_t value) {
    int row = 0, reg = 0;
    ASSERT_EQ(lookup_register(0, name, &row, &reg), 1);
    const uint32_t words[3] = {value, 0, 0};
    ASSERT_EQ(write_register(0, row, reg, words), 1);
  }
  static uint32_t get_register(const char* name) {
    int row = 0, reg = 0;
    uint32_t words[3] = {};
    if (lookup_register(0, name, &row, &reg) == 0 || read_register(0, row, reg, words) == 0) return ~0u;
    return words[0];
  }
  static uint32_t word(int space, uint32_t address) {
    uint32_t w = 0;
    read_device_memory(0, space, address, &w);
    return w & 0xFFFF;
  }
};

TEST_F(TargetCall, AStructureResultAndTwoArgumentsLieOnTheStack) {
  error_reported = 0;
  execute_command_line(0, "evaluate {mk(1,2)}");
  ASSERT_EQ(error_reported, 0) << last_error_text();
  // The 3-word result area at the old r2 (a1 points at it), then the
  // return address, then the arguments with the last one lowest.
  EXPECT_EQ(get_register("a1"), 0x200u);
  EXPECT_EQ(word(SPACE_X, 0x203), 0x10u);
  EXPECT_EQ(word(SPACE_X, 0x204), 2u);
  EXPECT_EQ(word(SPACE_X, 0x205), 1u);
  EXPECT_EQ(get_register("r2"), 0x206u);
  EXPECT_EQ(word(SPACE_P, DUMMY + 1), MK);
  EXPECT_EQ(word(SPACE_P, DUMMY + 3), 0xFFFDu);
  EXPECT_EQ(word(SPACE_P, DUMMY + 7), 0xFFFDu);
  // The run waits to come back to the word after the patched call.
  EXPECT_EQ(get_register("pc"), DUMMY);
  EXPECT_EQ(cur_state->run_mode, 16);
  EXPECT_EQ(cur_state->stop_address, DUMMY + 2);
  EXPECT_EQ(cur_state->running, 1);
}

TEST_F(TargetCall, NoArgumentsAndNoStructure) {
  error_reported = 0;
  execute_command_line(0, "evaluate {none()}");
  ASSERT_EQ(error_reported, 0) << last_error_text();
  EXPECT_EQ(word(SPACE_X, 0x200), 0x10u);
  EXPECT_EQ(get_register("r2"), 0x201u);
  EXPECT_EQ(word(SPACE_P, DUMMY + 1), NONE);
  EXPECT_EQ(word(SPACE_P, DUMMY + 3), 0xFFFFu);
  EXPECT_EQ(word(SPACE_P, DUMMY + 7), 0u);
}

}  // namespace
