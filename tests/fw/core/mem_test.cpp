#include "fw/core/mem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <vector>

// A failed allocation must come back to the framework, not end the test.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

TEST(Memory, ZeroSizeAndNullRealloc) {
  void* a = vmemAlloc(0);
  ASSERT_NE(a, nullptr);
  void* b = vmemRealloc(nullptr, 16);
  ASSERT_NE(b, nullptr);
  auto* c = static_cast<unsigned char*>(vmemAllocClear(32));
  for (int i = 0; i < 32; ++i) EXPECT_EQ(c[i], 0);
  vmemFree(a), vmemFree(b), vmemFree(c), vmemFree(nullptr);
}

TEST(Memory, FailedRequestsRaiseWithTheirSizes) {
  constexpr std::size_t huge = SIZE_MAX / 2;
  std::size_t seen = 0;
  int err = 0;
  const vexClass* cls = nullptr;
  vexGuard([] { vmemAlloc(huge); },
           [&](vexHandler& h) {
             auto* e = static_cast<vexMemAllocException*>(vexFindException(&vexMemoryClass));
             cls = e->cls, seen = e->size, err = e->errnum;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(cls, &vexMemoryAllocClass);
  EXPECT_EQ(seen, huge);
  EXPECT_EQ(err, ENOMEM);

  void* block = vmemAlloc(8);
  void* reported = nullptr;
  vexGuard([&] { vmemRealloc(block, huge); },
           [&](vexHandler& h) {
             auto* e = static_cast<vexMemReallocException*>(vexFindException(&vexMemoryReallocClass));
             reported = e->block, seen = e->size;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(reported, block);
  EXPECT_EQ(seen, huge);
  vmemFree(block);

  bool raised = false;
  vexGuard([] { vmemArraySize(SIZE_MAX / 4, 8); }, [&](vexHandler& h) {
    raised = true;
    vexSetCurrentException(h.savedChain);
  });
  EXPECT_TRUE(raised);
}

// Chunk sizes: 64 / size + 2 first, then count + count / 4 (at least one more).
TEST(Pools, ChunkGrowth) {
  struct Case {
    std::size_t size;
    std::vector<std::size_t> chunks;
  } cases[] = {{20, {5, 6, 7, 8, 10, 12, 15}}, {64, {3, 4, 5, 6}}, {100, {2, 3, 4, 5}}, {1, {66, 82}}};
  for (const auto& c : cases) {
    vpool* pool = vpoolCreate(c.size);
    std::vector<void*> taken;
    std::size_t capacity = 0;
    for (std::size_t chunk : c.chunks) {
      capacity += chunk;
      while (taken.size() < capacity) taken.push_back(vpoolAlloc(pool));
      EXPECT_EQ(vpoolGetCapacity(pool), capacity) << c.size;
      EXPECT_EQ(vpoolGetUsed(pool), capacity);
    }
    for (void* e : taken) vpoolFree(pool, e);
    EXPECT_EQ(vpoolGetUsed(pool), 0u);
    vpoolDestroy(pool);
  }
}

TEST(Pools, ContainsAndFreshChunk) {
  vpool pool;
  vpoolInit(&pool, 24);
  auto* chunk = static_cast<vpoolChunk*>(vpoolGrow(&pool, 4));
  EXPECT_EQ(vpoolGetUsed(&pool), 0u);
  EXPECT_EQ(vpoolContains(&pool, chunk), 0);  // the chunk's header
  void* e = vpoolAlloc(&pool);
  EXPECT_EQ(vpoolContains(&pool, e), 1);
  // The element at the chunk's end is handed out first.
  EXPECT_EQ(static_cast<char*>(e) + pool.roundedSize, chunk->end);
  int local;
  EXPECT_EQ(vpoolContains(&pool, &local), 0);
  // An embedded pool record is left alone by destroy.
  vpoolDestroy(&pool);
  EXPECT_EQ(pool.elementSize, 0u);
  EXPECT_EQ(pool.chunks, nullptr);
}

TEST(Pools, ZeroElementSizeRaisesRange) {
  bool range = false;
  vexGuard([] { vpoolCreate(0); }, [&](vexHandler& h) {
    range = vexFindException(&vexArgRangeClass) != nullptr;
    vexSetCurrentException(h.savedChain);
  });
  EXPECT_TRUE(range);
}

}  // namespace
