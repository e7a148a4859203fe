// Help windows as the client side of a help server: window ids and their
// wrap, the default and global windows, each request sent as its statement
// with the reply turned into status codes, "Close Window" both ways, and
// finding (or not finding) a server through its marker file and PATH.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/data/datatag.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/services/service.h"
#include "fw/widgets/choosers/help.h"
#include "fw/widgets/dialog_support.h"
#include "platform/win/kernel.h"
#include "tests/support/test_environment.h"

namespace {

namespace fs = std::filesystem;

// The process's own home and program folder, set before anything reads
// them (the home is read once per process), so that no real home is
// touched and no other test's marker file is seen.
fs::path folder(const char* variable) {
  const char* value = std::getenv(variable);
  return value ? fs::path(value) : fs::path();
}
const fs::path helpHome = test_support::process_folder() / "help_home";
const fs::path helpBin = test_support::process_folder() / "help_bin";
bool ownFolders() { return folder("HOME") == helpHome && folder("PATH") == helpBin; }
struct OwnFolders : ::testing::Environment {
  void SetUp() override {
    fs::create_directories(helpHome);
    fs::create_directories(helpBin);
    setenv("HOME", helpHome.c_str(), 1);
    setenv("PATH", helpBin.c_str(), 1);
  }
};
[[maybe_unused]] ::testing::Environment* const ownFolders_ = ::testing::AddGlobalTestEnvironment(new OwnFolders);

// The application and its stores live until the exit handlers run, as in a
// real program; run them at the end so that nothing is left for the leak checker.
struct RunExitHandlersAtEnd : ::testing::Environment {
  void TearDown() override { vsysRunExitHandlers(); }
};
[[maybe_unused]] ::testing::Environment* const exitAtEnd =
    ::testing::AddGlobalTestEnvironment(new RunExitHandlersAtEnd);

std::vector<std::int32_t> codes;
void record(vhelpRoot*, std::int32_t code) { codes.push_back(code); }

// A session that keeps what is sent to it for the test to answer.
std::vector<vsessionStatement*> sent;
vsession* recordingSession() {
  static vsessionClassRec* cls = [] {
    auto* c = vclassSpawnOf<vsessionClassRec>(vsessionGetDefaultClass());
    vclassSetName(c, vscribeLiteral("helpTestSession"));
    c->send = [](vsession*, vsessionStatement* s) { sent.push_back(s); };
    return c;
  }();
  return static_cast<vsession*>(vinstanceCreate(cls));
}

struct Help : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(ownFolders());
    fs::remove(folder("HOME") / "vhelpsrv.tmp");
    vrstoreInstallInterface();
    startDialogItemTests();
    win::UseVirtualClock(true);
    codes.clear();
    sent.clear();
  }
  void TearDown() override { win::UseVirtualClock(false); }
  static void answer(vsessionStatement* s, std::int32_t kind, int bits = -1) {
    if (bits >= 0) s->result = vdatatagCreateScrapWithValue(vdatatagGetPredefined(vdatatagUNSIGNED_SHORT), bits);
    vsessionReply reply{kind};
    vsessionStatementComplete(s, &reply);
  }
};

