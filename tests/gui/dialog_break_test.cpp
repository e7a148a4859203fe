// The breakpoint and run dialogs on the framework, clicked as a user
// would: their forms follow the kind, action and start chosen, their
// lines run, and they look as stored.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "dialog_form_support.h"
#include "fw/widgets/controls/combobox_popdown.h"
#include "frontends/gui/guiutil.h"

namespace {

TEST_F(DialogFormTest, SetBreakFollowsTheKindAndActionClickedAndProposesTheNextNumber) {
  ASSERT_EQ(dispatch("M_Exec_Break_Set"), 1);
  vconfirm* d = window("Set_Break");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(value(d, "Number", ""), 1);
  EXPECT_EQ(text(d, "Space", "Mem"), "p");
  EXPECT_FALSE(text(d, "Reg_Combo", "Reg").empty());
  // The five device types are not of the floating-point family.
  for (const char* dma : {"DMA_Read", "DMA_Write", "DMA_Read_Write"}) EXPECT_FALSE(enabled(d, dma, "Access")) << dma;

  choose_combo_text(d, "Space", "Mem", "x");
  set_text(d, "Start_Addr", "Mem", "$10");
  click_item(d, item(d, "Write", "Access"));
  click_button(d, "Apply");
  EXPECT_EQ(history(), std::vector<std::string>{"break #1 w x:$10 h "});
  EXPECT_EQ(value(d, "Number", ""), 2);

  click_item(d, item(d, "Expression", "Kind"));
  EXPECT_TRUE(enabled(d, "Expr", ""));
  EXPECT_FALSE(enabled(d, "Mem", ""));
  EXPECT_FALSE(enabled(d, "Access", ""));
  set_text(d, "Expression", "Expr", "x:$10==1");
  click_button(d, "Apply");
  EXPECT_EQ(history().back(), "break #2  x:$10==1 h ");

  click_item(d, item(d, "Register", "Kind"));
  EXPECT_TRUE(enabled(d, "Reg", ""));
  EXPECT_FALSE(enabled(d, "Expr", ""));
  EXPECT_TRUE(enabled(d, "Access", ""));
  EXPECT_FALSE(enabled(d, "Execute", "Access"));
  EXPECT_FALSE(enabled(d, "Cmd", ""));
  click_item(d, item(d, "Command", "Action"));
  EXPECT_TRUE(enabled(d, "Cmd", ""));
  click_item(d, item(d, "Read_Write", "Access"));
  set_text(d, "Command_Text", "Cmd", "display");
  const std::string reg = text(d, "Reg_Combo", "Reg");
  click_button(d, "Ok");
  EXPECT_EQ(history().back(), "break #3 rw " + reg + " x display");
  EXPECT_EQ(window("Set_Break"), nullptr);
  EXPECT_EQ(gui::breakpoint_number_free(), 4);
}

TEST_F(DialogFormTest, SetBreakOffersTheDmaAccessesOnlyToTheFloatingPointFamily) {
  for (int family : {710, 711}) {
    SCOPED_TRACE(family);
    gui::dialog_family_code_set(family);
    ASSERT_EQ(dispatch("M_Exec_Break_Set"), 1);
    vconfirm* d = window("Set_Break");
    ASSERT_NE(d, nullptr);
    for (const char* dma : {"DMA_Read", "DMA_Write", "DMA_Read_Write"})
      EXPECT_EQ(enabled(d, dma, "Access"), family == 710) << dma;
    // The register kind takes them away whatever the family.
    click_item(d, item(d, "Register", "Kind"));
    EXPECT_FALSE(enabled(d, "DMA_Write", "Access"));
    click_item(d, item(d, "Memory", "Kind"));
    EXPECT_EQ(enabled(d, "DMA_Write", "Access"), family == 710);
    gui::command_dialogs_close_all();
    settle();
  }
  gui::dialog_family_code_set(0);
}

TEST_F(DialogFormTest, GoOffersOnlyEnabledBreakpointsAndRunsToTheChosenOne) {
  ASSERT_EQ(dispatch("M_Exec_Go"), 1);
  vconfirm* d = window("Go");
  ASSERT_NE(d, nullptr);
  EXPECT_FALSE(enabled(d, "Go_Break", ""));
  set_text(d, "Address", "From", "$40");
  click_button(d, "Ok");
  EXPECT_EQ(history(), std::vector<std::string>{"go $40"});
  stop_request = 1;
  pump();

  run("break #2 p:$50 h");
  run("break #3 p:$60 h");
  run("break #3 d");
  ASSERT_EQ(dispatch("M_Exec_Go"), 1);
  d = window("Go");
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(enabled(d, "Go_Break", ""));
  EXPECT_FALSE(enabled(d, "To", ""));
  click_item(d, item(d, "Go_Break", ""));
  EXPECT_TRUE(enabled(d, "To", ""));
  EXPECT_EQ(text(d, "Break_Num", "To"), "#2");
  click_item(d, item(d, "Reset", "From/Go_From"));
  EXPECT_FALSE(enabled(d, "Address", "From"));
  EXPECT_FALSE(enabled(d, "Address_Lab", "From"));
  set_value(d, "Count", "To", 3);
  click_button(d, "Ok");
  EXPECT_EQ(history(), std::vector<std::string>{"go r #2 :3"});
}

TEST_F(DialogFormTest, BreakNumberDialogsMoveABreakpointBetweenTheirLists) {
  run("break #2 p:$50 h");
  run("break #5 p:$60 h");
  ASSERT_EQ(dispatch("M_Exec_Break_Disable"), 1);
  ASSERT_EQ(dispatch("M_Exec_Break_Enable"), 1);
  vconfirm* disable = window("Disable_Break");
  vconfirm* enable = window("Enable_Break");
  ASSERT_NE(disable, nullptr);
  ASSERT_NE(enable, nullptr);
  EXPECT_EQ(rows(disable, "Number", ""), (std::vector<std::string>{"#2", "#5"}));
  EXPECT_TRUE(rows(enable, "Number", "").empty());
  select_rows(disable, "Number", "", {0});
  click_button(disable, "Apply");
  EXPECT_EQ(history(), std::vector<std::string>{"break #2 d"});
  EXPECT_EQ(rows(disable, "Number", ""), std::vector<std::string>{"#5"});
  // The other dialog shows the change when it is filled again.
  gui::command_dialogs_close_all();
  settle();
  ASSERT_EQ(dispatch("M_Exec_Break_Enable"), 1);
  EXPECT_EQ(rows(window("Enable_Break"), "Number", ""), std::vector<std::string>{"#2"});
}

// A count typed into the field and not yet taken with Return counts
// however the dialog is left: Ok or Apply at once, or after Return or Tab.
TEST_F(DialogFormTest, ACountTypedIntoTheFieldIsTheOneSubmitted) {
  struct Case {
    const char* how;
    std::vector<win::UINT> keys;  // pressed after the typing
    const char* button;           // then clicked, unless null
  };
  const Case cases[] = {
      {"Ok at once", {}, "Ok"},
      {"Apply at once", {}, "Apply"},
      {"Return then Ok", {win::VK_RETURN}, "Ok"},
      {"Tab then Ok", {win::VK_TAB}, "Ok"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    clear_command_history();
    vconfirm* d = open_afresh("M_Exec_Step", "Step");
    ASSERT_NE(d, nullptr);
    click_item(d, item(d, "Halt", ""));
    auto* count = reinterpret_cast<vspinner*>(item(d, "Count", ""));
    ASSERT_NE(count, nullptr);
    click_item(d, count->field);
    press(win::VK_END);
    press(win::VK_BACK);
    type_keys("3");
    for (win::UINT k : c.keys) press(k);
    if (c.button != nullptr) click_button(d, c.button);
    ASSERT_FALSE(history().empty());
    EXPECT_EQ(history().back(), "step 3 in h");
    stop_request = 1;
    pump();
  }
  // The other run dialogs read their count the same way.
  for (const auto& [command, resource, line] : {std::tuple{"M_Exec_Trace", "Trace", "trace 3 "},
                                                std::tuple{"M_Exec_Next", "Next", "next 3 "}}) {
    SCOPED_TRACE(resource);
    clear_command_history();
    vconfirm* d = open_afresh(command, resource);
    ASSERT_NE(d, nullptr);
    auto* count = reinterpret_cast<vspinner*>(item(d, "Count", ""));
    ASSERT_NE(count, nullptr);
    click_item(d, count->field);
    press(win::VK_END);
    press(win::VK_BACK);
    type_keys("3");
    click_button(d, "Ok");
    ASSERT_FALSE(history().empty());
    EXPECT_EQ(history().back().rfind(line, 0), 0u) << history().back();
    stop_request = 1;
    pump();
  }
}

TEST_F(DialogFormTest, TheStepDialogsStartWithTheIncrementOfTheView) {
  ASSERT_EQ(dispatch("M_Exec_Step"), 1);
  vconfirm* d = window("Step");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(chosen(d, "Increment", ""), 0);
  set_value(d, "Count", "", 10);
  click_item(d, item(d, "Halt", ""));
  click_button(d, "Ok");
  EXPECT_EQ(history(), std::vector<std::string>{"step 10 in h"});
  stop_request = 1;
  pump();
  device_states[0]->view_mode = 2;
  ASSERT_EQ(dispatch("M_Exec_Next"), 1);
  EXPECT_EQ(chosen(window("Next"), "Increment", ""), 1);
  device_states[0]->view_mode = 0;
}

TEST_F(DialogFormTest, WaitResetAndListFileAnswerTheirClicks) {
  ASSERT_EQ(dispatch("M_Exec_Wait"), 1);
  vconfirm* wait = window("Wait");
  click_item(wait, item(wait, "Forever", ""));
  EXPECT_FALSE(enabled(wait, "Count", ""));
  click_item(wait, item(wait, "Forever", ""));
  EXPECT_TRUE(enabled(wait, "Count", ""));

  ASSERT_EQ(dispatch("M_Exec_Reset_Dev"), 1);
  vconfirm* reset = window("Reset");
  ASSERT_NE(reset, nullptr);
  select_rows(reset, "Mode", "", {2});
  click_button(reset, "Ok");
  EXPECT_EQ(history(), std::vector<std::string>{"reset d m2"});
  settle();
  ASSERT_EQ(dispatch("M_Exec_Reset_Dev"), 1);
  auto* modes = reinterpret_cast<vlistitem*>(item(window("Reset"), "Mode", ""));
  EXPECT_EQ(vlistitemGetSelectedRow(modes), 2) << "the mode chosen last";

  ASSERT_EQ(dispatch("M_Disp_List"), 1);
  vconfirm* list = window("List_File");
  EXPECT_FALSE(enabled(list, "Address", ""));
  click_item(list, item(list, "Addr", "List"));
  EXPECT_TRUE(enabled(list, "Address", ""));
  click_item(list, item(list, "Next", "List"));
  EXPECT_FALSE(enabled(list, "Address", ""));
}

// The bordered pop-down boxes keep their text and arrow inside the frame:
// both parts within the content, the content clear of the two-line frame,
// the entry from the content's left end and as tall as it, the arrow at
// its right end.
TEST_F(DialogFormTest, PopDownBoxesKeepTheirTextAndArrowInsideTheFrame) {
  ASSERT_EQ(dispatch("M_Exec_Break_Set"), 1);
  vconfirm* d = window("Set_Break");
  ASSERT_NE(d, nullptr);
  const struct {
    const char *name, *container;
  } boxes[] = {{"Space", "Mem"}, {"Reg_Combo", "Reg"}};
  for (const auto& b : boxes) {
    SCOPED_TRACE(b.name);
    auto* box = reinterpret_cast<vcomboboxPopdown*>(item(d, b.name, b.container));
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->flags & vdialogItemBORDER, 0);
    const vrect r = box->rect, c = box->content;
    EXPECT_GE(c.x, r.x + 2);
    EXPECT_GE(c.y, r.y + 2);
    EXPECT_LE(c.x + c.width, r.x + r.width - 2);
    EXPECT_LE(c.y + c.height, r.y + r.height - 2);
    const vrect entry = box->entry->rect, arrow = box->button->rect;
    for (const vrect& part : {entry, arrow}) {
      EXPECT_GE(part.x, 0);
      EXPECT_GE(part.y, 0);
      EXPECT_LE(part.x + part.width, c.width);
      EXPECT_LE(part.y + part.height, c.height);
    }
    EXPECT_EQ(entry.height, c.height);
    EXPECT_EQ(entry.x, 0);
    EXPECT_GT(arrow.x, entry.x + entry.width / 2);
    EXPECT_EQ(arrow.x + arrow.width, c.width);
  }
}

// The dialogs as a user sees them, against stored pictures.
TEST_F(DialogFormTest, SetBreakAndGoLookAsStored) {
  run("break #2 p:$50 h");
  looks_as_stored("M_Exec_Break_Set", "Set_Break", "set_break.png");
  looks_as_stored("M_Exec_Go", "Go", "go.png");
}

}  // namespace

