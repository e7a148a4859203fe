// The expression evaluator: precedence, every operator on 40-bit values,
// constants by prefix and by default radix, operands, the forcing prefixes
// and every message.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "expr_fixture.h"
#include "sim/expr/symbols.h"
#include "sim/expr/valfmt.h"

namespace {

struct int_case {
  const char* text;
  words3 expect;
};

void expect_ints(expr_fixture& f, const std::vector<int_case>& cases,
                 expr_result (expr_fixture::*eval)(const char*)) {
  for (const int_case& c : cases) {
    expr_result v = (f.*eval)(c.text);
    ASSERT_TRUE(v.has_value()) << c.text << ": " << (parse_error_text ? parse_error_text : "");
    EXPECT_EQ(words_of(*v), c.expect) << c.text;
    EXPECT_TRUE(v->type & AV_INT) << c.text;
  }
}

constexpr words3 MINUS_ONE = {0xFFFF, 0xFFFF, 0xFF};

}  // namespace

class Expr : public expr_fixture {
 protected:
  void check(const std::vector<int_case>& cases) { expect_ints(*this, cases, &Expr::eval); }
};

TEST_F(Expr, PrecedenceAndAssociation) {
  check({
      {"1 + 2 * 3", {7, 0, 0}},
      {"(1+2)*3", {9, 0, 0}},
      {"8-2-1", {5, 0, 0}},
      {"10/3*3", {9, 0, 0}},
      {"2+3<<1", {10, 0, 0}},      // + binds tighter than <<
      {"1<<2+1", {8, 0, 0}},
      {"1<2==1", {1, 0, 0}},       // < before ==
      {"6&3==3", {0, 0, 0}},       // == before &: 6 & 1
      {"1|2^3&1", {3, 0, 0}},      // & then ^ then |
      {"1 || 0 && 0", {1, 0, 0}},  // && before ||
      {"-2*3", {0xFFFA, 0xFFFF, 0xFF}},
      {"- 2 * - 3", {6, 0, 0}},
      {"((4))", {4, 0, 0}},
      {"\t3 +\t4 ", {7, 0, 0}},
      {"+5", {5, 0, 0}},
  });
  expr_result v = eval("1 == 1 && 2 < 3");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->lo, 1u);
  EXPECT_EQ(v->type, AV_ONE | AV_INT | AV_COND);
}

TEST_F(Expr, AdditiveOperatorsCarryAcrossWords) {
  check({
      {"$7fff+1", {0x8000, 0, 0}},
      {"$ffff+1", {0, 1, 0}},
      {"$ffffffff+1", {0, 0, 1}},
      {"$ffffffffff+1", {0, 0, 0}},  // 40-bit wrap
      {"0-1", MINUS_ONE},
      {"-1", MINUS_ONE},
      {"$10000-1", {0xFFFF, 0, 0}},
  });
}

TEST_F(Expr, MultiplyDivideAndRemainder) {
  check({
      {"$10000*$10000", {0, 0, 1}},
      {"$100000*$100000", {0, 0, 0}},  // 2^40 cut to 40 bits
      {"-3*-4", {12, 0, 0}},
      {"-3*4", {0xFFF4, 0xFFFF, 0xFF}},
      {"7/-2", {0xFFFD, 0xFFFF, 0xFF}},  // truncation toward zero
      {"-7/2", {0xFFFD, 0xFFFF, 0xFF}},
      {"7%3", {1, 0, 0}},
      // The remainder works on the unsigned pattern: 2^40 - 7 = 1099511627769.
      {"-7%10", {9, 0, 0}},
  });
  for (const char* text : {"1/0", "1%0", "5/($10000-$10000)"}) EXPECT_EQ(error_of(text), "Divide by 0") << text;
}

