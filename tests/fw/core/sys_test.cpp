#include "fw/core/sys.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/mem.h"
#include "fw_support.h"

namespace {

std::vector<std::string> split(const char* line) {
  std::string text = line;
  int count = 0, capacity = 8;
  auto** vector = static_cast<char**>(vmemAlloc(sizeof(char*) * 8));
  _vsysMSWSplitCommandLine(text.data(), &vector, &count, &capacity);
  std::vector<std::string> args(vector, vector + count);
  EXPECT_EQ(vector[count], nullptr);
  EXPECT_GT(capacity, count);
  vmemFree(vector);
  return args;
}

TEST(CommandLine, QuoteRules) {
  using V = std::vector<std::string>;
  struct Case {
    const char* line;
    V args;
  } cases[] = {
      {R"(a "b c" d)", {"a", "b c", "d"}},
      {R"(a""b)", {"a\"\"b"}},
      {R"("x)", {"x"}},
      {"  a \t\t b   ", {"a", "b"}},
      {R"("" x)", {"", "x"}},
      {R"("a b"c)", {"a b", "c"}},
      {"", {}},
      {"1 2 3 4 5 6 7 8 9 10", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
  };
  for (const auto& c : cases) EXPECT_EQ(split(c.line), c.args) << c.line;
}

TEST(StartUp, ProgramNameFromArgv0) {
  struct Case {
    const char* path;
    const char* name;
  } cases[] = {{R"(C:\dir\prog.sim.exe)", "prog"}, {"/usr/bin/sim73500", "sim73500"}, {"./a.out", "a"},
               {"plain", "plain"}, {"dir/", ""}};
  for (const auto& c : cases) {
    char name[128];
    _vsysProgramNameFromPath(c.path, name, sizeof name);
    EXPECT_STREQ(name, c.name) << c.path;
  }
  std::string longName(300, 'n');
  char cut[128];
  _vsysProgramNameFromPath(longName.c_str(), cut, sizeof cut);
  EXPECT_EQ(std::strlen(cut), 127u);
}

TEST(StartUp, TaskWindowAndVersion) {
  vsysStartup();
  win::HWND w = vsysGetTaskWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(vsysIsNT());
  EXPECT_EQ(vsysGetVersion() & 0xFF, 4u);
  vsysSetProgramName("tester");
  char title[32];
  win::GetWindowTextA(w, title, sizeof title);
  EXPECT_STREQ(title, "tester");
  // The window keeps itself out of the way.
  win::SetWindowPos(w, nullptr, 100, 100, 300, 200, 0);
  win::RECT r;
  win::GetWindowRect(w, &r);
  EXPECT_EQ(r.left, -2);
  EXPECT_EQ(r.right - r.left, 1);
  EXPECT_EQ(win::SendMessageA(w, win::WM_MOUSEACTIVATE, 0, 0), win::MA_NOACTIVATEANDEAT);
  vsysHideTaskWindow();
  EXPECT_FALSE(win::IsWindowVisible(w));
  vsysShowTaskWindow();
  EXPECT_TRUE(win::IsWindowVisible(w));
}

TEST(StartUp, MainRunsWithArgsAndExitsWithItsStatus) {
  ChildRun r = runInChild([] {
    static char a0[] = "/opt/x/prog.bin", a1[] = "one", a2[] = "two words";
    static char* argv[] = {a0, a1, a2, nullptr};
    vsysMain(3, argv, [](int argc, char** av) {
      std::fprintf(stderr, "%s %d %s|%s|%d\n", vsysGetProgramName(), argc, av[1], av[2], av[3] == nullptr);
      return 7;
    });
  });
  EXPECT_EQ(r.status, 7);
  EXPECT_EQ(r.err, "prog 3 one|two words|1\n");
}

std::string order;
TEST(Exit, HandlersRunNewestFirstAndStackHolds32) {
  ChildRun r = runInChild([] {
    int pushed = 0;
    while (vsysAddExitHandler([] {}) == 0) ++pushed;
    std::fprintf(stderr, "full after %d\n", pushed);
    vsysRunExitHandlers();
    vsysAddExitHandler([] { std::fputs("first\n", stderr); });
    vsysAddExitHandler([] { std::fputs("second\n", stderr); });
    vsysAddExitHandler([] { std::fputs("third\n", stderr); });
    vsysExit(4);
  });
  EXPECT_EQ(r.status, 4);
  // The framework's own handlers of this process were on the stack before.
  EXPECT_NE(r.err.find("full after "), std::string::npos);
  EXPECT_NE(r.err.find("third\nsecond\nfirst\n"), std::string::npos);
}

TEST(Modules, SlotsBindAndContextsSwitch) {
  ChildRun r = runInChild([] {
    void** slot = vmoduleAllocSlot();
    auto* state = static_cast<int*>(vmoduleBindSlot(slot, sizeof(int)));
    *state = 11;
    const char* message = nullptr;
    vexGuard([&] { vmoduleBindSlot(slot, 4); }, [&](vexHandler& h) {
      message = vexGetCurrentException()->message;
      vexSetCurrentException(h.savedChain);
    });
    vmoduleContext* def = vmoduleGetCurrentContext();
    vmoduleContext* other = vmoduleCreateContext();  // becomes current, its slots empty
    bool emptyInOther = *slot == nullptr;
    *static_cast<int*>(vmoduleBindSlot(slot, sizeof(int))) = 22;
    vmoduleSetContext(def);
    int back = *static_cast<int*>(*slot);
    vmoduleSetContext(other);
    int again = *static_cast<int*>(*slot);
    vmoduleAddContextExitProc([] { std::fputs("context exit\n", stderr); });
    vmoduleDestroyContext(other);
    std::fprintf(stderr, "%s|%d|%d|%d|%d\n", message, emptyInOther, back, again, *static_cast<int*>(*slot));
    // The table holds its cells in a row; some were taken before.
    void** last = slot;
    vexGuard([&] {
      for (;;) last = vmoduleAllocSlot();
    },
             [&](vexHandler&) {
               std::fprintf(stderr, "%s %d\n", vexGetCurrentException()->message, last - slot < vmoduleSLOTS);
               std::exit(0);
             });
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "context exit\nmodule is already allocated|1|11|22|11\nmodule limit exceeded 1\n");
}

TEST(Modules, ShutdownRunsContextThenProcessExits) {
  ChildRun r = runInChild([] {
    vmoduleStartupAll(0, nullptr);
    vmoduleAddExitProc([] { std::fputs("process 1\n", stderr); });
    vmoduleAddExitProc([] { std::fputs("process 2\n", stderr); });
    vmoduleAddContextExitProc([] { std::fputs("context\n", stderr); });
    vsysExit(0);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "context\nprocess 2\nprocess 1\n");
}

TEST(Modules, StartupTableOrder) {
  int n = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  ASSERT_EQ(n, 68);
  EXPECT_STREQ(rows[0].name, "vprefStartup");
  EXPECT_STREQ(rows[1].name, "vapplicationGetDefaultClass");
  EXPECT_STREQ(rows[45].name, "vpoolStartup");
  EXPECT_NE(rows[45].fn, nullptr);
  EXPECT_STREQ(rows[67].name, "vwindowGetDefaultClass");
}

TEST(Registry, FileAndEnvironment) {
  std::filesystem::path dir = makeScratchDir();
  std::ofstream(dir / "registry") << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wexlin]\n"
                                     "Installed=no\n"
                                     "Install=/opt/wexlin\n"
                                     "Long=0123456789abcdef\n";
  setenv("WEXLIN_REGISTRY", (dir / "registry").c_str(), 1);
  setenv("FW_TEST_HOME", "/home/tester", 1);
  char buf[16];
  EXPECT_EQ(vsysMSWFindRegistryValue(win::HKEY_LOCAL_MACHINE, "software\\wexlin", "Install", buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "/opt/wexlin");
  EXPECT_EQ(vsysMSWFindRegistryValue(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Wexlin", "install", buf, sizeof buf), 0);
  EXPECT_EQ(vsysMSWFindRegistryValue(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", "Install", buf, sizeof buf), 0);
  // 17 bytes with its NUL: refused rather than cut.
  std::strcpy(buf, "kept");
  EXPECT_EQ(vsysMSWFindRegistryValue(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Wexlin", "Long", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "kept");
  EXPECT_EQ(vsysMSWFindRegistryValue(win::HKEY_CURRENT_USER, "Environment", "FW_TEST_HOME", buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "/home/tester");
  unsetenv("WEXLIN_REGISTRY");
  std::filesystem::remove_all(dir);
}

}  // namespace
