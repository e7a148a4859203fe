// Input: routing of pointer and key records as the queue is read, click
// activation, key states as of the message, the US layout's tables and
// TranslateMessage.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform_fixture.h"

using namespace platform_test;

namespace {

class InputTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    win::UseVirtualClock(true);
    win::test::ResetInput();
    drain();
    // a at (10, 20) and b at (400, 20), each 300 x 200; b is active.
    a = make("a", win::WS_POPUP | win::WS_VISIBLE, nullptr, 10, 20, 300, 200);
    b = make("b", win::WS_POPUP | win::WS_VISIBLE, nullptr, 400, 20, 300, 200);
  }
  void TearDown() override {
    win::test::ResetInput();
    drain();
    WindowTest::TearDown();
    win::UseVirtualClock(false);
  }
  static void drain() {
    win::MSG m;
    while (nextMessage(m)) {
    }
  }
  // The next message taken, paint messages answered on the way.
  static bool nextMessage(win::MSG& m) {
    while (win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE)) {
      if (m.message != win::WM_PAINT) return true;
      win::ValidateRect(m.hwnd, nullptr);
    }
    return false;
  }
  // Every input message waiting, as "window MESSAGE wParam x,y" lines
  // (x and y the signed halves of lParam).
  static std::string taken() {
    std::string out;
    win::MSG m;
    while (nextMessage(m)) {
      auto l = static_cast<std::uintptr_t>(m.lParam);
      char buf[96];
      std::snprintf(buf, sizeof buf, " %llx %d,%d\n", static_cast<unsigned long long>(m.wParam),
                    static_cast<short>(l & 0xFFFF), static_cast<short>(l >> 16 & 0xFFFF));
      out += Recorder::name(m.hwnd) + " " + win::test::MessageName(m.message) + buf;
    }
    return out;
  }
  win::HWND a = nullptr, b = nullptr;
};

std::string hex(std::uintptr_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(v));
  return buf;
}

}  // namespace

TEST_F(InputTest, ClickActivationAnswersDecideActivationAndThePress) {
  struct Case {
    win::LRESULT answer;
    bool activates;
    const char* messages;
  };
  // The eat forms drop the press only: its release still comes.
  const Case cases[] = {
      {win::MA_ACTIVATE, true, "a WM_LBUTTONDOWN 1 5,6\na WM_LBUTTONUP 0 5,6\n"},
      {win::MA_ACTIVATEANDEAT, true, "a WM_LBUTTONUP 0 5,6\n"},
      {win::MA_NOACTIVATE, false, "a WM_LBUTTONDOWN 1 5,6\na WM_LBUTTONUP 0 5,6\n"},
      {win::MA_NOACTIVATEANDEAT, false, "a WM_LBUTTONUP 0 5,6\n"},
  };
  win::test::MouseMove({15, 26});
  drain();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    win::SetActiveWindow(b);
    Recorder::answers[win::WM_MOUSEACTIVATE] = c.answer;
    win::test::Click({15, 26});
    EXPECT_EQ(taken(), c.messages);
    EXPECT_EQ(win::GetActiveWindow(), c.activates ? a : b);
  }
  // With the window already active nobody is asked.
  Recorder::answers[win::WM_MOUSEACTIVATE] = win::MA_NOACTIVATEANDEAT;
  win::SetActiveWindow(a);
  win::test::Click({15, 26});
  EXPECT_EQ(taken(), "a WM_LBUTTONDOWN 1 5,6\na WM_LBUTTONUP 0 5,6\n");
}

TEST_F(InputTest, APressIsHitTestedAskedCursoredThenDelivered) {
  win::HWND kid = child("kid", a);  // (5, 6) in a's client, 50 x 40
  win::test::MouseMove({16, 27});
  drain();
  win::test::StartTrace();
  win::test::MouseDown({16, 27});
  std::string got = taken();
  // The child asks its parent, which lets the click activate; the cursor
  // message comes last, the parent asked first there too.
  std::string press = hex(win::MAKELPARAM(static_cast<int>(win::HTCLIENT), static_cast<int>(win::WM_LBUTTONDOWN)));
  EXPECT_EQ(stopTrace(), "sent kid WM_NCHITTEST 0 " + hex(win::MAKELPARAM(16, 27)) +
                             "\n"
                             "sent kid WM_MOUSEACTIVATE a " + press + "\n"
                             "  sent a WM_MOUSEACTIVATE a " + press + "\n"
                             "sent b WM_NCACTIVATE 0 0\n"
                             "sent b WM_ACTIVATE 0 a\n"
                             "sent a WM_NCACTIVATE 1 0\n"
                             "sent a WM_ACTIVATE 2 b\n"
                             "  sent b WM_KILLFOCUS a 0\n"
                             "  sent a WM_SETFOCUS b 0\n"
                             "sent kid WM_SETCURSOR kid " + press + "\n"
                             "  sent a WM_SETCURSOR kid " + press + "\n");
  EXPECT_EQ(got, "kid WM_LBUTTONDOWN 1 1,1\n");
  EXPECT_EQ(win::GetActiveWindow(), a);
  (void)kid;
}

