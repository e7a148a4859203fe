// The C expression lexer: every constant form, registers, names, operators.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/cdb/c_lex.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"

namespace {

class CLex : public ::testing::Test {
 protected:
  void SetUp() override {
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
  }
  void TearDown() override {
    c_nodes_discard();
    free_device(0);
  }
  // "code:text" of every token, with "=lo,hi/type" for constant leaves.
  static std::string tokens(const char* text) {
    if (c_lex_start(text) == 0) return "! " + c_last_error() + " @" + std::to_string(c_lex_error_pos());
    std::string out;
    for (int code = c_lex(); code != 0; code = c_lex()) {
      if (!out.empty()) out += ' ';
      if (code < 0) return out + "! " + c_last_error();
      out += std::to_string(code) + ":" + c_lex_text();
      const c_token_value& v = c_lex_value();
      if (v.node != nullptr && (code == CT_INTEGER || code == CT_CHARACTER || code == CT_ENUM_CONSTANT))
        out += "=" + std::to_string(v.node->value.v[3]) + "," + std::to_string(v.node->value.v[4]) + "/" +
               std::to_string(v.node->value.type);
      if (v.node != nullptr && code == CT_FLOATING) out += "/" + std::to_string(v.node->value.type);
      if (code == CT_REGISTER) out += "=" + v.name;
    }
    return out;
  }
};

TEST_F(CLex, ConstantsRegistersNamesAndOperators) {
  const std::pair<const char*, const char*> cases[] = {
      {"{0x10}", "315:0x10=16,0/4"},
      {"{010}", "315:010=8,0/4"},
      {"{10u}", "315:10u=10,0/14"},
      {"{70000}", "315:70000=4464,1/5"},
      {"{0xFFul}", "315:0xFFul=255,0/15"},
      {"{0x8000}", "315:0x8000=32768,0/14"},  // reaches the sign bit: unsigned
      {"{32768}", "315:32768=32768,0/4"},    // a decimal is unsigned only by its suffix
      {"{1lu}", "315:1lu=1,0/15"},
      {"{0X10}", "315:0=0,0/4 274:X10"},
      {"{09}", "315:0=0,0/4 315:9=9,0/4"},
      {"{1e}", "315:1=1,0/4 274:e"},
      {"{'\\x4A' '\\x4a' '\\377' 'ab' '\\n' '\\''}",
       "316:'\\x4A'=74,0/4 316:'\\x4a'=74,0/4 316:'\\377'=255,0/4 316:'ab'=97,0/4 316:'\\n'=10,0/4 "
       "316:'\\''=39,0/4"},
      {"{'\\1234567012345' '\\x123456789'}",  // long escapes: the low bits of the word
       "316:'\\1234567012345'=5349,0/4 316:'\\x123456789'=26505,0/4"},
      {"{1.5f 1.5 .5 5. 1e-3 1.e3}", "317:1.5f/6 317:1.5/7 317:.5/7 317:5./7 317:1e-3/7 317:1.e3/7"},
      {"{1e999}", "! Float constant exceeds range"},
      {"{$r0 + $a1.b2 r0}", "327:$r0=r0 43:+ 327:$a1.b2=a1.b2 274:r0"},
      {"{sizeof(int) unsigned x_1}", "312:sizeof 40:( 265:int 41:) 270:unsigned 274:x_1"},
      {"{a->b<<=c>>=d...e}", "274:a 313:-> 274:b 297:<<= 274:c 298:>>= 274:d 278:... 274:e"},
      {"{a++ -- <= >= == != && || *= /= %= += -= &= ^= |=}",
       "274:a 310:++ 311:-- 306:<= 307:>= 304:== 305:!= 303:&& 302:|| 292:*= 293:/= 294:%= 295:+= 296:-= "
       "299:&= 300:^= 301:|="},
      {"{\"s\" # @ ? :}", "34:\" 274:s 34:\" 35:# 64:@ 63:? 58::"},
      {"{ }", "! Empty C expression @2"},
      {"{a+b", "! Incomplete C expression @3"},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(tokens(text), want) << text;
}

TEST_F(CLex, ErrorPositionIsJustPastTheToken) {
  ASSERT_EQ(c_lex_start("{ab + c}"), 1);
  c_lex();
  EXPECT_EQ(c_lex_error_pos(), 3);
  c_lex();
  EXPECT_EQ(c_lex_error_pos(), 5);
}

}  // namespace

#include <filesystem>
#include <unistd.h>

#include "coff_writer.h"
#include "sim/cdb/coff.h"

namespace {

TEST_F(CLex, ProgramNamesBecomeEnumerationConstantsAndTypedefNames) {
  test_coff c;
  c.sections = {{".txt", 0, 0, 0x20, {0}}};
  c.symbol("Fcolor", 0, 0, 0, 10, 15);  // the tag
  c.symbol("Fred", 2, 0, 0, 11, 16);
  c.symbol("Fbyte", 0, 0, 0, CT_UCHAR, 13);
  ASSERT_EQ(with_temp_coff(c, [](const char* path) { return read_coff_file(0, path); }), 0)
      << coff_error_text();
  make_device_current(0);
  EXPECT_EQ(tokens("{red + (byte)blue}"), "318:red=2,0/11 43:+ 40:( 271:byte 41:) 274:blue");
  ASSERT_EQ(c_lex_start("{byte}"), 1);
  ASSERT_EQ(c_lex(), CT_TYPEDEF_NAME);
  EXPECT_EQ(c_lex_value().node->value.type, CT_UCHAR);
}

}  // namespace

namespace {

TEST_F(CLex, NodeStackRefusesTheOverflowingPush) {
  c_node_stack_reset();
  c_node n;
  for (int i = 0; i < C_NODE_STACK_SIZE - 1; ++i) ASSERT_TRUE(c_node_push(&n)) << i;
  EXPECT_FALSE(c_node_push(&n));
  EXPECT_EQ(c_node_stack_count(), C_NODE_STACK_SIZE - 1);
  EXPECT_EQ(c_node_pop(), &n);
  c_node_stack_reset();
  EXPECT_EQ(c_node_pop(), nullptr);
}

}  // namespace
