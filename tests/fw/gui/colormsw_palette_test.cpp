// The palette machinery on colour tables given here: the cube, the free
// ranges and the colour-to-pixel lookup table.
#include "fw/gui/graphics/colormsw_palette.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/fw/gui/raises.h"
#include "tests/fw/gui/system_palette.h"

namespace {

// The twenty static colours of a 256-entry system palette.

TEST(PaletteMachinery, TheCubeOfA256EntryPaletteWith20StaticColours) {
  // 236 free entries, at most half the palette (128): 5^3 = 125 fits, 6^3 does not.
  EXPECT_EQ(vcolorMSWCubeSide(256, 20, 0, 0.5), 5);
  EXPECT_EQ(vcolorMSWCubeSide(256, 20, 0, 1.0), 6);
  EXPECT_EQ(vcolorMSWCubeSide(16, 16, 0, 0.5), 0);  // no room at all
  EXPECT_EQ(vcolorMSWCubeSide(256, 20, 220, 0.5), 2);  // 16 free: 2^3
  std::vector<win::PALETTEENTRY> p = systemPaletteStatics();
  vcolorMSWFillCube(p, 10, 5);
  // Red outermost, components k x 255 / 4: 0, 63, 127, 191, 255.
  auto cube = [&](int r, int g, int b) { return p[10 + r * 25 + g * 5 + b]; };
  EXPECT_EQ(cube(1, 2, 3).peRed, 63);
  EXPECT_EQ(cube(1, 2, 3).peGreen, 127);
  EXPECT_EQ(cube(1, 2, 3).peBlue, 191);
  EXPECT_EQ(cube(1, 2, 3).peFlags, 4);
  // The cube colours equal to upper static colours have their low bits
  // flipped; black equals a lower one and stays.
  std::string flipped;
  for (int i = 10; i < 135; ++i)
    if (p[i].peRed & 1 ? p[i].peRed != 255 && p[i].peRed != 63 && p[i].peRed != 127 && p[i].peRed != 191 : p[i].peRed == 254)
      flipped += std::to_string(p[i].peRed) + "," + std::to_string(p[i].peGreen) + "," + std::to_string(p[i].peBlue) + " ";
  EXPECT_EQ(flipped, "1,1,254 1,254,1 1,254,254 254,1,1 254,1,254 254,254,1 254,254,254 ");
  EXPECT_EQ(cube(0, 0, 0).peRed, 0);
  EXPECT_EQ(vcolorMSWNearestStatic(p, 10, 250, 250, 250), 255);
  EXPECT_EQ(vcolorMSWNearestStatic(p, 10, 130, 1, 1), 1);
}

TEST(PaletteMachinery, FreeRangesGiveOutAlignedBlocksAndRefuseBadReleases) {
  vcolorMSWRanges r;
  r.reset(135, 111);  // statics' lower half and the cube, then 111 free
  EXPECT_EQ(r.allocate(3), 135);
  EXPECT_EQ(r.allocate(4, 4), 140);  // 138 and 139 stay free
  EXPECT_EQ(r.allocate(200), -1);
  r.release(140, 4);
  r.release(135, 3);
  ASSERT_EQ(r.ranges().size(), 1u);
  EXPECT_EQ(r.ranges()[0].used, 135);
  EXPECT_EQ(r.ranges()[0].free, 111);
  for (auto [start, count] : std::vector<std::pair<int, int>>{{135, 3}, {10, 2}, {300, 1}, {0, 0}}) {
    std::string message;
    EXPECT_EQ(raised([&] { r.release(start, count); }, &message), &vexArgClass) << start;
    EXPECT_EQ(message, "trying to free bad color range");
  }
  // A block from the middle of a range comes back on its own.
  EXPECT_EQ(r.allocate(10), 135);
  r.release(137, 2);
  EXPECT_EQ(r.allocate(2), 137);
}

// The brute-force nearest colour, first on ties.
int bruteNearest(const std::vector<std::array<std::uint16_t, 3>>& colors, unsigned r, unsigned g, unsigned b) {
  int best = -1;
  long bestDistance = 0;
  for (std::size_t i = 0; i < colors.size(); ++i) {
    long dr = long(colors[i][0] >> 2) - long(r >> 2), dg = long(colors[i][1] >> 2) - long(g >> 2),
         db = long(colors[i][2] >> 2) - long(b >> 2);
    long d = dr * dr + dg * dg + db * db;
    if (best < 0 || d < bestDistance) {
      best = static_cast<int>(i);
      bestDistance = d;
    }
  }
  return best;
}

TEST(PaletteMachinery, TheLookupTableAnswersTheNearestDeviceColour) {
  std::mt19937 random(7350);
  std::vector<win::PALETTEENTRY> p = systemPaletteStatics();
  vcolorMSWFillCube(p, 10, 5);
  std::vector<std::array<std::uint16_t, 3>> palette;
  for (int i = 0; i < 256; ++i) {
    if (i >= 135 && i < 246) continue;  // unused entries are not usable colours
    palette.push_back({std::uint16_t(p[i].peRed * 257), std::uint16_t(p[i].peGreen * 257), std::uint16_t(p[i].peBlue * 257)});
  }
  std::vector<std::array<std::uint16_t, 3>> scattered(600);
  for (auto& c : scattered) c = {std::uint16_t(random()), std::uint16_t(random()), std::uint16_t(random())};
  struct Case {
    const std::vector<std::array<std::uint16_t, 3>>* colors;
    int bits;
  } cases[] = {{&palette, 3}, {&scattered, 4}};
  for (const Case& k : cases) {
    vcolorMSWLookup lookup;
    lookup.build(*k.colors);
    ASSERT_EQ(lookup.bits(), k.bits);
    EXPECT_EQ(lookup.cellCount(), std::size_t{1} << (3 * k.bits));
    int n = 1 << k.bits, mismatches = 0;
    std::size_t most = 0;
    for (int r = 0; r < n; ++r)
      for (int g = 0; g < n; ++g)
        for (int b = 0; b < n; ++b) {
          unsigned cr = (2 * r + 1) * 65536u / (2 * n), cg = (2 * g + 1) * 65536u / (2 * n), cb = (2 * b + 1) * 65536u / (2 * n);
          mismatches += lookup.nearest(cr, cg, cb) != bruteNearest(*k.colors, cr, cg, cb);
          most = std::max(most, lookup.candidates(cr, cg, cb));
        }
    for (int i = 0; i < 3000; ++i) {
      unsigned r = random() & 0xFFFF, g = random() & 0xFFFF, b = random() & 0xFFFF;
      mismatches += lookup.nearest(r, g, b) != bruteNearest(*k.colors, r, g, b);
    }
    EXPECT_EQ(mismatches, 0) << k.bits;
    EXPECT_LT(most, k.colors->size() / 4);  // the planes prune
  }
}

}  // namespace
