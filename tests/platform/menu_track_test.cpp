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
  static inline int quits = 0;
  static void pump() {
    win::MSG m;
    while (win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE)) {
      quits += m.message == win::WM_QUIT;
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
  // A press on a title of the menu line.
  void pressTitle(int position) { win::test::MouseDown(centre(frame, bar, position)); }
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
    return win::test::FormatTrace(mine, [&](win::HWND h) { return nameOf(h); });
  }
  // Windows by their names, menus as the frame knows them.
  std::string nameOf(win::HWND h) {
    const std::pair<win::HMENU, const char*> menus[] = {
        {bar, "bar"}, {file, "file"}, {edit, "edit"}, {format, "format"}, {sys, "sys"}};
    for (const auto& [m, n] : menus)
      if (m && reinterpret_cast<win::HWND>(m) == h) return n;
    return Recorder::name(h);
  }
  void expectTrace(const char* file, const std::string& trace) { EXPECT_EQ(trace, golden(file, trace)) << file; }

  // The owner answers WM_MEASUREITEM with this size and draws with `draw`.
  static inline win::SIZE ownerSize{};
  static inline std::function<void(const win::DRAWITEMSTRUCT&)> ownerDraw;
  static void ownerDrawn(int cx, int cy, std::function<void(const win::DRAWITEMSTRUCT&)> draw) {
    ownerSize = {cx, cy};
    ownerDraw = std::move(draw);
    Recorder::action = [](win::HWND, win::UINT m, win::WPARAM, win::LPARAM lp) {
      if (m == win::WM_MEASUREITEM) {
        auto* mi = reinterpret_cast<win::MEASUREITEMSTRUCT*>(lp);
        mi->itemWidth = static_cast<win::UINT>(ownerSize.cx);
        mi->itemHeight = static_cast<win::UINT>(ownerSize.cy);
      } else if (m == win::WM_DRAWITEM) {
        ownerDraw(*reinterpret_cast<const win::DRAWITEMSTRUCT*>(lp));
      }
    };
  }

  win::HWND frame = nullptr;
  win::HMENU bar = nullptr, file = nullptr, edit = nullptr, format = nullptr, sys = nullptr;
  win::HHOOK hook = nullptr;
};

TEST_F(MenuTrack, ClickTitleMoveAndReleaseOnAnEntry) {
  makeFrame();
  static win::DWORD commandPos = 0;
  Recorder::action = [](win::HWND, win::UINT m, win::WPARAM, win::LPARAM) {
    if (m == win::WM_COMMAND) commandPos = win::GetMessagePos();
  };
  win::POINT exit{};
  expectTrace("menu_click.trace", run({[&] { pressTitle(0); },
                                       [&] { button(centre(frame, bar, 0), false); },  // the pop-up stays
                                       [&] { moveTo(centre(frame, bar, 1)); },          // and follows the line
                                       [&] { moveTo(centre(frame, edit, 1)); },
                                       [&] { moveTo(centre(frame, bar, 0)); },
                                       [&] { moveTo(exit = centre(frame, file, 2)); },
                                       [&] { button(exit, true); },
                                       [&] { button(exit, false); }}));
  EXPECT_EQ(commandPos, static_cast<win::DWORD>(win::MAKELPARAM(exit.x, exit.y)));
  EXPECT_EQ(win::GetMenuState(file, 2, win::MF_BYPOSITION) & win::MF_HILITE, 0u);
  EXPECT_EQ(win::GetCapture(), nullptr);
}

TEST_F(MenuTrack, AltAloneThenDownAndEnter) {
  makeFrame();
  expectTrace("menu_alt.trace", run({[&] {
    key(win::VK_MENU, true);
    key(win::VK_MENU, false);
    tap(0x28);  // Down opens the title's pop-up on its first entry
    tap(0x28);  // the separator is skipped
    tap(0x0D);
  }}));
}

TEST_F(MenuTrack, KeysWalkTitlesCascadesAndSkipGrayedChoices) {
  makeFrame();
  win::InsertMenuA(edit, ~0u, win::MF_BYPOSITION, 1202, "C&opy");
  win::InsertMenuA(edit, ~0u, win::MF_BYPOSITION, 1203, "Paste &Over");  // "o" twice
  expectTrace("menu_keys.trace", run({[&] {
                                        tap(win::VK_F10);
                                        tap(0x27);        // Right: to Edit, nothing open yet
                                        tap(0x0D);        // Enter opens it on Undo (grayed)
                                        tap(0x0D);        // a grayed entry is never chosen
                                        tap(0x26);        // Up wraps to the last entry
                                        tap('F', 'f');    // the cascade opens on Bold
                                        tap(0x25);        // Left closes it again
                                        tap(0x27);        // Right opens it
                                        tap(0x1B);        // Escape closes one level
                                        tap('O', 'o');    // two entries take "o": the first,
                                        tap('O', 'o');    // then the next
                                        tap('Q', 'q');    // none: WM_MENUCHAR, then a beep
                                      },
                                      [&] { tap(0x0D); }}));
  EXPECT_EQ(win::test::BeepCount() > 0, true);
}

