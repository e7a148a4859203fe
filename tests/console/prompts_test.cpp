// Questions answered from a script on standard input, and from keys at a
// terminal.
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "console_fixture.h"

using prompts = console_fixture;

TEST_F(prompts, file_question_takes_its_answer_from_the_next_line_and_cancels_on_anything_else) {
  feed("o\n  A\nappend\nrest\n");
  EXPECT_EQ(gui_file_question(), 'o');
  EXPECT_EQ(gui_file_question(), 'a');
  EXPECT_EQ(gui_file_question(), 'a');
  EXPECT_EQ(next_input_line(), "rest");
  // Each question and the line that answered it are in the session.
  const std::string question =
      "A file with the same name currently exists - Enter a character: "
      "{a = append, o = overwrite, c = cancel command :}\n";
  EXPECT_EQ(output(), question + "o\n" + question + "  A\n" + question + "append\n");
  // Anything else cancels and stays the next command; a blank line and the
  // end of input cancel too.
  feed("display\nc\n");
  EXPECT_EQ(gui_file_question(), 'c');
  EXPECT_EQ(next_input_line(), "display");
  EXPECT_EQ(next_input_line(), "c");
  feed("\n");
  EXPECT_EQ(gui_file_question(), 'c');
  feed("");
  EXPECT_EQ(gui_file_question(), 'c');
}

TEST_F(prompts, file_question_takes_no_answer_from_the_first_letter_of_a_command) {
  // A script that did not expect the question: its next command must not
  // overwrite or append to the file because of the letter it starts with.
  const struct {
    const char* line;
    int answer;
    bool kept;  // no answer: the line stays the next command
  } cases[] = {
      {"output #2 x:$20 out -a", 'c', true}, {"asm p:0 nop", 'c', true}, {"ab", 'c', true},
      {"Overwrite", 'o', false},             {"ap now", 'a', false},     {"o -x", 'o', false},
      {"canc", 'c', false},                  {"overwrites", 'c', true},  {"break cyc>=100", 'c', true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    feed(std::string(c.line) + "\nnext\n");
    EXPECT_EQ(gui_file_question(), c.answer);
    if (c.kept) {
      EXPECT_EQ(next_input_line(), c.line);
    }
    EXPECT_EQ(next_input_line(), "next");
  }
}

TEST_F(prompts, file_question_puts_the_status_and_help_lines_back) {
  gui_status_text("before");
  gui_help_text("help before");
  feed("a\n");
  EXPECT_EQ(gui_file_question(), 'a');
  EXPECT_EQ(console_status_text(), "before");
  EXPECT_EQ(console_help_text(), "help before");
}

TEST_F(prompts, file_question_at_a_terminal_reads_keys_until_a_o_or_c) {
  feed_keys("xyO");
  EXPECT_EQ(gui_file_question(), 'o');
  feed_keys("q\x1b");
  EXPECT_EQ(gui_file_question(), 'c');
}

TEST_F(prompts, line_prompt_from_a_script) {
  const struct {
    const char* what;
    const char* offered;  // the prompt, then any text offered
    int prompt_length;
    std::size_t size;
    const char* input;
    int result;
    const char* buffer;
  } cases[] = {
      {"joins prompt and answer", "change x0= ;Hex:0000", 10, 64, "$12\n", 13, "change x0= $12"},
      {"an empty line ends, keeping the buffer", "000 Data: 7", 10, 64, "\n", 27, "000 Data: 7"},
      {"a line holding Esc ends", "000 Data: 7", 10, 64, "5\x1b\n", 27, "000 Data: 7"},
      {"the end of input cancels, keeping the buffer", "000 Data: ", 10, 32, "", 27, "000 Data: "},
      {"never writes past the buffer", "prompt:", 7, 16, "0123456789abcdef\n", 13, "prompt: 0123456"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // Sized exactly, so that the sanitizer sees any write past the end.
    std::vector<char> buffer(c.size);
    std::strcpy(buffer.data(), c.offered);
    feed(c.input);
    EXPECT_EQ(gui_line_prompt(buffer.data(), c.prompt_length, c.size), c.result);
    EXPECT_STREQ(buffer.data(), c.buffer);
  }
}

TEST_F(prompts, line_prompt_at_a_terminal_edits_the_offered_text) {
  char buffer[64];
  std::strcpy(buffer, "change x0= 5");
  // The cursor starts right after the prompt: "1" goes before the offered
  // text; right arrow, "2"; Ctrl-N moves on.
  feed_keys("1\x1b[C2\x0e");
  EXPECT_EQ(gui_line_prompt(buffer, 10, sizeof buffer), 14);
  EXPECT_STREQ(buffer, "change x0= 1 25");
  feed_keys("9\x1b");
  std::strcpy(buffer, "change x0= 5");
  EXPECT_EQ(gui_line_prompt(buffer, 10, sizeof buffer), 27);
  EXPECT_STREQ(buffer, "change x0= 5");
}

// The status row's key help reaches a script's session, once; at a
// terminal it stays on the status row.
TEST_F(prompts, untimed_wait_in_a_script_ends_at_once_and_takes_no_line) {
  feed("next\n");
  wait_dialog(0);
  EXPECT_EQ(next_input_line(), "next");
  EXPECT_EQ(output(), "{Wait command: Type any Key to continue. }\n");
  feed_keys("x");
  wait_dialog(0);
  EXPECT_EQ(output(), "{Wait command: Type any Key to continue. }\n");
}

TEST_F(prompts, timed_wait_in_a_script_sleeps_and_leaves_the_input_alone) {
  feed("next\n");
  const auto start = std::chrono::steady_clock::now();
  wait_dialog(1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  EXPECT_EQ(next_input_line(), "next");
}

TEST_F(prompts, ctrl_c_during_a_macro_wait_abandons_the_macro_without_quitting) {
  macro_running = 1;
  quit_on_error = 1;
  stop_request = 1;
  const auto start = std::chrono::steady_clock::now();
  wait_dialog(5);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "the wait ran its course";
  EXPECT_EQ(output(), "{Wait command: Type any Key to continue. }\n{MACRO_ABORTED}\n");
  EXPECT_EQ(exit_status, 0);
  EXPECT_EQ(quitting, 0);
  // Left for the macro reader, which closes the macro files on it.
  EXPECT_EQ(stop_request, 1);
  EXPECT_EQ(macro_running, 1);
}

TEST_F(prompts, an_endless_number_in_a_terminal_sequence_is_an_unknown_key) {
  char buffer[64];
  std::strcpy(buffer, "p=ab");
  // 2^32 + 3 digits long past any int: were it to wrap, it would read as
  // the Delete key ("3~") and take the "b".
  feed_keys("\x1b[D\x1b[4294967299~\x1b[99999999999999999999999D\r");
  EXPECT_EQ(gui_line_prompt(buffer, 2, sizeof buffer), 13);
  EXPECT_STREQ(buffer, "p= ab");
}
