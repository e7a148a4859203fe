// The C expression parser: precedence and associativity, casts and type
// names, members, calls, registers, and every message as printed.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "coff_writer.h"
#include "sim/cdb/c_parse.h"
#include "sim/cdb/coff.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"

namespace {

std::string op_name(uint32_t op) {
  switch (op) {
    case CN_CONDITIONAL: return "?:";
    case CN_CAST: return "cast";
    case CN_POST_INC: return "post++";
    case CN_PRE_INC: return "pre++";
    case CN_SUBSCRIPT: return "[]";
    case CN_CALL: return "call";
    case CN_COMMA: return ",";
    case 312: return "sizeof";
    case 313: return "->";
    case 302: return "||";
    case 303: return "&&";
    case 304: return "==";
    case 308: return "<<";
    case 295: return "+=";
    default: return std::string(1, static_cast<char>(op));
  }
}

// Prefix form: located leaves as @address, constants by value, types as T.
std::string text(const c_node* n) {
  if (n == nullptr) return "";
  if (n->op == 0) {
    char out[32];
    if (n->value.sclass == CN_REGISTER_CLASS) return "$reg";
    if (n->value.located != 0) std::snprintf(out, sizeof out, "@%x", n->value.address);
    else if (n->value.sclass == 0 && n->value.v[3] == 0 && n->value.type != 4) std::snprintf(out, sizeof out, "T%x", n->value.type);
    else std::snprintf(out, sizeof out, "%u", n->value.v[3]);
    return out;
  }
  std::string s = "(" + op_name(n->op);
  if (n->op == CN_CAST) s += " T" + [&] { char b[16]; std::snprintf(b, sizeof b, "%x", n->value.type); return std::string(b); }();
  for (const c_node* k : {n->first, n->middle, n->third}) {
    if (k == nullptr || (n->op == CN_CAST && k == n->first)) continue;
    s += " " + text(k);
  }
  return s + ")";
}

class CParse : public ::testing::Test {
 protected:
  void SetUp() override {
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
    test_coff c;
    c.sections = {{".txt", 0, 0, 0x20, {0}}};
    c.symbol("Fa", 0x10, 1, 1, 4, 2);
    c.symbol("Fb", 0x11, 1, 1, 4, 2);
    c.symbol("Fc", 0x12, 1, 1, 4, 2);
    c.symbol("Fp", 0x13, 1, 1, 0x12, 2);  // pointer to char
    c.symbol("Ff", 0x40, 0, 1, 0x24, 2);  // function returning int
    c.symbol("Fpoint", 0, 0, 0, 8, 10, 1);  // structure tag: index 5
    c.aux({0, 0, 2, 0, 0, 0, 0, 0});
    c.symbol("Fx", 0, 0, 0, 4, 8);
    c.symbol("Fy", 1, 0, 0, 4, 8);
    c.symbol(".eos", 0, 0, 0, 0, 102, 1);
    c.aux({0, 0, 2, 0, 0, 0, 0, 0});
    c.symbol("Fs", 0x20, 1, 1, 8, 2, 1);
    c.aux({5, 0, 2, 0, 0, 0, 0, 0});
    program = c;
  }
  void TearDown() override { free_device(0); }
  void load(const test_coff& c) {
    ASSERT_EQ(with_temp_coff(c, [](const char* path) { return read_coff_file(0, path); }), 0)
        << coff_error_text();
    make_device_current(0);
  }
  static std::string parsed(const char* expression) {
    const auto tree = c_parse(expression);
    return tree ? text(tree->root) : "! " + c_last_error();
  }
  test_coff program;
};

TEST_F(CParse, TreesAndMessages) {
  load(program);
  const std::pair<const char*, const char*> cases[] = {
      {"{a = b = 3}", "(= @10 (= @11 3))"},
      {"{a - b - c}", "(- (- @10 @11) @12)"},
      {"{a ? b : c ? 1 : 2}", "(?: @10 @11 (?: @12 1 2))"},
      {"{a || b && c | 1 ^ 2 & 3 == 4 < 5 << 6 + 7 * 8}",
       "(|| @10 (&& @11 (| @12 (^ 1 (& 2 (== 3 (< 4 (<< 5 (+ 6 (* 7 8))))))))))"},
      {"{a, b += 1}", "(, @10 (= @11 (+ @11 1)))"},  // rewritten as an assignment
      {"{-a++ * !b}", "(* (- (post++ @10)) (! @11))"},
      {"{(a)}", "@10"},
      {"{p[1]}", "([] @13 1)"},
      {"{p # 4}", "(# @13 4)"},
      {"{(unsigned char) a}", "(cast Tc @10)"},
      {"{(char int) a}", "(cast T2 @10)"},
      {"{(unsigned long int) a}", "(cast Tf @10)"},
      {"{(long unsigned) a}", "(cast Tf @10)"},
      {"{(short int) a}", "(cast T3 @10)"},
      {"{(signed char) a}", "(cast T2 @10)"},
      {"{(int *) a}", "(cast T14 @10)"},
      {"{(struct point *) a}", "(cast T18 @10)"},
      {"{sizeof(long)}", "(sizeof T5)"},
      {"{sizeof a}", "(sizeof @10)"},
      {"{s.y}", "(. @20 1)"},
      {"{(float int) a}", "! Two or more data types in cast"},
      {"{(struct nope) a}", "! There is no struct or union named nope"},
      {"{(enum nope) a}", "! There is no enumeration called nope"},
      {"{f(1, 2)}", "! Command-line function calls aren't supported in your crt0 file"},
      {"{s.nosuch}", "! `nosuch' is not a member of the structure"},
      {"{a.m}", "! Requesting member `m' in item that is not structure or union"},
      {"{a->m}", "! Attempting to use -> operator on item that is not pointer"},
      {"{a +}", "! Premature end of C expression"},
      {"{a b}", "! Syntax error near b"},
      {"{a + b = 3}", "! Syntax error near ="},
      {"{q}", "! Undeclared identifier q"},
      {"{$nosuchregister1}", "! Register nosuchregi unknown"},
      {"{$pc + 1}", "(+ $reg (cast Te 1))"},  // int converted to unsigned int
      {"{ }", "! Empty C expression"},
  };
  for (const auto& [expression, want] : cases) EXPECT_EQ(parsed(expression), want) << expression;
}

TEST_F(CParse, CallsNeedTheDummyCallRoutine) {
  program.symbol("dummy_call", 0x50, 0, 1, 0, 211);
  load(program);
  const auto tree = c_parse("{f(1, a)}");
  ASSERT_TRUE(tree) << c_last_error();
  EXPECT_EQ(text(tree->root), "(call @40)");
  ASSERT_EQ(tree->root->middle->args.size(), 2u);
  EXPECT_EQ(text(tree->root->middle->args[0]), "@10");  // the last argument first
  EXPECT_EQ(c_tree_has_call(tree->root), 1);
}

}  // namespace

