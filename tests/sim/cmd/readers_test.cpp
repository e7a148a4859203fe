// The argument readers: what each accepts, the kind and value it leaves,
// and the message and position of what it refuses.
#include <cstdint>
#include <string>
#include <utility>

#include "cmd_fixture.h"
#include "sim/engine/device/regaccess.h"

namespace {

class readers : public cmd_fixture {
 protected:
  // Tokenises "cmd <argument>" so that the argument is token 2.
  static void arg(const char* text) { split_command_line((std::string("cmd ") + text).c_str()); }

  static int reg_index(const char* name, int* row = nullptr) {
    int r = 0, reg = 0;
    EXPECT_TRUE(lookup_register(0, name, &r, &reg)) << name;
    if (row != nullptr) *row = r;
    return reg;
  }

  // A refusal: the reader returned 0, marked the token 'u' and left this
  // message at this offset of the line.
  static void expect_refused(int result, const char* message, int pos) {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error_text(), message);
    EXPECT_EQ(error_pos(), pos);
    EXPECT_EQ(kind(2), 'u');
  }
  // An acceptance: the reader returned 1 and left token 2 of this kind
  // (and this value, when one is given).
  static void expect_read(int result, char k, int64_t lo = -1) {
    EXPECT_EQ(result, 1);
    EXPECT_EQ(kind(2), k);
    if (lo >= 0) {
      EXPECT_EQ(value(2).lo, static_cast<uint32_t>(lo));
    }
  }
  // A failure with the expression's message, the token not re-marked.
  static void expect_failed(int result, const char* message) {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error_text(), message);
  }
};

}  // namespace

TEST_F(readers, need_and_end_of_arguments) {
  arg("");
  EXPECT_EQ(need_arg(2), 0);
  EXPECT_EQ(error_text(), "Need more parameters");
  EXPECT_EQ(error_pos(), 4);
  EXPECT_EQ(check_no_more_args(2), 1);
  EXPECT_EQ(kind(2), 'e');

  arg("one two");
  EXPECT_EQ(parse_name_arg(2), 1);
  EXPECT_EQ(kind(2), 'N');
  EXPECT_EQ(check_no_more_args(3), 0);
  EXPECT_EQ(error_text(), "Too many parameters");
  EXPECT_EQ(error_pos(), 8);
}

TEST_F(readers, keywords_single_and_from_lists) {
  arg("OFF");
  expect_read(match_keyword(2, "off"), 'j');
  arg("of");
  expect_refused(match_keyword(2, "off"), "Invalid parameter", 4);

  arg("h");
  EXPECT_EQ(match_keyword_list(2, radix_letter_words, 'r', 5), 3);
  EXPECT_EQ(kind(2), 'r');
  EXPECT_EQ(value(2).lo, 3u);
  arg("-rs");
  EXPECT_EQ(match_keyword_list(2, output_radix_words, 'r', 6), 5);
  // Only the first `count` words of a list take part.
  EXPECT_EQ(match_keyword_list(2, output_radix_words, 'r', 5), -1);
  EXPECT_EQ(error_text(), "Invalid parameter");
  EXPECT_EQ(list_length(break_action_words), 8);
  EXPECT_EQ(list_length(display_mode_words), 9);
}

TEST_F(readers, device_numbers_stop_below_thirty_two) {
  arg("dv31");
  expect_read(parse_device_number(2), 'n', 31);
  arg("DV05");
  expect_read(parse_device_number(2), 'n', 5);
  for (const char* bad : {"dv32", "dv3x", "dv", "d3", "dv-1"}) {
    arg(bad);
    expect_refused(parse_device_number(2), "Invalid parameter", 4);
  }
}

TEST_F(readers, device_types_by_exact_name) {
  arg("73547rom");
  expect_read(parse_device_type_name(2), 't');
  EXPECT_EQ(static_cast<int>(value(2).lo), find_type_index("73547rom"));
  arg("73547r");
  EXPECT_EQ(parse_device_type_name(2), 0);
}

TEST_F(readers, hash_numbers_and_break_numbers) {
  arg("#255");
  expect_read(parse_hash_number(2), 'w', 255);
  arg("#0");
  expect_refused(parse_hash_number(2), "Range of Break Number is 1-99", 4);
  arg("#256");
  expect_failed(parse_hash_number(2), "Expression result too large");
  arg("5");
  expect_refused(parse_hash_number(2), "Invalid parameter", 4);

  arg("#99");
  expect_read(parse_break_number(2), '#', 99);
  EXPECT_EQ(value(2).hi, 99u);
  for (const char* bad : {"#0", "#100", "#-3", "#300"}) {
    arg(bad);
    expect_refused(parse_break_number(2), "Range of Break Number is 1-99", 4);
  }
}

