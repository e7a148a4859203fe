// The colour chooser's numbers: the scales between 16-bit components,
// slider positions (0-10000) and field texts, the gray reduction, the
// wheel's and the plane's colours and pointer mapping, the ramps, and the
// tolerance panel's conversions. Every conversion truncates toward zero;
// the constants the chooser has always used in single precision stay
// float, so that results match to the last unit.
#pragma once
#include <cstdint>
#include <string>

namespace vcolorchsrScale {

inline constexpr int kSliderMax = 10000;

// ---- Components, slider positions and field texts.
int componentToSlider(std::uint16_t component);  // 65535 gives 9999
std::uint16_t sliderToComponent(int position);   // 1 gives 6, 10000 65535
std::string percentText(std::uint16_t component);
std::string degreesText(std::uint16_t hue);

// What a committed field gives: the component and the slider position,
// the field's value clamped first (percent 0-100, degrees 0-360).
enum class Field { percent, hlsPercent, hue };
struct FieldValue {
  std::uint16_t component;
  int position;
  double clamped;
};
FieldValue fromField(Field kind, double value);
// A field's text as a number: what the numeric field accepts and reads
// (0 for a text that is no number).
bool fieldAccepts(const std::string& typed);
double fieldNumber(const std::string& text);

// (19595 r + 38469 g + 7471 b) >> 16 in unsigned 32-bit arithmetic.
std::uint16_t grayLevel(std::uint16_t red, std::uint16_t green, std::uint16_t blue);

// ---- The wheel: 72 colours, ring 0 outermost, 18 sectors of 20 degrees.
std::uint16_t wheelSaturation(int ring);
std::uint16_t wheelHue(int sector);
struct WheelPick {
  bool taken;  // false: a press outside the circle, or no circle at all
  std::uint16_t hue, saturation;
};
// Offset (dx, dy) from the centre of a circle of radius rho; y grows upward.
WheelPick wheelAt(int dx, int dy, int rho, bool press);

// ---- The plane: a 16 x 16 grid of palette entries over a square of side s.
std::uint16_t planeStep(int cell);  // cell * 65535 / 15
int planePixel(int x, int y, int side);
// A pointer offset from the square's lower-left corner, pinned into it.
std::uint16_t planeValue(int offset, int side);

// ---- Ramps: 30 palette entries; the HLS lightness ramp runs k = 0..29,
// the others k = 1..30.
std::uint16_t rampValue(int entry, bool fromZero);
int rampPixel(int x, int width);
// The ramp slider's value for a pointer x in a track; 0 for a track too
// narrow to divide by.
int rampTrack(int x, int left, int width, int maximum);

// ---- The tolerance panel.
std::uint16_t distanceToDelta(std::uint16_t distance);
std::uint16_t deltasToDistance(std::uint16_t d1, std::uint16_t d2, std::uint16_t d3);
// The dither menu entry for a maximum dot dither, -1 when above 256; and back.
int ditherEntry(int maxDotDither);
int ditherOfEntry(int entry);
struct Preset {
  int command, maxDotDither;
  std::uint16_t delta;
  const char* name;
};
const Preset* presetFor(int command);  // commands 13-18, else null

// ---- The user colours' strip: each cell's width, 0 when too narrow.
int userCellWidth(int stripWidth);

}  // namespace vcolorchsrScale