TEST_F(InputTest, NonClientHitsGiveTheNcFormsWithScreenPointsAndTheHitCode) {
  Recorder::answers[win::WM_NCHITTEST] = win::HTCAPTION;
  win::SetActiveWindow(a);
  win::test::Click({30, 25});
  win::test::MouseMove({31, 25});
  EXPECT_EQ(taken(),
            "a WM_NCMOUSEMOVE 2 30,25\na WM_NCLBUTTONDOWN 2 30,25\na WM_NCLBUTTONUP 2 30,25\n"
            "a WM_NCMOUSEMOVE 2 31,25\n");
  // The default cursor outside the client area is the arrow.
  EXPECT_EQ(win::test::CurrentCursor(), win::LoadCursorA(nullptr, win::IDC_ARROW));
  // Nothing under the pointer: the event goes nowhere.
  Recorder::answers.clear();
  win::test::Click({900, 700});
  EXPECT_EQ(taken(), "");
  // In the client area the default is the class cursor of the window
  // under the pointer, its parents asked first.
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = Recorder::proc;
  wc.lpszClassName = "Cursored";
  wc.hCursor = win::LoadCursorA(nullptr, win::IDC_WAIT);
  ASSERT_NE(win::RegisterClassA(&wc), 0);
  win::HWND kid = win::CreateWindowExA(0, "Cursored", "kid", win::WS_CHILD | win::WS_VISIBLE, 0, 0, 20, 20, a, nullptr,
                                       nullptr, nullptr);
  win::test::MouseMove({15, 25});
  taken();
  EXPECT_EQ(win::test::CurrentCursor(), wc.hCursor);
  win::WNDPROC parentChooses = [](win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) -> win::LRESULT {
    if (m != win::WM_SETCURSOR) return Recorder::proc(h, m, w, l);
    win::SetCursor(win::LoadCursorA(nullptr, win::IDC_ARROW));
    return 1;
  };
  win::SetWindowLongPtrA(a, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(parentChooses));
  win::test::MouseMove({16, 25});
  taken();
  EXPECT_EQ(win::test::CurrentCursor(), win::LoadCursorA(nullptr, win::IDC_ARROW));
  win::DestroyWindow(kid);
  EXPECT_TRUE(win::UnregisterClassA("Cursored", nullptr));
}

TEST_F(InputTest, TheCaptureWindowGetsEveryPointerMessageInClientCoordinates) {
  win::SetActiveWindow(a);
  win::SetCapture(a);
  win::test::SetMouseCoalescing(false);
  win::test::StartTrace();
  win::test::MouseMove({5, 8});
  win::test::MouseDown({450, 30}, win::backend::Button::right);
  win::test::MouseUp({450, 30}, win::backend::Button::right);
  std::string got = taken();
  EXPECT_EQ(got,
            "a WM_MOUSEMOVE 0 -5,-12\na WM_MOUSEMOVE 0 440,10\na WM_RBUTTONDOWN 2 440,10\n"
            "a WM_RBUTTONUP 0 440,10\n");
  // Neither hit tests nor cursor messages while a window has the capture,
  // and no activation of b.
  EXPECT_EQ(stopTrace(), "");
  EXPECT_EQ(win::GetActiveWindow(), a);
  win::ReleaseCapture();
  win::test::SetMouseCoalescing(true);
}

