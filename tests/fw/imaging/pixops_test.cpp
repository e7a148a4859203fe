#include "fw/imaging/codecs/pixops.h"

#include <gtest/gtest.h>

#include "tests/fw/imaging/images.h"

using namespace testimg;

namespace {

TEST(PixelOps, FlipsKeepTheMiddleAndFourTurnsGiveTheStartBack) {
  Images keep;
  vimage* a = keep(make(3, 2, 8, {1, 2, 3, 4, 5, 6}));
  vimgedFlipImageHorizontal(a);
  EXPECT_EQ(pixelsOf(a), (Pixels{3, 2, 1, 6, 5, 4}));
  vimgedFlipImageVertical(a);
  EXPECT_EQ(pixelsOf(a), (Pixels{6, 5, 4, 3, 2, 1}));
  vimage* odd = keep(make(5, 3, 1, {1, 1, 0, 0, 0, /**/ 0, 0, 1, 0, 1, /**/ 1, 0, 0, 0, 0}));
  vimgedFlipImageHorizontal(odd);
  vimgedFlipImageVertical(odd);
  EXPECT_EQ(pixelsOf(odd), (Pixels{0, 0, 0, 0, 1, /**/ 1, 0, 1, 0, 0, /**/ 0, 0, 0, 1, 1}));

  for (int depth : {1, 2, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(depth);
    Pixels start;
    for (std::uint32_t i = 0; i < 12; ++i) start.push_back((i * 2654435761u >> 7) & (depth == 32 ? ~0u : (1u << depth) - 1));
    vimage* image = keep(make(4, 3, depth, start));
    if (depth == 4) setPalette(image, {0x102030, 0xA0B0C0});
    vimage* turned = keep(vimgedRotateImage(image));
    ASSERT_EQ(turned->width, 3);
    ASSERT_EQ(turned->height, 4);
    EXPECT_EQ(turned->depth, depth);
    EXPECT_EQ((turned->flags & vimageNO_PALETTE) != 0, depth > 16);
    Pixels got = pixelsOf(turned);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(got[std::size_t(x * 3 + (3 - 1 - y))], start[std::size_t(y * 4 + x)]);
    if (depth == 4) {
      EXPECT_EQ(packed(vimageGetPalette(turned)->entries[1]), 0xA0B0C0u);
      EXPECT_NE(vimageGetPalette(turned), vimageGetPalette(image));
    }
    vimage* back = turned;
    for (int i = 0; i < 3; ++i) back = keep(vimgedRotateImage(back));
    EXPECT_TRUE(vimgedImagesEqual(back, image));
  }
}

TEST(PixelOps, MasksFromValuesAndCopiesThroughThemStayInside) {
  Images keep;
  vimage* image = keep(make(3, 2, 8, {7, 1, 7, 2, 7, 7}));
  vimage* mask = keep(vimgedMaskFromValue(image, 7));
  EXPECT_EQ(mask->depth, 1);
  EXPECT_EQ(pixelsOf(mask), (Pixels{0, 1, 0, 1, 0, 0}));
  EXPECT_EQ(packed(vimageGetPalette(mask)->entries[0]), 0xFFFFFFu);
  EXPECT_EQ(packed(vimageGetPalette(mask)->entries[1]), 0x000000u);
  vimgedClearMaskWhereValue(image, mask, 2);
  EXPECT_EQ(pixelsOf(mask), (Pixels{0, 1, 0, 0, 0, 0}));

  // A full mask stamped two pixels up and right: only the corner lands.
  vimage* source = keep(make(3, 3, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9}));
  vimage* full = keep(make(3, 3, 1, Pixels(9, 1)));
  vimage* dest = keep(make(3, 3, 8));
  vimgedCopyThroughMask(source, dest, full, 0, 0, 3, 3, 2, 2);
  EXPECT_EQ(pixelsOf(dest), (Pixels{0, 0, 0, 0, 0, 0, 0, 0, 1}));
  // Partly outside the source and mask on the low side: (1, 1) of the area
  // is source (0, 0).
  vimage* dest2 = keep(make(3, 3, 8));
  vimgedCopyThroughMask(source, dest2, full, -1, -1, 3, 3, 0, 0);
  EXPECT_EQ(pixelsOf(dest2), (Pixels{0, 0, 0, 0, 1, 2, 0, 4, 5}));
  // Only set mask pixels act, and a huge area is clipped.
  vimage* sparse = keep(make(3, 3, 1, {1, 0, 0, 0, 1, 0, 0, 0, 1}));
  vimage* dest3 = keep(make(3, 3, 8));
  vimgedFillThroughMask(dest3, sparse, 0, 0, 30000, 30000, 0, 0, 9);
  EXPECT_EQ(pixelsOf(dest3), (Pixels{9, 0, 0, 0, 9, 0, 0, 0, 9}));
  vimgedFillThroughMask(dest3, sparse, 0, 0, 3, 3, -2, -1, 5);
  EXPECT_EQ(pixelsOf(dest3), (Pixels{9, 0, 0, 5, 9, 0, 0, 0, 9}));

  EXPECT_TRUE(vimgedImagesEqual(source, source));
  EXPECT_FALSE(vimgedImagesEqual(source, dest));
  EXPECT_FALSE(vimgedImagesEqual(source, keep(make(3, 3, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9}))));
  EXPECT_FALSE(vimgedImagesEqual(source, nullptr));
}

