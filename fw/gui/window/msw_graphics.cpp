// What the window layer asks of the Windows graphics: a window driver that
// records every call (until the drawing driver exists), the colour layer's
// start-up with the monochrome flag, the palette test and the background
// brush, and the font set-up of the start-up.
#include <cstdio>
#include <string>
#include <vector>

#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/fontmsw.h"
#include "fw/gui/window/msw_internal.h"

namespace {

struct DriverData {
  vwindow* window;
  vrect bounds;
};

std::vector<std::string> driverLog;
const vdrawDeviceTransform identity{0, vfixedONE, 0, 0, vfixedONE, 0, 0};

void put(std::string text) { driverLog.push_back(std::move(text)); }

std::string rectText(const vrect* r, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    char b[64];
    std::snprintf(b, sizeof b, "%s(%d,%d,%d,%d)", i ? " " : "", r[i].x, r[i].y, r[i].width, r[i].height);
    s += b;
  }
  return s;
}

std::string colorText(vcolor* c) {
  if (!c) return "none";
  unsigned r, g, b;
  vcolorGetSpecRGB(&c->desc, &r, &g, &b);
  char t[48];
  std::snprintf(t, sizeof t, "%u,%u,%u", r, g, b);
  return t;
}

DriverData* dataOf(void* d) { return static_cast<DriverData*>(d); }

void rects(const char* what, void*, const vrect* r, int n) { put(std::string(what) + " " + rectText(r, n)); }

const vdrawDriverRecord recorder = {
    1,
    vfixedONE,
    sizeof(DriverData),
    [](void* d, void* target, int flags) {
      auto* w = static_cast<vwindow*>(target);
      *dataOf(d) = {w, vrect{0, 0, w->rect.width, w->rect.height}};
      put("open flags=" + std::to_string(flags));
    },
    [](void*) { put("close"); },
    [](void*) {},
    [](void*) {},
    [](void*) -> const vdrawDeviceTransform* { return &identity; },
    [](void* d) -> const vrect* { return &dataOf(d)->bounds; },
    [](void* d) {
      vwindow* w = dataOf(d)->window;
      dataOf(d)->bounds = vrect{0, 0, w->rect.width, w->rect.height};
    },
    [](void*, unsigned) {},
    [](void*, vimage*, int x, int y) { put("clipToMask " + std::to_string(x) + "," + std::to_string(y)); },
    [](void*, const vpoint*, int n) { put("fillPolygon " + std::to_string(n)); },
    [](void*, const vpoint*, int n) { put("strokePolyline " + std::to_string(n)); },
    [](void* d, const vrect* r, int n) { rects("clip", d, r, n); },
    [](void*, const vrect* r, int n) { put("fill " + rectText(r, n) + " color=" + colorText(vdrawGetState()->color)); },
    [](void* d, const vrect* r, int n) { rects("frame", d, r, n); },
    [](void* d, const vrect* r, int n, vfixed, vfixed) { rects("fillChords", d, r, n); },
    [](void* d, const vrect* r, int n, vfixed, vfixed) { rects("fillPies", d, r, n); },
    [](void* d, const vrect* r, int n, vfixed, vfixed) { rects("frameArcs", d, r, n); },
    [](void* d, const vrect* r, int n, int, int) { rects("fillRoundRects", d, r, n); },
    [](void* d, const vrect* r, int n, int, int) { rects("frameRoundRects", d, r, n); },
    [](void*, const char* chars, int length, const vdrawDeviceTransform*) {
      put("show " + std::string(chars, static_cast<std::size_t>(length)));
    },
    [](void*, vimage*, const vdrawDeviceTransform*) { put("image"); },
    [](void*, vimage*, const vdrawDeviceTransform*) { put("mask"); },
};


}  // namespace

const vdrawDriverRecord* vwindowMSWGetDriver() { return &recorder; }

std::vector<std::string> vwindowMSWTakeDriverLog() {
  std::vector<std::string> taken;
  taken.swap(driverLog);
  return taken;
}

void _vwindowMSWStartPalette() {
  _vcolorMSWStartup();
  _vwindowMSW().monochrome = vcolorMSWGetMode() == vcolorMSW_MONOCHROME;
}

int vwindowMSWIsPaletteStable(vcolor* color) { return vcolorMSWIsPaletteStable(color); }

win::HBRUSH vwindowMSWGetBackgroundBrush(vcolor* color) { return vcolorMSWGetBrush(color ? color : vcolorGetWhite()); }

void _vwindowMSWFreeGraphics() {
  driverLog.clear();
  driverLog.shrink_to_fit();
}

void _vwindowMSWStartFonts() { vfontMSWStartup(); }