TEST_F(MenuTrack, EscapeTwiceClickOutsideAndEndMenu) {
  makeFrame();
  win::HWND other = make("other", win::WS_POPUP | win::WS_VISIBLE, nullptr, 600, 500, 50, 50);
  pump();
  win::SetActiveWindow(frame);
  pump();
  std::string trace = run({[&] { pressTitle(1); },
                           [&] { button(centre(frame, bar, 1), false); },
                           [&] { tap(0x1B); },  // the pop-up closes, the title stays highlighted
                           [&] { tap(0x1B); },  // the menu mode ends
                           [&] { pressTitle(0); },
                           [&] { button(centre(frame, bar, 0), false); },
                           [&] {  // a press outside every menu ends it and goes to the other window
                             button({610, 510}, true);
                             button({610, 510}, false);
                           },
                           [&] { pressTitle(0); },
                           [&] { win::EndMenu(); },
                           [&] {}});
  expectTrace("menu_end.trace", trace);
  EXPECT_EQ(win::IsWindow(other), 1);
}

// A press outside every menu and the menu line ends the menu and is then
// delivered where it was made, whichever way the menu began: to a child of
// the owner, and to another window, which takes the activation with it.
TEST_F(MenuTrack, APressOutsideIsDeliveredWhereItWasMade) {
  makeFrame();
  win::HWND inside = make("inside", win::WS_CHILD | win::WS_VISIBLE, frame, 20, 40, 80, 40);
  win::HWND other = make("other", win::WS_POPUP | win::WS_VISIBLE, nullptr, 600, 500, 50, 50);
  static std::vector<std::string> seen;
  Recorder::action = [](win::HWND h, win::UINT m, win::WPARAM, win::LPARAM) {
    if (m == win::WM_EXITMENULOOP || m == win::WM_LBUTTONDOWN || m == win::WM_LBUTTONUP)
      seen.push_back(Recorder::name(h) + (m == win::WM_EXITMENULOOP ? " exit" : m == win::WM_LBUTTONDOWN ? " down" : " up"));
  };
  for (bool byKey : {true, false})
    for (win::HWND target : {inside, other}) {
      SCOPED_TRACE(Recorder::name(target) + (byKey ? " after F10" : " with a pop-up open"));
      win::SetActiveWindow(frame);
      pump();
      seen.clear();
      win::POINT at{10, 10};
      win::ClientToScreen(target, &at);
      run({[&] {
             if (byKey) {
               tap(win::VK_F10);
             } else {
               pressTitle(0);
               button(centre(frame, bar, 0), false);
             }
           },
           [&] {
             button(at, true);
             button(at, false);
           },
           [] {}});
      std::string who = Recorder::name(target);
      EXPECT_EQ(seen, (std::vector<std::string>{"frame exit", who + " down", who + " up"}));
      EXPECT_EQ(win::GetActiveWindow(), target == other ? other : frame);
    }
}

// The owner losing the activation ends the menu, even when it has it back
// before the loop looks again (a window manager passing it about).
TEST_F(MenuTrack, LostActivationEndsTheMenuThoughItComesBack) {
  makeFrame();
  win::HWND other = make("other", win::WS_POPUP | win::WS_VISIBLE, nullptr, 600, 500, 50, 50);
  pump();
  win::SetActiveWindow(frame);
  pump();
  static bool tracking = false;
  Recorder::action = [](win::HWND, win::UINT m, win::WPARAM, win::LPARAM) {
    if (m == win::WM_ENTERMENULOOP || m == win::WM_EXITMENULOOP) tracking = m == win::WM_ENTERMENULOOP;
  };
  bool trackedAfter = true;
  run({[&] { tap(win::VK_F10); },
       [&] {
         win::SetActiveWindow(other);
         win::SetActiveWindow(frame);
       },
       [&] { trackedAfter = tracking; },
       [&] {
         if (tracking) win::EndMenu();  // fail, never hang
       },
       [] {}});
  EXPECT_FALSE(trackedAfter);
  EXPECT_EQ(win::GetActiveWindow(), frame);
}

// A signal (a request to quit) ends the tracking at once, as an ended menu
// does, so the program's own loop can act on it.
TEST_F(MenuTrack, ASignalEndsTheTracking) {
  makeFrame();
  win::SetActiveWindow(frame);
  pump();
  bool stillTracking = true;
  std::string trace = run({[&] { pressTitle(0); },
                           [&] { button(centre(frame, bar, 0), false); },
                           [&] { win::WakeFromSignal(); },
                           [&] {
                             // Escape would close an open pop-up: none is left to close.
                             win::RECT r{};
                             stillTracking = win::test::MenuEntryRect(frame, file, 0, &r) != 0;
                           },
                           [&] {
                             if (stillTracking) win::EndMenu();  // fail, never hang
                           },
                           [&] {}});
  EXPECT_FALSE(stillTracking);
  EXPECT_NE(trace.find("WM_EXITMENULOOP"), std::string::npos) << trace;
}

