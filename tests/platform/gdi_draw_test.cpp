// Pens, brushes and primitives on tiny bitmaps: golden pixel arrays as
// ASCII art ('#' the pen or brush colour, '.' the background, 'o' a
// second colour), ROP2 modes against their truth table, shapes against
// each other, and a sampler picture against its stored PNG.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win.h"
#include "platform/win/test.h"
#include "support/png_compare.h"

namespace {

using namespace win;

constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = 0, kGrey = RGB(128, 128, 128);

struct Canvas {
  HDC dc;
  HBITMAP bm;
  HGDIOBJ old;
  int w, h;
  Canvas(int width, int height, bool mono = false) : w(width), h(height) {
    dc = CreateCompatibleDC(nullptr);
    bm = CreateBitmap(w, h, 1, mono ? 1 : 32, nullptr);
    old = SelectObject(dc, bm);
    PatBlt(dc, 0, 0, w, h, WHITENESS);
  }
  ~Canvas() {
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bm);
  }
  // One character a pixel: '.' white, '#' black, 'o' grey, '?' other.
  std::string art() const {
    std::string out;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        COLORREF c = GetPixel(dc, x, y);
        out += c == kWhite ? '.' : c == kBlack ? '#' : c == kGrey ? 'o' : '?';
      }
      out += '\n';
    }
    return out;
  }
  std::vector<COLORREF> pixels() const {
    std::vector<COLORREF> out;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) out.push_back(GetPixel(dc, x, y));
    return out;
  }
};

std::string rows(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* l : lines) out += std::string(l) + "\n";
  return out;
}

COLORREF rop2(int mode, COLORREF p, COLORREF d) {
  COLORREF out = 0;
  for (int bit = 0; bit < 24; ++bit) out |= COLORREF((mode - 1) >> ((p >> bit & 1) << 1 | (d >> bit & 1)) & 1) << bit;
  return out;
}

TEST(GdiDraw, EveryRop2ModeForPensAndBrushes) {
  for (bool mono : {false, true}) {
    COLORREF left = mono ? kBlack : RGB(0x12, 0x34, 0x56), right = mono ? kWhite : RGB(0xF0, 0x0F, 0xAA);
    COLORREF penColour = mono ? kWhite : RGB(0x5A, 0xC3, 0x0F), brushColour = mono ? kBlack : RGB(0x99, 0x66, 0x33);
    for (int mode = R2_BLACK; mode <= R2_WHITE; ++mode) {
      Canvas c(8, 4, mono);
      HBRUSH l = CreateSolidBrush(left), r = CreateSolidBrush(right), b = CreateSolidBrush(brushColour);
      RECT lr{0, 0, 4, 4}, rr{4, 0, 8, 4};
      FillRect(c.dc, &lr, l);
      FillRect(c.dc, &rr, r);
      HPEN pen = CreatePen(PS_SOLID, 1, penColour);
      SelectObject(c.dc, pen);
      SelectObject(c.dc, b);
      SetROP2(c.dc, mode);
      MoveToEx(c.dc, 0, 0, nullptr);
      LineTo(c.dc, 8, 0);  // row 0: the pen
      HRGN fill = CreateRectRgn(0, 2, 8, 4);
      FillRgn(c.dc, fill, b);  // rows 2-3: the brush
      EXPECT_EQ(GetROP2(c.dc), mode);
      for (int x = 0; x < 8; ++x) {
        COLORREF d = x < 4 ? left : right;
        ASSERT_EQ(GetPixel(c.dc, x, 0), rop2(mode, penColour, d)) << "mono " << mono << " mode " << mode << " x " << x;
        ASSERT_EQ(GetPixel(c.dc, x, 1), d);
        ASSERT_EQ(GetPixel(c.dc, x, 3), rop2(mode, brushColour, d)) << "mono " << mono << " mode " << mode << " x " << x;
      }
      SelectObject(c.dc, GetStockObject(BLACK_PEN));
      SelectObject(c.dc, GetStockObject(WHITE_BRUSH));
      for (HGDIOBJ o : {HGDIOBJ(l), HGDIOBJ(r), HGDIOBJ(b), HGDIOBJ(pen), HGDIOBJ(fill)}) EXPECT_TRUE(DeleteObject(o));
    }
  }
  // On a 1-bit surface a colour is the nearer of black and white, black on
  // a tie: for the pen, the brush and a mid-grey alike.
  Canvas m(3, 1, true);
  PatBlt(m.dc, 0, 0, 3, 1, BLACKNESS);
  HPEN grey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
  SelectObject(m.dc, grey);
  MoveToEx(m.dc, 0, 0, nullptr);
  LineTo(m.dc, 1, 0);
  HBRUSH dark = CreateSolidBrush(RGB(128, 128, 127));
  HRGN one = CreateRectRgn(1, 0, 2, 1);
  FillRgn(m.dc, one, dark);
  EXPECT_EQ(m.pixels(), (std::vector<COLORREF>{kWhite, kWhite, kBlack}));
  SelectObject(m.dc, GetStockObject(BLACK_PEN));
  DeleteObject(grey);
  DeleteObject(dark);
  DeleteObject(one);
}

