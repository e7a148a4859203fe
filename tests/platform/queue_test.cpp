// The queue: order of retrieval, filters, timers, waiting, hooks, input.
#include <unistd.h>

#include "platform/backend/input.h"
#include "platform_fixture.h"

using namespace platform_test;

namespace {

class QueueTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    win::UseVirtualClock(true);
    drain();
    main = make("main");
    kid = child("kid", main);
    other = make("other");
  }
  void TearDown() override {
    drain();
    WindowTest::TearDown();
    win::UseVirtualClock(false);
  }
  static void drain() {
    win::MSG m;
    while (win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE)) {
    }
  }
  // The next message's window and number, or "none".
  static std::string next(win::HWND filter = nullptr, win::UINT lo = 0, win::UINT hi = 0,
                          win::UINT remove = win::PM_REMOVE) {
    win::MSG m;
    if (!win::PeekMessageA(&m, filter, lo, hi, remove)) return "none";
    return Recorder::name(m.hwnd) + " " + win::test::MessageName(m.message);
  }
  win::HWND main = nullptr, kid = nullptr, other = nullptr;
};

constexpr win::UINT U = win::WM_USER;

}  // namespace

TEST_F(QueueTest, PostedMessagesComeBeforeInputAndInputBeforeTimers) {
  win::SetTimer(main, 1, 10, nullptr);
  win::test::AdvanceClock(10);
  win::backend::InputActivated(main);
  win::backend::InputKey('A', 0x1E, false, true, 'a');
  win::PostMessageA(main, U, 0, 0);
  win::PostMessageA(other, U + 1, 0, 0);
  EXPECT_EQ(next(), "main 0x0400");
  EXPECT_EQ(next(), "other 0x0401");
  EXPECT_EQ(next(), "main WM_KEYDOWN");
  EXPECT_EQ(next(), "main WM_TIMER");
  EXPECT_EQ(next(), "none");
  win::backend::InputKey('A', 0x1E, false, false, -1);
}

TEST_F(QueueTest, TimersCoalesceRestartAndDie) {
  win::SetTimer(main, 1, 10, nullptr);
  win::test::AdvanceClock(55);  // five periods: still one message
  EXPECT_EQ(next(), "main WM_TIMER");
  EXPECT_EQ(next(), "none");
  win::test::AdvanceClock(10);
  EXPECT_EQ(next(nullptr, 0, 0, win::PM_NOREMOVE), "main WM_TIMER");
  // Setting it again restarts its period.
  win::SetTimer(main, 1, 10, nullptr);
  EXPECT_EQ(next(), "none");
  win::test::AdvanceClock(10);
  // Killing it removes the pending message too.
  EXPECT_TRUE(win::KillTimer(main, 1));
  EXPECT_EQ(next(), "none");
  EXPECT_FALSE(win::KillTimer(main, 1));
  // A period of 0 is a millisecond, so a due timer never spins.
  win::SetTimer(main, 2, 0, nullptr);
  EXPECT_EQ(next(), "none");
  win::test::AdvanceClock(1);
  EXPECT_EQ(next(), "main WM_TIMER");
  win::KillTimer(main, 2);
}

TEST_F(QueueTest, FiltersTakeAWindowWithItsChildrenAndARange) {
  win::PostMessageA(other, U + 2, 0, 0);
  win::PostMessageA(kid, U + 1, 0, 0);
  win::PostMessageA(main, U, 0, 0);
  win::PostMessageA(nullptr, U + 3, 0, 0);
  win::HWND threadOnly = reinterpret_cast<win::HWND>(~std::uintptr_t{0});
  struct Case {
    win::HWND filter;
    win::UINT lo, hi;
    const char* expected;
  };
  const Case cases[] = {
      {main, 0, 0, "kid 0x0401"},         // the child's message is older
      {main, U, U, "main 0x0400"},
      {main, U + 2, U + 3, "none"},
      {nullptr, U + 2, U + 9, "other 0x0402"},
      {threadOnly, 0, 0, "null 0x0403"},
      {kid, 0, 0, "kid 0x0401"},
  };
  for (const Case& c : cases)  // PM_NOREMOVE: every case sees the same queue
    EXPECT_EQ(next(c.filter, c.lo, c.hi, win::PM_NOREMOVE), c.expected) << c.expected;
  EXPECT_EQ(next(main, U, U), "main 0x0400");
  EXPECT_EQ(next(main, U, U), "none");
  EXPECT_EQ(next(), "other 0x0402");
}

