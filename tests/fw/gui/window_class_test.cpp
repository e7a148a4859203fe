// The window class on the headless platform: geometry and its notices,
// states, reopening, the stored form, commands, printing, the
// application's dispatch and the dialog's owner record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/scribe.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/hooks.h"
#include "fw/gui/window/window_internal.h"
#include "platform/win/test.h"
#include "tests/fw/gui/msw_fixture.h"
#include "tests/fw/gui/raises.h"

namespace {

std::vector<std::string> journal;

std::string rectText(const vrect& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," +
         std::to_string(r.height);
}

// A window class that writes its notices and handled events to the journal.
void recordSend(vobject* o, vname selector, vdict* args) {
  std::string line = selector;
  if (selector == vname_Rect) {
    auto* old = static_cast<const vrect*>(vdictGet(args, vname_OldValue));
    auto* now = static_cast<const vrect*>(vdictGet(args, vname_Value));
    line += " " + rectText(*old) + " -> " + rectText(*now);
  } else if (vdictGet(args, vname_Operand) == o && !vdictHas(args, vname_Value)) {
    line += " operand";
  }
  journal.push_back(line);
  vwindowGetDefaultClass()->send(o, selector, args);
}

std::string eventText(const char* what, vwindow* w, vevent* e) {
  std::string s = std::string(what) + " " + w->title;
  s += " at " + std::to_string(veventGetX(e)) + "," + std::to_string(veventGetY(e));
  s += " mods " + std::to_string(veventGetModifiers(e));
  if (vname b = veventGetBinding(e)) s += std::string(" bound ") + b;
  return s;
}

int keyAnswer = 0;
int recordDown(vwindow* w, vevent* e) {
  journal.push_back(eventText("down", w, e));
  return 1;
}
int recordUp(vwindow* w, vevent* e) {
  journal.push_back(eventText("up", w, e));
  return 1;
}
int recordKeyDown(vwindow* w, vevent* e) {
  journal.push_back(eventText("key", w, e));
  return keyAnswer;
}
int recordKeyUp(vwindow* w, vevent* e) {
  journal.push_back(eventText("keyup", w, e));
  return 1;
}
bool drawRaises = false;
void recordDraw(vwindow*) {
  journal.push_back("draw");
  if (drawRaises) vexGenerateMessage(&vexValueClass, "drawing failed");
}

void recordInherited(vobject* o, vname selector, vdict* args) {
  journal.push_back(std::string("inherited ") + selector + " in " + static_cast<vwindow*>(o)->title);
  vwindowGetDefaultClass()->reserved8(o, selector, args);
}

vwindowClassRec* testClass() {
  static vwindowClassRec* c = nullptr;
  if (c) return c;
  c = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
  vclassSetName(c, vscribeLiteral("testWindow"));
  c->send = recordSend;
  c->reserved8 = recordInherited;
  c->handleButtonDown = recordDown;
  c->handleButtonUp = recordUp;
  c->handleKeyDown = recordKeyDown;
  c->handleKeyUp = recordKeyUp;
  c->draw = recordDraw;
  return c;
}

vwindow* made(const char* title, vrect r = {100, 100, 100, 100}) {
  auto* w = static_cast<vwindow*>(vinstanceCreate(testClass()));
  vwindowSetTitleScribe(w, vscribeLiteral(title));
  w->rect = r;
  return w;
}

struct WindowClass : MSWFixture {
  void SetUp() override {
    MSWFixture::SetUp();
    testClass();
    journal.clear();
  }
  static vwindowClassRec* rec(vwindow* w) { return vwindowClassOf(w); }
};

// The native outer rectangle, turned into the framework's client rectangle.
vrect nativeClientRect(vwindow* w) {
  win::RECT r;
  win::GetWindowRect(w->native->hwnd, &r);
  int screenHeight = vwindowMSWGetDisplay()->screenHeight;
  return vrect{static_cast<std::int16_t>(r.left + w->native->insetLeft),
               static_cast<std::int16_t>(screenHeight - r.bottom + w->native->insetBottom),
               static_cast<std::int16_t>(r.right - r.left - w->native->insetLeft - w->native->insetRight),
               static_cast<std::int16_t>(r.bottom - r.top - w->native->insetTop - w->native->insetBottom)};
}

TEST_F(WindowClass, OpensMovesResizesAndClosesWithNoticesAndNativeRectAgreeing) {
  vwindow* w = made("one", {100, 100, 100, 100});
  EXPECT_EQ(w->decoration, 0x3F);
  EXPECT_EQ(w->flags, vwindowACCEPTS_FOCUS);
  vwindowOpen(w);
  ASSERT_NE(w->native, nullptr);
  EXPECT_TRUE(win::IsWindowVisible(w->native->hwnd));
  EXPECT_EQ(rectText(nativeClientRect(w)), "100,100,100,100");
  journal.clear();
  vwindowMove(w, 150, 120);
  EXPECT_EQ(rectText(nativeClientRect(w)), "150,120,100,100");
  vwindowResize(w, 300, 200);
  EXPECT_EQ(rectText(nativeClientRect(w)), "150,120,300,200");
  vwindowMove(w, 150, 120);  // no change, no notice
  EXPECT_EQ(journal, (std::vector<std::string>{"Rect 100,100,100,100 -> 150,120,100,100",
                                               "Rect 150,120,100,100 -> 150,120,300,200"}));
  win::HWND h = w->native->hwnd;
  vwindowClose(w);
  EXPECT_FALSE(vwindowIsOpen(w));
  EXPECT_EQ(w->native, nullptr);
  EXPECT_FALSE(win::IsWindow(h));
  vwindowDestroy(w);
}

TEST_F(WindowClass, SetRectClampsToTheSizeLimits) {
  struct Row {
    vrect asked;
    const char* stored;
    bool announced;
  } rows[] = {
      {{100, 100, 100, 100}, "100,100,100,100", false},  // equal values
      {{100, 100, 10, 10}, "100,100,50,40", true},       // below the minimum
      {{5, 6, 50, 40}, "5,6,50,40", true},               // a move alone
      {{5, 6, 900, 900}, "5,6,400,300", true},           // above the maximum
      {{5, 6, 401, 301}, "5,6,400,300", false},          // cut to what is there already
  };
  vwindow* w = made("w");
  w->minWidth = 50;
  w->minHeight = 40;
  w->maxWidth = 400;
  w->maxHeight = 300;
  for (const Row& r : rows) {
    journal.clear();
    vwindowSetRect(w, &r.asked);
    EXPECT_EQ(rectText(w->rect), r.stored) << rectText(r.asked);
    EXPECT_EQ(journal.size(), r.announced ? 1u : 0u) << rectText(r.asked);
  }
  vwindowDestroy(w);
}

TEST_F(WindowClass, MinimumAndMaximumSizesKeepEachOtherAndTheWindow) {
  vwindow* w = made("w");
  journal.clear();
  // A minimum above the current size grows the window first.
  rec(w)->setMinSize(w, 150, 80);
  EXPECT_EQ(rectText(w->rect), "100,100,150,100");
  EXPECT_EQ(journal, (std::vector<std::string>{"Rect 100,100,100,100 -> 100,100,150,100", "MinSize operand"}));
  // The maximum is raised to the minimum; a larger window is cut.
  journal.clear();
  rec(w)->setMaxSize(w, 120, 90);
  EXPECT_EQ(w->maxWidth, 150);
  EXPECT_EQ(w->maxHeight, 90);
  EXPECT_EQ(rectText(w->rect), "100,100,150,90");
  EXPECT_EQ(journal.back(), "MaxSize operand");
  // The minimum is capped by the maximum; the same values again say nothing.
  rec(w)->setMinSize(w, 500, 500);
  EXPECT_EQ(w->minWidth, 150);
  EXPECT_EQ(w->minHeight, 90);
  journal.clear();
  rec(w)->setMinSize(w, 500, 500);
  rec(w)->setMaxSize(w, 150, 90);
  EXPECT_TRUE(journal.empty());
  vwindowDestroy(w);
}

TEST_F(WindowClass, MaximizeKeepsTheTopLeftCornerWithinTheScreen) {
  const int sw = vwindowMSWGetDisplay()->screenWidth, sh = vwindowMSWGetDisplay()->screenHeight;
  ASSERT_GE(sw, 600);
  ASSERT_GE(sh, 400);
  vwindow* w = made("w", {100, 300, 200, 100});
  w->maxWidth = 500;
  w->maxHeight = 250;
  vwindowOpen(w);
  rec(w)->maximize(w);
  EXPECT_EQ(rectText(w->restoreRect), "100,300,200,100");
  EXPECT_EQ(rectText(w->rect), "100,150,500,250") << "the top stays at 400";
  EXPECT_TRUE(w->flags & vwindowMAXIMIZED);
  rec(w)->restore(w);
  w->rect = {static_cast<std::int16_t>(sw - 100), static_cast<std::int16_t>(sh - 100), 50, 50};
  w->maxWidth = w->maxHeight = 32767;
  rec(w)->maximize(w);
  EXPECT_EQ(rectText(w->rect), rectText({static_cast<std::int16_t>(sw - 100), 0, 100, static_cast<std::int16_t>(sh - 50)}))
      << "cut by the screen";
  vwindowDestroy(w);
}

TEST_F(WindowClass, StateEventsSetTheirFlagsAndCloseRequestsClose) {
  struct Row {
    int code;
    std::uint16_t before, after;
  } rows[] = {
      {2, 0, vwindowMAXIMIZED}, {3, vwindowMAXIMIZED, 0}, {4, 0, vwindowICONIFIED},
      {5, vwindowICONIFIED, 0}, {6, 0, vwindowMARK},      {7, vwindowMARK, 0},
  };
  vwindow* parent = made("parent");
  vwindow* child = made("child");
  vwindowSetParent(child, parent);
  vwindowOpen(parent);
  for (const Row& r : rows) {
    parent->flags = static_cast<std::uint16_t>((parent->flags & ~0x160) | r.before);
    vevent* e = veventCreateWindowState(parent, r.code);
    EXPECT_EQ(veventDispatch(e), 1);
    EXPECT_EQ(parent->flags & 0x160, r.after) << r.code;
  }
  // Iconified and de-iconified pass to a child without a native owner.
  EXPECT_FALSE(child->flags & vwindowICONIFIED);
  rec(parent)->handleState(parent, veventCreateWindowState(parent, 4));
  EXPECT_TRUE(child->flags & vwindowICONIFIED);
  // Code 1 issues "Close", which closes the window.
  veventDispatch(veventCreateWindowState(parent, veventSTATE_CLOSE));
  EXPECT_FALSE(vwindowIsOpen(parent));
  vwindowDestroy(child);
  vwindowDestroy(parent);
}

TEST_F(WindowClass, DecorationAndModalReopenAnOpenWindowOnly) {
  vwindow* w = made("w");
  rec(w)->setDecoration(w, 0x7);
  EXPECT_EQ(w->decoration, 0x7);
  EXPECT_EQ(w->native, nullptr) << "a closed window only stores";
  vwindowOpen(w);
  win::HWND first = w->native->hwnd;
  vwindowSetFlags(w, vwindowDECO_RESIZABLE);
  EXPECT_EQ(w->decoration, 0xF);
  ASSERT_TRUE(vwindowIsOpen(w));
  EXPECT_NE(w->native->hwnd, first);
  EXPECT_FALSE(win::IsWindow(first));
  rec(w)->setModal(w, 1);
  EXPECT_EQ(vwindowMSWGetCurrentModal(), w);
  vwindowClose(w);
  EXPECT_EQ(vwindowMSWGetCurrentModal(), nullptr) << "closing takes it off the modal stack";
  vwindowDestroy(w);
}

TEST_F(WindowClass, OpeningReopensOpenChildrenAndParentCyclesAreRefused) {
  vwindow* parent = made("parent");
  vwindow* open = made("open child");
  vwindow* closed = made("closed child");
  vwindowSetParent(open, parent);
  vwindowSetParent(closed, parent);
  vwindowOpen(open);
  win::HWND before = open->native->hwnd;
  vwindowOpen(parent);
  ASSERT_TRUE(vwindowIsOpen(open));
  EXPECT_NE(open->native->hwnd, before);
  EXPECT_FALSE(vwindowIsOpen(closed));
  vwindowClose(parent);
  EXPECT_TRUE(vwindowIsOpen(open)) << "closing leaves the children";
  EXPECT_EQ(open->native, nullptr) << "its native side went with the parent's";

  EXPECT_EQ(raised([&] { vwindowSetParent(parent, open); }), &vexArgClass);
  EXPECT_EQ(raised([&] { vwindowSetParent(parent, parent); }), &vexArgClass);
  EXPECT_EQ(parent->parent, nullptr);
  // Leaving a parent that does not list the window.
  closed->parent = open;
  EXPECT_EQ(raised([&] { vwindowSetParent(closed, nullptr); }), &vexValueClass);
  closed->parent = parent;
  vwindowChildIterator it;
  int n = 0;
  for (vwindowInitChildIterator(&it, parent); vwindowNextChildIterator(&it);) ++n;
  EXPECT_EQ(n, 2);
  vwindowDestroy(parent);
  EXPECT_EQ(open->parent, nullptr);
  EXPECT_TRUE(vwindowIsOpen(open));
  EXPECT_NE(open->native, nullptr) << "reopened on its own";
  vwindowDestroy(open);
  vwindowDestroy(closed);
}

TEST_F(WindowClass, StoredFormRoundTripsAndMasksTheFlags) {
  vrstoreInstallInterface();
  vwindow* w = made("w");
  vwindowSetTitleScribe(w, vscribeCString("Stored title"));
  w->rect = {1, 2, 300, 200};
  w->minWidth = 10;
  w->maxHeight = 900;
  w->decoration = 0x13;
  vwindowOpen(w);
  w->flags |= vwindowICONIFIED | vwindowMAXIMIZED | vwindowBUSY | vwindowKEPT | vwindowWANTS_MOTION;
  vresource store = vresourceCreateMemory();
  vresource r = vresourceCreate(store, vnameInternLiteral("Window"), vresDICTIONARY);
  vresourceSetInteger(r, vname_Background, 1);  // an unwritten key goes
  vclassRec<vobjectClassRec>(w)->store(w, r);
  EXPECT_EQ(vresourceGetInteger(r, vname_Flags), vwindowKEPT | vwindowACCEPTS_FOCUS | vwindowWANTS_MOTION);
  EXPECT_EQ(vresourceGetInteger(r, vname_Style), 0x13);
  vresource child;
  EXPECT_FALSE(vresourceTestGet(r, vname_Background, &child));
  EXPECT_FALSE(vresourceTestGet(r, vname_Cursor, &child));

  auto* back = static_cast<vwindow*>(vobjectLoad(r));
  EXPECT_EQ(back->cls, w->cls);
  EXPECT_STREQ(back->title, "Stored title");
  EXPECT_TRUE(back->flags & vwindowTITLE_OWNED);
  EXPECT_EQ(rectText(back->rect), "1,2,300,200");
  EXPECT_EQ(rectText(back->restoreRect), "1,2,300,200");
  EXPECT_EQ(back->minWidth, 10);
  EXPECT_EQ(back->maxHeight, 900);
  EXPECT_EQ(back->decoration, 0x13);
  EXPECT_EQ(back->application, vapplicationGetCurrent());
  EXPECT_FALSE(vwindowIsOpen(back));

  // Bad "Metrics" are refused before anything changes.
  vresource metrics;
  ASSERT_TRUE(vresourceTestGet(r, vname_Metrics, &metrics));
  vresourceSetAtInteger(metrics, 3, 40000);
  EXPECT_EQ(raised([&] { vinstanceDestroy(vobjectLoad(r)); }), &vexArgRangeClass);
  vresourceRemove(r, vname_Metrics);
  vresourceMakeArray(r, vname_Metrics, vresINTEGER, 4);
  EXPECT_EQ(raised([&] { vinstanceDestroy(vobjectLoad(r)); }), &vexArgRangeClass);

  // Copy keeps the destination's open bit; onto itself it does nothing.
  vobjectCopyInit(w, back);
  EXPECT_STREQ(back->title, "Stored title");
  EXPECT_NE(back->title, w->title) << "an owned title is duplicated";
  EXPECT_FALSE(vwindowIsOpen(back));
  EXPECT_TRUE(back->flags & vwindowBUSY);
  vclassRec<vobjectClassRec>(w)->copy(w, w);
  EXPECT_STREQ(w->title, "Stored title");
  vwindowDestroy(back);
  vwindowDestroy(w);
  vresourceReleaseFile(store);
}

// ---- Dispatch ----------------------------------------------------------------------------

TEST_F(WindowClass, PressesGoToTheGrabbingWindowTranslated) {
  vwindow* a = made("a", {100, 100, 200, 200});
  vwindow* b = made("b", {200, 150, 50, 50});
  vwindowOpen(a);
  vwindowOpen(b);
  vwindowGrab(a);
  EXPECT_EQ(veventDispatch(veventCreateButtonDown(b, 10, 20, 0, 1, 1, 0)), 1);
  EXPECT_EQ(journal.back(), "down a at 110,70 mods 0");
  EXPECT_EQ(vapplicationGetCurrent()->pointerTarget, a);
  vwindowUngrab(a);
  // The release goes to the window the press went to, with its button bit.
  veventDispatch(veventCreateButtonUp(b, 1, 2, 0, 0, 1, 2));
  EXPECT_EQ(journal.back(), "up a at 101,52 mods 64");
  // A closed window's events go nowhere.
  vwindowClose(b);
  EXPECT_EQ(veventDispatch(veventCreateButtonDown(b, 1, 1, 0, 1, 1, 0)), 0);
  vwindowDestroy(b);
  vwindowDestroy(a);
}

TEST_F(WindowClass, ModifiersOfTheDispatch) {
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("commandkey"), "control:alt");
  vwindow* w = made("w");
  vwindowOpen(w);
  struct Row {
    vevent* event;
    const char* seen;
  } rows[] = {
      {veventCreateButtonDown(w, 0, 0, 1 | 2 | 4, 1, 1, 0), "down w at 0,0 mods 12"},  // all command bits
      {veventCreateButtonDown(w, 0, 0, 2 | 4, 1, 1, 0), "down w at 0,0 mods 6"},       // not all of them
      {veventCreateButtonUp(w, 0, 0, 0, 0, 1, 1), "up w at 0,0 mods 32"},              // 0x10 << button
      {veventCreateKeyUp(w, 0, 0, 0, 0x1F0 | 3, 'a', 'a'), "keyup w at 0,0 mods 8"},   // buttons dropped first
  };
  for (const Row& r : rows) {
    veventDispatch(r.event);
    EXPECT_EQ(journal.back(), r.seen);
  }
  vwindowDestroy(w);
}

