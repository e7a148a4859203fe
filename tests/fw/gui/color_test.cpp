#include "fw/gui/graphics/color.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "tests/fw/gui/raises.h"
#include "fw/data/vresource.h"

namespace {

using Triple = std::array<unsigned, 3>;

Triple rgbOf(const vcolorSpec* s) {
  Triple t;
  vcolorGetSpecRGB(s, &t[0], &t[1], &t[2]);
  return t;
}
Triple hlsOf(const vcolorSpec* s) {
  Triple t;
  vcolorGetSpecHLS(s, &t[0], &t[1], &t[2]);
  return t;
}
Triple cmyOf(const vcolorSpec* s) {
  Triple t;
  vcolorGetSpecCMY(s, &t[0], &t[1], &t[2]);
  return t;
}
Triple componentsOf(const vcolorSpec& s) { return {s.component[0], s.component[1], s.component[2]}; }

TEST(Color, ConversionsBetweenModels) {
  struct Case {
    Triple rgb, hls, back;  // back: RGB after HLS and back
  } cases[] = {
      {{65535, 0, 0}, {0, 32767, 65535}, {65534, 0, 0}},
      {{65535, 32768, 0}, {5461, 32767, 65535}, {65534, 32765, 0}},
      {{0, 65535, 0}, {21845, 32767, 65535}, {0, 65534, 0}},
      {{0, 0, 65535}, {43690, 32767, 65535}, {0, 0, 65534}},
      {{1000, 2000, 3000}, {38228, 2000, 32767}, {1000, 2000, 2999}},
      {{30000, 30000, 30000}, {0, 30000, 0}, {30000, 30000, 30000}},  // grey
      {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
      {{65535, 65535, 65535}, {0, 65535, 0}, {65535, 65535, 65535}},
  };
  for (const Case& c : cases) {
    vcolorSpec rgb;
    vcolorInitSpec(&rgb);
    vcolorSetSpecRGB(&rgb, c.rgb[0], c.rgb[1], c.rgb[2]);
    EXPECT_EQ(hlsOf(&rgb), c.hls) << c.rgb[0] << "," << c.rgb[1] << "," << c.rgb[2];
    EXPECT_EQ(cmyOf(&rgb), (Triple{65535 - c.rgb[0], 65535 - c.rgb[1], 65535 - c.rgb[2]}));
    vcolorSpec hls = rgb;
    vcolorSetSpecModel(&hls, &vcolorHLSModel);
    EXPECT_EQ(vcolorGetSpecModel(&hls), &vcolorHLSModel);
    EXPECT_EQ(componentsOf(hls), c.hls);
    EXPECT_EQ(rgbOf(&hls), c.back);
    // The getters leave the description as it was.
    EXPECT_EQ(componentsOf(rgb), c.rgb);
    EXPECT_EQ(vcolorGetSpecModel(&rgb), &vcolorRGBModel);
  }
  // Saturation 0 gives a grey of trunc(l x 65535).
  vcolorSpec grey;
  vcolorInitSpecInModel(&grey, &vcolorHLSModel);
  vcolorSetSpecHLS(&grey, 12345, 40000, 0);
  EXPECT_EQ(rgbOf(&grey), (Triple{40000, 40000, 40000}));
  EXPECT_EQ(vcolorGetSpecHue(&grey), 12345u);
  EXPECT_EQ(vcolorGetSpecRed(&grey), 40000u);
  double r, g, b;
  vcolorGetSpecRGBFloat(&vcolorGetWhite()->desc, &r, &g, &b);
  EXPECT_EQ(r, 1.0);
}

TEST(Color, TolerancesTravelWithConversions) {
  // RGB and CMY keep three deltas as they are, both ways.
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, 100, 200, 300);
  vcolorSetSpecRGBDelta(&s, 10, 20, 30);
  vcolorSpecRecord* rgbRecord = s.record;
  EXPECT_EQ(rgbRecord->kind & vcolorDELTA_TYPE_MASK, 0);
  vcolorSetSpecModel(&s, &vcolorCMYModel);
  EXPECT_EQ(componentsOf(s), (Triple{65435, 65335, 65235}));
  EXPECT_EQ(s.record->kind & vcolorDELTA_TYPE_MASK, 2);
  EXPECT_EQ((Triple{s.record->delta[0], s.record->delta[1], s.record->delta[2]}), (Triple{10, 20, 30}));
  vcolorSetSpecModel(&s, &vcolorRGBModel);
  EXPECT_EQ(componentsOf(s), (Triple{100, 200, 300}));
  EXPECT_EQ(s.record, rgbRecord);  // the same interned record

  // Through HLS the three become one: their mean.
  vcolorSetSpecModel(&s, &vcolorHLSModel);
  EXPECT_EQ(s.record->kind & vcolorDELTA_TYPE_MASK, 17);
  EXPECT_EQ(s.record->delta[0], 20);
  // Setting components never touches the record; a tolerance setter
  // converts the description first.
  vcolorSpecRecord* hlsRecord = s.record;
  vcolorSetSpecRGB(&s, 0, 0, 65535);
  EXPECT_EQ(s.record, hlsRecord);
  EXPECT_EQ(componentsOf(s), (Triple{43690, 32767, 65535}));
  vcolorSetSpecCMYSingleDelta(&s, 500);
  EXPECT_EQ(vcolorGetSpecModel(&s), &vcolorCMYModel);
  EXPECT_EQ(s.record->kind & vcolorDELTA_TYPE_MASK, 18);
  EXPECT_EQ(s.record->delta[0], 500);
  vcolorSetSpecMaxDotDither(&s, 16);
  EXPECT_EQ(vcolorGetSpecModel(&s), &vcolorCMYModel);
  EXPECT_EQ(s.record->maxDotDither, 16);
  EXPECT_EQ(s.record->delta[0], 500);

  EXPECT_TRUE(raisesArg([] {
    vcolorSpec t;
    vcolorInitSpec(&t);
    static const vcolorModel stranger = {};
    _vcolorSetSpecDefaultRecord(&t, &stranger);
  }));
}

TEST(Color, BlendsInTheirOwnModel) {
  vcolorSpec a, b;
  vcolorCopyInitSpec(&vcolorGetBlack()->desc, &a);
  vcolorCopyInitSpec(&vcolorGetWhite()->desc, &b);
  vcolorRGBModel.blend(&a, 0.5, &b);
  EXPECT_EQ(componentsOf(a), (Triple{32767, 32767, 32767}));
  // HLS interpolates the hue with no wrap: from near 0 to near 65535 it
  // passes through the middle of the circle.
  vcolorInitSpecInModel(&a, &vcolorHLSModel);
  vcolorInitSpecInModel(&b, &vcolorHLSModel);
  vcolorSetSpecHLS(&a, 1000, 32767, 65535);
  vcolorSetSpecHLS(&b, 64535, 32767, 65535);
  vcolorHLSModel.blend(&a, 0.5, &b);
  EXPECT_EQ(componentsOf(a), (Triple{32767, 32767, 65535}));
  vcolorSpec before = a;
  vcolorHLSModel.blend(&a, 0.0, &b);
  EXPECT_EQ(componentsOf(a), componentsOf(before));
  // The blended description keeps its own model.
  vcolorCMYModel.blend(&a, 1.0, &b);
  EXPECT_EQ(vcolorGetSpecModel(&a), &vcolorHLSModel);
}

// A representation kind that counts its frees.
int freed = 0;
const vsyncRingKind counting = {nullptr, [](vsyncRingEntry*) { ++freed; }, nullptr, nullptr};
const vsyncRingKind other = {nullptr, [](vsyncRingEntry*) { ++freed; }, nullptr, nullptr};

TEST(Color, InterningAndCounts) {
  vcolor* black = vcolorGetBlack();
  vcolorSpec s;
  vcolorInitSpec(&s);
  EXPECT_EQ(vcolorInternSpec(&s), black);
  EXPECT_EQ(black->count, vcolorPERMANENT);
  vcolorInitSpecInModel(&s, &vcolorHLSModel);
  vcolorSetSpecHLS(&s, 30000, 0, 12345);
  EXPECT_EQ(vcolorInternSpec(&s), black);  // lightness 0, default tolerances
  vcolorRelease(black);
  vcolorRelease(vcolorGetWhite());
  EXPECT_EQ(black->count, vcolorPERMANENT);

  int shared = _vcolorCountShared();
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, 1, 2, 3);
  vcolor* plain = vcolorInternSpec(&s);
  EXPECT_EQ(vcolorInternSpec(&s), plain);
  EXPECT_EQ(plain->count, 2);
  EXPECT_EQ(plain->unlisted, 0u);
  vcolorSpec tolerant = s, dithered = s;
  vcolorSetSpecRGBSingleDelta(&tolerant, 100);
  vcolorSetSpecMaxDotDither(&dithered, 0);
  vcolor* c2 = vcolorInternSpec(&tolerant);
  vcolor* c3 = vcolorInternSpec(&dithered);
  EXPECT_NE(c2, plain);
  EXPECT_NE(c3, plain);
  EXPECT_NE(c2, c3);
  EXPECT_TRUE(vcolorSpecsEqual(&c2->desc, &plain->desc));
  EXPECT_EQ(_vcolorCountShared(), shared + 3);
  // The same value given in CMY finds the same colour.
  vcolorSpec cmy;
  vcolorInitSpecInModel(&cmy, &vcolorCMYModel);
  vcolorSetSpecCMY(&cmy, 65534, 65533, 65532);
  EXPECT_EQ(vcolorInternSpec(&cmy), plain);
  vcolorRelease(plain);

