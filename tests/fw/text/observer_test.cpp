// Observers: the ten hooks in their order, muting, suppression, the client
// as receiver, and the slots of a text's observer array.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/text/observer.h"
#include "fw/text/text_internal.h"
#include "tests/fw/gui/raises.h"
#include "tests/fw/text/text_support.h"

namespace {

std::vector<std::string> heard;
int destroyed = 0;

std::string who(vinstance* target) { return vobjectGetDefaultClass() == target->cls ? "client" : "observer"; }
std::string num(std::int64_t v) { return std::to_string(v); }

vtextObserverClassRec* recordingClass() {
  static vtextObserverClassRec* c = nullptr;
  if (c) return c;
  c = vclassSpawnOf<vtextObserverClassRec>(vtextObserverGetDefaultClass());
  c->inserted = [](vinstance* t, std::int32_t p, std::int32_t n) { heard.push_back(who(t) + " inserted " + num(p) + " " + num(n)); };
  c->deleted = [](vinstance* t, std::int32_t p, std::int32_t n) { heard.push_back(who(t) + " deleted " + num(p) + " " + num(n)); };
  c->inserting = [](vinstance* t, std::int32_t p, std::int32_t n) { heard.push_back(who(t) + " inserting " + num(p) + " " + num(n)); };
  c->deleting = [](vinstance* t, std::int32_t p, std::int32_t n) { heard.push_back(who(t) + " deleting " + num(p) + " " + num(n)); };
  c->rulerChanged = [](vinstance* t, vtextRuler* r, std::int32_t a, std::int32_t b) {
    heard.push_back(who(t) + " ruler " + num(r != nullptr) + " " + num(a) + " " + num(b));
  };
  c->styleChanged = [](vinstance* t, vtextStyle* s, std::int32_t a, std::int32_t b) {
    heard.push_back(who(t) + " style " + num(s != nullptr) + " " + num(a) + " " + num(b));
  };
  c->selectionMode = [](vinstance* t, vtextSelection* s, int phase) {
    heard.push_back(who(t) + " mode " + num(s->mode) + " " + num(phase));
  };
  c->recalculated = [](vinstance* t, vtext*) { heard.push_back(who(t) + " recalculated"); };
  c->selectionChanged = [](vinstance* t, vtextSelection* s, int phase) {
    heard.push_back(who(t) + " selection " + num(s->start) + " " + num(phase));
  };
  c->destroyed = [](vinstance* t, vtext*) { heard.push_back(who(t) + " destroyed"); };
  c->destroy = [](vinstance* self) {
    ++destroyed;
    vtextObserverGetDefaultClass()->destroy(self);
  };
  return c;
}

vtextObserver* makeObserver() { return static_cast<vtextObserver*>(vinstanceCreate(recordingClass())); }

void sendAll(vtext* text, vtextSelection* selection) {
  vtextClassRec* c = vtextClassOf(text);
  c->notifyInserted(text, 1, 2);
  c->notifyDeleted(text, 5, -3);
  c->notifyWillInsert(text, 7, 4);
  c->notifyWillDelete(text, 9, -1);
  c->notifyRulerChanged(text, vtextGetDefaultRuler(), 2, 3);
  c->notifyStyleChanged(text, nullptr, -1, -1);
  c->notifySelectionMode(text, selection, 1);
  c->notifyRecalculated(text);
  c->notifySelection(text, selection, 0);
  c->notifyDestroy(text);
}

TEST(Observers, TheTenHooksInOrderWithTheirArguments) {
  vtext* text = vtextCreate();
  vtextObserver* o = makeObserver();
  vtextInstallObserver(text, o);
  EXPECT_EQ(o->text, text);
  vtextSelection selection{4, 6, 2, text, 0, 1, 0, 0};
  heard.clear();
  sendAll(text, &selection);
  EXPECT_EQ(heard, (std::vector<std::string>{"observer inserted 1 2", "observer deleted 5 -3", "observer inserting 7 4",
                                             "observer deleting 9 -1", "observer ruler 1 2 3", "observer style 0 -1 -1",
                                             "observer mode 1 1", "observer recalculated", "observer selection 4 0",
                                             "observer destroyed"}));

  // Muted, then suppressed, then the client as receiver.
  heard.clear();
  o->flags |= vtextObserverMUTED;
  sendAll(text, &selection);
  EXPECT_TRUE(heard.empty());
  o->flags &= ~vtextObserverMUTED;
  vtextSetObserverClass(text, recordingClass());
  _vtextModule()->suppress = 1;
  sendAll(text, &selection);
  EXPECT_TRUE(heard.empty()) << "not even the primary observer";
  _vtextModule()->suppress = 0;
  vobject client{};
  client.cls = vobjectGetDefaultClass();
  o->client = &client;
  o->passClient = 1;
  vtextClassOf(text)->notifyInserted(text, 3, 1);
  EXPECT_EQ(heard, (std::vector<std::string>{"observer inserted 3 1", "client inserted 3 1"}))
      << "entry 0, the primary observer, first";
  vtextRemoveObserver(text, o);
  vinstanceDestroy(o);
  heard.clear();
  destroyed = 0;
  vtextDestroy(text);
  EXPECT_EQ(heard, (std::vector<std::string>{"observer destroyed"}));
  EXPECT_EQ(destroyed, 1) << "the owned primary observer dies with the text";
}

TEST(Observers, SlotsFillDownwardGrowByOneAndAreReused) {
  vtext* text = vtextCreate();
  vtextObserver* o[4] = {makeObserver(), makeObserver(), makeObserver(), makeObserver()};
  auto slot = [&](vtextObserver* x) {
    for (int i = 0; i < text->observerCount; ++i)
      if (text->observers[i] == x) return i;
    return -1;
  };
  vtextInstallObserver(text, o[0]);
  EXPECT_EQ(text->observerCount, 2);
  vtextInstallObserver(text, o[1]);
  vtextInstallObserver(text, o[2]);
  EXPECT_EQ(text->observerCount, 4);
  EXPECT_EQ((std::vector<int>{slot(o[0]), slot(o[1]), slot(o[2])}), (std::vector<int>{1, 2, 3}));
  vtextUninstallObserver(text, o[1]);
  EXPECT_EQ(o[1]->text, nullptr);
  vtextInstallObserver(text, o[3]);
  EXPECT_EQ(slot(o[3]), 2);
  EXPECT_EQ(text->observerCount, 4) << "the array never shrinks";
  vtextRemoveObserver(text, o[0]);
  vtextInstallObserver(text, o[1]);
  EXPECT_EQ(slot(o[1]), 1);
  vtextRemoveObserver(text, o[1]);
  std::string message;
  EXPECT_EQ(raised([&] { vtextRemoveObserver(text, o[1]); }, &message), &vexTextObserverAlreadyRemovedClass);
  EXPECT_EQ(message, "Observer Already Removed");
  EXPECT_EQ(raised([&] { vtextUninstallObserver(text, o[0]); }), &vexTextObserverAlreadyRemovedClass);
  EXPECT_EQ(slot(o[2]), 3) << "a failed removal changes nothing";

  // An owned observer dies when it is taken off; the text leaves others alone.
  destroyed = 0;
  o[3]->flags |= vtextObserverOWNED;
  vtextRemoveObserver(text, o[3]);
  EXPECT_EQ(destroyed, 1);
  vtextDestroy(text);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(o[2]->text, nullptr);
  for (int i = 0; i < 3; ++i) vinstanceDestroy(o[i]);
}

TEST(Observers, ThePrimaryObserverIsReplacedAndDestroyed) {
  vtext* text = vtextCreate();
  EXPECT_EQ(vtextGetObserverClass(text), nullptr);
  destroyed = 0;
  vtextSetObserverClass(text, recordingClass());
  ASSERT_EQ(text->observerCount, 2);
  vtextObserver* primary = text->observers[0];
  EXPECT_EQ(primary->client, text);
  EXPECT_EQ(primary->text, text);
  EXPECT_EQ(primary->flags, vtextObserverOWNED);
  EXPECT_EQ(vtextGetObserverClass(text), recordingClass());
  vtextSetObserverClass(text, recordingClass());
  EXPECT_EQ(destroyed, 1);
  vtextSetObserverClass(text, vtextObserverGetDefaultClass());
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(vtextGetObserverClass(text), vtextObserverGetDefaultClass());
  vtextSetObserverClass(text, nullptr);
  EXPECT_EQ(text->observers[0], nullptr);
  EXPECT_EQ(vtextGetObserverClass(text), nullptr);
  vtextDestroy(text);
  // Copying an observer copies its client only.
  vtextObserver* a = makeObserver();
  a->client = text;
  a->flags = 3;
  auto* b = static_cast<vtextObserver*>(vobjectClone(a));
  EXPECT_EQ(b->client, text);
  EXPECT_EQ(b->flags, 0u);
  vinstanceDestroy(a);
  vinstanceDestroy(b);
}

}  // namespace
