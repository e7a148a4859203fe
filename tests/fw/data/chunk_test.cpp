#include "fw/data/chunk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "fw/data/btree.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

template <class F>
const vexClass* raised(F body, std::string* message = nullptr) {
  const vexClass* cls = nullptr;
  vexGuard(body, [&](vexHandler& h) {
    cls = vexGetCurrentException()->cls;
    if (message) *message = vexGetCurrentException()->message ? vexGetCurrentException()->message : "";
    vexSetCurrentException(h.savedChain);
  });
  return cls;
}

// A chunk file in a growable memory image: saved by copying it out.
Bytes saved(vchunkFile* f) {
  Bytes out(static_cast<std::size_t>(vchunkGetLastBlock(f) + 1) * vchunkBLOCK);
  vchunkFile* copy = vchunkSaveTo(f, vchunkMemoryDataCreate(out.data(), out.size(), false, true));
  vchunkClose(copy);
  return out;
}

vchunkFile* reopen(Bytes& image) { return vchunkOpen(vchunkMemoryDataCreate(image.data(), image.size(), false, true)); }

TEST(VarInts, EveryWidthBoundaryByteForByte) {
  struct Case {
    std::int32_t value;
    Bytes bytes;
  } cases[] = {
      {0, {0x00}},
      {1, {0x01, 0x01}},
      {127, {0x01, 0x7F}},
      {128, {0x02, 0x00, 0x80}},
      {-1, {0x01, 0xFF}},
      {-128, {0x01, 0x80}},
      {-129, {0x02, 0xFF, 0x7F}},
      {300, {0x02, 0x01, 0x2C}},
      {32767, {0x02, 0x7F, 0xFF}},
      {32768, {0x03, 0x00, 0x80, 0x00}},
      {-32769, {0x03, 0xFF, 0x7F, 0xFF}},
      {8388607, {0x03, 0x7F, 0xFF, 0xFF}},
      {8388608, {0x04, 0x00, 0x80, 0x00, 0x00}},
      {-8388609, {0x04, 0xFF, 0x7F, 0xFF, 0xFF}},
      {INT32_MIN, {0x04, 0x80, 0x00, 0x00, 0x00}},
  };
  for (const auto& c : cases) {
    std::uint8_t buf[8] = {0xA0};  // flags kept
    int n = vchunkEncodeInt(buf, c.value);
    ASSERT_EQ(n, static_cast<int>(c.bytes.size())) << c.value;
    EXPECT_EQ(vchunkIntLength(c.value), n);
    EXPECT_EQ(buf[0], 0xA0 | c.bytes[0]) << c.value;
    EXPECT_TRUE(std::equal(c.bytes.begin() + 1, c.bytes.end(), buf + 1)) << c.value;
    std::int32_t back = 12345;
    EXPECT_EQ(vchunkDecodeInt(buf, buf + n, &back), n);
    EXPECT_EQ(back, c.value);
    EXPECT_EQ(vchunkDecodeInt(buf, buf + n - 1, &back), 0);  // cut short
  }
  std::uint8_t five[5] = {};
  EXPECT_EQ(vchunkEncodeIntLength(five, 21, 5), 5);
  EXPECT_EQ(Bytes(five, five + 5), (Bytes{0x04, 0x00, 0x00, 0x00, 0x15}));
  std::uint8_t bad[6] = {0x05, 1, 2, 3, 4, 5};
  std::int32_t v;
  EXPECT_EQ(vchunkDecodeInt(bad, bad + 6, &v), 0);  // a count above 4
  vchunkSetIntFlags(five, 0x30);
  EXPECT_EQ(five[0], 0x34);
}

