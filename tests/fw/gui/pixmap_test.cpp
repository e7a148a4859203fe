#include "fw/gui/graphics/pixmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/pixmap_internal.h"
#include "tests/fw/gui/raises.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t valueOf(int x, int y, int depth) {
  std::uint32_t v = std::uint32_t(x) * 2654435761u ^ std::uint32_t(y + 1) * 40503u ^ 0x5A5A5A5Au;
  return depth == 32 ? v : v & ((1u << depth) - 1);
}

// Where a pixel lies, computed from the layout rules alone.
void placeExpected(Bytes& b, int w, int h, int depth, unsigned layout, int x, int y, std::uint32_t v) {
  int code = layout & 3;
  std::size_t bits = std::size_t(w) * depth;
  std::size_t row = code <= 1 ? (bits + 7) / 8 : code == 2 ? (bits + 15) / 16 * 2 : (bits + 31) / 32 * 4;
  int memRow = (layout & 8) ? h - 1 - y : y;
  if (depth < 8) {
    std::size_t bit = std::size_t(memRow) * row * 8 + std::size_t(x) * depth;
    int shift = 8 - depth - int(bit % 8);
    std::uint8_t mask = std::uint8_t(((1u << depth) - 1) << shift);
    b[bit / 8] = std::uint8_t((b[bit / 8] & ~mask) | (v << shift));
    return;
  }
  int n = depth / 8;
  std::size_t at = std::size_t(memRow) * row + std::size_t(x) * n;
  for (int i = 0; i < n; ++i) b[at + ((layout & 4) ? n - 1 - i : i)] = std::uint8_t(v >> (8 * i));
}

// The table a depth and layout should get, by the contiguity rules.
int expectedTable(int w, int depth, unsigned layout) {
  int code = layout & 3;
  bool big = layout & 4, bottomUp = layout & 8;
  bool contiguous = !bottomUp && (depth == 32 || (depth == 16 && (code < 3 || w % 2 == 0)) ||
                                  ((depth == 8 || depth == 24) &&
                                   (code <= 1 || (code == 2 && w % 2 == 0) || (code == 3 && w % 4 == 0))));
  switch (depth) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
    case 8: return contiguous ? 3 : 4;
    default: return (depth == 16 ? 5 : depth == 24 ? 9 : 13) + (contiguous ? 0 : 2) + (big ? 1 : 0);
  }
}

struct PixmapHolder {
  vpixmap* p;
  PixmapHolder(int w, int h, int d) : p(vpixmapCreateSized(w, h, d)) {}
  ~PixmapHolder() { vpixmapDestroy(p); }
};

// Rows from the top of the picture down.
std::vector<std::vector<int>> picture(vpixmap* p) {
  std::vector<std::vector<int>> rows;
  vpixmapint::HeldCursor c(p);
  for (int y = p->height - 1; y >= 0; --y) {
    rows.emplace_back();
    for (int x = 0; x < p->width; ++x) rows.back().push_back(int(vpixmapCursorGetAt(&c.c, x, y)));
  }
  return rows;
}

void setAll(vpixmap* p, std::uint32_t (*f)(int x, int y)) {
  vpixmapint::HeldCursor c(p);
  for (int y = 0; y < p->height; ++y)
    for (int x = 0; x < p->width; ++x) vpixmapCursorSetNext(&c.c, f(x, y));
}

