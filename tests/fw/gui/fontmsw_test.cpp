#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "fw/core/scribe.h"
#include "fw/gui/graphics/fontmsw.h"
#include "fw/gui/window/mswgdi.h"
#include "tests/fw/gui/msw_fixture.h"
#include "tests/fw/gui/raises.h"

namespace {

vfont* find(const char* desc) { return vfontFindScribe(vscribeCString(desc)); }
vfontFamily* family(const char* name) {
  for (int i = 0, n = vfontCountFamilies(); i < n; ++i)
    if (std::strcmp(vfontGetFamily(i)->name, name) == 0) return vfontGetFamily(i);
  return nullptr;
}
bool onDevice(const vfont* f) { return (f->deviceMask >> vfontMSWGetDevice()) & 1; }
double px(vfixed v) { return v / 65536.0; }

// The device over the platform's fonts, started once for the suite: the
// tests only add sizes, which none of them counts.
class FontDevice : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    _vfontMSWShutdown();
    _vfontShutdown();
    vfontMSWStartup();
  }
  static void TearDownTestSuite() {
    _vfontMSWShutdown();
    _vfontShutdown();
  }
};

TEST_F(FontDevice, TypefacesBecomeFamiliesWithEveryStyle) {
  struct Case {
    const char* family;
    bool fixedPitch;
    std::set<std::string> faces;
    int sizes;  // registered per face: raster faces only
  };
  const Case cases[] = {
      // Regular only: the other three are made from it.
      {"Fixedsys", true, {"medium modern", "medium italic modern", "bold italic modern", "bold modern"}, 1},
      // Regular and bold: the italics are made from each.
      {"DejaVu Serif", false, {"medium roman", "medium italic roman", "bold italic roman", "bold roman"}, 0},
      {"Arial", false, {"medium", "medium italic", "bold italic", "bold"}, 0},
      {"Courier", true, {"medium modern", "medium italic modern", "bold italic modern", "bold modern"}, 0},
      {"system_font", false, {"medium"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    vfontFamily* f = family(c.family);
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->foundry, "misc");
    EXPECT_STREQ(f->encoding, "");
    EXPECT_EQ((f->flags & vfontFAMILY_FLAGGED) != 0, c.fixedPitch);
    std::set<std::string> faces;
    for (vfontFace* face : f->faces) {
      faces.insert(face->name);
      vfontMSWFaceRecord* r = vfontMSWGetFaceRecord(face);
      ASSERT_NE(r, nullptr);
      EXPECT_EQ(r->scalable, c.sizes == 0);
      EXPECT_EQ(int(face->sizes.size()), c.sizes);
      for (vfont* size : face->sizes) EXPECT_TRUE(onDevice(size));
    }
    EXPECT_EQ(faces, c.faces);
  }
  // The raster face's one size: a 13-pixel em is 10 points at 96 dpi.
  vfontFace* fixedsys = family("Fixedsys")->faces[0];
  EXPECT_FLOAT_EQ(fixedsys->sizes[0]->matrix->d, 10);
  EXPECT_EQ(vfontMSWGetFaceRecord(fixedsys)->sizes->height, 15);
  // The system font is the stock GUI font under its own family name.
  vfontMSWFaceRecord* system = vfontMSWGetFaceRecord(family("system_font")->faces[0]);
  EXPECT_STREQ(system->logFont.lfFaceName, "system_font");
  EXPECT_EQ(system->logFont.lfHeight, -11);
  EXPECT_FLOAT_EQ(family("system_font")->faces[0]->sizes[0]->matrix->d, 8);
}

TEST_F(FontDevice, DescriptionsResolveToWindowsFaces) {
  vfont* def = find("");
  EXPECT_STREQ(def->face->family->name, "Arial");
  EXPECT_STREQ(def->face->name, "medium");
  EXPECT_FLOAT_EQ(def->matrix->d, 12);

  // The simulator's small fixed font: the raster face answers with its one
  // size, every character as wide as the next.
  vfont* small = find("family:fixedsys-size:6");
  EXPECT_STREQ(small->face->family->name, "Fixedsys");
  EXPECT_STREQ(small->face->name, "medium modern");
  const win::TEXTMETRICA* tm = vfontMSWGetTextMetrics(small);
  EXPECT_EQ(tm->tmPitchAndFamily & win::TMPF_FIXED_PITCH, 0);
  EXPECT_EQ(vfontGetCharsWidth(small, "iW\x01", 3), 3 * 8 * vfixedONE);
  EXPECT_EQ(vfontGetHeight(small), 15 * vfixedONE);

  // "system_font" at its own size is the system's font; at another, Arial.
  struct Case {
    const char* desc;
    const char* native;
    int height;
  };
  const Case cases[] = {{"family:system_font-size:8", "DejaVu Sans", -11},
                        {"family:system_font-size:12", "Arial", -16},
                        {"family:Times-face:bold-size:10", "Times", -13}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.desc);
    win::LOGFONTA lf;
    vfontMSWGetLogFont(find(c.desc), &lf);
    EXPECT_STREQ(lf.lfFaceName, c.native);
    EXPECT_EQ(lf.lfHeight, c.height);
  }
}

