#include "fw/gui/graphics/scheme.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "fw/core/class.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "tests/fw/gui/raises.h"

namespace {

vcolor* rgb(unsigned r, unsigned g, unsigned b) {
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, r, g, b);
  return vcolorInternSpec(&s);
}

TEST(Scheme, TagsAndMasks) {
  EXPECT_STREQ(vcolorGetSchemeTag(0), "Foreground");
  EXPECT_EQ(vcolorGetSchemeTag(1), vcolorGetSchemeTag(0));
  EXPECT_STREQ(vcolorGetSchemeTag(23), "ShadowBottomDark");
  EXPECT_STREQ(vcolorGetSchemeTag(vcolorCOLOR_FOCUS), "ColorFocus");
  EXPECT_TRUE(raisesArg([] { vcolorGetSchemeTag(24); }));
  EXPECT_TRUE(raisesArg([] { vcolorGetSchemeTag(-1); }));
  const int two[] = {0, 2};
  EXPECT_EQ(vcolorMakeSchemeMask(two, 2), 5u);
  EXPECT_EQ(vcolorMakeSchemeMask(two, 0), 0u);
  const int wrapped[] = {33};
  EXPECT_EQ(vcolorMakeSchemeMask(wrapped, 1), 2u);  // the bit of i mod 32
  int out[32];
  ASSERT_EQ(vcolorGetSchemeIndexes(0x800005, out), 3);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 2);
  EXPECT_EQ(out[2], 23);
  EXPECT_EQ(vcolorSchemeDisabledMask(0x5), 0xAu);
  EXPECT_EQ(vcolorSchemeDisabledMask(0xFFFFFF), 0xAAAAAAu);
}

TEST(Scheme, SettingCopyingMergingAndPromoting) {
  vcolor* red = rgb(65535, 0, 0);
  vcolor* blue = rgb(0, 0, 65535);
  vcolorScheme s{};
  vcolor* colors[24] = {};
  colors[2] = red;
  colors[5] = blue;
  vcolorSetSchemeColors(&s, 0x24, colors);  // 2 and 5
  EXPECT_EQ(s.mask, 0x24u);
  colors[2] = nullptr;
  vcolorSetSchemeColors(&s, 0x4, colors);  // a null colour removes the index
  EXPECT_EQ(s.mask, 0x20u);
  EXPECT_EQ(s.entries[2], red);  // the entry stays

  // Promotion: only entry 3 present gives entries 2 and 3 equal, mask 12.
  vcolorScheme p{};
  const int three[] = {3};
  vcolor* one[] = {blue};
  vcolorSetSchemeColorsIndexed(&p, three, 1, one);
  vcolorPromoteScheme(&p);
  EXPECT_EQ(p.mask, 12u);
  EXPECT_EQ(p.entries[2], blue);
  EXPECT_EQ(p.entries[3], blue);

  vcolor* got[3];
  const int asked[] = {2, 3, 4};
  vcolorGetSchemeColors(&p, asked, 3, got);
  EXPECT_EQ(got[0], blue);
  EXPECT_EQ(got[2], nullptr);
  vcolor* copied[24];
  for (vcolor*& c : copied) c = red;
  vcolorCopySchemeColors(&p, 0x1C, copied);
  EXPECT_EQ(copied[2], blue);
  EXPECT_EQ(copied[4], nullptr);  // asked for, absent
  EXPECT_EQ(copied[5], red);      // not asked for: untouched

  // Merge ORs the mask, assign replaces it; both copy the masked entries.
  vcolorScheme m{}, a{};
  m.mask = a.mask = 0x1;
  m.entries[0] = a.entries[0] = red;
  vcolorMergeScheme(&p, 0xC, &m);
  vcolorAssignScheme(&p, 0xC, &a);
  EXPECT_EQ(m.mask, 0xDu);
  EXPECT_EQ(a.mask, 0xCu);
  EXPECT_EQ(m.entries[0], red);
  EXPECT_EQ(m.entries[3], blue);
  EXPECT_EQ(a.entries[2], blue);
  vcolorRelease(red);
  vcolorRelease(blue);
}

// The five-bit walk copies exactly what an entry-by-entry copy would.
TEST(Scheme, MaskedCopiesMatchEntryByEntry) {
  std::mt19937 rng(8112);
  vcolorScheme source{};
  source.mask = 0xFFFFFF;
  for (int i = 0; i < 24; ++i) source.entries[i] = reinterpret_cast<vcolor*>(std::uintptr_t(0x1000 + 16 * i));
  for (int run = 0; run < 500; ++run) {
    std::uint32_t mask = rng() & 0xFFFFFF;
    vcolorScheme merged{}, want{};
    vcolorMergeScheme(&source, mask, &merged);
    for (int i = 0; i < 24; ++i)
      if (mask & (1u << i)) want.entries[i] = source.entries[i];
    for (int i = 0; i < 24; ++i) ASSERT_EQ(merged.entries[i], want.entries[i]) << std::hex << mask << " " << i;
    vcolor* copied[24] = {};
    vcolorCopySchemeColors(&source, mask, copied);
    for (int i = 0; i < 24; ++i) ASSERT_EQ(copied[i], want.entries[i]) << std::hex << mask << " " << i;
  }
}

// ---- Preferences and resources.

