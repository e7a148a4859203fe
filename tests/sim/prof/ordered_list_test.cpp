// The profile tables' ordered lists: balance, duplicates after their
// equals, the find modes, iteration from a key, removal, re-sorting.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sim/prof/ordered_list.h"
#include "sim/prof/profiler.h"

namespace {

// Code nodes are ordered by address; sequence tells equal ones apart.
struct nodes {
  std::vector<code_node> storage;
  explicit nodes(std::size_t n) : storage(n) {}
  code_node* at(std::size_t i, uint32_t address, uint32_t sequence) {
    storage[i].decoded.address = address;
    storage[i].sequence = sequence;
    return &storage[i];
  }
};

std::vector<uint32_t> addresses(const ordered_list& list, const void* from = nullptr) {
  std::vector<uint32_t> out;
  auto it = list.begin(from);
  while (auto* n = static_cast<code_node*>(it.next())) out.push_back(n->decoded.address);
  return out;
}

std::vector<uint32_t> sequences(const ordered_list& list) {
  std::vector<uint32_t> out;
  auto it = list.begin();
  while (auto* n = static_cast<code_node*>(it.next())) out.push_back(n->sequence);
  return out;
}

TEST(ordered_list, StaysBalancedForSortedAndReversedInput) {
  for (bool reversed : {false, true}) {
    constexpr uint32_t N = 1023;
    nodes pool(N);
    ordered_list list(CMP_CODE_ADDRESS, nullptr);
    for (uint32_t i = 0; i < N; ++i) list.insert(pool.at(i, reversed ? N - i : i + 1, i), false);
    EXPECT_EQ(list.count(), static_cast<int>(N));
    EXPECT_LE(list.height(), static_cast<int>(1.45 * std::log2(N + 2.0)));
    const std::vector<uint32_t> got = addresses(list);
    for (uint32_t i = 0; i < N; ++i) ASSERT_EQ(got[i], i + 1);
    // Removing every other element keeps the tree balanced.
    for (uint32_t a = 1; a <= N; a += 2) {
      code_node key;
      key.decoded.address = a;
      ASSERT_NE(list.remove(&key, DELETE_KEEP), nullptr);
    }
    EXPECT_EQ(list.count(), static_cast<int>(N / 2));
    EXPECT_LE(list.height(), static_cast<int>(1.45 * std::log2(N / 2 + 2.0)));
    EXPECT_EQ(addresses(list).front(), 2u);
  }
}

TEST(ordered_list, EqualElementsAreDroppedOrFollowTheirEquals) {
  nodes pool(5);
  ordered_list list(CMP_CODE_ADDRESS, nullptr);
  EXPECT_TRUE(list.insert(pool.at(0, 7, 1), false));
  EXPECT_FALSE(list.insert(pool.at(1, 7, 2), false));
  EXPECT_TRUE(list.insert(pool.at(2, 3, 3), true));
  EXPECT_TRUE(list.insert(pool.at(3, 7, 4), true));
  EXPECT_TRUE(list.insert(pool.at(4, 7, 5), true));
  EXPECT_EQ(sequences(list), (std::vector<uint32_t>{3, 1, 4, 5}));
  // Find and remove take the first of the equal ones.
  code_node key;
  key.decoded.address = 7;
  EXPECT_EQ(static_cast<code_node*>(list.find(&key, FIND_EQUAL))->sequence, 1u);
  EXPECT_EQ(static_cast<code_node*>(list.remove(&key, DELETE_KEEP))->sequence, 1u);
  EXPECT_EQ(sequences(list), (std::vector<uint32_t>{3, 4, 5}));
}

TEST(ordered_list, FindModesAndIterationFromAKey) {
  nodes pool(3);
  ordered_list list(CMP_CODE_ADDRESS, nullptr);
  for (uint32_t i = 0; i < 3; ++i) list.insert(pool.at(i, 10 * (i + 1), i), false);
  struct row {
    uint32_t key;
    int mode;
    int64_t want;  // address found, -1 for none
  };
  const row rows[] = {{20, FIND_EQUAL, 20}, {25, FIND_EQUAL, -1}, {25, FIND_BELOW, 20},
                      {25, FIND_ABOVE, 30}, {5, FIND_BELOW, -1},  {5, FIND_ABOVE, 10},
                      {35, FIND_ABOVE, -1}, {35, FIND_BELOW, 30}, {10, FIND_ABOVE, 10}};
  for (const row& r : rows) {
    code_node key;
    key.decoded.address = r.key;
    auto* found = static_cast<code_node*>(list.find(&key, r.mode));
    EXPECT_EQ(found == nullptr ? -1 : static_cast<int64_t>(found->decoded.address), r.want)
        << r.key << " mode " << r.mode;
  }
  code_node key;
  key.decoded.address = 15;
  EXPECT_EQ(addresses(list, &key), (std::vector<uint32_t>{20, 30}));
  key.decoded.address = 31;
  EXPECT_TRUE(addresses(list, &key).empty());
}

TEST(ordered_list, ResortsIntoAnotherOrderAndWalksBothWays) {
  for (bool in_place : {true, false}) {
    nodes pool(6);
    ordered_list list(CMP_CODE_ADDRESS, nullptr);
    const uint32_t seq[] = {6, 2, 5, 1, 4, 3};
    for (uint32_t i = 0; i < 6; ++i) list.insert(pool.at(i, i, seq[i]), false);
    list.resort(CMP_CODE_SEQUENCE, in_place);
    EXPECT_EQ(list.comparator(), CMP_CODE_SEQUENCE);
    EXPECT_EQ(sequences(list), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
    std::vector<uint32_t> down;
    list.walk([](void* e, void* out) {
      static_cast<std::vector<uint32_t>*>(out)->push_back(static_cast<code_node*>(e)->sequence);
    }, &down, WALK_IN, true);
    EXPECT_EQ(down, (std::vector<uint32_t>{6, 5, 4, 3, 2, 1}));
  }
}

}  // namespace