TEST_F(Help, WindowIdsWrapPastTheLargestAndSkipThoseInUse) {
  vhelpRootClassRec* cls = vhelpWexlinWindowGetDefaultClass();
  auto make = [&] { return static_cast<vhelpWexlinWindow*>(vinstanceCreate(cls)); };
  vhelpWexlinWindow* first = make();
  vhelpWexlinWindow* second = make();
  EXPECT_EQ(first->id, 1);
  EXPECT_EQ(second->id, 2);
  _vhelpSetNextId(0x7FFFFFFF);
  vhelpWexlinWindow* last = make();
  vhelpWexlinWindow* wrapped = make();
  EXPECT_EQ(last->id, 0x7FFFFFFF);
  EXPECT_EQ(wrapped->id, 3) << "1 and 2 are in use";
  EXPECT_EQ(vhelpFindWindow(3), wrapped);
  vinstanceDestroy(second);
  EXPECT_EQ(vhelpFindWindow(2), nullptr);
  // The default window is -1, made once; the global window is asked of
  // the default class each time unless one is set.
  vhelpRoot* global = vhelpGetGlobalWindow();
  EXPECT_EQ(static_cast<vhelpWexlinWindow*>(global)->id, -1);
  EXPECT_EQ(vhelpGetGlobalWindow(), global);
  vhelpSetGlobalWindow(first);
  EXPECT_EQ(vhelpGetGlobalWindow(), first);
  vhelpSetDefaultClass(vhelpRootGetDefaultClass());
  EXPECT_EQ(vhelpGetGlobalWindow(), first) << "still of the class";
  vinstanceDestroy(first);
  EXPECT_EQ(vhelpGetGlobalWindow(), nullptr) << "the root makes no window";
  vhelpSetDefaultClass(nullptr);
  std::string message;
  vexGuard([&] { vhelpGetGlobalWindow(); },
           [&](vexHandler& h) {
             message = vexGetCurrentException()->message;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(message, "attempt to get the default global window when the default class wasn't set");
  vhelpSetDefaultClass(cls);
  EXPECT_STREQ(vhelpGetHelpName(), "unnamed");
  for (vhelpWexlinWindow* w : {last, wrapped}) vinstanceDestroy(w);
}

TEST_F(Help, EachRequestIsAStatementWhoseReplyBecomesACode) {
  vsession* session = recordingSession();
  _vhelpAdoptSession(session);
  auto* w = static_cast<vhelpWexlinWindow*>(vinstanceCreate(vhelpWexlinWindowGetDefaultClass()));
  vhelpSetNotify(w, record);
  vfsPath* path = vfsNewPathFromString("/tmp/sim.vhs");
  const char* nested[] = {"Registers", "Windows"};
  struct Case {
    const char* operation;
    void (*send)(vhelpRoot*, vfsPath*, const char* const*);
    std::int32_t kind;
    int bits;
    std::vector<std::int32_t> codes;
  } cases[] = {
      {"Open TOC", [](vhelpRoot* x, vfsPath*, const char* const*) { vhelpOpenTOC(x, nullptr); }, 0, -1, {6}},
      {"Open TOC", [](vhelpRoot* x, vfsPath*, const char* const*) { vhelpOpenTOC(x, nullptr); }, 1, -1, {-13}},
      {"Open TOC", [](vhelpRoot* x, vfsPath*, const char* const*) { vhelpOpenTOC(x, nullptr); }, 2, -1, {-12}},
      {"Close Window", [](vhelpRoot* x, vfsPath*, const char* const*) { vhelpCloseWindow(x); }, 0, -1, {}},
      {"Close Window", [](vhelpRoot* x, vfsPath*, const char* const*) { vhelpCloseWindow(x); }, 3, -1, {-12}},
      {"Open File", [](vhelpRoot* x, vfsPath* p, const char* const*) { vhelpOpenFile(x, p, 0, nullptr); }, 0, 3,
       {1, 5}},
      {"Open File", [](vhelpRoot* x, vfsPath* p, const char* const*) { vhelpOpenFile(x, p, 0, nullptr); }, 1, -1,
       {-13}},
      {"Switch Keyword", [](vhelpRoot* x, vfsPath*, const char* const*) { vhelpSwitchKeyword(x, "go", nullptr); }, 0,
       1, {1, -12}},
      {"Switch Keyword",
       [](vhelpRoot* x, vfsPath*, const char* const*) { vhelpSwitchKeywordScribe(x, vscribeLiteral("go"), nullptr); },
       0, 2, {4}},
      {"Switch Nested Contexts",
       [](vhelpRoot* x, vfsPath*, const char* const* n) { vhelpSwitchNestedContexts(x, n, 2, nullptr); }, 0, 2, {3}},
      {"Switch Nested Contexts",
       [](vhelpRoot* x, vfsPath*, const char* const*) { vhelpSwitchContext(x, "Registers", nullptr); }, 0, 0, {-12}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.operation) + " reply " + std::to_string(k.kind));
    codes.clear();
    sent.clear();
    k.send(w, path, nested);
    ASSERT_EQ(sent.size(), 1u);
    vsessionStatement* s = sent[0];
    EXPECT_STREQ(s->operation->tag, k.operation);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(s->client), w->id);
    EXPECT_TRUE(s->state & vsessionStatementDESTROY_WHEN_DONE);
    answer(s, k.kind, k.bits);
    EXPECT_EQ(codes, k.codes);
  }
  EXPECT_TRUE(w->flags & vhelpWINDOW_OPEN) << "a reply's bit 0";
  // The server closing the window: its "Close Window" call clears the flag
  // and notifies 2; destroying the window then sends nothing.
  codes.clear();
  sent.clear();
  vservicePrimitive* closing = vserviceFindPrimitive(session->service, vnameInternLiteral("Close Window"));
  ASSERT_NE(closing, nullptr);
  vinstance* args = vdatatagCreateListScrapWithValue(&closing->signature->arguments, int(w->id));
  closing->handler(closing, session, args);
  vinstanceDestroy(args);
  EXPECT_EQ(codes, std::vector<std::int32_t>{2});
  EXPECT_FALSE(w->flags & vhelpWINDOW_OPEN);
  vinstanceDestroy(w);
  EXPECT_TRUE(sent.empty());
  // A window the server still shows is closed there when destroyed.
  auto* open = static_cast<vhelpWexlinWindow*>(vinstanceCreate(vhelpWexlinWindowGetDefaultClass()));
  open->flags |= vhelpWINDOW_OPEN;
  std::int32_t id = open->id;
  vinstanceDestroy(open);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_STREQ(sent[0]->operation->tag, "Close Window");
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(sent[0]->client), id);
  answer(sent[0], 0);
  // The session going away with code 2 leaves the next request to find a server.
  std::int32_t gone = 2;
  session->notify(session, &gone);
  EXPECT_EQ(vhelpGetSession(0), nullptr);
  vfsFreePath(path);
  vinstanceDestroy(session);
}

