// The window procedure on the headless platform: input injected as a user
// gives it, through the queue, the procedure and the application's
// dispatch to the window's slots, on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/gui/graphics/color.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw_proc.h"
#include "fw/gui/window/mswgdi.h"
#include "fw/data/pref.h"
#include "fw/core/command.h"
#include "fw/gui/window/window_event.h"
#include "platform/backend/input.h"
#include "platform/win/test.h"
#include "tests/fw/gui/msw_fixture.h"
#include "tests/fw/gui/raises.h"
#include "tests/support/png_compare.h"

namespace {

struct RunExitHandlersAtEnd : ::testing::Environment {
  void TearDown() override { vsysRunExitHandlers(); }
};
[[maybe_unused]] ::testing::Environment* const exitAtEnd = ::testing::AddGlobalTestEnvironment(new RunExitHandlersAtEnd);

std::vector<std::string> journal;
int keyAnswer = 1;
int stateAnswer = 0;  // 0: the class's own handling

std::string hex(std::uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "%x", v);
  return b;
}

std::string pointerText(const char* what, vwindow* w, vevent* e) {
  return std::string(what) + " " + w->title + " " + std::to_string(veventGetX(e)) + "," + std::to_string(veventGetY(e)) +
         " m" + hex(veventGetModifiers(e)) + " h" + std::to_string(veventGetHeldCount(e)) + " c" +
         std::to_string(veventGetClickCount(e));
}
std::string keyText(const char* what, vwindow* w, vevent* e) {
  return std::string(what) + " " + w->title + " vk" + hex(veventGetVirtualKey(e)) + " k" + hex(veventGetKey(e)) + " m" +
         hex(veventGetModifiers(e)) + " ch" + hex(static_cast<std::uint32_t>(veventGetCharacter(e)));
}

vwindow* endModalOn = nullptr;  // its press ends its grab
int onDown(vwindow* w, vevent* e) {
  journal.push_back(pointerText("down", w, e) + " b" + std::to_string(veventGetButton(e)));
  if (w == endModalOn) {
    endModalOn = nullptr;
    vwindowUngrab(w);
  }
  return 1;
}
constexpr const char* kPointerWhat[] = {"up", "drag3", "drag4", "motion"};
template <int N>
int onPointer(vwindow* w, vevent* e) {
  journal.push_back(pointerText(kPointerWhat[N], w, e));
  return 1;
}
constexpr const char* kCrossingWhat[] = {"enter ", "leave ", "in ", "out "};
template <int N>
int onCrossing(vwindow* w, vevent*) {
  journal.push_back(kCrossingWhat[N] + std::string(w->title));
  return 1;
}
int onKeyDown(vwindow* w, vevent* e) {
  journal.push_back(keyText("key", w, e));
  return keyAnswer;
}
int onKeyUp(vwindow* w, vevent* e) {
  journal.push_back(keyText("keyup", w, e));
  return 1;
}
int onState(vwindow* w, vevent* e) {
  journal.push_back(std::string("state ") + w->title + " " + std::to_string(veventGetStateCode(e)));
  return stateAnswer ? stateAnswer : vwindowGetDefaultClass()->handleState(w, e);
}

// Damage handed to the window class, while asked for.
bool recordInval = false;
void (*defaultInval)(vwindow*, const vrect*, int) = nullptr;
void onInval(vwindow* w, const vrect* r, int flags) {
  if (recordInval)
    journal.push_back(std::string("inval ") + w->title + " " + std::to_string(r->x) + "," + std::to_string(r->y) + " " +
                      std::to_string(r->width) + "x" + std::to_string(r->height) + " f" + std::to_string(flags));
  defaultInval(w, r, flags);
}

vwindowClassRec* testClass() {
  static vwindowClassRec* c = nullptr;
  if (c) return c;
  c = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
  vclassSetName(c, vscribeLiteral("procWindow"));
  defaultInval = c->inval;
  c->inval = onInval;
  c->handleButtonDown = onDown;
  c->handleButtonUp = onPointer<0>;
  c->handleDragPending = onPointer<1>;
  c->handleDrag = onPointer<2>;
  c->handlePlainMotion = onPointer<3>;
  c->handleEnter = onCrossing<0>;
  c->handleLeave = onCrossing<1>;
  c->handleFocusIn = onCrossing<2>;
  c->handleFocusOut = onCrossing<3>;
  c->handleKeyDown = onKeyDown;
  c->handleKeyUp = onKeyUp;
  c->handleState = onState;
  return c;
}

struct WindowProc : MSWFixture {
  void SetUp() override {
    MSWFixture::SetUp();
    win::UseVirtualClock(true);
    win::test::ResetInput();
    testClass();
    veventSetDoubleClickInterval(500'000'000);
    keyAnswer = 1;
    stateAnswer = 0;
    drain();
    journal.clear();
  }
  void TearDown() override {
    recordInval = false;
    // Documents before their frames.
    for (auto it = made.rbegin(); it != made.rend(); ++it) vwindowDestroy(*it);
    made.clear();
    win::test::ResetInput();
    drain();
    win::UseVirtualClock(false);
  }
  // A top-level framework window, open; framework rectangles count from
  // the bottom left of the 1024 x 768 screen.
  vwindow* window(const char* title, vrect r, std::uint16_t flags = 0, std::uint16_t decoration = 0,
                 vwindow* frame = nullptr) {
    auto* w = static_cast<vwindow*>(vinstanceCreate(testClass()));
    vwindowSetTitleScribe(w, vscribeLiteral(title));
    w->rect = r;
    w->flags |= flags;
    w->decoration |= decoration;
    if (frame) vwindowSetStateFlag(w, frame);
    vwindowOpen(w);
    made.push_back(w);
    drain();
    journal.clear();
    return w;
  }
  static void drain() { veventMSWDrainMessages(); }
  // The screen point of a client point (native, top-down).
  static win::POINT at(vwindow* w, int x, int y) {
    win::POINT p{x, y};
    win::ClientToScreen(w->native->hwnd, &p);
    return p;
  }
  static std::vector<std::string> take() {
    drain();
    std::vector<std::string> out;
    out.swap(journal);
    return out;
  }
  static void focus(vwindow* w) {
    win::SetActiveWindow(w->native->hwnd);
    win::SetFocus(w->native->hwnd);
    drain();
    journal.clear();
  }
  // A top-level frame with a multiple-document client over its client area.
  vwindow* mdiFrame(vrect r) {
    vwindow* frame = window("frame", r, 0, vwindowDECO_TOP_LEVEL);
    win::RECT area{};
    win::GetClientRect(frame->native->hwnd, &area);
    win::CLIENTCREATESTRUCT ccs{nullptr, 100};
    client = win::CreateWindowExA(0, "MDICLIENT", nullptr, 0x52300001, 0, 0, area.right, area.bottom,
                                  frame->native->hwnd, nullptr, nullptr, &ccs);
    vwindowSetMSWMDIClient(frame, client, 0);
    return frame;
  }
  vwindow* document(const char* title, vwindow* frame, vrect r) {
    return window(title, r, 0, vwindowDECO_DOCUMENT, frame);
  }
  std::vector<vwindow*> made;
  win::HWND client = nullptr;
};

