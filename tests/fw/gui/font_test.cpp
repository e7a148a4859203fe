#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fw/core/ex.h"
#include "fw/core/name.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/font.h"
#include "tests/fw/gui/raises.h"

namespace {

vfont* find(const char* desc) { return vfontFindScribe(vscribeCString(desc)); }

// Two families on two devices. Helvetica medium has 10 and 14 on device 0
// and 24 on device 1; bold has 12; Courier (fixed pitch) has 10 and 12.
class FontRegistry : public ::testing::Test {
 public:
  void SetUp() override {
    _vfontShutdown();
    d0 = vfontAllocDevice();
    d1 = vfontAllocDevice();
    vfontFamily* h = vfontRegisterFamily(N("Helvetica"), N("Adobe"), N("ansi"), 0, d0);
    vfontRegisterFamily(N("Helvetica"), N("Adobe"), N("ansi"), 0, d1);
    medium = vfontRegisterFace(h, N("medium"), d0);
    vfontRegisterFace(h, N("medium"), d1);
    bold = vfontRegisterFace(h, N("bold"), d0);
    boldItalic = vfontRegisterFace(h, N("bold italic"), d0);
    italic = vfontRegisterFace(h, N("italic"), d0);
    size(medium, 10, d0);
    size(medium, 14, d0);
    size(medium, 24, d1);
    size(bold, 12, d0);
    size(boldItalic, 12, d0);
    size(italic, 12, d0);
    vfontFamily* c = vfontRegisterFamily(N("Courier"), N("Adobe"), N("ansi"), 1, d0);
    courierMedium = vfontRegisterFace(c, N("medium"), d0);
    courierBold = vfontRegisterFace(c, N("bold"), d0);
    size(courierMedium, 10, d0);
    size(courierMedium, 12, d0);
    size(courierBold, 12, d0);
    vfontSetDefaultSpec("face:medium");
  }
  void TearDown() override { _vfontShutdown(); }
  static vfont* size(vfontFace* face, float p, int device) {
    vmatrix m{p, 0, 0, p, 0, 0};
    return vfontRegisterSize(face, &m, device);
  }
  int d0 = 0, d1 = 0;
  vfontFace *medium = nullptr, *bold = nullptr, *boldItalic = nullptr, *italic = nullptr;
  vfontFace *courierMedium = nullptr, *courierBold = nullptr;
};

TEST_F(FontRegistry, DescriptionsResolveToTheBestFace) {
  struct Case {
    const char* desc;
    vfontFace* FontRegistry::*face;
    float points;
    bool derived;  // a size no device registered
  };
  const Case cases[] = {
      {"", &FontRegistry::courierMedium, 12, false},  // the default description alone
      {"helvetica", &FontRegistry::medium, 12, true},  // the case variant
      {"family:helvetica", &FontRegistry::medium, 12, true},
      {"family:HELVETICA", &FontRegistry::courierMedium, 12, false},  // matches nothing: ignored
      {"family:Helvetica-~face:bold", &FontRegistry::medium, 12, true},
      {"family:Helvetica-face:bold-~bold", &FontRegistry::bold, 12, false},  // keeps nothing: ignored
      {"face:bold italic", &FontRegistry::boldItalic, 12, false},
      {"face:bold-helvetica", &FontRegistry::bold, 12, false},  // after "-" a bare word again
      {"family:Helvetica-size:14", &FontRegistry::medium, 14, false},
      {"Helvetica-14", &FontRegistry::medium, 14, false},
      {"Helvetica-[14 0 0 14 0 0 ]", &FontRegistry::medium, 14, false},
      {"Helvetica-MATRIX:[14 0 0 14 0 0]", &FontRegistry::medium, 14, false},
      {"family:Helvetica-face:bold-13", &FontRegistry::bold, 13, true},
      {"Device:1", &FontRegistry::medium, 12, true},
      {"courier-bold italic", &FontRegistry::courierMedium, 12, false},  // one term "bold italic"
      {"encoding:ansi-foundry:Adobe-face:bold", &FontRegistry::courierBold, 12, false},
      {"encoding:iso8859-1-face:bold", &FontRegistry::courierBold, 1, true},  // "1" is a size term
  };
  for (const Case& c : cases) {
    vfont* f = find(c.desc);
    ASSERT_NE(f, nullptr) << c.desc;
    EXPECT_EQ(f->face, this->*c.face) << c.desc;
    EXPECT_EQ(f->matrix->d, c.points) << c.desc;
    EXPECT_EQ(f->deviceMask == 0, c.derived) << c.desc;
    EXPECT_EQ(find(c.desc), f) << c.desc << ": the cached font";
  }
  EXPECT_EQ(find("size:14"), find("14"));
  EXPECT_EQ(find("matrix:[9 0 0 9 0 0 ]"), find("[9 0 0 9 0 0 ]"));
}

TEST_F(FontRegistry, DeviceTermsOutOfRangeRaiseAndTheCacheOutlivesBetterFonts) {
  EXPECT_EQ(raised([] { find("device:2"); }), &vexArgRangeClass);
  EXPECT_EQ(raised([] { find("family:Courier-device:-1"); }), &vexArgRangeClass);
  vfont* before = find("family:Helvetica-face:bold-size:18");
  EXPECT_EQ(before->deviceMask, 0u);
  vfont* registered = size(bold, 18, d0);
  EXPECT_EQ(registered, before) << "the derived size is the one registered";
  EXPECT_NE(registered->deviceMask, 0u);
  vfont* cached = find("heavy");
  vfontRegisterFace(vfontRegisterFamily(N("Heavy"), N("X"), N("Y"), 0, d0), N("medium"), d0);
  EXPECT_EQ(find("heavy"), cached);
  EXPECT_NE(find("Heavy")->face->family->name, cached->face->family->name);
}

TEST_F(FontRegistry, NearestSizesRankByComponentThenDistance) {
  struct Case {
    float wanted;
    int device;
    float expect;  // 0: none
  };
  const Case cases[] = {
      {12, -1, 14}, {11, -1, 10}, {13, -1, 14}, {9, -1, 10}, {100, -1, 24},
      {12, 0, 14},  {11, 0, 10},  {12, 1, 24},  {40, 0, 14},
  };
  for (const Case& c : cases) {
    vmatrix m{c.wanted, 0, 0, c.wanted, 0, 0};
    vfont* f = vfontFindNearestSize(medium, &m, c.device);
    ASSERT_NE(f, nullptr) << c.wanted;
    EXPECT_EQ(f->matrix->d, c.expect) << c.wanted << " on " << c.device;
  }
  vmatrix twelve{12, 0, 0, 12, 0, 0};
  EXPECT_EQ(vfontFindNearestSize(bold, &twelve, d1), nullptr) << "one size without the device's bit";
  vmatrix shifted{14, 0, 0, 14, 3, 0};
  vfont* s14 = vfontFindNearestSize(medium, &twelve, -1);
  vfont* offset = vfontRegisterSize(medium, &shifted, -1);
  EXPECT_NE(offset, s14);
  EXPECT_EQ(vfontFindNearestSize(medium, &shifted, -1), offset);
  EXPECT_EQ(vfontCountFaceSizes(medium), 4);
  // Of 12 (d off by 0.5, rank 6) and a = 20 (a off by 8, rank 5) the second wins.
  vmatrix wide{20, 0, 0, 12.5f, 0, 0}, wanted{12, 0, 0, 12.5f, 0, 0};
  vfont* w = vfontRegisterSize(italic, &wide, -1);
  EXPECT_EQ(vfontFindNearestSize(italic, &wanted, -1), w);
  EXPECT_EQ(vfontRegisterSize(medium, &twelve, -1), vfontRegisterSize(medium, &twelve, d0));
}

TEST_F(FontRegistry, DevicesGrowEveryRecordAndStopAt32) {
  vfont* f = size(courierBold, 12, d0);
  vfontSetDeviceData(f, d1, 0x1234);
  vfontSetFaceDeviceData(courierBold, d0, 0x55);
  EXPECT_EQ(raised([&] { vfontSetDeviceData(f, 2, 1); }), &vexArgRangeClass);
  EXPECT_EQ(raised([&] { vfontRegisterSize(courierBold, f->matrix, 2); }), &vexArgRangeClass);
  for (int i = 2; i < 32; ++i) EXPECT_EQ(vfontAllocDevice(), i);
  EXPECT_EQ(raised([] { vfontAllocDevice(); }), &vexModuleLimitClass);
  ASSERT_EQ(f->deviceData.size(), 32u);
  EXPECT_EQ(f->deviceData[1], 0x1234u);
  EXPECT_EQ(f->deviceData[31], 0u);
  EXPECT_EQ(courierBold->deviceData[0], 0x55u);
  EXPECT_EQ(courierBold->family->deviceData.size(), 32u);
  vfontSetDeviceData(f, 31, 7);
  vfontRegisterSize(courierBold, f->matrix, 31);
  EXPECT_EQ(f->deviceMask, 0x80000001u);
}

TEST_F(FontRegistry, DescriptionTextsRoundTrip) {
  struct Case {
    vfontFace* FontRegistry::*face;
    vmatrix m;
    const char* text;
  };
  const Case cases[] = {
      {&FontRegistry::boldItalic, {12, 0, 0, 12, 0, 0},
       "family:Helvetica-face:bold italic-size:12-encoding:ansi-foundry:Adobe"},
      {&FontRegistry::medium, {10.5f, 0, 0, 10.5f, 0, 0},
       "family:Helvetica-face:medium-size:10.5-encoding:ansi-foundry:Adobe"},
      {&FontRegistry::courierMedium, {12, 0, 0, 10, 0, 0},
       "family:Courier-face:medium-matrix:[12 0 0 10 0 0 ]-encoding:ansi-foundry:Adobe"},
      {&FontRegistry::courierMedium, {12, 0, 0, -12, 0, 0},
       "family:Courier-face:medium-matrix:[12 0 0 -12 0 0 ]-encoding:ansi-foundry:Adobe"},
  };
  for (const Case& c : cases) {
    vfont* f = vfontRegisterSize(this->*c.face, &c.m, -1);
    vname desc = vfontGetSpec(f);
    EXPECT_STREQ(desc, c.text);
    EXPECT_EQ(vfontGetSpec(f), desc) << "kept";
    EXPECT_EQ(vfontFindScribe(vnameScribe(desc)), f) << c.text;
  }
  EXPECT_EQ(vfontRegisterFaceSize(bold, 12)->flags, vfontUNIFORM | vfontUPRIGHT);
  vmatrix tall{12, 0, 0, 10, 0, 0}, turned{0, 12, -12, 0, 0, 0};
  EXPECT_EQ(vfontRegisterSize(bold, &tall, -1)->flags, vfontUPRIGHT);
  EXPECT_EQ(vfontRegisterSize(bold, &turned, -1)->flags, 0);

  vresource root = vresourceCreateMemoryIn(0);
  vresource r = vresourceCreate(root, N("Font"), vresSTRING);
  vfont* f = find("face:bold italic");
  vfontStore(f, r);
  EXPECT_EQ(vresourceGetStringText(root, N("Font")), std::string(vfontGetSpec(f)));
  EXPECT_EQ(vfontLoad(r), f);
  vresourceCloseFile(root);
}

TEST_F(FontRegistry, DerivedDescriptionsFilterByTheModifiersFirst) {
  vfont* base = find("family:Helvetica-face:medium-size:14");
  vfont* b = vfontFindDerivedScribe(base, vscribeLiteral("bold"));
  EXPECT_EQ(b->face, bold);
  EXPECT_EQ(b->matrix->d, 14.0f) << "the base's size comes after the modifiers' none";
  vfont* s = vfontFindDerivedScribe(base, vscribeLiteral("bold-size:20"));
  EXPECT_EQ(s->face, bold);
  EXPECT_EQ(s->matrix->d, 20.0f);
}

TEST_F(FontRegistry, MatricesAreInternedThroughEveryGrowth) {
  std::vector<const vmatrix*> first;
  for (int i = 0; i < 200; ++i) {
    vmatrix m{float(i), 0, 0, float(i) + 0.5f, 0, 0};
    first.push_back(vfontInternMatrix(&m));
  }
  for (int i = 0; i < 200; ++i) {
    vmatrix m{float(i), 0, 0, float(i) + 0.5f, 0, 0};
    EXPECT_EQ(vfontInternMatrix(&m), first[std::size_t(i)]);
  }
  vmatrix negZero{-0.0f, 0, 0, 0.5f, 0, 0};
  EXPECT_NE(vfontInternMatrix(&negZero), first[0]) << "the same only when the bytes are";
  EXPECT_EQ(size(italic, 14, d0)->matrix, size(medium, 14, d0)->matrix) << "sizes share their matrix";
}

TEST_F(FontRegistry, CountsSortFamiliesAndFaces) {
  ASSERT_EQ(vfontCountFamilies(), 2);
  EXPECT_STREQ(vfontGetFamily(0)->name, "Courier");
  vfontFamily* h = vfontGetFamily(1);
  EXPECT_EQ(h->flags & vfontFAMILY_FLAGGED, 0);
  EXPECT_NE(vfontGetFamily(0)->flags & vfontFAMILY_FLAGGED, 0);
  ASSERT_EQ(vfontCountFamilyFaces(h), 4);
  const char* order[] = {"bold", "bold italic", "italic", "medium"};
  for (int i = 0; i < 4; ++i) EXPECT_STREQ(h->faces[std::size_t(i)]->name, order[i]);
  EXPECT_EQ(boldItalic->words->size(), 2u);
  vfontFace* other = vfontRegisterFace(vfontGetFamily(0), N("bold italic"), -1);
  EXPECT_EQ(other->words, boldItalic->words) << "shared through the face-word cache";
  ASSERT_EQ(vfontCountFaceSizes(medium), 3);
  EXPECT_EQ(medium->sizes[0]->matrix->d, 10.0f);
  EXPECT_EQ(medium->sizes[2]->matrix->d, 24.0f);
}

int hookCalls = 0;
void registerOnDemand() {
  ++hookCalls;
  int d = vfontAllocDevice();
  vfontFace* f = vfontRegisterFace(vfontRegisterFamily(N("Late"), N("F"), N("E"), 0, d), N("roman"), d);
  vfontRegisterFaceSize(f, 12);
}

TEST(FontStartup, LookupNeedsFontsOrTheRegistrationHook) {
  _vfontShutdown();
  std::string message;
  EXPECT_EQ(raised([] { find(""); }, &message), &vexModuleStartupClass);
  EXPECT_EQ(message, "no fonts have been registered");
  hookCalls = 0;
  vfontSetRegistrationHook(registerOnDemand);
  vfont* f = find("");
  EXPECT_EQ(hookCalls, 1);
  EXPECT_STREQ(f->face->name, "roman");
  EXPECT_EQ(f->deviceMask, 0u) << "the face size was registered without a device";
  find("x");
  EXPECT_EQ(hookCalls, 1);
  _vfontShutdown();
}

// A driver that answers fixed values and counts the characters it measured.
int measured = 0;
const vfontDriver fakeDriver = {
    nullptr,
    [](vfont*, vfixed* w, vfixed* s) { *w = 7 * 65536, *s = 1; },
    [](vfont*, vrectFixed* r) { *r = {0, -3 * 65536, 7 * 65536, 14 * 65536}; },
    [](vfont*) -> vfixed { return 11 * 65536; },
    [](vfont*) -> vfixed { return 3 * 65536; },
    [](vfont*, const char* chars, int n, vfixed* dx, vfixed* dy) {
      measured += n;
      *dx = n * 0x18000;  // 1.5 a character
      *dy = chars[0] == 'v' ? -0x8001 : 0;
    },
    [](vfont*, const char*, int n, vrectFixed* r) { *r = {0x8000, 0, n * 65536, 65536}; },
};

TEST_F(FontRegistry, MeasuringGoesThroughTheDriverAndRounds) {
  vfont* f = find("");
  int dx = 1, dy = 1;
  vfontGetCharsAdvance(f, "abc", 3, &dx, &dy);
  EXPECT_EQ(dx, 0) << "the initial driver answers zero";
  EXPECT_EQ(vfontGetHeight(f), 0);
  vfontSetDriver(&fakeDriver);
  EXPECT_EQ(vfontGetCharWidth(f), 7 * 65536);
  EXPECT_EQ(vfontGetHeight(f), 14 * 65536);
  vrect r;
  vfontGetBounds(f, &r);
  EXPECT_EQ(r.y, -3);
  EXPECT_EQ(r.height, 14);
  vfontGetCharsAdvance(f, "abc", 3, &dx, &dy);
  EXPECT_EQ(dx, 5) << "4.5 rounds up";
  vfontGetCharsAdvance(f, "v", 1, &dx, &dy);
  EXPECT_EQ(dy, -1);
  EXPECT_EQ(vfontGetCharsWidth(f, "ab", 2), 0x30000);
  measured = 0;
  EXPECT_EQ(vfontGetScribeWidth(f, vscribeLiteral("hello")), 5 * 0x18000);
  EXPECT_EQ(vfontGetScribeWidth(f, vscribeRepeatChar('x', 300)), 300 * 0x18000);
  EXPECT_EQ(vfontGetScribeWidth(f, vscribeRepeatChar('x', 256)), 256 * 0x18000);
  vfontGetScribeAdvance(f, vscribeConcat(vscribeLiteral("v"), vscribeLiteral("w"), nullptr), &dx, &dy);
  EXPECT_EQ(dx, 3);
  EXPECT_EQ(dy, -1);
  EXPECT_EQ(measured, 5 + 300 + 256 + 2);
  vfontGetCharsBounds(f, "abcd", 4, &r);
  EXPECT_EQ(r.width, 5) << "the far edge rounds up";
}

}  // namespace