TEST_F(Help, WithoutAServerOnThePathARequestReportsAtOnce) {
  auto* w = static_cast<vhelpWexlinWindow*>(vinstanceCreate(vhelpWexlinWindowGetDefaultClass()));
  vhelpSetNotify(w, record);
  vhelpPing(w);
  EXPECT_TRUE(codes.empty()) << "a ping never starts the server";
  vhelpSwitchKeyword(w, "go", nullptr);
  EXPECT_EQ(codes, std::vector<std::int32_t>{-11});
  EXPECT_FALSE(fs::exists(folder("HOME") / "vhelpsrv.tmp"));
  // A server that never writes its marker: twelve looks a second apart,
  // on the virtual clock.
  fs::path fake = folder("PATH") / "vhelpsrv";
  std::ofstream(fake) << "#!/bin/sh\nexit 0\n";
  fs::permissions(fake, fs::perms::owner_all);
  codes.clear();
  const win::ULONGLONG virtualBegan = win::GetTickCount64();
  auto began = std::chrono::steady_clock::now();
  vhelpOpenTOC(w, nullptr);
  EXPECT_GE(win::GetTickCount64() - virtualBegan, 11000u) << "the looks waited on the virtual clock";
  // Waits on the real clock would have taken as long again.
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(11));
  EXPECT_EQ(codes, std::vector<std::int32_t>{-11});
  fs::remove(fake);
  vinstanceDestroy(w);
}

