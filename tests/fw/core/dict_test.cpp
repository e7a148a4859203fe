#include "fw/core/dict.h"

#include <gtest/gtest.h>

#include <map>

#include "fw/core/ex.h"
#include "fw/core/name.h"

namespace {

const void* key(std::uintptr_t k) { return reinterpret_cast<const void*>(k); }

TEST(Dictionaries, GrowAtTheNinthInsertion) {
  vdict* d = vdictCreate(vdictHashPointer);
  EXPECT_EQ(d->slotCount, 11u);
  EXPECT_EQ(d->threshold, 3u);
  for (std::uintptr_t i = 1; i <= 9; ++i) {
    vdictStoreInteger(d, key(i * 4), static_cast<std::int32_t>(i));
    EXPECT_EQ(d->slotCount, i < 9 ? 11u : 23u) << i;
  }
  for (std::uintptr_t i = 1; i <= 9; ++i) EXPECT_EQ(vdictGetInteger(d, key(i * 4)), static_cast<std::int32_t>(i));
  vdictStore(d, key(4), key(99));  // replacing adds nothing
  EXPECT_EQ(vdictCount(d), 9u);
  vdictResize(d, 12);
  EXPECT_EQ(d->slotCount, 13u);
  EXPECT_EQ(vdictGet(d, key(4)), key(99));
  vdictDestroy(d);
  vdict* small = vdictCreate(vdictHashPointer);
  vdictResize(small, 100);
  EXPECT_EQ(small->slotCount, 101u);
  vdictResize(small, 5);
  EXPECT_EQ(small->slotCount, 11u);
  vdictDestroy(small);
}

TEST(Dictionaries, AbsentKeysAndKeyZero) {
  vdict* d = vdictCreate(vdictHashName);
  vname k = vnameInternLiteral("absent");
  EXPECT_EQ(vdictGet(d, k), nullptr);
  EXPECT_EQ(vdictGetInteger(d, k), INT32_MIN);
  EXPECT_EQ(vdictGetFloat(d, k), 1.17549435e-38f);
  vdictStoreFloat(d, k, 2.5);
  EXPECT_EQ(vdictGetFloat(d, k), 2.5f);
  vdictStoreInteger(d, k, INT32_MIN);  // indistinguishable from absent but for vdictHas
  EXPECT_TRUE(vdictHas(d, k));
  int raised = 0;
  auto expectRaise = [&](const vexClass* cls, auto body) {
    vexGuard(body, [&](vexHandler& h) {
      raised += vexGetCurrentException()->cls == cls;
      vexSetCurrentException(h.savedChain);
    });
  };
  expectRaise(&vexArgNullClass, [&] { vdictStore(d, nullptr, k); });
  expectRaise(&vexArgNullClass, [&] { vdictGet(d, nullptr); });
  expectRaise(&vexArgClass, [&] { vdictRemove(d, vnameInternLiteral("never")); });
  expectRaise(&vexArgRangeClass, [&] { vdictSetLoadDivisor(d, 0); });
  EXPECT_EQ(raised, 4);
  vdictDestroy(d);
}

// Keys that share a home slot form one probe run; removing from its middle
// must keep the rest reachable.
TEST(Dictionaries, RemovalInsideAProbeRun) {
  for (std::uintptr_t victim = 0; victim < 5; ++victim) {
    vdict* d = vdictCreate(vdictHashPointer);
    // (k >> 2) mod 11 = 3 for all: a run from slot 3; one more homed at 4.
    std::uintptr_t keys[] = {12, 56, 100, 16, 144};
    for (auto k : keys) vdictStore(d, key(k), key(k + 1));
    vdictRemove(d, key(keys[victim]));
    for (auto k : keys) EXPECT_EQ(vdictGet(d, key(k)), k == keys[victim] ? nullptr : key(k + 1)) << victim;
    EXPECT_EQ(vdictCount(d), 4u);
    vdictDestroy(d);
  }
}

TEST(Dictionaries, IterationVisitsEachOnceAndCopiesMatch) {
  vdict* d = vdictCreate(vdictHashPointer);
  for (std::uintptr_t i = 1; i <= 30; ++i) vdictStore(d, key(i * 8), key(i));
  std::map<const void*, int> seen;
  vdictIterator it;
  vdictInitIterator(&it, d);
  const void** last = nullptr;
  while (vdictNextIterator(&it)) {
    ++seen[vdictIteratorKey(&it)];
    EXPECT_GT(it.slot, last);  // slot order
    last = it.slot;
  }
  EXPECT_EQ(seen.size(), 30u);
  for (auto& [k, n] : seen) EXPECT_EQ(n, 1);
  vdict* c = vdictCopy(d);
  EXPECT_EQ(c->slotCount, d->slotCount);
  for (std::uintptr_t i = 1; i <= 30; ++i) EXPECT_EQ(vdictGet(c, key(i * 8)), key(i));
  vdictDestroy(c);
  vdictDestroy(d);
  EXPECT_EQ(vdictHashPointer(key(0x1000)), 0x400u);
}

}  // namespace