  freed = 0;
  vsyncRingEntry* e = vcolorGetRepresentation(plain, &counting);
  EXPECT_EQ(e->data, plain);
  EXPECT_EQ(vcolorGetRepresentation(plain, &counting), e);
  EXPECT_NE(vcolorGetRepresentation(plain, &other), e);
  vcolorRelease(plain);
  EXPECT_EQ(freed, 0);
  vcolorRelease(plain);  // the last reference: both representations freed once
  EXPECT_EQ(freed, 2);
  vcolorRelease(c2);
  vcolorRelease(c3);
  EXPECT_EQ(_vcolorCountShared(), shared);
  vcolor* again = vcolorInternSpec(&s);
  EXPECT_EQ(again->count, 1);
  EXPECT_EQ(again->representations, nullptr);
  vcolorRelease(again);

  // A private colour is never in the table.
  vcolor* mine = vcolorCreateInModel(&vcolorHLSModel);
  EXPECT_EQ(mine->unlisted, 1u);
  EXPECT_EQ(vcolorGetSpecModel(&mine->desc), &vcolorHLSModel);
  EXPECT_EQ(_vcolorCountShared(), shared);
  vcolorRelease(mine);

  // Counts saturate: a colour retained 64000 times stays for good.
  vcolor* many = vcolorInternSpec(&tolerant);
  for (int i = 0; i < 70000; ++i) vcolorRetain(many);
  EXPECT_EQ(many->count, vcolorPERMANENT);
  vcolorRelease(many);
  EXPECT_EQ(many->count, vcolorPERMANENT);
}