TEST_F(Expr, ResultsThatCannotOverflowTheHost) {
  check({
      // The most negative 40-bit value divided or multiplied by -1 wraps to itself.
      {"$8000000000/-1", {0, 0, 0x80}},
      {"$8000000000*-1", {0, 0, 0x80}},
      {"-$8000000000", {0, 0, 0x80}},
      {"$ffffffffff*$ffffffffff", {1, 0, 0}},
      {"1<<40", {0, 0, 0}},
      {"1<<48", {0, 0, 0}},
      {"1<<39", {0, 0, 0x80}},
      {"-1>>48", MINUS_ONE},
      {"$8000000000>>39", MINUS_ONE},  // arithmetic: bit 39 copied down
      {"$100>>4", {0x10, 0, 0}},
      {"$7fffffffff>>36", {7, 0, 0}},
  });
  for (const char* text : {"1<<49", "1>>49", "1<<-1", "1<<$100000000"})
    EXPECT_EQ(error_of(text), "Invalid shift amount") << text;
}

TEST_F(Expr, BitwiseAndUnaryOperators) {
  check({
      {"$f0&$3c", {0x30, 0, 0}},
      {"$f0|$0f", {0xFF, 0, 0}},
      {"$ff^$0f", {0xF0, 0, 0}},
      {"~0", MINUS_ONE},
      {"~$1234", {0xEDCB, 0xFFFF, 0xFF}},
      {"!0", {1, 0, 0}},
      {"!5", {0, 0, 0}},
      {"!$10000", {0, 0, 0}},
      {"--5", {5, 0, 0}},
  });
  EXPECT_EQ(value_of("$f0&$12345").type & AV_WORDS, AV_ONE | AV_TWO);  // the union of both types
}

TEST_F(Expr, ComparisonsAreSigned40Bit) {
  check({
      {"-2 < -1", {1, 0, 0}},
      {"-1 > 1", {0, 0, 0}},
      {"$8000 > 0", {1, 0, 0}},  // one word, but positive as a 40-bit value
      {"$8000000000 < 0", {1, 0, 0}},
      {"3 <= 3", {1, 0, 0}},
      {"4 <= 3", {0, 0, 0}},
      {"4 >= 5", {0, 0, 0}},
      {"5 >= 5", {1, 0, 0}},
      {"5 == 5", {1, 0, 0}},
      {"5 = 5", {1, 0, 0}},
      {"5 != 5", {0, 0, 0}},
      {"$10005 != 5", {1, 0, 0}},
      {"2 && $10000", {1, 0, 0}},
      {"0 || 0", {0, 0, 0}},
  });
  for (const char* text : {"1<2", "!0", "1&&1", "0||1", "2>=2"}) {
    expr_result v = eval(text);
    ASSERT_TRUE(v) << text;
    EXPECT_EQ(v->type, 0x2101u) << text;
  }
}

TEST_F(Expr, FloatingOperands) {
  expr_result v = eval("0.5 + 1");
  ASSERT_TRUE(v);
  EXPECT_TRUE(v->type & AV_FLOAT);
  EXPECT_EQ(v->type & AV_WORDS, AV_THREE);
  EXPECT_DOUBLE_EQ(v->fval, 0.5 + 1.0 / 32768);

  v = eval("1 + 0.5");  // the left operand's word count stays
  ASSERT_TRUE(v);
  EXPECT_TRUE(v->type & AV_FLOAT);
  EXPECT_EQ(v->type & AV_WORDS, AV_ONE);
  EXPECT_DOUBLE_EQ(v->fval, 1.0 / 32768 + 0.5);

  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"2.5e1", 25.0}, {".5", 0.5},      {"1e3", 1000.0},    {"-0.5", -0.5},
      {"1.5*2.0", 3.0}, {"1.0/4.0", 0.25}, {"-7.5%2.0", -1.5}, {"0.5-0.75", -0.25},
      {"`1.5", 1.5},   {"3.", 3.0},
  };
  for (const auto& c : cases) {
    v = eval(c.text);
    ASSERT_TRUE(v) << c.text;
    EXPECT_TRUE(v->type & AV_FLOAT) << c.text;
    EXPECT_DOUBLE_EQ(v->fval, c.value) << c.text;
  }

  // Beyond a double's range: infinity, or zero for a tiny value.
  EXPECT_EQ(value_of("1e999").fval, HUGE_VAL);
  EXPECT_EQ(value_of("1e-999").fval, 0.0);

  v = eval("1.5 > 1.25");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->lo, 1u);
  EXPECT_EQ(v->type, 0x2101u);
  EXPECT_EQ(value_of("!0.0").lo, 1u);

  for (const char* text : {"0.5 | 1", "1 & 0.5", "0.5 ^ 1", "0.5 << 1", "4 >> 0.5"})
    EXPECT_EQ(error_of(text), "Illegal operator for floating point element") << text;
  EXPECT_EQ(error_of("~0.5"), "Cannot apply '~' operator to floating point value");
  EXPECT_EQ(error_of("1.0/0.0"), "Divide by 0");
  EXPECT_EQ(error_of("0.5%0"), "Divide by 0");
}

