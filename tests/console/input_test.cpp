// Lines and keys from the console's input.
#include <string>

#include "console_fixture.h"

using input = console_fixture;

TEST_F(input, an_endless_line_keeps_its_beginning_and_the_next_line_survives) {
  const std::string huge(INPUT_LINE_MAX + 5000, 'z');
  feed("a\r\n" + huge + "\nafter\n");
  std::string line;
  ASSERT_EQ(input_read_line(line), input_result::line);
  EXPECT_EQ(line, "a");
  ASSERT_EQ(input_read_line(line), input_result::line);
  EXPECT_EQ(line, std::string(INPUT_LINE_MAX, 'z'));
  EXPECT_EQ(next_input_line(), "after");
  EXPECT_EQ(input_read_line(line), input_result::end);
}

TEST_F(input, keys_and_lines_share_one_stream) {
  feed("xy\nrest\n");
  EXPECT_EQ(input_read_key(-1), 'x');
  EXPECT_EQ(next_input_line(), "y");
  EXPECT_EQ(next_input_line(), "rest");
  EXPECT_EQ(input_read_key(-1), KEY_END);
}
