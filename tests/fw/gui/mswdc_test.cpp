// Device contexts of windows and drawable bindings.
#include "fw/gui/window/mswdc.h"

#include <string>

#include "fw/gui/window/mswgdi.h"
#include "tests/fw/gui/msw_fixture.h"
#include "tests/fw/gui/raises.h"

namespace {

struct MSWDC : MSWFixture {
  vwindow* w = nullptr;
  void SetUp() override {
    MSWFixture::SetUp();
    w = open(vwindowDECO_NEW | vwindowDECO_TOP_LEVEL, vrect{10, 10, 60, 40});
  }
  void TearDown() override {
    close(w);
    vwindowDestroy(w);
  }
};

TEST_F(MSWDC, APrimaryAndThreeExtraContextsThenNoMore) {
  std::uint32_t owners[5] = {3, 3, 3, 3, 3};
  win::HDC primary = vwindowGetMSWDC(w, &owners[0]);
  // Whatever the last user left, a hand-out starts transparent, without clip.
  win::SetBkMode(primary, win::OPAQUE);
  win::SetStretchBltMode(primary, win::HALFTONE);
  win::IntersectClipRect(primary, 0, 0, 5, 5);
  vwindowReleaseMSWDC(w, primary);
  EXPECT_EQ(vwindowGetMSWDC(w, &owners[0]), primary);  // kept for the window's life
  EXPECT_EQ(win::GetBkMode(primary), win::TRANSPARENT);
  EXPECT_EQ(win::GetStretchBltMode(primary), win::COLORONCOLOR);
  win::HRGN clip = win::CreateRectRgn(0, 0, 1, 1);
  EXPECT_EQ(win::GetClipRgn(primary, clip), 0);
  win::DeleteObject(clip);

  win::HDC extra[3];
  for (int i = 0; i < 3; ++i) {
    extra[i] = vwindowGetMSWDC(w, &owners[i + 1]);
    EXPECT_NE(extra[i], primary);
    EXPECT_EQ(win::GetBkMode(extra[i]), win::TRANSPARENT);
  }
  std::string message;
  vexGuard([&] { vwindowGetMSWDC(w, &owners[4]); },
           [&](vexHandler& h) {
             vexException* e = vexGetCurrentException();
             EXPECT_EQ(e->cls, &vexModuleStateClass);
             message = e->message;
             EXPECT_STREQ(e->procedure, "vwindowGetMSWDC");
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(message, "Out of Windows device contexts (DCs).This is probably caused by an unbalanced GSave/GRestore.");
  // A released extra slot is used again.
  vwindowReleaseMSWDC(w, extra[1]);
  extra[1] = vwindowGetMSWDC(w, &owners[2]);
  // A context the window did not hand out.
  win::HDC stranger = win::CreateCompatibleDC(nullptr);
  EXPECT_EQ(raised([&] { vwindowReleaseMSWDC(w, stranger); }), &vexModuleStateClass);
  win::DeleteDC(stranger);
  // Releasing them all: the primary's owner loses its first mark (both
  // with the flag), the extras' owners are cleared.
  vwindowMSWReleaseAllDCs(w, 0);
  EXPECT_EQ(owners[0], 2u);
  EXPECT_EQ(owners[1], 0u);
  EXPECT_EQ(owners[3], 0u);
  for (win::HDC hdc : extra) EXPECT_EQ(raised([&] { vwindowReleaseMSWDC(w, hdc); }), &vexModuleStateClass);
  owners[0] = 3;
  EXPECT_EQ(vwindowGetMSWDC(w, &owners[0]), primary);
  vwindowMSWReleaseAllDCs(w, 1);
  EXPECT_EQ(owners[0], 0u);
}

TEST_F(MSWDC, WholeWindowDrawingAndTheRootUseOtherContexts) {
  // A window that draws with whole-window contexts never gets the primary one.
  w->native->flags |= vwindowMSW_WINDOW_DC;
  win::HDC a = vwindowGetMSWDC(w, nullptr);
  EXPECT_EQ(w->native->dcs[1], a);
  vwindowReleaseMSWDC(w, a);
  w->native->flags &= ~vwindowMSW_WINDOW_DC;
  // The root's contexts are display contexts from the cache.
  vwindow* root = vwindowGetRoot();
  int before = _vwindowMSWGetDCCacheInfo().handedOut;
  win::HDC r = vwindowGetMSWDC(root, nullptr);
  EXPECT_EQ(win::GetObjectType(r), win::OBJ_DC);
  EXPECT_EQ(_vwindowMSWGetDCCacheInfo().handedOut, before + 1);
  vwindowReleaseMSWDC(root, r);
  EXPECT_EQ(_vwindowMSWGetDCCacheInfo().handedOut, before);
  // A window without a native side has no contexts.
  vwindow* shut = vwindowCreate();
  EXPECT_TRUE(raisesArg([&] { vwindowGetMSWDC(shut, nullptr); }));
  vwindowMSWDrawable d;
  vwindowMSWInitDrawableDC(&d);
  vwindowMSWSetDrawableWindow(&d, shut);
  EXPECT_TRUE(raisesArg([&] { vwindowMSWGetDrawableDC(&d); }));
  vwindowDestroy(shut);
}

TEST_F(MSWDC, DrawableBindingsUndoWhatTheyDid) {
  win::HDC screen = vwindowMSWAcquireCachedDC(0);
  win::HBITMAP bitmap = win::CreateCompatibleBitmap(screen, 8, 8);
  vwindowMSWReleaseCachedDC(screen);
  auto selected = [](win::HDC hdc) { return static_cast<win::HBITMAP>(win::GetCurrentObject(hdc, win::OBJ_BITMAP)); };

  vwindowMSWDrawable first, second, window;
  vwindowMSWInitDrawableDC(&first);
  vwindowMSWSetDrawableBitmap(&first, bitmap);
  win::HDC held = vwindowMSWGetDrawableDC(&first);
  EXPECT_EQ(first.state, vwindowMSW_DRAWABLE_FRESH);
  EXPECT_EQ(selected(held), bitmap);
  EXPECT_EQ(win::GetObjectType(held), win::OBJ_MEMDC);

  // The same bitmap again: the context holding it gives it up meanwhile.
  vwindowMSWInitDrawableDC(&second);
  vwindowMSWSetDrawableBitmap(&second, bitmap);
  win::HDC taken = vwindowMSWGetDrawableDC(&second);
  EXPECT_EQ(second.state, vwindowMSW_DRAWABLE_TAKEN);
  EXPECT_NE(taken, held);
  EXPECT_EQ(selected(taken), bitmap);
  EXPECT_NE(selected(held), bitmap);
  vwindowMSWReleaseDrawableDC(&second);
  EXPECT_EQ(selected(held), bitmap);

  // Preferring the context that holds it uses that context as it is.
  vwindowMSWSetDrawableDC(&second, held);
  EXPECT_EQ(vwindowMSWGetDrawableDC(&second), held);
  EXPECT_EQ(second.state, vwindowMSW_DRAWABLE_PREFERRED);
  vwindowMSWReleaseDrawableDC(&second);
  EXPECT_EQ(selected(held), bitmap);

  int out = _vwindowMSWGetDCCacheInfo().handedOut;
  vwindowMSWReleaseDrawableDC(&first);
  EXPECT_NE(selected(held), bitmap);  // the context's own bitmap is back
  EXPECT_EQ(_vwindowMSWGetDCCacheInfo().handedOut, out - 1);

  vwindowMSWInitDrawableDC(&window);
  vwindowMSWSetDrawableWindow(&window, w);
  win::HDC own = vwindowMSWGetDrawableDC(&window);
  EXPECT_EQ(window.state, vwindowMSW_DRAWABLE_WINDOW);
  EXPECT_EQ(own, w->native->dcs[0]);
  vwindowMSWReleaseDrawableDC(&window);
  EXPECT_EQ(w->native->flags & vwindowMSW_PRIMARY_DC_USED, 0u);
  win::DeleteObject(bitmap);
}

}  // namespace
