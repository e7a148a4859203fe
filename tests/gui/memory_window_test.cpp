// Memory windows against the simulator's own memory and formatter: the
// value columns that fit a width, the cells past the region's end, the
// editor's walk through the grid and the "Scroll_To" field.
#include <gtest/gtest.h>

#include "fw/widgets/lists/liststr.h"
#include "frontends/gui/incell.h"
#include "frontends/gui/memory_window.h"
#include "frontends/gui/road.h"
#include "sim/expr/valfmt.h"
#include "tests/gui/gui_window_support.h"
#include "tests/support/png_compare.h"

namespace {

struct MemoryWindow : GuiWindowFixture {
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::register_memory_window();
    for (int i = 0; i < cur_type->region_count; ++i)
      if (region == nullptr && std::string(cur_type->regions[i].name) == "xi") region = &cur_type->regions[i];
    ASSERT_NE(region, nullptr);
  }
  const mem_region* region = nullptr;
  static gui::sim_window* window() { return gui::window_find(gui::SIMWIN_MEMORY, 0); }
  static gui::xincell* list() { return gui::memory_window_list(window()); }
  static std::string cell(int row, int column) {
    const char* s = vliststrGetCell(static_cast<vliststr*>(list()->list), row, column);
    return s != nullptr ? s : "";
  }
  static int rows() { return vlistGetRowCount(list()->list); }
  static int columns() { return gui::memory_window_columns(window()); }
  std::string word(uint32_t address) const {
    std::string text;
    format_memory_word(region->space, address, 3, text);
    return text;
  }
  // The Memory window on xi, opened and made active.
  static void open_active_xi() {
    gui::command_submit("wmemory xi");
    settle();
    ASSERT_NE(window(), nullptr);
    win::SetActiveWindow(window()->window->native->hwnd);
    settle();
  }
  // A screen point x pixels into the cell of row 0, column 2, halfway up.
  static win::POINT first_value_point(int x) {
    vrect cell_rect;
    vlistviewGetCellRect(list(), 0, 2, &cell_rect);
    return screen_point(window()->window, list(), cell_rect.x - list()->rect.x + x,
                        cell_rect.y - list()->rect.y + cell_rect.height / 2);
  }
  static void user_resize(int width, int height) {
    win::SetWindowPos(window()->window->native->hwnd, nullptr, 0, 0, width, height,
                      win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    settle();
  }
  // The grid as the simulator's memory says it must be.
  void expect_grid() const {
    const uint32_t top = gui::memory_window_top(window());
    for (int r = 0; r < rows(); ++r)
      for (int c = 1; c < columns(); ++c) {
        const uint32_t a = top + static_cast<uint32_t>(r * (columns() - 1) + c - 1);
        SCOPED_TRACE(a);
        EXPECT_EQ(cell(r, c), a <= region->high ? word(a) : "");
      }
  }
};

TEST_F(MemoryWindow, TheValueColumnsAreThoseThatFitAndShowTheSimulatorsWords) {
  gui::command_submit("change xi:$3 $1234");
  gui::command_submit("wmemory xi");
  settle();
  ASSERT_NE(window(), nullptr);
  EXPECT_STREQ(window()->window->title, "Dv00 Memory Win1 xi");
  EXPECT_EQ(gui::memory_window_top(window()), region->low);
  EXPECT_EQ(cell(0, 0), "xi:$0000");
  EXPECT_EQ(cell(0, 4), "$1234");
  expect_grid();
  const gui::memory_view* v = gui::memory_window_view(window());
  ASSERT_GT(v->address_width, 1);
  ASSERT_GT(v->value_width, 1);
  for (int width : {v->address_width + v->value_width + 40, 2 * v->address_width + 5 * v->value_width, 60}) {
    SCOPED_TRACE(width);
    user_resize(width, 300);
    const int list_width = list()->rect.width;
    const int want = v->address_width + v->value_width < list_width
                         ? 1 + (list_width - v->address_width) / v->value_width
                         : 2;
    EXPECT_EQ(columns(), want);
    expect_grid();
  }
  EXPECT_EQ(columns(), 2) << "the narrowest still shows one value";
}

TEST_F(MemoryWindow, CellsPastTheRegionsEndAreEmptyAndCannotBeEdited) {
  gui::command_submit(("wmemory xi $" + format_hex_word(region->high - 2)).c_str());
  settle();
  ASSERT_NE(window(), nullptr);
  ASSERT_GT(columns(), 4);
  EXPECT_EQ(cell(0, 3), word(region->high));
  EXPECT_EQ(cell(0, 4), "");
  EXPECT_EQ(cell(1, 0), "");
  gui::incell_edit_cell(list(), 0, 4);
  EXPECT_FALSE(gui::incell_editing(list()));
  gui::incell_edit_cell(list(), 0, 3);
  EXPECT_TRUE(gui::incell_editing(list()));
  EXPECT_TRUE(test_support::MatchesPng(win::test::WindowImage(window()->window->native->hwnd),
                                       std::string(std::getenv("SIM_TEST_DATA")) + "/gui/memory_end.png", 8));
}

TEST_F(MemoryWindow, CommittingTheLastVisibleCellScrollsByOneRow) {
  gui::command_submit("wmemory xi");
  settle();
  ASSERT_NE(window(), nullptr);
  const int last_row = rows() - 1, last_column = columns() - 1;
  ASSERT_GT(last_row, 0);
  const uint32_t address = static_cast<uint32_t>(last_row * (columns() - 1) + last_column - 1);
  gui::incell_edit_cell(list(), last_row, last_column);
  ASSERT_TRUE(gui::incell_editing(list()));
  vtextitemSetTextChars(list()->entry, "$77");
  vtextviewClassOf(list()->entry)->notifyClient(list()->entry, nullptr, gui::INCELL_COMMIT);
  settle();
  EXPECT_EQ(word(address), "$0077");
  EXPECT_EQ(gui::memory_window_top(window()), static_cast<uint32_t>(columns() - 1));
  EXPECT_TRUE(gui::incell_editing(list()));
  EXPECT_EQ(list()->current_row, last_row);
  EXPECT_EQ(list()->current_column, 1);
  expect_grid();
}

// Escape in a cell's editor drops the edit: the memory keeps its word and
// the window goes on taking keys.
TEST_F(MemoryWindow, EscapeEndsACellEditWithoutCommitting) {
  open_active_xi();
  if (HasFatalFailure()) return;
  const std::string before = word(1);
  const win::POINT at = first_value_point(10);
  win::test::MouseDown(at);
  win::test::MouseUp(at);
  settle();
  ASSERT_TRUE(gui::incell_editing(list()));
  ASSERT_EQ(list()->current_column, 2);
  type_keys("55");
  char* typed = vtextitemGetString(list()->entry);
  ASSERT_STREQ(typed, "55");
  vmemFree(typed);
  press(win::VK_ESCAPE);
  EXPECT_FALSE(gui::incell_editing(list()));
  EXPECT_EQ(word(1), before);
  EXPECT_EQ(cell(0, 2), before);
  gui::incell_edit_cell(list(), 0, 2);
  ASSERT_TRUE(gui::incell_editing(list()));
  vtextitemSetTextChars(list()->entry, "$66");
  press(win::VK_RETURN);
  EXPECT_EQ(word(1), "$0066");
}

// A value typed without Return is never written by leaving the editor:
// not when another window is made active, not by a press on another
// cell of the list. Only Return writes it.
TEST_F(MemoryWindow, LeavingACellEditWritesNothing) {
  open_active_xi();
  if (HasFatalFailure()) return;
  const std::string before = word(1);
  vdialog* other = vdialogCreate();
  other->rect = {500, 300, 200, 100};
  vwindowOpen(other);
  settle();
  const auto leave_by = [&](const char* how) {
    SCOPED_TRACE(how);
    clear_command_history();
    win::SetActiveWindow(window()->window->native->hwnd);
    settle();
    const win::POINT at = first_value_point(10);
    win::test::MouseDown(at);
    win::test::MouseUp(at);
    settle();
    ASSERT_TRUE(gui::incell_editing(list()));
    type_keys("2222");
    if (std::string(how) == "another window") {
      win::SetActiveWindow(other->native->hwnd);
    } else {
      vrect below;
      vlistviewGetCellRect(list(), 1, 3, &below);
      const win::POINT p = screen_point(window()->window, list(), below.x - list()->rect.x + 5,
                                        below.y - list()->rect.y + below.height / 2);
      win::test::MouseDown(p);
      win::test::MouseUp(p);
    }
    settle();
    EXPECT_EQ(word(1), before);
    EXPECT_EQ(command_history_count(), 0);
    gui::incell_layout(list(), 0);
  };
  leave_by("another window");
  leave_by("a press on another cell");
  EXPECT_EQ(cell(0, 2), before);
  vwindowClose(other);
  vinstanceDestroy(other);
}

// A double click on a value opens its editor with the whole word selected,
// wherever in the text the pointer fell: typing replaces the word.
TEST_F(MemoryWindow, ADoubleClickedCellIsReplacedByWhatIsTyped) {
  open_active_xi();
  if (HasFatalFailure()) return;
  vrect cell_rect;
  vlistviewGetCellRect(list(), 0, 2, &cell_rect);
  for (int x : {4, cell_rect.width / 3, cell_rect.width / 2}) {
    SCOPED_TRACE(x);
    const win::POINT at = first_value_point(x);
    clock.advance(1000);  // apart from any click before
    win::test::Click(at);
    win::test::Click(at);
    settle();
    ASSERT_TRUE(gui::incell_editing(list()));
    ASSERT_EQ(list()->current_column, 2);
    type_keys("1234");
    char* typed = vtextitemGetString(list()->entry);
    EXPECT_STREQ(typed, "1234");
    vmemFree(typed);
    press(win::VK_ESCAPE);
  }
  // A later press in the open editor still places the caret: past the text.
  clock.advance(1000);
  const win::POINT start = first_value_point(cell_rect.width - 3);
  win::test::Click(start);
  settle();
  ASSERT_TRUE(gui::incell_editing(list()));
  clock.advance(1000);
  win::test::Click(start);
  settle();
  type_keys("7");
  press(win::VK_RETURN);
  EXPECT_EQ(word(1), "$0007");
}

// Blanks are typed into a cell's editor like any character: what they
// belong to is refused or taken as the console would, and the window stays.
TEST_F(MemoryWindow, BlanksAreTypedIntoACellsEditor) {
  open_active_xi();
  if (HasFatalFailure()) return;
  const std::string before = word(1);
  const win::POINT at = first_value_point(10);
  win::test::Click(at);
  settle();
  ASSERT_TRUE(gui::incell_editing(list()));
  type_keys("break p:$10");
  char* typed = vtextitemGetString(list()->entry);
  EXPECT_STREQ(typed, "break p:$10") << "the blank typed like any character";
  vmemFree(typed);
  press(win::VK_RETURN);
  EXPECT_EQ(word(1), before);
  EXPECT_EQ(list()->current_column, 2);
  // A blank before the value is typed and the value taken.
  gui::incell_edit_cell(list(), 0, 2);
  ASSERT_TRUE(gui::incell_editing(list()));
  vtextitemSetTextChars(list()->entry, "");
  type_keys(" 5");
  press(win::VK_RETURN);
  EXPECT_EQ(word(1), "$0005");
}

// A value the command line refuses is reported and stays in the editor on
// its cell to be mended; the cell beneath still shows the word in memory.
TEST_F(MemoryWindow, ARefusedValueStaysInTheEditorToBeMended) {
  open_active_xi();
  if (HasFatalFailure()) return;
  const std::string before = word(1);
  win::test::Click(first_value_point(10));
  settle();
  ASSERT_TRUE(gui::incell_editing(list()));
  for (const char* typed : {"zz", "break p:$10", "$12+"}) {
    SCOPED_TRACE(typed);
    vtextitemSetTextChars(list()->entry, "");
    type_keys(typed);
    press(win::VK_RETURN);
    EXPECT_STRNE(gui::last_error_text(), "");
    EXPECT_EQ(word(1), before);
    ASSERT_TRUE(gui::incell_editing(list()));
    EXPECT_EQ(list()->current_row, 0);
    EXPECT_EQ(list()->current_column, 2);
    char* kept = vtextitemGetString(list()->entry);
    EXPECT_STREQ(kept, typed);
    vmemFree(kept);
    EXPECT_EQ(cell(0, 2), before);
  }
  // Mended where it stands: the whole text is selected, so typing replaces it.
  type_keys("$12");
  press(win::VK_RETURN);
  EXPECT_EQ(word(1), "$0012");
  EXPECT_EQ(list()->current_column, 3);
}

TEST_F(MemoryWindow, ScrollToMovesOnlyToAnAddress) {
  gui::command_submit("wmemory xi");
  settle();
  ASSERT_NE(window(), nullptr);
  gui::memory_window_scroll_to(window(), "nonsense(");
  EXPECT_EQ(gui::memory_window_top(window()), region->low);
  EXPECT_STREQ(gui::last_error_text(), "") << "nothing reported";
  gui::memory_window_scroll_to(window(), "$40");
  EXPECT_EQ(gui::memory_window_top(window()), 0x40u);
  EXPECT_EQ(cell(0, 0), "xi:$0040");
  expect_grid();
}

}  // namespace