TEST(ChunkFiles, NewFileFlushedAndReopened) {
  Bytes image(vchunkBLOCK);
  vchunkFile* f = vchunkCreate(vchunkMemoryDataCreate(image.data(), image.size(), false, true));
  vchunkFlush(f);
  EXPECT_EQ(image[0], 0x11);
  EXPECT_EQ(Bytes(image.begin() + 2, image.begin() + 7), (Bytes{0xD0, 0x0B, 0xED, 0x00, 0x00}));
  vchunkClose(f);
  f = reopen(image);
  EXPECT_EQ(vchunkGetLastBlock(f), 0u);
  // The free chunk at 22 is what is left after the index took its place.
  std::uint32_t a = vchunkAlloc(f, 10);
  EXPECT_GT(a, 22u);
  vchunkClose(f);

  Bytes fresh(vchunkBLOCK);
  f = vchunkCreate(vchunkMemoryDataCreate(fresh.data(), fresh.size(), false, true));
  EXPECT_EQ(vchunkGetFreeValue(f, 0), 1003u);
  vchunkFlush(f);
  EXPECT_EQ(raised([&] { vchunkRelease(f, 22); }), &vexArgClass);
  vchunkClose(f);
}

TEST(ChunkFiles, RefusedHeaders) {
  Bytes image = [] {
    Bytes b(vchunkBLOCK);
    vchunkFile* f = vchunkCreate(vchunkMemoryDataCreate(b.data(), b.size(), false, true));
    vchunkClose(f);
    return b;
  }();
  struct Case {
    std::size_t at;
    std::uint8_t value;
    const char* message;
  } cases[] = {
      {0, 0x01, "File is not a chunk file."},
      {1, 20, "File is not a chunk file."},
      {3, 0x0C, "File is not a chunk file."},
      {0, 0x31, "Chunk file was not properly closed."},
      {6, 1, "Version of chunk file is too new"},
      {7, 0x04, nullptr},  // last block 0 in 5 bytes: fine
      {11, 0x7F, "File is not a chunk file."},  // last block past the source
  };
  for (const auto& c : cases) {
    Bytes bad = image;
    bad[c.at] = c.value;
    std::string message;
    vchunkData* source = vchunkMemoryDataCreate(bad.data(), bad.size(), false, false);
    vchunkFile* f = nullptr;
    const vexClass* cls = raised([&] { f = vchunkOpen(source); }, &message);
    if (!c.message) {
      EXPECT_EQ(cls, nullptr);
      if (f) vchunkClose(f);
      continue;
    }
    vchunkDataDestroy(source);
    EXPECT_EQ(message, c.message) << c.at;
    EXPECT_EQ(cls, std::string(c.message).find("closed") != std::string::npos ? &vbtreeNotClosedClass : &vexArgClass);
  }
}

// Only chunks held now are counted: many got and released leave none
// behind for a growth of the file to look through, and a chunk held
// twice is held until its second release.
TEST(ChunkFiles, ReleasedChunksLeaveNoHold) {
  Bytes image(vchunkBLOCK);
  vchunkFile* f = vchunkCreate(vchunkMemoryDataCreate(image.data(), image.size(), false, true));
  std::vector<std::uint32_t> chunks;
  for (int i = 0; i < 2000; ++i) {
    chunks.push_back(vchunkAlloc(f, 40));
    vchunkGetData(f, chunks.back());
    vchunkReleaseDirty(f, chunks.back());
  }
  EXPECT_EQ(_vchunkHeldCount(f), 0u);
  std::uint32_t a = chunks[5], b = chunks[6];
  vchunkGetData(f, a), vchunkGetData(f, a), vchunkGetData(f, b);
  EXPECT_EQ(_vchunkHeldCount(f), 2u);
  EXPECT_EQ(raised([&] { vchunkAlloc(f, 5000); }), &vexModuleStateClass);  // would grow
  EXPECT_EQ(raised([&] { vchunkFree(f, b); }), &vexArgClass);
  vchunkRelease(f, a), vchunkRelease(f, b);
  EXPECT_EQ(_vchunkHeldCount(f), 1u);
  EXPECT_EQ(raised([&] { vchunkFree(f, a); }), &vexArgClass);
  vchunkRelease(f, a);
  EXPECT_EQ(_vchunkHeldCount(f), 0u);
  EXPECT_EQ(raised([&] { vchunkRelease(f, a); }), &vexArgClass);
  vchunkFree(f, a);
  EXPECT_GT(vchunkAlloc(f, 5000), 0u);
  vchunkClose(f);
}