TEST_F(InputTest, ButtonStatesInPointerMessagesAreThoseAfterTheEvent) {
  win::SetActiveWindow(a);
  win::test::KeyDown(win::VK_SHIFT);
  win::test::MouseDown({20, 30});
  win::test::MouseDown({20, 30}, win::backend::Button::middle);
  win::test::MouseUp({20, 30});
  win::test::KeyUp(win::VK_SHIFT);
  win::test::KeyDown(win::VK_CONTROL);
  win::test::MouseUp({20, 30}, win::backend::Button::middle);
  win::test::KeyUp(win::VK_CONTROL);
  std::string got = taken();
  EXPECT_NE(got.find("a WM_LBUTTONDOWN 5 10,10\na WM_MBUTTONDOWN 15 10,10\na WM_LBUTTONUP 14 10,10\n"),
            std::string::npos)
      << got;
  EXPECT_NE(got.find("a WM_MBUTTONUP 8 10,10\n"), std::string::npos) << got;
}

TEST_F(InputTest, TheDisplaysPointerStateMakesGoodPressesAndReleasesThatWentElsewhere) {
  using win::backend::InputPointerState;
  win::SetActiveWindow(a);
  // Shift went down in another program, then the press comes here.
  InputPointerState({.shift = true});
  win::backend::InputButton({20, 30}, win::backend::Button::left, true);
  win::SHORT shiftWhilePressed = 0;
  std::string got;
  win::MSG m;
  while (nextMessage(m)) {
    if (m.message == win::WM_LBUTTONDOWN) shiftWhilePressed = win::GetKeyState(win::VK_SHIFT);
    got += win::test::MessageName(m.message) + " " + hex(m.wParam) + "\n";
  }
  EXPECT_LT(shiftWhilePressed, 0);
  // Shift went up elsewhere; the right Ctrl and the right button were
  // released elsewhere too (a release of either side clears Ctrl).
  InputPointerState({.left = true});
  win::backend::InputButton({20, 30}, win::backend::Button::left, false);
  while (nextMessage(m)) got += win::test::MessageName(m.message) + " " + hex(m.wParam) + "\n";
  win::test::KeyDown(win::VK_CONTROL, true);
  win::test::MouseDown({20, 30}, win::backend::Button::right);
  drain();
  InputPointerState({});
  win::backend::InputPointerMoved({25, 30});
  while (nextMessage(m)) got += win::test::MessageName(m.message) + " " + hex(m.wParam) + "\n";
  EXPECT_EQ(got, "WM_LBUTTONDOWN 5\nWM_LBUTTONUP 0\nWM_MOUSEMOVE 0\n");  // no key messages made up
  EXPECT_GE(win::GetKeyState(win::VK_SHIFT), 0);
  EXPECT_GE(win::GetKeyState(win::VK_CONTROL), 0);
  EXPECT_GE(win::GetKeyState(win::VK_RCONTROL), 0);
  EXPECT_GE(win::GetKeyState(win::VK_RBUTTON), 0);
}

// Alt let go while another program had the keyboard (a window manager's
// Alt+F4) is released here with its message before the next event, which
// then carries no Alt; Alt still held, or already up, changes nothing.
TEST_F(InputTest, AnAltReleasedElsewhereComesAsItsRelease) {
  win::SetActiveWindow(a);
  win::SetFocus(a);
  win::backend::InputKey(win::VK_MENU, 0, false, true, -1);
  win::backend::InputAltState(true);
  win::backend::InputAltState(false);
  win::backend::InputKey(win::VK_ESCAPE, 0, false, true, -1);
  win::backend::InputAltState(false);
  std::string got;
  win::MSG m;
  while (nextMessage(m)) got += win::test::MessageName(m.message) + " " + hex(m.wParam) + " " + hex(m.lParam) + "\n";
  EXPECT_EQ(got, "WM_SYSKEYDOWN 12 20380001\nWM_SYSKEYUP 12 c0380001\nWM_KEYDOWN 1b 10001\n");
  EXPECT_GE(win::GetKeyState(win::VK_MENU), 0);
}