TEST(GdiDraw, RectangleCoverageAndTheNullPenShrink) {
  Canvas c(8, 6);
  SelectObject(c.dc, GetStockObject(GRAY_BRUSH));
  Rectangle(c.dc, 1, 1, 6, 5);
  EXPECT_EQ(c.art(), rows({"........",
                           ".#####..",
                           ".#ooo#..",
                           ".#ooo#..",
                           ".#####..",
                           "........"}));
  Canvas n(8, 6);
  SelectObject(n.dc, GetStockObject(GRAY_BRUSH));
  SelectObject(n.dc, GetStockObject(NULL_PEN));
  Rectangle(n.dc, 1, 1, 6, 5);
  const POINT square[] = {{1, 1}, {6, 1}, {6, 5}, {1, 5}};
  Canvas p(8, 6);
  SelectObject(p.dc, GetStockObject(GRAY_BRUSH));
  SelectObject(p.dc, GetStockObject(NULL_PEN));
  Polygon(p.dc, square, 4);
  std::string shrunk = rows({"........",
                             ".oooo...",
                             ".oooo...",
                             ".oooo...",
                             "........",
                             "........"});
  EXPECT_EQ(n.art(), shrunk);
  EXPECT_EQ(p.art(), rows({"........",
                           ".ooooo..",
                           ".ooooo..",
                           ".ooooo..",
                           ".ooooo..",
                           "........"}));
  // The same polygon with a pen covers one more column and row.
  SelectObject(p.dc, GetStockObject(BLACK_PEN));
  Polygon(p.dc, square, 4);
  EXPECT_EQ(p.art(), rows({"........",
                           ".######.",
                           ".#oooo#.",
                           ".#oooo#.",
                           ".#oooo#.",
                           ".######."}));
}

TEST(GdiDraw, PolylinesDrawSharedVerticesOnceAndDashOnAcrossCorners) {
  Canvas c(8, 8);
  const POINT path[] = {{1, 1}, {6, 1}, {6, 6}, {1, 6}, {3, 3}};
  Polyline(c.dc, path, 5);
  const std::string drawn = rows({"........",
                                  ".######.",
                                  "......#.",
                                  "......#.",
                                  "..#...#.",
                                  "..#...#.",
                                  ".######.",
                                  "........"});
  EXPECT_EQ(c.art(), drawn);
  // Drawn twice in XOR the surface comes back: no pixel was drawn twice.
  Canvas x(8, 8);
  SetROP2(x.dc, R2_XORPEN);
  SelectObject(x.dc, GetStockObject(WHITE_PEN));
  Polyline(x.dc, path, 5);
  EXPECT_EQ(x.art(), drawn);
  Polyline(x.dc, path, 5);
  for (COLORREF p : x.pixels()) ASSERT_EQ(p, kWhite);
  // Dots 3 on 3 off run on round the corner; the gaps take the background
  // colour when opaque.
  Canvas d(12, 8);
  HPEN dot = CreatePen(PS_DOT, 1, kBlack);
  SelectObject(d.dc, dot);
  SetBkMode(d.dc, TRANSPARENT);
  const POINT corner[] = {{0, 0}, {10, 0}, {10, 7}};
  Polyline(d.dc, corner, 3);
  EXPECT_EQ(d.art(), rows({"###...###...",
                           "............",
                           "..........#.",
                           "..........#.",
                           "..........#.",
                           "............",
                           "............",
                           "............"}));
  SetBkMode(d.dc, OPAQUE);
  SetBkColor(d.dc, kGrey);
  Polyline(d.dc, corner, 3);
  EXPECT_EQ(d.art(), rows({"###ooo###oo.",
                           "..........o.",
                           "..........#.",
                           "..........#.",
                           "..........#.",
                           "..........o.",
                           "..........o.",
                           "............"}));
  SelectObject(d.dc, GetStockObject(BLACK_PEN));
  DeleteObject(dot);
}

