// The Command window driven by keys and clicks as a user gives them:
// completion by a blank, "?" help, Enter repeating the newest line, a
// refused line kept with the cursor at its fault, the entry disabled while
// busy, and the history rows edited in place.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "fw/widgets/lists/liststr.h"
#include "frontends/gui/command_window.h"
#include "frontends/gui/incell.h"
#include "sim/cmd/dispatch.h"
#include "tests/gui/gui_window_support.h"
#include "tests/support/png_compare.h"
#include "tests/support/stored_text.h"

namespace {

struct CommandWindow : GuiWindowFixture {
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::register_command_window();
    clear_command_history();
    gui::command_submit("wcommand");
    settle();
    clear_command_history();
    ASSERT_NE(dialog(), nullptr);
    win::SetActiveWindow(dialog()->native->hwnd);
    settle();
  }
  vdialog* dialog() { return gui::command_dialog(); }
  vtextitem* item(const char* tag) { return reinterpret_cast<vtextitem*>(vdialogFindItem(dialog(), N(tag))); }
  std::string text(const char* tag) { return text_of(item(tag)); }
  static std::string text_of(vtextitem* i) {
    char* s = vtextitemGetString(i);
    std::string out = s != nullptr ? s : "";
    vmemFree(s);
    return out;
  }
  int cursor() { return static_cast<int>(item("Command_Line")->selection->start); }
  gui::xincell* history() { return gui::command_history(); }
  std::string history_row(int r) {
    const char* s = vliststrGetCell(static_cast<vliststr*>(history()->list), r, 0);
    return s != nullptr ? s : "";
  }
  // The session lines that hold the text.
  static int session_count(const std::string& text) {
    int n = 0;
    for (int i = 0; i < gui::screen().rows; ++i) n += row(i) == text;
    return n;
  }
  void enter() { press(0x0D); }
  win::POINT cell_point(int r, int dx = 0, int dy = 0) {
    vrect cell;
    vlistviewGetCellRect(history(), r, 0, &cell);
    vrect list = history()->rect;
    return screen_point(dialog(), history(), cell.x - list.x + 10 + dx, cell.y - list.y + cell.height / 2 + dy);
  }
};

TEST_F(CommandWindow, ABlankCompletesTheFirstWordAndShowsItsSyntax) {
  EXPECT_EQ(text("Command_Prompt"), "0>");
  type_keys("d ");
  EXPECT_EQ(text("Command_Line"), "display ");
  EXPECT_EQ(cursor(), 8);
  EXPECT_EQ(gui::help_text(), "{D}ISPLAY [{ON}/{OFF}/{R}/{W}/{RW}] [reg[_block/_group]/addr[_block]]...");
  EXPECT_EQ(text("Help_Line"), "DISPLAY [ON/OFF/R/W/RW] [reg[_block/_group]/addr[_block]]...");
  // The prompt, the completed entry and the syntax with its marked words red.
  EXPECT_TRUE(test_support::MatchesPng(win::test::WindowImage(dialog()->native->hwnd),
                                       std::string(std::getenv("SIM_TEST_DATA")) + "/gui/command.png", 8));
  // A second blank after a blank is taken away and shows the next hint.
  type_keys(" ");
  EXPECT_EQ(text("Command_Line"), "display ");
  // Erasing back into the completed word abandons the entry.
  press(0x08);
  settle();
  EXPECT_EQ(text("Command_Line"), "");
}