TEST(PixelCursor, EveryTableAndLayoutAgainstTheLayoutRules) {
  const int depths[] = {1, 2, 4, 8, 16, 24, 32};
  const int sizes[][2] = {{13, 5}, {1, 1}, {33, 3}};
  const int alignBits[] = {1, 8, 16, 32};
  int checked = 0;
  for (int depth : depths)
    for (auto& size : sizes)
      for (unsigned layout = 0; layout < 16; ++layout) {
        int w = size[0], h = size[1];
        std::string what = "depth " + std::to_string(depth) + " " + std::to_string(w) + "x" + std::to_string(h) +
                           " layout " + std::to_string(layout);
        PixmapHolder ph(w, h, depth);
        vpixmap* p = ph.p;
        vpixmapSetRowAlignment(p, alignBits[layout & 3]);
        vpixmapSetByteOrder(p, layout & 4);
        vpixmapSetBottomUp(p, layout & 8);
        ASSERT_EQ(p->layout, layout) << what;
        if (depth < 8 && (layout & 3) == 0) {
          bool unimplemented = false;
          vexGuard([&] { vpixmapint::HeldCursor c(p); },
                   [&](vexHandler& hd) {
                     vexException* e = vexGetCurrentException();
                     unimplemented = e->cls == &vexModuleUnimplementedClass &&
                                     std::strcmp(e->message, "unable to pad less than one byte") == 0;
                     vexSetCurrentException(hd.savedChain);
                   });
          EXPECT_TRUE(unimplemented) << what;
          continue;
        }
        EXPECT_EQ(_vpixmapCursorTableIndex(p), expectedTable(w, depth, layout)) << what;
        std::size_t n = vpixmapGetRowBytes(p) * h;
        std::uint8_t* bytes = vpixmapLockPixels(p);
        std::memset(bytes, 0xA5, n);  // padding must keep this
        Bytes expected(bytes, bytes + n);
        vpixmapint::HeldCursor c(p);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            vpixmapCursorSetNext(&c.c, valueOf(x, y, depth) | (depth < 32 ? 0xFF000000u : 0));  // high bits dropped
            placeExpected(expected, w, h, depth, layout, x, y, valueOf(x, y, depth));
          }
        ASSERT_EQ(Bytes(bytes, bytes + n), expected) << what;
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            ASSERT_EQ(vpixmapCursorGetAt(&c.c, x, y), valueOf(x, y, depth)) << what << " at " << x << "," << y;
            vpixmapCursorMoveTo(&c.c, x, y);
            ASSERT_EQ(vpixmapCursorGet(&c.c), valueOf(x, y, depth)) << what;
          }
        // Walks across row ends, both ways, and along columns.
        vpixmapCursorMoveTo(&c.c, 0, 0);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) ASSERT_EQ(vpixmapCursorGetNext(&c.c), valueOf(x, y, depth)) << what;
        vpixmapCursorMoveTo(&c.c, w - 1, h - 1);
        for (int y = h - 1; y >= 0; --y)
          for (int x = w - 1; x >= 0; --x) {
            ASSERT_EQ(vpixmapCursorGet(&c.c), valueOf(x, y, depth)) << what << " back at " << x << "," << y;
            if (x || y) vpixmapCursorPrevious(&c.c);
          }
        vpixmapCursorMoveTo(&c.c, w - 1, 0);
        for (int y = 0; y < h; ++y) {
          ASSERT_EQ(vpixmapCursorGet(&c.c), valueOf(w - 1, y, depth)) << what;
          if (y + 1 == h) break;
          vpixmapCursorNext(&c.c);  // on to the next row's start
          ASSERT_EQ(vpixmapCursorGet(&c.c), valueOf(0, y + 1, depth)) << what;
          vpixmapCursorPrevious(&c.c);
          vpixmapCursorNextRow(&c.c);
        }
        vpixmapCursorMoveTo(&c.c, w / 2, h - 1);
        for (int y = h - 1; y >= 0; --y) {
          ASSERT_EQ(vpixmapCursorGet(&c.c), valueOf(w / 2, y, depth)) << what;
          if (y) vpixmapCursorPreviousRow(&c.c);
        }
        vpixmapCursorSetAt(&c.c, w - 1, h - 1, 1);
        EXPECT_EQ(vpixmapCursorGetAt(&c.c, w - 1, h - 1), 1u) << what;
        ++checked;
      }
  EXPECT_EQ(checked, 7 * 3 * 16 - 3 * 3 * 4);
}

