#include <cstdint>

#include "scrap_support.h"

namespace {

TEST(NativeScraps, TypeableKeepsTheFirstKind) {
  vinstance* integer = integerScrap(42);
  vinstance* made = vscrapMakeTypeable(integer);  // consumes the integer
  auto* typed = static_cast<vscrapNativeTypeable*>(made);
  ASSERT_NE(typed->delegate, nullptr);
  EXPECT_EQ(typed->delegate->cls, vscrapGetNativeClass(vscrapGetIntegerClass()));
  EXPECT_EQ(vscrapGetInteger(vscrapWalk(made)), 42);
  EXPECT_EQ(vscrapMakeTypeable(made), made);
  EXPECT_EQ(vscrapEntype(vscrapWalk(made), vscrapGetStringClass()), 0);
  vinstance* fresh = vscrapCreateNativeTypeable();
  EXPECT_EQ(vscrapEntype(vscrapWalk(fresh), vinstanceGetDefaultClass()), 0);  // no native class for it
  EXPECT_EQ(vscrapEntype(vscrapWalk(fresh), vscrapGetTagClass()), 1);
  EXPECT_EQ(vscrapGetTag(vscrapWalk(fresh)), nullptr);
  vinstanceDestroy(made);
  vinstanceDestroy(fresh);
}

TEST(NativeScraps, ArrayCountsAndRanges) {
  vinstance* a = nativeOf(vscrapGetArrayClass());
  vscrapSetArrayCount(vscrapWalk(a), 2);
  auto* arr = static_cast<vscrapNativeArray*>(a);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(arr->begin[i]->cls, vscrapGetNativeTypeableClass());
    EXPECT_EQ(static_cast<vscrapNativeTypeable*>(arr->begin[i])->delegate, nullptr);
  }
  for (std::int32_t bad : {-1, 2, INT32_MIN}) {
    EXPECT_EQ(raised([&] { vscrapGetArrayElement(vscrapWalk(a), bad); }).cls, &vexArgRangeClass) << bad;
    EXPECT_EQ(raised([&] { vscrapSetArrayElement(vscrapWalk(a), bad, integerScrap(1)); }).cls, &vexArgRangeClass);
  }
  EXPECT_EQ(raised([&] { vscrapSetArrayCount(vscrapWalk(a), -5); }).cls, &vexArgRangeClass);
  EXPECT_EQ(vscrapGetArrayCount(vscrapWalk(a)), 2);
  vscrapSetArrayCount(vscrapWalk(a), 0);
  EXPECT_EQ(vscrapGetArrayCount(vscrapWalk(a)), 0);
  vinstanceDestroy(a);
}

TEST(NativeScraps, BlockRangesAndOwnership) {
  vinstance* b = nativeOf(vscrapGetBlockClass());
  vscrapSetBlockSize(vscrapWalk(b), 8);
  unsigned char buf[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  vscrapWriteBlock(vscrapWalk(b), 0, 8, buf);
  vscrapReadBlock(vscrapWalk(b), 8, 0, buf);  // an empty range at the end
  struct {
    std::size_t offset, count;
  } bad[] = {{0, 9}, {8, 1}, {9, 0}, {SIZE_MAX, 2}, {2, SIZE_MAX}};
  for (auto [offset, count] : bad) {
    EXPECT_EQ(raised([&] { vscrapReadBlock(vscrapWalk(b), offset, count, buf); }).cls, &vexArgRangeClass);
    EXPECT_EQ(raised([&] { vscrapWriteBlock(vscrapWalk(b), offset, count, buf); }).cls, &vexArgRangeClass);
  }
  unsigned char outside[4] = {9, 9, 9, 9};
  vscrapNativeBlock* over = vscrapCreateNativeBlockOver(outside, 4);
  Raised r = raised([&] { vscrapSetBlockSize(vscrapWalk(over), 2); });
  EXPECT_EQ(r.cls, &vexArgClass);
  EXPECT_EQ(r.message, "Scrap doesn't own memory");
  vscrapWriteBlock(vscrapWalk(over), 1, 2, buf);
  EXPECT_EQ(outside[1], 1);
  vinstanceDestroy(over);  // leaves the memory alone
  EXPECT_EQ(outside[3], 9);
  vinstanceDestroy(b);
}

TEST(NativeScraps, StringsKeepNamesAndCopyOthers) {
  vinstance* s = nativeOf(vscrapGetStringClass());
  auto* str = static_cast<vscrapNativeString*>(s);
  EXPECT_EQ(dumpText(s), "");
  vname name = vnameInternLiteral("Title");
  vscrapSetString(vscrapWalk(s), vnameScribe(name));
  EXPECT_EQ(str->text, name);
  EXPECT_EQ(str->permanent, 1);
  char text[] = "mutable";
  vscrapSetString(vscrapWalk(s), vscribeCString(text));
  text[0] = 'M';
  EXPECT_EQ(str->permanent, 0);
  EXPECT_EQ(dumpText(s), "mutable");
  vscrapSetString(vscrapWalk(s), vscribeCString("longer than before, reusing the owned string"));
  vscribe* got = vscrapGetString(vscrapWalk(s));
  char out[64];
  vscribeGetCString(got, out);
  EXPECT_STREQ(out, "longer than before, reusing the owned string");
  vinstanceDestroy(s);
}

}  // namespace

namespace {

TEST(NativeScraps, CreateNativeArrayMakesAnEmptyArrayOfTheNativeClass) {
  vscrapNativeArray* a = vscrapCreateNativeArray();
  EXPECT_EQ(static_cast<vclass*>(vscrapGetNativeArrayClass()), vscrapGetNativeClass(vscrapGetArrayClass()));
  EXPECT_EQ(a->cls, vscrapGetNativeArrayClass());
  EXPECT_TRUE(vclassIsSubclass(a->cls, vscrapGetArrayClass()));
  EXPECT_EQ(vscrapGetArrayCount(vscrapWalk(a)), 0);
  vscrapSetArrayCount(vscrapWalk(a), 3);
  EXPECT_EQ(vscrapGetArrayCount(vscrapWalk(a)), 3);
  vinstanceDestroy(a);
}

}  // namespace
