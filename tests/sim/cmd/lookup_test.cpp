// The tokeniser and the three-pass lookup of the command word.
#include <cctype>
#include <cstring>
#include <string>

#include "cmd_fixture.h"

namespace {

using tokeniser = cmd_fixture;
using lookup = cmd_fixture;

// The row a word selects, or "" when it names no command.
std::string command_of(const char* word) {
  split_command_line(word);
  if (lookup_command(1) == 0) return "";
  EXPECT_EQ(cur_lexer->kind[1], 'c');
  return command_table[cur_lexer->value[1].lo].name;
}

}  // namespace

TEST_F(tokeniser, blanks_separate_words_and_a_semicolon_ends_the_line) {
  const command_lexer& lx = split("  g   ;run it now");
  EXPECT_EQ(lx.count, 1);
  EXPECT_EQ(word(1), "g");
  EXPECT_EQ(lx.start[1], 2);
  // The end marker sits where the scan stopped: on the ';'.
  EXPECT_EQ(lx.start[2], 6);
  EXPECT_EQ(lx.kind[2], 'e');
  EXPECT_EQ(lx.kind[1], 'u');

  const command_lexer& tabs = split("d\tx:0\t p:1  ");
  EXPECT_EQ(tabs.count, 3);
  EXPECT_EQ(word(2), "x:0");
  EXPECT_EQ(word(3), "p:1");
  EXPECT_EQ(tabs.start[4], 12);
}

TEST_F(tokeniser, a_line_of_only_a_comment_is_one_comment_token) {
  const command_lexer& lx = split(";just a note");
  EXPECT_EQ(lx.count, 1);
  EXPECT_EQ(lx.kind[1], ';');
  EXPECT_EQ(word(1), "");
  const command_lexer& indented = split("   ; note");
  EXPECT_EQ(indented.count, 1);
  EXPECT_EQ(indented.kind[1], ';');
  EXPECT_EQ(split("").count, 0);
  EXPECT_EQ(split("    ").count, 0);
}

TEST_F(tokeniser, a_braced_condition_with_blanks_and_semicolons_is_one_token) {
  const command_lexer& lx = split("b {$i == 3$} x");
  EXPECT_EQ(lx.count, 3);
  EXPECT_EQ(typed(2), "{$i == 3$}");
  EXPECT_EQ(word(3), "x");

  split("break #1 {a; b} x display on");
  EXPECT_EQ(cur_lexer->count, 6);
  EXPECT_EQ(typed(3), "{a; b}");

  // Quotes hide '}', a backslash keeps the next character, braces do not nest.
  split(R"(type {s == "}" && c == '}'} end)");
  EXPECT_EQ(cur_lexer->count, 3);
  EXPECT_EQ(typed(2), R"({s == "}" && c == '}'})");
  split(R"(type {a \} b} end)");
  EXPECT_EQ(typed(2), R"({a \} b})");
  split("type {a {b} c}");
  EXPECT_EQ(cur_lexer->count, 3);
  EXPECT_EQ(typed(2), "{a {b}");
  // Braces may open in the middle of a word.
  split("watch x{a b}y z");
  EXPECT_EQ(cur_lexer->count, 3);
  EXPECT_EQ(typed(2), "x{a b}y");
}

TEST_F(tokeniser, double_quotes_open_a_token_only_at_its_start) {
  split(R"(log c "My File.cmd" -a)");
  EXPECT_EQ(cur_lexer->count, 4);
  EXPECT_EQ(typed(3), "My File.cmd");
  EXPECT_EQ(word(3), "my file.cmd");
  EXPECT_EQ(word(4), "-a");
  // An unclosed quote runs to the end of the line, ';' included.
  split(R"(load "a;b c)");
  EXPECT_EQ(cur_lexer->count, 2);
  EXPECT_EQ(typed(2), "a;b c");
  // Inside a word a double quote is an ordinary character.
  split(R"(load ab"c d)");
  EXPECT_EQ(cur_lexer->count, 3);
  EXPECT_EQ(typed(2), R"(ab"c)");
}

TEST_F(tokeniser, the_folded_text_and_the_text_as_typed_keep_the_same_offsets) {
  const command_lexer& lx = split("LOAD S Prog.LOD");
  EXPECT_EQ(word(1), "load");
  EXPECT_EQ(typed(1), "LOAD");
  EXPECT_EQ(word(3), "prog.lod");
  EXPECT_EQ(typed(3), "Prog.LOD");
  EXPECT_EQ(lx.start[3], 7);
}