TEST_F(MenuTrack, AltLetterOnAnOwnerDrawnBar) {
  makeFrame();
  // The framework's owner-drawn titles have no text: WM_MENUCHAR finds them.
  win::ModifyMenuA(bar, 0, win::MF_BYPOSITION | win::MF_POPUP | win::MF_OWNERDRAW,
                   reinterpret_cast<win::UINT_PTR>(file), reinterpret_cast<const char*>(std::uintptr_t{0xF11E}));
  win::ModifyMenuA(bar, 1, win::MF_BYPOSITION | win::MF_POPUP | win::MF_OWNERDRAW,
                   reinterpret_cast<win::UINT_PTR>(edit), reinterpret_cast<const char*>(std::uintptr_t{0xED17}));
  static std::vector<std::string> drawn;
  drawn.clear();
  ownerDrawn(30, 17, [](const win::DRAWITEMSTRUCT& di) {
    drawn.push_back(std::to_string(di.itemID) + (di.itemState & win::ODS_SELECTED ? " selected" : "") + " " +
                    std::to_string(di.rcItem.left) + "-" + std::to_string(di.rcItem.right));
  });
  Recorder::answers[win::WM_MENUCHAR] = 0x20001;  // execute position 1
  win::DrawMenuBar(frame);
  pump();
  EXPECT_EQ(drawn, (std::vector<std::string>{"0 0-42", "1 42-84"}));  // 30 and the check column
  drawn.clear();
  expectTrace("menu_ownerdrawn.trace", run({[&] {
                                              key(win::VK_MENU, true);
                                              tap('E', 'e');
                                              key(win::VK_MENU, false);
                                            },
                                            [&] { tap(0x1B); },
                                            [&] { tap(0x1B); }}));
  ASSERT_GE(drawn.size(), 4u);
  EXPECT_EQ(drawn[1], "1 selected 42-84");
  EXPECT_EQ(drawn.back(), "1 42-84");
}

TEST_F(MenuTrack, SystemMenuFromAltSpace) {
  makeFrame();
  sys = win::GetSystemMenu(frame, false);
  Recorder::answers[win::WM_CLOSE] = 0;  // the window stays for the test
  win::SetCursorPos(100, 120);
  expectTrace("menu_system.trace", run({[&] {
    key(win::VK_MENU, true);
    tap(0x20, ' ');
    key(win::VK_MENU, false);
    tap(0x26);  // Up from Restore wraps to Switch To
    tap(0x26);
    tap(0x0D);
  }}));
  win::RECT r{};
  EXPECT_FALSE(win::test::MenuEntryRect(frame, sys, 0, &r));  // closed again
}

// Alt released alone opens the menu line; a key pressed between, even one
// the window takes itself (F4 here), or a change of focus, means it was
// not alone. The releases of keys held when a menu began (Alt and the
// letter of Alt+F) come after it, so the window sees them up.
TEST_F(MenuTrack, AltAloneOnlyWhenNothingElseCameBetween) {
  makeFrame();
  win::HWND other = make("other", win::WS_CHILD | win::WS_VISIBLE, frame, 0, 0, 20, 20);
  static win::WNDPROC previous = nullptr;
  previous = reinterpret_cast<win::WNDPROC>(win::SetWindowLongPtrA(
      frame, win::GWLP_WNDPROC,
      reinterpret_cast<win::LONG_PTR>(+[](win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) -> win::LRESULT {
        if (m == win::WM_SYSKEYDOWN && w == win::VK_F4) return 0;  // its own Alt+F4
        return previous(h, m, w, l);
      })));
  const auto entered = [&](const std::vector<Step>& script) {
    return run(script).find("WM_ENTERMENULOOP") != std::string::npos;
  };
  win::SetFocus(frame);
  // Escape ends a menu wrongly begun.
  EXPECT_FALSE(entered({[&] {
                          key(win::VK_MENU, true);
                          tap(win::VK_F4);
                          key(win::VK_MENU, false);
                        },
                        [&] { tap(0x1B); }}))
      << "a key the window took itself";
  EXPECT_FALSE(entered({[&] { key(win::VK_MENU, true); }, [&] { win::SetFocus(other); },
                        [&] { key(win::VK_MENU, false); }, [&] { tap(0x1B); }}))
      << "a change of focus";
  win::SetFocus(frame);
  EXPECT_TRUE(entered({[&] {
    key(win::VK_MENU, true);
    key(win::VK_MENU, false);
  },
                       [&] { tap(0x1B); }}))
      << "Alt alone";
  const std::string trace = run({[&] {
                                   key(win::VK_MENU, true);
                                   tap('F', 'f');
                                   key(win::VK_MENU, false);
                                 },
                                 [&] { tap(0x1B); }, [&] { tap(0x1B); }});
  const std::size_t end = trace.find("WM_EXITMENULOOP");
  ASSERT_NE(end, std::string::npos) << trace;
  EXPECT_NE(trace.find("WM_SYSKEYUP 46", end), std::string::npos) << trace;
  EXPECT_NE(trace.find("WM_SYSKEYUP 12", end), std::string::npos) << trace;
  EXPECT_GE(win::GetKeyState(win::VK_MENU), 0);
  win::SetWindowLongPtrA(frame, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(previous));
}

