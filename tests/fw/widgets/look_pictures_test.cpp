// The controls as a user sees them, checked by their pixels in the probe
// programs' pictures (each look in a process of its own): edges where a
// control has them, colours that read on the face, glyphs that point the
// way they should. Rows are counted from the top of the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "platform/win/test.h"

namespace {

struct Picture {
  win::test::Image image;
  std::uint32_t at(int x, int y) const { return image.px[std::size_t(y) * std::size_t(image.width) + std::size_t(x)] & 0xFFFFFF; }
  int lum(int x, int y) const {
    std::uint32_t c = at(x, y);
    return int((c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF)) / 3;
  }
};

constexpr std::uint32_t grey(int v) { return std::uint32_t(v) * 0x010101u; }

// Runs a probe with its own home and reads the picture it writes last.
Picture shoot(const char* probe, const std::string& before, const std::string& after = "") {
  std::string png = (std::filesystem::temp_directory_path() /
                     ("look_pictures_" + std::to_string(getpid()) + ".png")).string();
  std::string home = (std::filesystem::temp_directory_path() / ("look_pictures_home_" + std::to_string(getpid()))).string();
  std::filesystem::create_directories(home);
  std::string command = "HOME=" + home + " " + probe + " " + before + " " + png + (after.empty() ? "" : " " + after) +
                        " >/dev/null 2>&1";
  Picture p;
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_TRUE(win::test::ReadPng(png, p.image)) << command;
  std::filesystem::remove(png);
  std::filesystem::remove_all(home);
  return p;
}

// Pixels of a rectangle (inclusive corners) that satisfy a test.
template <class Test>
int count(const Picture& p, int x0, int y0, int x1, int y1, Test test) {
  int n = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) n += test(p.at(x, y)) ? 1 : 0;
  return n;
}

// The longest run of one colour along a row.
int longestRun(const Picture& p, int y, int x0, int x1, std::uint32_t colour) {
  int best = 0, run = 0;
  for (int x = x0; x <= x1; ++x) {
    run = p.at(x, y) == colour ? run + 1 : 0;
    best = std::max(best, run);
  }
  return best;
}

// Ink (anything but the ground) in a column of a rectangle.
int columnInk(const Picture& p, int x, int y0, int y1, std::uint32_t ground) {
  int n = 0;
  for (int y = y0; y <= y1; ++y) n += p.at(x, y) != ground;
  return n;
}

struct Box {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
  bool empty() const { return x1 < 0; }
};
Box inkBox(const Picture& p, int x0, int y0, int x1, int y1, std::uint32_t ink) {
  Box b;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (p.at(x, y) == ink) b = {std::min(b.x0, x), std::min(b.y0, y), std::max(b.x1, x), std::max(b.y1, y)};
  return b;
}

// A horizontal arrow by its ink: the tip's column holds less than the base's.
void pointsLeft(const Picture& p, int x0, int y0, int x1, int y1, std::uint32_t ground, bool left) {
  int first = x0, last = x1;
  while (first <= x1 && columnInk(p, first, y0, y1, ground) == 0) ++first;
  while (last >= x0 && columnInk(p, last, y0, y1, ground) == 0) --last;
  ASSERT_LT(first, last) << "no arrow in (" << x0 << ", " << y0 << ")";
  int a = columnInk(p, first, y0, y1, ground), b = columnInk(p, last, y0, y1, ground);
  if (left) EXPECT_LT(a, b) << "tip on the left, base on the right at x " << x0;
  else EXPECT_GT(a, b) << "tip on the right, base on the left at x " << x0;
}

// A vertical 3-D arrow drawn whole: from its tip to its base every row
// holds edge ink on both sides of the tip's column.
void closedTriangle(const Picture& p, int x0, int y0, int x1, int y1, std::uint32_t ground) {
  int first = -1, last = -1;
  for (int y = y0; y <= y1; ++y)
    if (count(p, x0, y, x1, y, [&](std::uint32_t c) { return c != ground; }) > 0) {
      if (first < 0) first = y;
      last = y;
    }
  ASSERT_GE(first, 0) << "no arrow";
  ASSERT_GE(last - first, 4) << "an arrow of a few rows";
  auto inkOf = [&](int y) { return count(p, x0, y, x1, y, [&](std::uint32_t c) { return c != ground; }); };
  int tipRow = inkOf(first) <= inkOf(last) ? first : last, lo = x1, hi = x0;
  for (int x = x0; x <= x1; ++x)
    if (p.at(x, tipRow) != ground) lo = std::min(lo, x), hi = std::max(hi, x);
  int centre = (lo + hi) / 2;
  for (int y = first; y <= last; ++y) {
    int left = count(p, x0, y, centre, y, [&](std::uint32_t c) { return c != ground; });
    int right = count(p, centre, y, x1, y, [&](std::uint32_t c) { return c != ground; });
    EXPECT_TRUE(left > 0 && right > 0) << "row " << y << " of the arrow is broken";
  }
}

