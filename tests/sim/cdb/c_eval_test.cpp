// The C expression evaluator through the evaluate and break commands on a
// program the test builds: operator rules, conversions, lvalues, the type
// checks' and the run-time messages; then the number rules of the other
// families, and the node stack's limit.
#include <gtest/gtest.h>

#include <string>

#include "coff_writer.h"
#include "tests/sim/cmd/cmd_fixture.h"
#include "sim/cdb/c_arith.h"
#include "sim/cdb/c_eval.h"
#include "sim/cdb/c_parse.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/coff.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/core/runloop.h"

namespace {

constexpr int X = 1;

class CEval : public cmd_files {
 protected:
  void SetUp() override {
    cmd_files::SetUp();
    test_coff c;
    c.sections = {{".txt", 0, 0, 0x20, {0}}};
    c.symbol("Fpad", 0x2F, 1, 1, 4, 2);       // tag 0 means none
    c.symbol("Fpoint", 0, 0, 0, 8, 10, 1);  // index 1
    c.aux({0, 0, 2, 0, 0, 0, 0, 0});
    c.symbol("Fx", 0, 0, 0, 4, 8);
    c.symbol("Fy", 1, 0, 0, 4, 8);
    c.symbol(".eos", 0, 0, 0, 0, 102, 1);
    c.aux({0, 0, 2, 0, 0, 0, 0, 0});
    c.symbol("Fother", 0, 0, 0, 8, 10, 1);  // index 7
    c.aux({0, 0, 1, 0, 0, 0, 0, 0});
    c.symbol("Fz", 0, 0, 0, 4, 8);
    c.symbol(".eos", 0, 0, 0, 0, 102, 1);
    c.aux({0, 0, 1, 0, 0, 0, 0, 0});
    c.symbol("Fbits", 0, 0, 0, 8, 10, 1);  // index 12: lo:4, mid:20, neg:3
    c.aux({0, 0, 3, 0, 0, 0, 0, 0});
    c.symbol("Flo", 0, 0, 0, 14, 18, 1);
    c.aux({0, 0, 4, 0, 0, 0, 0, 0});
    c.symbol("Fmid", 4, 0, 0, 15, 18, 1);
    c.aux({0, 0, 20, 0, 0, 0, 0, 0});
    c.symbol("Fneg", 24, 0, 0, 4, 18, 1);
    c.aux({0, 0, 3, 0, 0, 0, 0, 0});
    c.symbol(".eos", 0, 0, 0, 0, 102, 1);
    c.aux({0, 0, 3, 0, 0, 0, 0, 0});
    c.symbol("Fa", 0x10, 1, 1, 4, 2);
    c.symbol("Fb", 0x11, 1, 1, 4, 2);
    c.symbol("Fl", 0x12, 1, 1, 5, 2);
    c.symbol("Ff", 0x14, 1, 1, 6, 2);
    c.symbol("Fp", 0x16, 1, 1, 0x12, 2);  // char *
    c.symbol("Fu", 0x17, 1, 1, 14, 2);
    c.symbol("Fs", 0x20, 1, 1, 8, 2, 1);
    c.aux({1, 0, 2, 0, 0, 0, 0, 0});
    c.symbol("Ft", 0x22, 1, 1, 8, 2, 1);
    c.aux({1, 0, 2, 0, 0, 0, 0, 0});
    c.symbol("Fo", 0x24, 1, 1, 8, 2, 1);
    c.aux({7, 0, 1, 0, 0, 0, 0, 0});
    c.symbol("Fw", 0x28, 1, 1, 8, 2, 1);
    c.aux({12, 0, 3, 0, 0, 0, 0, 0});
    c.symbol("Farr", 0x30, 1, 1, 0x34, 2, 1);  // array [3] of int
    c.aux({0, 0, 3, 3, 0, 0, 0, 0});
    c.symbol("Fmain", 0x40, 0, 1, 0x24, 2);  // function returning int
    c.symbol("dummy_call", 0x50, 0, 1, 0, 2);
    ASSERT_EQ(with_temp_coff(c, [](const char* path) { return read_coff_file(0, path); }), 0) << coff_error_text();
    make_device_current(0);
    poke(0x10, {3, 0xFFFE, 2, 1, 0, 0, 0x40, 0xFFFF});
    poke(0x20, {3, 0xFFFF, 0, 0, 9});
    poke(0x28, {0x0125, 0x0034, 0x0000});  // lo 5, mid 0x34012, neg 0
    poke(0x30, {1, 2, 3});
    poke(0x40, {'h', 'i', 0});
  }

