// The file chooser's file types and choices: the platform pattern
// rewrite, matching whole names, the Filters menu, the extension given to
// typed names, several files with a refusal among them, and the system's
// file dialog through the platform's scripted stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/timer.h"
#include "fw/data/pref.h"
#include "fw/data/vrstore.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/filechsr_support.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menuitem.h"

namespace {

using namespace fctest;

std::vector<std::string> applied;
int refuseNth = 0;  // 1-based call to refuse, 0 none
int applyCalls = 0;
std::uint32_t flagsSeen = 0;
int apply(vfilechsr* c, vfsPath* p) {
  applied.push_back(pathText(p));
  flagsSeen |= c->resultFlags;
  return ++applyCalls == refuseNth ? 0 : 1;
}

// The shared tree with a folder of names for the types.
struct TypesTree : Tree {
  TypesTree() {
    fs::create_directories(root / "x");
    for (const char* name : {"x/one.c", "x/two.cc", "x/three.C", "x/four.h", "x/a.c.h", "x/notes.TXT", "x/plain"})
      touch(name);
  }
};

struct FileTypes : ChooserFixture<TypesTree> {
  void SetUp() override {
    ChooserFixture::SetUp();
    win::test::ClearFileAnswers();
    applied.clear();
    refuseNth = applyCalls = 0;
    flagsSeen = 0;
    vfilechsrSetApply(c, apply);
  }
  void TearDown() override {
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativechoosers"), "On");
    if (vlafGetCurrent()->id != vlafWINDOWS) {
      vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), "windows");
      _vlafRebuildCurrent();
    }
    win::test::ClearFileAnswers();
    ChooserFixture::TearDown();
  }
  std::vector<std::string> listed(const std::string& dir) {
    setDirectory(c, tree->at(dir));
    _vfilechsrReleaseEntries(c->current);
    _vfilechsrReadDirectory(c->current);
    std::vector<std::string> out;
    for (std::int32_t i = 0; i < c->current->count; ++i) out.push_back(c->current->entries[std::size_t(i)].name);
    std::sort(out.begin(), out.end());
    return out;
  }
  vmenu* filters() { return c->filtersMenu; }
  std::vector<std::string> menuTitles() {
    std::vector<std::string> out;
    for (int i = 0; filters() && i < vmenuItemListCount(&filters()->items); ++i)
      out.push_back(vmenuItemListAt(&filters()->items, i)->title);
    return out;
  }
  // The typed text accepted as OK would accept it.
  int accept(const std::string& text) {
    vtextitemSetTextChars(c->pathEntry, text.c_str());
    return _vfilechsrHandleSelection(c, nullptr);
  }
};

TEST(FileTypePatterns, RewriteTable) {
  struct Case {
    const char* pattern;
    int delimiter;
    const char* expression;
  } cases[] = {
      {"*.c;*.h", ';', ".*\\.c|.*\\.h"},
      {"*.c.h", '.', ".*\\.c\\.h"},          // a dot cannot be the delimiter
      {"a?b*", '*', "a.b.*"},                // nor a star
      {"x|y", '|', "x\\|y"},                 // nor a bar, which stands for itself
      {"lib+(1)[2]^$@{3}", ';', "lib\\+\\(1\\)\\[2\\]\\^\\$\\@\\{3\\}"},
      {"\\*.txt", ';', "\\*\\.txt"},         // an escaped character is kept
      {"a,b", ',', "a|b"},
  };
  for (const Case& k : cases) EXPECT_EQ(_vfilechsrRewritePattern(k.pattern, k.delimiter), k.expression) << k.pattern;
}