#include "sim/cdb/c_scope.h"
#include "sim/engine/device/regaccess.h"

namespace {

// One unit: a global g and a static k; main (p:$10-$2f) with a parameter g
// and a block ($14-$1f) with an automatic k.
test_coff scoped() {
  test_coff c;
  c.sections = {{".txt", 0, 0, 0x20, {0}}, {".dat", 0, 1, 0x40, {0}},
                {".txt", 0x10, 0, 0x20, std::vector<uint32_t>(0x40, 0)}};
  c.symbol(".file", 0, 0, -2, 0, 103, 1);     // 0
  c.file_aux("a.c", 1);
  c.symbol("Fmain", 0x10, 0, 3, 0x24, 2, 1);  // 2
  c.aux({0, 0x20, 0, 0, 0, 0, 0, 0});
  c.symbol(".bf", 0x10, 0, 3, 0, 101, 1);     // 4
  c.aux({0, 7, 0, 0, 0, 0, 0, 0});
  c.symbol("Fg", 1, 0, -1, 4, 9);             // 6: parameter
  c.symbol(".bb", 0x14, 0, 3, 0, 100, 1);     // 7
  c.aux({0, 0, 0, 0, 0, 0, 0, 0});
  c.symbol("Fk", 2, 0, -1, 4, 1);             // 9: automatic
  c.symbol(".eb", 0x1F, 0, 3, 0, 100, 1);     // 10
  c.aux({0, 0, 0, 0, 0, 0, 0, 0});
  c.symbol(".ef", 0x2F, 0, 3, 0, 101, 1);     // 12
  c.aux({0, 3, 0, 0, 0, 0, 0, 0});
  c.symbol("Fg", 0x100, 1, 3, 4, 2);          // 14: global
  c.symbol("Fk", 0x101, 1, 3, 4, 3);          // 15: static of the unit
  c.symbol("Fh", 0x30, 0, 3, 0x24, 2, 1);     // 16: a function without ".bf"
  c.aux({0, 0x10, 0, 0, 0, 0, 0, 0});
  c.symbols[0][2] = static_cast<uint32_t>(c.symbols.size());
  return c;
}

TEST_F(CParse, NamesInTheScopeOfThePc) {
  ASSERT_EQ(with_temp_coff(scoped(), [](const char* path) { return read_coff_file(0, path); }), 0)
      << coff_error_text();
  int row = 0, reg = 0;
  ASSERT_TRUE(lookup_register(0, "pc", &row, &reg));
  struct case_t {
    uint32_t pc;
    const char* name;
    int index, block;
  };
  const case_t cases[] = {
      {0x16, "k", 9, 7},    // the local hides the static
      {0x16, "g", 6, -1},   // the parameter hides the global
      {0x12, "k", 15, -1},  // before the block: the static
      {0x40, "g", 14, -1},  // outside main: the global
      {0x40, "k", 15, -1},
      {0x16, "nosuch", -1, -1},
  };
  for (const case_t& c : cases) {
    ASSERT_TRUE(write_register(0, row, reg, &c.pc));
    make_device_current(0);
    EXPECT_EQ(c_block_at(c.pc), c.pc == 0x16 ? 7 : -1) << c.pc;
    expr_scope_block = expr_scope_function = -1;
    EXPECT_EQ(c_lookup_identifier(c.name), c.index) << c.name << " at " << c.pc;
    EXPECT_EQ(expr_scope_block, c.block) << c.name << " at " << c.pc;
  }
  EXPECT_EQ(c_scope_function_at(0x16), 4);
  EXPECT_EQ(c_scope_function_at(0x10), 4);
  EXPECT_EQ(c_function_at(0x2F), 2);
  EXPECT_EQ(c_function_at(0x30), 16);
  EXPECT_EQ(c_function_at(0x40), -1);
  EXPECT_EQ(c_block_parent(7), -1);
  // Begin and end of a body, and a function that has none.
  EXPECT_EQ(c_function_begin(2), 4);
  EXPECT_EQ(c_function_end(2), 12);
  EXPECT_EQ(c_function_body_address(0x2F), 0x10u);
  EXPECT_EQ(c_function_begin(16), -1);
  EXPECT_EQ(c_function_end(16), -1);
  EXPECT_EQ(c_scope_function_at(0x34), 16);
  EXPECT_EQ(c_function_body_address(0x34), 0u);
  EXPECT_EQ(c_symbol_name(2), "main");
  EXPECT_EQ(c_symbol_name(4), ".bf");
}

}  // namespace