// The menu-bar keys (F10, Alt alone) end a menu on their press, and the
// release of that press begins no new one; a key between press and
// release of F10 means it was not alone.
TEST_F(MenuTrack, AMenuBarKeyPressedInTheMenuEndsItForGood) {
  makeFrame();
  win::SetFocus(frame);
  const auto loops = [&](const std::vector<Step>& script) {
    const std::string trace = run(script);
    int n = 0;
    for (std::size_t at = trace.find("WM_ENTERMENULOOP"); at != std::string::npos;
         at = trace.find("WM_ENTERMENULOOP", at + 1))
      ++n;
    return n;
  };
  for (win::UINT vk : {win::UINT{win::VK_F10}, win::UINT{win::VK_MENU}}) {
    SCOPED_TRACE(vk);
    // Pressed and released: the menu; pressed again inside it: its end,
    // and the release after is the key's last word.
    EXPECT_EQ(loops({[&] { tap(vk); }, [&] { key(vk, true); }, [&] { key(vk, false); }, [&] { tap(0x1B); }}), 1);
    EXPECT_EQ(win::GetCapture(), nullptr) << "no menu is left tracking";
    EXPECT_EQ(loops({[&] {
                       key(vk, true);
                       tap(win::VK_SHIFT);
                       key(vk, false);
                     },
                     [&] { tap(0x1B); }}),
              0)
        << "another key between press and release";
  }
}

TEST_F(MenuTrack, TheLoopPassesEveryMessageToTheMessageFilter) {
  makeFrame();
  static int seen = 0, escapes = 0;
  seen = escapes = 0;
  hook = win::SetWindowsHookA(win::WH_MSGFILTER, [](int code, win::WPARAM, win::LPARAM lp) -> win::LRESULT {
    auto* m = reinterpret_cast<win::MSG*>(lp);
    if (code != win::MSGF_MENU) return 0;
    ++seen;
    // A filter that takes a message keeps it from the menu.
    bool escape = m->message == win::WM_KEYDOWN && m->wParam == 0x1B;
    escapes += escape;
    return escape ? 1 : 0;
  });
  bool stillOpen = false;
  run({[&] { pressTitle(0); }, [&] { tap(0x1B); },
       [&] {
         win::RECT r{};
         stillOpen = win::test::MenuEntryRect(frame, file, 0, &r);
         win::SendMessageA(frame, win::WM_CANCELMODE, 0, 0);
       },
       [&] {}});
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(escapes, 1);
  EXPECT_GT(seen, 3);
  win::RECT r{};
  EXPECT_FALSE(win::test::MenuEntryRect(frame, file, 0, &r));
}

TEST_F(MenuTrack, TheMenuLineTakesRowsAboveTheClientArea) {
  frame = make("frame", win::WS_OVERLAPPEDWINDOW, nullptr, 40, 30, 200, 150);
  bar = win::CreateMenu();
  win::SetMenu(frame, bar);
  win::ShowWindow(frame, win::SW_SHOW);
  pump();
  auto clientHeight = [&] {
    win::RECT c{};
    win::GetClientRect(frame, &c);
    return c.bottom;
  };
  EXPECT_EQ(clientHeight(), 150);  // an empty bar takes no line
  static win::LPARAM lastSize = 0;
  Recorder::action = [](win::HWND, win::UINT m, win::WPARAM, win::LPARAM lp) {
    if (m == win::WM_SIZE) lastSize = lp;
  };
  win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION, 1, "&One");
  win::DrawMenuBar(frame);
  EXPECT_EQ(clientHeight(), 150 - 19);
  EXPECT_EQ(lastSize, win::MAKELPARAM(200, 131));
  win::RECT adjusted{0, 0, 200, 131};
  win::AdjustWindowRectEx(&adjusted, win::WS_OVERLAPPEDWINDOW, 1, 0);
  EXPECT_EQ(adjusted.bottom - adjusted.top, 150);
  win::POINT inLine{60, 40}, inClient{60, 60};
  EXPECT_EQ(win::SendMessageA(frame, win::WM_NCHITTEST, 0, win::MAKELPARAM(inLine.x, inLine.y)), win::HTMENU);
  EXPECT_EQ(win::SendMessageA(frame, win::WM_NCHITTEST, 0, win::MAKELPARAM(inClient.x, inClient.y)), win::HTCLIENT);
  // Titles that do not fit wrap onto more rows; a wider window takes them back.
  for (const char* t : {"Second", "Third", "Fourth", "Fifth"}) win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION, 2, t);
  win::DrawMenuBar(frame);
  EXPECT_EQ(clientHeight(), 150 - 38);
  win::MoveWindow(frame, 40, 30, 400, 150, 1);
  EXPECT_EQ(clientHeight(), 150 - 19);
  // An exposed line is painted again.
  auto lineCorner = [&] {
    pump();
    return win::test::WindowImage(frame, true).px[0] & 0xFFFFFF;
  };
  EXPECT_EQ(lineCorner(), 0xC0C0C0u);
  win::HDC dc = win::GetWindowDC(frame);
  win::RECT smudge{0, 0, 30, 10};
  win::FillRect(dc, &smudge, static_cast<win::HBRUSH>(win::GetStockObject(win::BLACK_BRUSH)));
  win::ReleaseDC(frame, dc);
  EXPECT_EQ(lineCorner(), 0u);
  win::backend::InputExposed(frame, smudge);
  EXPECT_EQ(lineCorner(), 0xC0C0C0u);
  win::SetMenu(frame, nullptr);
  EXPECT_EQ(clientHeight(), 150);
  win::DestroyMenu(bar);
}