  static void poke(uint32_t address, std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) ASSERT_EQ(write_device_memory(0, X, address++, &w), 1);
  }
  static uint32_t peek(uint32_t address) {
    uint32_t w = 0;
    read_device_memory(0, X, address, &w);
    return w;
  }
  // What the line printed, or its refusal in braces.
  std::string session(const std::string& line) {
    recorded().clear();
    const std::string refused = refusal(line.c_str());
    if (!refused.empty()) return "{" + refused + "}";
    run(line.c_str());
    std::string text;
    for (const std::string& l : recorded().lines)
      if (l != line) text += (text.empty() ? "" : "\n") + l;  // not the echo
    return text;
  }
  struct row {
    const char* expression;
    const char* shown;
  };
  void check_rows(std::initializer_list<row> rows) {
    for (const row& r : rows) EXPECT_EQ(session(std::string("evaluate ") + r.expression), r.shown) << r.expression;
  }
};

TEST_F(CEval, ArithmeticFollowsTheTargetsOperatorRules) {
  check_rows({
      {"{a + b}", "int: 1"},
      {"{a * b}", "int: -6"},
      {"{a / b}", "int: -1"},
      {"{b % a}", "int: -2"},
      {"{(-32767 - 1) / -1}", "int: -32768"},  // wraps, as the target does
      {"{300 * 300}", "int: 24464"},           // the low 16 bits
      {"{l * 2}", "long: 131076"},
      {"{l * 65536}", "long: 131072"},  // the low 32 bits
      {"{l / -2}", "long: -32769"},
      {"{-l % 7}", "long: -4"},
      {"{a + l}", "long: 65541"},
      {"{u + 1}", "unsigned int: 0"},
      {"{b < u}", "int: 1"},  // -2 meets unsigned int as 65534
      {"{b < a}", "int: 1"},
      {"{a ? l : u}", "long: 65538"},
      {"{a + 1.5}", "double: 4.500000000000000e+00"},
      {"{(int)-2.9}", "int: -2"},
      {"{(long)b}", "long: -2"},
      {"{(unsigned long)u}", "unsigned long: 65535"},
      {"{(float)l}", "float: 6.553800000000000e+04"},
      {"{1 << 15}", "int: -32768"},
      {"{1 << 16}", "int: 0"},
      {"{b >> 16}", "int: -1"},
      {"{u >> 15}", "unsigned int: 1"},
      {"{1L << 31}", "long: -2147483648"},
      {"{l >> 16}", "long: 1"},
      {"{a & 6 | 8 ^ 1}", "int: 11"},
      {"{~a}", "int: -4"},
      {"{-l}", "long: -65538"},
      {"{!a || 0}", "int: 0"},
      {"{a && 2.5}", "int: 1"},
      {"{3 == 3.0}", "int: 1"},
      {"{(char)65}", "char: 'A'"},
      {"{sizeof l}", "int: 2"},
      {"{sizeof(struct point)}", "int: 2"},
      {"{sizeof arr}", "int: 3"},
      {"{a, l}", "long: 65538"},
  });
  EXPECT_EQ(session("evaluate h {b}"), "int: 0xfffe");
  EXPECT_EQ(session("evaluate b {a}"), "int: 0011");
}

TEST_F(CEval, PointersArraysMembersAndBitFields) {
  check_rows({
      {"{arr[1]}", "int: 2"},
      {"{2[arr]}", "int: 3"},
      {"{*(arr + 2)}", "int: 3"},
      {"{&arr[2] - arr}", "int: 2"},
      {"{&arr[2] > arr}", "int: 1"},
      {"{&a}", "pointer to int: xi:0x10"},
      {"{*&b}", "int: -2"},
      {"{*p}", "char: 'h'"},
      {"{p[1]}", "char: 'i'"},
      {"{p # 2}", "array [2] of char: {'h', 'i'}"},
      {"{s.x + s.y}", "int: 2"},
      {"{(&s)->y}", "int: -1"},
      {"{s}", "struct point: {x=3, y=-1}"},
      {"{w}", "struct bits: {lo=5, mid=213010, neg=0}"},
      {"{w.mid}", "unsigned long: 213010"},
      {"{main}", "function returning int: pi:0x40"},
  });
}