using Lines = std::vector<std::string>;

// ---- Keys ----------------------------------------------------------------------------------

TEST_F(WindowProc, TypingHelloThenADoubleClick) {
  vwindow* w = window("w", {100, 100, 200, 100});
  focus(w);
  win::test::Type("Hello");
  Lines keys;
  for (const std::string& l : take())
    if (l.rfind("key ", 0) == 0) keys.push_back(l);
  EXPECT_EQ(keys, (Lines{"key w vk10 kfce1 m0 ch0", "key w vk48 k48 m4 ch48", "key w vk45 k65 m0 ch65",
                         "key w vk4c k6c m0 ch6c", "key w vk4c k6c m0 ch6c", "key w vk4f k6f m0 ch6f"}));
  win::test::Click(at(w, 20, 30));
  win::test::AdvanceClock(100);
  win::test::Click(at(w, 21, 31));
  EXPECT_EQ(take(), (Lines{"down w 20,69 m10 h1 c1 b0", "up w 20,69 m10 h0 c1", "down w 21,68 m10 h1 c2 b0",
                           "up w 21,68 m10 h0 c2"}));
}

TEST_F(WindowProc, EveryKeyOfTheTableAndTheExtendedVariants) {
  struct Row {
    win::UINT vk;
    bool extended;
    std::uint32_t key;
  };
  std::vector<Row> rows = {
      {0x03, false, 0xFC69}, {0x08, false, 0xFC08}, {0x09, false, 0xFC09}, {0x0C, false, 0xFC0B},
      {0x0D, false, 0xFC0D}, {0x0D, true, 0xFC8D},  {0x10, false, 0xFCE1}, {0x11, false, 0xFCE3},
      {0x11, true, 0xFCE4},  {0x12, false, 0xFCE9}, {0x12, true, 0xFCEA},  {0x13, false, 0xFC13},
      {0x14, false, 0xFCE5}, {0x1B, false, 0xFC1B}, {0x21, true, 0xFA41},  {0x22, true, 0xFA42},
      {0x23, true, 0xFC57},  {0x24, true, 0xFC50},  {0x25, true, 0xFC51},  {0x26, true, 0xFC52},
      {0x27, true, 0xFC53},  {0x28, true, 0xFC54},  {0x29, false, 0xFC60}, {0x2A, false, 0xFC61},
      {0x2B, false, 0xFC62}, {0x2D, true, 0xFC63},  {0x2E, true, 0xFCFF},  {0x2F, false, 0xFC6A},
      {0x5B, true, 0xFCF0},  {0x5C, true, 0xFCF1},  {0x5D, true, 0xFC67},  {0x6A, false, 0xFCAA},
      {0x6B, false, 0xFCAB}, {0x6C, false, 0xFCAC}, {0x6D, false, 0xFCAD}, {0x6E, false, 0xFCAE},
      {0x6F, true, 0xFCAF},  {0x90, true, 0xFC7F},  {0x91, false, 0xFC14},
  };
  for (int i = 0; i < 10; ++i) rows.push_back({static_cast<win::UINT>(0x60 + i), false, 0xFCB0u + i});
  for (int i = 0; i < 24; ++i) rows.push_back({static_cast<win::UINT>(0x70 + i), false, 0xFCBEu + i});
  vwindow* w = window("w", {100, 100, 200, 100});
  focus(w);
  int checked = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(hex(r.vk));
    if (r.vk >= 0x60 && r.vk <= 0x6E) {
      // The keypad gives its digits and operators with Num Lock on.
      win::test::KeyDown(win::VK_NUMLOCK, true);
      win::test::KeyUp(win::VK_NUMLOCK, true);
      take();
    }
    win::test::KeyDown(r.vk, r.extended);
    win::test::KeyUp(r.vk, r.extended);
    Lines got = take();
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[0].substr(0, got[0].find(" m")), "key w vk" + hex(r.vk) + " k" + hex(r.key));
    EXPECT_EQ(got.back().substr(0, got.back().find(" m")), "keyup w vk" + hex(r.vk) + " k" + hex(r.key));
    win::test::ResetInput();
    drain();
    journal.clear();
    ++checked;
  }
  EXPECT_EQ(checked, 73);  // 70 entries and 3 extended variants
  // Letters and digits are their characters; everything else has no code.
  EXPECT_EQ(vwindowMSWKeyCode('Q', false), 'Q');
  EXPECT_EQ(vwindowMSWKeyCode('7', true), '7');
  EXPECT_EQ(vwindowMSWKeyCode(0xBB, false), 0);
  EXPECT_EQ(vwindowMSWKeyCode(0x1FF, false), 0);
}

TEST_F(WindowProc, LettersShiftControlAndCharacters) {
  vwindow* w = window("w", {100, 100, 200, 100});
  focus(w);
  win::test::KeyDown(win::VK_SHIFT);
  win::test::KeyDown('A');
  win::test::KeyUp('A');
  win::test::KeyUp(win::VK_SHIFT);
  win::test::KeyDown('A');
  win::test::KeyUp('A');
  EXPECT_EQ(take(), (Lines{"key w vk10 kfce1 m0 ch0", "key w vk41 k41 m4 ch41", "keyup w vk41 k41 m4 ch41",
                           "keyup w vk10 kfce1 m4 ch0", "key w vk41 k61 m0 ch61", "keyup w vk41 k61 m0 ch61"}));
  // With Control a key of no code takes its unshifted character.
  win::test::KeyDown(win::VK_CONTROL);
  win::test::KeyDown(win::VK_OEM_PLUS);
  Lines got = take();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1], "key w vkbb k3d m2 ch0");
  win::test::KeyUp(win::VK_OEM_PLUS);
  win::test::KeyUp(win::VK_CONTROL);
  take();
  // Unhandled or handled, the press's character makes no event of its own;
  // a character that no press announced does.
  keyAnswer = 0;
  win::test::Type("x");
  EXPECT_EQ(take(), (Lines{"key w vk58 k78 m0 ch78", "keyup w vk58 k78 m0 ch78"}));
  win::SendMessageA(w->native->hwnd, win::WM_CHAR, 'q', 0x00100001);
  win::SendMessageA(w->native->hwnd, win::WM_CHAR, 8, 0x000E0001);
  EXPECT_EQ(take(), (Lines{"key w vk0 k71 m0 ch71", "key w vk0 kfc08 m0 ch8"}));
}

// ---- Pointer ------------------------------------------------------------------------------

