// The file chooser on a temporary folder tree: the directory chain and its
// columns, reading directories (options, links, hidden and unreadable
// names, many files), the layout's column count, modal runs driven by
// injected clicks, and the preferences a chooser leaves for the next one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw_internal.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"
#include "fw/widgets/filechsr_support.h"
#include "tests/support/png_compare.h"

namespace {

using namespace fctest;

struct Choosers : ChooserFixture<Tree> {
  // Selects a name in a column as a click would, through the view's selection.
  void choose(int column, const std::string& name) {
    vlistview* v = c->columns[column];
    vfilechsrDirectory* d = recordOf(v);
    ASSERT_NE(d, nullptr) << "column " << column;
    std::int32_t row = rowOf(d, name);
    ASSERT_GE(row, 0) << name;
    vlistUnselectRange(d->list, v->selection, 0, 0, d->count, 1);
    vlistSelectRange(d->list, v->selection, row, 0, 1, 1);
  }
  std::vector<std::string> names(vfilechsrDirectory* d) {
    std::vector<std::string> out;
    for (std::int32_t i = 0; i < d->count; ++i) out.push_back(d->entries[std::size_t(i)].name);
    return out;
  }
};

TEST_F(Choosers, LoadsItsTemplateAndShowsTheStartDirectory) {
  for (int i = 0; i < vfilechsrCOLUMNS; ++i) EXPECT_NE(c->columns[i], nullptr) << i;
  ASSERT_NE(c->pathEntry, nullptr);
  ASSERT_NE(c->shiftUp, nullptr);
  EXPECT_EQ(c->kind, vfilechsrOPEN);
  EXPECT_EQ(c->options, std::uint32_t(vfilechsrCONFIRM_OVERWRITE));
  EXPECT_EQ(c->historyLimit, 5);
  EXPECT_EQ(c->columnMinimum, 150);
  ASSERT_NE(c->current, nullptr);
  EXPECT_EQ(pathText(c->current->path), pathText(vfsMSWGetStartupDirectory()));
  EXPECT_STREQ(c->title, "Open File");
  EXPECT_EQ(c->currentView, vnameInternLiteral("Name"));
}

// A chooser opened without a modal run (an editor's Open File) is still a
// dialog natively, sizable as it is, so a window manager keeps it above
// the program's windows.
TEST_F(Choosers, AModelessChooserIsADialogNatively) {
  vwindowOpen(c);
  ASSERT_NE(c->native, nullptr);
  EXPECT_FALSE(c->flags & vwindowMODAL);
  EXPECT_TRUE(c->native->exStyle & win::WS_EX_DLGMODALFRAME);
  EXPECT_TRUE(c->native->style & win::WS_THICKFRAME);
  vwindowClose(c);
}

// ShiftUp keeps the deeper levels on the right, ShiftDown walks back along
// them; a file chosen in a column drops the columns to its right.
TEST_F(Choosers, TheChainKeepsDeeperLevelsAcrossShifts) {
  open();
  setDirectory(c, tree->at("a/b"));
  ASSERT_EQ(c->visibleColumns, 3);
  choose(0, "c");
  EXPECT_EQ(columnsText(c), "b:c | c | -");
  EXPECT_STREQ(c->titles[0]->title, "c") << "the title over the next column";
  vfilechsrShift(c, 1);
  EXPECT_EQ(columnsText(c), "a:b | b:c | c");
  EXPECT_TRUE(vdialogItemIsEnabled(c->shiftDown));
  vfilechsrShift(c, 1);
  EXPECT_EQ(columnsText(c), tree->root.filename().string() + ":a | a:b | b:c");
  vfilechsrShift(c, 2);
  vfilechsrShift(c, 2);
  EXPECT_EQ(columnsText(c), "b:c | c | -");
  vfilechsrShift(c, 2);
  EXPECT_EQ(columnsText(c), "c | - | -");
  EXPECT_FALSE(vdialogItemIsEnabled(c->shiftDown)) << "nothing deeper is known";
  vfilechsrShift(c, 1);
  // Back up, then a file in the middle column cuts the chain below it.
  vfilechsrShift(c, 1);
  EXPECT_EQ(columnsText(c), "a:b | b:c | c");
  choose(1, "mid.txt");
  EXPECT_EQ(columnsText(c), "a:b | b:mid.txt | -");
  EXPECT_EQ(c->current->next->next, nullptr);
  EXPECT_STREQ(c->titles[1]->title, "");
  // The entry holds the relative path of the selections.
  char* text = vtextitemGetString(c->pathEntry);
  EXPECT_STREQ(text, "b/mid.txt");
  vmemFree(text);
  // A directory chosen in the last column moves the columns along.
  choose(1, "c");
  choose(2, "d");
  EXPECT_EQ(columnsText(c), "a:b | b:c | c:d") << "not while the press goes on";
  settle();
  EXPECT_EQ(columnsText(c), "b:c | c:d | d");
}

TEST_F(Choosers, AChainFollowsPathsAcrossAncestorsAndSiblings) {
  setDirectory(c, tree->at("a/b/c"));
  ASSERT_NE(c->chain, nullptr);
  std::string first = pathText(c->chain->path);
  // An ancestor puts the missing levels in front; the deeper record stays.
  vfsPath* up = path(tree->at("a"));
  vfilechsrDirectory* found = _vfilechsrFindDirectory(c, up);
  EXPECT_EQ(found, c->chain);
  EXPECT_EQ(pathText(found->next->next->path), first) << "a, b, then the old first record";
  // A sibling below a replaces the branch; case does not matter in the walk.
  vfsPath* sibling = path(tree->at("A/B/other"));
  vfilechsrDirectory* other = _vfilechsrFindDirectory(c, sibling);
  EXPECT_EQ(other->next, nullptr);
  EXPECT_EQ(found->next->next, other) << "b kept, c dropped";
  // A path apart from the chain's first record starts a new chain.
  vfsPath* elsewhere = path("/usr");
  vfilechsrDirectory* fresh = _vfilechsrFindDirectory(c, elsewhere);
  EXPECT_EQ(c->chain, fresh);
  EXPECT_EQ(fresh->next, nullptr);
  for (vfsPath* p : {up, sibling, elsewhere}) vfsFreePath(p);
}

TEST_F(Choosers, ReadingHonoursOptionsLinksAndHiddenNames) {
  vfsPath* root = path(tree->at());
  vfsPath* before = vfsMSWGetCurrentDirectory();
  vfilechsrDirectory* d = _vfilechsrFindDirectory(c, root);
  _vfilechsrReadDirectory(d);
  // Dangling links and "." and ".." are left out; the order ignores case.
  EXPECT_EQ(names(d), (std::vector<std::string>{".hidden", "a", "link_dir", "link_file", "many", "secret.txt"}));
  auto entry = [&](const char* name) { return &d->entries[std::size_t(rowOf(d, name))]; };
  EXPECT_EQ(entry("link_file")->info.flags & (vfsINFO_KIND | vfilechsrLINK), vfsINFO_FILE | vfilechsrLINK);
  EXPECT_EQ(entry("link_dir")->info.flags & (vfsINFO_KIND | vfilechsrLINK), vfsINFO_DIRECTORY | vfilechsrLINK);
  EXPECT_EQ(entry("a")->info.flags & vfilechsrLINK, 0u) << "only names that are links";
  if (geteuid() != 0) {
    EXPECT_FALSE(entry("secret.txt")->readable);
  }
  EXPECT_EQ(vlistGetRowCount(d->list), d->count);
  // A read leaves the process's directory as it found it.
  vfsPath* after = vfsMSWGetCurrentDirectory();
  EXPECT_EQ(pathText(after), pathText(before));
  vfsFreePath(after);
  // Unchanged on disk: not read again, even with new options.
  c->options |= vfilechsrNO_HIDDEN;
  _vfilechsrReadDirectory(d);
  EXPECT_EQ(d->count, 6);
  _vfilechsrReleaseEntries(d);
  _vfilechsrReadDirectory(d);
  EXPECT_EQ(names(d), (std::vector<std::string>{"a", "link_dir", "link_file", "many", "secret.txt"}));
  c->options |= vfilechsrDIRECTORIES;
  _vfilechsrReleaseEntries(d);
  _vfilechsrReadDirectory(d);
  EXPECT_EQ(names(d), (std::vector<std::string>{"a", "link_dir", "many"}));
  c->options = vfilechsrCONFIRM_OVERWRITE;
  // A thousand names, room grown ten at a time.
  vfsPath* many = path(tree->at("many"));
  vfilechsrDirectory* m = _vfilechsrFindDirectory(c, many);
  _vfilechsrReadDirectory(m);
  EXPECT_EQ(m->count, 1000);
  EXPECT_EQ(m->entries.capacity() % 10, 0u);
  EXPECT_EQ(m->entries.front().name, std::string("f1000"));
  // A directory that changed on disk is read again.
  tree->touch("many/new");
  tree->age("many", 5);
  _vfilechsrReadDirectory(m);
  EXPECT_EQ(m->count, 1001);
  std::remove(tree->at("many/new").c_str());
  for (vfsPath* p : {root, before, many}) vfsFreePath(p);
}

// A subclass whose filter raises midway: the raise passes, and the
// process's directory is the one it was.
TEST_F(Choosers, AFailingFilterLeavesTheProcessDirectory) {
  auto* sub = vclassSpawnOf<vfilechsrClassRec>(vfilechsrGetDefaultClass());
  sub->acceptEntry = [](vfilechsr*, vfilechsrEntry* e) {
    if (std::strcmp(e->name, "many") == 0) vexGenerateMessage(&vexArgClass, "refused");
    return e->namePath != nullptr ? 1 : 0;
  };
  vclassSetName(sub, vscribeLiteral("testFilechsrRaising"));
  auto* raising = static_cast<vfilechsr*>(vinstanceCreate(sub));
  vfsPath* before = vfsMSWGetCurrentDirectory();
  vfsPath* root = path(tree->at());
  vfilechsrDirectory* d = _vfilechsrFindDirectory(raising, root);
  std::string raised;
  vexGuard([&] { _vfilechsrReadDirectory(d); },
           [&](vexHandler& h) {
             raised = vexGetCurrentException()->message;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(raised, "refused");
  vfsPath* after = vfsMSWGetCurrentDirectory();
  EXPECT_EQ(pathText(after), pathText(before));
  EXPECT_EQ(raising->flags & vwindowBUSY, 0) << "the wait state ends too";
  for (vfsPath* p : {before, after, root}) vfsFreePath(p);
  vinstanceDestroy(raising);
}

TEST_F(Choosers, VanishedAndUnlistableDirectories) {
  open();
  fs::create_directories(tree->root / "gone/inner");
  setDirectory(c, tree->at());
  choose(0, "gone");
  EXPECT_EQ(columnsText(c), tree->root.filename().string() + ":gone | gone | -");
  // The selected directory disappears: the next fill cuts the chain.
  fs::remove_all(tree->root / "gone");
  tree->age("", 7);
  _vfilechsrFillColumns(c);
  EXPECT_EQ(columnsText(c), tree->root.filename().string() + " | - | -");
  EXPECT_EQ(c->current->next, nullptr);
  // A directory whose listing fails shows an empty column and no message.
  fs::create_directories(tree->root / "going");
  vfsPath* going = path(tree->at("going"));
  vfilechsrDirectory* d = _vfilechsrFindDirectory(c, going);
  fs::remove(tree->root / "going");
  _vfilechsrReadDirectory(d);
  EXPECT_EQ(d->count, 0);
  vfsFreePath(going);
  // Entering a directory that cannot be read: the chooser stays.
  std::string was = pathText(c->current->path);
  setDirectory(c, tree->at("no/such"));
  setDirectory(c, tree->at("secret.txt"));
  EXPECT_EQ(pathText(c->current->path), was);
}

TEST_F(Choosers, TheLayoutFitsColumnsToTheWidth) {
  int shift = 0, h = 0;
  vdialogGetItemNaturalSize(c->shiftUp, &shift, &h);
  shift = std::max(shift, 22);
  struct Case {
    int available, visible;
  } cases[] = {{200, 1}, {3 * 155, 3}, {3 * 155 + 154, 3}, {5 * 155, 5}, {9 * 155, 5}, {100, 1}, {0, 1}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.available);
    _vfilechsrLayoutColumns(c, k.available + shift + 15);
    EXPECT_EQ(c->visibleColumns, k.visible);
    EXPECT_EQ(c->columnWidth, std::max(1, k.available / k.visible - 5));
    auto shown = [](vdialogItem* item) { return (item->flags & vdialogItemSHOWN) != 0; };
    for (int i = 0; i < vfilechsrCOLUMNS; ++i) EXPECT_EQ(shown(c->columns[i]), i < k.visible) << i;
    for (int i = 1; i < vfilechsrCOLUMNS; ++i) EXPECT_EQ(shown(c->titles[i - 1]), i < k.visible) << i;
  }
  // The views answer the dialog's size questions by the layout.
  int w = 0;
  vdialogGetItemNaturalSize(c->columns[0], &w, &h);
  EXPECT_EQ(w, c->columnWidth);
  vdialogGetItemNaturalSize(c->columns[3], &w, &h);
  EXPECT_EQ(w, 0);
  vdialogGetItemMinSize(c->columns[1], &w, &h);
  EXPECT_EQ(w, 0);
}


// Modal runs on the tree, driven by clicks the loop meets when it waits.
struct Runs : Choosers {
  static inline std::vector<std::string> applied;
  static inline int verdict = 1;
  static inline vfilechsr* running = nullptr;
  static inline std::vector<std::function<void()>> steps;
  static inline std::size_t next = 0;
  void SetUp() override {
    Choosers::SetUp();
    applied.clear();
    verdict = 1;
    running = c;
    steps.clear();
    next = 0;
    vfilechsrSetApply(c, [](vfilechsr*, vfsPath* p) {
      applied.push_back(pathText(p));
      return verdict;
    });
    setDirectory(c, tree->at());
  }
  vname run() {
    veventIdleHook previous = veventSetIdleHook([] {
      if (std::getenv("FILECHSR_TRACE")) std::fprintf(stderr, "step %zu: %s\n", next, columnsText(running).c_str());
      // Apart in time: two clicks on one spot are not a double click.
      win::test::AdvanceClock(1000);
      if (next < steps.size()) steps[next++]();
    });
    vname answer = vfilechsrProcess(c);
    veventSetIdleHook(previous);
    return answer;
  }
};

TEST_F(Runs, ClicksOpenAFileThreeLevelsDown) {
  steps = {[] { clickRow(running, 0, "a"); }, [] { clickRow(running, 1, "b"); }, [] { clickRow(running, 2, "c"); },
           [] { clickRow(running, 2, "deep.txt"); }, [] { clickButton(running, "Ok"); }};
  EXPECT_EQ(run(), vnameInternLiteral("Ok"));
  EXPECT_EQ(applied, std::vector<std::string>{tree->at("a/b/c/deep.txt")});
  EXPECT_EQ(next, steps.size());
  EXPECT_FALSE(vwindowIsOpen(c));
  EXPECT_EQ(c->result, vnameInternLiteral("Ok"));
  EXPECT_EQ(c->resultFlags, 0u) << "only while the apply function runs";
  EXPECT_FALSE(c->state & vfilechsrPROCESSING);
}

TEST_F(Runs, RefusalsDirectoriesDoubleClicksAndCancel) {
  // A refused file keeps the chooser open; OK on a directory enters it; a
  // double click on a file presses OK.
  verdict = 0;
  steps = {[] { clickRow(running, 0, "a"); },
           [] { clickRow(running, 1, "b"); },
           [] { clickRow(running, 2, "mid.txt"); },
           [] { clickButton(running, "Ok"); },
           [] {
             verdict = 1;
             vtextitemSetTextChars(running->pathEntry, "a/b");
           },
           [] { clickButton(running, "Ok"); },
           [] {
             EXPECT_EQ(columnsText(running), "b | - | -") << "OK on a directory enters it; the typing had unselected mid.txt";
             clickRow(running, 0, "alpha.txt", 2);
           }};
  EXPECT_EQ(run(), vnameInternLiteral("Ok"));
  EXPECT_EQ(applied, (std::vector<std::string>{tree->at("a/b/mid.txt"), tree->at("a/b/alpha.txt")}));
  // Cancel answers "Cancel" and offers nothing.
  applied.clear();
  next = 0;
  steps = {[] { clickRow(running, 0, "link_file"); }, [] { clickButton(running, "Cancel"); }};
  EXPECT_EQ(run(), vnameInternLiteral("Cancel"));
  EXPECT_TRUE(applied.empty());
}

TEST_F(Runs, ATypedPathIsResolvedAgainstTheDirectory) {
  steps = {[] { vtextitemSetTextChars(running->pathEntry, "a/b/Zeta.txt"); }, [] { clickButton(running, "Ok"); }};
  EXPECT_EQ(run(), vnameInternLiteral("Ok"));
  EXPECT_EQ(applied, std::vector<std::string>{tree->at("a/b/Zeta.txt")});
  // A new name in the open kind without must-exist is offered as typed,
  // the whole text however long.
  applied.clear();
  next = 0;
  steps = {[] { vtextitemSetTextChars(running->pathEntry, "a/new.txt"); }, [] { clickButton(running, "Ok"); }};
  EXPECT_EQ(run(), vnameInternLiteral("Ok"));
  EXPECT_EQ(applied, std::vector<std::string>{tree->at("a/new.txt")});
}

// Failed requests show a notice over the chooser; Return dismisses it.
// Saving over a file asks first, and No keeps the chooser open.
TEST_F(Runs, NoticesReportFailuresAndAskBeforeOverwriting) {
  auto pressReturn = [] {
    win::test::KeyDown(win::VK_RETURN);
    win::test::KeyUp(win::VK_RETURN);
  };
  static std::vector<std::string> titles;
  titles.clear();
  static void (*press)() = nullptr;
  press = pressReturn;
  auto noteTitle = [] {
    win::HWND active = win::GetActiveWindow();
    char text[128] = {};
    win::GetWindowTextA(active, text, sizeof text);
    titles.push_back(text);
  };
  static void (*note)() = nullptr;
  note = noteTitle;
  vfilechsrSetOptions(c, vfilechsrMUST_EXIST);
  // A blocked chooser takes no click: its clicks wait for the notice's end.
  static auto onChooser = [](void (*click)()) {
    if (vwindowMSWGetCurrentModal() != running) {
      --next;
      return;
    }
    click();
  };
  steps = {[] { vtextitemSetTextChars(running->pathEntry, "no/such/file"); }, [] { clickButton(running, "Ok"); },
           [] {
             note();
             press();
           },
           [] { onChooser([] { clickButton(running, "Cancel"); }); }};
  EXPECT_EQ(run(), vnameInternLiteral("Cancel"));
  EXPECT_EQ(titles, std::vector<std::string>{"Open File: Error"});
  EXPECT_TRUE(applied.empty());
  // The save kind: Yes replaces, No keeps the chooser.
  vfilechsrSetKind(c, vfilechsrSAVE);
  vfilechsrSetOptions(c, vfilechsrCONFIRM_OVERWRITE);
  titles.clear();
  next = 0;
  steps = {[] { vtextitemSetTextChars(running->pathEntry, "a/b/mid.txt"); }, [] { clickButton(running, "Ok"); },
           [] {
             note();
             win::test::KeyDown('N');
             win::test::KeyUp('N');
           },
           [] { onChooser([] { clickButton(running, "Ok"); }); }, [] { press(); }};
  EXPECT_EQ(run(), vnameInternLiteral("Ok"));
  EXPECT_EQ(titles, std::vector<std::string>{"Save File: Question"});
  EXPECT_EQ(applied, std::vector<std::string>{tree->at("a/b/mid.txt")}) << "offered after Yes only";
}

TEST_F(Runs, MisusedRunsRaise) {
  struct Case {
    const char* message;
    void (*before)(vfilechsr*);
  } cases[] = {{"process: file chooser is already open!", [](vfilechsr* x) { vwindowOpen(x); }},
               {"process: file chooser is already processing!", [](vfilechsr* x) { x->state |= vfilechsrPROCESSING; }}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.message);
    k.before(c);
    std::string raised;
    vexGuard([&] { vfilechsrProcess(c); },
             [&](vexHandler& h) {
               raised = vexGetCurrentException()->message;
               vexSetCurrentException(h.savedChain);
             });
    EXPECT_EQ(raised, k.message);
    c->state &= ~vfilechsrPROCESSING;
    if (vwindowIsOpen(c)) vwindowClose(c);
  }
  std::string raised;
  vexGuard([&] { vfilechsrSetApply(nullptr, nullptr); },
           [&](vexHandler& h) {
             raised = vexGetCurrentException()->message;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(raised, "setApply: NULL chooser");
}

// The place, size and view a chooser leaves come back in the next one.
TEST_F(Choosers, PreferencesComeBack) {
  vwindowResize(c, 720, 420);
  vwindowMove(c, 123, 77);
  vfilechsrSetViewBy(c, vnameInternLiteral("Modified"));
  vinstanceDestroy(c);
  c = vfilechsrCreate();
  EXPECT_EQ(c->rect.x, 123);
  EXPECT_EQ(c->rect.y, 77);
  EXPECT_EQ(c->rect.width, 720);
  EXPECT_EQ(c->rect.height, 420);
  EXPECT_EQ(c->currentView, vnameInternLiteral("Modified"));
  EXPECT_EQ(c->visibleColumns, 4) << "the layout follows the size";
  vresource app = vapplicationGetResources(vapplicationGetCurrent());
  vresource d = 0;
  ASSERT_TRUE(vresourceTestGet(app, vnameInternLiteral("vfilechsr"), &d));
  std::int32_t top = 0, left = 0;
  EXPECT_TRUE(vresourceTestGetInteger(d, vnameInternLiteral("Top"), &top));
  EXPECT_TRUE(vresourceTestGetInteger(d, vnameInternLiteral("Left"), &left));
  EXPECT_EQ(top, 123) << "Top holds x";
  EXPECT_EQ(left, 77) << "Left holds y";
}

TEST_F(Choosers, ViewsOrderTheListsAndCanBeAddedAndRemoved) {
  tree->age("a/b/mid.txt", 100);
  setDirectory(c, tree->at("a/b"));
  vfilechsrSetViewBy(c, vnameInternLiteral("Modified"));
  EXPECT_EQ(names(c->current).front(), "mid.txt") << "newest first";
  vfilechsrSetViewBy(c, vnameInternLiteral("Nonsense"));
  EXPECT_EQ(c->currentView, vnameInternLiteral("Modified")) << "an unknown tag changes nothing";
  vfilechsrAddViewBy(c, "Length", [](const vfilechsrEntry* a, const vfilechsrEntry* b) {
    return int(std::strlen(b->name)) - int(std::strlen(a->name));
  });
  vfilechsrSetViewBy(c, vnameInternLiteral("Length"));
  EXPECT_EQ(names(c->current).front(), "alpha.txt");
  vfilechsrRemoveViewBy(c, "LENGTH");
  std::string raised;
  vexGuard([&] { vfilechsrRemoveViewBy(c, "Length"); },
           [&](vexHandler& h) {
             raised = vexGetCurrentException()->message;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(raised, "RemoveViewBy: not valid view tag");
  vfilechsrSetViewBy(c, vnameInternLiteral("Name"));
  EXPECT_EQ(names(c->current), (std::vector<std::string>{"alpha.txt", "c", "mid.txt", "Zeta.txt"}));
}

TEST_F(Choosers, HomeGoesToTheHomeDirectory) {
  setDirectory(c, tree->at("a/b"));
  auto* bar = reinterpret_cast<vmenubar*>(c->menuBar);
  vmenuItem* home = nullptr;
  for (int i = 0; i < vmenubarCount(bar); ++i)
    for (int k = 0; k < vmenuItemListCount(&vmenubarAt(bar, i)->items); ++k)
      if (vmenuItem* item = vmenuItemListAt(&vmenubarAt(bar, i)->items, k); item->tag == vnameInternLiteral("Home"))
        home = item;
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(home->accelerator, 0x680008u) << "the command modifier with h";
  vmenuItemSelect(home, nullptr);
  vfsPath* expected = vfsMSWGetHomeDirectory();
  EXPECT_EQ(pathText(c->current->path), pathText(expected));
  vfsFreePath(expected);
}

// What the system's dialog would be given, and when it would be used.
TEST_F(Choosers, TheNativeDialogsSettingsAndItsTest) {
  EXPECT_EQ(_vfilechsrWantsNative(c), 0) << "the shipped preference keeps the framework's dialog";
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativechoosers"), "");
  vfilechsr* plain = vfilechsrCreate();
  auto* sub = vclassSpawnOf<vfilechsrClassRec>(vfilechsrGetDefaultClass());
  vclassSetName(sub, vscribeLiteral("testFilechsrSub"));
  auto* derived = static_cast<vfilechsr*>(vinstanceCreate(sub));
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativechoosers"), "On");
  EXPECT_EQ(_vfilechsrWantsNative(plain), 1) << "a plain chooser in the Windows look";
  EXPECT_EQ(_vfilechsrWantsNative(derived), 0) << "never a subclass";
  derived->state |= vfilechsrNATIVE_FORCED;
  EXPECT_EQ(_vfilechsrWantsNative(derived), 1) << "unless forced";
  vfilechsrSetOptions(plain, vfilechsrDIRECTORIES);
  EXPECT_EQ(_vfilechsrWantsNative(plain), 0) << "nor to choose a directory";
  vinstanceDestroy(derived);
  vinstanceDestroy(plain);
  // Title, owner, position and directory as they are set.
  vwindowSetTitleScribe(c, vscribeLiteral("Pick one"));
  ASSERT_NE(c->nativeSettings, nullptr);
  EXPECT_STREQ(c->nativeSettings->title, "Pick one");
  EXPECT_TRUE(c->nativeSettings->flags & vfilechsrNATIVE_TITLE);
  vfilechsrPlace(c, nullptr, 6, 6);
  EXPECT_EQ(c->nativeSettings->x, -1) << "centred: no position, the system centres it";
  EXPECT_FALSE(c->nativeSettings->flags & vfilechsrNATIVE_POSITION);
  vfilechsrPlace(c, nullptr, 0, 0);
  EXPECT_EQ(c->nativeSettings->x, c->rect.x);
  EXPECT_EQ(c->nativeSettings->y, c->rect.y);
  vdialog* owner = vdialogCreate();
  vwindowClassOf(c)->setParent(c, owner);
  EXPECT_EQ(c->nativeSettings->owner, owner);
  vwindowClassOf(c)->setParent(c, nullptr);
  EXPECT_EQ(c->nativeSettings->owner, nullptr);
  vinstanceDestroy(owner);
  setDirectory(c, tree->at("a"));
  EXPECT_EQ(pathText(c->nativeSettings->directory), tree->at("a"));
  // A copy takes the settings, the options and the directory.
  vfilechsrSetOptions(c, vfilechsrNO_HIDDEN | vfilechsrMUST_EXIST);
  auto* copy = static_cast<vfilechsr*>(vobjectClone(c));
  EXPECT_EQ(copy->options, c->options);
  EXPECT_STREQ(copy->nativeSettings->title, "Pick one");
  ASSERT_NE(copy->current, nullptr);
  EXPECT_EQ(pathText(copy->current->path), tree->at("a"));
  EXPECT_NE(copy->current, c->current) << "a chain of its own";
  vinstanceDestroy(copy);
}

// A Win95 chooser showing three columns, in a process of its own. The
// path pop-up shows the directory's whole path, so the tree lies at a
// fixed place, held under a lock against other runs of the suite.
TEST_F(Choosers, AWin95ChooserShowsThreeColumns) {
  const fs::path fixed = "/tmp/filechsr_shot";
  int lock = ::open("/tmp/filechsr_shot.lock", O_CREAT | O_RDWR, 0600);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  struct Unlock {
    int fd;
    fs::path dir;
    ~Unlock() {
      std::error_code ignored;
      fs::remove_all(dir, ignored);
      flock(fd, LOCK_UN);
      ::close(fd);
    }
  } unlock{lock, fixed};
  fs::remove_all(fixed);
  fs::create_directories(fixed / "a/b/c/d");
  for (const char* name : {"a/b/alpha.txt", "a/b/mid.txt", "a/b/Zeta.txt", "a/b/c/deep.txt"})
    std::ofstream(fixed / name) << name;
  fs::path shot = fs::temp_directory_path() / ("filechsr_win95_" + std::to_string(getpid()) + ".png");
  std::string command = std::string(FILECHSR_PROBE) + " -laf win95 " + (fixed / "a").string() + " " + shot.string();
  FILE* p = popen(command.c_str(), "r");
  char line[128] = {};
  int columns = 0;
  while (p && std::fgets(line, sizeof line, p)) std::sscanf(line, "columns %d", &columns);
  ASSERT_EQ(p ? pclose(p) : -1, 0);
  EXPECT_EQ(columns, 3);
  win::test::Image image;
  ASSERT_TRUE(win::test::ReadPng(shot.string(), image));
  fs::remove(shot);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(WIDGETS_DATA) + "/filechsr/win95.png", 8, 40));
}

}  // namespace

namespace {

// A "vfilechsr" entry of another kind in the user's store (another
// program's, a hand-edited file's) counts as missing: the chooser opens,
// and its preferences are saved in a dictionary in its place.
TEST_F(Choosers, PreferencesOfAnotherKindCountAsMissing) {
  vresource app = vapplicationGetResources(vapplicationGetCurrent());
  const vname key = vnameInternLiteral("vfilechsr");
  for (int kind : {vresINTEGER, vresSTRING, vresARRAY}) {
    SCOPED_TRACE(kind);
    vinstanceDestroy(c);
    c = nullptr;
    vresource d = 0;
    if (vresourceTestGet(app, key, &d)) vresourceRemove(app, key);
    if (kind == vresINTEGER) vresourceSetInteger(app, key, 3);
    if (kind == vresSTRING) vresourceSetString(app, key, vscribeLiteral("x"));
    if (kind == vresARRAY) vresourceCreateArray(app, key, vresINTEGER, 3);
    ASSERT_TRUE(vexTry([&] { c = vfilechsrCreate(); }));
    vwindowResize(c, 700, 400);
    EXPECT_TRUE(vexTry([&] { vinstanceDestroy(c); }));
    c = vfilechsrCreate();
    EXPECT_EQ(c->rect.width, 700);
  }
}

}  // namespace
