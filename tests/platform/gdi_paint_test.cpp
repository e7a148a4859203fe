// Device contexts on windows and painting: own contexts, clip copies,
// visible regions, scrolling, the screen, BeginPaint's erase and the
// order of WM_PAINT, and a window picture against its stored PNG.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/backend/input.h"
#include "platform/win.h"
#include "platform/win/test.h"
#include "support/png_compare.h"
#include "tests/support/address_limit.h"

namespace {

using namespace win;

struct Painted {
  HWND hwnd;
  BOOL fErase;
  RECT rcPaint;
  RECT clipBox;
};

struct Log {
  static inline std::vector<std::string> messages;
  static inline std::vector<Painted> paints;
  static inline LRESULT eraseAnswer = -1;  // -1: default processing
  static inline HBRUSH paintBrush = nullptr;
  static LRESULT proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT || message == WM_ERASEBKGND || message == 0x4321) {
      char name[32] = {};
      GetWindowTextA(hwnd, name, sizeof name);
      messages.push_back(std::string(message == WM_PAINT ? "paint " : message == WM_ERASEBKGND ? "erase " : "posted ") + name);
    }
    if (message == WM_ERASEBKGND && eraseAnswer >= 0) return eraseAnswer;
    if (message == WM_PAINT) {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      Painted p{hwnd, ps.fErase, ps.rcPaint, {}};
      GetClipBox(dc, &p.clipBox);
      if (paintBrush) {
        HGDIOBJ old = SelectObject(dc, paintBrush);
        PatBlt(dc, 4, 4, 16, 8, PATCOPY);
        SelectObject(dc, old);
      }
      paints.push_back(p);
      EndPaint(hwnd, &ps);
      return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
};

class GdiWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    Log::messages.clear();
    Log::paints.clear();
    Log::eraseAnswer = -1;
    Log::paintBrush = nullptr;
    WNDCLASSA wc{};
    wc.lpfnWndProc = Log::proc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(std::uintptr_t(COLOR_WINDOW + 1));
    wc.lpszClassName = "GdiBrush";
    ASSERT_NE(RegisterClassA(&wc), 0);
    wc.hbrBackground = nullptr;
    wc.lpszClassName = "GdiPlain";
    ASSERT_NE(RegisterClassA(&wc), 0);
    wc.style = CS_OWNDC;
    wc.lpszClassName = "GdiOwn";
    ASSERT_NE(RegisterClassA(&wc), 0);
  }
  void TearDown() override {
    for (HWND h : made)
      if (IsWindow(h)) DestroyWindow(h);
    for (const char* c : {"GdiBrush", "GdiPlain", "GdiOwn"}) EXPECT_TRUE(UnregisterClassA(c, nullptr));
  }
  HWND make(const char* cls, const char* name, DWORD style, HWND parent, int x, int y, int w, int h) {
    HWND hwnd = CreateWindowExA(0, cls, name, style, x, y, w, h, parent, nullptr, nullptr, nullptr);
    made.push_back(hwnd);
    return hwnd;
  }
  static void pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  static void fill(HWND hwnd, COLORREF c, DWORD flags = 0) {
    HDC dc = GetDCEx(hwnd, nullptr, flags);
    HBRUSH b = CreateSolidBrush(c);
    RECT r{0, 0, 1000, 1000};
    FillRect(dc, &r, b);
    DeleteObject(b);
    ReleaseDC(hwnd, dc);
  }
  std::vector<HWND> made;
};

