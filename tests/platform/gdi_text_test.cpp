// Fonts and text on tiny bitmaps: metrics against the DejaVu files'
// numbers, extents against the glyph boxes, where TextOutA puts its ink
// and which colours it uses, and a sampler against its stored PNG.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "platform/win.h"
#include "platform/win/test.h"
#include "support/png_compare.h"

namespace {

using namespace win;

constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = 0;

struct Canvas {
  HDC dc;
  HBITMAP bm;
  HGDIOBJ oldBitmap, oldFont;
  HFONT font = nullptr;
  int w, h;
  Canvas(int width, int height, bool mono = false) : w(width), h(height) {
    dc = CreateCompatibleDC(nullptr);
    bm = CreateBitmap(w, h, 1, mono ? 1 : 32, nullptr);
    oldBitmap = SelectObject(dc, bm);
    oldFont = GetCurrentObject(dc, OBJ_FONT);
    PatBlt(dc, 0, 0, w, h, WHITENESS);
  }
  ~Canvas() {
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    DeleteObject(bm);
    if (font) DeleteObject(font);
  }
  void use(int height, const char* face = "DejaVu Sans", int weight = FW_NORMAL, bool italic = false,
           bool underline = false) {
    HFONT f = CreateFontA(height, 0, 0, 0, weight, italic, underline, 0, 0, 0, 0, 0, 0, face);
    SelectObject(dc, f);
    if (font) DeleteObject(font);
    font = f;
  }
  TEXTMETRICA metrics() const {
    TEXTMETRICA tm{};
    EXPECT_TRUE(GetTextMetricsA(dc, &tm));
    return tm;
  }
  int extent(const std::string& s) const {
    SIZE sz{};
    EXPECT_TRUE(GetTextExtentPoint32A(dc, s.data(), int(s.size()), &sz));
    return int(sz.cx);
  }
  // The box of every pixel that is not `background`, empty when none.
  RECT ink(COLORREF background = kWhite) const {
    RECT r{w, h, 0, 0};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (GetPixel(dc, x, y) != background)
          r = {std::min<LONG>(r.left, x), std::min<LONG>(r.top, y), std::max<LONG>(r.right, x + 1),
               std::max<LONG>(r.bottom, y + 1)};
    return r;
  }
  int count(COLORREF c) const {
    int n = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) n += GetPixel(dc, x, y) == c;
    return n;
  }
};

TEST(GdiText, MetricsFollowTheFaceFiles) {
  struct Row {
    int height;
    const char* face;
    LONG ascent, descent, cell, internal;
    BYTE family;
    bool fixed, truetype;
  };
  const Row rows[] = {
      {-11, "DejaVu Sans", 10, 3, 13, 2, FF_SWISS, false, true},
      {-13, "DejaVu Sans", 12, 3, 15, 2, FF_SWISS, false, true},
      {-13, "Arial", 12, 3, 15, 2, FF_SWISS, false, true},
      {-13, "Times", -1, -1, -1, -1, FF_ROMAN, false, true},
      {-13, "Courier", -1, -1, -1, -1, FF_MODERN, true, true},
      {-13, "no such face", 12, 3, 15, 2, FF_SWISS, false, true},
      // The raster face answers every height with its one size.
      {-30, "Fixedsys", 12, 3, 15, 2, FF_MODERN, true, false},
      {6, "Fixedsys", 12, 3, 15, 2, FF_MODERN, true, false},
  };
  Canvas c(4, 4);
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.face) + " " + std::to_string(r.height));
    c.use(r.height, r.face);
    TEXTMETRICA tm = c.metrics();
    if (r.ascent >= 0) {
      EXPECT_EQ(tm.tmAscent, r.ascent);
      EXPECT_EQ(tm.tmDescent, r.descent);
      EXPECT_EQ(tm.tmInternalLeading, r.internal);
    }
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    if (r.cell >= 0) {
      EXPECT_EQ(tm.tmHeight, r.cell);
    }
    // The pitch bit is set for variable pitch.
    EXPECT_EQ((tm.tmPitchAndFamily & TMPF_FIXED_PITCH) != 0, !r.fixed);
    EXPECT_EQ((tm.tmPitchAndFamily & TMPF_TRUETYPE) != 0, r.truetype);
    EXPECT_EQ(tm.tmPitchAndFamily & 0xF0, r.family);
    if (r.fixed) {
      EXPECT_EQ(tm.tmAveCharWidth, tm.tmMaxCharWidth);
      EXPECT_EQ(c.extent("iiii"), c.extent("MMMM"));
    } else {
      EXPECT_LT(c.extent("iiii"), c.extent("MMMM"));
    }
    EXPECT_EQ(tm.tmFirstChar, 32);
    EXPECT_EQ(tm.tmLastChar, 255);
    EXPECT_EQ(tm.tmDefaultChar, 0x7F);
  }
  c.use(0, "Fixedsys");
  EXPECT_EQ(c.extent("W"), 8);
}

