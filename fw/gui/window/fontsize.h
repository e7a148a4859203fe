// The Windows font device's size arithmetic: a point size as the character
// height CreateFontA takes, and the box a run of single-byte text covers,
// measured from tables taken once per realised font, without a device
// context. The font device realises fonts and fills these records.
//
// - **Windows font sizes** (`fontsize.h`): `vfontMSWPointsToHeight` turns a point size into the
//   negative character height `CreateFontA` takes (the font's first matching override in its
//   `vfontMSWSizeOverride` list, else from the screen's `LOGPIXELSY`: -13 for 10 points at 96 dpi),
//   and `vfontMSWTextBox` gives the box of a single-byte run from the widths a realised font's
//   `vfontMSWMetrics` record holds, with no device context (sums in 64 bits, each field cut to 16).
//   The Windows font device fills both records. Other notes call these two
//   `vwindowMSWFontCellHeight` and `vwindowMSWTextBounds`; they are the same operations, with no
//   alias.
#pragma once
#include <cstdint>

#include "fw/core/rect.h"

// A font's size overrides, first match wins; empty by default.
struct vfontMSWSizeOverride {
  std::uint16_t pointSize;
  std::int16_t height;  // character height in pixels (negative, as CreateFontA takes it)
  vfontMSWSizeOverride* next;
};

// What the extent needs of the font's text metrics.
struct vfontMSWTextMetrics {
  std::int32_t ascent;
  std::int32_t descent;
  std::int32_t averageWidth;
  std::int32_t maximumWidth;
  std::int32_t overhang;
  std::uint8_t firstChar;
  std::uint8_t lastChar;
  std::uint8_t defaultChar;
  std::uint8_t pitchAndFamily;  // bit 0: characters have different widths
};

// A realised font: the metrics, then three tables indexed by the character
// code minus the first character. The two bearing tables may be null.
struct vfontMSWMetrics {
  vfontMSWTextMetrics text;
  const std::int16_t* advance;      // extent of the single character
  const std::int16_t* leftBearing;  // A width
  const std::int16_t* rightExtent;  // A + B width
};

// The first override for the size, else from the screen's vertical dpi.
int vfontMSWPointsToHeight(const vfontMSWSizeOverride* overrides, int pointSize);
// The same at a given vertical resolution in dots per inch.
int _vfontMSWPointsToHeightAt(const vfontMSWSizeOverride* overrides, int pointSize, int dpi);

// Box of the text, y up, origin at the text's start on the base line.
void vfontMSWTextBox(const vfontMSWMetrics* metrics, const char* text, int count, vrect* box);