TEST_F(CEval, AssignmentsStoreThroughTheirLocation) {
  check_rows({
      {"{a = 7}", "int: 7"},
      {"{a += 1.5}", "int: 8"},  // the int of 7 + 1.5
      {"{a++}", "int: 8"},
      {"{--a}", "int: 8"},
      {"{l -= 3}", "long: 65535"},
      {"{f = 2}", "float: 2.000000000000000e+00"},
      {"{f /= 8}", "float: 2.500000000000000e-01"},
      {"{p += 1}", "pointer to char: xi:0x41 \"i\""},
      {"{arr[0] = arr[1] * 10}", "int: 20"},
      {"{t = s}", "struct point: {x=3, y=-1}"},
      {"{w.neg = -1}", "int: -1"},
      {"{w.lo = 18}", "unsigned int: 2"},
      {"{0 && (a = 1)}", "int: 0"},
      {"{sizeof(a = 1)}", "int: 1"},
  });
  EXPECT_EQ(peek(0x10), 8u);
  EXPECT_EQ(peek(0x12), 0xFFFFu);
  EXPECT_EQ(peek(0x16), 0x41u);
  EXPECT_EQ(peek(0x30), 20u);
  EXPECT_EQ(peek(0x23), 0xFFFFu);
  EXPECT_EQ(peek(0x29), 0x0734u);  // neg's three bits in the second word
  EXPECT_EQ(peek(0x28), 0x0122u);
}

TEST_F(CEval, TypeChecksAndRunTimeErrors) {
  check_rows({
      {"{s * 2}", "{Operands of binary * are not both arithmetic types}"},
      {"{1.5 % 2}", "{Operands of binary % are not both integral types}"},
      {"{s << 1}", "{Operands of binary << are not both integral types}"},
      {"{p + p}", "{Operands of binary + invalid}"},
      {"{s + 1}", "{Left operand of binary + is not arithmetic or pointer type}"},
      {"{1 + s}", "{Right operand of binary + is not arithmetic or pointer type}"},
      {"{(void *)p + 1}", "{Pointer arithmetic with void pointers is not allowed}"},
      {"{s - 1}", "{Operands of binary - invalid}"},
      {"{p - 1.5}", "{Right operand of binary - is not arithmetic or pointer type}"},
      {"{s < s}", "{Operands of binary < invalid}"},
      {"{s && 1}", "{Operands of binary && invalid}"},
      {"{3 = a}", "{Left side is not an lvalue in assignment}"},
      {"{a = s}", "{Incompatible types in assignment}"},
      {"{o = s}", "{Incompatible structure types in assignment}"},
      {"{s *= 2}", "{Operands of binary *= are not both arithmetic types}"},
      {"{f |= 2}", "{Operands of binary |= are not both integral types}"},
      {"{a += p}", "{Operands of += invalid}"},
      {"{arr[p]}", "{Array subscript is not an integer}"},
      {"{a[1]}", "{Trying to subscript something which isn't an array}"},
      {"{a # 2}", "{Left operand of # is not a pointer}"},
      {"{(void *)p # 2}", "{The # operator can not be used on void pointers}"},
      {"{*a}", "{Operand of unary * invalid}"},
      {"{&3}", "{Operand of unary & invalid}"},
      {"{&$r0}", "{Operand of unary & invalid}"},
      {"{-s}", "{Operand of unary - invalid}"},
      {"{~1.5}", "{Operand of unary ~ invalid}"},
      {"{!s}", "{Operand of unary ! invalid}"},
      {"{3++}", "{Operand to post-increment not an lvalue}"},
      {"{--s}", "{Operand to pre-decrement not scalar type}"},
      {"{sizeof main}", "{Operand of sizeof invalid}"},
      {"{s ? 1 : 2}", "{First operand to ?: must have scalar type}"},
      {"{a ? s : 1}", "{Invalid types in ?:}"},
      {"{a ? s : o}", "{Incompatible types in ?:}"},
      {"{(struct point)a}", "{Conversion to non-scalar type attempted}"},
      {"{(int)s}", "{Conversion of non-scalar to scalar requested}"},
      {"{(float)p}", "{Cannot cast from pointer to float}"},
      {"{(int *)1.5}", "{Cannot cast from float to pointer}"},
      {"{a / 0}", "{C error: attempt to divide by 0}"},
      {"{l % (a - 3)}", "{C error: attempt to perform modulus by 0}"},
      {"{f / 0.0}", "{C error: attempt to divide by 0.0}"},
  });
}

