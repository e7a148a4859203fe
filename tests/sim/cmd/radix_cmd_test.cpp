// The radix command's effects on the default radix, register display
// radixes and memory display radixes.
#include <string>

#include "expr_fixture.h"
#include "sim/cmd/dispatch.h"
#include "sim/expr/valfmt.h"

class RadixCommand : public expr_fixture {
 protected:
  bool run(const char* line) {
    if (parse_command_line(line) == nullptr) return false;
    execute_command_line(0, line);
    return true;
  }
  uint32_t code(const char* reg) { return reg_attr(reg) & 0xF000; }
  // The message of a refused line; "" when it was accepted.
  static std::string refusal(const char* line) {
    if (parse_command_line(line) != nullptr) return "";
    return parse_error_text != nullptr ? parse_error_text : "(no message)";
  }
};

TEST_F(RadixCommand, DefaultRadix) {
  const struct {
    const char* line;
    int radix;
  } steps[] = {
      {"radix h", RADIX_HEX}, {"radix b", RADIX_BIN}, {"radix u", RADIX_UNS},
      {"radix f", RADIX_DEC},  // fractions are typed in decimal
      {"RADIX H", RADIX_HEX}, {"radix", RADIX_HEX},
  };
  for (const auto& s : steps) {
    ASSERT_TRUE(run(s.line)) << s.line;
    EXPECT_EQ(cur_state->default_radix, s.radix) << s.line;
  }
}

TEST_F(RadixCommand, RegistersAndRanges) {
  ASSERT_TRUE(run("radix b x0"));  // binary shows as hexadecimal
  EXPECT_EQ(code("x0"), 0x4000u);
  ASSERT_TRUE(run("radix f x0 x1"));
  EXPECT_EQ(code("x0"), 0x2000u);
  EXPECT_EQ(code("x1"), 0x2000u);
  EXPECT_EQ(reg_attr("x0") & 0x10u, 0x10u);  // display switch kept

  // n3, omr, pc, r0 lie between in register order; n2 and r1 do not.
  ASSERT_TRUE(run("radix d n3..r0"));
  for (const char* r : {"n3", "omr", "pc", "r0"}) EXPECT_EQ(code(r), 0x1000u) << r;
  EXPECT_NE(code("n2"), 0x1000u);
  EXPECT_NE(code("r1"), 0x1000u);
  ASSERT_TRUE(run("radix u r0..n3"));  // backward: the same registers
  for (const char* r : {"n3", "omr", "pc", "r0"}) EXPECT_EQ(code(r), 0x8000u) << r;
  EXPECT_NE(code("n2"), 0x8000u);

  // Across peripheral rows.
  ASSERT_TRUE(run("radix f y1..cyc"));
  for (const char* r : {"y1", "tcr", "cyc"}) EXPECT_EQ(code(r), 0x2000u) << r;
  EXPECT_NE(code("y0"), 0x2000u);
}

TEST_F(RadixCommand, MemoryRanges) {
  const int p = row_named("p"), x = row_named("x");
  ASSERT_TRUE(run("radix f p:$10..$20"));
  EXPECT_EQ(memory_radix_at(p, 0x10), RADIX_FRAC);
  EXPECT_EQ(memory_radix_at(p, 0x20), RADIX_FRAC);
  EXPECT_EQ(memory_radix_at(p, 0x21), 0);
  ASSERT_TRUE(run("radix b x:5"));
  EXPECT_EQ(memory_radix_at(x, 5), RADIX_HEX);
  EXPECT_EQ(memory_radix_at(x, 6), 0);
  ASSERT_TRUE(run("radix u x:$100#4"));
  EXPECT_EQ(memory_radix_at(x, 0x103), RADIX_UNS);
  EXPECT_EQ(memory_radix_at(x, 0x104), 0);
  ASSERT_TRUE(run("radix d x:$fff0..$f"));  // wraps past the top
  EXPECT_EQ(memory_radix_at(x, 0xFFF8), RADIX_DEC);
  EXPECT_EQ(memory_radix_at(x, 0x2), RADIX_DEC);
  EXPECT_EQ(memory_radix_at(x, 0x10), 0);
  ASSERT_TRUE(run("radix h x1 x:$200"));  // registers and memory mixed
  EXPECT_EQ(code("x1"), 0x4000u);
  EXPECT_EQ(memory_radix_at(x, 0x200), RADIX_HEX);
}

TEST_F(RadixCommand, RefusedLinesChangeNothing) {
  const uint32_t before = code("x0");
  EXPECT_FALSE(run("radix q"));
  EXPECT_FALSE(run("radix f nosuch"));
  EXPECT_FALSE(run("radix f x0 zz"));
  EXPECT_EQ(code("x0"), before);
  EXPECT_FALSE(run("radix hex"));
  EXPECT_EQ(cur_state->default_radix, RADIX_DEC);
}

TEST_F(RadixCommand, EvaluateChecksItsTokens) {
  for (const char* line : {"evaluate $345", "e b $345", "evaluate 0.5"}) EXPECT_EQ(refusal(line), "") << line;
  EXPECT_EQ(refusal("evaluate"), "Need more parameters");
  EXPECT_EQ(refusal("evaluate x 5"), "Invalid parameter");
  EXPECT_EQ(refusal("evaluate b 1 2"), "Too many parameters");
  EXPECT_EQ(refusal("evaluate 1/0"), "Divide by 0");
  EXPECT_EQ(refusal("evaluate 0.5|1"), "Illegal operator for floating point element");
}
