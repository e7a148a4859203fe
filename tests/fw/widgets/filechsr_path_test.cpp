// The file chooser's path pop-up, history and marked directories with the
// preferences that keep them, the path entry's observer and completion,
// the read-only box, and the keys of the chooser and its entry, on a
// temporary folder tree.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fw/core/command.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/toggle.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/filechsr_support.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"

namespace {

using namespace fctest;


struct PathTree : Tree {
  PathTree() {
    fs::create_directories(root / "comp/xyzdir");
    fs::create_directories(root / "comp/sub");
    touch("comp/abcd");
    touch("comp/abce");
    touch("comp/README.TXT");
    touch("comp/sub/only.txt");
    for (int i = 1; i <= 7; ++i) fs::create_directories(root / ("v" + std::to_string(i)));
  }
};

struct PathEntry : ChooserFixture<PathTree> {
  std::string entryText() {
    char* s = vtextitemGetString(c->pathEntry);
    std::string out = s ? s : "";
    if (s) vmemFree(s);
    return out;
  }
  std::string current() { return pathText(c->current->path); }
  std::vector<std::string> history() {
    std::vector<std::string> out;
    for (int i = 0; vfsPath* p = _vfilechsrHistoryPath(c, i); ++i) out.push_back(pathText(p));
    return out;
  }
  std::vector<std::string> marked() {
    std::vector<std::string> out;
    for (int i = 0; vfsPath* p = _vfilechsrMarkedPath(c, i); ++i) out.push_back(pathText(p));
    return out;
  }
  vmenuItem* commandItem(const char* tag) {
    auto* bar = reinterpret_cast<vmenubar*>(c->menuBar);
    for (int i = 0; i < vmenubarCount(bar); ++i)
      for (int k = 0; k < vmenuItemListCount(&vmenubarAt(bar, i)->items); ++k)
        if (vmenuItem* item = vmenuItemListAt(&vmenubarAt(bar, i)->items, k); item->tag == N(tag)) return item;
    return nullptr;
  }
  bool enabled(const char* tag) { return vmenuItemIsEnabled(commandItem(tag)); }
  int beepsDuring(const std::function<void()>& run) {
    int before = win::test::BeepCount();
    run();
    return win::test::BeepCount() - before;
  }
  void issue(const char* tag) {
    vdict context;
    vdictInit(&context, vdictHashName);
    vobjectIssueCommand(c, N(tag), &context);
    vdictFinish(&context);
  }
  void ctrlKey(win::UINT key) {
    win::test::KeyDown(win::VK_CONTROL);
    win::test::KeyDown(key);
    win::test::KeyUp(key);
    win::test::KeyUp(win::VK_CONTROL);
    settle();
  }
};

// The pop-up names the whole path down to each element and goes up by
// the elements below the chosen one; a path deeper than any fixed buffer
// still shows whole.
TEST_F(PathEntry, ThePathMenuNamesEachAncestorAndGoesThere) {
  setDirectory(c, tree->at("a/b/c"));
  auto* control = static_cast<vcontrol*>(c->pathMenu);
  ASSERT_NE(control, nullptr);
  vmenu* m = vdialogGetItemMenu(control);
  ASSERT_NE(m, nullptr);
  int n = vmenuItemListCount(&m->items);
  ASSERT_EQ(n, vfsCountPathElements(c->current->path));
  EXPECT_STREQ(vmenuItemListAt(&m->items, 0)->title, "/");
  EXPECT_EQ(std::string(vmenuItemListAt(&m->items, n - 1)->title), tree->at("a/b/c") + "/");
  EXPECT_EQ(std::string(vmenuItemListAt(&m->items, n - 3)->title), tree->at("a") + "/");
  EXPECT_EQ(control->max, n - 1);
  EXPECT_EQ(control->value, n - 1);
  // Choosing the item two above the last goes up two levels.
  vcontrolSetValue(control, n - 3);
  vdialogNotifyItem(control, nullptr);
  EXPECT_EQ(current(), tree->at("a"));
  EXPECT_EQ(vmenuItemListCount(&m->items), n - 2) << "rebuilt for the new directory";
  EXPECT_EQ(control->value, n - 3);

  std::string deep = "deep";
  for (int i = 0; i < 5; ++i) deep += "/" + std::string(230, char('p' + i));
  fs::create_directories(tree->root / deep);
  setDirectory(c, tree->at(deep));
  ASSERT_EQ(current(), tree->at(deep));
  n = vmenuItemListCount(&m->items);
  EXPECT_EQ(std::string(vmenuItemListAt(&m->items, n - 1)->title), tree->at(deep) + "/");
  EXPECT_GT(std::string(vmenuItemListAt(&m->items, n - 1)->title).size(), 1024u);
}

// At most five directories, most recent first, no duplicates; marked
// directories stay out of the history and come back first when unmarked.
TEST_F(PathEntry, HistoryAndMarks) {
  for (int i = 1; i <= 6; ++i) setDirectory(c, tree->at("v" + std::to_string(i)));
  EXPECT_EQ(history(), (std::vector<std::string>{tree->at("v6"), tree->at("v5"), tree->at("v4"), tree->at("v3"),
                                                 tree->at("v2")}))
      << "the sixth drops the oldest";
  setDirectory(c, tree->at("v4"));
  EXPECT_EQ(history(), (std::vector<std::string>{tree->at("v4"), tree->at("v6"), tree->at("v5"), tree->at("v3"),
                                                 tree->at("v2")}))
      << "a revisit moves to the top";
  EXPECT_TRUE(enabled("Mark"));
  EXPECT_FALSE(enabled("Unmark"));

  issue("Mark");
  EXPECT_EQ(marked(), std::vector<std::string>{tree->at("v4")});
  EXPECT_EQ(history(), (std::vector<std::string>{tree->at("v6"), tree->at("v5"), tree->at("v3"), tree->at("v2")}));
  EXPECT_FALSE(enabled("Mark"));
  EXPECT_TRUE(enabled("Unmark"));
  issue("Mark");
  EXPECT_EQ(marked().size(), 1u) << "marked once";

  setDirectory(c, tree->at("v7"));
  EXPECT_TRUE(enabled("Mark"));
  issue("Mark");
  setDirectory(c, tree->at("v4"));
  EXPECT_EQ(history().front(), tree->at("v6")) << "marked directories never enter the history";
  EXPECT_EQ(marked(), (std::vector<std::string>{tree->at("v4"), tree->at("v7")}));
  EXPECT_TRUE(enabled("Unmark"));

  // Unmark from the menu item, as a choice there does.
  vmenuItem* unmark = commandItem("Unmark");
  unmark->notifyFunc(unmark, nullptr);
  EXPECT_EQ(marked(), std::vector<std::string>{tree->at("v7")});
  EXPECT_EQ(history().front(), tree->at("v4"));
  EXPECT_TRUE(enabled("Mark"));

  // A history item goes to its directory; the chosen item leaves the
  // menu for a new first one, destroyed only later.
  vmenu* menu = vmenubarAt(reinterpret_cast<vmenubar*>(c->menuBar), 0);
  vmenuItem* third = vmenuItemListAt(&menu->items, 2);
  std::string target = history()[2];
  third->notifyFunc(third, nullptr);
  EXPECT_EQ(current(), target);
  EXPECT_EQ(history().front(), target);
  settle();
  // Going home from the menu.
  vmenuItem* home = commandItem("Home");
  home->notifyFunc(home, nullptr);
  vfsPath* expected = vfsMSWGetHomeDirectory();
  EXPECT_EQ(current(), pathText(expected));
  vfsFreePath(expected);
}

TEST_F(PathEntry, HistoryAndMarksComeBackFromThePreferences) {
  setDirectory(c, tree->at("v1"));
  issue("Mark");
  setDirectory(c, tree->at("v2"));
  issue("Mark");
  setDirectory(c, tree->at("v3"));
  setDirectory(c, tree->at("v4"));
  std::vector<std::string> wasHistory = history();
  vinstanceDestroy(c);
  c = nullptr;

  vresource app = vapplicationGetResources(vapplicationGetCurrent()), prefs = 0, list = 0;
  ASSERT_TRUE(vresourceTestGet(app, N("vfilechsr"), &prefs));
  ASSERT_TRUE(vresourceTestGet(prefs, N("Marked"), &list));
  EXPECT_EQ(vresourceCount(list), 2);
  vresource current = 0;
  ASSERT_TRUE(vresourceTestGet(prefs, N("Current"), &current));
  vfsPath* stored = vfsLoadPath(current);
  EXPECT_EQ(pathText(stored), tree->at("v4"));
  vfsFreePath(stored);

  std::string start = pathText(vfsMSWGetStartupDirectory());
  EXPECT_EQ(wasHistory, (std::vector<std::string>{tree->at("v4"), tree->at("v3"), start}));
  c = vfilechsrCreate();
  EXPECT_EQ(marked(), (std::vector<std::string>{tree->at("v1"), tree->at("v2")})) << "in the order marked";
  // The start directory comes back on top of what was kept.
  EXPECT_EQ(history(), (std::vector<std::string>{start, tree->at("v4"), tree->at("v3")}));
  vinstanceDestroy(c);
  c = nullptr;

  // Lists written by hand as arrays of strings; an empty list leaves an
  // empty entry.
  vresourceRemove(prefs, N("History"));
  vresourceRemove(prefs, N("Marked"));
  vresource strings = vresourceCreateArray(prefs, N("History"), vresSTRING, 2);
  vresourceSetAtString(strings, 0, vscribeCString(tree->at("v5").c_str()));
  vresourceSetAtString(strings, 1, vscribeCString(tree->at("v6").c_str()));
  vresourceCreate(prefs, N("Marked"), vresDICTIONARY);
  c = vfilechsrCreate();
  EXPECT_TRUE(marked().empty());
  EXPECT_EQ(history(), (std::vector<std::string>{start, tree->at("v6"), tree->at("v5")}))
      << "read from the first, each on top; Current was the start directory";
  vinstanceDestroy(c);
  c = nullptr;
  ASSERT_TRUE(vresourceTestGet(prefs, N("Marked"), &list));
  EXPECT_EQ(vresourceGetType(prefs, N("Marked")), vresDICTIONARY);
  EXPECT_EQ(vresourceCount(list), 0);
}

// Completion against a directory of abcd, abce, README.TXT, sub/ (holding
// only.txt) and xyzdir/; a beep for nothing, several or no listing.
TEST_F(PathEntry, CompletionExtendsTheTypedName) {
  open();
  setDirectory(c, tree->at("comp"));
  struct Row {
    std::string typed, completed;
    int beeps;
  };
  const Row rows[] = {
      {"ab", "abc", 1},
      {"abcd", "abcd", 0},
      {"xy", "xyzdir/", 0},
      {"XY", "xyzdir/", 0},
      {"readme.t", "README.TXT", 0},
      {"q", "q", 1},
      {"sub/", "sub/only.txt", 0},
      {"sub/o", "sub/only.txt", 0},
      {tree->at("comp/xy"), tree->at("comp/xyzdir/"), 0},
      {"nope/x", "nope/x", 1},
      {"", "", 1},
  };
  for (const Row& row : rows) {
    vtextitemSetTextChars(c->pathEntry, row.typed.c_str());
    int beeps = beepsDuring([&] { vfilechsrCompleteName(c); });
    EXPECT_EQ(entryText(), row.completed) << row.typed;
    EXPECT_EQ(beeps, row.beeps) << row.typed;
  }
  // A closed chooser completes without a sound.
  vwindowClose(c);
  vtextitemSetTextChars(c->pathEntry, "ab");
  EXPECT_EQ(beepsDuring([&] { vfilechsrCompleteName(c); }), 0);
  EXPECT_EQ(entryText(), "abc");
}

// Typing unselects what the deepest column chose; the chooser's own
// writes do not. Several files in one column empty the entry and leave OK
// working.
TEST_F(PathEntry, TheObserverFollowsTyping) {
  open();
  setDirectory(c, tree->at("a"));
  auto pick = [&](int column, std::initializer_list<const char*> names) {
    vlistview* v = c->columns[column];
    vfilechsrDirectory* d = recordOf(v);
    vlistUnselectRange(d->list, v->selection, 0, 0, d->count, 1);
    for (const char* name : names) vlistSelectRange(d->list, v->selection, rowOf(d, name), 0, 1, 1);
    vlistviewClassOf(v)->notifyView(v, 3);
  };
  pick(0, {"b"});
  pick(1, {"mid.txt"});
  EXPECT_EQ(entryText(), "b/mid.txt") << "written from the selections";
  EXPECT_EQ(columnsText(c), "a:b | b:mid.txt | -") << "the chooser's own write leaves the selection";
  EXPECT_NE(c->applyHook, nullptr);
  vtextitemSetTextChars(c->pathEntry, "other.txt");
  EXPECT_EQ(columnsText(c), "a:b | b | -") << "typing unselects the deepest column";
  EXPECT_NE(c->applyHook, nullptr);

  setDirectory(c, tree->at("a/b"));
  vtextitemSetTextChars(c->pathEntry, "");
  EXPECT_EQ(c->applyHook, nullptr) << "nothing typed and nothing chosen";
  vtextitemSetTextChars(c->pathEntry, "x");
  EXPECT_NE(c->applyHook, nullptr);

  vfilechsrSetSelectionMode(c, 2);
  pick(0, {"alpha.txt", "Zeta.txt"});
  EXPECT_EQ(entryText(), "");
  EXPECT_NE(c->applyHook, nullptr) << "OK stays enabled for the files chosen";
}

// A click focuses the path entry, where the space completes; Ctrl+H goes
// home and Ctrl+M marks through the chooser's keys.
TEST_F(PathEntry, KeysReachTheCommands) {
  open();
  setDirectory(c, tree->at("comp"));
  // Empty, the entry still has room for a line.
  int minWidth = 0, minHeight = 0;
  vdialogGetItemMinSize(c->pathEntry, &minWidth, &minHeight);
  EXPECT_EQ(entryText(), "");
  EXPECT_GE(c->pathEntry->rect.height, minHeight);
  EXPECT_GT(minHeight, 12);
  // A click puts the focus in the entry, from a column.
  EXPECT_EQ(vdialogItemListGetFocusItem(c->items), c->columns[0]);
  clickAt(c, c->pathEntry, c->pathEntry->rect);
  settle();
  EXPECT_EQ(vdialogItemListGetFocusItem(c->items), c->pathEntry);
  win::test::Type("xy");
  settle();
  int beeps = beepsDuring([&] {
    win::test::Type(" ");
    settle();
  });
  EXPECT_EQ(entryText(), "xyzdir/");
  EXPECT_EQ(beeps, 0);

  // The command modifier is Ctrl where the preferences say so.
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("commandkey"), "control");
  ctrlKey('M');
  EXPECT_EQ(marked(), std::vector<std::string>{tree->at("comp")});
  ctrlKey('H');
  vfsPath* home = vfsMSWGetHomeDirectory();
  EXPECT_EQ(current(), pathText(home));
  vfsFreePath(home);
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("commandkey"), "");
  // The commands answer whether they can run.
  EXPECT_EQ(vobjectQueryTag(c, N("Unmark"), vname_State), vname_Disabled) << "home is not marked";
  EXPECT_EQ(vobjectQueryTag(c, N("Mark"), vname_Dispatch), vname_Enabled);
}

