// The report writer: control bytes and directives on each side, number
// fields, pagination, the PostScript name, the font stack, failed writes,
// and PostScript that Ghostscript renders without an error.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "sim/prof/prof_support.h"
#include "sim/prof/report_writer.h"
#include "tests/sim/cmd/cmd_fixture.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class report_writer : public cmd_files {
 protected:
  // Writes lines through a fresh writer; the text and PostScript files.
  std::pair<std::string, std::string> report(const std::vector<std::string>& lines,
                                             const char* name = "r.log") {
    ReportWriter w;
    w.open("/a/b/prog.cld", path(name).c_str(), "w");
    for (const std::string& line : lines) w.print_text(line);
    EXPECT_TRUE(w.close());
    return {slurp(path(name)), slurp(w.ps_name())};
  }
};

TEST(report_number_text, FitsOrShortens) {
  struct row {
    const char* number;
    int width;
    bool left;
    const char* want;
  };
  const row rows[] = {
      {"123456", 4, false, "12e4"}, {"123.456", 5, false, "123.5"}, {"  12", 4, false, "  12"},
      {"0.000", 3, false, "  0"},   {"0.000", 3, true, "0  "},      {"0.123456", 4, false, "0.12"},
      {"1234567", 6, false, "  12e5"}, {"1234567", 6, true, "12e5  "}, {"99999.5", 4, false, "99e3"},
  };
  for (const row& r : rows) EXPECT_EQ(report_number_text(r.number, r.width, r.left), r.want) << r.number;
}

TEST_F(report_writer, ControlBytesChooseTheFile) {
  const auto [text, ps] = report({std::string(1, REPORT_TEXT_ONLY) + "text only\r\n",
                                  std::string(1, REPORT_PS_ONLY) + "ps only\r\n",
                                  std::string(1, REPORT_PS_RAW) + "1 2 raw\r\n", "both (x)\r\n"});
  EXPECT_NE(text.find("text only"), std::string::npos);
  EXPECT_EQ(text.find("ps only"), std::string::npos);
  EXPECT_EQ(text.find("raw"), std::string::npos);
  EXPECT_NE(text.find("both (x)"), std::string::npos);
  EXPECT_EQ(ps.find("text only"), std::string::npos);
  EXPECT_NE(ps.find("(ps only"), std::string::npos);
  EXPECT_NE(ps.find("nl 1 2 raw\r\n"), std::string::npos);
  EXPECT_NE(ps.find("(both \\(x\\)"), std::string::npos);
  // Headers: the object file's base name and the page.
  EXPECT_EQ(text.rfind("Zelmorak Profiler Version 6.1.1 ", 0), 0u);
  EXPECT_NE(text.find(" prog.cld Page 1\r\n\r\n"), std::string::npos);
  EXPECT_EQ(ps.rfind("%!PS-Adobe-1.0\r\n", 0), 0u);
}

TEST_F(report_writer, DirectivesOnEachSide) {
  const auto [text, ps] = report({"a" + report_column(40) + "b" + report_fill(' ', 3) + "c" +
                                  report_fill('-', 4) + "d" + report_number(4, false, "123456") + "e" +
                                  report_number(5, true, "7") + "|\r\n"});
  // A number that fits its field is written as it is.
  EXPECT_NE(text.find("ab   c----d12e4e7|"), std::string::npos);
  EXPECT_NE(ps.find("(a) sh \r\n40 sc (b   c) sh \r\n4 da (d12e4e7|\r) sh "), std::string::npos);
}

TEST_F(report_writer, CommentsAreSetInItalicsToTheEndOfTheLine) {
  const auto [text, ps] = report({"move x0,a ; note\r\n", "next\r\n"});
  EXPECT_NE(ps.find("(move x0,a ) sh \r\n/Times-Italic 10 nf\r\n(; note"), std::string::npos);
  EXPECT_NE(ps.find("nl /Courier-Bold 10 nf\r\n"), std::string::npos);
}

