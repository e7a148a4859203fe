// Icons and cursors: the AND mask then the XOR image, copies handed out,
// built-in shapes, and the cursor in use.
#include <cstdint>
#include <vector>

#include "platform_fixture.h"

namespace {

using win::RGB;

// A 24-bit memory bitmap filled with `fill`, selected into a new DC.
struct Canvas {
  win::HDC dc = win::CreateCompatibleDC(nullptr);
  win::HBITMAP bitmap;
  win::HGDIOBJ old;
  Canvas(int w, int h, win::COLORREF fill) : bitmap(win::CreateBitmap(w, h, 1, 32, nullptr)) {
    old = win::SelectObject(dc, bitmap);
    win::HBRUSH b = win::CreateSolidBrush(fill);
    win::RECT r{0, 0, w, h};
    win::FillRect(dc, &r, b);
    win::DeleteObject(b);
  }
  ~Canvas() {
    win::SelectObject(dc, old);
    win::DeleteDC(dc);
    win::DeleteObject(bitmap);
  }
};

// One pixel in each of the four mask and image combinations:
// AND 0 XOR 0, AND 0 XOR 1, AND 1 XOR 0, AND 1 XOR 1.
constexpr win::BYTE kAnd[] = {0x30, 0, 0, 0};  // a row of 4 pixels, word aligned
constexpr win::BYTE kXor[] = {0x50, 0, 0, 0};

}  // namespace

TEST(Icons, DrawIconAndsTheMaskThenXorsTheImage) {
  const win::COLORREF under = RGB(0x12, 0x34, 0x56);
  const win::COLORREF expected[] = {RGB(0, 0, 0), RGB(255, 255, 255), under, RGB(0xED, 0xCB, 0xA9)};
  // Monochrome (the two halves of one mask) and colour images.
  win::HCURSOR mono = win::CreateCursor(nullptr, 1, 0, 4, 1, kAnd, kXor);
  std::uint32_t colour[4] = {0, 0xFFFFFF, 0, 0xFFFFFF};
  win::HBITMAP mask = win::CreateBitmap(4, 1, 1, 1, kAnd);
  win::HBITMAP image = win::CreateBitmap(4, 1, 1, 32, colour);
  win::ICONINFO info{1, 0, 0, mask, image};
  win::HICON coloured = win::CreateIconIndirect(&info);
  win::DeleteObject(mask);  // the icon keeps its own copies
  win::DeleteObject(image);
  for (win::HICON icon : {mono, coloured}) {
    ASSERT_NE(icon, nullptr);
    Canvas c(6, 3, under);
    win::SetTextColor(c.dc, RGB(255, 0, 0));  // the DC's colours do not matter
    win::SetBkColor(c.dc, RGB(0, 0, 255));
    EXPECT_TRUE(win::DrawIcon(c.dc, 1, 1, icon));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(win::GetPixel(c.dc, x + 1, 1), expected[x]) << x;
    EXPECT_EQ(win::GetPixel(c.dc, 0, 1), under);
    EXPECT_EQ(win::GetPixel(c.dc, 5, 1), under);
    EXPECT_EQ(win::GetPixel(c.dc, 2, 0), under);
  }
  EXPECT_TRUE(win::DestroyCursor(mono));
  EXPECT_TRUE(win::DestroyIcon(coloured));
  Canvas c(6, 3, under);
  EXPECT_FALSE(win::DrawIcon(c.dc, 1, 1, coloured));
  EXPECT_FALSE(win::DestroyIcon(coloured));
  EXPECT_EQ(win::GetPixel(c.dc, 1, 1), under);
}

