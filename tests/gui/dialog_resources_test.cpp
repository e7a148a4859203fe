// The command dialogs' resources against the code that reads them: every
// item a dialog's fill, handlers and apply name (in every branch) is in
// its resource, and the exclusive groups list their members in the order
// of the texts their index selects.
#include <set>

#include "dialog_form_support.h"
#include "fw/gui/window/namedres.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/controls/combo.h"
#include "fw/widgets/controls/spinner.h"
#include "fw/widgets/controls/toggle.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/lists/listitem.h"
#include "gui_window_support.h"

namespace {

// A form that says yes to everything and notes each item it was asked
// about: toggles on, groups at one index, the first row selected.
struct recording_form : map_form {
  std::set<std::pair<std::string, std::string>> asked;  // container, item
  int index = 0;
  void note(const char* i, const char* c) { asked.insert({c, i}); }
  std::string text(const char* i, const char* c) override {
    note(i, c);
    return map_form::text(i, c);
  }
  int value(const char* i, const char* c) override {
    note(i, c);
    return 1;
  }
  void set_value(const char* i, const char* c, int v) override {
    note(i, c);
    map_form::set_value(i, c, v);
  }
  void set_text(const char* i, const char* c, const std::string& t) override {
    note(i, c);
    map_form::set_text(i, c, t);
  }
  int chosen(const char* g, const char* c) override {
    note(g, c);
    return index;
  }
  void choose(const char* g, const char* c, int i) override { note(g, c), map_form::choose(g, c, i); }
  bool enabled(const char* i, const char* c) override {
    note(i, c);
    return true;
  }
  void set_enabled(const char* i, const char* c, bool on) override {
    note(i, c);
    map_form::set_enabled(i, c, on);
  }
  void set_rows(const char* i, const char* c, const std::vector<std::string>& rows) override {
    note(i, c);
    map_form::set_rows(i, c, rows);
  }
  std::vector<int> selected(const char* i, const char* c) override {
    note(i, c);
    return {0};
  }
};

using dialog_items::members;
using dialog_items::resolve;

struct DialogResources : GuiWindowFixture {
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::dialogs_reset();
    dialog_items::start_classes();
  }
  void TearDown() override {
    quitting = 0;
    gui::dialogs_reset();
    GuiWindowFixture::TearDown();
  }
  static vdialog* load(const char* name) {
    vresource r;
    if (vapplicationFindNamedResource(dialog_items::N(name), &r) == 0) return nullptr;
    return static_cast<vdialog*>(vobjectLoad(r));
  }
};

TEST_F(DialogResources, EveryItemTheDialogsNameIsInTheirResource) {
  std::vector<gui::dialog_entry> entries;
  for (auto part : {gui::break_exec_dialogs(), gui::device_mem_dialogs(), gui::stream_log_dialogs()})
    entries.insert(entries.end(), part.begin(), part.end());
  ASSERT_EQ(entries.size(), 44U);
  for (const gui::dialog_entry& e : entries) {
    SCOPED_TRACE(e.resource);
    vdialog* d = load(e.resource);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(vclassIsSubclass(d->cls, vconfirmGetDefaultClass()));
    gui::dialog_state* state = gui::dialog_by_resource(e.resource);
    ASSERT_NE(state, nullptr);
    recording_form form;
    gui::dialog_open_with(*state, &form);
    // Lines are checked but never run: the sweep must leave the devices be.
    quitting = 1;
    for (form.index = 0; form.index < 8; ++form.index) {
      for (int h = 0; h < e.handler_count; ++h) gui::dialog_item_command(*state, e.handlers[h].item, true);
      gui::dialog_apply(*state);
    }
    quitting = 0;
    gui::dialog_close(*state);
    for (const auto& [container, item] : form.asked)
      EXPECT_NE(resolve(d, container, item), nullptr) << "\"" << item << "\" in \"" << container << "\"";
    for (int h = 0; h < e.handler_count; ++h)
      EXPECT_NE(resolve(d, "", e.handlers[h].item), nullptr) << "handler " << e.handlers[h].item;
    vinstanceDestroy(d);
  }
}