TEST(GdiText, HeightsPointsAndWeights) {
  Canvas c(4, 4);
  // 10 points at 96 dpi is -13, and -13 measures back as 10 points.
  c.use(-13);
  TEXTMETRICA tm = c.metrics();
  EXPECT_EQ(((tm.tmHeight - tm.tmInternalLeading) * 72 + 48) / 96, 10);
  // A positive height is the cell height, or the largest cell under it
  // where the rounding of ascent and descent jumps a pixel.
  for (int cell : {9, 13, 15, 20, 27, 40}) {
    c.use(cell);
    EXPECT_LE(c.metrics().tmHeight, cell) << cell;
    EXPECT_GE(c.metrics().tmHeight, cell - 1) << cell;
  }
  c.use(15);
  EXPECT_EQ(c.metrics().tmHeight, 15);
  c.use(-13, "DejaVu Sans", FW_BOLD);
  TEXTMETRICA bold = c.metrics();
  EXPECT_EQ(bold.tmWeight, FW_BOLD);
  EXPECT_GT(c.extent("Hello"), 0);
  int boldWidth = c.extent("Hello world");
  c.use(-13);
  EXPECT_GT(boldWidth, c.extent("Hello world"));
  c.use(-13, "DejaVu Sans", FW_NORMAL, true);
  EXPECT_EQ(c.metrics().tmItalic, 1);
}

TEST(GdiText, GetObjectGivesBackTheLogFont) {
  LOGFONTA lf{};
  lf.lfHeight = -17, lf.lfWidth = 3, lf.lfEscapement = 5, lf.lfWeight = 600, lf.lfItalic = 1;
  lf.lfUnderline = 1, lf.lfCharSet = 2, lf.lfQuality = 4, lf.lfPitchAndFamily = 0x31;
  std::strcpy(lf.lfFaceName, "Courier");
  HFONT f = CreateFontIndirectA(&lf);
  LOGFONTA back{};
  EXPECT_EQ(sizeof(LOGFONTA), 60u);
  EXPECT_EQ(GetObjectA(f, sizeof back, &back), 60);
  EXPECT_EQ(std::memcmp(&lf, &back, sizeof lf), 0);
  DeleteObject(f);
  // The stock GUI font keeps its description and is a real font.
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof back, &back);
  EXPECT_EQ(back.lfHeight, -11);
  EXPECT_STREQ(back.lfFaceName, "DejaVu Sans");
  Canvas c(4, 4);
  SelectObject(c.dc, GetStockObject(DEFAULT_GUI_FONT));
  EXPECT_EQ(c.metrics().tmHeight, 13);
}

TEST(GdiText, ExtentsAddUpAndUnknownBytesAreTheDefaultCharacter) {
  Canvas c(4, 4);
  for (const char* face : {"DejaVu Sans", "DejaVu Serif", "Courier"})
    for (bool italic : {false, true}) {
      SCOPED_TRACE(std::string(face) + (italic ? " italic" : ""));
      c.use(-13, face, FW_NORMAL, italic);
      const std::string text = "Hello, World! \xE9\x80\xFF";
      // The extent is the sum of the characters' extents, and of their ABC widths.
      int sum = 0, abcSum = 0;
      for (char ch : text) {
        sum += c.extent(std::string(1, ch));
        ABC abc{};
        ASSERT_TRUE(GetCharABCWidthsA(c.dc, static_cast<unsigned char>(ch), static_cast<unsigned char>(ch), &abc));
        abcSum += abc.abcA + int(abc.abcB) + abc.abcC;
      }
      EXPECT_EQ(c.extent(text), sum);
      EXPECT_EQ(abcSum, sum);
      EXPECT_EQ(c.extent(text + text), 2 * sum);
      // Bytes with no character measure as the default character.
      int def = c.extent("\x7F");
      for (const char* b : {"\x81", "\x09", "\x01", "\x8D"}) EXPECT_EQ(c.extent(b), def) << int(b[0] & 0xFF);
      EXPECT_NE(c.extent("\x80"), 0);  // the euro sign is mapped
      SIZE empty{};
      EXPECT_TRUE(GetTextExtentPoint32A(c.dc, "", 0, &empty));
      EXPECT_EQ(empty.cx, 0);
      EXPECT_EQ(empty.cy, c.metrics().tmHeight);
    }
}