TEST_F(report_writer, PagesOf59TextLinesAnd63PostScriptLines) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 130; ++i) lines.push_back("line " + std::to_string(i) + "\r\n");
  const auto [text, ps] = report(lines);
  // The text pages: 2 header lines and 57 lines each.
  EXPECT_NE(text.find("line 57\r\n\f\r\nZelmorak"), std::string::npos);
  EXPECT_NE(text.find(" Page 2\r\n\r\nline 58\r\n"), std::string::npos);
  EXPECT_NE(text.find(" Page 3\r\n\r\nline 115\r\n"), std::string::npos);
  EXPECT_EQ(occurrences(text, "\f"), 2u);
  // PostScript: a header line and 61 lines a page, the header counted as 2.
  EXPECT_EQ(occurrences(ps, "%%Page: "), 3u);
  EXPECT_NE(ps.find("(line 61\r) sh \r\nnl sp \r\n%%Page: 2 \r\n"), std::string::npos);
  EXPECT_NE(ps.find("hl (line 123\r) sh "), std::string::npos);
  // A form feed starts a page on both sides.
  const auto [text2, ps2] = report({"one\r\n\f", "two\r\n"}, "f.log");
  EXPECT_NE(text2.find("one\r\n\f\r\nZelmorak"), std::string::npos);
  EXPECT_NE(ps2.find("%%Page: 2 "), std::string::npos);
}

TEST_F(report_writer, LongLinesAreKeptWhole) {
  const std::string long_line(500, 'x');
  const auto [text, ps] = report({long_line + "\r\n"});
  EXPECT_NE(text.find(long_line), std::string::npos);
  EXPECT_EQ(occurrences(ps, "x"), 500u + occurrences(ps.substr(0, ps.find("(x")), "x"));
}

TEST_F(report_writer, ThePostScriptNameNeverTakesTheTextName) {
  struct row {
    const char* output;
    const char* ps;
  };
  for (const row& r : {row{"out.log", "out.ps"}, row{"out.ps", "out.ps.ps"}, row{"plain", "plain.ps"}}) {
    ReportWriter w;
    w.open(nullptr, path(r.output).c_str(), "w");
    w.print("x\r\n");
    EXPECT_TRUE(w.close());
    EXPECT_EQ(w.ps_name(), path(r.ps));
    EXPECT_NE(slurp(path(r.output)).find("(scratch) Page 1"), std::string::npos);
    EXPECT_EQ(slurp(path(r.ps)).rfind("%!PS", 0), 0u);
  }
}

TEST_F(report_writer, FontStackLimitsAbandonTheReport) {
  ReportWriter w;
  w.open(nullptr, path("f.log").c_str(), "w");
  // open pushed one font; 19 more fit.
  for (int i = 0; i < 19; ++i) w.font(FONT_PUSH, FONT_COURIER, 8);
  EXPECT_THROW(w.font(FONT_PUSH, FONT_COURIER, 8), prof_abandon);
  for (int i = 0; i < 20; ++i) w.font(FONT_POP);
  EXPECT_THROW(w.font(FONT_POP), prof_abandon);
  w.close();
}

TEST_F(report_writer, AFailedWriteIsReported) {
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  const auto previous = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ReportWriter w;
  w.open(nullptr, path("big.log").c_str(), "w");
  for (int i = 0; i < 200; ++i) w.print("%s\r\n", std::string(60, 'z').c_str());
  const bool ok = w.close();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  EXPECT_FALSE(ok);
  EXPECT_NE(output().find("Warning: Failed to close file"), std::string::npos);
}

TEST_F(report_writer, GhostscriptRendersEveryPage) {
  if (std::system("command -v gs >/dev/null 2>&1") != 0) GTEST_SKIP() << "gs is not installed";
  ReportWriter w;
  w.open("prog.cld", path("gs.log").c_str(), "w");
  w.title("Title (%d)", 1);
  for (int i = 0; i < 150; ++i) {
    w.print("%s[%04d]%s", report_column(20).c_str(), i, report_column(62).c_str());
    w.print_text(report_number(4, false, std::to_string(i * 997)) + report_fill('-', 6) + report_fill('.', 3));
    w.print("\tmac y0,x0,a ; comment (%d)\r\n", i);
    if (i % 40 == 0) w.font(FONT_PUSH, FONT_HELVETICA_BOLD, 6);
    if (i % 40 == 1) w.font(FONT_POP);
  }
  w.print("\f");
  w.print("after a form feed\r\n");
  ASSERT_TRUE(w.close());
  const std::string command = "gs -dSAFER -dBATCH -dNOPAUSE -q -sDEVICE=nullpage '" + w.ps_name() +
                              "' > '" + path("gs.out") + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << slurp(path("gs.out"));
  EXPECT_EQ(slurp(path("gs.out")).find("Error"), std::string::npos) << slurp(path("gs.out"));
}

}  // namespace