TEST_F(DialogResources, GroupsListTheirMembersInTheOrderOfTheirTexts) {
  const std::vector<std::string> watch = {"Decimal", "Fractional", "Floating_Point", "Hexadecimal", "Unsigned"};
  struct group_case {
    const char* dialog;
    const char* group;
    std::vector<std::string> order;
  } cases[] = {
      {"Set_Radix", "Radix", {"Decimal", "Hexadecimal", "Fractional", "Floating_Point", "Unsigned"}},
      {"Set_Def_Radix", "Radix", {"Decimal", "Hexadecimal", "Unsigned", "Binary"}},
      {"Watch_Win", "Radix", watch},
      {"Add_Watch", "Radix", watch},
      {"Evaluate", "Radix", {"Binary", "Decimal", "Fractional", "Floating_Point", "Hexadecimal", "Unsigned"}},
      {"Device", "Option", {"Type", "On", "Off", "Remove"}},
      {"Disp_Reg", "Display", {"On", "Off", "Read", "Write", "Read_Write"}},
      {"Disp_Mem", "Display", {"On", "Off", "Read", "Write", "Read_Write"}},
      {"Load_COFF", "Load", {"Memory", "Debug"}},
      {"Output_Open", "From",
       {"From_Memory", "From_Port", "From_Pin", "From_Register", "From_Peripheral", "From_History", "From_EHistory"}},
      {"Output_Open", "To", {"File", "Term"}},
      {"Output_Open", "Radix", {"Decimal", "Fractional", "Floating_Point", "Hexadecimal", "Unsigned", "Signed"}},
      {"Input_Open", "To", {"To_Memory", "To_Port", "To_Pin", "To_Register", "To_Peripheral"}},
      {"Input_Open", "From", {"File", "Term"}},
      {"Input_Open", "Radix", watch},
      {"Redir_Stream", "Stream", {"Stdin", "Stdout", "Stderr"}},
      {"Set_Break", "Access", {"Read", "Write", "Read_Write", "DMA_Read", "DMA_Write", "DMA_Read_Write", "Execute"}},
      {"Set_Break", "Action", {"Halt", "Note", "Show", "Command", "Inc1", "Inc2", "Inc3", "Inc4"}},
      {"Set_Break", "Kind", {"Memory", "Register", "Expression"}},
      {"Next", "Increment", {"Instructions", "Lines"}},
      {"Trace", "Increment", {"Instructions", "Lines", "Cycles"}},
      {"Step", "Increment", {"Instructions", "Lines", "Cycles"}},
      {"Where", "Frames", {"Innermost", "Outermost"}},
      {"List_File", "List", {"Current", "Next", "Previous", "Addr"}},
  };
  for (const group_case& c : cases) {
    SCOPED_TRACE(std::string(c.dialog) + " " + c.group);
    vdialog* d = load(c.dialog);
    ASSERT_NE(d, nullptr);
    vdialogItem* g = resolve(d, "", c.group);
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(vclassIsSubclass(g->cls, vcontainerExclusiveGroupGetDefaultClass()));
    EXPECT_EQ(members(d, c.group), c.order);
    vinstanceDestroy(d);
  }
}

// The breakpoint and execution dialogs' items by kind, as their fills,
// handlers and lines read them.
TEST_F(DialogResources, BreakAndRunDialogItemsHaveTheirKinds) {
  enum kind { TEXT, COMBO, SPINNER, TOGGLE, LIST, BOX, LABEL };
  struct item_case {
    const char* dialog;
    const char* container;
    const char* item;
    kind k;
  } cases[] = {
      {"Disable_Break", "", "Number", LIST},    {"Enable_Break", "", "Number", LIST},
      {"Clear_Break", "", "Number", LIST},      {"Set_Break", "", "Number", SPINNER},
      {"Set_Break", "Mem", "Space", COMBO},     {"Set_Break", "Mem", "Start_Addr", TEXT},
      {"Set_Break", "Mem", "End_Addr", TEXT},   {"Set_Break", "Reg", "Reg_Combo", COMBO},
      {"Set_Break", "Expr", "Expression", TEXT}, {"Set_Break", "Cmd", "Command_Text", TEXT},
      {"Set_Break", "", "Mem", BOX},            {"Set_Break", "", "Reg", BOX},
      {"Set_Break", "", "Expr", BOX},           {"Set_Break", "", "Cmd", BOX},
      {"Set_Break", "", "Execute", TOGGLE},     {"Set_Break", "Kind", "Expression", TOGGLE},
      {"Go", "From/Go_From", "Reset", TOGGLE},  {"Go", "From/Go_From", "Location", TOGGLE},
      {"Go", "From", "Address", TEXT},          {"Go", "From", "Address_Lab", LABEL},
      {"Go", "", "Go_Break", TOGGLE},           {"Go", "To", "Break_Num", COMBO},
      {"Go", "To", "Count", SPINNER},           {"Until", "", "Address", TEXT},
      {"Until", "", "Halt", TOGGLE},            {"Next", "", "Count", SPINNER},
      {"Next", "", "Halt", TOGGLE},             {"Trace", "Increment", "Cycles", TOGGLE},
      {"Step", "", "Count", SPINNER},           {"Wait", "", "Forever", TOGGLE},
      {"Wait", "", "Count", SPINNER},           {"Reset", "", "Mode", LIST},
      {"Down", "", "Count", SPINNER},           {"Up", "", "Count", SPINNER},
      {"Where", "", "Count", SPINNER},          {"List_File", "Address", "Address", TEXT},
  };
  for (const item_case& c : cases) {
    SCOPED_TRACE(std::string(c.dialog) + " " + c.container + " " + c.item);
    vdialog* d = load(c.dialog);
    ASSERT_NE(d, nullptr);
    vdialogItem* i = resolve(d, c.container, c.item);
    ASSERT_NE(i, nullptr);
    const vclass* want[] = {vtextitemGetDefaultClass(), vcomboboxGetDefaultClass(), vspinnerNumericGetDefaultClass(),
                            vcontrolToggleGetDefaultClass(), vlistitemGetDefaultClass(), vcontainerGetDefaultClass(),
                            vdialogLabelItemGetDefaultClass()};
    EXPECT_TRUE(vclassIsSubclass(i->cls, want[c.k]));
    vinstanceDestroy(d);
  }
  // The operating modes are the resource's own rows, in the order of their texts.
  vdialog* reset = load("Reset");
  ASSERT_NE(reset, nullptr);
  auto* modes = reinterpret_cast<vlistitem*>(resolve(reset, "", "Mode"));
  ASSERT_NE(modes, nullptr);
  std::vector<std::string> rows;
  for (std::int32_t r = 0; r < vlistGetRowCount(modes->list); ++r)
    rows.emplace_back(vliststrGetCell(static_cast<vliststr*>(modes->list), r, 0));
  EXPECT_EQ(rows, (std::vector<std::string>{"m0", "m1", "m2", "m3", "m4", "m5", "m6", "m7", "m8"}));
  vinstanceDestroy(reset);
}

}  // namespace