TEST_F(InputTest, QueuedMovesCoalesceUnlessTurnedOff) {
  win::SetActiveWindow(a);
  for (bool coalesce : {true, false}) {
    SCOPED_TRACE(coalesce);
    win::test::SetMouseCoalescing(coalesce);
    win::test::MouseMove({20, 30});
    win::test::MouseDown({20, 30});
    for (int i = 1; i <= 3; ++i) win::test::MouseMove({20 + i, 30});
    win::test::MouseUp({23, 30});
    win::test::MouseMove({24, 30});
    win::test::MouseMove({25, 30});
    // A move never joins one with other buttons, nor one across a press.
    EXPECT_EQ(taken(), coalesce ? "a WM_MOUSEMOVE 0 10,10\na WM_LBUTTONDOWN 1 10,10\na WM_MOUSEMOVE 1 13,10\n"
                                  "a WM_LBUTTONUP 0 13,10\na WM_MOUSEMOVE 0 15,10\n"
                                : "a WM_MOUSEMOVE 0 10,10\na WM_LBUTTONDOWN 1 10,10\na WM_MOUSEMOVE 1 11,10\n"
                                  "a WM_MOUSEMOVE 1 12,10\na WM_MOUSEMOVE 1 13,10\na WM_LBUTTONUP 0 13,10\n"
                                  "a WM_MOUSEMOVE 0 14,10\na WM_MOUSEMOVE 0 15,10\n");
  }
  win::test::SetMouseCoalescing(true);
}

TEST_F(InputTest, InputComesAfterPostedMessagesAndGoesWhereTheFocusIsWhenRead) {
  win::HWND kid = child("kid", a);
  win::SetActiveWindow(a);
  win::test::KeyDown('X');
  win::test::KeyUp('X');
  win::PostMessageA(a, win::WM_USER, 0, 0);
  // The focus moves after the keys were queued, before they are read.
  win::SetFocus(kid);
  EXPECT_EQ(taken(), "a 0x0400 0 0,0\nkid WM_KEYDOWN 58 1,45\nkid WM_KEYUP 58 1,-16339\n");
  // With no focus, keys go to the active window as system keys.
  win::SetFocus(nullptr);
  win::test::KeyDown('X');
  win::test::KeyUp('X');
  EXPECT_EQ(taken(), "a WM_SYSKEYDOWN 58 1,45\na WM_SYSKEYUP 58 1,-16339\n");
  // Another program active: keys go nowhere.
  win::backend::InputActivated(nullptr);
  EXPECT_EQ(win::GetActiveWindow(), nullptr);
  win::test::KeyDown('X');
  win::test::KeyUp('X');
  EXPECT_EQ(taken(), "");
}

// The input method's compositions queue in order with the keys and go
// where keys go; each WM_IME_COMPOSITION reads the strings it was queued
// with, however many followed it; committed text left to the default
// procedure comes back as characters, posted ahead of the input queue.
TEST_F(InputTest, CompositionsQueueWithKeysAndReadTheirOwnStrings) {
  win::SetActiveWindow(a);
  win::SetFocus(a);
  auto read = [](win::HWND w, win::DWORD index) {
    win::HIMC c = win::ImmGetContext(w);
    char buf[16] = {};
    win::LONG n = win::ImmGetCompositionStringA(c, index, buf, sizeof buf);
    EXPECT_EQ(n, win::ImmGetCompositionStringA(c, index, nullptr, 0));
    win::ImmReleaseContext(w, c);
    return std::string(buf, std::size_t(std::max<win::LONG>(n, 0)));
  };
  win::test::KeyDown('X');
  win::test::Compose("\xB4", 1);
  win::test::Compose("\xB4n", 2);
  win::test::Commit("\xF1");
  win::test::KeyUp('X');
  std::vector<std::string> got;
  win::MSG m;
  while (nextMessage(m)) {
    std::string line = Recorder::name(m.hwnd) + " " + win::test::MessageName(m.message);
    if (m.message == win::WM_IME_COMPOSITION) {
      if (m.lParam & win::GCS_RESULTSTR) line += " result " + read(m.hwnd, win::DWORD(win::GCS_RESULTSTR));
      else line += " composed " + read(m.hwnd, win::DWORD(win::GCS_COMPSTR)) + " cursor " +
                   std::to_string(win::ImmGetCompositionStringA(win::ImmGetContext(m.hwnd), win::DWORD(win::GCS_CURSORPOS), nullptr, 0));
      win::DefWindowProcA(m.hwnd, m.message, m.wParam, m.lParam);
    }
    if (m.message == win::WM_CHAR) line += " " + std::to_string(m.wParam);
    got.push_back(line);
  }
  const std::string start = "a " + win::test::MessageName(win::WM_IME_STARTCOMPOSITION);
  const std::string compose = "a " + win::test::MessageName(win::WM_IME_COMPOSITION);
  const std::string end = "a " + win::test::MessageName(win::WM_IME_ENDCOMPOSITION);
  EXPECT_EQ(got, (std::vector<std::string>{"a WM_KEYDOWN", start, compose + " composed \xB4 cursor 1",
                                           compose + " composed \xB4n cursor 2", compose + " result \xF1",
                                           "a WM_CHAR 241", end, "a WM_KEYUP"}));
  // A composition dropped by the method ends without a result; nothing
  // composed, nothing queued.
  win::test::Compose("~", 1);
  win::test::Compose("", 0);
  win::test::Compose("", 0);
  got.clear();
  while (nextMessage(m)) got.push_back(win::test::MessageName(m.message));
  EXPECT_EQ(got.size(), 4u);
  EXPECT_EQ(got.back(), win::test::MessageName(win::WM_IME_ENDCOMPOSITION));
}