// The shipped platform group: whole names, alternatives, case.
TEST_F(FileTypes, MatchingCoversWholeNamesUnderEachType) {
  vfilechsrAddFileTypes(c, 0, nullptr, nullptr);
  ASSERT_NE(c->fileTypes, nullptr);
  ASSERT_EQ(c->fileTypes->count, 12) << "four of its own and the image editor's eight";
  EXPECT_EQ(c->fileType->name, N("Default")) << "preselected when the caller names none";
  EXPECT_TRUE(c->fileType->flags & vfilechsrTYPE_PLATFORM);
  EXPECT_STREQ(c->fileType->patternText, "*") << "the pattern as written stays";
  struct Case {
    const char* type;
    std::vector<std::string> names;
  } cases[] = {
      {"Default", {"a.c.h", "four.h", "notes.TXT", "one.c", "plain", "three.C", "two.cc"}},
      {"Source", {"a.c.h", "four.h", "one.c"}},  // not two.cc, nor three.C: case counts here
      {"Text", {"notes.TXT"}},                   // case-insensitive
      {"Macro", {}},
  };
  for (const Case& k : cases) {
    for (int i = 0; i < c->fileTypes->count; ++i)
      if (c->fileTypes->types[i].name == N(k.type)) _vfilechsrSelectFileType(c, &c->fileTypes->types[i]);
    ASSERT_EQ(c->fileType->name, N(k.type));
    EXPECT_EQ(listed("x"), k.names) << k.type;
    EXPECT_TRUE(c->fileType->flags & vfilechsrTYPE_REGEXP) << "compiled on first use";
  }
  // Directories pass every type.
  EXPECT_EQ(listed("a"), std::vector<std::string>{"b"});
}

// A dictionary of the caller's: a type without "Value" is dropped; the
// menu reads in title order while the table keeps its own; the front-end
// adds "Default" alone, then its own type preselected.
TEST_F(FileTypes, TheFiltersMenuListsTypesByTitle) {
  vrstoreInstallInterface();
  vresource root = vresourceCreateMemoryIn(0);
  vresource group = vresourceCreate(vresourceCreate(root, N("File Types"), vresDICTIONARY), N("Wexlin"), vresDICTIONARY);
  struct Row {
    const char* name;
    const char* title;
    const char* value;
  } rows[] = {{"Default", "zeta", ".*"}, {"Log", "Alpha", ".*\\.log"}, {"Bad", "no value", nullptr},
              {"Macro", "\xe9tude", ".*\\.cmd"}, {"COFF", "beta", ".*\\.cld"}};
  for (const Row& r : rows) {
    vresource t = vresourceCreate(group, N(r.name), vresDICTIONARY);
    vresourceSetString(t, N("Title"), vscribeCString(r.title));
    if (r.value) vresourceSetString(t, N("Value"), vscribeCString(r.value));
  }
  vresource types = vresourceGet(root, N("File Types"));
  vfilechsrAddFileTypes(c, types, N("Default"), nullptr);
  ASSERT_EQ(c->fileTypes->count, 1);
  EXPECT_EQ(c->fileType->name, N("Default"));
  vfilechsrAddFileTypes(c, types, N("Log"), N("Log"));
  EXPECT_EQ(c->fileType->name, N("Log"));
  EXPECT_EQ(c->fileTypeIndex, 1);
  vfilechsrAddFileTypes(c, types, nullptr, nullptr);
  EXPECT_EQ(c->fileTypes->count, 2 + 4) << "\"Bad\" has no value";
  EXPECT_EQ(c->fileType->name, N("Log")) << "kept across the table's growth";
  EXPECT_EQ(menuTitles(), (std::vector<std::string>{"Alpha", "Alpha", "beta", "zeta", "zeta", "\xe9tude"}))
      << "unsigned bytes: the accented title last";
  // Choosing the third item makes "COFF" current, with its toggle alone on.
  vmenuItem* third = vmenuItemListAt(&filters()->items, 2);
  vmenuItemSelect(third, nullptr);
  EXPECT_EQ(c->fileType->name, N("COFF"));
  int on = 0;
  for (int i = 0; i < vmenuItemListCount(&filters()->items); ++i) on += vmenuItemIsToggleOn(vmenuItemListAt(&filters()->items, i));
  EXPECT_EQ(on, 1);
  // A copy has a table and a menu of its own, the same type current.
  auto* copy = static_cast<vfilechsr*>(vobjectClone(c));
  ASSERT_NE(copy->fileTypes, c->fileTypes);
  EXPECT_EQ(copy->fileTypes->count, 6);
  EXPECT_EQ(copy->fileType->name, N("COFF"));
  EXPECT_NE(copy->filtersMenu, c->filtersMenu);
  EXPECT_EQ(vmenuItemListCount(&copy->filtersMenu->items), 6);
  vinstanceDestroy(copy);
  vresourceCloseFile(root);
}

