// The application's resource file as built: every resource and item the
// front-end loads by name, found by that name with its kind.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fw/core/fs.h"
#include "fw/core/sys.h"
#include "fw/data/btree.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/controls/ruler.h"
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/lists/listview.h"
#include "frontends/gui/command_window.h"
#include "frontends/gui/fw_dialogs.h"
#include "frontends/gui/incell.h"
#include "frontends/gui/session_window.h"
#include "frontends/gui/source_window.h"

namespace {

// The application and stores the dialogs start are left to exit handlers.
struct RunExitHandlersAtEnd : ::testing::Environment {
  void TearDown() override { vsysRunExitHandlers(); }
};
[[maybe_unused]] ::testing::Environment* const exitAtEnd =
    ::testing::AddGlobalTestEnvironment(new RunExitHandlersAtEnd);

vresource application_file() {
  static vresource root = [] {
    vrstoreInstallInterface();
    const std::string path = std::string(std::getenv("WEXLINHOME")) + "/lib/sim73500.vr";
    vfsPath* p = vfsNewPathFromString(path.c_str());
    vresource r = vrstoreOpenFile(p, vbtreeREAD);
    vfsFreePath(p);
    return r;
  }();
  return root;
}

std::string path_text(const vfsPath* p) {
  vstr* s = vfsPathToString(p);
  std::string out = s;
  vstrDestroy(s);
  return out;
}

// A file dialog lists "Default" and its own kind's type, that one current
// with its pattern and extension; the list dialog has "Default" alone. A
// name typed without the extension is completed as a file of that kind.
TEST(ApplicationResources, FileDialogsListDefaultAndTheirOwnTypeCurrent) {
  vresource types = vresourceGet(application_file(), N("Filter Types"));
  startDialogItemTests();
  vdialogStartup();
  struct Case {
    std::vector<std::string> filters;
    int current;
    const char* type;
    const char* extension;
    // typed name, the name chosen
    std::vector<std::pair<const char*, const char*>> names;
  } cases[] = {{{"Default", "COFF"}, 1, "COFF", ".cld", {{"prog", "prog.cld"}, {"prog.cld", "prog.cld"}}},
               {{"Default", "OMF"}, 1, "OMF", ".lod", {{"mysave", "mysave.lod"}, {"mylod", "mylod.lod"}}},
               {{"Default", "SimState"}, 1, "SimState", ".sim", {{"state", "state.sim"}}},
               {{"Default", "Log"}, 1, "Log", ".log", {{"catalog", "catalog.log"}, {"s.log", "s.log"}}},
               {{"Default", "TIO"}, 1, "TIO", ".tio", {{"in", "in.tio"}}},
               {{"Default"}, 0, "Default", nullptr, {{"any", "any"}}}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.type);
    vfilechsr* c = vfilechsrCreate();
    gui::chooser_request r;
    r.filters = k.filters;
    r.current_filter = k.current;
    gui::chooser_add_filters(c, r, types);
    ASSERT_NE(c->fileTypes, nullptr);
    EXPECT_EQ(c->fileTypes->count, k.filters.size());
    ASSERT_NE(c->fileType, nullptr);
    EXPECT_EQ(c->fileType->name, N(k.type));
    if (k.extension != nullptr) {
      ASSERT_NE(c->fileType->extension, nullptr);
      EXPECT_EQ(std::string(c->fileType->extension), k.extension);
    }
    for (const auto& [typed, chosen] : k.names) {
      vfsPath* p = vfsNewPathFromString((std::string("/tmp/") + typed).c_str());
      _vfilechsrAppendExtension(c, p);
      EXPECT_EQ(path_text(p), std::string("/tmp/") + chosen);
      vfsFreePath(p);
    }
    vinstanceDestroy(c);
  }
}

// A file dialog for writing is the save kind, its name entry focused when
// it opens so that typing names the file; one for reading starts in its
// first column.
TEST(ApplicationResources, FileDialogsForWritingOpenOnTheirNameEntry) {
  ASSERT_NE(application_file(), vresource{});
  startDialogItemTests();
  vdialogStartup();
  for (const int open : {0, 1}) {
    SCOPED_TRACE(open);
    gui::chooser_request r;
    r.kind = 3;
    r.open = open;
    r.options = open != 0 ? 0x14 : 0x18;
    r.title = "Open Log File";
    vfilechsr* c = gui::chooser_make(r);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->kind, open != 0 ? vfilechsrOPEN : vfilechsrSAVE);
    vwindowOpen(c);
    vdialogItem* focus = vdialogGetFocusItem(c);
    while (focus != nullptr && vcontainerIsContainer(focus)) {
      vdialogItem* inner = vdialogItemListGetFocusItem(vcontainerGetItemList(static_cast<vcontainer*>(focus)));
      if (inner == nullptr) break;
      focus = inner;
    }
    const vdialogItem* want = open != 0 ? static_cast<vdialogItem*>(c->columns[0]) : c->pathEntry;
    EXPECT_EQ(focus, want);
    EXPECT_STREQ(c->title, "Open Log File");
    vwindowClose(c);
    vinstanceDestroy(c);
  }
}

