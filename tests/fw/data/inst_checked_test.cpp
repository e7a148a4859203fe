// Files the start-up check read whole are the ones the program opens: each
// is handed to its first open for reading, with the content checked.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fw/data/inst.h"
#include "fw/data/vrstore.h"

namespace fs = std::filesystem;

namespace {

// A ".vr" file holding Mark = value.
void makeFile(const fs::path& where, int value) {
  vfsPath* p = vfsNewPathFromString(where.c_str());
  vresource root = vrstoreCreateFile(p, 0);
  vrstoreSetInteger(root, vnameInternLiteral("Mark"), value);
  vrstoreCloseFile(root);
  vfsFreePath(p);
}

// The Mark of the file opened by vinstOpenFile; -1 when it raises.
int markOpened(const fs::path& file, int mode = vfsOPEN_READ, bool* writable = nullptr) {
  int mark = -1;
  vfsPath* p = vfsNewPathFromString(file.c_str());
  vexTry([&] {
    vresource root = vinstOpenFile(p, mode);
    mark = vrstoreGetInteger(root, vnameInternLiteral("Mark"));
    if (writable) *writable = vrstoreIsWritable(root) != 0;
    vrstoreCloseFile(root);
  });
  vfsFreePath(p);
  return mark;
}

struct Home {
  fs::path dir = fs::temp_directory_path() / ("instchecked." + std::to_string(getpid()));
  std::string saved;
  bool had;
  Home() {
    const char* s = std::getenv("WEXLINHOME");
    had = s != nullptr;
    if (had) saved = s;
    fs::create_directories(dir / "lib");
    setenv("WEXLINHOME", dir.c_str(), 1);
  }
  ~Home() {
    _vinstReset();
    if (had) setenv("WEXLINHOME", saved.c_str(), 1);
    else unsetenv("WEXLINHOME");
    fs::remove_all(dir);
  }
  fs::path file() const { return dir / "lib" / "instchecked.vr"; }
};

TEST(InstChecked, TheFirstOpenForReadingTakesTheCheckedFile) {
  Home h;
  makeFile(h.file(), 1);
  ASSERT_EQ(vinstMissingFiles("instchecked", {"instchecked.vr"}), "");
  // Replaced after the check: the first open reads what was checked, the
  // next opens the file as it is now.
  makeFile(h.file(), 2);
  EXPECT_EQ(markOpened(h.file()), 1);
  EXPECT_EQ(markOpened(h.file()), 2);

  // An open for writing never takes the kept, read-only file.
  ASSERT_EQ(vinstMissingFiles("instchecked", {"instchecked.vr"}), "");
  makeFile(h.file(), 3);
  bool writable = false;
  EXPECT_EQ(markOpened(h.file(), vfsOPEN_READ_WRITE, &writable), 3);
  EXPECT_TRUE(writable);
  EXPECT_EQ(markOpened(h.file()), 2);

  // Forgotten by a reset: closed, and the next open reads the file.
  ASSERT_EQ(vinstMissingFiles("instchecked", {"instchecked.vr"}), "");
  makeFile(h.file(), 4);
  _vinstReset();
  EXPECT_EQ(markOpened(h.file()), 4);
}

TEST(InstChecked, ADamagedFileIsNeverKept) {
  Home h;
  makeFile(h.file(), 1);
  fs::resize_file(h.file(), fs::file_size(h.file()) / 2);
  EXPECT_NE(vinstMissingFiles("instchecked", {"instchecked.vr"}), "");
  EXPECT_EQ(markOpened(h.file()), -1);
}

}  // namespace
