// The small services the dialogs rely on: register names in alphabetical
// order, and the number proposed for a new breakpoint.
#include <string>
#include <vector>

#include "frontends/gui/guiutil.h"
#include "tests/gui/gui_support.h"

namespace {

using GuiUtil = GuiFixture;

// Walking from -1 visits every register of each peripheral once, in
// ascending byte order; a row out of range has none.
TEST_F(GuiUtil, RegisterNamesComeInAlphabeticalOrder) {
  ASSERT_GT(cur_type->periph_count, 1);
  for (int row = 0; row < cur_type->periph_count; ++row) {
    SCOPED_TRACE(cur_type->periphs[row].name);
    const periph_class* cls = cur_type->periphs[row].cls;
    std::vector<std::string> walked;
    for (int i = gui::register_name_next(row, -1); i >= 0 && walked.size() <= 1000;
         i = gui::register_name_next(row, i))
      walked.emplace_back(cls->regs[i].name);
    EXPECT_EQ(static_cast<int>(walked.size()), cls->reg_count);
    for (std::size_t k = 1; k < walked.size(); ++k) EXPECT_LT(walked[k - 1], walked[k]);
  }
  EXPECT_EQ(gui::register_name_next(cur_type->periph_count, -1), -1);
  EXPECT_EQ(gui::register_name_next(-1, -1), -1);
}

// The proposal follows the last number given, unless a gap after the
// first breakpoint comes first.
TEST_F(GuiUtil, TheProposedBreakpointNumberIsFree) {
  EXPECT_EQ(gui::breakpoint_number_free(), 1);
  for (const char* line : {"break #1 pc==1", "break #3 pc==2", "break #4 pc==3"}) gui::command_submit(line);
  EXPECT_EQ(gui::breakpoint_number_free(), 2) << "the gap after #1";
  gui::command_submit("break #1 off");
  EXPECT_EQ(gui::breakpoint_number_free(), 5) << "after the last number given";
  gui::command_submit("break #5 pc==4");
  EXPECT_EQ(gui::breakpoint_number_free(), 6);
}

}  // namespace
