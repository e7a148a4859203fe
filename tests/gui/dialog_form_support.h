// The command dialogs on the framework, driven as a user would: dialogs
// opened through the menu dispatcher, items found by name as the
// resources nest them, buttons and toggles clicked with the pointer.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "fw/gui/window/namedres.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/controls/combo.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/spinner.h"
#include "fw/widgets/controls/toggle.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/lists/listitem.h"
#include "frontends/gui/dialogs/command_dialog.h"
#include "frontends/gui/dialogs/fw_form.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/register_window.h"
#include "dialog_test_support.h"
#include "gui_window_support.h"
#include "platform/win/constants.h"
#include "platform/win/user.h"
#include "tests/support/png_compare.h"

namespace dialog_items {

inline vname N(const char* s) { return vnameIntern(vscribeCString(s)); }

inline vdialogItem* find_tag(vdialogItemList* list, vname tag, bool deep) {
  if (list == nullptr) return nullptr;
  if (auto* here = static_cast<vdialogItem*>(vobjectListFindByTag(list, tag))) return here;
  if (!deep) return nullptr;
  for (int i = 0; i < vobjectListCount(list); ++i) {
    auto* item = static_cast<vdialogItem*>(vobjectListAt(list, i));
    if (!vcontainerIsContainer(item) || vclassIsSubclass(item->cls, vcomboboxGetDefaultClass())) continue;
    if (vdialogItem* inner = find_tag(vcontainerGetItemList(static_cast<vcontainer*>(item)), tag, true)) return inner;
  }
  return nullptr;
}

// "Item" in "A/B": the containers by path, the first one anywhere.
inline vdialogItem* resolve(vdialog* d, const std::string& container, const std::string& item) {
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

inline std::vector<std::string> members(vdialog* d, const char* group, const char* container = "") {
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

// The classes the dialogs' resources name.
inline void start_classes() {
  vconfirmGetDefaultClass();
  vcontrolToggleGetDefaultClass();
  vcontainerExclusiveGroupGetDefaultClass();
  vcomboPopdownGetDefaultClass();
  vspinnerNumericGetDefaultClass();
  vlistitemGetDefaultClass();
  vbuttonGetDefaultClass();
}

}  // namespace dialog_items

struct DialogFormTest : GuiWindowFixture, dialog_lines {
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::dialogs_reset();
    dialog_items::start_classes();
    clear_command_history();
  }
  void TearDown() override {
    gui::command_dialogs_close_all();
    settle();
    gui::dialogs_reset();
    GuiWindowFixture::TearDown();
  }
  static int dispatch(const char* name) {
    for (int s = 0; s < gui::MENU_SELECTORS; ++s)
      if (const char* n = gui::menu_table(s).name; n != nullptr && std::string(n) == name) {
        const int r = gui::menu_dispatch_selector(s);
        settle();
        return r;
      }
    return -1;
  }
  static vconfirm* window(const char* resource) {
    return static_cast<vconfirm*>(gui::command_dialog_window(resource));
  }
  // A dialog opened afresh from its menu command and made the active
  // window, as a user's choice leaves it; null when it did not open.
  static vconfirm* open_afresh(const char* command, const char* resource) {
    gui::command_dialogs_close_all();
    settle();
    if (dispatch(command) != 1) return nullptr;
    vconfirm* d = window(resource);
    if (d == nullptr) return nullptr;
    win::SetActiveWindow(d->native->hwnd);
    settle();
    return d;
  }
  static vdialogItem* item(vdialog* d, const char* name, const char* container) {
    return dialog_items::resolve(d, container, name);
  }
  static std::string text(vdialog* d, const char* name, const char* container) {
    vdialogItem* i = item(d, name, container);
    if (i == nullptr) return "<missing>";
    if (vclassIsSubclass(i->cls, vcomboboxGetDefaultClass())) {
      vcomboboxValue* v = vcomboboxGetValue(static_cast<vcomboboxStandard*>(i));
      return v != nullptr && v->text != nullptr ? v->text : "";
    }
    char* s = vtextitemGetString(reinterpret_cast<vtextitem*>(i));
    std::string out = s != nullptr ? s : "";
    vmemFree(s);
    return out;
  }
  static void set_text(vdialog* d, const char* name, const char* container, const char* t) {
    vtextitemSetTextChars(reinterpret_cast<vtextitem*>(item(d, name, container)), t);
  }
  static void set_value(vdialog* d, const char* name, const char* container, int v) {
    vcontrolSetValue(reinterpret_cast<vcontrol*>(item(d, name, container)), v);
  }
  static int value(vdialog* d, const char* name, const char* container) {
    return reinterpret_cast<vcontrol*>(item(d, name, container))->value;
  }
  static void choose_combo(vdialog* d, const char* name, const char* container, int index) {
    vcomboboxSelectIndex(reinterpret_cast<vcomboboxStandard*>(item(d, name, container)), index);
  }
  // The combo's entry with the text chosen.
  static void choose_combo_text(vdialog* d, const char* name, const char* container, const char* wanted) {
    auto* box = reinterpret_cast<vcomboboxStandard*>(item(d, name, container));
    for (int k = 0; k < vcomboboxCount(box); ++k)
      if (std::string(vcomboboxAt(box, k)->text) == wanted) return vcomboboxSelectIndex(box, k);
    ADD_FAILURE() << "no entry " << wanted << " in " << name;
  }
  static int chosen(vdialog* d, const char* group, const char* container) {
    const std::vector<std::string> names = dialog_items::members(d, group, container);
    for (std::size_t k = 0; k < names.size(); ++k)
      if (value(d, names[k].c_str(), (std::string(container) + (*container ? "/" : "") + group).c_str()) != 0)
        return static_cast<int>(k);
    return -1;
  }
  static bool enabled(vdialog* d, const char* name, const char* container) {
    vdialogItem* i = item(d, name, container);
    return i != nullptr && (i->flags & vdialogItemENABLED) != 0;
  }
  static std::vector<std::string> rows(vdialog* d, const char* name, const char* container) {
    auto* l = reinterpret_cast<vlistitem*>(item(d, name, container));
    std::vector<std::string> out;
    for (std::int32_t r = 0; r < vlistGetRowCount(l->list); ++r)
      out.emplace_back(vliststrGetCell(static_cast<vliststr*>(l->list), r, 0));
    return out;
  }
  static void select_rows(vdialog* d, const char* name, const char* container, const std::vector<int>& selected) {
    auto* l = reinterpret_cast<vlistitem*>(item(d, name, container));
    if (vlistGetRowCount(l->list) > 0) vlistUnselectRange(l->list, l->selection, 0, 0, vlistGetRowCount(l->list), 1);
    for (int r : selected) vlistSelectRange(l->list, l->selection, r, 0, 1, 1);
  }
  // The window comes to the front first: dialogs open centred, over each other.
  static void click_item(vwindow* w, vdialogItem* i) {
    ASSERT_NE(i, nullptr);
    vwindowClassOf(w)->raise(w);
    settle();
    win::test::Click(screen_point(w, i, i->rect.width / 2, i->rect.height / 2));
    settle();
  }
  static void click_button(vconfirm* d, const char* tag) {
    click_item(d, vconfirmFindButton(d, dialog_items::N(tag)));
  }
  // Whether window a lies above window b.
  static bool above(vwindow* a, vwindow* b) {
    for (win::HWND h = win::GetWindow(a->native->hwnd, win::GW_HWNDNEXT); h != nullptr;
         h = win::GetWindow(h, win::GW_HWNDNEXT))
      if (h == b->native->hwnd) return true;
    return false;
  }
  // The dialog of the command, opened alone, against its stored picture.
  static void looks_as_stored(const char* command, const char* resource, const char* file) {
    SCOPED_TRACE(resource);
    gui::command_dialogs_close_all();
    settle();
    ASSERT_EQ(dispatch(command), 1);
    vconfirm* d = window(resource);
    ASSERT_NE(d, nullptr);
    settle();
    const std::string path = std::string(std::getenv("SIM_TEST_DATA")) + "/gui/" + file;
    EXPECT_TRUE(test_support::MatchesPng(win::test::WindowImage(d->native->hwnd), path, 8, 40));
  }
  static int app_windows() {
    int n = 0;
    vapplicationWindowIterator it;
    vapplicationInitWindowIterator(&it, vapplicationGetCurrent());
    while (vapplicationNextWindow(&it) != 0) ++n;
    return n;
  }
  static void run(const char* line) {
    gui::command_submit(line);
    pump();
    clear_command_history();
  }
};
