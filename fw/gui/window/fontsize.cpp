#include "fw/gui/window/fontsize.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/win.h"

namespace {

const vfontMSWSizeOverride* findOverride(const vfontMSWSizeOverride* o, int pointSize) {
  while (o != nullptr && o->pointSize != static_cast<std::uint16_t>(pointSize)) o = o->next;
  return o;
}

}  // namespace

int _vfontMSWPointsToHeightAt(const vfontMSWSizeOverride* overrides, int pointSize, int dpi) {
  if (const vfontMSWSizeOverride* o = findOverride(overrides, pointSize)) return o->height;
  // Half a point's worth before truncating towards zero rounds to nearest.
  return static_cast<int>((-36 - static_cast<std::int64_t>(dpi) * pointSize) / 72);
}

int vfontMSWPointsToHeight(const vfontMSWSizeOverride* overrides, int pointSize) {
  if (const vfontMSWSizeOverride* o = findOverride(overrides, pointSize)) return o->height;
  win::HDC screen = win::GetDC(nullptr);
  int dpi = win::GetDeviceCaps(screen, win::LOGPIXELSY);
  win::ReleaseDC(nullptr, screen);
  return _vfontMSWPointsToHeightAt(nullptr, pointSize, dpi);
}

namespace {

struct CharValues {
  std::int64_t advance, left, right;
};

// A character out of range takes the default character's values, or zeros
// when that is out of range too.
CharValues valuesOf(const vfontMSWMetrics& m, unsigned char c) {
  const vfontMSWTextMetrics& t = m.text;
  auto inRange = [&](unsigned v) { return t.firstChar <= v && v <= t.lastChar; };
  unsigned code = c;
  if (!inRange(code)) {
    if (!inRange(t.defaultChar)) return {0, 0, 0};
    code = t.defaultChar;
  }
  unsigned i = code - t.firstChar;
  return {m.advance != nullptr ? m.advance[i] : 0, m.leftBearing != nullptr ? m.leftBearing[i] : 0,
          m.rightExtent != nullptr ? m.rightExtent[i] : 0};
}

}  // namespace

void vfontMSWTextBox(const vfontMSWMetrics* metrics, const char* text, int count, vrect* box) {
  const vfontMSWMetrics& m = *metrics;
  const vfontMSWTextMetrics& t = m.text;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  int n = std::max(count, 0);
  constexpr std::int64_t kNone = std::numeric_limits<std::int32_t>::max();
  std::int64_t left = kNone;
  std::int64_t right = std::numeric_limits<std::int32_t>::min();
  bool proportional = (t.pitchAndFamily & 1) != 0;
  bool bearings = t.averageWidth != t.maximumWidth && m.leftBearing != nullptr;
  if (bearings) {
    std::int64_t pen = 0;
    for (int i = 0; i < n; ++i) {
      CharValues v = valuesOf(m, bytes[i]);
      left = std::min(left, pen + v.left);
      right = std::max(right, pen + v.right);
      pen += proportional ? v.advance : t.averageWidth;
    }
  } else {
    left = 0;
    right = 0;
    if (proportional) {
      for (int i = 0; i < n; ++i) right += valuesOf(m, bytes[i]).advance;
    } else {
      right = static_cast<std::int64_t>(n) * t.averageWidth;
    }
  }
  if (left == kNone) {
    *box = vrect{0, 0, 0, 0};
    return;
  }
  auto cut = [](std::int64_t v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); };
  *box = vrect{cut(left), cut(-static_cast<std::int64_t>(t.descent)), cut(right + t.overhang - left),
               cut(static_cast<std::int64_t>(t.ascent) + t.descent)};
}