TEST_F(readers, hash_lists_fill_the_following_slots) {
  split_command_line("break #1,3,5 off");
  ASSERT_EQ(parse_hash_list(2), 1);
  EXPECT_EQ(std::string({kind(2), kind(3), kind(4), kind(5)}), "###e");
  EXPECT_EQ(value(2).lo, 1u);
  EXPECT_EQ(value(3).lo, 3u);
  EXPECT_EQ(value(4).hi, 5u);

  split_command_line("break #2..40 e");
  ASSERT_EQ(parse_hash_list(2), 1);
  EXPECT_EQ(value(2).lo, 2u);
  EXPECT_EQ(value(2).hi, 40u);
  EXPECT_EQ(kind(3), 'e');

  // A bad number anywhere writes no slot at all.
  split_command_line("break #1,100 off");
  expect_failed(parse_hash_list(2), "Range of Break Number is 1-99");
  EXPECT_EQ(error_pos(), 9);
  EXPECT_EQ(kind(3), 'u');
}

TEST_F(readers, frame_colon_and_window_numbers) {
  arg("#0");
  expect_read(parse_frame_number(2), 'f');
  arg("#-1");
  expect_refused(parse_frame_number(2), "Frame number must be positive", 4);
  arg("#65536");
  expect_failed(parse_frame_number(2), "Expression result too large");

  arg(":3");
  expect_read(parse_colon_number(2), ':', 3);
  arg(":0");
  expect_refused(parse_colon_number(2), "Invalid parameter", 4);

  arg("WIN12");
  expect_read(parse_win_number(2), 'W', 12);
  for (const char* bad : {"win0", "win", "winx", "w3"}) {
    arg(bad);
    expect_refused(parse_win_number(2), "Invalid parameter", 4);
  }
}

TEST_F(readers, numbers_values_fractions_and_addresses) {
  arg("3*4");
  expect_read(parse_number_arg(2, 255), 'I', 12);
  arg("300");
  expect_failed(parse_number_arg(2, 255), "Expression result too large");
  // The expression may stop at ')' or ','; the token must still be whole.
  arg("5)");
  expect_refused(parse_number_arg(2, 255), "Extra characters beyond expression", 5);
  arg("5,6");
  expect_refused(parse_value_arg(2), "Extra characters beyond expression", 5);

  arg("0.5");
  expect_refused(parse_value_arg(2), "Invalid parameter", 4);
  arg("0.5");
  expect_read(parse_fraction_arg(2), 'I');
  arg("0.5");
  expect_read(parse_float_or_int_arg(2), 'F');
  arg("7");
  EXPECT_EQ(parse_fraction_arg(2), 0);
  arg("7");
  expect_read(parse_float_or_int_arg(2), 'I');
  arg("9");
  expect_read(parse_count_arg(2), 'i');

  arg("$ffff");
  EXPECT_EQ(parse_address_arg(2), 1);
  arg("$10000");
  expect_failed(parse_address_arg(2), "Expression result too large");
}

TEST_F(readers, registers_blocks_peripherals_and_regions) {
  int row = 0;
  const int r0 = reg_index("r0", &row);
  arg("R0");
  expect_read(parse_register_arg(2), 'g');
  EXPECT_EQ(value(2).item, r0);
  EXPECT_EQ(value(2).region, row);
  EXPECT_EQ(value(2).device, 0);
  arg("reg:sr");
  EXPECT_EQ(parse_register_arg(2), 1);
  EXPECT_EQ(value(2).item, reg_index("sr"));
  arg("r99");
  expect_refused(parse_register_arg(2), "Invalid parameter", 4);

  arg("r0..r3");
  expect_read(parse_register_block(2), 'G', reg_index("r3"));
  EXPECT_EQ(value(2).item, r0);
  arg("r0..nope");
  EXPECT_EQ(parse_register_block(2), 0);

  arg("ssi1");
  expect_read(parse_periph_name(2), 't');
  EXPECT_EQ(value(2).region, 3);
  arg("per:timer");
  EXPECT_EQ(parse_periph_name(2), 1);
  EXPECT_EQ(value(2).region, 4);
  arg("ssi");
  EXPECT_EQ(parse_periph_name(2), 0);
  // The stream form takes only peripherals whose class word has bit 2.
  for (int p = 0; p < cur_type->periph_count; ++p) {
    arg(cur_type->periphs[p].name);
    const bool streamable = (cur_state->periph_entries[p].class_word & 4) != 0;
    EXPECT_EQ(parse_periph_name(2, true) == 1, streamable) << cur_type->periphs[p].name;
  }

  arg("XI");
  expect_read(parse_region_name(2), '|');
  EXPECT_STREQ(cur_type->regions[value(2).region].name, "xi");
  arg("q");
  expect_refused(parse_region_name(2), "Invalid parameter", 4);
}

