// Pixel buffers, native bitmaps made from them and read into them, and
// images over native bitmaps.
#include "fw/gui/window/mswbits.h"

#include <cstring>
#include <string>
#include <vector>

#include "fw/gui/window/mswgdi.h"
#include "tests/fw/gui/msw_fixture.h"
#include "tests/fw/gui/raises.h"

namespace {

struct MSWBits : MSWFixture {
  void TearDown() override {
    _vwindowMSWResetGdiCalls();
    _vwindowMSWGetGdiSetup()->bitmapWorkaround = 0;
  }
};

vimage* imageOf(std::uint32_t colors, int width, int height) { return vimageCreateSized(width, height, colors); }

TEST_F(MSWBits, RowsAndColourTablesFollowTheImageDepth) {
  struct Case {
    std::uint32_t colors;
    int width;
    int bitCount;
    std::size_t rowBytes;
    int tableEntries;
  } cases[] = {
      {2, 3, 1, 4, 2}, {2, 33, 1, 8, 2}, {16, 9, 4, 8, 16}, {256, 33, 8, 36, 256}, {1u << 24, 5, 24, 16, 0},
  };
  for (const Case& k : cases) {
    vimage* image = imageOf(k.colors, k.width, 2);
    vcolorList* palette = k.tableEntries ? vimageGetPalette(image) : nullptr;
    if (palette) vcolorSetSpecRGB(&palette->entries[1], 0x1234, 0xABCD, 0xFF00);
    vwindowMSWBits* b = vwindowMSWCreateBitmapInfo(image, k.width, 2, nullptr);
    EXPECT_EQ(b->info->bmiHeader.biBitCount, k.bitCount) << k.colors;
    EXPECT_EQ(b->info->bmiHeader.biSize, 40u);
    EXPECT_EQ(b->rowBytes, k.rowBytes) << k.colors << " x" << k.width;
    EXPECT_EQ(b->size, 2 * k.rowBytes);
    if (palette) {
      const win::RGBQUAD& q = b->info->bmiColors[1];
      EXPECT_EQ(q.rgbRed, 0x12);
      EXPECT_EQ(q.rgbGreen, 0xAB);
      EXPECT_EQ(q.rgbBlue, 0xFF);
      // The table has the depth's size: its last entry is the palette's.
      unsigned r, g, bl;
      vcolorGetSpecRGB(&palette->entries[k.tableEntries - 1], &r, &g, &bl);
      EXPECT_EQ((&b->info->bmiColors[0])[k.tableEntries - 1].rgbRed, r >> 8);
    }
    vwindowMSWDestroyBits(b);
    vimageDestroy(image);
  }
}

TEST_F(MSWBits, PooledBuffersTakeTheDisplayDepthAndRefuseNegativeSizes) {
  vwindowMSWBits* b = vwindowMSWCreateBits(4, 3, 2, nullptr);
  EXPECT_EQ(b->depth, 24);  // raised to the display's
  EXPECT_EQ(b->rowBytes, 12u);
  EXPECT_NE(b->data, nullptr);
  // Described by the shared template, which draws one-bit buffers' set bits white.
  win::BITMAPINFO* info = vwindowMSWGetBitsInfo(b);
  EXPECT_EQ(info->bmiHeader.biBitCount, 24);
  EXPECT_EQ(info->bmiHeader.biWidth, 3);
  vwindowMSWReleaseBitsInfo(info);
  vwindowMSWDestroyBits(b);
  vwindowMSWSetTemplateColor(1, {1, 2, 3, 0});
  vwindowMSWBits* mono = vwindowMSWCreateBits(1, 3, 2, nullptr);
  EXPECT_EQ(mono->depth, 1);
  EXPECT_EQ(mono->rowBytes, 4u);
  info = vwindowMSWGetBitsInfo(mono);
  EXPECT_EQ(info->bmiColors[0].rgbRed, 0);
  EXPECT_EQ((&info->bmiColors[0])[1].rgbRed, 255);
  vwindowMSWReleaseBitsInfo(info);
  EXPECT_EQ((&info->bmiColors[0])[1].rgbRed, 3);  // the saved entry is back
  vwindowMSWDestroyBits(mono);
  // Empty buffers have no pixels; negative ones are refused.
  vwindowMSWBits* empty = vwindowMSWCreateBits(24, 0, 10, nullptr);
  EXPECT_EQ(empty->data, nullptr);
  EXPECT_EQ(empty->size, 0u);
  vwindowMSWDestroyBits(empty);
  EXPECT_EQ(raised([] { vwindowMSWCreateBits(24, -1, 4, nullptr); }), &vexArgRangeClass);
  EXPECT_EQ(raised([] { vwindowMSWCreateBits(24, 4, -1, nullptr); }), &vexArgRangeClass);
}

// A buffer whose every pixel tells its place.
vwindowMSWBits* pattern(int width, int height) {
  vwindowMSWBits* b = vwindowMSWCreateBits(24, width, height, nullptr);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = b->data + y * b->rowBytes + 3 * x;
      p[0] = static_cast<std::uint8_t>(x);
      p[1] = static_cast<std::uint8_t>(y);
      p[2] = static_cast<std::uint8_t>(x ^ y);
    }
  return b;
}