TEST(PixelOps, NearestColourTakesTheFirstTieAndStopsAtAnExactMatch) {
  vcolorList* palette = vcolorListCreate();
  vcolorListSetCount(palette, 4);
  vcolorSetSpecRGB(&palette->entries[0], 1000, 0, 0);
  vcolorSetSpecRGB(&palette->entries[1], 0, 0, 1000);  // as near as entry 0
  vcolorSetSpecRGB(&palette->entries[2], 0, 0, 0);
  vcolorSetSpecRGB(&palette->entries[3], 0, 0, 0);
  struct Case {
    unsigned r, g, b;
    int index;
    std::int32_t distance;
  } cases[] = {{500, 0, 500, 0, 1000}, {0, 0, 0, 2, 0}, {900, 0, 0, 0, 100}, {0, 10, 1000, 1, 10}};
  for (const Case& c : cases) {
    int index = -1;
    std::int32_t distance = -1;
    vimgedNearestColor(palette, c.r, c.g, c.b, &index, &distance);
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(distance, c.distance);
  }
  vcolorListSetCount(palette, 0);
  int index = -1;
  std::int32_t distance = 0;
  vimgedNearestColor(palette, 5, 5, 5, &index, &distance);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(distance, 2147483647);
  vcolorListDestroy(palette);
}