TEST_F(WindowProc, ClickCountsRestartOnAnotherWindowALateOrAFarPress) {
  vwindow* a = window("a", {100, 100, 200, 100});
  vwindow* b = window("b", {400, 100, 200, 100});
  auto downs = [] {
    Lines out;
    for (const std::string& l : take())
      if (l.rfind("down", 0) == 0) out.push_back(l.substr(l.find(" c") + 1, 2));
    return out;
  };
  win::test::Click(at(a, 10, 10));
  win::test::AdvanceClock(499);
  win::test::Click(at(a, 12, 8));  // 2 pixels off
  win::test::AdvanceClock(100);
  win::test::Click(at(b, 12, 8));  // another window
  win::test::AdvanceClock(501);
  win::test::Click(at(b, 12, 8));  // late
  win::test::AdvanceClock(10);
  win::test::Click(at(b, 15, 8));  // far
  win::test::AdvanceClock(10);
  win::test::Click(at(b, 15, 8));
  EXPECT_EQ(downs(), (Lines{"c1", "c2", "c1", "c1", "c1", "c2"}));
  // The count stops at what its field holds.
  for (int i = 0; i < 300; ++i) win::test::Click(at(b, 15, 8));
  Lines last = downs();
  ASSERT_FALSE(last.empty());
  EXPECT_EQ(vwindowMSWGetProcInfo().clickCount, 255);
}

TEST_F(WindowProc, MotionLeavesEntersThenMovesAndDragsClassifyByTheQueue) {
  vwindow* a = window("a", {100, 100, 200, 100}, vwindowWANTS_MOTION);
  vwindow* b = window("b", {400, 100, 200, 100}, vwindowWANTS_MOTION);
  win::test::MouseMove(at(a, 11, 12));  // a move to where the last one ended is dropped
  drain();
  win::test::MouseMove(at(a, 10, 10));
  take();
  win::test::MouseMove(at(b, 5, 0));
  std::string clicks = std::to_string(vwindowMSWGetProcInfo().clickCount);
  EXPECT_EQ(take(), (Lines{"leave a", "enter b", "motion b 5,99 m0 h0 c" + clicks}));
  win::test::MouseDown(at(b, 5, 0));
  take();
  win::test::SetMouseCoalescing(false);
  win::test::MouseMove(at(b, 6, 1));
  win::test::MouseMove(at(b, 7, 2));
  win::test::MouseMove(at(b, 8, 3));
  EXPECT_EQ(take(), (Lines{"drag3 b 6,98 m10 h1 c1", "drag3 b 7,97 m10 h1 c1", "drag4 b 8,96 m10 h1 c1"}));
  win::test::MouseUp(at(b, 8, 3));
  EXPECT_EQ(take(), (Lines{"up b 8,96 m10 h0 c1"}));
  // Without the wish for plain motion a window hears none.
  vwindow* c = window("c", {100, 400, 100, 100});
  win::test::MouseMove(at(c, 3, 3));
  Lines got = take();
  EXPECT_EQ(got, (Lines{}));
}

TEST_F(WindowProc, AModalWindowEatsClicksElsewhereWithABeep) {
  vwindow* m = window("m", {100, 100, 200, 100});
  vwindow* o = window("o", {400, 100, 200, 100});
  vwindowMSWBeginModal(m);
  win::SetActiveWindow(m->native->hwnd);
  drain();
  journal.clear();
  int beeps = win::test::BeepCount();
  win::test::Click(at(o, 10, 10));
  Lines got = take();
  EXPECT_EQ(win::test::BeepCount(), beeps + 1);
  for (const std::string& l : got) EXPECT_EQ(l.find("down o"), std::string::npos) << l;
  EXPECT_EQ(win::GetActiveWindow(), m->native->hwnd);
  // The modal window itself takes its clicks.
  win::test::Click(at(m, 10, 10));
  got = take();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got[0].substr(0, 6), "down m");
  vwindowMSWEndModal(m);
}

// A window manager activates whichever window the user clicks or picks.
// While a modal window runs, the activation and the keyboard go back to
// it, and a click or a key meant for the blocked window reaches no one
// else; a modal window opening over it (its own notice) takes them.
TEST_F(WindowProc, AWindowManagersActivationOfABlockedWindowGoesBackToTheModalWindow) {
  vwindow* o = window("o", {400, 100, 200, 100});
  vwindow* m = window("m", {100, 100, 200, 100});
  auto activated = [](vwindow* w) {
    win::backend::InputActivated(w->native->hwnd);
    drain();
  };
  // No modal window: the window manager's choice stands.
  activated(o);
  EXPECT_EQ(win::GetActiveWindow(), o->native->hwnd);
  vwindowMSWBeginModal(m);
  focus(m);
  for (vwindow* modal : {m, static_cast<vwindow*>(nullptr)}) {
    if (!modal) {
      modal = window("n", {100, 300, 200, 100}, vwindowMODAL);
      EXPECT_EQ(win::GetActiveWindow(), modal->native->hwnd) << "a modal window opening takes the activation";
      activated(m);
    }
    activated(o);
    std::string who = modal->title;
    EXPECT_EQ(win::GetActiveWindow(), modal->native->hwnd) << who;
    EXPECT_EQ(win::GetFocus(), modal->native->hwnd) << who;
    int beeps = win::test::BeepCount();
    win::test::Click(at(o, 10, 10));
    win::test::Type("k");
    Lines got = take();
    EXPECT_EQ(win::test::BeepCount(), beeps + 1) << who;
    // (An eaten press's release is still delivered.)
    for (const std::string& l : got)
      EXPECT_TRUE(l.rfind("down o", 0) != 0 && l.rfind("key o", 0) != 0) << who << ": " << l;
    EXPECT_NE(std::find(got.begin(), got.end(), "key " + who + " vk4b k6b m0 ch6b"), got.end()) << who;
  }
  vwindowDestroy(made.back());
  made.pop_back();
  vwindowMSWEndModal(m);
  activated(o);
  EXPECT_EQ(win::GetActiveWindow(), o->native->hwnd) << "the modal state ended";
}