int issued = 0;
int countIssue(vcommand*, vdict*) { return ++issued; }
int disabledQuery(vcommand*, vdict* context) {
  vdictStore(context, vname_State, vname_Disabled);
  return 1;
}

vcommand* functionCommand(vcommandFunc issue, vcommandFunc query) {
  auto* c = static_cast<vcommandFunction*>(vinstanceCreate(vcommandGetDefaultFunctionClass()));
  c->issue = issue;
  c->query = query;
  return c;
}

TEST_F(WindowClass, AnUnhandledKeyIssuesTheApplicationsBindingWhenEnabled) {
  vapplication* app = vapplicationGetCurrent();
  vname go = vnameInternLiteral("Go"), off = vnameInternLiteral("Off");
  vdict* commands = vdictCreate(vdictHashName);
  vdictStore(commands, go, functionCommand(countIssue, nullptr));
  vdictStore(commands, off, functionCommand(countIssue, disabledQuery));
  vdict* dispatch = vdictCreate(vdictHashName);
  vdictStore(dispatch, go, vname_Enabled);
  vdictStore(dispatch, off, vname_Enabled);
  vcommandSpace* space = vcommandSpaceCreate();
  vcommandSpaceAddDict(space, vname_Command, commands);
  vcommandSpaceAddDict(space, vname_Dispatch, dispatch);
  vapplicationSetSpaceOwned(app, space);
  const std::uint32_t keyG = 'g' << 16, keyO = 'o' << 16;
  vdictStore(app->keyBindings, reinterpret_cast<const void*>(std::uintptr_t{keyG} + 1), go);
  vdictStore(app->keyBindings, reinterpret_cast<const void*>(std::uintptr_t{keyO} + 1), off);
  vwindow* w = made("w");
  vwindowOpen(w);
  journal.clear();
  struct Row {
    int answer;
    std::uint32_t key;
    int issuedAfter;
  } rows[] = {{1, 'g', 0}, {0, 'g', 1}, {0, 'o', 1}, {0, 'x', 1}};
  for (const Row& r : rows) {
    keyAnswer = r.answer;
    veventDispatch(veventCreateKeyDown(w, 0, 0, 0, 0, r.key, static_cast<int>(r.key)));
    EXPECT_EQ(issued, r.issuedAfter) << r.answer << " " << char(r.key);
  }
  EXPECT_EQ(journal[0], "key w at 0,0 mods 0 bound Go");
  EXPECT_EQ(app->keyTarget, w);
  keyAnswer = 0;
  vwindowDestroy(w);
  EXPECT_EQ(app->keyTarget, nullptr) << "destroy forgets the window";
}

