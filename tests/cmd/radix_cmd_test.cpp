// The radix command's effects on the default radix, register display
// radixes and memory display radixes.
#include "expr_fixture.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/valfmt.h"

class RadixCommand : public expr_fixture {
 protected:
  bool run(const char* line) {
    if (parse_command_line(line) == nullptr) return false;
    execute_command_line(0, line);
    return true;
  }
  uint32_t code(const char* reg) { return reg_attr(reg) & 0xF000; }
};

TEST_F(RadixCommand, DefaultRadix) {
  ASSERT_TRUE(run("radix h"));
  EXPECT_EQ(cur_state->default_radix, RADIX_HEX);
  ASSERT_TRUE(run("radix b"));
  EXPECT_EQ(cur_state->default_radix, RADIX_BIN);
  ASSERT_TRUE(run("radix u"));
  EXPECT_EQ(cur_state->default_radix, RADIX_UNS);
  ASSERT_TRUE(run("radix f"));  // fractions are typed in decimal
  EXPECT_EQ(cur_state->default_radix, RADIX_DEC);
  ASSERT_TRUE(run("RADIX H"));
  EXPECT_EQ(cur_state->default_radix, RADIX_HEX);
  EXPECT_TRUE(run("radix"));
  EXPECT_EQ(cur_state->default_radix, RADIX_HEX);
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
  EXPECT_NE(parse_command_line("evaluate $345"), nullptr);
  EXPECT_NE(parse_command_line("e b $345"), nullptr);
  EXPECT_NE(parse_command_line("evaluate 0.5"), nullptr);
  EXPECT_EQ(parse_command_line("evaluate"), nullptr);
  EXPECT_STREQ(parse_error_text, "Need more parameters");
  EXPECT_EQ(parse_command_line("evaluate x 5"), nullptr);
  EXPECT_STREQ(parse_error_text, "Invalid parameter");
  EXPECT_EQ(parse_command_line("evaluate b 1 2"), nullptr);
  EXPECT_STREQ(parse_error_text, "Too many parameters");
  EXPECT_EQ(parse_command_line("evaluate 1/0"), nullptr);
  EXPECT_STREQ(parse_error_text, "Divide by 0");
  EXPECT_EQ(parse_command_line("evaluate 0.5|1"), nullptr);
  EXPECT_STREQ(parse_error_text, "Illegal operator for floating point element");
}