namespace {

TEST_F(CParse, TypeNames) {
  program.symbol("Fcolor", 0, 0, 0, 10, 15);  // 13
  program.symbol("Fred", 2, 0, 0, 11, 16);    // 14
  load(program);
  struct case_t {
    uint32_t type, tag, dim0, dim1;
    const char* text;
  };
  const case_t cases[] = {
      {4, 0, 1, 1, "int"},
      {0x14, 0, 1, 1, "pointer to int"},
      {0xD4, 0, 3, 1, "pointer to array [3] of int"},
      {0xF4, 0, 3, 5, "array [3] of array [5] of int"},
      {0x2F, 0, 1, 1, "function returning unsigned long"},
      {8, 5, 1, 1, "struct point"},
      {0x18, 5, 1, 1, "pointer to struct point"},
      {9, 0, 1, 1, "union <union type not available>"},
      {8, 0, 1, 1, "struct <structure type not available>"},
      {10, 13, 1, 1, "enum color"},
      {11, 14, 1, 1, "enum color"},
      {10, 0, 1, 1, "<type unknown>"},
  };
  for (const case_t& c : cases) {
    c_value v;
    v.type = c.type;
    v.tag = c.tag;
    v.dims[0] = c.dim0;
    v.dims[1] = c.dim1;
    EXPECT_EQ(c_type_text(v), c.text) << std::hex << c.type;
  }
  // A parsed enumeration constant and a cast carry their types.
  const auto tree = c_parse("{(unsigned char **) red}");
  ASSERT_TRUE(tree) << c_last_error();
  EXPECT_EQ(c_type_text(tree->root->value), "pointer to pointer to unsigned char");
  EXPECT_EQ(c_type_text(tree->root->third->value), "enum color");
}

}  // namespace