TEST_F(Expr, ConstantsByPrefix) {
  check({
      {"$1F", {0x1F, 0, 0}},
      {"$1f", {0x1F, 0, 0}},
      {"%101", {5, 0, 0}},
      {"`12", {12, 0, 0}},
      {"$123456789a", {0x789A, 0x3456, 0x12}},
      {"$1234567890ab", {0x90AB, 0x5678, 0x34}},  // bits above 39 are lost
      {"65536", {0, 1, 0}},
      {"4294967296", {0, 0, 1}},
      {"1099511627776", {0, 0, 0}},  // 2^40 cut to 40 bits
      {"1099511627777", {1, 0, 0}},
      {"99999999999999999999999", {0xFFFF, 0xF67F, 0x4A}},  // exact, then cut
      {"%2", {2, 0, 0}},  // "%" without a binary digit is passed over
  });
  // The word count of $ and % constants follows the digits written.
  const struct {
    const char* text;
    uint32_t words;
  } counts[] = {
      {"$ffff", AV_ONE},        {"$00001", AV_TWO},     {"$ffffffff", AV_TWO},
      {"$000000001", AV_THREE}, {"%1111111111111111", AV_ONE},
      {"%00000000000000001", AV_TWO},
      // A decimal constant's word count follows its value.
      {"65535", AV_ONE},        {"65536", AV_TWO},      {"0000000000000001", AV_ONE},
      {"4294967296", AV_THREE}, {"1099511627776", AV_ONE},
  };
  for (const auto& c : counts) {
    expr_result v = eval(c.text);
    ASSERT_TRUE(v) << c.text;
    EXPECT_EQ(v->type & AV_WORDS, c.words) << c.text;
  }
  EXPECT_EQ(error_of("$"), "Hex constant expected");
  EXPECT_EQ(error_of("$g1"), "Hex constant expected");
  EXPECT_EQ(error_of("`"), "Invalid expression");
}

TEST_F(Expr, DefaultRadix) {
  set_radix(RADIX_HEX);
  check({
      {"10", {0x10, 0, 0}},
      {"`10", {10, 0, 0}},
      {"ff", {0xFF, 0, 0}},
      {"abc", {0xABC, 0, 0}},  // no register, no symbol: digits
      {"%11", {3, 0, 0}},
      {"12345", {0x2345, 1, 0}},
  });
  EXPECT_EQ(error_of("xyz"), "Hex constant expected");
  EXPECT_EQ(error_of("$"), "Hex constant expected");
  // A register name comes before the digits: "a" is the accumulator.
  set_reg("a", 0x1111, 0x2222, 0x33);
  expr_result v = eval("a");
  ASSERT_TRUE(v);
  EXPECT_EQ(words_of(*v), (words3{0x1111, 0x2222, 0x33}));
  EXPECT_DOUBLE_EQ(value_of("1.5").fval, 1.5);  // hexadecimal digits followed by "." read as a float

  set_radix(RADIX_BIN);
  check({
      {"101", {5, 0, 0}},
      {"`12", {12, 0, 0}},
      {"$12", {0x12, 0, 0}},
      {"11111111111111111", {0xFFFF, 1, 0}},
  });
  EXPECT_EQ(error_of("12"), "Invalid expression");
  EXPECT_EQ(error_of("2"), "Invalid expression");

  for (int radix : {RADIX_DEC, RADIX_FRAC, RADIX_UNS}) {
    set_radix(radix);
    check({{"10", {10, 0, 0}}, {"`10", {10, 0, 0}}, {"$10", {16, 0, 0}}});
    EXPECT_EQ(error_of("abc"), "Invalid expression");
  }
}

