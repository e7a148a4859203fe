#include "fw/core/class.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw_support.h"
#include "memory_resources.h"

namespace {

// Whether body raised a record of exactly cls; the chain is restored.
template <class F>
const vexException* raised(F body, std::string* message = nullptr) {
  const vexException* e = nullptr;
  vexGuard(body, [&](vexHandler& h) {
    e = vexGetCurrentException();
    if (message && e->message) *message = e->message;
    vexSetCurrentException(h.savedChain);
  });
  return e;
}

// A shape with an area; a square overrides init and print and calls up.
struct Shape : vobject {
  int side;
};
std::vector<std::string> trail;
struct ShapeClassRec : vobjectClassRec {
  int (*area)(Shape* self);
};

int shapeArea(Shape*) { return 0; }
int squareArea(Shape* s) { return s->side * s->side; }

ShapeClassRec* shapeClass() {
  static ShapeClassRec* c = [] {
    auto* r = vclassSpawnOf<ShapeClassRec>(vobjectGetDefaultClass());
    vclassSetName(r, vscribeLiteral("testShape"));
    r->instanceSize = sizeof(Shape);
    r->init = [](vinstance* self) {
      vobjectGetDefaultClass()->init(self);
      static_cast<Shape*>(self)->side = 1;
      trail.push_back("shape init");
    };
    r->copyInit = [](vobject* from, vobject* to) {
      vobjectGetDefaultClass()->copyInit(from, to);
      static_cast<Shape*>(to)->side = static_cast<Shape*>(from)->side;
    };
    r->area = shapeArea;
    return r;
  }();
  return c;
}

ShapeClassRec* squareClass() {
  static ShapeClassRec* c = [] {
    auto* r = vclassSpawnOf<ShapeClassRec>(shapeClass());
    vclassSetName(r, vscribeLiteral("testSquare"));
    r->init = [](vinstance* self) {
      shapeClass()->init(self);
      static_cast<Shape*>(self)->side = 3;
      trail.push_back("square init");
    };
    r->area = squareArea;
    return r;
  }();
  return c;
}

TEST(Classes, HierarchyWithOverridesAndSuperCalls) {
  trail.clear();
  auto* sq = static_cast<Shape*>(vinstanceCreate(squareClass()));
  EXPECT_EQ(trail, (std::vector<std::string>{"shape init", "square init"}));
  EXPECT_EQ(vclassRec<ShapeClassRec>(sq)->area(sq), 9);
  EXPECT_EQ(sq->tag, nullptr);
  EXPECT_TRUE(vclassIsSubclass(squareClass(), vobjectGetDefaultClass()));
  EXPECT_FALSE(vclassIsSubclass(shapeClass(), squareClass()));
  EXPECT_FALSE(vclassIsSubclass(nullptr, shapeClass()));
  sq->side = 5;
  vobjectClassRec* rec = vclassRec<vobjectClassRec>(sq);
  rec->setTag(sq, vname_Size);
  auto* copy = static_cast<Shape*>(vobjectClone(sq));
  EXPECT_EQ(copy->cls, squareClass());
  EXPECT_EQ(copy->side, 5);
  EXPECT_EQ(copy->tag, vname_Size);
  EXPECT_EQ(vclassFindByName(vscribeLiteral("testSquare")), squareClass());
  EXPECT_EQ(vclassFindByName(vscribeLiteral("noSuchClass")), nullptr);
  vclassSubclassIterator it;
  vclassInitSubclassIterator(&it, shapeClass());
  int subs = 0;
  while (vclassNextSubclassIterator(&it)) {
    EXPECT_EQ(*it.current, squareClass());
    ++subs;
  }
  EXPECT_EQ(subs, 1);
  vinstanceDestroy(copy);
  vinstanceDestroy(sq);
}

TEST(Classes, SpawnAndNamingRules) {
  EXPECT_EQ(raised([] { vclassSpawn(shapeClass(), sizeof(vobjectClassRec)); })->cls, &vexArgRangeClass);
  // The classes made here go with a module context of their own, so the
  // shape keeps one subclass and the names are free again on a repeat.
  vmoduleContext* context = vmoduleCreateContext();
  auto* base = vclassSpawnOf<ShapeClassRec>(vobjectGetDefaultClass());
  vclassSetName(base, vscribeLiteral("testShape"));
  vclass* same = vclassSpawn(base, sizeof(ShapeClassRec));  // equal size allowed
  EXPECT_EQ(raised([&] { vclassSetName(same, vscribeLiteral("testShape")); })->cls, &vexArgClass);
  vclassSetName(same, vscribeLiteral("testOther"));
  vclassSetName(same, vscribeLiteral("testOther2"));  // renaming frees the old name
  EXPECT_EQ(vclassFindByName(vscribeLiteral("testOther")), nullptr);
  EXPECT_EQ(vclassFindByName(vscribeLiteral("testOther2")), same);
  // Equal instance sizes share one pool.
  vclass* a = vclassSpawn(vobjectGetDefaultClass(), sizeof(vobjectClassRec));
  vclass* b = vclassSpawn(vinstanceGetDefaultClass(), sizeof(vinstanceClassRec));
  vclassSetInstanceSize(a, 40);
  vclassSetInstanceSize(b, 40);
  void* ia = vclassAllocInstance(a);
  void* ib = vclassAllocInstance(b);
  EXPECT_EQ(a->pool, b->pool);
  vclassFreeInstance(a, ia);
  vclassFreeInstance(b, ib);
  vmoduleDestroyContext(context);
}

TEST(Classes, ContextsOwnTheirClassesAndNames) {
  ChildRun r = runInChild([] {
    vclass* shared = vclassSpawn(vclassGetRoot(), sizeof(vclass));
    vclassSetNameGlobal(shared, vscribeLiteral("sharedClass"));
    vmoduleContext* def = vmoduleGetCurrentContext();
    vmoduleContext* app = vmoduleCreateContext();
    // The same name under two contexts is allowed.
    vclass* mine = vclassSpawn(vobjectGetDefaultClass(), sizeof(vobjectClassRec));
    vclassSetName(mine, vscribeLiteral("vobjectClass2"));
    vclass* child = vclassSpawn(mine, sizeof(vobjectClassRec));
    vclassSetName(child, vscribeLiteral("childClass"));
    vclass* underShared = vclassSpawn(shared, sizeof(vclass));
    bool found = vclassFindByName(vscribeLiteral("childClass")) == child;
    bool sharedSeen = vclassFindByName(vscribeLiteral("sharedClass")) == shared;
    vmoduleSetContext(def);
    bool hidden = vclassFindByName(vscribeLiteral("childClass")) == nullptr;
    std::size_t sharedSubs = static_cast<std::size_t>(shared->subEnd - shared->subBegin);
    vmoduleDestroyContext(app);
    std::fprintf(stderr, "%d %d %d %zu %zu %d\n", found, sharedSeen, hidden, sharedSubs,
                 static_cast<std::size_t>(shared->subEnd - shared->subBegin),
                 vclassFindByName(vscribeLiteral("sharedClass")) == shared);
    (void)underShared;
  });
  EXPECT_EQ(r.err, "1 1 1 1 0 1\n");
}

TEST(Objects, StoreAndLoadThroughResources) {
  MemoryResources res;
  auto* sq = static_cast<Shape*>(vinstanceCreate(squareClass()));
  sq->tag = vname_Width;
  vresource d = res.newDict();
  vclassRec<vobjectClassRec>(sq)->store(sq, d);
  vname stored;
  ASSERT_TRUE(vresourceTestGetTag(d, vname_Class, &stored));
  EXPECT_STREQ(stored, "testSquare");
  vresource inheritance = vresourceGetDict(d, vnameInternLiteral("vobjectInheritance"));
  ASSERT_TRUE(vresourceTestGetTag(inheritance, vnameInternLiteral("testSquare"), &stored));
  EXPECT_STREQ(stored, "testShape");
  ASSERT_TRUE(vresourceTestGetTag(inheritance, vnameInternLiteral("testShape"), &stored));
  EXPECT_STREQ(stored, "vobjectClass");
  vobject* loaded = vobjectLoad(d);
  EXPECT_EQ(loaded->cls, squareClass());
  EXPECT_EQ(loaded->tag, vname_Width);
  sq->tag = nullptr;
  vclassRec<vobjectClassRec>(sq)->store(sq, d);
  EXPECT_FALSE(vresourceTestGetTag(d, vname_Tag, &stored));

  vclass* unnamed = vclassSpawn(vobjectGetDefaultClass(), sizeof(vobjectClassRec));
  vobject* u = static_cast<vobject*>(vinstanceCreate(unnamed));
  std::string message;
  EXPECT_EQ(raised([&] { vobjectGetDefaultClass()->store(u, d); }, &message)->cls, &vexArgUnnamedClassClass);
  EXPECT_EQ(message, "classes require a name to store objects");
  vresource none = res.newDict();
  EXPECT_EQ(raised([&] { vobjectLoad(none); }, &message)->cls, &vexArgUndefinedClassClass);
  EXPECT_EQ(message, "resource object has no class tag");
  vinstanceDestroy(loaded);
  vinstanceDestroy(sq);
  vinstanceDestroy(u);
}

TEST(Objects, UndefinedClassDumpNamesTheClass) {
  ChildRun r = runInChild([] {
    MemoryResources res;
    vresource d = res.newDict();
    vresourceSetTagAt(d, vname_Class, vnameInternLiteral("ghostClass"));
    errno = 0;
    vobjectLoad(d);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("    error 1: /Arg/Undefined Class/\n\tmessage: resource object's class is not defined\n"
                       "\tclass name: ghostClass\n"),
            std::string::npos);
}

// A delegator holding up to two delegates.
struct Holder : vinstance {
  vinstance* first;
  vinstance* second;
};
vdelegatorClassRec* holderClass() {
  static vdelegatorClassRec* c = [] {
    auto* r = vclassSpawnOf<vdelegatorClassRec>(vdelegatorGetDefaultClass());
    r->instanceSize = sizeof(Holder);
    r->nextDelegate = [](vinstance* self, vinstance* previous, int) -> vinstance* {
      auto* h = static_cast<Holder*>(self);
      if (!previous) return h->first;
      return previous == h->first ? h->second : nullptr;
    };
    return r;
  }();
  return c;
}
Holder* holder(vinstance* a, vinstance* b) {
  auto* h = static_cast<Holder*>(vinstanceCreate(holderClass()));
  h->first = a, h->second = b;
  return h;
}

TEST(Delegators, WalksDepthFirstAndFindsClasses) {
  vinstance* leaf = vinstanceCreate(shapeClass());
  vdelegatorIterator it;
  vdelegatorInitIterator(&it, leaf);
  EXPECT_EQ(vdelegatorNextIterator(&it, 0), 0);  // no delegator: only itself

  vinstance* sq = vinstanceCreate(squareClass());
  Holder* inner = holder(sq, nullptr);
  Holder* top = holder(inner, leaf);
  std::vector<vinstance*> order;
  vdelegatorInitIterator(&it, top);
  do order.push_back(vdelegatorTop(&it));
  while (vdelegatorNextIterator(&it, 0));
  EXPECT_EQ(order, (std::vector<vinstance*>{top, inner, sq, leaf}));

  vdelegatorInitIterator(&it, top);
  vdelegatorFindClass(&it, squareClass());
  EXPECT_EQ(vdelegatorTop(&it), sq);
  EXPECT_EQ(it.cursor, 2);
  EXPECT_TRUE(vdelegatorIsKindOf(top, shapeClass()));
  EXPECT_TRUE(vdelegatorIsKindOf(top, vdelegatorGetDefaultClass()));
  vclass* other = vclassSpawn(vobjectGetDefaultClass(), sizeof(vobjectClassRec));
  vdelegatorInitIterator(&it, top);
  EXPECT_EQ(raised([&] { vdelegatorFindClass(&it, other); })->cls, &vexDelegatorClassNotFoundClass);
}

TEST(Delegators, DeeperThanTwelveRaises) {
  vinstance* chain = vinstanceCreate(shapeClass());
  for (int i = 0; i < 12; ++i) chain = holder(chain, nullptr);  // 13 levels
  vdelegatorIterator it;
  vdelegatorInitIterator(&it, chain);
  EXPECT_EQ(raised([&] {
              while (vdelegatorNextIterator(&it, 0)) {
              }
            })->cls,
            &vexArgRangeClass);
}

}  // namespace