TEST_F(MenuTrack, DeactivationAndQuitEndTheLoop) {
  makeFrame();
  win::HWND other = make("other", win::WS_POPUP | win::WS_VISIBLE, nullptr, 600, 500, 50, 50);
  win::SetActiveWindow(frame);
  pump();
  quits = 0;
  win::RECT r{};
  bool openBefore = false, openAfter = true;
  // The keyboard is the menu's while it tracks, whichever way it ends.
  std::vector<win::HWND> grabs;
  auto grab = [&] { grabs.push_back(win::test::Headless().keyboardGrab); };
  run({[&] { pressTitle(0); },
       [&] {
         grab();
         openBefore = win::test::MenuEntryRect(frame, file, 0, &r);
         win::SetActiveWindow(other);
       },
       [&] {
         grab();
         openAfter = win::test::MenuEntryRect(frame, file, 0, &r);
         win::SetActiveWindow(frame);
         pressTitle(1);
       },
       [&] {
         grab();
         win::PostQuitMessage(3);
       },
       [&] { grab(); }});
  EXPECT_EQ(grabs, (std::vector<win::HWND>{frame, nullptr, frame, nullptr}));
  EXPECT_TRUE(openBefore);
  EXPECT_FALSE(openAfter);
  EXPECT_FALSE(win::test::MenuEntryRect(frame, edit, 0, &r));
  EXPECT_EQ(quits, 1);  // the loop outside still gets it
}

TEST_F(MenuTrack, PopupsStayOnTheScreen) {
  makeFrame();
  win::SIZE screen{win::GetSystemMetrics(win::SM_CXSCREEN), win::GetSystemMetrics(win::SM_CYSCREEN)};
  win::MoveWindow(frame, screen.cx - 150, screen.cy - 40, 150, 40, 1);
  pump();
  win::RECT title{}, first{}, cascade{}, parent{};
  run({[&] { pressTitle(1); },
       [&] { moveTo(centre(frame, edit, 2)); },
       [&] {
         win::test::MenuEntryRect(frame, bar, 1, &title);
         win::test::MenuEntryRect(frame, edit, 0, &first);
         win::test::MenuEntryRect(frame, edit, 2, &parent);
         win::test::MenuEntryRect(frame, format, 0, &cascade);
         win::EndMenu();
       }});
  EXPECT_LT(first.top, title.top);      // no room below: above the title
  EXPECT_LE(parent.right, screen.cx);   // pushed left onto the screen
  EXPECT_LT(cascade.right, parent.left);  // no room on the right: the cascade goes left
  EXPECT_GE(cascade.left, 0);
}

