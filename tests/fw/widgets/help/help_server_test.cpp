// Help windows against the real help server in a second process: started
// through the program search, found through its marker file in a home of
// the test's own, on the real clock. The test only ever signals the
// process whose id the marker names, and only when it is a vhelpsrv.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/services/builtin.h"
#include "fw/services/raw_socket.h"
#include "fw/services/services_support.h"
#include "fw/widgets/choosers/help.h"
#include "fw/widgets/choosers/helpfile.h"
#include "fw/widgets/dialog_support.h"

namespace {

namespace fs = std::filesystem;

fs::path& home() {
  static fs::path h;
  return h;
}

// A home of its own and the build's programs first on PATH, before
// anything reads them (the home is read once per process); the current
// folder is the home too, whose "lib" the installation search tries.
struct OwnHome : ::testing::Environment {
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "vhelpsrv_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    home() = pattern;
    fs::create_directories(home() / "lib");
    setenv("HOME", home().c_str(), 1);
    const char* path = std::getenv("PATH");
    setenv("PATH", (std::string(HELP_PROGRAMS) + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
    setenv("WEXLINHOME", HELP_WEXLINHOME, 1);
    setenv("WEXLIN_BACKEND", "headless", 1);
    unsetenv("VHELPSRV_CLOSE_AFTER_MS");
    ASSERT_EQ(chdir(home().c_str()), 0);
  }
  void TearDown() override {
    vsysRunExitHandlers();
    std::error_code ignored;
    fs::remove_all(home(), ignored);
  }
};
[[maybe_unused]] ::testing::Environment* const ownHome = ::testing::AddGlobalTestEnvironment(new OwnHome);

std::vector<std::int32_t> codes;
void record(vhelpRoot*, std::int32_t code) { codes.push_back(code); }

fs::path marker() { return home() / "vhelpsrv.tmp"; }

// The process id the marker names, or -1.
pid_t serverProcess() {
  pid_t pid = -1;
  vfsPath* path = vfsNewPathFromString(marker().c_str());
  vexTry([&] {
    vresource root = vrstoreOpenFile(path, vfsOPEN_READ);
    vexTry([&] { pid = vresourceGetInteger(root, vnameInternLiteral("Process")); });
    vrstoreCloseFile(root);
  });
  vfsFreePath(path);
  return pid;
}

bool isHelpServer(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline");
  std::string command;
  std::getline(in, command, '\0');
  return fs::path(command).filename() == "vhelpsrv";
}

// Gone, or a zombie that its parent has not reaped yet.
bool exited(pid_t pid) {
  if (kill(pid, 0) != 0 && errno == ESRCH) return true;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(in, stat);
  std::size_t close = stat.rfind(')');
  return close == std::string::npos || (close + 2 < stat.size() && stat[close + 2] == 'Z');
}

// Loaded hosts and sanitizer builds are slow to start a program.
constexpr int kPatience = 30000;

bool waitFor(const std::function<bool()>& done) { return runEventsUntil(done, kPatience); }

struct HelpServer : ::testing::Test {
  vhelpWexlinWindow* keywords = nullptr;  // id 1
  vhelpRoot* files = nullptr;             // the default window, -1
  std::vector<pid_t> started;
  void SetUp() override {
    vrstoreInstallInterface();
    startDialogItemTests();
    std::ofstream(home() / "lib" / "srvtest.vhs")
        << "The simulator's help.\n@topic Registers\nThe accumulators a and b.\n"
           "@topic Breakpoints\nStop at an address.\n";
    std::ofstream(home() / "other.vhs") << "@topic Memory\nx, y and p spaces.\n";
    vhelpSetHelpName("srvtest");
  }
  // Whatever a failed run left running is ended here, and only that.
  void TearDown() override {
    for (pid_t pid : started)
      if (!exited(pid) && isHelpServer(pid)) kill(pid, SIGKILL);
  }
  pid_t noteServer() {
    pid_t pid = serverProcess();
    if (pid > 0) started.push_back(pid);
    return pid;
  }
};

TEST_F(HelpServer, StartedOnDemandServesWindowsAndLeavesWhenDone) {
  ASSERT_FALSE(fs::exists(marker()));
  keywords = static_cast<vhelpWexlinWindow*>(vinstanceCreate(vhelpWexlinWindowGetDefaultClass()));
  vhelpSetNotify(keywords, record);
  files = vhelpGetGlobalWindow();
  vhelpSetNotify(files, record);

  // The first request starts the server; the help file it then knows is
  // the one "Client Info" named.
  vhelpSwitchKeyword(keywords, "registers", nullptr);
  pid_t first = noteServer();
  ASSERT_GT(first, 0) << "the server wrote its marker";
  ASSERT_TRUE(isHelpServer(first));
  ASSERT_TRUE(waitFor([] { return codes.size() >= 2; }));
  EXPECT_EQ(codes, (std::vector<std::int32_t>{vhelpOPENED, vhelpKEYWORD_SHOWN}));
  EXPECT_TRUE(keywords->flags & vhelpWINDOW_OPEN);

  codes.clear();
  vfsPath* other = vfsNewPathFromString((home() / "other.vhs").c_str());
  vhelpOpenFile(files, other, 0, nullptr);
  ASSERT_TRUE(waitFor([] { return codes.size() >= 2; }));
  EXPECT_EQ(codes, (std::vector<std::int32_t>{vhelpOPENED, vhelpFILE_SHOWN}));
  // The same window again: shown, no new window.
  codes.clear();
  vhelpOpenFile(files, other, 0, nullptr);
  ASSERT_TRUE(waitFor([] { return !codes.empty(); }));
  EXPECT_EQ(codes, std::vector<std::int32_t>{vhelpFILE_SHOWN});

  // "Open File" made the other file the one topics come from.
  codes.clear();
  vhelpSwitchKeyword(keywords, "Registers", nullptr);
  vhelpSwitchContext(keywords, "Memory", nullptr);
  vhelpOpenTOC(keywords, nullptr);
  ASSERT_TRUE(waitFor([] { return codes.size() >= 3; }));
  EXPECT_EQ(codes, (std::vector<std::int32_t>{vhelpFAILED, vhelpCONTEXTS_SHOWN, vhelpTOC_SHOWN}));
  EXPECT_EQ(serverProcess(), first) << "one server for all";

  // The server answers the built-in ping plainly: no failure code comes.
  codes.clear();
  vhelpPing(keywords);
  runEventsUntil([] { return !codes.empty(); }, 1000);
  EXPECT_TRUE(codes.empty()) << codes.front();

  // SIGTERM: the server goes with its marker, the session event forgets
  // the session, and the next request starts a new server.
  ASSERT_EQ(kill(first, SIGTERM), 0);
  EXPECT_TRUE(waitFor([] { return !fs::exists(marker()) && vhelpGetSession(0) == nullptr; }));
  EXPECT_TRUE(waitFor([first] { return exited(first); }));

  setenv("VHELPSRV_CLOSE_AFTER_MS", "300", 1);
  codes.clear();
  vhelpOpenFile(files, other, 0, nullptr);
  unsetenv("VHELPSRV_CLOSE_AFTER_MS");
  pid_t second = noteServer();
  ASSERT_GT(second, 0);
  EXPECT_NE(second, first);
  // Its window closes by itself, and the server says so.
  ASSERT_TRUE(waitFor([] { return codes.size() >= 3; }));
  EXPECT_EQ(codes, (std::vector<std::int32_t>{vhelpOPENED, vhelpFILE_SHOWN, vhelpCLOSED}));
  EXPECT_FALSE(static_cast<vhelpWexlinWindow*>(files)->flags & vhelpWINDOW_OPEN);

  // The last client leaving with no window left ends the server.
  vinstanceDestroy(keywords);
  vsession* session = vhelpGetSession(0);
  ASSERT_NE(session, nullptr);
  vsessionClose(session);
  bool ended = runEventsUntil([second] { return exited(second); }, 5000);
  EXPECT_TRUE(ended) << "the server should leave within 5 s";
  if (ended) {
    EXPECT_FALSE(fs::exists(marker()));
  }
  vfsFreePath(other);
}

// The opening and one call of the built-in ping, as a session of our own
// sends them, caught on their way through a relay.
void captureCall(const std::string& port, std::string* opening, std::string* call) {
  RawRelay relay(port);
  ASSERT_FALSE(relay.port.empty());
  vsession* s = vsessionCreate();
  auto key = vsessionGetAttributeKey;
  vsessionSetAttribute(s, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral("tcp"));
  vsessionSetAttribute(s, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  vsessionSetAttribute(s, key(vsessionPORT), vsessionStringDatatag(), relay.port.c_str());
  vsessionOpen(s);
  ASSERT_TRUE(s->flags & vsessionOPEN);
  vsessionStatement* ping = vsessionStatementCreate();
  vsessionStatementSetSession(ping, s);
  vsessionStatementSetOperation(ping, vdasGetPingSignature());
  vsessionStatementSend(ping);
  vsysTime limit{30, 0};
  vsessionStatementWait(ping, &limit);
  ASSERT_EQ(vsessionStatementGetState(ping), vsessionStatementDONE);
  vsessionStatementDestroy(ping);
  std::string bytes = relay.sent();
  vsessionDestroy(s);
  // The magic, then frames of a 4-byte length and a body whose fifth byte
  // is the kind (1, a call).
  for (std::size_t at = 11; at + 9 <= bytes.size();) {
    auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    std::size_t length = std::size_t{b[0]} << 24 | std::size_t{b[1]} << 16 | std::size_t{b[2]} << 8 | b[3];
    if (b[8] == 1) {
      *opening = bytes.substr(0, at);
      *call = bytes.substr(at, 4 + length);
      break;
    }
    at += 4 + length;
  }
  ASSERT_FALSE(call->empty()) << "no call among " << bytes.size() << " bytes";
}

// A client that pipelines calls and reads no replies, until the server
// holds it back, then goes, closed or reset, as the last client: the
// server leaves as for any last client.
TEST_F(HelpServer, LeavesWhenItsLastClientGoesWhileHeldBack) {
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "closed");
    codes.clear();
    keywords = static_cast<vhelpWexlinWindow*>(vinstanceCreate(vhelpWexlinWindowGetDefaultClass()));
    vhelpSetNotify(keywords, record);
    setenv("VHELPSRV_CLOSE_AFTER_MS", "300", 1);
    vhelpSwitchKeyword(keywords, "registers", nullptr);
    unsetenv("VHELPSRV_CLOSE_AFTER_MS");
    pid_t server = noteServer();
    ASSERT_GT(server, 0);
    // Its window closed by itself: only clients keep it.
    ASSERT_TRUE(waitFor([] { return codes.size() >= 3; }));
    vsession* session = vhelpGetSession(0);
    ASSERT_NE(session, nullptr);
    char port[64] = {};
    vscribeGetStringBounded(vsessionGetAttributeScribe(session, vsessionGetAttributeKey(vsessionPORT)), port,
                            sizeof port);
    std::string opening, call;
    captureCall(port, &opening, &call);
    int fd = rawConnect(port, 64 * 1024);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(rawStuff(fd, opening, call, -1, 2000, nullptr));
    vinstanceDestroy(keywords);
    keywords = nullptr;
    vsessionClose(session);
    rawClose(fd, reset);
    EXPECT_TRUE(waitFor([server] { return exited(server); })) << "the server stayed";
    EXPECT_FALSE(fs::exists(marker()));
  }
}

TEST(HelpFiles, SectionsAndNames) {
  vhelpsrv::HelpFile f = vhelpsrv::ParseHelpFile(
      "intro\r\n@topics are not openers\n@topic  Run  Control \nstep\n\n"
      "@topic\n@topicX\nempty name\n@topic run control\n");
  EXPECT_EQ(f.preface, "intro\n@topics are not openers\n");
  ASSERT_EQ(f.topics.size(), 3u);
  EXPECT_EQ(f.topics[0].name, "Run  Control");
  EXPECT_EQ(f.topics[0].text, "step\n\n");
  EXPECT_EQ(f.topics[1].name, "");
  EXPECT_EQ(f.topics[1].text, "@topicX\nempty name\n");
  EXPECT_EQ(vhelpsrv::FindTopic(f, " RUN  control"), &f.topics[0]) << "the first of a name, any case";
  EXPECT_EQ(vhelpsrv::FindTopic(f, "RUN CONTROL"), &f.topics[2]);
  EXPECT_EQ(vhelpsrv::ContentsText(f), "Contents\n\nRun  Control\n\nrun control\n");
  EXPECT_EQ(vhelpsrv::WholeFileText(vhelpsrv::ParseHelpFile("a\n@topic B\nb\n")), "a\n\nB\n\nb\n");
  vhelpsrv::HelpFile missing;
  EXPECT_FALSE(vhelpsrv::LoadHelpFile((home() / "none.vhs").string(), &missing));
}

}  // namespace
