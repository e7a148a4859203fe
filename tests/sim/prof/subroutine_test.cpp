// Subroutine profiles: a call chain, a recursive routine and a routine
// entered without a call, the directive warnings, the stack limits, and
// the call graph drawn in PostScript (one page kept as a PNG).
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/sim/prof/object_program.h"
#include "sim/prof/profiler.h"

namespace {

// Routines by section: main $40 (lines 1-3), a $50 (4-5), b $58 (6-7),
// rec $60 (8-10), other $70 (11-12).
const std::vector<std::pair<uint32_t, std::vector<line_spec>>> calls_program = {
    {0x40,
     {{"main    jsr $50      ;## enter main", "jsr $50"},
      {"        jsr $60", "jsr $60"},
      {"        jmp $70", "jmp $70"}}},
    {0x50, {{"a       jsr $58      ;## enter a", "jsr $58"}, {"        rts", "rts"}}},
    {0x58, {{"b       nop          ;## enter b", "nop"}, {"        rts", "rts"}}},
    {0x60, {{"rec     dec a        ;## enter rec", "dec a"}, {"        jsne $60", "jsne $60"}, {"        rts", "rts"}}},
    {0x70, {{"other   nop          ;## enter other, any", "nop"}, {"        debug", "debug"}}},
};

class subroutine_profile : public object_profile {
 protected:
  // Builds the program (with an optional replaced source text), runs it
  // with a = 3 and returns the report; self cycles per section start.
  std::string run_calls(std::map<uint32_t, uint32_t>* cycles = nullptr, const std::string& source = "") {
    test_coff c = object_file();
    std::string text;
    uint32_t number = 1;
    std::vector<std::pair<std::string, int>> files;
    for (const auto& [start, lines] : calls_program) {
      add_text(c, lines, start, number);
      number += static_cast<uint32_t>(lines.size());
      text += source_of(lines);
      files.push_back({"calls.asm", static_cast<int>(c.sections.size())});
    }
    file_symbols(c, files);
    write_file("calls.asm", source.empty() ? text : source);
    c.write(path("prog.cld"));
    run("load prog.cld");
    run("break pc==$71");
    run("change pc $40");
    run("change a 3");
    run("log p calls -o");
    go();
    if (cycles != nullptr)
      for (auto it = profiler_tables(0)->code->begin(); auto* n = static_cast<const code_node*>(it.next());)
        (*cycles)[n->decoded.address & ~7u] += n->cycles;
    run("log off p");
    return read_file("calls.log");
  }
  static std::string row(const char* name, int calls, int sites, int entries, uint32_t cycles) {
    char text[128];
    std::snprintf(text, sizeof text, "%-28s %-9s%5d    %5d      %5d  %6ld   ", name, "", calls, sites, entries,
                  static_cast<long>(cycles));
    return text;
  }
};

TEST_F(subroutine_profile, CallChainRecursionAndAnEntryWithoutACall) {
  std::map<uint32_t, uint32_t> cycles;
  const std::string report = run_calls(&cycles);
  // main: entered once (no call), calls a, rec and reaches other by a jump.
  EXPECT_NE(report.find(row("main", 0, 0, 1, cycles[0x40])), std::string::npos) << report;
  EXPECT_NE(report.find(row("a", 1, 1, 1, cycles[0x50])), std::string::npos);
  EXPECT_NE(report.find(row("b", 1, 1, 1, cycles[0x58])), std::string::npos);
  EXPECT_NE(report.find(row("rec", 3, 2, 1, cycles[0x60])), std::string::npos);
  EXPECT_NE(report.find(row("other", 1, 1, 1, cycles[0x70])), std::string::npos);
  EXPECT_NE(report.find("Function calls           :        6"), std::string::npos);
  // The program stopped inside other, entered above main.
  EXPECT_NE(report.find("Subroutine Stack at program termination:\r\n\r\n"
                        "other                        pc=$000070\r\n"
                        "main(i)                      pc=$000040\r\n"),
            std::string::npos);
  // Listing: a's caller and callee with the cycles of the edges.
  char line[160];
  std::snprintf(line, sizeof line,
                "main(i)                      calls - 1/1, cycles - %u\r\n"
                "a                            calls - 1, cycles - %u/%u\r\n",
                cycles[0x50] + cycles[0x58], cycles[0x50], cycles[0x58]);
  EXPECT_NE(report.find(line), std::string::npos) << report;
  EXPECT_NE(report.find(", rec - 3/"), std::string::npos);
  // The dependency tree, text side.
  EXPECT_NE(report.find("o main(i)\r\n|\r\n|-------o a\r\n|       |\r\n|       `-------o b\r\n|\r\n"
                        "|-------o rec<-->\r\n|\r\n`-------o other\r\n"),
            std::string::npos);

  const std::string ps = read_file("calls.ps");
  EXPECT_NE(ps.find("(Subroutine Dynamic Call Graph) sh"), std::string::npos);
  EXPECT_NE(ps.find(" ra (rec) -12 "), std::string::npos);
  if (std::system("command -v gs >/dev/null 2>&1") != 0) return;
  const std::string check =
      "gs -dSAFER -dBATCH -dNOPAUSE -q -sDEVICE=nullpage '" + path("calls.ps") + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(check.c_str()), 0);
  // The call-graph page for a person to look at, in the build folder.
  int page = 0;
  for (std::size_t at = ps.find("%%Page: "); at != std::string::npos && at < ps.find("% Subroutine call graph");
       at = ps.find("%%Page: ", at + 1))
    page = std::atoi(ps.c_str() + at + 8);
  const std::string png = "gs -dSAFER -dBATCH -dNOPAUSE -q -sDEVICE=png16m -r90 -dFirstPage=" +
                          std::to_string(page) + " -dLastPage=" + std::to_string(page) +
                          " -sOutputFile=call_graph.png '" + path("calls.ps") + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(png.c_str()), 0);
}

