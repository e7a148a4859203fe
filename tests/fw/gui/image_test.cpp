#include "fw/gui/graphics/image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/pixmap_internal.h"
#include "tests/fw/gui/raises.h"

namespace {

int freed = 0;
void noInit(vsyncRingEntry*) {}
void countFree(vsyncRingEntry*) { ++freed; }
int alwaysUpdates(vsyncRingEntry*, vsyncRingEntry*) { return 1; }
const vsyncRingKind deviceKind = {noInit, countFree, alwaysUpdates, nullptr};

std::vector<unsigned> rgbOf(const vcolorList* list) {
  std::vector<unsigned> out;
  for (std::uint32_t i = 0; i < list->count; ++i) {
    unsigned c[3];
    vcolorGetSpecRGB(&list->entries[i], &c[0], &c[1], &c[2]);
    out.insert(out.end(), c, c + 3);
  }
  return out;
}

class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    vrstoreInstallInterface();
    vimageGetDefaultClass();
    root = vresourceCreateMemoryIn(0);
  }
  void TearDown() override { vresourceCloseFile(root); }
  vresource entry(const char* name) { return vresourceCreate(root, key(name), vresDICTIONARY); }
  static vname key(const char* name) { return vnameInternLiteral(name); }
  static void integers(vresource r, const char* name, const std::vector<int>& values) {
    vresource a = vresourceCreateArray(r, key(name), vresINTEGER, std::int32_t(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i) vresourceSetAtInteger(a, std::int32_t(i), values[i]);
  }
  static bool has(vresource r, const char* name) {
    vresource ignored;
    return vresourceTestGet(r, key(name), &ignored);
  }
  vresource root = 0;
};

TEST_F(Resources, ColourListCountsCopiesAndPalettes) {
  vcolorList* list = vcolorListCreate();
  vcolorListSetCount(list, 4);
  for (unsigned i = 0; i < 4; ++i) vcolorSetSpecRGB(&list->entries[i], i + 1, 2 * i, 65535 - i);
  list->representations = vsyncRingAdd(nullptr, &deviceKind, list);
  freed = 0;
  vcolorListSetCount(list, 4);  // the same count keeps the device form
  EXPECT_EQ(freed, 0);
  vcolorListSetCount(list, 2);
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(list->representations, nullptr);
  vcolorListSetCount(list, 4);
  EXPECT_EQ(rgbOf(list), (std::vector<unsigned>{1, 0, 65535, 2, 2, 65534, 0, 0, 0, 0, 0, 0}));

  // Stored and loaded back: an HLS entry comes back as RGB.
  vcolorSetSpecHLS(&list->entries[3], 0, 32767, 65535);
  vcolorSetSpecModel(&list->entries[3], &vcolorHLSModel);
  vresource r = entry("palette");
  vcolorListStore(list, r);
  EXPECT_EQ(vresourceGetTag(r, vname_Type), key("vcolorPalette"));
  vcolorList* back = vcolorListLoad(r);
  EXPECT_EQ(rgbOf(back), rgbOf(list));
  EXPECT_EQ(vcolorGetSpecModel(&back->entries[3]), &vcolorRGBModel);
  vcolorListDestroy(back);

  integers(r, "RGB", {1, 2, 3, 4, 5, 6, 7});
  back = vcolorListLoad(r);
  EXPECT_EQ(rgbOf(back), (std::vector<unsigned>{1, 2, 3, 4, 5, 6, 7, 0, 0}));
  vcolorListDestroy(back);

  // A depth-16 palette keeps all of its entries through a copy.
  vcolorList big;
  _vcolorListInit(&big);
  vcolorListSetCount(&big, 65536);
  vcolorSetSpecRGB(&big.entries[65535], 9, 9, 9);
  vcolorList* clone = vcolorListClone(&big);
  ASSERT_EQ(clone->count, 65536u);
  EXPECT_EQ(vcolorGetSpecRed(&clone->entries[65535]), 9u);
  vcolorListCopy(list, clone);
  EXPECT_EQ(rgbOf(clone), rgbOf(list));
  vcolorListDestroy(clone);
  _vcolorListFinish(&big);
  vcolorListDestroy(list);
}

struct ImageHolder {
  vimage* i;
  ImageHolder(int w, int h, std::uint32_t colors) : i(vimageCreateSized(w, h, colors)) {}
  ~ImageHolder() { vimageDestroy(i); }
};

