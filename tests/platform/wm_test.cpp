// The window-manager core: show states, geometry, z-order, activation,
// focus, capture and the fixed system information.
#include "platform/backend/input.h"
#include "platform_fixture.h"

using namespace platform_test;

namespace {

class WmTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    win::SetFocus(nullptr);
    win::ReleaseCapture();
  }
  // Traces `body`; the trace must match the golden file.
  template <class F>
  void expectTrace(const char* file, F body) {
    win::test::StartTrace();
    body();
    std::string trace = stopTrace();
    EXPECT_EQ(trace, golden(file, trace)) << file;
  }
};

win::RECT rectOf(win::HWND h) {
  win::RECT r{};
  win::GetWindowRect(h, &r);
  return r;
}

bool operator==(const win::RECT& a, const win::RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST_F(WmTest, ShowingTopLevelWindows) {
  win::HWND a = make("a", win::WS_OVERLAPPEDWINDOW);
  win::HWND b = make("b", win::WS_OVERLAPPEDWINDOW);
  expectTrace("show.trace", [&] {
    EXPECT_FALSE(win::ShowWindow(a, win::SW_SHOW));
    EXPECT_FALSE(win::ShowWindow(b, win::SW_SHOWNOACTIVATE));
    EXPECT_TRUE(win::ShowWindow(b, win::SW_SHOWNOACTIVATE));  // no change: no messages
  });
  EXPECT_EQ(win::GetActiveWindow(), a);
  EXPECT_EQ(win::GetFocus(), a);
  EXPECT_TRUE(win::IsWindowVisible(b));
}

TEST_F(WmTest, MaximizeMinimizeRestore) {
  win::HWND w = make("w", win::WS_OVERLAPPEDWINDOW);
  win::ShowWindow(w, win::SW_SHOW);
  win::RECT normal = rectOf(w);
  static std::string states;
  states.clear();
  Recorder::action = [](win::HWND h, win::UINT m, win::WPARAM wp, win::LPARAM) {
    if (m == win::WM_SIZE)
      states += std::to_string(wp) + (win::IsIconic(h) ? "i" : "") + (win::IsZoomed(h) ? "z" : "") + " ";
  };
  expectTrace("states.trace", [&] {
    win::ShowWindow(w, win::SW_MAXIMIZE);
    win::ShowWindow(w, win::SW_MINIMIZE);
    win::ShowWindow(w, win::SW_RESTORE);  // back to maximized
    win::ShowWindow(w, win::SW_RESTORE);
  });
  EXPECT_EQ(states, "2z 1i 2z 0 ");
  EXPECT_TRUE(rectOf(w) == normal);
  auto& surface = win::test::Headless().surfaces[w];
  EXPECT_EQ(surface.state, win::backend::SurfaceState::normal);
  // A minimized window keeps its geometry and leaves the screen.
  win::ShowWindow(w, win::SW_MINIMIZE);
  EXPECT_TRUE(rectOf(w) == normal);
  EXPECT_EQ(surface.state, win::backend::SurfaceState::minimized);
  EXPECT_EQ(win::WindowFromPoint({normal.left + 1, normal.top + 1}), nullptr);
  // Maximizing takes the screen.
  win::ShowWindow(w, win::SW_SHOWMAXIMIZED);
  win::RECT full = rectOf(w);
  EXPECT_EQ(full.right - full.left, win::GetSystemMetrics(win::SM_CXSCREEN));
  EXPECT_TRUE(win::IsZoomed(w));
}

TEST_F(WmTest, FocusBetweenChildrenOfTwoWindows) {
  win::HWND a = make("a", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE);
  win::HWND a1 = child("a1", a);
  win::HWND b = make("b", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE);
  win::HWND b1 = child("b1", b);
  win::SetFocus(a1);
  EXPECT_EQ(win::GetActiveWindow(), a);
  expectTrace("focus.trace", [&] { EXPECT_EQ(win::SetFocus(b1), a1); });
  EXPECT_EQ(win::GetFocus(), b1);
  EXPECT_EQ(win::GetActiveWindow(), b);
  expectTrace("focus_null.trace", [&] { EXPECT_EQ(win::SetFocus(nullptr), b1); });
  EXPECT_EQ(win::GetFocus(), nullptr);
  EXPECT_EQ(win::GetActiveWindow(), b);
}

TEST_F(WmTest, HidingTheActiveWindowActivatesItsOwner) {
  win::HWND owner = make("owner", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE);
  make("bystander", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE);
  win::HWND owned = make("owned", win::WS_POPUP | win::WS_VISIBLE, owner);
  EXPECT_EQ(win::GetActiveWindow(), owned);
  expectTrace("hide_active.trace", [&] { win::ShowWindow(owned, win::SW_HIDE); });
  EXPECT_EQ(win::GetActiveWindow(), owner);
  // Minimizing activates the next window too; with none left, none is.
  win::ShowWindow(owner, win::SW_MINIMIZE);
  EXPECT_EQ(Recorder::name(win::GetActiveWindow()), "bystander");
  for (auto& [h, n] : Recorder::names)
    if (win::IsWindow(h) && !win::IsIconic(h)) win::ShowWindow(h, win::SW_HIDE);
  EXPECT_EQ(win::GetActiveWindow(), nullptr);
  EXPECT_EQ(win::GetFocus(), nullptr);
}

TEST_F(WmTest, TwoWindowsThroughTheirLives) {
  expectTrace("lifecycle.trace", [&] {
    win::HWND a = make("a", win::WS_OVERLAPPEDWINDOW);
    child("a1", a);
    win::HWND b = make("b", win::WS_OVERLAPPEDWINDOW);
    win::HWND b1 = child("b1", b);
    win::ShowWindow(a, win::SW_SHOW);
    win::ShowWindow(b, win::SW_SHOW);
    win::SetFocus(b1);
    win::ShowWindow(b, win::SW_MAXIMIZE);
    win::ShowWindow(b, win::SW_RESTORE);
    win::DestroyWindow(b);
    win::DestroyWindow(a);
  });
  EXPECT_EQ(win::GetActiveWindow(), nullptr);
}

TEST_F(WmTest, PositionMessagesAndClientGeometry) {
  // A procedure may change the position on its way (the task window pins
  // itself at (-2, -2), 1 x 1).
  Recorder::action = [](win::HWND h, win::UINT m, win::WPARAM, win::LPARAM l) {
    auto* pos = reinterpret_cast<win::WINDOWPOS*>(l);
    if (m == win::WM_WINDOWPOSCHANGING && Recorder::name(h) == "task") {
      pos->x = pos->y = -2;
      pos->cx = pos->cy = 1;
    }
    if (m == win::WM_WINDOWPOSCHANGED && Recorder::name(h) == "kid") {
      win::RECT c;
      win::GetClientRect(h, &c);
      win::POINT o{0, 0};
      win::ClientToScreen(h, &o);
      EXPECT_EQ(c.right, pos->cx);
      EXPECT_EQ(o.x, 10 + pos->x);  // the parent's client starts at (10, 20)
    }
  };
  win::HWND task = make("task");
  win::SetWindowPos(task, nullptr, 100, 100, 300, 200, win::SWP_NOZORDER | win::SWP_NOACTIVATE);
  EXPECT_TRUE(rectOf(task) == (win::RECT{-2, -2, -1, -1}));
  win::HWND main = make("main");
  win::HWND kid = child("kid", main);
  EXPECT_TRUE(win::MoveWindow(kid, 30, 40, 70, 80, true));
  win::POINT p{0, 0};
  win::ScreenToClient(kid, &p);
  EXPECT_EQ(p.x, -40);
  EXPECT_EQ(p.y, -60);
  // WM_NCCALCSIZE's answer decides what a resize damages.
  win::ShowWindow(main, win::SW_SHOW);
  struct Case {
    win::LRESULT answer;
    win::RECT damage;
  };
  const Case cases[] = {{win::WVR_REDRAW, {0, 0, 400, 200}}, {0, {300, 0, 400, 200}}};
  for (const Case& c : cases) {
    win::SetWindowPos(main, nullptr, 10, 20, 300, 200, win::SWP_NOZORDER);
    win::ValidateRect(main, nullptr);
    Recorder::answers[win::WM_NCCALCSIZE] = c.answer;
    win::SetWindowPos(main, nullptr, 10, 20, 400, 200, win::SWP_NOZORDER);
    Recorder::answers.erase(win::WM_NCCALCSIZE);
    win::RECT u;
    EXPECT_TRUE(win::GetUpdateRect(main, &u, false));
    EXPECT_TRUE(u == c.damage) << c.answer << ": " << u.left << "," << u.top << "," << u.right << "," << u.bottom;
  }
  // The damage brings WM_PAINT (to the window and to its child), whose
  // default processing validates.
  win::MSG m;
  int paints = 0;
  while (paints < 10 && win::PeekMessageA(&m, main, win::WM_PAINT, win::WM_PAINT, win::PM_REMOVE)) {
    win::DispatchMessageA(&m);
    ++paints;
  }
  EXPECT_EQ(paints, 2);
  EXPECT_FALSE(win::GetUpdateRect(main, nullptr, false));
}

TEST_F(WmTest, ZOrderOwnersAndHitTesting) {
  win::HWND owner = make("owner", win::WS_POPUP | win::WS_VISIBLE);
  win::HWND owned = make("owned", win::WS_POPUP | win::WS_VISIBLE, owner, 50, 50, 40, 40);
  win::HWND other = make("other", win::WS_POPUP | win::WS_VISIBLE);
  // Raising the owner keeps its owned window above it.
  win::SetWindowPos(owner, win::HWND_TOP, 0, 0, 0, 0, win::SWP_NOMOVE | win::SWP_NOSIZE);
  EXPECT_EQ(win::GetWindow(owner, win::GW_HWNDPREV), owned);
  EXPECT_EQ(win::GetWindow(owner, win::GW_HWNDNEXT), other);
  EXPECT_EQ(win::GetWindow(owned, win::GW_OWNER), owner);
  EXPECT_EQ(win::GetParent(owned), owner);
  // Children: the newest on top.
  win::HWND k1 = child("k1", owner);
  win::HWND k2 = child("k2", owner);
  EXPECT_EQ(win::GetWindow(owner, win::GW_CHILD), k2);
  EXPECT_EQ(win::GetWindow(k2, win::GW_HWNDNEXT), k1);
  EXPECT_EQ(win::GetParent(k1), owner);
  EXPECT_TRUE(win::IsChild(owner, k1));
  EXPECT_TRUE(win::SetWindowPos(k2, win::HWND_BOTTOM, 0, 0, 0, 0, win::SWP_NOMOVE | win::SWP_NOSIZE));
  EXPECT_EQ(win::GetWindow(owner, win::GW_CHILD), k1);
  // An insert-after window of another parent is refused.
  EXPECT_FALSE(win::SetWindowPos(k1, other, 0, 0, 0, 0, win::SWP_NOMOVE | win::SWP_NOSIZE));
  // No ownership cycles.
  EXPECT_EQ(win::SetWindowLongPtrA(owner, win::GWLP_HWNDPARENT, reinterpret_cast<win::LONG_PTR>(owned)), 0);
  EXPECT_EQ(win::SetWindowLongPtrA(owner, win::GWLP_HWNDPARENT, reinterpret_cast<win::LONG_PTR>(owner)), 0);
  // The topmost window under a point, children included.
  EXPECT_EQ(win::WindowFromPoint({10 + 5 + 1, 20 + 6 + 1}), k1);
  EXPECT_EQ(win::WindowFromPoint({60, 60}), owned);
  EXPECT_EQ(win::WindowFromPoint({2000, 2000}), nullptr);
  // Hit testing by default: the client area or nowhere.
  EXPECT_EQ(win::SendMessageA(owner, win::WM_NCHITTEST, 0, win::MAKELPARAM(11, 21)), win::HTCLIENT);
  EXPECT_EQ(win::SendMessageA(owner, win::WM_NCHITTEST, 0, win::MAKELPARAM(5, 5)), win::HTNOWHERE);
}

TEST_F(WmTest, ProceduresThatDestroyTheirWindowInTheMiddle) {
  for (win::UINT killer : {win::WM_ACTIVATE, win::WM_SETFOCUS, win::WM_WINDOWPOSCHANGING, win::WM_NCACTIVATE,
                           win::WM_SHOWWINDOW, win::WM_GETMINMAXINFO}) {
    static win::UINT when;
    when = killer;
    win::HWND keep = make("keep", win::WS_POPUP | win::WS_VISIBLE);
    win::HWND w = make("victim", win::WS_POPUP);
    Recorder::action = [](win::HWND h, win::UINT m, win::WPARAM wp, win::LPARAM) {
      if (m == when && Recorder::name(h) == "victim" && (m != win::WM_ACTIVATE || wp != win::WA_INACTIVE))
        win::DestroyWindow(h);
    };
    win::ShowWindow(w, win::SW_SHOW);
    if (win::IsWindow(w)) win::ShowWindow(w, win::SW_MAXIMIZE);
    Recorder::action = nullptr;
    EXPECT_FALSE(win::IsWindow(w)) << win::test::MessageName(killer);
    EXPECT_TRUE(win::GetActiveWindow() == nullptr || win::IsWindow(win::GetActiveWindow()));
    EXPECT_TRUE(win::GetFocus() == nullptr || win::IsWindow(win::GetFocus()));
    win::DestroyWindow(keep);
  }
}

// A window with a menu line remade while it takes the focus: the new one
// is made and shown inside the old one's WM_SETFOCUS, which then destroys
// the old one (as a framework re-creating an open window does).
TEST_F(WmTest, AWindowWithAMenuLineRemadeDuringItsFocusIn) {
  static win::HWND remade;
  remade = nullptr;
  auto withMenu = [](const char* name) {
    win::HMENU bar = win::CreateMenu();
    win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_STRING, 1, "&File");
    win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_STRING, 2, "&Edit");
    return win::CreateWindowExA(0, kClass, name, win::WS_OVERLAPPEDWINDOW, 10, 20, 300, 200, nullptr, bar, nullptr,
                                nullptr);
  };
  static decltype(+withMenu) make = withMenu;
  win::HWND old = make("old");
  Recorder::action = [](win::HWND h, win::UINT m, win::WPARAM, win::LPARAM) {
    if (m != win::WM_SETFOCUS || Recorder::name(h) != "old" || remade) return;
    remade = make("new");
    win::ShowWindow(remade, win::SW_SHOW);
    win::DestroyWindow(h);
  };
  win::ShowWindow(old, win::SW_SHOW);
  Recorder::action = nullptr;
  EXPECT_FALSE(win::IsWindow(old));
  ASSERT_TRUE(win::IsWindow(remade));
  EXPECT_EQ(win::GetActiveWindow(), remade);
  EXPECT_EQ(win::GetFocus(), remade);
  win::RECT window{}, client{};
  win::GetWindowRect(remade, &window);
  win::GetClientRect(remade, &client);
  win::POINT origin{0, 0};
  win::ClientToScreen(remade, &origin);
  EXPECT_GE(origin.y - window.top, win::GetSystemMetrics(win::SM_CYMENU)) << "the menu line above the client";
  win::HMENU bar = win::GetMenu(remade);
  win::DestroyWindow(remade);
  win::DestroyMenu(bar);
}