// The read-only box shows with its tick from the options and keeps the
// user's tick there; a copy finds its own box, menus and entry observer.
TEST_F(PathEntry, TheReadOnlyBoxAndCopies) {
  auto* box = static_cast<vcontrol*>(c->readOnly);
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(box->flags & vdialogItemSHOWN);
  vfilechsrSetOptions(c, c->options | vfilechsrREAD_ONLY_BOX | vfilechsrREAD_ONLY_TICKED);
  EXPECT_TRUE(box->flags & vdialogItemSHOWN);
  EXPECT_EQ(box->value, 1);
  open();
  vcontrolToggleActivate(box, nullptr);
  EXPECT_EQ(box->value, 0);
  EXPECT_FALSE(c->options & vfilechsrREAD_ONLY_TICKED);
  vcontrolToggleActivate(box, nullptr);
  EXPECT_TRUE(c->options & vfilechsrREAD_ONLY_TICKED);
  vwindowClose(c);
  vfilechsrSetOptions(c, c->options & ~std::uint32_t(vfilechsrREAD_ONLY_BOX));
  EXPECT_FALSE(box->flags & vdialogItemSHOWN);

  setDirectory(c, tree->at("v1"));
  issue("Mark");
  setDirectory(c, tree->at("a/b"));
  auto* copy = static_cast<vfilechsr*>(vobjectClone(c));
  std::swap(c, copy);
  EXPECT_EQ(marked(), std::vector<std::string>{tree->at("v1")});
  EXPECT_EQ(history().front(), tree->at("a/b"));
  // The copy's own items work on the copy.
  vmenuItem* unmark = commandItem("Mark");
  setDirectory(c, tree->at("v2"));
  unmark->notifyFunc(unmark, nullptr);
  EXPECT_EQ(marked().back(), tree->at("v2"));
  vtextitemSetTextChars(c->pathEntry, "ab");
  EXPECT_NE(c->applyHook, nullptr) << "the copy's entry is observed";
  std::swap(c, copy);
  EXPECT_EQ(marked(), std::vector<std::string>{tree->at("v1")}) << "the original is untouched";
  vinstanceDestroy(copy);
}