TEST(Image, DepthsFromColourCounts) {
  struct {
    std::uint32_t colors;
    int depth;
  } cases[] = {{2, 1}, {3, 2}, {5, 4}, {16, 4}, {17, 8}, {256, 8}, {300, 16}, {65536, 16}, {65537, 32}};
  for (auto c : cases) {
    ImageHolder h(2, 2, c.colors);
    EXPECT_EQ(h.i->depth, c.depth) << c.colors;
    EXPECT_EQ(h.i->numColors, c.colors);
  }
  ImageHolder h(2, 2, 16);
  vcolorList* palette = vimageGetPalette(h.i);
  EXPECT_EQ(palette->count, 16u);
  EXPECT_TRUE(h.i->flags & vimageOWNS_PALETTE);
  vpixmapSetDepth(h.i, 3);
  EXPECT_EQ(h.i->depth, 4);
  EXPECT_EQ(h.i->numColors, 8u);
  EXPECT_EQ(palette->count, 8u);
  vimageSetNoPalette(h.i, 1);
  EXPECT_EQ(h.i->palette, nullptr);
  EXPECT_TRUE(raisesArg([&] { vimageGetPalette(h.i); }));
  vpixmapSetDepth(h.i, 32);
  EXPECT_EQ(h.i->numColors, 0xFFFFFFFFu);
  EXPECT_TRUE(raisesArg([&] { vpixmapSetDepth(h.i, 33); }));
  unsigned r, g, b;
  vimageSplitRGB(0x12AB00, &r, &g, &b);
  EXPECT_EQ(r, 0x1212u);
  EXPECT_EQ(g, 0xABABu);
  EXPECT_EQ(b, 0u);
}

TEST(Image, PalettesAndMasksSharedOrOwned) {
  ImageHolder h(3, 3, 4);
  vcolorList* shared = vcolorListCreate();
  vcolorListSetCount(shared, 6);
  vimageSetPalette(h.i, shared);
  EXPECT_EQ(h.i->numColors, 6u);
  EXPECT_EQ(h.i->depth, 4);
  ImageHolder twoColours(3, 3, 2), threeColours(3, 3, 3);
  EXPECT_TRUE(raisesArg([&] { vimageSetMask(h.i, threeColours.i); }));
  vimageSetMask(h.i, twoColours.i);

  vimage* copy = static_cast<vimage*>(vobjectClone(h.i));
  EXPECT_EQ(copy->palette, shared);
  EXPECT_EQ(copy->mask, twoColours.i);
  EXPECT_EQ(copy->flags & (vimageOWNS_PALETTE | vimageOWNS_MASK), 0);
  vimageDestroy(copy);

  vimageSetPaletteOwned(h.i, vcolorListClone(shared));
  vimageSetMaskOwned(h.i, static_cast<vimage*>(vobjectClone(twoColours.i)));
  vcolorSetSpecRGB(&h.i->palette->entries[5], 1, 2, 3);
  copy = static_cast<vimage*>(vobjectClone(h.i));
  EXPECT_NE(copy->palette, h.i->palette);
  EXPECT_EQ(rgbOf(copy->palette), rgbOf(h.i->palette));
  EXPECT_NE(copy->mask, h.i->mask);
  EXPECT_EQ(copy->mask->numColors, 2u);
  EXPECT_EQ(copy->flags & (vimageOWNS_PALETTE | vimageOWNS_MASK), vimageOWNS_PALETTE | vimageOWNS_MASK);
  vimageDestroy(copy);
  vcolorListDestroy(shared);
}

TEST(Image, NoDitheringMarksThePixelsOnlyWhenItChanges) {
  ImageHolder h(2, 2, 4);
  vpixmapFill(h.i, 1);
  vsyncRingEntry* device = vpixmapGetRepresentation(h.i, &deviceKind);
  vsyncRingValidate(device);
  vimageSetNoDithering(h.i, 0);
  EXPECT_TRUE(vsyncRingIsCurrent(device));
  vimageSetNoDithering(h.i, 1);
  EXPECT_FALSE(vsyncRingIsCurrent(device));
  EXPECT_EQ(h.i->flags, vimageNO_DITHERING);
  vsyncRingValidate(device);
  vimageSetNoDithering(h.i, 1);
  EXPECT_TRUE(vsyncRingIsCurrent(device));
}

