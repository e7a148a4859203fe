// The Watch windows: item numbers per window, "off" with and without a
// number, values of registers, memory and expressions, the number formats
// of each radix and word count, C values over several rows, a C watch out
// of its scope, and the double click that removes an item.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fw/widgets/controls/ruler.h"
#include "fw/data/vresource.h"
#include "frontends/gui/layout.h"
#include "frontends/gui/source_window.h"
#include "frontends/gui/watch_window.h"
#include "sim/cmd/regfmt.h"
#include "sim/cmd/watch.h"
#include "sim/engine/device/regaccess.h"
#include "sim/expr/valfmt.h"
#include "tests/gui/cld_program.h"
#include "tests/gui/gui_window_support.h"
#include "tests/support/png_compare.h"

namespace {

struct WatchWindow : GuiWindowFixture {
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::register_watch_window();
  }
  static gui::sim_window* window(int number = -2) { return gui::window_find(gui::SIMWIN_WATCH, 0, number); }
  static std::vector<uint32_t> numbers(int window_number) {
    std::vector<uint32_t> out;
    for (const watch_entry& e : gui::watch_window_list(window(window_number))->entries) out.push_back(e.number);
    return out;
  }
  static std::string cell(int row, int column, int number = 1) { return gui::watch_window_cell(window(number), row, column); }
  static vruler* ruler_of(vdialog* d) { return reinterpret_cast<vruler*>(vdialogFindItem(d, vnameInternLiteral("Ruler"))); }
  static int first_row_cell_x(vlistview* list, int column) {
    vrect r;
    vlistviewGetCellRect(list, 0, column, &r);
    return static_cast<int>(r.x);
  }
  static vlistview* list_of(vdialog* d) {
    return reinterpret_cast<vlistview*>(vdialogFindItem(d, vnameInternLiteral("Watch_List")));
  }
  static std::string register_text(const char* name, int radix) {
    int row = 0, reg = 0;
    std::string out;
    EXPECT_NE(lookup_register(cur_device, name, &row, &reg), 0);
    format_register_value(row, reg, radix, out);
    return out[0] == ' ' ? out.substr(1) : out;
  }
};

TEST_F(WatchWindow, NumbersAreGivenReusedAndRemovedPerWindow) {
  gui::command_submit("wwatch");
  ASSERT_NE(window(1), nullptr);
  EXPECT_STREQ(window(1)->window->title, "Dv00 Watch Win1");
  EXPECT_EQ(gui::watch_window_rows(window(1)), 0);
  gui::command_submit("wwatch #5 r0");
  gui::command_submit("wwatch r1");
  EXPECT_EQ(numbers(1), (std::vector<uint32_t>{1, 5}));
  gui::command_submit("change r2 $12");
  gui::command_submit("wwatch #5 r2");
  EXPECT_EQ(numbers(1), (std::vector<uint32_t>{1, 5}));
  EXPECT_EQ(cell(1, 0), "#5");
  EXPECT_EQ(cell(1, 1), " ");
  EXPECT_EQ(cell(1, 2), "r2");
  EXPECT_EQ(cell(1, 3), register_text("r2", 3));
  EXPECT_EQ(cell(1, 3).find("12") != std::string::npos, true);
  // A second window with its own #2; "#2 off" takes it from the first only.
  gui::command_submit("wwatch #2 d r0");
  gui::command_submit("wwatch win2 #2 r3");
  ASSERT_NE(window(2), nullptr);
  EXPECT_EQ(numbers(2), (std::vector<uint32_t>{2}));
  EXPECT_EQ(cell(0, 1, 2), " ");
  EXPECT_EQ(cell(1, 1), "d");
  EXPECT_EQ(cell(1, 3), register_text("r0", 1));
  gui::command_submit("wwatch #2 off");
  EXPECT_EQ(numbers(1), (std::vector<uint32_t>{1, 5}));
  EXPECT_EQ(numbers(2), (std::vector<uint32_t>{2}));
  EXPECT_EQ(gui::watch_window_rows(window(1)), 2);
  // A double click on a row turns into "off" for its number.
  gui::watch_window_double_click(window(2), 0);
  EXPECT_TRUE(numbers(2).empty());
  // Its number is read in decimal under any default radix.
  gui::command_submit("radix h");
  gui::command_submit("wwatch win2 #`12 r0");
  EXPECT_EQ(numbers(2), (std::vector<uint32_t>{12}));
  gui::watch_window_double_click(window(2), 0);
  EXPECT_TRUE(numbers(2).empty());
  gui::command_submit("radix d");
  EXPECT_EQ(gui::watch_window_rows(window(2)), 0);
  gui::command_submit("wwatch win2 off");
  EXPECT_EQ(window(2), nullptr);
  EXPECT_NE(window(1), nullptr);
  gui::command_submit("wwatch win3 r0");
  gui::command_submit("wwatch off");
  EXPECT_EQ(window(), nullptr);
  gui::command_submit("wwatch off");
  EXPECT_EQ(last_row(), "Window not found");
}

