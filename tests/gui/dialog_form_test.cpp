// The command dialogs on the framework: opened from the menu dispatcher by
// their resource, fields read from the real items, Ok and Apply pressed
// with the pointer, item commands from clicked toggles, the close refused
// while a line runs.
#include <algorithm>
#include <string>
#include <vector>

#include "dialog_form_support.h"
#include "fw/gui/graphics/font.h"
#include "fw/widgets/lists/listsize.h"
#include "frontends/gui/fw_dialogs.h"

namespace {

TEST_F(DialogFormTest, AMenuCommandOpensOneDialogCentredAndASecondDoesNothing) {
  ASSERT_EQ(dispatch("M_Mod_Memory"), 1);
  vconfirm* d = window("Change_Mem");
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(vwindowIsOpen(d));
  EXPECT_NE(d->decoration & vwindowDECO_MODAL_FRAME, 0);
  // Centred on the screen (6, 6), within a pixel of rounding.
  const vrect& root = vwindowGetRoot()->rect;
  EXPECT_NEAR(d->rect.x + d->rect.width / 2, root.width / 2, 12);
  set_text(d, "Value", "", "7");
  win::test::StartTrace();
  ASSERT_EQ(dispatch("M_Mod_Memory"), 1);
  settle();
  const auto trace = win::test::StopTrace();
  int creations = 0;
  for (const auto& t : trace) creations += t.message == win::WM_CREATE;
  EXPECT_EQ(creations, 0);
  EXPECT_EQ(window("Change_Mem"), d);
  EXPECT_EQ(text(d, "Value", ""), "7");  // not filled again
}

TEST_F(DialogFormTest, OkBuildsTheLineFromTheItemsAndClosesApplyKeepsTheDialog) {
  ASSERT_EQ(dispatch("M_Mod_Memory"), 1);
  vconfirm* d = window("Change_Mem");
  ASSERT_NE(d, nullptr);
  // combo_prepare chose the first region.
  EXPECT_EQ(text(d, "Memory_Space", ""), "p");
  choose_combo_text(d, "Memory_Space", "", "x");
  EXPECT_EQ(text(d, "Memory_Space", ""), "x");
  set_text(d, "Start_Address", "", "$10");
  set_text(d, "End_Address", "", "$11");
  set_text(d, "Value", "", "5");
  click_button(d, "Apply");
  EXPECT_EQ(history(), std::vector<std::string>{"change x:$10..$11 5"});
  EXPECT_EQ(window("Change_Mem"), d);
  set_text(d, "End_Address", "", "");
  set_text(d, "Value", "", "6");
  click_button(d, "Ok");
  EXPECT_EQ(history(), (std::vector<std::string>{"change x:$10..$11 5", "change x:$10 6"}));
  EXPECT_EQ(window("Change_Mem"), nullptr);
  settle();
  // Closed, it opens again, filled anew.
  ASSERT_EQ(dispatch("M_Mod_Memory"), 1);
  EXPECT_EQ(text(window("Change_Mem"), "Value", ""), "");
}

TEST_F(DialogFormTest, ARefusedLineKeepsTheDialogAndItsFieldsUnderOkAndApply) {
  ASSERT_EQ(dispatch("M_Mod_Memory"), 1);
  vconfirm* d = window("Change_Mem");
  set_text(d, "Start_Address", "", "nowhere");
  set_text(d, "Value", "", "1");
  for (const char* button : {"Apply", "Ok"}) {
    SCOPED_TRACE(button);
    const int before = notices();
    click_button(d, button);
    EXPECT_EQ(notices(), before + 1);
    EXPECT_EQ(window("Change_Mem"), d);
    EXPECT_EQ(text(d, "Start_Address", ""), "nowhere");
    EXPECT_EQ(text(d, "Value", ""), "1");
  }
  EXPECT_TRUE(history().empty());
}

vconfirm* closing = nullptr;
int close_answer = -1;
void ask_to_close() { close_answer = closing->closeHook(closing, nullptr); }

TEST_F(DialogFormTest, ACloseAskedWhileTheLineRunsIsRefusedAndTheDialogStays) {
  ASSERT_EQ(dispatch("M_Mod_Memory"), 1);
  vconfirm* d = window("Change_Mem");
  set_text(d, "Start_Address", "", "nowhere");
  set_text(d, "Value", "", "1");
  // The refusal's notice is up while the line is being checked.
  closing = d;
  close_answer = -1;
  gui::script_answer(gui::ANSWER_OK, {}, ask_to_close);
  click_button(d, "Ok");
  EXPECT_EQ(close_answer, 1);
  settle();
  EXPECT_EQ(window("Change_Mem"), d);
  EXPECT_TRUE(vwindowIsOpen(d));
  // Afterwards the close box closes it.
  EXPECT_EQ(d->closeHook(d, nullptr), 0);
  EXPECT_EQ(window("Change_Mem"), nullptr);
}

TEST_F(DialogFormTest, ASelectionWalkRunsEachSelectedRowAndApplyShowsTheNewList) {
  run("watch x:$0");
  run("watch x:$1");
  run("watch x:$2");
  ASSERT_EQ(dispatch("M_Disp_Watch_Off"), 1);
  vconfirm* d = window("Watch_Off");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(rows(d, "Number", ""), (std::vector<std::string>{"#1", "#2", "#3"}));
  select_rows(d, "Number", "", {0, 2});
  click_button(d, "Apply");
  EXPECT_EQ(history(), (std::vector<std::string>{"watch #1 off", "watch #3 off"}));
  EXPECT_EQ(rows(d, "Number", ""), std::vector<std::string>{"#2"});
  // Nothing selected: nothing runs, nothing is said, the dialog stays.
  clear_command_history();
  const int before = notices();
  click_button(d, "Ok");
  EXPECT_TRUE(history().empty());
  EXPECT_EQ(notices(), before);
  EXPECT_EQ(window("Watch_Off"), d);
}

TEST_F(DialogFormTest, AClickedToggleReachesItsHandlerThroughTheDialogsCommands) {
  ASSERT_EQ(dispatch("M_Mod_Dev_Conf"), 1);
  vconfirm* d = window("Device");
  ASSERT_NE(d, nullptr);
  vdialogItem* types = item(d, "Dev_Type", "");
  ASSERT_NE(types, nullptr);
  EXPECT_TRUE(types->flags & vdialogItemENABLED);
  click_item(d, item(d, "Off", "Option"));
  EXPECT_EQ(chosen(d, "Option", ""), 2);
  EXPECT_FALSE(types->flags & vdialogItemENABLED);
  click_item(d, item(d, "Type", "Option"));
  EXPECT_EQ(chosen(d, "Option", ""), 0);
  EXPECT_TRUE(types->flags & vdialogItemENABLED);
}

// A click on the radio button already on leaves it the one on, in every
// dialog's exclusive group, and the line Ok builds is the one it built
// before the click.
TEST_F(DialogFormTest, AClickOnTheRadioButtonAlreadyOnKeepsItOn) {
  struct Row {
    const char *command, *resource, *group;
    bool ok;  // Ok runs a line without more fields
  } rows[] = {{"M_Win_Watch", "Watch_Win", "Radix", true},         {"M_Mod_Radix_Disp", "Set_Radix", "Radix", false},
              {"M_Mod_Radix_Def", "Set_Def_Radix", "Radix", true}, {"M_Mod_Dev_Conf", "Device", "Option", false},
              {"M_Disp_Eval", "Evaluate", "Radix", true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.resource);
    std::vector<std::string> lines[2];
    for (int clicked = 0; clicked < 2; ++clicked) {
      vconfirm* d = open_afresh(r.command, r.resource);
      ASSERT_NE(d, nullptr);
      const int on = chosen(d, r.group, "");
      ASSERT_GE(on, 0) << "a dialog opens with one radio button on";
      const std::string name = dialog_items::members(d, r.group)[static_cast<std::size_t>(on)];
      if (clicked) click_item(d, item(d, name.c_str(), r.group));
      int switched_on = 0;
      for (const std::string& m : dialog_items::members(d, r.group)) switched_on += value(d, m.c_str(), r.group) != 0;
      EXPECT_EQ(switched_on, 1);
      EXPECT_EQ(chosen(d, r.group, ""), on) << name;
      if (!r.ok) continue;
      if (item(d, "Expression", "") != nullptr) set_text(d, "Expression", "", "5");
      clear_command_history();
      click_button(d, "Ok");
      lines[clicked] = history();
    }
    EXPECT_EQ(lines[1], lines[0]);
  }
}

TEST_F(DialogFormTest, WindowDialogsStayAboveTheWindowTheirLineOpened) {
  gui::register_register_window();
  ASSERT_EQ(dispatch("M_Win_Reg"), 1);
  vconfirm* d = window("Register_Win");
  ASSERT_NE(d, nullptr);
  const std::string first = text(d, "Peripheral", "");
  EXPECT_FALSE(first.empty());
  click_button(d, "Apply");
  pump();
  ASSERT_EQ(history(), std::vector<std::string>{"wregister " + first});
  gui::sim_window* opened = gui::window_find(gui::SIMWIN_REGISTER, 0);
  ASSERT_NE(opened, nullptr);
  EXPECT_TRUE(above(d, opened->window));
}

TEST_F(DialogFormTest, ThePaletteAndEveryMenuRowOfADialogOpenIt) {
  int opened = 0;
  for (int s = 0; s < gui::MENU_SELECTORS; ++s) {
    const gui::menu_entry& e = gui::menu_table(s);
    if (e.kind != gui::MENU_DIALOG || std::string(e.text) == "About") continue;
    SCOPED_TRACE(e.name);
    ASSERT_EQ(gui::menu_dispatch_selector(s), 1);
    EXPECT_NE(window(e.text), nullptr);
    ++opened;
    gui::command_dialogs_close_all();
    settle();
  }
  EXPECT_GE(opened, 30);
}

TEST_F(DialogFormTest, TheAboutRowOpensABoxEachTime) {
  const int before = app_windows();
  ASSERT_EQ(dispatch("M_File_About"), 1);
  ASSERT_EQ(dispatch("M_File_About"), 1);
  EXPECT_EQ(app_windows(), before + 2);
}

}  // namespace