// The local menu bar ends with "Volumes": the file system's root, which
// the chooser goes to when it is chosen; a copy's item works on the copy.
TEST_F(PathEntry, TheVolumesMenuGoesToEachVolumesRoot) {
  auto* bar = reinterpret_cast<vmenubar*>(c->menuBar);
  auto volumes = [](vfilechsr* chooser) -> vmenu* {
    auto* b = reinterpret_cast<vmenubar*>(chooser->menuBar);
    for (int i = 0; i < vmenubarCount(b); ++i)
      if (vmenubarAt(b, i)->tag == N("VolumesMenu")) return vmenubarAt(b, i);
    return nullptr;
  };
  vmenu* m = volumes(c);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(vmenubarAt(bar, vmenubarCount(bar) - 1), m);
  EXPECT_STREQ(m->title, "Volumes");
  ASSERT_EQ(vmenuItemListCount(&m->items), 1);
  vmenuItem* root = vmenuItemListAt(&m->items, 0);
  EXPECT_STREQ(root->title, "/");
  setDirectory(c, tree->at("a/b"));
  root->notifyFunc(root, nullptr);
  EXPECT_EQ(current(), "/");

  setDirectory(c, tree->at("a"));
  auto* copy = static_cast<vfilechsr*>(vobjectClone(c));
  vmenu* copied = volumes(copy);
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(vmenuItemListCount(&copied->items), 1) << "not built twice";
  vmenuItem* copiedRoot = vmenuItemListAt(&copied->items, 0);
  copiedRoot->notifyFunc(copiedRoot, nullptr);
  EXPECT_EQ(pathText(copy->current->path), "/");
  EXPECT_EQ(current(), tree->at("a")) << "the original stays";
  vinstanceDestroy(copy);
}