TEST_F(GdiWindows, ClipRegionsAreCopiesAndOwnContextsKeepTheirState) {
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP bm = CreateBitmap(4, 4, 1, 32, nullptr);
  HGDIOBJ old = SelectObject(mem, bm);
  HRGN r = CreateRectRgn(1, 1, 3, 3);
  EXPECT_EQ(SelectClipRgn(mem, r), SIMPLEREGION);
  EXPECT_TRUE(DeleteObject(r));  // the context holds its own copy
  PatBlt(mem, 0, 0, 4, 4, WHITENESS);
  std::string seen;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) seen += GetPixel(mem, x, y) == RGB(255, 255, 255) ? '#' : GetPixel(mem, x, y) == 0xFFFFFFFF ? 'x' : '.';
  // Pixels outside the clip read as invalid through the clipped context.
  EXPECT_EQ(seen, "xxxx"
                  "x##x"
                  "x##x"
                  "xxxx");
  SelectClipRgn(mem, nullptr);
  EXPECT_EQ(GetPixel(mem, 0, 0), RGB(0, 0, 0));
  SelectObject(mem, old);
  DeleteObject(bm);
  DeleteDC(mem);

  HWND w = make("GdiOwn", "own", WS_POPUP | WS_VISIBLE, nullptr, 10, 10, 40, 30);
  HDC a = GetDC(w);
  EXPECT_EQ(GetDC(w), a);
  SetTextColor(a, RGB(1, 2, 3));
  SetBkMode(a, TRANSPARENT);
  EXPECT_EQ(ReleaseDC(w, a), 1);
  HDC b = GetDC(w);
  EXPECT_EQ(b, a);
  EXPECT_EQ(GetTextColor(b), RGB(1, 2, 3));
  EXPECT_EQ(GetBkMode(b), TRANSPARENT);
  HDC cache = GetDCEx(w, nullptr, DCX_CACHE);
  EXPECT_NE(cache, a);
  EXPECT_EQ(GetTextColor(cache), RGB(0, 0, 0));
  ReleaseDC(w, cache);
  pump();
  Log::paints.clear();
  RECT part{5, 5, 15, 10};
  InvalidateRect(w, &part, 0);
  UpdateWindow(w);
  ASSERT_EQ(Log::paints.size(), 1u);
  EXPECT_EQ(Log::paints[0].clipBox.right, 15);
  RECT box;
  GetClipBox(a, &box);  // the paint clip went with EndPaint
  EXPECT_EQ(box.right, 40);
  EXPECT_EQ(box.bottom, 30);
  // A selected object cannot be deleted; a stock one is never deleted.
  HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
  HGDIOBJ previous = SelectObject(a, brush);
  EXPECT_EQ(GetObjectType(previous), OBJ_BRUSH);
  EXPECT_FALSE(DeleteObject(brush));
  EXPECT_EQ(GetObjectType(brush), OBJ_BRUSH);
  SelectObject(a, previous);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), OBJ_PEN);
  LOGFONTA lf;
  EXPECT_EQ(GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf), int(sizeof lf));
  EXPECT_EQ(lf.lfHeight, -11);
  EXPECT_STREQ(lf.lfFaceName, "DejaVu Sans");
}