namespace {

std::string read_all(std::FILE* f) {
  std::string out;
  std::rewind(f);
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) out.append(buffer, n);
  std::fclose(f);
  return out;
}

void fresh_device() {
  free_all_devices();
  ASSERT_EQ(create_device(0, "73521"), 1);
  select_device(0);
  shown_device = 0;
}

// The lines of the macro, the dialogs' ones built through their forms,
// leave the session the macro leaves.
TEST_F(DialogFormTest, TheDialogsLeaveTheSessionTheirMacroLeaves) {
  const std::string source = std::string(std::getenv("SIM_TEST_DATA")) + "/../gui/break_dialogs.cmd";
  std::ifstream in(source);
  ASSERT_TRUE(in.good()) << source;
  std::stringstream all;
  all << in.rdbuf();
  std::string text = all.str();
  ASSERT_EQ(text.substr(text.size() - 5), "quit\n");
  const std::string macro = temp_file("break_dialogs.cmd", text.substr(0, text.size() - 5));

  std::FILE* by_macro = std::tmpfile();
  gui::set_transcript(by_macro);
  gui::command_submit(macro.c_str());
  pump();
  gui::set_transcript(nullptr);

  fresh_device();
  std::FILE* by_dialogs = std::tmpfile();
  gui::set_transcript(by_dialogs);
  const auto typed = [](const char* line) {
    gui::command_submit(line);
    pump();
  };
  for (const char* line : {"asm p:$40 move #2,x0", "asm p:$41 move #3,x1", "asm p:$42 nop", "asm p:$43 jmp $40",
                           "change pc $40"})
    typed(line);
  ASSERT_EQ(dispatch("M_Exec_Break_Set"), 1);
  vconfirm* set = window("Set_Break");
  choose_combo_text(set, "Space", "Mem", "x");
  set_text(set, "Start_Addr", "Mem", "$10");
  click_item(set, item(set, "Write", "Access"));
  click_button(set, "Apply");
  choose_combo_text(set, "Space", "Mem", "p");
  set_text(set, "Start_Addr", "Mem", "$42");
  click_item(set, item(set, "Execute", "Access"));
  click_button(set, "Ok");
  ASSERT_EQ(dispatch("M_Disp_Break"), 1);
  pump();
  for (const char* command : {"M_Exec_Break_Disable", "M_Disp_Break", "M_Exec_Break_Enable"}) {
    ASSERT_EQ(dispatch(command), 1);
    pump();
    if (vconfirm* numbers = window(command == std::string("M_Exec_Break_Disable") ? "Disable_Break" : "Enable_Break")) {
      select_rows(numbers, "Number", "", {0});
      click_button(numbers, "Ok");
    }
  }
  ASSERT_EQ(dispatch("M_Exec_Go"), 1);
  vconfirm* go = window("Go");
  set_text(go, "Address", "From", "$40");
  click_item(go, item(go, "Go_Break", ""));
  choose_combo_text(go, "Break_Num", "To", "#2");
  set_value(go, "Count", "To", 2);
  click_button(go, "Ok");
  pump();
  typed("display pc");
  ASSERT_EQ(dispatch("M_Exec_Step"), 1);
  vconfirm* step = window("Step");
  set_value(step, "Count", "", 3);
  click_item(step, item(step, "Halt", ""));
  click_button(step, "Ok");
  pump();
  typed("display pc");
  ASSERT_EQ(dispatch("M_Exec_Break_Clear"), 1);
  vconfirm* clear = window("Clear_Break");
  select_rows(clear, "Number", "", {0, 1});
  click_button(clear, "Ok");
  ASSERT_EQ(dispatch("M_Disp_Break"), 1);
  pump();
  gui::set_transcript(nullptr);

  // The macro's own echo (its name and comments) aside.
  std::string want;
  std::istringstream macro_lines(read_all(by_macro));
  std::getline(macro_lines, want);
  want.clear();
  for (std::string line; std::getline(macro_lines, line);)
    if (line.empty() || line[0] != ';') want += line + "\n";
  const std::string got = read_all(by_dialogs);
  EXPECT_NE(want.find("break #2 off"), std::string::npos) << want;
  EXPECT_EQ(got, want);
}

}  // namespace
