// Classes, creation and destruction sequences, handles, words and text.
#include <set>

#include "platform_fixture.h"

using namespace platform_test;

TEST_F(WindowTest, CreationSendsItsMessagesBeforeTheHandleIsReturned) {
  static std::vector<bool> sawLiveHandle;
  sawLiveHandle.clear();
  Recorder::action = [](win::HWND h, win::UINT, win::WPARAM, win::LPARAM) { sawLiveHandle.push_back(win::IsWindow(h)); };
  win::test::StartTrace();
  win::HWND main = make("main", win::WS_OVERLAPPEDWINDOW);
  ASSERT_NE(main, nullptr);
  win::HWND kid = child("kid", main);
  ASSERT_NE(kid, nullptr);
  std::string trace = stopTrace();
  EXPECT_EQ(trace, golden("create.trace", trace));
  EXPECT_EQ(std::count(sawLiveHandle.begin(), sawLiveHandle.end(), false), 0);
  // The title comes from the default processing of WM_NCCREATE.
  char title[16];
  EXPECT_EQ(win::GetWindowTextA(main, title, sizeof title), 4);
  EXPECT_STREQ(title, "main");
  win::RECT r;
  win::GetWindowRect(kid, &r);
  EXPECT_EQ(r.left, 15);
  EXPECT_EQ(r.top, 26);
  EXPECT_EQ(win::GetParent(kid), main);
}

struct FailCase {
  win::UINT message;
  win::LRESULT answer;
  const char* golden;
  const char* name;
};

class CreationFailure : public WindowTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(CreationFailure, EndsWithNcDestroyAndNull) {
  static win::HWND seen;
  seen = nullptr;
  Recorder::action = [](win::HWND h, win::UINT, win::WPARAM, win::LPARAM) { seen = h; };
  Recorder::answers[GetParam().message] = GetParam().answer;
  win::test::StartTrace();
  EXPECT_EQ(make("doomed"), nullptr);
  std::string trace = stopTrace();
  EXPECT_EQ(trace, golden(GetParam().golden, trace));
  EXPECT_FALSE(win::IsWindow(seen));
  // No window of the class lives on: TearDown unregisters it.
}