TEST_F(QueueTest, WaitReturnsForNewArrivalsOnlyAndMovesTheVirtualClock) {
  win::ULONGLONG start = win::GetTickCount64();
  win::PostMessageA(main, U, 0, 0);
  EXPECT_TRUE(win::WaitMessage());  // arrived since the last look
  EXPECT_EQ(win::GetTickCount64(), start);
  // Looked at and left by a filter, it no longer ends a wait: the wait
  // sleeps (moves the clock) until the timer.
  EXPECT_EQ(next(other), "none");
  win::SetTimer(other, 3, 100, nullptr);
  EXPECT_TRUE(win::WaitMessage());
  EXPECT_EQ(win::GetTickCount64(), start + 100);
  EXPECT_EQ(next(other), "other WM_TIMER");
  // A due timer that a filter skipped does not end the next wait either.
  win::test::AdvanceClock(100);
  EXPECT_EQ(next(main, U, U), "main 0x0400");
  win::SetTimer(main, 4, 30, nullptr);
  win::ULONGLONG before = win::GetTickCount64();
  EXPECT_TRUE(win::WaitMessage());
  EXPECT_EQ(win::GetTickCount64(), before + 30);
  win::KillTimer(other, 3);
  win::KillTimer(main, 4);
}

TEST_F(QueueTest, GetMessageWaitsForTheTimerOnTheVirtualClock) {
  win::ULONGLONG start = win::GetTickCount64();
  static int calls;
  calls = 0;
  win::UINT_PTR id = win::SetTimer(nullptr, 1234, 250, [](win::HWND h, win::UINT m, win::UINT_PTR, win::DWORD) {
    calls += h == nullptr && m == win::WM_TIMER;
  });
  ASSERT_NE(id, 0u);
  win::MSG m;
  ASSERT_EQ(win::GetMessageA(&m, nullptr, 0, 0), 1);
  EXPECT_EQ(m.message, win::WM_TIMER);
  EXPECT_EQ(m.wParam, id);
  EXPECT_EQ(win::GetTickCount64(), start + 250);
  win::DispatchMessageA(&m);
  EXPECT_EQ(calls, 1);
  // Once killed, a message already taken calls nothing.
  win::KillTimer(nullptr, id);
  win::DispatchMessageA(&m);
  EXPECT_EQ(calls, 1);
}

TEST_F(QueueTest, MessageTimeAndPositionAreThoseOfThePosting) {
  win::backend::InputPointerMoved({30, 40});
  drain();
  win::DWORD posted = win::GetTickCount();
  win::PostMessageA(main, U, 0, 0);
  win::backend::InputPointerMoved({500, 600});
  win::test::AdvanceClock(70);
  win::MSG m;
  ASSERT_TRUE(win::PeekMessageA(&m, main, U, U, win::PM_REMOVE));
  EXPECT_EQ(static_cast<win::DWORD>(win::GetMessageTime()), posted);
  EXPECT_EQ(win::GetMessagePos(), static_cast<win::DWORD>(win::MAKELPARAM(30, 40)));
}

TEST_F(QueueTest, DeadWindowsLoseTheirMessages) {
  win::PostMessageA(kid, U, 0, 0);
  win::PostMessageA(other, U + 1, 0, 0);
  win::SetTimer(kid, 1, 5, nullptr);
  win::DestroyWindow(kid);
  EXPECT_FALSE(win::PostMessageA(kid, U, 0, 0));
  win::test::AdvanceClock(10);
  EXPECT_EQ(next(), "other 0x0401");
  EXPECT_EQ(next(), "none");
}

TEST_F(QueueTest, QuitComesAfterPostedMessages) {
  win::PostQuitMessage(3);
  win::PostMessageA(main, U, 0, 0);
  win::MSG m;
  EXPECT_EQ(win::GetMessageA(&m, nullptr, 0, 0), 1);
  EXPECT_EQ(win::GetMessageA(&m, nullptr, 0, 0), 0);
  EXPECT_EQ(m.wParam, 3u);
  EXPECT_EQ(next(), "none");
}

