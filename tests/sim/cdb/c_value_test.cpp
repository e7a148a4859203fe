// C values against a test-built program: array dimensions and type text,
// strings, arrays, structures and enumerations printed by value, fetch and
// store through memory, register variables and simulator registers, the
// number rules of every family, and wrapped printing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "coff_writer.h"
#include "sim/cdb/c_parse.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/coff.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"
#include "support/test_frontend.h"

namespace {

constexpr int X = 1;

class CValue : public ::testing::Test {
 protected:
  void SetUp() override {
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
    test_coff c;
    c.sections = {{".txt", 0, 0, 0x20, {0}}};
    c.symbol("Fpad", 0x2F, 1, 1, 4, 2);  // tag 0 means no tag information
    c.symbol("Fpoint", 0, 0, 0, 8, 10, 1);  // index 1
    c.aux({0, 0, 2, 0, 0, 0, 0, 0});
    c.symbol("Fx", 0, 0, 0, 4, 8);
    c.symbol("Fy", 1, 0, 0, 4, 8);
    c.symbol(".eos", 0, 0, 0, 0, 102, 1);
    c.aux({0, 0, 2, 0, 0, 0, 0, 0});
    c.symbol("Fcolor", 0, 0, 0, 10, 15, 1);  // index 7
    c.aux({0, 0, 1, 0, 0, 0, 0, 0});
    c.symbol("Fred", 0, 0, 0, 11, 16);
    c.symbol("Fblue", 1, 0, 0, 11, 16);
    c.symbol(".eos", 0, 0, 0, 0, 102, 1);
    c.aux({0, 0, 1, 0, 0, 0, 0, 0});
    c.symbol("Fi", 0x10, 1, 1, 4, 2);
    c.symbol("Fl", 0x11, 1, 1, 5, 2);
    c.symbol("Ff", 0x13, 1, 1, 6, 2);
    c.symbol("Fs", 0x15, 1, 1, 8, 2, 1);
    c.aux({1, 0, 2, 0, 0, 0, 0, 0});
    c.symbol("Fe", 0x17, 1, 1, 10, 2, 1);
    c.aux({7, 0, 1, 0, 0, 0, 0, 0});
    c.symbol("Fstr", 0x18, 1, 1, 0x12, 2);  // char *
    c.symbol("Fpa", 0x19, 1, 1, 0xD4, 2, 1);  // pointer to array [3] of int
    c.aux({0, 0, 1, 3, 0, 0, 0, 0});
    c.symbol("Farr", 0x1A, 1, 1, 0xF4, 2, 1);  // array [2] of array [3] of int
    c.aux({0, 0, 6, 2, 3, 0, 0, 0});
    c.symbol("Fpts", 0x30, 1, 1, 0x38, 2, 1);  // array [2] of struct point
    c.aux({1, 0, 4, 2, 0, 0, 0, 0});
    ASSERT_EQ(with_temp_coff(c, [](const char* path) { return read_coff_file(0, path); }), 0) << coff_error_text();
    make_device_current(0);
  }
  void TearDown() override { free_device(0); }

  static void poke(uint32_t address, std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) ASSERT_EQ(write_device_memory(0, X, address++, &w), 1);
  }
  static uint32_t peek(uint32_t address) {
    uint32_t w = 0;
    read_device_memory(0, X, address, &w);
    return w;
  }
  static c_value value_of(const char* expression) {
    const auto tree = c_parse(expression);
    EXPECT_TRUE(tree) << expression << ": " << c_last_error();
    return tree ? tree->root->value : c_value{};
  }
};

