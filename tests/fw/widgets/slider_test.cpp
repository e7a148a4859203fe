// Sliders: the thumb's place for a value and the value for a dragged
// thumb (halving, dividing first, the full 32-bit range), the keyboard
// selectors, thumb lengths, and each look's drawing and pointer behaviour
// in a process of its own.
#include "fw/widgets/controls/slider.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "fw/gui/window/window_event.h"
#include "tests/fw/widgets/dialog_support.h"
#include "tests/fw/widgets/slider_support.h"

namespace {

int notified = 0;

struct Sliders : ::testing::Test {
  vslider* s = nullptr;
  void SetUp() override {
    startDialogItemTests();
    s = vsliderCreate();
    notified = 0;
    vdialogSetItemNotify(s, [](vdialogItem*, vevent*) { ++notified; });
  }
  void TearDown() override { vinstanceDestroy(s); }
  void range(std::int32_t min, std::int32_t max, int view, std::int32_t value) {
    vcontrolSetMin(s, INT32_MIN);
    vcontrolSetMax(s, max);
    vcontrolSetMin(s, min);
    vcontrolSetView(s, view);
    vcontrolSetValue(s, value);
  }
};

TEST_F(Sliders, ThumbPlaceAndDraggedValue) {
  const vrect track{0, 0, 200, 10};
  range(0, 100, 0, 50);
  EXPECT_EQ(vsliderThumbStart(s, &track, 20), 90);
  EXPECT_EQ(vsliderValueAt(s, 180, 200, 20), 100);
  EXPECT_EQ(vsliderValueAt(s, 0, 200, 20), 0);
  EXPECT_EQ(vsliderValueAt(s, 60, 20, 20), 0);  // no room to move: the minimum
  // Large ranges: the place halves until the range fits; a drag divides first.
  range(0, 4'000'000, 0, 2'000'000);
  EXPECT_EQ(vsliderThumbStart(s, &track, 20), 90);
  EXPECT_EQ(vsliderValueAt(s, 90, 200, 20), 4'000'000 / 180 * 90);
  range(0, 1'048'576, 0, 0);
  EXPECT_EQ(vsliderValueAt(s, 90, 200, 20), 90 * 1'048'576 / 180);
  // The whole 32-bit range, with and without a view, stays in bounds.
  range(INT32_MIN, INT32_MAX, 0, INT32_MAX);
  EXPECT_EQ(vsliderThumbStart(s, &track, 20), 180);
  EXPECT_EQ(vsliderValueAt(s, 180, 200, 20), std::int32_t(INT32_MIN + 4294967295LL / 180 * 180));  // divided first
  vcontrolSetValue(s, INT32_MIN);
  EXPECT_EQ(vsliderThumbStart(s, &track, 20), 0);
  vcontrolSetView(s, 32767);
  vcontrolSetValue(s, INT32_MAX);
  EXPECT_EQ(s->value, INT32_MAX - 32767);
  EXPECT_EQ(vsliderThumbStart(s, &track, 20), 180);
  // A full view: no range to divide by; the thumb at the start.
  range(0, 10, 20, 5);
  EXPECT_EQ(s->value, 0);
  EXPECT_EQ(vsliderThumbStart(s, &track, 20), 0);
  EXPECT_EQ(vsliderValueAt(s, 50, 200, 20), 0);
}

TEST_F(Sliders, SelectorsMoveAndNotifyOnlyOnChange) {
  range(0, 100, 10, 50);
  vcontrolSetIncrement(s, 3);
  vcontrolSetPage(s, 20);
  vevent* e = veventCreateKeyDown(nullptr, 0, 0, 0, 0, 0, 0);
  vdict context;
  vdictInit(&context, vdictHashName);
  vdictStore(&context, vname_Event, e);
  auto issue = [&](int selector, vdict* ctx) {
    vobjectAttributedOf(s)->issueSelector(s, selector, ctx);
    return s->value;
  };
  struct Step {
    int selector;
    std::int32_t value;
    int notified;
  };
  const Step steps[] = {{9, 90, 1},  {9, 90, 1},  {10, 87, 2}, {12, 90, 3}, {14, 70, 4},
                        {17, 50, 5}, {16, 70, 6}, {15, 90, 7}, {8, 0, 8},   {13, 0, 8}};
  for (const Step& step : steps) {
    EXPECT_EQ(issue(step.selector, &context), step.value) << step.selector;
    EXPECT_EQ(notified, step.notified) << step.selector;
  }
  EXPECT_EQ(issue(11, nullptr), 3);  // without an event: moved, not notified
  EXPECT_EQ(notified, 8);
  vdictFinish(&context);
  veventDestroy(e);
}

TEST_F(Sliders, TheWindowsLooksOwnGeometry) {
  // The Windows look: 63 x 23, a trough 32 shorter than the item and 23
  // across, an 11-pixel thumb, two 17-pixel buttons past the trough.
  EXPECT_EQ(s->rect.width, 63);
  EXPECT_EQ(s->rect.height, 23);
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(s, &w, &h);
  EXPECT_EQ(w, 63);
  EXPECT_EQ(h, 23);
  vrect r{0, 0, 132, 23};
  vdialogSetItemRect(s, &r);
  range(0, 100, 0, 50);
  vcontrolSetPage(s, 10);
  vcontrolClassOf(s)->computeIndicator(s);
  vrect t;
  vsliderGetTrackRect(s, &t);
  EXPECT_EQ(t.width, 100);
  EXPECT_EQ(t.height, 23);
  EXPECT_EQ(s->indicator.width, 11);
  EXPECT_EQ(s->indicator.x, (100 - 11) * 50 / 100);
  // Part finding by press: page back, thumb, page forward, the buttons.
  struct Case {
    int x;
    int part;
  };
  const Case cases[] = {{10, vsliderPAGE_BACK}, {50, vsliderTHUMB}, {90, vsliderPAGE_FORWARD},
                        {100, vsliderSTEP_BACK}, {116, vsliderSTEP_BACK}, {117, vsliderSTEP_FORWARD},
                        {133, vsliderSTEP_FORWARD}, {134, -1}};
  for (const Case& c : cases) {
    vevent* e = veventCreateButtonDown(nullptr, c.x, 5, 0, 1, 1, 0);
    vcontrolClassOf(s)->choosePart(s, e);
    int part = s->activePart ? int(s->activePart - vsliderGetParts(s)) : -1;
    EXPECT_EQ(part, c.part) << c.x;
    veventDestroy(e);
  }
  s->activePart = nullptr;
}

// ---- Each look in its own process.

class SliderLooks : public ::testing::TestWithParam<const char*> {};
TEST_P(SliderLooks, DrawAsStored) { EXPECT_TRUE(sliderPictureMatches("sliders", GetParam())); }
INSTANTIATE_TEST_SUITE_P(EveryLook, SliderLooks,
                         ::testing::Values("motif", "openlook2d", "openlook3d", "cua", "windows", "win95"));

TEST(SliderInput, MotifDragFollowsWithin50PixelsAndStopsAtTheEnds) {
  // A track of 200 and a thumb of 20; the thumb starts 90 in for 50.
  EXPECT_EQ(sliderProbe("-laf motif input"),
            "value 50: value 50 thumb 102 notified 0\n"
            "dragged 90: value 100 thumb 192 notified 1\n"
            "past the end: value 100 thumb 192 notified 1\n"
            "40 above: value 74 thumb 146 notified 2\n"
            "50 above: value 74 thumb 146 notified 2\n"
            "back on the track: value 24 thumb 56 notified 3\n");
}

TEST(SliderInput, OpenLookEndsJumpOnceOnShortSlidersAndPagingKeepsThePointerOut) {
  EXPECT_EQ(sliderProbe("-laf openlook input"),
            "short near end held: value 20 thumb 19 notified 1\n"
            "paged forward: value 10 thumb 34 notified 1\n"
            "pointer at 47\n");
}

// The Win95 thumbs are the look's images recoloured from the item's
// scheme (its face here a green), square or pointed, turned on their side
// on a vertical slider: highlight at the top left, black at the far side.
TEST(SliderThumbs, Win95ThumbsTakeTheItemsFace) {
  EXPECT_EQ(sliderProbe("-laf win95 thumbcolours"),
            "across thumb 11x23: middle 208040, top left ffffff, far corner 208040\n"
            "upright thumb 21x11: middle 208040, top left ffffff, far corner 000000\n");
}

// One quick jump of 140 pixels along the track keeps the drag; the drag
// ends only when the pointer strays more than 50 pixels across it.
TEST(SliderInput, WindowsAndWin95DragsSurviveAJumpAlongTheTrack) {
  EXPECT_EQ(sliderProbe("-laf windows input"),
            "jumped 140 along: value 74 thumb 150 notified 1\n"
            "back 40, 45 across: value 52 thumb 110 notified 2\n"
            "back 40, 80 across: value 52 thumb 110 notified 2\n");
  EXPECT_EQ(sliderProbe("-laf win95 input"),
            "jumped 140 along: value 65 thumb 154 notified 1\n"
            "back 40, 45 across: value 46 thumb 114 notified 2\n"
            "back 40, 80 across: value 46 thumb 114 notified 2\n");
}

TEST(SliderInput, CuaStepButtonsPastTheTrack) {
  EXPECT_EQ(sliderProbe("-laf cua input"),
            "5 past the track: value 49 thumb 44 notified 1\n"
            "13 past the track: value 50 thumb 45 notified 2\n");
}

// A dialog destroyed from the notification of its own held control, at the
// press or at a later repeat: nothing runs on the freed control afterwards
// and no repeat stays pending. The Open Look bars and sliders step once:
// the elevator moves from under the pointer.
TEST(RepeatingControls, ADialogDestroyedFromTheNotificationOfItsHeldControl) {
  for (const char* laf : {"windows", "win95", "motif", "cua", "openlook"}) {
    std::string want;
    bool openLook = std::string(laf) == "openlook";
    for (const char* kind : {"scroll bar", "slider", "spinner"})
      for (int at : {1, 2, 4}) {
        int calls = openLook && std::string(kind) != "spinner" ? 1 : at;
        want += std::string(kind) + " destroyed at call " + std::to_string(at) + ": calls " + std::to_string(calls) +
                ", dialog gone " + (calls == at ? "1" : "0") + ", repeat pending 0\n";
      }
    EXPECT_EQ(sliderProbe(std::string("-laf ") + laf + " doomed"), want) << laf;
  }
}

}  // namespace