// Every way a press, an activation or a close request reaches a window
// meets the one check: a window under a modal window gets none of them
// (nor the release of a refused press),
// the modal window stays active, and a refused press or close beeps. Run
// for a window under a modal window, and for that modal window under a
// notice of its own.
TEST_F(WindowProc, NoPressActivationOrCloseRequestReachesAWindowTheModalWindowBlocks) {
  vwindow* o = window("o", {400, 100, 200, 100});
  vwindow* m = window("m", {100, 100, 200, 100});
  vwindow* menu = window("g", {100, 400, 100, 100});
  vwindowMSWBeginModal(m);
  focus(m);
  stateAnswer = 1;  // a close that got through leaves the window open for the next input
  struct Input {
    const char* name;
    bool beeps;
    void (*give)(vwindow* blocked, vwindow* menu);
  };
  static const Input inputs[] = {
      {"a click", true, [](vwindow* b, vwindow*) { win::test::Click(at(b, 10, 10)); }},
      {"a press posted to it", true,
       [](vwindow* b, vwindow*) {
         win::PostMessageA(b->native->hwnd, win::WM_LBUTTONDOWN, win::MK_LBUTTON, win::MAKELPARAM(10, 10));
       }},
      {"a press on its frame posted to it", true,
       [](vwindow* b, vwindow*) {
         win::POINT p = at(b, 10, -5);
         win::PostMessageA(b->native->hwnd, win::WM_NCLBUTTONDOWN, win::HTCAPTION, win::MAKELPARAM(p.x, p.y));
       }},
      {"the press that ends the modal window's menu", true,
       [](vwindow* b, vwindow* g) {
         vwindowGrab(g);
         endModalOn = g;
         win::test::Click(at(b, 10, 10));
       }},
      {"a close request", true, [](vwindow* b, vwindow*) { win::backend::InputCloseRequested(b->native->hwnd); }},
      {"an activation", false, [](vwindow* b, vwindow*) { win::backend::InputActivated(b->native->hwnd); }},
  };
  for (vwindow* blocked : {o, m}) {
    vwindow* modal = blocked == m ? window("n", {100, 300, 200, 100}, vwindowMODAL) : m;
    for (const Input& in : inputs) {
      std::string what = std::string(in.name) + " to " + blocked->title + " under " + modal->title;
      focus(modal);
      int beeps = win::test::BeepCount();
      in.give(blocked, menu);
      Lines got = take();
      EXPECT_EQ(endModalOn, nullptr) << what;
      endModalOn = nullptr;
      for (const std::string& l : got)
        EXPECT_TRUE(l.rfind(std::string("down ") + blocked->title + " ", 0) != 0 &&
                    l.rfind(std::string("up ") + blocked->title + " ", 0) != 0 &&
                    l != std::string("state ") + blocked->title + " 1")
            << what << ": " << l;
      EXPECT_EQ(win::GetActiveWindow(), modal->native->hwnd) << what;
      EXPECT_EQ(win::test::BeepCount(), beeps + (in.beeps ? 1 : 0)) << what;
      EXPECT_TRUE(vwindowIsOpen(blocked)) << what;
    }
  }
  vwindowDestroy(made.back());
  made.pop_back();
  vwindowMSWEndModal(m);
  // The modal state over, the same close request is the window's again.
  win::backend::InputCloseRequested(o->native->hwnd);
  Lines got = take();
  EXPECT_NE(std::find(got.begin(), got.end(), "state o 1"), got.end());
}

// ---- Focus, states and geometry -------------------------------------------------------------

TEST_F(WindowProc, FocusMovesGiveOutLeaveThenEnterIn) {
  vwindow* a = window("a", {100, 100, 200, 100});
  vwindow* b = window("b", {400, 100, 200, 100});
  focus(a);
  win::SetFocus(b->native->hwnd);
  EXPECT_EQ(take(), (Lines{"out a", "leave a", "enter b", "in b"}));
  EXPECT_EQ(vwindowMSWGetProcInfo().focusNesting, 0);
}

TEST_F(WindowProc, CloseRequestsSizeStatesAndTheTrackingLimit) {
  vwindow* w = window("w", {100, 100, 200, 100});
  w->maxWidth = w->maxHeight = 32767;
  win::HWND h = w->native->hwnd;
  stateAnswer = 1;
  win::SendMessageA(h, win::WM_CLOSE, 0, 0);
  EXPECT_TRUE(win::IsWindow(h));
  EXPECT_EQ(take(), (Lines{"state w 1"}));
  stateAnswer = 0;
  win::MINMAXINFO mmi{};
  mmi.ptMaxSize = {20000, 20000};
  win::SendMessageA(h, win::WM_GETMINMAXINFO, 0, reinterpret_cast<win::LPARAM>(&mmi));
  EXPECT_EQ(mmi.ptMaxTrackSize.x, 8191);
  EXPECT_EQ(mmi.ptMaxTrackSize.y, 8191);
  EXPECT_LE(mmi.ptMaxSize.x, 8191);
  win::ShowWindow(h, win::SW_MINIMIZE);
  win::ShowWindow(h, win::SW_RESTORE);
  win::ShowWindow(h, win::SW_MAXIMIZE);
  win::ShowWindow(h, win::SW_RESTORE);
  Lines states;
  for (const std::string& l : take())
    if (l.rfind("state", 0) == 0) states.push_back(l);
  EXPECT_EQ(states, (Lines{"state w 4", "state w 5", "state w 2", "state w 3"}));
}

TEST_F(WindowProc, NativeMovesBecomeAreaEvents) {
  vwindow* w = window("w", {100, 100, 200, 100});
  win::RECT r;
  win::GetWindowRect(w->native->hwnd, &r);
  win::MoveWindow(w->native->hwnd, r.left + 10, r.top - 20, r.right - r.left + 30, r.bottom - r.top, 1);
  drain();
  EXPECT_EQ(w->rect.x, 110);
  EXPECT_EQ(w->rect.y, 120);
  EXPECT_EQ(w->rect.width, 230);
  EXPECT_EQ(w->rect.height, 100);
}

// Forgetting a native window clears every record that names it.
TEST_F(WindowProc, AClosedWindowLeavesNoRecordBehind) {
  vwindow* a = window("a", {100, 100, 200, 100}, vwindowWANTS_MOTION);
  win::HWND h = a->native->hwnd;
  win::test::MouseMove(at(a, 11, 12));  // a move to where the last one ended is dropped
  drain();
  win::test::MouseMove(at(a, 10, 10));
  win::test::MouseDown(at(a, 10, 10));
  drain();
  EXPECT_EQ(vwindowMSWGetProcInfo().underPointer, h);
  EXPECT_EQ(vwindowMSWGetProcInfo().buttonGrab, a);
  vwindowClose(a);
  vwindowMSWProcInfo info = vwindowMSWGetProcInfo();
  EXPECT_NE(info.cached, h);
  EXPECT_NE(info.underPointer, h);
  EXPECT_EQ(info.buttonGrab, nullptr);
  win::test::MouseUp({5, 5});
  drain();
}

TEST_F(WindowProc, StartUpSubclassesTheTaskWindowAndReadsTheOptions) {
  win::HWND task = vsysGetTaskWindow();
  EXPECT_EQ(win::GetWindowLongPtrA(task, win::GWLP_WNDPROC), reinterpret_cast<win::LONG_PTR>(&vwindowMSWTaskWindowProc));
  vwindowMSWProcInfo info = vwindowMSWGetProcInfo();
  EXPECT_FALSE(info.cancelsQuit);
  EXPECT_TRUE(info.fullDrag);
  EXPECT_EQ(info.stampMode, 0);
}

}  // namespace

namespace {

// ---- Painting -----------------------------------------------------------------------------

vcolor* red() {
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, 0xFFFF, 0, 0);
  return vcolorInternSpec(&spec);
}

