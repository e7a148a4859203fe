// The command dialogs' resources against the code that reads them: every
// item a dialog's fill, handlers and apply name (in every branch) is in
// its resource, and the exclusive groups list their members in the order
// of the texts their index selects.
#include <set>

#include "dialog_test_support.h"
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

vname N(const char* s) { return vnameInternLiteral(s); }

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

vdialogItem* find_tag(vdialogItemList* list, vname tag, bool deep) {
  if (list == nullptr) return nullptr;
  if (auto* here = static_cast<vdialogItem*>(vobjectListFindByTag(list, tag))) return here;
  if (!deep) return nullptr;
  for (int i = 0; i < vobjectListCount(list); ++i) {
    auto* item = static_cast<vdialogItem*>(vobjectListAt(list, i));
    if (!vcontainerIsContainer(item)) continue;
    if (vdialogItem* inner = find_tag(vcontainerGetItemList(static_cast<vcontainer*>(item)), tag, true)) return inner;
  }
  return nullptr;
}

// "Item" in "A/B": the containers by path, the first one anywhere.
vdialogItem* resolve(vdialog* d, const std::string& container, const std::string& item) {
  vdialogItemList* list = vdialogGetItemList(d);
  bool first = true;
  for (std::size_t at = 0; at < container.size();) {
    const std::size_t end = std::min(container.find('/', at), container.size());
    vdialogItem* c = find_tag(list, N(container.substr(at, end - at).c_str()), first);
    if (c == nullptr || !vcontainerIsContainer(c)) return nullptr;
    list = vcontainerGetItemList(static_cast<vcontainer*>(c));
    first = false;
    at = end + 1;
  }
  return find_tag(list, N(item.c_str()), container.empty());
}

std::vector<std::string> members(vdialog* d, const char* group, const char* container = "") {
  std::vector<std::string> out;
  vdialogItem* g = resolve(d, container, group);
  if (g == nullptr || !vcontainerIsContainer(g)) return out;
  vdialogItemList* list = vcontainerGetItemList(static_cast<vcontainer*>(g));
  for (int i = 0; i < vobjectListCount(list); ++i) {
    auto* item = static_cast<vdialogItem*>(vobjectListAt(list, i));
    out.emplace_back(item->tag != nullptr ? item->tag : "");
  }
  return out;
}

struct DialogResources : GuiWindowFixture {
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::dialogs_reset();
    vconfirmGetDefaultClass();
    vcontrolToggleGetDefaultClass();
    vcontainerExclusiveGroupGetDefaultClass();
    vcomboPopdownGetDefaultClass();
    vspinnerNumericGetDefaultClass();
    vlistitemGetDefaultClass();
    vbuttonGetDefaultClass();
  }
  void TearDown() override {
    quitting = 0;
    gui::dialogs_reset();
    GuiWindowFixture::TearDown();
  }
  static vdialog* load(const char* name) {
    vresource r;
    if (vapplicationFindNamedResource(N(name), &r) == 0) return nullptr;
    return static_cast<vdialog*>(vobjectLoad(r));
  }
};

TEST_F(DialogResources, EveryItemTheDialogsNameIsInTheirResource) {
  std::vector<gui::dialog_entry> entries;
  for (auto part : {gui::device_mem_dialogs(), gui::stream_log_dialogs()}) entries.insert(entries.end(), part.begin(), part.end());
  ASSERT_EQ(entries.size(), 29U);
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

}  // namespace
