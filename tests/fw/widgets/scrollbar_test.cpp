// Scroll bars, each look in its own process: troughs, thumb lengths and
// the part under a point; the Open Look scroll menu's arithmetic; bars at
// the ends, inert and pressed as pictures; a pressed and released page
// part that leaves the bar as a fresh drawing shows it.
#include "fw/widgets/controls/scrollbar.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fw/widgets/dialog_support.h"
#include "tests/fw/widgets/slider_support.h"

namespace {

TEST(ScrollBarParts, WindowsArrowsOverlapTheTroughAndItsEdgesAreExact) {
  // Points: just left of the trough, just right, dx = 0 above and below
  // it, past the arrow zone on both sides, on the thumb, after it.
  EXPECT_EQ(sliderProbe("-laf windows parts"), "trough 15 0 70 17 thumb 15+16: 1 5 -1 -1 -1 5 3 4\n");
}

TEST(ScrollBarParts, Win95ShortBarsHaveNoThumbAndEveryTroughPressDrags) {
  EXPECT_EQ(sliderProbe("-laf win95 parts"),
            "trough 16 0 16 16 thumb 16+0: 3 3 1 5\n"  // 48 = three arrow lengths
            "trough 16 0 17 16 thumb 16+8: 3 4\n"      // one more pixel: half the thickness at least
            "trough 16 0 68 16 thumb 16+16:\n"          // no view: one arrow long
            "trough 16 0 68 16 thumb 16+68:\n");        // no range: the whole trough
}

// A Win95 trough draws its pattern through a clip of its own size: long
// bars leave the look's shared pattern (which every clip of it pays for
// by its size) as the look made it.
TEST(ScrollBarParts, Win95TroughsLeaveTheSharedPatternItsSize) {
  EXPECT_EQ(sliderProbe("-laf win95 pattern"), "pattern 100x40\n");
}

TEST(ScrollBarParts, BarsWithNoRoomDrawInEveryLook) {
  for (const char* look : {"windows", "win95", "motif", "cua", "openlook"})
    EXPECT_EQ(sliderProbe(std::string("-laf ") + look + " empty"), "drawn\n") << look;
}

TEST(ScrollBarParts, CuaArrowZonesReach18PixelsAndThumbsFollowTheView) {
  EXPECT_EQ(sliderProbe("-laf cua parts"),
            "trough 19 1 62 14 thumb 19+28: 1 -1 5 -1 -1\n"  // no view: twice the thickness
            "trough 19 1 62 14 thumb 19+62:\n"
            "trough 19 1 62 14 thumb 19+31:\n");
}

TEST(ScrollBarParts, OpenLookAnchorsElevatorZonesAndTheScrollMenu) {
  EXPECT_EQ(sliderProbe("-laf openlook parts"),
            "trough 0 2 32 15 thumb 0+32: 1 5 -1\n"    // below 48: no anchors, arrows only
            "trough 8 2 32 15 thumb 8+32: 0 6 1 5\n"   // below 63: anchors, a 32-pixel elevator
            "trough 7 2 86 15 thumb 7+48: 1 3 5 4 4\n" // back, drag, forward by fifteens
            "menu 200 back: 40\n"                      // beyond the trough end: nothing
            "menu 93 back: 40\n"                       // at it: nothing
            "menu 50 back: 35\n"                       // 43 / 86 of a view of 10
            "menu 50 forward: 40\n"
            "menu without a view: 40\n");
  EXPECT_NE(sliderProbe("-laf openlook2d parts").find("thumb 7+49"), std::string::npos);  // 2-D: 49
}

TEST(ScrollBarParts, MotifTroughStopsASquareShortOfEachEnd) {
  EXPECT_EQ(sliderProbe("-laf motif parts"), "trough 14 2 72 12 thumb 14+12: 1 5 4\n");
}

class ScrollBarPage : public ::testing::TestWithParam<const char*> {};
TEST_P(ScrollBarPage, PressedThenReleasedLeavesTheBarAsDrawnAfresh) {
  EXPECT_EQ(sliderProbe(std::string("-laf ") + GetParam() + " page"),
            "value 60, pressed band shown, after release 0 pixels differ\n");
}
INSTANTIATE_TEST_SUITE_P(PagesThatDraw, ScrollBarPage, ::testing::Values("windows", "win95", "cua"));

TEST(ScrollBarThumb, WindowsThumbShowsADottedOutlineWhileHeldThroughMovesAndRedraws) {
  // Pointer through the headless back-end: the outline follows the thumb,
  // survives a whole-window update, and the release leaves a black frame.
  const std::string black = "bbbbbbbbbbbbbbbb bbbbbbbbbbbbbbbb", dots = "wbwbwbwbwbwbwbwb wbwbwbwbwbwbwbwb";
  EXPECT_EQ(sliderProbe("-laf windows thumbdrag"), "released at 59: " + black + "\npressed at 59: " + dots +
                                                       "\ndragged at 89: " + dots + "\nredrawn at 89: " + dots +
                                                       "\nlet go at 89: " + black + "\n");
  // Win95 thumbs have no drag outline: a held thumb keeps its plain frame.
  std::string win95 = sliderProbe("-laf win95 thumbdrag");
  EXPECT_EQ(win95.find("wb"), std::string::npos) << win95;
  EXPECT_NE(win95.find("dragged at 89"), std::string::npos) << win95;
}

class ScrollBarLooks : public ::testing::TestWithParam<const char*> {};
TEST_P(ScrollBarLooks, DrawAsStored) { EXPECT_TRUE(sliderPictureMatches("bars", GetParam())); }
INSTANTIATE_TEST_SUITE_P(EveryLook, ScrollBarLooks,
                         ::testing::Values("windows", "win95", "motif", "cua", "openlook2d", "openlook3d"));

// A program that runs without the framework's resource file (a copy of the
// probe alone in a folder) gets the same scroll bars from the built-in
// defaults: an arrow steps by one, not a page.
TEST(ScrollBars, ArrowsStepByOneWithoutTheResourceFile) {
  namespace fs = std::filesystem;
  fs::path alone = fs::temp_directory_path() / ("arrows." + std::to_string(getpid()));
  fs::create_directories(alone / "home");
  fs::copy_file(SLIDER_PROBE, alone / "slider_probe", fs::copy_options::overwrite_existing);
  const std::string bare = "cd '" + alone.string() + "' && env -u WEXLINHOME HOME='" + (alone / "home").string() +
                           "' WEXLIN_REGISTRY='" + (alone / "none").string() + "' '" + (alone / "slider_probe").string() +
                           "'";
  for (const char* look : {"windows", "win95", "motif", "cua"}) {
    SCOPED_TRACE(look);
    const std::string args = std::string("-laf ") + look + " arrows";
    const std::string withFile = sliderProbe(args);
    EXPECT_NE(withFile.find("right arrow: value 1 "), std::string::npos) << withFile;
    EXPECT_NE(withFile.find("top arrow: value 3 "), std::string::npos) << withFile;
    EXPECT_EQ(probeOutput(bare, args), withFile);
  }
  fs::remove_all(alone);
}

TEST(ScrollBars, TheClassSpawnsFromTheSliderWithTheLooksSizes) {
  startDialogItemTests();  // the Windows look
  vsliderClassRec* c = vsliderScrollBarGetDefaultClass();
  EXPECT_EQ(c->superclass, vsliderGetDefaultClass());
  vslider* b = vsliderScrollBarCreate();
  EXPECT_EQ(b->rect.width, 60);
  EXPECT_EQ(b->rect.height, 17);
  int w = 0, h = 0;
  vdialogGetItemMinSize(b, &w, &h);
  EXPECT_EQ(w, 13);
  vdialogGetItemNaturalSize(b, &w, &h);
  EXPECT_EQ(w, 4 * h);
  vcontrolSetVertical(b, 1);
  vdialogGetItemNaturalSize(b, &w, &h);
  EXPECT_EQ(h, 4 * w);
  vinstanceDestroy(b);
}

}  // namespace
