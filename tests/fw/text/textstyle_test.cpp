#include "fw/text/textstyle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/text/text.h"
#include "tests/fw/gui/raises.h"
#include "tests/fw/text/text_support.h"

namespace {

using texttest::N;
using texttest::word;

class TextStyle : public ::testing::Test {
 public:
  void SetUp() override { style = vtextStyleCreate(); }
  void TearDown() override { vtextStyleDestroy(style); }
  vfont* font() { return vtextStyleGetFont(style); }
  void put(const char* name, const void* object, std::intptr_t integer = 0) {
    vtextStyleSetAttribute(style, N(name), static_cast<vobject*>(const_cast<void*>(object)), integer);
  }
  vtextStyle* style = nullptr;
};

TEST_F(TextStyle, TheFontFollowsTheAttributesWithTheModifiersFirst) {
  EXPECT_EQ(font(), vfontFindScribe(vscribeLiteral(""))) << "no Font: the empty description";
  vfont* times10 = vfontFindScribe(vscribeLiteral("Times-regular-10"));
  put("Font", times10);
  EXPECT_EQ(font(), times10);
  put("Bold", vname_On);
  EXPECT_STREQ(vfontGetSpec(font()), "family:Times-face:bold-size:10-encoding:ansi-foundry:F");
  put("Italic", vname_On);
  put("Size", nullptr, 12);
  EXPECT_STREQ(vfontGetSpec(font()), "family:Times-face:bold italic-size:12-encoding:ansi-foundry:F")
      << "the modifiers' size comes before the font's own";
  put("Bold", vname_Off);
  // "italic" keeps both italic faces and nothing later tells them apart.
  EXPECT_NE(std::string(font()->face->name).find("italic"), std::string::npos);
  put("Italic", vname_Off);
  EXPECT_EQ(font()->face, times10->face);
  EXPECT_EQ(font()->matrix->d, 12.0f);
  EXPECT_EQ(raised([&] { put("Weight", nullptr, 1); }), &vexTextAttributeNotRegisteredClass);
  EXPECT_EQ(vtextRulerGetAttrType(vtextStyleGetDefaultClass()->definitions, N("Strikethru")), vtextAttrBOOLEAN);
  EXPECT_EQ(vtextRulerGetAttrType(vtextStyleGetDefaultClass()->definitions, N("Graphic")), vtextAttrOBJECT);
}

// Observes the style changes a text announces.
std::vector<std::pair<vtextStyle*, int>> announced;

TEST_F(TextStyle, CopiesKeepTheAttributesAndOnlyTheKeptFlagAndTellTheOwner) {
  put("Size", nullptr, 10);
  style->flags = vtextStyleKEPT | vtextStyleOWNS_GRAPHIC | 1;
  vtextStyle* copy = vtextStyleClone(style);
  EXPECT_EQ(copy->cls, style->cls);
  EXPECT_EQ(copy->flags, vtextStyleKEPT);
  EXPECT_EQ(copy->index, -1);
  EXPECT_EQ(vtextRulerFindAttr(&copy->attributes, vname_Size), 10u);
  EXPECT_EQ(_vtextRulerLookupAttr(&copy->attributes, N("Bold")), vtextAttrABSENT);
  style->flags = 0;

  // The copy becomes a text's current style: its changes re-lay the text out.
  vtext* text = vtextCreate();
  copy->flags = 0;
  copy->owner = text;
  text->currentStyle = copy;
  std::int32_t before = text->first->lines[0].ascent;
  put("Size", nullptr, 14);
  vtextStyleGetDefaultClass()->copy(style, copy);
  EXPECT_EQ(vtextRulerFindAttr(&copy->attributes, vname_Size), 14u);
  vtextStyleSetAttribute(copy, N("Ascent"), nullptr, 30);
  EXPECT_EQ(text->first->lines[0].ascent, 30) << "was " << before;
  copy->flags |= vtextStyleKEPT;
  vtextStyleSetAttribute(copy, N("Ascent"), nullptr, 40);
  EXPECT_EQ(text->first->lines[0].ascent, 30) << "a kept style's changes are not announced";
  text->currentStyle = nullptr;
  vtextDestroy(text);
  vtextStyleDestroy(copy);
}

TEST_F(TextStyle, LoadsItsAttributesFromTheResource) {
  vrstoreInstallInterface();
  vresource root = vresourceCreateMemoryIn(0);
  vresource r = vresourceCreate(root, N("Style"), vresDICTIONARY);
  vresourceSetTag(r, N("Class"), N("vtextStyle"));
  vresource a = vresourceCreate(r, N("Attributes"), vresDICTIONARY);
  vresourceSetInteger(a, vname_Size, 12);
  vresourceSetBoolean(a, N("Bold"), 1);
  vresourceSetBoolean(a, N("Italic"), 0);
  vresource f = vresourceCreate(a, vname_Font, vresSTRING);
  vresourceSetString(f, nullptr, vscribeLiteral("Times"));
  auto* loaded = vtextStyleCreateFromResource(r);
  EXPECT_EQ(loaded->cls, vtextStyleGetDefaultClass());
  EXPECT_EQ(vtextRulerGetBooleanAttr(loaded, N("Bold")), 1);
  EXPECT_EQ(vtextRulerGetBooleanAttr(loaded, N("Italic")), 0);
  EXPECT_STREQ(vfontGetSpec(vtextStyleGetFont(loaded)), "family:Times-face:bold-size:12-encoding:ansi-foundry:F");
  vtextStyleDestroy(loaded);
  vresourceCloseFile(root);
}

}  // namespace