TEST_F(WindowClass, CommandLookupGoesSpaceClassParentApplication) {
  vname tag = vnameInternLiteral("Thing");
  auto spaceWith = [&](const char* value) {
    vdict* d = vdictCreate(vdictHashName);
    vdictStore(d, tag, vnameInternLiteral(value));
    vcommandSpace* s = vcommandSpaceCreate();
    vcommandSpaceAddDict(s, vname_Title, d);
    return s;
  };
  vapplicationSetSpaceOwned(vapplicationGetCurrent(), spaceWith("application"));
  vwindow* parent = made("parent");
  vwindow* w = made("w");
  vwindowSetParent(w, parent);
  auto find = [&] { return static_cast<const char*>(vobjectAttributedOf(w)->findCommand(w, vname_Title, tag)); };
  EXPECT_STREQ(find(), "application");
  vwindowSetSpaceOwned(parent, spaceWith("parent"));
  EXPECT_STREQ(find(), "parent");
  vwindowSetSpaceOwned(w, spaceWith("own"));
  EXPECT_STREQ(find(), "own");
  // Binding: the nearest value wins, and the window is the operand of its
  // class's commands.
  vdict* result = vdictCreate(vdictHashName);
  vobjectAttributedOf(w)->gatherCommands(w, tag, result);
  EXPECT_STREQ(static_cast<const char*>(vdictGet(result, vname_Title)), "own");
  vdictDestroy(result);
  result = vdictCreate(vdictHashName);
  vobjectAttributedOf(w)->gatherCommands(w, vname_Close, result);
  EXPECT_EQ(vdictGet(result, vname_Operand), w);
  vdictDestroy(result);
  EXPECT_EQ(vobjectAttributedOf(w)->parent(w), parent);
  EXPECT_EQ(vobjectAttributedOf(parent)->parent(parent), vapplicationGetCurrent());
  // The application is the operand of its own space's commands.
  vapplication* app = vapplicationGetCurrent();
  vdict* commands = vdictCreate(vdictHashName);
  vdictStore(commands, tag, functionCommand(countIssue, nullptr));
  vcommandSpaceAddDict(app->space, vname_Command, commands);
  result = vdictCreate(vdictHashName);
  vobjectAttributedOf(app)->gatherCommands(app, tag, result);
  EXPECT_EQ(vdictGet(result, vname_Operand), app);
  EXPECT_STREQ(static_cast<const char*>(vdictGet(result, vname_Title)), "application");
  vdictDestroy(result);
  vwindowDestroy(w);
  vwindowDestroy(parent);
}