std::vector<int> pixelsInCursorOrder(vimage* image) {
  std::vector<int> out;
  vpixmapint::HeldCursor c(image);
  for (int n = image->width * image->height; n > 0; --n) out.push_back(int(vpixmapCursorGetNext(&c.c)));
  return out;
}

TEST_F(Resources, RawImagesLoadAndStoreInTheObjectForm) {
  vresource r = entry("raw");
  vresourceSetInteger(r, key("vresourceTAG_IMAGE_WIDTH"), 3);
  vresourceSetInteger(r, key("vresourceTAG_IMAGE_HEIGHT"), 2);
  vresourceSetInteger(r, key("vresourceTAG_IMAGE_NUMCOLORS"), 4);
  const char map[] = {0, 1, 2, 3, 1, 2};
  vresourceSetOpaque(r, key("vresourceTAG_IMAGE_MAP"), map, 6);
  integers(r, "vresourceTAG_IMAGE_COLORS", {65535, 0, 0, 0, 65535, 0, 0, 0, 65535, 7});
  vresource m = entry("mask");
  vresourceSetInteger(m, key("vresourceTAG_IMAGE_WIDTH"), 3);
  vresourceSetInteger(m, key("vresourceTAG_IMAGE_HEIGHT"), 2);
  vresourceSetInteger(m, key("vresourceTAG_IMAGE_NUMCOLORS"), 2);
  vresourceSetTag(r, key("vresourceTAG_IMAGE_TRANSPARENCY"), key("mask"));

  vimage* image = vimageLoad(r);
  EXPECT_EQ(image->depth, 2);
  EXPECT_EQ(pixelsInCursorOrder(image), (std::vector<int>{2, 1, 3, 2, 1, 0}));  // from the last byte
  EXPECT_EQ(rgbOf(image->palette), (std::vector<unsigned>{65535, 0, 0, 0, 65535, 0, 0, 0, 65535, 7, 0, 0}));
  ASSERT_NE(image->mask, nullptr);
  EXPECT_EQ(image->flags, vimageOWNS_PALETTE | vimageOWNS_MASK);

  vclassRec<vobjectClassRec>(image)->store(image, r);
  for (const char* rawKey : {"vresourceTAG_IMAGE_WIDTH", "vresourceTAG_IMAGE_HEIGHT", "vresourceTAG_IMAGE_NUMCOLORS",
                             "vresourceTAG_IMAGE_MAP", "vresourceTAG_IMAGE_COLORS",
                             "vresourceTAG_IMAGE_TRANSPARENCY"})
    EXPECT_FALSE(has(r, rawKey)) << rawKey;
  EXPECT_EQ(vresourceGetTag(r, vname_Type), key("vimage"));
  EXPECT_EQ(vresourceGetInteger(r, key("NumColors")), 4);
  vresource mapChild = vresourceGet(r, vname_Map);
  EXPECT_FALSE(has(mapChild, "Class"));
  EXPECT_EQ(vresourceGetTag(mapChild, vname_Type), key("vpixmap"));
  EXPECT_TRUE(has(r, "Palette"));
  EXPECT_TRUE(has(r, "Transparency"));

  vimage* again = vimageLoad(r);
  EXPECT_EQ(again->cls, image->cls);
  EXPECT_EQ(pixelsInCursorOrder(again), pixelsInCursorOrder(image));
  EXPECT_EQ(rgbOf(again->palette), rgbOf(image->palette));
  EXPECT_EQ(again->mask->numColors, 2u);
  EXPECT_EQ(again->flags, image->flags);
  vimageDestroy(again);

  // A shared palette and mask are not stored; stale children go.
  ImageHolder plain(2, 2, 4);
  vimageSetNoDithering(plain.i, 1);
  vclassRec<vobjectClassRec>(plain.i)->store(plain.i, r);
  EXPECT_FALSE(has(r, "Palette"));
  EXPECT_FALSE(has(r, "Transparency"));
  EXPECT_EQ(vresourceGetInteger(r, vname_Flags), 1);
  vimageDestroy(image);
}