TEST_F(Expr, MemoryReferences) {
  poke(SPACE_X, 0x10, 0x1234);
  poke(SPACE_X, 0x0, 0x4321);
  poke(SPACE_P, 0x5, 0x0BAD);
  const int x_row = row_named("x");

  arg_value v = value_of("x:$10");
  EXPECT_EQ(words_of(v), (words3{0x1234, 0, 0}));
  EXPECT_EQ(v.addr, 0x10u);
  EXPECT_EQ(v.space, static_cast<uint32_t>(SPACE_X));
  EXPECT_EQ(v.region, x_row);
  EXPECT_EQ(v.type, 0x10000001u | AV_MEM | AV_INT);

  v = value_of("X:$10000");  // masked to x:$0000, case ignored
  EXPECT_EQ(v.addr, 0u);
  EXPECT_EQ(v.lo, 0x4321u);

  check({
      {"x:$10+1", {0x1235, 0, 0}},  // the word plus one, not the next word
      {"x:($f+1)", {0x1234, 0, 0}},
  });
  set_reg("r0", 5);
  v = value_of("p:r0");
  EXPECT_EQ(v.lo, 0x0BADu);
  EXPECT_EQ(v.addr, 5u);

  // A word whose address shows as a fraction reads as a float.
  poke(SPACE_X, 0x20, 0x4000);
  set_memory_radix(x_row, 0x20, 0x20, RADIX_FRAC);
  v = value_of("x:$20");
  EXPECT_TRUE(v.type & AV_FLOAT);
  EXPECT_FALSE(v.type & AV_INT);
  EXPECT_TRUE(v.type & AV_MEM);
  EXPECT_DOUBLE_EQ(v.fval, 0.5);
  EXPECT_EQ(v.lo, 0x4000u);
  EXPECT_TRUE(value_of("x:$21").type & AV_INT);

  EXPECT_EQ(error_of("x:"), "Invalid expression");
  EXPECT_EQ(error_of("x:0.5"), "Expression result must be integer");
  // A name that is no memory-map row is not a memory reference.
  EXPECT_EQ(error_of("q:5"), "Invalid expression");
}

TEST_F(Expr, Registers) {
  set_reg("r0", 0x1234);
  arg_value v = value_of("r0");
  EXPECT_EQ(words_of(v), (words3{0x1234, 0, 0}));
  EXPECT_EQ(v.type, 0x10000001u | AV_INT);  // access 0x10001001 without bits 3-18

  check({{"R0+1", {0x1235, 0, 0}}, {"reg:r0", {0x1234, 0, 0}}, {"REG:R0", {0x1234, 0, 0}}});

  set_reg("a", 0x789A, 0x3456, 0x12);
  v = value_of("a");
  EXPECT_EQ(words_of(v), (words3{0x789A, 0x3456, 0x12}));
  EXPECT_EQ(v.type & AV_WORDS, AV_THREE);

  set_reg("x", 0x1111, 0x2222);
  v = value_of("x");
  EXPECT_EQ(words_of(v), (words3{0x1111, 0x2222, 0}));
  EXPECT_EQ(v.type & (AV_WORDS | AV_W32), AV_TWO | AV_W32);

  // A one-word register of 32-bit width splits into two words.
  cur_inst->cycles = 0x12345678;
  v = value_of("cyc");
  EXPECT_EQ(words_of(v), (words3{0x5678, 0x1234, 0}));
  EXPECT_EQ(v.type & (AV_WORDS | AV_W32), AV_TWO | AV_W32);

  // Flag registers are conditions.
  EXPECT_TRUE(value_of("eof").type & AV_COND);

  // Fraction display makes the register's value a float.
  set_reg("x0", 0xC000);
  reg_attr("x0") = (reg_attr("x0") & ~0xF000u) | 0x2000;
  v = value_of("x0");
  EXPECT_TRUE(v.type & AV_FLOAT);
  EXPECT_DOUBLE_EQ(v.fval, -0.5);

  EXPECT_EQ(error_of("reg:nosuch"), "Invalid register name");
  EXPECT_EQ(error_of("reg:5"), "Invalid register name");
  EXPECT_EQ(error_of("nosuch"), "Invalid expression");
}