bool samePixels(const vwindowMSWBits* a, const vwindowMSWBits* b) {
  if (a->width != b->width || a->height != b->height || a->depth != b->depth) return false;
  for (int y = 0; y < a->height; ++y)
    if (std::memcmp(a->data + y * a->rowBytes, b->data + y * b->rowBytes, 3 * static_cast<std::size_t>(a->width)) != 0)
      return false;
  return true;
}

std::vector<std::pair<win::UINT, win::UINT>> bands;

TEST_F(MSWBits, LargeBitmapsGoInBandsOfAtMost64KUnderTheWorkaround) {
  vwindowMSWGdi.setDIBits = [](win::HDC hdc, win::HBITMAP bm, win::UINT start, win::UINT lines, const void* bits,
                               const win::BITMAPINFO* info, win::UINT usage) {
    bands.push_back({start, lines});
    return win::SetDIBits(hdc, bm, start, lines, bits, info, usage);
  };
  struct Case {
    int workaround, width, height;
    std::vector<std::pair<win::UINT, win::UINT>> bands;
  } cases[] = {
      {1, 100, 500, {{0, 218}, {218, 218}, {436, 64}}},  // rows of 300 bytes
      {0, 100, 500, {}},
      {1, 100, 200, {}},  // 60,000 bytes: one call
  };
  for (const Case& k : cases) {
    bands.clear();
    _vwindowMSWGetGdiSetup()->bitmapWorkaround = k.workaround;
    vwindowMSWBits* source = pattern(k.width, k.height);
    win::HBITMAP bitmap = vwindowMSWCreateBitmapFromBits(source, nullptr, 1);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bands, k.bands) << k.workaround << " " << k.height;
    vwindowMSWBits* back = vwindowMSWBitsFromBitmap(bitmap);
    EXPECT_TRUE(samePixels(source, back));
    vwindowMSWDestroyBits(back);
    vwindowMSWDestroyBits(source);
    win::DeleteObject(bitmap);
  }
}

