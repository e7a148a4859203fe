// The Windows font device's native fonts: one per registered size, made
// when first measured; the driver slots over them; and finding the
// registered font of a native description.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "fw/core/scribe.h"
#include "fw/gui/graphics/fontmsw_internal.h"
#include "fw/gui/window/mswgdi.h"

using namespace vfontmsw;

namespace {

std::uint32_t deviceBit() { return std::uint32_t(1) << state.device; }

vfontMSWFontRecord* recordOf(const vfont* size) {
  return reinterpret_cast<vfontMSWFontRecord*>(size->deviceData[std::size_t(state.device)]);
}

// The registered size of this device that draws a font of no native font
// of its own: a whole, uniform point size of a Windows face.
vfont* mappedSize(vfont* font) {
  if (!vfontMSWGetFaceRecord(font->face)) {
    font = vfontFindDerivedScribe(font, vscribeCString(state.deviceSpec.c_str()));
    if (font->deviceMask & deviceBit()) return font;
  }
  const vmatrix& m = *font->matrix;
  double points = m.d;
  if (!(font->flags & vfontUNIFORM)) {
    vrectFloat unit{0, 0, 1, 1}, box;
    vmatrixTransformRect(&m, &unit, &box);
    points = std::ceil(std::max(box.width, box.height));
  }
  // A size below one point would leave nothing to scale by.
  points = std::max(1.0, std::floor(points));
  vmatrix whole{float(points), 0, 0, float(points), 0, 0};
  return vfontRegisterSize(font->face, &whole, state.device);
}

win::HFONT createNative(const win::LOGFONTA& lf, int height, const char* faceName) {
  return vwindowMSWCreateWithRecovery("FONT", 3, [&] {
    return vwindowMSWGdi.createFont(height, 0, lf.lfEscapement, lf.lfOrientation, lf.lfWeight, lf.lfItalic,
                                    lf.lfUnderline, lf.lfStrikeOut, lf.lfCharSet, lf.lfOutPrecision,
                                    lf.lfClipPrecision, lf.lfQuality, lf.lfPitchAndFamily, faceName);
  });
}

std::int16_t* newTable(int count) {
  return static_cast<std::int16_t*>(vmemAlloc(std::size_t(count) * sizeof(std::int16_t)));
}

// Selects the font on the screen and reads its metrics and tables.
void measure(vfontMSWFontRecord* r, bool scalable) {
  win::HDC hdc = acquireScreen();
  win::HGDIOBJ old = win::SelectObject(hdc, r->font);
  win::TEXTMETRICA& tm = r->metrics;
  tm = {};
  win::GetTextMetricsA(hdc, &tm);
  int first = tm.tmFirstChar, count = tm.tmLastChar >= first ? tm.tmLastChar - first + 1 : 0;
  if ((tm.tmPitchAndFamily & win::TMPF_FIXED_PITCH) && count > 0) {
    r->widths = newTable(count);
    for (int i = 0; i < count; ++i) {
      char c = char(first + i);
      win::SIZE extent{0, 0};
      win::GetTextExtentPointA(hdc, &c, 1, &extent);
      r->widths[i] = std::int16_t(extent.cx - tm.tmOverhang);
    }
  }
  if (tm.tmAveCharWidth != tm.tmMaxCharWidth && scalable && count > 0) {
    std::vector<win::ABC> abc(std::size_t(count), win::ABC{0, 0, 0});
    if (win::GetCharABCWidthsA(hdc, win::UINT(first), win::UINT(first + count - 1), abc.data())) {
      r->a = newTable(count);
      r->ab = newTable(count);
      for (int i = 0; i < count; ++i) {
        r->a[i] = std::int16_t(abc[std::size_t(i)].abcA);
        r->ab[i] = std::int16_t(abc[std::size_t(i)].abcA + int(abc[std::size_t(i)].abcB));
      }
    }
  }
  win::SelectObject(hdc, old);
  releaseScreen(hdc);
  r->box = {{tm.tmAscent, tm.tmDescent, tm.tmAveCharWidth, tm.tmMaxCharWidth, tm.tmOverhang, tm.tmFirstChar,
             tm.tmLastChar, tm.tmDefaultChar, tm.tmPitchAndFamily},
            r->widths, r->a, r->ab};
}

vfontMSWFontRecord* makeRecord(vfont* size) {
  vfontMSWFaceRecord* face = vfontMSWGetFaceRecord(size->face);
  int points = int(std::floor(size->matrix->d + 0.5));
  int height = _vfontMSWPointsToHeightAt(face->sizes, points, state.resolution);
  const char* faceName = face->logFont.lfFaceName;
  win::HFONT font = nullptr;
  bool shared = false;
  if (std::strcmp(faceName, "system_font") == 0) {
    if (points == state.systemPoints && state.systemFont) {
      font = state.systemFont;
      shared = true;
    } else {
      faceName = "Arial";
    }
  }
  if (!font) font = createNative(face->logFont, height, faceName);
  auto* r = new (vpoolAlloc(state.fontRecords)) vfontMSWFontRecord{font, {}, nullptr, nullptr, nullptr, {}};
  measure(r, face->scalable != 0);
  if (shared) {
    // The system font is listed from start-up; its tables join it.
    for (Native& n : state.natives)
      if (n.font == font) n = {font, r->widths, r->a, r->ab};
  } else {
    state.natives.push_back({font, r->widths, r->a, r->ab});
  }
  vfontSetDeviceData(size, state.device, reinterpret_cast<vfontDeviceWord>(r));
  return r;
}

}  // namespace

