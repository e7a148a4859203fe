// Text views run in a probe process per look (the view class, its caret
// timer and the look are built once per process).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/win/test.h"
#include "tests/support/png_compare.h"

namespace {

std::string probe(const std::string& args) {
  std::string out;
  FILE* p = popen((std::string(TEXTVIEW_PROBE) + " " + args + " 2>&1").c_str(), "r");
  if (!p) return "cannot run the probe";
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  if (int status = pclose(p); status != 0) out += "status " + std::to_string(status) + "\n";
  return out;
}

// Scroll bars, a styled run with an underline, a selection across a line
// end (highlighted to the edge), an unfocused selection and a caret at the
// text area's left edge.
class TextviewLooks : public ::testing::TestWithParam<const char*> {};
TEST_P(TextviewLooks, DrawAsStored) {
  std::string laf = GetParam();
  std::string png = (std::filesystem::temp_directory_path() / ("textview_" + laf + ".png")).string();
  ASSERT_EQ(probe("-laf " + laf + " shots " + png), "");
  win::test::Image image;
  ASSERT_TRUE(win::test::ReadPng(png, image));
  std::filesystem::remove(png);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/textview/textview_" + laf + ".png"));
}
INSTANTIATE_TEST_SUITE_P(TwoLooks, TextviewLooks, ::testing::Values("win95", "motif"));

// After each of 300 random typing, deleting, inserting and selecting steps
// (some scrolling the selection into view) the view's pixels equal a full
// redraw, caret included.
TEST_P(TextviewLooks, EditsRedrawAsAWholeRedraw) {
  EXPECT_EQ(probe(std::string("-laf ") + GetParam() + " redraw"), "300 steps, 0 mismatches\n");
}

// The period from "caretblinkinterval"; phases every 250 ms of the
// virtual clock; a non-empty selection never blinks; 0 never starts the timer;
// a value that is no number keeps 0.75 s.
TEST(TextviewCaret, BlinkPeriodFromThePreference) {
  EXPECT_EQ(probe("blink 0.5"), "period 0 s 500000000 ns\nempty selection, every 250 ms: 10011001\nselection 1-3: 00000000\n");
  EXPECT_EQ(probe("blink 2"), "period 2 s 0 ns\nempty selection, every 250 ms: 11111110\nselection 1-3: 00000000\n");
  EXPECT_EQ(probe("blink 0"), "period 0 s 0 ns\nempty selection, every 250 ms: 11111111\nselection 1-3: 00000000\n");
  EXPECT_EQ(probe("blink x"), "period 0 s 750000000 ns\nempty selection, every 250 ms: 11000111\nselection 1-3: 00000000\n");
}

// ScrollY within 1..line count and ScrollX within 0..20479; the reversed
// vertical bar; the four ScrollTo modes; a caret at column 2990 of a
// 3000-character line; the resource form without the tracking bit; a copy
// sharing text and selection with bars of its own.
TEST(TextviewScroll, ClampsModesLongLinesResourcesAndCopy) {
  EXPECT_EQ(probe("-laf win95 scroll"),
            "lines 101 visible 8\n"
            "scroll to 500,-40: 101,0 bar 1\n"
            "scroll to 1,99999: 1,20479 bar 93\n"
            "ScrollTo 0, line 60: first 57\n"
            "ScrollTo 1, line 60: first 60\n"
            "ScrollTo 2, line 60: first 53\n"
            "ScrollTo 3, line 60: first 60\n"
            "column 2990: first 98 x 16072 caret x 333 height 19\n"
            "back to line 2: first 1 x 0\n"
            "stored flags 0x389; loaded flags 0x389 margins 7,3 bars 11\n"
            "copy: same text 1 same selection 1 own bars 11\n");
}

}  // namespace