TEST_F(FileTypes, TypedNamesGetTheTypesExtension) {
  vfilechsrAddFileTypes(c, 0, N("Text"), nullptr);
  vfilechsrAddFileTypes(c, 0, N("Source"), nullptr);
  struct Case {
    const char* type;
    const char* element;
    const char* expected;  // null: unchanged
  } cases[] = {{"Text", "notes", "notes.txt"},  {"Text", "N.TXT", nullptr},   {"Text", "a.txt.bak", "a.txt.bak.txt"},
               {"Source", "a.c.c", nullptr},    {"Source", "a.C", "a.C.c"},    {"Source", "x.cc", "x.cc.c"}};
  for (const Case& k : cases) {
    for (int i = 0; i < c->fileTypes->count; ++i)
      if (c->fileTypes->types[i].name == N(k.type)) _vfilechsrSelectFileType(c, &c->fileTypes->types[i]);
    vfsPath* p = path(std::string("/tmp/") + k.element);
    EXPECT_EQ(_vfilechsrAppendExtension(c, p), k.expected ? 1 : 0) << k.element;
    EXPECT_EQ(pathText(p), std::string("/tmp/") + (k.expected ? k.expected : k.element));
    vfsFreePath(p);
  }
  // Without a type the chooser's default extension; none: nothing.
  _vfilechsrSelectFileType(c, nullptr);
  vfsPath* p = path("/tmp/report");
  EXPECT_EQ(_vfilechsrAppendExtension(c, p), 0);
  c->defaultExtension = vstrClone(".lst");
  EXPECT_EQ(_vfilechsrAppendExtension(c, p), 1);
  EXPECT_EQ(pathText(p), "/tmp/report.lst");
  vfsFreePath(p);
  // A typed name in a save chooser is chosen with the extension, an
  // existing one asks first.
  for (int i = 0; i < c->fileTypes->count; ++i)
    if (c->fileTypes->types[i].name == N("Text")) _vfilechsrSelectFileType(c, &c->fileTypes->types[i]);
  vfilechsrSetKind(c, vfilechsrSAVE);
  vfilechsrSetOptions(c, 0);
  setDirectory(c, tree->at("x"));
  EXPECT_EQ(accept("fresh"), 1);
  EXPECT_EQ(accept("notes.TXT"), 1);
  EXPECT_EQ(applied, (std::vector<std::string>{tree->at("x/fresh.txt"), tree->at("x/notes.TXT")}));
  EXPECT_EQ(flagsSeen, vfilechsrRESULT_EXISTS) << "the second existed";
  EXPECT_EQ(c->resultFlags, 0u);
}

// Three files chosen at once, the apply function refusing the second:
// the third is offered unless option 0x40 stops the run there; a choice
// that throws something other than a file-system exception fails the run.
TEST_F(FileTypes, SeveralFilesAndARefusalAmongThem) {
  vfilechsrSetSelectionMode(c, 2);
  setDirectory(c, tree->at("x"));
  vlistview* v = c->columns[0];
  vfilechsrDirectory* d = recordOf(v);
  // The entry emptied first: typing unselects the column's cells.
  auto selectThree = [&] {
    vtextitemSetTextChars(c->pathEntry, "");
    vlistUnselectRange(d->list, v->selection, 0, 0, d->count, 1);
    for (const char* name : {"four.h", "one.c", "plain"}) vlistSelectRange(d->list, v->selection, rowOf(d, name), 0, 1, 1);
  };
  for (std::uint32_t options : {0u, std::uint32_t(vfilechsrKEEP_GOING)}) {
    vfilechsrSetOptions(c, options);
    selectThree();
    applied.clear();
    applyCalls = 0;
    refuseNth = 2;
    EXPECT_EQ(_vfilechsrHandleSelection(c, nullptr), 0);
    EXPECT_EQ(applied.size(), options ? 2u : 3u) << "options " << options;
  }
  vfilechsrSetOptions(c, 0);
  selectThree();
  vfilechsrSetApply(c, [](vfilechsr*, vfsPath*) -> int { _vexGenerate(&vexArgClass, vexSetMessage, "boom", vexEnd); });
  std::string message;
  vexGuard([&] { _vfilechsrHandleSelection(c, nullptr); },
           [&](vexHandler& h) {
             vexException* e = vexGetCurrentException();
             message = e && e->message ? e->message : "";
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(message, "handle file chooser selection(s) failed");
  EXPECT_EQ(c->resultFlags, 0u);
}

// ---- The system's dialog through the platform's stand-in.
struct NativeDialog : FileTypes {
  void SetUp() override {
    FileTypes::SetUp();
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativechoosers"), "");
    c->state |= vfilechsrNATIVE_ALLOWED;
    setDirectory(c, tree->at("x"));
  }
  void useWin95() {
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), "win95");
    _vlafRebuildCurrent();
  }
  void queue(std::vector<std::string> names, bool overwrite = true) {
    win::test::FileAnswer a;
    for (const std::string& n : names) a.paths.push_back(tree->at(n));
    a.overwrite = overwrite;
    win::test::QueueFileAnswer(a);
  }
};