TEST_F(subroutine_profile, DirectiveWarnings) {
  const struct {
    const char* replaced;
    const char* by;
    const char* warning;
  } cases[] = {
      {";## enter a", ";## enter a, sometimes", "File calls.asm, line 4: Invalid directive"},
      {"jsr $60", "jsr $60 ;## call rec, later", "File calls.asm, line 2: Invalid directive"},
      {"nop          ;## enter b", "nop          ;## call b, joint_ret", "File calls.asm, line 6: Directive 'call' not allowed here"},
  };
  for (const auto& k : cases) {
    std::string text;
    for (const auto& section : calls_program) text += source_of(section.second);
    text.replace(text.find(k.replaced), std::string(k.replaced).size(), k.by);
    const std::string report = run_calls(nullptr, text);
    EXPECT_NE(output().find(k.warning), std::string::npos) << k.warning << "\n" << output();
    EXPECT_NE(report.find("Subroutine Coverage Error(s) - No Subroutine report"), std::string::npos);
    EXPECT_EQ(report.find("Basic Subroutine Profile"), std::string::npos);
  }
}

// Twenty-two nested calls overflow the stack; a return at the top
// underflows it.
TEST_F(subroutine_profile, StackLimits) {
  test_coff c = object_file();
  add_text(c, {{"deep    dec a", "dec a"}, {"        jsne $40", "jsne $40"}, {"        debug", "debug"}}, 0x40);
  file_symbols(c, {{"deep.asm", 2}});
  write_file("deep.asm", "deep    dec a\n        jsne $40\n        debug\n");
  c.write(path("prog.cld"));
  run("load prog.cld");
  run("break pc==$43");
  run("change pc $40");
  run("change a 25");
  run("log p deep");
  go();
  run("log off p");
  EXPECT_NE(read_file("deep.log").find("Note : Subroutine stack overflow occured during simulation (File deep.asm, "
                                       "line 2, stack size is 20)"),
            std::string::npos)
      << read_file("deep.log");

  test_coff u = object_file();
  const std::vector<line_spec> up = {{"        nop ;## return", "nop"}, {"        nop ;## return", "nop"},
                                     {"        nop", "nop"}, {"        debug", "debug"}};
  add_text(u, up, 0x40);
  file_symbols(u, {{"up.asm", 2}});
  write_file("up.asm", source_of(up));
  u.write(path("up.cld"));
  run("load up.cld");
  run("break pc==$43");
  run("change pc $40");
  run("log p up");
  go();
  run("log off p");
  EXPECT_NE(read_file("up.log").find("Note : Subroutine stack underflow occured during simulation (File up.asm, line 3)"),
            std::string::npos)
      << read_file("up.log");
}

