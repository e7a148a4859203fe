// Pop-down combo boxes run in a probe process per look, with the platform's
// own pointer injection, so that the grab of the dropped list is real.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "platform/win/test.h"
#include "tests/support/png_compare.h"

namespace {

std::string probe(const std::string& args) {
  std::string out;
  FILE* p = popen((std::string(POPDOWN_PROBE) + " " + args + " 2>&1").c_str(), "r");
  if (!p) return "cannot run the probe";
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  if (int status = pclose(p); status != 0) out += "status " + std::to_string(status) + "\n";
  return out;
}

// Codes: 4 the list dropped, 5 it went up, 3 the row changed, 1 shown, 2 a
// commit about to be shown. Alt+Down on a dropped list and Alt+Up on a
// closed one change nothing but still answer 1; the arrows move the choice
// without dropping the list; Return takes it up after committing; hiding
// and disabling take it up first.
TEST(Popdown, KeysDropAndRaiseTheList) {
  EXPECT_EQ(probe("-laf win95 keys"),
            "start: open 0 entry \"\" row -1 codes \n"
            "Alt+Up while closed: answer 1 open 0 entry \"\" row -1 codes \n"
            "Alt+Down: answer 1 open 1 entry \"\" row -1 codes 4\n"
            "Alt+Down while open: answer 1 open 1 entry \"\" row -1 codes \n"
            "Alt+Up: answer 1 open 0 entry \"\" row -1 codes 5\n"
            "Down: answer 1 open 0 entry \"apple\" row 1 codes 31\n"
            "Down: answer 1 open 0 entry \"Banana\" row 2 codes 31\n"
            "Return with the list down: answer 1 open 0 entry \"Banana\" row 2 codes 45\n"
            "hidden: open 0 shown 0\n"
            "disabled: open 0 enabled 0\n"
            "modifiable Alt+Down: answer 1 open 1 entry \"\" row -1 codes 4\n"
            "modifiable Alt+Up: answer 1 open 0 entry \"\" row -1 codes 5\n");
}

// While down the list is bound to the box's window as its native owner,
// with a drop shadow in the Win95 look only; taken up it is free again and
// the box that has the focus draws it once more (not when another item
// has it). The class keeps its own attribute dictionary, grown to 64.
TEST(Popdown, BoundToTheBoxWindowWithAShadowAndTheFocusShownAgain) {
  for (const char* laf : {"win95", "windows"}) {
    bool win95 = std::string(laf) == "win95";
    EXPECT_EQ(probe(std::string("-laf ") + laf + " bound"),
              std::string("down: parent is the box's window 1, native owner 1, shadow ") + (win95 ? "1" : "0") +
                  "\n"
                  "up: parent 0, focus item 1, its focus drawn 1 time(s)\n"
                  "up with the focus elsewhere: its focus drawn 0 time(s)\n"
                  "attributes: own 1, entries as the standard box's 1, slots at least 64 1, Value found 1\n")
        << laf;
  }
}

// A press on the arrow, dragged into the list and let go, chooses in one
// gesture; a click on the arrow leaves the list down and the next takes it
// up; a press outside takes it up and still reaches the window there.
TEST(Popdown, PointerChoosesInOneGestureAndAPressOutsideGoesThrough) {
  EXPECT_EQ(probe("-laf win95 pointer"),
            "pressed the arrow: open 1 entry \"\" row -1 codes 4\n"
            "dragged to row 2 and let go: open 0 entry \"Banana\" row 2 codes 35\n"
            "clicked the arrow: open 1 entry \"Banana\" row 2 codes 4\n"
            "clicked it again: open 0 entry \"Banana\" row 2 codes 5\n"
            "pressed outside: open 0 entry \"Banana\" row 2 codes 5\n"
            "the window outside got 1 press(es)\n");
}

// With its row count the list is right-aligned with the box: below it
// high on the screen, above it near the bottom.
TEST(Popdown, ListDropsBelowOrAboveNearTheBottom) {
  EXPECT_EQ(probe("-laf win95 place"),
            "high on the screen: below, right edges aligned, at least as wide 1, rows 5\n"
            "near the bottom: above, right edges aligned, at least as wide 1, rows 5\n");
}

// Stored and loaded, cloned and copied, a box keeps its values and its
// current one, its entry and arrow inside it and its list in a dialog of
// its own that knows it; the source keeps its parts; the copy drops its
// own list.
TEST(Popdown, StoredCopiedAndClonedBoxesKeepTheirParts) {
  std::string parts = "Cherry,apple,Banana,Date,elderberry,Fig,Grape owned 1 value \"elderberry\" row 4; entry 1 button 1 "
                      "list 1 dialog knows it 1 flags 0x77700\n";
  EXPECT_EQ(probe("-laf win95 forms"), "box: " + parts + "after storing: " + parts + "loaded class pop-down\n" +
                                           "loaded: " + parts + "cloned: " + parts + "copied: " + parts +
                                           "source after: " + parts + "the copy's list down 1\n");
}

// With the list down in a dialog, the platform's keys as the dialog binds
// them: Down and Up move the choice, Return takes it and takes the list
// up, Escape takes it up and leaves the box as it was before it dropped
// (no commit, nor the dialog's Abandon); typing goes into a modifiable
// box's entry. An empty read-only box draws nothing in its entry.
TEST(Popdown, KeysWhileTheListIsDownInADialog) {
  for (const char* laf : {"windows", "win95", "motif", "cua", "openlook"}) {
    bool nearest = std::string(laf) == "motif" || std::string(laf) == "openlook";
    // The focused box's own mark at the start of its entry, in these looks.
    bool caretShown = std::string(laf) == "windows" || std::string(laf) == "motif" || std::string(laf) == "cua";
    std::string out = probe(std::string("-laf ") + laf + " typed");
    EXPECT_EQ(out.substr(out.find('\n') + 1),
              "Alt+Down: open 1 entry \"Banana\" row 2 codes 4\n"
              "Down, Down: open 1 entry \"elderberry\" row 4 codes 3131\n"
              "Up: open 1 entry \"Date\" row 3 codes 31\n"
              "Return: open 0 entry \"Date\" row 3 codes 215\n"
              "Alt+Down, Down, Escape: open 0 entry \"Date\" row 3 codes 4315\n"
              "dialog open 1\n" +
                  std::string(nearest ? "typed Kiwi: open 1 entry \"Kiwi\" row 6 codes 31111\n"
                                      : "typed Kiwi: open 1 entry \"Kiwi\" row -1 codes 1111\n") +
                  "Escape: open 0 entry \"\" row -1 codes 5\n" +
                  "empty entry holds 0 character(s), selected 0, inked pixels " + (caretShown ? "26" : "0") + "\n")
        << laf;
  }
}

// The program ends with a list down (dropped for the first time, or again
// after it was taken up once): it ends cleanly, with no error.
TEST(Popdown, EndingTheProgramWithTheListDown) {
  EXPECT_EQ(probe("-laf win95 quit"), "open 1\n");
  EXPECT_EQ(probe("-laf windows quit again"), "open 1\n");
}

class PopdownLooks : public ::testing::TestWithParam<const char*> {};
TEST_P(PopdownLooks, DroppedListAsStored) {
  std::string laf = GetParam();
  std::string png =
      (std::filesystem::temp_directory_path() / ("popdown_" + laf + "_" + std::to_string(getpid()) + ".png")).string();
  ASSERT_EQ(probe("-laf " + laf + " shots " + png), "");
  win::test::Image image;
  ASSERT_TRUE(win::test::ReadPng(png, image));
  std::filesystem::remove(png);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/combobox/popdown_" + laf + ".png"));
}
INSTANTIATE_TEST_SUITE_P(FourLooks, PopdownLooks, ::testing::Values("win95", "windows", "motif", "cua"));

}  // namespace