TEST_F(QueueTest, KeysTranslateToCharactersAndPointerInputFindsChildren) {
  win::ShowWindow(main, win::SW_SHOW);
  win::backend::InputActivated(main);
  win::backend::InputKey('A', 0x1E, false, true, 'a');
  win::backend::InputKey('A', 0x1E, false, false, -1);
  win::MSG m;
  ASSERT_TRUE(win::GetMessageA(&m, nullptr, 0, 0));
  EXPECT_EQ(m.message, win::WM_KEYDOWN);
  EXPECT_EQ(m.lParam, 1 | 0x1E << 16);
  EXPECT_TRUE(win::TranslateMessage(&m));
  ASSERT_TRUE(win::GetMessageA(&m, nullptr, 0, 0));
  EXPECT_EQ(m.message, win::WM_CHAR);
  EXPECT_EQ(m.wParam, static_cast<win::WPARAM>('a'));
  ASSERT_TRUE(win::GetMessageA(&m, nullptr, 0, 0));
  EXPECT_EQ(m.message, win::WM_KEYUP);
  EXPECT_EQ(static_cast<std::uint32_t>(m.lParam) >> 30, 3u);
  // main is at (10, 20); its child at (5, 6) in its client, 50 x 40.
  win::backend::InputButton({10 + 5 + 3, 20 + 6 + 4}, win::backend::Button::left, true);
  win::backend::InputButton({10 + 100, 20 + 100}, win::backend::Button::left, false);
  ASSERT_TRUE(win::GetMessageA(&m, nullptr, 0, 0));
  EXPECT_EQ(Recorder::name(m.hwnd) + " " + win::test::MessageName(m.message), "kid WM_LBUTTONDOWN");
  EXPECT_EQ(m.lParam, win::MAKELPARAM(3, 4));
  EXPECT_EQ(m.wParam, win::MK_LBUTTON);
  EXPECT_EQ(next(), "main WM_LBUTTONUP");
  // A close request from the back-end arrives as the system command,
  // whose default processing destroys the window.
  win::backend::InputCloseRequested(main);
  ASSERT_TRUE(win::GetMessageA(&m, nullptr, 0, 0));
  win::DispatchMessageA(&m);
  EXPECT_FALSE(win::IsWindow(main));
}

TEST_F(QueueTest, DispatchedMessagesAreTracedAsPosted) {
  win::PostMessageA(main, U, 5, 6);
  Recorder::action = [](win::HWND h, win::UINT m, win::WPARAM, win::LPARAM) {
    if (m == U) win::SendMessageA(h, U + 1, 0, 0);
  };
  win::test::StartTrace();
  win::MSG m;
  ASSERT_TRUE(win::GetMessageA(&m, nullptr, 0, 0));
  win::DispatchMessageA(&m);
  EXPECT_EQ(stopTrace(), "posted main 0x0400 5 6\n  sent main 0x0401 0 0\n");
}

namespace {
std::string hookPath;
win::HHOOK first, second;
win::LRESULT firstHook(int code, win::WPARAM w, win::LPARAM l) {
  hookPath += "first ";
  return win::CallNextHookEx(first, code, w, l);
}
win::LRESULT secondHook(int code, win::WPARAM w, win::LPARAM l) {
  hookPath += "second ";
  if (code == win::MSGF_MENU) return 1;  // handled: the chain stops
  return win::CallNextHookEx(second, code, w, l);
}
}  // namespace

TEST(Hooks, MessageFilterChain) {
  first = win::SetWindowsHookA(win::WH_MSGFILTER, firstHook);
  second = win::SetWindowsHookA(win::WH_MSGFILTER, secondHook);
  ASSERT_TRUE(first && second);
  win::MSG m{};
  hookPath.clear();
  EXPECT_FALSE(win::CallMsgFilterA(&m, win::MSGF_DIALOGBOX));
  EXPECT_EQ(hookPath, "second first ");
  hookPath.clear();
  EXPECT_TRUE(win::CallMsgFilterA(&m, win::MSGF_MENU));
  EXPECT_EQ(hookPath, "second ");
  EXPECT_TRUE(win::UnhookWindowsHook(win::WH_MSGFILTER, secondHook));
  EXPECT_FALSE(win::UnhookWindowsHook(win::WH_MSGFILTER, secondHook));
  hookPath.clear();
  win::CallMsgFilterA(&m, win::MSGF_MENU);
  EXPECT_EQ(hookPath, "first ");
  EXPECT_TRUE(win::UnhookWindowsHookEx(first));
  EXPECT_FALSE(win::UnhookWindowsHookEx(first));
  EXPECT_EQ(win::SetWindowsHookA(12345, firstHook), nullptr);
}

TEST_F(QueueTest, WaitEndsForTheWakePipeAndReadableDescriptors) {
  // A far timer: a wait that missed the wake-up would move the clock to it.
  win::SetTimer(main, 9, 100000, nullptr);
  drain();
  win::ULONGLONG start = win::GetTickCount64();
  win::PrepareWake();
  win::WakeFromSignal();
  EXPECT_TRUE(win::WaitMessage());
  EXPECT_EQ(win::GetTickCount64(), start);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  win::AddWaitDescriptor(fds[0]);
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  EXPECT_TRUE(win::WaitMessage());
  EXPECT_EQ(win::GetTickCount64(), start);
  win::RemoveWaitDescriptor(fds[0]);
  close(fds[0]);
  close(fds[1]);
  // With neither, the wait lasts until the timer.
  EXPECT_TRUE(win::WaitMessage());
  EXPECT_EQ(win::GetTickCount64(), start + 100000);
  win::KillTimer(main, 9);
}