// A pop-up taller than the screen opens below its title with its lower
// arrow and scrolls (the pointer resting on the arrow, a highlighted entry
// out of view); one that fits the screen but neither side of its title
// covers it. Either way the release of the opening press chooses nothing.
TEST_F(MenuTrack, TallPopupsScrollAndTheOpeningPressChoosesNothing) {
  makeFrame();
  const int screenHeight = win::GetSystemMetrics(win::SM_CYSCREEN);
  static int commands = 0;
  commands = 0;
  Recorder::action = [](win::HWND, win::UINT m, win::WPARAM, win::LPARAM) { commands += m == win::WM_COMMAND; };
  for (int i = 0; i < 120; ++i) win::InsertMenuA(file, ~0u, win::MF_BYPOSITION, 2000 + i, "Entry");
  const int last = win::GetMenuItemCount(file) - 1;
  win::RECT title{}, popup{}, firstAt{}, lastAt{}, scrolledFirst{}, lastLit{};
  const auto popupRect = [&] {
    win::RECT e{};
    win::test::MenuEntryRect(frame, file, 0, &e);
    win::HWND w = win::WindowFromPoint({e.left + 2, e.top + 2});
    win::GetWindowRect(w, &popup);
  };
  win::POINT press{};
  run({[&] { pressTitle(0); },
       [&] {
         press = centre(frame, bar, 0);
         button(press, false);
       },
       [&] {
         win::test::MenuEntryRect(frame, bar, 0, &title);
         win::test::MenuEntryRect(frame, file, 0, &firstAt);
         win::test::MenuEntryRect(frame, file, last, &lastAt);
         popupRect();
         moveTo({(popup.left + popup.right) / 2, popup.bottom - 4});  // on the lower arrow
       },
       [] {}, [] {}, [] {}, [] {}, [] {}, [] {}, [] {},
       [&] {
         win::test::MenuEntryRect(frame, file, 0, &scrolledFirst);
         tap(0x26);  // Up from nothing: the last entry
       },
       [&] { win::test::MenuEntryRect(frame, file, last, &lastLit); },
       [&] { win::EndMenu(); }});
  EXPECT_EQ(commands, 0) << "the release of the opening press chose an entry";
  EXPECT_GE(popup.top, title.bottom) << "below the title, clear of it";
  EXPECT_LE(popup.bottom, screenHeight);
  EXPECT_GT(firstAt.top, popup.top + 8) << "room for the upper arrow's strip";
  EXPECT_GT(lastAt.bottom, popup.bottom) << "the last entry lies beyond the lower arrow";
  EXPECT_LT(scrolledFirst.top, firstAt.top) << "resting on the lower arrow scrolls";
  EXPECT_GE(lastLit.top, popup.top);
  EXPECT_LE(lastLit.bottom, popup.bottom) << "the highlighted last entry scrolled into view";

  // Fewer entries: taller than either side of a title halfway down, not
  // than the screen.
  const int entry = lastAt.bottom - lastAt.top;
  while (win::GetMenuItemCount(file) * entry > screenHeight * 3 / 4) win::DeleteMenu(file, 3, win::MF_BYPOSITION);
  win::MoveWindow(frame, 40, screenHeight / 2 - 20, 320, 200, 1);
  pump();
  run({[&] { pressTitle(0); }, [&] { button(centre(frame, bar, 0), false); },
       [&] {
         win::test::MenuEntryRect(frame, bar, 0, &title);
         popupRect();
         win::test::MenuEntryRect(frame, file, win::GetMenuItemCount(file) - 1, &lastAt);
       },
       [&] { win::EndMenu(); }});
  EXPECT_EQ(commands, 0) << "the release on the covered title chose an entry";
  EXPECT_LT(popup.top, title.top);
  EXPECT_LE(lastAt.bottom, popup.bottom) << "the whole menu shows";
  EXPECT_LE(popup.bottom, screenHeight);
}

TEST_F(MenuTrack, TheSystemMenuFollowsTheWindowState) {
  makeFrame(win::WS_OVERLAPPED | win::WS_SYSMENU | win::WS_MINIMIZEBOX);
  sys = win::GetSystemMenu(frame, false);
  static std::map<win::UINT, win::UINT> seen;
  Recorder::action = [](win::HWND, win::UINT m, win::WPARAM wp, win::LPARAM lp) {
    if (m != win::WM_INITMENUPOPUP || !win::HIWORD(static_cast<win::WPARAM>(lp))) return;
    auto menu = reinterpret_cast<win::HMENU>(wp);
    for (win::UINT c : {0xF120u, 0xF010u, 0xF000u, 0xF020u, 0xF030u, 0xF060u})
      seen[c] = win::GetMenuState(menu, c, win::MF_BYCOMMAND) & win::MF_GRAYED;
  };
  run({[&] { win::SendMessageA(frame, win::WM_SYSCOMMAND, win::SC_MOUSEMENU | win::HTSYSMENU, win::MAKELPARAM(50, 40)); },
       [&] { win::EndMenu(); }});
  EXPECT_EQ(seen, (std::map<win::UINT, win::UINT>{
                      {0xF120, 1}, {0xF010, 0}, {0xF000, 1}, {0xF020, 0}, {0xF030, 1}, {0xF060, 0}}));
}

TEST_F(MenuTrack, MenusAndTheOwnerMayGoWhileTracked) {
  makeFrame();
  // The owner destroys the pop-up it is told about, then the bar.
  Recorder::action = [this](win::HWND, win::UINT m, win::WPARAM wp, win::LPARAM) {
    if (m == win::WM_INITMENUPOPUP && reinterpret_cast<win::HMENU>(wp) == edit) win::DestroyMenu(edit);
  };
  win::RECT r{};
  run({[&] { pressTitle(1); },
       [&] {
         EXPECT_FALSE(win::test::MenuEntryRect(frame, edit, 0, &r));
         moveTo(centre(frame, bar, 0));
       },
       [&] {
         EXPECT_TRUE(win::test::MenuEntryRect(frame, file, 0, &r));
         win::DestroyMenu(bar);
       },
       [&] { moveTo({r.left + 5, r.top + 5}); },  // over a pop-up whose menu is gone
       [&] { win::DestroyWindow(frame); },
       [&] {}});
  EXPECT_FALSE(win::IsWindow(frame));
  EXPECT_FALSE(win::test::MenuEntryRect(frame, file, 0, &r));
  EXPECT_EQ(win::GetMenuItemCount(file), -1);
}