TEST_F(readers, memory_locations_and_blocks) {
  arg("p:100");
  expect_read(parse_memory_block(2), 'p', 100);
  EXPECT_EQ(value(2).hi, 100u);

  arg("p:100#16");
  expect_read(parse_memory_block(2), 'X', 100);
  EXPECT_EQ(value(2).hi, 115u);
  // The line is left as it was typed.
  EXPECT_EQ(typed(2), "p:100#16");

  cur_state->default_radix = 3;
  arg("p:100..1ff");
  expect_read(parse_memory_block(2), 'P', 0x100);
  EXPECT_EQ(value(2).hi, 0x1FFu);
  EXPECT_EQ(value(2).hi - value(2).lo + 1, 256u);
  arg("x:0..x:20");
  EXPECT_EQ(parse_memory_block(2), 1);
  EXPECT_EQ(value(2).hi, 0x20u);
  // A counted block past the end of the space wraps as the space does.
  arg("p:fff0#20");
  EXPECT_EQ(parse_memory_block(2), 1);
  EXPECT_EQ(value(2).lo, 0xFFF0u);
  EXPECT_EQ(value(2).hi, 0x000Fu);
  cur_state->default_radix = 1;

  arg("p:10#0");
  expect_refused(parse_memory_block(2), "Invalid parameter", 9);
  // A number is not a location.
  arg("100");
  expect_refused(parse_memory_location(2, 0), "Invalid parameter", 4);
}

TEST_F(readers, locations_on_another_device) {
  ASSERT_EQ(create_device(1, "73547"), 1);
  ASSERT_TRUE(make_device_current(0));
  arg("dv1:x:5");
  expect_read(parse_device_location(2), 'p', 5);
  EXPECT_EQ(value(2).device, 1);
  EXPECT_EQ(cur_device, 0);
  arg("dv9:x:5");
  EXPECT_EQ(parse_device_location(2), 0);
  EXPECT_EQ(cur_device, 0);
  arg("x:7");
  EXPECT_EQ(parse_device_location(2), 1);
  EXPECT_EQ(value(2).device, 0);
}

TEST_F(readers, break_conditions_split_at_the_operator) {
  int row = 0;
  const int r0 = reg_index("r0", &row);
  arg("r0<$1F");
  expect_read(parse_break_condition(2), 'Y', 0x1F);
  EXPECT_EQ(value(2).item, r0);
  EXPECT_EQ(value(2).region, row);
  EXPECT_EQ(value(2).op, 2);

  const std::pair<const char*, int> ops[] = {{"r0!=1", 0}, {"r0<=1", 1}, {"r0>=1", 3},
                                             {"r0>1", 4},  {"r0==1", 5}, {"r0=1", 6}};
  for (const auto& [text, op] : ops) {
    arg(text);
    ASSERT_EQ(parse_break_condition(2), 1) << text;
    EXPECT_EQ(value(2).op, op) << text;
  }

  arg("r0==`10");
  expect_read(parse_break_condition(2), 'Y', 10);
  cur_state->default_radix = 3;
  arg("r0==10");
  expect_read(parse_break_condition(2), 'Y', 0x10);
  cur_state->default_radix = 1;

  // Not a one-word register: the token is an expression.
  arg("a<5");
  expect_read(parse_break_condition(2), 'I');
  // A program-memory location is a pc condition, a data location is not.
  arg("p:$40");
  expect_read(parse_break_condition(2), 'E', 0x40);
  arg("x:$40");
  expect_read(parse_break_condition(2), 'I');
}

TEST_F(readers, braced_text_is_kept_as_typed) {
  split_command_line("type {Count + 1} ");
  expect_read(parse_braced_arg(2), 'C');
  EXPECT_EQ(typed(2), "{Count + 1}");
  arg("count");
  EXPECT_EQ(parse_braced_arg(2), 0);
}

TEST(text_routines, whole_words_chars_and_trailing_blanks) {
  EXPECT_EQ(find_whole_word("pc==$10", "pc"), 0);
  EXPECT_EQ(find_whole_word("pc1==5", "pc"), -1);
  EXPECT_EQ(find_whole_word("_pc==5", "pc"), -1);
  EXPECT_EQ(find_whole_word("cyc>100 && pc==2", "pc"), 11);
  EXPECT_EQ(find_whole_word("pcx+pc", "pc"), 4);
  EXPECT_EQ(find_whole_word("a..b", ".."), 1);
  EXPECT_EQ(find_whole_word("cyc", "cyc"), 0);

  EXPECT_EQ(find_char("x:$10", '$'), 2);
  EXPECT_EQ(find_char("x:10", '$'), -1);

  char text[] = "go  \t ";
  EXPECT_EQ(trim_trailing_blanks(text), 1);
  EXPECT_STREQ(text, "go");
  char blanks[] = "   ";
  EXPECT_EQ(trim_trailing_blanks(blanks), 0);
}

TEST_F(readers, register_walk_wraps_over_the_peripheral_rows) {
  const int rows = cur_type->periph_count;
  const int last_row = rows - 1;
  const int last_reg = cur_type->periphs[last_row].cls->reg_count - 1;
  int reg = last_reg, row = last_row;
  next_register(reg, row);
  EXPECT_EQ(std::make_pair(row, reg), std::make_pair(0, 0));
  prev_register(reg, row);
  EXPECT_EQ(std::make_pair(row, reg), std::make_pair(last_row, last_reg));
  reg = 0;
  row = 1;
  prev_register(reg, row);
  EXPECT_EQ(std::make_pair(row, reg), std::make_pair(0, cur_type->periphs[0].cls->reg_count - 1));
}
