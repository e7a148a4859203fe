#include "fw/gui/window/fontsize.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FontSize, PointsToHeight) {
  EXPECT_EQ(vfontMSWPointsToHeight(nullptr, 10), -13);  // the screen is 96 dpi

  vfontMSWSizeOverride tail{12, -17, nullptr};
  vfontMSWSizeOverride head{9, -11, &tail};
  struct Case {
    const vfontMSWSizeOverride* overrides;
    int points, dpi, height;
  } cases[] = {
      {nullptr, 10, 96, -13}, {nullptr, 12, 96, -16}, {nullptr, 8, 96, -11}, {nullptr, 0, 96, 0},
      {nullptr, 10, 120, -17}, {&head, 12, 96, -17},  {&head, 12, 300, -17}, {&head, 9, 96, -11},
      {&head, 10, 96, -13},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(_vfontMSWPointsToHeightAt(c.overrides, c.points, c.dpi), c.height)
        << c.points << " points at " << c.dpi << " dpi";
  }
  EXPECT_EQ(vfontMSWPointsToHeight(&head, 12), -17);
}

// Characters 'a' to 'c'; 'c' leans left of its origin, as an italic f does.
const std::int16_t kAdvance[] = {5, 6, 7};
const std::int16_t kLeft[] = {1, 0, -2};
const std::int16_t kRight[] = {4, 6, 8};

vfontMSWMetrics font(std::uint8_t pitch, int average, bool bearings, std::uint8_t defaultChar = 'b') {
  vfontMSWMetrics m{};
  m.text = {10, 3, average, 7, 1, 'a', 'c', defaultChar, pitch};
  m.advance = kAdvance;
  m.leftBearing = bearings ? kLeft : nullptr;
  m.rightExtent = bearings ? kRight : nullptr;
  return m;
}

TEST(FontSize, TextBox) {
  struct Case {
    const char* what;
    vfontMSWMetrics metrics;
    std::string text;
    vrect box;
  } cases[] = {
      {"empty, bearings", font(1, 5, true), "", {0, 0, 0, 0}},
      {"empty, no bearing tables", font(1, 5, false), "", {0, -3, 1, 13}},
      {"empty, equal widths", font(1, 7, true), "", {0, -3, 1, 13}},
      {"empty, fixed pitch with bearings", font(0, 5, true), "", {0, 0, 0, 0}},
      {"negative left bearing", font(1, 5, true), "ca", {-2, -3, 14, 13}},
      {"bearings, in order", font(1, 5, true), "ac", {1, -3, 13, 13}},
      {"advance sum", font(1, 7, true), "abc", {0, -3, 19, 13}},
      {"out of range uses the default", font(1, 5, false), "az", {0, -3, 12, 13}},
      {"no default in range gives zeros", font(1, 5, false, 0), "az", {0, -3, 6, 13}},
      {"out of range with bearings", font(1, 5, true, 0), "z", {0, -3, 1, 13}},
      {"fixed pitch advances by the average", font(0, 5, false), "az!", {0, -3, 16, 13}},
      {"fixed pitch with bearings", font(0, 5, true), "cc", {-2, -3, 16, 13}},
      {"fixed pitch, high bytes", font(0, 4, false), "\xff\x80", {0, -3, 9, 13}},
  };
  for (const Case& c : cases) {
    vrect box{99, 99, 99, 99};
    vfontMSWTextBox(&c.metrics, c.text.data(), static_cast<int>(c.text.size()), &box);
    EXPECT_EQ(box.x, c.box.x) << c.what;
    EXPECT_EQ(box.y, c.box.y) << c.what;
    EXPECT_EQ(box.width, c.box.width) << c.what;
    EXPECT_EQ(box.height, c.box.height) << c.what;
  }
}

TEST(FontSize, LongRunsAreCutTo16BitsWithoutOverflow) {
  std::string text(20000, 'c');
  vfontMSWMetrics fixed = font(0, 5, false);
  vrect box{};
  vfontMSWTextBox(&fixed, text.data(), static_cast<int>(text.size()), &box);
  EXPECT_EQ(box.width, static_cast<std::int16_t>(100001 - 65536));

  // Advances that would overflow 32 bits summed over a huge count.
  static const std::int16_t wide[] = {32767};
  vfontMSWMetrics big{};
  big.text = {10, 3, 32767, 32767, 0, 'c', 'c', 'c', 1};
  big.advance = wide;
  std::string run(70000, 'c');
  vfontMSWTextBox(&big, run.data(), static_cast<int>(run.size()), &box);
  std::int64_t sum = std::int64_t{32767} * 70000;
  EXPECT_EQ(box.width, static_cast<std::int16_t>(static_cast<std::uint16_t>(sum & 0xffff)));
}

}  // namespace
