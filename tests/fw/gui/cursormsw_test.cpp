// Native cursors and icons of images.
#include "fw/gui/graphics/cursormsw.h"

#include <string>
#include <vector>

#include "fw/core/sys.h"
#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/mswgdi.h"
#include "platform/win/test.h"
#include "tests/fw/gui/msw_fixture.h"

namespace {

struct CursorMSW : MSWFixture {};

vimage* filled(int w, int h, std::uint32_t rgb) {
  vimage* image = vimageCreateSized(w, h, 1u << 24);
  vimageSetNoPalette(image, 1);
  vpixmapFill(image, rgb);
  vpixmapMarkChanged(image);
  return image;
}

// One character a pixel of a bitmap, rows from the top: '#' for the
// colour given, '.' for black, '?' for anything else.
std::string picture(win::HBITMAP bitmap, win::COLORREF colour) {
  win::BITMAP bm{};
  win::GetObjectA(bitmap, sizeof bm, &bm);
  win::HDC dc = vwindowMSWAcquireCachedDC(1);
  win::HGDIOBJ old = win::SelectObject(dc, bitmap);
  std::string s;
  for (int y = 0; y < bm.bmHeight; ++y) {
    for (int x = 0; x < bm.bmWidth; ++x) {
      win::COLORREF p = win::GetPixel(dc, x, y);
      s += p == colour ? '#' : p == 0 ? '.' : '?';
    }
    s += '\n';
  }
  win::SelectObject(dc, old);
  vwindowMSWReleaseCachedDC(dc);
  return s;
}

// The copies GetIconInfo handed out, and the icon itself.
void release(win::ICONINFO& info, win::HICON icon) {
  win::DeleteObject(info.hbmColor);
  win::DeleteObject(info.hbmMask);
  win::DestroyIcon(icon);
}

std::string rows(int w, int h, int fromRow, int cols) {  // '#' in rows fromRow.. and the first cols columns
  std::string s;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) s += y >= fromRow && x < cols ? '#' : '.';
    s += '\n';
  }
  return s;
}

TEST_F(CursorMSW, ASmallImageSitsAtTheBottomLeftOfAnOpaqueCursor) {
  vimage* image = filled(16, 16, 0xFF0000);
  win::HICON cursor = _vimageMSWMakeCursorOrIcon(image, 32, 32, 40, -5, true);
  win::HICON inside = _vimageMSWMakeCursorOrIcon(image, 32, 32, 3, 15, true);
  ASSERT_NE(cursor, nullptr);
  win::ICONINFO info{};
  ASSERT_TRUE(win::GetIconInfo(cursor, &info));
  EXPECT_EQ(info.fIcon, 0);
  EXPECT_EQ(info.xHotspot, 31u);  // clamped into the cursor
  EXPECT_EQ(info.yHotspot, 31u);
  win::ICONINFO top{};
  ASSERT_TRUE(win::GetIconInfo(inside, &top));
  EXPECT_EQ(top.xHotspot, 3u);
  EXPECT_EQ(top.yHotspot, 16u);  // the image's top row, 16 rows down in the cursor
  release(top, inside);
  EXPECT_EQ(picture(info.hbmColor, win::RGB(255, 0, 0)), rows(32, 32, 16, 16));
  EXPECT_EQ(picture(info.hbmMask, win::RGB(255, 255, 255)), rows(32, 32, 32, 0));  // 0 everywhere: opaque
  release(info, cursor);
  vimageDestroy(image);
}

TEST_F(CursorMSW, AMaskMakesPixelsTransparentAndBlack) {
  vimage* image = filled(4, 4, 0x00FF00);
  vimage* mask = vimageCreateSized(4, 4, 2);
  vpixmapFill(mask, 1);
  vpixmapCursor c;
  vpixmapInitCursor(&c, mask);
  vpixmapCursorSetAt(&c, 0, 0, 0);  // the bottom-left pixel is transparent
  vpixmapFinishCursor(&c);
  vpixmapMarkChanged(mask);
  vimageSetMaskOwned(image, mask);
  win::HICON icon = _vimageMSWMakeCursorOrIcon(image, 4, 4, 0, 3, false);
  win::ICONINFO info{};
  ASSERT_TRUE(win::GetIconInfo(icon, &info));
  EXPECT_EQ(info.fIcon, 1);
  EXPECT_EQ(picture(info.hbmColor, win::RGB(0, 255, 0)), "####\n####\n####\n.###\n");
  EXPECT_EQ(picture(info.hbmMask, win::RGB(255, 255, 255)), "....\n....\n....\n#...\n");
  // The image's own device bitmaps were not changed on the way.
  EXPECT_EQ(picture(vcolorMSWGetPixmapBitmap(image), win::RGB(0, 255, 0)), "####\n####\n####\n####\n");
  release(info, icon);
  vimageDestroy(image);
}

TEST_F(CursorMSW, CursorAndIconShareOneHandleInTheRing) {
  vimage* image = filled(32, 32, 0x0000FF);
  win::HCURSOR cursor = vimageMSWGetCursor(image, 0, 31);
  EXPECT_EQ(vimageMSWGetCursor(image, 0, 31), cursor);
  EXPECT_EQ(vimageMSWGetIcon(image), cursor);  // borrowed, destroyed once with the image
  vimageDestroy(image);
}

}  // namespace

namespace {

// The icons the task window was sent, in order.
std::vector<win::LPARAM> taskIconsSent(const std::vector<win::test::TraceEntry>& trace) {
  std::vector<win::LPARAM> icons;
  for (const auto& e : trace)
    if (e.hwnd == vsysGetTaskWindow() && e.message == win::WM_SETICON && e.wParam == win::ICON_BIG)
      icons.push_back(e.lParam);
  return icons;
}

TEST_F(CursorMSW, TheTaskWindowShowsTheApplicationsIconAndFollowsItsChanges) {
  vapplication* app = vapplicationCreate();
  vapplicationClassRec* c = vapplicationGetDefaultClass();
  vimage* first = filled(32, 32, 0x00FF00);
  vimage* second = filled(32, 32, 0x0000FF);
  win::test::StartTrace();
  c->setIcon(app, first);
  c->setIcon(app, second);
  c->setIcon(app, second);  // unchanged: nothing sent
  c->setIcon(app, nullptr);
  auto icons = taskIconsSent(win::test::StopTrace());
  ASSERT_EQ(icons.size(), 3u);
  EXPECT_EQ(icons[0], reinterpret_cast<win::LPARAM>(vimageMSWGetIcon(first)));
  EXPECT_EQ(icons[1], reinterpret_cast<win::LPARAM>(vimageMSWGetIcon(second)));
  EXPECT_EQ(icons[2], 0);
  vapplicationDestroy(app);
  vimageDestroy(first);
  vimageDestroy(second);
}

}  // namespace
