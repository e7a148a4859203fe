#include "fw/core/array.h"

#include <gtest/gtest.h>

#include <vector>

#include "fw_support.h"

namespace {

std::vector<int> contents(int* a) { return std::vector<int>(a, a + varrayCount(a)); }

int* fromList(std::initializer_list<int> values) {
  auto* a = static_cast<int*>(varrayCreate(sizeof(int), 0, 10));
  for (int v : values) varrayAppendOf(&a, v);
  return a;
}

// The index an Index raise carried, or -100 when nothing was raised.
template <class F>
int raisedIndex(F body) {
  int index = -100;
  vexGuard(body, [&](vexHandler& h) {
    auto* e = static_cast<varrayIndexException*>(vexFindException(&varrayArrayClass));
    index = e ? e->index : -200;
    vexSetCurrentException(h.savedChain);
  });
  return index;
}

TEST(Arrays, GrowsByTheStep) {
  int* a = fromList({});
  for (int i = 0; i < 10; ++i) varrayAppendOf(&a, i);
  EXPECT_EQ(varrayCapacity(a), 10);
  varrayAppendOf(&a, 10);
  EXPECT_EQ(varrayCapacity(a), 20);
  varrayHeaderOf(a)->growStep = -2;  // half the capacity
  *static_cast<int*>(varrayGrow(reinterpret_cast<void**>(&a), 15, sizeof(int))) = 0;
  EXPECT_EQ(varrayCapacity(a), 30);  // 26 needed: 20 + 20 / 2 holds them
  varrayHeaderOf(a)->growStep = 5;
  varrayGrow(reinterpret_cast<void**>(&a), 20, sizeof(int));
  EXPECT_EQ(varrayCapacity(a), 51);  // 46 needed, 30 + 5 short: 46 + 5
  varrayDestroy(a);
}

TEST(Arrays, RemoveKeepingOrderOrNot) {
  int* a = fromList({0, 1, 2, 3, 4, 5, 6});
  varrayRemove(reinterpret_cast<void**>(&a), 0, 2, sizeof(int), false);
  EXPECT_EQ(contents(a), (std::vector<int>{5, 6, 2, 3, 4}));
  varrayRemove(reinterpret_cast<void**>(&a), 3, 2, sizeof(int), false);  // nothing follows: moves down
  EXPECT_EQ(contents(a), (std::vector<int>{5, 6, 2}));
  varrayRemove(reinterpret_cast<void**>(&a), 0, 1, sizeof(int), true);
  EXPECT_EQ(contents(a), (std::vector<int>{6, 2}));
  varrayDestroy(a);
}

TEST(Arrays, SearchAndRemoveByValue) {
  int* a = fromList({4, 7, 4, 9, 4});
  int four = 4, seven = 7, absent = 8;
  EXPECT_EQ(varrayIndexOf(a, &four, true, 1, sizeof(int)), 2);
  EXPECT_EQ(varrayIndexOf(a, &four, false, 5, sizeof(int)), 4);
  EXPECT_EQ(varrayIndexOf(a, &seven, false, 0, sizeof(int)), -1);
  EXPECT_EQ(varrayIndexOf(a, &absent, true, 0, sizeof(int)), -1);
  EXPECT_EQ(varrayFind(a, &absent, true, 0, sizeof(int)), nullptr);
  EXPECT_EQ(varrayRemoveFirst(reinterpret_cast<void**>(&a), &seven, true, sizeof(int)), 1);
  EXPECT_EQ(varrayRemoveAll(reinterpret_cast<void**>(&a), &four, false, sizeof(int)), 3);
  EXPECT_EQ(contents(a), (std::vector<int>{9}));
  varrayDestroy(a);
}

TEST(Arrays, IndexRaisesCarryTheIndex) {
  int* a = fromList({1, 2});
  auto holder = reinterpret_cast<void**>(&a);
  int one = 1;
  struct Case {
    std::function<void()> body;
    int index;
  } cases[] = {
      {[&] { varrayOpen(holder, 2, 1, sizeof(int)); }, -100},  // at the count: an append
      {[&] { varrayOpen(holder, 4, 1, sizeof(int)); }, 4},
      {[&] { varrayOpen(holder, -1, 1, sizeof(int)); }, -1},
      {[&] { varrayRemoveLast(holder, 4, sizeof(int)); }, 3},   // n - 1
      {[&] { varrayRemove(holder, 2, 2, sizeof(int), true); }, 2},
      {[&] { varrayIndexOf(a, &one, true, 5, sizeof(int)); }, 5},
  };
  for (const auto& c : cases) EXPECT_EQ(raisedIndex(c.body), c.index);
  varrayDestroy(a);
}

TEST(Arrays, CallerStorageIsLeftAndReturnedTo) {
  alignas(varrayHeader) unsigned char buffer[varrayStorageSize(4, sizeof(int))];
  auto* a = static_cast<int*>(varrayCreateInStorage(buffer, sizeof buffer, sizeof(int)));
  auto* inBuffer = a;
  for (int i = 0; i < 20; ++i) varrayAppendOf(&a, i);
  EXPECT_NE(a, inBuffer);
  EXPECT_EQ(varrayHeaderOf(a)->callerStorage, inBuffer);
  varrayRemoveLast(reinterpret_cast<void**>(&a), 18, sizeof(int));
  EXPECT_EQ(a, inBuffer);
  EXPECT_EQ(contents(a), (std::vector<int>{0, 1}));
  varrayDestroy(a);  // not freed: it is the caller's
  void* clone = varrayClone(a, sizeof(int));
  EXPECT_EQ(varrayHeaderOf(clone)->callerStorage, nullptr);
  varrayDestroy(clone);
}

TEST(Arrays, OversizedCapacityRaisesInsteadOfWrapping) {
  bool raised = false;
  vexGuard([] { varrayCreate(1u << 20, 0, 1 << 30); }, [&](vexHandler& h) {
    raised = vexFindException(&vexMemoryClass) != nullptr;
    vexSetCurrentException(h.savedChain);
  });
  EXPECT_TRUE(raised);
}

TEST(Arrays, IndexDumpPrintsArrayAndIndex) {
  ChildRun r = runInChild([] {
    int* a = fromList({1, 2});
    errno = 0;
    varrayRemoveLast(reinterpret_cast<void**>(&a), 3, sizeof(int));
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("    error 1: /Array/Index/\n\tarray: 0x"), std::string::npos);
  EXPECT_NE(r.err.find("\n\tarray index: 2\n"), std::string::npos);
}

}  // namespace
