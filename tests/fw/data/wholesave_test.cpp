// The framework's whole-file saves over the shared writer: a target that
// cannot be written raises vfsIOWrite at once, with the cause's errno and
// the path, and no scratch file is left in TMPDIR.
#include "fw/data/wholesave.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fw/core/ex.h"
#include "fw/core/fs.h"

namespace {

namespace fs = std::filesystem;

struct raised {
  bool any = false;
  const vexClass* cls = nullptr;
  int errnum = 0;
  std::string message;
};

// Saves "bytes" to path; what was raised, if anything, and the copy kept.
raised save(const std::string& path, bool keepCopy, std::string& copy) {
  raised r;
  vfsPath* p = vfsNewPathFromString(path.c_str());
  vexGuard(
      [&] {
        copy = _vdataSaveWhole(p, 0, [](const vfsPath* at) {
          char text[vfsPATH_BUFFER];
          std::ofstream(vfsPathToBuffer(at, text), std::ios::binary) << "bytes";
        }, keepCopy);
      },
      [&](vexHandler& h) {
        vexException* e = vexGetCurrentException();
        r = {true, e->cls, e->errnum, e->message ? e->message : ""};
        vexSetCurrentException(h.savedChain);
      });
  vfsFreePath(p);
  return r;
}

class whole_save : public ::testing::Test {
 protected:
  fs::path dir, tmp;
  std::string oldTmp;
  void SetUp() override {
    char name[] = "/tmp/wholesave.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir = name;
    tmp = dir / "tmp";
    fs::create_directory(tmp);
    if (const char* t = std::getenv("TMPDIR")) oldTmp = t;
    setenv("TMPDIR", tmp.c_str(), 1);
  }
  void TearDown() override {
    if (oldTmp.empty()) unsetenv("TMPDIR");
    else setenv("TMPDIR", oldTmp.c_str(), 1);
    fs::remove_all(dir);
  }
};

TEST_F(whole_save, TargetsThatCannotBeWrittenRaiseTheirCauseAtOnce) {
  mkfifo((dir / "fifo.vr").c_str(), 0600);
  fs::create_directory(dir / "folder.vr");
  const struct {
    const char* name;
    int errnum;
  } cases[] = {{"fifo.vr", ENXIO}, {"folder.vr", EISDIR}, {"none/out.vr", ENOENT}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = (dir / c.name).string();
    std::string copy;
    const auto started = std::chrono::steady_clock::now();
    const raised r = save(path, true, copy);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    ASSERT_TRUE(r.any);
    EXPECT_EQ(r.cls, &vfsIOWriteClass);
    EXPECT_EQ(r.errnum, c.errnum);
    EXPECT_NE(r.message.find(path), std::string::npos) << r.message;
    EXPECT_TRUE(fs::is_empty(tmp));
  }
}

// A device cannot be read back: with keepCopy the caller gets the bytes
// written to it; a regular file needs no copy.
TEST_F(whole_save, OnlyADeviceLeavesACopyToReadBack) {
  fs::create_symlink("/dev/null", dir / "null.vr");
  for (const char* name : {"null.vr", "file.vr"}) {
    SCOPED_TRACE(name);
    std::string copy;
    ASSERT_FALSE(save((dir / name).string(), true, copy).any);
    if (std::string(name) == "null.vr") {
      std::ifstream in(copy, std::ios::binary);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      EXPECT_EQ(text, "bytes");
      std::remove(copy.c_str());
    } else {
      EXPECT_EQ(copy, "");
      EXPECT_TRUE(fs::is_symlink(dir / "null.vr"));
    }
    EXPECT_TRUE(fs::is_empty(tmp));
  }
}

// A TMPDIR that names no folder the scratch file can be made in gives way to
// /tmp: the user's save is made all the same.
TEST_F(whole_save, ATmpdirOfNoUseGivesWayToTmp) {
  std::ofstream(dir / "plain") << "x";
  std::string tooLong = dir.string();
  while (tooLong.size() <= vfsMAX_PATH) tooLong += "/aaaaaaaaa";
  const std::string cases[] = {tooLong, (dir / "plain").string(), (dir / "missing").string()};
  for (const std::string& folder : cases) {
    SCOPED_TRACE(folder.substr(0, 80) + " (" + std::to_string(folder.size()) + " characters)");
    setenv("TMPDIR", folder.c_str(), 1);
    std::string copy;
    const raised r = save((dir / "file.vr").string(), false, copy);
    EXPECT_FALSE(r.any) << r.message.substr(0, 200);
    std::ifstream in(dir / "file.vr", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "bytes");
    fs::remove(dir / "file.vr");
  }
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

}  // namespace
