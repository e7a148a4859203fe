#include "fw/data/res.h"

#include <cmath>

#include "scrap_support.h"

namespace {

// A resource value that keeps its kind and value in itself, over a store
// whose row 7 is an integer.
struct TestRes : vres {
  int kind;
  std::uint32_t value;
};

// Row 7 of the store is an integer, row 8 untyped.
struct Row {
  int kind;
  std::uint32_t value;
};
Row rows[9] = {};
vresStore store{[](vresStore*, std::uint32_t n) { return n == 7 ? int{vresINTEGER} : int{vresUNTYPED}; },
                [](vresStore*, std::uint32_t n) { return rows[n].value; },
                [](vresStore*, std::uint32_t n, std::uint32_t v) { rows[n].value = v; }, 0};

vresClassRec* testClass() {
  static vresClassRec* cls = [] {
    auto* c = vclassSpawnOf<vresClassRec>(vresGetDefaultClass());
    c->instanceSize = sizeof(TestRes);
    c->getKind = [](vres* o) { return static_cast<TestRes*>(o)->kind; };
    c->setKind = [](vres* o, int k) { static_cast<TestRes*>(o)->kind = k; };
    c->getValue = [](vres* o) { return static_cast<TestRes*>(o)->value; };
    c->setValue = [](vres* o, std::uint32_t v) { static_cast<TestRes*>(o)->value = v; };
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

TEST(ResourceValues, ScalarAccessors) {
  TestRes* b = makeTest(vresBOOLEAN);
  const std::pair<int, std::uint32_t> booleans[] = {{1, 1}, {2, 0}, {-1, 0}, {0, 0}, {1, 1}};
  for (auto [set, stored] : booleans) {
    vresSetBoolean(b, set);
    EXPECT_EQ(b->value, stored) << set;
  }
  TestRes* c = makeTest(vresCHARACTER, 0x41);
  EXPECT_EQ(vresGetCharacter(c), 'A');
  const std::pair<unsigned char, std::uint32_t> characters[] = {{0xE9, 0xE9}, {0x8C, 0x152}, {0x9F, 0x178}};
  for (auto [set, stored] : characters) {
    vresSetCharacter(c, static_cast<char>(set));
    EXPECT_EQ(c->value, stored);
    EXPECT_EQ(static_cast<unsigned char>(vresGetCharacter(c)), set);
  }
  TestRes* f = makeTest(vresFLOAT);
  EXPECT_EQ(vresGetFloat(f), 0.0);
  vresSetFloat(f, 1.5);
  EXPECT_EQ(f->value, 0x3FC00000u);
  vresSetFloat(f, 3.4028234663852886e+38);
  for (double beyond : {3.5e38, -1e300}) {
    Raised r = raised([&] { vresSetFloat(f, beyond); });
    EXPECT_EQ(r.cls, &vexArgRangeClass);
  }
  EXPECT_EQ(vresGetFloat(f), 3.4028234663852886e+38);
  vresSetFloat(f, -INFINITY);
  EXPECT_EQ(vresGetFloat(f), -INFINITY);

  Raised wrong = raised([&] { vresGetInteger(f); });
  EXPECT_EQ(wrong.cls, &vexArgClass);
  EXPECT_EQ(wrong.message, "Resource is not of type vresINTEGER");
  EXPECT_EQ(raised([&] { vresSetFixed(b, 1); }).message, "Resource is not of type vresFIXED");

  store.readOnly = 1;
  Raised ro = raised([&] { vresSetBoolean(b, 0); });
  EXPECT_EQ(ro.message, "Resource file is read only");
  EXPECT_EQ(vresGetBoolean(b), 1);
  EXPECT_EQ(raised([&] { vresSetFloat(b, 1); }).message, "Resource is not of type vresFLOAT");  // the kind first
  store.readOnly = 0;
  for (TestRes* o : {b, c, f}) vinstanceDestroy(o);
}

TEST(ResourceValues, ScrapProtocolThroughReferencesAndEntype) {
  TestRes* ref = makeTest(vresREFERENCE, 7);
  rows[7].value = 5;
  EXPECT_EQ(vscrapGetInteger(vscrapWalk(ref)), 5);
  vscrapSetInteger(vscrapWalk(ref), -9);
  EXPECT_EQ(rows[7].value, static_cast<std::uint32_t>(-9));
  EXPECT_EQ(ref->value, 7u);

  // An untyped resource takes the kind of what is imported into it.
  TestRes* fresh = makeTest(vresUNTYPED);
  vinstance* source = integerScrap(42);
  vscrapImport(vscrapWalk(source), vscrapWalk(fresh));
  EXPECT_EQ(fresh->kind, vresINTEGER);
  EXPECT_EQ(fresh->value, 42u);
  vinstance* copy = vscrapCreateNativeTypeable();
  vscrapImport(vscrapWalk(fresh), vscrapWalk(copy));
  EXPECT_EQ(vscrapGetInteger(vscrapWalk(copy)), 42);
  // Typed now: a value of another kind is refused.
  vinstance* text = vscrapCreateNativeString("no");
  EXPECT_EQ(raised([&] { vscrapImport(vscrapWalk(text), vscrapWalk(fresh)); }).cls, &vexScrapCannotConvertClass);
  for (vinstance* o : std::initializer_list<vinstance*>{ref, fresh, source, copy, text}) vinstanceDestroy(o);
}

}  // namespace
