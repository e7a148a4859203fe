#include "fw/widgets/choosers/colorchsr_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vcolorchsrScale {
namespace {

// 10000/65535 and 1/65535 as the chooser has them, in single precision;
// the products themselves are taken in double precision.
constexpr double kToSlider = double(0.15259022f);
constexpr double kUnit = double(1.5259022e-5f);

std::string format(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", v);
  return text;
}

std::uint16_t clamp16(double v) { return std::uint16_t(std::clamp(v, 0.0, 65535.0)); }

}  // namespace

int componentToSlider(std::uint16_t c) { return int(c * kToSlider); }
std::uint16_t sliderToComponent(int p) { return clamp16(std::trunc(p * 0.0001 * 65535)); }
std::string percentText(std::uint16_t c) { return format(c * kUnit * 100); }
std::string degreesText(std::uint16_t hue) { return format(hue * 0.005493247882810711); }

FieldValue fromField(Field kind, double value) {
  FieldValue f{};
  switch (kind) {
    case Field::percent:
      f.clamped = std::clamp(value, 0.0, 100.0);
      f.component = clamp16(std::trunc(f.clamped * 655.35 + 0.5));
      f.position = int(f.clamped * 100);
      break;
    case Field::hlsPercent:
      f.clamped = std::clamp(value, 0.0, 100.0);
      f.component = clamp16(std::trunc(double(65535.0f) * (f.clamped * double(0.01f))));
      f.position = int(10000 * (f.clamped * 0.01));
      break;
    case Field::hue:
      f.clamped = std::clamp(value, 0.0, 360.0);
      f.component = clamp16(std::trunc(f.clamped * 182.04166666666669));
      f.position = int(f.clamped * 27.77777777777778);
      break;
  }
  return f;
}

bool fieldAccepts(const std::string& typed) {
  return std::all_of(typed.begin(), typed.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'E' || c == 'e';
  });
}

double fieldNumber(const std::string& text) {
  const char* start = text.c_str();
  char* end = nullptr;
  double v = std::strtod(start, &end);
  if (end == start || !std::isfinite(v)) return 0;
  while (*end == ' ') ++end;
  return *end ? 0 : v;
}

std::uint16_t grayLevel(std::uint16_t r, std::uint16_t g, std::uint16_t b) {
  std::uint32_t sum = 19595u * r + 38469u * g + 7471u * b;
  return std::uint16_t(sum >> 16);
}

std::uint16_t wheelSaturation(int ring) { return clamp16(std::trunc(65535 - 16383.75 * ring)); }
std::uint16_t wheelHue(int sector) { return clamp16(std::trunc(20.0 * sector * (1.0 / 360) * 65535)); }

WheelPick wheelAt(int dx, int dy, int rho, bool press) {
  if (rho <= 0) return {};
  double d = std::sqrt(double(dx) * dx + double(dy) * dy) / rho;
  if (press && d > 1.0) return {};
  double alpha = (dx == 0 && dy == 0) ? 0 : std::atan2(double(dy), double(dx)) * 180 / M_PI;
  if (alpha < 0) alpha += 360;
  return {true, clamp16(std::trunc(alpha * (1.0 / 360) * 65535)), clamp16(std::trunc(std::min(d, 1.0) * 65535))};
}

std::uint16_t planeStep(int cell) { return std::uint16_t(cell * 65535 / 15); }

int planePixel(int x, int y, int side) {
  if (side <= 0) return 0;
  double f = 16.0 / side;
  return std::min(15, int(y * f)) * 16 + std::min(15, int(x * f));
}

std::uint16_t planeValue(int offset, int side) {
  if (side <= 0) return 0;
  int v = std::max(0, std::min(offset, side));
  return clamp16(std::trunc(double(v) / side * 65535));
}

std::uint16_t rampValue(int entry, bool fromZero) { return std::uint16_t((fromZero ? entry : entry + 1) * 65535 / 30); }

int rampPixel(int x, int width) { return width > 0 ? int(x * 29.0 / width + 0.5) : 0; }

int rampTrack(int x, int left, int width, int maximum) {
  if (width <= 2) return 0;
  int pinned = std::clamp(x, left, left + width - 1);
  int v = int(double(pinned - left) / (width - 2) * maximum);
  return std::clamp(v, 0, maximum);
}

std::uint16_t distanceToDelta(std::uint16_t d) {
  double unit = d * kUnit;
  return clamp16(std::trunc(std::sqrt(unit * unit * 0.3333333333333333) * 65535));
}

std::uint16_t deltasToDistance(std::uint16_t d1, std::uint16_t d2, std::uint16_t d3) {
  return std::uint16_t((std::uint32_t(d1) + d2 + d3) / 3);
}

namespace {
constexpr int kDithers[] = {1, 4, 16, 64, 256};
constexpr Preset kPresets[] = {
    {13, 64, 255, "LargeDither"},  {14, 4, 4095, "SmallDither"},  {15, 1, 16383, "Solid"},
    {16, 256, 127, "PreciseLarge"}, {17, 16, 1023, "PreciseSmall"}, {18, 1, 4095, "PreciseSolid"},
};
}  // namespace

int ditherEntry(int maxDotDither) {
  for (int i = 0; i < 5; ++i)
    if (maxDotDither <= kDithers[i]) return i;
  return -1;
}
int ditherOfEntry(int entry) { return entry >= 0 && entry < 5 ? kDithers[entry] : 0; }

const Preset* presetFor(int command) {
  for (const Preset& p : kPresets)
    if (p.command == command) return &p;
  return nullptr;
}

int userCellWidth(int stripWidth) { return stripWidth > 4 ? (stripWidth - 4) / 16 : 0; }

}  // namespace vcolorchsrScale
