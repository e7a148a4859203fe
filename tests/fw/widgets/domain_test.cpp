// Domains: objects, selection through connected groups, bounds, geometry,
// find, the resource round trip, observers and undo.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/data/vrstore.h"
#include "fw/widgets/domains/domain.h"
#include "widgets_support.h"

namespace {

std::vector<std::string> trace;

std::string ids(vdomain* d, vdomainSet* s) {
  std::string out;
  for (std::int32_t i = 0; i < s->count; ++i)
    out += (i ? "," : "") + std::to_string(vdomainObjectPosition(d, s->objects[i]));
  return out;
}

// Logs every call it gets, naming the receiver when it is not an observer.
struct Recorder : vdomainObserver {
  const char* name;
};
vdomainObserverClassRec* recorderClass() {
  static vdomainObserverClassRec* c = [] {
    auto* r = vclassSpawnOf<vdomainObserverClassRec>(vdomainObserverGetDefaultClass());
    vclassSetName(r, vscribeLiteral("testDomainRecorder"));
    r->instanceSize = sizeof(Recorder);
    auto who = [](void* to) { return std::string(static_cast<Recorder*>(to)->name) + " "; };
    r->objectAdded = [](void* to, vdomainObject*) { trace.push_back(std::string(static_cast<Recorder*>(to)->name) + " added"); };
    r->selectionChanged = [](void* to, vdomainSet* s, int slot, int on) {
      vdomain* d = s->count ? s->objects[0]->domain : nullptr;
      trace.push_back(std::string(static_cast<Recorder*>(to)->name) + " select " + std::to_string(slot) + " " +
                      std::to_string(on) + " " + (d ? ids(d, s) : ""));
    };
    r->objectsMoving = [](void* to, vdomainSet* s, vpoint p, int mode, int before) {
      trace.push_back(std::string(static_cast<Recorder*>(to)->name) + " moving " + std::to_string(s->count) + " " +
                      std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(mode) + " " +
                      std::to_string(before));
    };
    r->boundsChanged = [](void* to, const vrect* old) {
      trace.push_back(std::string(static_cast<Recorder*>(to)->name) + " bounds " + std::to_string(old->width));
    };
    (void)who;
    return r;
  }();
  return c;
}
Recorder* recorder(const char* name) {
  auto* r = static_cast<Recorder*>(vinstanceCreate(recorderClass()));
  r->name = name;
  return r;
}

struct Fixture {
  vdomain* d = vdomainCreate();
  std::vector<vdomainObject*> o;
  explicit Fixture(int n, bool shown = true) {
    for (int i = 0; i < n; ++i) {
      vdomainObject* p = vdomainNewObject(d);
      p->rect = {i * 10, 0, 5, 5};
      o.push_back(p);
    }
    if (shown) {
      vdomainSet* all = vdomainFilterSet(d, 0, vdomainFILTER_ALL, nullptr, nullptr);
      vdomainClassOf(d)->showObjects(d, all);
      vdomainDestroySet(all);
    }
  }
  ~Fixture() { vdomainDestroy(d); }
  vdomainSet* set(std::initializer_list<int> which) {
    vdomainSet* s = vdomainCreateSet();
    for (int i : which) vdomainSetAppend(&s, o[i]);
    return s;
  }
};

TEST(Domain, NewObjectsAreHiddenAndOutsideTheExtentUntilShown) {
  Fixture f(3, false);
  EXPECT_EQ(f.d->count, 3);
  EXPECT_EQ(vdomainFirstObject(f.d), f.o[2]);  // newest on top
  EXPECT_TRUE(f.o[0]->flags & vdomainHIDDEN);
  vrect e;
  vdomainGetExtent(f.d, &e);
  EXPECT_EQ(e.width, 0);
  vdomainSet* s = f.set({0, 2});
  vdomainClassOf(f.d)->showObjects(f.d, s);
  vdomainDestroySet(s);
  vdomainGetExtent(f.d, &e);
  EXPECT_EQ(e.x, 0);
  EXPECT_EQ(e.width, 25);
  vrectLong l;
  EXPECT_FALSE(vexTry([&] { vdomainGetBoundsLong(f.d, &l); }));
}

TEST(Domain, GroupsSelectTogetherAndRemovalLowersSlotCountsExactly) {
  Fixture f(4);
  int a = vdomainAllocSelection(f.d), b = vdomainAllocSelection(f.d);
  vdomainClassOf(f.d)->connectObjects(f.d, f.o[0], f.o[1]);
  vdomainClassOf(f.d)->connectObjects(f.d, f.o[1], f.o[2]);
  Recorder* r = recorder("r");
  vdomainInstallObserver(f.d, r);
  trace.clear();
  vdomainSet* s = f.set({1});
  vdomainClassOf(f.d)->selectObjects(f.d, a, s);
  vdomainDestroySet(s);
  // Positions count from the top: objects 0, 1, 2 sit at 3, 2, 1.
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(trace[0], "r select 0 1 2,1,3");
  EXPECT_EQ(vdomainSelectedCount(f.d, a), 3);
  vdomainClassOf(f.d)->selectAll(f.d, b, 1);
  EXPECT_EQ(vdomainSelectedCount(f.d, b), 4);
  s = f.set({0, 3});
  vdomainRemoveObjects(f.d, s);
  vdomainDestroySet(s);
  EXPECT_EQ(vdomainSelectedCount(f.d, a), 2);
  EXPECT_EQ(vdomainSelectedCount(f.d, b), 2);
  EXPECT_EQ(f.d->count, 2);
  // The ring closed over the removed member.
  EXPECT_EQ(f.o[1]->connection, f.o[2]);
  EXPECT_EQ(f.o[2]->connection, f.o[1]);
  // Toggling one member of the selected group deselects the group; the
  // other member toggles it back.
  for (int i : {1, 2}) {
    s = f.set({i});
    vdomainToggleSelection(f.d, b, s);
    vdomainDestroySet(s);
    EXPECT_EQ(vdomainSelectedCount(f.d, b), i == 1 ? 0 : 2);
    EXPECT_EQ(vdomainIsSelected(f.o[1], b), vdomainIsSelected(f.o[2], b));
  }
  for (int i = 2; i < 32; ++i) vdomainAllocSelection(f.d);
  EXPECT_FALSE(vexTry([&] { vdomainAllocSelection(f.d); }));
  vdomainReleaseSelection(f.d, 5);
  EXPECT_EQ(vdomainAllocSelection(f.d), 5);
}

TEST(Domain, VirtualBoundsFollowTheExtentAndRefuseSetBounds) {
  Fixture f(2);
  Recorder* r = recorder("r");
  vdomainInstallObserver(f.d, r);
  vdomainSetVirtualBuffer(f.d, 3, 2);
  trace.clear();
  vdomainSetAttributes(f.d, vdomainVIRTUAL_BOUNDS, 1);
  vrect b;
  vdomainGetBounds(f.d, &b);
  EXPECT_EQ(b.x, -3);
  EXPECT_EQ(b.y, -2);
  EXPECT_EQ(b.width, 21);
  EXPECT_EQ(b.height, 9);
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(trace[0], "r bounds 100");
  vrectLong view{0, 0, 50, 50};
  vdomainSetVirtualView(f.d, &view);
  vdomainGetBounds(f.d, &b);
  EXPECT_EQ(b.x, -3);
  EXPECT_EQ(b.width, 53);
  vrect fixed{0, 0, 10, 10};
  EXPECT_FALSE(vexTry([&] { vdomainSetBounds(f.d, &fixed); }));
  vdomainGetBounds(f.d, &b);
  EXPECT_EQ(b.width, 53);
}

TEST(Domain, GridRounding) {
  struct Case {
    std::int32_t value, step, result;
  } cases[] = {{7, 5, 10}, {11, 5, 10}, {12, 5, 15}, {5, 10, 10}, {4, 10, 0}, {-7, 5, -5}, {-12, 5, -10}, {9, 1, 9}, {9, 0, 9}};
  for (const Case& c : cases) EXPECT_EQ(c.value + vdomainGridRound(c.value, c.step), c.result) << c.value << "/" << c.step;
}

TEST(Domain, MoveScaleAndResizeSets) {
  Fixture f(3);
  f.d->flags |= vdomainVIRTUAL_BOUNDS;
  Recorder* r = recorder("r");
  vdomainInstallObserver(f.d, r);
  trace.clear();
  vdomainSet* s = f.set({0, 1, 2});
  vdomainMoveObjects(f.d, s, 5, -2, vdomainMOVE_OFFSET);
  EXPECT_EQ(f.o[2]->rect.x, 25);
  EXPECT_EQ(f.o[2]->rect.y, -2);
  ASSERT_EQ(trace.size(), 3u);  // bounds follow at once
  EXPECT_EQ(trace[0], "r moving 3 5 -2 5 1");
  EXPECT_EQ(trace[1], "r moving 3 5 -2 5 0");
  vrect b;
  vdomainGetBounds(f.d, &b);
  EXPECT_EQ(b.y, -2);
  vdomainMoveObjects(f.d, s, 40, 40, 2);
  for (vdomainObject* o : f.o) EXPECT_EQ(o->rect.x + o->rect.y, 80);
  vdomainResizeObjects(f.d, s, 3, 9);
  vdomainScaleObjects(f.d, s, 0.5, 1.5);
  EXPECT_EQ(f.o[1]->rect.width, 1);
  EXPECT_EQ(f.o[1]->rect.height, 13);
  trace.clear();
  vdomainSet* none = vdomainCreateSet();
  vdomainMoveObjects(f.d, none, 1, 1, 5);
  vdomainScaleObjects(f.d, none, 2, 2);
  EXPECT_TRUE(trace.empty());
  vdomainDestroySet(none);
  vdomainDestroySet(s);
  // Short domains cut results to 16 bits.
  s = f.set({0});
  vdomainMoveObjects(f.d, s, 32767, 0, 5);
  EXPECT_EQ(f.o[0]->rect.x, 40 + 32767 - 65536);
  vdomainDestroySet(s);
}

TEST(Domain, AlignDistributeAndFind) {
  Fixture f(4);
  f.o[0]->rect = {0, 0, 10, 10};
  f.o[1]->rect = {13, 7, 4, 4};
  f.o[2]->rect = {30, 2, 6, 6};
  f.o[3]->rect = {100, 3, 2, 2};
  vdomainMarkDirty(f.d);
  vdomainSet* s = f.set({0, 1, 2});
  vdomainClassOf(f.d)->alignObjects(f.d, s, 0, 3, 4);  // right edges, bottoms
  EXPECT_EQ(f.o[0]->rect.x, 26);
  EXPECT_EQ(f.o[1]->rect.x, 32);
  EXPECT_EQ(f.o[1]->rect.y, 0);
  f.d->grid[0] = 5;
  f.d->grid[1] = 0;  // this axis stays
  vdomainClassOf(f.d)->alignObjects(f.d, s, 2, 1, 2);
  EXPECT_EQ(f.o[0]->rect.x, 25);
  EXPECT_EQ(f.o[1]->rect.x, 35);  // 32: a remainder of half the step goes up
  EXPECT_EQ(f.o[1]->rect.y, 0);
  f.o[0]->rect.x = 0, f.o[1]->rect.x = 1, f.o[2]->rect.x = 10;
  vdomainClassOf(f.d)->distributeObjects(f.d, s, 1, 0);
  // Step 10 / 2 = 5: keys 0, 5, 10.
  EXPECT_EQ(f.o[1]->rect.x, 5);
  EXPECT_EQ(f.o[2]->rect.x, 10);
  f.o[2]->rect.x = 11;
  vdomainClassOf(f.d)->distributeObjects(f.d, s, 1, 0);
  EXPECT_EQ(f.o[1]->rect.x, 5);  // 5.5 truncated
  vdomainDestroySet(s);

  struct Case {
    vrectLong area;
    int first, contained;
    const char* found;
  } cases[] = {{{0, 0, 200, 20}, 0, 0, "0,1,2,3"},
               {{0, 0, 9, 20}, 0, 0, "2,3"},
               {{0, 0, 9, 20}, 0, 1, "2"},
               {{0, 0, 200, 20}, 1, 0, "0"},
               {{0, 0, 0, 20}, 0, 0, ""}};
  for (const Case& c : cases) {
    vdomainSet* got = vdomainFindObjects(f.d, &c.area, 0, c.first, c.contained, vdomainFILTER_SELECTED | vdomainFILTER_UNSELECTED, nullptr, nullptr);
    EXPECT_EQ(ids(f.d, got), c.found) << c.area.width << " " << c.first << c.contained;
    vdomainDestroySet(got);
  }
}

TEST(Domain, PoolsAndSetCache) {
  std::size_t before = vdomainPoolCount();
  vdomain* d = vdomainCreate();
  std::vector<vdomainObject*> made;
  for (int i = 0; i < 200; ++i) made.push_back(vdomainNewObject(d));
  EXPECT_GE(vdomainPoolCount(), before + 3);
  vdomainSet* odd = vdomainCreateSet();
  for (int i = 1; i < 200; i += 2) vdomainSetAppend(&odd, made[i]);
  EXPECT_EQ(odd->capacity, 112);
  vdomainRemoveObjects(d, odd);
  EXPECT_EQ(d->count, 100);
  // Freed records come back before any new pool.
  std::size_t pools = vdomainPoolCount();
  for (int i = 0; i < 100; ++i) vdomainNewObject(d);
  EXPECT_EQ(vdomainPoolCount(), pools);
  std::uint32_t mask = vdomainSetCacheMask();
  vdomainDestroySet(odd);
  EXPECT_EQ(vdomainSetCacheMask(), mask & ~(1u << 0)) << mask;
  vdomainSet* again = vdomainCreateSet();
  EXPECT_EQ(again->capacity, 16);  // the grown block shrank back
  vdomainDestroySet(again);
  vdomainDestroy(d);
}

TEST(Domain, StoreAndLoadKeepOrderGroupsAndFields) {
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  Fixture f(4);
  f.d->grid[0] = 8;
  f.o[1]->type = 7;
  f.o[2]->flags |= vdomainNOT_SELECTABLE;
  vdomainClassOf(f.d)->connectObjects(f.d, f.o[3], f.o[0]);
  vresource r = vrstoreCreate(root, vnameInternLiteral("Dom"), vresDICTIONARY);
  vdomainClassOf(f.d)->store(f.d, r);
  auto* back = static_cast<vdomain*>(vobjectLoad(r));
  ASSERT_EQ(back->count, 4);
  vdomainObject* p = back->first;
  for (vdomainObject* q = f.d->first; q; q = q->next, p = p->next) {
    EXPECT_EQ(p->rect.x, q->rect.x);
    EXPECT_EQ(p->type, q->type);
    EXPECT_EQ(p->flags & ~vdomainHOUSEKEEPING, q->flags & ~vdomainHOUSEKEEPING);
    EXPECT_EQ(p->connection ? vdomainObjectPosition(back, p->connection) : -1,
              q->connection ? vdomainObjectPosition(f.d, q->connection) : -1);
  }
  EXPECT_EQ(back->grid[0], 8);
  vdomainDestroy(back);
  vrstoreCloseFile(root);
}

TEST(Domain, ConnectingSpreadsSelectionExceptIntoSlotZeroAndSplicesRings) {
  struct Case {
    int slot;
    bool firstSelected, secondSelected, secondSelectable;
    bool wantFirst, wantSecond;
  } cases[] = {{1, true, false, true, true, true},  {1, false, true, true, true, true},
               {0, false, true, true, false, true}, {0, true, false, true, true, true},
               {1, true, false, false, true, false}};
  for (const Case& c : cases) {
    Fixture f(2);
    vdomainAllocSelection(f.d);
    vdomainAllocSelection(f.d);
    if (!c.secondSelectable) f.o[1]->flags |= vdomainNOT_SELECTABLE;
    for (int i = 0; i < 2; ++i)
      if (i == 0 ? c.firstSelected : c.secondSelected) {
        vdomainSet* s = f.set({i});
        vdomainClassOf(f.d)->selectObjects(f.d, c.slot, s);
        vdomainDestroySet(s);
      }
    vdomainClassOf(f.d)->connectObjects(f.d, f.o[0], f.o[1]);
    EXPECT_EQ(vdomainIsSelected(f.o[0], c.slot) != 0, c.wantFirst) << c.slot << c.firstSelected << c.secondSelected;
    EXPECT_EQ(vdomainIsSelected(f.o[1], c.slot) != 0, c.wantSecond) << c.slot << c.firstSelected << c.secondSelected;
    EXPECT_EQ(vdomainSelectedCount(f.d, c.slot), int(c.wantFirst) + int(c.wantSecond));
  }
  Fixture f(4);
  vdomainClassOf(f.d)->connectObjects(f.d, f.o[0], f.o[1]);
  vdomainClassOf(f.d)->connectObjects(f.d, f.o[2], f.o[3]);
  vdomainClassOf(f.d)->connectObjects(f.d, f.o[1], f.o[3]);
  vdomainSet* ring = vdomainClassOf(f.d)->connectedSet(f.d, f.o[0]);
  EXPECT_EQ(ring->count, 4);
  vdomainClassOf(f.d)->sortSet(f.d, ring);
  EXPECT_EQ(ids(f.d, ring), "0,1,2,3");
  vdomainDestroySet(ring);
}

TEST(Domain, RestackHideAndFilter) {
  struct Restack {
    int object, how;
    const char* order;  // objects from the top
  } restacks[] = {{3, 1, "2,1,0,3"}, {0, 2, "0,3,2,1"}, {3, 3, "2,3,1,0"}, {0, 4, "3,2,0,1"}, {1, 9, "3,2,1,0"}};
  for (const Restack& r : restacks) {
    Fixture f(4);
    vdomainSet* s = f.set({r.object});
    vdomainClassOf(f.d)->restackObjects(f.d, s, r.how);
    vdomainDestroySet(s);
    std::string order;
    for (vdomainObject* o = f.d->first; o; o = o->next) {
      for (int i = 0; i < 4; ++i)
        if (f.o[i] == o) order += (order.empty() ? "" : ",") + std::to_string(i);
      if (o->next) {
        EXPECT_EQ(o->next->prev, o);
      }
    }
    EXPECT_EQ(order, r.order) << r.object << " how " << r.how;
  }

  Fixture f(4);
  Recorder* rec = recorder("r");
  vdomainInstallObserver(f.d, rec);
  auto* hideLog = vclassSpawnOf<vdomainObserverClassRec>(recorderClass());
  hideLog->showStateChanged = [](void*, vdomainSet* s, int hidden) {
    trace.push_back("shown " + std::to_string(s->count) + " " + std::to_string(hidden));
  };
  auto* h = static_cast<Recorder*>(vinstanceCreate(hideLog));
  h->name = "h";
  vdomainInstallObserver(f.d, h);
  vdomainSet* s = f.set({0, 1});
  vdomainClassOf(f.d)->hideObjects(f.d, s);
  trace.clear();
  vdomainDestroySet(s);
  s = f.set({0, 2});
  vdomainClassOf(f.d)->hideObjects(f.d, s);  // only 2 changes
  EXPECT_EQ(trace, std::vector<std::string>{"shown 1 1"});
  vdomainDestroySet(s);
  int slot = vdomainAllocSelection(f.d);
  f.o[3]->flags |= vdomainNOT_SELECTABLE;
  s = f.set({1, 3});
  vdomainClassOf(f.d)->selectObjects(f.d, slot, s);  // 3 refuses
  vdomainDestroySet(s);
  // From the top: 3 shown and not selectable; 2 hidden; 1 hidden and
  // selected; 0 hidden.
  struct Filter {
    int flags;
    const char* found;
  } filters[] = {{54, "0,1,2,3"},
                 {2 | 4, "0"},
                 {16, "1,2,3"},
                 {16 | 2, "1,2,3"},
                 {32, "0"},
                 {128 | 16 | 2, "2"},
                 {128 | 16 | 4, "0,1,3"},
                 {128 | 32, "0"},
                 {128 | 2, ""}};
  for (const Filter& c : filters) {
    vdomainSet* got = vdomainFilterSet(f.d, slot, c.flags, nullptr, nullptr);
    EXPECT_EQ(ids(f.d, got), c.found) << c.flags;
    vdomainDestroySet(got);
  }
  vdomainUninstallObserver(f.d, rec);
  vdomainUninstallObserver(f.d, h);
  vinstanceDestroy(rec);
  vinstanceDestroy(h);
}

TEST(Domain, ClonesKeepOrderRingsAndPoolRecords) {
  std::size_t pools = vdomainPoolCount();
  {
    Fixture f(130);
    vdomainClassOf(f.d)->connectObjects(f.d, f.o[5], f.o[77]);
    auto* copy = static_cast<vdomain*>(vobjectClone(f.d));
    ASSERT_EQ(copy->count, 130);
    vdomainObject* q = copy->first;
    for (vdomainObject* p = f.d->first; p; p = p->next, q = q->next) {
      EXPECT_NE(p, q);
      EXPECT_EQ(p->rect.x, q->rect.x);
      EXPECT_EQ(q->domain, copy);
      if (p->connection) {
        EXPECT_EQ(vdomainObjectPosition(copy, q->connection), vdomainObjectPosition(f.d, p->connection));
      }
    }
    vdomainDestroy(copy);
  }
  // Every record went back to its own pool: the same number serves again.
  std::size_t after = vdomainPoolCount();
  EXPECT_GE(after, pools);
  vdomain* d = vdomainCreate();
  for (int i = 0; i < 260; ++i) vdomainNewObject(d);
  EXPECT_EQ(vdomainPoolCount(), after);
  vdomainDestroy(d);
}

TEST(Domain, LongDomainsKeep32BitsAndShortOnesCut) {
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  vdomain* l = vdomainCreateLong();
  vdomainObject* o = vdomainNewObject(l);
  vrectLong wide{70000, -70000, 100000, 5};
  vdomainSet* s = vdomainCreateSetOf(&o, 1);
  vdomainClassOf(l)->setRectsLong(l, s, &wide);
  vrect small{0, 0, 1, 1};
  const vexClass* raised = nullptr;
  vexGuard([&] { vdomainClassOf(l)->setRects(l, s, &small); },
           [&](vexHandler& h) {
             raised = vexGetCurrentException()->cls;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(raised, &vexDomainWrongTypeClass);
  EXPECT_TRUE(vexClassDerives(&vexDomainWrongTypeClass, &vexArgClass));
  vdomainDestroySet(s);
  vresource r = vrstoreCreate(root, vnameInternLiteral("Long"), vresDICTIONARY);
  vdomainClassOf(l)->store(l, r);
  auto* back = static_cast<vdomain*>(vobjectLoad(r));
  EXPECT_TRUE(vdomainIsLong(back));
  EXPECT_EQ(back->first->rect.x, 70000);
  EXPECT_EQ(back->first->rect.width, 100000);
  vdomainDestroy(back);
  // The same resource read as short: "Long Domain" off narrows every value.
  vrstoreSetBoolean(r, vnameInternLiteral("Long Domain"), 0);
  vrstoreRemove(r, vnameInternLiteral("Bounds"));
  back = static_cast<vdomain*>(vobjectLoad(r));
  EXPECT_FALSE(vdomainIsLong(back));
  EXPECT_EQ(back->first->rect.x, static_cast<std::int16_t>(70000));
  vrect b;
  vdomainGetBounds(back, &b);
  EXPECT_EQ(b.width, 100);  // no "Bounds": the default
  vdomainDestroy(back);
  vdomainDestroy(l);
  vrstoreCloseFile(root);
}

TEST(DomainObservers, InstallUninstallMuteForwardAndInstallWhileNotified) {
  Fixture f(0);
  Recorder* a = recorder("a");
  Recorder* owner = recorder("owner");
  Recorder* fwd = recorder("fwd");
  fwd->owner = owner;
  fwd->forward = 1;
  vdomainInstallObserver(f.d, a);
  vdomainInstallObserver(f.d, a);
  vdomainInstallObserver(f.d, fwd);
  trace.clear();
  vdomainNewObject(f.d);
  EXPECT_EQ(trace, (std::vector<std::string>{"a added", "a added", "owner added"}));
  a->flags |= vdomainObserverMUTED;
  trace.clear();
  vdomainNewObject(f.d);
  EXPECT_EQ(trace, std::vector<std::string>{"owner added"});
  vdomainUninstallObserver(f.d, fwd);
  Recorder* stranger = recorder("x");
  std::string message;
  vexGuard([&] { vdomainUninstallObserver(f.d, stranger); },
           [&](vexHandler& h) {
             message = vexGetCurrentException()->message;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(message, "vdomainUninstallObserver -- observer not installed");
  EXPECT_EQ(stranger->domain, nullptr);

  // An observer that installs others while told: the walk goes on safely.
  static vdomain* target;
  target = f.d;
  auto* growing = vclassSpawnOf<vdomainObserverClassRec>(vdomainObserverGetDefaultClass());
  growing->objectAdded = [](void*, vdomainObject*) {
    trace.push_back("grow");
    for (int i = 0; i < 8; ++i) {
      auto* extra = static_cast<vdomainObserver*>(vinstanceCreate(vdomainObserverGetDefaultClass()));
      extra->flags = vdomainObserverOWNED;
      vdomainInstallObserver(target, extra);
    }
  };
  vdomainInstallObserver(f.d, static_cast<vdomainObserver*>(vinstanceCreate(growing)));
  a->flags = 0;
  trace.clear();
  vdomainNewObject(f.d);
  EXPECT_EQ(trace, (std::vector<std::string>{"a added", "a added", "grow"}));
  // The iterator yields the filled slots only: a twice, the grower, its eight.
  vdomainObserverIterator it;
  vdomainInitObserverIterator(&it, f.d);
  int seen = 0;
  while (vdomainNextObserverIterator(&it)) ++seen;
  EXPECT_EQ(seen, 11);
  vinstanceDestroy(fwd);
  vinstanceDestroy(owner);
  vinstanceDestroy(stranger);
  vdomainUninstallObserver(f.d, a);
  vdomainUninstallObserver(f.d, a);
  vinstanceDestroy(a);
}

TEST(DomainUndo, MoveUndoRedoAlternateAndRestackComesBack) {
  Fixture f(3);
  vdomainSetPrimaryObserverClass(f.d, vdomainUndoObserverClass());
  vdomainSet* s = f.set({0, 2});
  vdomainMoveObjects(f.d, s, 4, 6, vdomainMOVE_OFFSET);
  vdomainDestroySet(s);
  vundoActionList* moves = vdomainTakePendingActions(f.d);
  ASSERT_NE(moves, nullptr);
  ASSERT_EQ(moves->count, 1);
  EXPECT_EQ(f.o[2]->rect.x, 24);
  for (int round = 0; round < 3; ++round) {
    vundoActionPerform(moves);  // undo
    EXPECT_EQ(f.o[0]->rect.x, 0);
    EXPECT_EQ(f.o[2]->rect.x, 20);
    EXPECT_EQ(f.o[2]->rect.y, 0);
    vundoActionPerform(moves);  // redo
    EXPECT_EQ(f.o[0]->rect.x, 4);
    EXPECT_EQ(f.o[2]->rect.y, 6);
  }
  EXPECT_EQ(f.d->pending, nullptr);
  EXPECT_EQ(vdomainGetPrimaryObserverClass(f.d), static_cast<vclass*>(vdomainUndoObserverClass()));
  vundoActionDestroy(moves);

  s = f.set({1});
  vdomainResizeObjects(f.d, s, 9, 9);
  vdomainDestroySet(s);
  // The last object (the oldest, o[0]) goes to the top and is undone back.
  vdomainClassOf(f.d)->restackObject(f.d, f.o[0], nullptr, 0);
  vundoActionList* list = vdomainTakePendingActions(f.d);
  ASSERT_EQ(list->count, 2);
  EXPECT_EQ(vdomainFirstObject(f.d), f.o[0]);
  vundoActionPerform(list);
  EXPECT_EQ(vdomainLastObject(f.d), f.o[0]);
  EXPECT_EQ(f.o[1]->rect.width, 5);
  vundoActionPerform(list);
  EXPECT_EQ(vdomainFirstObject(f.d), f.o[0]);
  EXPECT_EQ(f.o[1]->rect.width, 9);
  vundoActionDestroy(list);
}

}  // namespace
