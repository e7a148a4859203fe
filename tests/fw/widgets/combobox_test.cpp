// Combo boxes run in a probe process per look (the look chooses the modes
// left to it and where the entry sits).
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
  FILE* p = popen((std::string(COMBOBOX_PROBE) + " " + args + " 2>&1").c_str(), "r");
  if (!p) return "cannot run the probe";
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  if (int status = pclose(p); status != 0) out += "status " + std::to_string(status) + "\n";
  return out;
}

// Keys and a press in an open window, over Cherry, apple, Banana, Date,
// elderberry, Fig, Grape (five visible). Codes: 3 the row changed, 2 a
// commit about to be shown, 1 shown. Windows-family looks find a typed
// prefix and keep a committed unknown text without adding it; Motif goes
// to the nearest value at or above the text, on typing and on Return.
// The arrows and paging start from the current value's place, stop at the
// ends unless cyclic; a press on a row fills the entry.
std::string keysTranscript(const std::string& typedBz, const std::string& returned) {
  return "start: entry \"\" value \"\" row -1 codes \n" + typedBz + returned +
         "values 7\n"
         "typed D: entry \"D\" value \"D\" row 3 codes 31\n"
         "Down: entry \"elderberry\" value \"elderberry\" row 4 codes 31\n"
         "Up: entry \"Date\" value \"Date\" row 3 codes 31\n"
         "PageDown: entry \"Grape\" value \"Grape\" row 6 codes 31\n"
         "PageDown: entry \"Grape\" value \"Grape\" row 6 codes 1\n"
         "Down at the end: entry \"Grape\" value \"Grape\" row 6 codes 1\n"
         "cyclic Down: entry \"Cherry\" value \"Cherry\" row 0 codes 31\n"
         "cyclic Up: entry \"Grape\" value \"Grape\" row 6 codes 31\n"
         "End: entry \"Grape\" value \"Grape\" row 6 codes 1\n"
         "Home: entry \"Cherry\" value \"Cherry\" row 0 codes 31\n"
         "press row 1: entry \"apple\" value \"apple\" row 1 codes 3\n"
         "read-only: entry \"apple\" value \"apple\" row 1 codes \n"
         "entry modifiable 0 selectable 0\n";
}

TEST(Combobox, KeysAndPressByLook) {
  // "b" finds Banana by prefix, "bz" nothing; Return keeps "bz".
  EXPECT_EQ(probe("-laf win95 keys"),
            keysTranscript("typed bz: entry \"bz\" value \"bz\" row -1 codes 3131\n",
                           "Return: entry \"bz\" value \"bz\" row -1 codes 21\n"));
  // "b" goes to Banana, "bz" to Cherry, the nearest above; Return takes it.
  EXPECT_EQ(probe("-laf motif keys"),
            keysTranscript("typed bz: entry \"bz\" value \"bz\" row 0 codes 3131\n",
                           "Return: entry \"Cherry\" value \"Cherry\" row 0 codes 21\n"));
}

// The value list and the choice box's rows kept in step: the measured
// width follows the widest value both ways; sorting is case-insensitive and
// keeps the current value selected; under AutoSort appended and replacing
// values go to their places; commit mode 1 adds an unknown text and
// selects a known one regardless of case.
TEST(Combobox, ValuesOrderSizeAndCommitting) {
  EXPECT_EQ(probe("-laf win95 values"),
            "order Cherry,apple,Banana,Date\n"
            "a wider value grows the width 1, deleting it measures again 1\n"
            "current: entry \"Banana\" value \"Banana\" row 2 codes \n"
            "sorted apple,Banana,Cherry,Date\n"
            "after sort: entry \"Banana\" value \"Banana\" row 1 codes \n"
            "auto-sorted aardvark,apple,Banana,blueberry,Cherry,Date,zucchini\n"
            "replaced apple,Banana,blueberry,Cherry,Coconut,Date,zucchini\n"
            "moved Banana,blueberry,Cherry,apple,Coconut,Date,zucchini rows Banana blueberry Cherry apple Coconut "
            "Date zucchini\n"
            "commit kiwi: entry \"kiwi\" value \"kiwi\" row 7 codes \n"
            "commit DATE: entry \"Date\" value \"Date\" row 5 codes \n"
            "values 8\n");
}

// The stored form brings the values back owned by the loaded box and shown
// in its rows, with the settings and the current value; a missing key or
// a value list holding something else raises, and the half-made box is
// destroyed cleanly. Copies and clones re-own their values; a copy onto
// itself changes nothing. The entry selects a value's whole text, and a
// read-only entry keeps its line with a line feed. Showing a row scrolls
// the least, and not at all for a row inside the view or out of range.
TEST(Combobox, ResourceFormCopiesAndShowingRows) {
  std::string box = "Cherry,apple,Banana,Date,elderberry owned 1 rows 1; value \"Date\" row 3; visible 3/3 cyclic 1/1 "
                    "flags 0x77105; children 1\n";
  std::string missing = "raised \"Tag not found in dictionary.\"\n";
  EXPECT_EQ(probe("-laf win95 forms"),
            "box: " + box + "loaded: " + box + "without vcomboboxFlags: " + missing + "without Values: " + missing +
                "without VisibleValues: " + missing + "without Value: " + missing +
                "a list of lists: raised \"vcombobox: \"Values\" holds an object that is not a combo-box value\"\n"
                "copied onto itself: " + box + "copied: " + box + "cloned: " + box + "source after: " + box +
                "entry \"apple\" selected 0-5\n"
                "read-only empty entry \"\\n\" selected 0-1\n"
                "show 20: shown 1, at the bottom 1\n"
                "show 19 (inside): first row kept 1\n"
                "show 3: at the top 1\n"
                "show 99: nothing moves 1\n");
}