TEST_F(MenuTrack, AcceleratorsBecomeCommandsOfTheMenu) {
  makeFrame();
  const win::ACCEL entries[] = {
      {win::FVIRTKEY | win::FSHIFT | win::FCONTROL, 116, 1300},  // Ctrl+Shift+F5: Bold, in a cascade
      {win::FVIRTKEY | win::FCONTROL, 'Z', 1200},                // Ctrl+Z: Undo, grayed
      {win::FVIRTKEY, 0x70, 900},                                // F1: in no menu
  };
  win::HACCEL table = win::CreateAcceleratorTableA(entries, 3);
  ASSERT_NE(table, nullptr);
  // The framework's loop: the table first, the rest as usual.
  auto loop = [&] {
    win::MSG m;
    while (win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE))
      if (!win::TranslateAcceleratorA(frame, table, &m)) {
        win::TranslateMessage(&m);
        win::DispatchMessageA(&m);
      }
  };
  win::test::StartTrace();
  key(win::VK_CONTROL, true);
  key(win::VK_SHIFT, true);
  tap(116);
  key(win::VK_SHIFT, false);
  tap('Z');  // consumed, though Undo is grayed
  key(win::VK_CONTROL, false);
  tap(0x70);
  tap(116);  // without its modifiers: no entry takes it
  loop();
  expectTrace("menu_accel.trace", traceOfFrame(win::test::StopTrace()));

  // An empty table is a table; a destroyed one fails every call.
  win::HACCEL empty = win::CreateAcceleratorTableA(nullptr, 0);
  ASSERT_NE(empty, nullptr);
  win::MSG press{frame, win::WM_KEYDOWN, 116, 1, 0, {0, 0}};
  EXPECT_EQ(win::TranslateAcceleratorA(frame, empty, &press), 0);
  EXPECT_TRUE(win::DestroyAcceleratorTable(empty));
  EXPECT_TRUE(win::DestroyAcceleratorTable(table));
  EXPECT_EQ(win::TranslateAcceleratorA(frame, table, &press), 0);
  EXPECT_EQ(lastError(), code(win::ERROR_INVALID_ACCEL_HANDLE));
  EXPECT_FALSE(win::DestroyAcceleratorTable(table));
  EXPECT_EQ(win::CreateAcceleratorTableA(nullptr, 2), nullptr);
}

TEST_F(MenuTrack, OwnerDrawnEntriesAreMeasuredOnceAndDrawnByTheirOwner) {
  makeFrame();
  win::InsertMenuA(file, 1, win::MF_BYPOSITION | win::MF_OWNERDRAW | win::MF_CHECKED, 1102,
                   reinterpret_cast<const char*>(std::uintptr_t{0xDA7A}));
  static std::vector<std::string> calls;
  calls.clear();
  static win::HMENU menuSeen = nullptr;
  ownerDrawn(40, 18, [](const win::DRAWITEMSTRUCT& di) {
    menuSeen = reinterpret_cast<win::HMENU>(di.hwndItem);
    calls.push_back("draw " + std::to_string(di.itemID) + " action " + std::to_string(di.itemAction) + " state " +
                    std::to_string(di.itemState) + " data " + std::to_string(di.itemData));
  });
  auto base = Recorder::action;
  Recorder::action = [base](win::HWND h, win::UINT m, win::WPARAM wp, win::LPARAM lp) {
    if (m == win::WM_MEASUREITEM) calls.push_back("measure");
    base(h, m, wp, lp);
  };
  auto openAndHighlight = [&] {
    run({[&] { pressTitle(0); }, [&] { moveTo(centre(frame, file, 1)); }, [&] { moveTo(centre(frame, file, 0)); },
         [&] { win::EndMenu(); }});
  };
  openAndHighlight();
  EXPECT_EQ(calls, (std::vector<std::string>{"measure", "draw 1102 action 1 state 8 data 55930",
                                             "draw 1102 action 2 state 9 data 55930",
                                             "draw 1102 action 2 state 8 data 55930"}));
  EXPECT_EQ(menuSeen, file);
  calls.clear();
  openAndHighlight();  // measured already
  EXPECT_EQ(calls.front(), "draw 1102 action 1 state 8 data 55930");
  calls.clear();
  win::ModifyMenuA(file, 1, win::MF_BYPOSITION | win::MF_OWNERDRAW | win::MF_GRAYED, 1102,
                   reinterpret_cast<const char*>(std::uintptr_t{0xDA7A}));
  openAndHighlight();  // a modified entry is measured again
  EXPECT_EQ(calls.front(), "measure");
  EXPECT_EQ(calls.at(1), "draw 1102 action 1 state 2 data 55930");
}

