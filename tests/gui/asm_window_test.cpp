// The Assembly window on the FIR demo program: rows against the
// simulator's own disassembler, the rows kept still while the pc moves
// inside them, the pc's address red and a breakpoint's blue, an edit of
// the last row moving the view, and the double click on an address.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

#include "fw/widgets/lists/liststr.h"
#include "frontends/gui/asm_window.h"
#include "frontends/gui/incell.h"
#include "sim/asm/disasm.h"
#include "sim/cdb/frames.h"
#include "sim/cmd/breakpoints.h"
#include "sim/cmd/view_hooks.h"
#include "sim/engine/device/memory.h"
#include "sim/expr/valfmt.h"
#include "tests/gui/gui_window_support.h"
#include "tests/support/png_compare.h"

namespace {

constexpr const char* fir_program[] = {
    "asm p:$100 move #$0,r1", "asm p:$102 move #$80,r2",     "asm p:$104 do #8,$110",
    "asm p:$106 move r1,r0",  "asm p:$107 move #$40,r3",     "asm p:$109 clr a x:(r0)+,y0",
    "asm p:$10a move x:(r3)+,x0", "asm p:$10b rep #3",       "asm p:$10c mac y0,x0,a x:(r0)+,y0 x:(r3)+,x0",
    "asm p:$10d macr y0,x0,a", "asm p:$10e move a,x:(r2)+", "asm p:$10f lea (r1)+,r1",
    "asm p:$110 debug",
};

struct AssemblyWindow : GuiWindowFixture {
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::register_asm_window();
    for (const char* l : fir_program) gui::command_submit(l);
    gui::command_submit("change pc $100");
    gui::command_submit("wasm");
    settle();
    ASSERT_NE(window(), nullptr);
  }
  static gui::sim_window* window() { return gui::window_find(gui::SIMWIN_ASSEMBLY, 0); }
  static gui::xincell* list() { return gui::asm_window_view(window())->list; }
  static std::string cell(int row, int column) {
    const char* s = vliststrGetCell(static_cast<vliststr*>(list()->list), row, column);
    return s != nullptr ? s : "";
  }
  static int rows() { return vlistGetRowCount(list()->list); }
  static int row_of(const std::string& address) {
    for (int r = 0; r < rows(); ++r)
      if (cell(r, 0) == address) return r;
    return -1;
  }
  // Pixels of exactly the colour in the address cell of a row.
  static int address_pixels(int row, uint32_t rgb) {
    vrect c;
    vlistviewGetCellRect(list(), row, 0, &c);
    vdialogItemListTransformRect(list()->owner, &c);
    const win::test::Image image = win::test::WindowImage(window()->window->native->hwnd);
    int n = 0;
    for (int y = image.height - c.y - c.height; y < image.height - c.y; ++y)
      for (int x = c.x; x < c.x + c.width; ++x)
        if ((image.px[static_cast<std::size_t>(y * image.width + x)] & 0xFFFFFF) == rgb) ++n;
    return n;
  }
};

TEST_F(AssemblyWindow, RowsAreTheDisassemblersAndStayStillWhileThePcMovesInsideThem) {
  EXPECT_STREQ(window()->window->title, "Dv00 Assembly");
  EXPECT_EQ(gui::asm_window_first(window()), 0x100u);
  dis_ea_info regs;
  ASSERT_TRUE(read_address_registers(regs));
  uint32_t address = 0x100;
  for (int r = 0; r < 8; ++r) {
    const asm_row want = disassemble_row(SPACE_P, address, 0xFFFF, regs);
    SCOPED_TRACE(address);
    EXPECT_EQ(cell(r, 0), format_hex_word(address));
    EXPECT_EQ(cell(r, 2), want.instruction);
    EXPECT_EQ(cell(r, 1), std::string(13, ' '));
    address += want.length;
  }
  EXPECT_EQ(cell(0, 2).substr(0, 4), "move");
  EXPECT_EQ(gui::asm_window_view(window())->pc_row, 0);
  gui::command_submit("step");
  settle();
  EXPECT_EQ(gui::asm_window_first(window()), 0x100u) << "stepped inside the rows";
  EXPECT_EQ(gui::asm_window_view(window())->pc_row, 1);
  gui::command_submit("change pc $400");
  settle();
  EXPECT_EQ(gui::asm_window_first(window()), 0x400u) << "outside: the pc comes first";
  EXPECT_EQ(gui::asm_window_view(window())->pc_row, 0);
}