// A modal run as a user drives it: a click into the entry, a partial
// name completed by the space, the rest typed, Return; then a jump up by
// the path pop-up, which keeps the deeper columns, and a file there.
TEST_F(PathEntry, AModalRunByTypingAndCompleting) {
  static std::vector<std::string> applied;
  static std::vector<std::function<void()>> steps;
  static std::size_t next = 0;
  static PathEntry* self = nullptr;
  applied.clear();
  next = 0;
  self = this;
  vfilechsrSetApply(c, [](vfilechsr*, vfsPath* p) {
    applied.push_back(pathText(p));
    return 1;
  });
  setDirectory(c, tree->at());
  auto run = [&] {
    // Each step gives the loop input, after which it is idle again.
    veventIdleHook previous = veventSetIdleHook([] {
      win::test::AdvanceClock(1000);
      if (next < steps.size()) steps[next++]();
    });
    vname answer = vfilechsrProcess(c);
    veventSetIdleHook(previous);
    return answer;
  };
  steps = {[] { clickAt(self->c, self->c->pathEntry, self->c->pathEntry->rect); },
           [] { win::test::Type("co"); },
           [] { win::test::Type(" "); },
           [] {
             EXPECT_EQ(self->entryText(), "comp/");
             win::test::Type("ab ");
           },
           [] {
             EXPECT_EQ(self->entryText(), "comp/abc") << "two names go on with abc";
             win::test::Type("e");
           },
           [] {
             win::test::KeyDown(win::VK_RETURN);
             win::test::KeyUp(win::VK_RETURN);
           }};
  EXPECT_EQ(run(), N("Ok"));
  EXPECT_EQ(applied, std::vector<std::string>{tree->at("comp/abce")});

  applied.clear();
  next = 0;
  setDirectory(c, tree->at("a/b/c"));
  steps = {[] {
             // Up two levels through the pop-up: "a" is the fourth item from the end.
             auto* menu = static_cast<vcontrol*>(self->c->pathMenu);
             vcontrolSetValue(menu, menu->max - 2);
             vdialogNotifyItem(menu, nullptr);
           },
           [] {
             EXPECT_EQ(self->current(), self->tree->at("a"));
             EXPECT_EQ(columnsText(self->c), "a:b | b:c | c") << "the deeper levels stay";
             clickRow(self->c, 2, "deep.txt");
           },
           [] { clickButton(self->c, "Ok"); }};
  EXPECT_EQ(run(), N("Ok"));
  EXPECT_EQ(applied, std::vector<std::string>{tree->at("a/b/c/deep.txt")});
  EXPECT_EQ(history().front(), tree->at("a"));
}

}  // namespace
