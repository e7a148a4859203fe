// Spinners run in a probe process per look: their part records and class
// sizes are the look's the classes were built in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/win/test.h"
#include "tests/support/png_compare.h"

namespace {

std::string probe(const std::string& args) {
  std::string out;
  FILE* p = popen((std::string(SPINNER_PROBE) + " " + args + " 2>&1").c_str(), "r");
  if (!p) return "cannot run the probe";
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  if (int status = pclose(p); status != 0) out += "status " + std::to_string(status) + "\n";
  return out;
}

const char* const kLooks[] = {"windows", "win95", "motif", "cua", "openlook"};

// Steps stop at the ends unless wrapping, and wrap only from exactly the
// end; typed text is taken before a step (clamped, or ignored when it is
// not a number); one rate gate serves every spinner; a sorted list sorts at
// its next lookup and the value keeps its index; lookups are exact and
// byte-ordered; stored forms; copies own their list and field; a list of
// the wrong class raises.
TEST(Spinner, StepsWrapTypedTextSortingAndStoredForms) {
  EXPECT_EQ(probe("-laf windows steps"),
            "9 up: 10 \"10\" notified 1\n"
            "10 up: 10 \"10\" notified 0\n"
            "wrapped up: 0 \"0\" notified 1\n"
            "wrapped down: 10 \"10\" notified 1\n"
            "9 up with wrap: 10 \"10\" notified 1\n"
            "text range 0..3 view 1\n"
            "three ups: 2 \"three\" notified 2\n"
            "wrapped up: 0 \"one\" notified 1\n"
            "wrapped down: 2 \"three\" notified 1\n"
            "typed 42, up: 42 \"42\" notified 1\n"
            "up again: 43 \"43\" notified 1\n"
            "typed 42 with a maximum of 10, up: 10 \"10\" notified 1\n"
            "typed letters, up: 8 \"8\" notified 1\n"
            "typed down, other up, typed down twice, other up at 1000, 1100, 1150, 1200, 1250 ms: 7/0 7/1 7/1 6/1 6/1\n"
            "appended: first row pear pending 1\n"
            "find fig 1; rows Apple fig pear; value 0 shows \"Apple\"\n"
            "find Fig -1, find pea -1\n"
            "set text pear: 2 \"pear\" notified 0\n"
            "set text plum: 2 \"plum\" notified 0\n"
            "deleted Apple: count 2 max 2\n"
            "deleted -1 and 7: count 2\n"
            "typed fi, Confirm: answer 1\n"
            "with its event: 0 \"fig\" notified 1\n"
            "numeric find -1\n"
            "stored flags 7 texts -1\n"
            "stored flags 7 texts 3\n"
            "stored flags 5 texts -1\n"
            "loaded vspinnerText: editable 1 wrap 1 rows 3 value 2 \"three\"\n"
            "without vspinnerFlags: raised 1\n"
            "clone: rows 3 first one shows \"three\"; its field reports to it 1\n"
            "a plain list: raised 1\n"
            "a new list: rows 0 max 0 \"\"\n");
}

// A held arrow steps at the press, at the first repeat 0.2 s later, then
// once a tenth of a second however often the control repeats; nothing
// after the release.
TEST(Spinner, HeldArrowStepsOnTheVirtualClock) {
  for (const char* laf : kLooks)
    EXPECT_EQ(probe(std::string("-laf ") + laf + " held"),
              "stepped at ms: 0 200 300 400; value 4\n"
              "after the release: value 4\n")
        << laf;
}

// Half-open zones tested increment first: the shared row of the Windows
// and CUA columns steps up; Motif's 6-pixel gaps are no arrow's (the field
// part covers the whole spinner).
TEST(Spinner, ArrowZonesPerLook) {
  struct Case {
    const char* laf;
    const char* zones;
  };
  const Case cases[] = {
      {"windows", "100x20: (90,19) up (90,10) up (90,9) up (90,8) down (90,0) down (83,9) up (82,9) field (40,9) field\n"},
      {"cua", "80x29: (70,28) up (70,14) up (70,13) down (70,0) down (61,14) up (60,14) field\n"},
      {"motif", "100x28: (82,5) up (93,5) up (94,5) field (99,5) field (88,5) up (76,5) field (75,5) down (64,5) down "
                "(63,5) field (20,5) field\n"},
      {"win95", "image 144 width 16\n72x27: (61,25) field (61,24) up (61,13) up (61,12) down (61,2) down (61,1) field "
                "(70,20) field (69,20) up (54,20) up (53,20) field\n"},
      {"openlook3d", "80x15: (47,5) field (48,5) up (52,5) up (63,5) up (64,5) down (66,5) down (79,5) down (20,5) field\n"},
      {"openlook2d", "80x15: (47,5) field (48,5) field (52,5) up (63,5) up (64,5) up (66,5) down (79,5) down (20,5) field\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(probe(std::string("-laf ") + c.laf + " zones"), c.zones) << c.laf;
}

// A dialog holding a numeric and a text spinner and a string combo, driven
// by the pointer and keys: arrows step by the increment, typed text is
// taken on Return, before a step, when the value is read and when the
// focus leaves, the Up and Down keys step, a typed prefix picks its row,
// and the combo takes a typed choice.
TEST(Spinner, DialogOperatedByPointerAndKeys) {
  for (const char* laf : kLooks) {
    std::string out = probe(std::string("-laf ") + laf + " dialog");
    EXPECT_EQ(out.substr(0, out.find("combo:")),
              "clicked up: value 15 field \"15\" told spinner 15\n"
              "clicked down: value 10 field \"10\" told spinner 10\n"
              "field focused 1\n"
              "typed 37: value 10 field \"37\" told\n"
              "Return: value 37 field \"37\" told spinner 37\n"
              "typed x, clicked up: value 42 field \"42\" told spinner 42\n"
              "Up key: value 47 field \"47\" told spinner 47\n"
              "Down key: value 42 field \"42\" told spinner 42\n"
              "days: value 2 field \"Wednesday\" told spinner 2\n")
        << laf;
    EXPECT_NE(out.find("combo: \"green\" selected 1 told combo"), std::string::npos) << laf << out;
    const std::size_t typed = out.find("typed 23");
    ASSERT_NE(typed, std::string::npos) << laf << out;
    EXPECT_EQ(out.substr(typed),
              "typed 23, read: 23\n"
              "after the read: value 23 field \"23\" told combo\n"  // the combo left

              "typed 31, days clicked: value 31 field \"31\" told spinner 31\n"
              "typed abc, days clicked: value 31 field \"31\" told\n")
        << laf;
  }
}

// Numeric and text spinners: plain, an arrow held, focused (editable and
// not), disabled.
TEST(SpinnerLooks, PicturesAsStored) {
  for (const char* laf : {"windows", "win95", "motif", "cua", "openlook", "openlook2d"}) {
    std::string png =
        (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_spinners_" + laf + ".png")).string();
    std::string out = probe(std::string("-laf ") + laf + " shots " + png);
    ASSERT_EQ(out, "") << laf;
    win::test::Image image;
    ASSERT_TRUE(win::test::ReadPng(png, image)) << laf;
    std::filesystem::remove(png);
    EXPECT_TRUE(test_support::MatchesPng(image,
                                         std::string(std::getenv("SIM_TEST_DATA")) + "/spinner/spinners_" + laf + ".png", 8))
        << laf;
  }
}

}  // namespace