struct SchemeStore : ::testing::Test {
  vmoduleContext* context = nullptr;
  vresource root = 0;
  void SetUp() override {
    vrstoreInstallInterface();
    vprefBuildClasses();
    context = vmoduleCreateContext();
    root = vrstoreCreateMemory();
  }
  void TearDown() override {
    vmoduleDestroyContext(context);
    vresourceCloseFile(root);
  }
  vresource parsed(const char* text) {
    vresource r = vresourceCreate(root, vnameInternLiteral("Parsed"), vresDICTIONARY);
    std::string error;
    EXPECT_TRUE(vrtextParse(text, r, &error)) << error;
    return r;
  }
};

TEST_F(SchemeStore, LoadFromPreferences) {
  const char* withDisable = R"(
    Foreground = dictionary { vcolorClass = integer 0 vcolorComponent1 = integer 1
                              vcolorComponent2 = integer 2 vcolorComponent3 = integer 3 }
    Background = string "not a colour"
    Disable = dictionary { Foreground = dictionary { vcolorComponent1 = integer 9 } }
  )";
  vprefDict* d = vprefCreateDict();
  vprefDictPushResource(d, parsed(withDisable));
  vcolorScheme s{};
  vcolorLoadScheme(d, 0xF | vcolorSchemeBit(vcolorCOLOR_FOCUS), &s);
  EXPECT_EQ(s.mask, 0x7u);  // 0, 1 and 2 found; 3 and the focus absent
  ASSERT_NE(s.entries[0], nullptr);
  EXPECT_EQ(s.entries[0]->desc.component[2], 3);
  EXPECT_EQ(s.entries[1]->desc.component[0], 9);
  EXPECT_EQ(s.entries[2], nullptr);  // present, but no colour
  vcolorRelease(s.entries[0]);
  vcolorRelease(s.entries[1]);
  vprefRelease(d);

  // Without "Disable" the odd indexes are skipped.
  d = vprefCreateDict();
  vprefDictPushResource(d, parsed("Foreground = dictionary { vcolorComponent1 = integer 5 }"));
  vcolorScheme t{};
  vcolorLoadScheme(d, 0x3, &t);
  EXPECT_EQ(t.mask, 0x1u);
  vcolorRelease(t.entries[0]);
  vprefRelease(d);
}

// A scheme stored into a dictionary of a chunk file: each entry is made
// and then written, as in a ".vr" file.
TEST_F(SchemeStore, StoresIntoAChunkFileAsIntoAVrFile) {
  vcolor* colors[24] = {};
  colors[0] = rgb(1000, 5, 6);
  colors[3] = rgb(3000, 5, 6);
  vcolorScheme s{};
  vcolorSetSchemeColors(&s, vcolorSchemeBit(0) | vcolorSchemeBit(3), colors);
  vresource chunk = vresourceCreateMemoryIn(1);
  vresource r = vresourceCreate(chunk, vnameInternLiteral("Colors"), vresDICTIONARY);
  vcolorStoreScheme(&s, r);
  vcolorScheme back{};
  vcolorLoadSchemeResource(&back, r);
  EXPECT_EQ(back.mask, s.mask);
  for (int i : {0, 3}) {
    EXPECT_EQ(back.entries[i], colors[i]) << i;
    vcolorRelease(back.entries[i]);
  }
  for (vcolor* c : colors)
    if (c) vcolorRelease(c);
  vresourceCloseFile(chunk);
}

TEST_F(SchemeStore, StoreAndLoadBackThroughAResource) {
  vcolor* colors[24] = {};
  std::uint32_t mask = 0;
  for (int i : {0, 3, 7, 10}) {
    colors[i] = rgb(unsigned(i) * 1000, 5, 6);
    mask |= vcolorSchemeBit(i);
  }
  vcolorScheme s{};
  vcolorSetSchemeColors(&s, mask, colors);
  vresource r = vresourceCreate(root, vnameInternLiteral("Scheme"), vresDICTIONARY);
  // Children of entries the scheme lacks, above and below its highest one.
  vresourceCreate(r, vcolorGetSchemeTag(vcolorSHADOW_BOTTOM_DARK), vresDICTIONARY);
  vresourceCreate(r, vcolorGetSchemeTag(vcolorBACKGROUND), vresDICTIONARY);
  vresource oldDisable = vresourceCreate(r, vnameInternLiteral("Disable"), vresDICTIONARY);
  vresourceCreate(oldDisable, vcolorGetSchemeTag(21), vresDICTIONARY);
  vcolorStoreScheme(&s, r);
  vresource out;
  EXPECT_EQ(vresourceTestGet(r, vcolorGetSchemeTag(vcolorSHADOW_BOTTOM_DARK), &out), 0);
  EXPECT_EQ(vresourceTestGet(r, vcolorGetSchemeTag(vcolorBACKGROUND), &out), 0);
  vresource disable = vresourceGet(r, vnameInternLiteral("Disable"));
  EXPECT_EQ(vresourceTestGet(disable, vcolorGetSchemeTag(21), &out), 0);
  EXPECT_EQ(vresourceCount(disable), 2);  // 3 and 7

  vcolorScheme back{};
  back.entries[5] = colors[0];  // an absent index keeps its old pointer
  vcolorLoadSchemeResource(&back, r);
  EXPECT_EQ(back.mask, mask);
  for (int i : {0, 3, 7, 10}) {
    EXPECT_EQ(back.entries[i], colors[i]) << i;  // interned: the same colour
    vcolorRelease(back.entries[i]);
  }
  EXPECT_EQ(back.entries[5], colors[0]);
  for (vcolor* c : colors)
    if (c) vcolorRelease(c);
}

}  // namespace
