// Native chooser support: the preference, the placement record, placing
// native windows on the headless screen and listing directories.
#include "fw/widgets/choosers/nativechsr.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "fw/core/sys.h"
#include "fw/data/inst.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/msw.h"
#include "platform/win.h"
#include "tests/fw/widgets/look_support.h"
#include "tests/fw/widgets/widgets_support.h"

namespace {

namespace fs = std::filesystem;

TEST(NativeChoosers, PreferencesDecide) {
  struct Case {
    const char* all;        // "nonativechoosers"; null: as the framework file has it
    const char* own;        // the chooser's own preference
    const char* ownValue;
    int expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, 0},  // the framework file says "On"
      {nullptr, "nofilechooser", "Off", 0},
      {"on", nullptr, nullptr, 1},  // exact, case-sensitive
      {"On", nullptr, nullptr, 0},
      {"On ", nullptr, nullptr, 1},
      {"Off", "nofilechooser", "On", 0},
      {"Off", "nofilechooser", "ON", 1},
      {"Off", "nofilechooser", nullptr, 1},
      {"On", "nofilechooser", "Off", 0},
      {"", "nocolorchooser", "On", 0},
  };
  vresource file = vresourceGet(vinstGetSystemResource(), vnameInternLiteral("Preferences"));
  EXPECT_EQ(vresourceGetStringText(file, vnameInternLiteral("nonativechoosers")), "On");
  vapplicationGetCurrent();  // its preferences read the framework file
  EXPECT_EQ(vchooserMSWUseNative(nullptr), 0);
  for (const Case& c : cases) {
    FreshContext context;
    vprefDict* prefs = vprefGetDefaultDict();
    vprefDictPushResource(prefs, file);  // the level below the values set
    if (c.all) vprefSetString(prefs, vscribeCString("nonativechoosers"), c.all);
    if (c.own && c.ownValue) vprefSetString(prefs, vscribeCString(c.own), c.ownValue);
    EXPECT_EQ(vchooserMSWUseNative(c.own), c.expected)
        << (c.all ? c.all : "(file)") << " / " << (c.own ? c.own : "-") << "=" << (c.ownValue ? c.ownValue : "-");
  }
}

// The record as one line: title x y value flags.
std::string state(const vchooserMSWPlacement& p) {
  char text[64];
  std::snprintf(text, sizeof text, " %d %d %x %x", p.x, p.y, unsigned(p.value), unsigned(p.flags));
  return (p.title ? p.title : "(null)") + std::string(text);
}

TEST(NativeChoosers, PlacementRecord) {
  vchooserMSWPlacement p, q, src;
  vchooserMSWInitPlacement(&p);
  EXPECT_EQ(state(p), "(null) -1 -1 0 0");
  vchooserMSWSetPlacementPosition(&p, nullptr);
  EXPECT_EQ(state(p), "(null) -1 -1 0 1") << "set even without a point";
  vpoint at{-30, 400};
  vchooserMSWSetPlacementPosition(&p, &at);
  vchooserMSWSetPlacementValue(&p, 0xFFFFFFFFu);
  vchooserMSWSetPlacementTitle(&p, "Open Program");
  vchooserMSWSetPlacementTitle(&p, p.title);  // copied before the old one goes
  EXPECT_EQ(state(p), "Open Program -30 400 ffffffff 7");

  // Bits 0-2 follow the source one by one; the destination's others stay.
  vchooserMSWInitPlacement(&q);
  vchooserMSWSetPlacementTitle(&q, "old");
  q.flags |= 0x30;
  vchooserMSWInitPlacement(&src);
  vchooserMSWSetPlacementValue(&src, 7);
  src.flags |= 0x100;
  vchooserMSWCopyPlacement(&src, &q);
  EXPECT_EQ(state(q), "(null) -1 -1 7 34");
  vchooserMSWCopyPlacement(&p, &q);
  EXPECT_EQ(state(q), "Open Program -30 400 ffffffff 37");
  EXPECT_NE(q.title, p.title) << "a copy of its own";
  vchooserMSWCopyPlacement(&q, &q);
  EXPECT_EQ(state(q), "Open Program -30 400 ffffffff 37");
  vchooserMSWSetPlacementTitle(&q, nullptr);
  EXPECT_EQ(state(q), "(null) -30 400 ffffffff 35");
  vchooserMSWSetPlacementTitle(&p, nullptr);
}

// ---- Placing native windows on the 1024 x 768 headless screen.
struct Placing : ::testing::Test {
  static constexpr const char* kClass = "ChooserPlacing";
  void SetUp() override {
    vsysStartup();
    vwindowEnsureStartup();
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = win::DefWindowProcA;
    wc.lpszClassName = kClass;
    win::RegisterClassA(&wc);
  }
  void TearDown() override {
    for (win::HWND h : made) win::DestroyWindow(h);
    win::UnregisterClassA(kClass, nullptr);
  }
  win::HWND make(win::RECT r, win::HWND owner = nullptr) {
    win::HWND h = win::CreateWindowExA(0, kClass, "", win::WS_POPUP, r.left, r.top, r.right - r.left,
                                       r.bottom - r.top, owner, nullptr, nullptr, nullptr);
    made.insert(made.begin(), h);  // owned ones go first
    return h;
  }
  static win::RECT rectOf(win::HWND h) {
    win::RECT r{};
    win::GetWindowRect(h, &r);
    return r;
  }
  std::vector<win::HWND> made;
};

