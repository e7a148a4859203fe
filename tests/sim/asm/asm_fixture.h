// A device to assemble for (operand expressions read its registers and its
// default radix), and the assembler's result as words.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/asm/asm.h"
#include "sim/expr/expr.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"

class asm_fixture : public ::testing::Test {
 protected:
  void SetUp() override {
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
    select_device(0);
  }
  void TearDown() override { free_all_devices(); }

  // The words of a line that must assemble.
  static std::vector<uint16_t> words(const char* line, uint32_t address = 0) {
    const int n = assemble_line(line, address);
    EXPECT_GT(n, 0) << line << ": " << message();
    std::vector<uint16_t> out;
    for (int i = 0; i < n; ++i) out.push_back(asm_words[static_cast<std::size_t>(i)]);
    return out;
  }
  // The message of a line that must fail.
  static std::string refusal(const char* line, uint32_t address = 0) {
    const int n = assemble_line(line, address);
    EXPECT_EQ(n, -1) << line;
    EXPECT_EQ(asm_word_count, -1) << line;
    return message();
  }
  static std::string message() { return parse_error_text != nullptr ? parse_error_text : ""; }
};

using words_t = std::vector<uint16_t>;