TEST(ChunkFiles, AllocationsAgainstAModelReopened) {
  Bytes image(vchunkBLOCK);
  vchunkFile* f = vchunkCreate(vchunkMemoryDataCreate(image.data(), image.size(), false, true));
  std::mt19937 rng(9);
  std::map<std::uint32_t, std::string> model;
  auto fillChunk = [&](std::uint32_t a, std::uint32_t n) {
    std::string text(n, '\0');
    for (char& c : text) c = static_cast<char>(rng());
    std::memcpy(vchunkGetData(f, a), text.data(), n);
    vchunkReleaseDirty(f, a);
    model[a] = text;
  };
  for (int i = 0; i < 600; ++i) {
    int what = static_cast<int>(rng() % 10);
    if (what < 6 || model.empty()) {
      std::uint32_t n = rng() % 5 == 0 ? 1000 + rng() % 3000 : rng() % 200;
      std::uint32_t a = vchunkAlloc(f, n);
      ASSERT_EQ(model.count(a), 0u);
      ASSERT_EQ(vchunkGetSize(f, a), n);
      fillChunk(a, n);
    } else if (what < 8) {
      auto it = std::next(model.begin(), static_cast<long>(rng() % model.size()));
      vchunkFree(f, it->first);
      model.erase(it);
    } else {
      auto it = std::next(model.begin(), static_cast<long>(rng() % model.size()));
      std::uint32_t n = rng() % 300;
      std::string keep = it->second.substr(0, std::min<std::size_t>(n, it->second.size()));
      std::uint32_t a = vchunkRealloc(f, it->first, n);
      if (a != it->first) {
        ASSERT_EQ(model.count(a), 0u);
      }
      model.erase(it);
      std::uint8_t* p = vchunkGetData(f, a);
      ASSERT_EQ(std::string(reinterpret_cast<char*>(p), keep.size()), keep);
      vchunkRelease(f, a);
      fillChunk(a, n);
    }
  }
  // Chunks longer than a block start on a block boundary.
  std::uint32_t big = vchunkAlloc(f, 1022), fits = vchunkAlloc(f, 1021);
  EXPECT_EQ(big % vchunkBLOCK, 0u);
  fillChunk(big, 1022), fillChunk(fits, 1021);
  vchunkSetRoot(f, fits);
  Bytes copy = saved(f);
  vchunkClose(f);
  f = reopen(copy);
  EXPECT_EQ(vchunkGetRoot(f), fits);
  for (const auto& [a, text] : model) {
    ASSERT_EQ(vchunkGetSize(f, a), text.size()) << a;
    std::uint8_t* p = vchunkGetData(f, a);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p), text.size()), text) << a;
    vchunkRelease(f, a);
  }
  // Freed space is used again before the file grows.
  for (const auto& [a, text] : model) vchunkFree(f, a);
  EXPECT_EQ(raised([&] { vchunkFree(f, model.begin()->first); }), &vexArgClass);
  std::uint32_t last = vchunkGetLastBlock(f);
  for (int i = 0; i < 100; ++i) vchunkAlloc(f, 100);
  EXPECT_LE(vchunkGetLastBlock(f), last);
  vchunkClose(f);
}