// Made smaller or larger (as tiling does), the window keeps the entry
// under its top edge, the history taking what it gains or loses; typing
// still reaches the entry.
TEST_F(CommandWindow, AResizedWindowKeepsTheEntryInReach) {
  vdialogItem* line = vdialogFindItem(dialog(), N("Command_Line"));
  vdialogItem* help = vdialogFindItem(dialog(), N("Help_Line"));
  const int line_gap = dialog()->rect.height - (line->rect.y + line->rect.height);
  const int help_gap = dialog()->rect.height - (help->rect.y + help->rect.height);
  const int right_gap = dialog()->rect.width - (line->rect.x + line->rect.width);
  const int history_bottom = history()->rect.y;
  for (const auto& size : {std::pair{250, 190}, std::pair{400, 160}, std::pair{800, 400}}) {
    win::SetWindowPos(dialog()->native->hwnd, nullptr, 0, 0, size.first, size.second,
                      win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    settle();
    const int height = dialog()->rect.height;
    EXPECT_EQ(height - (line->rect.y + line->rect.height), line_gap) << size.second;
    EXPECT_EQ(height - (help->rect.y + help->rect.height), help_gap) << size.second;
    EXPECT_EQ(dialog()->rect.width - (line->rect.x + line->rect.width), right_gap) << size.first;
    EXPECT_EQ(history()->rect.y, history_bottom);
    EXPECT_LT(history()->rect.y + history()->rect.height, help->rect.y) << "the history stays under the lines";
  }
  type_keys("evaluate 2");
  enter();
  EXPECT_EQ(command_history_line(0), std::string("evaluate 2"));
}

// The newest line stays in view through a resize that shows it less or
// more (maximize and restore among them); a history scrolled back stays put.
TEST_F(CommandWindow, TheNewestHistoryLineStaysInViewThroughAResize) {
  const int newest = COMMAND_HISTORY_SIZE - 1;
  auto newest_shown = [&] {
    vrect content, cell;
    _vlistviewGetContentRect(history(), &content);
    vlistviewGetCellRect(history(), newest, 0, &cell);
    return cell.y >= content.y && cell.y + cell.height <= content.y + content.height;
  };
  type_keys("evaluate 3");
  enter();
  ASSERT_EQ(history_row(newest), "evaluate 3");
  ASSERT_TRUE(newest_shown());
  const int width = dialog()->rect.width, height = dialog()->rect.height;
  auto resize = [&](int width, int height) {
    win::SetWindowPos(dialog()->native->hwnd, nullptr, 0, 0, width, height,
                      win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    settle();
  };
  for (const auto& size : {std::pair{width, height + 200}, std::pair{width, height}, std::pair{width + 50, height - 40}}) {
    resize(size.first, size.second);
    EXPECT_TRUE(newest_shown()) << size.first << "x" << size.second;
  }
  win::ShowWindow(dialog()->native->hwnd, win::SW_MAXIMIZE);
  settle();
  EXPECT_TRUE(newest_shown()) << "maximized";
  win::ShowWindow(dialog()->native->hwnd, win::SW_RESTORE);
  settle();
  EXPECT_TRUE(newest_shown()) << "restored";
  vlistviewScrollToCell(history(), 0, 0);
  const int first = history()->firstRow;
  resize(width, height - 20);
  EXPECT_EQ(history()->firstRow, first) << "scrolled back";
  EXPECT_FALSE(newest_shown());
}

// Scrolled to its end, at the first size and after resizes, the history
// shows whole lines only: its top row starts at the list's top edge.
TEST_F(CommandWindow, TheHistoryScrolledToItsEndShowsNoHalfLine) {
  type_keys("evaluate 3");
  enter();
  const int width = dialog()->rect.width, height = dialog()->rect.height;
  for (const auto& size : {std::pair{width, height}, std::pair{width, height + 37}, std::pair{width + 20, height - 23},
                           std::pair{width, height + 101}}) {
    SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second));
    win::SetWindowPos(dialog()->native->hwnd, nullptr, 0, 0, size.first, size.second,
                      win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    settle();
    vlistviewScrollToCell(history(), COMMAND_HISTORY_SIZE - 1, 0);
    settle();
    vrect content, cell;
    _vlistviewGetContentRect(history(), &content);
    const int top = content.y + content.height;
    int topmost = -1;  // the top edge of the highest row that shows
    for (int r = 0; r < COMMAND_HISTORY_SIZE; ++r) {
      vlistviewGetCellRect(history(), r, 0, &cell);
      if (cell.y < top && cell.y + cell.height > content.y) topmost = std::max(topmost, cell.y + cell.height);
    }
    EXPECT_EQ(topmost, top) << "a row cut at the top; content " << content.y << "+" << content.height << " rows of " << cell.height << " list " << history()->rect.y << "+" << history()->rect.height;
    vlistviewGetCellRect(history(), COMMAND_HISTORY_SIZE - 1, 0, &cell);
    EXPECT_GE(cell.y, content.y) << "the newest row whole";
  }
}

TEST_F(CommandWindow, EnterSubmitsAndOnAnEmptyEntryRepeatsTheNewestLine) {
  type_keys("evaluate 6*7");
  enter();
  EXPECT_EQ(text("Command_Line"), "");
  EXPECT_EQ(command_history_line(0), std::string("evaluate 6*7"));
  const int shown = session_count("evaluate 6*7");
  ASSERT_GE(shown, 1);
  enter();
  EXPECT_EQ(session_count("evaluate 6*7"), shown + 1) << "submitted again";
  EXPECT_EQ(command_history_count(), 1);
  type_keys("evaluate 1");
  enter();
  // The newest command is the last row of the history list.
  EXPECT_EQ(history_row(COMMAND_HISTORY_SIZE - 1), "evaluate 1");
  EXPECT_EQ(history_row(COMMAND_HISTORY_SIZE - 2), "evaluate 6*7");
}

// A line copied from a terminal, its line end with it, pasted into the
// entry runs as typed.
TEST_F(CommandWindow, APastedLineEndingInALineEndRuns) {
  for (const char* pasted : {"evaluate 4\n", "evaluate 5\r\n"}) {
    win::test::SetClipboardText(pasted);
    win::test::KeyDown(win::VK_CONTROL);
    win::test::Type("v");
    win::test::KeyUp(win::VK_CONTROL);
    settle();
    const std::string line = std::string(pasted).substr(0, 10);
    EXPECT_EQ(text("Command_Line"), line);
    enter();
    EXPECT_EQ(command_history_line(0), line) << text("Error_Line");
  }
}

// Two lines pasted at once: the entry keeps the first, and Return runs
// exactly what it shows, never the lines run together.
TEST_F(CommandWindow, APasteOfTwoLinesRunsWhatTheEntryShows) {
  for (const char* pasted : {"evaluate 4\nevaluate 5", "evaluate 6\r\nevaluate 7\r\n"}) {
    SCOPED_TRACE(pasted);
    win::test::SetClipboardText(pasted);
    win::test::KeyDown(win::VK_CONTROL);
    win::test::Type("v");
    win::test::KeyUp(win::VK_CONTROL);
    settle();
    const std::string shown = text("Command_Line");
    EXPECT_EQ(shown, std::string(pasted).substr(0, 10));
    enter();
    EXPECT_EQ(command_history_line(0), shown) << text("Error_Line");
  }
}

// The entry holds no more than a line runs (254 characters): a key or a
// paste past it beeps and adds nothing beyond, so Return runs what it
// shows. "evaluate 1" and "+1" 139 times make 288 characters, of which
// the first 254 add up 123 ones.
TEST_F(CommandWindow, TheEntryHoldsNoMoreThanALineRuns) {
  std::string sum = "evaluate 1";
  for (int i = 1; i < 140; ++i) sum += "+1";
  const std::string fits = sum.substr(0, 254);
  const auto paste = [](const std::string& text) {
    win::test::SetClipboardText(text.c_str());
    win::test::KeyDown(win::VK_CONTROL);
    win::test::Type("v");
    win::test::KeyUp(win::VK_CONTROL);
  };
  const auto answers = [] {
    int n = 0;
    for (int i = 0; i < gui::screen().rows; ++i) n += row(i).find("Uns:00123") != std::string::npos;
    return n;
  };
  struct way {
    const char* name;
    std::function<void()> give;
  };
  const way ways[] = {
      {"typed", [&] { type_keys(sum); }},
      {"pasted", [&] { paste(sum); }},
      {"typed, then pasted over the end", [&] { type_keys(sum.substr(0, 250)), settle(), paste(sum.substr(250)); }},
  };
  for (const way& w : ways) {
    SCOPED_TRACE(w.name);
    const int before = answers();
    const int beeps = win::test::BeepCount();
    w.give();
    settle();
    EXPECT_EQ(text("Command_Line"), fits);
    EXPECT_GT(win::test::BeepCount(), beeps);
    enter();
    EXPECT_EQ(command_history_line(0), fits) << text("Error_Line");
    EXPECT_EQ(answers(), before + 1);
  }
}

TEST_F(CommandWindow, AQuestionMarkGivesHelpOutsideBracesAndStaysInside) {
  type_keys("?");
  EXPECT_EQ(text("Command_Line"), "");
  // Every command's syntax lines, the last one's last.
  std::string last;
  for (const char* c = command_table.back().syntax.back(); *c != '\0'; ++c)
    if (*c != '{' && *c != '}') last += *c;
  EXPECT_EQ(last_row(), last);
  type_keys("echo {a?");
  EXPECT_EQ(text("Command_Line"), "echo {a?");
  type_keys("}?");
  EXPECT_EQ(text("Command_Line"), "echo {a?}");
}

TEST_F(CommandWindow, ARefusedLineStaysWithTheCursorAtItsFault) {
  type_keys("evaluate 1 +");
  enter();
  EXPECT_EQ(text("Command_Line"), "evaluate 1 +");
  EXPECT_EQ(command_history_count(), 0) << "never submitted";
  EXPECT_FALSE(text("Error_Line").empty());
  EXPECT_EQ(text("Error_Line").substr(0, 5), gui::status_text().substr(0, 5));
  EXPECT_GT(cursor(), 8);
  EXPECT_LE(cursor(), 12);
  // While the simulator is busy no line can be typed.
  gui::window_refresh_all(1, -1);
  EXPECT_FALSE(vdialogItemIsEnabled(item("Command_Line")));
  EXPECT_FALSE(vdialogItemIsEnabled(history()));
  gui::window_refresh_all(0, -1);
  EXPECT_TRUE(vdialogItemIsEnabled(item("Command_Line")));
}

TEST_F(CommandWindow, HistoryRowsAreEditedInPlaceByAClickNotByADrag) {
  for (const char* l : {"evaluate 1", "evaluate 2"}) gui::command_submit(l);
  settle();
  const int last = COMMAND_HISTORY_SIZE - 1;
  ASSERT_EQ(history_row(last), "evaluate 2");
  // A press and release 5 pixels apart is a drag: no edit.
  win::test::MouseDown(cell_point(last));
  win::test::MouseUp(cell_point(last, 5, 0));
  settle();
  EXPECT_FALSE(gui::incell_editing(history()));
  // A click begins the edit with the row's text.
  win::test::Click(cell_point(last));
  settle();
  ASSERT_TRUE(gui::incell_editing(history()));
  EXPECT_EQ(history()->current_row, last);
  vrect cell;
  vlistviewGetCellRect(history(), last, 0, &cell);
  EXPECT_TRUE(vrectEqual(&history()->entry->rect, &cell));
  // A size change keeps the entry over the same cell.
  vrect bigger = history()->rect;
  bigger.height = static_cast<int16_t>(bigger.height - 20);
  bigger.y = static_cast<int16_t>(bigger.y + 20);
  vdialogSetItemRect(history(), &bigger);
  vlistviewGetCellRect(history(), last, 0, &cell);
  EXPECT_TRUE(vrectEqual(&history()->entry->rect, &cell));
  // Typed text, then a click on another row: the edit ends without
  // commit, and the click begins one on the row clicked.
  vtextitemSetTextChars(history()->entry, "evaluate 99");
  win::test::Click(cell_point(last - 1));
  settle();
  EXPECT_EQ(history_row(last), "evaluate 2");
  EXPECT_EQ(command_history_line(0), std::string("evaluate 2"));
  ASSERT_TRUE(gui::incell_editing(history()));
  EXPECT_EQ(history()->current_row, last - 1);
  EXPECT_EQ(text_of(history()->entry), "evaluate 1");
  // Enter in the entry commits: the line is checked and submitted.
  vtextitemSetTextChars(history()->entry, "evaluate 5");
  enter();
  EXPECT_FALSE(gui::incell_editing(history()));
  EXPECT_EQ(command_history_line(0), std::string("evaluate 5"));
  // With editing not allowed no click shows the entry.
  gui::incell_allow(history(), 0);
  win::test::Click(cell_point(last));
  settle();
  EXPECT_FALSE(gui::incell_editing(history()));
}

// A window resized, maximized or restored while a history row is edited
// keeps the edit: the entry stays over its row, which stays in view; keys
// typed after it reach the entry and Enter runs the edited line.
TEST_F(CommandWindow, AHistoryEditSurvivesResizingTheWindow) {
  for (int i = 1; i <= 12; ++i) gui::command_submit(("evaluate " + std::to_string(i)).c_str());
  settle();
  const int last = COMMAND_HISTORY_SIZE - 1;
  const int width = dialog()->rect.width, height = dialog()->rect.height;
  auto shown_whole = [&](int r) {
    vrect content, cell;
    _vlistviewGetContentRect(history(), &content);
    vlistviewGetCellRect(history(), r, 0, &cell);
    return cell.y >= content.y && cell.y + cell.height <= content.y + content.height;
  };
  struct edit_case {
    int row;  // from the newest
    const char* typed;
  };
  for (const edit_case& c : {edit_case{0, "5"}, edit_case{3, "7"}}) {
    const int row = last - c.row;
    SCOPED_TRACE("row " + std::to_string(row));
    win::SetWindowPos(dialog()->native->hwnd, nullptr, 0, 0, width, height + 120,
                      win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    settle();
    vlistviewScrollToCell(history(), last, 0);
    settle();
    ASSERT_TRUE(shown_whole(row));
    const std::string before = history_row(row);
    win::test::Click(cell_point(row));
    settle();
    ASSERT_TRUE(gui::incell_editing(history()));
    // Smaller (the edited row would leave the view), larger, maximized
    // and restored.
    for (const auto& size : {std::pair{width - 30, height - 40}, std::pair{width + 60, height + 80},
                             std::pair{0, 0}, std::pair{-1, -1}}) {
      if (size.first == 0) win::ShowWindow(dialog()->native->hwnd, win::SW_MAXIMIZE);
      else if (size.first < 0) win::ShowWindow(dialog()->native->hwnd, win::SW_RESTORE);
      else
        win::SetWindowPos(dialog()->native->hwnd, nullptr, 0, 0, size.first, size.second,
                          win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
      settle();
      SCOPED_TRACE(std::to_string(dialog()->rect.width) + "x" + std::to_string(dialog()->rect.height));
      ASSERT_TRUE(gui::incell_editing(history()));
      EXPECT_EQ(history()->current_row, row);
      EXPECT_TRUE(vdialogItemIsShown(history()->entry));
      vrect cell;
      vlistviewGetCellRect(history(), row, 0, &cell);
      EXPECT_TRUE(vrectEqual(&history()->entry->rect, &cell)) << "the entry over its row";
      EXPECT_TRUE(shown_whole(row)) << "the edited row in view";
    }
    win::test::KeyDown(win::VK_END);
    win::test::KeyUp(win::VK_END);
    type_keys(c.typed);
    EXPECT_EQ(text_of(history()->entry), before + c.typed);
    enter();
    EXPECT_FALSE(gui::incell_editing(history()));
    EXPECT_EQ(command_history_line(0), before + c.typed) << "run";
  }
}

// One edit in place as its messages and the editor's states, against a
// stored trace (UPDATE_TRACE=1 writes it first): press and release on a
// history row, the typed keys, Enter, and the entry gone after the commit.
TEST_F(CommandWindow, AnEditInPlaceFollowsItsStoredTrace) {
  for (const char* l : {"evaluate 1", "evaluate 2"}) gui::command_submit(l);
  settle();
  const int last = COMMAND_HISTORY_SIZE - 1;
  std::string got;
  auto state = [&] {
    got += gui::incell_editing(history())
               ? "  editing row " + std::to_string(history()->current_row) + " \"" + text_of(history()->entry) + "\"\n"
               : "  not editing\n";
  };
  auto step = [&](const char* what, const std::function<void()>& input) {
    win::test::StartTrace();
    input();
    settle();
    std::vector<win::test::TraceEntry> inputs;
    for (const win::test::TraceEntry& e : win::test::StopTrace())
      if (e.message == win::WM_KEYDOWN || e.message == win::WM_KEYUP || e.message == win::WM_CHAR ||
          e.message == win::WM_LBUTTONDOWN || e.message == win::WM_LBUTTONUP)
        inputs.push_back(e);
    got += std::string(what) + "\n" + win::test::FormatTrace(inputs, [&](win::HWND h) {
      return h == dialog()->native->hwnd ? std::string("Command") : std::string();
    });
    state();
  };
  state();
  step("press", [&] { win::test::MouseDown(cell_point(last)); });
  step("release", [&] { win::test::MouseUp(cell_point(last)); });
  step("keys", [&] {
    win::test::KeyDown(win::VK_END);
    win::test::KeyUp(win::VK_END);
    win::test::Type("0");
  });
  step("enter", [&] { enter(); });
  EXPECT_EQ(command_history_line(0), std::string("evaluate 20"));
  EXPECT_FALSE(vdialogItemIsShown(history()->entry)) << "the entry hidden";
  test_support::ExpectStoredText(got, std::string(std::getenv("SIM_TEST_DATA")) + "/gui/incell_edit.trace");
}

}  // namespace