TEST_F(Expr, AssemblyAddress) {
  cur_state->asm_address = 0x123;
  check({{"*", {0x123, 0, 0}}, {"*+2", {0x125, 0, 0}}, {"2**", {0x246, 0, 0}}});
}

TEST_F(Expr, EndOfExpressionAndMessages) {
  sv_optr = nullptr;
  EXPECT_FALSE(parse_expression(cur_type->expr_flags));
  EXPECT_STREQ(parse_error_text, "sv_optr pointing to NULL address");

  EXPECT_EQ(error_of(""), "Missing expression");
  EXPECT_EQ(error_of("  \t"), "Missing expression");
  for (const char* text : {"1 2", "1++2", "5!"}) EXPECT_EQ(error_of(text), "Extra characters beyond expression") << text;
  EXPECT_EQ(error_of("(1+2"), "Missing ')' in expression");
  for (const char* text : {"#", "1+", "()"}) EXPECT_EQ(error_of(text), "Invalid expression") << text;
  // Nesting is bounded before the stack is: deep enough for any real
  // expression, refused with a message far below a stack's depth.
  EXPECT_EQ(eval((std::string(200, '(') + "7" + std::string(200, ')')).c_str())->lo, 7u);
  EXPECT_EQ(eval((std::string(201, '-') + "7").c_str())->lo, 0xFFF9u);
  for (const std::string& text : {std::string(100000, '('), std::string(100000, '-') + "1"})
    EXPECT_EQ(error_of(text.c_str()), "Expression nested too deeply");

  // The cursor is left where the expression ended.
  for (const char* text : {"1+2,3", "1+2)", "1+2;x", "1+2  ,"}) {
    expr_result v = eval(text);
    ASSERT_TRUE(v) << text;
    EXPECT_EQ(v->lo, 3u);
    EXPECT_EQ(std::string(sv_optr).substr(0, 1), std::string(1, text[std::strcspn(text, ",);")])) << text;
  }
  const char* text = "12 34";
  sv_optr = text;
  EXPECT_FALSE(parse_expression(cur_type->expr_flags));
  EXPECT_EQ(sv_optr, text + 3);

  // Errors reach the assembler too.
  asm_word_count = 2;
  error_of("$");
  EXPECT_EQ(asm_word_count, -1);
  set_expr_error_text("cannot open input file ", "prog.cld");
  EXPECT_STREQ(parse_error_text, "cannot open input file : prog.cld");
}