vfontMSWFontRecord* vfontMSWGetFontRecord(vfont* font, vfont** used) {
  vfontMSWStartup();
  vfont* size = font->deviceMask & deviceBit() ? font : mappedSize(font);
  vfontMSWFontRecord* r = recordOf(size);
  if (!r) r = makeRecord(size);
  if (used) *used = size;
  return r;
}

void vfontMSWGetLogFont(vfont* font, win::LOGFONTA* out) {
  vfontMSWFontRecord* r = vfontMSWGetFontRecord(font, nullptr);
  *out = {};
  win::GetObjectA(r->font, sizeof *out, out);
}

const win::TEXTMETRICA* vfontMSWGetTextMetrics(vfont* font) { return &vfontMSWGetFontRecord(font, nullptr)->metrics; }

// ---- The driver slots. Values of a mapped size are scaled to the font's
// own matrix through the mapped size's scale.

namespace {

struct Measured {
  vfont* font;
  vfont* used;
  vfontMSWFontRecord* record;
  bool own() const { return used == font; }
  // A vector of the used size in the font's own units.
  void vector(double x, double y, double* ox, double* oy) const {
    vmatrixTransformVector(font->matrix, x / used->matrix->a, y / used->matrix->d, ox, oy);
  }
  void rect(double x, double y, double w, double h, vrectFixed* out) const {
    if (own()) {
      vrectFloat r{float(x), float(y), float(w), float(h)};
      vrectFloatToFixed(&r, out);
      return;
    }
    double sx = used->matrix->a, sy = used->matrix->d;
    vrectFloat r{float(x / sx), float(y / sy), float(w / sx), float(h / sy)}, t;
    vmatrixTransformRect(font->matrix, &r, &t);
    vrectFloatToFixed(&t, out);
  }
  vfixed width(double w) const {
    if (own()) return vfixedFromDouble(w);
    double x, y;
    vector(w, 0, &x, &y);
    return vfixedFromDouble(x);
  }
  vfixed height(double h) const {
    if (own()) return vfixedFromDouble(h);
    double x, y;
    vector(0, h, &x, &y);
    return vfixedFromDouble(y);
  }
};

Measured measured(vfont* font) {
  Measured m{font, nullptr, nullptr};
  m.record = vfontMSWGetFontRecord(font, &m.used);
  return m;
}

// The advance of the characters, last to first; one width each for fixed
// pitch. Out of range counts as the default character, or nothing.
std::int64_t widthSum(const vfontMSWFontRecord& r, const char* chars, int length) {
  const win::TEXTMETRICA& tm = r.metrics;
  if (length <= 0) return 0;
  if (!(tm.tmPitchAndFamily & win::TMPF_FIXED_PITCH) || !r.widths)
    return std::int64_t(tm.tmAveCharWidth) * length;
  unsigned first = tm.tmFirstChar, last = tm.tmLastChar;
  std::int64_t fallback =
      first <= tm.tmDefaultChar && tm.tmDefaultChar <= last ? r.widths[tm.tmDefaultChar - first] : 0;
  std::int64_t sum = 0;
  for (int i = length - 1; i >= 0; --i) {
    unsigned c = static_cast<unsigned char>(chars[i]);
    sum += first <= c && c <= last ? r.widths[c - first] : fallback;
  }
  return sum;
}

void charWidth(vfont* font, vfixed* width, vfixed* second) {
  Measured m = measured(font);
  *width = m.width(m.record->metrics.tmMaxCharWidth);
  *second = 0;
}

void bounds(vfont* font, vrectFixed* out) {
  Measured m = measured(font);
  const win::TEXTMETRICA& tm = m.record->metrics;
  m.rect(0, -tm.tmDescent, tm.tmMaxCharWidth, tm.tmHeight, out);
}

vfixed ascent(vfont* font) {
  Measured m = measured(font);
  return m.height(m.record->metrics.tmAscent);
}

vfixed descent(vfont* font) {
  Measured m = measured(font);
  return m.height(m.record->metrics.tmDescent);
}

void advance(vfont* font, const char* chars, int length, vfixed* dx, vfixed* dy) {
  Measured m = measured(font);
  double sum = double(widthSum(*m.record, chars, length));
  if (m.own()) {
    *dx = vfixedFromDouble(sum);
    *dy = 0;
    return;
  }
  double x, y;
  m.vector(sum, 0, &x, &y);
  *dx = vfixedFromDouble(x);
  *dy = vfixedFromDouble(y);
}

void charsBounds(vfont* font, const char* chars, int length, vrectFixed* out) {
  Measured m = measured(font);
  vrect box;
  vfontMSWTextBox(&m.record->box, chars, length, &box);
  m.rect(box.x, box.y, box.width, box.height, out);
}

}  // namespace