TEST_F(WindowProc, ARedWindowPaintsItsBackground) {
  vwindow* w = window("w", {100, 100, 40, 30});
  vwindowClassOf(w)->setBackground(w, red());
  win::InvalidateRect(w->native->hwnd, nullptr, 1);
  win::UpdateWindow(w->native->hwnd);
  drain();
  win::test::Image image = win::test::WindowImage(w->native->hwnd);
  if (const char* out = std::getenv("WINPROC_PNG")) win::test::WritePng(std::string(out) + "red.png", image);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(FW_GUI_GOLDEN) + "/winproc_red.png"));
}

// The headless platform shows no pixels of a minimized window: the
// framework's mark alone makes the procedure paint the window as an icon.
TEST_F(WindowProc, AnIconicWindowDrawsOnlyItsIcon) {
  vwindow* w = window("w", {100, 100, 60, 50});
  win::HWND h = w->native->hwnd;
  w->flags |= vwindowICONIFIED;
  vwindowMSWTakeDriverLog();
  win::InvalidateRect(h, nullptr, 1);
  win::UpdateWindow(h);
  drain();
  w->flags &= ~vwindowICONIFIED;
  EXPECT_EQ(vwindowMSWTakeDriverLog(), (Lines{})) << "nothing of the framework's own drawing";
  EXPECT_EQ(w->native->damage.count, 0);
  // The application icon: black at (2, 4) and navy at (10, 6) of its own.
  EXPECT_EQ(win::test::Pixel(h, 2 + 2, 2 + 4), win::RGB(0, 0, 0));
  EXPECT_EQ(win::test::Pixel(h, 2 + 10, 2 + 6), win::RGB(0, 0, 128));
  EXPECT_EQ(win::SendMessageA(h, win::WM_QUERYDRAGICON, 0, 0),
            reinterpret_cast<win::LRESULT>(win::LoadIconA(nullptr, win::IDI_APPLICATION)));
}

}  // namespace

