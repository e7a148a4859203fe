#include "fw/gui/window/cursor.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/cursormsw.h"
#include "fw/gui/graphics/pixmap_internal.h"
#include "tests/fw/gui/msw_fixture.h"
#include "tests/fw/gui/raises.h"

namespace {

vname key(const char* name) { return vnameInternLiteral(name); }

std::vector<std::uint32_t> pixels(vpixmap* p) {
  std::vector<std::uint32_t> out;
  vpixmapint::HeldCursor c(p);
  for (int i = 0; i < p->width * p->height; ++i) out.push_back(vpixmapCursorGetNext(&c.c));
  return out;
}

vcursor* sample(int hotX, int hotY) {
  vcursor* c = vcursorCreate();
  vimageInitSized(c, 3, 2, 4);
  vpixmapint::HeldCursor at(c);
  for (std::uint32_t v : {0u, 1u, 2u, 3u, 2u, 1u}) vpixmapCursorSetNext(&at.c, v);
  vcursorSetHotSpot(c, hotX, hotY);
  return c;
}

class Cursor : public ::testing::Test {
 protected:
  void SetUp() override {
    vrstoreInstallInterface();
    root = vresourceCreateMemoryIn(0);
  }
  void TearDown() override { vresourceCloseFile(root); }
  vresource entry(const char* name) { return vresourceCreate(root, key(name), vresDICTIONARY); }
  vresource root = 0;
};

TEST(CursorClass, HotSpotFollowsCopiesIntoCursorsOnly) {
  vcursor* fresh = vcursorCreate();
  EXPECT_EQ(vcursorGetHotX(fresh), 0);
  EXPECT_EQ(vcursorGetHotY(fresh), 0);
  EXPECT_TRUE(vclassIsSubclass(fresh->cls, vimageGetDefaultClass()));

  vcursor* source = sample(2, 1);
  // The copy slot into a cursor and a clone both keep the hot spot.
  vclassRec<vobjectClassRec>(source)->copy(source, fresh);
  EXPECT_EQ(vcursorGetHotX(fresh), 2);
  EXPECT_EQ(vcursorGetHotY(fresh), 1);
  EXPECT_EQ(pixels(fresh), pixels(source));
  auto* clone = static_cast<vcursor*>(vobjectClone(source));
  EXPECT_EQ(clone->cls, source->cls);
  EXPECT_EQ(vcursorGetHotX(clone), 2);
  EXPECT_EQ(vcursorGetHotY(clone), 1);
  EXPECT_EQ(pixels(clone), pixels(source));

  // Into a plain image only the image goes; a plain image copied into a
  // cursor leaves its hot spot alone.
  vimage* plain = vimageCreateSized(1, 1, 2);
  vclassRec<vobjectClassRec>(source)->copy(source, plain);
  EXPECT_EQ(plain->cls, vimageGetDefaultClass());
  EXPECT_EQ(plain->width, 3);
  EXPECT_EQ(pixels(plain), pixels(source));
  vimage* other = vimageCreateSized(3, 2, 4);
  vclassRec<vobjectClassRec>(other)->copy(other, clone);
  EXPECT_EQ(vcursorGetHotX(clone), 2);
  EXPECT_EQ(pixels(clone), pixels(other));

  for (vimage* i : {static_cast<vimage*>(fresh), static_cast<vimage*>(source), static_cast<vimage*>(clone), plain, other})
    vimageDestroy(i);
}

TEST_F(Cursor, StoredAndLoadedKeepsTheHotSpot) {
  vcursor* c = sample(2, 1);
  vresource r = entry("c");
  vclassRec<vobjectClassRec>(c)->store(c, r);
  EXPECT_EQ(vresourceGetTag(r, vname_Class), key("vcursor"));
  EXPECT_EQ(vresourceGetInteger(r, key("HotX")), 2);
  EXPECT_EQ(vresourceGetInteger(r, key("HotY")), 1);

  vcursor* back = vcursorLoad(r);
  EXPECT_EQ(back->cls, vcursorGetClass());
  EXPECT_EQ(vcursorGetHotX(back), 2);
  EXPECT_EQ(vcursorGetHotY(back), 1);
  EXPECT_EQ(pixels(back), pixels(c));
  // Into storage of one's own, through the generic loader too.
  vcursor* storage = static_cast<vcursor*>(vclassAllocInstance(vcursorGetClass()));
  vcursorLoadInit(storage, r);
  EXPECT_EQ(vcursorGetHotY(storage), 1);
  EXPECT_EQ(pixels(storage), pixels(c));
  // Without the class entry the object form is read as a cursor.
  vresourceRemove(r, vname_Class);
  vcursor* unnamed = vcursorLoad(r);
  EXPECT_EQ(unnamed->cls, vcursorGetClass());
  EXPECT_EQ(vcursorGetHotX(unnamed), 2);
  EXPECT_EQ(pixels(unnamed), pixels(c));
  for (vcursor* x : {c, back, storage, unnamed}) vcursorDestroy(x);
}

TEST_F(Cursor, RawImagesLoadAsCursorsAndOtherClassesAreRefused) {
  // The look's form: a raw two-colour image with a mask and the hot spot.
  vresource r = entry("raw");
  vresourceSetInteger(r, key("vresourceTAG_IMAGE_WIDTH"), 2);
  vresourceSetInteger(r, key("vresourceTAG_IMAGE_HEIGHT"), 2);
  vresourceSetInteger(r, key("vresourceTAG_IMAGE_NUMCOLORS"), 2);
  const char map[] = {0, 1, 1, 0};
  vresourceSetOpaque(r, key("vresourceTAG_IMAGE_MAP"), map, 4);
  vresourceSetInteger(r, key("HotX"), 1);
  vcursor* c = vcursorLoad(r);
  EXPECT_EQ(c->cls, vcursorGetClass());
  EXPECT_EQ(c->width, 2);
  EXPECT_EQ(pixels(c), (std::vector<std::uint32_t>{0, 1, 1, 0}));
  EXPECT_EQ(vcursorGetHotX(c), 1);
  EXPECT_EQ(vcursorGetHotY(c), 0);  // absent: 0
  vcursorDestroy(c);

  // An image stored with its class is no cursor.
  vimage* image = vimageCreateSized(2, 2, 2);
  vresource stored = entry("image");
  vclassRec<vobjectClassRec>(image)->store(image, stored);
  vimageDestroy(image);
  std::string message;
  EXPECT_EQ(raised([&] { vcursorDestroy(vcursorLoad(stored)); }, &message), &vexArgClass);
  EXPECT_EQ(message, "resource object is not a cursor");
  vcursor* storage = vcursorCreate();
  EXPECT_EQ(raised([&] { vcursorLoadInit(storage, stored); }), &vexArgClass);
  vcursorDestroy(storage);
}

using CursorArea = MSWFixture;

TEST_F(CursorArea, TakesTheNativeCursorWithItsHotSpot) {
  vwindow* w = open(vwindowDECO_TOP_LEVEL, vrect{10, 10, 100, 80});
  vcursor* c = vcursorCreate();
  vimageInitSized(c, 16, 16, 2);
  vcursorSetHotSpot(c, 3, 12);
  vrect area{20, 20, 10, 10};
  vwindowAddCursorRect(w, c, &area);
  win::HCURSOR inside = vwindowMSWCursorAt(w, 25, 25);
  ASSERT_NE(inside, nullptr);
  EXPECT_EQ(inside, vcursorGetMSWCursor(c));  // kept with the image
  win::ICONINFO info{};
  ASSERT_TRUE(win::GetIconInfo(inside, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 3u);
  if (info.hbmMask) win::DeleteObject(info.hbmMask);
  if (info.hbmColor) win::DeleteObject(info.hbmColor);
  EXPECT_EQ(vwindowMSWCursorAt(w, 5, 5), win::LoadCursorA(nullptr, win::IDC_ARROW));
  vwindowRemoveCursorRect(w, c, &area);
  close(w);
  vcursorDestroy(c);
}

TEST_F(CursorArea, AChangedHotSpotMakesANewNativeCursor) {
  vcursor* c = vcursorCreate();
  vimageInitSized(c, 32, 32, 2);
  auto hotSpot = [&] {
    win::ICONINFO info{};
    EXPECT_TRUE(win::GetIconInfo(vcursorGetMSWCursor(c), &info));
    if (info.hbmMask) win::DeleteObject(info.hbmMask);
    if (info.hbmColor) win::DeleteObject(info.hbmColor);
    return std::pair<unsigned, unsigned>(info.xHotspot, info.yHotspot);
  };
  // Rows count from the bottom in the image, from the top in the cursor.
  vcursorSetHotSpot(c, 3, 3);
  EXPECT_EQ(hotSpot(), std::make_pair(3u, 28u));
  win::HCURSOR first = vcursorGetMSWCursor(c);
  vcursorSetHotSpot(c, 3, 3);
  EXPECT_EQ(vcursorGetMSWCursor(c), first);  // the same spot keeps it
  vcursorSetHotSpot(c, 10, 10);
  EXPECT_EQ(hotSpot(), std::make_pair(10u, 21u));
  // An icon that took the cursor's handle is dropped with it, not left dangling.
  win::HICON icon = vimageMSWGetIcon(c);
  EXPECT_EQ(icon, vcursorGetMSWCursor(c));
  vcursorSetHotSpot(c, 0, 0);
  EXPECT_EQ(hotSpot(), std::make_pair(0u, 31u));
  EXPECT_NE(vimageMSWGetIcon(c), nullptr);
  vcursorDestroy(c);
}

}  // namespace