TEST_F(Help, TheMarkerFileNamesTheServerOrIsDeleted) {
  fs::path marker = folder("HOME") / "vhelpsrv.tmp";
  EXPECT_STREQ(vfsPathToString(vhelpGetMarkerPath()), marker.c_str());
  EXPECT_FALSE(vhelpServerPresent());
  EXPECT_EQ(vhelpServerConnect(0), vresource(0)) << "nothing started without start";
  // A readable marker is used as it is.
  vresource root = vrstoreCreateMemory();
  std::string error;
  ASSERT_TRUE(vrtextParse("Help = dictionary { Transport = string \"tcp\" Location = string \"127.0.0.1\" "
                          "Port = string \"40123\" }",
                          root, &error))
      << error;
  vfsPath* path = vfsNewPathFromString(marker.c_str());
  vrstoreCloseFile(vrstoreSaveFile(root, path, 0));
  vrstoreCloseFile(root);
  EXPECT_TRUE(vhelpServerPresent());
  vresource help = vhelpServerConnect(1);
  ASSERT_NE(help, vresource(0));
  vstr* port = nullptr;
  ASSERT_TRUE(vresourceTestGetStringCopy(help, vnameInternLiteral("Port"), &port));
  EXPECT_STREQ(port, "40123");
  vstrDestroy(port);
  // A marker naming a port where nothing listens: the session cannot open,
  // and its event forgets both the session and the marker.
  root = vrstoreCreateMemory();
  ASSERT_TRUE(vrtextParse("Help = dictionary { Transport = tag tcp Location = string \"127.0.0.1\" "
                          "Port = string \"1\" }",
                          root, &error))
      << error;
  vrstoreCloseFile(vrstoreSaveFile(root, path, 0));
  vrstoreCloseFile(root);
  EXPECT_EQ(vhelpGetSession(0), nullptr);
  EXPECT_FALSE(fs::exists(marker)) << "the next request starts a server";
  // A marker without a readable "Help" goes, so that the next request
  // starts a new server.
  std::ofstream(marker, std::ios::trunc) << "not a resource file\n";
  EXPECT_TRUE(vhelpServerPresent());
  EXPECT_EQ(vhelpServerConnect(0), vresource(0));
  EXPECT_FALSE(fs::exists(marker));
  // Nor is a FIFO in its place waited on (nobody writes it, so a plain open
  // would block for good): it goes too. The alarm turns a block into a failure.
  ASSERT_EQ(mkfifo(marker.c_str(), 0600), 0);
  alarm(20);
  EXPECT_TRUE(vhelpServerPresent());
  EXPECT_EQ(vhelpServerConnect(0), vresource(0));
  alarm(0);
  EXPECT_FALSE(fs::exists(marker));
  vfsFreePath(path);
}

// A program that ends while its help session is open closes that
// session, which its client service owns, and never destroys it as its
// user: the end of the context raises nothing and the server hears a close.
TEST_F(Help, TheEndOfTheProgramClosesTheHeldSession) {
  // A context of its own, holding only what help needs, so that ending it
  // runs help's end and nothing the other tests share.
  vmoduleContext* context = vmoduleCreateContext();
  vmoduleSetContext(context);
  static int closes = 0;
  closes = 0;
  auto* cls = vclassSpawnOf<vsessionClassRec>(vsessionGetDefaultClass());
  vclassSetName(cls, vscribeLiteral("helpClosingSession"));
  cls->close = [](vsession* s) {
    ++closes;
    s->flags = (s->flags & ~vsessionOPEN) | vsessionCLOSING;
  };
  auto* session = static_cast<vsession*>(vinstanceCreate(cls));
  session->flags = vsessionOPEN | vsessionHELD;  // as the server left it
  _vhelpAdoptSession(session);
  auto* w = static_cast<vhelpWexlinWindow*>(vinstanceCreate(vhelpWexlinWindowGetDefaultClass()));
  w->flags |= vhelpWINDOW_OPEN;
  bool quiet = vexTry([context] { vmoduleDestroyContext(context); });
  EXPECT_TRUE(quiet) << "the end of the context raised";
  EXPECT_EQ(closes, 1);
}

}  // namespace