TEST_F(CValue, TypesAndAggregatesPrintByValue) {
  struct row {
    const char* expression;
    const char* type;
    int radix;
    const char* text;
  };
  poke(0x10, {0xFFF9});
  poke(0x15, {3, 0xFFFF});
  poke(0x17, {1});
  poke(0x18, {0x40});
  poke(0x40, {'h', 'i', '"', '\n', 1, 0});
  poke(0x19, {0x1A});
  poke(0x1A, {1, 2, 3, 4, 5, 0xFFFF});
  poke(0x30, {7, 8, 9, 10});
  const row rows[] = {
      {"{pa}", "pointer to array [3] of int", C_NATURAL, "xi:0x1a"},
      {"{arr}", "array [2] of array [3] of int", C_NATURAL, "{{1, 2, 3}, {4, 5, -1}}"},
      {"{arr}", "array [2] of array [3] of int", C_HEX, "{{0x1, 0x2, 0x3}, {0x4, 0x5, 0xffff}}"},
      {"{str}", "pointer to char", C_NATURAL, "xi:0x40 \"hi\\\"\\n\\1\""},
      {"{str}", "pointer to char", C_UNSIGNED, "xi:64 \"hi\\\"\\n\\1\""},
      {"{s}", "struct point", C_NATURAL, "{x=3, y=-1}"},
      {"{s}", "struct point", C_BINARY, "{x=0011, y=1111111111111111}"},
      {"{pts}", "array [2] of struct point", C_NATURAL, "{{x=7, y=8}, {x=9, y=10}}"},
      {"{e}", "enum color", C_NATURAL, "blue"},
      {"{e}", "enum color", C_HEX, "0x1"},
      {"{i}", "int", C_FRACTION, "-0.000213623046875"},
  };
  for (const row& r : rows) {
    const c_value v = value_of(r.expression);
    EXPECT_EQ(c_type_text(v), r.type) << r.expression;
    EXPECT_EQ(c_value_text(v, r.radix), r.text) << r.expression << " radix " << r.radix;
  }
  poke(0x17, {5});  // no member has this value
  EXPECT_EQ(c_value_text(value_of("{e}"), C_NATURAL), "5");
  // A string without an end is closed after 1025 characters.
  for (uint32_t a = 0x100; a < 0x100 + 1100; ++a) poke(a, {'a'});
  poke(0x18, {0x100});
  EXPECT_EQ(c_value_text(value_of("{str}"), C_NATURAL), "xi:0x100 \"" + std::string(1025, 'a') + "\"");
}

TEST_F(CValue, StoreAndFetchThroughMemoryAndRegisters) {
  c_value i = value_of("{i}");
  i.v[3] = 0x1234;
  ASSERT_EQ(c_store(i), 1);
  EXPECT_EQ(peek(0x10), 0x1234u);

  c_value l = value_of("{l}");
  l.v[3] = 0x1170, l.v[4] = 1;
  ASSERT_EQ(c_store(l), 1);
  EXPECT_EQ(peek(0x11), 0x1170u);
  EXPECT_EQ(peek(0x12), 1u);
  EXPECT_EQ(c_value_text(value_of("{l}"), C_NATURAL), "70000");

  c_value f = value_of("{f}");
  ASSERT_TRUE(c_store_float(-2.5, CT_FLOAT, f));
  ASSERT_EQ(c_store(f), 1);
  EXPECT_EQ(peek(0x13), 0u);
  EXPECT_EQ(peek(0x14), 0xC020u);
  EXPECT_EQ(c_value_text(value_of("{f}"), C_NATURAL), "-2.500000000000000e+00");

  // A structure is copied word by word from the source's location.
  poke(0x30, {11, 12});
  c_value s = value_of("{s}");
  s.v[3] = 0x30, s.v[4] = X;
  ASSERT_EQ(c_store(s), 1);
  EXPECT_EQ(c_value_text(value_of("{s}"), C_NATURAL), "{x=11, y=12}");

  // A register variable lives in r0; a simulator register is written and
  // read back.
  int row = 0, reg = 0;
  ASSERT_EQ(lookup_register(0, "r0", &row, &reg), 1);
  const uint32_t r0[3] = {0x77, 0, 0};
  ASSERT_EQ(write_register(0, row, reg, r0), 1);
  c_value ri;  // a register variable of an int in r0
  ri.type = CT_INT, ri.sclass = 4, ri.address = 6, ri.located = 1;
  EXPECT_EQ(c_value_text(ri, C_NATURAL), "119");
  ri.v[3] = 0x55;
  ASSERT_EQ(c_store(ri), 1);
  uint32_t back[3] = {};
  ASSERT_EQ(read_register(0, row, reg, back), 1);
  EXPECT_EQ(back[0], 0x55u);

  c_value r1 = value_of("{$r1}");
  EXPECT_EQ(c_type_text(r1), "pointer to unsigned int");
  r1.v[3] = 0x1234;
  ASSERT_EQ(c_store(r1), 1);
  EXPECT_EQ(r1.v[3], 0x1234u);
  EXPECT_EQ(c_value_text(value_of("{$r1}"), C_HEX), "xe:0x1234");
  EXPECT_STREQ(c_register_var_name(CT_LONG, 0), "a");
  EXPECT_STREQ(c_register_var_name(CT_INT, 0), "a1");
}

