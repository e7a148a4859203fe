#include "fw/data/inst.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"

namespace fs = std::filesystem;

namespace {

std::string found(const char* name, vfsPath* (*search)(const char*) = vinstFindFileQuiet) {
  vfsPath* p = search(name);
  if (!p) return "";
  vstr* s = vfsPathToString(p);
  std::string out = s;
  vstrDestroy(s);
  vfsFreePath(p);
  return out;
}

void makeResourceFile(const fs::path& where) {
  fs::create_directories(where.parent_path());
  vfsPath* p = vfsNewPathFromString(where.c_str());
  vrstoreCloseFile(vrstoreCreateFile(p, 0));
  vfsFreePath(p);
}

// The build puts vwexlin7.vr in its "lib" folder, which the search reaches
// upward from the test program's folder.
TEST(Inst, TheBuiltFileIsFoundFromTheProgramDirectory) {
  std::string path = found("vwexlin7.vr");
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(fs::path(path).parent_path().filename(), "lib");
  vresource root = vinstGetSystemResource();
  EXPECT_EQ(vinstSystemResourceInMemory(), 0);
  EXPECT_EQ(vrstoreIsWritable(root), 0);
  EXPECT_EQ(vinstGetSystemResource(), root);
  _vinstReset();
}

TEST(Inst, WexlinHomeLibHoldsTheFileAndOnlyResourceFilesCount) {
  fs::path home = fs::temp_directory_path() / ("inst." + std::to_string(getpid()));
  const char* saved = std::getenv("WEXLINHOME");
  std::string keep = saved ? saved : "";
  setenv("WEXLINHOME", home.c_str(), 1);
  EXPECT_EQ(found("vwexlin5.vr"), "");
  fs::create_directories(home / "lib");
  std::ofstream(home / "lib" / "vwexlin5.vr") << "not a resource file";
  EXPECT_EQ(found("vwexlin5.vr"), "");
  // The search for any file (help files are text) takes it, not a folder.
  EXPECT_EQ(found("vwexlin5.vr", vinstFindPlainFileQuiet), (home / "lib" / "vwexlin5.vr").string());
  fs::create_directories(home / "lib" / "folder.vhs");
  EXPECT_EQ(found("folder.vhs", vinstFindPlainFileQuiet), "");
  fs::remove(home / "lib" / "vwexlin5.vr");
  makeResourceFile(home / "lib" / "vwexlin5.vr");
  EXPECT_EQ(found("vwexlin5.vr"), (home / "lib" / "vwexlin5.vr").string());
  EXPECT_EQ(std::string(), found("vwexlin6.vr"));
  // A chunk-format file counts too, and opens in its own store.
  vfsPath* chunk = vfsNewPathFromString((home / "lib" / "vwexlin6.vr").c_str());
  vresourceCloseFile(vresourceCreateFileIn(1, chunk, 0600));
  EXPECT_EQ(found("vwexlin6.vr"), (home / "lib" / "vwexlin6.vr").string());
  vresource root = vresourceOpenFile(chunk, vfsOPEN_READ);
  EXPECT_LT(root, 0);
  vresourceCloseFile(root);
  vfsFreePath(chunk);
  if (saved) setenv("WEXLINHOME", keep.c_str(), 1);
  else unsetenv("WEXLINHOME");
  fs::remove_all(home);
}

TEST(Inst, AFailedSearchRaisesAccess) {
  const vexClass* cls = nullptr;
  vexGuard([] { vinstFindFile("vwexlin9.vr"); },
           [&](vexHandler& h) {
             cls = vexGetCurrentException()->cls;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(cls, &vfsAccessClass);
}

}  // namespace

namespace {

struct Scratch {
  fs::path root = fs::temp_directory_path() / ("instdir." + std::to_string(getpid()));
  Scratch() { fs::create_directories(root); }
  ~Scratch() { fs::remove_all(root); }
};

TEST(Inst, AFolderIsSearchedWithLibThenUpwardThenThroughLinks) {
  Scratch s;
  fs::path install = s.root / "install";
  fs::path program = install / "a" / "b" / "bin";
  fs::create_directories(program);
  EXPECT_EQ(_vinstSearchDirectory(program.c_str(), "vwexlin6.vr"), "");
  // Upward from three levels below the installation's lib.
  makeResourceFile(install / "lib" / "vwexlin6.vr");
  EXPECT_EQ(_vinstSearchDirectory(program.c_str(), "vwexlin6.vr"), (install / "lib" / "vwexlin6.vr").string());
  // The folder's own lib comes before the walk upward, the folder itself first.
  makeResourceFile(program / "lib" / "vwexlin6.vr");
  EXPECT_EQ(_vinstSearchDirectory(program.c_str(), "vwexlin6.vr"), (program / "lib" / "vwexlin6.vr").string());
  makeResourceFile(program / "vwexlin6.vr");
  EXPECT_EQ(_vinstSearchDirectory(program.c_str(), "vwexlin6.vr"), (program / "vwexlin6.vr").string());

  // A chain of two links to a folder whose lib holds the file.
  fs::path target = s.root / "real";
  makeResourceFile(target / "lib" / "vwexlin5.vr");
  fs::create_directory_symlink(target, s.root / "link1");
  fs::create_directory_symlink("link1", s.root / "link2");  // relative to its folder
  std::string found = _vinstSearchDirectory((s.root / "link2").c_str(), "vwexlin5.vr");
  EXPECT_FALSE(found.empty());
  EXPECT_TRUE(fs::equivalent(found, target / "lib" / "vwexlin5.vr"));
  // The framework's own file, built into the build's lib, through a link
  // to the build folder.
  fs::path built = fs::path(::found("vwexlin7.vr"));
  ASSERT_FALSE(built.empty());
  fs::create_directory_symlink(fs::absolute(built).parent_path().parent_path(), s.root / "build");
  found = _vinstSearchDirectory((s.root / "build").c_str(), "vwexlin7.vr");
  EXPECT_TRUE(!found.empty() && fs::equivalent(found, built)) << found;
  // A loop of links ends the search.
  fs::create_directory_symlink(s.root / "loopB", s.root / "loopA");
  fs::create_directory_symlink(s.root / "loopA", s.root / "loopB");
  EXPECT_EQ(_vinstSearchDirectory((s.root / "loopA").c_str(), "vwexlin5.vr"), "");
}

}  // namespace

namespace {

// Under CTest, WEXLINHOME names the build folder whose lib holds the file.
TEST(Inst, WexlinHomeNamesTheBuildUnderCTest) {
  const char* home = std::getenv("WEXLINHOME");
  if (!home) GTEST_SKIP() << "not run by CTest";
  EXPECT_TRUE(fs::exists(fs::path(home) / "lib" / "vwexlin7.vr"));
}

}  // namespace

#include <sstream>

#include "fw/data/vrtext.h"

namespace {

// The file the search finds is the one built from the text form in the
// source tree, and holds the entries the number, preference and date code
// look up by name.
TEST(Inst, TheFoundFileHoldsTheAuthoredText) {
  std::ifstream in(VWEXLIN_TEXT);
  std::stringstream text;
  text << in.rdbuf();
  vresource authored = vrstoreCreateMemory();
  std::string error;
  ASSERT_TRUE(vrtextParse(text.str(), authored, &error)) << error;
  vresource found = vinstGetSystemResource();
  ASSERT_EQ(vinstSystemResourceInMemory(), 0);
  EXPECT_EQ(vrtextDump(found), vrtextDump(authored));
  vrstoreCloseFile(authored);

  auto child = [](vresource h, const char* name) { return vresourceGet(h, vnameInternLiteral(name)); };
  vresource vnum = child(found, "vnum");
  for (const char* name :
       {"NormalFormat", "ExponentFormat", "DecimalDigits", "BinaryDigits", "OctalDigits", "HexDigits"})
    EXPECT_EQ(vresourceGetInteger(child(vnum, name), vnameInternLiteral("Version")), 2) << name;
  EXPECT_EQ(vresourceGetType(child(found, "Preferences"), vnameInternLiteral("Environment Map Dict")),
            vresDICTIONARY);
  struct Names {
    const char* name;
    std::int32_t count;
  } names[] = {{"Meridians", 2}, {"Weekdays", 7}, {"AbbrevWeekdays", 7}, {"Months", 12}, {"AbbrevMonths", 12}};
  for (const Names& n : names) {
    vresource a = child(child(found, "vdate"), n.name);
    EXPECT_EQ(vresourceGetElementType(a), vresSTRING) << n.name;
    EXPECT_EQ(vresourceCount(a), n.count) << n.name;
  }
  _vinstReset();
}

}  // namespace

namespace {

// The defaults built into the library are the file's "Preferences" and
// look as authored, key bindings included, and stand apart from the system
// root.
TEST(Inst, TheBuiltInDefaultsAreTheAuthoredPreferences) {
  std::ifstream in(VWEXLIN_TEXT);
  std::stringstream text;
  text << in.rdbuf();
  vresource authored = vrstoreCreateMemory();
  std::string error;
  ASSERT_TRUE(vrtextParse(text.str(), authored, &error)) << error;
  auto child = [](vresource h, const char* name) { return vresourceGet(h, vnameInternLiteral(name)); };
  vresource defaults = vinstGetDefaultPreferences();
  EXPECT_EQ(vrtextDump(defaults), vrtextDump(child(authored, "Preferences")));
  // The look's images too: without them a scroll bar has no arrows. An
  // image's entries come in the order its file first met their names.
  auto lines = [](const std::string& dump) {
    std::vector<std::string> out;
    std::stringstream in(dump);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    std::sort(out.begin(), out.end());
    return out;
  };
  EXPECT_EQ(lines(vrtextDump(vinstGetDefaultLook())), lines(vrtextDump(child(authored, "vlaf"))));
  vrstoreCloseFile(authored);
  EXPECT_EQ(vinstGetDefaultPreferences(), defaults) << "built once";
  vresource keys = child(defaults, "Keys");
  for (const char* cls : {"vmenu", "vdialog", "vtextview"})
    for (const char* look : {"Windows", "Motif", "Open Look", "CUA", "Win95"})
      EXPECT_EQ(vresourceGetType(child(keys, cls), vnameInternLiteral(look)), vresDICTIONARY) << cls << " " << look;
  _vinstReset();
}

}  // namespace
