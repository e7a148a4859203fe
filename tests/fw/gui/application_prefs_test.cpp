#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/window/application_internal.h"
#include "tests/fw/gui/raises.h"

namespace fs = std::filesystem;

namespace {

vname key(const char* t) { return vnameInternLiteral(t); }
std::string pref(const char* name) {
  const char* v = vprefGetString(vprefGetDefaultDict(), vscribeLiteral(name));
  return v ? v : "-";
}
vresource dictIn(vresource parent, const char* tag) {
  vresource r;
  return vresourceTestGet(parent, key(tag), &r) ? r : vresourceCreate(parent, key(tag), vresDICTIONARY);
}

TEST(ApplicationPreferences, HigherLevelsWinAndTheResourceFileReloads) {
  vapplication* app = vapplicationGetDefault();
  vapplicationClassRec* c = vapplicationClassOf(app);
  // Level 2: the application file; level 3: the user store; level 4: its own dictionary.
  vresource file = vresourceCreateMemory();
  vresource filePrefs = vresourceCreate(file, vname_Preferences, vresDICTIONARY);
  for (const char* k : {"pa", "pb", "pc"}) vresourceSetString(filePrefs, key(k), vscribeLiteral("file"));
  vresource userPrefs = dictIn(_vapplicationUserStore()->root, "Preferences");
  for (const char* k : {"pb", "pc"}) vresourceSetString(userPrefs, key(k), vscribeLiteral("user"));
  vresourceSetString(vapplicationGetResources(app), key("pc"), vscribeLiteral("own"));
  c->setResourceFile(app, file);
  EXPECT_EQ(app->file->root, file);
  EXPECT_EQ(app->file->flags, 0u);
  EXPECT_EQ(pref("pa"), "file");
  EXPECT_EQ(pref("pb"), "user");
  EXPECT_EQ(pref("pc"), "own");
  for (int bad : {8, -1}) EXPECT_TRUE(raisesArg([&] { vapplicationLoadPreferences(app, bad); })) << bad;
  c->setResourceFile(app, vresourceCreateMemory());
  // A file given by the caller stays the caller's; this spare one the
  // application closes itself at exit, as it does its own memory store.
  vresourceCloseFile(file);
  app->file->flags = 2;
}

TEST(ApplicationPreferences, DoubleClickIntervalOnlyFromSoundText) {
  vapplication* app = vapplicationGetDefault();
  // The window system's settings give the system's double-click time.
  EXPECT_EQ(veventGetDoubleClickInterval(), std::int64_t{win::GetDoubleClickTime()} * 1'000'000);
  struct Case {
    const char* text;
    std::int64_t want;  // -1: unchanged
  };
  const Case cases[] = {{"0.5", 500'000'000}, {"2", 2'000'000'000}, {"abc", -1},  {"-1", -1},  {"nan", -1},
                        {"inf", -1},          {"1e10", -1},         {"0.25x", -1}, {"0", 0},   {"9e9", 9'000'000'000'000'000'000}};
  for (const Case& k : cases) {
    veventSetDoubleClickInterval(123);
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("doubleclickinterval"), k.text);
    vapplicationLoadPreferences(app, 7);
    EXPECT_EQ(veventGetDoubleClickInterval(), k.want < 0 ? 123 : k.want) << k.text;
  }
}

TEST(ApplicationPreferences, ResourcesAreMadeOnceAndSharedWithTheRoot) {
  vapplication* app = vapplicationGetDefault();
  vresource own = vapplicationGetResources(app);
  EXPECT_EQ(vapplicationGetResources(app), own);
  vresource apps;
  ASSERT_TRUE(vresourceTestGet(_vapplicationUserStore()->root, key("ApplicationPreferences"), &apps));
  vresource found;
  ASSERT_TRUE(vresourceTestGet(apps, app->name, &found));
  EXPECT_EQ(found, own);
  EXPECT_EQ(vprefGetDefaultDict()->ownResource, own);
}

// --- Fresh processes --------------------------------------------------------------

struct Home {
  fs::path dir;
  Home() {
    char tmpl[] = "/tmp/appprobe.XXXXXX";
    dir = mkdtemp(tmpl);
  }
  ~Home() { fs::remove_all(dir); }
  Home(const Home&) = delete;
  Home& operator=(const Home&) = delete;
};

std::string run(const Home& home, const std::string& args, const std::string& program = APP_PROBE,
                const std::string& env = "") {
  std::string command = "cd '" + home.dir.string() + "' && env -i HOME='" + home.dir.string() + "'";
  for (const char* keep : {"WEXLINHOME", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
    if (const char* v = std::getenv(keep)) command += std::string(" ") + keep + "='" + v + "'";
  command += " " + env + " '" + program + "' " + args + " 2>&1";
  std::string out;
  if (std::FILE* p = popen(command.c_str(), "r")) {
    char buffer[1024];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    int status = pclose(p);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out += "[failed]";
  }
  return out;
}

// The processor time this process's finished children have used: what a
// child did, whatever else the host was running meanwhile.
double childSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A store file with the given preferences.
void writeStore(const fs::path& where, const std::vector<std::pair<const char*, const char*>>& prefs) {
  vfsPath* p = vfsNewPathFromString(where.c_str());
  vresource root = vresourceCreateFile(p, 0600);
  vresource dict = vresourceCreate(root, vname_Preferences, vresDICTIONARY);
  for (auto [k, v] : prefs) vresourceSetString(dict, key(k), vscribeLiteral(v));
  vresourceCloseFile(root);
  vfsFreePath(p);
}

TEST(ApplicationProbe, ProgramNameFallbacks) {
  Home home;
  EXPECT_EQ(run(home, "name"), "name=app_probe\n");
  fs::copy_file(APP_PROBE, home.dir / "my.app.bin");
  EXPECT_EQ(run(home, "name", (home.dir / "my.app.bin").string()), "name=my.app\n");
  // Known keys: "name" counts only after "-name"; then RESOURCE_NAME.
  writeStore(home.dir / "vwexusr1.vr", {{"name", "stored"}, {"RESOURCE_NAME", ""}});
  EXPECT_EQ(run(home, "name"), "name=app_probe\n");
  EXPECT_EQ(run(home, "name -name given"), "name=given\n");
  EXPECT_EQ(run(home, "name", APP_PROBE, "RESOURCE_NAME=fromenv"), "name=fromenv\n");
  EXPECT_EQ(run(home, "name -name given", APP_PROBE, "RESOURCE_NAME=fromenv"), "name=given\n");
}

TEST(ApplicationProbe, StoreIsWrittenAtExitAndReadBack) {
  Home home;
  EXPECT_EQ(run(home, "get color"), "color=-\n");
  EXPECT_EQ(run(home, "set color blue"), "");
  struct stat st {};
  ASSERT_EQ(stat((home.dir / "vwexusr1.vr").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(run(home, "set other x"), "");
  EXPECT_EQ(run(home, "get color"), "color=blue\n");
  EXPECT_EQ(run(home, "get other"), "other=x\n");
}

// The store is a chunk file: the dump tool says so, and why it cannot dump
// it, instead of calling it a file that does not open.
TEST(ApplicationProbe, TheDumpToolNamesTheStoresKind) {
  Home home;
  EXPECT_EQ(run(home, "set color blue"), "");
  const std::string store = (home.dir / "vwexusr1.vr").string();
  std::string said = run(home, "dump '" + store + "'", VRTOOL);
  EXPECT_NE(said.find(store + ": a chunk resource file"), std::string::npos) << said;
  EXPECT_NE(said.find("only resource stores can be dumped"), std::string::npos) << said;
  EXPECT_NE(said.find("[failed]"), std::string::npos);
  std::ofstream(home.dir / "empty.vr").flush();
  said = run(home, "dump empty.vr", VRTOOL);
  EXPECT_EQ(said, "vrtool: empty.vr: an empty file, not a resource file\n[failed]");
  std::ofstream(home.dir / "text.vr") << "Name = integer 1\n";
  said = run(home, "dump text.vr", VRTOOL);
  EXPECT_NE(said.find("text.vr: not a resource file"), std::string::npos) << said;
  said = run(home, "dump .", VRTOOL);
  EXPECT_EQ(said, "vrtool: .: a directory, not a resource file\n[failed]");
}

// A program that keeps no store (a scripted run) neither sees the user's
// preferences nor changes the file, old or new, byte for byte.
TEST(ApplicationProbe, AProgramWithoutAStoreLeavesTheUsersFileAsItWas) {
  Home home;
  EXPECT_EQ(run(home, "-transient set color red"), "");
  EXPECT_FALSE(fs::exists(home.dir / "vwexusr1.vr"));
  writeStore(home.dir / "vuser.vr", {{"color", "old"}});
  EXPECT_EQ(run(home, "-transient get color"), "color=-\n");
  EXPECT_FALSE(fs::exists(home.dir / "vwexusr1.vr"));
  fs::remove(home.dir / "vuser.vr");
  EXPECT_EQ(run(home, "set color blue"), "");
  const auto bytes = [&] {
    std::ifstream in(home.dir / "vwexusr1.vr", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string saved = bytes();
  const auto stamp = fs::last_write_time(home.dir / "vwexusr1.vr");
  EXPECT_EQ(run(home, "-transient get color"), "color=-\n");
  EXPECT_EQ(run(home, "-transient set color green"), "");
  EXPECT_EQ(bytes(), saved);
  EXPECT_EQ(fs::last_write_time(home.dir / "vwexusr1.vr"), stamp);
  EXPECT_EQ(run(home, "get color"), "color=blue\n");
}

TEST(ApplicationProbe, OldStoreIsCarriedOver) {
  Home home;
  writeStore(home.dir / "vuser.vr", {{"color", "old"}});
  EXPECT_EQ(run(home, "get color"), "color=old\n");
  EXPECT_TRUE(fs::exists(home.dir / "vwexusr1.vr"));
  fs::remove(home.dir / "vuser.vr");
  EXPECT_EQ(run(home, "get color"), "color=old\n");  // now from the new store
}

TEST(ApplicationProbe, DamagedStoreIsKeptAside) {
  Home home;
  {
    std::ofstream bad(home.dir / "vwexusr1.vr");
    bad << "not a store";
  }
  EXPECT_EQ(run(home, "set color red"), "");
  EXPECT_EQ(run(home, "get color"), "color=red\n");
  std::ifstream kept(home.dir / "vwexusr1.vr.bad");
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "not a store");
}

// A store whose "Preferences", "ApplicationPreferences" or the program's
// own entry is of another kind, in either file format: the program starts,
// the entry counts as missing, the file is kept aside as a damaged one is,
// and the new file keeps every sound entry.
TEST(ApplicationProbe, AStoreEntryOfAnotherKindCountsAsMissing) {
  const std::string prefs = "Preferences = dictionary { color = string \"old\" }\n";
  // Left open for one more entry.
  const std::string appsOpen = "ApplicationPreferences = dictionary { other = dictionary { keep = string \"yes\" }\n";
  struct Case {
    const char* what;
    std::string text;
    const char* before;  // the color the program sees at start
    bool otherKept;
    bool chunkToo = true;  // a chunk file takes an entry of no kind as a dictionary
  } cases[] = {
      {"Preferences", "Preferences = integer 3\n" + appsOpen + "}\n", "color=-\n", true},
      {"ApplicationPreferences", prefs + "ApplicationPreferences = integer 3\n", "color=old\n", false},
      {"own entry", prefs + appsOpen + "app_probe = string \"x\" }\n", "color=old\n", true},
      // Entries of no kind, which a preference level cannot take either.
      {"untyped Preferences", "Preferences = untyped\n" + appsOpen + "}\n", "color=-\n", true, false},
      {"untyped ApplicationPreferences", prefs + "ApplicationPreferences = untyped\n", "color=old\n", false, false},
      {"untyped own entry", prefs + appsOpen + "app_probe = untyped }\n", "color=old\n", true, false},
  };
  for (const Case& k : cases) {
    for (bool chunk : {true, false}) {
      if (chunk && !k.chunkToo) continue;
      SCOPED_TRACE(std::string(k.what) + (chunk ? " in a chunk file" : " in a .vr file"));
      Home home;
      const fs::path file = home.dir / "vwexusr1.vr";
      if (chunk) {
        vfsPath* p = vfsNewPathFromString(file.c_str());
        vresource root = vresourceCreateFile(p, 0600), text = vrstoreCreateMemory();
        std::string error;
        EXPECT_TRUE(vrtextParse(k.text.c_str(), text, &error)) << error;
        vresourceCopyContents(text, root);
        vresourceCloseFile(root);
        vresourceCloseFile(text);
        vfsFreePath(p);
      } else {
        std::ofstream(home.dir / "store.txt") << k.text;
        ASSERT_EQ(run(home, "build store.txt vwexusr1.vr", VRTOOL), "");
      }
      const auto bytes = [](const fs::path& f) {
        std::ifstream in(f, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
      };
      const std::string original = bytes(file);
      EXPECT_EQ(run(home, "get color"), k.before);
      EXPECT_EQ(bytes(home.dir / "vwexusr1.vr.bad"), original);
      EXPECT_EQ(run(home, "set color red"), "");
      EXPECT_EQ(run(home, "get color"), "color=red\n");
      vfsPath* p = vfsNewPathFromString(file.c_str());
      vresource saved = vresourceLoadFile(p);
      vfsFreePath(p);
      vresource apps, other;
      std::int32_t kinds = 0;
      for (const char* name : {"Preferences", "ApplicationPreferences"})
        kinds += vresourceGetType(saved, key(name)) == vresDICTIONARY;
      EXPECT_EQ(kinds, 2);
      ASSERT_TRUE(vresourceTestGet(saved, key("ApplicationPreferences"), &apps));
      EXPECT_EQ(vresourceGetType(apps, key("app_probe")), vresDICTIONARY);
      EXPECT_EQ(vresourceTestGet(apps, key("other"), &other) != 0, k.otherKept);
      vresourceCloseFile(saved);
    }
  }
}

// A pipe, a link to a device without end or a file of gigabytes at either
// store's name counts as a file that cannot be opened: start-up goes on at
// once in little memory; the user store's odd file is moved aside at exit,
// the old store's is left alone.
TEST(ApplicationProbe, OddStoreFilesNeverStopStartUp) {
#if defined(__SANITIZE_ADDRESS__)
  const std::string limit = "";  // the sanitizer's shadow needs the address space
#else
  const std::string limit = "ulimit -v 204800; ";
#endif
  struct Kind {
    const char* what;
    void (*make)(const fs::path&);
  } kinds[] = {
      {"pipe", [](const fs::path& f) { ASSERT_EQ(mkfifo(f.c_str(), 0600), 0); }},
      {"link to /dev/zero", [](const fs::path& f) { fs::create_symlink("/dev/zero", f); }},
      {"3 GB sparse file", [](const fs::path& f) {
         std::ofstream(f) << "x";
         fs::resize_file(f, std::uintmax_t(3) << 30);
       }},
  };
  for (const char* name : {"vwexusr1.vr", "vuser.vr"}) {
    for (const Kind& k : kinds) {
      SCOPED_TRACE(std::string(name) + ": " + k.what);
      Home home;
      fs::path odd = home.dir / name;
      k.make(odd);
      fs::file_type type = fs::symlink_status(odd).type();
      // A wait ends in the timeout ("[failed]"); reading the odd file costs
      // seconds of processor time.
      const double before = childSeconds();
      EXPECT_EQ(run(home, "-c \"" + limit + "exec timeout 20 '" APP_PROBE "' set color odd\"", "/bin/sh"), "");
      EXPECT_LT(childSeconds() - before, 2.0);
      EXPECT_EQ(run(home, "-c \"exec timeout 20 '" APP_PROBE "' get color\"", "/bin/sh"), "color=odd\n");
      bool user = std::string(name) == "vwexusr1.vr";
      EXPECT_EQ(fs::exists(fs::symlink_status(home.dir / "vwexusr1.vr.bad")), user);
      fs::path kept = user ? home.dir / "vwexusr1.vr.bad" : odd;  // moved aside, or left alone
      EXPECT_EQ(fs::symlink_status(kept).type(), type);
    }
  }
}

// "app_probe wait KEY VALUE" in a fresh process, its standard input and
// output on pipes.
struct Waiting {
  pid_t pid = -1;
  int in = -1;
  std::FILE* out = nullptr;
  Waiting(const Home& home, const char* key, const char* value) {
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) return;
    pid = fork();
    if (pid == 0) {
      dup2(toChild[0], 0);
      dup2(fromChild[1], 1);
      for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) close(fd);
      if (chdir(home.dir.c_str()) != 0) _exit(99);
      setenv("HOME", home.dir.c_str(), 1);
      execl(APP_PROBE, APP_PROBE, "wait", key, value, static_cast<char*>(nullptr));
      _exit(98);
    }
    close(toChild[0]);
    close(fromChild[1]);
    in = toChild[1];
    out = fdopen(fromChild[0], "r");
  }
  std::string line() {
    char text[64] = "";
    return out && std::fgets(text, sizeof text, out) ? text : "";
  }
  int finish() {  // the wait status
    close(in);
    int status = 0;
    waitpid(pid, &status, 0);
    std::fclose(out);
    return status;
  }
};

double msSince(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

// One SIGTERM sent twice (timeout(1) signals the process, then its group)
// is one request: the program ends as usual and saves the store, even when
// the copy comes after the first was seen. A signal sent well after the
// first ends a shutdown that takes its time at once.
TEST(ApplicationProbe, ASignalSentTwiceStillSavesTheStore) {
  for (bool later : {false, true}) {
    SCOPED_TRACE(later ? "a later signal" : "the same signal twice");
    Home home;
    Waiting probe(home, "color", "kept");
    ASSERT_EQ(probe.line(), "waiting\n");
    const auto first = std::chrono::steady_clock::now();
    kill(probe.pid, SIGTERM);
    ASSERT_EQ(probe.line(), "ended\n");
    if (later)
      while (msSince(first) < 300) usleep(50000);
    const double gap = msSince(first);
    kill(probe.pid, SIGTERM);
    const int status = probe.finish();
    if (later) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    } else if (gap < 150) {  // else the machine stalled too long to tell
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      EXPECT_EQ(run(home, "get color"), "color=kept\n");
    }
  }
}

// A store of 20,000 entries of 500 bytes each, as the saves at exit read and
// write it, and the answer `get` gives for a spread of its keys.
constexpr int kLargeEntries = 20000;
const std::string kLargeValue(500, 'v');

void writeLargeStore(const fs::path& file) {
  vresource memory = vresourceCreateMemory();
  vresource dict = vresourceCreate(memory, vname_Preferences, vresDICTIONARY);
  for (int i = 0; i < kLargeEntries; ++i)
    vresourceSetString(dict, vnameIntern(vscribeCString(("k" + std::to_string(i)).c_str())),
                       vscribeCString(kLargeValue.c_str()));
  vfsPath* p = vfsNewPathFromString(file.c_str());
  vresourceCloseFile(vresourceSaveFile(memory, p, 0600));
  vresourceCloseFile(memory);
  vfsFreePath(p);
}

std::pair<std::string, std::string> largeKeysAndAnswer() {
  std::string keys, answer;
  for (int i : {0, 1, 2, 4095, 4096, 9999, 12345, 16383, 16384, 16385, 19998, 19999}) {
    keys += " k" + std::to_string(i);
    answer += "k" + std::to_string(i) + "=" + kLargeValue + "\n";
  }
  return {keys, answer};
}

// Each run of the probe saves the store at its exit: saved again and again,
// a large store keeps its entries and does not grow out of what loads.
TEST(ApplicationProbe, ALargeStoreKeepsItsEntriesThroughManySaves) {
  Home home;
  const fs::path file = home.dir / "vwexusr1.vr";
  writeLargeStore(file);
  const auto [keys, answer] = largeKeysAndAnswer();
  std::uintmax_t saved = 0;
  for (int save = 0; save < 4; ++save) {
    SCOPED_TRACE("save " + std::to_string(save));
    ASSERT_EQ(run(home, "get" + keys), answer);
    ASSERT_FALSE(fs::exists(home.dir / "vwexusr1.vr.bad"));
    if (save == 1) saved = fs::file_size(file);
  }
  EXPECT_EQ(fs::file_size(file), saved);
}

// A second quit signal that comes while a large store is being written
// waits for the write: the program then ends by it, and the store loads
// whole. The save is seen to have begun by the chunk file's "open for
// writing" mark, which its first change writes at once.
TEST(ApplicationProbe, ASecondSignalDuringTheSaveWaitsForIt) {
  Home home;
  const fs::path file = home.dir / "vwexusr1.vr";
  writeLargeStore(file);
  const auto marked = [&] {
    std::ifstream in(file, std::ios::binary);
    char first = 0;
    return in.get(first) && (static_cast<unsigned char>(first) & 0x20) != 0;
  };
  ASSERT_FALSE(marked());
  Waiting probe(home, "color", "kept");
  ASSERT_EQ(probe.line(), "waiting\n");
  const auto first = std::chrono::steady_clock::now();
  kill(probe.pid, SIGTERM);
  ASSERT_EQ(probe.line(), "ended\n");
  // The probe waits on its input before it exits: past the time within
  // which a second signal counts as a copy of the first, it goes on.
  while (msSince(first) < 300) usleep(50000);
  close(probe.in);  // on to the exit and its save
  probe.in = -1;
  bool begun = false;
  for (int status = 0; !(begun = marked());) {
    if (waitpid(probe.pid, &status, WNOHANG) == probe.pid) FAIL() << "ended before the save was seen: " << status;
    usleep(1000);
  }
  kill(probe.pid, SIGTERM);
  const int status = probe.finish();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_FALSE(marked());
  EXPECT_FALSE(fs::exists(home.dir / "vwexusr1.vr.bad"));
  EXPECT_EQ(run(home, "get color"), "color=kept\n");
  const auto [keys, answer] = largeKeysAndAnswer();
  EXPECT_EQ(run(home, "get" + keys), answer);
}

// Another process holding the lock on the home folder delays the start and
// the save by a few seconds only: the program reads without it, says so,
// and leaves the store as it was rather than write over the holder.
TEST(ApplicationProbe, AHeldHomeLockDelaysTheProgramOnlyAWhile) {
  Home home;
  writeStore(home.dir / "vwexusr1.vr", {{"color", "old"}});
  const int held = open(home.dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  const std::string said = run(home, "-c \"exec timeout 60 '" APP_PROBE "' set color new\"", "/bin/sh");
  EXPECT_NE(said.find("app_probe: another program has held the lock on " + home.dir.string()), std::string::npos) << said;
  EXPECT_NE(said.find(": preferences read without it\n"), std::string::npos) << said;
  EXPECT_NE(said.find(": preferences not saved\n"), std::string::npos) << said;
  EXPECT_EQ(said.find("[failed]"), std::string::npos) << said;
  const std::string got = run(home, "-c \"exec timeout 60 '" APP_PROBE "' get color\"", "/bin/sh");
  EXPECT_NE(got.find("color=old\n"), std::string::npos) << got;
  close(held);
  EXPECT_EQ(run(home, "set color new"), "");
  EXPECT_EQ(run(home, "get color"), "color=new\n");
}

// Programs ending together take turns on the store: none finds it damaged,
// and the last one's value stands.
TEST(ApplicationProbe, ProgramsEndingTogetherKeepTheStoreWhole) {
  Home home;
  EXPECT_EQ(run(home, "set color start"), "");
  std::string many;
  for (int i = 0; i < 24; ++i) many += "'" APP_PROBE "' set color c" + std::to_string(i % 3) + " & ";
  EXPECT_EQ(run(home, "-c \"" + many + "wait\"", "/bin/sh"), "");
  EXPECT_FALSE(fs::exists(home.dir / "vwexusr1.vr.bad"));
  std::string color = run(home, "get color");
  EXPECT_TRUE(color == "color=c0\n" || color == "color=c1\n" || color == "color=c2\n") << color;
}

}  // namespace

namespace {

TEST(ApplicationPreferences, SchemesAndClassPreferencesAfterTheLevels) {
  vapplication* app = vapplicationGetDefault();
  vapplicationClassRec* c = vapplicationClassOf(app);
  vresource file = vrstoreCreateMemory();
  vresource prefs = vresourceCreate(file, vname_Preferences, vresDICTIONARY);
  std::string error;
  ASSERT_TRUE(vrtextParse(R"(
    colorschemedict = dictionary {
      bright = dictionary { ShadowTop = dictionary { vcolorComponent1 = integer 100 } }
      look = dictionary { BackgroundHilite = dictionary { vcolorComponent1 = integer 300 } }
      mac = dictionary { ColorBorder = dictionary { vcolorComponent1 = integer 400 } }
    }
    colorscheme = string "bright"
    laf = string "look"
    Colors = dictionary { ShadowBottom = dictionary { vcolorComponent1 = integer 200 } }
    Classes = dictionary { vapplication = dictionary {
      colorscheme = string "bright"
      Colors = dictionary { ColorFocus = dictionary { vcolorComponent1 = integer 500 } }
    } }
  )", prefs, &error)) << error;
  c->setResourceFile(app, file);
  auto red = [](vcolor* k) { return k ? static_cast<int>(k->desc.component[0]) : -1; };
  EXPECT_EQ(red(app->scheme.mask & vcolorSchemeBit(4) ? app->scheme.entries[4] : nullptr), 100);
  EXPECT_EQ(red(app->scheme.mask & vcolorSchemeBit(6) ? app->scheme.entries[6] : nullptr), 200);
  EXPECT_EQ(red(app->scheme.mask & vcolorSchemeBit(10) ? app->scheme.entries[10] : nullptr), 300);
  EXPECT_FALSE(app->scheme.mask & vcolorSchemeBit(16));
  // The class keeps black on white and gains what its own preferences name.
  EXPECT_EQ(c->scheme.entries[0], vcolorGetBlack());
  EXPECT_EQ(red(c->scheme.entries[4]), 100);
  EXPECT_EQ(red(c->scheme.entries[18]), 500);
  EXPECT_EQ(c->scheme.mask, vcolorSchemeBit(0) | vcolorSchemeBit(2) | vcolorSchemeBit(4) | vcolorSchemeBit(18));

  // "mac" names no scheme to load.
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), "mac");
  app->scheme = vcolorScheme{};
  vapplicationLoadPreferences(app, 7);
  EXPECT_FALSE(app->scheme.mask & vcolorSchemeBit(16));
  EXPECT_FALSE(app->scheme.mask & vcolorSchemeBit(10));
  EXPECT_TRUE(app->scheme.mask & vcolorSchemeBit(4));
}

}  // namespace