// ---- Win95 pop-down combo box: a sunken field holding a raised arrow.
TEST(LookPictures, Win95PopdownComboIsASunkenFieldWithARaisedArrow) {
  Picture p = shoot(COMBOBOX_PROBE, "-laf win95 stringshots");
  ASSERT_EQ(p.image.width, 360);
  // The bordered box: outer edge dark over the top and left, light under
  // the bottom; the inner edge black; then the field itself, no grey mat.
  EXPECT_EQ(p.at(200, 50), grey(128)) << "top edge";
  EXPECT_EQ(p.at(200, 51), grey(0)) << "inner top edge";
  EXPECT_EQ(p.at(200, 52), grey(255)) << "the field right under its edge";
  EXPECT_EQ(p.at(190, 60), grey(128)) << "left edge";
  EXPECT_EQ(p.at(200, 69), grey(255)) << "bottom edge";
  // The arrow at rest: light over its top and left, dark under and right.
  EXPECT_GT(p.lum(331, 60), p.lum(345, 60));
  EXPECT_GT(p.lum(338, 55), p.lum(338, 65));
}

// ---- Group titles sit on the face they interrupt, not on a white patch.
TEST(LookPictures, GroupTitleStripsTakeTheFaceUnderTheBox) {
  for (const char* laf : {"win95", "windows"}) {
    Picture p = shoot(DIALOG_PROBE, std::string("-laf ") + laf);
    EXPECT_EQ(count(p, 10, 8, 60, 22, [](std::uint32_t c) { return c == grey(255); }), 0) << laf;
    EXPECT_EQ(p.at(21, 16), p.at(21, 30)) << laf << ": the frame's top edge stops short of the title";
  }
}

// ---- Win95 disabled check boxes and radio buttons: embossed in the
// shadow pair, as every other disabled label of a dialog.
TEST(LookPictures, Win95DisabledToggleLabelsReadOnTheFace) {
  Picture p = shoot(OPTIONMENU_PROBE, "-laf win95 picture");
  auto faint = [](std::uint32_t c) { return c == grey(171) || c == grey(213); };
  // "Radio disabled" and "Disabled".
  for (Box b : {Box{125, 88, 210, 104}, Box{25, 112, 80, 130}}) {
    EXPECT_EQ(count(p, b.x0, b.y0, b.x1, b.y1, faint), 0) << "at " << b.x0;
    EXPECT_GT(count(p, b.x0, b.y0, b.x1, b.y1, [](std::uint32_t c) { return c == grey(128); }), 50) << "at " << b.x0;
    EXPECT_GT(count(p, b.x0, b.y0, b.x1, b.y1, [](std::uint32_t c) { return c == grey(255); }), 50) << "at " << b.x0;
  }
}

// ---- Check boxes and radio buttons stand level with their titles' letters.
TEST(LookPictures, TogglesIndicatorsLevelWithTheirTitles) {
  Picture p = shoot(OPTIONMENU_PROBE, "-laf win95 picture");
  auto middle = [](const Box& b) { return b.y0 + b.y1; };  // twice the centre row
  // "Off": the box's dark edge and the black letters beside it.
  Box box = inkBox(p, 8, 8, 22, 34, grey(128)), letters = inkBox(p, 26, 8, 50, 34, grey(0));
  ASSERT_FALSE(box.empty() || letters.empty());
  EXPECT_LE(std::abs(middle(box) - middle(letters)), 2) << "box rows " << box.y0 << "-" << box.y1;
  // "Radio off": the circle's dark edge and its title.
  Box circle = inkBox(p, 108, 8, 122, 34, grey(128)), title = inkBox(p, 126, 8, 200, 34, grey(0));
  ASSERT_FALSE(circle.empty() || title.empty());
  EXPECT_LE(std::abs(middle(circle) - middle(title)), 2) << "circle rows " << circle.y0 << "-" << circle.y1;
}

// ---- Column headers: the title inside its box, the highlight's underline
// below the letters.
TEST(LookPictures, RulerTitlesSitInsideTheirBoxes) {
  Picture p = shoot(RULER_PROBE, "-laf win95 shots");
  // The first ruler's boxes span rows 17-37: the two bottom rows are its edge.
  for (int y : {36, 37}) EXPECT_EQ(longestRun(p, y, 12, 130, grey(0)), 0) << "letters on the bottom edge, row " << y;
  // "Size" is highlighted: its underline is the lowest black row, apart from the letters.
  int underline = -1, lowestLetter = -1;
  for (int y = 19; y <= 35; ++y) {
    int run = longestRun(p, y, 72, 130, grey(0));
    if (run >= 15) underline = y;
    else if (run > 0) lowestLetter = y;
  }
  ASSERT_GE(underline, 0);
  EXPECT_GT(underline, lowestLetter + 1);
}