TEST(PixelCursor, ExactBytesOfTheDecidedOrder) {
  PixmapHolder one(3, 1, 1);
  setAll(one.p, [](int x, int) { return std::uint32_t(x != 1); });
  EXPECT_EQ(vpixmapLockPixels(one.p)[0], 0xA0);
  PixmapHolder rgb(1, 1, 24);
  vpixmapFill(rgb.p, 0x112233);
  std::uint8_t* b = vpixmapLockPixels(rgb.p);
  EXPECT_EQ(Bytes(b, b + 3), (Bytes{0x33, 0x22, 0x11}));
  vpixmapSetByteOrder(rgb.p, 1);
  b = vpixmapLockPixels(rgb.p);
  EXPECT_EQ(Bytes(b, b + 3), (Bytes{0x11, 0x22, 0x33}));
}

// A stand-in for a native form on the ring: it counts its updates.
int nativeUpdates = 0;
int countUpdate(vsyncRingEntry*, vsyncRingEntry*) { return ++nativeUpdates, 1; }
void noOp(vsyncRingEntry*) {}
const vsyncRingKind nativeKind = {noOp, noOp, countUpdate, nullptr};

TEST(PixelCursor, WritesMarkThePixelsCurrentOnceAndReadsNever) {
  PixmapHolder ph(4, 4, 8);
  vpixmapFill(ph.p, 3);
  vsyncRingEntry* native = vpixmapGetRepresentation(ph.p, &nativeKind);
  vsyncRingValidate(native);
  ASSERT_TRUE(vsyncRingIsCurrent(native));
  vsyncRingEntry* pixels = vpixmapGetRepresentation(ph.p, &vpixmapPixelKind);
  {
    vpixmapint::HeldCursor c(ph.p);
    EXPECT_EQ(pixels->useCount, 1);
    EXPECT_EQ(vpixmapCursorGetNext(&c.c), 3u);
    EXPECT_TRUE(vsyncRingIsCurrent(native));  // a read changes nothing
    vpixmapCursorSetNext(&c.c, 9);
    EXPECT_FALSE(vsyncRingIsCurrent(native));
    vsyncRingValidate(native);
    vpixmapCursorSetNext(&c.c, 9);  // the real table is in place: no second mark
    EXPECT_TRUE(vsyncRingIsCurrent(native));
  }
  EXPECT_EQ(pixels->useCount, 0);
  vpixmapMarkChanged(ph.p);
  EXPECT_FALSE(vsyncRingIsCurrent(native));
  EXPECT_TRUE(vsyncRingIsCurrent(pixels));
}

std::uint32_t twelve(int x, int y) { return std::uint32_t(1 + x + 4 * y); }

TEST(Pixmap, SetSizeWithEachAnchor) {
  using Grid = std::vector<std::vector<int>>;
  struct Case {
    int anchor, w, h;
    std::uint32_t fill;
    Grid expected;
  } cases[] = {
      {16 | 2 | 8, 6, 5, 99,
       {{99, 99, 99, 99, 99, 99}, {99, 9, 10, 11, 12, 99}, {99, 5, 6, 7, 8, 99}, {99, 1, 2, 3, 4, 99},
        {99, 99, 99, 99, 99, 99}}},
      {3, 6, 5, 99,
       {{0, 0, 9, 10, 11, 12}, {0, 0, 5, 6, 7, 8}, {0, 0, 1, 2, 3, 4}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}}},
      {16 | 4, 6, 5, 7,
       {{7, 7, 7, 7, 7, 7}, {7, 7, 7, 7, 7, 7}, {9, 10, 11, 12, 7, 7}, {5, 6, 7, 8, 7, 7}, {1, 2, 3, 4, 7, 7}}},
      {16, 5, 4, 0, {{9, 10, 11, 12, 0}, {5, 6, 7, 8, 0}, {1, 2, 3, 4, 0}, {0, 0, 0, 0, 0}}},
      {2 | 8, 2, 2, 0, {{6, 7}, {2, 3}}},
      {3, 2, 2, 0, {{11, 12}, {7, 8}}},
      {1 | 4, 3, 1, 0, {{1, 2, 3}}},
  };
  for (const Case& c : cases) {
    for (unsigned layout : {1u, 3u | 8u}) {
      PixmapHolder ph(4, 3, 8);
      vpixmapSetRowAlignment(ph.p, (layout & 3) == 3 ? 32 : 8);
      vpixmapSetBottomUp(ph.p, layout & 8);
      setAll(ph.p, twelve);
      vpixmapSetSize(ph.p, c.w, c.h, c.anchor, c.fill);
      EXPECT_EQ(picture(ph.p), c.expected) << "anchor " << c.anchor << " layout " << layout;
      EXPECT_EQ(ph.p->layout, layout);
    }
  }
  PixmapHolder ph(4, 3, 8);
  setAll(ph.p, twelve);
  vpixmapSetSize(ph.p, 5, 5, 0, 0);
  EXPECT_FALSE(vpixmapHasPixels(ph.p));
  EXPECT_EQ(ph.p->width, 5);
  EXPECT_TRUE(raisesArg([&] { vpixmapSetSize(ph.p, 0, 5, 0, 0); }));
  EXPECT_TRUE(raisesArg([&] { vpixmapSetSize(ph.p, 5, 32768, 0, 0); }));
  EXPECT_TRUE(raisesArg([&] { vpixmapCreateSized(1, 1, 33); }));
}