// Space freed anywhere takes a chunk it can hold before the file grows:
// the blocks a chunk longer than a block leaves take one as long again, and
// the largest free value a block shows is one an allocation can use, at
// every step of a mix like a dictionary's rewrite (an array that moves as
// it grows, strings of half a block, chunks freed between).
TEST(ChunkFiles, FreedSpaceIsUsedBeforeTheFileGrows) {
  Bytes image(vchunkBLOCK);
  vchunkFile* f = vchunkCreate(vchunkMemoryDataCreate(image.data(), image.size(), false, true));
  std::vector<std::uint32_t> big, small;
  for (int i = 0; i < 20; ++i) {
    big.push_back(vchunkAlloc(f, 2500 + 100 * static_cast<std::uint32_t>(i % 4)));
    small.push_back(vchunkAlloc(f, 300));
  }
  std::uint32_t last = vchunkGetLastBlock(f);
  for (std::uint32_t a : big) vchunkFree(f, a);
  for (int i = 0; i < 20; ++i) vchunkAlloc(f, 2500 + 100 * static_cast<std::uint32_t>(i % 4));
  EXPECT_EQ(vchunkGetLastBlock(f), last);
  vchunkClose(f);

  f = vchunkCreate(vchunkMemoryDataCreate(image.data(), image.size(), false, true));
  std::mt19937 rng(5);
  std::uint32_t array = 0;
  std::vector<std::uint32_t> held;
  for (int i = 0; i < 3000; ++i) {
    array = vchunkArrayInsert(f, array, 0, 0x12345678);
    held.push_back(vchunkAlloc(f, 480 + rng() % 40));
    if (rng() % 4 == 0) {
      std::size_t k = rng() % held.size();
      vchunkFree(f, held[k]);
      held.erase(held.begin() + static_cast<long>(k));
    }
    std::uint32_t most = 0;
    for (std::uint32_t b = 0; b <= vchunkGetLastBlock(f); ++b) most = std::max(most, vchunkGetFreeValue(f, b));
    if (most < 8) continue;
    std::uint32_t before = vchunkGetLastBlock(f);
    std::uint32_t probe = vchunkAlloc(f, most - 1 - 3);  // the whole free chunk less its header
    ASSERT_EQ(vchunkGetLastBlock(f), before) << "step " << i << ", free value " << most;
    vchunkFree(f, probe);
  }
  // Half-block strings fill the blocks two to one.
  std::uint32_t bytes = 0;
  for (std::uint32_t a : held) bytes += vchunkGetSize(f, a) + 3;
  EXPECT_LE(vchunkGetLastBlock(f), (bytes + 4 * 3000) / vchunkBLOCK * 11 / 10);
  vchunkClose(f);
}

TEST(ChunkFiles, DamagedFilesAreRefusedOrFailWithoutHarm) {
  Bytes image(vchunkBLOCK);
  vchunkFile* f = vchunkCreate(vchunkMemoryDataCreate(image.data(), image.size(), false, true));
  std::vector<std::uint32_t> chunks;
  for (int i = 0; i < 60; ++i) chunks.push_back(vchunkAlloc(f, static_cast<std::uint32_t>(i * 37 % 700)));
  Bytes good = saved(f);
  vchunkClose(f);
  std::mt19937 rng(4);
  for (int trial = 0; trial < 300; ++trial) {
    Bytes bad = good;
    if (trial % 4 == 0) {
      bad.resize(rng() % bad.size());
    } else {
      for (int k = 0; k < 1 + trial % 3; ++k) bad[rng() % bad.size()] ^= static_cast<std::uint8_t>(1 << (rng() % 8));
    }
    vchunkData* source = vchunkMemoryDataCreate(bad.data(), bad.size(), false, true);
    vchunkFile* x = nullptr;
    if (raised([&] { x = vchunkOpen(source); })) {
      vchunkDataDestroy(source);
      continue;
    }
    raised([&] {
      for (std::uint32_t a : chunks) vchunkGetSize(x, a);
    });
    raised([&] {
      for (int i = 0; i < 20; ++i) vchunkAlloc(x, static_cast<std::uint32_t>(i * 91 % 1500));
    });
    raised([&] { vchunkFree(x, chunks[static_cast<std::size_t>(trial) % chunks.size()]); });
    vchunkClose(x);
  }
}