TEST_F(GdiWindows, VisibleRegionsFollowClipStylesAndMoves) {
  HWND parent = make("GdiPlain", "parent", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, nullptr, 0, 0, 60, 40);
  HWND top = make("GdiPlain", "top", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, parent, 10, 10, 20, 20);
  HWND under = make("GdiPlain", "under", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, parent, 20, 10, 20, 20);
  // `under` was made later, so it is above `top` in the z-order.
  fill(parent, RGB(255, 0, 0));
  fill(top, RGB(0, 255, 0));
  fill(under, RGB(0, 0, 255));
  EXPECT_EQ(test::Pixel(parent, 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(test::Pixel(parent, 15, 15), RGB(0, 255, 0));
  EXPECT_EQ(test::Pixel(parent, 25, 15), RGB(0, 0, 255));  // the sibling above keeps its pixels
  EXPECT_EQ(test::Pixel(parent, 35, 15), RGB(0, 0, 255));
  // Without clipping the parent paints over its children.
  fill(parent, RGB(9, 9, 9), DCX_CACHE);
  EXPECT_EQ(test::Pixel(parent, 15, 15), RGB(0, 255, 0));  // the style still clips
  SetWindowLongPtrA(parent, GWL_STYLE, WS_POPUP | WS_VISIBLE);
  fill(parent, RGB(9, 9, 9));
  EXPECT_EQ(test::Pixel(parent, 15, 15), RGB(9, 9, 9));
  // A move makes the visible region again; the parent gets what the
  // child uncovered, erased.
  SetWindowLongPtrA(parent, GWL_STYLE, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
  ValidateRect(parent, nullptr);
  MoveWindow(under, 40, 20, 20, 20, 1);
  RECT update;
  EXPECT_TRUE(GetUpdateRect(parent, &update, 0));
  EXPECT_EQ(update.left, 20);
  EXPECT_EQ(update.right, 40);
  fill(parent, RGB(1, 1, 1));
  EXPECT_EQ(test::Pixel(parent, 35, 15), RGB(1, 1, 1));
  EXPECT_EQ(test::Pixel(parent, 45, 25), RGB(9, 9, 9));
  // A hidden child clips nothing and its own context draws nothing.
  ShowWindow(top, SW_HIDE);
  fill(top, RGB(7, 7, 7));
  fill(parent, RGB(2, 2, 2));
  EXPECT_EQ(test::Pixel(parent, 15, 15), RGB(2, 2, 2));
}

TEST_F(GdiWindows, ScrollDcUncoversWhatItsSourceCouldNotFill) {
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP bm = CreateBitmap(10, 1, 1, 32, nullptr);
  HGDIOBJ old = SelectObject(mem, bm);
  for (int x = 0; x < 10; ++x) SetPixel(mem, x, 0, RGB(x, 0, 0));
  ExcludeClipRect(mem, 0, 0, 2, 1);
  RECT scroll{0, 0, 10, 1}, updateBox;
  HRGN update = CreateRectRgn(0, 0, 0, 0);
  ASSERT_TRUE(ScrollDC(mem, 3, 0, &scroll, nullptr, update, &updateBox));
  // The clipped source leaves columns 2-4 uncovered.
  EXPECT_EQ(updateBox.left, 2);
  EXPECT_EQ(updateBox.right, 5);
  EXPECT_EQ(GetRgnBox(update, &updateBox), SIMPLEREGION);
  SelectClipRgn(mem, nullptr);
  std::vector<int> reds;
  for (int x = 0; x < 10; ++x) reds.push_back(GetRValue(GetPixel(mem, x, 0)));
  EXPECT_EQ(reds, (std::vector<int>{0, 1, 2, 3, 4, 2, 3, 4, 5, 6}));
  DeleteObject(update);
  SelectObject(mem, old);
  DeleteObject(bm);
  DeleteDC(mem);
}

// A window of a class with CS_DROPSHADOW darkens what lies in a 2-pixel
// band to its right and below it (offset 2 from its top and left), on the
// screen only: its own pixels, its neighbours' corners and windows above
// it stay as they are.
TEST_F(GdiWindows, DropShadowDarkensTheBandRightAndBelow) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Log::proc;
  wc.style = CS_DROPSHADOW;
  wc.lpszClassName = "GdiShadow";
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND under = make("GdiPlain", "under", WS_POPUP | WS_VISIBLE, nullptr, 0, 0, 100, 100);
  HWND pop = make("GdiShadow", "pop", WS_POPUP | WS_VISIBLE, nullptr, 20, 20, 30, 20);
  fill(under, RGB(200, 100, 50));
  fill(pop, RGB(0, 0, 255));
  test::Image screen = test::ScreenImage();
  auto at = [&](int x, int y) { return screen.px[std::size_t(y * screen.width + x)]; };
  const std::uint32_t ground = 0xC86432, dark = 0x643219;
  struct Point {
    int x, y;
    std::uint32_t expected;
  };
  for (const Point& p : {Point{49, 39, 0x0000FF}, {50, 22, dark}, {51, 41, dark}, {22, 40, dark}, {50, 21, ground},
                         {21, 40, ground}, {52, 30, ground}, {30, 42, ground}, {10, 10, ground}})
    EXPECT_EQ(at(p.x, p.y), p.expected) << p.x << "," << p.y;
  EXPECT_EQ(test::Pixel(under, 50, 30), RGB(200, 100, 50));  // the window's own pixels keep their colour
  // A window above the shadow hides it.
  HWND above = make("GdiPlain", "above", WS_POPUP | WS_VISIBLE, nullptr, 45, 35, 20, 20);
  fill(above, RGB(0, 255, 0));
  EXPECT_EQ(test::ScreenImage().px[std::size_t(41 * screen.width + 50)], 0x00FF00u);
  for (HWND h : {above, pop}) DestroyWindow(h);
  EXPECT_TRUE(UnregisterClassA("GdiShadow", nullptr));
}

TEST_F(GdiWindows, ScreenSaveAndRestoreRoundTrips) {
  HWND a = make("GdiPlain", "a", WS_POPUP | WS_VISIBLE, nullptr, 10, 10, 50, 40);
  HWND b = make("GdiPlain", "b", WS_POPUP | WS_VISIBLE, nullptr, 30, 30, 50, 40);
  fill(a, RGB(200, 0, 0));
  fill(b, RGB(0, 200, 0));
  test::Image before = test::ScreenImage();
  EXPECT_EQ(before.px[5 * before.width + 5], 0x008080u);  // the desktop colour
  EXPECT_EQ(before.px[35 * before.width + 35], 0x00C800u);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP saved = CreateCompatibleBitmap(screen, 100, 100);
  HGDIOBJ old = SelectObject(mem, saved);
  BitBlt(mem, 0, 0, 100, 100, screen, 0, 0, SRCCOPY);
  PatBlt(screen, 0, 0, 100, 100, BLACKNESS);
  EXPECT_EQ(test::Pixel(a, 5, 5), RGB(0, 0, 0));
  EXPECT_EQ(test::Pixel(a, 25, 25), RGB(0, 0, 0));  // under b, written too
  BitBlt(screen, 0, 0, 100, 100, mem, 0, 0, SRCCOPY);
  test::Image after = test::ScreenImage();
  EXPECT_EQ(after.px, before.px);
  SelectObject(mem, old);
  DeleteObject(saved);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 0);  // released
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  EXPECT_EQ(GetDeviceCaps(display, HORZRES), 1024);
  EXPECT_EQ(GetDeviceCaps(display, RASTERCAPS) & RC_PALETTE, 0);
  EXPECT_EQ(GetDeviceCaps(display, NUMCOLORS), -1);
  EXPECT_FALSE(SetWorldTransform(display, nullptr));
  EXPECT_TRUE(ModifyWorldTransform(display, nullptr, MWT_IDENTITY));
  EXPECT_TRUE(DeleteDC(display));
}

TEST_F(GdiWindows, BeginPaintErasesValidatesAndTellsFErase) {
  struct Case {
    const char* cls;
    LRESULT answer;
    bool fErase;
  };
  for (const Case& c : {Case{"GdiBrush", -1, false}, Case{"GdiPlain", -1, true}, Case{"GdiPlain", 1, false}}) {
    Log::messages.clear();
    Log::paints.clear();
    Log::eraseAnswer = c.answer;
    HWND w = make(c.cls, "w", WS_POPUP | WS_VISIBLE, nullptr, 0, 0, 30, 20);
    pump();
    ASSERT_EQ(Log::paints.size(), 1u) << c.cls;
    EXPECT_EQ(Log::messages, (std::vector<std::string>{"paint w", "erase w"}));
    EXPECT_EQ(Log::paints[0].fErase != 0, c.fErase) << c.cls << " " << c.answer;
    EXPECT_EQ(Log::paints[0].rcPaint.right, 30);
    RECT r;
    EXPECT_FALSE(GetUpdateRect(w, &r, 0));
    // Without erase, no WM_ERASEBKGND.
    Log::messages.clear();
    InvalidateRect(w, nullptr, 0);
    UpdateWindow(w);
    EXPECT_EQ(Log::messages, (std::vector<std::string>{"paint w"}));
    DestroyWindow(w);
  }
  // The update region before BeginPaint.
  HWND w = make("GdiPlain", "w", WS_POPUP | WS_VISIBLE, nullptr, 0, 0, 30, 20);
  pump();
  RECT a{0, 0, 5, 5}, b{10, 10, 15, 15};
  InvalidateRect(w, &a, 0);
  InvalidateRect(w, &b, 0);
  HRGN u = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetUpdateRgn(w, u, 0), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(u, 7, 7));
  ValidateRgn(w, u);
  EXPECT_EQ(GetUpdateRgn(w, u, 0), NULLREGION);
  DeleteObject(u);
}