// The dialog's parameters, per option, without and with file types.
TEST_F(NativeDialog, FlagsFiltersIndexAndExtension) {
  using namespace win;
  struct Case {
    int kind, mode;
    std::uint32_t options;
    DWORD flags;
  } cases[] = {
      {vfilechsrOPEN, 1, 0, OFN_HIDEREADONLY | OFN_ENABLEHOOK},
      {vfilechsrOPEN, 1, vfilechsrMUST_EXIST | vfilechsrPATH_MUST_EXIST,
       OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST},
      {vfilechsrOPEN, 2, vfilechsrREAD_ONLY_BOX, OFN_ENABLEHOOK | OFN_ALLOWMULTISELECT},
      {vfilechsrOPEN, 1, vfilechsrREAD_ONLY_BOX | vfilechsrREAD_ONLY_TICKED, OFN_ENABLEHOOK | OFN_READONLY},
      {vfilechsrOPEN, 1, vfilechsrREAD_ONLY_TICKED, OFN_HIDEREADONLY | OFN_ENABLEHOOK},
      {vfilechsrSAVE, 2, vfilechsrCONFIRM_OVERWRITE, OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_OVERWRITEPROMPT},
      {vfilechsrSAVE, 1, 0, OFN_HIDEREADONLY | OFN_ENABLEHOOK},
  };
  for (const Case& k : cases) {
    vfilechsrSetKind(c, k.kind);
    vfilechsrSetSelectionMode(c, k.mode);
    vfilechsrSetOptions(c, k.options);
    EXPECT_EQ(vfilechsrProcess(c), N("Cancel")) << "nothing queued";
    EXPECT_EQ(test::LastFileDialog().flags, k.flags) << k.kind << "/" << k.mode << "/" << k.options;
    EXPECT_EQ(test::LastFileDialog().save, k.kind == vfilechsrSAVE);
  }
  const test::FileDialogReport& r = test::LastFileDialog();
  EXPECT_EQ(r.filters, (std::vector<std::pair<std::string, std::string>>{{"All Files (*.*)", "*.*"}}));
  EXPECT_EQ(r.filterIndex, 1u);
  EXPECT_EQ(r.initialDir, tree->at("x"));
  EXPECT_EQ(r.defaultExtension, "");
  EXPECT_EQ(r.owner, vwindowGetMSWWindow(vwindowGetRoot()));
  vwindowSetTitleScribe(c, vscribeLiteral("Keep a log"));
  c->defaultExtension = vstrClone(".text");
  vfilechsrProcess(c);
  EXPECT_EQ(test::LastFileDialog().title, "Keep a log");
  EXPECT_EQ(test::LastFileDialog().defaultExtension, "tex") << "three characters, the dot dropped";
  // With types: only the platform's, by name, the current one's index.
  vfilechsrAddFileTypes(c, 0, nullptr, N("Text"));
  vfilechsrProcess(c);
  std::vector<std::pair<std::string, std::string>> expected;
  win::DWORD index = 0;
  for (int i = 0; i < c->fileTypes->count; ++i) {
    const vfilechsrFileType& t = c->fileTypes->types[i];
    expected.emplace_back(t.name, t.patternText);
    if (&t == c->fileType) index = win::DWORD(i + 1);
  }
  EXPECT_EQ(test::LastFileDialog().filters, expected) << "in table order";
  EXPECT_EQ(expected.size(), 12u) << "four of its own and the image editor's eight";
  EXPECT_EQ(test::LastFileDialog().filterIndex, index);
  EXPECT_EQ(test::LastFileDialog().defaultExtension, "txt");
  // A name typed without one gets it, as the chooser's own dialog gives it.
  queue({"x/memo"});
  EXPECT_EQ(vfilechsrProcess(c), N("Ok"));
  EXPECT_EQ(applied, std::vector<std::string>{tree->at("x/memo.txt")});
  applied.clear();
  // The old style: a refused name keeps the dialog open, the others given.
  vfilechsrSetKind(c, vfilechsrOPEN);
  vfilechsrSetSelectionMode(c, 2);
  refuseNth = 2;
  queue({"x/one.c", "x/four.h", "x/a.c.h"});
  queue({"x/a.c.h"});
  EXPECT_EQ(vfilechsrProcess(c), N("Ok"));
  EXPECT_EQ(applied, (std::vector<std::string>{tree->at("x/one.c"), tree->at("x/four.h"), tree->at("x/a.c.h"),
                                               tree->at("x/a.c.h")}));
  EXPECT_EQ(test::LastFileDialog().refusals, std::vector<std::string>{"hook: " + tree->at("x/one.c")});
  EXPECT_EQ(flagsSeen, vfilechsrRESULT_EXISTS);
  EXPECT_EQ(c->resultFlags, 0u);
  // The dialog's own checks: a missing file is refused before the hook;
  // a shown and ticked read-only box reaches the apply function as 0x1000.
  applied.clear();
  refuseNth = 0;
  flagsSeen = 0;
  vfilechsrSetSelectionMode(c, 1);
  vfilechsrSetOptions(c, vfilechsrMUST_EXIST | vfilechsrREAD_ONLY_BOX);
  queue({"x/missing.c"});
  test::FileAnswer ticked;
  ticked.paths = {tree->at("x/one.c")};
  ticked.readOnly = true;
  test::QueueFileAnswer(ticked);
  EXPECT_EQ(vfilechsrProcess(c), N("Ok"));
  EXPECT_EQ(applied, std::vector<std::string>{tree->at("x/one.c")});
  EXPECT_EQ(test::LastFileDialog().refusals, std::vector<std::string>{"file must exist: " + tree->at("x/missing.c")});
  EXPECT_EQ(flagsSeen, vfilechsrRESULT_EXISTS | vfilechsrRESULT_READ_ONLY);
}