TEST_F(InputTest, KeyMessageParametersCarryTheScanCodeAndStateBits) {
  win::SetActiveWindow(a);
  struct Step {
    win::UINT vk;
    bool extended, down;
    win::UINT message;
    win::WPARAM wParam;
    std::uint32_t lParam;
  };
  const Step steps[] = {
      {'A', false, true, win::WM_KEYDOWN, 'A', 0x001E0001},
      {'A', false, true, win::WM_KEYDOWN, 'A', 0x401E0001},  // auto-repeat
      {'A', false, false, win::WM_KEYUP, 'A', 0xC01E0001},
      {win::VK_CONTROL, true, true, win::WM_KEYDOWN, win::VK_CONTROL, 0x011D0001},  // right Ctrl
      {win::VK_CONTROL, true, false, win::WM_KEYUP, win::VK_CONTROL, 0xC11D0001},
      {win::VK_RETURN, true, true, win::WM_KEYDOWN, win::VK_RETURN, 0x011C0001},  // keypad Enter
      {win::VK_RETURN, true, false, win::WM_KEYUP, win::VK_RETURN, 0xC11C0001},
      {win::VK_DIVIDE, true, true, win::WM_KEYDOWN, win::VK_DIVIDE, 0x01350001},
      {win::VK_DIVIDE, true, false, win::WM_KEYUP, win::VK_DIVIDE, 0xC1350001},
      {win::VK_LEFT, true, true, win::WM_KEYDOWN, win::VK_LEFT, 0x014B0001},
      {win::VK_LEFT, true, false, win::WM_KEYUP, win::VK_LEFT, 0xC14B0001},
      // The keypad's 4 without NumLock is Left, not extended.
      {win::VK_NUMPAD0 + 4, false, true, win::WM_KEYDOWN, win::VK_LEFT, 0x004B0001},
      {win::VK_NUMPAD0 + 4, false, false, win::WM_KEYUP, win::VK_LEFT, 0xC04B0001},
      {win::VK_NUMLOCK, true, true, win::WM_KEYDOWN, win::VK_NUMLOCK, 0x01450001},
      {win::VK_NUMLOCK, true, false, win::WM_KEYUP, win::VK_NUMLOCK, 0xC1450001},
      {win::VK_LEFT, false, true, win::WM_KEYDOWN, win::VK_NUMPAD0 + 4, 0x004B0001},
      {win::VK_LEFT, false, false, win::WM_KEYUP, win::VK_NUMPAD0 + 4, 0xC04B0001},
      {win::VK_DELETE, false, true, win::WM_KEYDOWN, win::VK_DECIMAL, 0x00530001},
      {win::VK_DELETE, false, false, win::WM_KEYUP, win::VK_DECIMAL, 0xC0530001},
      // Alt: system keys with bit 29 while it is down; F10 alone.
      {win::VK_MENU, false, true, win::WM_SYSKEYDOWN, win::VK_MENU, 0x20380001},
      {'A', false, true, win::WM_SYSKEYDOWN, 'A', 0x201E0001},
      {'A', false, false, win::WM_SYSKEYUP, 'A', 0xE01E0001},
      {win::VK_MENU, false, false, win::WM_SYSKEYUP, win::VK_MENU, 0xC0380001},
      {win::VK_MENU, true, true, win::WM_SYSKEYDOWN, win::VK_MENU, 0x21380001},  // right Alt
      {win::VK_MENU, true, false, win::WM_SYSKEYUP, win::VK_MENU, 0xC1380001},
      {win::VK_F10, false, true, win::WM_SYSKEYDOWN, win::VK_F10, 0x00440001},
      {win::VK_F10, false, false, win::WM_SYSKEYUP, win::VK_F10, 0xC0440001},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(hex(s.vk) + (s.down ? " down" : " up"));
    if (s.down)
      win::test::KeyDown(s.vk, s.extended);
    else
      win::test::KeyUp(s.vk, s.extended);
    win::MSG m;
    ASSERT_TRUE(nextMessage(m));
    EXPECT_EQ(m.hwnd, a);
    EXPECT_EQ(win::test::MessageName(m.message), win::test::MessageName(s.message));
    EXPECT_EQ(m.wParam, s.wParam);
    EXPECT_EQ(hex(static_cast<std::uint32_t>(m.lParam)), hex(s.lParam));
  }
}