TEST_F(Expr, ForcingPrefixesAndLimits) {
  const struct {
    const char* text;
    uint32_t flag;
  } address_cases[] = {{"<<$10", AV_XSHORT}, {"<$10", AV_SHORT}, {">$10", AV_LONG}, {" $10", 0}};
  for (const auto& c : address_cases) {
    sv_optr = c.text;
    expr_result v = parse_address_expr(cur_type->expr_flags);
    ASSERT_TRUE(v) << c.text;
    EXPECT_EQ(v->lo, 0x10u);
    EXPECT_EQ(v->type & (AV_XSHORT | AV_SHORT | AV_LONG), c.flag) << c.text;
  }
  const auto address_error = [](const char* text) -> std::string {
    sv_optr = text;
    return parse_address_expr(cur_type->expr_flags) ? "" : parse_error_text;
  };
  EXPECT_EQ(address_error("$ffff"), "");
  EXPECT_EQ(address_error("-1"), "");  // bits 16-31 all set
  EXPECT_EQ(address_error("$10000"), "Expression result too large");
  EXPECT_EQ(address_error("-$8001"), "");
  EXPECT_EQ(address_error("$1ffff"), "Expression result too large");
  EXPECT_EQ(address_error("0.5"), "Expression result must be integer");

  const auto data = [](const char* text, uint32_t* flags) -> std::string {
    sv_optr = text;
    expr_result v = parse_data_expr(cur_type->expr_flags);
    if (!v) return parse_error_text;
    *flags = v->type;
    return "";
  };
  uint32_t flags = 0;
  EXPECT_EQ(data("<5", &flags), "");
  EXPECT_TRUE(flags & AV_SHORT);
  EXPECT_EQ(data(">5", &flags), "");
  EXPECT_TRUE(flags & AV_LONG);
  EXPECT_EQ(data("0.75", &flags), "");
  EXPECT_TRUE(flags & AV_FLOAT);
  EXPECT_EQ(data("$10000", &flags), "Expression result too large");

  const auto bounded = [](const char* text, uint32_t limit) -> std::string {
    sv_optr = text;
    return parse_bounded_expr(cur_type->expr_flags, limit) ? "" : parse_error_text;
  };
  EXPECT_EQ(bounded("255", 255), "");
  EXPECT_EQ(bounded("256", 255), "Expression result too large");
  EXPECT_EQ(bounded("-1", 255), "");
  EXPECT_EQ(bounded("1.5", 255), "Expression result must be integer");
  EXPECT_EQ(bounded("$ffff", 0xFFFF), "");
  EXPECT_EQ(bounded("2 3", 0xFFFF), "Extra characters beyond expression");
}

// --- Symbols and source lines, through an installed symbol source --------

namespace {

std::vector<std::string> asked;

int fake_has_symbols() { return 1; }
int fake_symbol(const char* name, arg_value* out) {
  asked.emplace_back(name);
  const struct {
    const char* name;
    uint32_t addr, space;
  } table[] = {
      {"lab", 0x100, SPACE_X}, {"lab2", 0x200, SPACE_X}, {"top", 0xFFFF, SPACE_P},
      {"k", 0x8001, 4},        {"k2", 0x0012, 4},        {"sec2@lab_c", 0x40, SPACE_P},
  };
  for (const auto& s : table) {
    if (std::strcmp(s.name, name) == 0) {
      out->addr = s.addr;
      out->space = s.space;
      return 1;
    }
  }
  return 0;
}
int fake_line(const char* name, arg_value* out) {
  if (std::strcmp(name, "30") == 0 || std::strcmp(name, "test.asm@30") == 0) {
    out->addr = 0x30;
    out->space = SPACE_P;
    return 1;
  }
  return 0;
}
constexpr symbol_source fake_source = {fake_has_symbols, fake_symbol, fake_line};

}  // namespace

class ExprSymbols : public Expr {
 protected:
  void SetUp() override {
    Expr::SetUp();
    asked.clear();
    set_symbol_source(&fake_source);
  }
  void TearDown() override {
    set_symbol_source(nullptr);
    Expr::TearDown();
  }
};