TEST(PixelOps, RemapGrowsThePaletteByTheMostUsedMissingColours) {
  Images keep;
  // A 250-entry palette of dark blues; the image uses nine colours of its
  // own palette, eight of them missing from it, and one not at all.
  vcolorList* palette = vcolorListCreate();
  vcolorListSetCount(palette, 250);
  for (unsigned i = 0; i < 250; ++i) vcolorSetSpecRGB(&palette->entries[i], 0, 0, i);
  vimage* image = keep(make(45, 1, 4));
  std::vector<std::uint32_t> colors;
  for (std::uint32_t i = 0; i < 16; ++i) colors.push_back(0x101000u * (i + 1));
  colors[3] = 0x000000;  // in the palette: never appended
  setPalette(image, colors);
  // Entry e used (e + 1) times for e = 1..8; entry 3 (black) too; entry 0
  // and 9-15 unused.
  Pixels px;
  for (std::uint32_t e = 1; e <= 8; ++e) px.insert(px.end(), e + 1, e);
  px.resize(45, 3);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (std::uint32_t v : px) vpixmapCursorSetNext(&c, v);
  vpixmapFinishCursor(&c);

  EXPECT_EQ(vimgedRemapGrowPalette(image, palette, 8), 1);
  ASSERT_EQ(palette->count, 256u);
  // Most used first: 8, 7, 6, 5, 4, then 2 (3 is black).
  std::uint32_t expected[] = {8, 7, 6, 5, 4, 2};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(packed(palette->entries[250 + i]), colors[expected[i]]) << i;
  EXPECT_EQ(image->depth, 8);
  EXPECT_EQ(vimageGetPalette(image)->count, 256u);
  EXPECT_NE(vimageGetPalette(image), palette);
  Pixels got = pixelsOf(image);
  EXPECT_EQ(got[0], 0u);                 // entry 1 was not appended: nearest blue, 0
  EXPECT_EQ(got[44], 0u);                // black is palette entry 0
  EXPECT_EQ(got[44 - 10 + 1], 250u);     // the last entry-8 pixel
  EXPECT_EQ(got[2], 255u);               // entry 2's first pixel

  // Nothing missing: nothing appended.
  vimage* again = keep(make(2, 1, 8, {250, 255}));
  vcolorListCopy(palette, vimageGetPalette(again));
  EXPECT_EQ(vimgedRemapGrowPalette(again, palette, 8), 0);
  EXPECT_EQ(pixelsOf(again), (Pixels{250, 255}));

  // A value past a shortened palette is black, and remapping keeps it so.
  vimage* past = keep(make(2, 1, 8, {1, 200}));
  vcolorListSetCount(vimageGetPalette(past), 2);
  setPalette(past, {0x000000, 0xFFFFFF});
  vcolorList* bw = vcolorListCreate();
  vcolorListSetCount(bw, 2);
  vcolorSetSpecRGB(&bw->entries[0], 65535, 65535, 65535);
  vimgedRemapToPalette(past, bw);
  EXPECT_EQ(past->depth, 1);
  EXPECT_EQ(pixelsOf(past), (Pixels{0, 1}));
  vcolorListDestroy(bw);
  vcolorListDestroy(palette);
}

TEST(PixelOps, DitheringCarriesNoErrorFromPureBlackOrWhite) {
  Images keep;
  struct Case {
    int depth;
    std::uint32_t value;
    std::uint32_t rgb;  // palette entry of indexed images
    std::uint32_t expected;
  } cases[] = {{8, 5, 0x000000, 1}, {8, 5, 0xFFFFFF, 0}, {24, 0x000000, 0, 1}, {24, 0xFFFFFF, 0, 0},
               {1, 0, 0, 1},        {1, 1, 0, 0},        {8, 200, 0, 1}};  // past the palette: black
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    vimage* image = keep(make(5, 4, c.depth, Pixels(20, c.value)));
    if (c.depth == 1) vimageSetNoPalette(image, 1);
    if (c.depth == 8 && c.value < 10) setPalette(image, {0, 0, 0, 0, 0, c.rgb});
    if (c.value == 200) vcolorListSetCount(vimageGetPalette(image), 4);
    vimage* two = keep(vimgedDitherToTwoColors(image));
    EXPECT_EQ(pixelsOf(two), Pixels(20, c.expected));
    EXPECT_EQ(packed(vimageGetPalette(two)->entries[0]), 0xFFFFFFu);
  }
  // Mid grey spreads its error: half the pixels of a row dark, alternating.
  vimage* grey = keep(make(4, 1, 24, Pixels(4, 0x808080)));
  EXPECT_EQ(pixelsOf(keep(vimgedDitherToTwoColors(grey))), (Pixels{0, 1, 0, 1}));
}

TEST(PixelOps, MaskOutlinesMarkTheEdgesOfSetPixels) {
  Images keep;
  vimage* one = keep(make(3, 3, 1, {0, 0, 0, 0, 1, 0, 0, 0, 0}));
  vimgedOutline* o = vimgedMaskOutline(one);
  ASSERT_EQ(o->rows.size(), 1u);
  EXPECT_EQ(o->rows[0].y, 1u);
  ASSERT_EQ(o->rows[0].edges.size(), 1u);
  EXPECT_EQ(o->rows[0].edges[0].x, 1);
  EXPECT_EQ(o->rows[0].edges[0].edges, 15);
  vimgedFreeMaskOutline(o);

  // A 3 x 3 block: the middle pixel has no edge, its row holds only the sides.
  vimage* block = keep(make(3, 3, 1, Pixels(9, 1)));
  o = vimgedMaskOutline(block);
  ASSERT_EQ(o->rows.size(), 3u);
  EXPECT_EQ(o->rows[0].edges.size(), 3u);
  EXPECT_EQ(o->rows[0].edges[0].edges, vimgedEDGE_LEFT | vimgedEDGE_BELOW);
  EXPECT_EQ(o->rows[0].edges[1].edges, vimgedEDGE_BELOW);
  ASSERT_EQ(o->rows[1].edges.size(), 2u);
  EXPECT_EQ(o->rows[1].edges[1].x, 2);
  EXPECT_EQ(o->rows[1].edges[1].edges, vimgedEDGE_RIGHT);
  EXPECT_EQ(o->rows[2].edges[2].edges, vimgedEDGE_RIGHT | vimgedEDGE_ABOVE);
  vimgedFreeMaskOutline(o);
}