TEST(Pixmap, DepthsLayoutsAndCopiesKeepValues) {
  PixmapHolder ph(5, 3, 3);
  EXPECT_EQ(ph.p->depth, 4);
  vpixmapSetDepth(ph.p, 20);
  EXPECT_EQ(ph.p->depth, 24);
  EXPECT_TRUE(raisesArg([&] { vpixmapSetDepth(ph.p, 0); }));
  EXPECT_TRUE(raisesArg([&] { vpixmapSetDepth(ph.p, 33); }));
  EXPECT_EQ(ph.p->depth, 24);
  vpixmapSetDepth(ph.p, 8);
  setAll(ph.p, [](int x, int y) { return std::uint32_t(x * 40 + y); });
  auto before = picture(ph.p);
  for (int d : {16, 32, 24, 8}) {
    vpixmapSetDepth(ph.p, d);
    EXPECT_EQ(picture(ph.p), before) << d;
  }
  // Every re-layout keeps the pixels and drops the default-layout mark.
  EXPECT_TRUE(ph.p->layout & vpixmapDEFAULT_LAYOUT);
  vpixmapSetDepth(ph.p, 16);
  for (auto step : {+[](vpixmap* p) { vpixmapSetRowAlignment(p, 32); }, +[](vpixmap* p) { vpixmapSetBottomUp(p, 1); },
                    +[](vpixmap* p) { vpixmapSetByteOrder(p, 1); }, +[](vpixmap* p) { vpixmapSetRowAlignment(p, 16); },
                    +[](vpixmap* p) { vpixmapSetBottomUp(p, 0); }}) {
    step(ph.p);
    EXPECT_EQ(picture(ph.p), before) << ph.p->layout;
  }
  EXPECT_EQ(ph.p->layout, 0x06);
  EXPECT_EQ(vpixmapGetRowAlignment(ph.p), 16);
  EXPECT_TRUE(raisesArg([&] { vpixmapSetRowAlignment(ph.p, 4); }));

  // Sub-byte rows without padding: bits follow one another across rows.
  PixmapHolder bits(3, 3, 1);
  setAll(bits.p, [](int x, int y) { return std::uint32_t(x == y); });
  auto diagonal = picture(bits.p);
  vpixmapSetRowAlignment(bits.p, 1);
  EXPECT_EQ(vpixmapGetRowBytes(bits.p), 1u);
  std::uint8_t* packed = vpixmapLockPixels(bits.p);
  EXPECT_EQ(Bytes(packed, packed + 2), (Bytes{0x88, 0x80}));  // 100 010 001
  vpixmapSetBottomUp(bits.p, 1);
  packed = vpixmapLockPixels(bits.p);
  EXPECT_EQ(Bytes(packed, packed + 2), (Bytes{0x2A, 0x00}));  // 001 010 100
  vpixmapSetRowAlignment(bits.p, 8);
  EXPECT_EQ(picture(bits.p), diagonal);

  // A top-down and a bottom-up copy of the other byte order compare equal.
  PixmapHolder top(7, 4, 24), bottom(7, 4, 24);
  setAll(top.p, [](int x, int y) { return std::uint32_t(0x010203 * (x + 1) + y); });
  vpixmapSetBottomUp(bottom.p, 1);
  vpixmapSetByteOrder(bottom.p, 1);
  vpixmapCopyPixels(top.p, bottom.p);
  EXPECT_EQ(picture(bottom.p), picture(top.p));
  const std::uint8_t* last = vpixmapLockPixels(bottom.p) + vpixmapGetRowBytes(bottom.p) * 3;
  EXPECT_EQ(Bytes(last, last + 3), (Bytes{0x01, 0x02, 0x03}));  // row 0, most significant first
  vpixmap* clone = static_cast<vpixmap*>(vobjectClone(bottom.p));
  EXPECT_EQ(clone->layout, bottom.p->layout);
  EXPECT_EQ(picture(clone), picture(top.p));
  vpixmapDestroy(clone);
  PixmapHolder other(7, 5, 24);
  EXPECT_TRUE(raisesArg([&] { vpixmapCopyPixels(top.p, other.p); }));
  PixmapHolder empty(7, 4, 8);
  vpixmapCopyPixels(empty.p, bottom.p);
  EXPECT_FALSE(vpixmapHasPixels(bottom.p));
}