TEST_F(ExprSymbols, SymbolsInMemory) {
  poke(SPACE_X, 0x100, 0x5555);
  arg_value v = value_of("lab");
  EXPECT_EQ(v.lo, 0x100u);  // the address, not the word there
  EXPECT_EQ(v.addr, 0x100u);
  EXPECT_EQ(v.space, static_cast<uint32_t>(SPACE_X));
  EXPECT_EQ(v.region, find_memory_region(SPACE_X, 0x100));
  EXPECT_EQ(v.type, 0x10000001u | AV_MEM | AV_INT);

  v = value_of("lab+2");  // folded into the address
  EXPECT_EQ(v.addr, 0x102u);
  EXPECT_EQ(v.lo, 0x102u);
  v = value_of("lab-1*2");  // only the operand after the name joins the address
  EXPECT_EQ(v.addr, 0xFFu);
  EXPECT_EQ(v.lo, 0x1FEu);  // (lab-1)*2 on lo

  EXPECT_EQ(error_of("lab+"), "Address offset expected");
  EXPECT_EQ(error_of("top+1"), "Address too large");
  EXPECT_EQ(value_of("lab-$101").addr, 0xFFFFu);  // below 0: bits outside the mask all set

  asked.clear();
  EXPECT_EQ(error_of("lab..lab2"), "Extra characters beyond expression");
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.front(), "lab");
}

TEST_F(ExprSymbols, AbsoluteSymbolsAndLines) {
  arg_value v = value_of("k");
  EXPECT_EQ(words_of(v), (words3{0x8001, 0xFFFF, 0xFF}));
  EXPECT_EQ(v.type, AV_ONE | AV_INT | 0x10000000u);
  v = value_of("k2+1");
  EXPECT_EQ(words_of(v), (words3{0x13, 0, 0}));

  v = value_of("@30");
  EXPECT_EQ(v.addr, 0x30u);
  EXPECT_TRUE(v.type & AV_MEM);
  EXPECT_EQ(value_of("test.asm@30").addr, 0x30u);
  EXPECT_EQ(value_of("sec2@lab_c").addr, 0x40u);

  // Registers hide symbols of the same name.
  set_reg("r1", 7);
  check({{"r1", {7, 0, 0}}});

  // A line that does not exist is not taken as a number.
  EXPECT_EQ(error_of("@31"), "Invalid expression");
  EXPECT_EQ(error_of("nosym"), "Invalid expression");
  set_radix(RADIX_HEX);
  check({{"abc", {0xABC, 0, 0}}});  // no such symbol: hexadecimal digits
}

// A compiled condition gives what parsing its text gives, for every state
// of the registers it reads; memory references and symbols stay parsed.
TEST_F(Expr, CompiledConditionsEvaluateAsTheirParse) {
  struct condition_case {
    const char* text;
    bool compiles;
  };
  const condition_case conditions[] = {
      {"cyc==0", true},         {"cyc>=25", true},         {"a0==$3", true},
      {"x0>$1000", true},       {"(r0+1)*2==8", true},     {"!r1", true},
      {"-x0<0", true},          {"a0==3&&r0!=0", true},    {"a||x0", true},
      {"1/r1", true},           {"~n0&$ff", true},         {"*==0", true},
      {"x:$10==0", false},      {"x0==", false},
  };
  const uint32_t states[][3] = {{0, 0, 0}, {3, 1, 0x8000}, {0x1000, 0, 0x7fff}, {0xffff, 3, 1}};
  for (const condition_case& c : conditions) {
    SCOPED_TRACE(c.text);
    expr_program program;
    EXPECT_EQ(compile_expression(c.text, cur_type->expr_flags, program), c.compiles);
    if (!c.compiles) continue;
    for (const auto& s : states) {
      set_reg("a0", s[0]);
      set_reg("r0", s[1]);
      set_reg("x0", s[2]);
      set_reg("r1", s[1]);
      set_reg("n0", s[2]);
      set_reg("cyc", s[0]);
      const expr_result parsed = eval(c.text);
      const expr_result run = run_expression(program, cur_type->expr_flags);
      ASSERT_EQ(parsed.has_value(), run.has_value());
      if (!parsed) continue;
      EXPECT_EQ(parsed->lo, run->lo);
      EXPECT_EQ(parsed->hi, run->hi);
      EXPECT_EQ(parsed->ext, run->ext);
      EXPECT_EQ(parsed->type, run->type);
      EXPECT_EQ(parsed->fval, run->fval);
    }
  }
}
