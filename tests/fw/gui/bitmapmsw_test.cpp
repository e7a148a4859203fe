// Pixmaps to and from pixel buffers and native bitmaps.
#include "fw/gui/graphics/bitmapmsw.h"

#include <cstring>

#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/mswgdi.h"
#include "tests/fw/gui/msw_fixture.h"

namespace {

struct BitmapMSW : MSWFixture {};

std::uint32_t valueAt(int x, int y, int depth) {
  std::uint32_t v = static_cast<std::uint32_t>(x * 37 + y * 101 + (x ^ y) * 7);
  return depth >= 24 ? (v * 0x010305u) & 0xFFFFFF : v & ((1u << depth) - 1);
}

vpixmap* pattern(int depth, int w, int h) {
  vpixmap* p = vpixmapCreateSized(w, h, depth);
  vpixmapCursor c;
  vpixmapInitCursor(&c, p);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) vpixmapCursorSetAt(&c, x, y, valueAt(x, y, depth));
  vpixmapFinishCursor(&c);
  vpixmapMarkChanged(p);
  return p;
}

int mismatches(vpixmap* p, int depth) {
  int bad = 0;
  vpixmapCursor c;
  vpixmapInitCursor(&c, p);
  for (int y = 0; y < p->height; ++y)
    for (int x = 0; x < p->width; ++x) bad += vpixmapCursorGetAt(&c, x, y) != valueAt(x, y, depth);
  vpixmapFinishCursor(&c);
  return bad;
}

TEST_F(BitmapMSW, PlainRowsAreBorrowedOthersCopiedBothWaysExactly) {
  vpixmap* plain = pattern(24, 5, 3);
  vpixmapSetRowAlignment(plain, 32);
  vwindowMSWBits* b = vpixmapMSWToBits(plain);
  EXPECT_EQ(b->data, vpixmapLockPixels(plain));  // same bytes, no copy
  EXPECT_EQ(b->owner, 0);
  vwindowMSWDestroyBits(b);
  struct Case {
    int depth, windowsDepth;
    bool bottomUp;
  } cases[] = {{1, 1, false}, {3, 4, false}, {4, 4, true}, {8, 8, false}, {24, 24, true}};
  for (const Case& k : cases) {
    vpixmap* p = pattern(k.depth, 7, 4);
    vpixmapSetBottomUp(p, k.bottomUp);
    b = vpixmapMSWToBits(p);
    EXPECT_EQ(b->depth, k.windowsDepth);
    vpixmap* back = vpixmapCreateSized(7, 4, k.depth);
    vpixmapMSWFromBits(back, b);
    EXPECT_EQ(mismatches(back, k.depth), 0) << k.depth;
    vwindowMSWDestroyBits(b);
    vpixmapDestroy(back);
    vpixmapDestroy(p);
  }
  vpixmapDestroy(plain);
}

TEST_F(BitmapMSW, NativeBitmapsReadBackIntoThePixels) {
  for (int depth : {1, 4, 8, 24}) {
    vpixmap* p = pattern(depth, 9, 5);
    win::HBITMAP bitmap = vcolorMSWGetPixmapBitmap(p);
    ASSERT_NE(bitmap, nullptr);
    win::BITMAP bm{};
    win::GetObjectA(bitmap, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel == 1, depth == 1) << depth;
    // The pixels are wiped behind the ring's back; the bitmap, once it is
    // the current form, gives them back.
    std::memset(vpixmapLockPixels(p), 0, vpixmapGetRowBytes(p) * 5);
    vpixmapMSWBitmapChanged(p);
    EXPECT_EQ(mismatches(p, depth), 0) << depth;
    EXPECT_EQ(vcolorMSWGetPixmapBitmap(p), bitmap);  // still current: not made again
    vpixmapDestroy(p);
  }
  // Drawing into the bitmap shows in the pixels.
  vpixmap* p = pattern(24, 4, 4);
  win::HBITMAP bitmap = vcolorMSWGetPixmapBitmap(p);
  win::HDC memory = vwindowMSWAcquireCachedDC(1);
  win::HGDIOBJ old = win::SelectObject(memory, bitmap);
  win::SetPixel(memory, 0, 3, win::RGB(0x12, 0x34, 0x56));  // bottom left
  win::SelectObject(memory, old);
  vwindowMSWReleaseCachedDC(memory);
  vpixmapMSWBitmapChanged(p);
  vpixmapCursor c;
  vpixmapInitCursor(&c, p);
  EXPECT_EQ(vpixmapCursorGetAt(&c, 0, 0), 0x123456u);
  EXPECT_EQ(vpixmapCursorGetAt(&c, 1, 0), valueAt(1, 0, 24));
  vpixmapFinishCursor(&c);
  vpixmapDestroy(p);
}

}  // namespace