namespace {

// ---- System menu, colours and quitting ----------------------------------------------------------

std::vector<win::UINT> menuIds(win::HMENU m) {
  std::vector<win::UINT> ids;
  for (int i = 0; i < win::GetMenuItemCount(m); ++i) ids.push_back(win::GetMenuItemID(m, i));
  return ids;
}

TEST_F(WindowProc, TheSystemMenuFollowsTheDecoration) {
  auto* dialog = static_cast<vwindow*>(vinstanceCreate(testClass()));
  made.push_back(dialog);
  dialog->decoration = vwindowDECO_MODAL_FRAME | vwindowDECO_MOVABLE | vwindowDECO_NOT_CLOSABLE;
  dialog->flags |= vwindowMODAL;
  dialog->rect = {100, 100, 200, 100};
  vwindowOpen(dialog);
  drain();
  win::HWND h = dialog->native->hwnd;
  win::HMENU menu = win::GetSystemMenu(h, 0);
  ASSERT_NE(menu, nullptr);
  win::SendMessageA(h, win::WM_INITMENUPOPUP, reinterpret_cast<win::WPARAM>(menu), win::MAKELPARAM(0, 1));
  // Neither box: only Move and Close are left, the separator and Switch To gone.
  EXPECT_EQ(menuIds(menu), (std::vector<win::UINT>{win::SC_MOVE, win::SC_CLOSE}));
  EXPECT_TRUE(win::GetMenuState(menu, win::SC_CLOSE, win::MF_BYCOMMAND) & win::MF_GRAYED);
  EXPECT_FALSE(win::GetMenuState(menu, win::SC_MOVE, win::MF_BYCOMMAND) & win::MF_GRAYED);
  // A plain window keeps its items; Move is grayed when it cannot move.
  vwindow* w = window("w", {400, 100, 200, 100});
  w->decoration = static_cast<std::uint16_t>(w->decoration & ~vwindowDECO_MOVABLE);
  win::HMENU plain = win::GetSystemMenu(w->native->hwnd, 0);
  win::SendMessageA(w->native->hwnd, win::WM_INITMENUPOPUP, reinterpret_cast<win::WPARAM>(plain), win::MAKELPARAM(0, 1));
  EXPECT_EQ(win::GetMenuItemCount(plain), 8);
  EXPECT_TRUE(win::GetMenuState(plain, win::SC_MOVE, win::MF_BYCOMMAND) & win::MF_GRAYED);
  EXPECT_EQ(win::SendMessageA(w->native->hwnd, win::WM_SYSCOMMAND, win::SC_MOVE, 0), 0);
  // A sizable modal window (a file chooser) keeps its Size.
  auto* chooser = static_cast<vwindow*>(vinstanceCreate(testClass()));
  made.push_back(chooser);
  chooser->decoration = vwindowDECO_NEW;
  chooser->flags |= vwindowMODAL;
  chooser->rect = {100, 300, 200, 100};
  vwindowOpen(chooser);
  drain();
  win::HMENU sized = win::GetSystemMenu(chooser->native->hwnd, 0);
  win::SendMessageA(chooser->native->hwnd, win::WM_INITMENUPOPUP, reinterpret_cast<win::WPARAM>(sized),
                    win::MAKELPARAM(0, 1));
  EXPECT_NE(win::GetMenuState(sized, win::SC_SIZE, win::MF_BYCOMMAND), static_cast<win::UINT>(-1));
  vwindowClose(chooser);
}

int namedCalls = 0;
void countNamed(vclass*) { ++namedCalls; }

TEST_F(WindowProc, ASystemColourChangeAppliesTheRegistrationsAgain) {
  vwindow* w = window("w", {100, 100, 200, 100});
  (void)w;
  static vwindowClassRec* c = [] {
    auto* cls = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
    vclassSetName(cls, vscribeLiteral("procRefresh"));
    cls->named = countNamed;
    return cls;
  }();
  vwindowMSWRegisterRefreshClass(c);
  vwindowMSWRegisterSysColor(vcolorBACKGROUND, 5);
  namedCalls = 0;
  win::test::SetSysColor(5, win::RGB(1, 2, 3));
  drain();
  EXPECT_GE(namedCalls, 1);
  int after = namedCalls;
  win::test::SetSysColor(5, win::RGB(1, 2, 3));  // unchanged: nothing applied
  drain();
  EXPECT_EQ(namedCalls, after);
}

TEST_F(WindowProc, QuitRequestsWithTheBusyGuard) {
  vwindow* w = window("w", {100, 100, 200, 100});
  win::HWND task = vsysGetTaskWindow();
  // Nobody handles "Quit": the session may end, and the loop stops.
  EXPECT_EQ(win::SendMessageA(w->native->hwnd, win::WM_QUERYENDSESSION, 0, 0), 1);
  // The session goes on ending: further requests are refused with a beep.
  int beeps = win::test::BeepCount();
  EXPECT_EQ(win::SendMessageA(w->native->hwnd, win::WM_QUERYENDSESSION, 0, 0), 0);
  EXPECT_EQ(win::SendMessageA(task, win::WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(win::test::BeepCount(), beeps + 2);
  EXPECT_TRUE(win::IsWindow(task));
  EXPECT_TRUE(win::IsWindow(w->native->hwnd));
}

// ---- Icons, a frame's size calculation, palettes, quitting and start-up -------------------------

}  // namespace

namespace {

Lines recorded();

win::HRGN eraseClip = nullptr;  // the clip of the last icon erase
win::LRESULT watchIconErase(vwindow*, win::HWND, win::UINT message, win::WPARAM wParam, win::LPARAM) {
  if (message == win::WM_ICONERASEBKGND) {
    if (!eraseClip) eraseClip = win::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(win::GetClipRgn(reinterpret_cast<win::HDC>(wParam), eraseClip), 1);
  }
  return 0;
}

win::RECT clipBox() {
  win::RECT r{};
  win::GetRgnBox(eraseClip, &r);
  return r;
}

std::string text(const win::RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

// A document's icon erases in its own context within the damage; a
// top-level icon on the desktop where no window above covers it.
TEST_F(WindowProc, AnIconErasesOnlyItsDamageAndWhatNoWindowAboveCovers) {
  vwindow* frame = mdiFrame({100, 100, 400, 300});
  vwindow* doc = document("doc", frame, {10, 10, 200, 100});
  win::HWND h = doc->native->hwnd;
  win::ShowWindow(h, win::SW_MINIMIZE);
  drain();
  ASSERT_TRUE(vwindowIsIconified(doc));
  vwindowSetMSWMenuProc(doc, watchIconErase);
  win::HDC dc = win::GetDC(h);
  win::RECT all{0, 0, 36, 36};
  win::HBRUSH red = win::CreateSolidBrush(win::RGB(255, 0, 0));
  win::FillRect(dc, &all, red);
  win::DeleteObject(red);
  win::ReleaseDC(h, dc);
  win::RECT strip{0, 0, 10, 36};
  win::InvalidateRect(h, &strip, 1);
  win::UpdateWindow(h);
  drain();
  EXPECT_EQ(text(clipBox()), text(strip));
  EXPECT_EQ(win::test::Pixel(h, 1, 20), win::GetSysColor(win::COLOR_APPWORKSPACE));
  EXPECT_EQ(win::test::Pixel(h, 35, 20), win::RGB(255, 0, 0)) << "outside the damage";
  EXPECT_EQ(win::test::Pixel(h, 2 + 2, 2 + 4), win::RGB(0, 0, 0)) << "the icon drawn over the ground";

  // Top-level: b lies over part of a.
  vwindow* a = window("a", {100, 100, 200, 100});
  vwindow* b = window("b", {150, 150, 200, 100});
  a->flags |= vwindowICONIFIED;
  vwindowSetMSWMenuProc(a, watchIconErase);
  win::InvalidateRect(a->native->hwnd, nullptr, 1);
  win::UpdateWindow(a->native->hwnd);
  drain();
  a->flags &= ~vwindowICONIFIED;
  win::RECT screen{};
  win::GetWindowRect(a->native->hwnd, &screen);
  win::RECT over{};
  win::GetWindowRect(b->native->hwnd, &over);
  EXPECT_EQ(text(clipBox()), text(screen)) << "in screen coordinates";
  EXPECT_TRUE(win::PtInRegion(eraseClip, screen.left + 10, screen.bottom - 10));
  EXPECT_FALSE(win::PtInRegion(eraseClip, over.left + 10, over.bottom - 10)) << "under b";
  win::DeleteObject(eraseClip);
  eraseClip = nullptr;
}

// Two framework documents minimized by their system commands become icons
// painted by the procedure on the client's ground, titled beneath.
TEST_F(WindowProc, MinimizedDocumentsArePaintedAsIconsInARow) {
  vwindow* frame = mdiFrame({100, 100, 300, 200});
  vwindow* one = document("one", frame, {10, 100, 120, 80});
  vwindow* two = document("two", frame, {150, 40, 120, 80});
  for (vwindow* d : {one, two}) win::SendMessageA(d->native->hwnd, win::WM_SYSCOMMAND, win::SC_MINIMIZE, 0);
  win::SendMessageA(client, win::WM_MDIICONARRANGE, 0, 0);
  drain();
  EXPECT_EQ(take(), (Lines{"state one 4", "out two", "leave two", "state two 4"})) << "iconified; the focus left";
  EXPECT_TRUE(vwindowIsIconified(one) && vwindowIsIconified(two));
  win::test::Image image = win::test::WindowImage(frame->native->hwnd, true);
  if (const char* out = std::getenv("WINPROC_PNG")) win::test::WritePng(std::string(out) + "icons.png", image);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(FW_GUI_GOLDEN) + "/winproc_icons.png"));
}

// Every document gets the platform's frame, one without a caption of its
// own too: its client area is the framework's rectangle all the same.
TEST_F(WindowProc, ADocumentWithoutACaptionKeepsItsClientSize) {
  vwindow* frame = mdiFrame({100, 100, 300, 200});
  auto* bare = static_cast<vwindow*>(vinstanceCreate(testClass()));
  vwindowSetTitleScribe(bare, vscribeLiteral("bare"));
  bare->decoration = 0;
  bare->rect = {20, 30, 120, 80};
  vwindowSetStateFlag(bare, frame);
  vwindowOpen(bare);
  made.push_back(bare);
  drain();
  win::RECT area{};
  win::GetClientRect(bare->native->hwnd, &area);
  EXPECT_EQ(std::to_string(area.right) + "x" + std::to_string(area.bottom), "120x80");
  EXPECT_EQ(std::to_string(bare->rect.x) + "," + std::to_string(bare->rect.y) + " " + std::to_string(bare->rect.width) +
                "x" + std::to_string(bare->rect.height),
            "20,30 120x80");
  EXPECT_EQ(bare->native->insetTop, win::GetSystemMetrics(win::SM_CYCAPTION) + win::GetSystemMetrics(win::SM_CYFRAME));
}

// The valid rectangles of a frame with a multiple-document client: what
// stays, what is damaged, what is repainted whole.
TEST_F(WindowProc, AFramesSizeCalculationKeepsWhatItsClientCovers) {
  vwindow* frame = mdiFrame({100, 100, 300, 200});
  win::HWND h = frame->native->hwnd;
  win::RECT old{};
  win::GetWindowRect(h, &old);
  win::NCCALCSIZE_PARAMS p{};
  win::WINDOWPOS pos{};
  auto calc = [&](int cx, int cy, win::UINT flags = 0) {
    pos = {h, nullptr, old.left, old.top, cx, cy, flags};
    p = {{{old.left, old.top, old.left + cx, old.top + cy}, old, old}, &pos};
    return win::SendMessageA(h, win::WM_NCCALCSIZE, 1, reinterpret_cast<win::LPARAM>(&p));
  };
  drain();
  journal.clear();
  recordInval = true;
  EXPECT_EQ(calc(300, 200), 0) << "unchanged";
  EXPECT_EQ(recorded(), Lines{});
  EXPECT_EQ(calc(400, 250), win::WVR_VALIDRECTS);
  EXPECT_EQ(text(p.rgrc[1]) + " " + text(p.rgrc[2]), text(old) + " " + text(old)) << "the old area stays";
  EXPECT_EQ(recorded(), (Lines{"inval frame 0,0 400x50 f0", "inval frame 300,50 100x200 f0"})) << "the strips uncovered";
  win::ValidateRect(h, nullptr);
  EXPECT_EQ(calc(250, 150), win::WVR_VALIDRECTS);
  EXPECT_EQ(recorded(), Lines{});
  win::RECT update{};
  win::GetUpdateRect(h, &update, 0);
  EXPECT_EQ(text(update), "0,0,1,1");
  EXPECT_TRUE(frame->native->flags & vwindowMSW_WHOLE_AREA) << "repainted whole";
  win::ValidateRect(h, nullptr);
  frame->native->flags &= ~vwindowMSW_WHOLE_AREA;
  vwindow* doc = document("doc", frame, {10, 10, 100, 80});
  win::ShowWindow(doc->native->hwnd, win::SW_MAXIMIZE);
  drain();
  journal.clear();
  EXPECT_EQ(calc(400, 250), win::WVR_VALIDRECTS);
  EXPECT_EQ(text(p.rgrc[1]) + " " + text(p.rgrc[2]), "0,0,0,0 0,0,0,0") << "nothing kept";
  // Windows without a client: redrawn unless the size stays.
  vwindow* plain = window("plain", {500, 100, 100, 100});
  h = plain->native->hwnd;
  win::GetWindowRect(h, &old);
  EXPECT_EQ(calc(120, 100) & win::WVR_REDRAW, win::WVR_REDRAW);
  EXPECT_EQ(calc(120, 100, win::SWP_NOSIZE) & win::WVR_REDRAW, 0);
}

TEST_F(WindowProc, PaletteMessagesRealizeAndRepaintWhenTheStateChanges) {
  vwindow* w = window("w", {100, 100, 40, 30});
  vwindow* other = window("o", {300, 100, 40, 30});
  win::LOGPALETTE lp{0x300, 1, {{10, 20, 30, 0}}};
  vwindowMSWGdiSetup* setup = _vwindowMSWGetGdiSetup();
  win::HPALETTE saved = setup->palette;
  setup->palette = win::CreatePalette(&lp);
  win::HWND h = w->native->hwnd;
  w->native->flags &= ~vwindowMSW_PALETTE_REALIZED;
  drain();
  journal.clear();
  recordInval = true;
  auto send = [&](win::UINT m, win::HWND from) {
    return win::SendMessageA(h, m, reinterpret_cast<win::WPARAM>(from), 0);
  };
  auto realized = [&] { return (w->native->flags & vwindowMSW_PALETTE_REALIZED) != 0; };
  EXPECT_EQ(send(win::WM_QUERYNEWPALETTE, nullptr), 0);
  EXPECT_TRUE(realized());
  EXPECT_EQ(recorded(), (Lines{"inval w 0,0 40x30 f1"})) << "white stays: not erased";
  send(win::WM_QUERYNEWPALETTE, nullptr);
  EXPECT_EQ(recorded(), Lines{}) << "no change, no repaint";
  send(win::WM_PALETTECHANGED, h);
  EXPECT_TRUE(realized()) << "its own change";
  send(win::WM_PALETTECHANGED, other->native->hwnd);
  EXPECT_FALSE(realized());
  EXPECT_EQ(recorded(), (Lines{"inval w 0,0 40x30 f5", "inval w 0,0 40x30 f17"})) << "background mode: updated at once";
  w->flags |= vwindowICONIFIED;
  send(win::WM_QUERYNEWPALETTE, nullptr);
  w->flags &= ~vwindowICONIFIED;
  EXPECT_TRUE(realized());
  EXPECT_EQ(recorded(), Lines{}) << "an icon is not repainted";
  win::DeleteObject(setup->palette);
  setup->palette = saved;
}

void setOption(const char* name, const char* value) {
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral(name), value);
}

void restart() {
  vwindowMSWProcShutdown();
  vwindowMSWProcStartup();
}

// What the class was handed so far, without running the queue.
Lines recorded() {
  Lines out;
  out.swap(journal);
  return out;
}

int quitMode = 0;  // 0: not handled; 1: refused at once; 2: refused by a dialog run afterwards
bool dialogRan = false;
int answerDialog(vevent*) {
  dialogRan = true;
  veventClearNativeContext();
  veventStopProcessing();
  return 1;
}
// The session's question arrives while the main loop runs.
win::HWND asked = nullptr;
win::LRESULT answer = -1;
int askFromTheLoop(vevent*) {
  answer = win::SendMessageA(asked, win::WM_QUERYENDSESSION, 0, 0);
  veventStopProcessing();
  return 1;
}
win::LRESULT askInLoop(win::HWND hwnd) {
  asked = hwnd;
  answer = -1;
  veventPost(veventCreateClient(askFromTheLoop, nullptr));
  veventProcess();
  return answer;
}

int onQuit(vcommand*, vdict*) {
  if (quitMode == 1) veventClearNativeContext();
  if (quitMode == 2) veventPost(veventCreateClient(answerDialog, nullptr));
  return quitMode != 0;
}

// With "cancelsquit" an application that handles "Quit" may refuse the
// end of the session, at once or after its dialogs ran.
TEST_F(WindowProc, AnApplicationThatHandlesQuitMayCancelIt) {
  vwindow* w = window("w", {100, 100, 200, 100});
  setOption("cancelsquit", "1");
  restart();
  ASSERT_TRUE(vwindowMSWGetProcInfo().cancelsQuit);
  vdict* commands = vdictCreate(vdictHashName);
  auto* quit = static_cast<vcommandFunction*>(vinstanceCreate(vcommandGetDefaultFunctionClass()));
  quit->issue = onQuit;
  vdictStore(commands, vname_Quit, quit);
  vapplication* app = vapplicationGetCurrent();
  if (!app->space) vapplicationSetSpaceOwned(app, vcommandSpaceCreate());
  vcommandSpaceAddDict(app->space, vname_Command, commands);
  int beeps = win::test::BeepCount();
  quitMode = 1;
  EXPECT_EQ(askInLoop(w->native->hwnd), 0);
  EXPECT_FALSE(veventHasNativeContext());
  quitMode = 2;
  EXPECT_EQ(askInLoop(w->native->hwnd), 0);
  EXPECT_TRUE(dialogRan);
  EXPECT_EQ(win::test::BeepCount(), beeps) << "a refusal ends the busy state";
  quitMode = 0;
  setOption("cancelsquit", "");
  restart();
}

// The options other than the defaults, the exit procedure, and a hook the
// system refuses.
TEST_F(WindowProc, StartUpOptionsTheExitProcedureAndARefusedHook) {
  win::HWND task = vsysGetTaskWindow();
  auto subclassed = [&] {
    return win::GetWindowLongPtrA(task, win::GWLP_WNDPROC) == reinterpret_cast<win::LONG_PTR>(&vwindowMSWTaskWindowProc);
  };
  vwindowMSWProcShutdown();
  EXPECT_FALSE(subclassed()) << "the task window's own procedure back";
  setOption("nofulldrag", "1");
  setOption("usedisplaytime", "1");
  setOption("usenormaltime", "1");
  vwindowMSWProcStartup();
  vwindowMSWProcInfo info = vwindowMSWGetProcInfo();
  EXPECT_TRUE(subclassed());
  EXPECT_FALSE(info.fullDrag);
  EXPECT_EQ(info.stampMode, 2) << "display time before normal time";
  setOption("uselocaltime", "1");
  restart();
  EXPECT_EQ(vwindowMSWGetProcInfo().stampMode, 1) << "local time first";
  for (const char* name : {"nofulldrag", "usedisplaytime", "usenormaltime", "uselocaltime"}) setOption(name, "");
  vwindowMSWProcShutdown();
  win::test::SetHooksRefused(true);
  std::string message;
  EXPECT_EQ(raised([] { vwindowMSWProcStartup(); }, &message), &vexReturnNullClass);
  EXPECT_EQ(message, "SetWindowsHook failed");
  win::test::SetHooksRefused(false);
  restart();
  info = vwindowMSWGetProcInfo();
  EXPECT_TRUE(info.fullDrag);
  EXPECT_EQ(info.stampMode, 0);
  EXPECT_TRUE(subclassed());
}

}  // namespace

