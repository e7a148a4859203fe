#include <gtest/gtest.h>

#include <vector>

#include "fw/core/ex.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/textstyle.h"
#include "tests/fw/gui/raises.h"

namespace {

vname N(const char* s) { return vnameInternLiteral(s); }
std::uintptr_t word(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

std::vector<std::pair<void*, vtextStyle*>> notices;
void record(void* text, vtextStyle* style) { notices.emplace_back(text, style); }

class TextStyle : public ::testing::Test {
 public:
  void SetUp() override {
    _vfontShutdown();
    int d = vfontAllocDevice();
    for (const char* family : {"Arial", "Times"}) {
      vfontFamily* f = vfontRegisterFamily(N(family), N("F"), N("ansi"), 0, d);
      for (const char* face : {"regular", "bold", "italic", "bold italic"}) {
        vfontFace* g = vfontRegisterFace(f, N(face), d);
        for (float p : {10.f, 12.f}) {
          vmatrix m{p, 0, 0, p, 0, 0};
          vfontRegisterSize(g, &m, d);
        }
      }
    }
    vfontSetDefaultSpec("face:regular");
    notices.clear();
    vtextStyleSetNotifier(record);
    style = vtextStyleCreate();
  }
  void TearDown() override {
    vtextStyleDestroy(style);
    vtextStyleSetNotifier(nullptr);
    _vfontShutdown();
  }
  vfont* font() { return vtextStyleGetDefaultClass()->determineFont(style); }
  void put(const char* name, std::uintptr_t value) { vtextStyleGetDefaultClass()->putAttribute(style, N(name), value); }
  vtextStyle* style = nullptr;
};

TEST_F(TextStyle, TheFontFollowsTheAttributesWithTheModifiersFirst) {
  EXPECT_STREQ(font()->face->family->name, "Arial") << "no Font: the empty description";
  EXPECT_STREQ(font()->face->name, "regular");
  vfont* times10 = vfontFindScribe(vscribeLiteral("Times-regular-10"));
  put("Font", word(times10));
  EXPECT_EQ(font(), times10);
  put("Bold", word(vname_On));
  EXPECT_STREQ(vfontGetSpec(font()), "family:Times-face:bold-size:10-encoding:ansi-foundry:F");
  put("Italic", word(vname_On));
  put("Size", 12);
  EXPECT_STREQ(vfontGetSpec(font()), "family:Times-face:bold italic-size:12-encoding:ansi-foundry:F")
      << "the modifiers' size comes before the font's own";
  put("Bold", 0);
  // "italic" keeps both italic faces and nothing later tells them apart:
  // the first in byte order wins.
  EXPECT_STREQ(font()->face->name, "bold italic");
  put("Italic", 0);
  EXPECT_EQ(font()->face, times10->face);
  EXPECT_EQ(font()->matrix->d, 12.0f);
  EXPECT_TRUE(raisesArg([&] { put("Weight", 1); }));
  EXPECT_EQ(vtextStyleAttributeKind(N("Strikethru")), vtextStyleSWITCH);
  EXPECT_EQ(vtextStyleAttributeKind(N("Graphic")), vtextStyleGRAPHIC);
}

TEST_F(TextStyle, CopiesKeepTheAttributesAndOnlyTheKeptFlagAndTellTheOwner) {
  int text = 0;
  put("Size", 10);
  style->flags = vtextStyleKEPT | vtextStyleOWNS_GRAPHIC | 1;
  vtextStyle* copy = vtextStyleClone(style);
  EXPECT_EQ(copy->cls, style->cls);
  EXPECT_EQ(copy->flags, vtextStyleKEPT);
  EXPECT_EQ(copy->index, -1);
  EXPECT_EQ(vtextRulerFindAttr(copy->attributes, vname_Size), 10u);
  EXPECT_EQ(_vtextRulerLookupAttr(copy->attributes, N("Bold")), 0x80000000u);
  copy->owner = &text;
  put("Size", 14);
  EXPECT_TRUE(notices.empty()) << "the source has no owner";
  vtextStyleGetDefaultClass()->copy(style, copy);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].first, &text);
  EXPECT_EQ(vtextRulerFindAttr(copy->attributes, vname_Size), 14u);
  vtextStyleGetDefaultClass()->putAttribute(copy, N("Underline"), word(vname_On));
  EXPECT_EQ(notices.size(), 2u);
  vtextStyleDestroy(copy);
}

TEST_F(TextStyle, LoadsItsAttributesFromTheResource) {
  vrstoreInstallInterface();
  vresource root = vresourceCreateMemoryIn(0);
  vresource r = vresourceCreate(root, N("Style"), vresDICTIONARY);
  vresourceSetTag(r, N("Class"), N("vtextStyle"));
  vresource a = vresourceCreate(r, N("Attributes"), vresDICTIONARY);
  vresourceSetInteger(a, vname_Size, 12);
  vresourceSetTag(a, N("Bold"), vname_On);
  vresourceSetTag(a, N("Italic"), vname_Off);
  vresource f = vresourceCreate(a, vname_Font, vresSTRING);
  vresourceSetString(f, nullptr, vscribeLiteral("Times"));
  auto* loaded = static_cast<vtextStyle*>(vobjectLoad(r));
  EXPECT_EQ(loaded->cls, vtextStyleGetDefaultClass());
  EXPECT_EQ(vtextRulerFindAttr(loaded->attributes, N("Bold")), word(vname_On));
  EXPECT_FALSE(vdictHas(loaded->attributes, N("Italic")));
  vfont* derived = vtextStyleGetDefaultClass()->determineFont(loaded);
  EXPECT_STREQ(vfontGetSpec(derived), "family:Times-face:bold-size:12-encoding:ansi-foundry:F");
  vtextStyleDestroy(loaded);
  vresourceCloseFile(root);
}

}  // namespace