// Explorer style (Win95): several names, one of three refused; a selection
// longer than the 2,048-byte buffer grows it through the frame; the
// framework's timers run while the dialog is up; a save asks before
// overwriting; (6, 6) on the root leaves the dialog centred on its owner.
TEST_F(NativeDialog, ExplorerStyleUnderWin95) {
  useWin95();
  vfilechsrSetSelectionMode(c, 2);
  refuseNth = 2;
  queue({"x/one.c", "x/four.h", "x/plain"});
  queue({"x/plain"});
  EXPECT_EQ(vfilechsrProcess(c), N("Ok"));
  EXPECT_TRUE(win::test::LastFileDialog().flags & win::OFN_EXPLORER);
  EXPECT_EQ(applied, (std::vector<std::string>{tree->at("x/one.c"), tree->at("x/four.h"), tree->at("x/plain"),
                                               tree->at("x/plain")}));
  // 300 names of 20 bytes: more than 2,048.
  applied.clear();
  refuseNth = 0;
  std::vector<std::string> many;
  for (int i = 0; i < 300; ++i) many.push_back("x/" + std::string(16, char('a' + i % 26)) + std::to_string(1000 + i));
  queue(many);
  EXPECT_EQ(vfilechsrProcess(c), N("Ok"));
  ASSERT_EQ(applied.size(), many.size());
  EXPECT_EQ(applied.back(), tree->at(many.back()));
  EXPECT_TRUE(win::test::LastFileDialog().refusals.empty());
  // A framework timer fires while the dialog waits 2 s for its answer.
  static int ticks = 0;
  ticks = 0;
  vtimer* timer = vtimerCreate();
  timer->periodSeconds = 0;
  timer->periodNanoseconds = 300'000'000;
  timer->flags |= vtimerRECURRENT;
  timer->notify = [](vtimer*) { ++ticks; };
  vtimerStart(timer);
  win::test::FileAnswer late;
  late.paths = {tree->at("x/plain")};
  late.delay = 2000;
  win::test::QueueFileAnswer(late);
  vfilechsrSetSelectionMode(c, 1);
  EXPECT_EQ(vfilechsrProcess(c), N("Ok"));
  vtimerStop(timer);
  vtimerDestroy(timer);
  EXPECT_GE(ticks, 3);
  // Save: the stand-in asks about an existing file; No keeps the dialog.
  applied.clear();
  vfilechsrSetKind(c, vfilechsrSAVE);
  vfilechsrSetOptions(c, vfilechsrCONFIRM_OVERWRITE);
  queue({"x/plain"}, false);
  queue({"x/new.c"});
  EXPECT_EQ(vfilechsrProcess(c), N("Ok"));
  EXPECT_EQ(applied, std::vector<std::string>{tree->at("x/new.c")});
  EXPECT_EQ(win::test::LastFileDialog().overwriteQuestions, std::vector<std::string>{tree->at("x/plain")});
  // Placement: (6, 6) on the root centres it on its owner.
  vfilechsrPlace(c, nullptr, 6, 6);
  vfilechsrProcess(c);
  win::RECT owner{}, r = win::test::LastFileDialog().rect;
  win::GetWindowRect(win::test::LastFileDialog().owner, &owner);
  EXPECT_NEAR((r.left + r.right) / 2, (owner.left + owner.right) / 2, 1);
  EXPECT_NEAR((r.top + r.bottom) / 2, (owner.top + owner.bottom) / 2, 1);
}