// Metrics are measured without drawing and glyphs drawn when first used:
// both must agree for every face, weight, slant and size, whatever order
// the sizes come in. The widest advance and every extent are those of the
// drawn glyphs' ABC widths, and a glyph drawn slanted is as high as upright.
TEST(GdiText, MeasuredMetricsAgreeWithTheDrawnGlyphs) {
  Canvas c(120, 120);
  const int heights[] = {-16, -11, -13, 0, -24, 19, -8, 13, -32};
  auto inkRows = [&](int height, const char* face, int weight, bool italic) {
    c.use(height, face, weight, italic);
    PatBlt(c.dc, 0, 0, c.w, c.h, WHITENESS);
    TextOutA(c.dc, 20, 20, "H", 1);
    RECT ink = c.ink();
    return int(ink.bottom - ink.top);
  };
  for (const char* face : {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono", "Fixedsys"})
    for (int weight : {FW_NORMAL, FW_BOLD}) {
      // Upright glyphs drawn as the sizes rise, slanted ones as they fall,
      // with the metrics of another size taken in between.
      std::vector<int> upright;
      for (int height : heights) upright.push_back(inkRows(height, face, weight, false));
      for (int i = int(std::size(heights)) - 1; i >= 0; --i) {
        c.use(heights[(i + 3) % std::size(heights)], face, weight, false);
        c.metrics();
        EXPECT_EQ(inkRows(heights[i], face, weight, true), upright[std::size_t(i)]) << face << " " << heights[i];
      }
      for (int height : heights)
        for (bool italic : {false, true}) {
          SCOPED_TRACE(std::string(face) + " " + std::to_string(weight) + " " + std::to_string(height) +
                       (italic ? " italic" : ""));
          c.use(height, face, weight, italic);
          TEXTMETRICA tm = c.metrics();
          ABC abc[256];
          ASSERT_TRUE(GetCharABCWidthsA(c.dc, 0, 255, abc));
          int widest = 0;
          for (int ch = 0; ch < 256; ++ch) {
            int advance = abc[ch].abcA + int(abc[ch].abcB) + abc[ch].abcC;
            if (ch >= 32) widest = std::max(widest, advance);
            ASSERT_EQ(c.extent(std::string(1, char(ch))), advance) << ch;
          }
          EXPECT_EQ(tm.tmMaxCharWidth, widest);
          if (!(tm.tmPitchAndFamily & TMPF_FIXED_PITCH)) {
            EXPECT_EQ(tm.tmAveCharWidth, widest);
          }
        }
    }
}

TEST(GdiText, TextOutPlacesInkByTheAlignment) {
  Canvas c(80, 40);
  c.use(-13);
  TEXTMETRICA tm = c.metrics();
  SetBkMode(c.dc, TRANSPARENT);
  EXPECT_EQ(GetTextAlign(c.dc), TA_TOP);
  EXPECT_EQ(SetTextAlign(c.dc, TA_BASELINE), TA_TOP);
  ASSERT_TRUE(TextOutA(c.dc, 5, 20, "Hello", 5));
  RECT ink = c.ink();
  // Capitals and 'l' sit on the baseline: the last inked row is y - 1.
  EXPECT_EQ(ink.bottom, 20);
  EXPECT_GE(ink.top, 20 - tm.tmAscent);
  // Every pixel lies inside the glyphs' ABC boxes.
  ABC abc[5];
  const char* s = "Hello";
  int pen = 5;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(GetCharABCWidthsA(c.dc, UINT(s[i]), UINT(s[i]), &abc[i]));
    if (i == 0) {
      EXPECT_EQ(ink.left, pen + abc[0].abcA);
    }
    pen += abc[i].abcA + int(abc[i].abcB) + abc[i].abcC;
  }
  EXPECT_EQ(ink.right, pen - abc[4].abcC);
  EXPECT_EQ(pen - 5, c.extent("Hello"));
  // TA_TOP puts the cell's top at y: the same ink one ascent lower.
  PatBlt(c.dc, 0, 0, 80, 40, WHITENESS);
  SetTextAlign(c.dc, TA_TOP);
  TextOutA(c.dc, 5, 20 - tm.tmAscent, "Hello", 5);
  RECT top = c.ink();
  EXPECT_EQ(std::memcmp(&top, &ink, sizeof ink), 0);
  // TA_RIGHT ends the text at x.
  PatBlt(c.dc, 0, 0, 80, 40, WHITENESS);
  SetTextAlign(c.dc, TA_RIGHT | TA_BASELINE);
  TextOutA(c.dc, 5 + c.extent("Hello"), 20, "Hello", 5);
  RECT right = c.ink();
  EXPECT_EQ(std::memcmp(&right, &ink, sizeof ink), 0);
}

TEST(GdiText, ColoursModesAndClipping) {
  Canvas c(60, 30);
  c.use(-13);
  const COLORREF red = RGB(200, 0, 0), blue = RGB(0, 0, 200);
  SetTextColor(c.dc, red);
  SetBkColor(c.dc, blue);
  // OPAQUE fills the cell; the ink is the text colour; nothing else changes.
  TextOutA(c.dc, 2, 2, "Ab", 2);
  int cell = c.extent("Ab") * c.metrics().tmHeight;
  EXPECT_EQ(c.count(red) + c.count(blue), cell);
  EXPECT_GT(c.count(red), 0);
  EXPECT_EQ(c.count(kWhite), 60 * 30 - cell);
  // TRANSPARENT leaves the background; XOR mode still draws the text colour.
  PatBlt(c.dc, 0, 0, 60, 30, WHITENESS);
  SetBkMode(c.dc, TRANSPARENT);
  SetROP2(c.dc, R2_XORPEN);
  TextOutA(c.dc, 2, 2, "Ab", 2);
  EXPECT_EQ(c.count(red) + c.count(kWhite), 60 * 30);
  int inked = c.count(red);
  EXPECT_GT(inked, 0);
  SetROP2(c.dc, R2_COPYPEN);
  // Clipped: nothing outside the clip rectangle, and the viewport origin moves the text.
  PatBlt(c.dc, 0, 0, 60, 30, WHITENESS);
  IntersectClipRect(c.dc, 0, 0, 6, 30);
  TextOutA(c.dc, 2, 2, "Ab", 2);
  SelectClipRgn(c.dc, nullptr);  // GetPixel reads only inside the clip
  RECT ink = c.ink();
  EXPECT_LE(ink.right, 6);
  EXPECT_LT(c.count(red), inked);
  PatBlt(c.dc, 0, 0, 60, 30, WHITENESS);
  TextOutA(c.dc, 2, 2, "Ab", 2);
  RECT at = c.ink();
  PatBlt(c.dc, 0, 0, 60, 30, WHITENESS);
  SetViewportOrgEx(c.dc, 7, 3, nullptr);
  TextOutA(c.dc, 2, 2, "Ab", 2);
  SetViewportOrgEx(c.dc, 0, 0, nullptr);
  RECT moved = c.ink();
  EXPECT_EQ(moved.left, at.left + 7);
  EXPECT_EQ(moved.top, at.top + 3);
  // ExtTextOutA: ETO_OPAQUE fills its rectangle, ETO_CLIPPED keeps the ink in it.
  PatBlt(c.dc, 0, 0, 60, 30, WHITENESS);
  RECT box{1, 1, 9, 12};
  ExtTextOutA(c.dc, 2, 2, ETO_OPAQUE | ETO_CLIPPED, &box, "WWWW", 4, nullptr);
  EXPECT_EQ(c.count(blue) + c.count(red), 8 * 11);
  // Underline adds a line as wide as the text.
  PatBlt(c.dc, 0, 0, 60, 30, WHITENESS);
  c.use(-13, "DejaVu Sans", FW_NORMAL, false, true);
  TextOutA(c.dc, 2, 2, "  ", 2);
  RECT line = c.ink();
  EXPECT_EQ(line.left, 2);
  EXPECT_EQ(line.right, 2 + c.extent("  "));
  EXPECT_GT(line.top, 2 + c.metrics().tmAscent - 1);
}

// Text under a clip region of several pieces, some glyphs wholly inside a
// piece, some across a gap, some at the ETO_CLIPPED box's edge, some
// outside: exactly the unclipped ink that falls inside both.
TEST(GdiText, InkUnderAComplexClipIsTheUnclippedInkInsideIt) {
  Canvas c(120, 40);
  c.use(-17);
  SetBkMode(c.dc, TRANSPARENT);
  SetTextColor(c.dc, RGB(0, 0, 0));
  const char* text = "WMW@WMW@WMW";
  const RECT box{0, 0, 100, 40};
  ExtTextOutA(c.dc, 3, 4, ETO_CLIPPED, &box, text, int(std::strlen(text)), nullptr);
  std::vector<bool> whole(c.w * c.h);
  for (int y = 0; y < c.h; ++y)
    for (int x = 0; x < c.w; ++x) whole[y * c.w + x] = GetPixel(c.dc, x, y) == RGB(0, 0, 0);
  PatBlt(c.dc, 0, 0, c.w, c.h, WHITENESS);
  HRGN clip = CreateRectRgn(0, 0, 31, 40);
  HRGN second = CreateRectRgn(37, 8, 120, 40), third = CreateRectRgn(60, 0, 64, 8);
  CombineRgn(clip, clip, second, RGN_OR);
  CombineRgn(clip, clip, third, RGN_OR);
  SelectClipRgn(c.dc, clip);
  ExtTextOutA(c.dc, 3, 4, ETO_CLIPPED, &box, text, int(std::strlen(text)), nullptr);
  SelectClipRgn(c.dc, nullptr);
  int inside = 0, outside = 0;
  for (int y = 0; y < c.h; ++y)
    for (int x = 0; x < c.w; ++x) {
      const bool in = PtInRegion(clip, x, y) != 0;
      SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
      EXPECT_EQ(GetPixel(c.dc, x, y) == RGB(0, 0, 0), whole[y * c.w + x] && in);
      (in ? inside : outside) += whole[y * c.w + x];
    }
  EXPECT_GT(inside, 0);
  EXPECT_GT(outside, 0) << "some ink must fall outside the clip";
  DeleteObject(clip);
  DeleteObject(second);
  DeleteObject(third);
}

TEST(GdiText, OneBitSurfacesTakeTheNearestBit) {
  struct Row {
    COLORREF text, bk;
    bool inkIsWhite;
  };
  const Row rows[] = {{RGB(20, 20, 20), kWhite, false}, {RGB(240, 240, 200), kBlack, true}};
  for (const Row& r : rows) {
    Canvas c(40, 20, true);
    c.use(-13);
    PatBlt(c.dc, 0, 0, 40, 20, r.inkIsWhite ? BLACKNESS : WHITENESS);
    SetTextColor(c.dc, r.text);
    SetBkColor(c.dc, r.bk);
    TextOutA(c.dc, 1, 1, "Hi", 2);
    COLORREF ink = r.inkIsWhite ? kWhite : kBlack;
    EXPECT_GT(c.count(ink), 0);
    EXPECT_EQ(c.count(kWhite) + c.count(kBlack), 40 * 20);
  }
}

struct Listed {
  std::string face;
  LONG weight, height, cell, width;
  DWORD type;
  LOGFONTA lf;
};
int collect(const LOGFONTA* lf, const TEXTMETRICA* tm, DWORD type, LPARAM data) {
  auto* out = reinterpret_cast<std::vector<Listed>*>(data);
  out->push_back({lf->lfFaceName, lf->lfWeight, lf->lfHeight, tm->tmHeight, tm->tmAveCharWidth, type, *lf});
  return out->size() < 100 ? 1 : 0;
}

TEST(GdiText, EnumFontsListsTypefacesAndTheirFonts) {
  Canvas c(4, 4);
  std::vector<Listed> all;
  EXPECT_EQ(EnumFontsA(c.dc, nullptr, collect, reinterpret_cast<LPARAM>(&all)), 1);
  std::vector<std::string> names;
  for (const Listed& l : all) names.push_back(l.face);
  EXPECT_EQ(names, (std::vector<std::string>{"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono", "Arial", "Helvetica",
                                             "Times", "Courier", "Fixedsys"}));
  struct Row {
    const char* face;
    std::vector<LONG> weights;
    DWORD type;
  };
  const Row rows[] = {{"DejaVu Sans", {400, 700}, TRUETYPE_FONTTYPE},
                      {"Courier", {400, 700}, TRUETYPE_FONTTYPE},
                      {"Fixedsys", {400}, RASTER_FONTTYPE},
                      {"Wingdings", {}, 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.face);
    std::vector<Listed> fonts;
    EnumFontsA(c.dc, r.face, collect, reinterpret_cast<LPARAM>(&fonts));
    std::vector<LONG> weights;
    for (const Listed& l : fonts) {
      weights.push_back(l.weight);
      EXPECT_EQ(l.type, r.type);
      EXPECT_EQ(l.height, l.cell);  // the description asks for the cell it measures
      // Made again from its description, a listed font measures the same.
      HFONT f = CreateFontIndirectA(&l.lf);
      HGDIOBJ old = SelectObject(c.dc, f);
      EXPECT_EQ(c.metrics().tmHeight, l.cell);
      EXPECT_EQ(c.metrics().tmWeight, l.weight);
      SelectObject(c.dc, old);
      DeleteObject(f);
    }
    EXPECT_EQ(weights, r.weights);
    if (r.type == RASTER_FONTTYPE) {
      EXPECT_EQ(fonts.at(0).cell, 15);
      EXPECT_EQ(fonts.at(0).width, 8);
    }
  }
  // The regular DejaVu Sans entry describes the stock GUI font but for its size.
  std::vector<Listed> sans;
  EnumFontsA(c.dc, "DejaVu Sans", collect, reinterpret_cast<LPARAM>(&sans));
  LOGFONTA stock{};
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof stock, &stock);
  const LOGFONTA& e = sans.at(0).lf;
  EXPECT_EQ(std::make_tuple(e.lfEscapement, e.lfOrientation, e.lfWeight, e.lfItalic, e.lfUnderline, e.lfStrikeOut,
                            e.lfCharSet, std::string(e.lfFaceName)),
            std::make_tuple(stock.lfEscapement, stock.lfOrientation, stock.lfWeight, stock.lfItalic, stock.lfUnderline,
                            stock.lfStrikeOut, stock.lfCharSet, std::string(stock.lfFaceName)));
  // A callback that answers 0 stops the listing.
  int calls = 0;
  EXPECT_EQ(EnumFontsA(
                c.dc, nullptr,
                [](const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM d) { return int(++*reinterpret_cast<int*>(d) < 2); },
                reinterpret_cast<LPARAM>(&calls)),
            0);
  EXPECT_EQ(calls, 2);
}

