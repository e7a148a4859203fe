#include "fw/data/res.h"

#include "scrap_support.h"

namespace {

// A resource value that keeps its kind and value in itself, over a store
// whose row 7 is an integer.
struct TestRes : vres {
  int kind;
  std::uint32_t value;
};

vresStore store{[](vresStore*, std::uint32_t number) { return number == 7 ? int{vresINTEGER} : int{vresUNTYPED}; }};

vresClassRec* testClass() {
  static vresClassRec* cls = [] {
    auto* c = vclassSpawnOf<vresClassRec>(vresGetDefaultClass());
    c->instanceSize = sizeof(TestRes);
    c->getKind = [](vres* o) { return static_cast<TestRes*>(o)->kind; };
    c->setKind = [](vres* o, int k) { static_cast<TestRes*>(o)->kind = k; };
    c->getValue = [](vres* o) { return static_cast<TestRes*>(o)->value; };
    return c;
  }();
  return cls;
}

TestRes* makeTest(int kind, std::uint32_t value = 0) {
  auto* o = static_cast<TestRes*>(vresCreate(&store, testClass()));
  o->kind = kind;
  o->value = value;
  return o;
}

TEST(ResourceValues, BaseClassDefaults) {
  vres local;
  vresInit(&local, &store, vresGetDefaultClass());
  EXPECT_EQ(local.store, &store);
  vresClassRec* rec = vresGetDefaultClass();
  rec->setKind(&local, vresINTEGER);
  rec->setValue(&local, 99);
  EXPECT_EQ(rec->getKind(&local), 0);
  EXPECT_EQ(rec->getValue(&local), 0u);
  EXPECT_EQ(rec->getParent(&local), 1u);
  EXPECT_EQ(rec->getId(&local), 0u);
  // Untyped: no delegate, so no value class is found.
  EXPECT_EQ(raised([&] { vscrapGetInteger(vscrapWalk(&local)); }).cls, &vexDelegatorClassNotFoundClass);
  rec->remove(&local);  // not from a pool: only finished

  vres* heap = vresCreate(&store, vresGetDefaultClass());
  EXPECT_EQ(vresGetType(heap), vresUNTYPED);
  rec->remove(heap);
}

TEST(ResourceValues, DelegatesFollowTheResolvedKind) {
  for (int kind = 1; kind <= 10; ++kind) {
    TestRes* o = makeTest(kind);
    EXPECT_EQ(vclassRec<vresClassRec>(o)->nextDelegate(o, nullptr, 0), vresGetAdaptor(kind)) << kind;
    EXPECT_EQ(vclassRec<vresClassRec>(o)->nextDelegate(o, vresGetAdaptor(kind), 0), nullptr);
    EXPECT_TRUE(vdelegatorIsKindOf(o, vresGetScrapClass(kind))) << kind;
    vinstanceDestroy(o);
  }
  TestRes* reference = makeTest(vresREFERENCE, 7);
  EXPECT_EQ(vresGetType(reference), vresINTEGER);
  EXPECT_EQ(vclassRec<vresClassRec>(reference)->nextDelegate(reference, nullptr, 0), vresGetAdaptor(vresINTEGER));
  reference->value = 8;  // names an untyped row
  EXPECT_EQ(vclassRec<vresClassRec>(reference)->nextDelegate(reference, nullptr, 0), nullptr);
  vinstanceDestroy(reference);
}

TEST(ResourceValues, EntypeByClassIdentity) {
  const std::pair<vclass*, int> table[] = {
      {vscrapGetArrayClass(), vresARRAY},   {vscrapGetBooleanClass(), vresBOOLEAN},
      {vscrapGetCharacterClass(), vresCHARACTER}, {vscrapGetStringClass(), vresSTRING},
      {vscrapGetDictionaryClass(), vresDICTIONARY}, {vscrapGetFixedClass(), vresFIXED},
      {vscrapGetFloatClass(), vresFLOAT},   {vscrapGetIntegerClass(), vresINTEGER},
      {vscrapGetBlockClass(), vresOPAQUE},  {vscrapGetTagClass(), vresTAG},
  };
  for (auto [cls, kind] : table) {
    TestRes* o = makeTest(vresUNTYPED);
    EXPECT_EQ(vscrapEntype(vscrapWalk(o), cls), 1);
    EXPECT_EQ(o->kind, kind);
    // Typed now: even its own class is refused.
    EXPECT_EQ(vscrapEntype(vscrapWalk(o), cls), 0);
    vinstanceDestroy(o);
  }
  TestRes* o = makeTest(vresUNTYPED);
  EXPECT_EQ(vscrapEntype(vscrapWalk(o), vscrapGetNativeClass(vscrapGetIntegerClass())), 0);
  EXPECT_EQ(vscrapEntype(vscrapWalk(o), vscrapGetCompoundClass()), 0);
  EXPECT_EQ(o->kind, vresUNTYPED);
  // Through the base class the kind does not change.
  vres* base = vresCreate(&store, vresGetDefaultClass());
  EXPECT_EQ(vscrapEntype(vscrapWalk(base), vscrapGetIntegerClass()), 1);
  EXPECT_EQ(vresGetType(base), vresUNTYPED);
  vinstanceDestroy(base);
  // A reference to a typed row counts as typed.
  o->kind = vresREFERENCE;
  o->value = 7;
  EXPECT_EQ(vscrapEntype(vscrapWalk(o), vscrapGetIntegerClass()), 0);
  vinstanceDestroy(o);
}

}  // namespace