// ---- Printing ----------------------------------------------------------------------------

void jobLog(vprintJob*, const char* what) { journal.push_back(what); }
vwindow* pageWindow = nullptr;  // the open job draws into it
vprintJobClassRec* recordingJobs() {
  static vprintJobClassRec* c = nullptr;
  if (c) return c;
  c = vclassSpawnOf<vprintJobClassRec>(vprintJobGetDefaultClass());
  vclassSetName(c, vscribeLiteral("testPrintJob"));
  c->open = [](vprintJob* j) {
    jobLog(j, "open");
    if (pageWindow) vwindowBindDrawTarget(pageWindow);
  };
  c->beginPage = [](vprintJob* j) { jobLog(j, "begin page"); };
  c->endPage = [](vprintJob* j) { jobLog(j, "end page"); };
  c->close = [](vprintJob* j) { jobLog(j, "close"); };
  c->setArea = [](vprintJob*, const vrect* a) { journal.push_back("area " + rectText(*a)); };
  return c;
}

TEST_F(WindowClass, PrintingThroughAJobClass) {
  recordingJobs();
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("printclass"), "testPrintJob");
  vwindow* w = made("w", {50, 60, 96, 48});
  EXPECT_EQ(raised([&] { vobjectIssueTag(w, vname_Print, nullptr); }), &vexArgNotOpenClass);
  vwindowOpen(w);
  vwindowMSWNative* n = w->native;
  int frameWidth = 96 + n->insetLeft + n->insetRight, frameHeight = 48 + n->insetTop + n->insetBottom;
  int width = (frameWidth * 3 + 2) / 4, height = (frameHeight * 3 + 2) / 4;  // 72 / 96 dpi
  journal.clear();
  vobjectIssueTag(w, vname_Print, nullptr);
  vrect area{18, static_cast<std::int16_t>(792 - 18 - height), static_cast<std::int16_t>(width),
             static_cast<std::int16_t>(height)};
  EXPECT_EQ(journal, (std::vector<std::string>{"area " + rectText(area), "open", "begin page", "draw", "end page",
                                               "close"}));
  int beeps = win::test::BeepCount();
  drawRaises = true;
  journal.clear();
  vobjectIssueTag(w, vname_Print, nullptr);
  drawRaises = false;
  EXPECT_EQ(journal, (std::vector<std::string>{"area " + rectText(area), "open", "begin page", "draw", "end page",
                                               "close"}));
  EXPECT_EQ(win::test::BeepCount(), beeps + 1);
  EXPECT_FALSE(w->flags & vwindowBUSY);

  // With a left and a top frame strip, both come from the screen image,
  // then the client area is filled with the background.
  vwindow* page = made("page");
  vwindowOpen(page);
  pageWindow = page;
  n->insetLeft = 5;
  n->insetTop = 7;
  vwindowMSWTakeDriverLog();
  vobjectIssueTag(w, vname_Print, nullptr);
  pageWindow = nullptr;
  vdrawBindPathDevice();
  n->insetLeft = n->insetTop = 0;
  std::vector<std::string> drawn;
  for (const std::string& line : vwindowMSWTakeDriverLog())
    if (line == "image" || line.rfind("fill ", 0) == 0) drawn.push_back(line.substr(0, 5));
  EXPECT_EQ(drawn, (std::vector<std::string>{"image", "image", "fill "}));
  vwindowDestroy(page);
  vwindowDestroy(w);
}

