// Menus on the screen: the menu line, pop-ups and tracking, as message
// traces of the owner window and as pictures.
#include <cstring>

#include "platform/backend/input.h"
#include "platform_fixture.h"
#include "support/png_compare.h"

using namespace platform_test;

namespace {

using win::backend::Button;

class MenuTrack : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    win::UseVirtualClock(true);
    pump();
  }
  void TearDown() override {
    win::EndMenu();
    pump();
    if (hook) win::UnhookWindowsHookEx(hook);
    WindowTest::TearDown();
    win::UseVirtualClock(false);
  }
  static void pump() {
    win::MSG m;
    while (win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE)) {
      win::TranslateMessage(&m);
      win::DispatchMessageA(&m);
    }
  }

  // A shown frame window with "&File" (Open, a separator, Exit) and
  // "&Edit" (Undo grayed, Cut, a "&Format" cascade with Bold and Italic).
  void makeFrame(win::DWORD style = win::WS_OVERLAPPEDWINDOW) {
    frame = make("frame", style, nullptr, 40, 30, 320, 200);
    bar = win::CreateMenu();
    file = win::CreatePopupMenu();
    edit = win::CreatePopupMenu();
    format = win::CreatePopupMenu();
    win::InsertMenuA(file, ~0u, win::MF_BYPOSITION, 1100, "&Open...\tCtrl+O");
    win::InsertMenuA(file, ~0u, win::MF_BYPOSITION | win::MF_SEPARATOR, 0, nullptr);
    win::InsertMenuA(file, ~0u, win::MF_BYPOSITION, 1101, "E&xit");
    win::InsertMenuA(edit, ~0u, win::MF_BYPOSITION | win::MF_GRAYED, 1200, "&Undo\tCtrl+Z");
    win::InsertMenuA(edit, ~0u, win::MF_BYPOSITION, 1201, "Cu&t\tCtrl+X");
    win::InsertMenuA(edit, ~0u, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(format),
                     "&Format");
    win::InsertMenuA(format, ~0u, win::MF_BYPOSITION, 1300, "&Bold");
    win::InsertMenuA(format, ~0u, win::MF_BYPOSITION, 1301, "&Italic");
    win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(file), "&File");
    win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(edit), "&Edit");
    ASSERT_TRUE(win::SetMenu(frame, bar));
    win::ShowWindow(frame, win::SW_SHOW);
    pump();
  }

  static win::POINT centre(win::HWND owner, win::HMENU menu, int position) {
    win::RECT r{};
    EXPECT_TRUE(win::test::MenuEntryRect(owner, menu, position, &r)) << "entry " << position << " not shown";
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  // A press on the menu line as it reaches the window.
  void pressTitle(int position) {
    win::POINT p = centre(frame, bar, position);
    win::SetCursorPos(p.x, p.y);
    win::PostMessageA(frame, win::WM_NCLBUTTONDOWN, static_cast<win::WPARAM>(win::HTMENU), win::MAKELPARAM(p.x, p.y));
  }
  static void moveTo(win::POINT p) { win::backend::InputPointerMoved(p); }
  static void button(win::POINT p, bool down) { win::backend::InputButton(p, Button::left, down); }
  static void key(win::UINT vk, bool down, int character = -1) {
    win::backend::InputKey(vk, 0, false, down, character);
  }
  static void tap(win::UINT vk, int character = -1) {
    key(vk, true, character);
    key(vk, false);
  }

  // Runs the steps one by one from a timer, 50 ms apart, inside or
  // outside the menu loop, until all ran and the queue is empty; the
  // trace of the frame is kept.
  using Step = std::function<void()>;
  static inline std::vector<Step> steps;
  static inline std::size_t nextStep = 0;
  static void runStep(win::HWND, win::UINT, win::UINT_PTR, win::DWORD) {
    if (nextStep < steps.size()) steps[nextStep++]();
  }
  std::string run(std::vector<Step> script) {
    steps = std::move(script);
    nextStep = 0;
    win::test::StartTrace();
    win::UINT_PTR timer = win::SetTimer(nullptr, 0, 50, runStep);
    for (int guard = 0; guard < 200 && nextStep < steps.size(); ++guard) {
      pump();
      if (nextStep < steps.size()) win::WaitMessage();
    }
    win::KillTimer(nullptr, timer);
    pump();
    return traceOfFrame(win::test::StopTrace());
  }

  std::string traceOfFrame(const std::vector<win::test::TraceEntry>& all) {
    std::vector<win::test::TraceEntry> mine;
    for (const auto& e : all)
      if (e.hwnd == frame && e.message != win::WM_PAINT && e.message != win::WM_ERASEBKGND) mine.push_back(e);
    return win::test::FormatTrace(mine, Recorder::name);
  }

  win::HWND frame = nullptr;
  win::HMENU bar = nullptr, file = nullptr, edit = nullptr, format = nullptr;
  win::HHOOK hook = nullptr;
};

TEST_F(MenuTrack, ClickTitleMoveAndReleaseOnAnEntry) {
  makeFrame();
  std::string t = run({[&] { pressTitle(0); },
                       [&] { moveTo(centre(frame, file, 2)); },
                       [&] { button(centre(frame, file, 2), false); }});
  std::printf("%s", t.c_str());
}

TEST_F(MenuTrack, Look) {
  makeFrame();
  win::CheckMenuItem(edit, 1201, win::MF_CHECKED);
  run({[&] { pressTitle(1); },
       [&] { moveTo(centre(frame, edit, 2)); },
       [&] { moveTo(centre(frame, format, 1)); },
       [&] {
         win::test::Image s = win::test::ScreenImage();
         win::test::Image c{360, 260, {}};
         for (int y = 0; y < 260; ++y)
           for (int x = 0; x < 360; ++x) c.px.push_back(s.px[std::size_t((y + 20) * s.width + x + 30)]);
         win::test::WritePng("/tmp/menus_look.png", c);
         win::EndMenu();
       }});
}

}  // namespace
