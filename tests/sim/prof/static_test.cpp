// The profile of a program loaded from an object file with line numbers:
// static sizes, code nodes by source line ("dc" lines excluded), data
// symbols, the coverage listing in its ordinary and nested forms, and a
// source file newer than the object file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/sim/prof/object_program.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/core/runloop.h"
#include "sim/prof/profiler.h"

namespace {

const std::vector<line_spec> sum_lines = {
    {"; the sum of four words", "", {}},
    {"start   clr a", "clr a", {}},
    {"        move #$20,r0", "move #$20,r0", {}},
    {"        rep #4", "rep #4", {}},
    {"        add x0,a x:(r0)+,x0", "add x0,a x:(r0)+,x0", {}},
    {"        debug", "debug", {}},
    {"table   dc $1234,$5678", "", {0x1234, 0x5678}},
};

TEST_F(object_profile, ALoopFromAnObjectFileWithLineNumbers) {
  test_coff c = object_file();
  c.opt[5] = 0x40;
  const built_section text = add_text(c, sum_lines, 0x40);
  c.sections.push_back({".dat", 0x20, 1, 0x40, {1, 2, 3, 4}});
  c.sections.push_back({".bss", 0x30, 1, 0xc0, std::vector<uint32_t>(15, 0)});
  file_symbols(c, {{"sum.asm", 2}});
  c.symbol("vals", 0x20, 1, 3, 0, 210);
  c.symbol("buf", 0x30, 1, 4, 0, 210);
  c.symbols[0][2] = static_cast<uint32_t>(c.symbols.size());
  write_file("sum.asm", source_of(sum_lines));
  const uint32_t debug_at = 0x40 + text.words - 3;
  const std::string report = profile(c, debug_at);

  // Static: the dc words are initialized P data, not code.
  const uint32_t code_words = text.words - 2;
  EXPECT_NE(report.find("Initialized data size    :        6 words (X=4, Y=0, P=2)"), std::string::npos) << report;
  EXPECT_NE(report.find("Uninitialized data size  :       15 words (X=15, Y=0, P=0)"), std::string::npos);
  char line[80];
  std::snprintf(line, sizeof line, "Code size                :        %u words\r\nInstructions             :        5",
                code_words);
  EXPECT_NE(report.find(line), std::string::npos);
  // Dynamic: clr, move, rep and four adds ran; debug did not.
  EXPECT_NE(report.find("Instructions             :        7"), std::string::npos);
  std::snprintf(line, sizeof line, "Total cycle count        : %8u cycles", device_insts[0]->cycles);
  EXPECT_NE(report.find(line), std::string::npos);

  // Every value word was read once, the buffer not at all.
  EXPECT_NE(report.find("vals                   +0    |   1    0|    1    0|    1    0|    1    0|\r\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("buf                    +0    |   0    0|    0    0|    0    0|    0    0|    0    0|\r\n"
                        "                      *\r\n"
                        "buf                    +10   |   0    0|"),
            std::string::npos);
  EXPECT_EQ(report.find("unnamed memory references"), std::string::npos);

  // The listing: every source line once, the add line with four passes.
  const std::size_t start = report.find("****** START file 'sum.asm'");
  ASSERT_NE(start, std::string::npos);
  EXPECT_NE(report.find("[0001]                                        ; the sum of four words", start),
            std::string::npos);
  const std::size_t add = report.find("[0005]", start);
  ASSERT_NE(add, std::string::npos);
  std::snprintf(line, sizeof line, "[0005]  %06X           8           4               add x0,a x:(r0)+,x0\r\n",
                0x40 + code_words - 2);
  EXPECT_EQ(report.find(line, start), add) << report.substr(add, 120);
  EXPECT_NE(report.find("[0007]                                        table   dc $1234,$5678", start),
            std::string::npos);
  EXPECT_NE(report.find("****** END file 'sum.asm'", start), std::string::npos);

  if (std::system("command -v gs >/dev/null 2>&1") == 0) {
    const std::string command =
        "gs -dSAFER -dBATCH -dNOPAUSE -q -sDEVICE=nullpage '" + path("sum.ps") + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
}

TEST_F(object_profile, ADcLineMakesNoCodeNode) {
  test_coff c = object_file();
  const built_section text = add_text(c, sum_lines, 0x40);
  file_symbols(c, {{"sum.asm", 2}});
  write_file("sum.asm", source_of(sum_lines));
  c.write(path("prog.cld"));
  run("load prog.cld");
  run("log p sum");
  const profile_tables& t = *profiler_tables(0);
  EXPECT_EQ(t.static_instructions, 5u);
  EXPECT_EQ(t.initialized[2], 2u);
  for (auto it = t.code->begin(); auto* n = static_cast<const code_node*>(it.next());) {
    EXPECT_LT(n->decoded.address, 0x40 + text.words - 2);
    EXPECT_STREQ(n->file, "sum.asm");
    EXPECT_EQ(n->decoded.flags & INSTR_NEW, 0u);
  }
}

TEST_F(object_profile, ASourceNewerThanTheObjectFileIsReconstructed) {
  test_coff c = object_file();
  const built_section text = add_text(c, sum_lines, 0x40);
  file_symbols(c, {{"sum.asm", 2}});
  write_file("sum.asm", source_of(sum_lines));
  std::filesystem::last_write_time(path("sum.asm"),
                                   std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
  const std::string report = profile(c, 0x40 + text.words - 3);
  const std::string session = output();
  EXPECT_NE(session.find("Source file sum.asm more recent than executable"), std::string::npos) << session;
  EXPECT_NE(report.find("****** RECONSTRUCT file 'sum.asm'"), std::string::npos) << report;
  EXPECT_NE(report.find("Source file sum.asm more recent than executable"), std::string::npos);
  EXPECT_NE(report.find("//add x0,a x:(r0)+,x0"), std::string::npos);
  EXPECT_EQ(report.find("table   dc"), std::string::npos);
}

// The object file changed on disk after it was loaded.
TEST_F(object_profile, AnUnreadableObjectFileGivesNoCoverage) {
  test_coff c = object_file();
  const built_section text = add_text(c, sum_lines, 0x40);
  c.write(path("prog.cld"));
  run("load prog.cld");
  write_file("prog.cld", "not an object file");
  run(("break pc==$" + hex(0x40 + text.words - 3)).c_str());
  run("change pc $40");
  run("log p bad");
  EXPECT_NE(output().find("Failed to handle COFF file"), std::string::npos) << output();
  EXPECT_EQ(profiler_tables(0)->static_instructions, 0u);
  go();
  run("log off p");
  const std::string report = read_file("bad.log");
  EXPECT_NE(report.find("Coff file did not read properly - No code coverage report"), std::string::npos);
  EXPECT_NE(report.find("Instructions             :        7"), std::string::npos);
}

// Nested listing: the program in assembly order, an included file listed
// where it is included, several instructions of one line shown one by one
// up to the limit.
TEST_F(object_profile, NestedListingFollowsIncludes) {
  const std::vector<line_spec> main1 = {{";## nested 1", "", {}},
                                        {"start   clr a", "clr a", {}},
                                        {"        twice", "nop", {}, 2},
                                        {"        include 'inc.asm'", "", {}}};
  const std::vector<line_spec> inc = {{"        inc a", "inc a", {}}, {"; end of inc", "", {}}};
  const std::vector<line_spec> main2 = {{"", "", {}}, {"", "", {}}, {"", "", {}}, {"", "", {}},
                                        {"        debug", "debug", {}}};
  test_coff c = object_file();
  add_text(c, main1, 0x40);
  add_text(c, inc, 0x43);
  add_text(c, main2, 0x44);
  file_symbols(c, {{"main.asm", 2}, {"inc.asm", 3}, {"main.asm", 4}});
  write_file("main.asm", source_of(main1) + "        debug\n");
  write_file("inc.asm", source_of(inc));
  const std::string report = profile(c, 0x44, "nest");
  const std::size_t start = report.find("****** START file 'main.asm'");
  ASSERT_NE(start, std::string::npos) << report;
  const std::vector<std::string> order = {
      "[0001]",      "[0002]  000040",  "[0003]", "twice",
      "//nop",       "<....>",          "[0004]", "include 'inc.asm'",
      "****** START file 'inc.asm'",    "[0001]  000043", "[0002]", "****** END file 'inc.asm'",
      "[0005]  000044", "****** END file 'main.asm'"};
  std::size_t at = start;
  for (const std::string& piece : order) {
    const std::size_t found = report.find(piece, at);
    ASSERT_NE(found, std::string::npos) << piece << "\n" << report.substr(start);
    at = found + piece.size();
  }
}

}  // namespace

namespace {

// A section loaded at p:$80 whose line entries name its run address p:$40:
// its code is decoded where it is loaded and counted where it runs.
TEST_F(object_profile, CodeCopiedAtRunTimeKeepsItsSource) {
  test_coff c = object_file();
  add_text(c, {{"        nop", "nop"}, {"        debug", "debug"}}, 0x10);
  ASSERT_EQ(assemble_line("inc a", 0x40), 1);
  c.sections.push_back({".txt", 0x80, 0, 0x820, {asm_words[0]}, 0, 1});
  c.lines.push_back({0x40, 0, 1});
  file_symbols(c, {{"main.asm", 2}, {"copy.asm", 3}});
  write_file("main.asm", "        nop\n        debug\n");
  write_file("copy.asm", "        inc a\n");
  c.write(path("prog.cld"));
  run("load prog.cld");
  run("log p copy");
  const profile_tables& t = *profiler_tables(0);
  bool found = false;
  for (auto it = t.code->begin(); auto* n = static_cast<const code_node*>(it.next());) {
    if (n->decoded.address != 0x40) continue;
    found = true;
    EXPECT_EQ(n->copy_space, PROF_SPACE_P);
    EXPECT_EQ(n->copy_address, 0x80u);
    EXPECT_EQ(n->decoded.words[0], asm_words[0]);
    EXPECT_STREQ(n->file, "copy.asm");
  }
  EXPECT_TRUE(found);
}

}  // namespace