namespace {

// Last: the clock stays near the wrap for the rest of the process.
TEST_F(WindowProc, AClockThatWrapsNeverMakesALatePressADoubleClick) {
  vwindow* a = window("a", {100, 100, 200, 100});
  // To 1000 ms before the 32-bit message time wraps.
  win::DWORD now = win::GetTickCount();
  win::test::AdvanceClock(static_cast<win::DWORD>(0u - 1000u - now));
  win::test::Click(at(a, 10, 10));
  win::test::AdvanceClock(3000);  // wrapped, far later than the interval
  win::test::Click(at(a, 10, 10));
  win::test::AdvanceClock(400);
  win::test::Click(at(a, 10, 10));
  Lines counts;
  for (const std::string& l : take())
    if (l.rfind("down", 0) == 0) counts.push_back(l.substr(l.find(" c") + 1, 2));
  EXPECT_EQ(counts, (Lines{"c1", "c1", "c2"}));
}

}  // namespace

namespace {

// ---- Forwarding -------------------------------------------------------------------------------

int plainPresses = 0;
win::LRESULT plainProc(win::HWND h, win::UINT m, win::WPARAM wp, win::LPARAM lp) {
  if (m == win::WM_LBUTTONDOWN) ++plainPresses;
  return win::DefWindowProcA(h, m, wp, lp);
}

// A grabbing modal window hears a press outside it; when its handler ends
// the modal state, the press goes on to the framework window under the
// pointer, never to a window of the platform's own.
TEST_F(WindowProc, APressThatEndsTheModalStateIsForwardedToFrameworkWindowsOnly) {
  vwindow* m = window("m", {100, 100, 200, 100});
  vwindow* o = window("o", {400, 100, 200, 100});
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = plainProc;
  wc.lpszClassName = "ProcPlain";
  win::RegisterClassA(&wc);
  win::HWND plain = win::CreateWindowExA(0, "ProcPlain", "plain", win::WS_POPUP | win::WS_VISIBLE, 700, 100, 100, 100,
                                         nullptr, nullptr, nullptr, nullptr);
  for (win::HWND target : {o->native->hwnd, plain}) {
    vwindowGrab(m);  // a grabbing window is the modal window
    endModalOn = m;
    drain();
    journal.clear();
    win::POINT p{30, 30};
    win::ClientToScreen(target, &p);
    win::test::Click(p);
    Lines got = take();
    ASSERT_GE(got.size(), 1u);
    EXPECT_EQ(got[0].substr(0, 6), "down m");
    EXPECT_EQ(endModalOn, nullptr);
    if (target == plain) {
      EXPECT_EQ(plainPresses, 0);
      for (const std::string& l : got) EXPECT_EQ(l.find(" o "), std::string::npos) << l;
    } else {
      EXPECT_NE(std::find(got.begin(), got.end(), "down o 30,69 m10 h1 c1 b0"), got.end());
    }
  }
  win::DestroyWindow(plain);
}

}  // namespace