TEST_F(InputTest, KeyStatesAreThoseOfTheMessageLastTaken) {
  win::SetActiveWindow(a);
  win::test::KeyDown(win::VK_SHIFT);
  win::test::KeyDown('A');
  win::test::KeyUp('A');
  win::test::KeyUp(win::VK_SHIFT);
  win::test::KeyDown(win::VK_CONTROL, true);
  win::test::KeyDown(win::VK_CAPITAL);
  win::test::KeyUp(win::VK_CAPITAL);
  win::test::MouseDown({20, 30});
  auto isDown = [](win::UINT vk) { return win::GetKeyState(static_cast<int>(vk)) < 0; };
  // Nothing taken yet: nothing is down, whatever was reported.
  EXPECT_FALSE(isDown(win::VK_SHIFT));
  struct After {
    const char* message;
    bool shift, a, control, rightControl, leftControl, caps, capsToggled, button;
  };
  const After afters[] = {
      {"WM_KEYDOWN", true, false, false, false, false, false, false, false},
      {"WM_KEYDOWN", true, true, false, false, false, false, false, false},
      {"WM_KEYUP", true, false, false, false, false, false, false, false},
      {"WM_KEYUP", false, false, false, false, false, false, false, false},
      {"WM_KEYDOWN", false, false, true, true, false, false, false, false},
      {"WM_KEYDOWN", false, false, true, true, false, true, true, false},
      {"WM_KEYUP", false, false, true, true, false, false, true, false},
      {"WM_MOUSEMOVE", false, false, true, true, false, false, true, false},
      {"WM_LBUTTONDOWN", false, false, true, true, false, false, true, true},
  };
  for (const After& s : afters) {
    win::MSG m;
    ASSERT_TRUE(nextMessage(m));
    SCOPED_TRACE(win::test::MessageName(m.message) + " " + hex(m.wParam));
    EXPECT_EQ(win::test::MessageName(m.message), s.message);
    EXPECT_EQ(isDown(win::VK_SHIFT), s.shift);
    EXPECT_EQ(isDown(win::VK_LSHIFT), s.shift);
    EXPECT_EQ(isDown('A'), s.a);
    EXPECT_EQ(isDown(win::VK_CONTROL), s.control);
    EXPECT_EQ(isDown(win::VK_RCONTROL), s.rightControl);
    EXPECT_EQ(isDown(win::VK_LCONTROL), s.leftControl);
    EXPECT_EQ(isDown(win::VK_CAPITAL), s.caps);
    EXPECT_EQ(win::GetKeyState(static_cast<int>(win::VK_CAPITAL)) & 1, s.capsToggled ? 1 : 0);
    EXPECT_EQ(isDown(win::VK_LBUTTON), s.button);
  }
  // A peek that leaves the message does not take it.
  win::test::KeyUp(win::VK_CONTROL, true);
  win::MSG m;
  ASSERT_TRUE(win::PeekMessageA(&m, nullptr, win::WM_KEYDOWN, win::WM_KEYUP, win::PM_NOREMOVE));
  EXPECT_TRUE(isDown(win::VK_CONTROL));
  ASSERT_TRUE(nextMessage(m));
  EXPECT_FALSE(isDown(win::VK_CONTROL));
}