TEST_F(FontDevice, SizesWithoutANativeFontAreMeasuredThroughAWholeOne) {
  vfont* ten = find("family:Arial-size:10");
  vfont* used = nullptr;
  vfontMSWFontRecord* r = vfontMSWGetFontRecord(ten, &used);
  EXPECT_EQ(used, ten);
  EXPECT_TRUE(onDevice(ten));

  // 10.5 points draw with the 10-point font and measure scaled to 10.5.
  vfont* half = find("family:Arial-size:10.5");
  EXPECT_EQ(vfontMSWGetFontRecord(half, &used), r);
  EXPECT_EQ(used, ten);
  EXPECT_FALSE(onDevice(half));
  const char text[] = "Hello, world";
  const int n = int(sizeof text - 1);
  EXPECT_NEAR(px(vfontGetCharsWidth(half, text, n)), px(vfontGetCharsWidth(ten, text, n)) * 1.05, 1e-3);
  EXPECT_NEAR(px(vfontGetHeight(half)), r->metrics.tmHeight * 1.05, 1e-3);
  vfixed w, second;
  vfontGetDriver()->charWidth(half, &w, &second);
  EXPECT_NEAR(px(w), r->metrics.tmMaxCharWidth * 1.05, 1e-3);
  EXPECT_EQ(second, 0);

  // A squashed matrix: the larger side of the unit square's image picks the
  // size, each axis then scaled by its own factor.
  vfont* wide = find("family:Arial-matrix:[12 0 0 6 0 0]");
  vfont* twelve = find("family:Arial-size:12");
  EXPECT_EQ(vfontMSWGetFontRecord(wide, &used), vfontMSWGetFontRecord(twelve, nullptr));
  EXPECT_EQ(used, twelve);
  EXPECT_EQ(vfontGetCharsWidth(wide, text, n), vfontGetCharsWidth(twelve, text, n));
  EXPECT_NEAR(px(vfontGetHeight(wide)), px(vfontGetHeight(twelve)) / 2, 1e-3);
  vrectFixed box;
  vfontGetDriver()->bounds(wide, &box);
  const win::TEXTMETRICA& tm = vfontMSWGetFontRecord(twelve, nullptr)->metrics;
  EXPECT_NEAR(px(box.y), -tm.tmDescent / 2.0, 1e-3);
  EXPECT_NEAR(px(box.width), tm.tmMaxCharWidth, 1e-3);

  // A face of another device (a printer's) draws with the nearest Windows
  // face at its size: its face word "roman" keeps the serif faces, and the
  // default description prefers Times among them.
  int printer = vfontAllocDevice();
  vfontFamily* palatino = vfontRegisterFamily(vnameInternLiteral("Palatino"), vnameInternLiteral("Adobe"),
                                              vnameInternLiteral("ansi"), 0, printer);
  vfontFace* roman = vfontRegisterFace(palatino, vnameInternLiteral("roman"), printer);
  vmatrix nine{9, 0, 0, 9, 0, 0};
  vfont* foreign = vfontRegisterSize(roman, &nine, printer);
  vfontMSWGetFontRecord(foreign, &used);
  EXPECT_STREQ(used->face->family->name, "Times");
  EXPECT_STREQ(used->face->name, "medium roman");
  EXPECT_FLOAT_EQ(used->matrix->d, 9);
  EXPECT_EQ(vfontGetCharsWidth(foreign, text, n), vfontGetCharsWidth(used, text, n));
}

