// A "73521" device made current, and helpers that evaluate one expression.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "sim/expr/expr.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"

class expr_fixture : public ::testing::Test {
 protected:
  void SetUp() override {
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
    ASSERT_TRUE(make_device_current(0));
  }
  void TearDown() override { free_all_devices(); }

  expr_result eval(const char* text) {
    sv_optr = text;
    return parse_expression(cur_type->expr_flags);
  }

  // The value of an expression that must evaluate (a zero value, and a
  // failure, when it does not).
  arg_value value_of(const char* text) {
    const expr_result v = eval(text);
    EXPECT_TRUE(v.has_value()) << text << ": " << (parse_error_text ? parse_error_text : "");
    return v ? *v : arg_value{};
  }

  // The message of a failed evaluation; "" when it succeeded.
  std::string error_of(const char* text) {
    parse_error_text = nullptr;
    expr_result v = eval(text);
    if (v) return "";
    return parse_error_text ? parse_error_text : "(no message)";
  }

  void set_radix(int radix) { cur_state->default_radix = radix; }

  void set_reg(const char* name, uint32_t w0, uint32_t w1 = 0, uint32_t w2 = 0) {
    int row = 0, reg = 0;
    ASSERT_TRUE(lookup_register(0, name, &row, &reg)) << name;
    const uint32_t words[3] = {w0, w1, w2};
    ASSERT_TRUE(write_register(0, row, reg, words)) << name;
  }

  uint32_t& reg_attr(const char* name) {
    int row = 0, reg = 0;
    EXPECT_TRUE(lookup_register(0, name, &row, &reg)) << name;
    return periph_attrs(row)[reg];
  }

  int row_named(const char* name) {
    for (int r = 0; r < cur_type->region_count; ++r)
      if (str_icmp(cur_type->regions[r].name, name) == 0) return r;
    return -1;
  }

  void poke(int space, uint32_t address, uint32_t value) {
    ASSERT_TRUE(mem_write_word(space, address, &value));
  }
};

// The three words of a value, for compact expectations.
struct words3 {
  uint32_t lo, hi, ext;
  bool operator==(const words3&) const = default;
};
inline words3 words_of(const arg_value& v) { return {v.lo, v.hi, v.ext}; }
inline std::ostream& operator<<(std::ostream& os, const words3& w) {
  return os << std::hex << "ext " << w.ext << " hi " << w.hi << " lo " << w.lo;
}