TEST(Pixmap, RectangleCopies) {
  PixmapHolder a(4, 3, 8), b(4, 3, 8);
  setAll(a.p, twelve);
  vpixmapFill(b.p, 0);
  vpixmapCopyRect(a.p, b.p, 1, 1, 2, 2, 0, 0);
  EXPECT_EQ(picture(b.p), (std::vector<std::vector<int>>{{0, 0, 0, 0}, {10, 11, 0, 0}, {6, 7, 0, 0}}));
  vpixmapCopyRect(a.p, b.p, 0, 0, 0, 5, 9, 9);  // empty: nothing, not even the range check
  EXPECT_TRUE(raisesArg([&] { vpixmapCopyRect(a.p, b.p, 3, 0, 2, 1, 0, 0); }));
  EXPECT_TRUE(raisesArg([&] { vpixmapCopyRect(a.p, b.p, 0, 0, 2, 1, 0, -1); }));
  // Overlapping areas of one pixmap.
  vpixmapCopyRect(a.p, a.p, 0, 0, 3, 3, 1, 0);
  EXPECT_EQ(picture(a.p), (std::vector<std::vector<int>>{{9, 9, 10, 11}, {5, 5, 6, 7}, {1, 1, 2, 3}}));
}

// ---- Resources.

class PixmapResource : public ::testing::Test {
 protected:
  void SetUp() override {
    vrstoreInstallInterface();
    vpixmapGetDefaultClass();
    root = vresourceCreateMemoryIn(0);
  }
  void TearDown() override { vresourceCloseFile(root); }
  vresource entry(const char* name) { return vresourceCreate(root, vnameInternLiteral(name), vresDICTIONARY); }
  Bytes opaque(vresource r, const char* key) {
    void* data = nullptr;
    std::size_t size = 0;
    if (!vresourceTestGetOpaque(r, vnameInternLiteral(key), &data, &size)) return {};
    Bytes b(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
    vmemFree(data);
    return b;
  }
  vresource root = 0;
};

Bytes encode(int w, int h, int depth, const std::vector<std::uint32_t>& pixels) {
  PixmapHolder ph(w, h, depth);
  vpixmapint::HeldCursor c(ph.p);
  for (std::uint32_t v : pixels) vpixmapCursorSetNext(&c.c, v);
  Bytes out;
  if (!_vpixmapEncodeRLE(ph.p, &out)) return {0xEE};
  return out;
}

TEST_F(PixmapResource, RunLengthGoldenBytes) {
  EXPECT_EQ(encode(128, 1, 8, std::vector<std::uint32_t>(128, 5)), (Bytes{0x81, 5, 0x01, 5}));
  EXPECT_EQ(encode(3, 1, 8, {4, 4, 4}), Bytes{0xEE});  // a repeat packet needs 5 bytes of room
  EXPECT_EQ(encode(16, 1, 8, {1, 2, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}), (Bytes{2, 1, 2, 0xF2, 7}));
  std::vector<std::uint32_t> mixed{1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 9, 1, 2, 3, 3};
  mixed.resize(32, 0);
  EXPECT_EQ(encode(32, 1, 8, mixed), (Bytes{8, 1, 2, 3, 4, 5, 6, 7, 8, 0xFC, 9, 4, 1, 2, 3, 3, 0xF0, 0}));
  EXPECT_EQ(encode(4, 4, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 9, 1, 2, 3, 3}), Bytes{0xEE});  // no room
  EXPECT_EQ(encode(8, 1, 24, {0x010203, 0x040506, 0x112233, 0x112233, 0x112233, 0x112233, 0x112233, 0x112233}),
            (Bytes{2, 1, 2, 3, 4, 5, 6, 0xFA, 0x11, 0x22, 0x33}));
  EXPECT_EQ(encode(8, 1, 32, std::vector<std::uint32_t>(8, 0x01000000)), Bytes{0xEE});  // 24 bits travel

