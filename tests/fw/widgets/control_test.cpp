// Value-range controls: the setters' clamping and announcements, the
// attribute and resource forms, and the auto-repeat timeline of a held
// part on the simulated clock.
#include "fw/widgets/controls/control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/window/window_event.h"
#include "tests/fw/core/event_support.h"
#include "tests/fw/core/fw_support.h"
#include "tests/fw/widgets/dialog_support.h"

namespace {

std::vector<std::string> trace;
std::string show(vname name, const void* v) {
  if (!v) return "-";
  if (name == vname_Vertical || name == vname_Exclusive) return static_cast<vname>(v);
  if (name == vname_View || name == vname_Increment || name == vname_Page)
    return std::to_string(*static_cast<const std::int16_t*>(v));
  return std::to_string(*static_cast<const std::int32_t*>(v));
}

// Actions of the recording part: (control number, simulated ms).
std::vector<std::pair<int, win::ULONGLONG>> actions;
const vcontrolPart kRepeating = {vcontrolPartREPEAT, nullptr, nullptr, nullptr,
                                 [](vcontrol* c, vevent*) {
                                   actions.emplace_back(int(c->data), SimulatedClock::now);
                                   return 0;
                                 },
                                 nullptr};

vcontrolClassRec* recordingClass() {
  static vcontrolClassRec* c = [] {
    auto* r = vclassSpawnOf<vcontrolClassRec>(vcontrolGetDefaultClass());
    vclassSetName(r, vscribeLiteral("testControl"));
    r->send = [](vobject* self, vname name, vdict* args) {
      if (name != vname_MinSize && name != vname_Rect)
        trace.push_back(std::string(name) + " " + show(name, vdictGet(args, vname_OldValue)) + ">" +
                        show(name, vdictGet(args, vname_Value)));
      vcontrolGetDefaultClass()->send(self, name, args);
    };
    r->choosePart = [](vcontrol* c, vevent*) { c->activePart = &kRepeating; };
    return r;
  }();
  return c;
}

struct Controls : ::testing::Test {
  vcontrol* c = nullptr;
  void SetUp() override {
    startDialogItemTests();
    trace.clear();
    c = vcontrolCreate(recordingClass());
  }
  void TearDown() override { vinstanceDestroy(c); }
};

TEST_F(Controls, SettersClampAndAnnounceOnlyChanges) {
  vcontrolSetMax(c, 100);
  vcontrolSetView(c, 10);
  vcontrolSetValue(c, 95);
  vcontrolSetValue(c, -5);
  vcontrolSetValue(c, -5);  // no change, no announcement
  vcontrolSetValue(c, 60);
  EXPECT_EQ(vcontrolGetReversedValue(c), 30);
  vcontrolSetReversedValue(c, 0);
  EXPECT_EQ(c->value, 90);
  vcontrolSetMin(c, 200);  // lowered to max: min 100, value raised to it
  EXPECT_EQ(c->min, 100);
  EXPECT_EQ(c->value, 100);
  EXPECT_TRUE(c->controlFlags & vcontrolWHOLE_RANGE);
  vcontrolSetMin(c, 0);
  EXPECT_FALSE(c->controlFlags & vcontrolWHOLE_RANGE);
  const std::vector<std::string> want = {"Max 1>100",  "View 0>10",  "Value 0>90", "Value 90>0",
                                         "Value 0>60", "Value 60>90", "Min 0>100",  "Min 100>0"};
  EXPECT_EQ(trace, want);
  EXPECT_EQ(vcontrolGetReversedValue(c), 0);

  // Max below min is raised to min; a view past the range pulls the value down.
  vcontrolSetMin(c, 10);
  vcontrolSetMax(c, 5);
  EXPECT_EQ(c->max, 10);
  vcontrolSetMax(c, 100);
  vcontrolSetMin(c, 0);
  vcontrolSetValue(c, 50);
  vcontrolSetView(c, 200);
  EXPECT_EQ(c->value, 0);
  EXPECT_TRUE(c->controlFlags & vcontrolWHOLE_RANGE);

  // Negative view, increment and page raise and change nothing.
  trace.clear();
  EXPECT_EQ(raisedClass([&] { vcontrolSetView(c, -1); }), &vexArgRangeClass);
  EXPECT_EQ(raisedClass([&] { vcontrolSetIncrement(c, -1); }), &vexArgClass);
  EXPECT_EQ(raisedClass([&] { vcontrolSetPage(c, -3); }), &vexArgClass);
  EXPECT_EQ(c->view, 200);
  EXPECT_EQ(c->increment, 1);
  EXPECT_EQ(c->page, 1);
  EXPECT_TRUE(trace.empty());

  // Extremes: no overflow in max - view.
  vcontrolSetMin(c, INT32_MIN);
  vcontrolSetMax(c, INT32_MIN + 5);
  vcontrolSetView(c, 10);
  vcontrolSetValue(c, INT32_MAX);
  EXPECT_EQ(c->value, INT32_MIN);
  EXPECT_EQ(vcontrolGetReversedValue(c), INT32_MIN);
}

TEST_F(Controls, AttributesAndTheStoredForm) {
  auto* attr = vobjectAttributedOf(c);
  vrect r{5, 6, 80, 20};
  vdialogSetItemRect(c, &r);
  attr->setAttribute(c, vname_Vertical, vname_True);  // the rectangle turns
  EXPECT_EQ(c->rect.width, 20);
  EXPECT_EQ(c->rect.height, 80);
  attr->setAttribute(c, vname_Toggle, vname_On);
  EXPECT_EQ(c->value, 1);
  std::int32_t v = 7;
  attr->setAttribute(c, vname_Max, &v);
  attr->setAttribute(c, vname_Page, &v);
  attr->setAttribute(c, vname_Selection, &v);  // ignored
  EXPECT_EQ(attr->getAttribute(c, vname_View), nullptr);
  EXPECT_EQ(attr->getAttribute(c, vname_Page), nullptr);
  EXPECT_EQ(*static_cast<const std::int32_t*>(attr->getAttribute(c, vname_Max)), 7);
  EXPECT_EQ(attr->getAttribute(c, vname_Vertical), vname_True);
  EXPECT_EQ(attr->getAttribute(c, vname_Toggle), vname_On);
  const std::vector<std::string> want = {"Vertical False>True", "Value 0>1", "Max 1>7", "Page 1>7"};
  EXPECT_EQ(trace, want);

  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  vcontrolSetExclusive(c, 1);
  vcontrolSetTickMarks(c, 1);
  vcontrolSetView(c, 2);
  vcontrolSetIncrement(c, 3);
  vcontrolSetMin(c, -4);
  c->controlFlags |= vcontrolPRESSED;  // not stored
  vresource out = vrstoreCreate(root, vnameInternLiteral("C"), vresDICTIONARY);
  vcontrolClassOf(c)->store(c, out);
  EXPECT_EQ(vrstoreGetInteger(out, vnameInternLiteral("vcontrolFlags")), 0xB);
  vresource values = vrstoreGet(out, vname_Values);
  const std::int32_t stored[] = {1, -4, 7, 2, 3, 7};
  ASSERT_EQ(vrstoreCount(values), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(vrstoreGetAtInteger(values, i), stored[i]) << i;
  auto* back = static_cast<vcontrol*>(vobjectLoad(out));
  EXPECT_EQ(back->controlFlags, 0xB);
  EXPECT_EQ(back->value, 1);
  EXPECT_EQ(back->min, -4);
  EXPECT_EQ(back->max, 7);
  EXPECT_EQ(back->view, 2);
  EXPECT_EQ(back->increment, 3);
  EXPECT_EQ(back->page, 7);
  EXPECT_TRUE(back->flags & vdialogItemFOCUSABLE);
  // Copies take the pressed bit too; a copy onto itself changes nothing.
  vcontrol* copy = vcontrolCreate(recordingClass());
  vcontrolClassOf(c)->copy(c, copy);
  EXPECT_EQ(copy->controlFlags, c->controlFlags);
  EXPECT_EQ(copy->min, -4);
  vcontrolClassOf(c)->copy(c, c);
  EXPECT_EQ(c->max, 7);
  vinstanceDestroy(copy);
  vinstanceDestroy(back);
  vrstoreCloseFile(root);
}

// Runs body at ms after the loop starts.
void at(win::ULONGLONG ms, void (*body)()) {
  vevent* e = veventCreateClient(
      [](vevent* ev) {
        reinterpret_cast<void (*)()>(ev->data)();
        return 1;
      },
      reinterpret_cast<void*>(body));
  veventPostDelayed(e, 0, std::int64_t(ms) * 1'000'000);
}

vevent* stamped(vevent* e) {
  vsysTime now = vsysGetTime();
  e->seconds = now.seconds;
  e->nanoseconds = now.nanoseconds;
  return e;
}

vcontrol* first = nullptr;
vcontrol* second = nullptr;
win::ULONGLONG start = 0;

void pointer(vcontrol* c, int (*slot)(vdialogItem*, vevent*), vevent* e) {
  slot(c, stamped(e));
  veventDestroy(e);
}

TEST_F(Controls, AHeldPartRepeatsAfterTwoTenthsThenEveryTwentieth) {
  SimulatedClock clock;
  actions.clear();
  second = vcontrolCreate(recordingClass());
  first = c;
  first->data = 1;
  second->data = 2;
  vrect r{0, 0, 50, 20};
  vdialogSetItemRect(first, &r);
  auto* rec = vcontrolClassOf(first);
  start = SimulatedClock::now;
  at(0, [] { pointer(first, vcontrolClassOf(first)->buttonDown, veventCreateButtonDown(nullptr, 5, 5, 0, 1, 1, 1)); });
  // Outside the item before the grace ends: ignored, so the part stays pressed.
  at(100, [] { pointer(first, vcontrolClassOf(first)->motion, veventCreateMotion(nullptr, 90, 5, 0, 1, 0)); });
  // A second control acts at its press but cannot repeat meanwhile.
  at(120, [] { pointer(second, vcontrolClassOf(second)->buttonDown, veventCreateButtonDown(nullptr, 5, 5, 0, 1, 1, 1)); });
  at(330, [] { pointer(first, vcontrolClassOf(first)->buttonUp, veventCreateButtonUp(nullptr, 5, 5, 0, 0, 1, 1)); });
  at(600, [] { veventStopProcessing(); });
  veventProcess();
  std::vector<std::pair<int, win::ULONGLONG>> want = {{1, 0}, {2, 120}, {1, 200}, {1, 250}, {1, 300}};
  for (auto& a : actions) a.second -= start;
  EXPECT_EQ(actions, want);
  EXPECT_EQ(_vcontrolGetPendingRepeat(), nullptr);
  EXPECT_FALSE(first->controlFlags & vcontrolPRESSED);

  // Motion off the part after the grace releases it and the repeats stop;
  // a destroyed control's queued repeat does nothing.
  actions.clear();
  start = SimulatedClock::now;
  at(0, [] { pointer(first, vcontrolClassOf(first)->buttonDown, veventCreateButtonDown(nullptr, 5, 5, 0, 1, 1, 1)); });
  at(160, [] { pointer(first, vcontrolClassOf(first)->motion, veventCreateMotion(nullptr, 90, 5, 0, 1, 0)); });
  at(300, [] { pointer(second, vcontrolClassOf(second)->buttonUp, veventCreateButtonUp(nullptr, 5, 5, 0, 0, 1, 1)); });
  at(310, [] { pointer(second, vcontrolClassOf(second)->buttonDown, veventCreateButtonDown(nullptr, 5, 5, 0, 1, 1, 1)); });
  at(400, [] { vinstanceDestroy(second); });
  at(800, [] { veventStopProcessing(); });
  veventProcess();
  for (auto& a : actions) a.second -= start;
  want = {{1, 0}, {2, 310}};
  EXPECT_EQ(actions, want);
  EXPECT_FALSE(first->controlFlags & vcontrolPRESSED);
  EXPECT_EQ(_vcontrolGetPendingRepeat(), nullptr);
  (void)rec;
}

// A part whose every action asks for a notification.
const vcontrolPart kNotifying = {vcontrolPartREPEAT, nullptr, nullptr, nullptr,
                                 [](vcontrol* c, vevent*) {
                                   actions.emplace_back(int(c->data), SimulatedClock::now);
                                   return 1;
                                 },
                                 nullptr};
int notificationsLeft = 0;

// A notification that destroys its control, at the press or at a later
// repeat, leaves no repeat behind to run on the freed control; one that
// releases the control's press stops the repeats as well.
TEST_F(Controls, ANotificationThatDestroysOrReleasesItsControlStopsTheRepeat) {
  for (int destroyAt : {1, 2, 4}) {
    SimulatedClock clock;
    actions.clear();
    first = vcontrolCreate(recordingClass());
    first->data = 1;
    vrect r{0, 0, 50, 20};
    vdialogSetItemRect(first, &r);
    notificationsLeft = destroyAt;
    vdialogSetItemNotify(first, [](vdialogItem* item, vevent*) {
      if (--notificationsLeft == 0) vinstanceDestroy(item);
    });
    first->activePart = &kNotifying;
    start = SimulatedClock::now;
    at(0, [] {
      vevent* e = stamped(veventCreateButtonDown(nullptr, 5, 5, 0, 1, 1, 1));
      vcontrolClassOf(first)->pressPart(first);
      vcontrolClassOf(first)->motion(first, e);
      veventDestroy(e);
    });
    at(600, [] { veventStopProcessing(); });
    veventProcess();
    EXPECT_EQ(int(actions.size()), destroyAt) << destroyAt;
    EXPECT_EQ(_vcontrolGetPendingRepeat(), nullptr) << destroyAt;
  }

  // Released from its notification: no repeat is queued.
  actions.clear();
  first = c;
  first->data = 1;
  vdialogSetItemNotify(first, [](vdialogItem* item, vevent*) {
    vcontrolClassOf(static_cast<vcontrol*>(item))->releasePart(static_cast<vcontrol*>(item));
  });
  first->activePart = &kNotifying;
  SimulatedClock clock;
  vcontrolClassOf(first)->pressPart(first);
  at(0, [] { pointer(first, vcontrolClassOf(first)->motion, veventCreateMotion(nullptr, 5, 5, 0, 1, 0)); });
  at(500, [] { veventStopProcessing(); });
  veventProcess();
  EXPECT_EQ(int(actions.size()), 1);
  EXPECT_EQ(_vcontrolGetPendingRepeat(), nullptr);
}

}  // namespace