// The stand-in refuses a structure of another size.
TEST(FileDialogStandIn, RefusesOtherSizes) {
  win::OPENFILENAMEA ofn{};
  ofn.lStructSize = 76;
  EXPECT_EQ(win::GetOpenFileNameA(&ofn), 0);
  EXPECT_EQ(win::CommDlgExtendedError(), win::CDERR_STRUCTSIZE);
  ofn.lStructSize = sizeof ofn;
  EXPECT_EQ(win::GetSaveFileNameA(&ofn), 0) << "nothing queued: cancel";
  EXPECT_EQ(win::CommDlgExtendedError(), 0u);
}

}  // namespace

namespace {

// A user's session: a partial name completed, chosen in a save chooser
// whose type gives it its extension; then the same through the system's
// dialog.
struct Scenario : NativeDialog {
  static inline vfilechsr* running = nullptr;
  static inline std::vector<void (*)()> steps;
  static inline std::size_t next = 0;
  vname run() {
    running = c;
    next = 0;
    veventIdleHook previous = veventSetIdleHook([] {
      win::test::AdvanceClock(1000);
      if (next < steps.size()) steps[next++]();
    });
    vname answer = vfilechsrProcess(c);
    veventSetIdleHook(previous);
    return answer;
  }
};

TEST_F(Scenario, CompleteAPartialNameAndChooseItWithTheExtension) {
  vfilechsrAddFileTypes(c, 0, nullptr, N("Text"));
  vfilechsrSetKind(c, vfilechsrSAVE);
  vfilechsrSetOptions(c, 0);
  c->state &= ~vfilechsrNATIVE_ALLOWED;
  steps = {[] { vtextitemSetTextChars(running->pathEntry, "pl"); }, [] { vfilechsrCompleteName(running); },
           [] {
             char* text = vtextitemGetString(running->pathEntry);
             EXPECT_STREQ(text, "plain");
             vmemFree(text);
             clickButton(running, "Ok");
           }};
  EXPECT_EQ(run(), N("Ok"));
  EXPECT_EQ(next, steps.size());
  EXPECT_EQ(applied, std::vector<std::string>{tree->at("x/plain.txt")});
  // The system's dialog: the typed name gets the default extension there.
  applied.clear();
  c->state |= vfilechsrNATIVE_ALLOWED;
  queue({"x/plain"});
  EXPECT_EQ(vfilechsrProcess(c), N("Ok"));
  EXPECT_EQ(applied, std::vector<std::string>{tree->at("x/plain.txt")});
  EXPECT_EQ(win::test::LastFileDialog().defaultExtension, "txt");
}

}  // namespace
