// Large arrays built from the text form and a string list stored into a
// memory resource: what they allocate grows with the element count, not
// with its square (an array rewritten or copied whole for each element).
// The program counts the bytes operator new hands out.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/widgets/lists/liststr.h"

namespace {
std::atomic<std::size_t> allocated{0};
}  // namespace

void* operator new(std::size_t size) {
  allocated.fetch_add(size, std::memory_order_relaxed);
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr std::int32_t kElements = 20000;
// Bytes an element may cost; an array rewritten per element costs
// thousands times more at this count.
constexpr std::size_t kPerElement = 2000;

TEST(ResourceArrayGrowth, TextFormArraysBuiltAtTheirCount) {
  vrstoreInstallInterface();
  struct Case {
    const char* kind;
    std::string (*element)(std::int32_t i);
    std::string (*read)(vresource a, std::int32_t i);
  } cases[] = {
      {"integer", [](std::int32_t i) { return std::to_string(i * 37 - 5000); },
       [](vresource a, std::int32_t i) { return std::to_string(vrstoreGetAtInteger(a, i)); }},
      {"string", [](std::int32_t i) { return i % 5 == 3 ? std::string("none") : "\"s" + std::to_string(i) + "\""; },
       [](vresource a, std::int32_t i) {
         return vrstoreGetNumber(vrstoreGetAt(a, i)) ? "\"" + vrstoreGetAtStringText(a, i) + "\"" : std::string("none");
       }},
      {"tag", [](std::int32_t i) { return "t" + std::to_string(i % 300); },
       [](vresource a, std::int32_t i) { return std::string(vrstoreGetAtTag(a, i)); }},
      {"boolean", [](std::int32_t i) { return std::to_string(i % 2); },
       [](vresource a, std::int32_t i) { return std::to_string(vrstoreGetAtBoolean(a, i)); }},
  };
  for (const Case& c : cases) {
    std::string text = std::string("Big = array ") + c.kind + " [\n";
    for (std::int32_t i = 0; i < kElements; ++i) text += c.element(i) + "\n";
    text += "]\n";
    vresource root = vrstoreCreateMemory();
    std::string error;
    std::size_t before = allocated.load();
    ASSERT_TRUE(vrtextParse(text, root, &error)) << c.kind << ": " << error;
    std::size_t cost = allocated.load() - before;
    EXPECT_LT(cost, kPerElement * kElements) << c.kind;
    vresource a = vrstoreGet(root, vnameInternLiteral("Big"));
    ASSERT_EQ(vrstoreCount(a), kElements) << c.kind;
    for (std::int32_t i : {0, 1, 2, 3, 4, 999, kElements / 2, kElements - 2, kElements - 1})
      EXPECT_EQ(c.read(a, i), c.element(i)) << c.kind << " " << i;
    vrstoreCloseFile(root);
  }
}

// The text form written back: each element read on its own, not with a
// copy of its whole array; the text read again gives the same text.
TEST(ResourceArrayGrowth, TextFormArraysDumpedAtTheirCount) {
  vrstoreInstallInterface();
  struct Case {
    const char* kind;
    std::string (*element)(std::int32_t i);
  } cases[] = {
      {"integer", [](std::int32_t i) { return std::to_string(i * 37 - 5000); }},
      {"string", [](std::int32_t i) { return i % 5 == 3 ? std::string("none") : "\"s" + std::to_string(i) + "\""; }},
      {"tag", [](std::int32_t i) { return "t" + std::to_string(i % 300); }},
      {"opaque", [](std::int32_t i) { return "\"" + std::to_string(1000 + i % 9000) + "\""; }},
      {"array", [](std::int32_t i) { return "integer [ " + std::to_string(i) + " ]"; }},
  };
  for (const Case& c : cases) {
    std::string text = std::string("Big = array ") + c.kind + " [\n";
    for (std::int32_t i = 0; i < kElements; ++i) text += c.element(i) + "\n";
    text += "]\n";
    vresource root = vrstoreCreateMemory();
    std::string error;
    ASSERT_TRUE(vrtextParse(text, root, &error)) << c.kind << ": " << error;
    std::size_t before = allocated.load();
    std::string dumped = vrtextDump(root);
    EXPECT_LT(allocated.load() - before, kPerElement * kElements) << c.kind;
    vresource again = vrstoreCreateMemory();
    ASSERT_TRUE(vrtextParse(dumped, again, &error)) << c.kind << ": " << error;
    EXPECT_EQ(vrtextDump(again), dumped) << c.kind;
    EXPECT_NE(dumped.find(c.element(kElements - 1)), std::string::npos) << c.kind;
    vrstoreCloseFile(again);
    vrstoreCloseFile(root);
  }
}

TEST(ResourceArrayGrowth, StringListStoredIntoAMemoryResource) {
  vrstoreInstallInterface();
  constexpr std::int32_t rows = kElements / 10, columns = 10;
  vliststr* l = vliststrCreate();
  vlistSetColumnCount(l, columns);
  vlistSetRowCount(l, rows);
  for (std::int32_t r = 0; r < rows; ++r)
    for (std::int32_t c = 0; c < columns; ++c)
      vliststrSetCellScribed(l, r, c, vscribeCString(("r" + std::to_string(r) + "c" + std::to_string(c)).c_str()));
  vresource root = vrstoreCreateMemory();
  vresource out = vrstoreCreate(root, vnameInternLiteral("Strings"), vresDICTIONARY);
  std::size_t before = allocated.load();
  vliststrClassOf(l)->store(l, out);
  EXPECT_LT(allocated.load() - before, kPerElement * kElements);
  vresource storage = vrstoreGet(out, vnameInternLiteral("ListStorage"));
  ASSERT_EQ(vrstoreCount(storage), rows * columns);
  // Column-major: each column's rows in turn.
  EXPECT_EQ(vrstoreGetAtStringText(storage, 0), "r0c0");
  EXPECT_EQ(vrstoreGetAtStringText(storage, rows + 5), "r5c1");
  EXPECT_EQ(vrstoreGetAtStringText(storage, rows * columns - 1), "r" + std::to_string(rows - 1) + "c9");
  vinstanceDestroy(l);
  vrstoreCloseFile(root);
}

}  // namespace
