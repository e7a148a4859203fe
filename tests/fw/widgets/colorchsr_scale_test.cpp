// The colour chooser's numbers: the documented edge values of the scales,
// fields, gray reduction, wheel, plane, ramps and tolerance conversions,
// the guards against dividing by a zero size, and an exhaustive sweep of
// component -> slider -> component whose digest pins today's precision.
#include "fw/widgets/choosers/colorchsr_scale.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using namespace vcolorchsrScale;

TEST(ColorChooserScales, SlidersFieldsAndTexts) {
  EXPECT_EQ(sliderToComponent(1), 6);
  EXPECT_EQ(sliderToComponent(10000), 65535);
  EXPECT_EQ(componentToSlider(65535), 9999) << "just below 10000 in single precision";
  EXPECT_EQ(componentToSlider(0), 0);
  EXPECT_EQ(percentText(511), "0.78");
  EXPECT_EQ(percentText(65535), "100.00");
  EXPECT_EQ(degreesText(65535), "360.00");
  struct Case {
    Field kind;
    double typed;
    int component, position;
  };
  const Case cases[] = {
      {Field::percent, 50, 32768, 5000},   // 32767.5 + 0.5
      {Field::hlsPercent, 50, 32767, 5000},  // no rounding term
      {Field::hue, 400, 65535, 10000},     // clamped to 360
      {Field::hue, -5, 0, 0},
      {Field::percent, 120, 65535, 10000},
      {Field::hlsPercent, 100, 65534, 10000},  // 0.01 in single precision is just below
  };
  for (const Case& k : cases) {
    FieldValue f = fromField(k.kind, k.typed);
    EXPECT_EQ(f.component, k.component) << int(k.kind) << " " << k.typed;
    EXPECT_EQ(f.position, k.position) << int(k.kind) << " " << k.typed;
  }
  EXPECT_TRUE(fieldAccepts("1e2"));
  EXPECT_TRUE(fieldAccepts("-3.5E+1"));
  EXPECT_FALSE(fieldAccepts("a"));
  EXPECT_FALSE(fieldAccepts("1,5"));
  EXPECT_EQ(fieldNumber("1e2"), 100);
  EXPECT_EQ(fieldNumber("abc"), 0) << "a text that is no number counts as 0";
  EXPECT_EQ(fieldNumber(""), 0);
  EXPECT_EQ(grayLevel(65535, 0, 0), 19594);
  EXPECT_EQ(grayLevel(65535, 65535, 65535), 65534);
}

TEST(ColorChooserScales, WheelPlaneAndRamps) {
  EXPECT_EQ(wheelSaturation(0), 65535);
  EXPECT_EQ(wheelSaturation(1), 49151);
  EXPECT_EQ(wheelSaturation(3), 16383);
  EXPECT_EQ(wheelHue(1), 3640);
  EXPECT_EQ(wheelHue(2), 7281);
  // The centre: hue 0, saturation 0; outside the circle a press is ignored
  // and a drag keeps the angle at full saturation; no circle takes nothing.
  WheelPick centre = wheelAt(0, 0, 50, true);
  EXPECT_TRUE(centre.taken);
  EXPECT_EQ(centre.hue, 0);
  EXPECT_EQ(centre.saturation, 0);
  EXPECT_FALSE(wheelAt(51, 0, 50, true).taken);
  WheelPick up = wheelAt(0, 80, 50, false);
  EXPECT_TRUE(up.taken);
  EXPECT_EQ(up.saturation, 65535);
  EXPECT_EQ(up.hue, 16383) << "90 degrees: y grows upward";
  EXPECT_EQ(wheelAt(-25, 0, 50, true).hue, 32767);
  EXPECT_FALSE(wheelAt(0, 0, 0, true).taken);
  // The plane: its edges give 0 and 65535; a zero side gives nothing.
  EXPECT_EQ(planeValue(100, 100), 65535);
  EXPECT_EQ(planeValue(130, 100), 65535);
  EXPECT_EQ(planeValue(-4, 100), 0);
  EXPECT_EQ(planeValue(5, 0), 0);
  EXPECT_EQ(planeStep(15), 65535);
  EXPECT_EQ(planePixel(0, 0, 64), 0);
  EXPECT_EQ(planePixel(63, 63, 64), 255);
  EXPECT_EQ(planePixel(4, 8, 64), 2 * 16 + 1);
  EXPECT_EQ(planePixel(3, 3, 0), 0);
  // Ramps: the lightness ramp starts at 0 and ends at 63350, the others
  // start at 2184 and end at 65535; the track's right end is clamped to
  // the maximum, a track too narrow gives 0.
  EXPECT_EQ(rampValue(0, true), 0);
  EXPECT_EQ(rampValue(29, true), 63350);
  EXPECT_EQ(rampValue(0, false), 2184);
  EXPECT_EQ(rampValue(29, false), 65535);
  EXPECT_EQ(rampPixel(0, 100), 0);
  EXPECT_EQ(rampPixel(99, 100), 29);
  EXPECT_EQ(rampTrack(300, 10, 102, 10000), 10000);
  EXPECT_EQ(rampTrack(10, 10, 102, 10000), 0);
  EXPECT_EQ(rampTrack(60, 10, 102, 10000), 5000);
  EXPECT_EQ(rampTrack(5, 10, 2, 10000), 0);
}

TEST(ColorChooserScales, ToleranceAndUserColours) {
  EXPECT_EQ(distanceToDelta(65535), 37836);
  EXPECT_EQ(deltasToDistance(100, 200, 301), 200);
  EXPECT_EQ(deltasToDistance(65535, 65535, 65535), 65535) << "no 16-bit overflow in the sum";
  const int entries[][2] = {{1, 0}, {0, 0}, {4, 1}, {5, 2}, {64, 3}, {256, 4}, {300, -1}};
  for (auto [dither, entry] : entries) EXPECT_EQ(ditherEntry(dither), entry) << dither;
  for (int e = 0; e < 5; ++e) EXPECT_EQ(ditherEntry(ditherOfEntry(e)), e);
  const Preset* solid = presetFor(15);
  ASSERT_NE(solid, nullptr);
  EXPECT_EQ(solid->maxDotDither, 1);
  EXPECT_EQ(solid->delta, 16383);
  EXPECT_EQ(presetFor(12), nullptr);
  EXPECT_EQ(presetFor(19), nullptr);
  EXPECT_EQ(userCellWidth(20), 1);
  EXPECT_EQ(userCellWidth(19), 0) << "too narrow: no cells";
  EXPECT_EQ(userCellWidth(0), 0);
}

// Every component through the slider and back never moves up, loses less
// than one slider step, and the whole sweep's digest is today's.
TEST(ColorChooserScales, EveryComponentThroughTheSlider) {
  std::uint64_t digest = 1469598103934665603ull;
  int previous = -1;
  for (int c = 0; c <= 65535; ++c) {
    int p = componentToSlider(std::uint16_t(c));
    ASSERT_GE(p, previous) << c;
    previous = p;
    int back = sliderToComponent(p);
    ASSERT_LE(back, c) << c;
    ASSERT_LT(c - back, 8) << c;
    digest = (digest ^ std::uint64_t(p) ^ (std::uint64_t(back) << 16)) * 1099511628211ull;
  }
  for (int p = 0; p <= kSliderMax; ++p) ASSERT_GE(componentToSlider(sliderToComponent(p)), p - 1) << p;
  EXPECT_EQ(digest, 4752605164406646358ull);
}

}  // namespace