// ---- Colours and the dialog's owner record ----------------------------------------------

TEST_F(WindowClass, ColourListAndTheOwnerRecord) {
  vwindow* w = made("w");
  const int indexes[] = {0, 2, 5};
  vcolor* colors[3] = {};
  vwindowDetermineColorList(w, 0, nullptr, indexes, 3, colors);
  vapplication* app = vapplicationGetCurrent();
  EXPECT_EQ(colors[0], vapplicationDetermineColor(app, 0));
  EXPECT_EQ(colors[1], vapplicationDetermineColor(app, 2));
  vcolor* own = vcolorGetWhite();
  rec(w)->setForeground(w, own);
  vwindowDetermineColorList(w, 0, nullptr, indexes, 2, colors);
  EXPECT_EQ(colors[0], own);

  const vdialogOwnerRecord& o = vdialogOwnerInterface;
  EXPECT_EQ(o.flags, 3u);
  EXPECT_EQ(o.window(w), w);
  EXPECT_EQ(o.isOpen(w), 1) << "even for a closed dialog";
  EXPECT_EQ(o.isEnabled(w), 1);
  vrect content;
  o.contentRect(w, &content);
  EXPECT_EQ(rectText(content), "0,0,100,100");
  EXPECT_EQ(o.contentRect, o.contentRectAgain);
  EXPECT_EQ(raised([&] { o.keyDict(w); }), &vexArgNotOpenClass);
  vwindowOpen(w);
  EXPECT_NE(o.keyDict(w), nullptr);
  EXPECT_EQ(vwindowGetClass(), vwindowGetDefaultClass());
  vwindowDestroy(w);
}

TEST(WindowXor, OneRowAnswersWithoutStartingTheWindowSystem) {
  vcolor* row[2] = {vcolorGetBlack(), vcolorGetWhite()};
  vcolor** table[1] = {row};
  EXPECT_EQ(vwindowTestXorColors(table, 1, 2), 1);
  EXPECT_FALSE(vwindowMSWIsStarted());
}

