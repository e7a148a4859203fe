// Push buttons: activation only on a release while pressed, the timed
// click of "Select" on the simulated clock (also after the button is
// gone), copies and the stored form; sizes, the default ring's room and
// pictures per look, each look in its own process.
#include "fw/widgets/controls/button.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/window/window_event.h"
#include "tests/fw/core/event_support.h"
#include "tests/fw/widgets/dialog_support.h"
#include "tests/fw/widgets/slider_support.h"

namespace {

int activations = 0;

struct Buttons : ::testing::Test {
  vbutton* b = nullptr;
  void SetUp() override {
    startDialogItemTests();  // the Windows look
    activations = 0;
    b = vbuttonCreate();
    vdialogSetItemTitle(b, vscribeLiteral("OK"));
    vrect r{10, 10, 80, 24};
    vdialogSetItemRect(b, &r);
    vdialogSetItemNotify(b, [](vdialogItem*, vevent*) { ++activations; });
  }
  void TearDown() override {
    if (b) vinstanceDestroy(b);
  }
  int pointer(int (*vdialogItemClassRec::*slot)(vdialogItem*, vevent*), int kind, int x, int y) {
    vevent* e = kind == 1 ? veventCreateButtonDown(nullptr, x, y, 0, 1, 1, 0)
                : kind == 2 ? veventCreateButtonUp(nullptr, x, y, 0, 0, 1, 0)
                            : veventCreateMotion(nullptr, x, y, 0, 1, 0);
    int answer = (vdialogItemClassOf(b)->*slot)(b, e);
    veventDestroy(e);
    return answer;
  }
  bool pressed() const { return (b->buttonFlags & vbuttonPRESSED) != 0; }
};

TEST_F(Buttons, OnlyAReleaseWhilePressedActivates) {
  using C = vdialogItemClassRec;
  pointer(&C::buttonDown, 1, 20, 20);
  EXPECT_TRUE(pressed());
  pointer(&C::motion, 3, 90, 20);  // x + width is outside
  EXPECT_FALSE(pressed());
  pointer(&C::buttonUp, 2, 90, 20);
  EXPECT_EQ(activations, 0);
  pointer(&C::buttonDown, 1, 20, 20);
  pointer(&C::motion, 3, 95, 20);
  pointer(&C::motion, 3, 89, 33);  // back inside: pressed again
  EXPECT_TRUE(pressed());
  pointer(&C::buttonUp, 2, 89, 33);
  EXPECT_EQ(activations, 1);
  EXPECT_FALSE(pressed());
  // The Windows look's title button is at least the class's size.
  int w = 0, h = 0;
  vdialogGetItemMinSize(b, &w, &h);
  EXPECT_GE(w, 75);
  EXPECT_GE(h, 23);
}

TEST_F(Buttons, SelectClicksFor20MillisecondsAndAGoneButtonClicksNothing) {
  SimulatedClock clock;
  static win::ULONGLONG start = 0, seen = 0;
  static vbutton* watched = nullptr;
  start = SimulatedClock::now;
  watched = b;
  vdialogSetItemNotify(b, [](vdialogItem* i, vevent*) {
    ++activations;
    seen = SimulatedClock::now;
    // Still pressed while it activates: released after.
    EXPECT_TRUE(static_cast<vbutton*>(i)->buttonFlags & vbuttonPRESSED);
  });
  vobjectAttributedOf(b)->issueSelector(b, 3, nullptr);
  EXPECT_TRUE(pressed());
  vevent* stop = veventCreateClient([](vevent*) {
    veventStopProcessing();
    return 1;
  }, nullptr);
  veventPostDelayed(stop, 0, 100'000'000);
  veventProcess();
  EXPECT_EQ(activations, 1);
  EXPECT_EQ(seen - start, 20u);
  EXPECT_FALSE(pressed());

  vobjectAttributedOf(b)->issueSelector(b, 3, nullptr);
  vinstanceDestroy(b);
  b = nullptr;
  stop = veventCreateClient([](vevent*) {
    veventStopProcessing();
    return 1;
  }, nullptr);
  veventPostDelayed(stop, 0, 100'000'000);
  veventProcess();
  EXPECT_EQ(activations, 1);
  (void)watched;

  // A button whose click destroys it (its dialog closed from the notify):
  // the click ends there, and a second button clicked meanwhile still
  // clicks and is released.
  b = vbuttonCreate();
  vbutton* other = vbuttonCreate();
  vdialogSetItemNotify(b, [](vdialogItem* i, vevent*) {
    ++activations;
    vinstanceDestroy(i);
  });
  vdialogSetItemNotify(other, [](vdialogItem*, vevent*) { ++activations; });
  vobjectAttributedOf(b)->issueSelector(b, 3, nullptr);
  vobjectAttributedOf(other)->issueSelector(other, 3, nullptr);
  b = nullptr;
  stop = veventCreateClient([](vevent*) {
    veventStopProcessing();
    return 1;
  }, nullptr);
  veventPostDelayed(stop, 0, 100'000'000);
  veventProcess();
  EXPECT_EQ(activations, 3);
  EXPECT_FALSE(other->buttonFlags & vbuttonPRESSED);
  vinstanceDestroy(other);
}

TEST_F(Buttons, APressedDefaultButtonCopiesPressedAndStoresOnlyTheDefault) {
  vbuttonSetDefault(b, 1);
  vbuttonPress(b);
  b->buttonFlags |= vbuttonMENU_DEFAULT;
  vbutton* copy = vbuttonCreate();
  vbuttonClassOf(b)->copy(b, copy);
  EXPECT_EQ(copy->buttonFlags, vbuttonPRESSED | vbuttonDEFAULT);
  vbuttonClassOf(b)->copy(b, b);
  EXPECT_EQ(b->buttonFlags, vbuttonPRESSED | vbuttonDEFAULT | vbuttonMENU_DEFAULT);
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  vresource out = vrstoreCreate(root, vnameInternLiteral("B"), vresDICTIONARY);
  vbuttonClassOf(b)->store(b, out);
  EXPECT_EQ(vrstoreGetInteger(out, vnameInternLiteral("vbuttonFlags")), vbuttonDEFAULT);
  auto* back = static_cast<vbutton*>(vobjectLoad(out));
  EXPECT_EQ(back->buttonFlags, vbuttonDEFAULT);
  EXPECT_STREQ(back->title, "OK");
  vinstanceDestroy(back);
  vinstanceDestroy(copy);
  vrstoreCloseFile(root);
}

TEST(ButtonLooks, SizesAndTheDefaultRingsRoom) {
  // Win95: 50 x 14 dialog units; Motif's ring of 4 is extra room for the
  // default button; Win95's ring is 0.
  EXPECT_EQ(sliderProbe("-laf win95 buttonsizes"), "min 88x23 (50x14 units 88x23) room 5, as the default 5\n");
  EXPECT_EQ(sliderProbe("-laf motif buttonsizes"), "min 80x25 (50x14 units 88x23) room 5, as the default 9\n");
  EXPECT_EQ(sliderProbe("-laf windows buttonsizes"), "min 75x23 (50x14 units 88x23) room 5, as the default 6\n");
}

class ButtonPictures : public ::testing::TestWithParam<const char*> {};
TEST_P(ButtonPictures, DrawAsStored) { EXPECT_TRUE(sliderPictureMatches("buttons", GetParam())); }
INSTANTIATE_TEST_SUITE_P(EveryLook, ButtonPictures, ::testing::Values("windows", "win95", "motif", "cua", "openlook"));

}  // namespace