#include "sim/cdb/c_print.h"
#include "sim/engine/device/memory.h"

namespace {

TEST_F(CParse, SizesAndValueTexts) {
  load(program);
  c_debug_reset();
  const auto of = [](uint32_t type, uint32_t tag = 0, uint32_t dim = 1) {
    c_value v;
    v.type = type;
    v.tag = tag;
    v.dims[0] = dim;
    return v;
  };
  EXPECT_EQ(c_sizeof_words(of(CT_INT)), 1);
  EXPECT_EQ(c_sizeof_words(of(CT_LONG)), 2);
  EXPECT_EQ(c_sizeof_words(of(CT_FLOAT)), 2);
  EXPECT_EQ(c_sizeof_words(of(CT_DOUBLE)), 2);
  EXPECT_EQ(c_sizeof_words(of(0x15)), 1);  // pointer to long
  EXPECT_EQ(c_sizeof_words(of(0x35, 0, 3)), 6);
  EXPECT_EQ(c_sizeof_words(of(CT_STRUCT, 5)), 2);

  struct row {
    uint32_t lo, hi;
    bool two;
    int radix;
    bool is_signed;
    const char* text;
  };
  const row rows[] = {
      {0xFFFF, 0, false, C_SIGNED, true, "-1"},
      {0xFFFF, 0, false, C_UNSIGNED, true, "65535"},
      {0xFFFF, 0, false, C_HEX, true, "0xffff"},
      {0x5, 0, false, C_BINARY, false, "0101"},
      {0x0, 0, false, C_BINARY, false, "0000"},
      {0x1234, 0, false, C_BINARY, false, "0001001000110100"},
      {0x8000, 0, false, C_FRACTION, true, "-1.000000000000000"},
      {0x4000, 0, false, C_FRACTION, true, "0.500000000000000"},
      {0x1170, 1, true, C_SIGNED, true, "70000"},
      {0x1170, 1, true, C_HEX, true, "0x11170"},
      {0x0001, 0, true, C_HEX, true, "0x1"},
      {0xFFFF, 0xFFFF, true, C_SIGNED, true, "-1"},
      {0x0003, 0x0001, true, C_BINARY, false, "00010000000000000011"},
  };
  for (const row& r : rows) EXPECT_EQ(c_integer_text(r.lo, r.hi, r.two, r.radix, r.is_signed), r.text) << r.text;

  c_value ch = of(CT_CHAR);
  for (const auto& [code, text] : {std::pair{65u, "'A'"}, {10u, "'\\n'"}, {39u, "'\\''"}, {200u, "'\\310'"}}) {
    ch.v[3] = code;
    EXPECT_EQ(c_value_text(ch, C_NATURAL), text);
  }
  c_value f = of(CT_FLOAT);
  const float one_and_half = 1.5f;
  std::memcpy(&f.v[2], &one_and_half, 4);
  EXPECT_EQ(c_value_text(f, C_NATURAL), "1.500000000000000e+00");
  EXPECT_EQ(c_value_text(f, C_HEX), "0x3fc00000");

  // A located external int read from memory.
  const uint32_t word = 0xFFFE;
  write_device_memory(0, SPACE_X, 0x10, &word);
  make_device_current(0);
  const auto tree = c_parse("{a}");
  ASSERT_TRUE(tree) << c_last_error();
  EXPECT_EQ(c_value_text(tree->root->value, C_NATURAL), "-2");
  EXPECT_EQ(c_value_text(tree->root->value, C_HEX), "0xfffe");
}

}  // namespace

