// The read-only list windows of a device (Breakpoints, Stack, Calls,
// Input, Output) and the List windows: rows against the simulator's own
// records, the double clicks' lines, the faults the windows must not have
// (sp written to walk the stack, a chosen frame dropped by an update) and
// the off commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "fw/gui/graphics/font.h"
#include "fw/text/selection.h"
#include "fw/widgets/controls/ruler.h"
#include "frontends/gui/breakpoint_window.h"
#include "frontends/gui/layout.h"
#include "frontends/gui/list_window.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/row_window.h"
#include "frontends/gui/source_window.h"
#include "frontends/gui/stack_window.h"
#include "frontends/gui/stream_window.h"
#include "sim/cdb/frames.h"
#include "sim/cmd/breakpoints.h"
#include "sim/cmd/streams.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "tests/gui/gui_window_support.h"
#include "tests/support/png_compare.h"

namespace {

struct ListWindows : GuiWindowFixture {
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::register_breakpoint_window();
    gui::register_stack_window();
    gui::register_calls_window();
    gui::register_stream_windows();
    gui::register_list_window();
    gui::register_source_window();
  }
  static void submit(const std::string& line) {
    gui::command_submit(line.c_str());
    pump();
    settle();
  }
  static gui::sim_window* window(int kind, int device = 0) { return gui::window_find(kind, device); }
  static std::vector<std::string> rows(const gui::sim_window* w, int column = 0) {
    std::vector<std::string> out;
    for (int r = 0; r < gui::row_window_rows(w); ++r) out.push_back(gui::row_window_cell(w, r, column));
    return out;
  }
  static int row_of(const gui::sim_window* w, const std::string& prefix) {
    for (int r = 0; r < gui::row_window_rows(w); ++r)
      if (gui::row_window_cell(w, r, 0).rfind(prefix, 0) == 0) return r;
    return -1;
  }
  static std::string text_of(const gui::sim_window* w) {
    vtextitem* item = gui::list_window_text(w);
    char* s = item != nullptr ? vtextitemGetString(item) : nullptr;
    const std::string text = s != nullptr ? s : "";
    vmemFree(s);
    return text;
  }
};

TEST_F(ListWindows, BreakpointRowsNameKindAndActionAndADoubleClickTogglesTheOneShown) {
  submit("wbreakpoint");
  gui::sim_window* w = window(gui::SIMWIN_BREAKPOINTS);
  ASSERT_NE(w, nullptr);
  EXPECT_STREQ(w->window->title, "Dv00 Breakpoints");
  EXPECT_EQ(gui::row_window_rows(w), 0) << "a device without breakpoints";
  // Number 12 is decimal 12 and hexadecimal 18: the double click's line
  // must name the breakpoint the row shows whatever the default radix.
  submit("radix h");
  submit("break #`12 dr x:$10 s");
  submit("break p:$100");
  submit("break #`1 d");
  ASSERT_EQ(gui::row_window_rows(w), 2);
  const int dr = row_of(w, "Break #12 ");
  const int pc = row_of(w, "Break #1 ");
  ASSERT_GE(dr, 0);
  ASSERT_GE(pc, 0);
  EXPECT_LT(pc, dr) << "list order";
  const std::string dr_row = gui::row_window_cell(w, dr, 0);
  EXPECT_EQ(dr_row.substr(0, 13), "Break #12 dr ");
  EXPECT_EQ(dr_row.substr(dr_row.size() - 2), " s");
  EXPECT_NE(gui::row_window_cell(w, pc, 0).find(" disabled"), std::string::npos);
  // The column fits the widest row.
  vlistview* list = gui::row_window_list(w);
  vfont* font = vdialogDetermineItemFont(list);
  ASSERT_NE(font, nullptr);
  const std::string widest = gui::row_window_cell(w, pc, 0);
  vrect cell;
  vlistviewGetCellRect(list, pc, 0, &cell);
  EXPECT_GE(cell.width, vfontGetCharsWidth(font, widest.data(), static_cast<int>(widest.size())) >> 16);

  gui::row_window_double_click(w, pc);
  settle();
  EXPECT_STREQ(command_history_line(0), "break #`1 e");
  EXPECT_EQ(gui::row_window_cell(w, row_of(w, "Break #1 "), 0).find("disabled"), std::string::npos);
  EXPECT_EQ(find_breakpoint(1)->enabled, 1);
  gui::row_window_double_click(w, row_of(w, "Break #12 "));
  settle();
  EXPECT_STREQ(command_history_line(0), "break #`12 d");
  ASSERT_NE(find_breakpoint(12), nullptr);
  EXPECT_EQ(find_breakpoint(12)->enabled, 0);
  EXPECT_NE(gui::row_window_cell(w, row_of(w, "Break #12 "), 0).find(" disabled"), std::string::npos);

  submit("wb off");
  EXPECT_EQ(window(gui::SIMWIN_BREAKPOINTS), nullptr);
  submit("wb off");
  EXPECT_STREQ(gui::last_error_text(), "Window not found");
}

