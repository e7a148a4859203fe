#include "fw/data/inst.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fw/data/vrstore.h"

namespace fs = std::filesystem;

namespace {

std::string found(const char* name) {
  vfsPath* p = vinstFindFileQuiet(name);
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
  vrstoreCloseFile(vrstoreCreateFile(p, 2));
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
  fs::remove(home / "lib" / "vwexlin5.vr");
  makeResourceFile(home / "lib" / "vwexlin5.vr");
  EXPECT_EQ(found("vwexlin5.vr"), (home / "lib" / "vwexlin5.vr").string());
  EXPECT_EQ(std::string(), found("vwexlin6.vr"));
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