// Inserts that keep the width move the tail where it lies: at every width,
// long arrays built one insert at a time hold the model's elements, in the
// file as well as in memory.
TEST(ChunkArrays, InsertsOfOneWidthKeepEveryElement) {
  const std::int64_t widest[] = {1, 3, 15, 255, -32768, INT32_MIN, INT64_MIN};
  for (int code = 0; code <= 6; ++code) {
    SCOPED_TRACE("width code " + std::to_string(code));
    Bytes image(vchunkBLOCK);
    vchunkFile* f = vchunkCreate(vchunkMemoryDataCreate(image.data(), image.size(), false, true));
    std::uint32_t a = vchunkArrayInsert(f, 0, 0, widest[code]);
    std::vector<std::int64_t> model{widest[code]};
    for (int i = 1; i < 700; ++i) {
      // Front, back and between, each value within the width.
      std::int32_t at = static_cast<std::int32_t>(static_cast<std::size_t>(i * 37) % (model.size() + 1));
      std::int64_t v = widest[code] < 0 ? widest[code] + i : i % (widest[code] + 1);
      a = vchunkArrayInsert(f, a, at, v);
      model.insert(model.begin() + at, v);
    }
    EXPECT_EQ(vchunkArrayWidthCode(f, a), code);
    vchunkSetRoot(f, a);
    Bytes copy = saved(f);
    vchunkClose(f);
    f = reopen(copy);
    a = vchunkGetRoot(f);
    ASSERT_EQ(vchunkArrayCount(f, a), static_cast<std::int32_t>(model.size()));
    for (std::size_t i = 0; i < model.size(); ++i)
      ASSERT_EQ(vchunkArrayGet(f, a, static_cast<std::int32_t>(i)), model[i]) << i;
    vchunkClose(f);
  }
}

TEST(ChunkArrays, WidthsGrowAndElementsMove) {
  Bytes image(vchunkBLOCK);
  vchunkFile* f = vchunkCreate(vchunkMemoryDataCreate(image.data(), image.size(), false, true));
  std::uint32_t a = vchunkArraySetCount(f, 0, 5);
  EXPECT_EQ(vchunkArrayWidthCode(f, a), 0);
  EXPECT_EQ(vchunkArrayCount(f, a), 5);
  a = vchunkArraySet(f, a, 0, 2);
  EXPECT_EQ(vchunkArrayWidthCode(f, a), 1);
  a = vchunkArraySet(f, a, 0, 0);
  EXPECT_EQ(vchunkArrayWidthCode(f, a), 1);  // the wider code stays
  std::vector<std::int64_t> model(5, 0);
  const std::int64_t values[] = {1, 3, 15, 255, -1, 32767, -32768, 40000, -70000, INT64_C(1) << 40, 7};
  for (std::int64_t v : values) {
    std::int32_t at = static_cast<std::int32_t>(static_cast<std::size_t>(v & 7) % (model.size() + 1));
    a = vchunkArrayInsert(f, a, at, v);
    model.insert(model.begin() + at, v);
  }
  EXPECT_EQ(vchunkArrayWidthCode(f, a), 6);
  ASSERT_EQ(vchunkArrayCount(f, a), static_cast<std::int32_t>(model.size()));
  for (std::size_t i = 0; i < model.size(); ++i) EXPECT_EQ(vchunkArrayGet(f, a, static_cast<std::int32_t>(i)), model[i]) << i;
  a = vchunkArrayDelete(f, a, 0);
  model.erase(model.begin());
  EXPECT_EQ(vchunkArrayGet(f, a, 0), model[0]);
  EXPECT_EQ(raised([&] { vchunkArrayGet(f, a, static_cast<std::int32_t>(model.size())); }), &vexArgRangeClass);
  EXPECT_EQ(raised([&] { vchunkArraySet(f, 0, 0, 1); }), &vexArgRangeClass);
  EXPECT_EQ(raised([&] { vchunkArraySetCount(f, a, -1); }), &vexArgRangeClass);
  std::uint32_t one = vchunkArrayInsert(f, 0, 0, 9);
  EXPECT_EQ(vchunkArrayDelete(f, one, 0), 0u);  // the only element: freed
  EXPECT_EQ(vchunkArrayCount(f, 0), 0);
  // Width code 7 is refused.
  std::uint32_t raw = vchunkAlloc(f, 3);
  std::uint8_t* p = vchunkGetData(f, raw);
  p[0] = 7;
  vchunkReleaseDirty(f, raw);
  EXPECT_EQ(raised([&] { vchunkArrayCount(f, raw); }), &vexArgClass);
  EXPECT_EQ(vchunkArraySetCount(f, a, 0), 0u);
  vchunkClose(f);
}

}  // namespace