namespace {

TEST_F(CParse, CompatibleTypesAndEnumerations) {
  test_coff c;
  c.sections = {{".txt", 0, 0, 0x20, {0}}};
  const auto aggregate = [&](const char* tag, uint32_t tag_class, uint32_t member_class,
                             std::initializer_list<std::pair<const char*, uint32_t>> members) {
    const uint32_t index = c.symbol(tag, 0, 0, 0, tag_class == 10 ? 8 : tag_class == 12 ? 9 : 10, tag_class);
    for (const auto& [name, value] : members) c.symbol(name, value, 0, 0, 4, member_class);
    c.symbol(".eos", 0, 0, 0, 0, 102, 1);
    c.aux({0, 0, static_cast<uint32_t>(members.size()), 0, 0, 0, 0, 0});
    return index;
  };
  const uint32_t s1 = aggregate("Fs1", 10, 8, {{"Fa", 0}, {"Fb", 1}});
  const uint32_t s2 = aggregate("Fs2", 10, 8, {{"Fb", 0}, {"Fa", 1}});
  const uint32_t s3 = aggregate("Fs3", 10, 8, {{"Fa", 0}, {"Fb", 1}});
  const uint32_t u1 = aggregate("Fu1", 12, 11, {{"Fa", 0}, {"Fb", 0}});
  const uint32_t u2 = aggregate("Fu2", 12, 11, {{"Fb", 0}, {"Fa", 0}});
  const uint32_t e1 = aggregate("Fe1", 15, 16, {{"Fred", 0}, {"Fblue", 1}});
  const uint32_t e2 = aggregate("Fe2", 15, 16, {{"Fblue", 1}, {"Fred", 0}});
  const uint32_t e3 = aggregate("Fe3", 15, 16, {{"Fred", 0}, {"Fblue", 2}});
  ASSERT_EQ(with_temp_coff(c, [](const char* path) { return read_coff_file(0, path); }), 0) << coff_error_text();
  make_device_current(0);
  struct case_t {
    uint32_t type_a, tag_a, type_b, tag_b;
    int compatible;
  };
  const case_t cases[] = {
      {8, s1, 8, s2, 0},        // the same members in another order
      {8, s1, 8, s3, 1},        {0x18, s1, 0x18, s3, 1},  // pointers to them too
      {9, u1, 9, u2, 1},        {10, e1, 10, e2, 1},      {10, e1, 10, e3, 0},
      {4, 0, 14, 0, 0},         {0x14, 0, 0x14, 0, 1},    {0x34, 0, 0x34, 0, 0},  // arrays never
      {8, s1, 8, s1, 1},
  };
  for (const case_t& k : cases)
    EXPECT_EQ(c_types_compatible(k.type_a, k.tag_a, k.type_b, k.tag_b), k.compatible)
        << k.type_a << "/" << k.tag_a << " " << k.type_b << "/" << k.tag_b;
  EXPECT_EQ(c_struct_size(s1), 2);
  EXPECT_EQ(c_enum_tag_of(e1 + 2), static_cast<int>(e1));
  EXPECT_EQ(c_enum_member_by_value(e1, 1), static_cast<int>(e1 + 2));
  EXPECT_EQ(c_enum_member_by_value(e1, 5), -1);
  EXPECT_EQ(c_is_line_address(0x10), 0);  // no line records
  EXPECT_EQ(c_scope_matches(-1, -1), 1);
}

}  // namespace