TEST(PixelOps, FloodFillsStayFourConnected) {
  Images keep;
  // A diagonal wall of 1s: the fill from the lower left stops at it.
  vimage* image = keep(make(4, 4, 4,
                            {0, 0, 0, 1,  //
                             0, 0, 1, 0,  //
                             0, 1, 0, 0,  //
                             1, 0, 0, 0}));
  vimgedFillContext ctx;
  vimgedInitFillContext(&ctx, image);
  vimgedFloodFill(&ctx, 7, 0, 0);
  EXPECT_EQ(pixelsOf(image), (Pixels{7, 7, 7, 1, 7, 7, 1, 0, 7, 1, 0, 0, 1, 0, 0, 0}));
  vimgedFloodFill(&ctx, 7, 1, 0);  // the same value: nothing changes
  EXPECT_EQ(pixelsOf(image)[15], 0u);
  vimgedFloodFill(&ctx, 1, 3, 3);  // joins the wall
  vimgedFloodFill(&ctx, 2, 3, 0);
  EXPECT_EQ(pixelsOf(image), (Pixels{7, 7, 7, 2, 7, 7, 2, 2, 7, 2, 2, 2, 2, 2, 2, 2}));
  EXPECT_TRUE(raisesArg([&] { vimgedFloodFill(&ctx, 1, 4, 0); }));
  EXPECT_TRUE(raisesArg([&] { vimgedFloodFill(&ctx, 1, 0, -1); }));
  EXPECT_TRUE(raisesArg([] { vimgedFloodFill(nullptr, 1, 0, 0); }));
  vimgedFinishFillContext(&ctx);

  // A serpentine corridor of 1-pixel walls in a big image, filled whole,
  // with every pixel of the corridor reached.
  const int w = 601, h = 401;
  Pixels maze(std::size_t(w) * h, 0);
  for (int y = 1; y < h; y += 2)
    for (int x = 0; x < w; ++x)
      if ((y / 2) % 2 ? x != 0 : x != w - 1) maze[std::size_t(y) * w + std::size_t(x)] = 1;
  vimage* big = keep(make(w, h, 8, maze));
  vimgedInitFillContext(&ctx, big);
  vimgedFloodFill(&ctx, 3, w - 1, h - 1);
  vimgedFinishFillContext(&ctx);
  Pixels got = pixelsOf(big);
  for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], maze[i] ? 1u : 3u) << i;
}

TEST(PixelOps, NullImagesAreMisuse) {
  Images keep;
  vimage* a = keep(make(2, 2, 8));
  EXPECT_TRUE(raisesArg([] { vimgedFlipImageHorizontal(nullptr); }));
  EXPECT_TRUE(raisesArg([] { vimgedFlipImageVertical(nullptr); }));
  EXPECT_TRUE(raisesArg([] { vimgedRotateImage(nullptr); }));
  EXPECT_TRUE(raisesArg([&] { vimgedCopyThroughMask(a, nullptr, a, 0, 0, 1, 1, 0, 0); }));
  EXPECT_TRUE(raisesArg([&] { vimgedFillThroughMask(a, nullptr, 0, 0, 1, 1, 0, 0, 1); }));
  EXPECT_TRUE(raisesArg([] { vimgedMaskOutline(nullptr); }));
}

}  // namespace
