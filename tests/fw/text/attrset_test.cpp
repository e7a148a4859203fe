// Attribute sets, the object-level setters, rulers and the stored forms.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/color.h"
#include "fw/text/observer.h"
#include "fw/text/text.h"
#include "tests/fw/gui/raises.h"
#include "tests/fw/text/text_support.h"

namespace {

using texttest::N;
using texttest::px;
using texttest::word;

std::vector<std::string> keysOf(const vtextAttrSet& set) {
  std::vector<std::string> keys;
  for (int i = 0; i < set.count; ++i) keys.emplace_back(set.keys[i]->key);
  EXPECT_EQ(set.keys ? set.keys[set.count] : nullptr, nullptr) << "the key array stays null-terminated";
  return keys;
}

const vtextAttrDefinitions* styleKeys() { return vtextStyleGetDefaultClass()->definitions; }

TEST(AttrSet, DefinitionsGrowByTwoAndRefuseASecondRegistration) {
  vtextAttrDefinitions* table = vtextRulerCreateDefinitions();
  EXPECT_EQ(table->capacity, 2u);
  const char* names[] = {"A", "B", "C", "D", "E"};
  for (int i = 0; i < 5; ++i) vtextRulerRegisterAttr(table, N(names[i]), i + 1);
  EXPECT_EQ(table->count, 5u);
  EXPECT_EQ(table->capacity, 6u);
  EXPECT_EQ(vtextRulerGetAttrType(table, N("D")), 4);
  EXPECT_EQ(vtextRulerGetAttrType(table, N("Z")), 0);
  EXPECT_TRUE(raisesArg([&] { vtextRulerRegisterAttr(table, N("C"), 3); }));
  EXPECT_EQ(table->count, 5u);
  vtextRulerDestroyDefinitions(table);
}

TEST(AttrSet, PutsGrowByFourKeepOrderAndRefuseUnregisteredKeys) {
  vtextAttrSet set;
  vtextRulerInitAttrSet(&set);
  EXPECT_EQ(set.keys, nullptr);
  const char* keys[] = {"Size", "Bold", "Ascent", "Descent", "Italic"};
  for (int i = 0; i < 5; ++i) vtextRulerPutAttr(styleKeys(), &set, N(keys[i]), nullptr, i + 1);
  EXPECT_EQ(set.capacity, 8);
  EXPECT_EQ(keysOf(set), (std::vector<std::string>{"Size", "Bold", "Ascent", "Descent", "Italic"}));
  vfont* font = vfontFindScribe(vscribeLiteral("Times-regular-10"));
  vtextRulerPutAttr(styleKeys(), &set, N("Bold"), font, 7);
  EXPECT_EQ(vtextRulerFindAttr(&set, N("Bold")), word(font)) << "the object wins over the integer, in place";
  EXPECT_EQ(set.count, 5);
  EXPECT_EQ(raised([&] { vtextRulerPutAttr(styleKeys(), &set, N("Weight"), nullptr, 1); }),
            &vexTextAttributeNotRegisteredClass);
  EXPECT_TRUE(vexClassDerives(&vexTextAttributeNotRegisteredClass, &vexTextClass));
  EXPECT_EQ(set.count, 5);
  EXPECT_EQ(vtextRulerFindAttr(&set, N("Color")), 0u);
  EXPECT_EQ(_vtextRulerLookupAttr(&set, N("Color")), vtextAttrABSENT);

  vtextRulerRemoveAttr(&set, N("Ascent"));
  EXPECT_EQ(keysOf(set), (std::vector<std::string>{"Size", "Bold", "Descent", "Italic"}));
  EXPECT_EQ(vtextRulerFindAttr(&set, N("Italic")), 5u) << "values move with their keys";
  EXPECT_TRUE(raisesArg([&] { vtextRulerRemoveAttr(&set, N("Ascent")); }));
  vtextAttrSet empty;
  vtextRulerInitAttrSet(&empty);
  EXPECT_TRUE(raisesArg([&] { vtextRulerRemoveAttr(&empty, N("Size")); })) << "a set without arrays";

  // Copy takes the terminator; merge overwrites in place and appends the rest.
  vtextAttrSet other;
  vtextRulerInitAttrSet(&other);
  vtextRulerPutAttr(styleKeys(), &other, N("Italic"), nullptr, 50);
  vtextRulerPutAttr(styleKeys(), &other, N("Underline"), nullptr, 60);
  vtextRulerMergeAttrSet(&other, &set);
  EXPECT_EQ(keysOf(set), (std::vector<std::string>{"Size", "Bold", "Descent", "Italic", "Underline"}));
  EXPECT_EQ(vtextRulerFindAttr(&set, N("Italic")), 50u);
  vtextRulerCopyAttrSet(&set, &other);
  EXPECT_EQ(keysOf(other), keysOf(set));
  EXPECT_TRUE(vtextRulerEqualAttrSet(&set, &other));
  vtextRulerCopyAttrSet(&empty, &other);
  EXPECT_EQ(other.count, 0);
  EXPECT_EQ(other.keys[0], nullptr);
  vtextRulerFreeAttrSet(&set);
  vtextRulerFreeAttrSet(&other);
}

TEST(AttrSet, EqualityIgnoresOrderAndComparesFontsByIdentity) {
  vtextStyle *a = vtextStyleCreate(), *b = vtextStyleCreate();
  vtextStyleSetAttribute(a, N("Size"), nullptr, 10);
  vtextStyleSetAttribute(a, N("Bold"), nullptr, std::intptr_t(vname_On));
  vtextStyleSetAttribute(b, N("Bold"), nullptr, std::intptr_t(vname_On));
  vtextStyleSetAttribute(b, N("Size"), nullptr, 10);
  EXPECT_TRUE(vtextRulerEqualAttrSet(&a->attributes, &b->attributes));
  // Two size records of one face and size are one object; another face is another.
  vfont* f1 = vfontFindScribe(vscribeLiteral("Times-regular-10"));
  vfont* f2 = vfontFindScribe(vscribeLiteral("Arial-regular-10"));
  vtextStyleSetAttribute(a, vname_Font, reinterpret_cast<vobject*>(f1), 0);
  vtextStyleSetAttribute(b, vname_Font, reinterpret_cast<vobject*>(f2), 0);
  EXPECT_FALSE(vtextRulerEqualAttrSet(&a->attributes, &b->attributes));
  vtextStyleSetAttribute(b, vname_Font, reinterpret_cast<vobject*>(f1), 0);
  EXPECT_TRUE(vtextRulerEqualAttrSet(&a->attributes, &b->attributes));
  vtextStyleSetAttribute(b, N("Italic"), nullptr, std::intptr_t(vname_Off));
  EXPECT_FALSE(vtextRulerEqualAttrSet(&a->attributes, &b->attributes)) << "counts differ";
  vtextStyleDestroy(a);
  vtextStyleDestroy(b);
}

TEST(AttrSet, ObjectLevelSettersAndTheirRemovalValues) {
  vtextRuler* ruler = vtextRulerCreate();
  vtextStyle* style = vtextStyleCreate();
  vname bold = N("Bold");
  vtextRulerSetBooleanAttr(style, bold, 1);
  vtextRulerSetBooleanAttr(style, bold, 0);
  EXPECT_EQ(style->attributes.count, 1);
  EXPECT_EQ(vtextRulerFindAttr(&style->attributes, bold), word(vname_Off));
  EXPECT_EQ(vtextRulerGetBooleanAttr(style, bold), 0);
  vtextRulerSetBooleanAttr(style, bold, -1);
  EXPECT_EQ(vtextRulerGetBooleanAttr(style, bold), -1);
  vtextRulerSetBooleanAttr(style, bold, -1);  // absent: swallowed
  EXPECT_EQ(style->attributes.count, 0);

  struct Case {
    const char* key;
    void (*set)(vobject*, vname, std::int32_t);
    std::int32_t (*get)(vobject*, vname);
    std::int32_t value;
  } cases[] = {
      {"Size", vtextRulerSetIntegerAttr, vtextRulerGetAttr, 0},
      {"Descent", vtextRulerSetMeasureAttr, vtextRulerGetMeasureAttr, px(2.5)},
      {"Ascent", vtextRulerSetIntegerAttr, vtextRulerGetAttr, -7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(c.get(style, N(c.key)), -1);
    c.set(style, N(c.key), c.value);
    EXPECT_EQ(c.get(style, N(c.key)), c.value);
    c.set(style, N(c.key), -1);
    EXPECT_EQ(c.get(style, N(c.key)), -1);
  }
  vtextRulerSetFlagAttr(ruler, N("Wrap"), 1);
  EXPECT_EQ(vtextRulerGetFlagAttr(ruler, N("Wrap")), 1);
  vtextRulerSetMeasureAttr(ruler, N("LeftIndent"), px(12));
  EXPECT_EQ(vtextRulerGetMeasureAttr(ruler, N("LeftIndent")), px(12));

  // Justification: the four names, an empty word above 3, -1 removes.
  struct Just {
    int set, get;
  } just[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, -1}, {9, -1}, {3, 3}, {-1, -1}};
  for (const Just& j : just) {
    vtextRulerSetJustification(ruler, j.set);
    EXPECT_EQ(vtextRulerGetJustification(ruler), j.get) << "set " << j.set;
  }
  vtextRuler* dflt = vtextGetDefaultRuler();
  EXPECT_EQ(vtextRulerGetJustification(dflt), -1);
  EXPECT_EQ(vtextRulerFindAttr(&dflt->attributes, N("Justification")), 0u);
  EXPECT_EQ(vtextRulerGetMeasureAttr(dflt, N("TabWidth")), 0x300000);

  vtextRulerSetObjectAttr(style, vname_Color, reinterpret_cast<vobject*>(vcolorGetBlack()));
  EXPECT_EQ(vtextRulerFindAttr(&style->attributes, vname_Color), word(vcolorGetBlack()));
  vtextRulerSetObjectAttr(style, vname_Color, nullptr);
  EXPECT_EQ(vtextRulerFindAttr(&style->attributes, vname_Color), 0u);
  EXPECT_EQ(raised([&] { vtextRulerSetIntegerAttr(ruler, N("Size"), 3); }), &vexTextAttributeNotRegisteredClass)
      << "rulers have their own definitions";
  vtextStyleDestroy(style);
  vinstanceDestroy(ruler);
}

struct RulerSpy {
  static inline std::vector<vtextRuler*> seen;
};

TEST(TextRuler, CopyCarriesTheChangedFlagAndTellsTheOwnerText) {
  vtextRuler* source = vtextRulerCreate();
  vtextRulerSetMeasureAttr(source, N("RightIndent"), px(100));
  source->flags = vtextRulerCHANGED | vtextRulerOWNED;
  source->tabCount = 2;
  source->tabCapacity = 4;
  source->tabs = static_cast<vtextTab*>(vmemAllocClear(4 * sizeof(vtextTab)));
  source->tabs[0] = {px(30), 1};
  source->tabs[1] = {px(90), 2};
  source->lastTab = px(90);

  vtextRuler* free = vtextRulerCreate();
  free->flags = vtextRulerAPPLIED;
  vclassRec<vobjectClassRec>(source)->copy(source, free);
  EXPECT_EQ(free->flags, vtextRulerAPPLIED | vtextRulerCHANGED);
  EXPECT_EQ(free->tabCount, 2);
  EXPECT_EQ(free->tabs[1].position, px(90));
  EXPECT_NE(free->tabs, source->tabs);
  EXPECT_EQ(vtextRulerGetMeasureAttr(free, N("RightIndent")), px(100));

  // Into a text's default ruler: the text lays out again and announces it.
  auto* observerClass = vclassSpawnOf<vtextObserverClassRec>(vtextObserverGetDefaultClass());
  observerClass->rulerChanged = [](vinstance*, vtextRuler* r, std::int32_t, std::int32_t) {
    RulerSpy::seen.push_back(r);
  };
  vtext* text = vtextCreate();
  vtextRuler* owned = vtextRulerCreate();
  owned->owner = text;
  text->defaultRuler = owned;
  owned->flags = vtextRulerOWNED;
  vtextSetObserverClass(text, observerClass);
  source->flags = 0;
  vclassRec<vobjectClassRec>(source)->copy(source, owned);
  ASSERT_EQ(RulerSpy::seen.size(), 1u);
  EXPECT_EQ(RulerSpy::seen[0], owned);
  vtextRulerSetMeasureAttr(owned, N("LeftIndent"), px(5));
  EXPECT_EQ(RulerSpy::seen.size(), 2u) << "a put tells the owner as well";
  vtextRulerSetMeasureAttr(owned, N("LeftIndent"), -1);
  EXPECT_EQ(RulerSpy::seen.size(), 2u) << "a removal does not";
  vtextDestroy(text);  // destroys its owned default ruler
  vinstanceDestroy(free);
  vinstanceDestroy(source);
}

class Stored : public ::testing::Test {
 public:
  void SetUp() override {
    vrstoreInstallInterface();
    root = vresourceCreateMemoryIn(0);
  }
  void TearDown() override { vresourceCloseFile(root); }
  vresource dict(const char* name) { return vresourceCreate(root, N(name), vresDICTIONARY); }
  vresource root = 0;
};

TEST_F(Stored, RulersStoreTabsOrDeleteThemAndRoundTrip) {
  vtextRuler* ruler = vtextRulerCreate();
  vtextRulerSetMeasureAttr(ruler, N("LeftIndent"), px(12.5));
  vtextRulerSetJustification(ruler, 2);
  vtextRulerSetFlagAttr(ruler, N("Wrap"), 1);
  vtextRulerSetIntegerAttr(ruler, N("SpacingAfter"), 4);
  vtextRulerPutAttr(vtextGetRulerClass()->definitions, &ruler->attributes, N("Data"), nullptr, 77);
  vresource r = dict("Ruler");
  vresourceSetInteger(r, N("Tabs"), 1);  // left over from an earlier store
  vresourceSetInteger(r, N("Wrap"), 1);
  vclassRec<vobjectClassRec>(ruler)->store(ruler, r);
  vresource ignored;
  EXPECT_FALSE(vresourceTestGet(r, N("Tabs"), &ignored));
  EXPECT_TRUE(vresourceTestGet(r, N("Wrap"), &ignored)) << "only a ruler with tabs deletes Wrap";
  vresource a = vresourceGet(r, N("Attributes"));
  EXPECT_EQ(vresourceGetType(a, N("LeftIndent")), vresFIXED);
  EXPECT_EQ(vresourceGetType(a, N("Justification")), vresTAG);
  EXPECT_EQ(vresourceGetType(a, N("Wrap")), vresBOOLEAN);
  EXPECT_EQ(vresourceGetType(a, N("SpacingAfter")), vresINTEGER);
  EXPECT_FALSE(vresourceTestGet(a, N("Data"), &ignored)) << "client data is never stored";

  ruler->tabs = static_cast<vtextTab*>(vmemAllocClear(4 * sizeof(vtextTab)));
  ruler->tabCapacity = 4;
  ruler->tabCount = 2;
  ruler->tabs[0] = {px(40), 0};
  ruler->tabs[1] = {px(100), 3};
  vclassRec<vobjectClassRec>(ruler)->store(ruler, r);
  EXPECT_FALSE(vresourceTestGet(r, N("Wrap"), &ignored));
  vresource tabs = vresourceGet(r, N("Tabs"));
  ASSERT_EQ(vresourceCount(tabs), 2);
  EXPECT_EQ(vresourceGetFixed(vresourceGetAt(tabs, 1), N("TabStop")), px(100));
  EXPECT_EQ(vresourceGetInteger(vresourceGetAt(tabs, 1), N("TabType")), 3);

  vtextRuler* loaded = vtextRulerCreate();
  vtextRulerLoadAttributes(loaded, r);
  EXPECT_EQ(vtextRulerGetMeasureAttr(loaded, N("LeftIndent")), px(12.5));
  EXPECT_EQ(vtextRulerGetJustification(loaded), 2);
  EXPECT_EQ(vtextRulerGetFlagAttr(loaded, N("Wrap")), 1);
  EXPECT_EQ(vtextRulerGetAttr(loaded, N("SpacingAfter")), 4);
  EXPECT_EQ(loaded->attributes.count, 4);

  vresourceSetInteger(vresourceGet(r, N("Attributes")), N("Weight"), 3);
  vtextRuler* bad = vtextRulerCreate();
  EXPECT_EQ(raised([&] { vtextRulerLoadAttributes(bad, r); }), &vexTextAttributeNotRegisteredClass);
  for (vtextRuler* x : {ruler, loaded, bad}) vinstanceDestroy(x);
}

TEST_F(Stored, StylesRoundTripThroughAMemoryResource) {
  vtextStyle* style = vtextStyleCreate();
  vfont* font = vfontFindScribe(vscribeLiteral("Times-bold-12"));
  vtextStyleSetAttribute(style, vname_Font, reinterpret_cast<vobject*>(font), 0);
  vtextStyleSetAttribute(style, N("Underline"), nullptr, std::intptr_t(vname_On));
  vtextStyleSetAttribute(style, N("Hidden"), nullptr, std::intptr_t(vname_Off));
  vtextStyleSetAttribute(style, N("Ascent"), nullptr, 17);
  vcolorSpec red;
  vcolorInitSpec(&red);
  vcolorSetSpecRGB(&red, 0xFFFF, 0, 0);
  vcolor* color = vcolorInternSpec(&red);
  vtextStyleSetAttribute(style, vname_Color, reinterpret_cast<vobject*>(color), 0);
  vresource r = dict("Style");
  vclassRec<vobjectClassRec>(style)->store(style, r);
  vtextStyle* loaded = vtextStyleCreateFromResource(r);
  EXPECT_EQ(loaded->attributes.count, 5);
  EXPECT_EQ(vtextRulerFindAttr(&loaded->attributes, vname_Font), word(font));
  EXPECT_EQ(vtextRulerGetBooleanAttr(loaded, N("Underline")), 1);
  EXPECT_EQ(vtextRulerGetBooleanAttr(loaded, N("Hidden")), 0);
  EXPECT_EQ(vtextRulerGetAttr(loaded, N("Ascent")), 17);
  auto* back = reinterpret_cast<vcolor*>(vtextRulerFindAttr(&loaded->attributes, vname_Color));
  ASSERT_NE(back, nullptr);
  unsigned cr = 0, cg = 0, cb = 0;
  vcolorGetSpecRGB(&back->desc, &cr, &cg, &cb);
  EXPECT_EQ(cr, 0xFFFFu);
  EXPECT_EQ(cg, 0u);
  vcolorRelease(back);
  vcolorRelease(color);
  vtextStyleDestroy(loaded);
  vtextStyleDestroy(style);
}

// The older flat form: "Flags" says which parts count, "Attribute" holds the switches.
TEST_F(Stored, TheOlderStyleFormReadsThePartsItsMaskNames) {
  struct Case {
    std::int32_t mask, bits;
    std::vector<std::string> keys;
    std::uint32_t flags;
  } cases[] = {
      {0x2, 0x2, {"Hidden"}, 0},
      {0x2 | 0x10 | 0x20, 0x10, {"Hidden", "Bold", "Underline"}, 0},
      {0x40 | 0x80, 0xC0, {"Italic", "Strikethru"}, 0},
      {0x8, 0, {}, vtextStyleKEPT},
      {0x400 | 0x10000 | 0x20000 | 0x40000, 0, {"Font", "Size", "Ascent", "Descent"}, 0},
      {0x800, 0, {"Color"}, 0},
  };
  vfont* font = vfontFindScribe(vscribeLiteral("Arial-regular-12"));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mask 0x" << std::hex << c.mask);
    vresource r = dict("Old");
    vresourceSetInteger(r, N("Flags"), c.mask);
    vresourceSetInteger(r, vname_Attribute, c.bits);
    vresourceSetInteger(r, N("Size"), 11);
    vresourceSetInteger(r, N("Ascent"), 9);
    vfontStore(font, vresourceCreate(r, vname_Font, vresDICTIONARY));
    vcolorStoreSpec(&vcolorGetWhite()->desc, vresourceCreate(r, vname_Color, vresDICTIONARY));
    vresourceSetString(r, N("Name"), vscribeLiteral("Body"));  // no style key: left out
    vtextStyle* s = vtextStyleCreateFromResource(r);
    std::vector<std::string> keys;
    for (int i = 0; i < s->attributes.count; ++i) keys.emplace_back(s->attributes.keys[i]->key);
    EXPECT_EQ(keys, c.keys);
    EXPECT_EQ(s->flags, c.flags);
    if (c.mask & 0x2) {
      EXPECT_EQ(vtextRulerGetBooleanAttr(s, N("Hidden")), (c.bits & 0x2) ? 1 : 0);
    }
    if (c.mask & 0x10) {
      EXPECT_EQ(vtextRulerGetBooleanAttr(s, N("Bold")), 1);
    }
    if (c.mask & 0x20) {
      EXPECT_EQ(vtextRulerGetBooleanAttr(s, N("Underline")), 0);
    }
    if (c.mask & 0x400) {
      EXPECT_EQ(vtextRulerFindAttr(&s->attributes, vname_Font), word(font));
    }
    if (c.mask & 0x10000) {
      EXPECT_EQ(vtextRulerGetAttr(s, N("Size")), 11);
    }
    if (c.mask & 0x40000) {
      EXPECT_EQ(vtextRulerGetAttr(s, N("Descent")), 0) << "absent integers read 0";
    }
    if (auto* color = reinterpret_cast<vcolor*>(vtextRulerFindAttr(&s->attributes, vname_Color))) vcolorRelease(color);
    vtextStyleDestroy(s);
    vresourceRemove(root, N("Old"));
  }
  // Without "Attribute" only the font is put (null when absent).
  vresource r = dict("Plain");
  vresourceSetInteger(r, N("Flags"), 0x10);
  vtextStyle* s = vtextStyleCreateFromResource(r);
  ASSERT_EQ(s->attributes.count, 1);
  EXPECT_EQ(s->attributes.keys[0]->key, vname_Font);
  EXPECT_EQ(s->attributes.values[0], 0u);
  vtextStyleDestroy(s);
}

}  // namespace