TEST_F(AssemblyWindow, ThePcsAddressIsRedEvenOnABreakpointAndABreakpointsBlue) {
  gui::command_submit("break p:$100");
  gui::command_submit("break p:$104");
  settle();
  vwindowInvalAll(window()->window, 0);
  settle();
  const int pc_row = row_of("0100"), break_row = row_of("0104"), plain_row = row_of("0106");
  ASSERT_GE(pc_row, 0);
  ASSERT_GE(break_row, 0);
  EXPECT_GT(address_pixels(pc_row, 0xFF0000), 5);
  EXPECT_EQ(address_pixels(pc_row, 0x0000FF), 0);
  EXPECT_GT(address_pixels(break_row, 0x0000FF), 5);
  EXPECT_EQ(address_pixels(plain_row, 0x0000FF) + address_pixels(plain_row, 0xFF0000), 0);
  EXPECT_TRUE(test_support::MatchesPng(win::test::WindowImage(window()->window->native->hwnd),
                                       std::string(std::getenv("SIM_TEST_DATA")) + "/gui/assembly.png", 8));
}

// Resized, the window keeps the field, the ruler and the bar inside it,
// none over another, and the list takes the rest: as many rows as fit.
TEST_F(AssemblyWindow, AResizedWindowLaysItsItemsOverItsArea) {
  auto* d = static_cast<vdialog*>(window()->window);
  const auto item = [d](const char* name) { return vdialogFindItem(d, vnameInternLiteral(name)); };
  vdialogItem* field = item("Scroll_To");
  vdialogItem* ruler = item("Ruler");
  vdialogItem* bar = item("Asm_Scroll");
  vdialogItem* rows_item = item("Asm_List");
  ASSERT_TRUE(field != nullptr && ruler != nullptr && bar != nullptr && rows_item != nullptr);
  const vdialogItem* items[] = {field, ruler, bar, rows_item};
  const auto overlap = [](const vrect& a, const vrect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
  };
  int shorter_rows = 0;
  for (const auto& size : {std::pair{360, 180}, std::pair{900, 560}, std::pair{500, 300}}) {
    SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second));
    win::SetWindowPos(d->native->hwnd, nullptr, 0, 0, size.first, size.second,
                      win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    settle();
    const vrect area = d->rect;
    for (std::size_t i = 0; i < std::size(items); ++i) {
      const vrect& r = items[i]->rect;
      EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.width <= area.width && r.y + r.height <= area.height)
          << "item " << i << " at " << r.x << "," << r.y << " " << r.width << "x" << r.height;
      for (std::size_t j = i + 1; j < std::size(items); ++j)
        EXPECT_FALSE(overlap(r, items[j]->rect)) << "items " << i << " and " << j;
    }
    const vrect& l = rows_item->rect;
    EXPECT_EQ(l.x, 0);
    EXPECT_EQ(l.y, 0);
    EXPECT_EQ(l.width + bar->rect.width, area.width);
    EXPECT_EQ(bar->rect.x + bar->rect.width, area.width);
    EXPECT_EQ(ruler->rect.y, l.height);
    // The headings take the whole width; the bar starts below them, beside the rows.
    EXPECT_EQ(ruler->rect.width, area.width);
    EXPECT_EQ(bar->rect.y + bar->rect.height, l.height);
    EXPECT_GE(field->rect.y, ruler->rect.y + ruler->rect.height);
    EXPECT_GT(field->rect.y + field->rect.height + 8, area.height) << "the field stays at the top";
    const int row_height = l.height / std::max(rows(), 1);
    EXPECT_GT(rows(), 0);
    EXPECT_LT(l.height - rows() * row_height, row_height) << "the rows fill the list";
    vrect last;
    vlistviewGetCellRect(list(), rows() - 1, 0, &last);
    const vrect& inner = list()->content;
    EXPECT_TRUE(last.y >= inner.y && last.y + last.height <= inner.y + inner.height)
        << "the last row shows whole: " << last.y << "+" << last.height << " in " << inner.y << "+" << inner.height;
    if (shorter_rows != 0) {
      EXPECT_NE(rows(), shorter_rows);
    }
    shorter_rows = rows();
  }
  EXPECT_EQ(cell(0, 0), "0100") << "the rows still start at the pc";
}

