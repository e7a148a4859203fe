// Spring domains: loading a layout, moving and resizing the container
// with undo and redo, growing to fit, scaling, removal and the round trip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/data/btree.h"
#include "fw/data/vrstore.h"
#include "fw/widgets/domains/springdom.h"

namespace {

struct Loaded {
  vresource root;
  vspringdom* d;
  Loaded() {
    vrstoreInstallInterface();
    vfsPath* path = vfsNewPathFromString(WIDGETS_LISTS_VR);
    root = vrstoreOpenFile(path, vbtreeREAD);
    vfsFreePath(path);
    vspringdomGetDefaultClass();
    d = static_cast<vspringdom*>(vobjectLoad(vrstoreGet(root, vnameInternLiteral("Springs"))));
  }
  ~Loaded() {
    vdomainDestroy(d);
    vrstoreCloseFile(root);
  }
  vdomainObject* at(int i) {
    vdomainObject* o = d->first;
    while (i--) o = o->next;
    return o;
  }
  std::string rects() {
    std::string out;
    for (vdomainObject* o = d->first; o; o = o->next)
      out += std::to_string(o->rect.x) + "," + std::to_string(o->rect.y) + "," + std::to_string(o->rect.width) + "," +
             std::to_string(o->rect.height) + " ";
    return out;
  }
};

std::string rectText(const vrect& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," + std::to_string(r.height);
}

TEST(SpringDomain, LoadedLayoutFollowsItsContainerThroughUndoAndRedo) {
  Loaded l;
  ASSERT_EQ(l.d->count, 2);
  const std::string stored = "0,-20,60,20 68,-20,60,20 ";
  EXPECT_EQ(l.rects(), stored);
  EXPECT_EQ(rectText(l.d->container), "0,-30,138,30");  // grown to fit on load
  vdomainSetPrimaryObserverClass(l.d, vdomainUndoObserverClass());
  auto* spring = static_cast<vdomainObserver*>(vinstanceCreate(vspringdomGetUndoObserverClass()));
  spring->flags = vdomainObserverOWNED;
  vdomainInstallObserver(l.d, spring);

  vrect moved{0, 0, 138, 30}, resized{0, 0, 200, 100};
  vspringdomSetContainerRect(l.d, &moved);
  vspringdomSetContainerRect(l.d, &resized);
  const std::string wide = "62,10,60,20 130,10,60,20 ";
  EXPECT_EQ(l.rects(), wide);
  vundoActionList* change = vdomainTakePendingActions(l.d);
  ASSERT_NE(change, nullptr);
  for (int round = 0; round < 2; ++round) {
    vundoActionPerform(change);
    EXPECT_EQ(l.rects(), stored) << round;
    EXPECT_EQ(rectText(l.d->container), "0,-30,138,30");
    vundoActionPerform(change);
    EXPECT_EQ(l.rects(), wide) << round;
  }
  EXPECT_EQ(l.d->pending, nullptr);  // replays record nothing
  vundoActionDestroy(change);
}

TEST(SpringDomain, GrowsToItsContentScalesAndKeepsOthersOnRemoval) {
  Loaded l;
  vrect narrow{0, 0, 100, 100};
  vspringdomSetContainerRect(l.d, &narrow);
  EXPECT_EQ(rectText(l.d->container), "0,0,138,100");  // 38 wider, the top edge kept
  l.d->flags &= ~static_cast<std::uint32_t>(vspringdomGROW);
  vrect big{0, 0, 300, 50};
  vspringdomSetContainerRect(l.d, &big);
  EXPECT_EQ(l.rects(), "162,10,60,20 230,10,60,20 ");

  vdomainSet* second = vdomainCreateSet();
  vdomainSetAppend(&second, l.at(1));
  vdomainScaleObjects(l.d, second, 1.0, 1.0);
  EXPECT_EQ(l.rects(), "162,10,60,20 230,10,60,20 ");
  vdomainDestroySet(second);

  vdomainSet* first = vdomainCreateSet();
  vdomainSetAppend(&first, l.at(0));
  vdomainRemoveObjects(l.d, first);
  vdomainDestroySet(first);
  EXPECT_EQ(l.rects(), "230,10,60,20 ");
  vspringdomSetContainerRect(l.d, &narrow);
  EXPECT_EQ(l.rects(), "230,10,60,20 ");  // now anchored to the left edge

  vspringdom* loose = vspringdomCreate();
  vdomainObject* o = vdomainNewObject(loose);
  vdomainSet* s = vdomainCreateSetOf(&o, 1);
  vrect three{5, 5, 3, 4};
  vdomainClassOf(loose)->setRects(loose, s, &three);
  vdomainScaleObjects(loose, s, 1.0, 1.0);
  EXPECT_EQ(o->rect.width, 3);
  vdomainScaleObjects(loose, s, 1.5, 1.5);
  EXPECT_EQ(o->rect.width, 5);   // 1.5 rounded half up
  EXPECT_EQ(o->rect.height, 6);  // 2.5 rounded half up
  vdomainDestroySet(s);
  vdomainDestroy(loose);
}

// Logs the spring announcements it hears.
std::vector<std::string> heard;
vspringdomObserverClassRec* listener() {
  static vspringdomObserverClassRec* c = [] {
    auto* r = vclassSpawnOf<vspringdomObserverClassRec>(vspringdomGetObserverClass());
    vclassSetName(r, vscribeLiteral("testSpringListener"));
    r->validityChanged = [](void*, vdomainObject* o, int side, int valid) {
      heard.push_back(std::string(o ? "o" : "c") + std::to_string(side) + (valid ? "+" : "-"));
    };
    r->containerChanged = [](void*, const vrect* old) { heard.push_back("container " + rectText(*old)); };
    return r;
  }();
  return c;
}

TEST(SpringDomain, AChainWithoutASpringIsInvalidAndLeavesItsObjects) {
  Loaded l;
  auto* ear = static_cast<vdomainObserver*>(vinstanceCreate(listener()));
  ear->flags = vdomainObserverOWNED;
  vdomainInstallObserver(l.d, ear);
  heard.clear();
  // The only horizontal spring is between the container and the first object.
  vspringdomSetSpring(l.d, vspringdomGetHandle(l.d, nullptr, 1), 0, 1);
  vrect box{0, 0, 300, 30};
  vspringdomSetContainerRect(l.d, &box);
  EXPECT_EQ(l.rects(), "0,10,60,20 68,10,60,20 ");  // x kept; y follows the new bottom
  std::string got;
  for (const std::string& h : heard) got += h + " ";
  // Both ends of each horizontal connection turn invalid; the vertical ones stay.
  for (const char* want : {"c1-", "o0-", "o1-", "o2-", "o3-", "c2-"}) EXPECT_NE(got.find(want), std::string::npos) << want << " in " << got;
  EXPECT_EQ(got.find("o4"), std::string::npos) << got;
  EXPECT_NE(got.find("container 0,-30,138,30"), std::string::npos) << got;
  heard.clear();
  vspringdomSetSpring(l.d, vspringdomGetHandle(l.d, nullptr, 1), 1, 1);
  vspringdomSolve(l.d);
  EXPECT_EQ(l.rects(), "162,10,60,20 230,10,60,20 ");
  EXPECT_NE(heard.size(), 0u);
  for (const std::string& h : heard) EXPECT_EQ(h.back(), '+') << h;
}

TEST(SpringDomain, ACloneHasTheSameConnections) {
  Loaded l;
  auto* copy = static_cast<vspringdom*>(vobjectClone(l.d));
  ASSERT_EQ(copy->count, 2);
  vrect box{0, 0, 200, 100};
  vspringdomSetContainerRect(copy, &box);
  vdomainObject* first = copy->first;
  EXPECT_EQ(first->rect.x, 62);
  EXPECT_EQ(first->next->rect.x, 130);
  EXPECT_EQ(l.at(0)->rect.x, 0);  // the original did not move
  vspringdomHandle* h = vspringdomGetHandle(copy, first, 3);
  ASSERT_NE(h->connection, nullptr);
  EXPECT_EQ(h->connection->object, first->next);
  vdomainDestroy(copy);
}

TEST(SpringDomain, StoreAndLoadReproduceConnections) {
  Loaded l;
  vspringdomSetLength(l.d, vspringdomGetHandle(l.d, l.at(0), 3), 12, 1);
  EXPECT_EQ(vspringdomGetHandle(l.d, l.at(1), 0)->length, 12);  // the mirror follows
  vspringdomSetAttribute(l.d, vspringdomGetHandle(l.d, l.at(1), 7), 1, 0);
  vresource memory = vrstoreCreateMemory();
  vresource r = vrstoreCreate(memory, vnameInternLiteral("Copy"), vresDICTIONARY);
  vdomainClassOf(l.d)->store(l.d, r);
  auto* back = static_cast<vspringdom*>(vobjectLoad(r));
  ASSERT_EQ(back->count, l.d->count);
  auto describe = [](vspringdom* d) {
    std::string out;
    std::vector<vdomainObject*> objects;
    for (vdomainObject* o = d->first; o; o = o->next) objects.push_back(o);
    objects.push_back(nullptr);
    for (std::size_t i = 0; i < objects.size(); ++i)
      for (int side = 0; side < 8; ++side) {
        vspringdomHandle* h = vspringdomGetHandle(d, objects[i], side);
        if (!h->connection) continue;
        int target = -1;
        for (std::size_t j = 0; j + 1 < objects.size(); ++j)
          if (objects[j] == h->connection->object) target = static_cast<int>(j);
        out += std::to_string(i) + "." + std::to_string(side) + ">" + std::to_string(target) + "." +
               std::to_string(vspringdomHandleSide(h->connection)) + ":" + std::to_string(h->length) + "/" +
               std::to_string(h->flags) + " ";
      }
    return out;
  };
  EXPECT_EQ(describe(back), describe(l.d));
  EXPECT_NE(describe(l.d).find("0.3>1.0:12/3 "), std::string::npos) << describe(l.d);
  vdomainDestroy(back);
  vrstoreCloseFile(memory);
  // Across axes is refused and changes nothing.
  vspringdomHandle* left = vspringdomGetHandle(l.d, l.at(0), 0);
  vspringdomHandle* before = left->connection;
  EXPECT_FALSE(vexTry([&] { vspringdomConnect(l.d, left, vspringdomGetHandle(l.d, l.at(1), 4), 0); }));
  EXPECT_EQ(left->connection, before);
}

}  // namespace
