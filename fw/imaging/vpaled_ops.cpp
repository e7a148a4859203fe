// The palette editor's colour operations: the HLS model, the per-entry
// changes, ramp and blend across a range, and removing, inserting and
// copying ranges of a colour list.
#include <algorithm>
#include <cmath>
#include <string>

#include "fw/imaging/vpaled.h"

namespace vpaledOps {

namespace {

unsigned clamp16(long v) { return unsigned(std::clamp(v, 0L, 65535L)); }

double hueValue(double m1, double m2, double hue) {
  while (hue < 0) hue += 360;
  while (hue >= 360) hue -= 360;
  if (hue < 60) return m1 + (m2 - m1) * hue / 60;
  if (hue < 180) return m2;
  if (hue < 240) return m1 + (m2 - m1) * (240 - hue) / 60;
  return m1;
}

template <class F>
void each(vcolorList* list, int first, int last, F&& change) {
  first = std::max(first, 0);
  last = std::min(last, int(list->count) - 1);
  for (int i = first; i <= last; ++i) change(list->entries[i]);
  vcolorListChanged(list);
}

void setRGB(vcolorSpec& c, unsigned r, unsigned g, unsigned b) {
  vcolorSetSpecModel(&c, &vcolorRGBModel);
  vcolorSetSpecRGB(&c, r, g, b);
}

}  // namespace

HLS toHLS(const vcolorSpec& color) {
  unsigned ri, gi, bi;
  vcolorGetSpecRGB(&color, &ri, &gi, &bi);
  double r = ri / 65535.0, g = gi / 65535.0, b = bi / 65535.0;
  double max = std::max({r, g, b}), min = std::min({r, g, b});
  HLS out{0, (max + min) / 2, 0};
  if (max == min) return out;
  double d = max - min;
  out.saturation = out.lightness <= 0.5 ? d / (max + min) : d / (2 - max - min);
  double rc = (max - r) / d, gc = (max - g) / d, bc = (max - b) / d;
  double h = r == max ? bc - gc : g == max ? 2 + rc - bc : 4 + gc - rc;
  h *= 60;
  if (h < 0) h += 360;
  out.hue = h;
  return out;
}

void fromHLS(const HLS& hls, vcolorSpec* color) {
  double l = hls.lightness, s = hls.saturation;
  double r = l, g = l, b = l;
  if (s != 0) {
    double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    double m1 = 2 * l - m2;
    r = hueValue(m1, m2, hls.hue + 120);
    g = hueValue(m1, m2, hls.hue);
    b = hueValue(m1, m2, hls.hue - 120);
  }
  auto scale = [](double v) { return clamp16(long(v * 65535)); };
  setRGB(*color, scale(r), scale(g), scale(b));
}

void warm(vcolorList* list, int first, int last) {
  each(list, first, last, [](vcolorSpec& c) {
    setRGB(c, clamp16(long(vcolorGetSpecRed(&c)) + 2621), vcolorGetSpecGreen(&c), vcolorGetSpecBlue(&c));
  });
}

void cool(vcolorList* list, int first, int last) {
  each(list, first, last, [](vcolorSpec& c) {
    setRGB(c, vcolorGetSpecRed(&c), vcolorGetSpecGreen(&c), clamp16(long(vcolorGetSpecBlue(&c)) + 2621));
  });
}

void lighten(vcolorList* list, int first, int last, double by) {
  each(list, first, last, [by](vcolorSpec& c) {
    HLS h = toHLS(c);
    h.lightness = std::clamp(h.lightness + by, 0.0, 1.0);
    fromHLS(h, &c);
  });
}

void complement(vcolorList* list, int first, int last) {
  each(list, first, last, [](vcolorSpec& c) {
    HLS h = toHLS(c);
    h.hue += 180;
    fromHLS(h, &c);
  });
}

void ramp(vcolorList* list, int first, int last) {
  last = std::min(last, int(list->count) - 1);
  int n = last - first;
  if (first < 0 || n < 1) return;
  HLS base = toHLS(list->entries[first]);
  float step = 1.0f / float(n);
  for (int k = 0; k <= n; ++k) {
    HLS h{base.hue, double(1.0f - float(k) * step), base.saturation};
    fromHLS(h, &list->entries[first + k]);
  }
  vcolorListChanged(list);
}

void blend(vcolorList* list, int first, int last) {
  last = std::min(last, int(list->count) - 1);
  if (first < 0 || last - first + 1 <= 2) return;
  unsigned a[3], z[3];
  vcolorGetSpecRGB(&list->entries[first], &a[0], &a[1], &a[2]);
  vcolorGetSpecRGB(&list->entries[last], &z[0], &z[1], &z[2]);
  float step[3];
  for (int j = 0; j < 3; ++j) step[j] = float(int(z[j]) - int(a[j])) / float(last - first);
  for (int i = 1; i < last - first; ++i) {
    unsigned c[3];
    for (int j = 0; j < 3; ++j) c[j] = std::uint16_t(int(a[j]) + int(std::trunc(float(i) * step[j] + 0.5f)));
    setRGB(list->entries[first + i], c[0], c[1], c[2]);
  }
  vcolorListChanged(list);
}

void remove(vcolorList* list, int first, int last) {
  int count = int(list->count);
  first = std::max(first, 0);
  last = std::min(last, count - 1);
  if (first > last) return;
  int k = last - first + 1;
  for (int i = last + 1; i < count; ++i) vcolorCopySpec(&list->entries[i], &list->entries[i - k]);
  vcolorListSetCount(list, std::uint32_t(count - k));
  vcolorListChanged(list);
}

bool insertAfter(vcolorList* list, int at, const vcolorList* colors) {
  std::uint32_t k = colors->count, count = list->count;
  if (count + k > vpaledMAX_COLORS || at < -1 || at >= int(count)) return false;
  vcolorListSetCount(list, count + k);
  for (int i = int(count) - 1; i > at; --i) vcolorCopySpec(&list->entries[i], &list->entries[i + int(k)]);
  for (std::uint32_t j = 0; j < k; ++j) vcolorCopySpec(&colors->entries[j], &list->entries[at + 1 + int(j)]);
  vcolorListChanged(list);
  return true;
}

vcolorList* range(const vcolorList* list, int first, int last) {
  vcolorList* out = vcolorListCreate();
  first = std::max(first, 0);
  last = std::min(last, int(list->count) - 1);
  if (first > last) return out;
  vcolorListSetCount(out, std::uint32_t(last - first + 1));
  for (int i = first; i <= last; ++i) vcolorCopySpec(&list->entries[i], &out->entries[i - first]);
  return out;
}

std::string freeName(bool (*taken)(const char* name, void* data), void* data) {
  std::string name = "Palette";
  for (int n = 2; taken(name.c_str(), data); ++n) name = "Palette" + std::to_string(n);
  return name;
}

}  // namespace vpaledOps
