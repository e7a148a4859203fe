#include "fw/services/natscrap.h"

#include <gtest/gtest.h>

#include <string>

#include "fw/data/scrap_support.h"

namespace {

int destroyed = 0;

// A typeable scrap that counts its destruction; make-typeable keeps it as is.
vinstance* countedInteger(std::int32_t v) {
  static vscrapTypeableClassRec* counted = [] {
    auto* c = vclassSpawnOf<vscrapTypeableClassRec>(vscrapGetNativeTypeableClass());
    vclassSetName(c, vscribeLiteral("natscrapTestCounted"));
    c->destroy = [](vinstance* o) {
      ++destroyed;
      vscrapGetNativeTypeableClass()->destroy(o);
    };
    return c;
  }();
  vinstance* s = vinstanceCreate(counted);
  vscrapImport(vscrapWalk(integerScrap(v)), vscrapWalk(s));
  return s;
}

vinstance* native(vclass* cls) {
  vnatscrapGetDefaultClass();
  return vinstanceCreate(cls);
}

struct Owned {
  vinstance* o;
  ~Owned() {
    if (o) vinstanceDestroy(o);
  }
};

template <class T>
void setValue(vinstance* s, T v) {
  vscrap w = vscrapWalk(s);
  static_cast<vscrapValueClassRec<T>*>(s->cls)->set(&w, v);
}

TEST(SessionValues, DumpsPrintTheDocumentedForms) {
  vnatscrapGetDefaultClass();
  Owned nullPointer{native(vnatscrapGetPointerClass())};
  Owned pointer{native(vnatscrapGetPointerClass())};
  {
    Owned seven{integerScrap(7)};
    setValue<void*>(pointer.o, seven.o);
  }
  Owned longlong{native(vnatscrapGetLonglongClass())};
  setValue<std::int64_t>(longlong.o, (std::int64_t{1} << 32) + 5);
  Owned negative{native(vnatscrapGetLonglongClass())};
  setValue<std::int64_t>(negative.o, -2);
  Owned held{native(vnatscrapGetScrapClass())};
  {
    Owned three{integerScrap(3)};
    setValue<vinstance*>(held.o, three.o);
  }
  Owned emptyHeld{native(vnatscrapGetScrapClass())};
  Owned u{native(vnatscrapGetUnionClass())};
  setValue<std::int32_t>(u.o, 2);
  {
    vscrap w = vscrapWalk(u.o);
    vclassRec<vabstractUnionClassRec>(u.o)->setMember(&w, integerScrap(9));
  }
  Owned datatag{native(vnatscrapGetDatatagClass())};
  setValue<void*>(datatag.o, vdatatagGetPredefined(vdatatagSTRING));
  std::string datatagText = captured([](std::FILE* f) { vdatatagDump(vdatatagGetPredefined(vdatatagSTRING), f); });

  struct Case {
    const char* name;
    vinstance* scrap;
    std::string text;
  };
  const Case cases[] = {
      {"pointer without target", nullPointer.o, "{* NULL }"},
      {"pointer", pointer.o, "{* 7 }"},
      {"2^32 + 5", longlong.o, "[ hi: 1, lo: 5 ]"},
      {"minus two", negative.o, "[ hi: -1, lo: -2 ]"},
      {"scrap", held.o, "{:: 3 ::}"},
      {"empty scrap", emptyHeld.o, "{::  ::}"},
      {"union", u.o, "[ switch (2) \n9\n]"},
      {"datatag", datatag.o, "{ " + datatagText + "}\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(dumpText(c.scrap), c.text) << c.name;
}

TEST(SessionValues, OwnedScrapsAreCopiesReplacedAndDestroyed) {
  vnatscrapGetDefaultClass();
  destroyed = 0;
  {
    Owned u{native(vnatscrapGetUnionClass())};
    vscrap w = vscrapWalk(u.o);
    auto* rec = vclassRec<vabstractUnionClassRec>(u.o);
    rec->setMember(&w, countedInteger(1));
    EXPECT_EQ(destroyed, 0);
    rec->setMember(&w, countedInteger(2));
    EXPECT_EQ(destroyed, 1) << "the replaced member is destroyed";
    Owned member{rec->getMember(&w)};
    ASSERT_NE(member.o, nullptr);
    EXPECT_TRUE(vclassIsSubclass(member.o->cls, vscrapGetReferenceClass()));
    EXPECT_EQ(vscrapGetInteger(vscrapWalk(member.o)), 2);
  }
  EXPECT_EQ(destroyed, 2) << "the member goes with its holder";

  // A pointer keeps its own copy: the caller's scrap stays the caller's.
  Owned source{integerScrap(5)};
  Owned pointer{native(vnatscrapGetPointerClass())};
  setValue<void*>(pointer.o, source.o);
  vscrapSetInteger(vscrapWalk(source.o), 6);
  vscrap w = vscrapWalk(pointer.o);
  Owned target{static_cast<vinstance*>(vclassRec<vscrapValueClassRec<void*>>(pointer.o)->get(&w))};
  EXPECT_EQ(vscrapGetInteger(vscrapWalk(target.o)), 5);
  setValue<void*>(pointer.o, nullptr);
  EXPECT_EQ(static_cast<_vnatscrapPointer*>(pointer.o)->target, nullptr);
}

TEST(SessionValues, VectorsGrowByDoublingAndIterate) {
  for (vclass* cls : {static_cast<vclass*>(vnatscrapGetCompoundClass()), static_cast<vclass*>(vnatscrapGetArglistClass())}) {
    SCOPED_TRACE(cls->name);
    destroyed = 0;
    {
      Owned v{native(cls)};
      auto* vector = static_cast<vnatscrapVector*>(v.o);
      for (int i = 0; i < 4; ++i) vscrapAddCompoundElement(vscrapWalk(v.o), countedInteger(10 + i));
      EXPECT_EQ(vnatscrapCapacity(vector), 4);
      vscrapAddCompoundElement(vscrapWalk(v.o), countedInteger(14));
      EXPECT_EQ(vnatscrapCapacity(vector), 8);
      EXPECT_EQ(vnatscrapCount(vector), 5);

      vscrapIterator* it = vscrapCreateCompoundIterator(vscrapWalk(v.o));
      std::string seen;
      while (vscrapIteratorNext(it)) {
        Owned e{vscrapIteratorCurrentElement(it)};
        seen += std::to_string(vscrapGetInteger(vscrapWalk(e.o))) + " ";
      }
      EXPECT_EQ(vscrapIteratorCurrentElement(it), nullptr) << "past the end there is no member";
      EXPECT_EQ(vscrapIteratorNext(it), 0);
      vscrapIteratorDestroy(it);
      EXPECT_EQ(seen, "10 11 12 13 14 ");
      EXPECT_EQ(dumpText(v.o), "{ 10 11 12 13 14 }\n");

      vscrapClearCompound(vscrapWalk(v.o));
      EXPECT_EQ(destroyed, 5);
      EXPECT_EQ(vnatscrapCount(vector), 0);
      vscrapAddCompoundElement(vscrapWalk(v.o), countedInteger(1));
    }
    EXPECT_EQ(destroyed, 6) << "destroy frees the members left";
  }
}

// Values of the session kinds become their natives in a typeable scrap and
// export back through the target's set.
TEST(SessionValues, TypeableScrapsBecomeTheNativesAndExport) {
  vnatscrapGetDefaultClass();
  Owned u{native(vnatscrapGetUnionClass())};
  setValue<std::int32_t>(u.o, 4);
  {
    vscrap w = vscrapWalk(u.o);
    vclassRec<vabstractUnionClassRec>(u.o)->setMember(&w, integerScrap(44));
  }
  Owned pointer{native(vnatscrapGetPointerClass())};
  setValue<void*>(pointer.o, u.o);
  Owned held{native(vnatscrapGetScrapClass())};
  setValue<vinstance*>(held.o, pointer.o);
  Owned longlong{native(vnatscrapGetLonglongClass())};
  setValue<std::int64_t>(longlong.o, -(std::int64_t{7} << 40));

  struct Case {
    vinstance* value;
    vclass* native;
  };
  for (const Case& c : {Case{held.o, vnatscrapGetScrapClass()}, Case{longlong.o, vnatscrapGetLonglongClass()}}) {
    Owned copy{vscrapCreateNativeTypeable()};
    vscrapImport(vscrapWalk(c.value), vscrapWalk(copy.o));
    vinstance* inner = static_cast<vscrapNativeTypeable*>(copy.o)->delegate;
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->cls, c.native);
    EXPECT_EQ(dumpText(copy.o), dumpText(c.value));
  }
  EXPECT_EQ(dumpText(held.o), "{:: {* [ switch (4) \n44\n] } ::}");
}

}  // namespace