// The number rules of the other families, selected as the device type of
// another family would select them.
TEST_F(CValue, OtherFamiliesNumberRules) {
  struct row {
    int family;
    uint32_t type;
    uint32_t v0, v1, v2, v3, v4;
    int radix;
    const char* text;
    int size;
  };
  const row rows[] = {
      {709, CT_FLOAT, 0, 0, 0, 8214 - 22, 0x600000, C_NATURAL, "1.500000000000000e+00", 2},
      {709, CT_DOUBLE, 0, 0, 0, 8214 - 22, 0xA00000, C_NATURAL, "-1.500000000000000e+00", 2},
      {709, CT_FLOAT, 0, 0, 0, 0x1, 0x2, C_HEX, "0x2000001", 2},
      {712, CT_LONG, 0, 0, 0, 0xFFFFFF, 0xFFFFFF, C_SIGNED, "-1", 2},
      {712, CT_ULONG, 0, 0, 0, 0x000001, 0x000001, C_HEX, "0x1000001", 2},
      {712, CT_INT, 0, 0, 0, 0x800000, 0, C_FRACTION, "-1.000000000000000", 1},
      {710, CT_DOUBLE, 0, 0x3FF80000, 0, 0, 0, C_NATURAL, "1.500000000000000e+00", 2},
      {710, CT_FLOAT, 0, 0, 0x3FC00000, 0, 0, C_FRACTION, "1.500000000000000e+00", 1},
      {710, CT_LONG, 0, 0, 0, 0xFFFFFFFF, 0, C_SIGNED, "-1", 1},
      {710, CT_UINT, 0, 0, 0, 0x80000000, 0, C_BINARY, "10000000000000000000000000000000", 1},
      {714, CT_FLOAT, 0, 0, 0x3FC00000, 0, 0, C_NATURAL, "1.500000000000000e+00", 1},
      {713, CT_FLOAT, 0, 0, 0x3FC00000, 0, 0, C_HEX, "0x3fc00000", 2},
  };
  for (const row& r : rows) {
    c_family = c_family_of(r.family);
    c_value v;
    v.type = r.type;
    const uint32_t words[5] = {r.v0, r.v1, r.v2, r.v3, r.v4};
    std::memcpy(v.v, words, sizeof words);
    EXPECT_EQ(c_value_text(v, r.radix), r.text) << r.family << " type " << r.type;
    EXPECT_EQ(c_sizeof_words(v), r.size) << r.family << " type " << r.type;
  }
  // A stored 24-bit float reads back as the same number.
  c_family = c_family_of(709);
  c_value f;
  f.type = CT_DOUBLE;
  ASSERT_TRUE(c_store_float(-0.375, CT_DOUBLE, f));
  EXPECT_EQ(c_value_text(f, C_NATURAL), "-3.750000000000000e-01");
  EXPECT_STREQ(c_register_var_name(CT_INT, 21), "n7");
  c_family = c_family_of(710);
  EXPECT_STREQ(c_register_var_name(CT_DOUBLE, 4), "d1.d");
  EXPECT_STREQ(c_register_var_name(CT_INT, 39), "n7");
  c_debug_reset();
}

TEST_F(CValue, WrappedPrinting) {
  const std::string members = "{alpha=1, beta=2}, {gamma=3, delta=4}";
  std::string words;
  for (int k = 0; k < 30; ++k) words += "word ";
  recorded().clear();
  print_wrapped(members, "> ", nullptr, 0, true);
  print_wrapped(words, nullptr, "+", 2, true);
  print_wrapped("\"" + std::string(100, 'q') + "\"", nullptr, nullptr, 0, true);
  std::string out;
  for (const std::string& line : recorded().lines) out += line + "\n";
  EXPECT_EQ(out, "> {alpha=1, beta=2},\n{gamma=3, delta=4}\n" + words.substr(0, 79) + "\n  +" + words.substr(80, 70) +
                     "\n\"" + std::string(79, 'q') + "\n" + std::string(21, 'q') + "\"\n")
      << out;
}

}  // namespace