const vfontDriver vfontmsw::driver{nullptr, charWidth, bounds, ascent, descent, advance, charsBounds};

// ---- Native descriptions.

bool vfontMSWLogFontMatches(const win::LOGFONTA* a, const win::LOGFONTA* b) {
  auto either = [](win::BYTE x, win::BYTE y) { return x == 0 || y == 0 || x == y; };
  return a->lfEscapement == b->lfEscapement && a->lfOrientation == b->lfOrientation &&
         a->lfWeight == b->lfWeight && !a->lfItalic == !b->lfItalic && !a->lfUnderline == !b->lfUnderline &&
         !a->lfStrikeOut == !b->lfStrikeOut && a->lfCharSet == b->lfCharSet &&
         either(a->lfOutPrecision, b->lfOutPrecision) && either(a->lfClipPrecision, b->lfClipPrecision) &&
         either(a->lfQuality, b->lfQuality) && either(a->lfPitchAndFamily, b->lfPitchAndFamily) &&
         std::strncmp(a->lfFaceName, b->lfFaceName, sizeof a->lfFaceName) == 0;
}

bool vfontMSWLogFontEquals(const win::LOGFONTA* a, const win::LOGFONTA* b) {
  return vfontMSWLogFontMatches(a, b) && a->lfHeight == b->lfHeight;
}

vfont* vfontMSWFindLogFont(const win::LOGFONTA* logFont) {
  vfontMSWStartup();
  int families = vfontCountFamilies();
  for (int i = 0; i < families; ++i) {
    vfontFamily* family = vfontGetFamily(i);
    vfontCountFamilyFaces(family);
    for (vfontFace* face : family->faces) {
      vfontMSWFaceRecord* record = vfontMSWGetFaceRecord(face);
      if (!record || !vfontMSWLogFontMatches(&record->logFont, logFont)) continue;
      win::HFONT font = win::CreateFontIndirectA(logFont);
      if (!font) return nullptr;
      win::TEXTMETRICA tm;
      metricsOf(font, &tm);
      win::DeleteObject(font);
      int points = pointsOf(tm);
      vmatrix m{float(points), 0, 0, float(points), 0, 0};
      return vfontRegisterSize(face, &m, state.device);
    }
  }
  return nullptr;
}