namespace {

// Dialogs of the device, memory and preferences as a user sees them.
// Tab walks every field of a dialog, into a titled group and out of it
// again: none of them is left to the pointer alone.
TEST_F(DialogFormTest, TabReachesEveryFieldThroughTheGroups) {
  struct Case {
    const char* command;
    const char* resource;
    std::vector<std::pair<const char*, const char*>> fields;  // name, container
  };
  const Case cases[] = {
      {"M_File_Input_Addr", "Input_Addr", {{"Number", ""}, {"Addr", "To"}, {"Addr", "From"}}},
      {"M_Exec_Go", "Go", {{"Address", "From"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.resource);
    vconfirm* d = open_afresh(c.command, c.resource);
    ASSERT_NE(d, nullptr);
    std::vector<vdialogItem*> reached;
    for (int step = 0; step < 24; ++step) {
      press(win::VK_TAB);
      vdialogItem* f = vdialogGetFocusItem(d);
      while (f != nullptr && vcontainerIsContainer(f)) {
        vdialogItem* inner = vdialogItemListGetFocusItem(vcontainerGetItemList(static_cast<vcontainer*>(f)));
        if (inner == nullptr) break;
        f = inner;
      }
      reached.push_back(f);
    }
    for (const auto& [name, container] : c.fields) {
      vdialogItem* field = item(d, name, container);
      ASSERT_NE(field, nullptr) << name;
      EXPECT_NE(std::find(reached.begin(), reached.end(), field), reached.end()) << container << "/" << name;
    }
  }
  gui::command_dialogs_close_all();
  settle();
}

// Blanks typed into a dialog's field stay in its text.
TEST_F(DialogFormTest, BlanksTypedIntoAFieldAreKept) {
  ASSERT_EQ(dispatch("M_File_Input_Addr"), 1);
  vconfirm* d = window("Input_Addr");
  ASSERT_NE(d, nullptr);
  win::SetActiveWindow(d->native->hwnd);
  settle();
  click_item(d, item(d, "Addr", "To"));
  type_keys("$1 + 2");
  EXPECT_EQ(text(d, "Addr", "To"), "$1 + 2");
  gui::command_dialogs_close_all();
  settle();
}

// What is typed as soon as a dialog opens goes into its first field that
// takes text, before any click or Tab.
TEST_F(DialogFormTest, TypingReachesTheFirstTextFieldAsADialogOpens) {
  struct Case {
    const char* command;
    const char* resource;
    const char* field;
    const char* container;
  } cases[] = {{"M_Disp_Type", "Type", "Expression", ""},
               {"M_Disp_Eval", "Evaluate", "Expression", ""},
               {"M_Mod_Register", "Change_Reg", "Value_Text", ""},
               {"M_Disp_Mem", "Disp_Mem", "Start_Address", "Range"},
               {"M_File_Save_OMF", "Save_Mem", "Start_Address", "Range"},
               {"M_Exec_Break_Set", "Set_Break", "Start_Addr", "Mem"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.resource);
    vconfirm* d = open_afresh(c.command, c.resource);
    ASSERT_NE(d, nullptr);
    type_keys("$1a");
    EXPECT_EQ(text(d, c.field, c.container), "$1a");
  }
  gui::command_dialogs_close_all();
  settle();
}

// A field that opens with a value, a spinner's count among them, takes
// the focus with the value selected: what is typed replaces it.
TEST_F(DialogFormTest, KeysReachADialogWithoutATextFieldAsItOpens) {
  vconfirm* d = open_afresh("M_Exec_Step", "Step");
  ASSERT_NE(d, nullptr);
  vdialogItem* count = item(d, "Count", "");
  ASSERT_NE(count, nullptr);
  ASSERT_TRUE(vclassIsSubclass(count->cls, vspinnerNumericGetDefaultClass()));
  vtextitem* field = static_cast<vspinner*>(count)->field;
  const auto shown = [&] {
    char* s = vtextitemGetString(field);
    std::string out = s != nullptr ? s : "";
    vmemFree(s);
    return out;
  };
  EXPECT_EQ(shown(), "1");
  type_keys("7");
  EXPECT_EQ(shown(), "7");
  EXPECT_EQ(vcontrolGetValue(static_cast<vcontrol*>(count)), 7);
  gui::command_dialogs_close_all();
  settle();

  // A form of choices alone: an arrow moves the choice before any Tab.
  d = open_afresh("M_Mod_Radix_Def", "Set_Def_Radix");
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(value(d, "Decimal", "Radix"), 1);
  press(win::VK_RIGHT);
  EXPECT_EQ(value(d, "Hexadecimal", "Radix"), 1);
  EXPECT_EQ(value(d, "Decimal", "Radix"), 0);
  gui::command_dialogs_close_all();
  settle();
}

TEST_F(DialogFormTest, DeviceMemoryAndPreferenceDialogsLookAsStored) {
  looks_as_stored("M_Mod_Dev_Conf", "Device", "device.png");
  looks_as_stored("M_Mod_Memory", "Change_Mem", "change_mem.png");
  looks_as_stored("M_Disp_Mem", "Disp_Mem", "disp_mem.png");
  looks_as_stored("M_File_Pref", "AppPrefs", "app_prefs.png");
}

}  // namespace

namespace {

int line_width = 0, line_height = 0;

// The line dialog of an interactive input keeps its form's size, so that
// its prompt and entry show above the buttons.
TEST_F(DialogFormTest, TheLineDialogShowsItsWholeForm) {
  veventPost(veventCreateClient(
      [](vevent*) {
        vapplicationWindowIterator it;
        vapplicationInitWindowIterator(&it, vapplicationGetCurrent());
        while (vapplicationNextWindow(&it) != 0) {
          vwindow* w = it.window;
          if (w->title == nullptr || std::string(w->title) != "Input") continue;
          line_width = w->rect.width;
          line_height = w->rect.height;
          auto* d = static_cast<vdialog*>(w);
          d->closeHook(d, nullptr);
        }
        return 1;
      },
      nullptr));
  std::string input = "x";
  EXPECT_EQ(gui::framework_dialogs().line_run("Value?", input), gui::ANSWER_CLOSE);
  EXPECT_EQ(line_width, 460);
  EXPECT_EQ(line_height, 96);
  settle();
}

}  // namespace

namespace {

// A combo given its entries shows the first, lists them all in rows of the
// list's font, and given none again shows nothing.
TEST_F(DialogFormTest, ComboPrepareFillsTheListAndChoosesTheFirstEntry) {
  ASSERT_EQ(dispatch("M_Mod_Memory"), 1);
  vconfirm* d = window("Change_Mem");
  auto* box = reinterpret_cast<vcomboboxStandard*>(item(d, "Memory_Space", ""));
  ASSERT_NE(box, nullptr);
  gui::combo_prepare(box, {"one", "two", "three"});
  EXPECT_EQ(vcomboboxCount(box), 3);
  EXPECT_EQ(text(d, "Memory_Space", ""), "one");
  ASSERT_NE(box->choice, nullptr);
  const int font = (vfontGetHeight(vdialogDetermineItemFont(box->choice)) + vfixedONE / 2) / vfixedONE;
  EXPECT_GE(box->choice->size->defaultHeight, font);
  EXPECT_LE(box->choice->size->defaultHeight, font + 8) << "the font's height and the cell borders";
  choose_combo(d, "Memory_Space", "", 2);
  gui::combo_prepare(box, {"x", "y"});
  EXPECT_EQ(vcomboboxCount(box), 2);
  EXPECT_EQ(text(d, "Memory_Space", ""), "x") << "entry 0 again, not the old index";
  gui::combo_prepare(box, {});
  EXPECT_EQ(vcomboboxCount(box), 0);
}

}  // namespace