// A routine entered without a call ("any") from plain instructions the
// fast engine counts without the profiler's hook: each entry's caller is
// the jump before it, as on the cycle engine, until the stack overflows
// (named by that jump's line); the reports are the same on both engines.
TEST_F(subroutine_profile, EntriesAfterCountedInstructionsAsOnTheCycleEngine) {
  test_coff c = object_file();
  const std::vector<std::vector<line_spec>> parts = {
      {{"main    nop          ;## enter main", "nop"}, {"loop    inc a", "inc a"}, {"        jmp $70", "jmp $70"}},
      {{"other   nop          ;## enter other, any", "nop"}, {"        jmp $41", "jmp $41"}}};
  const std::string text = add_parts(c, parts, {0x40, 0x70});
  file_symbols(c, {{"any.asm", 2}, {"any.asm", 3}});
  write_file("any.asm", text);
  c.write(path("prog.cld"));
  std::string reports[2];
  for (int cycle_engine = 0; cycle_engine < 2; ++cycle_engine) {
    run("load prog.cld");
    device_states[0]->cycle_engine_only = static_cast<uint8_t>(cycle_engine);
    run("break cyc>=500");
    run("change pc $40");
    run("log p any -o");
    go();
    run("log off p");
    run("break off");
    static const std::regex date(R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4})");
    reports[cycle_engine] = std::regex_replace(read_file("any.log"), date, "<date>");
  }
  device_states[0]->cycle_engine_only = 0;
  EXPECT_NE(reports[0].find("Note : Subroutine stack overflow occured during simulation (File any.asm, line 3, "),
            std::string::npos)
      << reports[0];
  EXPECT_EQ(reports[0], reports[1]);
}

// A jump named as a call with "joint_ret": the callee's return ends its
// caller too.
TEST_F(subroutine_profile, JointReturnPopsBothFrames) {
  test_coff c = object_file();
  const std::vector<std::vector<line_spec>> parts = {
      {{"main    jsr $50      ;## enter main", "jsr $50"}, {"        nop", "nop"}, {"        debug", "debug"}},
      {{"a       jmp $58      ;## enter a ;## call b, joint_ret", "jmp $58"}},
      {{"b       nop          ;## enter b", "nop"}, {"        rts", "rts"}}};
  const std::string text = add_parts(c, parts, {0x40, 0x50, 0x58});
  file_symbols(c, {{"joint.asm", 2}, {"joint.asm", 3}, {"joint.asm", 4}});
  write_file("joint.asm", text);
  c.write(path("prog.cld"));
  run("load prog.cld");
  run("break pc==$42");
  run("change pc $40");
  run("log p joint");
  go();
  run("log off p");
  const std::string report = read_file("joint.log");
  EXPECT_NE(report.find("Subroutine Stack at program termination:\r\n\r\nmain(i)                      pc=$000040\r\n\r\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("o main(i)\r\n|\r\n`-------o a\r\n        |\r\n        `-------o b\r\n"), std::string::npos);
}

// In a section marked by ".tx" inside ".bm"/".em", each source line runs
// as one entry of the routine named by its first word.
TEST_F(subroutine_profile, MarkedSectionLinesAreInlineRoutines) {
  test_coff c = object_file();
  const std::vector<line_spec> lines = {{"        nop", "nop"},
                                        {"        inc a", "inc a"},
                                        {"        inc a", "inc a"},
                                        {"        debug", "debug"}};
  add_text(c, lines, 0x40);
  file_symbols(c, {{"inline.asm", 2}});
  c.symbol(".bm", 0, 0, 2, 0, 3);
  c.symbol(".tx", 0, 0, 2, 0, 3);
  c.symbol(".em", 0, 0, 2, 0, 3);
  write_file("inline.asm", source_of(lines));
  c.write(path("prog.cld"));
  run("load prog.cld");
  run("break pc==$43");
  run("change pc $40");
  run("log p inline");
  go();
  run("log off p");
  const std::string report = read_file("inline.log");
  EXPECT_NE(report.find("inc                          inline       2        0          0"), std::string::npos)
      << report;
  EXPECT_NE(report.find("nop                          inline       1        0          0"), std::string::npos);
}

}  // namespace
