#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fw/core/fs.h"
#include "fw/core/sys.h"
#include "fw_support.h"

namespace fs = std::filesystem;

namespace {

template <class F>
std::string raisedPath(F body) {
  std::string path;
  vexGuard(body, [&](vexHandler& h) {
    for (const vexClass* c = vexGetCurrentException()->cls; c; c = c->superclass) path = std::string(c->name) + "/" + path;
    vexSetCurrentException(h.savedChain);
  });
  return path;
}

struct PathHolder {
  vfsPath* p;
  explicit PathHolder(const std::string& text) : p(vfsNewPathFromString(text.c_str())) {}
  ~PathHolder() { vfsFreePath(p); }
  operator const vfsPath*() const { return p; }
};

std::string pattern(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + i / 253) & 0xFF);
  return s;
}

std::string readAll(vfsStream* s, std::size_t chunk) {
  std::string out;
  std::vector<char> buf(chunk);
  while (std::size_t n = vfsReadFile(buf.data(), 1, static_cast<std::ptrdiff_t>(chunk), s)) out.append(buf.data(), n);
  return out;
}

class Streams : public ::testing::Test {
 protected:
  fs::path dir = makeScratchDir();
  void TearDown() override { fs::remove_all(dir); }
  std::string at(const std::string& name) const { return (dir / name).string(); }
};

TEST_F(Streams, ReadAndWritePastBufferBoundaries) {
  PathHolder path(at("big"));
  std::string data = pattern(3 * BUFSIZ + 17, 1);
  vfsStream* s = vfsOpenFile(path, vfsOPEN_WRITE);
  for (std::size_t at = 0; at < data.size(); at += 1000)
    vfsWriteFile(data.data() + at, 1, static_cast<std::ptrdiff_t>(std::min<std::size_t>(1000, data.size() - at)), s);
  vfsSeekFile(s, 0, 0);
  EXPECT_EQ(readAll(s, 777), data);
  // Overwrite across a buffer boundary after reading, then read on.
  vfsSeekFile(s, BUFSIZ - 3, 0);
  char head[2];
  EXPECT_EQ(vfsReadFile(head, 1, 2, s), 2u);
  vfsWriteFile("XYZ", 1, 3, s);
  EXPECT_EQ(vfsReadFile(head, 2, 1, s), 1u);
  vfsCloseFile(s);
  data.replace(BUFSIZ - 1, 3, "XYZ");
  EXPECT_EQ(readFile(at("big")), data);

  s = vfsOpenFile(path, vfsOPEN_APPEND | vfsOPEN_TEXT | vfsOPEN_DENY_WRITE);
  vfsWriteString("ab", s);
  vfsPutChar('c', s);
  vscribe* long300 = vscribeConcat(vscribeRepeatChar('q', 300), vscribeCString("!"), nullptr);
  vfsWriteScribe(long300, s);
  vfsWriteScribe(vscribeLiteral("lit"), s);
  vfsFlushFile(s);
  vfsCloseFile(s);
  EXPECT_EQ(readFile(at("big")), data + "abc" + std::string(300, 'q') + "!lit");
  EXPECT_EQ(_vfsCountOpenFiles(), 0);
}