TEST(Icons, IconInfoHandsOutCopiesWithTheHotSpot) {
  struct Case {
    bool cursor;
    int hotX, hotY;
    win::DWORD expectedX, expectedY;
  };
  // A cursor keeps its hot spot inside it; an icon's is its centre.
  const Case cases[] = {{true, 1, 0, 1, 0}, {true, 9, -3, 3, 0}, {false, 1, 0, 2, 0}};
  for (const Case& c : cases) {
    win::HICON h = c.cursor ? win::CreateCursor(nullptr, c.hotX, c.hotY, 4, 1, kAnd, kXor)
                            : win::CreateIcon(nullptr, 4, 1, 1, 1, kAnd, kXor);
    ASSERT_NE(h, nullptr);
    win::ICONINFO info{};
    ASSERT_TRUE(win::GetIconInfo(h, &info));
    EXPECT_EQ(info.fIcon, c.cursor ? 0 : 1);
    EXPECT_EQ(info.xHotspot, c.expectedX);
    EXPECT_EQ(info.yHotspot, c.expectedY);
    EXPECT_EQ(info.hbmColor, nullptr);  // monochrome: the mask holds both halves
    win::BITMAP bm{};
    ASSERT_TRUE(win::GetObjectA(info.hbmMask, sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 4);
    EXPECT_EQ(bm.bmHeight, 2);
    // The copy is the caller's: deleting it leaves the cursor whole.
    EXPECT_TRUE(win::DeleteObject(info.hbmMask));
    Canvas canvas(4, 1, RGB(0x12, 0x34, 0x56));
    EXPECT_TRUE(win::DrawIcon(canvas.dc, 0, 0, h));
    EXPECT_EQ(win::GetPixel(canvas.dc, 1, 0), RGB(255, 255, 255));
    EXPECT_TRUE(win::DestroyIcon(h));
  }
  win::ICONINFO bad{1, 0, 0, nullptr, nullptr};
  EXPECT_EQ(win::CreateIconIndirect(&bad), nullptr);
  EXPECT_EQ(win::CreateIcon(nullptr, 0, 1, 1, 1, kAnd, kXor), nullptr);
}

TEST(Icons, MadeCursorsAreSetAndTheCursorInUseGoesWithItsHandle) {
  win::HCURSOR made = win::CreateCursor(nullptr, 0, 0, 4, 1, kAnd, kXor);
  win::HCURSOR arrow = win::LoadCursorA(nullptr, win::IDC_ARROW);
  win::SetCursor(arrow);
  EXPECT_EQ(win::SetCursor(made), arrow);
  EXPECT_EQ(win::test::Headless().cursor, made);
  EXPECT_TRUE(win::DestroyCursor(made));
  EXPECT_EQ(win::GetCursor(), nullptr);
  EXPECT_EQ(win::test::Headless().cursor, nullptr);
  EXPECT_EQ(win::SetCursor(made), nullptr);  // a dead handle sets none
  // Built-in shapes stay whatever is asked.
  EXPECT_TRUE(win::DestroyCursor(arrow));
  EXPECT_EQ(win::LoadCursorA(nullptr, win::IDC_ARROW), arrow);
  win::ICONINFO info{};
  ASSERT_TRUE(win::GetIconInfo(arrow, &info));
  EXPECT_EQ(info.fIcon, 0);
  win::DeleteObject(info.hbmMask);
  // The built-in pictures: the arrow's tip, the hourglass, the icon.
  struct Look {
    win::HICON icon;
    int x, y;
    win::COLORREF colour;
  };
  win::HICON app = win::LoadIconA(nullptr, win::IDI_APPLICATION);
  win::HCURSOR wait = win::LoadCursorA(nullptr, win::IDC_WAIT);
  const win::COLORREF under = RGB(0, 128, 0);
  const Look looks[] = {{arrow, 0, 0, 0},         {arrow, 1, 2, RGB(255, 255, 255)}, {arrow, 5, 2, under},
                        {wait, 5, 0, 0},          {wait, 5, 1, RGB(255, 255, 255)},  {wait, 0, 5, under},
                        {app, 2, 4, 0},           {app, 10, 6, RGB(0, 0, 128)},      {app, 10, 20, RGB(255, 255, 255)},
                        {app, 0, 0, under}};
  for (const Look& l : looks) {
    Canvas c(32, 32, under);
    win::DrawIcon(c.dc, 0, 0, l.icon);
    EXPECT_EQ(win::GetPixel(c.dc, l.x, l.y), l.colour) << l.x << "," << l.y;
    if (std::getenv("ICON_PNG")) {
      win::test::Image img{32, 32, {}};
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
          win::COLORREF p = win::GetPixel(c.dc, x, y);
          img.px.push_back((p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF));
        }
      win::test::WritePng(std::string(std::getenv("ICON_PNG")) + std::to_string(l.x) +
                              (l.icon == arrow ? "arrow" : l.icon == wait ? "wait" : "app") + ".png",
                          img);
    }
  }
}