INSTANTIATE_TEST_SUITE_P(Creation, CreationFailure,
                         ::testing::Values(FailCase{win::WM_NCCREATE, 0, "create_ncfail.trace", "NcCreate"},
                                           FailCase{win::WM_CREATE, -1, "create_fail.trace", "Create"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, DestructionOrder) {
  win::HWND main = make("main", win::WS_OVERLAPPEDWINDOW);
  win::HWND a = child("a", main);
  child("a1", a);
  child("b", main);
  win::HWND popup = make("popup", win::WS_POPUP, a);  // a child as owner stands for its top-level window
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(win::GetParent(popup), main);
  win::SetTimer(main, 7, 10, nullptr);
  win::PostMessageA(a, win::WM_USER, 0, 0);
  win::test::StartTrace();
  EXPECT_TRUE(win::DestroyWindow(main));
  std::string trace = stopTrace();
  EXPECT_EQ(trace, golden("destroy.trace", trace));
  for (auto& [h, n] : Recorder::names) EXPECT_FALSE(win::IsWindow(h)) << n;
  // Its timers and posted messages went with it.
  win::MSG m;
  EXPECT_FALSE(win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE));
  EXPECT_FALSE(win::KillTimer(main, 7));
}

TEST_F(WindowTest, ProceduresThatDestroyTheirWindowMidSequence) {
  // During creation: the caller gets null and nothing touches the record.
  Recorder::action = [](win::HWND h, win::UINT m, win::WPARAM, win::LPARAM) {
    if (m == win::WM_CREATE) win::DestroyWindow(h);
  };
  EXPECT_EQ(make("gone"), nullptr);
  // During destruction: a child that destroys its parent from WM_DESTROY.
  Recorder::action = nullptr;
  win::HWND main = make("main");
  win::HWND kid = child("kid", main);
  static win::HWND parentOfKid;
  parentOfKid = main;
  Recorder::action = [kid](win::HWND h, win::UINT m, win::WPARAM, win::LPARAM) {
    if (h == kid && m == win::WM_DESTROY) win::DestroyWindow(parentOfKid);
    if (m == win::WM_USER) win::DestroyWindow(h);
  };
  EXPECT_TRUE(win::DestroyWindow(main));
  EXPECT_FALSE(win::IsWindow(main));
  EXPECT_FALSE(win::IsWindow(kid));
  // During a send of our own: later sends fail cleanly.
  win::HWND other = make("other");
  win::SendMessageA(other, win::WM_USER, 0, 0);
  EXPECT_EQ(win::SendMessageA(other, win::WM_USER, 0, 0), 0);
  EXPECT_EQ(lastError(), code(win::ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowTest, StaleAndForeignHandlesFailEveryCall) {
  win::HWND dead = make("dead");
  win::DestroyWindow(dead);
  win::HMENU menu = win::CreateMenu();
  win::HWND foreign = reinterpret_cast<win::HWND>(menu);
  win::HWND made = reinterpret_cast<win::HWND>(std::uintptr_t{0x12345678});
  char buf[8];
  win::RECT r;
  using Call = std::function<bool(win::HWND)>;
  const std::vector<std::pair<const char*, Call>> calls = {
      {"SendMessageA", [](win::HWND h) { return win::SendMessageA(h, win::WM_USER, 0, 0) != 0; }},
      {"PostMessageA", [](win::HWND h) { return win::PostMessageA(h, win::WM_USER, 0, 0) != 0; }},
      {"DestroyWindow", [](win::HWND h) { return win::DestroyWindow(h) != 0; }},
      {"ShowWindow", [](win::HWND h) { return win::ShowWindow(h, win::SW_SHOW) != 0; }},
      {"SetWindowTextA", [](win::HWND h) { return win::SetWindowTextA(h, "x") != 0; }},
      {"GetWindowTextA", [&](win::HWND h) { return win::GetWindowTextA(h, buf, sizeof buf) != 0; }},
      {"GetWindowRect", [&](win::HWND h) { return win::GetWindowRect(h, &r) != 0; }},
      {"GetWindowLongPtrA", [](win::HWND h) { return win::GetWindowLongPtrA(h, win::GWL_STYLE) != 0; }},
      {"SetWindowLongPtrA", [](win::HWND h) { return win::SetWindowLongPtrA(h, 0, 5) != 0; }},
      {"GetClassLongPtrA", [](win::HWND h) { return win::GetClassLongPtrA(h, win::GCL_CBWNDEXTRA) != 0; }},
      {"SetTimer", [](win::HWND h) { return win::SetTimer(h, 1, 10, nullptr) != 0; }},
      {"SetWindowPos", [](win::HWND h) { return win::SetWindowPos(h, nullptr, 0, 0, 1, 1, 0) != 0; }},
      {"SetMenu", [](win::HWND h) { return win::SetMenu(h, nullptr) != 0; }},
      {"CreateWindowExA as parent", [](win::HWND h) { return make("c", win::WS_CHILD, h) != nullptr; }},
  };
  for (win::HWND bad : {dead, foreign, made})
    for (const auto& [name, call] : calls) {
      win::SetLastError(0);
      EXPECT_FALSE(call(bad)) << name;
      EXPECT_EQ(lastError(), code(win::ERROR_INVALID_WINDOW_HANDLE)) << name;
    }
  EXPECT_FALSE(win::IsWindow(dead));
  win::DestroyMenu(menu);
}

TEST_F(WindowTest, HandlesAreNeverReused) {
  std::set<win::HWND> seen;
  for (int i = 0; i < 200; ++i) {
    win::HWND h = make("w");
    EXPECT_TRUE(seen.insert(h).second);
    win::DestroyWindow(h);
  }
}

TEST_F(WindowTest, Classes) {
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = Recorder::proc;
  wc.lpszClassName = "platformtest";  // the same name in other case
  EXPECT_EQ(win::RegisterClassA(&wc), 0);
  EXPECT_EQ(lastError(), code(win::ERROR_CLASS_ALREADY_EXISTS));

  win::HWND w = make("w");
  EXPECT_FALSE(win::UnregisterClassA(kClass, nullptr));
  EXPECT_EQ(lastError(), code(win::ERROR_CLASS_HAS_WINDOWS));
  win::WNDCLASSA info{};
  ASSERT_TRUE(win::GetClassInfoA(nullptr, "PLATFORMTEST", &info));
  EXPECT_EQ(info.style, win::CS_OWNDC | win::CS_SAVEBITS);
  EXPECT_STREQ(info.lpszClassName, kClass);
  EXPECT_EQ(win::GetClassLongPtrA(w, win::GCL_CBWNDEXTRA), 8u);
  EXPECT_EQ(win::GetClassLongPtrA(w, win::GCLP_WNDPROC), reinterpret_cast<win::ULONG_PTR>(&Recorder::proc));
  EXPECT_EQ(win::GetClassLongPtrA(w, win::GCLP_HCURSOR), 0u);
  EXPECT_EQ(win::GetClassLongPtrA(w, 12345), 0u);
  EXPECT_EQ(lastError(), code(win::ERROR_INVALID_INDEX));
  EXPECT_EQ(win::CreateWindowExA(0, "NoSuchClass", "x", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_FALSE(win::GetClassInfoA(nullptr, "NoSuchClass", &info));
  win::DestroyWindow(w);
}

TEST_F(WindowTest, WindowWords) {
  win::HWND main = make("main");
  win::HWND other = make("other");
  // The extra bytes hold one pointer-sized word at offset 0.
  auto word = static_cast<win::LONG_PTR>(0x1122334455667788);
  EXPECT_EQ(win::SetWindowLongPtrA(main, 0, word), 0);
  EXPECT_EQ(win::GetWindowLongPtrA(main, 0), word);
  EXPECT_EQ(win::GetWindowLongPtrA(main, 1), 0);
  EXPECT_EQ(lastError(), code(win::ERROR_INVALID_INDEX));
  // Style changes are announced.
  win::test::StartTrace();
  win::SetWindowLongPtrA(main, win::GWL_STYLE, win::WS_POPUP | win::WS_BORDER);
  EXPECT_EQ(stopTrace(), "sent main WM_STYLECHANGING fffffffffffffff0 ptr\nsent main WM_STYLECHANGED fffffffffffffff0 ptr\n");
  EXPECT_EQ(win::GetWindowLongPtrA(main, win::GWL_STYLE), static_cast<win::LONG_PTR>(win::WS_POPUP | win::WS_BORDER));
  // Owners: re-owning, and no cycles.
  EXPECT_EQ(win::SetWindowLongPtrA(other, win::GWLP_HWNDPARENT, reinterpret_cast<win::LONG_PTR>(main)), 0);
  EXPECT_EQ(win::GetWindowLongPtrA(other, win::GWLP_HWNDPARENT), reinterpret_cast<win::LONG_PTR>(main));
  EXPECT_EQ(win::SetWindowLongPtrA(main, win::GWLP_HWNDPARENT, reinterpret_cast<win::LONG_PTR>(other)), 0);
  EXPECT_EQ(lastError(), code(win::ERROR_INVALID_PARAMETER));
  EXPECT_EQ(win::GetWindowLongPtrA(main, win::GWLP_HWNDPARENT), 0);
  EXPECT_EQ(win::SetWindowLongPtrA(main, win::GWLP_USERDATA, 99), 0);
  EXPECT_EQ(win::GetWindowLongPtrA(main, win::GWLP_USERDATA), 99);
}

// Two procedures installed over the class's, each passing on through
// CallWindowProcA, as a subclass chain does.
namespace {
win::WNDPROC outerNext, innerNext;
std::string path;
win::LRESULT inner(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
  if (m == win::WM_USER) path += "inner ";
  return win::CallWindowProcA(innerNext, h, m, w, l) + (m == win::WM_USER ? 10 : 0);
}
win::LRESULT outer(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
  if (m == win::WM_USER) path += "outer ";
  return win::CallWindowProcA(outerNext, h, m, w, l) + (m == win::WM_USER ? 100 : 0);
}
}  // namespace

TEST_F(WindowTest, SubclassChains) {
  win::HWND w = make("w");
  Recorder::answers[win::WM_USER] = 1;
  innerNext = reinterpret_cast<win::WNDPROC>(win::SetWindowLongPtrA(w, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&inner)));
  outerNext = reinterpret_cast<win::WNDPROC>(win::SetWindowLongPtrA(w, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&outer)));
  EXPECT_EQ(innerNext, &Recorder::proc);
  EXPECT_EQ(outerNext, &inner);
  path.clear();
  EXPECT_EQ(win::SendMessageA(w, win::WM_USER, 0, 0), 111);
  EXPECT_EQ(path, "outer inner ");
  // Unsubclassing restores the class's procedure.
  win::SetWindowLongPtrA(w, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(innerNext));
  EXPECT_EQ(win::SendMessageA(w, win::WM_USER, 0, 0), 1);
}

TEST_F(WindowTest, TextIsCutToTheBuffer) {
  win::HWND w = make("w");
  win::SetWindowTextA(w, "a longer title");
  char buf[6] = "#####";
  EXPECT_EQ(win::GetWindowTextA(w, buf, 5), 4);
  EXPECT_STREQ(buf, "a lo");
  EXPECT_EQ(win::GetWindowTextLengthA(w), 14);
}

TEST_F(WindowTest, RegisteredMessagesAndBroadcast) {
  win::UINT a = win::RegisterWindowMessageA("_vwindowMSWDestroyCachedObjects");
  EXPECT_GE(a, 0xC000u);
  EXPECT_EQ(win::RegisterWindowMessageA("_VWINDOWMSWDESTROYCACHEDOBJECTS"), a);
  EXPECT_NE(win::RegisterWindowMessageA("another"), a);

  win::HWND one = make("one");
  win::HWND two = make("two");
  child("kid", one);
  win::test::StartTrace();
  win::SendMessageA(win::HWND_BROADCAST, a, 0, 0);
  std::vector<win::test::TraceEntry> trace = win::test::StopTrace();
  std::set<std::string> reached;
  for (const auto& e : trace) reached.insert(Recorder::name(e.hwnd));
  EXPECT_TRUE(reached.count("one") && reached.count("two"));
  EXPECT_FALSE(reached.count("kid"));
  (void)two;
}

TEST_F(WindowTest, SurfacesFollowVisibleTopLevelWindows) {
  auto& headless = win::test::Headless();
  win::HWND task = make("task", win::WS_POPUP | win::WS_VISIBLE, nullptr, -2, -2, 1, 1);
  EXPECT_EQ(headless.surfaces.count(task), 0u);
  win::HWND popup = make("popup", win::WS_POPUP);
  EXPECT_EQ(headless.surfaces.count(popup), 0u);
  win::ShowWindow(popup, win::SW_SHOW);
  ASSERT_EQ(headless.surfaces.count(popup), 1u);
  EXPECT_EQ(headless.surfaces[popup].state, win::backend::SurfaceState::normal);
  win::SetWindowTextA(popup, "renamed");
  EXPECT_EQ(headless.surfaces[popup].desc.title, "renamed");
  win::SetWindowPos(popup, nullptr, 40, 50, 60, 70, win::SWP_NOZORDER);
  EXPECT_EQ(headless.surfaces[popup].desc.outer.right, 100);
  win::HWND kid = child("kid", popup);
  EXPECT_EQ(headless.surfaces.count(kid), 0u);
  win::ShowWindow(popup, win::SW_HIDE);
  EXPECT_EQ(headless.surfaces[popup].state, win::backend::SurfaceState::hidden);
  win::DestroyWindow(popup);
  EXPECT_EQ(headless.surfaces.count(popup), 0u);
}

TEST_F(WindowTest, EmptyMenusAndDocumentWindowStandIns) {
  win::HWND w = make("w");
  win::HWND kid = child("kid", w);
  win::HMENU bar = win::CreateMenu();
  win::HMENU popup = win::CreatePopupMenu();
  ASSERT_TRUE(bar && popup && bar != popup);
  EXPECT_TRUE(win::SetMenu(w, bar));
  EXPECT_EQ(win::GetMenu(w), bar);
  EXPECT_FALSE(win::SetMenu(kid, bar));
  EXPECT_TRUE(win::DestroyMenu(bar));
  EXPECT_EQ(win::GetMenu(w), nullptr);
  EXPECT_FALSE(win::DestroyMenu(bar));
  EXPECT_EQ(lastError(), code(win::ERROR_INVALID_MENU_HANDLE));
  EXPECT_FALSE(win::SetMenu(w, reinterpret_cast<win::HMENU>(w)));
  EXPECT_TRUE(win::EndMenu());
  EXPECT_TRUE(win::DestroyMenu(popup));

  win::DefFrameProcA(w, nullptr, win::WM_SETTEXT, 0, reinterpret_cast<win::LPARAM>("frame"));
  win::DefMDIChildProcA(kid, win::WM_SETTEXT, 0, reinterpret_cast<win::LPARAM>("doc"));
  char buf[8];
  win::GetWindowTextA(w, buf, sizeof buf);
  EXPECT_STREQ(buf, "frame");
  win::GetWindowTextA(kid, buf, sizeof buf);
  EXPECT_STREQ(buf, "doc");
  win::MSG m{w, win::WM_KEYDOWN, 0, 0, 0, {0, 0}};
  EXPECT_EQ(win::TranslateMDISysAccel(nullptr, &m), 0);
}