TEST_F(AssemblyWindow, EditingTheLastRowMovesTheViewByOneAddress) {
  const int last = rows() - 1;
  ASSERT_GT(last, 2);
  const std::string address = cell(last, 0);
  gui::incell_edit_cell(list(), last, 2);
  ASSERT_TRUE(gui::incell_editing(list()));
  vtextitemSetTextChars(list()->entry, "nop");
  vtextviewClassOf(list()->entry)->notifyClient(list()->entry, nullptr, gui::INCELL_COMMIT);
  settle();
  EXPECT_EQ(command_history_line(0), "asm p:$" + address + " nop");
  EXPECT_EQ(gui::asm_window_first(window()), 0x101u);
  EXPECT_TRUE(gui::incell_editing(list()));
  EXPECT_EQ(list()->current_row, last);
  // A refused line is reported and the edit stays, with the text as typed
  // and the instruction still beneath it.
  const std::string instruction = cell(1, 2);
  gui::incell_edit_cell(list(), 1, 2);
  vtextitemSetTextChars(list()->entry, "nosuchop r9");
  vtextviewClassOf(list()->entry)->notifyClient(list()->entry, nullptr, gui::INCELL_COMMIT);
  settle();
  EXPECT_TRUE(gui::incell_editing(list()));
  EXPECT_EQ(list()->current_row, 1);
  EXPECT_STRNE(gui::last_error_text(), "");
  char* kept = vtextitemGetString(list()->entry);
  EXPECT_STREQ(kept, "nosuchop r9");
  vmemFree(kept);
  EXPECT_EQ(cell(1, 2), instruction);
}

TEST_F(AssemblyWindow, ADoubleClickOnAnAddressSetsThenClearsABreakpoint) {
  const int row = row_of("0104");
  ASSERT_GE(row, 0);
  gui::asm_window_double_click(window(), row);
  settle();
  ASSERT_NE(cur_state->breakpoints, nullptr);
  EXPECT_EQ(cur_state->breakpoints->operands.lo, 0x104u);
  EXPECT_EQ(command_history_line(0), std::string("break p:$0104"));
  gui::asm_window_double_click(window(), row);
  settle();
  EXPECT_EQ(cur_state->breakpoints, nullptr);
  // The number is read in decimal under any default radix: 12 is not $12.
  gui::command_submit("radix h");
  gui::command_submit("break #`12 p:$0104");
  gui::asm_window_double_click(window(), row);
  settle();
  EXPECT_EQ(command_history_line(0), std::string("break #`12 off"));
  EXPECT_EQ(cur_state->breakpoints, nullptr);
  gui::command_submit("radix d");
  gui::command_submit("wasm off");
  EXPECT_EQ(window(), nullptr);
  gui::command_submit("wasm off");
  EXPECT_STREQ(gui::last_error_text(), "Window not found");
}

// The same through the platform's input: two clicks on a row's address
// are a double click; on the instruction's text they set nothing.
TEST_F(AssemblyWindow, TwoClicksOnAnAddressThroughThePointerToggleABreakpoint) {
  const int row = row_of("0104");
  ASSERT_GE(row, 0);
  vdialog* d = static_cast<vdialog*>(static_cast<void*>(window()->window));
  win::SetActiveWindow(d->native->hwnd);
  settle();
  auto point = [&](int column) {
    vrect cell;
    vlistviewGetCellRect(list(), row, column, &cell);
    const vrect l = list()->rect;
    return screen_point(d, list(), cell.x - l.x + 4, cell.y - l.y + cell.height / 2);
  };
  auto double_click = [&](int column) {
    clock.advance(1000);  // apart from any click before
    win::test::Click(point(column));
    win::test::Click(point(column));
    settle();
  };
  double_click(2);
  EXPECT_EQ(cur_state->breakpoints, nullptr) << "the instruction's text is no address";
  double_click(0);
  ASSERT_NE(cur_state->breakpoints, nullptr);
  EXPECT_EQ(cur_state->breakpoints->operands.lo, 0x104u);
  double_click(0);
  EXPECT_EQ(cur_state->breakpoints, nullptr);
}

}  // namespace

// Typed as soon as the window opens, before any click or Tab, an address
// and Return reach the Scroll_To field and move the rows there.
TEST_F(AssemblyWindow, AnAddressTypedAsTheWindowOpensScrollsTheRows) {
  ASSERT_NE(cell(0, 0), "010a");
  type_keys("$10a");
  press(win::VK_RETURN);
  EXPECT_EQ(cell(0, 0), "010a");
}