TEST_F(CEval, ConditionsStopARunInTheirScope) {
  // x:(r1)+ forever: r1 counts up.
  for (const char* line : {"change pc 0", "change r1 0", "asm p:0 move x:(r1)+,x0", "asm p:1 jmp 0"})
    run(line);
  EXPECT_EQ(session("break {main(1)}"), "{Breakpoint expressions cannot contain function calls}");
  EXPECT_EQ(session("break {(int)$r1 == a + 2}"), "");
  run("go");
  for (int rounds = 0; cur_state->running != 0 && rounds < 10000;) rounds += run_device_slice(RUN_SLICE_ROUNDS);
  EXPECT_EQ(session("evaluate {$r1}"), "pointer to unsigned int: xi:0x5");
  auto tree = c_parse("{$r1 != (unsigned *)5}");
  ASSERT_TRUE(tree);
  EXPECT_FALSE(c_condition_holds(*tree));
  tree = c_parse("{s}");  // not a scalar: never holds
  ASSERT_TRUE(tree);
  EXPECT_FALSE(c_condition_holds(*tree));
}

// Locals of main at a pc inside its block: a parameter and an automatic
// variable at the frame register r2, a register variable in r0.
TEST_F(CEval, LocalsOfTheFunctionAtThePc) {
  test_coff c;
  c.sections = {{".txt", 0, 0, 0x20, {0}}, {".txt", 0x10, 0, 0x20, std::vector<uint32_t>(0x40, 0)}};
  c.symbol(".file", 0, 0, -2, 0, 103, 1);
  c.file_aux("a.c", 1);
  c.symbol("Fmain", 0x10, 0, 2, 0x24, 2, 1);
  c.aux({0, 0x20, 0, 0, 0, 0, 0, 0});
  c.symbol(".bf", 0x10, 0, 2, 0, 101, 1);
  c.aux({0, 7, 0, 0, 0, 0, 0, 0});
  c.symbol("Fg", 1, 0, -1, 4, 9);  // parameter
  c.symbol(".bb", 0x14, 0, 2, 0, 100, 1);
  c.aux({0, 0, 0, 0, 0, 0, 0, 0});
  c.symbol("Fk", 2, 0, -1, 4, 1);   // automatic
  c.symbol("Frv", 6, 0, -1, 4, 4);  // register int rv: r0
  c.symbol(".eb", 0x1F, 0, 2, 0, 100, 1);
  c.aux({0, 0, 0, 0, 0, 0, 0, 0});
  c.symbol(".ef", 0x2F, 0, 2, 0, 101, 1);
  c.aux({0, 3, 0, 0, 0, 0, 0, 0});
  c.symbols[0][2] = static_cast<uint32_t>(c.symbols.size());
  ASSERT_EQ(with_temp_coff(c, [](const char* path) { return read_coff_file(0, path); }), 0) << coff_error_text();
  make_device_current(0);
  for (const char* line : {"change pc $16", "change r2 $200", "change x:$201 $21"}) run(line);
  check_rows({
      {"{g}", "int: 33"},
      {"{k = g + 1}", "int: 34"},
      {"{&k}", "pointer to int: xi:0x202"},
      {"{rv = k * 2}", "int: 68"},
      {"{$r0}", "pointer to unsigned int: xi:0x44"},
      {"{&rv}", "{Operand of unary & invalid since it is in a register}"},
  });
  EXPECT_EQ(peek(0x202), 34u);
  // A condition on a local holds only with the pc in its block.
  auto tree = c_parse("{k == 34}");
  ASSERT_TRUE(tree);
  EXPECT_TRUE(c_condition_holds(*tree));
  run("change pc $12");
  EXPECT_FALSE(c_condition_holds(*tree));
}

// A call into the target as the call set-up leaves it: the run that the
// stand-in "starts" leaves 42 in a1 and disturbs the counters.
int started_calls = 0;
int stand_in_call(c_node*) {
  ++started_calls;
  for (const auto& [name, value] : {std::pair{"a1", 42u}, std::pair{"cyc", 777u}, std::pair{"ictr", 55u}}) {
    int row = 0, reg = 0;
    EXPECT_EQ(lookup_register(0, name, &row, &reg), 1);
    const uint32_t words[3] = {value, 0, 0};
    write_register(0, row, reg, words);
  }
  return 1;
}