  // The decoder takes empty packets, and refuses short and overlong data.
  PixmapHolder ph(4, 1, 8);
  const Bytes good{0, 0xFE, 7, 0, 2, 8, 9, 0};
  EXPECT_TRUE(_vpixmapDecodeRLE(ph.p, good.data(), good.size()));
  EXPECT_EQ(picture(ph.p), (std::vector<std::vector<int>>{{7, 7, 8, 9}}));
  for (const Bytes& bad : {Bytes{0xFE, 7, 2, 8}, Bytes{0xFB, 7}, Bytes{0xFC, 7, 1, 1}, Bytes{4, 1, 2, 3}, Bytes{}})
    EXPECT_FALSE(_vpixmapDecodeRLE(ph.p, bad.data(), bad.size())) << int(bad.size());
}

TEST_F(PixmapResource, StoreAndLoadEveryDepth) {
  for (int depth : {1, 2, 4, 8, 16, 24, 32})
    for (bool runs : {true, false}) {
      vresource r = entry("p");
      PixmapHolder ph(40, 30, depth);
      vpixmapSetRowAlignment(ph.p, 32);
      vpixmapSetBottomUp(ph.p, depth % 3 == 0);
      if (runs)
        setAll(ph.p, [](int, int y) { return std::uint32_t(y / 7 * 0x010101); });
      else
        setAll(ph.p, [](int x, int y) { return valueOf(x, y, 32); });
      auto before = picture(ph.p);
      vclassRec<vpixmapClassRec>(ph.p)->store(ph.p, r);
      EXPECT_EQ(vresourceGetTag(r, vname_Type), vnameInternLiteral("vpixmap"));
      EXPECT_EQ(vresourceGetInteger(r, vname_Flags), ph.p->layout);
      bool raw = !opaque(r, "Bits").empty();
      EXPECT_NE(raw, !opaque(r, "RLE_CompressImage").empty());
      EXPECT_EQ(raw, !runs) << depth;  // noise never pays; the runs do
      if (raw) {
        EXPECT_EQ(opaque(r, "Bits").size(), vpixmapGetRowBytes(ph.p) * 30);
      }
      auto* back = static_cast<vpixmap*>(vobjectLoad(r));
      EXPECT_EQ(back->depth, depth);
      EXPECT_EQ(back->layout, ph.p->layout);
      EXPECT_EQ(picture(back), before) << depth << (runs ? " runs" : " noise");
      vpixmapDestroy(back);
    }
  // A pixmap without pixels stores neither form.
  vresource r = entry("p");
  vresourceSetOpaque(r, vname_Bits, "x", 1);
  PixmapHolder none(3, 3, 8);
  vclassRec<vpixmapClassRec>(none.p)->store(none.p, r);
  EXPECT_TRUE(opaque(r, "Bits").empty());
  auto* back = static_cast<vpixmap*>(vobjectLoad(r));
  EXPECT_FALSE(vpixmapHasPixels(back));
  vpixmapDestroy(back);
}