TEST_F(FontDevice, WidthsAndInkBoxes) {
  vfont* font = find("family:Arial-size:10");
  vfontMSWFontRecord* r = vfontMSWGetFontRecord(font, nullptr);
  const win::TEXTMETRICA& tm = r->metrics;
  ASSERT_NE(r->widths, nullptr);  // variable pitch
  ASSERT_NE(r->a, nullptr);       // scalable, widest and average differ
  // Bytes below the first character measure as the default character.
  const char defaultChar[] = {char(tm.tmDefaultChar)};
  EXPECT_EQ(vfontGetCharsWidth(font, "\x01\x1f", 2), 2 * vfontGetCharsWidth(font, defaultChar, 1));
  // The width is the sum of the single characters' extents.
  EXPECT_EQ(vfontGetCharsWidth(font, "AVA", 3),
            (2 * r->widths['A' - tm.tmFirstChar] + r->widths['V' - tm.tmFirstChar]) * vfixedONE);

  // Ink boxes of no characters: all zero through the bearing tables, the
  // line's height otherwise.
  vrect box;
  vfontGetCharsBounds(font, "", 0, &box);
  EXPECT_EQ(box.x, 0);
  EXPECT_EQ(box.y, 0);
  EXPECT_EQ(box.width, 0);
  EXPECT_EQ(box.height, 0);
  vfont* fixedsys = find("family:Fixedsys-size:10");
  const win::TEXTMETRICA* ftm = vfontMSWGetTextMetrics(fixedsys);
  EXPECT_EQ(vfontMSWGetFontRecord(fixedsys, nullptr)->a, nullptr);  // a raster face
  vfontGetCharsBounds(fixedsys, "", 0, &box);
  EXPECT_EQ(box.x, 0);
  EXPECT_EQ(box.y, -ftm->tmDescent);
  EXPECT_EQ(box.width, ftm->tmOverhang);
  EXPECT_EQ(box.height, ftm->tmAscent + ftm->tmDescent);

  // Ink left of the pen: a negative A width gives a negative x.
  vfont* italic = find("family:Arial-face:italic-size:10");
  vfontMSWFontRecord* ir = vfontMSWGetFontRecord(italic, nullptr);
  int a = ir->a['J' - ir->metrics.tmFirstChar];
  ASSERT_LT(a, 0);
  vfontGetCharsBounds(italic, "Jo", 2, &box);
  EXPECT_EQ(box.x, a);
  EXPECT_EQ(box.y, -ir->metrics.tmDescent);
  int right = ir->widths['J' - ir->metrics.tmFirstChar] + ir->ab['o' - ir->metrics.tmFirstChar];
  EXPECT_EQ(box.x + box.width, right + ir->metrics.tmOverhang);
}