TEST_F(MSWBits, FailuresOfTheReadAndOfTheCreation) {
  vwindowMSWBits* source = pattern(4, 4);
  win::HBITMAP bitmap = vwindowMSWCreateBitmapFromBits(source, nullptr, 0);
  vwindowMSWGdi.getDIBits = [](win::HDC, win::HBITMAP, win::UINT, win::UINT, void*, win::BITMAPINFO*, win::UINT) {
    return 0;
  };
  vexException seen{};
  vexGuard([&] { vwindowMSWBitsFromBitmap(bitmap); },
           [&](vexHandler& h) {
             seen = *vexGetCurrentException();
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(seen.cls, &vexReturnNullClass);
  EXPECT_STREQ(seen.message, "GetDIBBits failed");
  EXPECT_STREQ(seen.procedure, "vwindowGetMSWBitmap");
  static int tries;
  tries = 0;
  vwindowMSWGdi.createDIBitmap = [](win::HDC, const win::BITMAPINFOHEADER*, win::DWORD, const void*,
                                    const win::BITMAPINFO*, win::UINT) -> win::HBITMAP {
    tries++;
    return nullptr;
  };
  std::string message;
  EXPECT_EQ(raised([&] { vwindowMSWCreateBitmapFromBits(source, nullptr, 0); }, &message), &vexReturnNullClass);
  EXPECT_EQ(message, "No Windows resources (DIBITMAP)");
  EXPECT_EQ(tries, 2);
  EXPECT_EQ(_vwindowMSWGetDCCacheInfo().handedOut, 0);  // the borrowed context went back
  win::DeleteObject(bitmap);
  vwindowMSWDestroyBits(source);
}

TEST_F(MSWBits, ReadingAnAreaOfAContext) {
  win::HDC memory = vwindowMSWAcquireCachedDC(1);
  win::HDC screen = vwindowMSWAcquireCachedDC(0);
  win::HBITMAP canvas = vwindowMSWCreateCompatibleBitmap(screen, 10, 10);
  win::HGDIOBJ old = win::SelectObject(memory, canvas);
  win::HBRUSH red = win::CreateSolidBrush(win::RGB(255, 0, 0));
  win::RECT all{0, 0, 10, 10}, corner{0, 0, 3, 3};
  win::FillRect(memory, &all, static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
  win::FillRect(memory, &corner, red);
  // The top-left 3 x 3 is red: read (1, 1) to (5, 5) at 24 bits.
  vwindowMSWBits* b = vwindowGetMSWBitmap(memory, nullptr, 24, 1, 1, 4, 4);
  ASSERT_EQ(b->depth, 24);
  auto at = [&](int x, int row) {  // row counted from the top
    const std::uint8_t* p = b->data + (b->height - 1 - row) * b->rowBytes + 3 * x;
    return win::RGB(p[2], p[1], p[0]);
  };
  EXPECT_EQ(at(0, 0), win::RGB(255, 0, 0));
  EXPECT_EQ(at(1, 1), win::RGB(255, 0, 0));
  EXPECT_EQ(at(2, 0), win::RGB(255, 255, 255));
  EXPECT_EQ(at(0, 2), win::RGB(255, 255, 255));
  vwindowMSWDestroyBits(b);
  win::SelectObject(memory, old);
  win::DeleteObject(red);
  win::DeleteObject(canvas);
  vwindowMSWReleaseCachedDC(screen);
  vwindowMSWReleaseCachedDC(memory);
}

TEST_F(MSWBits, ImagesAndNativeBitmapsBothWays) {
  // A one-bit bitmap becomes a black-and-white image that keeps it.
  const std::uint8_t rows[4] = {0xA0, 0, 0x40, 0};  // rows of 16 bits, top first
  win::HBITMAP mono = win::CreateBitmap(3, 2, 1, 1, rows);
  vimage* image = vwindowMSWImageFromBitmap(mono);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->depth, 1);
  EXPECT_EQ(image->width, 3);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  std::string seen;
  for (int y = image->height - 1; y >= 0; --y)
    for (int x = 0; x < 3; ++x) seen += vpixmapCursorGetAt(&c, x, y) ? '#' : '.';
  vpixmapFinishCursor(&c);
  EXPECT_EQ(seen, "#.#.#.");
  unsigned r, g, b;
  vcolorGetSpecRGB(&image->palette->entries[1], &r, &g, &b);
  EXPECT_EQ(r, 65535u);
  EXPECT_EQ(vwindowMSWGetImageBitmap(image), mono);  // kept, not made again
  vimageDestroy(image);  // deletes it
  EXPECT_EQ(win::GetObjectType(mono), 0u);

  // A display image's native bitmap carries its pixels.
  vimage* display = vwindowCreateDisplayImage(4, 3);
  EXPECT_EQ(display->depth, 24);
  EXPECT_TRUE(display->flags & vimageNO_PALETTE);
  vpixmapFill(display, 0x00FF00);
  vpixmapInitCursor(&c, display);
  vpixmapCursorSetAt(&c, 0, 0, 0x0000FF);  // bottom left
  vpixmapFinishCursor(&c);
  vpixmapMarkChanged(display);
  win::HBITMAP bitmap = vwindowMSWGetImageBitmap(display);
  EXPECT_EQ(vwindowMSWGetImageBitmap(display), bitmap);
  win::HDC memory = vwindowMSWAcquireCachedDC(1);
  win::HGDIOBJ old = win::SelectObject(memory, bitmap);
  EXPECT_EQ(win::GetPixel(memory, 0, 2), win::RGB(0, 0, 255));
  EXPECT_EQ(win::GetPixel(memory, 3, 0), win::RGB(0, 255, 0));
  win::SelectObject(memory, old);
  vwindowMSWReleaseCachedDC(memory);
  // A changed image makes a new one.
  vpixmapFill(display, 0);
  vpixmapMarkChanged(display);
  EXPECT_NE(vwindowMSWGetImageBitmap(display), nullptr);
  vimageDestroy(display);

  // An open window's image names the window; a closed one has none.
  vwindow* w = open(vwindowDECO_NEW | vwindowDECO_TOP_LEVEL, vrect{0, 0, 30, 20});
  vimage* shot = vwindowMSWCreateWindowImage(w);
  EXPECT_EQ(shot->width, 30);
  EXPECT_EQ(vwindowMSWGetImageWindow(shot), vwindowGetMSWWindow(w));
  vimageDestroy(shot);
  close(w);
  EXPECT_EQ(raised([&] { vwindowMSWCreateWindowImage(w); }), &vexArgNotOpenClass);
  vwindowDestroy(w);

  // Nothing comes of a resource this system lacks.
  EXPECT_EQ(vwindowMSWLoadBitmapImage(nullptr, 32754), nullptr);
}

}  // namespace