TEST(WindowXor, RowsMustShareEachExclusiveOr) {
  vsysStartup();
  vcolor* black = vcolorGetBlack();
  vcolor* white = vcolorGetWhite();
  vcolor* same[2] = {black, white};
  vcolor* flipped[2] = {white, black};
  vcolor* constant[2] = {white, white};
  vcolor** agree[2] = {same, flipped};  // both rows XOR to 0xFFFFFF
  vcolor** differ[2] = {same, constant};
  EXPECT_EQ(vwindowTestXorColors(agree, 2, 2), 1);
  EXPECT_EQ(vwindowTestXorColors(differ, 2, 2), 0);
  EXPECT_TRUE(vwindowMSWIsStarted());
}

}  // namespace

namespace {

TEST(WindowStartup, ItsRowBuildsTheClass) {
  vwindowInstallStartup();
  int n = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  const vmoduleStartupRow* row = nullptr;
  for (int i = 0; i < n; ++i)
    if (std::string(rows[i].name) == "vwindowGetDefaultClass") row = &rows[i];
  ASSERT_NE(row, nullptr);
  ASSERT_NE(row->fn, nullptr);
  row->fn();
  EXPECT_EQ(vwindowGetRoot()->cls, vwindowGetDefaultClass());
}

}  // namespace

namespace {

std::string shownHelp;
vinstance* someHelpWindow() { return reinterpret_cast<vinstance*>(&shownHelp); }
void showKeys(vinstance*, const vname* keys, int count, const vrect* rect) {
  for (int i = 0; i < count; ++i) shownHelp += std::string(keys[i]) + " ";
  shownHelp += rect ? "beside " + rectText(*rect) : "alone";
}

TEST(WindowHelp, TheTagsGoToTheHelpWindowWithTheRectangle) {
  vwindowHooks h = vwindowDefaultHooks();
  h.helpGetGlobalWindow = someHelpWindow;
  h.helpShowKeys = showKeys;
  vwindowInstallHooks(&h);
  vsysStartup();
  vwindow* parent = vwindowCreate();
  vwindow* w = vwindowCreate();
  vwindowSetParent(w, parent);
  w->tag = vnameInternLiteral("Inner");
  parent->tag = vnameInternLiteral("Outer");
  vobjectAttributedOf(w)->help(w);
  EXPECT_EQ(shownHelp, "Inner Outer beside 100,100,100,100");
  // The help command of the application: no rectangle; no tags, no help.
  shownHelp.clear();
  vapplication* app = vapplicationGetCurrent();
  vobjectAttributedOf(app)->help(app);
  EXPECT_EQ(shownHelp, "");
  app->tag = vnameInternLiteral("App");
  vobjectIssueTag(app, vname_Help, nullptr);
  EXPECT_EQ(shownHelp, "App alone");
  app->tag = nullptr;
  vwindowDestroy(w);
  vwindowDestroy(parent);
}

}  // namespace

namespace {

using WindowChanges = WindowClass;

int damageCount(vwindow* w) { return w->native ? w->native->damage.count : -1; }

TEST_F(WindowChanges, FontsAndColoursPassDownToChildrenThatDoNotOverrideThem) {
  vwindow* parent = made("parent");
  vwindow* plain = made("plain");
  vwindow* own = made("own font");
  vwindowSetParent(plain, parent);
  vwindowSetParent(own, parent);
  vfont* font = vwindowGetFont(parent);
  rec(own)->setFont(own, font);
  vwindowOpen(parent);
  vwindowOpen(plain);
  vwindowOpen(own);
  for (vwindow* w : {parent, plain, own}) _vwindowMSWClearList(&w->native->damage);
  rec(parent)->setFont(parent, vfontFindScribe(vscribeLiteral("family:Times-size:9")));
  EXPECT_GT(damageCount(parent), 0);
  EXPECT_GT(damageCount(plain), 0);
  EXPECT_EQ(damageCount(own), 0) << "its own font stays";
  // The title reaches the native window.
  vwindowSetTitleScribe(parent, vscribeCString("Renamed"));
  char text[32] = {};
  win::GetWindowTextA(parent->native->hwnd, text, sizeof text);
  EXPECT_STREQ(text, "Renamed");
  EXPECT_TRUE(parent->flags & vwindowTITLE_OWNED);
  vwindowSetTitleScribe(parent, vscribeLiteral("Literal"));
  EXPECT_FALSE(parent->flags & vwindowTITLE_OWNED);
  vwindowDestroy(own);
  vwindowDestroy(plain);
  vwindowDestroy(parent);
}

TEST_F(WindowChanges, AnOpeningWindowTakesItsSpacesKeys) {
  vname tag = vnameInternLiteral("Zoom");
  vdict* keys = vdictCreate(vdictHashName);
  vcommandKeyList* list = vcommandCreateKeyList();
  const std::uint32_t key = ('z' << 16) | 2;
  vcommandAppendKeys(list, &key, 1);
  vdictStore(keys, tag, list);
  vcommandSpace* space = vcommandSpaceCreate();
  vcommandSpaceAddDict(space, vname_Key, keys);
  vwindow* w = made("w");
  vwindowSetSpaceOwned(w, space);
  EXPECT_EQ(vwindowGetSpace(w), space);
  vwindowOpen(w);
  EXPECT_EQ(vwindowLookupKeyBinding(w, key), tag);
  EXPECT_EQ(vwindowLookupKeyBinding(w, key + 1), nullptr);
  vwindowDestroy(w);
}

}  // namespace

