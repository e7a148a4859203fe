// Domain view gestures: click selection with its modifiers, the drag
// threshold, dragging against the bounds, auto-scrolling on the simulated
// clock, the undo lists handed over, and gestures whose view went away.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/gui/window/window_event.h"
#include "fw/widgets/domains/domainview.h"
#include "tests/fw/core/event_support.h"
#include "tests/fw/widgets/dialog_support.h"

namespace {

std::vector<std::string> log;
std::vector<int> phases;

vdomainviewEventClassRec* recordingEvents() {
  static vdomainviewEventClassRec* c = [] {
    auto* r = vclassSpawnOf<vdomainviewEventClassRec>(vdomainviewEventGetDefaultClass());
    vclassSetName(r, vscribeLiteral("testDomainviewEvents"));
    r->tracking = [](vdomainview*, void* record) {
      phases.push_back(static_cast<vdomainviewTrackRecord*>(record)->phase);
      return 1;
    };
    r->scrolled = [](vdomainview* v, void*) {
      log.push_back("scrolled " + std::to_string(v->offset.y) + " at " + std::to_string(SimulatedClock::now));
      return 1;
    };
    r->release = [](vdomainview*, void*) {
      log.push_back("release");
      return 1;
    };
    return r;
  }();
  return c;
}

struct Tracking : ::testing::Test {
  vdomainview* view = nullptr;
  vdomain* d = nullptr;
  std::vector<std::string> handed;

  void SetUp() override {
    startDialogItemTests();
    log.clear();
    phases.clear();
    view = vdomainitemCreate();
    d = view->domain;
    vdomainSetPrimaryObserverClass(d, vdomainUndoObserverClass());
    vrect b{0, 0, 400, 300}, r{0, 0, 200, 100};
    vdomainSetBounds(d, &b);
    vdialogSetItemBorder(view, 0);
    vdialogSetItemRect(view, &r);
    view->events = recordingEvents();
    view->viewAttributes &= ~vdomainviewLIVE_BAND;
    view->actionHook = [](vdomainview* v, vundoActionList* list) {
      static_cast<Tracking*>(reinterpret_cast<void*>(v->data))->handed.push_back(list->name);
      vundoActionDestroy(list);
    };
    view->data = reinterpret_cast<std::intptr_t>(this);
  }
  void TearDown() override {
    if (view) vinstanceDestroy(view);
  }

  vdomainObject* add(std::int16_t x, std::int16_t y, std::int16_t w = 20, std::int16_t h = 20) {
    vdomainObject* o = vdomainNewObject(d);
    vdomainSet* s = vdomainCreateSetOf(&o, 1);
    vrect r{x, y, w, h};
    vdomainClassOf(d)->setRects(d, s, &r);
    vdomainClassOf(d)->showObjects(d, s);
    vdomainDestroySet(s);
    return o;
  }
  bool selected(vdomainObject* o) { return vdomainIsSelected(o, view->slot); }
  void select(vdomainObject* o) {
    vdomainSet* s = vdomainCreateSetOf(&o, 1);
    vdomainClassOf(d)->selectObjects(d, view->slot, s);
    vdomainDestroySet(s);
  }