TEST_F(WatchWindow, MemoryAndExpressionsShowInTheirRadix) {
  gui::command_submit("change x:$100 $1234");
  gui::command_submit("wwatch x:$100");
  gui::command_submit("wwatch d 3-4");
  gui::command_submit("wwatch b x:$100");
  std::string word;
  ASSERT_NE(format_memory_word(SPACE_X, 0x100, 3, word), 0);
  EXPECT_EQ(cell(0, 3), word[0] == ' ' ? word.substr(1) : word);
  EXPECT_EQ(cell(1, 3), "-0001");
  ASSERT_NE(format_memory_word(SPACE_X, 0x100, 0, word), 0);
  EXPECT_EQ(cell(2, 3), word[0] == ' ' ? word.substr(1) : word);
  // A refused item changes nothing.
  EXPECT_EQ(parse_command_line("wwatch #300 r0"), nullptr);
  EXPECT_EQ(parse_command_line("wwatch r0 r1"), nullptr);
  EXPECT_EQ(numbers(1), (std::vector<uint32_t>{1, 2, 3}));
}

// One case per row of the format table.
TEST_F(WatchWindow, NumberFormatsFollowTheRadixWordsAndTypeFlags) {
  constexpr uint32_t W16 = 1u << 28, B24 = 1u << 24, B25 = 1u << 25, B26 = 1u << 26;
  const auto value = [](uint32_t type, uint32_t lo, uint32_t hi = 0, uint32_t ext = 0) {
    arg_value v;
    v.type = AV_INT | type;
    v.lo = lo;
    v.hi = hi;
    v.ext = ext;
    return v;
  };
  const struct {
    arg_value v;
    int radix;
    uint32_t flags;
    std::string text;
  } cases[] = {
      {value(AV_ONE, 0x12), -1, W16, "$0012"},
      {value(AV_ONE, 0x12), 3, B26, "$000012"},
      {value(AV_ONE, 0x12), 3, 0, "$00000012"},
      {value(AV_TWO, 0x34, 0x12), -1, W16, "$00120034"},
      {value(AV_TWO, 0x34, 0x12), -1, B26, "$000012000034"},
      {value(AV_THREE, 0x34, 0x12, 0x5), -1, B24, "$500120034"},
      {value(AV_THREE, 0x34, 0x12, 0x5), -1, W16, "$0500120034"},
      {value(AV_THREE, 0x34, 0x12, 0x5), -1, B26, "$05000012000034"},
      {value(AV_ONE | AV_W16, 0xFFFF), 1, W16, "-0001"},
      {value(AV_ONE | AV_W8, 0x80), 1, W16, "-0128"},
      {value(AV_ONE | AV_W8, 0x7F), 1, W16, "00127"},
      {value(AV_ONE, 0xFFFFFFFF), 1, 0, "-0001"},
      {value(AV_ONE, 0xFFFF), 1, W16, "-0001"},
      {value(AV_ONE, 0xFFFFFF), 1, B26, "-0001"},
      {value(AV_ONE | AV_W16, 0xFFFF), 4, W16, "65535"},
      {value(AV_TWO, 0xFFFF, 0xFFFF), 1, W16, "000004294967295"},
      {value(AV_TWO, 0x5, 0x0), 4, W16, "000000000000005"},
      {value(AV_TWO, 0x34, 0x12), 1, B25, "$0000001200000034"},
      {value(AV_ONE | AV_W16, 0x4000), 2, W16, "       0.5"},
      {value(AV_ONE, 0x1), 0, W16, "0000000000000001"},
      {value(AV_ONE, 0x02000001), 0, B25, "00000010000000000000000000000001"},
      {value(AV_ONE, 0x800001), 0, B26, "100000000000000000000001"},
      {value(AV_TWO, 0x1, 0x8000), 0, W16, "10000000000000000000000000000001"},
      {value(AV_THREE, 0x0, 0x0, 0x1FF), 0, W16, "11111111" + std::string(32, '0')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(gui::watch_number_text(c.v, c.radix, c.flags), c.text);
  }
  EXPECT_EQ(gui::watch_number_text(value(AV_ONE, 0x40000000), 2, B25).size(), 14u);
}

TEST_F(WatchWindow, CValuesSplitAtCommasAndWrapAtBlanksOutsideQuotes) {
  const struct {
    const char* text;
    int width;
    std::vector<std::string> rows;
  } cases[] = {
      {"{a = 1, b = 2}", 80, {"{a = 1,", "b = 2}"}},
      {"x = 12345 67890", 10, {"x = 12345", "67890"}},
      {"s = \"ab, cd\"", 80, {"s = \"ab, cd\""}},
      {"s = \"abc def gh\" t", 12, {"s =", "\"abc def gh\"", "t"}},
      {"abcdefghijkl", 5, {"abcde", "fghij", "kl"}},
      {"first\n  second", 80, {"first", "second"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(gui::watch_value_rows(c.text, c.width), c.rows);
  }
}

struct WatchWindowOnC : WatchWindow {
  cld_program program;
  void SetUp() override {
    WatchWindow::SetUp();
    ASSERT_TRUE(program.build("watchwin",
                              "f1:                      ; function static i x:$100\n"
                              "        nop              ; {\n"
                              "        nop\n"
                              "        jmp f2           ; }\n"
                              "f2:                      ; function\n"
                              "        nop              ; {\n"
                              "        jmp f1           ; }\n"
                              // the routine calls into the target go through
                              "dummy_call:\n"
                              "        jsr >$0\n"
                              "        move #>$0,n2\n"
                              "        lea (r2)+n2,r2\n"
                              "        nop\n"
                              "        move #>$0,n3\n"
                              "        move x:(r2),x0\n"
                              "        move x0,ssh\n"
                              "        rts\n"));
    gui::command_submit(("path " + program.folder).c_str());
    gui::command_submit("load prog.cld");
    gui::command_submit("change pc f1");
  }
};

TEST_F(WatchWindowOnC, CExpressionsShowOutOfScopeErrorsAndRefuseCalls) {
  gui::command_submit("change x:$100 7");
  gui::command_submit("wwatch {i}");
  gui::command_submit("wwatch {i +}");
  gui::command_submit("wwatch r0");
  EXPECT_EQ(cell(0, 2), "{i}");
  EXPECT_EQ(cell(0, 3), "7");
  EXPECT_EQ(cell(1, 3), "Error evaluating C expression");
  EXPECT_EQ(cell(2, 0), "#3");
  gui::command_submit("change pc f2");
  EXPECT_EQ(cell(0, 3), "Expression out of scope");
  gui::command_submit("change pc f1");
  EXPECT_EQ(cell(0, 3), "7");
  EXPECT_EQ(parse_command_line("wwatch {f2()}"), nullptr);
  EXPECT_STREQ(parse_error_text, "watch expressions cannot contain function calls");
  EXPECT_EQ(numbers(1).size(), 3u);
}

// Each column stands under its mark: a mark moved moves the cells.
TEST_F(WatchWindow, ColumnsFollowTheRulersMarks) {
  gui::command_submit("wwatch r0");
  auto* d = static_cast<vdialog*>(window()->window);
  vruler* ruler = ruler_of(d);
  vlistview* list = list_of(d);
  ASSERT_NE(ruler, nullptr);
  ASSERT_NE(list, nullptr);
  const auto cell_x = [&](int column) { return first_row_cell_x(list, column); };
  vrulerItem* value = vrulerGetItemAt(ruler, 3);
  ASSERT_NE(value, nullptr);
  // Within the list's own cell separations of the marks.
  for (int c = 1; c < 4; ++c) EXPECT_NEAR(cell_x(c), vrulerGetItemAt(ruler, c)->rect.x, 8) << c;
  const int before2 = cell_x(2), before3 = cell_x(3);
  value->rect.x = static_cast<int16_t>(value->rect.x + 40);
  vrulerNotify(ruler, nullptr, value, vrulerMOVED);
  EXPECT_EQ(cell_x(3), before3 + 40);
  EXPECT_EQ(cell_x(2), before2);
}

// The user widens a column by dragging the right edge of its mark: the
// column and those after it follow, the columns before stay.
TEST_F(WatchWindow, DraggingAMarksEdgeWidensItsColumn) {
  gui::command_submit("wwatch r0");
  settle();
  auto* d = static_cast<vdialog*>(window()->window);
  vruler* ruler = ruler_of(d);
  vlistview* list = list_of(d);
  ASSERT_NE(ruler, nullptr);
  ASSERT_NE(list, nullptr);
  win::SetActiveWindow(d->native->hwnd);
  settle();
  const auto cell_x = [&](int column) { return first_row_cell_x(list, column); };
  const vrulerItem* expression = vrulerGetItemAt(ruler, 2);
  ASSERT_NE(expression, nullptr);
  const int before2 = cell_x(2), before3 = cell_x(3), width = expression->rect.width;
  const int edge_x = expression->rect.x + expression->rect.width - 2 - ruler->scroll;
  const int mid_y = expression->rect.y + expression->rect.height / 2;
  win::test::MouseDown(screen_point(d, ruler, edge_x, mid_y));
  settle();
  win::test::MouseMove(screen_point(d, ruler, edge_x + 30, mid_y));
  settle();
  win::test::MouseUp(screen_point(d, ruler, edge_x + 60, mid_y));
  settle();
  EXPECT_EQ(vrulerGetItemAt(ruler, 2)->rect.width, width + 60);
  EXPECT_EQ(cell_x(2), before2);
  EXPECT_EQ(cell_x(3), before3 + 60);
}

// The user drags the "Item" heading by its middle past "Value", and then
// off the ruler: each heading still stands over its own column, in order.
TEST_F(WatchWindow, DraggedHeadingsStayOverTheirColumns) {
  gui::command_submit("wwatch r0");
  settle();
  auto* d = static_cast<vdialog*>(window()->window);
  vruler* ruler = ruler_of(d);
  vlistview* list = list_of(d);
  ASSERT_NE(ruler, nullptr);
  ASSERT_NE(list, nullptr);
  win::SetActiveWindow(d->native->hwnd);
  settle();
  const char* titles[] = {"Item", "Radix", "Expression", "Value"};
  const vrulerItem* item = vrulerGetItemAt(ruler, 0);
  const vrulerItem* value = vrulerGetItemAt(ruler, 3);
  ASSERT_NE(item, nullptr);
  ASSERT_NE(value, nullptr);
  const int from_x = item->rect.x + item->rect.width / 2 - ruler->scroll;
  const int mid_y = item->rect.y + item->rect.height / 2;
  const int past_value = value->rect.x + value->rect.width / 2 - ruler->scroll;
  const win::POINT drops[] = {screen_point(d, ruler, past_value, mid_y),
                              screen_point(d, ruler, past_value, mid_y - 3 * ruler->rect.height)};
  for (const win::POINT& drop : drops) {
    win::POINT from = screen_point(d, ruler, from_x, mid_y);
    win::test::MouseDown(from);
    settle();
    win::test::MouseMove({(from.x + drop.x) / 2, (from.y + drop.y) / 2});
    settle();
    win::test::MouseMove(drop);
    settle();
    win::test::MouseUp(drop);
    settle();
    for (int c = 0; c < 4; ++c) {
      const vrulerItem* mark = vrulerGetItemAt(ruler, c);
      ASSERT_NE(mark, nullptr) << c;
      EXPECT_STREQ(mark->title, titles[c]);
      if (c > 0) {
        EXPECT_NEAR(first_row_cell_x(list, c), mark->rect.x - ruler->scroll, 8) << c;
      }
    }
  }
}

// A resized window keeps the ruler along its top and the list under it.
// Scrolled sideways, the list takes its marks along: each mark stays over
// its column, and back at the left edge the ruler is unscrolled again.
TEST_F(WatchWindow, RulerStaysOnTopAndFollowsTheListScrolledSideways) {
  gui::command_submit("wwatch r0");
  settle();
  auto* d = static_cast<vdialog*>(window()->window);
  vruler* ruler = ruler_of(d);
  vlistview* list = list_of(d);
  ASSERT_NE(ruler, nullptr);
  ASSERT_NE(list, nullptr);
  for (const auto& size : {std::pair{300, 120}, std::pair{700, 400}}) {
    win::SetWindowPos(d->native->hwnd, nullptr, 0, 0, size.first, size.second,
                      win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    settle();
    EXPECT_EQ(list->rect.y, 0);
    EXPECT_EQ(list->rect.width, d->rect.width);
    EXPECT_EQ(ruler->rect.y, list->rect.height);
    EXPECT_EQ(list->rect.height + ruler->rect.height, d->rect.height);
  }
  vrulerItem* value = vrulerGetItemAt(ruler, 3);
  ASSERT_NE(value, nullptr);
  vrulerItemSetWidth(value, list->rect.width * 2);  // far wider than the list
  vrulerNotify(ruler, nullptr, value, vrulerRESIZED);
  const auto shown_x = [&](int column) {
    vrect r;
    vlistviewGetCellRect(list, 0, column, &r);
    return r.x - list->rect.x;
  };
  const int at_rest = shown_x(2);
  for (const int step : {120, 50, -300}) {
    vlistviewScrollByPixels(list, 0, step);
    EXPECT_EQ(ruler->scroll, list->appliedX) << step;
    for (int c = 1; c < 4; ++c)
      EXPECT_NEAR(shown_x(c), vrulerGetItemAt(ruler, c)->rect.x - ruler->scroll, 8) << step << " column " << c;
  }
  EXPECT_EQ(ruler->scroll, 0);
  EXPECT_EQ(shown_x(2), at_rest);
  vlistviewScrollByPixels(list, 0, 90);
  ASSERT_GT(ruler->scroll, 0);
  // A column made wider by its mark stays under it while scrolled.
  const int before = shown_x(3);
  value->rect.x = static_cast<int16_t>(value->rect.x + 30);
  vrulerNotify(ruler, nullptr, value, vrulerMOVED);
  EXPECT_EQ(shown_x(3), before + 30);
}

// A saved layout brings the Source window and each numbered Watch window
// back where they were.
TEST_F(WatchWindow, SavedLayoutReopensSourceAndWatchWindows) {
  gui::register_source_window();
  gui::command_submit("wsource");
  gui::command_submit("wwatch r0");
  gui::command_submit("wwatch win3 r1");
  settle();
  std::vector<std::pair<int, int>> kinds;
  std::vector<vrect> rects;
  for (const gui::sim_window* r : gui::window_records()) {
    kinds.emplace_back(r->kind, r->number);
    rects.push_back(r->window->rect);
  }
  ASSERT_EQ(kinds.size(), 3u);
  vresource saved = vresourceCreateMemory();
  gui::layout_save_windows(saved);
  gui::window_close_all(-2);
  settle();
  ASSERT_TRUE(gui::window_records().empty());
  gui::layout_restore_windows(saved);
  settle();
  std::vector<std::pair<int, int>> back;
  for (const gui::sim_window* r : gui::window_records()) back.emplace_back(r->kind, r->number);
  EXPECT_EQ(back, kinds);
  for (std::size_t i = 0; i < back.size() && i < rects.size(); ++i) {
    const vrect& now = gui::window_records()[i]->window->rect;
    EXPECT_EQ(now.x, rects[i].x);
    EXPECT_EQ(now.y, rects[i].y);
    EXPECT_EQ(now.width, rects[i].width);
  }
  vresourceCloseFile(saved);
}

// The ruler along the top is given at least the height it asks for: the
// titles stand whole inside their boxes, no ink (a descender included) on
// or below the boxes' bottom edge.
TEST_F(WatchWindow, RulerTitlesStandClearOfTheirBoxesBottomEdge) {
  gui::command_submit("wwatch r0");
  settle();
  auto* d = static_cast<vdialog*>(window()->window);
  vruler* ruler = ruler_of(d);
  ASSERT_NE(ruler, nullptr);
  int natural_w = 0, natural_h = 0;
  vdialogGetItemNaturalSize(ruler, &natural_w, &natural_h);
  EXPECT_GE(ruler->rect.height, natural_h);
  win::test::Image image = win::test::WindowImage(d->native->hwnd);
  auto at = [&](int x, int y) { return image.px[std::size_t(y * image.width + x)] & 0xFFFFFF; };
  const int band = std::min<int>(d->rect.height - ruler->rect.y, image.height);  // the ruler's rows
  int top = -1, left = image.width, right = -1;
  for (int y = 0; y < band; ++y)
    for (int x = 0; x < image.width; ++x)
      if (at(x, y) == 0) {
        if (top < 0) top = y;
        left = std::min(left, x);
        right = std::max(right, x);
      }
  ASSERT_GE(top, 0) << "no titles in the ruler";
  // The boxes' bottom edge: the first row under the titles' top that is a
  // line across the titles' span, neither face nor ink.
  const std::uint32_t face = at(left - 2, top + 1);
  int edge = -1;
  for (int y = top + 1; y < band && edge < 0; ++y) {
    int line = 0;
    for (int x = left; x <= right; ++x) line += at(x, y) != face && at(x, y) != 0;
    if (line * 10 >= (right - left + 1) * 9) edge = y;
  }
  ASSERT_GT(edge, top) << "no bottom edge under the titles";
  int cut = 0;
  for (int y = edge; y < band; ++y)
    for (int x = left; x <= right; ++x) cut += at(x, y) == 0;
  EXPECT_EQ(cut, 0) << "ink on or under the boxes' edge at row " << edge;
}

TEST_F(WatchWindow, Screenshot) {
  gui::command_submit("change r0 $1234");
  gui::command_submit("wwatch r0");
  gui::command_submit("wwatch d 100-1");
  gui::command_submit("wwatch #7 b x:$0");
  settle();
  EXPECT_TRUE(test_support::MatchesPng(win::test::WindowImage(window()->window->native->hwnd),
                                       std::string(std::getenv("SIM_TEST_DATA")) + "/gui/watch.png", 8));
}

}  // namespace