TEST_F(GdiWindows, PaintComesWhenIdleParentsFirst) {
  HWND first = make("GdiPlain", "first", WS_POPUP | WS_VISIBLE, nullptr, 0, 0, 40, 40);
  HWND kid = make("GdiPlain", "kid", WS_CHILD | WS_VISIBLE, first, 0, 0, 10, 10);
  HWND second = make("GdiPlain", "second", WS_POPUP | WS_VISIBLE, nullptr, 50, 0, 40, 40);
  pump();
  Log::messages.clear();
  Log::eraseAnswer = 1;
  InvalidateRect(kid, nullptr, 0);
  InvalidateRect(first, nullptr, 0);
  InvalidateRect(second, nullptr, 0);
  PostMessageA(kid, 0x4321, 0, 0);
  pump();
  // Posted first; then the topmost window, its parent before its child.
  EXPECT_EQ(Log::messages, (std::vector<std::string>{"posted kid", "paint second", "paint first", "paint kid"}));
  // A back-end's exposure invalidates with erase in every window under it.
  Log::messages.clear();
  win::backend::InputExposed(first, RECT{0, 0, 5, 5});
  pump();
  EXPECT_EQ(Log::messages, (std::vector<std::string>{"paint first", "erase first", "paint kid", "erase kid"}));
}