TEST_F(InputTest, TranslateMessagePostsTheCharacterBeforeItReturns) {
  win::SetActiveWindow(a);
  win::test::KeyDown('Q');
  win::test::KeyUp('Q');
  win::MSG m;
  ASSERT_TRUE(nextMessage(m));
  ASSERT_EQ(m.message, win::WM_KEYDOWN);
  win::PostMessageA(a, win::WM_USER, 0, 0);
  EXPECT_TRUE(win::TranslateMessage(&m));
  // While the key press is handled, its character already waits, with
  // the same lParam, after what was posted before.
  win::MSG c;
  ASSERT_TRUE(win::PeekMessageA(&c, a, win::WM_CHAR, win::WM_SYSDEADCHAR, win::PM_NOREMOVE));
  EXPECT_EQ(c.message, win::WM_CHAR);
  EXPECT_EQ(c.wParam, static_cast<win::WPARAM>('q'));
  EXPECT_EQ(c.lParam, m.lParam);
  EXPECT_EQ(taken(), "a 0x0400 0 0,0\na WM_CHAR 71 1,16\na WM_KEYUP 51 1,-16368\n");
  // Releases translate to nothing but count as translated; other
  // messages do not.
  win::MSG up{a, win::WM_KEYUP, 'Q', 0, 0, {}};
  EXPECT_TRUE(win::TranslateMessage(&up));
  win::MSG other{a, win::WM_USER, 'Q', 0, 0, {}};
  EXPECT_FALSE(win::TranslateMessage(&other));
  EXPECT_EQ(taken(), "");
}

