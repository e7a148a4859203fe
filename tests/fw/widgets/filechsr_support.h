// What the file chooser tests share: a temporary folder tree (nested
// directories five deep, a hidden file, a file no one may read, links to a
// file, to a directory and to nowhere, and a directory of 1,000 files),
// clicks on a chooser's rows and buttons, and the fixture that makes a
// chooser over a tree shared by a suite.
#pragma once
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/dialog_support.h"
#include "platform/win/test.h"

namespace fctest {

namespace fs = std::filesystem;

struct Tree {
  fs::path root;
  Tree() {
    char templ[] = "/tmp/filechsr_XXXXXX";
    root = mkdtemp(templ);
    fs::create_directories(root / "a/b/c/d/e");
    touch("a/b/mid.txt");
    touch("a/b/c/deep.txt");
    touch("a/b/Zeta.txt");
    touch("a/b/alpha.txt");
    touch(".hidden");
    touch("secret.txt");
    chmod((root / "secret.txt").c_str(), 0);
    fs::create_symlink(root / "a/b/mid.txt", root / "link_file");
    fs::create_symlink(root / "a/b", root / "link_dir");
    fs::create_symlink(root / "nowhere", root / "dangling");
    fs::create_directories(root / "many");
    for (int i = 0; i < 1000; ++i) touch("many/f" + std::to_string(1000 + i));
  }
  ~Tree() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  void touch(const std::string& name) const { std::ofstream(root / name) << name; }
  std::string at(const std::string& name = "") const { return name.empty() ? root.string() : (root / name).string(); }
  // Moves a directory's modification time forward, as a later change does.
  void age(const std::string& name, int seconds) const {
    struct stat st{};
    stat(at(name).c_str(), &st);
    timeval times[2] = {{st.st_mtime + seconds, 0}, {st.st_mtime + seconds, 0}};
    utimes(at(name).c_str(), times);
  }
};

inline vfsPath* path(const std::string& text) { return vfsNewPathFromString(text.c_str()); }

inline void setDirectory(vfilechsr* c, const std::string& text) {
  vfsPath* p = path(text);
  vfilechsrSetDirectory(c, p);
  vfsFreePath(p);
}

inline vfilechsrDirectory* recordOf(vlistview* v) {
  return v && v->list ? reinterpret_cast<vfilechsrDirectory*>(v->list->client) : nullptr;
}

inline std::string pathText(const vfsPath* p) {
  vstr* s = vfsPathToString(p);
  std::string out = s;
  vstrDestroy(s);
  return out;
}

// The directory each column shows, "-" for none, and the selected name.
inline std::string columnsText(vfilechsr* c) {
  std::string out;
  for (int i = 0; i < c->visibleColumns; ++i) {
    vfilechsrDirectory* d = recordOf(c->columns[i]);
    if (!out.empty()) out += " | ";
    if (!d) {
      out += "-";
      continue;
    }
    std::string p = pathText(d->path);
    out += p.substr(p.rfind('/') + 1);
    std::int32_t row = -1, column = 0;
    vlistview* v = c->columns[i];
    if (vlistCountSelectedCells(d->list, v->selection) > 0) {
      vlistGetFirstSelectedCell(d->list, v->selection, &row, &column);
      out += std::string(":") + d->entries[std::size_t(row)].name;
    }
  }
  return out;
}

inline std::int32_t rowOf(vfilechsrDirectory* d, const std::string& name) {
  for (std::int32_t i = 0; i < d->count; ++i)
    if (name == d->entries[std::size_t(i)].name) return i;
  return -1;
}

// A click in the middle of an item, or of a row of a column.
inline void clickAt(vfilechsr* c, vdialogItem* item, const vrect& inItem, int clicks = 1) {
  vrect r = inItem;
  vdialogItemListTransformRect(item->owner, &r);
  win::SetActiveWindow(c->native->hwnd);
  win::POINT p{r.x + r.width / 2, c->rect.height - 1 - (r.y + r.height / 2)};
  win::ClientToScreen(c->native->hwnd, &p);
  for (int i = 0; i < clicks; ++i) win::test::Click(p);
}
inline void clickRow(vfilechsr* c, int column, const std::string& name, int clicks = 1) {
  vlistview* v = c->columns[column];
  vfilechsrDirectory* d = recordOf(v);
  std::int32_t row = rowOf(d, name);
  vlistviewScrollToCell(v, row, 0);
  vrect r{};
  vlistviewGetCellRect(v, row, 0, &r);
  clickAt(c, v, r, clicks);
}
inline void clickButton(vfilechsr* c, const char* tag) {
  vdialogItem* b = vconfirmFindButton(c, vnameInternLiteral(tag));
  clickAt(c, b, b->rect);
}

inline void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

// The user's store keeps nothing of these choosers.
inline void removePreferences() {
  vresource app = vapplicationGetResources(vapplicationGetCurrent()), d = 0;
  if (vresourceTestGet(app, vnameInternLiteral("vfilechsr"), &d)) vresourceRemove(app, vnameInternLiteral("vfilechsr"));
}

// A new chooser for each test over one tree for the suite.
template <typename TreeType>
struct ChooserFixture : ::testing::Test {
  static inline TreeType* tree = nullptr;
  vfilechsr* c = nullptr;
  static void SetUpTestSuite() { tree = new TreeType; }
  static void TearDownTestSuite() {
    delete tree;
    tree = nullptr;
  }
  void SetUp() override {
    startDialogItemTests();
    vdialogStartup();
    win::UseVirtualClock(true);
    win::test::ResetInput();
    removePreferences();
    c = vfilechsrCreate();
  }
  void TearDown() override {
    if (c) vinstanceDestroy(c);
    removePreferences();
    win::test::ResetInput();
    veventMSWDrainMessages();
    win::UseVirtualClock(false);
  }
  void open() {
    vwindowOpen(c);
    win::SetActiveWindow(c->native->hwnd);
    settle();
  }
};

}  // namespace fctest
