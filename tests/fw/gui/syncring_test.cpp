#include "fw/gui/graphics/syncring.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Kinds that record every call as "op:entry" (or "op:entry<source"), and
// whose updates succeed only as told.
std::vector<std::string> calls;
struct Behaviour {
  int from = 0, to = 0;
};
Behaviour behaviour[3];

std::string nameOf(const vsyncRingEntry* e) { return std::string(1, char('A' + int(e->value))); }
int indexOf(const vsyncRingKind* k);

void init(vsyncRingEntry* e) { calls.push_back("init:" + std::to_string(indexOf(e->kind))); }
void release(vsyncRingEntry* e) { calls.push_back("free:" + nameOf(e)); }
int from(vsyncRingEntry* e, vsyncRingEntry* s) {
  calls.push_back("from:" + nameOf(e) + "<" + nameOf(s));
  return behaviour[indexOf(e->kind)].from;
}
int to(vsyncRingEntry* s, vsyncRingEntry* e) {
  calls.push_back("to:" + nameOf(e) + "<" + nameOf(s));
  return behaviour[indexOf(s->kind)].to;
}
const vsyncRingKind kinds[3] = {{init, release, from, to}, {init, release, from, to}, {init, release, from, to}};
int indexOf(const vsyncRingKind* k) { return int(k - kinds); }

// A ring A, B, C of the three kinds, in that order from A.
struct Ring {
  vsyncRingEntry* e[3];
  Ring() {
    calls.clear();
    for (Behaviour& b : behaviour) b = {};
    e[0] = vsyncRingAdd(nullptr, &kinds[0], this);
    for (int i = 1; i < 3; ++i) e[i] = vsyncRingAdd(e[0], &kinds[i], this);
    EXPECT_EQ(calls, (std::vector<std::string>{"init:0", "init:1", "init:2"}));
    for (int i = 0; i < 3; ++i) e[i]->value = i;
    calls.clear();
  }
};

vsyncRingEntry** probe;
void watch(vsyncRingEntry* e) { *probe = e->next; }

TEST(SyncRing, AddLinksBeforeTheGivenEntryAndStartsStale) {
  Ring r;
  EXPECT_EQ(r.e[0]->next, r.e[1]);
  EXPECT_EQ(r.e[1]->next, r.e[2]);
  EXPECT_EQ(r.e[2]->next, r.e[0]);
  for (vsyncRingEntry* e : r.e) {
    EXPECT_EQ(e->flags, 0);
    EXPECT_EQ(e->useCount, 0);
    EXPECT_EQ(e->data, &r);
  }
  EXPECT_EQ(vsyncRingFind(r.e[1], &kinds[0]), r.e[0]);
  EXPECT_EQ(vsyncRingFind(nullptr, &kinds[0]), nullptr);
  static const vsyncRingKind other = {};
  EXPECT_EQ(vsyncRingFind(r.e[0], &other), nullptr);

  // Init runs once the entry is in the ring.
  vsyncRingEntry* seen = nullptr;
  probe = &seen;
  static const vsyncRingKind watching = {watch, nullptr, nullptr, nullptr};
  vsyncRingEntry* d = vsyncRingAdd(r.e[0], &watching, nullptr);
  EXPECT_EQ(seen, r.e[0]);
  EXPECT_EQ(r.e[2]->next, d);
  vsyncRingRemove(d);
  EXPECT_EQ(r.e[2]->next, r.e[0]);
  vsyncRingFree(r.e[0]);
}

TEST(SyncRing, ValidateTriesUpdateFromThenUpdateTo) {
  struct Case {
    Behaviour a, b;  // kinds of A (the source) and B (validated)
    std::vector<std::string> calls;
    bool current;
  } cases[] = {
      {{0, 0}, {1, 0}, {"from:B<A"}, true},
      {{0, 1}, {0, 0}, {"from:B<A", "to:B<A"}, true},
      // Every update failed while a current entry exists: B stays stale.
      {{0, 0}, {0, 0}, {"from:B<A", "to:B<A"}, false},
  };
  for (const Case& c : cases) {
    Ring r;
    behaviour[0] = c.a;
    behaviour[1] = c.b;
    vsyncRingSetCurrent(r.e[0]);
    EXPECT_TRUE(vsyncRingIsCurrent(r.e[0]));
    vsyncRingValidate(r.e[1]);
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(vsyncRingIsCurrent(r.e[1]), c.current);
    EXPECT_FALSE(vsyncRingIsCurrent(r.e[2]));
    calls.clear();
    vsyncRingValidate(r.e[1]);  // a stale entry tries again; a current one does nothing
    EXPECT_EQ(calls.empty(), c.current);
    vsyncRingFree(r.e[0]);
  }
}

TEST(SyncRing, ValidateGoesRoundFromNextAndStopsAtTheFirstSuccess) {
  Ring r;
  r.e[0]->flags = r.e[2]->flags = vsyncRingUP_TO_DATE;
  behaviour[2] = {0, 1};
  vsyncRingValidate(r.e[1]);
  // From B's next: C first (its update-to succeeds), A never asked.
  EXPECT_EQ(calls, (std::vector<std::string>{"from:B<C", "to:B<C"}));
  EXPECT_TRUE(vsyncRingIsCurrent(r.e[1]));

  // With nothing else current, validating marks it without an update.
  vsyncRingSetCurrent(r.e[1]);
  EXPECT_FALSE(vsyncRingIsCurrent(r.e[0]));
  EXPECT_FALSE(vsyncRingIsCurrent(r.e[2]));
  r.e[1]->flags = 0;
  calls.clear();
  vsyncRingValidate(r.e[0]);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(vsyncRingIsCurrent(r.e[0]));
  vsyncRingFree(r.e[0]);

  vsyncRingEntry* alone = vsyncRingAdd(nullptr, &kinds[0], nullptr);
  EXPECT_EQ(alone->next, alone);
  vsyncRingValidate(alone);
  EXPECT_TRUE(vsyncRingIsCurrent(alone));
  vsyncRingFree(alone);
}

TEST(SyncRing, FreeRunsEveryFreeFromTheGivenEntryAndReleaseStopsAtZero) {
  {
    Ring r;
    vsyncRingFree(r.e[1]);
    EXPECT_EQ(calls, (std::vector<std::string>{"free:B", "free:C", "free:A"}));
  }
  Ring s;
  vsyncRingRetain(s.e[0]);
  vsyncRingRelease(s.e[0]);
  vsyncRingRelease(s.e[0]);
  EXPECT_EQ(s.e[0]->useCount, 0);
  vsyncRingRemove(s.e[1]);
  EXPECT_EQ(calls, (std::vector<std::string>{"free:B"}));
  EXPECT_EQ(s.e[0]->next, s.e[2]);
  vsyncRingFree(s.e[0]);
}

}  // namespace