// An owner-drawn entry that opens a sub-menu: the owner paints its box,
// the system adds the arrow at the right end, in the highlight's text colour
// when the entry is lit.
TEST_F(MenuTrack, AnOwnerDrawnSubMenuEntryGetsTheSystemsArrow) {
  makeFrame();
  win::HMENU sub = win::CreatePopupMenu();
  win::InsertMenuA(sub, ~0u, win::MF_BYPOSITION, 1600, "&Inner");
  win::InsertMenuA(file, 1, win::MF_BYPOSITION | win::MF_OWNERDRAW | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(sub),
                   reinterpret_cast<const char*>(std::uintptr_t{0xDA7A}));
  ownerDrawn(60, 18, [](const win::DRAWITEMSTRUCT& di) {
    win::HBRUSH b = win::CreateSolidBrush(win::RGB(255, 255, 0));
    win::FillRect(di.hDC, &di.rcItem, b);
    win::DeleteObject(b);
  });
  win::RECT r{};
  std::vector<std::string> rows[2];
  auto take = [&](int which) {
    ASSERT_TRUE(win::test::MenuEntryRect(frame, file, 1, &r));
    win::test::Image s = win::test::ScreenImage();
    // The entry's right 16 pixels, row by row: '#' the arrow's colour, '.' the owner's yellow.
    win::COLORREF ink = win::GetSysColor(which ? win::COLOR_HIGHLIGHTTEXT : win::COLOR_MENUTEXT);
    std::uint32_t inkPixel = (ink & 0xFF) << 16 | (ink & 0xFF00) | (ink >> 16 & 0xFF);
    for (int y = r.top; y < r.bottom; ++y) {
      std::string row;
      for (int x = r.right - 16; x < r.right; ++x) {
        std::uint32_t p = s.px[static_cast<std::size_t>(y * s.width + x)] & 0xFFFFFF;
        row += p == 0xFFFF00u ? '.' : p == inkPixel ? '#' : '?';
      }
      rows[which].push_back(row);
    }
  };
  run({[&] { pressTitle(0); }, [&] { take(0); }, [&] { moveTo(centre(frame, file, 1)); }, [&] { take(1); },
       [&] { win::EndMenu(); }});
  for (int which : {0, 1}) {
    int ink = 0, other = 0, yellow = 0;
    for (const std::string& row : rows[which])
      for (char c : row) (c == '#' ? ink : c == '.' ? yellow : other)++;
    EXPECT_EQ(ink, 16) << "a 4 x 7 arrow of 16 pixels, lit " << which;
    EXPECT_EQ(other, 0) << "lit " << which;
    EXPECT_GT(yellow, 0);
  }
}

win::test::Image screenPart(int left, int top, int width, int height) {
  win::test::Image s = win::test::ScreenImage(), part{width, height, {}};
  for (int y = top; y < top + height; ++y)
    for (int x = left; x < left + width; ++x) part.px.push_back(s.px[static_cast<std::size_t>(y * s.width + x)]);
  return part;
}

TEST_F(MenuTrack, TheLineAndAnOpenPopupMatchTheirStoredPngs) {
  makeFrame();
  win::HMENU look = win::CreatePopupMenu(), recent = win::CreatePopupMenu();
  win::InsertMenuA(recent, ~0u, win::MF_BYPOSITION, 1500, "&1 a.cmd");
  struct Entry {
    win::UINT flags;
    win::UINT_PTR id;
    const char* text;
  } entries[] = {
      {0, 1400, "&New\tCtrl+N"},
      {win::MF_CHECKED, 1401, "&Open...\tCtrl+O"},
      {win::MF_SEPARATOR, 0, nullptr},
      {0, 1402, "&Small"},
      {0, 1403, "&Medium"},
      {0, 1404, "&Large"},
      {win::MF_SEPARATOR, 0, nullptr},
      {win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(recent), "&Recent"},
      {win::MF_GRAYED, 1405, "&Print\tCtrl+P"},
      {win::MF_OWNERDRAW, 1406, reinterpret_cast<const char*>(std::uintptr_t{7})},
      {win::MF_MENUBARBREAK, 1407, "Column &2"},
      {win::MF_DISABLED | win::MF_GRAYED | win::MF_CHECKED, 1408, "Fish && Chips"},
  };
  for (const Entry& e : entries) win::InsertMenuA(look, ~0u, win::MF_BYPOSITION | e.flags, e.id, e.text);
  win::CheckMenuRadioItem(look, 3, 5, 4, win::MF_BYPOSITION);
  win::SetMenuDefaultItem(look, 0, 1);
  win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(look), "&Look");
  win::HMENU gray = win::CreatePopupMenu();
  win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_POPUP | win::MF_GRAYED, reinterpret_cast<win::UINT_PTR>(gray),
                   "&Window");
  win::DrawMenuBar(frame);
  ownerDrawn(50, 20, [](const win::DRAWITEMSTRUCT& di) {
    win::HBRUSH b = win::CreateSolidBrush(di.itemState & win::ODS_SELECTED ? win::RGB(0, 128, 0) : win::RGB(255, 255, 0));
    win::RECT r{di.rcItem.left + 2, di.rcItem.top + 2, di.rcItem.right - 2, di.rcItem.bottom - 2};
    win::FillRect(di.hDC, &r, b);
    win::DeleteObject(b);
  });
  pump();
  win::RECT wr{};
  win::GetWindowRect(frame, &wr);
  EXPECT_TRUE(test_support::MatchesPng(win::test::WindowImage(frame, true), std::string(PLATFORM_GOLDEN) + "/menu_line.png"));
  win::test::Image open;
  run({[&] { pressTitle(2); },
       [&] { moveTo(centre(frame, look, 1)); },
       [&] {
         open = screenPart(wr.left, wr.top, 340, 260);
         win::EndMenu();
       }});
  EXPECT_TRUE(test_support::MatchesPng(open, std::string(PLATFORM_GOLDEN) + "/menu_popup.png"));
}

}  // namespace
