// Checking whole lines: the fallbacks for comments and macro names, and the
// argument checks of path, redirect, quit and the window commands.
#include <string>

#include "cmd_fixture.h"
#include "sim/cmd/commands.h"

namespace {

using parse_line = cmd_fixture;

}  // namespace

TEST_F(parse_line, comments_and_lone_unknown_words_have_their_own_records) {
  EXPECT_EQ(parse_command_line("; a note"), &comment_action);
  EXPECT_EQ(parse_command_line("   ;indented"), &comment_action);
  EXPECT_EQ(parse_command_line("demo/Fir.cmd"), &macro_action);
  EXPECT_EQ(kind(1), 'N');
  EXPECT_EQ(typed(1), "demo/Fir.cmd");
  EXPECT_EQ(parse_command_line("setup ; with a note"), &macro_action);

  EXPECT_EQ(refusal("two words"), "Too many parameters");
  EXPECT_EQ(error_pos(), 4);
  EXPECT_EQ(refusal(""), "Need more parameters");
  EXPECT_EQ(refusal("   "), "Need more parameters");
  EXPECT_EQ(error_pos(), 3);
}

TEST_F(parse_line, commands_not_built_yet_accept_their_line) {
  EXPECT_TRUE(accepted("go p:0 #1 :2"));
  EXPECT_TRUE(accepted("display on r0..r3"));
  EXPECT_TRUE(accepted("b"));
}

TEST_F(parse_line, quit_takes_e_or_d_alone) {
  EXPECT_TRUE(accepted("quit"));
  EXPECT_TRUE(accepted("q e"));
  EXPECT_TRUE(accepted("QUIT D ; note"));
  EXPECT_EQ(refusal("quit x"), "Invalid parameter");
  EXPECT_EQ(error_pos(), 5);
  EXPECT_EQ(refusal("quit e d"), "Too many parameters");
  EXPECT_EQ(error_pos(), 7);
}

TEST_F(parse_line, path_forms) {
  EXPECT_TRUE(accepted("path"));
  EXPECT_TRUE(accepted("path Some/Dir"));
  EXPECT_TRUE(accepted("path -"));
  // After "+" and the directory nothing more is examined.
  EXPECT_TRUE(accepted("path + one two"));
  EXPECT_EQ(refusal("path +"), "Need more parameters");
  EXPECT_EQ(error_pos(), 6);
  EXPECT_EQ(refusal("path - x"), "Too many parameters");
  EXPECT_EQ(refusal("path a b"), "Too many parameters");
  EXPECT_EQ(error_pos(), 7);
}

TEST_F(parse_line, redirect_forms_and_options_for_output_streams_only) {
  for (const char* line : {"redirect", "redirect off", "red stdin", "redirect stdout off",
                           "redirect stdin In.Txt", "redirect stderr err -a",
                           "redirect stdout out -O", "redirect stdout out -c"})
    EXPECT_TRUE(accepted(line)) << line;
  EXPECT_EQ(refusal("redirect stdin in -a"), "Too many parameters");
  EXPECT_EQ(error_pos(), 18);
  EXPECT_EQ(refusal("redirect stdout out -x"), "Invalid parameter");
  EXPECT_EQ(refusal("redirect stdout out -a x"), "Too many parameters");
  EXPECT_EQ(refusal("redirect stdio"), "Invalid parameter");
  EXPECT_EQ(refusal("redirect off now"), "Too many parameters");
  EXPECT_EQ(refusal("redirect stdin off x"), "Too many parameters");
}

TEST_F(parse_line, plain_window_commands_open_or_close) {
  for (const char* cmd : {"wasm", "wbreakpoint", "wcalls", "wcommand", "winput", "woutput",
                          "wsession", "wsource", "wstack"}) {
    const std::string c = cmd;
    EXPECT_TRUE(accepted(c.c_str())) << c;
    EXPECT_TRUE(accepted((c + " off").c_str())) << c;
    EXPECT_EQ(refusal((c + " on").c_str()), "Invalid parameter") << c;
    EXPECT_EQ(refusal((c + " off now").c_str()), "Too many parameters") << c;
  }
  // Open and off are two records.
  EXPECT_NE(parse_command_line("wasm"), parse_command_line("wasm off"));
}

TEST_F(parse_line, wregister_takes_a_window_number_a_peripheral_or_off) {
  for (const char* line : {"wregister", "wregister ssi0", "wr win3", "wr win3 timer",
                           "wregister win3 off", "wregister off", "wr per:host"})
    EXPECT_TRUE(accepted(line)) << line;
  EXPECT_EQ(refusal("wregister ssi"), "Invalid parameter");
  EXPECT_EQ(refusal("wregister ssi0 off"), "Too many parameters");
  EXPECT_EQ(refusal("wregister win0"), "Invalid parameter");
}

TEST_F(parse_line, wmemory_needs_a_space_and_takes_an_address) {
  for (const char* line : {"wmemory pi", "wmemory xi 0", "wm win3 x", "wmemory off",
                           "wmemory win3 off", "wmemory X $fff0"})
    EXPECT_TRUE(accepted(line)) << line;
  EXPECT_EQ(refusal("wmemory"), "Need more parameters");
  EXPECT_EQ(refusal("wmemory win2"), "Need more parameters");
  EXPECT_EQ(refusal("wmemory q"), "Invalid parameter");
  EXPECT_EQ(refusal("wmemory x $10000"), "Expression result too large");
  EXPECT_EQ(refusal("wmemory x 1 2"), "Too many parameters");
}

TEST_F(parse_line, wlist_takes_one_file_or_off) {
  for (const char* line : {"wlist", "wlist lfile.lst", "wl win2 Lfile.lst", "wlist win2 off",
                           "wlist off", "wlist win3"})
    EXPECT_TRUE(accepted(line)) << line;
  EXPECT_EQ(refusal("wlist a b"), "Too many parameters");
  EXPECT_EQ(refusal("wlist off b"), "Too many parameters");
}

TEST_F(parse_line, wwatch_items_numbers_radixes_and_off) {
  for (const char* line : {"wwatch", "wwatch r0", "wwatch x:$100", "wwatch r2+3", "wwatch win2 r0",
                           "wwatch off", "wwatch win3 off", "wwatch #2 off", "wwatch win4 #2 off",
                           "wwatch #2 r0", "wwatch h r0", "wwatch #3 f x:5", "wwatch {a + b}",
                           "wwatch 0.25"})
    EXPECT_TRUE(accepted(line)) << line;
  EXPECT_EQ(refusal("wwatch #0 r0"), "Range of Break Number is 1-99");
  EXPECT_EQ(refusal("wwatch off r0"), "Too many parameters");
  EXPECT_EQ(refusal("wwatch #2 off x"), "Too many parameters");
}