struct Expected {
  int x, y;
};
void expectAt(win::HWND h, Expected at, int w, int height, const std::string& what) {
  win::RECT r = Placing::rectOf(h);
  EXPECT_EQ(r.left, at.x) << what;
  EXPECT_EQ(r.top, at.y) << what;
  EXPECT_EQ(r.right - r.left, w) << what << ": the size stays";
  EXPECT_EQ(r.bottom - r.top, height) << what << ": the size stays";
}

TEST_F(Placing, CenterOnOwnerKeepsXOnTheScreenAndYBelowItsTop) {
  struct Case {
    const char* what;
    win::RECT owner;
    int w, h;
    Expected at;
  };
  const Case cases[] = {
      {"inside", {100, 100, 500, 400}, 200, 100, {200, 200}},
      {"odd room", {0, 0, 201, 101}, 100, 50, {50, 25}},
      {"past the right", {900, 100, 1300, 400}, 200, 100, {824, 200}},
      {"past the left", {-300, 100, -100, 300}, 300, 100, {0, 150}},
      {"above the top", {100, -200, 500, -100}, 200, 300, {200, 0}},
      {"below the bottom stays", {100, 700, 500, 1000}, 200, 100, {200, 800}},
      {"wider than the screen", {0, 0, 1024, 768}, 1100, 100, {0, 334}},
  };
  for (const Case& c : cases) {
    win::HWND owner = make(c.owner);
    win::HWND dialog = make({5, 5, 5 + c.w, 5 + c.h}, owner);
    vchooserMSWCenterOnOwner(dialog);
    expectAt(dialog, c.at, c.w, c.h, c.what);
  }
  win::HWND alone = make({-40, -50, 60, 50});
  vchooserMSWCenterOnOwner(alone);
  expectAt(alone, {-40, -50}, 100, 100, "without an owner nothing moves");
}

TEST_F(Placing, PlaceAtCountsYFromTheBottom) {
  ASSERT_EQ(vwindowGetRoot()->rect.height, 768);
  struct Case {
    const char* what;
    vpoint point;
    int w, h;
    Expected at;
  };
  const Case cases[] = {
      {"inside", {100, 500}, 200, 100, {100, 168}},
      {"past the right and the top", {950, 700}, 200, 100, {824, 0}},
      {"left of the screen", {-20, 0}, 200, 100, {0, 668}},
      {"below the bottom stays", {10, -50}, 200, 100, {10, 718}},
      {"wider than the screen", {300, 300}, 1100, 100, {0, 368}},
  };
  for (const Case& c : cases) {
    win::HWND dialog = make({5, 5, 5 + c.w, 5 + c.h});
    vchooserMSWPlaceAt(dialog, &c.point);
    expectAt(dialog, c.at, c.w, c.h, c.what);
  }
}

// ---- Directory listing.
TEST(NativeChoosers, PatternsWithTheSeparatorOfThePathRules) {
  struct Case {
    const vfsPathRules* rules;
    const char* directory;
    const char* pattern;
  };
  const Case cases[] = {
      {&vfsLinuxPathRules, "/tmp/x", "/tmp/x/*.*"},
      {&vfsLinuxPathRules, "/tmp/x/", "/tmp/x/*.*"},
      {&vfsLinuxPathRules, "/", "/*.*"},
      {&vfsLinuxPathRules, "a\\", "a\\/*.*"},  // "\" is an ordinary character here
      {&vfsWindowsPathRules, "C:\\work", "C:\\work\\*.*"},
      {&vfsWindowsPathRules, "C:\\", "C:\\*.*"},
  };
  const vfsPathRules* saved = vfsGetPathRules();
  for (const Case& c : cases) {
    vfsSetPathRules(c.rules);
    EXPECT_EQ(_vfsMSWDirectoryPattern(c.directory), c.pattern) << c.rules->name << " " << c.directory;
  }
  vfsSetPathRules(saved);
}

std::string listing(const char* directory) {
  vfsPath* path = vfsNewPathFromString(directory);
  std::string out;
  const vexClass* raised = raisedClass([&] {
    vfsMSWDirectory* it = vfsMSWOpenDirectory(path);
    while (vstr* name = vfsMSWNextDirectoryEntry(it)) {
      out += std::string(name) + " ";
      vstrDestroy(name);
    }
    EXPECT_EQ(vfsMSWNextDirectoryEntry(it), nullptr) << "the end stays the end";
    vfsMSWCloseDirectory(it);
  });
  vfsFreePath(path);
  return raised ? std::string("raised ") + raised->name : out;
}

TEST(NativeChoosers, ListsDirectoriesInTheSystemsOrder) {
  fs::path dir = fs::temp_directory_path() / ("nativechsr_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "sub");
  for (const char* f : {"b.txt", "README", "a.c"}) std::ofstream(dir / f) << "x";
  EXPECT_EQ(listing(dir.c_str()), ". .. README a.c b.txt sub ");
  EXPECT_EQ(listing((dir / "sub").c_str()), ". .. ");
  EXPECT_EQ(listing("/").substr(0, 5), ". .. ") << "the root's own pattern";
  EXPECT_EQ(listing((dir / "missing").c_str()), "raised Directory Name");
  EXPECT_EQ(listing((dir / "a.c").c_str()), "raised Directory Name") << "a file is no directory";
  fs::remove_all(dir);
}

}  // namespace