TEST_F(Resources, ObjectFormFlagsAndRefusedRawImages) {
  vresource r = entry("flags");
  vresource map = vresourceCreate(r, vname_Map, vresDICTIONARY);
  vresourceSetInteger(map, vname_Width, 2);
  vresourceSetInteger(map, vname_Height, 2);
  vresourceSetInteger(map, vname_Depth, 8);
  vresourceSetInteger(r, key("NumColors"), 5);
  vresourceSetInteger(r, vname_Flags, 1);
  vresourceSetInteger(r, key("vimageFlags"), 2 | 8);  // preferred; owning bits are not read
  vimage* image = vimageLoad(r);
  EXPECT_EQ(image->flags, vimageNO_PALETTE);
  EXPECT_EQ(image->numColors, 256u);
  vimageDestroy(image);

  struct Case {
    const char* what;
    int w, h, colors, mapLength;
    const char* mask;  // names a resource beside the image
  } cases[] = {
      {"short map", 3, 2, 4, 5, nullptr},     {"long map", 3, 2, 4, 7, nullptr},
      {"no colours", 3, 2, 0, 6, nullptr},    {"too many colours", 3, 2, 65537, 6, nullptr},
      {"no width", 0, 2, 4, 0, nullptr},      {"mask of three colours", 3, 2, 3, 6, "three"},
      {"mask that is the image", 3, 2, 2, 6, "loop"}, {"mask not there", 3, 2, 2, 6, "nowhere"},
  };
  vresource three = entry("three");
  vresourceSetInteger(three, key("vresourceTAG_IMAGE_WIDTH"), 1);
  vresourceSetInteger(three, key("vresourceTAG_IMAGE_HEIGHT"), 1);
  vresourceSetInteger(three, key("vresourceTAG_IMAGE_NUMCOLORS"), 3);
  for (const Case& c : cases) {
    vresource bad = entry("loop");
    vresourceSetInteger(bad, key("vresourceTAG_IMAGE_WIDTH"), c.w);
    vresourceSetInteger(bad, key("vresourceTAG_IMAGE_HEIGHT"), c.h);
    vresourceSetInteger(bad, key("vresourceTAG_IMAGE_NUMCOLORS"), c.colors);
    std::string bytes(std::size_t(c.mapLength), '\1');
    vresourceSetOpaque(bad, key("vresourceTAG_IMAGE_MAP"), bytes.data(), bytes.size());
    if (c.mask) vresourceSetTag(bad, key("vresourceTAG_IMAGE_TRANSPARENCY"), key(c.mask));
    EXPECT_TRUE(raisesArg([&] { vimageDestroy(vimageLoad(bad)); })) << c.what;
  }
}

// The object form's counts: a colour count outside 1-65536, a palette with
// fewer entries than the count and a mask of other than two colours are
// refused, as the raw form refuses them; the stored form they came from
// loads.
TEST_F(Resources, ObjectFormCountsAreChecked) {
  vimage* source = vimageCreateSized(2, 2, 3);
  vimageGetPalette(source);
  vimageSetMaskOwned(source, vimageCreateSized(2, 2, 2));
  vresource stored = entry("stored");
  vclassRec<vobjectClassRec>(source)->store(source, stored);
  vimageDestroy(source);
  vimage* back = vimageLoad(stored);
  EXPECT_EQ(back->numColors, 3u);
  ASSERT_NE(back->mask, nullptr);
  EXPECT_EQ(back->mask->numColors, 2u);
  vimageDestroy(back);

  struct Case {
    const char* what;
    int numColors;     // the image's "NumColors"
    int maskColors;    // the mask's
  } cases[] = {
      {"no colours", 0, 2},   {"a negative count", -1, 2},     {"too many colours", 65537, 2},
      {"a short palette", 4, 2}, {"a mask of three colours", 3, 3}, {"a mask of one colour", 3, 1},
  };
  for (const Case& c : cases) {
    vresource bad = entry("bad");
    vresourceCopyContents(stored, bad);
    vresourceSetInteger(bad, key("NumColors"), c.numColors);
    vresourceSetInteger(vresourceGet(bad, vname_Transparency), key("NumColors"), c.maskColors);
    std::string message;
    vimage* loaded = nullptr;
    EXPECT_EQ(raised([&] { loaded = vimageLoad(bad); }, &message), &vexArgRangeClass) << c.what << ": " << message;
    if (loaded) vimageDestroy(loaded);
  }
}

}  // namespace