TEST(GdiText, SamplerMatchesItsStoredPng) {
  Canvas c(400, 200);
  SetBkMode(c.dc, TRANSPARENT);
  SetTextAlign(c.dc, TA_BASELINE);
  int y = 0;
  for (const char* face : {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono"})
    for (int pt : {8, 11, 14}) {
      y += (pt * 96 + 36) / 72 + 1;
      c.use(-((pt * 96 + 36) / 72), face, pt == 11 ? FW_BOLD : FW_NORMAL);
      TextOutA(c.dc, 2, y, "Hamburgefonstiv 0123", 20);
      c.use(-((pt * 96 + 36) / 72), face, FW_NORMAL, true);
      TextOutA(c.dc, 260, y, "Italic \xE9\x80", 9);
    }
  c.use(0, "Fixedsys");
  TextOutA(c.dc, 2, y + 16, "Fixedsys: 0123 ABC xyz", 22);
  test::Image image{400, 200, {}};
  for (int yy = 0; yy < 200; ++yy)
    for (int x = 0; x < 400; ++x) {
      COLORREF p = GetPixel(c.dc, x, yy);
      image.px.push_back(std::uint32_t(GetRValue(p)) << 16 | std::uint32_t(GetGValue(p)) << 8 | GetBValue(p));
    }
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(PLATFORM_GOLDEN) + "/text_sampler.png"));
}

}  // namespace