TEST_F(Streams, ExceptionsWithTheirClassPaths) {
  fs::create_directory(dir / "d");
  std::ofstream(dir / "file") << "x";
  fs::create_symlink(dir / "loop1", dir / "loop2");
  fs::create_symlink(dir / "loop2", dir / "loop1");
  PathHolder missing(at("missing")), d(at("d")), file(at("file")), below(at("file/x")), loop(at("loop1"));
  auto openRead = [](const vfsPath* p) { return [p] { vfsCloseFile(vfsOpenFile(p, vfsOPEN_READ)); }; };
  // 2,100 elements render past what the system takes.
  PathHolder deep(at("d"));
  for (int i = 0; i < 2100; ++i) vfsAppendPathElements(deep.p, "a", nullptr);
  vfsStream* keep = vfsOpenFile(file, vfsOPEN_READ | vfsOPEN_NO_SEEK);
  vfsStream* dirStream = vfsOpenFile(d, vfsOPEN_READ);
  vfsFileInfo info;
  char buf[4];
  struct Case {
    const char* what;
    std::function<void()> body;
    const char* raised;
  } cases[] = {
      {"open missing", openRead(missing), "/File System/Name/"},
      {"open below a file", openRead(below), "/Arg/"},
      {"open a link loop", openRead(loop), "/File System/System/System Maximum/Maximum Links/"},
      {"write a directory", [&] { vfsOpenFile(d, vfsOPEN_WRITE); }, "/File System/User Request/Is Directory/"},
      {"mode 3", [&] { vfsOpenFile(file, 3); }, "/Arg/"},
      {"create existing", [&] { vfsCreateFile(file, 0600); }, "/File System/User Request/Already Exists/"},
      {"remove directory", [&] { vfsRemoveFile(d); }, "/File System/User Request/Is Directory/"},
      {"remove missing", [&] { vfsRemoveFile(missing); }, "/File System/Name/"},
      {"stat missing", [&] { vfsGetFileInfo(missing, &info); }, "/File System/Name/"},
      {"stat below a file", [&] { vfsGetFileInfo(below, &info); }, "/File System/Name/"},
      {"stat a link loop", [&] { vfsGetFileInfo(loop, &info); }, "/File System/System/System Maximum/Maximum Links/"},
      {"stat a path too long", [&] { vfsGetFileInfo(deep, &info); },
       "/File System/System/System Maximum/Maximimum Path Length/"},
      {"open a path too long", openRead(deep), "/File System/System/System Maximum/Maximimum Path Length/"},
      {"access a link loop", [&] { vfsAccess(loop, R_OK); }, "/File System/System/System Maximum/Maximum Links/"},
      {"seek whence 3", [&] { vfsSeekFile(keep, 0, 3); }, "/Arg/"},
      {"seek a stream that cannot", [&] { vfsSeekFile(keep, 0, 0); }, "/File System/I/O Error/File Seek/"},
      {"negative count", [&] { vfsReadFile(buf, 1, -1, keep); }, "/Arg/Range/"},
      {"write read-only", [&] { vfsWriteFile("a", 1, 1, keep); }, "/File System/I/O Error/I/O Write/"},
      {"read a directory", [&] { vfsReadFile(buf, 1, 4, dirStream); }, "/File System/I/O Error/I/O Read/"},
      {"pop empty stack", [] { vfsMSWPopDirectory(); }, "/File System/User Request/"},
  };
  for (const auto& c : cases) EXPECT_EQ(raisedPath(c.body), c.raised) << c.what;
  // The streams stay usable after a raised error.
  EXPECT_EQ(vfsReadFile(buf, 1, 4, keep), 1u);
  EXPECT_EQ(vfsAccess(missing, R_OK), false);
  EXPECT_EQ(vfsAccess(below, R_OK), false);
  EXPECT_EQ(vfsReadFile(buf, 1, 0, keep), 0u);
  vfsCloseFile(keep);
  vfsCloseFile(dirStream);

  if (geteuid() != 0) {
    fs::create_directory(dir / "locked");
    std::ofstream(dir / "locked" / "f") << "x";
    fs::permissions(dir / "locked", fs::perms::none);
    PathHolder locked(at("locked/f"));
    EXPECT_EQ(raisedPath(openRead(locked)), "/File System/User Request/Access/");
    fs::permissions(dir / "locked", fs::perms::owner_all);
  }
  PathHolder full("/dev/full");
  vfsStream* f = vfsOpenFile(full, vfsOPEN_READ_WRITE);
  vfsWriteFile("abc", 1, 3, f);
  EXPECT_EQ(raisedPath([&] { vfsFlushFile(f); }), "/File System/I/O Error/I/O Write/");
  vfsCloseFile(f);
  f = vfsOpenFile(full, vfsOPEN_READ_WRITE);
  vfsWriteFile("abc", 1, 3, f);
  EXPECT_EQ(raisedPath([&] { vfsCloseFile(f); }), "/File System/I/O Error/I/O Write/");  // not lost silently
  EXPECT_EQ(_vfsCountOpenFiles(), 0);
}