TEST(GdiDraw, GeometricStrokesFillOnce) {
  // A width-5 path that crosses itself, under XOR, inverts every covered
  // pixel exactly once: the same pixels as the path drawn in copy mode.
  LOGBRUSH black{BS_SOLID, kBlack, 0};
  HPEN wide = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND, 5, &black, 0, nullptr);
  ASSERT_NE(wide, nullptr);
  const POINT cross[] = {{3, 3}, {28, 28}, {28, 3}, {3, 28}};
  Canvas copy(32, 32), xored(32, 32);
  SelectObject(copy.dc, wide);
  Polyline(copy.dc, cross, 4);
  SelectObject(xored.dc, wide);
  SetROP2(xored.dc, R2_NOT);
  Polyline(xored.dc, cross, 4);
  EXPECT_EQ(xored.pixels(), copy.pixels());
  SelectObject(copy.dc, GetStockObject(BLACK_PEN));
  SelectObject(xored.dc, GetStockObject(BLACK_PEN));
  DeleteObject(wide);
  // Caps and joins of width 7 on one corner.
  struct Case {
    DWORD style;
    std::string art;
  };
  const Case cases[] = {
      {PS_ENDCAP_FLAT | PS_JOIN_MITER, rows({"................",
                                             "................",
                                             "..##########....",
                                             "..##########....",
                                             "..##########....",
                                             "..##########....",
                                             "..##########....",
                                             "..##########....",
                                             "..##########....",
                                             ".....#######....",
                                             ".....#######....",
                                             "................"})},
      {PS_ENDCAP_ROUND | PS_JOIN_ROUND, rows({"................",
                                          "................",
                                          ".#########......",
                                          "###########.....",
                                          "############....",
                                          "############....",
                                          "############....",
                                          "############....",
                                          ".###########....",
                                          ".....#######....",
                                          ".....#######....",
                                          ".....#######...."})},
      {PS_ENDCAP_SQUARE | PS_JOIN_BEVEL, rows({"................",
                                          "................",
                                          "#########.......",
                                          "##########......",
                                          "###########.....",
                                          "############....",
                                          "############....",
                                          "############....",
                                          "############....",
                                          ".....#######....",
                                          ".....#######....",
                                          ".....#######...."})},
  };
  for (const Case& c : cases) {
    HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | c.style, 7, &black, 0, nullptr);
    Canvas k(16, 12);
    SelectObject(k.dc, pen);
    const POINT corner[] = {{2, 5}, {8, 5}, {8, 11}};
    Polyline(k.dc, corner, 3);
    EXPECT_EQ(k.art(), c.art) << std::hex << c.style;
    SelectObject(k.dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
  }
}