namespace {

// A Win95 window holding a default button, a menu button and two scroll
// bars: the right arrow and a trough press by pointer, then "Right",
// "PageRight", "End" handed to the focused bar and "Select" to the
// focused button, each notification in turn; then the picture.
TEST(ButtonsAndBars, AWin95WindowOperatedByPointerAndKeys) {
  std::string png = (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_dialog_win95.png")).string();
  EXPECT_EQ(sliderProbe("-laf win95 dialog " + png),
            "across value 1\nupright value 10\nacross value 2\nacross value 12\nacross value 90\nOK activated\n");
  win::test::Image image;
  ASSERT_TRUE(win::test::ReadPng(png, image));
  std::filesystem::remove(png);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/slider/dialog_win95.png"));
}

}  // namespace

namespace {

std::string buttonProbe(const std::string& args) { return probeOutput(BUTTON_PROBE, args); }

// A menu button by pointer and by selectors in each look: the menu drops
// below the button (Windows family) or opens where the look opens menus,
// anchored on the button; the button stays held while the menu is open
// and the menu's end releases it; "Menu" pops it up from a key; a key that
// chooses an item ("Accelerator") chooses it with the menu closed, other
// keys change nothing; a button gone with its menu open leaves nothing
// behind. Open Look's Select previews the default item (else the first)
// and the release chooses it, turning a toggle on; a default with a
// sub-menu opens the sub-menu at the button.
TEST(MenuButtons, PopUpChooseAndReleaseInEveryLook) {
  const std::string opened = "pressed: pressed 1 mode 0 open 1\n";
  const std::string rest =
      "chose Two\nreleased on Two: pressed 0 mode 0 open 0\n"
      "clicked: pressed 1 mode 0 open 1\nended: pressed 0 mode 0 open 0\n"
      "selector 5 answers 1\nby the Menu selector: pressed 1 mode 0 open 1\n"
      "chose Two\nselector 7 with t answers 1\nby t: pressed 0 mode 0 open 0\nby q: pressed 0 mode 0 open 0\n";
  const std::string gone = "pressed again: pressed 1 mode 0 open 1\ngone with its menu open\n";
  const std::string below = "menu left +0, top +0 from the button's foot; anchored on the button 1\n";
  for (const char* laf : {"windows", "win95", "cua"}) EXPECT_EQ(buttonProbe(std::string("-laf ") + laf + " menus"), opened + below + rest + gone) << laf;
  EXPECT_EQ(buttonProbe("-laf motif menus"),
            opened + "menu left +11, top +27 from the button's foot; anchored on the button 1\n" + rest + gone);
  EXPECT_EQ(buttonProbe("-laf openlook menus"),
            opened + "menu left +18, top +21 from the button's foot; anchored on the button 1\n" + rest +
                "Select pressed: pressed 1 mode 1 open 0\nchose One\nSelect released: pressed 0 mode 0 open 0\n"
                "chose Wrap\nWrap on 1, the menu's selection Wrap\n"
                "Select on a cascade: pressed 1 mode 1 open 1\nchose Deeper\nreleased on Deeper: pressed 0 mode 0 open 0\n"
                "clicked on a cascade: pressed 1 mode 1 open 1\ncascade ended: pressed 0 mode 0 open 0\n" + gone);
}

// The held Open Look menu button shows the menu's default item in place of
// its title; the other one its title.
TEST(MenuButtons, OpenLookPreviewsTheDefaultItem) {
  std::string png = (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_preview.png")).string();
  EXPECT_EQ(buttonProbe("-laf openlook preview " + png), "");
  win::test::Image image;
  ASSERT_TRUE(win::test::ReadPng(png, image));
  std::filesystem::remove(png);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/slider/preview_openlook.png"));
}

}  // namespace