TEST(Color, ShutdownReleasesAllAndTheNextCallStartsAgain) {
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, 7, 8, 9);
  vcolor* c = vcolorInternSpec(&s);
  freed = 0;
  vcolorGetRepresentation(c, &counting);
  _vcolorShutdown();
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(_vcolorCountShared(), 2);  // started again: black and white
  EXPECT_EQ(vcolorGetBlack()->count, vcolorPERMANENT);
}

// ---- Descriptions in resources.

vname key(const char* s) { return vnameInternLiteral(s); }

std::vector<std::string> keysOf(vresource r) {
  std::vector<std::string> out;
  for (std::int32_t i = 0; i < vresourceCount(r); ++i) out.push_back(vresourceGetTagAtOnly(r, i));
  return out;
}

class ColorResource : public ::testing::Test {
 protected:
  void SetUp() override { root = vresourceCreateMemoryIn(0); }
  void TearDown() override { vresourceCloseFile(root); }
  vresource root = 0;
};

TEST_F(ColorResource, StoreThenLoadWritesOnlyTheListedKeys) {
  struct Case {
    const char* what;
    void (*make)(vcolorSpec*);
    std::vector<std::string> keys;
  } cases[] = {
      {"default record", [](vcolorSpec* s) { vcolorSetSpecRGB(s, 1, 2, 3); },
       {"Type", "vcolorClass", "vcolorComponent1", "vcolorComponent2", "vcolorComponent3"}},
      {"single delta, HLS", [](vcolorSpec* s) { vcolorSetSpecHLSSingleDelta(s, 77); },
       {"Type", "vcolorClass", "vcolorComponent1", "vcolorComponent2", "vcolorComponent3", "vcolorDeltaType",
        "vcolorDelta1"}},
      {"three deltas, CMY, dither 0",
       [](vcolorSpec* s) {
         vcolorSetSpecCMYDelta(s, 1, 16383, 3);
         vcolorSetSpecMaxDotDither(s, 0);
       },
       {"Type", "vcolorClass", "vcolorComponent1", "vcolorComponent2", "vcolorComponent3", "vcolorDeltaType",
        "vcolorDelta1", "vcolorDelta2", "vcolorDelta3", "vcolorMaxDotDither"}},
      {"three default deltas", [](vcolorSpec* s) { vcolorSetSpecRGBDelta(s, 16383, 16383, 16383); },
       {"Type", "vcolorClass", "vcolorComponent1", "vcolorComponent2", "vcolorComponent3"}},
  };
  for (const Case& c : cases) {
    vcolorSpec s, back;
    vcolorInitSpec(&s);
    vcolorSetSpecRGB(&s, 4000, 50000, 600);
    c.make(&s);
    vresource r = vresourceCreate(root, key(c.what), vresDICTIONARY);
    vcolorStoreSpec(&s, r);
    std::vector<std::string> got = keysOf(r), want = c.keys;
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want) << c.what;
    EXPECT_EQ(vresourceGetTag(r, key("Type")), key("vcolorSpec"));
    vcolorLoadInitSpec(&back, r);
    // Deltas of 16383 count as not set: they come back as the default record.
    vcolorSpec fresh;
    vcolorInitSpecInModel(&fresh, s.record->model);
    EXPECT_EQ(back.record, c.keys.size() == 5 ? fresh.record : s.record) << c.what;
    EXPECT_EQ(componentsOf(back), componentsOf(s)) << c.what;
    // Stored again over a description with more keys, the default one leaves none behind.
    vcolorSpec plain;
    vcolorInitSpec(&plain);
    vcolorStoreSpec(&plain, r);
    EXPECT_EQ(vresourceCount(r), 5) << c.what;
    vcolorSpec* loaded = vcolorLoadSpec(r);
    EXPECT_EQ(loaded->record, plain.record);
    vcolorDestroySpec(loaded);
  }
}