// The file chooser's types: one per kind of file dialog, each with the
// pattern the chooser filters by.
TEST(ApplicationResources, FilterTypesHoldEveryKindsType) {
  vresource root = application_file();
  ASSERT_NE(root, vresource{});
  vresource types;
  ASSERT_TRUE(vresourceTestGet(root, N("Filter Types"), &types));
  vresource group;
  ASSERT_TRUE(vresourceTestGet(types, N("Windows/NT"), &group));
  for (const char* name : {"SimState", "COFF", "IO", "Log", "Macro", "OMF", "TIO", "Dir", "Default"}) {
    SCOPED_TRACE(name);
    vresource type;
    ASSERT_TRUE(vresourceTestGet(group, N(name), &type));
    vresource value;
    EXPECT_TRUE(vresourceTestGet(type, N("Value"), &value));
  }
}

// Dialogs by name, each item by name with the class it must be of.
TEST(ApplicationResources, DialogsLoadWithTheirNamedItems) {
  vresource root = application_file();
  vrstoreInstallInterface();
  startDialogItemTests();
  vdialogStartup();
  vconfirmGetDefaultClass();
  vtextitemGetDefaultClass();
  struct Item {
    const char* name;
    const vclass* kind;
  };
  struct Dialog {
    const char* name;
    std::vector<Item> items;
    std::vector<const char*> answers;
  } dialogs[] = {
      {"Interact_Input",
       {{"Prompt", vtextitemGetDefaultClass()}, {"Input", vtextitemGetDefaultClass()}},
       {"Ok", "Apply", "Cancel"}},
  };
  for (const Dialog& d : dialogs) {
    SCOPED_TRACE(d.name);
    vresource r;
    ASSERT_TRUE(vresourceTestGet(root, N(d.name), &r));
    auto* dialog = static_cast<vconfirm*>(vobjectLoad(r));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(vclassIsSubclass(dialog->cls, vconfirmGetDefaultClass()));
    for (const Item& i : d.items) {
      SCOPED_TRACE(i.name);
      vdialogItem* item = vdialogFindItem(dialog, N(i.name));
      ASSERT_NE(item, nullptr);
      EXPECT_TRUE(vclassIsSubclass(item->cls, i.kind));
    }
    for (const char* answer : d.answers) EXPECT_NE(vconfirmFindButton(dialog, N(answer)), nullptr) << answer;
    vinstanceDestroy(dialog);
  }
}

// The simulator windows: each item by name, of its class or one derived
// from it (the windows' own canvas, entry and editor classes).
TEST(ApplicationResources, WindowsLoadWithTheirNamedItems) {
  vresource root = application_file();
  vrstoreInstallInterface();
  startDialogItemTests();
  vdialogStartup();
  gui::register_session_window();
  gui::register_command_window();
  gui::register_source_window();
  struct Item {
    const char* name;
    const vclass* kind;
  };
  const struct {
    const char* name;
    std::vector<Item> items;
  } windows[] = {
      {"Session", {{"Session_Text", vdialogItemGetDefaultClass()}, {"Session_Scroll", vsliderScrollBarGetDefaultClass()}}},
      {"Command",
       {{"Command_Line", vtextitemGetDefaultClass()},
        {"Command_Prompt", vtextitemGetDefaultClass()},
        {"Help_Line", vtextitemGetDefaultClass()},
        {"Error_Line", vtextitemGetDefaultClass()},
        {"Command_History", gui::xincellGetDefaultClass()}}},
      {"Source", {{"Source_Text", vdialogItemGetDefaultClass()}, {"Source_Scroll", vsliderScrollBarGetDefaultClass()}}},
      {"Watch", {{"Watch_List", vlistviewGetDefaultClass()}, {"Ruler", vrulerGetDefaultClass()}}},
      {"Breakpoints", {{"Breakpoint_List", vlistviewGetDefaultClass()}}},
      {"Stack", {{"Stack_List", vlistviewGetDefaultClass()}, {"Ruler", vrulerGetDefaultClass()}}},
      {"Calls", {{"Calls_List", vlistviewGetDefaultClass()}}},
      {"Input", {{"Input_List", vlistviewGetDefaultClass()}}},
      {"Output", {{"Output_List", vlistviewGetDefaultClass()}}},
      {"List", {{"List_Text", vtextitemGetDefaultClass()}}},
  };
  for (const auto& w : windows) {
    SCOPED_TRACE(w.name);
    vresource r;
    ASSERT_TRUE(vresourceTestGet(root, N(w.name), &r));
    auto* dialog = static_cast<vdialog*>(vobjectLoad(r));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(vclassIsSubclass(dialog->cls, vdialogGetDefaultClass()));
    for (const Item& i : w.items) {
      SCOPED_TRACE(i.name);
      vdialogItem* item = vdialogFindItem(dialog, N(i.name));
      ASSERT_NE(item, nullptr);
      EXPECT_TRUE(vclassIsSubclass(item->cls, i.kind));
    }
    vinstanceDestroy(dialog);
  }
}

}  // namespace