TEST_F(tokeniser, a_line_of_126_words_is_taken_and_one_more_is_refused_whole) {
  std::string line = "d";
  for (int k = 0; k < 125; ++k) line += " x";
  split(line.c_str());
  EXPECT_EQ(cur_lexer->count, 126);
  EXPECT_FALSE(cur_lexer->overflow);
  EXPECT_EQ(cur_lexer->kind[127], 'e');

  line += " y";
  EXPECT_EQ(refusal(line.c_str()), "Too many words on the line (at most 126)");
  EXPECT_EQ(error_pos(), static_cast<int>(line.size()) - 1);
}

TEST_F(tokeniser, a_line_longer_than_255_characters_is_refused_not_cut) {
  const std::string fits = "; " + std::string(253, 'x');
  EXPECT_TRUE(accepted(fits.c_str()));
  const std::string longer = "path " + std::string(251, 'd');
  EXPECT_EQ(refusal(longer.c_str()), "Command line too long (at most 255 characters)");
  EXPECT_EQ(error_pos(), 255);
}

TEST_F(lookup, the_table_holds_fifty_commands_each_found_by_name_and_abbreviation) {
  ASSERT_EQ(command_table.size(), 50u);
  for (const command_descriptor& d : command_table) {
    EXPECT_EQ(command_of(d.name), d.name);
    EXPECT_EQ(command_of(d.abbrev), d.name);
    EXPECT_FALSE(d.syntax.empty()) << d.name;
    EXPECT_NE(d.parser, nullptr) << d.name;
    EXPECT_EQ(std::strncmp(d.name, d.abbrev, std::strlen(d.abbrev)), 0) << d.name;
  }
  EXPECT_STREQ(command_table[0].help_name, "assemble");
  EXPECT_STREQ(command_table[49].name, "wwatch");
}

TEST_F(lookup, every_window_command_helps_with_heading_syntax_and_examples) {
  const char* const windows[] = {"wasm",     "wbreakpoint", "wcalls",  "wcommand", "winput",
                                 "wlist",    "wmemory",     "woutput", "wregister", "wsession",
                                 "wsource",  "wstack",      "wwatch"};
  for (const char* name : windows) {
    const command_descriptor* d = nullptr;
    for (const command_descriptor& row : command_table)
      if (std::strcmp(row.name, name) == 0) d = &row;
    ASSERT_NE(d, nullptr) << name;
    ASSERT_GT(d->help_lines.size(), d->syntax.size() + 2) << name;
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(std::string(d->help_lines[0]).rfind("  {----------- " + upper + ": ", 0), 0u) << name;
    for (std::size_t k = 0; k < d->syntax.size(); ++k)
      EXPECT_EQ(std::string("  ") + d->syntax[k], d->help_lines[2 + k]) << name;
    std::size_t examples = 0;
    for (const char* line : d->help_lines)
      if (std::string(line).rfind(std::string("  {") + name, 0) == 0) ++examples;
    EXPECT_GE(examples, 2u) << name;
  }
}

TEST_F(lookup, prefixes_by_table_order_and_length_and_any_case) {
  const std::pair<const char*, const char*> cases[] = {
      {"wa", "wasm"},     {"wai", "wait"},      {"dis", "disassemble"}, {"disp", "display"},
      {"up", "up"},       {"b", "break"},       {"c", "change"},        {"co", "copy"},
      {"d", "display"},   {"di", "disassemble"}, {"re", "reset"},       {"red", "redirect"},
      {"r", "radix"},     {"st", "step"},       {"str", "streams"},     {"w", "wait"},
      {"ws", "wsource"},  {"wse", "wsession"},  {"wat", "watch"},       {"wh", "where"},
      {"wst", "wstack"},  {"wsta", "wstack"},   {"res", "reset"},       {"lo", "log"},
      {"loa", "load"},    {"li", "list"},       {"fin", "finish"},      {"fr", "frame"},
      // A prefix needs at least the abbreviation's length: "wc" is wcalls.
      {"wcom", "wcommand"}, {"wc", "wcalls"},
      // Unknown words name nothing; case does not matter.
      {"quitx", ""},      {"nosuch", ""},       {"wasmx", ""},          {";", ""},
      {"GO", "go"},       {"Disp", "display"},  {"WSE", "wsession"},
  };
  for (const auto& [word, name] : cases) EXPECT_EQ(command_of(word), name) << word;
}
