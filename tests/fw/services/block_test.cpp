#include "fw/services/block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fw/core/mem.h"

namespace {

std::string contents(const vsessionBlock& b) { return std::string(vsessionBlockBytes(&b), vsessionBlockLength(&b)); }

void appendText(vsessionBlock* b, const char* text) {
  std::uint32_t n = static_cast<std::uint32_t>(std::strlen(text));
  std::memcpy(vsessionBlockAppendSpace(b, n), text, n);
}

std::string raisedMessage(void (*body)(vsessionBlock*), vsessionBlock* b, const vexClass** cls) {
  std::string text;
  *cls = nullptr;
  vexGuard([&] { body(b); }, [&](vexHandler& h) {
    *cls = vexGetCurrentException()->cls;
    text = vexGetCurrentException()->message ? vexGetCurrentException()->message : "";
    vexSetCurrentException(h.savedChain);
  });
  return text;
}

struct GrowthCase {
  const char* name;
  std::uint32_t flags;
  float growth;
  std::vector<std::uint32_t> appends;
  std::vector<std::uint32_t> capacities;  // after each append
};

TEST(Block, CapacitiesFollowTheGrowthRule) {
  const GrowthCase cases[] = {
      {"zero-filled allocates exactly", 0, 0.0f, {7, 3, 1}, {7, 10, 11}},
      {"proportional 2.0", vsessionBlockPROPORTIONAL, 2.0f, {10, 5, 20, 25}, {10, 25, 60, 60}},
      {"fixed 8 bytes", 0, 8.0f, {10, 10, 6}, {18, 28, 28}},
      {"factor below one still fits", vsessionBlockPROPORTIONAL, 0.5f, {10, 10}, {10, 20}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    vsessionBlock b{};
    b.flags = c.flags;
    b.growth = c.growth;
    std::string expect;
    for (std::size_t i = 0; i < c.appends.size(); ++i) {
      std::string part(c.appends[i], static_cast<char>('a' + i));
      std::memcpy(vsessionBlockAppendSpace(&b, c.appends[i]), part.data(), part.size());
      expect += part;
      EXPECT_EQ(b.capacity, c.capacities[i]) << "after append " << i;
    }
    EXPECT_EQ(contents(b), expect);
    EXPECT_TRUE(b.flags & vsessionBlockOWNS);
    vsessionBlockRelease(&b);
  }
}

struct PrependCase {
  const char* name;
  std::uint32_t capacity;
  std::uint32_t flags;
  float growth;
  std::uint32_t n;
  std::uint32_t head, tail, newCapacity;
};

TEST(Block, PrependMakesRoomInFront) {
  const PrependCase cases[] = {
      // The contents move up by all the free room after the tail.
      {"room after the tail", 32, vsessionBlockPROPORTIONAL, 2.0f, 4, 18, 32, 32},
      {"no room, proportional", 12, vsessionBlockPROPORTIONAL, 2.0f, 4, 0, 14, 28},
      {"no room, fixed", 12, 0, 0.0f, 4, 0, 14, 16},
      {"no room, fixed 5", 12, 0, 5.0f, 4, 0, 14, 21},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    vsessionBlock b{};
    b.flags = c.flags | vsessionBlockOWNS;
    b.growth = c.growth;
    vsessionBlockAttach(&b, vmemAlloc(c.capacity), c.capacity);
    appendText(&b, "0123456789");
    std::memcpy(vsessionBlockPrependSpace(&b, c.n), "HEAD", c.n);
    EXPECT_EQ(b.head, c.head);
    EXPECT_EQ(b.tail, c.tail);
    EXPECT_EQ(b.capacity, c.newCapacity);
    EXPECT_EQ(contents(b), "HEAD0123456789");
    vsessionBlockRelease(&b);
  }
}

TEST(Block, HeadReserveAndShrinking) {
  vsessionBlock b;
  vsessionBlockInitProportional(&b, 2.0f);
  vsessionBlockSetHead(&b, 73);  // empty: only head and tail move
  EXPECT_EQ(b.head, 73u);
  EXPECT_EQ(b.tail, 73u);
  appendText(&b, "body");
  EXPECT_EQ(b.capacity, 77u);
  std::memcpy(vsessionBlockPrependSpace(&b, 73), std::string(73, 'h').data(), 73);
  EXPECT_EQ(b.head, 0u);
  EXPECT_EQ(b.capacity, 77u);  // the header went into the reserve
  EXPECT_EQ(contents(b), std::string(73, 'h') + "body");

  // Moving the contents up grows by the distance when the tail would reach the end.
  vsessionBlockSetHead(&b, 4);
  EXPECT_EQ(b.head, 4u);
  EXPECT_EQ(b.tail, 81u);
  EXPECT_EQ(b.capacity, 81u);
  EXPECT_EQ(contents(b), std::string(73, 'h') + "body");

  const vexClass* cls;
  b.head = 10;
  b.tail = 20;
  std::string text = raisedMessage([](vsessionBlock* x) { vsessionBlockSetCapacity(x, 29); }, &b, &cls);
  EXPECT_EQ(cls, &vexArgRangeClass);
  EXPECT_EQ(text, "Cannot shrink block\n");
  EXPECT_EQ(b.capacity, 81u);
  raisedMessage([](vsessionBlock* x) { vsessionBlockSetCapacity(x, 30); }, &b, &cls);
  EXPECT_EQ(cls, nullptr);
  EXPECT_EQ(b.capacity, 30u);
  vsessionBlockReset(&b);
  EXPECT_EQ(b.data, nullptr);
  EXPECT_EQ(b.capacity, 0u);
}

TEST(Block, TakeAdoptsOrCopiesAndFrees) {
  vsessionBlock b{};
  char* memory = static_cast<char*>(vmemAlloc(16));
  std::memcpy(memory, "sixteen bytes!!!", 16);
  vsessionBlockAppendBytes(&b, memory, 16, 1);
  EXPECT_EQ(b.data, memory);  // adopted, not copied
  EXPECT_EQ(b.head, 0u);
  EXPECT_EQ(b.tail, 16u);
  EXPECT_EQ(b.capacity, 16u);
  EXPECT_TRUE(b.flags & vsessionBlockOWNS);

  char* more = static_cast<char*>(vmemAlloc(3));
  std::memcpy(more, "abc", 3);
  vsessionBlockAppendBytes(&b, more, 3, 1);  // not empty: copied, then freed
  EXPECT_EQ(contents(b), "sixteen bytes!!!abc");
  char plain[] = "xy";
  vsessionBlockAppendBytes(&b, plain, 2, 0);
  EXPECT_EQ(contents(b), "sixteen bytes!!!abcxy");
  vsessionBlockRelease(&b);
}

TEST(Block, StackBufferIsCopiedOnFirstGrowth) {
  char stack[8] = {'-', '-', 'a', 'b', 'c', 'd', '-', '-'};
  vsessionBlock b{};
  b.growth = 4.0f;
  vsessionBlockAttach(&b, stack, sizeof stack);
  b.head = 2;
  b.tail = 6;
  appendText(&b, "ef");  // fits: still the stack buffer
  EXPECT_EQ(b.data, stack);
  appendText(&b, "ghi");
  EXPECT_NE(b.data, stack);
  EXPECT_TRUE(b.flags & vsessionBlockOWNS);
  EXPECT_EQ(b.capacity, 8u + 3u + 4u);
  EXPECT_EQ(b.head, 2u);  // same offsets
  EXPECT_EQ(contents(b), "abcdefghi");
  EXPECT_EQ(std::string(stack, 8), "--abcdef");
  vsessionBlockRelease(&b);

  // Setting the capacity of an unowned block copies it too.
  char other[6] = {'x', 'y', 'z', 0, 0, 0};
  vsessionBlock c{};
  vsessionBlockAttach(&c, other, sizeof other);
  c.tail = 3;
  vsessionBlockSetCapacity(&c, 12);
  EXPECT_NE(c.data, other);
  EXPECT_EQ(contents(c), "xyz");
  vsessionBlockRelease(&c);
}

}  // namespace