TEST_F(ColorResource, OlderFormsAndBadClasses) {
  // Components without a class: RGB, with the single RGB delta.
  vresource r = vresourceCreate(root, key("NoClass"), vresDICTIONARY);
  vresourceSetInteger(r, key("vcolorComponent1"), 10);
  vresourceSetInteger(r, key("vcolorComponent3"), 30);
  vresourceSetInteger(r, key("vcolorRGBDelta"), 99);
  vresourceSetInteger(r, key("vcolorMaxDotDither"), 64);
  vcolorSpec s;
  vcolorLoadInitSpec(&s, r);
  EXPECT_EQ(componentsOf(s), (Triple{10, 0, 30}));
  EXPECT_EQ(s.record->kind & vcolorDELTA_TYPE_MASK, 16);
  EXPECT_EQ(s.record->delta[0], 99);
  EXPECT_EQ(s.record->maxDotDither, 64);

  // The oldest form: ScrollX, ScrollY and Select, cut to 16 bits.
  r = vresourceCreate(root, key("Legacy"), vresDICTIONARY);
  vresourceSetInteger(r, key("ScrollX"), 65536 + 5);
  vresourceSetInteger(r, key("ScrollY"), 6);
  vresourceSetInteger(r, key("Select"), -1);
  vcolor* c = vcolorLoad(r);
  EXPECT_EQ(componentsOf(c->desc), (Triple{5, 6, 65535}));
  vcolorRelease(c);
  vresourceRemove(r, key("Select"));
  std::string message;
  vexGuard([&] { vcolorLoadInitSpec(&s, r); },
           [&](vexHandler& h) {
             message = vexGetCurrentException()->message;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(message, "Non-existent resource");

  for (std::int32_t bad : {3, -1}) {
    r = vresourceCreate(root, key("Bad"), vresDICTIONARY);
    vresourceSetInteger(r, key("vcolorClass"), bad);
    EXPECT_TRUE(raisesArg([&] { vcolorLoadInitSpec(&s, r); })) << bad;
  }
  r = vresourceCreate(root, key("BadDelta"), vresDICTIONARY);
  vresourceSetInteger(r, key("vcolorClass"), 1);
  vresourceSetInteger(r, key("vcolorDeltaType"), 5);
  EXPECT_TRUE(raisesArg([&] { vcolorLoadInitSpec(&s, r); }));
}

}  // namespace
