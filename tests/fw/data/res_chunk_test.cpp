#include <cstring>
#include <string>
#include <vector>

#include "fw/data/chunk.h"
#include "fw/data/res.h"
#include "scrap_support.h"

namespace {

struct MemoryChunkFile {
  std::vector<std::uint8_t> image = std::vector<std::uint8_t>(16 * vchunkBLOCK);
  vchunkFile* f = vchunkCreate(vchunkMemoryDataCreate(image.data(), image.size(), false, true));
  ~MemoryChunkFile() { vchunkClose(f); }

  std::uint32_t raw(std::initializer_list<std::uint8_t> bytes) {
    std::uint32_t a = vchunkAlloc(f, static_cast<std::uint32_t>(bytes.size()));
    std::memcpy(vchunkGetData(f, a), std::data(bytes), bytes.size());
    vchunkReleaseDirty(f, a);
    return a;
  }
  std::string text(std::uint32_t a) {
    char buf[64];
    *vscribeReadBounded(vresStringChunkScribe(f, a), buf, sizeof buf - 1) = 0;
    return buf;
  }
};

TEST(ResourceStrings, EncodingsReadAsTheInternalSet) {
  MemoryChunkFile m;
  struct {
    std::initializer_list<std::uint8_t> chunk;
    std::string text;
  } cases[] = {
      {{0, 'a', 0x85, 0xE9, 0x9F}, "a\xA0\xE9\xA0"},  // the Latin-1 gap reads as 0xA0
      {{1, 'M', 0x8E}, "M\xE9"},
      {{2, 0x00, 'A', 0x00, 0xE9, 0x01, 0x52}, "A\xE9\x8C"},
      {{3, 'r', 0x80, 'w'}, "r\x80w"},
      {{3}, ""},
  };
  for (const auto& c : cases) {
    std::uint32_t a = m.raw(c.chunk);
    EXPECT_EQ(m.text(a), c.text);
    EXPECT_EQ(vresStringChunkLength(m.f, a), c.text.size());
  }
  Raised unknown = raised([&] { m.text(m.raw({4, 'x'})); });
  EXPECT_EQ(unknown.cls, &vexModuleUnimplementedClass);
  EXPECT_EQ(unknown.message, "Unknown character set.");
  // Half a 16-bit character, or no encoding byte at all, is damage.
  for (std::uint32_t bad : {m.raw({2, 0x00, 'A', 0x00}), vchunkAlloc(m.f, 0)}) {
    EXPECT_EQ(raised([&] { vresStringChunkLength(m.f, bad); }).message, "Resource file is damaged");
    EXPECT_EQ(raised([&] { m.text(bad); }).cls, &vexArgClass);
  }
}

TEST(ResourceStrings, SetEmptyAndRangeReads) {
  MemoryChunkFile m;
  std::uint32_t a = vresStringChunkSet(m.f, 0, vscribeCString("hello"));
  ASSERT_NE(a, 0u);
  EXPECT_EQ(vchunkGetSize(m.f, a), 6u);
  EXPECT_EQ(vchunkGetData(m.f, a)[0], 3);
  vchunkRelease(m.f, a);
  char out[8] = {};
  vresStringChunkRead(m.f, a, 1, 3, out);
  EXPECT_STREQ(out, "ell");
  struct {
    std::size_t offset, count;
  } outside[] = {{4, 2}, {6, 1}, {SIZE_MAX, 2}, {1, SIZE_MAX}};
  for (auto [offset, count] : outside) {
    Raised r = raised([&] { vresStringChunkRead(m.f, a, offset, count, out); });
    EXPECT_EQ(r.cls, &vexArgRangeClass);
    EXPECT_EQ(r.message, "String contents out of range.");
  }
  // Set from its own text, longer: the chunk moves or grows.
  a = vresStringChunkSet(m.f, a, vscribeConcat(vresStringChunkScribe(m.f, a), vscribeLiteral(" world"), nullptr));
  EXPECT_EQ(m.text(a), "hello world");

  a = vresStringChunkSet(m.f, a, vscribeLiteral(""));
  EXPECT_EQ(a, 0u);
  EXPECT_EQ(m.text(a), "");
  vresStringChunkRead(m.f, a, 0, 0, out);
  EXPECT_EQ(raised([&] { vresStringChunkRead(m.f, a, 0, 1, out); }).message, "String contents out of range.");

  std::uint32_t blob = vresOpaqueChunkSetSize(m.f, 0, 3000);
  EXPECT_EQ(vchunkGetSize(m.f, blob), 3000u);
  EXPECT_EQ(vresOpaqueChunkSetSize(m.f, blob, 0), 0u);
}

}  // namespace