  using Method = int (*)(vdialogItem*, vevent*);
  void send(Method m, vevent* e, const char* binding) {
    if (binding) veventSetBinding(e, vnameInternLiteral(binding));
    m(view, e);
    veventDestroy(e);
  }
  void down(int x, int y, const char* binding = "Select", int clicks = 1) {
    send(vdialogItemClassOf(view)->buttonDown, veventCreateButtonDown(nullptr, x, y, 0, 1, clicks, 1), binding);
  }
  void drag(int x, int y) { send(vdialogItemClassOf(view)->drag, veventCreateMotion(nullptr, x, y, 0, 1, 1), nullptr); }
  void up(int x, int y) {
    send(vdialogItemClassOf(view)->buttonUp, veventCreateButtonUp(nullptr, x, y, 0, 0, 1, 1), nullptr);
  }
};

TEST_F(Tracking, ClicksSelectAndModifiersDecide) {
  vdomainObject* a = add(10, 10);
  vdomainObject* b = add(50, 10);
  select(a);
  select(b);
  down(150, 80);  // empty space
  up(150, 80);
  EXPECT_FALSE(selected(a));
  EXPECT_FALSE(selected(b));
  down(15, 15);
  up(15, 15);
  EXPECT_TRUE(selected(a));
  // "Adjust" on a selected object deselects it and starts no drag.
  phases.clear();
  down(15, 15, "Adjust");
  EXPECT_FALSE(selected(a));
  drag(40, 40);
  up(40, 40);
  EXPECT_EQ(a->rect.x, 10);
  EXPECT_TRUE(phases.empty()) << "an ignored gesture reaches no tracking hook";
  EXPECT_EQ(log.back(), "release") << "only the release hook";
  // "Adjust" on an unselected one adds it without dropping the others.
  select(b);
  down(15, 15, "Adjust");
  up(15, 15);
  EXPECT_TRUE(selected(a));
  EXPECT_TRUE(selected(b));
  // A binding other than "Select" without a modifier does nothing.
  down(150, 80, "Menu");
  up(150, 80);
  EXPECT_TRUE(selected(a));
}

TEST_F(Tracking, TheThresholdIgnoresThreeUnitsAndStartsAtFour) {
  vdomainObject* a = add(10, 10);
  view->threshold = 3;
  down(15, 15);
  drag(18, 12);
  drag(12, 18);
  EXPECT_EQ(std::count(phases.begin(), phases.end(), 2), 0) << "no motion within 3 units";
  drag(19, 15);
  EXPECT_EQ(std::count(phases.begin(), phases.end(), 2), 1);
  up(19, 15);
  EXPECT_EQ(a->rect.x, 14);
  EXPECT_EQ(a->rect.y, 10);
  EXPECT_EQ(phases, (std::vector<int>{1, 2, 3, 4}));
  ASSERT_FALSE(handed.empty());
  EXPECT_EQ(handed.front(), std::string("Drag"));
}

TEST_F(Tracking, DraggingAgainstTheEdgeStopsThereAndABackTripMovesNothing) {
  vdomainObject* a = add(350, 10, 30, 20);
  vdomainviewScroll(view, 200, 0, vdomainviewABSOLUTE);  // the right end in view
  view->dragMethod = 1;                                   // outlines without auto-scroll
  down(160, 15);
  drag(190, 15);  // 30 more would leave the bounds by 10
  EXPECT_EQ(a->rect.x, 350) << "moved only at the release";
  up(190, 15);
  EXPECT_EQ(a->rect.x, 370);
  EXPECT_EQ(a->rect.x + a->rect.width, 400);
  // There and back again: no move, no "Drag" list.
  handed.clear();
  down(175, 15);
  drag(185, 25);
  drag(175, 15);
  up(175, 15);
  EXPECT_EQ(a->rect.x, 370);
  EXPECT_EQ(a->rect.y, 10);
  EXPECT_EQ(std::count(handed.begin(), handed.end(), std::string("Drag")), 0);
}

TEST_F(Tracking, HoldingBelowScrollsEveryTenMillisecondsToTheEnd) {
  SimulatedClock clock;
  add(10, 10);
  vdomainviewScroll(view, 0, 35, vdomainviewABSOLUTE);
  log.clear();
  win::ULONGLONG start = SimulatedClock::now;
  down(100, 50);  // a band from empty space
  drag(100, -5);  // below the view: y grows upward
  EXPECT_TRUE(vdomainviewAutoScrolling());
  vevent* stop = veventCreateClient([](vevent*) {
    veventStopProcessing();
    return 1;
  }, nullptr);
  veventPostDelayed(stop, 0, 100'000'000);
  veventProcess();
  EXPECT_EQ(view->offset.y, 0);
  EXPECT_FALSE(vdomainviewAutoScrolling()) << "no step once the end is reached";
  std::vector<std::string> expect{"scrolled 25 at " + std::to_string(start), "scrolled 15 at " + std::to_string(start + 10),
                                  "scrolled 5 at " + std::to_string(start + 20), "scrolled 0 at " + std::to_string(start + 30)};
  EXPECT_EQ(log, expect);
  up(100, -5);
  EXPECT_EQ(vdomainviewTrackedView(), nullptr);
}

TEST_F(Tracking, ABandWithExtendNeverDeselects) {
  vdomainObject* a = add(10, 10);
  vdomainObject* b = add(100, 10);
  vdomainObject* c = add(150, 60);
  select(a);
  down(90, 5, "Extend");
  drag(130, 40);
  up(130, 40);
  EXPECT_TRUE(selected(a));
  EXPECT_TRUE(selected(b));
  EXPECT_FALSE(selected(c));
  // Live, with "Extend": leaving the band keeps what it selected.
  view->viewAttributes |= vdomainviewLIVE_BAND;
  down(140, 50, "Extend");
  drag(180, 90);
  EXPECT_TRUE(selected(c)) << "selected while the band covers it";
  drag(141, 51);
  up(141, 51);
  EXPECT_TRUE(selected(a));
  EXPECT_TRUE(selected(b));
  EXPECT_TRUE(selected(c));
  // Without a modifier a live band gives back what it leaves.
  down(5, 95);
  EXPECT_FALSE(selected(a));
  drag(40, 5);
  EXPECT_TRUE(selected(a));
  drag(6, 94);
  EXPECT_FALSE(selected(a));
  up(6, 94);
}

TEST_F(Tracking, AReleaseWithoutAPressAndAViewGoneMidDragChangeNothing) {
  SimulatedClock clock;
  vdomainObject* a = add(10, 10);
  select(a);
  up(60, 60);  // its press went elsewhere
  drag(60, 60);
  EXPECT_EQ(a->rect.x, 10);
  EXPECT_TRUE(selected(a));
  EXPECT_TRUE(log.empty());
  // A second view begins a drag that scrolls, then goes away.
  vdomainview* other = vdomainviewCreate();
  vrect r{0, 0, 100, 50};
  vdialogSetItemRect(other, &r);
  vdomainviewSetDomain(other, d);
  other->events = recordingEvents();
  vdomainviewScroll(view, 0, 0, vdomainviewABSOLUTE);
  down(15, 15);
  drag(15, 140);  // above the view: auto-scroll runs
  EXPECT_TRUE(vdomainviewAutoScrolling());
  vinstanceDestroy(view);
  view = nullptr;
  EXPECT_FALSE(vdomainviewAutoScrolling());
  EXPECT_EQ(vdomainviewTrackedView(), nullptr);
  // Its domain went with it; the other view lost it and its releases do nothing.
  EXPECT_EQ(other->domain, nullptr);
  vevent* e = veventCreateButtonUp(nullptr, 30, 30, 0, 0, 1, 1);
  vdialogItemClassOf(other)->buttonUp(other, e);
  veventDestroy(e);
  vinstanceDestroy(other);
}

}  // namespace