TEST_F(Streams, SuspendedWhenTheProcessRunsOutOfFiles) {
  std::string base = dir.string();
  ChildRun r = runInChild([base] {
    vfsShutdown();  // forget the parent's directories
    rlimit lim{24, 24};
    setrlimit(RLIMIT_NOFILE, &lim);
    constexpr int kStreams = 60;
    std::vector<vfsStream*> streams;
    // A relative path: its reopen must find the file from the directory
    // it was opened in, whatever is current later.
    vfsPath* first = vfsNewPathFromString("first");
    vfsStream* early = vfsOpenFile(first, vfsOPEN_WRITE);
    vfsWriteString("0123456789", early);
    vfsSeekFile(early, 4, 0);
    vfsPath* keptPath = vfsNewPathFromString((base + "/kept").c_str());
    vfsStream* kept = vfsOpenFile(keptPath, vfsOPEN_WRITE | vfsOPEN_KEEP);
    vfsPath* elsewhere = vfsNewPathFromString(base.c_str());
    vfsMSWChangeDirectory(elsewhere);
    for (int i = 0; i < kStreams; ++i) {
      std::string name = base + "/s" + std::to_string(i);
      vfsPath* p = vfsNewPathFromString(name.c_str());
      vfsStream* s = vfsOpenFile(p, vfsOPEN_WRITE);
      std::string data = pattern(5000 + static_cast<std::size_t>(i), static_cast<unsigned>(i));
      vfsWriteFile(data.data(), 1, static_cast<std::ptrdiff_t>(data.size()), s);
      vfsFreePath(p);
      streams.push_back(s);
    }
    int bad = 0;
    for (int round = 0; round < 2; ++round)
      for (int i = kStreams - 1; i >= 0; --i) {
        vfsSeekFile(streams[static_cast<std::size_t>(i)], 0, 0);
        if (readAll(streams[static_cast<std::size_t>(i)], 999) != pattern(5000 + static_cast<std::size_t>(i), static_cast<unsigned>(i)))
          ++bad;
      }
    char four[4];
    vfsReadFile(four, 1, 4, early);  // from the position saved at suspension
    std::fprintf(stderr, "bad %d early %.4s kept %s open %d\n", bad, four, kept->file ? "open" : "suspended",
                 _vfsCountOpenFiles() <= 24);
    // Every stream kept open: nothing can give up its file.
    for (vfsStream* s : streams) s->mode |= vfsOPEN_KEEP;
    early->mode |= vfsOPEN_KEEP_FILE;
    std::string raised;
    int err = 0;
    for (int i = 0; i < 30 && raised.empty(); ++i) {
      vfsPath* p = vfsNewPathFromString((base + "/more" + std::to_string(i)).c_str());
      raised = raisedPath([&] {
        vexGuard([&] { streams.push_back(vfsOpenFile(p, vfsOPEN_WRITE)); },
                 [&](vexHandler&) {
                   err = vexGetCurrentException()->errnum;
                   _vexGenerate(nullptr, vexEnd);
                 });
      });
      vfsFreePath(p);
    }
    std::fprintf(stderr, "%s errno %d\n", raised.c_str(), err);
    for (vfsStream* s : streams) vfsCloseFile(s);
    vfsCloseFile(early);
    vfsCloseFile(kept);
    std::fprintf(stderr, "left %d\n", _vfsCountOpenFiles());
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "bad 0 early 4567 kept open open 1\n/File System/System/System Maximum/Maximum Files Open/ errno 24\nleft 0\n");
}

TEST_F(Streams, LocalizedOpenAndFileKinds) {
  fs::create_directories(dir / "d" / "locale" / "de_DE");
  fs::create_directories(dir / "d" / "locale" / "de");
  std::ofstream(dir / "d" / "x.vr") << "plain";
  std::ofstream(dir / "d" / "locale" / "de" / "x.vr") << "de";
  std::ofstream(dir / "d" / "locale" / "de_DE" / "y.vr") << "de_DE";
  std::ofstream(dir / "d" / "y.vr") << "plain";
  std::ofstream(dir / "res") << "QRN\nrest";
  std::ofstream(dir / "chunk", std::ios::binary) << std::string("\x00\x00\xD0\x0B\xED\x00", 6);
  std::ofstream(dir / "short", std::ios::binary) << std::string("\x00\x00\xD0\x0B\xED", 5);
  struct Case {
    const char *lang, *file, *content;
  } cases[] = {
      {"de_DE.ISO8859-1", "d/x.vr", "de"}, {"de_DE.ISO8859-1", "d/y.vr", "de_DE"}, {"fr_FR", "d/x.vr", "plain"},
      {"de", "d/x.vr", "de"},              {"../..", "d/x.vr", "plain"},           {nullptr, "d/y.vr", "plain"},
  };
  for (const auto& c : cases) {
    if (c.lang) setenv("LANG", c.lang, 1);
    else unsetenv("LANG");
    PathHolder p(at(c.file));
    vfsStream* s = vfsOpenLocalizedFile(p, vfsOPEN_READ);
    EXPECT_EQ(readAll(s, 64), c.content) << (c.lang ? c.lang : "no LANG") << " " << c.file;
    vfsCloseFile(s);
  }
  unsetenv("LANG");
  PathHolder res(at("res")), chunk(at("chunk")), shortFile(at("short")), missing(at("missing"));
  EXPECT_EQ(vfsTestFileKind(res), 1);
  EXPECT_EQ(vfsTestFileKind(chunk), 2);
  EXPECT_EQ(vfsTestFileKind(shortFile), 0);
  EXPECT_EQ(vfsTestFileKind(missing), 0);
  EXPECT_TRUE(vresourceTestFile(chunk));
  EXPECT_FALSE(vresourceTestFile(res));
  vresourceSetTestDefault(false);
  EXPECT_FALSE(vresourceTestFile(missing));
  vresourceSetTestDefault(true);
  EXPECT_TRUE(vresourceTestFile(missing));
  EXPECT_EQ(_vfsCountOpenFiles(), 0);
}

// A regular-only open never waits and never reads what has no end: a FIFO
// nobody writes would block a plain open for good, and /dev/zero (here
// behind a link of our own) never ends. The alarm turns a block into a failure.
TEST_F(Streams, RegularOnlyOpensRefuseFoldersFifosAndDevices) {
  fs::create_directory(dir / "d");
  ASSERT_EQ(mkfifo(at("fifo").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "zero");
  std::ofstream(dir / "res") << "QRN\nrest";
  alarm(20);
  struct Case {
    const char* name;
    const char* raised;
  } cases[] = {
      {"d", "/File System/User Request/Is Directory/"},
      {"fifo", "/File System/"},
      {"zero", "/File System/"},
      {"missing", "/File System/Name/"},
  };
  for (const auto& c : cases) {
    PathHolder p(at(c.name));
    for (unsigned access : {vfsOPEN_READ, vfsOPEN_READ_WRITE})
      EXPECT_EQ(raisedPath([&] { vfsCloseFile(vfsOpenFile(p, access | vfsOPEN_REGULAR)); }), c.raised) << c.name;
    EXPECT_EQ(vfsTestFileKind(p), 0) << c.name;
  }
  PathHolder res(at("res"));
  vfsStream* s = vfsOpenFile(res, vfsOPEN_READ | vfsOPEN_REGULAR);
  EXPECT_EQ(readAll(s, 3), "QRN\nrest");
  vfsCloseFile(s);
  EXPECT_EQ(vfsTestFileKind(res), 1);
  alarm(0);
  EXPECT_EQ(_vfsCountOpenFiles(), 0);
}

TEST_F(Streams, FileInformation) {
  fs::create_directory(dir / "d");
  std::ofstream(dir / ".hidden") << "abc";
  {
    std::ofstream big(dir / "big");
  }
  fs::resize_file(dir / "big", 5'000'000'000ull);  // sparse: a size past 32 bits
  struct Case {
    std::string path;
    std::uint32_t flags;
    std::int64_t size;  // -1: not checked
  } cases[] = {
      {at("d"), vfsINFO_DIRECTORY, -1},
      {at(".hidden"), vfsINFO_FILE | vfsINFO_HIDDEN, 3},
      {at("big"), vfsINFO_FILE, 5'000'000'000},
      {"/dev/null", vfsINFO_OTHER, -1},
      {"/", vfsINFO_DIRECTORY, -1},
      {at("d/.."), vfsINFO_DIRECTORY, -1},
  };
  for (const auto& c : cases) {
    PathHolder p(c.path);
    vfsFileInfo info{};
    info.flags = 0xFFFF;
    vfsGetFileInfo(p, &info);
    EXPECT_EQ(info.flags, c.flags) << c.path;
    if (c.size >= 0) {
      EXPECT_EQ(info.size, c.size) << c.path;
    }
    EXPECT_EQ(info.changeNanoseconds, 0u);
    EXPECT_EQ(info.modifyNanoseconds, 0u);
    EXPECT_GT(info.modifySeconds, 0);
    EXPECT_EQ(info.userId, static_cast<std::int32_t>(c.path == "/" || c.path == "/dev/null" ? 0 : geteuid()));
  }
}

TEST(Environment, DirectoriesAndTemporaryNames) {
  ChildRun r = runInChild([] {
    vfsShutdown();  // forget the parent's directories
    vfsPath* start = vfsCopyPath(vfsMSWGetStartupDirectory());
    char cwd[vfsPATH_BUFFER], text[vfsPATH_BUFFER];
    EXPECT_STREQ(vfsPathToBuffer(start, text), getcwd(cwd, sizeof cwd));
    mkdir("sub", 0700);
    vfsPath* sub = vfsNewPathFromString("sub");
    vfsMSWPushDirectory(sub);
    vfsPath* now = vfsMSWGetCurrentDirectory();
    std::fprintf(stderr, "in %s\n", vfsGetPathElement(now, vfsCountPathElements(now) - 1));
    vfsFreePath(now);
    vfsMSWPopDirectory();
    now = vfsMSWGetCurrentDirectory();
    std::fprintf(stderr, "back %d\n", vfsComparePaths(now, start, vfsCOMPARE_EXACT));
    std::ofstream("plain") << "x";
    symlink("selfloop", "selfloop");
    for (const char* t : {"missing", "plain", "selfloop"}) {
      vfsPath* p = vfsNewPathFromString(t);
      std::fprintf(stderr, "%s %s\n", t, raisedPath([&] { vfsMSWChangeDirectory(p); }).c_str());
      vfsFreePath(p);
    }
    char t1[] = "tmpXXXXXXXX", t2[] = "tmpXXXXXXXX";
    vfsMSWMakeTempName(t1);
    vfsMSWMakeTempName(t2);
    std::fprintf(stderr, "temp %d %d %d\n", std::string(t1) != t2, access(t1, F_OK) == 0, std::string(t1).find('X') == std::string::npos);
    int drives = -1;
    bool none = vfsMSWGetDrives(&drives) == nullptr;
    std::fprintf(stderr, "drives %d %d %d\n", none, drives, vfsMSWGetCurrentDrive() == nullptr);
    vfsFreePath(start), vfsFreePath(sub), vfsFreePath(now);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "in sub\nback 0\nmissing /File System/Name/\nplain /File System/User Request/Is Directory/\n"
            "selfloop /File System/System/System Maximum/Maximum Links/\ntemp 1 1 1\ndrives 1 0 1\n");
}

TEST(Environment, HomeAndProgramDirectories) {
  struct Case {
    const vfsPathRules* rules;
    const char *home, *homeDrive, *homePath, *expected;
  } cases[] = {
      {&vfsLinuxPathRules, "/home/tester", nullptr, nullptr, "/home/tester"},
      {&vfsWindowsPathRules, nullptr, "C:", "\\u", "C:\\u"},
      {&vfsLinuxPathRules, nullptr, nullptr, nullptr, nullptr},  // the password database
  };
  for (const auto& c : cases) {
    ChildRun r = runInChild([&c] {
      vfsShutdown();
      vsysStartup();
      vfsSetPathRules(c.rules);
      auto set = [](const char* name, const char* v) { v ? setenv(name, v, 1) : unsetenv(name); };
      set("HOME", c.home), set("HOMEDRIVE", c.homeDrive), set("HOMEPATH", c.homePath);
      setenv("WEXLIN_REGISTRY", "/nonexistent", 1);
      vfsPath* home = vfsMSWGetHomeDirectory();
      vstr* text = vfsPathToString(home);
      std::fputs(text, stderr);
      vstrDestroy(text);
      vfsFreePath(home);
    });
    EXPECT_EQ(r.status, 0);
    if (c.expected) {
      EXPECT_EQ(r.err, c.expected);
    } else {
      EXPECT_FALSE(r.err.empty());
    }
  }
  // A HOME whose text makes no path fails that source: the registry's value
  // is the next that answers. One that makes a path is kept, even when the
  // system could hold no file in it.
  std::string fourK;
  while (fourK.size() + 10 <= vfsMAX_PATH) fourK += "/aaaaaaaaa";
  const std::string longest = fourK + "/" + std::string(vfsMAX_PATH - fourK.size() - 1, 'h');
  const struct {
    std::string home;
    bool kept;
  } unusable[] = {
      {longest, true},
      {longest + "h", false},
      {fourK + fourK, false},
      {"/" + std::string(vfsMAX_ELEMENT + 1, 'e'), false},
  };
  const fs::path dir = makeScratchDir();
  std::ofstream(dir / "registry") << "[HKEY_CURRENT_USER\\Software\\Quarn\\Wexlin C\\2.6]\nHOME=/from/registry\n";
  for (const auto& c : unusable) {
    SCOPED_TRACE(std::to_string(c.home.size()) + " characters");
    ChildRun r = runInChild([&] {
      vfsShutdown();
      vsysStartup();
      setenv("HOME", c.home.c_str(), 1);
      setenv("WEXLIN_REGISTRY", (dir / "registry").c_str(), 1);
      vfsPath* home = vfsMSWGetHomeDirectory();
      vstr* text = vfsPathToString(home);
      std::fputs(text, stderr);
      vstrDestroy(text);
      vfsFreePath(home);
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, c.kept ? c.home : "/from/registry");
  }
  fs::remove_all(dir);
  const vfsPath* program = vfsMSWGetProgramDirectory();
  char text[vfsPATH_BUFFER];
  EXPECT_EQ(fs::path(vfsPathToBuffer(program, text)), fs::canonical("/proc/self/exe").parent_path());
  EXPECT_STREQ(vfsMSWGetProgramFileName(), "fw_core_tests");
}

}  // namespace