TEST(GdiDraw, StarsArcsAndRoundRectangles) {
  // A five-point star: ALTERNATE leaves its middle empty, WINDING fills it.
  const POINT star[] = {{8, 0}, {13, 15}, {0, 5}, {16, 5}, {3, 15}};
  Canvas a(17, 16), w(17, 16);
  for (Canvas* c : {&a, &w}) {
    SelectObject(c->dc, GetStockObject(GRAY_BRUSH));
    SelectObject(c->dc, GetStockObject(NULL_PEN));
  }
  SetPolyFillMode(w.dc, WINDING);
  Polygon(a.dc, star, 5);
  Polygon(w.dc, star, 5);
  EXPECT_EQ(GetPixel(a.dc, 8, 8), kWhite);
  EXPECT_EQ(GetPixel(w.dc, 8, 8), kGrey);
  EXPECT_EQ(GetPixel(a.dc, 8, 3), kGrey);
  EXPECT_EQ(a.art(), rows({".................",
             ".......o.........",
             ".......oo........",
             ".......oo........",
             "......ooo........",
             ".ooooo....ooooo..",
             "..oooo....oooo...",
             "...oo.....ooo....",
             ".................",
             ".....o....o......",
             "....ooo..oo......",
             "....oooooooo.....",
             "....oo....oo.....",
             "...oo......o.....",
             "...o........o....",
             "................."}));
  // An arc and the arc with its radial points exchanged make the whole
  // ellipse's outline between them.
  Canvas one(16, 12), other(16, 12), whole(16, 12);
  Arc(one.dc, 1, 1, 15, 11, 15, 0, 0, 11);
  Arc(other.dc, 1, 1, 15, 11, 0, 11, 15, 0);
  SelectObject(whole.dc, GetStockObject(NULL_BRUSH));
  Ellipse(whole.dc, 1, 1, 15, 11);
  std::vector<COLORREF> p1 = one.pixels(), p2 = other.pixels(), pw = whole.pixels();
  int both = 0;
  for (std::size_t i = 0; i < pw.size(); ++i) {
    ASSERT_EQ(p1[i] == kBlack || p2[i] == kBlack, pw[i] == kBlack) << i;
    both += p1[i] == kBlack && p2[i] == kBlack;
  }
  EXPECT_LE(both, 2);  // at most the two end pixels
  EXPECT_EQ(one.art(), rows({"................",
             ".....######.....",
             "...##......#....",
             "..#.............",
             ".#..............",
             ".#..............",
             ".#..............",
             ".#..............",
             "..#.............",
             "................",
             "................",
             "................"}));
  // A wide outline is centred on the box's edge; inside the frame it
  // keeps within the box.
  for (auto [style, grows] : {std::pair{PS_SOLID, true}, {PS_INSIDEFRAME, false}}) {
    Canvas e(16, 16);
    HPEN wide = CreatePen(int(style), 3, kBlack);
    SelectObject(e.dc, wide);
    SelectObject(e.dc, GetStockObject(NULL_BRUSH));
    Ellipse(e.dc, 3, 3, 13, 13);
    EXPECT_EQ(GetPixel(e.dc, 7, 2) == kBlack, grows) << style;
    EXPECT_EQ(GetPixel(e.dc, 7, 3), kBlack);
    EXPECT_EQ(GetPixel(e.dc, 7, 5) == kBlack, !grows) << style;
    SelectObject(e.dc, GetStockObject(BLACK_PEN));
    DeleteObject(wide);
  }
  // Pie and chord close with their radii and their chord line.
  Canvas pie(16, 12), chord(16, 12);
  SelectObject(pie.dc, GetStockObject(GRAY_BRUSH));
  SelectObject(chord.dc, GetStockObject(GRAY_BRUSH));
  Pie(pie.dc, 1, 1, 15, 11, 15, 6, 8, 0);
  Chord(chord.dc, 1, 1, 15, 11, 15, 6, 8, 0);
  EXPECT_EQ(pie.art(), rows({"................",
             "........###.....",
             "........#oo##...",
             "........#oooo#..",
             "........#ooooo#.",
             "........#ooooo#.",
             "........#######.",
             "................",
             "................",
             "................",
             "................",
             "................"}));
  EXPECT_EQ(chord.art(), rows({"................",
             "........###.....",
             ".........####...",
             "...........#o#..",
             "............#o#.",
             ".............##.",
             "................",
             "................",
             "................",
             "................",
             "................",
             "................"}));
  // RoundRect and the round-rect region of the same arguments agree.
  Canvas rr(20, 14), rg(20, 14);
  SelectObject(rr.dc, GetStockObject(BLACK_BRUSH));
  RoundRect(rr.dc, 2, 1, 18, 13, 8, 6);
  HRGN region = CreateRoundRectRgn(2, 1, 18, 13, 8, 6);
  FillRgn(rg.dc, region, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(rr.art(), rg.art());
  InvertRgn(rr.dc, region);
  for (COLORREF p : rr.pixels()) ASSERT_EQ(p, kWhite);
  EXPECT_EQ(rg.art(), rows({"....................",
             "....############....",
             "...##############...",
             "..################..",
             "..################..",
             "..################..",
             "..################..",
             "..################..",
             "..################..",
             "..################..",
             "..################..",
             "...##############...",
             "....############....",
             "...................."}));
  DeleteObject(region);
}

TEST(GdiDraw, FocusRectanglesPatternsClippingAndFaults) {
  Canvas c(8, 6);
  SelectObject(c.dc, GetStockObject(GRAY_BRUSH));
  PatBlt(c.dc, 0, 0, 8, 6, PATCOPY);
  std::vector<COLORREF> before = c.pixels();
  SetTextColor(c.dc, kBlack);
  SetBkColor(c.dc, kWhite);
  RECT frame{1, 1, 7, 5};
  DrawFocusRect(c.dc, &frame);
  // '?' marks the inverted grey: XOR with the background colour white.
  EXPECT_EQ(c.art(), rows({"oooooooo",
             "oo?o?o?o",
             "o?oooooo",
             "oooooo?o",
             "o?o?o?oo",
             "oooooooo"}));
  DrawFocusRect(c.dc, &frame);
  EXPECT_EQ(c.pixels(), before);
  // A pattern-brush polygon gives the pixels PatBlt gives with that brush.
  const std::uint8_t bits[16] = {0x81, 0, 0x42, 0, 0x24, 0, 0x18, 0, 0x18, 0, 0x24, 0, 0x42, 0, 0x81, 0};
  HBITMAP cells = CreateBitmap(8, 8, 1, 1, bits);
  HBRUSH brush = CreatePatternBrush(cells);
  Canvas poly(16, 16), blit(16, 16);
  for (Canvas* k : {&poly, &blit}) {
    SelectObject(k->dc, brush);
    SetBrushOrgEx(k->dc, 3, 5, nullptr);
  }
  SelectObject(poly.dc, GetStockObject(NULL_PEN));
  const POINT box[] = {{2, 1}, {15, 1}, {15, 14}, {2, 14}};
  Polygon(poly.dc, box, 4);
  PatBlt(blit.dc, 2, 1, 13, 13, PATCOPY);
  EXPECT_EQ(poly.pixels(), blit.pixels());
  // Clipping by a region and the viewport origin.
  Canvas clip(8, 8);
  HRGN keep = CreateRectRgn(2, 2, 6, 6);
  SelectClipRgn(clip.dc, keep);
  SetViewportOrgEx(clip.dc, 1, 1, nullptr);
  SelectObject(clip.dc, GetStockObject(BLACK_BRUSH));
  SelectObject(clip.dc, GetStockObject(NULL_PEN));
  Rectangle(clip.dc, 0, 0, 4, 4);  // device 1..3 on each axis
  SetViewportOrgEx(clip.dc, 0, 0, nullptr);
  SelectClipRgn(clip.dc, nullptr);
  EXPECT_EQ(clip.art(), rows({"........", "........", "..##....", "..##....", "........", "........", "........", "........"}));
  // Faults: bad handles and dash arrays.
  LOGBRUSH solid{BS_SOLID, kBlack, 0};
  const DWORD zeros[2] = {0, 0}, dashes[2] = {2, 1};
  SetLastError(0);
  EXPECT_EQ(ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE, 3, &solid, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE, 3, &solid, 2, zeros), nullptr);
  HPEN user = ExtCreatePen(PS_COSMETIC | PS_USERSTYLE, 1, &solid, 2, dashes);
  ASSERT_NE(user, nullptr);
  Canvas u(8, 1);
  SelectObject(u.dc, user);
  const POINT line[] = {{0, 0}, {8, 0}};
  Polyline(u.dc, line, 2);
  EXPECT_EQ(u.art(), rows({"##.##.##"}));
  // A geometric dash array, in logical units along the path, each dash
  // with its own flat caps.
  const DWORD wideDashes[2] = {4, 2};
  HPEN dashed = ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE | PS_ENDCAP_FLAT, 3, &solid, 2, wideDashes);
  ASSERT_NE(dashed, nullptr);
  Canvas g(16, 5);
  SelectObject(g.dc, dashed);
  const POINT across[] = {{0, 2}, {16, 2}};
  Polyline(g.dc, across, 2);
  EXPECT_EQ(g.art(), rows({"................", "####..####..####", "####..####..####", "####..####..####", "................"}));
  SelectObject(g.dc, GetStockObject(BLACK_PEN));
  DeleteObject(dashed);
  SelectObject(u.dc, GetStockObject(BLACK_PEN));
  DeleteObject(user);
  EXPECT_FALSE(Polyline(nullptr, line, 2));
  EXPECT_FALSE(Rectangle(reinterpret_cast<HDC>(brush), 0, 0, 2, 2));
  EXPECT_FALSE(FillRgn(c.dc, keep, nullptr));
  SelectObject(poly.dc, GetStockObject(WHITE_BRUSH));
  SelectObject(blit.dc, GetStockObject(WHITE_BRUSH));
  DeleteObject(brush);
  DeleteObject(cells);
  DeleteObject(keep);
}