// String combos: the first append selects; strings order by their bytes
// ("B" before "a" before "b"), the sort keeps the value and announces
// "Content" (an empty combo's sort does nothing); a typed string
// matching no choice stands unless the check refuses it, when the nearest
// choice (the greater first) is taken; edits of the string list itself show
// in the values at once, and a private copy of the value outlives its row;
// the stored form leaves out the default row count and an empty choice
// list; only a list of the list box's class is taken, and the old one goes
// with its observer (clean under ASan); the pop-down variant keeps its
// list in its dialog.
TEST(Combo, StringsMirrorOrderCheckAndStoredForm) {
  EXPECT_EQ(probe("-laf win95 strings"),
            "an empty sort announces \"Content\" 0 time(s)\n"
            "empty: flags 1 rows 0 text 0; loaded  rows visible 5 value \"\" modifiable 1\n"
            "first append: b rows b; value \"b\" row 0 codes \n"
            "two more: b,B,a rows b,B,a; value \"b\" row 0 codes \n"
            "a sort announces \"Content\" 1 time(s)\n"
            "sorted: B,a,b rows B,a,b; value \"b\" row 2 codes \n"
            "find B 0, b 2, c -1\n"
            "commit kiwi: B,a,b rows B,a,b; value \"kiwi\" row -1 codes \n"
            "refused A: B,a,b rows B,a,b; value \"B\" row 0 codes \n"
            "refused c: B,a,b rows B,a,b; value \"b\" row 2 codes \n"
            "commit a: B,a,b rows B,a,b; value \"a\" row 1 codes \n"
            "list edited: first,B,z rows first,B,z; value \"z\" row 2 codes 2\n"
            "deleted z, set row 1: first,second rows first,second; value \"z\" row -1 codes \n"
            "two choices: flags 1 rows 0 text 1; loaded first,second rows first,second visible 5 value \"first\" "
            "modifiable 1\n"
            "seven rows, read-only: flags 0 rows 1 text 1; loaded first,second rows first,second visible 7 value "
            "\"first\" modifiable 0\n"
            "a plain list: raised \"vcombo: the list is not of the list box's model class\"\n"
            "a new list: x,y rows x,y; value \"z\" row -1 codes \n"
            "pop-down: one,two rows one,two; value \"one\" row 0 codes \n"
            "pop-down parts: dialog 1 list in it 1\n");
}

// A focused box with its entry's text selected, a read-only one and a
// disabled one: the entry on top in the Windows family, below the list in
// Motif and Open Look; the Windows and CUA frames of their own.
class ComboboxLooks : public ::testing::TestWithParam<const char*> {};
TEST_P(ComboboxLooks, DrawAsStored) {
  std::string laf = GetParam();
  std::string png =
      (std::filesystem::temp_directory_path() / ("combobox_" + laf + "_" + std::to_string(getpid()) + ".png")).string();
  ASSERT_EQ(probe("-laf " + laf + " shots " + png), "");
  win::test::Image image;
  ASSERT_TRUE(win::test::ReadPng(png, image));
  std::filesystem::remove(png);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/combobox/combobox_" + laf + ".png"));
}
// A string combo and a focused pop-down string combo.
TEST_P(ComboboxLooks, StringCombosDrawAsStored) {
  std::string laf = GetParam();
  std::string png =
      (std::filesystem::temp_directory_path() / ("combo_" + laf + "_" + std::to_string(getpid()) + ".png")).string();
  ASSERT_EQ(probe("-laf " + laf + " stringshots " + png), "");
  win::test::Image image;
  ASSERT_TRUE(win::test::ReadPng(png, image));
  std::filesystem::remove(png);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/combobox/combo_" + laf + ".png"));
}
// Every way of ordering the values (a sort, AutoSort turned on over a full
// box, appending under AutoSort, loading a stored box with AutoSort in its
// flags; in a dialog the loaded box is copied onto the shown one) on a box
// outside any window and on one shown in a dialog: the values and the rows
// in order, the current value kept, and once the box shows, every row laid
// out one under the other with the height of a box never sorted.
TEST_P(ComboboxLooks, OrderedOutsideAWindowAndInsideOne) {
  std::string expected;
  for (const char* way : {"sort", "auto-sort on", "appended", "loaded"})
    for (const char* place : {"outside", "inside"})
      expected += std::string(way) + " " + place +
                  ": apple,Banana,Cherry,Date rows apple,Banana,Cherry,Date; value \"Banana\" row 1; laid out 1\n";
  EXPECT_EQ(probe("-laf " + std::string(GetParam()) + " ordering"), expected);
}
INSTANTIATE_TEST_SUITE_P(FiveLooks, ComboboxLooks, ::testing::Values("win95", "motif", "windows", "cua", "openlook"));

}  // namespace