TEST_F(PixmapResource, DefaultLayoutFollowedAtLoad) {
  PixmapHolder ph(5, 2, 8);
  setAll(ph.p, twelve);
  ASSERT_EQ(ph.p->layout, 0x11);
  vresource r = entry("p");
  vresourceSetInteger(r, vname_Width, 5);
  vresourceSetInteger(r, vname_Height, 2);
  vresourceSetInteger(r, vname_Depth, 8);
  vresourceSetInteger(r, vname_Flags, 0x11);
  vresourceSetOpaque(r, vname_Bits, vpixmapLockPixels(ph.p), 10);
  vresourceSetTag(r, vname_Class, vnameInternLiteral("vpixmap"));
  vpixmapSetDefaultLayout(3 | 8);
  auto* back = static_cast<vpixmap*>(vobjectLoad(r));
  vpixmapSetDefaultLayout(1);
  EXPECT_EQ(back->layout, 0x1B);
  EXPECT_EQ(vpixmapGetRowBytes(back), 8u);
  EXPECT_EQ(picture(back), picture(ph.p));
  vpixmapDestroy(back);
}

TEST_F(PixmapResource, DamagedResourcesAreRefused) {
  struct Case {
    const char* what;
    int w, h, d;
    const char* key;
    Bytes data;
  } cases[] = {
      {"short Bits", 4, 2, 8, "Bits", Bytes(7, 1)},
      {"long Bits", 4, 2, 8, "Bits", Bytes(9, 1)},
      {"truncated runs", 4, 2, 8, "RLE_CompressImage", Bytes{8, 1, 2, 3}},
      {"overlong runs", 4, 2, 8, "RLE_CompressImage", Bytes{0xF8, 1, 1, 2}},
      {"runs short of the pixels", 4, 2, 8, "RLE_CompressImage", Bytes{0xF9, 1}},
      {"runs far short of a huge size", 32767, 32767, 32, "RLE_CompressImage", Bytes{0x81, 1, 2, 3}},
      {"no width", 0, 2, 8, "Bits", Bytes(8, 1)},
      {"too high", 1, 32768, 8, "Bits", Bytes(8, 1)},
      {"depth 0", 4, 2, 0, "Bits", Bytes(8, 1)},
      {"depth 33", 4, 2, 33, "Bits", Bytes(8, 1)},
  };
  for (const Case& c : cases) {
    vresource r = entry("bad");
    vresourceSetTag(r, vname_Class, vnameInternLiteral("vpixmap"));
    vresourceSetInteger(r, vname_Width, c.w);
    vresourceSetInteger(r, vname_Height, c.h);
    vresourceSetInteger(r, vname_Depth, c.d);
    vresourceSetInteger(r, vname_Flags, 1);
    vresourceSetOpaque(r, vnameInternLiteral(c.key), c.data.data(), c.data.size());
    bool range = false;
    vexGuard([&] { vpixmapDestroy(static_cast<vpixmap*>(vobjectLoad(r))); },
             [&](vexHandler& h) {
               range = vexClassDerives(vexGetCurrentException()->cls, &vexArgRangeClass);
               vexSetCurrentException(h.savedChain);
             });
    EXPECT_TRUE(range) << c.what;
    EXPECT_EQ(opaque(r, c.key), c.data) << c.what;
  }
}

}  // namespace