TEST(GdiDraw, SamplerMatchesItsStoredPng) {
  Canvas c(256, 256);
  HBRUSH pattern;
  {
    const std::uint8_t bits[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
    HBITMAP cells = CreateBitmap(8, 8, 1, 1, bits);
    pattern = CreatePatternBrush(cells);
    DeleteObject(cells);
  }
  LOGBRUSH blue{BS_SOLID, RGB(0, 0, 200), 0};
  HPEN wide = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_SQUARE | PS_JOIN_MITER, 5, &blue, 0, nullptr);
  HPEN red = CreatePen(PS_DASHDOT, 1, RGB(200, 0, 0));
  HBRUSH green = CreateSolidBrush(RGB(0, 160, 0));
  // Two halves: copy mode on top, XOR below over the same drawing.
  for (int half = 0; half < 2; ++half) {
    int y = half * 128;
    if (half) {
      PatBlt(c.dc, 0, 128, 256, 128, BLACKNESS);
      SetROP2(c.dc, R2_XORPEN);
    }
    SelectObject(c.dc, green);
    SelectObject(c.dc, GetStockObject(BLACK_PEN));
    Rectangle(c.dc, 4, y + 4, 60, y + 40);
    Ellipse(c.dc, 70, y + 4, 130, y + 40);
    RoundRect(c.dc, 140, y + 4, 200, y + 40, 16, 12);
    SelectObject(c.dc, pattern);
    Pie(c.dc, 206, y + 4, 252, y + 50, 252, y + 27, 229, y + 4);
    Chord(c.dc, 4, y + 50, 60, y + 100, 60, y + 75, 4, y + 60);
    const POINT star[] = {{95, y + 50}, {110, y + 100}, {70, y + 65}, {120, y + 65}, {80, y + 100}};
    Polygon(c.dc, star, 5);
    SelectObject(c.dc, red);
    const POINT zig[] = {{130, y + 50}, {160, y + 100}, {190, y + 50}, {220, y + 100}, {250, y + 60}};
    Polyline(c.dc, zig, 5);
    SelectObject(c.dc, wide);
    const POINT path[] = {{10, y + 110}, {120, y + 110}, {60, y + 122}, {240, y + 118}};
    Polyline(c.dc, path, 4);
    SelectObject(c.dc, GetStockObject(BLACK_PEN));
    Arc(c.dc, 150, y + 100, 200, y + 126, 200, y + 100, 150, y + 126);
    RECT focus{210, y + 104, 250, y + 124};
    DrawFocusRect(c.dc, &focus);
  }
  test::Image image{256, 256, {}};
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      COLORREF p = GetPixel(c.dc, x, y);
      image.px.push_back(std::uint32_t(GetRValue(p)) << 16 | std::uint32_t(GetGValue(p)) << 8 | GetBValue(p));
    }
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(PLATFORM_GOLDEN) + "/draw_sampler.png"));
  SelectObject(c.dc, GetStockObject(WHITE_BRUSH));
  for (HGDIOBJ o : {HGDIOBJ(pattern), HGDIOBJ(wide), HGDIOBJ(red), HGDIOBJ(green)}) DeleteObject(o);
}

}  // namespace