TEST_F(InputTest, CharactersComeFromTheUsLayoutWithShiftCapsLockAndCtrl) {
  win::SetActiveWindow(a);
  struct Case {
    std::vector<win::UINT> held;  // pressed first, released after
    win::UINT vk;
    bool capsLock;
    const char* expected;  // "" for no character
  };
  const Case cases[] = {
      {{}, 'A', false, "WM_CHAR 61"},
      {{win::VK_SHIFT}, 'A', false, "WM_CHAR 41"},
      {{}, 'A', true, "WM_CHAR 41"},
      {{win::VK_SHIFT}, 'A', true, "WM_CHAR 61"},
      {{win::VK_SHIFT}, '1', true, "WM_CHAR 21"},
      {{}, win::VK_OEM_PLUS, false, "WM_CHAR 3d"},
      {{win::VK_SHIFT}, win::VK_OEM_PLUS, false, "WM_CHAR 2b"},
      {{win::VK_SHIFT}, win::VK_OEM_7, false, "WM_CHAR 22"},
      {{}, win::VK_RETURN, false, "WM_CHAR d"},
      {{}, win::VK_SPACE, false, "WM_CHAR 20"},
      {{win::VK_CONTROL}, 'A', false, "WM_CHAR 1"},
      {{win::VK_CONTROL}, 'Z', false, "WM_CHAR 1a"},
      {{win::VK_CONTROL}, win::VK_OEM_4, false, "WM_CHAR 1b"},
      {{win::VK_CONTROL, win::VK_SHIFT}, win::VK_OEM_MINUS, false, "WM_CHAR 1f"},
      {{win::VK_CONTROL}, '1', false, ""},
      {{win::VK_CONTROL, win::VK_MENU}, 'A', false, ""},
      {{win::VK_MENU}, 'A', false, "WM_SYSCHAR 61"},
      {{}, win::VK_F1, false, ""},
      {{}, win::VK_MULTIPLY, false, "WM_CHAR 2a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(hex(c.vk));
    if (c.capsLock) {
      win::test::KeyDown(win::VK_CAPITAL);
      win::test::KeyUp(win::VK_CAPITAL);
    }
    for (win::UINT h : c.held) win::test::KeyDown(h);
    win::test::KeyDown(c.vk);
    std::string chars;
    win::MSG m;
    while (nextMessage(m)) {
      win::TranslateMessage(&m);
      if (m.message == win::WM_CHAR || m.message == win::WM_SYSCHAR)
        chars += win::test::MessageName(m.message) + " " + hex(m.wParam);
    }
    EXPECT_EQ(chars, c.expected);
    win::test::KeyUp(c.vk);
    for (win::UINT h : c.held) win::test::KeyUp(h);
    if (c.capsLock) {
      win::test::KeyDown(win::VK_CAPITAL);
      win::test::KeyUp(win::VK_CAPITAL);
    }
    drain();
  }
  // The character a back-end gives wins over the layout.
  win::backend::InputKey('E', 0x12, false, true, 0xE9);
  win::MSG m;
  ASSERT_TRUE(nextMessage(m));
  win::TranslateMessage(&m);
  ASSERT_TRUE(nextMessage(m));
  EXPECT_EQ(m.message, win::WM_CHAR);
  EXPECT_EQ(m.wParam, 0xE9u);
  win::backend::InputKey('E', 0x12, false, false, -1);
}

TEST_F(InputTest, TypePressesTheKeysOfTheLayout) {
  win::SetActiveWindow(a);
  win::test::Type("Hi!");
  std::string got;
  win::MSG m;
  while (nextMessage(m)) {
    win::TranslateMessage(&m);
    got += win::test::MessageName(m.message) + " " + hex(m.wParam) + "\n";
  }
  EXPECT_EQ(got,
            "WM_KEYDOWN 10\nWM_KEYDOWN 48\nWM_CHAR 48\nWM_KEYUP 48\nWM_KEYUP 10\n"
            "WM_KEYDOWN 49\nWM_CHAR 69\nWM_KEYUP 49\n"
            "WM_KEYDOWN 10\nWM_KEYDOWN 31\nWM_CHAR 21\nWM_KEYUP 31\nWM_KEYUP 10\n");
}

TEST(Keyboard, VkKeyScanAndMapVirtualKeyFollowTheUsLayout) {
  const std::pair<char, int> scans[] = {
      {'a', 0x41},   {'A', 0x141},  {'1', 0x31},  {'!', 0x131},  {'=', 0xBB},   {'+', 0x1BB},
      {' ', 0x20},   {'\r', 0x0D}, {'\n', 0x20D}, {'\x01', 0x241}, {'\x1b', 0x1B}, {'\x7f', 0x208},
      {'~', 0x1C0},  {'*', 0x138},  {'/', 0xBF},  {'\\', 0xDC}, {'\x1c', 0x2DC}, {'\xe9', -1},
  };
  for (auto [c, expected] : scans) EXPECT_EQ(win::VkKeyScanA(c), expected) << static_cast<int>(c);
  struct Map {
    win::UINT code, type, expected;
  };
  const Map maps[] = {
      {'A', 0, 0x1E},
      {win::VK_SHIFT, 0, 0x2A},
      {win::VK_RSHIFT, 0, 0x36},
      {win::VK_HOME, 0, 0x47},
      {win::VK_NUMPAD0 + 7, 0, 0x47},
      {win::VK_F12, 0, 0x58},
      {win::VK_RETURN, 0, 0x1C},
      {0xFF, 0, 0},
      {0x1E, 1, 'A'},
      {0x36, 1, win::VK_SHIFT},
      {0x1D, 1, win::VK_CONTROL},
      {0x47, 1, win::VK_HOME},
      {0x35, 1, win::VK_OEM_2},
      {0, 1, 0},
      {win::VK_OEM_PLUS, 2, '='},
      {'A', 2, 'A'},
      {'1', 2, '1'},
      {win::VK_OEM_2, 2, '/'},
      {win::VK_SPACE, 2, ' '},
      {win::VK_F1, 2, 0},
      {'A', 7, 0},
  };
  for (const Map& m : maps)
    EXPECT_EQ(win::MapVirtualKeyA(m.code, m.type), m.expected) << hex(m.code) << " type " << m.type;
  // Every key that types a character maps back through VkKeyScanA.
  for (win::UINT vk = 1; vk < 0xFF; ++vk) {
    auto c = static_cast<char>(win::MapVirtualKeyA(vk, 2));
    if (!c || (vk >= win::VK_NUMPAD0 && vk <= win::VK_DIVIDE) || vk == win::VK_OEM_102) continue;
    int found = win::VkKeyScanA(vk >= 'A' && vk <= 'Z' ? static_cast<char>(c + 32) : c);
    EXPECT_EQ(found & 0xFF, static_cast<int>(vk)) << hex(vk);
  }
}

TEST_F(InputTest, AMoveByTheWindowManagerKeepsTheSizeAndTheOtherWayRound) {
  std::string got;
  Recorder::action = [&](win::HWND h, win::UINT m, win::WPARAM, win::LPARAM) {
    if (h == a && (m == win::WM_MOVE || m == win::WM_SIZE)) got += win::test::MessageName(m) + " ";
  };
  win::backend::InputConfigured(a, {50, 60, 350, 260});  // moved, same size
  EXPECT_EQ(got, "WM_MOVE ");
  got.clear();
  win::backend::InputConfigured(a, {50, 60, 450, 260});  // sized, same place
  EXPECT_EQ(got, "WM_SIZE ");
  win::RECT r;
  win::GetWindowRect(a, &r);
  EXPECT_TRUE(r.left == 50 && r.top == 60 && r.right == 450 && r.bottom == 260);
}