TEST_F(WmTest, Capture) {
  win::HWND a = make("a", win::WS_POPUP | win::WS_VISIBLE);
  win::HWND b = make("b", win::WS_POPUP | win::WS_VISIBLE);
  EXPECT_EQ(win::SetCapture(a), nullptr);
  EXPECT_EQ(win::test::Headless().grab, a);
  expectTrace("capture.trace", [&] {
    EXPECT_EQ(win::SetCapture(b), a);
    win::DestroyWindow(b);
  });
  EXPECT_EQ(win::GetCapture(), nullptr);
  EXPECT_EQ(win::test::Headless().grab, nullptr);
  // Pointer input goes to the capture window wherever the pointer is.
  win::SetCapture(a);
  win::backend::InputPointerMoved({900, 700});
  win::MSG m;
  ASSERT_TRUE(win::PeekMessageA(&m, nullptr, win::WM_MOUSEMOVE, win::WM_MOUSEMOVE, win::PM_REMOVE));
  EXPECT_EQ(m.hwnd, a);
  EXPECT_EQ(m.lParam, win::MAKELPARAM(890, 680));
  win::ReleaseCapture();
}

TEST_F(WmTest, DefaultSystemCommandsAndKeys) {
  win::HWND w = make("w", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE);
  win::HWND kid = child("kid", w);
  win::SendMessageA(w, win::WM_SYSCOMMAND, win::SC_MINIMIZE, 0);
  EXPECT_TRUE(win::IsIconic(w));
  win::SendMessageA(w, win::WM_SYSCOMMAND, win::SC_RESTORE, 0);
  EXPECT_FALSE(win::IsIconic(w));
  // Alt+F4 anywhere in the window closes the window.
  win::SendMessageA(kid, win::WM_SYSKEYDOWN, win::VK_F4, 1 | 1 << 29);
  EXPECT_FALSE(win::IsWindow(w));
}