namespace {

using WindowEvents = WindowClass;

TEST_F(WindowEvents, AreaEventsStoreWhatChangedAndAnnounceIt) {
  vwindow* w = made("w", {10, 20, 30, 40});
  vwindowOpen(w);
  journal.clear();
  const vrect to{50, 60, 70, 80};
  struct Row {
    int flags;
    const char* stored;
  } rows[] = {{1 | 4, "50,60,30,40"}, {2 | 4, "50,60,70,80"}, {3 | 4, "50,60,70,80"}};
  for (const Row& r : rows) {
    EXPECT_EQ(veventDispatch(veventCreateArea(w, &to, r.flags)), 1);
    EXPECT_EQ(rectText(w->rect), r.stored);
  }
  EXPECT_EQ(journal, (std::vector<std::string>{"Rect 10,20,30,40 -> 50,60,30,40", "Rect 50,60,30,40 -> 50,60,70,80"}));
  vwindowDestroy(w);
}

TEST_F(WindowEvents, KeysGoWhereTheRedirectionSaysAndWindowBindingsRunFirst) {
  vapplication* app = vapplicationGetCurrent();
  vwindow* a = made("a", {0, 0, 50, 50});
  vwindow* b = made("b", {100, 0, 50, 50});
  vwindowOpen(a);
  vwindowOpen(b);
  const std::uint32_t tab = 0xFC09u << 16;
  vdictStore(app->keyRedirections, reinterpret_cast<const void*>(std::uintptr_t{tab} + 1), b);
  journal.clear();
  veventDispatch(veventCreateKeyDown(a, 120, 5, 0, 0, 0xFC09, 9));
  EXPECT_EQ(journal, (std::vector<std::string>{"key b at 20,5 mods 0"}));
  EXPECT_EQ(app->keyTarget, b);
  // The release goes to the key target.
  veventDispatch(veventCreateKeyUp(a, 120, 5, 0, 0, 0xFC09, 9));
  EXPECT_EQ(journal.back(), "keyup b at 20,5 mods 0");

  // A plain window's own key binding to its "Close" command closes it.
  vwindow* plain = vwindowCreate();
  vdict* keys = vdictCreate(vdictHashName);
  vcommandKeyList* list = vcommandCreateKeyList();
  const std::uint32_t escape = 0xFC1Bu << 16;
  vcommandAppendKeys(list, &escape, 1);
  vdictStore(keys, vname_Close, list);
  vcommandSpace* space = vcommandSpaceCreate();
  vcommandSpaceAddDict(space, vname_Key, keys);
  vwindowSetSpaceOwned(plain, space);
  vwindowOpen(plain);
  EXPECT_EQ(veventDispatch(veventCreateKeyDown(plain, 0, 0, 0, 0, 0xFC1B, 27)), 1);
  EXPECT_FALSE(vwindowIsOpen(plain));
  vwindowDestroy(plain);
  vwindowDestroy(b);
  vwindowDestroy(a);
}

TEST_F(WindowEvents, ASchemeReloadSendsOneNoticePerChangedEntry) {
  vwindow* top = made("top");
  vwindow* child = made("child");
  vwindowSetParent(child, top);
  vwindowOpen(top);
  vwindowOpen(child);
  ASSERT_TRUE(vwindowIsOpen(vwindowGetRoot()));
  vapplication* app = vapplicationGetCurrent();
  vresource file = vrstoreCreateMemory();
  vresource prefs = vresourceCreate(file, vname_Preferences, vresDICTIONARY);
  std::string error;
  ASSERT_TRUE(vrtextParse(R"(
    Colors = dictionary { ShadowBottom = dictionary { vcolorComponent1 = integer 200 } }
  )", prefs, &error)) << error;
  journal.clear();
  vapplicationClassOf(app)->setResourceFile(app, file);
  std::vector<std::string> notices;
  for (const std::string& line : journal)
    if (line.rfind("inherited", 0) == 0) notices.push_back(line);
  EXPECT_EQ(notices, (std::vector<std::string>{"inherited ShadowBottom in top", "inherited ShadowBottom in child"}));
  vwindowDestroy(child);
  vwindowDestroy(top);
}

}  // namespace

namespace {

TEST(WindowEventFields, PackedFieldsReadBackWithTheirSigns) {
  vsysStartup();
  auto* w = reinterpret_cast<vwindow*>(std::uintptr_t{0x7FFF12345678});
  vevent* press = veventCreateButtonDown(w, -5, 70000, 0xFFFF, 3, 2, 1);
  EXPECT_EQ(press->type, veventBUTTON_DOWN);
  EXPECT_EQ(veventGetWindow(press), w);
  EXPECT_EQ(veventGetX(press), -5);
  EXPECT_EQ(veventGetY(press), 70000);
  EXPECT_EQ(veventGetModifiers(press), 0xFFFFu);
  EXPECT_EQ(veventGetHeldCount(press), 3);
  EXPECT_EQ(veventGetClickCount(press), 2);
  EXPECT_EQ(veventGetButton(press), 1);
  veventSetModifiers(press, 8);
  EXPECT_EQ(veventGetButton(press), 1) << "the other small fields stay";
  veventDestroy(press);

  vevent* key = veventCreateKeyDown(w, -3, 40000, 0x1B, 6, 0xFC1B, 0xE9);
  EXPECT_EQ(veventGetX(key), -3);
  EXPECT_EQ(veventGetY(key), static_cast<std::int16_t>(40000)) << "key positions are 16-bit";
  EXPECT_EQ(veventGetVirtualKey(key), 0x1Bu);
  EXPECT_EQ(veventGetKey(key), 0xFC1Bu);
  EXPECT_EQ(veventGetKeyValue(key), 0xFC1B0006u);
  EXPECT_EQ(veventGetCharacter(key), 0xE9);
  veventDestroy(key);

  const vrect r{-1, -32768, 32767, 0};
  vevent* area = veventCreateArea(w, &r, 6);
  vrect back;
  veventGetRect(area, &back);
  EXPECT_TRUE(vrectEqual(&back, &r));
  EXPECT_EQ(veventGetAreaFlags(area), 6);
  veventDestroy(area);

  vevent* update = veventCreateUpdate(w);
  EXPECT_EQ(update->type, 13);
  EXPECT_EQ(update->priority, 63);
  veventDestroy(update);
  vevent* state = veventCreateWindowState(w, veventSTATE_DEICONIFIED);
  EXPECT_EQ(veventGetStateCode(state), 5);
  veventDestroy(state);
  vevent* leave = veventCreateLeave(w, 1, 2, 4, 0, 1);
  EXPECT_EQ(leave->type, 11);
  EXPECT_EQ(veventGetClickCount(leave), 1);
  veventDestroy(leave);
}

using WindowStates = WindowClass;

TEST_F(WindowStates, BusyFocusAndDocumentParents) {
  vwindow* parent = made("parent");
  vwindow* child = made("child");
  vwindowSetParent(child, parent);
  rec(parent)->setBusy(parent);
  EXPECT_TRUE(child->flags & vwindowBUSY);
  rec(parent)->clearBusy(parent);
  EXPECT_FALSE(child->flags & vwindowBUSY);

  vwindowOpen(parent);
  win::SetFocus(parent->native->hwnd);
  rec(parent)->setAcceptsFocus(parent, 0);
  EXPECT_NE(win::GetFocus(), parent->native->hwnd);
  EXPECT_FALSE(parent->flags & vwindowACCEPTS_FOCUS);

  vwindow* doc = made("doc");
  vwindowOpen(doc);
  win::HWND before = doc->native->hwnd;
  vwindowSetStateFlag(doc, parent);
  EXPECT_EQ(doc->parent, parent);
  EXPECT_TRUE(doc->decoration & vwindowDECO_DOCUMENT);
  ASSERT_TRUE(vwindowIsOpen(doc));
  EXPECT_NE(doc->native->hwnd, before) << "reopened";
  vwindowSetStateFlag(doc, nullptr);
  EXPECT_EQ(doc->parent, nullptr);
  EXPECT_FALSE(doc->decoration & vwindowDECO_DOCUMENT);
  // An update reaches HandleUpdate, which draws.
  journal.clear();
  vwindowInvalAll(doc, 0);
  EXPECT_EQ(veventDispatch(veventCreateUpdate(doc)), 1);
  EXPECT_EQ(journal, (std::vector<std::string>{"draw"}));
  vwindowDestroy(doc);
  vwindowDestroy(child);
  vwindowDestroy(parent);
}

}  // namespace

namespace {

using WindowLookups = WindowClass;

TEST_F(WindowLookups, CursorsAndColoursWalkOwnClassParentApplication) {
  auto object = [] { return static_cast<vobject*>(vinstanceCreate(vobjectGetDefaultClass())); };
  vobject* appCursor = object();
  vobject* parentCursor = object();
  vobject* ownCursor = object();
  vapplication* app = vapplicationGetCurrent();
  vapplicationClassOf(app)->setCursor(app, appCursor);
  vwindow* parent = made("parent");
  vwindow* w = made("w");
  vwindowSetParent(w, parent);
  EXPECT_EQ(vwindowGetCursor(w), appCursor);
  rec(parent)->setCursor(parent, parentCursor);
  EXPECT_EQ(vwindowGetCursor(w), parentCursor);
  rec(w)->setCursor(w, ownCursor);
  EXPECT_EQ(vwindowGetCursor(w), ownCursor);
  EXPECT_EQ(vwindowGetBlockCursor(w), vapplicationGetBlockCursor(app));
  EXPECT_EQ(vwindowGetLineWidth(w), 1);

  vcolor* black = vcolorGetBlack();
  vcolor* white = vcolorGetWhite();
  rec(parent)->setForeground(parent, white);
  rec(parent)->setBackground(parent, black);
  EXPECT_EQ(vwindowDetermineColor(w, vcolorFOREGROUND), white) << "the parent's";
  EXPECT_EQ(vwindowDetermineColor(w, vcolorBACKGROUND), black);
  rec(w)->setBackground(w, white);
  EXPECT_EQ(vwindowDetermineColor(w, vcolorBACKGROUND), white) << "its own";
  // A list index the result lacks gives 0.
  vcolor* got[2] = {black, black};
  const int indexes[] = {vcolorFOREGROUND, 30};
  vwindowDetermineColorList(w, 0, nullptr, indexes, 2, got);
  EXPECT_EQ(got[0], white);
  EXPECT_EQ(got[1], nullptr);
  vwindowDestroy(w);
  vwindowDestroy(parent);
  vapplicationClassOf(app)->setCursor(app, nullptr);
  for (vobject* o : {appCursor, parentCursor, ownCursor}) vinstanceDestroy(o);
}

}  // namespace

namespace {

TEST_F(WindowLookups, ClassPreferencesGiveTheClassFontAndColours) {
  vapplication* app = vapplicationGetCurrent();
  vresource file = vrstoreCreateMemory();
  vresource prefs = vresourceCreate(file, vname_Preferences, vresDICTIONARY);
  std::string error;
  ASSERT_TRUE(vrtextParse(R"(
    Classes = dictionary {
      hookWindow = dictionary {
        Font = string "family:Times-size:9"
        Foreground = dictionary { vcolorComponent1 = integer 100 }
        BackgroundHilite = dictionary { vcolorComponent1 = integer 300 }
      }
      hookWindowBelow = dictionary { Font = integer 3 }
    }
  )", prefs, &error)) << error;
  vapplicationClassOf(app)->setResourceFile(app, file);
  auto* c = vclassSpawnOf<vwindowClassRec>(testClass());
  vclassSetName(c, vscribeLiteral("hookWindow"));
  auto red = [](vcolor* k) { return k ? static_cast<int>(k->desc.component[0]) : -1; };
  EXPECT_EQ(c->font, vfontFindScribe(vscribeLiteral("family:Times-size:9")));
  EXPECT_EQ(red(c->foreground), 100);
  EXPECT_EQ(red(c->backgroundHilite), 300);
  EXPECT_EQ(c->background, nullptr);
  // A subclass starts from its superclass's; a font that is no string clears it.
  auto* below = vclassSpawnOf<vwindowClassRec>(c);
  vclassSetName(below, vscribeLiteral("hookWindowBelow"));
  EXPECT_EQ(below->font, nullptr);
  EXPECT_EQ(below->foreground, c->foreground);
  EXPECT_EQ(below->backgroundHilite, c->backgroundHilite);
  // The class default comes before the parent and the application.
  auto* w = static_cast<vwindow*>(vinstanceCreate(c));
  EXPECT_EQ(vwindowGetFont(w), c->font);
  EXPECT_EQ(vwindowDetermineColor(w, vcolorFOREGROUND), c->foreground);
  vwindowDestroy(w);
}

}  // namespace