TEST_F(CEval, ACallResumesTheWalkWithItsResult) {
  set_c_call_starter(stand_in_call);
  run("change cyc 5");
  run("change ictr 3");
  started_calls = 0;
  EXPECT_EQ(session("evaluate h {a + main(2) * 2}"), "");  // nothing until the call's run ends
  EXPECT_EQ(started_calls, 1);
  recorded().clear();
  EXPECT_EQ(c_call_resume(), 1);
  EXPECT_EQ(recorded().lines, std::vector<std::string>{"int: 0x57"});  // 3 + 42 * 2
  EXPECT_EQ(session("evaluate {$cyc + $ictr}"), "unsigned int: 8");
  EXPECT_EQ(c_call_resume(), 0);  // nothing pending
  set_c_call_starter(nullptr);
  EXPECT_EQ(session("evaluate {main(1)}"), "{C error: calls into the target are not available in this build}");
}

TEST_F(CEval, TheNodeStackRefusesTooDeepAWalk) {
  // Deeper than any 255-character text parses: built by hand.
  const auto chain = [](int depth) {
    c_tree tree;
    tree.nodes.push_back(std::make_unique<c_node>());
    tree.nodes.back()->value.type = CT_INT;
    tree.nodes.back()->value.v[3] = 1;
    for (int k = 0; k < depth; ++k) {
      auto n = std::make_unique<c_node>();
      n->op = '-';
      n->middle = tree.nodes.back().get();
      n->value.type = CT_INT;
      tree.nodes.push_back(std::move(n));
    }
    tree.root = tree.nodes.back().get();
    return tree;
  };
  c_tree deep = chain(1100);
  recorded().clear();
  EXPECT_EQ(c_eval_tree(deep), 0);
  EXPECT_EQ(recorded().errors, std::vector<std::string>{"C error: expression too complex to evaluate"});
  c_tree fits = chain(1001);
  EXPECT_EQ(c_eval_tree(fits), 1);
  EXPECT_EQ(fits.root->value.v[3], 0xFFFFu);
}

// The 24-bit families' target floats and integer conversions, and the IEEE
// zero test, with the family selected for the test.
TEST(CArith, TargetFloatsOfThe24BitFamilies) {
  c_family = c_family_of(709);
  const c_tfloat one{8192, 0x400000}, half{8191, 0x400000}, onehalf{8192, 0x600000}, two{8193, 0x400000};
  const c_tfloat product = c_tf_mul(onehalf, c_tf_negate(two));
  EXPECT_EQ(product.e, 8193u);
  EXPECT_EQ(product.m, 0xA00000u);
  EXPECT_DOUBLE_EQ(c_tf_to_double(product), -3.0);
  const c_tfloat zero = c_tf_add(half, c_tf_negate(half));
  EXPECT_EQ(zero.e, 0u);
  EXPECT_EQ(zero.m, 0u);
  const c_tfloat third = c_tf_from_double(c_tf_to_double(one) / c_tf_to_double(c_tfloat{8193, 0x600000}));
  EXPECT_EQ(third.e, 8190u);
  EXPECT_EQ(third.m, 0x555555u);
  const c_tfloat sum = c_tf_add(one, half);
  EXPECT_DOUBLE_EQ(c_tf_to_double(sum), 1.5);
  EXPECT_LT(c_tf_compare(c_tf_negate(two), half), 0);
  EXPECT_GT(c_tf_compare(two, onehalf), 0);

  struct cast_row {
    c_tfloat from;
    uint32_t to;
    uint32_t word3;
  };
  for (const cast_row& r : {cast_row{{8214, 0x400000}, CT_INT, 0x400000}, cast_row{{8215, 0x400000}, CT_UINT, 0x800000},
                            cast_row{{8215, 0x400000}, CT_INT, 0x7FFFFF}, cast_row{{8216, 0x400000}, CT_UINT, 0xFFFFFF},
                            cast_row{c_tf_negate(two), CT_UINT, 2}, cast_row{c_tf_negate(two), CT_INT, 0xFFFFFE}}) {
    c_value f, out;
    f.type = CT_FLOAT, f.v[3] = r.from.e, f.v[4] = r.from.m;
    ASSERT_EQ(c_convert(f, r.to, out), 1);
    EXPECT_EQ(out.v[3], r.word3) << r.from.e << " " << r.from.m << " to " << r.to;
  }
  c_value u, f;
  u.type = CT_UINT, u.v[3] = 0xFFFFFF;
  ASSERT_EQ(c_convert(u, CT_FLOAT, f), 1);
  EXPECT_EQ(f.v[3], 8215u);
  EXPECT_EQ(f.v[4], 0x7FFFFFu);
  c_value l;  // the long -3 in two words
  l.type = CT_LONG, l.v[3] = 0xFFFFFD, l.v[4] = 0xFFFFFF;
  ASSERT_EQ(c_convert(l, CT_DOUBLE, f), 1);
  EXPECT_DOUBLE_EQ(c_float_value(f), -3.0);
  c_family = c_family_of(711);
  c_value z;
  z.type = CT_FLOAT, z.v[2] = 0x80000000;  // -0.0
  EXPECT_EQ(c_is_zero(z), 1);
}

}  // namespace