TEST(SystemInformation, FixedTablesFontsCursorsAndBeeps) {
  struct Metric {
    int index, value;
  };
  for (Metric m : {Metric{win::SM_CXSCREEN, 1024}, {win::SM_CYSCREEN, 768}, {win::SM_CXICON, 32},
                   {win::SM_CYCURSOR, 32}, {win::SM_CYMENU, 19}, {win::SM_CXSIZE, 18}, {win::SM_CYDOUBLECLK, 4},
                   {win::SM_CYMENUSIZE, 18}, {win::SM_CXMENUCHECK, 13}, {win::SM_CXVSCROLL, 16},
                   {win::SM_CYHSCROLL, 16}, {9, 0}, {999, 0}})
    EXPECT_EQ(win::GetSystemMetrics(m.index), m.value) << m.index;
  EXPECT_EQ(win::GetDoubleClickTime(), 500u);
  // The table lists RRGGBB; the answer is 0x00BBGGRR.
  EXPECT_EQ(win::GetSysColor(1), 0x808000u);
  EXPECT_EQ(win::GetSysColor(2), 0x800000u);
  EXPECT_EQ(win::GetSysColor(5), 0xFFFFFFu);
  EXPECT_EQ(win::GetSysColor(22), 0xDFDFDFu);
  EXPECT_EQ(win::GetSysColor(25), 0u);
  EXPECT_EQ(win::GetSysColor(-1), 0u);

  win::NONCLIENTMETRICSA ncm{};
  ncm.cbSize = sizeof ncm - 4;
  EXPECT_FALSE(win::SystemParametersInfoA(win::SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0));
  ncm.cbSize = sizeof ncm;
  ASSERT_TRUE(win::SystemParametersInfoA(win::SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0));
  EXPECT_STREQ(ncm.lfMenuFont.lfFaceName, "DejaVu Sans");
  EXPECT_EQ(ncm.lfMessageFont.lfHeight, -11);
  EXPECT_EQ(ncm.lfStatusFont.lfWeight, 400);
  win::LOGFONTA icon{};
  EXPECT_FALSE(win::SystemParametersInfoA(win::SPI_GETICONTITLELOGFONT, 3, &icon, 0));
  EXPECT_TRUE(win::SystemParametersInfoA(win::SPI_GETICONTITLELOGFONT, sizeof icon, &icon, 0));
  win::RECT work;
  EXPECT_TRUE(win::SystemParametersInfoA(win::SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(work.right, 1024);
  EXPECT_FALSE(win::SystemParametersInfoA(0x1234, 0, &work, 0));

  EXPECT_EQ(win::LoadIconA(nullptr, "MyAppIcon"), nullptr);
  win::HICON app = win::LoadIconA(nullptr, win::IDI_APPLICATION);
  EXPECT_NE(app, nullptr);
  EXPECT_EQ(win::LoadIconA(nullptr, win::IDI_APPLICATION), app);
  win::HCURSOR arrow = win::LoadCursorA(nullptr, win::IDC_ARROW);
  win::HCURSOR wait = win::LoadCursorA(nullptr, win::IDC_WAIT);
  ASSERT_TRUE(arrow && wait && arrow != wait && arrow != app);
  win::SetCursor(arrow);
  EXPECT_EQ(win::SetCursor(wait), arrow);
  EXPECT_EQ(win::test::CurrentCursor(), wait);
  EXPECT_EQ(win::test::Headless().cursor, wait);
  win::SetCursorPos(12, 34);
  win::POINT p;
  win::GetCursorPos(&p);
  EXPECT_EQ(p.x, 12);
  EXPECT_EQ(win::test::Headless().pointer.y, 34);
  int beeps = win::test::BeepCount();
  win::MessageBeep(win::MB_OK);
  EXPECT_EQ(win::test::BeepCount(), beeps + 1);
}

TEST_F(WmTest, ColourAndFontChangesAreAnnounced) {
  win::NONCLIENTMETRICSA saved{};
  saved.cbSize = sizeof saved;
  win::SystemParametersInfoA(win::SPI_GETNONCLIENTMETRICS, sizeof saved, &saved, 0);
  make("w");
  win::test::StartTrace();
  win::test::SetSysColor(5, 0x123456);
  win::LOGFONTA f{};
  f.lfHeight = -15;
  win::test::SetSystemFonts(f, f, f, f);
  EXPECT_EQ(stopTrace(), "sent w WM_SYSCOLORCHANGE 0 0\nsent w WM_WININICHANGE 0 ptr\n");
  EXPECT_EQ(win::GetSysColor(5), 0x123456u);
  win::LOGFONTA icon{};
  win::SystemParametersInfoA(win::SPI_GETICONTITLELOGFONT, sizeof icon, &icon, 0);
  EXPECT_EQ(icon.lfHeight, -15);
  win::test::SetSysColor(5, 0xFFFFFF);
  win::test::SetSystemFonts(saved.lfMessageFont, saved.lfMenuFont, saved.lfMessageFont, saved.lfStatusFont);
}

TEST_F(WmTest, SystemMenuPerWindowAndSurfaces) {
  win::HWND w = make("w");
  win::HMENU m = win::GetSystemMenu(w, false);
  EXPECT_NE(m, nullptr);
  EXPECT_EQ(win::GetSystemMenu(w, false), m);
  EXPECT_NE(win::GetSystemMenu(make("v"), false), m);
  // The task window never gets a surface, a pop-up that shows does.
  auto& headless = win::test::Headless();
  win::HWND task = make("task", win::WS_POPUP, nullptr, -2, -2, 1, 1);
  win::ShowWindow(task, win::SW_SHOWNOACTIVATE);
  EXPECT_EQ(headless.surfaces.count(task), 0u);
  win::ShowWindow(w, win::SW_SHOW);
  EXPECT_EQ(headless.surfaces.count(w), 1u);
  win::DestroyWindow(w);
  EXPECT_EQ(headless.surfaces.count(w), 0u);
  EXPECT_FALSE(win::DestroyMenu(m));  // went with its window
}

TEST_F(WmTest, BackEndEventsActivateMoveAndStack) {
  win::HWND a = make("a", win::WS_POPUP | win::WS_VISIBLE, nullptr, 0, 0, 100, 100);
  win::HWND b = make("b", win::WS_POPUP | win::WS_VISIBLE, nullptr, 200, 0, 100, 100);
  auto& headless = win::test::Headless();
  ASSERT_EQ(win::GetActiveWindow(), b);
  // A press in the inactive window: asked first, then activated by the click.
  static win::WPARAM activation;
  Recorder::action = [](win::HWND, win::UINT m, win::WPARAM w, win::LPARAM) {
    if (m == win::WM_ACTIVATE && w != win::WA_INACTIVE) activation = w;
  };
  // Presses are routed, and windows activated, as the queue is read.
  auto pressesTaken = [] {
    win::MSG m;
    std::string got;
    while (win::PeekMessageA(&m, nullptr, win::WM_LBUTTONDOWN, win::WM_LBUTTONDOWN, win::PM_REMOVE))
      got += Recorder::name(m.hwnd) + " ";
    return got;
  };
  win::backend::InputButton({10, 10}, win::backend::Button::left, true);
  EXPECT_EQ(pressesTaken(), "a ");
  EXPECT_EQ(win::GetActiveWindow(), a);
  EXPECT_EQ(activation, win::WA_CLICKACTIVE);
  // A window answering "no activation, eat it" keeps the press away.
  Recorder::answers[win::WM_MOUSEACTIVATE] = win::MA_NOACTIVATEANDEAT;
  win::backend::InputButton({210, 10}, win::backend::Button::left, true);
  EXPECT_EQ(pressesTaken(), "");
  Recorder::answers.clear();
  EXPECT_EQ(win::GetActiveWindow(), a);
  // The surfaces' stack follows the order: the active window on top.
  ASSERT_GE(headless.stack.size(), 2u);
  EXPECT_EQ(headless.stack.front(), a);
  // The window manager moved a surface and sized it below the minimum.
  Recorder::action = [](win::HWND, win::UINT msg, win::WPARAM, win::LPARAM l) {
    if (msg == win::WM_GETMINMAXINFO) reinterpret_cast<win::MINMAXINFO*>(l)->ptMinTrackSize = {50, 60};
  };
  win::backend::InputConfigured(b, {300, 10, 320, 30});
  EXPECT_TRUE(rectOf(b) == (win::RECT{300, 10, 350, 70}));
  EXPECT_TRUE(headless.surfaces[b].desc.outer == (win::RECT{300, 10, 350, 70}));
  win::backend::InputStateChanged(b, win::backend::SurfaceState::minimized);
  EXPECT_TRUE(win::IsIconic(b));
}
