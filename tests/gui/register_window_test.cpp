// Register windows against the simulator's own register table and
// formatter: rows in name order with the peripheral's suffix, hidden
// registers absent, values edited in place as "change" lines, and the
// fall-back to the core when the device's type loses the peripheral.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "fw/widgets/lists/liststr.h"
#include "frontends/gui/incell.h"
#include "frontends/gui/register_window.h"
#include "frontends/gui/road.h"
#include "sim/cmd/regfmt.h"
#include "sim/engine/device/regaccess.h"
#include "tests/gui/gui_window_support.h"
#include "tests/support/png_compare.h"

namespace {

struct RegisterWindow : GuiWindowFixture {
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::register_register_window();
  }
  static gui::sim_window* window(int number = -2) { return gui::window_find(gui::SIMWIN_REGISTER, 0, number); }
  static gui::xincell* list(gui::sim_window* w) { return gui::register_window_list(w); }
  static std::string cell(gui::sim_window* w, int row, int column) {
    const char* s = vliststrGetCell(static_cast<vliststr*>(list(w)->list), row, column);
    return s != nullptr ? s : "";
  }
  // What the window must show for a peripheral row: its registers that
  // are not hidden, by name, with the row's suffix, in their radix.
  static std::vector<std::pair<std::string, std::string>> expected_rows(int periph) {
    const periph_row& p = cur_type->periphs[periph];
    std::vector<int> regs;
    for (int r = 0; r < p.cls->reg_count; ++r)
      if ((p.cls->regs[r].access & 0x10) == 0) regs.push_back(r);
    std::sort(regs.begin(), regs.end(),
              [&](int a, int b) { return std::strcmp(p.cls->regs[a].name, p.cls->regs[b].name) < 0; });
    std::vector<std::pair<std::string, std::string>> out;
    for (int r : regs) {
      std::string value;
      format_register_value(periph, r, register_display_radix(periph_attrs(periph)[r]), value);
      out.emplace_back(std::string(p.cls->regs[r].name) + p.suffix, value);
    }
    return out;
  }
  static int periph_row_of(const char* name) {
    for (int i = 0; i < cur_type->periph_count; ++i)
      if (std::strcmp(cur_type->periphs[i].name, name) == 0) return i;
    return -1;
  }
  static void commit(gui::xincell* l, int row, const char* text) {
    gui::incell_edit_cell(l, row, 1);
    ASSERT_TRUE(gui::incell_editing(l));
    vtextitemSetTextChars(l->entry, text);
    vtextviewClassOf(l->entry)->notifyClient(l->entry, nullptr, gui::INCELL_COMMIT);
    settle();
  }
};

TEST_F(RegisterWindow, APortsRegistersComeInNameOrderWithTheirSuffixAndHiddenOnesAbsent) {
  gui::command_submit("wregister ssi1");
  settle();
  gui::sim_window* w = window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->number, 1);
  EXPECT_STREQ(w->window->title, "Dv00 Register Win1 ssi1");
  const int periph = periph_row_of("ssi1");
  ASSERT_GE(periph, 0);
  const auto want = expected_rows(periph);
  ASSERT_FALSE(want.empty());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(want[i].first);
    EXPECT_EQ(cell(w, static_cast<int>(i), 0), want[i].first);
    EXPECT_EQ(cell(w, static_cast<int>(i), 1), want[i].second);
  }
  EXPECT_EQ(want.front().first.back(), '1');
  EXPECT_TRUE(test_support::MatchesPng(win::test::WindowImage(w->window->native->hwnd),
                                       std::string(std::getenv("SIM_TEST_DATA")) + "/gui/register_ssi1.png", 8));
  // The same number again shows another peripheral in the same window.
  gui::command_submit("wregister win1");
  settle();
  EXPECT_EQ(gui::window_records().size(), 1u);
  EXPECT_STREQ(w->window->title, "Dv00 Register Win1 core");
  EXPECT_EQ(cell(w, 0, 0), expected_rows(0).front().first);
}

TEST_F(RegisterWindow, ACommittedValueChangesTheRegisterAndTheEditorMovesDown) {
  gui::command_submit("wregister");
  settle();
  gui::sim_window* w = window();
  ASSERT_NE(w, nullptr);
  const auto rows = expected_rows(0);
  const auto r0 = std::find_if(rows.begin(), rows.end(), [](const auto& r) { return r.first == "r0"; });
  ASSERT_NE(r0, rows.end());
  const int row = static_cast<int>(r0 - rows.begin());
  commit(list(w), row, "$12");
  uint32_t value = 0;
  ASSERT_TRUE(read_named("r0", &value));
  EXPECT_EQ(value, 0x12u);
  EXPECT_EQ(command_history_line(0), std::string("change r0 $12"));
  EXPECT_TRUE(gui::incell_editing(list(w)));
  EXPECT_EQ(list(w)->current_row, row + 1);
  // A refused line changes nothing and leaves the editor where it was.
  commit(list(w), row, "nonsense(");
  EXPECT_EQ(command_history_line(0), std::string("change r0 $12"));
  EXPECT_EQ(list(w)->current_row, row);
  // ... still editing, the refused text there to be mended, the value beneath.
  EXPECT_TRUE(gui::incell_editing(list(w)));
  char* kept = vtextitemGetString(list(w)->entry);
  EXPECT_STREQ(kept, "nonsense(");
  vmemFree(kept);
  EXPECT_EQ(cell(w, row, 1), expected_rows(0)[static_cast<std::size_t>(row)].second);
  EXPECT_STRNE(gui::last_error_text(), "");
  // The last row keeps the editor.
  const int last = static_cast<int>(rows.size()) - 1;
  commit(list(w), last, "$1");
  EXPECT_EQ(list(w)->current_row, last);
  EXPECT_EQ(command_history_line(0), "change " + rows.back().first + " $1");
}

// The list fills the window after the user sizes it, larger and smaller.
TEST_F(RegisterWindow, TheListFillsTheWindowWhenItIsResized) {
  gui::command_submit("wregister");
  settle();
  gui::sim_window* w = window();
  ASSERT_NE(w, nullptr);
  win::RECT r{};
  win::GetWindowRect(w->window->native->hwnd, &r);
  for (const auto& [dw, dh] : {std::pair{140, 110}, std::pair{-60, -90}}) {
    win::SetWindowPos(w->window->native->hwnd, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                      win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    settle();
    const vrect l = list(w)->rect;
    SCOPED_TRACE(std::to_string(dw) + "x" + std::to_string(dh));
    EXPECT_EQ(l.x, 0);
    EXPECT_EQ(l.y, 0);
    EXPECT_EQ(l.width, w->window->rect.width);
    EXPECT_EQ(l.height, w->window->rect.height);
  }
}

TEST_F(RegisterWindow, ATypeWithoutThePeripheralFallsBackToTheCore) {
  gui::command_submit("wregister win2 ssi1");
  settle();
  gui::sim_window* w = window(2);
  ASSERT_NE(w, nullptr);
  gui::command_submit("device dv0 73583");
  settle();
  ASSERT_EQ(periph_row_of("ssi1"), -1) << "the new type has no ssi1";
  EXPECT_STREQ(gui::register_window_view(w)->name, "core");
  EXPECT_STREQ(w->window->title, "Dv00 Register Win2 core");
  EXPECT_EQ(cell(w, 0, 0), expected_rows(0).front().first);
  // "off" closes every Register window of the device.
  gui::command_submit("wregister win3");
  settle();
  ASSERT_NE(window(3), nullptr);
  gui::command_submit("wregister off");
  settle();
  EXPECT_EQ(window(), nullptr);
}

}  // namespace