namespace {

// After a press on the title bar the first motion near it is the system's
// own echo: it is dropped once, then motion counts again.
TEST_F(WindowProc, TheMotionAfterATitleBarPressIsDroppedOnce) {
  vwindow* w = window("w", {100, 100, 200, 100});
  win::HWND h = w->native->hwnd;
  win::POINT title = at(w, 10, 0);
  win::SendMessageA(h, win::WM_NCMOUSEMOVE, 0, win::MAKELPARAM(title.x, title.y - 1));
  win::SendMessageA(h, win::WM_NCLBUTTONDOWN, 0, win::MAKELPARAM(title.x, title.y - 1));
  take();
  win::SendMessageA(h, win::WM_MOUSEMOVE, win::MK_LBUTTON, win::MAKELPARAM(10, 0));
  win::SendMessageA(h, win::WM_MOUSEMOVE, win::MK_LBUTTON, win::MAKELPARAM(11, 0));
  win::SendMessageA(h, win::WM_MOUSEMOVE, win::MK_LBUTTON, win::MAKELPARAM(11, 0));  // the same point again
  Lines drags;
  for (const std::string& l : take())
    if (l.rfind("drag", 0) == 0) drags.push_back(l.substr(0, l.find(" m")));
  EXPECT_EQ(drags, (Lines{"drag4 w 11,99"}));
}

// The task window's acknowledgement clears the forwarded-click flag, and
// every other message reaches the task window's own procedure.
TEST_F(WindowProc, TheTaskWindowAcknowledgesForwardedClicks) {
  win::HWND task = vsysGetTaskWindow();
  win::SendMessageA(task, win::WM_USER + 3, 0, 0);
  EXPECT_FALSE(vwindowMSWGetProcInfo().forwardedClick);
  win::SetWindowTextA(task, "task title");
  char text[32] = {};
  win::GetWindowTextA(task, text, sizeof text);
  EXPECT_STREQ(text, "task title");
}

}  // namespace
