#include <gtest/gtest.h>

#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"

namespace {

static_assert(vwindowMSW_NEW == 8 + 512 + 1024);

TEST(WindowRecord, NewWindowAndRootValues) {
  vwindowClassRec* cls = vwindowGetDefaultClass();
  ASSERT_EQ(cls, vwindowGetDefaultClass());
  EXPECT_STREQ(cls->name, "vwindow");

  vwindow* w = vwindowCreate();
  EXPECT_EQ(w->cls, cls);
  EXPECT_EQ(w->decoration, 0x3F);
  EXPECT_EQ(w->flags, vwindowACCEPTS_FOCUS);
  EXPECT_FALSE(vwindowIsOpen(w));
  const vrect hundred{100, 100, 100, 100};
  EXPECT_TRUE(vrectEqual(&w->rect, &hundred));
  EXPECT_TRUE(vrectEqual(&w->restoreRect, &hundred));
  EXPECT_EQ(w->minWidth, 0);
  EXPECT_EQ(w->maxWidth, 32767);
  EXPECT_EQ(w->maxHeight, 32767);
  EXPECT_EQ(w->application, vapplicationGetCurrent());
  EXPECT_EQ(w->native, nullptr);
  EXPECT_STREQ(w->title, "");
  vwindowDestroy(w);

  vwindow* root = vwindowGetRoot();
  EXPECT_EQ(root, vwindowGetRoot());
  EXPECT_EQ(root->decoration, 1);
  EXPECT_EQ(root->flags, 0);
  EXPECT_EQ(root->application, vapplicationGetDefault());
}

TEST(WindowRecord, AttributeIndexesAndCommands) {
  vwindowClassRec* cls = vwindowGetDefaultClass();
  struct Row {
    const char* name;
    int index;
  };
  // The scheme names map to 10, except the rows of the same names.
  const Row rows[] = {{"Data", 0},          {"Title", 1},      {"Font", 5},         {"Foreground", 6},
                      {"ForegroundHilite", 7}, {"Background", 8}, {"LineWidth", 11}, {"Rect", 12},
                      {"MaxSize", 14},      {"ShadowTop", 10}, {"ColorFocus", 10}};
  for (const Row& r : rows) EXPECT_EQ(vdictGetInteger(cls->attributes, vnameInternLiteral(r.name)), r.index) << r.name;
  EXPECT_NE(vcommandSpaceGetAttribute(cls->space, vname_Command, vnameInternLiteral("Close")), nullptr);
  EXPECT_NE(vcommandSpaceGetAttribute(cls->space, vname_Command, vnameInternLiteral("Print")), nullptr);
}

TEST(WindowRecord, ColorStoreGrowsPastItsFirstCapacity) {
  vresource store = vwindowGetColorStore();
  ASSERT_NE(store, 0);
  EXPECT_EQ(vresourceGetInteger(store, vname_Tag), 0);
  int before = vwindowColorStoreCount();
  vresource last = 0;
  for (unsigned i = 0; i < 9; ++i) last = vwindowAddColorSpec(i * 257, 65535 - i, 7, 4);
  EXPECT_EQ(vwindowColorStoreCount(), before + 9);
  vresource array = vresourceGet(store, vnameInternLiteral("Array"));
  EXPECT_GE(vresourceCount(array), before + 9);
  vcolorSpec spec;
  vcolorLoadInitSpec(&spec, last);
  unsigned r, g, b;
  vcolorGetSpecRGB(&spec, &r, &g, &b);
  EXPECT_EQ(r, 8u * 257);
  EXPECT_EQ(g, 65535u - 8);
  EXPECT_EQ(b, 7u);
  vcolorDestroySpec(&spec);
}

}  // namespace

namespace {

TEST(WindowRecord, KeyBindingsFromThePreferences) {
  vrstoreInstallInterface();  // what the framework's start-up installs
  vapplicationGetDefault();
  vprefDict* root = vprefGetDefaultDict();
  vprefDict* keys = vprefCreateDict();
  vprefDict* own = vprefCreateDict();
  vprefDictSet(root, vnameInternLiteral("Keys"), keys);
  vprefDictSet(keys, vnameInternLiteral("mswKeyedClass"), own);
  vresource store = vresourceCreateMemory();
  vresourceSetInteger(store, vname_Close, 0x430002);
  vprefSetResource(own, vscribeLiteral("Close"), vresourceGet(store, vname_Close));

  vcommandSpace* space = vcommandSpaceCreate();
  _vwindowInstallPreferenceKeys(space, "mswKeyedClass");
  vdict* bindings = vdictCreate(vdictHashPointer);
  vcommandSpaceVisitKeys(space, bindings);
  EXPECT_EQ(vdictGet(bindings, reinterpret_cast<const void*>(std::uintptr_t{0x430002} + 1)), vname_Close);
  // A class the preferences do not name gets nothing.
  vcommandSpace* other = vcommandSpaceCreate();
  _vwindowInstallPreferenceKeys(other, "mswOtherClass");
  vdict* none = vdictCreate(vdictHashPointer);
  vcommandSpaceVisitKeys(other, none);
  EXPECT_EQ(vdictGet(none, reinterpret_cast<const void*>(std::uintptr_t{0x430002} + 1)), nullptr);

  vdictDestroy(none);
  vdictDestroy(bindings);
  vinstanceDestroy(other);
  vinstanceDestroy(space);
  vresourceReleaseFile(store);
  vprefRelease(own);
  vprefRelease(keys);
}

}  // namespace