TEST_F(FontDevice, NativeDescriptionsFindTheirFace) {
  win::LOGFONTA icon{};
  ASSERT_TRUE(win::SystemParametersInfoA(win::SPI_GETICONTITLELOGFONT, sizeof icon, &icon, 0));
  vfont* f = vfontMSWFindLogFont(&icon);
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(f->face->family->name, "DejaVu Sans");
  EXPECT_STREQ(f->face->name, "medium");
  EXPECT_FLOAT_EQ(f->matrix->d, 8);  // -11 pixels at 96 dpi
  EXPECT_TRUE(onDevice(f));
  win::LOGFONTA unknown = icon;
  std::strcpy(unknown.lfFaceName, "Garamond");
  EXPECT_EQ(vfontMSWFindLogFont(&unknown), nullptr);

  // Fields that are 0 on one side match anything; heights matter only to
  // equality; truth values compare as truth values.
  win::LOGFONTA a{};
  a.lfHeight = -11;
  a.lfWeight = 400;
  a.lfItalic = 1;
  std::strcpy(a.lfFaceName, "Arial");
  struct Case {
    void (*change)(win::LOGFONTA&);
    bool matches, equals;
  };
  const Case cases[] = {
      {[](win::LOGFONTA&) {}, true, true},
      {[](win::LOGFONTA& b) { b.lfHeight = 19; }, true, false},
      {[](win::LOGFONTA& b) { b.lfItalic = 255; }, true, true},
      {[](win::LOGFONTA& b) { b.lfPitchAndFamily = 0x22; }, true, true},
      {[](win::LOGFONTA& b) { b.lfQuality = 3; }, true, true},
      {[](win::LOGFONTA& b) { b.lfWeight = 700; }, false, false},
      {[](win::LOGFONTA& b) { b.lfCharSet = 2; }, false, false},
      {[](win::LOGFONTA& b) { b.lfEscapement = 900; }, false, false},
      {[](win::LOGFONTA& b) { b.lfUnderline = 1; }, false, false},
      {[](win::LOGFONTA& b) { std::strcpy(b.lfFaceName, "arial"); }, false, false},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    win::LOGFONTA b = a;
    cases[i].change(b);
    EXPECT_EQ(vfontMSWLogFontMatches(&a, &b), cases[i].matches);
    EXPECT_EQ(vfontMSWLogFontEquals(&a, &b), cases[i].equals);
  }
}

// Native font creation that fails until its call number reaches `failures`.
int createCalls = 0, failures = 0;
win::HFONT flakyCreateFont(int h, int w, int e, int o, int weight, win::DWORD i, win::DWORD u, win::DWORD s,
                           win::DWORD cs, win::DWORD op, win::DWORD cp, win::DWORD q, win::DWORD pf, const char* face) {
  if (++createCalls <= failures) return nullptr;
  return win::CreateFontA(h, w, e, o, weight, i, u, s, cs, op, cp, q, pf, face);
}

TEST_F(FontDevice, NativeFontsAreMadeInThreeAttempts) {
  vwindowMSWGdi.createFont = flakyCreateFont;
  createCalls = 0, failures = 3;
  std::string message;
  EXPECT_EQ(raised([] { vfontGetCharsWidth(find("family:Courier-size:7"), "x", 1); }, &message),
            &vexReturnNullClass);
  EXPECT_EQ(message, "No Windows resources (FONT)");
  EXPECT_EQ(createCalls, 3);
  // The recovery freed enough on the way: the second attempt makes it.
  createCalls = 0, failures = 1;
  EXPECT_EQ(vfontGetCharsWidth(find("family:Courier-size:7"), "x", 1), vfontGetCharWidth(find("family:Courier-size:7")));
  EXPECT_EQ(createCalls, 2);
  _vwindowMSWResetGdiCalls();
}

using FontDeviceOnWindows = MSWFixture;

TEST_F(FontDeviceOnWindows, TheWindowSystemStartsIt) {
  EXPECT_GE(vfontMSWGetDevice(), 0);
  EXPECT_STREQ(find("")->face->family->name, "Arial");
}

TEST(FontDeviceExit, DeletesEveryNativeFont) {
  _vfontMSWShutdown();
  _vfontShutdown();
  vfontMSWStartup();
  vfontMSWStartup();  // once only
  EXPECT_EQ(vfontCountDevices(), 1);
  win::HFONT made = vfontMSWGetFontRecord(find("family:Times-size:9"), nullptr)->font;
  win::HFONT system = vfontMSWGetFontRecord(find("family:system_font-size:8"), nullptr)->font;
  EXPECT_EQ(win::GetObjectType(made), win::OBJ_FONT);
  _vfontMSWShutdown();
  EXPECT_EQ(win::GetObjectType(made), 0u);
  EXPECT_EQ(win::GetObjectType(system), 0u);
  EXPECT_EQ(vfontMSWGetDevice(), -1);
  _vfontShutdown();
}

}  // namespace