// Children already painted are passed over quickly, yet one damaged again
// behind them, after a restacking or after a sibling went, still paints,
// in stacking order from the top.
TEST_F(GdiWindows, RepaintedChildrenAreFoundWhereverTheyStand) {
  HWND top = make("GdiPlain", "top", WS_POPUP | WS_VISIBLE, nullptr, 0, 0, 100, 40);
  const char* names[] = {"a", "b", "c", "d"};
  HWND kids[4];
  for (int i = 0; i < 4; ++i) kids[i] = make("GdiPlain", names[i], WS_CHILD | WS_VISIBLE, top, i * 20, 0, 10, 10);
  pump();
  Log::eraseAnswer = 1;
  struct Step {
    const char* what;
    std::function<void()> change;
    std::vector<std::string> painted;
  } steps[] = {
      {"every child", [&] { for (HWND k : kids) InvalidateRect(k, nullptr, 0); },
       {"paint d", "paint c", "paint b", "paint a"}},
      {"the bottom one", [&] { InvalidateRect(kids[0], nullptr, 0); }, {"paint a"}},
      {"two, top last", [&] { InvalidateRect(kids[1], nullptr, 0), InvalidateRect(kids[3], nullptr, 0); },
       {"paint d", "paint b"}},
      {"after a restack", [&] {
         SetWindowPos(kids[0], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
         pump();
         Log::messages.clear();
         InvalidateRect(kids[2], nullptr, 0);
         InvalidateRect(kids[1], nullptr, 0);
       },
       {"paint c", "paint b"}},
      {"after one went", [&] {
         DestroyWindow(kids[3]);
         pump();
         Log::messages.clear();
         InvalidateRect(kids[1], nullptr, 0);
       },
       {"paint b"}},
  };
  for (const Step& step : steps) {
    Log::messages.clear();
    step.change();
    pump();
    EXPECT_EQ(Log::messages, step.painted) << step.what;
  }
}

// A window of the largest size drawn into takes memory for what can be
// seen of it, not for its whole area: drawing outside is clipped.
TEST_F(GdiWindows, AHugeWindowDrawsWithinALimitedAddressSpace) {
  int answer = addrlimit::inChild(std::size_t(512) << 20, [&] {
    HWND huge = CreateWindowExA(0, "GdiPlain", "huge", WS_POPUP | WS_VISIBLE, 0, 0, 32767, 32767, nullptr, nullptr,
                                nullptr, nullptr);
    if (!huge) return 1;
    pump();
    HDC dc = GetDC(huge);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT all{0, 0, 32767, 32767};
    FillRect(dc, &all, red);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 32766, 32766);
    TextOutA(dc, 30000, 30000, "far", 3);
    bool seen = GetPixel(dc, 5, 400) == RGB(255, 0, 0);
    bool clipped = GetPixel(dc, 30000, 30000) == COLORREF(0xFFFFFFFFu);
    ReleaseDC(huge, dc);
    DeleteObject(red);
    InvalidateRect(huge, nullptr, 1);
    pump();
    DestroyWindow(huge);
    pump();
    return seen && clipped ? 0 : 2;
  });
  EXPECT_EQ(answer, 0) << "-1: the child ended by a signal; 2: wrong pixels";
}

TEST_F(GdiWindows, WindowPictureMatchesItsStoredPng) {
  HDC mem = CreateCompatibleDC(nullptr);
  const std::uint8_t bits[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
  HBITMAP cells = CreateBitmap(8, 8, 1, 1, bits);
  Log::paintBrush = CreatePatternBrush(cells);
  HWND w = make("GdiBrush", "picture", WS_POPUP | WS_VISIBLE, nullptr, 100, 100, 32, 24);
  pump();
  test::Image image = test::WindowImage(w);
  EXPECT_EQ(image.px[0], 0xFFFFFFu);               // the class brush
  EXPECT_EQ(image.px[4 * 32 + 4], 0xFFFFFFu);      // background colour under 1 bits
  EXPECT_EQ(image.px[4 * 32 + 5], 0x000000u);      // text colour under 0 bits
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(PLATFORM_GOLDEN) + "/window_brush.png"));
  DeleteObject(Log::paintBrush);
  Log::paintBrush = nullptr;
  DeleteObject(cells);
  DeleteDC(mem);
}

}  // namespace