namespace {

// Constant expressions under each family's rules: the device type made to
// carry another family code for the test.
class CEvalFamilies : public ::testing::Test {
 protected:
  void SetUp() override {
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
    make_device_current(0);
    saved = cur_type->family_code;
  }
  void TearDown() override {
    cur_type->family_code = saved;
    free_device(0);
  }
  int saved = 0;
};

TEST_F(CEvalFamilies, ConstantsFollowEachFamilysRules) {
  struct row {
    int family;
    const char* expression;
    const char* shown;
  };
  const row rows[] = {
      {711, "{1L + 1u}", "long: 2"},
      {710, "{1L + 1u}", "unsigned long: 2"},  // long meets unsigned int as unsigned long only here
      {710, "{(-2147483647 - 1) / -1}", "int: -2147483648"},
      {710, "{1 << 31}", "int: -2147483648"},
      {710, "{1.0 / 3}", "double: 3.333333332557231e-01"},  // 31 fraction bits
      {710, "{(float)1 / 3}", "float: 3.333333432674408e-01"},
      {709, "{0x800000}", "unsigned int: 8388608"},
      {709, "{8388607 + 1}", "int: -8388608"},
      {709, "{1.5 * -2.0}", "double: -3.000000000000000e+00"},
      {709, "{0.5 + -0.5}", "double: 0.000000000000000e+00"},
      {709, "{1.0 / 3.0}", "double: 3.333333134651184e-01"},  // m 0x555555
      {709, "{(int)(1.0 / 3.0 * 3)}", "int: 1"},  // the product rounds up to 1.0
      {709, "{(long)-2.5}", "long: -2"},
      {709, "{-1L >> 40}", "long: -1"},
      {709, "{(unsigned long)-1 >> 47}", "unsigned long: 1"},
      {712, "{100000L * 100000L}", "long: 10000000000"},
      {713, "{300 * 300}", "int: 24464"},
      {714, "{0x7fffffL + 1L}", "long: -8388608"},  // one-word longs of 24 bits
  };
  for (const row& r : rows) {
    cur_type->family_code = r.family;
    const auto tree = c_parse(r.expression);
    ASSERT_TRUE(tree) << r.expression << ": " << c_last_error();
    ASSERT_EQ(c_eval_tree(*tree), 1) << r.expression;
    EXPECT_EQ(c_type_text(tree->root->value) + ": " + c_value_text(tree->root->value, C_NATURAL), r.shown)
        << r.family << " " << r.expression;
  }
}

// type: the expression's type and where its value lives.
TEST_F(CEval, TypeNamesTheLocation) {
  struct row {
    const char* line;
    const char* shown;
  };
  const row rows[] = {
      {"type {a}", "int at xi:0x10"},
      {"type {a+1}", "int"},
      {"type {w.lo}", "unsigned int starting at xi:0x28, bit 0, with length 4 bits"},
      {"type {w.neg}", "int starting at xi:0x29, bit 8, with length 3 bits"},
      {"type {$r1}", "pointer to unsigned int in register r1"},
      {"type {arr}", "array [3] of int at xi:0x30"},
  };
  for (const row& r : rows) {
    recorded().clear();
    run(r.line);
    EXPECT_EQ(output(), std::string(r.line) + "\n" + r.shown + "\n");
  }
  EXPECT_EQ(refusal("type {main()}"), "Type expressions cannot contain function calls");
  EXPECT_EQ(refusal("watch {main()}"), "Watch expressions cannot contain function calls");
}

}  // namespace