TEST_F(ListWindows, TheStackIsReadWhereItLiesWithoutWritingSp) {
  submit("wstack");
  gui::sim_window* w = window(gui::SIMWIN_STACK);
  ASSERT_NE(w, nullptr);
  EXPECT_STREQ(w->window->title, "Dv00 Stack");
  ASSERT_EQ(gui::row_window_rows(w), 1) << "sp AND 15 = 0";
  EXPECT_EQ(gui::row_window_cell(w, 0, 0), "00");
  EXPECT_EQ(gui::row_window_cell(w, 0, 1), "$00000000");
  EXPECT_EQ(gui::row_window_cell(w, 0, 2), "$00000000");

  for (const char* l : {"asm p:$100 jsr $200", "asm p:$200 jsr $300", "asm p:$300 nop", "change pc $100"}) submit(l);
  submit("step 2");
  int row = 0, reg = 0;
  ASSERT_TRUE(lookup_register(0, "sp", &row, &reg));
  uint32_t sp[3] = {};
  ASSERT_TRUE(read_register(0, row, reg, sp));
  ASSERT_EQ(sp[0] & 15, 2u);
  periph_attrs(row)[reg] &= ~static_cast<uint32_t>(ATTR_CHANGED);
  const uint32_t sp_before = sp[0];
  gui::window_update_all(0);
  EXPECT_EQ((periph_attrs(row)[reg] & ATTR_CHANGED), 0u) << "sp marked changed by the update";
  ASSERT_TRUE(read_register(0, row, reg, sp));
  EXPECT_EQ(sp[0], sp_before);
  EXPECT_EQ(rows(w), (std::vector<std::string>{"02", "01", "00"}));
  for (int level = 2; level >= 1; --level) {
    uint32_t high = 0, low = 0;
    ASSERT_TRUE(core_stack_entry(level, &high, &low));
    char h[16], l[16];
    std::snprintf(h, sizeof h, "$%08lx", static_cast<unsigned long>(high));
    std::snprintf(l, sizeof l, "$%08lx", static_cast<unsigned long>(low));
    EXPECT_EQ(gui::row_window_cell(w, 2 - level, 1), h);
    EXPECT_EQ(gui::row_window_cell(w, 2 - level, 2), l);
  }
  EXPECT_NE(gui::row_window_cell(w, 0, 2), "$00000000") << "the return address of the second call";
  vwindowInvalAll(w->window, 0);
  settle();
  EXPECT_TRUE(test_support::MatchesPng(win::test::WindowImage(w->window->native->hwnd),
                                       std::string(std::getenv("SIM_TEST_DATA")) + "/gui/stack.png", 8));
  // A smaller window keeps the ruler along its top and the rows under it.
  win::SetWindowPos(w->window->native->hwnd, nullptr, 0, 0, 260, 150,
                    win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
  settle();
  const vlistview* list = gui::row_window_list(w);
  EXPECT_EQ(list->rect.y, 0);
  EXPECT_EQ(list->rect.width, w->window->rect.width);
  vdialogItem* ruler = vdialogFindItem(static_cast<vdialog*>(w->window), vnameInternLiteral("Ruler"));
  ASSERT_NE(ruler, nullptr);
  EXPECT_EQ(list->rect.height + ruler->rect.height, w->window->rect.height);
  EXPECT_EQ(ruler->rect.y, list->rect.height);
  // A mark made wider widens its column.
  vrulerItem* ssh = vrulerGetItemAt(reinterpret_cast<vruler*>(ruler), 1);
  ASSERT_NE(ssh, nullptr);
  vrect before, after;
  vlistviewGetCellRect(const_cast<vlistview*>(list), 0, 1, &before);
  vrulerItemSetWidth(ssh, ssh->rect.width + 40);
  vrulerNotify(reinterpret_cast<vruler*>(ruler), nullptr, ssh, vrulerRESIZED);
  vlistviewGetCellRect(const_cast<vlistview*>(list), 0, 1, &after);
  EXPECT_EQ(after.width, before.width + 40);
  // Scrolled sideways, the marks go along with their columns.
  auto* view = const_cast<vlistview*>(list);
  vlistviewScrollByPixels(view, 0, 60);
  ASSERT_GT(view->appliedX, 0);
  EXPECT_EQ(reinterpret_cast<vruler*>(ruler)->scroll, view->appliedX);
  vlistviewGetCellRect(view, 0, 1, &after);
  EXPECT_EQ(after.x, before.x - view->appliedX);
  vlistviewScrollByPixels(view, 0, -60);
  EXPECT_EQ(reinterpret_cast<vruler*>(ruler)->scroll, 0);

  gui::error_report("");
  submit("wst off");
  EXPECT_EQ(window(gui::SIMWIN_STACK), nullptr);
  submit("wst off");
  EXPECT_STRNE(gui::last_error_text(), "Window not found") << "wstack off without a window says nothing";
}

TEST_F(ListWindows, CallsShowTheBackTraceAndAChosenFrameSurvivesTheUpdates) {
  submit("change pc $100");
  submit("wcalls");
  gui::sim_window* w = window(gui::SIMWIN_CALLS);
  ASSERT_NE(w, nullptr);
  EXPECT_STREQ(w->window->title, "Dv00 Calls");
  // Without debug information the back-trace is the one frame at the pc.
  build_backtrace();
  std::vector<std::string> want;
  for (int i = 0; i < frames_count(); ++i) want.push_back(frame_at(i)->text);
  frames_free();
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(rows(w), want);
  EXPECT_EQ(frame_current_index(), -1) << "the list the update built is released";

  gui::row_window_double_click(w, 0);
  settle();
  EXPECT_STREQ(command_history_line(0), "frame #`0");
  EXPECT_EQ(frame_current_index(), 0);
  submit("evaluate 1");
  EXPECT_EQ(frame_current_index(), 0) << "the chosen frame outlives the next update";
  EXPECT_EQ(rows(w), want);

  submit("wc off");
  EXPECT_EQ(window(gui::SIMWIN_CALLS), nullptr);
  submit("wc off");
  EXPECT_STREQ(gui::last_error_text(), "Window not found");
}

TEST_F(ListWindows, StreamRowsComeInStreamNumberOrderOverTimedAndUntimed) {
  const std::string in = temp_file("list_windows_in.txt", "1\n2\n3\n");
  const std::string out = ::testing::TempDir() + "list_windows_out.txt";
  std::remove(out.c_str());  // an existing file would ask before it is overwritten
  submit("winput");
  submit("woutput");
  gui::sim_window* wi = window(gui::SIMWIN_INPUT);
  gui::sim_window* wo = window(gui::SIMWIN_OUTPUT);
  ASSERT_NE(wi, nullptr);
  ASSERT_NE(wo, nullptr);
  EXPECT_STREQ(wo->window->title, "Dv00 Output");
  EXPECT_EQ(gui::row_window_rows(wi), 0);
  submit("input #7 x:$17 " + in);
  submit("input #3 t x:$13 " + in);
  submit("input #1 x:$11 " + in);
  submit("output #2 t x:$22 " + out);
  EXPECT_EQ(rows(wi), (std::vector<std::string>{"Input #1 Untimed reads of x:$11 from " + in,
                                                "Input #3 Timed   reads of x:$13 from " + in,
                                                "Input #7 Untimed reads of x:$17 from " + in}));
  EXPECT_EQ(rows(wo), (std::vector<std::string>{"Output #2 Timed   writes of x:$22 to   " + out}));
  submit("input #3 off");
  EXPECT_EQ(gui::row_window_rows(wi), 2);
  EXPECT_EQ(row_of(wi, "Input #3"), -1);
  submit("wo off");
  submit("wo off");
  EXPECT_STREQ(gui::last_error_text(), "Window not found");
  submit("wi off");
  EXPECT_EQ(window(gui::SIMWIN_INPUT), nullptr);
}

TEST_F(ListWindows, ListWindowsLoadReplaceAndReportAFileThatCannotBeRead) {
  const std::string first = temp_file("list_one.lst", "line one\nline two\n");
  const std::string second = temp_file("list_two.lst", "second file\n");
  submit("wlist " + first);
  gui::sim_window* one = gui::window_find(gui::SIMWIN_LIST, -1, 1);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(std::string(one->window->title), "List Win1 " + first);
  EXPECT_EQ(text_of(one), "line one\nline two\n");
  // A listing's columns line up: narrow and wide letters take one width.
  vfont* font = vdialogDetermineItemFont(gui::list_window_text(one));
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(vfontGetCharsWidth(font, "iiii", 4), vfontGetCharsWidth(font, "WWWW", 4));
  vwindowInvalAll(one->window, 0);
  settle();
  EXPECT_TRUE(test_support::MatchesPng(win::test::WindowImage(one->window->native->hwnd),
                                       std::string(std::getenv("SIM_TEST_DATA")) + "/gui/list.png", 8));
  submit("wlist win2 " + first);
  gui::sim_window* two = gui::window_find(gui::SIMWIN_LIST, -1, 2);
  ASSERT_NE(two, nullptr);
  submit("wlist win2 " + second);
  EXPECT_EQ(gui::window_find(gui::SIMWIN_LIST, -1, 2), two) << "the window stays";
  EXPECT_EQ(text_of(two), "second file\n");
  EXPECT_EQ(std::string(two->window->title), "List Win2 " + second);
  EXPECT_EQ(text_of(one), "line one\nline two\n");
  // The text cannot be typed into.
  vtextitem* item = gui::list_window_text(two);
  vtextSetSelectionRange(item->text, item->selection, 0, 0);
  vtextviewTypeChar(item, 'x');
  EXPECT_EQ(text_of(two), "second file\n");

  // Not found along the path: tried under its own name, then reported.
  const std::string missing = ::testing::TempDir() + "no_such_listing.lst";
  submit("wlist win3 " + missing);
  EXPECT_EQ(std::string(gui::last_error_text()), "Error reading file:" + missing);
  gui::sim_window* three = gui::window_find(gui::SIMWIN_LIST, -1, 3);
  ASSERT_NE(three, nullptr);
  EXPECT_EQ(text_of(three), "");

  // Found along the path by its bare name.
  submit("path " + ::testing::TempDir());
  submit("wlist win3 list_two.lst");
  EXPECT_EQ(text_of(three), "second file\n");

  // The close box closes the window as "off" does.
  win::PostMessageA(three->window->native->hwnd, win::WM_CLOSE, 0, 0);
  settle();
  EXPECT_EQ(gui::window_find(gui::SIMWIN_LIST, -1, 3), nullptr);
  submit("wlist win2 off");
  EXPECT_EQ(gui::window_find(gui::SIMWIN_LIST, -1, 2), nullptr);
  EXPECT_NE(gui::window_find(gui::SIMWIN_LIST, -1, 1), nullptr);
  submit("wlist off");
  submit("wlist off");
  EXPECT_EQ(gui::window_find(gui::SIMWIN_LIST, -1), nullptr);
  submit("wlist off");
  EXPECT_STREQ(gui::last_error_text(), "Window not found");
}

// With wrapping off a row ends only at a line end or where the loader cut
// a line too long for one block: a line of up to 7,680 characters is one
// row, a longer one rows of 7,680.
TEST_F(ListWindows, AListingsLongLinesTakeTheRowsTheLoaderCutThemInto) {
  const struct {
    std::size_t length;
    std::int32_t rows;
  } lines[] = {{3000, 1}, {5000, 1}, {20000, 3}, {10, 1}};
  std::string file;
  for (const auto& l : lines) file += std::string(l.length, 'a') + "\n";
  submit("wlist " + temp_file("long_lines.lst", file));
  gui::sim_window* w = gui::window_find(gui::SIMWIN_LIST, -1, 1);
  ASSERT_NE(w, nullptr);
  const vtext* text = gui::list_window_text(w)->text;
  std::int32_t start = 0;
  for (const auto& l : lines) {
    SCOPED_TRACE(l.length);
    const std::int32_t cut_ends = l.rows - 1;  // a line feed after each row cut
    const std::int32_t end = start + static_cast<std::int32_t>(l.length) + cut_ends;
    EXPECT_EQ(vtextGetLineOfPosition(text, end) - vtextGetLineOfPosition(text, start) + 1, l.rows);
    start = end + 1;
  }
  EXPECT_EQ(start, text->length);
  submit("wlist off");
}

// The window commands' help: the heading and the lines of the off example.
TEST_F(ListWindows, HelpOfTheWindowCommands) {
  const struct {
    const char* command;
    const char* heading;
    const char* off_text;
  } helps[] = {
      {"wbreakpoint", "  ----------- WBREAKPOINT: Breakpoint Window -----------",
       "  Close the breakpoint window for the current device."},
      {"wstack", "  ----------- WSTACK: Stack Window -----------", "  Close the stack window for the current device."},
      {"wcalls", "  ----------- WCALLS: Calls Window -----------",
       "  Close the C call stack  window for the current device."},
      {"winput", "  ----------- WINPUT: Input Window -----------", "  Close the input window for the current device."},
      {"woutput", "  ----------- WOUTPUT: Output Window -----------",
       "  Close the output window for the current device."},
      {"wlist", "  ----------- WLIST: List Window -----------", "  Close all list windows."},
  };
  for (const auto& h : helps) {
    SCOPED_TRACE(h.command);
    gui::session_reset();
    submit(std::string("help ") + h.command);
    std::vector<std::string> printed;
    for (int i = 0; i < gui::screen().rows; ++i)
      if (!row(i).empty()) printed.push_back(row(i));
    const auto heading = std::find(printed.begin(), printed.end(), h.heading);
    ASSERT_NE(heading, printed.end());
    const auto off = std::find(printed.begin(), printed.end(), "  " + std::string(h.command) + " off");
    ASSERT_NE(off, printed.end());
    ASSERT_NE(off + 1, printed.end());
    EXPECT_EQ(off[1], h.off_text);
  }
}

// Each window from its Window-menu item and again from a saved layout.
TEST_F(ListWindows, TheWindowMenuAndASavedLayoutOpenEachKind) {
  const struct {
    int selector;
    const char* item;
    int kind;
  } kinds[] = {
      {85, "M_Win_Source", gui::SIMWIN_SOURCE}, {88, "M_Win_Stack", gui::SIMWIN_STACK},   {89, "M_Win_Calls", gui::SIMWIN_CALLS},
      {92, "M_Win_Input", gui::SIMWIN_INPUT},   {93, "M_Win_Output", gui::SIMWIN_OUTPUT},
      {94, "M_Win_Breakpoints", gui::SIMWIN_BREAKPOINTS},
  };
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.item);
    EXPECT_STREQ(gui::menu_table(k.selector).name, k.item);
    EXPECT_EQ(gui::menu_dispatch_selector(k.selector), 1);
    pump();
    gui::sim_window* w = window(k.kind);
    ASSERT_NE(w, nullptr);
    win::PostMessageA(w->window->native->hwnd, win::WM_CLOSE, 0, 0);
    settle();
    ASSERT_EQ(window(k.kind), nullptr) << "closed by its close box";
    gui::window_restore(k.kind, 0, 0, -1, -1);
    pump();
    EXPECT_NE(window(k.kind), nullptr);
  }
  const std::string file = temp_file("list_menu.lst", "listing\n");
  EXPECT_EQ(gui::chooser_line(90, file), "wlist " + file);
  gui::window_restore(gui::SIMWIN_LIST, -1, 4, -1, -1);
  pump();
  EXPECT_NE(gui::window_find(gui::SIMWIN_LIST, -1, 4), nullptr);
}

}  // namespace