// ---- Motif scroll bars: whole 3-D arrows at both ends.
TEST(LookPictures, MotifScrollBarArrowsAreWholeTriangles) {
  Picture p = shoot(POPDOWN_PROBE, "-laf motif shots");
  std::uint32_t trough = p.at(148, 36);
  closedTriangle(p, 147, 34, 157, 45, trough);
  closedTriangle(p, 147, 88, 157, 99, trough);
}

// ---- Notebook page-turn buttons show which way they turn.
TEST(LookPictures, NotebookPageTurnArrowsPointLeftAndRight) {
  {
    Picture p = shoot(NOTEBOOK_PROBE, "-laf win95 sections");
    // Buttons (249-268, 228-247) and (271-290, 228-247): a black arrow centred in each.
    for (int x0 : {249, 271}) {
      Box b = inkBox(p, x0 + 2, 230, x0 + 17, 245, grey(0));
      ASSERT_FALSE(b.empty());
      EXPECT_LE(std::abs((b.x0 + b.x1) - (2 * x0 + 19)), 2) << "centred across, button at " << x0;
      EXPECT_LE(std::abs((b.y0 + b.y1) - (2 * 228 + 19)), 2) << "centred down, button at " << x0;
      EXPECT_GE(b.y1 - b.y0, 4) << "more than a dot";
      pointsLeft(p, x0 + 2, 230, x0 + 17, 245, grey(192), x0 == 249);
    }
  }
  Picture p = shoot(NOTEBOOK_PROBE, "-laf openlook sections");
  std::uint32_t ground = p.at(242, 210);
  pointsLeft(p, 244, 212, 260, 229, ground, true);
  pointsLeft(p, 262, 212, 277, 229, ground, false);
}

// ---- Open Look without 3-D: buttons and exclusive settings keep an outline.
TEST(LookPictures, OpenLook2DSettingsAndButtonsAreOutlined) {
  Picture p = shoot(OPTIONMENU_PROBE, "-laf openlook2d picture");
  // "Radio off": a long black stroke over and under the title.
  int strokes = 0;
  for (int y = 10; y <= 34; ++y) strokes += longestRun(p, y, 118, 190, grey(0)) >= 20;
  EXPECT_GE(strokes, 2);
  Picture d = shoot(DIALOG_PROBE, "-laf openlook2d");
  // "Cancel" beside the default "OK" (whose doubled outline it always had).
  strokes = 0;
  for (int y = 40; y <= 75; ++y) strokes += longestRun(d, y, 240, 300, grey(0)) >= 20;
  EXPECT_GE(strokes, 2);
}

// ---- Win95 scroll bars: each arrow on a raised button.
TEST(LookPictures, Win95ScrollArrowsSitOnRaisedButtons) {
  Picture p = shoot(DIALOG_PROBE, "-laf win95");
  // The list's upper arrow, columns 292-307, rows 127-142.
  EXPECT_EQ(p.at(293, 134), grey(255)) << "inner highlight on the left";
  EXPECT_EQ(p.at(300, 128), grey(255)) << "inner highlight on the top";
  EXPECT_EQ(p.at(307, 134), grey(0)) << "dark edge on the right";
  EXPECT_EQ(p.at(300, 142), grey(0)) << "dark edge under it";
}

// ---- Win95 simple combo boxes: the strip kept for a scroll bar that the
// rows do not need is part of the white list, not a grey gutter.
TEST(LookPictures, Win95ListWithoutItsBarIsWhiteToTheFrame) {
  Picture p = shoot(COMBOBOX_PROBE, "-laf win95 shots");
  // The first box's list, its right-hand strip (columns 154-166).
  EXPECT_EQ(count(p, 154, 40, 166, 150, [](std::uint32_t c) { return c == grey(192); }), 0);
  EXPECT_GT(count(p, 154, 40, 166, 150, [](std::uint32_t c) { return c == grey(255); }), 1000);
}

// ---- Spinners held down: Win95 sinks the arrow's button; Open Look
// without 3-D keeps the arrow visible in the filled half.
TEST(LookPictures, HeldSpinnerArrowsShowAsPressed) {
  Picture p = shoot(SPINNER_PROBE, "-laf win95 shots");
  // At rest (the first spinner's upper button, rows 20-28): light top and
  // left, black bottom and right; held (the "7" spinner's, rows 60-68): the reverse.
  EXPECT_GT(p.lum(58, 24), p.lum(73, 24));
  EXPECT_GT(p.lum(66, 20), p.lum(66, 28));
  EXPECT_LT(p.lum(58, 64), p.lum(73, 64));
  EXPECT_LT(p.lum(66, 60), p.lum(66, 68));
  Picture o = shoot(SPINNER_PROBE, "-laf openlook2d shots");
  // The "7" spinner's held upper half (columns 57-69, rows 67-78) is filled black.
  EXPECT_GT(count(o, 57, 67, 69, 78, [](std::uint32_t c) { return c == grey(0); }), 100);
  EXPECT_GE(count(o, 59, 69, 67, 76, [](std::uint32_t c) { return c == grey(255); }), 8) << "the arrow in it";
}

}  // namespace
